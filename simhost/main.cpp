// simhost: loads an effect plug-in and drives it as a host would.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <fstream>
#include <iterator>

#include "simhost/arb_client.h"
#include "simhost/drawbot_raster.h"
#include "simhost/effect_instance.h"
#include "simhost/event_driver.h"
#include "simhost/flat_grid.h"
#include "simhost/host.h"
#include "simhost/host_files.h"
#include "simhost/image_io.h"
#include "simhost/render_driver.h"
#include "simhost/simhost_error.h"
#include "simhost/user_edits.h"

namespace {

using Args = std::vector<std::string>;

// A wrong command line: the message, then the verb's usage; status 2.
class UsageError : public simhost::SimhostError {
public:
    using simhost::SimhostError::SimhostError;
};

// One option of a verb, as its usage lists it: the name, the value it takes
// (none for a switch) and what it does.
struct Option {
    const char* name;
    const char* value;
    const char* text;
};

struct Verb {
    const char* name;
    const char* summary;
    std::vector<Option> options;
    std::function<int(const Args&)> run;
};

// Every verb takes these two.
const Option kVerbose{"--verbose", "",
                      "the effect's debugger output (shader compiles, failures) on standard error"};
const Option kHelp{"--help", "", "this text"};

std::string option_words(const Option& o) { return *o.value ? std::string(o.name) + " " + o.value : o.name; }

std::string verb_usage(const Verb& verb) {
    std::vector<Option> options = verb.options;
    options.push_back(kVerbose);
    options.push_back(kHelp);
    size_t width = 0;
    for (const Option& o : options) width = std::max(width, option_words(o).size());
    std::string text = std::string("usage: simhost ") + verb.name + " PLUGIN.so [options]\n" + verb.summary + "\n";
    for (const Option& o : options) {
        const std::string words = option_words(o);
        text += "  " + words + std::string(width - words.size() + 2, ' ') + o.text + "\n";
    }
    return text;
}

std::string general_usage(const std::vector<Verb>& verbs) {
    std::string text = "usage: simhost VERB PLUGIN.so [options]\n";
    for (const Verb& v : verbs) text += "  " + std::string(v.name) + std::string(8 - std::strlen(v.name), ' ') + v.summary + "\n";
    text += "simhost VERB --help lists the verb's options; every verb takes --verbose.\n";
    return text;
}

// The plug-in path comes first, then options only: refuses a word where an
// option belongs that the verb does not list, and an option in the path's
// place. Values are skipped, whatever they look like; judging them is the
// verb's.
void check_options(const Verb& verb, const Args& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (i == 0 && args[i].rfind("--", 0) != 0) continue;
        const auto known = std::find_if(verb.options.begin(), verb.options.end(),
                                        [&](const Option& o) { return args[i] == o.name; });
        if (known == verb.options.end()) throw UsageError("unknown option " + simhost::echo(args[i]));
        if (i == 0) throw UsageError(std::string(verb.name) + " takes the plug-in path before its options");
        if (*known->value) ++i;
    }
}

// A strict host fails the run when the effect broke a rule, even if the
// command itself succeeded.
int finish(const simhost::Host& host) {
    if (host.violations().empty()) return 0;
    for (const auto& v : host.violations()) std::fprintf(stderr, "simhost: %s\n", v.c_str());
    return 1;
}

int verb_info(const Args& args) {
    if (args.size() != 1) throw simhost::SimhostError("info takes one plug-in path");
    simhost::Host host;
    host.load(args[0]);
    const auto& p = host.plugin().pipl();
    std::printf("name:        %s\n", p.name.c_str());
    std::printf("match name:  %s\n", p.match_name.c_str());
    std::printf("category:    %s\n", p.category.c_str());
    std::printf("kind:        %s\n", p.kind.c_str());
    std::printf("entry point: %s\n", p.entry_point.c_str());
    std::printf("version:     0x%08x\n", p.version);
    std::printf("out flags:   0x%08x\n", p.out_flags);
    std::printf("out flags 2: 0x%08x\n", p.out_flags2);
    return finish(host);
}

