// The renderer chain on llvmpipe: hardware anti-aliasing, the depth renderer,
// the single view, the copy pass and visitor, the region outline, and the
// trees the engine lends out.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/render/copy_pass.h"
#include "engine/render/depth_renderer.h"
#include "engine/render/hwaa_renderer.h"
#include "engine/render/phong_renderer.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/render/single_view_integration_renderer.h"
#include "engine/render/wireframe_cube.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::RenderArguments;
using tavrel_test::plain_texture;
using tavrel_test::read_rgba;
using tavrel_test::Rgba;
using tavrel_test::run_on_engine;

constexpr int kSize = 64;

void fill(tavrel::IRenderTarget& target, const Rgba& colour) {
    target.bind();
    glViewport(0, 0, GLsizei(target.width()), GLsizei(target.height()));
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
}

// Draws a white triangle with a slanted edge over the whole destination
// with the fixed-function pipeline, and records what it was given.
class SlantedTriangleRenderer : public tavrel::IRenderer {
public:
    std::vector<tavrel::IRenderTarget*> destinations;

    void render(tavrel::SceneGraph&, const tavrel::IAbort&, const std::shared_ptr<tavrel::IVirtualCameraParameters>&,
                const tavrel::ILightCollection&, const tavrel::IShadowUniforms*, GLuint,
                const tavrel::SurfaceOptions&, const tavrel::IDeformationCollection&, const tavrel::IShaderCollection&,
                const tavrel::HeightMapSize&, const tavrel::DisplacementSettings&,
                tavrel::IRenderTarget& destination) override {
        destinations.push_back(&destination);
        glUseProgram(0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(1, 1, 1, 1);
        glBegin(GL_TRIANGLES);
        glVertex2f(-1.0f, -1.0f);
        glVertex2f(1.0f, -1.0f);
        glVertex2f(-0.3f, 1.0f);
        glEnd();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

// Says no for the first `answers` questions, then yes.
class AbortAfter : public tavrel::IAbort {
public:
    explicit AbortAfter(int answers) : answers_(answers) {}
    void progress_begin() const override {}
    bool is_aborted() const override { return ++asked_ > answers_; }
    bool is_cancel_requested() const override { return false; }
    void progress_end() const override {}
    void progress(unsigned, unsigned) const override {}

private:
    int answers_;
    mutable int asked_ = 0;
};

bool is_partial(float value) { return value > 0.02f && value < 0.98f; }

// The slanted edge is blended by the multisample resolve only when the buffer
// has samples; 1 and 2 samples are rounded up to the driver's 4.
TEST(HWAARenderer, SamplesDecideWhetherTheEdgeIsBlended) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        struct Case {
            std::uint32_t samples;
            GLint buffer_samples;
            bool blended;
        };
        const Case cases[] = {{0, 0, false}, {1, 4, true}, {2, 4, true}, {4, 4, true}};
        for (const Case& c : cases) {
            SCOPED_TRACE("samples " + std::to_string(c.samples));
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
            auto child = std::make_shared<SlantedTriangleRenderer>();
            tavrel::HWAARenderer hwaa(&engine, c.samples);
            hwaa.add_child(child);
            RenderArguments arguments;
            arguments.render(hwaa, *destination);

            ASSERT_EQ(child->destinations.size(), 1u);
            auto* buffer = dynamic_cast<tavrel::RenderBuffer*>(child->destinations[0]);
            ASSERT_NE(buffer, nullptr);
            EXPECT_EQ(buffer->width(), std::uint64_t(kSize));
            EXPECT_EQ(buffer->height(), std::uint64_t(kSize));
            EXPECT_EQ(buffer->format(), 2u);
            GLint samples = -1;
            glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffer->colour_buffer());
            glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_SAMPLES_EXT, &samples);
            glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
            EXPECT_EQ(samples, c.buffer_samples);

            int full = 0, empty = 0, partial = 0;
            for (const Rgba& texel : read_rgba(*destination)) {
                if (is_partial(texel[0])) ++partial;
                else if (texel[0] > 0.5f) ++full;
                else ++empty;
                EXPECT_FLOAT_EQ(texel[0], texel[3]);
            }
            EXPECT_GT(full, 1000);
            EXPECT_GT(empty, 1000);
            if (c.blended) EXPECT_GE(partial, kSize / 2);
            else EXPECT_EQ(partial, 0);
        }
        tavrel_test::reset_renderer_state();
    });
}

