// Whole frames of the first effect, loaded from its library file and driven
// in this process as the simulated host drives it (pre-render and render
// phases, the frame set-up, the rendering thread's work, the read-back and
// the copy into the output world):
// - 1920 x 1080, about 200k triangles (regular tessellation of 316
//   subdivisions), four point lights, 4-sample anti-aliasing, 8 bits, against
//   a bare program in the same run drawing the shared 200k-triangle mesh with
//   four lights into a 4-sample buffer, resolving it and reading back the
//   same size and format;
// - the fair floor of that frame: the effect's own placed mesh (built from
//   the engine's pieces as the frame command builds it), camera, lights and
//   layer texture, drawn by a minimal lighting program into the same
//   4-sample buffer, resolved, copied by the copy pass and read back as the
//   effect's frame is, one fair frame and one effect frame a round, medians
//   over the rounds; the effect's frame is charged without the host's own
//   pixel work (painting the layer, world copies and fills), which is
//   reported apart. The ratio "frame / fair bare" ends the report, after the
//   same ratio with one spot light casting shadows and with "3D
//   Transparency" at "4 layers" (three peel passes);
// - a small frame, 128 x 72 (about 20k triangles), end to end: real time and
//   the host thread's CPU time;
// - resources over 1,000 small frames: pixel buffers created per frame in
//   steady state, resident memory, heap in use and the effect's live GL
//   objects after 10 frames and after 1,000, summed up in a line of its own
//   (heap bytes a frame, resident change in percent, GL objects).
// - the second effect's extruded frame against the first effect's on one
//   scene (1280 x 720 comp, a shadow-casting spot light and an ambient one,
//   "Scale" 55, "Rotation X" -20, "Rotation Y" 40; the second effect 120
//   pixels thick, bent by 60 %): one steady frame of each a round, each
//   effect in an instance of its own made for the round (the simulated host
//   is one per process), medians over the rounds; and the peak resident size
//   of a whole `simhost render` of each, run as a child process. A third
//   frame a round, the second effect with the first's surface defaults
//   (regular tessellation, no alpha clip, no pre-blur, hard layer edge),
//   separates what the extrusion and the bend cost from what the second
//   effect's own surface defaults cost.
// The first frame of each (programs compiled, pools filled) is reported
// apart, as a counter, from the steady state.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/frame_render_bench
#include <GL/glew.h>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bare_frame.h"
#include "bench/bench_support.h"
#include "bench/frame_instance.h"
#include "engine/core/debug_output.h"
#include "engine/gpu/readback.h"
#include "engine/interfaces/default_material.h"
#include "engine/render/copy_pass.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/set_material.h"
#include "engine/scene/texture_set.h"
#include "engine/shaders/utility_programs.h"
#include "simhost/elf_file.h"
#include "simhost/host.h"
#include "simhost/render_driver.h"
#include "simhost/worlds.h"
#include "surface/frame/main_render.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/mesh_pipeline.h"

