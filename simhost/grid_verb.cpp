// The grid verb: a grid made, loaded or edited as a user would, printed and
// saved in its flattened form.
#include <cstdio>
#include <cstring>

#include "simhost/arb_client.h"
#include "simhost/effect_instance.h"
#include "simhost/flat_grid.h"
#include "simhost/host.h"
#include "simhost/host_files.h"
#include "simhost/render_driver.h"
#include "simhost/user_edits.h"
#include "simhost/verbs.h"

namespace simhost {

namespace {

// The layer an edited instance is applied to.
constexpr int32_t kLayerWidth = 640;
constexpr int32_t kLayerHeight = 480;

// Sets up the effect and an instance whose grid is `value` (taken over),
// makes the edits as a user would, and prints the grid, the parameters whose
// values the edits changed and the interface updates they caused.
void run_edits(Host& host, PF_Handle value, const std::vector<std::string>& edits, std::vector<uint8_t>* flat) {
    host.in_data().width = kLayerWidth;
    host.in_data().height = kLayerHeight;
    ArbClient arb(host);
    try {
        check_engine_start_memory();
    } catch (...) {
        arb.dispose(value);
        throw;
    }
    const CallResult global = host.call(PF_Cmd_GLOBAL_SETUP);
    if (global.err != 0) {
        arb.dispose(value);
        require_success(global, "GLOBAL_SETUP");
    }
    // Editing needs no rendering, so an engine that could not start is only
    // reported.
    if (!global.message.empty()) std::fprintf(stderr, "simhost: GLOBAL_SETUP reported: %s\n", global.message.c_str());
    // The global state (with its rendering thread) goes before the library
    // does, also when an edit is refused.
    struct GlobalSetDown {
        Host& host;
        bool done = false;
        void now() {
            done = true;
            require_success(host.call(PF_Cmd_GLOBAL_SETDOWN), "GLOBAL_SETDOWN");
        }
        ~GlobalSetDown() {
            if (!done) host.call(PF_Cmd_GLOBAL_SETDOWN);
        }
    } global_set_down{host};
    const CallResult params = host.call(PF_Cmd_PARAMS_SETUP);
    if (params.err != 0 || !params.message.empty()) arb.dispose(value);
    require_success(params, "PARAMS_SETUP");
    int32_t grid_index = 0;
    for (int32_t i = 1; i < host.params().count() && grid_index == 0; ++i)
        if (host.params().at(i).def.param_type == PF_Param_ARBITRARY_DATA) grid_index = i;
    {
        EffectInstance instance(host, value);
        std::vector<UserEdit> parsed;
        for (const auto& e : edits) parsed.push_back(parse_user_edit(host.params(), e));
        require_success(instance.set_up(), "SEQUENCE_SETUP");

        ParamValues& values = instance.values();
        std::vector<ParamValue> before;
        for (int32_t i = 0; i < values.count(); ++i)
            before.push_back(i == grid_index ? ParamValue{} : values.stored(i));
        const ArbClient::Made grid_before = arb.copy(values.stored(grid_index).arb);
        require_success(grid_before.call, "COPY");
        host.param_ui().clear();

        for (const auto& e : parsed) require_success(instance.edit(e.index, e.value), "the edit");

        *flat = arb.save(values.stored(grid_index).arb);
        print_grid(*flat);
        std::printf("layer %d x %d\n", kLayerWidth, kLayerHeight);
        PF_ArbCompareResult same = PF_ArbCompare_EQUAL;
        const CallResult compared = arb.compare(grid_before.handle, values.stored(grid_index).arb, &same);
        arb.dispose(grid_before.handle);
        require_success(compared, "COMPARE");
        print_changed_params(host, values, before, grid_index, same != PF_ArbCompare_EQUAL);
        for (const auto& u : host.param_ui().updates())
            std::printf("ui\t%d\t%s\tui_flags 0x%x\tflags 0x%x\n", u.index, host.params().at(u.index).def.name,
                        unsigned(u.ui_flags), unsigned(u.flags));
        require_success(instance.set_down(), "SEQUENCE_SETDOWN");
    }
    global_set_down.now();
}

}  // namespace

void print_grid(const std::vector<uint8_t>& flat) {
    if (flat.size() < kFlatGridHeaderBytes) throw SimhostError("the effect wrote a form of the wrong size");
    const uint32_t n = flat_grid_u32(flat, 8), columns = flat_grid_u32(flat, 12), rows = flat_grid_u32(flat, 16);
    if (flat.size() != kFlatGridHeaderBytes + kFlatGridPointBytes * size_t(n) + kFlatGridMarkBytes)
        throw SimhostError("the effect wrote a form of the wrong size");
    std::printf("columns %u\nrows %u\n", columns, rows);
    size_t at = kFlatGridHeaderBytes;
    for (uint32_t i = 0; i < n; ++i) {
        std::printf("%u %u: %u", i / (columns + 1), i % (columns + 1), flat[at++]);
        for (int k = 0; k < 5; ++k) {
            float v[3];
            const unsigned active = flat[at], selected = flat[at + 1];
            for (int c = 0; c < 3; ++c) {
                const uint32_t bits = flat_grid_u32(flat, at + 2 + 4 * c);
                std::memcpy(&v[c], &bits, 4);
            }
            at += 14;
            std::printf(" | %u %u %.9g %.9g %.9g", active, selected, v[0], v[1], v[2]);
        }
        std::printf("\n");
    }
}

void print_changed_params(Host& host, ParamValues& values, const std::vector<ParamValue>& before, int32_t grid_index,
                          bool grid_changed) {
    for (int32_t i = 1; i < values.count(); ++i) {
        const PF_ParamDef& d = host.params().at(i).def;
        const bool changed =
            i == grid_index ? grid_changed : !same_value(d.param_type, before[size_t(i)], values.stored(i));
        if (!changed) continue;
        const std::string text = format_param_value(host.params(), i, values.stored(i));
        std::printf("changed\t%d\t%s%s%s\n", i, d.name, text.empty() ? "" : "\t", text.c_str());
    }
}

void check_grid_count(const std::string& option, const std::string& value) { whole_option(option, value, 1, 20); }

int verb_grid(const CommandLine& line) {
    const std::string columns_given = line.value("--columns"), rows_given = line.value("--rows");
    const int columns = columns_given.empty() ? 0 : whole_option("--columns", columns_given, 1, 20);
    const int rows = rows_given.empty() ? 0 : whole_option("--rows", rows_given, 1, 20);
    const std::string load = line.value("--load"), save = line.value("--save");
    const std::vector<std::string> edits = line.values("--set");
    if ((columns != 0) != (rows != 0)) throw SimhostError("--columns and --rows go together");
    if (!load.empty() && columns != 0) throw SimhostError("--load and --columns exclude each other");
    if (!save.empty()) check_writable(save);

    Host host;
    host.load(line.plugin);
    ArbClient arb(host);
    PF_Handle value = nullptr;
    if (!load.empty()) {
        // Loaded as render --grid and ui --grid load it: a grid the effect
        // did not load fails the run, whatever it left in its place.
        value = arb.load(load, read_saved_grid(load));
    } else {
        // The host hands the effect a flat grid of the asked size as if it
        // came from a project file.
        const std::vector<uint8_t> input = columns != 0 ? default_flat_grid(columns, rows) : std::vector<uint8_t>{};
        const ArbClient::Made made =
            columns != 0 ? arb.unflatten(input.data(), A_u_long(input.size())) : arb.make_new();
        if (made.call.err != 0 || !made.call.message.empty()) {
            if (made.handle != nullptr) arb.dispose(made.handle);
            throw SimhostError(failure(columns != 0 ? "UNFLATTEN" : "NEW", made.call.err, made.call.message));
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
    if (!save.empty()) write_whole_file(save, [&](std::FILE* f) { write_all(f, flat.data(), flat.size()); });
    if (value != nullptr) arb.dispose(value);
    host.unload();
    return finish(host);
}

}  // namespace simhost
