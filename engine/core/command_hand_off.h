// The one-slot mailbox between host threads and the rendering thread, and the
// rendering thread's body. Written over the engine type so that the hand-off
// can be exercised with an engine that needs no OpenGL; the product
// instantiates it once, with GlEngine, behind RenderThread.
#pragma once

#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <boost/function.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include "engine/core/abort_exception.h"
#include "engine/core/debug_output.h"
#include "engine/core/engine_errors.h"

namespace tavrel {

inline const char* const kEngineInitializationFailed = "Tavrel OpenGL Engine Initialization Failed.";
// Stands in for an exception that has no text to show.
inline const char* const kUnknownError = "Unknown Error";

// A command's standard exception as its caller receives it: the text it was
// thrown with, and the place and user text an engine error kept apart, which
// would otherwise be lost with its type.
class CommandError : public std::runtime_error, public PlacedError {
public:
    CommandError(const std::string& text, std::string place, std::string user_text)
        : std::runtime_error(text), PlacedError(std::move(place), std::move(user_text)) {}
};

// Engine needs make_current() and restore() (noexcept); it is created, used
// and destroyed on the rendering thread only.
template <class Engine>
class CommandHandOff {
public:
    using Command = boost::function<void(Engine&)>;
    using Factory = boost::function<std::shared_ptr<Engine>()>;

    // Starts the rendering thread, which creates the engine, and waits for it
    // to report. Throws std::runtime_error "Tavrel OpenGL Engine
    // Initialization Failed." when the engine could not be created; the
    // engine's own text has gone to standard error then.
    explicit CommandHandOff(Factory factory);
    // Stops the thread; the engine is destroyed on it before the join returns.
    ~CommandHandOff();

    CommandHandOff(const CommandHandOff&) = delete;
    CommandHandOff& operator=(const CommandHandOff&) = delete;

    // Runs the command on the rendering thread and waits for it. A standard
    // exception comes back as CommandError (a std::runtime_error) with its
    // text, place and user text, an abort exception with a non-zero code as
    // SimpleAbortException. Callers on several threads take turns; each gets
    // its own command's outcome.
    void execute(const Command& command);

private:
    // A failed command's outcome: its text, and the place and user text an
    // engine error kept apart (the text itself where it kept none). Empty
    // text: no failure.
    struct Failure {
        std::string text, place, user_text;
    };

    // Library-wide, as there is one rendering thread per library.
    struct Mailbox {
        bool alive = false;  // a hand-off exists; guarded by start_mutex
        bool started = false;
        bool quit = false;
        bool posted = false;
        bool done = false;
        std::uint32_t abort_code = 0;
        boost::mutex start_mutex;
        boost::condition_variable start_condition;
        boost::mutex command_mutex;
        boost::condition_variable command_condition;
        boost::mutex done_mutex;
        boost::condition_variable done_condition;
        // Held from post until the outcome has been read, so that concurrent
        // callers neither overwrite each other's command nor read each
        // other's outcome.
        boost::mutex execute_mutex;
        Command command;
        Failure failure;
    };

    // The rendering thread's body.
    struct RenderCommandRunner {
        Factory factory;
        void operator()();
    };

    static Mailbox& mailbox() {
        static Mailbox box;
        return box;
    }

    static std::string text_of(const std::exception& e) {
        const char* text = e.what();
        return (text == nullptr || *text == '\0') ? std::string(kUnknownError) : std::string(text);
    }

    static Failure failure_of(const std::exception& e) {
        Failure f{text_of(e), "", ""};
        const auto* placed = dynamic_cast<const PlacedError*>(&e);
        if (placed != nullptr && !placed->user_text().empty()) {
            f.place = placed->place();
            f.user_text = placed->user_text();
        } else {
            f.user_text = f.text;
        }
        return f;
    }
    // The standard error stream gets the text a user reads; the place that
    // raised it goes to the debugger output only, with the whole text.
    static void report(const Failure& f) {
        std::cerr << f.user_text << std::endl;
        if (!f.place.empty()) debug_print_line(f.text);
    }

    static void release_slot();
    bool wait_until_started();
    static void post(const Command& command);
    static bool wait_for_command();
    static void run_command(Engine& engine);

