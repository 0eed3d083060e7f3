// Pixel buffers, texture upload and read-back on a real context. Each test
// runs in its own process with its own engine, and ends by stopping that
// engine and checking that no GL object is left.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/gpu/buffer_requests.h"
#include "engine/gpu/cube_map_texture_object.h"
#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gl/gl_objects.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_allocation_proxy.h"
#include "engine/gpu/texture_formats.h"
#include "tests/engine/pixel_test_images.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::VectorImage;

// Runs the body on the engine, then takes the engine down: everything the
// body and the pools held must be gone with it.
void run_and_release(const std::function<void(tavrel::GlEngine&)>& body) {
    tavrel_test::run_on_engine(body);
    tavrel_test::stop_shared_render_thread();
    EXPECT_EQ(tavrel::live_gl_objects(), 0) << tavrel::live_gl_objects_text();
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A framebuffer over an existing texture, made and deleted by the test.
class TextureFramebuffer {
public:
    TextureFramebuffer(GLenum target, GLuint texture) : name_(tavrel::gl_gen_framebuffer()) {
        glBindFramebuffer(GL_FRAMEBUFFER, name_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture, 0);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    }
    ~TextureFramebuffer() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        tavrel::gl_delete_framebuffer(name_);
    }
    GLuint name() const { return name_; }

private:
    GLuint name_;
};

template <typename T> struct Kind;
template <> struct Kind<uint8_t> { static constexpr uint32_t value = 0; };
template <> struct Kind<uint16_t> { static constexpr uint32_t value = 1; };
template <> struct Kind<float> { static constexpr uint32_t value = 2; };

// Every channel of every pixel different, in the kind's own range: for
// 16 bits the host's 0 to 32768, both ends included.
template <typename T>
T pattern(uint64_t x, uint64_t y, uint64_t c) {
    const uint64_t n = (y * 1031 + x * 7 + c * 3 + 1);
    if constexpr (sizeof(T) == 1) {
        return T(n * 37 % 256);
    } else if constexpr (std::is_same_v<T, uint16_t>) {
        if (x == 0 && y == 0) return T(c == 0 ? 0 : c == 1 ? 32768 : c == 2 ? 1 : 32767);
        return T(n * 977 % 32769);
    } else {
        return T(double(n) * 0.37 - 100.0);
    }
}

struct RoundTripCase {
    const char* name;
    uint64_t width, height;
    uint64_t extra_row_bytes;  // beyond width x pixel size
};

// Up through texture_from_accessor, across into a pooled render target by a
// blit, back through read_pixels_to_pbo and map_readback: every byte of
// every pixel as it went in, in the host's channel order.
template <typename T>
void round_trip(tavrel::GlEngine& engine, const RoundTripCase& c) {
    SCOPED_TRACE(std::string(c.name) + " kind " + std::to_string(Kind<T>::value));
    const uint64_t pixel_size = 4 * sizeof(T);
    auto image = std::make_shared<VectorImage<T>>(c.width, c.height, c.width * pixel_size + c.extra_row_bytes);
    std::fill(image->bytes().begin(), image->bytes().end(), uint8_t(0xA5));
    for (uint64_t y = 0; y < c.height; ++y)
        for (uint64_t x = 0; x < c.width; ++x)
            for (uint64_t ch = 0; ch < 4; ++ch) image->set(x, y, ch, pattern<T>(x, y, ch));

    std::shared_ptr<tavrel::ITextureObject> texture =
        engine.texture_from_accessor(image, GL_TEXTURE0, 0, 1, false);
    ASSERT_EQ(texture->width(), c.width);
    ASSERT_EQ(texture->height(), c.height);
    ASSERT_EQ(texture->format(), Kind<T>::value);
    texture->unbind();

    std::shared_ptr<tavrel::RenderTarget> target = engine.request_render_target(
        uint32_t(c.width), uint32_t(c.height), 1, Kind<T>::value, false, 0, 1);
    {
        TextureFramebuffer source(GL_TEXTURE_2D, texture->gl_name());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, source.name());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target->gl_name());
        glBlitFramebuffer(0, 0, GLint(c.width), GLint(c.height), 0, 0, GLint(c.width), GLint(c.height),
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    std::shared_ptr<tavrel::PBO> pbo = tavrel::read_pixels_to_pbo(engine, *target);
    std::shared_ptr<tavrel::I2dArrayAccessor> back =
        tavrel::map_readback(pbo, c.width, c.height, Kind<T>::value);
    ASSERT_EQ(back->row_bytes(), c.width * pixel_size);
    ASSERT_EQ(back->pixel_format(), 2u);
    const T* pixels = boost::get<T*>(back->data());
    for (uint64_t y = 0; y < c.height; ++y) {
        const int differs = std::memcmp(pixels + y * c.width * 4,
                                        image->bytes().data() + y * image->row_bytes(), c.width * pixel_size);
        ASSERT_EQ(differs, 0) << "row " << y;
    }
}

