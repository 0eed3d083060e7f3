// Engine start-up (hidden context, GLEW, the utility programs, the shadow-map
// array) and the first draw with each utility program, each with Mesa's
// on-disk shader cache cold (an empty cache directory per engine) and warm (a
// directory filled by an earlier engine). Mesa reads the cache settings when
// a display connection's screen is made, and every engine opens its own
// connection, so the settings can change between engines of one process.
//
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/engine_start_bench
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>


#include "engine/core/debug_output.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/render/render_thread.h"
#include "engine/shaders/utility_programs.h"

namespace {

namespace fs = std::filesystem;

enum class Cache { cold, warm };

const fs::path& bench_root() {
    static const fs::path root =
        fs::temp_directory_path() / ("tavrel-shader-cache-" + std::to_string(getpid()));
    return root;
}

// Points Mesa at the cache directory for the next engine.
void use_cache(Cache cache) {
    fs::path dir = bench_root() / "warm";
    if (cache == Cache::cold) {
        static std::atomic<int> next{0};
        dir = bench_root() / ("cold-" + std::to_string(next++));
    }
    fs::create_directories(dir);
    setenv("MESA_SHADER_CACHE_DIR", dir.string().c_str(), 1);
    unsetenv("MESA_SHADER_CACHE_DISABLE");
}

using ProgramOf = std::function<tavrel::GLSLProgram&(tavrel::GlEngine&)>;

struct NamedProgram {
    std::string name;
    ProgramOf program;
};

std::vector<NamedProgram> programs() {
    std::vector<NamedProgram> list;
    for (int kind = 0; kind < 3; ++kind) {
        const std::string k = std::to_string(kind);
        list.push_back({"copy/" + k, [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.copy_program(kind); }});
        list.push_back({"flat_shading/" + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.flat_shading_program(kind); }});
        list.push_back({"view_depth/" + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.view_depth_program(kind); }});
        list.push_back({"depth_only/" + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.depth_only_program(kind); }});
    }
    list.push_back({"extrude", [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.extrude_program(); }});
    list.push_back({"reverse_vertex_order",
                    [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.reverse_vertex_order_program(); }});
    list.push_back(
        {"copy_topology", [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.copy_topology_program(); }});
    return list;
}

// One triangle over a 64 x 64 target; the driver compiles the program's
// machine code at its first draw.
void first_draw(tavrel::GlEngine& engine, tavrel::GLSLProgram& program) {
    auto target = engine.request_render_target(64, 64, 1, 2, true, 0, 1);
    program.bind();
    glBegin(GL_TRIANGLES);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glVertex3f(0, 1, 0);
    glEnd();
    glFinish();
    glUseProgram(0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void warm_the_cache() {
    use_cache(Cache::warm);
    tavrel::RenderThread thread;
    thread.execute([](tavrel::GlEngine& engine) {
        for (const NamedProgram& p : programs()) first_draw(engine, p.program(engine));
    });
}

void BM_EngineStartUp(benchmark::State& state, Cache cache) {
    if (cache == Cache::warm) warm_the_cache();
    for (auto _ : state) {
        state.PauseTiming();
        use_cache(cache);
        state.ResumeTiming();
        auto thread = std::make_unique<tavrel::RenderThread>();
        state.PauseTiming();
        thread.reset();
        state.ResumeTiming();
    }
}

void BM_FirstDraw(benchmark::State& state, Cache cache, const NamedProgram& program) {
    if (cache == Cache::warm) warm_the_cache();
    for (auto _ : state) {
        state.PauseTiming();
        use_cache(cache);
        auto thread = std::make_unique<tavrel::RenderThread>();
        state.ResumeTiming();
        thread->execute([&program](tavrel::GlEngine& engine) { first_draw(engine, program.program(engine)); });
        state.PauseTiming();
        thread.reset();
        state.ResumeTiming();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Compile progress would drown the report.
    tavrel::set_debug_output_sink([](const std::string&) {});
    benchmark::RegisterBenchmark("EngineStartUp/cold", BM_EngineStartUp, Cache::cold)
        ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("EngineStartUp/warm", BM_EngineStartUp, Cache::warm)
        ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
    static const std::vector<NamedProgram> all = programs();
    for (const NamedProgram& p : all) {
        for (Cache cache : {Cache::cold, Cache::warm}) {
            const std::string name =
                "FirstDraw/" + p.name + (cache == Cache::cold ? "/cold" : "/warm");
            benchmark::RegisterBenchmark(name.c_str(), BM_FirstDraw, cache, p)
                ->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(bench_root(), ignored);
    return 0;
}
