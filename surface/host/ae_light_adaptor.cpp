#include "surface/host/ae_light_adaptor.h"

#include <algorithm>
#include <string>

#include "engine/interfaces/ambient_light.h"
#include "hostaccess/plugin_errors.h"
#include "surface/host/host_geometry.h"
#include "surface/host/host_streams.h"

namespace tavrel {
namespace {

int engine_light_type(uint32_t host_type) {
    switch (host_type) {
        case AEGP_LightType_PARALLEL: return kParallelLight;
        case AEGP_LightType_SPOT: return kSpotLight;
        case AEGP_LightType_AMBIENT: return kAmbientLight;
        default: return kPointLight;
    }
}

}  // namespace

Light::Light(HostSuites& suites, AEGP_PluginID plugin_id, AEGP_LayerH layer, const A_Time& comp_time) {
    AEGP_LightType type = AEGP_LightType_POINT;
    check_pf_err(suites.light_suite().AEGP_GetLightType(layer, &type));
    light_type = uint32_t(type);
    auto read = [&](AEGP_LayerStream which) { return read_layer_stream(suites, plugin_id, layer, which, comp_time); };
    const AEGP_ColorVal c = read(AEGP_LayerStream_COLOR).color;
    color[0] = c.alpha;
    color[1] = c.red;
    color[2] = c.green;
    color[3] = c.blue;
    intensity = read(AEGP_LayerStream_INTENSITY).one_d;
    shadow_diffusion = read(AEGP_LayerStream_SHADOW_DIFFUSION).one_d;
    shadow_darkness = read(AEGP_LayerStream_SHADOW_DARKNESS).one_d * 0.01;
    cone_angle = read(AEGP_LayerStream_CONE_ANGLE).one_d;
    cone_feather = read(AEGP_LayerStream_CONE_FEATHER).one_d;
    casts_shadows = read(AEGP_LayerStream_CASTS_SHADOWS).one_d != 0.0 ? 1 : 0;
    A_Matrix4 m{};
    check_pf_err(suites.layer_suite().AEGP_GetLayerToWorldXform(layer, &comp_time, &m));
    layer_to_world = matrix_from_host(m);
    invert_matrix(layer_to_world, world_to_layer);
}

std::array<float, 4> Light::world_position() const {
    const auto p = layer_to_world.transform(local_position[0], local_position[1], local_position[2]);
    return {float(p[0]), float(p[1]), float(p[2]), 1.0f};
}

AELightAdaptor::AELightAdaptor(const Light& light)
    : type_(engine_light_type(light.light_type)),
      outer_cutoff_(light.cone_angle * 0.5),
      inner_cutoff_((100.0 - light.cone_feather) * light.cone_angle / 100.0 * 0.5),
      shadow_density_(light.casts_shadows ? float(std::clamp(light.shadow_darkness, 0.0, 1.0)) : 0.0f),
      shadow_diffusion_(light.shadow_diffusion) {
    const std::array<float, 4> p = light.world_position();
    std::copy(p.begin(), p.end(), position_);
    // The same z flip as the camera's: the host's third column negated.
    transform_ = light.world_to_layer;
    for (int i : {2, 6, 10, 14}) transform_[i] = -transform_[i];
    invert_matrix(transform_, inverse_transform_);
    const double k = light.intensity / 100.0;
    const float lit[4] = {float(light.color[1] * k), float(light.color[2] * k), float(light.color[3] * k), 1.0f};
    const float dark[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const bool ambient = type_ == kAmbientLight;
    std::copy(lit, lit + 4, specular_);
    std::copy(ambient ? dark : lit, (ambient ? dark : lit) + 4, diffuse_);
    std::copy(ambient ? lit : dark, (ambient ? lit : dark) + 4, ambient_);
}

AELightArray::AELightArray(const PF_InData* in_data, AEGP_PluginID plugin_id) : plugin_id_(plugin_id) {
    HostSuites suites(in_data);
    const A_Time comp_time = effect_to_comp_time(suites, in_data);
    collect_lights(suites, get_effect_comp(suites, in_data), comp_time);
}

void AELightArray::collect_lights(HostSuites& suites, AEGP_CompH comp, const A_Time& comp_time) {
    A_long count = 0;
    check_pf_err(suites.comp_suite().AEGP_GetCompNumLayers(comp, &count));
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH layer = nullptr;
        check_pf_err(suites.comp_suite().AEGP_GetCompLayerByIndex(comp, i, &layer));
        AEGP_ObjectType type = AEGP_ObjectType_AV;
        check_pf_err(suites.layer_suite().AEGP_GetLayerObjectType(layer, &type));
        if (type != AEGP_ObjectType_LIGHT) continue;
        A_Boolean on = 0;
        check_pf_err(suites.layer_suite().AEGP_IsLayerVideoReallyOn(layer, &on));
        if (on) lights_.push_back(std::make_shared<Light>(suites, plugin_id_, layer, comp_time));
    }
    if (lights_.size() > max_light_count())
        throw PluginError("Plugin error (AELightArray:" + std::to_string(__LINE__) +
                          "): Too many lights: maximum light count is " + std::to_string(max_light_count()));
}

AELightCollectionAdaptor::AELightCollectionAdaptor(const AELightArray& lights, double min_light_grazing_angle,
                                                   double light_object_min_distance)
    : min_light_grazing_angle_(min_light_grazing_angle), light_object_min_distance_(light_object_min_distance) {
    for (const auto& l : lights.lights()) lights_.push_back(std::make_shared<AELightAdaptor>(*l));
    if (lights_.empty()) lights_.push_back(std::make_shared<AmbientLight>());
}

}  // namespace tavrel
