#include "vek/core/support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "toollib/quit.h"
#include "vek/core/support/messages.h"

namespace {

struct ParseCase {
    const char* text;
    int base;
    int32_t value;
    int32_t used;
};

const ParseCase kParseLongCases[] = {ParseCase{"  -0x1Fl", 1, -31, 8},
                                     ParseCase{"0b101", 1, 5, 5},
                                     ParseCase{"017", 1, 15, 3},
                                     ParseCase{"09", 1, 0, 1},
                                     ParseCase{"0x", 1, 0, 2},
                                     ParseCase{"12abc", 10, 12, 2},
                                     ParseCase{"12L", 10, 12, 3},
                                     ParseCase{"0b1", 16, 0xB1, 3},
                                     ParseCase{"- 5", 1, 0, 1},
                                     ParseCase{"+42", 1, 42, 3},
                                     ParseCase{"\x7f\xff"
                                               "7",
                                               1, 7, 3},
                                     ParseCase{"ff", 16, 255, 2},
                                     ParseCase{"0x10", 16, 16, 4},
                                     ParseCase{"4294967297", 10, 1, 10},
                                     ParseCase{"", 1, 0, 0},
                                     ParseCase{"zz", 36, 35 * 36 + 35, 2},
                                     ParseCase{"5ll", 10, 5, 2},
                                     ParseCase{"12!", 100, 102, 2}};  // punctuation is never a digit

TEST(ParseLong, GivesValueAndCount) {
    for (const ParseCase& c : kParseLongCases) {
        int32_t value = 12345;
        int32_t used = vek::parselong(c.text, static_cast<int32_t>(std::string(c.text).size()), &value, c.base);
        EXPECT_EQ(value, c.value) << '"' << c.text << "\" base " << c.base;
        EXPECT_EQ(used, c.used) << '"' << c.text << "\" base " << c.base;
    }
}

TEST(NumberSyntax, LengthBoundsEveryStep) {
    int32_t value = 0;
    EXPECT_EQ(vek::parselong("123456", 3, &value, 10), 3);
    EXPECT_EQ(value, 123);
    EXPECT_EQ(vek::parselong("12L", 2, &value, 10), 2);  // the suffix lies beyond the bound
    EXPECT_EQ(vek::parselong("0x1F", 1, &value, 1), 1);
    EXPECT_EQ(value, 0);
    int16_t s = 0;
    EXPECT_EQ(vek::parseshort("70000", 5, &s, 10), 5);
    EXPECT_EQ(s, static_cast<int16_t>(70000 & 0xffff));
    uint32_t u = 0;
    EXPECT_EQ(vek::parseulong(std::string_view("-1"), &u, 1), 2);
    EXPECT_EQ(u, 0xffffffffu);
}

struct DoubleCase {
    const char* text;
    double value;
    int32_t used;
};

// One, written with 400 fraction zeros; and 1e400 written out in digits.
const std::string kLongOne = "1." + std::string(400, '0');
const std::string kLongHuge = "1" + std::string(400, '0');

const DoubleCase kParseDoubleCases[] = {DoubleCase{kLongOne.c_str(), 1, 402}, DoubleCase{kLongHuge.c_str(), HUGE_VAL, 401},
                                        DoubleCase{"1.5e-2", 0.015, 6},   DoubleCase{"3e", 3, 2},
                                        DoubleCase{".5", 0.5, 2},         DoubleCase{"5.", 5, 2},
                                        DoubleCase{" -2.25x", -2.25, 6},  DoubleCase{"8.2", 8.2, 3},
                                        DoubleCase{"1e400", HUGE_VAL, 5}, DoubleCase{"abc", 0, 0},
                                        DoubleCase{"1e40000", HUGE_VAL, 7}, DoubleCase{"1e-40000", 0, 8},
                                        DoubleCase{"2e -3l", 0.002, 6}, DoubleCase{"2e- 3", 2, 3}};

TEST(ParseDouble, GivesValueAndCount) {
    for (const DoubleCase& c : kParseDoubleCases) {
        double value = -99;
        EXPECT_EQ(vek::parsedouble(c.text, static_cast<int32_t>(std::string(c.text).size()), &value), c.used) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

struct EscapeCase {
    const char* text;
    uint16_t value;
    int cursor;  // where the cursor is left, from the backslash
};

const EscapeCase kEscCharCases[] = {EscapeCase{"\\101", 65, 3}, EscapeCase{"\\N", 10, 1},   EscapeCase{"\\v", 11, 1},
                                    EscapeCase{"\\b", 8, 1},    EscapeCase{"\\F", 12, 1},   EscapeCase{"\\r", 13, 1},
                                    EscapeCase{"\\t", 9, 1},    EscapeCase{"\\q", 'q', 1},  EscapeCase{"\\", '\\', 0},
                                    EscapeCase{"\\19x", 17, 2}, EscapeCase{"\\0123", 10, 3}};

TEST(EscChar, GivesCodeAndCursor) {
    for (const EscapeCase& c : kEscCharCases) {
        const char* p = c.text;
        EXPECT_EQ(vek::escchar(p), c.value) << c.text;
        EXPECT_EQ(p - c.text, c.cursor) << c.text;
    }
}

struct NumCase {
    uint32_t value;
    int base;
    const char* text;
};

const NumCase kNumTextCases[] = {NumCase{0xFFFFFFFF, -10, "-1"},
                                 NumCase{0xFFFFFFFF, 16, "ffffffff"},
                                 NumCase{0x80000000, 10, "2147483648"},
                                 NumCase{0x80000000, 0, "-2147483648"},
                                 NumCase{0, 2, "0"},
                                 NumCase{35, 36, "z"},
                                 NumCase{5, 2, "101"},
                                 NumCase{0xFFFFFFFF, INT32_MIN, "-1"},  // unsupported base: signed decimal
                                 NumCase{12, 37, "12"},
                                 NumCase{0xFFFFFFFF, 2, "11111111111111111111111111111111"}};

TEST(NumText, Writes) {
    for (const NumCase& c : kNumTextCases) {
        char buf[40];
        int32_t n = vek::numtext(buf, c.value, c.base);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), c.text) << c.value << " base " << c.base;
    }
}

TEST(NumText16, SignFromBit15) {
    char buf[20];
    EXPECT_EQ(std::string(buf, static_cast<size_t>(vek::numtext16(buf, 0x8000, 0))), "-32768");
    EXPECT_EQ(std::string(buf, static_cast<size_t>(vek::numtext16(buf, 0x8000, 10))), "32768");
    EXPECT_EQ(std::string(buf, static_cast<size_t>(vek::numtext16(buf, 0xffff, -16))), "-1");
}

struct RealCase {
    bool exponent;  // exptext, else fixedtext
    double value;
    int whole;     // m or a
    int fraction;  // n or b
    std::string text;
};

const RealCase kRealTextCases[] = {RealCase{false, 12.0, 100, 0, "12"},
                                   RealCase{false, 0.05, 100, 3, "0.050"},
                                   RealCase{false, 8.2, 100, 6, "8.200000"},
                                   RealCase{false, 2.0, 100, 5, "2.00000"},
                                   RealCase{false, 2.75, 100, 0, "3"},
                                   RealCase{false, 2.5, 100, 0, "2"},
                                   RealCase{false, 0.125, 100, 2, "0.12"},
                                   RealCase{false, 0.375, 100, 2, "0.38"},
                                   RealCase{false, 0.0006, 100, 3, "0.001"},
                                   RealCase{false, 0.0004, 100, 3, "0.000"},
                                   RealCase{false, 9.9996, 100, 3, "10.000"},
                                   RealCase{false, -1.5, 100, 1, "-1.5"},
                                   RealCase{false, 12345.6, 3, 1, "345.6"},
                                   RealCase{false, 0.0, 100, 2, "0.00"},
                                   RealCase{false, 0.1, 100, 20, "0.10000000000000001000"},
                                   RealCase{false, 1e20, 100, 0, "100000000000000000000"},
                                   RealCase{false, 123456789012345678.0, 100, 2, "123456789012345680.00"},
                                   RealCase{false, 1e-300, 100, 300, "0." + std::string(299, '0') + "1"},
                                   RealCase{true, 1234.5, 1, 3, "1.234e+03"},
                                   RealCase{true, 0.0, 1, 3, "0.000e+00"},
                                   RealCase{true, 1e100, 1, 1, "1.0e+100"},
                                   RealCase{true, 8.2, 1, 6, "8.200000e+00"},
                                   RealCase{true, 9.9996, 1, 3, "1.000e+01"},
                                   RealCase{true, -0.00125, 1, 2, "-1.25e-03"},
                                   RealCase{true, 1e-300, 1, 0, "1e-300"},
                                   RealCase{true, 1234.5, 2, 1, "12.3e+02"},
                                   RealCase{true, 1.0 / 0.0, 1, 2, "inf"}};

TEST(RealText, Writes) {
    for (const RealCase& c : kRealTextCases) {
        char buf[400];
        int32_t n = c.exponent ? vek::exptext(buf, c.value, c.whole, c.fraction)
                               : vek::fixedtext(buf, c.value, c.whole, c.fraction);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), c.text)
            << (c.exponent ? "exptext " : "fixedtext ") << c.value << ' ' << c.whole << ' ' << c.fraction;
    }
}