int verb_about(const Args& args) {
    if (args.size() != 1) throw simhost::SimhostError("about takes one plug-in path");
    simhost::Host host;
    host.load(args[0]);
    const auto r = host.call(PF_Cmd_ABOUT);
    if (r.err != PF_Err_NONE) {
        std::fprintf(stderr, "simhost: ABOUT failed with error %d\n", r.err);
        if (!r.message.empty()) std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    // The host shows the lines the carriage return separates.
    std::string text = r.message;
    for (char& c : text)
        if (c == '\r') c = '\n';
    std::printf("%s\n", text.c_str());
    return finish(host);
}

int verb_params(const Args& args) {
    if (args.size() != 1) throw simhost::SimhostError("params takes one plug-in path");
    simhost::Host host;
    host.load(args[0]);
    // Declaring parameters needs no global state, so the listing needs no
    // display for the rendering engine.
    const auto r = host.call(PF_Cmd_PARAMS_SETUP);
    if (r.err != PF_Err_NONE) {
        std::fprintf(stderr, "simhost: PARAMS_SETUP failed with error %d\n", r.err);
        if (!r.message.empty()) std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    for (int32_t i = 1; i < host.params().count(); ++i)
        std::printf("%s\n", host.params().describe(i).c_str());
    return finish(host);
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Printed from the flattened form the effect wrote: what the host stores is
// what the user sees.
void print_grid(const std::vector<uint8_t>& flat) {
    const uint32_t n = le32(flat, 8), columns = le32(flat, 12), rows = le32(flat, 16);
    if (flat.size() != 24 + 71 * size_t(n)) throw simhost::SimhostError("the effect wrote a form of the wrong size");
    std::printf("columns %u\nrows %u\n", columns, rows);
    size_t at = 20;
    for (uint32_t i = 0; i < n; ++i) {
        std::printf("%u %u: %u", i / (columns + 1), i % (columns + 1), flat[at++]);
        for (int k = 0; k < 5; ++k) {
            float v[3];
            const unsigned active = flat[at], selected = flat[at + 1];
            for (int c = 0; c < 3; ++c) {
                const uint32_t bits = le32(flat, at + 2 + 4 * c);
                std::memcpy(&v[c], &bits, 4);
            }
            at += 14;
            std::printf(" | %u %u %.9g %.9g %.9g", active, selected, v[0], v[1], v[2]);
        }
        std::printf("\n");
    }
}

// The layer an edited instance is applied to.
constexpr int32_t kLayerWidth = 640;
constexpr int32_t kLayerHeight = 480;

// Sets up the effect and an instance whose grid is `value` (taken over),
// makes the edits as a user would, and prints the grid, the parameters whose
// values the edits changed and the interface updates they caused.
void run_edits(simhost::Host& host, PF_Handle value, const std::vector<std::string>& edits,
               std::vector<uint8_t>* flat) {
    host.in_data().width = kLayerWidth;
    host.in_data().height = kLayerHeight;
    simhost::ArbClient arb(host);
    const simhost::CallResult global = host.call(PF_Cmd_GLOBAL_SETUP);
    if (global.err != 0) {
        arb.dispose(value);
        simhost::require_success(global, "GLOBAL_SETUP");
    }
    // Editing needs no rendering, so an engine that could not start is only
    // reported.
    if (!global.message.empty()) std::fprintf(stderr, "simhost: GLOBAL_SETUP reported: %s\n", global.message.c_str());
    // The global state (with its rendering thread) goes before the library
    // does, also when an edit is refused.
    struct GlobalSetDown {
        simhost::Host& host;
        bool done = false;
        void now() {
            done = true;
            simhost::require_success(host.call(PF_Cmd_GLOBAL_SETDOWN), "GLOBAL_SETDOWN");
        }
        ~GlobalSetDown() {
            if (!done) host.call(PF_Cmd_GLOBAL_SETDOWN);
        }
    } global_set_down{host};
    const simhost::CallResult params = host.call(PF_Cmd_PARAMS_SETUP);
    if (params.err != 0 || !params.message.empty()) arb.dispose(value);
    simhost::require_success(params, "PARAMS_SETUP");
    int32_t grid_index = 0;
    for (int32_t i = 1; i < host.params().count() && grid_index == 0; ++i)
        if (host.params().at(i).def.param_type == PF_Param_ARBITRARY_DATA) grid_index = i;
    {
        simhost::EffectInstance instance(host, value);
        std::vector<simhost::UserEdit> parsed;
        for (const auto& e : edits) parsed.push_back(simhost::parse_user_edit(host.params(), e));
        simhost::require_success(instance.set_up(), "SEQUENCE_SETUP");

        simhost::ParamValues& values = instance.values();
        std::vector<simhost::ParamValue> before;
        for (int32_t i = 0; i < values.count(); ++i)
            before.push_back(i == grid_index ? simhost::ParamValue{} : values.stored(i));
        const simhost::ArbClient::Made grid_before = arb.copy(values.stored(grid_index).arb);
        simhost::require_success(grid_before.call, "COPY");
        host.param_ui().clear();

        for (const auto& e : parsed) simhost::require_success(instance.edit(e.index, e.value), "the edit");

        *flat = arb.save(values.stored(grid_index).arb);
        print_grid(*flat);
        std::printf("layer %d x %d\n", kLayerWidth, kLayerHeight);
        PF_ArbCompareResult same = PF_ArbCompare_EQUAL;
        const simhost::CallResult compared = arb.compare(grid_before.handle, values.stored(grid_index).arb, &same);
        arb.dispose(grid_before.handle);
        simhost::require_success(compared, "COMPARE");
        for (int32_t i = 1; i < values.count(); ++i) {
            const PF_ParamDef& d = host.params().at(i).def;
            const bool changed = i == grid_index ? same != PF_ArbCompare_EQUAL
                                                 : !simhost::same_value(d.param_type, before[size_t(i)], values.stored(i));
            if (!changed) continue;
            const std::string text = simhost::format_param_value(host.params(), i, values.stored(i));
            std::printf("changed\t%d\t%s%s%s\n", i, d.name, text.empty() ? "" : "\t", text.c_str());
        }
        for (const auto& u : host.param_ui().updates())
            std::printf("ui\t%d\t%s\tui_flags 0x%x\tflags 0x%x\n", u.index, host.params().at(u.index).def.name,
                        unsigned(u.ui_flags), unsigned(u.flags));
        simhost::require_success(instance.set_down(), "SEQUENCE_SETDOWN");
    }
    global_set_down.now();
}

// Values that cannot be what the option takes: an empty path, and an edit
// without "=" (most often the next option, its value forgotten).
void check_option_value(const std::string& option, const std::string& value) {
    if (option == "--set" && value.find('=') == std::string::npos)
        throw simhost::SimhostError("--set needs NAME=VALUE, not \"" + simhost::echo(value) + "\"");
    if (option == "--input" || option == "--output" || option == "--scene" || option == "--grid" ||
        option == "--load" || option == "--save")
        simhost::check_path(value, option);
}

// A whole number as every numeric option takes it: decimal digits, a minus
// sign first only where `min` is below 0, nothing else (no plus sign, space,
// fraction or exponent), from `min` to `max`. False otherwise.
bool parse_whole(const std::string& text, int64_t min, int64_t max, int64_t* out) {
    const size_t digits = !text.empty() && text[0] == '-' && min < 0 ? 1 : 0;
    // Eighteen digits stay within a 64-bit number; more are out of range.
    if (text.size() == digits || text.size() - digits > 18 ||
        text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    const int64_t v = std::stoll(text);
    if (v < min || v > max) return false;
    *out = v;
    return true;
}

// The value of `option` as parse_whole reads it; SimhostError naming the
// option, the range and the value otherwise.
int32_t whole_option(const std::string& option, const std::string& text, int32_t min, int32_t max) {
    int64_t v = 0;
    if (!parse_whole(text, min, max, &v))
        throw simhost::SimhostError(option + " takes a whole number from " + std::to_string(min) + " to " +
                                    std::to_string(max) + ", not \"" + simhost::echo(text) + "\"");
    return int32_t(v);
}

int verb_grid(const Args& args) {
    if (args.empty()) throw simhost::SimhostError("grid takes a plug-in path");
    int columns = 0, rows = 0;
    std::string load, save;
    std::vector<std::string> edits;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) throw simhost::SimhostError("option " + a + " needs a value");
        const std::string& v = args[++i];
        check_option_value(a, v);
        if (a == "--columns") columns = whole_option(a, v, 1, 20);
        else if (a == "--rows") rows = whole_option(a, v, 1, 20);
        else if (a == "--load") load = v;
        else if (a == "--save") save = v;
        else if (a == "--set") edits.push_back(v);
        else throw UsageError("unknown option " + simhost::echo(a));
    }
    if ((columns != 0) != (rows != 0)) throw simhost::SimhostError("--columns and --rows go together");
    if (!load.empty() && columns != 0) throw simhost::SimhostError("--load and --columns exclude each other");
    if (!save.empty()) simhost::check_writable(save);

    simhost::Host host;
    host.load(args[0]);
    simhost::ArbClient arb(host);
    PF_Handle value = nullptr;
    if (!load.empty()) {
        // Loaded as render --grid and ui --grid load it: a grid the effect
        // did not load fails the run, whatever it left in its place.
        value = arb.load(load, simhost::read_saved_grid(load));
    } else {
        // The host hands the effect a flat grid of the asked size as if it
        // came from a project file.
        const std::vector<uint8_t> input = columns != 0 ? simhost::default_flat_grid(columns, rows)
                                                        : std::vector<uint8_t>{};
        const simhost::ArbClient::Made made =
            columns != 0 ? arb.unflatten(input.data(), A_u_long(input.size())) : arb.make_new();
        if (made.call.err != 0 || !made.call.message.empty()) {
            if (made.handle != nullptr) arb.dispose(made.handle);
            throw simhost::SimhostError(
                simhost::failure(columns != 0 ? "UNFLATTEN" : "NEW", made.call.err, made.call.message));
        }
        value = made.handle;
    }
    std::vector<uint8_t> flat;
    if (!edits.empty()) {
        PF_Handle h = value;
        value = nullptr;
        run_edits(host, h, edits, &flat);
    } else {
        flat = arb.save(value);
        print_grid(flat);
    }
    if (!save.empty())
        simhost::write_whole_file(save, [&](std::FILE* f) { simhost::write_all(f, flat.data(), flat.size()); });
    if (value != nullptr) arb.dispose(value);
    host.unload();
    return finish(host);
}

// "640x360" and the like.
void parse_size(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find('x');
    int64_t w = 0, h = 0;
    if (x == std::string::npos || !parse_whole(text.substr(0, x), 2, 30000, &w) ||
        !parse_whole(text.substr(x + 1), 2, 30000, &h))
        throw simhost::SimhostError("--size is WxH, each from 2 to 30000, not \"" + simhost::echo(text) + "\"");
    *width = int32_t(w);
    *height = int32_t(h);
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int verb_render(const Args& args) {
    if (args.empty()) throw simhost::SimhostError("render takes a plug-in path");
    simhost::RenderSetup setup;
    setup.plugin = args[0];
    std::string output;
    int bpc = 8;
    bool trace = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--trace") {
            trace = true;
            continue;
        }
        if (a != "--input" && a != "--output" && a != "--bpc" && a != "--size" && a != "--set" && a != "--grid" &&
            a != "--scene")
            throw UsageError("unknown option " + simhost::echo(a));
        if (i + 1 >= args.size()) throw simhost::SimhostError("option " + a + " needs a value");
        const std::string& v = args[++i];
        check_option_value(a, v);
        if (a == "--input") setup.input = v;
        else if (a == "--output") output = v;
        else if (a == "--bpc") {
            if (v != "8" && v != "16" && v != "32")
                throw simhost::SimhostError("--bpc is 8, 16 or 32, not " + simhost::echo(v));
            bpc = v == "8" ? 8 : v == "16" ? 16 : 32;
        } else if (a == "--size") parse_size(v, &setup.width, &setup.height);
        else if (a == "--set") setup.edits.push_back(v);
        else if (a == "--grid") setup.grid = v;
        else setup.scene = v;
    }
    if (output.empty()) throw simhost::SimhostError("render needs --output IMG");
    // Refused before anything runs: a frame must never be rendered for a
    // file that cannot hold it.
    if (ends_with(output, ".png")) {
        if (bpc == 32) throw simhost::SimhostError("--bpc 32 is written as .exr, not " + output);
    } else if (ends_with(output, ".exr")) {
        if (bpc != 32) throw simhost::SimhostError("--bpc " + std::to_string(bpc) + " is written as .png, not " + output);
    } else {
        throw simhost::SimhostError("the output is a .png or an .exr file, not " + output);
    }
    simhost::check_writable(output);
    if (trace) setup.trace = [](const std::string& line) { std::fprintf(stderr, "trace: %s\n", line.c_str()); };

    simhost::RenderDriver driver(setup);
    if (!driver.setup_message().empty())
        std::fprintf(stderr, "simhost: GLOBAL_SETUP reported: %s\n", driver.setup_message().c_str());
    simhost::RenderedFrame frame = driver.render(bpc);
    int status = 0;
    if (frame.result.err != 0) {
        std::fprintf(stderr, "simhost: %s failed with error %d\n", simhost::command_name(frame.command),
                     frame.result.err);
        if (!frame.result.message.empty()) std::fprintf(stderr, "%s\n", frame.result.message.c_str());
        status = 1;
    } else if (!frame.result.message.empty()) {
        // The effect's own failure report, shown as it came.
        std::fprintf(stderr, "%s\n", frame.result.message.c_str());
        status = 1;
    }
    for (const auto& [line1, line2] : frame.info_lines) std::printf("%s\n%s\n", line1.c_str(), line2.c_str());
    const PF_LRect layer = driver.host().render().whole_layer();
    for (const auto& v : frame.violations) std::fprintf(stderr, "simhost: %s\n", v.c_str());
    if (!frame.violations.empty()) status = 1;
    if (status == 0 && !frame.output) {
        std::fprintf(stderr, "simhost: the frame has an empty result rectangle\n");
        status = 1;
    }
    // The output is the host's own world, still there once the effect is
    // gone; a run that broke a rule leaves no file behind.
    for (const auto& v : driver.finish()) {
        std::fprintf(stderr, "simhost: %s\n", v.c_str());
        status = 1;
    }
    if (status == 0) {
        // The file holds the whole result rectangle; where it lies on the
        // layer goes into the file and onto the terminal.
        const PF_EffectWorld& w = frame.output->world();
        if (bpc == 32) simhost::write_exr(output, *frame.output, &layer);
        else simhost::write_png(output, *frame.output);
        std::printf("output %d x %d at (%d, %d) in layer pixels\n", w.width, w.height, w.origin_x, w.origin_y);
    }
    return status;
}

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
        throw simhost::SimhostError(option + (modifiers != nullptr ? " is X,Y[,MODS]" : " is X,Y") +
                                    " in whole window pixels, not \"" + simhost::echo(text) + "\"");
    if (second != std::string::npos) {
        for (char c : text.substr(second + 1)) {
            if (c == 'c') *modifiers |= PF_Mod_CMD_CTRL_KEY;
            else if (c == 's') *modifiers |= PF_Mod_SHIFT_KEY;
            else if (c == 'a') *modifiers |= PF_Mod_OPT_ALT_KEY;
            else throw simhost::SimhostError(option + ": a modifier is c, s or a, not '" +
                                             simhost::echo(std::string(1, c)) + "'");
        }
    }
    return PF_Point{int32_t(x), int32_t(y)};
}

