// The compiler driver against stand-in pass programs: small shell scripts that
// log their argument vectors, copy their input into their output with their
// name in front, and act on a "name=action" word found in their input (an
// exit status, "segv", "sigint" or "noout"), so one source file steers
// every pass of the chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <optional>
#include <random>
#include <sstream>
#include <unistd.h>

#include "driver/driver.h"
#include "platform/process.h"
#include "tests/scratch.h"
#include "toollib/quit.h"

namespace {

namespace fs = std::filesystem;

const char* kStandIn = R"(#!/bin/sh
name=${0##*/}
here=${0%/*}
in=""; out=""; prev=""
for a in "$@"; do
  [ "$prev" = "-o" ] && out=$a
  prev=$a; in=$a
done
{ printf '%s' "$name"; for a in "$@"; do printf '\t%s' "$a"; done; printf '\n'; } >> "$here/../log"
act=""
[ -f "$in" ] && act=$(sed -n "s/.*$name=\([a-z0-9]*\).*/\1/p" "$in" | head -n 1)
case "$act" in
  sigint) kill -INT 0; sleep 2; exit 0 ;;
  segv) kill -SEGV $$ ;;
  noout) exit 0 ;;
  [0-9]*) exit "$act" ;;
esac
{ printf '%s < ' "$name"; if [ -f "$in" ]; then cat "$in"; else printf 'missing\n'; fi; } > "$out"
exit 0
)";

const char* kVers = "-d\"__VERS__=\\\"V4.3.6\\\"\"";  // as -x prints it

void writefile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
std::string readfile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct RunResult {
    int status = 0;
    std::string out, err;
};

class DriverTest : public ::testing::Test {
protected:
    scratch::Dir scratchdir{"qvdrvtest"};
    fs::path root, bin, work, tmp;

    void SetUp() override {
        ASSERT_TRUE(scratchdir.made());
        root = scratchdir.path();
        bin = root / "bin";
        work = root / "work";
        tmp = root / "tmp";
        for (const auto& d : {bin, work, tmp, work / "out", work / "lst", work / "errs", work / "inc", work / "d.x"})
            fs::create_directories(d);
        for (const char* pass : {"cpppc", "cgppc", "coppc", "cappc"}) {
            writefile(bin / pass, kStandIn);
            fs::permissions(bin / pass, fs::perms::owner_all);
        }
        config("-ex\n");
        writefile(work / "a.c", "int a;\n");
        writefile(work / "b.s", " nop\n");
        writefile(work / "d.x" / "a.c", "int d;\n");
    }

    void config(const std::string& text) { writefile(bin / "qvppc.qvf", text); }

    // Every word that is not an option names something in the work directory.
    std::vector<std::string> words(const std::vector<std::string>& args) {
        std::vector<std::string> w = {"qvppc", "-t", tmp.string()};
        for (const auto& a : args) w.push_back(a[0] == '-' || a[0] == '+' ? a : (work / a).string());
        return w;
    }

    // Runs the driver in this process with its passes in bin/.
    RunResult qvppc(const std::vector<std::string>& args) {
        std::vector<std::string> w = words(args);
        std::vector<char*> argv;
        for (auto& s : w) argv.push_back(s.data());
        argv.push_back(nullptr);
        RunResult r;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = tl::runmain([&] {
            tl::resettoolcontext();
            driver::DriverState state;
            state.progdir = bin.string() + "/";
            return driver::drvmain(state, static_cast<int>(w.size()), argv.data());
        });
        r.out = normal(testing::internal::GetCapturedStdout());
        r.err = normal(testing::internal::GetCapturedStderr());
        return r;
    }

    // Runs a built program as a child in a process group of its own.
    RunResult spawn(const std::string& program, const std::vector<std::string>& args) {
        platform::SpawnOptions opt;
        opt.newgroup = true;
        opt.stdoutpath = (root / "stdout").string();
        opt.stderrpath = (root / "stderr").string();
        auto result = platform::runprocess(program, args, opt);
        RunResult r;
        r.status = result.end == platform::ProcessResult::End::Exited ? result.status : -1;
        r.out = normal(readfile(root / "stdout"));
        r.err = normal(readfile(root / "stderr"));
        return r;
    }

