// The largest frame this machine's OpenGL renders, asked of the driver, so
// that a layer too large for it is refused in words before any work instead
// of failing inside a texture upload.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

class RenderThread;

// The smallest of the texture, render buffer and viewport side limits, read
// on the rendering thread.
int32_t gl_max_side(RenderThread& thread);

// PluginError "The WHAT is W x H pixels; OpenGL here renders at most N
// pixels a side." when either side exceeds `limit`.
void check_fits_gl(int32_t limit, int32_t width, int32_t height, const std::string& what);

// Before the layer's pixels are asked for: its sides against the limits
// above, then whether the driver can allocate the texture a frame at
// `bitdepth` bits a channel makes of it (8, 16 or 32; another depth is taken
// as 32, the largest). One round trip to the rendering thread. Throws the
// PluginError of check_fits_gl, or "The layer is W x H pixels; OpenGL here
// cannot hold a texture of that size at B bits a channel."
void check_layer_fits_gl(RenderThread& thread, int32_t width, int32_t height, int32_t bitdepth);

}  // namespace tavrel
