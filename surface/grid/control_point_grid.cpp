#include "surface/grid/control_point_grid.h"

#include <stdexcept>

#include "surface/grid/arb_param_reader.h"
#include "surface/grid/auto_tangents.h"
#include "surface/grid/tolerance.h"

// ---- LX_Cp ---------------------------------------------------------------

tavrel::ControlHandle& LX_Cp::writable_handle(int k) {
    if (locked_ == 0) return handles_[k];
    scratch_ = handles_[k];
    return scratch_;
}

void LX_Cp::set_selected(int k, bool value) {
    if (locked_ != 0) return;
    handles_[k].selected = value ? 1 : 0;
    uint8_t any = 0;
    for (const auto& h : handles_) any |= h.selected;
    any_selected_ = any;
}

void LX_Cp::clear_selection() {
    any_selected_ = 0;
    for (auto& h : handles_) h.selected = 0;
}

LX_Cp LX_Cp::lerp(const LX_Cp& a, const LX_Cp& b, float t) {
    LX_Cp r;
    r.locked_ = a.locked_;
    r.any_selected_ = a.any_selected_;
    for (int k = 0; k < kHandles; ++k) {
        const auto& ha = a.handles_[k];
        const auto& hb = b.handles_[k];
        auto& h = r.handles_[k];
        h.active = ha.active;
        h.selected = ha.selected;
        h.x = (hb.x - ha.x) * t + ha.x;
        h.y = (hb.y - ha.y) * t + ha.y;
        h.z = (hb.z - ha.z) * t + ha.z;
    }
    return r;
}

bool operator==(const LX_Cp& a, const LX_Cp& b) {
    if (a.any_selected_ != b.any_selected_ || a.locked_ != b.locked_) return false;
    const tavrel::Tolerance tol(1e-6f);
    for (int k = 0; k < LX_Cp::kHandles; ++k) {
        const auto& ha = a.handles_[k];
        const auto& hb = b.handles_[k];
        if (ha.active != hb.active || ha.selected != hb.selected) return false;
        if (!tol.within(ha.x, hb.x) || !tol.within(ha.y, hb.y) || !tol.within(ha.z, hb.z))
            return false;
    }
    return true;
}

