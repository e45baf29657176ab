// Browser texts, list files and the function switch.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "vek/core/debuginfo/debuginfo.h"
#include "vek/core/support/symbols.h"
#include "vek/views/model/browsers.h"
#include "vek/views/model/listtext.h"

using namespace vek;
using namespace vek::views;

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::string(VEKVIEWS_GOLDEN) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// main.c: main, tick (inactive), a file-scope record; util.c: twice; a
// duplicate file that lists nowhere.
struct Program {
    DebugInfo di;
    Program() {
        auto file = [&](const char* name, uint32_t flags) {
            auto f = std::make_unique<FileRecord>();
            f->name = name;
            f->flags = flags;
            di.files.push_back(std::move(f));
            return di.files.back().get();
        };
        auto func = [&](FileRecord* f, const char* name, const char* ret, const char* args, uint32_t addr, bool active) {
            auto fn = std::make_unique<FunctionRecord>();
            fn->file = f, fn->name = name, fn->rettext = ret, fn->argtext = args, fn->active = active;
            auto rec = std::make_unique<LineRecord>();
            rec->address = addr;
            fn->start = rec.get();
            di.store.push_back(std::move(rec));
            f->funcs.push_back(std::move(fn));
        };
        FileRecord* m = file("main.c", 0);
        func(m, "main", "int ", "void", 0x1000, true);
        func(m, "tick", "void ", "int n", 0x1040, false);
        func(m, ".", "", "", 0x1080, true);
        FileRecord* u = file("util.c", 0);
        func(u, "twice", "int ", "int x", 0x2000, true);
        FileRecord* d = file("dup.c", fileflag::Duplicate);
        func(d, "other", "int ", "", 0x3000, true);
    }
};

}  // namespace

TEST(Browsers, ListFilesMatchTheirGoldenFiles) {
    Program p;
    EXPECT_EQ(filelistfile(p.di), golden("files.fls"));
    // the function lists include the functions of files hidden elsewhere
    std::string fns = funclistfile(p.di);
    EXPECT_NE(fns.find("dup.c"), std::string::npos);
    std::string want = golden("functions.fns") + "\n\tFunctions in file: dup.c\n\tint other() at 0x3000\n\n";
    EXPECT_EQ(fns, want);
    EXPECT_EQ(funclistprint(p.di).find("\tint main"), std::string::npos);
}

TEST(Browsers, FileBrowserLinesOpenTheirFiles) {
    Program p;
    TextBuffer b;
    b.assign(filebrowsertext(p.di));
    b.reindex();
    EXPECT_EQ(b.lines(), 4);
    auto hit = hittest(b.line(2), 0, 10);
    EXPECT_EQ(hit.letter, 'F');
    EXPECT_EQ(hit.tag, "main.c");
}

TEST(Browsers, FunctionSwitchRunsTheCommandAndKeepsTheLine) {
    Program p;
    TextBuffer b;
    b.assign(funcbrowsertext(p.di, "main.c", true));
    b.reindex();
    EXPECT_EQ(plaintext(b.line(2)), "Functions in file: main.c");
    std::string_view on = b.line(3), off = b.line(4);
    EXPECT_EQ(plaintext(on), " (on)   int main(void) at 0x1000");
    EXPECT_EQ(plaintext(off), " (off)  void tick(int n) at 0x1040");
    EXPECT_EQ(switchcommand(on), "deact main()");
    EXPECT_EQ(switchcommand(off), "activ tick()");
    EXPECT_EQ(hittest(on, 0, 3).letter, 'S');
    EXPECT_EQ(switchtext(true).size(), 13u);
    EXPECT_EQ(switchtext(false).size(), 13u);
    std::string before(b.line(3).substr(13));
    EXPECT_EQ(b.overwrite(3, switchtext(false)), 13u);
    EXPECT_EQ(b.line(3).substr(13), before);
    EXPECT_EQ(switchcommand(b.line(3)), "activ main()");
    EXPECT_EQ(funcbrowsertext(p.di, "main.c", false).find("\x15" "E"), std::string::npos);
}

TEST(Browsers, SymbolsListSortsStablyByName) {
    ProgramSymbol a, b, c, dot;
    a.name = "zeta", a.value = 0x10, a.section = 1;
    b.name = "Alpha", b.value = 0x20;
    c.name = "alpha", c.value = 0x30, c.section = 1;
    dot.name = ".time";
    SymbolPlaces places;
    places.sectionname = [](uint8_t) { return std::string(".text"); };
    places.owner = [](uint32_t v, uint8_t, bool& source) {
        source = v == 0x10;
        return std::string(v == 0x10 ? "main.c" : "crt.o");
    };
    std::string t = symbolstext({&a, &b, &c, &dot}, true, places);
    TextBuffer buf;
    buf.assign(t);
    buf.reindex();
    ASSERT_EQ(buf.lines(), 3);
    EXPECT_EQ(plaintext(buf.line(1)), "  0x00000020  Alpha  absolute  ");
    EXPECT_EQ(plaintext(buf.line(2)), "  0x00000030  alpha in segment .text in object file: crt.o  ");
    EXPECT_EQ(plaintext(buf.line(3)), "  0x00000010  zeta in segment .text in: main.c  ");
}
