// The command hand-off with an engine that needs no OpenGL, so that these
// tests also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <boost/function.hpp>

#include "engine/core/abort_exception.h"
#include "engine/core/command_hand_off.h"

namespace {

// What the engine saw, readable after it is gone.
struct EngineRecord {
    std::mutex mutex;
    std::thread::id created_on, destroyed_on;
    int make_current_calls = 0;
    int restore_calls = 0;
    bool destroyed = false;
    bool fail_make_current = false;
};

class FakeEngine {
public:
    explicit FakeEngine(std::shared_ptr<EngineRecord> record) : record_(std::move(record)) {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->created_on = std::this_thread::get_id();
    }
    ~FakeEngine() {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->destroyed_on = std::this_thread::get_id();
        record_->destroyed = true;
    }
    void make_current() {
        std::lock_guard<std::mutex> lock(record_->mutex);
        ++record_->make_current_calls;
        if (record_->fail_make_current) throw std::runtime_error("glXMakeCurrent failed");
    }
    void restore() noexcept {
        std::lock_guard<std::mutex> lock(record_->mutex);
        ++record_->restore_calls;
    }
    int value = 0;  // state that commands may change; only the rendering thread touches it

private:
    std::shared_ptr<EngineRecord> record_;
};

using HandOff = tavrel::CommandHandOff<FakeEngine>;
using Command = HandOff::Command;

// Counts live instances; its destructor notes the thread it ran on.
struct Tracked {
    static std::atomic<int> live;
    explicit Tracked(std::atomic<std::thread::id>* died_on = nullptr) : died_on_(died_on) { ++live; }
    Tracked(const Tracked& other) : died_on_(other.died_on_) { ++live; }
    ~Tracked() {
        --live;
        if (died_on_ != nullptr) died_on_->store(std::this_thread::get_id());
    }
    std::atomic<std::thread::id>* died_on_;
};
std::atomic<int> Tracked::live{0};

std::size_t thread_count() {
    std::size_t n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') ++n;
        }
        closedir(dir);
    }
    return n;
}

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

class HandOffTest : public testing::Test {
protected:
    void start() {
        record = std::make_shared<EngineRecord>();
        auto r = record;
        hand_off.reset(new HandOff([r] { return std::make_shared<FakeEngine>(r); }));
    }
    std::thread::id rendering_thread_id() {
        std::thread::id id;
        hand_off->execute([&id](FakeEngine&) { id = std::this_thread::get_id(); });
        return id;
    }

    std::shared_ptr<EngineRecord> record;
    std::unique_ptr<HandOff> hand_off;
};

