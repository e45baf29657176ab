// Simulated target memory: the whole 32-bit space, big-endian, in 512-byte
// pages that come into being zero-filled on first touch. A pool of page
// frames holds the pages in use; once the pool has reached its limit, the
// least recently used frame is written to the swap file when another page
// needs room. The limit is a parameter: by default it is large enough that
// real programs never swap (1 GiB of frames, made as pages are touched);
// a small pool keeps the host footprint fixed.
//
// The bytes of all frames live in one reservation of host address space
// (committed as it is used, in huge-page-sized regions; a region holding
// many pages is backed by a huge page). In a large pool a
// page's bytes sit at the page's own target address in it, so the host
// address of any access is known before anything is looked up, and a
// region whose pages have all been evicted goes back to the system; a small
// pool packs its frames at the start.
//
// The one idea that keeps it fast: a flat table with one word per target
// page, telling whether the page is resident and whether an access may go
// straight to its bytes, consulted inline before anything else. An entry
// goes when its frame is evicted; writes go straight only to pages that are
// dirty already, hold no decoded code and carry no memory point, so such a
// write has nothing to report. Behind it, an index from page address to
// frame and swap slot (two levels, built as pages are touched) means a
// lookup never scans.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "vek/core/target/report.h"
#include "vek/core/target/swapfile.h"

namespace vek {

// A small frame pool (62 KiB): a fixed host footprint, and the setting
// under which eviction and the swap file are exercised.
constexpr size_t SmallFrameCount = 124;
// The default limit: 1 GiB of resident pages before eviction starts.
constexpr size_t DefaultFrameCount = (size_t(1) << 30) / PageSize;

enum PageState : uint8_t { PageEmpty = 0, PageValid = 1, PageDirty = 2 };

struct PageIndex;

struct MemoryPage {
    uint32_t page = 0;     // target address of the first byte
    uint32_t swapoff = 0;  // slot * 512
    uint8_t state = PageEmpty;
    PageIndex* index = nullptr;
    int32_t number = 0;    // position in the frame table; its access stamp
                           // is kept apart (Memory::stamp)
    uint8_t* data = nullptr;  // PageSize bytes in the frame store
};

// What the index knows of one page: its frame (nullptr when not resident)
// with the frame's number and dirty bit, its swap slot (-1 before first
// touch), how many memory points lie on it and whether decoded code is
// cached for it. A lookup reads only this, never the frame's header.
struct PageIndex {
    MemoryPage* frame = nullptr;
    int32_t number = -1;
    int32_t slot = -1;
    uint32_t watch : 30 = 0;
    uint32_t code : 1 = 0;
    uint32_t dirty : 1 = 0;
};

// Access kinds passed to the point check.
enum AccessKind : int { AccessRead = 1, AccessWrite = 2 };

// Bits of Memory::notice: what happened since the executor last looked.
enum MemoryNotice : uint8_t {
    NoticeCode = 1,   // a page holding decoded code was written
    NoticeWatch = 2,  // a page with a memory point was accessed
};

class Memory {
public:
    explicit Memory(TargetReport* report = nullptr, std::unique_ptr<SwapStore> swap = nullptr);
    ~Memory();
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;

    // The most frames that hold pages before eviction starts. Frames are
    // made as pages are first touched; lowering the limit below the frames
    // already made takes effect as they are reused.
    void setframelimit(size_t frames);
    size_t framelimit() const { return limit_; }

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

    // Reads for the decoder's blocks: no access check and no memory point
    // sees them, and the one-shot fetch flag stays as it is.
    uint16_t peekword(uint32_t address);
    // Reads for the windows: as peekword, and a page never written reads 0
    // without coming into being.
    uint8_t peekbyte(uint32_t address);
    uint32_t peeklong(uint32_t address);

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

    // Memory points: every byte accessed on a page that holds one goes to
    // chkpoints as with the check flag, and sets NoticeWatch. Points are
    // counted per page, so overlapping ranges are removed one by one.
    void addwatch(uint32_t address, uint32_t length);
    void removewatch(uint32_t address, uint32_t length);
    bool watched(uint32_t address) const;

