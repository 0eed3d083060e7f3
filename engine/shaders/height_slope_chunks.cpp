#include "engine/shaders/height_slope_chunks.h"

namespace tavrel {

namespace {

// The heights of the map's texels, and their fourth-order central
// differences along both texture axes, each taken whole from its texel (no
// filtered read: the differences of heights a filter has rounded, or shifted
// by a texel where its addressing lands short, are no slopes). Beyond the
// map's edges the texels are those its wrap gives: 0 the border colour, 1 the
// edge texel, 2 the map repeated. The displacement noise is taken at each
// texel's centre.
const char* const kHeightTexels = R"glsl(
uniform int height_map_wrap_s;
uniform int height_map_wrap_t;
uniform vec4 height_map_border;

int wrapped_texel(int i, int size, int wrap, inout bool border)
{
    if (wrap == 2)
        return i - size * int(floor(float(i) / float(size)));
    border = border || (wrap == 0 && (i < 0 || i >= size));
    return clamp(i, 0, size - 1);
}

float texel_height(ivec2 texel, int channel)
{
    ivec2 size = ivec2(int(height_map_width), int(height_map_height));
    bool border = false;
    ivec2 at = ivec2(wrapped_texel(texel.x, size.x, height_map_wrap_s, border),
                     wrapped_texel(texel.y, size.y, height_map_wrap_t, border));
    vec4 raw = border ? height_map_border : texelFetch2D(height_map, at, 0);
    return get_disp_height(raw, channel, (vec2(texel) + 0.5) / vec2(size));
}

// Of the heights two and one texels before a texel and one and two after
// it, before the scale.
float central_difference(float before2, float before1, float after1, float after2)
{
    return after2 / 12.0 - 2.0 * after1 / 3.0 + 2.0 * before1 / 3.0 - before2 / 12.0;
}

vec2 texel_differences(ivec2 texel, int channel)
{
    ivec2 du = ivec2(1, 0);
    ivec2 dv = ivec2(0, 1);
    return vec2(central_difference(texel_height(texel - 2 * du, channel), texel_height(texel - du, channel),
                                   texel_height(texel + du, channel), texel_height(texel + 2 * du, channel)),
                central_difference(texel_height(texel - 2 * dv, channel), texel_height(texel - dv, channel),
                                   texel_height(texel + dv, channel), texel_height(texel + 2 * dv, channel)));
}
)glsl";

// The slopes along both texture axes: the texels' differences, interpolated
// between the four texel centres about the coordinate with a bilinear read's
// weights, here in full float precision (a sampler rounds them, and its
// result, to a few bits). A flat map (TAVREL_FLAT_HEIGHT_MAP) gives every
// fragment the same slopes: the program then takes those the same
// arithmetic gave once. The slope map (TAVREL_HEIGHT_SLOPE_MAP) holds each
// texel's differences, made once per render by the same arithmetic, over the
// map padded by two texels on every side: a coordinate on the surface (0 to
// 1, and up to a texel beyond where a sample falls outside its triangle)
// needs no more.
const char* const kFragmentNormalHeightMap = R"glsl(
#ifdef TAVREL_FLAT_HEIGHT_MAP
uniform vec2 flat_height_slopes;

vec2 height_map_slopes(vec2 tex_coord, int channel)
{
    return flat_height_slopes;
}
#else
#ifdef TAVREL_HEIGHT_SLOPE_MAP
uniform sampler2D height_slope_map;

vec2 slopes_at(ivec2 texel)
{
    ivec2 last = ivec2(int(height_map_width), int(height_map_height)) + 3;
    return texelFetch2D(height_slope_map, clamp(texel + 2, ivec2(0), last), 0).xy;
}
#endif

vec2 height_map_slopes(vec2 coord, int channel)
{
    vec2 size = vec2(height_map_width, height_map_height);
    if (size.x < 1.0 || size.y < 1.0)
        return vec2(0.0);
    vec2 at = coord * size - 0.5;
    // A coordinate that is not finite reads about the map's centre.
    at = abs(at.x) < 1e7 && abs(at.y) < 1e7 ? at : 0.5 * size;
    vec2 first = floor(at);
    vec2 f = at - first;
    ivec2 i = ivec2(first);
#ifdef TAVREL_HEIGHT_SLOPE_MAP
    vec2 d00 = slopes_at(i);
    vec2 d10 = slopes_at(i + ivec2(1, 0));
    vec2 d01 = slopes_at(i + ivec2(0, 1));
    vec2 d11 = slopes_at(i + ivec2(1, 1));
#else
    // The twenty heights the four texels' differences take, each read once:
    // rows j and j + 1 from column i - 2 to i + 3, and columns i and i + 1
    // from row j - 2 to j + 3, whose rows j and j + 1 the rows hold.
    float row0[6], row1[6], column0[6], column1[6];
    for (int k = 0; k < 6; ++k) {
        row0[k] = texel_height(i + ivec2(k - 2, 0), channel);
        row1[k] = texel_height(i + ivec2(k - 2, 1), channel);
    }
    for (int k = 0; k < 6; ++k) {
        if (k == 2 || k == 3) {
            column0[k] = k == 2 ? row0[2] : row1[2];
            column1[k] = k == 2 ? row0[3] : row1[3];
        } else {
            column0[k] = texel_height(i + ivec2(0, k - 2), channel);
            column1[k] = texel_height(i + ivec2(1, k - 2), channel);
        }
    }
    vec2 d00 = vec2(central_difference(row0[0], row0[1], row0[3], row0[4]),
                    central_difference(column0[0], column0[1], column0[3], column0[4]));
    vec2 d10 = vec2(central_difference(row0[1], row0[2], row0[4], row0[5]),
                    central_difference(column1[0], column1[1], column1[3], column1[4]));
    vec2 d01 = vec2(central_difference(row1[0], row1[1], row1[3], row1[4]),
                    central_difference(column0[1], column0[2], column0[4], column0[5]));
    vec2 d11 = vec2(central_difference(row1[1], row1[2], row1[4], row1[5]),
                    central_difference(column1[1], column1[2], column1[4], column1[5]));
#endif
    // Written out rather than mix(): equal differences stay exactly equal.
    vec2 top = d00 + f.x * (d10 - d00);
    vec2 bottom = d01 + f.x * (d11 - d01);
    vec2 d = top + f.y * (bottom - top);
    return vec2(disp_map_scale * height_map_width * d.x, disp_map_scale * height_map_height * d.y);
}
#endif

vec3 update_fragment_normal(vec3 N, vec3 t, vec3 b, vec2 tex_coord, int channel)
{
    vec2 slopes = height_map_slopes(tex_coord, channel);
    return N + t * slopes.x + b * slopes.y;
}
)glsl";

}  // namespace

const std::string& height_texels_chunk() {
    static const std::string text = kHeightTexels;
    return text;
}

const std::string& height_map_slopes_chunk() {
    static const std::string text = kFragmentNormalHeightMap;
    return text;
}

}  // namespace tavrel
