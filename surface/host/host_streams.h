// Values of a layer's property streams, read from the host at comp time.
#pragma once

#include "hostapi/host_scene_suites.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {

// The stream's value at comp time. The stream and its value are disposed
// before this returns, also when a later call fails.
AEGP_StreamVal read_layer_stream(HostSuites& suites, AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                 AEGP_LayerStream which, const A_Time& comp_time);

}  // namespace tavrel
