// Simulated memory: page creation, big-endian accessors across pages,
// eviction to the swap file and back, failing swap stores, access checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "vek/core/target/memory.h"

using namespace vek;

TEST(Memory, NeverWrittenReadsZeroAndCreatesPage)
{
    Memory mem;
    EXPECT_EQ(mem.getlong(0x12345678), 0u);
    EXPECT_EQ(mem.pagecount(), 1u);
    EXPECT_EQ(mem.slotof(0x12345600), 0);
    const MemoryPage* f = mem.residentframe(0x12345678);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->page, 0x12345600u);
    EXPECT_EQ(f->state, PageValid | PageDirty);
    EXPECT_EQ(mem.slotof(0x80000000), -1);
}

TEST(Memory, WideAccessSpansTwoPages)
{
    Memory mem;
    mem.putlong(0x1FE, 0x11223344);
    EXPECT_EQ(mem.getbyte(0x1FE), 0x11);
    EXPECT_EQ(mem.getbyte(0x1FF), 0x22);
    EXPECT_EQ(mem.getbyte(0x200), 0x33);
    EXPECT_EQ(mem.getbyte(0x201), 0x44);
    EXPECT_EQ(mem.getlong(0x1FE), 0x11223344u);
    EXPECT_EQ(mem.getword(0x1FF), 0x2233u);
    EXPECT_EQ(mem.pagecount(), 2u);
    // The top of the address space wraps to 0.
    mem.putlong(0xFFFFFFFE, 0xA1B2C3D4);
    EXPECT_EQ(mem.getword(0), 0xC3D4u);
    EXPECT_EQ(mem.getlong(0xFFFFFFFE), 0xA1B2C3D4u);
}

TEST(Memory, EvictionToSlotZeroAndBack)
{
    Memory mem;
    mem.setframelimit(SmallFrameCount);
    for (uint32_t i = 0; i < SmallFrameCount + 1; i++) mem.putlong(i * PageSize + 8, 0xC0DE0000u + i);
    EXPECT_EQ(mem.residentframe(8), nullptr) << "first page evicted";
    EXPECT_EQ(mem.slotof(0), 0);
    EXPECT_EQ(mem.getlong(8), 0xC0DE0000u);
    // Bringing it back evicted the least recently used one: page 1.
    EXPECT_EQ(mem.residentframe(PageSize), nullptr);
    const MemoryPage* f = mem.residentframe(0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->state, PageValid);
    EXPECT_EQ(f->swapoff, 0u);
    for (uint32_t i = 0; i < SmallFrameCount + 1; i++) EXPECT_EQ(mem.getlong(i * PageSize + 8), 0xC0DE0000u + i);
    EXPECT_EQ(mem.framecount(), SmallFrameCount);
}

TEST(Memory, FourMegabytesOfDistinctPages)
{
    Memory mem;
    mem.setframelimit(SmallFrameCount);
    constexpr uint32_t pages = 4u << 20 >> 9;
    auto word = [](uint32_t page, uint32_t k) { return page * 2654435761u ^ k; };
    std::vector<uint8_t> block(PageSize);
    for (uint32_t p = 0; p < pages; p++) {
        for (uint32_t k = 0; k < PageSize / 4; k++) {
            uint32_t w = word(p, k);
            for (int b = 0; b < 4; b++) block[4 * k + b] = uint8_t(w >> (24 - 8 * b));
        }
        mem.putmem(0x40000000 + p * PageSize * 3, block.data(), PageSize);  // spread out
    }
    EXPECT_EQ(mem.pagecount(), pages);
    for (uint32_t p = 0; p < pages; p++)
        for (uint32_t k = 0; k < PageSize / 4; k += 37)
            ASSERT_EQ(mem.getlong(0x40000000 + p * PageSize * 3 + 4 * k), word(p, k)) << "page " << p;
}

TEST(Memory, BlockCopiesBeyondSixteenBits)
{
    Memory mem;
    std::vector<uint8_t> in(200000), out(200000, 0xEE);
    for (size_t i = 0; i < in.size(); i++) in[i] = uint8_t(i * 7 + (i >> 9));
    mem.putmem(0x123, in.data(), in.size());
    mem.getmem(out.data(), 0x123, out.size());
    EXPECT_EQ(in, out);
    uint8_t none = 0x5A;
    mem.getmem(&none, 0, 0);
    EXPECT_EQ(none, 0x5A);
}

TEST(Memory, DiscardEmptiesEverything)
{
    Memory mem;
    mem.setframelimit(SmallFrameCount);
    for (uint32_t i = 0; i < 200; i++) mem.putbyte(i * PageSize, 1);
    mem.discard();
    EXPECT_EQ(mem.pagecount(), 0u);
    EXPECT_EQ(mem.getbyte(199 * PageSize), 0);
    EXPECT_EQ(mem.slotof(199 * PageSize), 0);
}

