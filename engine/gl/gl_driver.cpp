#include "engine/gl/gl_driver.h"

#include <GL/glew.h>

#include <cstdio>
#include <mutex>

#include "engine/core/engine_errors.h"

namespace tavrel {

namespace {

const char* gl_string(GLenum name) {
    // Mesa answers null for a GLSL version it cannot name.
    return reinterpret_cast<const char*>(glGetString(name));
}

std::string text_or(const char* text, const char* fallback) { return text != nullptr ? text : fallback; }

void clear_gl_errors() {
    // A context in error keeps a flag per kind: a bounded number of reads.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

struct EntryPoint {
    const char* name;
    const void* address;
};

#define TAVREL_ENTRY(f) EntryPoint{#f, reinterpret_cast<const void*>(f)}

// Every entry point beyond OpenGL 1.1 that the engine and the effects call
// unguarded. GLEW leaves a pointer null when the driver offers neither the
// version nor the extension that brings it; the optional ones
// (GL_NV_transform_feedback, glTexImage2DMultisample, glProgramParameteriEXT)
// are tested where they are called.
std::vector<EntryPoint> required_entry_points() {
    return {
        // Programs and uniforms.
        TAVREL_ENTRY(glCreateShader), TAVREL_ENTRY(glShaderSource), TAVREL_ENTRY(glCompileShader),
        TAVREL_ENTRY(glGetShaderiv), TAVREL_ENTRY(glGetShaderInfoLog), TAVREL_ENTRY(glDeleteShader),
        TAVREL_ENTRY(glCreateProgram), TAVREL_ENTRY(glAttachShader), TAVREL_ENTRY(glLinkProgram),
        TAVREL_ENTRY(glValidateProgram), TAVREL_ENTRY(glGetProgramiv), TAVREL_ENTRY(glGetProgramInfoLog),
        TAVREL_ENTRY(glIsProgram), TAVREL_ENTRY(glUseProgram), TAVREL_ENTRY(glDeleteProgram),
        TAVREL_ENTRY(glGetUniformLocation), TAVREL_ENTRY(glUniform1f), TAVREL_ENTRY(glUniform1fv),
        TAVREL_ENTRY(glUniform1i), TAVREL_ENTRY(glUniform1iv), TAVREL_ENTRY(glUniform2f), TAVREL_ENTRY(glUniform2i),
        TAVREL_ENTRY(glUniform3fv), TAVREL_ENTRY(glUniform4f), TAVREL_ENTRY(glUniform4fv),
        TAVREL_ENTRY(glUniformMatrix4fv), TAVREL_ENTRY(glDrawBuffers),
        // Textures, blending.
        TAVREL_ENTRY(glActiveTexture), TAVREL_ENTRY(glClientActiveTexture), TAVREL_ENTRY(glTexImage3D),
        TAVREL_ENTRY(glBlendColor), TAVREL_ENTRY(glBlendEquation),
        // Buffers and pixel buffers.
        TAVREL_ENTRY(glGenBuffers), TAVREL_ENTRY(glBindBuffer), TAVREL_ENTRY(glBufferData),
        TAVREL_ENTRY(glBufferSubData), TAVREL_ENTRY(glGetBufferParameteriv), TAVREL_ENTRY(glMapBuffer),
        TAVREL_ENTRY(glUnmapBuffer), TAVREL_ENTRY(glDeleteBuffers), TAVREL_ENTRY(glBindBufferBase),
        // Occlusion and primitive queries.
        TAVREL_ENTRY(glGenQueries), TAVREL_ENTRY(glBeginQuery), TAVREL_ENTRY(glEndQuery),
        TAVREL_ENTRY(glGetQueryObjectuiv), TAVREL_ENTRY(glDeleteQueries),
        // Framebuffer objects, blits, multisample storage, layers of arrays.
        TAVREL_ENTRY(glGenFramebuffersEXT), TAVREL_ENTRY(glBindFramebufferEXT),
        TAVREL_ENTRY(glDeleteFramebuffersEXT), TAVREL_ENTRY(glCheckFramebufferStatusEXT),
        TAVREL_ENTRY(glFramebufferTexture2DEXT), TAVREL_ENTRY(glFramebufferRenderbufferEXT),
        TAVREL_ENTRY(glFramebufferTextureLayerEXT), TAVREL_ENTRY(glGenRenderbuffersEXT),
        TAVREL_ENTRY(glBindRenderbufferEXT), TAVREL_ENTRY(glDeleteRenderbuffersEXT),
        TAVREL_ENTRY(glRenderbufferStorageMultisampleEXT), TAVREL_ENTRY(glBlitFramebufferEXT),
        TAVREL_ENTRY(glBindFramebuffer), TAVREL_ENTRY(glFramebufferTexture2D),
        // Float colour reads.
        TAVREL_ENTRY(glClampColor),
        // Fences, which bound the instances the software path holds.
        TAVREL_ENTRY(glFenceSync), TAVREL_ENTRY(glClientWaitSync), TAVREL_ENTRY(glDeleteSync),
    };
}

#undef TAVREL_ENTRY

bool ext_transform_feedback() {
    return GLEW_EXT_transform_feedback && glBeginTransformFeedbackEXT != nullptr &&
           glEndTransformFeedbackEXT != nullptr && glBindBufferOffsetEXT != nullptr &&
           glTransformFeedbackVaryingsEXT != nullptr && glGetTransformFeedbackVaryingEXT != nullptr;
}

bool nv_transform_feedback() {
    return GLEW_NV_transform_feedback && glBeginTransformFeedbackNV != nullptr &&
           glEndTransformFeedbackNV != nullptr && glBindBufferOffsetNV != nullptr &&
           glTransformFeedbackVaryingsNV != nullptr && glGetVaryingLocationNV != nullptr &&
           glActiveVaryingNV != nullptr;
}

std::mutex& features_mutex() {
    static std::mutex mutex;
    return mutex;
}

GlFeatures& stored_features() {
    static GlFeatures features;
    return features;
}

}  // namespace

bool software_renderer(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (renderer.find(name) != std::string::npos) return true;
    return false;
}

GlPath choose_gl_path(const std::string& renderer, const char* forced) {
    if (forced == nullptr || *forced == '\0')
        return software_renderer(renderer) ? GlPath::kSoftware : GlPath::kHardware;
    const std::string value = forced;
    if (value == "hardware") return GlPath::kHardware;
    if (value == "software") return GlPath::kSoftware;
    throw GlEngineError(std::string(kGlPathVariable) + " is \"" + value + "\"; it takes \"hardware\" or \"software\".");
}

int gl_version_number(const char* text) {
    int major = 0, minor = 0;
    if (text == nullptr || std::sscanf(text, "%d.%d", &major, &minor) != 2 || major < 0 || minor < 0) return 0;
    // The minor version is one digit ("4.6.0"); read "4.60" as 4.6.
    while (minor >= 10) minor /= 10;
    return major * 100 + minor * 10;
}

int glsl_version_number(const char* text) {
    int major = 0, minor = 0;
    if (text == nullptr || std::sscanf(text, "%d.%d", &major, &minor) != 2 || major < 0 || minor < 0) return 0;
    // GLSL minors have two digits ("1.50"); a one-digit one reads as tens.
    if (minor < 10) minor *= 10;
    return major * 100 + minor % 100;
}

std::vector<std::string> missing_gl_requirements() {
    std::vector<std::string> missing;
    const char* version = gl_string(GL_VERSION);
    const int gl = gl_version_number(version);
    // Geometry stages are GLSL 1.50 compatibility; the shading reads the
    // built-in matrices and the fixed-function material.
    bool compatibility = false;
    if (gl >= 320) {
        GLint profile = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        compatibility = (profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) != 0;
    }
    if (gl < 320 || !compatibility) {
        missing.push_back("OpenGL 3.2 with the compatibility profile (this is " + text_or(version, "no version") +
                          (gl >= 320 ? ", a core profile" : "") + ")");
    }
    const char* glsl = gl_string(GL_SHADING_LANGUAGE_VERSION);
    if (glsl_version_number(glsl) < 150)
        missing.push_back("GLSL 1.50 (" + (glsl != nullptr ? "this is " + std::string(glsl) : std::string("no version named")) +
                          ")");

    const struct {
        bool present;
        const char* name;
    } extensions[] = {
        {GLEW_ARB_texture_rectangle != 0, "GL_ARB_texture_rectangle"},
        {GLEW_EXT_texture_array != 0, "GL_EXT_texture_array"},
        {GLEW_EXT_gpu_shader4 != 0, "GL_EXT_gpu_shader4"},
        {nv_transform_feedback() || ext_transform_feedback(), "GL_EXT_transform_feedback"},
        {GLEW_NV_depth_clamp || GLEW_ARB_depth_clamp || gl >= 320, "GL_NV_depth_clamp"},
        {GLEW_EXT_framebuffer_object != 0, "GL_EXT_framebuffer_object"},
        {GLEW_EXT_framebuffer_blit != 0, "GL_EXT_framebuffer_blit"},
        {GLEW_EXT_framebuffer_multisample != 0, "GL_EXT_framebuffer_multisample"},
        {GLEW_ARB_pixel_buffer_object || GLEW_VERSION_2_1, "GL_ARB_pixel_buffer_object"},
        {GLEW_ARB_occlusion_query || GLEW_VERSION_1_5, "GL_ARB_occlusion_query"},
        // Mesa takes float formats away with these two whatever version it
        // names.
        {GLEW_ARB_texture_float != 0, "GL_ARB_texture_float"},
        {GLEW_ARB_color_buffer_float != 0, "GL_ARB_color_buffer_float"},
    };
    for (const auto& e : extensions)
        if (!e.present) missing.push_back(e.name);

    std::string entry_points;
    for (const EntryPoint& e : required_entry_points()) {
        if (e.address != nullptr) continue;
        entry_points += (entry_points.empty() ? "" : ", ") + std::string(e.name);
    }
    if (!entry_points.empty())
        missing.push_back((entry_points.find(',') == std::string::npos ? "the entry point " : "the entry points ") +
                          entry_points);
    clear_gl_errors();
    return missing;
}

GlDriver learn_gl_driver(const char* forced_path) {
    GlDriver driver;
    driver.renderer = text_or(gl_string(GL_RENDERER), "");
    driver.version = text_or(gl_string(GL_VERSION), "");
    const std::vector<std::string> missing = missing_gl_requirements();
    if (!missing.empty()) {
        std::string text = "OpenGL here (" + (driver.renderer.empty() ? "no renderer named" : driver.renderer) +
                           ") lacks what the engine needs: ";
        for (std::size_t i = 0; i < missing.size(); ++i) text += (i == 0 ? "" : "; ") + missing[i];
        throw GlEngineError(text + ".");
    }
    driver.features.path = choose_gl_path(driver.renderer, forced_path);
    driver.path_forced = forced_path != nullptr && *forced_path != '\0';
    driver.features.anisotropic_filtering = GLEW_EXT_texture_filter_anisotropic || GLEW_ARB_texture_filter_anisotropic;
    if (driver.features.anisotropic_filtering) {
        GLfloat largest = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
        // A driver that offers the extension and then refuses the query
        // filters without.
        if (glGetError() != GL_NO_ERROR || !(largest >= 1.0f)) {
            driver.features.anisotropic_filtering = false;
            largest = 1.0f;
        }
        driver.features.max_anisotropy = largest;
    }
    clear_gl_errors();
    return driver;
}

GlFeatures running_gl_features() {
    std::lock_guard<std::mutex> lock(features_mutex());
    return stored_features();
}

void set_running_gl_features(const GlFeatures& features) {
    std::lock_guard<std::mutex> lock(features_mutex());
    stored_features() = features;
}

}  // namespace tavrel
