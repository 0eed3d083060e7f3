// Shared pieces of the GL benchmarks: the engine's rendering thread, taken
// down before static destruction, a reporter that prints ratios of medians
// taken in the same run, and a 200k-triangle mesh node.
#pragma once

#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/guarded.h"
#include "engine/gpu/draw_triangle_array.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/pbo.h"
#include "engine/render/render_thread.h"
#include "engine/scene/parent_node.h"

namespace tavrel_bench {

inline std::unique_ptr<tavrel::RenderThread>& render_thread_slot() {
    static std::unique_ptr<tavrel::RenderThread> thread;
    return thread;
}

inline tavrel::RenderThread& render_thread() {
    auto& slot = render_thread_slot();
    if (!slot) slot.reset(new tavrel::RenderThread);
    return *slot;
}

// Prints the table as usual, then each named ratio of two benchmarks' real
// times (full names as printed).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Ratio {
        std::string what, numerator, denominator;
    };
    explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const Ratio& r : ratios_) {
            if (!times_.count(r.numerator) || !times_.count(r.denominator)) continue;
            std::printf("%-60s %6.2f\n", r.what.c_str(), times_[r.numerator] / times_[r.denominator]);
        }
    }

private:
    std::vector<Ratio> ratios_;
    std::map<std::string, double> times_;
};

// Runs the benchmarks with the reporter and takes the engine down before
// static destruction begins.
inline int run_with_ratios(int argc, char** argv, std::vector<RatioReporter::Ratio> ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(std::move(ratios));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    render_thread_slot().reset();
    benchmark::Shutdown();
    return 0;
}

// A gently waved square of side 20 about the origin in z = 0, facing -z, in
// the engine's 56-byte vertex records: 316 x 316 cells, 199712 triangles.
constexpr int kMeshCells = 316;
constexpr std::uint32_t kMeshTriangles = 2u * kMeshCells * kMeshCells;

inline std::shared_ptr<tavrel::PBO> make_wave_mesh(tavrel::GlEngine& engine) {
    std::vector<float> records;
    records.reserve(std::size_t(kMeshTriangles) * 3 * 14);
    const auto vertex = [&records](int i, int j) {
        const float s = float(i) / kMeshCells, t = float(j) / kMeshCells;
        const float x = 20.0f * s - 10.0f, y = 20.0f * t - 10.0f;
        const float z = 0.3f * std::sin(3.0f * x) * std::cos(2.0f * y);
        const float dzdx = 0.9f * std::cos(3.0f * x) * std::cos(2.0f * y);
        const float dzdy = -0.6f * std::sin(3.0f * x) * std::sin(2.0f * y);
        const float n = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0f);
        const float record[14] = {x, y, z, s, t, dzdx / n, dzdy / n, -1.0f / n, 1, 0, dzdx, 0, 1, dzdy};
        records.insert(records.end(), record, record + 14);
    };
    for (int j = 0; j < kMeshCells; ++j)
        for (int i = 0; i < kMeshCells; ++i) {
            vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1);
            vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1);
        }
    tavrel::PBODescriptor d;
    d.target = GL_ARRAY_BUFFER;
    d.usage = GL_STATIC_DRAW;
    d.access = GL_WRITE_ONLY;
    d.size = records.size() * sizeof(float);
    auto buffer = engine.request_pbo(d);
    buffer->bind();
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(d.size), records.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return buffer;
}

class MeshNode : public tavrel::ParentNode {
public:
    explicit MeshNode(std::shared_ptr<tavrel::PBO> buffer) : buffer_(std::move(buffer)) {}
    void render() override { tavrel::draw_triangle_array(*buffer_, kMeshTriangles); }
    std::string type_name() const override { return "MeshNode"; }
    std::uint32_t primitive_count() const override { return kMeshTriangles; }
    void extend_bounds(tavrel::BoundsPoints& points) override {
        for (double x : {-10.0, 10.0})
            for (double y : {-10.0, 10.0})
                for (double z : {-0.3, 0.3}) points.push_back({x, y, z});
    }

private:
    std::shared_ptr<tavrel::PBO> buffer_;
};

}  // namespace tavrel_bench
