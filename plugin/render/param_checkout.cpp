#include "plugin/render/param_checkout.h"

#include <stdexcept>
#include <string>

#include "engine/core/debug_output.h"
#include "hostaccess/plugin_errors.h"

namespace tavrel {

void ParamCheckoutGuard::check_in(ParamCheckoutGuard* guard) noexcept {
    if (guard == nullptr) return;
    const PF_Err err = guard->in_data->inter.checkin_param(guard->in_data->effect_ref, guard->def);
    if (err != PF_Err_NONE)
        debug_print_line("checkin_param failed with " + std::to_string(err));
    delete guard;
}

ScopedCheckoutAll::ScopedCheckoutAll(const PF_InData* in_data, int32_t count, bool include_input) {
    if (in_data == nullptr || count < 0) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    storage_.resize(size_t(count));
    params_.assign(size_t(count), nullptr);
    guards_.reserve(size_t(count));
    for (int32_t i = include_input ? 0 : 1; i < count; ++i) {
        PF_ParamDef* def = &storage_[size_t(i)];
        // Made before the checkout, so that a checkout is never left without
        // its guard; armed only once the checkout succeeded.
        auto guard = std::make_unique<ParamCheckoutGuard>(ParamCheckoutGuard{def, in_data});
        check_pf_err(in_data->inter.checkout_param(in_data->effect_ref, i, in_data->current_time,
                                                   in_data->time_step, in_data->time_scale, def));
        guards_.emplace_back(guard.release(), &ParamCheckoutGuard::check_in);
        params_[size_t(i)] = def;
    }
}

ScopedCheckoutAll::~ScopedCheckoutAll() {
    // Latest first, as a stack of scopes would.
    while (!guards_.empty()) guards_.pop_back();
}

PF_Err render_with_checked_out_params(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*,
                                      PF_SmartRenderExtra* extra, int32_t count, const RenderFunction& render) {
    if (extra == nullptr || extra->cb == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    ScopedCheckoutAll checkout(in_data, count, false);
    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &input);
    if (err == PF_Err_NONE) err = extra->cb->checkout_output(in_data->effect_ref, &output);
    if (err != PF_Err_NONE) return err;
    return render(in_data, out_data, checkout.params(), output, input);
}

}  // namespace tavrel
