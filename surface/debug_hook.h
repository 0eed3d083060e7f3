// Where the surface code's diagnostic lines go: standard error, or a sink
// that tests install to read them.
#pragma once

#include <string>

#include <boost/function.hpp>

namespace tavrel {

using SurfaceDebugSink = boost::function<void(const std::string&)>;

void surface_debug_output(const std::string& text);
// Returns the previous sink; an empty sink restores standard error.
SurfaceDebugSink set_surface_debug_sink(SurfaceDebugSink sink);

}  // namespace tavrel
