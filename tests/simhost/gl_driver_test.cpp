// The first effect on drivers that Mesa makes pretend to be older or smaller
// ones, and on this driver by both of the engine's read paths: simhost in a
// child process with the run's environment set, as a host loads the effect.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "simhost/image_io.h"

namespace {

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
const char* const kInitFailed = "Tavrel OpenGL Engine Initialization Failed.";
const char* const kLacks = ") lacks what the engine needs: ";

std::string output_path(const std::string& name) {
    return testing::TempDir() + "gl_driver_" + std::to_string(getpid()) + "_" + name + ".png";
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// The requirements the start-up line names, each without its "(this is ...)"
// aside, which quotes the driver's own version text; empty when there is no
// such line.
std::vector<std::string> named_missing(const std::string& err) {
    const std::size_t line_start = err.rfind("OpenGL here (", err.find(kLacks));
    const std::size_t from = err.find(kLacks);
    if (from == std::string::npos || line_start == std::string::npos) return {};
    std::string list = err.substr(from + std::string(kLacks).size());
    list = list.substr(0, list.find('\n'));
    if (!list.empty() && list.back() == '.') list.pop_back();
    std::vector<std::string> items;
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t end = list.find("; ", at);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(at, end - at);
        const std::size_t aside = item.find(" (");
        if (aside != std::string::npos && item.back() == ')') item.erase(aside);
        items.push_back(item);
        at = end + 2;
    }
    return items;
}

// Every override either renders or refuses the start in words; none may
// end the host. The first three once died of a null entry point; the float
// and anisotropy ones failed every frame with a GL error.
TEST(GlDriverRequirements, EachShortDriverIsRefusedByNameOrRenders) {
    const std::string kProfile = "OpenGL 3.2 with the compatibility profile";
    const std::string kGlsl = "GLSL 1.50";
    struct Case {
        const char* name;
        std::string environment;
        std::vector<std::string> missing;  // empty: the frame renders
    };
    const std::vector<Case> cases = {
        {"gl21", "MESA_GL_VERSION_OVERRIDE=2.1", {kProfile, "the entry point glClampColor"}},
        {"gl30", "MESA_GL_VERSION_OVERRIDE=3.0", {kProfile}},
        {"gl31", "MESA_GL_VERSION_OVERRIDE=3.1", {kProfile}},
        {"gl32", "MESA_GL_VERSION_OVERRIDE=3.2", {}},
        // Mesa takes a GLSL override only with a version override; for 1.10
        // it names no GLSL version at all.
        {"glsl110", "MESA_GL_VERSION_OVERRIDE=3.2COMPAT MESA_GLSL_VERSION_OVERRIDE=110", {kGlsl}},
        {"glsl130", "MESA_GL_VERSION_OVERRIDE=3.2COMPAT MESA_GLSL_VERSION_OVERRIDE=130", {kGlsl}},
        // Without these Mesa drops to OpenGL 2.1 with GLSL 1.20.
        {"array",
         "MESA_EXTENSION_OVERRIDE=-GL_EXT_texture_array",
         {kProfile, kGlsl, "GL_EXT_texture_array", "the entry points glFramebufferTextureLayerEXT, glClampColor"}},
        {"feedback",
         "MESA_EXTENSION_OVERRIDE='-GL_EXT_transform_feedback -GL_ARB_transform_feedback2 "
         "-GL_ARB_transform_feedback3'",
         {kProfile, kGlsl, "GL_EXT_transform_feedback", "the entry point glClampColor"}},
        {"float",
         "MESA_EXTENSION_OVERRIDE='-GL_ARB_texture_float -GL_ARB_color_buffer_float'",
         {kProfile, kGlsl, "GL_ARB_texture_float", "GL_ARB_color_buffer_float", "the entry point glClampColor"}},
        // Optional: filtered without anisotropy.
        {"anisotropy",
         "MESA_EXTENSION_OVERRIDE='-GL_EXT_texture_filter_anisotropic -GL_ARB_texture_filter_anisotropic'",
         {}},
        {"softpipe", "GALLIUM_DRIVER=softpipe", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = output_path(c.name);
        std::remove(out.c_str());
        const tavrel_test::CliRun run =
            tavrel_test::run_simhost("render " + kPlugin + " --size 64x36 --output " + out, c.environment);
        if (c.missing.empty()) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.out.find("\noutput 64 x 36 at (0, 0) in layer pixels\n"), std::string::npos) << run.out;
            EXPECT_TRUE(exists(out));
        } else {
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_EQ(named_missing(run.err), c.missing) << run.err;
            EXPECT_NE(run.err.find(std::string("\n") + kInitFailed + "\n"), std::string::npos) << run.err;
            EXPECT_FALSE(exists(out));
        }
        std::remove(out.c_str());
    }
}

