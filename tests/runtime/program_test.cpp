// Whole programs: sources that look like the code generator's output are
// built by qvbuild into one absolute object and run on the simulator with
// vekrun or a Session. Covers the unit's rewriting and layout, the build's
// refusals, the start-up code, c_jrtab in a counted loop, the interrupt
// frame helpers, and vekrun's stop symbol, printed words and statuses.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "rig.h"
#include "tools/qvbuild/qvbuild.h"

namespace {

using rt::Machine;
using rt::Regs;

// ---- the rewriting of one source

struct RewriteCase {
    const char* line;
    const char* expected;
};

TEST(Rewrite, FileLocalLabelsGetTheFileSuffixEverywhereButDataAndFileNames) {
    const RewriteCase cases[] = {
        {"L21:", "L21$3:"},
        {"L5_f:\tsubi\tr1,8", "L5_f$3:\tsubi\tr1,8"},
        {"\tbl\tL5_f", "\tbl\tL5_f$3"},
        {"\tbeq\tL2", "\tbeq\tL2$3"},
        {"\tlis\tr2,.L21", "\tlis\tr2,.L21$3"},
        {"\tdc.l\tL3_x+4,L5", "\tdc.l\tL3_x$3+4,L5$3"},
        {"\tlwz\tr3,L5_d(r13)", "\tlwz\tr3,L5_d$3(r13)"},
        {"LC012:", "LC012$3:"},
        {"\tdc.b\t\"L21;\",0", "\tdc.b\t\"L21;\",0"},
        {"\t.dcall\t\"8,0,L5_f\"", "\t.dcall\t\"8,0,L5_f$3\""},
        {"\t.dstart\t\"L1.c~L5_f:1-3\"", "\t.dstart\t\"L1.c~L5_f$3:1-3\""},
        {"\t.dfile\t\"L1.c\"", "\t.dfile\t\"L1.c\""},
        {"\t.dopt\t\"L1.c:0\",L7", "\t.dopt\t\"L1.c:0\",L7$3"},
        {"\tli\tr3,1\t; L21 in a comment", "\tli\tr3,1\t; L21 in a comment"},
        {"\tbl\t_main", "\tbl\t_main"},
        {"\tbl\tc_fadd", "\tbl\tc_fadd"},
        {"LOOP:\tb\tL8", "LOOP:\tb\tL8"},
        {"_L21:\tdc.l\tXL21", "_L21:\tdc.l\tXL21"},
        {"\tswitch\t.sdata", "\tswitch\t.sdata"},
    };
    for (const auto& c : cases) {
        qvbuild::Rewritten r = qvbuild::rewrite(c.line, 3);
        EXPECT_EQ(r.text, std::string(c.expected) + "\n") << c.line;
        EXPECT_TRUE(r.problems.empty()) << c.line;
    }
}

TEST(Rewrite, SectionDeclarationsBecomeSwitchLinesAndNewSectionsAreRefused) {
    qvbuild::Rewritten r = qvbuild::rewrite(".sdata:\tsection\t.data,-long\r\nL3_x:\tdc.l\t5\r\n"
                                            ".vtext:\tsection\t.text,new ; split\n",
                                            1);
    EXPECT_EQ(r.text, "\tswitch\t.sdata\nL3_x$1:\tdc.l\t5\n\tswitch\t.vtext\n");
    ASSERT_EQ(r.sections.size(), 2u);
    EXPECT_EQ(r.sections[0].name, ".sdata");
    EXPECT_EQ(r.sections[0].attributes, ".data,-long");
    EXPECT_EQ(r.sections[1].attributes, ".text,new");
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("line 3: section .vtext is declared new"), std::string::npos) << r.problems[0];
}

