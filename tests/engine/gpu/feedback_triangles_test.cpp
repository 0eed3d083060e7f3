// Transform-feedback captures through the engine's capture objects: a vertex
// stage alone, a geometry stage, the recursive ping-pong, an empty draw, and
// a buffer too small for what is drawn.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gpu/pbo.h"
#include "engine/gpu/feedback_triangles.h"
#include "engine/gpu/gl_engine.h"
#include "engine/core/gl_object_counter.h"
#include "engine/shaders/glsl_program.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/transform_feedback.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

// Capture buffers and targets go back to the engine's pools, not to GL: what
// a capture must not leave behind is anything beyond what the pools keep.
std::int64_t objects_outside_pools(tavrel::GlEngine& engine) {
    return tavrel::live_gl_objects() - std::int64_t(engine.pbo_pool().free_total());
}

using tavrel_test::run_on_engine;

constexpr std::uint64_t kTriangleBytes = 3 * 3 * sizeof(float);  // three vec3 vertices

template <typename T>
std::shared_ptr<tavrel::PBO> buffer_with(GLenum target, const std::vector<T>& data) {
    tavrel::PBODescriptor d;
    d.target = target;
    d.usage = GL_STREAM_DRAW;
    d.access = GL_WRITE_ONLY;
    d.size = data.size() * sizeof(T);
    auto buffer = std::make_shared<tavrel::PBO>(d);
    if (!data.empty()) {
        buffer->bind();
        glBufferSubData(target, 0, static_cast<GLsizeiptr>(d.size), data.data());
        glBindBuffer(target, 0);
    }
    return buffer;
}

std::vector<float> read_back(const tavrel::PBO& buffer, std::uint64_t byte_offset, std::size_t floats) {
    std::vector<float> out(floats);
    glBindBuffer(GL_ARRAY_BUFFER, buffer.gl_name());
    glGetBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(byte_offset),
                       static_cast<GLsizeiptr>(floats * sizeof(float)), out.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return out;
}

void fill(const tavrel::PBO& buffer, float value) {
    std::vector<float> v(static_cast<std::size_t>(buffer.size() / sizeof(float)), value);
    glBindBuffer(GL_ARRAY_BUFFER, buffer.gl_name());
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(buffer.size()), v.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// The pooled 64 x 64 target is made once, so that the counts below compare
// like with like.
// Besides the pooled target, the engine's transform-feedback programs, which
// stay with the engine from their first request on: both are made before a
// test counts what a capture leaves behind.
void warm_capture_target(tavrel::GlEngine& engine) {
    engine.request_render_target(64, 64, 1, 0, false, 0, 1);
    engine.copy_topology_program();
    engine.reverse_vertex_order_program();
}

// Two triangles of the unit square as two-float vertices and their indices.
const std::vector<float> kSquare = {0, 0, 1, 0, 1, 1, 0, 1};
const std::vector<std::uint32_t> kSquareIndices = {0, 1, 2, 0, 2, 3};

// Splits each triangle into four at its edge midpoints, capturing each new
// vertex with its third coordinate raised by one, so that a level's output
// tells how many levels it went through.
const char* const kSplitVertex = "void main()\n{\n    gl_Position = vec4(gl_Vertex.xyz, 1.0);\n}\n";
const char* const kSplitGeometry = R"glsl(
out vec3 out_texcoord;

void emit(vec4 p)
{
    out_texcoord = vec3(p.xy, p.z + 1.0);
    gl_Position = p;
    EmitVertex();
}

void triangle(vec4 a, vec4 b, vec4 c)
{
    emit(a);
    emit(b);
    emit(c);
    EndPrimitive();
}

void main()
{
    vec4 a = gl_in[0].gl_Position, b = gl_in[1].gl_Position, c = gl_in[2].gl_Position;
    vec4 ab = 0.5 * (a + b), bc = 0.5 * (b + c), ca = 0.5 * (c + a);
    triangle(a, ab, ca);
    triangle(ab, b, bc);
    triangle(ca, bc, c);
    triangle(ab, bc, ca);
}
)glsl";
const char* const kWhiteFragment = "void main()\n{\n    gl_FragColor = vec4(1.0);\n}\n";

std::unique_ptr<tavrel::GLSLProgram> make_split_program() {
    return std::make_unique<tavrel::GLSLProgram>(kSplitVertex, kSplitGeometry, kWhiteFragment, GL_TRIANGLES,
                                                 GL_TRIANGLE_STRIP, 12, tavrel::make_transform_feedback(0));
}

