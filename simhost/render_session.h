// One frame's two render phases as the host drives them, and the parameter
// checkouts of any command. The pre-render phase records the input request
// the effect checks out and lets its result rectangles be read back; the
// render phase hands out an input world sized by that request and an output
// world sized by the result rectangle. Checkouts hold the instance's values
// at the asked time once an instance has lent them, and a layer parameter
// holds the pixels of the scene layer it names. A strict host refuses pixels
// that were not asked for in the pre-render and reports checkouts left open
// at the end of a command.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/host_smart_render.h"
#include "simhost/worlds.h"

namespace simhost {

class Host;
class ParamValues;

class RenderSession {
public:
    explicit RenderSession(Host& host) : host_(host) {}
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    // Depth of the input and output worlds: 8, 16 or 32.
    int bpc = 8;
    // False: the input layer has no pixels (its checkouts give a null world).
    bool input_has_pixels = true;
    // Paints each new input world; by default red runs 0..1 across, green
    // 0..1 down, blue is a checkerboard and alpha is 1.
    // A world's origin is set before it is painted.
    std::function<void(OwnedWorld&)> paint_input;
    // The pixels of scene layers by layer index, at full size; a layer
    // parameter naming one of them checks out a world of its downsampled
    // size at `bpc`. A parameter naming another layer gets no pixels.
    std::map<int32_t, std::shared_ptr<const OwnedWorld>> layer_images;
    // The values checkouts read (null: the declared ones). Not owned.
    void set_values(const ParamValues* values) { values_ = values; }

    // The effect layer as a rectangle of the downsampled layer: the source
    // size scaled by in_data's downsample factors, rounded up.
    PF_LRect whole_layer() const;
    // What the host asks a frame for: the whole layer and all of the comp
    // that the layer's frame can reach, both in downsampled layer pixels. The
    // comp is seen from the layer's origin at the frame's time, its width
    // counted in layer pixels (comp pixel aspect over the layer's).
    PF_LRect frame_request() const;
    // The pre-render's layer request clipped to the layer: the part that
    // has pixels.
    PF_LRect layer_pixels_rect() const;

    // Starts a frame: in_data's width and height become those of
    // whole_layer(), and the returned block asks for `request`.
    PF_PreRenderExtra* pre_render(const PF_LRect& request);
    // The block of the render phase that follows; the output world, of the
    // pre-render's result rectangle, is made now and holds zeros until the
    // effect writes it.
    PF_SmartRenderExtra* render();
    // The output world of the last render phase, taken from the session.
    std::unique_ptr<OwnedWorld> take_output() { return std::move(output_); }

    // The request of the pre-render's checkout of layer 0, if any.
    const std::optional<PF_RenderRequest>& layer_request() const { return layer_request_; }
    const PF_PreRenderOutput& pre_render_output() const { return pre_output_; }
    OwnedWorld* input_world() { return input_.get(); }
    OwnedWorld* output_world() { return output_.get(); }

    // Parameter checkouts.
    struct Checkout {
        int32_t index;
        int32_t what_time, time_step;
        uint32_t time_scale;
    };
    // Checkouts of parameter `index` fail with `code` from now on.
    void fail_checkout_at(int32_t index, PF_Err code) { fail_at_[index] = code; }
    const std::vector<Checkout>& checkout_log() const { return log_; }
    size_t open_checkouts() const { return open_.size(); }
    size_t checkins() const { return checkins_; }
    void clear_log() {
        log_.clear();
        checkins_ = 0;
    }

    // What went wrong since the last call; checkouts still open are reported
    // and closed, so that one fault is reported once.
    std::vector<std::string> end_of_command();

    // The callbacks the host hands to the effect.
    static PF_Err checkout_param(PF_ProgPtr effect_ref, int32_t index, int32_t what_time, int32_t time_step,
                                 uint32_t time_scale, PF_ParamDef* param);
    static PF_Err checkin_param(PF_ProgPtr effect_ref, PF_ParamDef* param);
    static PF_Err checkout_layer(PF_ProgPtr effect_ref, int32_t index, int32_t checkout_id,
                                 const PF_RenderRequest* request, int32_t what_time, int32_t time_step,
                                 uint32_t time_scale, PF_CheckoutResult* result);
    static PF_Err checkout_layer_pixels(PF_ProgPtr effect_ref, int32_t checkout_id, PF_EffectWorld** pixels);
    static PF_Err checkout_output(PF_ProgPtr effect_ref, PF_EffectWorld** output);

private:
    struct OpenCheckout {
        int32_t index;
        PF_Handle arb_copy;
        std::unique_ptr<OwnedWorld> layer;
    };
    std::unique_ptr<OwnedWorld> make_input(int32_t width, int32_t height, int32_t origin_x, int32_t origin_y);
    // The whole input layer as a parameter: the checked-out layer pixels
    // shared when they cover it, else painted afresh.
    std::unique_ptr<OwnedWorld> whole_input();
    // A world of the pixels of scene layer `layer`, or null.
    std::unique_ptr<OwnedWorld> named_layer(int32_t layer) const;
    // The effect's own arbitrary-data callback, called from inside another
    // command with its own out block.
    PF_Err arb_call(PF_ArbParamsExtra& extra);
    void close(OpenCheckout& c);

    Host& host_;
    PF_PreRenderInput pre_input_{};
    PF_PreRenderOutput pre_output_{};
    PF_PreRenderCallbacks pre_cb_{checkout_layer};
    PF_PreRenderExtra pre_extra_{&pre_input_, &pre_output_, &pre_cb_};
    PF_SmartRenderInput render_input_{};
    PF_SmartRenderCallbacks render_cb_{checkout_layer_pixels, checkout_output};
    PF_SmartRenderExtra render_extra_{&render_input_, &render_cb_};
    std::optional<PF_RenderRequest> layer_request_;
    std::unique_ptr<OwnedWorld> input_, output_;
    const ParamValues* values_ = nullptr;

    std::map<PF_ParamDef*, OpenCheckout> open_;
    std::map<int32_t, PF_Err> fail_at_;
    std::vector<Checkout> log_;
    size_t checkins_ = 0;
    std::vector<std::string> violations_;
};

}  // namespace simhost
