// Hostile and careless input through the verbs: each file is made here, a
// few bytes long, and each run must fail with its own message, exit 1, leave
// no output file, and stay far below the memory its input could make a
// careless reader take.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "black_png.h"

namespace {

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

// A refused run never holds an image: the plug-in, its libraries and the
// parsed input fit in this, while each hostile file below asks for
// gigabytes from a reader that trusts it.
constexpr long kPeakLimitKb = 300 * 1024;
// A refusal the effect makes itself comes after its engine has started,
// which under AddressSanitizer alone takes about 310 MB.
constexpr long kEnginePeakLimitKb = 400 * 1024;

struct Measured {
    int status = -1;
    std::string err;
    long peak_kb = 0;
};

// AddressSanitizer reserves terabytes of address space for its shadow at
// start-up, so an ASan-built simhost cannot start under an address-space
// limit at all: those cases run in the uninstrumented build only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCanBeLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

// Runs simhost with `args` (no shell) and reads its own peak resident size
// from wait4: the figure belongs to that child alone.
// `memory_limit_mb` > 0 bounds the child's address space (RLIMIT_AS): the
// memory the host may assume it has.
Measured run_measured(const std::vector<std::string>& args, long memory_limit_mb = 0) {
    Measured m;
    std::string err_file = testing::TempDir() + "hostile_stderr_XXXXXX";
    const int fd = mkstemp(err_file.data());
    if (fd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return m;
    }
    std::vector<std::string> argv_text = {std::string(TAVREL_BIN_DIR) + "/simhost"};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (memory_limit_mb > 0) {
            const struct rlimit limit {rlim_t(memory_limit_mb) << 20, rlim_t(memory_limit_mb) << 20};
            setrlimit(RLIMIT_AS, &limit);
        }
        // The host counts the software renderer's threads into what a frame
        // needs; four, whatever the machine, keep the figures the same.
        setenv("LP_NUM_THREADS", "4", 1);
        dup2(fd, 2);
        const int null_out = open("/dev/null", O_WRONLY);
        dup2(null_out, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fd);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        ADD_FAILURE() << "fork or wait failed";
        return m;
    }
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.peak_kb = usage.ru_maxrss;
    std::ifstream e(err_file, std::ios::binary);
    m.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    std::remove(err_file.c_str());
    return m;
}

void put_u32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s += char((v >> (8 * i)) & 0xff);
}

std::string png_chunk(const std::string& type, const std::string& data, uint32_t declared) {
    std::string c;
    put_u32(c, declared);
    const std::string body = type + data;
    c += body;
    put_u32(c, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    return c;
}
std::string png_chunk(const std::string& type, const std::string& data) {
    return png_chunk(type, data, uint32_t(data.size()));
}

// An RGBA header of `width` x `height` and `idat` as the image data.
std::string png_file(uint32_t width, uint32_t height, const std::string& after_header) {
    std::string ihdr;
    put_u32(ihdr, width);
    put_u32(ihdr, height);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", ihdr) + after_header;
}

std::string deflated(const std::string& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    out.resize(size);
    return out;
}

// A saved 2 x 2 grid (one cell) whose point `broken` has `z` as its
// position's z.
std::string flat_grid(uint16_t version, float z) {
    std::string s = "KZTQ";
    s += char(version & 0xff);
    s += char(version >> 8);
    s += std::string(2, '\0');
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xff);
    };
    auto f32 = [&](float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        le32(bits);
    };
    le32(4);
    le32(1);
    le32(1);
    for (int p = 0; p < 4; ++p) {
        s += '\0';
        for (int h = 0; h < 5; ++h) {
            s += char(h == 0 ? 1 : 0);
            s += '\0';
            f32(p % 2 ? 1.0f : -1.0f);
            f32(p / 2 ? 1.0f : -1.0f);
            f32(p == 3 && h == 0 ? z : 0.0f);
        }
    }
    return s + "KZTQ";
}

