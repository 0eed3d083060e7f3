// Frames of the first effect driven by the simulated host: the order of the
// two phases, the worlds handed out, the values and layers checkouts hold,
// the host-call trace, several frames of one instance and the command
// history.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "black_png.h"
#include "cli_run.h"
#include "hostapi/host_smart_render.h"
#include "simhost/image_io.h"
#include "simhost/render_driver.h"
#include "simhost/user_edits.h"

namespace {

using simhost::RenderDriver;
using simhost::RenderSetup;
using Rect = std::array<int32_t, 4>;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

Rect of(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

RenderSetup small_setup() {
    RenderSetup s;
    s.plugin = kPlugin;
    s.width = 64;
    s.height = 36;
    return s;
}

std::vector<PF_Cmd> commands(RenderDriver& d) {
    std::vector<PF_Cmd> out;
    for (const auto& r : d.instance().history()) out.push_back(r.cmd);
    return out;
}

void expect_clean(const simhost::RenderedFrame& f) {
    EXPECT_EQ(f.result.err, 0);
    EXPECT_EQ(f.result.message, "");
    for (const auto& v : f.violations) ADD_FAILURE() << v;
}

TEST(RenderDriver, OneFrameIsPreRenderThenRenderIntoAWorldOfTheResult) {
    for (const int bpc : {8, 16, 32}) {
        SCOPED_TRACE(bpc);
        RenderDriver d(small_setup());
        const size_t before = d.instance().history().size();
        const simhost::RenderedFrame f = d.render(bpc);
        expect_clean(f);
        const std::vector<PF_Cmd> sent = commands(d);
        ASSERT_EQ(sent.size(), before + 2);
        EXPECT_EQ(sent[before], PF_Cmd_SMART_PRE_RENDER);
        EXPECT_EQ(sent[before + 1], PF_Cmd_SMART_RENDER);
        simhost::RenderSession& session = d.host().render();
        ASSERT_TRUE(session.layer_request().has_value());
        EXPECT_EQ(of(session.layer_request()->rect), (Rect{0, 0, 64, 36}));
        EXPECT_EQ(d.host().in_data().quality, PF_Quality_HI);
        ASSERT_NE(f.output, nullptr);
        EXPECT_EQ(f.output->bpc(), bpc);
        EXPECT_EQ(f.output->world().width, 64);
        EXPECT_EQ(f.output->world().height, 36);
        EXPECT_EQ(session.open_checkouts(), 0u);
        EXPECT_EQ(session.checkins(), session.checkout_log().size());
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
    }
}

// A scene at half resolution half a second in, its values overridden by a
// typed edit, a keyed angle, and a layer parameter naming an image layer.
TEST(RenderDriver, SceneTimeDownsampleValuesAndNamedLayersReachTheCheckouts) {
    const std::string dir = testing::TempDir() + "render_driver_" + std::to_string(getpid()) + "_";
    const auto bumps = simhost::test_pattern(40, 20, 8);
    simhost::write_png(dir + "bumps.png", *bumps);
    std::ofstream(dir + "scene.json") << R"({
        "comp": {"width": 64, "height": 36}, "time": 0.5, "downsample": [2, 2],
        "layers": [{"image": ")" + dir + R"(bumps.png"}],
        "params": {"Displacement Layer": 1, "Rows": 3},
        "keyframes": {"Rotation Y": [[0, 0], [1, 40]]}})";
    RenderSetup s = small_setup();
    s.scene = dir + "scene.json";
    s.edits = {"Rows=4"};
    RenderDriver d(s);
    expect_clean(d.render(8));
    simhost::Host& host = d.host();
    EXPECT_EQ(host.in_data().current_time, 15);
    EXPECT_EQ(host.in_data().downsample_x.den, 2u);
    EXPECT_EQ(of(host.render().layer_request()->rect), (Rect{0, 0, 32, 18}));

    const auto index = [&](const char* name) { return simhost::find_param(host.params(), name); };
    host.call_with([&](PF_InData* in, PF_OutData*) {
        PF_ParamDef rows{}, turn{}, shown{}, hidden{};
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, index("Rows"), 15, 1, 30, &rows), 0);
        EXPECT_EQ(rows.u.fd.value, 4 << 16);  // the edit comes after the scene
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, index("Rotation Y"), 15, 1, 30, &turn), 0);
        EXPECT_EQ(turn.u.ad.value, 20 << 16);  // halfway between the keys
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, index("Displacement Layer"), 15, 1, 30, &shown), 0);
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, index("Backside Layer"), 15, 1, 30, &hidden), 0);
        EXPECT_EQ(hidden.u.ld.data, nullptr);
        EXPECT_EQ(shown.u.ld.width, 20);
        EXPECT_EQ(shown.u.ld.height, 10);
        EXPECT_NE(shown.u.ld.data, nullptr);
        // Every second image pixel in both directions.
        if (shown.u.ld.data != nullptr) {
            for (const auto& [x, y] : {std::array<int32_t, 2>{0, 0}, {7, 3}, {19, 9}})
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(simhost::read_channel(shown.u.ld, 8, x, y, c), bumps->channel(2 * x, 2 * y, c))
                        << x << "," << y << " channel " << c;
        }
        for (PF_ParamDef* p : {&rows, &turn, &shown, &hidden}) EXPECT_EQ(in->inter.checkin_param(in->effect_ref, p), 0);
        return PF_Err(0);
    });
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
}

