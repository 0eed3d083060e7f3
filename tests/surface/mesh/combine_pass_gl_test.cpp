// The height-map combine pass on llvmpipe: the displacement layer's colour
// (or black) with its alpha times the colour layer's alpha, texel for texel,
// from layers filtered as the frame uploads them (linear, with the driver's
// anisotropy), at sizes whose texel addressing Mesa's elliptical filter
// rounds a row or a column short; a displacement layer of another size is
// read bilinearly between its texels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "surface/grid/host_buffer_accessor.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::run_on_engine;

// Host ARGB values in [0, 1]: every texel different, so that a flipped or
// shifted read shows.
std::vector<float> pattern(int width, int height, int salt) {
    std::vector<float> argb(std::size_t(width) * height * 4);
    for (int k = 0; k < width * height; ++k)
        for (int c = 0; c < 4; ++c) argb[4 * k + c] = float((k * (7 + c) + salt * 31 + c * 53) % 256) / 255.0f;
    return argb;
}

// Uploaded as the frame uploads its layers: filter 1, clamped to the edge.
template <typename T>
std::shared_ptr<ITextureObject> layer_texture(GlEngine& engine, std::vector<T> pixels, int width, int height) {
    HostBuffer2dArrayAccessor<T> view(pixels.data(), width, height, std::uint64_t(width) * 4 * sizeof(T), 2);
    std::shared_ptr<const I2dArrayAccessor> shared(&view, [](const I2dArrayAccessor*) {});
    auto texture = engine.texture_from_accessor(shared, GL_TEXTURE0, 1, 1, false);
    texture->unbind();
    return texture;
}

TEST(CombinePolyClippingAlpha, WritesDisplacementColourWithTheProductOfAlphas) {
    struct Case {
        const char* name;
        int kind;  // 0 8-bit, 2 float
        bool with_displacement;
        int width, height;                             // the colour layer's, the map's
        int displacement_width, displacement_height;  // the displacement layer's
    };
    const Case cases[] = {{"8-bit, no displacement", 0, false, 16, 16, 16, 16},
                          {"8-bit, displacement", 0, true, 16, 16, 16, 16},
                          {"float, no displacement", 2, false, 16, 16, 16, 16},
                          {"float, displacement", 2, true, 16, 16, 16, 16},
                          {"8-bit, 24 x 360", 0, true, 24, 360, 24, 360},
                          {"float, 800 x 12", 2, true, 800, 12, 800, 12},
                          {"8-bit, a displacement of 11 x 7 on 37 x 23", 0, true, 37, 23, 11, 7},
                          {"float, a displacement of 40 x 30 on 25 x 19", 2, true, 25, 19, 40, 30}};
    run_on_engine([&](GlEngine& engine) {
        CombinePolyClippingAlpha pass;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::vector<float> colour = pattern(c.width, c.height, 1),
                                     displacement = pattern(c.displacement_width, c.displacement_height, 2);
            auto upload = [&](const std::vector<float>& argb, int width, int height) {
                if (c.kind == 2) return layer_texture(engine, argb, width, height);
                std::vector<std::uint8_t> bytes(argb.size());
                for (std::size_t i = 0; i < argb.size(); ++i) bytes[i] = std::uint8_t(std::lround(argb[i] * 255.0f));
                return layer_texture(engine, bytes, width, height);
            };
            auto colour_texture = upload(colour, c.width, c.height);
            auto displacement_texture = upload(displacement, c.displacement_width, c.displacement_height);
            ASSERT_EQ(colour_texture->format(), std::uint32_t(c.kind));
            auto target = engine.request_render_target(c.width, c.height, 1, 2, true, 0, 1);
            pass.combine(*colour_texture, c.with_displacement ? displacement_texture.get() : nullptr, *target);
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            const std::vector<float> out =
                tavrel_test::read_texture(target->textures.at(0)->gl_name(), c.width, c.height);

            // The displacement layer at the map texel's centre, bilinear
            // between its texels, edge texels repeating: ARGB.
            const auto displacement_at = [&](int x, int y, int channel) {
                const double u = (x + 0.5) * c.displacement_width / c.width - 0.5,
                             v = (y + 0.5) * c.displacement_height / c.height - 0.5;
                const int i = int(std::floor(u)), j = int(std::floor(v));
                const double fu = u - i, fv = v - j;
                const auto texel = [&](int tx, int ty) {
                    tx = std::clamp(tx, 0, c.displacement_width - 1);
                    ty = std::clamp(ty, 0, c.displacement_height - 1);
                    return double(displacement[4 * (std::size_t(ty) * c.displacement_width + tx) + channel]);
                };
                return (1 - fv) * ((1 - fu) * texel(i, j) + fu * texel(i + 1, j)) +
                       fv * ((1 - fu) * texel(i, j + 1) + fu * texel(i + 1, j + 1));
            };
            double largest = 0.0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x) {
                    const std::size_t k = std::size_t(y) * c.width + x;
                    const auto d = [&](int channel) { return c.with_displacement ? displacement_at(x, y, channel) : 0.0; };
                    const double expected[4] = {d(1), d(2), d(3),
                                                (c.with_displacement ? d(0) : 1.0) * colour[4 * k]};
                    for (int m = 0; m < 4; ++m) largest = std::max(largest, std::fabs(out[4 * k + m] - expected[m]));
                }
            // The layers' values are exact in either depth; only float
            // rounding of the weights and the product remains.
            EXPECT_LT(largest, 1e-5);
        }
    });
}

}  // namespace
