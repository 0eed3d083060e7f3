// The composition an effect instance sits in, as the scene suites show it:
// the comp's size and pixel aspect ratio, its layers in index order with
// their source items, layer-to-world matrices and property streams, and the
// effect's own layer with its in-point, so that effect time and comp time
// differ. Values are held per comp time: each holds from its time until the
// next one.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/host_scene_suites.h"

namespace simhost {

// A value that changes at given comp times (seconds); before the first key
// the first value holds.
template <class T>
class TimeTrack {
public:
    TimeTrack() = default;
    explicit TimeTrack(const T& value) { keys_[0.0] = value; }
    void set(const T& value) {
        keys_.clear();
        keys_[0.0] = value;
    }
    void set_at(double seconds, const T& value) { keys_[seconds] = value; }
    bool empty() const { return keys_.empty(); }
    const T& at(double seconds) const {
        auto it = keys_.upper_bound(seconds);
        if (it != keys_.begin()) --it;
        return it->second;
    }

private:
    std::map<double, T> keys_;
};

struct SceneItem {
    AEGP_ItemType type = AEGP_ItemType_FOOTAGE;
    int32_t width = 0;
    int32_t height = 0;
    A_Ratio pixel_aspect{1, 1};
    // Footage only.
    AEGP_FootageSignature signature = 0;
};

struct SceneLayer {
    std::string name;
    AEGP_ObjectType object_type = AEGP_ObjectType_AV;
    SceneItem* source = nullptr;  // null for text, shape, light and camera layers
    TimeTrack<A_Matrix4> to_world;
    std::map<AEGP_LayerStream, TimeTrack<AEGP_StreamVal>> streams;
    AEGP_CameraType camera_type = AEGP_CameraType_PERSPECTIVE;
    AEGP_LightType light_type = AEGP_LightType_POINT;
    bool video_on = true;
};

A_Matrix4 identity_matrix();
// The identity with the translation (x, y, z) in its fourth row.
A_Matrix4 translation_matrix(double x, double y, double z);
AEGP_StreamVal one_d(double v);
AEGP_StreamVal three_d(double x, double y, double z);
AEGP_StreamVal color(double alpha, double red, double green, double blue);

class Scene {
public:
    // A 1920 x 1080 square-pixel comp whose only layer, index 0, is the
    // effect's: a solid of the comp's size, at the comp's origin, starting at
    // time 0.
    Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    SceneItem& comp_item() { return *comp_item_; }
    const SceneItem& comp_item() const { return *comp_item_; }
    void set_comp(int32_t width, int32_t height, A_Ratio pixel_aspect = {1, 1});

    // Appends a layer at the next index; its source item, when given, is a
    // new footage item of that signature and size.
    SceneLayer& add_layer(AEGP_ObjectType type, const std::string& name = "");
    SceneItem& add_item(AEGP_ItemType type, int32_t width, int32_t height,
                        AEGP_FootageSignature signature = 0);
    // A camera layer with every stream the camera reads (anchor and position
    // at the origin, zoom and focus distance 1000, depth of field off,
    // aperture and blur level 0).
    SceneLayer& add_camera(AEGP_CameraType type = AEGP_CameraType_PERSPECTIVE);
    // A light layer with every stream a light reads: intensity 100, white,
    // cone 90, feather 50, darkness 100, diffusion 0, casting shadows.
    SceneLayer& add_light(AEGP_LightType type);

    size_t layer_count() const { return layers_.size(); }
    SceneLayer& layer(size_t index) { return *layers_.at(index); }
    SceneLayer& effect_layer() { return *layers_.at(effect_layer_); }
    const SceneLayer& effect_layer() const { return *layers_.at(effect_layer_); }
    void set_effect_layer(size_t index);
    // The effect layer's in-point in comp seconds: effect time 0 is comp
    // time in_point.
    double in_point = 0.0;

    // The first camera layer with its video on, or null.
    SceneLayer* active_camera();

    // Handles as the suites hand them out, and back; an unknown handle gives
    // null.
    AEGP_LayerH handle(SceneLayer& layer) const { return reinterpret_cast<AEGP_LayerH>(&layer); }
    SceneLayer* find(AEGP_LayerH layer);
    int32_t index_of(const SceneLayer* layer) const;
    SceneItem* find(AEGP_ItemH item);
    AEGP_CompH comp_handle() { return reinterpret_cast<AEGP_CompH>(this); }
    bool is_comp(AEGP_CompH comp) const { return comp == reinterpret_cast<AEGP_CompH>(const_cast<Scene*>(this)); }

private:
    std::vector<std::unique_ptr<SceneItem>> items_;
    std::vector<std::unique_ptr<SceneLayer>> layers_;
    SceneItem* comp_item_;
    size_t effect_layer_ = 0;
};

}  // namespace simhost