TEST(RenderDriver, TraceLogsCommandsCheckoutsExpressionsAndUndoGroups) {
    std::vector<std::string> sunk;
    RenderSetup s = small_setup();
    s.trace = [&](const std::string& line) { sunk.push_back(line); };
    RenderDriver d(s);
    simhost::Host& host = d.host();
    ASSERT_FALSE(host.trace().lines().empty());
    EXPECT_EQ(host.trace().lines().front(), "command GLOBAL_SETUP -> 0");
    EXPECT_EQ(sunk, host.trace().lines());

    host.trace().clear();
    const simhost::RenderedFrame f = d.render(8);
    expect_clean(f);
    std::vector<std::string> phases, opened;
    for (const auto& line : host.trace().lines()) {
        if (line.rfind("command SMART_", 0) == 0) phases.push_back(line);
        // Every checkout of the frame is checked in, after it.
        if (line.rfind("checkout ", 0) == 0) opened.push_back(line.substr(9, line.find(' ', 9) - 9));
        if (line.rfind("checkin ", 0) == 0) {
            const auto it = std::find(opened.begin(), opened.end(), line.substr(8));
            ASSERT_NE(it, opened.end()) << line;
            opened.erase(it);
        }
    }
    EXPECT_EQ(phases, (std::vector<std::string>{"command SMART_PRE_RENDER -> 0", "command SMART_RENDER -> 0"}));
    EXPECT_TRUE(opened.empty());
    // The frame tied the effect to its layer: six expressions in one group.
    EXPECT_EQ(host.effect_streams().expressions.size(), 6u);
    EXPECT_EQ(host.undo_groups, std::vector<std::string>{"Tavrel: Tie to Layer"});

    // Each kind of line, made by hand.
    host.trace().clear();
    host.effect_streams().expressions.clear();
    host.effect_streams().expression_states.clear();
    const auto r = host.call_with([&](PF_InData* in, PF_OutData*) {
        const void* p = nullptr;
        SPBasicSuite* basic = in->pica_basicP;
        EXPECT_EQ(basic->AcquireSuite(kAEGPStreamSuite, kAEGPStreamSuiteVersion1, &p), 0);
        const auto& streams = *static_cast<const AEGP_StreamSuite1*>(p);
        EXPECT_EQ(basic->AcquireSuite(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &p), 0);
        const auto& effects = *static_cast<const AEGP_PFInterfaceSuite1*>(p);
        EXPECT_EQ(basic->AcquireSuite(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion11, &p), 0);
        const auto& utility = *static_cast<const AEGP_UtilitySuite11*>(p);
        EXPECT_EQ(basic->AcquireSuite(kAEGPEffectSuite, kAEGPEffectSuiteVersion1, &p), 0);
        const auto& effect_suite = *static_cast<const AEGP_EffectSuite1*>(p);

        EXPECT_EQ(utility.AEGP_StartUndoGroup("Tie \"it\""), 0);
        AEGP_EffectRefH effect = nullptr;
        AEGP_StreamRefH param = nullptr, scale = nullptr;
        EXPECT_EQ(effects.AEGP_GetNewEffectForEffect(1, in->effect_ref, &effect), 0);
        EXPECT_EQ(streams.AEGP_GetNewEffectStreamByIndex(1, effect, 36, &param), 0);
        EXPECT_EQ(streams.AEGP_SetExpressionState(1, param, 1), 0);
        EXPECT_EQ(streams.AEGP_SetExpression(1, param, "// Tavrel\nx"), 0);
        EXPECT_EQ(streams.AEGP_DisposeStream(param), 0);
        EXPECT_EQ(streams.AEGP_GetNewLayerStream(1, host.scene().handle(host.scene().effect_layer()),
                                                 AEGP_LayerStream_SCALE, &scale), 0);
        EXPECT_EQ(streams.AEGP_SetExpression(1, scale, "[100.0,100.0]"), 0);
        EXPECT_EQ(streams.AEGP_SetExpression(1, scale, nullptr), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(streams.AEGP_DisposeStream(scale), 0);
        EXPECT_EQ(streams.AEGP_SetExpression(1, scale, "gone"), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(effect_suite.AEGP_DisposeEffect(effect), 0);
        PF_ParamDef grid{};
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, 5, 15, 1, 30, &grid), 0);
        EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &grid), 0);
        EXPECT_EQ(utility.AEGP_EndUndoGroup(), 0);
        basic->ReleaseSuite(kAEGPStreamSuite, kAEGPStreamSuiteVersion1);
        basic->ReleaseSuite(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
        basic->ReleaseSuite(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion11);
        basic->ReleaseSuite(kAEGPEffectSuite, kAEGPEffectSuiteVersion1);
        return PF_Err(0);
    });
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(host.trace().lines(), (std::vector<std::string>{
                                        "undo group \"Tie \\\"it\\\"\"",
                                        "expression on parameter 36",
                                        "expression parameter 36 \"// Tavrel\\nx\"",
                                        "expression effect layer stream 2 \"[100.0,100.0]\"",
                                        "command ARBITRARY_CALLBACK COPY -> 0",
                                        "checkout 5 at 15/30",
                                        "checkin 5",
                                        "command ARBITRARY_CALLBACK DISPOSE -> 0",
                                        "undo group end",
                                    }));
    ASSERT_EQ(host.effect_streams().expressions.size(), 2u);
    EXPECT_EQ(host.effect_streams().expressions[1].stream, "effect layer stream 2");
    // Each with the undo group it was written in, and the one switch.
    EXPECT_EQ(host.effect_streams().expressions[0].undo_group, "Tie \"it\"");
    EXPECT_EQ(host.effect_streams().expressions[1].undo_group, "Tie \"it\"");
    ASSERT_EQ(host.effect_streams().expression_states.size(), 1u);
    EXPECT_EQ(host.effect_streams().expression_states[0].stream, "parameter 36");
    EXPECT_TRUE(host.effect_streams().expression_states[0].enabled);
}

