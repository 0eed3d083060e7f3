#include "simhost/scene_suites.h"

#include <cmath>

#include "simhost/host.h"

namespace simhost {
namespace {

constexpr A_Err kBadParam = PF_Err_BAD_CALLBACK_PARAM;

double seconds(const A_Time& t) { return t.scale == 0 ? 0.0 : double(t.value) / double(t.scale); }

bool is_effect(PF_ProgPtr effect_ref) { return effect_ref == Host::current().in_data().effect_ref; }

SceneLayer* layer_of(AEGP_LayerH layer) { return Host::current().scene().find(layer); }

A_Err get_layer_parent_comp(AEGP_LayerH layer, AEGP_CompH* comp) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetLayerParentComp")) return e;
    if (layer_of(layer) == nullptr || comp == nullptr) return kBadParam;
    *comp = host.scene().comp_handle();
    return 0;
}

A_Err get_layer_to_world_xform(AEGP_LayerH layer, const A_Time* comp_time, A_Matrix4* transform) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetLayerToWorldXform")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || comp_time == nullptr || transform == nullptr || comp_time->scale == 0) return kBadParam;
    *transform = l->to_world.at(seconds(*comp_time));
    return 0;
}

A_Err get_layer_object_type(AEGP_LayerH layer, AEGP_ObjectType* type) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetLayerObjectType")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || type == nullptr) return kBadParam;
    *type = l->object_type;
    return 0;
}

A_Err is_layer_video_really_on(AEGP_LayerH layer, A_Boolean* on) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_IsLayerVideoReallyOn")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || on == nullptr) return kBadParam;
    *on = l->video_on ? 1 : 0;
    return 0;
}

A_Err get_layer_source_item(AEGP_LayerH layer, AEGP_ItemH* item) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetLayerSourceItem")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || item == nullptr) return kBadParam;
    *item = reinterpret_cast<AEGP_ItemH>(l->source);
    return 0;
}

A_Err get_item_from_comp(AEGP_CompH comp, AEGP_ItemH* item) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetItemFromComp")) return e;
    if (!host.scene().is_comp(comp) || item == nullptr) return kBadParam;
    *item = reinterpret_cast<AEGP_ItemH>(&host.scene().comp_item());
    return 0;
}

A_Err get_comp_num_layers(AEGP_CompH comp, A_long* count) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetCompNumLayers")) return e;
    if (!host.scene().is_comp(comp) || count == nullptr) return kBadParam;
    *count = A_long(host.scene().layer_count());
    return 0;
}

A_Err get_comp_layer_by_index(AEGP_CompH comp, A_long index, AEGP_LayerH* layer) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetCompLayerByIndex")) return e;
    Scene& scene = host.scene();
    if (!scene.is_comp(comp) || layer == nullptr || index < 0 || size_t(index) >= scene.layer_count())
        return kBadParam;
    *layer = scene.handle(scene.layer(size_t(index)));
    return 0;
}

SceneItem* item_of(AEGP_ItemH item) { return Host::current().scene().find(item); }

A_Err get_item_dimensions(AEGP_ItemH item, A_long* width, A_long* height) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetItemDimensions")) return e;
    SceneItem* i = item_of(item);
    if (i == nullptr || width == nullptr || height == nullptr) return kBadParam;
    *width = i->width;
    *height = i->height;
    return 0;
}

A_Err get_item_pixel_aspect_ratio(AEGP_ItemH item, A_Ratio* ratio) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetItemPixelAspectRatio")) return e;
    SceneItem* i = item_of(item);
    if (i == nullptr || ratio == nullptr) return kBadParam;
    *ratio = i->pixel_aspect;
    return 0;
}

A_Err get_item_type(AEGP_ItemH item, AEGP_ItemType* type) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetItemType")) return e;
    SceneItem* i = item_of(item);
    if (i == nullptr || type == nullptr) return kBadParam;
    *type = i->type;
    return 0;
}

// A footage handle is its item's: the item holds the one main footage.
A_Err get_main_footage_from_item(AEGP_ItemH item, AEGP_FootageH* footage) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetMainFootageFromItem")) return e;
    SceneItem* i = item_of(item);
    if (i == nullptr || footage == nullptr || i->type != AEGP_ItemType_FOOTAGE) return kBadParam;
    *footage = reinterpret_cast<AEGP_FootageH>(i);
    return 0;
}

A_Err get_footage_signature(AEGP_FootageH footage, AEGP_FootageSignature* signature) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetFootageSignature")) return e;
    SceneItem* i = item_of(reinterpret_cast<AEGP_ItemH>(footage));
    if (i == nullptr || signature == nullptr || i->type != AEGP_ItemType_FOOTAGE) return kBadParam;
    *signature = i->signature;
    return 0;
}

A_Err get_camera_type(AEGP_LayerH layer, AEGP_CameraType* type) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetCameraType")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || type == nullptr || l->object_type != AEGP_ObjectType_CAMERA) return kBadParam;
    *type = l->camera_type;
    return 0;
}

A_Err get_light_type(AEGP_LayerH layer, AEGP_LightType* type) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetLightType")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || type == nullptr || l->object_type != AEGP_ObjectType_LIGHT) return kBadParam;
    *type = l->light_type;
    return 0;
}

const AEGP_LayerSuite8 kLayerSuite{get_layer_parent_comp, get_layer_to_world_xform, get_layer_object_type,
                                   is_layer_video_really_on, get_layer_source_item};
const AEGP_CompSuite10 kCompSuite{get_item_from_comp, get_comp_num_layers, get_comp_layer_by_index};
const AEGP_ItemSuite9 kItemSuite{get_item_dimensions, get_item_pixel_aspect_ratio, get_item_type};
const AEGP_FootageSuite5 kFootageSuite{get_main_footage_from_item, get_footage_signature};
const AEGP_CameraSuite2 kCameraSuite{get_camera_type};
const AEGP_LightSuite2 kLightSuite{get_light_type};

}  // namespace

