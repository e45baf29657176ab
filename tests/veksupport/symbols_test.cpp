#include <algorithm>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "fixture.h"

namespace {

class Symbols : public VekTest {
protected:
    static std::vector<std::string> order() {
        std::vector<std::string> names;
        for (vek::ProgramSymbol* s = vek::symtab().head; s; s = s->next) names.push_back(s->name);
        return names;
    }
};

TEST_F(Symbols, AscendingOrderEqualValuesInDefinitionOrder) {
    vek::defsym("a", 0x100);
    vek::defsym("b", 0x100);
    vek::defsym("c", 0x80);
    vek::defsym("d", 0x200);
    EXPECT_EQ(order(), (std::vector<std::string>{"c", "a", "b", "d"}));
    EXPECT_EQ(vek::symbelow(0x100)->name, "a");
    EXPECT_EQ(vek::symbelow(0x180)->name, "b");
    EXPECT_EQ(vek::symbelow(0x7F), nullptr);
    EXPECT_EQ(vek::symbelow(0xFFFFFFFF)->name, "d");
}

TEST_F(Symbols, DotSymbolsTakeNoPartInOrderOrLookup) {
    vek::defsym("x", 3);
    vek::defsym(".time", 5);
    vek::defsym("y", 4);
    vek::defsym("z", 9);
    EXPECT_EQ(vek::symbelow(4)->name, "y");
    EXPECT_EQ(vek::symbelow(6)->name, "y");
    EXPECT_EQ(vek::symbelow(5)->name, "y");
    for (vek::ProgramSymbol* s = vek::symtab().head; s; s = s->next) {
        if (s->name[0] == '.') continue;
        for (vek::ProgramSymbol* t = s->next; t; t = t->next)
            if (t->name[0] != '.') {
                EXPECT_LE(s->value, t->value) << s->name << " before " << t->name;
            }
    }
}

TEST_F(Symbols, SymbolAtValueWithPrefix) {
    vek::defsym("main", 0x100);
    vek::defsym(".text", 0x100);
    vek::defsym("_start", 0x100);
    EXPECT_EQ(vek::symat(0x100, "")->name, "main");
    EXPECT_EQ(vek::symat(0x100, ".")->name, ".text");
    EXPECT_EQ(vek::symat(0x100, "_")->name, "_start");
    EXPECT_EQ(vek::symat(0x104, ""), nullptr);
}

TEST_F(Symbols, RedefiningReplaces) {
    vek::defsym("a", 1);
    vek::defsym("b", 2);
    vek::defsym("a", 3);
    EXPECT_EQ(order(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(vek::rensym("a")->value, 3u);
    EXPECT_EQ(vek::rensym("A"), nullptr);
    EXPECT_EQ(vek::delsym("a"), 0);
    EXPECT_EQ(vek::rensym("a"), nullptr);
    EXPECT_EQ(vek::delsym("a"), 0);
}

TEST_F(Symbols, NameMayLieInTheSymbolItReplaces) {
    vek::defsym("abc", 1);
    vek::ProgramSymbol* s = vek::defsym(vek::rensym("abc")->name, 5);
    EXPECT_EQ(s->name, "abc");
    EXPECT_EQ(vek::rensym("abc")->value, 5u);
    vek::defsym(".time", 1);
    EXPECT_EQ(vek::delsym(vek::rensym(".time")->name), 1);
    EXPECT_EQ(vek::symtab().time, nullptr);
}

TEST_F(Symbols, CountersBindToTheirSymbols) {
    vek::SymbolTable& t = vek::symtab();
    struct {
        const char* name;
        uint32_t* vek::SymbolTable::*counter;
    } counters[] = {{".time", &vek::SymbolTable::time},
                    {".xtime", &vek::SymbolTable::xtime},
                    {".nbins", &vek::SymbolTable::nbins},
                    {".btime", &vek::SymbolTable::btime}};
    for (const auto& c : counters) {
        EXPECT_EQ(t.*c.counter, nullptr) << c.name;
        vek::ProgramSymbol* s = vek::defsym(c.name, 10);
        ASSERT_EQ(t.*c.counter, &s->value) << c.name;
        *(t.*c.counter) += 5;  // the simulator counts into the symbol
        EXPECT_EQ(vek::rensym(c.name)->value, 15u) << c.name;
        vek::ProgramSymbol* again = vek::defsym(c.name, 2);  // restarts from the new value
        EXPECT_EQ(t.*c.counter, &again->value) << c.name;
        EXPECT_EQ(vek::countervalue(t.*c.counter), 2u) << c.name;
        EXPECT_EQ(vek::delsym(c.name), 1) << c.name;
        EXPECT_EQ(t.*c.counter, nullptr) << c.name;
        EXPECT_EQ(vek::countervalue(t.*c.counter), 0u) << c.name;
    }
}

TEST_F(Symbols, VleBoundary) {
    vek::defsym(".vle", 0x1000);
    EXPECT_EQ(vek::symtab().vle, 0x1000u);
    EXPECT_EQ(vek::delsym(".vle"), 1);
    EXPECT_EQ(vek::symtab().vle, 0u);
}

TEST_F(Symbols, BindingChangesAreAnnounced) {
    struct Follower {
        uint32_t* time = nullptr;
        uint32_t vle = 0;
        int calls = 0;
    } sim;
    vek::symtab().onbind = [&](const vek::SymbolTable& t) {
        sim.time = t.time;
        sim.vle = t.vle;
        ++sim.calls;
    };
    vek::defsym("main", 0x100);
    EXPECT_EQ(sim.calls, 0);
    vek::defsym(".time", 7);
    EXPECT_EQ(sim.time, vek::symtab().time);
    vek::defsym(".vle", 0x800);
    EXPECT_EQ(sim.vle, 0x800u);
    vek::delsym(".time");
    EXPECT_EQ(sim.time, nullptr);
    vek::freesyms();
    EXPECT_EQ(sim.vle, 0u);
    EXPECT_EQ(sim.calls, 4);
}

TEST_F(Symbols, ClrsymsKeepsDotSymbolsAndFreesymsEverything) {
    vek::defsym(".time", 0);
    vek::defsym("main", 0x100);
    vek::defsym(".text", 0x100);
    vek::defsym("end", 0x200);
    vek::clrsyms();
    EXPECT_EQ(order(), (std::vector<std::string>{".time", ".text"}));
    EXPECT_NE(vek::symtab().time, nullptr);
    vek::symtab().programfile = "p.o";
    vek::freesyms();
    EXPECT_EQ(vek::symtab().head, nullptr);
    EXPECT_EQ(vek::symtab().time, nullptr);
    EXPECT_EQ(vek::symtab().programfile, "");
}

// The table against a plain list walked as the table's rules say: random
// definitions and deletions (many equal values, dot symbols among them),
// then the list order and every lookup compared.
TEST_F(Symbols, IndexesAgreeWithWalkingTheList) {
    struct Plain {
        std::string name;
        uint32_t value;
    };
    std::list<Plain> model;
    auto dot = [](const std::string& n) { return n[0] == '.'; };
    auto modeldel = [&](const std::string& n) {
        for (auto it = model.begin(); it != model.end(); ++it)
            if (it->name == n) return (void)model.erase(it);
    };
    auto modeldef = [&](const std::string& n, uint32_t v) {
        modeldel(n);
        auto it = model.begin();
        while (it != model.end() && (it->value <= v || dot(it->name))) ++it;
        model.insert(it, {n, v});
    };
    std::mt19937 rng(11);
    for (int step = 0; step < 3000; ++step) {
        std::string name = (rng() % 5 == 0 ? "." : rng() % 2 ? "_" : "") + std::to_string(rng() % 200);
        uint32_t value = rng() % 4 == 0 ? 0xFFFFFFFFu : rng() % 64 * 16;
        if (rng() % 4 == 0) {
            vek::delsym(name);
            modeldel(name);
        } else {
            vek::defsym(name, value);
            modeldef(name, value);
        }
        if (step % 100 == 99) {
            vek::clrsyms();
            model.remove_if([&](const Plain& p) { return !dot(p.name); });
        }
        std::vector<std::string> want;
        for (const Plain& p : model) want.push_back(p.name);
        ASSERT_EQ(order(), want) << "after step " << step;
        uint32_t probe = rng() % 64 * 16 + rng() % 3 * 8;
        const Plain* below = nullptr;
        for (const Plain& p : model) {
            if (dot(p.name)) continue;
            if (p.value > probe) break;
            if (p.value == probe) {
                below = &p;
                break;
            }
            below = &p;
        }
        vek::ProgramSymbol* got = vek::symbelow(probe);
        ASSERT_EQ(got ? got->name : "-", below ? below->name : "-") << "symbelow " << probe << " at step " << step;
        for (const char* prefix : {"", ".", "_", "1"}) {
            const Plain* at = nullptr;
            for (const Plain& p : model)
                if (p.value == probe && p.name.starts_with(prefix)) {
                    at = &p;
                    break;
                }
            got = vek::symat(probe, prefix);
            ASSERT_EQ(got ? got->name : "-", at ? at->name : "-") << "symat " << probe << " '" << prefix << "'";
        }
        ASSERT_EQ(vek::rensym(name) != nullptr, std::any_of(model.begin(), model.end(), [&](const Plain& p) {
                      return p.name == name;
                  }));
    }
}

}  // namespace