TEST(RenderDriver, SeveralFramesOfOneInstance) {
    RenderDriver d(small_setup());
    std::vector<std::vector<uint8_t>> pixels;
    for (const int bpc : {8, 16, 8}) {
        const simhost::RenderedFrame f = d.render(bpc);
        expect_clean(f);
        ASSERT_NE(f.output, nullptr);
        const PF_EffectWorld& w = f.output->world();
        const auto* bytes = static_cast<const uint8_t*>(w.data);
        pixels.emplace_back(bytes, bytes + size_t(w.rowbytes) * size_t(w.height));
    }
    EXPECT_EQ(pixels[0], pixels[2]);
    size_t renders = 0;
    for (const PF_Cmd c : commands(d)) renders += c == PF_Cmd_SMART_RENDER;
    EXPECT_EQ(renders, 3u);
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

// The command history keeps its latest entries, oldest first, and counts
// every command sent.
TEST(RenderDriver, TheCommandHistoryKeepsTheLatestCommands) {
    RenderDriver d(small_setup());
    const std::uint64_t sent = d.instance().commands_sent();
    const std::size_t n = simhost::EffectInstance::kHistoryLength;
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(d.instance().command(PF_Cmd_UPDATE_PARAMS_UI).err, 0);
    expect_clean(d.render(8));
    const std::vector<PF_Cmd> kept = commands(d);
    EXPECT_EQ(d.instance().commands_sent(), sent + n + 2);
    ASSERT_EQ(kept.size(), n);
    for (std::size_t i = 0; i + 2 < n; ++i) ASSERT_EQ(kept[i], PF_Cmd_UPDATE_PARAMS_UI) << i;
    EXPECT_EQ(kept[n - 2], PF_Cmd_SMART_PRE_RENDER);
    EXPECT_EQ(kept[n - 1], PF_Cmd_SMART_RENDER);
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

// Three point lights casting shadows need 18 shadow sources: the first frame
// is refused with the effect's warning and draws nothing, the next renders.
TEST(RenderDriver, TooManyShadowSourcesWarnOnceThenTheNextFrameRenders) {
    const std::string scene = testing::TempDir() + "shadows_" + std::to_string(getpid()) + ".json";
    std::ofstream(scene) << R"({"comp": {"width": 64, "height": 36}, "lights": [
        {"type": "point", "position": [0, 0, -100]}, {"type": "point", "position": [64, 0, -100]},
        {"type": "point", "position": [0, 36, -100]}]})";
    RenderSetup s = small_setup();
    s.scene = scene;
    RenderDriver d(s);
    const simhost::RenderedFrame warned = d.render(8);
    EXPECT_EQ(warned.result.err, 0);
    EXPECT_EQ(warned.result.message.rfind("Warning:Too many shadow sources.\n", 0), 0u) << warned.result.message;
    EXPECT_TRUE(warned.info_lines.empty());
    for (const auto& v : warned.violations) ADD_FAILURE() << v;
    const simhost::RenderedFrame next = d.render(8);
    expect_clean(next);
    EXPECT_EQ(next.info_lines.size(), 1u);
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

