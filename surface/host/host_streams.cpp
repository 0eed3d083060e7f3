#include "surface/host/host_streams.h"

namespace tavrel {
namespace {

// Disposes a stream on the way out; the result of a disposal while
// unwinding cannot be reported through the failure already on its way.
class StreamGuard {
public:
    StreamGuard(const AEGP_StreamSuite1& suite, AEGP_StreamRefH stream) : suite_(suite), stream_(stream) {}
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;
    ~StreamGuard() {
        if (stream_ != nullptr) suite_.AEGP_DisposeStream(stream_);
    }
    PF_Err dispose() {
        AEGP_StreamRefH s = stream_;
        stream_ = nullptr;
        return suite_.AEGP_DisposeStream(s);
    }

private:
    const AEGP_StreamSuite1& suite_;
    AEGP_StreamRefH stream_;
};

}  // namespace

AEGP_StreamVal read_layer_stream(HostSuites& suites, AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                 AEGP_LayerStream which, const A_Time& comp_time) {
    const AEGP_StreamSuite1& s = suites.stream_suite();
    AEGP_StreamRefH stream = nullptr;
    check_pf_err(s.AEGP_GetNewLayerStream(plugin_id, layer, which, &stream));
    StreamGuard guard(s, stream);
    AEGP_StreamValue value{};
    check_pf_err(s.AEGP_GetNewStreamValue(plugin_id, stream, AEGP_LTimeMode_CompTime, &comp_time, 0, &value));
    const AEGP_StreamVal result = value.val;
    check_pf_err(s.AEGP_DisposeStreamValue(&value));
    check_pf_err(guard.dispose());
    return result;
}

}  // namespace tavrel
