// Pixel worlds as the host keeps them: effect worlds at 8, 16 and 32 bits per
// channel with their depth flags, the pixel-data callbacks, the world
// transform copies, the fill matte, and the AEGP worlds with a box blur.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/host_world_suites.h"
#include "simhost/suite_registry.h"

namespace simhost {

// 8, 16 or 32 from a world's flags.
int world_bpc(const PF_EffectWorld& world);
int bytes_per_pixel(int bpc);

// A host-made effect world that owns its pixels (zeroed). Rows are padded by
// 16 bytes so that code assuming width x pixel size shows up.
class OwnedWorld {
public:
    OwnedWorld(int32_t width, int32_t height, int bpc);
    // A second world over the same pixels, which live as long as either:
    // what a host hands out twice for one layer at one time, without a copy.
    std::unique_ptr<OwnedWorld> share() const;
    PF_EffectWorld& world() { return world_; }
    const PF_EffectWorld& world() const { return world_; }
    int bpc() const { return bpc_; }
    // Channel c (0 alpha .. 3 blue) of pixel (x, y), scaled to 0..1.
    double channel(int32_t x, int32_t y, int c) const;
    void set_channel(int32_t x, int32_t y, int c, double v);

private:
    OwnedWorld() = default;

    std::shared_ptr<std::vector<uint8_t>> pixels_;
    PF_EffectWorld world_{};
    int bpc_ = 8;
};

// Channel access of any world by its own depth.
double read_channel(const PF_EffectWorld& world, int bpc, int32_t x, int32_t y, int c);
void write_channel(PF_EffectWorld& world, int bpc, int32_t x, int32_t y, int c, double v);

// Paints `target` from `image` as a layer of the image's size is seen at
// the downsample factors: target pixel (x, y) lies at (origin_x + x,
// origin_y + y) of the downsampled layer and takes the image pixel there
// (nearest); outside the image it stays as it is. Depths may differ.
void paint_downsampled(const OwnedWorld& image, OwnedWorld& target, PF_RationalScale ds_x, PF_RationalScale ds_y);

// Seconds the process has spent in the host's own pixel work (world copies,
// matte fills, painting layer images), on any thread: what a benchmark of
// the effect takes out of a frame's time as the host's share.
double host_pixel_seconds();

struct CopyRecord {
    bool high_quality;
    int bpc;  // taken from the destination
    int32_t src_width, src_height, dst_width, dst_height;
};

class Worlds {
public:
    static void add_suites(SuiteRegistry& registry);
    static PF_Err get_pixel_data8(PF_EffectWorld* world, void* reserved, PF_Pixel8** pixels);
    static PF_Err get_pixel_data16(PF_EffectWorld* world, void* reserved, PF_Pixel16** pixels);

    // AEGP worlds.
    AEGP_WorldH make(AEGP_WorldType type, int32_t width, int32_t height);
    OwnedWorld* find(AEGP_WorldH world);
    bool dispose(AEGP_WorldH world);
    // "AEGP world #N (W x H, type T) not disposed" for each one alive.
    std::vector<std::string> undisposed() const;
    size_t made() const;

    // Records, in call order.
    std::vector<double> blur_radii;
    std::vector<CopyRecord> copies;
    std::vector<int> fills;  // the bpc of each filled world

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<uintptr_t, std::unique_ptr<OwnedWorld>>> aegp_;
    uintptr_t serial_ = 0;
};

}  // namespace simhost
