// simhost: loads an effect plug-in and drives it as a host would.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simhost/command_line.h"
#include "simhost/verbs.h"

using namespace simhost;

int main(int argc, char** argv) {
    // A file-size limit then fails the write with a reason instead of
    // killing the process with a partial file on disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // Every verb's options, as the usage lists them, in the order the README
    // gives, and the check each value passes before the verb runs.
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
         {{"--columns", "C", "a new grid of C columns, with --rows", check_grid_count},
          {"--rows", "R", "a new grid of R rows, with --columns", check_grid_count},
          {"--load", "F.kztq", "a saved grid, as a project holds it", check_path_option},
          {"--save", "F.kztq", "writes the grid's flattened form", check_path_option},
          {"--set", "NAME=VALUE",
           "a user's edit on a 640 x 480 layer; then the changed parameters and interface updates",
           check_edit_option}},
         verb_grid},
        {"render", "renders one frame of an effect instance as a host would",
         {{"--input", "IMG", "the effect's layer, a PNG (else the scene's layer image, else a test pattern)",
           check_path_option},
          {"--output", "IMG", "the frame: a .png at 8 or 16 bits, an .exr at 32 (required)", check_path_option},
          {"--bpc", "8|16|32", "bits per channel (default 8)", check_bpc},
          {"--size", "WxH", "the test pattern's size (default 640x360)", check_size},
          {"--set", "NAME=VALUE", "a user's edit, after the scene's values", check_edit_option},
          {"--grid", "F.kztq", "a saved grid, loaded last as the user's new grid", check_path_option},
          {"--scene", "SCENE.json", "the comp, camera, lights, layers, values and keyframes", check_path_option},
          {"--trace", "", "every host call and its result on standard error"}},
         verb_render},
        {"ui", "drives the effect's own interface: a draw, the click and drags, a second draw",
         {{"--window", "comp|layer|effect", "the window the events go to (default comp)", check_window},
          {"--scene", "S.json", "the scene (default render's: the built-in 640 x 360 layer, no camera)",
           check_path_option},
          {"--set", "NAME=VALUE", "a user's edit before the events", check_edit_option},
          {"--grid", "F.kztq", "a saved grid, loaded before the events", check_path_option},
          {"--click", "X,Y[,MODS]", "a click at window pixel X,Y; MODS: c Ctrl, s Shift, a Alt", check_click},
          {"--drag", "X,Y", "a drag, while the effect asks for them; the last is the mouse-up", check_drag},
          {"--save", "F.kztq", "writes the grid after the events", check_path_option},
          {"--png", "F.png", "the frame after the events with the second drawing over it", check_png}},
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
        return verb->run(read_command_line(*verb, args));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "simhost: %s\n", e.what());
        std::fputs(verb_usage(*verb).c_str(), stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "simhost: %s\n", e.what());
        return 1;
    }
}
