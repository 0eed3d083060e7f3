// The second effect's deformation region on the engine: a region of
// amplitude 0 renders what no region renders, points along the box's x axis
// land where the twist, bend and bulge formulas put them, and the normals
// that leave the region are those of the surface it draws, the region built
// from the effect's own parameters.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/ambient_light.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_preamble.h"
#include "surface/host/ae_camera_adaptor.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/layer_image_support.h"
#include "tests/surface/mesh_test_support.h"
#include "varnmoor/varnmoor_params.h"

namespace {

using namespace tavrel;

constexpr int kWidth = 64, kHeight = 48;

// The "Deformations" parameters of one instance.
struct RegionParams {
    std::array<PF_ParamDef, varnmoor::kParamCount> defs{};
    std::array<PF_ParamDef*, varnmoor::kParamCount> ptrs{};
    RegionParams(int type_choice, double amplitude_percent, std::array<double, 3> position,
                 std::array<double, 3> size) {
        for (size_t i = 0; i < defs.size(); ++i) ptrs[i] = &defs[i];
        for (int i = 0; i < 3; ++i) {
            defs[size_t(varnmoor::kParamRegionPositionX + i)].u.fs_d.value = position[size_t(i)];
            defs[size_t(varnmoor::kParamRegionSizeX + i)].u.fs_d.value = size[size_t(i)];
        }
        defs[varnmoor::kParamDeformType].u.pd.value = type_choice;
        defs[varnmoor::kParamAmplitude].u.fs_d.value = amplitude_percent;
    }
};

// A curved surface over the whole comp, lit by the ambient light, seen by
// the comp's default camera; 8 bits per channel, rows as the host gets them.
std::vector<std::uint8_t> render_surface(GlEngine& engine, const std::shared_ptr<IDeformationCollection>& region) {
    const std::vector<double> image = tavrel_test::host_image(kWidth, kHeight);
    std::vector<std::uint8_t> pixels(image.size());
    for (std::size_t i = 0; i < image.size(); ++i) pixels[i] = std::uint8_t(std::lround(image[i] * 255));
    auto texture = tavrel_test::texture_of_argb8(engine, pixels, kWidth, kHeight);

    tavrel_test::MeshInstance instance(tavrel_test::random_grid(3, 3, 7), 8);
    if (!instance.setup(engine)) {
        ADD_FAILURE() << "mesh set-up failed";
        return {};
    }
    const auto root = tavrel_test::layer_centred_surface(engine, instance, kWidth, kHeight);

    tavrel_test::RenderArguments arguments;
    arguments.scene.add_render_pass(RenderPass(root, TextureSet(texture, nullptr, nullptr, 0.0f, 0)));
    auto lights = std::make_shared<tavrel_test::TestLights>();
    lights->lights.push_back(std::make_shared<AmbientLight>());
    arguments.scene.set_lights(lights);
    arguments.deformation = region;

    RendererDescription description;
    description.format_kind = 0;
    description.antialiasing_samples = 4;
    auto renderer = engine.request_renderer(description);
    auto destination = engine.request_render_target(kWidth, kHeight, 1, 0, true, 0, 1);
    const std::shared_ptr<IVirtualCameraParameters> view = tavrel_test::default_camera(kWidth, kHeight);
    renderer->render(arguments.scene, *arguments.abort, view, *lights, nullptr, 0, arguments.surface,
                     *arguments.deformation, arguments.shader_parameters, arguments.height_map_size,
                     arguments.displacement, *destination);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    auto pbo = read_pixels_to_pbo(engine, *destination);
    auto result = map_readback(pbo, kWidth, kHeight, 0);
    const std::uint8_t* bytes = boost::get<std::uint8_t*>(result->data());
    return std::vector<std::uint8_t>(bytes, bytes + std::size_t(kWidth) * kHeight * 4);
}

// The region does not change anything at amplitude 0, though its code runs:
// the only difference allowed is the rounding of the round trip into box
// coordinates and back in 32-bit floats, at most 1 in 255.
TEST(VarnmoorRegionImage, AmplitudeZeroRendersAsNoRegion) {
    tavrel_test::run_on_engine([](GlEngine& engine) {
        const std::vector<std::uint8_t> plain = render_surface(engine, std::make_shared<NoDeformation>());
        ASSERT_EQ(plain.size(), std::size_t(kWidth) * kHeight * 4);
        int opaque = 0;
        for (std::size_t i = 0; i < plain.size(); i += 4) opaque += plain[i] == 255 ? 1 : 0;
        ASSERT_GT(opaque, kWidth * kHeight / 2) << "the surface hardly covers the frame";
        for (const int type_choice : {1, 2, 3}) {
            SCOPED_TRACE(type_choice);
            // The default region: 2000 x 2000 x 1000 about the comp's centre.
            const RegionParams p(type_choice, 0.0, {0, 0, 0}, {2000, 2000, 1000});
            const auto region = varnmoor::make_deformation_parameters(p.ptrs.data(), kWidth, kHeight);
            const std::vector<std::uint8_t> deformed = render_surface(engine, region);
            ASSERT_EQ(deformed.size(), plain.size());
            int worst = 0, differing = 0;
            for (std::size_t i = 0; i < plain.size(); ++i) {
                const int d = std::abs(int(deformed[i]) - int(plain[i]));
                worst = std::max(worst, d);
                differing += d != 0 ? 1 : 0;
            }
            std::printf("[ region ] type %d at amplitude 0: %d of %zu bytes differ, largest difference %d\n",
                        type_choice, differing, plain.size(), worst);
            EXPECT_LE(worst, 1);
        }
    });
}

// Deform of one world point, with identity model-view and view matrices.
const char* const kProbeMain = R"glsl(
uniform vec4 probe;
varying vec3 deformed_position;
void main()
{
    DeformationOutput o = Deform(probe, vec3(0.0, 0.0, 1.0), vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0), mat4(1.0));
    deformed_position = o.world_position.xyz;
    gl_Position = gl_Vertex;
}
)glsl";

