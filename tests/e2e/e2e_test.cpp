// The end-to-end corpus: every program of progs/ is compiled by our chain
// (qvbuild: cpppc, cgppc, coppc, cappc) and run on the simulator, where it
// checks itself: `result` ends 0, else it names the line of the first
// check that failed. Each program runs without and with the optimizer;
// the compiler's option variants run on a share of the programs each, so
// that every variant meets several programs and CI stays short. Programs
// named target_* use what only this target has ("dir" data, inline
// assembly, 4-byte long); the others are plain C whose checks also hold
// under the host compiler and under the PowerPC cross compiler run by the
// user-mode emulator.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <set>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rig.h"
#include "tests/isa/oracle.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> programs() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(E2E_DIR) / "progs")) {
        std::string name = e.path().filename().string();
        if (e.path().extension() == ".c" && name != "harness.c") names.push_back(e.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool shared(const std::string& name) { return name.rfind("target_", 0) != 0; }

struct Variant {
    const char* name;
    std::vector<std::string> options;
    int share;  // runs on every program whose index modulo 3 is this (-1: all)
};

const Variant kVariants[] = {
    {"plain", {}, -1},
    {"optimized", {"-O"}, -1},
    {"no_cse", {"-g-nc"}, 0},
    {"no_address_table", {"-g-nt"}, 1},
    {"interrupt_model_0", {"-g-im0"}, 2},
    {"code_model_4", {"-g-cm4"}, 0},
    {"debug", {"+debug"}, 1},
    {"no_content_cache", {"-g-nr"}, 2},
    {"no_address_registers", {"-p-a4"}, 1},
    {"stack_locals", {"-p-a2"}, 0},
};

struct Case {
    std::string program;
    const Variant* variant;
};

std::vector<Case> cases() {
    std::vector<Case> all;
    std::vector<std::string> names = programs();
    for (const Variant& v : kVariants)
        for (size_t i = 0; i < names.size(); ++i)
            if (v.share < 0 || int(i % 3) == v.share) all.push_back({names[i], &v});
    return all;
}

class Corpus : public rt::RuntimeTest, public ::testing::WithParamInterface<Case> {
protected:
    // The program and the shared header in the private directory: qvbuild
    // writes the assembly text beside each source.
    void copyin(const std::string& name) {
        fs::copy_file(fs::path(E2E_DIR) / "progs" / (name + ".c"), dir / (name + ".c"));
        fs::copy_file(fs::path(E2E_DIR) / "progs" / "e2e.h", dir / "e2e.h");
    }
};

TEST_P(Corpus, ProgramChecksItselfOnTheSimulator) {
    const Case& c = GetParam();
    copyin(c.program);
    std::vector<std::string> args = c.variant->options;
    args.insert(args.end(), {"-i" + (fs::path(E2E_DIR) / "include").string(), "-o", path("prog.o"),
                             path(c.program + ".c")});
    ASSERT_EQ(qvbuild(args), 0) << errors;
    ASSERT_EQ(vekrun({"-p", "result", path("prog.o")}), 0) << errors << host.out;
    EXPECT_NE(host.out.find("main returned: 0\nresult = 0\n"), std::string::npos)
        << "a nonzero result is the line of the first failed check\n"
        << host.out;
}

INSTANTIATE_TEST_SUITE_P(Programs, Corpus, ::testing::ValuesIn(cases()), [](const ::testing::TestParamInfo<Case>& i) {
    return i.param.program + "_" + i.param.variant->name;
});

// ---- the outside compilers

class OutsideCompiler : public rt::RuntimeTest {
protected:
    // Compiles every shared program with compile (the program's source and
    // the harness, to "%o"), all at once, then runs each with run and
    // expects "0" from the harness.
    void agree(const std::string& compile, const std::string& run) {
        std::vector<std::string> names;
        for (const std::string& n : programs())
            if (shared(n)) names.push_back(n);
        fs::path progs = fs::path(E2E_DIR) / "progs";
        std::string cmd = "(";
        for (const std::string& n : names) {
            std::string line = compile + " -w -Dmain=e2emain -o " + path(n) + " " + (progs / (n + ".c")).string() +
                               " " + (progs / "harness.c").string();
            cmd += line + " & ";
        }
        cmd += "wait) >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        for (const std::string& n : names) {
            SCOPED_TRACE(n);
            std::string out;
            if (FILE* f = popen((run + path(n) + " 2>&1").c_str(), "r")) {
                char buf[128];
                while (std::fgets(buf, sizeof buf, f)) out += buf;
                pclose(f);
            }
            EXPECT_EQ(out, "0\n") << "a nonzero result is the line of the first failed check";
        }
    }
};

