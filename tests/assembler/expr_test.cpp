// Numbers, strings and expressions, observed through "fail <expr>".
#include "asmtest.h"

using namespace asmtest;

struct ExprCase {
    const char* source;   // lines before the fail line may define symbols
    const char* message;  // the diagnostic of the last line, and the only one
};

class Expressions : public AsmTest, public ::testing::WithParamInterface<ExprCase> {};

TEST_P(Expressions, FailPrints) {
    const ExprCase& c = GetParam();
    write("t.s", c.source);
    Result r = run({"-si", "t.s"});
    EXPECT_EQ(r.status, 1);
    int lines = 0;
    for (const char* p = c.source; *p; p++) lines += *p == '\n';
    EXPECT_EQ(r.err, "#error cappc t.s:" + std::to_string(lines) + "\t" + c.message + "\n") << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Expressions,
    ::testing::Values(
        ExprCase{" fail 0x1F\n", "fail 31"}, ExprCase{" fail 1Fh\n", "fail 31"},
        ExprCase{" fail 31d\n", "fail 31"}, ExprCase{" fail 37q\n", "fail 31"},
        ExprCase{" fail 11111b\n", "fail 31"}, ExprCase{" fail $1F\n", "fail 31"},
        ExprCase{" fail @37\n", "fail 31"}, ExprCase{" fail %11111\n", "fail 31"},
        ExprCase{" fail $ 1f\n", "fail 31"}, ExprCase{" fail 101b\n", "fail 5"},
        ExprCase{" fail 19q\n", "bad constant"}, ExprCase{" fail 1e5\n", "bad constant"},
        ExprCase{" fail 0x\n", "bad constant"}, ExprCase{" fail $\n", "bad constant"},
        ExprCase{" base 16\n fail 12b\n", "bad constant"}, ExprCase{" base 16\n fail 11b\n", "fail 3"},
        ExprCase{" base 16\n fail 0FF\n", "fail 255"}, ExprCase{" base 7\n", "invalid base"},
        // the operand of base is decimal unless it carries its own radix
        ExprCase{" base 16\n fail 10\n", "fail 16"}, ExprCase{" base 8\n fail 10\n", "fail 8"},
        ExprCase{" base 2\n fail 10\n", "fail 2"}, ExprCase{" base 10h\n fail 10\n", "fail 16"},
        ExprCase{" base 16\n base 10\n fail 10\n", "fail 10"}, ExprCase{" base 1010b\n fail 0F\n", "bad constant"},
        ExprCase{" fail 'ABCD'\n", "ABCD"}, ExprCase{" fail 'AB'+0\n", "fail 16706"},
        ExprCase{" fail 'ABCD'+0\n", "fail 1094861636"}, ExprCase{" fail 'ABCDE'+0\n", "bad character constant"},
        ExprCase{" fail 7/2\n", "fail 3"}, ExprCase{" fail -7/2\n", "fail -3"},
        ExprCase{" fail -7%2\n", "fail 1"}, ExprCase{" fail -1>>28\n", "fail 15"},
        ExprCase{" fail 1<<33\n", "fail 2"}, ExprCase{" fail -1<0\n", "fail 1"},
        ExprCase{" fail 0x80000000/-1\n", "fail -2147483648"}, ExprCase{" fail 0x7FFFFFFF+1\n", "fail -2147483648"},
        ExprCase{" fail 0x10000*0x10000\n", "fail 0"}, ExprCase{" fail 5/0\n", "zero divide"},
        ExprCase{" fail 5%0\n", "zero divide"}, ExprCase{" fail 2+3*4\n", "fail 14"},
        ExprCase{" fail (2+3)*4\n", "fail 20"}, ExprCase{" fail 1|2&3\n", "fail 3"},
        ExprCase{" fail 1==1&&2<>3\n", "fail 1"}, ExprCase{" fail !0+~0\n", "fail 0"},
        ExprCase{" fail high(0x1234)\n", "fail 18"}, ExprCase{" fail low(0x1234)\n", "fail 52"},
        ExprCase{" fail <0x1234\n", "fail 52"}, ExprCase{" fail page(0x1234)\n", "bad relocatable expression"},
        ExprCase{" fail strlen(\"abc\")\n", "fail 3"}, ExprCase{" fail strlen(3)\n", "syntax error"},
        ExprCase{"l1: dc.b 1,2\nl2: dc.b 3\n fail l2-l1\n", "fail 2"},
        ExprCase{"l1: dc.b 1\n fail l1*2\n", "bad relocatable expression"},
        ExprCase{"l1: dc.b 1\n fail 4-l1\n", "bad relocatable expression"},
        ExprCase{"l1: dc.b 1\n xref e\n fail l1-e\n", "bad relocatable expression"},
        ExprCase{" dc.b 1,2,3\n fail *-0\n", "fail 3"},
        ExprCase{"s: lit \"1+s\"\n fail s\n", "too many embedded literals"},
        ExprCase{"x: equ 10\ny: equ x*3\n fail y\n", "fail 30"},
        ExprCase{"x: set 1\nx: set x+1\n fail x\n", "fail 2"},
        ExprCase{" fail 1+\n", "syntax error"}, ExprCase{" fail (1\n", "syntax error"},
        ExprCase{" fail \"abc\n", "bad string constant"},
        ExprCase{" dc.b 1 2\n", "bad comment delimiter"},
        ExprCase{"a: lit \"b\"\nb: lit \"c\"\nc: lit \"d\"\nd: lit \"e\"\ne: lit \"f\"\nf: lit \"g\"\n fail a\n",
                 "too many embedded literals"},
        ExprCase{"two: lit \"1+1\"\n fail two*3\n", "fail 4"}));

