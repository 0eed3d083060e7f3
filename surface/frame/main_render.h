// The one command per frame that renders on the rendering thread: the
// frame's layers become textures, the instance's mesh is updated under the
// layer's transform, the scene goes through the engine's renderer chain and
// the image is read back into a mapped pixel buffer for the host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/array_accessor.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel {

class GeneratorInstancingNode;
class GlEngine;
class IAbort;
class RenderTarget;
class RenderThread;
class SceneGraph;
class TextureSet;
struct TimeVariableParameters;

// A scene graph and the camera that views it.
struct MeshScene {
    std::shared_ptr<SceneGraph> scene;
    std::shared_ptr<IVirtualCameraParameters> camera;
    // The reflectivity the shading receives with the textures.
    float reflectivity = 0.0f;
};

struct MainRender {
    IAbort* abort = nullptr;
    uint64_t width = 0;
    uint64_t height = 0;
    // The host thread keeps the frame's values alive while it waits.
    const TimeVariableParameters* parameters = nullptr;
    uint8_t back_face = 0;
    uint32_t* triangle_count = nullptr;
    int32_t* iteration_count = nullptr;
    std::shared_ptr<I2dArrayAccessor>* readback = nullptr;

    // Renders the frame on the thread and returns when it has run; the
    // mapped image is left in `readback`, whose last reference must be let
    // go on the rendering thread. Failures come back as RenderThread::execute
    // reports them.
    static void post(std::shared_ptr<I2dArrayAccessor>& readback, RenderThread& thread, IAbort& abort,
                     uint64_t width, uint64_t height, const TimeVariableParameters& parameters,
                     uint8_t back_face, uint32_t& triangle_count, int32_t& iteration_count);

    void operator()(GlEngine& engine) const;

    // The frame rendered into a target of the output size.
    static std::shared_ptr<RenderTarget> build_scene(GlEngine& engine, IAbort& abort, uint64_t width,
                                                     uint64_t height, const TimeVariableParameters& parameters,
                                                     uint8_t back_face, uint32_t& triangle_count,
                                                     int32_t& iteration_count);

    // The render proper: shadow maps, then the renderer chain into a new
    // target of the output size.
    static std::shared_ptr<RenderTarget> render_view(GlEngine& engine, IAbort& abort,
                                                     const TimeVariableParameters& parameters,
                                                     const MeshScene& scene, uint32_t back_face_mode,
                                                     uint8_t back_face, uint64_t width, uint64_t height);
};

// The frame's scene: its lights and one pass of the textures over the mesh
// node.
MeshScene build_mesh_scene(const TimeVariableParameters& parameters, const TextureSet& textures, GlEngine& engine,
                           IAbort& abort, uint8_t back_face, int32_t& iteration_count);

// The instancing root over the instance's mesh, updated for this frame.
std::shared_ptr<GeneratorInstancingNode> make_mesh_node(const TimeVariableParameters& parameters,
                                                        GlEngine& engine, IAbort& abort, uint8_t back_face,
                                                        int32_t& iteration_count);

}  // namespace tavrel
