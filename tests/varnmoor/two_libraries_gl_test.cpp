// Two copies of the engine in one process, each in a library of its own with
// local symbols, as the two effect libraries carry them: their engines start
// and stop at the same moments without a second freeglut initialisation,
// their X error traps never interleave, and when one library unloads no
// handler of it stays installed while the other goes on rendering.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <string>
#include <thread>

namespace {

using Cycle = int (*)(int);
using Trap = int (*)(Display*);

struct Copy {
    void* library = nullptr;
    Cycle cycle = nullptr;
    Trap trap = nullptr;
    explicit Copy(const char* name) {
        library = dlopen((std::string(TAVREL_ENGINE_COPY_DIR) + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return;
        cycle = reinterpret_cast<Cycle>(dlsym(library, "tavrel_engine_copy_cycle"));
        trap = reinterpret_cast<Trap>(dlsym(library, "tavrel_engine_copy_trap"));
    }
    ~Copy() {
        if (library != nullptr) dlclose(library);
    }
    void unload() {
        dlclose(library);
        library = nullptr;
    }
};

int count_errors(Display*, XErrorEvent*) { return 0; }
int keep_io(Display*) { return 0; }

TEST(TwoEngineCopies, StartStopTrapAndUnloadConcurrently) {
    Copy a("engine_copy_a.so");
    Copy b("engine_copy_b.so");
    ASSERT_TRUE(a.cycle && a.trap) << dlerror();
    ASSERT_TRUE(b.cycle && b.trap) << dlerror();
    ASSERT_NE(a.cycle, b.cycle);

    const auto io_before = XSetIOErrorHandler(keep_io);
    XSetIOErrorHandler(io_before);

    constexpr int kRounds = 3;
    int done_a = 0, done_b = 0, caught_a = 0, caught_b = 0;
    {
        std::thread ta([&] {
            done_a = a.cycle(kRounds);
            Display* d = XOpenDisplay(nullptr);
            for (int i = 0; i < 20; ++i) caught_a += a.trap(d);
            XCloseDisplay(d);
        });
        std::thread tb([&] {
            done_b = b.cycle(kRounds);
            Display* d = XOpenDisplay(nullptr);
            for (int i = 0; i < 20; ++i) caught_b += b.trap(d);
            XCloseDisplay(d);
        });
        ta.join();
        tb.join();
    }
    EXPECT_EQ(done_a, kRounds);
    EXPECT_EQ(done_b, kRounds);
    EXPECT_EQ(caught_a, 20);
    EXPECT_EQ(caught_b, 20);
    EXPECT_NE(glutGet(GLUT_INIT_STATE), 0);

    // The process's handler is again the one from before the traps.
    const auto before = XSetErrorHandler(count_errors);
    XSetErrorHandler(before);
    EXPECT_NE(before, nullptr);

    // One library goes while the other renders.
    int during_unload = 0;
    std::thread renderer([&] { during_unload = b.cycle(2); });
    a.unload();
    renderer.join();
    EXPECT_EQ(during_unload, 2);
    const auto after = XSetErrorHandler(count_errors);
    XSetErrorHandler(after);
    EXPECT_EQ(after, before);
    // The I/O error handler, installed with each trap, is the one from
    // before too.
    const auto io_after = XSetIOErrorHandler(keep_io);
    XSetIOErrorHandler(io_after);
    EXPECT_EQ(io_after, io_before);
}

}  // namespace
