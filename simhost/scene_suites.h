// The suites that show the scene to an effect: the effect's layer and camera,
// layers, the composition, items, footage, cameras, lights and streams. Each
// function takes its injected fault first and refuses a handle it did not
// hand out with PF_Err_BAD_CALLBACK_PARAM.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/host_scene_suites.h"
#include "simhost/scene.h"
#include "simhost/suite_registry.h"

namespace simhost {

// The "AEGP Layer", "Comp", "Item", "Footage", "Camera" and "Light"
// suites.
void add_scene_suites(SuiteRegistry& registry);

// The scene's functions of the "AEGP PF Interface Suite" and the "AEGP
// Stream Suite"; those two suites are put together with the effect's own
// streams (effect_streams.cpp).
namespace scene_calls {
A_Err get_effect_layer(PF_ProgPtr effect_ref, AEGP_LayerH* layer);
A_Err convert_effect_to_comp_time(PF_ProgPtr effect_ref, A_long what_time, A_u_long time_scale,
                                  A_Time* comp_time);
A_Err get_effect_camera(PF_ProgPtr effect_ref, const A_Time* comp_time, AEGP_LayerH* camera);
A_Err get_new_layer_stream(AEGP_PluginID plugin_id, AEGP_LayerH layer, AEGP_LayerStream which,
                           AEGP_StreamRefH* stream);
A_Err get_new_stream_value(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, AEGP_LTimeMode time_mode,
                           const A_Time* time, A_Boolean pre_expression, AEGP_StreamValue* value);
A_Err dispose_stream_value(AEGP_StreamValue* value);
}  // namespace scene_calls

// The layer streams and stream values handed out and not yet disposed.
// Their references have the low bit set, so they never meet the effect
// streams' references.
class StreamBook {
public:
    struct Stream {
        SceneLayer* layer;
        AEGP_LayerStream which;
    };

    AEGP_StreamRefH open_stream(SceneLayer* layer, AEGP_LayerStream which);
    // Null for a stream that is not open.
    const Stream* find(AEGP_StreamRefH stream) const;
    bool dispose_stream(AEGP_StreamRefH stream);

    // The host reference of a new value of an open stream.
    void* open_value(AEGP_StreamRefH stream);
    bool dispose_value(void* host_ref);

    // "stream N (layer, stream S) not disposed" and "value of ..." lines.
    std::vector<std::string> undisposed() const;
    size_t streams_opened() const { return serial_; }

private:
    // With the mutex held.
    void forget_name_if_unused(uintptr_t stream);

    mutable std::mutex mutex_;
    std::map<uintptr_t, Stream> streams_;
    std::map<uintptr_t, uintptr_t> values_;  // value serial -> stream serial
    uintptr_t serial_ = 0;
    // Of the streams open or with a value open.
    std::map<uintptr_t, std::string> names_;
};

}  // namespace simhost