TEST(HostileInput, EachIsRefusedInWordsWithoutOutputOrLargeMemory) {
    const std::string dir = testing::TempDir() + "hostile_" + std::to_string(getpid()) + "/";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary) << bytes;
        return dir + name;
    };
    // 30000 x 30000 pixels promised by a few bytes of image data: 3.6 GB
    // to a reader that sizes its buffers by the header.
    const std::string few_zeros = deflated(std::string(64, '\0'));
    const std::string huge =
        write("huge.png", png_file(30000, 30000, png_chunk("IDAT", few_zeros) + png_chunk("IEND", "")));
    // A text chunk that declares 2 GB in a 45-byte file.
    const std::string text = write("text.png", png_file(1, 1, png_chunk("tEXt", "abcd", 0x7ffffff0u)));
    const std::string empty_grid = write("empty.kztq", "");
    const std::string version_2 = write("v2.kztq", flat_grid(2, 0.0f));
    const std::string nan_grid = write("nan.kztq", flat_grid(1, std::numeric_limits<float>::quiet_NaN()));
    const std::string inf_grid = write("inf.kztq", flat_grid(1, std::numeric_limits<float>::infinity()));
    const std::string late_time = write("time.json", R"({"time": 1e10})");
    const std::string overflow = write("overflow.json", R"({"comp": {"duration": 1e400}})");
    const std::string far_camera = write("far.json", R"({"camera": {"position": [0, 0, 1e308]}})");
    const std::string keys = write("keys.json", R"({"keyframes": {"Rotation": [[-1e308, 0], [1e308, 90]]}})");
    const std::string in_point = write("in_point.json", R"({"layer": {"in_point": -1e300}})");
    const std::string focus = write("focus.json", R"({"camera": {"focus_distance": 0}})");
    const std::string camera_layer =
        write("camera_layer.json", R"({"camera": {}, "layers": [], "params": {"Displacement Layer": 1}})");
    const std::string light_layer = write(
        "light_layer.json", R"({"layers": [{}], "lights": [{"type": "point"}], "params": {"Displacement Layer": 2}})");
    const std::string nul_key = write("nul.json", std::string("{\"a\\u0000b\": 1}"));
    const std::string long_key = write("long.json", "{\"" + std::string(100000, 'k') + "\": 1}");
    const std::string nul_image = write("nul_image.json", R"({"layer": {"image": "a\u0000.png"}})");
    const std::string fixed_key = write("fixed_key.json", R"({"keyframes": {"Rows": [[0, 2], [1, 3]]}})");
    // 8192 x 8192 pixels really there in 65 KB: refused from the header
    // under a 1 GB address space, as the layer and as a layer's image.
    const std::string black = write("black.png", tavrel_test::black_png(8192, 8192));
    const std::string black_layer = write("black_layer.json", R"({"layers": [{"image": "black.png"}]})");
    // A megabyte of unclosed arrays: a parse that nests without bound.
    const std::string deep = write("deep.json", std::string(1000000, '['));
    // The sizes of the first version's forms, which the effect answers with
    // a message and a default grid in place of the user's.
    const std::string first_a = write("first_a.kztq", std::string(37064, '\0'));
    const std::string first_b = write("first_b.kztq", std::string(37072, '\0'));
    const std::string first_version = ": the effect refused the grid: Quonsel Lattix:\n\nVersion 1.0 grid not supported.\n\n"
                                      "Using default grid.\n";
    // Coordinates a saved grid holds but no slider, drag or scene reaches:
    // 1e38 overflows the surface and left the frame empty with success.
    const std::string far_grid = write("far.kztq", flat_grid(1, 1e38f));
    const std::string beyond_grid = write("beyond.kztq", flat_grid(1, 31250.5f));
    const std::string saved = flat_grid(1, 0.0f);
    const std::string header_cut = write("header_cut.kztq", saved.substr(0, 7));
    const std::string points_cut = write("points_cut.kztq", saved.substr(0, 100));
    const std::string bad_trailer = write("bad_trailer.kztq", saved.substr(0, saved.size() - 4) + "KZTX");

    struct Case {
        std::vector<std::string> options;
        std::string error;  // the end of standard error
        long memory_limit_mb = 0;
        // The verb; render, grid and ui are given the plug-in first and an
        // output last (--output, --save, --png), info its options alone.
        std::string verb = "render";
        bool effect_refused = false;  // the effect's message, printed as it came, once its engine ran
    };
    const Case cases[] = {
        {{"--input", black},
         black + ": 8192 x 8192 pixels need about 1536 MB to render, more than the 1024 MB this process may have\n",
         1024},
        // The header passes, the frame at its depth and anti-aliasing does
        // not: refused before the image is decoded.
        {{"--input", black},
         black + ": 8192 x 8192 pixels need about 5668 MB to render into an output of 8192 x 8192 at 8 bits and "
                 "\"Antialiasing\" Medium, more than the 2048 MB this process may have\n",
         2048},
        {{"--input", black, "--set", "Antialiasing=None", "--bpc", "16"},
         black + ": 8192 x 8192 pixels need about 5476 MB to render into an output of 8192 x 8192 at 16 bits and "
                 "\"Antialiasing\" None, more than the 2048 MB this process may have\n",
         2048},
        {{"--scene", black_layer},
         black + ": 8192 x 8192 pixels need about 1536 MB to render, more than the 1024 MB this process may have\n",
         1024},
        {{"--input", huge},
         huge + ": cannot be read (declares 30000 x 30000 pixels, more than its " + std::to_string(few_zeros.size()) +
             " bytes of image data can hold)\n"},
        {{"--input", text}, text + ": cannot be read (chunk tEXt declares 2147483632 bytes, more than the file holds)\n"},
        {{"--scene", "/dev/zero"}, "scene: /dev/zero: larger than 16777216 bytes, more than a scene file can need\n"},
        {{"--grid", "/dev/zero"}, "/dev/zero: larger than 37072 bytes, more than a saved grid can need\n"},
        {{"--grid", dir}, dir + ": is a directory, not a file\n"},
        {{"--grid", empty_grid}, empty_grid + ": the file is empty, not a saved grid\n"},
        {{"--grid", version_2}, version_2 + ": a saved grid of version 2; version 1 is read\n"},
        {{"--grid", nan_grid}, nan_grid + ": the effect refused the grid: Invalid parameter file.\n"},
        {{"--grid", inf_grid}, inf_grid + ": the effect refused the grid: Invalid parameter file.\n"},
        {{"--grid", far_grid},
         "Grid point R2-P2 is at z = 3.2e+40 pixels; a grid point may lie at most 10000000 pixels from the "
         "layer's centre along each axis.\n",
         0, "render", true},
        {{"--grid", beyond_grid},
         "Grid point R2-P2 is at z = 1.00002e+07 pixels; a grid point may lie at most 10000000 pixels from the "
         "layer's centre along each axis.\n",
         0, "render", true},
        {{"--grid", header_cut}, header_cut + ": a saved grid cut short in its header (7 of its 20 bytes)\n"},
        {{"--grid", points_cut}, points_cut + ": a saved grid of 1 x 1 cells cut short (100 of its 308 bytes)\n"},
        {{"--grid", bad_trailer},
         bad_trailer + ": a saved grid of 1 x 1 cells that does not end with \"KZTQ\" (bytes 304 to 307)\n"},
        {{"--input", ""}, "--input needs a file path, not an empty one\n"},
        {{"--scene", ""}, "--scene needs a file path, not an empty one\n"},
        {{"--grid", ""}, "--grid needs a file path, not an empty one\n"},
        {{"--scene", late_time}, "scene: time: expected a number from -1e+06 to 1e+06\n"},
        {{"--scene", overflow},
         "scene: comp.duration: a number beyond what a scene holds ([json.exception.out_of_range.406] number "
         "overflow parsing '1e400')\n"},
        {{"--scene", far_camera}, "scene: camera.position[2]: expected a number from -1e+07 to 1e+07\n"},
        {{"--scene", keys}, "scene: keyframes.Rotation[0][0]: expected a number from -1e+06 to 1e+06\n"},
        {{"--scene", in_point}, "scene: layer.in_point: expected a number from -1e+06 to 1e+06\n"},
        {{"--scene", focus}, "scene: camera.focus_distance: expected a number from 0.001 to 1e+09\n"},
        {{"--scene", camera_layer},
         "Displacement Layer: layer 1 is a camera, not an image layer (it has the effect's layer only)\n"},
        {{"--scene", light_layer}, "Displacement Layer: layer 2 is a light, not an image layer (1..1)\n"},
        {{"--scene", nul_key}, "scene: a\\x00b: unknown key\n"},
        {{"--scene", long_key}, "scene: " + std::string(200, 'k') + "... (99800 more bytes): unknown key\n"},
        {{"--scene", nul_image}, "scene: layer.image: a path cannot hold a NUL character: \"a\\x00.png\"\n"},
        {{"--scene", fixed_key}, "Rows (parameter 3) cannot vary in time\n"},
        {{"--set", "Rows=1.5"}, "Rows: \"1.5\" is not a valid value (whole numbers 1..20)\n"},
        {{"--set", "Rows=0x10"}, "Rows: \"0x10\" is not a valid value (whole numbers 1..20)\n"},
        {{"--set", "Tolerance=0x1p3"}, "Tolerance: \"0x1p3\" is not a valid value (0.01..100)\n"},
        {{"--set", "Tolerance=200"}, "Tolerance: \"200\" is not a valid value (0.01..100)\n"},
        {{"--set", "Use for Specular=2"},
         "Use for Specular: \"2\" is not a valid value (1..13 except 2, 8, \"None\", \"RGB (Luma)\", \"Red\", "
         "\"Green\", \"Blue\", \"Alpha\", \"RGB (Luma) Inverted\", \"Red Inverted\", \"Green Inverted\", "
         "\"Blue Inverted\", \"Alpha Inverted\")\n"},
        {{"--set", "--output"}, "--set needs NAME=VALUE, not \"--output\"\n"},
        {{"--scene", deep}, "scene: [0][0][0][0]: nested deeper than a scene goes (4 levels)\n"},
        // The test pattern is bounded as an image file is, before it is made.
        {{"--size", "30000x30000"},
         "the test pattern: 30000 x 30000 pixels need about 20600 MB to render, more than the 1024 MB this process "
         "may have\n",
         1024},
        {{"/dev/zero"}, "/dev/zero is not a regular file, so not a shared library\n", 1024, "info"},
        {{dir}, dir + " is a directory, not a shared library\n", 0, "info"},
        {{"--load", first_a}, first_a + first_version, 0, "grid"},
        {{"--grid", first_b}, first_b + first_version},
        {{"--grid", first_a}, first_a + first_version, 0, "ui"},
        {{"--columns", "2.5", "--rows", "2"}, "--columns takes a whole number from 1 to 20, not \"2.5\"\n", 0, "grid"},
        {{"--columns", "2", "--rows", "abc"}, "--rows takes a whole number from 1 to 20, not \"abc\"\n", 0, "grid"},
        {{"--columns", "99999999999", "--rows", "2"},
         "--columns takes a whole number from 1 to 20, not \"99999999999\"\n", 0, "grid"},
        {{"--size", "640x99999999999"}, "--size is WxH, each from 2 to 30000, not \"640x99999999999\"\n"},
        {{"--bpc", "abc"}, "--bpc is 8, 16 or 32, not abc\n"},
        {{"--click", "99999999999,1"}, "--click is X,Y[,MODS] in whole window pixels, not \"99999999999,1\"\n", 0,
         "ui"},
        {{"--click", "1,2", "--drag", "1.5,2"}, "--drag is X,Y in whole window pixels, not \"1.5,2\"\n", 0, "ui"},
    };
    for (const auto& c : cases) {
        if (c.memory_limit_mb > 0 && !kAddressSpaceCanBeLimited) continue;
        // The effect refuses these once its engine runs, which takes a
        // display: the sanitizer builds run without one.
        if (c.effect_refused && std::getenv("DISPLAY") == nullptr) continue;
        const std::string output = dir + "out.png";
        std::vector<std::string> args = {c.verb};
        if (c.verb != "info") args.push_back(kPlugin);
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (c.verb == "render") args.insert(args.end(), {"--output", output});
        if (c.verb == "grid") args.insert(args.end(), {"--save", output});
        if (c.verb == "ui") args.insert(args.end(), {"--png", output});
        const Measured m = run_measured(args, c.memory_limit_mb);
        std::string what = c.verb;
        for (const std::string& o : c.options) what += " " + o.substr(0, 80);
        EXPECT_EQ(m.status, 1) << what;
        const std::string expected = c.effect_refused ? c.error : "simhost: " + c.error;
        // An engine without a display may have said so first.
        ASSERT_GE(m.err.size(), expected.size()) << what << ": " << m.err;
        EXPECT_EQ(m.err.substr(m.err.size() - expected.size()), expected) << what;
        EXPECT_FALSE(std::ifstream(output).good()) << what;
        EXPECT_LT(m.peak_kb, c.effect_refused ? kEnginePeakLimitKb : kPeakLimitKb) << what;
    }
    std::remove((dir + "out.png").c_str());
}

}  // namespace

