// The composition's camera as the engine sees it. The wrapper reads the
// effect's active camera from the host once per frame, on the host thread;
// the adaptor turns it into the engine's view and projection, and carries
// the sub-pixel and lens offsets that multi-view rendering adds per view.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/matrix4d.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "hostapi/host_scene_suites.h"
#include "hostapi/host_effect.h"
#include "hostaccess/suite_handler.h"
#include "surface/host/camera_projection.h"

namespace tavrel {

// The "AEGP Camera Suite", acquired on first use by the holder.
SuiteHolder<AEGP_CameraSuite2> acquire_camera_suite(const PF_InData* in_data);

// Matrices are kept as the host gives them (see matrix_from_host).
class AECameraWrapper {
public:
    // Reads the render size, then the camera at the effect's current time.
    AECameraWrapper(const PF_InData* in_data, AEGP_PluginID plugin_id);
    virtual ~AECameraWrapper() = default;
    AECameraWrapper(const AECameraWrapper&) = default;
    AECameraWrapper& operator=(const AECameraWrapper&) = default;

    // A missing basic suite throws the bare long PF_Err_BAD_CALLBACK_PARAM,
    // a failing host call PFErrException with its code.
    void read_camera(const PF_InData* in_data, int32_t effect_time);

    Matrix4d view_matrix;  // world to camera
    Matrix4d layer_to_world;
    double zoom = 1.0;
    uint8_t depth_of_field_on = 0;
    double focus_distance = 1.0;
    double aperture = 0.0;
    double blur_level = 0.0;
    double anchor_point[3] = {0.0, 0.0, 0.0};
    int32_t comp_width = 0, comp_height = 0;
    uint8_t orthographic = 0;
    double pixel_aspect_ratio = 1.0;
    int32_t render_width = 0, render_height = 0;
    // The rendered whole-pixel rectangle against the comp's own extent in
    // render pixels, for a layer that fills the comp (output_rect); text and
    // shape layers, whose outputs follow the request, render the comp whole
    // into the render size.
    FrameWindow frame_window;
    // How far the host's default camera stands from the comp; 0 when the
    // comp has a camera of its own.
    double default_camera_distance = 0.0;

private:
    AEGP_PluginID plugin_id_;
};

class AECameraAdaptor final : public IVirtualCameraParameters {
public:
    explicit AECameraAdaptor(const AECameraWrapper& wrapper);

    const Matrix4d* view_transform() const override { return &view_; }
    const Matrix4d* inverse_view_transform() const override { return &inverse_view_; }
    // Rebuilt at each call, since the offsets move between views.
    const Matrix4d* projection_matrix() const override;
    double zoom() const override { return wrapper_.zoom; }
    // The composition's size.
    double width() const override { return width_; }
    double height() const override { return height_; }
    RenderSize render_size() const override { return render_size_; }
    bool is_orthographic() const override { return wrapper_.orthographic != 0; }
    // An orthographic camera's box is measured along the view from the
    // plane through the world's origin, not from the camera.
    double near_plane() const override;
    double far_plane() const override { return is_orthographic() ? 100000.0 : 40000.0; }
    double reserved_value() const override { return 0.0; }
    double depth_range() const override { return 1e6; }
    bool reserved_flag() const override { return false; }
    std::shared_ptr<IVirtualCameraParameters> clone() const override;
    void add_subpixel_offset(double dx, double dy) override;
    double subpixel_offset_x() const override { return subpixel_[0]; }
    double subpixel_offset_y() const override { return subpixel_[1]; }
    void add_lens_offset(double dx, double dy) override;
    double lens_offset_x() const override { return lens_[0]; }
    double lens_offset_y() const override { return lens_[1]; }
    double focus_distance() const override { return wrapper_.focus_distance; }
    double blur_level() const override { return wrapper_.blur_level; }
    double pixel_aspect_ratio() const override { return wrapper_.pixel_aspect_ratio; }

    const double* anchor_point() const { return anchor_; }

private:
    AECameraWrapper wrapper_;
    Matrix4d view_;
    Matrix4d inverse_view_;
    mutable Matrix4d projection_;
    double anchor_[3];
    // An orthographic camera's distance in front of the plane its box is
    // measured from; 0 for a perspective camera.
    double box_depth_ = 0.0;
    double width_, height_;
    RenderSize render_size_;
    double subpixel_[2] = {0.0, 0.0};
    double lens_[2] = {0.0, 0.0};
};

}  // namespace tavrel
