// Memory windows: line texts, change marks, scrolling, clicks, editing,
// dumps and the caption, over a memory kept in a map.
#include <gtest/gtest.h>

#include "fakeenv.h"
#include "vek/core/target/memory.h"

using namespace vek::views;

namespace {

std::string plain(const std::string& s) {
    std::string t;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == Esc) ++i;
        else t += s[i];
    return t;
}

struct MemWindows : ::testing::Test {
    FakeWorld world;
    MemEnv env = world.env();
    void SetUp() override {
        const uint8_t b[] = {0x41, 0x42, 0x80, 0xFF, 0x7F, 0x20, 0x0A, 0x61};
        for (uint32_t i = 0; i < 8; ++i) world.bytes[0x100 + i] = b[i];
    }
    std::string firstline(int size, int format, bool ascii) {
        MemoryWindow w = datawindow(0x100, size, format, ascii);
        w.visiblelines = 1;
        buildmemlines(w, env);
        return w.lines[0];
    }
};

TEST_F(MemWindows, DataLinesForEachSizeAndFormat) {
    struct Case { int size, format; bool ascii; const char* text; } cases[] = {
        {1, FmtHex, true, "00000100 41 42 80 ff 7f 20 0a 61 AB... .a"},
        {2, FmtHex, false, "00000100 4142 80ff 7f20 0a61 "},
        {4, FmtHex, false, "00000100 414280ff 7f200a61 "},
        {1, FmtOctal, false, "00000100 101 102 200 377 177 040 012 141 "},
        {2, FmtOctal, false, "00000100 040502 100377 077440 005141 "},
        {1, FmtDecimal, false, "00000100 065 066 128 255 127 032 010 097 "},
        {2, FmtDecimal, false, "00000100 16706 33023 32544 02657 "},
        {4, FmtDecimal, false, "00000100 001094877439 002132806241 "},
        {1, FmtBinary, true, "00000100 01000001 01000010 10000000 11111111 AB.."},
        {2, FmtBinary, false, "00000100 0100000101000010 1000000011111111 "},
    };
    for (const Case& c : cases) EXPECT_EQ(firstline(c.size, c.format, c.ascii), c.text) << c.size << "/" << c.format;
    world.setlong(0x100, 0xFFFFFFFF);
    EXPECT_EQ(firstline(4, FmtDecimal, false), "00000100 -00000000001 002132806241 ");
    world.setlong(0x100, 0x80000000);
    EXPECT_EQ(firstline(4, FmtDecimal, false), "00000100 -02147483648 002132806241 ");
}

TEST_F(MemWindows, OnlyValuesChangedSinceTheRebuildAreColoured) {
    MemoryWindow w = datawindow(0x100, 2, FmtHex, false);
    w.visiblelines = 2;
    buildmemlines(w, env);
    world.bytes[0x103] = 0x00;
    buildmemlines(w, env);
    EXPECT_EQ(w.lines[0], "00000100 4142 \x01\x0a" "8000\x01\x09 7f20 0a61 ");
    EXPECT_EQ(w.lines[1], "00000108 0000 0000 0000 0000 ");
    buildmemlines(w, env);   // still changed against the baseline
    EXPECT_NE(w.lines[0].find('\x01'), std::string::npos);
    w.rebuild = true;
    buildmemlines(w, env);
    EXPECT_EQ(w.lines[0], "00000100 4142 8000 7f20 0a61 ");
}

TEST_F(MemWindows, DataScrollingStepsEightBytesAndWraps) {
    MemoryWindow w = datawindow(0, 1, FmtBinary, false);
    ASSERT_EQ(w.bytesperline, 4);
    w.visiblelines = 5;
    buildmemlines(w, env);
    ASSERT_TRUE(scrollmem(w, env, LineDown));
    EXPECT_EQ(w.start, 8u);
    EXPECT_TRUE(w.rebuild == false && w.lines[0].rfind("00000008 ", 0) == 0);
    scrollmem(w, env, PageDown);
    EXPECT_EQ(w.start, 48u);
    w.start = 0;
    scrollmem(w, env, LineUp);
    EXPECT_EQ(w.start, 0xFFFFFFF8u);
    EXPECT_EQ(w.lines[0].substr(0, 9), "fffffff8 ");
    EXPECT_EQ(w.lines[2].substr(0, 9), "00000000 ");
    world.running = true;
    EXPECT_FALSE(scrollmem(w, env, LineDown));
    EXPECT_EQ(w.start, 0xFFFFFFF8u);
}

