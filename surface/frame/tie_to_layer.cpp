#include "surface/frame/tie_to_layer.h"

#include "hostaccess/aegp_refs.h"
#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"
#include "hostapi/host_scene_suites.h"
#include "surface/host/param_values.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

// Switches the stream's expression on, sets its text and gives it back.
void write_expression(const AEGP_StreamSuite1& streams, AEGP_PluginID plugin_id, AegpStreamRef& stream,
                      const char* text) {
    check_pf_err(streams.AEGP_SetExpressionState(plugin_id, stream.get(), 1));
    check_pf_err(streams.AEGP_SetExpression(plugin_id, stream.get(), text));
    stream.dispose();
}

}  // namespace

TieToLayerExpressions::TieToLayerExpressions(uint32_t i0, uint32_t i1, uint32_t i2, uint32_t i3)
    : entries_{{{i0, "// Tavrel\ntoComp(anchorPoint)[0]-thisComp.width/2.0"},
                {i1, "// Tavrel\ntoComp(anchorPoint)[1]-thisComp.height/2.0"},
                {i2, "// Tavrel\ntransform.anchorPoint[0]-thisLayer.width/2.0"},
                {i3, "// Tavrel\ntransform.anchorPoint[1]-thisLayer.height/2.0"}}} {}

TieToLayerExpressions::~TieToLayerExpressions() = default;

void apply_tie_to_layer(const PF_InData* in_data, uint32_t plugin_id, const TieToLayerExpressions& expressions) {
    if (in_data == nullptr) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    const AEGP_PluginID id = AEGP_PluginID(plugin_id);
    // Declared first, so the suites outlive the references they give back;
    // every suite is acquired before anything is handed out, so that a
    // refused one leaves nothing behind.
    HostSuites suites(in_data);
    const AEGP_PFInterfaceSuite1& pf_interface = suites.pf_interface_suite();
    const AEGP_UtilitySuite11& utility = suites.utility_suite();
    const AEGP_StreamSuite1& streams = suites.stream_suite();
    suites.effect_suite();

    AEGP_LayerH layer = nullptr;
    check_pf_err(pf_interface.AEGP_GetEffectLayer(in_data->effect_ref, &layer));
    AegpUndoGroup group(utility, kTieToLayerUndoName);
    AegpEffectRef effect(suites);
    check_pf_err(pf_interface.AEGP_GetNewEffectForEffect(id, in_data->effect_ref, effect.out()));
    for (const TieToLayerExpressions::Entry& entry : expressions.entries()) {
        AegpStreamRef stream(suites);
        check_pf_err(streams.AEGP_GetNewEffectStreamByIndex(id, effect.get(), A_long(entry.index), stream.out()));
        write_expression(streams, id, stream, entry.expression.c_str());
    }
    {
        AegpStreamRef scale(suites);
        check_pf_err(streams.AEGP_GetNewLayerStream(id, layer, AEGP_LayerStream_SCALE, scale.out()));
        write_expression(streams, id, scale, kTieScaleExpression);
    }
    {
        AegpStreamRef rotation(suites);
        check_pf_err(streams.AEGP_GetNewLayerStream(id, layer, AEGP_LayerStream_ROTATION, rotation.out()));
        write_expression(streams, id, rotation, kTieRotationExpression);
    }
    effect.dispose();
    group.close();
}

void tie_to_layer(const PF_InData* in_data, PF_ParamDef* params[], uint32_t plugin_id, SequenceData& sequence_data,
                  int32_t option_index, const TieToLayerExpressions& expressions) {
    if (!checkbox_param(params, option_index) || sequence_data.tie_to_layer_dirty == 0) return;
    apply_tie_to_layer(in_data, plugin_id, expressions);
    sequence_data.tie_to_layer_dirty = 0;
}

}  // namespace tavrel
