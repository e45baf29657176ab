// The program: usage and version texts, option errors, outputs, exit
// statuses, the error file, the interrupt and the dependency line.
#include <csignal>

#include "harness.h"

namespace cpppctest {
namespace {

TEST(Program, NoArgumentsPrintsUsage) {
    RunResult r = runcpppc({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ORBELT Software PPC C Parser V4.10.10\nusage: cpppc [options] file\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\n    -o*   output file name\n"), std::string::npos);
    EXPECT_NE(r.err.find("\n    +e*   error file name\n"), std::string::npos);
    EXPECT_NE(r.err.find("\n    -x    output debug info\n"), std::string::npos);
    EXPECT_EQ(r.err.find("analyser"), std::string::npos) << "hidden options are not listed";
    EXPECT_EQ(r.err.find("comment removal"), std::string::npos);
}

struct OptionCase {
    std::vector<std::string> args;
    int status;
    std::string err;  // expected standard error, exactly
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    for (const std::string& a : c.args) *os << a << " ";
}

class OptionErrors : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionErrors, Message) {
    Scratch s;
    const OptionCase& c = GetParam();
    RunResult r = runcpppc(c.args);
    EXPECT_EQ(r.status, c.status);
    if (c.err.back() == '*')
        EXPECT_EQ(r.err.rfind(c.err.substr(0, c.err.size() - 1), 0), 0u) << r.err;
    else
        EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionErrors,
    testing::Values(
        OptionCase{{"-vers"}, 1, "ORBELT Software PPC C Parser V4.10.10 - 24 Aug 2012 - *"},
        OptionCase{{"-w3x", "t.c"}, 1, "invalid number: 3x\n"},
        OptionCase{{"-zz", "t.c"}, 1, "cpppc: unknown option -zz\n"},
        OptionCase{{"-e"}, 0, ""},  // options without a file
        OptionCase{{"t.c"}, 1, "#error cpppc t.c:0 missing output file name\n"},
        OptionCase{{"-ge", "t.c"}, 1, "t.c:1:1: missing output file name\n"},
        OptionCase{{"-e", "nothere.c"}, 1, "#error cpppc nothere.c:0 can't open nothere.c\n"},
        OptionCase{{"-e", "-ge", "nothere.c"}, 1, "nothere.c:1:1: can't open nothere.c\n"},
        OptionCase{{"-e", "-dA-1", "nothere.c"}, 1,
                   "#error cpppc nothere.c:0 bad symbol definition\n#error cpppc nothere.c:0 can't open nothere.c\n"},
        OptionCase{{"-e", "-o", "no/such/dir/x.i", "t.c"}, 1, "#error cpppc t.c:0 can't create no/such/dir/x.i\n"},
        OptionCase{{"-e", "+eno/such/dir/e.txt", "t.c"}, 1, "#error cpppc t.c:0 can't create no/such/dir/e.txt\n"}));

TEST(Program, ErrorFileCollectsDiagnostics) {
    Scratch s;
    s.write("t.c", "#error stop here\n");
    RunResult r = runcpppc({"-e", "+eerr.txt", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "errors reported in err.txt\n");
    EXPECT_EQ(s.read("err.txt"), "#error cpppc t.c:1 stop here\n");

    s.write("w.c", "#pragma message hello\nint x;\n");
    r = runcpppc({"-o", "w.out", "+eerr2.txt", "w.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(s.exists("err2.txt")) << "an error file without errors is removed";
}

TEST(Program, ErrorsRemoveOnlyTheIntermediateFile) {
    Scratch s;
    s.write("t.c", "int int a;\n");
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(s.exists("t.ir")) << "the next pass must not take it for a whole file";
    s.write("e.c", "#error stop\nint a;\n");
    r = runcpppc({"-e", "-o", "e.i", "e.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(s.read("e.i"), "int a;\n") << "the preprocessed text stays";
    s.write("w.c", "int a;\n");
    r = runcpppc({"-o", "w.ir", "w.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(s.exists("w.ir"));
}

TEST(Program, InterruptRemovesOutput) {
    Scratch s;
    s.write("t.c", "int a;\n");
    platform::raiseinterrupt();
    RunResult r = runcpppc({"-e", "-o", "t.i", "t.c"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(s.exists("t.i"));
    // The same through the signal itself and the installed handler.
    platform::catchinterrupt();
    std::raise(SIGINT);
    r = runcpppc({"-o", "t.o", "t.c"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(s.exists("t.o"));
}

TEST(Program, DependencyLine) {
    Scratch s;
    s.write("t.c", "#include \"h1.h\"\n#include \"h1.h\"\nint t;\n");
    s.write("h1.h", "int h;\n");
    RunResult r = runcpppc({"-md", "-o", "t.o", "t.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "t.o: t.c h1.h\n");
    EXPECT_FALSE(s.exists("t.o"));

    // Long names wrap before column 78; a name with a blank is quoted.
    std::string inc;
    for (int i = 0; i < 6; ++i) {
        std::string name = "header_with_a_long_name_" + std::to_string(i) + ".h";
        s.write(name, "\n");
        inc += "#include \"" + name + "\"\n";
    }
    s.write("a b.h", "\n");
    inc += "#include \"a b.h\"\n";
    s.write("u.c", inc);
    r = runcpppc({"-md", "u.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string line;
    for (size_t pos = 0, next; pos < r.out.size(); pos = next + 1) {
        next = r.out.find('\n', pos);
        line = r.out.substr(pos, next - pos);
        EXPECT_LE(line.size(), 78u) << line;
        if (next + 1 < r.out.size()) {
            EXPECT_EQ(line.substr(line.size() - 2), " \\");
        }
    }
    EXPECT_NE(r.out.find(" \"a b.h\"\n"), std::string::npos) << r.out;

    // -xp lists names without their directory; -xf clears -xp.
    s.write("dd/a.c", "#include \"x.h\"\n");
    s.write("dd/x.h", "\n");
    EXPECT_EQ(runcpppc({"-md", "-xp", "-o", "a.o", "dd/a.c"}).out, "a.o: a.c x.h\n");
    EXPECT_EQ(runcpppc({"-md", "-xp", "-xf", "dd/a.c"}).out, " dd/a.c dd/x.h\n");
}

TEST(Program, SourceInDirectoryIsOpenedAndSearched) {
    Scratch s;
    s.write("dir/a.c", "#include \"inc.h\"\nA\n");
    s.write("dir/inc.h", "#define A found\n");
    RunResult r = runcpppc({"-e", "dir/a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "found\n");
    s.write("dir/b.c", "#include \"sub\\inc2.h\"\n#include <lib.h>\n");
    s.write("inc/lib.h", "lib\n");
    s.write("dir/sub/inc2.h", "ok\n");
    r = runcpppc({"-e", "-iinc/", "dir\\b.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok\nlib\n");
}

TEST(Program, WarningLevels) {
    Scratch s;
    s.write("t.c", "int x;\n");
    // -ck turns warnings into errors; the derived rules show in __ORBT__.
    s.write("o.c", "__ORBT__\n");
    EXPECT_EQ(runcpppc({"-e", "o.c"}).out, "8\n");
    EXPECT_EQ(runcpppc({"-e", "-sa", "o.c"}).out, std::to_string(8 + 32 + 128 + 256) + "\n");
    EXPECT_EQ(runcpppc({"-e", "-ck", "-u", "o.c"}).out, std::to_string(8 + 4 + 512) + "\n");
}

TEST(Program, DefinitionsFromTheCommandLine) {
    Scratch s;
    s.write("t.c", "A B C\n");
    RunResult r = runcpppc({"-e", "-dA", "-dB=two words", "t.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 two words C\n");
    r = runcpppc({"-e", "-dA=1", "-dA=2", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2 B C\n");
    EXPECT_EQ(r.err, "#error cpppc t.c:0 can't redefine macro A\n");
}

TEST(Program, ForcedHeadersComeFirstInOrder) {
    Scratch s;
    s.write("t.c", "src\n");
    s.write("h1.h", "one\n");
    s.write("h2.h", "two\n");
    RunResult r = runcpppc({"-e", "-hh1.h", "-hh2.h", "t.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "one\ntwo\nsrc\n");
    r = runcpppc({"-e", "-hh1.h", "-hnone.h", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "#error cpppc t.c:0 can't open none.h\n");
}

TEST(Program, RunsTheTokenStreamWithoutE) {
    Scratch s;
    s.write("t.c", "int x; int f(void) { return 1; }\n#if 1\n");
    RunResult r = runcpppc({"-o", "t.i", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cpppc t.c:2 missing #endif directive\n");
}

}  // namespace
}  // namespace cpppctest

namespace cpppctest {
namespace {

TEST(Program, EnvironmentIncludeDirectories) {
    Scratch s;
    s.write("envinc/e.h", "from_env\n");
    s.write("t.c", "#include <e.h>\n");
    ::setenv("QVPPC", "nothere;envinc\\", 1);
    RunResult r = runcpppc({"-e", "t.c"});
    ::unsetenv("QVPPC");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "from_env\n");
}

TEST(Program, FullPathFoldsLeadingDots) {
    Scratch s;
    std::filesystem::create_directories("x/y");
    std::filesystem::current_path("x/y");
    std::string base = s.dir().string();
    EXPECT_EQ(cpppc::fullpath("../../a.c"), base + "/a.c");
    EXPECT_EQ(cpppc::fullpath("./b.c"), base + "/x/y/b.c");
    EXPECT_EQ(cpppc::fullpath(".hidden.c"), base + "/x/y/.hidden.c");
    EXPECT_EQ(cpppc::fullpath("/abs/c.c"), "/abs/c.c");
}

}  // namespace
}  // namespace cpppctest
