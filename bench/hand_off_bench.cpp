// Round trip of an empty command through the command hand-off, against the
// least any two-thread hand-off can cost: a bare ping-pong over two condition
// variables. Both run in this binary, so the ratio compares like with like.
// The hand-off runs with an engine that needs no GL; the product's
// RenderThread adds one pointer indirection on top.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include "engine/core/command_hand_off.h"

namespace {

struct NullEngine {
    void make_current() {}
    void restore() noexcept {}
};

void BM_ExecuteRoundTrip(benchmark::State& state) {
    tavrel::CommandHandOff<NullEngine> hand_off([] { return std::make_shared<NullEngine>(); });
    const tavrel::CommandHandOff<NullEngine>::Command empty_command = [](NullEngine&) {};
    for (auto _ : state) hand_off.execute(empty_command);
}
BENCHMARK(BM_ExecuteRoundTrip)->UseRealTime()->Repetitions(9)->MinTime(0.2);

// Two flags, two mutexes, two condition variables: post and wait, as the
// hand-off does, with nothing else.
void BM_CondVarPingPong(benchmark::State& state) {
    boost::mutex ping_mutex, pong_mutex;
    boost::condition_variable ping_condition, pong_condition;
    bool ping = false, pong = false, stop = false;
    std::thread partner([&] {
        for (;;) {
            {
                boost::unique_lock<boost::mutex> lock(ping_mutex);
                while (!ping && !stop) ping_condition.wait(lock);
                if (stop) return;
                ping = false;
            }
            {
                boost::lock_guard<boost::mutex> lock(pong_mutex);
                pong = true;
            }
            pong_condition.notify_all();
        }
    });
    for (auto _ : state) {
        {
            boost::lock_guard<boost::mutex> lock(ping_mutex);
            ping = true;
        }
        ping_condition.notify_all();
        boost::unique_lock<boost::mutex> lock(pong_mutex);
        while (!pong) pong_condition.wait(lock);
        pong = false;
    }
    {
        boost::lock_guard<boost::mutex> lock(ping_mutex);
        stop = true;
    }
    ping_condition.notify_all();
    partner.join();
}
BENCHMARK(BM_CondVarPingPong)->UseRealTime()->Repetitions(9)->MinTime(0.2);

// Prints as usual and keeps every repetition's time per iteration. Thread
// wake-up latency on a shared machine varies by several times from run to
// run, so the ratio is taken between medians of interleaved repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
            }
        }
    }
    double median(const std::string& name) {
        std::vector<double>& v = times[name];
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::map<std::string, std::vector<double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    // Interleave the repetitions of both, so that a quiet or busy spell of the
    // machine falls on both alike; a flag on the command line still wins.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double execute = reporter.median("BM_ExecuteRoundTrip");
    const double ping_pong = reporter.median("BM_CondVarPingPong");
    if (execute > 0 && ping_pong > 0) {
        std::cout << "median of interleaved repetitions: execute round trip " << execute
                  << " ns, bare ping-pong " << ping_pong << " ns, ratio " << execute / ping_pong << std::endl;
    }
    benchmark::Shutdown();
    return 0;
}
