// Capturing triangles through transform feedback: the two draw helpers that
// feed a capture, a single-pass capture into one buffer, and a recursive
// capture that ping-pongs between two buffers, each level drawing the
// previous level's triangles. The program that produces the captured
// varyings is bound by the caller beforehand.
//
// After every capture the count is compared with what the buffer can hold:
// GL drops the primitives that do not fit without an error, so a full buffer
// is reported on the debugger output.
#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <memory>

#include "engine/gpu/pbo.h"

namespace tavrel {

class GlEngine;
class RenderTarget;

// Draws the indexed triangles of two-float vertices (index count = the index
// buffer's bytes / 4, unsigned 32-bit indices).
void draw_indexed_triangles_2d(const PBO& vertex_buffer, const PBO& index_buffer);

// Draws triangle_count triangles whose vertices are `components` floats each,
// packed, from the start of the buffer.
void draw_captured_triangles(const PBO& vertex_buffer, GLuint triangle_count, int components);

// Draws vertex_count points from vertex first_vertex on, whose vertices are
// `components` floats each, packed, from the start of the buffer.
void draw_captured_points(const PBO& vertex_buffer, GLuint first_vertex, GLuint vertex_count, int components);

// Bytes per captured vertex of the current program's feedback varyings; 0
// when no program is current or it captures nothing known.
std::uint64_t captured_bytes_per_vertex();

// Whole triangles that fit from the byte offset to the end of a buffer of
// `buffer_bytes`, for vertices of the given size; 0 when the size is unknown
// or the offset lies at or beyond the end.
std::uint64_t feedback_capacity_triangles(std::uint64_t buffer_bytes, std::uint64_t byte_offset,
                                          std::uint64_t bytes_per_vertex);

class SinglePassFeedbackTriangles {
public:
    // One capture buffer of `buffer_bytes` and the 64 x 64 render target that
    // stays bound during captures; one query.
    SinglePassFeedbackTriangles(GlEngine& engine, std::uint64_t buffer_bytes);
    virtual ~SinglePassFeedbackTriangles();
    SinglePassFeedbackTriangles(const SinglePassFeedbackTriangles&) = delete;
    SinglePassFeedbackTriangles& operator=(const SinglePassFeedbackTriangles&) = delete;

    // Captures the triangles of `vertex_buffer` into the capture buffer at the
    // byte offset; hands the capture buffer out in `result`.
    void capture(std::shared_ptr<PBO>& result, const PBO& vertex_buffer,
                 GLuint triangle_count, GLuint& primitives_written, int components, GLintptr byte_offset);
    void capture_indexed(std::shared_ptr<PBO>& result, const PBO& vertex_buffer,
                         const PBO& index_buffer, GLuint& primitives_written, GLintptr byte_offset);
    // Captures vertex_count vertices of `vertex_buffer` from vertex
    // first_vertex on, each on its own as a point, into the capture buffer at
    // the byte offset: a vertex program's output for each distinct vertex
    // once. points_written counts vertices.
    void capture_points(std::shared_ptr<PBO>& result, const PBO& vertex_buffer, GLuint first_vertex,
                        GLuint vertex_count, GLuint& points_written, int components, GLintptr byte_offset);

    // Whether the last capture filled the buffer (triangles may be missing).
    bool capacity_reached() const { return capacity_reached_; }
    const std::shared_ptr<PBO>& buffer() const { return buffer_; }

private:
    GLuint query_ = 0;
    std::shared_ptr<PBO> buffer_;
    std::shared_ptr<RenderTarget> render_target_;
    bool capacity_reached_ = false;
};

class RecursiveTopologyFeedbackTriangles {
public:
    // Two capture buffers of `buffer_bytes`, the 64 x 64 render target, one
    // query.
    RecursiveTopologyFeedbackTriangles(GlEngine& engine, std::uint64_t buffer_bytes);
    virtual ~RecursiveTopologyFeedbackTriangles();
    RecursiveTopologyFeedbackTriangles(const RecursiveTopologyFeedbackTriangles&) = delete;
    RecursiveTopologyFeedbackTriangles& operator=(const RecursiveTopologyFeedbackTriangles&) = delete;

    // Captures the indexed triangles into buffer 0.
    void capture_first_level(const PBO& vertex_buffer, const PBO& index_buffer);
    // Swaps source and destination and captures the previous level's
    // triangles (vertices of `components` floats) into the destination. The
    // render target is not bound again: it is still bound from the first level.
    void capture_next_level(int components);
    // The same, where a destination smaller than `destination_bytes` is
    // first replaced by a pooled buffer of that size: a level's size is
    // known only once the level before it is captured, so the two buffers
    // can start small and grow with the levels. The source is kept.
    void capture_next_level(int components, std::uint64_t destination_bytes);
    // The buffer holding the latest level, and its triangle count.
    std::shared_ptr<PBO> current_buffer(GLuint& count) const;

    unsigned source_index() const { return source_; }
    unsigned destination_index() const { return destination_; }
    GLuint previous_count() const { return previous_count_; }
    bool capacity_reached() const { return capacity_reached_; }
    // Buffer 0 or 1 of the ping-pong.
    const std::shared_ptr<PBO>& buffer(unsigned index) const { return buffers_.at(index); }

private:
    GLuint query_ = 0;
    unsigned source_ = 1;
    unsigned destination_ = 0;
    GLuint previous_count_ = 0;
    GLuint current_count_ = 0;
    std::array<std::shared_ptr<PBO>, 2> buffers_;
    std::shared_ptr<RenderTarget> render_target_;
    GlEngine* engine_;
    bool capacity_reached_ = false;
};

}  // namespace tavrel
