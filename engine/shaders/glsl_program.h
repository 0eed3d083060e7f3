// GLSL programs: compiled from source text at construction, with progress,
// logs and failing sources written to the debugger output.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>

#include "engine/shaders/program.h"
#include "engine/shaders/transform_feedback.h"

namespace tavrel {

class GLSLProgram : public IProgram {
public:
    // Each constructor compiles and links; a compile or link failure throws
    // GlEngineError ("GLSL compilation error.\n<log>\n\n<source>" or "GLSL
    // link error.") after the numbered sources and the log went to the
    // debugger output, and a GL error throws GlEngineError. Nothing created
    // on the way is left behind.
    GLSLProgram(const std::string& vertex_source, const std::string& fragment_source);
    // The geometry stage is GLSL 1.50 compatibility: the layout qualifiers
    // made from the three values are inserted after the source's leading
    // directive lines, and "#version 150 compatibility" is put first when
    // the source has no version line.
    GLSLProgram(const std::string& vertex_source, const std::string& geometry_source,
                const std::string& fragment_source, GLenum geometry_input_type, GLenum geometry_output_type,
                int max_output_vertices, std::shared_ptr<TransformFeedback> transform_feedback);
    GLSLProgram(const std::string& vertex_source, const std::string& fragment_source,
                std::shared_ptr<TransformFeedback> transform_feedback);
    // Unbinds the program first when it is current; reports, never throws.
    ~GLSLProgram() override;

    GLSLProgram(const GLSLProgram&) = delete;
    GLSLProgram& operator=(const GLSLProgram&) = delete;

    void bind() override;
    // The program stays current: the next bind replaces it.
    void unbind() override;
    bool is_valid() override;
    std::shared_ptr<IParameter> get_parameter(const std::string& name) override;
    bool is_glsl() const override;
    bool has_named_parameters() const override;
    bool has_parameter(const std::string& name) override;

    // The shader names stay recorded after the shaders were deleted at link time.
    GLuint vertex_shader() const { return vertex_shader_; }
    GLuint geometry_shader() const { return geometry_shader_; }
    GLuint fragment_shader() const { return fragment_shader_; }
    GLuint program() const { return program_; }

private:
    void build(const std::string& vertex_source, const std::string* geometry_source,
               const std::string& fragment_source, const std::shared_ptr<TransformFeedback>& transform_feedback);

    GLuint vertex_shader_ = 0;
    GLuint geometry_shader_ = 0;
    GLuint fragment_shader_ = 0;
    GLuint program_ = 0;
};

class TexturingProgram : public GLSLProgram {
public:
    using GLSLProgram::GLSLProgram;

    // Binds the texture on the unit and points the sampler at it (when the
    // program has the sampler); leaves unit 0 active. Undone by
    // TextureBindingGuard.
    virtual void bind_texture(GLenum target, const std::string& sampler, GLuint texture, GLuint unit);
};

// Inserts the layout qualifiers after the leading directive lines of a
// geometry source (and the 1.50 version line when it has none).
std::string with_geometry_layout(const std::string& geometry_source, GLenum input_type, GLenum output_type,
                                 int max_output_vertices);

}  // namespace tavrel
