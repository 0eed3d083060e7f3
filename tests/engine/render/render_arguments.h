// The twelve arguments of a renderer's render, with neutral values that a
// test changes where it needs to: no lights, no shadow maps, no height map,
// no deformation, no shader parameters, never aborted.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <utility>
#include <vector>

#include "engine/interfaces/abort.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/renderer.h"
#include "engine/scene/scene_graph.h"
#include "tests/engine/scene_test_inputs.h"

namespace tavrel_test {

// Says the render is aborted from the first question on.
class AlwaysAbort : public tavrel::IAbort {
public:
    void progress_begin() const override {}
    bool is_aborted() const override { return true; }
    bool is_cancel_requested() const override { return true; }
    void progress_end() const override {}
    void progress(unsigned, unsigned) const override {}
};

// Records the passes begun, the questions asked and the steps reported;
// aborted when told.
class RecordingAbort : public tavrel::IAbort {
public:
    bool aborted = false;
    mutable int begun = 0, asked = 0;
    mutable std::vector<std::pair<int, int>> steps;
    void progress_begin() const override { ++begun; }
    bool is_aborted() const override {
        ++asked;
        return aborted;
    }
    bool is_cancel_requested() const override { return aborted; }
    void progress_end() const override {}
    void progress(unsigned step, unsigned steps_in_all) const override {
        steps.emplace_back(int(step), int(steps_in_all));
    }
};

struct RenderArguments {
    tavrel::SceneGraph scene;
    std::shared_ptr<tavrel::IAbort> abort = std::make_shared<tavrel::NeverAbort>();
    std::shared_ptr<TestCamera> camera = std::make_shared<TestCamera>();
    TestLights lights;
    const tavrel::IShadowUniforms* shadow_casters = nullptr;
    GLuint height_map = 0;
    tavrel::SurfaceOptions surface;
    std::shared_ptr<tavrel::IDeformationCollection> deformation = std::make_shared<tavrel::NoDeformation>();
    tavrel::NoShader shader_parameters;
    tavrel::HeightMapSize height_map_size;
    tavrel::DisplacementSettings displacement;

    void render(tavrel::IRenderer& renderer, tavrel::IRenderTarget& destination) {
        const std::shared_ptr<tavrel::IVirtualCameraParameters> view = camera;
        renderer.render(scene, *abort, view, lights, shadow_casters, height_map, surface, *deformation,
                        shader_parameters, height_map_size, displacement, destination);
    }
};

}  // namespace tavrel_test
