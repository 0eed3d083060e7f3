#include "simhost/render_driver.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <iterator>
#include <optional>
#include <set>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

#include "simhost/arb_client.h"
#include "simhost/command_line.h"
#include "simhost/flat_grid.h"
#include "simhost/host_files.h"
#include "simhost/image_io.h"
#include "simhost/simhost_error.h"
#include "simhost/user_edits.h"

namespace simhost {
namespace {

// Images are held at 16 bits, finer than an 8-bit frame needs and close
// enough to the source files for a float one.
constexpr int kImageBpc = 16;

std::string beside(const std::string& scene_path, const std::string& image) {
    const std::filesystem::path p(image);
    if (p.is_absolute() || scene_path.empty()) return image;
    return (std::filesystem::path(scene_path).parent_path() / p).string();
}

std::string object_name(AEGP_ObjectType type) {
    switch (type) {
        case AEGP_ObjectType_CAMERA: return "a camera";
        case AEGP_ObjectType_LIGHT: return "a light";
        default: return "no image layer";
    }
}

// The effect's own handles alive now, as the heap names them. Values the
// host took over carry another owner and may outlive a frame.
std::set<std::string> effect_handles(Host& host) {
    std::set<std::string> out;
    for (const auto& h : host.handles().leaked())
        if (h.find(" (effect, ") != std::string::npos) out.insert(h.substr(0, h.find(')') + 1));
    return out;
}

// What a layer parameter's image holds per pixel before the frame's depth
// is known: the host's decoded copy, and its world and texture at 8 bits.
constexpr uint64_t kImageBytesPerPixel = 24;

// Mesa's software renderer runs one rasteriser thread a CPU (LP_NUM_THREADS
// where set), each with its own stack and bins: about 16 MB of address
// space a thread. Where the address space runs out under the driver, it
// fails its own allocations inside its compiler or rasteriser and takes
// the process down (or waits for a thread it could not make), so the host
// counts the threads before it lets the engine start or a frame run.
constexpr uint64_t kRasteriserThreadBytes = uint64_t(16) << 20;

uint64_t rasteriser_threads() {
    const char* forced = std::getenv("LP_NUM_THREADS");
    int64_t n = 0;
    if (forced != nullptr && parse_whole(forced, 0, 1024, &n)) return uint64_t(n);
    return std::max(1u, std::thread::hardware_concurrency());
}

// What the process takes of the address space once the engine has started
// (its context, the driver's threads, the first programs), measured with 2
// and 8 rasteriser threads.
uint64_t engine_start_bytes() { return (uint64_t(288) << 20) + rasteriser_threads() * kRasteriserThreadBytes; }

// What a frame takes of the address space, measured as the peak of frames
// of 4096 x 4096 and 8192 x 8192 pixels (a layer of that size in a small
// comp, a small layer in a comp of that size, and both) at each depth and
// "Antialiasing": the process itself, with the engine started (420 MB up to
// four rasteriser threads, 16 MB more for each further thread), then bytes
// per pixel of the effect's layer, of the output and of each layer
// parameter's image. The host's decoded copy, its worlds at the frame's
// depth, the effect's textures, render targets, anti-aliasing buffers and
// read-back all scale with one of these.
uint64_t frame_base_bytes() {
    return (uint64_t(356) << 20) + std::max<uint64_t>(4, rasteriser_threads()) * kRasteriserThreadBytes;
}
struct DepthBytes {
    uint64_t at8, at16, at32;
    uint64_t at(int bpc) const { return bpc == 8 ? at8 : bpc == 16 ? at16 : at32; }
};
// The layer: its decoded copy, the input world, its texture and the
// effect's layer target.
constexpr DepthBytes kLayerBytes{21, 35, 61};
// The height map's float slope map, made where its heights vary: with a
// displacement layer, or when the layer's edge is softened.
constexpr uint64_t kSlopeMapBytes = 16;
// The pre-blurred copy of the layer, a world at the frame's depth.
constexpr DepthBytes kBlurredCopyBytes{4, 8, 16};
// The output: the frame's target, its read-back and the output world, and
// the anti-aliasing buffers: four samples a pixel from "Low" up, a float
// target the views are summed in from "Medium" up.
constexpr DepthBytes kOutputBytes[3] = {{25, 44, 85}, {49, 81, 145}, {61, 89, 145}};
// A layer parameter's image: its decoded copy, world and texture.
constexpr DepthBytes kLayerParamBytes{25, 41, 73};

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20); }

