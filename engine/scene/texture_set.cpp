#include "engine/scene/texture_set.h"

#include <utility>

namespace tavrel {

TextureSet::TextureSet(std::shared_ptr<ITextureObject> colour, std::shared_ptr<ITextureObject> back_face_colour,
                       std::shared_ptr<ITextureObject> environment, float reflectivity,
                       std::uint32_t environment_map_mode)
    : colour_(std::move(colour)),
      back_face_colour_(std::move(back_face_colour)),
      environment_(std::move(environment)),
      reflectivity_(reflectivity),
      environment_map_mode_(environment_map_mode) {}

void TextureSet::bind(TexturingProgram& program) const {
    if (colour_) program.bind_texture(GL_TEXTURE_2D, "ColorSampler", colour_->gl_name(), kColorUnit);
    if (back_face_colour_)
        program.bind_texture(GL_TEXTURE_2D, "BackFaceColorSampler", back_face_colour_->gl_name(),
                             kBackFaceColorUnit);

    float reflectivity = 0.0f;
    int mode = 0;
    GLuint flat = 0;
    GLuint cube = 0;
    if (environment_) {
        reflectivity = reflectivity_;
        mode = static_cast<int>(environment_map_mode_);
        (environment_map_mode_ == kCubeEnvironmentMode ? cube : flat) = environment_->gl_name();
    }
    const bool cube_in_use = environment_ && environment_map_mode_ == kCubeEnvironmentMode;
    program.bind_texture(GL_TEXTURE_2D, "EnvSampler", flat, cube_in_use ? kParkedEnvironmentUnit : kEnvironmentUnit);
    program.bind_texture(GL_TEXTURE_CUBE_MAP, "EnvCubeSampler", cube,
                         cube_in_use ? kEnvironmentUnit : kParkedEnvironmentUnit);

    if (program.has_parameter("Reflectivity")) program.get_parameter("Reflectivity")->set_float(reflectivity);
    if (program.has_parameter("EnvMapMode")) program.get_parameter("EnvMapMode")->set_int(mode);
}

}  // namespace tavrel
