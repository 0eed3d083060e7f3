// Host services on pixel worlds: the world suite, effect-world records over
// the engine's pixels, the world transform copy, the fill matte and the info
// panel text.
#pragma once

#include "engine/interfaces/array_accessor.h"
#include "hostapi/host_effect.h"
#include "hostapi/host_world_suites.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {

// The "AEGP World Suite", acquired on first use by the holder.
SuiteHolder<AEGP_WorldSuite3> acquire_world_suite(const SPBasicSuite* basic);

// *out = value and 0; a null out-parameter gives PF_Err_BAD_CALLBACK_PARAM.
template <class T>
PF_Err store_pointer(T** out, T* value) {
    if (out == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *out = value;
    return PF_Err_NONE;
}

// A zeroed record with the accessor's row bytes, size and pixels. A size the
// record cannot hold throws std::out_of_range.
void make_world_record(PF_EffectWorld& out, const I2dArrayAccessor& accessor);

// Copies the source rectangle into the destination rectangle one to one (a
// null rectangle is the whole world); the host takes the depth from the
// destination.
void transform_world(const PF_InData* in_data, PF_EffectWorld* source, PF_EffectWorld* destination,
                     bool high_quality, const PF_Rect* source_rect = nullptr,
                     const PF_Rect* destination_rect = nullptr);

// Where a rendered frame meets the output world. The frame covers `frame` in
// layer pixels; the output world's pixel (0, 0) is the layer pixel at its
// origin. `source` is the shared part in the frame's pixels, `destination`
// the same part in the output's; `covers` says whether it is the whole output.
struct OutputWindow {
    bool empty = true;
    bool covers = false;
    PF_Rect source{};
    PF_Rect destination{};
};
OutputWindow output_window(const PF_LRect& frame, const PF_EffectWorld& output);

// Clears the whole world to transparent black.
void fill_matte(const PF_InData* in_data, PF_EffectWorld* world);

// The two lines of the host's info panel.
void set_effect_status_text(const PF_InData* in_data, const char* line1, const char* line2);

}  // namespace tavrel
