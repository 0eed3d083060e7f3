#include "plugin/render/smart_render.h"

#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/debug_output.h"
#include "engine/interfaces/never_abort.h"
#include "engine/render/render_thread.h"
#include "engine/scene/set_material.h"
#include "engine/scene/texture_set.h"
#include "engine/scene/shadow_casters.h"
#include "engine/shaders/shader_parameters.h"
#include "hostaccess/plugin_errors.h"
#include "plugin/core/data_locks.h"
#include "plugin/core/global_data.h"
#include "plugin/core/life_cycle.h"
#include "plugin/render/gl_size_limit.h"
#include "plugin/render/param_checkout.h"
#include "surface/frame/main_render.h"
#include "surface/frame/tie_to_layer.h"
#include "surface/host/ae_camera_adaptor.h"
#include "surface/host/ae_light_adaptor.h"
#include "surface/host/ae_material_adaptor.h"
#include "surface/host/ae_pixel_accessors.h"
#include "surface/host/generator_instancing_settings.h"
#include "surface/host/host_geometry.h"
#include "surface/host/host_streams.h"
#include "surface/host/host_world.h"
#include "surface/host/param_values.h"
#include "surface/mesh/mesh_pipeline.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

// A layer parameter's world, when it has pixels and a size to upload.
std::shared_ptr<I2dArrayAccessor> layer_accessor(PF_InData* in_data, PF_ParamDef* params[], int index) {
    PF_LayerDef& world = params[index]->u.ld;
    if (world.data == nullptr || world.width <= 0 || world.height <= 0) return nullptr;
    return std::make_shared<AePixelData2dAccessor>(in_data, &world);
}

// Each layer parameter's image the frame will upload, named as the user
// sees the parameter, so that one the driver cannot hold is refused in
// words before any work is posted.
void check_layer_params_fit_gl(RenderThread& thread, PF_InData* in_data, PF_ParamDef* params[],
                               const RenderParamIndices& at, const RenderSettings& rs) {
    std::vector<LayerParamImage> images;
    const auto add = [&](int index, bool cube) {
        const std::shared_ptr<I2dArrayAccessor> accessor = layer_accessor(in_data, params, index);
        if (!accessor) return;
        const PF_ParamDef& def = *params[index];
        images.push_back(LayerParamImage{std::string(def.name, strnlen(def.name, sizeof def.name)),
                                         int32_t(accessor->width()), int32_t(accessor->height()),
                                         uint32_t(accessor->data().which()), cube});
    };
    if (rs.has_backside) add(at.backside_layer, false);
    add(at.reflection_layer,
        environment_map_mode(popup_param(params, at.reflection_layer + at.kReflectionMapping)) == kCubeEnvironmentMode);
    if (rs.has_displacement) add(at.displacement_layer, false);
    check_layer_images_fit_gl(thread, images);
}

uint32_t plugin_id_of(const PF_InData* in_data) {
    GlobalDataLock global(in_data);
    return global->plugin_id;
}

// Posts the release of the read-back image on every way out of the frame
// once the image exists: the mapped buffer must be unmapped and pooled on the
// rendering thread. A failure of that post is reported, not thrown: it may
// happen while another failure is already on its way out.
class ReadbackRelease {
public:
    ReadbackRelease(RenderThread& thread, std::shared_ptr<I2dArrayAccessor>& holder)
        : thread_(thread), holder_(holder) {}
    ~ReadbackRelease() {
        if (!holder_) return;
        try {
            thread_.execute(PBOCleanUp{&holder_});
        } catch (const std::exception& e) {
            debug_print_line(std::string("Releasing the read-back image failed: ") + e.what());
        } catch (...) {
            debug_print_line("Releasing the read-back image failed.");
        }
    }
    ReadbackRelease(const ReadbackRelease&) = delete;
    ReadbackRelease& operator=(const ReadbackRelease&) = delete;

private:
    RenderThread& thread_;
    std::shared_ptr<I2dArrayAccessor>& holder_;
};