// The memory a process may have here: the machine's, or less where a
// resource limit says so.
uint64_t memory_the_machine_has() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    uint64_t bytes = pages > 0 && page > 0 ? uint64_t(pages) * uint64_t(page) : UINT64_MAX;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            bytes = std::min(bytes, uint64_t(limit.rlim_cur));
    }
    return bytes;
}

// Refuses `what`, an image of `width` x `height` pixels, when a frame of
// it would need more memory than there is: before a pixel is made.
void check_image_memory(const std::string& what, int32_t width, int32_t height, uint64_t bytes_per_pixel) {
    const uint64_t need = uint64_t(width) * uint64_t(height) * bytes_per_pixel;
    const uint64_t have = memory_the_machine_has();
    if (need > have)
        throw SimhostError(what + ": " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels need about " + megabytes(need) + " MB to render, more than the " +
                           megabytes(have) + " MB this process may have");
}

// The header of the image at `path`, refused as check_image_memory refuses.
PngHeader checked_image_header(const std::string& path, uint64_t bytes_per_pixel) {
    const PngHeader h = read_png_header(path);
    check_image_memory(echo(path), h.width, h.height, bytes_per_pixel);
    return h;
}

// A parameter's value at the frame's time, when the effect has it.
std::optional<ParamValue> value_named(EffectInstance& instance, const ParamStore& params, const char* name,
                                      int32_t time) {
    for (int32_t i = 1; i < params.count(); ++i)
        if (std::strcmp(params.at(i).def.name, name) == 0) return instance.values().at(i, time);
    return std::nullopt;
}

// The popup's choice as the user reads it.
std::string choice_name(const StoredParam& param, int32_t choice) {
    size_t start = 0;
    for (int32_t i = 1; i < choice; ++i) {
        start = param.names.find('|', start);
        if (start == std::string::npos) return std::to_string(choice);
        ++start;
    }
    return param.names.substr(start, param.names.find('|', start) - start);
}

}  // namespace

void check_engine_start_memory() {
    const uint64_t need = engine_start_bytes(), have = memory_the_machine_has();
    if (need > have)
        throw SimhostError("the effect's engine needs about " + megabytes(need) + " MB to start here (" +
                           std::to_string(rasteriser_threads()) + " rasteriser threads), more than the " +
                           megabytes(have) + " MB this process may have");
}

RenderDriver::RenderDriver(const RenderSetup& setup) : host_(std::make_unique<Host>()) {
    try {
        if (setup.trace) {
            host_->trace().set_sink(setup.trace);
            host_->trace().set_on(true);
        }
        host_->load(setup.plugin);
        set_scene(setup);
        check_engine_start_memory();
        const CallResult global = host_->call(PF_Cmd_GLOBAL_SETUP);
        global_set_up_ = host_->in_data().global_data != nullptr;
        if (global.err != 0) require_success(global, "GLOBAL_SETUP");
        // An engine that could not start is the frame's to report.
        setup_message_ = global.message;
        require_success(host_->call(PF_Cmd_PARAMS_SETUP), "PARAMS_SETUP");
        apply_values(setup);
    } catch (...) {
        tear_down();
        throw;
    }
}

RenderDriver::~RenderDriver() { tear_down(); }

