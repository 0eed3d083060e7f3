// The shading renderer: the scene through the Phong program chosen by the
// description, then the deformation region's outline.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/render/renderer.h"
#include "engine/shaders/phong_shader.h"

namespace tavrel {

class FlatHeightSlopes;
class HeightSlopeMap;
class VertexColorFlatShadingProgram;

// The Phong program's chunks for a description's two chunk choices and render
// mode. multiply_height_map_alpha: the alpha update that multiplies by the
// height map's alpha, else the unchanged one. projective_texture: texture
// coordinates projected through texture matrix 0 and fetched projectively,
// normals as they are and the front texture on both sides; else plain
// coordinates and fetches, normals reversed on back faces, and the diffuse
// colour by render mode (kRenderModeUntexturedWhite white,
// kRenderModeBackFaceTexture the back-face texture on back faces, any other
// the front texture). The fragment normal always follows the height map.
PhongChunks phong_renderer_chunks(bool multiply_height_map_alpha, bool projective_texture,
                                  std::uint32_t render_mode);

class PhongRenderer : public IRenderer {
public:
    // Compiles the Phong program of the chunks above; the flat-shading
    // program of the pixel format kind follows with the first render that
    // shows the deformation region. kRenderModeCullBackFaces culls back
    // faces; any other mode draws both sides, lit on both. The shading
    // switches leave out of the Phong program what they turn off (by default
    // nothing); without the height taps each render first works out the flat
    // map's slopes.
    PhongRenderer(std::uint32_t format_kind, bool multiply_height_map_alpha, bool projective_texture,
                  std::uint32_t render_mode, const ShadingSwitches& switches = ShadingSwitches());

    // Clears and draws into the destination; an aborted render leaves it as
    // it was.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    bool cull() const { return cull_; }

private:
    std::shared_ptr<PhongShader> program_;
    std::shared_ptr<VertexColorFlatShadingProgram> flat_shading_;
    std::shared_ptr<FlatHeightSlopes> flat_slopes_;
    // Made for programs that read the height slope map; null otherwise.
    std::shared_ptr<HeightSlopeMap> slope_map_;
    std::uint32_t format_kind_;
    bool cull_;
};

}  // namespace tavrel
