// Differential tests of expression folding and rewriting against the host C
// compiler (gcc -fwrapv; int and unsigned int are 32 bits there as on the
// target, plain char is signed on both, and no long appears).
//
// 1. Random constant expressions become enumerator values; parsedump's
//    values must equal what a generated host program prints.
// 2. Random expressions over int, unsigned, char, short and bit-field
//    variables: the finished tree, printed by parsedump as C text with every
//    node's type made explicit, and the source expression must agree on
//    random inputs. This checks every fold and rewrite of the parser.
//
// The generator keeps clear of what C leaves undefined: divisors are
// ((e) & 7) + 1, shift counts are literals 0 to 31, and signed
// subexpressions are kept within the int range by tracking a bound on their
// magnitude (unsigned arithmetic may wrap freely).
#include <cstdio>
#include <map>
#include <random>
#include <sstream>

#include "harness.h"

namespace cpppctest {
namespace {

constexpr double kIntLimit = 2147483647.0;

struct Term {
    std::string text;
    bool uns;      // of type unsigned int after the promotions
    double bound;  // signed terms: the largest magnitude it can have
};

struct Variable {
    const char* name;
    bool uns;
    double bound;
};

class Generator {
public:
    Generator(uint32_t seed, bool constants) : rng_(seed), constants_(constants) {}

    Term expr(int depth) {
        if (depth == 0 || pick(5) == 0) return leaf();
        for (int attempt = 0; attempt < 8; ++attempt) {
            Term t;
            if (combine(depth, t)) return t;
        }
        return leaf();
    }

private:
    std::mt19937 rng_;
    bool constants_;

    int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
    static std::string paren(const std::string& s) { return "(" + s + ")"; }

    Term leaf() {
        static const Variable vars[] = {
            {"i1", false, 1000}, {"i2", false, 1000}, {"u1", true, 0},     {"u2", true, 0},
            {"c1", false, 128},  {"uc1", false, 255}, {"s1", false, 32768}, {"us1", false, 65535},
            {"bf.b3", false, 7}, {"bf.b9", false, 511},
        };
        if (!constants_ && pick(3) != 0) {
            const Variable& v = vars[pick(static_cast<int>(std::size(vars)))];
            return {v.name, v.uns, v.bound};
        }
        switch (pick(9)) {
        case 0: return {"0xFFFFFFFFu", true, 0};
        case 1: return {"0x80000000", true, 0};
        case 2: return {"0x7FFFFFFF", false, kIntLimit};
        case 3: {
            uint32_t v = rng_() & 0xFFFF;
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%Xu", v);
            return {buf, true, 0};
        }
        case 4: {
            int k = pick(16);
            return {std::to_string(1 << k), false, static_cast<double>(1 << k)};
        }
        case 5: return {"'" + std::string(1, static_cast<char>('a' + pick(26))) + "'", false, 127};
        case 6: return {std::to_string(pick(300)) + "u", true, 0};
        default: {
            int v = pick(100);
            return {std::to_string(v), false, static_cast<double>(v)};
        }
        }
    }

    static double pow2above(double b) {
        double p = 1;
        while (p <= b) p *= 2;
        return p;
    }

