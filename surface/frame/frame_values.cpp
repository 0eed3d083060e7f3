#include "surface/frame/frame_values.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "engine/core/engine_errors.h"
#include "engine/shaders/shader_parameters.h"
#include "surface/grid/auto_tangent_settings.h"
#include "surface/grid/control_point_grid.h"
#include "surface/host/ae_material_adaptor.h"
#include "surface/host/host_geometry.h"
#include "surface/host/param_values.h"
#include "surface/mesh/render_settings.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

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

constexpr double kDefaultCameraDistance = 444.444444;

// How many choices the popups read here declare.
constexpr int32_t kRenderModeChoices = 3;
constexpr int32_t kUseLayersChoices = 5;
constexpr int32_t kMapChannelChoices = 13;
constexpr int32_t kBlendingChoices = 30;
constexpr int32_t kMistTypeChoices = 3;

}  // namespace

PF_Err build_time_variable_parameters(const PF_InData* in_data, PF_ParamDef* params[], SequenceData* sequence_data,
                                      const ControlPointGrid* grid, const PF_EffectWorld* input_world,
                                      const RenderParamIndices& at) {
    if (sequence_data == nullptr || in_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    // The frame size is divided by these factors.
    if (!usable_ratio(in_data->downsample_x) || !usable_ratio(in_data->downsample_y)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    RenderSettings& rs = sequence_data->render_settings;
    rs.render_mode = choice(params, at.render_mode, kRenderModeChoices) - 1;
    rs.level = 0;
    rs.adaptive = checkbox_param(params, at.adaptive) ? 1 : 0;
    rs.subdivisions = RenderSettings::clamp_subdivisions(param_at(params, at.adaptive + at.kSubdivisions).u.fd.value,
                                                         rs.adaptive != 0);
    rs.max_iterations = slider_param(params, at.adaptive + at.kMaxIterations);
    rs.tolerance = static_cast<float>(float_param(params, at.adaptive + at.kTolerance));
    rs.has_displacement = layer_has_pixels(params, at.displacement_layer) ? 1 : 0;
    rs.use_alpha_as_mask = checkbox_param(params, at.displacement_layer + at.kUseAlphaAsMask) ? 1 : 0;
    rs.polygonal_alpha_clip = checkbox_param(params, at.displacement_layer + at.kPolygonalAlphaClip) ? 1 : 0;
    rs.premultiply = checkbox_param(params, at.displacement_layer + at.kPremultiply) ? 1 : 0;
    rs.displacement_channel = choice(params, at.displacement_layer + at.kUseLayers, kUseLayersChoices) - 1;
    rs.displacement_height =
        RenderSettings::clamp_displacement_height(fixed_param(params, at.displacement_layer + at.kDisplacementHeight));
    rs.alpha_level = percent(params, at.alpha_level);
    // Only an extruded surface has a thickness; it lifts every layer of it.
    rs.thickness = at.thickness > 0 ? static_cast<float>(float_param(params, at.thickness)) : 0.0f;
    rs.noise_amplitude = static_cast<float>(float_param(params, at.noise_amplitude) / rs.displacement_height);
    rs.noise_evolution = static_cast<float>(float_param(params, at.noise_amplitude + at.kNoiseEvolution));
    rs.noise_frequency = static_cast<float>(float_param(params, at.noise_amplitude + at.kNoiseFrequency));
    const double direction = angle_param(params, at.noise_amplitude + at.kNoiseDirection) * kPi / 180.0;
    rs.noise_direction[0] = static_cast<float>(std::sin(direction));
    rs.noise_direction[1] = static_cast<float>(-std::cos(direction));
    rs.noise_speed = percent(params, at.noise_amplitude + at.kNoiseSpeed);
    rs.noise_x_frequency = percent(params, at.noise_amplitude + at.kNoiseXFrequency);
    rs.noise_y_frequency = percent(params, at.noise_amplitude + at.kNoiseYFrequency);
    rs.noise_sources = slider_param(params, at.noise_amplitude + at.kNoiseSources);
    rs.noise_amplitude_multiplier =
        static_cast<float>(float_param(params, at.noise_amplitude + at.kNoiseAmplitudeMultiplier));
    rs.noise_frequency_multiplier =
        static_cast<float>(float_param(params, at.noise_amplitude + at.kNoiseFrequencyMultiplier));
    rs.noise_start = percent(params, at.noise_amplitude + at.kNoiseStart);
    rs.noise_smooth_start = percent(params, at.noise_amplitude + at.kNoiseSmoothStart);
    rs.noise_stop = percent(params, at.noise_amplitude + at.kNoiseStop);
    rs.noise_smooth_stop = percent(params, at.noise_amplitude + at.kNoiseSmoothStop);
    rs.noise_channel = choice(params, at.use_for_specular + at.kUseForNoise, kMapChannelChoices) - 3;

    rs.layer_size[0] = in_data->width;
    rs.layer_size[1] = in_data->height;
    const double down_x = ratio(in_data->downsample_x);
    const double down_y = ratio(in_data->downsample_y);
    rs.downsample[0] = static_cast<float>(down_x);
    rs.downsample[1] = static_cast<float>(down_y);
    rs.frame_size = input_frame_size(in_data, input_world, rs.frame_size);
    if (input_world != nullptr && input_world->data != nullptr) {
        rs.frame_origin[0] = checked_pixels(std::trunc(input_world->origin_x / down_x), "frame's left edge");
        rs.frame_origin[1] = checked_pixels(std::trunc(input_world->origin_y / down_y), "frame's top edge");
    }
    rs.pre_blur = float_param(params, at.alpha_level + at.kPreBlur);

    if (grid != nullptr) sequence_data->grid = *grid;
    if (at.auto_tangents_enable > 0 && checkbox_param(params, at.auto_tangents_enable)) {
        AutoTangentSettings tangents;
        tangents.enable = 1;
        tangents.tension = (100.0 + float_param(params, at.auto_tangents_enable + at.kTangentTension)) / 100.0;
        tangents.rows_endpoints_bias = angle_param(params, at.auto_tangents_enable + at.kRowsEndpointsBias);
        tangents.rows_midpoints_bias = angle_param(params, at.auto_tangents_enable + at.kRowsMidpointsBias);
        tangents.cols_endpoints_bias = angle_param(params, at.auto_tangents_enable + at.kColsEndpointsBias);
        tangents.cols_midpoints_bias = angle_param(params, at.auto_tangents_enable + at.kColsMidpointsBias);
        tangents.rows_endpoint_opposite =
            checkbox_param(params, at.auto_tangents_enable + at.kRowsEndpointOpposite) ? 1 : 0;
        tangents.cols_endpoint_opposite =
            checkbox_param(params, at.auto_tangents_enable + at.kColsEndpointOpposite) ? 1 : 0;
        ControlPointGrid& g = sequence_data->grid;
        g.compute_auto_tangents(g.columns(), g.rows(), tangents);
    }
    return PF_Err_NONE;
}

void check_grid_within_reach(const ControlPointGrid& grid, TSize2D frame_size) {
    if (frame_size.width <= 0 || frame_size.height <= 0) return;
    static const char* const kTangents[LX_Cp::kHandles] = {"", "-x", "+x", "-y", "+y"};
    const double half[3] = {0.5 * frame_size.width, 0.5 * frame_size.height, 0.5 * frame_size.width};
    for (int r = 0; r <= grid.rows(); ++r) {
        for (int c = 0; c <= grid.columns(); ++c) {
            const LX_Cp& p = grid.point(grid.slot_index(r, c));
            // The tangents at the grid's border that point out of it enter
            // no cell.
            const bool used[LX_Cp::kHandles] = {true, c > 0, c < grid.columns(), r > 0, r < grid.rows()};
            for (int k = 0; k < LX_Cp::kHandles; ++k) {
                if (!used[k]) continue;
                const ControlHandle& h = p.handle(k);
                const float coordinates[3] = {h.x, h.y, h.z};
                for (int axis = 0; axis < 3; ++axis) {
                    const double pixels = half[axis] * double(coordinates[axis]);
                    if (std::fabs(pixels) <= kGridReachPixels) continue;
                    char at[64];
                    std::snprintf(at, sizeof at, "%c = %g", "xyz"[axis], pixels);
                    const std::string point =
                        "grid point R" + std::to_string(r + 1) + "-P" + std::to_string(c + 1);
                    throw PluginError((k == 0 ? "G" + point.substr(1) : "The " + std::string(kTangents[k]) +
                                                                           " tangent of " + point) +
                                      " is at " + at + " pixels; a grid point may lie at most " +
                                      std::to_string(int64_t(kGridReachPixels)) +
                                      " pixels from the layer's centre along each axis.");
                }
            }
        }
    }
}

TSize2D input_frame_size(const PF_InData* in_data, const PF_EffectWorld* input_world, TSize2D fallback) {
    if (input_world == nullptr || input_world->data == nullptr) return fallback;
    // Truncated, as the frame size has always been; the check refuses a
    // factor so small that the quotient leaves the integers.
    return TSize2D{checked_pixels(std::trunc(input_world->width / ratio(in_data->downsample_x)), "frame's width"),
                   checked_pixels(std::trunc(input_world->height / ratio(in_data->downsample_y)), "frame's height")};
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

std::shared_ptr<ShaderParameters> make_shader_parameters(PF_ParamDef* params[], TSize2D comp_size,
                                                         const RenderParamIndices& at) {
    auto s = std::make_shared<ShaderParameters>();
    std::uint32_t* channels[5] = {&s->specular_map_channel, &s->shininess_map_channel, &s->metal_map_channel,
                                  &s->opacity_map_channel, &s->reflection_map_channel};
    for (int i = 0; i < 5; ++i) {
        // "None", a separator, then the channels: the shaders read the
        // difference as a signed choice, so "None" arrives as -2.
        *channels[i] = static_cast<std::uint32_t>(
            choice(params, at.use_for_specular + at.kUseForSpecular + i, kMapChannelChoices) - 3);
    }
    s->reflection_blending =
        static_cast<std::uint32_t>(choice(params, at.reflection_layer + at.kReflectionBlending, kBlendingChoices) - 1);
    s->reflection_offset_x =
        static_cast<float>(angle_param(params, at.reflection_layer + at.kReflectionHorizontalOffset) * kPi / 180.0);
    s->reflection_offset_y =
        static_cast<float>(angle_param(params, at.reflection_layer + at.kReflectionVerticalOffset) * kPi / 180.0);

    s->fog_type = static_cast<std::uint32_t>(choice(params, at.mist_type + at.kFogType, kMistTypeChoices) - 1);
    s->fog_intensity = percent(params, at.mist_type + at.kFogIntensity);
    store_unit_rgb(color_param(params, at.mist_type + at.kFogColor), s->fog_color);
    s->fog_opacity = percent(params, at.mist_type + at.kFogOpacity);
    s->fog_near = static_cast<float>(float_param(params, at.mist_type + at.kFogNear));
    s->fog_far = static_cast<float>(float_param(params, at.mist_type + at.kFogFar));
    s->fog_blending = static_cast<std::uint32_t>(choice(params, at.mist_type + at.kFogBlending, kBlendingChoices) - 1);
    s->fog_preserve_alpha = percent(params, at.mist_type + at.kFogPreserveAlpha);

    s->mist_type = static_cast<std::uint32_t>(choice(params, at.mist_type, kMistTypeChoices) - 1);
    s->mist_intensity = percent(params, at.mist_type + at.kMistIntensity);
    store_unit_rgb(color_param(params, at.mist_type + at.kMistColor), s->mist_color);
    s->mist_opacity = percent(params, at.mist_type + at.kMistOpacity);
    // The user places the mist relative to the composition's centre; the
    // shaders work in the composition's own coordinates.
    const double offsets[3] = {comp_size.width / 2.0, comp_size.height / 2.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        s->mist_near[i] = static_cast<float>(float_param(params, at.mist_type + at.kMistNearX + i) + offsets[i]);
        s->mist_far[i] = static_cast<float>(float_param(params, at.mist_type + at.kMistFarX + i) + offsets[i]);
    }
    s->mist_blending =
        static_cast<std::uint32_t>(choice(params, at.mist_type + at.kMistBlending, kBlendingChoices) - 1);
    s->mist_preserve_alpha = percent(params, at.mist_type + at.kMistPreserveAlpha);

    s->fresnel_bias = percent(params, at.ambient + kFresnelStart);
    s->fresnel_scale = percent(params, at.ambient + kFresnelStop) - s->fresnel_bias;
    s->fresnel_power = percent(params, at.ambient + kFresnelPower);
    s->fresnel_display = checkbox_param(params, at.ambient + kFresnelUseForOpacity) ? 1.0f : 0.0f;
    return s;
}

ModelingTransform make_modeling_transform(const PF_InData* in_data, PF_ParamDef* params[],
                                          const SequenceData& sequence_data, const IVirtualCameraParameters& camera,
                                          int layer_kind, const RenderParamIndices& at, TSize2D layer_size) {
    if (in_data == nullptr) throw std::invalid_argument("a layer transform needs the host's frame description");
    const RenderSettings& rs = sequence_data.render_settings;
    ModelingTransform t;
    // Text and shape layers have their origin where the composition's is, so
    // a transform tied to them is measured from the frame's centre instead.
    double offset_x = 0.0, offset_y = 0.0;
    if (checkbox_param(params, at.tie_to_layer) && (layer_kind == kTextLayer || layer_kind == kShapeLayer)) {
        offset_x = rs.frame_origin[0] + (rs.frame_size.width / 2.0 - rs.comp_size[0] / 2.0);
        offset_y = rs.frame_origin[1] + (rs.frame_size.height / 2.0 - rs.comp_size[1] / 2.0);
    }
    t.position = Vec3d(fixed_param(params, at.position_x), fixed_param(params, at.position_x + kAxisY),
                       fixed_param(params, at.position_x + kAxisZ));
    t.rotation = Vec3d(angle_param(params, at.rotation_x), angle_param(params, at.rotation_x + kAxisY),
                       angle_param(params, at.rotation_x + kAxisZ));
    t.anchor = Vec3d(fixed_param(params, at.anchor_x) - offset_x, fixed_param(params, at.anchor_x + kAxisY) - offset_y,
                     fixed_param(params, at.anchor_x + kAxisZ));
    // Less than one downsampled pixel past each edge, or nothing: any other
    // difference is not a downsampled layer's last pixel.
    const auto reach = [](int32_t frame, int32_t layer, double down) {
        const double past = double(frame) - double(layer);
        return past > 0.0 && past * down < 1.0 ? past / 2.0 : 0.0;
    };
    if (layer_size.width > 0 && layer_size.height > 0) {
        t.anchor.x -= reach(rs.frame_size.width, layer_size.width, ratio(in_data->downsample_x));
        t.anchor.y -= reach(rs.frame_size.height, layer_size.height, ratio(in_data->downsample_y));
    }
    t.scale = Vec3d(float_param(params, at.scale_x) / 100.0 * layer_pixel_aspect(in_data),
                    float_param(params, at.scale_x + kAxisY) / 100.0, float_param(params, at.scale_x + kAxisZ) / 100.0);
    t.orientation = Vec3d(0.0, 0.0, 0.0);
    const double down_x = ratio(in_data->downsample_x);
    const double down_y = ratio(in_data->downsample_y);
    t.position_2d[0] = float_param(params, at.tie_to_layer + at.kPosition2dX) * down_x;
    t.position_2d[1] = float_param(params, at.tie_to_layer + at.kPosition2dY) * down_y;
    t.anchor_2d[0] = float_param(params, at.tie_to_layer + at.kAnchor2dX) * down_x;
    t.anchor_2d[1] = float_param(params, at.tie_to_layer + at.kAnchor2dY) * down_y;
    t.camera_view = *camera.view_transform();
    t.camera_projection = *camera.projection_matrix();
    const RenderSize viewport = camera.render_size();
    t.viewport_size[0] = viewport.width;
    t.viewport_size[1] = viewport.height;
    t.comp_size[0] = rs.comp_size[0];
    t.comp_size[1] = rs.comp_size[1];

    t.modeling_matrix = modeling_matrix_of(t);
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
