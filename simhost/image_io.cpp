#include "simhost/image_io.h"

#include <png.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

// Channel order in a file (R, G, B, A) as the host's channel numbers.
constexpr int kFileChannel[4] = {1, 2, 3, 0};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports through these; the text is kept for the exception thrown
// once control is back outside libpng.
void on_png_error(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}
void on_png_warning(png_structp, png_const_charp) {}

uint16_t host16(const OwnedWorld& image, int32_t x, int32_t y, int c) {
    return uint16_t(std::lround(image.channel(x, y, c) * 32768.0));
}

// Only plain data lives across the jump: no object here needs a destructor.
bool png_write_rows(png_structp png, png_infop info, std::FILE* f, const PF_EffectWorld& w, int depth,
                    png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w.width), png_uint_32(w.height), depth, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Where the image's first pixel lies in layer pixels.
    png_set_oFFs(png, info, w.origin_x, w.origin_y, PNG_OFFSET_PIXEL);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool png_read_header(png_structp png, png_infop info, std::FILE* f, png_uint_32* width, png_uint_32* height,
                     int* depth, int32_t origin[2]) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_read_info(png, info);
    // Every colour type to RGBA at 8 or 16 bits, 16-bit samples big-endian.
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    *depth = png_get_bit_depth(png, info);
    png_int_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_oFFs(png, info, &x, &y, &unit) != 0 && unit == PNG_OFFSET_PIXEL) {
        origin[0] = x;
        origin[1] = y;
    }
    return true;
}

bool png_read_rows(png_structp png, png_infop info, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

}  // namespace

void write_png(const std::string& path, const OwnedWorld& image) {
    const int bpc = image.bpc();
    if (bpc != 8 && bpc != 16)
        throw SimhostError(path + ": a PNG holds 8 or 16 bits per channel, not " + std::to_string(bpc));
    const PF_EffectWorld& w = image.world();
    const size_t row_bytes = size_t(w.width) * 4 * size_t(bpc / 8);
    std::vector<png_byte> data(row_bytes * size_t(w.height));
    std::vector<png_bytep> rows(size_t(w.height));
    for (int32_t y = 0; y < w.height; ++y) {
        png_bytep row = rows[size_t(y)] = data.data() + row_bytes * size_t(y);
        for (int32_t x = 0; x < w.width; ++x)
            for (int i = 0; i < 4; ++i) {
                const int c = kFileChannel[i];
                if (bpc == 8) {
                    row[x * 4 + i] = png_byte(std::lround(image.channel(x, y, c) * 255.0));
                } else {
                    const uint32_t v = (uint32_t(host16(image, x, y, c)) * 65535u + 16384u) / 32768u;
                    row[(x * 4 + i) * 2] = png_byte(v >> 8);
                    row[(x * 4 + i) * 2 + 1] = png_byte(v & 0xff);
                }
            }
    }
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) throw SimhostError(path + ": cannot be written");
    std::string message;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool ok = info != nullptr && png_write_rows(png, info, f.get(), w, bpc, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!ok || std::fclose(f.release()) != 0)
        throw SimhostError(path + ": cannot be written" + (message.empty() ? "" : " (" + message + ")"));
}

void write_exr(const std::string& path, const OwnedWorld& image, const PF_LRect* display) {
    if (image.bpc() != 32)
        throw SimhostError(path + ": an EXR holds 32-bit float channels, not " + std::to_string(image.bpc()));
    const PF_EffectWorld& w = image.world();
    try {
        // The data window is the image where it lies in layer pixels.
        const Imath::Box2i data(Imath::V2i(w.origin_x, w.origin_y),
                                Imath::V2i(w.origin_x + w.width - 1, w.origin_y + w.height - 1));
        const Imath::Box2i shown = display == nullptr
                                       ? data
                                       : Imath::Box2i(Imath::V2i(display->left, display->top),
                                                      Imath::V2i(display->right - 1, display->bottom - 1));
        Imf::Header header(shown, data);
        Imf::FrameBuffer frame;
        // The slices read the host's pixels where they lie: floats, alpha
        // first. A slice addresses a pixel by its data window coordinates,
        // so its base is where pixel (0, 0) would be.
        const std::ptrdiff_t to_origin =
            -std::ptrdiff_t(w.origin_x) * std::ptrdiff_t(4 * sizeof(float)) - std::ptrdiff_t(w.origin_y) * w.rowbytes;
        char* base = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(w.data) + std::uintptr_t(to_origin));
        const char* names[4] = {"R", "G", "B", "A"};
        for (int i = 0; i < 4; ++i) {
            header.channels().insert(names[i], Imf::Channel(Imf::FLOAT));
            frame.insert(names[i], Imf::Slice(Imf::FLOAT, base + kFileChannel[i] * sizeof(float), 4 * sizeof(float),
                                              size_t(w.rowbytes)));
        }
        Imf::OutputFile out(path.c_str(), header);
        out.setFrameBuffer(frame);
        out.writePixels(w.height);
    } catch (const std::exception& e) {
        throw SimhostError(path + ": cannot be written (" + e.what() + ")");
    }
}

