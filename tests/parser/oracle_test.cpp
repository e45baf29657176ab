// Differential tests against the host preprocessor (cpp -P -undef
// -nostdinc) on conforming inputs, and a bounded fuzz run of cpppc -e.
// The inputs stay clear of this preprocessor's deliberate departures from
// ISO C: empty macro arguments, '#' in object-like macros, `defined`
// outside #if, __STDC__, sizeof in #if, redefinitions, an invocation whose
// '(' follows a blank after a name produced by another macro, and stringized
// arguments with runs of blanks.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>

#include "harness.h"

namespace cpppctest {
namespace {

// Splits C text into tokens (white space and line structure ignored).
std::vector<std::string> ctokens(const std::string& s) {
    static const char* const puncts[] = {"...", "<<=", ">>=", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=",
                                         "&&",  "||",  "+=",  "-=", "*=", "/=", "%=", "&=", "^=", "|=", "##"};
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        if (std::isalpha(c) || c == '_') {
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
        } else if (std::isdigit(c) || (c == '.' && j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))) {
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '.' || s[j] == '_' ||
                                    ((s[j] == '+' || s[j] == '-') && (s[j - 1] == 'e' || s[j - 1] == 'E'))))
                ++j;
        } else if (c == '"' || c == '\'') {
            while (j < s.size() && s[j] != static_cast<char>(c) && s[j] != '\n') j += s[j] == '\\' ? 2 : 1;
            ++j;
        } else {
            for (const char* p : puncts) {
                size_t n = std::strlen(p);
                if (s.compare(i, n, p) == 0) {
                    j = i + n;
                    break;
                }
            }
        }
        out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

bool hostcpp(const std::string& file, std::string& out) {
    std::string cmd = "cpp -P -undef -nostdinc " + file + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0;
}

bool havecpp() { return std::system("cpp --version > /dev/null 2>&1") == 0; }

const char* const kCorpus[] = {
    "#define N 10\nint a[N];\n",
    "#define f(x) ((x) * 2)\nf(1) f(f(2)) f((a, b))\n",
    "#define str(s) #s\n#define xstr(s) str(s)\n#define V 42\nstr(V) xstr(V) str(a \"q\\n\" 'c')\n",
    "#define cat(a, b) a ## b\n#define xcat(a, b) cat(a, b)\ncat(x, 1) cat(1, 2) xcat(cat(a, b), c) cat(<, <=)\n",
    "#define x 3\n#define f(a) f(x * (a))\n#undef x\n#define x 2\n#define g f\n#define z z[0]\n"
    "#define h g(~\n#define m(a) a(w)\n#define w 0,1\n#define t(a) a\n#define p() int\n#define q(x) x\n"
    "#define r(x,y) x ## y\nf(y+1) + f(f(z)) % t(t(g)(0) + t)(1);\ng(x+(3,4)-w) | h 5) & m\n(f)^m(m);\n",
    "#define AA BB\n#define BB AA\nAA BB\n",
    "#define LPAREN (\n#define F(x) [x]\nF LPAREN 1 )\n",
    "#define EMPTY\nint EMPTY x EMPTY ;\n",
    "#define f(a, b) a + b\nf(\n1,\n2\n) end\n",
    "#if 1\na\n#elif 1\nb\n#else\nc\n#endif\n#if 0\nd\n#elif 2 > 1\ne\n#endif\n",
    "#define A\n#ifdef A\nyes\n#endif\n#ifndef A\nno\n#endif\n#if defined A && defined(A) && !defined B\nboth\n#endif\n",
    "#if 0\n#if 1\nx\n#else\ny\n#endif\n#else\nz\n#endif\n",
    "#define V 3\n#if V * 2 == 6 && (V << 2) == 12 && -V / 2 == -1 && -7 % 3 == -1\nok\n#endif\n",
    "#define f(x) x\n#define g f(\ng 1)\n",
    "x = 1 + \\\n2;\n/* c */ y /* d\ne */ z // f\n",
    "#define P(...) f(__VA_ARGS__)\nP(1) P(1, 2, 3) P((a, b), c)\n",
    "#define max(a, b) ((a) > (b) ? (a) : (b))\nint m = max(max(1, 2), max(3, 4));\n",
    "#define OBJ (1 + 2)\n#define FN(x) (x + OBJ)\nFN(OBJ) FN(FN(0))\n",
    "#define s(x) #x\ns(\"a\\\\b\") s('\\'') s(a\\b)\n",
    "#define t(x,y,z) x ## y ## z\nint j[] = { t(1,2,3), t(1,2,4), };\n",
    "#define debug(...) fprintf(stderr, __VA_ARGS__)\n#define showlist(...) puts(#__VA_ARGS__)\n"
    "debug(\"Flag\");\ndebug(\"X = %d\\n\", x);\nshowlist(The first, second, and third items.);\n",
    "0x1e .5 1.e+5 07 0b1 1u 'a' L\"w\" x...y a->b c++ --d e<<=1 f>>=2\n",
    "#line 100\n__LINE__\n#define L __LINE__\nL\n",
    "#define str(s) # s\n#define xstr(s) str(s)\n#define INCFILE(n) vers ## n\n"
    "#define glue(a, b) a ## b\n#define xglue(a, b) glue(a, b)\n#define HIGHLOW \"hello\"\n#define LOW LOW \", world\"\n"
    "fputs(str(strncmp(\"abc\\0d\", \"abc\", '\\4') // this goes away\n== 0) str(: @\\n), s);\n"
    "xstr(INCFILE(2).h) glue(HIGH, LOW); xglue(HIGH, LOW) str(a /* \" */ b)\n",
    // tokens moved in from the rest of the line are not protected by the
    // macro whose result they complete
    "#define f(a) a + f(a)\n#define g f\nint w = g(g(z));\n",
    // an invocation left open inside a nested result is completed from the
    // enclosing lists out to the source line
    "#define B C\n#define C K(\n#define K(S) S\nB x )\n#define h(a) a C 1)\nh(2)\n#define q(x) K\nq(1)(7)\n",
    // tokens an expansion puts side by side are written apart
    "#define plus +\n1 plus++b\n#define D() A\nD()Q\n#define E 1e\n#define M -\nE M+5 M-1 D()1\n",
    "#if 1 || (1, 2)\nok1\n#endif\n#if 0 ? 3,4 : 2\nok2\n#endif\n",
};

