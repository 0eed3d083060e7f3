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

// OpenGL and operating-system failures inside the engine. Commands carry it
// back to the host thread as its text only.
class GlEngineError : public std::runtime_error {
public:
    explicit GlEngineError(const std::string& text) : std::runtime_error(text) {}
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

// "Gl error (<file>:<line>): <message>", the form used for refused formats.
// The file is the path relative to the source tree (the build maps it).
std::string located_error_text(const char* source_file, int line, const std::string& message);

}  // namespace tavrel

// Builds the located error at the caller's place in the source.
#define TAVREL_LOCATED_ERROR(message) \
    ::tavrel::GlEngineError(::tavrel::located_error_text(__FILE__, __LINE__, (message)))
