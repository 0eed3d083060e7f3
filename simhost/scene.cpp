#include "simhost/scene.h"

#include <algorithm>

#include "simhost/simhost_error.h"

namespace simhost {

A_Matrix4 identity_matrix() {
    A_Matrix4 m{};
    for (int i = 0; i < 4; ++i) m.mat[i][i] = 1.0;
    return m;
}

A_Matrix4 translation_matrix(double x, double y, double z) {
    A_Matrix4 m = identity_matrix();
    m.mat[3][0] = x;
    m.mat[3][1] = y;
    m.mat[3][2] = z;
    return m;
}

AEGP_StreamVal one_d(double v) {
    AEGP_StreamVal s{};
    s.one_d = v;
    return s;
}

AEGP_StreamVal three_d(double x, double y, double z) {
    AEGP_StreamVal s{};
    s.three_d = {x, y, z};
    return s;
}

AEGP_StreamVal color(double alpha, double red, double green, double blue) {
    AEGP_StreamVal s{};
    s.color = {alpha, red, green, blue};
    return s;
}

Scene::Scene() {
    items_.push_back(std::make_unique<SceneItem>());
    comp_item_ = items_.back().get();
    comp_item_->type = AEGP_ItemType_COMP;
    set_comp(1920, 1080);
    SceneLayer& effect = add_layer(AEGP_ObjectType_AV, "effect layer");
    effect.source = &add_item(AEGP_ItemType_FOOTAGE, 1920, 1080, AEGP_FootageSignature_SOLID);
}

void Scene::set_comp(int32_t width, int32_t height, A_Ratio pixel_aspect) {
    comp_item_->width = width;
    comp_item_->height = height;
    comp_item_->pixel_aspect = pixel_aspect;
}

SceneLayer& Scene::add_layer(AEGP_ObjectType type, const std::string& name) {
    layers_.push_back(std::make_unique<SceneLayer>());
    SceneLayer& l = *layers_.back();
    l.name = name.empty() ? "layer " + std::to_string(layers_.size() - 1) : name;
    l.object_type = type;
    l.to_world.set(identity_matrix());
    // Every layer has a transform; an effect may write expressions into it.
    if (type != AEGP_ObjectType_CAMERA && type != AEGP_ObjectType_LIGHT) {
        l.streams[AEGP_LayerStream_ANCHORPOINT].set(three_d(0, 0, 0));
        l.streams[AEGP_LayerStream_POSITION].set(three_d(0, 0, 0));
        l.streams[AEGP_LayerStream_SCALE].set(three_d(100, 100, 100));
        l.streams[AEGP_LayerStream_ROTATION].set(one_d(0.0));
    }
    return l;
}

SceneItem& Scene::add_item(AEGP_ItemType type, int32_t width, int32_t height,
                           AEGP_FootageSignature signature) {
    items_.push_back(std::make_unique<SceneItem>());
    SceneItem& item = *items_.back();
    item.type = type;
    item.width = width;
    item.height = height;
    item.signature = signature;
    return item;
}

SceneLayer& Scene::add_camera(AEGP_CameraType type) {
    SceneLayer& l = add_layer(AEGP_ObjectType_CAMERA, "camera");
    l.camera_type = type;
    l.streams[AEGP_LayerStream_ANCHORPOINT].set(three_d(0, 0, 0));
    l.streams[AEGP_LayerStream_POSITION].set(three_d(0, 0, 0));
    l.streams[AEGP_LayerStream_ZOOM].set(one_d(1000.0));
    l.streams[AEGP_LayerStream_DEPTH_OF_FIELD].set(one_d(0.0));
    l.streams[AEGP_LayerStream_FOCUS_DISTANCE].set(one_d(1000.0));
    l.streams[AEGP_LayerStream_APERTURE].set(one_d(0.0));
    l.streams[AEGP_LayerStream_BLUR_LEVEL].set(one_d(0.0));
    return l;
}

SceneLayer& Scene::add_light(AEGP_LightType type) {
    SceneLayer& l = add_layer(AEGP_ObjectType_LIGHT, "light");
    l.light_type = type;
    l.streams[AEGP_LayerStream_INTENSITY].set(one_d(100.0));
    l.streams[AEGP_LayerStream_COLOR].set(color(1, 1, 1, 1));
    l.streams[AEGP_LayerStream_CONE_ANGLE].set(one_d(90.0));
    l.streams[AEGP_LayerStream_CONE_FEATHER].set(one_d(50.0));
    l.streams[AEGP_LayerStream_SHADOW_DARKNESS].set(one_d(100.0));
    l.streams[AEGP_LayerStream_SHADOW_DIFFUSION].set(one_d(0.0));
    l.streams[AEGP_LayerStream_CASTS_SHADOWS].set(one_d(1.0));
    return l;
}

void Scene::set_effect_layer(size_t index) {
    if (index >= layers_.size()) throw SimhostError("no layer " + std::to_string(index));
    effect_layer_ = index;
}

SceneLayer* Scene::active_camera() {
    for (auto& l : layers_)
        if (l->object_type == AEGP_ObjectType_CAMERA && l->video_on) return l.get();
    return nullptr;
}

SceneLayer* Scene::find(AEGP_LayerH layer) {
    for (auto& l : layers_)
        if (handle(*l) == layer) return l.get();
    return nullptr;
}

int32_t Scene::index_of(const SceneLayer* layer) const {
    for (size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i].get() == layer) return int32_t(i);
    return -1;
}

SceneItem* Scene::find(AEGP_ItemH item) {
    for (auto& i : items_)
        if (reinterpret_cast<AEGP_ItemH>(i.get()) == item) return i.get();
    return nullptr;
}

}  // namespace simhost
