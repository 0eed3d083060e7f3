// The engine's pools as it starts: all seven, empty, with their limits.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "engine/gpu/gl_engine.h"
#include "tests/engine/shared_engine.h"

namespace {

struct PoolFacts {
    const char* name;
    uint32_t max_keys;
    uint32_t max_free_per_key;
    std::size_t key_count;
};

template <typename Pool>
PoolFacts facts(const char* name, const Pool& pool) {
    return {name, pool.max_keys(), pool.max_free_per_key(), pool.key_count()};
}

TEST(EnginePools, StartsWithItsSevenPools) {
    tavrel_test::run_on_engine([](tavrel::GlEngine& engine) {
        const PoolFacts expected[] = {
            {"texture", 3, 6, 0},       {"render buffer", 3, 2, 0}, {"render target", 3, 3, 0},
            {"PBO", 3, 3, 0},           {"dual peeling", 3, 2, 0},  {"renderer", 3, 2, 0},
            {"accumulation", 3, 2, 0},
        };
        const PoolFacts actual[] = {
            facts("texture", engine.texture_pool()),
            facts("render buffer", engine.render_buffer_pool()),
            facts("render target", engine.render_target_pool()),
            facts("PBO", engine.pbo_pool()),
            facts("dual peeling", engine.dual_peeling_pool()),
            facts("renderer", engine.renderer_pool()),
            facts("accumulation", engine.accumulation_pool()),
        };
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            SCOPED_TRACE(expected[i].name);
            EXPECT_EQ(actual[i].max_keys, expected[i].max_keys);
            EXPECT_EQ(actual[i].max_free_per_key, expected[i].max_free_per_key);
            EXPECT_EQ(actual[i].key_count, expected[i].key_count);
        }
    });
}

}  // namespace
