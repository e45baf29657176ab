// VLE instructions: the assembler's encodings decode to the intended rows,
// and each VLE instruction does what its classic counterpart does, on random
// operands, on our simulator.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "oracle.h"
#include "vek/core/exec/exec.h"

using namespace vek;

namespace {

constexpr uint32_t ClassicBase = 0x1000, VleBase = 0x10000, DataBase = 0x8000, DataBytes = 0x400;
constexpr unsigned Slot = 32;  // bytes per case in the assembled blobs
constexpr unsigned States = 24;

enum Flags : unsigned {
    Link = 1,      // compare lr as an offset from the instruction
    Scratch = 2,   // the classic sequence uses r10 and r11 as scratch
    Absolute = 4,  // a branch to a register: compare the target as it is
};

struct Pair {
    const char* vle;
    const char* classic;  // ';' separates a sequence
    unsigned flags = 0;
};

// clang-format off
const Pair pairs[] = {
    {"se_add r3,r24",        "add r3,r3,r24"},
    {"se_sub r3,r24",        "subf r3,r24,r3"},
    {"se_subf r3,r24",       "subf r3,r3,r24"},
    {"se_mullw r3,r5",       "mullw r3,r3,r5"},
    {"se_and r3,r5",         "and r3,r3,r5"},
    {"se_and. r3,r5",        "and. r3,r3,r5"},
    {"se_andc r3,r5",        "andc r3,r3,r5"},
    {"se_or r3,r5",          "or r3,r3,r5"},
    {"se_not r3",            "not r3,r3"},
    {"se_neg r3",            "neg r3,r3"},
    {"se_mr r3,r27",         "mr r3,r27"},
    {"se_mtar r8,r3",        "mr r8,r3"},
    {"se_mtar r23,r31",      "mr r23,r31"},
    {"se_mfar r3,r9",        "mr r3,r9"},
    {"se_mfar r31,r20",      "mr r31,r20"},
    {"se_mflr r5",           "mflr r5"},
    {"se_mtlr r5",           "mtlr r5"},
    {"se_mfctr r5",          "mfctr r5"},
    {"se_mtctr r5",          "mtctr r5"},
    {"se_extzb r3",          "clrlwi r3,r3,24"},
    {"se_extsb r3",          "extsb r3,r3"},
    {"se_extzh r3",          "clrlwi r3,r3,16"},
    {"se_extsh r3",          "extsh r3,r3"},
    {"se_addi r3,7",         "addi r3,r3,7"},
    {"se_addi r3,32",        "addi r3,r3,32"},
    {"se_subi r3,7",         "addi r3,r3,-7"},
    {"se_subi. r3,7",        "addi r3,r3,-7; cmpwi r3,0"},
    {"se_cmp r3,r5",         "cmpw r3,r5"},
    {"se_cmpl r3,r5",        "cmplw r3,r5"},
    {"se_cmph r3,r5",        "extsh r10,r3; extsh r11,r5; cmpw r10,r11", Scratch},
    {"se_cmphl r3,r5",       "clrlwi r10,r3,16; clrlwi r11,r5,16; cmplw r10,r11", Scratch},
    {"se_cmpi r3,13",        "cmpwi r3,13"},
    {"se_cmpli r3,13",       "cmplwi r3,13"},
    {"se_bmaski r3,5",       "li r3,31"},
    {"se_bmaski r3,0",       "li r3,-1"},
    {"se_andi r3,13",        "li r10,13; and r3,r3,r10", Scratch},
    {"se_li r3,100",         "li r3,100"},
    {"se_bclri r3,5",        "rlwinm r3,r3,0,6,4"},
    {"se_bgeni r3,5",        "lis r3,0x0400"},
    {"se_bseti r3,5",        "oris r3,r3,0x0400"},
    {"se_btsti r3,5",        "rlwinm. r10,r3,0,5,5", Scratch},
    {"se_srwi r3,5",         "srwi r3,r3,5"},
    {"se_slwi r3,5",         "slwi r3,r3,5"},
    {"se_srawi r3,5",        "srawi r3,r3,5"},
    {"se_srw r3,r5",         "srw r3,r3,r5"},
    {"se_sraw r3,r5",        "sraw r3,r3,r5"},
    {"se_slw r3,r5",         "slw r3,r3,r5"},
    {"se_lbz r3,5(r4)",      "lbz r3,5(r4)"},
    {"se_lhz r3,6(r4)",      "lhz r3,6(r4)"},
    {"se_lwz r3,8(r4)",      "lwz r3,8(r4)"},
    {"se_stb r3,5(r4)",      "stb r3,5(r4)"},
    {"se_sth r3,30(r4)",     "sth r3,30(r4)"},
    {"se_stw r3,60(r4)",     "stw r3,60(r4)"},
    {"se_b .+8",             "b .+8"},
    {"se_bl .+8",            "bl .+8", Link},
    {"se_bc 1,2,.+8",        "bc 12,2,.+8"},
    {"se_bc 0,1,.-16",       "bc 4,1,.-16"},
    {"se_blr",               "blr", Absolute},
    {"se_blrl",              "blrl", Link | Absolute},
    {"se_bctr",              "bctr", Absolute},
    {"se_bctrl",             "bctrl", Link | Absolute},
    {"e_add16i r3,r5,-5",    "addi r3,r5,-5"},
    {"e_addi r3,r5,0x3000",  "addi r3,r5,0x3000"},
    {"e_addi. r3,r5,0x3000", "addi r3,r5,0x3000; cmpwi r3,0"},
    {"e_addic r3,r5,-256",   "addic r3,r5,-256"},
    {"e_addic. r3,r5,1",     "addic. r3,r5,1"},
    {"e_mulli r3,r5,0x400",  "mulli r3,r5,0x400"},
    {"e_subfic r3,r5,100",   "subfic r3,r5,100"},
    {"e_andi. r3,r5,0xFF00", "andi. r3,r5,0xFF00"},
    {"e_ori r3,r5,0x7F0000", "oris r3,r5,0x7F"},
    {"e_xori r3,r5,0xFF",    "xori r3,r5,0xFF"},
    {"e_cmpi 1,r3,5",        "cmpwi cr1,r3,5"},
    {"e_cmpli 2,r3,5",       "cmplwi cr2,r3,5"},
    {"e_li r3,-300000",      "lis r3,-5; ori r3,r3,0x6C20"},
    {"e_li r3,0x7FFFF",      "lis r3,7; ori r3,r3,0xFFFF"},
    {"e_lis r3,0x1234",      "lis r3,0x1234"},
    {"e_or2i r3,0x1234",     "ori r3,r3,0x1234"},
    {"e_or2is r3,0x1234",    "oris r3,r3,0x1234"},
    {"e_and2i. r3,0x1234",   "andi. r3,r3,0x1234"},
    {"e_and2is. r3,0x8000",  "andis. r3,r3,0x8000"},
    {"e_add2i. r3,-5",       "addi r3,r3,-5; cmpwi r3,0"},
    {"e_add2is r3,5",        "addis r3,r3,5"},
    {"e_mull2i r3,-7",       "mulli r3,r3,-7"},
    {"e_cmp16i r3,-5",       "cmpwi r3,-5"},
    {"e_cmpl16i r3,50000",   "lis r10,0; ori r10,r10,50000; cmplw r3,r10", Scratch},
    {"e_cmph16i r3,-5",      "extsh r10,r3; cmpwi r10,-5", Scratch},
    {"e_cmphl16i r3,50000",  "clrlwi r10,r3,16; li r11,0; ori r11,r11,50000; cmplw r10,r11", Scratch},
    {"e_rlwinm r3,r5,5,10,3", "rlwinm r3,r5,5,10,3"},
    {"e_rlwimi r3,r5,7,4,20", "rlwimi r3,r5,7,4,20"},
    {"e_rlw r3,r5,r6",       "rotlw r3,r5,r6"},
    {"e_rlw. r3,r5,r6",      "rotlw. r3,r5,r6"},
    {"e_rlwi r3,r5,7",       "rotlwi r3,r5,7"},
    {"e_slwi r3,r5,7",       "slwi r3,r5,7"},
    {"e_srwi. r3,r5,7",      "srwi. r3,r5,7"},
    {"e_cmph 1,r3,r5",       "extsh r10,r3; extsh r11,r5; cmpw cr1,r10,r11", Scratch},
    {"e_cmphl 2,r3,r5",      "clrlwi r10,r3,16; clrlwi r11,r5,16; cmplw cr2,r10,r11", Scratch},
    {"e_mcrf 1,3",           "mcrf 1,3"},
    {"e_crand 5,10,15",      "crand 5,10,15"},
    {"e_crandc 5,10,15",     "crandc 5,10,15"},
    {"e_creqv 5,10,15",      "creqv 5,10,15"},
    {"e_crnand 5,10,15",     "crnand 5,10,15"},
    {"e_crnor 5,10,15",      "crnor 5,10,15"},
    {"e_cror 5,10,15",       "cror 5,10,15"},
    {"e_crorc 5,10,15",      "crorc 5,10,15"},
    {"e_crxor 5,10,15",      "crxor 5,10,15"},
    {"e_lbz r3,-5(r4)",      "lbz r3,-5(r4)"},
    {"e_lhz r3,6(r4)",       "lhz r3,6(r4)"},
    {"e_lha r3,-6(r4)",      "lha r3,-6(r4)"},
    {"e_lwz r3,8(r4)",       "lwz r3,8(r4)"},
    {"e_stb r3,-1(r4)",      "stb r3,-1(r4)"},
    {"e_sth r3,2(r4)",       "sth r3,2(r4)"},
    {"e_stw r3,100(r4)",     "stw r3,100(r4)"},
    {"e_lbzu r3,5(r4)",      "lbzu r3,5(r4)"},
    {"e_lhzu r3,-2(r4)",     "lhzu r3,-2(r4)"},
    {"e_lhau r3,-2(r4)",     "lhau r3,-2(r4)"},
    {"e_lwzu r3,-8(r4)",     "lwzu r3,-8(r4)"},
    {"e_stbu r3,1(r4)",      "stbu r3,1(r4)"},
    {"e_sthu r3,2(r4)",      "sthu r3,2(r4)"},
    {"e_stwu r3,8(r4)",      "stwu r3,8(r4)"},
    {"e_lmw r28,0(r4)",      "lmw r28,0(r4)"},
    {"e_stmw r28,0(r4)",     "stmw r28,0(r4)"},
    {"e_b .+0x100",          "b .+0x100"},
    {"e_bl .+0x100",         "bl .+0x100", Link},
    {"e_bc 1,2,.+0x40",      "bc 12,2,.+0x40"},
    {"e_bc 0,5,.-0x40",      "bc 4,5,.-0x40"},
    {"e_bc 2,0,.+0x40",      "bc 16,0,.+0x40"},
    {"e_bc 3,0,.+0x40",      "bc 18,0,.+0x40"},
    {"e_bcl 1,2,.+0x40",     "bcl 12,2,.+0x40", Link},
    {"add r3,r4,r5",         "add r3,r4,r5"},
    {"subfco. r3,r5,r6",     "subfco. r3,r5,r6"},
    {"efsadd r3,r5,r6",      "efsadd r3,r5,r6"},
};
// clang-format on

std::string blob(bool vle)
{
    std::ostringstream s;
    for (const Pair& p : pairs) {
        std::string text = vle ? p.vle : p.classic;
        for (char& c : text)
            if (c == ';') c = '\n';
        s << "    .balign " << Slot << "\n" << text << "\n";
    }
    return s.str();
}

unsigned linecount(const char* text)
{
    unsigned n = 1;
    for (const char* c = text; *c; c++) n += *c == ';';
    return n;
}

struct Side {
    TargetReport report;
    RegisterFile regs;
    Memory mem{&report};
    Executor x{regs, mem, &report};
};

struct State {
    uint32_t reg[RegCount];
    std::vector<uint8_t> data;
};

State randomstate(std::mt19937& rng)
{
    static const uint32_t specials[] = {0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0xFFFF, 0x8000, 31, 32, 5};
    State s;
    for (unsigned k = 0; k < 32; k++) s.reg[k] = rng() % 3 == 0 ? specials[rng() % std::size(specials)] : uint32_t(rng());
    s.reg[4] = DataBase + 0x100;  // base registers of the memory cases
    s.reg[RegLr - 1] = uint32_t(rng()) & ~3u;
    s.reg[RegCtr - 1] = rng() % 2 ? uint32_t(rng() % 3) : uint32_t(rng()) & ~3u;
    s.reg[RegCr - 1] = uint32_t(rng());
    s.reg[RegXer - 1] = uint32_t(rng()) & 0xE0000000u;
    s.data.resize(DataBytes);
    for (auto& b : s.data) b = uint8_t(rng());
    return s;
}

// Runs count instructions from pc on a fresh copy of the state.
void runfrom(Side& side, const State& s, uint32_t pc, unsigned count)
{
    side.regs.putregs(s.reg);
    side.regs.setpc(pc);
    side.mem.putmem(DataBase, s.data.data(), s.data.size());
    for (unsigned k = 0; k < count; k++) ASSERT_EQ(side.x.step(), StepResult::Done);
}

// A pc or link value as an offset from the instruction, "next" when it is
// the address after the whole case.
std::string where(uint32_t value, uint32_t start, uint32_t next)
{
    if (value == next) return "next";
    return std::to_string(int32_t(value - start));
}

}  // namespace

