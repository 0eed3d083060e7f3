#include "surface/frame/frame_values.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "engine/core/screen_projector.h"
#include "engine/shaders/shader_parameters.h"
#include "surface/grid/auto_tangent_settings.h"
#include "surface/grid/control_point_grid.h"
#include "surface/host/host_geometry.h"
#include "surface/host/param_values.h"
#include "surface/mesh/render_settings.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

// Effect parameters read here.
enum Param : int {
    kAutoTangentsEnable = 9,
    kTangentTension = 10,
    kRowsEndpointsBias = 11,
    kRowsMidpointsBias = 12,
    kColsEndpointsBias = 13,
    kColsMidpointsBias = 14,
    kRowsEndpointOpposite = 15,
    kColsEndpointOpposite = 16,
    kPositionX = 22,
    kRotationX = 25,
    kScaleX = 28,
    kScaleY = 29,
    kScaleZ = 30,
    kAnchorX = 31,
    kTieToLayer = 35,
    kPosition2dX = 36,
    kPosition2dY = 37,
    kAnchor2dX = 38,
    kAnchor2dY = 39,
    kFresnelStart = 138,
    kFresnelStop = 139,
    kFresnelPower = 140,
    kFresnelForOpacity = 141,
    kDisplacementLayer = 148,
    kUseLayers = 149,
    kDisplacementHeight = 150,
    kPolygonalAlphaClip = 151,
    kPremultiply = 152,
    kUseAlphaAsMask = 153,
    kUseForSpecular = 155,  // to 159
    kUseForNoise = 160,
    kNoiseAmplitude = 163,
    kNoiseFrequency = 164,
    kNoiseSources = 165,
    kNoiseAmplitudeMultiplier = 166,
    kNoiseFrequencyMultiplier = 167,
    kNoiseXFrequency = 169,
    kNoiseYFrequency = 170,
    kNoiseSpeed = 171,
    kNoiseStart = 173,
    kNoiseStop = 174,
    kNoiseSmoothStart = 175,
    kNoiseSmoothStop = 176,
    kNoiseEvolution = 179,
    kNoiseDirection = 180,
    kAlphaLevel = 184,
    kPreBlur = 185,
    kHorizontalOffset = 191,
    kVerticalOffset = 192,
    kReflectionBlending = 193,
    kRenderMode = 196,
    kAdaptive = 205,
    kSubdivisions = 206,
    kMaxIterations = 207,
    kTolerance = 208,
    kMistType = 252,
    kMistIntensity = 253,
    kMistColor = 254,
    kMistOpacity = 255,
    kMistNearX = 256,
    kMistFarX = 259,
    kMistPreserveAlpha = 262,
    kMistBlending = 263,
    kFogType = 266,
    kFogIntensity = 267,
    kFogColor = 268,
    kFogOpacity = 269,
    kFogNear = 270,
    kFogFar = 271,
    kFogPreserveAlpha = 272,
    kFogBlending = 273,
};

constexpr double kPi = 3.14159265358979323846;

// A popup's 1-based choice, or the first one for a value outside 1..count:
// popups declared with a default of 0 deliver 0 until the user picks one.
int32_t choice(PF_ParamDef* const params[], int index, int32_t count) {
    const int32_t value = popup_param(params, index);
    return value >= 1 && value <= count ? value : 1;
}

float percent(PF_ParamDef* const params[], int index) { return static_cast<float>(float_param(params, index) / 100.0); }

// A colour parameter's red, green and blue as fractions of 255.
void store_unit_rgb(const PF_Pixel& colour, float rgb[3]) {
    rgb[0] = colour.red / 255.0f;
    rgb[1] = colour.green / 255.0f;
    rgb[2] = colour.blue / 255.0f;
}

bool usable_ratio(const PF_RationalScale& r) { return r.num > 0 && r.den != 0; }
double ratio(const PF_RationalScale& r) { return ratio_value(r.num, r.den); }

