#include "surface/debug_hook.h"

#include <iostream>
#include <mutex>

namespace tavrel {

namespace {

std::mutex& sink_mutex() {
    static std::mutex m;
    return m;
}

SurfaceDebugSink& sink() {
    static SurfaceDebugSink s;
    return s;
}

}  // namespace

void surface_debug_output(const std::string& text) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    if (sink())
        sink()(text);
    else
        std::cerr << text << std::flush;
}

SurfaceDebugSink set_surface_debug_sink(SurfaceDebugSink new_sink) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    SurfaceDebugSink previous;
    previous.swap(sink());
    sink().swap(new_sink);
    return previous;
}

}  // namespace tavrel
