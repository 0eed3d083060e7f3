// The engine's stand-ins for absent inputs, value by value. NeverAbort and
// NoShader hold no values: the render tests run on the first, and the
// material upload test checks that the second sets no uniform.
#include <gtest/gtest.h>

#include <array>

#include "engine/interfaces/ambient_light.h"
#include "engine/interfaces/material.h"
#include "engine/interfaces/no_deformation.h"

namespace tavrel {
namespace {

std::array<float, 4> four(const float* p) { return {p[0], p[1], p[2], p[3]}; }

TEST(NullInputs, AmbientLight) {
    const AmbientLight ambient;
    const ILight& light = ambient;
    using F4 = std::array<float, 4>;
    EXPECT_EQ(light.type(), 3);
    EXPECT_EQ(four(light.position()), (F4{0, 0, 0, 0}));
    EXPECT_EQ(four(light.specular_color()), (F4{0, 0, 0, 0}));
    EXPECT_EQ(four(light.diffuse_color()), (F4{0, 0, 0, 0}));
    EXPECT_EQ(four(light.ambient_color()), (F4{1, 1, 1, 1}));
    EXPECT_EQ(light.outer_cutoff_angle(), 180.0);
    EXPECT_EQ(light.inner_cutoff_angle(), 180.0);
    EXPECT_EQ(light.shadow_density(), 0.0f);
    EXPECT_EQ(light.shadow_diffusion(), 0.0);

    const std::array<double, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(light.transform()->values(), identity);
    EXPECT_EQ(light.inverse_transform()->values(), identity);
    // One transform serves as both, one colour as specular and diffuse.
    EXPECT_EQ(light.transform(), light.inverse_transform());
    EXPECT_EQ(light.specular_color(), light.diffuse_color());
    EXPECT_NE(light.ambient_color(), light.diffuse_color());
    // The matrices and colours are owned by the light: a copy reads its own.
    const AmbientLight copy = ambient;
    EXPECT_NE(copy.ambient_color(), ambient.ambient_color());
    EXPECT_NE(copy.diffuse_color(), ambient.diffuse_color());
    EXPECT_NE(copy.position(), ambient.position());
    EXPECT_NE(copy.transform(), ambient.transform());
    EXPECT_EQ(four(copy.ambient_color()), (F4{1, 1, 1, 1}));
}

TEST(NullInputs, NoDeformation) {
    const NoDeformation none;
    const IDeformationCollection& region = none;
    EXPECT_FALSE(region.apply_deformation());
    for (const Vec3d& v : {region.position(), region.size()}) {
        EXPECT_EQ(v.x, 0.0);
        EXPECT_EQ(v.y, 0.0);
        EXPECT_EQ(v.z, 0.0);
    }
    EXPECT_EQ(region.amplitude(), 0.0f);
    EXPECT_EQ(region.deform_type(), 3);
    EXPECT_EQ(region.deform_type(), kDeformNone);
    EXPECT_FALSE(region.display_region());
}

// The interface's own defaults for the two values implementations may leave.
TEST(NullInputs, MaterialDefaults) {
    struct Grey : IMaterial {
        const float* ambient() const override { return grey; }
        const float* diffuse() const override { return grey; }
        const float* specular() const override { return grey; }
        float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    } grey;
    const IMaterial& material = grey;
    EXPECT_EQ(material.shininess(), 1.0f);
    EXPECT_EQ(material.metal(), 0.0f);
}

}  // namespace
}  // namespace tavrel
