// Debug records and ".debug" tables: a -x style assembler object, a C-like
// object with functions, locals, types and an attribute table, the record
// ordering rules, and damaged debug information that must be dropped with a
// message while the program stays loaded.
#include "harness.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"

namespace {

using fixture::DebugData;
using fixture::Object;

std::vector<uint8_t> code(size_t n) { return std::vector<uint8_t>(n, 0x44); }

// What the assembler writes for a hand-written source with -x: the built-in
// macro's file descriptor in ".debug", a range start at line 1, one line
// record per instruction, range records at a section change, an end.
Object xstyle_object() {
    DebugData d;
    d.word(8);    // file name
    d.word(13);   // first (nameless) function block
    d.string("t.s", 0x8A);
    uint32_t block = d.here();
    for (uint32_t w : {0u, 0u, 0u, 1u, 9u, 0u, 0u}) d.word(w);
    d.word(0);    // the symbol table of builddebug: empty
    EXPECT_EQ(block, 13u);
    Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, code(12)});
    o.sections.push_back({".data", 0x56, 0x2000, 0x2000, code(4)});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.debug = {{0, 0x40, 3, "t.s"},          {0x1000, 0x20, 1, "t.s~:1-1"},   {0x1000, 0x08, 1, "t.s:3"},
               {0x1002, 0x08, 1, "t.s:4"},    {0x1006, 0x08, 1, "t.s:5"},      {0x100A, 0x10, 1, "t.s:6-6"},
               {0x2000, 0x20, 2, "t.s~:6-6"}, {0x2000, 0x08, 1, "t.s:7"},      {0x2004, 0x10, 2, "t.s:9-9"}};
    o.debug[7].section = 2;
    return o;
}

TEST(DebugInfo, XStyleObjectGivesFilesFunctionsAndOrderedLines) {
    Harness h;
    std::string path = writetemp("x.o", xstyle_object().bytes());
    vek::LoadOutcome r = vek::loadprogram(h.env, path, nullptr, true, false);
    ASSERT_TRUE(r.ok) << h.rep.err;
    EXPECT_EQ(h.rep.err, "");
    const vek::DebugInfo& di = h.prog.debug;
    ASSERT_EQ(di.files.size(), 1u);
    EXPECT_EQ(di.files[0]->name, "t.s");
    EXPECT_EQ(di.files[0]->kindbyte, 0x8A);
    ASSERT_EQ(di.files[0]->funcs.size(), 1u);
    const vek::FunctionRecord& f = *di.files[0]->funcs[0];
    EXPECT_EQ(f.name, "");
    EXPECT_EQ(f.lastline, 9u);
    ASSERT_TRUE(f.start);
    EXPECT_EQ(f.start->address, 0x1000u);
    EXPECT_EQ(f.start->line, 3);   // a nameless start takes its first line's numbers

    uint32_t last = 0;
    std::vector<int> lines;
    for (const vek::LineRecord* rec : di.lines) {
        EXPECT_GE(rec->address, last);
        last = rec->address;
        if (rec->kind == vek::kind::Line) lines.push_back(rec->line);
        if (rec->kind != vek::kind::Module) {
            EXPECT_EQ(rec->owner, &f) << rec->text;
        }
    }
    EXPECT_EQ(lines, (std::vector<int>{3, 4, 5, 7}));

    // Address -> file, line, function, and back.
    const vek::LineRecord* at = vek::findlineat(di, 0x1004);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->file, "t.s");
    EXPECT_EQ(at->line, 4);
    EXPECT_EQ(at->owner, &f);
    const vek::LineRecord* back = vek::lineaddr(di, "t.s", 5, -1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->address, 0x1006u);
    EXPECT_EQ(vek::findstmtat(di, 0x1006), back);
    EXPECT_EQ(vek::findstmtat(di, 0x1004), nullptr);
}

// A C-like module: two named functions with locals, a struct, an array, a
// pointer, a file-scope global and an attribute table.
struct CObject {
    Object o;
    uint32_t aggpos = 0;
};

