#include "plugin/render/smart_pre_render.h"

#include <algorithm>

#include "hostaccess/plugin_errors.h"
#include "plugin/core/data_locks.h"
#include "plugin/core/effect_description.h"
#include "plugin/core/global_data.h"
#include "plugin/render/gl_size_limit.h"
#include "surface/frame/frame_values.h"
#include "surface/host/host_geometry.h"

namespace tavrel {

namespace {

// The frame's "Antialiasing" choice, checked out on its own: the render
// checks out everything later, once the frame is known to fit.
AntialiasingLevels asked_antialiasing(const EffectDescription& effect, const PF_InData* in_data) {
    PF_ParamDef def{};
    check_pf_err(in_data->inter.checkout_param(in_data->effect_ref,
                                               effect.render_indices.render_mode + RenderParamIndices::kAntialiasing,
                                               in_data->current_time, in_data->time_step, in_data->time_scale, &def));
    const int32_t choice = def.u.pd.value;
    check_pf_err(in_data->inter.checkin_param(in_data->effect_ref, &def));
    return antialiasing_levels(choice);
}

}  // namespace

PF_Err smart_pre_render(const EffectDescription& effect, PF_InData* in_data, PF_OutData*, PF_ParamDef*[],
                        PF_LayerDef*, void* extra) {
    // A frame larger than OpenGL renders or holds is refused before the
    // layer's pixels are asked for: a host may decode a large image only
    // when it is checked out.
    if (in_data != nullptr && in_data->global_data != nullptr) {
        const auto* pre = static_cast<const PF_PreRenderExtra*>(extra);
        const int32_t bitdepth = pre != nullptr && pre->input != nullptr ? pre->input->bitdepth : 0;
        const int kind = effect_layer_kind(in_data);
        // Text and shape layers render at the layer's own size.
        const PF_LRect output = kind == kTextLayer || kind == kShapeLayer
                                    ? PF_LRect{0, 0, in_data->width, in_data->height}
                                    : output_rect(in_data);
        const AntialiasingLevels levels = asked_antialiasing(effect, in_data);
        GlobalDataLock global(in_data);
        if (global->render_thread)
            check_frame_fits_gl(*global->render_thread, in_data->width, in_data->height, output.right - output.left,
                                output.bottom - output.top, bitdepth,
                                AntialiasingBuffers{levels.multisample, levels.accumulation > 0});
    }
    return compute_pre_render_result(in_data, static_cast<PF_PreRenderExtra*>(extra), 0);
}

PF_Err compute_pre_render_result(PF_InData* in_data, PF_PreRenderExtra* extra, int32_t layer_index) {
    if (in_data == nullptr || extra == nullptr || extra->input == nullptr || extra->output == nullptr ||
        extra->cb == nullptr || extra->cb->checkout_layer == nullptr)
        return PF_Err_BAD_CALLBACK_PARAM;
    check_frame_ratios(in_data);
    const PF_RenderRequest asked = extra->input->output_request;
    // The whole layer is needed whatever part of the output is asked for:
    // the surface can move any of its pixels anywhere.
    PF_RenderRequest request = asked;
    request.rect.left = std::min(request.rect.left, 0);
    request.rect.top = std::min(request.rect.top, 0);
    request.rect.right = std::max(request.rect.right, in_data->width);
    request.rect.bottom = std::max(request.rect.bottom, in_data->height);
    request.channel_mask = PF_ChannelMask_ARGB;
    request.preserve_rgb_of_zero_alpha = 1;
    PF_CheckoutResult checkout{};
    const PF_Err err = extra->cb->checkout_layer(in_data->effect_ref, layer_index, 0, &request,
                                                 in_data->current_time, in_data->time_step, in_data->time_scale,
                                                 &checkout);
    if (err != PF_Err_NONE) return err;

    const int kind = effect_layer_kind(in_data);
    const PF_LRect rect = (kind == kTextLayer || kind == kShapeLayer) ? request.rect : output_rect(in_data);
    extra->output->max_result_rect = rect;
    PF_LRect result = rect;
    result.left = std::max(result.left, asked.rect.left);
    result.top = std::max(result.top, asked.rect.top);
    result.right = std::min(result.right, asked.rect.right);
    result.bottom = std::min(result.bottom, asked.rect.bottom);
    extra->output->result_rect = result;
    return PF_Err_NONE;
}

}  // namespace tavrel
