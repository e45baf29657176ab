// The main window: menus, tool bar, commands, run state, function keys,
// settings file and host windows.
#include <QComboBox>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include "tests/vekshell/shelltest.h"
#include "vek/core/session/session.h"
#include "vek/command/control/control.h"
#include "vek/shell/shellmain.h"

namespace vekshelltest {
namespace {

using vek::shell::MainWindow;

TEST_F(ShellTest, StartsWithTenMenusTheToolBarAndTheStatusBar) {
    MainWindow& frame = start();
    EXPECT_EQ(frame.menuBar()->actions().size(), 10);
    EXPECT_EQ(frame.toolbar()->actions().size(), 26);
    EXPECT_EQ(frame.statustext(0), " Command");
    EXPECT_FALSE(frame.toolaction(1)->isEnabled());
    EXPECT_TRUE(frame.toolaction(201)->isEnabled());
    // a first start writes only that the fonts are now in the file
    EXPECT_EQ(ini(), "[OPTIONS]\nNEWFONTS=YES\n");
}

TEST_F(ShellTest, MenuAndToolBarCommandsSendTheirCommandLines) {
    MainWindow& frame = start();
    struct Case {
        int32_t id;
        std::vector<std::string> lines;
    } cases[] = {{201, {"go"}},   {203, {"step"}},          {204, {"istep"}},     {205, {"ostep"}},
                 {207, {"go"}},   {208, {"zero /r", "go"}}, {209, {"zero /r"}},   {107, {"zero"}},
                 {211, {"mstep"}}, {216, {"mcstep"}}};
    for (const Case& c : cases) {
        recorder.lines.clear();
        frame.action(c.id) ? frame.action(c.id)->trigger() : (void)frame.dispatch(c.id);
        EXPECT_EQ(recorder.lines, c.lines) << "command " << c.id;
    }
    recorder.lines.clear();
    frame.toolaction(201)->trigger();
    frame.toolaction(204)->trigger();
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"go", "istep"}));
}

TEST_F(ShellTest, MenuHelpShowsOnStatusPartZero) {
    MainWindow& frame = start();
    QMenu* browse = frame.menuat(2);
    Q_EMIT frame.menuBar()->hovered(browse->menuAction());
    EXPECT_EQ(frame.statustext(0), " Browse Various Objects ");
    Q_EMIT browse->hovered(browse->actions()[10]);
    EXPECT_EQ(frame.statustext(0), " Browse Memory (Code or Data) ");
    Q_EMIT frame.menuat(8)->hovered(frame.menuat(8)->actions()[0]);
    EXPECT_EQ(frame.statustext(0), " Command ");
}

// Commands through a real session, each line also written down.
struct Forwarder : vek::shell::CommandHost {
    vek::shell::CommandHost* to = nullptr;
    std::vector<std::string> lines;
    void docmd(const std::string& line) override {
        lines.push_back(line);
        to->docmd(line);
    }
};

