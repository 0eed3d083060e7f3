#include "engine/scene/shadow_casters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/core/projection_matrices.h"

namespace tavrel {

namespace {

// A scene collapsed to a point still gets a usable box around it.
constexpr double kMinSceneRadius = 1e-3;
constexpr double kMaxSpotFieldOfView = 140.0;
// Bounding points the fitting makes room for up front.
constexpr std::size_t kReservedBoundsPoints = 800;

Vec3d minus(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d plus_scaled(const Vec3d& a, const Vec3d& b, double s) { return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s}; }
double length(const Vec3d& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
Vec3d point_of(const BoundsPoint& p) { return {p[0], p[1], p[2]}; }

// (0, 1, 0), unless the view looks along it: then (0, 0, 1), since a view
// direction parallel to its up vector has no orientation.
Vec3d up_for(const Vec3d& direction) {
    const double l = length(direction);
    if (l > 0.0 && std::hypot(direction.x, direction.z) / l < 1e-6) return {0.0, 0.0, 1.0};
    return {0.0, 1.0, 0.0};
}

}  // namespace

void check_shadow_caster_count(const ILightCollection& lights, std::uint32_t& warning_flag) {
    int sum = 0;
    for (std::uint64_t i = 0; i < lights.count(); ++i) {
        const ILight* light = lights.light(i);
        if (light == nullptr || !(light->shadow_density() > 0.0f)) continue;
        sum += light->type() == kPointLight ? 6 : 1;
    }
    if (sum > kMaxShadowCasters) {
        warning_flag = (warning_flag & ~0xFFu) | 1u;
        throw TooManyShadowCasters();
    }
}

BoundingSphere ritter_sphere(const BoundsPoints& points) {
    BoundingSphere sphere;
    if (points.empty()) return sphere;
    // The extreme points along each axis; the pair farthest apart seeds it.
    Vec3d best_a = point_of(points.front()), best_b = best_a;
    double best = -1.0;
    for (int axis = 0; axis < 3; ++axis) {
        const auto by_axis = [axis](const BoundsPoint& a, const BoundsPoint& b) { return a[axis] < b[axis]; };
        const auto [low, high] = std::minmax_element(points.begin(), points.end(), by_axis);
        const Vec3d a = point_of(*low), b = point_of(*high);
        const double d = length(minus(b, a));
        if (d > best) {
            best = d;
            best_a = a;
            best_b = b;
        }
    }
    sphere.centre = plus_scaled(best_a, minus(best_b, best_a), 0.5);
    sphere.radius = best / 2.0;
    for (const BoundsPoint& p : points) {
        const Vec3d offset = minus(point_of(p), sphere.centre);
        const double d = length(offset);
        if (d <= sphere.radius) continue;
        const double radius = (sphere.radius + d) / 2.0;
        sphere.centre = plus_scaled(sphere.centre, offset, (d - radius) / d);
        sphere.radius = radius;
    }
    return sphere;
}

Matrix4d fit_shadow_perspective(double radius, double distance) {
    const double near_plane = distance - radius;
    return perspective_matrix(2.0 * std::atan2(radius, distance) * 180.0 / M_PI, 1.0, near_plane,
                              near_plane + 2.0 * radius);
}

ShadowCasterParamsCollection::ShadowCasterParamsCollection(const SceneGraph& scene, const ILightCollection& lights) {
    BoundsPoints points;
    points.reserve(kReservedBoundsPoints);
    scene.extend_bounds(points);
    const BoundingSphere sphere = ritter_sphere(points);
    const Vec3d& c = sphere.centre;
    const double r = std::max(sphere.radius, kMinSceneRadius);
    const double near_plane = lights.light_object_min_distance();

    for (std::uint64_t i = 0; i < lights.count() && count_ < kMaxShadowCasters; ++i) {
        const ILight* light = lights.light(i);
        if (light == nullptr || !(light->shadow_density() > 0.0f)) continue;
        const auto index = static_cast<std::uint32_t>(i);
        const double diffusion = light->shadow_diffusion();
        const float* p = light->position();
        const Vec3d position{p[0], p[1], p[2]};
        const double d = length(minus(position, c));
        switch (light->type()) {
            case kSpotLight: {
                const double fovy = std::min(2.0 * light->outer_cutoff_angle(), kMaxSpotFieldOfView);
                append(index, diffusion, *light->transform(), perspective_matrix(fovy, 1.0, near_plane, d + r));
                break;
            }
            case kParallelLight: {
                const Matrix4d& inverse = *light->inverse_transform();
                const Vec3d dir{static_cast<float>(inverse[8]), static_cast<float>(inverse[9]),
                                static_cast<float>(inverse[10])};
                Matrix4d projection;
                ortho_matrix(-r, r, -r, r, -r, r, projection);
                append(index, diffusion, look_at_matrix(c, minus(c, dir), up_for(dir)), projection);
                break;
            }
            case kPointLight: {
                if (d * d > 2.0 * r * r) {
                    append(index, diffusion, look_at_matrix(position, c, up_for(minus(c, position))),
                           fit_shadow_perspective(r, d));
                    break;
                }
                // Close to the scene: a cube of six 90-degree views around it.
                const Matrix4d projection = perspective_matrix(90.0, 1.0, near_plane, d + r);
                const Vec3d faces[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
                for (const Vec3d& face : faces) {
                    const Vec3d up = face.y != 0.0 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
                    if (!append(index, diffusion, look_at_matrix(position, plus_scaled(position, face, 1e6), up),
                                projection))
                        break;
                }
                break;
            }
            default:
                // Other types cast no shadow of their own.
                break;
        }
    }
}

bool ShadowCasterParamsCollection::append(std::uint32_t light, double diffusion, const Matrix4d& view,
                                          const Matrix4d& projection) {
    if (count_ >= kMaxShadowCasters) return false;
    views_[count_] = view;
    projections_[count_] = projection;
    light_lut_[count_] = light;
    light_size_[count_] = diffusion;
    ++count_;
    return true;
}

void ShadowCasterParamsCollection::check_index(int index) const {
    if (index < 0 || index >= count_)
        throw std::out_of_range("shadow caster " + std::to_string(index) + " of " + std::to_string(count_));
}

Matrix4d ShadowCasterParamsCollection::caster_view_matrix(int index) const {
    check_index(index);
    return views_[index];
}

Matrix4d ShadowCasterParamsCollection::caster_projection_matrix(int index) const {
    check_index(index);
    return projections_[index];
}

std::vector<double> ShadowCasterParamsCollection::light_size_uv() const {
    return std::vector<double>(light_size_, light_size_ + count_);
}

std::vector<std::uint32_t> ShadowCasterParamsCollection::light_lut() const {
    return std::vector<std::uint32_t>(light_lut_, light_lut_ + count_);
}

ShadowMapCamera::ShadowMapCamera(const Matrix4d& view, const Matrix4d& projection)
    : view_(view), projection_(projection) {
    invert_matrix(view_, inverse_view_);
}

}  // namespace tavrel