const char* const kProbeFragment = R"glsl(
varying vec3 deformed_position;
void main()
{
    gl_FragColor = vec4(deformed_position, 1.0);
}
)glsl";

using Point = std::array<double, 3>;

// The deformation written out from its definition, in doubles: into box
// coordinates (the box spans centre -+ size / 2), the twist's turn about x
// or the bend's and bulge's change of z, and back.
Point reference(int type, double amplitude, const Point& centre, const Point& size, const Point& p) {
    const double pi = std::acos(-1.0);
    Point b;
    for (int i = 0; i < 3; ++i) b[size_t(i)] = (p[size_t(i)] - centre[size_t(i)]) / size[size_t(i)];
    if (type == 0) {
        const double turn = std::min(std::max(b[0] + 0.5, 0.0), 1.0) * amplitude * 2.0 * pi;
        const double y = std::cos(turn) * b[1] - std::sin(turn) * b[2];
        const double z = std::sin(turn) * b[1] + std::cos(turn) * b[2];
        b[1] = y;
        b[2] = z;
    } else {
        const double xs = std::min(std::max(b[0], -0.5), 0.5);
        if (type == 1) {
            b[2] -= amplitude * (1.25 - 5.0 * xs * xs);
        } else {
            const double a = amplitude > 0.0 ? 100.0 : 3.6;
            b[2] *= amplitude * (0.25 * a - a * xs * xs) + 1.0;
        }
    }
    Point out;
    for (int i = 0; i < 3; ++i) out[size_t(i)] = centre[size_t(i)] + size[size_t(i)] * b[size_t(i)];
    return out;
}