TEST(DecDigits, TruncatedDigitsAndExponent) {
    char buf[8];
    EXPECT_EQ(vek::decdigits(buf, 1234.5, 5), 4);
    EXPECT_EQ(std::string(buf, 5), "12345");
    EXPECT_EQ(vek::decdigits(buf, -0.05, 2), -1);
    EXPECT_EQ(std::string(buf, 2), "50");
    EXPECT_EQ(vek::decdigits(buf, 0.0, 3), 0);
    EXPECT_EQ(std::string(buf, 3), "000");
}

TEST(Scale10, PowersBeyondTheTableOverflow) {
    EXPECT_DOUBLE_EQ(vek::scale10(1.5, 3), 1500);
    EXPECT_DOUBLE_EQ(vek::scale10(1500, -3), 1.5);
    EXPECT_TRUE(std::isinf(vek::scale10(1, 600)));
    EXPECT_EQ(vek::scale10(1, -600), 0.0);
}

TEST(TextHelpers, JoinSearchCompare) {
    char buf[8];
    char* end = vek::strjoin(buf, sizeof buf, {"ab", "cd"});
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(end - buf, 4);
    end = vek::strjoin(end, static_cast<size_t>(buf + sizeof buf - end), {"efghij"});
    EXPECT_STREQ(buf, "abcdefg");  // bounded: the rest is dropped
    EXPECT_EQ(vek::strindex("hello", 'l'), 2);
    EXPECT_EQ(vek::strindex("hello", 'z'), 5);
    EXPECT_EQ(vek::strfindany("hello", "ol"), 2);
    EXPECT_EQ(vek::strfindany("hello", "xyz"), 5);
    EXPECT_EQ(vek::streq("Ab", "Ab"), 1);
    EXPECT_EQ(vek::streq("Ab", "ab"), 0);
    EXPECT_EQ(vek::memeq("abc", "abd", 2), 1);
    EXPECT_EQ(vek::memeq("abc", "abd", 3), 0);
    char fill[4] = {};
    EXPECT_EQ(vek::fillbytes(fill, 3, 'x'), 3u);
    EXPECT_STREQ(fill, "xxx");
    EXPECT_EQ(vek::bytecopy(fill, "ab", 2), 2u);
    EXPECT_STREQ(fill, "abx");
}