A_Err scene_calls::get_effect_layer(PF_ProgPtr effect_ref, AEGP_LayerH* layer) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetEffectLayer")) return e;
    if (!is_effect(effect_ref) || layer == nullptr) return kBadParam;
    *layer = host.scene().handle(host.scene().effect_layer());
    return 0;
}

A_Err scene_calls::convert_effect_to_comp_time(PF_ProgPtr effect_ref, A_long what_time, A_u_long time_scale,
                                  A_Time* comp_time) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_ConvertEffectToCompTime")) return e;
    if (!is_effect(effect_ref) || comp_time == nullptr || time_scale == 0) return kBadParam;
    comp_time->value = what_time + int32_t(std::lround(host.scene().in_point * double(time_scale)));
    comp_time->scale = time_scale;
    return 0;
}

A_Err scene_calls::get_effect_camera(PF_ProgPtr effect_ref, const A_Time* comp_time, AEGP_LayerH* camera) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetEffectCamera")) return e;
    if (!is_effect(effect_ref) || comp_time == nullptr || camera == nullptr) return kBadParam;
    SceneLayer* c = host.scene().active_camera();
    *camera = c ? host.scene().handle(*c) : nullptr;
    return 0;
}

A_Err scene_calls::get_new_layer_stream(AEGP_PluginID, AEGP_LayerH layer, AEGP_LayerStream which, AEGP_StreamRefH* stream) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetNewLayerStream")) return e;
    SceneLayer* l = layer_of(layer);
    if (l == nullptr || stream == nullptr || l->streams.count(which) == 0) return kBadParam;
    *stream = host.streams().open_stream(l, which);
    return 0;
}

A_Err scene_calls::get_new_stream_value(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_LTimeMode time_mode, const A_Time* time,
                           A_Boolean, AEGP_StreamValue* value) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetNewStreamValue")) return e;
    const StreamBook::Stream* s = host.streams().find(stream);
    if (s == nullptr || time == nullptr || value == nullptr || time->scale == 0) return kBadParam;
    double t = seconds(*time);
    // Layer time counts from the layer's start; only the effect's layer
    // starts later than the comp.
    if (time_mode == AEGP_LTimeMode_LayerTime && s->layer == &host.scene().effect_layer())
        t += host.scene().in_point;
    value->streamH = stream;
    value->val = s->layer->streams.at(s->which).at(t);
    value->host_ref = host.streams().open_value(stream);
    return 0;
}

A_Err scene_calls::dispose_stream_value(AEGP_StreamValue* value) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_DisposeStreamValue")) return e;
    if (value == nullptr || !host.streams().dispose_value(value->host_ref)) return kBadParam;
    value->host_ref = nullptr;
    return 0;
}

void add_scene_suites(SuiteRegistry& registry) {
    registry.add(kAEGPLayerSuite, kAEGPLayerSuiteVersion8, &kLayerSuite);
    registry.add(kAEGPCompSuite, kAEGPCompSuiteVersion10, &kCompSuite);
    registry.add(kAEGPItemSuite, kAEGPItemSuiteVersion9, &kItemSuite);
    registry.add(kAEGPFootageSuite, kAEGPFootageSuiteVersion5, &kFootageSuite);
    registry.add(kAEGPCameraSuite, kAEGPCameraSuiteVersion2, &kCameraSuite);
    registry.add(kAEGPLightSuite, kAEGPLightSuiteVersion2, &kLightSuite);
}

AEGP_StreamRefH StreamBook::open_stream(SceneLayer* layer, AEGP_LayerStream which) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = (++serial_ << 4) | 1;
    streams_[id] = {layer, which};
    names_[id] = "stream #" + std::to_string(serial_) + " (" + layer->name + ", stream " + std::to_string(which) + ")";
    return reinterpret_cast<AEGP_StreamRefH>(id);
}

const StreamBook::Stream* StreamBook::find(AEGP_StreamRefH stream) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = streams_.find(reinterpret_cast<uintptr_t>(stream));
    return it == streams_.end() ? nullptr : &it->second;
}

// A stream's name is kept while the stream or a value of it is open, for the
// lines of what was not disposed, and no longer: a stream opened each frame
// would otherwise hold a name for every frame ever rendered.
void StreamBook::forget_name_if_unused(uintptr_t stream) {
    if (streams_.count(stream) != 0) return;
    for (const auto& v : values_)
        if (v.second == stream) return;
    names_.erase(stream);
}

bool StreamBook::dispose_stream(AEGP_StreamRefH stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = reinterpret_cast<uintptr_t>(stream);
    if (streams_.erase(id) != 1) return false;
    forget_name_if_unused(id);
    return true;
}

void* StreamBook::open_value(AEGP_StreamRefH stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = (++serial_ << 4) | 1;
    values_[id] = reinterpret_cast<uintptr_t>(stream);
    return reinterpret_cast<void*>(id);
}

bool StreamBook::dispose_value(void* host_ref) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = values_.find(reinterpret_cast<uintptr_t>(host_ref));
    if (it == values_.end()) return false;
    const uintptr_t stream = it->second;
    values_.erase(it);
    forget_name_if_unused(stream);
    return true;
}

std::vector<std::string> StreamBook::undisposed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& s : streams_) out.push_back(names_.at(s.first) + " not disposed");
    for (const auto& v : values_) {
        const auto n = names_.find(v.second);
        out.push_back("value of " + (n == names_.end() ? std::string("a stream") : n->second) + " not disposed");
    }
    return out;
}

}  // namespace simhost
