/* The two-phase render protocol: the pre-render phase, in which the effect
 * asks for input and states its output rectangles, and the render phase, in
 * which it checks out input pixels and the output world. C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_SMART_RENDER_H
#define TAVREL_HOSTAPI_HOST_SMART_RENDER_H

#include "hostapi/host_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { PF_ChannelMask_ARGB = 15 };
typedef int32_t PF_ChannelMask;
typedef int32_t PF_Field;

typedef struct PF_RenderRequest {
    PF_LRect rect;
    PF_Field field;
    PF_ChannelMask channel_mask;
    uint8_t preserve_rgb_of_zero_alpha;
    uint8_t unused[3];
} PF_RenderRequest;

/* Not read by the effect; the host fills it. */
typedef struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    int32_t ref_width;
    int32_t ref_height;
} PF_CheckoutResult;

typedef struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    int16_t bitdepth;
} PF_PreRenderInput;

typedef struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
} PF_PreRenderOutput;

typedef struct PF_PreRenderCallbacks {
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, int32_t index, int32_t checkout_id,
                             const PF_RenderRequest* request, int32_t what_time, int32_t time_step,
                             uint32_t time_scale, PF_CheckoutResult* result);
} PF_PreRenderCallbacks;

typedef struct PF_PreRenderExtra {
    PF_PreRenderInput* input;
    PF_PreRenderOutput* output;
    PF_PreRenderCallbacks* cb;
} PF_PreRenderExtra;

typedef struct PF_SmartRenderInput {
    int16_t bitdepth;
} PF_SmartRenderInput;

typedef struct PF_SmartRenderCallbacks {
    /* May succeed with a null world: the layer has no pixels. */
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, int32_t checkout_id, PF_EffectWorld** pixels);
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
} PF_SmartRenderCallbacks;

typedef struct PF_SmartRenderExtra {
    PF_SmartRenderInput* input;
    PF_SmartRenderCallbacks* cb;
} PF_SmartRenderExtra;

#ifdef __cplusplus
}
#endif

#endif
