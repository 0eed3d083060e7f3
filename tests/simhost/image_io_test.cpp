#include <gtest/gtest.h>

#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "simhost/host_files.h"
#include "simhost/image_io.h"
#include "simhost/simhost_error.h"

namespace {

using simhost::OwnedWorld;

std::string temp_path(const std::string& name) {
    return testing::TempDir() + "image_io_" + std::to_string(::getpid()) + "_" + name;
}

// A 3 x 2 image whose every channel differs, with the extremes and a
// translucent pixel, at the world's own depth.
void fill_small(OwnedWorld& image, int bpc) {
    const double top = bpc == 16 ? 32768.0 : 255.0;
    int n = 0;
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c, ++n) {
                double v = bpc == 32 ? 0.1 + n * 0.037 : std::fmod(n * (bpc == 16 ? 1409.0 : 37.0) + 3, top + 1) / top;
                if (n == 0) v = 0.0;
                if (n == 1) v = 1.0;
                if (bpc == 32 && n == 2) v = 2.5;  // float carries values above white
                image.set_channel(x, y, c, v);
            }
}

TEST(ImageIo, PngRoundTripsExactly) {
    for (int bpc : {8, 16}) {
        OwnedWorld image(3, 2, bpc);
        fill_small(image, bpc);
        // Where the image lies on its layer travels as the file's offset.
        image.world().origin_x = -20 - bpc;
        image.world().origin_y = 7;
        const std::string path = temp_path("rt" + std::to_string(bpc) + ".png");
        simhost::write_png(path, image);
        const auto back = simhost::read_png(path, bpc);
        ASSERT_EQ(back->world().width, 3);
        ASSERT_EQ(back->world().height, 2);
        EXPECT_EQ(back->world().origin_x, -20 - bpc);
        EXPECT_EQ(back->world().origin_y, 7);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 3; ++x)
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(back->channel(x, y, c), image.channel(x, y, c))
                        << bpc << " bits " << x << "," << y << " c" << c;
        std::remove(path.c_str());
    }
}

// The header's depth and colour type, and every 16-bit host value 0..32768
// (in steps of 128) spread to 0..65535 in the file.
TEST(ImageIo, SixteenBitPngSpansTheFileRange) {
    OwnedWorld image(257, 1, 16);
    for (int32_t x = 0; x < 257; ++x) {
        for (int c = 1; c < 4; ++c) image.set_channel(x, 0, c, (x * 128) / 32768.0);
        image.set_channel(x, 0, 0, 1.0);  // opaque, so no reader unpremultiplies
    }
    const std::string path = temp_path("range.png");
    simhost::write_png(path, image);
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[24], 16);  // bit depth
    EXPECT_EQ(bytes[25], 6);   // RGBA
    // Decoded by libpng's own reader: opaque samples come back as stored.
    png_image decoded{};
    decoded.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&decoded, path.c_str()), 0) << decoded.message;
    decoded.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    std::vector<uint16_t> samples(257 * 4);
    ASSERT_NE(png_image_finish_read(&decoded, nullptr, samples.data(), 0, nullptr), 0) << decoded.message;
    for (int32_t x = 0; x < 257; ++x)
        EXPECT_EQ(samples[size_t(x) * 4], uint16_t(std::lround(x * 128 * 65535.0 / 32768.0))) << x;
    const auto back = simhost::read_png(path, 16);
    for (int32_t x = 0; x < 257; ++x) EXPECT_EQ(back->channel(x, 0, 1), image.channel(x, 0, 1)) << x;
    // Read into 8 bits, 32768 is full white.
    EXPECT_EQ(simhost::read_png(path, 8)->channel(256, 0, 1), 1.0);
    std::remove(path.c_str());
}

TEST(ImageIo, ExrHoldsTheFloatsInRgbaChannels) {
    OwnedWorld image(3, 2, 32);
    fill_small(image, 32);
    const std::string path = temp_path("rt.exr");
    simhost::write_exr(path, image);
    Imf::InputFile in(path.c_str());
    const Imath::Box2i window = in.header().dataWindow();
    ASSERT_EQ(window.max.x - window.min.x + 1, 3);
    ASSERT_EQ(window.max.y - window.min.y + 1, 2);
    std::vector<float> rgba(3 * 2 * 4);
    Imf::FrameBuffer frame;
    const char* names[4] = {"R", "G", "B", "A"};
    for (int i = 0; i < 4; ++i)
        frame.insert(names[i], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(rgba.data() + i), 4 * sizeof(float),
                                          3 * 4 * sizeof(float)));
    in.setFrameBuffer(frame);
    in.readPixels(window.min.y, window.max.y);
    const int host_channel[4] = {1, 2, 3, 0};
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x)
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(rgba[size_t((y * 3 + x) * 4 + i)], float(image.channel(x, y, host_channel[i])))
                    << x << "," << y << " " << names[i];
    std::remove(path.c_str());
}

