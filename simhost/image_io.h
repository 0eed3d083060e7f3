// Images in and out of the host: PNG at 8 and 16 bits, EXR as float RGBA,
// and a built-in test pattern for a frame without an input. Host pixels
// are alpha first at every depth; 16-bit channels run 0..32768 and fill
// 0..65535 in a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "simhost/worlds.h"

namespace simhost {

// An 8-bit world as an 8-bit RGBA PNG, a 16-bit one as a 16-bit PNG; the
// world's origin is the file's offset (oFFs, in pixels). SimhostError naming
// the file for a 32-bit world or a failed write.
void write_png(const std::string& path, const OwnedWorld& image);
// A 32-bit world as an EXR of float R, G, B and A; its data window is the
// world at its origin, its display window `display` (last pixel at
// right - 1, bottom - 1), else the data window. SimhostError naming the file
// for another depth or a failed write.
void write_exr(const std::string& path, const OwnedWorld& image, const PF_LRect* display = nullptr);
// A PNG of any colour type, made RGBA, as a world of `bpc` (8 or 16); a
// 16-bit file read into 8 bits, or the other way round, is rescaled. A pixel
// offset in the file becomes the world's origin. SimhostError naming the
// file when it cannot be read or is not a PNG.
std::unique_ptr<OwnedWorld> read_png(const std::string& path, int bpc);

// What a PNG's header promises, checked as read_png checks it (a PNG at
// all, chunks within the file, sides, image data enough for the pixels)
// without decoding a pixel.
struct PngHeader {
    int32_t width = 0, height = 0;
    int32_t origin_x = 0, origin_y = 0;
};
PngHeader read_png_header(const std::string& path);

// An opaque pattern no flip or half-turn maps onto itself: a colour ramp
// across and down, a lighter top-left quadrant, squares of
// kTestPatternSquare pixels from the top-left corner whose odd ones (column
// plus row) are shaded by kTestPatternShade, and a dark bar (0.05) along the
// top edge covering its left third, one sixteenth of the height high.
constexpr int32_t kTestPatternSquare = 40;
constexpr double kTestPatternShade = 0.55;
std::unique_ptr<OwnedWorld> test_pattern(int32_t width = 640, int32_t height = 360, int bpc = 8);

}  // namespace simhost