CObject c_object() {
    DebugData d;
    uint32_t fileentry = d.word(0);
    uint32_t firstlink = d.word(0);
    d.patch(fileentry, d.string("m.c", 0x8A));
    uint32_t addname = d.string("add", 6);
    uint32_t mainname = d.string("main", 6);

    auto entry = [&](uint32_t name, uint32_t value, uint32_t type, uint32_t desc) {
        d.word(name);
        d.word(value);
        d.typeword(type);
        d.word(desc);
    };
    // add(a, b) { int sum; }
    uint32_t names_a = d.string("a", 2), names_b = d.string("b", 2), names_sum = d.string("sum", 3);
    uint32_t add_locals = d.here();
    entry(names_sum, 0xFFFFFFFC, 24, 0);
    entry(names_b, 12, 24, 0);
    entry(names_a, 8, 24, 0);
    entry(0, 0, 0, 0);
    // struct pt { int x, y; }
    uint32_t tag = d.string("pt", 10), nx = d.string("x", 9), ny = d.string("y", 9);
    uint32_t agg = d.here();
    d.word(tag);
    entry(nx, 0, 24, 0);
    entry(ny, 4, 24, 0);
    entry(0, 8, 0, 0);
    // main: int arr[10]; struct pt s; int *p;
    uint32_t arrdesc = d.word(0x8000);   // attribute word (first, with a table)
    d.word(10);
    uint32_t sdesc = d.word(0);
    d.word(agg);
    uint32_t pdesc = d.word(0);
    d.word(0x4000);   // the pointer step's class
    uint32_t narr = d.string("arr", 3), ns = d.string("s", 3), np = d.string("p", 3);
    uint32_t main_locals = d.here();
    entry(narr, 0xFFFFFFD0, 0xC0000018, arrdesc);
    entry(ns, 0xFFFFFFC8, 72, sdesc);
    entry(np, 0xFFFFFFC4, 0x40000018, pdesc);
    entry(0, 0, 0, 0);
    uint32_t ng = d.string("g", 6);
    uint32_t globals = d.here();
    entry(ng, 0x2000, 24, 0);
    entry(0, 0, 0, 0);
    // Function links: add -> main -> closing entry.
    uint32_t link_add = d.here(), link_main = link_add + 32, link_close = link_main + 32;
    for (uint32_t w : {link_main, fileentry, addname, 3u, 6u, 0u, 0u, add_locals}) d.word(w);
    d.patch(link_add + 20, 0), d.v[link_add + 20] = 24;   // return type int, low byte first
    for (uint32_t w : {link_close, fileentry, mainname, 8u, 14u, 0u, 0u, main_locals}) d.word(w);
    for (uint32_t w : {0u, fileentry, 0u, 1u, 20u, 0u, 0u, globals}) d.word(w);
    d.patch(firstlink, link_add);
    // The attribute option: a word pointing to 16 masks.
    uint32_t masks = d.here();
    for (uint32_t i = 0; i < 16; ++i) d.word(1u << i);
    uint32_t opt = d.word(masks);

    CObject c;
    c.aggpos = agg;
    Object& o = c.o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, code(0x40)});
    o.sections.push_back({".data", 0x56, 0x2000, 0x2000, code(4)});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.symbols = {{0x1000, 0x85, 1, "_add"}, {0x1010, 0x85, 1, "_main"}, {0x1000, 0x85, 1, "__stext"}};
    o.debug = {{0, 0x40, 3, "m.c"},
               {opt, 0x80, 3, "m.c"},
               {0x1000, 0x20, 1, "m.c~add:3-6"},
               {0x1000, 0x01, 1, "m.c~add:-3.+16.5.7"},
               {0x1000, 0x08, 1, "m.c:4"},
               {0x1008, 0x08, 1, "m.c:5"},
               {0x1008, 0x08, 1, "m.c:5.9"},   // a second line at one address: dropped
               {0x1010, 0x10, 1, "m.c~add:"},
               {0x1010, 0x20, 1, "m.c~main:8-14"},
               {0x1010, 0x01, 1, "m.c~main:-8"},
               {0x1010, 0x08, 1, "m.c:9"},
               {0x1018, 0x08, 1, "m.c:10.5"},
               {0x1020, 0x04, 1, "m.c~main:"},
               {0x1020, 0x08, 1, "m.c:12-13"},
               {0x1030, 0x10, 1, "m.c~main:"},
               {0x1014, 0x00, 1, "m.c~add:"}};
    return c;
}

