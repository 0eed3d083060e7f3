// The render verb: one frame of an effect instance, rendered as a host would
// and written whole or not at all.
#include <cstdio>

#include "simhost/host.h"
#include "simhost/host_files.h"
#include "simhost/image_io.h"
#include "simhost/render_driver.h"
#include "simhost/verbs.h"

namespace simhost {

namespace {

// "640x360" and the like.
void parse_size(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find('x');
    int64_t w = 0, h = 0;
    if (x == std::string::npos || !parse_whole(text.substr(0, x), 2, 30000, &w) ||
        !parse_whole(text.substr(x + 1), 2, 30000, &h))
        throw SimhostError("--size is WxH, each from 2 to 30000, not \"" + echo(text) + "\"");
    *width = int32_t(w);
    *height = int32_t(h);
}

}  // namespace

void check_bpc(const std::string& option, const std::string& value) {
    if (value != "8" && value != "16" && value != "32")
        throw SimhostError(option + " is 8, 16 or 32, not " + echo(value));
}

void check_size(const std::string&, const std::string& value) {
    int32_t width = 0, height = 0;
    parse_size(value, &width, &height);
}

RenderSetup render_setup(const CommandLine& line) {
    RenderSetup setup;
    setup.plugin = line.plugin;
    setup.input = line.value("--input");
    setup.edits = line.values("--set");
    setup.grid = line.value("--grid");
    setup.scene = line.value("--scene");
    if (line.has("--size")) parse_size(line.value("--size"), &setup.width, &setup.height);
    return setup;
}

void report_setup_message(const RenderDriver& driver) {
    if (!driver.setup_message().empty())
        std::fprintf(stderr, "simhost: GLOBAL_SETUP reported: %s\n", driver.setup_message().c_str());
}

int verb_render(const CommandLine& line) {
    RenderSetup setup = render_setup(line);
    const std::string output = line.value("--output");
    const std::string bits = line.value("--bpc");
    const int bpc = bits == "16" ? 16 : bits == "32" ? 32 : 8;
    if (output.empty()) throw SimhostError("render needs --output IMG");
    // Refused before anything runs: a frame must never be rendered for a
    // file that cannot hold it.
    if (ends_with(output, ".png")) {
        if (bpc == 32) throw SimhostError("--bpc 32 is written as .exr, not " + output);
    } else if (ends_with(output, ".exr")) {
        if (bpc != 32) throw SimhostError("--bpc " + std::to_string(bpc) + " is written as .png, not " + output);
    } else {
        throw SimhostError("the output is a .png or an .exr file, not " + output);
    }
    check_writable(output);
    if (line.has("--trace"))
        setup.trace = [](const std::string& text) { std::fprintf(stderr, "trace: %s\n", text.c_str()); };

    RenderDriver driver(setup);
    report_setup_message(driver);
    RenderedFrame frame = driver.render(bpc);
    int status = 0;
    if (frame.result.err != 0) {
        std::fprintf(stderr, "simhost: %s\n",
                     failure(command_name(frame.command), frame.result.err, frame.result.message).c_str());
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
        if (bpc == 32) write_exr(output, *frame.output, &layer);
        else write_png(output, *frame.output);
        std::printf("output %d x %d at (%d, %d) in layer pixels\n", w.width, w.height, w.origin_x, w.origin_y);
    }
    return status;
}

}  // namespace simhost
