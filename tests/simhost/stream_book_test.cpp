// The host's book of open streams and stream values: what it reports as not
// disposed, and the memory a long run of opened and disposed streams holds.
#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "simhost/scene_suites.h"

namespace {

// A stream opened and disposed every frame: once the first frames are done,
// the book holds no more heap however many frames follow.
TEST(StreamBook, DisposedStreamsHoldNoMemory) {
    simhost::SceneLayer layer;
    layer.name = "effect layer";
    simhost::StreamBook book;
    const auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const AEGP_StreamRefH s = book.open_stream(&layer, AEGP_LayerStream_ROTATION);
            ASSERT_TRUE(book.dispose_value(book.open_value(s)));
            ASSERT_TRUE(book.dispose_stream(s));
        }
    };
    frames(100);
    const std::size_t held = mallinfo2().uordblks;
    frames(1000);
    EXPECT_EQ(mallinfo2().uordblks, held);
    EXPECT_TRUE(book.undisposed().empty());
    EXPECT_EQ(book.streams_opened(), 2200u);
}

// A value outlives its disposed stream: its line still names the stream,
// until the value too is disposed.
TEST(StreamBook, AValueLeftOpenStillNamesItsDisposedStream) {
    simhost::SceneLayer layer;
    layer.name = "solid";
    simhost::StreamBook book;
    const AEGP_StreamRefH s = book.open_stream(&layer, AEGP_LayerStream_ROTATION);
    void* value = book.open_value(s);
    const AEGP_StreamRefH kept = book.open_stream(&layer, AEGP_LayerStream_POSITION);
    ASSERT_TRUE(book.dispose_stream(s));
    EXPECT_FALSE(book.dispose_stream(s));
    EXPECT_EQ(book.find(s), nullptr);
    const std::string rotation = "stream #1 (solid, stream " + std::to_string(int(AEGP_LayerStream_ROTATION)) + ")";
    const std::string position = "stream #3 (solid, stream " + std::to_string(int(AEGP_LayerStream_POSITION)) + ")";
    EXPECT_EQ(book.undisposed(), (std::vector<std::string>{position + " not disposed",
                                                           "value of " + rotation + " not disposed"}));
    ASSERT_TRUE(book.dispose_value(value));
    EXPECT_FALSE(book.dispose_value(value));
    EXPECT_EQ(book.undisposed(), std::vector<std::string>{position + " not disposed"});
    ASSERT_TRUE(book.dispose_stream(kept));
    EXPECT_TRUE(book.undisposed().empty());
}

}  // namespace