TEST(DebugInfo, CObjectGivesFunctionsVariablesAndTypes) {
    Harness h;
    CObject c = c_object();
    std::string path = writetemp("c.o", c.o.bytes());
    vek::LoadOutcome r = vek::loadprogram(h.env, path, nullptr, false, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(h.rep.err, "");
    EXPECT_TRUE(r.entrychosen);
    EXPECT_EQ(h.mem.pc, 0x1000u);
    ASSERT_TRUE(r.atpc);   // pc is at add's start: no run needed
    EXPECT_FALSE(r.runtofirstline);

    const vek::DebugInfo& di = h.prog.debug;
    ASSERT_EQ(di.files.size(), 1u);
    const vek::FileRecord& file = *di.files[0];
    ASSERT_EQ(file.funcs.size(), 3u);
    EXPECT_EQ(file.funcs[0]->name, "add");
    EXPECT_EQ(file.funcs[1]->name, "main");
    EXPECT_EQ(file.funcs[2]->name, "");
    EXPECT_TRUE(file.flags & vek::fileflag::Named);

    const vek::FunctionRecord* add = vek::findfunc(di, "add", nullptr);
    ASSERT_TRUE(add);
    EXPECT_EQ(add->rettype, 24u);
    EXPECT_EQ(add->nargs, 2);
    ASSERT_EQ(add->vars.size(), 3u);
    EXPECT_EQ(add->vars[0].name, "a");   // arguments first, by value
    EXPECT_EQ(add->vars[1].name, "b");
    EXPECT_EQ(add->vars[2].name, "sum");
    EXPECT_EQ(add->firstlocal, 2);
    EXPECT_EQ(add->vars[2].type, 24u);
    EXPECT_EQ(add->vars[2].size, 4u);
    ASSERT_TRUE(add->frame);
    EXPECT_EQ(add->frame->descriptor, 5u);
    EXPECT_EQ(add->frame->endline, 16);
    EXPECT_EQ(add->frame->column, 7);
    EXPECT_EQ(add->frame->flags2, 1);

    const vek::FunctionRecord* mainf = vek::findfunc(di, "main", "m.c");
    ASSERT_TRUE(mainf);
    ASSERT_EQ(mainf->vars.size(), 3u);
    EXPECT_EQ(mainf->vars[0].name, "arr");
    EXPECT_EQ(mainf->vars[0].size, 40u);
    EXPECT_EQ(mainf->vars[0].attr, 1u);   // bit 0x8000 maps to the first mask
    EXPECT_EQ(mainf->vars[1].size, 8u);
    ASSERT_TRUE(mainf->vars[1].desc.agg);
    EXPECT_EQ(mainf->vars[1].desc.agg->tag, "pt");
    EXPECT_EQ(mainf->vars[1].desc.agg->members.size(), 2u);
    EXPECT_EQ(mainf->vars[2].size, 4u);
    EXPECT_EQ(mainf->vars[2].desc.steps, (std::vector<uint32_t>{2}));   // 0x4000 -> second mask
    EXPECT_EQ(vek::listfuncs(di, "m.c", true),
              "Functions in file: m.c\n (on)   int add(int a, int b) at 0x1000     \n"
              " (on)   main() at 0x1010     \n\n");
    EXPECT_EQ(file.funcs[2]->vars.size(), 1u);
    EXPECT_EQ(file.funcs[2]->vars[0].name, "g");

    // Records and lookups.
    const vek::LineRecord* start = vek::findstmtat(di, 0x1010);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->kind, vek::kind::Start);   // the end of add comes first, then main
    EXPECT_EQ(start->owner, mainf);
    EXPECT_EQ(vek::findkindat(di, const_cast<vek::LineRecord*>(start), vek::kind::Line)->line, 9);
    EXPECT_EQ(vek::findkindat(di, const_cast<vek::LineRecord*>(start), vek::kind::Frame), mainf->frame);
    EXPECT_EQ(vek::findframerec(di, vek::findlineat(di, 0x1010)), mainf->frame);
    EXPECT_EQ(vek::lineaddr(di, "m.c", 10, 5)->address, 0x1018u);
    EXPECT_EQ(vek::findlineat(di, 0x101C)->line, 10);
    EXPECT_EQ(vek::findlineat(di, 0x100C)->line, 5);
    EXPECT_EQ(vek::findlineat(di, 0x100C)->column, 0);   // the doubled 5.9 was dropped
    EXPECT_EQ(vek::findlineat(di, 0x0FFF), nullptr);
    EXPECT_EQ(vek::findnextline(di, 0x1008, 1)->address, 0x1010u);
    EXPECT_EQ(vek::findnextline(di, 0x1008, 0)->kind, vek::kind::End);
    EXPECT_EQ(vek::findexitrec(di, vek::findlineat(di, 0x1018), 0x1024)->address, 0x1020u);
    EXPECT_EQ(vek::findlinebyname(di, nullptr, "m.c", 12, 0, true)->address, 0x1020u);
    EXPECT_EQ(vek::findlinebyname(di, nullptr, "m.c", 13, 0, false), start);   // main's range covers 13
    EXPECT_EQ(vek::islinestart(di, 0x100C), 1);
    EXPECT_EQ(vek::islinestart(di, 0x0F00), 0);
    EXPECT_EQ(vek::islinestart(di, 0x1040), 0);
    EXPECT_EQ(di.calls.size(), 1u);   // the .dcall record is kept apart
    EXPECT_EQ(vek::findstmtat(di, 0x1014), nullptr);
}