// The rectangle, in layer pixels, that the camera's frame covers: the comp
// at this render's size for a layer that fills it, else the output itself
// (text and shape layers' outputs follow the request).
PF_LRect rendered_frame_rect(const PF_InData* in_data, const PF_EffectWorld& output) {
    const int kind = effect_layer_kind(in_data);
    if (kind != kTextLayer && kind != kShapeLayer) return output_rect(in_data);
    return PF_LRect{output.origin_x, output.origin_y, output.origin_x + output.width,
                    output.origin_y + output.height};
}

PF_Err render_checked_frame(const EffectDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, PF_EffectWorld* input) {
    GlobalDataLock global(in_data);
    SequenceDataLock sequence(in_data);
    RenderThread& thread = require_render_thread(*global.get());

    const int32_t gl_limit = gl_max_side(thread);
    check_fits_gl(gl_limit, input->width, input->height, "layer");
    check_fits_gl(gl_limit, output->width, output->height, "output");

    // "Tie to layer", then the 2-D position and anchor it ties.
    const int32_t tie = effect.render_indices.tie_to_layer;
    tie_to_layer(in_data, params, global->plugin_id, *sequence.get(), tie,
                 TieToLayerExpressions(tie + 1, tie + 2, tie + 3, tie + 4));

    const std::unique_ptr<IAbort> abort = std::make_unique<NeverAbort>();
    const A_Time comp_time = effect_to_comp_time(in_data);
    const std::shared_ptr<TimeVariableParameters> frame =
        render_frame_setup(effect, thread, *abort, in_data, input, comp_time, int32_t(global->parameter_count));

    // The warning is given once; afterwards frames render with the shadow
    // sources the engine takes.
    if (global->shadow_warning_shown == 0) check_shadow_caster_count(*frame->lights, global->shadow_warning_shown);

    // The camera's frame is rendered whole, one render pixel to one output
    // pixel; the output world holds the part of it the host asked for.
    const PF_LRect frame_rect = rendered_frame_rect(in_data, *output);
    std::shared_ptr<I2dArrayAccessor> readback;
    uint32_t triangles = 0;
    int32_t iterations = 0;
    const ReadbackRelease release(thread, readback);
    MainRender::post(readback, thread, *abort, uint64_t(frame_rect.right - frame_rect.left),
                     uint64_t(frame_rect.bottom - frame_rect.top), *frame, effect.back_face, triangles,
                     iterations);

    set_effect_status_text(in_data, triangle_count_text(triangles).c_str(),
                           iteration_count_text(iterations).c_str());

    PF_EffectWorld image{};
    make_world_record(image, *readback);
    const OutputWindow window = output_window(frame_rect, *output);
    if (!window.covers) fill_matte(in_data, output);
    if (!window.empty)
        transform_world(in_data, &image, output, in_data->quality == PF_Quality_HI, &window.source,
                        &window.destination);
    return PF_Err_NONE;
}

}  // namespace

PF_Err smart_render(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    int32_t count = 0;
    {
        GlobalDataLock global(in_data);
        count = int32_t(global->parameter_count);
    }
    return render_with_checked_out_params(in_data, out_data, params, output,
                                          static_cast<PF_SmartRenderExtra*>(extra), count,
                                          [&effect](PF_InData* in, PF_OutData* out, PF_ParamDef* p[],
                                                    PF_EffectWorld* o, PF_EffectWorld* i) {
                                              return render_frame(effect, in, out, p, o, i);
                                          });
}

