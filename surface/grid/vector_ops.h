// Products of float vectors that the surface code needs beyond the shared
// vector type's own operations. Single precision throughout.
#pragma once

#include "engine/core/vec3.h"

namespace tavrel {

inline Vec3f cross(const Vec3f& a, const Vec3f& b) {
    return Vec3f(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline float dot(const Vec3f& a, const Vec3f& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vec3f times(const Vec3f& v, float s) { return Vec3f(v.x * s, v.y * s, v.z * s); }

inline Vec3d to_double(const Vec3f& v) { return Vec3d(v.x, v.y, v.z); }

}  // namespace tavrel