namespace {

using tavrel_bench::guarded;
using tavrel_bench::render_thread;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
const std::string kSecondPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so";

constexpr std::uint32_t kWidth = 1920, kHeight = 1080;
constexpr int kSmallWidth = 128, kSmallHeight = 72;

// The comp and lights of a frame: four point lights in front of the layer,
// casting no shadows as the bare program's cast none; or one spot light
// casting shadows.
std::string lit_scene_json(int width, int height, bool spot_shadows) {
    std::ostringstream out;
    out << "{\"comp\": {\"width\": " << width << ", \"height\": " << height << "}, \"lights\": [";
    if (spot_shadows) {
        out << "{\"type\": \"spot\", \"intensity\": 100, \"cone_angle\": 70, \"cone_feather\": 40, "
            << "\"casts_shadows\": true, \"shadow_darkness\": 60, \"position\": [" << 0.3 * width << ", "
            << 0.3 * height << ", -900], \"point_of_interest\": [" << width / 2 << ", " << height / 2 << ", 0]}";
    } else {
        const double x[2] = {0.2 * width, 0.8 * width}, y[2] = {0.25 * height, 0.75 * height};
        for (int i = 0; i < 4; ++i)
            out << (i ? ", " : "") << "{\"type\": \"point\", \"intensity\": 40, \"casts_shadows\": false, "
                << "\"position\": [" << x[i % 2] << ", " << y[i / 2] << ", -600]}";
    }
    out << "]}";
    return out.str();
}

// The scene of the two effects' comparison; the effect's own values follow
// as edits.
std::string walls_scene_json() {
    return R"({"comp": {"width": 1280, "height": 720}, "lights": [)"
           R"({"type": "spot", "position": [240, -120, -1040], "point_of_interest": [640, 360, 0],)"
           R"( "color": [1.0, 0.96, 0.9], "intensity": 110, "cone_angle": 70, "cone_feather": 40,)"
           R"( "casts_shadows": true, "shadow_darkness": 60, "shadow_diffusion": 4},)"
           R"( {"type": "ambient", "color": [1, 1, 1], "intensity": 35}],)"
           R"( "params": {"Scale X": 55, "Scale Y": 55, "Scale Z": 55, "Rotation X": -20, "Rotation Y": 40}})";
}
const std::vector<std::string> kSecondEffectEdits = {"Thickness=120", "Type=Bend", "Amplitude=60"};
// The second effect's surface settings whose defaults differ from the first
// effect's, set to the first's.
const std::vector<std::string> kFirstSurfaceDefaults = {"Adaptive=0", "Enable Polygonal Alpha Clip=0", "Pre-Blur=0",
                                                        "Soften Layer Edge=0"};

// The scene written to a temporary file that lives as long as the object.
class LitScene {
public:
    explicit LitScene(const std::string& json) { write(json); }
    LitScene(int width, int height, bool spot_shadows = false) { write(lit_scene_json(width, height, spot_shadows)); }
    ~LitScene() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    void write(const std::string& json) {
        char name[] = "/tmp/frame_render_bench_XXXXXX.json";
        const int fd = mkstemps(name, 5);
        if (fd < 0) throw std::runtime_error("cannot make a temporary scene file");
        close(fd);
        path_ = name;
        std::ofstream out(path_);
        out << json << "\n";
        if (!out) throw std::runtime_error("cannot write " + path_);
    }

    std::string path_;
};

// One view of 4 samples and a regular tessellation of 2 x n x n triangles:
// 316 gives the size of the shared benchmark mesh, the default 100 suits a
// small frame.
simhost::RenderSetup frame_setup(const LitScene& scene, int width, int height, int subdivisions) {
    simhost::RenderSetup setup;
    setup.plugin = kPlugin;
    setup.scene = scene.path();
    setup.width = width;
    setup.height = height;
    setup.edits = {"Antialiasing=Low", "Adaptive=0", "Subdivisions=" + std::to_string(subdivisions)};
    return setup;
}

// One frame, which must succeed and leave the host nothing to object to.
simhost::RenderedFrame render_frame(simhost::RenderDriver& driver) {
    simhost::RenderedFrame frame = driver.render(8);
    if (frame.result.err != 0 || !frame.result.message.empty() || !frame.violations.empty() || !frame.output)
        throw std::runtime_error("the frame failed: error " + std::to_string(frame.result.err) + " " +
                                 frame.result.message +
                                 (frame.violations.empty() ? "" : "; " + frame.violations.front()));
    return frame;
}

// The triangle count of the frame's statistics line ("199.71 K triangles").
double triangles_shown(const simhost::RenderedFrame& frame) {
    return frame.info_lines.empty() ? 0.0 : std::atof(frame.info_lines.back().first.c_str()) * 1000.0;
}

double milliseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The effect library keeps its own copy of the engine's GL-object count and
// exports nothing but its entry point; the count is reached through the
// library's symbol table and its load address.
class LiveGlObjects {
public:
    explicit LiveGlObjects(simhost::Host& host) {
        const simhost::ElfFile file(host.plugin().path());
        const auto symbols = file.section(".symtab");
        const auto names = file.section(".strtab");
        if (!symbols || !names) throw std::runtime_error(kPlugin + " has no symbol table");
        const char* const wanted = "_ZN6tavrel15live_gl_objectsEv";  // tavrel::live_gl_objects()
        std::uint64_t offset = 0;
        for (std::size_t at = 0; at + sizeof(Elf64_Sym) <= symbols->size(); at += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, symbols->data() + at, sizeof symbol);
            if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_name >= names->size()) continue;
            if (std::strcmp(reinterpret_cast<const char*>(names->data()) + symbol.st_name, wanted) == 0)
                offset = symbol.st_value;
        }
        Dl_info loaded{};
        if (offset == 0 || dladdr(reinterpret_cast<void*>(host.plugin().entry()), &loaded) == 0)
            throw std::runtime_error(kPlugin + ": the GL-object count is not reachable");
        count_ = reinterpret_cast<std::int64_t (*)()>(static_cast<char*>(loaded.dli_fbase) + offset);
    }
    std::int64_t operator()() const { return count_(); }

