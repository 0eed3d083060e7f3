// Pooled vertex and index buffers for the mesh pipeline, written by the CPU
// once per frame and drawn from.
#pragma once

#include <cstdint>
#include <memory>

namespace tavrel {

class GlEngine;
class PBO;

// count 32-bit indices.
std::shared_ptr<PBO> request_index_buffer(GlEngine& engine, uint64_t count);

// count elements of element_size bytes each.
std::shared_ptr<PBO> request_vertex_buffer(GlEngine& engine, uint64_t count, uint64_t element_size);

}  // namespace tavrel
