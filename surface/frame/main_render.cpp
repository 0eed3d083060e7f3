#include "surface/frame/main_render.h"

#include <GL/glew.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/gl/gl_driver.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/renderer_description.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/render_thread.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/generator_instancing_node.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/scene/shadow_casters.h"
#include "engine/scene/texture_set.h"
#include "engine/shaders/height_map_flatness.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shading_switches.h"
#include "engine/shaders/utility_programs.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

// Layer images are sampled under any deformation, so they are filtered
// linearly; past the layer's edge the edge texels repeat.
constexpr std::uint32_t kLayerFilter = 1;
constexpr std::uint32_t kClampToBorder = 0;
constexpr std::uint32_t kClampToEdge = 1;

// The height map is read bilinearly wherever it is read: the displaced
// vertices and the map channels take its values between texel centres, the
// slopes its texels whole, none of them over a footprint. Mesa's software
// sampler takes its elliptical filter for every read of a texture that
// allows anisotropy, the triangulation's vertex-stage reads included, and
// moved the displaced vertices off their heights: jagged marks along the
// frame's borders.
void read_bilinearly(const RenderTarget& height_map) {
    if (!running_gl_features().anisotropic_filtering) return;
    TextureUnitGuard unit(3);
    glBindTexture(GL_TEXTURE_2D, height_map.textures.at(0)->gl_name());
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    check_gl_error("main_render", __LINE__);
}

template <typename T>
T& require(const std::shared_ptr<T>& p, const char* what) {
    if (!p) throw std::invalid_argument(std::string("frame render without ") + what);
    return *p;
}

template <typename T>
T& require(T* p, const char* what) {
    if (p == nullptr) throw std::invalid_argument(std::string("frame render without ") + what);
    return *p;
}

// An accessor without pixels has nothing to upload: a texture of no size
// cannot be made, and a back-face sampler over it would read whatever the
// unit held before.
bool has_pixels(const std::shared_ptr<I2dArrayAccessor>& accessor) {
    return accessor && accessor->width() != 0 && accessor->height() != 0;
}

std::shared_ptr<ITextureObject> upload(GlEngine& engine, const std::shared_ptr<I2dArrayAccessor>& accessor,
                                       GLenum unit, bool cube) {
    auto texture = engine.texture_from_accessor(accessor, unit, kLayerFilter, kClampToEdge, cube);
    // Every user binds it where it needs it; a unit left bound here would
    // stand in for a sampler that has no texture of its own.
    texture->unbind();
    return texture;
}

std::uint32_t back_face_mode(const TimeVariableParameters& parameters, const RenderInput& input,
                             std::uint8_t back_face) {
    if (back_face != 0) return kRenderModeFrontTexture;
    if (has_pixels(parameters.backside)) return kRenderModeBackFaceTexture;
    return input.flags[RenderInput::kUntexturedFlag] != 0 ? kRenderModeUntexturedWhite : kRenderModeFrontTexture;
}

std::uint32_t to_u32(std::uint64_t value, const char* what) {
    if (value > std::numeric_limits<std::uint32_t>::max())
        throw std::invalid_argument(std::string(what) + " out of range: " + std::to_string(value));
    return static_cast<std::uint32_t>(value);
}

// The height map's slope map is a float texture drawn into, two texels
// beyond the map on every side: a map near the driver's side limit, or too
// large for it to hold as float, is shaded through the height reads instead.
bool slope_map_held(std::uint64_t width, std::uint64_t height) {
    constexpr std::uint64_t kSlopeMapBorder = 4;
    constexpr std::uint32_t kFloatKind = 2;
    const std::uint64_t side = std::uint64_t(std::max<GLint>(0, largest_render_side()));
    const std::uint64_t w = width + kSlopeMapBorder, h = height + kSlopeMapBorder;
    return w <= side && h <= side && driver_holds_image(std::uint32_t(w), std::uint32_t(h), kFloatKind);
}

RendererDescription frame_renderer_description(const TimeVariableParameters& parameters, const RenderInput& input,
                                               std::uint32_t back_face_mode) {
    RendererDescription description;
    description.format_kind = static_cast<std::uint32_t>(input.pixel_depth_class);
    // The mesh arrives placed and displaced by the triangulation, so the
    // shading neither displaces its vertices again nor projects its texture.
    description.multiply_height_map_alpha = false;
    description.projective_texture = false;
    if (parameters.transparency_layers)
        description.peeling_layers = static_cast<std::uint32_t>(*parameters.transparency_layers);
    description.render_mode = back_face_mode;
    description.antialiasing_samples = to_u32(parameters.multisample_level, "multisample level");
    description.lens_samples = to_u32(parameters.lens_level, "lens sample level");
    description.subpixel_samples = to_u32(parameters.accumulation_level, "accumulation level");
    description.depth_only = input.render_mode == RenderSettings::kDepth;
    return description;
}

}  // namespace

