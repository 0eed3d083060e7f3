// 1920 x 1080 four-channel images moving between client memory and the
// graphics card, at 8, 16 and 32 bits per channel, each against its floor in
// the same run:
// - upload through texture_from_accessor (parallel row copy into a pooled
//   unpack buffer, then the texture) against memcpy of the same bytes and
//   against glTexSubImage2D straight from client memory;
// - read-back through read_pixels_to_pbo and map_readback against
//   glReadPixels into client memory;
// - the parallel row copy against the same copy on one thread.
// Every GL benchmark runs its loop on the engine's rendering thread.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/render/render_thread.h"
#include "engine/gpu/row_copy.h"
#include "engine/gpu/texture_object.h"
#include "engine/gpu/texture_formats.h"

namespace {

constexpr uint64_t kWidth = 1920, kHeight = 1080;

using tavrel_bench::render_thread;

class Image : public tavrel::I2dArrayAccessor {
public:
    explicit Image(uint32_t kind)
        : kind_(kind), element_(kind == 0 ? 1 : kind == 1 ? 2 : 4), bytes_(kWidth * kHeight * 4 * element_) {
        for (std::size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = uint8_t(i * 131 >> 3);
    }
    tavrel::ArrayData data() const override {
        uint8_t* p = const_cast<uint8_t*>(bytes_.data());
        if (kind_ == 0) return p;
        if (kind_ == 1) return reinterpret_cast<uint16_t*>(p);
        return reinterpret_cast<float*>(p);
    }
    uint64_t width() const override { return kWidth; }
    uint64_t height() const override { return kHeight; }
    uint64_t row_bytes() const override { return kWidth * 4 * element_; }
    uint32_t pixel_format() const override { return 2; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    uint32_t kind_;
    uint64_t element_;
    std::vector<uint8_t> bytes_;
};

void set_bytes(benchmark::State& state, uint32_t kind) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kWidth * kHeight * 4 * (kind == 0 ? 1 : kind == 1 ? 2 : 4)));
}

// glFinish inside the loop: the upload is only done when the driver has the
// texels, not when the call returns.
void BM_TextureFromAccessor(benchmark::State& state) {
    const uint32_t kind = uint32_t(state.range(0));
    auto image = std::make_shared<Image>(kind);
    render_thread().execute([&](tavrel::GlEngine& engine) {
        for (auto _ : state) {
            auto texture = engine.texture_from_accessor(image, GL_TEXTURE0, 1, 1, false);
            glFinish();
            texture->unbind();
        }
    });
    set_bytes(state, kind);
}

void BM_MemcpyOfTheImage(benchmark::State& state) {
    const uint32_t kind = uint32_t(state.range(0));
    Image image(kind);
    std::vector<uint8_t> destination(image.bytes().size());
    for (auto _ : state) {
        std::memcpy(destination.data(), image.bytes().data(), destination.size());
        benchmark::ClobberMemory();
    }
    set_bytes(state, kind);
}

void BM_TexSubImageFromClientMemory(benchmark::State& state) {
    const uint32_t kind = uint32_t(state.range(0));
    Image image(kind);
    render_thread().execute([&](tavrel::GlEngine&) {
        const tavrel::TextureDescription description{GL_TEXTURE_2D, kind, 2, uint32_t(kWidth), uint32_t(kHeight),
                                                     tavrel::get_external_format(kind, 2),
                                                     tavrel::get_pixel_type(kind), 1, 1};
        tavrel::TextureObject texture(description);
        for (auto _ : state) {
            texture.upload_sub_image(GL_TEXTURE0, 0, 0, GLsizei(kWidth), GLsizei(kHeight), GLint(kWidth),
                                     image.bytes().data(), 1);
            glFinish();
        }
        texture.unbind();
    });
    set_bytes(state, kind);
}

// Read-back of a target the size of the frame, mapped and touched, against
// glReadPixels into a client vector.
void BM_ReadPixelsToPBOAndMap(benchmark::State& state) {
    const uint32_t kind = uint32_t(state.range(0));
    render_thread().execute([&](tavrel::GlEngine& engine) {
        auto target = engine.request_render_target(uint32_t(kWidth), uint32_t(kHeight), 1, kind, true, 0, 1);
        for (auto _ : state) {
            auto pbo = tavrel::read_pixels_to_pbo(engine, *target);
            auto image = tavrel::map_readback(pbo, kWidth, kHeight, kind);
            benchmark::DoNotOptimize(image->data());
        }
    });
    set_bytes(state, kind);
}

void BM_ReadPixelsToClientMemory(benchmark::State& state) {
    const uint32_t kind = uint32_t(state.range(0));
    std::vector<uint8_t> pixels(kWidth * kHeight * 4 * (kind == 0 ? 1 : kind == 1 ? 2 : 4));
    render_thread().execute([&](tavrel::GlEngine& engine) {
        auto target = engine.request_render_target(uint32_t(kWidth), uint32_t(kHeight), 1, kind, true, 0, 1);
        glBindFramebuffer(GL_FRAMEBUFFER, target->gl_name());
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        for (auto _ : state) {
            glReadPixels(0, 0, GLsizei(kWidth), GLsizei(kHeight), tavrel::get_external_format(kind, 2),
                         tavrel::get_pixel_type(kind), pixels.data());
            benchmark::ClobberMemory();
        }
    });
    set_bytes(state, kind);
}

// The row copy alone, client memory to client memory: the engine's arena
// against the calling thread.
void BM_RowCopy(benchmark::State& state) {
    const bool parallel = state.range(0) != 0;
    const uint64_t row = kWidth * 4 * 4;  // float channels: the largest rows
    std::vector<uint8_t> source(row * kHeight, 7), destination(row * kHeight);
    tbb::task_arena arena(tbb::task_arena::automatic);
    const tavrel::CopyKernel<float> kernel{source.data(), row, destination.data(), row, kWidth * 4};
    for (auto _ : state) {
        tavrel::copy_rows(kernel, kHeight, parallel ? &arena : nullptr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(row * kHeight));
    state.SetLabel(parallel ? "parallel, grain 1" : "one thread");
}

BENCHMARK(BM_TextureFromAccessor)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyOfTheImage)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexSubImageFromClientMemory)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPixelsToPBOAndMap)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPixelsToClientMemory)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowCopy)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

// Each path's time over its floor's.
int main(int argc, char** argv) {
    std::vector<tavrel_bench::RatioReporter::Ratio> ratios;
    const char* kinds[] = {"8-bit", "16-bit", "float"};
    for (int kind = 0; kind < 3; ++kind) {
        const std::string k = "/" + std::to_string(kind) + "/real_time";
        ratios.push_back({std::string("upload ") + kinds[kind] + " / memcpy", "BM_TextureFromAccessor" + k,
                          "BM_MemcpyOfTheImage" + k});
        ratios.push_back({std::string("upload ") + kinds[kind] + " / glTexSubImage2D from client memory",
                          "BM_TextureFromAccessor" + k, "BM_TexSubImageFromClientMemory" + k});
        ratios.push_back({std::string("read-back ") + kinds[kind] + " / glReadPixels into client memory",
                          "BM_ReadPixelsToPBOAndMap" + k, "BM_ReadPixelsToClientMemory" + k});
    }
    ratios.push_back(
        {"row copy speed-up, one thread / parallel", "BM_RowCopy/0/real_time", "BM_RowCopy/1/real_time"});
    return tavrel_bench::run_with_ratios(argc, argv, ratios);
}
