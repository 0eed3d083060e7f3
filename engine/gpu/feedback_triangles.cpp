#include "engine/gpu/feedback_triangles.h"

#include <functional>
#include <string>

#include "engine/core/debug_output.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/transform_feedback.h"

namespace tavrel {

namespace {

constexpr std::uint32_t kTargetSize = 64;

PBODescriptor capture_descriptor(std::uint64_t bytes) {
    PBODescriptor d;
    d.target = GL_ARRAY_BUFFER;
    d.usage = GL_DYNAMIC_COPY;
    d.access = GL_READ_ONLY;
    d.size = bytes;
    return d;
}

// Only has to be a complete framebuffer: nothing is rasterized during a
// capture. Kind 0, nearest, clamped to the edge.
std::shared_ptr<RenderTarget> request_capture_target(GlEngine& engine) {
    return engine.request_render_target(kTargetSize, kTargetSize, 1, 0, false, 0, 1);
}

// Undoes the client state of a draw helper also when the draw throws.
class VertexArrayScope {
public:
    VertexArrayScope() {
        glEnableClientState(GL_VERTEX_ARRAY);
        TAVREL_CHECK_GL();
    }
    ~VertexArrayScope() {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        if (indexed_) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDisableClientState(GL_VERTEX_ARRAY);
        TAVREL_REPORT_GL();
    }
    VertexArrayScope(const VertexArrayScope&) = delete;
    VertexArrayScope& operator=(const VertexArrayScope&) = delete;
    void indexed() { indexed_ = true; }

private:
    bool indexed_ = false;
};

// The destination stays bound to the feedback point only while it is
// written, so that the next level can draw from it.
class FeedbackBufferBinding {
public:
    FeedbackBufferBinding(GLuint buffer, GLintptr offset) {
        bind_feedback_buffer_offset(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0, buffer, offset);
    }
    ~FeedbackBufferBinding() {
        glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0, 0);
        glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0);
        TAVREL_REPORT_GL();
    }
    FeedbackBufferBinding(const FeedbackBufferBinding&) = delete;
    FeedbackBufferBinding& operator=(const FeedbackBufferBinding&) = delete;
};

int components_of(GLenum type) {
    switch (type) {
        case GL_FLOAT:
        case GL_INT:
        case GL_UNSIGNED_INT:
            return 1;
        case GL_FLOAT_VEC2:
        case GL_INT_VEC2:
        case GL_UNSIGNED_INT_VEC2:
            return 2;
        case GL_FLOAT_VEC3:
        case GL_INT_VEC3:
        case GL_UNSIGNED_INT_VEC3:
            return 3;
        case GL_FLOAT_VEC4:
        case GL_INT_VEC4:
        case GL_UNSIGNED_INT_VEC4:
        case GL_FLOAT_MAT2:
            return 4;
        case GL_FLOAT_MAT3:
            return 9;
        case GL_FLOAT_MAT4:
            return 16;
        default:
            return 0;
    }
}

// The capture sequence: render target, feedback buffer, feedback, rasterizer
// discard, query, draw; closed in reverse; then the count, which waits for
// the GPU. Returns whether the buffer was filled. `mode` is GL_TRIANGLES or
// GL_POINTS.
bool run_capture(RenderTarget* target, const PBO& destination, GLintptr byte_offset, GLuint query,
                 GLuint& primitives_written, const std::function<void()>& draw, GLenum mode = GL_TRIANGLES) {
    if (target != nullptr) target->bind();
    {
        FeedbackBufferBinding binding(destination.gl_name(), byte_offset);
        TransformFeedbackGuard feedback(mode);
        RasterizerDiscardGuard discard;
        PrimitivesWrittenQuery written(query);
        draw();
    }
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    TAVREL_CHECK_GL();
    primitives_written = count;

    const std::uint64_t offset = byte_offset < 0 ? 0 : static_cast<std::uint64_t>(byte_offset);
    const std::uint64_t vertex_bytes = captured_bytes_per_vertex();
    if (vertex_bytes == 0) return false;
    const bool points = mode == GL_POINTS;
    const std::uint64_t per_primitive = points ? 1 : 3;
    const char* const kind = points ? "points" : "triangles";
    const std::uint64_t capacity = points
                                       ? (offset < destination.size() ? (destination.size() - offset) / vertex_bytes : 0)
                                       : feedback_capacity_triangles(destination.size(), offset, vertex_bytes);
    if (count < capacity) return false;
    debug_output("Transform feedback buffer full: " + std::to_string(count) + " of " + std::to_string(capacity) +
                 " " + kind + " of " + std::to_string(per_primitive * vertex_bytes) + " bytes written from byte offset " +
                 std::to_string(offset) + " of " + std::to_string(destination.size()) + "; " + kind +
                 " beyond that were not captured.\n");
    return true;
}

