// The effect's frames built from the engine's pieces, as the frame set-up
// leaves them for the rendering thread: the demo scene and the 1080p frame
// of the whole-frame benchmarks, with the end-to-end tests' camera and host
// image.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/single_instance_params.h"
#include "plugin/core/life_cycle.h"
#include "simhost/host.h"
#include "simhost/scene_file.h"
#include "surface/grid/host_buffer_accessor.h"
#include "surface/host/ae_light_adaptor.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"
#include "tests/surface/layer_image_support.h"

namespace tavrel_bench {

using namespace tavrel;

struct RaisedPoint {
    int row, column;
    double z_pixels;  // as the point's Z slider gives it
};

struct FrameKind {
    int width, height;
    int columns, rows;
    std::vector<RaisedPoint> raised;
    int subdivisions;
    std::uint64_t multisample, accumulation;
    std::string scene_json;  // the comp with its lights
};

// Effect defaults: "Adaptive" off, "Max Iterations" 6, "Tolerance" 5,
// "Displacement Height" 0, "Light/Object Min Distance" 50.
constexpr int kMaxIterations = 6;
constexpr float kTolerance = 5.0f;
constexpr double kMinGrazingAngle = 0.0, kLightObjectMinDistance = 50.0;

inline FrameKind demo_frame() {
    // The demo scene's comp and light.
    const std::string scene = R"json({"comp": {"width": 640, "height": 360}, "lights": [{"type": "spot",
        "position": [120, -60, -520], "point_of_interest": [320, 180, 0], "color": [1.0, 0.96, 0.9],
        "intensity": 110, "cone_angle": 70, "cone_feather": 40, "casts_shadows": true,
        "shadow_darkness": 60, "shadow_diffusion": 4}]})json";
    return FrameKind{640, 360, 3, 3, {{1, 1, -80.0}, {2, 2, -60.0}}, 100, 4, 4, scene};
}

inline FrameKind full_hd_frame() {
    std::ostringstream scene;
    scene << "{\"comp\": {\"width\": 1920, \"height\": 1080}, \"lights\": [";
    const double x[2] = {0.2 * 1920, 0.8 * 1920}, y[2] = {0.25 * 1080, 0.75 * 1080};
    for (int i = 0; i < 4; ++i)
        scene << (i ? ", " : "") << "{\"type\": \"point\", \"intensity\": 40, \"casts_shadows\": false, "
              << "\"position\": [" << x[i % 2] << ", " << y[i / 2] << ", -600]}";
    scene << "]}";
    return FrameKind{1920, 1080, 2, 2, {}, 316, 4, 0, scene.str()};
}

inline std::shared_ptr<AELightCollectionAdaptor> scene_lights(const std::string& json) {
    simhost::Host host;
    simhost::load_scene(json, host.scene());
    std::shared_ptr<AELightCollectionAdaptor> lights;
    const PF_Err err = host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                               const AELightArray array(in, 7);
                               lights = std::make_shared<AELightCollectionAdaptor>(array, kMinGrazingAngle,
                                                                                   kLightObjectMinDistance);
                               return PF_Err_NONE;
                           })
                           .err;
    if (err != PF_Err_NONE || !lights) throw std::runtime_error("the scene's lights cannot be read");
    return lights;
}

// One instance and its frame values, as the frame set-up leaves them for the
// rendering thread. Its state goes with the instance's GL clean-up, on the
// rendering thread.
struct Instance {
    alignas(SequenceData) unsigned char storage[sizeof(SequenceData)];
    SequenceData* data = new (storage) SequenceData;
    std::vector<std::uint8_t> pixels;
    TimeVariableParameters values;
    NeverAbort abort;
    int width, height;

    explicit Instance(const FrameKind& kind) : width(kind.width), height(kind.height) {
        for (double v : tavrel_test::host_image(kind.width, kind.height))
            pixels.push_back(std::uint8_t(std::lround(v * 255)));
        data->grid = ControlPointGrid(kind.columns, kind.rows);
        for (const RaisedPoint& p : kind.raised) {
            const ControlHandle& h = data->grid.point(data->grid.slot_index(p.row, p.column)).handle(LX_Cp::kPosition);
            // Z sliders are measured against the frame's width.
            data->grid.set_handle_position(p.row, p.column, 0, LX_Cp::kPosition, true, h.x, h.y,
                                           float(2.0 * p.z_pixels / kind.width));
        }
        RenderSettings& rs = data->render_settings;
        rs.frame_size = TSize2D{kind.width, kind.height};
        rs.subdivisions = kind.subdivisions;
        rs.adaptive = 0;
        rs.max_iterations = kMaxIterations;
        rs.tolerance = kTolerance;
        rs.displacement_height = RenderSettings::clamp_displacement_height(0.0);
        data->triangle_mesh = std::make_shared<LattixTriangleMesh>();
        auto input = std::make_shared<RenderInput>();
        input->sequence_data = data;
        input->grid = &data->grid;
        input->generator = std::make_shared<SingleInstanceParams>();
        values.camera = tavrel_test::default_camera(kind.width, kind.height);
        values.lights = scene_lights(kind.scene_json);
        values.sequence_data = data;
        values.source = std::make_shared<HostBuffer2dArrayAccessor<std::uint8_t>>(
            pixels.data(), kind.width, kind.height, std::uint64_t(kind.width) * 4, 2);
        values.render_input = input;
        values.multisample_level = kind.multisample;
        values.accumulation_level = kind.accumulation;
        values.modeling_transform = std::make_shared<ModelingTransform>();
        values.modeling_transform->modeling_matrix.translate(kind.width / 2.0, kind.height / 2.0, 0.0);
    }
    // On the rendering thread.
    void destroy() { LXGlobalGLCleanUp{data}.destroy(); }
};

}  // namespace tavrel_bench
