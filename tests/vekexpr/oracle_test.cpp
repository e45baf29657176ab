// Outside oracles: integer expressions compiled by the host C compiler on
// int32_t/uint32_t, and the text of doubles from the host's "%.10e" put
// through the display steps.
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "fixture.h"

namespace {

// One random integer expression as the evaluator and as C read it.
struct Text {
    std::string ours, c;
};

class IntExprs {
public:
    explicit IntExprs(uint32_t seed) : rng_(seed) {}

    Text expr(int depth) {
        if (depth == 0 || pick(4) == 0) return atom(depth);
        switch (pick(8)) {
        case 0: return unary(depth);
        case 1: return cast(depth);
        default: return binary(depth);
        }
    }

private:
    std::mt19937 rng_;
    uint32_t pick(uint32_t n) { return uint32_t(rng_() % n); }

    Text atom(int depth) {
        static const Text vars[] = {{"gi", "gi"}, {"u", "u"}, {"i", "i"}, {"j", "j"}, {"r", "r"}, {"$r5", "r5"}};
        switch (pick(4)) {
        case 0: return vars[pick(6)];
        case 1: {
            uint32_t v = pick(40);
            return {std::to_string(v), std::to_string(v)};
        }
        case 2: {
            uint32_t v = uint32_t(rng_());
            char buf[32];
            std::snprintf(buf, sizeof buf, "0x%" PRIX32, v);
            return {buf, std::string("((int32_t)") + buf + "u)"};
        }
        default: return depth > 0 ? cast(depth) : vars[pick(6)];
        }
    }

    Text paren(const Text& t) { return {"(" + t.ours + ")", "(" + t.c + ")"}; }

    Text unary(int depth) {
        static const char* ops[] = {"-", "~", "!"};
        const char* op = ops[pick(3)];
        Text t = paren(expr(depth - 1));
        return {op + t.ours, op + t.c};
    }

    Text cast(int depth) {
        Text t = paren(expr(depth - 1));
        if (pick(2)) return {"(int)" + t.ours, "(int32_t)" + t.c};
        return {"(unsigned)" + t.ours, "(uint32_t)" + t.c};
    }

