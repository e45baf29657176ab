// Source listings with counts and code, the line language's code listing,
// declaration texts and the line lookups.
#include "datafixture.h"

#include <cstring>

#include "vek/core/debuginfo/lookup.h"

using Listing = DataFixture;

TEST_F(Listing, SourceLinesOfARange) {
    EXPECT_EQ(run("print fx.c:3:5"), "3  /* line 3 */\n4  /* line 4 */\n5  /* line 5 */\n");
    EXPECT_EQ(run("print 22"), "22  /* line 22 */\n");   // the current frame's file
    EXPECT_EQ(run("print fx.c:29:100000"), "29  /* line 29 */\n30  /* line 30 */\n");
    EXPECT_EQ(run("print g()"), run("print fx.c:21:30"));
    EXPECT_EQ(run("print nosuch"), "#error: unknown command: nosuch\n");
    EXPECT_EQ(run("print h():3"), "#error: h(): function not found\n");
}

TEST_F(Listing, CodeLinesUnderTheirSourceLine) {
    // 0x100 holds _main: a label line, then the 2-byte instruction with its
    // two byte pairs and seven blank slots.
    const std::string insn = "    0x00000100 4444" + std::string(14, ' ') + " ";
    const std::string out = run("print /a fx.c:1:2");
    EXPECT_EQ(out.substr(0, out.find('\n', out.find('\n') + 1) + 1),
              "1  /* line 1 */\n    0x00000100 " + std::string(17, ' ') + "_main:\n")
        << out;
    EXPECT_NE(out.find(insn), std::string::npos) << out;
    EXPECT_NE(out.find("2  /* line 2 */\n    0x00000102 4444"), std::string::npos) << out;
}

TEST_F(Listing, CountsAndPercentages) {
    auto rec = [&](uint32_t line) {
        for (vek::LineRecord* r : d->di().lines)
            if (r->line == line && (r->kind == vek::kind::Line || r->kind == vek::kind::Start)) return r;
        return static_cast<vek::LineRecord*>(nullptr);
    };
    EXPECT_EQ(run("perf"), "Functions in file: fx.c\n    main() 0  calls\n    f() 0  calls\n    g() 0  calls\n");
    rec(1)->hits = 617;
    rec(11)->hits = 617;
    rec(21)->hits = 0;
    rec(2)->hits = 3;
    EXPECT_EQ(run("perf"), "Functions in file: fx.c\n"
                           "    main()  617 / 1234  calls =  50.00%\n"
                           "    f()  617 / 1234  calls =  50.00%\n"
                           "    g()    0 / 1234  calls =   0.00%\n");
    EXPECT_EQ(run("print /p fx.c:1:4"), "617 / 620 =  99.51% | 1  /* line 1 */\n"
                                        "  3 / 620 =   0.48% | 2  /* line 2 */\n"
                                        "  0 / 620 =   0.00% | 3  /* line 3 */\n"
                                        "                    | 4  /* line 4 */\n");
    run("perf /z fx.c:1:1");
    EXPECT_EQ(rec(1)->hits, 0u);
    EXPECT_EQ(rec(2)->hits, 3u);
    run("perf /z");
    EXPECT_EQ(rec(11)->hits, 0u);
    EXPECT_EQ(rec(2)->hits, 0u);
    EXPECT_EQ(run("print /p fx.c:2:2"), "0 | 2  /* line 2 */\n");
    EXPECT_EQ(vek::percenttext(617, 1234), " 50.00");
    EXPECT_EQ(vek::percenttext(0xFFFFFFFF, 0xFFFFFFFF), "100.00");
}

TEST_F(Listing, LineLanguage) {
    vek::runline(*d, "e 0x100 , 0x104", true);
    EXPECT_EQ(std::count(host.text.begin(), host.text.end(), '\n'), 3) << host.text;
    host.text.clear();
    vek::runline(*d, "e 0x104 , 0x104", true);
    EXPECT_EQ(host.text, "");
    vek::runline(*d, "{e 0x106, #2; e}", true);
    EXPECT_EQ(std::count(host.text.begin(), host.text.end(), '\n'), 4) << host.text;   // two, then two more
    host.text.clear();
    vek::runline(*d, "q 1", true);
    EXPECT_EQ(host.text, "#error: unknown command: q 1\n");
    host.text.clear();
    vek::runline(*d, "e 0xfffffffe, #5", true);   // ends at the top of memory
    EXPECT_EQ(std::count(host.text.begin(), host.text.end(), '\n'), 1) << host.text;
}

