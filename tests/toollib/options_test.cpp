// Option parsing: one table of command lines against one table of options,
// plus the usage and version texts of a small program run as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "toollib/options.h"
#include "toollib/quit.h"

namespace {

struct Parsed {
    int status = 0;
    std::string err;
    std::vector<std::string> rest;
    int32_t l = 0, v = 0, xp = 0, x = 0, w = -1, hidden = 0, c = 0;
    std::string o = "(unset)", e = "(unset)";
    std::vector<std::string> includes;
};

Parsed parse(std::vector<std::string> words, const char* files = "<files>") {
    tl::resettoolcontext();
    tl::initprogname("/opt/tools/PROG.EXE");
    Parsed r;
    const char* o = nullptr;
    const char* e = nullptr;
    tl::CountdownList inc(128);
    std::vector<tl::OptionSpec> options = {
        {"o*  output file name", &o}, {"+e*  error file name", &e}, {"xp  xp flag", &r.xp},
        {"x  x flag", &r.x},          {"l  listing", &r.l},         {"v  verbose", &r.v},
        {"w#  width", &r.w},          {"i*>  include path", &inc},  {"<h  hidden", &r.hidden},
        {"c?  character", &r.c},
    };
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(words.size());
    char** av = argv.data();
    testing::internal::CaptureStderr();
    r.status = tl::runmain([&] {
        tl::parseopts(argc, av, "Title", files, options);
        return 0;
    });
    r.err = testing::internal::GetCapturedStderr();
    if (r.status == 0)
        for (int i = 0; i < argc; ++i) r.rest.emplace_back(av[i]);
    if (o) r.o = o;
    if (e) r.e = e;
    r.includes = inc.items;
    return r;
}

using Words = std::vector<std::string>;

TEST(ParseOpts, EndOfOptions) {
    EXPECT_EQ(parse({"prog", "-", "a"}).rest, (Words{"-", "a"}));
    EXPECT_EQ(parse({"prog", "--", "-l"}).rest, (Words{"-l"}));
    auto r = parse({"prog", "a", "-l"});
    EXPECT_EQ(r.rest, (Words{"a", "-l"}));
    EXPECT_EQ(r.l, 0);
}

TEST(ParseOpts, ValuesAndCombinedFlags) {
    auto r = parse({"prog", "-ofile", "x.s"});
    EXPECT_EQ(r.o, "file");
    EXPECT_EQ(r.rest, (Words{"x.s"}));
    r = parse({"prog", "-o", "file", "x.s"});
    EXPECT_EQ(r.o, "file");
    EXPECT_EQ(r.rest, (Words{"x.s"}));
    r = parse({"prog", "-o"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.o, "");
    EXPECT_EQ(r.err, "");  // an option was given: no usage text
    r = parse({"prog", "-lv", "a"});
    EXPECT_EQ(r.l, 1);
    EXPECT_EQ(r.v, 1);
    r = parse({"prog", "-xpx", "a"});
    EXPECT_EQ(r.xp, 1);
    EXPECT_EQ(r.x, 1);
    r = parse({"prog", "-w0x1F", "-w", "a"});  // the second -w reads the next word as its number
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "invalid number: a\n");
    r = parse({"prog", "-w"});
    EXPECT_EQ(r.w, 0);
    EXPECT_EQ(r.err, "");
    r = parse({"prog", "-w", "017", "-cZ", "a"});
    EXPECT_EQ(r.w, 15);
    EXPECT_EQ(r.c, 'Z');
    r = parse({"prog", "-h", "+e", "err.txt", "-iinc1", "-i", "inc2", "a"});
    EXPECT_EQ(r.hidden, 1);
    EXPECT_EQ(r.e, "err.txt");
    EXPECT_EQ(r.includes, (Words{"inc1", "inc2"}));
    EXPECT_EQ(r.rest, (Words{"a"}));
}

TEST(ParseOpts, Stops) {
    struct Case {
        Words words;
        std::string err;
    };
    const std::string usage =
        "ORBELT Software Title\nusage: prog [options] <files>\n"
        "    -o*  output file name\n    +e*  error file name\n    -xp  xp flag\n    -x  x flag\n"
        "    -l  listing\n    -v  verbose\n    -w#  width\n    -i*>  include path\n    -c?  character\n";
    const Case cases[] = {
        {{"prog", "-w3x"}, "invalid number: 3x\n"},
        {{"prog", "-w", "99999999999", "a"}, "invalid number: 99999999999\n"},
        {{"prog", "-w0x100000000", "a"}, "invalid number: 0x100000000\n"},
        {{"prog", "-e", "a"}, "prog: unknown option -e\n"},
        {{"prog", "+x", "a"}, "prog: unknown option +x\n"},
        {{"prog", "-lq"}, "prog: unknown option -q\n"},
        {{"prog"}, usage},
        {{"prog", "--"}, usage},
        {{"prog", "-helpme"}, usage},
        {{"prog", "-version"}, "ORBELT Software Title - Linux\n"},
    };
    for (const auto& c : cases) {
        auto r = parse(c.words);
        EXPECT_EQ(r.status, 1) << c.words.back();
        EXPECT_EQ(r.err, c.err) << c.words.back();
    }
}

TEST(ParseOpts, ListOverflowAt129) {
    Words words{"prog"};
    for (int i = 0; i < 128; ++i) words.push_back("-idir" + std::to_string(i));
    auto r = parse(words);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.includes.size(), 128u);
    EXPECT_EQ(r.includes.front(), "dir0");
    words.push_back("-ilast");
    r = parse(words);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "argument list overflow\n");
}

TEST(ParseOpts, ConfigurationUseReturnsAtUnknownWord) {
    auto r = parse({"cfg", "-l", "-zz", "-v"}, nullptr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.l, 1);
    EXPECT_EQ(r.v, 0);
    EXPECT_EQ(r.rest, (Words{"-zz", "-v"}));
    r = parse({"cfg"}, nullptr);  // nothing at all: no usage text in this use
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(ProgramName, BaseNameLowerCasedUpToFirstDot) {
    tl::resettoolcontext();
    tl::initprogname("C:\\tools\\CAPPC.EXE");
    EXPECT_EQ(tl::toolcontext().progname, "cappc");
    tl::initprogname("/usr/local/bin/qvppc-long-name.v2");
    EXPECT_EQ(tl::toolcontext().progname, "qvppc-long-name");
}

struct RunResult {
    int status;
    std::string out;
};

RunResult rundemo(const std::string& args) {
    std::string cmd = std::string(OPTDEMO_PATH) + " " + args + " 2>&1";
    RunResult r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(DemoProgram, UsageAndVersionTexts) {
    auto r = rundemo("");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "ORBELT Software PPC Macro-Assembler V4.6.26\n"
              "usage: toollib_optdemo [options] <files>\n"
              "    -o*  output file name\n"
              "    +e*  error file name\n"
              "    -i*>  include path\n"
              "    -l  listing\n");
    r = rundemo("-vers");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ORBELT Software PPC Macro-Assembler V4.6.26 - 22 Aug 2012 - Linux\n");
    r = rundemo("-l -o out.o a.s b.s");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "listing=1 output=out.o files=2\n");
    r = rundemo("-k");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "toollib_optdemo: unknown option -k\n");
}

}  // namespace