TEST_F(ShellTest, AnEndlessRunGreysTheMenusEscapeStopsItAndCloseRunsTheEndFile) {
    auto session = vek::freshsession();
    session->target.mem.putword(0x100, 0xe800);  // se_b .
    session->target.regs.setpc(0x100);
    scratch.write("end.cmd", "regs\n");
    writeini("[OPTIONS]\nENDFILE=" + (scratch.dir() / "end.cmd").string() + "\n");
    Forwarder forward;
    vek::Debugger debugger(*session);
    vek::shell::DebuggerCommands commands(debugger);
    forward.to = &commands;
    MainWindow& frame = start(&forward);

    struct Seen {
        bool checked = false, file = true, debug = true, go = true, step = true, stop = false, closed = true;
        int beeps = 0;
    } seen;
    QTimer::singleShot(50, &frame, [&] {
        seen.checked = frame.running();
        seen.file = frame.menuat(0)->menuAction()->isEnabled();
        seen.debug = frame.menuat(3)->menuAction()->isEnabled();
        seen.go = frame.toolaction(201)->isEnabled();
        seen.step = frame.toolaction(204)->isEnabled();
        seen.stop = frame.toolaction(1)->isEnabled();
        int before = frame.beeps;
        frame.dispatch(101);
        seen.beeps = frame.beeps - before;
        seen.closed = frame.close();
        QTest::keyClick(frame.mdi(), Qt::Key_Escape);
    });
    frame.dispatch(201);
    ASSERT_TRUE(seen.checked) << "the run ended before the timer looked";
    EXPECT_FALSE(seen.file);
    EXPECT_FALSE(seen.debug);
    EXPECT_FALSE(seen.go);
    EXPECT_FALSE(seen.step);
    EXPECT_TRUE(seen.stop);
    EXPECT_FALSE(seen.closed);
    EXPECT_EQ(seen.beeps, 1);
    EXPECT_FALSE(frame.running());
    EXPECT_TRUE(frame.menuat(0)->menuAction()->isEnabled());
    EXPECT_TRUE(frame.toolaction(201)->isEnabled());
    EXPECT_FALSE(frame.toolaction(1)->isEnabled());
    EXPECT_GT(session->instructions() + session->cycles(), 0u);

    forward.lines.clear();
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(forward.lines, (std::vector<std::string>{"regs"}));
}

std::string lineof(const std::string& text, const std::string& key) {
    size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "";
    size_t end = text.find('\n', at + 1);
    return text.substr(at + 1, end - at - 1);
}

TEST_F(ShellTest, SaveConfigurationWritesTheFileAndARestartWritesItAlike) {
    MainWindow& frame = start();
    frame.showNormal();
    frame.setGeometry(-10, 40, 700, 500);
    QApplication::processEvents();
    frame.dispatch(111);
    std::string first = ini();
    EXPECT_NE(first.find("\nAssembler=0xffff    /* Color for Assembler Highlihgt */\n"), std::string::npos);
    EXPECT_NE(first.find("\nSource=0xff0000    /* Color for Source Highlight */\n"), std::string::npos);
    EXPECT_EQ(lineof(first, "Assembler_Font"), "Assembler_Font=-13,0,0,0,400,0,0,0,0,1,2,1,49,Courier");
    std::string left = lineof(first, "Left");
    EXPECT_EQ(left.substr(0, left.find(' ')), "Left=" + std::to_string(static_cast<uint32_t>(frame.frameGeometry().left())));
    EXPECT_EQ(static_cast<int32_t>(vek::shell::leadingnumber(left.substr(5))), frame.frameGeometry().left());
    // the register window's sides go Left, Right, Top, Bottom
    size_t reg = first.find("[RegWindow]\n");
    ASSERT_NE(reg, std::string::npos);
    EXPECT_EQ(first.find("[RegWindow]\nLeft=0    /* Left side of Register Window */\n"
                         "Right=50    /* Right side of Register Window */\nTop=0"),
              reg);
    EXPECT_NE(first.find("\nTile=CASCADE\n"), std::string::npos);
    EXPECT_NE(first.find("\nLOAD_SYMB_ONLY=N\n"), std::string::npos);
    stop();

    MainWindow& again = start();
    again.dispatch(111);
    std::string second = ini();
    // the key bindings written at the first exit are the only difference
    EXPECT_EQ(second.substr(0, first.size()), first.substr(0, first.size()));
    again.dispatch(111);
    EXPECT_EQ(ini(), second);
}

TEST_F(ShellTest, ANegativeLeftEdgeIsStoredAsItsUnsigned32BitValue) {
    vek::shell::Settings settings(scratch.dir() / "v.ini");
    vek::shell::Config config;
    config.rect(vek::shell::Window::Vek) = {-10, 0, 800, 600};
    vek::shell::saveconfig(settings, config);
    EXPECT_EQ(settings.read("VekWindow", "Left", ""), "4294967286    /* Left side of Main Window */");
    vek::shell::Config back;
    vek::shell::readconfig(settings, back, {});
    EXPECT_EQ(back.rect(vek::shell::Window::Vek).left, -10);
}

