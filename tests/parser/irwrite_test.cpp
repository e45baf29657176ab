// The intermediate file that cpppc writes: the header and its strings, the
// declaration and data records, the literal flush, positions, spaces,
// sections, assembly text, trees and the debug records. Every file a test
// writes is decoded by toollib/ir and must pass irdump's checks.
#include <cstring>
#include <functional>

#include "parser/exprtree.h"
#include "parser/irwrite.h"
#include "tests/parser/harness.h"
#include "toollib/ir/ir.h"
#include "tools/irdump/irdump.h"

namespace {

using namespace cpppctest;
using cpppc::Parser;

struct IrRun {
    int status = 0;
    std::string err;
    std::string bytes;
    bool exists = false;
    ir::File file;
};

// Runs cpppc -o t.ir on the source; before runs after the declarations.
IrRun irrun(Scratch& s, const std::string& source, std::vector<std::string> options = {},
            std::function<void(Parser&)> before = {}) {
    s.write("t.c", source);
    options.insert(options.begin(), {"-o", "t.ir"});
    options.push_back("t.c");
    options.insert(options.begin(), "cpppc");
    std::vector<char*> argv;
    for (auto& a : options) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    testing::internal::CaptureStderr();
    cpppc::RunHooks hooks;
    if (before) hooks.beforeend = before;
    IrRun r;
    r.status = tl::runmain([&] { return cpppc::runfront(static_cast<int>(options.size()), argv.data(), hooks); });
    r.err = testing::internal::GetCapturedStderr();
    std::ifstream in("t.ir", std::ios::binary);
    r.exists = static_cast<bool>(in);
    if (r.exists) {
        r.bytes.assign(std::istreambuf_iterator<char>(in), {});
        r.file = ir::decodefile(r.bytes);
        std::vector<irdump::Problem> problems = irdump::checkfile(r.file, r.bytes.size());
        for (const auto& p : problems) ADD_FAILURE() << "offset " << p.offset << ": " << p.message;
    }
    return r;
}

// The records as irasm text, one per line, the header left out.
std::vector<std::string> records(const ir::File& f) {
    std::vector<std::string> out;
    std::string text = ir::printtext(f);
    size_t pos = text.find('\n') + 1;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        out.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Parses an expression of the unit (after its declarations) and folds it.
cpppc::ExprNode* parseexpr(Parser& P, const std::string& text) {
    std::string line = text + " ;";
    cpppc::PpToken* list = cpppc::splittokens(P, cpppc::keeptext(P, line.data(), line.size()));
    cpppc::expandmacros(P, &list, 0);
    cpppc::settokensource(P, list);
    cpppc::ExprNode* e = cpppc::commaexpr(P, 1);
    if (e) cpppc::foldexpr(P, e, 0);
    cpppc::settokensourcedone(P);
    return e;
}

// Writes each expression as a 150 record.
std::function<void(Parser&)> exprs(std::vector<std::string> texts, int discard = 0) {
    return [texts, discard](Parser& P) {
        if (ir::Output* o = cpppc::irsink(P)) {
            o->u8(ir::R_FUNCTION);
            o->name(ir::NameBlock::named(ir::NK_FUNCTION, "test"));
            o->u16(0);
            o->u32(0);
        }
        for (const std::string& t : texts) {
            cpppc::ExprNode* e = parseexpr(P, t);
            ASSERT_NE(e, nullptr) << t;
            if (ir::Output* o = cpppc::irsink(P)) o->u8(ir::R_EXPR);
            cpppc::putexpr(P, e, discard);
        }
        if (ir::Output* o = cpppc::irsink(P)) o->u8(ir::R_ENDFUNC);
    };
}

TEST(IrHeader, EmptyUnitIsHeaderAndStrings) {
    Scratch s;
    IrRun r = irrun(s, "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.bytes.size(), 33u);
    EXPECT_EQ(r.bytes.substr(0, 5), std::string("\xCB\x0C\x00\xFF\x12", 5));
    EXPECT_EQ(r.file.header.strings, (std::vector<std::string>{"cpppc", "V4.10.10", "24 Aug 2012"}));
    EXPECT_TRUE(r.file.records.empty());
}

struct HeaderCase {
    std::vector<std::string> options;
    uint8_t flags;
    std::vector<std::string> strings;  // after the three fixed ones
};

TEST(IrHeader, OptionsReachTheStrings) {
    const HeaderCase cases[] = {
        {{"-dA=\"x\"", "-d__VERS__=3", "-dB"}, 0, {"d B", "d A=x"}},
        {{"-m0x3030"}, 0, {"m 0x3030"}},
        {{"-x"}, 0x04, {"x"}},
        {{"-xx"}, 0x04, {"xx"}},
        {{"-xd"}, 0x0C, {"x"}},
        {{"-f", "-fr"}, 0x11, {"f"}},
        {{"-sa"}, 0, {"cp", "nc", "ne", "sa"}},
        {{"-a2", "-c99", "-u", "-s", "-np"}, 0, {"a2", "c99", "np", "s", "u"}},
        {{"-dL=" + std::string(300, 'v')}, 0, {"d L=" + std::string(251, 'v')}},  // cut to 255
    };
    for (const HeaderCase& c : cases) {
        Scratch s;
        IrRun r = irrun(s, "int x;\n", c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.file.header.bytes.size(), 5u);
        EXPECT_EQ(r.file.header.bytes[2], c.flags) << c.options[0];
        std::vector<std::string> want = {"cpppc", "V4.10.10", "24 Aug 2012"};
        want.insert(want.end(), c.strings.begin(), c.strings.end());
        EXPECT_EQ(r.file.header.strings, want) << c.options[0];
    }
}

TEST(IrHeader, AnalyserFileHasTwoBytes) {
    Scratch s;
    IrRun r = irrun(s, "", {"-an"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.bytes, std::string("\xCA\x13", 2));
}

TEST(IrData, DeclarationsInEndunitOrder) {
    Scratch s;
    const char* source = "int g;\nstatic char s[3];\nextern int e;\nint *p;\nfloat f;\nint f2(void);\nextern int unused;\n";
    IrRun r = irrun(s, source, {}, exprs({"p = &e", "f2()", "s[1]"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    // tentative definitions newest first, then the definitions and used externals
    std::vector<std::string> data;
    for (const std::string& l : lines)
        if (l.rfind("131 ", 0) == 0 || l.rfind("199 ", 0) == 0 || l.rfind("132 ", 0) == 0 || l.rfind("144 ", 0) == 0)
            data.push_back(l);
    EXPECT_EQ(data, (std::vector<std::string>{
                        "144 [0 0x84 \"f2\"] 0x800 0", "131 2 [0 0x81 \"f\"]", "132 [0 0x81 \"f\"] 0x0 4",
                        "131 1 [0 0x81 \"p\"]", "132 [0 0x81 \"p\"] 0x0 2", "144 [0 0x81 \"e\"] 0x0 0",
                        "131 0 [3 0x81 \"s\"]", "131 2 [0 0x81 \"g\"]", "132 [0 0x81 \"g\"] 0x0 4"}))
        << ir::printtext(r.file);
    EXPECT_FALSE(has(lines, "144 [0 0x81 \"unused\"] 0x0 0"));
    EXPECT_TRUE(has(lines, "147 4")) << ir::printtext(r.file);
}

TEST(IrData, FarModelAddsKindAndAttributes) {
    Scratch s;
    IrRun r = irrun(s, "extern int e;\nint *p;\n", {"-m0x3030"}, [](Parser& P) {
        cpppc::ExprNode* e = parseexpr(P, "&e");
        cpppc::putaddress(P, e, 4);
        cpppc::putaddress(P, e, 2);
        cpppc::putaddress(P, parseexpr(P, "(char *)12"), 1);
    });
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    EXPECT_TRUE(has(lines, "200 [0 0x89 \"e\"] 0")) << ir::printtext(r.file);
    EXPECT_TRUE(has(lines, "192 [0 0x89 \"e\"] 0"));
    EXPECT_TRUE(has(lines, "197 [0] 12")) << ir::printtext(r.file);
    EXPECT_TRUE(has(lines, "199 2 0x3000 [0 0x89 \"p\"]"));
}

TEST(IrData, StringPiecesAndLiterals) {
    Scratch s;
    std::string s255(255, 'a'), s256(256, 'b'), s300(300, 'c');
    IrRun r = irrun(s, "char *p;\n", {}, exprs({"p = \"\"", "p = \"" + s255 + "\"", "p = \"" + s256 + "\"", "p = \"" + s300 + "\""}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::string text = ir::printtext(r.file);
    // the empty string: a one-byte value; the others in 255-byte pieces ending short
    auto at = std::find(lines.begin(), lines.end(), "137 1 0");
    ASSERT_NE(at, lines.end()) << text;
    EXPECT_EQ(at[1], "210");
    EXPECT_EQ(at[-1].rfind("184 0 0x0 [", 0), 0u) << text;
    auto piece = [&](char c, size_t n) { return "148 \"" + std::string(n, c) + "\""; };
    at = std::find(lines.begin(), lines.end(), piece('a', 255));
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(at[1], "148 \"\"");
    at = std::find(lines.begin(), lines.end(), piece('b', 255));
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(at[1], piece('b', 1));
    at = std::find(lines.begin(), lines.end(), piece('c', 255));
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(at[1], piece('c', 45));
}

TEST(IrData, FloatLiteralFormsTakeTheirLabels) {
    Scratch s;
    IrRun r = irrun(s, "float f;\ndouble d;\n", {}, exprs({"f = 1.5f", "d = 2.5", "f = f * 2.5"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = ir::printtext(r.file);
    std::vector<std::string> lines = records(r.file);
    // every literal object is 184, one 133 of its form's size, 210
    std::vector<std::string> objects;
    for (size_t i = 0; i + 2 < lines.size(); ++i)
        if (lines[i].rfind("184 ", 0) == 0) objects.push_back(lines[i] + " | " + lines[i + 1] + " | " + lines[i + 2]);
    ASSERT_EQ(objects.size(), 3u) << text;  // f * 2.5 is folded with f known: 3.75
    // the leaves name the labels that the objects carry: n + 4 for float, n + 6 for double
    for (const std::string& o : objects) {
        size_t lb = o.find('[') + 1;
        int label = std::stoi(o.substr(lb));
        bool isfloat = o.find("133 4 ") != std::string::npos;
        EXPECT_TRUE(isfloat || o.find("133 8 ") != std::string::npos) << o;
        EXPECT_EQ((label - 3) % 8, isfloat ? 4 : 6) << o;  // the first literal's n is 3, the next 11
        EXPECT_NE(text.find("[" + std::to_string(label) + "] 0 0 1)"), std::string::npos) << text;
    }
}

TEST(IrPositions, SpacesSectionsAndAssemblyText) {
    Scratch s;
    std::string longline(300, 'x');
    std::string source = "int @fast a;\n#pragma section const [abc]\n#asm\n" + longline + "\n#endasm\nint @slow b;\n";
    IrRun r = irrun(s, source);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::string text = ir::printtext(r.file);
    auto find = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
    ptrdiff_t fast = find("186 [0 0x0 \"fast\"]"), slow = find("186 [0 0x0 \"slow\"]");
    ptrdiff_t section = find("20 2");
    ASSERT_LT(fast, static_cast<ptrdiff_t>(lines.size())) << text;
    EXPECT_LT(fast, slow);
    EXPECT_EQ(lines[static_cast<size_t>(section - 1)], "19 [0 0x0 \"t.c\"]") << text;
    EXPECT_EQ(lines[static_cast<size_t>(section + 1)].rfind("204 ", 0), 0u) << text;
    ptrdiff_t asmline = find("20 4");
    ASSERT_LT(asmline + 2, static_cast<ptrdiff_t>(lines.size())) << text;
    EXPECT_EQ(lines[static_cast<size_t>(asmline + 1)], "203 \"" + std::string(255, 'x') + "\"");
    EXPECT_EQ(lines[static_cast<size_t>(asmline + 2)], "203 \"" + std::string(45, 'x') + "\"");
    // a space is announced before the first record that carries its bit
    EXPECT_LT(fast, find("199 2 0x80 [0 0x81 \"a\"]")) << text;
}

TEST(IrPositions, FileNamesWithAndWithoutPath) {
    Scratch s;
    s.write("sub/h.h", "#asm\n nop\n#endasm\n");
    IrRun r = irrun(s, "#include \"sub/h.h\"\n", {"-xp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(records(r.file), "19 [0 0x0 \"h.h\\0sub/\"]")) << ir::printtext(r.file);
    r = irrun(s, "#include \"sub/h.h\"\n");
    EXPECT_TRUE(has(records(r.file), "19 [0 0x0 \"sub/h.h\"]")) << ir::printtext(r.file);
    r = irrun(s, "#include \"sub/h.h\"\n", {"-xf"});
    std::string full = (std::filesystem::current_path() / "sub/h.h").string();
    EXPECT_TRUE(has(records(r.file), "19 [0 0x0 \"" + full + "\"]")) << ir::printtext(r.file);
}

TEST(IrTrees, TheAssignmentOfOneToG) {
    Scratch s;
    IrRun r = irrun(s, "int g;\n", {}, exprs({"g = 1"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string want("\x96\x88\x06\x00\x06\x02\x00\x00\x81\x67\x00\x00\x00\x00\x00\x01"
                           "\x00\x06\x00\x00\x00\x01\x00\x00\x00\x00\x00", 27);
    EXPECT_NE(r.bytes.find(want), std::string::npos);
}

struct TreeCase {
    const char* expr;
    const char* tree;  // irasm text of the 150 record's tree
    int discard;
};

TEST(IrTrees, OperatorsCallsAndInPlaceForms) {
    const char* decls =
        "int x, y;\nstruct B { unsigned b : 1; } s;\nint f(void);\nint g(int, int, int);\nint h(int);\n"
        "int _asm();\n";
    const TreeCase cases[] = {
        {"x = -x", "(negself int (leaf int [0 0x81 \"x\"] 0 0 1))", 0},
        {"x = ~x", "(complself int (leaf int [0 0x81 \"x\"] 0 0 1))", 0},
        {"s.b = (s.b == 0)", "(complself ibits:0:1 (leaf ibits:0:1 [0 0x81 \"s\"] 0 0 1))", 0},
        {"x < y", "(, int (leaf int [0 0x81 \"x\"] 0 0 1) (leaf int [0 0x81 \"y\"] 0 0 1))", 1},
        {"f()", "(call int (leaf ptr/0x800>0x800 [0 0x84 \"f\"] 0 0 0))", 0},
        {"h(1)", "(callargs int (leaf ptr/0x800>0x800 [0 0x84 \"h\"] 0 0 0) (leaf int [0] 1 0 0))", 0},
        {"g(1, 2, 3)",
         "(callargs int (leaf ptr/0x800>0x800 [0 0x84 \"g\"] 0 0 0) (arg int (leaf int [0] 1 0 0) (arg int (leaf int [0] 2 0 0) "
         "(leaf int [0] 3 0 0))))",
         0},
        {"_asm(\"nop\")", "(asm int (leaf ptr/0x800>0x800 [0 0x84 \"_asm\"] 0 0 0) \"nop\\0\")", 0},
        {"_asm(\"li r3,%0\", x)",
         "(asmargs int (leaf ptr/0x800>0x800 [0 0x84 \"_asm\"] 0 0 0) \"li r3,%0\\0\" (leaf int [0 0x81 \"x\"] 0 0 1))", 0},
        {"x ? y : 2", "(?: int (!= int (leaf int [0 0x81 \"x\"] 0 0 1) (leaf int [0] 0 0 0)) (leaf int [0 0x81 \"y\"] 0 0 1) (leaf int [0] 2 0 0))", 0},
    };
    for (const TreeCase& c : cases) {
        Scratch s;
        IrRun r = irrun(s, decls, {}, exprs({c.expr}, c.discard));
        ASSERT_EQ(r.status, 0) << c.expr << "\n" << r.err;
        std::vector<std::string> lines = records(r.file);
        EXPECT_TRUE(has(lines, std::string("150 ") + c.tree)) << c.expr << "\n" << ir::printtext(r.file);
    }
}

// The debug entries as irdump --debug lists them.
std::string debuglist(const IrRun& r) {
    std::vector<irdump::Problem> problems;
    std::string out = irdump::debuglisting(r.file, problems);
    for (const auto& p : problems) ADD_FAILURE() << p.message;
    return out;
}

TEST(IrDebug, FileEntryTypeWordsAndLayouts) {
    Scratch s;
    IrRun r = irrun(s, "char **p;\nint a[3];\nstruct S { int m; char c; } x, y;\nstruct { short u; } anon;\n"
                       "enum E { A, B = 300 } en;\nint k;\n", {"-x"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string list = debuglist(r);
    EXPECT_NE(list.find("file t.c\n  end lines 1-6\n"), std::string::npos) << list;
    EXPECT_NE(list.find("symbol p storage 6 location p+0 type 0x50000008"), std::string::npos) << list;
    EXPECT_NE(list.find("symbol a storage 6 location a+0 type 0xc0000018"), std::string::npos) << list;
    EXPECT_NE(list.find("symbol x storage 6 location x+0 type 0x00000048"), std::string::npos) << list;
    EXPECT_NE(list.find("symbol en storage 6 location en+0 type 0x0000004c"), std::string::npos) << list;
    // the value cell holds the word's bytes reversed: 08 00 00 50 in the target
    std::vector<std::string> lines = records(r.file);
    // a plain int without attribute word refers to no type description
    auto k = std::find(lines.begin(), lines.end(), "200 [0 0x81 \"k\"] 0");
    ASSERT_NE(k, lines.end()) << ir::printtext(r.file);
    EXPECT_EQ(k[1], "137 4 402653184");
    EXPECT_EQ(k[2], "200 [0] 0");
    EXPECT_TRUE(has(lines, "137 4 134217808")) << ir::printtext(r.file);
    // struct S is laid out once for x and y; the untagged one has an empty name and kind 10
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "148 \"S\""), 1);
    auto empty = std::find(lines.begin(), lines.end(), "148 \"\"");
    ASSERT_NE(empty, lines.end());
    EXPECT_EQ(empty[1], "137 1 10");
    // the enum's layout ends with the null address and its size (2: unsigned short)
    auto e = std::find(lines.begin(), lines.end(), "148 \"E\"");
    ASSERT_NE(e, lines.end());
    EXPECT_EQ(e[1], "137 1 13");
    bool sized = false;
    for (auto it = e; it + 1 != lines.end(); ++it)
        if (*it == "200 [0] 0" && it[1] == "137 4 2") sized = true;
    EXPECT_TRUE(sized) << ir::printtext(r.file);
}

TEST(IrDebug, EachFileDescribesItsOwnStructs) {
    Scratch s;
    s.write("h.h", "struct S { int m; } hx;\n");
    IrRun r = irrun(s, "#include \"h.h\"\nstruct S y;\n", {"-x"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "148 \"S\""), 2) << ir::printtext(r.file);
    std::string list = debuglist(r);
    EXPECT_NE(list.find("file h.h"), std::string::npos) << list;
    EXPECT_NE(list.find("file t.c"), std::string::npos) << list;
}

TEST(IrDebug, TooComplexTypeIsAnError) {
    Scratch s;
    IrRun r = irrun(s, "int *************p;\n", {"-x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("type too complex for debug"), std::string::npos) << r.err;
    EXPECT_FALSE(r.exists);
    r = irrun(s, "int ************p;\n", {"-x"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(IrDebug, UsedMacrosWithExtendedDebug) {
    Scratch s;
    IrRun r = irrun(s, "#define N 5\n#define M 6\nint a[N];\ntypedef int T;\n", {"-xx"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    auto m = std::find(lines.begin(), lines.end(), "187 \"#N\"");
    ASSERT_NE(m, lines.end()) << ir::printtext(r.file);
    EXPECT_EQ(m[1], "148 \"5\"");
    EXPECT_FALSE(has(lines, "187 \"#M\""));
    EXPECT_NE(debuglist(r).find("symbol T storage 17 location 0"), std::string::npos);
}

TEST(IrDebug, ScopesOfAFunction) {
    Scratch s;
    IrRun r = irrun(s, "int g;\nint f(int);\n", {"-x"}, [](Parser& P) {
        cpppc::ExprNode* call = parseexpr(P, "f(g)");
        ASSERT_NE(call, nullptr);
        cpppc::StmtNode* body = cpppc::newstmt(P, cpppc::sk::Compound);
        cpppc::Symbol* st = cpppc::newsym(P, &body->locals, cpppc::internname(P, "st", 2), cpppc::sc::Static, P.types.sint);
        st->value = cpppc::nextlabel(P);
        st->flags |= cpppc::sf::Referenced;
        cpppc::putscopes(P, body);
        cpppc::putscopes(P, cpppc::newstmt(P, cpppc::sk::Compound));
    });
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::string text = ir::printtext(r.file);
    // the called function and the object referenced are listed and counted
    auto called = std::find(lines.begin(), lines.end(), "187 \"f\"");
    ASSERT_NE(called, lines.end()) << text;
    EXPECT_EQ(called[1], "137 4 1");
    EXPECT_EQ(called[2], "187 \"g\"");
    EXPECT_EQ(called[3], "137 4 1");
    // the static local gets a name record and a value record naming its label
    EXPECT_TRUE(has(lines, "148 \"st\"")) << text;
    EXPECT_NE(text.find(" 0x81 \"st\"] 0\n"), std::string::npos) << text;
    // a function without symbols: a null list cell, then H placed right after
    auto last = std::find(lines.rbegin(), lines.rend(), "200 [0] 0");
    ASSERT_NE(last, lines.rend());
    EXPECT_EQ(last[-1].rfind("200 [", 0), 0u);
    EXPECT_EQ(last[-2].rfind("213 0 [", 0), 0u);
}

TEST(IrDebug, FunctionEntryStartsItsLinkEntry) {
    Scratch s;
    IrRun r = irrun(s, "struct P { int x; };\nstruct P *f(int);\n", {"-x"}, [](Parser& P) {
        cpppc::Symbol* f = cpppc::findordinary(P, cpppc::internname(P, "f", 1));
        ASSERT_NE(f, nullptr);
        uint32_t a = cpppc::nextlabel(P), b = cpppc::nextlabel(P);
        cpppc::putdlabel(P, a);
        uint32_t e = cpppc::putdebugfunc(P, "dir/t.c", f, a, b);
        cpppc::putdlabel(P, e);
    });
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::string text = ir::printtext(r.file);
    auto name = std::find(lines.begin(), lines.end(), "148 \"f\"");
    ASSERT_NE(name, lines.end()) << text;
    EXPECT_EQ(name[-1].rfind("213 0 [", 0), 0u);
    EXPECT_EQ(name[1], "137 1 6");
    // the return type's description: T, the attribute word, the pointer step, then the layout
    EXPECT_TRUE(has(lines, "148 \"P\"")) << text;
    auto entry = std::find(lines.begin(), lines.end(), "214 0 [0 0x0 \"dir/t.c~f\"]");
    ASSERT_NE(entry, lines.end()) << text;
    EXPECT_EQ(entry[1].rfind("213 0 [", 0), 0u);
    EXPECT_EQ(entry[2].rfind("200 [", 0), 0u);
    EXPECT_EQ(entry[4], "200 " + name[-1].substr(6) + " 0");
}

// Whole functions compiled with -x: each link entry holds the return type
// word at offset 20 and the function's symbol list at 28, parameters last.
TEST(IrDebug, FunctionsDescribeTheirReturnTypesAndLocals) {
    Scratch s;
    IrRun r = irrun(s, "int g;\nchar f(int n, char *p) { int k = n; short t = 2; return (char)(k + t + *p); }\n"
                       "double h(void) { double d = 1.0; return d; }\nvoid v(void) { }\n", {"-x", "-a2"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string list = debuglist(r);
    EXPECT_NE(list.find("file t.c\n"
                        "  function f storage 6 lines 2-2 type 0x00000008\n"
                        "    symbol t storage 3 location 2 type 0x00000010\n"
                        "    symbol k storage 3 location 8 type 0x00000018\n"
                        "    symbol p storage 7 location 6 type 0x40000008\n"
                        "    symbol n storage 7 location 0 type 0x00000018\n"
                        "  function h storage 6 lines 3-3 type 0x00000029\n"
                        "    symbol d storage 3 location 8 type 0x00000029\n"
                        "  function v storage 6 lines 4-4 type 0x00000050\n"
                        "  end lines 1-4\n"),
              std::string::npos)
        << list;
}

TEST(IrDebug, NostackParametersLiveInTheLocalArea) {
    Scratch s;
    IrRun r = irrun(s, "int g;\n", {"-x"}, [](Parser& P) {
        P.irw.nostackname = "f.L";
        P.irw.nostackfar = true;
        cpppc::Symbol* list = nullptr;
        cpppc::Symbol* a = cpppc::newsym(P, &list, cpppc::internname(P, "a", 1), cpppc::sc::Param, P.types.sint);
        a->value = 8;
        cpppc::Symbol* b = cpppc::newsym(P, &list, cpppc::internname(P, "b", 1), cpppc::sc::Param, P.types.sint);
        b->value = 12;
        b->flags |= cpppc::sf::RegPassed;
        for (int pass = 0; pass < 2; ++pass) {
            cpppc::putdebugsym(P, a, pass);
            cpppc::putdebugsym(P, b, pass);
        }
        P.irw.nostackname.clear();
    });
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::string text = ir::printtext(r.file);
    auto a = std::find(lines.begin(), lines.end(), "148 \"a\"");
    auto b = std::find(lines.begin(), lines.end(), "148 \"b\"");
    ASSERT_NE(a, lines.end()) << text;
    ASSERT_NE(b, lines.end()) << text;
    EXPECT_EQ(a[1], "137 1 14");
    EXPECT_EQ(b[1], "137 1 15");
    EXPECT_TRUE(has(lines, "200 [0 0x89 \"f.L\"] 8")) << text;
    EXPECT_TRUE(has(lines, "200 [0 0x89 \"f.L\"] 12")) << text;
}

TEST(IrErrors, LongNameAndBadInput) {
    Scratch s;
    std::string name(300, 'n');
    IrRun r = irrun(s, "int " + name + ";\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("name too long for intermediate file"), std::string::npos) << r.err;
    EXPECT_FALSE(r.exists);
    r = irrun(s, "int " + std::string(254, 'k') + ";\n");
    EXPECT_EQ(r.status, 0) << r.err;
    r = irrun(s, "int x y;\nint z;\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.exists);
}

// Declaration forms of every kind go through with status 0 and decode to
// their last byte with and without debug data.
TEST(IrCorpus, DeclarationFormsDecode) {
    const char* corpus[] = {
        "int a, *b, c[4], (*d)(int), **e[2][3];\nstatic const volatile unsigned long f;\n",
        "struct L { struct L *next; int v : 3; unsigned w : 5; char c; } l;\nunion U { int i; float f; double d; } u;\n",
        "enum { X, Y = -5, Z } z;\ntypedef struct L *LP;\nLP lp;\nextern int ext;\nint uses(void);\n",
        "#pragma space [] @near\nint n1;\n#pragma section [bss]\nstatic int s1;\nint @tiny t1;\n",
        "char buf[300];\nconst char msg[] = \"hello\";\nint arr[] = {1, 2, 3};\ndouble dd;\nfloat ff;\n",
        "int f(int a, char *b, ...);\nint (*table[4])(void);\nstruct { int x, y; } pt;\n#asm\n nop\n#endasm\n",
    };
    for (const char* c : corpus) {
        for (const char* opt : {"-w1", "-x", "-xx", "-m0x3030"}) {
            Scratch s;
            IrRun r = irrun(s, c, {opt});
            EXPECT_EQ(r.status, 0) << opt << "\n" << c << r.err;
            EXPECT_TRUE(r.err.empty()) << r.err;
            ASSERT_TRUE(r.exists);
            debuglist(r);
        }
    }
}

}  // namespace

// ---- functions ----

namespace {

std::vector<std::string> withprefix(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

std::vector<int> codes(const std::vector<std::string>& lines) {
    std::vector<int> out;
    for (const std::string& l : lines) out.push_back(std::atoi(l.c_str()));
    return out;
}

}  // namespace

TEST(IrFunctions, AFunctionIsItsDefinitionParametersFrameMasksBodyAndEnd) {
    Scratch s;
    // -a2: the local stays in the frame
    IrRun r = irrun(s, "int g;\nint f(int a, int b) { int t; t = a + b; return t; }\n", {"-a2"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<int> c = codes(records(r.file));
    auto at = std::find(c.begin(), c.end(), 134);
    ASSERT_NE(at, c.end());
    std::vector<int> head(at, at + 7);
    EXPECT_EQ(head, (std::vector<int>{134, 251, 217, 217, 218, 129, 145})) << ir::printtext(r.file);
    auto ret = std::find(at, c.end(), 146);
    ASSERT_NE(ret, c.end());
    EXPECT_EQ(ret[1], 211);
    std::vector<std::string> lines = records(r.file);
    EXPECT_EQ(withprefix(lines, "218 ").front().substr(0, 5), "218 8") << ir::printtext(r.file);
    EXPECT_EQ(withprefix(lines, "129 ").front(), "129 -4") << ir::printtext(r.file);
}

TEST(IrFunctions, ParametersAfterTheFirstInMemoryHaveNoRegister) {
    Scratch s;
    // a struct first: nothing arrives in a register; a variadic function likewise
    IrRun r = irrun(s, "struct s { int a, b; };\nint f(struct s v, int x) { return x + v.a; }\n"
                       "int g(int a, ...) { return a; }\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(withprefix(records(r.file), "217 ").empty()) << ir::printtext(r.file);
    r = irrun(s, "int f(int a, int b, int c, int d, int e, int f, int g, double h, int i) { return i; }\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(withprefix(records(r.file), "217 ").size(), 7u) << ir::printtext(r.file);
}

struct SwitchCase {
    const char* name;
    const char* cases;
    std::vector<std::string> want;  // prefixes of the table records, in order
};

class SwitchTables : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTables, AsTheCasesLieTheyAreTablesRangesOrSingles) {
    const SwitchCase& c = GetParam();
    Scratch s;
    IrRun r = irrun(s, std::string("int g;\nvoid f(int x) { switch (x) { ") + c.cases + " } }\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = records(r.file);
    std::vector<std::string> got;
    for (const std::string& l : lines) {
        int code = std::atoi(l.c_str());
        if (code == 205 || code == 206 || code == 207) got.push_back(l);
    }
    ASSERT_EQ(got.size(), c.want.size()) << ir::printtext(r.file);
    for (size_t k = 0; k < got.size(); ++k) EXPECT_EQ(got[k].rfind(c.want[k], 0), 0u) << got[k] << " / " << c.want[k];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchTables,
    ::testing::Values(
        SwitchCase{"one_to_ten",
                   "case 1: g = 1; break; case 2: g = 2; break; case 3: g = 3; break; case 4: g = 4; break; "
                   "case 5: g = 5; break; case 6: g = 6; break; case 7: g = 7; break; case 8: g = 8; break; "
                   "case 9: g = 9; break; case 10: g = 10; break;",
                   {"205 10 1 ", "206 0"}},
        SwitchCase{"three_to_one_label_and_a_far_one", "case 1: case 2: case 3: g = 1; break; case 100: g = 2; break;",
                   {"207 1 3 ", "206 1 100 "}},
        SwitchCase{"even_values_with_a_default",
                   "case 0: g = 0; break; case 2: g = 2; break; case 4: g = 4; break; case 6: g = 6; break; "
                   "case 8: g = 8; break; case 10: g = 10; break; case 12: g = 12; break; default: g = 99;",
                   {"205 13 0 ", "206 0"}},
        SwitchCase{"six_consecutive",
                   "case 1: g = 1; break; case 2: g = 2; break; case 3: g = 3; break; case 4: g = 4; break; "
                   "case 5: g = 5; break; case 6: g = 6; break;",
                   {"206 6 "}}),
    [](const ::testing::TestParamInfo<SwitchCase>& i) { return std::string(i.param.name); });

TEST(IrFunctions, AndOnTrueBranchesOverWithOneNewLabel) {
    Scratch s;
    IrRun r = irrun(s, "int f(int p, int q) { int n = 0; while (p && q) { n++; p--; } return n; }\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<int> c = codes(records(r.file));
    // the test at the loop's end: p == 0 skips, q != 0 loops, then the skip label
    const std::vector<int> want{138, 143, 140};
    auto at = std::search(c.begin(), c.end(), want.begin(), want.end());
    EXPECT_NE(at, c.end()) << ir::printtext(r.file);
}

TEST(IrFunctions, BadFunctionsLeaveNoFile) {
    Scratch s;
    IrRun r = irrun(s, "int f(void) { goto nowhere; return 0; }\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("undefined label"), std::string::npos) << r.err;
    EXPECT_FALSE(r.exists);
}
