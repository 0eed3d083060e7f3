// The layer's modeling matrix against the product that glTranslated,
// glRotated and glScaled build for the same components, read back from GL.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>

#include "lattix_pro/render_indices.h"
#include "surface/frame/frame_values.h"
#include "surface/mesh/sequence_data.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;

// The parameter arrays below are laid out as the first effect's table.
constexpr RenderParamIndices kFirst = lattix_pro_render_indices();

TEST(ModelingTransformGl, LayerMatrixEqualsTheMatrixStackProduct) {
    struct Case {
        double position[3], rotation[3], scale[3], anchor[3];
        PF_RationalScale layer_aspect;
        int layer_kind;     // a text layer tied to the layer is centred on its frame
        double shift[2];    // what that centring takes off the anchor
    };
    const Case cases[] = {
        {{15.5, -40, 250}, {10, -35, 120}, {150, 50, -75}, {20, 12.5, -3}, {1, 1}, 2, {0, 0}},
        {{-300, 20, 0}, {0, 90, -10}, {80, 120, 100}, {-5, 7, 0}, {10, 11}, 3, {-210, -194}},
    };
    tavrel_test::run_on_engine([&cases](GlEngine&) {
        for (const Case& c : cases) {
            tavrel_test::ParamTable p;
            for (int i = 0; i < 3; ++i) {
                p.fixed(22 + i, c.position[i]), p.angle(25 + i, c.rotation[i]);
                p.real(28 + i, c.scale[i]), p.fixed(31 + i, c.anchor[i]);
            }
            p.checkbox(35, true);
            SequenceData data;
            RenderSettings& rs = data.render_settings;
            rs.comp_size[0] = 640, rs.comp_size[1] = 480, rs.frame_size = {200, 100};
            rs.frame_origin[0] = 10, rs.frame_origin[1] = -4;
            PF_InData in{};
            in.downsample_x = in.downsample_y = {1, 1};
            in.pixel_aspect_ratio = c.layer_aspect;
            tavrel_test::TestCamera camera;
            camera.frame_width = 640, camera.frame_height = 480;
            const ModelingTransform t = make_modeling_transform(&in, p.params(), data, camera, c.layer_kind, kFirst);

            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
            glTranslated(320.0, 240.0, 0.0);
            glTranslated(c.position[0], c.position[1], c.position[2]);
            glRotated(c.rotation[0], 1, 0, 0);
            glRotated(c.rotation[1], 0, 1, 0);
            glRotated(c.rotation[2], 0, 0, 1);
            glScaled(c.scale[0] / 100.0 * c.layer_aspect.num / c.layer_aspect.den, c.scale[1] / 100.0,
                     c.scale[2] / 100.0);
            glTranslated(-(c.anchor[0] - c.shift[0]), -(c.anchor[1] - c.shift[1]), -c.anchor[2]);
            std::array<double, 16> expected{};
            glGetDoublev(GL_MODELVIEW_MATRIX, expected.data());
            glPopMatrix();
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            // The stack keeps floats: about 1e-7 relative to a few hundred pixels.
            for (int i = 0; i < 16; ++i) EXPECT_NEAR(t.modeling_matrix[i], expected[i], 1e-4) << c.layer_kind << i;
        }
    });
}

}  // namespace
