// The object-file reader: sections into memory, segment summary, symbols
// with section deltas, init markers, and damaged files that must fail the
// load with a message.
#include <random>

#include "harness.h"
#include "vek/core/debuginfo/lookup.h"

namespace {

using fixture::Object;

std::vector<uint8_t> seq(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(first + i * 7);
    return v;
}

// .text at 0x1000 and .data at 0x40000000 (absolute sections), a bss, a
// third section whose symbols move by its delta, and a ".debug" that is
// never copied.
Object absolute_object() {
    Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, seq(600, 1)});
    o.sections.push_back({".data", 0x56, 0x40000000, 0x40000000, seq(8, 50)});
    o.sections.push_back({".bss", 0x57, 0x40000100, 0x40000100, {}, 64});
    o.sections.push_back({"moved", 0x56, 0x3000, 0x1000, seq(4, 90)});
    o.sections.push_back({".debug", 0x42, 0, 0, {0, 0, 0, 0}});
    o.symbols = {{0x1020, 0x05, 1, "_main"},
                 {0x40000004, 0x05, 2, "_counter"},
                 {0x1010, 0x05, 4, "_moved"},
                 {0x1000, 0x05, 0, "_abs"},
                 {0, 0x04, 0, "_extern"}};
    return o;
}

TEST(ObjectFile, AbsoluteSectionsLoadWithSummaryAndSymbols) {
    Harness h;
    Object o = absolute_object();
    std::string path = writetemp("abs.o", o.bytes());
    ASSERT_EQ(vek::loadfile(h.env, path), 1) << h.rep.err;
    EXPECT_EQ(h.prog.loadstate, '4');
    EXPECT_EQ(h.memory(0x1000, 600), o.sections[0].data);
    EXPECT_EQ(h.memory(0x40000000, 8), o.sections[1].data);
    EXPECT_EQ(h.memory(0x3000, 4), o.sections[3].data);
    EXPECT_EQ(h.rep.out, "    T: 0x1000 (600)  D: 0x40000000 (8)\n");

    // Segments in address order; ".debug" is not one.
    std::vector<std::string> names;
    for (auto& s : h.prog.segments) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{".text", "moved", ".data", ".bss"}));
    EXPECT_EQ(h.prog.segments[0].last, 0x1000u + 600 - 1);

    // Symbols in value order, section deltas applied, kind 5 when defined.
    std::vector<std::pair<std::string, uint32_t>> got;
    for (auto& s : h.syms.program) got.emplace_back(s.name, s.value);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, uint32_t>>{{"_extern", 0},
                                                                  {"_abs", 0x1000},
                                                                  {"_main", 0x1020},
                                                                  {"_moved", 0x3010},
                                                                  {"_counter", 0x40000004}}));
    EXPECT_EQ(h.syms.find("_main")->kind, 5);
    EXPECT_EQ(h.syms.find("_extern")->kind, 0);
    EXPECT_EQ(*h.syms.findsym(".text"), 0x1000u);
    EXPECT_EQ(*h.syms.findsym(".tsize"), 600u);
    EXPECT_EQ(*h.syms.findsym(".dsize"), 8u);
    EXPECT_EQ(*h.syms.findsym(".bsize"), 64u);
}

TEST(ObjectFile, GroupsInitMarkersAndNameLengthBit) {
    Harness h;
    Object o;
    o.sections.push_back({".text", 0xC6, 0x100, 0, seq(6, 1)});
    o.sections.push_back({".text", 0xC6, 0x200, 0, seq(10, 2)});
    o.sections.push_back({".bsct", 0x46, 0x80, 0x10, seq(2, 3)});
    o.sections.push_back({"flagged", 0x46, 0x500, 0x100, seq(2, 3), 0, 0x80 | 7});
    Harness h2;
    ASSERT_EQ(vek::loadfile(h.env, writetemp("groups.o", o.bytes())), 1);
    EXPECT_EQ(*h.syms.findsym(".text"), 0x100u);
    EXPECT_EQ(*h.syms.findsym(".tsize"), 16u);
    EXPECT_EQ(*h.syms.findsym(".zpage"), 0x80u);
    EXPECT_EQ(*h.syms.findsym(".zsize"), 2u);
    EXPECT_EQ(h.rep.out, "    T: 0x100 (16)  Z: 0x80 (2)\n");
    EXPECT_EQ(h.prog.sections[3].delta, 0);      // bit 7: second address := address
    EXPECT_EQ(h.prog.sections[2].delta, 0x70);

    // An init-marker table moves section 1 to 0x9000 (delta new - old).
    Object m;
    m.sections.push_back({".text", 0xC6, 0x100, 0x100, seq(6, 1)});
    m.symbols = {{0, 0, 1, ""}, {0x104, 0x05, 1, "_f"}};
    std::vector<uint8_t> f = m.bytes();
    uint32_t table = uint32_t(f.size());
    std::vector<uint8_t> entry = fixture::marker(1, "", 0x9000, 0x100);
    f.insert(f.end(), entry.begin(), entry.end());
    fixture::set32(f, 28 + 40 + 6, table);   // value of the first symbol record
    ASSERT_EQ(vek::loadfile(h2.env, writetemp("init.o", f)), 1) << h2.rep.err;
    EXPECT_EQ(h2.prog.segments[0].address, 0x9000u);
    EXPECT_EQ(h2.prog.sections[0].delta, 0x8F00);
    EXPECT_EQ(*h2.syms.findsym("_f"), 0x9004u);
}

