// Target hooks: interrupts and the interrupt list file, float conversions,
// debug registers, variable addresses by storage class, frame bases, cores
// and counters, and the symbols bound after a load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "oracle.h"
#include "vek/core/exec/hooks.h"
#include "vek/core/exec/simtarget.h"

using namespace vek;

TEST(Interrupts, RaiseAndFirstPending)
{
    PendingInterrupts set;
    EXPECT_EQ(firstpending(&set), 0);
    EXPECT_NE(TGTRaiseInterrupt(&set, -512), 0);
    EXPECT_EQ(set.word[3].load(), 0x80000000u);
    EXPECT_EQ(firstpending(&set), 128);
    EXPECT_NE(TGTRaiseInterrupt(&set, -4), 0);
    EXPECT_EQ(set.word[0].load(), 1u);
    EXPECT_EQ(firstpending(&set), 1);
    for (int32_t id : {-2, -516, 0, 4, -6}) EXPECT_EQ(TGTRaiseInterrupt(&set, id), 0) << id;
    EXPECT_EQ(set.word[0].load(), 1u);
    EXPECT_EQ(set.word[1].load() | set.word[2].load(), 0u);
    EXPECT_EQ(TGTRaiseInterrupt(nullptr, -4), 0);
    EXPECT_EQ(firstpending(nullptr), 0);
    EXPECT_EQ(acceptinterrupt(&set), 0);
}

