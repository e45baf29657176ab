// The Command window: typed lines, history, prompt, output and its files.
#include <QMessageBox>
#include <QPushButton>
#include <QTextBlock>

#include "tests/vekshell/shelltest.h"
#include "vek/core/session/session.h"
#include "vek/core/support/messages.h"
#include "vek/command/control/control.h"
#include "vek/shell/shellmain.h"

namespace vekshelltest {
namespace {

using vek::shell::MainWindow;

std::string lastline(vek::shell::CmdEdit* edit) { return edit->document()->lastBlock().text().toStdString(); }

TEST_F(ShellTest, ATypedCommandRunsAndTheHistoryRecallsIt) {
    auto session = vek::freshsession();
    vek::Debugger debugger(*session);
    vek::shell::DebuggerCommands commands(debugger);
    MainWindow& frame = start(&commands);
    frame.dispatch(300);
    vek::shell::CmdEdit* edit = frame.cmdedit();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(frame.toolaction(300)->isChecked());
    EXPECT_EQ(edit->toPlainText().toStdString(), "Vek>");

    QTest::keyClicks(edit, "regs");
    QTest::keyClick(edit, Qt::Key_Return);
    std::string text = edit->toPlainText().toStdString();
    std::string dump = session->regdump();
    EXPECT_NE(text.find(dump.substr(0, dump.find('\n'))), std::string::npos) << text;
    EXPECT_EQ(lastline(edit), "Vek>");

    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(lastline(edit), "Vek>regs");
    QTest::keyClick(edit, Qt::Key_Down);  // nothing newer
    EXPECT_EQ(lastline(edit), "Vek>regs");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->history.size(), 2u);

    // Backspace and Left at the prompt beep and leave it alone
    int beeps = frame.beeps;
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Home);
    EXPECT_EQ(frame.beeps, beeps + 3);
    EXPECT_EQ(lastline(edit), "Vek>");
    // an empty line only prints a new prompt
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->history.size(), 2u);
    EXPECT_EQ(lastline(edit), "Vek>");
}

TEST_F(ShellTest, ALongTypedLineRunsWholeAndTheHistoryKeepsTwenty) {
    MainWindow& frame = start();
    frame.dispatch(300);
    vek::shell::CmdEdit* edit = frame.cmdedit();
    std::string longline = "eval " + std::string(1095, '1');
    edit->insertPlainText(QString::fromStdString(longline));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(recorder.lines.size(), 1u);
    EXPECT_EQ(recorder.lines[0], longline);
    for (int i = 0; i < 21; ++i) {
        QTest::keyClicks(edit, QString("x%1").arg(i));
        QTest::keyClick(edit, Qt::Key_Return);
    }
    EXPECT_EQ(edit->history.size(), 20u);
    EXPECT_EQ(edit->history.front(), "x20");
    EXPECT_EQ(edit->history.back(), "x1");
    // the history outlives the window
    frame.dispatch(300);
    frame.dispatch(300);
    QApplication::processEvents();
    ASSERT_NE(frame.cmdedit(), nullptr);
    QTest::keyClick(frame.cmdedit(), Qt::Key_Up);
    EXPECT_EQ(lastline(frame.cmdedit()), "Vek>x20");
}

TEST_F(ShellTest, ClosingTheCommandWindowDropsOutputAndRecordsWhereItWas) {
    MainWindow& frame = start();
    frame.dispatch(193);
    frame.dispatch(300);
    ASSERT_NE(frame.cmdhost(), nullptr);
    frame.cmdhost()->setGeometry(30, 40, 300, 200);
    vek::puttext({"hello\n"});
    EXPECT_NE(frame.cmdedit()->toPlainText().indexOf("Vek>hello"), -1);
    frame.dispatch(300);
    QApplication::processEvents();
    EXPECT_EQ(frame.cmdhost(), nullptr);
    EXPECT_FALSE(frame.toolaction(300)->isChecked());
    EXPECT_EQ(frame.config.rect(vek::shell::Window::Cmd), (vek::shell::Rect{30, 40, 330, 240}));
    vek::puttext({"dropped\n"});
    frame.dispatch(300);
    EXPECT_EQ(frame.cmdhost()->geometry(), QRect(30, 40, 300, 200));
    EXPECT_EQ(frame.cmdedit()->toPlainText().indexOf("dropped"), -1);
}

TEST_F(ShellTest, FileOutputCopiesOutputToTheFileAndRemembersIt) {
    MainWindow& frame = start();
    frame.dispatch(300);
    std::string out = (scratch.dir() / "run.out").string();
    vek::shell::responder().file = [&](const QString& title) {
        EXPECT_EQ(title, "Command Output");
        return QString::fromStdString(out);
    };
    QMenuBar* strip = frame.cmdhost()->findChild<QMenuBar*>();
    ASSERT_NE(strip, nullptr);
    QAction* output = nullptr;
    for (QAction* a : strip->actions()[0]->menu()->actions())
        if (a->data().toInt() == 140) output = a;
    ASSERT_NE(output, nullptr);
    output->trigger();
    vek::puttext({"copied line\n"});
    vek::endredirect();
    EXPECT_EQ(scratch.read("run.out"), "copied line\n");
    EXPECT_NE(frame.cmdedit()->toPlainText().indexOf("copied line"), -1);
    EXPECT_EQ(frame.settings().read("CommandFile", "OutFile", ""), "run.out");
    EXPECT_EQ(frame.settings().read("CommandFile", "Outdir", ""), scratch.dir().string());
}

TEST_F(ShellTest, AskErrorBoxAnswersYesOneNoZero) {
    start();
    vek::shell::responder().box = nullptr;
    for (auto [button, expected] : {std::pair{QMessageBox::Yes, 1}, std::pair{QMessageBox::No, 0}}) {
        vek::shell::responder().dialog = [button = button](QDialog* d) {
            auto* box = dynamic_cast<QMessageBox*>(d);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Error");
            box->button(button)->click();
        };
        EXPECT_EQ(vek::askerrorbox({"Can't Open ", "x.c", "\n Would you like to change the PATH ??"}), expected);
    }
}

TEST_F(ShellTest, TheOwnBoxPaintsColourIndex25InEntryOne) {
    MainWindow& frame = start();
    frame.config.palette.setcolor(1, 0x00ff00);  // green
    std::string text = "\x01\x19";
    text += std::string(20, '#') + "\n" + std::string(20, '#');
    vek::shell::MultMessBox box(nullptr, frame.config.palette, false, true, "Look", text);
    QImage image = box.grab().toImage();
    int green = 0, red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.green() > 200 && c.red() < 60 && c.blue() < 60) ++green;
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++red;
        }
    EXPECT_GT(green, 20);
    EXPECT_EQ(red, 0);
    EXPECT_EQ(box.windowTitle(), "Look");
    // the second button ends the box with 1
    vek::shell::responder().box = nullptr;
    vek::shell::responder().dialog = [](QDialog* d) {
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "More") b->click();
    };
    EXPECT_EQ(vek::MyMultMessShow(nullptr, 1, 1, "Two", {"a\n", "b"}), 1);
}

}  // namespace
}  // namespace vekshelltest
