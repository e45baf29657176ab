// Instruction execution: cycle counting, the arithmetic edge cases, the
// illegal-instruction stop and the decoded-instruction cache.
#include <gtest/gtest.h>

#include <vector>

#include "vek/core/exec/exec.h"

using namespace vek;

namespace {

// Classic encodings by form (fields as the ISA names them).
constexpr uint32_t dform(uint32_t op, uint32_t rt, uint32_t ra, int32_t d)
{
    return op << 26 | rt << 21 | ra << 16 | (uint32_t(d) & 0xFFFF);
}
constexpr uint32_t xoform(uint32_t xo, uint32_t rt, uint32_t ra, uint32_t rb, bool oe = false, bool rc = false)
{
    return 31u << 26 | rt << 21 | ra << 16 | rb << 11 | uint32_t(oe) << 10 | xo << 1 | uint32_t(rc);
}
constexpr uint32_t bform(uint32_t bo, uint32_t bi, int32_t bd, bool lk = false)
{
    return 16u << 26 | bo << 21 | bi << 16 | (uint32_t(bd) & 0xFFFC) | uint32_t(lk);
}
constexpr uint32_t iform(int32_t li, bool lk = false) { return 18u << 26 | (uint32_t(li) & 0x03FFFFFC) | uint32_t(lk); }

// SPE: efsxxx r3,r4,r5
constexpr uint32_t spe(uint32_t xo) { return 4u << 26 | 3u << 21 | 4u << 16 | 5u << 11 | xo; }
constexpr uint32_t EFSADD = 0x2C0, EFSMUL = 0x2C8;

constexpr uint32_t ADDI = 14, LMW = 46, STMW = 47, CMPI = 11;
constexpr uint32_t ADD = 266, ADDC = 10, SUBFME = 232, SUBFZE = 200, DIVW = 491, DIVWU = 459, CMP = 0, CMPL = 32,
                   OR = 444;

struct Target {
    TargetReport report;
    RegisterFile regs;
    Memory mem{&report};
    Executor x{regs, mem, &report};
    uint32_t time = 0, nbins = 0;