// A quad of -1..1 at distance d = 2 before a perspective camera that sees
// -d..d there: the quad covers the middle half of the image. The depth cue
// is 1 - 0.5 * EyeZ / focus, EyeZ the eye distance of each vertex carried
// over the face, so sqrt(1 + 1 + d^2) = sqrt(6) all over this quad. Host
// order: alpha first.
struct DepthScene {
    static constexpr double kDistance = 2.0;
    RenderArguments arguments;

    explicit DepthScene(double focus = std::sqrt(6.0)) {
        arguments.camera->projection.set_identity();
        tavrel::frustum_matrix(-1, 1, -1, 1, 1, 10, arguments.camera->projection);
        arguments.camera->view.set_identity();
        arguments.camera->view.translate(0, 0, -kDistance);
        arguments.camera->inverse_view.set_identity();
        arguments.camera->inverse_view.translate(0, 0, kDistance);
        arguments.camera->focus = focus;
        arguments.camera->frame_width = arguments.camera->frame_height = kSize;
        arguments.scene.add_render_pass(
            tavrel::RenderPass(std::make_shared<tavrel::QuadNode>(), tavrel::TextureSet()));
    }
};

// The quad's pixels against the cue, the rest against transparent black;
// the pixels on the quad's border (blended by multisampling) are left out.
void expect_depth_image(const std::vector<Rgba>& texels, float cue, float tolerance) {
    int inside = 0;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            if (column == 15 || column == 16 || column == 47 || column == 48 || row == 15 || row == 16 ||
                row == 47 || row == 48)
                continue;
            const bool on_quad = column > 16 && column < 47 && row > 16 && row < 47;
            inside += on_quad;
            const Rgba& texel = texels[row * kSize + column];
            const Rgba expected = on_quad ? Rgba{1, cue, cue, cue} : Rgba{0, 0, 0, 0};
            ASSERT_TRUE(tavrel_test::near(texel, expected, tolerance))
                << "column " << column << " row " << row << ": " << tavrel_test::to_string(texel) << " expected "
                << tavrel_test::to_string(expected);
        }
    }
    EXPECT_EQ(inside, 30 * 30);
}

// 0.5 where the eye distance equals the focus distance; 0.75 at twice that
// focus; none (black, opaque) at half of it. Also through the whole pooled
// depth-only tree: anti-aliasing, the view target and its copy.
TEST(DepthRenderer, CueAgainstTheFocusDistance) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        struct Case {
            double focus;
            float cue;
            bool pooled_tree;
        };
        const double eye_distance = std::sqrt(6.0);
        const Case cases[] = {{eye_distance, 0.5f, false},
                              {2 * eye_distance, 0.75f, false},
                              {eye_distance / 2, 0.0f, false},
                              {eye_distance, 0.5f, true}};
        tavrel::DepthRenderer depth(2, false);
        tavrel::RendererDescription description;
        description.format_kind = 2;
        description.depth_only = true;
        description.antialiasing_samples = 4;
        for (const Case& c : cases) {
            SCOPED_TRACE("focus " + std::to_string(c.focus) + (c.pooled_tree ? ", pooled tree" : ""));
            DepthScene scene(c.focus);
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, false, 0, 1);
            fill(*destination, {0.3f, 0.3f, 0.3f, 0.3f});
            if (c.pooled_tree) scene.arguments.render(*engine.request_renderer(description), *destination);
            else scene.arguments.render(depth, *destination);
            expect_depth_image(read_rgba(*destination), c.cue, 1e-4f);
        }
        tavrel_test::reset_renderer_state();
    });
}