TEST_F(Listing, LineAddresses) {
    uint32_t a = 0;
    EXPECT_TRUE(vek::lineaddress(*d, "fx.c", 12, -1, a));
    EXPECT_EQ(a, 0x112u);
    host.text.clear();
    EXPECT_FALSE(vek::lineaddress(*d, "fx.c", 5, -1, a));
    EXPECT_EQ(host.text, "#error: source line not found\n");
    const vek::FileRecord& file = *d->di().files[0];
    host.boxes.clear();
    vek::showlineaddr(*d, file, 22);
    EXPECT_EQ(host.boxes, "Address of: 0x122\n");
    host.text.clear();
    vek::showlineaddr(*d, file, 5);
    EXPECT_EQ(host.text, "#error:  No code at that location\n");
}

TEST(Declarations, Texts) {
    struct Case {
        uint8_t sclass;
        uint32_t type;
        std::vector<uint32_t> steps;
        const char* decl;
        const char* var;
    };
    const Case cases[] = {
        {1, 0xD0000018, {4, 0}, "static int *p[4]", "static int *p[4]"},
        {6, 0xD0000018, {4, 0}, "int *p[4]", "extern int *p[4]"},
        {16, 0xD0000018, {4, 0}, "static auto int *p[4]", "static auto int *p[4]"},
        {0, 0x70000018, {0, 4}, "int (*p)[4]", "int (*p)[4]"},
        {0, 0x40000009, {0}, "char *p", "char *p"},
        {0, 0xF0000018, {2, 3}, "int p[2][3]", "int p[2][3]"},
    };
    for (const Case& c : cases) {
        vek::VarRecord v;
        v.name = "p";
        v.sclass = c.sclass;
        v.type = c.type;
        v.desc.steps = c.steps;
        EXPECT_EQ(vek::decltext(v), c.decl);
        EXPECT_EQ(vek::vardecl(v), c.var);
    }
}

TEST(Declarations, Trees) {
    vek::AggregateDescriptor inner, outer;
    inner.tag = "pt";
    vek::VarRecord x, y, pos, next, p;
    x.name = "x";
    x.type = 24;
    y.name = "y";
    y.type = 26;
    inner.members = {x, y};
    outer.tag = "node";
    pos.name = "pos";
    pos.type = 72;
    pos.desc.agg = &inner;
    next.name = "next";
    next.type = 0x40000048;
    next.desc.steps = {0};
    next.desc.agg = &outer;
    outer.members = {pos, next};
    p.name = "n";
    p.sclass = 1;
    p.type = 72;
    p.desc.agg = &outer;
    // Later members line up under the first; a pointer's struct is not
    // written out (it may be the struct itself).
    EXPECT_EQ(vek::decltree(p, 0), "static struct node {struct pt {int x;\n"
                                   "                               unsigned int y;\n"
                                   "                    } pos;\n"
                                   "                    struct node *next;\n"
                                   "} n");
}

TEST(Defines, TableOfAModule) {
    vek::DebugInfo di;
    vek::adddebugrecord(di, 0x00, vek::kind::Module, "m.c");
    vek::adddebugrecord(di, 0x40, vek::kind::Module, "n.c");
    vek::adddebugrecord(di, 0x10, vek::kind::Xref, "x#FOO");
    vek::adddebugrecord(di, 0x18, vek::kind::Xref, "xyNOT");
    vek::adddebugrecord(di, 0x20, vek::kind::Xref, "x#BAR");
    vek::adddebugrecord(di, 0x38, vek::kind::Xref, "x#END");    // text runs to the section's end
    vek::adddebugrecord(di, 0x48, vek::kind::Xref, "x#LATE");   // n.c's, outside the section
    for (const char* name : {"m.c", "n.c"}) {
        auto f = std::make_unique<vek::FileRecord>();
        f->name = name;
        di.files.push_back(std::move(f));
    }
    std::vector<uint8_t> section(0x40, 0);
    std::memcpy(&section[0x10], "1+1", 4);
    std::memcpy(&section[0x20], "(x)*2", 6);
    std::memset(&section[0x38], 'z', 8);
    vek::builddefines(di, {section.data(), uint32_t(section.size()), 0});
    const vek::FileRecord& m = *di.files[0];
    ASSERT_EQ(m.defines.size(), 3u);
    EXPECT_EQ(m.defines[0]->text.substr(2), "FOO");
    EXPECT_EQ(m.definetexts, (std::vector<std::string>{"1+1", "(x)*2", "zzzzzzzz"}));
    ASSERT_EQ(di.files[1]->defines.size(), 1u);
    EXPECT_EQ(di.files[1]->definetexts[0], "");
}
