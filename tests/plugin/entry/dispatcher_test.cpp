#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/abort_exception.h"
#include "engine/core/command_hand_off.h"
#include "engine/core/engine_errors.h"
#include "hostaccess/plugin_errors.h"
#include "plugin/entry/command_dispatcher.h"
#include "simhost/host.h"

namespace {

struct UnlistedType {
    int x;
};

struct MappingCase {
    const char* what;
    std::function<PF_Err()> handler;
    PF_Err expected_err;
    std::string expected_message;
};

std::string long_text(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(char('a' + i % 26));
    return s;
}

TEST(FailureMapping, EachClauseInItsOrder) {
    const std::string warning = tavrel::TooManyShadowCasters().what();
    const std::vector<MappingCase> cases = {
        {"shadow warning", [] () -> PF_Err { throw tavrel::TooManyShadowCasters(); }, 0, warning},
        {"bare long", [] () -> PF_Err { throw long(516); }, 516, ""},
        {"abort", [] () -> PF_Err { throw tavrel::SimpleAbortException(5); }, 5, ""},
        {"host error", [] () -> PF_Err { throw tavrel::PFErrException(7); }, 7, ""},
        {"out of memory before plugin error", [] () -> PF_Err { throw PluginOutOfMemoryError(); }, 4, ""},
        {"plugin error", [] () -> PF_Err { throw PluginError("Too many lights: maximum light count is 16"); },
         0, "Too many lights: maximum light count is 16"},
        {"std::exception", [] () -> PF_Err { throw std::runtime_error("glBegin failed"); }, 0, "glBegin failed"},
        {"an engine failure shows its text without its place",
         [] () -> PF_Err { throw tavrel::gl_call_error("engine/gpu/texture_object.cpp", 121, "out of memory"); }, 0,
         "OpenGL failed: out of memory"},
        {"so does a located one", [] () -> PF_Err { throw tavrel::located_error("a/b.cpp", 7, "no context"); },
         0, "OpenGL failed: no context"},
        {"and one the rendering thread handed back",
         [] () -> PF_Err { throw tavrel::CommandError("x.cpp: 3 invalid value", "x.cpp: 3", "OpenGL failed: invalid value"); },
         0, "OpenGL failed: invalid value"},
        {"a text that merely looks located is shown whole",
         [] () -> PF_Err { throw std::runtime_error("engine/gpu/texture_object.cpp: 121 out of memory"); }, 0,
         "engine/gpu/texture_object.cpp: 121 out of memory"},
        {"int", [] () -> PF_Err { throw 3; }, 0, "Unknown Error"},
        {"char*", [] () -> PF_Err { throw "text"; }, 0, "Unknown Error"},
        {"unlisted type", [] () -> PF_Err { throw UnlistedType{1}; }, 0, "Unknown Error"},
        {"format characters", [] () -> PF_Err { throw std::runtime_error("50% %s %d %n done"); }, 0,
         "50% %s %d %n done"},
        {"300 characters", [] () -> PF_Err { throw PluginError(long_text(300)); }, 0, long_text(255)},
        {"handler's own code", [] () -> PF_Err { return 42; }, 42, ""},
    };
    simhost::Host host;
    for (const auto& c : cases) {
        tavrel::CommandDispatcher d;
        d.add(PF_Cmd_SMART_RENDER, [&](PF_InData*, PF_OutData*, PF_ParamDef**, PF_LayerDef*, void*) {
            return c.handler();
        });
        const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
            return d.dispatch(PF_Cmd_SMART_RENDER, in, out, nullptr, nullptr, nullptr);
        });
        EXPECT_EQ(r.err, c.expected_err) << c.what;
        EXPECT_EQ(r.message, c.expected_message) << c.what;
        // No clause touches the flags.
        EXPECT_EQ(host.out_data().out_flags, 0) << c.what;
    }
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
}

TEST(FailureMapping, MessageIsWrittenWithoutAHostFormatterToo) {
    PF_OutData out{};
    std::memset(out.return_msg, 'x', sizeof out.return_msg);
    tavrel::CommandDispatcher d;
    d.add(1, [](PF_InData*, PF_OutData*, PF_ParamDef**, PF_LayerDef*, void*) -> PF_Err {
        throw PluginError(long_text(400));
    });
    EXPECT_EQ(d.dispatch(1, nullptr, &out, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(out.return_msg), long_text(255));
}

class EffectLibrary : public ::testing::Test {
protected:
    void SetUp() override { host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so"); }
    simhost::Host host;
};

TEST_F(EffectLibrary, CommandsWithoutHandlerSucceedAndWriteNothing) {
    for (PF_Cmd cmd : std::initializer_list<PF_Cmd>{PF_Cmd_SEQUENCE_FLATTEN, PF_Cmd_RENDER, PF_Cmd_GET_EXTERNAL_DEPENDENCIES,
                       PF_Cmd_FRAME_SETUP, 99}) {
        const auto r = host.call(cmd);
        EXPECT_EQ(r.err, PF_Err_NONE) << cmd;
        PF_OutData untouched{};
        EXPECT_EQ(std::memcmp(&host.out_data(), &untouched, sizeof untouched), 0) << cmd;
    }
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(EffectLibrary, ConcurrentFirstCallsBuildOneTableAndAllSucceed) {
    // The library was just loaded: these are its first commands.
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<std::string> messages(kThreads);
    std::vector<PF_Err> errs(kThreads, -1);
    std::vector<std::thread> threads;
    const PF_EntryPointFunc entry = host.plugin().entry();
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            PF_InData in = host.in_data();
            PF_OutData out{};
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            errs[i] = entry(PF_Cmd_ABOUT, &in, &out, nullptr, nullptr, nullptr);
            messages[i] = out.return_msg;
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(errs[i], 0);
        EXPECT_EQ(messages[i].substr(0, 27), "Lattix Pro Version 1.5 CS6\r");
    }
    EXPECT_TRUE(host.suites().unbalanced().empty());
}

TEST_F(EffectLibrary, ExportsOnlyTheEntryPoint) {
    EXPECT_EQ(host.plugin().exported_symbols(), std::vector<std::string>{"EntryPointFunc"});
}

}  // namespace