TEST_F(MemWindows, CodeWindowScrolling) {
    MemoryWindow w = codewindow(0);
    w.visiblelines = 3;
    buildmemlines(w, env);
    EXPECT_EQ(w.lines[0], "00000000 \x01\x0bnop\x01\x09");
    EXPECT_EQ(w.table, (std::vector<uint32_t>{0, 4, 8, 12}));
    EXPECT_EQ(w.end, 12u);
    scrollmem(w, env, LineUp);
    EXPECT_EQ(w.start, 0u);
    scrollmem(w, env, PageUp);
    EXPECT_EQ(w.start, 0xFFFFFFFCu);
    scrollmem(w, env, LineDown);
    EXPECT_EQ(w.start, 0u);
    // Line up near 0 stops at the start itself.
    world.length = [](uint32_t) { return 2u; };
    w.start = 3;
    scrollmem(w, env, LineUp);
    EXPECT_EQ(w.start, 1u);
    w.start = 1;
    scrollmem(w, env, LineUp);
    EXPECT_EQ(w.start, 0u);
    // Nothing before the start decodes to its own distance: back 8.
    w.start = 0x1000;
    world.length = [](uint32_t a) { return a == 0xFFE ? 4u : a == 0xFFC ? 2u : 4u; };
    scrollmem(w, env, LineUp);
    EXPECT_EQ(w.start, 0xFF8u);
    world.length = [](uint32_t a) { return a == 0x1000 ? 2u : 4u; };
    w.start = 0x1000;
    scrollmem(w, env, PageDown);
    EXPECT_EQ(w.start, 0x1002u);
    EXPECT_EQ(plain(w.lines[0]), "00001002 nop");
}

TEST_F(MemWindows, CodeWindowClicks) {
    MemoryWindow w = codewindow(0x1000);
    w.visiblelines = 2;
    world.length = [](uint32_t) { return 2u; };
    buildmemlines(w, env);
    EXPECT_EQ(plain(w.lines[0]), "00001000 se_b 0x1000");
    MemClick c = memclick(w, env, 0, 3, 0);
    EXPECT_EQ(c.what, MemClick::Command);
    EXPECT_EQ(c.text, "break @0x1000");
    EXPECT_EQ(memclick(w, env, 1, 0, KeyW).text, "watch @0x1002");
    world.events[0x1000] = 0;   // disabled
    c = memclick(w, env, 0, 7, KeyShift);
    EXPECT_EQ(c.what, MemClick::EventCommand);
    EXPECT_EQ(c.eventcmd, 801);
    EXPECT_EQ(memclick(w, env, 0, 7, KeyCtrl).eventcmd, 802);
    EXPECT_EQ(memclick(w, env, 0, 7, KeyCtrl | KeyShift).eventcmd, 803);
    EXPECT_EQ(memclick(w, env, 0, 7, 0).what, MemClick::EventPopup);
    EXPECT_EQ(memclick(w, env, 0, 8, 0).what, MemClick::Nothing);
    c = memclick(w, env, 0, 9 + 7, 0);   // inside "0x1000"
    EXPECT_EQ(c.what, MemClick::Symbol);
    EXPECT_EQ(c.text, "0x1000");
    EXPECT_EQ(memclick(w, env, 0, 9 + 4, 0).what, MemClick::Nothing);   // the blank
    EXPECT_EQ(memclick(w, env, 0, 40, 0).what, MemClick::Nothing);
    world.running = true;
    EXPECT_EQ(memclick(w, env, 0, 3, 0).what, MemClick::Beep);
}