    bool combine(int depth, Term& out) {
        switch (pick(12)) {
        case 0: {  // unary
            Term a = expr(depth - 1);
            switch (pick(3)) {
            case 0: out = {"-" + paren(a.text), a.uns, a.bound}; return true;
            case 1:
                if (a.bound + 1 > kIntLimit) return false;
                out = {"~" + paren(a.text), a.uns, a.bound + 1};
                return true;
            default: out = {"!" + paren(a.text), false, 1}; return true;
            }
        }
        case 1: {  // casts
            Term a = expr(depth - 1);
            switch (pick(6)) {
            case 0: out = {"(char)" + paren(a.text), false, 128}; return true;
            case 1: out = {"(unsigned char)" + paren(a.text), false, 255}; return true;
            case 2: out = {"(short)" + paren(a.text), false, 32768}; return true;
            case 3: out = {"(unsigned short)" + paren(a.text), false, 65535}; return true;
            case 4: out = {"(int)" + paren(a.text), false, a.uns ? 2147483648.0 : a.bound}; return true;
            default: out = {"(unsigned)" + paren(a.text), true, 0}; return true;
            }
        }
        case 2: {  // conditional
            Term c = expr(depth - 1), a = expr(depth - 1), b = expr(depth - 1);
            bool uns = a.uns || b.uns;
            out = {paren(c.text) + " ? " + paren(a.text) + " : " + paren(b.text), uns, std::max(a.bound, b.bound)};
            return true;
        }
        default: break;
        }
        static const char* const ops[] = {"+", "-", "*", "/", "%", "&", "|", "^", "<<", ">>", "<", "<=",
                                          ">", ">=", "==", "!=", "&&", "||"};
        std::string op = ops[pick(static_cast<int>(std::size(ops)))];
        Term a = expr(depth - 1);
        if (op == "<<" || op == ">>") {
            int k = pick(32);
            if (op == "<<" && !a.uns) {
                while (k > 0 && a.bound * static_cast<double>(uint64_t{1} << k) > kIntLimit) --k;
            }
            double bound = op == "<<" ? a.bound * static_cast<double>(uint64_t{1} << k) : a.bound;
            out = {paren(a.text) + " " + op + " " + std::to_string(k), a.uns, bound};
            return true;
        }
        Term b = expr(depth - 1);
        if (op == "/" || op == "%") b = {paren("(" + b.text + ") & 7") + " + 1", b.uns, 8};
        bool uns = a.uns || b.uns;
        double bound = 0;
        if (op == "+" || op == "-")
            bound = a.bound + b.bound;
        else if (op == "*")
            bound = a.bound * b.bound;
        else if (op == "/")
            bound = a.bound;
        else if (op == "%")
            bound = std::min(a.bound, 8.0);
        else if (op == "&" || op == "|" || op == "^")
            bound = pow2above(std::max(a.bound, b.bound));
        else
            bound = 1, uns = false;
        // a signed result must stay in range; an unsigned operand makes it unsigned
        if (!uns && bound > kIntLimit) return false;
        if (!uns && (op == "&" || op == "|" || op == "^") && (a.bound > kIntLimit || b.bound > kIntLimit)) return false;
        out = {paren(a.text) + " " + op + " " + paren(b.text), uns, bound};
        return true;
    }
};

// Compiles a host program in the scratch directory: its path, or empty
// with the compiler's messages in out.
std::string buildhost(const Scratch& s, const std::string& program, std::string& out) {
    s.write("host.c", program);
    std::string exe = (s.dir() / "host").string();
    int status = 0;
    out = capture("gcc -w -fwrapv -O0 -o " + exe + " " + (s.dir() / "host.c").string() + " 2>&1", status);
    return status == 0 ? exe : std::string();
}

const char* const kHostDecls =
    "int i1, i2; unsigned u1, u2; char c1; unsigned char uc1; short s1; unsigned short us1;\n"
    "struct Bits { unsigned char b3 : 3; unsigned short b9 : 9; } bf;\n";

TEST(HostExpressions, ConstantFolding) {
    if (!havegcc()) GTEST_SKIP() << "host gcc not installed";
    Scratch s;
    Generator gen(1234, true);
    constexpr int kCount = 2500;
    std::vector<std::string> exprs;
    for (int n = 0; n < kCount; ++n) exprs.push_back(gen.expr(4).text);
    std::string source, host = "#include <stdio.h>\nint main(void) {\n";
    for (int n = 0; n < kCount; ++n) {
        if (n % 250 == 0) source += (n ? "\n};\n" : "") + std::string("enum T") + std::to_string(n) + " {\n";
        source += (n % 250 ? ",\n  E" : "  E") + std::to_string(n) + " = " + exprs[static_cast<size_t>(n)];
        host += "  printf(\"%d\\n\", (int)(" + exprs[static_cast<size_t>(n)] + "));\n";
    }
    source += "\n};\n";
    host += "  return 0;\n}\n";
    RunResult r = parsedump(s, source);
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 2000);
    std::map<std::string, std::string> values;
    for (const std::string& line : section(r.out, "tags")) {
        size_t eq = line.find(" = ");
        if (eq != std::string::npos) values[line.substr(line.find_first_not_of(' '), eq - line.find_first_not_of(' '))] = line.substr(eq + 3);
    }
    std::string out;
    std::string exe = buildhost(s, host, out);
    ASSERT_FALSE(exe.empty()) << out.substr(0, 2000);
    int status = 0;
    out = capture(exe, status);
    ASSERT_EQ(status, 0);
    std::istringstream lines(out);
    int mismatches = 0;
    for (int n = 0; n < kCount; ++n) {
        std::string want;
        std::getline(lines, want);
        std::string got = values["E" + std::to_string(n)];
        if (got != want && ++mismatches <= 10) ADD_FAILURE() << exprs[static_cast<size_t>(n)] << "\n  cpppc " << got << ", gcc " << want;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(HostExpressions, Rewrites) {
    if (!havegcc()) GTEST_SKIP() << "host gcc not installed";
    Scratch s;
    Generator gen(99, false);
    constexpr int kCount = 2500;
    std::vector<std::string> exprs;
    std::string all;
    for (int n = 0; n < kCount; ++n) {
        exprs.push_back(gen.expr(4).text);
        all += exprs.back() + ";\n";
    }
    RunResult r = parsedump(s, kHostDecls, {"--ctext", "--expr", all});
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 2000);
    std::vector<std::string> trees = section(r.out, "expressions");
    ASSERT_EQ(trees.size(), exprs.size());

    // The host program: each expression and its tree as functions, run on
    // inputs that include the extremes of the unsigned and narrow types.
    // long is the target's 32-bit long in the trees
    std::string host = "#include <stdio.h>\n#include <stdlib.h>\ntypedef long long wide;\n#define long int\n";
    host += kHostDecls;
    for (int n = 0; n < kCount; ++n) {
        host += "static wide fs_" + std::to_string(n) + "(void) { return (wide)(" + exprs[static_cast<size_t>(n)] + "); }\n";
        host += "static wide ft_" + std::to_string(n) + "(void) { return (wide)(" + trees[static_cast<size_t>(n)] + "); }\n";
    }
    host += "typedef wide (*F)(void);\nstatic const F src[] = {";
    for (int n = 0; n < kCount; ++n) host += "fs_" + std::to_string(n) + ",";
    host += "};\nstatic const F tree[] = {";
    for (int n = 0; n < kCount; ++n) host += "ft_" + std::to_string(n) + ",";
    host += "};\n"
            "static unsigned next(unsigned *x) { *x = *x * 1103515245u + 12345u; return *x >> 7; }\n"
            "int main(void) {\n"
            "  static const unsigned edges[] = {0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0xFFFFu, 0xFFu};\n"
            "  unsigned seed = 7; int bad = 0;\n"
            "  for (int round = 0; round < 40; ++round) {\n"
            "    i1 = (int)(next(&seed) % 2001) - 1000; i2 = (int)(next(&seed) % 2001) - 1000;\n"
            "    u1 = round < 7 ? edges[round] : next(&seed) * 2654435761u; u2 = next(&seed) ^ (next(&seed) << 16);\n"
            "    c1 = (char)next(&seed); uc1 = (unsigned char)next(&seed); s1 = (short)next(&seed); us1 = (unsigned short)next(&seed);\n"
            "    bf.b3 = next(&seed) & 7; bf.b9 = next(&seed) & 511;\n"
            "    for (int n = 0; n < (int)(sizeof src / sizeof src[0]); ++n) {\n"
            "      wide a = src[n](), b = tree[n]();\n"
            "      if (a != b && bad++ < 10) printf(\"%d %d %lld %lld\\n\", n, round, a, b);\n"
            "    }\n"
            "  }\n"
            "  return bad != 0;\n"
            "}\n";
    std::string out;
    std::string exe = buildhost(s, host, out);
    ASSERT_FALSE(exe.empty()) << out.substr(0, 3000);
    int status = 0;
    out = capture(exe, status);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        int n = std::atoi(line.c_str());
        ADD_FAILURE() << "inputs " << line << "\n  " << exprs[static_cast<size_t>(n)] << "\n  " << trees[static_cast<size_t>(n)];
    }
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace cpppctest
