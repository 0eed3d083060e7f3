// The scene input interfaces keep their operations in a fixed order, so that
// an implementation built separately lines up with the engine. That order is
// observable in the virtual tables: a pointer to a virtual member holds the
// operation's position there (Itanium C++ ABI, which this build targets).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/interfaces/abort.h"
#include "engine/interfaces/array_accessor.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "engine/interfaces/light.h"
#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/material.h"
#include "engine/interfaces/shader_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel {
namespace {

// Position of a virtual member function in its class's virtual table, or -1
// for a non-virtual one.
template <typename Member>
std::ptrdiff_t vtable_index(Member member) {
    struct Representation {
        std::uintptr_t ptr;
        std::ptrdiff_t adj;
    } rep;
    static_assert(sizeof(Member) == sizeof(Representation), "Itanium member pointer");
    std::memcpy(&rep, &member, sizeof rep);
#if defined(__arm__) || defined(__aarch64__)
    // ARM keeps the virtual flag in the adjustment's lowest bit.
    if ((rep.adj & 1) == 0) return -1;
    return std::ptrdiff_t(rep.ptr / sizeof(void*));
#else
    if ((rep.ptr & 1) == 0) return -1;
    return std::ptrdiff_t((rep.ptr - 1) / sizeof(void*));
#endif
}

struct Slot {
    std::string name;
    std::ptrdiff_t vtable_index;
};

// Slot 0 of an interface with a virtual destructor is the destructor, which
// takes two table entries (the complete and the deleting destructor), so slot
// s is entry s + 1. Interfaces without one start with their first operation.
void expect_slots(const std::vector<Slot>& slots, bool virtual_destructor) {
    const std::ptrdiff_t first = virtual_destructor ? 2 : 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(slots[i].vtable_index, first + std::ptrdiff_t(i)) << slots[i].name;
    }
}

#define TAVREL_SLOT(Class, op) Slot{#op, vtable_index(&Class::op)}

TEST(SceneInputSlots, Camera) {
    using C = IVirtualCameraParameters;
    expect_slots({TAVREL_SLOT(C, view_transform), TAVREL_SLOT(C, inverse_view_transform),
                  TAVREL_SLOT(C, projection_matrix), TAVREL_SLOT(C, zoom), TAVREL_SLOT(C, width),
                  TAVREL_SLOT(C, height), TAVREL_SLOT(C, render_size),
                  TAVREL_SLOT(C, is_orthographic), TAVREL_SLOT(C, near_plane),
                  TAVREL_SLOT(C, far_plane), TAVREL_SLOT(C, reserved_value),
                  TAVREL_SLOT(C, depth_range), TAVREL_SLOT(C, reserved_flag), TAVREL_SLOT(C, clone),
                  TAVREL_SLOT(C, add_subpixel_offset), TAVREL_SLOT(C, subpixel_offset_x),
                  TAVREL_SLOT(C, subpixel_offset_y), TAVREL_SLOT(C, add_lens_offset),
                  TAVREL_SLOT(C, lens_offset_x), TAVREL_SLOT(C, lens_offset_y),
                  TAVREL_SLOT(C, focus_distance), TAVREL_SLOT(C, blur_level),
                  TAVREL_SLOT(C, pixel_aspect_ratio)},
                 true);
}

TEST(SceneInputSlots, LightAndLightCollection) {
    expect_slots({TAVREL_SLOT(ILight, type), TAVREL_SLOT(ILight, transform),
                  TAVREL_SLOT(ILight, inverse_transform), TAVREL_SLOT(ILight, position),
                  TAVREL_SLOT(ILight, specular_color), TAVREL_SLOT(ILight, diffuse_color),
                  TAVREL_SLOT(ILight, ambient_color), TAVREL_SLOT(ILight, outer_cutoff_angle),
                  TAVREL_SLOT(ILight, inner_cutoff_angle), TAVREL_SLOT(ILight, shadow_density),
                  TAVREL_SLOT(ILight, shadow_diffusion)},
                 true);
    expect_slots({TAVREL_SLOT(ILightCollection, count), TAVREL_SLOT(ILightCollection, light),
                  TAVREL_SLOT(ILightCollection, min_light_grazing_angle),
                  TAVREL_SLOT(ILightCollection, light_object_min_distance)},
                 true);
    EXPECT_EQ(max_light_count(), 16u);
}

TEST(SceneInputSlots, MaterialGeneratorDeformationAbort) {
    expect_slots({TAVREL_SLOT(IMaterial, ambient), TAVREL_SLOT(IMaterial, diffuse),
                  TAVREL_SLOT(IMaterial, specular), TAVREL_SLOT(IMaterial, shininess),
                  TAVREL_SLOT(IMaterial, metal)},
                 true);
    using G = IGeneratorInstancingParams;
    expect_slots({TAVREL_SLOT(G, instance_count), TAVREL_SLOT(G, spatial_distribution),
                  TAVREL_SLOT(G, instance_offset), TAVREL_SLOT(G, spiral_rotation),
                  TAVREL_SLOT(G, incremental_rotation), TAVREL_SLOT(G, uniform_scale),
                  TAVREL_SLOT(G, incremental_scale), TAVREL_SLOT(G, opacity)},
                 true);
    using D = IDeformationCollection;
    expect_slots({TAVREL_SLOT(D, apply_deformation), TAVREL_SLOT(D, position),
                  TAVREL_SLOT(D, size), TAVREL_SLOT(D, amplitude), TAVREL_SLOT(D, deform_type),
                  TAVREL_SLOT(D, display_region)},
                 true);
    expect_slots({TAVREL_SLOT(IAbort, progress_begin), TAVREL_SLOT(IAbort, is_aborted),
                  TAVREL_SLOT(IAbort, is_cancel_requested), TAVREL_SLOT(IAbort, progress_end),
                  TAVREL_SLOT(IAbort, progress)},
                 true);
    EXPECT_TRUE(std::has_virtual_destructor_v<IShaderCollection>);
    EXPECT_TRUE(std::is_polymorphic_v<IShaderCollection>);
}

TEST(SceneInputSlots, ArrayAccessorsHaveNoVirtualDestructor) {
    using A2 = I2dArrayAccessor;
    expect_slots({TAVREL_SLOT(A2, data), TAVREL_SLOT(A2, width), TAVREL_SLOT(A2, height),
                  TAVREL_SLOT(A2, row_bytes), TAVREL_SLOT(A2, pixel_format)},
                 false);
    expect_slots({TAVREL_SLOT(I1dArrayAccessor, data), TAVREL_SLOT(I1dArrayAccessor, size)}, false);
    EXPECT_FALSE(std::has_virtual_destructor_v<I2dArrayAccessor>);
    EXPECT_FALSE(std::has_virtual_destructor_v<I1dArrayAccessor>);
}

// The element type's tag tells the pixel format kind.
TEST(SceneInputSlots, ArrayDataTags) {
    uint8_t bytes[1] = {};
    uint16_t words[1] = {};
    float floats[1] = {};
    EXPECT_EQ(ArrayData(bytes).which(), 0);
    EXPECT_EQ(ArrayData(words).which(), 1);
    EXPECT_EQ(ArrayData(floats).which(), 2);
}

}  // namespace
}  // namespace tavrel