class InterruptFile : public ::testing::Test {
protected:
    simtest::ScratchDir dir;
    std::string write(const std::string& text)
    {
        std::string path = dir.path + "/ints.txt";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

TEST_F(InterruptFile, ReadsNumbersAndNames)
{
    InterruptState st;
    ASSERT_TRUE(LoadInterrupts(st, write("; vectors\r\n0x10   Timer overflow\r\n\r\n010\tPort change\n7 x\n")));
    ASSERT_EQ(st.list.size(), 3u);
    EXPECT_EQ(st.list[0].number, 16);
    EXPECT_EQ(st.list[0].name, "Timer overflow");
    EXPECT_EQ(st.list[1].number, 8);
    EXPECT_EQ(st.list[1].name, "Port change");
    EXPECT_EQ(interruptlines(st), (std::vector<std::string>{"0x10 Timer overflow", "0x8 Port change", "0x7 x"}));
}

TEST_F(InterruptFile, AtMost128Entries)
{
    std::string text;
    for (int k = 0; k < 128; k++) text += "; comment\n" + std::to_string(k) + " int" + std::to_string(k) + "\n";
    InterruptState st;
    ASSERT_TRUE(LoadInterrupts(st, write(text)));
    EXPECT_EQ(st.list.size(), 128u);
    EXPECT_FALSE(LoadInterrupts(st, write(text + "128 one too many\n")));
    EXPECT_EQ(st.list.size(), 128u) << "the previous list stays";
    ASSERT_EQ(st.log.size(), 1u);
    EXPECT_EQ(st.log[0], "Interrupts: Too Many Interrupts (Max 128)");
    EXPECT_FALSE(LoadInterrupts(st, dir.path + "/missing"));
    EXPECT_EQ(st.log[1], "Can't open INTERRUPT file : " + dir.path + "/missing");
    EXPECT_FALSE(LoadInterrupts(st, dir.path)) << "a directory is no list file";
    EXPECT_EQ(st.list.size(), 128u);
    EXPECT_EQ(st.log.at(2), "Can't open INTERRUPT file : " + dir.path);
}

TEST(TargetFloat, FromTargetBytes)
{
    const uint8_t one[] = {0x3F, 0x80, 0, 0}, inf[] = {0x7F, 0x80, 0, 0}, nan[] = {0x7F, 0xC0, 0, 0},
                  tiny[] = {0, 0, 0x12, 0x34}, minus2d[] = {0xC0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(fromtgtfloat(one, false), 1.0);
    EXPECT_EQ(fromtgtfloat(inf, false), 3.4028234663852886e38);
    EXPECT_TRUE(std::isnan(fromtgtfloat(nan, false)));
    EXPECT_EQ(fromtgtfloat(tiny, false), 0.0);
    EXPECT_EQ(fromtgtfloat(minus2d, true), -2.0);
}

struct ToCase {
    double value;
    bool isdouble;
    std::vector<uint8_t> bytes;
};

class ToTarget : public ::testing::TestWithParam<ToCase> {};

TEST_P(ToTarget, Bytes)
{
    const ToCase& c = GetParam();
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    totgtfloat(c.value, out, c.isdouble);
    EXPECT_EQ(std::vector<uint8_t>(out, out + (c.isdouble ? 8 : 4)), c.bytes) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Cases, ToTarget,
    ::testing::Values(ToCase{0.0, false, {0, 0, 0, 0}}, ToCase{0.0, true, {0, 0, 0, 0, 0, 0, 0, 0}},
                      ToCase{-2.0, false, {0xC0, 0, 0, 0}}, ToCase{0.1, false, {0x3D, 0xCC, 0xCC, 0xCD}},
                      ToCase{1e39, false, {0x7F, 0x7F, 0xFF, 0xFF}},
                      ToCase{-INFINITY, false, {0xFF, 0x7F, 0xFF, 0xFF}},
                      ToCase{0.1, true, {0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}},
                      ToCase{INFINITY, true, {0x7F, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}));

TEST(TargetRegisters, DebugNumbering)
{
    RegisterFile regs;
    Memory mem;
    setdbgreg(regs, 5, 77);  // r31
    EXPECT_EQ(regs.getreg(32), 77u);
    EXPECT_EQ(dbgreg(regs, 5), 77u);
    mem.putlong(0x100, 0xAABBCCDD);
    EXPECT_EQ(readvarval(regs, mem, sc::Reg, 5), 77u);
    EXPECT_EQ(readvarval(regs, mem, sc::Fix, 0x100), 0xAABBCCDDu);
    writevarval(regs, mem, sc::RFArg, 6, 9);
    EXPECT_EQ(regs.getreg(31), 9u);
    writevarval(regs, mem, sc::Aut, 0x104, 5);
    EXPECT_EQ(mem.getlong(0x104), 5u);
    EXPECT_EQ(regvarname(sc::Reg, 5, 9, 4), "reg. R31");
    EXPECT_EQ(regvarname(sc::Aut, 5, 9, 4), "reg. R27");
    EXPECT_EQ(regvarname(sc::RegArg, 5, 9, 41), "reg. R31,R32");
}

namespace {

// A function "f" with a frame record of size 16 (lines 10 to 26).
struct Fixture {
    LineRecord frame, start;
    FunctionRecord f, outer;
    Fixture()
    {
        frame.kind = kind::Frame, frame.line = 10, frame.endline = 26, frame.owner = &f;
        start.kind = kind::Start, start.owner = &f;
        f.frame = &frame;
        f.name = "f";
        VarRecord v;
        v.name = "x";
        f.vars.push_back(v);
    }
};

struct AddrCase {
    uint8_t sclass;
    bool midentry;
    uint32_t expect;
};

}  // namespace

class VarAddr : public ::testing::TestWithParam<AddrCase> {};

TEST_P(VarAddr, ByStorageClass)
{
    const AddrCase& c = GetParam();
    Fixture fx;
    VarRecord v;
    v.name = "x", v.sclass = c.sclass, v.value = 0x20, v.value2 = 0x30;
    FrameRef chain[] = {{&fx.outer, 0x5000, false}, {&fx.f, 0x1000, c.midentry}};
    EXPECT_EQ(varaddr(v, chain), c.expect) << "class " << int(c.sclass) << " mid " << c.midentry;
}

INSTANTIATE_TEST_SUITE_P(Classes, VarAddr,
    ::testing::Values(AddrCase{sc::Fix, false, 0x20}, AddrCase{sc::FixExt, false, 0x20},
                      AddrCase{sc::Absolu, false, 0x20}, AddrCase{sc::EnumMem, true, 0x20},
                      AddrCase{sc::Reg, false, 0x20}, AddrCase{sc::RFArg, true, 0x20},
                      AddrCase{sc::RFArg, false, 0x30}, AddrCase{sc::RegArg, true, 0x30},
                      AddrCase{sc::RegArg, false, 0x1020}, AddrCase{sc::FirstArg, true, 0x1020 - 16},
                      AddrCase{sc::FirstArg, false, 0x30}, AddrCase{sc::Arg, false, 0x1020},
                      AddrCase{sc::Aut, false, 0x1000 - 0x20}, AddrCase{sc::StatAut, false, 0x1000}));

TEST(VarAddr, NoFrameHasTheVariable)
{
    Fixture fx;
    VarRecord v;
    v.name = "y", v.sclass = sc::Aut, v.value = 4;
    FrameRef chain[] = {{&fx.f, 0x1000, false}};
    EXPECT_EQ(varaddr(v, chain), 0u);
    v.sclass = sc::Fix;
    EXPECT_EQ(varaddr(v, chain), 4u);
}

TEST(FrameHooks, Bases)
{
    Fixture fx;
    RegisterFile regs;
    regs.setreg(2, 0x8000);  // r1
    FrameHooks h;
    EXPECT_EQ(h.framebase(regs, &fx.f), 0x8000u - 16);
    EXPECT_EQ(h.lastframebase(), 0x8000u - 16);
    EXPECT_EQ(h.framebase(regs, &fx.outer), 0x8000u);
    EXPECT_EQ(h.framebaseatpc(regs, &fx.frame), 0x8000u - 16 + 26);
    EXPECT_EQ(h.framebaseatpc(regs, &fx.start), 0x8000u - 16);
    EXPECT_EQ(h.framebaseatpc(regs, nullptr), 0x8000u);
    EXPECT_EQ(h.lastframebase(), 0x8000u);
}

TEST(FrameHooks, VariableFixup)
{
    Fixture fx;
    auto var = [](uint8_t cls, uint32_t value, uint32_t value2) {
        VarRecord v;
        v.sclass = cls, v.value = value, v.value2 = value2;
        return v;
    };
    // n = 3 registers from c = 20 renamed to start at s = 25.
    fx.frame.descriptor = 3 | 25 << 5 | 20 << 10;
    fx.f.vars = {var(sc::Reg, 36 - 21, 0), var(sc::RFArg, 36 - 19, 40), var(sc::RegArg, 0, 36 - 22),
                 var(sc::Aut, 36 - 21, 0)};
    fixupvars(fx.f);
    EXPECT_EQ(fx.f.vars[0].value, 36u - 26);
    EXPECT_EQ(fx.f.vars[1].value, 36u - 19);
    EXPECT_EQ(fx.f.vars[1].value2, 33u - 10);
    EXPECT_EQ(fx.f.vars[2].value2, 36u - 27);
    EXPECT_EQ(fx.f.vars[3].value, 36u - 21);
    // Without a descriptor and without a frame, first arguments live in registers.
    fx.frame.descriptor = 0;
    fx.frame.endline = fx.frame.line;
    fx.f.vars = {var(sc::FirstArg, 8, 0), var(sc::RFArg, 1, 12)};
    fixupvars(fx.f);
    EXPECT_EQ(fx.f.vars[0].sclass, sc::Reg);
    EXPECT_EQ(fx.f.vars[0].value, 31u);
    EXPECT_EQ(fx.f.vars[1].value2, 30u);
}

TEST(TargetCores, NamesAndCounters)
{
    EXPECT_STREQ(coretag(1), " [z0] ");
    EXPECT_STREQ(coretag(0), " [z1] ");
    EXPECT_STREQ(corename(1), " z0 ");
    uint32_t time = 10, xtime = 20, nbins = 7;
    CounterBindings c{&time, &xtime, &nbins};
    EXPECT_EQ(corecycles(c, 0, 1), 10u);
    EXPECT_EQ(corecycles(c, 0xFFFFFF75, 1), 20u);
    EXPECT_EQ(corecycles(c, 0xFFFFFF75, 0), 10u);
    EXPECT_EQ(corecycles(c, 0xFFFFFF75, 2), 0u);
    EXPECT_EQ(insncount(c), 7u);
    EXPECT_EQ(insncount(CounterBindings{}), 0u);
    EXPECT_EQ(corecycles(CounterBindings{}, 0, 0), 0u);
}

TEST(TargetSymbols, BoundAfterALoad)
{
    TargetReport report;
    RegisterFile regs;
    Memory mem(&report);
    Executor x(regs, mem, &report);
    std::map<std::string, uint32_t, std::less<>> syms = {{"__vle__", 0x1000}, {"__stext0", 0x2000}};
    auto find = [&](std::string_view name) -> std::optional<uint32_t> {
        auto it = syms.find(name);
        if (it == syms.end()) return std::nullopt;
        return it->second;
    };
    uint32_t split = 0;
    mem.putlong(0xFFC, 0x38600005);  // classic addi r3,0,5
    mem.putword(0x1000, 0x4833);     // se_li r3,3
    bindtgtsyms(true, find, x, split);
    EXPECT_EQ(split, 0xFFFFFF75u);
    EXPECT_EQ(x.vleboundary(), 0x1000u);
    EXPECT_EQ(Executor::mnemonic(x.decode(0xFFC)), "addi");
    EXPECT_EQ(Executor::mnemonic(x.decode(0x1000)), "se_li");
    bindtgtsyms(false, find, x, split);
    EXPECT_EQ(x.vleboundary(), 0u);
}

TEST(SimTarget, FreshTargetRunsAndCounts)
{
    SimTarget t;
    t.mem.putlong(4, 0x100);  // reset vector
    t.mem.putword(0x100, 0x4833);  // se_li r3,3 (VLE from address 0)
    t.regs.resetregs(t.mem);
    EXPECT_EQ(t.exec.step(), StepResult::Done);
    EXPECT_EQ(t.regs.getreg(4), 3u);
    EXPECT_EQ(corecycles(t.counters(), t.splitmask, 0), 1u);
    EXPECT_EQ(insncount(t.counters()), 1u);
    EXPECT_NE(TGTRaiseInterrupt(t.pending, -8), 0);
    EXPECT_EQ(firstpending(t.pending), 2);
    EXPECT_EQ(t.exec.step(), StepResult::Illegal);  // 0x0000 follows
    EXPECT_EQ(t.report.log.back(), "illegal instruction");
}
