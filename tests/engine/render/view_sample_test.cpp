// View samples: the table a count takes, the points it inserts and their
// order in a set, where views closer than the tolerance are one view.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "engine/render/view_sample.h"

namespace tavrel {
namespace {

// count, the table it takes, the points inserted (above 66 the whole largest
// table), and the table's first and last point.
TEST(ViewSamples, CountsTakeATablePrefix) {
    struct Case {
        std::size_t count, table_size, taken;
        JitterPoint first, last;
    };
    const Case cases[] = {
        {0, 2, 0, {0.246490f, 0.249999f}, {-0.246490f, -0.249999f}},
        {1, 2, 1, {0.246490f, 0.249999f}, {-0.246490f, -0.249999f}},
        {3, 3, 3, {-0.373411f, -0.250550f}, {0.117148f, -0.117570f}},
        {4, 4, 4, {-0.208147f, 0.353730f}, {0.296924f, 0.149994f}},
        {5, 8, 5, {-0.334818f, 0.435331f}, {0.164216f, -0.054399f}},
        {9, 15, 9, {0.285561f, 0.188437f}, {-0.370610f, 0.387504f}},
        {24, 24, 24, {0.030245f, 0.136384f}, {0.297997f, -0.417965f}},
        {25, 66, 25, {0.266377f, -0.218171f}, {0.145087f, 0.221726f}},
        {67, 66, 66, {0.266377f, -0.218171f}, {0.145087f, 0.221726f}},
        {1000, 66, 66, {0.266377f, -0.218171f}, {0.145087f, 0.221726f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const JitterTable table = jitter_table(c.count);
        ASSERT_EQ(table.size, c.table_size);
        EXPECT_EQ(table.points[0].x, c.first.x);
        EXPECT_EQ(table.points[0].y, c.first.y);
        EXPECT_EQ(table.points[table.size - 1].x, c.last.x);
        EXPECT_EQ(table.points[table.size - 1].y, c.last.y);
        for (bool lens : {false, true}) {
            ViewSampleSet set;
            (lens ? dof_view_samples : aa_view_samples)(c.count, set);
            ASSERT_EQ(set.size(), c.taken);
            for (std::size_t i = 0; i < c.taken; ++i) {
                const auto found = set.find(ViewSample{table.points[i].x, table.points[i].y, lens});
                ASSERT_NE(found, set.end()) << i;
                EXPECT_EQ(found->x, table.points[i].x);
                EXPECT_EQ(found->kind, lens);
            }
        }
    }
}

// x decides, then y, each beyond the tolerance 0.001, then the kind; the set
// keeps a view within the tolerance of another once.
TEST(ViewSamples, OrderWithTolerance) {
    struct Case {
        ViewSample a, b;
        bool a_less, b_less;
    };
    const Case cases[] = {
        {{0.1f, 0.9f, true}, {0.2f, 0.0f, false}, true, false},
        {{0.1f, 0.2f, true}, {0.1009f, 0.1f, false}, false, true},
        {{0.1f, 0.1f, true}, {0.1f, 0.1009f, false}, false, true},
        {{0.1f, 0.1f, false}, {0.1005f, 0.0995f, false}, false, false},
        {{0.1f, 0.1f, false}, {0.1012f, 0.0f, false}, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a < c.b, c.a_less) << c.a.x << "," << c.a.y << " vs " << c.b.x << "," << c.b.y;
        EXPECT_EQ(c.b < c.a, c.b_less) << c.b.x << "," << c.b.y << " vs " << c.a.x << "," << c.a.y;
    }
    ViewSampleSet set;
    aa_view_samples(4, set);
    set.insert(ViewSample{-0.2085f, 0.3533f, false});  // the second point again
    set.insert(ViewSample{-0.2085f, 0.3533f, true});   // another kind is another view
    const std::vector<ViewSample> v(set.begin(), set.end());
    ASSERT_EQ(v.size(), 5u);
    const float xs[] = {-0.292626f, -0.208147f, -0.2085f, 0.203849f, 0.296924f};
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i].x, xs[i]) << i;
    EXPECT_TRUE(v[2].kind);
}

}  // namespace
}  // namespace tavrel
