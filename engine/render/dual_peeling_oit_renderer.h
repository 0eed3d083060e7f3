// Order-independent transparency by dual depth peeling: every peel pass takes
// the nearest and the farthest remaining layer of each pixel, blending the
// nearest front to back into a front colour and the farthest back to front
// into a back accumulation; a final pass composes the two into the
// destination.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

#include "engine/render/renderer.h"
#include "engine/shaders/shading_switches.h"

namespace tavrel {

class GlEngine;
class DualPeelingRenderBuffers;
class FlatHeightSlopes;
class HeightSlopeMap;
class TexturingProgram;
class IProgram;

// Layer count that peels until an occlusion query finds nothing left.
constexpr std::uint32_t peel_until_empty = 0xFFFFFFFFu;
// A render is the init pass and at most this many passes less one of peeling.
constexpr int max_peeling_passes = 50;

class DualPeelingOITRenderer {
public:
    // Compiles the six programs for the kind and the shading choices (as the
    // Phong renderer makes them), makes the occlusion query and the
    // full-screen quad's display list. Throws GlEngineError (compile, link or
    // GL failure); nothing is left behind then. The shading switches leave
    // out of the surface's programs what they turn off (by default nothing).
    DualPeelingOITRenderer(std::uint32_t format_kind, bool multiply_height_map_alpha, bool projective_texture,
                           std::uint32_t render_mode, const ShadingSwitches& switches = ShadingSwitches());
    // Deletes the query and the display list; rendering thread only.
    ~DualPeelingOITRenderer();
    DualPeelingOITRenderer(const DualPeelingOITRenderer&) = delete;
    DualPeelingOITRenderer& operator=(const DualPeelingOITRenderer&) = delete;

    // layers: max(2, layers) - 1 peel passes, fewer where a pass leaves no
    // fragment for a later one (the passes it spares would change nothing),
    // or with peel_until_empty as many as leave something to blend (at most
    // max_peeling_passes - 1). Each peel pass starts with progress_begin();
    // is_aborted() is never asked.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, DualPeelingRenderBuffers& buffers,
                IRenderTarget& destination, std::uint32_t layers);

    GLuint occlusion_query() const { return occlusion_query_; }
    GLuint full_screen_quad_list() const { return full_screen_quad_; }

private:
    // What every pass of one render reads.
    struct Passes;

    void release() noexcept;
    // The init pass: the nearest and farthest depth of every pixel into the
    // ping set's depth pairs, its front colour cleared.
    void init_pass(const Passes& passes);
    // Peels the next nearest and farthest layer into set `cur` from the
    // depth pairs and front colour of the other set.
    void peel_pass(const Passes& passes, int cur);
    // Blends set `cur`'s back colour into the back accumulation; with
    // count_samples, whether any sample was blended (else true).
    bool blend_back_pass(const Passes& passes, int cur, bool count_samples);
    // The final composite of set `last`'s front colour over the back
    // accumulation into the destination.
    void final_pass(const Passes& passes, int last, IRenderTarget& destination);
    // Whether any pixel of the depth pairs still brackets a layer to peel.
    bool layers_remain(GLuint depth_pairs);

    std::shared_ptr<TexturingProgram> surface_init_;
    std::shared_ptr<TexturingProgram> overlay_init_;
    std::shared_ptr<TexturingProgram> surface_peel_;
    std::shared_ptr<TexturingProgram> overlay_peel_;
    std::shared_ptr<TexturingProgram> blend_;
    std::shared_ptr<TexturingProgram> remainder_;
    std::shared_ptr<TexturingProgram> final_;
    // The flat map's slopes, without the height taps.
    std::shared_ptr<FlatHeightSlopes> flat_slopes_;
    // Made for programs that read the height slope map; null otherwise.
    std::shared_ptr<HeightSlopeMap> slope_map_;
    GLuint occlusion_query_ = 0;
    GLuint full_screen_quad_ = 0;
    bool cull_;
};

// The inner renderer of a transparent chain: peeling buffers of the
// destination's size and kind from the engine's pool, then the peeling
// render. Not wrapped in hardware anti-aliasing.
class DualPeelingOITRendererAdaptor : public IRenderer {
public:
    DualPeelingOITRendererAdaptor(std::uint32_t format_kind, bool multiply_height_map_alpha, bool projective_texture,
                                  std::uint32_t render_mode, std::uint32_t layers, GlEngine* engine,
                                  const ShadingSwitches& switches = ShadingSwitches());

    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    std::uint32_t layers() const { return layers_; }
    const DualPeelingOITRenderer& renderer() const { return *renderer_; }

private:
    GlEngine* engine_;
    std::uint32_t layers_;
    std::unique_ptr<DualPeelingOITRenderer> renderer_;
    std::uint32_t format_kind_;
};

// The uniforms of the init pass, each only where the program has it: the
// deformation, the material, and the displacement with its noise, so that
// the init pass places vertices where the peel passes do.
void upload_peeling_init_parameters(IProgram& program, const DisplacementSettings& displacement,
                                    const IDeformationCollection& deformation,
                                    const IShaderCollection& shader_parameters);

}  // namespace tavrel