TEST(RenderDriver, ExampleSceneLoadsAndRenders) {
    RenderSetup s;
    s.plugin = kPlugin;
    s.scene = TAVREL_SCENE_DIR "/example.json";
    RenderDriver d(s);
    simhost::Host& host = d.host();
    EXPECT_EQ(host.scene().comp_item().width, 640);
    EXPECT_EQ(host.scene().comp_item().height, 360);
    // The effect's layer, the image layer, the camera and two lights.
    ASSERT_EQ(host.scene().layer_count(), 5u);
    ASSERT_NE(host.scene().layer(1).source, nullptr);
    EXPECT_EQ(host.scene().layer(1).source->width, 160);
    EXPECT_EQ(host.scene().layer(1).source->height, 90);
    EXPECT_EQ(host.scene().effect_layer().source->width, 640);  // the test pattern
    const auto index = [&](const char* name) { return simhost::find_param(host.params(), name); };
    simhost::ParamValues& values = d.instance().values();
    EXPECT_EQ(values.at(index("Rows"), 0).whole, 3 << 16);
    EXPECT_EQ(values.at(index("Displacement Layer"), 0).whole, 1);
    EXPECT_EQ(values.at(index("Displacement Height"), 0).whole, 40 << 16);
    EXPECT_EQ(values.at(index("Rotation Y"), 30).whole, 15 << 16);
    EXPECT_EQ(host.in_data().current_time, 15);
    expect_clean(d.render(8));
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

// The verb end to end: the file's format follows the depth (a PNG's bit
// depth in its header, an EXR's magic number), the trace shows the two
// phases in order, and the effect's information lines are printed.
TEST(RenderVerb, WritesTheFrameInTheFormatOfItsDepth) {
    const std::string dir = testing::TempDir() + "render_verb_" + std::to_string(getpid()) + "_";
    struct Case {
        int bpc;
        std::string file;
        std::vector<uint8_t> magic;  // the file's first bytes
        size_t depth_at;             // where the PNG header holds its bit depth
    };
    const Case cases[] = {
        {8, "frame8.png", {0x89, 'P', 'N', 'G'}, 24},
        {16, "frame16.png", {0x89, 'P', 'N', 'G'}, 24},
        {32, "frame32.exr", {0x76, 0x2f, 0x31, 0x01}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bpc);
        const std::string out = dir + c.file;
        const tavrel_test::CliRun r = tavrel_test::run_simhost("render " + kPlugin + " --size 64x36 --bpc " +
                                                               std::to_string(c.bpc) + " --output " + out + " --trace");
        ASSERT_EQ(r.status, 0) << r.err;
        const size_t pre = r.err.find("trace: command SMART_PRE_RENDER -> 0\n");
        const size_t render = r.err.find("trace: command SMART_RENDER -> 0\n");
        ASSERT_NE(pre, std::string::npos) << r.err;
        ASSERT_NE(render, std::string::npos) << r.err;
        EXPECT_LT(pre, render);
        std::ifstream f(out, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 32u);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), c.magic);
        if (c.depth_at != 0) {
            EXPECT_EQ(bytes[c.depth_at], c.bpc);
            const auto image = simhost::read_png(out, c.bpc);
            EXPECT_EQ(image->world().width, 64);
            EXPECT_EQ(image->world().height, 36);
        }
        // "12.34 K triangles" and "N completed iterations".
        const size_t k = r.out.find(" K triangles\n");
        ASSERT_NE(k, std::string::npos) << r.out;
        EXPECT_GE(k, 4u);
        EXPECT_EQ(r.out[k - 3], '.') << r.out;
        EXPECT_EQ(r.out.substr(k + 13).find(" completed iterations\n"),
                  r.out.substr(k + 13).find_first_not_of("0123456789")) << r.out;
        // simhost's own last line: the file's size and origin on the layer.
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
        EXPECT_NE(r.out.find("\noutput 64 x 36 at (0, 0) in layer pixels\n"), std::string::npos) << r.out;
        // Without --verbose the effect's compile lines stay off the terminal.
        EXPECT_EQ(r.err.find("Compiling"), std::string::npos) << r.err;
    }
}

}  // namespace

namespace {

// A layer placed wholly outside the comp, however far: the effect renders
// the camera's view of the comp, which does not depend on where the layer
// lies, so the frame is rendered (never error 516) and its output is the
// comp's size, where the comp lies in layer pixels.
TEST(RenderDriver, LayerOutsideTheCompRendersTheCompView) {
    struct Case {
        const char* layer;
        int32_t origin_x, origin_y;
    };
    const Case cases[] = {
        {R"("position": [5000, 5000, 0])", -4968, -4982},
        {R"("position": [1000000, 0, 0])", -999968, 18},
        {R"("position": [10000000, -10000000, 0])", -9999968, 10000018},
    };
    const std::string scene = testing::TempDir() + "outside_" + std::to_string(getpid()) + ".json";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        std::ofstream(scene) << R"({"comp": {"width": 64, "height": 36}, "layer": {)" << c.layer << "}}";
        RenderSetup setup = small_setup();
        setup.scene = scene;
        RenderDriver d(setup);
        const simhost::RenderedFrame f = d.render(8);
        expect_clean(f);
        EXPECT_EQ(commands(d).back(), PF_Cmd_SMART_RENDER);
        ASSERT_NE(f.output, nullptr);
        ASSERT_EQ(f.output->world().width, 64);
        ASSERT_EQ(f.output->world().height, 36);
        EXPECT_EQ(f.output->world().origin_x, c.origin_x);
        EXPECT_EQ(f.output->world().origin_y, c.origin_y);
        double alpha = 0.0;
        for (int32_t y = 0; y < 36; ++y)
            for (int32_t x = 0; x < 64; ++x) alpha += f.output->channel(x, y, 0);
        EXPECT_GT(alpha, 0.0);
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
    }
    std::remove(scene.c_str());
}

