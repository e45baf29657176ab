// Events: numbering, counts, watchpoints beside breakpoints, bodies that
// run commands, and the written list read back.
#include "harness.h"

namespace {

using vektest::Vek;

std::string numbers(Vek& v) {
    std::string t;
    for (auto& e : v.d->events) t += std::to_string(e->number) + " ";
    return t;
}

TEST(Events, TheSmallestFreeNumberIsTaken) {
    Vek v;
    v.run("break @0x1000\nbreak @0x1002\nbreak @0x1004\nbreak @0x1006\ndelete 3");
    EXPECT_EQ(numbers(v), "1 2 4 ");
    v.run("break @0x1008");
    EXPECT_EQ(numbers(v), "1 2 3 4 ");
    v.run("break @0x100a");
    EXPECT_EQ(numbers(v), "1 2 3 4 5 ");
    v.run("delete 1\nbreak @0x100c");
    EXPECT_EQ(numbers(v), "1 2 3 4 5 ");
    v.run("delete 9");
    EXPECT_EQ(v.host.err, "Error: breakpoint not found\n");
}

// A count of 3 triggers on the third pass and again three passes later,
// whether the event is tested after each instruction or after a step.
TEST(Events, ACountTriggersOnEveryThirdPass) {
    for (const char* where : {"@0x100a", "_add", "main.c:3"}) {
        SCOPED_TRACE(where);
        Vek v;
        v.run(std::string("break /C:3 ") + where + "\ngo");
        EXPECT_EQ(v.reg(4), 2u);  // add(s, 2)
        v.run("go");
        EXPECT_EQ(v.reg(4), 5u);
        v.run("go main.c:17");
        EXPECT_EQ(v.where(), "main:17");
        EXPECT_EQ(v.host.err, "");
    }
}

TEST(Events, AWatchpointCountsAndRunsItsBodyWithoutStopping) {
    Vek v;
    v.run("watch _add {rem}\ngo main.c:17");
    EXPECT_EQ(v.where(), "main:17");
    ASSERT_EQ(v.d->events.size(), 1u);
    EXPECT_EQ(v.d->events[0]->hits, 6);
    EXPECT_EQ(v.host.out, "");
}

TEST(Events, AWatchpointDoesNotHideABreakpointAtTheSameAddress) {
    Vek v;
    v.run("watch @0x100a\nbreak _add\ngo");
    EXPECT_EQ(v.pc(), 0x100au);
    EXPECT_EQ(v.d->events[0]->hits, 1);
    EXPECT_EQ(v.host.out, "***** breakpoint at: _add (0x100a)\n");
}

TEST(Events, AGoInABodyNeitherStopsTheRunNorLosesItsTarget) {
    Vek v;
    v.run("break main.c:3 {go}\ngo main.c:16");
    EXPECT_EQ(v.where(), "main:16");
    EXPECT_EQ(v.d->events.size(), 1u);  // the internal event went after the command
    EXPECT_EQ(v.d->flags.running, 0);
    EXPECT_EQ(v.d->mode.level, 0);
}

TEST(Events, ABodyMayDeleteItsOwnEventAndNotLoad) {
    Vek v;
    v.run("break _add {delete 1; load " + vektest::program() + "}\ngo");
    EXPECT_EQ(v.pc(), 0x100au);
    EXPECT_TRUE(v.d->events.empty());
    EXPECT_NE(v.host.err.find("load: not while the target runs"), std::string::npos);
    v.run("go main.c:17");
    EXPECT_EQ(v.where(), "main:17");
}

TEST(Events, AWrittenListReadBackGivesTheSameEvents) {
    qvtest::Scratch dir("vekevents");
    Vek v;
    v.run("break /C:2 _add {regs}\nwatch main.c:15\nbreak @0x1064\nwatch /C:4 fact()");
    std::string before;
    for (auto& e : v.d->events) before += v.d->eventline(*e);
    v.run("write ev.in\ndelete *\ninput ev.in");
    std::string after;
    for (auto& e : v.d->events) after += v.d->eventline(*e);
    EXPECT_EQ(after, before);
    EXPECT_EQ(dir.read("ev.in"), "break /C:2 _add {regs}\nwatch main.c:15\nbreak @0x1064\nwatch /C:4 fact():5:9\n");
}

TEST(Events, BadLocationsReportAndMakeNothing) {
    Vek v;
    v.run("break nosuch.c:3\nbreak main.c:99\nbreak nosuch\ngo nosuch");
    EXPECT_TRUE(v.d->events.empty());
    EXPECT_EQ(v.host.err,
              "Error: nosuch.c: file not found\nError: main.c:99: line not found\n"
              "Error: variable can't be accessed: nosuch\nError: variable can't be accessed: nosuch\n");
    EXPECT_EQ(v.d->flags.running, 0);
}

}  // namespace
