// The peeling programs compile and link for every pixel format kind on both
// vertex sources, with every sampler on a unit of its own type.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/gpu/gl_engine.h"
#include "engine/render/dual_peeling_programs.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/shared_engine.h"

namespace tavrel_test {
namespace {

GLint sampler_unit(tavrel::GLSLProgram& program, const char* name) {
    const GLint location = glGetUniformLocation(program.program(), name);
    if (location < 0) return -1;
    GLint unit = -1;
    glGetUniformiv(program.program(), location, &unit);
    return unit;
}

TEST(DualPeelingPrograms, BuildForEveryKind) {
    run_on_engine([](tavrel::GlEngine&) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(kind);
            const tavrel::PhongChunks chunks;
            const std::string surface = tavrel::phong_vertex_source(kind, chunks);
            const std::string overlay = tavrel::flat_shading_vertex_source(kind);
            std::vector<std::unique_ptr<tavrel::TexturingProgram>> programs;
            programs.push_back(std::make_unique<tavrel::DualPeelingInitProgram>(surface));
            programs.push_back(std::make_unique<tavrel::DualPeelingInitProgram>(overlay));
            programs.push_back(std::make_unique<tavrel::DualPeelingPeelProgram>(
                surface, tavrel::phong_shading_source(kind, chunks)));
            programs.push_back(
                std::make_unique<tavrel::DualPeelingPeelProgram>(overlay, tavrel::flat_shading_chunk(kind)));
            programs.push_back(std::make_unique<tavrel::DualPeelingBlendProgram>());
            programs.push_back(std::make_unique<tavrel::DualPeelingFinalProgram>(kind));
            for (auto& p : programs) EXPECT_NE(p->program(), 0u);
            auto& peel = *programs[2];
            EXPECT_TRUE(peel.has_parameter("DepthBlenderTex"));
            EXPECT_TRUE(peel.has_parameter("FrontBlenderTex"));
            EXPECT_TRUE(peel.has_parameter("ColorSampler"));
            EXPECT_TRUE(programs[5]->has_parameter("BackBlenderTex"));
            EXPECT_TRUE(programs[4]->has_parameter("TempTex"));
            tavrel::set_phong_sampler_units(peel);
            EXPECT_EQ(sampler_unit(peel, "ColorSampler"), 0);
            EXPECT_EQ(sampler_unit(peel, "height_map"), 3);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
    });
}

}  // namespace
}  // namespace tavrel_test
