// Directives, observed through the bytes they emit or the symbols they make.
#include "asmtest.h"

#include "platform/interrupt.h"

using namespace asmtest;

struct DirCase {
    const char* name;
    const char* source;  // starts in section "d" (hilo, not padded)
    const char* bytes;
};

class Directives : public AsmTest, public ::testing::WithParamInterface<DirCase> {};

TEST_P(Directives, Emit) {
    const DirCase& c = GetParam();
    EXPECT_EQ(hex(sectiondata(c.source)), c.bytes) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Directives,
    ::testing::Values(
        DirCase{"Words", " dc.w 1,2\n", "00 01 00 02"},
        DirCase{"LowByteFirst", "lo: section -hilo\n dc.w 0x102\n dc.l 0x3040506\n switch d\n dc.b 9\n", "09"},
        DirCase{"LongString", " dc.b 1\n dc.l \"ABCDEF\"\n", "01 00 00 00 00 00 41 42 43 44 45 46"},
        DirCase{"ShortLongString", " dc.b 1\n dc.l \"AB\"\n", "01 41 42"},
        DirCase{"ReserveLongs", " ds.l 3\n dc.b 1\n", "00 00 00 00 00 00 00 00 00 00 00 00 01"},
        DirCase{"Repeated", " dcb.w 2,0x1234\n dcb 3,7\n", "12 34 12 34 07 07 07"},
        DirCase{"Org", " dc.b 1\n org 4\n dc.b 2\n", "01 00 00 00 02"},
        DirCase{"AlignFill", " dc.b 1\n align 4,0xEE\n even\n dc.b 2\n even\n dc.b 3\n", "01 EE EE EE 02 00 03"},
        DirCase{"Offset", " offset 0\na: ds.l 1\nb: ds.w 1\n switch d\n dc.b a,b\n", "00 04"},
        DirCase{"Define", " #define ONE\n #define TWO 2L\n dc.b ONE,TWO\n", "01 02"},
        DirCase{"EquChain", "a: equ b+1\nb: equ 5\n dc.b a\n", "06"},
        DirCase{"SaveRestore", " save\n switch .data\n dc.b 1\n restore\n dc.b 2\n", "02"},
        DirCase{"LocalLabels", "A: dc.b 1$-A\n1$: dc.b 1$-A\nB: dc.b 1$-B\n1$: dc.b 1$-B\n", "01 01 01 01"},
        DirCase{"Literal", "two: lit \"1+1\"\n dc.b two*3\n", "04"},
        DirCase{"EndStopsFile", " dc.b 1\n end\n dc.b 2\n", "01"},
        DirCase{"FillOption", " ds.b 2\n", "00 00"}),
    [](const ::testing::TestParamInfo<DirCase>& info) { return std::string(info.param.name); });

TEST_F(AsmTest, DirectiveErrors) {
    struct Case {
        const char* source;
        const char* message;
    } cases[] = {
        {"x: ds 0\n", "illegal size"},
        {" dc.b 1\n dc.b 2\n org 1\n", "cannot move back current pc"},
        {" vle off\n", "cannot disable VLE mode"},
        {"a: dc.b 1\na: dc.b 2\n", "symbol a multiply defined"},
        {"a: equ 1\na: equ 2\n", "symbol a multiply defined"},
        {"r3: dc.b 1\n", "bad symbol name: r3"},
        {" equ 5\n", "missing label"},
        {" restore\n", "missing save directive"},
        {" switch nosuch\n", "symbol nosuch not defined"},
        {" align 0\n", "illegal alignment"},
        {" include\n", "bad file name"},
        {"t2: section code\nt2: section code\n", "symbol t2 multiply defined"},
        {"abcdefghijklmnopqrst: section\n", "section name abcdefghijklmnopqrst too long"},
        {"s: section wobbly\n", "unknown attribute wobbly"},
        {" xref r3\n", "bad symbol name: r3"},
        {"x: equ x+1\n", "recursive definition of symbol x"},
        {" .dline\n", "missing string"},
        {" dcb.b 2,x\nx: dc.b 1\n", "bad relocatable expression"},
        {" plen 'dc.b'\n dc.b 1\n page\n", "value too large"},  // a page of 1.7e9 lines
    };
    for (const auto& c : cases) {
        write("t.s", c.source);
        Result r = run({"t.s"});
        EXPECT_EQ(r.status, 1) << c.source;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err << "\n" << c.source;
    }
}

TEST_F(AsmTest, LineOverridesAndSyntaxModes) {
    write("t.s", " #line 100 \"orig.c\"\n fail 1\n .sfile\n fail 2\n .sfile \"x.c\",7\n fail 3\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.err, "#error cappc orig.c:100\tfail 1\n#error cappc t.s:4\tfail 2\n#error cappc x.c:7\tfail 3\n");
    // -m: column-1 labels and '*' comments; -mi: labels with ':' public
    write("m.s", "* comment\nlab dc.b 1\n dc.b lab\n");
    r = run({"-si", "-m", "m.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    write("p.s", "pub: dc.b 1\n");
    r = run({"-si", "-mi", "p.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readbytes("p.o")[7], 1);  // one symbol record
    write("q.s", "k: equ 5\n");
    r = run({"-si", "-pe", "q.s"});
    EXPECT_EQ(readbytes("q.o")[7], 1);
}

TEST_F(AsmTest, HeaderMessagesAndInterrupt) {
    write("h.inc", "HV: equ 7\n");
    write("t.s", " messg \"hello\"\n dc.b HV\n");
    Result r = run({"-si", "-h", "h.inc", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "hello\n");
    platform::raiseinterrupt();
    r = run({"t.s"});
    platform::resetinterrupt();
    EXPECT_EQ(r.status, 2);
}

TEST_F(AsmTest, SeveralSourcesKeepCommandLineSymbols) {
    write("a.s", "x: dc.b D\n");
    write("b.s", "x: dc.b D+1\n m\n");
    write("c.s", "m: macro\n dc.b 1\n endm\n m\n");
    Result r = run({"-si", "-dD=4", "c.s", "a.s", "b.s"});
    EXPECT_EQ(r.status, 1);  // b.s does not see c.s's macro
    EXPECT_EQ(r.err, "#error cappc b.s:2\tunknown instruction m\n");
    EXPECT_TRUE(exists("a.o"));
    EXPECT_TRUE(exists("c.o"));
    EXPECT_FALSE(exists("b.o"));
}