TEST_F(MemWindows, TypingOverValues) {
    world.bytes[0x100] = 0x3F;
    MemoryWindow w = datawindow(0x100, 1, FmtHex, true);
    w.visiblelines = 2;
    buildmemlines(w, env);
    EXPECT_FALSE(edittype(w, env, '1'));   // no edit: beep
    editstart(w, 0, 11);                   // the blank after the first byte
    EXPECT_EQ(w.edit, NoEdit);
    EXPECT_EQ(memclick(w, env, 0, 9, 0).what, MemClick::Edit);
    EXPECT_TRUE(edittype(w, env, '1'));
    EXPECT_EQ(w.lines[0].substr(9, 2), "1f");
    EXPECT_TRUE(world.writes.empty());
    EXPECT_EQ(world.get(0x100), 0x3F);
    EXPECT_TRUE(edittype(w, env, 'a'));
    EXPECT_EQ(world.get(0x100), 0x1A);
    EXPECT_EQ(world.writes.size(), 1u);
    EXPECT_EQ(world.updates, 1);
    EXPECT_EQ(w.caretcol, 12);   // the blank skipped
    EXPECT_TRUE(edittype(w, env, 'x'));   // not a digit: ignored
    EXPECT_EQ(world.writes.size(), 1u);
    // A pending digit is written by Return.
    EXPECT_TRUE(edittype(w, env, '7'));
    EXPECT_TRUE(edittype(w, env, '\r'));
    EXPECT_EQ(world.get(0x101), 0x72);
    EXPECT_EQ(w.edit, NoEdit);
}

TEST_F(MemWindows, DigitsThatOverflowTheElementBeep) {
    MemoryWindow w = datawindow(0x100, 1, FmtDecimal, false);   // 065 066 ...
    w.visiblelines = 1;
    buildmemlines(w, env);
    editstart(w, 0, 9);
    EXPECT_FALSE(edittype(w, env, '3'));   // 365
    EXPECT_FALSE(edittype(w, env, '2'));   // 265
    EXPECT_TRUE(edittype(w, env, '1'));    // 165
    EXPECT_TRUE(edittype(w, env, '\r'));
    EXPECT_EQ(world.get(0x100), 165);
    MemoryWindow o = datawindow(0x100, 1, FmtOctal, false);   // 101
    o.visiblelines = 1;
    buildmemlines(o, env);
    editstart(o, 0, 9);
    EXPECT_FALSE(edittype(o, env, '7'));   // 701 > 0377
    world.setlong(0x100, 0xFFFFFFFF);
    MemoryWindow d = datawindow(0x100, 4, FmtDecimal, false);   // -00000000001
    d.visiblelines = 1;
    buildmemlines(d, env);
    editstart(d, 0, 9);
    EXPECT_FALSE(edittype(d, env, '5'));   // over the minus sign
    editstart(d, 0, 10);
    EXPECT_FALSE(edittype(d, env, '2'));   // -20000000001: beyond a word
    editstart(d, 0, 11);
    EXPECT_TRUE(edittype(d, env, '2'));    // -02000000001
    EXPECT_TRUE(edittype(d, env, '\r'));
    EXPECT_EQ(uint32_t(world.get(0x100)) << 24 | world.get(0x101) << 16 | world.get(0x102) << 8 | world.get(0x103),
              uint32_t(-2000000001));
}