TEST(ObjectFile, NoSectionsIsAnEmptyProgramAndRawAndOldFormats) {
    Harness h;
    Object o;
    ASSERT_EQ(vek::loadfile(h.env, writetemp("empty.o", o.bytes())), 1) << h.rep.err;
    EXPECT_TRUE(h.prog.segments.empty());

    Harness r;
    std::vector<uint8_t> raw = seq(1000, 9);
    raw[0] = 0x12;
    ASSERT_EQ(vek::loadfile(r.env, writetemp("raw.bin", raw)), 1);
    EXPECT_EQ(r.memory(0, 1000), raw);
    EXPECT_EQ(r.rep.out, "A: 0x0(1000)\n");
    EXPECT_EQ(r.rep.err, "***** absolute *****\n");
    EXPECT_EQ(r.prog.loadstate, 'A');
    EXPECT_EQ(*r.syms.findsym(".tsize"), 1000u);
    EXPECT_EQ(r.mem.pc, 0u);

    Harness old;
    EXPECT_EQ(vek::loadfile(old.env, writetemp("old.o", {0xC2, 1, 2, 3})), 0);
    EXPECT_EQ(old.rep.err, "Unsupported Old V3 format \n");

    Harness none;
    EXPECT_EQ(vek::loadfile(none.env, temppath("does-not-exist")), 0);
    EXPECT_EQ(none.rep.err, "!PANIC can't open: " + temppath("does-not-exist") + "\n");
}

// Damaged files: each fails (or loads what it can) with its message.
struct DamageCase {
    const char* what;
    void (*damage)(std::vector<uint8_t>&);
    int result;
    const char* message;
};

const DamageCase damages[] = {
    {"short header", [](std::vector<uint8_t>& f) { f.resize(20); }, 0, "read error object header"},
    {"section table past the end", [](std::vector<uint8_t>& f) { f[3] = 200; }, 0, "read error section table"},
    {"section data past the end",
     [](std::vector<uint8_t>& f) { fixture::set32(f, 28 + 20, 0x7FFFFFFF); }, 0, "Error loading segment: .text"},
    {"symbol table past the end",
     [](std::vector<uint8_t>& f) { fixture::set32(f, 12, 0x10000); }, 0, "read errorsymbole"},
    {"init marker record past the end",
     [](std::vector<uint8_t>& f) { fixture::set32(f, 8, uint32_t(f.size()) - 3); }, 0,
     "read error .init marker symbol"},
    {"symbol section beyond the table",
     [](std::vector<uint8_t>& f) {
         f[fixture::get32(f, 8) + 5] = 99;
     },
     1,
     "symbols with a section number beyond the section table"},
    {"name length 15", [](std::vector<uint8_t>& f) { f[28 + 1] = 0x0F; }, 1, nullptr},
};

