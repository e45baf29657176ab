// Object files written by the assembler itself: absolute sections with -x
// records, the debug directives and ".debug" data of a C function, and the
// -xx symbol table all load with their memory, symbols and debug tables.
#include <cstdlib>
#include <fstream>

#include "harness.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"

namespace {

// Assembles source with the options into a temporary object file; the
// object's path, or "" when it failed.
std::string assemble(const std::string& name, const std::string& source, const std::string& options) {
    std::string src = temppath(name + ".s"), obj = temppath(name + ".o");
    std::ofstream(src) << source;
    std::string cmd = std::string(CAPPC_PATH) + " " + options + " -o " + obj + " " + src;
    if (std::system(cmd.c_str()) == 0) return obj;
    return "";
}

#define ASSEMBLE(obj, name, source, options)                               \
    std::string obj = assemble(name, source, options);                               \
    ASSERT_FALSE(obj.empty()) << "cappc cannot assemble " name

TEST(Assembler, AbsoluteSectionsWithXRecords) {
    ASSEMBLE(obj, "abs",
                     "\txdef\t_main\n"
                          "\torg\t$1000\n"
                          "_main:\tdc.w\t$4400\n"
                          "\tdc.w\t$4400\n"
                          "\tswitch\t.data\n"
                          "\torg\t$40000000\n"
                          "_var:\tdc.l\t1,2\n"
                          "\tswitch\t.text\n"
                          "\tdc.w\t$4400\n",
                     "-a -x -pl");

    Harness h;
    vek::LoadOutcome r = vek::loadprogram(h.env, obj, nullptr, true, false);
    ASSERT_TRUE(r.ok) << h.rep.err;
    EXPECT_EQ(h.rep.out, "    T: 0x1000 (6)  D: 0x40000000 (8)\nentry point at 0x1000\n");
    EXPECT_EQ(h.memory(0x1000, 6), (std::vector<uint8_t>{0x44, 0, 0x44, 0, 0x44, 0}));
    EXPECT_EQ(h.memory(0x40000000, 8), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 2}));
    EXPECT_EQ(*h.syms.findsym("_main"), 0x1000u);
    EXPECT_EQ(*h.syms.findsym("_var"), 0x40000000u);
    EXPECT_EQ(h.mem.pc, 0x1000u);

    const vek::DebugInfo& di = h.prog.debug;
    ASSERT_EQ(di.files.size(), 1u);
    EXPECT_EQ(di.files[0]->name.substr(di.files[0]->name.size() - 5), "abs.s");
    EXPECT_EQ(di.files[0]->lastline, 9u);
    const vek::LineRecord* start = vek::findstmtat(di, 0x1000);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->kind, vek::kind::Start);
    ASSERT_TRUE(start->owner);
    EXPECT_EQ(start->owner->name, "");
    EXPECT_EQ(vek::islinestart(di, 0x1002), 1);
    EXPECT_EQ(vek::islinestart(di, 0x0FFE), 0);
}

// Debug directives and ".debug" data as the code generator writes them for
// a C function: a file entry, a function link entry with its locals, and the
// start, frame, line, exit and end records.
TEST(Assembler, DebugDirectivesAndDebugSection) {
    ASSEMBLE(obj, "dbg",
                     "\tswitch\t.debug\n"
                          "\t.dfile\t\"m.c\"\n"
                          "F1:\tdc.l\tN1,B1\n"
                          "N1:\tdc.b\t\"m.c\",0,$8a\n"
                          "B1:\tdc.l\tB2,F1,D1,3,6\n"
                          "\tdc.b\t$18,0,0,0\n"          // return type int, low byte first
                          "\tdc.l\t0,L1,0\n"
                          "D1:\tdc.b\t\"add\",0,6\n"
                          "A1:\tdc.b\t\"a\",0,2\n"
                          "L1:\tdc.l\tA1,8\n"
                          "\tdc.b\t$18,0,0,0\n"
                          "\tdc.l\t0,0,0,0,0\n"
                          "B2:\tdc.l\t0,F1,0,1,20,0,0,0,0\n"
                          "\tswitch\t.text\n"
                          "\torg\t$2000\n"
                          "\txdef\t_add\n"
                          "_add:\n"
                          "\t.dstart\t\"m.c~add:3-6\"\n"
                          "\t.dentry\t\"m.c~add:-16.+0.0.8\"\n"
                          "\t.dline\t\"m.c:4\"\n"
                          "\tdc.w\t$4400,$4400\n"
                          "\t.dline\t\"m.c:5\"\n"
                          "\tdc.w\t$4400\n"
                          "\t.dquit\t\"m.c~add:\"\n"
                          "\tdc.w\t$4400\n"
                          "\t.dendfn\t\"m.c~add:\"\n",
                     "-a");

    Harness h;
    vek::LoadOutcome r = vek::loadprogram(h.env, obj, "add", true, false);
    ASSERT_TRUE(r.ok) << h.rep.err;
    EXPECT_EQ(h.rep.err, "");
    EXPECT_EQ(h.mem.pc, 0x2000u);
    const vek::DebugInfo& di = h.prog.debug;
    const vek::FunctionRecord* add = vek::findfunc(di, "add", "m.c");
    ASSERT_TRUE(add);
    EXPECT_EQ(add->firstline, 3u);
    EXPECT_EQ(add->lastline, 6u);
    EXPECT_EQ(add->rettext + "add(" + add->argtext + ")", "int add(int a)");
    ASSERT_TRUE(add->start && add->frame && add->end);
    EXPECT_EQ(add->start->address, 0x2000u);
    EXPECT_EQ(add->end->address, 0x2008u);
    EXPECT_EQ(vek::findlineat(di, 0x2002)->line, 4);
    EXPECT_EQ(vek::findlineat(di, 0x2004)->line, 5);
    EXPECT_EQ(vek::findexitrec(di, vek::findlineat(di, 0x2004), 0x2006)->kind, vek::kind::Exit);
    EXPECT_EQ(vek::findlineat(di, 0x2004)->owner, add);
    ASSERT_EQ(di.files.size(), 1u);
    EXPECT_EQ(di.files[0]->funcs.size(), 2u);   // add and the file scope
}