TEST_F(OutsideCompiler, HostCompilerPassesTheSharedChecks) {
    if (std::system("cc --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no host C compiler";
    agree("cc -O1", "");
}

TEST_F(OutsideCompiler, PowerPcCrossCompilerPassesTheSharedChecks) {
    if (std::system("powerpc-linux-gnu-gcc --version >/dev/null 2>&1 && qemu-ppc -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "powerpc-linux-gnu-gcc or qemu-ppc is not installed";
    agree("powerpc-linux-gnu-gcc -O1 -static", "qemu-ppc ");
}

}  // namespace

// ---- source-level debugging of compiled C

class SourceDebug : public rt::RuntimeTest {};

TEST_F(SourceDebug, VekStopsAtASourceLineAndPrintsLocals) {
    write("dbg.c",
          "int total;\n"                                           // 1
          "struct pair { int a; short b; };\n"                     // 2
          "static int add(int x, int y)\n"                         // 3
          "{\n"                                                    // 4
          "    int sum = x + y;\n"                                 // 5
          "    return sum;\n"                                      // 6
          "}\n"                                                    // 7
          "int main(void)\n"                                       // 8
          "{\n"                                                    // 9
          "    int i, acc = 0;\n"                                  // 10
          "    struct pair p;\n"                                   // 11
          "    int *q = &acc;\n"                                   // 12
          "    p.a = 3;\n"                                         // 13
          "    p.b = 4;\n"                                         // 14
          "    for (i = 1; i <= 4; i++)\n"                         // 15
          "        acc = add(acc, i);\n"                           // 16
          "    total = acc + p.a + *q;\n"                          // 17
          "    return 0;\n"                                        // 18
          "}\n");
    // -xp: the debug information names the file without its path
    ASSERT_EQ(qvbuild({"+debug", "-p-xp", "-o", path("dbg.o"), path("dbg.c")}), 0) << errors;
    const std::string src = "dbg.c";
    write("cmds", "break " + src + ":6\ngo\nx sum\nstack\ndelete *\nbreak " + src +
                      ":17\ngo\nx acc\nx i\nx p.a\nx p.b\nx *q\nquit\n");
    std::string cmd = std::string(BIN_DIR) + "/vek -c " + path("dbg.o") + " <" + path("cmds") + " >" + path("out") +
                      " 2>&1";
    int status = std::system(cmd.c_str());
    std::ifstream in(path("out"));
    std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << out;
    // the parameters and locals live in registers the generator renamed
    EXPECT_NE(out.find("***** breakpoint " + src + ":6\n    sum = 1\nadd(x=0,y=1)\nmain()\n"), std::string::npos) << out;
    EXPECT_NE(out.find("***** breakpoint " + src + ":17\n    acc = 10\n    i = 5\n    p.a = 3\n    p.b = 4\n    *q = 10\n"),
              std::string::npos)
        << out;
}

// ---- volatile reads whose value goes unused

// Each read of a volatile object stays in the optimized text, also where
// the value is dropped (an expression statement, a comma's left operand in
// a condition). Without the address table every read names the object.
class VolatileReads : public rt::RuntimeTest {};

TEST_F(VolatileReads, UnusedValuesAreStillRead) {
    write("v.c",
          "volatile int port;\n"
          "int f(int t)\n"
          "{\n"
          "    int x = (port, t) ? 1 : 2;\n"
          "    if ((port, t)) x += 10;\n"
          "    while ((port, t--) > 0) x++;\n"
          "    port;\n"
          "    return x;\n"
          "}\n");
    std::string cmd = std::string(BIN_DIR) + "/qvppc -s -g-nt " + path("v.c") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream in(path("v.s"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t reads = 0;
    for (size_t at = text.find("._port("); at != std::string::npos; at = text.find("._port(", at + 1)) ++reads;
    EXPECT_EQ(reads, 4u) << text;
}

// ---- the corpus's instructions beside the cross assembler

// Each distinct instruction line of the corpus's generated text whose
// operands are registers and numbers only is assembled by cappc; the
// bytes, disassembled by the cross disassembler and assembled again by the
// cross assembler, come out the same.
class CorpusInstructions : public rt::RuntimeTest {};

bool plainoperands(const std::string& ops) {
    for (size_t i = 0; i < ops.size(); ++i) {
        char c = ops[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || c == ',' || c == '(' || c == ')' || c == '-') continue;
        if (c == 'r' && i + 1 < ops.size() && std::isdigit(static_cast<unsigned char>(ops[i + 1]))) continue;
        return false;
    }
    return true;
}

TEST_F(CorpusInstructions, CrossAssemblerGivesTheSameBytes) {
    if (!oracle::available()) GTEST_SKIP() << "powerpc-linux-gnu-as/objdump/objcopy not installed";
    std::set<std::string> lines;
    fs::copy_file(fs::path(E2E_DIR) / "progs" / "e2e.h", dir / "e2e.h");
    // all compiled at once, then read one by one
    std::string all = "(";
    for (const std::string& n : programs()) {
        fs::copy_file(fs::path(E2E_DIR) / "progs" / (n + ".c"), dir / (n + ".c"));
        all += std::string(BIN_DIR) + "/qvppc -s -no -i" + (fs::path(E2E_DIR) / "include").string() + " " +
               path(n + ".c") + " & ";
    }
    all += "wait) >/dev/null 2>&1";
    ASSERT_EQ(std::system(all.c_str()), 0);
    for (const std::string& n : programs()) {
        ASSERT_TRUE(fs::exists(dir / (n + ".s"))) << n;
        std::ifstream in(path(n + ".s"));
        for (std::string line; std::getline(in, line);) {
            if (line.size() < 2 || line[0] != '\t' || line[1] == '.') continue;
            size_t tab = line.find('\t', 1);
            std::string op = line.substr(1, tab == std::string::npos ? std::string::npos : tab - 1);
            std::string ops = tab == std::string::npos ? "" : line.substr(tab + 1);
            if (op.empty() || !std::islower(static_cast<unsigned char>(op[0])) || !plainoperands(ops)) continue;
            if (op == "dc" || op.rfind("dc.", 0) == 0 || op.rfind("ds", 0) == 0 || op == "align" || op == "even" ||
                op == "switch" || op == "xdef" || op == "xref" || op == "end" || op == "use" || op == "org")
                continue;
            lines.insert(line);
        }
    }
    ASSERT_GT(lines.size(), 50u);
    std::string text = "\tswitch\t.text\n";
    for (const std::string& l : lines) text += l + "\n";
    text += "\txdef\tzzend\nzzend:\n";
    write("all.s", text);
    std::string cmd = std::string(BIN_DIR) + "/cappc -o " + path("all.o") + " " + path("all.s") + " >" + path("err") +
                      " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << text;
    rt::Machine m(path("all.o"));
    ASSERT_TRUE(m.loaded());
    uint32_t end = m.symbol("zzend");
    ASSERT_GT(end, 0u);
    std::vector<uint8_t> ours(end);
    m.session().target.mem.getmem(ours.data(), 0, ours.size());
    EXPECT_EQ(oracle::crosscheck(ours), "");
}
