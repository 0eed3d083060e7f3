// Costs of the surface work on the host side: building the knots and tables
// for a grid, the per-frame scaling and change key, and the refit.
#include <benchmark/benchmark.h>

#include "surface/grid/control_point_grid.h"
#include "engine/core/debug_output.h"
#include "surface/grid/lattix_mesh_knots.h"

namespace {

using tavrel::ControlPointGrid;
using tavrel::LattixMeshKnots;

const ControlPointGrid::ChangeCallback kIgnore = [](int, int, const LX_Cp&) {};

ControlPointGrid bent_grid(int columns, int rows) {
    ControlPointGrid g(columns, rows);
    for (int i = 0; i < g.point_count(); i += 3)
        g.move_handle(unsigned(i), 0, 0, false, 0.01f * (i % 7), -0.02f * (i % 5), 0.05f * (i % 11),
                      kIgnore);
    return g;
}

// Knots, basis and derivative tables and the net of a 20 x 20 grid.
void BM_KnotsConstruction20x20(benchmark::State& state) {
    const ControlPointGrid g = bent_grid(20, 20);
    const int samples = static_cast<int>(state.range(0));
    for (auto _ : state) {
        LattixMeshKnots k(g, samples);
        benchmark::DoNotOptimize(k.s_weights().data());
    }
}
BENCHMARK(BM_KnotsConstruction20x20)->Arg(100)->Arg(600)->Unit(benchmark::kMillisecond);

// What every render does on the host side before deciding whether the GPU
// evaluation must run again.
void BM_ScaleToFrameAndCrc20x20(benchmark::State& state) {
    LattixMeshKnots k(bent_grid(20, 20), 100);
    for (auto _ : state) {
        k.scale_to_frame(1920.0f, 1080.0f);
        benchmark::DoNotOptimize(k.control_net_crc());
    }
}
BENCHMARK(BM_ScaleToFrameAndCrc20x20)->Unit(benchmark::kMicrosecond);

// The refit writes its solver line; keep it off the benchmark's output.
struct QuietDebugOutput {
    QuietDebugOutput() { previous = tavrel::set_debug_output_sink([](const std::string&) {}); }
    ~QuietDebugOutput() { tavrel::set_debug_output_sink(previous); }
    tavrel::DebugOutputSink previous;
};

// 2 x 2 to 3 x 3: sampling plus the fine fit (240 parameters, 507 residuals).
void BM_Refit3x3WithFineFit(benchmark::State& state) {
    QuietDebugOutput quiet;
    const ControlPointGrid old = bent_grid(2, 2);
    for (auto _ : state) {
        ControlPointGrid g(1, 1);
        g.resample(old, 3, 3);
        benchmark::DoNotOptimize(g.point(5).handle(0).z);
    }
}
BENCHMARK(BM_Refit3x3WithFineFit)->Unit(benchmark::kMillisecond);

// 19 x 19 to 20 x 20: sampling only, with S = 1200 table rows.
void BM_Refit20x20(benchmark::State& state) {
    QuietDebugOutput quiet;
    const ControlPointGrid old = bent_grid(19, 19);
    for (auto _ : state) {
        ControlPointGrid g(1, 1);
        g.resample(old, 20, 20);
        benchmark::DoNotOptimize(g.point(5).handle(0).z);
    }
}
BENCHMARK(BM_Refit20x20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