TEST_F(MemWindows, WordsAreWrittenOnceAfterTheLastDigit) {
    MemoryWindow w = datawindow(0x100, 4, FmtHex, false);
    w.visiblelines = 1;
    buildmemlines(w, env);
    editstart(w, 0, 9);
    for (char c : std::string("deadbeef")) ASSERT_TRUE(edittype(w, env, c));
    ASSERT_EQ(world.writes.size(), 1u);
    EXPECT_EQ(world.writes[0], (std::pair<uint32_t, int>{0x100, 4}));
    EXPECT_EQ(w.caretcol, 18);   // first digit of the next word
    // Right from the last digit of an element lands on the next one's first.
    editstart(w, 0, 16);
    EXPECT_TRUE(editarrow(w, env, KeyRight));
    EXPECT_EQ(w.caretcol, 18);
    EXPECT_TRUE(editarrow(w, env, KeyLeft));
    EXPECT_EQ(w.caretcol, 16);
    // Typing past the last element of the last line ends the edit.
    editstart(w, 0, 25);
    for (char c : std::string("0123")) edittype(w, env, c);
    EXPECT_EQ(w.edit, NoEdit);
    EXPECT_EQ(world.writes.size(), 2u);
    // Moving out of the client beeps.
    editstart(w, 0, 9);
    EXPECT_FALSE(editarrow(w, env, KeyUp));
    EXPECT_FALSE(editarrow(w, env, KeyDown));
}

TEST_F(MemWindows, TypingInTheAsciiColumn) {
    MemoryWindow w = datawindow(0x100, 1, FmtBinary, true);   // 4 bytes a line
    w.visiblelines = 2;
    buildmemlines(w, env);
    const int first = w.lineChars + 9, last = w.lineChars + 8 + w.bytesperline;
    EXPECT_EQ(memclick(w, env, 0, first + 1, 0).what, MemClick::Edit);
    EXPECT_EQ(w.edit, AsciiEdit);
    EXPECT_TRUE(edittype(w, env, 'z'));
    EXPECT_EQ(world.get(0x101), 'z');
    EXPECT_EQ(w.lines[0], "00000100 01000001 01111010 10000000 11111111 Az..");
    EXPECT_FALSE(edittype(w, env, 0x1B));   // Escape is not written
    EXPECT_FALSE(edittype(w, env, char(200)));
    EXPECT_EQ(world.writes.size(), 1u);
    // The column wraps at the line's last ASCII column.
    editstart(w, 0, last);
    EXPECT_TRUE(editarrow(w, env, KeyRight));
    EXPECT_EQ(w.caretrow, 1);
    EXPECT_EQ(w.caretcol, first);
    EXPECT_TRUE(editarrow(w, env, KeyLeft));
    EXPECT_EQ(w.caretrow, 0);
    EXPECT_EQ(w.caretcol, last);
    EXPECT_EQ(w.edit, AsciiEdit);
    EXPECT_TRUE(edittype(w, env, 'q'));
    EXPECT_EQ(world.get(0x103), 'q');
    EXPECT_EQ(w.caretrow, 1);
    EXPECT_EQ(w.caretcol, first);
}

TEST_F(MemWindows, AScrollDropsAPendingDigit) {
    MemoryWindow w = datawindow(0x100, 1, FmtHex, false);
    w.visiblelines = 1;
    buildmemlines(w, env);
    editstart(w, 0, 9);
    edittype(w, env, '0');
    scrollmem(w, env, LineDown);
    EXPECT_EQ(w.edit, NoEdit);
    EXPECT_TRUE(world.writes.empty());
}

TEST_F(MemWindows, SRecordDumps) {
    for (uint32_t a = 0x100; a <= 0x120; ++a) world.bytes[a] = uint8_t(a);
    const std::string s = srecdump(env, 0x100, 0x120);
    std::string want = "S1230100";
    for (int i = 0; i < 32; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", i);
        want += b;
    }
    unsigned sum = 0x23 + 0x01 + 0x00;
    for (int i = 0; i < 32; ++i) sum += unsigned(i);
    char c[8];
    std::snprintf(c, sizeof c, "%02X\n", ~sum & 0xFF);
    want += c;
    want += "S104012020BA\nS903FFFFFE\n";
    EXPECT_EQ(s, want);
    EXPECT_EQ(srecdump(env, 0xFFFF, 0x10000), "S20600FFFF0000FB\nS804FFFFFFFE\n");
    EXPECT_EQ(srecdump(env, 0x200, 0x100), "S903FFFFFE\n");
    const std::string top = srecdump(env, 0xFFFFFFF0, 0xFFFFFFFF);
    EXPECT_EQ(top, "S315FFFFFFF000000000000000000000000000000000FD\nS705FFFFFFFFFE\n");
}

