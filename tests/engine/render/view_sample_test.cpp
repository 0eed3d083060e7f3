// View samples: which jitter points a count takes, their order in a set, and
// the kinds the two fillers give.
#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <vector>

#include "engine/render/view_sample.h"

namespace tavrel {
namespace {

std::vector<ViewSample> as_vector(const ViewSampleSet& set) { return {set.begin(), set.end()}; }

// The set holds exactly the table's first count points, in its own order.
void expect_table_prefix(const ViewSampleSet& set, std::size_t count, bool kind) {
    const JitterTable table = jitter_table(count);
    ASSERT_EQ(set.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const ViewSample wanted{table.points[i].x, table.points[i].y, kind};
        const auto found = set.find(wanted);
        ASSERT_NE(found, set.end()) << "point " << i;
        EXPECT_EQ(found->x, wanted.x) << "point " << i;
        EXPECT_EQ(found->y, wanted.y) << "point " << i;
        EXPECT_EQ(found->kind, kind);
    }
}

TEST(ViewSamples, TableChosenByCount) {
    struct Case {
        std::size_t count;
        std::size_t table_size;
        JitterPoint first;
    };
    const Case cases[] = {
        {1, 2, {0.246490f, 0.249999f}},    {2, 2, {0.246490f, 0.249999f}},
        {3, 3, {-0.373411f, -0.250550f}},  {4, 4, {-0.208147f, 0.353730f}},
        {5, 8, {-0.334818f, 0.435331f}},   {8, 8, {-0.334818f, 0.435331f}},
        {9, 15, {0.285561f, 0.188437f}},   {15, 15, {0.285561f, 0.188437f}},
        {16, 24, {0.030245f, 0.136384f}},  {24, 24, {0.030245f, 0.136384f}},
        {25, 66, {0.266377f, -0.218171f}}, {66, 66, {0.266377f, -0.218171f}},
        {67, 66, {0.266377f, -0.218171f}},
    };
    for (const Case& c : cases) {
        const JitterTable table = jitter_table(c.count);
        EXPECT_EQ(table.size, c.table_size) << c.count;
        EXPECT_EQ(table.points[0].x, c.first.x) << c.count;
        EXPECT_EQ(table.points[0].y, c.first.y) << c.count;
    }
    // The last points too, so that a table cut short shows.
    EXPECT_EQ(jitter_table(8).points[7].y, -0.054399f);
    EXPECT_EQ(jitter_table(15).points[14].x, -0.370610f);
    EXPECT_EQ(jitter_table(24).points[23].y, -0.417965f);
    EXPECT_EQ(jitter_table(66).points[65].x, 0.145087f);
    EXPECT_EQ(jitter_table(66).points[65].y, 0.221726f);
}

TEST(ViewSamples, CountsTakeTheTablePrefix) {
    struct Case {
        std::size_t count;
        std::size_t taken;
    };
    // Above the largest table the count is cut to it rather than read past it.
    const Case cases[] = {{0, 0}, {1, 1}, {4, 4}, {5, 5}, {24, 24}, {66, 66}, {67, 66}, {1000, 66}};
    for (const Case& c : cases) {
        ViewSampleSet aa;
        aa_view_samples(c.count, aa);
        expect_table_prefix(aa, c.taken, false);
        ViewSampleSet dof;
        dof_view_samples(c.count, dof);
        expect_table_prefix(dof, c.taken, true);
    }
    ViewSampleSet one;
    aa_view_samples(1, one);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one.begin()->x, 0.246490f);  // not the pixel centre
    EXPECT_EQ(one.begin()->y, 0.249999f);
}

TEST(ViewSamples, OrderWithTolerance) {
    struct Case {
        ViewSample a, b;
        bool a_less, b_less;
    };
    const Case cases[] = {
        {{0.1f, 0.9f, true}, {0.2f, 0.0f, false}, true, false},     // x decides
        {{0.1f, 0.2f, true}, {0.1009f, 0.1f, false}, false, true},  // x within: y decides
        {{0.1f, 0.1f, true}, {0.1f, 0.1009f, false}, false, true},  // both within: kind decides
        {{0.1f, 0.1f, false}, {0.1005f, 0.0995f, false}, false, false},  // the same view
        {{0.1f, 0.1f, false}, {0.1012f, 0.0f, false}, true, false},  // beyond the tolerance
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a < c.b, c.a_less) << c.a.x << "," << c.a.y << " vs " << c.b.x << "," << c.b.y;
        EXPECT_EQ(c.b < c.a, c.b_less) << c.b.x << "," << c.b.y << " vs " << c.a.x << "," << c.a.y;
    }
}

TEST(ViewSamples, SetKeepsNearViewsOnceInOrder) {
    ViewSampleSet set;
    aa_view_samples(4, set);
    set.insert(ViewSample{-0.2085f, 0.3533f, false});  // within the tolerance of point 0
    set.insert(ViewSample{-0.2085f, 0.3533f, true});   // another kind is another view
    const std::vector<ViewSample> v = as_vector(set);
    ASSERT_EQ(v.size(), 5u);
    const float xs[] = {-0.292626f, -0.208147f, -0.2085f, 0.203849f, 0.296924f};
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_FLOAT_EQ(v[i].x, xs[i]) << i;
    EXPECT_EQ(v[1].kind, false);
    EXPECT_EQ(v[2].kind, true);
}

}  // namespace
}  // namespace tavrel
