// Paged memory: page lookup through the index, victim choice (an empty frame
// first, else the least recently used), write-back and reload through the
// swap store, and the byte accessors the wider ones are built from.
//
// A frame is only given a new page once that page's bytes are in it: when a
// reload from the swap file fails the frame stays empty and the access is
// not carried out; when a write-back fails the victim keeps its page and a
// new frame is added instead, so no page is ever lost.
#include "vek/core/target/memory.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vek {

namespace {

constexpr uint32_t OffsetMask = PageSize - 1;

}  // namespace

Memory::Memory(TargetReport* report, std::unique_ptr<SwapStore> swap)
    : report_(report), swap_(std::move(swap)), frames_(FrameCount)
{
    for (size_t k = 0; k < frames_.size(); k++) frames_[k].number = int32_t(k);
}

Memory::~Memory() = default;

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

MemoryPage* Memory::victim()
{
    for (MemoryPage& f : frames_)
        if (f.state == PageEmpty) return &f;
    MemoryPage* best = &frames_.front();
    for (MemoryPage& f : frames_)
        if (f.stamp < best->stamp) best = &f;
    if (best->state & PageDirty) {
        if (!swapready() || !swap_->writeslot(uint32_t(best->index->slot), best->data)) {
            // Written to the output, not as an error: nothing is lost.
            if (report_ && !writefailing_)
                report_->text(std::string(targetmsgtext(MsgMemoryFileOverflow)) + " bloc");
            writefailing_ = true;
            // Keep the page where it is; the new page gets a frame of its own.
            MemoryPage& extra = frames_.emplace_back();
            extra.number = int32_t(frames_.size() - 1);
            return &extra;
        }
        writefailing_ = false;
        best->state &= uint8_t(~PageDirty);
    }
    return best;
}

MemoryPage* Memory::lookupslow(uint32_t page)
{
    PageIndex& ix = indexof(page);
    if (ix.frame >= 0) {
        MemoryPage* f = &frames_[size_t(ix.frame)];
        f->stamp = ++counter_;
        lastpage_ = page;
        lastframe_ = f;
        return f;
    }
    MemoryPage* f = victim();
    if (f == lastframe_) lastframe_ = nullptr;
    if (f->state != PageEmpty) {
        f->index->frame = -1;
        f->index = nullptr;
        f->state = PageEmpty;
    }
    if (ix.slot < 0) {
        ix.slot = int32_t(directory_.size());
        directory_.push_back(page);
        std::memset(f->data, 0, PageSize);
        f->state = PageValid | PageDirty;
    } else {
        if (!swapready() || !swap_->readslot(uint32_t(ix.slot), f->data)) {
            if (report_) report_->error(MsgReadError, " bloc");
            return nullptr;  // the frame stays empty
        }
        f->state = PageValid;
    }
    f->page = page;
    f->swapoff = uint32_t(ix.slot) * PageSize;
    f->index = &ix;
    ix.frame = f->number;
    f->stamp = ++counter_;
    lastpage_ = page;
    lastframe_ = f;
    return f;
}

inline MemoryPage* Memory::lookup(uint32_t address)
{
    uint32_t page = address & ~OffsetMask;
    if (lastframe_ && page == lastpage_) {
        lastframe_->stamp = ++counter_;
        return lastframe_;
    }
    return lookupslow(page);
}

void Memory::notecode(MemoryPage* frame)
{
    frame->index->code = false;
    if (codewrite) codewrite(frame->page);
}

uint8_t Memory::getbyte(uint32_t address)
{
    if (fetchflag)
        fetchflag = false;
    else if (checkflag && chkpoints)
        chkpoints(address, AccessRead);
    MemoryPage* p = lookup(address);
    return p ? p->data[address & OffsetMask] : 0;
}

uint32_t Memory::putbyte(uint32_t address, uint8_t value)
{
    if (MemoryPage* p = lookup(address)) {
        p->state |= PageDirty;
        if (p->index->code) notecode(p);
        p->data[address & OffsetMask] = value;
    }
    if (checkflag && chkpoints) return chkpoints(address, AccessWrite);
    return value;
}

uint16_t Memory::getword(uint32_t address)
{
    uint32_t hi = getbyte(address);
    return uint16_t(hi << 8 | getbyte(address + 1));
}

void Memory::putword(uint32_t address, uint16_t value)
{
    putbyte(address, uint8_t(value >> 8));
    putbyte(address + 1, uint8_t(value));
}

uint32_t Memory::getlong(uint32_t address)
{
    // Unchecked and within one page: one lookup for the four bytes.
    if (!checkflag && (address & OffsetMask) <= PageSize - 4) {
        fetchflag = false;
        MemoryPage* p = lookup(address);
        if (!p) return 0;
        const uint8_t* b = p->data + (address & OffsetMask);
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
    uint32_t hi = getword(address);
    return hi << 16 | getword(address + 2);
}

void Memory::putlong(uint32_t address, uint32_t value)
{
    if (!checkflag && (address & OffsetMask) <= PageSize - 4) {
        MemoryPage* p = lookup(address);
        if (!p) return;
        p->state |= PageDirty;
        if (p->index->code) notecode(p);
        uint8_t* b = p->data + (address & OffsetMask);
        b[0] = uint8_t(value >> 24);
        b[1] = uint8_t(value >> 16);
        b[2] = uint8_t(value >> 8);
        b[3] = uint8_t(value);
        return;
    }
    putword(address, uint16_t(value >> 16));
    putword(address + 2, uint16_t(value));
}

void Memory::getmem(void* dest, uint32_t address, size_t count)
{
    auto* out = static_cast<uint8_t*>(dest);
    if (checkflag) {
        for (size_t i = 0; i < count; i++) out[i] = getbyte(address + uint32_t(i));
        return;
    }
    if (count) fetchflag = false;
    while (count) {
        size_t off = address & OffsetMask;
        size_t n = std::min<size_t>(count, PageSize - off);
        if (MemoryPage* p = lookup(address))
            std::memcpy(out, p->data + off, n);
        else
            std::memset(out, 0, n);
        out += n;
        address += uint32_t(n);
        count -= n;
    }
}

void Memory::putmem(uint32_t address, const void* source, size_t count)
{
    const auto* in = static_cast<const uint8_t*>(source);
    if (checkflag) {
        for (size_t i = 0; i < count; i++) putbyte(address + uint32_t(i), in[i]);
        return;
    }
    while (count) {
        size_t off = address & OffsetMask;
        size_t n = std::min<size_t>(count, PageSize - off);
        if (MemoryPage* p = lookup(address)) {
            p->state |= PageDirty;
            if (p->index->code) notecode(p);
            std::memcpy(p->data + off, in, n);
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
    for (MemoryPage& f : frames_) {
        f.state = PageEmpty;
        f.index = nullptr;
    }
    for (auto& block : index_) block.reset();
    directory_.clear();
    lastframe_ = nullptr;
}

void Memory::markcode(uint32_t address) { indexof(address & ~OffsetMask).code = true; }

int32_t Memory::slotof(uint32_t address) const
{
    const PageIndex* ix = findindex(address & ~OffsetMask);
    return ix ? ix->slot : -1;
}

const MemoryPage* Memory::residentframe(uint32_t address) const
{
    const PageIndex* ix = findindex(address & ~OffsetMask);
    return ix && ix->frame >= 0 ? &frames_[size_t(ix->frame)] : nullptr;
}

}  // namespace vek