TEST(Layout, SectionsGoToTheirRegionsInOrder) {
    using qvbuild::Region;
    struct {
        const char* attributes;
        Region region;
    } kinds[] = {
        {".data,-long", Region::SmallData}, {".bss,-long", Region::SmallBss}, {".text,-long", Region::SmallConst},
        {".text", Region::Code},            {".data", Region::Data},          {".bss", Region::Bss},
        {"", Region::Code},                 {"bss", Region::SmallBss},        {"long,bss", Region::Bss},
    };
    for (const auto& k : kinds) EXPECT_EQ(qvbuild::regionof(k.attributes), k.region) << k.attributes;

    std::vector<qvbuild::Placed> s = {
        {".text", "", Region::Code, 0x101},         {".data", "", Region::Data, 8},
        {".bss", "", Region::Bss, 4},               {"mine", ".text", Region::Code, 2},
        {".vtext", ".text", Region::Code, 0x20},    {".sbss", ".bss,-long", Region::SmallBss, 6},
        {".sdata", ".data,-long", Region::SmallData, 0x10}, {".sconst", ".text,-long", Region::SmallConst, 4},
    };
    qvbuild::placesections(s);
    const char* order[] = {".sdata", ".sbss", ".sconst", ".text", ".vtext", "mine", ".data", ".bss"};
    const uint32_t origins[] = {0x100, 0x110, 0x118, 0x120, 0x228, 0x248, 0x250, 0x258};
    for (size_t k = 0; k < s.size(); ++k) {
        EXPECT_EQ(s[k].name, order[k]);
        EXPECT_EQ(s[k].origin, origins[k]) << s[k].name;
    }
    std::string header = qvbuild::layoutheader(s);
    for (const char* line : {"__sbss:\tequ\t$00000110\n", "__esbss:\tequ\t$00000118\n", "__bss:\tequ\t$00000258\n",
                             "__ebss:\tequ\t$0000025C\n", "__stack:\tequ\t$01000000\n",
                             ".sdata:\tsection\t.data,-long\n\torg\t$00000100\n", "\tswitch\t.text\n\torg\t$00000120\n"})
        EXPECT_NE(header.find(line), std::string::npos) << line << header;
}

TEST(Layout, DamagedObjectFilesAreReadWithoutFault) {
    std::vector<uint8_t> image(28, 0);
    image[0] = 0xCC;
    image[3] = 2;  // two sections that are not there
    EXPECT_FALSE(qvbuild::readobject(image).ok);
    image[3] = 0;
    image[7] = 5;  // five symbols at offset 0: the header read as records
    EXPECT_FALSE(qvbuild::readobject(image).ok);
    image.resize(3);
    EXPECT_FALSE(qvbuild::readobject(image).ok);
    EXPECT_FALSE(qvbuild::readobject({}).ok);
}

// ---- builds

