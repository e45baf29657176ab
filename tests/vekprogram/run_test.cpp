// The commands in command files of the vek program without a screen, on a
// program that runs (loop.s: main -> add, main -> fact -> fact ..., with the
// global total that line 15 stores).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "scratch.h"

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

void replace(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// The run-control tests' program, its sum also kept in the global total.
void writewatch(const qvtest::Scratch& dir) {
    std::ifstream in(LOOP_SOURCE, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    replace(s, "B4:     dc.l    0,F1,0,1,18,0,0,0,0",
            "B4:     dc.l    0,F1,0,1,18\n        dc.b    0,0,0,0\n        dc.l    0,0,V1\n"
            "V1:     dc.l    NV,$2000\n        dc.b    $18,0,0,0\n        dc.l    0,0,0\n"
            "        dc.b    0,0,0,0\n        dc.l    0\nNV:     dc.b    \"total\",0,6");
    replace(s, "        se_mr   r30,r3\n        se_addi r31,1",
            "        se_mr   r30,r3\n        e_stw   r30,8192(r0)\n        se_addi r31,1");
    s += "        switch  .data\n        org     $2000\n        xdef    _total\n_total: dc.l    0\n";
    dir.write("w.s", s);
}

Result runvek(const qvtest::Scratch& dir, const std::string& commands) {
    Result r;
    writewatch(dir);
    const std::string as = std::string(CAPPC_PATH) + " -a -o w.o w.s >/dev/null";
    if (std::system(as.c_str()) != 0) return r;
    dir.write("t.in", commands);
    // The settings file (sessions remember their names there) is the test's own.
    const std::string cmd = "XDG_CONFIG_HOME=\"$PWD\" " + std::string(VEK_PATH) +
                            " -c -v -i t.in w.o </dev/null >stdout.txt 2>stderr.txt";
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

TEST(Run, GoStopsAtADataChange) {
    qvtest::Scratch dir("vekprogram");
    // total is 0 after the first add and 1 after the second.
    Result r = runvek(dir, "go total\nx total\nbreak total {x 7}\ngo\nx total\ndelete total\nbreak\nquit\n");
    EXPECT_NE(r.out.find("total modified main():15\n    total = 1\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("    7 = 7\n    total = 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("no breakpoint"), std::string::npos) << r.out;
}

TEST(Run, BodiesMayNotZero) {
    qvtest::Scratch dir("vekprogram");
    Result r = runvek(dir, "break fact() {zero}\ngo\nstack\ndelete *\nbreak fact() {session /l s}\ngo\nstack\nquit\n");
    EXPECT_NE(r.out.find("zero: not while the target runs"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("session: not while the target runs"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fact()\nmain()\n"), std::string::npos) << r.out;
}

TEST(Run, ZeroPutsPcAtTheStart) {
    qvtest::Scratch dir("vekprogram");
    Result r = runvek(dir, "x /x $pc\ngo main.c:16\nzero\nx /x $pc\nstack\nprint /p main.c:15\nquit\n");
    // pc is where the load put it, and the counts start again.
    const size_t first = r.out.find("$pc = ");
    ASSERT_NE(first, std::string::npos) << r.out << r.err;
    const std::string start = r.out.substr(first, r.out.find('\n', first) - first);
    EXPECT_NE(r.out.find(start, first + 1), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(" 6 / "), std::string::npos) << r.out;
}

TEST(Run, DataBreakpointsStopAtTheAccess) {
    qvtest::Scratch dir("vekprogram");
    // The first store writes 0 over 0: no change, but an access.
    Result r = runvek(dir, "dbreak /T:W total\ngo\nx total\nstack\ndelete *\n"
                           "dbreak /T:R total\ndwatch /C:2 total {x 5}\ngo main.c:16\nstack\nquit\n");
    EXPECT_NE(r.out.find("***** breakpoint: total (write) \n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("    total = 0\nmain()\n"), std::string::npos) << r.out;
    // Nothing reads total; every second of the five stores left is watched.
    EXPECT_EQ(r.out.find("(read)"), std::string::npos) << r.out;
    size_t watched = 0;
    for (size_t at = 0; (at = r.out.find("***** watchpoint: total (write) \n    5 = 5\n", at)) != std::string::npos; ++at)
        ++watched;
    EXPECT_EQ(watched, 2u) << r.out;
    EXPECT_NE(r.out.find("main()\n", r.out.rfind("5 = 5")), std::string::npos) << r.out;
}

TEST(Run, FrameListsTheCallersLines) {
    qvtest::Scratch dir("vekprogram");
    std::string src;
    for (int n = 1; n <= 18; ++n) src += "line " + std::to_string(n) + "\n";
    dir.write("main.c", src);
    Result r = runvek(dir, "break main.c:7\ngo\ngo\nframe\nstack\nquit\n");
    EXPECT_NE(r.out.find("| fact():8  line 8\n| main():16  line 16\n"), std::string::npos) << r.out << r.err;
    // The innermost frame stays the current one.
    EXPECT_NE(r.out.find("fact()\nfact()\nmain()\n"), std::string::npos) << r.out;
}

TEST(Run, SessionsKeepEventsAndMonitors) {
    qvtest::Scratch dir("vekprogram");
    dir.write("vek/VEKSPPC.INI", "[VekWindow]\nLeft=10\nTop=20\nRight=650\nBottom=500\n");
    Result r = runvek(dir, "path \"src|inc\"\nbreak /C:3 main.c:15\nbreak add()\ndelete 2\nbreak fact() {x 1}\n"
                           "dbreak /T:W total\nmonit /x total\nmonit total+1\nsession s\nquit\n");
    const std::string saved = dir.read("s.ssn");
    EXPECT_EQ(saved,
              "[Load]\nFile=w.o\n[Options]\nPath=src|inc\nTile=CASCADE\n[Windows]\nVek=YES,10,20,650,500\n"
              "Source=NO\nDisassembly=NO\nCommand=NO\nStack=NO\nMonitors=NO\nRegisters=NO\n"
              "[Events]\n1=break /C:3 main.c:15\n2=break  fact():5:9 {x 1}\n3=dbreak /T:W total\n"
              "[Monitors]\n1=monit /x total\n\n2=monit total+1\n\n")
        << r.out << r.err;
    EXPECT_NE(dir.read("vek/VEKSPPC.INI").find("[Session]\nFile=s.ssn\nDirectory=.\n"), std::string::npos);
    // A fresh debugger replays it; saving again gives the same file.
    std::remove((dir.dir() / "s.ssn").c_str());
    dir.write("s.ssn", saved);
    r = runvek(dir, "session /l s.ssn\nbreak\nwrite /M m.in\nsession t.ssn\nlayout u\nlayout /l nosuch.lyt\n"
                    "session /l u.lyt\nquit\n");
    EXPECT_EQ(dir.read("t.ssn"), saved) << r.out << r.err;
    EXPECT_EQ(dir.read("m.in"), "monit /x total\nmonit total+1\n");
    EXPECT_NE(r.out.find("main.c:15"), std::string::npos) << r.out;
    EXPECT_EQ(dir.read("u.lyt").find("[Events]"), std::string::npos) << dir.read("u.lyt");
    EXPECT_NE(r.out.find("Can't Open Layout File: ./nosuch.lyt") + r.err.find("Can't Open Layout File: ./nosuch.lyt"),
              2 * std::string::npos);
    // Not a session file: nothing changes.
    dir.write("bad.ssn", "[Events]\n1=break add()\n");
    r = runvek(dir, "session /l bad.ssn\nbreak\nquit\n");
    EXPECT_NE((r.out + r.err).find("File: ./bad.ssn Not a Session file"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(r.out.find("add"), std::string::npos) << r.out;
}

}  // namespace
