// Location texts, the statement lookups at shared addresses, the
// profiling counters and target strings.
#include "harness.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"

namespace {

struct LocCase {
    const char* text;
    const char* file;
    const char* function;
    const char* symbol;
    uint32_t line;
    int32_t column, endline;
    uint8_t isaddress, qualified;
    uint32_t address;
    const char* rest;   // the text after the location
};

const LocCase loc_cases[] = {
    {"main.c:12", "main.c", nullptr, nullptr, 12, -1, 0, 0, 1, 0, ""},
    {"main.c:12.5", "main.c", nullptr, nullptr, 12, 5, 0, 0, 1, 0, ""},
    {"main():3", nullptr, "main", nullptr, 3, -1, 0, 0, 1, 0, ""},
    {"main()", nullptr, "main", nullptr, 0, -1, 0, 0, 0, 0, ""},
    {"@0x1000", nullptr, nullptr, nullptr, 0, -1, 0, 1, 0, 0x1000, ""},
    {"42", nullptr, nullptr, nullptr, 42, -1, 0, 0, 0, 0, ""},
    {"counter", nullptr, nullptr, "counter", 0, -1, 0, 0, 0, 0, ""},
    {"main.c:loop", "main.c", nullptr, "loop", 0, -1, 0, 0, 1, 0, ""},
    {"f.c:10:20", "f.c", nullptr, nullptr, 10, -1, 20, 0, 1, 0, ""},
    {"f.c:10.2:20.7", "f.c", nullptr, nullptr, 10, 2, 20, 0, 1, 0, ""},
    {"C:\\src\\main.c:12", "C:\\src\\main.c", nullptr, nullptr, 12, -1, 0, 0, 1, 0, ""},
    {"x+1", nullptr, nullptr, "x", 0, -1, 0, 0, 0, 0, "+1"},
    {"f(): ", nullptr, "f", nullptr, 0, -1, 0, 0, 1, 0, " "},
    {"():12", nullptr, "", nullptr, 12, -1, 0, 0, 1, 0, ""},
    {"L", nullptr, nullptr, "L", 0, -1, 0, 0, 0, 0, ""},
    {"l", nullptr, nullptr, "l", 0, -1, 0, 0, 0, 0, ""},
    {"main.c:12 {go}", "main.c", nullptr, nullptr, 12, -1, 0, 0, 1, 0, " {go}"},
    {"main.c:12;go", "main.c", nullptr, nullptr, 12, -1, 0, 0, 1, 0, ";go"},
    {"m.c:add()", "m.c", "add", nullptr, 0, -1, 0, 0, 1, 0, ""},
    {"  0x10", nullptr, nullptr, nullptr, 16, -1, 0, 0, 0, 0, ""},
};

class Loc : public ::testing::TestWithParam<LocCase> {};

TEST_P(Loc, Parses) {
    const LocCase& c = GetParam();
    vek::LocationState st;
    vek::LocationSpec loc;
    const char* rest = vek::parseloc(st, c.text, loc);
    auto str = [](const char* p) { return p ? std::string(p) : std::string("(null)"); };
    EXPECT_EQ(str(loc.file), str(c.file)) << c.text;
    EXPECT_EQ(str(loc.function), str(c.function)) << c.text;
    EXPECT_EQ(str(loc.symbol), str(c.symbol)) << c.text;
    EXPECT_EQ(loc.line, c.line) << c.text;
    EXPECT_EQ(loc.column, c.column) << c.text;
    EXPECT_EQ(loc.endline, c.endline) << c.text;
    EXPECT_EQ(loc.isaddress, c.isaddress) << c.text;
    EXPECT_EQ(loc.qualified, c.qualified) << c.text;
    EXPECT_EQ(loc.address, c.address) << c.text;
    EXPECT_EQ(loc.given, 1) << c.text;
    EXPECT_STREQ(rest, c.rest) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Examples, Loc, ::testing::ValuesIn(loc_cases), VEKLOAD_NAMES(text));

TEST(Location, ClassifiersAndLongTexts) {
    vek::LocationState st;
    vek::LocationSpec loc;
    vek::parseloc(st, "42", loc);
    EXPECT_TRUE(vek::isnumloc(loc));
    EXPECT_FALSE(vek::iscodeloc(loc));
    vek::parseloc(st, "main.c:12", loc);
    EXPECT_TRUE(vek::iscodeloc(loc));
    vek::parseloc(st, "counter", loc);
    EXPECT_TRUE(vek::issymloc(loc));
    vek::parseloc(st, "   ", loc);
    EXPECT_EQ(loc.given, 0);
    std::string longtext(1000, 'a');
    longtext += ":12";
    vek::parseloc(st, longtext.c_str(), loc);   // cut at the work buffer, never past it
    EXPECT_EQ(st.lasttext.size(), 127u);
    uint32_t n = 0;
    EXPECT_TRUE(vek::isnumber("0b101", 5, n));
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(vek::isnumber("017L", 4, n));
    EXPECT_EQ(n, 15u);
    EXPECT_FALSE(vek::isnumber("12x", 3, n));
}

// A function start, its frame record and its first line at one address; an
// end followed by the next function's start; lines in between.
struct Shared : ::testing::Test {
    vek::DebugInfo di;
    void SetUp() override {
        vek::CaptureReport rep;
        const fixture::Debug recs[] = {
            {0x100, 0x20, 0, "a.c~f:1-5"}, {0x100, 0x01, 0, "a.c~f:-1"}, {0x100, 0x08, 0, "a.c:2"},
            {0x108, 0x08, 0, "a.c:3"},     {0x110, 0x04, 0, "a.c~f:"},   {0x110, 0x08, 0, "a.c:4"},
            {0x118, 0x10, 0, "a.c~f:"},    {0x118, 0x20, 0, "a.c~g:7"},  {0x118, 0x08, 0, "a.c:8"},
            {0x120, 0x10, 0, "a.c~g:"}};
        for (const auto& r : recs) vek::adddebugrecord(di, r.address, r.kind, r.text);
        ASSERT_TRUE(vek::finishdebugrecords(di, rep)) << rep.err;
    }
};

TEST_F(Shared, StatementLookups) {
    vek::LineRecord* s = vek::findstmtat(di, 0x100);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->kind, vek::kind::Start);
    EXPECT_EQ(vek::findkindat(di, s, vek::kind::Line)->line, 2);
    EXPECT_EQ(vek::findkindat(di, s, vek::kind::Frame)->kind, vek::kind::Frame);
    EXPECT_EQ(vek::findstmtat(di, 0x118)->func, "g");
    EXPECT_EQ(vek::findlineat(di, 0x10C)->line, 3);
    EXPECT_EQ(vek::findstmtat(di, 0x10C), nullptr);
    EXPECT_EQ(vek::findnextline(di, 0x110, 1)->func, "g");
    EXPECT_EQ(vek::findnextline(di, 0x110, 0)->kind, vek::kind::End);
    EXPECT_EQ(vek::findlastat(di, 0x100)->kind, vek::kind::Line);
    EXPECT_EQ(vek::findstopline(di, 0x110)->kind, vek::kind::Exit);
    EXPECT_EQ(vek::findtablesmark(di, nullptr, "f"), nullptr);
}

