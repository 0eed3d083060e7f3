// The control-point grid: the effect's data model. A plain record without
// pointers, copied whole between host handles, the instance state and
// temporary grids, so every type here stays trivially copyable.
//
// Coordinates are in lattice space: the undeformed grid spans -1..1 in x and
// y at z = 0; row 0 lies at y = -1, column 0 at x = -1.
#pragma once

#include <cstdint>
#include <type_traits>

#include <boost/array.hpp>
#include <boost/function.hpp>

#include "surface/grid/auto_tangent_settings.h"

namespace tavrel {

// One position or tangent handle. A new handle is all zero.
struct ControlHandle {
    uint8_t active = 0;    // takes part in editing and drawing
    uint8_t selected = 0;  // selected in the composition window
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

}  // namespace tavrel

// One grid point: its position (handle 0) and four tangent handles, towards
// -x (1), +x (2), -y (3) and +y (4). A new point is all zero.
class LX_Cp {
public:
    enum { kPosition = 0, kPrevColumn = 1, kNextColumn = 2, kPrevRow = 3, kNextRow = 4, kHandles = 5 };

    // Unchecked, like the stored array itself; k must be 0..4.
    const tavrel::ControlHandle& handle(int k) const { return handles_[k]; }

    // Every write to a handle goes through here. A locked point diverts the
    // write into its scratch handle, so its stored handles keep their values.
    tavrel::ControlHandle& writable_handle(int k);

    const tavrel::ControlHandle& scratch() const { return scratch_; }
    bool any_selected() const { return any_selected_ != 0; }
    bool locked() const { return locked_ != 0; }
    void set_locked(bool locked) { locked_ = locked ? 1 : 0; }

    // Ignored while the point is locked; keeps any_selected up to date.
    void set_selected(int k, bool value);
    // Writes the stored handles directly, locked or not.
    void clear_selection();

    // Flags and every handle's active/selected from a; coordinates blended
    // as (b - a) * t + a; an all-zero scratch handle.
    static LX_Cp lerp(const LX_Cp& a, const LX_Cp& b, float t);

    friend bool operator==(const LX_Cp& a, const LX_Cp& b);
    friend bool operator!=(const LX_Cp& a, const LX_Cp& b) { return !(a == b); }

private:
    uint8_t locked_ = 0;
    uint8_t any_selected_ = 0;
    tavrel::ControlHandle handles_[kHandles];
    tavrel::ControlHandle scratch_;
};

namespace tavrel {

class IARBParamReader;

class ControlPointGrid {
public:
    static constexpr int kMaxCells = 20;
    static constexpr unsigned kSlots = (kMaxCells + 1) * (kMaxCells + 1);  // 441

    // (row, col, point after the move)
    using ChangeCallback = boost::function<void(int, int, const LX_Cp&)>;

    // The default flat grid of columns x rows cells. Sizes outside 1..20 are
    // refused with std::invalid_argument: they could not fit the 441 slots.
    ControlPointGrid(int columns, int rows);

    // The grid of source with other auto-tangent settings, after the pass.
    static ControlPointGrid with_tangent_settings(const ControlPointGrid& source,
                                                  const AutoTangentSettings& settings);

    // The grid a flattened form describes, read through reader after its
    // header: all slots new points, default auto-tangent settings. Throws
    // std::runtime_error "Invalid parameter file." when the counts do not
    // describe a grid of 1..20 cells each way or do not fit the buffer.
    static ControlPointGrid read(IARBParamReader& reader);

    // Points, columns and rows of other; auto-tangent settings to defaults.
    void copy_points(const ControlPointGrid& other);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int point_count() const { return (columns_ + 1) * (rows_ + 1); }
    int slot_index(int row, int col) const { return row * (columns_ + 1) + col; }

    // Bounded by the slot count, not the point count: std::out_of_range
    // "array<>: index out of range" at 441 and beyond.
    const LX_Cp& point(int index) const { return points_.at(static_cast<unsigned>(index)); }
    const LX_Cp& point_at(unsigned index) const { return points_.at(index); }
    const LX_Cp& point_ref(unsigned index) const { return points_.at(index); }
    LX_Cp& point_ref(unsigned index) { return points_.at(index); }

    const AutoTangentSettings& tangent_settings() const { return tangent_settings_; }
    void set_tangent_settings(const AutoTangentSettings& s) { tangent_settings_ = s; }

    void set_selected(unsigned index, int k, bool value) { point_ref(index).set_selected(k, value); }
    void clear_selection();

    // Moves handle k of the point in slot index by (dx, dy, dz) constrained
    // by mode (1 x only, 2 y only, 3 z only, else all); with mirror the
    // opposite tangent follows. Then the auto-tangent pass (when enabled) and
    // on_change, for every k. An empty on_change throws
    // boost::bad_function_call after the move.
    void move_handle(unsigned index, int mode, int k, bool mirror, float dx, float dy, float dz,
                     const ChangeCallback& on_change);
    // Moves handle k of point (row, col) to the absolute position (x, y, z).
    void set_handle_position(int row, int col, int mode, int k, bool mirror, float x, float y,
                             float z);

    // This grid receives the blend of a and b; a's points when the sizes
    // differ. Keeps this grid's own auto-tangent settings.
    void interpolate(const ControlPointGrid& a, const ControlPointGrid& b, float t);

    // The pass over the whole grid; does nothing unless settings.enable.
    void compute_auto_tangents(int columns, int rows, const AutoTangentSettings& settings);

    // Rebuilds this grid as a columns x rows grid whose surface follows the
    // surface of old: sampled from it, then, for grids below 4 x 4 cells,
    // fitted to it by least squares. Default auto-tangent settings.
    void resample(const ControlPointGrid& old, int columns, int rows);
    // The sampled stage of resample alone: positions and tangents read off
    // old's surface at the new points' parameters.
    static ControlPointGrid sampled_from(const ControlPointGrid& old, int columns, int rows);

    // A grid of new points whose five handles per point take, in slot order,
    // the coordinates p[15 * i .. 15 * i + 14] (handle 0 x, y, z, handle 1 ...).
    static ControlPointGrid from_parameters(const double* p, int columns, int rows);
    // The refit's objective in the minimiser's shape: context is a
    // RefitContext; writes n = 507 differences old - fitted into hx.
    static void fit_error(double* p, double* hx, int m, int n, void* context);

    friend bool operator==(const ControlPointGrid& a, const ControlPointGrid& b);
    friend bool operator!=(const ControlPointGrid& a, const ControlPointGrid& b) { return !(a == b); }

private:
    struct BlankTag {};
    // All 441 slots new points, columns and rows as given, default settings.
    ControlPointGrid(BlankTag, int columns, int rows) : columns_(columns), rows_(rows) {}

    boost::array<LX_Cp, kSlots> points_;
    int32_t columns_;
    int32_t rows_;
    AutoTangentSettings tangent_settings_;
};

static_assert(std::is_trivially_copyable<ControlHandle>::value, "grid records are block-copied");
static_assert(std::is_trivially_copyable<LX_Cp>::value, "grid records are block-copied");
static_assert(std::is_trivially_copyable<ControlPointGrid>::value, "grid records are block-copied");

}  // namespace tavrel