TEST(VarnmoorRegionImage, PointsAlongTheBoxXAxisMoveAsTheFormulasSay) {
    struct Case {
        const char* name;
        int type_choice;
        double amplitude_percent;
        double y_offset, z_offset;  // from the box's x axis, in pixels
    };
    // Off the axis where the deformation would leave the axis itself alone.
    const Case cases[] = {
        {"twist 25 %", 1, 25.0, 30.0, 10.0},
        {"twist -100 %", 1, -100.0, 0.0, 40.0},
        {"bend 10 %", 2, 10.0, 0.0, 0.0},
        {"bend -40 %", 2, -40.0, 15.0, 0.0},
        {"bulge 50 %", 3, 50.0, 0.0, 6.0},
        {"bulge -30 %", 3, -30.0, 0.0, -60.0},
    };
    // The comp is 1920 x 1080; the box stands off its centre.
    const Point position = {100.0, -50.0, 20.0}, size = {400.0, 300.0, 200.0};
    const Point centre = {960.0 + 100.0, 540.0 - 50.0, 20.0};
    tavrel_test::run_on_engine([&](GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        GLSLProgram program(shader_preamble(2) + deformation_chunk() + kProbeMain,
                            shader_preamble(2) + kProbeFragment);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const RegionParams p(c.type_choice, c.amplitude_percent, position, size);
            const auto region = varnmoor::make_deformation_parameters(p.ptrs.data(), 1920, 1080);
            upload_deformation_parameters(*region, program);
            // The faces, the centre, and beyond the +x face, where the shape
            // is that of the face.
            for (const double t : {-0.5, -0.25, 0.0, 0.3, 0.5, 0.75}) {
                const Point at = {centre[0] + t * size[0], centre[1] + c.y_offset, centre[2] + c.z_offset};
                const Point expected = reference(c.type_choice - 1, float(c.amplitude_percent / 100.0), centre, size, at);
                program.get_parameter("probe")->set_vec4(float(at[0]), float(at[1]), float(at[2]), 1.0f);
                tavrel_test::FloatFramebuffer target(1, 1);
                program.bind();
                tavrel_test::draw_full_screen_quad();
                const tavrel_test::Rgba got = target.read()[0];
                glUseProgram(0);
                // 32-bit floats at a thousand pixels from the origin.
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(got[size_t(i)], expected[size_t(i)], 0.01) << "t " << t << " axis " << i;
            }
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// Deform of many points at once: each vertex is one probe, drawn as a point
// into its column; the row says which output the draw writes.
const char* const kFrameProbeMain = R"glsl(
uniform float row;
uniform float columns;
varying vec3 captured;
void main()
{
    DeformationOutput o = Deform(gl_Vertex, gl_Normal, gl_MultiTexCoord1.xyz, gl_MultiTexCoord2.xyz, mat4(1.0));
    captured = row < 0.5 ? o.world_position.xyz
             : row < 1.5 ? o.world_normal
             : row < 2.5 ? o.world_tangent : o.world_binormal;
    gl_Position = vec4((2.0 * gl_MultiTexCoord0.x + 1.0) / columns - 1.0, (2.0 * row + 1.0) / 4.0 - 1.0, 0.0, 1.0);
}
)glsl";

const char* const kFrameProbeFragment = R"glsl(
varying vec3 captured;
void main()
{
    gl_FragColor = vec4(captured, 1.0);
}
)glsl";

Point operator+(const Point& a, const Point& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Point operator-(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point operator*(double k, const Point& a) { return {k * a[0], k * a[1], k * a[2]}; }
double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Point cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Point& a) { return std::sqrt(dot(a, a)); }
Point unit(const Point& a) { return (1.0 / length(a)) * a; }
double angle_between(const Point& a, const Point& b) { return std::atan2(length(cross(a, b)), dot(a, b)); }

// The normal, tangent and binormal of a surface element with the derivatives
// ds and dt, made as the surface pipeline makes them.
struct Frame {
    Point normal, tangent, binormal;
};
Frame frame_of(const Point& ds, const Point& dt) {
    const Point n = cross(dt, ds);
    return {n, cross(unit(n), dt), cross(ds, unit(n))};
}

// Each normal that leaves Deform against the normal of the deformed surface
// itself, taken from central differences of the deformed positions (the
// formulas above, in doubles) across a small element about the probe, in a
// region that is no cube. The fragment stage tilts the normal by the
// height's slopes, N + t ds + b dt, so each such sum, of the undeformed
// vectors and of the deformed ones, must also be the element's normal before
// and after. Where the derivative of the shape is not continuous (the x
// faces) no probe lies.
TEST(VarnmoorRegionImage, NormalsAreThoseOfTheDeformedSurface) {
    struct Case {
        const char* name;
        int type_choice;
        double amplitude_percent;
    };
    const Case cases[] = {
        {"twist 25 %", 1, 25.0},  {"twist -60 %", 1, -60.0}, {"bend 40 %", 2, 40.0},
        {"bend -40 %", 2, -40.0}, {"bulge 50 %", 3, 50.0},   {"bulge -30 %", 3, -30.0},
    };
    const Point position = {100.0, -50.0, 20.0}, size = {400.0, 300.0, 200.0};
    const Point centre = {960.0 + 100.0, 540.0 - 50.0, 20.0};
    // A sheet facing the camera, a wall facing +x and an oblique element.
    const Frame frames[] = {frame_of({1, 0, 0}, {0, 1, 0}), frame_of({0, 0, 1}, {0, 1, 0}),
                            frame_of({0.8, 0.1, 0.3}, {-0.2, 0.9, 0.4})};
    // Height slopes (ds, dt) the fragment stage might add.
    const std::array<double, 2> slopes[] = {{0.0, 0.0}, {1.5, 0.0}, {0.0, -2.0}, {0.8, 0.6}};
    struct Probe {
        Point at;
        Frame frame;
    };
    std::vector<Probe> probes;
    for (const double x : {-0.45, -0.2, 0.05, 0.3, 0.45, 0.7})
        for (const std::array<double, 2> yz : {std::array<double, 2>{0.25, -0.15}, std::array<double, 2>{-0.1, 0.3}})
            for (const Frame& f : frames) {
                Point at = {centre[0] + x * size[0], centre[1] + yz[0] * size[1], centre[2] + yz[1] * size[2]};
                for (double& c : at) c = double(float(c));
                probes.push_back({at, f});
            }
    const int columns = int(probes.size());
    // Radians; 32-bit floats at a thousand pixels from the origin give a few
    // 1e-6, a turn that misses the region's proportions or a term of the
    // derivative tenths.
    const double tolerance = 1e-4;
    tavrel_test::run_on_engine([&](GlEngine&) {
        tavrel_test::reset_renderer_state();
        tavrel_test::DebugOutputText quiet;
        GLSLProgram program(shader_preamble(2) + deformation_chunk() + kFrameProbeMain,
                            shader_preamble(2) + kFrameProbeFragment);
        program.get_parameter("columns")->set_float(float(columns));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const RegionParams p(c.type_choice, c.amplitude_percent, position, size);
            const auto region = varnmoor::make_deformation_parameters(p.ptrs.data(), 1920, 1080);
            upload_deformation_parameters(*region, program);
            const double amplitude = float(c.amplitude_percent / 100.0);
            const auto deformed = [&](const Point& q) {
                return reference(c.type_choice - 1, amplitude, centre, size, q);
            };
            tavrel_test::FloatFramebuffer target(columns, 4);
            for (int row = 0; row < 4; ++row) {
                program.get_parameter("row")->set_float(float(row));
                program.bind();
                glBegin(GL_POINTS);
                for (int i = 0; i < columns; ++i) {
                    const Frame& f = probes[size_t(i)].frame;
                    glMultiTexCoord1f(GL_TEXTURE0, float(i));
                    glMultiTexCoord3dv(GL_TEXTURE1, f.tangent.data());
                    glMultiTexCoord3dv(GL_TEXTURE2, f.binormal.data());
                    glNormal3dv(f.normal.data());
                    glVertex3dv(probes[size_t(i)].at.data());
                }
                glEnd();
                glUseProgram(0);
            }
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            const std::vector<tavrel_test::Rgba> got = target.read();
            const auto captured = [&](int row, int i) {
                const tavrel_test::Rgba& v = got[size_t(row * columns + i)];
                return Point{v[0], v[1], v[2]};
            };
            double worst = 0.0;
            for (int i = 0; i < columns; ++i) {
                const Probe& probe = probes[size_t(i)];
                const Point at = captured(0, i), normal = captured(1, i);
                const Point tangent = captured(2, i), binormal = captured(3, i);
                const Point expected_at = deformed(probe.at);
                for (int k = 0; k < 3; ++k) ASSERT_NEAR(at[size_t(k)], expected_at[size_t(k)], 0.01) << "probe " << i;
                EXPECT_NEAR(length(normal), length(probe.frame.normal), 1e-4) << "probe " << i;
                for (const std::array<double, 2>& s : slopes) {
                    const Point before = probe.frame.normal + s[0] * probe.frame.tangent + s[1] * probe.frame.binormal;
                    const Point after = normal + s[0] * tangent + s[1] * binormal;
                    // Two steps across the element, in pixels, whose cross
                    // product is its normal.
                    const Point across = std::abs(unit(before)[0]) < 0.9 ? Point{1, 0, 0} : Point{0, 1, 0};
                    const Point u = 0.01 * unit(cross(before, across));
                    const Point w = 0.01 * unit(cross(before, u));
                    const Point surface = cross(deformed(probe.at + u) - deformed(probe.at - u),
                                                deformed(probe.at + w) - deformed(probe.at - w));
                    const double off = angle_between(after, surface);
                    worst = std::max(worst, off);
                    EXPECT_LE(off, tolerance) << "probe " << i << " slopes " << s[0] << ", " << s[1];
                }
            }
            std::printf("[ region ] %s: largest angle to the deformed surface's normal %.2g rad\n", c.name, worst);
        }
    });
}

}  // namespace
