// Names, constants and the literal pool: number, character and string
// tables, float conversion against strtod, interned names and the pool.
#include <cstdlib>
#include <cstring>
#include <random>

#include "harness.h"
#include "parser/tokencodes.h"

namespace cpppctest {
namespace {

using cpppc::Parser;
using cpppc::Token;

// A parser whose diagnostics land in a buffer, with a file "open" so they
// carry a position.
struct LexFixture {
    Parser P;
    char* buf = nullptr;
    size_t size = 0;
    LexFixture() {
        P.err = open_memstream(&buf, &size);
        P.errisfile = true;
        P.src.anyopened = true;
        P.srcname = "t.c";
        P.src.files.emplace_back();
        P.src.files.back().name = "t.c";
        P.src.last = &P.src.files.back();
    }
    ~LexFixture() {
        std::fclose(P.err);
        P.err = nullptr;
        std::free(buf);
    }
    std::string diags() {
        std::fflush(P.err);
        std::string s(buf, size);
        // keep only the message texts
        std::string out;
        for (size_t pos = 0; pos < s.size();) {
            size_t end = s.find('\n', pos);
            std::string line = s.substr(pos, end - pos);
            out += (out.empty() ? "" : "|") + line.substr(line.find(' ', line.find(':')) + 1);
            pos = end + 1;
        }
        return out;
    }
};

struct NumberCase {
    std::string text;
    uint16_t code;
    uint32_t value;
    std::string diag;
    bool u = false;
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.text << (c.u ? " -u" : ""); }

class Numbers : public testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, Convert) {
    const NumberCase& c = GetParam();
    LexFixture f;
    f.P.opt.u = c.u;
    Token t;
    if (c.text[0] == '\'' || c.text[0] == 'L')
        cpppc::charconst(f.P, t, c.text.data(), c.text.size());
    else
        cpppc::lexnumber(f.P, t, c.text.data(), c.text.size());
    EXPECT_EQ(t.code, c.code) << c.text;
    EXPECT_EQ(static_cast<uint32_t>(t.ival), c.value) << c.text;
    EXPECT_EQ(f.diags(), c.diag) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Numbers,
    testing::Values(NumberCase{"0", 160, 0, ""}, NumberCase{"017", 160, 15, ""}, NumberCase{"0x1F", 160, 31, ""},
                    NumberCase{"0b101", 160, 5, ""}, NumberCase{"4294967295", 161, 0xFFFFFFFF, ""},
                    NumberCase{"4294967296", 160, 0, "integer constant too large"},
                    NumberCase{"5000000000", 160, 705032704, "integer constant too large"},
                    NumberCase{"2147483648", 162, 0x80000000, ""}, NumberCase{"2147483647u", 161, 0x7FFFFFFF, ""},
                    NumberCase{"2147483647", 160, 0x7FFFFFFF, ""}, NumberCase{"0x", 160, 0, "invalid hexadecimal number"},
                    NumberCase{"0b", 160, 0, "invalid binary number"},
                    NumberCase{"0x1G", 160, 1, "bad integer constant 0x1G"},
                    NumberCase{"08", 160, 0, "bad integer constant 08"}, NumberCase{"10l", 160, 10, ""},
                    NumberCase{"10ul", 161, 10, ""}, NumberCase{"10LLU", 161, 10, ""},
                    NumberCase{"10lL", 160, 10, "bad integer constant 10lL"},
                    NumberCase{"'a'", 160, 'a', ""}, NumberCase{"'\\377'", 160, 0xFFFFFFFF, ""},
                    NumberCase{"'\\377'", 160, 255, "", true}, NumberCase{"'ab'", 160, 0x6162, ""},
                    NumberCase{"'\\q'", 160, 0x5C71, ""}, NumberCase{"L'x'", 160, 'x', ""},
                    NumberCase{"'\\x41'", 160, 0x41, ""}, NumberCase{"'\\x'", 160, 0, "invalid hexadecimal character"},
                    NumberCase{"'\\x123456789'", 160, 0xFFFFFF89, "hexadecimal constant too large"},
                    NumberCase{"'\\n'", 160, 10, ""}, NumberCase{"'\\0'", 160, 0, ""}));

struct RealCase {
    std::string text;
    uint16_t code;
    std::string diag;
    bool f = false;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << c.text << (c.f ? " -f" : ""); }

class Reals : public testing::TestWithParam<RealCase> {};

TEST_P(Reals, Convert) {
    const RealCase& c = GetParam();
    LexFixture f;
    f.P.opt.f = c.f;
    Token t;
    cpppc::lexnumber(f.P, t, c.text.data(), c.text.size());
    EXPECT_EQ(t.code, c.code) << c.text;
    EXPECT_EQ(f.diags(), c.diag) << c.text;
    ASSERT_NE(t.lit, nullptr);
    EXPECT_EQ(t.lit->length, 8u);
}

INSTANTIATE_TEST_SUITE_P(Table, Reals,
                         testing::Values(RealCase{"1.5", 167, ""}, RealCase{"1.5f", 166, ""}, RealCase{"1.5L", 167, ""},
                                         RealCase{"1.0", 166, "", true}, RealCase{".5e-3", 167, ""},
                                         RealCase{"1e311", 167, "exponent overflow in real"},
                                         RealCase{"1e309", 167, "real constant out of range"},
                                         RealCase{"1e", 167, "missing exponent in real"},
                                         RealCase{"1e+", 167, "missing exponent in real"},
                                         RealCase{"1ef", 166, "missing exponent in real"},
                                         RealCase{"1.5x", 167, "bad real constant 1.5x"},
                                         RealCase{"1.5fl", 166, "bad real constant 1.5fl"}));

TEST(Reals, MatchStrtodBitForBit) {
    std::mt19937 rng(12345);
    LexFixture f;
    const char* fixed[] = {"0.1", "2.2250738585072014e-308", "4.9e-324", "1.7976931348623157e308", "123456789012345678901234567890.0",
                           "9007199254740993.0", "0.30000000000000004", "1e-320", "3.14159265358979323846264338327950288"};
    std::vector<std::string> texts(std::begin(fixed), std::end(fixed));
    for (int i = 0; i < 2000; ++i) {
        std::string s = std::to_string(rng() % 100000) + "." + std::to_string(rng());
        s += "e" + std::to_string(static_cast<int>(rng() % 600) - 300);
        texts.push_back(s);
    }
    for (const std::string& s : texts) {
        Token t;
        cpppc::lexnumber(f.P, t, s.data(), s.size());
        double want = std::strtod(s.c_str(), nullptr);
        double got;
        ASSERT_NE(t.lit, nullptr);
        std::memcpy(&got, t.lit->bytes.data(), sizeof got);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s;
    }
}

TEST(Strings, EscapesAndPool) {
    LexFixture f;
    Token a, b, c;
    std::string s1 = "\"\\x41\"";
    cpppc::stringliteral(f.P, a, s1.data(), s1.size());
    ASSERT_EQ(a.lit->length, 1u);
    EXPECT_EQ(a.lit->bytes[0], 'A');
    std::string s2 = "L\"a\\0b\\101\"";
    cpppc::stringliteral(f.P, b, s2.data(), s2.size());
    EXPECT_EQ(std::string(b.lit->bytes.begin(), b.lit->bytes.end()), std::string("a\0bA", 4));
    // Two uses of the same literal share one entry with use count 1.
    std::string s3 = "\"A\"";
    cpppc::stringliteral(f.P, c, s3.data(), s3.size());
    EXPECT_EQ(c.lit, a.lit);
    EXPECT_EQ(c.lit->uses, 1u);
    EXPECT_EQ(f.diags(), "");
}

TEST(Names, InternedOnceWithLengthAndMark) {
    Parser P;
    const unsigned char* a = cpppc::internname(P, "alpha", 5);
    const unsigned char* b = cpppc::internname(P, "alphabet", 8);
    EXPECT_EQ(cpppc::internname(P, "alpha", 5), a);
    EXPECT_NE(a, b);
    EXPECT_EQ(a[0], 5);
    EXPECT_EQ(std::memcmp(a + 1, "alpha", 6), 0);  // characters and the NUL
    EXPECT_EQ(cpppc::namemark(a), 0);               // the mark byte of its own
    EXPECT_EQ(cpppc::namesyms(a), nullptr);         // and the head of its symbols
    std::string longname(300, 'n');
    const unsigned char* l = cpppc::internname(P, longname.data(), longname.size());
    EXPECT_EQ(l[0], 300 % 256);
    EXPECT_NE(cpppc::internname(P, longname.data(), 299), l);
}

TEST(Names, ScalePow10) {
    EXPECT_EQ(cpppc::scalepow10(1.0, 3), 1000.0);
    EXPECT_EQ(cpppc::scalepow10(1.0, -2), 0.01);
    EXPECT_EQ(cpppc::scalepow10(0.0, 300), 0.0);
    EXPECT_EQ(cpppc::scalepow10(1.0, 300), 1e300);
}

}  // namespace
}  // namespace cpppctest
