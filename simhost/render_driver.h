// A host rendering frames of one effect instance: the plug-in loaded and set
// up, an instance over a scene (a scene file, an input image or the built-in
// test pattern), its parameters set from the scene, from typed edits and from
// a saved grid, and frames driven through the pre-render and render phases
// with the checks of a strict host around each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "simhost/effect_instance.h"
#include "simhost/host.h"
#include "simhost/scene_file.h"
#include "simhost/worlds.h"

namespace simhost {

// Refuses (SimhostError) to start the effect's engine where the process may
// have less address space than the start takes: the software renderer then
// fails inside the driver, taking the process with it.
void check_engine_start_memory();

struct RenderSetup {
    std::string plugin;
    // A scene file; its image paths are read relative to its folder.
    std::string scene;
    // A PNG for the effect's layer, in place of the scene's. Without either,
    // the test pattern of `width` x `height`; without a scene, the comp is
    // the size of the layer.
    std::string input;
    int32_t width = 640;
    int32_t height = 360;
    // "NAME=VALUE" edits, made after the scene's values and keyframes.
    std::vector<std::string> edits;
    // A saved grid, loaded last as the user's new grid value.
    std::string grid;
    // Host-call log lines, as they happen; none when empty.
    std::function<void(const std::string&)> trace;
};

struct RenderedFrame {
    // The command that ended the frame: the pre-render when it failed, else
    // the render.
    PF_Cmd command = PF_Cmd_SMART_RENDER;
    CallResult result;
    // The output world of the result rectangle; null when that was empty or
    // the render phase was not reached.
    std::unique_ptr<OwnedWorld> output;
    // Information lines written during the frame.
    std::vector<std::pair<std::string, std::string>> info_lines;
    // What a strict host found wrong during the frame.
    std::vector<std::string> violations;
};

class RenderDriver {
public:
    // Everything up to the first frame. SimhostError for input that is
    // refused (scene, images, edits, grid) and for a set-up command that
    // fails; whatever was set up is set down again first.
    explicit RenderDriver(const RenderSetup& setup);
    ~RenderDriver();
    RenderDriver(const RenderDriver&) = delete;
    RenderDriver& operator=(const RenderDriver&) = delete;

    Host& host() { return *host_; }
    EffectInstance& instance() { return *instance_; }
    // What global set-up reported with success (an engine that could not
    // start); empty when it reported nothing.
    const std::string& setup_message() const { return setup_message_; }
    // The scene file as read; defaults when there was none.
    const SceneFile& scene_file() const { return file_; }

    // One frame at the scene's time and downsampling, at 8, 16 or 32 bits,
    // of the whole layer at high quality. The host's records of the last
    // frame (checkout log, information lines, world copies, fills and blurs)
    // are emptied first.
    RenderedFrame render(int bpc);

    // Sets the instance and the effect down and unloads it; returns what a
    // strict host found wrong since the last frame. Done by the destructor
    // when not called.
    std::vector<std::string> finish();

private:
    void set_scene(const RenderSetup& setup);
    void apply_values(const RenderSetup& setup);
    void tear_down();
    // Refuses a layer parameter value that names no layer of the scene.
    void check_layer_value(const UserEdit& edit) const;
    // Refuses, before the layer is decoded, a frame at `bpc` into `output`
    // that would need more memory than the process may have, naming both.
    void check_frame_memory(int bpc, const PF_LRect& output);

    std::unique_ptr<Host> host_;
    std::unique_ptr<EffectInstance> instance_;
    SceneFile file_;
    std::string setup_message_;
    // Decodes the effect layer's image where it is still undecoded; run
    // once a pre-render has accepted the layer's size.
    std::function<void()> decode_layer_;
    // The layer's image as messages name it.
    std::string layer_path_;
    bool global_set_up_ = false;
    size_t violations_seen_ = 0;
};

}  // namespace simhost
