#include "simhost/worlds.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

#include "simhost/host.h"

namespace simhost {
namespace {

constexpr PF_Err kBadParam = PF_Err_BAD_CALLBACK_PARAM;

std::atomic<std::int64_t> g_pixel_nanoseconds{0};

// Adds the time of one piece of pixel work to the process's total.
class PixelWorkTimer {
public:
    PixelWorkTimer() = default;
    ~PixelWorkTimer() {
        g_pixel_nanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - start_)
                                   .count();
    }
    PixelWorkTimer(const PixelWorkTimer&) = delete;
    PixelWorkTimer& operator=(const PixelWorkTimer&) = delete;

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

uint32_t flags_for(int bpc) {
    if (bpc == 16) return PF_WorldFlag_DEEP;
    return bpc == 32 ? uint32_t(PF_WorldFlag_FLOAT) : 0u;
}

int bpc_of_type(AEGP_WorldType type) {
    switch (type) {
        case AEGP_WorldType_8: return 8;
        case AEGP_WorldType_16: return 16;
        case AEGP_WorldType_32: return 32;
        default: return 0;
    }
}

uint8_t* pixel_at(const PF_EffectWorld& w, int bpc, int32_t x, int32_t y) {
    return static_cast<uint8_t*>(w.data) + size_t(y) * size_t(w.rowbytes) + size_t(x) * size_t(bytes_per_pixel(bpc));
}

bool valid(const PF_EffectWorld* w) { return w != nullptr && w->data != nullptr && w->width > 0 && w->height > 0; }

PF_Rect whole(const PF_EffectWorld& w) { return PF_Rect{0, 0, w.width, w.height}; }

bool inside(const PF_Rect& r, const PF_EffectWorld& w) {
    return r.left >= 0 && r.top >= 0 && r.right <= w.width && r.bottom <= w.height && r.left < r.right &&
           r.top < r.bottom;
}

// The copy applies no scaling: the source rectangle's pixels land one to one
// from the destination rectangle's corner, over the part both rectangles
// share; the rest of the destination keeps what it held. The source is read
// at the destination's depth, since a source record handed in by an effect
// carries no depth of its own.
PF_Err copy_world(const char* name, bool hq, PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* src_rect,
                  const PF_Rect* dst_rect) {
    Host& host = Host::current();
    if (PF_Err e = host.suites().fault(name)) return e;
    if (!valid(src) || !valid(dst)) return kBadParam;
    const PixelWorkTimer timer;
    const int bpc = world_bpc(*dst);
    const PF_Rect s = src_rect ? *src_rect : whole(*src);
    const PF_Rect d = dst_rect ? *dst_rect : whole(*dst);
    if (!inside(s, *src) || !inside(d, *dst)) return kBadParam;
    if (src->rowbytes < src->width * bytes_per_pixel(bpc)) return kBadParam;
    const int32_t w = std::min(s.right - s.left, d.right - d.left);
    const int32_t h = std::min(s.bottom - s.top, d.bottom - d.top);
    for (int32_t y = 0; y < h; ++y)
        std::memmove(pixel_at(*dst, bpc, d.left, d.top + y), pixel_at(*src, bpc, s.left, s.top + y),
                    size_t(w) * size_t(bytes_per_pixel(bpc)));
    host.worlds().copies.push_back({hq, bpc, src->width, src->height, dst->width, dst->height});
    return 0;
}

PF_Err transform_copy(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* src_rect,
                      const PF_Rect* dst_rect) {
    return copy_world("copy", false, src, dst, src_rect, dst_rect);
}

PF_Err transform_copy_hq(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* src_rect,
                         const PF_Rect* dst_rect) {
    return copy_world("copy_hq", true, src, dst, src_rect, dst_rect);
}

PF_Err fill_matte(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
    Host& host = Host::current();
    if (PF_Err e = host.suites().fault("fill")) return e;
    if (!valid(world)) return kBadParam;
    const PixelWorkTimer timer;
    const PF_Rect r = rect ? *rect : whole(*world);
    if (!inside(r, *world)) return kBadParam;
    const int bpc = world_bpc(*world);
    const PF_Pixel c = color ? *color : PF_Pixel{0, 0, 0, 0};
    const double v[4] = {c.alpha / 255.0, c.red / 255.0, c.green / 255.0, c.blue / 255.0};
    // The first pixel is converted once, then copied along the first row
    // and the first row down the others.
    for (int ch = 0; ch < 4; ++ch) write_channel(*world, bpc, r.left, r.top, ch, v[ch]);
    const size_t pixel = size_t(bytes_per_pixel(bpc));
    uint8_t* first = pixel_at(*world, bpc, r.left, r.top);
    for (int32_t x = r.left + 1; x < r.right; ++x) std::memcpy(first + size_t(x - r.left) * pixel, first, pixel);
    const size_t row = size_t(r.right - r.left) * pixel;
    for (int32_t y = r.top + 1; y < r.bottom; ++y) std::memcpy(pixel_at(*world, bpc, r.left, y), first, row);
    host.worlds().fills.push_back(bpc);
    return 0;
}

AEGP_WorldH as_handle(uintptr_t id) { return reinterpret_cast<AEGP_WorldH>(id); }

A_Err aegp_new(AEGP_PluginID, AEGP_WorldType type, A_long width, A_long height, AEGP_WorldH* world) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_New")) return e;
    if (world == nullptr || bpc_of_type(type) == 0 || width <= 0 || height <= 0) return kBadParam;
    *world = host.worlds().make(type, width, height);
    return 0;
}

A_Err aegp_dispose(AEGP_WorldH world) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_Dispose")) return e;
    return host.worlds().dispose(world) ? 0 : kBadParam;
}

