// Models without a window: cycle-counter edit, gauge, key texts, settings
// values.
#include <gtest/gtest.h>

#include "vek/shell/config.h"
#include "vek/shell/fields.h"
#include "vek/shell/keys.h"

namespace {

using vek::shell::CycleEdit;

TEST(ShellCycleEdit, DigitsStoreAtOnceAndWrapTheCaret) {
    CycleEdit edit;
    uint32_t counter = 1234;
    edit.start(31, 3, counter);
    EXPECT_EQ(edit.text, " 0000001234");
    EXPECT_EQ(edit.type('5', counter), CycleEdit::Typed::Digit);
    EXPECT_EQ(counter, 1235u);
    EXPECT_EQ(edit.caret, 22);
    EXPECT_EQ(edit.type('x', counter), CycleEdit::Typed::Beep);
    EXPECT_EQ(counter, 1235u);
    EXPECT_TRUE(edit.changed);
    EXPECT_EQ(edit.type('\r', counter), CycleEdit::Typed::Ended);
    EXPECT_FALSE(edit.active);
}

TEST(ShellCycleEdit, ADigitThatWouldPass32BitsIsRefused) {
    CycleEdit edit;
    uint32_t counter = 4294967295u;
    edit.start(22, 0, counter);
    // 9294967295 does not fit
    EXPECT_EQ(edit.type('9', counter), CycleEdit::Typed::Beep);
    EXPECT_EQ(counter, 4294967295u);
    EXPECT_EQ(edit.caret, 22);
    EXPECT_EQ(edit.type('1', counter), CycleEdit::Typed::Digit);
    EXPECT_EQ(counter, 1294967295u);
}

TEST(ShellGauge, FillsWithinTheBarAndSurvivesAZeroTotal) {
    vek::shell::Gauge g;
    g.set(true, 0);
    g.add(5);
    EXPECT_EQ(g.fill(100), 0);
    g.set(true, 200);
    g.add(50);
    EXPECT_EQ(g.fill(100), 25);
    g.add(1000);
    EXPECT_EQ(g.done, 200u);
    EXPECT_EQ(g.fill(100), 100);
    g.set(false, 0);
    g.add(5);
    EXPECT_EQ(g.fill(100), 0);
}

TEST(ShellKeyTexts, KeyTextGoesAfterTheTabAndComesOff) {
    EXPECT_EQ(vek::shell::keytext(4, true, false), "<Shift><F5>");
    EXPECT_EQ(vek::shell::keytext(11, true, true), "<Shift><Ctrl><F12>");
    EXPECT_EQ(vek::shell::withkey("&Go", "<Shift><F5>"), "&Go \t<Shift><F5>");
    EXPECT_EQ(vek::shell::withkey("&Go \t<F5>", "<Ctrl><F6>"), "&Go \t<Ctrl><F6>");
    EXPECT_EQ(vek::shell::withoutkey("&Go \t<F5>"), "&Go ");
}

TEST(ShellSettingsValues, NumbersLeadTheirComments) {
    using vek::shell::leadingnumber;
    EXPECT_EQ(leadingnumber("0xff00    /* Color for Search */"), 0xff00u);
    EXPECT_EQ(leadingnumber("4294967286    /* Left side of Main Window */"), 4294967286u);
    EXPECT_EQ(static_cast<int32_t>(leadingnumber("-10")), -10);
    EXPECT_EQ(leadingnumber("junk"), 0u);
    vek::shell::LogFont f;
    EXPECT_EQ(f.text(), "-13,0,0,0,400,0,0,0,0,1,2,1,49,Courier");
    EXPECT_TRUE(f.parse("-16,0,0,0,700,1,0,0,0,1,2,1,49,DejaVu Sans Mono"));
    EXPECT_EQ(f.height, -16);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(f.face, "DejaVu Sans Mono");
    EXPECT_FALSE(f.parse("-13,0,0"));
    vek::shell::ColorPalette palette;
    palette.setcolor(1, 0x123456);
    EXPECT_EQ(palette.get(25), 0x123456u);
    palette.setcolor(19, 1);
    EXPECT_EQ(palette.get(18), 0x00ff00u);
}

}  // namespace
