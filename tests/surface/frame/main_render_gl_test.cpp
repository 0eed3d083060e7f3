// The frame's render command, posted after the mesh set-up and the material
// as the host thread posts it, over frame values built here as the frame
// set-up builds them: the composition's default camera, no light layers, an
// 8-bit host image, the flat default grid, "Antialiasing" Medium.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/shadow_map_array.h"
#include "engine/interfaces/default_material.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/single_instance_params.h"
#include "engine/render/render_thread.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/set_material.h"
#include "plugin/core/life_cycle.h"
#include "surface/frame/main_render.h"
#include "surface/grid/host_buffer_accessor.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/mesh_pipeline.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/layer_image_support.h"

namespace {

using namespace tavrel;
using tavrel_test::run_on_engine;

constexpr int kWidth = 64, kHeight = 48;
constexpr int kSubdivisions = 16;  // the least the adaptive mode takes

std::shared_ptr<I2dArrayAccessor> view_of(std::vector<std::uint8_t>& argb, std::uint64_t width,
                                          std::uint64_t height) {
    return std::make_shared<HostBuffer2dArrayAccessor<std::uint8_t>>(argb.data(), width, height, width * 4, 2);
}

// One new instance and its frame values. Its state is destroyed by the
// instance's GL clean-up on the rendering thread, as the effect does it.
struct Frame {
    alignas(SequenceData) unsigned char storage[sizeof(SequenceData)];
    SequenceData* data = new (storage) SequenceData;
    std::vector<std::uint8_t> pixels;
    TimeVariableParameters values;
    std::shared_ptr<I2dArrayAccessor> readback;
    std::uint32_t triangles = 0;
    std::int32_t iterations = -1;
    NeverAbort abort;

    Frame() {
        for (double v : tavrel_test::host_image(kWidth, kHeight)) pixels.push_back(std::uint8_t(std::lround(v * 255)));
        data->grid = ControlPointGrid(2, 2);
        data->render_settings.frame_size = TSize2D{kWidth, kHeight};
        data->render_settings.subdivisions = kSubdivisions;
        // "Displacement Height" at its default of 0.
        data->render_settings.displacement_height = RenderSettings::clamp_displacement_height(0.0);
        data->triangle_mesh = std::make_shared<LattixTriangleMesh>();
        auto input = std::make_shared<RenderInput>();
        input->sequence_data = data;
        input->grid = &data->grid;
        input->generator = std::make_shared<SingleInstanceParams>();
        values.camera = tavrel_test::default_camera(kWidth, kHeight);
        values.lights = tavrel_test::lights_of_unlit_comp(kWidth, kHeight);
        values.sequence_data = data;
        values.source = view_of(pixels, kWidth, kHeight);
        values.render_input = input;
        values.multisample_level = values.accumulation_level = 4;
        values.modeling_transform = std::make_shared<ModelingTransform>();
        values.modeling_transform->modeling_matrix.translate(kWidth / 2.0, kHeight / 2.0, 0.0);
    }
    ~Frame() {
        run_on_engine([this](GlEngine&) {
            readback.reset();
            LXGlobalGLCleanUp{data}.destroy();
        });
    }

