#include "lattix_pro/param_reactions.h"

#include <algorithm>
#include <cmath>

#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"
#include "lattix_pro/lattix_pro_params.h"
#include "plugin/core/data_locks.h"
#include "plugin/params/grid_size_reactions.h"
#include "plugin/params/param_declare.h"
#include "plugin/params/param_ui_update.h"
#include "plugin/params/point_params.h"
#include "plugin/render/tie_to_layer.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {
namespace {

constexpr int32_t kFirstTransformParam = 22;  // 3D Transform positions and rotations
constexpr int32_t kLastTransformParam = 27;
constexpr int32_t kTangentTension = 10;
constexpr int32_t kColsMidpointsBias = 14;

void mark_changed(PF_ParamDef* def) { def->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE; }

bool has_size(const TSize2D& s) { return s.width > 0 && s.height > 0; }

// The rows and columns of grid that have sliders.
int slider_rows(const ControlPointGrid& grid) { return std::min(kPointParamRows, grid.rows() + 1); }
int slider_columns(const ControlPointGrid& grid) {
    return std::min(kPointParamColumns, grid.columns() + 1);
}

// Slider pixels to grid units and back; z is scaled like x.
float to_grid(double value, int32_t extent) { return 2.0f * float(value) / float(extent); }
float to_pixels(float coordinate, int32_t extent) { return 0.5f * float(extent) * coordinate; }
int32_t extent_of_axis(const TSize2D& s, int axis) { return axis == 1 ? s.height : s.width; }

float coordinate(const ControlHandle& h, int axis) { return axis == 0 ? h.x : axis == 1 ? h.y : h.z; }

}  // namespace

std::optional<TSize2D> reaction_frame_size(const SequenceData& data, const PF_InData* in_data) {
    if (has_size(data.render_settings.frame_size)) return data.render_settings.frame_size;
    if (in_data != nullptr) {
        const TSize2D layer{in_data->width, in_data->height};
        if (has_size(layer)) return layer;
    }
    return std::nullopt;
}

void write_point_to_params(PF_ParamDef* params[], const TSize2D& frame_size, int row, int col,
                           const LX_Cp& point) {
    if (row < 0 || row >= kPointParamRows || col < 0 || col >= kPointParamColumns) return;
    if (!has_size(frame_size)) return;
    const ControlHandle& p = point.handle(LX_Cp::kPosition);
    const auto indices = point_param_indices(row, col);
    for (int axis = 0; axis < 3; ++axis) {
        PF_ParamDef* def = params[indices[size_t(axis)]];
        def->u.fs_d.value = to_pixels(coordinate(p, axis), extent_of_axis(frame_size, axis));
        mark_changed(def);
    }
}

void write_grid_to_point_params(PF_ParamDef* params[], const TSize2D& frame_size,
                                const ControlPointGrid& grid) {
    for (int r = 0; r < slider_rows(grid); ++r)
        for (int c = 0; c < slider_columns(grid); ++c)
            write_point_to_params(params, frame_size, r, c, grid.point(grid.slot_index(r, c)));
}

void move_grid_point_by_param(PF_ParamDef* params[], const TSize2D& frame_size,
                              ControlPointGrid& grid, ControlPointGrid& working, int row, int col,
                              int mode, double dx, double dy, double dz) {
    if (!has_size(frame_size)) return;
    grid.set_handle_position(row, col, mode, LX_Cp::kPosition, true, to_grid(dx, frame_size.width),
                             to_grid(dy, frame_size.height), to_grid(dz, frame_size.width));
    working = grid;
    mark_changed(params[kParamMeshDistortion]);
}

void apply_point_param_change(PF_ParamDef* params[], const TSize2D& frame_size,
                              ControlPointGrid& grid, ControlPointGrid& working, int32_t index) {
    // Row-group starts and ends are no sliders, and a slider of a point
    // beyond the grid's rows or columns would land on another point's slot.
    const auto at = point_param_location(index);
    if (!at || at->row > grid.rows() || at->column > grid.columns()) return;
    if (!has_size(frame_size)) return;
    const double value = params[index]->u.fs_d.value;
    // A value no slider can show never reaches the grid.
    if (!std::isfinite(value)) return;

    if (std::fabs(value - kPointSliderReset) <= kPointSliderResetTolerance) {
        // A reset slider (the host resets every slider with the effect)
        // puts the whole grid back to its default shape.
        const ControlPointGrid fresh(grid.columns(), grid.rows());
        write_point_to_params(params, frame_size, at->row, at->column,
                              fresh.point(fresh.slot_index(at->row, at->column)));
        grid = fresh;
        working = fresh;
        mark_changed(params[kParamMeshDistortion]);
        return;
    }
    const ControlHandle& p = grid.point(grid.slot_index(at->row, at->column)).handle(LX_Cp::kPosition);
    const float target = to_grid(value, extent_of_axis(frame_size, at->axis));
    if (std::fabs(target - coordinate(p, at->axis)) <= kPointSliderMatchTolerance) return;
    double delta[3] = {0.0, 0.0, 0.0};
    delta[at->axis] = value;
    move_grid_point_by_param(params, frame_size, grid, working, at->row, at->column, at->axis + 1,
                             delta[0], delta[1], delta[2]);
}

