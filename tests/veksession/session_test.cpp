// The bound simulated target end to end: a program assembled by our
// assembler (or, as a cross-check, by the GNU assembler and converted to
// S-records) is loaded and run through a Session; the bindings between the
// symbol table, the executor, the decoder, the reports and the point check
// are checked through what they change; vekrun is run in-process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/scratch.h"
#include "toollib/quit.h"
#include "tools/vekrun/vekrun.h"
#include "vek/command/point/point.h"
#include "vek/core/session/session.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

namespace fs = std::filesystem;

namespace {

// What the debugger would have shown: command output and boxes.
struct CaptureHost : platform::WindowHost {
    std::string out, boxes;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        boxes += box.caption + ": " + box.text + "\n";
        return platform::BoxAnswer::Ok;
    }
    void cmdappend(std::string_view text) override { out += text; }
};

class SessionTest : public ::testing::Test {
protected:
    CaptureHost host;
    scratch::Dir scratchdir{"veksession"};
    fs::path dir = scratchdir.path();

    void SetUp() override {
        platform::setwindowhost(&host);
        ASSERT_TRUE(scratchdir.made());
    }
    void TearDown() override { platform::setwindowhost(nullptr); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    bool shell(const std::string& command) {
        return std::system(("cd '" + dir.string() + "' && " + command + " >cmd.log 2>&1").c_str()) == 0;
    }
    std::string log() {
        std::ifstream in(dir / "cmd.log");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool have(const char* program) {
        return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
    }

    // An object file of our assembler from source (the demo program when
    // source is empty); empty when the assembler cannot make it (the reason
    // is in why).
    std::string cappcobject(std::string& why, const std::string& source = "") {
        if (source.empty())
            fs::copy_file(DEMO_SUM_PATH, dir / "sum.s", fs::copy_options::overwrite_existing);
        else
            write("sum.s", source);
        if (!shell(std::string("'") + CAPPC_PATH + "' sum.s") || !fs::exists(dir / "sum.o")) {
            why = "cappc cannot assemble the program yet: " + log();
            return "";
        }
        return (dir / "sum.o").string();
    }

    // The same program by the GNU assembler, moved to 0x1000 and written
    // as S-records (the end record gives the entry point).
    std::string gnusrecord(std::string& why) {
        if (!have("powerpc-linux-gnu-as") || !have("powerpc-linux-gnu-objcopy")) {
            why = "powerpc-linux-gnu-as/objcopy not installed";
            return "";
        }
        write("g.s",
              " .text\n"
              " se_li r3,0\n"
              " se_li r4,10\n"
              "loop: se_add r3,r4\n"
              " se_subi. r4,1\n"
              " se_bne loop\n"
              " .short 0\n");
        if (!shell("powerpc-linux-gnu-as -mvle -mregnames g.s -o g.o && powerpc-linux-gnu-objcopy -O srec "
                   "--change-addresses 0x1000 g.o g.srec")) {
            why = "GNU assembler failed: " + log();
            return "";
        }
        return (dir / "g.srec").string();
    }

    bool available(bool gnu, std::string& why) {
        std::string path = gnu ? gnusrecord(why) : cappcobject(why);
        return !path.empty();
    }

    int vekrun(std::vector<std::string> args) {
        args.insert(args.begin(), "vekrun");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return tl::runmain([&] { return vekrun::run(int(argv.size() - 1), argv.data()); });
    }
};

// ---- the sum loop, from either assembler

struct SumCase {
    const char* name;
    bool gnu;              // GNU assembler + S-record instead of cappc's object file
    uint32_t base;         // load and entry address
    friend void PrintTo(const SumCase& c, std::ostream* os) { *os << c.name; }
};

class SumLoop : public SessionTest, public ::testing::WithParamInterface<SumCase> {};

TEST_P(SumLoop, SumsOneToTenAndStopsAtTheZeroHalfword) {
    const SumCase& c = GetParam();
    std::string why;
    if (!available(c.gnu, why)) {
        if (c.gnu) GTEST_SKIP() << why;  // the outside assembler may be missing
        FAIL() << why;
    }
    std::string path = c.gnu ? (dir / "g.srec").string() : (dir / "sum.o").string();

    auto s = vek::freshsession();
    ASSERT_TRUE(s->load({path})) << host.boxes;
    ASSERT_EQ(s->target.regs.getpc(), c.base) << host.out;
    vek::RunResult r = s->run(1000);

    EXPECT_EQ(r.reason, vek::StopReason::Illegal);
    EXPECT_EQ(r.executed, 2u + 3u * 10u);
    EXPECT_EQ(s->target.regs.getreg(vek::RegR0 + 3), 55u);
    EXPECT_EQ(s->target.regs.getreg(vek::RegR0 + 4), 0u);
    EXPECT_EQ(s->target.regs.getpc(), c.base + 10);  // the ".short 0"
    // The counters are the symbols' values.
    EXPECT_EQ(s->instructions(), 32u);
    EXPECT_EQ(vek::rensym(".nbins")->value, 32u);
    EXPECT_GE(s->cycles(), 32u);
    EXPECT_EQ(vek::rensym(".time")->value, s->cycles());
    // The executor's message went through the message table to the error box.
    EXPECT_EQ(host.boxes, "Error: illegal instruction\n");
}

INSTANTIATE_TEST_SUITE_P(Assemblers, SumLoop,
                         ::testing::Values(SumCase{"cappc_object", false, 0x0},
                                           SumCase{"gnu_srecord", true, 0x1000}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- bindings

TEST_F(SessionTest, StartupSymbolsAndCounterBindingsFollowTheSymbolTable) {
    auto s = vek::freshsession();
    for (const char* name : {".time", ".xtime", ".nbins", ".merr"}) {
        ASSERT_NE(vek::rensym(name), nullptr) << name;
        EXPECT_EQ(vek::rensym(name)->value, 0u) << name;
    }
    // Two instructions that decode anywhere: se_li r3,1; se_b to itself.
    s->target.mem.putword(0x100, 0x4813);
    s->target.mem.putword(0x102, 0xE800);
    s->target.regs.setpc(0x100);

    EXPECT_EQ(s->run(5).executed, 5u);
    EXPECT_EQ(s->instructions(), 5u);
    uint32_t cycles = s->cycles();
    EXPECT_GE(cycles, 5u);

    // Deleting ".nbins" stops that count; redefining ".time" restarts it.
    vek::delsym(".nbins");
    vek::defsym(".time", 100);
    EXPECT_EQ(s->run(1).executed, 1u);
    EXPECT_EQ(s->instructions(), 0u);
    EXPECT_EQ(s->counters().nbins, nullptr);
    EXPECT_GE(vek::rensym(".time")->value, 101u);
    vek::defsym(".nbins", 7);
    s->run(2);
    EXPECT_EQ(s->instructions(), 9u);

    // A table started afresh under a live session is followed, not the old one.
    vek::resetsymbols();
    vek::defsym(".nbins", 0);
    EXPECT_EQ(s->run(3).executed, 3u);
    EXPECT_EQ(s->instructions(), 3u);
}

TEST_F(SessionTest, VleBoundaryFollowsDotVleForExecutorAndDecoder) {
    auto s = vek::freshsession();
    // The word 0x7C632214 is classic "add r3,r3,r4"; as VLE its first half
    // is an undecodable 32-bit prefix or another instruction altogether.
    s->target.mem.putlong(0x200, 0x7C632214);
    vek::defsym(".vle", 0x1000);
    EXPECT_EQ(s->target.exec.vleboundary(), 0x1000u);
    EXPECT_NE(s->disassemble(0x200).find("add"), std::string::npos) << s->disassemble(0x200);
    s->target.regs.setreg(vek::RegR0 + 3, 2);
    s->target.regs.setreg(vek::RegR0 + 4, 3);
    s->target.regs.setpc(0x200);
    EXPECT_EQ(s->run(1).executed, 1u);
    EXPECT_EQ(s->target.regs.getreg(vek::RegR0 + 3), 5u);
    EXPECT_EQ(s->target.regs.getpc(), 0x204u);

    vek::delsym(".vle");
    EXPECT_EQ(s->target.exec.vleboundary(), 0u);
    EXPECT_EQ(vek::symtab().vle, 0u);
}

TEST_F(SessionTest, TargetSymbolsOfTheProgramAreBoundAfterALoad) {
    std::string why;
    std::string obj = cappcobject(why,
                                  " xdef __vle__\n__vle__: equ $1000\n"
                                  " xdef __stext0\n__stext0: equ $2000\n"
                                  " switch .text\n li r3,1\n dc.w 0\n");
    ASSERT_FALSE(obj.empty()) << why;
    auto s = vek::freshsession();
    ASSERT_TRUE(s->load({obj})) << host.boxes;
    // Executor and decoder agree: below 0x1000 the code is classic, so the
    // VLE "li r3,1" (0x4813) reads as the first half of a classic branch.
    EXPECT_EQ(s->target.exec.vleboundary(), 0x1000u);
    EXPECT_EQ(vek::symtab().vle, 0x1000u);
    EXPECT_EQ(s->disassemble(0).rfind("00000000  b ", 0), 0u) << s->disassemble(0);
    EXPECT_EQ(s->target.splitmask, 0xFFFFFF75u);
    // A new load without those symbols takes the bindings back.
    obj = cappcobject(why, " switch .text\n li r3,1\n dc.w 0\n");
    ASSERT_FALSE(obj.empty()) << why;
    ASSERT_TRUE(s->load({obj})) << host.boxes;
    EXPECT_EQ(s->target.exec.vleboundary(), 0u);
    EXPECT_EQ(s->disassemble(0), "00000000  li        r3,1");
    EXPECT_EQ(s->target.splitmask, 0u);
}

TEST_F(SessionTest, FilesLoadInOrderAndTheLastOneChoosesTheEntry) {
    auto s = vek::freshsession();
    write("data.srec", "S1053000ABCD52\nS9033000CC\n");
    write("code.srec", "S1072000481300007D\nS9032000DC\n");   // se_li r3,1; zero half-word
    ASSERT_TRUE(s->load({(dir / "data.srec").string(), (dir / "code.srec").string()})) << host.boxes;
    EXPECT_EQ(s->target.mem.getword(0x3000), 0xABCDu);
    EXPECT_EQ(vek::rensym(".text")->value, 0x2000u);
    EXPECT_EQ(s->target.regs.getpc(), 0x2000u);
    EXPECT_EQ(s->run(10).executed, 1u);
    EXPECT_EQ(s->target.regs.getreg(vek::RegR0 + 3), 1u);
    // A file that fails ends the load there.
    EXPECT_FALSE(s->load({(dir / "code.srec").string(), (dir / "none.srec").string()}));
}

TEST_F(SessionTest, MemoryChecksReachThePointCheck) {
    auto s = vek::freshsession();
    vek::defsym(".btime", 0);
    // A time hit recorded by an execution check ...
    EXPECT_EQ(vek::chkpoints(0x40, vek::PointExec), vek::TimePoint);
    // ... is what every checked memory write answers from then on.
    s->target.mem.checkflag = true;
    EXPECT_EQ(s->target.mem.putbyte(0x300, 7), vek::TimePoint);
    s->target.mem.checkflag = false;
    EXPECT_EQ(s->target.mem.putbyte(0x300, 7), 7u);
}

// ---- vekrun

TEST_F(SessionTest, VekrunTracesCountsAndDumpsRegisters) {
    std::string why;
    ASSERT_TRUE(available(false, why)) << why;
    std::string obj = (dir / "sum.o").string();

    EXPECT_EQ(vekrun({"-t", "-n", "5", obj}), 0);
    // Five trace lines, in the decoder's text, then the report.
    const char* expected[] = {"00000000  li", "00000002  li", "00000004  add", "00000006  subi.",
                              "00000008  bne"};
    size_t at = 0;
    for (const char* line : expected) {
        size_t next = host.out.find(std::string("\n") + line, at);
        ASSERT_NE(next, std::string::npos) << line << "\n" << host.out;
        at = next + 1;
    }
    EXPECT_EQ(host.out.find("\n00000004  add", at), std::string::npos) << host.out;
    EXPECT_NE(host.out.find("stop: count reached at 0x00000004\ninstructions: 5  cycles: "), std::string::npos)
        << host.out;
    EXPECT_NE(host.out.find("r3:0000000a r11:00000000"), std::string::npos) << host.out;

    host.out.clear();
    EXPECT_EQ(vekrun({obj}), 0);
    EXPECT_NE(host.out.find("stop: illegal instruction at 0x0000000a\ninstructions: 32  cycles: "),
              std::string::npos)
        << host.out;
    EXPECT_NE(host.out.find("r3:00000037 r11:00000000"), std::string::npos) << host.out;
    EXPECT_NE(host.out.find(" pc:0000000a"), std::string::npos) << host.out;
}

TEST_F(SessionTest, VekrunFailsOnAFileItCannotLoad) {
    EXPECT_EQ(vekrun({(dir / "missing.o").string()}), 1);
    EXPECT_NE(host.boxes.find("can't open: "), std::string::npos) << host.boxes;
    EXPECT_EQ(host.out.find("stop:"), std::string::npos) << host.out;
}

// The trace is the decoder's text of each instruction before it runs, as
// it stands then: the program rewrites one of its instructions every pass,
// a symbol appears at a branch target halfway, and the report of the
// undecodable instruction at the end comes after the last line.
TEST_F(SessionTest, TraceIsTheDecoderTextOfEachInstructionAsItRuns) {
    std::string why;
    std::string obj = cappcobject(why,
                                  "        switch  .text\n"
                                  "_start: e_bl    next\n"
                                  "next:   mflr    r4\n"
                                  "        e_add16i r4,r4,patch-next\n"
                                  "        e_li    r5,5\n"
                                  "        e_lis   r6,0x1c63\n"
                                  "loop:   or      r7,r6,r5\n"
                                  "        e_stw   r7,0(r4)\n"
                                  "patch:  e_add16i r3,r3,1\n"
                                  "        se_subi. r5,1\n"
                                  "        se_bne  loop\n"
                                  "        dc.w    0\n");
    ASSERT_FALSE(obj.empty()) << why;
    const uint64_t before = 12;  // instructions run before the symbol appears
    auto define = [] { vek::defsym("spot", 0x12); };  // the loop's head
    auto fresh = [&] {
        auto s = vek::freshsession();
        vek::outstate().cmdfile = true;  // errors as lines among the output
        EXPECT_TRUE(s->load({obj}));
        host.out.clear();
        return s;
    };
    std::string expected;
    {
        auto s = fresh();
        for (uint64_t n = 0;; n++) {
            if (n == before) define();
            char text[512];
            vek::Decoded d;
            uint32_t pc = s->target.regs.getpc();
            vek::decodeinsn(s->decode, pc, vek::DecodeText, text, d);
            char head[16];
            std::snprintf(head, sizeof head, "%08x  ", pc);
            vek::puttext({head, text, "\n"});
            if (s->run(1).executed == 0) break;
        }
        expected = host.out;
    }
    auto s = fresh();
    EXPECT_EQ(s->run(before, true).executed, before);
    define();
    EXPECT_EQ(s->run(1000, true).reason, vek::StopReason::Illegal);
    EXPECT_EQ(host.out, expected);
    EXPECT_NE(expected.find("spot"), std::string::npos) << expected;
    EXPECT_NE(expected.find("r3,r3,5"), std::string::npos) << "the rewritten instruction shows\n" << expected;
    EXPECT_TRUE(expected.ends_with("#error: illegal instruction\n")) << expected;
}

// vekrun's status: 1 when there is nothing it could run (a file that does
// not load, an empty file, no entry point, a first instruction that is
// already illegal) or a count that does not fit; 0 after a run.
TEST_F(SessionTest, VekrunFailsWhenNothingRuns) {
    std::string why;
    std::string dataonly = cappcobject(why, " switch .data\n dc.l 1\n");
    ASSERT_FALSE(dataonly.empty()) << why;
    fs::rename(dataonly, dir / "data.o");
    ASSERT_TRUE(available(false, why)) << why;
    std::string demo = (dir / "sum.o").string();
    write("empty.bin", "");
    write("zeros.bin", std::string(16, '\0'));
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        const char* shown;  // in the boxes, the output or the error stream
    } cases[] = {
        {"demo", {demo}, 0, "stop: illegal instruction at 0x0000000a"},
        {"empty file", {(dir / "empty.bin").string()}, 1, "empty file: "},
        {"missing file", {(dir / "none.o").string()}, 1, "can't open"},
        {"no entry point", {(dir / "data.o").string()}, 1, "Cannot Find entry Point"},
        {"first instruction illegal", {(dir / "zeros.bin").string()}, 1, "stop: illegal instruction at 0x00000000"},
        {"count beyond 32 bits", {"-n", "99999999999", demo}, 1, "invalid number: 99999999999\n"},
        {"negative count", {"-n", "-5", demo}, 1, "negative instruction count"},
    };
    for (const Case& c : cases) {
        host.out.clear();
        host.boxes.clear();
        ::testing::internal::CaptureStderr();
        int status = vekrun(c.args);
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << c.what;
        std::string all = host.boxes + host.out + err;
        EXPECT_NE(all.find(c.shown), std::string::npos) << c.what << ":\n" << all;
    }
}

}  // namespace
