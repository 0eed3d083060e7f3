// What the engine learns of its OpenGL driver once, at start: whether the
// context offers everything the engine draws with, which of the two read
// paths its programs and its instancing take, and the optional features it
// may use. The engine refuses to start on a context that lacks a
// requirement, so that nothing later calls an entry point the driver does
// not have.
#pragma once

#include <string>
#include <vector>

namespace tavrel {

// How the shading programs read textures and how the instancing waits.
// kHardware, a graphics card's: one filtered read a lookup, the driver's
// own anisotropic filtering over the full footprint, no wait between
// instances. kSoftware, Mesa's software rasterisers': footprints bounded
// to kLongestTextureFootprint texels, the layer read bilinearly in the
// shader where a pixel covers at most a texel, and a bound on the
// instances the rasteriser holds at once (texture_read_chunks.cpp and
// rasteriser_throttle.h say why).
enum class GlPath { kHardware, kSoftware };

// Forces the path: "hardware" or "software". Read once, at engine start.
constexpr const char* kGlPathVariable = "TAVREL_GL_PATH";

// What the programs, the textures and the instancing read of the driver.
struct GlFeatures {
    GlPath path = GlPath::kHardware;
    // GL_EXT_texture_filter_anisotropic or GL_ARB_texture_filter_anisotropic,
    // with the driver's largest ratio; without it textures filter without
    // anisotropy.
    bool anisotropic_filtering = false;
    float max_anisotropy = 1.0f;
    // dFdxFine and dFdyFine in a "#version 120" fragment stage with
    // GL_ARB_derivative_control enabled, as a compile at start showed; only
    // the software path's layer read uses them, and only there are they
    // asked for.
    bool fine_derivatives = false;

    bool operator==(const GlFeatures& other) const {
        return path == other.path && anisotropic_filtering == other.anisotropic_filtering &&
               max_anisotropy == other.max_anisotropy && fine_derivatives == other.fine_derivatives;
    }
};

struct GlDriver {
    // GL_RENDERER and GL_VERSION as the driver gave them.
    std::string renderer;
    std::string version;
    // Whether kGlPathVariable chose the path rather than the renderer.
    bool path_forced = false;
    GlFeatures features;
};

// Whether GL_RENDERER names one of Mesa's software rasterisers (llvmpipe,
// softpipe, swrast).
bool software_renderer(const std::string& renderer);

// The path of the renderer, unless `forced` (the variable's value; null or
// empty: not set) names one. Any other value throws GlEngineError naming
// the variable and the values it takes.
GlPath choose_gl_path(const std::string& renderer, const char* forced);

// "OpenGL 3.2" from "3.2", "4.5 (Compatibility Profile) Mesa 22.3.6" or
// "4.60 NVIDIA ...", as major x 100 + minor x 10 for OpenGL ("2.1": 210)
// and major x 100 + minor for GLSL ("1.50": 150, "4.60": 460); 0 for a
// null or unreadable string.
int gl_version_number(const char* text);
int glsl_version_number(const char* text);

// What the engine needs and the current context lacks, one entry each, in
// the order: version and profile, GLSL, extensions, entry points. Empty when
// nothing is missing. After glewInit, with the context current; clears the
// errors its queries leave.
std::vector<std::string> missing_gl_requirements();

// Learns the current context's driver (after glewInit): throws GlEngineError
// "OpenGL here lacks what the engine needs: ..." naming every missing
// requirement, or the variable's error. Fine derivatives are left for the
// caller to find out (they need a compile).
GlDriver learn_gl_driver(const char* forced_path);

// The features of the engine running in this library, which every program
// it compiles, every texture it filters and every instancing it draws
// follows; a graphics card's path without optional features until an
// engine has started. An engine sets them at start, before it compiles
// anything, and they stay until the next engine's start: one library runs
// one engine at a time, and every engine of a process has the same driver.
GlFeatures running_gl_features();
void set_running_gl_features(const GlFeatures& features);

}  // namespace tavrel
