#include "simhost/image_io.h"

#include <png.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfStdIO.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "simhost/host_files.h"
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
// libpng's own writer says only "Write Error"; this one says why.
void on_png_write(png_structp png, png_bytep data, png_size_t length) {
    auto* f = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, f) != length) png_error(png, std::strerror(errno));
}
void on_png_flush(png_structp png) {
    if (std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png))) != 0) png_error(png, std::strerror(errno));
}

// One file row of `image` at `bpc` (8 or 16) into `row`.
void fill_png_row(const OwnedWorld& image, int32_t y, int bpc, png_bytep row) {
    for (int32_t x = 0; x < image.world().width; ++x)
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

// Row by row through one row buffer: the frame is not copied whole again.
bool png_write_rows(png_structp png, png_infop info, std::FILE* f, const OwnedWorld& image, int depth,
                    png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, f, on_png_write, on_png_flush);
    const PF_EffectWorld& w = image.world();
    png_set_IHDR(png, info, png_uint_32(w.width), png_uint_32(w.height), depth, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Where the image's first pixel lies in layer pixels.
    png_set_oFFs(png, info, w.origin_x, w.origin_y, PNG_OFFSET_PIXEL);
    png_write_info(png, info);
    for (int32_t y = 0; y < w.height; ++y) {
        fill_png_row(image, y, depth, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

// The largest side a host world holds.
constexpr png_uint_32 kMaxSide = 30000;
// Ancillary chunks (text, colour profiles) are small; a length beyond this
// is a damaged or hostile file, refused before its buffer is made.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
// Deflate never packs more than 1032 bytes into one: a file cannot hold
// more image data than this many times its own size.
constexpr double kMaxDeflateRatio = 1032.0;

bool png_read_header(png_structp png, png_infop info, std::FILE* f, png_uint_32* width, png_uint_32* height,
                     int* depth, int* passes, size_t* raw_bytes, int32_t origin[2]) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, 128);
    png_read_info(png, info);
    // The image data as the file stores it: a filter byte per row, packed
    // samples; the size the compressed stream must expand to.
    *raw_bytes = size_t(png_get_image_height(png, info)) * (1 + size_t(png_get_rowbytes(png, info)));
    // Every colour type to RGBA at 8 or 16 bits, 16-bit samples big-endian.
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    *passes = png_set_interlace_handling(png);
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

// The chunk list walked by seeking before libpng reads a byte: a chunk
// whose length runs past the end of the file is refused here, since libpng
// sizes (and clears) a text or profile chunk's buffer by the length it
// declares. Returns the problem, or an empty string and the image data's
// total size.
std::string check_chunks(std::FILE* f, long file_bytes, uint64_t* image_data_bytes) {
    long at = 8;
    *image_data_bytes = 0;
    while (at < file_bytes) {
        png_byte header[8];
        if (std::fseek(f, at, SEEK_SET) != 0 || std::fread(header, 1, 8, f) != 8) return "";  // libpng says
        const uint64_t length = png_get_uint_32(header);
        const std::string type(reinterpret_cast<const char*>(header + 4), 4);
        if (length > uint64_t(file_bytes - at - 8)) {
            bool printable = true;
            for (char c : type) printable = printable && std::isalpha(static_cast<unsigned char>(c));
            return "chunk " + (printable ? type : std::string("at byte ") + std::to_string(at)) + " declares " +
                   std::to_string(length) + " bytes, more than the file holds";
        }
        if (type == "IDAT") *image_data_bytes += length;
        if (type == "IEND") break;
        at += long(length) + 12;
    }
    std::fseek(f, 8, SEEK_SET);
    return "";
}

// Rows as they arrive: the buffer grows with the data actually in the file,
// so a header that promises more than the file holds costs nothing.
bool png_read_progressively(png_structp png, png_infop info, size_t row_bytes, png_uint_32 height,
                            std::vector<png_byte>* data) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (png_uint_32 y = 0; y < height; ++y) {
        data->resize(data->size() + row_bytes);
        png_read_row(png, data->data() + data->size() - row_bytes, nullptr);
    }
    png_read_end(png, info);
    return true;
}

// An interlaced image revisits every row in each pass: it needs the whole
// buffer from the start, which the size check has bounded by the file.
bool png_read_whole(png_structp png, png_infop info, png_bytep* rows) {
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
    std::vector<png_byte> row(size_t(image.world().width) * 4 * size_t(bpc / 8));
    write_whole_file(path, [&](std::FILE* f) {
        std::string message;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, on_png_error, on_png_warning);
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        const bool ok = info != nullptr && png_write_rows(png, info, f, image, bpc, row.data());
        png_destroy_write_struct(&png, &info);
        if (!ok) throw SimhostError(message.empty() ? "out of memory" : message);
    });
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
        // Made in memory and written in one piece: the format seeks back to
        // its line offsets, which a pipe cannot do.
        Imf::StdOSStream stream;
        {
            Imf::OutputFile out(stream, header);
            out.setFrameBuffer(frame);
            out.writePixels(w.height);
        }
        const std::string bytes = stream.str();
        write_whole_file(path, [&](std::FILE* f) { write_all(f, bytes.data(), bytes.size()); });
    } catch (const SimhostError&) {
        throw;
    } catch (const std::exception& e) {
        throw SimhostError(path + ": cannot be written (" + e.what() + ")");
    }
}

