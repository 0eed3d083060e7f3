#include "engine/render/height_slope_map.h"

#include <string>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_driver.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_preamble.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "height_slope_map";
// The general program's reads reach two texels beyond the one they are
// made about.
constexpr std::int32_t kPadding = 2;

// Each height read whole from one texel, as the sampler's nearest taps read
// it, the wrap applied along each axis as the map's own.
const char* const kFragment = R"glsl(
uniform sampler2D height_map;
uniform float height_map_width;
uniform float height_map_height;
uniform int disp_map_channel;
uniform ivec2 border_wrap;
uniform vec4 border_colour;

float height_at(ivec2 texel)
{
    ivec2 size = ivec2(int(height_map_width), int(height_map_height));
    bool outside_s = texel.x < 0 || texel.x >= size.x;
    bool outside_t = texel.y < 0 || texel.y >= size.y;
    vec4 raw = (outside_s && border_wrap.x != 0) || (outside_t && border_wrap.y != 0)
                   ? border_colour
                   : texelFetch2D(height_map, clamp(texel, ivec2(0), size - 1), 0);
    return get_disp_height(raw, disp_map_channel, vec2(0.0));
}

void main()
{
    ivec2 texel = ivec2(floor(gl_FragCoord.xy)) - ivec2(2);
    ivec2 du = ivec2(1, 0);
    ivec2 dv = ivec2(0, 1);
    float along_u = height_at(texel + 2 * du) / 12.0 - 2.0 * height_at(texel + du) / 3.0 +
                    2.0 * height_at(texel - du) / 3.0 - height_at(texel - 2 * du) / 12.0;
    float along_v = height_at(texel + 2 * dv) / 12.0 - 2.0 * height_at(texel + dv) / 3.0 +
                    2.0 * height_at(texel - dv) / 3.0 - height_at(texel - 2 * dv) / 12.0;
    gl_FragColor = vec4(along_u, along_v, 0.0, 0.0);
}
)glsl";

std::string fragment_source(std::uint32_t format_kind) {
    return shader_preamble(static_cast<int>(format_kind)) + "#define TAVREL_NO_DISP_NOISE\n" +
           displacement_noise_chunk() + kFragment;
}

// Whether the wrap reads the border colour beyond the map; throws for a
// wrap the slope map cannot follow beyond its padding.
bool border_wrap(GLint wrap) {
    if (wrap == GL_CLAMP_TO_BORDER) return true;
    if (wrap == GL_CLAMP_TO_EDGE) return false;
    throw GlEngineError(std::string(kErrorSource) + ": a height map wrapped by mode " + std::to_string(wrap) +
                        " has no slope map");
}

}  // namespace

HeightSlopeMap::HeightSlopeMap(std::uint32_t format_kind)
    : program_(make_height_map_pass_program(format_kind, fragment_source(format_kind))) {}

HeightSlopeMap::~HeightSlopeMap() = default;

GLuint HeightSlopeMap::update(GLuint height_map, const HeightMapSize& size, const DisplacementSettings& displacement) {
    if (size.width <= 0 || size.height <= 0)
        throw GlEngineError(std::string(kErrorSource) + ": a height map of " + std::to_string(size.width) + " x " +
                            std::to_string(size.height) + " texels");
    GLint wrap_s = 0, wrap_t = 0, min_filter = 0, mag_filter = 0;
    float border[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float anisotropy = 1.0f;
    {
        glActiveTexture(GL_TEXTURE0 + kHeightMapPassUnit);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, height_map);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
        if (running_gl_features().anisotropic_filtering)
            glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
        glActiveTexture(GL_TEXTURE0);
        check_gl_error(kErrorSource, __LINE__);
    }
    const bool border_s = border_wrap(wrap_s), border_t = border_wrap(wrap_t);
    if (min_filter != GL_NEAREST && min_filter != GL_LINEAR)
        throw GlEngineError(std::string(kErrorSource) + ": a height map minified by filter " +
                            std::to_string(min_filter) + " has no slope map");
    const std::int32_t width = size.width + 2 * kPadding, height = size.height + 2 * kPadding;

    // Float, so that the differences of 8-bit heights stay exact.
    if (width != target_.width() || height != target_.height()) target_.make(width, height, kErrorSource);
    // Filtered as the height map, so that one read of the differences meets
    // the footprint and the weights the eight reads met (the filters are
    // linear in the texels). Beyond the padding the differences are those
    // of a constant row or column: 0 past a border, the edge's own past an
    // edge.
    {
        const float transparent[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glBindTexture(GL_TEXTURE_2D, target_.texture());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
        if (running_gl_features().anisotropic_filtering)
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, border_s ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, border_t ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, transparent);
        glBindTexture(GL_TEXTURE_2D, 0);
        check_gl_error(kErrorSource, __LINE__);
    }

    AttribGuard attributes;
    FramebufferScope scope(kErrorSource);
    begin_full_screen_pass(target_.framebuffer(), width, height);
    check_gl_error(kErrorSource, __LINE__);
    draw_height_map_pass(*program_, height_map, size, displacement, kErrorSource, [&] {
        const GLint location = glGetUniformLocation(program_->program(), "border_wrap");
        if (location >= 0) glUniform2i(location, border_s ? 1 : 0, border_t ? 1 : 0);
        const GLint colour = glGetUniformLocation(program_->program(), "border_colour");
        if (colour >= 0) glUniform4fv(colour, 1, border);
    });
    return target_.texture();
}

}  // namespace tavrel
