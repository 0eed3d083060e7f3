#include "surface/grid/lx_persist.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "hostapi/host_effect.h"

namespace {

const unsigned char kSignature[4] = {'K', 'Z', 'T', 'Q'};
constexpr uint16_t kVersion = 1;

bool size_fits_slots(int columns, int rows) {
    return columns >= 1 && columns <= tavrel::ControlPointGrid::kMaxCells && rows >= 1 &&
           rows <= tavrel::ControlPointGrid::kMaxCells;
}

}  // namespace

int CLXPersist::set_buffer(void* buffer, int32_t capacity) {
    if (buffer == nullptr || buffer_ != nullptr) return PF_Err_INVALID_CALLBACK;
    buffer_ = static_cast<unsigned char*>(buffer);
    capacity_ = capacity;
    cursor_ = buffer_;
    consumed_ = 0;
    return PF_Err_NONE;
}

int CLXPersist::set_grid(tavrel::ControlPointGrid* grid) {
    if (grid == nullptr || grid_ != nullptr) return PF_Err_INVALID_CALLBACK;
    grid_ = grid;
    return PF_Err_NONE;
}

int32_t CLXPersist::flat_size() const {
    if (grid_ == nullptr || !size_fits_slots(grid_->columns(), grid_->rows())) return -1;
    return static_cast<int32_t>(form_size(grid_->point_count()));
}

int CLXPersist::write() {
    if (grid_ == nullptr || buffer_ == nullptr) return PF_Err_INVALID_CALLBACK;
    const int32_t size = flat_size();
    if (size < 1) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    if (size > capacity_) return PF_Err_BAD_CALLBACK_PARAM;

    write_bytes(kSignature, 4);
    write_u16(kVersion);
    write_u16(0);
    const int n = grid_->point_count();
    write_u32(static_cast<uint32_t>(n));
    write_u32(static_cast<uint32_t>(grid_->columns()));
    write_u32(static_cast<uint32_t>(grid_->rows()));
    for (int i = 0; i < n; ++i) {
        const LX_Cp& p = grid_->point(i);
        // The stored handles, whatever the lock: a locked point's scratch
        // handle is an edit in progress, not the point.
        write_u8(p.any_selected() ? 1 : 0);
        for (int k = 0; k < LX_Cp::kHandles; ++k) {
            const tavrel::ControlHandle& h = p.handle(k);
            write_u8(h.active);
            write_u8(h.selected);
            write_f32(h.x);
            write_f32(h.y);
            write_f32(h.z);
        }
    }
    write_bytes(kSignature, 4);
    return PF_Err_NONE;
}

int CLXPersist::read() {
    if (grid_ == nullptr || buffer_ == nullptr) return PF_Err_INVALID_CALLBACK;
    // Nothing is read from a buffer that cannot hold the header.
    if (capacity_ < kHeaderSize || cursor_ != buffer_ || consumed_ != 0)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    unsigned char signature[4];
    read_bytes(signature, 4);
    const int16_t version = static_cast<int16_t>(read_u16());
    if (std::memcmp(signature, kSignature, 4) != 0 || version != kVersion)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    read_u16();  // reserved
    if (capacity_ < kFrameSize) throw std::runtime_error("Invalid parameter file.");

    // Read aside: a form that turns out corrupt at its end leaves the grid.
    const tavrel::ControlPointGrid parsed = tavrel::ControlPointGrid::read(*this);

    read_bytes(signature, 4);
    if (std::memcmp(signature, kSignature, 4) != 0 || consumed_ > capacity_ ||
        cursor_ != buffer_ + consumed_)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    *grid_ = parsed;
    return PF_Err_NONE;
}

bool CLXPersist::fits_buffer(int32_t point_count) const {
    // In 64 bits: a count near 2^31 must not wrap into a small size.
    return point_count >= 0 && form_size(point_count) <= static_cast<int64_t>(capacity_);
}

tavrel::ControlHandle& CLXPersist::read_vertex(tavrel::ControlHandle& out) {
    out.active = read_bool() ? 1 : 0;
    out.selected = read_bool() ? 1 : 0;
    out.x = read_float();
    out.y = read_float();
    out.z = read_float();
    return out;
}

bool CLXPersist::read_bool() { return read_u8() != 0; }

uint32_t CLXPersist::read_uint() {
    unsigned char b[4];
    read_bytes(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

float CLXPersist::read_float() {
    const uint32_t bits = read_uint();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    // A NaN or infinite coordinate would render nothing and spread through
    // every slider that shows the grid: the form is refused as corrupt.
    if (!std::isfinite(f)) throw std::runtime_error("Invalid parameter file.");
    return f;
}

void CLXPersist::write_bytes(const void* p, int32_t n) {
    std::memcpy(cursor_, p, static_cast<size_t>(n));
    cursor_ += n;
    consumed_ += n;
}

void CLXPersist::write_u16(uint16_t v) {
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    write_bytes(b, 2);
}

void CLXPersist::write_u32(uint32_t v) {
    const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    write_bytes(b, 4);
}

void CLXPersist::write_f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    write_u32(bits);
}

void CLXPersist::read_bytes(void* p, int32_t n) {
    std::memcpy(p, cursor_, static_cast<size_t>(n));
    cursor_ += n;
    consumed_ += n;
}

uint8_t CLXPersist::read_u8() {
    uint8_t v;
    read_bytes(&v, 1);
    return v;
}

uint16_t CLXPersist::read_u16() {
    unsigned char b[2];
    read_bytes(b, 2);
    return uint16_t(b[0] | b[1] << 8);
}
