#include <gtest/gtest.h>

#include <GL/glew.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/gpu/accumulation_buffer.h"
#include "engine/gpu/dual_peeling_render_buffers.h"
#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/shadow_map_array.h"
#include "engine/gpu/texture_formats.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::Rgba;
using tavrel_test::run_on_engine;

GLint texture_level_parameter(GLenum target, GLuint texture, GLenum name) {
    GLint value = 0;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(target, 0, name, &value);
    glBindTexture(target, 0);
    return value;
}

GLint render_buffer_parameter(GLuint buffer, GLenum name) {
    GLint value = 0;
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffer);
    glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, name, &value);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    return value;
}

std::vector<Rgba> read_texture(const tavrel::TextureObject& texture) {
    std::vector<Rgba> texels(static_cast<std::size_t>(texture.width()) * texture.height());
    glBindTexture(GL_TEXTURE_2D, texture.gl_name());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    TAVREL_CHECK_GL();
    return texels;
}

void expect_all(const std::vector<Rgba>& texels, const Rgba& expected, float tolerance) {
    for (std::size_t i = 0; i < texels.size(); ++i) {
        ASSERT_TRUE(tavrel_test::near(texels[i], expected, tolerance))
            << "texel " << i << ": " << tavrel_test::to_string(texels[i]) << " expected "
            << tavrel_test::to_string(expected);
    }
}

TEST(RenderTargets, FormatsPerKind) {
    struct Case {
        std::uint32_t kind;
        GLenum render_buffer_colour;
        std::set<GLint> target_texture;  // unsized GL_RGBA may read back sized
        GLenum external_format, pixel_type;
        GLenum peeling_colour;
        std::uint64_t bytes_per_pixel;
    };
    const Case cases[] = {
        {0, GL_RGBA, {GL_RGBA, GL_RGBA8}, GL_BGRA, GL_UNSIGNED_BYTE, GL_RGBA, 4},
        // 16-bit integers in the multisample buffer and the target (a half
        // float would keep 11 bits of them), never in the peeling buffers.
        {1, GL_RGBA16, {GL_RGBA16}, GL_RGBA, GL_UNSIGNED_SHORT, GL_RGBA32F, 8},
        {2, GL_RGBA32F, {GL_RGBA32F}, GL_RGBA, GL_FLOAT, GL_RGBA32F, 16},
    };
    run_on_engine([&cases](tavrel::GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE("kind " + std::to_string(c.kind));
            auto buffer = engine.request_render_buffer(8, 8, 4, c.kind);
            EXPECT_EQ(render_buffer_parameter(buffer->colour_buffer(), GL_RENDERBUFFER_INTERNAL_FORMAT_EXT),
                      static_cast<GLint>(c.render_buffer_colour));
            EXPECT_EQ(render_buffer_parameter(buffer->depth_buffer(), GL_RENDERBUFFER_INTERNAL_FORMAT_EXT),
                      GL_DEPTH_COMPONENT32F);
            EXPECT_EQ(render_buffer_parameter(buffer->colour_buffer(), GL_RENDERBUFFER_SAMPLES_EXT), 4);
            EXPECT_EQ(buffer->bytes_per_pixel(), c.bytes_per_pixel);
            EXPECT_EQ(buffer->format(), c.kind);

            auto target = engine.request_render_target(8, 4, 1, c.kind, true, 0, 1);
            EXPECT_EQ(target->descriptor().texture.external_format, c.external_format);
            EXPECT_EQ(target->descriptor().texture.pixel_type, c.pixel_type);
            EXPECT_EQ(target->descriptor().texture.channel_layout, 2u);
            ASSERT_EQ(target->textures.size(), 1u);
            const GLint internal = texture_level_parameter(GL_TEXTURE_2D, target->textures[0]->gl_name(),
                                                           GL_TEXTURE_INTERNAL_FORMAT);
            EXPECT_EQ(c.target_texture.count(internal), 1u) << std::hex << internal;
            EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D, target->textures[0]->gl_name(), GL_TEXTURE_WIDTH), 8);
            EXPECT_EQ(target->width(), 8u);
            EXPECT_EQ(target->height(), 4u);
            EXPECT_EQ(target->bytes_per_pixel(), c.bytes_per_pixel);

            auto peeling = engine.request_dual_peeling_buffers(8, 4, c.kind);
            for (int i = 0; i < 2; ++i) {
                EXPECT_EQ(texture_level_parameter(GL_TEXTURE_RECTANGLE_ARB, peeling->depth_textures[i],
                                                  GL_TEXTURE_INTERNAL_FORMAT),
                          GL_RGB32F);
                EXPECT_EQ(texture_level_parameter(GL_TEXTURE_RECTANGLE_ARB, peeling->front_blender_textures[i],
                                                  GL_TEXTURE_INTERNAL_FORMAT),
                          static_cast<GLint>(c.peeling_colour));
                EXPECT_EQ(texture_level_parameter(GL_TEXTURE_RECTANGLE_ARB, peeling->back_temp_textures[i],
                                                  GL_TEXTURE_INTERNAL_FORMAT),
                          static_cast<GLint>(c.peeling_colour));
            }
            EXPECT_EQ(texture_level_parameter(GL_TEXTURE_RECTANGLE_ARB, peeling->back_blender_texture,
                                              GL_TEXTURE_INTERNAL_FORMAT),
                      static_cast<GLint>(c.peeling_colour));
            peeling->bind_peeling_framebuffer();
            GLint attached = 0;
            glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT6_EXT,
                                                     GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &attached);
            EXPECT_EQ(static_cast<GLuint>(attached), peeling->back_blender_texture);
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    });
}