private:
    std::int64_t (*count_)() = nullptr;
};

// Buffer objects created by anyone in the process while an instance lives:
// the engine's pixel buffers are made through the loader's one glGenBuffers
// pointer, shared with this program. Install after the effect's engine has
// started, since starting it loads the pointers afresh.
std::atomic<std::uint64_t> g_buffers_created{0};
PFNGLGENBUFFERSPROC g_gen_buffers = nullptr;

void GLAPIENTRY counting_gen_buffers(GLsizei n, GLuint* names) {
    g_buffers_created += std::uint64_t(n);
    g_gen_buffers(n, names);
}

class CountBuffersCreated {
public:
    CountBuffersCreated() {
        g_gen_buffers = __glewGenBuffers;
        __glewGenBuffers = counting_gen_buffers;
    }
    ~CountBuffersCreated() { __glewGenBuffers = g_gen_buffers; }
    CountBuffersCreated(const CountBuffersCreated&) = delete;
    CountBuffersCreated& operator=(const CountBuffersCreated&) = delete;
};

double resident_megabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The bare frame's steady time, for the effect's frame that runs after it.
double g_bare_frame_ms = 0.0;

// The bare program's frame, read back as the effect's 8-bit frame is: into a
// pixel-pack buffer, mapped, copied out.
void BM_BareFrame(benchmark::State& state) {
    render_thread().execute([&](tavrel::GlEngine& engine) {
        tavrel_bench::BareFrame frame(engine, double(kWidth) / kHeight);
        std::vector<std::uint8_t> image(std::size_t(kWidth) * kHeight * 4);
        const auto render = [&] {
            auto target = frame.draw(engine, kWidth, kHeight, 4, 0);
            auto pixels = tavrel::map_readback(tavrel::read_pixels_to_pbo(engine, *target), kWidth, kHeight, 0);
            std::memcpy(image.data(), boost::get<std::uint8_t*>(pixels->data()), image.size());
        };
        const auto start = std::chrono::steady_clock::now();
        render();
        state.counters["first_frame_ms"] = milliseconds_since(start);
        const auto steady = std::chrono::steady_clock::now();
        for (auto _ : state) render();
        if (state.iterations() > 0) g_bare_frame_ms = milliseconds_since(steady) / double(state.iterations());
    });
    state.counters["triangles"] = tavrel_bench::kMeshTriangles;
}

// The three shadings the fair floor is measured at.
enum Shading { kDefaultShading, kSpotShadows, kPeeling, kShadings };
const char* const kShadingNames[kShadings] = {"", ", one spot light with shadows", ", 3D Transparency 4 layers"};

// Steady milliseconds per frame of each shading: the fair floor, and the
// effect's frame without the host's own pixel work.
double g_fair_bare_ms[kShadings] = {};
double g_effect_ms[kShadings] = {};

const char* const kFairVertex = R"glsl(
uniform mat4 ViewTransform;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec4 world = gl_ModelViewMatrix * gl_Vertex;
    position = world.xyz;
    normal = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ProjectionMatrix * (vec4(world.xyz, 1.0) * ViewTransform);
}
)glsl";

// Diffuse and specular light from each of the frame's lights, from its
// position, over the layer's colour; premultiplied as the effect writes it.
const char* const kFairFragment = R"glsl(
uniform sampler2D ColorSampler;
uniform vec3 light_position[4];
uniform int light_count;
uniform vec3 CameraPosition;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec3 N = normalize(normal);
    vec3 E = normalize(CameraPosition - position);
    vec4 decal = texture2D(ColorSampler, gl_TexCoord[0].st);
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        if (i >= light_count)
            break;
        vec3 L = normalize(light_position[i] - position);
        float d = abs(dot(N, L));
        float s = pow(max(dot(normalize(-reflect(L, N)), E), 0.0), 100.0);
        sum += decal.rgb * d + vec3(s);
    }
    gl_FragColor = vec4(clamp(sum, 0.0, 1.0) * decal.a, decal.a);
}
)glsl";

