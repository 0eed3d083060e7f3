// simhost: loads an effect plug-in and drives it as a host would.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <fstream>
#include <iterator>

#include "simhost/arb_client.h"
#include "simhost/flat_grid.h"
#include "simhost/host.h"
#include "simhost/simhost_error.h"

namespace {

using Args = std::vector<std::string>;

void usage() {
    std::fprintf(stderr,
                 "usage: simhost VERB PLUGIN.so [options]\n"
                 "  info  PLUGIN.so   the property list: name, match name, category, entry point,\n"
                 "                    version and out flags\n"
                 "  about PLUGIN.so   the About text\n"
                 "  params PLUGIN.so  the declared parameters, one line each from index 1:\n"
                 "                    index, name, type, disk id, flags, settings (tab-separated)\n"
                 "  grid  PLUGIN.so [--columns C --rows R] [--load F.kztq] [--save F.kztq]\n"
                 "                    the grid value: columns, rows, then per point its flag and\n"
                 "                    five handles (active selected x y z); saved flattened\n");
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

int verb_grid(const Args& args) {
    if (args.empty()) throw simhost::SimhostError("grid takes a plug-in path");
    int columns = 0, rows = 0;
    std::string load, save;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) throw simhost::SimhostError("option " + a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--columns") columns = std::stoi(v);
        else if (a == "--rows") rows = std::stoi(v);
        else if (a == "--load") load = v;
        else if (a == "--save") save = v;
        else throw simhost::SimhostError("unknown option " + a);
    }
    if ((columns != 0) != (rows != 0)) throw simhost::SimhostError("--columns and --rows go together");
    if (!load.empty() && columns != 0) throw simhost::SimhostError("--load and --columns exclude each other");

    simhost::Host host;
    host.load(args[0]);
    simhost::ArbClient arb(host);
    std::vector<uint8_t> input;
    if (!load.empty()) {
        std::ifstream f(load, std::ios::binary);
        if (!f) throw simhost::SimhostError("cannot read " + load);
        input.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    } else if (columns != 0) {
        // The host hands the effect a flat grid of the asked size as if it
        // came from a project file.
        input = simhost::default_flat_grid(columns, rows);
    }
    simhost::ArbClient::Made value = input.empty() && load.empty()
                                         ? arb.make_new()
                                         : arb.unflatten(input.data(), A_u_long(input.size()));
    const char* what = input.empty() && load.empty() ? "NEW" : "UNFLATTEN";
    int status = 0;
    std::vector<uint8_t> flat;
    if (value.call.err != 0) {
        std::fprintf(stderr, "simhost: %s failed with error %d%s%s\n", what, value.call.err,
                     value.call.message.empty() ? "" : ": ", value.call.message.c_str());
        status = 1;
    } else {
        if (!value.call.message.empty())
            std::fprintf(stderr, "simhost: %s reported: %s\n", what, value.call.message.c_str());
        if (value.call.message == "Invalid parameter file.") status = 1;
    }
    if (status == 0) {
        flat = arb.save(value.handle);
        print_grid(flat);
        if (!save.empty()) {
            std::ofstream f(save, std::ios::binary);
            f.write(reinterpret_cast<const char*>(flat.data()), std::streamsize(flat.size()));
            if (!f) throw simhost::SimhostError("cannot write " + save);
        }
    }
    if (value.handle != nullptr) arb.dispose(value.handle);
    host.unload();
    const int checks = finish(host);
    return status != 0 ? status : checks;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::map<std::string, std::function<int(const Args&)>> verbs = {
        {"info", verb_info},
        {"about", verb_about},
        {"params", verb_params},
        {"grid", verb_grid},
    };
    const auto it = verbs.find(argv[1]);
    if (it == verbs.end()) {
        std::fprintf(stderr, "simhost: unknown verb '%s'\n", argv[1]);
        usage();
        return 2;
    }
    try {
        return it->second(Args(argv + 2, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "simhost: %s\n", e.what());
        return 1;
    }
}
