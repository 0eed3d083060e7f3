#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"

namespace {

using tavrel_test::CliRun;
using tavrel_test::run_simhost;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

TEST(SimhostCli, InfoPrintsThePropertyList) {
    const CliRun r = run_simhost("info " + kPlugin);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "name:        Tavrel Lattix Pro\n"
              "match name:  Tavrel Lattix Pro\n"
              "category:    Tavrel\n"
              "kind:        eFKT\n"
              "entry point: EntryPointFunc\n"
              "version:     0x00080001\n"
              "out flags:   0x03088003\n"
              "out flags 2: 0x00021406\n");
    EXPECT_EQ(r.err, "");
}

TEST(SimhostCli, AboutPrintsBothLines) {
    const CliRun r = run_simhost("about " + kPlugin);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Lattix Pro Version 1.5 CS6\n", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST(SimhostCli, BadInputGetsAClearErrorAndNonZeroExit) {
    const std::string text_file = testing::TempDir() + "not_a_library_" + std::to_string(getpid()) + ".txt";
    std::ofstream(text_file) << "plain text, not ELF\n";
    const std::string fixtures = TAVREL_FIXTURE_DIR;
    struct Case {
        std::string args;
        std::string error;
    };
    const Case cases[] = {
        {"info /nonexistent/Plugin.so", "simhost: cannot open /nonexistent/Plugin.so: No such file or directory\n"},
        {"info " + text_file, "simhost: " + text_file + " is not a shared library\n"},
        {"about " + fixtures + "/fixture_no_entry.so",
         "simhost: " + fixtures + "/fixture_no_entry.so does not export EntryPointFunc\n"},
        {"info " + fixtures + "/fixture_no_pipl.so",
         "simhost: " + fixtures + "/fixture_no_pipl.so has no property list\n"},
        {"info", "simhost: info takes one plug-in path\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = run_simhost(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.error) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
    }
}

// Lines of out that start with prefix.
std::vector<std::string> lines_starting(const std::string& out, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

TEST(SimhostCli, GridEditsPrintTheGridTheChangesAndTheInterfaceUpdates) {
    const CliRun rows = run_simhost("grid " + kPlugin + " --set Rows=3");
    ASSERT_EQ(rows.status, 0) << rows.err;
    EXPECT_EQ(rows.out.rfind("columns 2\nrows 3\n", 0), 0u) << rows.out;
    EXPECT_EQ(lines_starting(rows.out, "3 2: ").size(), 1u);
    EXPECT_NE(rows.out.find("\nlayer 640 x 480\n"), std::string::npos);
    const auto changed = lines_starting(rows.out, "changed\t");
    // Rows, the grid and the 36 sliders of 4 rows by 3 columns of points.
    ASSERT_EQ(changed.size(), 38u);
    EXPECT_EQ(changed[0], "changed\t3\tRows\t3");
    EXPECT_EQ(changed[1], "changed\t5\tMesh Distortion");
    EXPECT_EQ(changed[2], "changed\t44\tR1-P1 Position X\t-320");
    EXPECT_EQ(changed[3], "changed\t45\tR1-P1 Position Y\t-240");
    EXPECT_EQ(changed.back().rfind("changed\t103\tR4-P3 Position Z\t", 0), 0u);
    const auto ui = lines_starting(rows.out, "ui\t");
    ASSERT_EQ(ui.size(), 80u);
    EXPECT_EQ(ui[0], "ui\t10\tTangent Tension\tui_flags 0x20\tflags 0x20");
    EXPECT_EQ(ui[5], "ui\t44\tR1-P1 Position X\tui_flags 0x0\tflags 0x60");
    EXPECT_EQ(ui[79], "ui\t126\tR5-P5 Position Z\tui_flags 0x20\tflags 0x60");

    const CliRun point = run_simhost("grid " + kPlugin + " --set 'R2-P2 Position Y=100'");
    ASSERT_EQ(point.status, 0) << point.err;
    // Only y of point (1, 1) moves, with its handles: 200 / 480 grid units.
    EXPECT_EQ(lines_starting(point.out, "1 1: ")[0],
              "1 1: 0 | 1 0 0 0.416666657 0 | 1 0 -0.333333343 0.416666657 0 | "
              "1 0 0.333333343 0.416666657 0 | 1 0 0 0.0833333135 0 | 1 0 0 0.75 0");
    EXPECT_EQ(lines_starting(point.out, "0 0: ")[0], lines_starting(run_simhost("grid " + kPlugin).out, "0 0: ")[0]);
    EXPECT_EQ(lines_starting(point.out, "changed\t65\t")[0], "changed\t65\tR2-P2 Position Y\t100");
}

TEST(SimhostCli, GridEditsThatCannotBeMadeAreRefused) {
    struct Case {
        std::string edit;
        std::string error;
    };
    const Case cases[] = {
        {"Position X=3", "simhost: \"Position X\" names parameters 22, 36; give its index instead\n"},
        {"Rows Count=3", "simhost: no parameter named \"Rows Count\"\n"},
        {"Rows=25", "simhost: Rows: \"25\" is not a valid value (whole numbers 1..20)\n"},
        {"Rows=three", "simhost: Rows: \"three\" is not a valid value (whole numbers 1..20)\n"},
        {"Enable=2", "simhost: Enable: \"2\" is not a valid value (0 or 1)\n"},
        {"Manipulation=W only",
         "simhost: Manipulation: \"W only\" is not a valid value (1..4, \"X,Y,Z\", \"X only\", \"Y only\", \"Z only\")\n"},
        {"Grid Color=1,2,256", "simhost: Grid Color: \"1,2,256\" is not a valid value (R,G,B each 0..255)\n"},
        {"R1-P1 Position X=-5001", "simhost: R1-P1 Position X: \"-5001\" is not a valid value (-5000..5000)\n"},
        {"5=1", "simhost: parameter 5 (PF_Param_ARBITRARY_DATA) takes no typed value\n"},
        {"999=1", "simhost: no parameter with index 999 (1..275)\n"},
        {"Rows", "simhost: --set needs NAME=VALUE, not \"Rows\"\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = run_simhost("grid " + kPlugin + " --set '" + c.edit + "'");
        EXPECT_EQ(r.status, 1) << c.edit;
        EXPECT_EQ(r.out, "") << c.edit;
        // The refusal is the last word; what the effect reported before it
        // (an engine without a display) may precede it.
        ASSERT_GE(r.err.size(), c.error.size()) << c.edit;
        EXPECT_EQ(r.err.substr(r.err.size() - c.error.size()), c.error) << c.edit;
    }
    // Popups by name and by number, fixed sliders in their units, colours.
    const CliRun ok = run_simhost("grid " + kPlugin +
                                  " --set 'Manipulation=Y only' --set 'Tangent Alignment=1' --set 22=12.5"
                                  " --set 'Grid Color=1,2,3' --set 'Tie to layer=0'");
    ASSERT_EQ(ok.status, 0) << ok.err;
    for (const char* line : {"changed\t18\tManipulation\t3 (Y only)", "changed\t19\tTangent Alignment\t1 (Off)",
                             "changed\t22\tPosition X\t12.5", "changed\t35\tTie to layer\t0",
                             "changed\t211\tGrid Color\t1,2,3"})
        EXPECT_EQ(lines_starting(ok.out, line).size(), 1u) << line;
    // A number below the doubles' normal range is a number all the same.
    const CliRun tiny = run_simhost("grid " + std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so --set Amplitude=1e-320");
    ASSERT_EQ(tiny.status, 0) << tiny.err;
    EXPECT_EQ(lines_starting(tiny.out, "changed\t"), std::vector<std::string>{"changed\t104\tAmplitude\t9.99989e-321"});
}

// Every refusal names its cause on standard error, fails the run and leaves
// no output file behind, whether it comes before the effect is loaded or
// from the effect's own answer.
TEST(SimhostCli, RenderRefusesBadInputAndWritesNothing) {
    const std::string dir = testing::TempDir() + "render_refusals_" + std::to_string(getpid()) + "/";
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    std::ofstream(dir + "corrupt.kztq", std::ios::binary) << "KZTQ but nothing a grid is made of";
    std::ofstream(dir + "corrupt_v1.kztq", std::ios::binary) << std::string("KZTQ\x01\0\0\0 nothing a grid is made of", 34);
    std::ofstream(dir + "unknown_key.json") << R"({"comp": {"width": 64, "height": 36}, "lyers": []})";
    struct Case {
        std::string options;
        std::string output;
        std::string error;
    };
    const Case cases[] = {
        {"--set 'Rows Count=3'", "a.png", "simhost: no parameter named \"Rows Count\"\n"},
        {"--set Rows=21", "a.png", "simhost: Rows: \"21\" is not a valid value (whole numbers 1..20)\n"},
        {"--set 'Displacement Layer=2'", "a.png",
         "simhost: Displacement Layer: the scene has no layer 2 (it has the effect's layer only)\n"},
        {"--set 'Displacement Layer=top'", "a.png",
         "simhost: Displacement Layer: \"top\" is not a valid value (none or a layer index 1..30000)\n"},
        {"--grid " + dir + "corrupt.kztq", "a.png",
         "simhost: " + dir + "corrupt.kztq: a saved grid of version 25120; version 1 is read\n"},
        {"--grid " + dir + "corrupt_v1.kztq", "a.png",
         "simhost: " + dir + "corrupt_v1.kztq: the effect refused the grid: Invalid parameter file.\n"},
        {"--grid " + dir + "missing.kztq", "a.png",
         "simhost: " + dir + "missing.kztq: cannot be read (No such file or directory)\n"},
        {"--bpc 32", "a.png", "simhost: --bpc 32 is written as .exr, not " + dir + "a.png\n"},
        {"--bpc 8", "a.exr", "simhost: --bpc 8 is written as .png, not " + dir + "a.exr\n"},
        {"--bpc 12", "a.png", "simhost: --bpc is 8, 16 or 32, not 12\n"},
        {"", "a.tif", "simhost: the output is a .png or an .exr file, not " + dir + "a.tif\n"},
        {"--size 640", "a.png", "simhost: --size is WxH, each from 2 to 30000, not \"640\"\n"},
        {"--scene " + dir + "unknown_key.json", "a.png", "simhost: scene: lyers: unknown key\n"},
        {"--input " + dir + "unknown_key.json", "a.png", "simhost: " + dir + "unknown_key.json: not a PNG file\n"},
    };
    for (const auto& c : cases) {
        const std::string output = dir + c.output;
        const CliRun r = run_simhost("render " + kPlugin + " " + c.options + " --output " + output);
        EXPECT_EQ(r.status, 1) << c.options;
        EXPECT_EQ(r.out, "") << c.options;
        // An engine without a display may have said so first.
        ASSERT_GE(r.err.size(), c.error.size()) << c.options << ": " << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - c.error.size()), c.error) << c.options;
        EXPECT_FALSE(std::ifstream(output).good()) << c.options;
    }
    EXPECT_EQ(run_simhost("render " + kPlugin).err, "simhost: render needs --output IMG\n");
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A verb's usage is its options, one line each: the option and its value,
// two spaces, what it does. --help prints it anywhere on the line; an
// unknown option names itself and prints it, and nothing runs.
TEST(SimhostCli, EachVerbsHelpListsItsOptionsAndAnUnknownOptionIsAUsageError) {
    struct Case {
        std::string verb;
        std::vector<std::string> options;
    };
    const Case cases[] = {
        {"info", {}},
        {"about", {}},
        {"params", {}},
        {"grid", {"--columns C", "--rows R", "--load F.kztq", "--save F.kztq", "--set NAME=VALUE"}},
        {"render",
         {"--input IMG", "--output IMG", "--bpc 8|16|32", "--size WxH", "--set NAME=VALUE", "--grid F.kztq",
          "--scene SCENE.json", "--trace"}},
        {"ui",
         {"--window comp|layer|effect", "--scene S.json", "--set NAME=VALUE", "--grid F.kztq", "--click X,Y[,MODS]",
          "--drag X,Y", "--save F.kztq", "--png F.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verb);
        const CliRun help = run_simhost(c.verb + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        const std::vector<std::string> lines = lines_of(help.out);
        ASSERT_GE(lines.size(), 4u) << help.out;
        EXPECT_EQ(lines[0], "usage: simhost " + c.verb + " PLUGIN.so [options]");
        std::vector<std::string> listed;
        for (size_t i = 2; i < lines.size(); ++i) {
            const size_t gap = lines[i].find("  ", 2);
            ASSERT_EQ(lines[i].rfind("  --", 0), 0u) << lines[i];
            ASSERT_NE(gap, std::string::npos) << lines[i];
            EXPECT_NE(lines[i].find_first_not_of(' ', gap), std::string::npos) << lines[i];
            listed.push_back(lines[i].substr(2, gap - 2));
        }
        std::vector<std::string> expected = c.options;
        expected.insert(expected.end(), {"--verbose", "--help"});
        EXPECT_EQ(listed, expected);

        for (const std::string& line : {c.verb + " " + kPlugin + " --help", c.verb + " " + kPlugin + " --verbose --help"})
            EXPECT_EQ(run_simhost(line).out, help.out) << line;
        const CliRun unknown = run_simhost(c.verb + " " + kPlugin + " --frames 2");
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(unknown.out, "");
        EXPECT_EQ(unknown.err, "simhost: unknown option --frames\n" + help.out);
        const CliRun stray = run_simhost(c.verb + " " + kPlugin + " frames");
        EXPECT_EQ(stray.status, 2);
        EXPECT_EQ(stray.err, "simhost: unknown option frames\n" + help.out);

        // Every option listed is one the verb takes: what it says of a
        // missing plug-in or a bad value is not a usage error.
        for (const std::string& option : c.options) {
            const std::string name = option.substr(0, option.find(' '));
            const std::string line = c.verb + " /nonexistent/Plugin.so " + name + (name == option ? "" : " x");
            const CliRun r = run_simhost(line);
            EXPECT_EQ(r.status, 1) << line << ": " << r.err;
            EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << line << ": " << r.err;
        }
    }
    const CliRun first = run_simhost("render --output a.png " + kPlugin);
    EXPECT_EQ(first.status, 2);
    EXPECT_EQ(first.err.rfind("simhost: render takes the plug-in path before its options\nusage: simhost render ", 0), 0u)
        << first.err;

    // Without a verb: one line for each.
    const CliRun all = run_simhost("--help");
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "");
    const std::vector<std::string> lines = lines_of(all.out);
    ASSERT_EQ(lines.size(), 8u) << all.out;
    EXPECT_EQ(lines[0], "usage: simhost VERB PLUGIN.so [options]");
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(lines[i + 1].rfind("  " + cases[i].verb + " ", 0), 0u) << lines[i + 1];
    EXPECT_EQ(lines[7], "simhost VERB --help lists the verb's options; every verb takes --verbose.");
}

TEST(SimhostCli, UnknownVerbIsAUsageError) {
    const CliRun r = run_simhost("frobnicate " + kPlugin);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("simhost: unknown verb 'frobnicate'\n", 0), 0u);
}

}  // namespace
