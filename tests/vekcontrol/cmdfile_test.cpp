// Command files, source lines, the vek program in batch mode, interrupts,
// and commands made of noise.
#include <sys/wait.h>

#include <fstream>
#include <random>
#include <thread>

#include "harness.h"
#include "platform/interrupt.h"

namespace {

using vektest::Vek;

TEST(CommandFiles, LinesCommentsLongAndUnterminatedLines) {
    qvtest::Scratch dir("vekcmd");
    dir.write("a.in", "; break @0x1000\nrem " + std::string(600, 'x') + "\r\nbreak @0x1004;break @0x1064\nbreak _add");
    Vek v;
    v.run("input a.in");
    EXPECT_EQ(v.host.err, "");
    ASSERT_EQ(v.d->events.size(), 3u);
    EXPECT_EQ(v.d->events[0]->address, 0x1004u);
    EXPECT_EQ(v.d->events[2]->text, "_add");
    v.run("go; regs");
    EXPECT_EQ(v.pc(), 0x1004u);
    EXPECT_NE(v.host.out.find("pc:00001004"), std::string::npos);
}

TEST(CommandFiles, NestingEndsAt64Files) {
    qvtest::Scratch dir("vekcmd");
    dir.write("self.in", "input self.in\n");
    Vek v;
    v.run("input self.in");
    EXPECT_EQ(v.host.out.find("Error"), std::string::npos);
    // The 64th file's line is refused (the statement nesting ends there
    // before the file limit of 64 would), once, and everything unwinds.
    size_t first = v.host.out.find("#error: ");
    ASSERT_NE(first, std::string::npos) << v.host.out;
    EXPECT_EQ(v.host.out.find("#error: ", first + 1), std::string::npos);
    EXPECT_EQ(v.host.out.back(), '\n');
    EXPECT_EQ(v.host.out.find('\n'), v.host.out.size() - 1);  // quiet: no echo
    EXPECT_EQ(v.d->cmdfiles, 0);
    EXPECT_FALSE(vek::outstate().cmdfile);
}

TEST(CommandFiles, QuitStopsEveryFile) {
    qvtest::Scratch dir("vekcmd");
    dir.write("inner.in", "break @0x1000\nquit\nbreak @0x1002\n");
    dir.write("outer.in", "input inner.in\nbreak @0x1004\n");
    Vek v;
    v.run("input outer.in\nbreak @0x1006");
    ASSERT_EQ(v.d->events.size(), 1u);
    EXPECT_EQ(v.d->events[0]->address, 0x1000u);
    EXPECT_TRUE(v.d->quitting);
}

TEST(CommandFiles, AMissingFileIsReported) {
    Vek v;
    EXPECT_EQ(v.d->runcmdfile("no such file.in"), 0);
    EXPECT_EQ(v.host.err, "Error: no such file.in: cannot redirect\n");
}

TEST(SourceLines, TabsReopeningAndTheLastLine) {
    qvtest::Scratch dir("veksrc");
    dir.write("s.c", "one\n\tx\na\tb\nfour\nfive");
    Vek v(false);
    EXPECT_STREQ(v.d->readsrcline("s.c", 2), "    x");
    EXPECT_STREQ(v.d->readsrcline("s.c", 0), "a   b");
    EXPECT_STREQ(v.d->readsrcline("s.c", 5), "five");  // no line feed after it
    EXPECT_EQ(v.d->readsrcline("s.c", 0), nullptr);
    EXPECT_STREQ(v.d->readsrcline("s.c", 4), "four");
    EXPECT_STREQ(v.d->readsrcline("s.c", 1), "one");  // back: reopened
    EXPECT_STREQ(v.d->readsrcline("t.c", 1), "file not found: t.c");
    EXPECT_EQ(v.d->readsrcline("t.c", 2), nullptr);
    EXPECT_EQ(v.d->readsrcline(nullptr, 0), nullptr);
}

TEST(Interrupt, CtrlCStopsAnEndlessRunAndTheNextLineRuns) {
    Vek v;
    platform::resetinterrupt();
    // At the endless loop first: wherever the key press meets the run, on
    // however slow a machine, it stops there.
    v.run("go main.c:17");
    ASSERT_EQ(v.where(), "main:17");
    v.host.out.clear();
    std::thread press([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        platform::raiseinterrupt();
    });
    v.run("go\nregs");
    press.join();
    EXPECT_EQ(v.where(), "main:17");
    EXPECT_NE(v.host.out.find("pc:0000106"), std::string::npos);
    EXPECT_FALSE(platform::interrupted());
    EXPECT_EQ(v.d->flags.running, 0);
}

// Runs vek with stdin from a file; stdout and stderr into files.
struct Result {
    int status = -1;
    std::string out, err;
};
Result runvek(const qvtest::Scratch& dir, const std::string& args, const std::string& input) {
    dir.write("stdin.txt", input);
    std::string cmd = std::string(VEK_PATH) + " " + args + " <stdin.txt >stdout.txt 2>stderr.txt";
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

TEST(Program, UnknownAndInternalCommands) {
    qvtest::Scratch dir("vekprog");
    Result r = runvek(dir, "-c", "status\ninternals\nSTATUS\ngo/x\n; c\n");
    EXPECT_EQ(r.out, "STOPPED\n");
    EXPECT_EQ(r.err, "Error: unknown command: status\nError: unknown command: go/x\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Program, AStartFileRunsAfterTheProgramLoads) {
    qvtest::Scratch dir("vekprog");
    dir.write("t.in", "break main.c:15 {regs}\ngo\nstep 3\nquit\nbreak add\n");
    Result r = runvek(dir, "-c -i t.in " + vektest::program(), "");
    EXPECT_NE(r.out.find("(1)   main.c:15  {regs} (user)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("***** breakpoint main.c:15\nr0:"), std::string::npos);
    EXPECT_EQ(r.out.find("break add"), std::string::npos);  // after quit
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);

    Result missing = runvek(dir, "-c -i t.in nosuch.o", "");
    EXPECT_NE(missing.out.find("#error: illegal breakpoint: main.c:15"), std::string::npos) << missing.out;
    EXPECT_EQ(missing.status, 1);
    Result nofile = runvek(dir, "-c -i nosuch.in " + vektest::program(), "regs\n");
    EXPECT_NE(nofile.out.find("pc:00001000"), std::string::npos);
    EXPECT_EQ(nofile.status, 1);
    Result badoption = runvek(dir, "-c -z", "");
    EXPECT_EQ(badoption.status, 1);
}

// Noise made of command words, locations and punctuation never crashes or
// hangs the interpreter (the sanitizers watch).
TEST(Fuzz, DocmdTakesNoise) {
    qvtest::Scratch dir("vekfuzz");
    const char* pieces[] = {"break", "watch", "delete", "b", "w", "del", "write", "input", "rem", "regs", "status",
                            "internals", "stop", "load", "/C:", "/A", "/S", "/I", "/E", "/", "*", "@0x100a", "@",
                            "add", "main.c:", "main.c:15", ":", "()", "fact()", "{", "}", "{regs}", ";", ",", " ",
                            "\t", "99999999999", "-1", "x.in", "\"", "\\", "\x01", "\xff", "quit", "/C:0", "0x"};
    std::mt19937 rng(27);
    Vek v;
    for (int k = 0; k < 3000; ++k) {
        std::string line;
        const int n = int(rng() % 8);
        for (int j = 0; j < n; ++j) line += pieces[rng() % std::size(pieces)];
        if (line.find("quit") != std::string::npos) continue;
        v.d->docmd(line.c_str(), int(rng() % 2));
    }
    v.run("delete *\ngo main.c:17");
    EXPECT_EQ(v.where(), "main:17");
}

}  // namespace