TEST_F(Shared, ProfileCharges) {
    vek::profilestep(di, 0x100, 10, 13);   // start: its first line two places on gets the cycles
    vek::profilestep(di, 0x104, 13, 15);   // inside line 2
    vek::profilestep(di, 0x108, 15, 16);
    vek::profilestep(di, 0x200, 16, 20);   // beyond everything: last record's range
    vek::LineRecord* start = vek::findstmtat(di, 0x100);
    vek::LineRecord* line2 = vek::findkindat(di, start, vek::kind::Line);
    EXPECT_EQ(start->hits, 1u);
    EXPECT_EQ(start->cycles, 0);
    EXPECT_EQ(line2->hits, 1u);
    EXPECT_EQ(line2->cycles, 5);
    EXPECT_EQ(vek::findlineat(di, 0x108)->cycles, 1);
    EXPECT_EQ(di.lines.back()->cycles, 4);
}

TEST(TargetString, QuotesAndLimits) {
    std::string mem(300, 'z');
    auto get = [&](uint32_t a) { return a < mem.size() ? uint8_t(mem[a]) : uint8_t(0); };
    std::string s = vek::readtgtstr(get, 0);
    EXPECT_EQ(s, "\"" + std::string(250, 'z') + "...\"");
    EXPECT_EQ(vek::readtgtstr(get, 400), "\"\"");
    EXPECT_EQ(vek::readtgtstrn(get, 0, 3), "\"zzz\"");
}

