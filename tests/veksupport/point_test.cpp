#include <string>

#include "fixture.h"

namespace {

class Points : public VekTest {};

TEST_F(Points, NoLimitNoHit) {
    vek::defsym(".time", 5000);
    EXPECT_EQ(vek::chkpoints(0x100, vek::PointExec), 0u);
    EXPECT_EQ(vek::rensym(".nbrk"), nullptr);
}

TEST_F(Points, TimePointMatchesExecutionOnly) {
    vek::defsym(".time", 999);
    vek::defsym(".btime", 1000);
    EXPECT_EQ(vek::chkpoints(0x200, vek::PointExec), 0u);
    *vek::symtab().time += 1;
    EXPECT_EQ(vek::chkpoints(0x200, vek::PointRead), 0u);
    EXPECT_EQ(vek::chkpoints(0x200, vek::PointWrite), 0u);
    EXPECT_EQ(vek::chkpoints(0x200, vek::PointQuery), 0u);
    EXPECT_EQ(vek::chkpoints(0x204, vek::PointExec), vek::TimePoint);
    EXPECT_EQ(vek::rensym(".abrk")->value, 0x204u);
    EXPECT_EQ(vek::rensym(".nbrk")->value, 65535u);
    EXPECT_EQ(vek::rensym(".tbrk")->value, 1u);
    EXPECT_EQ(vek::pointstate().hitaddr, 0x204u);
}

TEST_F(Points, RecordedHitIsReturnedUntilCleared) {
    vek::defsym(".time", 10);
    vek::defsym(".btime", 10);
    EXPECT_EQ(vek::chkpoints(0x300, vek::PointExec), vek::TimePoint);
    vek::delsym(".btime");  // the counters are not looked at again
    EXPECT_EQ(vek::chkpoints(0x400, vek::PointRead), vek::TimePoint);
    EXPECT_EQ(vek::rensym(".abrk")->value, 0x300u);
    vek::clearhit();
    EXPECT_EQ(vek::chkpoints(0x400, vek::PointExec), 0u);
}

TEST_F(Points, BusyCheckReturnsAtOnce) {
    vek::defsym(".time", 10);
    vek::defsym(".btime", 10);
    vek::pointstate().busy = true;
    EXPECT_EQ(vek::chkpoints(0x300, vek::PointExec), 0u);
    EXPECT_EQ(vek::rensym(".abrk"), nullptr);
}

struct ExprCase {
    const char* text;
    int32_t value;
    const char* rest;   // what is left at the cursor
    const char* error;  // Command-window text of a reported message
};

const ExprCase kLineExprCases[] = {ExprCase{"2+3*4", 14, "", ""},
                                   ExprCase{"1<<33", 2, "", ""},
                                   ExprCase{"7/0", 7, "", "#error: zero divide\n"},
                                   ExprCase{"7%0", 7, "", "#error: zero divide\n"},
                                   ExprCase{"(1+2", 3, "", "#error: syntax error\n"},
                                   ExprCase{"-8>>1", -4, "", ""},
                                   ExprCase{"-(8>>1)", -4, "", ""},
                                   ExprCase{"-5>>1", -2, "", ""},
                                   ExprCase{"0x10 | 1 , 5", 17, ", 5", ""},
                                   ExprCase{"3 && 0 || 2", 1, "", ""},
                                   ExprCase{"1 < 2 == 1", 1, "", ""},
                                   ExprCase{"-1 < 0", 1, "", ""},
                                   ExprCase{"'AB'", 0x4142, "", ""},
                                   ExprCase{"!0 + ~0", 0, "", ""},
                                   ExprCase{"2147483647+1", INT32_MIN, "", ""},
                                   ExprCase{"017 ^ 0b11", 12, "", ""},
                                   ExprCase{"(-2147483647-1) / -1", INT32_MIN, "", ""},
                                   ExprCase{"6 & 3 << 1", 4, "", ""},
                                   ExprCase{"10 >= 10 != 0", 1, "", ""},
                                   ExprCase{" \t9 ; x", 9, "; x", ""}};

class LineExpr : public VekTest {};

TEST_F(LineExpr, Evaluates) {
    for (const ExprCase& c : kLineExprCases) {
        host.cmdtext.clear();
        vek::outstate().cmdfile = true;
        const char* cursor = c.text;
        EXPECT_EQ(vek::lineexpr(cursor), c.value) << c.text;
        EXPECT_STREQ(cursor, c.rest) << c.text;
        EXPECT_EQ(host.cmdtext, c.error) << c.text;
    }
}

TEST_F(LineExpr, LongAndDeepTexts) {
    vek::outstate().cmdfile = true;
    for (char nest : {'(', '!', '~'}) {
        host.cmdtext.clear();
        std::string text = std::string(100000, nest) + "1";
        const char* cursor = text.c_str();
        EXPECT_EQ(vek::lineexpr(cursor), 0) << nest;
        EXPECT_EQ(host.cmdtext, "#error: syntax error\n") << nest;
    }
    std::string sum = "1";
    for (int i = 0; i < 50000; ++i) sum += "+1";  // each operand reads only its own number
    const char* end = sum.c_str();
    EXPECT_EQ(vek::lineexpr(end), 50001);
    EXPECT_EQ(*end, '\0');
    std::string fine = std::string(200, '(') + "7" + std::string(200, ')');
    const char* cursor = fine.c_str();
    host.cmdtext.clear();
    EXPECT_EQ(vek::lineexpr(cursor), 7);
    EXPECT_EQ(host.cmdtext, "");
}

}  // namespace
