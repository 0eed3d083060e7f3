// A uniform of a linked GLSL program. Holds the program's name, not the
// program: it must not outlive it.
#pragma once

#include <GL/glew.h>

#include <string>

#include "engine/shaders/parameter.h"

namespace tavrel {

class GLSLUniform : public IParameter {
public:
    // Looks the location up; throws GlUnknownShaderParameter for a name the
    // program does not have (also one the compiler dropped as unused).
    GLSLUniform(GLuint program, const std::string& name);

    void set_vec4_array(const std::vector<Vec4>& values) override;
    void set_vec3_array(const std::vector<Vec3>& values) override;
    void set_float_array(const std::vector<float>& values) override;
    void set_int_array(const std::vector<int>& values) override;
    void set_int(int value) override;
    void set_matrix(const double* m16) override;
    void set_matrix_array_d(int count, bool transpose, const double* m) override;
    void set_matrix_array_f(int count, bool transpose, const float* m) override;
    void set_matrix_f(const float* m16) override;
    void set_vec3(float x, float y, float z) override;
    void set_vec2(float x, float y) override;
    void set_double(double value) override;
    void set_float(float value) override;
    void set_vec4(const Vec4& value) override;
    void set_vec4(float x, float y, float z, float w) override;
    std::string name() const override;

    GLint location() const { return location_; }

private:
    void use_program();

    GLuint program_;
    GLint location_;
    std::string name_;
};

}  // namespace tavrel
