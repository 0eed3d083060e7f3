// How the effect answers parameter changes and interface refreshes: the grid
// parameter, the instance's working grid and the control-point sliders kept
// in step, and controls enabled to match.
#pragma once

#include <cstdint>
#include <optional>

#include "hostapi/host_param_suites.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

struct SequenceData;

// The default of every point slider; a slider at this value was reset.
inline constexpr double kPointSliderReset = 0.000143;
inline constexpr double kPointSliderResetTolerance = 1e-6;
// A slider matching the point's coordinate this closely moves nothing.
inline constexpr float kPointSliderMatchTolerance = 1e-6f;

// Handler of PF_Cmd_USER_CHANGED_PARAM; extra is a PF_UserChangedParamExtra.
PF_Err user_changed_param(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output, void* extra);
// Handler of PF_Cmd_UPDATE_PARAMS_UI.
PF_Err update_param_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                       PF_LayerDef* output, void* extra);

// The frame the sliders' pixels refer to: the instance's measured frame, or,
// before anything measured it, the layer size the host reports. Empty while
// neither is known, so that no caller can divide by it.
std::optional<TSize2D> reaction_frame_size(const SequenceData& data, const PF_InData* in_data);

// Writes the position of point (row, col) into its three sliders in pixels
// and marks them changed; nothing for a point outside the first five rows and
// columns or for a frame without a size. The custom interface binds this as
// the change callback of a drag, so its signature stays as it is.
void write_point_to_params(PF_ParamDef* params[], const TSize2D& frame_size, int row, int col,
                           const LX_Cp& point);
// Every point of grid that has sliders.
void write_grid_to_point_params(PF_ParamDef* params[], const TSize2D& frame_size,
                                const ControlPointGrid& grid);

// Applies a change of slider `index` to the grid parameter's grid and the
// working grid. Only a slider of a point the grid has can move anything.
void apply_point_param_change(PF_ParamDef* params[], const TSize2D& frame_size,
                              ControlPointGrid& grid, ControlPointGrid& working, int32_t index);
// Moves point (row, col) of grid along the axes of mode (1 x, 2 y, 3 z, else
// all) to the slider values (dx, dy, dz) in pixels, copies the grid into the
// working grid and marks the grid parameter changed.
void move_grid_point_by_param(PF_ParamDef* params[], const TSize2D& frame_size,
                              ControlPointGrid& grid, ControlPointGrid& working, int row, int col,
                              int mode, double dx, double dy, double dz);
// Takes the keyframed point sliders' values at the current time into grid;
// axes without keyframes keep the grid's coordinate.
void read_point_params_into_grid(const PF_InData* in_data, uint32_t plugin_id, PF_ParamDef* params[],
                                 const TSize2D& frame_size, ControlPointGrid& grid);

// The host's interface update of one parameter; a failure throws
// PFErrException with the host's code.
void update_one_param_ui(const PF_ParamUtilsSuite1& suite, PF_ProgPtr effect_ref, int32_t index,
                         const PF_ParamDef& def);

}  // namespace tavrel