PF_Err render_frame(const EffectDescription& effect, PF_InData* in_data, PF_OutData*, PF_ParamDef* params[],
                    PF_EffectWorld* output, PF_EffectWorld* input) {
    if (output == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    if (input == nullptr) {
        fill_matte(in_data, output);
        return PF_Err_NONE;
    }
    try {
        return render_checked_frame(effect, in_data, params, output, input);
    } catch (...) {
        // The host takes a frame that returns a message with code 0 as
        // rendered: leave it empty, not with whatever its buffer held.
        try {
            fill_matte(in_data, output);
        } catch (...) {
            debug_print_line("Clearing the output after a failed frame failed.");
        }
        throw;
    }
}

std::shared_ptr<TimeVariableParameters> render_frame_setup(const EffectDescription& effect, RenderThread& thread,
                                                           const IAbort& abort,
                                                           PF_InData* in_data, PF_EffectWorld* input,
                                                           const A_Time& comp_time, int32_t count) {
    // Every size below is divided or multiplied by these.
    check_frame_ratios(in_data);
    auto checkout = std::make_shared<ScopedCheckoutAll>(in_data, count, true);
    PF_ParamDef** params = checkout->params();
    check_pf_err(prepare_time_variable_parameters(effect, in_data, params, input, comp_time));
    const RenderParamIndices& at = effect.render_indices;

    const uint32_t plugin_id = plugin_id_of(in_data);
    SequenceDataLock sequence(in_data);
    SequenceData& data = *sequence.get();
    RenderSettings& rs = data.render_settings;
    rs.has_backside = at.backside_layer > 0 && layer_has_pixels(params, at.backside_layer) ? 1 : 0;
    rs.has_displacement = layer_has_pixels(params, at.displacement_layer) ? 1 : 0;
    check_layer_params_fit_gl(thread, in_data, params, at, rs);

    auto frame = std::make_shared<TimeVariableParameters>();
    if (rs.pre_blur > 0.001)
        frame->source = make_world_copy(plugin_id, in_data, input, rs.pre_blur);
    else
        frame->source = std::make_shared<AePixelData2dAccessor>(in_data, input);

    auto render_input = std::make_shared<RenderInput>();
    render_input->sequence_data = &data;
    render_input->grid = &data.grid;
    render_input->generator = std::make_shared<AEGeneratorInstancingParams>(params, at.generator_base);
    render_input->pixel_depth_class = pixel_depth_class(*frame->source);
    require_triangle_mesh(data);
    thread.execute(SetupInputFct{render_input, data.triangle_mesh, &abort});

    const std::shared_ptr<AEMaterialAdaptor> material = make_material_adaptor(params, at.ambient);
    thread.execute(SetMaterialFct{material});

    const AECameraWrapper camera(in_data, plugin_id);
    frame->camera = std::make_shared<AECameraAdaptor>(camera);
    const AELightArray lights(in_data, plugin_id);
    frame->lights = std::make_shared<AELightCollectionAdaptor>(
        lights, float_param(params, at.min_light_grazing_angle),
        float_param(params, at.min_light_grazing_angle + at.kLightObjectMinDistance));

    const TSize2D comp = get_comp_dimensions(in_data);
    frame->comp_size[0] = comp.width;
    frame->comp_size[1] = comp.height;
    frame->sequence_data = &data;
    if (rs.has_backside) frame->backside = layer_accessor(in_data, params, at.backside_layer);
    frame->reflection = layer_accessor(in_data, params, at.reflection_layer);
    // The same test as the other layers: a world without pixels or without
    // a size has nothing to upload.
    if (rs.has_displacement) frame->displacement = layer_accessor(in_data, params, at.displacement_layer);
    frame->render_input = render_input;

    const AntialiasingLevels levels = antialiasing_levels(popup_param(params, at.render_mode + at.kAntialiasing));
    frame->multisample_level = levels.multisample;
    frame->accumulation_level = levels.accumulation;
    frame->metal_and_decal =
        ValueAndFlag{material->metal(), uint8_t(checkbox_param(params, at.alpha_level + at.kDisableAlphaDecal))};
    frame->environment_map_mode =
        environment_map_mode(popup_param(params, at.reflection_layer + at.kReflectionMapping));
    frame->reflectivity = float(float_param(params, at.ambient + kMaterialReflectivity) / 100.0);
    frame->transparency_layers = transparency_layers(popup_param(params, at.render_mode + at.kTransparency));
    frame->modeling_transform = std::make_shared<ModelingTransform>(data.layer_transform);
    frame->shader_parameters = make_shader_parameters(params, comp, at);
    // A new region every frame, from this frame's values; without one the
    // engine deforms nothing.
    if (effect.make_deformation) frame->deformation = effect.make_deformation(params, comp.width, comp.height);
    if (at.soften_layer_edge > 0) frame->soften_layer_edge = checkbox_param(params, at.soften_layer_edge) ? 1 : 0;
    frame->parameter_checkout = checkout;
    return frame;
}

PF_Err prepare_time_variable_parameters(const EffectDescription& effect, PF_InData* in_data,
                                        PF_ParamDef* params[], PF_EffectWorld* input, const A_Time& comp_time) {
    const uint32_t plugin_id = plugin_id_of(in_data);
    SequenceDataLock sequence(in_data);
    SequenceData* data = sequence.get();
    {
        const ArbHandleLock grid(params, in_data, effect.grid_param);
        ControlPointGrid working = *grid.get();
        // The sliders are measured against the frame this render sets up.
        if (effect.read_point_sliders)
            effect.read_point_sliders(in_data, plugin_id, params,
                                      input_frame_size(in_data, input, data->render_settings.frame_size), working);
        const PF_Err err =
            build_time_variable_parameters(in_data, params, data, &working, input, effect.render_indices);
        if (err != PF_Err_NONE) return err;
    }
    check_grid_within_reach(data->grid, data->render_settings.frame_size);

    update_comp_camera_matrix(in_data, *data, read_comp_camera(in_data, plugin_id, comp_time));
    const AECameraWrapper wrapper(in_data, plugin_id);
    const AECameraAdaptor camera(wrapper);
    data->layer_transform = make_modeling_transform(in_data, params, *data, camera, effect_layer_kind(in_data),
                                                    effect.render_indices, layer_source_size(in_data));
    data->camera_projection = *camera.projection_matrix();
    data->camera_view = *camera.view_transform();

    RenderSettings& rs = data->render_settings;
    rs.centring_offset[0] = (rs.comp_size[0] - rs.layer_size[0]) / 2;
    rs.centring_offset[1] = (rs.comp_size[1] - rs.layer_size[1]) / 2;
    return PF_Err_NONE;
}

CompCameraReading read_comp_camera(const PF_InData* in_data, uint32_t plugin_id, const A_Time& comp_time) {
    HostSuites suites(in_data);
    CompCameraReading reading;
    reading.comp_size = get_comp_dimensions(suites, in_data);
    reading.comp_pixel_aspect = comp_pixel_aspect(suites, in_data);
    try {
        AEGP_LayerH camera = nullptr;
        check_pf_err(suites.pf_interface_suite().AEGP_GetEffectCamera(in_data->effect_ref, &comp_time, &camera));
        if (camera != nullptr) {
            A_Matrix4 m{};
            check_pf_err(suites.layer_suite().AEGP_GetLayerToWorldXform(camera, &comp_time, &m));
            reading.layer_to_world = matrix_from_host(m);
            reading.zoom = read_layer_stream(suites, plugin_id, camera, AEGP_LayerStream_ZOOM, comp_time).one_d;
            reading.has_camera = true;
        }
    } catch (const PFErrException&) {
        // The composition's default view stands in for a camera the host
        // cannot describe.
        reading.has_camera = false;
    }
    return reading;
}

int32_t pixel_depth_class(const I2dArrayAccessor& accessor) { return int32_t(accessor.data().which()); }

void SetMaterialFct::operator()(GlEngine&) const { set_material(*material); }

}  // namespace tavrel
