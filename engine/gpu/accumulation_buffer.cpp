#include "engine/gpu/accumulation_buffer.h"

#include <GL/glew.h>

#include "engine/gpu/full_screen_quad.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_formats.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

RenderTargetDescriptor accumulation_target(const AccumulationKey& key) {
    RenderTargetDescriptor descriptor;
    descriptor.texture.target = GL_TEXTURE_2D;
    descriptor.texture.format_kind = 2;
    descriptor.texture.channel_layout = 2;
    descriptor.texture.width = static_cast<std::uint32_t>(key.width);
    descriptor.texture.height = static_cast<std::uint32_t>(key.height);
    descriptor.texture.external_format = GL_RGBA;
    descriptor.texture.pixel_type = GL_FLOAT;
    descriptor.texture.filter = 0;
    descriptor.texture.wrap_mode = 1;
    descriptor.colour_attachment_count = 1;
    return descriptor;
}

}  // namespace

AccumulationBuffer::AccumulationBuffer(const AccumulationKey& key)
    : width(key.width),
      height(key.height),
      target(std::make_shared<RenderTarget>(accumulation_target(key))),
      program(std::make_shared<CopyProgram>(false, 2)) {
    accumulation_clear(*this);
}

AccumulationBuffer::~AccumulationBuffer() = default;

bool driver_holds(const AccumulationKey& key) { return driver_holds(accumulation_target(key).texture); }

void accumulation_clear(AccumulationBuffer& buffer) {
    buffer.target->bind();
    glClearColor(0, 0, 0, 0);
    TAVREL_CHECK_GL();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TAVREL_CHECK_GL();
}

void accumulate_view(AccumulationBuffer& buffer, RenderTarget& source, double weight) {
    buffer.target->bind();
    {
        IntegerStateGuard program_guard(*buffer.program);
        TextureBindingGuard texture_guard(*buffer.program, GL_TEXTURE_2D, "tex_src",
                                          source.textures.at(0)->gl_name(), 0);
        MatrixModeGuard matrices;
        AttribGuard attributes;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // The quad must cover the whole target whatever viewport the views
        // were drawn with; the attribute guard gives the old one back.
        glViewport(0, 0, static_cast<GLsizei>(buffer.width), static_cast<GLsizei>(buffer.height));
        const auto w = static_cast<GLfloat>(weight);
        glBlendFunc(GL_CONSTANT_COLOR, GL_ONE);
        glBlendColor(w, w, w, w);
        glEnable(GL_BLEND);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        TAVREL_CHECK_GL();
        draw_full_screen_quad();
        TAVREL_CHECK_GL();
    }
    source.bind();
}

}  // namespace tavrel