class Program : public rt::RuntimeTest {
protected:
    // Builds sources (name, text) into prog.o; the status.
    int build(const std::vector<std::pair<std::string, std::string>>& sources) {
        std::vector<std::string> args{"-o", path("prog.o")};
        for (const auto& [name, text] : sources) {
            write(name, text);
            args.push_back(path(name));
        }
        return qvbuild(args);
    }
    bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

// Two files as the generator writes them: each numbers its labels from the
// same start and has a static L3_x in small data, reached through r13.
const char* const kFirst =
    "; file 1\n"
    "\txdef\t_main\n"
    "\txref\t_f\n"
    ".sdata:\tsection\t.data,-long\n"
    "L3_x:\tdc.l\t5\n"
    ".vtext:\tsection\t.text\n"
    "\talign\t4\n"
    "_main:\n"
    "\tsubi\tr1,8\n"
    "\tmflr\tr0\n"
    "\tstw\tr0,0(r1)\n"
    "\tlwz\tr3,L3_x(r13)\n"
    "\tbl\t_f\n"
    "\tb\tL2\n"
    "L2:\tlwz\tr0,0(r1)\n"
    "\tmtlr\tr0\n"
    "\taddi\tr1,8\n"
    "\tblr\n"
    "\t.dcall\t\"8,0,_main\"\n"
    "\tend\n";
const char* const kSecond =
    "; file 2\n"
    "\txdef\t_f,_result\n"
    ".sdata:\tsection\t.data,-long\n"
    "L3_x:\tdc.l\t37\n"
    ".sbss:\tsection\t.bss,-long\n"
    "_result:\tds.l\t1\n"
    ".vtext:\tsection\t.text\n"
    "_f:\n"
    "\tlwz\tr4,L3_x(r13)\n"
    "\tadd\tr3,r3,r4\n"
    "\tstw\tr3,_result(r13)\n"
    "\tcmpwi\tr3,42\n"
    "\tbeq\tL2\n"
    "\tli\tr3,1\n"
    "\tblr\n"
    "L2:\tli\tr3,0\n"
    "\tblr\n"
    "\tend\n";

TEST_F(Program, TwoFilesWithEqualStaticsRunAndVekrunPrintsTheResult) {
    ASSERT_EQ(build({{"one.s", kFirst}, {"two.s", kSecond}}), 0) << errors;
    EXPECT_EQ(vekrun({"-p", "result", path("prog.o")}), 0) << errors << host.boxes;
    EXPECT_TRUE(has(host.out, "\nstop: __stop at 0x")) << host.out;
    EXPECT_TRUE(has(host.out, "\nmain returned: 0\nresult = 42\n")) << host.out;
    EXPECT_EQ(host.boxes, "");  // the stop is no illegal instruction

    // The data lie in their windows: small data below 0x8000, reached as
    // an offset from r13 = 0.
    Machine m(path("prog.o"));
    ASSERT_TRUE(m.loaded());
    EXPECT_LT(m.symbol("_result"), 0x8000u);
    EXPECT_NE(m.symbol("_result"), 0u);
    EXPECT_EQ(m.symbol("__stext"), m.session().target.regs.getpc());
}

TEST_F(Program, SectionsLieInTheirWindowsAndTheStartUpClearsZeroedData) {
    ASSERT_EQ(build({{"p.s",
                      "\txdef\t_main,_sd,_sz,_sc,_c,_d,_z\n"
                      ".sdata:\tsection\t.data,-long\n_sd:\tdc.l\t1\n"
                      ".sbss:\tsection\t.bss,-long\n_sz:\tds.l\t3\n"
                      ".sconst:\tsection\t.text,-long\n_sc:\tdc.l\t3\n"
                      ".const:\tsection\t.text\n_c:\tdc.l\t4\n"
                      "\tswitch\t.data\n_d:\tdc.l\t5\n"
                      "\tswitch\t.bss\n_z:\tds.l\t300\n"
                      ".vtext:\tsection\t.text\n"
                      "_main:\tlwz\tr3,_sz+8(r13)\n"
                      "\tlis\tr4,_z@h\n\tori\tr4,r4,_z@l\n\tlwz\tr4,1196(r4)\n"
                      "\tor\tr3,r3,r4\n\tblr\n"}}),
              0)
        << errors;
    Machine m(path("prog.o"));
    ASSERT_TRUE(m.loaded());
    uint32_t sd = m.symbol("_sd"), sz = m.symbol("_sz"), sc = m.symbol("_sc"), c = m.symbol("_c"),
             d = m.symbol("_d"), z = m.symbol("_z"), code = m.symbol("_main");
    EXPECT_GE(sd, qvbuild::kFirstAddress);
    EXPECT_LT(sz + 12, 0x8000u);
    EXPECT_GT(sz, sd);
    EXPECT_LT(sc, 0x80000u);
    EXPECT_GT(sc, sz);
    EXPECT_GT(code, sc);
    EXPECT_GT(c, code);
    EXPECT_GT(d, c);
    EXPECT_GT(z, d);
    EXPECT_LT(z + 1200, qvbuild::kStackTop - qvbuild::kStackSize);
    EXPECT_EQ(m.session().target.mem.getlong(sc), 3u);
    // Whatever the zeroed data held, main reads zeros in both ranges.
    m.session().target.mem.putlong(sz + 8, 0xFFFFFFFFu);
    m.session().target.mem.putlong(z + 1196, 0xFFFFFFFFu);
    m.session().run(100000);
    EXPECT_EQ(m.session().target.regs.getpc(), m.symbol("__stop"));
    EXPECT_EQ(m.session().target.regs.getreg(vek::RegR0 + 3), 0u);
    EXPECT_EQ(m.session().target.regs.getreg(vek::RegR0 + 1), qvbuild::kStackTop);
}

struct Refusal {
    const char* name;
    const char* source;
    const char* message;  // part of the error stream
    friend void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }
};

class Refused : public Program, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refused, BuildFailsWithAMessageAndNoObject) {
    const Refusal& r = GetParam();
    EXPECT_EQ(build({{"a.s", r.source}, {"b.s", "\txdef\t_g\n.vtext:\tsection\t.text\n_g:\tblr\n"}}), 1);
    EXPECT_TRUE(has(errors, r.message)) << errors;
    EXPECT_FALSE(std::filesystem::exists(path("prog.o")));
}

