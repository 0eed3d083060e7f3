// The layer's modeling matrix against the product the fixed-function calls
// build for the same components, read back from GL.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>

#include "surface/frame_values.h"
#include "surface/sequence_data.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/param_table.h"
#include "tests/surface/test_camera.h"

namespace {

using namespace tavrel;

TEST(ModelingTransformGl, LayerMatrixEqualsTheMatrixStackProduct) {
    struct Case {
        const char* name;
        double position[3], rotation[3], scale[3], anchor[3];
        int comp_width, comp_height;
        PF_RationalScale layer_aspect;
    };
    const Case cases[] = {
        {"identity parts", {0, 0, 0}, {0, 0, 0}, {100, 100, 100}, {0, 0, 0}, 320, 240, {1, 1}},
        {"all parts", {15.5, -40, 250}, {10, -35, 120}, {150, 50, -75}, {20, 12.5, -3}, 640, 360, {1, 1}},
        {"wide pixels", {-300, 20, 0}, {0, 90, -10}, {80, 120, 100}, {-5, 7, 0}, 720, 486, {10, 11}},
    };
    tavrel_test::run_on_engine([&cases](GlEngine&) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            tavrel_test::ParamTable p;
            for (int i = 0; i < 3; ++i) {
                p.fixed(22 + i, c.position[i]);
                p.angle(25 + i, c.rotation[i]);
                p.real(28 + i, c.scale[i]);
                p.fixed(31 + i, c.anchor[i]);
            }
            SequenceData data;
            data.render_settings.comp_size[0] = c.comp_width;
            data.render_settings.comp_size[1] = c.comp_height;
            PF_InData in{};
            in.downsample_x = {1, 1};
            in.downsample_y = {1, 1};
            in.pixel_aspect_ratio = c.layer_aspect;
            Matrix4d view;
            view.translate(0, 0, -1000);
            const tavrel_test::TestCamera camera(view, Matrix4d(), RenderSize{c.comp_width, c.comp_height});
            const ModelingTransform t = make_modeling_transform(&in, p.params(), data, camera, 0);

            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
            glTranslated(c.comp_width / 2.0, c.comp_height / 2.0, 0.0);
            glTranslated(c.position[0], c.position[1], c.position[2]);
            glRotated(c.rotation[0], 1, 0, 0);
            glRotated(c.rotation[1], 0, 1, 0);
            glRotated(c.rotation[2], 0, 0, 1);
            glScaled(c.scale[0] / 100.0 * c.layer_aspect.num / c.layer_aspect.den, c.scale[1] / 100.0,
                     c.scale[2] / 100.0);
            glTranslated(-c.anchor[0], -c.anchor[1], -c.anchor[2]);
            std::array<double, 16> expected{};
            glGetDoublev(GL_MODELVIEW_MATRIX, expected.data());
            glPopMatrix();
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            // The stack keeps floats: about 1e-7 relative to translations of
            // a few hundred pixels.
            for (int i = 0; i < 16; ++i) EXPECT_NEAR(t.modeling_matrix[i], expected[i], 1e-4) << i;
        }
    });
}

}  // namespace