// A swap store in host memory that can be told to fail.
struct FlakySwap : SwapStore {
    std::map<uint32_t, std::vector<uint8_t>> slots;
    bool failreads = false, failwrites = false;
    bool readslot(uint32_t slot, uint8_t* data) override
    {
        auto it = slots.find(slot);
        if (failreads || it == slots.end()) return false;
        std::copy(it->second.begin(), it->second.end(), data);
        return true;
    }
    bool writeslot(uint32_t slot, const uint8_t* data) override
    {
        if (failwrites) return false;
        slots[slot].assign(data, data + PageSize);
        return true;
    }
};

TEST(Memory, FailedWriteBackKeepsThePage)
{
    TargetReport report;
    auto swap = std::make_unique<FlakySwap>();
    FlakySwap* s = swap.get();
    s->failwrites = true;
    int errors = 0;
    report.errmsg = [&](int, std::string_view) { errors++; };  // the text goes to the output
    Memory mem(&report, std::move(swap));
    mem.setframelimit(SmallFrameCount);
    for (uint32_t i = 0; i < SmallFrameCount + 10; i++) mem.putlong(i * PageSize, i + 1);
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(report.log.size(), 1u) << "reported once while the store keeps failing";
    EXPECT_EQ(report.log[0], "memory file overflow bloc");
    EXPECT_EQ(mem.framecount(), SmallFrameCount + 10);
    for (uint32_t i = 0; i < SmallFrameCount + 10; i++) EXPECT_EQ(mem.getlong(i * PageSize), i + 1);
    s->failwrites = false;
    for (uint32_t i = 0; i < 3 * SmallFrameCount; i++) mem.putlong((1000 + i) * PageSize, i);
    for (uint32_t i = 0; i < SmallFrameCount + 10; i++) EXPECT_EQ(mem.getlong(i * PageSize), i + 1);
}

TEST(Memory, FailedReloadDoesNotRelabelAFrame)
{
    TargetReport report;
    auto swap = std::make_unique<FlakySwap>();
    FlakySwap* s = swap.get();
    Memory mem(&report, std::move(swap));
    mem.setframelimit(SmallFrameCount);
    for (uint32_t i = 0; i <= SmallFrameCount; i++) mem.putlong(i * PageSize, 0xAB000000u + i);
    s->failreads = true;
    EXPECT_EQ(mem.getlong(0), 0u);  // page 0 lives in the swap store only
    ASSERT_EQ(report.log.size(), 1u);
    EXPECT_EQ(report.log[0], "read error bloc");
    EXPECT_EQ(mem.residentframe(0), nullptr);
    mem.putlong(0, 0x1234);  // not carried out either
    s->failreads = false;
    EXPECT_EQ(mem.getlong(0), 0xAB000000u);
    for (uint32_t i = 1; i <= SmallFrameCount; i++) EXPECT_EQ(mem.getlong(i * PageSize), 0xAB000000u + i);
}

// A memory whose point check logs what it is asked and answers answer.
struct Checked {
    Memory mem;
    std::vector<std::pair<uint32_t, int>> seen;
    explicit Checked(uint32_t answer)
    {
        mem.chkpoints = [this, answer](uint32_t a, int kind) {
            seen.emplace_back(a, kind);
            return answer;
        };
    }
};

TEST(Memory, AccessChecks)
{
    Checked c(0x99);
    Memory& mem = c.mem;
    auto& seen = c.seen;
    mem.putbyte(0x10, 5);
    EXPECT_TRUE(seen.empty()) << "checks are off";
    mem.checkflag = true;
    mem.getbyte(0x10);
    mem.getbyte(0x10);
    EXPECT_EQ(seen.size(), 2u);
    seen.clear();
    mem.fetchflag = true;
    mem.getbyte(0x10);
    mem.getbyte(0x10);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(mem.fetchflag);
    seen.clear();
    EXPECT_EQ(mem.putbyte(0x20, 1), 0x99u);
    mem.putlong(0x1FE, 7);
    std::vector<std::pair<uint32_t, int>> expect = {
        {0x20, AccessWrite}, {0x1FE, AccessWrite}, {0x1FF, AccessWrite}, {0x200, AccessWrite}, {0x201, AccessWrite}};
    EXPECT_EQ(seen, expect);
}

