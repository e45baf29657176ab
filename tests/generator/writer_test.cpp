// The text writer (putasm, sections, helper references) and the support
// routines (register sets, number and label texts, messages, panics).
#include <cmath>
#include <cstring>

#include "harness.h"

namespace cgtest {
namespace {

// A generator whose text goes to a scratch file.
struct WriterRig {
    Scratch s;
    cg::Gen G;
    explicit WriterRig(std::vector<std::string> flags = {}) {
        for (const std::string& f : flags) {
            if (f == "-no") G.opt.no = 1;
            if (f == "-bss") G.opt.bss = 1;
        }
        G.w.file = std::fopen("out.s", "w");
        G.w.fd = fileno(G.w.file);
        cg::initsections(G);
    }
    std::string text() {
        cg::outbyte(G, -1);
        return s.read("out.s");
    }
};

struct PutasmCase {
    const char* format;
    std::vector<cg::AsmArg> args;
    const char* text;
};

TEST(Putasm, Notation) {
    std::vector<PutasmCase> cases = {
        {"%n;", {8}, "L01\n"},
        {"%n;", {10}, "L21\n"},
        {"%n;", {66}, "L201\n"},
        {"%p;", {"<@main"}, "_main\n"},
        {"%p;", {"<wf"}, "_wf\n"},
        {"%p;", {">5<x"}, "L5_x\n"},
        {"%p;", {"<'^d"}, "_d\n"},
        {"%p;", {"<!x"}, "_x\n"},
        {"%i;", {70000}, "4464\n"},
        {"%i;", {-1}, "-1\n"},
        {"%u;", {-1}, "65535\n"},
        {"%o;", {8}, "10\n"},
        {"%l;", {-5}, "-5\n"},
        {" dc.l $+4;", {}, "\tdc.l\t*+4\n"},
        {" x / a b;", {}, "\tx\t; a b\n"},
        {"x{y}z~;", {}, "x$y/z_\n"},
        {"\6a b;c/$\6;", {}, "a b;c/$\n"},
        {"%%%~;", {}, "%~\n"},
        {"%q;", {}, "%q\n"},
        {"\7c~fadd;", {}, "\tbl\tc_fadd\n"},
        {"\x0fi r3,r3,1;", {}, "\taddi\tr3,r3,1\n"},
        {"\x0e" "w r3,r4;\x0bL;", {}, "\tcmpw\tr3,r4\n\tmrL\n"},
        {"\5\1,\5\x12;", {}, "r14,r31\n"},
        {"\x80\xFF;", {}, "\x80\xFF\n"},
        {"%E;", {}, "\t.dentry\t\"\"\n"},
        {"%F%p:%l-%l;", {"\6t.c\6", 3, 3}, "\t.dendfn\t\"t.c:3-3\"\n"},
        {"%G%p;", {"\6d/t.c\6"}, "\t.dfile\t\"d/t.c\"\n"},
        {"%Ix:1.2;", {}, "\t.dline\t\"x:1.2\"\n"},
        {"%Jt.c%~main:1-2;", {}, "\t.dstart\t\"t.c~main:1-2\"\n"},
        {"%Q%p%~%p:%u;", {"\6t.c\6", "main", 0}, "\t.dquit\t\"t.c~main:0\"\n"},
        {"%Tt.c%~main;", {}, "\t.dtable\t\"t.c~main\"\n"},
        {"%S;", {"x"}, "\t.dstring\t\"~x\"\n"},
        {"%O\6t.c\6:0\",%p;", {">2"}, "\t.dopt\t\"t.c:0\",L2\n"},
    };
    for (const PutasmCase& c : cases) {
        WriterRig w;
        EXPECT_EQ(cg::putasm(w.G, c.format, c.args.data(), c.args.size()), 1);
        EXPECT_EQ(w.text(), c.text) << c.format;
    }
}

TEST(Putasm, StateCarriesAcrossCalls) {
    WriterRig w;
    cg::putasm(w.G, "x%");
    cg::putasm(w.G, "l;", {70000});  // the conversion character comes with the next call
    EXPECT_EQ(cg::putasm(w.G, "a`b;"), 0);
    cg::putasm(w.G, ";%p", {"\6 verbatim"});
    cg::putasm(w.G, " run\6 y;");
    EXPECT_EQ(w.text(), "x70000\na\n verbatim run\ty\n");
}

TEST(Sections, DebugSectionBetweenMarkers) {
    for (bool no : {false, true}) {
        WriterRig w(no ? std::vector<std::string>{"-no"} : std::vector<std::string>{});
        cg::usesection(w.G, cg::SK_DEBUG);
        cg::usesection(w.G, cg::SK_TEXT);
        cg::usesection(w.G, cg::SK_DEBUG);
        cg::putend(w.G);
        if (no)
            EXPECT_EQ(w.text(), "\tswitch\t.debug\n\tswitch\t.text\n\tswitch\t.debug\n\tend\n");
        else
            EXPECT_EQ(w.text(), "\tswitch\t.debug\nXL:\nXL:\n\tswitch\t.text\n\tswitch\t.debug\nXL:\nXL:\n\tend\n");
    }
}

TEST(Sections, DeclaredOnceThenSwitched) {
    WriterRig w;
    cg::usesection(w.G, cg::SK_SDATA);
    cg::usesection(w.G, cg::SK_TEXT);
    cg::usesection(w.G, cg::SK_SDATA);
    cg::usesection(w.G, cg::SK_SDATA);
    cg::usesection(w.G, cg::SK_CONST);
    EXPECT_EQ(w.text(), ".sdata:\tsection\t.data,-long\n\tswitch\t.text\n\tswitch\t.sdata\n.const:\tsection\t.text\n");
    EXPECT_EQ(w.G.w.pendingmask, cg::SK_CONST);
    // a new section of the same name (split function sections)
    WriterRig n;
    n.G.w.curkind = -1;
    cg::usesection(n.G, cg::SK_VTEXT);
    EXPECT_EQ(n.text(), ".vtext:\tsection\t.text,new\n");
}

TEST(Sections, NoBssUsesData) {
    WriterRig w({"-bss"});
    cg::usesection(w.G, cg::SK_DATA);
    cg::usesection(w.G, cg::SK_BSS);
    EXPECT_EQ(w.text(), "\tswitch\t.data\n");
    EXPECT_EQ(w.G.w.pendingmask, cg::SK_DATA);
}

TEST(Helpers, OneReferenceEach) {
    WriterRig w;
    cg::xrefhelper(w.G, "fadd;x");
    cg::xrefhelper(w.G, "dmul?y");
    cg::xrefhelper(w.G, "fadd");
    cg::putxrefs(w.G);
    EXPECT_EQ(w.text(), "\txref\tc_dmul\n\txref\tc_fadd\n");
}

TEST(Support, RegisterSets) {
    cg::RegSet s;
    cg::setadd(s, 0);
    EXPECT_FALSE(cg::setvalid(s)) << "adding code 0 changes nothing";
    cg::setlive(s);
    EXPECT_TRUE(cg::setvalid(s));
    EXPECT_FALSE(cg::setin(s, 0));
    cg::setclear(s);
    cg::setadd(s, 65);  // r3:r4
    EXPECT_TRUE(cg::setin(s, cg::gpr(3)));
    EXPECT_TRUE(cg::setin(s, cg::gpr(4)));
    EXPECT_TRUE(cg::setin(s, 65));
    cg::setdel(s, cg::gpr(4));
    EXPECT_FALSE(cg::setin(s, 65)) << "a pair is in only when both are";
    cg::setadd(s, 93);
    cg::setadd(s, 200);
    EXPECT_FALSE(cg::setin(s, 93)) << "codes beyond the 72 bits have no bit";
    cg::RegSet a, b;
    cg::setrange(a, true, cg::gpr(3), cg::gpr(12));
    cg::setrange(b, true, cg::gpr(10), cg::gpr(14));
    cg::setandnot(a, b);
    EXPECT_TRUE(cg::setin(a, cg::gpr(9)));
    EXPECT_FALSE(cg::setin(a, cg::gpr(10)));
    cg::setxor(a, a);
    EXPECT_FALSE(cg::setnonempty(a));
    EXPECT_EQ(cg::classmask(0x4A), cg::LK_REUSABLE | cg::LK_REG);
    EXPECT_EQ(cg::classmask(0xB8), cg::LK_CONST | cg::LK_REG | cg::LK_ADDR);
    EXPECT_EQ(cg::combine(0x30, 0x20), 0x20u);
    EXPECT_EQ(cg::combine(0x08, 0x20), 0x20u);
}

TEST(Support, Texts) {
    EXPECT_EQ(cg::numtext32(-5, -10), "-5");
    EXPECT_EQ(cg::numtext32(-5, 10), "4294967291");
    EXPECT_EQ(cg::numtext32(INT32_MIN, -10), "-2147483648");
    EXPECT_EQ(cg::numtext32(255, 16), "ff");
    EXPECT_EQ(cg::numtext16(0x18000, -10), "-32768");
    EXPECT_EQ(cg::numtext16(0x18000, 10), "32768");
    EXPECT_EQ(cg::labeltext(8), ">01");
    EXPECT_EQ(cg::labeltext(0), ">");
    EXPECT_EQ(cg::genregname(cg::gpr(3)), "r3");
    EXPECT_EQ(cg::genregname(cg::gpr(14)), "\x05\x01");
    EXPECT_EQ(cg::genregname(cg::fpr(2)), "fr2");
    EXPECT_EQ(cg::genregname(94), "r1");
    EXPECT_EQ(cg::genregname(65), "?");
    uint8_t b[8];
    EXPECT_EQ(cg::unpackdouble(1.0, b), 1);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{0, 0x80, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cg::unpackdouble(-3.0, b), 2);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{0x80, 0xC0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cg::unpackdouble(0.0, b), 0);
}

TEST(Support, FloatsRoundToNearest) {
    // the host's conversion is the oracle
    for (double d : {1.0, 0.1, -0.1, 3.4028235677973366e38, 3.4028235e38, 1e-45, 1e-46, 1e300, -0.0,
                     std::nan(""), 16777217.0}) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        float f = static_cast<float>(d);
        uint32_t want;
        std::memcpy(&want, &f, 4);
        EXPECT_EQ(cg::floatbits(bits), want) << d;
    }
    EXPECT_EQ(cg::floatbits(0x3FB999999999999Aull), 0x3DCCCCCDu);
    EXPECT_EQ(cg::floatbits(0x47EFFFFFF0000000ull), 0x7F800000u) << "halfway above the largest float";
}

TEST(Support, MessagesInBothForms) {
    Scratch s;
    for (bool ge : {false, true}) {
        cg::Gen G;
        G.opt.ge = ge;
        G.fn.nametext = "<@main";
        G.rd.srcname = "t.c";
        G.rd.line = 12;
        tl::resettoolcontext();
        tl::initprogname("cgppc");
        testing::internal::CaptureStderr();
        cg::generror(G, "bad ", "x");
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, ge ? "t.c:12:1: @main() bad x\n" : "#error cgppc t.c:12\t@main() bad x\n");
        EXPECT_TRUE(G.errors);
    }
}