Vec3d add(const Vec3d& a, const Vec3d& b) { return Vec3d(a.x + b.x, a.y + b.y, a.z + b.z); }
Vec3d scaled(const Vec3d& v, double s) { return Vec3d(v.x * s, v.y * s, v.z * s); }

constexpr double kDefaultCameraDistance = 444.444444;

}  // namespace

PF_Err build_time_variable_parameters(const PF_InData* in_data, PF_ParamDef* params[], SequenceData* sequence_data,
                                      const ControlPointGrid* grid, const PF_EffectWorld* input_world) {
    if (sequence_data == nullptr || in_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    // The frame size is divided by these factors.
    if (!usable_ratio(in_data->downsample_x) || !usable_ratio(in_data->downsample_y)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    RenderSettings& rs = sequence_data->render_settings;
    rs.render_mode = choice(params, kRenderMode, 3) - 1;
    rs.level = 0;
    rs.adaptive = checkbox_param(params, kAdaptive) ? 1 : 0;
    rs.subdivisions = RenderSettings::clamp_subdivisions(param_at(params, kSubdivisions).u.fd.value, rs.adaptive != 0);
    rs.max_iterations = slider_param(params, kMaxIterations);
    rs.tolerance = static_cast<float>(float_param(params, kTolerance));
    rs.has_displacement = layer_has_pixels(params, kDisplacementLayer) ? 1 : 0;
    rs.use_alpha_as_mask = checkbox_param(params, kUseAlphaAsMask) ? 1 : 0;
    rs.polygonal_alpha_clip = checkbox_param(params, kPolygonalAlphaClip) ? 1 : 0;
    rs.premultiply = checkbox_param(params, kPremultiply) ? 1 : 0;
    rs.displacement_channel = choice(params, kUseLayers, 5) - 1;
    rs.displacement_height = RenderSettings::clamp_displacement_height(fixed_param(params, kDisplacementHeight));
    rs.alpha_level = percent(params, kAlphaLevel);
    rs.thickness = 0.0f;
    rs.noise_amplitude = static_cast<float>(float_param(params, kNoiseAmplitude) / rs.displacement_height);
    rs.noise_evolution = static_cast<float>(float_param(params, kNoiseEvolution));
    rs.noise_frequency = static_cast<float>(float_param(params, kNoiseFrequency));
    const double direction = angle_param(params, kNoiseDirection) * kPi / 180.0;
    rs.noise_direction[0] = static_cast<float>(std::sin(direction));
    rs.noise_direction[1] = static_cast<float>(-std::cos(direction));
    rs.noise_speed = percent(params, kNoiseSpeed);
    rs.noise_x_frequency = percent(params, kNoiseXFrequency);
    rs.noise_y_frequency = percent(params, kNoiseYFrequency);
    rs.noise_sources = slider_param(params, kNoiseSources);
    rs.noise_amplitude_multiplier = static_cast<float>(float_param(params, kNoiseAmplitudeMultiplier));
    rs.noise_frequency_multiplier = static_cast<float>(float_param(params, kNoiseFrequencyMultiplier));
    rs.noise_start = percent(params, kNoiseStart);
    rs.noise_smooth_start = percent(params, kNoiseSmoothStart);
    rs.noise_stop = percent(params, kNoiseStop);
    rs.noise_smooth_stop = percent(params, kNoiseSmoothStop);
    rs.noise_channel = choice(params, kUseForNoise, 13) - 3;

    rs.layer_size[0] = in_data->width;
    rs.layer_size[1] = in_data->height;
    const double down_x = ratio(in_data->downsample_x);
    const double down_y = ratio(in_data->downsample_y);
    rs.downsample[0] = static_cast<float>(down_x);
    rs.downsample[1] = static_cast<float>(down_y);
    rs.frame_size = input_frame_size(in_data, input_world, rs.frame_size);
    if (input_world != nullptr && input_world->data != nullptr) {
        rs.frame_origin[0] = checked_pixels(std::trunc(input_world->origin_x / down_x));
        rs.frame_origin[1] = checked_pixels(std::trunc(input_world->origin_y / down_y));
    }
    rs.pre_blur = float_param(params, kPreBlur);

    if (grid != nullptr) sequence_data->grid = *grid;
    if (checkbox_param(params, kAutoTangentsEnable)) {
        AutoTangentSettings tangents;
        tangents.enable = 1;
        tangents.tension = (100.0 + float_param(params, kTangentTension)) / 100.0;
        tangents.rows_endpoints_bias = angle_param(params, kRowsEndpointsBias);
        tangents.rows_midpoints_bias = angle_param(params, kRowsMidpointsBias);
        tangents.cols_endpoints_bias = angle_param(params, kColsEndpointsBias);
        tangents.cols_midpoints_bias = angle_param(params, kColsMidpointsBias);
        tangents.rows_endpoint_opposite = checkbox_param(params, kRowsEndpointOpposite) ? 1 : 0;
        tangents.cols_endpoint_opposite = checkbox_param(params, kColsEndpointOpposite) ? 1 : 0;
        ControlPointGrid& g = sequence_data->grid;
        g.compute_auto_tangents(g.columns(), g.rows(), tangents);
    }
    return PF_Err_NONE;
}

TSize2D input_frame_size(const PF_InData* in_data, const PF_EffectWorld* input_world, TSize2D fallback) {
    if (input_world == nullptr || input_world->data == nullptr) return fallback;
    // Truncated, as the frame size has always been; the check refuses a
    // factor so small that the quotient leaves the integers.
    return TSize2D{checked_pixels(std::trunc(input_world->width / ratio(in_data->downsample_x))),
                   checked_pixels(std::trunc(input_world->height / ratio(in_data->downsample_y)))};
}

AntialiasingLevels antialiasing_levels(int32_t choice_value) {
    static const AntialiasingLevels kRows[6] = {{0, 0}, {4, 0}, {4, 4}, {4, 8}, {4, 16}, {4, 24}};
    return choice_value >= 1 && choice_value <= 6 ? kRows[choice_value - 1] : kRows[0];
}

std::optional<int32_t> transparency_layers(int32_t choice_value) {
    switch (choice_value) {
        case 2: return 2;
        case 3: return 4;
        case 4: return -1;
        default: return std::nullopt;
    }
}

uint32_t environment_map_mode(int32_t choice_value) {
    return choice_value >= 1 && choice_value <= 3 ? static_cast<uint32_t>(choice_value - 1) : 0u;
}

std::shared_ptr<ShaderParameters> make_shader_parameters(PF_ParamDef* params[], TSize2D comp_size) {
    auto s = std::make_shared<ShaderParameters>();
    std::uint32_t* channels[5] = {&s->specular_map_channel, &s->shininess_map_channel, &s->metal_map_channel,
                                  &s->opacity_map_channel, &s->reflection_map_channel};
    for (int i = 0; i < 5; ++i) {
        // "None", a separator, then the channels: the shaders read the
        // difference as a signed choice, so "None" arrives as -2.
        *channels[i] = static_cast<std::uint32_t>(choice(params, kUseForSpecular + i, 13) - 3);
    }
    s->reflection_blending = static_cast<std::uint32_t>(choice(params, kReflectionBlending, 30) - 1);
    s->reflection_offset_x = static_cast<float>(angle_param(params, kHorizontalOffset) * kPi / 180.0);
    s->reflection_offset_y = static_cast<float>(angle_param(params, kVerticalOffset) * kPi / 180.0);

    s->fog_type = static_cast<std::uint32_t>(choice(params, kFogType, 3) - 1);
    s->fog_intensity = percent(params, kFogIntensity);
    store_unit_rgb(color_param(params, kFogColor), s->fog_color);
    s->fog_opacity = percent(params, kFogOpacity);
    s->fog_near = static_cast<float>(float_param(params, kFogNear));
    s->fog_far = static_cast<float>(float_param(params, kFogFar));
    s->fog_blending = static_cast<std::uint32_t>(choice(params, kFogBlending, 30) - 1);
    s->fog_preserve_alpha = percent(params, kFogPreserveAlpha);

    s->mist_type = static_cast<std::uint32_t>(choice(params, kMistType, 3) - 1);
    s->mist_intensity = percent(params, kMistIntensity);
    store_unit_rgb(color_param(params, kMistColor), s->mist_color);
    s->mist_opacity = percent(params, kMistOpacity);
    // The user places the mist relative to the composition's centre; the
    // shaders work in the composition's own coordinates.
    const double offsets[3] = {comp_size.width / 2.0, comp_size.height / 2.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        s->mist_near[i] = static_cast<float>(float_param(params, kMistNearX + i) + offsets[i]);
        s->mist_far[i] = static_cast<float>(float_param(params, kMistFarX + i) + offsets[i]);
    }
    s->mist_blending = static_cast<std::uint32_t>(choice(params, kMistBlending, 30) - 1);
    s->mist_preserve_alpha = percent(params, kMistPreserveAlpha);

    s->fresnel_bias = percent(params, kFresnelStart);
    s->fresnel_scale = percent(params, kFresnelStop) - s->fresnel_bias;
    s->fresnel_power = percent(params, kFresnelPower);
    s->fresnel_display = checkbox_param(params, kFresnelForOpacity) ? 1.0f : 0.0f;
    return s;
}

ModelingTransform make_modeling_transform(const PF_InData* in_data, PF_ParamDef* params[],
                                          const SequenceData& sequence_data, const IVirtualCameraParameters& camera,
                                          int layer_kind) {
    if (in_data == nullptr) throw std::invalid_argument("a layer transform needs the host's frame description");
    const RenderSettings& rs = sequence_data.render_settings;
    ModelingTransform t;
    // Text and shape layers have their origin where the composition's is, so
    // a transform tied to them is measured from the frame's centre instead.
    double offset_x = 0.0, offset_y = 0.0;
    if (checkbox_param(params, kTieToLayer) && (layer_kind == kTextLayer || layer_kind == kShapeLayer)) {
        offset_x = rs.frame_origin[0] + (rs.frame_size.width / 2.0 - rs.comp_size[0] / 2.0);
        offset_y = rs.frame_origin[1] + (rs.frame_size.height / 2.0 - rs.comp_size[1] / 2.0);
    }
    t.position = Vec3d(fixed_param(params, kPositionX), fixed_param(params, kPositionX + 1),
                       fixed_param(params, kPositionX + 2));
    t.rotation = Vec3d(angle_param(params, kRotationX), angle_param(params, kRotationX + 1),
                       angle_param(params, kRotationX + 2));
    t.anchor = Vec3d(fixed_param(params, kAnchorX) - offset_x, fixed_param(params, kAnchorX + 1) - offset_y,
                     fixed_param(params, kAnchorX + 2));
    t.scale = Vec3d(float_param(params, kScaleX) / 100.0 * layer_pixel_aspect(in_data),
                    float_param(params, kScaleY) / 100.0, float_param(params, kScaleZ) / 100.0);
    t.orientation = Vec3d(0.0, 0.0, 0.0);
    const double down_x = ratio(in_data->downsample_x);
    const double down_y = ratio(in_data->downsample_y);
    t.position_2d[0] = float_param(params, kPosition2dX) * down_x;
    t.position_2d[1] = float_param(params, kPosition2dY) * down_y;
    t.anchor_2d[0] = float_param(params, kAnchor2dX) * down_x;
    t.anchor_2d[1] = float_param(params, kAnchor2dY) * down_y;
    t.camera_view = *camera.view_transform();
    t.camera_projection = *camera.projection_matrix();
    const RenderSize viewport = camera.render_size();
    t.viewport_size[0] = viewport.width;
    t.viewport_size[1] = viewport.height;
    t.comp_size[0] = rs.comp_size[0];
    t.comp_size[1] = rs.comp_size[1];

    const Matrix4d m = layer_matrix(rs.comp_size[0], rs.comp_size[1], t.position, t.orientation, t.rotation,
                                    t.scale, t.anchor);
    // The 2-D position and anchor are in output pixels: moved in the
    // camera's image plane by the world size of a pixel at the layer, they
    // shift the layer on screen by that many pixels at any distance.
    const ScreenProjector projector(m, t.camera_view, t.camera_projection, viewport.width, viewport.height);
    double sx = 0.0, sy = 0.0;
    projector.pixel_size(sx, sy);
    const Vec3d x_axis = projector.camera_x_axis();
    const Vec3d y_axis = projector.camera_y_axis();
    const Vec3d p = add(scaled(x_axis, sx * t.position_2d[0]), scaled(y_axis, sy * t.position_2d[1]));
    const Vec3d a = add(scaled(x_axis, sx * t.anchor_2d[0]), scaled(y_axis, sy * t.anchor_2d[1]));
    Matrix4d final_matrix;
    final_matrix.translate(p.x, p.y, p.z);
    final_matrix.translate(-a.x, -a.y, -a.z);
    t.modeling_matrix = final_matrix * m;
    return t;
}

void update_comp_camera_matrix(const PF_InData* in_data, SequenceData& sequence_data,
                               const CompCameraReading& reading) {
    RenderSettings& rs = sequence_data.render_settings;
    rs.comp_size[0] = reading.comp_size.width;
    rs.comp_size[1] = reading.comp_size.height;
    rs.comp_pixel_aspect[0] = reading.comp_pixel_aspect.num;
    rs.comp_pixel_aspect[1] = static_cast<int32_t>(reading.comp_pixel_aspect.den);
    if (rs.layer_size[0] == 0) {
        // Before the first render the interface still needs sizes to draw in.
        rs.layer_size[0] = reading.comp_size.width;
        rs.layer_size[1] = reading.comp_size.height;
        rs.frame_size = reading.comp_size;
        if (in_data != nullptr && usable_ratio(in_data->downsample_x) && usable_ratio(in_data->downsample_y)) {
            rs.downsample[0] = static_cast<float>(ratio(in_data->downsample_x));
            rs.downsample[1] = static_cast<float>(ratio(in_data->downsample_y));
        }
    }

    Matrix4d m;
    double zoom = 0.0;
    if (reading.has_camera) {
        m = reading.layer_to_world;
        zoom = reading.zoom;
        // A camera placed this far away stands for an orthographic view: its
        // zoom is taken from the matrix's scale instead.
        if (std::fabs(m[12]) > 45000.0 || std::fabs(m[13]) > 45000.0 || std::fabs(m[14]) > 45000.0) {
            const double sum = std::fabs(m[0] + m[1] + m[2]);
            zoom = sum == 0.0 ? 50000.0 : 50000.0 / sum;
        }
    } else {
        // The host's default view: square pixels on screen, looking at the
        // composition's centre from the default distance.
        const A_Ratio& par = reading.comp_pixel_aspect;
        m[0] = par.num > 0 && par.den != 0 ? static_cast<double>(par.den) / static_cast<double>(par.num) : 1.0;
        m[12] = reading.comp_size.width / 2.0;
        m[13] = reading.comp_size.height / 2.0;
        m[14] = -kDefaultCameraDistance;
        zoom = kDefaultCameraDistance;
    }
    sequence_data.comp_camera = m;
    sequence_data.comp_camera_zoom = zoom;
}

std::string triangle_count_text(uint32_t triangles) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f K triangles", triangles / 1000.0);
    return text;
}

std::string iteration_count_text(int32_t iterations) {
    return std::to_string(iterations) + " completed iterations";
}

}  // namespace tavrel
