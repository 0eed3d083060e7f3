#include "plugin/params/default_grid_handle.h"

#include <cstring>
#include <new>

#include "hostaccess/host_handle_lock.h"
#include "hostaccess/plugin_errors.h"
#include "surface/grid/control_point_grid.h"

namespace tavrel {

void default_grid_handle(const PF_InData* in_data, PF_OutData*, PF_Handle* place) {
    if (in_data == nullptr || in_data->utils == nullptr || place == nullptr)
        throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    const PF_UtilCallbacks* utils = in_data->utils;
    PF_Handle handle = utils->host_new_handle(sizeof(ControlPointGrid));
    if (handle == nullptr) throw PFErrException(PF_Err_OUT_OF_MEMORY);
    {
        HostHandleLock lock(in_data, handle);
        if (lock.data() == nullptr) {
            utils->host_dispose_handle(handle);
            throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
        }
        // Cleared first: the record is copied byte for byte later, padding
        // and unused slots included.
        std::memset(lock.data(), 0, sizeof(ControlPointGrid));
        new (lock.data()) ControlPointGrid(2, 2);
    }
    *place = handle;
}

}  // namespace tavrel