INSTANTIATE_TEST_SUITE_P(
    Builds, Refused,
    ::testing::Values(
        Refusal{"too_much_small_data",
                ".sdata:\tsection\t.data,-long\nL3_big:\tds.b\t40000\n.vtext:\tsection\t.text\n\txdef\t_main\n"
                "_main:\tblr\n",
                "section .sdata (0x00000100 to 0x00009d3f) is past its window, which ends at 0x00008000"},
        Refusal{"too_many_small_constants",
                ".sconst:\tsection\t.text,-long\nL3_big:\tds.b\t$80000\n.vtext:\tsection\t.text\n\txdef\t_main\n"
                "_main:\tblr\n",
                "section .sconst"},
        Refusal{"global_defined_twice", "\txdef\t_main,_g\n_main:\tblr\n_g:\tblr\n", "multiply defined"},
        Refusal{"sections_declared_new", ".vtext:\tsection\t.text,new\n\txdef\t_main\n_main:\tblr\n",
                "a.s: line 1: section .vtext is declared new"},
        Refusal{"undefined_symbol", "\txdef\t_main\n\txref\t_nothing\n_main:\tb\t_nothing\n",
                "undefined symbol _nothing"},
        Refusal{"conflicting_attributes", ".vtext:\tsection\t.data\n\txdef\t_main\n_main:\tblr\n",
                "section .vtext declared as \".text\", elsewhere as \".data\""},
        Refusal{"no_main", "\tnop\n", "symbol _main not defined"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Program, FilesItCannotUseStopTheBuild) {
    EXPECT_EQ(qvbuild({path("missing.s")}), 1);
    EXPECT_TRUE(has(errors, "can't open " + path("missing.s"))) << errors;
    write("x.txt", "");
    EXPECT_EQ(qvbuild({path("x.txt")}), 1);
    EXPECT_TRUE(has(errors, "unknown file type")) << errors;
    write("main.s", "\txdef\t_main\n_main:\tblr\n");
    EXPECT_EQ(qvbuild({"-o", path("main.s"), path("main.s")}), 1);
    EXPECT_TRUE(has(errors, "is a source")) << errors;
    EXPECT_EQ(qvbuild({"-r", path("none"), path("main.s")}), 1);
    EXPECT_TRUE(has(errors, "no run-time library in " + path("none"))) << errors;
    // The assembly text of a C file goes beside it: a file there is kept.
    write("k.c", "int main(void) { return 0; }\n");
    write("k.s", "precious\n");
    EXPECT_EQ(qvbuild({path("k.c")}), 1);
    EXPECT_TRUE(has(errors, "k.s is in the way")) << errors;
    std::ifstream kept(path("k.s"));
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "precious");
}

TEST_F(Program, CFilesAreCompiledWithTheDriver) {
    write("main.c", "int result;\nint main(void) { result = 6 * 7 - 42; return result; }\n");
    // The driver alone leaves the assembly text beside the source.
    std::string text = std::string(BIN_DIR) + "/qvppc -s " + path("main.c") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(text.c_str()), 0);
    std::ifstream made(path("main.s"));
    std::string asmtext((std::istreambuf_iterator<char>(made)), std::istreambuf_iterator<char>());
    EXPECT_NE(asmtext.find("_main:"), std::string::npos) << asmtext;
    std::filesystem::remove(path("main.s"));
    ASSERT_EQ(qvbuild({"-o", path("prog.o"), path("main.c")}), 0) << errors;
    EXPECT_FALSE(std::filesystem::exists(path("main.s")));
    EXPECT_EQ(vekrun({"-p", "result", path("prog.o")}), 0) << errors;
    EXPECT_TRUE(has(host.out, "main returned: 0\nresult = 0\n")) << host.out;
    write("bad.c", "int main(void) { return 0 }\n");
    EXPECT_EQ(qvbuild({"-o", path("bad.o"), path("bad.c")}), 1);
}

// ---- vekrun's stop symbol and words

const char* const kWords =
    "\txdef\t_main,_words,_f\n"
    "\tswitch\t.data\n"
    "_words:\tdc.l\t1,-2,3\n"
    ".vtext:\tsection\t.text\n"
    "_main:\tmflr\tr0\n"
    "\tli\tr3,5\n"
    "\tbl\t_f\n"
    "\tmtlr\tr0\n"
    "\tli\tr3,-3\n"
    "\tblr\n"
    "_f:\tli\tr3,9\n"
    "\tblr\n";