TEST(FreeListTo, StopsAtTheStopNode) {
    void* c = vek::allocnode(16, nullptr);
    void* b = vek::allocnode(16, c);
    void* a = vek::allocnode(16, b);
    EXPECT_EQ(vek::freelistto(a, c), c);
    EXPECT_EQ(vek::freelistto(c, reinterpret_cast<void*>(&c)), nullptr);  // list ends first
}

TEST(Getl, ReadsLinesBounded) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("abcdef\nxy", f);
    std::rewind(f);
    char buf[8];
    EXPECT_EQ(vek::getl(f, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(vek::getl(f, buf, 8), 3);
    EXPECT_EQ(std::string(buf, 3), "ef\n");
    EXPECT_EQ(vek::getl(f, buf, 8), 2);
    EXPECT_EQ(vek::getl(f, buf, 8), 0);
    std::fclose(f);
}

TEST(Fatal, MissingStreamStopsWithStatus1) {
    testing::internal::CaptureStderr();
    int status = tl::runmain([] {
        char buf[4];
        vek::getl(nullptr, buf, 4);
        return 0;
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Vek: getl error\n");
}

TEST(PowersOfTwo, ScaleAndNormalise) {
    EXPECT_EQ(vek::mulpow2(3, 4), 48);
    double x = 48;
    EXPECT_EQ(vek::normpow2(&x), 6);
    EXPECT_EQ(x, 0.75);
    x = 0.1;
    EXPECT_EQ(vek::normpow2(&x), -3);
    EXPECT_EQ(x, 0.8);
    x = 0;
    EXPECT_EQ(vek::normpow2(&x), 0);
}

}  // namespace
