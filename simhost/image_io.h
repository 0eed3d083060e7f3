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

// An 8-bit world as an 8-bit RGBA PNG, a 16-bit one as a 16-bit PNG.
// SimhostError naming the file for a 32-bit world or a failed write.
void write_png(const std::string& path, const OwnedWorld& image);
// A 32-bit world as an EXR of float R, G, B and A. SimhostError naming the
// file for another depth or a failed write.
void write_exr(const std::string& path, const OwnedWorld& image);
// A PNG of any colour type, made RGBA, as a world of `bpc` (8 or 16); a
// 16-bit file read into 8 bits, or the other way round, is rescaled.
// SimhostError naming the file when it cannot be read or is not a PNG.
std::unique_ptr<OwnedWorld> read_png(const std::string& path, int bpc);

// An opaque pattern no flip or half-turn maps onto itself: a colour ramp
// across and down, a lighter top-left quadrant, and a dark bar along the top
// edge covering its left third.
std::unique_ptr<OwnedWorld> test_pattern(int32_t width = 640, int32_t height = 360, int bpc = 8);

}  // namespace simhost
