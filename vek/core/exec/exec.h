// The instruction-set simulator: classic Book E integer instructions, the
// VLE instruction set and SPE scalar single-precision floating point, run on
// core 0's registers and the simulated memory.
//
// The one idea that keeps it fast: an instruction is decoded once into an
// Insn (its semantic function and its fields, branch targets resolved) and
// kept in a cache by address; a write into a page whose code is cached
// drops that page's entries, so self-modifying code and reloads stay exact.
// The hot loop is fetch-from-cache, count, call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"
#include "vek/core/target/report.h"

namespace vek {

struct Executor;
struct Insn;
using ExecFn = void (*)(Executor& x, const Insn& i);

// Which decode table an instruction comes from.
enum class InsnSet : uint8_t { Classic, Vle16, Vle32 };

// One decoded instruction. The meaning of the fields depends on the
// instruction's form (see insntable.cpp); branch targets are absolute.
struct Insn {
    ExecFn fn = nullptr;    // nullptr: not decoded yet
    uint16_t row = 0;       // index into the instruction table (0: undecodable)
    uint8_t len = 0;        // 2 or 4
    uint8_t rc = 0, oe = 0;
    uint8_t d = 0, a = 0, b = 0, c = 0, e = 0;
    uint32_t imm = 0;
};

// Result of one step.
enum class StepResult { Done, Illegal };

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
    // Steps up to count instructions; stops early at an illegal instruction
    // or when *stop becomes non-zero. Returns the number executed.
    uint64_t run(uint64_t count, const volatile int* stop = nullptr);
    // Forgets every decoded instruction.
    void flushcache();

    // Decodes without executing (tests, disassembly helpers): the row's
    // mnemonic and the fields.
    Insn decode(uint32_t address);
    static std::string_view mnemonic(const Insn& i);

    // --- used by the semantic functions
    uint32_t* r;            // core 0: r0..r31, lr, ctr, cr, xer, pc
    uint32_t cia = 0;       // address of the instruction being executed
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
    struct CodePage {
        bool stale = false;            // memory under it was written
        std::array<Insn, 256> insn{};  // one per half-word
    };
    const Insn& fetch(uint32_t pc);
    const Insn& decodeinto(Insn& slot, uint32_t pc);
    void dropcode(uint32_t page);

    uint32_t vle_ = 0;
    uint32_t spare_time_ = 0, spare_nbins_ = 0;  // where undefined counters count
    uint32_t* time_ = nullptr;   // resolved once per step/run
    uint32_t* nbins_ = nullptr;
    std::unordered_map<uint32_t, std::unique_ptr<CodePage>> code_;
    uint32_t lastpage_ = 0;
    CodePage* lastcode_ = nullptr;
    Insn scratch_;   // decoded while access checks are on (never cached)
};

}  // namespace vek