TEST(GlDriverRequirements, AnUnknownPathIsRefusedAtStart) {
    const tavrel_test::CliRun run =
        tavrel_test::run_simhost("render " + kPlugin + " --size 64x36 --output " + output_path("bad_path"),
                                 "TAVREL_GL_PATH=card");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("TAVREL_GL_PATH is \"card\"; it takes \"hardware\" or \"software\".\n", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find(kInitFailed), std::string::npos) << run.err;
}

struct Difference {
    double mean = 0;  // of |a - b| over every channel value, in 8-bit levels
    int largest = 0;
};

Difference difference(const simhost::OwnedWorld& a, const simhost::OwnedWorld& b) {
    Difference d;
    const PF_EffectWorld& w = a.world();
    double sum = 0;
    for (int32_t y = 0; y < w.height; ++y)
        for (int32_t x = 0; x < w.width; ++x)
            for (int c = 0; c < 4; ++c) {
                const int e = int(std::lround(std::fabs(a.channel(x, y, c) - b.channel(x, y, c)) * 255.0));
                sum += e;
                d.largest = std::max(d.largest, e);
            }
    d.mean = sum / (4.0 * w.width * w.height);
    return d;
}

std::unique_ptr<simhost::OwnedWorld> render_by(const std::string& path, const std::string& name,
                                               const std::string& settings, std::string* err = nullptr) {
    const std::string out = output_path(name + "_" + path);
    const tavrel_test::CliRun run = tavrel_test::run_simhost(
        "render " + kPlugin + " --size 160x90 --verbose " + settings + " --output " + out, "TAVREL_GL_PATH=" + path);
    EXPECT_EQ(run.status, 0) << run.err;
    if (run.status != 0) return nullptr;
    if (err != nullptr) *err = run.err;
    auto image = simhost::read_png(out, 8);
    std::remove(out.c_str());
    return image;
}

// The path a graphics card takes, forced on this driver: the same pictures
// as the software path away from grazing angles, within llvmpipe's own
// filtering of the layer. The software path reads a layer at 1:1 bilinearly
// in the shader where the hardware path leaves it to the sampler, whose
// elliptical filter softens its edges; so the frame at the layer's own size
// differs, by little. At a grazing angle the software path draws long
// footprints in to 16 texels and the hardware path filters them whole.
TEST(GlDriverPaths, TheHardwarePathDrawsTheSameFramesAwayFromGrazingAngles) {
    struct Case {
        const char* name;
        std::string settings;
        bool filters_differ;
    };
    const Case cases[] = {
        {"own_size", "", true},
        {"turned", "--set 'Rotation Y=30'", false},
        {"minified", "--set 'Scale X=60' --set 'Scale Y=60'", false},
        {"instances",
         "--set Instances=3 --set 'Instance Offset X=60' --set 'Instance Offset Z=0' --set 'Scale X=40' "
         "--set 'Scale Y=40'",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string software_err, hardware_err;
        const auto software = render_by("software", c.name, c.settings, &software_err);
        const auto hardware = render_by("hardware", c.name, c.settings, &hardware_err);
        ASSERT_TRUE(software && hardware);
        EXPECT_NE(software_err.find("; the software path (TAVREL_GL_PATH)\n"), std::string::npos);
        EXPECT_NE(hardware_err.find("; the hardware path (TAVREL_GL_PATH)\n"), std::string::npos);
        const Difference d = difference(*software, *hardware);
        EXPECT_LE(d.mean, 1.0);
        EXPECT_LE(d.largest, 32);
        if (c.filters_differ) {
            EXPECT_GT(d.largest, 0);
        }
    }
    const auto software = render_by("software", "grazing", "--set 'Rotation X=88'");
    const auto hardware = render_by("hardware", "grazing", "--set 'Rotation X=88'");
    ASSERT_TRUE(software && hardware);
    EXPECT_GT(difference(*software, *hardware).largest, 32);
}

}  // namespace
