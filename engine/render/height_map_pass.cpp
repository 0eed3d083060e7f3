#include "engine/render/height_map_pass.h"

#include <string>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

const char* const kVertex = R"glsl(
void main()
{
    gl_Position = gl_Vertex;
}
)glsl";

// The programs' wrap codes, those of the textures' descriptions.
int wrap_code(GLint wrap, const char* source) {
    switch (wrap) {
        case GL_CLAMP_TO_BORDER: return 0;
        case GL_CLAMP_TO_EDGE: return 1;
        case GL_REPEAT: return 2;
        default:
            throw GlEngineError(std::string(source) + ": a height map wrapped by mode " + std::to_string(wrap) +
                                " cannot be read");
    }
}

}  // namespace

HeightMapWrap height_map_wrap(GLuint height_map, const char* source) {
    HeightMapWrap wrap;
    {
        TextureUnitGuard unit(kHeightMapPassUnit);
        glBindTexture(GL_TEXTURE_2D, height_map);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap.s);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap.t);
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, wrap.border);
        check_gl_error(source, __LINE__);
    }
    wrap_code(wrap.s, source);
    wrap_code(wrap.t, source);
    return wrap;
}

void upload_height_map_wrap(IProgram& program, GLuint height_map, const char* source) {
    if (!program.has_parameter("height_map_wrap_s") && !program.has_parameter("height_map_wrap_t") &&
        !program.has_parameter("height_map_border"))
        return;
    const HeightMapWrap wrap = height_map_wrap(height_map, source);
    set_uniform_int_if_present(program, "height_map_wrap_s", wrap_code(wrap.s, source));
    set_uniform_int_if_present(program, "height_map_wrap_t", wrap_code(wrap.t, source));
    if (program.has_parameter("height_map_border"))
        program.get_parameter("height_map_border")
            ->set_vec4(wrap.border[0], wrap.border[1], wrap.border[2], wrap.border[3]);
    check_gl_error(source, __LINE__);
}

std::unique_ptr<TexturingProgram> make_height_map_pass_program(std::uint32_t format_kind,
                                                               const std::string& fragment) {
    return std::make_unique<TexturingProgram>(shader_preamble(static_cast<int>(format_kind)) + kVertex, fragment);
}

void FloatPassTarget::make(std::int32_t width, std::int32_t height, const char* source) {
    release();
    TextureUnitGuard unit(kHeightMapPassUnit);
    try {
        texture_ = gl_gen_texture();
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        // Float, so that what a pass writes is kept exactly.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F_ARB, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
        check_gl_error(source, __LINE__);
        FramebufferScope scope(source);
        framebuffer_ = gl_gen_framebuffer();
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        check_gl_error(source, __LINE__);
        check_framebuffer_status();
    } catch (...) {
        release();
        throw;
    }
    width_ = width;
    height_ = height;
}

void FloatPassTarget::release() noexcept {
    if (framebuffer_ != 0) {
        gl_delete_framebuffer(framebuffer_);
        TAVREL_REPORT_GL();
        framebuffer_ = 0;
    }
    if (texture_ != 0) {
        gl_delete_texture(texture_);
        TAVREL_REPORT_GL();
        texture_ = 0;
    }
    width_ = height_ = 0;
}

FramebufferScope::FramebufferScope(const char* source) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer_);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack_buffer_);
    check_gl_error(source, __LINE__);
}

FramebufferScope::~FramebufferScope() {
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer_));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(pack_buffer_));
    TAVREL_REPORT_GL();
}

void draw_height_map_pass(TexturingProgram& program, GLuint height_map, const HeightMapSize& size,
                          const DisplacementSettings& displacement, const char* source,
                          const std::function<void()>& set_more) {
    TextureUnitGuard unit(kHeightMapPassUnit);
    IntegerStateGuard bound(program);
    upload_height_map_wrap(program, height_map, source);
    TextureBindingGuard height(program, GL_TEXTURE_2D, "height_map", height_map, kHeightMapPassUnit);
    set_uniform_float_if_present(program, "height_map_width", static_cast<float>(size.width));
    set_uniform_float_if_present(program, "height_map_height", static_cast<float>(size.height));
    upload_displacement_parameters(displacement, program);
    if (set_more) set_more();
    draw_full_screen_quad();
    check_gl_error(source, __LINE__);
}

}  // namespace tavrel
