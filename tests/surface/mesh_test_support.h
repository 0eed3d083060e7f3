// Shared set-up of the GL mesh tests: curved grids, host images as
// textures, and one instance's pipeline built on the rendering thread.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/gpu/gl_engine.h"
#include "engine/interfaces/never_abort.h"
#include "engine/scene/parent_node.h"
#include "engine/gpu/texture_object.h"
#include "surface/grid/control_point_grid.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel_test {

// A grid whose handles are moved by up to 0.25 in x and y and 0.5 in z.
tavrel::ControlPointGrid random_grid(int columns, int rows, unsigned seed);

// An 8-bit host image of ARGB pixels (alpha first) as a pooled texture.
std::shared_ptr<tavrel::ITextureObject> texture_of_argb8(tavrel::GlEngine& engine, std::vector<std::uint8_t> pixels,
                                                         std::uint64_t width, std::uint64_t height);
// The same for 16-bit ARGB pixels (the host's range 0..32768).
std::shared_ptr<tavrel::ITextureObject> texture_of_argb16(tavrel::GlEngine& engine, std::vector<std::uint16_t> pixels,
                                                          std::uint64_t width, std::uint64_t height);
// The same for 32-bit float ARGB pixels.
std::shared_ptr<tavrel::ITextureObject> texture_of_argb_float(tavrel::GlEngine& engine, std::vector<float> pixels,
                                                              std::uint64_t width, std::uint64_t height);

// The RGBA floats of a texture's level 0, rows bottom-up.
std::vector<float> read_texture(GLuint texture, std::uint64_t width, std::uint64_t height);

// The floats of a buffer object, read back without mapping it.
std::vector<float> read_buffer_floats(GLuint buffer, std::uint64_t floats);

// A triangulation's triangles as three 14-float vertices each, in drawing
// order: indexed triangles looked up through their indices, then the
// unshared rest.
std::vector<float> triangle_records(const tavrel::TriangulationResult& r);

// One instance: its state, input and mesh, on the rendering thread.
struct MeshInstance {
    std::unique_ptr<tavrel::SequenceData> data = std::make_unique<tavrel::SequenceData>();
    std::shared_ptr<tavrel::RenderInput> input = std::make_shared<tavrel::RenderInput>();
    std::shared_ptr<tavrel::LattixTriangleMesh> mesh = std::make_shared<tavrel::LattixTriangleMesh>();
    tavrel::NeverAbort abort;

    MeshInstance(const tavrel::ControlPointGrid& grid, int n);
    bool setup(tavrel::GlEngine& engine);
    // Updates the mesh with the instance's own triangulation, adding its
    // nodes to parent (to a throw-away node when null).
    std::uint32_t update(tavrel::GlEngine& engine, const tavrel::LattixTriangleMesh::Update& u,
                         tavrel::ISGNode* parent = nullptr);
};

// The instance's regular triangulation of a width x height layer, placed
// with its centre at the comp's, under a white material.
std::shared_ptr<tavrel::ISGNode> layer_centred_surface(tavrel::GlEngine& engine, MeshInstance& instance, int width,
                                                       int height);

}  // namespace tavrel_test
