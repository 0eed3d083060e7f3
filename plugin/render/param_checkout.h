// Parameter checkouts for one render: every parameter the render reads is
// checked out at the host's current time and checked in exactly once, also
// when a later checkout or the render fails.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "hostapi/host_smart_render.h"

namespace tavrel {

// One checked-out parameter. Held by a shared_ptr whose disposer is
// check_in, which checks the parameter back in and frees the guard.
struct ParamCheckoutGuard {
    PF_ParamDef* def;
    const PF_InData* in_data;

    // A failed check-in is reported on the debugger output: it runs inside
    // destructors, also while unwinding.
    static void check_in(ParamCheckoutGuard* guard) noexcept;
};

class ScopedCheckoutAll {
public:
    // Checks out parameters 1 to count - 1, and 0 as well with include_input.
    // A failed checkout throws PFErrException with the host's code after the
    // ones made so far are checked back in.
    ScopedCheckoutAll(const PF_InData* in_data, int32_t count, bool include_input);
    ~ScopedCheckoutAll();
    ScopedCheckoutAll(const ScopedCheckoutAll&) = delete;
    ScopedCheckoutAll& operator=(const ScopedCheckoutAll&) = delete;

    // count entries; those not checked out are null.
    PF_ParamDef** params() { return params_.data(); }
    int32_t count() const { return int32_t(params_.size()); }

private:
    std::vector<PF_ParamDef> storage_;
    std::vector<PF_ParamDef*> params_;
    std::vector<std::shared_ptr<ParamCheckoutGuard>> guards_;
};

using RenderFunction = std::function<PF_Err(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                            PF_EffectWorld* output, PF_EffectWorld* input)>;

// Checks out parameters 1 to count - 1, the input pixels and the output, and
// runs the render with them. A failed pixel or output checkout is returned
// and the render is not run. Everything is checked back in before return.
PF_Err render_with_checked_out_params(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                      PF_LayerDef* output, PF_SmartRenderExtra* extra, int32_t count,
                                      const RenderFunction& render);

}  // namespace tavrel
