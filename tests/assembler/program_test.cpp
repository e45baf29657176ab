// The program: options, usage and version texts, output names, dependency
// lines, missing files and the error output.
#include "asmtest.h"

#include <cstdlib>
#include <sys/wait.h>

#include "assembler/asm.h"

using namespace asmtest;

class Program : public AsmTest {};

TEST_F(Program, UsageListsOptionsInOrderWithoutHidden) {
    Result r = run({"-help"});
    EXPECT_EQ(r.status, 1);
    const char* order[] = {"-a ", "-b ", "-c ", "-d*>", "+e*", "-ff", "-ft", "-f#", "-ge", "-h*", "-i*>", "-l ",
                           "+l*", "-md", "-mi", "-m ", "-o*", "-pe", "-pl", "-p ", "-si", "-t ", "-u ", "-v ",
                           "-xp", "-xx", "-x "};
    size_t at = r.err.find("usage: cappc [options] files\n");
    ASSERT_NE(at, std::string::npos) << r.err;
    for (const char* opt : order) {
        size_t next = r.err.find(std::string("\n    ") + opt, at);
        ASSERT_NE(next, std::string::npos) << opt << "\n" << r.err;
        at = next + 1;
    }
    EXPECT_EQ(r.err.find("verilog"), std::string::npos);
    EXPECT_NE(r.err.find("    -o*  output file name\n"), std::string::npos);
    EXPECT_NE(r.err.find("    +e*  error file name\n"), std::string::npos);
}

TEST_F(Program, VersionLine) {
    Result r = run({"-vers"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ORBELT Software PPC Macro-Assembler V4.6.26 - 22 Aug 2012 - ", 0), 0u) << r.err;
}

TEST_F(Program, OneSourceWithOutputName) {
    write("a.s", " dc.b 1\n");
    write("b.s", " dc.b 1\n");
    Result r = run({"-o", "x.o", "a.s", "b.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("only one source file with -o option"), std::string::npos) << r.err;
    EXPECT_FALSE(exists("x.o"));
    r = run({"+l", "x.ls", "a.s", "b.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("only one source file with +l option"), std::string::npos) << r.err;
}

TEST(OutputNames, ExtensionOfLastComponentOnly) {
    struct Case {
        const char* src;
        const char* obj;
    } cases[] = {{"t.s", "t.o"},         {"a.b.s", "a.b.o"}, {"x", "x.o"},
                 {"build.d/x", "build.d/x.o"}, {"dir.v\\y", "dir.v\\y.o"}, {"p/q.asm", "p/q.o"}};
    for (const auto& c : cases) EXPECT_EQ(as::outname(c.src, ".o"), c.obj) << c.src;
}

TEST_F(Program, DependencyLineNamesEachFileOnceAndWraps) {
    std::string longname(30, 'n');
    write("inc/a.inc", " dc.b 1\n");
    write("inc/" + longname + "1.inc", " dc.b 2\n");
    write("inc/" + longname + "2.inc", " dc.b 3\n");
    write("t.s", " include \"a.inc\"\n include 'a.inc'\n include \"" + longname + "1.inc\"\n include \"" +
                     longname + "2.inc\"\n");
    Result r = run({"-md", "-i", "inc", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string want = "t.o: t.s inc/a.inc inc/" + longname + "1.inc \\\n inc/" + longname + "2.inc\n";
    EXPECT_EQ(r.out, want);
    EXPECT_FALSE(exists("t.o"));
}

TEST_F(Program, MissingFilesAreErrors) {
    Result r = run({"nothere.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't open nothere.s"), std::string::npos) << r.err;
    r = run({"-md", "nothere.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't open nothere.s"), std::string::npos) << r.err;
    write("t.s", " include \"gone.inc\"\n dc.b 1\n");
    r = run({"-md", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't open gone.inc"), std::string::npos) << r.err;
    r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cappc t.s:1\tcan't open gone.inc\n");
    EXPECT_FALSE(exists("t.o"));
}

TEST_F(Program, BackslashIncludeNamesAndSelfInclusion) {
    write("sub/x.inc", " dc.b 7\n");
    write("t.s", " include \"sub\\x.inc\"\n");
    EXPECT_EQ(sectiondata(" include \"sub\\x.inc\"\n"), (std::vector<uint8_t>{7}));
    write("self.s", " include \"self.s\"\n");
    Result r = run({"self.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nested too deeply"), std::string::npos) << r.err;
}

TEST_F(Program, EclipseFormatAndErrorFile) {
    write("a.s", "\n\nx: equ 1\n dc.b y\n");
    Result r = run({"-ge", "a.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a.s:4:1: symbol y not defined\n"), std::string::npos) << r.err;
    r = run({"+e", "err.txt", "a.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("errors reported in err.txt"), std::string::npos) << r.err;
    EXPECT_NE(read("err.txt").find("#error cappc a.s:4\tsymbol y not defined"), std::string::npos);
    write("ok.s", " dc.b 1\n");
    r = run({"+e", "err2.txt", "ok.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(exists("err2.txt"));
}

TEST_F(Program, CommandLineDefinitions) {
    EXPECT_EQ(sectiondata(" dc.b A,B\n", ".text", {"-dA=5", "-dB"}), (std::vector<uint8_t>{5, 1}));
    write("t.s", " dc.b 1\n");
    Result r = run({"-dA=x+", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("command_line:0"), std::string::npos) << r.err;
}

TEST_F(Program, LongLinesAreReadWhole) {
    std::string line = " dc.b 1" + std::string(600, ' ') + ",2\n";
    EXPECT_EQ(sectiondata(line + " dc.b 3\n"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(Program, DiagnosticsPrintedOncePerSource) {
    // the label after the error moves between passes
    write("t.s", " fail 1\n dc.b later-here\nhere: dc.b 1\nlater: dc.b 2\n unknown1\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    // the collecting pass reports the unknown instruction; the settled pass the rest
    EXPECT_EQ(r.err, "#error cappc t.s:5\tunknown instruction unknown1\n#error cappc t.s:1\tfail 1\n");
}

TEST_F(Program, BuiltProgramRuns) {
    write("t.s", " dc.b 1\n");
    std::string cmd = std::string(CAPPC_PATH) + " -si t.s 2>err.txt";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << read("err.txt");
    EXPECT_EQ(readbytes("t.o").size(), 28u + 40u + 2u);
    cmd = std::string(CAPPC_PATH) + " -vers 2>err.txt";
    int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
