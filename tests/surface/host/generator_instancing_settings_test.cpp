// The "Generator" group read into the instancing settings: units, choices
// (a choice outside the list is the first), and the randomised vectors'
// generators against a Mersenne Twister seeded here.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "surface/host/generator_instancing_settings.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;
using G = AEGeneratorInstancingParams;

constexpr int32_t kBase = 218;

// A new instance's values: the popups at the 0 they are declared with.
tavrel_test::ParamTable defaults(int32_t base = kBase) {
    tavrel_test::ParamTable p;
    p.slider(base + G::kInstances, 1);
    p.slider(base + G::kRandomSeed, 1197739);
    for (int32_t i : {G::kUniformScale, G::kIncrementalScale}) {
        for (int32_t c = 0; c < 3; ++c) p.real(base + i + c, 100.0);
    }
    return p;
}

void expect_vec(const Vec3d& v, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(v.x, x);
    EXPECT_DOUBLE_EQ(v.y, y);
    EXPECT_DOUBLE_EQ(v.z, z);
}

TEST(GeneratorInstancingSettings, UnitsOfEverySetting) {
    tavrel_test::ParamTable p = defaults();
    p.slider(kBase + G::kInstances, 7);
    p.real(kBase + G::kOpacity, -35.0);
    p.popup(kBase + G::kSpatialDistribution, 3);
    p.real(kBase + G::kInstanceOffset, 12.5);
    p.real(kBase + G::kInstanceOffset + 1, -3.0);
    p.real(kBase + G::kInstanceOffset + 2, 500.0);
    p.angle(kBase + G::kSpiralRotation, 15.0);
    p.angle(kBase + G::kSpiralRotation + 1, -90.5);
    p.angle(kBase + G::kSpiralRotation + 2, 360.0);
    p.angle(kBase + G::kIncrementalRotation, 1.25);
    p.angle(kBase + G::kIncrementalRotation + 2, -45.0);
    p.real(kBase + G::kUniformScale, 50.0);
    p.real(kBase + G::kUniformScale + 2, 250.0);
    p.real(kBase + G::kIncrementalScale + 1, 80.0);
    p.real(kBase + G::kRandomAmplitude, 0.5);
    const G g(p.params(), kBase);
    EXPECT_EQ(g.instance_count(), 7u);
    EXPECT_DOUBLE_EQ(g.opacity(), -0.35);
    EXPECT_EQ(g.spatial_distribution(), 2u);
    expect_vec(g.instance_offset().value, 12.5, -3.0, 500.0);
    expect_vec(g.spiral_rotation(), 15.0, -90.5, 360.0);
    expect_vec(g.incremental_rotation().value, 1.25, 0.0, -45.0);
    expect_vec(g.uniform_scale(), 0.5, 1.0, 2.5);
    expect_vec(g.incremental_scale().value, 1.0, 0.8, 1.0);
    // The amplitude: "Random Amplitude" times 100, 180 and 0.1.
    EXPECT_DOUBLE_EQ(g.instance_offset().amplitude, 50.0);
    EXPECT_DOUBLE_EQ(g.incremental_rotation().amplitude, 90.0);
    EXPECT_DOUBLE_EQ(g.incremental_scale().amplitude, 0.05);
    // Not randomised.
    EXPECT_FALSE(g.instance_offset().generator);
    EXPECT_FALSE(g.incremental_rotation().generator);
    EXPECT_FALSE(g.incremental_scale().generator);

    // Full opacity and scales of 100 % are 1; a negative count is none.
    p.real(kBase + G::kOpacity, 100.0);
    p.real(kBase + G::kUniformScale, 100.0);
    p.real(kBase + G::kUniformScale + 2, 100.0);
    p.slider(kBase + G::kInstances, -4);
    const G full(p.params(), kBase);
    EXPECT_DOUBLE_EQ(full.opacity(), 1.0);
    expect_vec(full.uniform_scale(), 1.0, 1.0, 1.0);
    EXPECT_EQ(full.instance_count(), 0u);

    expect_vec(read_vector_param(p.params(), kBase + G::kSpiralRotation, VectorParamKind::angle), 15.0, -90.5,
               360.0);
    expect_vec(scale_vector(Vec3d(2.0, -4.0, 0.5), 0.25), 0.5, -1.0, 0.125);
}

