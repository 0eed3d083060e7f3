#include "plugin/default_grid_handle.h"

#include <cstring>
#include <new>

#include "plugin/plugin_errors.h"
#include "surface/control_point_grid.h"

namespace tavrel {

void default_grid_handle(const PF_InData* in_data, PF_OutData*, PF_Handle* place) {
    const PF_UtilCallbacks* utils = in_data->utils;
    PF_Handle handle = utils->host_new_handle(sizeof(ControlPointGrid));
    if (handle == nullptr) throw PFErrException(PF_Err_OUT_OF_MEMORY);
    void* block = utils->host_lock_handle(handle);
    if (block == nullptr) {
        // Nobody else holds the handle yet; keeping it would leak it.
        utils->host_dispose_handle(handle);
        throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    // Slots past the point count are copied with the grid; clearing keeps
    // them from carrying whatever the host's block held.
    std::memset(block, 0, sizeof(ControlPointGrid));
    try {
        new (block) ControlPointGrid(2, 2);
    } catch (...) {
        utils->host_unlock_handle(handle);
        utils->host_dispose_handle(handle);
        throw;
    }
    *place = handle;
    utils->host_unlock_handle(handle);
}

}  // namespace tavrel
