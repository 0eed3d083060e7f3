// Frames whose cost comes from the view or the grid rather than from their
// size and settings, each against the example scene as shipped, in the same
// run: the example's camera moved to the layer's centre and looking along it
// (with the default and with no anti-aliasing), the layer exactly facing the
// camera at time 0 with "Antialiasing" High and depth of field, and the
// example with a saved 2 x 2 grid whose middle point lies at z = 1e6 or
// whose tangent handles all sit on their points. The aim is a ratio of at
// most 5 for each. One frame each: before the shading bounded each pixel
// block's texture footprint, the slow ones took minutes on Mesa's
// software renderer.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/pathological_frame_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/core/debug_output.h"
#include "simhost/render_driver.h"

namespace {

using tavrel_bench::guarded;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
const std::string kScenes = TAVREL_SCENE_DIR;

// The example scene with the camera, time and edits given.
std::string example_scene(const std::string& camera, double time, const std::string& extra_params) {
    return R"({"comp": {"width": 640, "height": 360, "pixel_aspect": 1.0, "duration": 2.0},
  "time": )" + std::to_string(time) + R"(, "downsample": [1, 1], "camera": )" + camera + R"(,
  "lights": [{"type": "point", "position": [120, 60, -500], "color": [1.0, 0.95, 0.9], "intensity": 100,
              "casts_shadows": false}, {"type": "ambient", "intensity": 25}],
  "layer": {"position": [0, 0, 0]},
  "layers": [{"image": "ripples.png", "position": [320, 180, 0], "anchor": [80, 45, 0]}],
  "params": {)" + extra_params + R"("Rows": 3, "Displacement Layer": 1, "Displacement Height": 40},
  "keyframes": {"Rotation Y": [[0, 0], [2, 30]]}})";
}

const char* const kExampleCamera =
    R"({"type": "perspective", "position": [320, 180, -900], "point_of_interest": [320, 180, 0], "zoom": 900})";
const char* const kEdgeOnCamera =
    R"({"type": "perspective", "position": [320, 180, 0], "point_of_interest": [640, 180, 0], "zoom": 900})";
const char* const kFocusCamera =
    R"({"type": "perspective", "position": [320, 180, -900], "point_of_interest": [320, 180, 0], "zoom": 900,
        "focus_distance": 900, "depth_of_field": true, "aperture": 20, "blur_level": 100})";

