// The deformation region built from the "Deformations" parameters, and the
// group list that declares them.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "varnmoor/varnmoor_params.h"

namespace {

using namespace tavrel::varnmoor;

struct RegionParams {
    std::array<PF_ParamDef, kParamCount> defs;
    std::array<PF_ParamDef*, kParamCount> ptrs;
    RegionParams() {
        std::memset(defs.data(), 0, sizeof(defs));
        for (size_t i = 0; i < defs.size(); ++i) ptrs[i] = &defs[i];
        defs[kParamDeformType].u.pd.value = 1;
    }
    PF_ParamDef& at(int i) { return defs[size_t(i)]; }
};

TEST(DeformationRegion, TypeAmplitudeAndCentreFromTheParameters) {
    struct Case {
        int32_t comp_width, comp_height;
        double position[3];
        int32_t type_choice;
        double amplitude_percent;
        double centre[3];
        int expected_type;
        float expected_amplitude;
    };
    const Case cases[] = {
        {1919, 1080, {0, 0, 0}, 1, 0, {959.5, 540, 0}, 0, 0.0f},
        {1920, 1081, {10, -20, 30}, 2, 400, {970, 520.5, 30}, 1, 4.0f},
        {640, 480, {0, 0, -5}, 3, -100, {320, 240, -5}, 2, -1.0f},
        {640, 480, {0, 0, 0}, 3, 12.5, {320, 240, 0}, 2, 0.125f},
        // Outside the popup's choices: Twist, and nothing read past the table.
        {640, 480, {0, 0, 0}, 0, 50, {320, 240, 0}, 0, 0.5f},
        {640, 480, {0, 0, 0}, 4, 50, {320, 240, 0}, 0, 0.5f},
    };
    for (const Case& c : cases) {
        RegionParams p;
        for (int i = 0; i < 3; ++i) p.at(kParamRegionPositionX + i).u.fs_d.value = c.position[i];
        p.at(kParamRegionSizeX).u.fs_d.value = 2000;
        p.at(kParamRegionSizeX + 1).u.fs_d.value = 300;
        p.at(kParamRegionSizeX + 2).u.fs_d.value = 1000;
        p.at(kParamDeformType).u.pd.value = c.type_choice;
        p.at(kParamAmplitude).u.fs_d.value = c.amplitude_percent;
        const auto region = make_deformation_parameters(p.ptrs.data(), c.comp_width, c.comp_height);
        ASSERT_TRUE(region);
        const tavrel::IDeformationCollection& r = *region;
        SCOPED_TRACE(c.type_choice);
        EXPECT_TRUE(r.apply_deformation());
        EXPECT_EQ(r.position().x, c.centre[0]);
        EXPECT_EQ(r.position().y, c.centre[1]);
        EXPECT_EQ(r.position().z, c.centre[2]);
        EXPECT_EQ(r.size().x, 2000.0);
        EXPECT_EQ(r.size().y, 300.0);
        EXPECT_EQ(r.size().z, 1000.0);
        EXPECT_EQ(r.deform_type(), c.expected_type);
        EXPECT_EQ(r.amplitude(), c.expected_amplitude);
        EXPECT_FALSE(r.display_region());
    }
}

TEST(DeformationRegion, DisplayRegionFollowsTheCheckbox) {
    RegionParams p;
    p.at(kParamDisplayRegion).u.bd.value = 1;
    EXPECT_TRUE(make_deformation_parameters(p.ptrs.data(), 100, 100)->display_region());
}

TEST(DeformationRegion, ANewRecordIsAllZero) {
    const tavrel::DeformationTransformParameters r;
    EXPECT_EQ(r.position().x, 0.0);
    EXPECT_EQ(r.size().z, 0.0);
    EXPECT_EQ(r.deform_type(), 0);
    EXPECT_EQ(r.amplitude(), 0.0f);
    EXPECT_FALSE(r.display_region());
}

TEST(VarnmoorGroups, ThirteenEntriesWithTheirKeysInListOrder) {
    const auto groups = list_parameter_groups();
    const int32_t keys[] = {1, 3, 5, 10, 31, 46, 46, 46, 95, 106, 0, 121, 154};
    ASSERT_EQ(groups.size(), std::size(keys));
    for (size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(groups[i].key, keys[i]) << "entry " << i + 1;
    EXPECT_EQ(make_deformations_group_entry().key, 95);
}

TEST(VarnmoorAccessors, ThicknessPreBlurAndAlphaDecal) {
    RegionParams p;
    p.at(kParamThickness).u.fs_d.value = 40.25;
    p.at(kParamPreBlur).u.fs_d.value = 2.5;
    p.at(kParamDisableAlphaDecal).u.bd.value = 1;
    EXPECT_EQ(get_thickness(p.ptrs.data()), 40.25f);
    EXPECT_EQ(get_pre_blur(p.ptrs.data()), 2.5);
    EXPECT_TRUE(get_disable_alpha_decal(p.ptrs.data()));
}

}  // namespace