TEST(ImageIo, DepthsAndFilesRefused) {
    OwnedWorld deep(2, 2, 32), shallow(2, 2, 8);
    const std::string png = temp_path("bad.png");
    EXPECT_THROW(simhost::write_png(png, deep), simhost::SimhostError);
    EXPECT_THROW(simhost::write_exr(temp_path("bad.exr"), shallow), simhost::SimhostError);
    EXPECT_THROW(simhost::write_png("/nonexistent/dir/x.png", shallow), simhost::SimhostError);
    {
        std::ofstream f(png, std::ios::binary);
        f << "\x89PNG\r\n\x1a\n truncated";
    }
    try {
        simhost::read_png(png, 8);
        ADD_FAILURE() << "a truncated PNG was read";
    } catch (const simhost::SimhostError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(png + ": cannot be read", 0), 0u) << e.what();
    }
    {
        std::ofstream f(png, std::ios::binary);
        f << "GIF89a....";
    }
    try {
        simhost::read_png(png, 8);
        ADD_FAILURE();
    } catch (const simhost::SimhostError& e) {
        EXPECT_EQ(std::string(e.what()), png + ": not a PNG file");
    }
    std::remove(png.c_str());
}

TEST(ImageIo, TestPatternIsOpaqueAndAsymmetric) {
    for (int bpc : {8, 16, 32}) {
        const auto p = simhost::test_pattern(64, 36, bpc);
        const auto& w = p->world();
        ASSERT_EQ(w.width, 64);
        ASSERT_EQ(w.height, 36);
        bool h_mirror = true, v_mirror = true, half_turn = true;
        for (int32_t y = 0; y < 36; ++y)
            for (int32_t x = 0; x < 64; ++x) {
                ASSERT_EQ(p->channel(x, y, 0), 1.0) << x << "," << y;
                for (int c = 1; c < 4; ++c) {
                    const double v = p->channel(x, y, c);
                    h_mirror = h_mirror && v == p->channel(63 - x, y, c);
                    v_mirror = v_mirror && v == p->channel(x, 35 - y, c);
                    half_turn = half_turn && v == p->channel(63 - x, 35 - y, c);
                }
            }
        EXPECT_FALSE(h_mirror) << bpc;
        EXPECT_FALSE(v_mirror) << bpc;
        EXPECT_FALSE(half_turn) << bpc;
    }
    EXPECT_EQ(simhost::test_pattern()->world().width, 640);
    EXPECT_EQ(simhost::test_pattern()->world().height, 360);
}

// The pattern's values in closed form at chosen pixels of a 160 x 90 one:
// the ramp, the lighter quarter, the shaded odd squares of 40 pixels and the
// dark bar (5 rows, 53 columns).
TEST(ImageIo, TestPatternCheckerAndMarkInClosedForm) {
    const auto p = simhost::test_pattern(160, 90, 32);
    struct Case {
        int32_t x, y;
        bool light, shaded, bar;
    };
    const Case cases[] = {
        {10, 10, true, false, false}, {45, 10, true, true, false},  {39, 39, true, false, false},
        {40, 40, true, false, false},  {85, 10, false, false, false}, {100, 50, false, true, false},
        {120, 50, false, false, false}, {52, 4, true, false, true},   {53, 4, true, true, false},
        {52, 5, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        double r = 0.2 + 0.6 * c.x / 159.0, g = 0.2 + 0.6 * c.y / 89.0, b = 0.5;
        if (c.light) r += 0.15, g += 0.15, b += 0.15;
        if (c.shaded) r *= 0.55, g *= 0.55, b *= 0.55;
        if (c.bar) r = g = b = 0.05;
        EXPECT_EQ(p->channel(c.x, c.y, 0), 1.0);
        EXPECT_NEAR(p->channel(c.x, c.y, 1), r, 1e-6);
        EXPECT_NEAR(p->channel(c.x, c.y, 2), g, 1e-6);
        EXPECT_NEAR(p->channel(c.x, c.y, 3), b, 1e-6);
    }
}

// A signal that ends the process while a file is written (here raised by
// the writer itself, half way through) ends it as the signal does, and
// takes the temporary file with it: the folder holds what it held before.
TEST(HostFiles, ASignalThatEndsAWriteLeavesTheTargetAsItWas) {
    for (const int signal : {SIGTERM, SIGINT}) {
        for (const bool had_file : {false, true}) {
            SCOPED_TRACE(std::to_string(signal) + (had_file ? " over a file" : " to a new file"));
            const std::string dir = temp_path("signal/");
            ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
            const std::string target = dir + "x.kztq";
            if (had_file) std::ofstream(target) << "the user's old file";
            const pid_t pid = fork();
            if (pid == 0) {
                simhost::write_whole_file(target, [&](std::FILE* f) {
                    std::fputs("half a file", f);
                    std::fflush(f);
                    std::raise(signal);
                });
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
            std::string names;
            for (const auto& e : std::filesystem::directory_iterator(dir)) names += e.path().filename().string() + " ";
            EXPECT_EQ(names, had_file ? "x.kztq " : "");
            if (had_file) {
                std::ifstream in(target);
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's old file");
            }
            ASSERT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
        }
    }
}

}  // namespace