const RoundTripCase kRoundTrips[] = {
    {"one pixel", 1, 1, 0},
    {"64 x 32 packed", 64, 32, 0},
    {"odd width", 37, 9, 0},
    {"two pixels of padding", 21, 13, 0},  // extra set per kind below
    {"two bytes over", 33, 7, 2},
    // Rows of 4,100 to 16,400 bytes: 2 bands of the upload buffer at 8 bits,
    // 3 at 16, 5 in float, the last one short.
    {"several bands", 1024, 1100, 4},
};

TEST(PixelTransfer, UploadAndReadBackRoundTripsByteForByte) {
    run_and_release([](tavrel::GlEngine& engine) {
        for (RoundTripCase c : kRoundTrips) {
            const bool padded = std::string(c.name) == "two pixels of padding";
            c.extra_row_bytes = padded ? 2 * 4 * 1 : c.extra_row_bytes;
            round_trip<uint8_t>(engine, c);
            c.extra_row_bytes = padded ? 2 * 4 * 2 : c.extra_row_bytes;
            round_trip<uint16_t>(engine, c);
            c.extra_row_bytes = padded ? 2 * 4 * 4 : c.extra_row_bytes;
            round_trip<float>(engine, c);
        }
    });
}

// 8-bit pixels are read as BGRA, so the texture's red is the host's third
// byte; 16-bit and float ones as RGBA. The internal formats are the table's.
TEST(PixelTransfer, UploadedChannelOrderAndInternalFormat) {
    run_and_release([](tavrel::GlEngine& engine) {
        {
            auto image = std::make_shared<VectorImage<uint8_t>>(2, 1, 8);
            const uint8_t bytes[8] = {10, 20, 30, 40, 50, 60, 70, 80};
            std::memcpy(image->bytes().data(), bytes, 8);
            auto texture = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, false);
            uint8_t rgba[8] = {};
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
            const uint8_t expected[8] = {30, 20, 10, 40, 70, 60, 50, 80};
            EXPECT_EQ(std::memcmp(rgba, expected, 8), 0);
            GLint internal_format = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
            EXPECT_EQ(internal_format, GL_RGBA);
            texture->unbind();
        }
        {
            auto image = std::make_shared<VectorImage<uint16_t>>(1, 1, 8);
            for (uint16_t c = 0; c < 4; ++c) image->set(0, 0, c, uint16_t(c == 1 ? 32768 : c * 1000));
            auto texture = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, false);
            uint16_t rgba[4] = {};
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_SHORT, rgba);
            EXPECT_EQ(rgba[0], 0);
            EXPECT_EQ(rgba[1], 32768);
            EXPECT_EQ(rgba[2], 2000);
            EXPECT_EQ(rgba[3], 3000);
            GLint internal_format = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
            EXPECT_EQ(internal_format, GL_RGBA16);
            texture->unbind();
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// Row bytes of width x pixel size + 2 give a buffer of width + 2 pixels per
// row; the texture with filter 2 is made trilinear but samples linearly after
// the upload; unpack state is given back.
TEST(PixelTransfer, UploadBufferShapeFilterAndUnpackState) {
    run_and_release([](tavrel::GlEngine& engine) {
        const uint64_t width = 37, height = 5;
        auto image = std::make_shared<VectorImage<uint8_t>>(width, height, width * 4 + 2);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
        auto texture = engine.texture_from_accessor(image, GL_TEXTURE2, 2, 2, false);
        const tavrel::PBODescriptor unpack{GL_PIXEL_UNPACK_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY,
                                           (width + 2) * 4 * height};
        EXPECT_TRUE(engine.pbo_pool().holds_key(unpack));
        EXPECT_EQ(engine.pbo_pool().free_count(unpack), 1u) << "the buffer goes back when the upload ends";

        GLint active = 0, bound = 0, min_filter = 0, wrap = 0, row_length = -1, alignment = 0, unpack_buffer = -1;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpack_buffer);
        EXPECT_EQ(active, GL_TEXTURE2);
        EXPECT_EQ(GLuint(bound), texture->gl_name());
        EXPECT_EQ(min_filter, GL_LINEAR);
        EXPECT_EQ(wrap, GL_REPEAT);
        EXPECT_EQ(row_length, 0);
        EXPECT_EQ(alignment, 8);
        EXPECT_EQ(unpack_buffer, 0);
        texture->unbind();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

        const tavrel::TextureDescription description{GL_TEXTURE_2D, 0, 2, 8, 8, GL_BGRA, GL_UNSIGNED_BYTE, 2, 0};
        tavrel::TextureObject trilinear(description);
        trilinear.bind(GL_TEXTURE0);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        EXPECT_EQ(wrap, GL_CLAMP_TO_BORDER);
        trilinear.unbind();
    });
}

