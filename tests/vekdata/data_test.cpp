// The data and display commands on the fixture program.
#include "datafixture.h"

using Data = DataFixture;

TEST_F(Data, EvalShowsSymbolMemoryInEachSize) {
    session->target.mem.putlong(0x4000, 0x11223344);
    vek::defsym("datum", 0x4000);
    EXPECT_EQ(run("x /F:B datum\nx /F:W datum\nx /F:L datum\nx datum"),
              "    [datum].b = 17\n    [datum].w = 4386\n    [datum].l = 287454020\n    datum = 16384\n");
    EXPECT_EQ(run("x /Q gi"), "");
    EXPECT_EQ(run("x /F:Q datum"), "#error: Wrong Format for /F: Q datum\n");
    EXPECT_EQ(run("x /K gi"), "#error: Unknown Option K gi\n");
}

TEST_F(Data, UpdateAssignsAndShowsOldAndNew) {
    session->target.mem.putlong(fx::GI, 0);
    EXPECT_EQ(run("u gi = 5"), "    int gi = 0 => 5\n");
    EXPECT_EQ(getlong(fx::GI), 5u);
    run("u gi 3.7");
    EXPECT_EQ(getlong(fx::GI), 3u);
    input.push_back("42");
    run("u gi ?");
    EXPECT_EQ(getlong(fx::GI), 42u);
    run("u .v = 5");
    EXPECT_EQ(run("x .v"), "    .v = 5\n");
    EXPECT_EQ(run("u d = 2"), "    double d = 1500.0 => 2.0\n");
    EXPECT_EQ(run("u ll = -1\nx /x ll"), "    long long ll = 81985529216486895 => -1\n    ll = 0xffffffffffffffff\n");
    EXPECT_EQ(run("u ull = us\nu ll = -2.5\nx ull, ll"), "    unsigned long long ull = 18446744073709551615 => 65535\n"
                                                  "    long long ll = -1 => -2\n    ull = 65535\n    ll = -2\n");
    EXPECT_EQ(run("u pt = 1"), "#error: expression not updatable: pt\n");
    EXPECT_EQ(run("u gi = \"x\""), "#error: illegal type: gi\n");
}

TEST_F(Data, UpdateWritesStringsWithoutNul) {
    session->target.mem.putlong(fx::MSG, 0x41414141);
    EXPECT_EQ(run("u msg = \"a\\n\""), "");
    EXPECT_EQ(getlong(fx::MSG), 0x610A4141u);
    input.push_back("xy");
    run("u msg = \"b\", ?s");
    EXPECT_EQ(getlong(fx::MSG), 0x62787941u);
}

TEST_F(Data, MessFormatsArguments) {
    EXPECT_EQ(run("mess \"v=%d\\n\" 5"), "v=5\n");
    EXPECT_EQ(run("mess \"%z%%\""), "z%");
    EXPECT_EQ(run("mess \"%x,%d\" 255, gi"), "0x000000ff,-5");
    EXPECT_EQ(run("mess v=%d"), "#error: Missing \" \n");
}

TEST_F(Data, DumpFillAndModify) {
    EXPECT_EQ(run("mm /l 0x1000 0x11223344\ndump /b 0x1000, 4"),
              "00001000 11 22 33 44 00 00 00 00 00 00 00 00 00 00 00 00 \n");
    EXPECT_EQ(run("dump /w /a 0x1000, 16"), "00001000 1122 3344 0000 0000 0000 0000 0000 0000 .\"3D............\n");
    EXPECT_EQ(run("dump 0x1000 0x1000"), "#error:  Wrong Range for DUMP \n");
    EXPECT_EQ(run("fill 0x1000, 0, 1"), "#error:  Illegal count (zero) \n");
    EXPECT_EQ(run("fill 0x1010 0x100f 1"), "#error:  Wrong Range for FILL \n");
    EXPECT_EQ(run("dump /k 0"), "#error:  Unknown Option k 0\n");
    run("fill /w /v 0x2000, 3, 0xabcd");
    EXPECT_EQ(getlong(0x2000), 0xABCD0000u);   // one whole half-word, no byte past the range
    run("fill /l 0x2100 0x2107 0x01020304");
    EXPECT_EQ(getlong(0x2104), 0x01020304u);
    EXPECT_EQ(getbyte(0x2108), 0u);
}

TEST_F(Data, DumpAndFillStopAtTheTopOfMemory) {
    EXPECT_EQ(run("fill 0xfffffffe, 0x10, 7"), "");
    EXPECT_EQ(getbyte(0xFFFFFFFF), 7u);
    EXPECT_EQ(getbyte(0), 0u);
    EXPECT_EQ(run("dump 0xfffffff0, 0x100"),
              "fffffff0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 07 07 \n");
}

TEST_F(Data, StackListsFramesWithArguments) {
    EXPECT_EQ(run("stack"), "g()\nf(a=3)\nmain()\n");
    d->current = 1;
    EXPECT_EQ(run("stack"), "f(a=3)\nmain()\n");
    EXPECT_EQ(d->current, 1);
}

TEST_F(Data, FilesAndFunctions) {
    const std::string funcs = run("funcs /v");
    EXPECT_NE(funcs.find("Functions in file: fx.c\n"), std::string::npos) << funcs;
    EXPECT_NE(funcs.find(" (on)   int f(int a) at 0x"), std::string::npos) << funcs;
    EXPECT_NE(run("funcs fx.c").find(" (on)   g() at "), std::string::npos);
    EXPECT_EQ(run("funcs nofile.c"), "#error: incorrect argument: nofile.c\n");
    EXPECT_NE(run("files").find("fx.c"), std::string::npos);
}
