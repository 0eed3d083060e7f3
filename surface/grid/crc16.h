// CRC-16 in its CCITT-FALSE form: polynomial 0x1021, most significant bit
// first, initial value 0xFFFF, no final XOR. The surface's change key.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel {

constexpr uint16_t kCrc16Initial = 0xFFFF;

// Continues crc over the bytes; pass the previous result to chain buffers.
uint16_t crc16_ccitt_false(const void* data, std::size_t size, uint16_t crc = kCrc16Initial);

}  // namespace tavrel
