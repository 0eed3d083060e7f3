#include "engine/core/debug_output.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>

namespace tavrel {

namespace {

std::mutex& sink_mutex() {
    static std::mutex m;
    return m;
}

DebugOutputSink& sink() {
    static DebugOutputSink s;
    return s;
}

// Read at each write, so that a host may switch it on before or after
// loading the effect.
bool terminal_asked_for() {
    const char* value = std::getenv(kDebugOutputVariable);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

void debug_output(const std::string& text) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    if (sink()) {
        sink()(text);
    } else if (terminal_asked_for()) {
        std::cerr << text << std::flush;
    }
}

DebugOutputSink set_debug_output_sink(DebugOutputSink new_sink) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    DebugOutputSink previous;
    previous.swap(sink());
    sink().swap(new_sink);
    return previous;
}

void debug_print_line(const std::string& text) {
    debug_output(text);
    debug_output("\n");
}

void print_numbered_source(const std::string& text) {
    int number = 2;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            debug_output(std::to_string(number) + "> " + text.substr(start, end - start));
            debug_output("\n");
            ++number;
        }
        start = end + 1;
    }
}

}  // namespace tavrel
