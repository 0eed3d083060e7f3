// The "Generator" group's settings as the instancing root reads them, made
// once per frame on the host thread from the frame's checked-out values.
// Offsets, incremental rotations and incremental scales may be randomised:
// each then carries a generator of its own, a child of the instance's
// generator, from which the instances draw their variations.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/random_number_generator.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "hostapi/host_effect.h"

namespace tavrel {

// How the three parameters of a vector keep their values.
enum class VectorParamKind {
    float_slider,  // doubles
    angle,         // 16.16 fixed-point degrees
};

// Parameters index, index + 1 and index + 2 as one vector.
Vec3d read_vector_param(PF_ParamDef* const params[], int32_t index,
                        VectorParamKind kind = VectorParamKind::float_slider);

Vec3d scale_vector(const Vec3d& v, double factor);

// "Spatial Distribution" (1 "Behind Master", 2 "In Front of Master",
// 3 "Distribute Equally From Center") as the distribution code 0, 1 or 2.
// Any other choice, such as the 0 a new instance starts with, is the first.
uint32_t spatial_distribution_from_popup(int32_t popup);

// "Random Statistical Model" (1 "Normal", 2 "Uniform") as the generator's
// kind 0 or 1; any other choice is the first. "Normal" is a name only: kind
// 0 draws uniformly from [0, 1), which stored projects' renders depend on.
uint32_t random_model_from_popup(int32_t popup);

class AEGeneratorInstancingParams final : public IGeneratorInstancingParams {
public:
    // The group's parameters from "Instances" at `base` on, laid out as the
    // offsets below. A missing parameter throws std::invalid_argument.
    AEGeneratorInstancingParams(PF_ParamDef* const params[], int32_t base);

    uint32_t instance_count() const override { return instance_count_; }
    uint32_t spatial_distribution() const override { return spatial_distribution_; }
    RandomizedVector instance_offset() const override { return instance_offset_; }
    Vec3d spiral_rotation() const override { return spiral_rotation_; }
    RandomizedVector incremental_rotation() const override { return incremental_rotation_; }
    Vec3d uniform_scale() const override { return uniform_scale_; }
    RandomizedVector incremental_scale() const override { return incremental_scale_; }
    double opacity() const override { return opacity_; }

    // The instance's generator after the vectors' generators were made.
    const RandomNumberGenerator& random_generator() const { return random_generator_; }

    // Offsets of the group's parameters from "Instances".
    enum Offset : int32_t {
        kInstances = 0,
        kOpacity = 1,
        kSpatialDistribution = 2,
        kInstanceOffset = 3,
        kSpiralRotation = 7,
        kIncrementalRotation = 10,
        kUniformScale = 15,
        kIncrementalScale = 18,
        kRandomModel = 23,
        kRandomSeed = 24,
        kRandomAmplitude = 25,
        kRandomizeAll = 26,
        kRandomizeOffset = 27,
        kRandomizeRotations = 28,
        kRandomizeScale = 29,
    };

private:
    RandomizedVector make_randomized_vector(PF_ParamDef* const params[], int32_t value_index, VectorParamKind kind,
                                            int32_t switch_index, double amplitude_scale);

    uint32_t instance_count_;
    double opacity_;
    uint32_t spatial_distribution_;
    RandomNumberGenerator random_generator_;
    RandomizedVector instance_offset_;
    Vec3d spiral_rotation_;
    RandomizedVector incremental_rotation_;
    Vec3d uniform_scale_;
    RandomizedVector incremental_scale_;
    int32_t base_;
};

}  // namespace tavrel