    // Decoded-code cache support: mark a page as holding cached code; the
    // first write into a marked page calls codewrite with its address,
    // sets NoticeCode and clears the mark.
    void markcode(uint32_t address);
    std::function<void(uint32_t page)> codewrite;
    // Set by memory, cleared by whoever acts on it (MemoryNotice bits).
    uint8_t notice = 0;

    // With false, every access takes the page lookup (the reference path
    // the host-pointer caches are compared with).
    void sethostcache(bool on);

    // Introspection (tests, windows).
    size_t pagecount() const { return directory_.size(); }
    // Swap slot of a page, -1 when never touched.
    int32_t slotof(uint32_t address) const;
    // The frame holding a page, nullptr when it is not resident.
    const MemoryPage* residentframe(uint32_t address) const;
    // Frames made so far.
    size_t framecount() const { return nframes_; }
    // The access counter's value at a frame's last access (it never wraps):
    // the least recently used frame is the one with the smallest stamp.
    // Large pools stamp only the accesses that miss the host caches.
    uint64_t stamp(const MemoryPage* frame) const { return stamps_[size_t(frame->number)]; }

private:
    // The host table: one word per target page, the page's frame number
    // shifted left by 2, with HostValid when reads may use the frame's
    // bytes directly and HostWritable when writes may too; 0 otherwise.
    static constexpr uint32_t HostValid = 1, HostWritable = 2;
    static constexpr size_t PageCount = (size_t(1) << 32) / PageSize;
    static uint32_t pageof(uint32_t address) { return address & ~(PageSize - 1); }
    // The bytes of a page when the host table lets the access through, or
    // nullptr; want is HostValid for a read, HostValid | HostWritable for a
    // write. In a large pool the bytes' address does not depend on the
    // table's word, so the host fetches both at once. The access is
    // stamped only when the pool is small enough for eviction to matter:
    // counting every access is a chain through memory that costs more
    // than the access itself, and a large pool evicts only past what a
    // small one could hold at all, where an order by the last access that
    // missed the table does as well.
    [[gnu::always_inline]] uint8_t* hosthit(uint32_t address, uint32_t want)
    {
        const uint32_t e = host_[address / PageSize];
        if (byaddress_) [[likely]] {
            if ((e & want) != want) return nullptr;
            if (exactlru_) [[unlikely]]  // a limit lowered once frames were made
                stamps_[e >> 2] = ++counter_;
            return store_ + pageof(address);
        }
        if ((e & want) != want) return nullptr;
        if (exactlru_) stamps_[e >> 2] = ++counter_;
        return store_ + size_t(e >> 2) * PageSize;
    }
    // Big-endian words in a page's bytes.
    static uint32_t load32(const uint8_t* b)
    {
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
    static void store32(uint8_t* b, uint32_t v)
    {
        b[0] = uint8_t(v >> 24), b[1] = uint8_t(v >> 16), b[2] = uint8_t(v >> 8), b[3] = uint8_t(v);
    }
    // Pools up to this size stamp every access and pack their frames.
    static constexpr size_t ExactLruFrames = 65536;
    void clearhost();
    void drophost(uint32_t page) { host_[page / PageSize] = 0; }
    void sethost(uint32_t page, const PageIndex& ix, uint32_t flags)
    {
        host_[page / PageSize] = uint32_t(ix.number) << 2 | flags;
    }
    // The frame store: reserved whole, committed a region at a time.
    static constexpr size_t StoreRegion = size_t(2) << 20;
    void reservestore();
    void releasestore();
    void commit(size_t offset);
    // Pages in a region from which huge pages back it.
    static constexpr size_t DenseRegion = 512;
    void densify(size_t offset);

    uint8_t getbyteslow(uint32_t address);
    uint32_t putbyteslow(uint32_t address, uint8_t value);
    uint32_t getlongslow(uint32_t address);
    void putlongslow(uint32_t address, uint32_t value);
    PageIndex* lookup(uint32_t address);
    uint8_t* readable(uint32_t address);
    uint8_t* writable(uint32_t address);
    PageIndex& indexof(uint32_t page);
    const PageIndex* findindex(uint32_t page) const;
    MemoryPage* victim();
    MemoryPage& frame(size_t number) { return chunks_[number / ChunkFrames][number % ChunkFrames]; }
    MemoryPage* newframe();
    bool swapready();
    void setwatch(uint32_t address, uint32_t length, bool on);

    // What every access reads first, together.
    uint32_t* host_ = nullptr;  // PageCount words, mapped untouched
    uint8_t* store_ = nullptr;  // 4 GiB of address space, 2 MiB aligned
    bool byaddress_ = true;    // page bytes at store_ + page, else by frame
    bool exactlru_ = false;
    uint64_t counter_ = 0;
    std::vector<uint64_t> stamps_;  // by frame number

    TargetReport* report_;
    std::unique_ptr<SwapStore> swap_;
    bool swapfailed_ = false;
    bool writefailing_ = false;  // reported once until a write-back works again
    bool hostcache_ = true;
    size_t limit_ = DefaultFrameCount;
    // Frames in chunks (stable addresses); frame n is chunk n / ChunkFrames.
    static constexpr size_t ChunkFrames = 256;
    std::vector<std::unique_ptr<MemoryPage[]>> chunks_;
    size_t nframes_ = 0;
    void* reservation_ = nullptr;
    size_t reserved_ = 0;
    std::vector<uint64_t> committed_;  // a bit per region of the store
    // Pages resident per region of the store when bytes sit by address: a
    // region left with none goes back to the system.
    std::vector<uint16_t> resident_;
    // Empty frames made earlier, lowest number first.
    std::priority_queue<int32_t, std::vector<int32_t>, std::greater<int32_t>> empty_;
    std::vector<uint32_t> directory_;  // slot -> page address, in first-touch order
    // page number (address >> 9) split 12 + 11 bits
    std::array<std::unique_ptr<std::array<PageIndex, 2048>>, 4096> index_;
};

// ---- the inline fast paths: a host-cache hit with no check to make

[[gnu::always_inline]] inline uint8_t Memory::getbyte(uint32_t address)
{
    if (!checkflag && !fetchflag)
        if (uint8_t* d = hosthit(address, HostValid)) return d[address % PageSize];
    return getbyteslow(address);
}

[[gnu::always_inline]] inline uint32_t Memory::putbyte(uint32_t address, uint8_t value)
{
    if (!checkflag)
        if (uint8_t* d = hosthit(address, HostValid | HostWritable)) {
            d[address % PageSize] = value;
            return value;
        }
    return putbyteslow(address, value);
}

[[gnu::always_inline]] inline uint16_t Memory::getword(uint32_t address)
{
    if (!checkflag && !fetchflag && address % PageSize <= PageSize - 2)
        if (const uint8_t* d = hosthit(address, HostValid)) {
            const uint8_t* b = d + address % PageSize;
            return uint16_t(b[0] << 8 | b[1]);
        }
    uint32_t hi = getbyte(address);
    return uint16_t(hi << 8 | getbyte(address + 1));
}

[[gnu::always_inline]] inline void Memory::putword(uint32_t address, uint16_t value)
{
    if (!checkflag && address % PageSize <= PageSize - 2)
        if (uint8_t* d = hosthit(address, HostValid | HostWritable)) {
            uint8_t* b = d + address % PageSize;
            b[0] = uint8_t(value >> 8);
            b[1] = uint8_t(value);
            return;
        }
    putbyte(address, uint8_t(value >> 8));
    putbyte(address + 1, uint8_t(value));
}

[[gnu::always_inline]] inline uint32_t Memory::getlong(uint32_t address)
{
    if (!checkflag && !fetchflag && address % PageSize <= PageSize - 4)
        if (const uint8_t* d = hosthit(address, HostValid)) return load32(d + address % PageSize);
    return getlongslow(address);
}

[[gnu::always_inline]] inline void Memory::putlong(uint32_t address, uint32_t value)
{
    if (!checkflag && address % PageSize <= PageSize - 4)
        if (uint8_t* d = hosthit(address, HostValid | HostWritable)) {
            store32(d + address % PageSize, value);
            return;
        }
    putlongslow(address, value);
}

}  // namespace vek