namespace {

// The whole image, or with `header` only the header's checks and what they
// found: the pixels are not decoded.
std::unique_ptr<OwnedWorld> read_png_file(const std::string& path, int bpc, PngHeader* header) {
    if (bpc != 8 && bpc != 16) throw SimhostError(path + ": a PNG is read into 8 or 16 bits per channel");
    File f(open_for_reading(path));
    png_byte signature[8] = {};
    if (std::fread(signature, 1, 8, f.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        throw SimhostError(path + ": not a PNG file");
    long file_bytes = -1;
    if (std::fseek(f.get(), 0, SEEK_END) == 0) file_bytes = std::ftell(f.get());
    if (file_bytes < 0) throw SimhostError(path + ": cannot be read (not a file that can be measured)");
    uint64_t image_data_bytes = 0;
    std::string message = check_chunks(f.get(), file_bytes, &image_data_bytes);
    if (!message.empty()) throw SimhostError(path + ": cannot be read (" + message + ")");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_uint_32 width = 0, height = 0;
    int depth = 0, passes = 1;
    size_t raw_bytes = 0;
    int32_t origin[2] = {0, 0};
    std::vector<png_byte> data;
    bool ok = info != nullptr;
    if (ok) {
        png_set_sig_bytes(png, 8);
        ok = png_read_header(png, info, f.get(), &width, &height, &depth, &passes, &raw_bytes, origin);
    }
    if (ok && (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)) {
        message = "size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
        ok = false;
    }
    if (ok && double(raw_bytes) > kMaxDeflateRatio * double(image_data_bytes) + 1024.0) {
        message = "declares " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than its " +
                  std::to_string(image_data_bytes) + " bytes of image data can hold";
        ok = false;
    }
    const size_t row_bytes = size_t(width) * 4 * size_t(depth / 8);
    if (ok && header != nullptr) {
        png_destroy_read_struct(&png, &info, nullptr);
        *header = PngHeader{int32_t(width), int32_t(height), origin[0], origin[1]};
        return nullptr;
    }
    if (ok && passes == 1) {
        ok = png_read_progressively(png, info, row_bytes, height, &data);
    } else if (ok) {
        data.resize(row_bytes * height);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = data.data() + row_bytes * y;
        ok = png_read_whole(png, info, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) throw SimhostError(path + ": cannot be read" + (message.empty() ? "" : " (" + message + ")"));

    auto image = std::make_unique<OwnedWorld>(int32_t(width), int32_t(height), bpc);
    image->world().origin_x = origin[0];
    image->world().origin_y = origin[1];
    for (png_uint_32 y = 0; y < height; ++y) {
        const png_byte* row = data.data() + row_bytes * y;
        for (png_uint_32 x = 0; x < width; ++x)
            for (int i = 0; i < 4; ++i) {
                double v;
                if (depth == 8) {
                    v = row[x * 4 + i] / 255.0;
                } else {
                    const uint32_t p = (uint32_t(row[(x * 4 + i) * 2]) << 8) | row[(x * 4 + i) * 2 + 1];
                    v = ((p * 32768u + 32767u) / 65535u) / 32768.0;
                }
                image->set_channel(int32_t(x), int32_t(y), kFileChannel[i], v);
            }
    }
    return image;
}

}  // namespace

std::unique_ptr<OwnedWorld> read_png(const std::string& path, int bpc) { return read_png_file(path, bpc, nullptr); }

PngHeader read_png_header(const std::string& path) {
    PngHeader header;
    read_png_file(path, 16, &header);
    return header;
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
