// The preprocessor through cpppc -e: lines, tokens, directives, macros and
// the written text. Each case is a source, options, the expected text and
// the expected diagnostics (empty: none, status 0).
#include "harness.h"

namespace cpppctest {
namespace {

struct PpCase {
    const char* name;
    std::string source;
    std::string expected;
    std::string diagnostics = "";
    std::vector<std::string> options = {};
};

void PrintTo(const PpCase& c, std::ostream* os) { *os << c.name; }

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

class Preprocess : public testing::TestWithParam<PpCase> {};

TEST_P(Preprocess, Text) {
    Scratch s;
    const PpCase& c = GetParam();
    RunResult r = preprocess(s, c.source, c.options);
    EXPECT_EQ(r.out, c.expected) << c.source;
    EXPECT_EQ(r.err, c.diagnostics) << c.source;
    EXPECT_EQ(r.status, c.diagnostics.find("#error") != std::string::npos ? 1 : 0);
}

const PpCase kLines[] = {
    {"trigraphs", "int a?" "?(3?" "?);\n", "int a[3];\n"},
    {"continuation", "x = 1 + \\\n2;\n", "x = 1 + 2;\n"},
    {"comment kept", "a/**/b\n", "a/**/b\n"},
    {"crlf and bom", "\xEF\xBB\xBFx\r\ny\r\n", "x\ny\n"},
    {"last line without newline", "a b", "a b\n"},
    {"trigraph hash define", "?" "?=define X 5\nX\n", "5\n"},
    {"trigraph continuation", "a ?" "?/\nb\n", "a b\n"},
    {"backslash only line continues", "a\n\\\nb\n", "a\nb\n"},
    {"comment spanning lines", "a /* x\ny */ b\n", "a /* x\ny */ b\n"},
    {"unclosed comment", "a /* x\n", "a /* x\n", "#error cpppc t.c:1 unclosed comment at end of file\n"},
    {"unbalanced quote", "x = \"abc\n", "x = \"abc\n", "#error cpppc t.c:1 unbalanced \"\n"},
    {"hex sign without sa", "#define E 0x1e+5\nE\n", "0x1e+5\n"},
    {"dots", "x...y .. .5\n", "x...y .. .5\n"},
};
INSTANTIATE_TEST_SUITE_P(Lines, Preprocess, testing::ValuesIn(kLines));

const PpCase kMacros[] = {
    {"stringize keeps blanks", "#define f(a) #a\nf( x  +  y )\n", "\"x  +  y\"\n"},
    {"stringize drops comments", "#define str(s) #s\nstr(a /* \" */ b) str(x/**/y)\n", "\"a b\" \"x y\"\n"},
    {"stringize escapes", "#define str(s) #s\nstr(\"a\\n\")\n", "\"\\\"a\\\\n\\\"\"\n"},
    {"paste", "#define cat(a,b) a##b\ncat(x,1) cat(+,-)\n", "x1 +-\n"},
    {"nested argument", "#define f(x) x+1\nf(f(2))\n", "2+1+1\n"},
    {"mutual recursion stops", "#define a b\n#define b a\na b\n", "a b\n"},
    {"completion from the line", "#define g(x) (x)\n#define f g\nf(3) f (3)\n", "(3) g (3)\n"},
    {"invocation on next line", "#define f(x, y) [x y]\nf\n(1,\n2) z\n", "[1 2] z\n"},
    {"directive after a name", "#define f(x) x\nf\n#define g 1\ng f\n(2)\n", "f\n1 2\n"},
    {"empty parameter list", "#define h() 1\nh()\n", "1\n"},
    {"arguments to empty list", "#define h() 1\nh(2) h() x\n", "h(2) 1 x\n",
     "#error cpppc t.c:2 too many arguments for macro h\n"},
    {"too many arguments", "#define f(a) [a]\nf(1,2) f(3)\n", "[1] [3]\n",
     "#error cpppc t.c:2 too many arguments for macro f\n"},
    {"missing argument", "#define f(a,b) a\nf(1) y\n", "f(1) y\n", "#error cpppc t.c:2 missing argument for macro f\n"},
    {"variadic", "#define P(fmt, ...) f(fmt, __VA_ARGS__)\nP(a) P(a, b, c)\n", "f(a, ) f(a, b, c)\n", "", {"-c99"}},
    {"variadic needs c99", "#define P(fmt, ...) f(fmt)\n", "", "#error cpppc t.c:1 bad macro argument\n"},
    {"paste with empty variadic", "#define Q(a, ...) a ## __VA_ARGS__\nQ(x) Q(x,y)\n", "x xy\n", "", {"-c99"}},
    {"hash in object-like macro", "#define o # x\no o\n", "# x # x\n",
     "#error cpppc t.c:2 bad # argument in macro o\n#error cpppc t.c:2 bad # argument in macro o\n"},
    {"line inside macro", "#define L __LINE__\n\n\nL\n", "\n\n4\n"},
    {"predefined", "__STDC__ __TRGT__ __FILE__\n#ifdef __ORBT__\nyes\n#endif\n", "1 \"PPC\" \"t.c\"\nyes\n"},
    {"redefine predefined", "#define __FILE__ 1\n", "", "#error cpppc t.c:1 can't redefine macro __FILE__\n"},
    {"undef predefined", "#undef __LINE__\n", "", "#error cpppc t.c:1 can't undef macro __LINE__\n"},
    {"same redefinition", "#define A 1  +  2\n#define A 1 + 2\nA\n", "1  +  2\n"},
    {"changed redefinition", "#define A 1+2\n#define A 1 + 2\nA\n", "1+2\n",
     "#error cpppc t.c:2 can't redefine macro A\n"},
    {"defined on every line", "#define X\ndefined(X) defined Y\n", "1 0\n"},
    {"paste comment", "#define C(a,b) a##b\nx C(/,/) y\nz\n", "x // y\nz\n"},
    {"bad paste", "#define C(a,b) a##b\nC(/,*) C(\"a\",\"b\")\n", "/ \"a\"\"b\"\n",
     "#error cpppc t.c:2 bad ## arguments in macro C\n"},
    {"missing paste operand", "#define C(a) a ##\nC(1)\n", "1\n", "#error cpppc t.c:2 missing ## argument in macro C\n"},
    {"define inside comment continues", "#define A 1 /* c\n */ + 2\nA\n", "1 /* c\n */ + 2\n"},
    {"macro into directive", "#define P \\#pragma message(hi)\nP\n", "#pragma message(hi)\n"},
    {"doubling arguments stop", "#define f(x) x x\n" + repeat("f(", 22) + "1" + repeat(")", 22) + "\ny\n", "\ny\n",
     "#error cpppc t.c:2 macro expansion too large\n"},
    {"long stringize", "#define S(x) #x\nS(" + std::string(3000, 'a') + ")\n", "\"" + std::string(3000, 'a') + "\"\n"},
};
INSTANTIATE_TEST_SUITE_P(Macros, Preprocess, testing::ValuesIn(kMacros));

const PpCase kDirectives[] = {
    {"if elif else", "#if 1\na\n#elif 1\nb\n#else\nc\n#endif\n#if 0\nd\n#elif 0\ne\n#else\nf\n#endif\n", "a\nf\n"},
    {"inactive regions are quiet", "#if 0\n#foo\n#define\n#include\n#if 1\n#else\n#endif\n#endif\nok\n", "ok\n"},
    {"else twice", "#if 1\n#else\n#else\n#endif\n", "", "#error cpppc t.c:3 bad #else\n"},
    {"elif after else", "#if 0\n#else\n#elif 1\n#endif\n", "", "#error cpppc t.c:3 bad #else\n"},
    {"stray endif", "#endif\n", "", "#error cpppc t.c:1 bad #endif\n"},
    {"missing endif", "#if 1\n#if 0\n#else\n", "", "#error cpppc t.c:3 missing #endif directive\n"},
    {"sizeof in if", "#if sizeof(int) == 4 && sizeof(char *) == 2 && sizeof(double) == 8\nok\n#endif\n", "ok\n"},
    {"sizeof of constants", "#if sizeof(1.0) == 8 && sizeof(1.0f) == 4 && sizeof(\"abc\" \"d\") == 5 && sizeof(1 / 0) == 4\nok\n#endif\n",
     "ok\n"},
    {"sizeof with sa", "#if sizeof(int) == 4\nno\n#else\nok\n#endif\n", "ok\n",
     "#error cpppc t.c:1 incomplete #if expression\n", {"-sa"}},
    {"unsigned compare", "#if -1 > 0u\nok\n#endif\n#if (-1 >> 1) == -1 && 0x7fffffff + 1 < 0\nok2\n#endif\n",
     "ok\nok2\n"},
    {"if zero divide", "#if 1 / 0\n#endif\n", "",
     "#error cpppc t.c:1(6) zero divide\n#error cpppc t.c:1(8) invalid constant expression\n"},
    {"short circuit", "#if 0 && 1 / 0 || 1 ? 1 : 2 / 0\nok\n#endif\n", "ok\n"},
    {"deep conditional operators", "#if " + repeat("1?", 300) + "1" + repeat(":1", 300) + "\nno\n#endif\n", "",
     "#error cpppc t.c:1(403) expression too complex\n#error cpppc t.c:1 bad #if expression\n"},
    {"empty if", "#if\n#endif\n", "", "#error cpppc t.c:1 missing expression\n#error cpppc t.c:1 bad #if expression\n"},
    {"incomplete if", "#if 1 2\n#endif\n", "", "#error cpppc t.c:1 incomplete #if expression\n"},
    {"names are zero", "#if UNDEFINED_NAME == 0\nok\n#endif\n", "ok\n"},
    {"bad directive", "#frobnicate x\n", "", "#error cpppc t.c:1 bad # directive: frobnicate\n"},
    {"null directive", "#\nx\n", "x\n"},
    {"error directive", "#error  a   b\n", "", "#error cpppc t.c:1 a   b\n"},
    {"line directive", "#line 100 \"x.c\"\n__LINE__ __FILE__\n", "100 \"x.c\"\n"},
    {"line one", "\n\n#line 1\n__LINE__\n", "\n\n1\n"},
    {"bad line", "#line x\n#line\n", "",
     "#error cpppc t.c:1 invalid line number\n#error cpppc t.c:2 missing line number\n"},
    {"pragma copied with e", "#pragma message(x)\n#pragma other\n", "#pragma message(x)\n#pragma other\n"},
    {"asm block", "#asm\n mr r3,r4 ; comment\n#endasm\nx;\n", "#asm\n mr r3,r4\n#endasm\nx;\n", "", {"-cq"}},
    {"pragma asm", "#pragma asm\n nop\n#pragma endasm\n", "#asm\n nop\n#endasm\n"},
    {"asm errors", "#endasm\n#asm\n#asm\n", "",
     "#error cpppc t.c:1 bad #endasm directive\n#error cpppc t.c:3 bad #asm directive\n"},
    {"include bad syntax", "#include foo\n#include <a\n#include \"\"\n", "",
     "#error cpppc t.c:1 bad #include syntax\n#error cpppc t.c:2 missing '>' in #include\n"
     "#error cpppc t.c:3 missing file name in #include\n"},
    {"include missing", "#include \"nothere.h\"\nx\n", "x\n", "#error cpppc t.c:1 can't open nothere.h\n"},
    {"include itself", "#include \"t.c\"\n", "", "#error cpppc t.c:1 #include nested too deeply: t.c\n"},
    {"include itself twice", "#include \"t.c\"\n#include \"t.c\"\nx\n", "",
     "#error cpppc t.c:1 #include nested too deeply: t.c\n"},
    {"undef with sa", "#define A\n#undef A B\n", "", "#error cpppc t.c:2 unexpected token\n", {"-sa"}},
    {"slash comment under sa", "#define X a // b\nX\n", "a // b\n", "", {"-sa"}},
    {"slash comment", "#define X a // b\nX\n", "a\n"},
    {"cr markers", "a/* c */b\n\n#if 0\n#endif\nc\n", "#line 1 \"t.c\"\na b\n\n#line 5 \"t.c\"\nc\n", "", {"-cr"}},
    {"cq drops comments", "a/* c */b // d\nx\n", "a b\nx\n", "", {"-cq"}},
};
INSTANTIATE_TEST_SUITE_P(Directives, Preprocess, testing::ValuesIn(kDirectives));

TEST(PreprocessLines, LogicalLineTooLong) {
    Scratch s;
    RunResult r = preprocess(s, std::string(17000, 'a') + "\nb\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cpppc t.c:1 logical line too long\n");
    EXPECT_EQ(r.out, std::string(17000, 'a') + "\nb\n");
    r = preprocess(s, "x" + std::string(21000, ' ') + "y\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cpppc t.c:1 line too long\n");
}

TEST(PreprocessLines, LineNumbersAcrossIncludes) {
    Scratch s;
    s.write("h.h", "#line 50\nh __LINE__\n");
    s.write("dir/x.h", "d\n");
    RunResult r = preprocess(s, "#line 10\n#include \"h.h\"\n__LINE__\n#include \"dir/x.h\"\ne\n", {"-cr"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "#line 50 \"h.h\"\nh 50\n#line 11 \"t.c\"\n11\n#line 1 \"dir/x.h\"\nd\n#line 13 \"t.c\"\ne\n");
    // A name written with '\' is opened with '/' and keeps its spelling,
    // with the backslash doubled in the marker.
    r = preprocess(s, "#include \"dir\\x.h\"\n", {"-cr"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "#line 1 \"dir\\\\x.h\"\nd\n");
}

TEST(PreprocessLines, MissingEndifInHeader) {
    Scratch s;
    s.write("h.h", "#if 1\n#else\n");
    RunResult r = preprocess(s, "#include \"h.h\"\nx\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cpppc h.h:2 missing #endif directive\n");
}

TEST(PreprocessLines, LongExpansionIsBroken) {
    Scratch s;
    std::string def = "#define A ";
    for (int i = 0; i < 400; ++i) def += "xxxxxxx ";
    RunResult r = preprocess(s, def + "\nA A\n");
    EXPECT_EQ(r.status, 0) << r.err;
    size_t first = r.out.find('\n');
    EXPECT_GE(first, 2049u);
    EXPECT_LT(first, 2100u);
}

TEST(PreprocessLines, DateAndTime) {
    Scratch s;
    RunResult r = preprocess(s, "__DATE__ __TIME__\n");
    ASSERT_EQ(r.status, 0);
    // "Mmm dd yyyy" "hh:mm:ss"
    ASSERT_EQ(r.out.size(), 13u + 1 + 10 + 1) << r.out;
    EXPECT_EQ(r.out[0], '"');
    EXPECT_EQ(r.out[4], ' ');
    EXPECT_NE(r.out[5], '0');
    EXPECT_EQ(r.out[17], ':');
}

TEST(PreprocessLines, DiagnosticFormats) {
    Scratch s;
    // A column is known once the token stream converts a token.
    s.write("c.c", "int a = 5000000000;\nint b = 'x;\n");
    RunResult r = runcpppc({"-o", "c.i", "c.c"});
    EXPECT_EQ(r.err, "#error cpppc c.c:1(8+10) integer constant too large\n#error cpppc c.c:2 unbalanced '\n");
    r = runcpppc({"-ge", "-o", "c.i", "c.c"});
    EXPECT_EQ(r.err, "c.c:1:9: integer constant too large\nc.c:2:1: unbalanced '\n");
    // The same position in another file is not a repeat.
    s.write("d.h", "$\n");
    s.write("d.c", "$\n#include \"d.h\"\n");
    r = runcpppc({"-o", "d.i", "d.c"});
    EXPECT_EQ(r.err, "#error cpppc d.c:1(0) bad character $\n#error cpppc d.h:1(0) bad character $\n");
}

}  // namespace
}  // namespace cpppctest