struct ChildRun {
    int status = -1;
    std::string err;
    long peak_kb = 0;  // the child's own peak resident size
};

// The user a test run by root runs a writer as, to be refused what root
// may do.
constexpr uid_t kNobody = 65534;

// Runs simhost with `args` (no shell); standard error comes back through a
// pipe, which a file-size limit does not touch. `file_limit` >= 0 sets the
// child's RLIMIT_FSIZE with SIGXFSZ ignored, as a shell's `ulimit -f` would
// leave a writer that checks its writes. The child's umask is `mask`; with
// `as_nobody` a run by root runs the child as user and group kNobody.
ChildRun run_child(const std::vector<std::string>& args, long file_limit, mode_t mask = 022,
                   bool as_nobody = false) {
    ChildRun r;
    std::vector<std::string> text = {std::string(TAVREL_BIN_DIR) + "/simhost"};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return r;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (file_limit >= 0) {
            const struct rlimit limit {rlim_t(file_limit), rlim_t(file_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        umask(mask);
        if (as_nobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
        dup2(fds[1], 2);
        const int null_out = open("/dev/null", O_WRONLY);
        dup2(null_out, 1);
        close(fds[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::array<char, 4096> buf;
    ssize_t n;
    while ((n = read(fds[0], buf.data(), buf.size())) > 0) r.err.append(buf.data(), size_t(n));
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        ADD_FAILURE() << "fork or wait failed";
        return r;
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peak_kb = usage.ru_maxrss;
    return r;
}

// The names in `dir`, sorted, each followed by a space.
std::string folder(const std::string& dir) {
    std::vector<std::string> sorted;
    for (const auto& e : std::filesystem::directory_iterator(dir)) sorted.push_back(e.path().filename().string());
    std::sort(sorted.begin(), sorted.end());
    std::string names;
    for (const auto& n : sorted) names += n + " ";
    return names;
}

std::string file_text(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Every writer against every kind of target: a missing file and a regular
// one are replaced whole, the regular one keeping its owner, group and mode,
// a new one taking the umask; a link is written through, the file it leads
// to replaced beside itself; a device stays the device it was, written into;
// a full device, a file-size limit, a link loop or a link to a folder fail
// the run with the system's reason and leave the target as it was, with no
// temporary file beside it; a read-only file is refused as a shell refuses
// it, except to root; an empty name is refused before anything runs. Devices
// are private copies made with mknod (the tests run as root), never those in
// /dev.
TEST(RenderVerb, EveryWriterKeepsItsTargetWholeOrAsItWas) {
    const std::string dir = testing::TempDir() + "writers_" + std::to_string(getpid()) + "/";
    ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
    const bool root = geteuid() == 0;
    const std::string png_signature("\x89PNG\r\n\x1a\n", 8);
    struct Writer {
        std::string name;
        std::vector<std::string> args;  // the target follows
        std::string empty_refusal;      // the message for an empty name
        std::string starts;             // what the written file starts with
        std::vector<std::string> large;  // the same writer with more than a page to write
    };
    const std::string size = "--size", small = "64x36";
    const Writer writers[] = {
        {"grid --save", {"grid", kPlugin, "--save"}, "--save needs a file path, not an empty one", "KZTQ",
         {"grid", kPlugin, "--columns", "20", "--rows", "20", "--save"}},
        {"render --output", {"render", kPlugin, size, small, "--output"}, "--output needs a file path, not an empty one",
         png_signature, {"render", kPlugin, "--output"}},
        {"ui --png", {"ui", kPlugin, "--png"}, "--png writes a .png file, not ", png_signature, {"ui", kPlugin, "--png"}},
        {"ui --save", {"ui", kPlugin, "--save"}, "--save needs a file path, not an empty one", "KZTQ",
         {"ui", kPlugin, "--set", "Columns=20", "--set", "Rows=20", "--save"}},
    };
    enum Kind {
        kMissing, kRegular, kPrivate, kReadOnly, kReadOnlyToRoot, kLink, kLinkChain, kDanglingLink, kLinkLoop,
        kLinkToFolder, kNullDevice, kFullDevice, kFileLimit, kEmptyName
    };
    const char* kind_names[] = {"missing file", "regular file", "private file of another owner", "read-only file",
                                "read-only file written by root", "link to a file", "chain of links",
                                "dangling link", "link loop", "link to a folder", "null device", "full device",
                                "file-size limit", "empty name"};
    // Where links lead: a folder beside the target.
    const std::string real = dir + "real/", leads_to = real + "y.png";
    for (const Writer& w : writers) {
        for (int kind = kMissing; kind <= kEmptyName; ++kind) {
            SCOPED_TRACE(w.name + " to a " + kind_names[kind]);
            ASSERT_EQ(system(("rm -rf " + dir + "*").c_str()), 0);
            ASSERT_EQ(mkdir(real.c_str(), 0777), 0);
            const std::string target = kind == kEmptyName ? "" : dir + "x.png";
            const bool linked = kind >= kLink && kind <= kLinkToFolder;
            // Whose file is written, and what stands where it was.
            const std::string written = linked && kind != kLinkLoop && kind != kLinkToFolder ? leads_to : target;
            struct stat old {};
            if (kind == kRegular || kind == kFileLimit || kind == kPrivate || kind == kReadOnly ||
                kind == kReadOnlyToRoot || kind == kLink || kind == kLinkChain) {
                std::ofstream(written) << "the user's old file";
                mode_t mode = linked ? 0640 : 0644;
                if (kind == kPrivate) mode = 0600;
                if (kind == kReadOnly || kind == kReadOnlyToRoot) mode = 0444;
                ASSERT_EQ(chmod(written.c_str(), mode), 0);
                // Root gives it away, to see it kept.
                if (kind == kPrivate && root) {
                    ASSERT_EQ(chown(written.c_str(), kNobody, kNobody), 0);
                }
                ASSERT_EQ(stat(written.c_str(), &old), 0);
            }
            // A run by root runs as another user, whom the folder lets
            // replace any file in it: only the check of the file refuses.
            if (kind == kReadOnly) {
                ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
            }
            if (kind == kLink || kind == kDanglingLink) {
                ASSERT_EQ(symlink("real/y.png", target.c_str()), 0);
            }
            if (kind == kLinkChain) {
                ASSERT_EQ(symlink((real + "z.png").c_str(), target.c_str()), 0);
                ASSERT_EQ(symlink("y.png", (real + "z.png").c_str()), 0);
            }
            if (kind == kLinkLoop) {
                ASSERT_EQ(symlink("real/z.png", target.c_str()), 0);
                ASSERT_EQ(symlink("../x.png", (real + "z.png").c_str()), 0);
            }
            if (kind == kLinkToFolder) {
                ASSERT_EQ(symlink("real", target.c_str()), 0);
            }
            if (kind == kNullDevice || kind == kFullDevice) {
                // Root only: a run without it cannot test this and fails.
                ASSERT_EQ(mknod(target.c_str(), S_IFCHR | 0600, makedev(1, kind == kNullDevice ? 3 : 7)), 0)
                    << "mknod needs root: " << std::strerror(errno);
            }
            std::vector<std::string> args = w.args;
            args.push_back(target);
            const ChildRun r = run_child(args, kind == kFileLimit ? 0 : -1, kind == kMissing ? 027 : 022,
                                         kind == kReadOnly);
            ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
            struct stat st {};
            const bool exists = kind != kEmptyName && stat(written.c_str(), &st) == 0;
            const auto refused = [&](const std::string& why) {
                EXPECT_EQ(r.status, 1) << r.err;
                EXPECT_NE(r.err.find("simhost: " + target + ": " + why + "\n"), std::string::npos) << r.err;
            };
            switch (kind) {
                case kReadOnlyToRoot:
                case kReadOnly:
                    if (kind == kReadOnly || !root) {
                        refused("cannot be written (Permission denied)");
                        EXPECT_EQ(file_text(written), "the user's old file");
                        break;
                    }
                    [[fallthrough]];
                case kMissing:
                case kRegular:
                case kPrivate:
                case kLink:
                case kLinkChain:
                case kDanglingLink:
                    EXPECT_EQ(r.status, 0) << r.err;
                    ASSERT_TRUE(exists && S_ISREG(st.st_mode));
                    EXPECT_EQ(file_text(written).rfind(w.starts, 0), 0u);
                    EXPECT_EQ(st.st_mode & 07777, kind == kMissing ? 0640u : kind == kDanglingLink ? 0644u
                                                                                                    : old.st_mode & 07777);
                    if (kind != kMissing && kind != kDanglingLink) {
                        EXPECT_NE(st.st_ino, old.st_ino);
                        EXPECT_EQ(st.st_uid, old.st_uid);
                        EXPECT_EQ(st.st_gid, old.st_gid);
                    }
                    break;
                case kLinkLoop: refused("cannot be written (Too many levels of symbolic links)"); break;
                case kLinkToFolder: refused("is a directory, not a file"); break;
                case kNullDevice:
                case kFullDevice:
                    EXPECT_EQ(r.status, kind == kNullDevice ? 0 : 1) << r.err;
                    if (kind == kFullDevice) refused("cannot be written (No space left on device)");
                    ASSERT_TRUE(exists);
                    EXPECT_TRUE(S_ISCHR(st.st_mode));
                    EXPECT_EQ(st.st_rdev, makedev(1, kind == kNullDevice ? 3 : 7));
                    break;
                case kFileLimit:
                    refused("cannot be written (File too large)");
                    EXPECT_EQ(file_text(target), "the user's old file");
                    break;
                case kEmptyName:
                    EXPECT_EQ(r.status, 1) << r.err;
                    EXPECT_NE(r.err.find("simhost: " + w.empty_refusal), std::string::npos) << r.err;
                    break;
            }
            // Nothing but the target and the links is left: no temporary
            // file, beside the link or beside the file it leads to.
            if (linked) {
                struct stat link {};
                EXPECT_TRUE(lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode));
            }
            const bool in_real = written == leads_to && exists;
            const char* real_names = kind == kLinkChain ? (in_real ? "y.png z.png " : "z.png ")
                                     : kind == kLinkLoop ? "z.png "
                                                         : in_real ? "y.png " : "";
            EXPECT_EQ(folder(real), real_names);
            EXPECT_EQ(folder(dir), kind == kEmptyName || (kind == kMissing && !exists) ? "real " : "real x.png ");
        }
    }

    // A pipe whose reader goes before the writer is done fails the run with
    // the system's reason, never by the signal: the reader holds one page,
    // takes none, and goes once the writer waits with more to write.
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name + " to a pipe whose reader goes");
        const std::string fifo = dir + "gone.png";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        ASSERT_EQ(fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
        std::vector<std::string> args = w.large;
        args.push_back(fifo);
        std::atomic<bool> done{false};
        ChildRun r;
        std::thread writer([&] {
            r = run_child(args, -1);
            done = true;
        });
        for (int held = 0; !done && held < 4096 && ioctl(reader, FIONREAD, &held) == 0;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        close(reader);
        writer.join();
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("simhost: " + fifo + ": cannot be written (Broken pipe)\n"), std::string::npos) << r.err;
        std::remove(fifo.c_str());
    }

    // A pipe is written into, not replaced: the reader gets the whole grid.
    const std::string fifo = dir + "pipe.kztq";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = file_text(fifo); });
    const ChildRun r = run_child({"grid", kPlugin, "--save", fifo}, -1);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(piped.size(), 24u + 9u * 71u);
    EXPECT_EQ(piped.rfind("KZTQ", 0), 0u);
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A ui run that fails (here its frame cannot be written) leaves no grid.
    const std::string full = dir + "full.png", grid = dir + "g.kztq";
    ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0600, makedev(1, 7)), 0) << std::strerror(errno);
    const ChildRun failed = run_child({"ui", kPlugin, "--png", full, "--save", grid}, -1);
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_FALSE(std::ifstream(grid).good());
    ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
}

}  // namespace

