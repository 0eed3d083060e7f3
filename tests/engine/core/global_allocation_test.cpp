// Linked with the plug-ins' replacement of the global allocation operators
// and with the C++ runtime statically, as the plug-ins are.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reads the header in front of a block; through an integer, because the
// compiler rightly assumes nothing lies in front of a new-expression's object.
std::uint32_t tag_before(const void* pointer) {
    std::uint32_t tag = 0;
    const std::uintptr_t header = reinterpret_cast<std::uintptr_t>(pointer) - 64;
    std::memcpy(&tag, reinterpret_cast<const void*>(header), sizeof tag);
    return tag;
}

// Kept from the compiler, which would otherwise warn about the sizes it sees.
std::size_t opaque(std::size_t n) {
    volatile std::size_t v = n;
    return v;
}

struct alignas(256) OverAligned {
    unsigned char bytes[300];
};

TEST(GlobalAllocation, EveryFormHandsOutTaggedBlocks) {
    void* single = ::operator new(100);
    EXPECT_EQ(tag_before(single), 0x66666666u);
    ::operator delete(single);

    int* array = new int[10];
    EXPECT_EQ(tag_before(array), 0x66666666u);
    delete[] array;

    void* quiet = ::operator new(24, std::nothrow);
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(tag_before(quiet), 0x66666666u);
    ::operator delete(quiet, std::nothrow);

    OverAligned* aligned = new OverAligned;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 256, 0u);
    EXPECT_EQ(tag_before(aligned), 0x66666666u);
    delete aligned;

    OverAligned* aligned_array = new OverAligned[3];
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned_array) % 256, 0u);
    delete[] aligned_array;

    auto shared = std::make_shared<std::string>(200, 'x');
    EXPECT_EQ(shared->size(), 200u);
}

TEST(GlobalAllocation, OversizedRequests) {
    const std::size_t max = opaque(std::numeric_limits<std::size_t>::max());
    try {
        void* p = ::operator new(max - 10);
        ::operator delete(p);
        ADD_FAILURE() << "allocated";
    } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), "bad allocation");
    }
    EXPECT_EQ(::operator new(max - 10, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](max, std::nothrow), nullptr);
    EXPECT_EQ(::operator new(max, std::align_val_t(128), std::nothrow), nullptr);
    try {
        void* p = ::operator new[](max - 63, std::align_val_t(64));
        ::operator delete[](p, std::align_val_t(64));
        ADD_FAILURE() << "allocated";
    } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), "bad allocation");
    }
}

// The standard library's own code allocates and frees with the same
// operators as inline code here; a mix-up would crash or corrupt the heap.
TEST(GlobalAllocation, StandardLibraryRoundTrips) {
    std::string grown;
    for (int i = 0; i < 1000; ++i) grown += std::to_string(i);
    std::ostringstream stream;
    stream << grown << 3.25 << std::string(5000, 'y');
    const std::string built = stream.str();
    EXPECT_EQ(built.size(), grown.size() + 4 + 5000);

    std::map<std::string, std::vector<int>> table;
    for (int i = 0; i < 100; ++i) table["key" + std::to_string(i)].assign(i, i);
    EXPECT_EQ(table["key99"].size(), 99u);

    try {
        throw std::runtime_error(built);
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), built);
    }

    std::string from_thread;
    std::thread worker([&from_thread] { from_thread.assign(10000, 'z'); });
    worker.join();
    EXPECT_EQ(from_thread.size(), 10000u);
}

}  // namespace
