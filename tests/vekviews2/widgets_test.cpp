// The widgets over the window models, with the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "fakeenv.h"
#include "qtapp.h"
#include "vek/core/target/registers.h"
#include "vek/views/machineviews.h"

using namespace vek::views;

namespace {


struct Widgets : ::testing::Test {
    FakeWorld world;
    ViewHost host;
    int beeps = 0;
    std::vector<std::string> commands;
    void SetUp() override {
        qtapp();
        host.beep = [this] { ++beeps; };
        host.command = [this](const std::string& c) { commands.push_back(c); };
    }
    template <class W>
    void dclick(W& w, int row, int col, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF p(col * w.cellwidth() + 1, row * w.lineheight() + 1);
        QMouseEvent e(QEvent::MouseButtonDblClick, p, w.viewport()->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      mods);
        QApplication::sendEvent(w.viewport(), &e);
    }
    template <class W>
    void key(W& w, int k, const QString& text = {}) {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier, text);
        QApplication::sendEvent(&w, &e);
    }
};

TEST_F(Widgets, CodeWindowClicksAndTheRelativeBar) {
    MemoryView v(host, world.env(), codewindow(0x1000));
    v.resize(400, 150);
    v.refresh(true);
    ASSERT_FALSE(v.model().lines.empty());
    dclick(v, 0, 2);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], "break @0x1000");
    QScrollBar* bar = v.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 2);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v.model().start, 0x1004u);
    EXPECT_EQ(bar->value(), 1);
    world.running = true;
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(beeps, 1);
    dclick(v, 0, 2);
    EXPECT_EQ(beeps, 2);
    v.grab();   // paints without a display
}

TEST_F(Widgets, DataWindowEditsByKeys) {
    MemoryView v(host, world.env(), datawindow(0x100, 1, FmtHex, true));
    v.resize(350, 150);
    v.refresh(true);
    dclick(v, 0, 9);
    EXPECT_EQ(v.model().edit, ValueEdit);
    key(v, Qt::Key_A, "a");
    key(v, Qt::Key_B, "b");
    EXPECT_EQ(world.get(0x100), 0xAB);
    key(v, Qt::Key_Right);   // the caret was on the next byte's first digit
    key(v, Qt::Key_C, "c");
    key(v, Qt::Key_Return, "\r");
    EXPECT_EQ(world.get(0x101), 0x0C);
    key(v, Qt::Key_1, "1");   // no edit
    EXPECT_EQ(beeps, 1);
    v.grab();
}

TEST_F(Widgets, DataWindowScrollsSideways) {
    MemoryView v(host, world.env(), datawindow(0x100, 1, FmtHex, true));
    v.resize(120, 150);   // narrower than a line
    v.show();
    v.refresh(true);
    QScrollBar* bar = v.horizontalScrollBar();
    ASSERT_GT(v.model().widest, v.model().visiblecols);
    EXPECT_EQ(bar->maximum(), v.model().widest - v.model().visiblecols);
    dclick(v, 0, 9);
    ASSERT_EQ(v.model().edit, ValueEdit);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);   // drops the edit
    EXPECT_EQ(v.model().firstcol, 1);
    EXPECT_EQ(v.model().edit, NoEdit);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(v.model().firstcol, bar->maximum());
    v.refresh(true);   // a rebuild keeps the column
    EXPECT_EQ(bar->value(), v.model().firstcol);
    world.running = true;
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(v.model().firstcol, bar->maximum());
    v.grab();
}

TEST_F(Widgets, DisassemblyKeys) {
    DisasmView v(host, world.env(), 0);
    v.resize(400, 150);
    v.refresh(0x2000);
    EXPECT_EQ(v.model().start, 0x2000u);
    key(v, Qt::Key_X, "x");
    EXPECT_EQ(beeps, 1);
    key(v, Qt::Key_W, "w");
    EXPECT_EQ(beeps, 1);
    key(v, Qt::Key_G, "G");
    EXPECT_EQ(commands, std::vector<std::string>{"tgo"});
    v.grab();
}

TEST_F(Widgets, RegistersEditAndStackClick) {
    vek::RegisterFile regs;
    RegistersView r(host, [&] {
        RegSource s;
        s.getreg = [&](unsigned n) { return regs.getreg(n); };
        s.storereg = [&](unsigned n, uint32_t v) { regs.storereg(n, v); };
        return s;
    });
    r.resize(450, 250);
    dclick(r, 3, 4);
    key(r, Qt::Key_1, "1");
    EXPECT_EQ(regs.getreg(4), 0x10000000u);
    EXPECT_EQ(r.model().changed.size(), r.model().last.size());
    r.grab();

    int opened = -2;
    host.openframe = [&](int f) { opened = f; };
    StackView s(host);
    s.resize(300, s.lineheight() * 3 + 10);
    s.show();
    QApplication::processEvents();
    s.setlines({{"inner(1,2)", 2}, {".(x)", 1}, {"main()", 0}});
    dclick(s, s.model().clientlines - 1, 1);   // the oldest on the bottom line
    EXPECT_EQ(opened, 0);
    key(s, Qt::Key_Q, "q");
    EXPECT_EQ(beeps, 1);
    s.grab();
}

}  // namespace
