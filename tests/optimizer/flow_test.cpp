// The label graph, flow and liveness queries on small graphs, the removal
// of dead chains, and whether two memory accesses may touch the same bytes.
#include <sstream>

#include "harness.h"
#include "toollib/quit.h"

namespace {

using namespace opt;
using opttest::insn;
using opttest::label;
using opttest::loadunit;
using opttest::regs;
using opttest::unit;

std::string text(const InsnNode* n) { return n ? lineof(n) : "(none)"; }

const char* const kDiamond =
    "\tcmpi\tr3,0\n"
    "\tbeq\tL2\n"
    "\tli\tr4,1\n"
    "\tb\tL3\n"
    "L2:\n"
    "\tli\tr4,2\n"
    "L3:\n"
    "\tmr\tr3,r4\n"
    "\tuse\t(r3)\n"
    "\tblr\n";

TEST(Flow, Diamond) {
    Optimizer o;
    loadunit(o, unit(kDiamond));
    InsnNode* mr = insn(o, 5);
    ASSERT_EQ(text(mr), "\tmr\tr3,r4");
    EXPECT_EQ(previnsn(o, mr, false), nullptr);   // two ways in
    EXPECT_EQ(text(previnsn(o, mr, true)), "\tli\tr4,2");
    InsnNode* other = poppath(o, false);
    EXPECT_EQ(text(other), "\tb\tL3");
    EXPECT_EQ(text(previnsn(o, other, true)), "\tli\tr4,1");
    EXPECT_EQ(poppath(o, false), nullptr);
    poppath(o, true);

    EXPECT_EQ(text(nextinsn(o, insn(o, 3), 0)), "\tmr\tr3,r4");            // follows the jump
    EXPECT_EQ(nextinsn(o, insn(o, 2), StopAtLabel | ListOrder), insn(o, 3));
    EXPECT_EQ(nextinsn(o, insn(o, 4), StopAtLabel), nullptr);             // L3 follows
    EXPECT_EQ(nextinsn(o, insn(o, 4), ReturnLabel), label(o, "L3"));
    EXPECT_EQ(nextinsn(o, insn(o, 6), 0), nullptr);                       // blr: an exit
    clearmarks(o, o.pendingmarks);

    // r4 is read at L3 on both paths; r5 and cr0 are not read again; r14
    // is the caller's
    EXPECT_FALSE(deadregs(o, insn(o, 2)->next, regs("r4")));
    EXPECT_TRUE(deadregs(o, insn(o, 1), regs("r5")));
    EXPECT_TRUE(deadregscr(o, insn(o, 2), 0, Cr0));
    EXPECT_FALSE(deadregscr(o, insn(o, 1), 0, Cr0));
    EXPECT_FALSE(deadregs(o, insn(o, 1), regs("r14")));
    // the use line gave r3 to the return and is gone
    EXPECT_EQ(insn(o, 6)->gprread & regs("r3"), regs("r3"));
    EXPECT_FALSE(deadregs(o, insn(o, 5)->next, regs("r3")));
    EXPECT_EQ(o.pendingmarks, 0);
}

TEST(Flow, GuardedLoop) {
    Optimizer o;
    loadunit(o, unit("\tcmpi\tr3,0\n"
                     "\tbeq\tL9\n"
                     "\tmtctr\tr3\n"
                     "L5:\n"
                     "\tlwzu\tr4,4(r5)\n"
                     "\tadd\tr6,r4\n"
                     "\tbdnz\tL5\n"
                     "L9:\n"
                     "\tmr\tr3,r6\n"
                     "\tuse\t(r3)\n"
                     "\tblr\n"));
    InsnNode* lwzu = insn(o, 3);
    InsnNode* add = insn(o, 4);
    EXPECT_FALSE(deadregs(o, add->next, regs("r6")));     // the next round adds to it
    EXPECT_TRUE(deadregs(o, add->next, regs("r4")));      // reloaded first
    EXPECT_FALSE(deadregs(o, lwzu, regs("r5")));
    EXPECT_FALSE(deadregscr(o, insn(o, 2)->next, 0, Ctr));
    // all paths into the loop head: from before it and from the back branch
    o.loopguard = true;
    EXPECT_EQ(text(previnsn(o, lwzu, true)), "\tmtctr\tr3");
    InsnNode* back = poppath(o, false);
    EXPECT_EQ(text(back), "\tbdnz\tL5");
    EXPECT_EQ(previnsn(o, back, true), add);
    EXPECT_EQ(poppath(o, false), nullptr);
    // a second walk round the loop is cut by the visit mark
    poppath(o, true);
    o.loopguard = true;
    InsnNode* n = lwzu;
    int steps = 0;
    while ((n = previnsn(o, n, false)) && steps < 10) ++steps;
    EXPECT_LT(steps, 10);
    clearmarks(o, o.pendingmarks);
}

TEST(Flow, JumpTableAfterTheHelper) {
    Optimizer o;
    loadunit(o, unit("\tcmpli\tr3,3\n"
                     "\tbge\tL9\n"
                     "\tbl\tc_jrtab\n"
                     "\tdc.l\tL2\n"
                     "\tdc.l\tL4\n"
                     "\tdc.l\tL6\n"
                     "L2:\n"
                     "\tli\tr3,1\n"
                     "\tb\tL9\n"
                     "L4:\n"
                     "\tli\tr3,2\n"
                     "\tb\tL9\n"
                     "L6:\n"
                     "\tli\tr3,3\n"
                     "L9:\n"
                     "\tuse\t(r3)\n"
                     "\tblr\n"));
    for (const char* l : {"L2", "L4", "L6"}) {
        ASSERT_NE(label(o, l), nullptr) << l;
        ASSERT_EQ(label(o, l)->rec->refs.size(), 1u) << l;
        EXPECT_TRUE(label(o, l)->rec->refs[0]->istext()) << l;
    }
    EXPECT_EQ(label(o, "L9")->rec->refs.size(), 3u);
    // a case is entered only from the helper, through its table line
    EXPECT_EQ(text(previnsn(o, insn(o, 3), false)), "\tbl\tc_jrtab");
    EXPECT_EQ(text(previnsn(o, insn(o, 5), false)), "\tbl\tc_jrtab");
    EXPECT_FALSE(deadregs(o, insn(o, 3)->next, regs("r3")));
    EXPECT_TRUE(deadregs(o, insn(o, 2)->next, regs("r3")));   // the helper's index is spent
}

// 17 branches into one label overflow the 16 pending paths: the walk fails.
TEST(Flow, WideJoinOverflowsThePathList) {
    for (int ways : {16, 17}) {
        std::string body;
        for (int k = 0; k < ways; ++k) body += "\tcmpi\tr3," + std::to_string(k) + "\n\tbeq\tL50\n";
        body += "\tb\tL51\nL50:\n\tli\tr4,1\nL51:\n\tuse\t(r4)\n\tblr\n";
        Optimizer o;
        loadunit(o, unit(body));
        InsnNode* li = insn(o, 2 * ways + 1);
        ASSERT_EQ(text(li), "\tli\tr4,1");
        o.loopguard = true;
        InsnNode* p = previnsn(o, li, true);
        if (ways == 16) {
            EXPECT_NE(p, nullptr);
            EXPECT_FALSE(o.pathoverflow);
        } else {
            EXPECT_EQ(p, nullptr);
            EXPECT_TRUE(o.pathoverflow);
        }
        poppath(o, true);
    }
}

// A label first scanned for fewer registers is scanned again for the
// registers it did not cover.
TEST(Flow, LivenessRescansATargetForMoreRegisters) {
    Optimizer o;
    loadunit(o, unit("\tbeq\tL1\n"
                     "\tli\tr5,0\n"
                     "\tbeq\tL2\n"
                     "\tblr\n"
                     "L1:\n"
                     "\tbeq\tL2\n"
                     "\tblr\n"
                     "L2:\n"
                     "\tadd\tr3,r5\n"
                     "\tuse\t(r3)\n"
                     "\tblr\n"));
    EXPECT_FALSE(deadregs(o, insn(o, 0), regs("r4 r5")));
    EXPECT_TRUE(deadregs(o, insn(o, 0), regs("r4")));
    EXPECT_FALSE(deadregs(o, insn(o, 0), regs("r17")));   // the caller's
}

TEST(Flow, UseLinesVanishUnderKeepComments) {
    Optimizer o;
    o.opt.c = 1;
    loadunit(o, unit("\tli\tr3,1\n\tuse\t(r3,r4)\n\tbl\t_g\n\tuse\t(r3)\n\tblr\n"));
    EXPECT_EQ(unittext(o), "_f:\nFL:\n\tli\tr3,1\n\tbl\t_g\n\tblr\nFL:\n");
    EXPECT_EQ(insn(o, 1)->gprread, regs("r3 r4"));
    EXPECT_EQ(insn(o, 2)->gprread, regs("r3"));
}

TEST(Labels, ReferencesAndDeletion) {
    Optimizer o;
    std::string body = "\tcmpi\tr3,0\n";
    for (int k = 0; k < 1500; ++k) body += "\tbeq\tL1\n";
    body += "L1:\n\tblr\n";
    loadunit(o, unit(body));
    InsnNode* l1 = label(o, "L1");
    ASSERT_NE(l1, nullptr);
    EXPECT_EQ(l1->rec->refs.size(), 1500u);
    for (int k = 0; k < 1499; ++k) delinsn(o, insn(o, 1));
    EXPECT_EQ(label(o, "L1"), l1);
    EXPECT_EQ(l1->rec->refs.size(), 1u);
    o.opt.c = 1;
    o.passname = "B2";
    delinsn(o, insn(o, 1));
    EXPECT_EQ(label(o, "L1"), nullptr);   // its last branch went, so did it
    EXPECT_EQ(unittext(o), "_f:\nFL:\n\tcmpi\tr3,0\n;***** beq L1 ***** B2\n\tblr\nFL:\n");
}

TEST(Labels, CommentOfADeletedLine) {
    Optimizer o;
    o.opt.c = 1;
    loadunit(o, unit("\tli\tr3,5\n\taddo.\tr4,r4,r5\n\tblr\n"));
    o.passname = "M0";
    InsnNode* n = delinsn(o, insn(o, 0));
    EXPECT_EQ(lineof(n), ";***** li r3,5 ***** M0");
    EXPECT_TRUE(n->istext());
    o.passname.clear();
    EXPECT_EQ(lineof(delinsn(o, insn(o, 0))), ";***** addo. r4,r4,r5");
}

TEST(Labels, MadeLabelsCountOverTheRun) {
    Optimizer o;
    std::string text = unit("\tblr\n") + "_g:\nFL:\n\tb\tL3\nL3:\n\tblr\nFL:\n";
    opt::initinsntab();
    o.in = ::fmemopen(text.data(), text.size(), "rb");
    ASSERT_NE(o.in, nullptr);
    std::vector<std::string> names;
    while (readunit(o)) {
        linklabels(o);
        InsnNode* l = newlabel(o, insn(o, 0), 1);
        names.emplace_back(labelname(l));
        EXPECT_EQ(o.unit.labels, l);   // first in the list: no label before it
    }
    EXPECT_EQ(names, (std::vector<std::string>{"LC001", "LC002"}));
}

TEST(Labels, MentionedLabelsAreKept) {
    Optimizer o;
    loadunit(o, unit("\tla\tr3,L7\n\tblr\nL7:\n\tdc.l\t5\nL8:\n\tli\tr3,1\nL9:\n\tblr\n"));
    EXPECT_EQ(unittext(o), "_f:\nFL:\n\tla\tr3,L7\n\tblr\nL7:\n\tdc.l\t5\n\tli\tr3,1\n\tblr\nFL:\n");
}

// A conditional branch-and-link to a name outside the unit calls it.
TEST(Labels, ConditionalCallOutside) {
    Optimizer o;
    loadunit(o, unit("\tcmpi\tr3,0\n\tbeql\t_g\n\tli\tr3,1\n\tuse\t(r3)\n\tblr\n"));
    InsnNode* call = insn(o, 1);
    EXPECT_TRUE(iscall(call));
    EXPECT_FALSE(islabelbranch(call));
    EXPECT_TRUE(fallsthrough(call));
    EXPECT_FALSE(deadregs(o, insn(o, 0)->next, regs("r3")));   // the call may take it
}

// deadchain never removes an instruction whose effect the registers do not
// show.
struct Chain {
    const char* body;
    int from;            // the instruction the chain starts at
    const char* left;    // the unit's code afterwards
};

class DeadChains : public ::testing::TestWithParam<Chain> {};

TEST_P(DeadChains, RemovesOnlyDeadWork) {
    const Chain& c = GetParam();
    Optimizer o;
    loadunit(o, unit(c.body));
    deadchain(o, insn(o, c.from));
    std::string got = unittext(o);
    EXPECT_EQ(got.substr(8, got.size() - 12), c.left) << c.body;
}

const Chain kChains[] = {
    {"\tli\tr4,1\n\tli\tr3,5\n\tblr\n", 1, "\tblr\n"},
    {"\tli\tr14,1\n\tblr\n", 0, "\tli\tr14,1\n\tblr\n"},
    {"\tcmpi\tr3,0\n\tblr\n", 0, "\tblr\n"},
    {"\tstmw\tr29,8(r1)\n\tblr\n", 0, "\tstmw\tr29,8(r1)\n\tblr\n"},
    {"\tmfspr\tr3,256\n\tblr\n", 0, "\tmfspr\tr3,256\n\tblr\n"},
    {"\taddic\tr3,r4,1\n\tadde\tr5,r6,r7\n\tuse\t(r5)\n\tblr\n", 0,
     "\taddic\tr3,r4,1\n\tadde\tr5,r6,r7\n\tblr\n"},
    {"\tla\tr2,L5\n\tblr\n", 0, "\tla\tr2,L5\n\tblr\n"},
    {"\tlwz\tr13,0(r3)\n\tblr\n", 0, "\tlwz\tr13,0(r3)\n\tblr\n"},
    {"\tfadd\tfr1,fr2,fr3\n\tblr\n", 0, "\tfadd\tfr1,fr2,fr3\n\tblr\n"},
    {"\twrteei\t1\n\tblr\n", 0, "\twrteei\t1\n\tblr\n"},
    {"\tmtlr\tr0\n\tblr\n", 0, "\tmtlr\tr0\n\tblr\n"},
    {"\tlwz\tr3,0(r4)\nVL:\n\tblr\n", 0, "\tlwz\tr3,0(r4)\nVL:\n\tblr\n"},
    {"\tcrand\t4,1,2\n\tblr\n", 0, "\tcrand\t4,1,2\n\tblr\n"},
    {"\tli\tr3,0\n\trlwimi\tr3,r4,8,16,23\n\tmr\tr5,r3\n\tuse\t(r5)\n\tblr\n", 0,
     "\tli\tr3,0\n\trlwimi\tr3,r4,8,16,23\n\tmr\tr5,r3\n\tblr\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeadChains, ::testing::ValuesIn(kChains));

// Two accesses of a unit: may they touch a common byte?
struct Alias {
    const char* body;
    int a, b;   // the two accesses, as instruction numbers
    bool may;
};

class MayAlias : public ::testing::TestWithParam<Alias> {};

TEST_P(MayAlias, Pairs) {
    const Alias& c = GetParam();
    Optimizer o;
    loadunit(o, unit(std::string(c.body) + "\tblr\n"));
    InsnNode* a = insn(o, c.a);
    InsnNode* b = insn(o, c.b);
    ASSERT_TRUE(a && b) << c.body;
    EXPECT_EQ(mayalias(o, a, b), c.may) << c.body;
    EXPECT_EQ(mayalias(o, b, a), c.may) << c.body;
}

const Alias kAliases[] = {
    {"\tstw\tr3,0(r4)\n\tlwz\tr5,4(r4)\n", 0, 1, false},
    {"\tstw\tr3,0(r4)\n\tlwz\tr5,2(r4)\n", 0, 1, true},
    {"\tsth\tr3,2(r4)\n\tlbz\tr5,1(r4)\n", 0, 1, false},
    {"\tstw\tr3,0(r4)\n\taddi\tr4,r4,4\n\tlwz\tr5,4(r4)\n", 0, 2, true},
    {"\tstwu\tr3,4(r4)\n\tlwz\tr5,0(r4)\n", 0, 1, true},
    {"\tstw\tr3,0(r4)\nL1:\n\tlwz\tr5,4(r4)\n\tb\tL1\n", 0, 1, true},
    {"\tstw\tr3,0(r4)\n\tlwz\tr5,0(r6)\n", 0, 1, true},
    {"\tstw\tr3,_x(r13)\n\tlwz\tr5,_y(r13)\n", 0, 1, false},
    {"\tstw\tr3,_x(r13)\n\tlwz\tr5,_x+4(r13)\n", 0, 1, false},
    {"\tstw\tr3,_x(r13)\n\tlwz\tr5,_x+2(r13)\n", 0, 1, true},
    {"\tstw\tr3,_x(r13)\n\tlwz\tr5,0(r4)\n", 0, 1, true},
    {"\tlwz\tr3,4(r2)\n\tstw\tr5,0(r4)\n", 0, 1, false},
    {"\tstw\tr3,8(r1)\n\tstw\tr5,_x(r13)\n", 0, 1, false},
    {"\tstw\tr3,OFST-8(r1)\n\tlwz\tr4,OFST-4(r1)\n", 0, 1, false},
    {"\tstw\tr3,8(r1)\n\tlwz\tr5,0(r4)\n", 0, 1, false},
    {"\tla\tr6,8(r1)\n\tstw\tr3,8(r1)\n\tlwz\tr5,0(r4)\n", 1, 2, true},
    {"\tmr\tr6,r1\n\tstw\tr3,8(r1)\n\tlwz\tr5,0(r4)\n", 1, 2, true},
    {"\tstw\tr1,0(r7)\n\tstw\tr3,8(r1)\n\tlwz\tr5,0(r4)\n", 1, 2, true},
    {"\tstw\tr3,8(r1)\n\tlwzx\tr4,r1,r5\n", 0, 1, true},
    {"\tstmw\tr29,8(r1)\n\tlwz\tr3,16(r1)\n", 0, 1, true},
    {"\tstmw\tr29,8(r1)\n\tlwz\tr3,20(r1)\n", 0, 1, false},
    {"\tlwzx\tr3,r4,r5\n\tstw\tr6,0(r7)\n", 0, 1, true},
    // frame slots named through the unit's OFST value and without it
    {"OFST:\tset\t4\n\tstw\tr3,OFST+0(r1)\n\tstw\tr0,0(r1)\n", 0, 1, false},
    {"OFST:\tset\t4\n\tstw\tr3,OFST-4(r1)\n\tlwz\tr0,0(r1)\n", 0, 1, true},
    {"\tstw\tr3,OFST+0(r1)\n\tstw\tr0,0(r1)\n", 0, 1, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, MayAlias, ::testing::ValuesIn(kAliases));

TEST(Prepare, KeepMaskAndParameterMoves) {
    Optimizer o;
    // renaming word 14*1024 + 5*32 + 2: r14,r15 moved into r5,r6
    loadunit(o, unit("\t.dentry\t\"a.c~f:-16.16.14498.0\"\n"
                     "\t.dcall\t\"16,0,_f\"\n"
                     "\tmr\tr16,r3\n"
                     "\tlwz\tr17,OFST+4(r1)\n"
                     "\tmr\tr18,r11\n"
                     "\tblr\n"));
    uint32_t pair = regs("r5 r14");
    uint32_t expect = regs("r14-r31");
    for (int k = 0; k < 2; ++k, pair <<= 1) expect ^= pair;
    EXPECT_EQ(o.unit.keepmask, expect);
    EXPECT_TRUE(insn(o, 0)->isvolatile());
    EXPECT_TRUE(insn(o, 1)->isvolatile());
    EXPECT_FALSE(insn(o, 2)->isvolatile());
    EXPECT_EQ(unittext(o), "_f:\nFL:\n\t.dcall\t\"16,0,_f\"\n\tmr\tr16,r3\nVL:\n\tlwz\tr17,OFST+4(r1)\nVL:\n"
                           "\t.dentry\t\"a.c~f:-16.16.14498.0\"\n\tmr\tr18,r11\n\tblr\nFL:\n");
}

}  // namespace

namespace {

// Units made of random lines (labels, markers, branches to names that may
// not exist, instructions with odd operands): reading, linking, every flow
// query from every instruction and the removal of dead chains end, and the
// only failure is the one for a conditional branch to no label.
TEST(Flow, RandomUnitsNeverHang) {
    const char* const kLines[] = {
        "L1:", "L2:", "L3:", "FL:", "VL:", "XL:", "LL4:", "L5:\taddi\tr3,r3,1", "L6:\tdc.l\t5",
        "\tb\tL1", "\tb\tL2", "\tb\t_far", "\tbeq\tL1", "\tbne\tL3", "\tbdnz\tL2", "\tbeql\t_g", "\tblr",
        "\tbl\t_g", "\tbl\tc_jrtab", "\tdc.l\tL1", "\tdc.l\tL3", "\tuse\t(r3)", "\tli\tr3,5", "\tmr\tr4,r3",
        "\tlwz\tr5,0(r4)", "\tstw\tr5,8(r1)", "\tlmw\tr29,8(r1)", "\tcmpi\tr3,0", "\tcrand\t4*cr1+eq,,",
        "\tisel\tr3,r0,r4,", "\tadd\t,,", "\tlwzu\tr3,(", "\tstw\t)r3(", "\t.dentry\t\"x~f:-8.8.99999.0\"",
        "OFST:\tset\t", "\tcmpw\tcr9,r3,r4", "\tmfspr\tr3,", "; comment", "", "\tmtctr\tr3",
    };
    uint64_t seed = 12345;
    auto next = [&] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(seed >> 33);
    };
    int fatal = 0, done = 0;
    ::testing::internal::CaptureStderr();
    for (int round = 0; round < 600; ++round) {
        std::string text = "_f:\nFL:\n";
        int count = 4 + static_cast<int>(next() % 24);
        for (int k = 0; k < count; ++k) text += std::string(kLines[next() % std::size(kLines)]) + "\n";
        text += "FL:\n";
        Optimizer o;
        int status = tl::runmain([&] {
            loadunit(o, text);
            for (int i = 0;; ++i) {
                InsnNode* n = insn(o, i);
                if (!n) break;
                o.loopguard = (i & 1) != 0;
                previnsn(o, n, (i & 2) != 0);
                poppath(o, true);
                nextinsn(o, n, i % 3 == 0 ? 0 : StopAtLabel);
                deadregscr(o, n, n->gprwrite | regs("r14"), n->crwrite);
                if (InsnNode* m = insn(o, i / 2)) mayalias(o, n, m);
                clearmarks(o, o.pendingmarks);
            }
            for (int i = 0; InsnNode* n = insn(o, i); i += 2) deadchain(o, n);
            unittext(o);
            return 0;
        });
        (status == 0 ? done : fatal) += 1;
    }
    std::string err = ::testing::internal::GetCapturedStderr();
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) EXPECT_NE(line.find("bad branch label"), std::string::npos) << line;
    EXPECT_GT(done, 0);
    EXPECT_GT(fatal, 0);
}

}  // namespace
