// The host-thread half of a frame: every parameter checked out, the frame's
// inputs gathered from the host into one record, four commands posted to the
// rendering thread (mesh set-up, material, the render itself, the release of
// the read-back buffer), the statistics in the info panel and the image
// copied into the host's output world.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/array_accessor.h"
#include "engine/interfaces/material.h"
#include "hostapi/host_effect.h"
#include "hostapi/host_smart_render.h"
#include "plugin/core/effect_description.h"
#include "surface/frame/frame_values.h"

namespace tavrel {

class GlEngine;
class IAbort;
class RenderThread;
struct TimeVariableParameters;

// The frame of the effect described; its parameters are read through the
// description's index table.
PF_Err smart_render(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

// The frame with its output and input worlds checked out; input is null when
// the host has no pixels for the layer. Any failure once the output is known
// clears the output to transparent black before it leaves, so that the host
// never shows what its buffer held before.
PF_Err render_frame(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_EffectWorld* output, PF_EffectWorld* input);

// Checks out parameters 0 to count - 1, writes the instance's per-frame
// values, builds or refreshes its GPU mesh and sets the material on the
// rendering thread, and gathers the frame's record.
std::shared_ptr<TimeVariableParameters> render_frame_setup(const EffectDescription& effect, RenderThread& thread,
                                                           const IAbort& abort,
                                                           PF_InData* in_data, PF_EffectWorld* input,
                                                           const A_Time& comp_time, int32_t count);

// The instance's per-frame values: render settings and working grid (with the
// keyed point sliders and the automatic tangents), the composition camera,
// the layer's transform and the camera matrices, the centring offset.
PF_Err prepare_time_variable_parameters(const EffectDescription& effect, PF_InData* in_data,
                                        PF_ParamDef* params[], PF_EffectWorld* input, const A_Time& comp_time);

// What the host reports of the composition and its camera at comp time. A
// failing camera query reads as no camera: the composition's default view.
CompCameraReading read_comp_camera(const PF_InData* in_data, uint32_t plugin_id, const A_Time& comp_time);

// 0, 1 or 2 for pixels of 8, 16 or 32 bits per channel.
int32_t pixel_depth_class(const I2dArrayAccessor& accessor);

// Puts the layer's material into the rendering thread's fixed-function
// state, where the mesh's passes read it.
struct SetMaterialFct {
    std::shared_ptr<IMaterial> material;
    void operator()(GlEngine& engine) const;
};

// Lets the read-back image go on the rendering thread: its pixel buffer is
// unmapped and returned to its pool there.
struct PBOCleanUp {
    std::shared_ptr<I2dArrayAccessor>* holder;
    void operator()(GlEngine&) const { holder->reset(); }
};

}  // namespace tavrel
