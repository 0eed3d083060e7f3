#include "simhost/host_trace.h"

namespace simhost {

void HostTrace::add(const std::string& line) {
    if (!on_) return;
    lines_.push_back(line);
    if (sink_) sink_(line);
}

std::string HostTrace::quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

}  // namespace simhost