TEST_F(ShellTest, AHandWrittenFileKeepsItsOtherLines) {
    const std::string mine = "; written by hand\r\n[options]\r\nTile=vertical ; keep\r\nMine=1\r\n\r\n"
                             "[LayOut]\r\nCommand=ICONIC\r\n[Colors]\r\nSource=0xff    /* blue? */\r\n";
    writeini(mine);
    MainWindow& frame = start();
    EXPECT_EQ(frame.arrangement(), 192);
    EXPECT_TRUE(frame.action(192)->isChecked());
    ASSERT_NE(frame.cmdhost(), nullptr);
    EXPECT_TRUE(frame.cmdhost()->isMinimized());
    EXPECT_EQ(frame.config.colours[vek::shell::Config::Source], 0xffu);
    frame.dispatch(111);
    stop();
    std::string text = ini();
    for (const char* kept : {"; written by hand\r\n[options]\r\n", "Mine=1\r\n", "\r\n\r\n[LayOut]\r\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_NE(text.find("Tile=VERTICAL\r\n"), std::string::npos);
    EXPECT_NE(text.find("Command=ICONIC\r\n"), std::string::npos);
}

TEST_F(ShellTest, AnUnwritableSettingsFolderGivesOneMessage) {
    scratch.write("vek", "not a folder");
    MainWindow& frame = start();
    frame.dispatch(111);
    frame.dispatch(111);
    stop();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_NE(boxes[0].text.find("Cannot write the settings file"), std::string::npos);
}

TEST_F(ShellTest, ABoundKeyRunsItsCommandAndShowsInTheMenu) {
    writeini("[KeyBindings]\n<F5>=0,201,0,0\n");
    MainWindow& frame = start();
    EXPECT_TRUE(frame.action(201)->text().endsWith("\t<Shift><F5>"));
    QTest::keyClick(frame.mdi(), Qt::Key_F5, Qt::ShiftModifier);
    QTest::keyClick(frame.mdi(), Qt::Key_F5);
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"go"}));
    // F10 unbound opens the menu bar
    QTest::keyClick(frame.mdi(), Qt::Key_F10);
    EXPECT_NE(frame.menuBar()->activeAction(), nullptr);
    frame.menuBar()->setActiveAction(nullptr);

    // the dialog: Set without a key, then Clear and Close
    vek::shell::responder().dialog = [](QDialog* d) {
        d->findChild<QPushButton*>("Set")->click();
        d->findChild<QPushButton*>("F5")->click();
        d->findChild<QPushButton*>("Shift")->click();
        d->findChild<QPushButton*>("Clear")->click();
        d->findChild<QPushButton*>("Close")->click();
    };
    frame.dispatch(1310);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "No Key Selected");
    EXPECT_FALSE(frame.action(201)->text().contains('\t'));
    EXPECT_EQ(frame.keys.binding(4, true, false), 0);
    recorder.lines.clear();
    frame.action(201)->trigger();
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"go"}));
    stop();
    EXPECT_NE(ini().find("<F1>=13001,0,0,0\n"), std::string::npos);
    EXPECT_NE(ini().find("<F5>=0,0,0,0\n"), std::string::npos);
}

TEST_F(ShellTest, SetInTheBindingDialogBindsTheChosenCommand) {
    MainWindow& frame = start();
    vek::shell::responder().dialog = [](QDialog* d) {
        d->findChild<QPushButton*>("F6")->click();
        d->findChild<QPushButton*>("Ctrl")->click();
        auto* list = d->findChild<QComboBox*>("commands");
        list->setCurrentIndex(list->findData(204));
        d->findChild<QPushButton*>("Set")->click();
        d->findChild<QPushButton*>("Close")->click();
    };
    frame.dispatch(1310);
    EXPECT_EQ(frame.keys.binding(5, false, true), 204);
    EXPECT_TRUE(frame.action(204)->text().endsWith("\t<Ctrl><F6>"));
    QTest::keyClick(frame.mdi(), Qt::Key_F6, Qt::ControlModifier);
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"istep"}));
}

