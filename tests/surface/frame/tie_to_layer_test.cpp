// "Tie to layer" through the simulated host: the six expressions with their
// exact texts, in order, in one undo group, every reference given back; and
// a failure at each host call in turn, which returns the host's code, leaves
// nothing open and the instance's flag set, so that the next frame writes
// them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "simhost/effect_instance.h"
#include "simhost/host.h"
#include "surface/frame/tie_to_layer.h"
#include "surface/mesh/sequence_data.h"
#include "tests/plugin/no_display.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;

// The effect's checkbox and tied parameters: the first effect's, and the
// second effect's numbers, which the host takes as any parameter indices.
struct Indices {
    int32_t option;
    uint32_t first;
};
const Indices kEffects[] = {{35, 36}, {24, 25}};

TieToLayerExpressions expressions_of(const Indices& e) {
    return TieToLayerExpressions(e.first, e.first + 1, e.first + 2, e.first + 3);
}

class TieToLayer : public ::testing::Test {
protected:
    void SetUp() override {
        host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so");
        {
            // Nothing here renders: the engine need not start.
            NoDisplay no_display;
            ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        }
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        instance = std::make_unique<simhost::EffectInstance>(host);
        ASSERT_EQ(instance->set_up().err, 0);
        host.trace().set_on(true);
    }
    void TearDown() override {
        instance.reset();
        EXPECT_EQ(host.call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
        host.unload();
    }

    uint32_t plugin_id() const { return uint32_t(host.next_plugin_id - 1); }

    // The render's step: a thrown host code is the command's result.
    PF_Err run(const Indices& e, SequenceData& data) {
        tavrel_test::ParamTable params;
        params.checkbox(e.option, true);
        return host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
            try {
                tie_to_layer(in, params.params(), plugin_id(), data, e.option, expressions_of(e));
            } catch (const PFErrException& x) {
                return x.err;
            } catch (long code) {
                return PF_Err(code);
            }
            return 0;
        }).err;
    }

    void forget() {
        host.trace().clear();
        host.effect_streams().expressions.clear();
        host.effect_streams().expression_states.clear();
        host.undo_groups.clear();
    }

    simhost::Host host;
    std::unique_ptr<simhost::EffectInstance> instance;
};

TEST_F(TieToLayer, SixExpressionsInOneUndoGroup) {
    for (const Indices& e : kEffects) {
        SCOPED_TRACE(e.first);
        forget();
        SequenceData data;
        ASSERT_EQ(data.tie_to_layer_dirty, 1);
        const int effects = host.effect_streams().effects_made();
        const int streams = host.effect_streams().streams_made();
        ASSERT_EQ(run(e, data), 0);
        EXPECT_EQ(data.tie_to_layer_dirty, 0);
        const std::string p = "parameter ";
        const std::string f = std::to_string(e.first), g = std::to_string(e.first + 1),
                          h = std::to_string(e.first + 2), i = std::to_string(e.first + 3);
        EXPECT_EQ(host.trace().lines(),
                  (std::vector<std::string>{
                      "undo group \"Tavrel: Tie to Layer\"",
                      "expression on parameter " + f,
                      "expression parameter " + f + " \"// Tavrel\\ntoComp(anchorPoint)[0]-thisComp.width/2.0\"",
                      "expression on parameter " + g,
                      "expression parameter " + g + " \"// Tavrel\\ntoComp(anchorPoint)[1]-thisComp.height/2.0\"",
                      "expression on parameter " + h,
                      "expression parameter " + h + " \"// Tavrel\\ntransform.anchorPoint[0]-thisLayer.width/2.0\"",
                      "expression on parameter " + i,
                      "expression parameter " + i + " \"// Tavrel\\ntransform.anchorPoint[1]-thisLayer.height/2.0\"",
                      "expression on effect layer stream 2",
                      "expression effect layer stream 2 \"// Tavrel\\n[100.0,100.0]\"",
                      "expression on effect layer stream 3",
                      "expression effect layer stream 3 \"// Tavrel\\n0.0\"",
                      "undo group end",
                  }));
        // The texts byte for byte, each in the group.
        const auto& written = host.effect_streams().expressions;
        ASSERT_EQ(written.size(), 6u);
        EXPECT_EQ(written[0].text, "// Tavrel\ntoComp(anchorPoint)[0]-thisComp.width/2.0");
        EXPECT_EQ(written[5].text, "// Tavrel\n0.0");
        for (const auto& x : written) {
            EXPECT_EQ(x.text.rfind("// Tavrel\n", 0), 0u) << x.text;
            EXPECT_EQ(x.undo_group, "Tavrel: Tie to Layer");
        }
        EXPECT_EQ(host.undo_groups, std::vector<std::string>{"Tavrel: Tie to Layer"});
        EXPECT_EQ(host.effect_streams().expression_states.size(), 6u);
        EXPECT_EQ(host.effect_streams().effects_made() - effects, 1);
        EXPECT_EQ(host.effect_streams().streams_made() - streams, 4);
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());

        // Written once: the next frame writes nothing.
        forget();
        ASSERT_EQ(run(e, data), 0);
        EXPECT_TRUE(host.effect_streams().expressions.empty());
        EXPECT_TRUE(host.undo_groups.empty());
    }
}