std::unique_ptr<OwnedWorld> read_png(const std::string& path, int bpc) {
    if (bpc != 8 && bpc != 16) throw SimhostError(path + ": a PNG is read into 8 or 16 bits per channel");
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) throw SimhostError(path + ": cannot be read");
    png_byte signature[8] = {};
    if (std::fread(signature, 1, 8, f.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        throw SimhostError(path + ": not a PNG file");
    std::string message;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_uint_32 width = 0, height = 0;
    int depth = 0;
    int32_t origin[2] = {0, 0};
    std::vector<png_byte> data;
    std::vector<png_bytep> rows;
    bool ok = info != nullptr;
    if (ok) {
        png_set_sig_bytes(png, 8);
        ok = png_read_header(png, info, f.get(), &width, &height, &depth, origin);
    }
    // The host's worlds hold at most 30000 pixels a side.
    if (ok && (width == 0 || height == 0 || width > 30000 || height > 30000)) {
        message = "size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
        ok = false;
    }
    const size_t row_bytes = size_t(width) * 4 * size_t(depth / 8);
    if (ok) {
        data.resize(row_bytes * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = data.data() + row_bytes * y;
        ok = png_read_rows(png, info, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) throw SimhostError(path + ": cannot be read" + (message.empty() ? "" : " (" + message + ")"));

    auto image = std::make_unique<OwnedWorld>(int32_t(width), int32_t(height), bpc);
    image->world().origin_x = origin[0];
    image->world().origin_y = origin[1];
    for (png_uint_32 y = 0; y < height; ++y)
        for (png_uint_32 x = 0; x < width; ++x)
            for (int i = 0; i < 4; ++i) {
                double v;
                if (depth == 8) {
                    v = rows[y][x * 4 + i] / 255.0;
                } else {
                    const uint32_t p = (uint32_t(rows[y][(x * 4 + i) * 2]) << 8) | rows[y][(x * 4 + i) * 2 + 1];
                    v = ((p * 32768u + 32767u) / 65535u) / 32768.0;
                }
                image->set_channel(int32_t(x), int32_t(y), kFileChannel[i], v);
            }
    return image;
}

std::unique_ptr<OwnedWorld> test_pattern(int32_t width, int32_t height, int bpc) {
    if (width < 2 || height < 2) throw SimhostError("the test pattern needs at least 2 x 2 pixels");
    auto image = std::make_unique<OwnedWorld>(width, height, bpc);
    const int32_t bar_height = std::max(1, height / 16);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            double r = 0.2 + 0.6 * x / (width - 1), g = 0.2 + 0.6 * y / (height - 1), b = 0.5;
            if (x < width / 2 && y < height / 2) {
                r += 0.15;
                g += 0.15;
                b += 0.15;
            }
            // The checker shows the surface's bends and slopes at a glance.
            if (((x / kTestPatternSquare) + (y / kTestPatternSquare)) % 2 == 1) {
                r *= kTestPatternShade;
                g *= kTestPatternShade;
                b *= kTestPatternShade;
            }
            if (y < bar_height && x < width / 3) r = g = b = 0.05;
            image->set_channel(x, y, 0, 1.0);
            image->set_channel(x, y, 1, r);
            image->set_channel(x, y, 2, g);
            image->set_channel(x, y, 3, b);
        }
    return image;
}

}  // namespace simhost