// Record-level rules, one table: records in file order, and what must hold.
struct OrderCase {
    const char* what;
    std::vector<fixture::Debug> records;
    const char* expect;   // the main list as "kind:file:line" items
};

std::string listing(const vek::DebugInfo& di) {
    std::string s;
    for (const vek::LineRecord* r : di.lines) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%x:%s:%d ", r->kind, r->file.c_str(), r->line);
        s += buf;
    }
    return s;
}

const OrderCase order_cases[] = {
    {"an end goes before another file's start at its address",
     {{0x10, 0x20, 0, "b.c~g:1"}, {0x0, 0x20, 0, "a.c~f:5"}, {0x10, 0x10, 0, "a.c~f:"}},
     "20:a.c:5 10:a.c:0 20:b.c:1 "},
    {"ends find their starts whatever the arrival order",
     {{0x20, 0x10, 0, "c.c~h:"}, {0x10, 0x20, 0, "a.c~f:2"}, {0x10, 0x10, 0, "b.c~g:"}, {0x10, 0x20, 0, "c.c~h:3"},
      {0x10, 0x10, 0, "a.c~f:"}, {0x0, 0x20, 0, "b.c~g:1"}},
     "20:b.c:1 10:b.c:0 20:a.c:2 10:a.c:0 20:c.c:3 10:c.c:0 "},
    {"a nameless start takes the name of the line after it, so does its end",
     {{0x0, 0x20, 0, "~:1"}, {0x0, 0x08, 0, "q.s:3"}, {0x4, 0x08, 0, "q.s:4"}, {0x8, 0x10, 0, "x:4-4"}},
     "20:q.s:3 8:q.s:3 8:q.s:4 10:q.s:4 "},
    {"lines at a function's end address are dropped",
     {{0x0, 0x20, 0, "a.c~f:1"}, {0x0, 0x08, 0, "a.c:2"}, {0x8, 0x08, 0, "a.c:3"}, {0x8, 0x10, 0, "a.c~f:"}},
     "20:a.c:1 8:a.c:2 10:a.c:0 "},
    {"a nameless function keeps one record per line number",
     {{0x0, 0x20, 0, "s.s~:1-1"}, {0x0, 0x08, 0, "s.s:2"}, {0x4, 0x08, 0, "s.s:2"}, {0x8, 0x08, 0, "s.s:3"}},
     "20:s.s:2 8:s.s:2 8:s.s:3 "},
};

