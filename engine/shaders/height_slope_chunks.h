// The height map's slopes as the shading programs work them out: each
// texel's height and its central differences, and the slopes between texel
// centres that tilt the fragment normal. Pasted after the height map's
// declarations and the displacement noise chunk; the flat-map and slope-map
// passes read them by the same arithmetic as the shading.
#pragma once

#include <string>

namespace tavrel {

// `texel_height(texel, channel)`: the height of one texel through the map's
// wrap ("height_map_wrap_s", "height_map_wrap_t": 0 the border colour
// "height_map_border", 1 the edge texel, 2 the map repeated), with the
// displacement noise at its centre; `central_difference(before2, before1,
// after1, after2)`, fourth order; `texel_differences(texel, channel)`, the
// differences along u and v about a texel, before the scale.
const std::string& height_texels_chunk();

// `height_map_slopes(coord, channel)`, the slopes along u and v scaled by
// "disp_map_scale" and the map's size (from the uniform
// "flat_height_slopes" with TAVREL_FLAT_HEIGHT_MAP, from the slope map
// "height_slope_map" with TAVREL_HEIGHT_SLOPE_MAP, else from twenty height
// reads), and `update_fragment_normal(N, t, b, tex_coord, channel)`, which
// tilts the normal by them: the FragmentNormal::kHeightMap chunk. Follows
// height_texels_chunk().
const std::string& height_map_slopes_chunk();

}  // namespace tavrel
