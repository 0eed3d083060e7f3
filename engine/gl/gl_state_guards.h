// Scoped changes of OpenGL state. Each guard restores on exit exactly what it
// saved, also while an exception passes; its own restore errors go to
// standard error because a destructor must not throw.
#pragma once

#include <GL/glew.h>

#include <string>

#include "engine/gl/gl_errors.h"

namespace tavrel {

class GlContextGuard;

// Saves the projection and model-view matrices; leaves the model-view mode
// current both while open and after closing, whatever mode was current before.
class MatrixModeGuard {
public:
    MatrixModeGuard();
    ~MatrixModeGuard();
    MatrixModeGuard(const MatrixModeGuard&) = delete;
    MatrixModeGuard& operator=(const MatrixModeGuard&) = delete;
};

// Saves every attribute group on the attribute stack (16 deep on Mesa).
class AttribGuard {
public:
    AttribGuard();
    ~AttribGuard();
    AttribGuard(const AttribGuard&) = delete;
    AttribGuard& operator=(const AttribGuard&) = delete;
};

// Binds a program for the scope and gives the previous one back afterwards.
// Program is any type with bind().
class IntegerStateGuard {
public:
    template <class Program>
    explicit IntegerStateGuard(Program& program) : saved_program_(current_program()) {
        program.bind();
    }
    ~IntegerStateGuard();
    IntegerStateGuard(const IntegerStateGuard&) = delete;
    IntegerStateGuard& operator=(const IntegerStateGuard&) = delete;

private:
    static GLint current_program();
    GLint saved_program_;
};

// Binds a texture to a program's sampler for the scope; afterwards the unit
// is active and has no texture of that target bound. Program is any type
// with bind_texture(target, sampler name, texture name, unit).
class TextureBindingGuard {
public:
    template <class Program>
    TextureBindingGuard(Program& program, GLenum target, const std::string& sampler, GLuint texture,
                        GLuint unit)
        : target_(target), unit_(unit) {
        program.bind_texture(target, sampler, texture, unit);
    }
    ~TextureBindingGuard();
    TextureBindingGuard(const TextureBindingGuard&) = delete;
    TextureBindingGuard& operator=(const TextureBindingGuard&) = delete;

private:
    GLenum target_;
    GLuint unit_;
};

// Makes a texture unit active for the scope; afterwards the unit has its 2-D
// texture back and the unit that was active before is active again.
class TextureUnitGuard {
public:
    explicit TextureUnitGuard(GLuint unit);
    ~TextureUnitGuard();
    TextureUnitGuard(const TextureUnitGuard&) = delete;
    TextureUnitGuard& operator=(const TextureUnitGuard&) = delete;

private:
    GLint active_ = GL_TEXTURE0;
    GLuint unit_;
    GLint texture_ = 0;
};

// Makes the guard's context current for the scope and the previous one
// current again afterwards.
class CurrentContextGuard {
public:
    explicit CurrentContextGuard(GlContextGuard& context);
    ~CurrentContextGuard();
    CurrentContextGuard(const CurrentContextGuard&) = delete;
    CurrentContextGuard& operator=(const CurrentContextGuard&) = delete;

private:
    GlContextGuard& context_;
};

}  // namespace tavrel
