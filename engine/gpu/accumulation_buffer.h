// The float target into which the multi-view integration adds its views,
// each with a weight.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/gpu/accumulation_key.h"

namespace tavrel {

class CopyProgram;
class RenderTarget;

class AccumulationBuffer {
public:
    // A cleared GL_RGBA32F target of the size and the plain copy program.
    explicit AccumulationBuffer(const AccumulationKey& key);
    ~AccumulationBuffer();
    AccumulationBuffer(const AccumulationBuffer&) = delete;
    AccumulationBuffer& operator=(const AccumulationBuffer&) = delete;

    std::uint64_t width;
    std::uint64_t height;
    // The accumulated image.
    std::shared_ptr<RenderTarget> target;
    std::shared_ptr<CopyProgram> program;
};

// Whether the driver would allocate the target of an accumulation buffer of
// this size.
bool driver_holds(const AccumulationKey& key);

// Binds the target and clears it to transparent black.
void accumulation_clear(AccumulationBuffer& buffer);

// Adds weight times the source's first colour texture (alpha included) to
// the target, then binds the source again. GL state other than the bound
// framebuffer is as it was before.
void accumulate_view(AccumulationBuffer& buffer, RenderTarget& source, double weight);

}  // namespace tavrel