// The fair floor of the 1080p frame: the effect's placed mesh, camera,
// lights and layer texture, built once from the engine's pieces as the frame
// command builds them, then per frame drawn by the minimal program into a
// 4-sample buffer, resolved, copied by the copy pass and read back into host
// memory. Made, drawn and destroyed on the benchmark's rendering thread.
class FairBareFrame {
public:
    FairBareFrame(tavrel::GlEngine& engine, Shading shading) : instance_(fair_kind(shading)) {
        using namespace tavrel;
        try {
            TimeVariableParameters& values = instance_.values;
            SequenceData& data = *instance_.data;
            SetupInputFct{values.render_input, data.triangle_mesh, &instance_.abort}(engine);
            set_material(Material());
            colour_ = engine.texture_from_accessor(values.source, GL_TEXTURE0, 1, 1, false);
            colour_->unbind();
            data.layer_texture = engine.request_render_target(colour_->width(), colour_->height(), 1,
                                                              colour_->format(), false, 1, 1);
            data.clipping_alpha->combine(*colour_, nullptr, *data.layer_texture);
            const TextureSet textures(colour_, nullptr, nullptr, 0.0f, 0);
            std::int32_t iterations = 0;
            scene_ = std::make_unique<MeshScene>(
                build_mesh_scene(values, textures, engine, instance_.abort, 0, iterations));
            triangles_ = scene_->scene->primitive_count();

            program_ = std::make_unique<TexturingProgram>(kFairVertex, kFairFragment);
            std::vector<IParameter::Vec3> positions;
            for (std::uint64_t i = 0; i < std::min<std::uint64_t>(4, values.lights->count()); ++i) {
                const float* p = values.lights->light(i)->position();
                positions.push_back({p[0], p[1], p[2]});
            }
            program_->bind();
            program_->get_parameter("ColorSampler")->set_int(0);
            program_->get_parameter("light_count")->set_int(int(positions.size()));
            if (!positions.empty()) program_->get_parameter("light_position")->set_vec3_array(positions);
            program_->unbind();
        } catch (...) {
            release();
            throw;
        }
    }
    ~FairBareFrame() { release(); }
    FairBareFrame(const FairBareFrame&) = delete;
    FairBareFrame& operator=(const FairBareFrame&) = delete;

    std::uint64_t triangles() const { return triangles_; }

    void render(tavrel::GlEngine& engine) {
        using namespace tavrel;
        auto buffer = engine.request_render_buffer(kWidth, kHeight, 4, 0);
        auto view = engine.request_render_target(kWidth, kHeight, 1, 0, false, 0, 1);
        auto output = engine.request_render_target(kWidth, kHeight, 1, 0, true, 0, 1);
        buffer->bind();
        glViewport(0, 0, GLsizei(kWidth), GLsizei(kHeight));
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        program_->bind();
        scene_->scene->render_with_textures(*program_, *scene_->camera);
        program_->unbind();
        glDisable(GL_DEPTH_TEST);
        fast_blit(*buffer, *view);
        copy_pass(*view, *output, engine.copy_program(0));
        auto pixels = map_readback(read_pixels_to_pbo(engine, *output), kWidth, kHeight, 0);
        std::memcpy(image_.data(), boost::get<std::uint8_t*>(pixels->data()), image_.size());
    }

private:
    static tavrel_bench::FrameKind fair_kind(Shading shading) {
        tavrel_bench::FrameKind kind = tavrel_bench::full_hd_frame();
        kind.scene_json = lit_scene_json(int(kWidth), int(kHeight), shading == kSpotShadows);
        return kind;
    }
    // The GL objects first, then the instance, in the order the frame
    // command lets them go.
    void release() noexcept {
        program_.reset();
        scene_.reset();
        colour_.reset();
        instance_.destroy();
    }