// With -xx the assembler describes its public symbols in ".debug"; the
// table hangs where the built-in file entry's function keeps its locals, so
// the symbols read as file-scope variables with types from their sizes.
TEST(Assembler, FullDebugSymbolTableReadsAsFileScopeVariables) {
    ASSEMBLE(obj, "xx",
                     "\txdef\t_count,_msg\n"
                          "\tswitch\t.data\n"
                          "\torg\t$4000\n"
                          "_count:\tdc.l\t5\n"
                          "_msg:\tdc.b\t\"hello\",0\n"
                          "\tswitch\t.text\n"
                          "\torg\t$1000\n"
                          "_main:\tdc.w\t$4400\n",
                     "-a -xx");

    Harness h;
    ASSERT_TRUE(vek::loadprogram(h.env, obj, nullptr, true, false).ok) << h.rep.err;
    EXPECT_EQ(h.rep.err, "");
    ASSERT_EQ(h.prog.debug.files.size(), 1u);
    const vek::FileRecord& file = *h.prog.debug.files[0];
    ASSERT_EQ(file.funcs.size(), 1u);
    std::vector<std::string> got;
    for (const vek::VarRecord& v : file.funcs[0]->vars)
        got.push_back(v.name + " " + vek::hextextb(v.value) + " " + std::to_string(v.sclass));
    EXPECT_EQ(got, (std::vector<std::string>{"_main 0x1000 1", "_count 0x4000 6", "_msg 0x4004 6"}));
    // The type words come from the sizes between labels: 2 bytes "unsigned
    // short", 4 bytes "unsigned long", others an array of unsigned char.
    std::vector<std::string> decls;
    for (const vek::VarRecord& v : file.funcs[0]->vars) decls.push_back(vek::decltext(v));
    EXPECT_EQ(decls, (std::vector<std::string>{"static unsigned short _main", "unsigned long _count",
                                               "unsigned char _msg[6]"}));
}

// The assembler has no linker: without -a every section starts at 0, so
// data lands on the code. The loader says so (and loads as the file says);
// placed with -a and org, the same program loads without a word.
TEST(Assembler, SectionsPlacedOverEachOtherAreReported) {
    ASSEMBLE(rel, "overlap", " li r3,1\n dc.w 0\n switch .data\n dc.l $12345678\n", "");
    Harness h;
    ASSERT_EQ(vek::loadfile(h.env, rel), 1) << h.rep.err;
    EXPECT_EQ(h.rep.err, "section .data overwrites .text at 0x0-0x3\n");
    EXPECT_EQ(h.memory(0, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));

    ASSEMBLE(placed, "placed", " li r3,1\n dc.w 0\n switch .data\n org $100\n dc.l $12345678\n", "-a");
    Harness g;
    ASSERT_EQ(vek::loadfile(g.env, placed), 1) << g.rep.err;
    EXPECT_EQ(g.rep.err, "");
    EXPECT_EQ(g.memory(0, 4), (std::vector<uint8_t>{0x48, 0x13, 0, 0}));
    EXPECT_EQ(g.memory(0x100, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
}

}  // namespace
