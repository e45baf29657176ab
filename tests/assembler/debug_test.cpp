// Debug-location records and the object dumper's view of them.
#include "asmtest.h"

#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/objdump/objdump.h"

using namespace asmtest;

class Debug : public AsmTest {
protected:
    std::string dumpof(const std::string& obj) {
        objdump::DumpResult d = objdump::dump(readbytes(obj));
        EXPECT_TRUE(d.problems.empty()) << ::testing::PrintToString(d.problems) << "\n" << d.text;
        return d.text;
    }
    static std::vector<std::string> debuglines(const std::string& text) {
        std::vector<std::string> out;
        size_t at = 0;
        while ((at = text.find("\ndebug ", at)) != std::string::npos) {
            size_t end = text.find('\n', at + 1);
            std::string line = text.substr(at + 1, end - at - 1);
            out.push_back(line.substr(line.find(" kind ")));
            at = end;
        }
        return out;
    }
};

TEST_F(Debug, GoldenDump) {
    write("t.s", " xref xyz\n dc.b 1,2,3\n switch .data\n dc.l 1,2\n dc.l xyz\n");
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dumpof("t.o"),
              "header: magic cc family 3 variant 8 sections 2\n"
              "symbols: count 1 offset 127 size 10\n"
              "debug: count 0 offset 137 size 0\n"
              "section 1 .text attr c6 data 108+4 reloc 112+0 origin 00000000\n"
              "  0000: 01 02 03 00\n"
              "section 2 .data attr 46 data 112+12 reloc 124+3 origin 00000000\n"
              "  0000: 00 00 00 01 00 00 00 02 00 00 00 00\n"
              "  skip 8\n"
              "  reloc 0008: code 12 symbol xyz size 4\n"
              "symbol 3 value 00000000 flags 06 section 0 xyz\n");
}