void RenderDriver::set_scene(const RenderSetup& setup) {
    Scene& scene = host_->scene();
    if (!setup.scene.empty()) file_ = load_scene_file(setup.scene, scene);
    // The layer's image is decoded, or the test pattern made, when its
    // pixels are first checked out: a frame the effect refuses from the
    // layer's size never pays for them.
    struct LayerImage {
        std::string path;  // empty: the test pattern
        int32_t width = 0, height = 0;
        std::shared_ptr<const OwnedWorld> pixels;
        const OwnedWorld& get() {
            if (!pixels) pixels = path.empty() ? test_pattern(width, height, kImageBpc) : read_png(path, kImageBpc);
            return *pixels;
        }
    };
    auto layer_image = std::make_shared<LayerImage>();
    int32_t w = 0, h = 0;
    if (!setup.input.empty() || !file_.effect_image.empty()) {
        layer_image->path = !setup.input.empty() ? setup.input : beside(setup.scene, file_.effect_image);
        // The frame's own needs are counted once its depth and output are
        // known, before the image is decoded; here only that it can be.
        const PngHeader header = checked_image_header(layer_image->path, kImageBytesPerPixel);
        w = header.width;
        h = header.height;
    } else {
        if (setup.width < 2 || setup.height < 2) throw SimhostError("the test pattern needs at least 2 x 2 pixels");
        check_image_memory("the test pattern", setup.width, setup.height, kImageBytesPerPixel);
        w = layer_image->width = setup.width;
        h = layer_image->height = setup.height;
    }
    // The effect's layer shows footage now, not the scene's default solid.
    SceneItem& source = *scene.effect_layer().source;
    source.width = w;
    source.height = h;
    source.signature = 0;
    if (setup.scene.empty()) scene.set_comp(w, h);
    // The host's defaults are measured on the layer's own size.
    place_layer(scene, scene.effect_layer(), file_.effect_placement);

    RenderSession& session = host_->render();
    for (size_t i = 0; i < file_.layer_images.size(); ++i) {
        if (file_.layer_images[i].empty()) continue;
        const std::string path = beside(setup.scene, file_.layer_images[i]);
        checked_image_header(path, kImageBytesPerPixel);
        std::shared_ptr<const OwnedWorld> image = read_png(path, kImageBpc);
        const size_t index = file_.layer_indices[i];
        scene.layer(index).source =
            &scene.add_item(AEGP_ItemType_FOOTAGE, image->world().width, image->world().height);
        place_layer(scene, scene.layer(index), file_.layer_placements[i]);
        session.layer_images[int32_t(index)] = std::move(image);
    }
    decode_layer_ = [layer_image] { layer_image->get(); };
    layer_path_ = layer_image->path.empty() ? std::string("the test pattern") : echo(layer_image->path);
    Host* host = host_.get();
    session.paint_input = [host, layer_image](OwnedWorld& world) {
        paint_downsampled(layer_image->get(), world, host->in_data().downsample_x, host->in_data().downsample_y);
    };

    PF_InData& in = host_->in_data();
    in.downsample_x = PF_RationalScale{1, uint32_t(file_.downsample_x)};
    in.downsample_y = PF_RationalScale{1, uint32_t(file_.downsample_y)};
    in.current_time = int32_t(std::lround((file_.time - scene.in_point) * double(in.time_scale)));
    in.quality = PF_Quality_HI;
    // The effect layer's own pixel aspect, not the comp's.
    in.pixel_aspect_ratio = PF_RationalScale{source.pixel_aspect.num, source.pixel_aspect.den};
    // Parameter reactions during set-up and edits see the layer's size.
    const PF_LRect layer = session.whole_layer();
    in.width = layer.right;
    in.height = layer.bottom;
}

void RenderDriver::check_layer_value(const UserEdit& edit) const {
    const PF_ParamDef& d = host_->params().at(edit.index).def;
    if (d.param_type != PF_Param_LAYER || edit.value.whole == 0) return;
    Scene& scene = host_->scene();
    // A layer parameter takes pixels: cameras and lights, which follow the
    // image layers, are no choice.
    int32_t images = 0;
    for (size_t i = 1; i < scene.layer_count(); ++i)
        if (scene.layer(i).object_type == AEGP_ObjectType_AV) ++images;
    const std::string valid =
        images > 0 ? " (1.." + std::to_string(images) + ")" : " (it has the effect's layer only)";
    const size_t n = size_t(edit.value.whole);
    if (n >= scene.layer_count())
        throw SimhostError(std::string(d.name) + ": the scene has no layer " + std::to_string(n) + valid);
    if (scene.layer(n).object_type != AEGP_ObjectType_AV)
        throw SimhostError(std::string(d.name) + ": layer " + std::to_string(n) + " is " +
                           object_name(scene.layer(n).object_type) + ", not an image layer" + valid);
}

