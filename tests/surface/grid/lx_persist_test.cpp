#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "surface/grid/lx_persist.h"

using tavrel::ControlPointGrid;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes read_golden(const std::string& name) {
    std::ifstream f(std::string(TAVREL_GOLDEN_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(f.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes flatten(const ControlPointGrid& grid) {
    ControlPointGrid g = grid;
    CLXPersist sizer;
    EXPECT_EQ(sizer.set_grid(&g), 0);
    Bytes out(static_cast<size_t>(sizer.flat_size()));
    CLXPersist p;
    EXPECT_EQ(p.set_grid(&g), 0);
    EXPECT_EQ(p.set_buffer(out.data(), int32_t(out.size())), 0);
    EXPECT_EQ(p.write(), 0);
    return out;
}

// Result of reading bytes into target: the code, or -1 with the exception
// text in message.
int unflatten(Bytes bytes, ControlPointGrid& target, std::string* message = nullptr, int32_t capacity = -1) {
    CLXPersist p;
    EXPECT_EQ(p.set_grid(&target), 0);
    unsigned char dummy = 0;
    EXPECT_EQ(p.set_buffer(bytes.empty() ? &dummy : bytes.data(),
                           capacity >= 0 ? capacity : int32_t(bytes.size())), 0);
    try {
        return p.read();
    } catch (const std::runtime_error& e) {
        if (message) *message = e.what();
        return -1;
    }
}

void put_u32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// The grids the golden files hold, built the way the files were written:
// default grids with a few selections and one moved point.
ControlPointGrid golden_1x1() {
    ControlPointGrid g(1, 1);
    g.set_selected(1, 4, true);
    g.move_handle(2, 0, 0, false, 0.25f, -0.5f, 0.75f, [](int, int, const LX_Cp&) {});
    return g;
}

ControlPointGrid golden_20x20() {
    ControlPointGrid g(20, 20);
    g.set_selected(440, 0, true);
    g.set_selected(21, 3, true);
    return g;
}

bool same_bits(const ControlPointGrid& a, const ControlPointGrid& b) {
    if (a.columns() != b.columns() || a.rows() != b.rows()) return false;
    for (int i = 0; i < a.point_count(); ++i) {
        if (a.point(i).any_selected() != b.point(i).any_selected()) return false;
        for (int k = 0; k < 5; ++k) {
            const auto& x = a.point(i).handle(k);
            const auto& y = b.point(i).handle(k);
            if (x.active != y.active || x.selected != y.selected || std::memcmp(&x.x, &y.x, 4) != 0 ||
                std::memcmp(&x.y, &y.y, 4) != 0 || std::memcmp(&x.z, &y.z, 4) != 0)
                return false;
        }
    }
    return true;
}

TEST(FlatForm, GoldenFiles) {
    struct Case {
        const char* file;
        ControlPointGrid grid;
        size_t size;
    };
    const std::vector<Case> cases = {
        {"grid_1x1.bin", golden_1x1(), 308},
        {"grid_20x20.bin", golden_20x20(), 31335},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes golden = read_golden(c.file);
        ASSERT_EQ(golden.size(), c.size);
        EXPECT_TRUE(flatten(c.grid) == golden);
        ControlPointGrid back(3, 3);
        EXPECT_EQ(unflatten(golden, back), 0);
        EXPECT_TRUE(same_bits(back, c.grid));
    }
    const Bytes one = read_golden("grid_1x1.bin");
    EXPECT_EQ(one[8], 4);
    EXPECT_EQ(one[12], 1);
    EXPECT_EQ(one[16], 1);
}

TEST(FlatForm, SizesAndShortBuffer) {
    struct Case {
        int columns, rows, size;
    };
    for (const Case& c : std::vector<Case>{{1, 1, 308}, {2, 2, 663}, {3, 1, 592}, {20, 20, 31335}}) {
        ControlPointGrid g(c.columns, c.rows);
        CLXPersist p;
        ASSERT_EQ(p.set_grid(&g), 0);
        EXPECT_EQ(p.flat_size(), c.size);
    }
    CLXPersist none;
    EXPECT_EQ(none.flat_size(), -1);

    ControlPointGrid g(20, 20);
    Bytes buffer(31335, 0xEE);
    CLXPersist p;
    ASSERT_EQ(p.set_grid(&g), 0);
    ASSERT_EQ(p.set_buffer(buffer.data(), 31334), 0);
    EXPECT_EQ(p.write(), 516);
    for (unsigned char b : buffer) ASSERT_EQ(b, 0xEE);
}

TEST(FlatForm, AttachmentCodes) {
    ControlPointGrid g(1, 1);
    unsigned char buf[400];
    struct Case {
        const char* what;
        std::function<int()> run;
        int code;
    };
    const std::vector<Case> cases = {
        {"null buffer", [&] { CLXPersist p; return p.set_buffer(nullptr, 10); }, 515},
        {"second buffer", [&] { CLXPersist p; p.set_buffer(buf, 400); return p.set_buffer(buf, 400); }, 515},
        {"null grid", [&] { CLXPersist p; return p.set_grid(nullptr); }, 515},
        {"second grid", [&] { CLXPersist p; p.set_grid(&g); return p.set_grid(&g); }, 515},
        {"write without grid", [&] { CLXPersist p; p.set_buffer(buf, 400); return p.write(); }, 515},
        {"write without buffer", [&] { CLXPersist p; p.set_grid(&g); return p.write(); }, 515},
        {"read without grid", [&] { CLXPersist p; p.set_buffer(buf, 400); return p.read(); }, 515},
        {"read without buffer", [&] { CLXPersist p; p.set_grid(&g); return p.read(); }, 515},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run(), c.code) << c.what;
}

TEST(FlatForm, RoundTripEverySize) {
    for (int columns = 1; columns <= 20; ++columns) {
        for (int rows = 1; rows <= 20; ++rows) {
            ControlPointGrid g(columns, rows);
            const int n = g.point_count();
            // Selections and coordinates that no default grid has.
            for (int i = 0; i < n; i += 3) g.set_selected(unsigned(i), (i / 3) % 5, true);
            g.move_handle(unsigned(n - 1), 0, 0, false, 1e-7f, -3.5f, 123.456f, [](int, int, const LX_Cp&) {});
            g.move_handle(0, 0, 2, true, 0.1f, 0.2f, -0.3f, [](int, int, const LX_Cp&) {});
            tavrel::AutoTangentSettings s;
            s.tension = 2.0;
            g.set_tangent_settings(s);

            const Bytes flat = flatten(g);
            ASSERT_EQ(flat.size(), size_t(24 + 71 * n));
            ControlPointGrid back(1, 1);
            ASSERT_EQ(unflatten(flat, back), 0) << columns << "x" << rows;
            ASSERT_TRUE(same_bits(back, g)) << columns << "x" << rows;
            ASSERT_EQ(back.tangent_settings().tension, 1.0);
            ASSERT_EQ(back.tangent_settings().enable, 0);
        }
    }
}

TEST(FlatForm, StoredBytesAreNormalised) {
    Bytes flat = flatten(ControlPointGrid(1, 1));
    flat[20] = 2;          // point 0's flag
    flat[20 + 1] = 7;      // point 0, handle 0 active
    flat[20 + 2] = 0xFF;   // point 0, handle 0 selected
    flat[20 + 71 + 1 + 14] = 2;  // point 1, handle 1 active
    flat[6] = 0x34;        // reserved: skipped
    ControlPointGrid back(2, 2);
    ASSERT_EQ(unflatten(flat, back), 0);
    EXPECT_TRUE(back.point(0).any_selected());
    EXPECT_EQ(back.point(0).handle(0).active, 1);
    EXPECT_EQ(back.point(0).handle(0).selected, 1);
    EXPECT_EQ(back.point(1).handle(1).active, 1);
}

TEST(FlatForm, LockedPointsWriteTheirStoredHandles) {
    ControlPointGrid g(1, 1);
    g.point_ref(0).set_locked(true);
    g.point_ref(0).writable_handle(0).x = 42.0f;  // lands in the scratch handle
    ControlPointGrid back(1, 1);
    ASSERT_EQ(unflatten(flatten(g), back), 0);
    EXPECT_EQ(back.point(0).handle(0).x, -1.0f);
    EXPECT_FALSE(back.point(0).locked());
}

struct Malformed {
    const char* what;
    std::function<Bytes()> make;
    int code;  // -1: "Invalid parameter file."
    int32_t capacity = -1;  // -1: the byte count
};

TEST(FlatForm, MalformedFormsLeaveTheGrid) {
    const Bytes good = flatten(ControlPointGrid(2, 2));
    auto with = [&](std::function<void(Bytes&)> change) {
        return [=] {
            Bytes b = good;
            change(b);
            return b;
        };
    };
    auto header = [&](size_t n) { return [=] { return Bytes(good.begin(), good.begin() + long(n)); }; };
    auto counts = [&](uint32_t n, uint32_t c, uint32_t r) {
        return with([=](Bytes& b) {
            put_u32(b, 8, n);
            put_u32(b, 12, c);
            put_u32(b, 16, r);
        });
    };
    const std::vector<Malformed> cases = {
        {"signature", with([](Bytes& b) { b[0] = 'X'; }), 512},
        {"signature case", with([](Bytes& b) { b[3] = 'q'; }), 512},
        {"version 0", with([](Bytes& b) { b[4] = 0; }), 512},
        {"version 2", with([](Bytes& b) { b[4] = 2; }), 512},
        {"version 257", with([](Bytes& b) { b[5] = 1; }), 512},
        {"version -1", with([](Bytes& b) { b[4] = b[5] = 0xFF; }), 512},
        {"empty buffer", [] { return Bytes(); }, 512, 0},
        {"7 bytes", header(7), 512},
        {"8 bytes, sound header", header(8), -1},
        {"23 bytes, sound header", header(23), -1},
        {"23 bytes, bad header", with([](Bytes& b) { b[0] = 0; b.resize(23); }), 512},
        {"count 10 for 2 x 2", counts(10, 2, 2), -1},
        {"count 8 for 2 x 2", counts(8, 2, 2), -1},
        {"count 0", counts(0, 2, 2), -1},
        {"negative count", counts(0xFFFFFFFFu, 2, 2), -1},
        {"columns 0", counts(3, 0, 2), -1},
        {"rows 0", counts(3, 2, 0), -1},
        {"columns 21", counts(22 * 2, 21, 1), -1},
        {"rows 21", counts(2 * 22, 1, 21), -1},
        {"21 x 20 in a buffer large enough", [&] {
             Bytes b = good;
             b.resize(size_t(CLXPersist::form_size(22 * 21)), 0);
             put_u32(b, 8, 22 * 21);
             put_u32(b, 12, 21);
             put_u32(b, 16, 20);
             return b;
         }, -1},
        {"counts that wrap in 32 bits", counts(0, 0xFFFFFFFFu, 0), -1},
        {"65535 x 65535", counts(0, 65535, 65535), -1},
        {"count beyond the buffer", counts(16, 3, 3), -1},
        {"truncated by one byte", with([](Bytes& b) { b.pop_back(); }), -1},
        {"truncated by one point", with([](Bytes& b) { b.resize(b.size() - 71); }), -1},
        {"capacity below the bytes", [&] { return good; }, -1, int32_t(good.size()) - 4},
        {"bad trailer", with([](Bytes& b) { b.back() = 'X'; }), 512},
        {"trailer of zeros", with([](Bytes& b) { std::fill(b.end() - 4, b.end(), 0); }), 512},
        // A coordinate that is no finite number: the last point's position
        // z, a handle's x, and the first point's position x.
        {"NaN position z", with([](Bytes& b) { put_u32(b, 20 + 3 * 71 + 1 + 10, 0x7FC00000u); }), -1},
        {"infinite handle x", with([](Bytes& b) { put_u32(b, 20 + 71 + 1 + 14 + 2, 0xFF800000u); }), -1},
        {"signalling NaN position x", with([](Bytes& b) { put_u32(b, 20 + 1 + 2, 0x7F800001u); }), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ControlPointGrid target(3, 1);
        target.set_selected(2, 1, true);
        const ControlPointGrid before = target;
        std::string message;
        EXPECT_EQ(unflatten(c.make(), target, &message, c.capacity), c.code);
        if (c.code == -1) {
            EXPECT_EQ(message, "Invalid parameter file.");
        }
        EXPECT_EQ(std::memcmp(&target, &before, sizeof target), 0);
    }
}

TEST(FlatForm, LongerBufferReadsTheForm) {
    Bytes b = flatten(golden_1x1());
    b.resize(b.size() + 100, 0x55);
    ControlPointGrid back(2, 2);
    EXPECT_EQ(unflatten(b, back), 0);
    EXPECT_TRUE(same_bits(back, golden_1x1()));
}

}  // namespace