TEST(Support, PanicWritesIntoTheText) {
    WriterRig w;
    tl::resettoolcontext();
    tl::initprogname("cgppc");
    w.G.opt.errfile = "e.txt";
    w.G.errfp = std::fopen("e.txt", "w");
    cg::putasm(w.G, " nop;");
    testing::internal::CaptureStderr();
    int status = tl::runmain([&]() -> int { cg::genpanic(w.G, "EOF"); });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "errors reported in e.txt\n");
    EXPECT_EQ(w.s.read("e.txt"), "#error cgppc:0\tPANIC! EOF\n");
    EXPECT_EQ(w.s.read("out.s"), "\tnop\n\t;PANIC EOF\n");
}

TEST(Support, TreeQueries) {
    EXPECT_TRUE(cg::isasgn(136));
    EXPECT_TRUE(cg::isasgn(146));
    EXPECT_FALSE(cg::isasgn(143));
    EXPECT_TRUE(cg::iscond(157));
    EXPECT_FALSE(cg::iscond(151));
    EXPECT_EQ(cg::asgnop(222), 142);
    EXPECT_EQ(cg::asgnop(160), 138);
    EXPECT_EQ(cg::asgnop(149), 0);
    EXPECT_EQ(cg::inplaceop(108), 114);
    EXPECT_EQ(cg::inplaceop(67), 115);
    cg::Gen G;
    EXPECT_EQ(cg::namekind(G, "<@main"), 'n');
    EXPECT_EQ(cg::namekind(G, "<'^d"), 'r');
    G.hdr.single = true;
    EXPECT_EQ(cg::namekind(G, "<^d"), 'n');
    EXPECT_EQ(cg::namekind(G, ">5<wf"), 'w');
    EXPECT_EQ(cg::namekind(G, "<x"), 0);
    EXPECT_TRUE(cg::isaliasname(""));
    EXPECT_TRUE(cg::isaliasname("<'port"));
    EXPECT_FALSE(cg::isaliasname("<port"));
    const uint8_t be[] = {0x12, 0x34};
    EXPECT_EQ(cg::readbe16(be), 0x1234);
}

