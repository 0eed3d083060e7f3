#include "engine/core/engine_errors.h"

namespace tavrel {

std::string located_error_text(const char* source_file, int line, const std::string& message) {
    return "Gl error (" + std::string(source_file) + ":" + std::to_string(line) + "): " + message;
}

}  // namespace tavrel
