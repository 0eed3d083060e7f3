#include "plugin/smart_pre_render.h"

#include <algorithm>

#include "plugin/data_locks.h"
#include "plugin/gl_size_limit.h"
#include "plugin/global_data.h"
#include "surface/host/host_geometry.h"

namespace tavrel {

PF_Err smart_pre_render(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void* extra) {
    // A layer larger than OpenGL renders or holds is refused before its
    // pixels are asked for: a host may decode a large image only when it is
    // checked out.
    if (in_data != nullptr && in_data->global_data != nullptr) {
        const auto* pre = static_cast<const PF_PreRenderExtra*>(extra);
        const int32_t bitdepth = pre != nullptr && pre->input != nullptr ? pre->input->bitdepth : 0;
        GlobalDataLock global(in_data);
        if (global->render_thread)
            check_layer_fits_gl(*global->render_thread, in_data->width, in_data->height, bitdepth);
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
