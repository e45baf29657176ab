// Statements and functions against the host compiler: a corpus without
// this dialect's extensions that both accept, and one that both reject;
// and a bounded fuzz run of cpppc -o over mutated functions.
#include <random>

#include "harness.h"

namespace cpppctest {
namespace {

const char* kAccepted[] = {
    "int f(int a) { int b; b = a * 2; return b + 1; }",
    "int f(int n) { int s, i; s = 0; for (i = 0; i < n; i++) s += i; return s; }",
    "int f(int n) { int s = 0; while (n > 0) { s += n; n--; } return s; }",
    "int f(int n) { do { n -= 3; } while (n > 0); return n; }",
    "int f(int a) { switch (a) { case 1: return 10; case 2: case 3: a++; break; default: a = 0; } return a; }",
    "int f(int a) { if (a > 0) return 1; else if (a < 0) return -1; else return 0; }",
    "int f(int a) { again: if (a > 10) { a -= 10; goto again; } return a; }",
    "int f(int a) { for (;;) { if (a++ > 5) break; } return a; }",
    "int f(int a) { int i; for (i = 0; i < 10; i++) { if (i == a) continue; a += i; } return a; }",
    "int f(a, b) int a; char b; { return a + b; }",
    "void f(void) { ; { } ; }",
    "int f(int a) { { int a = 3; a++; } return a; }",
    "struct s { int x, y; }; int f(struct s p) { struct s q; q = p; return q.x + q.y; }",
    "struct s { int x; }; struct s g(void); int f(void) { return g().x; }",
    "int f(void) { static int count = 0; return ++count; }",
    "int f(void) { int a[3]; int i; for (i = 0; i < 3; i++) a[i] = i; return a[2]; }",
    "int f(void) { int a[] = {1, 2, 3}; char s[] = \"abc\"; return a[1] + s[0]; }",
    "int f(int x) { extern int g(int); return g(x); }",
    "int g; int f(void) { extern int g; return g; }",
    "int f(int a) { return a ? a : -a; }",
    "float f(float x) { return x * 2; }",
    "double f(double x, char c, short s) { return x + c + s; }",
    "int f(int a) { switch (a) { default: break; } return 0; }",
    "int f(int a) { while (a) if (a & 1) a >>= 1; else break; return a; }",
    "void f(int *p) { if (p) *p = 0; }",
    "int f(void) { typedef int T; T t = 2; return t; }",
};

const char* kRejected[] = {
    "void f(void) { break; }",
    "void f(void) { continue; }",
    "int f(int a) { return a }",
    "void f(void) { if 1; }",
    "void f(void) { int a; int a; }",
    "void f(void) { L: ; L: ; }",
    "void f(void) { goto; }",
    "void f(int a) { switch (a) { case 1: case 1: ; } }",
    "void f(int a) { switch (a) { default: ; default: ; } }",
    "void f(void) { case 1: ; }",
    "void f(void) { int a = ; }",
    "int f(void) { else return 1; }",
    "void f(void) { return 1; }",
    "struct s { int a; } v; void f(void) { while (v) ; }",
    "void f(double d) { switch (d) { } }",
    "int f(int a) { return a; } int f(int a) { return a; }",
    "int f(a) int b; { return 0; }",
    "void f(void) { int a[2] = {1, 2, 3}; }",
    "void f(void) { char s[2] = \"abc\"; }",
    "void f(void) { do ; while (1) }",
    "void f(void) { for (;;) ",
    "void f(void) { extern int e = 1; }",
};

TEST(StatementAcceptance, SameVerdictAsGcc) {
    if (!havegcc()) GTEST_SKIP() << "host gcc not installed";
    Scratch s;
    std::string files;
    std::vector<std::pair<std::string, bool>> cases;
    for (const char* a : kAccepted) cases.push_back({a, true});
    for (const char* r : kRejected) cases.push_back({r, false});
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string name = "s" + std::to_string(i) + ".c";
        s.write(name, cases[i].first + "\n");
        files += " " + name;
    }
    int status = 0;
    std::string gcc = "\n" + capture("gcc -fsyntax-only -std=c89 -pedantic-errors" + files + " 2>&1", status);
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string name = "s" + std::to_string(i) + ".c";
        bool gccaccepts = true;
        for (size_t at = gcc.find("\n" + name + ":"); at != std::string::npos; at = gcc.find("\n" + name + ":", at + 1)) {
            size_t end = gcc.find('\n', at + 1);
            if (gcc.substr(at, end - at).find("error:") != std::string::npos) gccaccepts = false;
        }
        EXPECT_EQ(gccaccepts, cases[i].second) << "gcc's verdict differs from the corpus: " << cases[i].first;
        RunResult r = runcpppc({"-o", "t.ir", name});
        EXPECT_EQ(r.status == 0, cases[i].second) << cases[i].first << "\n" << r.err;
    }
}

// Random edits of functions: cpppc -o ends with 0 or 1 and never crashes
// or hangs (the test build runs under the sanitizers).
TEST(Fuzz, FunctionsRandomEdits) {
    Scratch s;
    std::mt19937 rng(17);
    const std::string alphabet = "(){}[];,*:=0123456789abxyz_ \n\t.-+&|!~<>?/";
    const std::string words[] = {"if (", "else ", "while (", "do ", "for (", ";;", "switch (", "case 1:", "default:",
                                 "break;", "continue;", "goto L;", "L:", "return ", "{", "}", "int ", "static ",
                                 "f(", "g(x)", "= {1, 2}", "\"str\"", "x++", "inline ", "#asm\n nop\n#endasm\n"};
    const std::string inlinefuncs =
        "inline int g(int a) { if (a) return a + 1; return 0; }\n"
        "inline void h(int *p) { *p = 1; }\n";
    for (int i = 0; i < 300; ++i) {
        std::string text;
        for (int k = 0; k < 3; ++k) text += kAccepted[rng() % std::size(kAccepted)] + std::string("\n");
        text += "int m(int x) { int y = g(x) + g(x ? g(1) : 2); h(&y); return y && g(y); }\n";
        for (int round = 0; round < 2; ++round) text = mutate(rng, text, alphabet, words);
        s.write("t.c", inlinefuncs + text);
        RunResult r = runcpppc({"-c99", "-o", "t.ir", "t.c"});
        ASSERT_TRUE(r.status == 0 || r.status == 1) << text;
    }
}

}  // namespace
}  // namespace cpppctest
