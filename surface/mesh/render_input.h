// The per-frame inputs that the frame set-up on the host thread hands to the
// rendering thread. Never persisted: raw pointers into the locked instance
// state are safe for as long as the frame holds its locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "engine/core/modeling_transform.h"
#include "engine/interfaces/array_accessor.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "surface/mesh/render_settings.h"

namespace tavrel {

struct SequenceData;
class ControlPointGrid;
class LattixTriangleMesh;
class ShaderParameters;
class ScopedCheckoutAll;

struct RenderInput {
    // The flag byte that asks for the untextured surface (white, where no
    // back-face texture is given).
    static constexpr std::size_t kUntexturedFlag = 0;

    SequenceData* sequence_data = nullptr;
    ControlPointGrid* grid = nullptr;
    uint8_t flags[6] = {0, 0, 0, 0, 0, 0};
    uint8_t flag_one = 1;
    float values[4] = {0.0f, 0.0f, 0.0f, 0.5f};
    std::shared_ptr<IGeneratorInstancingParams> generator;
    int32_t pixel_depth_class = 0;  // 0, 1, 2: 8, 16, 32 bits per channel

    // Written by the mesh pipeline's set-up on the rendering thread, for the
    // mesh update and the renderer chain that follow it in the same frame.
    LattixTriangleMesh* triangle_mesh = nullptr;
    // A RenderSettings render mode.
    int32_t render_mode = RenderSettings::kFullRender;
    DisplacementSettings displacement;
};

struct ValueAndFlag {
    float value = 0.0f;
    uint8_t flag = 0;
};

// Everything one frame renders from, built once per frame on the host thread
// and read on the rendering thread while the host thread waits.
struct TimeVariableParameters {
    std::shared_ptr<IVirtualCameraParameters> camera;
    std::shared_ptr<ILightCollection> lights;
    int32_t comp_size[2] = {0, 0};
    SequenceData* sequence_data = nullptr;
    std::shared_ptr<I2dArrayAccessor> source;
    std::shared_ptr<I2dArrayAccessor> backside;
    std::shared_ptr<I2dArrayAccessor> reflection;
    std::shared_ptr<I2dArrayAccessor> displacement;
    std::shared_ptr<RenderInput> render_input;
    uint64_t multisample_level = 0;
    uint64_t accumulation_level = 0;
    // Lens samples (the views of a depth of field); this effect passes 0.
    uint64_t lens_level = 0;
    uint64_t reserved_count = 0;
    // The material's metal value with "Disable Alpha Decal".
    ValueAndFlag metal_and_decal;
    uint32_t environment_map_mode = 0;  // 0 spherical, 1 cubic, 2 equirectangular
    float reflectivity = 0.0f;
    // Empty: transparency disabled; -1: all layers.
    std::optional<int32_t> transparency_layers;
    // A copy: the instance's own may change while the frame renders.
    std::shared_ptr<ModelingTransform> modeling_transform;
    // The deformation region; empty where the effect has none.
    std::shared_ptr<IDeformationCollection> deformation;
    std::shared_ptr<ShaderParameters> shader_parameters;
    // Keeps the parameters checked out while the frame's values point into them.
    std::shared_ptr<ScopedCheckoutAll> parameter_checkout;
    uint8_t reserved_flag = 0;
    // With the back-face flag it chooses the wrap mode of the layer texture.
    uint8_t soften_layer_edge = 1;
};

}  // namespace tavrel