TEST(CodeStore, TextAcrossChunks) {
    cg::CodeStore st;
    st.restart();
    std::string text(1200, 'a');
    for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('b' + i % 20);
    st.addchars(text);
    st.addchars("`");
    uint32_t start = st.claim();
    EXPECT_EQ(start, 1u);
    EXPECT_FALSE(st.pending());
    st.setread(start);
    std::string back;
    bool ok = true;
    while (back.find('`') == std::string::npos) {
        std::string_view piece = st.takeline(ok);
        ASSERT_TRUE(ok);
        back += piece;
    }
    EXPECT_EQ(back, text + "`");
    st.takeline(ok);
    EXPECT_FALSE(ok) << "no chunk after the last";
}

// A node's text that begins when the writing has just filled a chunk: its
// claimed position is the chunk's closing NUL, and reading it back must give
// the text in the next chunk, not an empty one (a loop's start was lost so).
TEST(CodeStore, TextClaimedAtAChunkEnd) {
    cg::CodeStore st;
    st.restart();
    st.addchars(std::string(cg::CodeStore::kChunk - 3, 'x') + "`");
    st.claim();
    ASSERT_EQ(st.writepos() % cg::CodeStore::kChunk, cg::CodeStore::kChunk - 1);
    st.addchars(" mtctr r3;`");
    uint32_t start = st.claim();
    st.setread(start);
    bool ok = false;
    std::string_view line = st.takeline(ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(line, " mtctr r3;`");
}

}  // namespace
}  // namespace cgtest
