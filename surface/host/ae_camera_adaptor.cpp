#include "surface/host/ae_camera_adaptor.h"

#include <algorithm>
#include <cmath>

#include "surface/host/camera_projection.h"
#include "surface/host/host_geometry.h"
#include "surface/host/host_streams.h"

namespace tavrel {
namespace {

// The default camera's distance is half the comp width over this: the
// host's standard 50 mm lens.
constexpr double kDefaultCameraFactor = 0.36;
constexpr double kDepthOfFieldThreshold = 1e-6;
constexpr double kOrthographicZoom = 1e6;
constexpr double kNearPlane = 2.0;

}  // namespace

SuiteHolder<AEGP_CameraSuite2> acquire_camera_suite(const PF_InData* in_data) {
    return SuiteHolder<AEGP_CameraSuite2>(in_data ? in_data->pica_basicP : nullptr, kAEGPCameraSuite,
                                          kAEGPCameraSuiteVersion2);
}

AECameraWrapper::AECameraWrapper(const PF_InData* in_data, AEGP_PluginID plugin_id) : plugin_id_(plugin_id) {
    if (in_data == nullptr || in_data->pica_basicP == nullptr) throw long(PF_Err_BAD_CALLBACK_PARAM);
    const std::array<double, 2> size = downsampled_comp_size(in_data);
    render_width = checked_pixels(size[0], "comp's width in layer pixels");
    render_height = checked_pixels(size[1], "comp's height in layer pixels");
    const int kind = effect_layer_kind(in_data);
    if (kind == kTextLayer || kind == kShapeLayer) {
        frame_window = FrameWindow{double(render_width), double(render_height)};
    } else {
        // The output is the comp's extent with its edges rounded to whole
        // pixels: the frame renders that rectangle, so that its pixels are
        // the layer's pixels wherever the comp's edges fall between them.
        const CompExtent comp = comp_extent(in_data);
        const PF_LRect rect = whole_pixel_rect(comp);
        frame_window = FrameWindow{comp.width, comp.height, rect.left - comp.left, rect.top - comp.top,
                                   rect.right - (comp.left + comp.width), rect.bottom - (comp.top + comp.height)};
    }
    read_camera(in_data, in_data->current_time);
}

void AECameraWrapper::read_camera(const PF_InData* in_data, int32_t effect_time) {
    zoom = 1.0;
    depth_of_field_on = 0;
    focus_distance = 1.0;
    aperture = 0.0;
    blur_level = 0.0;
    orthographic = 0;
    default_camera_distance = 0.0;
    if (in_data == nullptr || in_data->pica_basicP == nullptr) throw long(PF_Err_BAD_CALLBACK_PARAM);
    HostSuites suites(in_data);
    const TSize2D comp = get_comp_dimensions(suites, in_data);
    comp_width = comp.width;
    comp_height = comp.height;

    A_Time comp_time{};
    check_pf_err(suites.pf_interface_suite().AEGP_ConvertEffectToCompTime(in_data->effect_ref, effect_time,
                                                                          in_data->time_scale, &comp_time));
    AEGP_LayerH camera = nullptr;
    check_pf_err(suites.pf_interface_suite().AEGP_GetEffectCamera(in_data->effect_ref, &comp_time, &camera));
    pixel_aspect_ratio = comp_pixel_aspect_ratio(suites, in_data);

    if (camera != nullptr) {
        A_Matrix4 m{};
        check_pf_err(suites.layer_suite().AEGP_GetLayerToWorldXform(camera, &comp_time, &m));
        layer_to_world = matrix_from_host(m);
        auto read = [&](AEGP_LayerStream which) {
            return read_layer_stream(suites, plugin_id_, camera, which, comp_time);
        };
        const AEGP_ThreeDVal anchor = read(AEGP_LayerStream_ANCHORPOINT).three_d;
        anchor_point[0] = anchor.x;
        anchor_point[1] = anchor.y;
        anchor_point[2] = anchor.z;
        read(AEGP_LayerStream_POSITION);  // read as the host expects, not kept: the matrix holds it
        zoom = read(AEGP_LayerStream_ZOOM).one_d;
        depth_of_field_on = read(AEGP_LayerStream_DEPTH_OF_FIELD).one_d > kDepthOfFieldThreshold ? 1 : 0;
        focus_distance = read(AEGP_LayerStream_FOCUS_DISTANCE).one_d;
        aperture = read(AEGP_LayerStream_APERTURE).one_d;
        blur_level = read(AEGP_LayerStream_BLUR_LEVEL).one_d;
        SuiteHolder<AEGP_CameraSuite2> camera_suite = acquire_camera_suite(in_data);
        AEGP_CameraType type = AEGP_CameraType_PERSPECTIVE;
        check_pf_err(camera_suite->AEGP_GetCameraType(camera, &type));
        if (type == AEGP_CameraType_ORTHOGRAPHIC) {
            orthographic = 1;
            zoom = kOrthographicZoom;
        }
    } else {
        const double d = (comp_width / 2.0) / kDefaultCameraFactor;
        default_camera_distance = d;
        zoom = d;
        focus_distance = d;
        layer_to_world.set_identity();
        layer_to_world[12] = comp_width / 2.0;
        layer_to_world[13] = comp_height / 2.0;
        layer_to_world[14] = -d;
        anchor_point[0] = comp_width / 2.0;
        anchor_point[1] = comp_height / 2.0;
        anchor_point[2] = 0.0;
    }
    invert_matrix(layer_to_world, view_matrix);
}

AECameraAdaptor::AECameraAdaptor(const AECameraWrapper& wrapper)
    : wrapper_(wrapper),
      anchor_{wrapper.anchor_point[0], wrapper.anchor_point[1], wrapper.anchor_point[2]},
      width_(double(wrapper.comp_width)),
      height_(double(wrapper.comp_height)),
      render_size_{wrapper.render_width, wrapper.render_height} {
    // The host's camera looks down +z, the engine's down -z: flip the camera
    // space z (the host matrix's third column).
    Matrix4d v = wrapper.view_matrix;
    for (int i : {2, 6, 10, 14}) v[i] = -v[i];
    // An orthographic camera keeps its place along the view, so that the
    // shading sees it in front of the scene (its eye at infinity, looking
    // down -z) and measures depth from it. Its box is still the one about
    // the plane through the world's origin: the projection moves the box's
    // near and far by the camera's distance from that plane.
    box_depth_ = wrapper.orthographic ? -v[14] : 0.0;
    // Non-square comp pixels: a world point is first moved so the comp's
    // centre stays put, then squeezed across by the pixel aspect ratio, then
    // viewed.
    const double a = wrapper.pixel_aspect_ratio;
    v.scale(1.0 / a, 1.0, 1.0);
    v.translate((a - 1.0) * 0.5 * width_, 0.0, 0.0);
    view_ = v;
    invert_matrix(view_, inverse_view_);
    projection_matrix();
}

double AECameraAdaptor::near_plane() const {
    if (is_orthographic()) return -100000.0;
    // The default camera of a comp a pixel or two wide stands closer to the
    // layer than the near plane: halfway there, the layer stays in view.
    const double d = wrapper_.default_camera_distance;
    return d > 0.0 ? std::min(kNearPlane, d / 2.0) : kNearPlane;
}

const Matrix4d* AECameraAdaptor::projection_matrix() const {
    // Lens offset first, sub-pixel offset second: the lens moves on the focus
    // plane, the jitter by fractions of a render pixel.
    projection_ = make_projection_matrix(is_orthographic(), width_, height_, wrapper_.pixel_aspect_ratio, lens_[0],
                                         lens_[1], subpixel_[0], subpixel_[1], near_plane() + box_depth_,
                                         far_plane() + box_depth_, render_size_,
                                         wrapper_.focus_distance, wrapper_.zoom, wrapper_.frame_window);
    return &projection_;
}

std::shared_ptr<IVirtualCameraParameters> AECameraAdaptor::clone() const {
    return std::make_shared<AECameraAdaptor>(*this);
}

void AECameraAdaptor::add_subpixel_offset(double dx, double dy) {
    subpixel_[0] += dx;
    subpixel_[1] += dy;
}

void AECameraAdaptor::add_lens_offset(double dx, double dy) {
    lens_[0] += dx;
    lens_[1] += dy;
}

}  // namespace tavrel
