#include "simhost/minimal_handles.h"

#include <cstdlib>
#include <cstring>

namespace simhost {
namespace {

// Effects keep doubles and shared pointers in their blocks.
constexpr size_t kAlignment = 16;

}  // namespace

MinimalHandles::~MinimalHandles() {
    for (auto& [h, b] : blocks_) std::free(b.data);
}

PF_Handle MinimalHandles::allocate(uint64_t size) {
    const size_t rounded = size_t((size + kAlignment - 1) / kAlignment * kAlignment);
    void* data = std::aligned_alloc(kAlignment, rounded == 0 ? kAlignment : rounded);
    if (data == nullptr) return nullptr;
    std::memset(data, 0, rounded == 0 ? kAlignment : rounded);
    Block b;
    b.master = std::make_unique<void*>(data);
    b.data = data;
    b.size = size;
    std::lock_guard<std::mutex> lock(mutex_);
    b.serial = next_serial_++;
    PF_Handle h = b.master.get();
    blocks_.emplace(h, std::move(b));
    return h;
}

void* MinimalHandles::lock(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        misuse_.push_back("lock of an unknown handle");
        return nullptr;
    }
    ++it->second.locks;
    return it->second.data;
}

void MinimalHandles::unlock(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        misuse_.push_back("unlock of an unknown handle");
    } else if (it->second.locks == 0) {
        misuse_.push_back("unlock of handle " + std::to_string(it->second.serial) +
                          " without a lock");
    } else {
        --it->second.locks;
    }
}

void MinimalHandles::dispose(PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        misuse_.push_back("disposal of an unknown handle");
        return;
    }
    std::free(it->second.data);
    blocks_.erase(it);
}

std::vector<std::string> MinimalHandles::take_misuse() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    out.swap(misuse_);
    return out;
}

bool MinimalHandles::live(PF_Handle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.count(handle) != 0;
}

uint64_t MinimalHandles::size(PF_Handle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    return it == blocks_.end() ? 0 : it->second.size;
}

int MinimalHandles::lock_count(PF_Handle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    return it == blocks_.end() ? 0 : it->second.locks;
}

size_t MinimalHandles::live_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
}

std::vector<std::string> MinimalHandles::locked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [h, b] : blocks_)
        if (b.locks != 0)
            out.push_back("handle " + std::to_string(b.serial) + " of " + std::to_string(b.size) +
                          " bytes locked " + std::to_string(b.locks) + " times");
    return out;
}

}  // namespace simhost
