// The verbs that ask the library alone (info, about, params), and what every
// verb shares.
#include <cstdio>

#include "simhost/host.h"
#include "simhost/host_files.h"
#include "simhost/verbs.h"

namespace simhost {

void check_path_option(const std::string& option, const std::string& value) { check_path(value, option); }

// An edit without "=" is most often the next option, its value forgotten.
void check_edit_option(const std::string& option, const std::string& value) {
    if (value.find('=') == std::string::npos)
        throw SimhostError(option + " needs NAME=VALUE, not \"" + echo(value) + "\"");
}

int finish(const Host& host) {
    if (host.violations().empty()) return 0;
    for (const auto& v : host.violations()) std::fprintf(stderr, "simhost: %s\n", v.c_str());
    return 1;
}

int verb_info(const CommandLine& line) {
    Host host;
    host.load(line.plugin);
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

int verb_about(const CommandLine& line) {
    Host host;
    host.load(line.plugin);
    // The About text comes back as the message, with code 0.
    const auto r = host.call(PF_Cmd_ABOUT);
    if (r.err != PF_Err_NONE) throw SimhostError(failure("ABOUT", r.err, r.message));
    // The host shows the lines the carriage return separates.
    std::string text = r.message;
    for (char& c : text)
        if (c == '\r') c = '\n';
    std::printf("%s\n", text.c_str());
    return finish(host);
}

int verb_params(const CommandLine& line) {
    Host host;
    host.load(line.plugin);
    // Declaring parameters needs no global state, so the listing needs no
    // display for the rendering engine.
    const auto r = host.call(PF_Cmd_PARAMS_SETUP);
    if (r.err != PF_Err_NONE) throw SimhostError(failure("PARAMS_SETUP", r.err, r.message));
    for (int32_t i = 1; i < host.params().count(); ++i)
        std::printf("%s\n", host.params().describe(i).c_str());
    return finish(host);
}

}  // namespace simhost
