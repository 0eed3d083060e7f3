#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/gpu/supported_bpc.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(SupportedBpc, BytesPerPixelOfEachKind) {
    EXPECT_EQ(tavrel::supported_bpc(0), 4u);
    EXPECT_EQ(tavrel::supported_bpc(1), 8u);
    EXPECT_EQ(tavrel::supported_bpc(2), 16u);
}

TEST(SupportedBpc, OtherKindsThrowTheLocatedError) {
    for (int kind : {3, 4, 1000, -1, -2147483647 - 1}) {
        try {
            tavrel::supported_bpc(kind);
            ADD_FAILURE() << "kind " << kind << " accepted";
        } catch (const tavrel::GlEngineError& e) {
            const std::string text = e.what();
            EXPECT_EQ(text.rfind("Gl error (engine/gpu/supported_bpc.cpp:", 0), 0u) << text;
            EXPECT_TRUE(ends_with(text, "): Unsupported bpc.")) << text;
        }
    }
}

TEST(EngineErrors, Texts) {
    EXPECT_EQ(tavrel::located_error_text("engine/texture.cpp", 42, "Unsupported format"),
              "Gl error (engine/texture.cpp:42): Unsupported format");
    EXPECT_STREQ(tavrel::GlUnknownShaderParameter("LightTypes").what(), "unknown parameter: LightTypes");
    const tavrel::GlUnknownShaderParameter unknown("x");
    const tavrel::GlEngineError& as_engine_error = unknown;
    EXPECT_STREQ(as_engine_error.what(), "unknown parameter: x");
    const int line = __LINE__ + 1;
    const tavrel::GlEngineError here = TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    EXPECT_EQ(std::string(here.what()), "Gl error (tests/engine/gpu/supported_bpc_test.cpp:" +
                                            std::to_string(line) + "): Unsupported bit per channel.");
}

}  // namespace
