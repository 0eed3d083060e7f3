// Keyed pool of GPU objects that are expensive to create and are needed again
// with the same shape frame after frame.
//
// An object is lent out as a shared pointer whose deleter gives it back to the
// free stack of its key. The free stack is shared by the pool's map entry and by
// every lent-out object of that key, so an object outlives the removal of its
// key, and the pool itself: it then goes back to the orphaned stack and is
// destroyed with it.
//
// The pool holds no locks. Objects hold GL names, so the pool, and the last
// owner of every lent-out object, live on the rendering thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/core/gl_object_counter.h"

namespace tavrel {

// Last in, first out: the object given back last is handed out first, so the
// one most likely still warm in the driver's caches is used again.
template <typename T>
using FreeStack = std::vector<std::shared_ptr<T>>;

// Reuse steps: what happens to a free object before it is lent out again.
struct NoReuseStep {
    template <typename T, typename K>
    void operator()(T&, const K&) const {}
};

// For objects whose key leaves out some of their settings (a renderer tree is
// keyed without its exact view-sample counts): the reused object is brought in
// line with the key it is lent out for.
struct ReconfigureOnReuse {
    template <typename T, typename K>
    void operator()(T& object, const K& key) const {
        object.reconfigure(key);
    }
};

template <typename T>
class recycling_deleter {
public:
    recycling_deleter(std::shared_ptr<FreeStack<T>> stack, uint32_t max_free_per_key,
                      std::shared_ptr<T> owner)
        : stack_(std::move(stack)), max_free_per_key_(max_free_per_key), owner_(std::move(owner)) {}

    // Runs inside a shared pointer's release and must not throw: the stack's
    // storage was reserved up to the limit when it was made, so the push never
    // allocates. The stack reference goes right here rather than when the
    // control block does (a weak pointer could keep that alive), so an
    // orphaned stack is destroyed together with the last object given back.
    void operator()(T*) noexcept {
        // Given back on another thread, the object still goes to its stack:
        // destroying it there instead would release its GL names off the
        // context too. The check makes the fault visible in every build.
        check_gl_object_thread("pooled object given back");
        std::shared_ptr<FreeStack<T>> stack = std::move(stack_);
        if (stack && stack->size() < max_free_per_key_) {
            stack->push_back(std::move(owner_));
        } else {
            owner_.reset();
        }
    }

private:
    std::shared_ptr<FreeStack<T>> stack_;
    uint32_t max_free_per_key_;
    std::shared_ptr<T> owner_;
};

// T is constructed from the key alone (T(key)). K is ordered by its operator<.
template <typename T, typename K, typename ReuseStep = NoReuseStep>
class RecyclingPool {
public:
    RecyclingPool(uint32_t max_keys, uint32_t max_free_per_key)
        : max_keys_(max_keys), max_free_per_key_(max_free_per_key) {}

    RecyclingPool(const RecyclingPool&) = delete;
    RecyclingPool& operator=(const RecyclingPool&) = delete;

    // Returns an object for the key, reused or new. A constructor that throws
    // lets its exception out; the key's new, empty stack stays in the map. A
    // reuse step that throws drops the object it was given.
    std::shared_ptr<T> acquire(const K& key) {
        auto entry = free_stacks_.find(key);
        if (entry == free_stacks_.end()) {
            if (!free_stacks_.empty() && free_stacks_.size() >= max_keys_) evict_one();
            auto stack = std::make_shared<FreeStack<T>>();
            stack->reserve(max_free_per_key_);
            entry = free_stacks_.emplace(key, std::move(stack)).first;
        }
        last_used_ = entry;

        const std::shared_ptr<FreeStack<T>>& stack = entry->second;
        std::shared_ptr<T> owner;
        if (!stack->empty()) {
            owner = std::move(stack->back());
            stack->pop_back();
            ReuseStep()(*owner, key);
        } else {
            owner = std::make_shared<T>(key);
            ++created_;
        }
        T* object = owner.get();
        return std::shared_ptr<T>(object,
                                  recycling_deleter<T>(stack, max_free_per_key_, std::move(owner)));
    }

    uint32_t max_keys() const { return max_keys_; }
    uint32_t max_free_per_key() const { return max_free_per_key_; }
    std::size_t key_count() const { return free_stacks_.size(); }
    bool holds_key(const K& key) const { return free_stacks_.count(key) != 0; }

    // Free objects kept for the key; 0 for a key the pool does not hold.
    std::size_t free_count(const K& key) const {
        auto entry = free_stacks_.find(key);
        return entry == free_stacks_.end() ? 0 : entry->second->size();
    }

    // Free objects kept over all keys.
    std::size_t free_total() const {
        std::size_t n = 0;
        for (const auto& entry : free_stacks_) n += entry.second->size();
        return n;
    }

    // Destroys every free object now and forgets every key, so that a caller
    // can count the GL objects something left behind without the pool's
    // keeping in the way. Objects lent out stay valid; given back, they wait
    // on their orphaned stack and go with the last of their key. The stacks
    // are emptied, not only dropped: lent-out objects keep them alive.
    void release_free() {
        last_used_.reset();
        for (auto& entry : free_stacks_) entry.second->clear();
        free_stacks_.clear();
    }

    // Objects constructed over the pool's life; a reuse does not count. Shows
    // whether a steady frame found everything it needed in the pool.
    std::uint64_t created_count() const { return created_; }

    // The key of the latest acquire, while the pool still holds it.
    std::optional<K> last_used() const {
        if (!last_used_) return std::nullopt;
        return (*last_used_)->first;
    }

private:
    using Map = std::map<K, std::shared_ptr<FreeStack<T>>>;

    // Drops the smallest key, or the one after it when the smallest is the
    // key in use right now: alternating between two shapes must not throw
    // away the free objects of the shape about to be asked for again. With a
    // single key there is no other choice than the last used one.
    void evict_one() {
        auto victim = free_stacks_.begin();
        if (last_used_ && *last_used_ == victim && std::next(victim) != free_stacks_.end()) {
            ++victim;
        }
        if (last_used_ && *last_used_ == victim) last_used_.reset();
        free_stacks_.erase(victim);
    }

    Map free_stacks_;
    std::optional<typename Map::iterator> last_used_;
    uint32_t max_keys_;
    uint32_t max_free_per_key_;
    std::uint64_t created_ = 0;
};

}  // namespace tavrel
