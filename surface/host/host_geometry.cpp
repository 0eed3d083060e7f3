#include "surface/host/host_geometry.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/engine_errors.h"

namespace tavrel {

Matrix4d matrix_from_host(const A_Matrix4& m) {
    Matrix4d out;
    std::memcpy(&out[0], &m.mat[0][0], sizeof(double) * 16);
    return out;
}

double ratio_value(int32_t numerator, uint32_t denominator) {
    if (denominator == 0 || numerator <= 0) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    return double(numerator) / double(denominator);
}

int32_t checked_pixels(double value, const char* what) {
    // A layer may lie as far from the comp as a scene places it; half the
    // integers leave room for a position plus a size.
    constexpr double kLimit = 1073741824.0;
    if (!std::isfinite(value) || std::fabs(value) > kLimit) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", value);
        throw PluginError("The " + std::string(what) + " is " + text +
                          " pixels; a frame's pixel positions and sizes hold at most 1073741824.");
    }
    return int32_t(std::lround(value));
}

A_Time effect_to_comp_time(HostSuites& suites, const PF_InData* in_data) {
    A_Time t{};
    check_pf_err(suites.pf_interface_suite().AEGP_ConvertEffectToCompTime(
        in_data->effect_ref, in_data->current_time, in_data->time_scale, &t));
    return t;
}

A_Time effect_to_comp_time(const PF_InData* in_data) {
    HostSuites suites(in_data);
    return effect_to_comp_time(suites, in_data);
}

AEGP_LayerH get_effect_layer(HostSuites& suites, const PF_InData* in_data) {
    AEGP_LayerH layer = nullptr;
    check_pf_err(suites.pf_interface_suite().AEGP_GetEffectLayer(in_data->effect_ref, &layer));
    return layer;
}

AEGP_CompH get_effect_comp(HostSuites& suites, const PF_InData* in_data) {
    AEGP_CompH comp = nullptr;
    check_pf_err(suites.layer_suite().AEGP_GetLayerParentComp(get_effect_layer(suites, in_data), &comp));
    return comp;
}

namespace {

AEGP_ItemH comp_item(HostSuites& suites, const PF_InData* in_data) {
    AEGP_ItemH item = nullptr;
    check_pf_err(suites.comp_suite().AEGP_GetItemFromComp(get_effect_comp(suites, in_data), &item));
    return item;
}

}  // namespace

TSize2D get_comp_dimensions(HostSuites& suites, const PF_InData* in_data) {
    A_long width = 0, height = 0;
    check_pf_err(suites.item_suite().AEGP_GetItemDimensions(comp_item(suites, in_data), &width, &height));
    return TSize2D{width, height};
}

TSize2D get_comp_dimensions(const PF_InData* in_data) {
    HostSuites suites(in_data);
    return get_comp_dimensions(suites, in_data);
}

A_Ratio comp_pixel_aspect(HostSuites& suites, const PF_InData* in_data) {
    A_Ratio ratio{1, 1};
    check_pf_err(suites.item_suite().AEGP_GetItemPixelAspectRatio(comp_item(suites, in_data), &ratio));
    return ratio;
}

double comp_pixel_aspect_ratio(HostSuites& suites, const PF_InData* in_data) {
    const A_Ratio ratio = comp_pixel_aspect(suites, in_data);
    return ratio_value(ratio.num, ratio.den);
}

double comp_pixel_aspect_ratio(const PF_InData* in_data) {
    HostSuites suites(in_data);
    return comp_pixel_aspect_ratio(suites, in_data);
}

double layer_pixel_aspect(const PF_InData* in_data) {
    return ratio_value(in_data->pixel_aspect_ratio.num, in_data->pixel_aspect_ratio.den);
}

std::array<double, 2> downsampled_comp_size(const PF_InData* in_data) {
    HostSuites suites(in_data);
    const TSize2D comp = get_comp_dimensions(suites, in_data);
    const double aspect = comp_pixel_aspect_ratio(suites, in_data) / layer_pixel_aspect(in_data);
    return {comp.width * ratio_value(in_data->downsample_x.num, in_data->downsample_x.den) * aspect,
            comp.height * ratio_value(in_data->downsample_y.num, in_data->downsample_y.den)};
}

