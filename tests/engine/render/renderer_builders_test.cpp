// What the tree builders refuse before they touch OpenGL: trees whose
// renderers this engine does not have, and descriptions without an engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/render/phong_renderer.h"
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

// The Phong program's chunks by switch A, switch B and render mode.
TEST(RendererBuilders, PhongChunksBySwitchesAndRenderMode) {
    using namespace tavrel;
    struct Case {
        bool a, b;
        std::uint32_t mode;
        AlphaUpdate alpha;
        TexCoordTransform coordinates;
        TextureFetch fetch;
        NormalFlip flip;
        DiffuseColor diffuse;
    };
    const Case cases[] = {
        {false, false, 0, AlphaUpdate::kUnchanged, TexCoordTransform::kUnchanged, TextureFetch::kPlain,
         NormalFlip::kBackFaces, DiffuseColor::kFront},
        {true, false, 0, AlphaUpdate::kHeightMapAlpha, TexCoordTransform::kUnchanged, TextureFetch::kPlain,
         NormalFlip::kBackFaces, DiffuseColor::kFront},
        {false, false, 1, AlphaUpdate::kUnchanged, TexCoordTransform::kUnchanged, TextureFetch::kPlain,
         NormalFlip::kBackFaces, DiffuseColor::kWhite},
        {false, false, 2, AlphaUpdate::kUnchanged, TexCoordTransform::kUnchanged, TextureFetch::kPlain,
         NormalFlip::kBackFaces, DiffuseColor::kBackFaceSampler},
        {false, false, 3, AlphaUpdate::kUnchanged, TexCoordTransform::kUnchanged, TextureFetch::kPlain,
         NormalFlip::kBackFaces, DiffuseColor::kFront},
        {false, true, 2, AlphaUpdate::kUnchanged, TexCoordTransform::kProjective, TextureFetch::kProjective,
         NormalFlip::kUnchanged, DiffuseColor::kFront},
        {true, true, 1, AlphaUpdate::kHeightMapAlpha, TexCoordTransform::kProjective, TextureFetch::kProjective,
         NormalFlip::kUnchanged, DiffuseColor::kFront},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("A ") + (c.a ? "on" : "off") + ", B " + (c.b ? "on" : "off") + ", mode " +
                     std::to_string(c.mode));
        const PhongChunks chunks = phong_renderer_chunks(c.a, c.b, c.mode);
        EXPECT_EQ(chunks.alpha_update, phong_chunk(c.alpha));
        EXPECT_EQ(chunks.tex_coord_transform, phong_chunk(c.coordinates));
        EXPECT_EQ(chunks.texture_fetch, phong_chunk(c.fetch));
        EXPECT_EQ(chunks.normal_flip, phong_chunk(c.flip));
        EXPECT_EQ(chunks.diffuse_color, phong_chunk(c.diffuse));
        EXPECT_EQ(chunks.fragment_normal, phong_chunk(FragmentNormal::kHeightMap));
    }
}

}  // namespace