// The quad of the depth scene under the white material, with a grey 0.5 front
// texture and a grey 0.25 back-face texture, lit by one parallel light of
// diffuse colour 1 shining towards the camera and no specular colour: a
// fragment shows its decal times N.L. The front-facing quad (z mirrored) has
// its normal towards the camera; the back-facing one (x mirrored) has it
// away, so two-sided shading turns it round. Render mode 1 shades white, 2
// takes the back-face texture on back faces, 3 culls them.
TEST(PhongRenderer, RenderModesOnFrontAndBackFaces) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        struct Case {
            std::uint32_t render_mode;
            bool back;
            Rgba expected;
        };
        const Case cases[] = {
            {0, false, {1, 0.5f, 0.5f, 0.5f}}, {0, true, {1, 0.5f, 0.5f, 0.5f}},
            {1, false, {1, 1, 1, 1}},          {1, true, {1, 1, 1, 1}},
            {2, false, {1, 0.5f, 0.5f, 0.5f}}, {2, true, {1, 0.25f, 0.25f, 0.25f}},
            {3, false, {1, 0.5f, 0.5f, 0.5f}}, {3, true, {0, 0, 0, 0}},
        };
        const tavrel::TextureSet textures(plain_texture({1, 0.5f, 0.5f, 0.5f}), plain_texture({1, 0.25f, 0.25f, 0.25f}),
                                          nullptr, 0.0f, 0);
        std::map<std::uint32_t, std::unique_ptr<tavrel::PhongRenderer>> renderers;
        for (const Case& c : cases) {
            SCOPED_TRACE("render mode " + std::to_string(c.render_mode) + (c.back ? ", back face" : ", front face"));
            DepthScene scene;
            scene.arguments.scene = tavrel::SceneGraph();
            tavrel::Matrix4d mirror;
            mirror.scale(c.back ? -1 : 1, 1, c.back ? 1 : -1);
            auto material = std::make_shared<tavrel::WhiteMaterialNode>();
            auto placed = std::make_shared<tavrel::ModelingTransformationNode>(mirror);
            placed->add_child(std::make_shared<tavrel::QuadNode>());
            material->add_child(placed);
            scene.arguments.scene.add_render_pass(tavrel::RenderPass(material, textures));
            auto light = std::make_shared<tavrel_test::TestLight>();
            light->light_type = tavrel::kParallelLight;
            light->specular[0] = light->specular[1] = light->specular[2] = 0.0f;
            scene.arguments.lights.lights.push_back(light);

            std::unique_ptr<tavrel::PhongRenderer>& made = renderers[c.render_mode];
            if (!made) made = std::make_unique<tavrel::PhongRenderer>(2, false, false, c.render_mode);
            tavrel::PhongRenderer& renderer = *made;
            EXPECT_EQ(renderer.cull(), c.render_mode == 3);
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, false, 0, 1);
            fill(*destination, {0.3f, 0.3f, 0.3f, 0.3f});
            scene.arguments.render(renderer, *destination);
            const std::vector<Rgba> texels = read_rgba(*destination);
            for (int row = 17; row < 47; ++row)
                for (int column = 17; column < 47; ++column)
                    ASSERT_TRUE(tavrel_test::near(texels[row * kSize + column], c.expected, 1e-4f))
                        << "column " << column << " row " << row << ": "
                        << tavrel_test::to_string(texels[row * kSize + column]);
            EXPECT_EQ(texels[5 * kSize + 5], (Rgba{0, 0, 0, 0}));
        }
        tavrel_test::reset_renderer_state();
    });
}

// An abort seen before drawing, or by a wrapping renderer after its children
// drew, leaves the destination as it was: nothing cleared, nothing resolved
// or copied over it.
TEST(RendererChain, AbortLeavesTheDestinationUntouched) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        auto depth = std::make_shared<tavrel::DepthRenderer>(2, false);
        auto hwaa = std::make_shared<tavrel::HWAARenderer>(&engine, 4);
        hwaa->add_child(depth);
        auto single_view = std::make_shared<tavrel::SingleViewIntegrationRenderer>(&engine);
        single_view->add_child(hwaa);
        tavrel::RendererDescription description;
        description.depth_only = true;
        description.antialiasing_samples = 4;
        auto proxy = engine.request_renderer(description);

        struct Case {
            const char* name;
            tavrel::IRenderer* renderer;
            int answers;  // questions answered with no before the abort
        };
        const Case cases[] = {
            {"depth, at once", depth.get(), 0},
            {"anti-aliasing, at once", hwaa.get(), 0},
            {"anti-aliasing, after its child", hwaa.get(), 2},
            {"single view, at once", single_view.get(), 0},
            {"single view, after anti-aliasing drew", single_view.get(), 3},
            {"single view, before its copy", single_view.get(), 4},
            {"pooled tree, before its copy", proxy.get(), 4},
        };
        const Rgba marker{0.25f, 0.5f, 0.75f, 1.0f};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            DepthScene scene;
            scene.arguments.abort = std::make_shared<AbortAfter>(c.answers);
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, false, 0, 1);
            fill(*destination, marker);
            scene.arguments.render(*c.renderer, *destination);
            for (const Rgba& texel : read_rgba(*destination)) ASSERT_EQ(texel, marker);
        }
        tavrel_test::reset_renderer_state();
    });
}

