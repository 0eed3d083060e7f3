// The frame's render command, posted to the rendering thread after the mesh
// set-up as the host thread posts it, from frame values built here the way
// the frame set-up builds them: the composition's default camera, no light
// layers, an 8-bit host image, the flat default grid.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_description.h"
#include "engine/interfaces/default_material.h"
#include "engine/render/render_thread.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/set_material.h"
#include "plugin/life_cycle.h"
#include "surface/generator_instancing_settings.h"
#include "surface/host_buffer_accessor.h"
#include "surface/main_render.h"
#include "surface/mesh_pipeline.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/layer_image_support.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::run_on_engine;

constexpr int kWidth = 64, kHeight = 48;
constexpr int kSubdivisions = 16;  // the least the adaptive mode takes
constexpr std::uint32_t kGeneratorBase = 218;

std::vector<std::uint8_t> to_8bit(const std::vector<double>& image) {
    std::vector<std::uint8_t> pixels(image.size());
    for (std::size_t i = 0; i < image.size(); ++i) pixels[i] = std::uint8_t(std::lround(image[i] * 255));
    return pixels;
}

std::shared_ptr<I2dArrayAccessor> view_of(std::vector<std::uint8_t>& argb, std::uint64_t width,
                                          std::uint64_t height) {
    return std::make_shared<HostBuffer2dArrayAccessor<std::uint8_t>>(argb.data(), width, height, width * 4, 2);
}

// One instance with a new instance's settings and the values of one frame.
// The instance state lives in storage of its own and is destroyed by the
// instance's GL clean-up on the rendering thread, as the effect does it.
class Frame {
public:
    Frame() : data_(new (storage_) SequenceData) {
        data_->grid = ControlPointGrid(2, 2);
        RenderSettings& settings = data_->render_settings;
        settings.frame_size = TSize2D{kWidth, kHeight};
        settings.subdivisions = kSubdivisions;
        // "Displacement Height" at its default of 0.
        settings.displacement_height = RenderSettings::clamp_displacement_height(0.0);
        data_->triangle_mesh = std::make_shared<LattixTriangleMesh>();

        auto input = std::make_shared<RenderInput>();
        input->sequence_data = data_;
        input->grid = &data_->grid;
        input->generator = std::make_shared<AEGeneratorInstancingParams>(nullptr, kGeneratorBase);
        input->pixel_depth_class = 0;

        values.camera = tavrel_test::default_camera(kWidth, kHeight);
        values.lights = tavrel_test::lights_of_unlit_comp(kWidth, kHeight);
        values.comp_size[0] = kWidth;
        values.comp_size[1] = kHeight;
        values.sequence_data = data_;
        values.source = view_of(pixels, kWidth, kHeight);
        values.render_input = input;
        // "Antialiasing" Medium: four samples and four sub-pixel views.
        values.multisample_level = 4;
        values.accumulation_level = 4;
        // The layer's centre at the comp's.
        auto transform = std::make_shared<ModelingTransform>();
        transform->modeling_matrix.translate(kWidth / 2.0, kHeight / 2.0, 0.0);
        values.modeling_transform = transform;
    }

    ~Frame() {
        run_on_engine([this](GlEngine&) {
            readback.reset();
            LXGlobalGLCleanUp{data_}.destroy();
        });
    }

    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // The mesh set-up, the material (the engine's white one, as a layer
    // with the material group's defaults), then the render command; the
    // previous image is let go on the rendering thread first.
    void render(std::uint8_t back_face) {
        release_readback();
        RenderThread& thread = tavrel_test::shared_render_thread();
        thread.execute(SetupInputFct{values.render_input, data_->triangle_mesh, &abort_});
        thread.execute([](GlEngine&) { set_material(Material()); });
        MainRender::post(readback, thread, abort_, kWidth, kHeight, values, back_face, triangles, iterations);
    }

    void release_readback() {
        run_on_engine([this](GlEngine&) { readback.reset(); });
    }

    SequenceData& data() { return *data_; }

    std::vector<std::uint8_t> pixels = to_8bit(tavrel_test::host_image(kWidth, kHeight));
    TimeVariableParameters values;
    std::shared_ptr<I2dArrayAccessor> readback;
    std::uint32_t triangles = 0;
    std::int32_t iterations = -1;

private:
    alignas(SequenceData) unsigned char storage_[sizeof(SequenceData)];
    SequenceData* data_;
    NeverAbort abort_;
};