TEST_F(ShellTest, AMainWindowOffEveryScreenStartsAtTheDefault) {
    writeini("[VekWindow]\nLeft=4294962296\nTop=4294962296\nRight=4294963296\nBottom=4294963096\n");
    MainWindow& frame = start();
    EXPECT_EQ(frame.frameGeometry().topLeft(), QPoint(0, 0));
    recorder.lines.clear();
    frame.dispatch(102, "prog.o");
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"load prog.o"}));
}

TEST_F(ShellTest, EscapeInTheBindingDialogKeepsTheOldBindings) {
    MainWindow& frame = start();
    vek::shell::responder().dialog = [](QDialog* d) {
        d->findChild<QPushButton*>("F7")->click();
        auto* list = d->findChild<QComboBox*>("commands");
        list->setCurrentIndex(list->findData(204));
        d->findChild<QPushButton*>("Set")->click();
        QTest::keyClick(d, Qt::Key_Escape);
    };
    frame.dispatch(1310);
    EXPECT_EQ(frame.keys.binding(6, false, false), 0);
    EXPECT_FALSE(frame.action(204)->text().contains('\t'));
}

// A pane that writes down the scroll requests it gets.
struct ScrollPane : vek::shell::Pane {
    std::vector<vek::shell::Scroll> got;
    void vscroll(vek::shell::Scroll s) override { got.push_back(s); }
};

TEST_F(ShellTest, HostsShowCoreTagsWhenSplitAndTurnTheWheelIntoLines) {
    MainWindow& frame = start();
    auto* host = new vek::shell::HostWindow(frame, "Stack", 0x01);
    frame.mdi()->addSubWindow(host);
    auto* core0 = new ScrollPane;
    auto* core1 = new ScrollPane;
    host->newmenubar(core0, 0, [](int32_t) {});
    host->newmenubar(core1, 1, [](int32_t) {});
    host->setpane(0, core0);
    host->setpane(1, core1);
    host->show();
    EXPECT_FALSE(host->split());
    EXPECT_EQ(host->coretag(0), "");
    frame.splitmask = 0x41;
    host->relayout();
    EXPECT_EQ(host->coretag(0), " z1 ");
    EXPECT_EQ(host->coretag(1), " z0 ");
    EXPECT_EQ(core0->strip->cornerWidget()->findChild<QLabel*>("tag")->text(), " z1 ");
    EXPECT_LT(core0->geometry().bottom(), core1->geometry().top());
    // a strip a window made itself, with no corner, lays out too
    QWidget* corner = core1->strip->cornerWidget();
    core1->strip->setCornerWidget(nullptr);
    delete corner;
    host->relayout();
    EXPECT_TRUE(core1->isVisible());

    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -360), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(core0, &wheel);
    using S = vek::shell::Scroll;
    EXPECT_EQ(core0->got, (std::vector<S>{S::LineDown, S::LineDown, S::LineDown, S::End}));
}

TEST_F(ShellTest, CoverageItemsAndTheAddressColumnExcludeEachOther) {
    MainWindow& frame = start();
    frame.dispatch(10014);
    EXPECT_TRUE(frame.action(10014)->isChecked());
    EXPECT_TRUE(frame.action(10013)->isChecked());
    frame.dispatch(10011);
    EXPECT_FALSE(frame.action(10014)->isChecked());
    EXPECT_TRUE(frame.action(10011)->isChecked());
    EXPECT_FALSE(frame.action(10013)->isChecked());
    frame.dispatch(10014);
    frame.dispatch(10013);
    EXPECT_FALSE(frame.addresscolumn);
    EXPECT_FALSE(frame.action(10014)->isChecked());
}

TEST_F(ShellTest, SymbolPopupsNameTheirFirstEntryAfterTheSymbol) {
    MainWindow& frame = start();
    std::vector<int32_t> chosen;
    QMenu* menu = vek::shell::symbolpopup(&frame, false, "main", [&](int32_t id) { chosen.push_back(id); });
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions()[0]->text(), "Address &of main");
    menu->actions()[0]->trigger();
    EXPECT_EQ(chosen, (std::vector<int32_t>{960}));
    delete menu;
}

}  // namespace
}  // namespace vekshelltest
