// Exception types the engine raises.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

// Outside the namespace: the effect shell's own names, thrown by every
// subsystem (the engine's read-back among them) and turned into a host code
// or a return message only at the entry point.
class PluginError : public std::exception {
public:
    explicit PluginError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class PluginOutOfMemoryError : public PluginError {
public:
    explicit PluginOutOfMemoryError(std::string message = "Out of memory.")
        : PluginError(std::move(message)) {}
};

namespace tavrel {

// An error that keeps the place in the source it was raised at apart from
// the text a user reads of it. The place ("FILE: LINE") is for the debugger
// output; the user text is what reaches the host. what() keeps the text the
// error has always had, place included where it had one.
class PlacedError {
public:
    virtual ~PlacedError() = default;
    // Empty when the error names no place.
    const std::string& place() const noexcept { return place_; }
    const std::string& user_text() const noexcept { return user_text_; }

protected:
    PlacedError(std::string place, std::string user_text)
        : place_(std::move(place)), user_text_(std::move(user_text)) {}

private:
    std::string place_;
    std::string user_text_;
};

// OpenGL and operating-system failures inside the engine. Commands carry it
// back to the host thread as its texts only.
class GlEngineError : public std::runtime_error, public PlacedError {
public:
    // A failure that names no place: the user reads the text itself.
    explicit GlEngineError(const std::string& text) : std::runtime_error(text), PlacedError("", text) {}
    GlEngineError(const std::string& text, std::string place, std::string user_text)
        : std::runtime_error(text), PlacedError(std::move(place), std::move(user_text)) {}
};

// A uniform name the program does not know; the name is the useful part when
// a shader chunk was patched wrongly.
class GlUnknownShaderParameter : public GlEngineError {
public:
    explicit GlUnknownShaderParameter(const std::string& name)
        : GlEngineError("unknown parameter: " + name) {}
};

// Shown to the user once per session, then the check is skipped; the text is
// the message the user reads.
class TooManyShadowCasters : public std::runtime_error {
public:
    TooManyShadowCasters()
        : std::runtime_error(
              "Warning:Too many shadow sources.\nMaximum of 12 shadow sources supported.\n"
              "A Point Light close to an object uses 6 shadow sources.\n"
              "Prefer using Parallel and Spot Lights.\n"
              "This warning will be disabled until next session.") {}
};

// What a user reads of a failed OpenGL call or a refused format: the
// message without the place that raised it.
std::string opengl_failure_text(const std::string& message);

// A failed OpenGL call at `source`, `line`: "<source>: <line> <error text>",
// the user reading "OpenGL failed: <error text>". The source is the calling
// file as the build spells it, or the name of the pass that checked.
GlEngineError gl_call_error(const std::string& source, int line, const std::string& error_text);

// "Gl error (<file>:<line>): <message>", the form used for refused formats.
// The file is the path relative to the source tree (the build maps it).
std::string located_error_text(const char* source_file, int line, const std::string& message);

// The located error itself, the user reading "OpenGL failed: <message>".
GlEngineError located_error(const char* source_file, int line, const std::string& message);

}  // namespace tavrel

// Builds the located error at the caller's place in the source.
#define TAVREL_LOCATED_ERROR(message) ::tavrel::located_error(__FILE__, __LINE__, (message))