void check_frame_ratios(const PF_InData* in_data) {
    if (in_data == nullptr) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    ratio_value(in_data->downsample_x.num, in_data->downsample_x.den);
    ratio_value(in_data->downsample_y.num, in_data->downsample_y.den);
    layer_pixel_aspect(in_data);
    HostSuites suites(in_data);
    comp_pixel_aspect_ratio(suites, in_data);
}

Vec3d query_layer_vector(HostSuites& suites, AEGP_LayerH layer, const A_Time& comp_time) {
    A_Matrix4 m{};
    check_pf_err(suites.layer_suite().AEGP_GetLayerToWorldXform(layer, &comp_time, &m));
    return Vec3d{m.mat[3][0], m.mat[3][1], m.mat[3][2]};
}

CompExtent comp_extent(const PF_InData* in_data) {
    HostSuites suites(in_data);
    const A_Time comp_time = effect_to_comp_time(suites, in_data);
    const Vec3d t = query_layer_vector(suites, get_effect_layer(suites, in_data), comp_time);
    const double r = comp_pixel_aspect_ratio(suites, in_data) / layer_pixel_aspect(in_data);
    const double dsx = ratio_value(in_data->downsample_x.num, in_data->downsample_x.den);
    const double dsy = ratio_value(in_data->downsample_y.num, in_data->downsample_y.den);
    const std::array<double, 2> size = downsampled_comp_size(in_data);
    return CompExtent{-(t.x * r * dsx), -(t.y * dsy), size[0], size[1]};
}

PF_LRect whole_pixel_rect(const CompExtent& extent) {
    PF_LRect rect{};
    rect.left = checked_pixels(extent.left, "comp's left edge seen from the layer");
    rect.top = checked_pixels(extent.top, "comp's top edge seen from the layer");
    rect.right = rect.left + checked_pixels(extent.width, "comp's width in layer pixels");
    rect.bottom = rect.top + checked_pixels(extent.height, "comp's height in layer pixels");
    return rect;
}

TSize2D layer_source_size(const PF_InData* in_data) {
    HostSuites suites(in_data);
    AEGP_ItemH item = nullptr;
    check_pf_err(suites.layer_suite().AEGP_GetLayerSourceItem(get_effect_layer(suites, in_data), &item));
    if (item == nullptr) return TSize2D{};
    A_long width = 0, height = 0;
    check_pf_err(suites.item_suite().AEGP_GetItemDimensions(item, &width, &height));
    return TSize2D{width, height};
}

PF_LRect output_rect(const PF_InData* in_data) { return whole_pixel_rect(comp_extent(in_data)); }

int effect_layer_kind(const PF_InData* in_data) {
    HostSuites suites(in_data);
    AEGP_LayerH layer = get_effect_layer(suites, in_data);
    AEGP_ObjectType type = AEGP_ObjectType_AV;
    check_pf_err(suites.layer_suite().AEGP_GetLayerObjectType(layer, &type));
    switch (type) {
        case AEGP_ObjectType_TEXT: return kTextLayer;
        case AEGP_ObjectType_VECTOR: return kShapeLayer;
        case AEGP_ObjectType_LIGHT: return kLightLayer;
        case AEGP_ObjectType_CAMERA: return kCameraLayer;
        default: break;
    }
    AEGP_ItemH item = nullptr;
    check_pf_err(suites.layer_suite().AEGP_GetLayerSourceItem(layer, &item));
    if (item == nullptr) return kOtherLayer;
    AEGP_ItemType item_type = AEGP_ItemType_NONE;
    check_pf_err(suites.item_suite().AEGP_GetItemType(item, &item_type));
    if (item_type == AEGP_ItemType_COMP) return kCompLayer;
    if (item_type != AEGP_ItemType_FOOTAGE) return kOtherLayer;
    AEGP_FootageH footage = nullptr;
    check_pf_err(suites.footage_suite().AEGP_GetMainFootageFromItem(item, &footage));
    AEGP_FootageSignature signature = 0;
    check_pf_err(suites.footage_suite().AEGP_GetFootageSignature(footage, &signature));
    return signature == AEGP_FootageSignature_SOLID ? kSolidLayer : kFootageLayer;
}

}  // namespace tavrel
