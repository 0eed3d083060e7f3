#include "surface/host/ae_pixel_accessors.h"

#include "engine/core/debug_output.h"
#include "hostaccess/suite_handler.h"
#include "surface/host/host_geometry.h"
#include "surface/host/host_world.h"

namespace tavrel {

ArrayData AePixelData2dAccessor::data() const {
    if (in_data_ == nullptr || in_data_->pica_basicP == nullptr || in_data_->utils == nullptr ||
        in_data_->utils->get_pixel_data8 == nullptr || in_data_->utils->get_pixel_data16 == nullptr)
        throw long(PF_Err_BAD_CALLBACK_PARAM);
    PF_Pixel8* p8 = nullptr;
    PF_Pixel16* p16 = nullptr;
    check_pf_err(in_data_->utils->get_pixel_data8(world_, nullptr, &p8));
    check_pf_err(in_data_->utils->get_pixel_data16(world_, nullptr, &p16));
    if (p16 != nullptr) return ArrayData(reinterpret_cast<uint16_t*>(p16));
    if (p8 != nullptr) return ArrayData(reinterpret_cast<uint8_t*>(p8));
    return ArrayData(static_cast<float*>(world_->data));
}

std::shared_ptr<AeWorld2dAccessor> AeWorld2dAccessor::query(const SPBasicSuite* basic, AEGP_WorldH world) {
    // Owned from here on, so the world goes also when a query fails.
    std::shared_ptr<AeWorld2dAccessor> a(new AeWorld2dAccessor(world), AEWorldDeleter{basic});
    SuiteHolder<AEGP_WorldSuite3> suite = acquire_world_suite(basic);
    A_long width = 0, height = 0;
    check_pf_err(suite->AEGP_GetSize(world, &width, &height));
    A_u_long row_bytes = 0;
    check_pf_err(suite->AEGP_GetRowBytes(world, &row_bytes));
    AEGP_WorldType type = AEGP_WorldType_NONE;
    check_pf_err(suite->AEGP_GetType(world, &type));
    switch (type) {
        case AEGP_WorldType_8: {
            PF_Pixel8* p = nullptr;
            check_pf_err(suite->AEGP_GetBaseAddr8(world, &p));
            a->data_ = reinterpret_cast<uint8_t*>(p);
            break;
        }
        case AEGP_WorldType_16: {
            PF_Pixel16* p = nullptr;
            check_pf_err(suite->AEGP_GetBaseAddr16(world, &p));
            a->data_ = reinterpret_cast<uint16_t*>(p);
            break;
        }
        case AEGP_WorldType_32: {
            PF_PixelFloat* p = nullptr;
            check_pf_err(suite->AEGP_GetBaseAddr32(world, &p));
            a->data_ = reinterpret_cast<float*>(p);
            break;
        }
        default: throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    }
    a->width_ = uint64_t(width);
    a->height_ = uint64_t(height);
    a->row_bytes_ = row_bytes;
    return a;
}

void AEWorldDeleter::operator()(AeWorld2dAccessor* accessor) const {
    if (accessor == nullptr) return;
    try {
        SuiteHolder<AEGP_WorldSuite3> suite = acquire_world_suite(basic);
        if (const A_Err err = suite->AEGP_Dispose(accessor->world_))
            debug_print_line("AEGP_Dispose of a world copy failed: " + std::to_string(err));
    } catch (...) {
        debug_print_line("AEGP World Suite not available to dispose a world copy");
    }
    delete accessor;
}

std::shared_ptr<AeWorld2dAccessor> make_world_copy(AEGP_PluginID plugin_id, const PF_InData* in_data,
                                                   PF_EffectWorld* source, double blur_amount) {
    static constexpr AEGP_WorldType kTypeByDepthClass[3] = {AEGP_WorldType_8, AEGP_WorldType_16,
                                                            AEGP_WorldType_32};
    const ArrayData pixels = AePixelData2dAccessor(in_data, source).data();
    const SPBasicSuite* basic = in_data->pica_basicP;
    AEGP_WorldH world = nullptr;
    {
        SuiteHolder<AEGP_WorldSuite3> suite = acquire_world_suite(basic);
        check_pf_err(suite->AEGP_New(plugin_id, kTypeByDepthClass[pixels.which()], source->width, source->height,
                                     &world));
    }
    std::shared_ptr<AeWorld2dAccessor> copy = AeWorld2dAccessor::query(basic, world);
    SuiteHolder<AEGP_WorldSuite3> suite = acquire_world_suite(basic);
    PF_EffectWorld target{};
    check_pf_err(suite->AEGP_FillOutPFEffectWorld(world, &target));
    transform_world(in_data, source, &target, true);
    const double radius = blur_amount * ratio_value(in_data->downsample_x.num, in_data->downsample_x.den);
    check_pf_err(suite->AEGP_FastBlur(radius, 0, AEGP_Quality_BEST, &target));
    return copy;
}

}  // namespace tavrel
