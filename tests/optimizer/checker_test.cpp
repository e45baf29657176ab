// The rewrite checker: identical versions agree, a wrong rewrite is caught
// with its seed and what differs, a harmless one in a function with calls,
// a run-time helper and frame stores passes; and the languages it relies on.
#include <cstdlib>
#include <filesystem>

#include "assembler/asm.h"
#include "harness.h"
#include "tools/optcheck/checker.h"

namespace {

using opttest::ScratchTest;
using opttest::unit;

optcheck::Settings quick() {
    optcheck::Settings s;
    s.seeds = 6;
    return s;
}

const std::string kBefore = unit("\tadd\tr5,r3,r4\n\tstw\tr6,0(r7)\n\tmr\tr6,r5\n\tmr\tr3,r5\n\tuse\t(r3)\n\tblr\n");
const std::string kWrong = unit("\tadd\tr6,r3,r4\n\tstw\tr6,0(r7)\n\tmr\tr3,r5\n\tuse\t(r3)\n\tblr\n");

TEST(Checker, IdenticalVersionsAgree) {
    optcheck::Verdict v = optcheck::compare(kBefore, kBefore, quick());
    EXPECT_TRUE(v.ok) << v.message;
    EXPECT_EQ(v.returned, 6);
}

TEST(Checker, WrongRewriteIsReportedWithSeedAndRegister) {
    optcheck::Verdict v = optcheck::compare(kBefore, kWrong, quick());
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.message.substr(0, 11), "seed 1: r3 ") << v.message;
    EXPECT_NE(v.message.find("after the change"), std::string::npos) << v.message;
}

// A function as the generator writes it: frame, saved register, a call with
// arguments, a helper, a store to a small-data variable.
const std::string kCalls = unit(
    "\tsubi\tr1,r1,16\n"
    "\tstw\tr14,8(r1)\n"
    "\tmflr\tr0\n"
    "\tstw\tr0,0(r1)\n"
    "OFST:\tset\t16\n"
    "\tmr\tr14,r3\n"
    "\tstw\tr4,OFST+4(r1)\n"
    "\tuse\t(r3,r4)\n"
    "\tbl\t_h\n"
    "\tadd\tr3,r14\n"
    "\tlwz\tr4,OFST+4(r1)\n"
    "\tli\tr5,0\n"
    "\tli\tr6,0\n"
    "\tbl\tc_dadd\n"
    "\tstw\tr3,_x(r13)\n"
    "\tlwz\tr0,0(r1)\n"
    "\tmtlr\tr0\n"
    "\tlwz\tr14,8(r1)\n"
    "\taddi\tr1,r1,16\n"
    "\tuse\t(r3)\n"
    "\tblr\n");

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(Checker, CallsHelpersAndFrameStores) {
    std::string harmless = replaced(kCalls, "\tli\tr6,0\n", "\tmr\tr6,r5\n");
    optcheck::Verdict v = optcheck::compare(kCalls, harmless, quick());
    EXPECT_TRUE(v.ok) << v.message;
    EXPECT_EQ(v.returned, 6);

    // the parameter's frame slot no longer written: the helper sees garbage
    std::string lost = replaced(kCalls, "\tstw\tr4,OFST+4(r1)\n", "");
    v = optcheck::compare(kCalls, lost, quick(), kCalls);
    EXPECT_FALSE(v.ok);
    EXPECT_NE(v.message.find("call trace"), std::string::npos) << v.message;

    // the saved register not restored
    std::string clobber = replaced(kCalls, "\tlwz\tr14,8(r1)\n", "");
    v = optcheck::compare(kCalls, clobber, quick(), kCalls);
    EXPECT_FALSE(v.ok);
    EXPECT_NE(v.message.find("r14 is"), std::string::npos) << v.message;

    // a value the caller gets in a variable changed
    std::string store = replaced(kCalls, "\tstw\tr3,_x(r13)\n", "\tstw\tr4,_x(r13)\n");
    v = optcheck::compare(kCalls, store, quick(), kCalls);
    EXPECT_FALSE(v.ok);
    EXPECT_NE(v.message.find("_x+"), std::string::npos) << v.message;
}

TEST(Checker, RejectedRewriteFails) {
    std::string broken = replaced(kBefore, "\tmr\tr3,r5\n", "\tmr\tr3,r5,r6,\n");
    optcheck::Verdict v = optcheck::compare(kBefore, broken, quick());
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.message.substr(0, 40), "the assembler rejects the changed text: ") << v.message;
}

