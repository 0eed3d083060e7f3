// What one render draws: render passes, each a root node with the textures
// its shading samples, and the lights whose first one projects a texture.
// Rendering thread only, with the engine's context current.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/shaders/glsl_program.h"
#include "engine/interfaces/light_collection.h"
#include "engine/scene/scene_node.h"
#include "engine/scene/texture_set.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel {

class RenderPass {
public:
    // Throws std::invalid_argument for an empty root: a pass without a node
    // would fail only in the middle of a render.
    RenderPass(std::shared_ptr<ISGNode> root, TextureSet textures);

    const std::shared_ptr<ISGNode>& root() const { return root_; }
    const TextureSet& textures() const { return textures_; }

private:
    // Declared first so that it goes last: a pass releases its root before
    // its textures.
    TextureSet textures_;
    std::shared_ptr<ISGNode> root_;
};

class SceneGraph {
public:
    void add_render_pass(const RenderPass& pass) { passes_.push_back(pass); }
    // Replaces the previous collection; an empty pointer removes it.
    void set_lights(std::shared_ptr<ILightCollection> lights) { lights_ = std::move(lights); }

    // Loads the camera's projection, an identity model-view matrix and the
    // first light's texture projection, sets the camera uniforms of the
    // program when one is given, then renders every root in insertion order.
    // The state is left in place for the caller: the projection, the texture
    // matrix and the model-view stack as the nodes left it.
    void render(IProgram* program, const IVirtualCameraParameters& camera);
    // The same, binding each pass's textures to the program before its root.
    void render_with_textures(TexturingProgram& program, const IVirtualCameraParameters& camera);

    std::uint32_t primitive_count() const;
    void extend_bounds(BoundsPoints& points) const;

    const std::vector<RenderPass>& passes() const { return passes_; }
    const std::shared_ptr<ILightCollection>& lights() const { return lights_; }

private:
    void set_up(IProgram* program, const IVirtualCameraParameters& camera);

    std::vector<RenderPass> passes_;
    std::shared_ptr<ILightCollection> lights_;
};

// Loads the texture matrix of unit 0 with the projection of the first
// light's cone into texture space [0, 1]; nothing when there are no lights.
// Leaves the model-view stack selected.
void setup_light_texture_projection(const ILightCollection& lights, double aspect);

}  // namespace tavrel
