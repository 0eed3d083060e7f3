// The height-map combine pass on llvmpipe: the displacement layer's colour
// (or black) with its alpha times the colour layer's alpha, texel for texel.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/gpu/render_target.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::run_on_engine;

constexpr int kSize = 16;

// Host ARGB values in [0, 1]: every texel different, so that a flipped or
// shifted read shows.
std::vector<float> pattern(int salt) {
    std::vector<float> argb(kSize * kSize * 4);
    for (int k = 0; k < kSize * kSize; ++k)
        for (int c = 0; c < 4; ++c) argb[4 * k + c] = float((k * (7 + c) + salt * 31 + c * 53) % 256) / 255.0f;
    return argb;
}

std::vector<std::uint8_t> to_bytes(const std::vector<float>& argb) {
    std::vector<std::uint8_t> bytes(argb.size());
    for (std::size_t i = 0; i < argb.size(); ++i) bytes[i] = std::uint8_t(std::lround(argb[i] * 255.0f));
    return bytes;
}

TEST(CombinePolyClippingAlpha, WritesDisplacementColourWithTheProductOfAlphas) {
    struct Case {
        const char* name;
        int kind;  // 0 8-bit, 2 float
        bool with_displacement;
    };
    const Case cases[] = {{"8-bit, no displacement", 0, false},
                          {"8-bit, displacement", 0, true},
                          {"float, no displacement", 2, false},
                          {"float, displacement", 2, true}};
    run_on_engine([&](GlEngine& engine) {
        CombinePolyClippingAlpha pass;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::vector<float> colour = pattern(1), displacement = pattern(2);
            auto upload = [&](const std::vector<float>& argb) {
                return c.kind == 0 ? tavrel_test::texture_of_argb8(engine, to_bytes(argb), kSize, kSize)
                                   : tavrel_test::texture_of_argb_float(engine, argb, kSize, kSize);
            };
            auto colour_texture = upload(colour);
            auto displacement_texture = upload(displacement);
            ASSERT_EQ(colour_texture->format(), std::uint32_t(c.kind));
            auto target = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
            pass.combine(*colour_texture, c.with_displacement ? displacement_texture.get() : nullptr, *target);
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            const std::vector<float> out =
                tavrel_test::read_texture(target->textures.at(0)->gl_name(), kSize, kSize);
            double largest = 0.0;
            for (int k = 0; k < kSize * kSize; ++k) {
                const float* d = &displacement[4 * k];  // A, R, G, B
                const float expected[4] = {c.with_displacement ? d[1] : 0.0f, c.with_displacement ? d[2] : 0.0f,
                                           c.with_displacement ? d[3] : 0.0f,
                                           (c.with_displacement ? d[0] : 1.0f) * colour[4 * k]};
                for (int m = 0; m < 4; ++m) largest = std::max(largest, double(std::fabs(out[4 * k + m] - expected[m])));
            }
            // Both inputs are exact in either depth; only float rounding of the product remains.
            EXPECT_LT(largest, 1e-5);
        }
    });
}

}  // namespace
