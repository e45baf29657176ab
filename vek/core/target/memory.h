// Simulated target memory: the whole 32-bit space, big-endian, in 512-byte
// pages that come into being zero-filled on first touch. A fixed pool of
// page frames holds the pages in use; the least recently used frame is
// written to the swap file when another page needs room. The one idea that
// keeps it fast: an index from page address to its frame and swap slot (two
// levels, built as pages are touched) plus the last page used, so a lookup
// never scans.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "vek/core/target/report.h"
#include "vek/core/target/swapfile.h"

namespace vek {

constexpr unsigned FrameCount = 124;

enum PageState : uint8_t { PageEmpty = 0, PageValid = 1, PageDirty = 2 };

struct PageIndex;

struct MemoryPage {
    uint32_t page = 0;     // target address of the first byte
    uint32_t swapoff = 0;  // slot * 512
    uint8_t state = PageEmpty;
    uint64_t stamp = 0;    // access counter at the last access (never wraps)
    PageIndex* index = nullptr;
    int32_t number = 0;    // position in the frame table
    uint8_t data[PageSize] = {};
};

// What the index knows of one page: its swap slot (-1 before first touch)
// and its frame (-1 when not resident), and whether decoded code is cached
// for it.
struct PageIndex {
    int32_t slot = -1;
    int32_t frame = -1;
    bool code = false;
};

// Access kinds passed to the point check.
enum AccessKind : int { AccessRead = 1, AccessWrite = 2 };

class Memory {
public:
    explicit Memory(TargetReport* report = nullptr, std::unique_ptr<SwapStore> swap = nullptr);
    ~Memory();
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;

    uint8_t getbyte(uint32_t address);
    // Returns the point check's result when checking is on, else the byte.
    uint32_t putbyte(uint32_t address, uint8_t value);
    uint16_t getword(uint32_t address);
    void putword(uint32_t address, uint16_t value);
    uint32_t getlong(uint32_t address);
    void putlong(uint32_t address, uint32_t value);
    uint32_t getint(uint32_t address) { return getlong(address); }
    void putint(uint32_t address, uint32_t value) { putlong(address, value); }
    // Block copies of any length, ascending addresses, wrapping at 4 GiB.
    void getmem(void* dest, uint32_t address, size_t count);
    void putmem(uint32_t address, const void* source, size_t count);

    // Empties every frame and the directory: all memory reads 0 again and
    // swap slots are reused from slot 0.
    void discard();
    // Closes the swap file (it is deleted then).
    void closeswap();

    // Access checks: the one-shot fetch flag lets the next byte read pass
    // unchecked; with the check flag on, every byte goes to chkpoints.
    bool fetchflag = false;
    bool checkflag = false;
    std::function<uint32_t(uint32_t address, int kind)> chkpoints;

    // Decoded-code cache support: mark a page as holding cached code; the
    // first write into a marked page calls codewrite with its address and
    // clears the mark.
    void markcode(uint32_t address);
    std::function<void(uint32_t page)> codewrite;

    // Introspection (tests, windows).
    size_t pagecount() const { return directory_.size(); }
    // Swap slot of a page, -1 when never touched.
    int32_t slotof(uint32_t address) const;
    // The frame holding a page, nullptr when it is not resident.
    const MemoryPage* residentframe(uint32_t address) const;
    size_t framecount() const { return frames_.size(); }

private:
    MemoryPage* lookup(uint32_t address);
    MemoryPage* lookupslow(uint32_t page);
    PageIndex& indexof(uint32_t page);
    const PageIndex* findindex(uint32_t page) const;
    MemoryPage* victim();
    bool swapready();
    void notecode(MemoryPage* frame);

    TargetReport* report_;
    std::unique_ptr<SwapStore> swap_;
    bool swapfailed_ = false;
    bool writefailing_ = false;  // reported once until a write-back works again
    std::deque<MemoryPage> frames_;  // stable addresses; grows only when write-back fails
    std::vector<uint32_t> directory_;  // slot -> page address, in first-touch order
    // page number (address >> 9) split 12 + 11 bits
    std::array<std::unique_ptr<std::array<PageIndex, 2048>>, 4096> index_;
    uint64_t counter_ = 0;
    uint32_t lastpage_ = 0;
    MemoryPage* lastframe_ = nullptr;
};

}  // namespace vek