GLuint gen_query() {
    const GLuint query = gl_gen_query();
    TAVREL_CHECK_GL();
    return query;
}

}  // namespace

void draw_indexed_triangles_2d(const PBO& vertex_buffer, const PBO& index_buffer) {
    VertexArrayScope scope;
    glBindBuffer(GL_ARRAY_BUFFER, vertex_buffer.gl_name());
    TAVREL_CHECK_GL();
    glVertexPointer(2, GL_FLOAT, 8, nullptr);
    TAVREL_CHECK_GL();
    scope.indexed();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, index_buffer.gl_name());
    TAVREL_CHECK_GL();
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(index_buffer.size() / 4), GL_UNSIGNED_INT, nullptr);
    TAVREL_CHECK_GL();
}

void draw_captured_triangles(const PBO& vertex_buffer, GLuint triangle_count, int components) {
    VertexArrayScope scope;
    glBindBuffer(GL_ARRAY_BUFFER, vertex_buffer.gl_name());
    TAVREL_CHECK_GL();
    glVertexPointer(components, GL_FLOAT, components * 4, nullptr);
    TAVREL_CHECK_GL();
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(triangle_count * 3));
    TAVREL_CHECK_GL();
}

void draw_captured_points(const PBO& vertex_buffer, GLuint first_vertex, GLuint vertex_count, int components) {
    VertexArrayScope scope;
    glBindBuffer(GL_ARRAY_BUFFER, vertex_buffer.gl_name());
    TAVREL_CHECK_GL();
    glVertexPointer(components, GL_FLOAT, components * 4, nullptr);
    TAVREL_CHECK_GL();
    glDrawArrays(GL_POINTS, static_cast<GLint>(first_vertex), static_cast<GLsizei>(vertex_count));
    TAVREL_CHECK_GL();
}

std::uint64_t captured_bytes_per_vertex() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    TAVREL_CHECK_GL();
    if (program == 0 || glGetTransformFeedbackVaryingEXT == nullptr) return 0;
    GLint varyings = 0;
    glGetProgramiv(static_cast<GLuint>(program), GL_TRANSFORM_FEEDBACK_VARYINGS_EXT, &varyings);
    TAVREL_CHECK_GL();
    std::uint64_t bytes = 0;
    for (GLint i = 0; i < varyings; ++i) {
        GLsizei length = 0, size = 0;
        GLenum type = 0;
        char name[64];
        glGetTransformFeedbackVaryingEXT(static_cast<GLuint>(program), static_cast<GLuint>(i), sizeof name, &length,
                                         &size, &type, name);
        TAVREL_CHECK_GL();
        bytes += static_cast<std::uint64_t>(size) * components_of(type) * 4;
    }
    return bytes;
}

std::uint64_t feedback_capacity_triangles(std::uint64_t buffer_bytes, std::uint64_t byte_offset,
                                          std::uint64_t bytes_per_vertex) {
    if (bytes_per_vertex == 0 || byte_offset >= buffer_bytes) return 0;
    return (buffer_bytes - byte_offset) / (3 * bytes_per_vertex);
}

SinglePassFeedbackTriangles::SinglePassFeedbackTriangles(GlEngine& engine, std::uint64_t buffer_bytes) {
    buffer_ = engine.request_pbo(capture_descriptor(buffer_bytes));
    render_target_ = request_capture_target(engine);
    query_ = gen_query();
}

