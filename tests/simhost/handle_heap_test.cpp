#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "simhost/handle_heap.h"
#include "simhost/host.h"

namespace {

TEST(HandleHeap, LocksOwnersAndMisuse) {
    simhost::HandleHeap heap;
    PF_Handle a = heap.allocate(100, "effect");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(*a) % 16, 0u);
    EXPECT_EQ(static_cast<uint8_t*>(*a)[99], 0xCD);
    EXPECT_EQ(heap.lock(a), *a);
    EXPECT_EQ(heap.lock(a), *a);  // nested locks count
    EXPECT_EQ(heap.lock_count(a), 2);
    EXPECT_EQ(heap.locked().size(), 1u);
    heap.unlock(a);
    heap.unlock(a);
    EXPECT_TRUE(heap.locked().empty());
    heap.set_owner(a, "global data");
    EXPECT_EQ(heap.owner(a), "global data");
    EXPECT_EQ(heap.leaked().size(), 1u);

    struct Case {
        const char* what;
        std::function<void()> misuse;
        const char* text;
    };
    PF_Handle b = heap.allocate(8, "effect");
    const std::vector<Case> cases = {
        {"unlock without lock", [&] { heap.unlock(a); }, "unlocked without a lock"},
        {"dispose while locked", [&] { heap.lock(b); heap.dispose(b); }, "disposed while locked"},
        {"dispose twice", [&] { heap.dispose(b); }, "already disposed"},
        {"lock after dispose", [&] { EXPECT_EQ(heap.lock(b), nullptr); }, "unknown or disposed"},
    };
    for (const auto& c : cases) {
        c.misuse();
        const auto m = heap.take_misuse();
        ASSERT_EQ(m.size(), 1u) << c.what;
        EXPECT_NE(m[0].find(c.text), std::string::npos) << m[0];
    }
    heap.dispose(a);
    EXPECT_EQ(heap.live_count(), 0u);
    EXPECT_TRUE(heap.take_misuse().empty());
}

// A host that makes and disposes handles for hours: the heap it holds does
// not grow with the disposals, neither while the recent disposals it
// remembers fill up (a few handles a frame fill them only after a thousand
// frames) nor afterwards, and a handle just disposed is still known as
// disposed.
TEST(HandleHeap, ManyDisposalsHoldNoMoreMemory) {
    simhost::HandleHeap heap;
    const auto cycles = [&](int n) {
        for (int i = 0; i < n; ++i) heap.dispose(heap.allocate(64, "effect"));
    };
    cycles(100);
    const std::size_t held = mallinfo2().uordblks;
    cycles(4000);
    EXPECT_EQ(mallinfo2().uordblks, held) << "while the remembered disposals fill";
    cycles(10000);
    EXPECT_EQ(mallinfo2().uordblks, held) << "once they are full";
    EXPECT_TRUE(heap.take_misuse().empty());

    PF_Handle h = heap.allocate(8, "effect");
    heap.dispose(h);
    EXPECT_EQ(heap.lock(h), nullptr);
    const auto m = heap.take_misuse();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0], "lock of an unknown or disposed handle");
}

TEST(HostHandles, LeftLocksAndLeaksAreViolations) {
    simhost::Host host;
    PF_UtilCallbacks* u = host.in_data().utils;
    PF_Handle kept = nullptr;
    host.call_with([&](PF_InData*, PF_OutData*) {
        kept = u->host_new_handle(32);
        u->host_lock_handle(kept);
        return PF_Err(0);
    });
    ASSERT_EQ(host.violations().size(), 1u);
    EXPECT_NE(host.violations()[0].find("left locked"), std::string::npos);
    host.clear_violations();
    host.call_with([&](PF_InData*, PF_OutData*) {
        u->host_unlock_handle(kept);
        return PF_Err(0);
    });
    EXPECT_TRUE(host.violations().empty());

    host.suites().inject_error("host_new_handle", 1);
    host.suites().inject_error("host_lock_handle", 1);
    host.call_with([&](PF_InData*, PF_OutData*) {
        EXPECT_EQ(u->host_new_handle(8), nullptr);
        EXPECT_EQ(u->host_lock_handle(kept), nullptr);
        EXPECT_NE(u->host_lock_handle(kept), nullptr);  // only the first call failed
        u->host_unlock_handle(kept);
        return PF_Err(0);
    });
    EXPECT_TRUE(host.violations().empty());
    host.unload();
    ASSERT_EQ(host.violations().size(), 1u);
    EXPECT_NE(host.violations()[0].find("never disposed"), std::string::npos);
}

std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = pclose(p);
    return out;
}

TEST(GridVerb, SaveLoadAndCorruptFiles) {
    const std::string simhost = std::string(TAVREL_BIN_DIR) + "/simhost";
    const std::string plugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
    const std::string dir = ::testing::TempDir();
    const std::string saved = dir + "/grid_verb_20.kztq";
    int status = 0;
    const std::string printed =
        run(simhost + " grid " + plugin + " --columns 20 --rows 20 --save " + saved, &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_EQ(printed.rfind("columns 20\nrows 20\n0 0: 0 | 1 0 -1 -1 0 | 0 0 0 0 0 | 1 0 ", 0), 0u) << printed;
    std::ifstream f(saved, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.size(), 31335u);
    EXPECT_EQ(run(simhost + " grid " + plugin + " --load " + saved, &status), printed);
    EXPECT_EQ(status, 0);

    struct Corrupt {
        const char* what;
        size_t keep;     // bytes kept
        int flip;        // byte index to change, or -1
        const char* text;
    };
    const std::vector<Corrupt> cases = {
        {"truncated", 1000, -1, "a saved grid of 20 x 20 cells cut short (1000 of its 31335 bytes)"},
        {"bad signature", 31335, 0, "not a saved grid (it does not start with \"KZTQ\")"},
        {"bad trailer", 31335, 31334,
         "a saved grid of 20 x 20 cells that does not end with \"KZTQ\" (bytes 31331 to 31334)"},
        {"five bytes", 5, -1, "a saved grid cut short after its mark"},
        {"seven bytes", 7, -1, "a saved grid cut short in its header (7 of its 20 bytes)"},
    };
    for (const auto& c : cases) {
        const std::string bad = dir + "/grid_verb_bad.kztq";
        std::vector<char> b(bytes.begin(), bytes.begin() + long(c.keep));
        if (c.flip >= 0) b[size_t(c.flip)] ^= 0x20;
        std::ofstream(bad, std::ios::binary).write(b.data(), std::streamsize(b.size()));
        const std::string out = run(simhost + " grid " + plugin + " --load " + bad + " 2>/dev/null", &status);
        EXPECT_NE(status, 0) << c.what;
        EXPECT_NE(out.find(c.text), std::string::npos) << c.what << ": " << out;
        EXPECT_EQ(out.find("columns"), std::string::npos) << c.what;
    }
}

}  // namespace
