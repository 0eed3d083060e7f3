#include "engine/render/flat_height_slopes.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "flat_height_slopes";

}  // namespace

FlatHeightSlopes::FlatHeightSlopes(std::uint32_t format_kind)
    : program_(make_height_map_pass_program(format_kind,
                                            flat_height_slopes_source(static_cast<int>(format_kind)))) {
    // Float, so that the slopes come back exactly as the program made them.
    target_.make(1, 1, kErrorSource);
}

FlatHeightSlopes::~FlatHeightSlopes() = default;

std::array<float, 2> FlatHeightSlopes::slopes(GLuint height_map, const HeightMapSize& size,
                                              const DisplacementSettings& displacement) {
    float pixel[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    {
        // The attribute stack restores the draw and read buffers into the
        // framebuffer bound when it pops: the scope gives that one back
        // before the attributes pop.
        AttribGuard attributes;
        FramebufferScope scope(kErrorSource);
        begin_full_screen_pass(target_.framebuffer(), 1, 1);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        check_gl_error(kErrorSource, __LINE__);
        draw_height_map_pass(*program_, height_map, size, displacement, kErrorSource);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);
        check_gl_error(kErrorSource, __LINE__);
    }
    return {pixel[0], pixel[1]};
}

bool FlatHeightSlopes::kept_for(const HeightMapSize& size, const DisplacementSettings& displacement) const {
    return kept_ && size.content != 0 && size.content == kept_size_.content && size.width == kept_size_.width &&
           size.height == kept_size_.height && bitwise_equal(kept_displacement_, displacement);
}

void FlatHeightSlopes::upload(IProgram& program, GLuint height_map, const HeightMapSize& size,
                              const DisplacementSettings& displacement) {
    if (!program.has_parameter("flat_height_slopes")) return;
    if (!kept_for(size, displacement)) {
        kept_ = false;
        kept_slopes_ = slopes(height_map, size, displacement);
        ++readbacks_;
        kept_size_ = size;
        kept_displacement_ = displacement;
        kept_ = true;
    }
    IntegerStateGuard bound(program);
    set_vec2_uniform_if_present(program, "flat_height_slopes", kept_slopes_[0], kept_slopes_[1]);
}

}  // namespace tavrel
