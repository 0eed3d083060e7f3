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

// Writes the expressions into the effect's parameters and the layer's scale
// and rotation streams, in one undo group. Returns whether they were written:
// this build has no expression writing and returns false, writing nothing.
bool apply_tie_to_layer(const PF_InData* in_data, uint32_t plugin_id, const TieToLayerExpressions& expressions);

// The render's tie-to-layer step: with "Tie to layer" (parameter 35) on and
// the instance's flag set, applies the expressions for parameters 36 to 39;
// the flag is cleared only once they were written.
void tie_to_layer(const PF_InData* in_data, PF_ParamDef* params[], uint32_t plugin_id, SequenceData& sequence_data);

}  // namespace tavrel
