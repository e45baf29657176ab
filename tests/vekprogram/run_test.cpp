// The commands in command files of the vek program without a screen, on a
// program that runs (watch.s: main -> add, main -> fact -> fact ..., and the
// global total that line 15 stores).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "scratch.h"

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

Result runvek(const qvtest::Scratch& dir, const std::string& commands) {
    Result r;
    const std::string as = std::string(CAPPC_PATH) + " -a -o w.o " + LOOP_SOURCE + " >/dev/null";
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
