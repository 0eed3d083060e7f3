// A mapped pixel buffer let go on a thread without the context: caught and
// reported, and no GL call is made there (none is loaded in this binary, so
// one would crash it).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "engine/core/debug_output.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gpu/pbo.h"

namespace {

TEST(ReleasedOffThread, MappedBufferIsReportedNotTouched) {
    std::string text;
    tavrel::DebugOutputSink previous = tavrel::set_debug_output_sink([&text](const std::string& t) { text += t; });
    tavrel::claim_gl_object_thread();
    const std::uint64_t before = tavrel::gl_thread_violations();
    std::thread host([] { tavrel::gl_unmap_deleter{7, GL_PIXEL_PACK_BUFFER}(nullptr); });
    host.join();
    tavrel::release_gl_object_thread();
    tavrel::set_debug_output_sink(previous);
    EXPECT_EQ(tavrel::gl_thread_violations(), before + 1);
    EXPECT_EQ(text, "mapped pixel buffer released outside the rendering thread\n");
}

}  // namespace
