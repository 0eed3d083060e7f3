// The pool with a stand-in object type: no GL needed.
#include "engine/core/recycling_pool.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "engine/gpu/renderer_description.h"

namespace tavrel {
namespace {

// Records which objects are alive, by serial number.
struct Census {
    int constructed = 0;
    std::set<int> alive;
    std::vector<int> destroyed;
};

Census* census = nullptr;

struct PooledObject {
    explicit PooledObject(int key_) : key(key_), serial(++census->constructed) {
        if (key_ == kThrowingKey) throw std::runtime_error("cannot make this one");
        census->alive.insert(serial);
    }
    ~PooledObject() {
        census->alive.erase(serial);
        census->destroyed.push_back(serial);
    }
    PooledObject(const PooledObject&) = delete;
    PooledObject& operator=(const PooledObject&) = delete;

    static constexpr int kThrowingKey = 13;
    int key;
    int serial;
};

using Pool = RecyclingPool<PooledObject, int>;

class RecyclingPoolTest : public ::testing::Test {
protected:
    void SetUp() override { census = &counts; }
    void TearDown() override { census = nullptr; }
    Census counts;
};

// Acquires and at once gives back one object of each key, in the order given.
void touch(Pool& pool, const std::vector<int>& keys) {
    for (int key : keys) pool.acquire(key);
}

TEST_F(RecyclingPoolTest, EvictsTheSmallestKeyUnlessItIsTheLastUsed) {
    struct Case {
        const char* name;
        std::vector<int> order;  // of first use; the last one is the last used
        int new_key;
        int evicted;
    };
    const int k1 = 10, k2 = 20, k3 = 30, k4 = 40;
    const Case cases[] = {
        {"K1 last used", {k2, k3, k1}, k4, k2},
        {"K2 last used", {k1, k3, k2}, k4, k1},
        {"K3 last used", {k1, k2, k3}, k4, k1},
        // The new key may sort anywhere, also below all others.
        {"K1 last used, new key smallest", {k2, k3, k1}, 1, k2},
        {"K2 last used, new key in between", {k1, k3, k2}, 25, k1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        counts = Census{};
        Pool pool(3, 2);
        touch(pool, c.order);
        ASSERT_EQ(pool.key_count(), 3u);
        const int live_before = int(counts.alive.size());
        ASSERT_EQ(live_before, 3);

        const int new_key = c.new_key;
        auto object = pool.acquire(new_key);
        EXPECT_EQ(pool.key_count(), 3u);
        EXPECT_FALSE(pool.holds_key(c.evicted));
        for (int key : {k1, k2, k3}) {
            if (key != c.evicted) {
                EXPECT_TRUE(pool.holds_key(key)) << key;
            }
        }
        EXPECT_TRUE(pool.holds_key(new_key));
        EXPECT_EQ(pool.last_used(), std::optional<int>(new_key));
        // The evicted key's free object went with it; the new one is lent out.
        EXPECT_EQ(int(counts.alive.size()), live_before);
    }
}

TEST_F(RecyclingPoolTest, OneKeyPoolReplacesItsOnlyKey) {
    for (uint32_t max_keys : {0u, 1u}) {
        SCOPED_TRACE(max_keys);
        counts = Census{};
        Pool pool(max_keys, 2);
        touch(pool, {1});
        touch(pool, {2});
        EXPECT_EQ(pool.key_count(), 1u);
        EXPECT_TRUE(pool.holds_key(2));
        EXPECT_EQ(pool.last_used(), std::optional<int>(2));
        EXPECT_EQ(counts.alive.size(), 1u);
    }
}

TEST_F(RecyclingPoolTest, KeepsAtMostTheFreeLimitPerKey) {
    Pool pool(3, 3);
    std::vector<std::shared_ptr<PooledObject>> lent;
    for (int i = 0; i < 4; ++i) lent.push_back(pool.acquire(7));
    EXPECT_EQ(counts.constructed, 4);
    EXPECT_EQ(pool.free_count(7), 0u);

    for (std::size_t i = 0; i < lent.size(); ++i) {
        lent[i].reset();
        EXPECT_EQ(pool.free_count(7), std::min<std::size_t>(i + 1, 3)) << i;
    }
    // The fourth one given back found the stack full.
    EXPECT_EQ(counts.destroyed, std::vector<int>{4});
    EXPECT_EQ(counts.alive, (std::set<int>{1, 2, 3}));

    // Free objects of every key add up.
    auto other = pool.acquire(9);
    other.reset();
    EXPECT_EQ(pool.free_total(), 4u);
}

TEST_F(RecyclingPoolTest, FreeLimitZeroKeepsNothing) {
    Pool pool(3, 0);
    touch(pool, {7, 7});
    EXPECT_EQ(counts.constructed, 2);
    EXPECT_TRUE(counts.alive.empty());
    EXPECT_EQ(pool.free_count(7), 0u);
}

TEST_F(RecyclingPoolTest, ReusesLastInFirstOut) {
    Pool pool(3, 3);
    auto a = pool.acquire(5);
    auto b = pool.acquire(5);
    auto c = pool.acquire(5);
    const int sa = a->serial, sb = b->serial, sc = c->serial;
    a.reset();
    b.reset();
    c.reset();

    EXPECT_EQ(pool.acquire(5)->serial, sc);  // given back at once: on top again
    auto first = pool.acquire(5);
    auto second = pool.acquire(5);
    auto third = pool.acquire(5);
    EXPECT_EQ(first->serial, sc);
    EXPECT_EQ(second->serial, sb);
    EXPECT_EQ(third->serial, sa);
    EXPECT_EQ(counts.constructed, 3);
    EXPECT_EQ(pool.created_count(), 3u);  // the reuses made nothing
    EXPECT_EQ(pool.acquire(5)->serial, 4);  // the stack was empty
    EXPECT_EQ(pool.created_count(), 4u);
}

TEST_F(RecyclingPoolTest, ObjectOutlivesItsRemovedKey) {
    Pool pool(2, 3);
    auto held = pool.acquire(1);
    touch(pool, {1});  // a free object of key 1 waits on the stack
    ASSERT_EQ(pool.free_count(1), 1u);
    const int free_serial = 2;
    ASSERT_TRUE(counts.alive.count(free_serial));

    touch(pool, {2, 3});  // key 1 is the smallest and not the last used: removed
    ASSERT_FALSE(pool.holds_key(1));

    // The orphaned stack lives on with the lent-out object, and so does the
    // free object on it.
    EXPECT_EQ(held->key, 1);
    EXPECT_TRUE(counts.alive.count(held->serial));
    EXPECT_TRUE(counts.alive.count(free_serial));

    // A new request for key 1 no longer finds the orphaned stack.
    EXPECT_NE(pool.acquire(1)->serial, free_serial);

    const int held_serial = held->serial;
    held.reset();
    EXPECT_FALSE(counts.alive.count(held_serial));
    EXPECT_FALSE(counts.alive.count(free_serial));
}

TEST_F(RecyclingPoolTest, ReleaseFreeDestroysFreeObjectsAndKeepsLentOnes) {
    Pool pool(3, 3);
    auto held = pool.acquire(1);
    touch(pool, {1, 2});  // free: one of key 1 (its stack shared with held), one of key 2
    ASSERT_EQ(pool.free_total(), 2u);
    ASSERT_EQ(counts.alive.size(), 3u);

    pool.release_free();
    EXPECT_EQ(pool.free_total(), 0u);
    EXPECT_EQ(pool.key_count(), 0u);
    EXPECT_FALSE(pool.last_used().has_value());
    // Only the lent-out object is left, and it still works.
    EXPECT_EQ(counts.alive, std::set<int>{held->serial});
    EXPECT_EQ(held->key, 1);

    // Given back, it goes with its orphaned stack; the pool keeps nothing.
    held.reset();
    EXPECT_TRUE(counts.alive.empty());
    EXPECT_EQ(pool.free_total(), 0u);
    // The pool works as before afterwards.
    const int serial = pool.acquire(1)->serial;
    EXPECT_EQ(pool.acquire(1)->serial, serial);
}

TEST_F(RecyclingPoolTest, ObjectOutlivesItsPool) {
    auto pool = std::make_unique<Pool>(3, 3);
    auto held = pool->acquire(4);
    touch(*pool, {4, 5});
    EXPECT_EQ(counts.alive.size(), 3u);

    pool.reset();
    // Key 5's free object went with the pool. Key 4's stack is shared with
    // the lent-out object and keeps its free object until that comes back.
    EXPECT_EQ(counts.alive, (std::set<int>{1, 2}));
    EXPECT_EQ(held->serial, 1);
    EXPECT_EQ(held->key, 4);

    held.reset();
    EXPECT_TRUE(counts.alive.empty());
}

TEST_F(RecyclingPoolTest, FailedConstructionLeavesTheEmptyKey) {
    Pool pool(3, 2);
    touch(pool, {1});
    EXPECT_THROW(pool.acquire(PooledObject::kThrowingKey), std::runtime_error);
    EXPECT_TRUE(pool.holds_key(PooledObject::kThrowingKey));
    EXPECT_EQ(pool.free_count(PooledObject::kThrowingKey), 0u);
    EXPECT_EQ(pool.last_used(), std::optional<int>(PooledObject::kThrowingKey));
    // Nothing of the failed attempt is left alive; the pool goes on working.
    EXPECT_EQ(counts.alive.size(), 1u);
    EXPECT_EQ(pool.acquire(1)->key, 1);
    // Only the object that was made counts as created.
    EXPECT_EQ(pool.created_count(), 1u);
}

TEST_F(RecyclingPoolTest, WeakReferenceDoesNotKeepAnOrphanedStack) {
    Pool pool(1, 2);
    auto held = pool.acquire(1);
    std::weak_ptr<PooledObject> watcher = held;
    touch(pool, {2});  // key 1 removed
    held.reset();
    // Given back to the orphaned stack, which went at once although the
    // lent-out pointer's bookkeeping is still alive for the weak pointer.
    EXPECT_EQ(counts.alive.size(), 1u);
    EXPECT_TRUE(watcher.expired());
}

// A renderer tree stands in: keyed without its exact view-sample counts and
// brought in line with them when reused.
struct FakeRendererTree {
    explicit FakeRendererTree(const RendererDescription& d) : built_for(d) {}
    void reconfigure(const RendererDescription& d) {
        built_for = d;
        ++reconfigurations;
    }
    RendererDescription built_for;
    int reconfigurations = 0;
};

TEST(RecyclingPoolReuseStep, ReusedRendererIsReconfiguredForTheRequest) {
    RecyclingPool<FakeRendererTree, RendererDescription, ReconfigureOnReuse> pool(3, 2);
    RendererDescription lens;
    lens.lens_samples = 4;
    RendererDescription subpixel;
    subpixel.subpixel_samples = 9;

    FakeRendererTree* first = nullptr;
    {
        auto tree = pool.acquire(lens);
        first = tree.get();
        EXPECT_EQ(tree->reconfigurations, 0);
    }
    auto tree = pool.acquire(subpixel);
    EXPECT_EQ(tree.get(), first);
    EXPECT_EQ(pool.key_count(), 1u);
    EXPECT_EQ(tree->reconfigurations, 1);
    EXPECT_EQ(tree->built_for.lens_samples, 0u);
    EXPECT_EQ(tree->built_for.subpixel_samples, 9u);
}

}  // namespace
}  // namespace tavrel
