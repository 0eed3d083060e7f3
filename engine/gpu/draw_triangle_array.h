// Draws triangles straight from an interleaved vertex buffer, the layout the
// surface's transform-feedback capture writes.
#pragma once

#include <cstdint>

#include "engine/gpu/pbo.h"

namespace tavrel {

// Bytes of one vertex record, all floats: position (3) at 0, texture
// coordinates of unit 0 (2) at 12, normal (3) at 20, texture coordinates of
// unit 1 (3) at 32 and of unit 2 (3) at 44.
inline constexpr std::uint32_t kTriangleVertexBytes = 56;

// Draws triangle_count triangles, three records each, from the buffer bound
// as an array buffer, without indices. Leaves the client arrays disabled,
// the array buffer unbound, texture unit 0 active and client unit 2 active.
// A count that would read past the buffer's end throws std::invalid_argument
// before any state is changed; a GL error throws GlEngineError.
void draw_triangle_array(const PBO& buffer, std::uint32_t triangle_count);

// Draws a mesh whose shared vertices are placed once: indexed_triangles
// triangles through the 32-bit indices (three a triangle, from the start of
// the index buffer), then array_triangles triangles of three records each
// from record first_record on, without indices; one set-up of the arrays for
// both. The primitives go in that order, as the same triangles written out
// record by record would. The same state is left as by draw_triangle_array.
// Counts that would read past either buffer's end throw
// std::invalid_argument before any state is changed; the indices themselves
// are not read back, so they must stay below the vertex buffer's records.
void draw_indexed_triangle_array(const PBO& vertices, const PBO& indices, std::uint32_t indexed_triangles,
                                 std::uint32_t first_record, std::uint32_t array_triangles);

}  // namespace tavrel
