// End to end on the engine: the flat default grid's mesh, textured with an
// asymmetric host image and lit by the ambient light, rendered through the
// engine's renderer chain (4 samples, one view) with the composition's
// default camera, gives the host image back, upright, at each pixel kind.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/ambient_light.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/standard_nodes.h"
#include "hostaccess/plugin_errors.h"
#include "surface/host/ae_camera_adaptor.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/layer_image_support.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;

constexpr int kWidth = 64, kHeight = 48;

struct KindCase {
    std::uint32_t kind;
    double scale;      // host value of 1.0
    double tolerance;  // in host units
};

// The trees the effect's settings ask for: one view, the default four
// sub-pixel views, and every transparency layer peeled. An opaque layer
// comes back the same through each.
struct TreeCase {
    const char* name;
    std::uint32_t subpixel_samples;
    std::optional<std::uint32_t> peeling_layers;
};

TEST(RenderChain, DefaultCameraReproducesTheLayerUpright) {
    const std::shared_ptr<AECameraAdaptor> camera = tavrel_test::default_camera(kWidth, kHeight);
    ASSERT_EQ(camera->render_size().width, kWidth);
    const std::vector<double> image = tavrel_test::host_image(kWidth, kHeight);
    const KindCase cases[] = {{0, 255.0, 2.0}, {1, 32768.0, 32.0}, {2, 1.0, 1e-3}};
    const TreeCase trees[] = {{"single view", 0, std::nullopt},
                              {"four sub-pixel views", 4, std::nullopt},
                              {"all layers peeled", 0, std::uint32_t(-1)}};
    tavrel_test::run_on_engine([&](GlEngine& engine) {
        for (const TreeCase& tree : trees)
        for (const KindCase& c : cases) {
            SCOPED_TRACE(std::string(tree.name) + ", kind " + std::to_string(c.kind));
            std::shared_ptr<ITextureObject> texture;
            if (c.kind == 0) {
                std::vector<std::uint8_t> pixels(image.size());
                for (std::size_t i = 0; i < image.size(); ++i) pixels[i] = std::uint8_t(std::lround(image[i] * 255));
                texture = tavrel_test::texture_of_argb8(engine, pixels, kWidth, kHeight);
            } else if (c.kind == 1) {
                std::vector<std::uint16_t> pixels(image.size());
                for (std::size_t i = 0; i < image.size(); ++i)
                    pixels[i] = std::uint16_t(std::lround(image[i] * 32768));
                texture = tavrel_test::texture_of_argb16(engine, pixels, kWidth, kHeight);
            } else {
                texture = tavrel_test::texture_of_argb_float(engine, std::vector<float>(image.begin(), image.end()),
                                                             kWidth, kHeight);
            }

            // The surface spans -w/2..w/2 and -h/2..h/2 with its first row
            // at -h/2; the layer puts its centre at the comp's.
            tavrel_test::MeshInstance instance(ControlPointGrid(4, 4), 8);
            ASSERT_TRUE(instance.setup(engine));
            const auto root = tavrel_test::layer_centred_surface(engine, instance, kWidth, kHeight);

            tavrel_test::RenderArguments arguments;
            arguments.scene.add_render_pass(RenderPass(root, TextureSet(texture, nullptr, nullptr, 0.0f, 0)));
            auto lights = std::make_shared<tavrel_test::TestLights>();
            lights->lights.push_back(std::make_shared<AmbientLight>());
            arguments.scene.set_lights(lights);

            RendererDescription description;
            description.format_kind = c.kind;
            description.antialiasing_samples = 4;
            description.subpixel_samples = tree.subpixel_samples;
            description.peeling_layers = tree.peeling_layers;
            auto renderer = engine.request_renderer(description);
            auto destination = engine.request_render_target(kWidth, kHeight, 1, c.kind, true, 0, 1);
            const std::shared_ptr<IVirtualCameraParameters> view = camera;
            renderer->render(arguments.scene, *arguments.abort, view, *lights, nullptr, 0,
                             arguments.surface, *arguments.deformation, arguments.shader_parameters,
                             arguments.height_map_size, arguments.displacement, *destination);
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

            // Read back as the host gets it: rows of host pixels, the first
            // row at the bottom of the framebuffer, which this camera gives
            // the layer's top.
            auto pbo = read_pixels_to_pbo(engine, *destination);
            auto result = map_readback(pbo, kWidth, kHeight, c.kind);
            auto value = [&](std::size_t i) -> double {
                switch (c.kind) {
                    case 0: return boost::get<std::uint8_t*>(result->data())[i];
                    case 1: return boost::get<std::uint16_t*>(result->data())[i];
                    default: return boost::get<float*>(result->data())[i];
                }
            };
            int compared = 0;
            double worst = 0.0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    // Jittered views shift the layer's own border by part of
                    // a pixel, so its outermost pixels are partly covered.
                    const bool border = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
                    if (tavrel_test::on_colour_edge(x, y, kWidth, kHeight) || (tree.subpixel_samples != 0 && border)) continue;
                    ++compared;
                    for (int k = 0; k < 4; ++k) {
                        const std::size_t i = (std::size_t(y) * kWidth + x) * 4 + k;
                        const double expected = c.kind == 2 ? image[i] : std::round(image[i] * c.scale);
                        const double got = value(i);
                        worst = std::max(worst, std::abs(got - expected));
                        ASSERT_NEAR(got, expected, c.tolerance)
                            << "pixel (" << x << ", " << y << ") channel " << k;
                    }
                }
            std::printf("[ render chain ] %s, kind %u: %d pixels compared, largest difference %g\n", tree.name,
                        c.kind, compared, worst);
            EXPECT_GT(compared, kWidth * kHeight / 2);
            result.reset();
            pbo.reset();
        }
    });
}

}  // namespace