class Order : public ::testing::TestWithParam<OrderCase> {};

TEST_P(Order, Records) {
    const OrderCase& c = GetParam();
    vek::DebugInfo di;
    vek::CaptureReport rep;
    for (const auto& r : c.records) vek::adddebugrecord(di, r.address, r.kind, r.text);
    ASSERT_TRUE(vek::finishdebugrecords(di, rep)) << rep.err;
    EXPECT_EQ(listing(di), c.expect) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Rules, Order, ::testing::ValuesIn(order_cases), VEKLOAD_NAMES(what));

// Damaged debug information: the program stays loaded without it.
struct DropCase {
    const char* what;
    void (*damage)(CObject&);
    const char* message;
};

void set_debug(CObject& c, uint32_t pos, uint32_t value) { fixture::set32(c.o.sections[2].data, pos, value); }

const DropCase drop_cases[] = {
    {"end without start", [](CObject& c) { c.o.debug.push_back({0x0800, 0x10, 1, "m.c~zz:"}); },
     "MISSING START INFO FOR: m.c~zz: at: 0x800"},
    {"line outside any function", [](CObject& c) { c.o.debug.push_back({0x0800, 0x08, 1, "m.c:77"}); },
     "Missing function for Line: m.c:77 77"},
    {"start of an unknown file",
     [](CObject& c) {
         c.o.debug.push_back({0x1030, 0x20, 1, "zz.c~h:1"});
         c.o.debug.push_back({0x1030, 0x10, 1, "zz.c~h:"});
     },
     "IS REREFENCED BUT CANNOT BE FOUND"},
    {"file record outside the section", [](CObject& c) { c.o.debug[0].address = 0x7FFFFFF0; },
     "outside the .debug section"},
    {"function chain loops", [](CObject& c) {
         auto& v = c.o.sections[2].data;
         uint32_t first = fixture::get32(v, 4);
         set_debug(c, first, first);
     },
     "loops"},
    {"name string runs off the end", [](CObject& c) {
         auto& v = c.o.sections[2].data;
         set_debug(c, 0, uint32_t(v.size() - 1));
         v.back() = 'x';
     },
     "runs past the .debug section"},
};

class Drop : public ::testing::TestWithParam<DropCase> {};

