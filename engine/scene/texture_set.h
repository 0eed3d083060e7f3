// The textures the shading program samples while one render pass draws.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/shaders/glsl_program.h"
#include "engine/gpu/texture_object.h"

namespace tavrel {

// Texture units of the shading programs' samplers.
inline constexpr GLuint kColorUnit = 0;
inline constexpr GLuint kBackFaceColorUnit = 1;
inline constexpr GLuint kEnvironmentUnit = 2;
// Where the environment sampler not in use is parked with texture 0, so that
// the 2-D and the cube-map sampler never share a unit (validation fails when
// two sampler types point at one unit).
inline constexpr GLuint kParkedEnvironmentUnit = 8;

// Environment map mode of a cube-map environment; every other value means a
// 2-D environment texture.
inline constexpr std::uint32_t kCubeEnvironmentMode = 1;

// Copies share the textures.
class TextureSet {
public:
    TextureSet() = default;
    TextureSet(std::shared_ptr<ITextureObject> colour, std::shared_ptr<ITextureObject> back_face_colour,
               std::shared_ptr<ITextureObject> environment, float reflectivity,
               std::uint32_t environment_map_mode);

    // Binds each present texture to its sampler ("ColorSampler",
    // "BackFaceColorSampler", "EnvSampler" or "EnvCubeSampler") and sets
    // "Reflectivity" and "EnvMapMode" when the program has them. A missing
    // colour or back-face texture leaves its unit alone. Unit 0 is active
    // afterwards.
    void bind(TexturingProgram& program) const;

    const std::shared_ptr<ITextureObject>& colour() const { return colour_; }
    const std::shared_ptr<ITextureObject>& back_face_colour() const { return back_face_colour_; }
    const std::shared_ptr<ITextureObject>& environment() const { return environment_; }
    float reflectivity() const { return reflectivity_; }
    // The "Reflectivity" that bind() sets: 0 without an environment texture.
    float bound_reflectivity() const { return environment_ ? reflectivity_ : 0.0f; }
    std::uint32_t environment_map_mode() const { return environment_map_mode_; }

private:
    std::shared_ptr<ITextureObject> colour_;
    std::shared_ptr<ITextureObject> back_face_colour_;
    std::shared_ptr<ITextureObject> environment_;
    float reflectivity_ = 0.0f;
    std::uint32_t environment_map_mode_ = 0;
};

}  // namespace tavrel
