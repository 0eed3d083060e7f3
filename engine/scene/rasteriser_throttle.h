// How many drawn instances of a scene the rasteriser may hold at once. Mesa's
// software rasteriser keeps every binned triangle of a scene until the scene
// is rasterised: unflushed, a frame's generated instances made one scene
// holding a binned copy of the placed mesh per instance (some 2 MB a view),
// and memory grew with the count (901 MB at 100 instances). There each drawn
// instance ends with a fence, which flushes its scene to the rasteriser's
// threads, and the drawing waits for the fence kInstancesInFlight instances
// back, so that the threads keep working while the CPU draws on. A graphics
// card's driver bounds its own queue: there nothing is waited for.
#pragma once

#include <GL/glew.h>

#include <cstddef>
#include <deque>

namespace tavrel {

class RasteriserThrottle {
public:
    static constexpr std::size_t kInstancesInFlight = 4;

    // On bounds the instances in flight; off does nothing at all.
    explicit RasteriserThrottle(bool on) : on_(on) {}
    // Lets go of the fences still waiting, without waiting for them.
    ~RasteriserThrottle();
    RasteriserThrottle(const RasteriserThrottle&) = delete;
    RasteriserThrottle& operator=(const RasteriserThrottle&) = delete;

    // After each instance is drawn. Throws GlEngineError on a GL error or a
    // failed wait.
    void instance_drawn();
    // Fences not yet waited for: at most kInstancesInFlight.
    std::size_t in_flight() const { return fences_.size(); }

private:
    bool on_;
    std::deque<GLsync> fences_;
};

}  // namespace tavrel