A_Err aegp_get_type(AEGP_WorldH world, AEGP_WorldType* type) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetType")) return e;
    OwnedWorld* w = host.worlds().find(world);
    if (w == nullptr || type == nullptr) return kBadParam;
    *type = w->bpc() == 8 ? AEGP_WorldType_8 : w->bpc() == 16 ? AEGP_WorldType_16 : AEGP_WorldType_32;
    return 0;
}

A_Err aegp_get_size(AEGP_WorldH world, A_long* width, A_long* height) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetSize")) return e;
    OwnedWorld* w = host.worlds().find(world);
    if (w == nullptr || width == nullptr || height == nullptr) return kBadParam;
    *width = w->world().width;
    *height = w->world().height;
    return 0;
}

A_Err aegp_get_row_bytes(AEGP_WorldH world, A_u_long* row_bytes) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetRowBytes")) return e;
    OwnedWorld* w = host.worlds().find(world);
    if (w == nullptr || row_bytes == nullptr) return kBadParam;
    *row_bytes = A_u_long(w->world().rowbytes);
    return 0;
}

template <class Pixel>
A_Err base_addr(const char* name, int bpc, AEGP_WorldH world, Pixel** base) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault(name)) return e;
    OwnedWorld* w = host.worlds().find(world);
    if (w == nullptr || base == nullptr || w->bpc() != bpc) return kBadParam;
    *base = static_cast<Pixel*>(w->world().data);
    return 0;
}

A_Err aegp_base8(AEGP_WorldH world, PF_Pixel8** base) { return base_addr("AEGP_GetBaseAddr8", 8, world, base); }
A_Err aegp_base16(AEGP_WorldH world, PF_Pixel16** base) { return base_addr("AEGP_GetBaseAddr16", 16, world, base); }
A_Err aegp_base32(AEGP_WorldH world, PF_PixelFloat** base) {
    return base_addr("AEGP_GetBaseAddr32", 32, world, base);
}

A_Err aegp_fill_out(AEGP_WorldH world, PF_EffectWorld* effect_world) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_FillOutPFEffectWorld")) return e;
    OwnedWorld* w = host.worlds().find(world);
    if (w == nullptr || effect_world == nullptr) return kBadParam;
    *effect_world = w->world();
    return 0;
}

// A separable box blur, horizontal then vertical, over 2r + 1 pixels with
// the edge pixels repeated; r is the radius rounded to whole pixels.
A_Err aegp_fast_blur(double radius, PF_MFModeFlags, PF_Quality, PF_EffectWorld* world) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_FastBlur")) return e;
    if (!valid(world) || !(radius >= 0.0)) return kBadParam;
    host.worlds().blur_radii.push_back(radius);
    const int r = int(std::lround(radius));
    if (r == 0) return 0;
    const int bpc = world_bpc(*world);
    const int32_t w = world->width, h = world->height;
    std::vector<double> line;
    auto pass = [&](bool horizontal) {
        const int32_t n = horizontal ? w : h, lines = horizontal ? h : w;
        line.resize(size_t(n) * 4);
        for (int32_t l = 0; l < lines; ++l) {
            for (int32_t i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    line[size_t(i) * 4 + size_t(c)] =
                        horizontal ? read_channel(*world, bpc, i, l, c) : read_channel(*world, bpc, l, i, c);
            for (int32_t i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c) {
                    double sum = 0.0;
                    for (int k = -r; k <= r; ++k) sum += line[size_t(std::clamp(i + k, 0, n - 1)) * 4 + size_t(c)];
                    const double v = sum / double(2 * r + 1);
                    if (horizontal)
                        write_channel(*world, bpc, i, l, c, v);
                    else
                        write_channel(*world, bpc, l, i, c, v);
                }
        }
    };
    pass(true);
    pass(false);
    return 0;
}

