// The largest frame this machine's OpenGL renders, asked of the driver, so
// that a layer too large for it is refused in words before any work instead
// of failing inside a texture upload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

class RenderThread;

// The smallest of the texture, render buffer and viewport side limits, read
// on the rendering thread.
int32_t gl_max_side(RenderThread& thread);

// PluginError "The WHAT is W x H pixels; OpenGL here renders at most N
// pixels a side." when either side exceeds `limit`.
void check_fits_gl(int32_t limit, int32_t width, int32_t height, const std::string& what);

// What a frame's anti-aliasing makes at the output's size: `samples` a
// pixel in a multisampled colour and depth buffer (0: none), and a 32-bit
// float target the views are summed in.
struct AntialiasingBuffers {
    uint64_t samples = 0;
    bool accumulates = false;
};

// Before the layer's pixels are asked for, in one round trip to the
// rendering thread: the layer's and the output's sides against the limits
// above, whether the driver can allocate the texture a frame at `bitdepth`
// bits a channel makes of each (8, 16 or 32; another depth is taken as 32,
// the largest), and whether it can allocate the anti-aliasing buffers at the
// output's size. Throws the PluginError of check_fits_gl, "The layer (or
// output) is W x H pixels; OpenGL here cannot hold a texture of that size at
// B bits a channel.", or "The output is W x H pixels; OpenGL here cannot
// hold the anti-aliasing buffers of that size at B bits a channel. A lower
// "Antialiasing" renders it."
void check_frame_fits_gl(RenderThread& thread, int32_t layer_width, int32_t layer_height, int32_t output_width,
                         int32_t output_height, int32_t bitdepth, const AntialiasingBuffers& antialiasing);

// An image a layer parameter gives the frame, which uploads it as a texture
// at its own depth (`format_kind` 0, 1 or 2), or cuts the six faces of a
// cube map from it.
struct LayerParamImage {
    std::string name;  // the parameter's, as the user sees it
    int32_t width = 0;
    int32_t height = 0;
    uint32_t format_kind = 0;
    bool cube = false;
};

// Before the frame is posted, in one round trip: each image's sides (a cube
// map's faces) against the driver's limits, and whether the driver can hold
// its texture. Throws the PluginError of check_fits_gl naming the parameter
// ("The Displacement Layer is W x H pixels; OpenGL here renders at most N
// pixels a side."), "The NAME's cube faces are F x F pixels; OpenGL here
// renders at most N pixels a side.", or "The NAME is W x H pixels; OpenGL
// here cannot hold a texture of that size at B bits a channel."
void check_layer_images_fit_gl(RenderThread& thread, const std::vector<LayerParamImage>& images);

}  // namespace tavrel