TEST(FeedbackTriangles, VertexStageCaptureIndexedAndAtAnOffset) {
    run_on_engine([](tavrel::GlEngine& engine) {
        warm_capture_target(engine);
        const std::int64_t before = objects_outside_pools(engine);
        {
            tavrel_test::DebugOutputText output;
            engine.copy_topology_program().bind();
            auto vertices = buffer_with(GL_ARRAY_BUFFER, kSquare);
            auto indices = buffer_with(GL_ELEMENT_ARRAY_BUFFER, kSquareIndices);
            tavrel::SinglePassFeedbackTriangles capture(engine, 4 * kTriangleBytes);
            // Made: the capture buffer and the query; the target came from the pool.
            EXPECT_EQ(tavrel::live_gl_objects(), before + 4);
            fill(*capture.buffer(), -1.0f);

            std::shared_ptr<tavrel::PBO> result;
            GLuint written = 99;
            capture.capture_indexed(result, *vertices, *indices, written, 0);
            EXPECT_EQ(written, 2u);
            EXPECT_EQ(result, capture.buffer());
            EXPECT_FALSE(capture.capacity_reached());
            const std::vector<float> first = {0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 1};
            EXPECT_EQ(read_back(*result, 0, 18), first);

            // Again after the first two triangles, drawn from the capture
            // itself as three-float vertices.
            auto copy_of_first = buffer_with(GL_ARRAY_BUFFER, first);
            capture.capture(result, *copy_of_first, 2, written, 3, static_cast<GLintptr>(2 * kTriangleBytes));
            EXPECT_EQ(written, 2u);
            EXPECT_EQ(read_back(*result, 0, 18), first) << "the first capture stays";
            EXPECT_EQ(read_back(*result, 2 * kTriangleBytes, 18), first);
            // Exactly full now: reported, though nothing was lost.
            EXPECT_TRUE(capture.capacity_reached());
            // The draw helpers leave no array state behind.
            GLint bound = -1;
            glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
            EXPECT_EQ(bound, 0);
            glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
            EXPECT_EQ(bound, 0);
            EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
            EXPECT_FALSE(glIsEnabled(GL_RASTERIZER_DISCARD_EXT));
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            engine.copy_topology_program().unbind();
            glUseProgram(0);
        }
        EXPECT_EQ(objects_outside_pools(engine), before) << tavrel::live_gl_objects_text();
    });
}

TEST(FeedbackTriangles, GeometryStageCapture) {
    run_on_engine([](tavrel::GlEngine& engine) {
        warm_capture_target(engine);
        const std::int64_t before = objects_outside_pools(engine);
        {
            tavrel_test::DebugOutputText output;
            engine.reverse_vertex_order_program().bind();
            const std::vector<float> triangles = {0, 0, 0.25f, 1, 0, 0.5f, 0, 1, 0.75f,
                                                  0.5f, 0.5f, -0.25f, 1, 1, 0, 0, 1, 0.125f};
            auto vertices = buffer_with(GL_ARRAY_BUFFER, triangles);
            tavrel::SinglePassFeedbackTriangles capture(engine, 2 * kTriangleBytes);
            std::shared_ptr<tavrel::PBO> result;
            GLuint written = 0;
            capture.capture(result, *vertices, 2, written, 3, 0);
            EXPECT_EQ(written, 2u);
            // Vertices 0, 2, 1 of each triangle with the third coordinate negated.
            const std::vector<float> expected = {0, 0, -0.25f, 0, 1, -0.75f, 1, 0, -0.5f,
                                                 0.5f, 0.5f, 0.25f, 0, 1, -0.125f, 1, 1, 0};
            EXPECT_EQ(read_back(*result, 0, 18), expected);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            glUseProgram(0);
        }
        EXPECT_EQ(objects_outside_pools(engine), before) << tavrel::live_gl_objects_text();
    });
}