const PF_WorldTransformSuite1 kWorldTransformSuite{transform_copy, transform_copy_hq};
const PF_FillMatteSuite2 kFillMatteSuite{fill_matte};
const AEGP_WorldSuite3 kWorldSuite{aegp_new,      aegp_dispose, aegp_get_type,  aegp_get_size,
                                   aegp_get_row_bytes, aegp_base8, aegp_base16, aegp_base32,
                                   aegp_fill_out, aegp_fast_blur};

}  // namespace

int world_bpc(const PF_EffectWorld& world) {
    if (world.world_flags & PF_WorldFlag_FLOAT) return 32;
    if (world.world_flags & PF_WorldFlag_DEEP) return 16;
    return 8;
}

int bytes_per_pixel(int bpc) { return bpc == 32 ? 16 : bpc == 16 ? 8 : 4; }

double read_channel(const PF_EffectWorld& world, int bpc, int32_t x, int32_t y, int c) {
    const uint8_t* p = pixel_at(world, bpc, x, y);
    switch (bpc) {
        case 16: return reinterpret_cast<const uint16_t*>(p)[c] / 32768.0;
        case 32: return reinterpret_cast<const float*>(p)[c];
        default: return p[c] / 255.0;
    }
}

void write_channel(PF_EffectWorld& world, int bpc, int32_t x, int32_t y, int c, double v) {
    uint8_t* p = pixel_at(world, bpc, x, y);
    switch (bpc) {
        case 16:
            reinterpret_cast<uint16_t*>(p)[c] = uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 32768.0));
            break;
        case 32: reinterpret_cast<float*>(p)[c] = float(v); break;
        default: p[c] = uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    }
}

OwnedWorld::OwnedWorld(int32_t width, int32_t height, int bpc) : bpc_(bpc) {
    const int32_t row_bytes = width * bytes_per_pixel(bpc) + 16;
    pixels_ = std::make_shared<std::vector<uint8_t>>(size_t(row_bytes) * size_t(height), 0);
    world_.data = pixels_->data();
    world_.rowbytes = row_bytes;
    world_.width = width;
    world_.height = height;
    world_.world_flags = flags_for(bpc);
}

std::unique_ptr<OwnedWorld> OwnedWorld::share() const {
    std::unique_ptr<OwnedWorld> shared(new OwnedWorld);
    shared->pixels_ = pixels_;
    shared->world_ = world_;
    shared->bpc_ = bpc_;
    return shared;
}

double OwnedWorld::channel(int32_t x, int32_t y, int c) const { return read_channel(world_, bpc_, x, y, c); }

void OwnedWorld::set_channel(int32_t x, int32_t y, int c, double v) { write_channel(world_, bpc_, x, y, c, v); }

double host_pixel_seconds() { return double(g_pixel_nanoseconds.load()) * 1e-9; }

