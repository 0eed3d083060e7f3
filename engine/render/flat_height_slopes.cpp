#include "engine/render/flat_height_slopes.h"

#include <cstring>

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "flat_height_slopes";

// The height map's unit in the shading programs.
constexpr GLuint kHeightMapUnit = 3;

const char* const kVertex = R"glsl(
void main()
{
    gl_Position = gl_Vertex;
}
)glsl";

// Gives the framebuffer and the pixel-pack buffer back that were bound.
class ReadScope {
public:
    ReadScope() {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack_buffer_);
        check_gl_error(kErrorSource, __LINE__);
    }
    ~ReadScope() {
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer_));
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(pack_buffer_));
        TAVREL_REPORT_GL();
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

private:
    GLint framebuffer_ = 0;
    GLint pack_buffer_ = 0;
};

}  // namespace

FlatHeightSlopes::FlatHeightSlopes(std::uint32_t format_kind)
    : program_(std::make_unique<TexturingProgram>(shader_preamble(static_cast<int>(format_kind)) + kVertex,
                                                  flat_height_slopes_source(static_cast<int>(format_kind)))) {
    try {
        texture_ = gl_gen_texture();
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        // Float, so that the slopes come back exactly as the program made them.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F_ARB, 1, 1, 0, GL_RGBA, GL_FLOAT, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        check_gl_error(kErrorSource, __LINE__);
        ReadScope scope;
        framebuffer_ = gl_gen_framebuffer();
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        check_gl_error(kErrorSource, __LINE__);
        check_framebuffer_status();
    } catch (...) {
        release();
        throw;
    }
}

FlatHeightSlopes::~FlatHeightSlopes() { release(); }

void FlatHeightSlopes::release() noexcept {
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
}

std::array<float, 2> FlatHeightSlopes::slopes(GLuint height_map, const HeightMapSize& size,
                                              const DisplacementSettings& displacement) {
    float pixel[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    {
        // The attribute stack restores the draw and read buffers into the
        // framebuffer bound when it pops: the scope gives that one back
        // before the attributes pop.
        AttribGuard attributes;
        ReadScope scope;
        begin_full_screen_pass(framebuffer_, 1, 1);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        check_gl_error(kErrorSource, __LINE__);
        {
            IntegerStateGuard bound(*program_);
            TextureBindingGuard height(*program_, GL_TEXTURE_2D, "height_map", height_map, kHeightMapUnit);
            set_uniform_float_if_present(*program_, "height_map_width", static_cast<float>(size.width));
            set_uniform_float_if_present(*program_, "height_map_height", static_cast<float>(size.height));
            upload_displacement_parameters(displacement, *program_);
            draw_full_screen_quad();
            check_gl_error(kErrorSource, __LINE__);
        }
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);
        check_gl_error(kErrorSource, __LINE__);
    }
    return {pixel[0], pixel[1]};
}

bool FlatHeightSlopes::kept_for(const HeightMapSize& size, const DisplacementSettings& displacement) const {
    // The settings compared byte for byte: a difference in padding alone
    // works the slopes out again, which costs time, never a wrong image.
    return kept_ && size.content != 0 && size.content == kept_size_.content && size.width == kept_size_.width &&
           size.height == kept_size_.height &&
           std::memcmp(kept_displacement_.get(), &displacement, sizeof(DisplacementSettings)) == 0;
}

void FlatHeightSlopes::upload(IProgram& program, GLuint height_map, const HeightMapSize& size,
                              const DisplacementSettings& displacement) {
    if (!program.has_parameter("flat_height_slopes")) return;
    if (!kept_for(size, displacement)) {
        kept_ = false;
        kept_slopes_ = slopes(height_map, size, displacement);
        ++readbacks_;
        kept_size_ = size;
        if (!kept_displacement_) kept_displacement_ = std::make_unique<DisplacementSettings>();
        std::memcpy(kept_displacement_.get(), &displacement, sizeof(DisplacementSettings));
        kept_ = true;
    }
    IntegerStateGuard bound(program);
    set_vec2_uniform_if_present(program, "flat_height_slopes", kept_slopes_[0], kept_slopes_[1]);
}

}  // namespace tavrel