void MainRender::post(std::shared_ptr<I2dArrayAccessor>& readback, RenderThread& thread, IAbort& abort,
                      uint64_t width, uint64_t height, const TimeVariableParameters& parameters, uint8_t back_face,
                      uint32_t& triangle_count, int32_t& iteration_count) {
    const MainRender command{&abort, width, height, &parameters, back_face, &triangle_count, &iteration_count,
                             &readback};
    thread.execute(command);
}

void MainRender::operator()(GlEngine& engine) const {
    std::shared_ptr<I2dArrayAccessor>& holder = require(readback, "a read-back holder");
    std::shared_ptr<RenderTarget> target =
        build_scene(engine, require(abort, "an abort object"), width, height, require(parameters, "its values"),
                    back_face, require(triangle_count, "a triangle count"),
                    require(iteration_count, "an iteration count"));
    const std::shared_ptr<PBO> pbo = read_pixels_to_pbo(engine, *target);
    // The holder changes only once the image is mapped: a failure leaves
    // the host thread nothing half made to copy from.
    holder = map_readback(pbo, target->width(), target->height(), target->format());
}

std::shared_ptr<RenderTarget> MainRender::build_scene(GlEngine& engine, IAbort& abort, uint64_t width,
                                                      uint64_t height, const TimeVariableParameters& parameters,
                                                      uint8_t back_face, uint32_t& triangle_count,
                                                      int32_t& iteration_count) {
    abort.progress_begin();
    const RenderInput& input = require(parameters.render_input, "its render input");
    SequenceData& data = require(parameters.sequence_data, "instance state");
    if (!has_pixels(parameters.source)) throw std::invalid_argument("frame render without source pixels");
    CombinePolyClippingAlpha& clipping_alpha = require(data.clipping_alpha, "the mesh pipeline");
    const std::uint32_t mode = back_face_mode(parameters, input, back_face);

    const std::shared_ptr<ITextureObject> colour = upload(engine, parameters.source, GL_TEXTURE0, false);
    std::shared_ptr<ITextureObject> back_face_colour;
    if (has_pixels(parameters.backside))
        back_face_colour = upload(engine, parameters.backside, GL_TEXTURE0 + kBackFaceColorUnit, false);
    std::shared_ptr<ITextureObject> environment;
    if (has_pixels(parameters.reflection))
        environment = upload(engine, parameters.reflection, GL_TEXTURE0 + kEnvironmentUnit,
                             parameters.environment_map_mode == kCubeEnvironmentMode);

    std::shared_ptr<ITextureObject> displacement;
    if (has_pixels(parameters.displacement))
        displacement = upload(engine, parameters.displacement, GL_TEXTURE1, false);
    // Clamped to its transparent border, the extruded layer's height map
    // fades out at the layer's edge instead of repeating the edge texels.
    const std::uint32_t wrap = back_face != 0 && parameters.soften_layer_edge != 0 ? kClampToBorder : kClampToEdge;
    // The previous frame's target goes back to the pool first, so that the
    // request can take it again instead of holding two at once.
    data.layer_texture.reset();
    data.layer_texture =
        engine.request_render_target(colour->width(), colour->height(), 1, colour->format(), false, kLayerFilter, wrap);
    read_bilinearly(*data.layer_texture);
    clipping_alpha.combine(*colour, displacement.get(), *data.layer_texture);

    const TextureSet textures(colour, back_face_colour, environment, parameters.reflectivity,
                              parameters.environment_map_mode);
    const MeshScene scene = build_mesh_scene(parameters, textures, engine, abort, back_face, iteration_count);
    triangle_count = scene.scene->primitive_count();

    abort.progress(2, 2);
    std::shared_ptr<RenderTarget> target = render_view(engine, abort, parameters, scene, mode, back_face, width, height);
    ++data.render_count;
    return target;
}

