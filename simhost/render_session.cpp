#include "simhost/render_session.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "simhost/host.h"
#include "simhost/param_values.h"
#include "simhost/simhost_error.h"

namespace simhost {
namespace {

constexpr PF_Err kBadParam = PF_Err_BAD_CALLBACK_PARAM;

int32_t scaled_up(int32_t size, PF_RationalScale s) {
    if (s.den == 0 || s.num <= 0) return size;
    return int32_t((int64_t(size) * s.num + s.den - 1) / s.den);
}

bool is_effect(PF_ProgPtr effect_ref) { return effect_ref == Host::current().in_data().effect_ref; }

void default_paint(OwnedWorld& w) {
    const int32_t width = w.world().width, height = w.world().height;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            w.set_channel(x, y, 0, 1.0);
            w.set_channel(x, y, 1, width > 1 ? double(x) / (width - 1) : 0.0);
            w.set_channel(x, y, 2, height > 1 ? double(y) / (height - 1) : 0.0);
            w.set_channel(x, y, 3, double((x + y) & 1));
        }
}

}  // namespace

PF_LRect RenderSession::whole_layer() const {
    const PF_InData& in = host_.in_data();
    const Scene& scene = host_.scene();
    const SceneItem* source = scene.effect_layer().source;
    const int32_t w = source ? source->width : scene.comp_item().width;
    const int32_t h = source ? source->height : scene.comp_item().height;
    return PF_LRect{0, 0, scaled_up(w, in.downsample_x), scaled_up(h, in.downsample_y)};
}

PF_LRect RenderSession::frame_request() const {
    const PF_InData& in = host_.in_data();
    const Scene& scene = host_.scene();
    PF_LRect rect = whole_layer();
    const A_Ratio comp_aspect = scene.comp_item().pixel_aspect;
    const PF_RationalScale layer_aspect = in.pixel_aspect_ratio;
    if (comp_aspect.num <= 0 || comp_aspect.den == 0 || layer_aspect.num <= 0 || layer_aspect.den == 0 ||
        in.downsample_x.num <= 0 || in.downsample_x.den == 0 || in.downsample_y.num <= 0 ||
        in.downsample_y.den == 0 || in.time_scale == 0)
        return rect;  // nothing sound to add: the effect refuses such a frame
    const double r = (double(comp_aspect.num) / comp_aspect.den) / (double(layer_aspect.num) / layer_aspect.den);
    const double dsx = double(in.downsample_x.num) / in.downsample_x.den;
    const double dsy = double(in.downsample_y.num) / in.downsample_y.den;
    const double comp_seconds = double(in.current_time) / double(in.time_scale) + scene.in_point;
    const A_Matrix4 m = scene.effect_layer().to_world.at(comp_seconds);
    const double left = -m.mat[3][0] * r * dsx, top = -m.mat[3][1] * dsy;
    const double right = left + scene.comp_item().width * r * dsx, bottom = top + scene.comp_item().height * dsy;
    // A comp far from the layer is asked for where it lies: only the
    // result's size is bounded by what a world holds, not its position.
    // Beyond 2^30 pixels the effect says it cannot place the frame.
    const auto clamp = [](double v) {
        return int32_t(std::max(-1073741824.0, std::min(1073741824.0, std::round(v))));
    };
    rect.left = std::min(rect.left, clamp(left));
    rect.top = std::min(rect.top, clamp(top));
    rect.right = std::max(rect.right, clamp(right));
    rect.bottom = std::max(rect.bottom, clamp(bottom));
    return rect;
}

PF_LRect RenderSession::layer_pixels_rect() const {
    // The layer has pixels inside its own bounds only: a request reaching
    // past them gets the part that lies inside.
    PF_LRect r = layer_request_ ? layer_request_->rect : PF_LRect{};
    const PF_InData& in = host_.in_data();
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, in.width);
    r.bottom = std::min(r.bottom, in.height);
    return r;
}

PF_PreRenderExtra* RenderSession::pre_render(const PF_LRect& request) {
    PF_InData& in = host_.in_data();
    const PF_LRect layer = whole_layer();
    in.width = layer.right;
    in.height = layer.bottom;
    pre_input_ = PF_PreRenderInput{};
    pre_input_.output_request.rect = request;
    pre_input_.output_request.channel_mask = PF_ChannelMask_ARGB;
    pre_input_.bitdepth = int16_t(bpc);
    pre_output_ = PF_PreRenderOutput{};
    layer_request_.reset();
    input_.reset();
    output_.reset();
    return &pre_extra_;
}

PF_SmartRenderExtra* RenderSession::render() {
    render_input_.bitdepth = int16_t(bpc);
    input_.reset();
    output_.reset();
    const PF_LRect r = pre_output_.result_rect;
    if (r.right > r.left && r.bottom > r.top) {
        output_ = std::make_unique<OwnedWorld>(r.right - r.left, r.bottom - r.top, bpc);
        output_->world().origin_x = r.left;
        output_->world().origin_y = r.top;
    }
    return &render_extra_;
}

