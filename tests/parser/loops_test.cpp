// The loop rewrites seen in the lowered statement trees and in the written
// records: counted loops and their counts, full unrolling, induction
// temporaries, invariant assignments moved out of loops, while loops turned
// into for loops, and the cases where each must leave the loop alone
// because the rewrite would change what the program computes.
#include "harness.h"

namespace cpppctest {
namespace {

struct LoopCase {
    std::string title;
    std::string source;  // function f is looked at
    std::vector<std::string> options;
    std::vector<std::string> present;  // lines of f's dump, in this order
    std::vector<std::string> absent;   // texts f's dump must not hold
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.title; }

class LoopRewrite : public testing::TestWithParam<LoopCase> {};

TEST_P(LoopRewrite, Dump) {
    Scratch s;
    const LoopCase& c = GetParam();
    RunResult r = parsedump(s, c.source, c.options);
    ASSERT_EQ(r.err, "") << c.source;
    std::string tree = functiontext(r.out, "f");
    size_t at = 0;
    for (const std::string& line : c.present) {
        size_t found = tree.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing, in order: " << line << "\n" << tree;
        at = found + line.size();
    }
    for (const std::string& text : c.absent) EXPECT_EQ(tree.find(text), std::string::npos) << text << "\n" << tree;
}

const char* kArrays = "int a[10]; int g; unsigned char buf[256];\n";
const char* kChanging = "int *gp; short *sp; int g; int h(void);\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, LoopRewrite,
    testing::Values(
        LoopCase{"a count below one leaves only the initialization",
                 "int f(void) { int i, s = 0; for (i = 5; i < 3; i++) s += i; return s + i; }",
                 {},
                 {"expr: (= int i:int 5:int)\n    return"},
                 {"counted", "for"}},
        LoopCase{"a signed bound counts only when positive",
                 std::string(kArrays) + "void f(int n) { int i; for (i = 0; i < n; i += 1) a[i] = 0; }",
                 {},
                 {"counted", "init: (= ptr(int) .itmp_1.:ptr(int) &a:ptr(int))",
                  "test: (?: int (> int n:int 0:int) n:int 0:int)", "incr: (+= ptr(int) .itmp_1.:ptr(int) 4:int)",
                  "expr: (= int (ind int .itmp_1.:ptr(int)) 0:int)"},
                 {"i:int"}},
        LoopCase{"an unsigned bound is the count as it stands",
                 std::string(kArrays) + "void f(unsigned n) { unsigned i; for (i = 0; i < n; i++) a[i] = 0; }",
                 {},
                 {"counted", "test: n:uint"},
                 {"?:"}},
        LoopCase{"-sr: counted, but the address is computed from the variable",
                 std::string(kArrays) + "void f(int n) { int i; for (i = 0; i < n; i++) a[i] = 0; }",
                 {"-sr"},
                 {"counted", "init: (= int i:int 0:int)", "incr: (+= int i:int 1:int)",
                  "(ind int (+ ptr(int) &a:ptr(int) (<< int i:int 2:int)))"},
                 {".itmp_"}},
        LoopCase{"counting down to zero counts with the variable, after its start ran once",
                 "unsigned h(void);\nint f(void) { unsigned i; int s = 0; for (i = h(); i != 0; i--) s += 2; return s; }",
                 {},
                 {"counted", "init: (= uint i:uint (call uint &h:ptr(fn(uint))))", "test: i:uint"},
                 {}},
        LoopCase{"a signed variable counting down from a negative start is left alone",
                 "int f(int m) { int j, s = 0; for (j = m; j != 0; j -= 1) { s += 2; if (j < 0) break; } return s; }",
                 {},
                 {"for"},
                 {"counted"}},
        LoopCase{"read after the loop: the variable keeps its start and step",
                 std::string(kArrays) + "int f(int n) { int i; for (i = 0; i < n; i++) a[i] = 0; return i; }",
                 {},
                 {"init: (, ptr(int) (= int i:int 0:int) (= ptr(int) .itmp_1.:ptr(int) &a:ptr(int)))",
                  "incr: (, ptr(int) (+= int i:int 1:int) (+= ptr(int) .itmp_1.:ptr(int) 4:int))"},
                 {}},
        LoopCase{"read by an enclosing loop before this one: kept",
                 std::string(kArrays) +
                     "int f(int n) { int i, j, s = 0; for (j = 0; j < n; j++) { s += i; for (i = 0; i < 8; i++) a[i] = j; } return s; }",
                 {},
                 {"(+= int i:int 1:int)"},
                 {}},
        LoopCase{"a global loop variable is neither counted nor reduced",
                 std::string(kArrays) + "void f(void) { for (g = 0; g < 10; g++) a[g] = 0; }",
                 {},
                 {"for", "init: (= int g:int 0:int)", "(<< int g:int 2:int)"},
                 {"counted", ".itmp_"}},
        LoopCase{"a char variable that wraps is not reduced",
                 std::string(kArrays) + "void f(void) { unsigned char i; for (i = 250; i != 10; i++) buf[i] = 0; }",
                 {},
                 {"for", "(+ ptr(uchar) &buf:ptr(uchar)"},
                 {".itmp_", "counted"}},
        LoopCase{"elements i and i + 1 share one temporary",
                 std::string(kArrays) + "int f(void) { int i, s = 0; for (i = 0; i < 9; i++) s += a[i] * a[i + 1]; return s; }",
                 {},
                 {"(* int (ind int .itmp_1.:ptr(int)) (ind int (+ ptr(int) .itmp_1.:ptr(int) 4:int)))"},
                 {".itmp_2."}},
        LoopCase{"while after an assignment becomes a for loop",
                 std::string(kArrays) + "int f(void) { int x; x = 0; while (x < 10) { a[x] = x; x += 1; } return x; }",
                 {},
                 {"counted", "init: (, ptr(int) (= int x:int 0:int)", "incr: (, ptr(int) (+= int x:int 1:int)"},
                 {"while"}},
        LoopCase{"a continue keeps the while loop",
                 std::string(kArrays) +
                     "int f(void) { int x; x = 0; while (x < 10) { if (a[x]) continue; a[x] = 1; x += 1; } return x; }",
                 {},
                 {"while"},
                 {"counted"}},
        LoopCase{"a while loop that a goto reaches stays",
                 std::string(kArrays) +
                     "int f(void) { int x; x = 0;\nL: while (x < 10) { a[x] = x; x += 1; } if (a[1] < 5) { a[1] = 9; goto L; } return x; }",
                 {},
                 {"while"},
                 {"counted"}},
        LoopCase{"an invariant assignment leaves a do loop",
                 "int f(int n) { int k, s = 0; do { k = n * 2; s += k; } while (s < 100); return s; }",
                 {},
                 {"compound\n      expr: (= int k:int (<< int n:int 1:int))\n      do"},
                 {}},
        LoopCase{"a read through a pointer the loop stores through stays",
                 "int f(int *q) { int k, s = 0; do { k = *q; *q = k + 1; s += k; } while (s < 100); return s; }",
                 {},
                 {"do", "body\n", "expr: (= int k:int (ind int q:ptr(int)))"},
                 {}},
        LoopCase{"a base the loop may change: its index is stepped and the test moves onto it",
                 std::string(kChanging) + "void f(void) { int i; for (i = 0; i < 100; i++) gp[i] = h(); }",
                 {},
                 {"init: (= int .itmp_1.:int 0:int)", "test: (< int .itmp_1.:int 400:int)",
                  "incr: (+= int .itmp_1.:int 4:int)", "(ind int (+ ptr(int) gp:ptr(int) .itmp_1.:int))"},
                 {"i:int"}},
        LoopCase{"counting down past zero: the bound scales with its sign",
                 std::string(kChanging) + "void f(void) { int i; for (i = 5; i >= -5; i--) gp[i] = h(); }",
                 {},
                 {"init: (= int .itmp_1.:int 20:int)", "test: (>= int .itmp_1.:int -20:int)",
                  "incr: (-= int .itmp_1.:int 4:int)"},
                 {"i:int"}},
        LoopCase{"the smallest step is tested with its own temporary",
                 std::string(kChanging) + "void f(void) { int i; for (i = 0; i < 9; i++) { sp[i] = 0; gp[i] = h(); } }",
                 {},
                 {"init: (, int (= int .itmp_1.:int 0:int) (= int .itmp_2.:int 0:int))",
                  "test: (< int .itmp_1.:int 18:int)",
                  "incr: (, int (+= int .itmp_1.:int 2:int) (+= int .itmp_2.:int 4:int))"},
                 {"i:int"}},
        LoopCase{"an unsigned bound scales past the signed range",
                 std::string(kChanging) +
                     "void f(void) { unsigned u; for (u = 0; u < 0x30000000u; u++) { gp[u] = h(); if (g) break; } }",
                 {},
                 {"test: (< int .itmp_1.:uint 3221225472:uint)"},
                 {"u:uint"}},
        LoopCase{"a scaled bound that does not fit keeps the test on the variable",
                 std::string(kChanging) +
                     "void f(void) { int i; for (i = 0; i < 0x20000000; i++) { gp[i] = h(); if (g) break; } }",
                 {},
                 {"test: (< int i:int 536870912:int)", "incr: (, int (+= int i:int 1:int) (+= int .itmp_1.:int 4:int))"},
                 {}},
        LoopCase{"a variable read after its loop keeps the test",
                 std::string(kChanging) + "int f(void) { int i; for (i = 0; i < 100; i++) gp[i] = h(); return i; }",
                 {},
                 {"test: (< int i:int 100:int)"},
                 {}},
        LoopCase{"a global read stays in a loop that calls",
                 "int h(void);\nint g;\nint f(void) { int i, k, s = 0; for (i = 0; i < 5; i++) { k = g; s += k + h(); } return s; }",
                 {},
                 {"init: (= int i:int 0:int)\n", "body\n", "expr: (= int k:int g:int)"},
                 {}},
        LoopCase{"an invariant assignment moves into a for loop's initialization",
                 "int f(int n) { int i, k, s = 0; for (i = 0; i < 10; i++) { k = n * 3; s += k + i; } return s; }",
                 {},
                 {"init: (, int (= int i:int 0:int) (= int k:int (* int n:int 3:int)))"},
                 {}}));

// Fully unrolled loops in the written records.
std::string irtext(const Scratch& s, const std::string& source, std::vector<std::string> options = {}) {
    s.write("t.c", source);
    options.insert(options.end(), {"-o", "t.ir", "t.c"});
    RunResult r = runcpppc(options);
    EXPECT_EQ(r.status, 0) << r.err;
    std::ifstream in("t.ir", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ir::printtext(ir::decodefile(bytes));
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Unroll, FourCopiesThenTheFinalValue) {
    Scratch s;
    std::string body = "int a[8];\nint f(void) { int i, s = 0; for (i = 0; i < 4; i++) s += a[i]; return s + i; }\n";
    std::string text = irtext(s, "#pragma unroll 100\n" + body);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(count(text, "(<< int (leaf int [0] " + std::to_string(k) + " 0 0) (leaf int [0] 2 0 0))"), 1u) << text;
    EXPECT_EQ(count(text, "194 "), 0u) << text;
    size_t last = text.find("(leaf int [0] 3 0 0) (leaf int [0] 2 0 0)");
    size_t final = text.find("(leaf int [0] 4 0 0))", last);
    EXPECT_NE(final, std::string::npos) << text;
    // without the pragma: a counted loop of four
    text = irtext(s, body);
    EXPECT_EQ(count(text, "194 "), 2u) << text;
    EXPECT_NE(text.find("1 (leaf int [0] 4 0 0)"), std::string::npos) << text;
}

TEST(Unroll, OtherInitializersRunOnceBeforeTheCopies) {
    Scratch s;
    std::string text = irtext(s, "#pragma unroll 100\nint a[8];\n"
                                 "int f(void) { int i, j, s = 0; for (j = 7, i = 0; i < 3; i++) s += j * a[i]; return s + j; }\n");
    EXPECT_EQ(count(text, "(leaf int [0] 7 0 0)"), 1u) << text;  // j = 7, once
    EXPECT_EQ(count(text, "194 "), 0u) << text;
    // a loop that exceeds the limit is counted, not unrolled
    text = irtext(s, "#pragma unroll 5\nint a[8];\nint f(void) { int i, s = 0; for (i = 0; i < 8; i++) s += a[i]; return s; }\n");
    EXPECT_EQ(count(text, "194 "), 2u) << text;
}

// -l: the source ranges of statements and of the parts of loops.
TEST(SourceRanges, StatementsAndLoopParts) {
    Scratch s;
    std::string text = irtext(s,
                              "int g(int);\nint f(int n) {\n  int i, s;\n  for (i = 0; i < n; i++) s += g(i);\n"
                              "  do s--; while (s > 9);\n  return s;\n}\n",
                              {"-l"});
    // the initialization, the body statement, the step, the test
    for (const char* range : {"188 4 2 4 12\n150 (=", "188 4 26 4 35\n150 (+=", "188 4 20 4 35\n150 (+=",
                              "188 4 13 4 19\n141 "})
        EXPECT_NE(text.find(range), std::string::npos) << range << "\n" << text;
    // the do loop's test from its while, and the return statement
    EXPECT_NE(text.find("188 5 16 5 23\n136 "), std::string::npos) << text;
    EXPECT_NE(text.find("188 6 2 6 10\n150 "), std::string::npos) << text;
    EXPECT_EQ(irtext(s, "int f(int n) { return n; }\n").find("188 "), std::string::npos);
}

}  // namespace
}  // namespace cpppctest