TEST(GeneratorInstancingSettings, ChoicesOutsideTheListAreTheFirst) {
    struct Case {
        int32_t popup;
        uint32_t distribution;
        uint32_t model_kind;
    };
    const std::vector<Case> cases = {
        {0, 0, 0},  // the declared default of both popups
        {1, 0, 0}, {2, 1, 1}, {3, 2, 0}, {4, 0, 0}, {-1, 0, 0}, {INT32_MAX, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.popup);
        EXPECT_EQ(spatial_distribution_from_popup(c.popup), c.distribution);
        EXPECT_EQ(random_model_from_popup(c.popup), c.model_kind);
        tavrel_test::ParamTable p = defaults();
        p.popup(kBase + G::kSpatialDistribution, c.popup);
        p.popup(kBase + G::kRandomModel, c.popup);
        const G g(p.params(), kBase);
        EXPECT_EQ(g.spatial_distribution(), c.distribution);
        EXPECT_EQ(g.random_generator().kind(), c.model_kind);
    }
}

// Each randomised vector's generator is seeded with the instance
// generator's next output, in the order offset, rotation, scale; a vector
// that is not randomised takes no output.
TEST(GeneratorInstancingSettings, ChildGeneratorsInOrderOffsetRotationScale) {
    struct Case {
        const char* what;
        bool all, offset, rotation, scale;
    };
    const std::vector<Case> cases = {
        {"none", false, false, false, false},
        {"offset", false, true, false, false},
        {"rotations", false, false, true, false},
        {"scale", false, false, false, true},
        {"rotations and scale", false, false, true, true},
        {"all, whatever the switches say", true, false, false, false},
        {"all and every switch", true, true, true, true},
    };
    constexpr uint32_t kSeed = 424242;
    for (const int32_t model : {1, 2}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " model " + std::to_string(model));
            tavrel_test::ParamTable p = defaults();
            p.popup(kBase + G::kRandomModel, model);
            p.slider(kBase + G::kRandomSeed, int(kSeed));
            p.checkbox(kBase + G::kRandomizeAll, c.all);
            p.checkbox(kBase + G::kRandomizeOffset, c.offset);
            p.checkbox(kBase + G::kRandomizeRotations, c.rotation);
            p.checkbox(kBase + G::kRandomizeScale, c.scale);
            const G g(p.params(), kBase);
            std::mt19937 parent(kSeed);
            const std::vector<std::pair<bool, RandomizedVector>> vectors = {
                {c.all || c.offset, g.instance_offset()},
                {c.all || c.rotation, g.incremental_rotation()},
                {c.all || c.scale, g.incremental_scale()},
            };
            for (std::size_t i = 0; i < vectors.size(); ++i) {
                const auto& [randomised, v] = vectors[i];
                ASSERT_EQ(bool(v.generator), randomised) << i;
                if (!randomised) continue;
                EXPECT_EQ(v.generator->kind(), uint32_t(model - 1));
                std::mt19937 child(parent());
                for (int draw = 0; draw < 3; ++draw) {
                    const double unit = child() / 4294967296.0;
                    EXPECT_EQ((*v.generator)(), model == 1 ? unit : unit * 2.0 - 1.0) << i << " " << draw;
                }
            }
        }
    }
}

TEST(GeneratorInstancingSettings, TheSameSeedRepeatsOnEveryFrame) {
    tavrel_test::ParamTable p = defaults();
    p.checkbox(kBase + G::kRandomizeAll, true);
    auto draws = [&](int seed) {
        p.slider(kBase + G::kRandomSeed, seed);
        const G g(p.params(), kBase);
        std::vector<double> out;
        for (const RandomizedVector& v : {g.instance_offset(), g.incremental_rotation(), g.incremental_scale()}) {
            for (int i = 0; i < 4; ++i) out.push_back((*v.generator)());
        }
        return out;
    };
    const std::vector<double> first = draws(77);
    EXPECT_EQ(draws(77), first);
    EXPECT_NE(draws(78), first);
}

// The second effect has the group at another place; nothing outside it is
// read, and a parameter that is not checked out is named.
TEST(GeneratorInstancingSettings, ReadsTheGroupAtItsBase) {
    constexpr int32_t kOther = 122;
    tavrel_test::ParamTable p = defaults(kOther);
    p.slider(kOther + G::kInstances, 5);
    p.popup(kOther + G::kSpatialDistribution, 2);
    EXPECT_EQ(G(p.params(), kOther).instance_count(), 5u);
    EXPECT_EQ(G(p.params(), kOther).spatial_distribution(), 1u);
    PF_ParamDef** params = p.params();
    params[kOther + G::kRandomizeScale] = nullptr;
    try {
        G(params, kOther);
        ADD_FAILURE() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "parameter 151 is not checked out");
    }
}

}  // namespace
