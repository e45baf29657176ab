// List text: metrics, painter runs, hit tests and the buffer.
#include <gtest/gtest.h>

#include "vek/views/model/listtext.h"

using namespace vek::views;

static std::string esc(int c) { return std::string{'\x01', char(c)}; }

TEST(ListText, TabsAdvanceToTheNextMultipleOfFour) {
    EXPECT_EQ(linecolumns("abc\tx"), 5);    // tab at column 3 advances 1
    EXPECT_EQ(linecolumns("abcd\tx"), 9);   // at column 4, by 4
    EXPECT_EQ(linecolumns(esc(5) + "ab\x0E\x0F\x15" "F" "c\x1A\r"), 3);
}

TEST(ListText, EmptyTextHasOneLine) {
    TextBuffer b;
    b.reindex();
    EXPECT_EQ(b.lines(), 1);
    EXPECT_EQ(b.widest(), 0);
    b.append({"ab\n", "\tc\n"});
    b.reindex();
    EXPECT_EQ(b.lines(), 2);
    EXPECT_EQ(b.widest(), 5);
    EXPECT_EQ(b.line(2), "\tc");
    EXPECT_EQ(b.line(3), "");
    std::string out = "x";
    EXPECT_EQ(b.copyline(0, out), 0u);
}

TEST(ListText, OverwriteIsClampedToItsLine) {
    TextBuffer b;
    b.append("abc\ndef\n");
    b.reindex();
    EXPECT_EQ(b.overwrite(1, "XYZW12345"), 3u);
    EXPECT_EQ(b.text(), "XYZ\ndef\n");
    EXPECT_EQ(b.overwrite(9, "Q"), 0u);
}

TEST(ListText, BadColourIndexPaintsInEntryOne) {
    for (int c : {19, 25, 200}) {
        auto runs = layoutline(esc(5) + "a" + esc(c) + "b", 0);
        ASSERT_EQ(runs.size(), 2u) << c;
        EXPECT_EQ(runs[1].color, 1) << c;
        EXPECT_EQ(runs[1].text, "b");
    }
}

TEST(ListText, RunsSkipTheFirstVisibleColumns) {
    auto runs = layoutline("\tab" + esc(2) + "cd", 3);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].column, 0);
    EXPECT_EQ(runs[0].text, " ab");
    EXPECT_EQ(runs[1].column, 3);
    EXPECT_EQ(runs[1].color, 2);
}

TEST(ListText, HitTestFindsTagsAndWords) {
    std::string file = "         " + esc(4) + "\x15" "Fmy file.c\x1A" + esc(1) + "         ";
    auto h = hittest(file, 0, 12);   // on the blank inside the name
    EXPECT_EQ(h.letter, 'F');
    EXPECT_EQ(h.tag, "my file.c");
    std::string fn = esc(2) + "\x15" "Emain\x1A" + esc(1) + " x(int a)";
    EXPECT_EQ(hittest(fn, 0, 2).letter, 'E');
    EXPECT_EQ(hittest(fn, 0, 2).tag, "main");
    h = hittest(fn, 0, 4);            // the blank after the tag's text ends it
    EXPECT_EQ(h.letter, 0);
    h = hittest("  foo_bar$1 baz", 0, 5);
    EXPECT_EQ(h.word, "foo_bar$1");
    EXPECT_TRUE(hittest("ab", 0, 7).word.empty());   // beyond the line's end
    EXPECT_EQ(hittest("  foo bar", 4, 2).word, "bar");
}

TEST(ListText, ScrollClampKeepsTheLastPageFull) {
    ListScroll s;
    s.visiblelines = 10, s.visiblecols = 20;
    s.firstline = 95;
    s.clamp(100, 10);
    EXPECT_EQ(s.firstline, 90);
    s.clamp(5, 10);
    EXPECT_EQ(s.firstline, 0);
    s.showline(12);
    EXPECT_EQ(s.firstline, 9);
    s.showline(3);
    EXPECT_EQ(s.firstline, 0);
}
