// Storage for large tables: a growing buffer keeps what it held, and large
// blocks are whole large pages that a vector can fill and grow past.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "toollib/memory.h"

TEST(Memory, ByteBufferKeepsItsBytesAsItGrows) {
    tl::ByteBuffer b;
    EXPECT_EQ(b.size(), 0u);
    size_t sizes[] = {10, 100, 3u << 20, 5u << 20};  // from the heap, then large pages
    size_t filled = 0;
    for (size_t n : sizes) {
        b.reserve(n);
        ASSERT_GE(b.capacity(), n);
        for (size_t i = filled; i < n; i++) b.data()[i] = static_cast<char>(i * 7);
        b.setsize(n);
        filled = n;
        bool same = true;
        for (size_t i = 0; i < n; i++) same = same && b.data()[i] == static_cast<char>(i * 7);
        EXPECT_TRUE(same) << n;
    }
    b.setsize(b.capacity() + 1);  // never past the storage
    EXPECT_EQ(b.size(), b.capacity());
    b.clear();
    EXPECT_EQ(b.capacity(), 0u);
}

TEST(Memory, LargeVectorGrowsAcrossTheLargeSize) {
    tl::LargeVector<uint32_t> v;
    for (uint32_t i = 0; i < 2'000'000; i++) v.push_back(i);  // 8 MB, several reallocations
    uint64_t sum = 0;
    for (uint32_t x : v) sum += x;
    EXPECT_EQ(sum, 1'999'999ull * 2'000'000 / 2);
    void* p = tl::largealloc(3u << 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % (2u << 20), 0u);
    std::memset(p, 1, 3u << 20);
    tl::largefree(p, 3u << 20);
}