TEST_F(HandOffTest, CommandOutcomes) {
    enum class Outcome { returns, runtime_error, abort };
    struct Case {
        std::string what;
        Command command;
        Outcome outcome;
        std::string text;         // the runtime_error's text
        std::uint32_t code;       // the abort code
        std::string error_stream;  // what the rendering thread wrote
        std::string user_text = "";   // what the caller's error gives a user, when it differs
        std::string debug_stream = "";  // what went to the debugger output
    };
    struct Unlisted {};
    const std::vector<Case> cases = {
        {"runs and returns", [](FakeEngine& e) { e.value = 1; }, Outcome::returns, "", 0, ""},
        {"standard exception", [](FakeEngine&) { throw std::runtime_error("glBegin failed"); },
         Outcome::runtime_error, "glBegin failed", 0, "glBegin failed\n"},
        {"derived exception keeps only its text",
         [](FakeEngine&) { throw std::out_of_range("index 7"); }, Outcome::runtime_error, "index 7", 0,
         "index 7\n"},
        {"abort code 5", [](FakeEngine&) { throw tavrel::SimpleAbortException(5); }, Outcome::abort, "", 5,
         ""},
        {"abort code 0 is success", [](FakeEngine&) { throw tavrel::SimpleAbortException(0); },
         Outcome::returns, "", 0, ""},
        {"empty function object", Command(), Outcome::runtime_error, "call to empty boost::function", 0,
         "call to empty boost::function\n"},
        {"exception with an empty text", [](FakeEngine&) { throw std::runtime_error(""); },
         Outcome::runtime_error, "Unknown Error", 0, "Unknown Error\n"},
        {"exception of no standard type", [](FakeEngine&) { throw Unlisted(); }, Outcome::runtime_error,
         "Unknown Error", 0, "Unknown Error\n"},
        {"text with format characters", [](FakeEngine&) { throw std::runtime_error("50% %s %n"); },
         Outcome::runtime_error, "50% %s %n", 0, "50% %s %n\n"},
        // The place survives the crossing beside the text, and only the
        // debugger output shows it.
        {"engine error with its place",
         [](FakeEngine&) { throw tavrel::gl_call_error("engine/gpu/texture_object.cpp", 17, "invalid enumerant"); },
         Outcome::runtime_error, "engine/gpu/texture_object.cpp: 17 invalid enumerant", 0,
         "OpenGL failed: invalid enumerant\n", "OpenGL failed: invalid enumerant",
         "engine/gpu/texture_object.cpp: 17 invalid enumerant\n"},
        {"engine error without a place", [](FakeEngine&) { throw tavrel::GlEngineError("GLSL link error."); },
         Outcome::runtime_error, "GLSL link error.", 0, "GLSL link error.\n"},
    };
    start();
    std::string debug;
    const tavrel::DebugOutputSink previous =
        tavrel::set_debug_output_sink([&debug](const std::string& text) { debug += text; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        debug.clear();
        testing::internal::CaptureStderr();
        Outcome seen = Outcome::returns;
        std::string text, user_text;
        std::uint32_t code = 0;
        try {
            hand_off->execute(c.command);
        } catch (const std::runtime_error& e) {
            seen = Outcome::runtime_error;
            text = e.what();
            const auto* placed = dynamic_cast<const tavrel::PlacedError*>(&e);
            user_text = placed != nullptr ? placed->user_text() : "(none)";
        } catch (const tavrel::SimpleAbortException& e) {
            seen = Outcome::abort;
            code = e.code();
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.error_stream);
        EXPECT_EQ(debug, c.debug_stream);
        if (seen == Outcome::runtime_error) {
            EXPECT_EQ(user_text, c.user_text.empty() ? c.text : c.user_text);
        }
        EXPECT_EQ(seen, c.outcome);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(code, c.code);
        // The next command starts clean: no stale text or code.
        int ran = 0;
        EXPECT_NO_THROW(hand_off->execute([&ran](FakeEngine&) { ran = 1; }));
        EXPECT_EQ(ran, 1);
    }
    tavrel::set_debug_output_sink(previous);
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_EQ(record->make_current_calls, 1);
    EXPECT_EQ(record->restore_calls, 0);
}

TEST_F(HandOffTest, StartUpFailures) {
    struct Case {
        std::string what;
        HandOff::Factory factory;
        std::string error_stream;
    };
    auto unusable = std::make_shared<EngineRecord>();
    unusable->fail_make_current = true;
    const std::vector<Case> cases = {
        {"engine throws a standard exception",
         []() -> std::shared_ptr<FakeEngine> { throw std::runtime_error("OS specific calls failed!"); },
         "OS specific calls failed!\n"},
        {"engine throws something else", []() -> std::shared_ptr<FakeEngine> { throw 42; },
         "Unknown Error\n"},
        {"engine start fails on a GL call",
         []() -> std::shared_ptr<FakeEngine> { throw tavrel::gl_call_error("engine/gpu/gl_engine.cpp", 9, "invalid value"); },
         "OpenGL failed: invalid value\n"},
        {"engine throws an empty text",
         []() -> std::shared_ptr<FakeEngine> { throw std::runtime_error(""); }, "Unknown Error\n"},
        {"factory gives nothing", []() { return std::shared_ptr<FakeEngine>(); }, ""},
        {"engine cannot make its context current",
         [unusable]() { return std::make_shared<FakeEngine>(unusable); }, "glXMakeCurrent failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        try {
            HandOff h(c.factory);
            ADD_FAILURE() << "started";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Tavrel OpenGL Engine Initialization Failed.");
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.error_stream);
    }
    {
        // The engine that was built is torn down on the rendering thread.
        std::lock_guard<std::mutex> lock(unusable->mutex);
        EXPECT_TRUE(unusable->destroyed);
        EXPECT_EQ(unusable->destroyed_on, unusable->created_on);
        EXPECT_NE(unusable->destroyed_on, std::this_thread::get_id());
    }
    // Nothing is left behind: a working hand-off can start afterwards.
    start();
    EXPECT_NE(rendering_thread_id(), std::this_thread::get_id());
}

TEST_F(HandOffTest, OnlyOneAtATime) {
    start();
    EXPECT_THROW(HandOff([] { return std::make_shared<FakeEngine>(std::make_shared<EngineRecord>()); }),
                 std::logic_error);
    int ran = 0;
    hand_off->execute([&ran](FakeEngine&) { ran = 1; });
    EXPECT_EQ(ran, 1);
}

TEST_F(HandOffTest, EngineLivesAndDiesOnTheRenderingThread) {
    start();
    const std::thread::id rendering = rendering_thread_id();
    EXPECT_NE(rendering, std::this_thread::get_id());
    hand_off.reset();  // idle: leaves the loop, restores, destroys, joins
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_TRUE(record->destroyed);
    EXPECT_EQ(record->created_on, rendering);
    EXPECT_EQ(record->destroyed_on, rendering);
    EXPECT_EQ(record->make_current_calls, 1);
    EXPECT_EQ(record->restore_calls, 1);
}

TEST_F(HandOffTest, SlotKeepsNoCopyOfACommand) {
    start();
    std::atomic<std::thread::id> died_on{};
    Command command;
    {
        Tracked only_in_command(&died_on);
        command = [only_in_command](FakeEngine&) { EXPECT_GE(Tracked::live.load(), 2); };
    }
    EXPECT_EQ(Tracked::live.load(), 1);
    hand_off->execute(command);
    // The caller's copy is the only one left; the slot's died on the rendering thread.
    EXPECT_EQ(Tracked::live.load(), 1);
    EXPECT_EQ(died_on.load(), rendering_thread_id());
    command.clear();
    EXPECT_EQ(Tracked::live.load(), 0);
}

TEST_F(HandOffTest, CommandEmptyingAHolderReleasesOnTheRenderingThread) {
    start();
    std::atomic<std::thread::id> died_on{};
    std::shared_ptr<Tracked> holder = std::make_shared<Tracked>(&died_on);
    std::shared_ptr<Tracked>* holder_address = &holder;
    hand_off->execute([holder_address](FakeEngine&) { holder_address->reset(); });
    EXPECT_FALSE(holder);
    EXPECT_EQ(Tracked::live.load(), 0);
    EXPECT_EQ(died_on.load(), rendering_thread_id());
}

TEST_F(HandOffTest, ConcurrentCallersEachGetTheirOwnOutcome) {
    struct Case {
        int threads;
        int calls_per_thread;
    };
    for (const Case c : {Case{2, 10000}, Case{8, 2500}}) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads");
        start();
        std::atomic<int> running{0};
        std::atomic<int> overlaps{0};
        std::atomic<int> mismatches{0};
        std::vector<std::thread> callers;
        for (int t = 0; t < c.threads; ++t) {
            callers.emplace_back([&, t] {
                for (int i = 0; i < c.calls_per_thread; ++i) {
                    const int expected = t * 1000000 + i;
                    int result = -1;
                    const bool fail = i % 3 == 1;
                    const bool abort = i % 3 == 2;
                    try {
                        hand_off->execute([&, expected, fail, abort](FakeEngine& engine) {
                            if (running.fetch_add(1) != 0) ++overlaps;
                            engine.value = expected;
                            result = engine.value;
                            running.fetch_sub(1);
                            if (fail) throw std::runtime_error("call " + std::to_string(expected));
                            if (abort) throw tavrel::SimpleAbortException(static_cast<std::uint32_t>(expected));
                        });
                        if (fail || abort) ++mismatches;
                    } catch (const std::runtime_error& e) {
                        if (!fail || e.what() != "call " + std::to_string(expected)) ++mismatches;
                    } catch (const tavrel::SimpleAbortException& e) {
                        if (!abort || e.code() != static_cast<std::uint32_t>(expected)) ++mismatches;
                    }
                    if (result != expected) ++mismatches;
                }
            });
        }
        testing::internal::CaptureStderr();  // each failing call prints its text
        for (std::thread& caller : callers) caller.join();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(overlaps.load(), 0);
        EXPECT_EQ(mismatches.load(), 0);
        hand_off.reset();
    }
}

