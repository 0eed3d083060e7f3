// The renderer chain: every stage of a render (shading, hardware
// anti-aliasing, view integration) is an IRenderer, and a chain is a small
// tree of them that the engine hands out from its renderer pool.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <vector>

namespace tavrel {

class SceneGraph;
class IAbort;
class IVirtualCameraParameters;
class ILightCollection;
class IShadowUniforms;
struct SurfaceOptions;
class IDeformationCollection;
class IShaderCollection;
struct HeightMapSize;
struct DisplacementSettings;
class IRenderTarget;

class IRenderer {
public:
    virtual ~IRenderer() = default;

    // Renders the scene into the destination. A stage hands every argument
    // on to its children unchanged, except the camera (one per view in the
    // integration stages) and the destination (the wrapping stages' own
    // buffers). Rendering thread only; GL failures throw GlEngineError.
    //
    // shadow_casters: the shadow uniforms of the frame's rendered shadow
    // casters; null when the frame renders no shadow maps. height_map: the 2-D texture that displaces the surface
    // and feeds its map channels (0 for none); height_map_size its size.
    virtual void render(SceneGraph& scene, const IAbort& abort,
                        const std::shared_ptr<IVirtualCameraParameters>& camera,
                        const ILightCollection& lights, const IShadowUniforms* shadow_casters,
                        GLuint height_map, const SurfaceOptions& surface,
                        const IDeformationCollection& deformation,
                        const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                        const DisplacementSettings& displacement, IRenderTarget& destination) = 0;
};

// Renders its children one after the other, in the order they were added,
// into the same destination.
class CompositeRenderer : public IRenderer {
public:
    void add_child(std::shared_ptr<IRenderer> renderer);
    const std::vector<std::shared_ptr<IRenderer>>& children() const { return children_; }

    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

private:
    std::vector<std::shared_ptr<IRenderer>> children_;
};

}  // namespace tavrel
