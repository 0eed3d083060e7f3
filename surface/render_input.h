// The per-frame inputs that the frame set-up on the host thread hands to the
// rendering thread. Only the fields the mesh pipeline reads are here so far;
// the frame render adds the rest. Never persisted.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/array_accessor.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "engine/interfaces/displacement_settings.h"

namespace tavrel {

struct SequenceData;
class ControlPointGrid;
class LattixTriangleMesh;

struct RenderInput {
    SequenceData* sequence_data = nullptr;
    ControlPointGrid* grid = nullptr;
    uint8_t flags[6] = {0, 0, 0, 0, 0, 0};
    uint8_t flag_one = 1;
    float values[4] = {0.0f, 0.0f, 0.0f, 0.5f};
    std::shared_ptr<IGeneratorInstancingParams> generator;
    int32_t pixel_depth_class = 0;

    // Written by the mesh pipeline's set-up on the rendering thread.
    LattixTriangleMesh* triangle_mesh = nullptr;
    int32_t render_mode = 1;  // 0 wireframe, 1 full render, 2 depth
    DisplacementSettings displacement;
    // 1 the surface shows a back side, 2 it is extruded to a thickness, 0 neither.
    int32_t surface_sides = 0;
};

struct TimeVariableParameters {
    int32_t comp_size[2] = {0, 0};
    SequenceData* sequence_data = nullptr;
    std::shared_ptr<I2dArrayAccessor> source;
    std::shared_ptr<I2dArrayAccessor> backside;
    std::shared_ptr<I2dArrayAccessor> reflection;
    std::shared_ptr<I2dArrayAccessor> displacement;
    std::shared_ptr<RenderInput> render_input;
    std::shared_ptr<IDeformationCollection> deformation;
    uint8_t reserved_flag = 0;
    uint8_t soften_layer_edge = 1;
};

}  // namespace tavrel