namespace {

// A layer wider than the driver renders is refused with the driver's own
// limit, in words, and no frame is written. Mesa's software renderer stops
// at 16384 pixels a side, below the 30000 a host world holds. An image file
// is refused before its pixels are decoded: 20000 x 1000 pixels decoded
// would take the host 320 MB. A layer within the sides whose texture the
// driver cannot hold (16384 x 16384 at 16 bits a channel is 2 GiB, beyond
// what the software renderer allocates for one texture) is refused the same
// way, before the host decodes the 8 GB it would otherwise hold.
constexpr const char* kAntialiasingRefused =
    "OpenGL here cannot hold the anti-aliasing buffers of that size at 8 bits a channel. A lower \"Antialiasing\" "
    "renders it.\n";

TEST(RenderVerb, ALayerBeyondTheGlLimitIsRefusedWithTheLimit) {
    const std::string out = testing::TempDir() + "too_wide_" + std::to_string(getpid()) + ".png";
    const std::string wide = testing::TempDir() + "wide_" + std::to_string(getpid()) + ".png";
    const std::string big = testing::TempDir() + "big_" + std::to_string(getpid()) + ".png";
    std::ofstream(wide, std::ios::binary) << tavrel_test::black_png(20000, 1000);
    std::ofstream(big, std::ios::binary) << tavrel_test::black_png(16384, 16384);
    // A layer parameter's image beyond the side limit is refused the same
    // way, named by its parameter, before anything is posted to OpenGL.
    const std::string strip = testing::TempDir() + "strip_" + std::to_string(getpid()) + ".png";
    std::ofstream(strip, std::ios::binary) << tavrel_test::black_png(20000, 64);
    const std::string strip_name = std::filesystem::path(strip).filename().string();
    std::vector<std::string> scenes;
    for (const char* param : {"Displacement Layer", "Backside Layer", "Reflection Layer"}) {
        scenes.push_back(testing::TempDir() + "wide_param_" + std::to_string(scenes.size()) + "_" +
                         std::to_string(getpid()) + ".json");
        std::ofstream(scenes.back()) << R"({"comp": {"width": 64, "height": 36}, "layers": [{"image": ")"
                                     << strip_name << R"("}], "params": {")" << param << R"(": 1}})";
    }
    struct Case {
        std::vector<std::string> options;
        std::string size;
        std::string held;  // the refusal of a texture too large to hold; empty: the side limit
        std::string what = "layer";
    };
    const Case cases[] = {
        {{"--size", "30000x2"}, "30000 x 2", ""},
        // Refused before the pattern's 500 MB at 16 bits are made.
        {{"--size", "16385x4000"}, "16385 x 4000", ""},
        {{"--input", wide}, "20000 x 1000", ""},
        {{"--input", big, "--bpc", "16"}, "16384 x 16384", "OpenGL here cannot hold a texture of that size at 16 bits a channel.\n"},
        // At 8 bits the layer's texture is held, but not the anti-aliasing
        // buffers at its size: the multisampled ones of "Low", the float
        // target the views of the default "Medium" are summed in.
        {{"--input", big}, "16384 x 16384", kAntialiasingRefused},
        {{"--input", big, "--set", "Antialiasing=Low"}, "16384 x 16384", kAntialiasingRefused},
        {{"--scene", scenes[0]}, "20000 x 64", "", "Displacement Layer"},
        {{"--scene", scenes[1]}, "20000 x 64", "", "Backside Layer"},
        {{"--scene", scenes[2]}, "20000 x 64", "", "Reflection Layer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<std::string> args = {"render", kPlugin};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"--output", out});
        const ChildRun r = run_child(args, -1);
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(std::ifstream(out).good());
        EXPECT_LT(r.peak_kb, 250 * 1024);
        if (!c.held.empty()) {
            const std::string what = c.held == kAntialiasingRefused ? "output" : "layer";
            const std::string whole = "The " + what + " is " + c.size + " pixels; " + c.held;
            ASSERT_GE(r.err.size(), whole.size()) << r.err;
            EXPECT_EQ(r.err.substr(r.err.size() - whole.size()), whole);
            continue;
        }
        const std::string head = "The " + c.what + " is " + c.size + " pixels; OpenGL here renders at most ";
        const size_t at = r.err.find(head);
        ASSERT_NE(at, std::string::npos) << r.err;
        const std::string rest = r.err.substr(at + head.size());
        const int limit = std::atoi(rest.c_str());
        EXPECT_GE(limit, 2048);
        EXPECT_LT(limit, 20000);
        EXPECT_EQ(rest, std::to_string(limit) + " pixels a side.\n");
    }
    std::remove(wide.c_str());
    std::remove(big.c_str());
    std::remove(strip.c_str());
    for (const auto& scene : scenes) std::remove(scene.c_str());
}

}  // namespace

