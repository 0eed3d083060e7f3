// The grid parameter's arbitrary-data traffic, driven through the loaded
// effect by the simulated host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/params/arbitrary_callback.h"
#include "simhost/arb_client.h"
#include "simhost/host.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/lx_persist.h"

using tavrel::ControlPointGrid;
using Bytes = std::vector<uint8_t>;

namespace {

class ArbTraffic : public ::testing::Test {
protected:
    void SetUp() override { host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so"); }
    void TearDown() override {
        for (PF_Handle h : owned) arb.dispose(h);
        host.unload();
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
    PF_Handle keep(PF_Handle h) {
        if (h) owned.push_back(h);
        return h;
    }
    void forget(PF_Handle h) { owned.erase(std::remove(owned.begin(), owned.end(), h), owned.end()); }
    // The host may look into its own handles between commands.
    ControlPointGrid& grid(PF_Handle h) { return *static_cast<ControlPointGrid*>(*h); }
    PF_Handle make_grid(int columns, int rows) {
        ControlPointGrid g(columns, rows);
        Bytes flat(size_t(CLXPersist::form_size(g.point_count())));
        CLXPersist w;
        w.set_grid(&g);
        w.set_buffer(flat.data(), int32_t(flat.size()));
        EXPECT_EQ(w.write(), 0);
        auto m = arb.unflatten(flat.data(), A_u_long(flat.size()));
        EXPECT_EQ(m.call.err, 0);
        return keep(m.handle);
    }

    simhost::Host host;
    simhost::ArbClient arb{host};
    std::vector<PF_Handle> owned;
};

TEST_F(ArbTraffic, NewCopyDisposeAndCompare) {
    auto a = arb.make_new();
    ASSERT_EQ(a.call.err, 0);
    keep(a.handle);
    EXPECT_EQ(host.handles().size(a.handle), sizeof(ControlPointGrid));
    EXPECT_TRUE(grid(a.handle) == ControlPointGrid(2, 2));

    auto b = arb.copy(a.handle);
    ASSERT_EQ(b.call.err, 0);
    keep(b.handle);
    EXPECT_NE(b.handle, a.handle);
    EXPECT_EQ(std::memcmp(*a.handle, *b.handle, sizeof(ControlPointGrid)), 0);

    struct Case {
        const char* what;
        std::function<void()> change;
        PF_ArbCompareResult expected;
    };
    const std::vector<Case> cases = {
        {"copies", [] {}, PF_ArbCompare_EQUAL},
        {"1e-6 / 2 apart", [&] { grid(b.handle).point_ref(4).writable_handle(0).x += 0.5e-6f; }, PF_ArbCompare_EQUAL},
        {"2e-6 apart", [&] { grid(b.handle).point_ref(4).writable_handle(0).x += 2e-6f; }, PF_ArbCompare_NOT_EQUAL},
        {"independent copies", [&] { grid(b.handle).set_selected(0, 0, true); }, PF_ArbCompare_NOT_EQUAL},
    };
    for (const auto& c : cases) {
        c.change();
        PF_ArbCompareResult r = -1;
        EXPECT_EQ(arb.compare(a.handle, b.handle, &r).err, 0) << c.what;
        EXPECT_EQ(r, c.expected) << c.what;
    }
    EXPECT_FALSE(grid(a.handle).point(0).any_selected());

    PF_ArbCompareResult r = -1;
    EXPECT_EQ(arb.compare(a.handle, nullptr, &r).err, 0);
    EXPECT_EQ(r, PF_ArbCompare_EQUAL);
    EXPECT_EQ(arb.compare(nullptr, b.handle, &r).err, 0);
    EXPECT_EQ(r, PF_ArbCompare_EQUAL);

    // COPY without a source leaves the default grid.
    auto c = arb.copy(nullptr);
    keep(c.handle);
    EXPECT_EQ(c.call.err, 0);
    EXPECT_TRUE(grid(c.handle) == ControlPointGrid(2, 2));

    const size_t before = host.handles().live_count();
    EXPECT_EQ(arb.dispose(b.handle).err, 0);
    forget(b.handle);
    EXPECT_EQ(host.handles().live_count(), before - 1);
}

TEST_F(ArbTraffic, SaveAndLoadThroughTheEffect) {
    const Bytes golden = [] {
        std::ifstream f(std::string(TAVREL_GOLDEN_DIR) + "/grid_20x20.bin", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }();
    ASSERT_EQ(golden.size(), 31335u);
    auto loaded = arb.unflatten(golden.data(), A_u_long(golden.size()));
    keep(loaded.handle);
    ASSERT_EQ(loaded.call.err, 0);
    EXPECT_EQ(loaded.call.message, "");
    EXPECT_EQ(grid(loaded.handle).columns(), 20);
    EXPECT_EQ(arb.save(loaded.handle), golden);

    A_u_long size = 0;
    EXPECT_EQ(arb.flat_size(loaded.handle, &size).err, 0);
    EXPECT_EQ(size, 31335u);
    Bytes small(31334, 0xEE);
    EXPECT_EQ(arb.flatten(loaded.handle, small.data(), A_u_long(small.size())).err, 516);
    for (uint8_t b : small) ASSERT_EQ(b, 0xEE);

    for (int n : {1, 2, 5}) {
        PF_Handle h = make_grid(n, n + 1);
        EXPECT_EQ(grid(h).rows(), n + 1);
        EXPECT_EQ(arb.save(h).size(), size_t(24 + 71 * (n + 1) * (n + 2)));
    }
}

TEST_F(ArbTraffic, UnflattenFailuresAndTheOldForm) {
    Bytes good(663);
    {
        ControlPointGrid g(2, 2);
        CLXPersist w;
        w.set_grid(&g);
        w.set_buffer(good.data(), 663);
        ASSERT_EQ(w.write(), 0);
    }
    struct Case {
        const char* what;
        Bytes bytes;
        PF_Err err;
        std::string message;
    };
    Bytes bad_version = good;
    bad_version[4] = 2;
    Bytes bad_count = good;
    bad_count[8] = 10;
    Bytes bad_trailer = good;
    bad_trailer.back() = '!';
    const std::vector<Case> cases = {
        {"version 1.0 size A", Bytes(37064, 0), 0, tavrel::kVersion1Message},
        {"version 1.0 size B", Bytes(37072, 0x11), 0, tavrel::kVersion1Message},
        {"one byte more than version 1.0", Bytes(37065, 0), 512, ""},
        {"version 2", bad_version, 512, ""},
        {"count 10 for 2 x 2", bad_count, 0, "Invalid parameter file."},
        {"bad trailer", bad_trailer, 512, ""},
        {"7 bytes", Bytes(good.begin(), good.begin() + 7), 512, ""},
        {"23 bytes", Bytes(good.begin(), good.begin() + 23), 0, "Invalid parameter file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = arb.unflatten(c.bytes.data(), A_u_long(c.bytes.size()));
        keep(m.handle);
        EXPECT_EQ(m.call.err, c.err);
        EXPECT_EQ(m.call.message, c.message);
        // The value the host is handed is the default grid, never part of
        // a corrupt form.
        ASSERT_NE(m.handle, nullptr);
        EXPECT_TRUE(grid(m.handle) == ControlPointGrid(2, 2));
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

TEST_F(ArbTraffic, InterpolateAndPrint) {
    PF_Handle a = keep(arb.make_new().handle);
    PF_Handle b = keep(arb.copy(a).handle);
    grid(b).move_handle(4, 0, 0, false, 1.0f, 2.0f, -4.0f, [](int, int, const LX_Cp&) {});
    PF_Handle big = make_grid(3, 3);
    struct Case {
        PF_Handle left, right;
        double t;
        float x, y, z;
        int columns;
    };
    const std::vector<Case> cases = {
        {a, b, 0.0, 0, 0, 0, 2}, {a, b, 0.37, 0.37f, 0.74f, -1.48f, 2}, {a, b, 1.0, 1, 2, -4, 2},
        {a, big, 0.5, 0, 0, 0, 2},     // sizes differ: the left grid
        {a, nullptr, 0.5, 0, 0, 0, 2},  // no right: the default grid
    };
    for (const auto& c : cases) {
        auto m = arb.interpolate(c.left, c.right, c.t);
        keep(m.handle);
        ASSERT_EQ(m.call.err, 0);
        const auto& h = grid(m.handle).point(4).handle(0);
        EXPECT_NEAR(h.x, c.x, 1e-6);
        EXPECT_NEAR(h.y, c.y, 1e-6);
        EXPECT_NEAR(h.z, c.z, 1e-6);
        EXPECT_EQ(grid(m.handle).columns(), c.columns);
    }

    A_u_long size = 0;
    EXPECT_EQ(arb.print_size(&size).err, 0);
    EXPECT_EQ(size, 2u);
    char text[8];
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(arb.print(text, 8).err, 0);
    EXPECT_EQ(std::string(text), "A");
    EXPECT_EQ(text[2], 'z');
    EXPECT_EQ(arb.print(text, 1).err, 516);  // no room for "A" and its zero
    for (int selector : {int(PF_Arbitrary_SCAN_FUNC), 11, 12, 99}) {
        const auto r = arb.bare(selector);
        EXPECT_EQ(r.err, 0) << selector;
        EXPECT_EQ(r.message, "") << selector;
    }
}

TEST_F(ArbTraffic, WrongRefconTouchesNothing) {
    PF_Handle a = keep(arb.make_new().handle);
    const Bytes flat = arb.save(a);
    const size_t live = host.handles().live_count();
    arb.set_refcon(reinterpret_cast<void*>(0x1234));
    A_u_long size = 77;
    Bytes buffer(flat.size(), 0xEE);
    PF_ArbCompareResult cmp = 9;
    struct Case {
        const char* what;
        std::function<simhost::ArbClient::Made()> run;
        PF_Err err;
    };
    auto made = [](simhost::CallResult c) { return simhost::ArbClient::Made{c, nullptr}; };
    const std::vector<Case> cases = {
        {"NEW", [&] { return arb.make_new(); }, 512},
        {"DISPOSE", [&] { return made(arb.dispose(a)); }, 512},
        {"COPY", [&] { return arb.copy(a); }, 512},
        {"FLAT_SIZE", [&] { return made(arb.flat_size(a, &size)); }, 512},
        {"FLATTEN", [&] { return made(arb.flatten(a, buffer.data(), A_u_long(buffer.size()))); }, 512},
        {"UNFLATTEN", [&] { return arb.unflatten(flat.data(), A_u_long(flat.size())); }, 512},
        {"INTERP", [&] { return arb.interpolate(a, a, 0.5); }, 512},
        {"COMPARE", [&] { return made(arb.compare(a, a, &cmp)); }, 512},
        {"PRINT_SIZE", [&] { return made(arb.print_size(&size)); }, 0},
        {"SCAN", [&] { return made(arb.bare(PF_Arbitrary_SCAN_FUNC)); }, 0},
    };
    for (const auto& c : cases) {
        const auto m = c.run();
        EXPECT_EQ(m.call.err, c.err) << c.what;
        EXPECT_EQ(m.handle, nullptr) << c.what;
        EXPECT_EQ(host.handles().live_count(), live) << c.what;
    }
    EXPECT_TRUE(host.handles().live(a));
    EXPECT_EQ(size, 2u);  // only PRINT_SIZE wrote
    EXPECT_EQ(cmp, 9);
    for (uint8_t b : buffer) ASSERT_EQ(b, 0xEE);
    arb.set_refcon(simhost::ArbClient::grid_refcon());
}

TEST_F(ArbTraffic, HandleFailuresGiveTheirCodesAndLeaveNoLock) {
    PF_Handle a = keep(arb.make_new().handle);
    PF_Handle b = keep(arb.copy(a).handle);
    const Bytes flat = arb.save(a);
    A_u_long size = 0;
    PF_ArbCompareResult cmp = 0;
    Bytes buffer(flat.size());
    struct Case {
        const char* what;
        const char* function;  // the host function made to fail
        int nth;               // which of its calls in the command
        std::function<simhost::ArbClient::Made()> run;
        PF_Err err;
    };
    auto made = [](simhost::CallResult c) { return simhost::ArbClient::Made{c, nullptr}; };
    const std::vector<Case> cases = {
        {"NEW, no handle", "host_new_handle", 1, [&] { return arb.make_new(); }, 4},
        {"NEW, no lock", "host_lock_handle", 1, [&] { return arb.make_new(); }, 512},
        {"COPY, no handle", "host_new_handle", 1, [&] { return arb.copy(a); }, 4},
        {"COPY, source lock", "host_lock_handle", 2, [&] { return arb.copy(a); }, 512},
        {"COPY, destination lock", "host_lock_handle", 3, [&] { return arb.copy(a); }, 512},
        {"FLAT_SIZE, lock", "host_lock_handle", 1, [&] { return made(arb.flat_size(a, &size)); }, 515},
        {"FLATTEN, lock", "host_lock_handle", 1,
         [&] { return made(arb.flatten(a, buffer.data(), A_u_long(buffer.size()))); }, 515},
        {"UNFLATTEN, no handle", "host_new_handle", 1,
         [&] { return arb.unflatten(flat.data(), A_u_long(flat.size())); }, 4},
        {"UNFLATTEN, lock", "host_lock_handle", 2,
         [&] { return arb.unflatten(flat.data(), A_u_long(flat.size())); }, 516},
        {"INTERP, left lock", "host_lock_handle", 2, [&] { return arb.interpolate(a, b, 0.5); }, 516},
        {"INTERP, right lock", "host_lock_handle", 3, [&] { return arb.interpolate(a, b, 0.5); }, 516},
        {"INTERP, out lock", "host_lock_handle", 4, [&] { return arb.interpolate(a, b, 0.5); }, 516},
        {"COMPARE, first lock", "host_lock_handle", 1, [&] { return made(arb.compare(a, b, &cmp)); }, 516},
        {"COMPARE, second lock", "host_lock_handle", 2, [&] { return made(arb.compare(a, b, &cmp)); }, 516},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host.suites().clear_faults();
        host.suites().inject_error(c.function, 1, c.nth, 1);  // counted from now
        cmp = 0;
        const auto m = c.run();
        keep(m.handle);
        EXPECT_EQ(m.call.err, c.err);
        if (std::string(c.what).rfind("COMPARE", 0) == 0) {
            EXPECT_EQ(cmp, PF_ArbCompare_NOT_EQUAL);
        }
        // check_after records any lock left behind.
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
        host.clear_violations();
    }
    host.suites().clear_faults();
}

TEST_F(ArbTraffic, MissingArgumentsAreRefused) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_NEW_FUNC;
    e.u.new_func_params.refconPV = simhost::ArbClient::grid_refcon();
    EXPECT_EQ(host.call(PF_Cmd_ARBITRARY_CALLBACK, nullptr, nullptr, &e).err, 516);
    EXPECT_EQ(host.call(PF_Cmd_ARBITRARY_CALLBACK, nullptr, nullptr, nullptr).err, 516);
    A_u_long size = 0;
    EXPECT_EQ(arb.flat_size(nullptr, &size).err, 515);
    Bytes buffer(10);
    EXPECT_EQ(arb.flatten(nullptr, buffer.data(), 10).err, 515);
}

}  // namespace