TEST(Checker, LoopsAndJumpTables) {
    const std::string loop = unit(
        "\tsubi\tr1,r1,8\n"
        "\tmflr\tr0\n"
        "\tstw\tr0,0(r1)\n"
        "\tcmpli\tr3,3\n"
        "\tbge\tL9\n"
        "\tbl\tc_jrtab\n"
        "\tdc.l\tL2\n"
        "\tdc.l\tL4\n"
        "\tdc.l\tL6\n"
        "L2:\n"
        "\tli\tr3,10\n"
        "\tb\tL9\n"
        "L4:\n"
        "\tli\tr3,20\n"
        "\tb\tL9\n"
        "L6:\n"
        "\tli\tr0,4\n"
        "\tmtctr\tr0\n"
        "\tli\tr3,0\n"
        "L8:\n"
        "\taddi\tr3,r3,3\n"
        "\tbdnz\tL8\n"
        "L9:\n"
        "\tlwz\tr0,0(r1)\n"
        "\tmtlr\tr0\n"
        "\taddi\tr1,r1,8\n"
        "\tuse\t(r3)\n"
        "\tblr\n");
    optcheck::Settings s;
    s.seeds = 100;   // enough states to take every case
    optcheck::Verdict v = optcheck::compare(loop, loop, s);
    EXPECT_TRUE(v.ok) << v.message;
    EXPECT_EQ(v.returned, 100);
    v = optcheck::compare(loop, replaced(loop, "\tli\tr3,20\n", "\tli\tr3,21\n"), s);
    EXPECT_FALSE(v.ok);
    v = optcheck::compare(loop, replaced(loop, "\taddi\tr3,r3,3\n", "\taddi\tr3,r3,2\n"), s);
    EXPECT_FALSE(v.ok);
}

// What the framework itself does to a unit (reading, label merging, the
// removal of dead chains from any instruction) never changes what the
// function does.
TEST(Checker, FrameworkRewritesKeepBehaviour) {
    const std::string carry = unit(
        "\tli\tr5,0\n"
        "\taddic\tr6,r3,1\n"
        "\tadde\tr7,r4,r5\n"
        "\tcmpw\tcr1,r3,r4\n"
        "\tli\tr0,5\n"
        "\tmtctr\tr0\n"
        "\tbgt\tcr1,L1\n"
        "L1:\n"
        "L3:\n"
        "\tadd\tr5,r5,r6\n"
        "\tcmpwi\tr5,0\n"
        "\tbdnz\tL3\n"
        "\tbeq\tcr1,L2\n"
        "\tmr\tr3,r7\n"
        "\tli\tr8,3\n"
        "\tb\tL4\n"
        "L2:\n"
        "\tmr\tr3,r5\n"
        "\tli\tr9,7\n"
        "L4:\n"
        "\tuse\t(r3)\n"
        "\tblr\n");
    optcheck::Settings s;
    s.seeds = 4;
    int checked = 0;
    for (const std::string& text : {carry, kCalls}) {
        opt::Optimizer plain;
        opttest::loadunit(plain, text, false);
        opt::optunit(plain);
        optcheck::Verdict v = optcheck::compare(text, opt::unittext(plain), s);
        EXPECT_TRUE(v.ok) << v.message;
        for (int i = 0;; ++i) {
            opt::Optimizer o;
            opttest::loadunit(o, text);
            opt::InsnNode* n = opttest::insn(o, i);
            if (!n) break;
            std::string before = opt::unittext(o);
            opt::deadchain(o, n);
            std::string after = opt::unittext(o);
            if (after == before) continue;
            ++checked;
            v = optcheck::compare(before, after, s, text);
            EXPECT_TRUE(v.ok) << "from instruction " << i << ": " << v.message << "\n" << after;
            EXPECT_GT(v.returned, 0);
        }
    }
    EXPECT_GE(checked, 3);
}

class Tools : public ScratchTest {};

// The optimizer's marker and note lines are not assembly: the checker must
// take them out, and the assembler it runs is ours.
TEST_F(Tools, AssemblerRejectsMarkersAndNotes) {
    for (const char* text : {"\tuse\t(r3)\n", "FL:\n\tblr\nFL:\n"}) {
        write("t.s", text);
        opttest::Result r = opttest::runprogram(as::run, {"cappc", "-si", "-o", "t.o", "t.s"});
        EXPECT_EQ(r.status, 1) << text;
    }
    std::string wrapped = optcheck::wrap(kBefore);
    EXPECT_EQ(wrapped.find("use"), std::string::npos) << wrapped;
    EXPECT_EQ(wrapped.find("FL:"), std::string::npos) << wrapped;
}

TEST_F(Tools, BinutilsDoNotTakeThisLanguage) {
    if (std::system("command -v powerpc-linux-gnu-as >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "powerpc-linux-gnu-as is not installed";
    for (const char* line : {"\taddi\tr3,12\n", "\textzb\tr3\n", "\tla\tr3,8(r1)\n"}) {
        write("g.s", line);
        int status = std::system("powerpc-linux-gnu-as -mvle -mregnames -o g.o g.s >/dev/null 2>&1");
        EXPECT_NE(status, 0) << line;
    }
}

TEST_F(Tools, OptcheckCompares) {
    write("before.s", kBefore);
    write("after.s", kWrong);
    opttest::Result r = opttest::runprogram(optcheck::run, {"optcheck", "-n", "4", "before.s", "after.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, 19), "different: seed 1: ") << r.out;

    r = opttest::runprogram(optcheck::run, {"optcheck", "-n", "4", "before.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "unit 1: 1 changes checked\n");   // mr r6,r5 is dead
}

}  // namespace