// The key under which the latest renderer was lent, as the engine's pool
// holds it; the pool is emptied first so the key is this frame's.
RendererDescription renderer_key_of_frame(Frame& frame, std::uint8_t back_face) {
    run_on_engine([](GlEngine& engine) { engine.release_free_pooled_objects(); });
    frame.render(back_face);
    RendererDescription key;
    run_on_engine([&](GlEngine& engine) {
        const std::optional<RendererDescription> last = engine.renderer_pool().last_used();
        EXPECT_TRUE(last.has_value());
        if (last) key = *last;
    });
    return key;
}

TEST(MainRender, FlatDefaultGridGivesTheLayerBackUprightThroughFourSubPixelViews) {
    Frame frame;
    frame.render(0);
    ASSERT_TRUE(frame.readback);
    ASSERT_EQ(frame.readback->width(), std::uint64_t(kWidth));
    ASSERT_EQ(frame.readback->height(), std::uint64_t(kHeight));
    const std::vector<double> image = tavrel_test::host_image(kWidth, kHeight);
    const std::uint8_t* got = boost::get<std::uint8_t*>(frame.readback->data());
    int compared = 0, worst = 0;
    for (int y = 1; y < kHeight - 1; ++y)
        for (int x = 1; x < kWidth - 1; ++x) {
            // Jittered views shift the layer's own border by part of a pixel.
            if (tavrel_test::on_colour_edge(x, y, kWidth, kHeight)) continue;
            ++compared;
            for (int k = 0; k < 4; ++k) {
                const std::size_t i = (std::size_t(y) * kWidth + x) * 4 + k;
                const int expected = int(std::lround(image[i] * 255));
                worst = std::max(worst, std::abs(int(got[i]) - expected));
                ASSERT_NEAR(int(got[i]), expected, 2) << "pixel (" << x << ", " << y << ") channel " << k;
            }
        }
    std::printf("[ main render ] %d pixels compared, largest difference %d/255, %u triangles, %d iterations\n",
                compared, worst, frame.triangles, frame.iterations);
    EXPECT_GT(compared, kWidth * kHeight / 2);

    // Nothing on a flat, opaque layer asks for a cut: every refinement pass
    // keeps the jittered grid's two triangles a cell, and all eight run.
    EXPECT_EQ(frame.triangles, 2u * kSubdivisions * kSubdivisions);
    EXPECT_EQ(frame.iterations, 8);
    EXPECT_EQ(frame.data().render_count, 1u);
    run_on_engine([&](GlEngine&) {
        const std::shared_ptr<ISGNode>& mesh_node = frame.data().triangle_mesh->node();
        ASSERT_TRUE(mesh_node);
        EXPECT_EQ(frame.triangles, mesh_node->primitive_count());
    });

    frame.render(0);
    EXPECT_EQ(frame.data().render_count, 2u);
    EXPECT_EQ(frame.triangles, 2u * kSubdivisions * kSubdivisions);
}

// The renderer is asked for the frame's format, samples and views, and the
// back-face mode: the back-face flag wins, then a backside with pixels, and
// a backside of no width is no backside. The layer's height map fades at
// its border only on an extruded layer with softened edges.
TEST(MainRender, RendererKeyAndLayerWrapFollowTheBackFaceFlagAndTheBackside) {
    struct Case {
        const char* name;
        int backside_width;  // -1: no backside
        std::uint8_t back_face;
        std::uint8_t soften_layer_edge;
        std::uint32_t mode;
        GLint wrap;
    };
    const Case cases[] = {
        {"no backside", -1, 0, 1, 0, GL_CLAMP_TO_EDGE},
        {"backside of zero width", 0, 0, 1, 0, GL_CLAMP_TO_EDGE},
        {"backside with pixels", 32, 0, 1, 2, GL_CLAMP_TO_EDGE},
        {"back-face flag over a backside", 32, 1, 1, 0, GL_CLAMP_TO_BORDER},
        {"back-face flag, edge kept hard", 32, 1, 0, 0, GL_CLAMP_TO_EDGE},
        {"backside of zero width, back-face flag", 0, 1, 1, 0, GL_CLAMP_TO_BORDER},
    };
    Frame frame;
    std::vector<std::uint8_t> back_pixels(32u * 16 * 4, 200);
    std::uint32_t frames = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame.values.backside.reset();
        if (c.backside_width >= 0) frame.values.backside = view_of(back_pixels, std::uint64_t(c.backside_width), 16);
        frame.values.soften_layer_edge = c.soften_layer_edge;
        const RendererDescription key = renderer_key_of_frame(frame, c.back_face);
        ++frames;
        EXPECT_EQ(key.render_mode, c.mode);
        EXPECT_EQ(key.format_kind, 0u);
        EXPECT_EQ(key.antialiasing_samples, 4u);
        EXPECT_TRUE(key.has_view_samples());
        EXPECT_FALSE(key.peeling_layers.has_value());
        EXPECT_FALSE(key.depth_only);
        EXPECT_FALSE(key.shading_switch_b);
        EXPECT_EQ(frame.data().render_count, frames);
        run_on_engine([&](GlEngine&) {
            ASSERT_TRUE(frame.data().layer_texture);
            const RenderTarget& layer = *frame.data().layer_texture;
            EXPECT_EQ(layer.width(), std::uint64_t(kWidth));
            EXPECT_EQ(layer.height(), std::uint64_t(kHeight));
            GLint wrap = 0;
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, layer.textures.at(0)->gl_name());
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
            glBindTexture(GL_TEXTURE_2D, 0);
            EXPECT_EQ(wrap, c.wrap);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        });
    }

    // Transparency peels, and the depth mode renders depth only.
    frame.values.backside.reset();
    frame.values.transparency_layers = -1;
    RendererDescription key = renderer_key_of_frame(frame, 0);
    ASSERT_TRUE(key.peeling_layers.has_value());
    EXPECT_EQ(*key.peeling_layers, 0xFFFFFFFFu);
    frame.values.transparency_layers.reset();
    frame.data().render_settings.render_mode = 2;
    key = renderer_key_of_frame(frame, 0);
    EXPECT_TRUE(key.depth_only);
}

