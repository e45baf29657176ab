// The commands in command files of the vek program without a screen, on a
// program that ran.
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

// vek -c -i t.in loop.o, with stdin as given.
Result runvek(const qvtest::Scratch& dir, const std::string& commands, const std::string& input = "") {
    Result r;
    const std::string as = std::string(CAPPC_PATH) + " -a -o loop.o " + LOOP_SOURCE + " >/dev/null";
    if (std::system(as.c_str()) != 0) return r;
    dir.write("t.in", commands);
    dir.write("stdin.txt", input);
    const std::string cmd = std::string(VEK_PATH) + " -c -v -i t.in loop.o <stdin.txt >stdout.txt 2>stderr.txt";
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

TEST(Program, StackAndCountsAfterARun) {
    qvtest::Scratch dir("vekdata");
    dir.write("main.c", "int add(int a, int b)\n{\n    return a + b;\n}\n");
    Result r = runvek(dir, "break _add\ngo\nstack\ndelete *\nbreak main.c:17\ngo\nperf\nprint /p main.c:1:3\n"
                           "perf /z\nperf\nquit\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("add()\nmain()\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Functions in file: main.c\n"
                         "    add()  6 / 10  calls =  60.00%\n"
                         "    fact()  3 / 10  calls =  30.00%\n"
                         "    main()  1 / 10  calls =  10.00%\n"),
              std::string::npos)
        << r.out;
    // The function-start record on line 1 and the line record on line 3.
    EXPECT_NE(r.out.find(" 6 / 12 =  50.00% | 1  int add(int a, int b)\n"
                         "                  | 2  {\n"
                         " 6 / 12 =  50.00% | 3      return a + b;\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    add() 0  calls\n"), std::string::npos) << r.out;
}

TEST(Program, UpdateReadsItsValueFromStandardInput) {
    qvtest::Scratch dir("vekdata");
    Result r = runvek(dir, "u $r5 ?\nx /x $r5\nu $r6 ?\nquit\n", "0x2a\n");
    EXPECT_NE(r.out.find("    machine register $r5 = "), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("    machine register $r5 = 0x0 => 0x2a\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 1) << r.err;   // the empty input is no expression
}

}  // namespace
