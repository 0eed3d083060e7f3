// Scoped locks of the global, sequence and grid-parameter handles: the only
// way other code reaches them.
#pragma once

#include "hostaccess/host_handle_lock.h"
#include "hostapi/host_effect.h"
#include "plugin/core/global_data.h"
#include "surface/grid/control_point_grid.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

// The grid parameter "Mesh Distortion".

// PFErrException 512 for a null in_data or a refused lock.
class GlobalDataLock {
public:
    explicit GlobalDataLock(const PF_InData* in_data);
    GlobalData* get() const { return data_; }
    GlobalData* operator->() const { return data_; }

private:
    HostHandleLock lock_;
    GlobalData* data_;
};

// PFErrException 512 for a null in_data, a refused lock or a record whose
// magic is not the sequence record's.
class SequenceDataLock {
public:
    explicit SequenceDataLock(const PF_InData* in_data);
    SequenceData* get() const { return data_; }
    SequenceData* operator->() const { return data_; }

private:
    HostHandleLock lock_;
    SequenceData* data_;
};

// std::runtime_error "Cannot get handle." when the grid parameter has no
// value handle (or it cannot be locked).
class ArbHandleLock {
public:
    // grid_index: the effect's "Mesh Distortion" (5 in the first effect's
    // table, 8 in the second's).
    ArbHandleLock(PF_ParamDef* params[], const PF_InData* in_data, int32_t grid_index);
    ControlPointGrid* get() const { return grid_; }
    ControlPointGrid* operator->() const { return grid_; }

private:
    static PF_Handle value_handle(PF_ParamDef* params[], int32_t grid_index);
    HostHandleLock lock_;
    ControlPointGrid* grid_;
};

}  // namespace tavrel
