// The composition camera read through the simulated host: the default camera,
// camera layers at comp time, orthographic cameras, the depth-of-field
// threshold, non-square comp pixels, and the failure paths; nothing the host
// lent is left undisposed or unreleased.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/projection.h"
#include "hostaccess/plugin_errors.h"
#include "simhost/host.h"
#include "surface/host/ae_camera_adaptor.h"

namespace {

using simhost::Host;
using tavrel::AECameraAdaptor;
using tavrel::AECameraWrapper;

constexpr double kDefaultD = 960.0 / 0.36;  // 2666.666...

// Runs body inside a command of the strict host and returns the code the
// entry point would: 0, a bare long or a host error.
PF_Err in_command(Host& host, const std::function<void(PF_InData*)>& body) {
    return host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                   try {
                       body(in);
                       return PF_Err_NONE;
                   } catch (long code) {
                       return PF_Err(code);
                   } catch (const tavrel::PFErrException& e) {
                       return e.err;
                   }
               })
        .err;
}

struct CameraCase {
    const char* name;
    std::function<void(Host&)> setup;
    std::function<void(const AECameraWrapper&, const AECameraAdaptor&)> check;
};

TEST(CameraAdaptor, SceneCases) {
    const std::vector<CameraCase> cases = {
        {"no camera in a 1920 x 1080 comp", [](Host&) {},
         [](const AECameraWrapper& w, const AECameraAdaptor& a) {
             EXPECT_DOUBLE_EQ(a.zoom(), kDefaultD);
             EXPECT_DOUBLE_EQ(a.focus_distance(), kDefaultD);
             EXPECT_DOUBLE_EQ(w.layer_to_world[12], 960.0);
             EXPECT_DOUBLE_EQ(w.layer_to_world[13], 540.0);
             EXPECT_DOUBLE_EQ(w.layer_to_world[14], -kDefaultD);
             EXPECT_DOUBLE_EQ(a.anchor_point()[0], 960.0);
             EXPECT_DOUBLE_EQ(a.anchor_point()[1], 540.0);
             EXPECT_EQ(w.depth_of_field_on, 0);
             EXPECT_FALSE(a.is_orthographic());
             EXPECT_EQ(a.near_plane(), 2.0);
             EXPECT_EQ(a.far_plane(), 40000.0);
             EXPECT_EQ(a.width(), 1920.0);
             EXPECT_EQ(a.height(), 1080.0);
             EXPECT_EQ(a.render_size().width, 1920);
             EXPECT_EQ(a.render_size().height, 1080);
             // The camera sits at the view's origin, looking down -z at the comp.
             const auto eye = a.view_transform()->transform(960.0, 540.0, -kDefaultD);
             EXPECT_NEAR(eye[0], 0.0, 1e-9);
             EXPECT_NEAR(eye[2], 0.0, 1e-9);
             const auto centre = a.view_transform()->transform(960.0, 540.0, 0.0);
             EXPECT_NEAR(centre[2], -kDefaultD, 1e-9);
         }},
        {"camera layer read at comp time, not effect time",
         [](Host& h) {
             auto& cam = h.scene().add_camera();
             cam.streams[AEGP_LayerStream_ZOOM].set_at(2.0, simhost::one_d(1500.0));
             cam.streams[AEGP_LayerStream_FOCUS_DISTANCE].set_at(2.0, simhost::one_d(1200.0));
             cam.streams[AEGP_LayerStream_BLUR_LEVEL].set_at(2.0, simhost::one_d(75.0));
             cam.streams[AEGP_LayerStream_ANCHORPOINT].set(simhost::three_d(1, 2, 3));
             cam.to_world.set_at(2.0, simhost::translation_matrix(100, 200, -300));
             h.scene().in_point = 2.0;  // effect time 0 is comp time 2 s
         },
         [](const AECameraWrapper& w, const AECameraAdaptor& a) {
             EXPECT_EQ(a.zoom(), 1500.0);
             EXPECT_EQ(a.focus_distance(), 1200.0);
             EXPECT_EQ(a.blur_level(), 75.0);
             EXPECT_EQ(w.anchor_point[2], 3.0);
             EXPECT_EQ(w.view_matrix[12], -100.0);
             EXPECT_EQ(w.view_matrix[14], 300.0);
             // The z flip: a point 300 in front of the camera is at -300.
             EXPECT_NEAR(a.view_transform()->transform(100, 200, 0)[2], -300.0, 1e-9);
         }},
        {"orthographic camera",
         [](Host& h) { h.scene().add_camera(AEGP_CameraType_ORTHOGRAPHIC).to_world.set(
                           simhost::translation_matrix(10, 20, -500)); },
         [](const AECameraWrapper&, const AECameraAdaptor& a) {
             EXPECT_EQ(a.zoom(), 1e6);
             EXPECT_TRUE(a.is_orthographic());
             EXPECT_EQ(a.near_plane(), -100000.0);
             EXPECT_EQ(a.far_plane(), 100000.0);
             // The camera keeps its place, 500 in front of the comp...
             EXPECT_EQ((*a.view_transform())[14], -500.0);
             EXPECT_EQ((*a.view_transform())[12], -10.0);
             // ...and its box stays where it was: 100000 either side of the
             // comp's plane, whatever the camera's distance from it.
             const tavrel::Matrix4d clip = *a.projection_matrix() * *a.view_transform();
             for (const double z : {-100000.0, 0.0, 50000.0, 100000.0}) {
                 const auto c = clip.transform(10.0, 20.0, z);
                 EXPECT_NEAR(c[2] / c[3], z / 100000.0, 1e-12) << "world z " << z;
             }
         }},
        {"depth of field 1e-6 exactly is off",
         [](Host& h) { h.scene().add_camera().streams[AEGP_LayerStream_DEPTH_OF_FIELD].set(simhost::one_d(1e-6)); },
         [](const AECameraWrapper& w, const AECameraAdaptor&) { EXPECT_EQ(w.depth_of_field_on, 0); }},
        {"depth of field above 1e-6 is on",
         [](Host& h) { h.scene().add_camera().streams[AEGP_LayerStream_DEPTH_OF_FIELD].set(simhost::one_d(2e-6)); },
         [](const AECameraWrapper& w, const AECameraAdaptor&) { EXPECT_EQ(w.depth_of_field_on, 1); }},
        {"half resolution halves the render size only",
         [](Host& h) {
             h.in_data().downsample_x = {1, 2};
             h.in_data().downsample_y = {1, 2};
         },
         [](const AECameraWrapper&, const AECameraAdaptor& a) {
             EXPECT_EQ(a.render_size().width, 960);
             EXPECT_EQ(a.render_size().height, 540);
             EXPECT_EQ(a.width(), 1920.0);
         }},
        {"comp pixel aspect 2: shift x by half the width, halve x, then view",
         [](Host& h) { h.scene().set_comp(1920, 1080, {2, 1}); },
         [](const AECameraWrapper& w, const AECameraAdaptor& a) {
             EXPECT_EQ(a.pixel_aspect_ratio(), 2.0);
             EXPECT_EQ(a.render_size().width, 3840);
             for (const double x : {0.0, 700.0, 1920.0}) {
                 const auto got = a.view_transform()->transform(x, 100.0, 50.0);
                 auto want = w.view_matrix.transform((x + 960.0) * 0.5, 100.0, 50.0);
                 want[2] = -want[2];
                 for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "x " << x << " axis " << i;
             }
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        c.setup(host);
        std::unique_ptr<AECameraWrapper> wrapper;
        ASSERT_EQ(in_command(host, [&](PF_InData* in) { wrapper = std::make_unique<AECameraWrapper>(in, 7); }), 0);
        EXPECT_TRUE(host.violations().empty()) << host.violations().front();
        const AECameraAdaptor adaptor(*wrapper);
        c.check(*wrapper, adaptor);
        // The inverse view undoes the view.
        const tavrel::Matrix4d product = *adaptor.view_transform() * *adaptor.inverse_view_transform();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(product[i], i % 5 == 0 ? 1.0 : 0.0, 1e-9);
    }
}

TEST(CameraAdaptor, CloneIsDeepAndOffsetsAccumulate) {
    Host host;
    std::unique_ptr<AECameraWrapper> wrapper;
    ASSERT_EQ(in_command(host, [&](PF_InData* in) { wrapper = std::make_unique<AECameraWrapper>(in, 7); }), 0);
    AECameraAdaptor adaptor(*wrapper);
    const tavrel::Matrix4d before = *adaptor.projection_matrix();
    auto clone = adaptor.clone();
    clone->add_subpixel_offset(0.25, -0.5);
    clone->add_subpixel_offset(0.25, 0.0);
    clone->add_lens_offset(3.0, 4.0);
    EXPECT_EQ(clone->subpixel_offset_x(), 0.5);
    EXPECT_EQ(clone->subpixel_offset_y(), -0.5);
    EXPECT_EQ(clone->lens_offset_y(), 4.0);
    EXPECT_EQ(adaptor.subpixel_offset_x(), 0.0);
    EXPECT_EQ(adaptor.projection_matrix()->values(), before.values());
    EXPECT_NE(clone->projection_matrix()->values(), before.values());
}

// Each way a host call can fail, with what the wrapper gives back for it.
TEST(CameraAdaptor, FailuresGiveTheHostsCodeAndLeaveNothingBehind) {
    struct Failure {
        const char* what;
        bool refuse;  // refuse the suite, else inject 77 into the function
    };
    const std::vector<Failure> failures = {
        {kAEGPPFInterfaceSuite, true},      {kAEGPLayerSuite, true},
        {kAEGPCompSuite, true},             {kAEGPItemSuite, true},
        {kAEGPStreamSuite, true},           {kAEGPCameraSuite, true},
        {"AEGP_ConvertEffectToCompTime", false}, {"AEGP_GetEffectCamera", false},
        {"AEGP_GetLayerToWorldXform", false},    {"AEGP_GetItemDimensions", false},
        {"AEGP_GetItemPixelAspectRatio", false}, {"AEGP_GetNewLayerStream", false},
        {"AEGP_GetNewStreamValue", false},       {"AEGP_GetCameraType", false},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.what);
        Host host;
        host.scene().add_camera();
        if (f.refuse)
            host.suites().refuse(f.what);
        else
            host.suites().inject_error(f.what, 77, 1, -1);
        const PF_Err err = in_command(host, [](PF_InData* in) { AECameraWrapper w(in, 7); });
        EXPECT_EQ(err, f.refuse ? PF_Err_BAD_CALLBACK_PARAM : 77);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
    Host host;
    PF_InData in = host.in_data();
    in.pica_basicP = nullptr;
    EXPECT_THROW(AECameraWrapper(&in, 7), long);
}

// With square pixels the corners of a comp-sized layer at z = 0 land on the
// corners of the render, at full and at half resolution.
TEST(CameraAdaptor, CompCornersProjectOntoRenderCorners) {
    for (const int down : {1, 2}) {
        SCOPED_TRACE(down);
        Host host;
        host.scene().set_comp(128, 96);
        host.in_data().downsample_x = {1, uint32_t(down)};
        host.in_data().downsample_y = {1, uint32_t(down)};
        std::unique_ptr<AECameraWrapper> wrapper;
        ASSERT_EQ(in_command(host, [&](PF_InData* in) { wrapper = std::make_unique<AECameraWrapper>(in, 7); }), 0);
        const AECameraAdaptor a(*wrapper);
        const tavrel::RenderSize rs = a.render_size();
        ASSERT_EQ(rs.width, 128 / down);
        const tavrel::Viewport viewport{0, 0, rs.width, rs.height};
        for (const auto& corner : std::vector<std::array<double, 4>>{
                 {0, 0, 0, 0}, {128, 0, 1, 0}, {0, 96, 0, 1}, {128, 96, 1, 1}}) {
            double wx, wy, wz;
            ASSERT_TRUE(tavrel::project_to_window(corner[0], corner[1], 0.0, *a.view_transform(),
                                                  *a.projection_matrix(), viewport, wx, wy, wz));
            EXPECT_NEAR(wx, corner[2] * rs.width, 1e-6);
            EXPECT_NEAR(wy, corner[3] * rs.height, 1e-6);
        }
    }
}

}  // namespace

namespace {

// The render column at which a point of the comp lands through a view of
// the adaptor: the projection after the view, divided by w.
double column_of(tavrel::IVirtualCameraParameters& view, double x, double y, double z) {
    const auto eye = view.view_transform()->transform(x, y, z);
    const auto clip = view.projection_matrix()->transform(eye[0], eye[1], eye[2], eye[3]);
    return (clip[0] / clip[3] + 1.0) * 0.5 * view.render_size().width;
}

// The offsets a multi-view render adds: a sub-pixel offset moves the image
// by that many render pixels whatever the focus distance; a lens offset of
// blur x sample moves a point on the layer plane (at the zoom's distance) by
// blur x sample x zoom / focus distance pixels; blur level 0 is the single
// view.
TEST(CameraAdaptor, SubpixelOffsetsArePixelsAndLensOffsetsScaleWithTheFocus) {
    struct Case {
        double focus_factor;  // of the zoom
        bool lens;
        double blur, offset;
        double shift;  // expected, in render pixels
    };
    const double zoom = 185.0;
    const Case cases[] = {
        {1.0, false, 0, 0.5, 0.5},          {1.0 / 8, false, 0, 0.5, 0.5},   {8.0, false, 0, 0.5, 0.5},
        {1.0, false, 0, -0.25, -0.25},      {1.0, true, 100, 0.01, 1.0},     {1.0 / 8, true, 100, 0.01, 8.0},
        {8.0, true, 100, 0.01, 1.0 / 8},    {1.0, true, 0, 0.5, 0.0},        {1.0 / 8, true, 0, 0.5, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "focus " << c.focus_factor << " x zoom, " << (c.lens ? "lens" : "sub-pixel")
                                        << " offset " << c.offset << ", blur " << c.blur);
        Host host;
        host.scene().set_comp(160, 90);
        auto& cam = host.scene().add_camera();
        cam.to_world.set(simhost::translation_matrix(80, 45, -zoom));
        cam.streams[AEGP_LayerStream_ZOOM].set(simhost::one_d(zoom));
        cam.streams[AEGP_LayerStream_FOCUS_DISTANCE].set(simhost::one_d(zoom * c.focus_factor));
        cam.streams[AEGP_LayerStream_BLUR_LEVEL].set(simhost::one_d(c.blur));
        std::unique_ptr<AECameraWrapper> wrapper;
        ASSERT_EQ(in_command(host, [&](PF_InData* in) { wrapper = std::make_unique<AECameraWrapper>(in, 7); }), 0);
        const AECameraAdaptor adaptor(*wrapper);
        const auto view = adaptor.clone();
        ASSERT_NE(view, nullptr);
        // As the multi-view renderer moves its views.
        if (c.lens) view->add_lens_offset(view->blur_level() * c.offset, 0.0);
        else view->add_subpixel_offset(c.offset, 0.0);
        const auto single = adaptor.clone();
        for (const double x : {20.0, 80.0, 150.0}) {
            const double before = column_of(*single, x, 30.0, 0.0);
            EXPECT_NEAR(before, x, 1e-6) << "the layer plane is one to one";
            EXPECT_NEAR(column_of(*view, x, 30.0, 0.0) - before, c.shift, 1e-6) << "at x " << x;
        }
    }
}

}  // namespace
