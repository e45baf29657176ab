// The run loop: decoded blocks with their chains, and the careful path.
//
// A block holds the instructions from its first address up to and including
// the first branch, or up to the end of its page (its last instruction may
// reach into the next page; the block is then on both pages' lists). It is
// found through the chain of the block before it, a small direct-mapped
// table, or the map of all blocks, and decoded when none has it.
//
// Blocks are never freed while a run may hold one: a store into the page of
// the running block drops the block (it is marked invalid and moved to the
// dead list) and ends it after the storing instruction; dead blocks are
// freed between blocks, once the chains that still point at them are cut.
#include <algorithm>
#include <cstring>

#include "vek/core/exec/exec.h"
#include "vek/core/exec/insntable.h"

namespace vek {

struct Block {
    uint32_t pc = 0;          // first instruction
    uint32_t end = 0;         // address after the last
    bool valid = true;        // false once dropped
    bool haspoint = false;    // a code point lies at its first instruction
    // The blocks a run went to from here, by their first address: one for
    // the branch taken, one for falling through.
    uint32_t succpc[2] = {1, 1};
    Block* succ[2] = {};
    std::vector<Insn> insn;
    const Insn* stop = nullptr;  // after the last instruction
};

namespace {

void undecodable(Executor&, const Insn&) {}

constexpr size_t MaxBlock = 64;   // instructions in one block
constexpr size_t DeadBatch = 64;  // dropped blocks freed together

uint32_t pageof(uint32_t address) { return address & ~(PageSize - 1); }

}  // namespace

Executor::Executor(RegisterFile& rf, Memory& m, TargetReport* rep)
    : regs(rf), mem(m), report(rep), r(rf.core0()), jump_(std::make_unique<JumpEntry[]>(JumpEntries))
{
    time_ = &spare_time_;
    nbins_ = &spare_nbins_;
    mem.codewrite = [this](uint32_t page) { dropcode(page); };
}

Executor::~Executor() { mem.codewrite = nullptr; }

void Executor::setvleboundary(uint32_t address)
{
    if (address != vle_) flushcache();
    vle_ = address;
}

void Executor::setreference(bool on)
{
    reference_ = on;
    mem.sethostcache(!on);
    flushcache();
}

// ---- code points

void Executor::addpoint(uint32_t address)
{
    if (!points_.insert(address).second) return;
    pointpages_[pageof(address)]++;
    flushcache();  // blocks learn of their points when they are decoded
}

void Executor::removepoint(uint32_t address)
{
    if (!points_.erase(address)) return;
    auto it = pointpages_.find(pageof(address));
    if (--it->second == 0) pointpages_.erase(it);
    flushcache();
}

void Executor::clearpoints()
{
    if (points_.empty()) return;
    points_.clear();
    pointpages_.clear();
    flushcache();
}

void Executor::setpoints(const std::vector<uint32_t>& addresses)
{
    points_.clear();
    pointpages_.clear();
    for (uint32_t a : addresses)
        if (points_.insert(a).second) pointpages_[pageof(a)]++;
    flushcache();
}

// ---- the block cache

void Executor::flushcache()
{
    for (auto& [pc, block] : blocks_) {
        block->valid = false;
        dead_.push_back(std::move(block));
    }
    blocks_.clear();
    pageblocks_.clear();
    for (unsigned k = 0; k < JumpEntries; k++) jump_[k] = JumpEntry{};
    if (!running_) freedead();
}

void Executor::dropcode(uint32_t page)
{
    auto it = pageblocks_.find(page);
    if (it == pageblocks_.end()) return;
    std::vector<Block*> list = std::move(it->second);
    pageblocks_.erase(it);
    for (Block* b : list) {
        if (!b->valid) continue;
        b->valid = false;
        JumpEntry& j = jump_[(b->pc >> 1) & (JumpEntries - 1)];
        if (j.block == b) j = JumpEntry{};
        // A block reaching into the next page is on that page's list too.
        for (uint32_t other : {pageof(b->pc), pageof(b->end - 1)}) {
            if (other == page) continue;
            auto o = pageblocks_.find(other);
            if (o == pageblocks_.end()) continue;
            std::erase(o->second, b);
            if (o->second.empty()) pageblocks_.erase(o);
        }
        auto own = blocks_.find(b->pc);
        dead_.push_back(std::move(own->second));
        blocks_.erase(own);
    }
    if (!running_) freedead();
}

// Cuts the chains into dropped blocks, then frees them.
void Executor::freedead()
{
    if (dead_.empty()) return;
    for (auto& [pc, block] : blocks_)
        for (int k = 0; k < 2; k++)
            if (block->succ[k] && !block->succ[k]->valid) block->succ[k] = nullptr, block->succpc[k] = 1;
    dead_.clear();
}

const Insn& Executor::decodeinto(Insn& slot, uint32_t pc, bool peek)
{
    auto half = [&](uint32_t a) -> uint32_t { return peek ? mem.peekword(a) : mem.getword(a); };
    Insn i;
    uint32_t word;
    InsnSet set;
    if (pc >= vle_) {
        uint32_t first = half(pc);
        if (isvle32(first)) {
            word = first << 16 | half(pc + 2);
            set = InsnSet::Vle32;
            i.len = 4;
        } else {
            word = first;
            set = InsnSet::Vle16;
            i.len = 2;
        }
    } else {
        word = peek ? half(pc) << 16 | half(pc + 2) : mem.getlong(pc);
        set = InsnSet::Classic;
        i.len = 4;
    }
    i.next = pc + i.len;
    i.row = findrow(set, word);
    if (i.row) {
        const InsnRow& row = insnrows()[i.row];
        readfields(row, word, pc, i);
        i.fn = row.fn;
    } else {
        i.fn = undecodable;
        i.imm = word;  // kept for the report
    }
    slot = i;
    return slot;
}

Block* Executor::buildblock(uint32_t pc)
{
    auto b = std::make_unique<Block>();
    b->pc = pc;
    const uint32_t page = pageof(pc);
    uint32_t at = pc;
    const bool pointpage = pointpages_.count(page) != 0;
    do {
        // A code point begins a block of its own, so points are only ever
        // asked about between blocks.
        if (at != pc && pointpage && points_.count(at)) break;
        Insn i;
        decodeinto(i, at, true);
        if (!i.row) break;  // left to the careful path, which reports it
        b->insn.push_back(i);
        at = i.next;
        if (rowencoding(i.row).branch) break;
    } while (pageof(at) == page && b->insn.size() < MaxBlock);
    if (b->insn.empty()) return nullptr;
    b->end = at;
    for (Insn& i : b->insn) i.tfn = threadfn(i.row, &i == &b->insn.back());
    b->stop = b->insn.data() + b->insn.size();
    for (uint32_t p : {page, pageof(b->end - 1)}) {
        std::vector<Block*>& list = pageblocks_[p];
        if (list.empty() || list.back() != b.get()) list.push_back(b.get());
        mem.markcode(p);  // the first write into the page drops its blocks
    }
    b->haspoint = pointpage && points_.count(pc) != 0;
    Block* raw = b.get();
    blocks_[pc] = std::move(b);
    return raw;
}

Block* Executor::findblock(uint32_t pc)
{
    JumpEntry& j = jump_[(pc >> 1) & (JumpEntries - 1)];
    if (j.pc == pc && j.block) return j.block;
    auto it = blocks_.find(pc);
    Block* b = it != blocks_.end() ? it->second.get() : buildblock(pc);
    if (b) j = {pc, b};
    return b;
}

// ---- running

void Executor::counters()
{
    time_ = time ? time : &spare_time_;
    nbins_ = nbins ? nbins : &spare_nbins_;
}

bool Executor::careful() const { return reference_ || afterstep || mem.checkflag; }

// Runs blocks from b on, following their chains, until budget instructions
// have run or something needs the run loop: an instruction that left a
// notice in memory (it wrote decoded code or touched a memory point), a
// block with a code point, an address with no block, the stop flag. The
// counters are settled once at the end: nothing reads them in between.
uint64_t Executor::runblocks(Block* b, uint64_t budget, const volatile int* stop)
{
    counters();
    Memory& m = mem;
    m.fetchflag = false;  // running decoded code uses up the one-shot flag
    m.notice = 0;
    uint32_t* const pc = &r[RegPc - 1];
    const bool points = bool(atpoint);
    uint64_t done = 0, settled = 0;
    for (;;) {
        const Insn* const first = b->insn.data();
        const size_t size = b->insn.size();
        const Insn* ran;  // after the last instruction run
        if (budget - done >= size) {
            ran = first->tfn(*this, first);
        } else {  // the count ends inside the block
            const Insn* const end = first + (budget - done);
            ran = first;
            do ran->fn(*this, *ran);
            while (++ran != end && !m.notice);
        }
        if (ran != b->stop) {  // the last one run did not set pc
            done += size_t(ran - first);
            *pc = ran[-1].next;
            break;
        }
        done += size;
        if (m.notice || done >= budget || (stop && *stop)) break;
        const uint32_t next = *pc;
        Block* to = b->succpc[0] == next ? b->succ[0] : b->succpc[1] == next ? b->succ[1] : nullptr;
        if (!to || !to->valid) {
            if (next & 1 || !(to = findblock(next))) break;
            const int way = next == b->end;  // 1 falling through, 0 branching
            b->succpc[way] = next;
            b->succ[way] = to;
        }
        if (to->haspoint && points) {
            // The counters are read by whoever answers: settle them first.
            *time_ += uint32_t(done - settled);
            *nbins_ += uint32_t(done - settled);
            settled = done;
            if (atpoint(next)) {
                pointstop_ = true;
                break;
            }
            if (*pc != next || !to->valid) break;  // the hook moved pc or dropped code
        }
        b = to;
    }
    *time_ += uint32_t(done - settled);
    *nbins_ += uint32_t(done - settled);
    return done;
}

// One instruction decoded afresh from memory, with every check: the code
// point before it, access checks on its fetch and its data, the hooks
// after it.
Executor::Careful Executor::carefulstep(bool first)
{
    uint32_t* const pcreg = &r[RegPc - 1];
    uint32_t pc = *pcreg;
    if (!first && atpoint && points_.count(pc)) {
        if (atpoint(pc)) {
            ended = RunEnd::Point;
            return Careful::Stop;
        }
        pc = *pcreg;  // the hook may have moved it
    }
    counters();
    mem.notice = 0;
    // The fetch passes the access checks while they are on (the one-shot
    // flag spares its first byte); memory points never see it.
    const Insn& in = decodeinto(scratch_, pc, !mem.checkflag);
    mem.fetchflag = false;
    if (!in.row) {
        if (hooks.exception) hooks.exception(16, pc, in.imm);
        if (report) report->error(MsgIllegalInstruction);
        ended = RunEnd::Illegal;
        return Careful::Stop;
    }
    cia = pc;
    *pcreg = in.next;
    ++*time_;
    ++*nbins_;
    in.fn(*this, in);
    const uint8_t notice = mem.notice;
    mem.notice = 0;
    if (((notice & NoticeWatch) && atwatch && atwatch()) || (afterstep && afterstep())) {
        ended = RunEnd::Hook;
        return Careful::RanStop;
    }
    return Careful::Ran;
}

uint64_t Executor::run(uint64_t count, const volatile int* stop)
{
    // A run started by a hook of this one (nested) leaves the blocks to
    // the outer run, which may hold one.
    const bool outer = !running_;
    running_ = true;
    struct Running {
        bool& flag;
        bool outer;
        ~Running() { flag = flag && !outer; }
    } running{running_, outer};
    ended = RunEnd::Count;
    uint64_t n = 0;
    bool first = true;
    uint32_t* const pcreg = &r[RegPc - 1];
    while (n < count) {
        if (stop && *stop) {
            ended = RunEnd::Stopped;
            break;
        }
        if (outer && dead_.size() >= DeadBatch) freedead();
        const uint32_t pc = *pcreg;
        Block* b = careful() || (pc & 1) ? nullptr : findblock(pc);
        if (b && b->haspoint && atpoint && !first) {
            if (atpoint(pc)) {
                ended = RunEnd::Point;
                break;
            }
            if (*pcreg != pc || !b->valid) continue;  // the hook moved pc or dropped code
        }
        if (b) {
            pointstop_ = false;
            n += runblocks(b, count - n, stop);
            first = false;
            if (pointstop_) {
                ended = RunEnd::Point;
                break;
            }
            if (const uint8_t notice = mem.notice) {
                mem.notice = 0;
                if ((notice & NoticeWatch) && atwatch && atwatch()) {
                    ended = RunEnd::Hook;
                    break;
                }
            }
            continue;
        }
        // One instruction at a time: everything the careful path is for.
        const uint32_t lo = pc, hi = pc + 1;
        Careful step;
        do {
            step = carefulstep(first);
            if (step == Careful::Stop) break;
            n++;
            first = false;
        } while (step == Careful::Ran && n < count && !(stop && *stop) && *pcreg - lo < hi - lo);
        if (step != Careful::Ran) break;
    }
    if (outer && dead_.size() >= DeadBatch) freedead();
    return n;
}

StepResult Executor::step() { return run(1) ? StepResult::Done : StepResult::Illegal; }

Insn Executor::decode(uint32_t address)
{
    Insn i;
    decodeinto(i, address, false);
    return i;
}

std::string_view Executor::mnemonic(const Insn& i) { return insnrows()[i.row].name; }

}  // namespace vek
