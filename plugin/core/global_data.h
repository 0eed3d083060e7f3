// The library's global record, kept in the host's global handle.
#pragma once

#include <cstdint>
#include <memory>

namespace tavrel {

class RenderThread;

struct GlobalData {
    static constexpr uint32_t kParameterCount = 276;

    uint32_t parameter_count = kParameterCount;
    uint32_t plugin_id = 0;
    uint32_t shadow_warning_shown = 0;
    // Empty when the engine did not start: every user of the thread must
    // check it (require_render_thread).
    std::shared_ptr<RenderThread> render_thread;
    // Where the record was constructed; a byte copy elsewhere owns nothing.
    const GlobalData* constructed_at = this;
};

// The rendering thread, or std::runtime_error "Tavrel OpenGL Engine
// Initialization Failed." when the engine never started.
RenderThread& require_render_thread(GlobalData& global);

// Empties the pointer; the last owner stops and joins the thread.
void reset_render_thread(GlobalData& global);

}  // namespace tavrel