TEST(Vle, AssemblerEncodingsDecodeToTheirRows)
{
    if (!simtest::havetools(false)) GTEST_SKIP() << "powerpc-linux-gnu binutils not installed";
    auto code = simtest::assemble(blob(true), true);
    ASSERT_TRUE(code);
    Side side;
    side.x.setvleboundary(VleBase);
    side.mem.putmem(VleBase, code->data(), code->size());
    for (size_t k = 0; k < std::size(pairs); k++) {
        Insn i = side.x.decode(VleBase + uint32_t(k * Slot));
        std::string want = pairs[k].vle;
        want = want.substr(0, want.find(' '));
        std::string got(Executor::mnemonic(i));
        // Rows cover the Rc, OE and link forms under one name.
        std::string rest = want.compare(0, got.size(), got) == 0 ? want.substr(got.size()) : "?";
        if (rest != "" && rest != "." && rest != "o" && rest != "o." && rest != "l")
            ADD_FAILURE() << pairs[k].vle << " decodes as " << got;
    }
}

TEST(Vle, SameEffectAsClassicCounterpart)
{
    if (!simtest::havetools(false)) GTEST_SKIP() << "powerpc-linux-gnu binutils not installed";
    auto vle = simtest::assemble(blob(true), true);
    auto classic = simtest::assemble(blob(false), false);
    ASSERT_TRUE(vle && classic);
    Side v, c;
    v.x.setvleboundary(VleBase);
    c.x.setvleboundary(VleBase);
    v.mem.putmem(VleBase, vle->data(), vle->size());
    c.mem.putmem(ClassicBase, classic->data(), classic->size());
    std::mt19937 rng(12345);
    for (size_t k = 0; k < std::size(pairs); k++) {
        const Pair& p = pairs[k];
        uint32_t vpc = VleBase + uint32_t(k * Slot), cpc = ClassicBase + uint32_t(k * Slot);
        unsigned vlen = v.x.decode(vpc).len, n = linecount(p.classic);
        for (unsigned st = 0; st < States; st++) {
            State s = randomstate(rng);
            runfrom(v, s, vpc, 1);
            runfrom(c, s, cpc, n);
            SCOPED_TRACE(std::string(p.vle) + "  vs  " + p.classic + "  state " + std::to_string(st));
            for (unsigned r = 1; r <= 32; r++) {
                if ((p.flags & Scratch) && (r == 11 || r == 12)) continue;
                EXPECT_EQ(v.regs.getreg(r), c.regs.getreg(r)) << regname(r);
            }
            for (unsigned r : {RegCtr, RegCr, RegXer}) EXPECT_EQ(v.regs.getreg(r), c.regs.getreg(r)) << regname(r);
            if (p.flags & Absolute)
                EXPECT_EQ(v.regs.getpc() & ~3u, c.regs.getpc()) << "pc";  // VLE keeps bit 1
            else
                EXPECT_EQ(where(v.regs.getpc(), vpc, vpc + vlen), where(c.regs.getpc(), cpc, cpc + 4 * n)) << "pc";
            if (p.flags & Link)
                EXPECT_EQ(where(v.regs.getreg(RegLr), vpc, vpc + vlen), where(c.regs.getreg(RegLr), cpc, cpc + 4 * n));
            else
                EXPECT_EQ(v.regs.getreg(RegLr), c.regs.getreg(RegLr)) << "lr";
            std::vector<uint8_t> vd(DataBytes), cd(DataBytes);
            v.mem.getmem(vd.data(), DataBase, DataBytes);
            c.mem.getmem(cd.data(), DataBase, DataBytes);
            EXPECT_EQ(vd, cd) << "memory";
            if (HasFailure()) return;
        }
    }
}
