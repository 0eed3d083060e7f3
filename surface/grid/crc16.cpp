#include "surface/grid/crc16.h"

#include <array>

namespace tavrel {

namespace {

using Crc16Table = std::array<uint16_t, 256>;

Crc16Table make_table() {
    Crc16Table table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        uint16_t crc = static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
        table[byte] = crc;
    }
    return table;
}

// Built on first use; the initialisation of a function-local static is
// thread-safe, so the rendering thread and a host thread may race to it.
const Crc16Table& table() {
    static const Crc16Table t = make_table();
    return t;
}

}  // namespace

uint16_t crc16_ccitt_false(const void* data, std::size_t size, uint16_t crc) {
    const Crc16Table& t = table();
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ t[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

}  // namespace tavrel