    tavrel_bench::Instance instance_;
    std::shared_ptr<tavrel::ITextureObject> colour_;
    std::unique_ptr<tavrel::MeshScene> scene_;
    std::unique_ptr<tavrel::TexturingProgram> program_;
    std::uint64_t triangles_ = 0;
    std::vector<std::uint8_t> image_ = std::vector<std::uint8_t>(std::size_t(kWidth) * kHeight * 4);
};

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The effect's 1080p frame of a shading against its fair floor, one of each
// a round, so that both meet the same machine: the machine's own pace moves
// by tens of percent from minute to minute, which two runs a minute apart
// would read as a change of ratio. The effect's frame is charged without the
// host's own pixel work (host_ms); each side's time is its median over the
// rounds.
void frame_against_fair_bare(benchmark::State& state, Shading shading) {
    const LitScene scene(kWidth, kHeight, shading == kSpotShadows);
    simhost::RenderSetup setup = frame_setup(scene, kWidth, kHeight, 316);
    if (shading == kPeeling) setup.edits.push_back("3D Transparency=4 layers");
    // The fair frame reads its lights through a simulated host of its own,
    // which must be gone before the driver's comes.
    std::unique_ptr<FairBareFrame> fair;
    struct Release {
        std::unique_ptr<FairBareFrame>& fair;
        ~Release() {
            render_thread().execute([this](tavrel::GlEngine&) { fair.reset(); });
        }
    } release{fair};
    auto start = std::chrono::steady_clock::now();
    render_thread().execute([&](tavrel::GlEngine& engine) {
        fair = std::make_unique<FairBareFrame>(engine, shading);
        fair->render(engine);
    });
    state.counters["fair_first_frame_ms"] = milliseconds_since(start);
    state.counters["triangles"] = double(fair->triangles());
    simhost::RenderDriver driver(setup);
    start = std::chrono::steady_clock::now();
    render_frame(driver);
    state.counters["first_frame_ms"] = milliseconds_since(start);

    std::vector<double> fair_ms, effect_ms, host_ms;
    for (auto _ : state) {
        start = std::chrono::steady_clock::now();
        render_thread().execute([&](tavrel::GlEngine& engine) { fair->render(engine); });
        fair_ms.push_back(milliseconds_since(start));
        const double host_before = simhost::host_pixel_seconds();
        start = std::chrono::steady_clock::now();
        render_frame(driver);
        const double host = (simhost::host_pixel_seconds() - host_before) * 1000.0;
        effect_ms.push_back(milliseconds_since(start) - host);
        host_ms.push_back(host);
    }
    if (state.iterations() == 0) return;
    g_fair_bare_ms[shading] = median(fair_ms);
    g_effect_ms[shading] = median(effect_ms);
    state.counters["fair_bare_ms"] = g_fair_bare_ms[shading];
    state.counters["effect_ms"] = g_effect_ms[shading];
    state.counters["host_ms"] = median(host_ms);
    state.counters["effect_over_fair_bare"] = g_effect_ms[shading] / g_fair_bare_ms[shading];
    const auto left = driver.finish();
    if (!left.empty()) state.SkipWithError(left.front().c_str());
}

void BM_FrameAgainstFairBare(benchmark::State& state) { frame_against_fair_bare(state, kDefaultShading); }
void BM_FrameAgainstFairBareSpotShadows(benchmark::State& state) { frame_against_fair_bare(state, kSpotShadows); }
void BM_FrameAgainstFairBarePeeling(benchmark::State& state) { frame_against_fair_bare(state, kPeeling); }

// Runs after the bare frame, whose time it sets beside its own as counters.
void BM_EffectFrame(benchmark::State& state) {
    const LitScene scene(kWidth, kHeight);
    auto start = std::chrono::steady_clock::now();
    simhost::RenderDriver driver(frame_setup(scene, kWidth, kHeight, 316));
    state.counters["set_up_ms"] = milliseconds_since(start);
    start = std::chrono::steady_clock::now();
    const simhost::RenderedFrame first = render_frame(driver);
    state.counters["first_frame_ms"] = milliseconds_since(start);
    state.counters["triangles"] = triangles_shown(first);
    start = std::chrono::steady_clock::now();
    for (auto _ : state) render_frame(driver);
    if (g_bare_frame_ms > 0.0 && state.iterations() > 0) {
        state.counters["bare_frame_ms"] = g_bare_frame_ms;
        state.counters["effect_over_bare"] = milliseconds_since(start) / double(state.iterations()) / g_bare_frame_ms;
    }
    const auto left = driver.finish();
    if (!left.empty()) state.SkipWithError(left.front().c_str());
}

// The walls scene's frames: the first effect, the second, and the second
// with the first's surface defaults.
enum WallsFrame { kFirstEffect, kSecondEffect, kSecondLikeFirst, kWallsFrames };

