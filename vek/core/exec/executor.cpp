// The run loop and the decoded-instruction cache.
//
// Cache pages are never freed while an instruction runs: a store into the
// page that holds the running instruction only marks the page stale, and
// the page is cleared at its next fetch, after the instruction has ended.
#include <cstring>

#include "vek/core/exec/exec.h"
#include "vek/core/exec/insntable.h"

namespace vek {

namespace {

void undecodable(Executor&, const Insn&) {}

}  // namespace

Executor::Executor(RegisterFile& rf, Memory& m, TargetReport* rep)
    : regs(rf), mem(m), report(rep), r(rf.core0())
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

void Executor::flushcache()
{
    for (auto& [page, code] : code_) code->stale = true;
}

void Executor::dropcode(uint32_t page)
{
    auto mark = [this](uint32_t p) {
        auto it = code_.find(p);
        if (it != code_.end()) it->second->stale = true;
    };
    mark(page);
    mark(page - PageSize);  // its last instruction may reach into this page
}

const Insn& Executor::decodeinto(Insn& slot, uint32_t pc)
{
    Insn i;
    uint32_t word;
    InsnSet set;
    if (pc >= vle_) {
        uint32_t half = mem.getword(pc);
        if (isvle32(half)) {
            word = half << 16 | mem.getword(pc + 2);
            set = InsnSet::Vle32;
            i.len = 4;
        } else {
            word = half;
            set = InsnSet::Vle16;
            i.len = 2;
        }
    } else {
        word = mem.getlong(pc);
        set = InsnSet::Classic;
        i.len = 4;
    }
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

const Insn& Executor::fetch(uint32_t pc)
{
    uint32_t page = pc & ~(PageSize - 1);
    if (page != lastpage_ || !lastcode_ || lastcode_->stale) {
        std::unique_ptr<CodePage>& code = code_[page];
        if (!code) code = std::make_unique<CodePage>();
        if (code->stale) {
            code->insn.fill(Insn{});
            code->stale = false;
        }
        mem.markcode(page);  // the first write into the page makes it stale
        lastpage_ = page;
        lastcode_ = code.get();
    }
    Insn& slot = lastcode_->insn[(pc & (PageSize - 1)) >> 1];
    if (slot.fn) return slot;
    decodeinto(slot, pc);
    if ((pc & (PageSize - 1)) + slot.len > PageSize) mem.markcode(page + PageSize);
    return slot;
}

Insn Executor::decode(uint32_t address)
{
    Insn i;
    decodeinto(i, address);
    return i;
}

std::string_view Executor::mnemonic(const Insn& i) { return insnrows()[i.row].name; }

uint64_t Executor::run(uint64_t count, const volatile int* stop)
{
    time_ = time ? time : &spare_time_;
    nbins_ = nbins ? nbins : &spare_nbins_;
    uint64_t n = 0;
    uint32_t* pcreg = &r[RegPc - 1];
    while (n < count) {
        if (stop && *stop) break;
        uint32_t pc = *pcreg;
        // With access checks on, every fetch goes through memory so the
        // point checks see it; misaligned VLE addresses are never cached.
        const Insn& in = (mem.checkflag || (pc & 1)) ? decodeinto(scratch_, pc) : fetch(pc);
        mem.fetchflag = false;  // a fetch from the cache uses up the one-shot flag too
        if (!in.row) {
            if (hooks.exception) hooks.exception(16, pc, in.imm);
            if (report) report->error(MsgIllegalInstruction);
            break;
        }
        cia = pc;
        *pcreg = pc + in.len;
        ++*time_;
        ++*nbins_;
        in.fn(*this, in);
        ++n;
    }
    return n;
}

StepResult Executor::step() { return run(1) ? StepResult::Done : StepResult::Illegal; }

}  // namespace vek
