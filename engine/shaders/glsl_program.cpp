#include "engine/shaders/glsl_program.h"

#include "engine/core/debug_output.h"
#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/shaders/glsl_uniform.h"
#include "engine/shaders/shader_preamble.h"

namespace tavrel {

namespace {

// Owns a shader or program name until it is handed over, so that every
// failure on the way deletes what was made.
class ShaderName {
public:
    ShaderName() = default;
    explicit ShaderName(GLuint name) : name_(name) {}
    ~ShaderName() {
        if (name_ != 0) gl_delete_shader(name_);
    }
    ShaderName(const ShaderName&) = delete;
    ShaderName& operator=(const ShaderName&) = delete;
    GLuint get() const { return name_; }
    void reset(GLuint name) {
        if (name_ != 0) gl_delete_shader(name_);
        name_ = name;
    }

private:
    GLuint name_ = 0;
};

class ProgramName {
public:
    explicit ProgramName(GLuint name) : name_(name) {}
    ~ProgramName() {
        if (name_ != 0) gl_delete_program(name_);
    }
    ProgramName(const ProgramName&) = delete;
    ProgramName& operator=(const ProgramName&) = delete;
    GLuint get() const { return name_; }
    GLuint release() {
        const GLuint name = name_;
        name_ = 0;
        return name;
    }

private:
    GLuint name_;
};

// The log as text: GL counts the terminating NUL in the length, and a NUL
// inside an exception text would hide everything after it.
std::string log_text(std::string log) {
    const std::string::size_type end = log.find('\0');
    if (end != std::string::npos) log.resize(end);
    return log;
}

std::string shader_log(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    TAVREL_CHECK_GL();
    std::string log(static_cast<std::size_t>(length) + 1, '\0');
    glGetShaderInfoLog(shader, length + 1, nullptr, &log[0]);
    TAVREL_CHECK_GL();
    return log_text(log);
}

std::string program_log(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    TAVREL_CHECK_GL();
    std::string log(static_cast<std::size_t>(length) + 1, '\0');
    glGetProgramInfoLog(program, length + 1, nullptr, &log[0]);
    TAVREL_CHECK_GL();
    return log_text(log);
}

// Returns the compiled shader's name; the holder deletes it on a failure.
void compile_shader(ShaderName& holder, GLenum type, const std::string& source) {
    holder.reset(gl_create_shader(type));
    TAVREL_CHECK_GL();
    const GLuint shader = holder.get();
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    TAVREL_CHECK_GL();
    glCompileShader(shader);
    TAVREL_CHECK_GL();
    const std::string log = shader_log(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    TAVREL_CHECK_GL();
    if (compiled) {
        debug_print_line(log);
        return;
    }
    print_numbered_source(source);
    debug_print_line(log);
    throw GlEngineError("GLSL compilation error.\n" + log + "\n\n" + source);
}

bool is_directive(const std::string& source, std::string::size_type line_start) {
    const std::string::size_type first = source.find_first_not_of(" \t", line_start);
    return first != std::string::npos && source[first] == '#';
}

}  // namespace

std::string with_geometry_layout(const std::string& geometry_source, GLenum input_type, GLenum output_type,
                                 int max_output_vertices) {
    const std::string layout = geometry_layout(input_type, output_type, max_output_vertices);
    // Layout declarations must follow every #extension line.
    std::string::size_type insert_at = 0;
    while (insert_at < geometry_source.size() && is_directive(geometry_source, insert_at)) {
        const std::string::size_type end = geometry_source.find('\n', insert_at);
        insert_at = end == std::string::npos ? geometry_source.size() : end + 1;
    }
    std::string head = geometry_source.substr(0, insert_at);
    if (!head.empty() && head.back() != '\n') head += '\n';
    if (head.find("#version") == std::string::npos) head = "#version 150 compatibility\n" + head;
    return head + layout + geometry_source.substr(insert_at);
}

GLSLProgram::GLSLProgram(const std::string& vertex_source, const std::string& fragment_source) {
    build(vertex_source, nullptr, fragment_source, nullptr);
}

GLSLProgram::GLSLProgram(const std::string& vertex_source, const std::string& geometry_source,
                         const std::string& fragment_source, GLenum geometry_input_type,
                         GLenum geometry_output_type, int max_output_vertices,
                         std::shared_ptr<TransformFeedback> transform_feedback) {
    // glProgramParameteriEXT is not called: the layout qualifiers carry the
    // same three values, and the entry point is missing where the extension is.
    const std::string geometry =
        with_geometry_layout(geometry_source, geometry_input_type, geometry_output_type, max_output_vertices);
    build(vertex_source, &geometry, fragment_source, transform_feedback);
}

GLSLProgram::GLSLProgram(const std::string& vertex_source, const std::string& fragment_source,
                         std::shared_ptr<TransformFeedback> transform_feedback) {
    build(vertex_source, nullptr, fragment_source, transform_feedback);
}

void GLSLProgram::build(const std::string& vertex_source, const std::string* geometry_source,
                        const std::string& fragment_source,
                        const std::shared_ptr<TransformFeedback>& transform_feedback) {
    ShaderName vertex, geometry, fragment;
    debug_print_line("Compiling vertex shader...");
    compile_shader(vertex, GL_VERTEX_SHADER, vertex_source);
    if (geometry_source != nullptr) {
        debug_print_line("Compiling geometry shader...");
        compile_shader(geometry, GL_GEOMETRY_SHADER_EXT, *geometry_source);
    }
    debug_print_line("Compiling fragment shader...");
    compile_shader(fragment, GL_FRAGMENT_SHADER, fragment_source);

    debug_print_line("Linking program...");
    ProgramName program(gl_create_program());
    TAVREL_CHECK_GL();
    glAttachShader(program.get(), vertex.get());
    TAVREL_CHECK_GL();
    glAttachShader(program.get(), fragment.get());
    TAVREL_CHECK_GL();
    if (geometry_source != nullptr) {
        glAttachShader(program.get(), geometry.get());
        TAVREL_CHECK_GL();
    }
    if (transform_feedback) {
        transform_feedback->set_varyings(program.get());
    } else {
        glLinkProgram(program.get());
        TAVREL_CHECK_GL();
    }
    vertex_shader_ = vertex.get();
    geometry_shader_ = geometry.get();
    fragment_shader_ = fragment.get();
    // The program keeps its attached shaders alive until it goes itself.
    fragment.reset(0);
    vertex.reset(0);
    geometry.reset(0);
    TAVREL_CHECK_GL();

    GLint linked = 0;
    glGetProgramiv(program.get(), GL_LINK_STATUS, &linked);
    TAVREL_CHECK_GL();
    const std::string log = program_log(program.get());
    if (!linked) {
        print_numbered_source(vertex_source);
        print_numbered_source(fragment_source);
        if (geometry_source != nullptr) print_numbered_source(*geometry_source);
        debug_print_line(log);
        throw GlEngineError("GLSL link error.");
    }
    debug_print_line(log);
    program_ = program.release();
}

GLSLProgram::~GLSLProgram() {
    if (!glIsProgram(program_)) return;
    TAVREL_REPORT_GL();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    if (static_cast<GLuint>(current) == program_) glUseProgram(0);
    gl_delete_program(program_);
    TAVREL_REPORT_GL();
}

void GLSLProgram::bind() {
    glUseProgram(program_);
    TAVREL_CHECK_GL();
}

void GLSLProgram::unbind() {}

bool GLSLProgram::is_valid() {
    GLint linked = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    TAVREL_CHECK_GL();
    glValidateProgram(program_);
    TAVREL_CHECK_GL();
    GLint valid = 0;
    glGetProgramiv(program_, GL_VALIDATE_STATUS, &valid);
    TAVREL_CHECK_GL();
    return linked == 1 && valid == 1;
}

std::shared_ptr<IParameter> GLSLProgram::get_parameter(const std::string& name) {
    return std::make_shared<GLSLUniform>(program_, name);
}

bool GLSLProgram::is_glsl() const { return true; }

bool GLSLProgram::has_named_parameters() const { return true; }

bool GLSLProgram::has_parameter(const std::string& name) {
    const GLint location = glGetUniformLocation(program_, name.c_str());
    TAVREL_CHECK_GL();
    return location != -1;
}

void TexturingProgram::bind_texture(GLenum target, const std::string& sampler, GLuint texture, GLuint unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    TAVREL_CHECK_GL();
    glBindTexture(target, texture);
    TAVREL_CHECK_GL();
    if (has_parameter(sampler)) get_parameter(sampler)->set_int(static_cast<int>(unit));
    glActiveTexture(GL_TEXTURE0);
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