// Steady milliseconds of each walls frame, and the peak resident megabytes
// of a whole render of the first and the second effect.
double g_walls_ms[kWallsFrames] = {};
double g_walls_peak_mb[2] = {};

// One steady frame of the effect: its instance is made, renders its first
// frame (programs compiled, mesh placed), then the timed one.
double steady_walls_frame_ms(WallsFrame frame, const LitScene& scene) {
    simhost::RenderSetup setup;
    setup.plugin = frame == kFirstEffect ? kPlugin : kSecondPlugin;
    setup.scene = scene.path();
    if (frame != kFirstEffect) setup.edits = kSecondEffectEdits;
    if (frame == kSecondLikeFirst)
        setup.edits.insert(setup.edits.end(), kFirstSurfaceDefaults.begin(), kFirstSurfaceDefaults.end());
    simhost::RenderDriver driver(setup);
    render_frame(driver);
    const double host_before = simhost::host_pixel_seconds();
    const auto start = std::chrono::steady_clock::now();
    render_frame(driver);
    const double ms = milliseconds_since(start) - (simhost::host_pixel_seconds() - host_before) * 1000.0;
    const auto left = driver.finish();
    if (!left.empty()) throw std::runtime_error(left.front());
    return ms;
}

// The peak resident size of `simhost render` of the effect on the scene,
// the whole process, as its parent's wait reports it.
double simhost_peak_megabytes(int effect, const LitScene& scene) {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) throw std::runtime_error("cannot find this program's folder");
    std::string simhost = std::string(self, std::size_t(n));
    simhost = simhost.substr(0, simhost.rfind('/') + 1) + "simhost";
    char output[] = "/tmp/frame_render_bench_XXXXXX.png";
    const int fd = mkstemps(output, 4);
    if (fd < 0) throw std::runtime_error("cannot make a temporary output file");
    close(fd);
    std::vector<std::string> args = {simhost, "render", effect == 0 ? kPlugin : kSecondPlugin, "--scene",
                                     scene.path(), "--output", output};
    if (effect == 1)
        for (const std::string& edit : kSecondEffectEdits) args.insert(args.end(), {"--set", edit});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, simhost.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot run " + simhost + ": " + std::strerror(spawned));
    int status = 0;
    rusage usage{};
    const pid_t waited = wait4(child, &status, 0, &usage);
    std::remove(output);
    if (waited != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(simhost + " render failed");
    return double(usage.ru_maxrss) / 1024.0;
}

// The second effect's frame against the first's, one of each a round.
void BM_SecondEffectAgainstFirst(benchmark::State& state) {
    const LitScene scene(walls_scene_json());
    std::vector<double> ms[kWallsFrames];
    for (auto _ : state)
        for (WallsFrame frame : {kFirstEffect, kSecondEffect, kSecondLikeFirst})
            ms[frame].push_back(steady_walls_frame_ms(frame, scene));
    if (state.iterations() == 0) return;
    for (int frame = 0; frame < kWallsFrames; ++frame) g_walls_ms[frame] = median(ms[frame]);
    state.counters["first_effect_ms"] = g_walls_ms[kFirstEffect];
    state.counters["second_effect_ms"] = g_walls_ms[kSecondEffect];
    state.counters["second_like_first_ms"] = g_walls_ms[kSecondLikeFirst];
}

// The peak resident sizes are measured before anything renders here: a
// child's peak starts from the size of the process it was started from
// (the kernel keeps the larger of the two across the exec), and this one
// grows past the renders it starts once frames have run in it.
void measure_walls_peaks(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string filter = "--benchmark_filter=";
        if (arg.rfind(filter, 0) == 0 && arg.find("SecondEffect") == std::string::npos &&
            arg.size() > filter.size() && arg.substr(filter.size()) != "all" && arg.substr(filter.size()) != ".")
            return;
    }
    const LitScene scene(walls_scene_json());
    for (int effect : {0, 1}) g_walls_peak_mb[effect] = simhost_peak_megabytes(effect, scene);
}

// Real time is the frame end to end; CPU time is the host thread's alone
// (the rendering thread's work is not counted in it).
void BM_EffectSmallFrame(benchmark::State& state) {
    const LitScene scene(kSmallWidth, kSmallHeight);
    simhost::RenderDriver driver(frame_setup(scene, kSmallWidth, kSmallHeight, 100));
    const auto start = std::chrono::steady_clock::now();
    render_frame(driver);
    state.counters["first_frame_ms"] = milliseconds_since(start);
    for (auto _ : state) render_frame(driver);
    const auto left = driver.finish();
    if (!left.empty()) state.SkipWithError(left.front().c_str());
}

