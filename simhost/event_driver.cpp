#include "simhost/event_driver.h"

#include <cmath>
#include <cstring>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

PF_Fixed to_fixed(double v) {
    const double s = std::round(v * 65536.0);
    if (!(s > -2147483648.0 && s < 2147483647.0)) return s > 0 ? INT32_MAX : INT32_MIN;
    return PF_Fixed(s);
}

}  // namespace

EventDriver::EventDriver(Host& host, EffectInstance& instance) : host_(host), instance_(instance) {}

void EventDriver::set_view(double zoom, double pan_x, double pan_y) {
    if (!(zoom > 0.0)) throw SimhostError("a window zoom is above 0");
    zoom_ = zoom;
    pan_x_ = pan_x;
    pan_y_ = pan_y;
}

PF_Err EventDriver::source_to_frame(void* refcon, PF_FixedPoint* p) {
    const auto* d = static_cast<const EventDriver*>(refcon);
    if (d == nullptr || p == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    p->x = to_fixed(p->x / 65536.0 * d->zoom_ + d->pan_x_);
    p->y = to_fixed(p->y / 65536.0 * d->zoom_ + d->pan_y_);
    return PF_Err_NONE;
}

PF_Err EventDriver::frame_to_source(void* refcon, PF_FixedPoint* p) {
    const auto* d = static_cast<const EventDriver*>(refcon);
    if (d == nullptr || p == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    p->x = to_fixed((p->x / 65536.0 - d->pan_x_) / d->zoom_);
    p->y = to_fixed((p->y / 65536.0 - d->pan_y_) / d->zoom_);
    return PF_Err_NONE;
}

EventRecord EventDriver::send(const std::string& what, PF_EventExtra& extra) {
    extra.cbs.refcon = this;
    extra.cbs.source_to_frame = source_to_frame;
    extra.cbs.frame_to_source = frame_to_source;
    host_.drawbot().clear_log();
    EventRecord r;
    r.what = what;
    r.result = instance_.command(PF_Cmd_EVENT, &extra);
    r.out_flags = extra.evt_out_flags;
    std::memcpy(r.refcon, extra.u.do_click.continue_refcon, sizeof r.refcon);
    r.send_drag = extra.u.do_click.send_drag;
    r.drawing = host_.drawbot().log();
    host_.drawbot().clear_log();
    return r;
}

EventRecord EventDriver::draw(int32_t window) {
    PF_EventExtra extra{};
    extra.contextH = host_.context(window);
    extra.e_type = PF_Event_DRAW;
    return send(window == PF_Window_COMP ? "draw comp" : "draw layer", extra);
}

std::vector<EventRecord> EventDriver::draw_effect_controls() {
    std::vector<EventRecord> out;
    int32_t top = 0;
    for (int32_t i = 1; i < host_.params().count(); ++i) {
        const PF_ParamDef& d = host_.params().at(i).def;
        if (!(d.ui_flags & PF_PUI_CONTROL)) continue;
        PF_EventExtra extra{};
        extra.contextH = host_.context(PF_Window_EFFECT);
        extra.e_type = PF_Event_DRAW;
        extra.effect_win.area = PF_EA_CONTROL;
        extra.effect_win.index = i;
        extra.effect_win.current_frame = PF_Rect{0, top, d.ui_width, top + d.ui_height};
        top += d.ui_height;
        out.push_back(send("draw effect " + std::to_string(i), extra));
    }
    return out;
}

EventRecord EventDriver::click(int32_t window, PF_Point where, int32_t modifiers) {
    window_ = window;
    modifiers_ = modifiers;
    PF_EventExtra extra{};
    extra.contextH = host_.context(window);
    extra.e_type = PF_Event_DO_CLICK;
    extra.u.do_click.screen_point = where;
    extra.u.do_click.modifiers = modifiers;
    EventRecord r = send("click", extra);
    std::memcpy(refcon_, r.refcon, sizeof refcon_);
    send_drag_ = r.send_drag;
    return r;
}

EventRecord EventDriver::drag(PF_Point where, bool last) {
    if (!send_drag_) throw SimhostError("no drag was asked for");
    PF_EventExtra extra{};
    extra.contextH = host_.context(window_);
    extra.e_type = PF_Event_DRAG;
    extra.u.do_click.screen_point = where;
    extra.u.do_click.modifiers = modifiers_;
    std::memcpy(extra.u.do_click.continue_refcon, refcon_, sizeof refcon_);
    extra.u.do_click.send_drag = 1;
    extra.u.do_click.last_time = last ? 1 : 0;
    EventRecord r = send("drag", extra);
    std::memcpy(refcon_, r.refcon, sizeof refcon_);
    send_drag_ = last ? 0 : r.send_drag;
    return r;
}

std::string describe_event(const EventRecord& e) {
    return "out_flags " + std::to_string(e.out_flags) + " refcon {" + std::to_string(e.refcon[0]) + ", " +
           std::to_string(e.refcon[1]) + ", " + std::to_string(e.refcon[2]) + ", " + std::to_string(e.refcon[3]) +
           "} send_drag " + std::to_string(e.send_drag);
}

}  // namespace simhost
