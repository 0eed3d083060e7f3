#include "engine/shaders/glsl_uniform.h"

#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"

namespace tavrel {

GLSLUniform::GLSLUniform(GLuint program, const std::string& name) : program_(program), name_(name) {
    location_ = glGetUniformLocation(program_, name_.c_str());
    TAVREL_CHECK_GL();
    if (location_ == -1) throw GlUnknownShaderParameter(name_);
}

void GLSLUniform::use_program() {
    glUseProgram(program_);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_vec4_array(const std::vector<Vec4>& values) {
    if (values.empty()) return;
    use_program();
    glUniform4fv(location_, static_cast<GLsizei>(values.size()), values.front().data());
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_vec3_array(const std::vector<Vec3>& values) {
    if (values.empty()) return;
    use_program();
    glUniform3fv(location_, static_cast<GLsizei>(values.size()), values.front().data());
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_float_array(const std::vector<float>& values) {
    if (values.empty()) return;
    use_program();
    glUniform1fv(location_, static_cast<GLsizei>(values.size()), values.data());
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_int_array(const std::vector<int>& values) {
    if (values.empty()) return;
    use_program();
    glUniform1iv(location_, static_cast<GLsizei>(values.size()), values.data());
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_int(int value) {
    use_program();
    glUniform1i(location_, value);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_matrix(const double* m16) {
    float f[16];
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m16[i]);
    set_matrix_f(f);
}

void GLSLUniform::set_matrix_array_d(int count, bool transpose, const double* m) {
    // A negative count is GL's to refuse (GL_INVALID_VALUE), not a size to
    // allocate.
    if (count <= 0) {
        set_matrix_array_f(count, transpose, nullptr);
        return;
    }
    std::vector<float> f(static_cast<std::size_t>(count) * 16);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<float>(m[i]);
    set_matrix_array_f(count, transpose, f.data());
}

void GLSLUniform::set_matrix_array_f(int count, bool transpose, const float* m) {
    use_program();
    glUniformMatrix4fv(location_, count, transpose ? GL_TRUE : GL_FALSE, m);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_matrix_f(const float* m16) {
    use_program();
    glUniformMatrix4fv(location_, 1, GL_TRUE, m16);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_vec3(float x, float y, float z) {
    const float v[3] = {x, y, z};
    use_program();
    glUniform3fv(location_, 1, v);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_vec2(float x, float y) {
    use_program();
    glUniform2f(location_, x, y);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_double(double value) { set_float(static_cast<float>(value)); }

void GLSLUniform::set_float(float value) {
    use_program();
    glUniform1f(location_, value);
    TAVREL_CHECK_GL();
}

void GLSLUniform::set_vec4(const Vec4& value) { set_vec4(value[0], value[1], value[2], value[3]); }

void GLSLUniform::set_vec4(float x, float y, float z, float w) {
    use_program();
    glUniform4f(location_, x, y, z, w);
    TAVREL_CHECK_GL();
}

std::string GLSLUniform::name() const { return name_; }

}  // namespace tavrel