TEST_P(Drop, DebugInformationIsDropped) {
    const DropCase& c = GetParam();
    CObject obj = c_object();
    c.damage(obj);
    Harness h;
    vek::LoadOutcome r = vek::loadprogram(h.env, writetemp("drop.o", obj.o.bytes()), nullptr, true, false);
    EXPECT_TRUE(r.ok) << c.what;
    EXPECT_TRUE(h.syms.findsym("_main")) << c.what;
    if (c.message) {
        EXPECT_NE(h.rep.err.find(c.message), std::string::npos) << c.what << ": " << h.rep.err;
        EXPECT_TRUE(h.prog.debug.files.empty()) << c.what;
        EXPECT_TRUE(h.prog.debug.lines.empty()) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Damaged, Drop, ::testing::ValuesIn(drop_cases), VEKLOAD_NAMES(what));

TEST(DebugInfo, UnknownReturnTypeDropsTheTables) {
    CObject obj = c_object();
    // add's return type word: base 99 is not a type.
    Harness probe;
    ASSERT_TRUE(vek::loadprogram(probe.env, writetemp("probe.o", obj.o.bytes()), nullptr, true, false).ok);
    auto& v = obj.o.sections[2].data;
    uint32_t first = fixture::get32(v, 4);
    v[first + 20] = 99;
    Harness h;
    EXPECT_TRUE(vek::loadprogram(h.env, writetemp("rettype.o", obj.o.bytes()), nullptr, true, false).ok);
    EXPECT_NE(h.rep.err.find("PROBABLE TARGET MISMATCH"), std::string::npos) << h.rep.err;
    EXPECT_TRUE(h.prog.debug.files.empty());
}

TEST(DebugInfo, TenThousandLinesLoad) {
    Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, code(40000)});
    o.debug.push_back({0x1000, 0x20, 1, "big.s~:1-1"});
    for (uint32_t i = 0; i < 10000; ++i) o.debug.push_back({0x1000 + 4 * i, 0x08, 1, "big.s:" + std::to_string(i + 1)});
    o.debug.push_back({0x1000 + 40000, 0x10, 1, "big.s:10000-10000"});
    Harness h;
    ASSERT_TRUE(vek::loadprogram(h.env, writetemp("big.o", o.bytes()), nullptr, true, false).ok);
    EXPECT_EQ(h.prog.debug.lines.size(), 10002u);
    EXPECT_EQ(vek::findlineat(h.prog.debug, 0x1000 + 4 * 5000 + 2)->line, 5001);
    EXPECT_EQ(vek::lineaddr(h.prog.debug, "big.s", 9999, -1)->address, 0x1000u + 4 * 9998);
}

}  // namespace

namespace {

TEST(DebugInfo, SecondCoreFileSetsTheSplitMaskUntilTheNextLoad) {
    CObject c = c_object();
    auto& v = c.o.sections[2].data;
    v[12] = 0x8B;   // class byte after "m.c" at position 8
    Harness h;
    ASSERT_TRUE(vek::loadprogram(h.env, writetemp("core2.o", c.o.bytes()), nullptr, true, false).ok);
    ASSERT_EQ(h.prog.debug.files.size(), 1u);
    EXPECT_TRUE(vek::iscoretwofile(h.prog.debug.files[0].get()));
    EXPECT_EQ(h.prog.splitmask, 0xFFFFFFEFu);
    ASSERT_TRUE(vek::loadprogram(h.env, writetemp("core1.o", c_object().o.bytes()), nullptr, true, false).ok);
    EXPECT_EQ(h.prog.splitmask, 0u);
}

}  // namespace

namespace {

// The assembler's -xx table: type words 0x11000000 (2 bytes), 0x21000000
// (4 bytes) and 0x0A0000C0 with a size word (other sizes), each stored high
// byte first, read as unsigned short, unsigned long and unsigned char[n].
TEST(DebugInfo, SymbolTableTypeWords) {
    DebugData d;
    d.word(8);
    d.word(14);
    d.string("xx.s", 0x8A);
    for (uint32_t w : {0u, 0u, 0u, 1u, 8u, 0u, 0u}) d.word(w);
    d.word(d.here() + 4);
    uint32_t table = d.here();
    for (int i = 0; i < 13; ++i) d.word(0);
    uint32_t n1 = d.string("_main", 1), n2 = d.string("_count", 6), n3 = d.string("_msg", 6);
    uint32_t size = d.word(6);
    const uint32_t entries[3][4] = {{n1, 0x1000, 0x11000000, 0}, {n2, 0x4000, 0x21000000, 0}, {n3, 0x4004, 0x0A0000C0, size}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k) d.patch(table + 16 * uint32_t(i) + 4 * uint32_t(k), entries[i][k]);
    Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, code(2)});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.debug = {{0, 0x40, 2, "xx.s"}, {0x1000, 0x20, 1, "xx.s~:1-1"}, {0x1002, 0x10, 1, "xx.s:8-8"}};
    Harness h;
    ASSERT_TRUE(vek::loadprogram(h.env, writetemp("xx.o", o.bytes()), nullptr, true, false).ok) << h.rep.err;
    ASSERT_EQ(h.prog.debug.files.size(), 1u);
    std::vector<std::string> got;
    for (const vek::VarRecord& v : h.prog.debug.files[0]->funcs[0]->vars)
        got.push_back(std::to_string(v.size) + " " + vek::decltext(v));
    EXPECT_EQ(got, (std::vector<std::string>{"2 static unsigned short _main", "4 unsigned long _count",
                                             "6 unsigned char _msg[6]"}));
}

}  // namespace

