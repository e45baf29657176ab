// Macros and repeats, observed through the bytes their expansions emit.
#include "asmtest.h"

using namespace asmtest;

struct MacroCase {
    const char* name;
    const char* source;
    const char* bytes;
};

class Macros : public AsmTest, public ::testing::WithParamInterface<MacroCase> {};

TEST_P(Macros, Expand) {
    const MacroCase& c = GetParam();
    EXPECT_EQ(hex(sectiondata(c.source)), c.bytes) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Macros,
    ::testing::Values(
        MacroCase{"Positional", "m: macro\n dc.b \"\\1\",\"\\2\",\"\\3\",\\#\n endm\n m a, b ,c\n", "61 62 63 03"},
        MacroCase{"NoArguments", "m: macro\n dc.b \\#\n endm\n m\n", "00"},
        MacroCase{"ExpansionNumbers", "m: macro\n dc.b \"\\@\"\n endm\n m\n m\n", "2E 31 2E 32"},
        MacroCase{"QuotedArgument", "m: macro\n dc.b \"\\1\",\\#\n endm\n m \"a, b\"\n", "61 2C 20 62 01"},
        MacroCase{"AllArguments", "m: macro\n dc.b \\*\n endm\n m 1,2,3\n", "01 02 03"},
        MacroCase{"SizeLetter", "m: macro\n dc.b '\\0'\n endm\n m.w\n", "77"},
        MacroCase{"NamedArguments", "m: macro \\x,\\y\n dc.b \\y,\\(x)\n endm\n m 1,2\n", "02 01"},
        MacroCase{"Irp", " irp 1,2,3\n dc.b \\1\n endr\n", "01 02 03"},
        MacroCase{"IrpNamed", " repeatl \\v,4,5\n dc.b \\v,\\#\n endr\n", "04 02 05 01"},
        MacroCase{"RepeatZero", " repeat 0\n dc.b 1\n endr\n dc.b 2\n", "02"},
        MacroCase{"NestedRepeat", " repeat 3\n repeat 2\n dc.b 9\n endr\n endr\n", "09 09 09 09 09 09"},
        MacroCase{"RepeatNumbers", " repeat 2\n dc.b \"\\@\"\n endr\n", "2E 31 2E 32"},
        MacroCase{"RealOpcodeUnderMacro", "fcb: macro\n \\\\fcb \\1,\\1\n endm\n fcb 5\n", "05 05"},
        MacroCase{"MacroInRepeat", "m: macro\n dc.b \\1\n endm\n repeat 2\n m 7\n endr\n", "07 07"},
        MacroCase{"MexitEndsRepeat", "m: macro\n repeat 3\n dc.b 1\n mexit\n endr\n dc.b 2\n endm\n m\n dc.b 3\n",
                  "01 03"},
        MacroCase{"Rexit", " repeat 3\n dc.b 1\n rexit\n endr\n dc.b 2\n", "01 02"},
        MacroCase{"ConditionalInMacro", "m: macro\n if \\1\n dc.b 1\n mexit\n endif\n dc.b 2\n endm\n m 1\n m 0\n",
                  "01 02"},
        MacroCase{"LongExpandedLine", "m: macro\n dc.b \\1,\\1,\\1,\\1\n endm\n m 1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1\n",
                  "48 48 48 48"}),
    [](const ::testing::TestParamInfo<MacroCase>& info) { return std::string(info.param.name); });

TEST_F(AsmTest, MacroErrors) {
    struct Case {
        const char* source;
        const char* message;
    } cases[] = {
        {"m: macro\n m\n endm\n m\n", "nested too deeply"},
        {"m: macro\n dc.b \\3\n endm\n m 1\n", "bad argument number"},
        {"m: macro \\a\n dc.b \\b\n endm\n m 1\n", "unknown macro argument b"},
        {" mexit\n", "no macro in expansion"},
        {" rexit\n", "no repeat in expansion"},
        {"m: macro\n endm\nm: macro\n endm\n", "symbol m multiply defined"},
        {" repeat 2\nm: macro\n endm\n endr\n", "misplaced macro directive"},
        {" later\nlater: macro\n endm\n", "unknown instruction later"},
        // a body that never gets its endm or endr would swallow the rest of
        // the source: its opening line is reported
        {" dc.b 1\nm: macro\n dc.b 2\n", "t.s:2\tmissing endm\n"},
        {" dc.b 1\n repeat 3\n dc.b 2\n", "t.s:2\tmissing endr\n"},
        {" irp \\x,1,2\n dc.b \\x\n", "t.s:1\tmissing endr\n"},
        {"m: macro\n repeat 2\n endr\n", "t.s:1\tmissing endm\n"},
    };
    for (const auto& c : cases) {
        write("t.s", c.source);
        Result r = run({"t.s"});
        EXPECT_EQ(r.status, 1) << c.source;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err << "\n" << c.source;
    }
}
