// Browser windows and the events browser offscreen.
#include "tests/vekshell/shelltest.h"
#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/views/qt/browsers.h"

using namespace vek::views;

namespace {

class BrowserWindows : public vekshelltest::ShellTest {
protected:
    scratch::Dir src;
    vek::DebugInfo di;
    std::unique_ptr<SourceViews> sources;
    std::unique_ptr<Browsers> browsers;

    vek::shell::MainWindow& open() {
        auto& frame = start();
        std::ofstream(src.file("main.c")) << "int main(void)\n{\n}\n";
        frame.config.path = src.path().string();
        auto f = std::make_unique<vek::FileRecord>();
        f->name = "main.c";
        auto fn = std::make_unique<vek::FunctionRecord>();
        fn->file = f.get(), fn->name = "main", fn->rettext = "int ", fn->argtext = "void";
        auto rec = std::make_unique<vek::LineRecord>();
        rec->address = 0x1000;
        fn->start = rec.get();
        di.store.push_back(std::move(rec));
        f->funcs.push_back(std::move(fn));
        di.files.push_back(std::move(f));
        sources = std::make_unique<SourceViews>(frame);
        browsers = std::make_unique<Browsers>(frame, *sources);
        return frame;
    }
    void TearDown() override {
        browsers.reset();
        sources.reset();
        vekshelltest::ShellTest::TearDown();
    }
    static QPoint cell(TextPane* p, int line, int column) {
        return QPoint(column * p->charwidth() + 1, (line - 1) * p->lineheight() + 1);
    }
};

TEST_F(BrowserWindows, FunctionSwitchRunsTheCommandAndRewritesItsStart) {
    auto& frame = open();
    ListWindowPane* p = browsers->openfuncbrowser(di, "", true);
    std::string before(p->buffer().line(3));
    browsers->funcactive = [](const std::string&) { return false; };
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 3, 3));
    EXPECT_EQ(frame.journal, std::vector<std::string>{"deact main()"});
    std::string after(p->buffer().line(3));
    EXPECT_EQ(after.substr(0, 13), switchtext(false));
    EXPECT_EQ(after.substr(13), before.substr(13));
}

TEST_F(BrowserWindows, FileTagsOpenSourceBrowsers) {
    auto& frame = open();
    ListWindowPane* p = browsers->openfilebrowser(di);
    size_t windows = frame.mdi()->subWindowList().size();
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 2, 10));
    EXPECT_EQ(frame.mdi()->subWindowList().size(), windows + 1);
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 9, 10));   // below the last line
    EXPECT_EQ(frame.mdi()->subWindowList().size(), windows + 1);
}

TEST_F(BrowserWindows, EventsBrowserClicksMakeCommands) {
    auto& frame = open();
    auto session = vek::freshsession();
    vek::Debugger d(*session);
    EXPECT_EQ(browsers->browseevents(d), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "NO DEFINED EVENTS");
    d.newevent(0, false, true, 1, 'a');   // internal: not listed
    d.newevent(1, false, true, 1, 'a')->address = 0x1000;
    d.newevent(1, true, false, 1, 'a')->address = 0x2000;
    EventsPane* p = browsers->browseevents(d);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->buffer().lines(), 2);
    QTest::mouseDClick(p, Qt::LeftButton, Qt::ShiftModifier, cell(p, 1, 2));
    QTest::mouseDClick(p, Qt::LeftButton, Qt::ShiftModifier, cell(p, 2, 2));
    QTest::mouseDClick(p, Qt::LeftButton, Qt::ControlModifier, cell(p, 2, 2));
    EXPECT_EQ(frame.journal, (std::vector<std::string>{"break /s 2", "break /a 3", "del /e 3"}));
    EXPECT_EQ(p->chosen(), nullptr);
}

TEST_F(BrowserWindows, UnwritableSaveReportsTheName) {
    open();
    uint32_t before = vek::outstate().errors;
    std::string bad = src.file("no/such/dir/x.fls");
    EXPECT_FALSE(browsers->savelist(bad, "x"));
    EXPECT_EQ(vek::outstate().errors, before + 1);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Can't write " + bad);
    EXPECT_TRUE(browsers->savelist(src.file("ok.fls"), filelistfile(di)));
}

}  // namespace

namespace {
class PaneBars : public vekshelltest::ShellTest {};
}  // namespace

TEST_F(PaneBars, ScrollBarsAppearWhenTheTextDoesNotFitAndMoveIt) {
    auto& frame = start();
    TextPane pane(frame, vek::shell::FontKind::Browser);
    pane.resize(20 * pane.charwidth() + 40, 6 * pane.lineheight() + 40);
    pane.show();
    pane.buffer().assign("short\n");
    pane.textchanged(0);
    EXPECT_FALSE(pane.hbar()->isVisible());
    EXPECT_FALSE(pane.vbar()->isVisible());
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line " + std::to_string(i) + std::string(60, 'x') + "\n";
    pane.buffer().assign(text);
    pane.textchanged(0);
    ASSERT_TRUE(pane.hbar()->isVisible());
    ASSERT_TRUE(pane.vbar()->isVisible());
    EXPECT_EQ(pane.hbar()->maximum(), pane.buffer().widest() - pane.scroll().visiblecols);
    EXPECT_EQ(pane.vbar()->maximum(), 30 - pane.scroll().visiblelines);
    // the bars move the first visible column and line; keys move the bars
    pane.hbar()->setValue(7);
    EXPECT_EQ(pane.scroll().firstcol, 7);
    pane.vbar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(pane.scroll().firstline, pane.scroll().visiblelines);
    QTest::keyClick(&pane, Qt::Key_Right);
    EXPECT_EQ(pane.hbar()->value(), 8);
    pane.hbar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QTest::keyClick(&pane, Qt::Key_Right);   // never beyond the widest line
    EXPECT_EQ(pane.scroll().firstcol, pane.hbar()->maximum());
}