    Text binary(int depth) {
        static const char* ops[] = {"+", "-", "*", "/", "%", "<<", ">>", "<", "<=", ">", ">=",
                                    "==", "!=", "&", "^", "|", "&&", "||"};
        std::string op = ops[pick(18)];
        Text l = expr(depth - 1), r = expr(depth - 1);
        // Divisors and shift counts stay where C defines them.
        if (op == "/" || op == "%") r = {"(" + r.ours + " & 15 | 1)", "(" + r.c + " & 15 | 1)"};
        if (op == "<<" || op == ">>") r = {"(" + r.ours + " & 31)", "(" + r.c + " & 31)"};
        Text t{l.ours + " " + op + " " + r.ours, l.c + " " + op + " " + r.c};
        return pick(3) ? paren(t) : t;
    }
};

bool havecc() { return std::system("cc --version >/dev/null 2>&1") == 0; }

std::string tempname(const std::string& name) {
    return ::testing::TempDir() + "vekexpr_" + std::to_string(getpid()) + "_" + name;
}

using Oracle = ExprFixture;

TEST_F(Oracle, IntegerExpressionsAgreeWithTheHostCompiler) {
    if (!havecc()) GTEST_SKIP() << "no host C compiler (cc)";
    session->target.regs.setreg(vek::RegR0 + 5, 0x80000001u);
    IntExprs gen(20240611);
    std::vector<Text> exprs;
    for (int k = 0; k < 300; ++k) {
        exprs.push_back(gen.expr(1 + k % 4));
        // A register alone shows in hexadecimal: make it a plain value.
        if (exprs.back().ours == "$r5") exprs.back() = {"$r5 + 0", "r5 + 0"};
    }

    std::string src = tempname("oracle.c"), bin = tempname("oracle");
    {
        std::ofstream out(src);
        out << "#include <stdio.h>\n#include <stdint.h>\n"
               "#define P(e) _Generic((e), uint32_t: printf(\"%u\\n\", (uint32_t)(e)), default: printf(\"%d\\n\", "
               "(int32_t)(e)))\n"
               "int main(void) {\n"
               "    int32_t gi = -5, i = 20, r = 33;\n"
               "    uint32_t u = 0xFFFFFFFFu, j = 7, r5 = 0x80000001u;\n";
        for (const Text& t : exprs) out << "    P(" << t.c << ");\n";
        out << "    return 0;\n}\n";
    }
    std::string out = tempname("oracle.txt");
    std::string cmd = "cc -fwrapv -w -O0 -o " + bin + " " + src + " && " + bin + " > " + out;
    int status = std::system(cmd.c_str());
    std::remove(src.c_str());
    std::remove(bin.c_str());
    ASSERT_EQ(status, 0) << cmd;
    std::ifstream in(out);
    std::string expected;
    for (const Text& t : exprs) {
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(run("x " + t.ours), "    " + t.ours + " = " + line + "\n") << t.c;
    }
    in.close();
    std::remove(out.c_str());
}

// The display steps of a double, written again from the host's text.
std::string display(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10e", d);
    std::string t = buf;
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    std::string sign;
    if (t[0] == '-') {
        sign = "-";
        t.erase(0, 1);
    }
    size_t e = t.find('e');
    std::string mantissa = t.substr(0, e), exponent = t.substr(e);
    int x = std::atoi(exponent.c_str() + 1);
    mantissa.pop_back();   // the tenth fraction digit
    while (mantissa.size() > 3 && mantissa.back() == '0') mantissa.pop_back();
    std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
    if (x >= -4 && x <= -1) {
        std::string s = "0." + std::string(size_t(-x - 1), '0') + digits;
        if (s.back() == '0') s.pop_back();
        return sign + s;
    }
    if (x >= 0 && x <= 6) {
        std::string whole;
        for (size_t k = 0; k <= size_t(x); ++k) whole += k < digits.size() ? digits[k] : '0';
        std::string frac = digits.size() > size_t(x) + 1 ? digits.substr(size_t(x) + 1) : "0";
        return sign + whole + "." + frac;
    }
    return sign + mantissa + exponent;
}

TEST(Doubles, DisplayAgreesWithTheHostText) {
    struct Row {
        double d;
        const char* text;
    };
    for (Row r : {Row{1500.0, "1500.0"}, Row{0.0015, "0.0015"}, Row{1.0e10, "1.0e+10"}, Row{1e-5, "1.0e-05"},
                  Row{1e7, "1.0e+07"}, Row{9999999.0, "9999999.0"}, Row{0.1 + 0.2, "0.3"}, Row{0.1, "0.1"},
                  Row{double(0.1f), "0.1000000014"}, Row{0.0, "0.0"}, Row{-2.5, "-2.5"}, Row{100.0, "100.0"},
                  Row{123.456, "123.456"}, Row{0.015, "0.015"}, Row{12345678.0, "1.2345678e+07"},
                  Row{-0.5, "-0.5"}, Row{1e300, "1.0e+300"}, Row{NAN, "nan"}, Row{INFINITY, "inf"},
                  Row{-INFINITY, "-inf"}}) {
        EXPECT_EQ(vek::dbltext(r.d), r.text) << r.text;
        EXPECT_EQ(display(r.d), r.text) << r.text;
    }
    std::mt19937_64 rng(99);
    for (int k = 0; k < 2000; ++k) {
        double d;
        if (k % 2) {
            uint64_t bits = rng();
            std::memcpy(&d, &bits, sizeof d);
        } else {
            d = double(int64_t(rng() % 2000001) - 1000000) * std::pow(10.0, int(rng() % 25) - 14);
        }
        EXPECT_EQ(vek::dbltext(d), display(d)) << std::hexfloat << d;
    }
}

TEST(Doubles, ConversionsToIntegers) {
    EXPECT_EQ(vek::dbltoint(NAN, 24), 0u);
    EXPECT_EQ(vek::dbltoint(3.7, 24), 3u);
    EXPECT_EQ(vek::dbltoint(-3.7, 24), uint32_t(-3));
    EXPECT_EQ(vek::dbltoint(1e20, 24), 0x7FFFFFFFu);
    EXPECT_EQ(vek::dbltoint(-1e20, 24), 0x80000000u);
    EXPECT_EQ(vek::dbltoint(1e20, 33), 0xFFFFFFFFu);
    EXPECT_EQ(vek::dbltoint(-1.0, 26), 0u);
    EXPECT_EQ(vek::dbltoint(-200.0, 8), uint32_t(-128));
    EXPECT_EQ(vek::dbltoint(0.5, 1), 1u);
    EXPECT_EQ(vek::inttodbl(0xFFFFFFFF, 26), 4294967295.0);
    EXPECT_EQ(vek::inttodbl(0xFFFFFFFF, 24), -1.0);
}

}  // namespace
