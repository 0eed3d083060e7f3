#include "engine/render/height_slope_map.h"

#include <string>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/phong_shader.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "height_slope_map";
// The shading reads the differences of the four texel centres about a
// coordinate, which reach a texel beyond the map where the coordinate lies
// within half a texel of its edge, and one more where a sample falls just
// outside the surface.
constexpr std::int32_t kPadding = 2;

}  // namespace

HeightSlopeMap::HeightSlopeMap(std::uint32_t format_kind, bool displacement_noise)
    : program_(make_height_map_pass_program(
          format_kind, height_slope_map_source(static_cast<int>(format_kind), displacement_noise))) {}

HeightSlopeMap::~HeightSlopeMap() = default;

GLuint HeightSlopeMap::update(GLuint height_map, const HeightMapSize& size, const DisplacementSettings& displacement) {
    if (size.width <= 0 || size.height <= 0)
        throw GlEngineError(std::string(kErrorSource) + ": a height map of " + std::to_string(size.width) + " x " +
                            std::to_string(size.height) + " texels");
    const HeightMapWrap wrap = height_map_wrap(height_map, kErrorSource);
    if (wrap.s == GL_REPEAT || wrap.t == GL_REPEAT)
        throw GlEngineError(std::string(kErrorSource) + ": a height map wrapped by mode " +
                            std::to_string(GL_REPEAT) + " has no slope map");
    GLint min_filter = 0;
    {
        TextureUnitGuard unit(kHeightMapPassUnit);
        glBindTexture(GL_TEXTURE_2D, height_map);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        check_gl_error(kErrorSource, __LINE__);
    }
    // Without mip levels a mipmapped filter leaves the map incomplete, and
    // its texels read as nothing.
    if (min_filter != GL_NEAREST && min_filter != GL_LINEAR)
        throw GlEngineError(std::string(kErrorSource) + ": a height map minified by filter " +
                            std::to_string(min_filter) + " has no slope map");
    const std::int32_t width = size.width + 2 * kPadding, height = size.height + 2 * kPadding;

    // Float, so that the differences of 8-bit heights stay exact; read
    // texel by texel.
    if (width != target_.width() || height != target_.height()) target_.make(width, height, kErrorSource);

    AttribGuard attributes;
    FramebufferScope scope(kErrorSource);
    begin_full_screen_pass(target_.framebuffer(), width, height);
    check_gl_error(kErrorSource, __LINE__);
    draw_height_map_pass(*program_, height_map, size, displacement, kErrorSource);
    return target_.texture();
}

}  // namespace tavrel
