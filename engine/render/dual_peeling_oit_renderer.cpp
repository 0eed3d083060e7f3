#include "engine/render/dual_peeling_oit_renderer.h"

#include <GL/glu.h>

#include <algorithm>
#include <string>

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/dual_peeling_render_buffers.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/renderer_description.h"
#include "engine/interfaces/abort.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/render/dual_peeling_programs.h"
#include "engine/render/flat_height_slopes.h"
#include "engine/render/height_slope_map.h"
#include "engine/render/phong_renderer.h"
#include "engine/render/wireframe_cube.h"
#include "engine/scene/scene_graph.h"
#include "engine/shaders/shadow_chunk.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/uniform_helpers.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

// Below every window depth, so that MAX blending takes the first fragment.
constexpr GLfloat kClearDepth = -30000.0f;

// Attachments of the peeling framebuffer: ping (0) and pong (1) sets of
// depth pair, front colour and this pass's back colour, then the back
// accumulation.
GLenum depth_attachment(int set) { return GL_COLOR_ATTACHMENT0_EXT + 3 * set; }
GLenum front_attachment(int set) { return GL_COLOR_ATTACHMENT0_EXT + 3 * set + 1; }
GLenum temp_attachment(int set) { return GL_COLOR_ATTACHMENT0_EXT + 3 * set + 2; }
constexpr GLenum kBackAttachment = GL_COLOR_ATTACHMENT0_EXT + 6;

void clear_to(GLfloat r, GLfloat g) {
    glClearColor(r, g, 0.0f, 0.0f);
    TAVREL_CHECK_GL();
    glClear(GL_COLOR_BUFFER_BIT);
    TAVREL_CHECK_GL();
}

void draw_into(GLenum attachment) {
    glDrawBuffer(attachment);
    TAVREL_CHECK_GL();
}

void draw_into(GLenum a, GLenum b) {
    const GLenum buffers[] = {a, b};
    glDrawBuffers(2, buffers);
    TAVREL_CHECK_GL();
}

void blend_equation(GLenum mode) {
    glBlendEquation(mode);
    TAVREL_CHECK_GL();
}

// Every sampler of a program that draws the surface gets its own unit before
// the first draw: samplers of different types left on one unit stop the draw.
void set_sampler_units(TexturingProgram& program, GLuint depth_unit, GLuint front_unit) {
    IntegerStateGuard guard(program);
    set_phong_sampler_units(program);
    set_uniform_int_if_present(program, "DepthBlenderTex", static_cast<int>(depth_unit));
    set_uniform_int_if_present(program, "FrontBlenderTex", static_cast<int>(front_unit));
}

GLuint make_full_screen_quad_list() {
    const GLuint list = gl_gen_lists(1);
    if (list == 0) TAVREL_CHECK_GL();
    try {
        glNewList(list, GL_COMPILE);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        gluOrtho2D(0.0, 1.0, 0.0, 1.0);
        glBegin(GL_QUADS);
        glVertex2f(0.0f, 0.0f);
        glVertex2f(1.0f, 0.0f);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(0.0f, 1.0f);
        glEnd();
        glPopMatrix();
        glEndList();
        TAVREL_CHECK_GL();
    } catch (...) {
        gl_delete_lists(list, 1);
        throw;
    }
    return list;
}

}  // namespace

DualPeelingOITRenderer::DualPeelingOITRenderer(std::uint32_t format_kind, bool multiply_height_map_alpha,
                                               bool projective_texture, std::uint32_t render_mode,
                                               const ShadingSwitches& switches)
    : cull_(render_mode == kRenderModeCullBackFaces) {
    const int kind = static_cast<int>(format_kind);
    const PhongChunks chunks = phong_renderer_chunks(multiply_height_map_alpha, projective_texture, render_mode);
    const std::string surface_vertex = phong_vertex_source(kind, chunks, switches);
    const std::string overlay_vertex = flat_shading_vertex_source(kind);

    surface_init_ = std::make_shared<DualPeelingInitProgram>(surface_vertex);
    overlay_init_ = std::make_shared<DualPeelingInitProgram>(overlay_vertex);
    surface_peel_ = std::make_shared<DualPeelingPeelProgram>(surface_vertex, phong_shading_source(kind, chunks, switches));
    overlay_peel_ = std::make_shared<DualPeelingPeelProgram>(overlay_vertex, flat_shading_chunk(kind));
    blend_ = std::make_shared<DualPeelingBlendProgram>();
    remainder_ = std::make_shared<DualPeelingRemainderProgram>();
    final_ = std::make_shared<DualPeelingFinalProgram>(kind);
    if (!switches.height_taps) flat_slopes_ = std::make_shared<FlatHeightSlopes>(format_kind);
    if (switches.height_taps && switches.height_slope_map)
        slope_map_ = std::make_shared<HeightSlopeMap>(format_kind, switches.displacement_noise);

    try {
        set_sampler_units(*surface_init_, 6, 7);
        set_sampler_units(*surface_peel_, 6, 7);
        set_sampler_units(*overlay_peel_, 0, 1);
        occlusion_query_ = gl_gen_query();
        if (occlusion_query_ == 0) TAVREL_CHECK_GL();
        full_screen_quad_ = make_full_screen_quad_list();
    } catch (...) {
        release();
        throw;
    }
}

