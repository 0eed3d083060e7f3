// Benchmark bodies whose failure ends the benchmark, not the program.
#pragma once

#include <benchmark/benchmark.h>

#include <exception>

namespace tavrel_bench {

// A failure (a refused frame, an engine that cannot start) ends the
// benchmark with its message instead of ending the program.
template <void (*Body)(benchmark::State&)>
void guarded(benchmark::State& state) {
    try {
        Body(state);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

}  // namespace tavrel_bench
