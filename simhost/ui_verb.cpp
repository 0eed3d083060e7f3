// The ui verb: the effect's own interface driven as a user would (a draw,
// a click and its drags, a second draw), what the events changed, and the
// frame with the drawing over it.
#include <climits>
#include <cstdio>

#include "simhost/arb_client.h"
#include "simhost/drawbot_raster.h"
#include "simhost/effect_instance.h"
#include "simhost/event_driver.h"
#include "simhost/host.h"
#include "simhost/host_files.h"
#include "simhost/image_io.h"
#include "simhost/param_values.h"
#include "simhost/render_driver.h"
#include "simhost/user_edits.h"
#include "simhost/verbs.h"

namespace simhost {

namespace {

// The value of --click ("320,180" or "320,180,cs", `modifiers` given) or
// --drag ("320,180"): window pixels, each a whole number as parse_whole
// reads it, any a host's 32-bit point holds.
PF_Point parse_point(const std::string& option, const std::string& text, int32_t* modifiers) {
    const size_t comma = text.find(',');
    const size_t second = comma == std::string::npos ? comma : text.find(',', comma + 1);
    int64_t x = 0, y = 0;
    // Without a second comma, y runs to the end (npos less anything is
    // still past it).
    if (comma == std::string::npos || !parse_whole(text.substr(0, comma), INT32_MIN, INT32_MAX, &x) ||
        !parse_whole(text.substr(comma + 1, second - comma - 1), INT32_MIN, INT32_MAX, &y) ||
        (second != std::string::npos && modifiers == nullptr))
        throw SimhostError(option + (modifiers != nullptr ? " is X,Y[,MODS]" : " is X,Y") +
                           " in whole window pixels, not \"" + echo(text) + "\"");
    if (second != std::string::npos) {
        for (char c : text.substr(second + 1)) {
            if (c == 'c') *modifiers |= PF_Mod_CMD_CTRL_KEY;
            else if (c == 's') *modifiers |= PF_Mod_SHIFT_KEY;
            else if (c == 'a') *modifiers |= PF_Mod_OPT_ALT_KEY;
            else throw SimhostError(option + ": a modifier is c, s or a, not '" + echo(std::string(1, c)) + "'");
        }
    }
    return PF_Point{int32_t(x), int32_t(y)};
}

int32_t window_of(const std::string& name) {
    return name == "layer" ? PF_Window_LAYER : name == "effect" ? PF_Window_EFFECT : PF_Window_COMP;
}

// What the events are: the window, the click with its modifiers and the
// drags after it.
struct Gesture {
    int32_t window = PF_Window_COMP;
    bool clicked = false;
    PF_Point click{0, 0};
    int32_t modifiers = 0;
    std::vector<PF_Point> drags;
};

Gesture read_gesture(const CommandLine& line) {
    Gesture g;
    g.window = window_of(line.value("--window"));
    for (const auto& [option, value] : line.given) {
        if (option == "--click") {
            if (g.clicked) throw SimhostError("one --click at most");
            g.click = parse_point(option, value, &g.modifiers);
            g.clicked = true;
        } else if (option == "--drag") {
            if (!g.clicked) throw SimhostError("--drag follows --click");
            g.drags.push_back(parse_point(option, value, nullptr));
        }
    }
    return g;
}

// Prints an event's drawing and what it answered; false when it failed.
bool print_event(const std::string& what, const EventRecord& e) {
    std::printf("%s: %s\n", what.c_str(), describe_event(e).c_str());
    for (const auto& line : e.drawing) std::printf("  %s\n", line.c_str());
    if (e.result.err == 0 && e.result.message.empty()) return true;
    std::fprintf(stderr, "simhost: %s\n", failure(what, e.result.err, e.result.message).c_str());
    return false;
}

// Draws the window (the effect window's controls one by one) and keeps the
// drawing; false when an event failed.
bool draw(EventDriver& events, int32_t window, std::vector<std::string>* drawing) {
    bool ok = true;
    if (window == PF_Window_EFFECT) {
        drawing->clear();
        for (const auto& e : events.draw_effect_controls()) {
            ok = print_event(e.what, e) && ok;
            drawing->insert(drawing->end(), e.drawing.begin(), e.drawing.end());
        }
    } else {
        const EventRecord e = events.draw(window);
        ok = print_event(e.what, e) && ok;
        *drawing = e.drawing;
    }
    return ok;
}

// The click and its drags, each drag only while the effect asks for them;
// false when an event failed.
bool click_and_drag(EventDriver& events, const Gesture& g) {
    bool ok = print_event("click " + std::to_string(g.click.h) + "," + std::to_string(g.click.v),
                          events.click(g.window, g.click, g.modifiers));
    for (size_t i = 0; i < g.drags.size(); ++i) {
        if (!events.wants_drag()) {
            std::printf("drag %d,%d: not sent, the effect asked for none\n", g.drags[i].h, g.drags[i].v);
            continue;
        }
        const bool last = i + 1 == g.drags.size();
        ok = print_event("drag " + std::to_string(g.drags[i].h) + "," + std::to_string(g.drags[i].v) +
                             (last ? " last" : ""),
                         events.drag(g.drags[i], last)) && ok;
    }
    return ok;
}

}  // namespace

void check_window(const std::string& option, const std::string& value) {
    if (value != "comp" && value != "layer" && value != "effect")
        throw SimhostError(option + " is comp, layer or effect, not " + value);
}

void check_click(const std::string& option, const std::string& value) {
    int32_t modifiers = 0;
    parse_point(option, value, &modifiers);
}

void check_drag(const std::string& option, const std::string& value) { parse_point(option, value, nullptr); }

void check_png(const std::string& option, const std::string& value) {
    if (!ends_with(value, ".png")) throw SimhostError(option + " writes a .png file, not " + value);
}

int verb_ui(const CommandLine& line) {
    const RenderSetup setup = render_setup(line);
    const Gesture gesture = read_gesture(line);
    const std::string save = line.value("--save"), png = line.value("--png");
    const bool saving = line.has("--save");
    // Refused before the events: their run must not be lost for a file
    // that cannot take it.
    if (!png.empty()) check_writable(png);
    if (saving) check_writable(save);

    RenderDriver driver(setup);
    report_setup_message(driver);
    Host& host = driver.host();
    EffectInstance& instance = driver.instance();
    ParamValues& values = instance.values();
    const int32_t grid_index = find_param(host.params(), "Mesh Distortion");
    std::vector<ParamValue> before;
    for (int32_t i = 0; i < values.count(); ++i)
        before.push_back(i == grid_index ? ParamValue{} : values.stored(i));
    ArbClient& arb = instance.arb();
    const ArbClient::Made grid_before = arb.copy(values.stored(grid_index).arb);
    require_success(grid_before.call, "COPY");

    EventDriver events(host, instance);
    std::vector<std::string> last_drawing;
    bool ok = draw(events, gesture.window, &last_drawing);
    if (gesture.clicked) ok = click_and_drag(events, gesture) && ok;
    ok = draw(events, gesture.window, &last_drawing) && ok;

    PF_ArbCompareResult same = PF_ArbCompare_EQUAL;
    const CallResult compared = arb.compare(grid_before.handle, values.stored(grid_index).arb, &same);
    arb.dispose(grid_before.handle);
    require_success(compared, "COMPARE");
    print_changed_params(host, values, before, grid_index, same != PF_ArbCompare_EQUAL);
    const std::vector<uint8_t> flat = arb.save(values.stored(grid_index).arb);
    print_grid(flat);
    int status = ok ? 0 : 1;
    RenderedFrame frame;
    if (!png.empty() && status == 0) {
        frame = driver.render(8);
        if (frame.result.err != 0 || !frame.result.message.empty() || !frame.output) {
            std::fprintf(stderr, "simhost: %s\n",
                         failure("the frame under the drawing", frame.result.err, frame.result.message).c_str());
            status = 1;
        } else {
            rasterise_drawbot_log(last_drawing, *frame.output);
        }
    }
    for (const auto& v : driver.finish()) {
        std::fprintf(stderr, "simhost: %s\n", v.c_str());
        status = 1;
    }
    // Written once the whole run has succeeded, the grid last: a failed run
    // leaves no grid behind.
    if (status == 0 && !png.empty()) write_png(png, *frame.output);
    if (status == 0 && saving) write_whole_file(save, [&](std::FILE* f) { write_all(f, flat.data(), flat.size()); });
    return status;
}

}  // namespace simhost