namespace tavrel {

namespace {

void set_coords(LX_Cp& p, int k, float x, float y, float z, bool active) {
    ControlHandle& h = p.writable_handle(k);
    h.x = x;
    h.y = y;
    h.z = z;
    h.active = active ? 1 : 0;
}

void translate(LX_Cp& p, int k, float dx, float dy, float dz) {
    const ControlHandle& cur = p.handle(k);
    const float x = cur.x + dx, y = cur.y + dy, z = cur.z + dz;
    ControlHandle& h = p.writable_handle(k);
    h.x = x;
    h.y = y;
    h.z = z;
}

// The opposite tangent is placed on the straight line through the moved one
// and the position, at the same distance.
void mirror_handle(LX_Cp& p, int moved, int opposite) {
    const ControlHandle& pos = p.handle(LX_Cp::kPosition);
    const ControlHandle& m = p.handle(moved);
    const float x = 2.0f * pos.x - m.x, y = 2.0f * pos.y - m.y, z = 2.0f * pos.z - m.z;
    ControlHandle& h = p.writable_handle(opposite);
    h.x = x;
    h.y = y;
    h.z = z;
}

}  // namespace

ControlPointGrid::ControlPointGrid(int columns, int rows) : ControlPointGrid(BlankTag{}, columns, rows) {
    if (columns < 1 || columns > kMaxCells || rows < 1 || rows > kMaxCells)
        throw std::invalid_argument("grid size out of range");
    const float hx = 2.0f / float(3 * columns);
    const float hy = 2.0f / float(3 * rows);
    const float step_x = 3.0f * hx;
    const float step_y = 3.0f * hy;
    // Accumulated step by step, as stored grids were made; a product would
    // differ in the last bits.
    float y = -1.0f;
    for (int r = 0; r <= rows; ++r) {
        float x = -1.0f;
        for (int c = 0; c <= columns; ++c) {
            LX_Cp& p = points_[slot_index(r, c)];
            set_coords(p, LX_Cp::kPosition, x, y, 0.0f, true);
            if (c < columns) set_coords(p, LX_Cp::kNextColumn, x + hx, y, 0.0f, true);
            if (c > 0) set_coords(p, LX_Cp::kPrevColumn, x - hx, y, 0.0f, true);
            if (r < rows) set_coords(p, LX_Cp::kNextRow, x, y + hy, 0.0f, true);
            if (r > 0) set_coords(p, LX_Cp::kPrevRow, x, y - hy, 0.0f, true);
            x += step_x;
        }
        y += step_y;
    }
}

ControlPointGrid ControlPointGrid::with_tangent_settings(const ControlPointGrid& source,
                                                         const AutoTangentSettings& settings) {
    ControlPointGrid g = source;
    g.tangent_settings_ = settings;
    g.compute_auto_tangents(g.columns_, g.rows_, settings);
    return g;
}

ControlPointGrid ControlPointGrid::read(IARBParamReader& reader) {
    ControlPointGrid g(BlankTag{}, 0, 0);
    const int32_t count = static_cast<int32_t>(reader.read_uint());
    const uint32_t columns = reader.read_uint();
    const uint32_t rows = reader.read_uint();
    // Sizes beyond 20 would write past the 441 slots; products in 64 bits
    // so that no pair of counts wraps into a plausible point count.
    const bool size_ok = columns >= 1 && columns <= uint32_t(kMaxCells) && rows >= 1 &&
                         rows <= uint32_t(kMaxCells);
    if (!size_ok || int64_t(count) != (int64_t(columns) + 1) * (int64_t(rows) + 1) ||
        !reader.fits_buffer(count))
        throw std::runtime_error("Invalid parameter file.");
    g.columns_ = static_cast<int32_t>(columns);
    g.rows_ = static_cast<int32_t>(rows);
    for (int i = 0; i < count; ++i) {
        LX_Cp& p = g.points_[i];
        // The stored flag becomes any_selected; handle 0's own selected byte
        // then comes from its record.
        p.set_selected(LX_Cp::kPosition, reader.read_bool());
        for (int k = 0; k < LX_Cp::kHandles; ++k) reader.read_vertex(p.writable_handle(k));
    }
    return g;
}

void ControlPointGrid::copy_points(const ControlPointGrid& other) {
    points_ = other.points_;
    columns_ = other.columns_;
    rows_ = other.rows_;
    tangent_settings_ = AutoTangentSettings{};
}

void ControlPointGrid::clear_selection() {
    const int n = point_count();
    for (int i = 0; i < n; ++i) points_[i].clear_selection();
}

void ControlPointGrid::move_handle(unsigned index, int mode, int k, bool mirror, float dx, float dy,
                                   float dz, const ChangeCallback& on_change) {
    LX_Cp& p = point_ref(index);
    switch (mode) {
        case 1: dy = dz = 0.0f; break;
        case 2: dx = dz = 0.0f; break;
        case 3: dx = dy = 0.0f; break;
        default: break;
    }
    switch (k) {
        case LX_Cp::kPosition:
            // Inactive border handles travel too, so they stay where a later
            // resize expects them relative to the position.
            for (int h = 0; h < LX_Cp::kHandles; ++h) translate(p, h, dx, dy, dz);
            break;
        case LX_Cp::kPrevColumn:
        case LX_Cp::kNextColumn:
        case LX_Cp::kPrevRow:
        case LX_Cp::kNextRow: {
            translate(p, k, dx, dy, dz);
            static const int opposite[] = {0, 2, 1, 4, 3};
            if (mirror) mirror_handle(p, k, opposite[k]);
            break;
        }
        default: break;
    }
    if (tangent_settings_.enable) compute_auto_tangents(columns_, rows_, tangent_settings_);
    const int stride = columns_ + 1;
    on_change(int(index) / stride, int(index) % stride, p);
}

void ControlPointGrid::set_handle_position(int row, int col, int mode, int k, bool mirror, float x,
                                           float y, float z) {
    const unsigned index = static_cast<unsigned>(slot_index(row, col));
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;
    if (k >= 0 && k < LX_Cp::kHandles) {
        const ControlHandle& h = point_ref(index).handle(k);
        dx = x - h.x;
        dy = y - h.y;
        dz = z - h.z;
    }
    move_handle(index, mode, k, mirror, dx, dy, dz, [](int, int, const LX_Cp&) {});
}

void ControlPointGrid::interpolate(const ControlPointGrid& a, const ControlPointGrid& b, float t) {
    const bool same_size = a.columns_ == b.columns_ && a.rows_ == b.rows_;
    const int n = a.point_count();
    // Slot by slot, so that this grid may be a or b itself.
    for (int i = 0; i < n; ++i)
        points_[i] = same_size ? LX_Cp::lerp(a.points_[i], b.points_[i], t) : a.points_[i];
    columns_ = a.columns_;
    rows_ = a.rows_;
    if (tangent_settings_.enable) compute_auto_tangents(columns_, rows_, tangent_settings_);
}

void ControlPointGrid::compute_auto_tangents(int columns, int rows, const AutoTangentSettings& settings) {
    tavrel::compute_auto_tangents(*this, columns, rows, settings);
}

bool operator==(const ControlPointGrid& a, const ControlPointGrid& b) {
    if (a.columns_ != b.columns_ || a.rows_ != b.rows_) return false;
    const int n = a.point_count();
    for (int i = 0; i < n; ++i)
        if (!(a.points_[i] == b.points_[i])) return false;
    return true;
}

}  // namespace tavrel
