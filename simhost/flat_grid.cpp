#include "simhost/flat_grid.h"

#include <cstring>

#include "simhost/host_files.h"
#include "simhost/simhost_error.h"

namespace simhost {

namespace {

struct Writer {
    std::vector<uint8_t> bytes;

    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(uint8_t(v >> (8 * i)));
    }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void signature() {
        for (char c : {'K', 'Z', 'T', 'Q'}) u8(uint8_t(c));
    }
    void handle(bool active, float x, float y) {
        u8(active ? 1 : 0);
        u8(0);
        f32(active ? x : 0.0f);
        f32(active ? y : 0.0f);
        f32(0.0f);
    }
};

}  // namespace

std::vector<uint8_t> default_flat_grid(int columns, int rows) {
    if (columns < 1 || columns > 20 || rows < 1 || rows > 20)
        throw SimhostError("columns and rows must be 1 to 20");
    Writer w;
    w.signature();
    w.u16(1);
    w.u16(0);
    w.u32(uint32_t((columns + 1) * (rows + 1)));
    w.u32(uint32_t(columns));
    w.u32(uint32_t(rows));
    const float hx = 2.0f / float(3 * columns);
    const float hy = 2.0f / float(3 * rows);
    // Positions accumulate step by step in single precision, as stored grids
    // were made: a product would differ in the last bits.
    const float step_x = 3.0f * hx, step_y = 3.0f * hy;
    float y = -1.0f;
    for (int r = 0; r <= rows; ++r) {
        float x = -1.0f;
        for (int c = 0; c <= columns; ++c) {
            w.u8(0);
            w.handle(true, x, y);
            w.handle(c > 0, x - hx, y);
            w.handle(c < columns, x + hx, y);
            w.handle(r > 0, x, y - hy);
            w.handle(r < rows, x, y + hy);
            x += step_x;
        }
        y += step_y;
    }
    w.signature();
    return w.bytes;
}

}  // namespace simhost

namespace simhost {

uint32_t flat_grid_u32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

std::string flat_grid_problem(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return "the file is empty, not a saved grid";
    // Forms of the first version had no mark; the effect names them itself.
    if (bytes.size() == kFirstVersionSizeA || bytes.size() == kFirstVersionSizeB) return "";
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "KZTQ", 4) != 0)
        return "not a saved grid (it does not start with \"KZTQ\")";
    if (bytes.size() < 6) return "a saved grid cut short after its mark";
    const unsigned version = unsigned(bytes[4]) | unsigned(bytes[5]) << 8;
    if (version != 1) return "a saved grid of version " + std::to_string(version) + "; version 1 is read";
    if (bytes.size() < kFlatGridHeaderBytes)
        return "a saved grid cut short in its header (" + std::to_string(bytes.size()) + " of its " +
               std::to_string(kFlatGridHeaderBytes) + " bytes)";
    const uint32_t points = flat_grid_u32(bytes, 8), columns = flat_grid_u32(bytes, 12),
                   rows = flat_grid_u32(bytes, 16);
    // Counts that describe no grid are the effect's to refuse.
    if (columns < 1 || columns > 20 || rows < 1 || rows > 20 || points != (columns + 1) * (rows + 1)) return "";
    const size_t size = kFlatGridHeaderBytes + kFlatGridPointBytes * points + kFlatGridMarkBytes;
    const std::string grid = "a saved grid of " + std::to_string(columns) + " x " + std::to_string(rows) + " cells";
    if (bytes.size() < size)
        return grid + " cut short (" + std::to_string(bytes.size()) + " of its " + std::to_string(size) + " bytes)";
    if (std::memcmp(bytes.data() + size - kFlatGridMarkBytes, "KZTQ", kFlatGridMarkBytes) != 0)
        return grid + " that does not end with \"KZTQ\" (bytes " + std::to_string(size - kFlatGridMarkBytes) + " to " +
               std::to_string(size - 1) + ")";
    return "";
}

std::vector<uint8_t> read_saved_grid(const std::string& path) {
    std::vector<uint8_t> bytes = read_capped(path, kMaxFlatGridBytes, "a saved grid");
    if (const std::string problem = flat_grid_problem(bytes); !problem.empty())
        throw SimhostError(echo(path) + ": " + problem);
    return bytes;
}

}  // namespace simhost
