// The floor that the engine's frames are measured against: the shared
// 200k-triangle mesh drawn by one small program with four point lights and a
// texture, straight into a multisample buffer, then resolved. No scene graph,
// no renderer tree, no host.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/draw_triangle_array.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/shaders/glsl_program.h"

namespace tavrel_bench {

inline const char* const kBareVertex = R"glsl(
varying vec3 position;
varying vec3 normal;
void main()
{
    position = gl_Vertex.xyz;
    normal = gl_Normal;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
)glsl";

inline const char* const kBareFragment = R"glsl(
uniform sampler2D colour;
uniform vec3 light_position[4];
uniform vec3 camera;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec3 N = normalize(normal);
    vec3 E = normalize(camera - position);
    vec3 decal = texture2D(colour, gl_TexCoord[0].st).rgb;
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        vec3 L = normalize(light_position[i] - position);
        float d = max(dot(N, L), 0.0);
        float s = d > 0.0 ? pow(max(dot(normalize(-reflect(L, N)), E), 0.0), 100.0) : 0.0;
        sum += 0.4 * decal * d + vec3(s);
    }
    gl_FragColor = vec4(clamp(sum, 0.0, 1.0), 1.0);
}
)glsl";

// On the mesh's front side (-z), around the view axis.
inline const float kLightPositions[4][3] = {{-8, 5, -15}, {8, 5, -15}, {-8, -5, -15}, {8, -5, -15}};
inline const tavrel::Vec3d kEye{0, 0, -25};

// What the bare frame draws, made on the rendering thread.
struct BareFrame {
    std::shared_ptr<tavrel::PBO> mesh;
    std::shared_ptr<tavrel::TextureObject> texture;
    tavrel::Matrix4d view, projection;
    std::unique_ptr<tavrel::GLSLProgram> program;

    BareFrame(tavrel::GlEngine& engine, double aspect) : mesh(make_wave_mesh(engine)) {
        tavrel::TextureDescription description;
        description.target = GL_TEXTURE_2D;
        description.format_kind = 2;
        description.channel_layout = 2;
        description.width = description.height = 256;
        description.external_format = GL_RGBA;
        description.pixel_type = GL_FLOAT;
        description.filter = 1;
        description.wrap_mode = 1;
        texture = std::make_shared<tavrel::TextureObject>(description);
        std::vector<float> texels(256 * 256 * 4);
        for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = (i % 4 == 0) ? 1.0f : float((i * 37) % 256) / 255;
        glBindTexture(GL_TEXTURE_2D, texture->gl_name());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 256, GL_RGBA, GL_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);

        view = tavrel::look_at_matrix(kEye, {0, 0, 0}, {0, -1, 0});
        projection = tavrel::perspective_matrix(45.0, aspect, 1.0, 100.0);

        program = std::make_unique<tavrel::GLSLProgram>(kBareVertex, kBareFragment);
        program->bind();
        glUniform1i(glGetUniformLocation(program->program(), "colour"), 0);
        glUniform3fv(glGetUniformLocation(program->program(), "light_position"), 4, &kLightPositions[0][0]);
        glUniform3f(glGetUniformLocation(program->program(), "camera"), float(kEye.x), float(kEye.y),
                    float(kEye.z));
        glUseProgram(0);
    }

    // Draws into a pooled buffer of `samples` and resolves it into a pooled
    // target of the format kind, which is returned bound.
    std::shared_ptr<tavrel::RenderTarget> draw(tavrel::GlEngine& engine, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t samples, std::uint32_t kind) {
        auto buffer = engine.request_render_buffer(width, height, samples, kind);
        auto target = engine.request_render_target(width, height, 1, kind, false, 0, 1);
        buffer->bind();
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection.data());
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(view.data());
        program->bind();
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture->gl_name());
        tavrel::draw_triangle_array(*mesh, kMeshTriangles);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        tavrel::fast_blit(*buffer, *target);
        return target;
    }
};

}  // namespace tavrel_bench