// A failure at each host call in turn, in the order they are made.
TEST_F(TieToLayer, AFailureAtEachCallClosesEverythingAndTheNextFrameWrites) {
    struct Call {
        std::string function;
        int nth;
        std::size_t written_before;  // expressions written before it fails
    };
    std::vector<Call> calls = {{"AEGP_GetEffectLayer", 1, 0}, {"AEGP_StartUndoGroup", 1, 0},
                               {"AEGP_GetNewEffectForEffect", 1, 0}};
    for (int s = 1; s <= 6; ++s) {
        const std::size_t before = std::size_t(s - 1);
        calls.push_back({s <= 4 ? "AEGP_GetNewEffectStreamByIndex" : "AEGP_GetNewLayerStream", s <= 4 ? s : s - 4,
                         before});
        calls.push_back({"AEGP_SetExpressionState", s, before});
        calls.push_back({"AEGP_SetExpression", s, before});
        calls.push_back({"AEGP_DisposeStream", s, before + 1});
    }
    calls.push_back({"AEGP_DisposeEffect", 1, 6});
    calls.push_back({"AEGP_EndUndoGroup", 1, 6});
    ASSERT_EQ(calls.size(), 29u);

    for (const Indices& e : kEffects) {
        PF_Err code = 60;
        for (const Call& c : calls) {
            SCOPED_TRACE(c.function + " #" + std::to_string(c.nth) + ", parameters from " + std::to_string(e.first));
            forget();
            SequenceData data;
            host.suites().inject_error(c.function, ++code, c.nth);
            EXPECT_EQ(run(e, data), code);
            host.suites().clear_faults();
            EXPECT_EQ(data.tie_to_layer_dirty, 1);
            EXPECT_EQ(host.effect_streams().expressions.size(), c.written_before);
            // Every stream and the effect reference given back and every
            // group opened closed: the host found nothing left behind.
            EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
            host.clear_violations();
            const std::size_t groups = c.function == "AEGP_GetEffectLayer" || c.function == "AEGP_StartUndoGroup" ? 0 : 1;
            EXPECT_EQ(host.undo_groups.size(), groups);

            // The next frame writes all six and clears the flag.
            forget();
            EXPECT_EQ(run(e, data), 0);
            EXPECT_EQ(data.tie_to_layer_dirty, 0);
            EXPECT_EQ(host.effect_streams().expressions.size(), 6u);
            EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
        }
    }
    // A suite the host refuses: its bare code, and nothing was handed out.
    for (const char* suite : {kAEGPUtilitySuite, kAEGPStreamSuite, kAEGPEffectSuite, kAEGPPFInterfaceSuite}) {
        SCOPED_TRACE(suite);
        forget();
        SequenceData data;
        host.suites().refuse(suite);
        EXPECT_EQ(run(kEffects[0], data), PF_Err_BAD_CALLBACK_PARAM);
        host.suites().unrefuse(suite);
        EXPECT_EQ(data.tie_to_layer_dirty, 1);
        EXPECT_TRUE(host.undo_groups.empty());
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

}  // namespace
