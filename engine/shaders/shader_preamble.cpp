#include "engine/shaders/shader_preamble.h"

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"

namespace tavrel {

namespace {

const char* const kVersionAndExtensions =
    "#version 120\n"
    "#extension GL_ARB_texture_rectangle : enable\n"
    "#extension GL_EXT_texture_array : enable\n"
    "#extension GL_EXT_gpu_shader4 : enable\n";

// Derivative control gives the software path's layer read differences along
// each row and column, which it needs to tell a whole 2 x 2 block's choice
// of read (texture_read_chunks.cpp).
const char* const kFineDerivatives = "#extension GL_ARB_derivative_control : enable\n";

std::string macros(const char* epsilon, const char* input, const char* output) {
    return std::string("#define EPSILON ") + epsilon + "\n" +
           "#define INPUT_SWIZZLE_SCALE(color_in) " + input + "\n" +
           "#define OUTPUT_SWIZZLE_SCALE(color_out) " + output + "\n";
}

}  // namespace

std::string shader_preamble(int kind, const GlFeatures& features) {
    std::string text = kVersionAndExtensions;
    const bool software = features.path == GlPath::kSoftware;
    const bool fine = software && features.fine_derivatives;
    // Every #extension line before the first other line.
    if (fine) text += kFineDerivatives;
    if (software) text += "#define TAVREL_SOFTWARE_PATH\n";
    if (fine) text += "#define TAVREL_FINE_DERIVATIVES\n";
    switch (kind) {
        // 8-bit images arrive as BGRA bytes of the host's ARGB pixels.
        case 0: return text + macros("0.004", "color_in.grab", "color_out.grab");
        // The host's 16-bit range tops out at half the texture's range.
        case 1: return text + macros("1.53e-5", "2.0*color_in.gbar", "min(0.5*color_out.argb,0.5)");
        case 2: return text + macros("1e-6", "color_in.gbar", "min(color_out.argb, 1.0)");
        default: return text + macros("0.004", "color_in.gbar", "color_out.argb");
    }
}

std::string shader_preamble(int kind) { return shader_preamble(kind, running_gl_features()); }

std::string geometry_preamble(int kind) {
    std::string text = shader_preamble(kind);
    // The extension lines may stay: "enable" is tolerated in a 1.50 shader.
    text.replace(0, text.find('\n'), "#version 150 compatibility");
    return text;
}

std::string geometry_layout(GLenum input_type, GLenum output_type, int max_vertices) {
    const char* in = nullptr;
    switch (input_type) {
        case GL_POINTS: in = "points"; break;
        case GL_LINES: in = "lines"; break;
        case GL_TRIANGLES: in = "triangles"; break;
        default: throw GlEngineError("unsupported geometry input type " + std::to_string(input_type));
    }
    const char* out = nullptr;
    switch (output_type) {
        case GL_POINTS: out = "points"; break;
        case GL_LINE_STRIP: out = "line_strip"; break;
        case GL_TRIANGLE_STRIP: out = "triangle_strip"; break;
        default: throw GlEngineError("unsupported geometry output type " + std::to_string(output_type));
    }
    return std::string("layout(") + in + ") in;\nlayout(" + out +
           ", max_vertices = " + std::to_string(max_vertices) + ") out;\n";
}

bool fine_derivatives_compile() {
    const std::string source = std::string(kVersionAndExtensions) + kFineDerivatives +
                               "void main()\n{\n"
                               "    float v = gl_FragCoord.x * gl_FragCoord.y;\n"
                               "    gl_FragColor = vec4(dFdxFine(v), dFdyFine(v), 0.0, 1.0);\n"
                               "}\n";
    const GLuint shader = gl_create_shader(GL_FRAGMENT_SHADER);
    TAVREL_CHECK_GL();
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    gl_delete_shader(shader);
    TAVREL_CHECK_GL();
    return compiled != 0;
}

}  // namespace tavrel