DualPeelingOITRenderer::~DualPeelingOITRenderer() { release(); }

void DualPeelingOITRenderer::release() noexcept {
    // A pool eviction destroys renderers; without this every eviction would
    // leave a query and a list behind in the context.
    if (full_screen_quad_ != 0) {
        gl_delete_lists(full_screen_quad_, 1);
        TAVREL_REPORT_GL();
        full_screen_quad_ = 0;
    }
    if (occlusion_query_ != 0) {
        gl_delete_query(occlusion_query_);
        TAVREL_REPORT_GL();
        occlusion_query_ = 0;
    }
}

struct DualPeelingOITRenderer::Passes {
    SceneGraph& scene;
    const IVirtualCameraParameters& camera;
    const ILightCollection& lights;
    const IShadowUniforms* shadow_casters;
    GLuint height_map;
    GLuint slopes;
    const SurfaceOptions& surface;
    const IDeformationCollection& deformation;
    const IShaderCollection& shader_parameters;
    const HeightMapSize& height_map_size;
    const DisplacementSettings& displacement;
    DualPeelingRenderBuffers& buffers;
};

void DualPeelingOITRenderer::render(SceneGraph& scene, const IAbort& abort,
                                    const std::shared_ptr<IVirtualCameraParameters>& camera,
                                    const ILightCollection& lights, const IShadowUniforms* shadow_casters,
                                    GLuint height_map, const SurfaceOptions& surface,
                                    const IDeformationCollection& deformation,
                                    const IShaderCollection& shader_parameters,
                                    const HeightMapSize& height_map_size, const DisplacementSettings& displacement,
                                    DualPeelingRenderBuffers& buffers, IRenderTarget& destination,
                                    std::uint32_t layers) {
    if (flat_slopes_) flat_slopes_->upload(*surface_peel_, height_map, height_map_size, displacement);
    const GLuint slopes = slope_map_ ? slope_map_->update(height_map, height_map_size, displacement) : 0;
    const Passes passes{scene,       *camera,           lights,          shadow_casters, height_map, slopes, surface,
                        deformation, shader_parameters, height_map_size, displacement,   buffers};
    // The attribute stack restores the draw buffers into the framebuffer
    // bound when it pops, which is the destination: so it is bound when the
    // state is saved too.
    destination.bind();
    AttribGuard attributes;
    const DualPeelingKey& key = buffers.key();
    glViewport(0, 0, static_cast<GLsizei>(key.width), static_cast<GLsizei>(key.height));
    TAVREL_CHECK_GL();

    if (cull_) {
        glDisable(GL_VERTEX_PROGRAM_TWO_SIDE);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
        glEnable(GL_VERTEX_PROGRAM_TWO_SIDE);
    }
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    TAVREL_CHECK_GL();

    buffers.bind_peeling_framebuffer();
    init_pass(passes);
    draw_into(kBackAttachment);
    clear_to(0.0f, 0.0f);

    // The count is signed: -1 peels until empty, any other count below 2
    // still gets one peel pass.
    const bool query_mode = layers == peel_until_empty;
    const int limit = query_mode ? max_peeling_passes : std::max(2, static_cast<std::int32_t>(layers));
    int last = 0;
    for (int i = 1; (query_mode || i < limit) && i < max_peeling_passes; ++i) {
        const int cur = i % 2;
        abort.progress_begin();
        peel_pass(passes, cur);
        const bool blended = blend_back_pass(passes, cur, query_mode);
        last = cur;
        if (query_mode) {
            if (!blended) break;
        } else if (i + 1 < limit && i + 1 < max_peeling_passes && !layers_remain(buffers.depth_textures[cur])) {
            // Every fragment was peeled: a further pass would carry the
            // front colour over unchanged and add nothing behind it.
            break;
        }
    }
    final_pass(passes, last, destination);
}

