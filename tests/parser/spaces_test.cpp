// Memory spaces through the parser dump: the model option, the space,
// section and attribute pragmas, user-defined space names and when they are
// announced, and the messages of each.
#include "harness.h"

namespace cpppctest {
namespace {

// The attribute word of a symbol in a dump.
std::string attributes(const std::string& dump, const std::string& name) {
    std::string l = entry(dump, "symbols", name);
    size_t at = l.find(" attributes ");
    return at == std::string::npos ? l : l.substr(at + 12, 6);
}

TEST(Spaces, NoModelNoSpace) {
    Scratch s;
    RunResult r = parsedump(s, "int x;\nint *p;\nint f(void);\nstatic char c;\n");
    EXPECT_EQ(attributes(r.out, "x"), "0x0000");
    EXPECT_EQ(attributes(r.out, "f"), "0x0800");
    EXPECT_EQ(entry(r.out, "symbols", "p", 1), "type pointer 0x0000 to int (size 2, align 2)");
}

TEST(Spaces, ModelMakesEverythingFar) {
    Scratch s;
    RunResult r = parsedump(s, "int x;\nint *p;\nint f(char *a);\nstatic int c;\nconst int k;\n", {"-m0x3030"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(attributes(r.out, "x"), "0x3000");
    EXPECT_EQ(attributes(r.out, "p"), "0x3000");
    EXPECT_EQ(attributes(r.out, "c"), "0x3000");
    EXPECT_EQ(attributes(r.out, "f"), "0x3800");
    EXPECT_EQ(attributes(r.out, "k"), "0xb000");
    EXPECT_EQ(entry(r.out, "symbols", "p", 1), "type pointer 0x3000 to int (size 4, align 4)");
    EXPECT_EQ(entry(r.out, "symbols", "f", 1),
              "type function(pointer 0x3000 to char a, void) returning int (size 0, align 4)");
    std::vector<std::string> want = {"data 0x3000 0x3000 0x3000 0x3000", "code 0x3000 0x3000 0x3000 0x3000", "const code"};
    EXPECT_EQ(section(r.out, "defaults"), want);
}

TEST(Spaces, ConstObjectsTakeTheCodeTable) {
    // -m0x2030: data near, code far.
    Scratch s;
    const char* source = "const int k1;\nint d;\nconst char *cp;\n#pragma space const []\nconst int k2;\n";
    RunResult r = parsedump(s, source, {"-m0x2030"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(attributes(r.out, "k1"), "0xb000") << "const at file level: code table";
    EXPECT_EQ(attributes(r.out, "d"), "0x2000");
    EXPECT_EQ(entry(r.out, "symbols", "cp", 1), "type pointer 0xb000 to char (size 4, align 4)")
        << "a pointed-to const object too";
    EXPECT_EQ(attributes(r.out, "k2"), "0xa000") << "redirected to the data table";
}

TEST(Spaces, SpacePragmasByClassAndKind) {
    Scratch s;
    const char* source =
        "#pragma space * @far\n#pragma space static [] @near\nint *p;\nstatic int sn = 1;\nstatic int sf(void);\n"
        "int e;\nint @tiny *tp;\n@far static int sx = 2;\n#pragma space ( ) @near\nint g(void);\n"
        "#pragma space const @nostack volatile\nconst int k;\n#pragma space auto @tiny\n";
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "symbols", "p", 1), "type pointer 0x3000 to int (size 4, align 4)");
    EXPECT_EQ(entry(r.out, "symbols", "tp", 1), "type pointer 0x1000 to int (size 1, align 1)") << "written space wins";
    EXPECT_EQ(attributes(r.out, "sn"), "0x2000");
    EXPECT_EQ(attributes(r.out, "sf"), "0x0800") << "static data only";
    EXPECT_EQ(attributes(r.out, "e"), "0x0000");
    EXPECT_EQ(attributes(r.out, "sx"), "0x3000");
    EXPECT_EQ(attributes(r.out, "g"), "0x2800");
    EXPECT_EQ(attributes(r.out, "k"), "0xc400") << "a const table of its own";
    std::vector<std::string> want = {"data 0x0000 0x2000 0x1000 0x3000", "code 0x2000 0x2000 0x1000 0x2000",
                                     "const own 0x4400 0x4400 0x4400 0x4400"};
    EXPECT_EQ(section(r.out, "defaults"), want);
}

TEST(Spaces, UserNamesAnnouncedOnceBeforeUse) {
    Scratch s;
    const char* source =
        "char one;\nint @fast x = 1;\nint @slow y;\nint @fast z = 3;\nint @interrupt isr(void) { return 0; }\n"
        "#pragma section [bss]\nstatic int hidden;\nint after;\n#pragma section const @far {consts}\n"
        "#pragma section (code)\n#pragma section {data}\n";
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "spaces", "fast"), "fast 0x0080 announced");
    EXPECT_EQ(entry(r.out, "spaces", "slow"), "slow 0x0040 announced");
    EXPECT_EQ(entry(r.out, "spaces", "interrupt"), "interrupt 0x0020 announced");
    EXPECT_EQ(attributes(r.out, "isr"), "0x0820");
    std::vector<std::string> want = {
        "putspace fast", "putdatalabel x", "putvalue 0x00000001 4", "putenddata", "putspace slow", "putdatalabel z",
        "putvalue 0x00000003 4", "putenddata",
        "putspace interrupt", "putdef isr 2048",
        // the tentative definitions stay in the section they were declared under
        "putdatalabel y", "putreserve 4", "putenddata", "putdatalabel one", "putreserve 1", "putenddata",
        "putsection 6 0x4000 bss",
        // pending literals go to the previous constant section
        "putliterals", "putsection 9 0xb000 consts", "putsection 10 0x0800 code", "putsection 11 0x0000 data",
        "putdatalabel after", "putreserve 4", "putenddata", "putdef after 1", "putdef isr 1", "putdef z 1",
        "putdef y 1", "putdef x 1", "putdef one 1", "putliterals"};
    EXPECT_EQ(section(r.out, "writer"), want);
}

TEST(Spaces, InterruptIsAnyName) {
    Scratch s;
    RunResult r = parsedump(s, "void @interrupt handler(void);\n");
    EXPECT_EQ(entry(r.out, "spaces", "interrupt"), "interrupt 0x0080 announced");
    EXPECT_EQ(attributes(r.out, "handler"), "0x0880");
    std::vector<std::string> want = {"putspace interrupt", "putliterals"};
    EXPECT_EQ(section(r.out, "writer"), want) << "announced before the end of the unit";
}

TEST(Spaces, AttributeTemplates) {
    Scratch s;
    const char* source = "#pragma attribute @far int buffer[]\nint buffer[100];\n#pragma attribute @near char cbuf[]\n"
                         "char *cbuf;\n";
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.err, "#error cpppc t.c:4(6+4) type mismatch with #pragma attribute for cbuf\n");
    EXPECT_EQ(attributes(r.out, "buffer"), "0x3000");
    EXPECT_EQ(entry(r.out, "attributes", "buffer"), "buffer class 0 none attributes 0x3000");
    EXPECT_EQ(entry(r.out, "attributes", "buffer", 1), "type array[] of int");
    r = parsedump(s, "#pragma attribute int @far *p\nint *p;\n#pragma attribute @far int st\n@near static int st;\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "symbols", "p", 1), "type pointer 0x3000 to int (size 4, align 4)")
        << "the pointer takes the template's word";
    EXPECT_EQ(attributes(r.out, "st"), "0x2000") << "a static keeps its own space";
}

struct PragmaCase {
    std::string source;
    std::string err;
};

void PrintTo(const PragmaCase& c, std::ostream* os) { *os << c.source; }

class PragmaMessages : public testing::TestWithParam<PragmaCase> {};

TEST_P(PragmaMessages, Reported) {
    Scratch s;
    RunResult r = parsedump(s, GetParam().source);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PragmaMessages,
    testing::Values(
        PragmaCase{"#pragma space [\n", "#error cpppc t.c:1(14) bad #pragma space directive\n"},
        PragmaCase{"#pragma space @far x\n", "#error cpppc t.c:1(19) bad #pragma space directive\n"},
        PragmaCase{"#pragma section [bss\n", "#error cpppc t.c:1(17+3) bad #pragma section directive\n"},
        PragmaCase{"#pragma section\n", "#error cpppc t.c:1 bad #pragma section directive\n"},
        PragmaCase{"int f(void) {\n#pragma section [x]\n}\n", "#error cpppc t.c:2 misplaced #pragma section directive\n"},
        PragmaCase{"#pragma space @\n", "#error cpppc t.c:1(14) bad space modifier\n"},
        PragmaCase{"#pragma space @a @b @c @d @e @f @g @h @i\n", "#error cpppc t.c:1(39) too many space modifiers\n"},
        PragmaCase{"#pragma attribute int x\n#pragma attribute int x\n",
                   "#error cpppc t.c:2(22) duplicate #pragma attribute name x\n"},
        PragmaCase{"int y;\n#pragma attribute int y\n", "#error cpppc t.c:2(22) redeclared #pragma attribute name y\n"},
        PragmaCase{"#pragma attribute int\n", "#error cpppc t.c:1(18+3) invalid #pragma attribute syntax\n"},
        PragmaCase{"#pragma attribute int *[3]\n", "#error cpppc t.c:1(25) missing #pragma attribute name\n"},
        PragmaCase{"#pragma attribute int x y\n", "#error cpppc t.c:1(24) bad #pragma attribute directive\n"},
        PragmaCase{"#pragma attribute @far int sc\n@near int sc;\n",
                   "#error cpppc t.c:2(10+2) space conflict with #pragma attribute for sc\n"},
        PragmaCase{"#pragma attribute int @far *pc\nint @near *pc;\n",
                   "#error cpppc t.c:2(11+2) pointer space conflict with #pragma attribute for pc\n"},
        PragmaCase{"#pragma attribute int fp(int)\nint fp();\n",
                   "#error cpppc t.c:2(7) missing prototype for #pragma attribute usage\n"},
        PragmaCase{"#pragma attribute int fa(int, char)\nint fa(int);\n",
                   "#error cpppc t.c:2(10) argument mismatch in #pragma attribute for fa\n"}));

}  // namespace
}  // namespace cpppctest
