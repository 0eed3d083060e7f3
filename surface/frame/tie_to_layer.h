// "Tie to layer": host expressions that make the effect's 2-D position and
// anchor follow the layer it is applied to. Every expression the effect
// writes starts with the line "// Tavrel", which marks it as the effect's own.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "hostapi/host_effect.h"

namespace tavrel {

struct SequenceData;

inline constexpr const char kTieToLayerUndoName[] = "Tavrel: Tie to Layer";
inline constexpr const char kTieScaleExpression[] = "// Tavrel\n[100.0,100.0]";
inline constexpr const char kTieRotationExpression[] = "// Tavrel\n0.0";

class TieToLayerExpressions {
public:
    struct Entry {
        uint32_t index;
        std::string expression;
    };

    // The effect parameters of the 2-D position x and y and anchor x and y,
    // in this order.
    TieToLayerExpressions(uint32_t i0, uint32_t i1, uint32_t i2, uint32_t i3);
    ~TieToLayerExpressions();

    const std::array<Entry, 4>& entries() const { return entries_; }

private:
    std::array<Entry, 4> entries_;
};

// Writes the expressions into the effect's parameters, in the entries'
// order, then "// Tavrel\n[100.0,100.0]" into the layer's scale stream and
// "// Tavrel\n0.0" into its rotation stream, all in the one undo group
// "Tavrel: Tie to Layer". A failing host call throws PFErrException with
// the host's code and leaves the later writes undone; every stream and the
// effect reference are given back and the undo group is closed on every
// path. A missing suite throws the bare long 516.
void apply_tie_to_layer(const PF_InData* in_data, uint32_t plugin_id, const TieToLayerExpressions& expressions);

// The render's tie-to-layer step: with the checkbox `option_index` on and
// the instance's flag set, applies the expressions and clears the flag. A
// failure leaves the flag set, so the next frame tries again.
void tie_to_layer(const PF_InData* in_data, PF_ParamDef* params[], uint32_t plugin_id, SequenceData& sequence_data,
                  int32_t option_index, const TieToLayerExpressions& expressions);

}  // namespace tavrel
