// Peak resident memory of whole frames: `simhost render` of the built-in test
// pattern, one child process per frame, its peak read from wait4 so that the
// figure is that child's alone. Against a bare child in the same run, a
// 16 x 16 frame, which holds what every frame holds whatever its size (the
// driver, the programs, the libraries):
// - 640 x 360, 1920 x 1080 and 3840 x 2160 at "Antialiasing" Medium (four
//   samples a pixel in four jittered views), and 3840 x 2160 at None;
// - for each, the peak in MB and the bytes a pixel costs above the bare
//   child's peak, what the copies of the frame held at once come to.
// - 640 x 360 at Medium with 100 generated instances, by each read path
//   (TAVREL_GL_PATH): the software path's throttle holds the binned
//   triangles of a few instances at once, the hardware path, which leaves
//   that to a card's driver, lets llvmpipe bin them all; with the seconds
//   each frame took.
// The report ends with the 3840 x 2160 frame's peak and the aim, under
// 1000 MB.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/frame_memory_bench
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/guarded.h"
#include "bench/process_bench_main.h"

namespace {

using tavrel_bench::guarded;

const std::string kSimhost = std::string(TAVREL_BIN_DIR) + "/simhost";
const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

struct Frame {
    int width, height;
    const char* antialiasing;
    int instances = 1;
    // The forced read path, or null for the driver's own.
    const char* path = nullptr;
};

// Peak resident kilobytes of one render, which must succeed.
long render_peak_kb(const Frame& frame) {
    char output[] = "/tmp/frame_memory_XXXXXX.png";
    const int fd = mkstemps(output, 4);
    if (fd < 0) throw std::runtime_error("mkstemps failed");
    close(fd);
    std::vector<std::string> text = {kSimhost, "render", kPlugin,
                                     "--size", std::to_string(frame.width) + "x" + std::to_string(frame.height),
                                     "--set", std::string("Antialiasing=") + frame.antialiasing,
                                     "--set", "Instances=" + std::to_string(frame.instances),
                                     "--output", output};
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null_out = open("/dev/null", O_WRONLY);
        dup2(null_out, 1);
        dup2(null_out, 2);
        if (frame.path != nullptr) setenv("TAVREL_GL_PATH", frame.path, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    const bool waited = pid > 0 && wait4(pid, &status, 0, &usage) == pid;
    std::remove(output);
    if (!waited) throw std::runtime_error("fork or wait failed");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("simhost render of " + text[4] + " failed");
    return usage.ru_maxrss;
}

long g_bare_kb = 0;
long g_largest_kb = 0;

void BM_BareFrame(benchmark::State& state) {
    for (auto _ : state) g_bare_kb = render_peak_kb({16, 16, "Medium"});
    state.counters["peak_mb"] = double(g_bare_kb) / 1024.0;
}

template <int Width, int Height, bool Antialiased>
void BM_FramePeak(benchmark::State& state) {
    const Frame frame{Width, Height, Antialiased ? "Medium" : "None"};
    long peak = 0;
    for (auto _ : state) peak = render_peak_kb(frame);
    state.counters["peak_mb"] = double(peak) / 1024.0;
    if (g_bare_kb > 0) {
        state.counters["bare_peak_mb"] = double(g_bare_kb) / 1024.0;
        state.counters["bytes_per_pixel_over_bare"] =
            double(peak - g_bare_kb) * 1024.0 / (double(Width) * Height - 16.0 * 16.0);
    }
    if (Width == 3840 && Antialiased) g_largest_kb = peak;
}

template <bool Software>
void BM_InstancesPeak(benchmark::State& state) {
    const Frame frame{640, 360, "Medium", 100, Software ? "software" : "hardware"};
    long peak = 0;
    for (auto _ : state) peak = render_peak_kb(frame);
    state.counters["peak_mb"] = double(peak) / 1024.0;
}

void summarise() {
    if (g_bare_kb > 0 && g_largest_kb > 0) {
        std::printf("3840 x 2160 Medium peak: %.0f MB (aim: under 1000), %.2f x the bare 16 x 16 frame's %.0f MB\n",
                    double(g_largest_kb) / 1024.0, double(g_largest_kb) / double(g_bare_kb),
                    double(g_bare_kb) / 1024.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return tavrel_bench::run_process_benchmarks(
        argc, argv,
        {{"BM_BareFrame", guarded<BM_BareFrame>},
         {"BM_FramePeak/640x360/Medium", guarded<BM_FramePeak<640, 360, true>>},
         {"BM_FramePeak/1920x1080/Medium", guarded<BM_FramePeak<1920, 1080, true>>},
         {"BM_FramePeak/3840x2160/None", guarded<BM_FramePeak<3840, 2160, false>>},
         {"BM_FramePeak/3840x2160/Medium", guarded<BM_FramePeak<3840, 2160, true>>},
         {"BM_InstancesPeak/640x360/100/software", guarded<BM_InstancesPeak<true>>},
         {"BM_InstancesPeak/640x360/100/hardware", guarded<BM_InstancesPeak<false>>}},
        {1, false, benchmark::kSecond}, summarise);
}
