// The custom interface's events on a 20 x 20 grid with every handle
// selected (441 points, 2,205 handles): a draw event and a click that
// misses everything (so every handle is tested), through the simulated
// host, against projecting the same 2,205 handles with the projector alone.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/debug_output.h"
#include "engine/core/projection.h"
#include "simhost/event_driver.h"
#include "simhost/flat_grid.h"
#include "simhost/render_driver.h"

namespace {

constexpr int kCells = 20;
constexpr int kHandles = (kCells + 1) * (kCells + 1) * 5;

// The host's new 20 x 20 grid with every active handle selected.
std::string selected_grid_file() {
    std::vector<uint8_t> flat = simhost::default_flat_grid(kCells, kCells);
    const size_t points = (kCells + 1) * (kCells + 1);
    for (size_t p = 0; p < points; ++p) {
        const size_t at = 20 + 71 * p;
        flat[at] = 1;
        for (int k = 0; k < 5; ++k)
            if (flat[at + 1 + 14 * k] != 0) flat[at + 2 + 14 * k] = 1;
    }
    const std::string path = "/tmp/custom_ui_bench_" + std::to_string(::getpid()) + ".kztq";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(flat.data()), std::streamsize(flat.size()));
    return path;
}

struct Session {
    Session() : grid(selected_grid_file()) {
        simhost::RenderSetup s;
        s.plugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
        s.edits = {"Columns=20", "Rows=20"};
        s.grid = grid;
        driver = std::make_unique<simhost::RenderDriver>(s);
        events = std::make_unique<simhost::EventDriver>(driver->host(), driver->instance());
    }
    ~Session() { std::remove(grid.c_str()); }
    std::string grid;
    std::unique_ptr<simhost::RenderDriver> driver;
    std::unique_ptr<simhost::EventDriver> events;
};

void require_clean(benchmark::State& state, const simhost::EventRecord& e) {
    if (e.result.err != 0 || !e.result.message.empty()) state.SkipWithError(("event failed: " + e.result.message).c_str());
}

void BM_DrawEvent(benchmark::State& state) {
    Session s;
    size_t calls = 0;
    for (auto _ : state) {
        const simhost::EventRecord e = s.events->draw(PF_Window_COMP);
        calls = e.drawing.size();
        require_clean(state, e);
    }
    state.counters["drawing_calls"] = double(calls);
}

void BM_ClickMissingEverything(benchmark::State& state) {
    Session s;
    s.events->draw(PF_Window_COMP);
    for (auto _ : state) {
        // Shift keeps the selection, so every click tests every handle.
        const simhost::EventRecord e = s.events->click(PF_Window_COMP, PF_Point{-500, -500}, PF_Mod_SHIFT_KEY);
        require_clean(state, e);
    }
}

void BM_ProjectHandlesOnly(benchmark::State& state) {
    tavrel::Matrix4d projection;
    projection.scale(1.0 / 320.0, 1.0 / 180.0, 1.0);
    const tavrel::CompSpaceProjector projector(tavrel::Matrix4d(), tavrel::Matrix4d(), projection, 640, 360);
    std::vector<tavrel::Vec3f> points;
    for (int i = 0; i < kHandles; ++i) points.emplace_back(float(i % 640) - 320.0f, float(i % 360) - 180.0f, 0.0f);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const auto& p : points) sum += projector.project_layer_point(p).x;
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_DrawEvent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickMissingEverything)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProjectHandlesOnly)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double bare = times_["BM_ProjectHandlesOnly"];
        if (bare <= 0.0) return;
        std::printf("draw event / projecting the handles  %8.1f\n", times_["BM_DrawEvent"] / bare);
        std::printf("click / projecting the handles       %8.1f\n", times_["BM_ClickMissingEverything"] / bare);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    tavrel::set_debug_output_sink([](const std::string&) {});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
