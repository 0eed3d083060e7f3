#include "surface/frame/tie_to_layer.h"

#include "surface/host/param_values.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

namespace {

constexpr int kTieToLayer = 35;
constexpr uint32_t kFirstTiedParam = 36;

}  // namespace

TieToLayerExpressions::TieToLayerExpressions(uint32_t i0, uint32_t i1, uint32_t i2, uint32_t i3)
    : entries_{{{i0, "// Tavrel\ntoComp(anchorPoint)[0]-thisComp.width/2.0"},
                {i1, "// Tavrel\ntoComp(anchorPoint)[1]-thisComp.height/2.0"},
                {i2, "// Tavrel\ntransform.anchorPoint[0]-thisLayer.width/2.0"},
                {i3, "// Tavrel\ntransform.anchorPoint[1]-thisLayer.height/2.0"}}} {}

TieToLayerExpressions::~TieToLayerExpressions() = default;

bool apply_tie_to_layer(const PF_InData*, uint32_t, const TieToLayerExpressions&) { return false; }

void tie_to_layer(const PF_InData* in_data, PF_ParamDef* params[], uint32_t plugin_id, SequenceData& sequence_data) {
    if (!checkbox_param(params, kTieToLayer) || sequence_data.tie_to_layer_dirty == 0) return;
    const TieToLayerExpressions expressions(kFirstTiedParam, kFirstTiedParam + 1, kFirstTiedParam + 2,
                                            kFirstTiedParam + 3);
    if (apply_tie_to_layer(in_data, plugin_id, expressions)) sequence_data.tie_to_layer_dirty = 0;
}

}  // namespace tavrel
