// Event, data breakpoint, monitor, frame, zero and file commands, and the
// reload that keeps events and monitors, on the fixture program stopped in
// g (called from f, called from main).
#include "datafixture.h"

namespace {

using Program = DataFixture;

TEST_F(Program, ExpressionEvents) {
    std::string out = run("break pt.x\nbreak\n");
    EXPECT_NE(out.find("pt.x "), std::string::npos) << out << host.boxes;
    ASSERT_EQ(d->events.size(), 1u);
    EXPECT_EQ(d->events[0]->kind, 'd');
    EXPECT_EQ(d->events[0]->text, "pt.x");
    EXPECT_EQ(d->events[0]->address, fx::PT);
    // A change of pt.y is not one of pt.x.
    session->target.mem.putlong(fx::PT + 4, 9);
    EXPECT_EQ(d->chkevents(d->innermost(), nullptr), nullptr);
    session->target.mem.putlong(fx::PT, 9);
    EXPECT_NE(d->chkevents(d->innermost(), nullptr), nullptr);
    EXPECT_NE(host.text.find("pt.x modified"), std::string::npos) << host.text;
    run("delete pt.x\n");
    EXPECT_TRUE(d->events.empty());
    out = run("break main\nbreak nosuch\ndelete nosuch2\n");
    EXPECT_NE(out.find("illegal breakpoint: main\n"), std::string::npos) << out;
    EXPECT_TRUE(d->events.empty());
    run("break main()\n");
    EXPECT_EQ(d->events.size(), 1u);
}

TEST_F(Program, DataBreakpoints) {
    std::string out = run("dbreak nosuch\ndbreak /T:W gi\ndbreak\ndwatch /C:70000 gi\n");
    EXPECT_NE(out.find("Incorrect argument for Variable break"), std::string::npos) << out;
    ASSERT_EQ(d->events.size(), 1u);
    EXPECT_EQ(d->events[0]->cls, 'D');
    EXPECT_NE(out.find(" gi (write) "), std::string::npos) << out;
    EXPECT_NE(out.find("Wrong option "), std::string::npos) << out;
}

TEST_F(Program, SteppingStates) {
    std::string out = run("deact *\n");
    for (const char* f : {"g(): function in stack frame", "f(): function in stack frame", "main(): function in stack frame"})
        EXPECT_NE(out.find(f), std::string::npos) << out;
    out = run("deact nof()\ndeact\n");
    EXPECT_NE(out.find("nof(): function not found"), std::string::npos) << out;
    EXPECT_NE(out.find("Missing function for activate "), std::string::npos) << out;
    d->frames.pop_back();
    d->current = 1;
    run("deact g()\n");
    EXPECT_EQ(vek::Debugger::funcstate(vek::findfunc(d->di(), "g", nullptr)), 0);
    run("activ g()\n");
    EXPECT_EQ(vek::Debugger::funcstate(vek::findfunc(d->di(), "g", nullptr)), 1);
}

TEST_F(Program, Monitors) {
    run("monit /x gi; monit u; monit /d gi\nwrite /M w.in\n");
    EXPECT_EQ(dir->read("w.in"), "monit /d gi\nmonit u\n");
    run("monit l; monit c; delete /M u; monit ul\n");
    ASSERT_EQ(d->monitors.size(), 4u);
    EXPECT_EQ(d->monitors[1].number, 2);
    EXPECT_EQ(d->monitors[1].text, "ul");
    std::string out = run("delete /M zz\n");
    EXPECT_NE(out.find(" Unknown Monitor: zz"), std::string::npos) << out;
    out = run("monit r\n");   // g's register variable
    EXPECT_EQ(d->monitors.back().text, "r") << out;
    const uint32_t gi = getlong(fx::GI);
    out = run("monit gi=5\n");
    EXPECT_EQ(getlong(fx::GI), gi);
    EXPECT_NE(out.find("syntax error: gi=5"), std::string::npos) << out;
    run("delete /M *\n");
    EXPECT_TRUE(d->monitors.empty());
}

TEST_F(Program, Frames) {
    std::string out = run("move\n");
    EXPECT_NE(out.find("usage: i[udtb] (Up Down Top Bottom)"), std::string::npos) << out << host.boxes;
    session->target.mem.putlong(fx::FBase - 4, 41);
    out = run("move /u; x i\n");
    EXPECT_NE(out.find("41"), std::string::npos) << out;
    run("move /u main()\n");
    EXPECT_EQ(d->current, 0);
    run("move /b\nframe\n");
    EXPECT_EQ(d->current, 2);
}

TEST_F(Program, Zero) {
    for (vek::LineRecord* r : d->di().lines) r->hits = 3;
    session->target.regs.setpc(0x120);
    std::string out = run("zero /Q\n");
    EXPECT_NE(out.find("Unknown Option "), std::string::npos) << out;
    EXPECT_EQ(d->di().lines[1]->hits, 3u);
    run("break main()\nmonit gi\nzero /E /M\n");
    EXPECT_TRUE(d->events.empty());
    EXPECT_TRUE(d->monitors.empty());
    EXPECT_EQ(d->di().lines[1]->hits, 0u);
    session->target.regs.core0()[5] = 7;
    run("zero /R\n");
    EXPECT_EQ(session->target.regs.core0()[5], 0u);
}

TEST_F(Program, Files) {
    run("record j.in\nx 1\nx 2\nrecord\n");
    run("record k.in; record j.in\nrecord\n");
    EXPECT_NE(dir->read("j.in").find("x 1\nx 2\n"), std::string::npos);
    EXPECT_NE(host.text.find("log file already opened"), std::string::npos) << host.text;
    // a record whose writes fail says so when it ends
    std::string full = run("record /dev/full\nx 1\nrecord\n");
    EXPECT_NE((full + host.text).find("Can't write /dev/full"), std::string::npos) << full << host.text;
    run("output o.txt; x 1; output\n");
    EXPECT_NE(dir->read("o.txt").find("    1 = 1"), std::string::npos) << dir->read("o.txt");
    std::string out = run("path \"a|b\"; path\npath \"|c\"; path\n");
    EXPECT_NE(out.find("\"a|b\"\n\"a|b|c\"\n"), std::string::npos) << out;
    out = run("session /l nosuch\n");
    EXPECT_NE(out.find("Can't Open Session File: ./nosuch"), std::string::npos) << out;
}

TEST_F(Program, ReloadKeepsEventsAndMonitors) {
    run("break /C:3 main() {x 1}\nbreak f()\nwatch g()\nbreak /S 3\ndelete 2\nbreak fx.c:22\n"
        "dbreak /T:R gi\nmonit /x gi\nmonit nosuch2\nmonit u\n");
    ASSERT_EQ(d->events.size(), 4u);
    d->saveevents();
    d->savemonits();
    d->monitors.clear();
    d->rmevent(-1, 0);
    // The new build has no line 31: that event is dropped.
    ASSERT_EQ(d->keptevents[1].text, "fx.c:22;");
    d->keptevents[1].text = "fx.c:31;";
    d->keptmonitors[0].text = "nosuch3";
    d->restoreevents();
    d->restoremonits();
    ASSERT_EQ(d->events.size(), 3u) << host.text;
    EXPECT_EQ(d->events[0]->number, 1);
    EXPECT_EQ(d->events[0]->count, 3u);
    EXPECT_EQ(d->events[0]->body, "x 1");
    EXPECT_EQ(d->events[1]->number, 2);
    EXPECT_TRUE(d->events[1]->watch);
    EXPECT_FALSE(d->events[1]->enabled);
    EXPECT_EQ(d->events[2]->cls, 'D');
    EXPECT_EQ(d->events[2]->kind, 'R');
    ASSERT_EQ(d->monitors.size(), 1u);
    EXPECT_EQ(d->monitors[0].text, "u");
}

TEST_F(Program, ReloadBetweenTwoCommandFiles) {
    run("break f()\nbreak /C:2 g() {x 2}\nbreak /S 2\ndwatch /T:W gi\nmonit /x gi\nmonit u\n");
    ASSERT_TRUE(d->reload("fx.o"));
    ASSERT_EQ(d->events.size(), 3u) << host.text;
    EXPECT_EQ(d->events[1]->body, "x 2");
    EXPECT_EQ(d->events[1]->count, 2u);
    EXPECT_FALSE(d->events[1]->enabled);
    EXPECT_EQ(d->events[2]->kind, 'W');
    EXPECT_TRUE(d->events[2]->watch);
    ASSERT_EQ(d->monitors.size(), 2u);
    EXPECT_EQ(d->monitors[0].format, 'x');
    run("write w.in\n");
    EXPECT_EQ(dir->read("w.in"), "break f():11:20\nbreak /C:2 g():21:30 {x 2}\ndwatch /T:W gi\nmonit /x gi\nmonit u\n");
}

TEST_F(Program, BodiesCannotFreeWhatARunHolds) {
    d->mode.level = 1;
    std::string out = run("zero\nsession /l s\nreset\n");
    d->mode.level = 0;
    EXPECT_NE(out.find("zero: not while the target runs"), std::string::npos) << out;
    EXPECT_NE(out.find("session: not while the target runs"), std::string::npos) << out;
    EXPECT_EQ(d->frames.size(), 3u);
}

TEST_F(Program, RandomCommandLines) {
    const char* words[] = {"zero", "reset", "record", "output", "path", "session", "layout", "monit", "move", "frame",
                           "dbreak", "dwatch", "delete", "activ", "deact", "break", "write", "cmdwin", "disa"};
    const char* args[] = {"", " /", " /m", " *", " gi", " \"", " \"x", " ,,", " /T:", " /C:", " nosuch()", " {",
                          " pt.x,", " /u main()", " /l", " @0x100", " 99999999999"};
    uint32_t seed = 12345;
    for (int i = 0; i < 400; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string line = words[(seed >> 8) % std::size(words)];
        line += args[(seed >> 16) % std::size(args)];
        line += args[(seed >> 24) % std::size(args)];
        if (line.rfind("record", 0) == 0 || line.rfind("output", 0) == 0 || line.rfind("write", 0) == 0 ||
            line.rfind("session", 0) == 0 || line.rfind("layout", 0) == 0)
            continue;   // these make files
        d->docmd(line.c_str(), 1);
    }
    run("record\noutput\n");
    SUCCEED();
}

}  // namespace
