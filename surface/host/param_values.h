// Values of checked-out effect parameters, in the units the host keeps them:
// 16.16 fixed point for fixed sliders and angles, doubles for float sliders,
// 1-based choices for popups.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "hostapi/host_effect.h"

namespace tavrel {

// A vector's three sliders follow one another: y and z sit at these offsets
// from x.
enum AxisOffset : int32_t { kAxisY = 1, kAxisZ = 2 };

// The checked-out parameter; std::invalid_argument naming the index when it
// is missing, which is a fault of the caller's checkout.
inline const PF_ParamDef& param_at(PF_ParamDef* const params[], int index) {
    if (params == nullptr || params[index] == nullptr) {
        throw std::invalid_argument("parameter " + std::to_string(index) + " is not checked out");
    }
    return *params[index];
}

inline double fixed_param(PF_ParamDef* const params[], int index) {
    return param_at(params, index).u.fd.value / 65536.0;
}
inline double angle_param(PF_ParamDef* const params[], int index) {
    return param_at(params, index).u.ad.value / 65536.0;
}
inline double float_param(PF_ParamDef* const params[], int index) { return param_at(params, index).u.fs_d.value; }
inline int32_t slider_param(PF_ParamDef* const params[], int index) { return param_at(params, index).u.sd.value; }
inline int32_t popup_param(PF_ParamDef* const params[], int index) { return param_at(params, index).u.pd.value; }
inline bool checkbox_param(PF_ParamDef* const params[], int index) { return param_at(params, index).u.bd.value != 0; }
inline const PF_Pixel& color_param(PF_ParamDef* const params[], int index) {
    return param_at(params, index).u.cd.value;
}
// A layer parameter whose checked-out world has pixels.
inline bool layer_has_pixels(PF_ParamDef* const params[], int index) {
    return param_at(params, index).u.ld.data != nullptr;
}

}  // namespace tavrel
