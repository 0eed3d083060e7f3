#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/scene/parent_node.h"
#include "engine/scene/shadow_casters.h"
#include "tests/engine/scene_test_inputs.h"

namespace {

using tavrel_test::TestLight;
using tavrel_test::TestLights;

// A node that only reports bounding points.
class PointsNode : public tavrel::ParentNode {
public:
    explicit PointsNode(tavrel::BoundsPoints points) : points_(std::move(points)) {}
    void render() override {}
    std::string type_name() const override { return "PointsNode"; }
    void extend_bounds(tavrel::BoundsPoints& points) override {
        points.insert(points.end(), points_.begin(), points_.end());
    }

private:
    tavrel::BoundsPoints points_;
};

// A scene whose bounding sphere is the unit sphere about the origin.
tavrel::SceneGraph unit_scene(double radius = 1.0) {
    tavrel::SceneGraph scene;
    scene.add_render_pass(tavrel::RenderPass(
        std::make_shared<PointsNode>(tavrel::BoundsPoints{{-radius, 0, 0}, {radius, 0, 0}, {0, radius * 0.5, 0}}),
        tavrel::TextureSet()));
    return scene;
}

std::shared_ptr<TestLight> shadow_light(int type, double x, double y, double z, float density = 1.0f) {
    auto light = std::make_shared<TestLight>();
    light->light_type = type;
    light->where[0] = static_cast<float>(x);
    light->where[1] = static_cast<float>(y);
    light->where[2] = static_cast<float>(z);
    light->density = density;
    light->diffusion = 250.0;
    light->outer = 30.0;
    return light;
}

bool finite(const tavrel::Matrix4d& m) {
    for (double v : m.values())
        if (!std::isfinite(v)) return false;
    return true;
}

const std::string kWarning =
    "Warning:Too many shadow sources.\nMaximum of 12 shadow sources supported.\nA Point Light close to an object "
    "uses 6 shadow sources.\nPrefer using Parallel and Spot Lights.\nThis warning will be disabled until next "
    "session.";

TEST(ShadowCasters, FittingAndCounting) {
    struct Case {
        std::string name;
        std::function<void(TestLights&)> lights;
        double scene_radius;
        int count;
        std::vector<std::uint32_t> lut;
        bool warns;
        std::function<void(const tavrel::ShadowCasterParamsCollection&)> check;
    };
    const std::vector<Case> cases = {
        {"two spots and a distant point light",
         [](TestLights& l) {
             l.lights.push_back(shadow_light(tavrel::kSpotLight, 0, 0, 10));
             l.lights.push_back(shadow_light(tavrel::kSpotLight, 0, 5, 10));
             l.lights.push_back(shadow_light(tavrel::kPointLight, 0, 0, 20));
         },
         1.0, 3, {0, 1, 2}, false,
         [](const tavrel::ShadowCasterParamsCollection& c) {
             // The distant point light's perspective around the sphere.
             EXPECT_EQ(c.caster_projection_matrix(2).values(), tavrel::fit_shadow_perspective(1.0, 20.0).values());
             EXPECT_EQ(c.light_size_uv(), (std::vector<double>{250.0, 250.0, 250.0}));
         }},
        {"a close point light makes six casters sharing one projection",
         [](TestLights& l) {
             l.lights.push_back(shadow_light(tavrel::kPointLight, 0, 0, 1.2));
         },
         1.0, 6, {0, 0, 0, 0, 0, 0}, false,
         [](const tavrel::ShadowCasterParamsCollection& c) {
             for (int i = 1; i < 6; ++i)
                 EXPECT_EQ(c.caster_projection_matrix(i).values(), c.caster_projection_matrix(0).values());
             // The +x face looks along +x: its view maps the light + x to -z.
             const auto ahead = c.caster_view_matrix(0).transform(1.0, 0.0, 1.2);
             EXPECT_NEAR(ahead[2], -1.0, 1e-9);
         }},
        {"lights without density and ambient lights cast nothing",
         [](TestLights& l) {
             l.lights.push_back(shadow_light(tavrel::kSpotLight, 0, 0, 10, 0.0f));
             l.lights.push_back(shadow_light(tavrel::kAmbientLight, 0, 0, 10, 0.0f));
             l.lights.push_back(shadow_light(tavrel::kParallelLight, 0, 0, 10));
         },
         1.0, 1, {2}, false, nullptr},
        // Eleven spots and a close point light need 17: the check refuses;
        // fitted anyway (warning already shown), the point light keeps one
        // face and nothing goes past the twelfth slot.
        {"eleven spots and a close point light",
         [](TestLights& l) {
             for (int i = 0; i < 11; ++i) l.lights.push_back(shadow_light(tavrel::kSpotLight, i, 0, 10));
             l.lights.push_back(shadow_light(tavrel::kPointLight, 0, 0, 0.5));
         },
         1.0, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, true,
         [](const tavrel::ShadowCasterParamsCollection& c) {
             EXPECT_THROW(c.caster_view_matrix(12), std::out_of_range);
             EXPECT_EQ(c.light_size_uv().size(), 12u);
         }},
        {"a cone of 160 degrees is fitted with 140",
         [](TestLights& l) {
             auto spot = shadow_light(tavrel::kSpotLight, 0, 0, 10);
             spot->outer = 80.0;
             l.min_distance = 0.5;
             l.lights.push_back(spot);
         },
         1.0, 1, {0}, false,
         [](const tavrel::ShadowCasterParamsCollection& c) {
             EXPECT_EQ(c.caster_projection_matrix(0).values(),
                       tavrel::perspective_matrix(140.0, 1.0, 0.5, 11.0).values());
         }},
        // Degenerate cameras: a parallel light straight down, a point light
        // straight above the centre, and a scene collapsed to a point.
        {"view along the up vector and a collapsed scene stay finite",
         [](TestLights& l) {
             auto down = shadow_light(tavrel::kParallelLight, 0, 0, 0);
             down->inverse.set_identity();
             down->inverse[8] = 0.0;
             down->inverse[9] = 1.0;
             down->inverse[10] = 0.0;
             l.lights.push_back(down);
             l.lights.push_back(shadow_light(tavrel::kPointLight, 0, 10, 0));
         },
         0.0, 2, {0, 1}, false,
         [](const tavrel::ShadowCasterParamsCollection& c) {
             for (int i = 0; i < 2; ++i) {
                 EXPECT_TRUE(finite(c.caster_view_matrix(i))) << i;
                 EXPECT_TRUE(finite(c.caster_projection_matrix(i))) << i;
                 // A real rotation: the view keeps lengths.
                 const auto p = c.caster_view_matrix(i).transform(1.0, 0.0, 0.0, 0.0);
                 EXPECT_NEAR(std::hypot(p[0], p[1], p[2]), 1.0, 1e-9) << i;
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLights lights;
        c.lights(lights);
        std::uint32_t flag = 0x100;  // the other bytes are left alone
        if (c.warns) {
            try {
                tavrel::check_shadow_caster_count(lights, flag);
                ADD_FAILURE() << "no warning";
            } catch (const tavrel::TooManyShadowCasters& e) {
                EXPECT_EQ(std::string(e.what()), kWarning);
            }
            EXPECT_EQ(flag, 0x101u);
        } else {
            EXPECT_NO_THROW(tavrel::check_shadow_caster_count(lights, flag));
            EXPECT_EQ(flag, 0x100u);
        }
        const tavrel::SceneGraph scene = unit_scene(c.scene_radius);
        const tavrel::ShadowCasterParamsCollection casters(scene, lights);
        EXPECT_EQ(casters.count(), c.count);
        EXPECT_EQ(casters.light_lut(), c.lut);
        if (c.check) c.check(casters);
    }
}

// Three distant point lights need 18 by the count though the fitting gives
// them one caster each: the check still warns.
TEST(ShadowCasters, EveryShadowingPointLightCountsSix) {
    TestLights lights;
    for (int i = 0; i < 3; ++i) lights.lights.push_back(shadow_light(tavrel::kPointLight, 0, 0, 50 + i));
    std::uint32_t flag = 0;
    EXPECT_THROW(tavrel::check_shadow_caster_count(lights, flag), tavrel::TooManyShadowCasters);
    EXPECT_EQ(flag, 1u);
    const tavrel::SceneGraph scene = unit_scene();
    EXPECT_EQ(tavrel::ShadowCasterParamsCollection(scene, lights).count(), 3);
}

TEST(ShadowCasters, RitterSphereContainsEveryPoint) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
    for (int set = 0; set < 20; ++set) {
        tavrel::BoundsPoints points(static_cast<std::size_t>(5 + set * 20));
        for (auto& p : points) p = {coordinate(random), coordinate(random) * 0.3, coordinate(random)};
        const tavrel::BoundingSphere sphere = tavrel::ritter_sphere(points);
        double farthest = 0.0;
        for (const auto& p : points)
            farthest = std::max(farthest, std::hypot(p[0] - sphere.centre.x, p[1] - sphere.centre.y,
                                                     p[2] - sphere.centre.z));
        EXPECT_LE(farthest, sphere.radius * (1.0 + 1e-12)) << set;
        // Ritter's sphere is at most a few tenths larger than the tightest.
        EXPECT_LE(sphere.radius, 100.0 * std::sqrt(3.0) / 2.0 * 1.3) << set;
    }
    EXPECT_EQ(tavrel::ritter_sphere({}).radius, 0.0);
}

TEST(ShadowMapCamera, SlotValues) {
    tavrel::Matrix4d view;
    view.translate(1, 2, 3);
    tavrel::Matrix4d projection = tavrel::perspective_matrix(60, 1, 1, 10);
    const tavrel::ShadowMapCamera camera(view, projection);
    EXPECT_EQ(camera.view_transform()->values(), view.values());
    EXPECT_EQ(camera.projection_matrix()->values(), projection.values());
    EXPECT_DOUBLE_EQ((*camera.inverse_view_transform())[12], -1.0);
    EXPECT_DOUBLE_EQ((*camera.inverse_view_transform())[14], -3.0);
    EXPECT_EQ(camera.zoom(), 1.0);
    EXPECT_EQ(camera.width(), 2.0);
    EXPECT_EQ(camera.height(), 2.0);
    EXPECT_EQ(camera.render_size().width, 0);
    EXPECT_FALSE(camera.is_orthographic());
    EXPECT_EQ(camera.near_plane(), 1.0);
    EXPECT_EQ(camera.far_plane(), 30000.0);
    EXPECT_EQ(camera.depth_range(), 100000.0);
    EXPECT_EQ(camera.clone(), nullptr);
    EXPECT_EQ(camera.focus_distance(), 1000.0);
    EXPECT_EQ(camera.blur_level(), 100.0);
    EXPECT_EQ(camera.pixel_aspect_ratio(), 1.0);
}

}  // namespace