    boost::thread thread_;
};

template <class Engine>
CommandHandOff<Engine>::CommandHandOff(Factory factory) {
    Mailbox& box = mailbox();
    {
        boost::lock_guard<boost::mutex> lock(box.start_mutex);
        if (box.alive) throw std::logic_error("a rendering thread is already running in this library");
        box.alive = true;
        box.started = false;
        box.quit = false;
    }
    {
        boost::lock_guard<boost::mutex> lock(box.command_mutex);
        box.posted = false;
    }
    {
        boost::lock_guard<boost::mutex> lock(box.done_mutex);
        box.done = false;
    }
    bool running = false;
    try {
        thread_ = boost::thread(RenderCommandRunner{std::move(factory)});
        running = wait_until_started();
    } catch (...) {
        release_slot();
        throw;
    }
    if (!running) {
        // The body ends right after reporting; joining rather than detaching
        // keeps it from overlapping a later start.
        thread_.join();
        release_slot();
        throw std::runtime_error(kEngineInitializationFailed);
    }
}

template <class Engine>
CommandHandOff<Engine>::~CommandHandOff() {
    Mailbox& box = mailbox();
    {
        // Lets a command in flight finish and its caller read the outcome.
        boost::lock_guard<boost::mutex> turn(box.execute_mutex);
        boost::lock_guard<boost::mutex> lock(box.command_mutex);
        box.quit = true;
    }
    box.command_condition.notify_all();
    thread_.join();
    release_slot();
}

template <class Engine>
void CommandHandOff<Engine>::release_slot() {
    Mailbox& box = mailbox();
    boost::lock_guard<boost::mutex> lock(box.start_mutex);
    box.alive = false;
}

template <class Engine>
bool CommandHandOff<Engine>::wait_until_started() {
    Mailbox& box = mailbox();
    boost::unique_lock<boost::mutex> lock(box.start_mutex);
    while (!box.started) box.start_condition.wait(lock);
    return !box.quit;
}

template <class Engine>
void CommandHandOff<Engine>::execute(const Command& command) {
    Mailbox& box = mailbox();
    Failure failure;
    std::uint32_t abort_code = 0;
    {
        boost::lock_guard<boost::mutex> turn(box.execute_mutex);
        post(command);
        failure = box.failure;
        abort_code = box.abort_code;
    }
    if (!failure.text.empty())
        throw CommandError(failure.text, std::move(failure.place), std::move(failure.user_text));
    if (abort_code != 0) throw SimpleAbortException(abort_code);
}

template <class Engine>
void CommandHandOff<Engine>::post(const Command& command) {
    Mailbox& box = mailbox();
    // Copied before taking the lock, so that a failing copy leaves nothing posted.
    Command copy(command);
    {
        boost::lock_guard<boost::mutex> lock(box.command_mutex);
        box.posted = true;
        box.command.swap(copy);
    }
    box.command_condition.notify_all();
    {
        boost::unique_lock<boost::mutex> lock(box.done_mutex);
        while (!box.done) box.done_condition.wait(lock);
        box.done = false;
    }
}

template <class Engine>
bool CommandHandOff<Engine>::wait_for_command() {
    Mailbox& box = mailbox();
    boost::unique_lock<boost::mutex> lock(box.command_mutex);
    while (!box.posted && !box.quit) box.command_condition.wait(lock);
    box.posted = false;
    box.failure = Failure{};
    box.abort_code = 0;
    return box.quit;
}

template <class Engine>
void CommandHandOff<Engine>::run_command(Engine& engine) {
    Mailbox& box = mailbox();
    try {
        // An empty slot throws boost::bad_function_call, "call to empty
        // boost::function", which is reported like any standard exception.
        box.command(engine);
    } catch (const std::exception& e) {
        box.failure = failure_of(e);
        report(box.failure);
    } catch (const IAbortException& e) {
        box.abort_code = e.code();
    } catch (...) {
        box.failure = Failure{kUnknownError, "", kUnknownError};
        std::cerr << kUnknownError << std::endl;
    }
    {
        // The command and what it captured die here, on the rendering thread,
        // before its caller wakes: GL owners must never be released elsewhere.
        Command finished;
        {
            boost::lock_guard<boost::mutex> lock(box.command_mutex);
            finished.swap(box.command);
        }
    }
    {
        boost::lock_guard<boost::mutex> lock(box.done_mutex);
        box.done = true;
    }
    box.done_condition.notify_all();
}

template <class Engine>
void CommandHandOff<Engine>::RenderCommandRunner::operator()() {
    Mailbox& box = mailbox();
    std::shared_ptr<Engine> engine;
    try {
        engine = factory();
        // The context stays current for the whole command loop. Made current
        // before reporting, so that a failure here is a start-up failure.
        if (engine) engine->make_current();
    } catch (const std::exception& e) {
        report(failure_of(e));
        engine.reset();
    } catch (...) {
        std::cerr << kUnknownError << std::endl;
        engine.reset();
    }
    {
        boost::lock_guard<boost::mutex> lock(box.start_mutex);
        box.started = true;
        if (!engine) box.quit = true;
    }
    box.start_condition.notify_all();
    if (!engine) return;

    while (!wait_for_command()) run_command(*engine);

    engine->restore();
    engine.reset();
}

}  // namespace tavrel
