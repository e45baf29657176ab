// Source files: path search, kinds, colouring and trace lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "scratch.h"
#include "vek/core/support/output.h"
#include "vek/core/debuginfo/debuginfo.h"
#include "vek/views/model/srcfile.h"

using namespace vek::views;

static std::string e(int c) { return std::string{'\x01', char(c)}; }

TEST(SourcePath, CombineAppendsPrependsOrReplaces) {
    EXPECT_EQ(combinepath("a|b", "|c"), "a|b|c");
    EXPECT_EQ(combinepath("a|b", "c|"), "c|a|b");
    EXPECT_EQ(combinepath("a|b", "c"), "c");
    EXPECT_EQ(pathdirs("|/c"), (std::vector<std::string>{"/c"}));
    EXPECT_EQ(pathdirs("a||b|"), (std::vector<std::string>{"a", "b"}));
}

TEST(SourcePath, FindsAlongThePathAndByLastComponent) {
    scratch::Dir d;
    std::filesystem::create_directory(d.path() / "src");
    std::string dir = (d.path() / "src").string();
    { std::ofstream(dir + "/m.c") << "int x;\n"; }
    // an empty element no longer ends the path
    EXPECT_EQ(findsource(combinepath("", "|" + dir), "m.c"), dir + "/m.c");
    EXPECT_EQ(findsource(dir + "\\", "m.c"), dir + "/m.c");
    EXPECT_EQ(findsource(dir, "C:\\src\\m.c"), dir + "/m.c");
    EXPECT_EQ(findsource(dir, "nothere.c"), "");
    EXPECT_TRUE(isabsolute("\\x") && isabsolute("/x") && isabsolute("C:x") && !isabsolute("x/y"));
    EXPECT_TRUE(isdirectory(dir));
    EXPECT_FALSE(isdirectory(dir + "/m.c"));
}

TEST(SourceKinds, ByName) {
    struct Case { const char* name; SourceKind kind; };
    for (auto c : {Case{"a.S", SourceKind::Asm}, Case{"boot.asm", SourceKind::Asm}, Case{"m.c", SourceKind::C},
                   Case{"m.H", SourceKind::C}, Case{"ab", SourceKind::Other}, Case{"notes.txt", SourceKind::Other},
                   Case{".asm", SourceKind::Other}})
        EXPECT_EQ(sourcekind(nullptr, c.name), c.kind) << c.name;
}

TEST(Colouring, CFixtures) {
    ColorNames names;
    names.defines.insert("SIZE");
    names.typedefs.insert("word");
    struct Case { std::string in, out; };
    Case cases[] = {
        {"int x;", e(5) + "int" + e(1) + " x;"},
        {"n = abs (k);", "n = " + e(6) + "abs" + e(1) + " (k);"},
        {"abs = 1;", "abs = 1;"},
        {"word w[SIZE];", e(17) + "word" + e(1) + " w[" + e(16) + "SIZE" + e(1) + "];"},
        {"#include <x.h>\n", e(14) + "#include" + e(1) + " <x.h>\n"},
        {"p(\"/* no\"); q", "p(\"/* no\"); q"},
        {"p(\"// no\"); if", "p(\"// no\"); " + e(5) + "if" + e(1)},
        {"c = '\"'; if", "c = '\"'; " + e(5) + "if" + e(1)},
        {"s = \"a\\\\\"; if", "s = \"a\\\\\"; " + e(5) + "if" + e(1)},
        {"s = \"a\\\"b\"; if", "s = \"a\\\"b\"; " + e(5) + "if" + e(1)},
        {"s = \"open\nint", "s = \"open\n" + e(5) + "int" + e(1)},
        {"/* a\nb\nc */int", e(7) + "/* a\n" + e(7) + "b\n" + e(7) + "c */" + e(1) + e(5) + "int" + e(1)},
        {"x; // int\nint", "x; " + e(7) + "// int\n" + e(1) + e(5) + "int" + e(1)},
    };
    for (auto& c : cases) EXPECT_EQ(colorc(c.in, names), c.out) << c.in;
}

TEST(Colouring, AssemblerFixtures) {
    EXPECT_EQ(colorasm("\tse_blr ; back\n"), "\t" + e(11) + "se_blr" + e(1) + " " + e(7) + "; back\n" + e(1));
    EXPECT_EQ(colorasm(";\nx: e_li r3,1\n"),
              e(7) + ";\n" + e(1) + "x: " + e(11) + "e_li" + e(1) + " r3," + "1\n");
    EXPECT_EQ(colorasm(" SECTION .text\n"), " " + e(5) + "SECTION" + e(1) + " .text\n");
}

TEST(SrcLine, LinesNamesAndOneReportPerMissingFile) {
    scratch::Dir d;
    std::string dir = d.path().string();
    { std::ofstream(dir + "/t.c") << "one\r\nabcdefg\tx\nlast"; }
    SrcLineCache cache;
    EXPECT_EQ(srcline(cache, dir, "t.c", 2, true), "t.c:2 | abcdefg x");
    EXPECT_EQ(srcline(cache, dir, "t.c", 1, false), "one");
    EXPECT_EQ(srcline(cache, dir, "t.c", 9, true), "t.c:9");
    EXPECT_EQ(srcline(cache, dir, "t.c", 9, false), "t.c:9");
    uint32_t before = vek::outstate().errors;
    srcline(cache, dir, "a.c", 1, true);
    srcline(cache, dir, "b.c", 1, true);
    srcline(cache, dir, "a.c", 2, true);
    EXPECT_EQ(vek::outstate().errors - before, 2u);   // once per name
    srcline(cache, dir + "|/", "a.c", 2, true);
    EXPECT_EQ(vek::outstate().errors - before, 3u);   // again after a path change
}

TEST(Colouring, DefinesOfTheFileAndTypedefsOfAll) {
    vek::DebugInfo di;
    auto f = std::make_unique<vek::FileRecord>();
    f->name = "m.c";
    auto rec = std::make_unique<vek::LineRecord>();
    rec->text = "x#SIZE 10";
    f->defines.push_back(rec.get());
    di.store.push_back(std::move(rec));
    auto scope = std::make_unique<vek::FunctionRecord>();
    scope->name = ".";
    vek::VarRecord t;
    t.name = "word";
    t.sclass = vek::sc::TType;
    scope->vars.push_back(t);
    f->funcs.push_back(std::move(scope));
    di.files.push_back(std::move(f));
    ColorNames n = colornames(di, "m.c");
    EXPECT_EQ(n.defines.count("SIZE"), 1u);
    EXPECT_EQ(n.typedefs.count("word"), 1u);
    EXPECT_TRUE(colornames(di, "other.c").defines.empty());
}
