// A camera given by its matrices and output size, for host-side values that
// read a camera without a host.
#pragma once

#include <memory>

#include "engine/core/matrix4d.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel_test {

using tavrel::IVirtualCameraParameters;
using tavrel::Matrix4d;
using tavrel::RenderSize;

class TestCamera : public IVirtualCameraParameters {
public:
    TestCamera(const Matrix4d& view, const Matrix4d& projection, RenderSize size)
        : view_(view), projection_(projection), size_(size) {
        tavrel::invert_matrix(view_, inverse_);
    }
    const Matrix4d* view_transform() const override { return &view_; }
    const Matrix4d* inverse_view_transform() const override { return &inverse_; }
    const Matrix4d* projection_matrix() const override { return &projection_; }
    double zoom() const override { return 1.0; }
    double width() const override { return size_.width; }
    double height() const override { return size_.height; }
    RenderSize render_size() const override { return size_; }
    bool is_orthographic() const override { return false; }
    double near_plane() const override { return 1.0; }
    double far_plane() const override { return 1e5; }
    double reserved_value() const override { return 0.0; }
    double depth_range() const override { return 1e6; }
    bool reserved_flag() const override { return false; }
    std::shared_ptr<IVirtualCameraParameters> clone() const override { return nullptr; }
    void add_subpixel_offset(double, double) override {}
    double subpixel_offset_x() const override { return 0.0; }
    double subpixel_offset_y() const override { return 0.0; }
    void add_lens_offset(double, double) override {}
    double lens_offset_x() const override { return 0.0; }
    double lens_offset_y() const override { return 0.0; }
    double focus_distance() const override { return 1.0; }
    double blur_level() const override { return 0.0; }
    double pixel_aspect_ratio() const override { return 1.0; }

private:
    Matrix4d view_, projection_, inverse_;
    RenderSize size_;
};

}  // namespace tavrel_test