TEST(Types, SizesAndDepth) {
    vek::VarRecord v;
    v.type = 0xF0000018;   // int[3][4]
    v.desc.steps = {3, 4};
    EXPECT_EQ(vek::typesize(v), 48u);
    EXPECT_EQ(vek::typedepth(v.type), 2);
    v.type = 49;
    v.desc.steps.clear();
    EXPECT_EQ(vek::typesize(v), 8u);   // unsigned long long
    v.type = 0x50000050;   // pointer to pointer to void
    EXPECT_EQ(vek::typedepth(v.type), 2);
    EXPECT_EQ(vek::typesize(v), 4u);
    EXPECT_STREQ(vek::basetypename(18), "short bit-field");
    EXPECT_EQ(vek::basetypename(99), nullptr);
}

}  // namespace

namespace {

TEST(Texts, NumberTextsAndStatementEnds) {
    EXPECT_EQ(vek::hextext(0x1F), "0x1f       ");
    EXPECT_EQ(vek::hextextb(0x1F), "0x1f");
    EXPECT_EQ(vek::padnum(123456, 4, '0'), "****");
    EXPECT_EQ(vek::padnum(7, 3, '0'), "007");
    EXPECT_EQ(vek::hexdottext(0x246, 5), "0x246.5       ");
    const struct {
        const char* text;
        size_t end;
    } ends[] = {{"go;step", 2}, {"{a;b};c", 5}, {"x{a{b}c}y;z", 8}, {"plain", 5}};
    for (const auto& e : ends) EXPECT_EQ(size_t(vek::stmtend(e.text) - e.text), e.end) << e.text;
    EXPECT_STREQ(vek::skipblanks(" \t\x7f" "a"), "a");
    EXPECT_EQ(vek::coreat(0, 0x100, 0x100, 0x200), 0);            // one core
    EXPECT_EQ(vek::coreat(0xFFFFFFEF, 0x150, 0x100, 0x1A0), 1);   // equal distances
    EXPECT_EQ(vek::coreat(0xFFFFFFEF, 0x140, 0x100, 0x1A0), 0);
}

}  // namespace

namespace {

TEST(Types, DeclarationTexts) {
    vek::VarRecord p;
    p.name = "p";
    p.sclass = vek::sc::Fix;
    p.type = 0xD0000018;   // array of pointer to int
    p.desc.steps = {4, 0};
    EXPECT_EQ(vek::decltext(p), "static int *p[4]");
    p.sclass = vek::sc::FixExt;
    EXPECT_EQ(vek::decltext(p), "int *p[4]");
    EXPECT_EQ(vek::vardecl(p), "extern int *p[4]");
    vek::VarRecord f;
    f.name = "f";
    f.sclass = vek::sc::Mos;
    f.type = 25;
    f.desc.bitword = 3;
    EXPECT_EQ(vek::decltext(f), "bit-field f:3");
    vek::AggregateDescriptor pt;
    pt.tag = "pt";
    vek::VarRecord s;
    s.name = "s";
    s.sclass = vek::sc::Aut;
    s.type = 0x40000048;   // pointer to struct pt
    s.desc.steps = {0};
    s.desc.agg = &pt;
    EXPECT_EQ(vek::decltext(s), "auto struct pt *s");
    EXPECT_EQ(vek::vardecl(s), "auto struct pt *s");
    EXPECT_EQ(vek::typetext(0x40000018, {}), "int *");
}

}  // namespace
