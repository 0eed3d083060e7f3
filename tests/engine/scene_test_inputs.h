// Stand-in camera and lights for the scene-graph tests.
#pragma once

#include <memory>
#include <vector>

#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel_test {

class TestCamera : public tavrel::IVirtualCameraParameters {
public:
    tavrel::Matrix4d view, inverse_view, projection;
    double frame_width = 64, frame_height = 32, focus = 250.0;

    const tavrel::Matrix4d* view_transform() const override { return &view; }
    const tavrel::Matrix4d* inverse_view_transform() const override { return &inverse_view; }
    const tavrel::Matrix4d* projection_matrix() const override { return &projection; }
    double zoom() const override { return 100.0; }
    double width() const override { return frame_width; }
    double height() const override { return frame_height; }
    tavrel::RenderSize render_size() const override {
        return {static_cast<int32_t>(frame_width), static_cast<int32_t>(frame_height)};
    }
    bool is_orthographic() const override { return false; }
    double near_plane() const override { return 1.0; }
    double far_plane() const override { return 100.0; }
    double reserved_value() const override { return 0.0; }
    double depth_range() const override { return 1.0; }
    bool reserved_flag() const override { return false; }
    std::shared_ptr<tavrel::IVirtualCameraParameters> clone() const override {
        return std::make_shared<TestCamera>(*this);
    }
    void add_subpixel_offset(double, double) override {}
    double subpixel_offset_x() const override { return 0.0; }
    double subpixel_offset_y() const override { return 0.0; }
    void add_lens_offset(double, double) override {}
    double lens_offset_x() const override { return 0.0; }
    double lens_offset_y() const override { return 0.0; }
    double focus_distance() const override { return focus; }
    double blur_level() const override { return 0.0; }
    double pixel_aspect_ratio() const override { return 1.0; }
};

class TestSpotLight : public tavrel::ILight {
public:
    tavrel::Matrix4d matrix;
    double cone = 30.0;

    int type() const override { return tavrel::kSpotLight; }
    const tavrel::Matrix4d* transform() const override { return &matrix; }
    const tavrel::Matrix4d* inverse_transform() const override { return &matrix; }
    const float* position() const override { return colour_; }
    const float* specular_color() const override { return colour_; }
    const float* diffuse_color() const override { return colour_; }
    const float* ambient_color() const override { return colour_; }
    double outer_cutoff_angle() const override { return cone; }
    double inner_cutoff_angle() const override { return cone; }
    float shadow_density() const override { return 0.0f; }
    double shadow_diffusion() const override { return 0.0; }

private:
    float colour_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

// A light of any type with every value settable; the matrices are given as
// the transform and its inverse.
class TestLight : public tavrel::ILight {
public:
    int light_type = tavrel::kPointLight;
    tavrel::Matrix4d matrix, inverse;
    float where[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    double outer = 30.0, inner = 20.0;
    float density = 0.0f;
    double diffusion = 0.0;

    int type() const override { return light_type; }
    const tavrel::Matrix4d* transform() const override { return &matrix; }
    const tavrel::Matrix4d* inverse_transform() const override { return &inverse; }
    const float* position() const override { return where; }
    const float* specular_color() const override { return specular; }
    const float* diffuse_color() const override { return diffuse; }
    const float* ambient_color() const override { return ambient; }
    double outer_cutoff_angle() const override { return outer; }
    double inner_cutoff_angle() const override { return inner; }
    float shadow_density() const override { return density; }
    double shadow_diffusion() const override { return diffusion; }
};

class TestLights : public tavrel::ILightCollection {
public:
    std::vector<std::shared_ptr<tavrel::ILight>> lights;
    double grazing_angle = 0.0;
    double min_distance = 0.0;

    uint64_t count() const override { return lights.size(); }
    const tavrel::ILight* light(uint64_t index) const override { return lights.at(index).get(); }
    double min_light_grazing_angle() const override { return grazing_angle; }
    double light_object_min_distance() const override { return min_distance; }
};

}  // namespace tavrel_test
