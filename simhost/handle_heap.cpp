#include "simhost/handle_heap.h"

#include <cstdlib>
#include <cstring>

namespace simhost {

HandleHeap::HandleHeap() {
    retired_.reserve(kRetiredKept);
    spare_.reserve(kRetiredKept + kLiveSpares);
    for (size_t i = 0; i < kRetiredKept + kLiveSpares; ++i) spare_.push_back(new void*(nullptr));
}

HandleHeap::~HandleHeap() {
    for (auto& r : records_) {
        std::free(*r.first);
        delete r.first;
    }
    for (PF_Handle h : retired_) delete h;
    for (PF_Handle h : spare_) delete h;
}

PF_Handle HandleHeap::allocate(uint64_t size, const std::string& owner) {
    const size_t rounded = size_t((size + 15) / 16 * 16);
    void* block = std::aligned_alloc(16, rounded ? rounded : 16);
    if (block == nullptr) return nullptr;
    std::memset(block, 0xCD, rounded ? rounded : 16);
    std::lock_guard<std::mutex> lock(mutex_);
    PF_Handle h = nullptr;
    if (!spare_.empty()) {
        h = spare_.back();
        spare_.pop_back();
        *h = block;
    } else {
        h = new void*(block);
    }
    records_[h] = Record{next_serial_++, size, 0, owner};
    return h;
}

void* HandleHeap::lock(PF_Handle h) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    if (it == records_.end()) {
        misuse_.push_back("lock of an unknown or disposed handle");
        return nullptr;
    }
    ++it->second.locks;
    return *h;
}

void HandleHeap::unlock(PF_Handle h) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    if (it == records_.end()) {
        misuse_.push_back("unlock of an unknown or disposed handle");
    } else if (it->second.locks == 0) {
        misuse_.push_back(describe(h, it->second) + " unlocked without a lock");
    } else {
        --it->second.locks;
    }
}

void HandleHeap::dispose(PF_Handle h) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    if (it == records_.end()) {
        misuse_.push_back("disposal of an unknown or already disposed handle");
        return;
    }
    if (it->second.locks != 0) misuse_.push_back(describe(h, it->second) + " disposed while locked");
    std::free(*h);
    *h = nullptr;
    if (retired_.size() < kRetiredKept) {
        retired_.push_back(h);
    } else {
        PF_Handle& oldest = retired_[retired_count_ % kRetiredKept];
        // Reserved for every spare made with the heap: only handles made
        // beyond those would have to grow it.
        spare_.push_back(oldest);
        oldest = h;
    }
    ++retired_count_;
    records_.erase(it);
}

bool HandleHeap::live(PF_Handle h) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.count(h) != 0;
}

int HandleHeap::lock_count(PF_Handle h) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    return it == records_.end() ? 0 : it->second.locks;
}

uint64_t HandleHeap::size(PF_Handle h) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    return it == records_.end() ? 0 : it->second.size;
}

size_t HandleHeap::live_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

std::string HandleHeap::owner(PF_Handle h) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    return it == records_.end() ? std::string() : it->second.owner;
}

void HandleHeap::set_owner(PF_Handle h, const std::string& owner) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = records_.find(h);
    if (it != records_.end()) it->second.owner = owner;
}

std::vector<std::string> HandleHeap::locked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& r : records_)
        if (r.second.locks != 0)
            out.push_back(describe(r.first, r.second) + " left locked " + std::to_string(r.second.locks) +
                          " time(s)");
    return out;
}

std::vector<std::string> HandleHeap::leaked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& r : records_) out.push_back(describe(r.first, r.second) + " never disposed");
    return out;
}

std::vector<std::string> HandleHeap::take_misuse() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    out.swap(misuse_);
    return out;
}

std::string HandleHeap::describe(PF_Handle, const Record& r) const {
    return "handle #" + std::to_string(r.serial) + " (" + r.owner + ", " + std::to_string(r.size) +
           " bytes)";
}

}  // namespace simhost