TEST(Memory, WritesIntoMarkedCodePagesAreReported)
{
    Memory mem;
    std::vector<uint32_t> written;
    mem.codewrite = [&](uint32_t page) { written.push_back(page); };
    mem.putlong(0x400, 1);
    mem.markcode(0x404);
    mem.getlong(0x400);
    mem.putbyte(0x5FF, 1);
    mem.putbyte(0x5FF, 2);  // the mark is gone after the first write
    EXPECT_EQ(written, std::vector<uint32_t>{0x400});
    mem.markcode(0x800);
    mem.discard();
    EXPECT_EQ(written, (std::vector<uint32_t>{0x400, 0x800}));
}

TEST(Memory, SwapFileThatCannotBeCreated)
{
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", "/nonexistent/dir", 1);
    TargetReport report;
    {
        Memory mem(&report);
        mem.setframelimit(SmallFrameCount);
        for (uint32_t i = 0; i < SmallFrameCount + 3; i++) mem.putlong(i * PageSize, i + 7);
        for (uint32_t i = 0; i < SmallFrameCount + 3; i++) EXPECT_EQ(mem.getlong(i * PageSize), i + 7);
    }
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    ASSERT_EQ(report.log.size(), 2u);
    EXPECT_EQ(report.log[0], "can't open: /nonexistent/dir/vekswapXXXXXX\n");
    EXPECT_EQ(report.log[1], "memory file overflow bloc");
}

// A memory point makes every byte of its page go to the point check, with
// the check flag off and whatever the host cache held; points are counted,
// so overlapping ones go one at a time.
TEST(Memory, MemoryPointsCheckTheirPages)
{
    Checked c(0x55);
    Memory& mem = c.mem;
    auto& seen = c.seen;
    mem.putlong(0x1010, 7);
    EXPECT_EQ(mem.getlong(0x1010), 7u);  // cached now
    mem.addwatch(0x11FE, 4);             // the ends of two pages
    mem.addwatch(0x1000, 1);
    EXPECT_TRUE(mem.watched(0x1000) && mem.watched(0x1200) && !mem.watched(0x1400));
    EXPECT_EQ(mem.getlong(0x1010), 7u);
    EXPECT_EQ(mem.putbyte(0x1201, 1), 0x55u);
    mem.getword(0x1400);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, int>>{{0x1010, 1}, {0x1011, 1}, {0x1012, 1}, {0x1013, 1},
                                                           {0x1201, 2}}));
    EXPECT_EQ(mem.notice, NoticeWatch);
    mem.notice = 0;
    mem.removewatch(0x11FE, 4);
    EXPECT_TRUE(mem.watched(0x1000)) << "the second point is still there";
    EXPECT_FALSE(mem.watched(0x1200));
    mem.removewatch(0x1000, 1);
    seen.clear();
    mem.getlong(0x1010);
    mem.putbyte(0x1201, 2);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(mem.notice, 0);
}

// Frames are made as pages are first touched, up to the limit; only then
// does the swap file come in.
TEST(Memory, FramesAreMadeUpToTheLimit)
{
    Memory mem;
    EXPECT_EQ(mem.framelimit(), DefaultFrameCount);
    for (uint32_t i = 0; i < 300; i++) mem.putbyte(i * PageSize, uint8_t(i));
    EXPECT_EQ(mem.framecount(), 300u);
    for (uint32_t i = 0; i < 300; i++) EXPECT_NE(mem.residentframe(i * PageSize), nullptr);
    Memory small;
    small.setframelimit(SmallFrameCount);
    for (uint32_t i = 0; i < 300; i++) small.putbyte(i * PageSize, uint8_t(i));
    EXPECT_EQ(small.framecount(), SmallFrameCount);
    for (uint32_t i = 0; i < 300; i++) EXPECT_EQ(small.getbyte(i * PageSize), uint8_t(i));
}

// A pool too large to stamp every access keeps each page's bytes at the
// page's own address; a page evicted from there (its region given back)
// and reloaded keeps its bytes, and so do the pages around it.
TEST(Memory, LargePoolEvictsAndReloads)
{
    Memory mem;
    const uint32_t frames = 70000;
    mem.setframelimit(frames);
    mem.putlong(0x80000000, 0xFEEDF00D);
    mem.putlong(0x80000000 + PageSize - 2, 0x01020304);
    for (uint32_t i = 0; i < frames; i++) mem.putlong(i * PageSize + 4, i);
    EXPECT_EQ(mem.residentframe(0x80000000), nullptr);
    EXPECT_EQ(mem.getlong(0x80000000), 0xFEEDF00Du);
    EXPECT_EQ(mem.getlong(0x80000000 + PageSize - 2), 0x01020304u);
    EXPECT_EQ(mem.framecount(), frames);
    for (uint32_t i = 0; i < frames; i += 997) EXPECT_EQ(mem.getlong(i * PageSize + 4), i) << i;
    mem.discard();
    EXPECT_EQ(mem.getlong(0x80000000), 0u);
    EXPECT_EQ(mem.getlong(4), 0u);
}
