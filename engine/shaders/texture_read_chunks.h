// The fragment stage's texture reads for the software path: a bound on the
// footprint a read hands the sampler, and the layer's own textures read from
// their texels where a pixel covers at most one. Each chunk is pasted into
// the fragment sources that read textures, after the preamble (whose
// TAVREL_SOFTWARE_PATH selects the path); on the hardware path both are
// plain reads.
#pragma once

#include <string>

namespace tavrel {

// The longest texture footprint, in texels along a texture axis, that the
// fragment stage hands to the sampler for one 2 x 2 pixel block on the
// software path.
constexpr int kLongestTextureFootprint = 16;

// `bounded_footprint(tex, coord)`: on the software path (the preamble's
// TAVREL_SOFTWARE_PATH) coord where its block's footprint in tex is at most
// kLongestTextureFootprint texels along each axis, else the block's
// coordinates drawn together about its centre until it fits, else
// (coordinates not finite) the texture's centre; on the hardware path coord.
// `texture2D_bounded(tex, coord)` reads tex there. Fragment stage only.
const std::string& bounded_footprint_chunk();

// `texture2D_layer(tex, coord)`: on the software path the layer's own
// textures read bilinearly from their four texels where a pixel's footprint
// is at most one texel, else filtered at the bounded footprint; on the
// hardware path one filtered read at coord. Follows
// bounded_footprint_chunk(). Fragment stage only.
const std::string& layer_read_chunk();

// `texel_bilinear(tex, at, size)`: tex of `size` texels read bilinearly, in
// the shader, between the four texels about `at` (in texels, their centres
// at whole numbers), edge texels repeating beyond the edges. The layer read
// holds it already.
const std::string& texel_bilinear_chunk();

}  // namespace tavrel
