// The first image of the demo scene as a user waits for it: `simhost render`
// of simhost/scenes/demo.json, one child process per image, timed from its
// start to its exit with the image written, and the GLSL programs it linked
// (the "Linking program..." lines of its debugger output):
// - with Mesa's on-disk shader cache cold: an empty cache directory per
//   child, so that every program is compiled to machine code;
// - with the cache warm: a directory an earlier child of the same scene
//   filled;
// - a bare child in the same run, `simhost info` of the same library, which
//   loads it and starts no engine: the process's own cost.
// The report ends with both first images, their ratio and the programs
// linked.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/first_image_bench
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/guarded.h"
#include "bench/process_bench_main.h"

namespace {

namespace fs = std::filesystem;
using tavrel_bench::guarded;

const std::string kSimhost = std::string(TAVREL_BIN_DIR) + "/simhost";
const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
const std::string kScene = std::string(TAVREL_SCENE_DIR) + "/demo.json";

const fs::path& scratch() {
    static const fs::path root = fs::temp_directory_path() / ("first_image_bench_" + std::to_string(getpid()));
    return root;
}

struct Child {
    double seconds = 0.0;
    int programs_linked = 0;
};

// Runs simhost with the arguments and Mesa's shader cache in the directory;
// the child must succeed.
Child run_child(const std::vector<std::string>& arguments, const fs::path& cache) {
    fs::create_directories(cache);
    const fs::path log = scratch() / "stderr.txt";
    std::vector<std::string> text = {kSimhost};
    text.insert(text.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("MESA_SHADER_CACHE_DIR", cache.c_str(), 1);
        unsetenv("MESA_SHADER_CACHE_DISABLE");
        // The programs' compile and link progress, to count them.
        setenv("TAVREL_DEBUG_OUTPUT", "1", 1);
        const int null_out = open("/dev/null", O_WRONLY);
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (null_out < 0 || err < 0) _exit(126);
        dup2(null_out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    const bool waited = pid > 0 && waitpid(pid, &status, 0) == pid;
    Child child;
    child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!waited) throw std::runtime_error("fork or wait failed");
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line == "Linking program...") ++child.programs_linked;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("simhost " + text[1] + " failed, status " + std::to_string(status));
    return child;
}

Child first_image(const fs::path& cache) {
    const fs::path output = scratch() / "demo.png";
    const Child child = run_child({"render", kPlugin, "--scene", kScene, "--output", output.string()}, cache);
    if (!fs::exists(output)) throw std::runtime_error("no image was written");
    fs::remove(output);
    return child;
}

fs::path warm_cache() {
    const fs::path dir = scratch() / "warm";
    static const bool filled = [&] {
        first_image(dir);
        return true;
    }();
    (void)filled;
    return dir;
}

fs::path cold_cache() {
    static std::atomic<int> next{0};
    return scratch() / ("cold-" + std::to_string(next++));
}

double g_bare_s = 0.0, g_cold_s = 0.0, g_warm_s = 0.0;
int g_programs = 0;

void BM_BareChild(benchmark::State& state) {
    double total = 0.0;
    for (auto _ : state) {
        const Child child = run_child({"info", kPlugin}, warm_cache());
        state.SetIterationTime(child.seconds);
        total += child.seconds;
    }
    g_bare_s = total / double(state.iterations());
}

template <bool Cold>
void BM_FirstImage(benchmark::State& state) {
    const fs::path warm = warm_cache();
    double total = 0.0;
    int programs = 0;
    for (auto _ : state) {
        const Child child = first_image(Cold ? cold_cache() : warm);
        state.SetIterationTime(child.seconds);
        total += child.seconds;
        programs = child.programs_linked;
    }
    state.counters["programs_linked"] = programs;
    (Cold ? g_cold_s : g_warm_s) = total / double(state.iterations());
    g_programs = programs;
}

void summarise() {
    std::error_code ignored;
    fs::remove_all(scratch(), ignored);
    if (g_cold_s > 0.0 && g_warm_s > 0.0) {
        std::printf("first image of the demo scene: cold cache %.0f ms, warm %.0f ms, cold / warm %.2f; "
                    "%d programs linked\n",
                    1000.0 * g_cold_s, 1000.0 * g_warm_s, g_cold_s / g_warm_s, g_programs);
        if (g_bare_s > 0.0)
            std::printf("  less the bare child's %.0f ms: cold %.0f ms, warm %.0f ms\n", 1000.0 * g_bare_s,
                        1000.0 * (g_cold_s - g_bare_s), 1000.0 * (g_warm_s - g_bare_s));
    }
}

}  // namespace

int main(int argc, char** argv) {
    return tavrel_bench::run_process_benchmarks(argc, argv,
                                                {{"BM_BareChild", guarded<BM_BareChild>},
                                                 {"BM_FirstImage/cold", guarded<BM_FirstImage<true>>},
                                                 {"BM_FirstImage/warm", guarded<BM_FirstImage<false>>}},
                                                {3, true, benchmark::kMillisecond}, summarise);
}