void read_point_params_into_grid(const PF_InData* in_data, uint32_t plugin_id, PF_ParamDef* params[],
                                 const TSize2D& frame_size, ControlPointGrid& grid) {
    if (!has_size(frame_size)) return;
    for (int r = 0; r < slider_rows(grid); ++r) {
        for (int c = 0; c < slider_columns(grid); ++c) {
            const ControlHandle& p = grid.point(grid.slot_index(r, c)).handle(LX_Cp::kPosition);
            const auto indices = point_param_indices(r, c);
            float target[3];
            for (int axis = 0; axis < 3; ++axis) {
                const int32_t i = indices[size_t(axis)];
                const double value = params[i]->u.fs_d.value;
                target[axis] = is_param_time_varying(in_data, plugin_id, i) && std::isfinite(value)
                                   ? to_grid(value, extent_of_axis(frame_size, axis))
                                   : coordinate(p, axis);
            }
            grid.set_handle_position(r, c, 0, LX_Cp::kPosition, true, target[0], target[1], target[2]);
        }
    }
}

void update_one_param_ui(const PF_ParamUtilsSuite1& suite, PF_ProgPtr effect_ref, int32_t index,
                         const PF_ParamDef& def) {
    check_pf_err(suite.PF_UpdateParamUI(effect_ref, index, &def));
}

namespace {

// The first effect's own answers, after the shared ones: turning
// auto-tangents off keeps the grid's points as they are now, and a point
// slider moves its point; sliders still to be written from a new grid are
// written.
void react_to_own_change(const PF_InData* in_data, ParamChange& change) {
    PF_ParamDef** params = change.params;
    SequenceData& data = change.data;
    ControlPointGrid& grid = change.grid;
    const std::optional<TSize2D> frame = reaction_frame_size(data, in_data);
    const int32_t index = change.index;
    bool slider_change = false;
    if (index == kParamAutoTangentsEnable) {
        if (params[kParamAutoTangentsEnable]->u.bd.value == 0) {
            ControlPointGrid plain = data.grid;
            plain.copy_points(data.grid);
            data.grid = plain;
            grid = data.grid;
            mark_changed(params[kParamMeshDistortion]);
        }
    } else if (!change.shared) {
        // The 3D transform's positions and rotations need nothing here.
        slider_change = index < kFirstTransformParam || index > kLastTransformParam;
    }
    if (slider_change && frame && point_param_location(index)) {
        if (data.grid_change_pending) {
            // The sliders are still to be written from the grid: write them
            // now, but keep the value the user typed, which the change below
            // takes into the grid.
            const double typed = params[index]->u.fs_d.value;
            write_grid_to_point_params(params, *frame, grid);
            data.grid_change_pending = 0;
            params[index]->u.fs_d.value = typed;
        }
        apply_point_param_change(params, *frame, grid, data.grid, index);
    }
    if (data.grid_change_pending && frame) {
        write_grid_to_point_params(params, *frame, grid);
        data.grid_change_pending = 0;
    }
}

}  // namespace

PF_Err user_changed_param(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef*,
                          void* extra) {
    return react_to_param_change(lattix_pro_description(), in_data, params, extra, [&](ParamChange& change) {
        react_to_own_change(in_data, change);
    });
}

PF_Err update_param_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*,
                       void*) {
    return open_param_ui_update(in_data, out_data, params, kParamMeshDistortion, [&](SequenceData& data) {
        const ControlPointGrid& grid = data.grid;
        HostSuites suites(in_data);
        const PF_ParamUtilsSuite1& utils = suites.param_utils_suite();
        const bool tangents_on = params[kParamAutoTangentsEnable]->u.bd.value != 0;
        for (int32_t i = kTangentTension; i <= kColsMidpointsBias; ++i) {
            PF_ParamDef def = *params[i];
            if (tangents_on) {
                def.ui_flags &= ~PF_PUI_DISABLED;
            } else {
                def.ui_flags |= PF_PUI_DISABLED;
                def.flags |= PF_ParamFlag_COLLAPSE_TWIRLY;
            }
            update_one_param_ui(utils, in_data->effect_ref, i, def);
        }
        for (int r = 0; r < kPointParamRows; ++r) {
            for (int c = 0; c < kPointParamColumns; ++c) {
                for (int32_t i : point_param_indices(r, c)) {
                    PF_ParamDef def = *params[i];
                    if (c <= grid.columns() && r <= grid.rows())
                        def.ui_flags &= ~PF_PUI_DISABLED;
                    else
                        def.ui_flags |= PF_PUI_DISABLED;
                    def.flags |= PF_ParamFlag_COLLAPSE_TWIRLY;
                    update_one_param_ui(utils, in_data->effect_ref, i, def);
                }
            }
        }
    });
}

}  // namespace tavrel
