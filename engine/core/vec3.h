// Three-component vectors shared by the engine and the host side.
#pragma once

#include <cmath>

namespace tavrel {

struct Vec3f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vec3f() = default;
    Vec3f(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    static Vec3f from_doubles(double x, double y, double z) {
        return Vec3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    }

    Vec3f operator+(const Vec3f& o) const { return Vec3f(x + o.x, y + o.y, z + o.z); }
    Vec3f operator-(const Vec3f& o) const { return Vec3f(x - o.x, y - o.y, z - o.z); }

    // Multiplied in double so that large scales lose no more than the final
    // narrowing.
    Vec3f scaled(double s) const { return from_doubles(x * s, y * s, z * s); }
};

struct Vec3d {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Vec3d() = default;
    Vec3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
};

// v divided by its length; v itself when its length is not above zero.
inline Vec3f normalized(const Vec3f& v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (!(length > 0.0)) return v;
    return v.scaled(1.0 / length);
}

}  // namespace tavrel
