// The grid's flattened form, the one format this system persists. The host
// keeps it in project files and on the clipboard, so its bytes never change:
//
//   "KZTQ", u16 version 1, u16 reserved 0, u32 point count N, u32 columns,
//   u32 rows, N point records, "KZTQ"
//   point record: u8 flag (any handle selected), 5 handle records
//   handle record: u8 active, u8 selected, f32 x, f32 y, f32 z
//
// Little-endian and packed: 24 + 71 * N bytes.
#pragma once

#include <cstdint>

#include "surface/grid/arb_param_reader.h"
#include "surface/grid/control_point_grid.h"

// One writer or reader per flatten, unflatten or size query; owns nothing.
class CLXPersist : public tavrel::IARBParamReader {
public:
    static constexpr int32_t kHeaderSize = 8;
    static constexpr int32_t kHandleRecordSize = 14;
    static constexpr int32_t kPointRecordSize = 1 + 5 * kHandleRecordSize;  // 71
    // Header, three counts and the trailer.
    static constexpr int32_t kFrameSize = kHeaderSize + 3 * 4 + 4;  // 24

    // 515 for a null buffer or when one is already attached; else 0.
    int set_buffer(void* buffer, int32_t capacity);
    // 515 for a null grid or when one is already attached; else 0.
    int set_grid(tavrel::ControlPointGrid* grid);

    // The form's size for the attached grid; -1 without a grid, or for a
    // grid whose size does not fit the slots.
    int32_t flat_size() const;

    // 0, or 515 (nothing attached), 512 (grid of an impossible size) or 516
    // (buffer too small; nothing written).
    int write();

    // 0, or 515 (nothing attached) or 512 (bad header or trailer). Throws
    // std::runtime_error "Invalid parameter file." for counts that do not
    // describe a grid or do not fit the buffer, and for a coordinate that is
    // not a finite number. The attached grid changes
    // only when the whole form, trailer included, is sound.
    int read();

    tavrel::ControlHandle& read_vertex(tavrel::ControlHandle& out) override;
    bool read_bool() override;
    uint32_t read_uint() override;
    float read_float() override;
    bool fits_buffer(int32_t point_count) const override;

    static int64_t form_size(int64_t point_count) { return kFrameSize + kPointRecordSize * point_count; }

private:
    // The element writers and readers do no bound checks: the size checks of
    // write() and read() guard them.
    void write_bytes(const void* p, int32_t n);
    void write_u8(uint8_t v) { write_bytes(&v, 1); }
    void write_u16(uint16_t v);
    void write_u32(uint32_t v);
    void write_f32(float v);
    void read_bytes(void* p, int32_t n);
    uint8_t read_u8();
    uint16_t read_u16();

    unsigned char* buffer_ = nullptr;
    int32_t capacity_ = 0;
    tavrel::ControlPointGrid* grid_ = nullptr;
    unsigned char* cursor_ = nullptr;
    int32_t consumed_ = 0;
};
