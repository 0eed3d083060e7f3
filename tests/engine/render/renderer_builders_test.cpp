// What the tree builders refuse before they touch OpenGL: trees whose
// renderers this engine does not have, and descriptions without an engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/render/renderer_allocation_proxy.h"

namespace {

using tavrel::RendererDescription;

// Never dereferenced: every case is refused first.
tavrel::GlEngine* const kSomeEngine = reinterpret_cast<tavrel::GlEngine*>(std::uintptr_t(0x1000));

RendererDescription with(const std::function<void(RendererDescription&)>& change) {
    RendererDescription d;
    d.engine = kSomeEngine;
    change(d);
    return d;
}

TEST(RendererBuilders, RefusalsNameWhatIsMissing) {
    using D = RendererDescription;
    struct Case {
        const char* name;
        D description;
        bool outer;  // refused by the outer builder, else by the inner one
        std::string text;
    };
    const Case cases[] = {
        {"peeling", with([](D& d) { d.peeling_layers = 3; }), false,
         "renderer description asks for 3 peeling layers: this engine has no dual depth peeling renderer"},
        {"peeling until nothing is left", with([](D& d) { d.peeling_layers = UINT32_MAX; }), false,
         "renderer description asks for -1 peeling layers: this engine has no dual depth peeling renderer"},
        {"sub-pixel samples", with([](D& d) { d.subpixel_samples = 4; }), true,
         "renderer description asks for 0 lens and 4 sub-pixel view samples: this engine has no multi-view "
         "integration renderer"},
        {"lens samples", with([](D& d) { d.lens_samples = 2; d.depth_only = true; }), true,
         "renderer description asks for 2 lens and 0 sub-pixel view samples: this engine has no multi-view "
         "integration renderer"},
        {"no engine, inner", with([](D& d) { d.engine = nullptr; d.depth_only = true; }), false,
         "renderer description without an engine"},
        {"no engine, outer", with([](D& d) { d.engine = nullptr; }), true, "renderer description without an engine"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            if (c.outer) tavrel::build_outer_renderer(nullptr, c.description);
            else tavrel::build_inner_renderer(c.description);
            ADD_FAILURE() << "built";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_EQ(std::string(e.what()), c.text);
        }
    }
}

}  // namespace
