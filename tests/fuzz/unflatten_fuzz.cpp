// Feeds arbitrary bytes to the flattened-grid reader. Every input must end in
// a code or "Invalid parameter file.", never read outside the buffer, and
// leave the target grid either untouched or holding a grid of a valid size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "surface/grid/lx_persist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy, so that AddressSanitizer sees one byte past
    // the form as an overrun.
    std::vector<uint8_t> bytes(data, data + size);
    uint8_t empty = 0;
    tavrel::ControlPointGrid grid(3, 2);
    const tavrel::ControlPointGrid before = grid;

    CLXPersist reader;
    if (reader.set_grid(&grid) != 0) std::abort();
    if (reader.set_buffer(size ? bytes.data() : &empty, static_cast<int32_t>(size)) != 0) std::abort();
    int code = -1;
    try {
        code = reader.read();
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()) != "Invalid parameter file.") std::abort();
    }
    if (code == 0) {
        if (grid.columns() < 1 || grid.columns() > 20 || grid.rows() < 1 || grid.rows() > 20) std::abort();
        if (size < size_t(CLXPersist::form_size(grid.point_count()))) std::abort();
        // What was read writes back to the same bytes.
        std::vector<uint8_t> again(size_t(CLXPersist::form_size(grid.point_count())));
        CLXPersist writer;
        writer.set_grid(&grid);
        writer.set_buffer(again.data(), int32_t(again.size()));
        if (writer.write() != 0) std::abort();
        for (size_t i = 0; i < again.size(); ++i) {
            if (i == 6 || i == 7) continue;  // reserved
            const bool byte_flag = i >= 20 && i + 4 < again.size() &&
                                   ((i - 20) % 71 == 0 || ((i - 20) % 71 - 1) % 14 < 2);
            if (byte_flag ? (again[i] != 0) != (bytes[i] != 0) : again[i] != bytes[i]) std::abort();
        }
    } else if (std::memcmp(&grid, &before, sizeof grid) != 0) {
        std::abort();
    }
    return 0;
}