// The tree's shape by description: depth only (the peeling layers ignored)
// or Phong shading, inside anti-aliasing with the description's samples,
// inside one view. A released tree comes back for its key with its inner
// renderer kept and a new outer one.
TEST(RendererChain, PooledTreeShapeAndReuse) {
    run_on_engine([](tavrel::GlEngine& engine) {
        struct Case {
            const char* name;
            bool depth_only;
            std::optional<std::uint32_t> peeling_layers;
            std::uint32_t render_mode;
        };
        const Case cases[] = {
            {"depth only, peeling ignored", true, 3u, 3},
            {"depth only, both sides", true, std::nullopt, 0},
            {"Phong, culling", false, std::nullopt, 3},
            {"Phong, both sides", false, std::nullopt, 1},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            tavrel::RendererDescription description;
            description.format_kind = 1;
            description.depth_only = c.depth_only;
            description.peeling_layers = c.peeling_layers;
            description.render_mode = c.render_mode;
            description.antialiasing_samples = 2;
            tavrel::RendererAllocationProxy* first = nullptr;
            std::shared_ptr<tavrel::IRenderer> inner, outer;
            {
                auto proxy = engine.request_renderer(description);
                first = proxy.get();
                inner = proxy->inner_renderer();
                outer = proxy->outer_renderer();
                auto* hwaa = dynamic_cast<tavrel::HWAARenderer*>(inner.get());
                ASSERT_NE(hwaa, nullptr);
                EXPECT_EQ(hwaa->antialiasing_samples(), 2u);
                ASSERT_EQ(hwaa->children().size(), 1u);
                tavrel::IRenderer* shading = hwaa->children()[0].get();
                if (c.depth_only) {
                    auto* depth = dynamic_cast<tavrel::DepthRenderer*>(shading);
                    ASSERT_NE(depth, nullptr);
                    EXPECT_EQ(depth->cull(), c.render_mode == 3);
                } else {
                    auto* phong = dynamic_cast<tavrel::PhongRenderer*>(shading);
                    ASSERT_NE(phong, nullptr);
                    EXPECT_EQ(phong->cull(), c.render_mode == 3);
                }
                auto* single_view = dynamic_cast<tavrel::SingleViewIntegrationRenderer*>(outer.get());
                ASSERT_NE(single_view, nullptr);
                ASSERT_EQ(single_view->children().size(), 1u);
                EXPECT_EQ(single_view->children()[0], inner);
            }
            tavrel::RendererDescription key = description;
            key.engine = &engine;
            EXPECT_EQ(engine.renderer_pool().free_count(key), 1u);
            auto again = engine.request_renderer(description);
            EXPECT_EQ(again.get(), first);
            EXPECT_EQ(again->inner_renderer(), inner);
            EXPECT_NE(again->outer_renderer(), outer) << "the outer renderer is rebuilt on reuse";
            auto* single_view = dynamic_cast<tavrel::SingleViewIntegrationRenderer*>(again->outer_renderer().get());
            ASSERT_NE(single_view, nullptr);
            EXPECT_EQ(single_view->children().at(0), inner);
        }
    });
}

// The plain copy program reproduces every texel of a pattern exactly at each
// format kind; the program, matrices and enables in force before come back.
TEST(CopyPass, ReproducesTheSourceForEachKind) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        struct Case {
            std::uint32_t kind;
            GLenum type;
        };
        const Case cases[] = {{0, GL_UNSIGNED_BYTE}, {1, GL_UNSIGNED_SHORT}, {2, GL_FLOAT}};
        const int width = 40, height = 24;
        for (const Case& c : cases) {
            SCOPED_TRACE("kind " + std::to_string(c.kind));
            tavrel::CopyProgram program(false, int(c.kind));
            auto source = engine.request_render_target(width, height, 1, c.kind, false, 0, 1);
            auto destination = engine.request_render_target(width, height, 1, c.kind, true, 0, 1);
            std::vector<float> pattern(width * height * 4);
            for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = float((i * 37) % 256) / 255.0f;
            glBindTexture(GL_TEXTURE_2D, source->textures[0]->gl_name());
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_FLOAT, pattern.data());
            glBindTexture(GL_TEXTURE_2D, 0);

            tavrel::CopyProgram other(false, 2);
            other.bind();
            glEnable(GL_DEPTH_TEST);
            glViewport(0, 0, 5, 5);
            tavrel::copy_pass(*source, *destination, program);
            GLint current = 0, viewport[4] = {};
            glGetIntegerv(GL_CURRENT_PROGRAM, &current);
            glGetIntegerv(GL_VIEWPORT, viewport);
            EXPECT_EQ(GLuint(current), other.program());
            EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
            EXPECT_EQ(viewport[2], 5);
            glUseProgram(0);
            glDisable(GL_DEPTH_TEST);

            auto read = [&](const tavrel::RenderTarget& target) {
                std::vector<std::uint8_t> bytes(width * height * 4 * 4);
                glBindTexture(GL_TEXTURE_2D, target.textures[0]->gl_name());
                glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, c.type, bytes.data());
                glBindTexture(GL_TEXTURE_2D, 0);
                return bytes;
            };
            EXPECT_EQ(read(*destination), read(*source));
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
        tavrel_test::reset_renderer_state();
    });
}

