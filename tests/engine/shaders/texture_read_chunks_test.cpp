#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/shaders/glsl_program.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/texture_read_chunks.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::Rgba;
using tavrel_test::run_on_engine;

}  // namespace

// The fragment stage's bound on texture footprints: a 16 x 16 quad over a
// 64 x 64 texture with the coordinates spanning `span` across it, so that a
// pixel's footprint is span * 4 texels along each axis. Within the limit the
// coordinates reach the sampler unchanged, bit for bit; beyond it each 2 x 2
// block's footprint is drawn in to the limit and stays inside the span;
// coordinates that are not finite read the texture's centre.
TEST(TextureReadChunks, FootprintsAreBoundedPerPixelBlock) {
    run_on_engine([](tavrel::GlEngine&) {
        const std::string vertex =
            "void main()\n{\n    gl_Position = gl_Vertex;\n    gl_TexCoord[0] = gl_MultiTexCoord0;\n}\n";
        const std::string fragment = tavrel::shader_preamble(2) + tavrel::bounded_footprint_chunk() + R"glsl(
uniform sampler2D tex;
void main()
{
    vec2 coord = gl_TexCoord[0].st;
    vec2 bounded = bounded_footprint(tex, coord);
    vec2 extent = max(abs(dFdx(bounded)), abs(dFdy(bounded))) * vec2(textureSize2D(tex, 0));
    gl_FragColor = vec4(bounded, max(extent.x, extent.y), bounded == coord ? 1.0 : 0.0);
}
)glsl";
        tavrel::GLSLProgram program(vertex, fragment);
        const GLuint texture = tavrel_test::make_float_texture(64, 64, std::vector<Rgba>(64 * 64, Rgba{1, 1, 1, 1}));
        const float limit = float(tavrel::kLongestTextureFootprint);
        const float nan = std::nanf("");
        struct Case {
            float span;
            bool unchanged;
            float least_extent, most_extent;
        };
        const Case cases[] = {
            {1.0f, true, 4.0f, 4.0f},
            {(limit - 4.0f) / 4.0f, true, limit - 4.0f, limit - 4.0f},
            {1.0e5f, false, 0.99f * limit, 1.01f * limit},
            // Coordinates this large are 2 apart in float, coarser than the
            // limit's step: the block may collapse onto one point, but never
            // grow past the limit.
            {3.0e7f, false, 0.0f, 1.01f * limit},
            {nan, false, 0.0f, 0.0f},
        };
        for (const Case& c : cases) {
            tavrel_test::FloatFramebuffer target(16, 16);
            glUseProgram(program.program());
            glUniform1i(glGetUniformLocation(program.program(), "tex"), 0);
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, texture);
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, 0.0f);
            glVertex2f(-1.0f, -1.0f);
            glTexCoord2f(c.span, 0.0f);
            glVertex2f(1.0f, -1.0f);
            glTexCoord2f(c.span, c.span);
            glVertex2f(1.0f, 1.0f);
            glTexCoord2f(0.0f, c.span);
            glVertex2f(-1.0f, 1.0f);
            glEnd();
            glUseProgram(0);
            glBindTexture(GL_TEXTURE_2D, 0);
            ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            const std::vector<Rgba> pixels = target.read();
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                const Rgba& p = pixels[i];
                SCOPED_TRACE("span " + std::to_string(c.span) + ", pixel " + std::to_string(i));
                EXPECT_EQ(p[3], c.unchanged ? 1.0f : 0.0f);
                EXPECT_GE(p[2], c.least_extent);
                EXPECT_LE(p[2], c.most_extent);
                if (std::isnan(c.span)) {
                    EXPECT_EQ(p[0], 0.5f);
                    EXPECT_EQ(p[1], 0.5f);
                } else {
                    for (int k = 0; k < 2; ++k) {
                        EXPECT_GE(p[k], 0.0f);
                        EXPECT_LE(p[k], c.span);
                    }
                }
            }
        }
        glDeleteTextures(1, &texture);
    });
}

namespace {

// The coordinate moved by a hash of the pixel, "jitter" texels at most.
const char* const kJitteredCoord = R"glsl(
uniform float jitter;
vec2 jittered_coord()
{
    float h = fract(sin(dot(floor(gl_FragCoord.xy), vec2(12.9898, 78.233))) * 43758.5453);
    return gl_TexCoord[0].st + vec2(h, fract(h * 7.0)) * jitter / 64.0;
}
)glsl";

const char* const kLayerReadVertex =
    "void main()\n{\n    gl_Position = gl_Vertex;\n    gl_TexCoord[0] = gl_MultiTexCoord0;\n}\n";

