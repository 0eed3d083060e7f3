// What the tree builders refuse before they touch OpenGL: trees whose
// renderers this engine does not have, and descriptions without an engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/render/multi_view_integration_renderer.h"
#include "engine/render/phong_renderer.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/render/single_view_integration_renderer.h"

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
        {"no engine, inner", with([](D& d) { d.engine = nullptr; d.depth_only = true; }), false,
         "renderer description without an engine"},
        {"no engine, outer", with([](D& d) { d.engine = nullptr; }), true, "renderer description without an engine"},
        {"no engine, peeling", with([](D& d) { d.engine = nullptr; d.peeling_layers = 3; }), false,
         "renderer description without an engine"},
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

// Any view samples make the outer renderer integrate several views: lens
// samples when there are any, else sub-pixel samples, never more than the
// largest jitter table. Building it touches no GL.
TEST(RendererBuilders, OuterRendererViewSamples) {
    struct Idle : tavrel::IRenderer {
        void render(tavrel::SceneGraph&, const tavrel::IAbort&,
                    const std::shared_ptr<tavrel::IVirtualCameraParameters>&, const tavrel::ILightCollection&,
                    const tavrel::IShadowUniforms*, GLuint, const tavrel::SurfaceOptions&,
                    const tavrel::IDeformationCollection&, const tavrel::IShaderCollection&,
                    const tavrel::HeightMapSize&, const tavrel::DisplacementSettings&,
                    tavrel::IRenderTarget&) override {}
    };
    struct Case {
        uint32_t lens, subpixel;
        std::size_t views;
        bool lens_kind;
        float first_x;  // of the table, not of the sorted views
    };
    const Case cases[] = {
        {0, 1, 1, false, 0.246490f},  {0, 4, 4, false, -0.208147f}, {0, 5, 5, false, -0.334818f},
        {2, 4, 2, true, 0.246490f},   {3, 0, 3, true, -0.373411f},  {0, 67, 66, false, 0.266377f},
        {1000, 2, 66, true, 0.266377f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.lens) + " lens, " + std::to_string(c.subpixel) + " sub-pixel");
        const RendererDescription d = with([&](RendererDescription& d) {
            d.lens_samples = c.lens;
            d.subpixel_samples = c.subpixel;
        });
        auto inner = std::make_shared<Idle>();
        const auto outer = tavrel::build_outer_renderer(inner, d);
        const auto* multi = dynamic_cast<const tavrel::MultiViewIntegrationRenderer*>(outer.get());
        ASSERT_NE(multi, nullptr);
        ASSERT_EQ(multi->samples().size(), c.views);
        ASSERT_EQ(multi->children().size(), 1u);
        EXPECT_EQ(multi->children()[0], inner);
        bool has_first = false;
        for (const tavrel::ViewSample& v : multi->samples()) {
            EXPECT_EQ(v.kind, c.lens_kind);
            has_first = has_first || v.x == c.first_x;
        }
        EXPECT_TRUE(has_first);
    }
    const auto single = tavrel::build_outer_renderer(std::make_shared<Idle>(), with([](RendererDescription&) {}));
    EXPECT_NE(dynamic_cast<const tavrel::SingleViewIntegrationRenderer*>(single.get()), nullptr);
}

// The Phong program's chunks by the height-map alpha, the projective texture and
// the render mode.
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