TEST(RenderTargets, RefusedFormatsLeaveNothingBehind) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel::RenderTargetDescriptor kind_3;
        kind_3.texture = {GL_TEXTURE_2D, 3, 2, 4, 4, GL_RGBA, GL_FLOAT, 0, 1};
        tavrel::RenderTargetDescriptor wrap_3;
        wrap_3.texture = {GL_TEXTURE_2D, 0, 2, 4, 4, GL_BGRA, GL_UNSIGNED_BYTE, 0, 3};
        wrap_3.colour_attachment_count = 2;  // the first texture was made already
        struct Case {
            std::string name;
            std::function<void()> make;
            std::string message;
        };
        const std::vector<Case> cases = {
            {"render buffer kind 3", [] { tavrel::RenderBuffer({4, 4, 0, 3}); }, "Unsupported format"},
            {"render target kind 3", [&kind_3] { tavrel::RenderTarget target(kind_3); },
             "Unsupported bit per channel."},
            {"render target wrap 3", [&wrap_3] { tavrel::RenderTarget target(wrap_3); }, "Unknown wrap mode: 3"},
            {"peeling kind 3", [] { tavrel::DualPeelingRenderBuffers({4, 4, 3}); }, "Unsupported bit per channel."},
            // Through the pools the error reaches the requester. (A new key
            // may evict another's free objects, so the count may drop.)
            {"requested render buffer kind 3", [&engine] { engine.request_render_buffer(4, 4, 0, 3); },
             "Unsupported format"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::int64_t before = tavrel::live_gl_objects();
            try {
                c.make();
                ADD_FAILURE() << "no exception";
            } catch (const tavrel::GlEngineError& e) {
                const std::string what = e.what();
                EXPECT_EQ(what.compare(0, 10, "Gl error ("), 0) << what;
                ASSERT_GE(what.size(), c.message.size());
                EXPECT_EQ(what.substr(what.size() - c.message.size()), c.message) << what;
            }
            if (c.name.compare(0, 9, "requested") == 0) {
                EXPECT_LE(tavrel::live_gl_objects(), before) << tavrel::live_gl_objects_text();
            } else {
                EXPECT_EQ(tavrel::live_gl_objects(), before) << tavrel::live_gl_objects_text();
            }
        }
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(RenderTargets, IncompleteFramebufferGivesItsStatusText) {
    run_on_engine([](tavrel::GlEngine&) {
        const std::int64_t before = tavrel::live_gl_objects();
        tavrel::RenderTargetDescriptor descriptor;
        descriptor.texture = {GL_TEXTURE_2D, 0, 2, 4, 4, GL_BGRA, GL_UNSIGNED_BYTE, 0, 1};
        descriptor.colour_attachment_count = 0;  // nothing attached at all
        try {
            tavrel::RenderTarget target(descriptor);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_STREQ(e.what(), "Framebuffer incomplete, missing attachment!");
        }
        EXPECT_EQ(tavrel::live_gl_objects(), before) << tavrel::live_gl_objects_text();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    });
}

TEST(RenderTargets, ThreeAttachmentsAreAllDrawnInto) {
    run_on_engine([](tavrel::GlEngine& engine) {
        auto target = engine.request_render_target(4, 4, 3, 2, false, 0, 1);
        GLint draw_buffers[4] = {};
        for (int i = 0; i < 4; ++i) glGetIntegerv(GL_DRAW_BUFFER0 + i, &draw_buffers[i]);
        EXPECT_EQ(draw_buffers[0], GL_COLOR_ATTACHMENT0_EXT);
        EXPECT_EQ(draw_buffers[1], GL_COLOR_ATTACHMENT1_EXT);
        EXPECT_EQ(draw_buffers[2], GL_COLOR_ATTACHMENT2_EXT);
        EXPECT_EQ(draw_buffers[3], GL_NONE);
        ASSERT_EQ(target->textures.size(), 3u);
        glClearColor(0.5f, 0.25f, 2.0f, 0.75f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        for (const auto& texture : target->textures) expect_all(read_texture(*texture), {0.5f, 0.25f, 2.0f, 0.75f}, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    });
}

TEST(RenderTargets, RequestsBindClearAndReuse) {
    run_on_engine([](tavrel::GlEngine& engine) {
        const tavrel::RenderTarget* first = nullptr;
        {
            auto target = engine.request_render_target(6, 2, 1, 2, true, 0, 1);
            first = target.get();
            glClearColor(1, 1, 1, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            glClearColor(0, 0, 0, 0);
        }
        // The same key gives the object back, bound, over the viewport and,
        // when asked, cleared again.
        auto again = engine.request_render_target(6, 2, 1, 2, true, 0, 1);
        EXPECT_EQ(again.get(), first);
        GLint framebuffer = 0, viewport[4] = {};
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(static_cast<GLuint>(framebuffer), again->gl_name());
        EXPECT_EQ(viewport[2], 6);
        EXPECT_EQ(viewport[3], 2);
        expect_all(read_texture(*again->textures[0]), {0, 0, 0, 0}, 0);
        // Another attachment count is another key.
        auto three = engine.request_render_target(6, 2, 3, 2, true, 0, 1);
        EXPECT_NE(three.get(), again.get());

        auto buffer = engine.request_render_buffer(5, 3, 16, 0);
        // Sixteen samples are more than llvmpipe offers: clamped, still complete.
        GLint max_samples = 0;
        glGetIntegerv(GL_MAX_SAMPLES_EXT, &max_samples);
        EXPECT_EQ(render_buffer_parameter(buffer->colour_buffer(), GL_RENDERBUFFER_SAMPLES_EXT), max_samples);
        GLint alignment = 0, env_mode = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env_mode);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        EXPECT_EQ(alignment, 1);
        EXPECT_EQ(env_mode, GL_REPLACE);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(viewport[2], 5);
        EXPECT_EQ(static_cast<GLuint>(framebuffer), buffer->gl_name());
        glDisable(GL_DEPTH_TEST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    });
}

// Texture creation works on unit 3 and hands unit 0 back, whichever unit was
// active before: a plain texture, and a new render target's textures.
TEST(RenderTargets, TextureCreationLeavesUnitZeroActive) {
    run_on_engine([](tavrel::GlEngine& engine) {
        struct Case {
            const char* name;
            std::function<std::shared_ptr<void>()> make;
        };
        tavrel::TextureDescription description;
        description.target = GL_TEXTURE_2D;
        description.format_kind = 2;
        description.channel_layout = 2;
        description.width = 4;
        description.height = 4;
        description.external_format = GL_RGBA;
        description.pixel_type = GL_FLOAT;
        const Case cases[] = {
            {"texture object", [&] { return std::shared_ptr<void>(std::make_shared<tavrel::TextureObject>(description)); }},
            {"render target", [&] { return std::shared_ptr<void>(engine.request_render_target(7, 3, 2, 1, false, 0, 1)); }},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            glActiveTexture(GL_TEXTURE5);
            std::shared_ptr<void> made = c.make();
            GLint active = 0;
            glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
            EXPECT_EQ(active, GL_TEXTURE0);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    });
}

TEST(RenderTargets, MultisampleBufferResolvedByFastBlit) {
    run_on_engine([](tavrel::GlEngine& engine) {
        auto buffer = engine.request_render_buffer(8, 8, 4, 2);
        glUseProgram(0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
        glColor4f(1, 1, 1, 1);
        glDisable(GL_DEPTH_TEST);
        // A larger destination takes the source-sized rectangle.
        auto target = engine.request_render_target(10, 8, 1, 2, true, 0, 1);
        tavrel::fast_blit(*buffer, *target);
        const std::vector<Rgba> texels = read_texture(*target->textures[0]);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                const Rgba expected = x < 8 ? Rgba{0.25f, 0.5f, 0.75f, 1.0f} : Rgba{0, 0, 0, 0};
                ASSERT_TRUE(tavrel_test::near(texels[y * 10 + x], expected, 1e-6f))
                    << x << ", " << y << ": " << tavrel_test::to_string(texels[y * 10 + x]);
            }
        }
        // A smaller destination is refused.
        auto small = engine.request_render_target(4, 8, 1, 2, true, 0, 1);
        try {
            tavrel::fast_blit(*buffer, *small);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_STREQ(e.what(), "fast_blit: the destination (4 x 8) is smaller than the source (8 x 8)");
        }
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(AccumulationBuffer, AddsWeightedViewsAlphaIncluded) {
    run_on_engine([](tavrel::GlEngine& engine) {
        auto accumulation = engine.request_accumulation_buffer(4, 2);
        ASSERT_EQ(accumulation->target->textures.size(), 1u);
        EXPECT_EQ(accumulation->target->format(), 2u);
        expect_all(read_texture(*accumulation->target->textures[0]), {0, 0, 0, 0}, 0);

        auto view = engine.request_render_target(4, 2, 1, 2, true, 0, 1);
        glClearColor(0.8f, 0.4f, 2.0f, 0.6f);  // float views are not clamped
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        GLint program_before = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_before);

        tavrel::accumulate_view(*accumulation, *view, 0.25);
        expect_all(read_texture(*accumulation->target->textures[0]), {0.2f, 0.1f, 0.5f, 0.15f}, 1e-6f);
        tavrel::accumulate_view(*accumulation, *view, 0.25);
        expect_all(read_texture(*accumulation->target->textures[0]), {0.4f, 0.2f, 1.0f, 0.3f}, 1e-6f);

        // The source is bound again and the state is as it was.
        GLint framebuffer = 0, program = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(static_cast<GLuint>(framebuffer), view->gl_name());
        EXPECT_EQ(program, program_before);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));

        tavrel::accumulation_clear(*accumulation);
        expect_all(read_texture(*accumulation->target->textures[0]), {0, 0, 0, 0}, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

// The array costs 16 MiB a layer in host memory on a software driver: none
// exists until a frame has casters, it holds as many layers as the most
// casters asked for so far, and fewer casters later reuse it.
TEST(ShadowMapArray, EngineMakesLayersOnlyForCasters) {
    run_on_engine([](tavrel::GlEngine& engine) {
        engine.release_free_pooled_objects();
        EXPECT_FALSE(engine.held_shadow_map_array());
        EXPECT_FALSE(engine.shadow_map_array(0));
        EXPECT_FALSE(engine.held_shadow_map_array());

        const std::shared_ptr<tavrel::ShadowMapArray> one = engine.shadow_map_array(1);
        ASSERT_TRUE(one);
        EXPECT_EQ(one->layers(), 1u);
        EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D_ARRAY_EXT, one->texture(), GL_TEXTURE_DEPTH), 1);
        EXPECT_EQ(engine.shadow_map_array(1), one);
        EXPECT_EQ(engine.held_shadow_map_array(), one);

        const std::shared_ptr<tavrel::ShadowMapArray> three = engine.shadow_map_array(3);
        EXPECT_NE(three, one);
        EXPECT_EQ(three->layers(), 3u);
        EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D_ARRAY_EXT, three->texture(), GL_TEXTURE_DEPTH), 3);
        EXPECT_EQ(engine.shadow_map_array(2), three);
        // A frame without casters lets the array be, and gets none.
        EXPECT_FALSE(engine.shadow_map_array(0));
        EXPECT_EQ(engine.held_shadow_map_array(), three);
        EXPECT_THROW(engine.shadow_map_array(13), std::out_of_range);
        EXPECT_EQ(engine.held_shadow_map_array(), three);

        engine.release_free_pooled_objects();
        EXPECT_FALSE(engine.held_shadow_map_array());
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(ShadowMapArray, EngineArrayLayersAttachOneByOne) {
    run_on_engine([](tavrel::GlEngine& engine) {
        std::shared_ptr<tavrel::ShadowMapArray> shadow = engine.shadow_map_array(12);
        ASSERT_TRUE(shadow);
        EXPECT_EQ(shadow->size(), 2048u);
        EXPECT_EQ(shadow->layers(), 12u);
        EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D_ARRAY_EXT, shadow->texture(), GL_TEXTURE_INTERNAL_FORMAT),
                  GL_DEPTH_COMPONENT24);
        EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D_ARRAY_EXT, shadow->texture(), GL_TEXTURE_DEPTH), 12);
        EXPECT_EQ(texture_level_parameter(GL_TEXTURE_2D_ARRAY_EXT, shadow->texture(), GL_TEXTURE_WIDTH), 2048);
        GLint compare_func = 0, min_filter = 0, wrap_s = 0;
        glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, shadow->texture());
        glGetTexParameteriv(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_COMPARE_FUNC, &compare_func);
        glGetTexParameteriv(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexParameteriv(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_WRAP_S, &wrap_s);
        glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, 0);
        EXPECT_EQ(compare_func, GL_LEQUAL);
        EXPECT_EQ(min_filter, GL_LINEAR);
        EXPECT_EQ(wrap_s, GL_CLAMP_TO_EDGE);

        shadow->bind();
        for (GLint layer = 0; layer < 12; ++layer) {
            SCOPED_TRACE("layer " + std::to_string(layer));
            ASSERT_NO_THROW(shadow->attach_layer(static_cast<std::uint32_t>(layer)));
            GLint attached_layer = -1;
            glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                                     GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LAYER_EXT, &attached_layer);
            EXPECT_EQ(attached_layer, layer);
        }
        // One past the last layer is a GL error.
        EXPECT_THROW(shadow->attach_layer(12), tavrel::GlEngineError);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(EngineStart, UtilityProgramsPerKind) {
    run_on_engine([](tavrel::GlEngine& engine) {
        for (int kind = 0; kind < 3; ++kind) {
            EXPECT_TRUE(glIsProgram(engine.copy_program(kind).program()));
            EXPECT_TRUE(glIsProgram(engine.flat_shading_program(kind).program()));
            EXPECT_TRUE(glIsProgram(engine.view_depth_program(kind).program()));
            EXPECT_TRUE(glIsProgram(engine.depth_only_program(kind).program()));
        }
        // The copy programs convert: each has its kind's preamble.
        EXPECT_NE(&engine.copy_program(0), &engine.copy_program(1));
        EXPECT_TRUE(glIsProgram(engine.extrude_program().program()));
        EXPECT_TRUE(glIsProgram(engine.reverse_vertex_order_program().program()));
        EXPECT_TRUE(glIsProgram(engine.copy_topology_program().program()));
        EXPECT_THROW(engine.copy_program(3), std::out_of_range);
        EXPECT_THROW(engine.depth_only_program(-1), std::out_of_range);
    });
}

}  // namespace