// One pass of a fragment program over a 64 x 64 target: a quad in
// perspective (w 1, 2, 4 and 2 at its corners) whose coordinates span a
// 64 x 64 texture once, so that a pixel's footprint runs from under one
// texel to several; jittered_coord() moves each pixel's coordinate by up to
// a texel, so that many 2 x 2 blocks have pixels on both sides of the
// one-texel limit.
std::vector<Rgba> draw_layer_read_pass(const std::string& fragment_main, GLuint texture) {
    const std::string fragment = tavrel::shader_preamble(2) + tavrel::bounded_footprint_chunk() +
                                 tavrel::layer_read_chunk() + "uniform sampler2D tex;\n" + kJitteredCoord +
                                 fragment_main;
    tavrel::GLSLProgram program(kLayerReadVertex, fragment);
    tavrel_test::FloatFramebuffer target(64, 64);
    glUseProgram(program.program());
    glUniform1i(glGetUniformLocation(program.program(), "tex"), 0);
    glUniform1f(glGetUniformLocation(program.program(), "jitter"), 1.0f);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    const float corners[4][3] = {{-1, -1, 1}, {1, -1, 2}, {1, 1, 4}, {-1, 1, 2}};
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        const float w = c[2];
        glTexCoord2f(c[0] > 0 ? 1.0f : 0.0f, c[1] > 0 ? 1.0f : 0.0f);
        glVertex4f(c[0] * w, c[1] * w, 0.0f, w);
    }
    glEnd();
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return target.read();
}

}  // namespace

// The layer read skips the filtered read only in 2 x 2 blocks where no pixel
// uses it: every pixel, in blocks on either side of the one-texel limit and
// in blocks across it, equals the read that makes both reads everywhere.
TEST(TextureReadChunks, LayerReadMatchesBothReadsEverywhereAcrossTheOneTexelLimit) {
    run_on_engine([](tavrel::GlEngine&) {
        std::vector<Rgba> texels(64 * 64);
        std::uint32_t state = 12345u;
        for (Rgba& t : texels)
            for (float& v : t) {
                state = state * 1664525u + 1013904223u;
                v = float(state >> 8) / float(1u << 24);
            }
        const GLuint texture = tavrel_test::make_float_texture(64, 64, texels);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        GLfloat largest = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, largest);
        glBindTexture(GL_TEXTURE_2D, 0);

        const std::vector<Rgba> read = draw_layer_read_pass(
            "void main() { gl_FragColor = texture2D_layer(tex, jittered_coord()); }\n", texture);
        const std::vector<Rgba> both = draw_layer_read_pass(R"glsl(
void main()
{
    vec2 coord = jittered_coord();
    ivec2 size = textureSize2D(tex, 0);
    float longest = max(length(dFdx(coord) * vec2(size)), length(dFdy(coord) * vec2(size)));
    vec4 filtered = texture2D_bounded(tex, coord);
    vec4 bilinear = texel_bilinear(tex, coord * vec2(size) - 0.5, size);
    gl_FragColor = longest <= 1.00390625 ? bilinear : filtered;
}
)glsl", texture);
        const std::vector<Rgba> filtered_here = draw_layer_read_pass(R"glsl(
void main()
{
    vec2 coord = jittered_coord();
    vec2 texels = vec2(textureSize2D(tex, 0));
    float longest = max(length(dFdx(coord) * texels), length(dFdy(coord) * texels));
    gl_FragColor = vec4(longest <= 1.00390625 ? 0.0 : 1.0);
}
)glsl", texture);
        glDeleteTextures(1, &texture);

        int unfiltered_blocks = 0, filtered_blocks = 0, mixed_blocks = 0;
        for (int y = 0; y < 64; y += 2)
            for (int x = 0; x < 64; x += 2) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) sum += filtered_here[std::size_t((y + k / 2) * 64 + x + k % 2)][0];
                (sum == 0.0f ? unfiltered_blocks : sum == 4.0f ? filtered_blocks : mixed_blocks) += 1;
            }
        EXPECT_GT(unfiltered_blocks, 50);
        EXPECT_GT(filtered_blocks, 50);
        EXPECT_GT(mixed_blocks, 100);
        for (std::size_t i = 0; i < read.size(); ++i)
            ASSERT_EQ(read[i], both[i]) << "pixel " << i % 64 << ", " << i / 64 << ": "
                                         << tavrel_test::to_string(read[i]) << " against "
                                         << tavrel_test::to_string(both[i]);
    });
}
