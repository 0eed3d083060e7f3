// A checked-out parameter array built in a test: one zeroed record per index
// of the first effect, set through the value field the frame set-up reads.
#pragma once

#include <cstddef>
#include <vector>

#include "hostapi/host_effect.h"

namespace tavrel_test {

class ParamTable {
public:
    ParamTable() : defs_(276), pointers_(276) { point_at_own(); }
    ParamTable(const ParamTable& other) : defs_(other.defs_), pointers_(276) { point_at_own(); }
    ParamTable& operator=(const ParamTable&) = delete;
    PF_ParamDef** params() { return pointers_.data(); }

    void fixed(int i, double v) { defs_[i].u.fd.value = static_cast<PF_Fixed>(v * 65536.0); }
    void angle(int i, double degrees) { defs_[i].u.ad.value = static_cast<PF_Fixed>(degrees * 65536.0); }
    void real(int i, double v) { defs_[i].u.fs_d.value = v; }
    void slider(int i, int v) { defs_[i].u.sd.value = v; }
    void popup(int i, int v) { defs_[i].u.pd.value = v; }
    void checkbox(int i, bool on) { defs_[i].u.bd.value = on ? 1 : 0; }
    void color(int i, unsigned char r, unsigned char g, unsigned char b) { defs_[i].u.cd.value = {255, r, g, b}; }
    // Nothing reads a layer's pixels here, only whether it has any.
    void layer(int i, bool with_pixels) { defs_[i].u.ld.data = with_pixels ? this : nullptr; }

private:
    void point_at_own() {
        for (std::size_t i = 0; i < defs_.size(); ++i) pointers_[i] = &defs_[i];
    }
    std::vector<PF_ParamDef> defs_;
    std::vector<PF_ParamDef*> pointers_;
};

}  // namespace tavrel_test
