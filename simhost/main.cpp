// simhost: loads an effect plug-in and drives it as a host would.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

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
                 "                    index, name, type, disk id, flags, settings (tab-separated)\n");
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
