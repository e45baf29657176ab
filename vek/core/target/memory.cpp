// Paged memory behind the host caches: page lookup through the index,
// victim choice (an empty frame first, a new frame while the pool is below
// its limit, else the least recently used), write-back and reload through
// the swap store, and the byte accessors the wider ones are built from.
//
// A frame is only given a new page once that page's bytes are in it: when a
// reload from the swap file fails the frame stays empty and the access is
// not carried out; when a write-back fails the victim keeps its page and a
// new frame is added instead, so no page is ever lost.
#include "vek/core/target/memory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <sys/mman.h>

namespace vek {

namespace {

// Linux's request to back a range with huge pages at once (older C
// libraries lack the name; older kernels refuse it).
#ifdef MADV_COLLAPSE
constexpr int CollapseNow = MADV_COLLAPSE;
#else
constexpr int CollapseNow = 25;
#endif

// Anonymous zero pages from the system, touched only as used.
void* mapzero(size_t bytes, int protection)
{
    void* p = mmap(nullptr, bytes, protection, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

}  // namespace

Memory::Memory(TargetReport* report, std::unique_ptr<SwapStore> swap)
    : report_(report), swap_(std::move(swap))
{
    host_ = static_cast<uint32_t*>(mapzero(PageCount * sizeof(uint32_t), PROT_READ | PROT_WRITE));
    reservestore();
}

Memory::~Memory()
{
    releasestore();
    munmap(host_, PageCount * sizeof(uint32_t));
}

void Memory::clearhost()
{
    // Dropped pages read back as zero; nothing is touched until used.
    madvise(host_, PageCount * sizeof(uint32_t), MADV_DONTNEED);
}

// The whole 32-bit space, plus room to align it to the huge-page size the
// host backs it with; no access until a region is committed.
void Memory::reservestore()
{
    const size_t bytes = (size_t(1) << 32) + StoreRegion;
    reservation_ = mapzero(bytes, PROT_NONE);
    reserved_ = bytes;
    const uintptr_t at = reinterpret_cast<uintptr_t>(reservation_);
    store_ = reinterpret_cast<uint8_t*>((at + StoreRegion - 1) & ~uintptr_t(StoreRegion - 1));
    committed_.assign((size_t(1) << 32) / StoreRegion / 64, 0);
    resident_.assign((size_t(1) << 32) / StoreRegion, 0);
}

void Memory::releasestore()
{
    if (reservation_) munmap(reservation_, reserved_);
    reservation_ = nullptr;
    store_ = nullptr;
}

void Memory::commit(size_t offset)
{
    const size_t region = offset / StoreRegion;
    uint64_t& word = committed_[region / 64];
    const uint64_t bit = uint64_t(1) << (region % 64);
    if (word & bit) return;
    if (mprotect(store_ + region * StoreRegion, StoreRegion, PROT_READ | PROT_WRITE)) throw std::bad_alloc();
    word |= bit;
}

// A region that holds many pages is worth backing with one huge page: a
// working set spread over megabytes then costs the host few TLB entries. A
// sparse region keeps small pages, so that scattered single pages cost
// little. Both calls are hints; the memory stays correct without them.
void Memory::densify(size_t offset)
{
    uint8_t* region = store_ + offset / StoreRegion * StoreRegion;
    madvise(region, StoreRegion, MADV_HUGEPAGE);
    madvise(region, StoreRegion, CollapseNow);  // the pages there already
}

void Memory::setframelimit(size_t frames)
{
    limit_ = std::max<size_t>(frames, 1);
    exactlru_ = limit_ <= ExactLruFrames;
    // The frames' places are fixed once made.
    if (!nframes_) byaddress_ = !exactlru_;
}

PageIndex& Memory::indexof(uint32_t page)
{
    uint32_t number = page >> 9;
    auto& block = index_[number >> 11];
    if (!block) block = std::make_unique<std::array<PageIndex, 2048>>();
    return (*block)[number & 0x7FF];
}

const PageIndex* Memory::findindex(uint32_t page) const
{
    uint32_t number = page >> 9;
    const auto& block = index_[number >> 11];
    return block ? &(*block)[number & 0x7FF] : nullptr;
}

bool Memory::swapready()
{
    if (swap_) return true;
    if (swapfailed_) return false;
    auto file = std::make_unique<SwapFile>();
    if (!file->open()) {
        swapfailed_ = true;
        if (report_) report_->error(MsgCantOpen, file->name() + "\n");
        return false;
    }
    swap_ = std::move(file);
    return true;
}

void Memory::closeswap()
{
    swap_.reset();
    swapfailed_ = false;
}

MemoryPage* Memory::newframe()
{
    if (nframes_ % ChunkFrames == 0) chunks_.push_back(std::make_unique<MemoryPage[]>(ChunkFrames));
    MemoryPage& f = frame(nframes_);
    f.number = int32_t(nframes_++);
    if (!byaddress_) {
        commit(size_t(f.number) * PageSize);
        f.data = store_ + size_t(f.number) * PageSize;
        if (f.number % (StoreRegion / PageSize) == DenseRegion - 1) densify(size_t(f.number) * PageSize);
    }
    stamps_.push_back(0);
    return &f;
}

MemoryPage* Memory::victim()
{
    if (!empty_.empty()) {
        MemoryPage* f = &frame(size_t(empty_.top()));
        empty_.pop();
        return f;
    }
    if (nframes_ < limit_) return newframe();
    size_t oldest = 0;
    for (size_t k = 1; k < nframes_; k++)
        if (stamps_[k] < stamps_[oldest]) oldest = k;
    MemoryPage* best = &frame(oldest);
    if (best->state & PageDirty) {
        if (!swapready() || !swap_->writeslot(uint32_t(best->index->slot), best->data)) {
            // Written to the output, not as an error: nothing is lost.
            if (report_ && !writefailing_)
                report_->text(std::string(targetmsgtext(MsgMemoryFileOverflow)) + " bloc");
            writefailing_ = true;
            // Keep the page where it is; the new page gets a frame of its own.
            return newframe();
        }
        writefailing_ = false;
        best->state &= uint8_t(~PageDirty);
        best->index->dirty = 0;
    }
    return best;
}

PageIndex* Memory::lookup(uint32_t address)
{
    const uint32_t page = pageof(address);
    PageIndex& ix = indexof(page);
    if (ix.frame) {
        stamps_[size_t(ix.number)] = ++counter_;
        return &ix;
    }
    MemoryPage* f = victim();
    if (f->state != PageEmpty) {
        drophost(f->page);
        if (byaddress_ && !--resident_[f->page / StoreRegion])
            madvise(store_ + size_t(f->page / StoreRegion) * StoreRegion, StoreRegion, MADV_DONTNEED);  // give it back
        *f->index = PageIndex{nullptr, -1, f->index->slot, f->index->watch, f->index->code, 0};
        f->index = nullptr;
        f->state = PageEmpty;
    }
    if (byaddress_) {
        commit(page);
        f->data = store_ + page;
    }
    if (ix.slot < 0) {
        ix.slot = int32_t(directory_.size());
        directory_.push_back(page);
        // Bytes kept at the page's address were never written: still zero.
        if (!byaddress_) std::memset(f->data, 0, PageSize);
        f->state = PageValid | PageDirty;
    } else {
        if (!swapready() || !swap_->readslot(uint32_t(ix.slot), f->data)) {
            if (report_) report_->error(MsgReadError, " bloc");
            empty_.push(f->number);  // the frame stays empty
            return nullptr;
        }
        f->state = PageValid;
    }
    f->page = page;
    if (byaddress_ && ++resident_[page / StoreRegion] == DenseRegion) densify(page);
    f->swapoff = uint32_t(ix.slot) * PageSize;
    f->index = &ix;
    ix.frame = f;
    ix.number = f->number;
    ix.dirty = (f->state & PageDirty) != 0;
    stamps_[size_t(f->number)] = ++counter_;
    return &ix;
}

// The bytes of a page for reading, entered into the read cache unless a
// memory point lies on it.
uint8_t* Memory::readable(uint32_t address)
{
    PageIndex* ix = lookup(address);
    if (!ix) return nullptr;
    uint32_t& e = host_[address / PageSize];
    if (hostcache_ && !ix->watch && !(e & HostWritable)) sethost(pageof(address), *ix, HostValid);
    return ix->frame->data;
}

// The bytes of a page for writing: the page is dirty from now on, and a
// page of decoded code is reported once (its mark goes). It enters both
// caches unless a memory point lies on it.
uint8_t* Memory::writable(uint32_t address)
{
    PageIndex* ix = lookup(address);
    if (ix && ix->code) {
        ix->code = 0;
        notice |= NoticeCode;
        if (codewrite) codewrite(pageof(address));
        ix = lookup(address);  // whatever the callback did to memory
    }
    if (!ix) return nullptr;
    if (!ix->dirty) {
        ix->dirty = 1;
        ix->frame->state |= PageDirty;
    }
    if (hostcache_ && !ix->watch) sethost(pageof(address), *ix, HostValid | HostWritable);
    return ix->frame->data;
}

void Memory::sethostcache(bool on)
{
    hostcache_ = on;
    clearhost();
}

bool Memory::watched(uint32_t address) const
{
    const PageIndex* ix = findindex(pageof(address));
    return ix && ix->watch;
}

uint8_t Memory::getbyteslow(uint32_t address)
{
    const bool watch = watched(address);
    if (fetchflag)
        fetchflag = false;
    else if ((checkflag || watch) && chkpoints)
        chkpoints(address, AccessRead);
    if (watch) notice |= NoticeWatch;
    const uint8_t* d = readable(address);
    return d ? d[address % PageSize] : 0;
}

uint32_t Memory::putbyteslow(uint32_t address, uint8_t value)
{
    const bool watch = watched(address);
    if (uint8_t* d = writable(address)) d[address % PageSize] = value;
    if (watch) notice |= NoticeWatch;
    if ((checkflag || watch) && chkpoints) return chkpoints(address, AccessWrite);
    return value;
}

uint32_t Memory::getlongslow(uint32_t address)
{
    // Unchecked and within one page: one lookup for the four bytes.
    if (!checkflag && address % PageSize <= PageSize - 4 && !watched(address)) {
        fetchflag = false;
        const uint8_t* d = readable(address);
        return d ? load32(d + address % PageSize) : 0;
    }
    uint32_t hi = getword(address);
    return hi << 16 | getword(address + 2);
}

void Memory::putlongslow(uint32_t address, uint32_t value)
{
    if (!checkflag && address % PageSize <= PageSize - 4 && !watched(address)) {
        if (uint8_t* d = writable(address)) store32(d + address % PageSize, value);
        return;
    }
    putword(address, uint16_t(value >> 16));
    putword(address + 2, uint16_t(value));
}

uint16_t Memory::peekword(uint32_t address)
{
    const uint32_t hi = peekbyte(address);
    return uint16_t(hi << 8 | peekbyte(address + 1));
}

uint8_t Memory::peekbyte(uint32_t address)
{
    const PageIndex* ix = findindex(pageof(address));
    if (!ix || (!ix->frame && ix->slot < 0)) return 0;   // never touched
    const uint8_t* d = readable(address);
    return d ? d[address % PageSize] : 0;
}

uint32_t Memory::peeklong(uint32_t address)
{
    return uint32_t(peekword(address)) << 16 | peekword(address + 2);
}

void Memory::getmem(void* dest, uint32_t address, size_t count)
{
    auto* out = static_cast<uint8_t*>(dest);
    if (count) fetchflag = checkflag && fetchflag;  // used up unless the first byte takes it
    while (count) {
        size_t off = address % PageSize;
        size_t n = std::min<size_t>(count, PageSize - off);
        if (checkflag || watched(address)) {
            for (size_t i = 0; i < n; i++) out[i] = getbyte(address + uint32_t(i));
        } else if (const uint8_t* d = readable(address)) {
            std::memcpy(out, d + off, n);
        } else {
            std::memset(out, 0, n);
        }
        out += n;
        address += uint32_t(n);
        count -= n;
    }
}

void Memory::putmem(uint32_t address, const void* source, size_t count)
{
    const auto* in = static_cast<const uint8_t*>(source);
    while (count) {
        size_t off = address % PageSize;
        size_t n = std::min<size_t>(count, PageSize - off);
        if (checkflag || watched(address)) {
            for (size_t i = 0; i < n; i++) putbyte(address + uint32_t(i), in[i]);
        } else if (uint8_t* d = writable(address)) {
            std::memcpy(d + off, in, n);
        }
        in += n;
        address += uint32_t(n);
        count -= n;
    }
}

void Memory::discard()
{
    // Whatever was decoded from memory is stale now.
    for (auto& block : index_) {
        if (!block) continue;
        for (PageIndex& ix : *block)
            if (ix.code && codewrite) codewrite(uint32_t((&block - index_.data()) << 20 | (&ix - block->data()) << 9));
    }
    for (auto& block : index_) block.reset();
    directory_.clear();
    chunks_.clear();
    nframes_ = 0;
    empty_ = {};
    stamps_.clear();
    clearhost();
    releasestore();
    reservestore();
    byaddress_ = !exactlru_;
}

void Memory::markcode(uint32_t address)
{
    const uint32_t page = pageof(address);
    indexof(page).code = true;
    host_[page / PageSize] &= ~HostWritable;
}

void Memory::setwatch(uint32_t address, uint32_t length, bool on)
{
    if (length == 0) return;
    uint64_t pages = (uint64_t(address % PageSize) + length + PageSize - 1) / PageSize;
    for (uint32_t page = pageof(address); pages--; page += PageSize) {
        PageIndex& ix = indexof(page);
        if (on) {
            ix.watch++;
            drophost(page);
        } else if (ix.watch) {
            ix.watch--;
        }
    }
}

void Memory::addwatch(uint32_t address, uint32_t length) { setwatch(address, length, true); }
void Memory::removewatch(uint32_t address, uint32_t length) { setwatch(address, length, false); }

int32_t Memory::slotof(uint32_t address) const
{
    const PageIndex* ix = findindex(pageof(address));
    return ix ? ix->slot : -1;
}

const MemoryPage* Memory::residentframe(uint32_t address) const
{
    const PageIndex* ix = findindex(pageof(address));
    return ix ? ix->frame : nullptr;
}

}  // namespace vek
