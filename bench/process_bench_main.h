// The main of the benchmarks that run whole simhost processes, one child a
// run: each benchmark runs a fixed number of times, timed alike, and the
// report ends with the program's own summary.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <initializer_list>

namespace tavrel_bench {

struct ProcessBenchmark {
    const char* name;
    void (*body)(benchmark::State&);
};

// How every benchmark of the program runs: this many iterations, timed by
// the body (SetIterationTime) or by the wall clock, reported in the unit.
struct ProcessRuns {
    int iterations;
    bool manual_time;
    benchmark::TimeUnit unit;
};

// Registers the benchmarks in order, runs those the command line selects
// (1, with nothing run, for an argument it does not know), then the
// summary.
inline int run_process_benchmarks(int argc, char** argv, std::initializer_list<ProcessBenchmark> benchmarks,
                                  ProcessRuns runs, const std::function<void()>& summary) {
    for (const ProcessBenchmark& b : benchmarks) {
        benchmark::internal::Benchmark* registered = benchmark::RegisterBenchmark(b.name, b.body);
        registered->Iterations(runs.iterations);
        if (runs.manual_time)
            registered->UseManualTime();
        else
            registered->UseRealTime();
        registered->Unit(runs.unit);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    return 0;
}

}  // namespace tavrel_bench