// An image larger than one band goes up through a buffer of whole rows
// that hold at most 4 MiB, never through one of the whole image.
TEST(PixelTransfer, LargeUploadUsesOneBandSizedBuffer) {
    run_and_release([](tavrel::GlEngine& engine) {
        const uint64_t width = 1024, height = 1100, row_bytes = width * 4 + 4;
        auto image = std::make_shared<VectorImage<uint8_t>>(width, height, row_bytes);
        auto texture = engine.texture_from_accessor(image, GL_TEXTURE0, 0, 1, false);
        texture->unbind();
        const uint64_t band_rows = (uint64_t(4) << 20) / row_bytes;
        ASSERT_EQ(band_rows, 1023u);
        const tavrel::PBODescriptor band{GL_PIXEL_UNPACK_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY, band_rows * row_bytes};
        const tavrel::PBODescriptor whole{GL_PIXEL_UNPACK_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY, height * row_bytes};
        EXPECT_EQ(engine.pbo_pool().free_count(band), 1u);
        EXPECT_FALSE(engine.pbo_pool().holds_key(whole));
    });
}

// Refused input: a clear error, and nothing made or left mapped.
TEST(PixelTransfer, RefusedUploadsLeaveNothingBehind) {
    run_and_release([](tavrel::GlEngine& engine) {
        const int64_t before = tavrel::live_gl_objects();
        auto short_rows = std::make_shared<VectorImage<uint16_t>>(10, 4, 10 * 8 - 1);
        EXPECT_THROW(engine.texture_from_accessor(short_rows, GL_TEXTURE0, 1, 1, false),
                     tavrel::GlEngineError);
        auto bad_layout = std::make_shared<VectorImage<uint8_t>>(4, 4, 16, 3);
        EXPECT_THROW(engine.texture_from_accessor(bad_layout, GL_TEXTURE0, 1, 1, false),
                     tavrel::GlEngineError);
        auto good = std::make_shared<VectorImage<uint8_t>>(4, 4, 16);
        try {
            engine.texture_from_accessor(good, GL_TEXTURE0, 1, 3, false);
            ADD_FAILURE() << "wrap mode 3 accepted";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_TRUE(ends_with(e.what(), "): Unknown wrap mode: 3")) << e.what();
        }
        tavrel::TextureDescription description{GL_TEXTURE_2D, 0, 2, 4, 4, GL_BGRA, GL_UNSIGNED_BYTE, 1, 3};
        try {
            tavrel::TextureObject texture(description);
            ADD_FAILURE() << "wrap mode 3 accepted";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_TRUE(ends_with(e.what(), "): Unknown wrap mode: 3")) << e.what();
        }
        description.wrap_mode = 1;
        description.format_kind = 3;
        EXPECT_THROW(tavrel::TextureObject{description}, tavrel::GlEngineError);
        EXPECT_EQ(tavrel::live_gl_objects(), before);
        EXPECT_EQ(engine.pbo_pool().key_count(), 0u);
        EXPECT_EQ(engine.texture_pool().key_count(), 0u);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(PixelBuffer, AccessorsOfEachKindAndTheRefusedOne) {
    run_and_release([](tavrel::GlEngine& engine) {
        std::shared_ptr<tavrel::PBO> pbo = tavrel::request_vertex_buffer(engine, 10, 12);
        EXPECT_EQ(pbo->target(), GLenum(GL_ARRAY_BUFFER));
        EXPECT_EQ(pbo->usage(), GLenum(GL_STREAM_DRAW));
        EXPECT_EQ(pbo->access(), GLenum(GL_WRITE_ONLY));
        EXPECT_EQ(pbo->size(), 120u);
        for (uint32_t kind : {0u, 1u, 2u}) {
            std::shared_ptr<tavrel::I1dArrayAccessor> elements = pbo->make_accessor(kind);
            EXPECT_EQ(int(elements->data().which()), int(kind));
            EXPECT_EQ(elements->size(), 120u);
            EXPECT_TRUE(pbo->is_mapped());
            // A second mapping of a mapped buffer is the driver's refusal.
            try {
                pbo->make_accessor(kind);
                ADD_FAILURE() << "mapped twice";
            } catch (const tavrel::PBOOutOfMemoryException& e) {
                EXPECT_STREQ(e.what(), "glMapBuffer() returned GL_OUT_OF_MEMORY");
            }
            elements.reset();
            EXPECT_FALSE(pbo->is_mapped());
        }
        try {
            pbo->make_accessor(3);
            ADD_FAILURE() << "kind 3 accepted";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_STREQ(e.what(), "Unsupported PBO format");
        }
        EXPECT_FALSE(pbo->is_mapped());
        EXPECT_NE(pbo->make_accessor(0), nullptr) << "still mappable afterwards";

        std::shared_ptr<tavrel::PBO> indices = tavrel::request_index_buffer(engine, 25);
        EXPECT_EQ(indices->target(), GLenum(GL_ELEMENT_ARRAY_BUFFER));
        EXPECT_EQ(indices->usage(), GLenum(GL_STREAM_DRAW));
        EXPECT_EQ(indices->access(), GLenum(GL_WRITE_ONLY));
        EXPECT_EQ(indices->size(), 100u);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// A 16-bit 100 x 50 target: a pack buffer of 40,000 bytes, rows of 800
// bytes, four channels; the second read-back of that shape reuses the buffer
// the first gave back.
TEST(Readback, SizesFormatAndReuseOfThePooledBuffer) {
    run_and_release([](tavrel::GlEngine& engine) {
        std::shared_ptr<tavrel::RenderTarget> target = engine.request_render_target(100, 50, 1, 1, true, 0, 1);
        GLuint first_name = 0;
        const tavrel::PBODescriptor expected{GL_PIXEL_PACK_BUFFER, GL_STREAM_READ, GL_READ_ONLY, 40000};
        {
            std::shared_ptr<tavrel::PBO> pbo = tavrel::read_pixels_to_pbo(engine, *target);
            EXPECT_EQ(pbo->size(), 40000u);
            EXPECT_EQ(pbo->target(), GLenum(GL_PIXEL_PACK_BUFFER));
            EXPECT_EQ(pbo->usage(), GLenum(GL_STREAM_READ));
            EXPECT_EQ(pbo->access(), GLenum(GL_READ_ONLY));
            first_name = pbo->gl_name();
            std::shared_ptr<tavrel::I2dArrayAccessor> image = tavrel::map_readback(pbo, 100, 50, 1);
            EXPECT_EQ(image->width(), 100u);
            EXPECT_EQ(image->height(), 50u);
            EXPECT_EQ(image->row_bytes(), 800u);
            EXPECT_EQ(image->pixel_format(), 2u);
            EXPECT_EQ(image->data().which(), 1);
            pbo.reset();
            // The image keeps its buffer: not back in the pool while mapped.
            EXPECT_EQ(engine.pbo_pool().free_count(expected), 0u);
            GLint pack_buffer = -1;
            glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack_buffer);
            EXPECT_EQ(pack_buffer, 0);
        }
        EXPECT_EQ(engine.pbo_pool().free_count(expected), 1u);
        std::shared_ptr<tavrel::PBO> second = tavrel::read_pixels_to_pbo(engine, *target);
        EXPECT_EQ(second->gl_name(), first_name);
        EXPECT_EQ(engine.pbo_pool().free_count(expected), 0u);
        // A buffer too small for the image asked of it is refused.
        EXPECT_THROW(tavrel::map_readback(second, 100, 51, 1), tavrel::GlEngineError);
        EXPECT_FALSE(second->is_mapped());
        // An unknown kind is the mapping's refusal, before any pixel size.
        try {
            tavrel::map_readback(second, 100, 50, 3);
            ADD_FAILURE() << "kind 3 accepted";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_STREQ(e.what(), "Unsupported PBO format");
        }
        EXPECT_FALSE(second->is_mapped());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// Each face holds the square of the cross that starts at its origin: the
// cross's pixels carry their own coordinates, so a face read back tells
// where it came from.
TEST(CubeMap, FacesCutFromTheCross) {
    struct Case {
        uint32_t width, height, face;
        uint64_t extra_row_bytes;
    };
    const Case cases[] = {{400, 300, 100, 0}, {400, 240, 80, 0}, {400, 300, 100, 2 * 16}};
    run_and_release([&](tavrel::GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " + " +
                         std::to_string(c.extra_row_bytes));
            EXPECT_EQ(tavrel::cube_face_size(c.width, c.height), c.face);
            auto cross = std::make_shared<VectorImage<float>>(c.width, c.height, c.width * 16 + c.extra_row_bytes);
            for (uint32_t y = 0; y < c.height; ++y)
                for (uint32_t x = 0; x < c.width; ++x) {
                    cross->set(x, y, 0, float(x));
                    cross->set(x, y, 1, float(y));
                    cross->set(x, y, 2, 0.5f);
                    cross->set(x, y, 3, 1.0f);
                }
            auto texture = engine.texture_from_accessor(cross, GL_TEXTURE2, 1, 1, true);
            EXPECT_EQ(texture->width(), c.face);
            EXPECT_EQ(texture->height(), c.face);
            struct Face {
                GLenum face;
                uint32_t x, y;
            };
            const Face faces[] = {
                {GL_TEXTURE_CUBE_MAP_POSITIVE_X, c.width / 2, c.height / 3},
                {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 0, c.height / 3},
                {GL_TEXTURE_CUBE_MAP_POSITIVE_Y, c.width / 4, 0},
                {GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, c.width / 4, 2 * c.height / 3},
                {GL_TEXTURE_CUBE_MAP_POSITIVE_Z, c.width / 4, c.height / 3},
                {GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, 3 * c.width / 4, c.height / 3},
            };
            std::vector<float> texels(size_t(c.face) * c.face * 4);
            for (const Face& f : faces) {
                GLint size = 0;
                glGetTexLevelParameteriv(f.face, 0, GL_TEXTURE_WIDTH, &size);
                EXPECT_EQ(uint32_t(size), c.face);
                glGetTexImage(f.face, 0, GL_RGBA, GL_FLOAT, texels.data());
                int wrong = 0;
                for (uint32_t j = 0; j < c.face; ++j)
                    for (uint32_t i = 0; i < c.face; ++i) {
                        const float* t = &texels[(size_t(j) * c.face + i) * 4];
                        if (t[0] != float(f.x + i) || t[1] != float(f.y + j) || t[2] != 0.5f || t[3] != 1.0f) ++wrong;
                    }
                EXPECT_EQ(wrong, 0) << "face 0x" << std::hex << f.face;
            }
            GLint seamless = 0;
            glGetIntegerv(GL_TEXTURE_CUBE_MAP_SEAMLESS, &seamless);
            EXPECT_EQ(seamless, GL_TRUE);
            texture->unbind();
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// Textures of one description come back from the pool; the cube map and
// the 2-D texture of the same image are different keys.
TEST(TexturePool, ReusesTheTextureOfTheSameDescription) {
    run_and_release([](tavrel::GlEngine& engine) {
        auto image = std::make_shared<VectorImage<uint8_t>>(40, 30, 160);
        GLuint first = 0;
        {
            auto texture = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, false);
            first = texture->gl_name();
            texture->unbind();
        }
        auto again = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, false);
        EXPECT_EQ(again->gl_name(), first);
        auto cube = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, true);
        EXPECT_NE(cube->gl_name(), first);
        EXPECT_NE(dynamic_cast<tavrel::TextureAllocationProxy*>(cube.get()), nullptr);
        EXPECT_EQ(engine.texture_pool().key_count(), 2u);
        cube->unbind();
        again->unbind();
    });
}

}  // namespace
