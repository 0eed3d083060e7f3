// The first effect on drivers that Mesa makes pretend to be older or smaller
// ones: simhost in a child process with the run's environment set, as a host
// loads the effect.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli_run.h"

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

}  // namespace
