// The instruction-set simulator: classic Book E integer instructions, the
// VLE instruction set and SPE scalar single-precision floating point, run on
// core 0's registers and the simulated memory.
//
// The one idea that keeps it fast: code is decoded once into blocks of
// Insns (semantic function, fields, branch targets resolved) that run from
// one address to the next branch; a block runs as threaded code (each
// instruction's semantics jumps straight to the next one's) and remembers
// the blocks its branch went to, so the next one is found without a lookup;
// the counters are settled once a chain of blocks ends. A write into a
// page holding decoded code drops that page's blocks and ends the running
// block after the writing instruction, so self-modifying code and reloads
// stay exact. Anything that has to see single instructions (code points,
// a per-instruction hook, memory access checks, a misaligned pc) sends the
// run down the careful path, one instruction at a time, decoded afresh;
// reference mode runs everything that way.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"
#include "vek/core/target/report.h"

namespace vek {

struct Executor;
struct Insn;
using ExecFn = void (*)(Executor& x, const Insn& i);
// Runs an instruction of a decoded block and the ones after it; returns
// the instruction after the last one run.
using ThreadFn = const Insn* (*)(Executor& x, const Insn* i);

// Which decode table an instruction comes from.
enum class InsnSet : uint8_t { Classic, Vle16, Vle32 };

// One decoded instruction. The meaning of the fields depends on the
// instruction's form (see insntable.cpp); branch targets are absolute.
struct Insn {
    ExecFn fn = nullptr;    // nullptr: not decoded yet
    ThreadFn tfn = nullptr; // in a decoded block: fn and on to the next
    uint16_t row = 0;       // index into the instruction table (0: undecodable)
    uint8_t len = 0;        // 2 or 4
    uint8_t rc = 0, oe = 0;
    uint8_t d = 0, a = 0, b = 0, c = 0, e = 0;
    uint32_t imm = 0;
    uint32_t next = 0;      // address of the following instruction
};

// Result of one step.
enum class StepResult { Done, Illegal };

// Why the last run ended.
enum class RunEnd {
    Count,    // the count was reached
    Illegal,  // an undecodable instruction (not executed)
    Stopped,  // the stop flag was set
    Point,    // atpoint asked to stop before the instruction at pc
    Hook,     // afterstep or atwatch asked to stop after an instruction
};

struct Block;

// The target hooks the executor calls (undecodable instruction).
struct ExecHooks {
    // code 16: an instruction no row decodes; the values are its address
    // and its bits.
    std::function<void(int code, uint32_t value1, uint32_t value2)> exception;
};

struct Executor {
    RegisterFile& regs;
    Memory& mem;
    TargetReport* report = nullptr;
    ExecHooks hooks;

    // Counters: bound to the program symbols ".time" and ".nbins" by whoever
    // owns them; a null pointer means the counter is not defined.
    uint32_t* time = nullptr;
    uint32_t* nbins = nullptr;

    Executor(RegisterFile& r, Memory& m, TargetReport* rep = nullptr);
    ~Executor();
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Addresses at or above the boundary hold VLE code (".vle", "__vle__").
    void setvleboundary(uint32_t address);
    uint32_t vleboundary() const { return vle_; }

    // Executes the instruction at pc. An undecodable one changes nothing,
    // reports message 17 "illegal instruction" and gives Illegal.
    StepResult step();
    // Steps up to count instructions; stops early at an illegal instruction,
    // when *stop becomes non-zero (looked at between blocks), or when a
    // hook below asks for it. Returns the number executed; ended says why
    // the run ended.
    uint64_t run(uint64_t count, const volatile int* stop = nullptr);
    RunEnd ended = RunEnd::Count;
    // Forgets every decoded instruction.
    void flushcache();

    // Reference mode: every instruction decoded afresh from memory and run
    // on its own with every check, memory without its host caches. The
    // results are the same; the fast path is tested against it.
    void setreference(bool on);
    bool reference() const { return reference_; }

    // Code points: addresses the run must look at. Before the instruction
    // at a point executes, atpoint(address) is asked; true ends the run
    // before it (ended = Point). The instruction a run starts at is not
    // asked about, so a run resumes from the point it stopped at. A point
    // begins a decoded block of its own, so it costs one question each time
    // the run reaches it and nothing in between.
    void addpoint(uint32_t address);
    void removepoint(uint32_t address);
    void clearpoints();
    // Replaces every point by the given ones (one cache flush).
    void setpoints(const std::vector<uint32_t>& addresses);
    bool haspoint(uint32_t address) const { return points_.count(address) != 0; }
    std::function<bool(uint32_t address)> atpoint;
    // While set, called after every instruction (the run goes one
    // instruction at a time); true ends the run after it (ended = Hook).
    std::function<bool()> afterstep;
    // Called after an instruction that touched a page with a memory point
    // (Memory::addwatch); true ends the run after it (ended = Hook).
    std::function<bool()> atwatch;

