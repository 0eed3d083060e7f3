// The composition's lights as the engine sees them. On the host thread, once
// per frame, the light array reads every light layer that is switched on; the
// collection presents them to the engine, with the engine's white ambient
// light when the composition has none.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/interfaces/light.h"
#include "engine/interfaces/light_collection.h"
#include "engine/core/matrix4d.h"
#include "hostapi/host_scene_suites.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {

// One light layer as the host describes it at comp time.
class Light {
public:
    Light(HostSuites& suites, AEGP_PluginID plugin_id, AEGP_LayerH layer, const A_Time& comp_time);
    virtual ~Light() = default;
    Light(const Light&) = delete;
    Light& operator=(const Light&) = delete;

    // The local position through layer-to-world, w = 1.
    std::array<float, 4> world_position() const;

    uint32_t light_type = AEGP_LightType_POINT;  // the host's code
    double color[4] = {1.0, 1.0, 1.0, 1.0};      // alpha, red, green, blue
    double intensity = 100.0;                    // percent
    double shadow_diffusion = 0.0;
    double shadow_darkness = 1.0;  // 0..1 and beyond
    double local_position[3] = {0.0, 0.0, 0.0};
    double unused[6] = {0.0, 0.0, 1.0, 1.0, 0.0, 0.0};
    double cone_angle = 90.0;    // degrees
    double cone_feather = 50.0;  // percent
    uint8_t casts_shadows = 0;
    Matrix4d layer_to_world;
    Matrix4d world_to_layer;
};

class AELightAdaptor final : public ILight {
public:
    explicit AELightAdaptor(const Light& light);

    int type() const override { return type_; }
    const Matrix4d* transform() const override { return &transform_; }
    const Matrix4d* inverse_transform() const override { return &inverse_transform_; }
    const float* position() const override { return position_; }
    const float* specular_color() const override { return specular_; }
    const float* diffuse_color() const override { return diffuse_; }
    const float* ambient_color() const override { return ambient_; }
    double outer_cutoff_angle() const override { return outer_cutoff_; }
    double inner_cutoff_angle() const override { return inner_cutoff_; }
    float shadow_density() const override { return shadow_density_; }
    double shadow_diffusion() const override { return shadow_diffusion_; }

private:
    int32_t type_;
    Matrix4d transform_;
    Matrix4d inverse_transform_;
    float position_[4];
    float specular_[4];
    float diffuse_[4];
    float ambient_[4];
    double outer_cutoff_;
    double inner_cutoff_;
    float shadow_density_;
    double shadow_diffusion_;
};

class AELightArray {
public:
    // The lights of the effect's composition at the effect's comp time.
    AELightArray(const PF_InData* in_data, AEGP_PluginID plugin_id);
    virtual ~AELightArray() = default;

    // Every light layer whose video is on, in layer index order. More than
    // max_light_count() lights throw PluginError.
    void collect_lights(HostSuites& suites, AEGP_CompH comp, const A_Time& comp_time);

    const std::vector<std::shared_ptr<Light>>& lights() const { return lights_; }

private:
    AEGP_PluginID plugin_id_;
    std::vector<std::shared_ptr<Light>> lights_;
};

class AELightCollectionAdaptor final : public ILightCollection {
public:
    AELightCollectionAdaptor(const AELightArray& lights, double min_light_grazing_angle,
                             double light_object_min_distance);

    uint64_t count() const override { return lights_.size(); }
    const ILight* light(uint64_t index) const override { return lights_.at(size_t(index)).get(); }
    double min_light_grazing_angle() const override { return min_light_grazing_angle_; }
    double light_object_min_distance() const override { return light_object_min_distance_; }

private:
    std::vector<std::shared_ptr<ILight>> lights_;
    double min_light_grazing_angle_;
    double light_object_min_distance_;
};

}  // namespace tavrel