TEST_F(MemWindows, CodeAndDataDumps) {
    world.length = [](uint32_t a) { return a == 0x100 ? 2u : 4u; };
    const std::string code = codedump(env, 0x100, 0x106);
    EXPECT_EQ(code, "00000100  4142" + std::string(14, ' ') + "se_b 0x100\n"
                    "00000102  80ff7f20          nop\n"
                    "00000106  0a610000          nop\n");
    EXPECT_EQ(codedump(env, 0xFFFFFFFC, 0xFFFFFFFF), "fffffffc  00000000          nop\n");
    MemoryWindow w = datawindow(0x100, 2, FmtHex, true);
    EXPECT_EQ(datadump(w, env, 0x100, 0x108), "00000100 4142 80ff 7f20 0a61 AB... .a\n");
    EXPECT_EQ(datadump(w, env, 0xFFFFFFF8, 0xFFFFFFFF), "fffffff8 0000 0000 0000 0000 ........\n");
    EXPECT_EQ(datadump(w, env, 0x108, 0x100), "");
}

TEST_F(MemWindows, DumpToAnUnwritablePath) {
    std::string error;
    EXPECT_FALSE(writedump("/nonexistent-dir/x.mem", "x", [&](const std::string& e) { error = e; }));
    EXPECT_EQ(error, "Can't write /nonexistent-dir/x.mem");
}

TEST(MemCaption, Texts) {
    EXPECT_EQ(maincaption(false, "prog.o", "main", "main.c", 12), "Vek (prog.o)  main():main.c:12 ");
    EXPECT_EQ(maincaption(false, "prog.o", ".", "main.c", 3), "Vek (prog.o)  main.c:3 ");
    EXPECT_EQ(maincaption(false, "prog.o", "", "", 0), "Vek (prog.o)");
    EXPECT_EQ(maincaption(false, "", "", "", 0), "Vek ");
    EXPECT_EQ(maincaption(true, "prog.o", "main", "main.c", 1), "Vek");
}

TEST(MemPeek, WindowsMakeNoPages) {
    vek::Memory mem;
    mem.putlong(0x2000, 0x12345678);
    const size_t pages = mem.pagecount();
    MemEnv env;
    env.peek = [&mem](uint32_t a) { return mem.peekbyte(a); };
    for (uint32_t i = 0; i < 1000; ++i) {
        MemoryWindow w = datawindow(i * 4294967u, 4, FmtHex, true);
        w.visiblelines = 8;
        buildmemlines(w, env);
    }
    MemoryWindow w = datawindow(0x2000, 4, FmtHex, false);
    w.visiblelines = 2;
    buildmemlines(w, env);
    EXPECT_EQ(w.lines[0].substr(0, 18), "00002000 12345678 ");
    for (int i = 0; i < 10000; ++i) scrollmem(w, env, PageDown);
    EXPECT_EQ(mem.pagecount(), pages);
    EXPECT_EQ(mem.peeklong(0x2000), 0x12345678u);
}

TEST(MapList, OneLinePerSectionWithItsSize) {
    const std::vector<MapSection> sections = {
        {".text", 0x1000, 0x1001}, {"a_very_long_section_name", 0x2000, 0x2000}, {"all", 0, 0xFFFFFFFF}};
    EXPECT_EQ(maptext(sections),
              "  \x03.text            \x01" "0x00001000  0x00001001 (\x02" "2\x01 bytes) \n"
              "  \x03" "a_very_long_sect \x01" "0x00002000  0x00002000 (\x02" "1\x01 bytes) \n"
              "  \x03" "all              \x01" "0x00000000  0xffffffff (\x02" "4294967296\x01 bytes) \n");
}

}  // namespace

