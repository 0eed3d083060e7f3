#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "resources/pipl.h"
#include "simhost/pipl_info.h"
#include "simhost/plugin_library.h"
#include "simhost/simhost_error.h"

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct PiplCase {
    const char* golden;
    tavrel::PiplDescription (*description)();
    const char* name;
    size_t size;
};

class PiplBytes : public ::testing::TestWithParam<PiplCase> {};

TEST_P(PiplBytes, MatchGoldenFile) {
    const auto& c = GetParam();
    const auto built = tavrel::build_pipl(c.description());
    const auto golden = read_file(std::string(TAVREL_GOLDEN_DIR) + "/" + c.golden);
    ASSERT_EQ(built.size(), c.size);
    EXPECT_EQ(built, golden);
}

TEST_P(PiplBytes, ReadBackByTheHost) {
    const auto& c = GetParam();
    const auto info = simhost::parse_pipl(tavrel::build_pipl(c.description()));
    EXPECT_EQ(info.kind, "eFKT");
    EXPECT_EQ(info.name, c.name);
    EXPECT_EQ(info.match_name, c.name);
    EXPECT_EQ(info.category, "Tavrel");
    EXPECT_EQ(info.entry_point, "EntryPointFunc");
    EXPECT_EQ(info.version, 0x00080001u);
    EXPECT_EQ(info.out_flags, 0x03088003u);
    EXPECT_EQ(info.out_flags2, 0x00021406u);
    EXPECT_EQ(info.pipl_version_major, 2);
    EXPECT_EQ(info.spec_version_major, 13);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, PiplBytes,
    ::testing::Values(PiplCase{"lattixpro.pipl.bin", tavrel::lattix_pro_pipl, "Tavrel Lattix Pro", 298},
                      PiplCase{"varnmoor.pipl.bin", tavrel::varnmoor_pipl, "Tavrel Varnmoor", 290}),
    [](const ::testing::TestParamInfo<PiplCase>& info) {
        return std::string(info.param.golden).substr(0, std::string(info.param.golden).find('.'));
    });

// Splits a property list into (key, data) pairs by the layout alone.
std::vector<std::pair<std::string, std::string>> properties(const std::vector<uint8_t>& b) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t pos = 10;
    while (pos + 16 <= b.size()) {
        const std::string key{char(b[pos + 7]), char(b[pos + 6]), char(b[pos + 5]), char(b[pos + 4])};
        const uint32_t len = b[pos + 12] | b[pos + 13] << 8 | b[pos + 14] << 16 | uint32_t(b[pos + 15]) << 24;
        out.emplace_back(key, std::string(b.begin() + long(pos) + 16, b.begin() + long(pos + 16 + len)));
        pos += 16 + len + (4 - len % 4) % 4;
    }
    EXPECT_EQ(pos, b.size());
    return out;
}

TEST(PiplBytes, EffectsDifferOnlyInTheirNames) {
    const auto a = properties(read_file(std::string(TAVREL_GOLDEN_DIR) + "/lattixpro.pipl.bin"));
    const auto b = properties(tavrel::build_pipl(tavrel::varnmoor_pipl()));
    ASSERT_EQ(a.size(), 12u);
    ASSERT_EQ(b.size(), 12u);
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].first, b[i].first);
        if (a[i].first == "name" || a[i].first == "eMNA") {
            EXPECT_EQ(a[i].second, std::string("\x11Tavrel Lattix Pro"));
            EXPECT_EQ(b[i].second, std::string("\x0fTavrel Varnmoor"));
        } else {
            EXPECT_EQ(a[i].second, b[i].second) << a[i].first;
        }
    }
}

TEST(PiplBytes, PascalStringPadIsCountedInTheLength) {
    const auto bytes = tavrel::build_pipl(tavrel::lattix_pro_pipl());
    const std::string s(bytes.begin(), bytes.end());
    const size_t catg = s.find("gtac");
    ASSERT_NE(catg, std::string::npos);
    EXPECT_EQ(uint8_t(s[catg + 8]), 8);  // 1 + 6 + 1 pad
    EXPECT_EQ(s.substr(catg + 12, 8), std::string("\x06Tavrel\0", 8));
}

struct BadList {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
};

TEST(PiplBytes, MalformedListsAreRefusedWithAReason) {
    auto good = tavrel::build_pipl(tavrel::lattix_pro_pipl());
    auto wrong_version = good;
    wrong_version[0] = 2;
    auto truncated = good;
    truncated.resize(100);
    auto no_entry = good;
    no_entry[6] = 1;  // only the kind property remains
    const std::vector<BadList> cases = {
        {"empty", {}, "property list is truncated"},
        {"wrong version", wrong_version, "property list has an unknown version"},
        {"truncated", truncated, "property list is truncated"},
        {"no entry point", no_entry, "property list names no entry point"},
    };
    for (const auto& c : cases) {
        try {
            simhost::parse_pipl(c.bytes);
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const simhost::SimhostError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.what;
        }
    }
}

TEST(PiplInLibrary, HostReadsItFromTheBuiltPlugin) {
    const std::string path = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
    const auto info = simhost::read_pipl_from_file(path);
    EXPECT_EQ(info.name, "Tavrel Lattix Pro");
    EXPECT_EQ(info.entry_point, "EntryPointFunc");
    EXPECT_EQ(info.out_flags2, 0x00021406u);
    // The embedded bytes are exactly the golden ones.
    const auto golden = read_file(std::string(TAVREL_GOLDEN_DIR) + "/lattixpro.pipl.bin");
    EXPECT_EQ(read_file(std::string(TAVREL_PLUGIN_DIR) + "/lattixpro.pipl.bin"), golden);
}

}  // namespace