TEST(FeedbackTriangles, RecursionPingPongsAndEndsInTheDestination) {
    run_on_engine([](tavrel::GlEngine& engine) {
        warm_capture_target(engine);
        const std::int64_t before = objects_outside_pools(engine);
        {
            tavrel_test::DebugOutputText output;
            auto split = make_split_program();
            split->bind();
            auto vertices = buffer_with(GL_ARRAY_BUFFER, kSquare);
            auto indices = buffer_with(GL_ELEMENT_ARRAY_BUFFER, kSquareIndices);
            tavrel::RecursiveTopologyFeedbackTriangles recursion(engine, 130 * kTriangleBytes);
            const auto buffer0 = recursion.buffer(0);
            const auto buffer1 = recursion.buffer(1);

            recursion.capture_first_level(*vertices, *indices);
            GLuint count = 0;
            EXPECT_EQ(recursion.current_buffer(count), buffer0);
            EXPECT_EQ(count, 8u);
            EXPECT_EQ(recursion.source_index(), 1u);
            EXPECT_EQ(recursion.destination_index(), 0u);

            recursion.capture_next_level(3);
            EXPECT_EQ(recursion.source_index(), 0u);
            EXPECT_EQ(recursion.current_buffer(count), buffer1);
            EXPECT_EQ(count, 32u);
            EXPECT_EQ(recursion.previous_count(), 8u);

            // A rebound target must not matter: the next level does not bind it.
            GLint framebuffer_before = 0;
            glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer_before);
            recursion.capture_next_level(3);
            EXPECT_EQ(recursion.source_index(), 1u) << "the second next level reads buffer 1";
            EXPECT_EQ(recursion.destination_index(), 0u);
            EXPECT_EQ(recursion.current_buffer(count), buffer0);
            EXPECT_EQ(count, 128u);
            EXPECT_EQ(recursion.previous_count(), 32u);
            EXPECT_FALSE(recursion.capacity_reached());

            // Three levels: every vertex carries 3 in its third coordinate,
            // and the areas of the 128 triangles add up to the square's.
            const std::vector<float> result = read_back(*buffer0, 0, 128 * 9);
            double area = 0.0;
            for (std::size_t t = 0; t < 128; ++t) {
                const float* v = &result[t * 9];
                for (int k = 0; k < 3; ++k) ASSERT_EQ(v[k * 3 + 2], 3.0f) << "triangle " << t;
                area += 0.5 * std::abs((v[3] - v[0]) * (v[7] - v[1]) - (v[6] - v[0]) * (v[4] - v[1]));
            }
            EXPECT_NEAR(area, 1.0, 1e-6);
            // Buffer 1 still holds the second level.
            const std::vector<float> level2 = read_back(*buffer1, 0, 32 * 9);
            for (std::size_t i = 2; i < level2.size(); i += 3) ASSERT_EQ(level2[i], 2.0f);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            glUseProgram(0);
        }
        EXPECT_EQ(objects_outside_pools(engine), before) << tavrel::live_gl_objects_text();
    });
}

TEST(FeedbackTriangles, ZeroTrianglesCountZeroAndLeaveTheBuffer) {
    run_on_engine([](tavrel::GlEngine& engine) {
        warm_capture_target(engine);
        const std::int64_t before = objects_outside_pools(engine);
        {
            tavrel_test::DebugOutputText output;
            engine.copy_topology_program().bind();
            auto vertices = buffer_with(GL_ARRAY_BUFFER, std::vector<float>{0, 0, 0});
            tavrel::SinglePassFeedbackTriangles capture(engine, 2 * kTriangleBytes);
            fill(*capture.buffer(), 7.0f);
            std::shared_ptr<tavrel::PBO> result;
            GLuint written = 99;
            capture.capture(result, *vertices, 0, written, 3, 0);
            EXPECT_EQ(written, 0u);
            EXPECT_EQ(read_back(*result, 0, 18), std::vector<float>(18, 7.0f));
            EXPECT_FALSE(capture.capacity_reached());
            EXPECT_EQ(output.text().find("Transform feedback buffer full"), std::string::npos);
            glUseProgram(0);
        }
        EXPECT_EQ(objects_outside_pools(engine), before) << tavrel::live_gl_objects_text();
    });
}