    // Decodes without executing (tests, disassembly helpers): the row's
    // mnemonic and the fields.
    Insn decode(uint32_t address);
    static std::string_view mnemonic(const Insn& i);

    // --- used by the semantic functions
    uint32_t* r;            // core 0: r0..r31, lr, ctr, cr, xer, pc
    uint32_t cia = 0;       // the instruction being run one at a time (the
                            // careful path); decoded blocks leave it alone
    uint32_t msr = 0;       // machine state (held, not interpreted)
    // Special registers other than lr, ctr and xer: kept as written, 0
    // before the first write.
    std::unordered_map<uint32_t, uint32_t> spr;
    uint32_t& lr() { return r[RegLr - 1]; }
    uint32_t& ctr() { return r[RegCtr - 1]; }
    uint32_t& cr() { return r[RegCr - 1]; }
    uint32_t& xer() { return r[RegXer - 1]; }
    uint32_t& pc() { return r[RegPc - 1]; }
    uint32_t xer() const { return r[RegXer - 1]; }
    uint32_t cr() const { return r[RegCr - 1]; }
    void cycles(uint32_t n) { *time_ += n; }
    // CR field f (0 = bits 31..28) := bits (LT 8, GT 4, EQ 2, SO 1).
    void setcrf(unsigned f, uint32_t bits) {
        unsigned sh = 28 - 4 * (f & 7);
        cr() = (cr() & ~(0xFu << sh)) | (bits & 0xF) << sh;
    }
    // CR0 from a result: LT/GT/EQ as signed, SO from xer.
    void record(uint32_t v) { setcrf(0, compare(int32_t(v), 0)); }
    uint32_t compare(int64_t a, int64_t b) const {
        return (a < b ? 8u : a > b ? 4u : 2u) | (xer() >> 31);
    }
    uint32_t compareu(uint32_t a, uint32_t b) const {
        return (a < b ? 8u : a > b ? 4u : 2u) | (xer() >> 31);
    }
    // Overflow into OV and SO (SO is sticky).
    void setov(bool ov) { xer() = ov ? xer() | XerOv | XerSo : xer() & ~XerOv; }
    void setca(bool ca) { xer() = ca ? xer() | XerCa : xer() & ~XerCa; }
    uint32_t ca() const { return (xer() >> 29) & 1; }
    bool crbit(unsigned bi) const { return (cr() >> (31 - (bi & 31))) & 1; }

private:
    const Insn& decodeinto(Insn& slot, uint32_t pc, bool peek);
    Block* findblock(uint32_t pc);
    Block* buildblock(uint32_t pc);
    uint64_t runblocks(Block* b, uint64_t budget, const volatile int* stop);
    enum class Careful { Ran, RanStop, Stop };
    Careful carefulstep(bool first);
    bool careful() const;
    void dropcode(uint32_t page);
    void freedead();
    void counters();

    uint32_t vle_ = 0;
    uint32_t spare_time_ = 0, spare_nbins_ = 0;  // where undefined counters count
    uint32_t* time_ = nullptr;   // resolved once per block
    uint32_t* nbins_ = nullptr;
    bool reference_ = false;
    bool running_ = false;
    bool pointstop_ = false;     // runblocks ended because atpoint said so
    // Decoded blocks by first address; a small direct-mapped table in front.
    std::unordered_map<uint32_t, std::unique_ptr<Block>> blocks_;
    struct JumpEntry {
        uint32_t pc = 1;
        Block* block = nullptr;
    };
    static constexpr unsigned JumpEntries = 4096;
    std::unique_ptr<JumpEntry[]> jump_;
    // Blocks on each code page (a block on two pages is on both lists).
    std::unordered_map<uint32_t, std::vector<Block*>> pageblocks_;
    // Dropped blocks: kept until no run can still hold them.
    std::vector<std::unique_ptr<Block>> dead_;
    std::unordered_set<uint32_t> points_;
    std::unordered_map<uint32_t, uint32_t> pointpages_;  // page -> points on it
    Insn scratch_;   // the careful path's instruction (never cached)
};

}  // namespace vek
