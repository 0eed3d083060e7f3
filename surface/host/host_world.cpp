#include "surface/host/host_world.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace tavrel {

SuiteHolder<AEGP_WorldSuite3> acquire_world_suite(const SPBasicSuite* basic) {
    return SuiteHolder<AEGP_WorldSuite3>(basic, kAEGPWorldSuite, kAEGPWorldSuiteVersion3);
}

namespace {

struct DataPointer : boost::static_visitor<void*> {
    template <class T>
    void* operator()(T* p) const {
        return p;
    }
};

int32_t narrow(uint64_t v, const char* what) {
    if (v > uint64_t(std::numeric_limits<int32_t>::max()))
        throw std::out_of_range(std::string("world record: ") + what + " too large");
    return int32_t(v);
}

}  // namespace

void make_world_record(PF_EffectWorld& out, const I2dArrayAccessor& accessor) {
    PF_EffectWorld w{};
    w.rowbytes = narrow(accessor.row_bytes(), "row bytes");
    w.width = narrow(accessor.width(), "width");
    w.height = narrow(accessor.height(), "height");
    w.data = boost::apply_visitor(DataPointer(), accessor.data());
    out = w;
}

void transform_world(const PF_InData* in_data, PF_EffectWorld* source, PF_EffectWorld* destination,
                     bool high_quality, const PF_Rect* source_rect, const PF_Rect* destination_rect) {
    HostSuites suites(in_data);
    const PF_WorldTransformSuite1& s = suites.world_transform_suite();
    check_pf_err((high_quality ? s.copy_hq : s.copy)(in_data->effect_ref, source, destination, source_rect,
                                                      destination_rect));
}

OutputWindow output_window(const PF_LRect& frame, const PF_EffectWorld& output) {
    OutputWindow w;
    // In 64 bits: an origin near the limits plus a width must not wrap.
    const int64_t left = std::max<int64_t>(frame.left, output.origin_x);
    const int64_t top = std::max<int64_t>(frame.top, output.origin_y);
    const int64_t right = std::min<int64_t>(frame.right, int64_t(output.origin_x) + output.width);
    const int64_t bottom = std::min<int64_t>(frame.bottom, int64_t(output.origin_y) + output.height);
    if (right <= left || bottom <= top) return w;
    w.empty = false;
    w.covers = left == output.origin_x && top == output.origin_y && right == int64_t(output.origin_x) + output.width &&
               bottom == int64_t(output.origin_y) + output.height;
    w.source = PF_Rect{int32_t(left - frame.left), int32_t(top - frame.top), int32_t(right - frame.left),
                       int32_t(bottom - frame.top)};
    w.destination = PF_Rect{int32_t(left - output.origin_x), int32_t(top - output.origin_y),
                            int32_t(right - output.origin_x), int32_t(bottom - output.origin_y)};
    return w;
}

void fill_matte(const PF_InData* in_data, PF_EffectWorld* world) {
    HostSuites suites(in_data);
    const PF_Pixel transparent{0, 0, 0, 0};
    check_pf_err(suites.fill_matte_suite().fill(in_data->effect_ref, &transparent, nullptr, world));
}

void set_effect_status_text(const PF_InData* in_data, const char* line1, const char* line2) {
    HostSuites suites(in_data);
    check_pf_err(suites.adv_app_suite().PF_InfoDrawText(line1, line2));
}

}  // namespace tavrel