void DualPeelingOITRenderer::init_pass(const Passes& passes) {
    draw_into(front_attachment(0), temp_attachment(0));
    clear_to(0.0f, 0.0f);
    draw_into(depth_attachment(0));
    clear_to(kClearDepth, kClearDepth);
    blend_equation(GL_MAX);

    // The height map sits on the units the peel passes use, so that a
    // displaced surface is placed at the same depths here as there.
    {
        IntegerStateGuard program(*surface_init_);
        TextureBindingGuard height(*surface_init_, GL_TEXTURE_2D, "height_map", passes.height_map, 3);
        TextureBindingGuard slope_map(*surface_init_, GL_TEXTURE_2D, "height_slope_map", passes.slopes,
                                      kHeightSlopeMapUnit);
        TextureBindingGuard vertex_height(*surface_init_, GL_TEXTURE_2D, "vheight_map", passes.height_map, 4);
        upload_peeling_init_parameters(*surface_init_, passes.displacement, passes.deformation,
                                       passes.shader_parameters);
        upload_height_map_wrap(*surface_init_, passes.height_map, "dual_peeling_oit_renderer");
        passes.scene.render_with_textures(*surface_init_, passes.camera);
    }
    {
        IntegerStateGuard program(*overlay_init_);
        draw_wireframe_cube(passes.deformation, passes.camera, *overlay_init_);
    }
}

void DualPeelingOITRenderer::peel_pass(const Passes& passes, int cur) {
    const int prev = 1 - cur;
    DualPeelingRenderBuffers& buffers = passes.buffers;
    draw_into(front_attachment(cur), temp_attachment(cur));
    clear_to(0.0f, 0.0f);
    draw_into(depth_attachment(cur));
    clear_to(kClearDepth, kClearDepth);
    const GLenum peel_buffers[] = {depth_attachment(cur), front_attachment(cur), temp_attachment(cur)};
    glDrawBuffers(3, peel_buffers);
    TAVREL_CHECK_GL();
    blend_equation(GL_MAX);

    {
        IntegerStateGuard program(*surface_peel_);
        TextureBindingGuard depth(*surface_peel_, GL_TEXTURE_RECTANGLE_ARB, "DepthBlenderTex",
                                  buffers.depth_textures[prev], 6);
        TextureBindingGuard front(*surface_peel_, GL_TEXTURE_RECTANGLE_ARB, "FrontBlenderTex",
                                  buffers.front_blender_textures[prev], 7);
        TextureBindingGuard height(*surface_peel_, GL_TEXTURE_2D, "height_map", passes.height_map, 3);
        TextureBindingGuard slope_map(*surface_peel_, GL_TEXTURE_2D, "height_slope_map", passes.slopes,
                                      kHeightSlopeMapUnit);
        TextureBindingGuard vertex_height(*surface_peel_, GL_TEXTURE_2D, "vheight_map", passes.height_map, 4);
        PhongShader::upload_parameters(*surface_peel_, passes.lights, passes.shadow_casters, passes.surface,
                                       passes.deformation, passes.shader_parameters, passes.height_map_size,
                                       passes.displacement);
        upload_height_map_wrap(*surface_peel_, passes.height_map, "dual_peeling_oit_renderer");
        passes.scene.render_with_textures(*surface_peel_, passes.camera);
    }
    {
        IntegerStateGuard program(*overlay_peel_);
        TextureBindingGuard depth(*overlay_peel_, GL_TEXTURE_RECTANGLE_ARB, "DepthBlenderTex",
                                  buffers.depth_textures[prev], 0);
        TextureBindingGuard front(*overlay_peel_, GL_TEXTURE_RECTANGLE_ARB, "FrontBlenderTex",
                                  buffers.front_blender_textures[prev], 1);
        draw_wireframe_cube(passes.deformation, passes.camera, *overlay_peel_);
    }
}

