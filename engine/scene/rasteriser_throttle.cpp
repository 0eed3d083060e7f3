#include "engine/scene/rasteriser_throttle.h"

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"

namespace tavrel {

RasteriserThrottle::~RasteriserThrottle() {
    for (GLsync fence : fences_) glDeleteSync(fence);
    TAVREL_REPORT_GL();
}

void RasteriserThrottle::instance_drawn() {
    if (!on_) return;
    fences_.push_back(glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
    TAVREL_CHECK_GL();
    if (fences_.size() <= kInstancesInFlight) return;
    const GLsync oldest = fences_.front();
    fences_.pop_front();
    const GLenum waited = glClientWaitSync(oldest, GL_SYNC_FLUSH_COMMANDS_BIT, ~GLuint64(0));
    glDeleteSync(oldest);
    TAVREL_CHECK_GL();
    if (waited == GL_WAIT_FAILED) throw GlEngineError("Waiting for the rasteriser failed.");
}

}  // namespace tavrel