class Damage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(Damage, FailsWithItsMessage) {
    const DamageCase& c = GetParam();
    Object o;
    o.sections.push_back({".text", 0xC6, 0x1000, 0x1000, seq(600, 1)});
    o.sections.push_back({".data", 0x46, 0x2000, 0x2000, seq(8, 1)});
    o.symbols = {{0x4, 0x05, 1, "_f"}};
    std::vector<uint8_t> f = o.bytes();
    c.damage(f);
    Harness h;
    EXPECT_EQ(vek::loadfile(h.env, writetemp("damaged.o", f)), c.result) << c.what;
    if (c.message) {
        EXPECT_NE(h.rep.err.find(c.message), std::string::npos) << c.what << ": " << h.rep.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Damage, ::testing::ValuesIn(damages), VEKLOAD_NAMES(what));

TEST(ObjectFile, ShortSectionStillReadsSymbolsButNoDebugRecords) {
    Object o;
    o.sections.push_back({".text", 0xC6, 0x1000, 0x1000, seq(16, 1)});
    o.symbols = {{0x4, 0x05, 1, "_f"}};
    o.debug = {{0x1000, 0x20, 1, "a.c~f:1"}, {0x1010, 0x10, 1, "a.c~f:"}};
    std::vector<uint8_t> f = o.bytes();
    fixture::set32(f, 28 + 16, 0x7FFFFFF0);
    Harness h;
    EXPECT_EQ(vek::loadfile(h.env, writetemp("short.o", f)), 0);
    EXPECT_EQ(h.rep.out.find("read errorsection"), 0u);
    EXPECT_TRUE(h.syms.findsym("_f"));
    EXPECT_TRUE(h.prog.debug.lines.empty());
}

TEST(ObjectFile, EntryPointChoices) {
    Object o;
    o.sections.push_back({".text", 0xC6, 0x100, 0x100, {0, 0, 0, 0, 0, 0, 0x12, 0x34}});
    o.symbols = {{0x100, 0x05, 1, "_start"}, {0x104, 0x05, 1, "_main"}, {0x100, 0x05, 1, "__stext"}};
    std::string path = writetemp("entry.o", o.bytes());
    struct Case {
        const char* option;
        int chosen;
        uint32_t entry;
        const char* runto;
        const char* out;
        const char* err;
    } cases[] = {
        {"reset", 1, 0x1234, "_main", "entry point at 0x1234\n", ""},
        {"main", 1, 0x104, "_main", "entry point at main (0x104)\n", ""},
        {"0x100", 1, 0x100, "start", "entry point at 0x100 (_start)\n", ""},
        {"0x102", 0, 0x102, "_main", "", "entry point at 0x102\n"},
        {"nosuch", 0, 0, "_main", "", "invalid entry point: nosuch\n"},
        {nullptr, 1, 0x100, "_main", "entry point at 0x100\n", ""},
    };
    for (const Case& c : cases) {
        Harness h;
        ASSERT_EQ(vek::loadfile(h.env, path), 1);
        const uint8_t resetvector[] = {0, 0, 0x12, 0x34};
        h.mem.loadbytes(4, resetvector, 4);
        h.rep.out.clear();
        EXPECT_EQ(vek::selectentrypoint(h.env, c.option), c.chosen) << (c.option ? c.option : "none");
        EXPECT_EQ(h.prog.entry, c.entry);
        EXPECT_EQ(h.rep.err, c.err);
        EXPECT_EQ(h.rep.out, c.out);
        EXPECT_EQ(h.prog.runto, c.runto);
    }
}

}  // namespace

namespace {

TEST(ObjectFile, SegmentsReloadFromTheFile) {
    Object o;
    o.sections.push_back({".text", 0xC6, 0x100, 0x100, seq(16, 1)});
    o.sections.push_back({".data", 0x46, 0x200, 0x200, seq(8, 5)});
    std::string path = writetemp("reload.o", o.bytes());
    Harness h;
    ASSERT_EQ(vek::loadfile(h.env, path), 1);
    std::vector<uint8_t> zeros(16, 0);
    h.mem.loadbytes(0x100, zeros.data(), 16);
    h.mem.loadbytes(0x200, zeros.data(), 8);
    EXPECT_EQ(vek::reloadsegments(h.env, {1, 7}), 1);   // .data only; 7 is no segment
    EXPECT_EQ(h.memory(0x100, 16), zeros);
    EXPECT_EQ(h.memory(0x200, 8), o.sections[1].data);

    // Built again with .data grown by a word: .data is reported and left,
    // .text (unchanged) comes from the new file.
    Object rebuilt;
    rebuilt.sections.push_back({".text", 0xC6, 0x100, 0x100, seq(16, 9)});
    rebuilt.sections.push_back({".data", 0x46, 0x200, 0x200, seq(12, 5)});
    writetemp("reload.o", rebuilt.bytes());
    h.mem.loadbytes(0x200, zeros.data(), 8);
    h.rep.err.clear();
    EXPECT_EQ(vek::reloadsegments(h.env, {0, 1}), 1);
    EXPECT_EQ(h.memory(0x100, 16), rebuilt.sections[0].data);
    EXPECT_EQ(h.memory(0x200, 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(h.rep.err, "Segment changed in the file, not reloaded: .data\n");
    // A file cut short in its section table is refused.
    writetemp("reload.o", {0, 0, 0, 2});
    EXPECT_EQ(vek::reloadsegments(h.env, {0}), 0);

    Harness raw;
    ASSERT_EQ(vek::loadfile(raw.env, writetemp("reload.bin", {1, 2, 3})), 1);
    EXPECT_EQ(vek::reloadsegments(raw.env, {0}), 0);
    EXPECT_EQ(raw.rep.err, "***** absolute *****\nNo Segment list available \n");
}

}  // namespace