// The reflection layer becomes a cube map, cut from its cross, exactly for
// the cubic mapping; the other mappings sample it as it is.
TEST(MainRender, OnlyTheCubicMappingUploadsTheReflectionAsACubeMap) {
    Frame frame;
    frame.render(0);  // the surface's first evaluation uploads a texture of its own
    std::vector<std::uint8_t> cross(32u * 24 * 4, 128);
    frame.values.reflection = view_of(cross, 32, 24);
    frame.values.reflectivity = 0.5f;
    const std::pair<std::uint32_t, GLenum> mappings[] = {
        {0, GL_TEXTURE_2D}, {1, GL_TEXTURE_CUBE_MAP}, {2, GL_TEXTURE_2D}};
    for (const auto& [mapping, target] : mappings) {
        SCOPED_TRACE("mapping " + std::to_string(mapping));
        frame.values.environment_map_mode = mapping;
        renderer_key_of_frame(frame, 0);
        run_on_engine([&](GlEngine& engine) {
            // The reflection is the frame's last upload.
            const std::optional<TextureDescription> last = engine.texture_pool().last_used();
            ASSERT_TRUE(last.has_value());
            EXPECT_EQ(last->target, std::uint32_t(target));
            if (target == GL_TEXTURE_2D) {
                EXPECT_EQ(last->width, 32u);
            }
        });
    }
}

// The read-back image holds a pooled pixel buffer for the host thread; once
// the holder lets it go on the rendering thread, trimming the pools leaves
// exactly the GL objects of before the frame. The instance's clean-up then
// takes what its set-up made.
TEST(MainRender, ReleasingTheReadBackLeavesTheGlObjectsOfBeforeTheFrame) {
    std::int64_t before_setup = 0;
    std::string before_setup_text;
    run_on_engine([&](GlEngine& engine) {
        engine.release_free_pooled_objects();
        before_setup = live_gl_objects();
        before_setup_text = live_gl_objects_text();
    });
    {
        Frame frame;
        frame.render(0);
        frame.release_readback();
        std::int64_t before = 0;
        std::string before_text;
        run_on_engine([&](GlEngine& engine) {
            engine.release_free_pooled_objects();
            before = live_gl_objects();
            before_text = live_gl_objects_text();
        });

        frame.render(0);
        ASSERT_TRUE(frame.readback);
        run_on_engine([&](GlEngine& engine) {
            engine.release_free_pooled_objects();
            EXPECT_GT(live_gl_objects(), before) << "the image holds its pixel buffer";
        });
        frame.release_readback();
        run_on_engine([&](GlEngine& engine) {
            engine.release_free_pooled_objects();
            EXPECT_EQ(live_gl_objects(), before) << live_gl_objects_text() << " against " << before_text;
        });
    }
    run_on_engine([&](GlEngine& engine) {
        engine.release_free_pooled_objects();
        EXPECT_EQ(live_gl_objects(), before_setup) << live_gl_objects_text() << " against " << before_setup_text;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