std::unique_ptr<OwnedWorld> RenderSession::make_input(int32_t width, int32_t height, int32_t origin_x,
                                                      int32_t origin_y) {
    auto w = std::make_unique<OwnedWorld>(width, height, bpc);
    w->world().origin_x = origin_x;
    w->world().origin_y = origin_y;
    (paint_input ? paint_input : default_paint)(*w);
    return w;
}

std::unique_ptr<OwnedWorld> RenderSession::whole_input() {
    const PF_InData& in = host_.in_data();
    // The layer's pixels checked out for this render, when they are the
    // whole layer, are the same pixels: handed out again, not painted again.
    if (input_) {
        const PF_EffectWorld& w = input_->world();
        if (w.width == in.width && w.height == in.height && w.origin_x == 0 && w.origin_y == 0 &&
            input_->bpc() == bpc)
            return input_->share();
    }
    return make_input(in.width, in.height, 0, 0);
}

std::unique_ptr<OwnedWorld> RenderSession::named_layer(int32_t layer) const {
    const auto it = layer_images.find(layer);
    if (it == layer_images.end() || !it->second) return nullptr;
    const PF_InData& in = host_.in_data();
    const OwnedWorld& image = *it->second;
    auto w = std::make_unique<OwnedWorld>(scaled_up(image.world().width, in.downsample_x),
                                          scaled_up(image.world().height, in.downsample_y), bpc);
    paint_downsampled(image, *w, in.downsample_x, in.downsample_y);
    return w;
}

PF_Err RenderSession::arb_call(PF_ArbParamsExtra& extra) {
    PF_EntryPointFunc entry = nullptr;
    try {
        entry = host_.plugin().entry();
    } catch (const SimhostError& e) {
        // Never let the host's own failure travel back through the effect.
        violations_.push_back(std::string("arbitrary data without an effect to handle it: ") + e.what());
        return kBadParam;
    }
    PF_InData in = host_.in_data();
    PF_OutData out{};
    out.global_data = in.global_data;
    out.sequence_data = in.sequence_data;
    const PF_Err err = entry(PF_Cmd_ARBITRARY_CALLBACK, &in, &out, nullptr, nullptr, &extra);
    host_.trace_command(PF_Cmd_ARBITRARY_CALLBACK, &extra,
                        CallResult{err, std::string(out.return_msg, strnlen(out.return_msg, sizeof(out.return_msg)))});
    return err;
}

void RenderSession::close(OpenCheckout& c) {
    if (c.arb_copy != nullptr) {
        const PF_ParamDef& declared = host_.params().def(c.index);
        PF_ArbParamsExtra e{};
        e.which_function = PF_Arbitrary_DISPOSE_FUNC;
        e.id = declared.u.arb_d.id;
        e.u.dispose_func_params = {declared.u.arb_d.refconPV, c.arb_copy};
        if (const PF_Err err = arb_call(e))
            violations_.push_back("parameter " + std::to_string(c.index) + ": DISPOSE of its checkout copy gave " +
                                  std::to_string(err));
        c.arb_copy = nullptr;
    }
    c.layer.reset();
}