// A hundred thousand commands after a thousand to warm up.
void hundred_thousand_commands(HandOff& hand_off, const std::function<void()>& warmed_up) {
    std::atomic<std::thread::id> died_on{};
    for (int i = 0; i < 1000; ++i) {
        Tracked tracked(&died_on);
        hand_off.execute([tracked](FakeEngine& e) { ++e.value; });
    }
    warmed_up();
    for (int i = 0; i < 100000; ++i) {
        Tracked tracked(&died_on);
        hand_off.execute([tracked](FakeEngine& e) { ++e.value; });
    }
    int value = 0;
    hand_off.execute([&value](FakeEngine& e) { value = e.value; });
    EXPECT_EQ(value, 101000);
}

TEST_F(HandOffTest, HundredThousandCommandsLeaveThreadsAndCopiesAsTheyWere) {
    start();
    std::size_t threads_before = 0;
    hundred_thousand_commands(*hand_off, [&] { threads_before = thread_count(); });
    EXPECT_EQ(Tracked::live.load(), 0);
    EXPECT_EQ(thread_count(), threads_before);
}

// The sanitizers' allocators hold freed memory back and pad every block, so
// the resident size says nothing there: this test is labelled to run in the
// normal build only (tests/engine/CMakeLists.txt).
TEST_F(HandOffTest, ResidentSizeAfterAHundredThousandCommands) {
    start();
    long rss_before = 0;
    hundred_thousand_commands(*hand_off, [&] { rss_before = resident_kib(); });
    // Loose: allocator noise, not a per-command leak (which would be megabytes).
    EXPECT_LT(resident_kib() - rss_before, 2048);
}

}  // namespace
