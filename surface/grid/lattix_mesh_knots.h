// The bicubic surface of a control-point grid: a control net of
// (3 * columns + 1) x (3 * rows + 1) points, clamped cubic knot vectors with
// triple interior knots (so every grid cell is one bicubic Bezier patch whose
// corners are the grid points), and basis tables sampled at S + 1 parameter
// values over the whole surface. The GPU evaluates the surface from the net
// and the tables; the CPU evaluation here serves the refit and the bounds.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/interfaces/array_accessor.h"
#include "engine/core/vec3.h"
#include "surface/grid/host_buffer_accessor.h"

namespace tavrel {

class ControlPointGrid;

// A surface point with its partial derivatives per unit parameter.
struct SurfacePoint {
    Vec3f position;
    Vec3f d_ds;
    Vec3f d_dt;
};

// The four basis tables as the texture upload takes them, in upload order.
struct BasisBuffers {
    std::shared_ptr<HostBuffer2dArrayAccessor<float>> s_weights;
    std::shared_ptr<HostBuffer2dArrayAccessor<float>> t_weights;
    std::shared_ptr<HostBuffer2dArrayAccessor<float>> s_weight_derivatives;
    std::shared_ptr<HostBuffer2dArrayAccessor<float>> t_weight_derivatives;
};

class LattixMeshKnots {
public:
    // Knots, tables (samples = S steps, S + 1 rows) and the net of grid.
    // frame_net stays zero until the first scale_to_frame.
    LattixMeshKnots(const ControlPointGrid& grid, int samples);
    virtual ~LattixMeshKnots() = default;

    // Refills the net from a grid of the same columns and rows; a grid of
    // another size is refused (it would not fit the net or the tables).
    void set_control_net(const ControlPointGrid& grid);

    // Recomputes every cell's four interior points from its edges, then
    // frame_net = net with x * width/2, y * height/2 and z * width/2.
    void scale_to_frame(float width, float height);

    // The change key: CRC-16 over frame_net, then s_knots, then t_knots.
    uint16_t control_net_crc() const;

    // Position and derivatives from frame_net at the table rows nearest to
    // (s, t); parameters outside 0..1 take the first or last row.
    SurfacePoint evaluate(float s, float t) const;

    std::shared_ptr<HostBuffer2dArrayAccessor<float>> control_points_buffer();
    BasisBuffers basis_buffers();

    int net_width() const { return net_width_; }
    int net_height() const { return net_height_; }
    int columns() const { return (net_width_ - 1) / 3; }
    int rows() const { return (net_height_ - 1) / 3; }
    // S: the table has S + 1 rows.
    int samples() const { return static_cast<int>(s_weights_.size() / net_width_) - 1; }

    // Net point (row i, column j) is element i * net_width + j.
    const std::vector<Vec3f>& net() const { return net_; }
    Vec3f& net_point(int row, int col) { return net_[static_cast<std::size_t>(row) * net_width_ + col]; }
    const std::vector<Vec3f>& frame_net() const { return frame_net_; }
    const std::vector<double>& s_knots() const { return s_knots_; }
    const std::vector<double>& t_knots() const { return t_knots_; }
    const std::vector<float>& s_weights() const { return s_weights_; }
    const std::vector<float>& t_weights() const { return t_weights_; }
    const std::vector<float>& s_weight_derivatives() const { return s_weight_derivatives_; }
    const std::vector<float>& t_weight_derivatives() const { return t_weight_derivatives_; }

private:
    int32_t net_width_;
    int32_t net_height_;
    std::vector<Vec3f> frame_net_;
    std::vector<Vec3f> net_;
    std::vector<double> s_knots_;
    std::vector<double> t_knots_;
    std::vector<float> s_weights_;
    std::vector<float> t_weights_;
    std::vector<float> s_weight_derivatives_;
    std::vector<float> t_weight_derivatives_;
};

// The shading frame of a surface point from its tangents a (along s) and b
// (along t): {p.x, p.y, p.z, s, t, c, n x b, a x n} with c = b x a the normal
// and n = c normalised (c itself when it has no length).
using SurfaceFrame = std::array<float, 14>;
SurfaceFrame surface_frame(float s, float t, const Vec3f& p, const Vec3f& a, const Vec3f& b);

}  // namespace tavrel
