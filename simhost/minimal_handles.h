// Host memory handles: a pointer to a master pointer, so the effect can
// dereference a handle without locking it. Lock counts are kept so that a
// strict host can find locks left behind, and allocation or locking can be
// made to fail through the suite registry's fault injection
// ("host_new_handle", "host_lock_handle"). Deliberately small: the names
// follow the fuller handle heap of the host so that one can replace it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/host_types.h"

namespace simhost {

class MinimalHandles {
public:
    MinimalHandles() = default;
    ~MinimalHandles();
    MinimalHandles(const MinimalHandles&) = delete;
    MinimalHandles& operator=(const MinimalHandles&) = delete;

    // A zeroed block of `size` bytes, 16-byte aligned; null when it cannot be had.
    PF_Handle allocate(uint64_t size);
    // The block, counted as one more lock; null for a handle this host did not make.
    void* lock(PF_Handle handle);
    // Unknown handles and unlocks without a lock are kept as misuse.
    void unlock(PF_Handle handle);
    // Unknown handles (never made, or disposed already) are kept as misuse.
    void dispose(PF_Handle handle);

    bool live(PF_Handle handle) const;
    uint64_t size(PF_Handle handle) const;
    int lock_count(PF_Handle handle) const;
    size_t live_count() const;
    // "handle N of S bytes locked L times" for each handle still locked.
    std::vector<std::string> locked() const;
    // Misuse since the last call.
    std::vector<std::string> take_misuse();

private:
    struct Block {
        std::unique_ptr<void*> master;
        void* data = nullptr;
        uint64_t size = 0;
        int locks = 0;
        uint64_t serial = 0;
    };
    mutable std::mutex mutex_;
    std::map<PF_Handle, Block> blocks_;
    std::vector<std::string> misuse_;
    uint64_t next_serial_ = 1;
};

}  // namespace simhost