void paint_downsampled(const OwnedWorld& image, OwnedWorld& target, PF_RationalScale ds_x, PF_RationalScale ds_y) {
    const PixelWorkTimer timer;
    // A layer pixel at downsampled x covers image pixels from x * den / num.
    auto source = [](int64_t at, PF_RationalScale s) {
        return s.num > 0 && s.den > 0 ? at * int64_t(s.den) / int64_t(s.num) : at;
    };
    const PF_EffectWorld& t = target.world();
    const int32_t iw = image.world().width, ih = image.world().height;
    // Of one depth the pixels are copied as they are; the run of a row that
    // maps one to one (no horizontal downsampling) is copied whole.
    const bool same_depth = image.bpc() == target.bpc();
    const bool whole_runs = same_depth && (ds_x.num <= 0 || ds_x.den <= 0 || int64_t(ds_x.num) == int64_t(ds_x.den));
    const size_t pixel = size_t(bytes_per_pixel(target.bpc()));
    PF_EffectWorld& out = target.world();
    // 16-bit images (how layer images are read) into 8-bit worlds: each of
    // the 65,536 values converted once, as the channel rule converts it.
    const std::array<uint8_t, 65536>* deep_to_8 = nullptr;
    if (image.bpc() == 16 && target.bpc() == 8) {
        static const std::array<uint8_t, 65536> table = [] {
            std::array<uint8_t, 65536> t{};
            OwnedWorld one(1, 1, 8);
            for (uint32_t v = 0; v < 65536; ++v) {
                one.set_channel(0, 0, 0, v / 32768.0);
                t[v] = static_cast<const uint8_t*>(one.world().data)[0];
            }
            return t;
        }();
        deep_to_8 = &table;
    }
    for (int32_t y = 0; y < t.height; ++y) {
        const int64_t ly = int64_t(t.origin_y) + y;
        if (ly < 0) continue;
        const int64_t sy = source(ly, ds_y);
        if (sy >= ih) break;
        if (whole_runs) {
            const int32_t first = int32_t(std::clamp<int64_t>(-int64_t(t.origin_x), 0, t.width));
            const int64_t last = std::min<int64_t>(t.width, int64_t(iw) - int64_t(t.origin_x));
            if (last > first)
                std::memcpy(pixel_at(out, target.bpc(), first, y),
                            pixel_at(image.world(), image.bpc(), int32_t(t.origin_x + first), int32_t(sy)),
                            size_t(last - first) * pixel);
            continue;
        }
        for (int32_t x = 0; x < t.width; ++x) {
            const int64_t lx = int64_t(t.origin_x) + x;
            if (lx < 0) continue;
            const int64_t sx = source(lx, ds_x);
            if (sx >= iw) break;
            if (same_depth) {
                std::memcpy(pixel_at(out, target.bpc(), x, y),
                            pixel_at(image.world(), image.bpc(), int32_t(sx), int32_t(sy)), pixel);
                continue;
            }
            if (deep_to_8) {
                const auto* in = reinterpret_cast<const uint16_t*>(
                    pixel_at(image.world(), image.bpc(), int32_t(sx), int32_t(sy)));
                uint8_t* o = pixel_at(out, 8, x, y);
                for (int c = 0; c < 4; ++c) o[c] = (*deep_to_8)[in[c]];
                continue;
            }
            for (int c = 0; c < 4; ++c) target.set_channel(x, y, c, image.channel(int32_t(sx), int32_t(sy), c));
        }
    }
}

void Worlds::add_suites(SuiteRegistry& registry) {
    registry.add(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &kWorldTransformSuite);
    registry.add(kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &kFillMatteSuite);
    registry.add(kAEGPWorldSuite, kAEGPWorldSuiteVersion3, &kWorldSuite);
}

// A world of another depth is no error: the answer is a null pointer, which
// is how an effect learns the depth.
PF_Err Worlds::get_pixel_data8(PF_EffectWorld* world, void*, PF_Pixel8** pixels) {
    if (PF_Err e = Host::current().suites().fault("get_pixel_data8")) return e;
    if (world == nullptr || pixels == nullptr) return kBadParam;
    *pixels = world_bpc(*world) == 8 ? static_cast<PF_Pixel8*>(world->data) : nullptr;
    return 0;
}

PF_Err Worlds::get_pixel_data16(PF_EffectWorld* world, void*, PF_Pixel16** pixels) {
    if (PF_Err e = Host::current().suites().fault("get_pixel_data16")) return e;
    if (world == nullptr || pixels == nullptr) return kBadParam;
    *pixels = world_bpc(*world) == 16 ? static_cast<PF_Pixel16*>(world->data) : nullptr;
    return 0;
}

AEGP_WorldH Worlds::make(AEGP_WorldType type, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = ++serial_;
    aegp_.emplace_back(id, std::make_unique<OwnedWorld>(width, height, bpc_of_type(type)));
    return as_handle(id);
}

OwnedWorld* Worlds::find(AEGP_WorldH world) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& w : aegp_)
        if (as_handle(w.first) == world) return w.second.get();
    return nullptr;
}

bool Worlds::dispose(AEGP_WorldH world) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(aegp_.begin(), aegp_.end(), [&](const auto& w) { return as_handle(w.first) == world; });
    if (it == aegp_.end()) return false;
    aegp_.erase(it);
    return true;
}

std::vector<std::string> Worlds::undisposed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& w : aegp_) {
        const OwnedWorld& o = *w.second;
        out.push_back("AEGP world #" + std::to_string(w.first) + " (" + std::to_string(o.world().width) +
                      " x " + std::to_string(o.world().height) + ", " +
                      std::to_string(o.bpc()) + " bpc) not disposed");
    }
    return out;
}

size_t Worlds::made() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return serial_;
}

}  // namespace simhost
