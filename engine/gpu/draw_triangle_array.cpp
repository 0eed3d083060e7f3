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

// Points the client arrays at the interleaved records of the buffer bound
// as the array buffer.
void set_record_pointers() {
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
}

// Unbinds the index buffer also when the draw throws.
class IndexBufferBinding {
public:
    explicit IndexBufferBinding(GLuint buffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        TAVREL_CHECK_DRAW();
    }
    ~IndexBufferBinding() {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        TAVREL_REPORT_GL();
    }
    IndexBufferBinding(const IndexBufferBinding&) = delete;
    IndexBufferBinding& operator=(const IndexBufferBinding&) = delete;
};

void check_records(const char* name, const PBO& buffer, std::uint64_t first_record, std::uint32_t triangle_count) {
    const std::uint64_t needed = (first_record + std::uint64_t(triangle_count) * 3u) * kTriangleVertexBytes;
    if (needed > buffer.size())
        throw std::invalid_argument(std::string(name) + ": " + std::to_string(triangle_count) +
                                    " triangles need " + std::to_string(needed) + " bytes; the buffer holds " +
                                    std::to_string(buffer.size()) + ".");
}

}  // namespace

void draw_triangle_array(const PBO& buffer, std::uint32_t triangle_count) {
    check_records("draw_triangle_array", buffer, 0, triangle_count);
    // GL_ARRAY_BUFFER whatever the buffer was made for: capture buffers are
    // drawn from directly.
    glBindBuffer(GL_ARRAY_BUFFER, buffer.gl_name());
    TAVREL_CHECK_DRAW();
    ClientArraysGuard arrays;
    set_record_pointers();
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(3u * triangle_count));
    TAVREL_CHECK_DRAW();
}

void draw_indexed_triangle_array(const PBO& vertices, const PBO& indices, std::uint32_t indexed_triangles,
                                 std::uint32_t first_record, std::uint32_t array_triangles) {
    const std::uint64_t index_bytes = std::uint64_t(indexed_triangles) * 3u * 4u;
    if (index_bytes > indices.size())
        throw std::invalid_argument("draw_indexed_triangle_array: " + std::to_string(indexed_triangles) +
                                    " triangles need " + std::to_string(index_bytes) +
                                    " bytes of indices; the buffer holds " + std::to_string(indices.size()) + ".");
    check_records("draw_indexed_triangle_array", vertices, first_record, array_triangles);
    glBindBuffer(GL_ARRAY_BUFFER, vertices.gl_name());
    TAVREL_CHECK_DRAW();
    ClientArraysGuard arrays;
    set_record_pointers();
    if (indexed_triangles > 0) {
        IndexBufferBinding binding(indices.gl_name());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3u * indexed_triangles), GL_UNSIGNED_INT, nullptr);
        TAVREL_CHECK_DRAW();
    }
    if (array_triangles > 0) {
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first_record), static_cast<GLsizei>(3u * array_triangles));
        TAVREL_CHECK_DRAW();
    }
}

}  // namespace tavrel
