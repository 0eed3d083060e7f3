#include "plugin/gl_size_limit.h"

#include <algorithm>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/render/render_thread.h"

namespace tavrel {

int32_t gl_max_side(RenderThread& thread) {
    GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
    thread.execute([&](GlEngine&) {
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
        TAVREL_CHECK_GL();
    });
    return int32_t(std::min({texture, renderbuffer, viewport[0], viewport[1]}));
}

void check_fits_gl(int32_t limit, int32_t width, int32_t height, const std::string& what) {
    if (width <= limit && height <= limit) return;
    throw PluginError("The " + what + " is " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; OpenGL here renders at most " + std::to_string(limit) + " pixels a side.");
}

}  // namespace tavrel