TEST_F(Debug, AutomaticRecords) {
    write("hand.s", " add r3,r4\n dc.b 1\n add r3,r4\n");
    Result r = run({"-x", "-si", "hand.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> want = {" kind 64 section 2 \"hand.s\"", " kind 32 section 1 \"hand.s~:1-1\"",
                                     " kind 8 section 1 \"hand.s:1\"", " kind 8 section 1 \"hand.s:3\"",
                                     " kind 16 section 1 \"hand.s:3-3\""};
    EXPECT_EQ(debuglines(dumpof("hand.o")), want);
}

TEST_F(Debug, SourceRecordsReplaceAutomaticOnes) {
    write("c.s", " dc.b 1\n dc.b 2\n dc.b 3\n dc.b 4\n .dline \"c.c:12\"\n dc.b 5\n");
    Result r = run({"-x", "-si", "c.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> want = {" kind 8 section 1 \"c.c:12\""};
    EXPECT_EQ(debuglines(dumpof("c.o")), want);
}

TEST_F(Debug, SectionChangesCloseAndOpenRanges) {
    write("s.s", " dc.b 1\n switch .data\n dc.b 2\n switch .text\n dc.b 3\n");
    Result r = run({"-x", "-si", "s.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> want = {" kind 64 section 3 \"s.s\"",       " kind 32 section 1 \"s.s~:1-1\"",
                                     " kind 16 section 1 \"s.s:2-2\"",   " kind 32 section 2 \"s.s~:2-2\"",
                                     " kind 16 section 2 \"s.s:4-4\"",   " kind 32 section 1 \"s.s~:4-4\"",
                                     " kind 16 section 1 \"s.s:5-5\""};
    EXPECT_EQ(debuglines(dumpof("s.o")), want);
}

TEST_F(Debug, GeneratedTextNeedsNoAutomaticRecords) {
    write("part.qv2", " dc.b 1\n");
    write("next.s", " dc.b 1\n");
    Result r = run({"-x", "-si", "part.qv2", "next.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(debuglines(dumpof("part.o")).empty());
    EXPECT_TRUE(debuglines(dumpof("next.o")).empty());  // -x stays off for the rest of the run
}

TEST_F(Debug, OddSourceNames) {
    std::string name = "d,ir \"q\"/" + std::string(200, 'x') + ".s";
    write(name, " dc.b 1\n");
    Result r = run({"-x", "-si", name});
    ASSERT_EQ(r.status, 0) << r.err;
    // both quote characters: the file record keeps single quotes
    write("h,'q\".s", " add r3,r4\n");
    r = run({"-x", "-si", "h,'q\".s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(debuglines(dumpof("h,'q\".o")).at(0), " kind 64 section 2 \"h,'q'.s\"");
}

TEST_F(Debug, FullDebugTable) {
    write("f.s", " xdef a,b\n switch .data\na: dc.l 1\nb: ds.b 10\n");
    Result r = run({"-xx", "-si", "f.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> dbg = sectionbytes(readbytes("f.o"), ".debug");
    ASSERT_EQ(dbg.size(), 91u);
    // after the file descriptor of the built-in macro: the pointer to the
    // table, one 16-byte entry per symbol in symbol-list order (b, then a),
    // a zero word, the names with their class bytes and b's size word
    EXPECT_EQ(hex({dbg.begin() + 0x29, dbg.end()}),
              "00 00 00 2D "
              "00 00 00 51 00 00 00 04 0A 00 00 C0 00 00 00 54 "
              "00 00 00 58 00 00 00 00 21 00 00 00 00 00 00 00 "
              "00 00 00 00 "
              "62 00 06 00 00 00 0A 61 00 06");
}

TEST_F(Debug, EveryRelocationOfTheTableNamesAWrittenSymbol) {
    // with -mi the macro's label is public, but a macro is no symbol: the
    // table describes only what the object holds (dumpof checks it)
    struct Case {
        const char* source;
        std::vector<std::string> options;
    } cases[] = {
        {"m: macro\n nop\n endm\n m\n", {"-xx", "-mi"}},
        {"m: macro\n nop\n endm\nl: m\n xref e\n dc.l e\n", {"-xx", "-mi", "-p"}},
        {"s: lit \"1\"\nv: equ s\n dc.b v\n", {"-xx", "-mi", "-pe"}},
    };
    for (const auto& c : cases) {
        write("m.s", c.source);
        std::vector<std::string> args = c.options;
        args.push_back("m.s");
        Result r = run(args);
        ASSERT_EQ(r.status, 0) << c.source << r.err;
        dumpof("m.o");
    }
}

TEST_F(Debug, DescribedLabelsKeepTheirSection) {
    // private labels in sections without data: the table's relocations
    // still name a written section
    write("e.s", "L1:\nsw: section\nL2:\n");
    Result r = run({"-xx", "-si", "e.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = dumpof("e.o");
    EXPECT_NE(text.find(".text attr"), std::string::npos) << text;
    EXPECT_NE(text.find(" sw attr"), std::string::npos) << text;
    // a .dopt value relative to a section without data
    write("d.s", "sw: section\n .dopt \"x\",*+4\n");
    r = run({"-si", "d.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    text = dumpof("d.o");
    EXPECT_NE(text.find(" sw attr"), std::string::npos) << text;
}

TEST_F(Debug, DumperFindsDamage) {
    write("t.s", " xref x\n dc.l x\n");
    ASSERT_EQ(run({"-si", "t.s"}).status, 0);
    std::vector<uint8_t> obj = readbytes("t.o");
    std::vector<uint8_t> cut(obj.begin(), obj.begin() + 40);
    EXPECT_FALSE(objdump::dump(cut).problems.empty());
    std::vector<uint8_t> bad = obj;
    bad[28 + 20 + 3] = 2;  // data size 2: the long field passes it
    EXPECT_FALSE(objdump::dump(bad).problems.empty());
}


// The dumper as a program: the dump on standard output, every problem as
// one line on standard error, status 1 for any problem; a file that is no
// object file (or has no length, as a device) gives only its one line.
TEST_F(Debug, DumperDiagnosticsGoToStandardError) {
    write("t.s", " xref x\n dc.l x\n");
    ASSERT_EQ(run({"-si", "t.s"}).status, 0);
    std::vector<uint8_t> obj = readbytes("t.o");
    obj[28 + 20 + 3] = 2;  // data size 2: the long field passes it
    std::string damaged(obj.begin(), obj.end());
    write("damaged.o", damaged);
    std::string garbage;
    for (int i = 0; i < 4000; i++) garbage.push_back(static_cast<char>(0x30 + i % 64));
    write("garbage.bin", garbage);
    write("empty.o", "");
    struct Case {
        const char* file;
        bool dump;             // something on standard output
        const char* err;
    } cases[] = {
        {"garbage.bin", false, "qvobjdump: garbage.bin: bad magic byte\n"},
        {"empty.o", false, "qvobjdump: empty.o: file shorter than its header\n"},
        {"/dev/zero", false, "qvobjdump: /dev/zero: file shorter than its header\n"},
        {"missing.o", false, "qvobjdump: can't open missing.o\n"},
        {"damaged.o", true,
         "qvobjdump: damaged.o: section 1: relocation stream passes the section size (4 > 2)\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"qvobjdump", c.file};
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        tl::resettoolcontext();
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        int status = tl::runmain([&] { return objdump::run(2, argv.data()); });
        std::string err = ::testing::internal::GetCapturedStderr();
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 1) << c.file;
        EXPECT_EQ(err, c.err) << c.file;
        EXPECT_EQ(!out.empty(), c.dump) << c.file << ":\n" << out;
        EXPECT_EQ(out.find("!!"), std::string::npos) << out;
    }
}
