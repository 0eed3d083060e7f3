#include "engine/shaders/shader_preamble.h"

#include "engine/core/engine_errors.h"

namespace tavrel {

namespace {

// Derivative control gives the layer read differences along each row and
// column, which it needs to tell a whole 2 x 2 block's choice of read; a
// driver without it only warns, and the read then does without.
const char* const kVersionAndExtensions =
    "#version 120\n"
    "#extension GL_ARB_texture_rectangle : enable\n"
    "#extension GL_EXT_texture_array : enable\n"
    "#extension GL_EXT_gpu_shader4 : enable\n"
    "#extension GL_ARB_derivative_control : enable\n";

std::string macros(const char* epsilon, const char* input, const char* output) {
    return std::string("#define EPSILON ") + epsilon + "\n" +
           "#define INPUT_SWIZZLE_SCALE(color_in) " + input + "\n" +
           "#define OUTPUT_SWIZZLE_SCALE(color_out) " + output + "\n";
}

}  // namespace

std::string shader_preamble(int kind) {
    std::string text = kVersionAndExtensions;
    switch (kind) {
        // 8-bit images arrive as BGRA bytes of the host's ARGB pixels.
        case 0: return text + macros("0.004", "color_in.grab", "color_out.grab");
        // The host's 16-bit range tops out at half the texture's range.
        case 1: return text + macros("1.53e-5", "2.0*color_in.gbar", "min(0.5*color_out.argb,0.5)");
        case 2: return text + macros("1e-6", "color_in.gbar", "min(color_out.argb, 1.0)");
        default: return text + macros("0.004", "color_in.gbar", "color_out.argb");
    }
}

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

}  // namespace tavrel
