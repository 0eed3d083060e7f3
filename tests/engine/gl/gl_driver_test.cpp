#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/gl/gl_driver.h"
#include "engine/gpu/gl_engine.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel::GlPath;

TEST(GlDriver, PathByRendererUnlessForced) {
    struct Case {
        const char* renderer;
        const char* forced;
        GlPath path;
    };
    const Case cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", nullptr, GlPath::kSoftware},
        {"softpipe", nullptr, GlPath::kSoftware},
        {"Mesa X11 swrast", nullptr, GlPath::kSoftware},
        {"Software Rasterizer", "", GlPath::kSoftware},
        // A card's Mesa driver names LLVM too: only the rasterisers count.
        {"AMD Radeon RX 6800 (radeonsi, navi21, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", nullptr,
         GlPath::kHardware},
        {"NVIDIA GeForce RTX 3080/PCIe/SSE2", nullptr, GlPath::kHardware},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", nullptr, GlPath::kHardware},
        {"", nullptr, GlPath::kHardware},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", "hardware", GlPath::kHardware},
        {"NVIDIA GeForce RTX 3080/PCIe/SSE2", "software", GlPath::kSoftware},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tavrel::choose_gl_path(c.renderer, c.forced), c.path)
            << c.renderer << " forced " << (c.forced ? c.forced : "(unset)");
    }
}

TEST(GlDriver, VersionNumbers) {
    struct Case {
        const char* text;
        int gl, glsl;
    };
    const Case cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", 450, 450},
        {"4.50", 450, 450},
        {"4.60 NVIDIA", 460, 460},
        {"3.2", 320, 320},
        {"2.1 Mesa 22.3.6", 210, 210},
        {"1.30", 130, 130},
        {"1.50 NVIDIA via Cg compiler", 150, 150},
        {"OpenGL ES 3.2", 0, 0},
        {"", 0, 0},
        {nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string shown = c.text ? c.text : "(null)";
        EXPECT_EQ(tavrel::gl_version_number(c.text), c.gl) << shown;
        EXPECT_EQ(tavrel::glsl_version_number(c.text), c.glsl) << shown;
    }
}

// What the engine learned of this machine's driver, Mesa's llvmpipe, and
// gave its programs, textures and instancing.
TEST(GlDriver, TheEngineLearnedLlvmpipe) {
    tavrel_test::run_on_engine([](tavrel::GlEngine& engine) {
        const tavrel::GlDriver& driver = engine.driver();
        EXPECT_NE(driver.renderer.find("llvmpipe"), std::string::npos) << driver.renderer;
        EXPECT_TRUE(tavrel::missing_gl_requirements().empty());
        const char* forced = std::getenv(tavrel::kGlPathVariable);
        const bool hardware = forced != nullptr && std::string(forced) == "hardware";
        EXPECT_EQ(driver.path_forced, forced != nullptr && *forced != '\0');
        EXPECT_EQ(driver.features.path, hardware ? GlPath::kHardware : GlPath::kSoftware);
        // llvmpipe names derivative control and compiles it under 1.20; it
        // is asked for on the software path only.
        EXPECT_EQ(driver.features.fine_derivatives, !hardware);
        EXPECT_TRUE(driver.features.anisotropic_filtering);
        EXPECT_EQ(tavrel::running_gl_features(), driver.features);
    });
}

}  // namespace
