// The engine's diagnostic channel for compile progress and failing shader
// sources: what a debugger attached to the host would show. Silent unless
// someone listens: a sink installed by a test, or, without one, standard
// error when the environment variable TAVREL_DEBUG_OUTPUT is "1".
#pragma once

#include <string>

#include <boost/function.hpp>

namespace tavrel {

using DebugOutputSink = boost::function<void(const std::string&)>;

constexpr const char* kDebugOutputVariable = "TAVREL_DEBUG_OUTPUT";

// Writes the text as it is, with no line end added.
void debug_output(const std::string& text);

// Replaces the sink and returns the previous one; an empty sink restores
// the default (standard error when asked for, else nothing).
DebugOutputSink set_debug_output_sink(DebugOutputSink sink);

// The text, then a separate line end.
void debug_print_line(const std::string& text);

// Each non-empty line of the text as "<n>> <line>" followed by a separate
// line end. Numbering starts at 2 and counts only non-empty lines, so the
// numbers match the compiler's when the source follows a one-line preamble.
void print_numbered_source(const std::string& text);

}  // namespace tavrel
