#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "surface/grid/crc16.h"

namespace {

// Bit by bit, straight from the definition, to hold the table-driven one to.
uint16_t crc_bitwise(const uint8_t* data, std::size_t size, uint16_t crc = 0xFFFF) {
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

TEST(Crc16, KnownValues) {
    struct Case {
        std::string bytes;
        uint16_t crc;
    };
    const std::vector<Case> cases = {
        {"123456789", 0x29B1},  // the published check value of CCITT-FALSE
        {"", 0xFFFF},           // no final XOR: the initial value comes back
        {"A", 0xB915},
        {std::string(1, '\0'), 0xE1F0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(tavrel::crc16_ccitt_false(c.bytes.data(), c.bytes.size()), c.crc);
        EXPECT_EQ(crc_bitwise(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()),
                  c.crc);
    }
}

TEST(Crc16, ChainsAndMatchesTheBitwiseForm) {
    std::vector<uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    const uint16_t whole = tavrel::crc16_ccitt_false(bytes.data(), bytes.size());
    EXPECT_EQ(whole, crc_bitwise(bytes.data(), bytes.size()));
    for (std::size_t split : {std::size_t(0), std::size_t(1), std::size_t(499), bytes.size()}) {
        const uint16_t head = tavrel::crc16_ccitt_false(bytes.data(), split);
        EXPECT_EQ(tavrel::crc16_ccitt_false(bytes.data() + split, bytes.size() - split, head), whole)
            << "split at " << split;
    }
}

}  // namespace
