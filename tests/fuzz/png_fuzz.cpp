// Feeds arbitrary bytes to the PNG reader through a file, as the host reads
// its inputs. Every input must give an image of a size a world holds or a
// SimhostError naming the file; libFuzzer's memory limit (scripts/test)
// catches a small file that costs a large allocation.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "simhost/image_io.h"
#include "simhost/simhost_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/png_fuzz_" + std::to_string(::getpid()) + ".png";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    // The header alone is read as the host reads it before a frame: it
    // agrees with the decoded image wherever the image can be decoded.
    simhost::PngHeader header{-1, -1, 0, 0};
    try {
        header = simhost::read_png_header(path);
        if (header.width < 1 || header.height < 1 || header.width > 30000 || header.height > 30000) std::abort();
    } catch (const simhost::SimhostError& e) {
        if (std::string(e.what()).rfind(path + ": ", 0) != 0) std::abort();
    }
    for (int bpc : {8, 16}) {
        try {
            const auto image = simhost::read_png(path, bpc);
            const PF_EffectWorld& w = image->world();
            if (w.width != header.width || w.height != header.height || w.origin_x != header.origin_x ||
                w.origin_y != header.origin_y)
                std::abort();
            if (w.width < 1 || w.height < 1 || w.width > 30000 || w.height > 30000) std::abort();
            // A file of this size cannot hold more pixels than deflate packs
            // (eight to a byte at one bit per pixel).
            if (double(w.width) * double(w.height) > 8.0 * (1032.0 * double(size) + 1024.0)) std::abort();
        } catch (const simhost::SimhostError& e) {
            if (std::string(e.what()).rfind(path + ": ", 0) != 0) std::abort();
        }
    }
    return 0;
}