// Where the address space runs short under Mesa's software renderer, the
// driver fails its own allocations inside its compiler or rasteriser and
// takes the process down, or waits for a thread it could not make. From a
// limit the engine cannot start in to one a frame fits in, every run ends in
// words or in a frame, never by a signal or a hang.
TEST(HostileInput, AShortAddressSpaceEndsInWordsOrAFrame) {
    if (!kAddressSpaceCanBeLimited) return;
    const std::string output = testing::TempDir() + "short_address_space.png";
    int started = 0, refused_at_start = 0, rendered = 0;
    for (long limit_mb = 300; limit_mb <= 660; limit_mb += 60) {
        SCOPED_TRACE(std::to_string(limit_mb) + " MB");
        const Measured m = run_measured({"render", kPlugin, "--output", output}, limit_mb);
        ASSERT_TRUE(m.status == 0 || m.status == 1) << "ended by a signal or not at all: " << m.err;
        if (m.status == 0) {
            ++rendered;
            continue;
        }
        if (m.err.find("simhost: the effect's engine needs about ") != std::string::npos) ++refused_at_start;
        else ++started;
        EXPECT_NE(m.err.find(" MB this process may have\n"), std::string::npos) << m.err;
    }
    EXPECT_GT(refused_at_start, 0);
    EXPECT_GT(rendered, 0);
    std::remove(output.c_str());
}