SinglePassFeedbackTriangles::~SinglePassFeedbackTriangles() {
    gl_delete_query(query_);
    TAVREL_REPORT_GL();
}

void SinglePassFeedbackTriangles::capture(std::shared_ptr<PBO>& result,
                                          const PBO& vertex_buffer, GLuint triangle_count,
                                          GLuint& primitives_written, int components, GLintptr byte_offset) {
    capacity_reached_ = run_capture(render_target_.get(), *buffer_, byte_offset, query_, primitives_written,
                                    [&] { draw_captured_triangles(vertex_buffer, triangle_count, components); });
    result = buffer_;
}

void SinglePassFeedbackTriangles::capture_indexed(std::shared_ptr<PBO>& result,
                                                  const PBO& vertex_buffer,
                                                  const PBO& index_buffer, GLuint& primitives_written,
                                                  GLintptr byte_offset) {
    capacity_reached_ = run_capture(render_target_.get(), *buffer_, byte_offset, query_, primitives_written,
                                    [&] { draw_indexed_triangles_2d(vertex_buffer, index_buffer); });
    result = buffer_;
}

void SinglePassFeedbackTriangles::capture_points(std::shared_ptr<PBO>& result, const PBO& vertex_buffer,
                                                 GLuint first_vertex, GLuint vertex_count, GLuint& points_written,
                                                 int components, GLintptr byte_offset) {
    capacity_reached_ = run_capture(
        render_target_.get(), *buffer_, byte_offset, query_, points_written,
        [&] { draw_captured_points(vertex_buffer, first_vertex, vertex_count, components); }, GL_POINTS);
    result = buffer_;
}

RecursiveTopologyFeedbackTriangles::RecursiveTopologyFeedbackTriangles(GlEngine& engine,
                                                                       std::uint64_t buffer_bytes)
    : engine_(&engine) {
    buffers_[0] = engine.request_pbo(capture_descriptor(buffer_bytes));
    buffers_[1] = engine.request_pbo(capture_descriptor(buffer_bytes));
    render_target_ = request_capture_target(engine);
    query_ = gen_query();
}

RecursiveTopologyFeedbackTriangles::~RecursiveTopologyFeedbackTriangles() {
    gl_delete_query(query_);
    TAVREL_REPORT_GL();
}

void RecursiveTopologyFeedbackTriangles::capture_first_level(const PBO& vertex_buffer,
                                                             const PBO& index_buffer) {
    source_ = 1;
    destination_ = 0;
    GLuint written = 0;
    capacity_reached_ = run_capture(render_target_.get(), *buffers_[destination_], 0, query_, written,
                                    [&] { draw_indexed_triangles_2d(vertex_buffer, index_buffer); });
    current_count_ = written;
}

void RecursiveTopologyFeedbackTriangles::capture_next_level(int components) {
    source_ = (source_ - 1) & 1u;
    destination_ = (destination_ - 1) & 1u;
    previous_count_ = current_count_;
    const PBO& source = *buffers_[source_];
    const GLuint previous = previous_count_;
    GLuint written = 0;
    capacity_reached_ = run_capture(nullptr, *buffers_[destination_], 0, query_, written,
                                    [&] { draw_captured_triangles(source, previous, components); });
    current_count_ = written;
}

void RecursiveTopologyFeedbackTriangles::capture_next_level(int components, std::uint64_t destination_bytes) {
    std::shared_ptr<PBO>& destination = buffers_[(destination_ - 1) & 1u];
    if (destination->size() < destination_bytes) {
        // The old buffer goes back to the pool before the new one is made.
        destination.reset();
        destination = engine_->request_pbo(capture_descriptor(destination_bytes));
    }
    capture_next_level(components);
}

std::shared_ptr<PBO> RecursiveTopologyFeedbackTriangles::current_buffer(GLuint& count) const {
    count = current_count_;
    return buffers_[destination_];
}

}  // namespace tavrel
