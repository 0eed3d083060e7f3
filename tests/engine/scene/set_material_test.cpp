// The fixed-function material as set_material leaves it.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <memory>
#include <regex>
#include <string>
#include <utility>

#include "engine/core/engine_errors.h"
#include "engine/scene/set_material.h"
#include "engine/scene/standard_nodes.h"
#include "tests/engine/shared_engine.h"

namespace {

struct FixedMaterial : tavrel::IMaterial {
    const float* ambient() const override { return ambient_; }
    const float* diffuse() const override { return diffuse_; }
    const float* specular() const override { return specular_; }
    float shininess() const override { return shininess_; }
    float ambient_[4] = {0.2f, 0.3f, 0.4f, 1.0f};
    float diffuse_[4] = {0.8f, 0.7f, 0.6f, 0.5f};
    float specular_[4] = {0.5f, 0.25f, 0.125f, 1.0f};
    float shininess_ = 10.001f;
};

std::array<float, 4> material_colour(GLenum face, GLenum what) {
    std::array<float, 4> colour{};
    glGetMaterialfv(face, what, colour.data());
    return colour;
}

TEST(SetMaterial, SetsFrontAndBackColoursAndShininess) {
    tavrel_test::run_on_engine([](tavrel::GlEngine&) {
        const FixedMaterial material;
        tavrel::set_material(material);
        using F4 = std::array<float, 4>;
        for (GLenum face : {GLenum(GL_FRONT), GLenum(GL_BACK)}) {
            SCOPED_TRACE(face);
            EXPECT_EQ(material_colour(face, GL_AMBIENT), (F4{0.2f, 0.3f, 0.4f, 1.0f}));
            EXPECT_EQ(material_colour(face, GL_DIFFUSE), (F4{0.8f, 0.7f, 0.6f, 0.5f}));
            EXPECT_EQ(material_colour(face, GL_SPECULAR), (F4{0.5f, 0.25f, 0.125f, 1.0f}));
            float shininess = 0.0f;
            glGetMaterialfv(face, GL_SHININESS, &shininess);
            EXPECT_FLOAT_EQ(shininess, 10.001f);
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// GL takes shininess in 0 to 128 only; anything else is reported, not
// silently clamped, and the colours set before it stay.
TEST(SetMaterial, ShininessOutOfRangeIsAnEngineError) {
    tavrel_test::run_on_engine([](tavrel::GlEngine&) {
        FixedMaterial material;
        material.diffuse_[0] = 0.25f;
        material.shininess_ = 200.0f;
        try {
            tavrel::set_material(material);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("engine/scene/set_material.cpp"), std::string::npos) << text;
            EXPECT_NE(text.find("invalid value"), std::string::npos) << text;
        }
        EXPECT_EQ(material_colour(GL_FRONT, GL_DIFFUSE)[0], 0.25f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

struct FixedMaterialNode : tavrel::MaterialNode {
    explicit FixedMaterialNode(std::shared_ptr<tavrel::IMaterial> material)
        : MaterialNode(std::move(material)) {}
    std::string type_name() const override { return "FixedMaterialNode"; }
};

// The node's error names the node once, in the "source: line text" form of
// every node's error, with no second location inside it.
TEST(SetMaterial, MaterialNodeErrorNamesTheNodeOnce) {
    tavrel_test::run_on_engine([](tavrel::GlEngine&) {
        auto material = std::make_shared<FixedMaterial>();
        material->shininess_ = 200.0f;
        FixedMaterialNode node(material);
        try {
            node.render();
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            const std::string text = e.what();
            EXPECT_TRUE(std::regex_match(text, std::regex("material_node: [0-9]+ invalid value"))) << text;
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
