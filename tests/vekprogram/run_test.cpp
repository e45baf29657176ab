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
    const std::string cmd = std::string(VEK_PATH) + " -c -v -i t.in w.o </dev/null >stdout.txt 2>stderr.txt";
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

}  // namespace
