// Statements, blocks and function definitions through the parser dump: the
// statement tree of each function (kinds, flags, labels, case lists,
// locals, parameters), reachability and its warnings, the implicit return,
// and the messages of bad statements with their positions and status.
#include "harness.h"

namespace cpppctest {
namespace {

struct TreeCase {
    std::string title;
    std::string source;
    std::vector<std::string> options;
    std::string name;
    std::string tree;  // the function's dump
    std::string err;   // the diagnostics, "" for none
};

void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.title; }

class StatementTree : public testing::TestWithParam<TreeCase> {};

TEST_P(StatementTree, Dump) {
    Scratch s;
    const TreeCase& c = GetParam();
    // the trees as parsed: no data flow, no registers
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"-ns", "-a2"});
    RunResult r = parsedump(s, c.source, options);
    EXPECT_EQ(functiontext(r.out, c.name), c.tree) << c.source;
    EXPECT_EQ(r.err, c.err) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatementTree,
    testing::Values(
        TreeCase{"cases sorted, default as 0",
                 "void f(int a) { switch (a) { case 3: a++; break; case -1: default: a--; } }",
                 {},
                 "f",
                 "function f\n"
                 "  param a class 25 offset 0 flags 0x04400e: int\n"
                 "  compound flags 0x040\n"
                 "    switch flags 0x041: a:int\n"
                 "      case -1 -> 5\n"
                 "      default -> 5\n"
                 "      case 3 -> 3\n"
                 "      body\n"
                 "        compound flags 0x040\n"
                 "          expr flags 0x020 label 3: (+= int a:int 1:int)\n"
                 "          break flags 0x008\n"
                 "          expr flags 0x020 label 5: (-= int a:int 1:int)\n"
                 "    return flags 0x008\n",
                 ""},
        TreeCase{"unreachable run: one warning, a label ends it, return after return is silent",
                 "int f(int i) { return i; i = 2; i = 3; L: i = 4; return i; return 0; }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  param i class 25 offset 0 flags 0x04400e: int\n"
                 "  compound flags 0x048\n"
                 "    return flags 0x008: i:int\n"
                 "    expr flags 0x010: (= int i:int 2:int)\n"
                 "    expr flags 0x010: (= int i:int 3:int)\n"
                 "    expr flags 0x040 label 3: (= int i:int 4:int)\n"
                 "    return flags 0x008: i:int\n"
                 "    return flags 0x008: 0:int\n",
                 "#warning cpppc t.c:1(25) unreachable code\n"},
        TreeCase{"an unreachable loop is marked and reported",
                 "void g(void); void f(void) { return; while (1) g(); }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  compound flags 0x008\n"
                 "    return flags 0x008\n"
                 "    while flags 0x018: 1:int\n"
                 "      body\n"
                 "        expr: (call void &g:ptr(fn(void)))\n",
                 "#warning cpppc t.c:1(37) unreachable code\n"},
        TreeCase{"for(;;) does not complete: no implicit return",
                 "int g(void); int f(void) { for (;;) { g(); } }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  compound flags 0x008\n"
                 "    for flags 0x008\n"
                 "      body\n"
                 "        compound\n"
                 "          expr: (call int &g:ptr(fn(int)))\n",
                 ""},
        TreeCase{"for(;;) left by goto completes",
                 "int g(void); int f(void) { for (;;) { if (g()) goto out; } out: return 1; }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  compound flags 0x048\n"
                 "    for flags 0x004\n"
                 "      body\n"
                 "        compound\n"
                 "          if: (!= int (call int &g:ptr(fn(int))) 0:int)\n"
                 "            then\n"
                 "              goto flags 0x008 out\n"
                 "    return flags 0x048 label 3: 1:int\n",
                 ""},
        TreeCase{"implicit return with its warning",
                 "int f(int a) { if (a) return 1; }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  param a class 25 offset 0 flags 0x04000e: int\n"
                 "  compound\n"
                 "    if: (!= int a:int 0:int)\n"
                 "      then\n"
                 "        return flags 0x008: 1:int\n"
                 "    return flags 0x008\n",
                 "#warning cpppc t.c:1(32) missing explicit return\n"},
        TreeCase{"a void function returns silently", "void f(int a) { a = 1; }", {"-w1"}, "f",
                 "function f\n"
                 "  param a class 25 offset 0 flags 0x04400e: int\n"
                 "  compound\n"
                 "    expr: (= int a:int 1:int)\n"
                 "    return flags 0x008\n",
                 ""},
        TreeCase{"switch body starting with a call",
                 "int g(void); void f(int a) { switch (a) { g(); case 1: break; } }",
                 {"-w1"},
                 "f",
                 "function f\n"
                 "  param a class 25 offset 0 flags 0x04000e: int\n"
                 "  compound flags 0x040\n"
                 // lowered: a switch with one case is an if
                 "    if flags 0x041: (== int a:int 1:int)\n"
                 "      then\n"
                 "        compound flags 0x048\n"
                 "          goto flags 0x008 <anonymous>\n"
                 "          expr: (call int &g:ptr(fn(int)))\n"
                 "          break flags 0x028 label 3\n"
                 "    return flags 0x008\n",
                 "#warning cpppc t.c:1(42) unreachable code\n"},
        TreeCase{"i++ as i += 1; do loop; continue and break marks",
                 "void f(int i) { do { if (i) continue; i++; if (i > 9) break; } while (i < 5); }",
                 {},
                 "f",
                 "function f\n"
                 "  param i class 25 offset 0 flags 0x04400e: int\n"
                 "  compound\n"
                 "    do flags 0x003: (< int i:int 5:int)\n"
                 "      body\n"
                 "        compound\n"
                 "          if: (!= int i:int 0:int)\n"
                 "            then\n"
                 "              continue flags 0x008\n"
                 "          expr: (+= int i:int 1:int)\n"
                 "          if: (> int i:int 9:int)\n"
                 "            then\n"
                 "              break flags 0x008\n"
                 "    return flags 0x008\n",
                 ""},
        TreeCase{"float and char parameters at entry",
                 "int f(char a, double b, short c, float x) { return a + c + x; }",
                 {},
                 "f",
                 "function f\n"
                 "  param a class 25 offset 3 flags 0x04008e: char\n"
                 "  param b class 25 offset 4 flags 0x04000c: double\n"
                 "  param c class 25 offset 14 flags 0x04008e: short\n"
                 "  param x class 25 offset 16 flags 0x04048e: float\n"
                 "  compound flags 0x008\n"
                 "    expr: (= float x:float (cast float x:double))\n"
                 "    return flags 0x008: (cast int (+ float (+ int a:char c:short) x:float))\n",
                 ""},
        TreeCase{"the prototype's enumeration seen by the body; pointer slots from their low end",
                 "int f(enum e { A, B } x, char @tiny *q) { enum e y = A; return x == B; }",
                 {},
                 "f",
                 "function f\n"
                 "  param x class 25 offset 3 flags 0x04008e: enum e\n"
                 "  param q class 25 offset 7 flags 0x04008c: ptr(char)\n"
                 "  compound flags 0x008\n"
                 "    local y class 128 flags 0x044026 value 4294967295: enum e\n"
                 "    expr: (= enum e y:enum e 0:int)\n"
                 "    return flags 0x008: (== int x:uchar 1:int)\n",
                 ""},
        TreeCase{"old-style parameters", "int f(a, b) char a; { return a + b; }", {}, "f",
                 "function f\n"
                 "  param a class 25 offset 3 flags 0x04008e: char\n"
                 "  param b class 25 offset 4 flags 0x04000e: int\n"
                 "  compound flags 0x008\n"
                 "    return flags 0x008: (+ int a:char b:int)\n",
                 ""},
        TreeCase{"a for loop stepping its variable: counted, its address stepped, the variable gone",
                 "int a[10]; void f(void) { int i; for (i = 0; i < 10; i++) a[i] = 0; }",
                 {},
                 "f",
                 "function f\n"
                 "  compound\n"
                 "    local .itmp_1. class 128 flags 0x040006 value 4294967294: ptr(int)\n"
                 "    local i class 139 flags 0x044004 value 0: int\n"
                 "    counted flags 0x100\n"
                 "      init: (= ptr(int) .itmp_1.:ptr(int) &a:ptr(int))\n"
                 "      test: 10:int\n"
                 "      incr: (+= ptr(int) .itmp_1.:ptr(int) 4:int)\n"
                 "      body\n"
                 "        expr: (= int (ind int .itmp_1.:ptr(int)) 0:int)\n"
                 "    return flags 0x008\n",
                 ""},
        TreeCase{"asm lines", "void f(void) {\n#asm\n nop\n\n se_isync\n#endasm\n}\n", {}, "f",
                 "function f\n"
                 "  compound\n"
                 "    asm\n"
                 "      asm: nop\n"
                 "      asm: se_isync\n"
                 "    return flags 0x008\n",
                 ""},
        TreeCase{"a local hides the outer name only after its initializer",
                 "int x; void f(void) { int x = x + 1; }",
                 {},
                 "f",
                 "function f\n"
                 "  compound\n"
                 "    local x class 128 flags 0x044026 value 4294967292: int\n"
                 "    expr: (= int x:int (+ int x:int 1:int))\n"
                 "    return flags 0x008\n",
                 ""}));

