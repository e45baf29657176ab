#include "vek/core/support/format.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using vek::FmtArg;

struct FormatCase {
    const char* format;
    std::vector<FmtArg> args;
    std::string expected;
};

const char kAbc[] = "abcdef";

const FormatCase kFormatterCases[] = {
    // pad and sign
    FormatCase{"%+08l", {-5}, "000000-5"}, FormatCase{"%+08hl", {0x1F}, "0000001f"},
    FormatCase{"%hl", {-1}, "ffffffff"}, FormatCase{"%l", {-1}, "-1"}, FormatCase{"%ul", {-1}, "4294967295"},
    FormatCase{"%zl", {5}, "101"}, FormatCase{"%ol", {8}, "10"}, FormatCase{"%i", {-7}, "-7"},
    FormatCase{"%-*6l|", {42}, "42****|"}, FormatCase{"%+010ul", {123}, "0000000123"},
    // 8- and 16-bit conversions
    FormatCase{"%c", {0x1FF}, "511"}, FormatCase{"%uc", {0x1FF}, "255"}, FormatCase{"%hc", {0x1FF}, "ff"},
    FormatCase{"%ac", {65}, "A"}, FormatCase{"%s", {0x8000}, "-32768"}, FormatCase{"%us", {0x8000}, "32768"},
    FormatCase{"%as", {0x4142}, "AB"}, FormatCase{"%al", {0x41424344}, "ABCD"},
    // texts and bytes
    FormatCase{"%- 6p|", {"ab"}, "ab    |"}, FormatCase{"%.2p", {kAbc}, "ab"}, FormatCase{"%4p", {"ab"}, "  ab"},
    FormatCase{"%b", {kAbc, 3}, "abc"}, FormatCase{"%.2b", {kAbc, 3}, "ab"}, FormatCase{"%+ np", {5, "ab"}, "   ab"},
    FormatCase{"%p:%i | %b", {"x", 3, kAbc, 2}, "x:3 | ab"}, FormatCase{"%+0nhl", {8, 0x1234}, "00001234"},
    // doubles
    FormatCase{"%1.5f", {2.0}, "2.00000"}, FormatCase{"%f", {2.75}, "3"}, FormatCase{"%.6f", {8.2}, "8.200000"},
    FormatCase{"%.3d", {1234.5}, "1.234e+03"}, FormatCase{"%8.1f|", {-1.25}, "    -1.2|"},
    // size letters as conversions, other characters
    FormatCase{"%h ", {255}, "ff "}, FormatCase{"0x%hL", {0xAB}, "0xabL"}, FormatCase{"%a!", {0x41424344}, "ABCD!"},
    FormatCase{"%q", {}, "q"}, FormatCase{"%5%", {}, "    %"}, FormatCase{"%10x|", {}, "          |"},
    FormatCase{"%-.4x|", {}, "....|"}, FormatCase{"end%", {}, "end"}, FormatCase{"flag%-", {}, "flag"},
    // arguments of the wrong kind or missing read as nothing
    FormatCase{"[%p][%l][%f]", {}, "[][0][0]"}, FormatCase{"[%p]", {7}, "[]"}, FormatCase{"%l", {2.9}, "2"},
    FormatCase{"%.1f", {3}, "3.0"},
    // 64-bit host values: only the low 32 bits are a target value
    FormatCase{"%hl", {0x123456789LL}, "23456789"}};

TEST(Formatter, Expands) {
    for (const FormatCase& c : kFormatterCases) {
        char buf[300];
        int32_t n = vek::fmtbufv(buf, sizeof buf, c.format, c.args);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), c.expected) << "format \"" << c.format << '"';
    }
}

TEST(FmtBuf, StoresAtMostItsSize) {
    char buf[16] = "..............";
    EXPECT_EQ(vek::fmtbuf(buf, 4, "%10l", 7), 4);
    EXPECT_EQ(std::string(buf, 6), "    ..");
    EXPECT_EQ(vek::fmtbuf(buf, 0, "abc"), 0);
    EXPECT_EQ(vek::fmtbuf(buf, 5, "%p%p", "abc", "defg"), 5);
    EXPECT_EQ(std::string(buf, 6), "abcde.");
}

TEST(FmtBuf, FieldsStayInsideTheConversionArea) {
    // The widest fixed and exponent fields the language allows.
    static char big[400];
    int32_t n = vek::fmtbuf(big, sizeof big, "%.200f", -1e300);
    EXPECT_EQ(n, 128);
    EXPECT_EQ(big[0], '-');
    n = vek::fmtbuf(big, sizeof big, "%.125f", 1e-120);  // fraction digits right of 17 significant ones
    EXPECT_EQ(std::string(big, static_cast<size_t>(n)), "0." + std::string(119, '0') + "100000");
    n = vek::fmtbuf(big, sizeof big, "%.200d", -1.5e-300);
    EXPECT_EQ(std::string(big + n - 5, 5), "e-300");
    EXPECT_EQ(n, 1 + 1 + 1 + 121 + 5);  // sign, digit, point, fraction, exponent
}

TEST(FmtSink, OneCallPerRunPadAndField) {
    std::vector<std::string> pieces;
    auto sink = [](void* ctx, const char* text, int32_t len) {
        static_cast<std::vector<std::string>*>(ctx)->emplace_back(text, static_cast<size_t>(len));
    };
    const FmtArg args[] = {FmtArg(12)};
    vek::fmtsink(sink, &pieces, "v=%3l;", args);
    EXPECT_EQ(pieces, (std::vector<std::string>{"v=", " ", "12", ";"}));
}

}  // namespace