PF_Err RenderSession::checkout_param(PF_ProgPtr effect_ref, int32_t index, int32_t what_time, int32_t time_step,
                                     uint32_t time_scale, PF_ParamDef* param) {
    Host& host = Host::current();
    RenderSession& s = host.render();
    if (PF_Err e = host.suites().fault("checkout_param")) return e;
    if (!is_effect(effect_ref) || param == nullptr || index < 0 || index >= host.params().count()) return kBadParam;
    if (const auto f = s.fail_at_.find(index); f != s.fail_at_.end()) {
        host.trace().add("checkout " + std::to_string(index) + " failed " + std::to_string(f->second));
        return f->second;
    }
    if (s.open_.count(param) != 0) {
        s.violations_.push_back("parameter " + std::to_string(index) +
                                " checked out into a definition that is still checked out");
        return kBadParam;
    }
    OpenCheckout c{index, nullptr, nullptr};
    const PF_ParamDef& declared = host.params().def(index);
    // The instance's value at that time, read before anything is handed out.
    ParamValue value = value_of(declared);
    ParamValues::ArbKeys keys{declared.u.arb_d.value ? declared.u.arb_d.value : declared.u.arb_d.dephault,
                              nullptr, 0.0};
    try {
        if (s.values_ != nullptr && declared.param_type == PF_Param_ARBITRARY_DATA)
            keys = s.values_->arb_keys_at(index, what_time);
        else if (s.values_ != nullptr)
            value = s.values_->at(index, what_time);
    } catch (const SimhostError& e) {
        // The host's own failure must not travel back through the effect.
        s.violations_.push_back("parameter " + std::to_string(index) + ": " + e.what());
        return kBadParam;
    }
    *param = declared;
    param->uu.change_flags = 0;
    if (declared.param_type == PF_Param_LAYER) {
        param->u.ld = PF_LayerDef{};
        if (index != 0) {
            c.layer = s.named_layer(value.whole);
        } else if (s.input_has_pixels && host.in_data().width > 0 && host.in_data().height > 0) {
            c.layer = s.whole_input();
        }
        if (c.layer) param->u.ld = c.layer->world();
    } else if (declared.param_type == PF_Param_ARBITRARY_DATA) {
        // The effect gets a copy of its own making (a blend between keys
        // where the value is keyed); the stored value stays the host's.
        PF_ArbParamsExtra e{};
        e.id = declared.u.arb_d.id;
        if (keys.right == nullptr) {
            e.which_function = PF_Arbitrary_COPY_FUNC;
            e.u.copy_func_params = {declared.u.arb_d.refconPV, keys.left, &c.arb_copy};
        } else {
            e.which_function = PF_Arbitrary_INTERP_FUNC;
            e.u.interp_func_params = {declared.u.arb_d.refconPV, keys.left, keys.right, keys.t, &c.arb_copy};
        }
        if (const PF_Err err = s.arb_call(e)) {
            if (c.arb_copy) s.close(c);
            return err;
        }
        if (c.arb_copy) host.handles().set_owner(c.arb_copy, "checkout copy");
        param->u.arb_d.value = c.arb_copy;
    } else {
        put_value(*param, value);
    }
    s.log_.push_back({index, what_time, time_step, time_scale});
    host.trace().add("checkout " + std::to_string(index) + " at " + std::to_string(what_time) + "/" +
                     std::to_string(time_scale));
    s.open_.emplace(param, std::move(c));
    return 0;
}

PF_Err RenderSession::checkin_param(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    Host& host = Host::current();
    RenderSession& s = host.render();
    if (PF_Err e = host.suites().fault("checkin_param")) return e;
    if (!is_effect(effect_ref)) return kBadParam;
    const auto it = s.open_.find(param);
    if (it == s.open_.end()) {
        s.violations_.push_back("checkin of a definition that is not checked out");
        return kBadParam;
    }
    host.trace().add("checkin " + std::to_string(it->second.index));
    s.close(it->second);
    s.open_.erase(it);
    ++s.checkins_;
    return 0;
}

PF_Err RenderSession::checkout_layer(PF_ProgPtr effect_ref, int32_t index, int32_t checkout_id,
                                     const PF_RenderRequest* request, int32_t, int32_t, uint32_t,
                                     PF_CheckoutResult* result) {
    Host& host = Host::current();
    RenderSession& s = host.render();
    if (PF_Err e = host.suites().fault("checkout_layer")) return e;
    // The input layer is the only layer parameter this host renders.
    if (!is_effect(effect_ref) || request == nullptr || result == nullptr || index != 0 || checkout_id != 0)
        return kBadParam;
    s.layer_request_ = *request;
    const PF_LRect inside = s.layer_pixels_rect();
    *result = PF_CheckoutResult{inside, inside, host.in_data().width, host.in_data().height};
    return 0;
}

PF_Err RenderSession::checkout_layer_pixels(PF_ProgPtr effect_ref, int32_t checkout_id, PF_EffectWorld** pixels) {
    Host& host = Host::current();
    RenderSession& s = host.render();
    if (PF_Err e = host.suites().fault("checkout_layer_pixels")) return e;
    if (!is_effect(effect_ref) || pixels == nullptr) return kBadParam;
    *pixels = nullptr;
    if (!s.layer_request_ || checkout_id != 0) {
        s.violations_.push_back("layer pixels " + std::to_string(checkout_id) +
                                " checked out without a pre-render checkout");
        return kBadParam;
    }
    if (!s.input_has_pixels) return 0;
    const PF_LRect r = s.layer_pixels_rect();
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    s.input_ = s.make_input(r.right - r.left, r.bottom - r.top, r.left, r.top);
    *pixels = &s.input_->world();
    return 0;
}

PF_Err RenderSession::checkout_output(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    Host& host = Host::current();
    RenderSession& s = host.render();
    if (PF_Err e = host.suites().fault("checkout_output")) return e;
    if (!is_effect(effect_ref) || output == nullptr) return kBadParam;
    *output = nullptr;
    // Made by render() from the result rectangle; an empty one has none.
    if (!s.output_) return kBadParam;
    *output = &s.output_->world();
    return 0;
}

std::vector<std::string> RenderSession::end_of_command() {
    std::vector<std::string> out;
    out.swap(violations_);
    for (auto& [def, c] : open_) {
        out.push_back("parameter " + std::to_string(c.index) + " checked out and not checked in");
        close(c);
    }
    open_.clear();
    for (auto& v : violations_) out.push_back(v);
    violations_.clear();
    return out;
}

}  // namespace simhost