class HostOracle : public testing::TestWithParam<int> {};

TEST_P(HostOracle, SameTokens) {
    if (!havecpp()) GTEST_SKIP() << "host cpp not installed";
    Scratch s;
    std::string source = kCorpus[GetParam()];
    bool c99 = source.find("__VA_ARGS__") != std::string::npos;
    std::vector<std::string> options = {"-cq"};  // comments removed, as cpp does
    if (c99) options.push_back("-c99");
    RunResult r = preprocess(s, source, options);
    std::string want;
    ASSERT_TRUE(hostcpp("t.c", want)) << source;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ctokens(r.out), ctokens(want)) << source << "\n--- cpppc:\n" << r.out << "\n--- cpp:\n" << want;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostOracle, testing::Range(0, static_cast<int>(std::size(kCorpus))));

// Random #if expressions over small numbers: both preprocessors take the
// same branches. Divisors are non-zero literals and values stay far from
// 32-bit overflow, where the host's wider arithmetic would differ.
std::string randomexpr(std::mt19937& rng, int depth) {
    if (depth == 0 || rng() % 4 == 0) {
        int v = static_cast<int>(rng() % 50);
        switch (rng() % 4) {
        case 0: return std::to_string(v);
        case 1: return "0x" + std::to_string(v % 10);
        case 2: return "M" + std::to_string(v % 3);
        default: return "(" + std::to_string(v) + ")";
        }
    }
    static const char* const ops[] = {"+", "-", "*", "<", ">", "<=", ">=", "==", "!=", "&&", "||", "&", "|", "^"};
    switch (rng() % 6) {
    case 0: return "-(" + randomexpr(rng, depth - 1) + ")";
    case 1: return "!(" + randomexpr(rng, depth - 1) + ")";
    case 2: return "(" + randomexpr(rng, depth - 1) + " / " + std::to_string(1 + rng() % 9) + ")";
    case 3:
        return "(" + randomexpr(rng, depth - 1) + " ? " + randomexpr(rng, depth - 1) + " : " + randomexpr(rng, depth - 1) + ")";
    case 4: return "(" + randomexpr(rng, depth - 1) + " << " + std::to_string(rng() % 8) + ")";
    default:
        return "(" + randomexpr(rng, depth - 1) + " " + ops[rng() % std::size(ops)] + " " + randomexpr(rng, depth - 1) + ")";
    }
}

TEST(HostOracleIf, RandomExpressions) {
    if (!havecpp()) GTEST_SKIP() << "host cpp not installed";
    Scratch s;
    std::mt19937 rng(2026);
    std::string source = "#define M0 7\n#define M1 (M0 - 9)\n#define M2 defined(M0)\n";
    for (int i = 0; i < 400; ++i)
        source += "#if " + randomexpr(rng, 3) + "\ny" + std::to_string(i) + "\n#else\nn" + std::to_string(i) + "\n#endif\n";
    // defined produced by a macro is left to the host's reading of it
    source.replace(source.find("#define M2 defined(M0)"), 22, "#define M2 (M0 > 0)");
    RunResult r = preprocess(s, source);
    std::string want;
    ASSERT_TRUE(hostcpp("t.c", want));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ctokens(r.out), ctokens(want));
}

