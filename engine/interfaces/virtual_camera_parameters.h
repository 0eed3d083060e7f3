// The camera a render sees the scene through: its matrices, its frame, and the
// view-sample offsets that multi-view rendering adds for anti-aliasing and
// depth of field.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/matrix4d.h"

namespace tavrel {

// Pixels, signed as the host gives them.
struct RenderSize {
    int32_t width = 0;
    int32_t height = 0;
};

class IVirtualCameraParameters {
public:
    virtual ~IVirtualCameraParameters() = default;
    // World to camera. The matrices are owned by the camera.
    virtual const Matrix4d* view_transform() const = 0;
    virtual const Matrix4d* inverse_view_transform() const = 0;
    virtual const Matrix4d* projection_matrix() const = 0;
    virtual double zoom() const = 0;
    virtual double width() const = 0;
    virtual double height() const = 0;
    virtual RenderSize render_size() const = 0;
    virtual bool is_orthographic() const = 0;
    virtual double near_plane() const = 0;
    virtual double far_plane() const = 0;
    virtual double reserved_value() const = 0;
    virtual double depth_range() const = 0;
    virtual bool reserved_flag() const = 0;
    // Multi-view rendering jitters a copy per view and leaves this one alone.
    virtual std::shared_ptr<IVirtualCameraParameters> clone() const = 0;
    virtual void add_subpixel_offset(double dx, double dy) = 0;
    virtual double subpixel_offset_x() const = 0;
    virtual double subpixel_offset_y() const = 0;
    virtual void add_lens_offset(double dx, double dy) = 0;
    virtual double lens_offset_x() const = 0;
    virtual double lens_offset_y() const = 0;
    virtual double focus_distance() const = 0;
    // Scales the lens offsets of depth of field.
    virtual double blur_level() const = 0;
    virtual double pixel_aspect_ratio() const = 0;
};

}  // namespace tavrel
