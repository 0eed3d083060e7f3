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

void add_scene_suites(SuiteRegistry& registry);

// The streams and stream values handed out and not yet disposed.
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
    mutable std::mutex mutex_;
    std::map<uintptr_t, Stream> streams_;
    std::map<uintptr_t, uintptr_t> values_;  // value serial -> stream serial
    uintptr_t serial_ = 0;
    std::map<uintptr_t, std::string> names_;
};

}  // namespace simhost
