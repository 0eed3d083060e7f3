// The engine's seven pools of GPU resources: which objects each keeps, under
// which key, and how many.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/gpu/accumulation_key.h"
#include "engine/gpu/dual_peeling_key.h"
#include "engine/gpu/pbo_descriptor.h"
#include "engine/core/recycling_pool.h"
#include "engine/gpu/render_buffer_descriptor.h"
#include "engine/gpu/render_target_descriptor.h"
#include "engine/gpu/renderer_description.h"
#include "engine/gpu/texture_description.h"

namespace tavrel {

class TextureAllocationProxy;
class RenderBuffer;
class RenderTarget;
class PBO;
class DualPeelingRenderBuffers;
class RendererAllocationProxy;
class AccumulationBuffer;

using TexturePool = RecyclingPool<TextureAllocationProxy, TextureDescription>;
using RenderBufferPool = RecyclingPool<RenderBuffer, RenderBufferDescriptor>;
using RenderTargetPool = RecyclingPool<RenderTarget, RenderTargetDescriptor>;
using PBOPool = RecyclingPool<PBO, PBODescriptor>;
using DualPeelingPool = RecyclingPool<DualPeelingRenderBuffers, DualPeelingKey>;
// A reused renderer tree keeps its compiled inner renderer and is rebuilt
// around it for the exact view samples asked for.
using RendererPool = RecyclingPool<RendererAllocationProxy, RendererDescription, ReconfigureOnReuse>;
using AccumulationPool = RecyclingPool<AccumulationBuffer, AccumulationKey>;

// Three shapes per kind at most, so that a change of frame size or format
// does not pile up GPU memory.
struct PoolLimits {
    uint32_t max_keys;
    uint32_t max_free_per_key;
};

template <typename Pool>
std::unique_ptr<Pool> make_pool(const PoolLimits& limits) {
    return std::make_unique<Pool>(limits.max_keys, limits.max_free_per_key);
}

constexpr PoolLimits kTexturePoolLimits{3, 6};
constexpr PoolLimits kRenderBufferPoolLimits{3, 2};
constexpr PoolLimits kRenderTargetPoolLimits{3, 3};
constexpr PoolLimits kPBOPoolLimits{3, 3};
constexpr PoolLimits kDualPeelingPoolLimits{3, 2};
constexpr PoolLimits kRendererPoolLimits{3, 2};
constexpr PoolLimits kAccumulationPoolLimits{3, 2};

}  // namespace tavrel
