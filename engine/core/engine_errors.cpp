#include "engine/core/engine_errors.h"

namespace tavrel {

std::string opengl_failure_text(const std::string& message) { return "OpenGL failed: " + message; }

GlEngineError gl_call_error(const std::string& source, int line, const std::string& error_text) {
    std::string place = source + ": " + std::to_string(line);
    const std::string text = place + " " + error_text;
    return GlEngineError(text, std::move(place), opengl_failure_text(error_text));
}

std::string located_error_text(const char* source_file, int line, const std::string& message) {
    return "Gl error (" + std::string(source_file) + ":" + std::to_string(line) + "): " + message;
}

GlEngineError located_error(const char* source_file, int line, const std::string& message) {
    return GlEngineError(located_error_text(source_file, line, message),
                         std::string(source_file) + ": " + std::to_string(line), opengl_failure_text(message));
}

}  // namespace tavrel