namespace {

// A layer within the side limit whose height map's slope map (two texels
// more on each side) is not: the second effect shades it through the height
// reads instead, and renders it as the first effect does.
TEST(RenderDriver, TheSecondEffectRendersALayerAtTheSideLimit) {
    const std::string input = testing::TempDir() + "side_limit_" + std::to_string(getpid()) + ".png";
    std::ofstream(input, std::ios::binary) << tavrel_test::black_png(16384, 2);
    RenderSetup setup;
    setup.plugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so";
    setup.input = input;
    // The least work that still shades the layer.
    setup.edits = {"Adaptive=0", "Subdivisions=16", "Antialiasing=None"};
    RenderDriver d(setup);
    const simhost::RenderedFrame f = d.render(8);
    std::remove(input.c_str());
    expect_clean(f);
    ASSERT_NE(f.output, nullptr);
    ASSERT_EQ(f.output->world().width, 16384);
    ASSERT_EQ(f.output->world().height, 2);
    int covered = 0;
    for (int32_t x = 0; x < 16384; ++x)
        for (int32_t y = 0; y < 2; ++y) covered += f.output->channel(x, y, 0) > 0.5 ? 1 : 0;
    EXPECT_GT(covered, 2 * 16384 * 9 / 10);
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

}  // namespace

namespace {

// "D. Noise Evolution" moves the displacement noise along its direction at
// its speed: a frame with evolution differs from one without, unless the
// speed is 0, when the noise stays where it was.
TEST(RenderDriver, NoiseEvolutionMovesTheNoiseAtItsSpeed) {
    const auto frame = [](std::vector<std::string> edits) {
        RenderSetup setup = small_setup();
        edits.insert(edits.begin(), "D. Noise Amplitude=30");
        setup.edits = edits;
        RenderDriver d(setup);
        simhost::RenderedFrame f = d.render(8);
        expect_clean(f);
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
        return std::move(f.output);
    };
    const auto differing = [](const simhost::OwnedWorld& a, const simhost::OwnedWorld& b) {
        int n = 0;
        for (int32_t y = 0; y < a.world().height; ++y)
            for (int32_t x = 0; x < a.world().width; ++x)
                for (int c = 0; c < 4; ++c) n += a.channel(x, y, c) != b.channel(x, y, c) ? 1 : 0;
        return n;
    };
    const auto still = frame({});
    const auto evolved = frame({"D. Noise Evolution=10"});
    const auto held = frame({"D. Noise Evolution=10", "D. Noise Speed=0"});
    ASSERT_TRUE(still && evolved && held);
    EXPECT_GT(differing(*still, *evolved), 64 * 36 / 4);
    EXPECT_EQ(differing(*still, *held), 0);
}

}  // namespace