std::shared_ptr<RenderTarget> MainRender::render_view(GlEngine& engine, IAbort& abort,
                                                      const TimeVariableParameters& parameters,
                                                      const MeshScene& scene, uint32_t back_face_mode,
                                                      uint8_t back_face, uint64_t width, uint64_t height) {
    const RenderInput& input = require(parameters.render_input, "its render input");
    const SequenceData& data = require(parameters.sequence_data, "instance state");
    const ILightCollection& lights = require(parameters.lights, "lights");
    SceneGraph& graph = require(scene.scene, "a scene");
    require(scene.camera, "a camera");
    if (width == 0 || height == 0)
        throw std::invalid_argument("frame render of an empty output: " + std::to_string(width) + " x " +
                                    std::to_string(height));

    std::shared_ptr<IDeformationCollection> deformation = parameters.deformation;
    if (!deformation) deformation = std::make_shared<NoDeformation>();
    std::shared_ptr<IShaderCollection> shader_parameters = parameters.shader_parameters;
    if (!shader_parameters) shader_parameters = std::make_shared<NoShader>();
    SurfaceOptions surface;
    surface.metal_coefficient = parameters.metal_and_decal.value;
    surface.disable_alpha_decal = parameters.metal_and_decal.flag;
    const ShadowCasterParamsCollection casters(graph, lights);

    RendererDescription description = frame_renderer_description(parameters, input, back_face_mode);
    // The programs leave out every feature that the frame's values make a
    // no-op, with the same pixels.
    ShadingValues values;
    values.shadow_casters = casters.count();
    values.reflectivity = scene.reflectivity;
    values.surface = &surface;
    values.deformation = deformation.get();
    values.shader_parameters = shader_parameters.get();
    values.displacement = &input.displacement;
    values.flat_height_map = layer_height_map_flat(data, input.displacement);
    if (data.layer_texture) {
        values.height_map_wrap = data.layer_texture->textures.at(0)->description().wrap_mode;
        values.slope_map_held = slope_map_held(data.layer_texture->width(), data.layer_texture->height());
    }
    values.back_face = back_face;
    values.lights = &lights;
    description.shading = shading_switches_for(values);
    const std::shared_ptr<RendererAllocationProxy> renderer = engine.request_renderer(description);

    std::shared_ptr<RenderTarget> target = engine.request_render_target(
        to_u32(width, "output width"), to_u32(height, "output height"), 1, description.format_kind, true, 0,
        kClampToEdge);

    // The array is made, or grown, only for a frame with casters.
    const ShadowCasterCollection shadows(graph, engine.depth_only_program(int(description.format_kind)), casters,
                                         *deformation, *shader_parameters,
                                         engine.shadow_map_array(std::uint32_t(casters.count())));

    // The shading reads the same height map as the triangulation did.
    GLuint height_map = 0;
    HeightMapSize height_map_size;
    if (data.layer_texture) {
        height_map = data.layer_texture->textures.at(0)->gl_name();
        height_map_size.width = static_cast<std::int32_t>(data.layer_texture->width());
        height_map_size.height = static_cast<std::int32_t>(data.layer_texture->height());
        // The mesh placed its triangles from this frame's map, or kept them
        // because the map's sources had not changed.
        if (data.triangle_mesh) height_map_size.content = data.triangle_mesh->height_map_content();
    }
    renderer->render(graph, abort, scene.camera, lights, &shadows, height_map, surface, *deformation,
                     *shader_parameters, height_map_size, input.displacement, *target);
    return target;
}

bool layer_height_map_flat(const SequenceData& data, const DisplacementSettings& displacement) {
    if (!data.layer_texture || !data.triangle_mesh) return false;
    // The mesh counted the components of the map its triangles were placed
    // from, which is this frame's: it places again whenever the map's
    // sources change. The shading reads the same map.
    const std::uint32_t wrap = data.layer_texture->textures.at(0)->description().wrap_mode;
    return height_map_flat(data.triangle_mesh->constant_height_components(), displacement, wrap);
}

MeshScene build_mesh_scene(const TimeVariableParameters& parameters, const TextureSet& textures, GlEngine& engine,
                           IAbort& abort, uint8_t back_face, int32_t& iteration_count) {
    abort.progress(1, 2);
    MeshScene result;
    result.scene = std::make_shared<SceneGraph>();
    result.scene->set_lights(parameters.lights);
    const std::shared_ptr<GeneratorInstancingNode> root =
        make_mesh_node(parameters, engine, abort, back_face, iteration_count);
    result.scene->add_render_pass(RenderPass(root, textures));
    result.camera = parameters.camera;
    result.reflectivity = textures.bound_reflectivity();
    return result;
}

std::shared_ptr<GeneratorInstancingNode> make_mesh_node(const TimeVariableParameters& parameters,
                                                        GlEngine& engine, IAbort& abort, uint8_t back_face,
                                                        int32_t& iteration_count) {
    const RenderInput& input = require(parameters.render_input, "its render input");
    SequenceData& data = require(parameters.sequence_data, "instance state");
    LattixTriangleMesh& mesh = require(input.triangle_mesh, "a triangle mesh");
    ComputeNURBSMeshGPU& evaluation = require(data.surface_evaluator, "a surface evaluation");
    ComputeTriangleMeshGPU& triangulation = require(data.triangulator, "a triangulation");
    auto root = std::make_shared<GeneratorInstancingNode>(
        input.generator, require(parameters.modeling_transform, "a modeling transform"));

    const RenderSettings& settings = data.render_settings;
    LattixTriangleMesh::Update frame;
    frame.wireframe = input.render_mode == RenderSettings::kWireframe;
    frame.frame_size = settings.frame_size;
    frame.settings = input.displacement;
    frame.height_map = data.layer_texture.get();
    // The images build_scene combined the map from.
    frame.sources.layer = parameters.source.get();
    frame.sources.displacement = has_pixels(parameters.displacement) ? parameters.displacement.get() : nullptr;
    frame.adaptive = settings.adaptive != 0;
    frame.max_passes = settings.max_iterations < 0 ? 0u : static_cast<uint32_t>(settings.max_iterations);
    frame.distance_threshold = settings.tolerance;
    // A back face of its own means a surface of some thickness: front,
    // back and the walls between them.
    frame.extrude = back_face != 0;
    iteration_count = static_cast<int32_t>(mesh.update(engine, *root, abort, evaluation, triangulation, frame));
    return root;
}

}  // namespace tavrel
