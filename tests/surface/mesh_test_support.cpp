#include "tests/surface/mesh_test_support.h"

#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "engine/gpu/pbo.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/standard_nodes.h"
#include "surface/grid/host_buffer_accessor.h"
#include "surface/mesh/mesh_pipeline.h"

namespace tavrel_test {

using namespace tavrel;

ControlPointGrid random_grid(int columns, int rows, unsigned seed) {
    ControlPointGrid g(columns, rows);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-0.25f, 0.25f);
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            ControlHandle& h = g.point_ref(i).writable_handle(k);
            h.x += d(rng);
            h.y += d(rng);
            h.z += 2.0f * d(rng);
        }
    return g;
}

namespace {

template <typename T>
std::shared_ptr<ITextureObject> upload(GlEngine& engine, std::vector<T>& pixels, std::uint64_t width,
                                       std::uint64_t height) {
    HostBuffer2dArrayAccessor<T> view(pixels.data(), width, height, width * 4 * sizeof(T), 2);
    // The upload copies the pixels: the view need not outlive it.
    std::shared_ptr<const I2dArrayAccessor> shared(&view, [](const I2dArrayAccessor*) {});
    auto texture = engine.texture_from_accessor(shared, GL_TEXTURE0, 0, 1, false);
    texture->unbind();
    return texture;
}

}  // namespace

std::shared_ptr<ITextureObject> texture_of_argb8(GlEngine& engine, std::vector<std::uint8_t> pixels,
                                                 std::uint64_t width, std::uint64_t height) {
    return upload(engine, pixels, width, height);
}

std::shared_ptr<ITextureObject> texture_of_argb16(GlEngine& engine, std::vector<std::uint16_t> pixels,
                                                  std::uint64_t width, std::uint64_t height) {
    return upload(engine, pixels, width, height);
}

std::shared_ptr<ITextureObject> texture_of_argb_float(GlEngine& engine, std::vector<float> pixels,
                                                      std::uint64_t width, std::uint64_t height) {
    return upload(engine, pixels, width, height);
}

std::vector<float> read_texture(GLuint texture, std::uint64_t width, std::uint64_t height) {
    std::vector<float> texels(4u * width * height);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}

std::vector<float> read_buffer_floats(GLuint buffer, std::uint64_t floats) {
    std::vector<float> values(floats);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    if (floats > 0) glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(floats * sizeof(float)), values.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

std::vector<float> triangle_records(const tavrel::TriangulationResult& r) {
    constexpr std::uint64_t kFloats = 14;
    if (!r.indices) return read_buffer_floats(r.vertices->gl_name(), std::uint64_t(r.triangles) * 3 * kFloats);
    const std::uint64_t unshared = r.triangles - r.indexed;
    const std::vector<float> vertices =
        read_buffer_floats(r.vertices->gl_name(), (r.first_unshared + 3 * unshared) * kFloats);
    const std::vector<float> index_bits = read_buffer_floats(r.indices->gl_name(), 3ull * r.indexed);
    std::vector<float> out;
    out.reserve(std::size_t(r.triangles) * 3 * kFloats);
    for (const float bits : index_bits) {
        std::uint32_t index = 0;
        std::memcpy(&index, &bits, 4);
        if (std::uint64_t(index) * kFloats + kFloats > vertices.size()) {
            throw std::runtime_error("index " + std::to_string(index) + " beyond the " +
                                     std::to_string(vertices.size() / kFloats) + " vertices");
        }
        out.insert(out.end(), vertices.begin() + std::ptrdiff_t(index * kFloats),
                   vertices.begin() + std::ptrdiff_t((index + 1) * kFloats));
    }
    out.insert(out.end(), vertices.begin() + std::ptrdiff_t(r.first_unshared * kFloats), vertices.end());
    return out;
}

MeshInstance::MeshInstance(const ControlPointGrid& grid, int n) {
    data->grid = grid;
    data->render_settings.subdivisions = n;
    input->sequence_data = data.get();
    input->grid = &data->grid;
}

bool MeshInstance::setup(GlEngine& engine) { return build_mesh_pipeline(engine, *input, *mesh, abort); }

std::uint32_t MeshInstance::update(GlEngine& engine, const LattixTriangleMesh::Update& u, ISGNode* parent) {
    PureParent scratch;
    return mesh->update(engine, parent != nullptr ? *parent : scratch, abort, *data->surface_evaluator,
                        *data->triangulator, u);
}

std::shared_ptr<tavrel::ISGNode> layer_centred_surface(tavrel::GlEngine& engine, MeshInstance& instance, int width,
                                                       int height) {
    tavrel::LattixTriangleMesh::Update update;
    update.frame_size = tavrel::TSize2D{width, height};
    update.adaptive = false;
    tavrel::Matrix4d layer;
    layer.translate(width / 2.0, height / 2.0, 0.0);
    auto placed = std::make_shared<tavrel::ModelingTransformationNode>(layer);
    instance.update(engine, update, placed.get());
    auto root = tavrel::create_node("white");
    root->add_child(placed);
    return root;
}

}  // namespace tavrel_test
