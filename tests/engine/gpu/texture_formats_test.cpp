// The format tables, the upload layout and the parallel row copy: no GL
// context needed (the GL enumerants are plain numbers here).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/gpu/row_copy.h"
#include "engine/gpu/texture_formats.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The error's full text: located in the table's own source file.
std::string error_text(const std::function<void()>& call) {
    try {
        call();
    } catch (const tavrel::GlEngineError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(TextureFormats, InternalFormatPerKindAndLayout) {
    struct Row {
        uint32_t kind, layout;
        GLenum expected;
    };
    const Row rows[] = {
        {0, 2, GL_RGBA},      {1, 2, GL_RGBA16},      {2, 2, GL_RGBA32F},
        {0, 1, GL_RGB},       {1, 1, GL_RGB16},       {2, 1, GL_RGB32F},
        {0, 0, GL_LUMINANCE}, {1, 0, GL_LUMINANCE16}, {2, 0, GL_LUMINANCE32F_ARB},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(tavrel::get_texture_internal_format_for_bpc(row.kind, row.layout), row.expected)
            << "kind " << row.kind << " layout " << row.layout;
    }
}

TEST(TextureFormats, ExternalFormatAndPixelType) {
    struct Row {
        uint32_t kind, layout;
        GLenum external, pixel_type;
    };
    // 8-bit host pixels are read as BGRA, deeper ones as RGBA.
    const Row rows[] = {
        {0, 2, GL_BGRA, GL_UNSIGNED_BYTE},  {1, 2, GL_RGBA, GL_UNSIGNED_SHORT},
        {2, 2, GL_RGBA, GL_FLOAT},          {0, 1, GL_RGB, GL_UNSIGNED_BYTE},
        {1, 1, GL_RGB, GL_UNSIGNED_SHORT},  {2, 1, GL_RGB, GL_FLOAT},
        {0, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE}, {1, 0, GL_LUMINANCE, GL_UNSIGNED_SHORT},
        {2, 0, GL_LUMINANCE, GL_FLOAT},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(tavrel::get_external_format(row.kind, row.layout), row.external)
            << "kind " << row.kind << " layout " << row.layout;
        EXPECT_EQ(tavrel::get_pixel_type(row.kind), row.pixel_type) << "kind " << row.kind;
    }
}

TEST(TextureFormats, RefusedKindsAndLayouts) {
    const std::function<void()> calls[] = {
        [] { tavrel::get_texture_internal_format_for_bpc(3, 2); },
        [] { tavrel::get_texture_internal_format_for_bpc(0, 3); },
        [] { tavrel::get_texture_internal_format_for_bpc(0xFFFFFFFFu, 0); },
        [] { tavrel::get_external_format(0, 3); },
        [] { tavrel::get_external_format(3, 2); },
        [] { tavrel::get_pixel_type(3); },
        [] { tavrel::channels_of_layout(3); },
        [] { tavrel::bytes_per_channel(3); },
    };
    for (const auto& call : calls) {
        const std::string text = error_text(call);
        EXPECT_EQ(text.rfind("Gl error (engine/gpu/texture_formats.cpp:", 0), 0u) << text;
        EXPECT_TRUE(ends_with(text, "): Unsupported bit per channel.")) << text;
    }
}

TEST(TextureFormats, WrapModes) {
    EXPECT_EQ(tavrel::gl_wrap_mode(0), GLenum(GL_CLAMP_TO_BORDER));
    EXPECT_EQ(tavrel::gl_wrap_mode(1), GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(tavrel::gl_wrap_mode(2), GLenum(GL_REPEAT));
    for (uint32_t wrap : {3u, 7u, 4294967295u}) {
        const std::string text = error_text([wrap] { tavrel::gl_wrap_mode(wrap); });
        EXPECT_TRUE(ends_with(text, "): Unknown wrap mode: " + std::to_string(wrap))) << text;
    }
}

TEST(TextureFormats, PixelDepthClassOfEachAlternative) {
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    float f = 0;
    EXPECT_EQ(tavrel::pixel_depth_class(tavrel::ArrayData(&u8)), 0u);
    EXPECT_EQ(tavrel::pixel_depth_class(tavrel::ArrayData(&u16)), 1u);
    EXPECT_EQ(tavrel::pixel_depth_class(tavrel::ArrayData(&f)), 2u);
}

TEST(UploadLayout, RowLengthAndBufferSize) {
    struct Row {
        const char* name;
        uint64_t width, height, row_bytes;
        uint32_t layout;
        uint64_t element_size;
        uint64_t pixel_size, row_length, buffer_size;
    };
    const Row rows[] = {
        {"packed 8-bit", 64, 32, 256, 2, 1, 4, 64, 64 * 4 * 32},
        {"two pixels of padding", 37, 5, 39 * 16, 2, 4, 16, 39, 39 * 16 * 5},
        // The remainder of 2 bytes counts as 2 pixels, so width + 2.
        {"two bytes over", 37, 5, 37 * 4 + 2, 2, 1, 4, 39, 39 * 4 * 5},
        {"16-bit, 3 bytes over", 10, 2, 83, 2, 2, 8, 13, 13 * 8 * 2},
        {"RGB, odd row", 5, 3, 16, 1, 1, 3, 6, 6 * 3 * 3},
        {"one channel float", 7, 7, 28, 0, 4, 4, 7, 7 * 4 * 7},
        {"empty", 0, 0, 0, 2, 1, 4, 0, 0},
    };
    for (const Row& row : rows) {
        const tavrel::UploadLayout layout =
            tavrel::upload_layout(row.width, row.height, row.row_bytes, row.layout, row.element_size);
        EXPECT_EQ(layout.pixel_size, row.pixel_size) << row.name;
        EXPECT_EQ(layout.row_length, row.row_length) << row.name;
        EXPECT_EQ(layout.buffer_size, row.buffer_size) << row.name;
    }
}

TEST(UploadLayout, RowBytesMustCoverTheWidth) {
    struct Row {
        uint64_t width, row_bytes;
        uint32_t layout;
        uint64_t element_size;
    };
    const Row rows[] = {{10, 39, 2, 1}, {10, 79, 2, 2}, {1, 15, 2, 4}, {5, 14, 1, 1}, {3, 0, 0, 1}};
    for (const Row& row : rows) {
        EXPECT_THROW(tavrel::upload_layout(row.width, 4, row.row_bytes, row.layout, row.element_size),
                     tavrel::GlEngineError)
            << row.width << " pixels in " << row.row_bytes << " bytes";
    }
    EXPECT_THROW(tavrel::upload_layout(uint64_t(1) << 31, 1, uint64_t(1) << 33, 2, 1),
                 tavrel::GlEngineError);
    EXPECT_THROW(tavrel::upload_layout(4, 4, 16, 3, 1), tavrel::GlEngineError);
}

// Rows land at the destination stride, the bytes between rows stay as
// they were, and the parallel copy gives exactly the serial one.
TEST(RowCopy, ParallelCopyMatchesTheRowsAndLeavesThePaddingAlone) {
    const uint64_t rows = 97, width = 33, channels = 4;
    const uint64_t source_stride = width * channels * 2 + 6;  // u16 elements plus 6 odd bytes
    const uint64_t destination_stride = (width + 3) * channels * 2;
    std::vector<uint8_t> source(source_stride * rows);
    std::iota(source.begin(), source.end(), uint8_t(1));

    tbb::task_arena arena(4);
    for (tbb::task_arena* where : {static_cast<tbb::task_arena*>(nullptr), &arena}) {
        std::vector<uint8_t> destination(destination_stride * rows, 0xEE);
        const tavrel::CopyKernel<uint16_t> kernel{source.data(), source_stride, destination.data(),
                                                  destination_stride, width * channels};
        tavrel::copy_rows(kernel, rows, where);
        for (uint64_t row = 0; row < rows; ++row) {
            for (uint64_t byte = 0; byte < destination_stride; ++byte) {
                const uint8_t expected = byte < width * channels * 2
                                             ? source[row * source_stride + byte]
                                             : uint8_t(0xEE);
                ASSERT_EQ(destination[row * destination_stride + byte], expected)
                    << (where ? "parallel" : "serial") << " row " << row << " byte " << byte;
            }
        }
    }
}

}  // namespace