// The resident size once the C library has given the free pages of every
// arena back: what the process holds, without what the allocator of each
// thread keeps cached (the rendering thread and the driver's threads
// allocate from arenas of their own, which grow to their high-water mark
// over the first frames).
double trimmed_resident_megabytes() {
    malloc_trim(0);
    return resident_megabytes();
}

// The size attribute of the first element that starts with `tag` in the
// text; 0 without one.
double xml_size(const std::string& text, const std::string& tag) {
    const std::size_t at = text.find(tag);
    if (at == std::string::npos) return 0.0;
    const std::size_t size = text.find("size=\"", at);
    return size == std::string::npos ? 0.0 : std::strtod(text.c_str() + size + 6, nullptr);
}

// Heap blocks in use, the effect's and the host's, as the C library counts
// them over all its arenas: the rendering thread and the driver's threads
// allocate from arenas of their own, which mallinfo2 does not count. What
// the arenas hold less what lies free in them, and the blocks mapped apart.
double heap_megabytes() {
    char* buffer = nullptr;
    std::size_t length = 0;
    FILE* out = open_memstream(&buffer, &length);
    if (out == nullptr) return 0.0;
    malloc_info(0, out);
    std::fclose(out);
    std::string text(buffer, length);
    std::free(buffer);
    // The totals over every arena follow the last arena's element.
    const std::size_t totals = text.rfind("</heap>");
    if (totals != std::string::npos) text.erase(0, totals);
    const double in_use = xml_size(text, "<system type=\"current\"") - xml_size(text, "<total type=\"fast\"") -
                          xml_size(text, "<total type=\"rest\"") + xml_size(text, "<total type=\"mmap\"");
    return in_use / (1024.0 * 1024.0);
}

// What the 1,000 frames below left, for the report's last lines.
struct FlatMemory {
    bool measured = false;
    double heap_bytes_per_frame = 0.0;
    double rss_change_percent = 0.0;
    double trimmed_rss_change_percent = 0.0;
    std::int64_t gl_objects_after_10 = 0, gl_objects_after_1000 = 0;
};
FlatMemory g_flat;

// 1,000 small frames in one instance. What a frame leaks shows as growth
// between the 10th and the 1,000th; pools that recycle show as no buffers
// created once they are filled. The host's per-frame records (checkout log,
// information lines, world copies and fills) describe the latest frame only,
// so the host too is measured.
void BM_EffectFrameResources(benchmark::State& state) {
    const LitScene scene(kSmallWidth, kSmallHeight);
    for (auto _ : state) {
        simhost::RenderDriver driver(frame_setup(scene, kSmallWidth, kSmallHeight, 100));
        const LiveGlObjects live(driver.host());
        const CountBuffersCreated counting;
        const auto frame = [&] { render_frame(driver); };
        const std::uint64_t start = g_buffers_created;
        for (int i = 0; i < 10; ++i) frame();
        const std::uint64_t filled = g_buffers_created;
        state.counters["buffers_created_in_first_10"] = double(filled - start);
        state.counters["rss_mb_after_10"] = resident_megabytes();
        state.counters["trimmed_rss_mb_after_10"] = trimmed_resident_megabytes();
        state.counters["heap_mb_after_10"] = heap_megabytes();
        state.counters["gl_objects_after_10"] = double(live());
        for (int i = 10; i < 1000; ++i) frame();
        state.counters["buffers_created_per_frame"] = double(g_buffers_created - filled) / 990.0;
        state.counters["rss_mb_after_1000"] = resident_megabytes();
        state.counters["trimmed_rss_mb_after_1000"] = trimmed_resident_megabytes();
        state.counters["heap_mb_after_1000"] = heap_megabytes();
        state.counters["gl_objects_after_1000"] = double(live());
        // Flat: the heap in use and the GL objects equal, the resident size
        // within 1%.
        g_flat.heap_bytes_per_frame =
            (state.counters["heap_mb_after_1000"] - state.counters["heap_mb_after_10"]) * 1024.0 * 1024.0 / 990.0;
        g_flat.rss_change_percent =
            100.0 * (state.counters["rss_mb_after_1000"] / state.counters["rss_mb_after_10"] - 1.0);
        g_flat.gl_objects_after_10 = std::int64_t(state.counters["gl_objects_after_10"]);
        g_flat.gl_objects_after_1000 = std::int64_t(state.counters["gl_objects_after_1000"]);
        g_flat.measured = true;
        state.counters["heap_bytes_per_frame"] = g_flat.heap_bytes_per_frame;
        state.counters["rss_change_percent"] = g_flat.rss_change_percent;
        g_flat.trimmed_rss_change_percent =
            100.0 * (state.counters["trimmed_rss_mb_after_1000"] / state.counters["trimmed_rss_mb_after_10"] - 1.0);
        state.counters["trimmed_rss_change_percent"] = g_flat.trimmed_rss_change_percent;
        const auto left = driver.finish();
        if (!left.empty()) state.SkipWithError(left.front().c_str());
    }
}

