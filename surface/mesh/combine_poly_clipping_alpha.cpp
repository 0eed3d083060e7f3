#include "surface/mesh/combine_poly_clipping_alpha.h"

#include "engine/gpu/full_screen_quad.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/texture_read_chunks.h"
#include "engine/gpu/texture_object.h"
#include "engine/shaders/utility_programs.h"

#define CHECK_GL() ::tavrel::check_gl_error("combine_poly_clipping_alpha", __LINE__)

namespace tavrel {

namespace {

// Each texel of the map is made from the layers' texels at its centre,
// never through the sampler's filter: Mesa's software sampler filters every
// read of a texture that allows anisotropy (as the layers do) over an
// elliptical footprint whose texel addressing, rounded in float, lands some
// rows and columns a texel short at sizes such as 360 or 800, which copied
// the row before in their place. The colour layer is the map's own size. A
// displacement layer of another size is read bilinearly, with the weights
// worked out here, between the four texels about the centre, its edge
// texels repeating beyond it.
const char* const kCombineBody = R"glsl(
uniform sampler2D color_src;
uniform sampler2D displ_src;
uniform bool use_displacement_map;

vec4 displacement_at(ivec2 texel, ivec2 map_size)
{
    ivec2 size = textureSize2D(displ_src, 0);
    if (size == map_size)
        return texelFetch2D(displ_src, texel, 0);
    return texel_bilinear(displ_src, (vec2(texel) + 0.5) * vec2(size) / vec2(map_size) - 0.5, size);
}

void main()
{
    ivec2 texel = ivec2(gl_FragCoord.xy);
    ivec2 map_size = textureSize2D(color_src, 0);
    vec4 result = vec4(0.0, 0.0, 0.0, 1.0);
    if (use_displacement_map)
        result = INPUT_SWIZZLE_SCALE(displacement_at(texel, map_size));
    result.a *= INPUT_SWIZZLE_SCALE(texelFetch2D(color_src, texel, 0)).a;
    gl_FragColor = result;
}
)glsl";

}  // namespace

CombinePolyClippingAlphaProgramImpl::CombinePolyClippingAlphaProgramImpl(int depth_class)
    : TexturingProgram(kTexturedQuadVertex, shader_preamble(depth_class) + texel_bilinear_chunk() + kCombineBody) {}

CombinePolyClippingAlpha::CombinePolyClippingAlpha() = default;

CombinePolyClippingAlpha::~CombinePolyClippingAlpha() = default;

void CombinePolyClippingAlpha::combine(const ITextureObject& colour, const ITextureObject* displacement,
                                       IRenderTarget& target) {
    // A layer's depth rarely changes: the program of a depth is compiled
    // when the first layer of that depth arrives.
    std::shared_ptr<CombinePolyClippingAlphaProgramImpl>& slot = programs_.at(colour.format());
    if (!slot) slot = std::make_shared<CombinePolyClippingAlphaProgramImpl>(static_cast<int>(colour.format()));
    CombinePolyClippingAlphaProgramImpl& program = *slot;
    target.bind();
    IntegerStateGuard program_scope(program);
    TextureBindingGuard colour_binding(program, GL_TEXTURE_2D, "color_src", colour.gl_name(), 0);
    if (program.has_parameter("use_displacement_map"))
        program.get_parameter("use_displacement_map")->set_int(displacement != nullptr ? 1 : 0);
    TextureBindingGuard displacement_binding(program, GL_TEXTURE_2D, "displ_src",
                                             displacement != nullptr ? displacement->gl_name() : 0, 1);
    AttribGuard attributes;
    MatrixModeGuard matrices;
    glMatrixMode(GL_PROJECTION);
    CHECK_GL();
    glLoadIdentity();
    CHECK_GL();
    glMatrixMode(GL_MODELVIEW);
    CHECK_GL();
    glLoadIdentity();
    CHECK_GL();
    glDisable(GL_BLEND);
    CHECK_GL();
    glDisable(GL_LIGHTING);
    CHECK_GL();
    glDisable(GL_DEPTH_TEST);
    CHECK_GL();
    draw_full_screen_quad();
    CHECK_GL();
}

}  // namespace tavrel