// Bad statements: the message at its place, status 1, and no intermediate
// file left behind.
struct BadStmtCase {
    std::string source;
    std::string err;
};

void PrintTo(const BadStmtCase& c, std::ostream* os) { *os << c.source; }

class BadStatement : public testing::TestWithParam<BadStmtCase> {};

TEST_P(BadStatement, Reported) {
    Scratch s;
    const BadStmtCase& c = GetParam();
    s.write("t.c", c.source);
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1) << c.source;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.source << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists("t.ir")) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadStatement,
    testing::Values(BadStmtCase{"void f(void) { break; }", "t.c:1(15+5) invalid break"},
                    BadStmtCase{"void f(void) { continue; }", "t.c:1(15+8) invalid continue"},
                    BadStmtCase{"void f(void) { L: ; L: ; }", "t.c:1(21) redefined label L"},
                    BadStmtCase{"void f(void) { goto nowhere; }", "undefined label nowhere"},
                    BadStmtCase{"void f(void) { int a; a = 1; int b; }", "t.c:1(29+3) misplaced local declaration"},
                    BadStmtCase{"void f(void) { case 1: ; }", "invalid case"},
                    BadStmtCase{"void f(int a) { switch (a) { case 3: case 3: ; } }", "t.c:1(43) duplicate case"},
                    BadStmtCase{"void f(int a) { switch (a) { default: default: ; } }", "duplicate default"},
                    BadStmtCase{"void f(int a) { else a = 1; }", "unexpected else statement"},
                    BadStmtCase{"void f(int a) { if () a = 1; }", "missing if test expression"},
                    BadStmtCase{"struct s { int a; } v; void f(void) { while (v) ; }", "invalid while test type"},
                    BadStmtCase{"void f(double d) { switch (d) ; }", "invalid switch test type"},
                    BadStmtCase{"void f(void) { return 1; }", "unexpected return expression"},
                    BadStmtCase{"int *f(void) { return 1.5; }", "incompatible return type"},
                    BadStmtCase{"void f(void) { int a; int a; }", "redeclared local a"},
                    BadStmtCase{"void f(void) { a = 1;", "unexpected end of file"},
                    BadStmtCase{"void f(void) { goto ; }", "missing goto label"},
                    BadStmtCase{"int f(int a) { return a; } int f(int a) { return a; }", "redeclared function f"},
                    BadStmtCase{"int f(a) int b; { return a; }", "b not an argument"},
                    BadStmtCase{"void f(void) { typedef int T = 1; }", "invalid local initialization"},
                    BadStmtCase{"void f(void) { extern int e = 1; }", "invalid external initialization"},
                    BadStmtCase{"void f(void) { int a = ; }", "missing initialization expression"},
                    BadStmtCase{"struct s; struct s f(void) { }", "t.c:1(27) incomplete return type"},
                    BadStmtCase{"int @nostack f(int a, ...) { return a; }", "variable arguments not allowed in nostack mode"},
                    BadStmtCase{"int f(int @far a) { return a; }", "t.c:1(18) invalid space for argument a"},
                    BadStmtCase{"void f(void) { static void g(void); }", "static function g undefined"},
                    BadStmtCase{"void f(void) { int g(a); }", "useless argument list"},
                    BadStmtCase{"void f(void) { int; }", "t.c:1(15+3) incomplete declaration"},
                    BadStmtCase{"int f(a) int a;", "bad function declaration"}));