BENCHMARK(guarded<BM_BareFrame>)->Name("BM_BareFrame")->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_EffectFrame>)
    ->Name("BM_EffectFrame")
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_FrameAgainstFairBare>)
    ->Name("BM_FrameAgainstFairBare")
    ->Iterations(9)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_FrameAgainstFairBareSpotShadows>)
    ->Name("BM_FrameAgainstFairBareSpotShadows")
    ->Iterations(9)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_FrameAgainstFairBarePeeling>)
    ->Name("BM_FrameAgainstFairBarePeeling")
    ->Iterations(9)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_SecondEffectAgainstFirst>)
    ->Name("BM_SecondEffectAgainstFirst")
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_EffectSmallFrame>)->Name("BM_EffectSmallFrame")->Unit(benchmark::kMillisecond);
BENCHMARK(guarded<BM_EffectFrameResources>)
    ->Name("BM_EffectFrameResources")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    // Compile progress would drown the report.
    tavrel::set_debug_output_sink([](const std::string&) {});
    // The frames run as under a host, from before the first rendering thread.
    simhost::set_frame_heap_policy();
    try {
        measure_walls_peaks(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "peak resident sizes not measured: %s\n", e.what());
    }
    const int result = tavrel_bench::run_with_ratios(
        argc, argv, {{"effect frame / bare frame", "BM_EffectFrame/iterations:3/real_time",
                      "BM_BareFrame/iterations:3/real_time"}});
    if (g_flat.measured) {
        // The host's heap keeps freed pages up to its trim threshold, so the
        // resident size as found depends on what ran before; with the free
        // pages given back it is what the frames hold.
        std::printf("1,000 small frames: heap in use %+.1f bytes a frame (aim 0), resident size %+.2f%% with the "
                    "free pages of every arena given back (aim within 1%%; %+.2f%% as found), GL objects %lld "
                    "after 10 and %lld after 1,000\n",
                    g_flat.heap_bytes_per_frame, g_flat.trimmed_rss_change_percent, g_flat.rss_change_percent,
                    static_cast<long long>(g_flat.gl_objects_after_10),
                    static_cast<long long>(g_flat.gl_objects_after_1000));
    }
    if (g_walls_peak_mb[0] > 0.0 && g_walls_peak_mb[1] > 0.0)
        std::printf("peak resident size of a whole simhost render: first effect %.0f MB, second effect %.0f MB\n",
                    g_walls_peak_mb[0], g_walls_peak_mb[1]);
    if (g_walls_ms[kFirstEffect] > 0.0 && g_walls_ms[kSecondEffect] > 0.0) {
        std::printf("second effect / first effect: %.2f\n", g_walls_ms[kSecondEffect] / g_walls_ms[kFirstEffect]);
        std::printf("second effect with the first's surface defaults / first effect: %.2f\n",
                    g_walls_ms[kSecondLikeFirst] / g_walls_ms[kFirstEffect]);
    }
    // The effect's frames without the host's pixel work against their fair
    // floors; the default shading's line last.
    for (int s : {kSpotShadows, kPeeling, kDefaultShading}) {
        if (g_fair_bare_ms[s] <= 0.0 || g_effect_ms[s] <= 0.0) continue;
        std::printf("frame / fair bare%s: %.2f\n", kShadingNames[s], g_effect_ms[s] / g_fair_bare_ms[s]);
    }
    return result;
}
