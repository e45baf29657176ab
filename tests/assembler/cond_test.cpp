// Conditional assembly, observed through the bytes it keeps and its errors.
#include "asmtest.h"

using namespace asmtest;

struct CondCase {
    const char* source;
    const char* bytes;    // .text data, or nullptr when an error is expected
    const char* message;  // the error expected
};

class Conditionals : public AsmTest, public ::testing::WithParamInterface<CondCase> {};

TEST_P(Conditionals, Assemble) {
    const CondCase& c = GetParam();
    if (c.bytes) {
        EXPECT_EQ(hex(sectiondata(c.source)), c.bytes) << c.source;
    } else {
        write("t.s", c.source);
        Result r = run({"-si", "t.s"});
        EXPECT_EQ(r.status, 1) << c.source;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err << c.source;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Conditionals,
    ::testing::Values(
        CondCase{" if 1\n dc.b 1\n else\n dc.b 2\n endif\n", "01", nullptr},
        CondCase{" if 0\n dc.b 1\n else\n dc.b 2\n endif\n", "02", nullptr},
        CondCase{" ifeq 0\n dc.b 1\n endc\n iflt -1\n dc.b 2\n endif\n ifgt 0\n dc.b 3\n endif\n", "01 02", nullptr},
        CondCase{" ifle 0\n dc.b 1\n endif\n ifge -1\n dc.b 2\n endif\n #if 2\n dc.b 3\n #endif\n", "01 03", nullptr},
        CondCase{" ifc \"ab\",\"ab\"\n dc.b 1\n endif\n ifnc 'a','b'\n dc.b 2\n endif\n", "01 02", nullptr},
        CondCase{" ifdef X\n dc.b 1\n endif\nX: equ 1\n ifdef X\n dc.b 2\n endif\n", "02", nullptr},
        CondCase{" ifndef X\n dc.b 1\n endif\nX: equ 1\n", "01", nullptr},
        CondCase{" if 0\n if 1\n dc.b 1\n else\n dc.b 2\n endif\n else\n dc.b 3\n endif\n", "03", nullptr},
        CondCase{" if 0\n fail 1\n bogus\n endif\n dc.b 4\n", "04", nullptr},
        CondCase{" ifdef NEVER\n endif\n dc.b 5\n", "05", nullptr},
        CondCase{" if 1\n else\n else\n endif\n", nullptr, "bad else"},
        CondCase{" endif\n", nullptr, "bad endif"},
        CondCase{" else\n", nullptr, "bad else"},
        CondCase{" if 1\n dc.b 1\n", nullptr, "unclosed if"},
        CondCase{" ifc \"a\"\n endif\n", nullptr, "missing string"},
        CondCase{"l: dc.b 1\n if l\n endif\n", nullptr, "relocatable expression not allowed"}));

TEST_F(AsmTest, UnclosedIfReportedOnce) {
    write("t.s", "x: dc.b y-x\n if 1\ny: dc.b 1\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cappc t.s:3\tunclosed if\n");
}

TEST_F(AsmTest, OneErrorPerLine) {
    write("t.s", " dc.b 5/0,6/0\n dc.b 300\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.err, "#error cappc t.s:1\tzero divide\n#error cappc t.s:2\tvalue too large\n");
}
