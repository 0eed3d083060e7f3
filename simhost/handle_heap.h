// Host handles as a careful host keeps them: a pointer to a master pointer,
// a lock count, who owns the handle, and a record of every misuse.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/host_types.h"

namespace simhost {

class HandleHeap {
public:
    HandleHeap();
    ~HandleHeap();
    HandleHeap(const HandleHeap&) = delete;
    HandleHeap& operator=(const HandleHeap&) = delete;

    // A new block, 16-byte aligned and filled with 0xCD so that a record
    // read before it was constructed shows up as garbage.
    PF_Handle allocate(uint64_t size, const std::string& owner);
    // Null for a handle this heap does not know (recorded as misuse).
    void* lock(PF_Handle h);
    void unlock(PF_Handle h);
    void dispose(PF_Handle h);

    bool live(PF_Handle h) const;
    int lock_count(PF_Handle h) const;
    uint64_t size(PF_Handle h) const;
    size_t live_count() const;
    std::string owner(PF_Handle h) const;
    void set_owner(PF_Handle h, const std::string& owner);

    // "handle #N (owner) ..." for every handle still locked.
    std::vector<std::string> locked() const;
    // For every handle still alive.
    std::vector<std::string> leaked() const;
    // Misuse since the last call: unknown handles, double disposal,
    // unlocks without a lock, disposal while locked.
    std::vector<std::string> take_misuse();

private:
    struct Record {
        uint64_t serial;
        uint64_t size;
        int locks;
        std::string owner;
    };
    std::string describe(PF_Handle h, const Record& r) const;

    mutable std::mutex mutex_;
    std::map<PF_Handle, Record> records_;
    std::vector<std::string> misuse_;
    // Master pointers of the latest kRetiredKept disposed handles are kept
    // from reuse, so that a stale handle stays recognisable as disposed.
    // Once the ring is full the oldest goes back to the spares, from which
    // new handles take their master pointers. The spares are made with the
    // heap, as many as the ring holds and kLiveSpares more for the handles
    // alive at once, so that the memory held does not grow with the
    // disposals while the ring fills (four handles a frame fill it only
    // after a thousand frames); only more live handles than that need more.
    static constexpr size_t kRetiredKept = 4096;
    static constexpr size_t kLiveSpares = 256;
    std::vector<PF_Handle> retired_;  // a ring once full
    size_t retired_count_ = 0;
    std::vector<PF_Handle> spare_;
    uint64_t next_serial_ = 1;
};

}  // namespace simhost