    // The engine's white material stands for a layer's default material.
    void render(std::uint8_t back_face) {
        release_readback();
        RenderThread& thread = tavrel_test::shared_render_thread();
        thread.execute(SetupInputFct{values.render_input, data->triangle_mesh, &abort});
        thread.execute([](GlEngine&) { set_material(Material()); });
        MainRender::post(readback, thread, abort, kWidth, kHeight, values, back_face, triangles, iterations);
    }
    void release_readback() {
        run_on_engine([this](GlEngine&) { readback.reset(); });
    }
};

// The key of the renderer the frame was lent; the pools are emptied first so
// that the pool's latest key is this frame's.
RendererDescription renderer_key_of_frame(Frame& frame, std::uint8_t back_face) {
    run_on_engine([](GlEngine& engine) { engine.release_free_pooled_objects(); });
    frame.render(back_face);
    std::optional<RendererDescription> key;
    run_on_engine([&](GlEngine& engine) { key = engine.renderer_pool().last_used(); });
    EXPECT_TRUE(key.has_value());
    return key.value_or(RendererDescription());
}

TEST(MainRender, FlatDefaultGridGivesTheLayerBackUprightThroughFourSubPixelViews) {
    Frame frame;
    const RendererDescription key = renderer_key_of_frame(frame, 0);
    EXPECT_TRUE(key.format_kind == 0 && key.antialiasing_samples == 4 && key.has_view_samples() &&
                !key.peeling_layers && !key.depth_only && key.render_mode == 0);
    ASSERT_TRUE(frame.readback);
    ASSERT_EQ(frame.readback->width() * 1000 + frame.readback->height(), kWidth * 1000u + kHeight);
    const std::uint8_t* got = boost::get<std::uint8_t*>(frame.readback->data());
    int compared = 0;
    // Jittered views shift the layer's own border by part of a pixel.
    for (int y = 1; y < kHeight - 1; ++y)
        for (int x = 1; x < kWidth - 1; ++x) {
            if (tavrel_test::on_colour_edge(x, y, kWidth, kHeight)) continue;
            ++compared;
            for (std::size_t i = (std::size_t(y) * kWidth + x) * 4, k = 0; k < 4; ++k)
                ASSERT_NEAR(got[i + k], frame.pixels[i + k], 2) << "pixel (" << x << ", " << y << ") channel " << k;
        }
    EXPECT_GT(compared, kWidth * kHeight / 2);

    // Nothing on a flat, opaque layer asks for a cut: every pass keeps the
    // jittered grid's two triangles a cell, and all eight passes run.
    EXPECT_EQ(frame.triangles, 2u * kSubdivisions * kSubdivisions);
    EXPECT_EQ(frame.iterations, 8);
    EXPECT_EQ(frame.data->render_count, 1u);
    run_on_engine([&](GlEngine&) { EXPECT_EQ(frame.triangles, frame.data->triangle_mesh->node()->primitive_count()); });
    frame.render(0);
    EXPECT_EQ(frame.data->render_count, 2u);
}

// A frame without a camera, or a mesh set-up without the instance's mesh,
// is refused on the rendering thread with an error naming what is missing.
TEST(MainRender, MissingCameraOrMeshIsRefusedNotDereferenced) {
    Frame frame;
    RenderThread& thread = tavrel_test::shared_render_thread();
    try {
        thread.execute(SetupInputFct{frame.values.render_input, nullptr, &frame.abort});
        ADD_FAILURE() << "a mesh set-up without a mesh ran";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("triangle mesh"), std::string::npos) << e.what();
    }
    frame.values.camera = nullptr;
    try {
        frame.render(0);
        ADD_FAILURE() << "a frame without a camera rendered";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("camera"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(frame.readback);
}

// The back-face flag wins, then a backside with pixels; a backside of no
// width is none. With the flag the programs shade no back faces apart. The height map fades at the layer's border only on an
// extruded layer with softened edges, and allows no anisotropy.
TEST(MainRender, BackFaceModeAndLayerWrapFollowTheFlagAndTheBackside) {
    struct Case {
        int backside_width;  // -1: no backside
        std::uint8_t back_face, soften_layer_edge;
        std::uint32_t mode;
        GLint wrap;
    };
    const Case cases[] = {{-1, 0, 1, 0, GL_CLAMP_TO_EDGE},  {0, 0, 1, 0, GL_CLAMP_TO_EDGE},
                          {32, 0, 1, 2, GL_CLAMP_TO_EDGE},  {32, 1, 1, 0, GL_CLAMP_TO_BORDER},
                          {32, 1, 0, 0, GL_CLAMP_TO_EDGE},  {0, 1, 1, 0, GL_CLAMP_TO_BORDER}};
    Frame frame;
    std::vector<std::uint8_t> back_pixels(32u * 16 * 4, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE("backside width " + std::to_string(c.backside_width) + ", flag " + std::to_string(c.back_face) +
                     ", soften " + std::to_string(c.soften_layer_edge));
        frame.values.backside.reset();
        if (c.backside_width >= 0) frame.values.backside = view_of(back_pixels, std::uint64_t(c.backside_width), 16);
        frame.values.soften_layer_edge = c.soften_layer_edge;
        const RendererDescription key = renderer_key_of_frame(frame, c.back_face);
        EXPECT_EQ(key.render_mode, c.mode);
        // The extruded surface shades its back faces as its front.
        EXPECT_EQ(key.shading.back_faces, c.back_face == 0);
        run_on_engine([&](GlEngine&) {
            GLint wrap = 0;
            GLfloat anisotropy = 0.0f;
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, frame.data->layer_texture->textures.at(0)->gl_name());
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
            glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
            glBindTexture(GL_TEXTURE_2D, 0);
            EXPECT_EQ(wrap, c.wrap);
            // Read bilinearly: Mesa's filter for anisotropic textures moves
            // the displaced vertices off the map's heights.
            EXPECT_EQ(anisotropy, 1.0f);
        });
    }
}

// The image holds a pooled pixel buffer for the host thread; once the
// holder lets it go on the rendering thread, trimming the pools leaves the
// GL objects of before the frame.
TEST(MainRender, ReleasingTheReadBackLeavesTheGlObjectsOfBeforeTheFrame) {
    Frame frame;
    frame.render(0);
    frame.release_readback();
    std::int64_t before = 0;
    const auto trimmed_count = [](std::int64_t& count) {
        run_on_engine([&](GlEngine& engine) {
            engine.release_free_pooled_objects();
            count = live_gl_objects();
        });
    };
    trimmed_count(before);
    frame.render(0);
    std::int64_t holding = 0, after = 0;
    trimmed_count(holding);
    frame.release_readback();
    trimmed_count(after);
    EXPECT_GT(holding, before);
    EXPECT_EQ(after, before);
}

// The shadow-map array costs 16 MiB a layer in host memory on a software
// driver. A frame whose lights cast no shadows makes none; a point light far
// off casting shadows (one view) makes one layer, and a second caster grows
// the array to two.
TEST(MainRender, ShadowMapLayersAreMadeForTheFramesCastersOnly) {
    Frame frame;
    run_on_engine([](GlEngine& engine) { engine.release_free_pooled_objects(); });
    frame.render(0);
    std::uint32_t layers = 99;
    const auto held_layers = [&] {
        run_on_engine([&](GlEngine& engine) {
            const std::shared_ptr<ShadowMapArray> held = engine.held_shadow_map_array();
            layers = held ? held->layers() : 0u;
        });
        return layers;
    };
    EXPECT_EQ(held_layers(), 0u);

    auto casting = std::make_shared<tavrel_test::TestLights>();
    for (int i = 0; i < 2; ++i) {
        auto light = std::make_shared<tavrel_test::TestLight>();
        light->light_type = kPointLight;
        light->where[0] = float(kWidth / 2 + 100 * i);
        light->where[1] = float(kHeight / 2);
        light->where[2] = -5000.0f;
        light->density = 1.0f;
        casting->lights.push_back(light);
        frame.values.lights = casting;
        frame.render(0);
        ASSERT_TRUE(frame.readback);
        EXPECT_EQ(held_layers(), std::uint32_t(i + 1)) << (i + 1) << " casters";
    }
}

// The placed triangles stand while the images the height map is combined
// from stay as they were, and are placed again exactly when one of them
// changes: the layer's alpha, a displacement layer coming, any of its
// channels, it going. The layer's colour is not in the map, and a
// displacement layer without pixels is none.
TEST(MainRender, TrianglesArePlacedAgainExactlyWhenTheHeightMapsImagesChange) {
    Frame frame;
    std::vector<std::uint8_t> displacement(std::size_t(kWidth) * kHeight * 4, 128);
    const std::size_t pixel = (std::size_t(10) * kWidth + 10) * 4;
    struct Row {
        const char* change;
        std::function<void()> apply;
        bool places;
    };
    const Row rows[] = {
        {"nothing", [] {}, false},
        {"the layer's colour", [&] { frame.pixels[pixel + 2] ^= 0x40; }, false},
        {"the layer's alpha", [&] { frame.pixels[pixel] = 128; }, true},
        {"a displacement layer", [&] { frame.values.displacement = view_of(displacement, kWidth, kHeight); }, true},
        {"a displacement layer's colour", [&] { displacement[pixel + 3] = 7; }, true},
        {"a displacement layer's alpha", [&] { displacement[pixel] = 7; }, true},
        {"a displacement layer without pixels",
         [&] { frame.values.displacement = view_of(displacement, 0, kHeight); }, true},
        {"no displacement layer", [&] { frame.values.displacement.reset(); }, false},
    };
    const auto image = [&frame] {
        const std::uint8_t* p = boost::get<std::uint8_t*>(frame.readback->data());
        return std::vector<std::uint8_t>(p, p + std::size_t(kWidth) * kHeight * 4);
    };
    frame.render(0);
    const LattixTriangleMesh& mesh = *frame.data->triangle_mesh;
    std::uint64_t placed = mesh.placement_count();
    EXPECT_EQ(placed, 1u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        row.apply();
        frame.render(0);
        EXPECT_EQ(mesh.placement_count(), placed + (row.places ? 1 : 0));
        placed = mesh.placement_count();
        const std::vector<std::uint8_t> first = image();
        // The steady frame: its triangles, and the flat map's slopes, kept.
        frame.render(0);
        EXPECT_EQ(mesh.placement_count(), placed) << "a frame of the same images placed again";
        EXPECT_EQ(image(), first);
    }
}

// Two instances whose frames are posted from two host threads at once: the
// rendering thread may run their commands interleaved, and each must still
// get exactly the image it gets alone.
TEST(MainRender, TwoInstancesFromTwoThreadsGiveTheImagesOfOneAfterTheOther) {
    Frame flat, raised;
    raised.data->grid.set_handle_position(1, 1, 0, 0, false, 0.2f, -0.3f, 0.0f);
    auto image = [](Frame& frame) {
        const std::uint8_t* p = boost::get<std::uint8_t*>(frame.readback->data());
        return std::vector<std::uint8_t>(p, p + std::size_t(kWidth) * kHeight * 4);
    };
    flat.render(0);
    const std::vector<std::uint8_t> flat_alone = image(flat);
    raised.render(0);
    const std::vector<std::uint8_t> raised_alone = image(raised);
    ASSERT_NE(flat_alone, raised_alone);
    for (int round = 0; round < 2; ++round) {
        std::thread a([&] { flat.render(0); });
        std::thread b([&] { raised.render(0); });
        a.join();
        b.join();
        EXPECT_EQ(image(flat), flat_alone) << "round " << round;
        EXPECT_EQ(image(raised), raised_alone) << "round " << round;
    }
}

}  // namespace