    explicit Target(uint32_t vle = 0xFFFFFFFF)
    {
        x.setvleboundary(vle);
        x.time = &time;
        x.nbins = &nbins;
    }
    void load(uint32_t at, const std::vector<uint32_t>& words)
    {
        for (uint32_t w : words) mem.putlong(at, w), at += 4;
    }
    uint32_t& r(unsigned n) { return regs.core0()[n]; }
};

struct CycleCase {
    const char* name;
    std::vector<uint32_t> code;
    uint32_t cr;
    uint32_t cycles, insns;
};

class Cycles : public ::testing::TestWithParam<CycleCase> {};

TEST_P(Cycles, CountsPerRule)
{
    const CycleCase& c = GetParam();
    Target t;
    t.load(0x100, c.code);
    t.regs.setpc(0x100);
    t.regs.setreg(RegCr, c.cr);
    t.r(4) = 1000, t.r(5) = 7, t.r(1) = 0x2000;
    t.x.run(c.code.size());
    EXPECT_EQ(t.time, c.cycles);
    EXPECT_EQ(t.nbins, c.insns);
}

const CycleCase cycle_cases[] = {
    {"plain", {dform(ADDI, 3, 0, 1), dform(ADDI, 3, 3, 1)}, 0, 2, 2},
    {"taken_branch", {iform(8)}, 0, 2, 1},
    {"taken_conditional", {bform(12, 2, 8)}, 0x20000000, 2, 1},
    {"untaken_conditional", {bform(12, 2, 8)}, 0, 1, 1},
    {"divide", {xoform(DIVW, 3, 4, 5)}, 0, 12, 1},
    {"divide_unsigned", {xoform(DIVWU, 3, 4, 5)}, 0, 12, 1},
    {"load_multiple", {dform(LMW, 29, 1, 0)}, 0, 4, 1},
    {"store_multiple", {dform(STMW, 28, 1, 0)}, 0, 5, 1},
    {"sequence", {dform(ADDI, 3, 0, 1), xoform(DIVW, 3, 4, 5), dform(LMW, 29, 1, 0), iform(4)}, 0, 1 + 12 + 4 + 2, 4},
};

INSTANTIATE_TEST_SUITE_P(Rules, Cycles, ::testing::ValuesIn(cycle_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Exec, BranchAndLinkSetsLr)
{
    Target t;
    t.load(0x100, {iform(0x40, true)});
    t.regs.setpc(0x100);
    t.x.step();
    EXPECT_EQ(t.regs.getpc(), 0x140u);
    EXPECT_EQ(t.regs.getreg(RegLr), 0x104u);
    // With LK the link register is written whether or not the branch is taken.
    t.load(0x200, {bform(12, 2, 0x40, true)});
    t.regs.setpc(0x200);
    t.x.step();
    EXPECT_EQ(t.regs.getpc(), 0x204u);
    EXPECT_EQ(t.regs.getreg(RegLr), 0x204u);
}

TEST(Exec, DivideByZero)
{
    Target t;
    t.load(0x100, {xoform(DIVW, 3, 4, 5, true)});
    t.regs.setpc(0x100);
    t.r(4) = 1234, t.r(5) = 0;
    t.x.step();
    EXPECT_EQ(t.r(3), 1234u);
    EXPECT_EQ(t.regs.getreg(RegXer), XerSo | XerOv);
    EXPECT_EQ(t.time, 12u);
}

struct ArithCase {
    const char* name;
    uint32_t insn;
    uint32_t a, b, xer;
    uint32_t result, xerafter, cr0;
};

class Arith : public ::testing::TestWithParam<ArithCase> {};

TEST_P(Arith, ResultXerAndCr0)
{
    const ArithCase& c = GetParam();
    Target t;
    t.load(0x100, {c.insn});
    t.regs.setpc(0x100);
    t.r(4) = c.a, t.r(5) = c.b;
    t.regs.setreg(RegXer, c.xer);
    t.x.step();
    EXPECT_EQ(t.r(3), c.result);
    EXPECT_EQ(t.regs.getreg(RegXer), c.xerafter);
    EXPECT_EQ(t.regs.getreg(RegCr) >> 28, c.cr0);
}

const ArithCase arith_cases[] = {
    {"addc_carries", xoform(ADDC, 3, 4, 5), 0xFFFFFFFF, 1, 0, 0, XerCa, 0},
    {"add_leaves_ca", xoform(ADD, 3, 4, 5), 0xFFFFFFFF, 1, 0, 0, 0, 0},
    {"subfme_with_ca", xoform(SUBFME, 3, 4, 0), 0, 0, XerCa, 0xFFFFFFFF, XerCa, 0},
    {"subfze_with_ca", xoform(SUBFZE, 3, 4, 0), 0, 0, XerCa, 0, XerCa, 0},
    {"record_negative_with_so", xoform(OR, 4, 3, 4, false, true), 0x80000000, 0, XerSo, 0x80000000, XerSo, 8 | 1},
    {"addo_overflow", xoform(ADD, 3, 4, 5, true, true), 0x7FFFFFFF, 1, 0, 0x80000000, XerSo | XerOv, 8 | 1},
    {"cmpl_one_minus_one", xoform(CMPL, 0, 4, 5), 1, 0xFFFFFFFF, 0, 0, 0, 8},
    {"cmp_one_minus_one", xoform(CMP, 0, 4, 5), 1, 0xFFFFFFFF, 0, 0, 0, 4},
    {"cmpi_equal_so", dform(CMPI, 0, 4, 1), 1, 0, XerSo, 0, XerSo, 2 | 1},
    // SPE single precision stays in the normal range.
    {"efsmul_overflow_is_max", spe(EFSMUL), 0x7F7FFFFF, 0x40000000, 0, 0x7F7FFFFF, 0, 0},
    {"efsadd_overflow_is_minus_max", spe(EFSADD), 0xFF7FFFFF, 0xFF7FFFFF, 0, 0xFF7FFFFF, 0, 0},
    {"efsmul_underflow_is_zero", spe(EFSMUL), 0x1F800000, 0x1F800000, 0, 0, 0, 0},
    {"efsmul_underflow_is_minus_zero", spe(EFSMUL), 0x9F800000, 0x1F800000, 0, 0x80000000, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Edges, Arith, ::testing::ValuesIn(arith_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Exec, UndecodableInstructionStops)
{
    for (uint32_t vle : {0xFFFFFFFFu, 0u}) {
        Target t(vle);
        std::vector<std::pair<int, uint32_t>> exceptions;
        t.x.hooks.exception = [&](int code, uint32_t a, uint32_t) { exceptions.emplace_back(code, a); };
        t.load(0x100, {0});  // classic opcode 0; VLE se_illegal
        t.regs.setpc(0x100);
        EXPECT_EQ(t.x.step(), StepResult::Illegal);
        EXPECT_EQ(t.x.run(100), 0u);
        EXPECT_EQ(t.regs.getpc(), 0x100u);
        EXPECT_EQ(t.time, 0u);
        EXPECT_EQ(t.nbins, 0u);
        ASSERT_EQ(t.report.log.size(), 2u);
        EXPECT_EQ(t.report.log[0], "illegal instruction");
        EXPECT_EQ(exceptions, (std::vector<std::pair<int, uint32_t>>{{16, 0x100}, {16, 0x100}}));
        EXPECT_EQ(t.x.decode(0x100).len, vle ? 4 : 2);
    }
}

TEST(Exec, UndefinedCountersAreNotCounted)
{
    Target t;
    t.x.time = nullptr;
    t.x.nbins = nullptr;
    t.load(0x100, {dform(ADDI, 3, 0, 5)});
    t.regs.setpc(0x100);
    t.x.step();
    EXPECT_EQ(t.r(3), 5u);
    EXPECT_EQ(t.time, 0u);
}

TEST(Exec, StoresIntoCachedCodeAreSeen)
{
    Target t;
    // 0x100: addi r3,0,1 ; 0x104: stw r6,0x10C(0) ; 0x108: b 0x100-ish loop
    t.load(0x100, {dform(ADDI, 3, 3, 1), dform(36, 6, 0, 0x10C), dform(ADDI, 7, 7, 1), dform(ADDI, 8, 8, 1)});
    t.r(6) = dform(ADDI, 9, 9, 5);  // replaces the instruction at 0x10C
    t.regs.setpc(0x100);
    t.x.run(4);
    EXPECT_EQ(t.r(9), 5u);
    EXPECT_EQ(t.r(8), 0u);
    // A write from outside (a loader or a memory window) is seen too.
    t.mem.putlong(0x100, dform(ADDI, 3, 3, 100));
    t.regs.setpc(0x100);
    t.x.step();
    EXPECT_EQ(t.r(3), 101u);
    // And so is a change of the VLE boundary.
    t.mem.putword(0x100, 0x4833);  // se_li r3,3
    t.x.setvleboundary(0);
    t.regs.setpc(0x100);
    t.x.step();
    EXPECT_EQ(t.r(3), 3u);
    EXPECT_EQ(t.regs.getpc(), 0x102u);
}

TEST(Exec, VolatileLoadStoreMultiple)
{
    Target t(0);
    // e_stmvsprw 0(r4) ; e_lmvgprw 16(r4)
    t.load(0x100, {0x18241100, 0x18041010});
    t.r(4) = 0x1000;
    t.regs.setreg(RegCr, 0xC), t.regs.setreg(RegLr, 0x1), t.regs.setreg(RegCtr, 0x2), t.regs.setreg(RegXer, 0x3);
    for (uint32_t k = 0; k < 11; k++) t.mem.putlong(0x1010 + 4 * k, 100 + k);
    t.regs.setpc(0x100);
    t.x.run(2);
    EXPECT_EQ(t.mem.getlong(0x1000), 0xCu);
    EXPECT_EQ(t.mem.getlong(0x1004), 0x1u);
    EXPECT_EQ(t.mem.getlong(0x1008), 0x2u);
    EXPECT_EQ(t.mem.getlong(0x100C), 0x3u);
    EXPECT_EQ(t.r(0), 100u);
    EXPECT_EQ(t.r(3), 101u);
    EXPECT_EQ(t.r(12), 110u);
    EXPECT_EQ(t.r(4), 102u);  // the base register is one of the group
    EXPECT_EQ(t.time, 2u);
}

TEST(Exec, FetchesPassTheAccessCheckWhenOn)
{
    Target t;
    std::vector<uint32_t> seen;
    t.mem.chkpoints = [&](uint32_t a, int) {
        seen.push_back(a);
        return 0u;
    };
    t.load(0x100, {dform(ADDI, 3, 3, 1)});
    t.regs.setpc(0x100);
    t.mem.checkflag = true;
    t.mem.fetchflag = true;
    t.x.step();
    EXPECT_EQ(seen, (std::vector<uint32_t>{0x101, 0x102, 0x103}));
    EXPECT_EQ(t.r(3), 1u);
    // Fetched from the decoded-instruction cache, the instruction still uses
    // up the one-shot flag: the next data read is checked.
    t.mem.checkflag = false;
    t.regs.setpc(0x100);
    t.x.step();
    t.regs.setpc(0x100);
    t.mem.fetchflag = true;
    t.x.step();
    t.mem.checkflag = true;
    seen.clear();
    t.mem.getbyte(0x2000);
    EXPECT_EQ(seen, (std::vector<uint32_t>{0x2000}));
}

}  // namespace

namespace {

TEST(Exec, StringLoadAndStoreWrapToR0)
{
    Target t;
    constexpr uint32_t LSWI = 597, STSWI = 725, LSWX = 533;
    // lswi r31,r4,7 ; stswi r31,r5,7 ; lswx r3,r4,r6 (count from xer); the
    // 10-bit extended opcodes land in the xo and OE bits of xoform.
    t.load(0x100, {xoform(LSWI, 31, 4, 7), xoform(STSWI, 31, 5, 7), xoform(LSWX, 3, 4, 6)});
    t.load(0x1000, {0x11223344, 0x55667788});
    t.r(4) = 0x1000, t.r(5) = 0x2000, t.r(6) = 1;
    t.regs.setreg(RegXer, 5);
    t.regs.setpc(0x100);
    t.x.run(3);
    EXPECT_EQ(t.r(31), 0x11223344u);
    EXPECT_EQ(t.r(0), 0x55667700u);
    EXPECT_EQ(t.mem.getlong(0x2000), 0x11223344u);
    EXPECT_EQ(t.mem.getlong(0x2004), 0x55667700u) << "the byte after the string is untouched";
    EXPECT_EQ(t.r(3), 0x22334455u);
    EXPECT_EQ(t.r(4), 0x66000000u) << "the last register of lswx is zero-filled";
}

}  // namespace

// What a run loop builds on: a code point stops the run before its
// instruction (but not the instruction a run resumes at), the hook after
// each instruction and the one after a memory point's access stop it after.
TEST(Exec, RunHooksStopWhereTheySay)
{
    Target t;
    t.load(0x1000, {dform(ADDI, 3, 3, 1), dform(ADDI, 4, 4, 1), dform(36, 3, 5, 0), iform(-12)});  // stw r3,0(r5)
    t.r(5) = 0x2000;
    t.regs.setpc(0x1000);
    std::vector<uint32_t> asked;
    t.x.addpoint(0x1004);
    t.x.atpoint = [&](uint32_t pc) {
        asked.push_back(pc);
        return asked.size() % 2 == 1;
    };
    EXPECT_EQ(t.x.run(100), 1u);
    EXPECT_EQ(t.x.ended, RunEnd::Point);
    EXPECT_EQ(t.regs.getpc(), 0x1004u);
    EXPECT_EQ(t.nbins, 1u);
    EXPECT_EQ(t.x.run(100), 8u) << "resumes at the point, is asked there once more, stops the third time";
    EXPECT_EQ(asked, (std::vector<uint32_t>{0x1004, 0x1004, 0x1004}));
    EXPECT_EQ(t.r(4), 2u);
    t.x.removepoint(0x1004);
    EXPECT_EQ(t.x.run(10), 10u);
    EXPECT_EQ(t.x.ended, RunEnd::Count);
    EXPECT_EQ(asked.size(), 3u);

    int after = 0;
    t.x.afterstep = [&] { return ++after == 3; };
    EXPECT_EQ(t.x.run(100), 3u);
    EXPECT_EQ(t.x.ended, RunEnd::Hook);
    t.x.afterstep = nullptr;

    std::vector<std::pair<uint32_t, int>> checked;
    t.mem.chkpoints = [&](uint32_t a, int kind) {
        checked.emplace_back(a, kind);
        return 0u;
    };
    t.mem.addwatch(0x2100, 1);  // the store's page, not its bytes
    t.x.atwatch = [] { return true; };
    const uint32_t before = t.nbins;
    t.x.run(100);
    EXPECT_EQ(t.x.ended, RunEnd::Hook);
    EXPECT_EQ(t.regs.getpc(), 0x100Cu) << "stopped after the store";
    EXPECT_EQ(checked, (std::vector<std::pair<uint32_t, int>>{{0x2000, 2}, {0x2001, 2}, {0x2002, 2}, {0x2003, 2}}));
    EXPECT_GE(t.nbins - before, 1u);
    t.mem.removewatch(0x2100, 1);
    checked.clear();
    EXPECT_EQ(t.x.run(40), 40u);
    EXPECT_TRUE(checked.empty());
}
