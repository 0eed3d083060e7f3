// Shadow casters: the cameras from which shadow-casting lights see the
// scene, one per light or six around a point light close to the scene,
// fitted to the scene's bounding sphere. The shadow-map array holds twelve.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/core/matrix4d.h"
#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "engine/scene/scene_graph.h"
#include "engine/shaders/shadow_chunk.h"

namespace tavrel {

// Sums the casters the lights with a shadow density above 0 may need: 6 for
// a point light, 1 for any other. A sum above 12 sets the low byte of the
// warning flag to 1 and throws TooManyShadowCasters.
void check_shadow_caster_count(const ILightCollection& lights, std::uint32_t& warning_flag);

struct BoundingSphere {
    Vec3d centre;
    double radius = 0.0;
};

// Ritter's sphere: from the farthest-apart pair of axis extremes, grown to
// take in every point outside it. No points: centre 0, radius 0.
BoundingSphere ritter_sphere(const BoundsPoints& points);

// The perspective around a sphere of radius r at distance d: field of view
// 2 atan2(r, d) degrees, aspect 1, near d - r, far near + 2 r.
Matrix4d fit_shadow_perspective(double radius, double distance);

class IShadowCasterParamsCollection {
public:
    virtual ~IShadowCasterParamsCollection() = default;
    virtual std::int32_t count() const = 0;
    virtual Matrix4d caster_view_matrix(int index) const = 0;
    virtual Matrix4d caster_projection_matrix(int index) const = 0;
    // Per caster, in caster order.
    virtual std::vector<double> light_size_uv() const = 0;
    virtual std::vector<std::uint32_t> light_lut() const = 0;
};

// The casters of a scene's lights, fitted once per frame. Lights are taken
// in order; those with a shadow density of 0 or below cast nothing; no
// caster is made once there are twelve, so a point light met late keeps its
// first cube faces only.
class ShadowCasterParamsCollection : public IShadowCasterParamsCollection {
public:
    ShadowCasterParamsCollection(const SceneGraph& scene, const ILightCollection& lights);
    ShadowCasterParamsCollection(const ShadowCasterParamsCollection&) = delete;
    ShadowCasterParamsCollection& operator=(const ShadowCasterParamsCollection&) = delete;

    std::int32_t count() const override { return count_; }
    // An index outside 0..count-1 throws std::out_of_range.
    Matrix4d caster_view_matrix(int index) const override;
    Matrix4d caster_projection_matrix(int index) const override;
    std::vector<double> light_size_uv() const override;
    std::vector<std::uint32_t> light_lut() const override;

private:
    // False (nothing appended) when all twelve slots are taken.
    bool append(std::uint32_t light, double diffusion, const Matrix4d& view, const Matrix4d& projection);
    void check_index(int index) const;

    Matrix4d views_[kMaxShadowCasters];
    Matrix4d projections_[kMaxShadowCasters];
    std::uint32_t light_lut_[kMaxShadowCasters] = {};
    double light_size_[kMaxShadowCasters] = {};
    std::int32_t count_ = 0;
};

// The camera of one caster.
class ShadowMapCamera : public IVirtualCameraParameters {
public:
    ShadowMapCamera(const Matrix4d& view, const Matrix4d& projection);
    ShadowMapCamera(const ShadowMapCamera&) = delete;
    ShadowMapCamera& operator=(const ShadowMapCamera&) = delete;

    const Matrix4d* view_transform() const override { return &view_; }
    const Matrix4d* inverse_view_transform() const override { return &inverse_view_; }
    const Matrix4d* projection_matrix() const override { return &projection_; }
    double zoom() const override { return 1.0; }
    double width() const override { return 2.0; }
    double height() const override { return 2.0; }
    RenderSize render_size() const override { return RenderSize(); }
    bool is_orthographic() const override { return false; }
    double near_plane() const override { return 1.0; }
    double far_plane() const override { return 30000.0; }
    double reserved_value() const override { return 0.0; }
    double depth_range() const override { return 100000.0; }
    bool reserved_flag() const override { return false; }
    std::shared_ptr<IVirtualCameraParameters> clone() const override { return nullptr; }
    void add_subpixel_offset(double, double) override {}
    double subpixel_offset_x() const override { return 0.0; }
    double subpixel_offset_y() const override { return 0.0; }
    void add_lens_offset(double, double) override {}
    double lens_offset_x() const override { return 0.0; }
    double lens_offset_y() const override { return 0.0; }
    double focus_distance() const override { return 1000.0; }
    double blur_level() const override { return 100.0; }
    double pixel_aspect_ratio() const override { return 1.0; }

private:
    Matrix4d view_;
    Matrix4d inverse_view_;
    Matrix4d projection_;
};

}  // namespace tavrel