// Statements nested beyond the bound are read over with one message.
TEST(Statements, DeepNestingBounded) {
    Scratch s;
    std::string src = "void f(int a) {";
    for (int i = 0; i < 5000; ++i) src += i % 2 ? "{" : "if (a) ";
    src += "a++;";
    for (int i = 0; i < 2500; ++i) src += "}";
    src += "}\nint g(void) { return 1; }\n";
    s.write("t.c", src);
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("statement too complex"), std::string::npos) << r.err.substr(0, 400);
    EXPECT_EQ(r.err.find("t.c:2"), std::string::npos) << r.err.substr(0, 400);
}

TEST(Statements, ReturnWithoutValueWarns) {
    Scratch s;
    RunResult r = parsedump(s, "int f(void) { return; }", {"-w1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "#warning cpppc t.c:1(20) missing return expression\n");
}

TEST(Statements, DeclarationAfterStatementEvenWithC99) {
    Scratch s;
    RunResult r = parsedump(s, "void f(void) { int a; a = 1; int b; }", {"-c99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("misplaced local declaration"), std::string::npos) << r.err;
}

TEST(Statements, ErrorsSuppressTheFunctionButKeepParsing) {
    Scratch s;
    RunResult r = parsedump(s, "int x = y; int f(void) { return 1; }\nint g(void) { break; return 2; }");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(functiontext(r.out, "f"), "") << r.out;
    EXPECT_NE(r.err.find("t.c:2(14+5) invalid break"), std::string::npos) << r.err;
}

// Every local of a function goes back to the pools: a unit of many
// functions declares the same names again and again without conflict, and
// the file-level names they declared extern keep their types.
TEST(Statements, RecordsRecycledBetweenFunctions) {
    Scratch s;
    std::string src = "int g(int);\n";
    for (int i = 0; i < 200; ++i)
        src += "int f" + std::to_string(i) + "(int a) { int b[4] = {1, 2}; extern int e[]; b[1] = a; return g(b[1]) + e[1]; }\n";
    src += "int e[3];\n";
    RunResult r = parsedump(s, src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "symbols", "e", 1), "type array[3] of int (size 12, align 4)");
}

}  // namespace
}  // namespace cpppctest
