// The host's side of the custom interface: draw events per window, a click
// and the drag events that follow it while the effect asks for them, the
// window's zoom and pan as the source-to-frame mapping, and what the effect
// drew, recorded per event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simhost/effect_instance.h"
#include "simhost/host.h"

namespace simhost {

struct EventRecord {
    std::string what;  // "draw comp", "click", "drag", ...
    CallResult result;
    int32_t out_flags = 0;
    intptr_t refcon[4] = {0, 0, 0, 0};
    int32_t send_drag = 0;
    std::vector<std::string> drawing;  // the Drawbot log of this event
};

class EventDriver {
public:
    EventDriver(Host& host, EffectInstance& instance);

    // Window pixel = layer-source pixel * zoom + pan; identity by default.
    void set_view(double zoom, double pan_x, double pan_y);

    // A draw event in the composition or layer window.
    EventRecord draw(int32_t window);
    // Draw events in the effect controls, one per parameter with a control
    // of its own (PF_PUI_CONTROL), each with its index and frame.
    std::vector<EventRecord> draw_effect_controls();
    // A click: its refcon and send_drag are kept for the drags.
    EventRecord click(int32_t window, PF_Point where, int32_t modifiers);
    // Whether the effect asked for drag events at the click or the last drag.
    bool wants_drag() const { return send_drag_ != 0; }
    // A drag event echoing the refcon; `last` ends the drag (mouse up).
    EventRecord drag(PF_Point where, bool last);

private:
    EventRecord send(const std::string& what, PF_EventExtra& extra);
    static PF_Err source_to_frame(void* refcon, PF_FixedPoint* point);
    static PF_Err frame_to_source(void* refcon, PF_FixedPoint* point);

    Host& host_;
    EffectInstance& instance_;
    double zoom_ = 1.0, pan_x_ = 0.0, pan_y_ = 0.0;
    int32_t window_ = PF_Window_COMP;
    int32_t modifiers_ = 0;
    intptr_t refcon_[4] = {0, 0, 0, 0};
    int32_t send_drag_ = 0;
};

// "out_flags 1 refcon 2 320 180 4 send_drag 1".
std::string describe_event(const EventRecord& e);

}  // namespace simhost