namespace {

// A thousand functions sharing one list of a thousand locals: read whole,
// that would be a million variables from a 50 KB section.
TEST(DebugInfo, SectionReadOverAndOverIsDropped) {
    DebugData d;
    d.word(8);
    uint32_t firstlink = d.word(0);
    d.string("loop.c", 0x8A);
    uint32_t name = d.string("v", 3);
    uint32_t locals = d.here();
    for (int i = 0; i < 1000; ++i) {
        d.word(name);
        d.word(uint32_t(i));
        d.typeword(24);
        d.word(0);
    }
    for (int i = 0; i < 4; ++i) d.word(0);
    d.patch(firstlink, d.here());
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t next = i + 1 < 1000 ? d.here() + 32 : 0;
        for (uint32_t w : {next, 0u, 0u, 1u, 2u, 0u, 0u, locals}) d.word(w);
    }
    Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, code(4)});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.debug = {{0, 0x40, 2, "loop.c"}, {0x1000, 0x20, 1, "loop.c~:1"}, {0x1004, 0x10, 1, "loop.c:2-2"}};
    Harness h;
    ASSERT_TRUE(vek::loadprogram(h.env, writetemp("loop.o", o.bytes()), nullptr, true, false).ok);
    EXPECT_NE(h.rep.err.find("over and over"), std::string::npos) << h.rep.err;
    EXPECT_TRUE(h.prog.debug.files.empty());
}

}  // namespace

namespace {

// Shapes a damaged or hostile file may take, each 20,000 records: addresses
// descending, one start followed by ends only, a file per line record,
// named functions without frame or end records. Each must load in about
// linear time (this test would take minutes if any became quadratic).
TEST(DebugInfo, HostileRecordShapesLoad) {
    const int n = 20000;
    std::vector<std::vector<fixture::Debug>> shapes(4);
    for (int i = 0; i < n; ++i) {
        uint32_t a = 0x1000 + 4 * uint32_t(i);
        shapes[0].push_back({0x1000 + 4 * uint32_t(n - i), 0x08, 0, "d.s:" + std::to_string(i)});
        shapes[1].push_back({a, 0x10, 0, "e.s:1-1"});
        shapes[2].push_back({a, 0x08, 0, "f" + std::to_string(i) + ".s:1"});
        shapes[3].push_back({a, 0x20, 0, "g.c~f" + std::to_string(i) + ":1"});
    }
    shapes[0].push_back({0, 0x20, 0, "d.s~:1"});
    shapes[1].insert(shapes[1].begin(), {{0, 0x20, 0, "e.s~:1"}, {0, 0x08, 0, "e.s:1"}});
    shapes[3].push_back({0x1000 + 4 * n, 0x08, 0, "g.c:2"});
    shapes[2].push_back({0, 0x20, 0, "f0.s~:1"});
    for (size_t k = 0; k < shapes.size(); ++k) {
        vek::DebugInfo di;
        vek::CaptureReport rep;
        for (const auto& r : shapes[k]) vek::adddebugrecord(di, r.address, r.kind, r.text);
        if (!vek::finishdebugrecords(di, rep)) continue;
        vek::DebugSection none;
        if (vek::builddebugtables(di, none, rep)) {
            EXPECT_NE(vek::findlineat(di, 0x1000 + 4 * 100), nullptr) << "shape " << k;
        } else {
            EXPECT_NE(rep.err.find("IS REREFENCED BUT CANNOT BE FOUND"), std::string::npos) << "shape " << k;
        }
    }
}

}  // namespace