// Prints an event's drawing and what it answered; false when it failed.
bool print_event(const std::string& what, const simhost::EventRecord& e) {
    std::printf("%s: %s\n", what.c_str(), simhost::describe_event(e).c_str());
    for (const auto& line : e.drawing) std::printf("  %s\n", line.c_str());
    if (e.result.err == 0 && e.result.message.empty()) return true;
    std::fprintf(stderr, "simhost: %s\n", simhost::failure(what, e.result.err, e.result.message).c_str());
    return false;
}

int verb_ui(const Args& args) {
    if (args.empty()) throw simhost::SimhostError("ui takes a plug-in path");
    simhost::RenderSetup setup;
    setup.plugin = args[0];
    int32_t window = PF_Window_COMP;
    std::string window_name = "comp", save, png;
    bool saving = false;
    bool clicked = false;
    PF_Point click{0, 0};
    int32_t modifiers = 0;
    std::vector<PF_Point> drags;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) throw simhost::SimhostError("option " + a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--window") {
            if (v == "comp") window = PF_Window_COMP;
            else if (v == "layer") window = PF_Window_LAYER;
            else if (v == "effect") window = PF_Window_EFFECT;
            else throw simhost::SimhostError("--window is comp, layer or effect, not " + v);
            window_name = v;
        } else if (a == "--scene") setup.scene = v;
        else if (a == "--set") setup.edits.push_back(v);
        else if (a == "--grid") setup.grid = v;
        else if (a == "--click") {
            if (clicked) throw simhost::SimhostError("one --click at most");
            click = parse_point(a, v, &modifiers);
            clicked = true;
        } else if (a == "--drag") {
            if (!clicked) throw simhost::SimhostError("--drag follows --click");
            drags.push_back(parse_point(a, v, nullptr));
        } else if (a == "--save") {
            simhost::check_path(v, a);
            save = v;
            saving = true;
        } else if (a == "--png") {
            if (!ends_with(v, ".png")) throw simhost::SimhostError("--png writes a .png file, not " + v);
            png = v;
        } else throw UsageError("unknown option " + simhost::echo(a));
    }

    // Refused before the events: their run must not be lost for a file
    // that cannot take it.
    if (!png.empty()) simhost::check_writable(png);
    if (saving) simhost::check_writable(save);

    simhost::RenderDriver driver(setup);
    if (!driver.setup_message().empty())
        std::fprintf(stderr, "simhost: GLOBAL_SETUP reported: %s\n", driver.setup_message().c_str());
    simhost::Host& host = driver.host();
    simhost::EffectInstance& instance = driver.instance();
    simhost::ParamValues& values = instance.values();
    const int32_t grid_index = simhost::find_param(host.params(), "Mesh Distortion");
    std::vector<simhost::ParamValue> before;
    for (int32_t i = 0; i < values.count(); ++i)
        before.push_back(i == grid_index ? simhost::ParamValue{} : values.stored(i));
    simhost::ArbClient& arb = instance.arb();
    const simhost::ArbClient::Made grid_before = arb.copy(values.stored(grid_index).arb);
    simhost::require_success(grid_before.call, "COPY");

    simhost::EventDriver events(host, instance);
    bool ok = true;
    std::vector<std::string> last_drawing;
    const auto draw = [&] {
        if (window == PF_Window_EFFECT) {
            last_drawing.clear();
            for (const auto& e : events.draw_effect_controls()) {
                ok = print_event(e.what, e) && ok;
                last_drawing.insert(last_drawing.end(), e.drawing.begin(), e.drawing.end());
            }
        } else {
            const simhost::EventRecord e = events.draw(window);
            ok = print_event(e.what, e) && ok;
            last_drawing = e.drawing;
        }
    };
    draw();
    if (clicked) {
        ok = print_event("click " + std::to_string(click.h) + "," + std::to_string(click.v),
                         events.click(window, click, modifiers)) && ok;
        for (size_t i = 0; i < drags.size(); ++i) {
            if (!events.wants_drag()) {
                std::printf("drag %d,%d: not sent, the effect asked for none\n", drags[i].h, drags[i].v);
                continue;
            }
            const bool last = i + 1 == drags.size();
            ok = print_event("drag " + std::to_string(drags[i].h) + "," + std::to_string(drags[i].v) +
                                 (last ? " last" : ""),
                             events.drag(drags[i], last)) && ok;
        }
    }
    draw();

    PF_ArbCompareResult same = PF_ArbCompare_EQUAL;
    const simhost::CallResult compared = arb.compare(grid_before.handle, values.stored(grid_index).arb, &same);
    arb.dispose(grid_before.handle);
    simhost::require_success(compared, "COMPARE");
    for (int32_t i = 1; i < values.count(); ++i) {
        const PF_ParamDef& d = host.params().at(i).def;
        const bool changed = i == grid_index ? same != PF_ArbCompare_EQUAL
                                             : !simhost::same_value(d.param_type, before[size_t(i)], values.stored(i));
        if (!changed) continue;
        const std::string text = simhost::format_param_value(host.params(), i, values.stored(i));
        std::printf("changed\t%d\t%s%s%s\n", i, d.name, text.empty() ? "" : "\t", text.c_str());
    }
    const std::vector<uint8_t> flat = arb.save(values.stored(grid_index).arb);
    print_grid(flat);
    int status = ok ? 0 : 1;
    simhost::RenderedFrame frame;
    if (!png.empty() && status == 0) {
        frame = driver.render(8);
        if (frame.result.err != 0 || !frame.result.message.empty() || !frame.output) {
            std::fprintf(stderr, "simhost: %s\n",
                         simhost::failure("the frame under the drawing", frame.result.err, frame.result.message).c_str());
            status = 1;
        } else {
            simhost::rasterise_drawbot_log(last_drawing, *frame.output);
        }
    }
    for (const auto& v : driver.finish()) {
        std::fprintf(stderr, "simhost: %s\n", v.c_str());
        status = 1;
    }
    // Written once the whole run has succeeded, the grid last: a failed run
    // leaves no grid behind.
    if (status == 0 && !png.empty()) simhost::write_png(png, *frame.output);
    if (status == 0 && saving)
        simhost::write_whole_file(save, [&](std::FILE* f) { simhost::write_all(f, flat.data(), flat.size()); });
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write with a reason instead of
    // killing the process with a partial file on disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // The options as the usage lists them, in the order the README gives.
    const std::vector<Verb> verbs = {
        {"info", "the property list: name, match name, category, kind, entry point, version and out flags", {},
         verb_info},
        {"about", "the About text", {}, verb_about},
        {"params",
         "the declared parameters, one line each from index 1: index, name, type, disk id, flags, settings",
         {},
         verb_params},
        {"grid",
         "the grid value: columns, rows, then per point its flag and five handles (active selected x y z)",
         {{"--columns", "C", "a new grid of C columns, with --rows"},
          {"--rows", "R", "a new grid of R rows, with --columns"},
          {"--load", "F.kztq", "a saved grid, as a project holds it"},
          {"--save", "F.kztq", "writes the grid's flattened form"},
          {"--set", "NAME=VALUE",
           "a user's edit on a 640 x 480 layer; then the changed parameters and interface updates"}},
         verb_grid},
        {"render", "renders one frame of an effect instance as a host would",
         {{"--input", "IMG", "the effect's layer, a PNG (else the scene's layer image, else a test pattern)"},
          {"--output", "IMG", "the frame: a .png at 8 or 16 bits, an .exr at 32 (required)"},
          {"--bpc", "8|16|32", "bits per channel (default 8)"},
          {"--size", "WxH", "the test pattern's size (default 640x360)"},
          {"--set", "NAME=VALUE", "a user's edit, after the scene's values"},
          {"--grid", "F.kztq", "a saved grid, loaded last as the user's new grid"},
          {"--scene", "SCENE.json", "the comp, camera, lights, layers, values and keyframes"},
          {"--trace", "", "every host call and its result on standard error"}},
         verb_render},
        {"ui", "drives the effect's own interface: a draw, the click and drags, a second draw",
         {{"--window", "comp|layer|effect", "the window the events go to (default comp)"},
          {"--scene", "S.json", "the scene (default render's: the built-in 640 x 360 layer, no camera)"},
          {"--set", "NAME=VALUE", "a user's edit before the events"},
          {"--grid", "F.kztq", "a saved grid, loaded before the events"},
          {"--click", "X,Y[,MODS]", "a click at window pixel X,Y; MODS: c Ctrl, s Shift, a Alt"},
          {"--drag", "X,Y", "a drag, while the effect asks for them; the last is the mouse-up"},
          {"--save", "F.kztq", "writes the grid after the events"},
          {"--png", "F.png", "the frame after the events with the second drawing over it"}},
         verb_ui},
    };
    if (argc < 2) {
        std::fputs(general_usage(verbs).c_str(), stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(general_usage(verbs).c_str(), stdout);
        return 0;
    }
    const auto verb = std::find_if(verbs.begin(), verbs.end(), [&](const Verb& v) { return std::strcmp(argv[1], v.name) == 0; });
    if (verb == verbs.end()) {
        std::fprintf(stderr, "simhost: unknown verb '%s'\n", argv[1]);
        std::fputs(general_usage(verbs).c_str(), stderr);
        return 2;
    }
    Args args;
    for (int i = 2; i < argc; ++i) {
        // The effect writes what an attached debugger would show; a user asks
        // for it on the terminal with --verbose.
        if (std::strcmp(argv[i], "--verbose") == 0) setenv("TAVREL_DEBUG_OUTPUT", "1", 1);
        else args.emplace_back(argv[i]);
    }
    // Asked for anywhere, the usage is all that happens.
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::fputs(verb_usage(*verb).c_str(), stdout);
        return 0;
    }
    try {
        check_options(*verb, args);
        return verb->run(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "simhost: %s\n", e.what());
        std::fputs(verb_usage(*verb).c_str(), stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "simhost: %s\n", e.what());
        return 1;
    }
}
