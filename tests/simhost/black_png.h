// An 8-bit grey PNG whose pixels are all there and all black: honest image
// data that deflates to about a thousandth, so a test can hand the host a
// large image in a small file.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace tavrel_test {

inline std::string black_png(uint32_t width, uint32_t height) {
    const auto u32 = [](uint32_t v) {
        std::string s;
        for (int i = 3; i >= 0; --i) s += char((v >> (8 * i)) & 0xff);
        return s;
    };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        const std::string body = type + data;
        return u32(uint32_t(data.size())) + body +
               u32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    };
    // Row by row: the raw image is never held whole.
    z_stream z{};
    deflateInit(&z, 9);
    const std::string row(width + 1, '\0');
    std::string idat;
    char buf[65536];
    for (uint32_t y = 0; y <= height; ++y) {
        const bool last = y == height;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        z.avail_in = last ? 0 : uInt(row.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.append(buf, sizeof buf - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", u32(width) + u32(height) + std::string("\x08\0\0\0\0", 5)) +
           chunk("IDAT", idat) + chunk("IEND", "");
}

}  // namespace tavrel_test
