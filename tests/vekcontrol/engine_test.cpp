// The step engine: source and instruction steps, call frames, and the
// fast path against the literal one.
#include "harness.h"

namespace {

using vektest::Vek;

TEST(Steps, StepIntoACallTakesItsFirstLineWithoutExecuting) {
    Vek v;
    EXPECT_EQ(v.where(), "-");  // pc at the start-up code, no source
    v.run("step");
    EXPECT_EQ(v.where(), "main:10");
    v.run("step");  // the pending first line of main
    EXPECT_EQ(v.where(), "main:13");
    v.run("step 2");
    EXPECT_EQ(v.where(), "main:15");
    const uint32_t pcline = v.pc();
    v.run("step");
    EXPECT_EQ(v.where(), "add:1");
    EXPECT_EQ(v.pc(), v.symbol("_add"));
    EXPECT_EQ(v.depth(), 2);
    const uint32_t at = v.pc();
    v.run("step");
    EXPECT_EQ(v.where(), "add:3");
    EXPECT_EQ(v.pc(), at);  // nothing executed
    v.run("step");
    EXPECT_EQ(v.where(), "main:15");  // back in the loop, the frame popped
    EXPECT_EQ(v.depth(), 1);
    EXPECT_EQ(v.pc(), pcline);
    EXPECT_EQ(v.host.err, "");
}

TEST(Steps, OstepStepsOverCallsFinishReturnsToTheCaller) {
    Vek v;
    v.run("step 4");
    ASSERT_EQ(v.where(), "main:15");
    v.run("ostep");
    EXPECT_EQ(v.where(), "main:15");  // the next pass, add stepped over
    EXPECT_EQ(v.reg(31), 1u);
    EXPECT_EQ(v.depth(), 1);
    v.run("step 2");
    ASSERT_EQ(v.where(), "add:3");
    v.run("finish");
    EXPECT_EQ(v.where(), "main:15");
    EXPECT_EQ(v.depth(), 1);
    EXPECT_EQ(v.host.err, "");
}

TEST(Steps, RecursionKeepsAFramePerCall) {
    Vek v;
    v.run("break main.c:16\ngo\ndelete *");
    ASSERT_EQ(v.where(), "main:16");
    int deepest = 0;
    for (int k = 0; k < 40 && v.where() != "main:17"; ++k) {
        v.run("step");
        deepest = std::max(deepest, v.depth());
    }
    EXPECT_EQ(deepest, 4);  // main, fact(3), fact(2), fact(1)
    EXPECT_EQ(v.where(), "main:17");
    EXPECT_EQ(v.depth(), 1);
    EXPECT_EQ(v.reg(30), 6u);
    EXPECT_EQ(v.d->stats[v.d->frames[0].func].calls, 1u);
}

TEST(Steps, ADeactivatedFunctionIsSteppedOver) {
    Vek v;
    v.run("step 4");
    ASSERT_EQ(v.where(), "main:15");
    vek::FunctionRecord* add = vek::findfunc(v.d->di(), "add", nullptr);
    ASSERT_TRUE(add);
    vek::Debugger::setfuncstate(add, 0);
    v.run("step");
    EXPECT_EQ(v.where(), "main:15");
    EXPECT_EQ(v.reg(31), 1u);
    EXPECT_EQ(v.depth(), 1);
}

TEST(Steps, IstepExecutesOneInstruction) {
    Vek v;
    const uint32_t start = v.pc();
    v.run("istep");
    EXPECT_EQ(v.pc(), start + 4);
    v.run("istep 2");
    EXPECT_EQ(v.pc(), v.symbol("_main") + 2);
    EXPECT_EQ(v.where(), "main:10");
}

TEST(Steps, TigoTracesEachInstructionWithTheRegisters) {
    Vek v;
    v.run("break main.c:13\ntigo");
    EXPECT_EQ(v.where(), "main:13") << v.host.out << v.host.err;
    size_t traced = 0;
    for (size_t at = v.host.out.find("\n    0000"); at != std::string::npos; at = v.host.out.find("\n    0000", at + 1))
        ++traced;
    EXPECT_EQ(traced, v.s->instructions());
    EXPECT_NE(v.host.out.find("pc:00001000\n"), std::string::npos);
    EXPECT_NE(v.host.out.find("\n    00001000  "), std::string::npos);
}

TEST(Steps, AnIllegalInstructionEndsTheRunAtItsAddress) {
    Vek v;
    v.run("load " + vektest::program());
    v.s->target.mem.putword(v.symbol("_add"), 0);
    v.s->target.exec.flushcache();
    v.run("go");
    EXPECT_EQ(v.pc(), v.symbol("_add"));
    EXPECT_NE(v.host.err.find("illegal instruction"), std::string::npos);
}

// Everything a run leaves behind, as text.
std::string state(Vek& v) {
    std::string t = v.s->regdump() + " time " + std::to_string(v.s->cycles()) + " n " +
                    std::to_string(v.s->instructions()) + "\n";
    for (vek::LineRecord* r : v.d->di().lines)
        t += std::to_string(r->line) + ":" + std::to_string(r->hits) + "/" + std::to_string(r->cycles) + " ";
    t += "\n";
    for (auto& [f, st] : v.d->stats)
        t += f->name + " calls " + std::to_string(st.calls) + " total " + std::to_string(st.total) + " own " +
             std::to_string(st.minown) + "-" + std::to_string(st.maxown) + " incl " + std::to_string(st.minincl) + "-" +
             std::to_string(st.maxincl) + "\n";
    for (auto& e : v.d->events)
        t += v.d->eventline(*e) + " hits " + std::to_string(e->hits) + "\n";
    t += v.where() + " depth " + std::to_string(v.depth()) + "\n";
    return t + v.host.out;
}

TEST(Steps, FastAndLiteralPathsAgree) {
    const char* scripts[] = {
        // line events, a count, a body, a stop location
        "watch /C:2 add() {regs}\nbreak main.c:16\ngo\nstep 3\nwatch @0x100a\ngo main.c:17\n",
        // address events only, on a line and mid-line; ostep and finish
        "watch /C:2 @0x1052\nwatch _fact {rem}\nbreak /C:4 @0x105a\ngo\nostep\nstep 2\nfinish\ngo @0x106c\n",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        std::string fast, literal;
        {
            Vek v;
            v.run(script);
            fast = state(v);
            EXPECT_EQ(v.where(), "main:17");
            EXPECT_EQ(v.host.err, "");
        }
        {
            Vek v;  // one session at a time
            v.d->literal = true;
            v.run(script);
            literal = state(v);
        }
        EXPECT_EQ(fast, literal);
    }
}

}  // namespace
