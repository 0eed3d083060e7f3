// What tells the two effects apart where they share code: their names and
// parameter counts, the indices the shared handlers read, and the settings
// in which their common parameter groups differ.
#pragma once

#include <cstdint>
#include <memory>

#include "hostapi/host_effect.h"
#include "surface/frame/render_param_indices.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

class ControlPointGrid;
class IDeformationCollection;

// Takes keyed point sliders into the grid before a frame (the first
// effect's sliders measured against frame_size).
using PointSliderReader = void (*)(const PF_InData* in_data, uint32_t plugin_id, PF_ParamDef* params[],
                                   const TSize2D& frame_size, ControlPointGrid& grid);
// The frame's deformation region from the parameters and the composition's
// width and height.
using DeformationMaker = std::shared_ptr<IDeformationCollection> (*)(PF_ParamDef* const params[],
                                                                      int32_t comp_width, int32_t comp_height);

// How an effect declares the groups both effects have.
struct ParamDialect {
    // Added to every disk id of 1255 and above.
    int32_t disk_id_shift = 0;
    // The "Grid" group start and "Mesh Distortion" are hidden.
    bool grid_hidden = false;
    // "Displacement Height" runs from 0 instead of from -10000.
    bool displacement_height_nonnegative = false;
    int32_t polygonal_alpha_clip_default = 0;
    double pre_blur_default = 0.0;
    // "Soften Layer Edge" closes the "Contour" group.
    bool soften_layer_edge = false;
    int32_t adaptive_default = 0;
};

struct EffectDescription {
    // The registration and preference name.
    const char* name;
    // Including the input layer at index 0.
    int32_t parameter_count;
    // "Rows", "Columns" and the grid's arbitrary data ("Mesh Distortion").
    int32_t rows_param;
    int32_t columns_param;
    int32_t grid_param;
    ParamDialect dialect;
    // Where the render road reads its parameters.
    RenderParamIndices render_indices{};
    // 1: the surface is rendered extruded (front, back and walls) with the
    // front texture on both sides.
    uint8_t back_face = 0;
    // Null where the effect has no point sliders.
    PointSliderReader read_point_sliders = nullptr;
    // Null where the effect has no deformation region: the engine then
    // deforms nothing.
    DeformationMaker make_deformation = nullptr;
};

}  // namespace tavrel
