#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "simhost/flat_grid.h"
#include "simhost/simhost_error.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes read_golden(const std::string& name) {
    std::ifstream f(std::string(TAVREL_GOLDEN_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(f.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The golden 20 x 20 form is a new grid with handle 0 of point 440 and handle
// 3 of point 21 selected; clearing those marks must give the host's new grid
// byte for byte.
TEST(FlatGrid, NewGridMatchesTheGoldenFormWithoutItsSelections) {
    Bytes golden = read_golden("grid_20x20.bin");
    ASSERT_EQ(golden.size(), 31335u);
    const auto point = [](size_t i) { return 20 + 71 * i; };
    for (auto [index, handle] : {std::pair<size_t, size_t>{440, 0}, {21, 3}}) {
        ASSERT_EQ(golden[point(index)], 1u);
        ASSERT_EQ(golden[point(index) + 1 + 14 * handle + 1], 1u);
        golden[point(index)] = 0;
        golden[point(index) + 1 + 14 * handle + 1] = 0;
    }
    EXPECT_EQ(simhost::default_flat_grid(20, 20), golden);
}

TEST(FlatGrid, SizesAndRefusals) {
    struct Case {
        int columns, rows;
        size_t size;
    };
    for (const Case& c : {Case{1, 1, 308}, Case{3, 2, 24 + 71 * 12}, Case{20, 20, 31335}}) {
        const Bytes b = simhost::default_flat_grid(c.columns, c.rows);
        EXPECT_EQ(b.size(), c.size) << c.columns << " x " << c.rows;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "KZTQ");
        EXPECT_EQ(std::string(b.end() - 4, b.end()), "KZTQ");
    }
    for (auto [columns, rows] : {std::pair{0, 1}, {1, 0}, {21, 3}, {3, 21}, {-1, -1}})
        EXPECT_THROW(simhost::default_flat_grid(columns, rows), simhost::SimhostError);
}

}  // namespace
