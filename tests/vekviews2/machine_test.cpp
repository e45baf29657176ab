// The Registers, Stack and Disassembly windows without a screen, and the
// random fill.
#include <gtest/gtest.h>

#include "fakeenv.h"
#include "vek/command/data/data.h"
#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"
#include "vek/views/machinemodel/disasm.h"
#include "vek/views/machinemodel/regwin.h"
#include "vek/views/machinemodel/stackwin.h"

using namespace vek::views;

namespace {

struct Registers : ::testing::Test {
    vek::RegisterFile regs;
    RegSource src(int core) {
        RegSource s;
        const unsigned bank = core ? 0x80 : 0;
        s.getreg = [this, bank](unsigned n) { return regs.getreg(n + bank); };
        s.storereg = [this, bank](unsigned n, uint32_t v) { regs.storereg(n + bank, v); };
        s.instructions = 1234;
        s.lastcycles = 5;
        s.cycles = 99;
        s.setinstructions = [this](uint32_t v) { counter = v; };
        return s;
    }
    uint32_t counter = 0;
    std::vector<std::string> textlines(const std::string& t) {
        std::vector<std::string> out(1);
        for (char c : t)
            if (c == '\n') out.emplace_back();
            else out.back() += c;
        return out;
    }
};

TEST_F(Registers, TextAndLayout) {
    for (unsigned n = 1; n <= 37; ++n) regs.setreg(n, 0x01010101u * n);
    const std::string t = registertext(src(0));
    EXPECT_EQ(t.substr(0, 54), " r0:01010101   r8:09090909  r16:11111111  r24:19191919");
    EXPECT_NE(t.find("\n  r1:"), 0u);
    EXPECT_NE(t.find("\n r2:03030303  r10:0b0b0b0b  r18:13131313  r26:1b1b1b1b\n"), std::string::npos);
    EXPECT_NE(t.find("\n     xer:24242424  cr:23232323  ctr:22222222\n      lr:21212121  pc:25252525\n"),
              std::string::npos);
    EXPECT_TRUE(t.ends_with("\n\n   Instr.: 0000001234\n   Cycles: 0000000005 0000000099 "));
    const auto lines = textlines(t);
    const char* names[] = {"", "r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12",
                           "r13", "r14", "r15", "r16", "r17", "r18", "r19", "r20", "r21", "r22", "r23", "r24",
                           "r25", "r26", "r27", "r28", "r29", "r30", "r31", "lr", "ctr", "cr", "xer", "pc"};
    for (const RegField& f : regfields()) {
        if (f.reg == 0) break;
        const std::string& l = lines.at(f.line);
        const std::string value = l.substr(f.valuefirst, size_t(f.valuelast - f.valuefirst + 1));
        if (f.reg == 0xFFFF) {
            EXPECT_EQ(value, "0000001234");
            continue;
        }
        char want[16];
        std::snprintf(want, sizeof want, "%08x", 0x01010101u * f.reg);
        EXPECT_EQ(value, want) << names[f.reg];
        const std::string label = l.substr(f.labelfirst, size_t(f.labellast - f.labelfirst + 1));
        EXPECT_NE(label.find(names[f.reg]), std::string::npos) << label;
    }
}

TEST_F(Registers, OnlyChangedCharactersAreMarked) {
    RegisterPane p;
    EXPECT_TRUE(paintregs(p, registertext(src(0)), false));
    EXPECT_FALSE(paintregs(p, registertext(src(0)), false));
    regs.setreg(4, 0x10);   // r3
    ASSERT_TRUE(paintregs(p, registertext(src(0)), false));
    std::string marked;
    for (size_t i = 0; i < p.last.size(); ++i)
        if (p.changed[i]) marked += p.last[i];
    EXPECT_EQ(marked, "1");
}

TEST_F(Registers, EditingInPlace) {
    RegisterPane p;
    const RegSource s = src(0);
    EXPECT_EQ(regclick(p, s, 3, 4, false).what, RegClick::Edit);   // r3's first digit
    EXPECT_TRUE(regtype(p, s, '1'));
    EXPECT_EQ(regs.getreg(4), 0x10000000u);
    for (char c : std::string("2345678")) regtype(p, s, c);
    EXPECT_EQ(p.caretcol, 4);   // wrapped to the first digit
    EXPECT_TRUE(regtype(p, s, 'F'));
    EXPECT_EQ(regs.getreg(4), 0xF2345678u);
    EXPECT_FALSE(regtype(p, s, 'x'));
    EXPECT_TRUE(regtype(p, s, '\r'));
    EXPECT_FALSE(regtype(p, s, '1'));   // no edit
    EXPECT_EQ(regclick(p, s, 3, 1, false).what, RegClick::Dialog);
    EXPECT_EQ(regclick(p, s, 3, 13, false).what, RegClick::Beep);   // between two fields
    EXPECT_EQ(regclick(p, s, 3, 4, true).what, RegClick::Beep);     // running
    EXPECT_EQ(regclick(p, s, 12, 25, false).what, RegClick::CycleEdit);
    EXPECT_EQ(regclick(p, s, 20, 25, false).what, RegClick::Nothing);
    // The instruction counter takes decimal digits only.
    EXPECT_EQ(regclick(p, s, 11, 11, false).what, RegClick::Edit);
    EXPECT_FALSE(regtype(p, s, 'a'));
    EXPECT_FALSE(regtype(p, s, '9'));   // 9000001234 is beyond 32 bits
    EXPECT_TRUE(regtype(p, s, '1'));
    EXPECT_EQ(counter, 1000001234u);
}

TEST_F(Registers, CoreOneHasItsOwnBank) {
    regs.setreg(4, 0x11111111);
    regs.setreg(4 + 0x80, 0x22222222);
    EXPECT_NE(registertext(src(1)).find("r3:22222222"), std::string::npos);
    RegisterPane p;
    const RegSource s = src(1);
    regclick(p, s, 3, 4, false);
    regtype(p, s, '3');
    EXPECT_EQ(regs.getreg(4 + 0x80), 0x32222222u);
    EXPECT_EQ(regs.getreg(4), 0x11111111u);
}

TEST(StackWindow, LinesOffsetsAndTheSaveFile) {
    StackPane p;
    p.clientlines = 3;
    setstacklines(p, {{"inner(1,2)", 3}, {".(x)", 2}, {"middle()", 1}, {"outer(7)", 0}, {"main()", -1}});
    ASSERT_EQ(p.lines.size(), 4u);
    EXPECT_EQ(p.maxoffset, 1);
    // The oldest call on the bottom row.
    EXPECT_EQ(stackrow(p, 2), 3);
    EXPECT_EQ(stackrow(p, 0), 1);
    scrollstack(p, StackTop);
    EXPECT_EQ(stackrow(p, 0), 0);
    EXPECT_EQ(p.lines[size_t(stackrow(p, 0))].text, "inner(1,2)");
    scrollstack(p, StackLineUp);
    EXPECT_EQ(p.offset, 1);
    scrollstack(p, StackBottom);
    EXPECT_EQ(p.offset, 0);
    EXPECT_EQ(stackrow(p, 5), -1);
    EXPECT_EQ(stacklayout(p), "\n\t\tStack Layout\n\n\tinner(1,2)\n\tmiddle()\n\touter(7)\n\tmain()\n");
    EXPECT_EQ(stackprint(p), "inner(1,2)\nmiddle()\nouter(7)\nmain()\n");
    StackPane few;
    few.clientlines = 5;
    setstacklines(few, {{"f()", 0}});
    EXPECT_EQ(stackrow(few, 4), 0);   // on the bottom line however few
    EXPECT_EQ(stackrow(few, 0), -1);
}

struct Disassembly : ::testing::Test {
    FakeWorld world;
    MemEnv env = world.env();
    void SetUp() override {
        env.linerange = [](uint32_t pc, uint32_t& s, uint32_t& n) {
            s = pc & ~0x7u;
            n = s + 8;
            return true;
        };
    }
};

TEST_F(Disassembly, FollowsThePc) {
    DisasmPane p;
    p.linecount = 8;
    EXPECT_TRUE(refreshdisasm(p, env, 0x1004));
    EXPECT_EQ(p.start, 0x1000u);
    EXPECT_EQ(p.end, 0x101Cu);
    EXPECT_EQ(p.lines[0], "00001000 \x01\x0bnop\x01\x0a ");
    EXPECT_FALSE(refreshdisasm(p, env, 0x1010));   // only the highlight moves
    EXPECT_EQ(p.start, 0x1000u);
    EXPECT_EQ(p.hlstart, 0x1010u);
    EXPECT_TRUE(refreshdisasm(p, env, 0x101C));     // on the last line
    EXPECT_EQ(p.start, 0x1018u);
    EXPECT_EQ(p.hlnext, 0x1020u);
    // Each pane follows its own core's pc.
    DisasmPane other;
    other.core = 1;
    refreshdisasm(other, env, 0x2000);
    EXPECT_EQ(other.start, 0x2000u);
    EXPECT_EQ(p.start, 0x1018u);
}

TEST_F(Disassembly, ScrollKeysAndClicks) {
    DisasmPane p;
    p.linecount = 4;
    builddisalines(p, env, 0, true, 0);
    scrolldisasm(p, env, LineUp, 0);
    EXPECT_EQ(p.start, 0u);
    scrolldisasm(p, env, PageDown, 0);
    EXPECT_EQ(p.start, 4u);
    scrolldisasm(p, env, LineUp, 0);
    EXPECT_EQ(p.start, 0u);
    std::string cmd;
    EXPECT_FALSE(disasmkey('x', cmd));
    EXPECT_TRUE(disasmkey('w', cmd));
    EXPECT_EQ(cmd, "");
    EXPECT_TRUE(disasmkey('G', cmd));
    EXPECT_EQ(cmd, "tgo");
    EXPECT_EQ(disasmclick(p, env, 1, 2, true, KeyW).text, "watch @0x4");
    world.events[4] = 1;
    EXPECT_EQ(disasmclick(p, env, 1, 2, false, 0).what, MemClick::Nothing);
    EXPECT_EQ(disasmclick(p, env, 1, 2, true, KeyShift).eventcmd, 801);
    EXPECT_EQ(disasmclick(p, env, 1, 10, false, 0).text, "nop");
    world.running = true;
    EXPECT_FALSE(scrolldisasm(p, env, LineDown, 0));
}

TEST(RandomFill, FifteenBitValues) {
    vek::Memory mem;
    vek::seedrand15(7);
    ASSERT_TRUE(vek::fillmem(mem, 0x100, 0x1FF, 4, true, 0, true));
    bool nonzero = false;
    for (uint32_t a = 0x100; a < 0x200; a += 4) {
        EXPECT_EQ(mem.getword(a), 0u);
        nonzero |= mem.getword(a + 2) != 0;
        EXPECT_LE(mem.getword(a + 2), 0x7FFFu);
    }
    EXPECT_TRUE(nonzero);
    // The same seed gives the same values.
    vek::seedrand15(7);
    vek::Memory again;
    vek::fillmem(again, 0x100, 0x1FF, 4, false, 0, true);
    for (uint32_t a = 0x100; a < 0x200; a += 4) EXPECT_EQ(again.getlong(a), mem.getlong(a));
}

}  // namespace
