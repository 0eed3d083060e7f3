#include "engine/render/render_thread.h"

#include "engine/core/command_hand_off.h"
#include "engine/gpu/gl_engine.h"

namespace tavrel {

struct RenderThread::Impl {
    explicit Impl(EngineFactory factory) : hand_off(std::move(factory)) {}
    CommandHandOff<GlEngine> hand_off;
};

RenderThread::RenderThread() : RenderThread([] { return std::make_shared<GlEngine>(); }) {}

RenderThread::RenderThread(EngineFactory factory) : impl(new Impl(std::move(factory))) {}

RenderThread::~RenderThread() = default;

void RenderThread::execute(const Command& command) { impl->hand_off.execute(command); }

}  // namespace tavrel
