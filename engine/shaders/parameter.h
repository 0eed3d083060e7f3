// A shader input addressed by name. Every setter makes its program current
// first, and leaves it current.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tavrel {

class IParameter {
public:
    using Vec4 = std::array<float, 4>;
    using Vec3 = std::array<float, 3>;

    virtual ~IParameter() = default;
    // Empty arrays change nothing (and do not bind the program).
    virtual void set_vec4_array(const std::vector<Vec4>& values) = 0;
    virtual void set_vec3_array(const std::vector<Vec3>& values) = 0;
    virtual void set_float_array(const std::vector<float>& values) = 0;
    virtual void set_int_array(const std::vector<int>& values) = 0;
    // Also booleans and sampler units.
    virtual void set_int(int value) = 0;
    // Row-vector 4 x 4 matrices, translation in elements 12 to 14; uploaded
    // transposed because the shaders multiply vec4(p, 1.0) * M.
    virtual void set_matrix(const double* m16) = 0;
    virtual void set_matrix_array_d(int count, bool transpose, const double* m) = 0;
    virtual void set_matrix_array_f(int count, bool transpose, const float* m) = 0;
    virtual void set_matrix_f(const float* m16) = 0;
    virtual void set_vec3(float x, float y, float z) = 0;
    virtual void set_vec2(float x, float y) = 0;
    virtual void set_double(double value) = 0;
    virtual void set_float(float value) = 0;
    virtual void set_vec4(const Vec4& value) = 0;
    virtual void set_vec4(float x, float y, float z, float w) = 0;
    virtual std::string name() const = 0;
};

}  // namespace tavrel
