// Helpers for declaring effect parameters to the host at parameter set-up.
#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"

// Ends the enclosing set-up function with the host's code at the first
// declaration the host refuses.
#define TAVREL_DECLARE(expr)                                       \
    do {                                                           \
        if (const PF_Err tavrel_err_ = (expr)) return tavrel_err_; \
    } while (0)

namespace tavrel {

// v in the host's 16.16 fixed point, rounded half away from zero and held
// to the 32-bit range; NaN gives 0.
constexpr PF_Fixed float_to_fixed(double v) {
    const double scaled = v * 65536.0 + (v < 0 ? -0.5 : 0.5);
    if (!(scaled == scaled)) return 0;
    if (scaled >= 2147483647.0) return INT32_MAX;
    if (scaled <= -2147483648.0) return INT32_MIN;
    return PF_Fixed(scaled);
}

// Whole numbers and decimals in the host's 16.16 fixed point.
constexpr PF_Fixed to_fixed(double v) { return float_to_fixed(v); }

// Declares one fixed-point slider; every value is 16.16. Throws
// PFErrException when the host refuses the declaration.
void add_fixed_slider(PF_InData* in_data, const char* name, int32_t ui_flags, int32_t flags,
                      PF_Fixed value, PF_Fixed dephault, PF_Fixed valid_min, PF_Fixed valid_max,
                      PF_Fixed slider_min, PF_Fixed slider_max, int16_t precision,
                      int16_t display_flags, int32_t disk_id);

// Copies a parameter name with the host's string copy. The host's field holds
// 31 characters and the NUL; a longer name would overrun it, so it is refused
// with std::length_error before anything is written.
void copy_param_name(const PF_InData* in_data, PF_ParamDef& def, const char* name);

// Settings of a float slider. `value` is the initial value the host starts
// from; it is a double while the range and default are floats.
struct FloatSliderSettings {
    float valid_min, valid_max;
    float slider_min, slider_max;
    double dephault;
    int16_t precision;
    bool percent;
};

// One definition record reused across the declarations of a group, as the
// host only reads the declared type's fields. Every declare_* call returns the
// host's code and leaves stopping to the caller.
class ParamDeclarer {
public:
    explicit ParamDeclarer(PF_InData* in_data);
    // The second parameter table stores disk ids from 1255 up one higher than
    // the first; the shared group set-ups name the first table's ids.
    ParamDeclarer(PF_InData* in_data, int32_t disk_id_shift) : ParamDeclarer(in_data) {
        disk_id_shift_ = disk_id_shift;
    }
    int32_t disk_id(int32_t id) const { return id >= kShiftedDiskIdsFrom ? id + disk_id_shift_ : id; }
    static constexpr int32_t kShiftedDiskIdsFrom = 1255;

    PF_ParamDef& def() { return def_; }

    // Clears the whole record and fills its header.
    PF_ParamDef& start(int32_t type, const char* name, int32_t flags, int32_t disk_id);
    // Refills the header without clearing: the previous declaration's fields
    // that the new type does not set stay in the record.
    PF_ParamDef& restart(int32_t type, const char* name, int32_t flags, int32_t disk_id);
    // Hands the record to the host, appended after the last parameter.
    PF_Err add();

    PF_Err group_start(const char* name, int32_t flags, int32_t disk_id);
    PF_Err group_end(int32_t disk_id);
    // A group end declared on the previous record, keeping its flags and name.
    PF_Err group_end_in_place(int32_t disk_id);
    PF_Err float_slider(const char* name, int32_t flags, int32_t disk_id,
                        const FloatSliderSettings& s);
    PF_Err slider(const char* name, int32_t flags, int32_t disk_id, int32_t valid_min,
                  int32_t valid_max, int32_t slider_min, int32_t slider_max, int32_t dephault);
    PF_Err angle(const char* name, int32_t flags, int32_t disk_id, double degrees);
    // An angle declared on the previous record without clearing it.
    PF_Err angle_in_place(const char* name, int32_t flags, int32_t disk_id, double degrees);
    PF_Err checkbox(const char* name, int32_t flags, int32_t disk_id, int32_t dephault,
                    const char* label);
    PF_Err color(const char* name, int32_t flags, int32_t disk_id, PF_Pixel dephault);
    PF_Err popup(const char* name, int32_t flags, int32_t disk_id, int16_t num_choices,
                 int16_t dephault, const char* names);
    PF_Err layer(const char* name, int32_t flags, int32_t disk_id);

private:
    int32_t disk_id_shift_ = 0;
    void fill_header(int32_t type, const char* name, int32_t flags, int32_t disk_id);

    PF_InData* in_data_;
    PF_ParamDef def_;
};

// Builds an opaque colour from 8-bit channels.
constexpr PF_Pixel rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return PF_Pixel{a, r, g, b}; }

}  // namespace tavrel
