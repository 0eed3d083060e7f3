#include "engine/shaders/texture_read_chunks.h"

#include <boost/algorithm/string/replace.hpp>

namespace tavrel {

namespace {

// Mesa's software sampler filters an anisotropic footprint by visiting
// every texel of the footprint's bounding box, whatever the filter (explicit
// level-of-detail reads included), without the cap on taps a graphics card
// has. A surface seen edge-on, or stretched across the view by a far grid
// point, gives footprints millions of texels long, or none at all where its
// coordinates are not finite, and a frame then takes minutes. Where a 2 x 2
// pixel block's footprint is longer than kLongestFootprint texels along a
// texture axis, the block's coordinates are drawn together about its centre
// until it fits; coordinates that still do not fit (not finite) read the
// texture's centre. Footprints within the limit read exactly what they read
// before. The textures have no mip levels, so neither the GL anisotropy cap
// nor a widened minor axis makes a read cheaper: the walk covers the
// footprint's bounding box at level 0, up to the limit squared texels. A
// limit of 16 keeps each read on a grazing surface (the thin walls of an
// extruded layer, a layer edge-on or bulged away from the view) to at most
// a few hundred texels; it only narrows the blur of footprints longer than
// it, which a smooth layer barely shows. A graphics card caps its taps
// itself, and there the bound would only draw grazing reads in and make them
// blockier than its own filtering: the hardware path reads the coordinate
// as it is.
const char* const kBoundedFootprint = R"glsl(
#ifdef TAVREL_SOFTWARE_PATH
const float kLongestFootprint = $longest_footprint$.0;

// How many times the block's footprint exceeds the limit: 1 or less fits.
float footprint_excess(vec2 coord, vec2 size)
{
    vec2 extent = max(abs(dFdx(coord)), abs(dFdy(coord))) * size;
    return max(extent.x, extent.y) / kLongestFootprint;
}

vec2 bounded_footprint(sampler2D tex, vec2 coord)
{
    vec2 size = vec2(textureSize2D(tex, 0));
    float excess = footprint_excess(coord, size);
    vec2 from_centre = mod(floor(gl_FragCoord.xy), 2.0) - 0.5;
    vec2 drawn = coord - (1.0 - 1.0 / excess) * (dFdx(coord) * from_centre.x + dFdy(coord) * from_centre.y);
    vec2 fitted = footprint_excess(drawn, size) <= 2.0 ? drawn : vec2(0.5);
    return excess <= 1.0 ? coord : fitted;
}
#else
vec2 bounded_footprint(sampler2D tex, vec2 coord)
{
    return coord;
}
#endif

vec4 texture2D_bounded(sampler2D tex, vec2 coord)
{
    return texture2D(tex, bounded_footprint(tex, coord));
}
)glsl";

// The layer's own textures (colour and back side: linear, clamped to their
// edges) where a pixel's footprint is at most one texel, as at the layer's
// own size and wherever it is magnified. A graphics card reads those
// bilinearly, anisotropic filtering or not. Mesa's software sampler, once a
// texture allows anisotropy, filters every read, magnified ones included,
// over an elliptical footprint of nearest texels weighted by a Gaussian:
// wider than a texel at 1:1, so sharp edges soften, and whose texel
// addressing, rounded in float, lands a row or column short at sizes such
// as 360 or 800, so bands of rows sample up to 0.6 pixel off their centres.
// There the four texels are read and weighted here instead. Both reads are
// made so that the derivatives stay in uniform control flow. The limit
// allows the 1/256 of a level a card resolves a level of detail to: a
// tessellated layer at its own size measures within 1e-4 of one texel.
// Mesa's elliptical filter walks at least three texels by three for any
// finite footprint, and at the layer's own size most of a frame's time went
// into filtered reads nobody used. Where no pixel of a 2 x 2 block takes
// the filtered read, the block makes it at a coordinate that is not a
// number, which that filter answers from a single texel. The test covers
// the whole block, helper pixels included: the sampler derives the
// footprint from the block's own coordinates, so one such coordinate in a
// block that uses the filtered read anywhere would spoil it. With
// differences taken along each row and each column, a pixel's value, its
// two differences and the difference of its differences are all 0 only
// when the block's four values are; a driver without such fine
// differences makes both reads everywhere. All of this is the software
// path's: a graphics card reads the layer bilinearly where it is magnified
// and filters it where it is minified in one read, better than the shader
// could.
// A bilinear read worked out in the shader, where the sampler's own filter
// cannot be trusted with it: the four texels about `at` (in texels, texel
// centres at whole numbers), the edge texels repeating beyond the edges.
const char* const kTexelBilinear = R"glsl(
vec4 edge_clamped_texel(sampler2D tex, ivec2 texel, ivec2 size)
{
    return texelFetch2D(tex, clamp(texel, ivec2(0), size - 1), 0);
}

vec4 texel_bilinear(sampler2D tex, vec2 at, ivec2 size)
{
    vec2 first = floor(at);
    vec2 f = at - first;
    ivec2 i = ivec2(first);
    vec4 top = mix(edge_clamped_texel(tex, i, size), edge_clamped_texel(tex, i + ivec2(1, 0), size), f.x);
    vec4 bottom = mix(edge_clamped_texel(tex, i + ivec2(0, 1), size), edge_clamped_texel(tex, i + ivec2(1, 1), size),
                      f.x);
    return mix(top, bottom, f.y);
}
)glsl";

const char* const kLayerRead = R"glsl(
#ifdef TAVREL_SOFTWARE_PATH
const float kOneTexelFootprint = 1.00390625;

vec4 texture2D_layer(sampler2D tex, vec2 coord)
{
    ivec2 size = textureSize2D(tex, 0);
    vec2 texels = vec2(size);
    float longest = max(length(dFdx(coord) * texels), length(dFdy(coord) * texels));
    float filtered_here = longest <= kOneTexelFootprint ? 0.0 : 1.0;
#ifdef TAVREL_FINE_DERIVATIVES
    float along_row = dFdxFine(filtered_here);
    bool block_unfiltered = filtered_here == 0.0 && along_row == 0.0 && dFdyFine(filtered_here) == 0.0 &&
                            dFdyFine(along_row) == 0.0;
#else
    bool block_unfiltered = false;
#endif
    // Past the bound, not through texture2D_bounded: the bound reads a
    // coordinate that is not a number at the texture's centre, a full walk.
    vec2 at = bounded_footprint(tex, coord);
    vec4 filtered = texture2D(tex, block_unfiltered ? vec2(sqrt(-1.0)) : at);
    vec4 bilinear = texel_bilinear(tex, coord * vec2(size) - 0.5, size);
    return filtered_here == 0.0 ? bilinear : filtered;
}
#else
vec4 texture2D_layer(sampler2D tex, vec2 coord)
{
    return texture2D_bounded(tex, coord);
}
#endif
)glsl";

}  // namespace

const std::string& texel_bilinear_chunk() {
    static const std::string text = kTexelBilinear;
    return text;
}

const std::string& layer_read_chunk() {
    static const std::string text = std::string(kTexelBilinear) + kLayerRead;
    return text;
}

const std::string& bounded_footprint_chunk() {
    static const std::string text = [] {
        std::string t = kBoundedFootprint;
        boost::replace_all(t, "$longest_footprint$", std::to_string(kLongestTextureFootprint));
        return t;
    }();
    return text;
}

}  // namespace tavrel
