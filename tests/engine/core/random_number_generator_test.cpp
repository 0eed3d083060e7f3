#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/core/random_number_generator.h"

namespace {

using tavrel::RandomNumberGenerator;

// The distributions written out against the standard library's engine, which
// shares the generator's parameters but none of its code.
double expected_value(std::uint32_t kind, std::uint32_t raw) {
    const double u = raw / 4294967296.0;
    return kind == 1 ? u * 2.0 - 1.0 : u;
}

TEST(RandomNumberGenerator, MatchesTheStandardMersenneTwister) {
    struct Case {
        std::uint32_t kind, seed;
        double low, high;
    };
    const std::vector<Case> cases = {
        {1, 20070528, -1.0, 1.0},
        {0, 20070528, 0.0, 1.0},
        {2, 1, 0.0, 1.0},
        {1, 0, -1.0, 1.0},
        {7, 0xFFFFFFFFu, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        RandomNumberGenerator generator(c.kind, c.seed);
        std::mt19937 reference(c.seed);
        for (int i = 0; i < 20000; ++i) {
            const double value = generator();
            ASSERT_EQ(value, expected_value(c.kind, static_cast<std::uint32_t>(reference())))
                << "kind " << c.kind << " seed " << c.seed << " draw " << i;
            ASSERT_GE(value, c.low);
            ASSERT_LT(value, c.high);
        }
    }
}

TEST(RandomNumberGenerator, DefaultIsKindOneWithItsSeed) {
    const auto generator = tavrel::make_default_random_number_generator();
    EXPECT_EQ(generator->kind(), 1u);
    RandomNumberGenerator constructed;
    std::mt19937 reference(20070528);
    for (int i = 0; i < 100; ++i) {
        const double expected = expected_value(1, static_cast<std::uint32_t>(reference()));
        EXPECT_EQ((*generator)(), expected);
        EXPECT_EQ(constructed(), expected);
    }
}

TEST(RandomNumberGenerator, ChildIsSeededFromTheParentsNextOutput) {
    struct Case {
        std::uint32_t kind, seed, offset;
    };
    const std::vector<Case> cases = {
        {1, 20070528, 0},
        {1, 20070528, 7},
        {0, 99, 123456},
        {1, 20070528, 0xFFFFFFFFu},  // wraps modulo 2^32
    };
    for (const Case& c : cases) {
        RandomNumberGenerator parent(c.kind, c.seed);
        std::mt19937 parent_reference(c.seed);
        const std::uint32_t raw = static_cast<std::uint32_t>(parent_reference());
        RandomNumberGenerator child = RandomNumberGenerator::child(parent, c.offset);
        EXPECT_EQ(child.kind(), c.kind);
        std::mt19937 child_reference(static_cast<std::uint32_t>(raw + c.offset));
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(child(), expected_value(c.kind, static_cast<std::uint32_t>(child_reference())))
                << "offset " << c.offset << " draw " << i;
        }
        // The parent moved on by exactly one output.
        EXPECT_EQ(parent(), expected_value(c.kind, static_cast<std::uint32_t>(parent_reference())));
    }
}

}  // namespace
