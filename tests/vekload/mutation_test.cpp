// A bounded, repeatable mutation run: damaged copies of valid program files go
// through the whole load (object reader, debug records, ".debug" tables,
// markers, entry point, lookups). Any crash, sanitizer report or hang is a
// failure; the messages themselves are not checked here.
#include <cstdlib>
#include <random>

#include "harness.h"
#include "vek/core/debuginfo/lookup.h"

namespace {

// VEKLOAD_FUZZ_ROUNDS raises the number of rounds for a longer local run.
int rounds(int normal) {
    const char* env = std::getenv("VEKLOAD_FUZZ_ROUNDS");
    return env ? std::atoi(env) : normal;
}

std::vector<uint8_t> sample_object() {
    fixture::DebugData d;
    uint32_t file = d.word(0);
    uint32_t link = d.word(0);
    d.patch(file, d.string("m.c", 0x8A));
    uint32_t fname = d.string("f", 6), vname = d.string("v", 5);
    d.word(7);
    uint32_t tag = d.string("t", 10), mname = d.string("m", 9);
    uint32_t agg = d.here();
    for (uint32_t w : {tag, mname, 0u, 0x48u << 24, 0u, 0u, 4u, 0u, 0u}) d.word(w);
    uint32_t desc = d.word(0);   // attribute word (the module has a table)
    d.word(3);
    d.word(agg);
    uint32_t locals = d.here();
    for (uint32_t w : {vname, 4u, 0x48u << 24 | 0xC0u, desc, 0u, 0u, 0u, 0u}) d.word(w);
    uint32_t fn = d.here();
    for (uint32_t w : {0u, file, fname, 1u, 9u, 0x18000000u, 0u, locals}) d.word(w);
    d.patch(link, fn);
    uint32_t masks = d.here();
    for (int i = 0; i < 16; ++i) d.word(1u << i);
    uint32_t opt = d.word(masks);

    fixture::Object o;
    o.sections.push_back({".text", 0xD6, 0x1000, 0x1000, std::vector<uint8_t>(32, 0x44)});
    o.sections.push_back({".data", 0x56, 0x2000, 0x1000, std::vector<uint8_t>(8, 0x11)});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.symbols = {{0, 0, 0, ""}, {0x1000, 0x05, 1, "_f"}, {0x1000, 0x05, 1, "__stext"}, {0, 0, 1, "m.mark"}};
    o.debug = {{0, 0x40, 3, "m.c"},           {opt, 0x80, 3, "m.c"},       {0x1000, 0x20, 1, "m.c~f:1-9"},
               {0x1000, 0x01, 1, "m.c~f:-1.+2.3.4"}, {0x1000, 0x08, 1, "m.c:2"}, {0x1008, 0x08, 1, "m.c:3.4-5.6"},
               {0x1010, 0x41, 1, "x#define A 1"},    {0x1018, 0x10, 1, "m.c~f:"}};
    std::vector<uint8_t> f = o.bytes();
    // An init-marker table and a module marker table at the end.
    uint32_t table = uint32_t(f.size());
    for (const auto& e : {fixture::marker(2, "", 0x3000, 0x2000), fixture::marker(1, "mark", 0, 0)})
        f.insert(f.end(), e.begin(), e.end());
    uint32_t symoff = fixture::get32(f, 8);
    fixture::set32(f, symoff, table);
    f[symoff + 5] = 1;
    uint32_t last = symoff + 7 + (7 + 2) + (7 + 7);   // the "m.mark" record
    fixture::set32(f, last, table + 24);
    return f;
}

TEST(Mutation, DamagedObjectsNeverCrash) {
    std::vector<uint8_t> base = sample_object();
    {
        Harness h;
        vek::LoadOutcome r = vek::loadprogram(h.env, writetemp("sample.o", base), nullptr, true, false);
        ASSERT_TRUE(r.ok) << h.rep.err;
        ASSERT_EQ(h.rep.err, "");
        ASSERT_EQ(h.prog.debug.files.size(), 1u);
        ASSERT_EQ(h.prog.sections[0].markers.size(), 1u);
        EXPECT_EQ(h.prog.sections[1].delta, 0x1000);
    }
    std::mt19937 gen(12345 + unsigned(rounds(0)));
    int deep = 0;   // rounds that got as far as the debug tables
    for (int round = 0; round < rounds(3000); ++round) {
        std::vector<uint8_t> f = base;
        int edits = 1 + int(gen() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = gen() % f.size();
            switch (gen() % 8) {
            case 0: case 1: case 2: f[at] = uint8_t(gen()); break;
            case 3: case 4: f[at] ^= uint8_t(1u << (gen() % 8)); break;
            case 5: case 6: f[at] = uint8_t(gen() % 2 ? 0xFF : 0); break;
            case 7: f.resize(std::max<size_t>(1, at)); break;
            }
        }
        f[0] = 0xCC;
        Harness h;
        vek::LoadOutcome r;
        if (vek::loadimage(h.env, "mutant.o", f)) r = vek::finishload(h.env, nullptr, true, false);
        if (!h.prog.debug.files.empty()) ++deep;
        if (r.ok) {
            for (uint32_t a = 0xFF0; a < 0x1020; a += 3) {
                vek::findstmtat(h.prog.debug, a);
                vek::findlineat(h.prog.debug, a);
                vek::islinestart(h.prog.debug, a);
                vek::profilestep(h.prog.debug, a, 0, 1);
            }
        }
    }
    EXPECT_GT(deep, rounds(3000) / 5);
}

TEST(Mutation, DamagedTextImagesNeverCrash) {
    std::string base = "S00600004844521B\nS1050020ABCD62\n:0400100012345678D8\n:020000040001F9\nS9030000FC\n";
    std::mt19937 gen(777);
    for (int round = 0; round < rounds(2000); ++round) {
        std::string t = base;
        for (int e = 0; e < 3; ++e) t[gen() % t.size()] = "0123456789ABCDEFS:$\n\r x"[gen() % 24];
        t[0] = 'S';
        Harness h;
        vek::loadimage(h.env, "mutant.s19", std::vector<uint8_t>(t.begin(), t.end()));
    }
}

}  // namespace
