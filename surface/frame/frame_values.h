// Values the frame render derives on the host thread from the checked-out
// parameters, the host's frame description and the composition camera: the
// instance's render settings, the shading words, the layer's transform, the
// composition camera matrix, the antialiasing levels and the statistics
// texts. None of them touches OpenGL.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/matrix4d.h"
#include "engine/core/modeling_transform.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "hostapi/host_effect.h"
#include "surface/frame/render_param_indices.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

struct SequenceData;
class ControlPointGrid;
class ShaderParameters;

// Writes the frame's render settings into the instance state from the
// parameters, the host's frame description and the input world (null or
// without pixels: the frame size and origin stay as they were), and copies
// the grid (when given) into the state's working grid, recomputing its
// tangents when "Enable" is on. Returns 516 for a null instance state or a
// downsample factor with a zero term; 0 otherwise.
PF_Err build_time_variable_parameters(const PF_InData* in_data, PF_ParamDef* params[], SequenceData* sequence_data,
                                      const ControlPointGrid* grid, const PF_EffectWorld* input_world,
                                      const RenderParamIndices& at);

// How far from the layer's centre, in the frame's pixels along any axis, a
// handle the surface is built from may lie: as far as a scene places
// anything. Every slider, drag and saved grid the effect makes stays far
// inside it; beyond it a crafted grid's single-precision surface first
// breaks apart and then, near the float range, leaves the frame empty.
inline constexpr double kGridReachPixels = 1e7;

// Throws PluginError for the first handle of the grid's control net (each
// point's position, and each tangent that points into a cell) beyond that
// reach, measured as the point sliders measure: x and z by half the frame's
// width, y by half its height: "Grid point R2-P3 is at x = 3.2e+10 pixels;
// a grid point may lie at most 10000000 pixels from the layer's centre along
// each axis.", a tangent as "The +x tangent of grid point R2-P3 is at ...".
// Nothing is checked for a frame without a size.
void check_grid_within_reach(const ControlPointGrid& grid, TSize2D frame_size);

// The input world's size at full resolution (divided by the downsample
// factors, truncated); `fallback` when the world is null or has no pixels.
TSize2D input_frame_size(const PF_InData* in_data, const PF_EffectWorld* input_world, TSize2D fallback);

struct AntialiasingLevels {
    uint64_t multisample;
    uint64_t accumulation;
};

// The levels of the "Antialiasing" choice: None, Low, Medium, High, Very
// High, Ultra High. A value outside 1..6 takes the first row.
AntialiasingLevels antialiasing_levels(int32_t choice);

// "3D Transparency": Disabled gives nothing, then 2, 4 and -1 (all layers).
// A value outside 1..4 takes the first row.
std::optional<int32_t> transparency_layers(int32_t choice);

// "Mapping": Spherical 0, Cubic 1, Equirectangular 2; outside 1..3, 0.
uint32_t environment_map_mode(int32_t choice);

// The material and atmosphere words of one frame. comp_size places the mist
// points, which the user gives relative to the composition's centre.
std::shared_ptr<ShaderParameters> make_shader_parameters(PF_ParamDef* params[], TSize2D comp_size,
                                                         const RenderParamIndices& at);

// The layer's 3D transform for the camera. layer_kind is the kind of the
// layer the effect is applied to (effect_layer_kind: text and shape layers
// are centred differently when "Tie to layer" is on). A zero denominator in
// the host's ratios throws PFErrException 516.
// layer_size is the layer's own full-resolution size where the host has
// one (layer_source_size). A downsampled layer's pixels start at its
// top-left corner, and its last column and row may reach past its right
// and bottom edges (a 1001-pixel layer at half resolution has 501 pixels,
// standing for 1002): the surface is built on those pixels, centred on
// their frame, so the frame's centre is moved back by half of what they
// reach past, to lie that far right of and below the layer's centre.
ModelingTransform make_modeling_transform(const PF_InData* in_data, PF_ParamDef* params[],
                                          const SequenceData& sequence_data, const IVirtualCameraParameters& camera,
                                          int layer_kind, const RenderParamIndices& at, TSize2D layer_size = {});

// What the host says about the composition and the effect's camera at comp
// time; a failed camera query is reported as no camera.
struct CompCameraReading {
    TSize2D comp_size;
    A_Ratio comp_pixel_aspect{1, 1};
    bool has_camera = false;
    Matrix4d layer_to_world;  // the camera layer's, as the host gives it
    double zoom = 0.0;        // the camera's zoom stream
};

// The composition camera matrix and zoom kept in the instance state, with
// the composition's size and pixel aspect ratio; before the first render
// (host frame width still 0) also the frame sizes and downsample factors.
void update_comp_camera_matrix(const PF_InData* in_data, SequenceData& sequence_data,
                               const CompCameraReading& reading);

// "12.34 K triangles" for 12,340.
std::string triangle_count_text(uint32_t triangles);
// "7 completed iterations".
std::string iteration_count_text(int32_t iterations);

}  // namespace tavrel
