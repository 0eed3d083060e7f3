#include "surface/host/generator_instancing_settings.h"

#include <array>

#include "surface/host/param_values.h"

namespace tavrel {

namespace {

constexpr std::array<uint32_t, 3> kDistributionCodes = {0, 1, 2};
constexpr std::array<uint32_t, 2> kModelKinds = {0, 1};

// The entry at (choice - 1), or the first for a choice outside the table.
template <std::size_t N>
uint32_t lookup_choice(const std::array<uint32_t, N>& table, int32_t popup) {
    if (popup < 1 || popup > static_cast<int32_t>(N)) return table[0];
    return table[static_cast<std::size_t>(popup - 1)];
}

}  // namespace

Vec3d read_vector_param(PF_ParamDef* const params[], int32_t index, VectorParamKind kind) {
    if (kind == VectorParamKind::angle) {
        return Vec3d(angle_param(params, index), angle_param(params, index + kAxisY),
                     angle_param(params, index + kAxisZ));
    }
    return Vec3d(float_param(params, index), float_param(params, index + kAxisY), float_param(params, index + kAxisZ));
}

Vec3d scale_vector(const Vec3d& v, double factor) { return Vec3d(v.x * factor, v.y * factor, v.z * factor); }

uint32_t spatial_distribution_from_popup(int32_t popup) { return lookup_choice(kDistributionCodes, popup); }

uint32_t random_model_from_popup(int32_t popup) { return lookup_choice(kModelKinds, popup); }

AEGeneratorInstancingParams::AEGeneratorInstancingParams(PF_ParamDef* const params[], int32_t base)
    : instance_count_(0),
      opacity_(0.0),
      spatial_distribution_(0),
      random_generator_(random_model_from_popup(popup_param(params, base + kRandomModel)),
                        static_cast<uint32_t>(slider_param(params, base + kRandomSeed))),
      base_(base) {
    const int32_t count = slider_param(params, base + kInstances);
    instance_count_ = count < 0 ? 0u : static_cast<uint32_t>(count);
    opacity_ = float_param(params, base + kOpacity) * 0.01;
    spatial_distribution_ = spatial_distribution_from_popup(popup_param(params, base + kSpatialDistribution));
    spiral_rotation_ = read_vector_param(params, base + kSpiralRotation, VectorParamKind::angle);
    uniform_scale_ = scale_vector(read_vector_param(params, base + kUniformScale), 0.01);
    // The children draw their seeds from the instance's generator in this
    // order, so it decides every randomised instance's values.
    instance_offset_ = make_randomized_vector(params, base + kInstanceOffset, VectorParamKind::float_slider,
                                              base + kRandomizeOffset, 100.0);
    incremental_rotation_ = make_randomized_vector(params, base + kIncrementalRotation, VectorParamKind::angle,
                                                   base + kRandomizeRotations, 180.0);
    incremental_scale_ = make_randomized_vector(params, base + kIncrementalScale, VectorParamKind::float_slider,
                                                base + kRandomizeScale, 0.1);
    incremental_scale_.value = scale_vector(incremental_scale_.value, 0.01);
}

RandomizedVector AEGeneratorInstancingParams::make_randomized_vector(PF_ParamDef* const params[],
                                                                     int32_t value_index, VectorParamKind kind,
                                                                     int32_t switch_index,
                                                                     double amplitude_scale) {
    RandomizedVector v;
    v.value = read_vector_param(params, value_index, kind);
    const bool randomised = checkbox_param(params, switch_index) || checkbox_param(params, base_ + kRandomizeAll);
    if (randomised) {
        v.set_generator(
            std::make_shared<RandomNumberGenerator>(RandomNumberGenerator::child(random_generator_, 0)));
    }
    v.amplitude = amplitude_scale * float_param(params, base_ + kRandomAmplitude);
    return v;
}

}  // namespace tavrel