// A multisample buffer is resolved into a pooled target of its size and
// kind; a render target is used as it is and not owned.
TEST(ConditionalCopyRenderTarget, ResolvesBuffersAndKeepsTargets) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        auto buffer = engine.request_render_buffer(kSize, kSize / 2, 4, 2);
        SlantedTriangleRenderer triangle;
        RenderArguments arguments;
        arguments.render(triangle, *buffer);

        tavrel::ConditionalCopyRenderTarget from_buffer(&engine);
        buffer->accept(from_buffer);
        const std::shared_ptr<tavrel::RenderTarget>& resolved = from_buffer.result();
        ASSERT_NE(resolved, nullptr);
        EXPECT_EQ(resolved->width(), std::uint64_t(kSize));
        EXPECT_EQ(resolved->height(), std::uint64_t(kSize / 2));
        EXPECT_EQ(resolved->format(), 2u);
        const std::vector<Rgba> texels = read_rgba(*resolved);
        // Well inside the triangle, and the top-right corner outside it.
        EXPECT_EQ(texels[2 * kSize + 10], (Rgba{1, 1, 1, 1}));
        EXPECT_EQ(texels.back(), (Rgba{0, 0, 0, 0}));

        auto target = engine.request_render_target(8, 8, 1, 0, true, 0, 1);
        {
            tavrel::ConditionalCopyRenderTarget visitor(&engine);
            target->accept(visitor);
            EXPECT_EQ(visitor.result().get(), target.get());
        }
        EXPECT_TRUE(glIsFramebufferEXT(target->gl_name())) << "the visitor does not own the target";
        tavrel_test::reset_renderer_state();
    });
}

class RegionDeformation : public tavrel::IDeformationCollection {
public:
    bool display = true;
    bool apply_deformation() const override { return false; }
    tavrel::Vec3d position() const override { return {0.5, 0.0, 0.0}; }
    tavrel::Vec3d size() const override { return {2.0, 2.0, 2.0}; }
    float amplitude() const override { return 0.0f; }
    int deform_type() const override { return tavrel::kDeformNone; }
    bool display_region() const override { return display; }
};

// The outline of a 2-unit region at (0.5, 0, 0) through an orthographic
// camera of -2..2: white lines 5 pixels wide at x = -0.5 and 1.5 (columns 24
// and 56) and y = -1 and 1 (rows 16 and 48); nothing inside, nothing at all
// when the region is not shown. Front faces and matrices come back.
TEST(WireframeCube, OutlineOnlyWhenTheRegionIsShown) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        tavrel_test::TestCamera camera;
        camera.projection.set_identity();
        tavrel::ortho_matrix(-2, 2, -2, 2, -10, 10, camera.projection);
        RegionDeformation region;
        for (bool display : {true, false}) {
            SCOPED_TRACE(display ? "shown" : "hidden");
            region.display = display;
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
            glMatrixMode(GL_PROJECTION);
            glLoadMatrixd(camera.projection.data());
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            tavrel::VertexColorFlatShadingProgram& program = engine.flat_shading_program(2);
            tavrel::draw_wireframe_cube(region, camera, program);
            GLint front_face = 0, matrix_mode = 0, current = 0;
            GLfloat line_width = 0;
            glGetIntegerv(GL_FRONT_FACE, &front_face);
            glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);
            glGetIntegerv(GL_CURRENT_PROGRAM, &current);
            glGetFloatv(GL_LINE_WIDTH, &line_width);
            EXPECT_EQ(front_face, GL_CCW);
            EXPECT_EQ(matrix_mode, GL_MODELVIEW);
            EXPECT_EQ(line_width, 1.0f);
            EXPECT_EQ(GLuint(current), display ? program.program() : 0u);
            glUseProgram(0);

            const std::vector<Rgba> texels = read_rgba(*destination);
            auto at = [&](int column, int row) { return texels[row * kSize + column]; };
            const Rgba white{1, 1, 1, 1}, clear{0, 0, 0, 0};
            EXPECT_EQ(at(24, 32), display ? white : clear);
            EXPECT_EQ(at(56, 32), display ? white : clear);
            EXPECT_EQ(at(40, 16), display ? white : clear);
            EXPECT_EQ(at(40, 48), display ? white : clear);
            EXPECT_EQ(at(40, 32), clear);
            EXPECT_EQ(at(10, 32), clear);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
        tavrel_test::reset_renderer_state();
    });
}

}  // namespace