void put_u16(std::vector<uint8_t>& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put_u32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put_f32(std::vector<uint8_t>& b, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put_u32(b, bits);
}

// A saved 2 x 2 grid, as the host's default flat grid lays it out, with the
// middle point at z = `middle_z` and the tangent handles a third of a cell
// from their points, or on them when `zero_tangents`.
std::vector<uint8_t> saved_grid(float middle_z, bool zero_tangents) {
    const int n = 2;
    std::vector<uint8_t> b{'K', 'Z', 'T', 'Q'};
    put_u16(b, 1);
    put_u16(b, 0);
    put_u32(b, (n + 1) * (n + 1));
    put_u32(b, n);
    put_u32(b, n);
    const float h = zero_tangents ? 0.0f : 2.0f / 6.0f;
    for (int r = 0; r <= n; ++r) {
        for (int c = 0; c <= n; ++c) {
            const float x = -1.0f + float(c), y = -1.0f + float(r);
            const float z = (r == 1 && c == 1) ? middle_z : 0.0f;
            b.push_back(0);
            const auto handle = [&](bool active, float hx, float hy) {
                b.push_back(active ? 1 : 0);
                b.push_back(0);
                put_f32(b, hx);
                put_f32(b, hy);
                put_f32(b, z);
            };
            handle(true, x, y);
            handle(c > 0, x - h, y);
            handle(c < n, x + h, y);
            handle(r > 0, x, y - h);
            handle(r < n, x, y + h);
        }
    }
    b.insert(b.end(), {'K', 'Z', 'T', 'Q'});
    return b;
}

// A folder of scene and grid files beside a link to the example's image,
// removed at exit.
class Folder {
public:
    Folder() {
        char name[] = "/tmp/pathological_frame_XXXXXX";
        if (!mkdtemp(name)) throw std::runtime_error("cannot make a folder");
        path_ = name;
        if (symlink((kScenes + "/ripples.png").c_str(), (path_ + "/ripples.png").c_str()) != 0)
            throw std::runtime_error("cannot link the example's image");
    }
    ~Folder() {
        for (const std::string& f : files_) std::remove(f.c_str());
        std::remove((path_ + "/ripples.png").c_str());
        rmdir(path_.c_str());
    }
    template <typename Bytes>
    std::string write(const std::string& name, const Bytes& bytes) {
        const std::string file = path_ + "/" + name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + file);
        files_.push_back(file);
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

Folder& folder() {
    static Folder f;
    return f;
}

void render_once(benchmark::State& state, const simhost::RenderSetup& setup) {
    simhost::RenderDriver driver(setup);
    for (auto _ : state) {
        simhost::RenderedFrame frame = driver.render(8);
        if (frame.result.err != 0 || !frame.result.message.empty() || !frame.output)
            throw std::runtime_error("the frame failed: error " + std::to_string(frame.result.err) + " " +
                                     frame.result.message);
        if (!frame.info_lines.empty())
            state.counters["k_triangles"] = std::atof(frame.info_lines.back().first.c_str());
    }
    driver.finish();
}

simhost::RenderSetup scene_setup(const std::string& name, const std::string& json, const std::string& grid = {}) {
    simhost::RenderSetup setup;
    setup.plugin = kPlugin;
    setup.scene = folder().write(name, json);
    setup.grid = grid;
    return setup;
}

void BM_Example(benchmark::State& state) {
    simhost::RenderSetup setup;
    setup.plugin = kPlugin;
    setup.scene = kScenes + "/example.json";
    render_once(state, setup);
}

void BM_EdgeOn(benchmark::State& state) {
    render_once(state, scene_setup("edge_on.json", example_scene(kEdgeOnCamera, 0.5, "")));
}

void BM_EdgeOnNoAntialiasing(benchmark::State& state) {
    render_once(state,
                scene_setup("edge_on_none.json", example_scene(kEdgeOnCamera, 0.5, R"("Antialiasing": "None", )")));
}

void BM_FacingHighFocus(benchmark::State& state) {
    render_once(state, scene_setup("facing.json", example_scene(kFocusCamera, 0.0, R"("Antialiasing": "High", )")));
}

void BM_GridFarPoint(benchmark::State& state) {
    const std::string grid = folder().write("far.kztq", saved_grid(1e6f, false));
    render_once(state, scene_setup("far.json", example_scene(kExampleCamera, 0.5, ""), grid));
}

void BM_GridZeroTangents(benchmark::State& state) {
    const std::string grid = folder().write("flat_tangents.kztq", saved_grid(0.0f, true));
    render_once(state, scene_setup("flat_tangents.json", example_scene(kExampleCamera, 0.5, ""), grid));
}

#define PATHOLOGICAL(name) \
    BENCHMARK(guarded<name>)->Name(#name)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond)

PATHOLOGICAL(BM_Example);
PATHOLOGICAL(BM_EdgeOn);
PATHOLOGICAL(BM_EdgeOnNoAntialiasing);
PATHOLOGICAL(BM_FacingHighFocus);
PATHOLOGICAL(BM_GridFarPoint);
PATHOLOGICAL(BM_GridZeroTangents);

}  // namespace

int main(int argc, char** argv) {
    tavrel::set_debug_output_sink([](const std::string&) {});
    const std::string base = "BM_Example/iterations:1/real_time";
    std::vector<tavrel_bench::RatioReporter::Ratio> ratios;
    for (const char* name : {"BM_EdgeOn", "BM_EdgeOnNoAntialiasing", "BM_FacingHighFocus", "BM_GridFarPoint",
                             "BM_GridZeroTangents"})
        ratios.push_back({std::string(name) + " / example (aim: at most 5)",
                          std::string(name) + "/iterations:1/real_time", base});
    return tavrel_bench::run_with_ratios(argc, argv, ratios);
}