    // Temporaries become T1 and T2, the work and bin directories vanish.
    std::string normal(std::string text) {
        // .../qvXXXXXX/qv.qvN
        for (size_t at = 0; (at = text.find("/qv.qv", at)) != std::string::npos;) {
            size_t end = at + 7;
            if (end > text.size() || at < 9 || text.compare(at - 9, 3, "/qv") != 0) {
                ++at;
                continue;
            }
            size_t start = at - 9;
            while (start > 0 && std::string(" \t\"\n").find(text[start - 1]) == std::string::npos) --start;
            text.replace(start, end - start, std::string("T") + text[end - 1]);
            at = start + 2;
        }
        for (const auto& dir : {work, bin}) {
            std::string prefix = dir.string() + "/";
            for (size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
        }
        return text;
    }

    // The pass log, one line per pass run, arguments separated by blanks.
    std::vector<std::string> passlog() {
        std::vector<std::string> lines;
        std::istringstream in(normal(readfile(root / "log")));
        for (std::string line; std::getline(in, line);) {
            std::replace(line.begin(), line.end(), '\t', ' ');
            lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> passnames() {
        std::vector<std::string> names;
        for (auto& line : passlog()) names.push_back(line.substr(0, line.find(' ')));
        return names;
    }
    bool tempsgone() { return fs::is_empty(tmp); }
};

TEST_F(DriverTest, VersionTextEndsWithStatusOne) {
    RunResult r = qvppc({"-vers"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ORBELT Software PPC C Cross Compiler V4.3.6 - 02 Oct 2012 - Linux\n");
}

TEST_F(DriverTest, UsageOnlyWithoutOptionAndFile) {
    std::vector<std::string> bare = {"qvppc"};
    std::vector<char*> argv = {bare[0].data(), nullptr};
    testing::internal::CaptureStderr();
    int status = tl::runmain([&] {
        tl::resettoolcontext();
        driver::DriverState state;
        state.progdir = bin.string() + "/";
        return driver::drvmain(state, 1, argv.data());
    });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("\nusage: qvppc [options] files\n    -a*>  assembler options\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("wa##"), std::string::npos) << "hidden options stay hidden";

    RunResult v = qvppc({"-v"});  // reads the configuration file, compiles nothing
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out + v.err, "");
}

TEST_F(DriverTest, NoExecutePrintsFourCommandsAndRunsNothing) {
    RunResult r = qvppc({"-x", "a.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "a.c:\n");
    EXPECT_EQ(r.out, std::string("\"cpppc\" -o \"T1\" ") + kVers + " \"a.c\"\n"
                     "\"cgppc\" -o \"T2\" \"T1\"\n"
                     "\"coppc\" -o \"T1\" \"T2\"\n"
                     "\"cappc\" -o \"a.o\" \"T1\"\n");
    EXPECT_FALSE(fs::exists(root / "log"));
    EXPECT_TRUE(tempsgone());
}

TEST_F(DriverTest, NoExecuteNeedsNoTemporaryDirectory) {
    // Nothing runs, so a temporary directory that cannot be made is no error.
    RunResult r = qvppc({"-x", "-t", "nodir", "-no", "a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("\"cpppc\" -o \"T1\" ") + kVers + " \"a.c\"\n"
                     "\"cgppc\" -o \"T2\" -no \"T1\"\n"
                     "\"cappc\" -o \"a.o\" \"T2\"\n");
    EXPECT_FALSE(fs::exists(work / "nodir"));
}

TEST_F(DriverTest, VerboseEchoesEachCommandAfterATab) {
    RunResult r = qvppc({"-v", "-no", "a.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("a.c:\n\t\"cpppc\" -o \"T1\" ") + kVers + " \"a.c\"\n"
                     "\t\"cgppc\" -o \"T2\" -no \"T1\"\n"
                     "\t\"cappc\" -o \"a.o\" \"T2\"\n");
}

TEST_F(DriverTest, PassesChainThroughTemporariesWhichAreRemoved) {
    RunResult r = qvppc({"a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a.c:\n");
    EXPECT_EQ(readfile(work / "a.o"), "cappc < coppc < cgppc < cpppc < int a;\n");
    // The version definition is one argument, the source the last one.
    std::vector<std::string> log = passlog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "cpppc -o T1 -d__VERS__=\"V4.3.6\" a.c");
    EXPECT_TRUE(tempsgone());
}

struct SequenceCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> log;
};

class PassSequence : public DriverTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(PassSequence, RunsThePassesWithTheirNames) {
    const SequenceCase& c = GetParam();
    RunResult r = qvppc(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(passlog(), c.log);
    EXPECT_TRUE(tempsgone());
}

#define VERS "-d__VERS__=\"V4.3.6\""
INSTANTIATE_TEST_SUITE_P(
    Driver, PassSequence,
    ::testing::Values(
        SequenceCase{"NoOptimizer", {"-no", "a.c"},
                     {"cpppc -o T1 " VERS " a.c", "cgppc -o T2 -no T1", "cappc -o a.o T2"}},
        SequenceCase{"AssemblerText", {"-s", "a.c"},
                     {"cpppc -o T1 " VERS " a.c", "cgppc -o T2 T1", "coppc -o a.s T2"}},
        SequenceCase{"AssemblerTextNoOptimizer", {"-s", "-no", "a.c"},
                     {"cpppc -o T1 " VERS " a.c", "cgppc -o a.s -no T1"}},
        SequenceCase{"Preprocessor", {"-sp", "a.c"}, {"cpppc -o a.p -e " VERS " a.c"}},
        SequenceCase{"Dependencies", {"-sm", "a.c"}, {"cpppc -o a.o -md " VERS " a.c"}},
        SequenceCase{"Analyser", {"-sa", "a.c"}, {"cpppc -o a.sbr -an " VERS " a.c"}},
        SequenceCase{"PreprocessedTextSkippedByPreprocessor", {"-sp", "c.p"}, {}},
        SequenceCase{"PreprocessedTextSkippedByAnalyser", {"-sa", "c.p"}, {}},
        SequenceCase{"AssemblerSource", {"b.s"}, {"cappc -o b.o b.s"}},
        SequenceCase{"DotInDirectory", {"-no", "d.x/a.c"},
                     {"cpppc -o T1 " VERS " d.x/a.c", "cgppc -o T2 -no T1", "cappc -o d.x/a.o T2"}},
        SequenceCase{"PreprocessedAssembler", {"-ep", "b.s"},
                     {"cpppc -o T1 -ecr " VERS " b.s", "cappc -o b.o T1"}},
        SequenceCase{"AssemblerDependencies", {"-sm", "b.s"}, {"cappc -o b.o -md b.s"}},
        SequenceCase{"AllAssembler", {"-es", "a.c"}, {"cappc -o a.o a.c"}},
        SequenceCase{"AllC", {"-ec", "-no", "b.s"},
                     {"cpppc -o T1 " VERS " b.s", "cgppc -o T2 -no T1", "cappc -o b.o T2"}},
        SequenceCase{"ObjectDirectory", {"-co", "out", "-no", "a.c"},
                     {"cpppc -o T1 " VERS " a.c", "cgppc -o T2 -no T1", "cappc -o out/a.o T2"}},
        SequenceCase{"ListingDirectory", {"-l", "-cl", "lst", "a.c"},
                     {"cpppc -o T1 -l " VERS " a.c", "cgppc -o T2 -l T1", "coppc -o T1 T2",
                      "cappc -o a.o +l lst/a.ls T1"}},
        SequenceCase{"ListingBeside", {"-l", "b.s"}, {"cappc -o b.o -l b.s"}},
        SequenceCase{"ErrorFiles", {"-e", "-ce", "errs", "-eg", "a.c"},
                     {"cpppc -o T1 " VERS " -ge +e errs/a.err a.c", "cgppc -o T2 -ge +e errs/a.err T1",
                      "coppc -o T1 T2", "cappc -o a.o -ge +e errs/a.err T1"}},
        SequenceCase{"ErrorFileBeside", {"-e", "b.s"}, {"cappc -o b.o +e b.err b.s"}},
        SequenceCase{"PassOptions", {"-i", "inc", "-dX=1", "-p-w3", "-g-v", "-o-c", "-a-x", "a.c"},
                     {"cpppc -o T1 -i inc -dX=1 -w3 " VERS " a.c", "cgppc -o T2 -v T1", "coppc -o T1 -c T2",
                      "cappc -o a.o -i inc -x T1"}},
        SequenceCase{"DefinitionsForAssemblerSources", {"-dX=1", "b.s"}, {"cappc -o b.o -dX=1 b.s"}},
        SequenceCase{"DeferredOptionsGoLast", {"-p&-late", "-p-early", "-a&-z", "-eg", "-no", "a.c"},
                     {"cpppc -o T1 -early " VERS " -late -ge a.c", "cgppc -o T2 -no -ge T1",
                      "cappc -o a.o -z -ge T2"}},
        SequenceCase{"OneEntrySeveralOptions", {"-p-w1 -ck \"-dA=b c\"", "-sp", "a.c"},
                     {"cpppc -o a.p -w1 -ck -dA=b c -e " VERS " a.c"}}),
    [](const auto& info) { return std::string(info.param.name); });
#undef VERS

TEST_F(DriverTest, ErrorFileNameIsBesideTheSource) {
    // The +e name of an assembler source comes from its own path.
    RunResult r = qvppc({"-x", "-e", "b.s"});
    EXPECT_EQ(r.out, "\"cappc\" -o \"b.o\" +e \"b.err\" \"b.s\"\n");
}

struct MacroCase {
    const char* name;
    const char* config;
    std::vector<std::string> args;
    int status;
    const char* err;   // exact standard error after the file names
    const char* line;  // a line that the -x output holds
};

class Macros : public DriverTest, public ::testing::WithParamInterface<MacroCase> {};

TEST_P(Macros, ConfigurationAndMacros) {
    const MacroCase& c = GetParam();
    config(c.config);
    std::vector<std::string> args = {"-x"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult r = qvppc(args);
    EXPECT_EQ(r.status, c.status);
    std::string err = r.err;
    EXPECT_EQ(err, c.status == 0 ? "a.c:\n" : c.err);
    if (*c.line) {
        EXPECT_NE(r.out.find(std::string(c.line) + "\n"), std::string::npos) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Driver, Macros,
    ::testing::Values(
        MacroCase{"AppliedOnce", "-mopt:-x\n", {"+opt", "+opt", "a.c"}, 0, "",
                  "\"cpppc\" -o \"T1\" -x -d\"__VERS__=\\\"V4.3.6\\\"\" \"a.c\""},
        MacroCase{"SelectedInConfiguration", "-mopt:-x +opt\n", {"a.c"}, 0, "",
                  "\"cpppc\" -o \"T1\" -x -d\"__VERS__=\\\"V4.3.6\\\"\" \"a.c\""},
        MacroCase{"Exclusive", "-ma:,,,-q,b\n-mb:-y\n", {"+a", "+b", "a.c"}, 1,
                  "macros a and b are exclusive\n", ""},
        MacroCase{"ExclusionIsOneWay", "-ma:,,,-q,b\n-mb:-y\n", {"+b", "+a", "a.c"}, 0, "",
                  "\"cappc\" -o \"a.o\" -q \"T1\""},
        MacroCase{"EmptyFieldAddsNothing", "-mg:,-z\n", {"+g", "a.c"}, 0, "", "\"cgppc\" -o \"T2\" -z \"T1\""},
        MacroCase{"ConfigurationObjectDirectoryWins", "-co cfgout\n", {"-co", "cmdout", "a.c"}, 0, "",
                  "\"cappc\" -o \"cfgout/a.o\" \"T1\""},
        MacroCase{"ConfigurationListsAddAfterCommandLine", "-p-second\n", {"-p-first", "-sp", "a.c"}, 0, "",
                  "\"cpppc\" -o \"a.p\" -first -second -e -d\"__VERS__=\\\"V4.3.6\\\"\" \"a.c\""},
        MacroCase{"ExAcceptedWithoutEffect", "-ex\n", {"-ex", "-sp", "a.c"}, 0, "",
                  "\"cpppc\" -o \"a.p\" -e -d\"__VERS__=\\\"V4.3.6\\\"\" \"a.c\""},
        MacroCase{"InvalidOption", "-co x bogus\n", {"a.c"}, 1, "invalid option bogus in configuration file\n", ""},
        MacroCase{"BadDefinition", "-mnocolon\n", {"a.c"}, 1, "bad macro definition: nocolon\n", ""},
        MacroCase{"Redefined", "-mx:-a\n-mx:-b\n", {"a.c"}, 1, "macro x redefined\n", ""},
        MacroCase{"Unknown", "-ex\n", {"+zz", "a.c"}, 1, "unknown macro zz\n", ""},
        MacroCase{"DefinitionOnlyInConfiguration", "-ex\n", {"-mq:-x", "a.c"}, 1, "qvppc: unknown option -mq:-x\n",
                  ""},
        MacroCase{"EmptyConfiguration", "# nothing\n", {"a.c"}, 1, "no command found in qvppc.qvf\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, ConfigurationFileFromOption) {
    writefile(work / "other.qvf", "-mo:-x\n");
    RunResult r = qvppc({"-f", "other.qvf", "+o", "-x", "-sp", "a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("\"cpppc\" -o \"a.p\" -x -e ") + kVers + " \"a.c\"\n");
    r = qvppc({"-f", "missing.qvf", "a.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "can't open file missing.qvf\n");
}

TEST_F(DriverTest, WildcardsKeepTheCaseOfNames) {
    writefile(work / "Up.C", "int u;\n");
    RunResult r = qvppc({"-x", "-sp", "*.[cC]"});
    EXPECT_EQ(r.err, "Up.C:\na.c:\n");
}

TEST_F(DriverTest, FullMacroListIsReported) {
    std::string cfg = "-mm:-x\n";
    for (int i = 0; i < 128; ++i) cfg += "-p-w" + std::to_string(i) + "\n";
    config(cfg);
    RunResult r = qvppc({"+m", "a.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "too many parser options\n");
}

struct OutcomeCase {
    const char* name;
    const char* first;    // text of a.c, which steers its passes
    const char* missing;  // a pass program taken away, or ""
    std::vector<std::string> args;
    int status;
    const char* err;
    std::vector<std::string> passes;
};

class Outcomes : public DriverTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcomes, StatusMessagesAndWhatRuns) {
    const OutcomeCase& c = GetParam();
    writefile(work / "a.c", c.first);
    writefile(work / "c.c", "int c;\n");
    writefile(work / "x.txt", "");
    writefile(work / "a.p", "int p;\n");
    if (*c.missing) fs::remove(bin / c.missing);
    RunResult r = qvppc(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(passnames(), c.passes);
    EXPECT_TRUE(tempsgone());
    EXPECT_EQ(readfile(work / "a.p"), "int p;\n");
}

INSTANTIATE_TEST_SUITE_P(
    Driver, Outcomes,
    ::testing::Values(
        OutcomeCase{"FailingPassSkipsTheRestOfItsFile", "cgppc=1", "", {"-no", "a.c", "c.c"}, 1, "",
                    {"cpppc", "cgppc", "cpppc", "cgppc", "cappc"}},
        OutcomeCase{"StatusTwoEndsTheRun", "cgppc=2", "", {"-no", "a.c", "c.c"}, 2, "", {"cpppc", "cgppc"}},
        OutcomeCase{"OtherSignalFailsTheFile", "cgppc=segv", "", {"-no", "a.c", "c.c"}, 1,
                    "cgppc: ended by signal 11\n", {"cpppc", "cgppc", "cpppc", "cgppc", "cappc"}},
        OutcomeCase{"SuccessWithoutOutputFailsTheFile", "cpppc=noout", "", {"-no", "a.c", "c.c"}, 1,
                    "cpppc: no output file T1\n", {"cpppc", "cpppc", "cgppc", "cappc"}},
        OutcomeCase{"MissingPassEndsTheRun", "", "cgppc", {"a.c", "b.s"}, 2, "WIN execution failed\n", {"cpppc"}},
        OutcomeCase{"UnknownFileTypeFailsAfterTheOthers", "", "", {"x.txt", "d.x/noext", "b.s"}, 1,
                    "unknown file type x.txt\nunknown file type d.x/noext\n", {"cappc"}},
        OutcomeCase{"TemporaryDirectoryCannotBeMade", "", "", {"-t", "nodir", "a.c", "b.s"}, 1,
                    "can't create temporary directory in nodir\n", {"cappc"}},
        OutcomeCase{"TemporaryDirectoryFailureWithParentWindow", "", "", {"-wa5", "-t", "nodir", "a.c", "b.s"}, 2,
                    "can't create temporary directory in nodir\n", {}},
        OutcomeCase{"TooLongCommandStops", "", "", {"-d" + std::string(33000, 'A'), "a.c", "c.c"}, 1,
                    "command line too long\n", {}},
        OutcomeCase{"OutputNeverOverwritesItsSource", "", "", {"-ec", "-sp", "a.p"}, 1,
                    "output file a.p is the source file\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, ParentWindowTurnsAFailureIntoStatusTwo) {
    RunResult ok = qvppc({"-wa5", "-wb0x401", "a.c"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    writefile(work / "a.c", "cpppc=1");
    EXPECT_EQ(qvppc({"-wa5", "-wb0x401", "a.c", "b.s"}).status, 2);
    EXPECT_EQ(passnames(), (std::vector<std::string>{"cpppc", "cgppc", "coppc", "cappc", "cpppc"}));
    EXPECT_TRUE(tempsgone());
}

TEST_F(DriverTest, PassesAreReapedEvenWhenChildSignalsAreIgnored) {
    struct sigaction old {}, ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGCHLD, &ignore, &old);
    RunResult r = qvppc({"-no", "a.c"});
    ::sigaction(SIGCHLD, &old, nullptr);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(passnames(), (std::vector<std::string>{"cpppc", "cgppc", "cappc"}));
}

TEST_F(DriverTest, FileNameIsOneArgumentWhateverItHolds) {
    writefile(work / "we\"ird name.c", "int w;\n");
    RunResult r = qvppc({"-sp", "we\"ird name.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string log = normal(readfile(root / "log"));
    EXPECT_EQ(log, "cpppc\t-o\twe\"ird name.p\t-e\t-d__VERS__=\"V4.3.6\"\twe\"ird name.c\n");
}

TEST_F(DriverTest, TemporaryDirectoryComesFromOptionThenEnvironment) {
    struct Case {
        const char* variable;  // set to root/<variable>; the later ones are unset
        bool option;           // -t root/tmp given as well
        std::string parent;
    };
    const Case cases[] = {{"QVTEMP", true, "tmp"}, {"QVTEMP", false, "QVTEMP"}, {"TMP", false, "TMP"},
                          {"TMPDIR", false, "TMPDIR"}};
    const char* names[] = {"QVTEMP", "TMP", "TMPDIR"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* n : names) {
        const char* v = std::getenv(n);
        saved.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
    }
    for (const auto& c : cases) {
        bool set = false;
        for (const char* n : names) {
            if (std::string(n) == c.variable) set = true;
            if (set) {
                fs::create_directories(root / n);
                ::setenv(n, (root / n).c_str(), 1);
            } else {
                ::unsetenv(n);
            }
        }
        std::vector<std::string> w = {"qvppc", "-x", "-s", (work / "a.c").string()};
        if (c.option) w.insert(w.begin() + 1, {"-t", tmp.string()});
        std::vector<char*> argv;
        for (auto& a : w) argv.push_back(a.data());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = tl::runmain([&] {
            tl::resettoolcontext();
            driver::DriverState state;
            state.progdir = bin.string() + "/";
            return driver::drvmain(state, static_cast<int>(w.size()), argv.data());
        });
        std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0);
        std::string prefix = "\"cpppc\" -o \"" + (root / c.parent).string() + "/qv";
        EXPECT_EQ(out.rfind(prefix, 0), 0u) << c.variable << c.option << ": " << out;
    }
    for (auto& [n, v] : saved) {
        if (v) ::setenv(n.c_str(), v->c_str(), 1);
        else ::unsetenv(n.c_str());
    }
}

// A bounded random walk over option words and configuration files: whatever
// the mix, -x runs nothing, the status is 0 or 1 and no temporary stays.
TEST_F(DriverTest, RandomOptionsAndConfigurationsEndCleanly) {
    const char* pieces[] = {"-a&-q", "-ce", "-co", "-cl", "-d", "-dX=1", "-ec", "-eg", "-ep", "-es", "-e", "-g",
                            "-i", "-l", "-no", "-o", "-p\"a b\"", "-sa", "-sm", "-sp", "-s", "-t", "-v", "-wa5",
                            "-wb0x", "-m", "-mq:-x,-y,,,r", "-mr:,-k,,,q", "-m:", "+q", "+r", "+", "-", "--", "a.c",
                            "b.s", "x.txt", "c.p", "d.x/a.c", "*.c", "'a b'", "\"open", "#c", "-lv", "-i\\", ""};
    std::mt19937 rng(20121002);
    auto piece = [&] { return std::string(pieces[rng() % std::size(pieces)]); };
    for (int round = 0; round < 150; ++round) {
        std::string cfg = round % 2 ? "-ex -mq:-x,-y,,,r -mr:,-k,,,q\n" : "";
        for (unsigned i = rng() % 6; i > 0; --i) cfg += piece() + (rng() % 3 ? " " : "\r\n");
        config(cfg);
        std::vector<std::string> args = {"-x"};
        for (unsigned i = rng() % 7; i > 0; --i) args.push_back(piece());
        RunResult r = qvppc(args);
        EXPECT_TRUE(r.status == 0 || r.status == 1) << cfg << " / " << ::testing::PrintToString(args);
        ASSERT_TRUE(tempsgone()) << cfg << " / " << ::testing::PrintToString(args);
        ASSERT_FALSE(fs::exists(root / "log"));
    }
}

struct SplitCase {
    const char* text;
    std::vector<std::string> args;
};
class SplitArgs : public ::testing::TestWithParam<SplitCase> {};
TEST_P(SplitArgs, LikeACommandLine) { EXPECT_EQ(driver::splitargs(GetParam().text), GetParam().args); }
INSTANTIATE_TEST_SUITE_P(
    Driver, SplitArgs,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"  -a \t -b  ", {"-a", "-b"}},
                      SplitCase{"-d\"X=a b\"", {"-dX=a b"}}, SplitCase{"\"\"", {""}},
                      SplitCase{"-d\"__VERS__=\\\"V\\\"\"", {"-d__VERS__=\"V\""}},
                      SplitCase{"a\\\\b \"c\\\\\" d", {"a\\\\b", "c\\", "d"}}));

// ---- the built program itself ----

class DriverProgram : public DriverTest {
protected:
    // A copy of qvppc beside the stand-in passes.
    std::string install() {
        fs::copy_file(QVPPC_PATH, bin / "qvppc", fs::copy_options::overwrite_existing);
        return (bin / "qvppc").string();
    }
};

TEST_F(DriverProgram, RefusesToRunWithoutConfigurationFile) {
    std::string prog = install();
    fs::remove(bin / "qvppc.qvf");
    RunResult r = spawn(prog, words({"a.c"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "can't open file qvppc.qvf\n");  // bin/ is removed by normal()
    EXPECT_EQ(readfile(root / "stderr"), "can't open file " + (bin / "qvppc.qvf").string() + "\n");
}

TEST_F(DriverProgram, FindsItsPassesThroughALink) {
    std::string prog = install();
    fs::create_directories(root / "link");
    fs::create_symlink(prog, root / "link" / "qvppc");
    std::vector<std::string> args = words({"a.c"});
    RunResult r = spawn((root / "link" / "qvppc").string(), args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(passnames(), (std::vector<std::string>{"cpppc", "cgppc", "coppc", "cappc"}));
}

TEST_F(DriverProgram, InterruptLeavesNoTemporaryAndEndsWithTwo) {
    std::string prog = install();
    writefile(work / "a.c", "cgppc=sigint");
    RunResult r = spawn(prog, words({"a.c", "c.c"}));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(passnames(), (std::vector<std::string>{"cpppc", "cgppc"}));
    EXPECT_TRUE(tempsgone());
}

TEST_F(DriverProgram, DefaultConfigurationGivesFourBytePointers) {
    // The build puts qvppc.qvf beside the program.
    RunResult r = spawn(QVPPC_PATH, {"qvppc", "-x", "-t", tmp.string(), "a.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"cpppc\" -o \"T1\" -m0x3030 -d"), std::string::npos) << r.out;
    r = spawn(QVPPC_PATH, {"qvppc", "-x", "-t", tmp.string(), "+debug", "a.c"});
    EXPECT_NE(r.out.find("\"cpppc\" -o \"T1\" -m0x3030 -x -d"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"cappc\" -o \"a.o\" -x \"T1\""), std::string::npos) << r.out;
}

TEST_F(DriverProgram, AssemblesWithTheRealAssembler) {
    std::string prog = install();
    fs::copy_file(CAPPC_PATH, bin / "cappc", fs::copy_options::overwrite_existing);
    writefile(work / "t.s", "start:\n\tdc.b\t1\n");
    RunResult r = spawn(prog, words({"-es", "t.s"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string obj = readfile(work / "t.o");
    ASSERT_FALSE(obj.empty());
    EXPECT_EQ(static_cast<unsigned char>(obj[0]), 0xCC);
}

TEST_F(DriverProgram, PreprocessedAssemblerReportsTheUsersPlace) {
#ifndef CPPPC_PATH
    GTEST_SKIP() << "the parser is not built";
#else
    std::string prog = install();
    fs::copy_file(CPPPC_PATH, bin / "cpppc", fs::copy_options::overwrite_existing);
    fs::copy_file(CAPPC_PATH, bin / "cappc", fs::copy_options::overwrite_existing);
    writefile(work / "p.s", "#define N 2\n dc.b N\n bogus\n dc.b N\n");
    RunResult r = spawn(prog, words({"-ep", "p.s"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("p.s:3\tunknown instruction bogus"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("T1"), std::string::npos) << r.err;
    EXPECT_TRUE(tempsgone());
#endif
}

TEST_F(DriverProgram, CompilesCThroughTheRealPasses) {
#ifndef REAL_PASSES
    GTEST_SKIP() << "not every pass is built";
#else
    writefile(work / "m.c", "int x = 1;\nint f(void) { return x; }\n");
    RunResult r = spawn(QVPPC_PATH, {"qvppc", "-t", tmp.string(), (work / "m.c").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string obj = readfile(work / "m.o");
    ASSERT_FALSE(obj.empty());
    EXPECT_EQ(static_cast<unsigned char>(obj[0]), 0xCC);
    EXPECT_TRUE(tempsgone());
#endif
}

// ---- installing

// `cmake --install` into a fresh prefix gives a tool chain that works from
// there: the driver finds its configuration file and its passes beside it.
TEST(Install, FreshPrefixAssemblesThroughTheDriver) {
    scratch::Dir prefix("qvinstall");
    ASSERT_TRUE(prefix.made());
    fs::path root = prefix.path();
    std::string log = (root / "install.log").string();
    std::string cmd = std::string("'") + CMAKE_COMMAND_PATH + "' --install '" + BUILD_DIR + "' --prefix '" +
                      (root / "usr").string() + "' >'" + log + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << readfile(log);
    fs::path bin = root / "usr" / "bin";
    for (const char* name : {"qvppc", "qvppc.qvf", "cpppc", "cappc", "qvobjdump", "vekrun"})
        EXPECT_TRUE(fs::exists(bin / name)) << name;
    fs::create_directories(root / "work");
    writefile(root / "work" / "t.s", "start:\n\tdc.b\t1\n\tnop\n");
    cmd = "cd '" + (root / "work").string() + "' && '" + (bin / "qvppc").string() + "' -es t.s >run.log 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << readfile(root / "work" / "run.log");
    std::string obj = readfile(root / "work" / "t.o");
    ASSERT_FALSE(obj.empty());
    EXPECT_EQ(static_cast<unsigned char>(obj[0]), 0xCC);
}

}  // namespace
