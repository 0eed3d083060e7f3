// A host handle locked for one scope. A failed lock is not an error here:
// callers map it to the code their command must return, and a handle whose
// lock failed is never unlocked.
#pragma once

#include "hostapi/host_effect.h"

namespace tavrel {

class HostHandleLock {
public:
    HostHandleLock(const PF_InData* in_data, PF_Handle handle)
        : utils_(in_data ? in_data->utils : nullptr), handle_(handle) {
        if (utils_ != nullptr && handle_ != nullptr && utils_->host_lock_handle != nullptr)
            data_ = utils_->host_lock_handle(handle_);
    }
    ~HostHandleLock() { unlock(); }
    HostHandleLock(const HostHandleLock&) = delete;
    HostHandleLock& operator=(const HostHandleLock&) = delete;

    // Null when there was no handle or the host refused the lock.
    void* data() const { return data_; }
    template <class T>
    T* as() const { return static_cast<T*>(data_); }

    void unlock() noexcept {
        if (data_ != nullptr) {
            data_ = nullptr;
            utils_->host_unlock_handle(handle_);
        }
    }

private:
    const PF_UtilCallbacks* utils_;
    PF_Handle handle_;
    void* data_ = nullptr;
};

}  // namespace tavrel