TEST_F(Program, VekrunStopsBeforeTheStopSymbolAndPrintsWords) {
    ASSERT_EQ(build({{"w.s", kWords}}), 0) << errors;
    EXPECT_EQ(vekrun({"-p", "words:3", "-p", "_words", path("prog.o")}), 0) << errors;
    EXPECT_TRUE(has(host.out, "\nmain returned: -3\nwords = 1 -2 3\n_words = 1\n")) << host.out;

    // Another stop symbol: the run ends before its first instruction, which
    // is back in place afterwards.
    host.out.clear();
    EXPECT_EQ(vekrun({"-s", "_f", path("prog.o")}), 0) << errors;
    Machine m(path("prog.o"));
    char line[64];
    std::snprintf(line, sizeof line, "\nstop: _f at 0x%08x\n", m.symbol("_f"));
    EXPECT_TRUE(has(host.out, line)) << host.out;
    EXPECT_TRUE(has(host.out, "\nr3:00000005 ")) << host.out;
    EXPECT_FALSE(has(host.out, "main returned")) << host.out;
}

TEST_F(Program, VekrunStatuses) {
    ASSERT_EQ(build({{"w.s", kWords}}), 0) << errors;
    std::string prog = path("prog.o");
    // Unknown names are refused before running.
    for (std::vector<std::string> args : {std::vector<std::string>{"-p", "nothing", prog},
                                          {"-s", "nothing", prog},
                                          {"-p", "words:0", prog},
                                          {"-p", "words:x", prog}}) {
        host.out.clear();
        EXPECT_EQ(vekrun(args), 1) << args[1];
        EXPECT_FALSE(has(host.out, "stop:")) << host.out;
        EXPECT_TRUE(has(errors, "vekrun: ")) << errors;
    }
    // A program with a stop symbol that ends elsewhere did not finish.
    host.out.clear();
    EXPECT_EQ(vekrun({"-n", "3", prog}), 3);
    EXPECT_TRUE(has(host.out, "\nstop: count reached at ")) << host.out;
    EXPECT_FALSE(has(host.out, "main returned")) << host.out;

    ASSERT_EQ(build({{"loop.s", "\txdef\t_main\n_main:\tb\t_main\n"}}), 0) << errors;
    EXPECT_EQ(vekrun({"-n", "1000", prog}), 3);
    EXPECT_TRUE(has(host.out, "\nstop: count reached at ")) << host.out;
}

// ---- switch tables

TEST_F(Program, JumpTablesWorkHalfwordAlignedInsideACountedLoop) {
    ASSERT_EQ(build({{"sw.s",
                      "; a switch inside a loop counted in CTR, as the generator lays it out\n"
                      "\txdef\t_main,_tab,_out\n"
                      "\tswitch\t.bss\n"
                      "_out:\tds.l\t6\n"
                      ".vtext:\tsection\t.text\n"
                      "_main:\tsubi\tr1,8\n\tmflr\tr0\n\tstw\tr0,0(r1)\n\tstw\tr14,4(r1)\n"
                      "\tli\tr14,0\n\tli\tr0,6\n\tmtctr\tr0\n"
                      "L3:\tmr\tr3,r14\n"
                      "\tsubi\tr3,1\n"
                      "\tcmpli\tr3,4\n"
                      "\tbge\tL5\n"
                      "\tbl\tc_jrtab\n"
                      "_tab:\tdc.l\tL7\n\tdc.l\tL11\n\tdc.l\tL13\n\tdc.l\tL15\n"
                      "L5:\tli\tr3,99\n\tb\tL17\n"
                      "L7:\tli\tr3,10\n\tb\tL17\n"
                      "L11:\tli\tr3,20\n\tb\tL17\n"
                      "L13:\tli\tr3,30\n\tb\tL17\n"
                      "L15:\tli\tr3,40\n"
                      "L17:\tslwi\tr4,r14,2\n\tlis\tr5,_out@h\n\tori\tr5,r5,_out@l\n\tstwx\tr3,r5,r4\n"
                      "\taddi\tr14,r14,1\n"
                      "\tbdnz\tL3\n"
                      "\tmfctr\tr3\n\tlwz\tr14,4(r1)\n\tlwz\tr0,0(r1)\n\tmtlr\tr0\n\taddi\tr1,8\n\tblr\n"}}),
              0)
        << errors;
    Machine m(path("prog.o"));
    ASSERT_TRUE(m.loaded());
    EXPECT_EQ(m.symbol("_tab") % 4, 2u) << "the table should be only halfword aligned";
    EXPECT_EQ(vekrun({"-p", "out:6", path("prog.o")}), 0) << errors;
    EXPECT_TRUE(has(host.out, "\nmain returned: 0\nout = 99 10 20 30 40 99\n")) << host.out;

    // The helper alone: r3 is the index, LR the table after the call; only
    // r0, r3 and LR (the jump) change, CTR keeps the loop's count.
    Regs in = Machine::sentinels(0x12345678u, 0xA0000000u);
    in.r[3] = 2;
    in.lr = m.symbol("_tab");
    in.pc = m.symbol("c_jrtab");
    m.setregs(in);
    uint32_t target = m.session().target.mem.getlong(in.lr + 8);
    for (int k = 0; k < 20 && m.session().target.regs.getpc() != target; ++k) m.session().run(1);
    Regs out = m.getregs();
    EXPECT_EQ(out.pc, target);
    Regs expect = in;
    expect.lr = target;
    EXPECT_EQ(rt::changedregs(expect, out, 1u << 0 | 1u << 3, false, false), "");
}

