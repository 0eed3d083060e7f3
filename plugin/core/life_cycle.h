// The global and sequence life cycle: what lives in the host's global and
// sequence handles, and the handlers that make and destroy it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "hostapi/host_effect.h"
#include "plugin/core/effect_description.h"

namespace tavrel {

struct SequenceData;
class GlEngine;
class LattixTriangleMesh;

inline constexpr const char kMPCompatibilitySection[] = "EffectsCompatability -- Effect MP Compatible 6";

// The global set-up of the effect described: registration and preference
// under its name, its parameter count in the global record.
PF_Err global_setup(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data);
PF_Err global_setdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* output, void* extra);
PF_Err sequence_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* output, void* extra);
PF_Err sequence_resetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output, void* extra);
PF_Err sequence_setdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output, void* extra);
PF_Err frame_setdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                     PF_LayerDef* output, void* extra);

// The plug-in id the host gives for name. A missing suite throws the bare
// long 516, a host error PFErrException.
uint32_t register_with_aegp(const PF_InData* in_data, const char* name);
// Stores 0 under the effect's name in the host's multi-processing
// compatibility preferences.
void set_mp_compatibility(const PF_InData* in_data, const char* name);

// The render command that destroys an instance's state on the rendering
// thread, where its GPU objects may be released.
struct LXGlobalGLCleanUp {
    SequenceData* data;
    void operator()(GlEngine&) const { destroy(); }
    void destroy() const;
};

inline constexpr const char kOutOfMemory[] = "Out of memory.";

// Makes an instance's triangle mesh; the sequence set-up uses the plain
// constructor (an empty maker).
using TriangleMeshMaker = std::function<std::shared_ptr<LattixTriangleMesh>()>;

// Replaces the maker that an empty maker stands for, process-wide, and
// returns the previous one; an empty maker restores the plain constructor.
// Tests use it to run the instance out of memory.
TriangleMeshMaker set_triangle_mesh_maker(TriangleMeshMaker make);

// Stores a new triangle mesh in the record. A maker that gives nothing or
// runs out of memory throws std::runtime_error "Out of memory." and leaves
// the record's mesh slot as it was.
void attach_triangle_mesh(SequenceData& data, const TriangleMeshMaker& make = TriangleMeshMaker());
// A frame of an instance whose set-up ran out of memory has no mesh yet: it
// is made now, or the frame fails with "Out of memory." as the set-up did.
void require_triangle_mesh(SequenceData& data);

// Sequence records constructed by this library and not yet destroyed.
bool is_live_sequence_data(const SequenceData* data);

}  // namespace tavrel
