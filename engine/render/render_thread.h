// Owner of the library's rendering thread. All OpenGL work is handed to it as
// render commands; execute blocks until the command has run.
#pragma once

#include <memory>

#include <boost/function.hpp>

namespace tavrel {

class GlEngine;

class RenderThread {
public:
    using Command = boost::function<void(GlEngine&)>;
    using EngineFactory = boost::function<std::shared_ptr<GlEngine>()>;

    // Starts the thread and waits until the engine is up. Throws
    // std::runtime_error "Tavrel OpenGL Engine Initialization Failed." when
    // it is not; the engine's own text has gone to standard error then.
    RenderThread();
    // The same, with the engine made by the factory on the rendering thread
    // (for callers that wrap the engine's creation).
    explicit RenderThread(EngineFactory factory);
    // Stops and joins the thread; the engine is destroyed on it.
    virtual ~RenderThread();

    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    // Runs the command on the rendering thread and returns when it has run.
    // Throws std::runtime_error with the text of a standard exception it
    // ended with, SimpleAbortException with a non-zero abort code.
    void execute(const Command& command);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace tavrel