// ---- interrupt frames

// An interrupt function as the generator writes it for -im0: the frame,
// c_savim (c_savi when nested), a body that changes every volatile
// register, CR, CTR, XER, LR and the save and restore registers, and the
// branch to c_restim (c_resti).
const char* const kInterrupts =
    "\txdef\t_main,_isr,_nested\n"
    ".vtext:\tsection\t.text\n"
    "_main:\tli\tr3,0\n\tblr\n"
    "_isr:\tsubi\tr1,68\n\tstw\tr0,24(r1)\n\tmflr\tr0\n\tbl\tc_savim\n"
    "\tsubi\tr1,16\n\tstw\tr31,12(r1)\n\tli\tr31,-1\n\tbl\tL3\n\tlwz\tr31,12(r1)\n\taddi\tr1,16\n"
    "\tb\tc_restim\n"
    "_nested:\tsubi\tr1,68\n\tstw\tr0,24(r1)\n\tmflr\tr0\n\tbl\tc_savi\n"
    "\tbl\tL3\n"
    "\tb\tc_resti\n"
    "L3:\tli\tr0,-1\n\tli\tr3,-1\n\tli\tr4,-1\n\tli\tr5,-1\n\tli\tr6,-1\n\tli\tr7,-1\n"
    "\tli\tr8,-1\n\tli\tr9,-1\n\tli\tr10,-1\n\tli\tr11,-1\n\tli\tr12,-1\n"
    "\tmtcr\tr0\n\tmtctr\tr0\n\tmtxer\tr0\n\tmtspr\t26,r0\n\tmtspr\t27,r0\n\tblr\n";

TEST_F(Program, InterruptFramesComeBackWholeAtTheRfi) {
    ASSERT_EQ(build({{"isr.s", kInterrupts}}), 0) << errors;
    for (const char* entry : {"_isr", "_nested"}) {
        SCOPED_TRACE(entry);
        Machine m(path("prog.o"));
        ASSERT_TRUE(m.loaded());
        vek::Executor& x = m.session().target.exec;
        Regs in = Machine::sentinels(0x13579BDFu, 0xE0000045u);
        in.lr = 0x00C0FFEEu;
        in.pc = m.symbol(entry);
        m.setregs(in);
        x.spr[26] = 0x00012344u;  // where the interrupt came from
        x.spr[27] = 0x00029032u;
        // Up to the rfi (the simulator does not model interrupts: rfi is
        // where the interrupted code resumes).
        bool atrfi = false;
        for (int k = 0; k < 400 && !atrfi; ++k) {
            std::string_view name = vek::Executor::mnemonic(x.decode(m.session().target.regs.getpc()));
            atrfi = name == "se_rfi" || name == "rfi";
            if (!atrfi && m.session().run(1).executed != 1) break;
        }
        ASSERT_TRUE(atrfi);
        Regs out = m.getregs();
        EXPECT_EQ(rt::changedregs(in, out, 0, false, false), "");
        EXPECT_EQ(x.spr[26], 0x00012344u);
        EXPECT_EQ(x.spr[27], 0x00029032u);
        // The save area as the VLE store-multiple instructions lay it out.
        const uint32_t area[] = {in.cr, in.lr, in.ctr, in.xer, 0x00012344u, 0x00029032u, in.r[0], in.r[3],
                                 in.r[4], in.r[5], in.r[6], in.r[7], in.r[8], in.r[9], in.r[10], in.r[11], in.r[12]};
        for (uint32_t k = 0; k < std::size(area); ++k)
            EXPECT_EQ(m.session().target.mem.getlong(out.r[1] - 68 + 4 * k), area[k]) << "offset " << 4 * k;
    }
}

}  // namespace
