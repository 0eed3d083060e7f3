#include "engine/gpu/draw_triangle_array.h"

#include <GL/glew.h>

#include <stdexcept>
#include <string>

#include "engine/gl/gl_errors.h"

#define TAVREL_CHECK_DRAW() ::tavrel::check_gl_error("draw_triangle_array", __LINE__)

namespace tavrel {

namespace {

const GLvoid* offset(std::uintptr_t bytes) { return reinterpret_cast<const GLvoid*>(bytes); }

// Turns the arrays off again even when the draw throws, so that a failed
// frame does not leave client arrays pointing into a buffer that may go away.
class ClientArraysGuard {
public:
    ClientArraysGuard() = default;
    ~ClientArraysGuard() {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2}) {
            glClientActiveTexture(unit);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        TAVREL_REPORT_GL();
    }
    ClientArraysGuard(const ClientArraysGuard&) = delete;
    ClientArraysGuard& operator=(const ClientArraysGuard&) = delete;
};

}  // namespace

void draw_triangle_array(const PBO& buffer, std::uint32_t triangle_count) {
    const std::uint64_t needed = std::uint64_t(triangle_count) * 3u * kTriangleVertexBytes;
    if (needed > buffer.size())
        throw std::invalid_argument("draw_triangle_array: " + std::to_string(triangle_count) +
                                    " triangles need " + std::to_string(needed) + " bytes; the buffer holds " +
                                    std::to_string(buffer.size()) + ".");
    // GL_ARRAY_BUFFER whatever the buffer was made for: capture buffers are
    // drawn from directly.
    glBindBuffer(GL_ARRAY_BUFFER, buffer.gl_name());
    TAVREL_CHECK_DRAW();
    ClientArraysGuard arrays;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    TAVREL_CHECK_DRAW();
    glVertexPointer(3, GL_FLOAT, kTriangleVertexBytes, offset(0));
    TAVREL_CHECK_DRAW();

    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, kTriangleVertexBytes, offset(12));
    TAVREL_CHECK_DRAW();
    glNormalPointer(GL_FLOAT, kTriangleVertexBytes, offset(20));
    TAVREL_CHECK_DRAW();

    glClientActiveTexture(GL_TEXTURE1);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(3, GL_FLOAT, kTriangleVertexBytes, offset(32));
    TAVREL_CHECK_DRAW();
    glClientActiveTexture(GL_TEXTURE2);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(3, GL_FLOAT, kTriangleVertexBytes, offset(44));
    TAVREL_CHECK_DRAW();

    glActiveTexture(GL_TEXTURE0);
    glClientActiveTexture(GL_TEXTURE0);
    TAVREL_CHECK_DRAW();
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(3u * triangle_count));
    TAVREL_CHECK_DRAW();
}

}  // namespace tavrel
