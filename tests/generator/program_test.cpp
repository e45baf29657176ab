// The program: command line, files, header checks, the text around the
// records, the error file, messages and the interrupt.
#include <csignal>

#include "harness.h"

namespace cgtest {
namespace {

TEST(Program, UsageAndMissingFiles) {
    Scratch s;
    RunResult r = runcgppc({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ORBELT Software PPC Code Generator V4.3.6\nusage: cgppc [options] file\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\n    -a     optimize _asm code\n"), std::string::npos);
    EXPECT_NE(r.err.find("\n    +e*    error file name\n"), std::string::npos);
    EXPECT_EQ(r.err.find("nc "), std::string::npos) << "hidden options are not listed";
    EXPECT_EQ(r.err.find("nr "), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"-v"}, "missing input file\n"},
        {{"nothere.ir"}, "can't open input file nothere.ir\n"},
        {{"-o", "no/such/dir/t.s", "t.ir"}, "can't create output file no/such/dir/t.s\n"},
        {{"+eno/such/dir/e.txt", "t.ir"}, "can't create error file no/such/dir/e.txt\n"},
    };
    s.write("t.ir", irbytes(kHeader));
    for (const Case& c : cases) {
        RunResult r = runcgppc(c.args, true);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "") << "nothing is written";
    }
}

TEST(Program, InterruptEndsWithTwo) {
    Scratch s;
    s.write("t.ir", irbytes(kHeader));
    platform::raiseinterrupt();
    RunResult r = runcgppc({"-o", "t.s", "t.ir"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
    platform::catchinterrupt();
    std::raise(SIGINT);
    r = runcgppc({"-o", "t.s", "t.ir"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
}

TEST(Program, HeaderOnlyFile) {
    Scratch s;
    std::string header = "header 0xCB 0x0C 0x00 0xFF 0x12 \"cpppc\" \"V4.10.10\" \"24 Aug 2012\" \"m 0x3030\" \"x\"\n";
    RunResult r = compile(s, header, {"-a", "-bss", "-cm5", "-na", "-sf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "; C Compiler for PowerPC VLE (ORBELT Software)\n"
              "; Parser V4.10.10 - 24 Aug 2012\n"
              "; Generator V4.3.6 - 02 Oct 2012\n"
              "\t.info\t\"cpppc V4.10.10:\"\n"
              "\t.info\t\" -m 0x3030\"\n"
              "\t.info\t\" -x\"\n"
              "\t.info\n"
              "\t.info\t\"cgppc V4.3.6:\"\n"
              "\t.info\t\" -a\"\n"
              "\t.info\t\" -bss\"\n"
              "\t.info\t\" -cm5\"\n"
              "\t.info\t\" -na\"\n"
              "\t.info\t\" -nt\"\n"
              "\t.info\t\" -sf\"\n"
              "\t.info\n"
              "\tend\n");
    // to the standard output without -o
    s.write("t.ir", irbytes(kHeader));
    r = runcgppc({"t.ir"}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(r.out.size() - 12), "\t.info\n\tend\n");
}

struct HeaderCase {
    const char* what;
    std::string bytes;  // the file
    std::string err;
};

TEST(Program, RefusedHeaders) {
    Scratch s;
    std::string rest = irbytes(kHeader).substr(2);
    std::vector<HeaderCase> cases = {
        {"wrong magic", "\xCC\x0C" + rest, "#error cgppc:0\tbad intermediate file t.ir\n"},
        {"analyser file", "\xCA\x13",
         "#error cgppc:0\tbad intermediate file t.ir\n#error cgppc:0\tbad flags for PPC target t.ir\n"},
        {"wrong target", "\xCB\x0D" + rest, "#error cgppc:0\tbad flags for PPC target t.ir\n"},
        {"both", std::string("\x00\x80", 2) + rest,
         "#error cgppc:0\tbad intermediate file t.ir\n#error cgppc:0\tbad flags for PPC target t.ir\n"},
        {"empty", "", "#error cgppc:0\tbad intermediate file t.ir\n#error cgppc:0\tbad flags for PPC target t.ir\n"},
        {"float registers", "\xCB\x0C\x10" + rest.substr(1),
         "#error cgppc:0\tfloat registers are not supported for VLE t.ir\n"},
    };
    for (const HeaderCase& c : cases) {
        s.write("t.ir", c.bytes);
        s.write("t.s", "old");
        RunResult r = runcgppc({"-o", "t.s", "+ee.txt", "t.ir"});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(s.read("e.txt"), c.err) << c.what;
        EXPECT_EQ(s.read("t.s"), "") << c.what;
    }
}

TEST(Program, OtherParserVersionStillWritesTheText) {
    Scratch s;
    std::string bytes = irbytes(std::string(kHeader) + "131 2 [0 0x81 \"x\"]\n137 4 5\n210\n");
    bytes[3] = '\xFE';
    s.write("t.ir", bytes);
    RunResult r = runcgppc({"-o", "t.s", "t.ir"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cgppc:0\tincompatible parser version t.ir\n");
    std::string out = s.read("t.s");
    EXPECT_NE(out.find("_x:\n\tdc.l\t5\n"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - 5), "\tend\n");
}

TEST(Program, ErrorFile) {
    Scratch s;
    s.write("t.ir", irbytes(kHeader));
    RunResult r = runcgppc({"-o", "t.s", "+ee.txt", "t.ir"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(s.exists("e.txt")) << "an error file without errors is removed";
    s.write("t.ir", irbytes(std::string(kHeader) + "19 [0 0 \"t.c\"]\n20 4\n186 [0 0 \"nope\"]\n"));
    r = runcgppc({"-o", "t.s", "+ee.txt", "t.ir"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "errors reported in e.txt\n");
    EXPECT_EQ(s.read("e.txt"), "#error cgppc t.c:4\tunknown space: nope\n");
    r = runcgppc({"-ge", "-o", "t.s", "t.ir"});
    EXPECT_EQ(r.err, "t.c:4:1: unknown space: nope\n");
}

TEST(Program, FunctionsNamedWithVerbose) {
    Scratch s;
    RunResult r = compile(s,
                          std::string(kHeader) +
                              "19 [0 0 \"t.c\"]\n20 3\n134 [0 0x84 \"main\"] 0x3800 0\n251 3 5\n218 0\n"
                              "145 0x3FFFF 0 0\n146\n211\n",
                          {"-v"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "main:\n");
    EXPECT_NE(r.out.find("FL:\n\tend\n"), std::string::npos) << r.out;
    r = compile(s, std::string(kHeader) + "134 [0 0x84 \"main\"] 0x3800 0\n211\n", {"-no"});
    EXPECT_EQ(r.out.find("FL:"), std::string::npos);
}

}  // namespace
}  // namespace cgtest