// Random macro sets: each macro uses only macros of a higher number (no
// recursion), parameters, '#' before a parameter and '##' between names;
// arguments are single names or numbers, written without blanks before '('.
std::string randommacros(std::mt19937& rng) {
    const int n = 8;
    std::vector<int> params(n);
    std::string text;
    for (int m = 0; m < n; ++m) params[m] = static_cast<int>(rng() % 4) - 1;  // -1 object-like, 0 "()", 1, 2
    auto invocation = [&](int m, const std::vector<std::string>& pool) {
        std::string s = "M" + std::to_string(m);
        if (params[m] < 0) return s;
        s += "(";
        for (int a = 0; a < params[m]; ++a) s += (a ? ", " : "") + pool[rng() % pool.size()];
        return s + ")";
    };
    for (int m = 0; m < n; ++m) {
        std::vector<std::string> pnames;
        std::string head = "#define M" + std::to_string(m);
        if (params[m] >= 0) {
            head += "(";
            for (int p = 0; p < params[m]; ++p) {
                pnames.push_back(std::string(1, static_cast<char>('p' + p)));
                head += (p ? ", " : "") + pnames.back();
            }
            head += ")";
        }
        std::vector<std::string> pool = {"1", "x", "y2"};
        for (const std::string& p : pnames) pool.push_back(p);
        std::string body;
        int items = 1 + static_cast<int>(rng() % 5);
        for (int i = 0; i < items; ++i) {
            std::string item;
            int kind = static_cast<int>(rng() % 6);
            if (kind == 0 && !pnames.empty()) {
                item = "#" + pnames[rng() % pnames.size()];
            } else if (kind == 1) {
                item = pool[rng() % pool.size()] + " ## " + (pnames.empty() ? "z" : pnames[rng() % pnames.size()]);
            } else if (kind == 2 && m + 1 < n) {
                item = invocation(m + 1 + static_cast<int>(rng() % (n - m - 1)), pool);
            } else if (kind == 3) {
                item = "+";
            } else {
                item = pool[rng() % pool.size()];
            }
            body += " " + item;
        }
        text += head + body + "\n";
    }
    std::vector<std::string> args = {"7", "a", "b", "M1", "M5", "q"};
    for (int line = 0; line < 6; ++line) {
        for (int k = 0; k < 3; ++k) text += invocation(static_cast<int>(rng() % n), args) + " ; ";
        text += "\n";
    }
    for (int m = 0; m < n; ++m) text += "#undef M" + std::to_string(m) + "\n";
    return text;
}

TEST(HostOracleMacros, RandomMacroSets) {
    if (!havecpp()) GTEST_SKIP() << "host cpp not installed";
    Scratch s;
    std::mt19937 rng(4711);
    std::string source;
    for (int i = 0; i < 150; ++i) source += randommacros(rng);
    RunResult r = preprocess(s, source);
    std::string want;
    ASSERT_TRUE(hostcpp("t.c", want));
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> got = ctokens(r.out), expected = ctokens(want);
    size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    EXPECT_EQ(i, expected.size()) << "first difference at token " << i << ": "
                                  << (i < got.size() ? got[i] : "<end>") << " vs "
                                  << (i < expected.size() ? expected[i] : "<end>");
    EXPECT_EQ(got.size(), expected.size());
}

// Random edits of the corpus: cpppc -e ends with 0 or 1 and never crashes
// (the test build runs under the sanitizers).
TEST(Fuzz, PreprocessRandomEdits) {
    Scratch s;
    std::mt19937 rng(77);
    const std::string alphabet = "#()\\\"'/*,.\n ab_1x#\t?=<>:;{}[]%&|!~^+-L\r";
    const std::string words[] = {"#define ", "#if ", "#include \"t.c\"\n", "##", "#endif\n", "__VA_ARGS__", "defined",
                                 "/*", "*/", "//", "?" "?/", "?" "?=", "\\\n", "#line 0\n", "#asm\n", "#else\n", "sizeof(",
                                 "#define f(x) x x\n", "f(f(f(f("};
    for (int i = 0; i < 250; ++i) {
        std::string text = mutate(rng, kCorpus[rng() % std::size(kCorpus)], alphabet, words);
        std::vector<std::string> opts = {"-o", "out.i"};
        if (rng() % 2) opts.push_back("-c99");
        if (rng() % 3 == 0) opts.push_back("-cr");
        RunResult r = preprocess(s, text, opts);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << text;
    }
}

}  // namespace
}  // namespace cpppctest
