// A checked-out parameter array as the host hands it to a render, built in
// the test: one record per index of the first effect, each of the type the
// frame set-up reads there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostapi/host_effect.h"

namespace tavrel_test {

class ParamTable {
public:
    explicit ParamTable(int count = 276) : defs_(count), pointers_(count) { point_at_own(); }
    // A copy points at its own records.
    ParamTable(const ParamTable& other) : defs_(other.defs_), pointers_(other.pointers_.size()) { point_at_own(); }
    ParamTable& operator=(const ParamTable&) = delete;
    PF_ParamDef** params() { return pointers_.data(); }
    PF_ParamDef& operator[](int i) { return defs_[i]; }

    void fixed(int i, double v) { defs_[i].u.fd.value = static_cast<int32_t>(v * 65536.0); }
    void angle(int i, double degrees) { defs_[i].u.ad.value = static_cast<int32_t>(degrees * 65536.0); }
    void real(int i, double v) { defs_[i].u.fs_d.value = v; }
    void slider(int i, int32_t v) { defs_[i].u.sd.value = v; }
    void popup(int i, int32_t v) { defs_[i].u.pd.value = v; }
    void checkbox(int i, bool on) { defs_[i].u.bd.value = on ? 1 : 0; }
    void color(int i, uint8_t r, uint8_t g, uint8_t b) { defs_[i].u.cd.value = PF_Pixel{255, r, g, b}; }
    // A layer with pixels points at this table's own storage: nothing reads them.
    void layer(int i, bool with_pixels) { defs_[i].u.ld.data = with_pixels ? static_cast<void*>(this) : nullptr; }

private:
    void point_at_own() {
        for (std::size_t i = 0; i < defs_.size(); ++i) pointers_[i] = &defs_[i];
    }

    std::vector<PF_ParamDef> defs_;
    std::vector<PF_ParamDef*> pointers_;
};

}  // namespace tavrel_test
