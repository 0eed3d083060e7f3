#include "plugin/params/arbitrary_callback.h"

#include <climits>
#include <cstring>

#include "hostaccess/host_handle_lock.h"
#include "plugin/core/return_message.h"
#include "plugin/params/default_grid_handle.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/lx_persist.h"

namespace tavrel {

namespace {

// The host's sizes are unsigned 32-bit; the form's sizes fit far below
// INT32_MAX, so a larger buffer loses nothing by being called INT32_MAX.
int32_t capacity_of(A_u_long size) { return size > A_u_long(INT32_MAX) ? INT32_MAX : int32_t(size); }

PF_Err flat_size(const PF_InData* in_data, PF_Handle handle, A_u_long* size) {
    if (size == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    // The grid is read under a lock: an unlocked host block may move.
    HostHandleLock lock(in_data, handle);
    CLXPersist persist;
    if (const int err = persist.set_grid(lock.as<ControlPointGrid>())) return err;
    const int32_t n = persist.flat_size();
    if (n < 1) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    *size = A_u_long(n);
    return PF_Err_NONE;
}

}  // namespace

PF_Err copy_grid_handle(const PF_InData* in_data, PF_Handle source, PF_Handle* destination) {
    if (source == nullptr) return PF_Err_NONE;
    HostHandleLock src(in_data, source);
    if (src.data() == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    if (destination == nullptr || *destination == nullptr) return PF_Err_NONE;
    HostHandleLock dst(in_data, *destination);
    if (dst.data() == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    std::memcpy(dst.data(), src.data(), sizeof(ControlPointGrid));
    return PF_Err_NONE;
}

PF_Err flatten_grid(const PF_InData* in_data, PF_Handle handle, void* flat, A_u_long size) {
    HostHandleLock lock(in_data, handle);
    CLXPersist persist;
    if (const int err = persist.set_grid(lock.as<ControlPointGrid>())) return err;
    if (const int err = persist.set_buffer(flat, capacity_of(size))) return err;
    return persist.write();
}

PF_Err unflatten_grid(const PF_InData* in_data, PF_Handle* out, const void* flat, A_u_long size) {
    if (out == nullptr || *out == nullptr) return PF_Err_NONE;
    HostHandleLock lock(in_data, *out);
    if (lock.data() == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    CLXPersist persist;
    if (const int err = persist.set_grid(lock.as<ControlPointGrid>())) return err;
    // The reader only reads; the buffer stays the host's.
    if (const int err = persist.set_buffer(const_cast<void*>(flat), capacity_of(size))) return err;
    return persist.read();
}

PF_Err interpolate_grids(const PF_InData* in_data, PF_Handle left, PF_Handle right, double t,
                         PF_Handle* out) {
    if (left == nullptr) return PF_Err_NONE;
    HostHandleLock l(in_data, left);
    if (l.data() == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    if (right == nullptr) return PF_Err_NONE;
    HostHandleLock r(in_data, right);
    if (r.data() == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    if (out == nullptr || *out == nullptr) return PF_Err_NONE;
    HostHandleLock o(in_data, *out);
    if (o.data() == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    o.as<ControlPointGrid>()->interpolate(*l.as<ControlPointGrid>(), *r.as<ControlPointGrid>(),
                                          static_cast<float>(t));
    return PF_Err_NONE;
}

PF_Err compare_grids(const PF_InData* in_data, PF_Handle a, PF_Handle b, PF_ArbCompareResult* result) {
    if (result == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *result = PF_ArbCompare_EQUAL;
    if (a == nullptr || b == nullptr) return PF_Err_NONE;
    HostHandleLock la(in_data, a);
    HostHandleLock lb(in_data, b);
    if (la.data() == nullptr || lb.data() == nullptr) {
        *result = PF_ArbCompare_NOT_EQUAL;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!(*la.as<ControlPointGrid>() == *lb.as<ControlPointGrid>())) *result = PF_ArbCompare_NOT_EQUAL;
    return PF_Err_NONE;
}

PF_Err arbitrary_callback(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*,
                          void* extra) {
    auto* arb = static_cast<PF_ArbParamsExtra*>(extra);
    if (arb == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_FunctionSelector selector = arb->which_function;
    // Every argument block starts with the refcon.
    if (selector >= PF_Arbitrary_NEW_FUNC && selector <= PF_Arbitrary_COMPARE_FUNC &&
        arb->u.new_func_params.refconPV != kGridParamRefcon)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;

    switch (selector) {
        case PF_Arbitrary_NEW_FUNC:
            default_grid_handle(in_data, out_data, arb->u.new_func_params.arbPH);
            return PF_Err_NONE;

        case PF_Arbitrary_DISPOSE_FUNC:
            // The grid holds no resources: disposing the memory is all.
            if (arb->u.dispose_func_params.arbH != nullptr && in_data && in_data->utils)
                in_data->utils->host_dispose_handle(arb->u.dispose_func_params.arbH);
            return PF_Err_NONE;

        case PF_Arbitrary_COPY_FUNC: {
            auto& a = arb->u.copy_func_params;
            default_grid_handle(in_data, out_data, a.dst_arbPH);
            return copy_grid_handle(in_data, a.src_arbH, a.dst_arbPH);
        }

        case PF_Arbitrary_FLAT_SIZE_FUNC:
            return flat_size(in_data, arb->u.flat_size_func_params.arbH,
                             arb->u.flat_size_func_params.flat_data_sizePLu);

        case PF_Arbitrary_FLATTEN_FUNC: {
            auto& a = arb->u.flatten_func_params;
            return flatten_grid(in_data, a.arbH, a.flat_dataPV, a.buf_sizeLu);
        }

        case PF_Arbitrary_UNFLATTEN_FUNC: {
            auto& a = arb->u.unflatten_func_params;
            default_grid_handle(in_data, out_data, a.arbPH);
            if (a.buf_sizeLu == kVersion1FlatSizeA || a.buf_sizeLu == kVersion1FlatSizeB) {
                write_return_message(in_data, out_data, kVersion1Message);
                return PF_Err_NONE;
            }
            return unflatten_grid(in_data, a.arbPH, a.flat_dataPV, a.buf_sizeLu);
        }

        case PF_Arbitrary_INTERP_FUNC: {
            auto& a = arb->u.interp_func_params;
            default_grid_handle(in_data, out_data, a.interpPH);
            return interpolate_grids(in_data, a.left_arbH, a.right_arbH, a.tF, a.interpPH);
        }

        case PF_Arbitrary_COMPARE_FUNC: {
            auto& a = arb->u.compare_func_params;
            return compare_grids(in_data, a.a_arbH, a.b_arbH, a.compareP);
        }

        case PF_Arbitrary_PRINT_SIZE_FUNC:
            if (arb->u.print_size_func_params.print_sizePLu == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
            *arb->u.print_size_func_params.print_sizePLu = 2;
            return PF_Err_NONE;

        case PF_Arbitrary_PRINT_FUNC: {
            auto& a = arb->u.print_func_params;
            if (a.print_bufferPC == nullptr || a.print_sizeLu < 2) return PF_Err_BAD_CALLBACK_PARAM;
            a.print_bufferPC[0] = 'A';
            a.print_bufferPC[1] = '\0';
            return PF_Err_NONE;
        }

        default:  // SCAN and anything later: nothing to do
            return PF_Err_NONE;
    }
}

}  // namespace tavrel