void RenderDriver::apply_values(const RenderSetup& setup) {
    const ParamStore& params = host_->params();
    // Everything typed is understood before the instance exists, so that a
    // refusal leaves nothing half done.
    std::vector<UserEdit> edits = scene_param_edits(file_, params);
    const std::vector<std::pair<double, UserEdit>> keys = scene_keyframe_edits(file_, params);
    for (const auto& e : setup.edits) edits.push_back(parse_user_edit(params, e));
    for (const auto& e : edits) check_layer_value(e);
    for (const auto& k : keys) check_layer_value(k.second);
    std::vector<uint8_t> grid;
    int32_t grid_index = 0;
    if (!setup.grid.empty()) {
        grid = read_saved_grid(setup.grid);
        grid_index = find_param(params, "Mesh Distortion");
    }

    instance_ = std::make_unique<EffectInstance>(*host_);
    require_success(instance_->set_up(), "SEQUENCE_SETUP");
    const size_t scene_edits = file_.params.size();
    for (size_t i = 0; i < scene_edits; ++i) require_success(instance_->edit(edits[i].index, edits[i].value), "the edit");
    const PF_InData& in = host_->in_data();
    for (const auto& [seconds, edit] : keys) {
        const int32_t t = int32_t(std::lround((seconds - host_->scene().in_point) * double(in.time_scale)));
        instance_->values().set_keyframe(edit.index, t, edit.value);
    }
    for (size_t i = scene_edits; i < edits.size(); ++i)
        require_success(instance_->edit(edits[i].index, edits[i].value), "the edit");

    if (!setup.grid.empty()) {
        ParamValue value;
        value.arb = instance_->arb().load(setup.grid, grid);
        require_success(instance_->edit(grid_index, value), "the grid");
    }
}

RenderedFrame RenderDriver::render(int bpc) {
    if (bpc != 8 && bpc != 16 && bpc != 32)
        throw SimhostError("a frame has 8, 16 or 32 bits per channel, not " + std::to_string(bpc));
    if (!instance_) throw SimhostError("no instance to render");
    RenderedFrame frame;
    // The host's records of a frame describe the latest frame only, so that
    // a host that renders for hours holds one frame's worth of them.
    host_->render().clear_log();
    host_->info_lines.clear();
    host_->worlds().blur_radii.clear();
    host_->worlds().copies.clear();
    host_->worlds().fills.clear();
    const std::set<std::string> handles_before = effect_handles(*host_);
    RenderSession& session = host_->render();
    session.bpc = bpc;

    PF_PreRenderExtra* pre = session.pre_render(session.frame_request());
    frame.command = PF_Cmd_SMART_PRE_RENDER;
    frame.result = instance_->command(PF_Cmd_SMART_PRE_RENDER, pre);
    const PF_LRect result = session.pre_render_output().result_rect;
    const bool nothing = result.right <= result.left || result.bottom <= result.top;
    if (frame.result.err == 0 && frame.result.message.empty() && nothing) {
        // Nothing of the layer reaches the output (it lies outside the comp,
        // or the downsampled output has no pixel of it): a host does not ask
        // for the render and shows the layer transparent.
        const PF_LRect layer = session.whole_layer();
        frame.output = std::make_unique<OwnedWorld>(layer.right - layer.left, layer.bottom - layer.top, bpc);
    } else if (frame.result.err == 0 && frame.result.message.empty()) {
        check_frame_memory(bpc, result);
        if (decode_layer_) decode_layer_();
        PF_SmartRenderExtra* extra = session.render();
        frame.command = PF_Cmd_SMART_RENDER;
        frame.result = instance_->command(PF_Cmd_SMART_RENDER, extra);
        frame.output = session.take_output();
    }

    frame.info_lines = host_->info_lines;
    for (const auto& h : effect_handles(*host_))
        if (handles_before.count(h) == 0) host_->add_violation("frame: " + h + " made and not disposed");
    const auto& all = host_->violations();
    frame.violations.assign(all.begin() + std::ptrdiff_t(violations_seen_), all.end());
    violations_seen_ = all.size();
    return frame;
}

