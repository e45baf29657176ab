// Inline functions through the parser dump: each call expanded from the
// recorded body, arguments substituted or assigned, results through
// temporaries, the order of evaluation kept around ?:, && and ",", the
// messages of misuse, and self-checking programs that the host compiler
// runs with the results the expansions must give.
#include "harness.h"

namespace cpppctest {
namespace {

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

const char* kFunctions =
    "static inline int f(int a) { return a + 1; }\n"
    "static inline char g(char c) { return c; }\n"
    "static inline int u(int a) { return 7; }\n"
    "int h(void);\n";

RunResult dumpmain(const Scratch& s, const std::string& body, std::vector<std::string> options = {}) {
    // the trees as expanded: no data flow, no registers
    options.insert(options.end(), {"-c99", "-ns", "-a2"});
    return parsedump(s, std::string(kFunctions) + "int m(int x, int c) {\n int y, i = 0, a[4];\n double d;\n" + body + "\n return y;\n}\n",
                     options);
}

struct ExpandCase {
    std::string title;
    std::string body;
    std::vector<std::string> options;
    std::vector<std::string> lines;  // lines expected in m's dump, in order
};

void PrintTo(const ExpandCase& c, std::ostream* os) { *os << c.title; }

class Expansion : public testing::TestWithParam<ExpandCase> {};

TEST_P(Expansion, Dump) {
    Scratch s;
    const ExpandCase& c = GetParam();
    RunResult r = dumpmain(s, c.body, c.options);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string m = functiontext(r.out, "m");
    size_t at = 0;
    for (const std::string& l : c.lines) {
        size_t found = m.find(l, at);
        ASSERT_NE(found, std::string::npos) << "missing, in order: " << l << "\n" << m;
        at = found + l.size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Expansion,
    testing::Values(
        ExpandCase{"y = f(x) * 2: x substituted, the result through a temporary",
                   "y = f(x) * 2;",
                   {},
                   {"expr sequence", "local a class 128 flags 0x050006", "goto .return_1.: (= int .temp_1.:int (+ int x:int 1:int))",
                    "expr flags 0x840 label", "value: (= int y:int (<< int .temp_1.:int 1:int))"}},
        ExpandCase{"c ? f(x) : 0 becomes an if assigning one temporary",
                   "y = c ? f(x) : 0;",
                   {},
                   {"if: (!= int c:int 0:int)", "then", "(= int .temp_1.:int (+ int x:int 1:int))", "else",
                    "expr: (= int .temp_1.:int 0:int)", "value: (= int y:int .temp_1.:int)"}},
        ExpandCase{"the temporary of ?: has the type of ?:",
                   "d = c ? f(x) : 1.5;",
                   {},
                   {"local .temp_1. class 128 flags 0x040006 value 4294967288: double", "(= double .temp_1.:double (+ int x:int 1:int))",
                    "expr: (= double .temp_1.:double 1.5:double)"}},
        ExpandCase{"an unused parameter still runs its argument once",
                   "y = u(h());",
                   {},
                   {"local a class 139 flags 0x040004", "expr: (call int &h:ptr(fn(int)))", "goto .return_1.: (= int y:int 7:int)"}},
        ExpandCase{"with -nc every used argument is assigned",
                   "y = f(x);",
                   {"-nc"},
                   {"expr: (= int a:int x:int)", "goto .return_1.: (= int y:int (+ int a:int 1:int))"}},
        ExpandCase{"a constant is converted to the parameter's type", "y = g(300);", {},
                   {"goto .return_1.: (= int y:int 44:char)"}},
        ExpandCase{"i++ as an argument is assigned, once", "y = f(i++);", {},
                   {"expr: (= int a:int (post++ int i:int 1:int))", "goto .return_1.: (= int y:int (+ int a:int 1:int))",
                    "value: y:int"}},
        ExpandCase{"a non-leaf target is stored once from a temporary", "y = (a[i++] = f(x));", {},
                   {"goto .return_1.: (= int .temp_1.:int (+ int x:int 1:int))",
                    "value: (= int y:int (= int (ind int (+ ptr(int) &a:ptr(int) (<< int (post++ int i:int 1:int) 2:int))) "
                    ".temp_1.:int))"}},
        ExpandCase{"&& runs the expansion only when the left operand holds", "y = x > 2 && f(x) == 4;", {},
                   {"if: (> int x:int 2:int)", "(= int .temp_2.:int (+ int x:int 1:int))", "else",
                    "expr: (= int .temp_1.:int 0:int)", "value: (= int y:int (!= int .temp_1.:int 0:int))"}},
        ExpandCase{"the left operand of a comma runs first", "y = (c = 10, f(c));", {},
                   {"expr: (= int c:int 10:int)", "compound", "value: (= int y:int .temp_1.:int)"}},
        ExpandCase{"an initializer with an inline call", "{ int z = f(c); y = z; }", {},
                   {"local z class 128", "expr sequence", "value: z:int"}}));

TEST(Inline, ArgumentWithSideEffectsRunsOnce) {
    Scratch s;
    RunResult r = dumpmain(s, "y = u(h()) + f(h());");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(functiontext(r.out, "m"), "(call int &h"), 2u) << r.out;
}

struct MisuseCase {
    std::string source;
    std::string err;
};

void PrintTo(const MisuseCase& c, std::ostream* os) { *os << c.source; }

class InlineMisuse : public testing::TestWithParam<MisuseCase> {};

TEST_P(InlineMisuse, Reported) {
    Scratch s;
    const MisuseCase& c = GetParam();
    RunResult r = parsedump(s, c.source, {"-c99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.source << "\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InlineMisuse,
    testing::Values(MisuseCase{"int f(int);\nint m(void) { return f(1); }\ninline int f(int a) { return a; }",
                               "usage conflict for inline function f"},
                    MisuseCase{"inline int f(int a) { return a ? f(a - 1) : 0; }", "invalid recursive inline function"},
                    MisuseCase{"inline int f() { return 1; }", "missing prototype for inline function f"},
                    MisuseCase{"inline int f(int a, ...) { return a; }", "invalid prototype for inline function f"},
                    MisuseCase{"inline int f(int a) { static int s; return a + s; }", "invalid static s in inline function"},
                    MisuseCase{"inline int f(int a) { goto x; return a; }\nint m(void) { return f(1); }",
                               "undefined label x"}));

// Inline functions that call the previous one twice grow exponentially:
// the expansion stops at a bound with a message, in bounded time.
TEST(Inline, ExponentialExpansionIsBounded) {
    Scratch s;
    std::string src = "inline int f0(int a) { return a + 1; }\n";
    for (int i = 1; i < 40; ++i)
        src += "inline int f" + std::to_string(i) + "(int a) { return f" + std::to_string(i - 1) + "(a) + f" +
               std::to_string(i - 1) + "(a + 1); }\n";
    src += "int m(int x) { return f39(x); }\n";
    s.write("t.c", src);
    RunResult r = runcpppc({"-c99", "-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("expression too complex"), std::string::npos) << r.err;
}

// Diagnostics inside an expansion name the inline function's own lines.
TEST(Inline, DiagnosticsPointIntoTheBody) {
    Scratch s;
    RunResult r = parsedump(s,
                            "inline int f(int a) {\n char c;\n c = a;\n return c;\n}\n"
                            "int m(int x) {\n return f(x) + f(x);\n}\n",
                            {"-c99", "-w1"});
    EXPECT_EQ(r.status, 0) << r.err;
    // once for the definition, once for each expansion
    EXPECT_EQ(occurrences(r.err, "t.c:3("), 3u) << r.err;
}

// Programs that check their own results: the host compiler runs them now
// (and the simulator once code is generated); the parser must take them
// without a message.
const char* kPrograms[] = {
    "static inline int f(int a) { return a + 1; }\n"
    "static inline char g(char c) { return c; }\n"
    "static inline int u(int a) { return 7; }\n"
    "static int calls;\n"
    "static int h(void) { return ++calls; }\n"
    "int main(void) {\n"
    "  int x = 3, y, i = 0, a[4] = {0, 0, 0, 0};\n"
    "  double d;\n"
    "  y = f(x) * 2; if (y != 8) return 1;\n"
    "  y = u(h()); if (calls != 1 || y != 7) return 2;\n"
    "  if (g(300) != 44) return 3;\n"
    "  y = (a[i++] = f(x)); if (i != 1 || a[0] != 4 || y != 4) return 4;\n"
    "  d = x ? f(x) : 1.5; if (d != 4) return 5;\n"
    "  d = x - 3 ? f(x) : 1.5; if (d != 1.5) return 6;\n"
    "  y = f(i++); if (i != 2 || y != 2) return 7;\n"
    "  y = x > 2 && f(x) == 4; if (y != 1) return 8;\n"
    "  y = x > 5 || f(x) == 4; if (y != 1) return 9;\n"
    "  y = (x = 10, f(x)); if (y != 11) return 10;\n"
    "  return 0;\n"
    "}\n",
    "static inline int sum(int n) { int s = 0; while (n > 0) { s += n; n--; } return s; }\n"
    "static inline int sign(int v) { if (v < 0) return -1; if (v > 0) return 1; return 0; }\n"
    "static inline void bump(int *p) { *p += 1; }\n"
    "int main(void) {\n"
    "  int k = 0, t;\n"
    "  t = sum(4); if (t != 10) return 1;\n"
    "  t = sign(-5) + sign(0) * 10 + sign(7) * 100; if (t != 99) return 2;\n"
    "  bump(&k); bump(&k); if (k != 2) return 3;\n"
    "  t = sum(sign(3) + 2); if (t != 6) return 4;\n"
    "  return 0;\n"
    "}\n",
    "struct pt { int x, y; };\n"
    "static const int table[4] = {1, 2, 4, 8};\n"
    "static struct pt origin = {3, -4};\n"
    "static char name[] = \"abc\";\n"
    "static unsigned big = 3.5e9;\n"
    "static int neg = -2.7;\n"
    "int main(void) {\n"
    "  int local[3] = {5, 6, 7};\n"
    "  struct pt p = {1, 2};\n"
    "  if (table[3] != 8 || origin.y != -4 || sizeof name != 4) return 1;\n"
    "  if (big != 3500000000u || neg != -2) return 2;\n"
    "  if (local[2] != 7 || p.y != 2) return 3;\n"
    "  return 0;\n"
    "}\n",
};

TEST(Inline, SelfCheckingPrograms) {
    int i = 0;
    for (const char* program : kPrograms) {
        Scratch s;
        s.write("t.c", program);
        RunResult r = runcpppc({"-c99", "-o", "t.ir", "t.c"});
        EXPECT_EQ(r.status, 0) << program << r.err;
        EXPECT_EQ(r.err, "") << program;
        if (havegcc()) {
            int status = 0;
            std::string out = capture("gcc -std=gnu99 -w -o t.exe t.c 2>&1 && ./t.exe", status);
            EXPECT_EQ(status, 0) << "program " << i << " fails on the host: " << out;
        }
        ++i;
    }
}

}  // namespace
}  // namespace cpppctest