TEST_F(AsmTest, LongStringsAndNames) {
    write("t.s", " dc.b \"" + std::string(300, 'x') + "\"\n");
    Result r = run({"-si", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("string constant too long"), std::string::npos) << r.err;
    write("t.s", std::string(300, 'n') + ": dc.b 1\n");
    r = run({"-si", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;
    EXPECT_EQ(sectiondata(" dc.b \"" + std::string(255, 'x') + "\"\n").size(), 255u);
}

// base holds for the rest of its source only: the next source, and every
// pass of a source, start in decimal.
TEST_F(AsmTest, BaseEndsWithItsSource) {
    write("a.s", " base 16\n dc.b 10\n");
    write("b.s", " dc.b 10\n");
    Result r = run({"-si", "a.s", "b.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(sectionbytes(readbytes("a.o"), ".text")).substr(0, 2), "10");
    EXPECT_EQ(hex(sectionbytes(readbytes("b.o"), ".text")).substr(0, 2), "0A");
}

// Nesting is bounded, so that no source can exhaust the stack: past 256
// levels of parentheses or unary operators the line is refused.
TEST_F(AsmTest, DeepExpressionsAreRefused) {
    struct Case {
        std::string source;
        const char* err;  // "" when the line assembles
    } cases[] = {
        {" dc.l " + std::string(20000, '('), "#error cappc t.s:1\texpression too complex\n"},
        {" dc.l " + std::string(20000, '-') + "1", "#error cappc t.s:1\texpression too complex\n"},
        {" dc.l " + std::string(20000, '(') + "1" + std::string(20000, ')'), "#error cappc t.s:1\texpression too complex\n"},
        {" dc.l high(" + std::string(300, '(') + "1\n", "#error cappc t.s:1\texpression too complex\n"},
        {" dc.l " + std::string(200, '(') + "1" + std::string(200, ')') + "\n", ""},
        {" dc.l " + std::string(200, '~') + "1\n", ""},
    };
    for (const Case& c : cases) {
        write("t.s", c.source);
        Result r = run({"-si", "t.s"});
        EXPECT_EQ(r.status, *c.err ? 1 : 0) << c.source.substr(0, 40);
        EXPECT_EQ(r.err, c.err) << c.source.substr(0, 40);
    }
    EXPECT_EQ(hex(sectiondata(" dc.l " + std::string(200, '(') + "7" + std::string(200, ')') + "\n")), "00 00 00 07");
}
