// Host suites by name and version: acquired on first use, released when the
// holder dies, also while unwinding.
#pragma once

#include "hostapi/host_effect.h"
#include "hostapi/host_param_suites.h"
#include "hostapi/host_scene_suites.h"
#include "hostapi/host_world_suites.h"
#include "hostaccess/plugin_errors.h"

namespace tavrel {

template <class Suite>
class SuiteHolder {
public:
    SuiteHolder(const SPBasicSuite* basic, const char* name, int32_t version)
        : basic_(basic), name_(name), version_(version) {}
    SuiteHolder(const SuiteHolder&) = delete;
    SuiteHolder& operator=(const SuiteHolder&) = delete;
    ~SuiteHolder() { release(); }

    // A suite the host does not give is a bad callback parameter, thrown bare
    // so the entry point returns the code itself.
    const Suite& get() {
        if (suite_ == nullptr) {
            if (basic_ == nullptr || basic_->AcquireSuite == nullptr) throw long(PF_Err_BAD_CALLBACK_PARAM);
            const void* p = nullptr;
            if (basic_->AcquireSuite(name_, version_, &p) != 0 || p == nullptr)
                throw long(PF_Err_BAD_CALLBACK_PARAM);
            suite_ = static_cast<const Suite*>(p);
        }
        return *suite_;
    }
    const Suite* operator->() { return &get(); }

    // Returns the host's result of the release; 0 when nothing was held.
    SPErr release() noexcept {
        if (suite_ == nullptr) return 0;
        suite_ = nullptr;
        return basic_->ReleaseSuite(name_, version_);
    }

    bool acquired() const { return suite_ != nullptr; }

private:
    const SPBasicSuite* basic_;
    const char* name_;
    int32_t version_;
    const Suite* suite_ = nullptr;
};

// The suites of one command, each acquired on first use.
class HostSuites {
public:
    explicit HostSuites(const PF_InData* in_data) : basic_(in_data ? in_data->pica_basicP : nullptr) {}

    const PF_ANSISuite1& ansi_suite() { return ansi_.get(); }
    const AEGP_UtilitySuite11& utility_suite() { return utility_.get(); }
    const AEGP_PersistentDataSuite3& persistent_data_suite() { return persistent_.get(); }
    const PF_AdvAppSuite2& adv_app_suite() { return adv_app_.get(); }
    const PF_WorldTransformSuite1& world_transform_suite() { return world_transform_.get(); }
    const PF_FillMatteSuite2& fill_matte_suite() { return fill_matte_.get(); }
    const PF_ParamUtilsSuite1& param_utils_suite() { return param_utils_.get(); }
    const AEGP_PFInterfaceSuite1& pf_interface_suite() { return pf_interface_.get(); }
    const AEGP_StreamSuite1& stream_suite() { return stream_.get(); }
    const AEGP_EffectSuite1& effect_suite() { return effect_.get(); }
    // The scene: layers, compositions, items, footage and lights.
    const AEGP_LayerSuite8& layer_suite() { return layer_.get(); }
    const AEGP_CompSuite10& comp_suite() { return comp_.get(); }
    const AEGP_ItemSuite9& item_suite() { return item_.get(); }
    const AEGP_FootageSuite5& footage_suite() { return footage_.get(); }
    const AEGP_LightSuite2& light_suite() { return light_.get(); }

private:
    const SPBasicSuite* basic_;
    SuiteHolder<PF_ANSISuite1> ansi_{basic_, kPFANSISuite, kPFANSISuiteVersion1};
    SuiteHolder<AEGP_UtilitySuite11> utility_{basic_, kAEGPUtilitySuite, kAEGPUtilitySuiteVersion11};
    SuiteHolder<AEGP_PersistentDataSuite3> persistent_{basic_, kAEGPPersistentDataSuite,
                                                       kAEGPPersistentDataSuiteVersion3};
    SuiteHolder<PF_AdvAppSuite2> adv_app_{basic_, kPFAdvAppSuite, kPFAdvAppSuiteVersion2};
    SuiteHolder<PF_WorldTransformSuite1> world_transform_{basic_, kPFWorldTransformSuite,
                                                          kPFWorldTransformSuiteVersion1};
    SuiteHolder<PF_FillMatteSuite2> fill_matte_{basic_, kPFFillMatteSuite, kPFFillMatteSuiteVersion2};
    SuiteHolder<PF_ParamUtilsSuite1> param_utils_{basic_, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1};
    SuiteHolder<AEGP_PFInterfaceSuite1> pf_interface_{basic_, kAEGPPFInterfaceSuite,
                                                      kAEGPPFInterfaceSuiteVersion1};
    SuiteHolder<AEGP_StreamSuite1> stream_{basic_, kAEGPStreamSuite, kAEGPStreamSuiteVersion1};
    SuiteHolder<AEGP_EffectSuite1> effect_{basic_, kAEGPEffectSuite, kAEGPEffectSuiteVersion1};
    SuiteHolder<AEGP_LayerSuite8> layer_{basic_, kAEGPLayerSuite, kAEGPLayerSuiteVersion8};
    SuiteHolder<AEGP_CompSuite10> comp_{basic_, kAEGPCompSuite, kAEGPCompSuiteVersion10};
    SuiteHolder<AEGP_ItemSuite9> item_{basic_, kAEGPItemSuite, kAEGPItemSuiteVersion9};
    SuiteHolder<AEGP_FootageSuite5> footage_{basic_, kAEGPFootageSuite, kAEGPFootageSuiteVersion5};
    SuiteHolder<AEGP_LightSuite2> light_{basic_, kAEGPLightSuite, kAEGPLightSuiteVersion2};
};

}  // namespace tavrel
