#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/debug_output.h"

namespace {

// Collects every debug_output call separately, so that the tests see the
// split between a line and its line end.
class DebugOutputCapture {
public:
    DebugOutputCapture()
        : previous_(tavrel::set_debug_output_sink([this](const std::string& t) { calls.push_back(t); })) {}
    ~DebugOutputCapture() { tavrel::set_debug_output_sink(previous_); }
    std::vector<std::string> calls;

private:
    tavrel::DebugOutputSink previous_;
};

TEST(DebugOutput, PrintLineWritesTheTextThenALineEnd) {
    DebugOutputCapture capture;
    tavrel::debug_print_line("Compiling vertex shader...");
    EXPECT_EQ(capture.calls, (std::vector<std::string>{"Compiling vertex shader...", "\n"}));
}

TEST(DebugOutput, NumberedSource) {
    struct Case {
        std::string source;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {"A\n\nB\nC", {"2> A", "\n", "3> B", "\n", "4> C", "\n"}},
        {"one line", {"2> one line", "\n"}},
        {"\n\nx\n", {"2> x", "\n"}},
        {"", {}},
        {"a\r\nb", {"2> a\r", "\n", "3> b", "\n"}},
    };
    for (const Case& c : cases) {
        DebugOutputCapture capture;
        tavrel::print_numbered_source(c.source);
        EXPECT_EQ(capture.calls, c.calls) << c.source;
    }
}

// Without a sink the terminal stays quiet unless the variable is exactly "1".
TEST(DebugOutput, StandardErrorWithoutASinkOnlyWhenAskedFor) {
    const struct {
        const char* value;  // null: unset
        const char* printed;
    } cases[] = {{nullptr, ""}, {"0", ""}, {"", ""}, {"yes", ""}, {"1", "Linking program...\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        if (c.value) setenv(tavrel::kDebugOutputVariable, c.value, 1);
        else unsetenv(tavrel::kDebugOutputVariable);
        testing::internal::CaptureStderr();
        tavrel::debug_print_line("Linking program...");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed);
    }
    unsetenv(tavrel::kDebugOutputVariable);
    // A sink hears everything, asked for or not.
    DebugOutputCapture capture;
    tavrel::debug_print_line("Compiling vertex shader...");
    EXPECT_EQ(capture.calls, (std::vector<std::string>{"Compiling vertex shader...", "\n"}));
}

}  // namespace