bool DualPeelingOITRenderer::blend_back_pass(const Passes& passes, int cur, bool count_samples) {
    draw_into(kBackAttachment);
    blend_equation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    TAVREL_CHECK_GL();

    if (count_samples) {
        glBeginQuery(GL_SAMPLES_PASSED, occlusion_query_);
        TAVREL_CHECK_GL();
    }
    {
        IntegerStateGuard program(*blend_);
        TextureBindingGuard temp(*blend_, GL_TEXTURE_RECTANGLE_ARB, "TempTex", passes.buffers.back_temp_textures[cur],
                                 0);
        glCallList(full_screen_quad_);
        TAVREL_CHECK_GL();
    }
    if (!count_samples) return true;
    glEndQuery(GL_SAMPLES_PASSED);
    TAVREL_CHECK_GL();
    GLuint samples = 0;
    glGetQueryObjectuiv(occlusion_query_, GL_QUERY_RESULT, &samples);
    TAVREL_CHECK_GL();
    return samples != 0;
}

void DualPeelingOITRenderer::final_pass(const Passes& passes, int last, IRenderTarget& destination) {
    glDisable(GL_BLEND);
    TAVREL_CHECK_GL();
    destination.bind();
    IntegerStateGuard program(*final_);
    TextureBindingGuard front(*final_, GL_TEXTURE_RECTANGLE_ARB, "FrontBlenderTex",
                              passes.buffers.front_blender_textures[last], 0);
    TextureBindingGuard back(*final_, GL_TEXTURE_RECTANGLE_ARB, "BackBlenderTex", passes.buffers.back_blender_texture,
                             1);
    glCallList(full_screen_quad_);
    TAVREL_CHECK_GL();
}

DualPeelingOITRendererAdaptor::DualPeelingOITRendererAdaptor(std::uint32_t format_kind,
                                                             bool multiply_height_map_alpha, bool projective_texture,
                                                             std::uint32_t render_mode, std::uint32_t layers,
                                                             GlEngine* engine, const ShadingSwitches& switches)
    : engine_(engine),
      layers_(layers),
      renderer_(std::make_unique<DualPeelingOITRenderer>(format_kind, multiply_height_map_alpha, projective_texture,
                                                         render_mode, switches)),
      format_kind_(format_kind) {}

void DualPeelingOITRendererAdaptor::render(SceneGraph& scene, const IAbort& abort,
                                           const std::shared_ptr<IVirtualCameraParameters>& camera,
                                           const ILightCollection& lights,
                                           const IShadowUniforms* shadow_casters, GLuint height_map,
                                           const SurfaceOptions& surface, const IDeformationCollection& deformation,
                                           const IShaderCollection& shader_parameters,
                                           const HeightMapSize& height_map_size,
                                           const DisplacementSettings& displacement, IRenderTarget& destination) {
    std::shared_ptr<DualPeelingRenderBuffers> buffers =
        engine_->request_dual_peeling_buffers(destination.width(), destination.height(), destination.format());
    renderer_->render(scene, abort, camera, lights, shadow_casters, height_map, surface, deformation,
                      shader_parameters, height_map_size, displacement, *buffers, destination, layers_);
}

bool DualPeelingOITRenderer::layers_remain(GLuint depth_pairs) {
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    TAVREL_CHECK_GL();
    GLuint samples = 0;
    {
        IntegerStateGuard program(*remainder_);
        TextureBindingGuard depth(*remainder_, GL_TEXTURE_RECTANGLE_ARB, "DepthBlenderTex", depth_pairs, 0);
        glBeginQuery(GL_SAMPLES_PASSED, occlusion_query_);
        TAVREL_CHECK_GL();
        glCallList(full_screen_quad_);
        glEndQuery(GL_SAMPLES_PASSED);
        TAVREL_CHECK_GL();
        glGetQueryObjectuiv(occlusion_query_, GL_QUERY_RESULT, &samples);
        TAVREL_CHECK_GL();
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    TAVREL_CHECK_GL();
    return samples != 0;
}

void upload_peeling_init_parameters(IProgram& program, const DisplacementSettings& displacement,
                                    const IDeformationCollection& deformation,
                                    const IShaderCollection& shader_parameters) {
    upload_deformation_parameters(deformation, program);
    upload_material_parameters(shader_parameters, program);
    upload_displacement_parameters(displacement, program);
}

}  // namespace tavrel