void RenderDriver::check_frame_memory(int bpc, const PF_LRect& output) {
    const ParamStore& params = host_->params();
    const int32_t time = host_->in_data().current_time;
    const auto value = [&](const char* name) { return value_named(*instance_, params, name, time); };
    const std::optional<ParamValue> antialiasing = value("Antialiasing");
    const int32_t choice = antialiasing ? antialiasing->whole : 1;
    const std::optional<ParamValue> displacement = value("Displacement Layer");
    const std::optional<ParamValue> soften = value("Soften Layer Edge");
    const std::optional<ParamValue> pre_blur = value("Pre-Blur");
    const SceneItem& source = *host_->scene().effect_layer().source;
    const uint64_t layer = uint64_t(source.width) * uint64_t(source.height);
    const uint64_t out = uint64_t(int64_t(output.right) - output.left) * uint64_t(int64_t(output.bottom) - output.top);
    uint64_t per_layer_pixel = kLayerBytes.at(bpc);
    if ((displacement && displacement->whole != 0) || (soften && soften->whole != 0)) per_layer_pixel += kSlopeMapBytes;
    if (pre_blur && pre_blur->real > 0.001) per_layer_pixel += kBlurredCopyBytes.at(bpc);
    uint64_t images = 0;
    for (const auto& [index, image] : host_->render().layer_images)
        images += uint64_t(image->world().width) * uint64_t(image->world().height);
    const uint64_t need = frame_base_bytes() + layer * per_layer_pixel +
                          out * kOutputBytes[std::clamp(choice, 1, 3) - 1].at(bpc) +
                          images * kLayerParamBytes.at(bpc);
    const uint64_t have = memory_the_machine_has();
    if (need <= have) return;
    std::string what = layer_path_ + ": " + std::to_string(source.width) + " x " + std::to_string(source.height) +
                       " pixels";
    if (images > 0) what += " and the layers' images";
    const std::string aa =
        antialiasing ? choice_name(params.at(find_param(params, "Antialiasing")), choice) : std::string("None");
    throw SimhostError(what + " need about " + megabytes(need) + " MB to render into an output of " +
                       std::to_string(int64_t(output.right) - output.left) + " x " +
                       std::to_string(int64_t(output.bottom) - output.top) + " at " + std::to_string(bpc) +
                       " bits and \"Antialiasing\" " + aa + ", more than the " + megabytes(have) +
                       " MB this process may have");
}

std::vector<std::string> RenderDriver::finish() {
    tear_down();
    const auto& all = host_->violations();
    std::vector<std::string> found(all.begin() + std::ptrdiff_t(std::min(violations_seen_, all.size())), all.end());
    violations_seen_ = all.size();
    return found;
}

void RenderDriver::tear_down() {
    if (!host_) return;
    try {
        if (instance_) {
            const CallResult down = instance_->set_down();
            instance_.reset();
            if (down.err != 0 || !down.message.empty())
                host_->add_violation(failure("SEQUENCE_SETDOWN", down.err, down.message));
        }
        if (global_set_up_) {
            global_set_up_ = false;
            const CallResult down = host_->call(PF_Cmd_GLOBAL_SETDOWN);
            if (down.err != 0 || !down.message.empty())
                host_->add_violation(failure("GLOBAL_SETDOWN", down.err, down.message));
        }
        if (host_->loaded()) host_->unload();
    } catch (const std::exception& e) {
        host_->add_violation(std::string("set-down: ") + e.what());
    }
}

}  // namespace simhost