TEST(FeedbackTriangles, ACaptureThatFillsItsBufferIsReported) {
    struct Case {
        std::string name;
        std::uint64_t buffer_bytes;
        GLintptr offset;
        GLuint drawn;
        GLuint expected_written;
        bool reported;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"room to spare", 4 * kTriangleBytes, 0, 2, 2, false, ""},
        {"one too many", 2 * kTriangleBytes, 0, 3, 2, true,
         "Transform feedback buffer full: 2 of 2 triangles of 36 bytes written from byte offset 0 of 72; "
         "triangles beyond that were not captured.\n"},
        {"offset leaves room for one", 3 * kTriangleBytes, 2 * kTriangleBytes, 2, 1, true,
         "Transform feedback buffer full: 1 of 1 triangles of 36 bytes written from byte offset 72 of 108; "
         "triangles beyond that were not captured.\n"},
        {"a partial triangle's room does not count", 2 * kTriangleBytes + 20, 0, 3, 2, true,
         "Transform feedback buffer full: 2 of 2 triangles of 36 bytes written from byte offset 0 of 92; "
         "triangles beyond that were not captured.\n"},
    };
    run_on_engine([&cases](tavrel::GlEngine& engine) {
        warm_capture_target(engine);
        const std::int64_t before = objects_outside_pools(engine);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            tavrel_test::DebugOutputText output;
            engine.copy_topology_program().bind();
            std::vector<float> triangles;
            for (GLuint t = 0; t < c.drawn; ++t) {
                const float x = static_cast<float>(t);
                triangles.insert(triangles.end(), {x, 0, 0, x + 1, 0, 0, x, 1, 0});
            }
            auto vertices = buffer_with(GL_ARRAY_BUFFER, triangles);
            tavrel::SinglePassFeedbackTriangles capture(engine, c.buffer_bytes);
            std::shared_ptr<tavrel::PBO> result;
            GLuint written = 0;
            capture.capture(result, *vertices, c.drawn, written, 3, c.offset);
            EXPECT_EQ(written, c.expected_written);
            EXPECT_EQ(capture.capacity_reached(), c.reported);
            EXPECT_EQ(output.text(), c.text);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            glUseProgram(0);
        }
        EXPECT_EQ(objects_outside_pools(engine), before) << tavrel::live_gl_objects_text();
    });
}

TEST(FeedbackTriangles, CapacityArithmetic) {
    struct Case {
        std::uint64_t bytes, offset, vertex_bytes, expected;
    };
    const std::vector<Case> cases = {
        {72, 0, 12, 2}, {71, 0, 12, 1}, {72, 36, 12, 1}, {72, 72, 12, 0},
        {72, 100, 12, 0}, {72, 0, 0, 0}, {56 * 3 * 10, 0, 56, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tavrel::feedback_capacity_triangles(c.bytes, c.offset, c.vertex_bytes), c.expected)
            << c.bytes << " " << c.offset << " " << c.vertex_bytes;
    }
}

TEST(FeedbackTriangles, CapturedVertexSizeOfTheCurrentProgram) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::DebugOutputText output;
        glUseProgram(0);
        EXPECT_EQ(tavrel::captured_bytes_per_vertex(), 0u);
        engine.copy_topology_program().bind();
        EXPECT_EQ(tavrel::captured_bytes_per_vertex(), 12u);
        // Position, texture coordinate, normal, tangent and binormal.
        const char* vertex =
            "varying vec3 out_position;\nvarying vec2 out_texcoord;\nvarying vec3 out_normal;\n"
            "varying vec3 out_tangent;\nvarying vec3 out_binormal;\n"
            "void main()\n{\n    gl_Position = gl_Vertex;\n    out_position = gl_Vertex.xyz;\n"
            "    out_texcoord = gl_Vertex.xy;\n    out_normal = gl_Vertex.xyz;\n    out_tangent = gl_Vertex.yzx;\n"
            "    out_binormal = gl_Vertex.zxy;\n}\n";
        tavrel::GLSLProgram surface(vertex, kWhiteFragment, tavrel::make_transform_feedback(1));
        surface.bind();
        EXPECT_EQ(tavrel::captured_bytes_per_vertex(), 56u);
        glUseProgram(0);
    });
}

TEST(TransformFeedback, VaryingSetsAndTheEntryPointsInUse) {
    const auto surface = tavrel::make_transform_feedback(1);
    EXPECT_EQ(surface->varyings(), (std::vector<std::string>{"out_position", "out_texcoord", "out_normal",
                                                             "out_tangent", "out_binormal"}));
    for (int kind : {0, 2, -1}) {
        EXPECT_EQ(tavrel::make_transform_feedback(kind)->varyings(), std::vector<std::string>{"out_texcoord"});
    }
    run_on_engine([](tavrel::GlEngine&) {
        // Mesa offers the EXT entry points only; the NV ones must not be
        // chosen on a stub pointer.
        EXPECT_FALSE(GLEW_NV_transform_feedback);
        EXPECT_TRUE(GLEW_EXT_transform_feedback);
        EXPECT_NE(glBeginTransformFeedbackEXT, nullptr);
        EXPECT_NE(glTransformFeedbackVaryingsEXT, nullptr);
    });
}

}  // namespace
