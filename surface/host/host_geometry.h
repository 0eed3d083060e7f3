// Where the effect's layer sits in its composition, read from the host: comp
// time, the composition's size and pixel aspect ratio, the render size at
// the current downsampling, the output rectangle and the kind of the layer.
#pragma once

#include <array>
#include <cstdint>

#include "engine/core/matrix4d.h"
#include "engine/core/vec3.h"
#include "hostapi/host_effect.h"
#include "hostapi/host_scene_suites.h"
#include "hostaccess/suite_handler.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

// Host matrices hold row vectors with the translation in the fourth row.
// Read in the engine's column-major order, the same sixteen doubles are the
// same transform for column vectors, so they are taken over as they come.
Matrix4d matrix_from_host(const A_Matrix4& m);

// numerator / denominator of a scale or aspect, which is positive. A zero
// denominator or a numerator of zero or below is a host fault and throws
// PFErrException(PF_Err_BAD_CALLBACK_PARAM) rather than dividing by it or
// handing on a zero, negative or infinite factor.
double ratio_value(int32_t numerator, uint32_t denominator);

// A pixel position or size computed in doubles, rounded. A value that is not
// finite or lies beyond 2^30 pixels, where the conversion to an integer (or a
// position plus a size) would be undefined, throws PluginError "The WHAT is
// N pixels; ..." naming `what`. Whether a size fits a world is the caller's
// check.
int32_t checked_pixels(double value, const char* what);

// The effect's current time as comp time.
A_Time effect_to_comp_time(HostSuites& suites, const PF_InData* in_data);
A_Time effect_to_comp_time(const PF_InData* in_data);

AEGP_LayerH get_effect_layer(HostSuites& suites, const PF_InData* in_data);
AEGP_CompH get_effect_comp(HostSuites& suites, const PF_InData* in_data);

// The composition's size and its pixel aspect ratio, through the effect's
// layer and its parent composition.
TSize2D get_comp_dimensions(HostSuites& suites, const PF_InData* in_data);
TSize2D get_comp_dimensions(const PF_InData* in_data);
double comp_pixel_aspect_ratio(HostSuites& suites, const PF_InData* in_data);
A_Ratio comp_pixel_aspect(HostSuites& suites, const PF_InData* in_data);
double comp_pixel_aspect_ratio(const PF_InData* in_data);

// The pixel aspect ratio of the effect's layer, from in_data.
double layer_pixel_aspect(const PF_InData* in_data);

// The composition's size in the pixels of this render: the width also
// carries the comp's pixel aspect ratio against the layer's. Not rounded.
std::array<double, 2> downsampled_comp_size(const PF_InData* in_data);

// Refuses a frame whose downsample factors, layer pixel aspect or comp pixel
// aspect has a zero or negative term: PFErrException(PF_Err_BAD_CALLBACK_PARAM)
// before anything is computed from them.
void check_frame_ratios(const PF_InData* in_data);

// The translation row of the layer's layer-to-world matrix at comp time.
Vec3d query_layer_vector(HostSuites& suites, AEGP_LayerH layer, const A_Time& comp_time);

// The composition in this render's layer pixels, not rounded: where its
// left and top edges lie seen from the layer's origin, and its size
// (downsampled_comp_size). A downsampled pixel x stands for the layer's
// full-resolution pixels from x / downsample to (x + 1) / downsample: the
// two grids share the layer's top-left corner, as the host lays out the
// pixels of a downsampled layer and of the request and result rectangles.
struct CompExtent {
    double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
};
CompExtent comp_extent(const PF_InData* in_data);

// The whole-pixel rectangle of an extent: its left and top edges rounded,
// and its size rounded.
PF_LRect whole_pixel_rect(const CompExtent& extent);

// The full-resolution size of the effect layer's source item; empty
// (0 x 0) for a layer without one (text, shape).
TSize2D layer_source_size(const PF_InData* in_data);

// The output rectangle of a layer that fills the composition: the comp at
// this render's size, placed so the layer's origin is at (0, 0).
PF_LRect output_rect(const PF_InData* in_data);

// Kinds of the layer the effect is applied to.
enum EffectLayerKind : int {
    kSolidLayer = 0,
    kCompLayer = 1,
    kFootageLayer = 2,
    kTextLayer = 3,
    kShapeLayer = 4,
    kLightLayer = 5,
    kCameraLayer = 6,
    kOtherLayer = 7
};
int effect_layer_kind(const PF_InData* in_data);

}  // namespace tavrel
