// Loading from the File menu (recent files, the last load, progress) and
// session and layout files through the menus.
#include <QMdiSubWindow>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <cstdlib>

#include "tests/vekshell/shelltest.h"
#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/resources/menus.h"
#include "vek/shell/loaddialogs.h"
#include "vek/shell/sessions.h"
#include "vek/shell/shellmain.h"

namespace vekshelltest {
namespace {

using vek::shell::MainWindow;

std::string assemble(const qvtest::Scratch& dir) {
    const std::string obj = (dir.dir() / "loop.o").string();
    const std::string cmd = std::string(CAPPC_PATH) + " -a -o " + obj + " " + LOOP_SOURCE + " >/dev/null";
    return std::system(cmd.c_str()) == 0 ? obj : std::string();
}

std::vector<std::string> recentitems(MainWindow& frame) {
    std::vector<std::string> out;
    for (QAction* a : frame.menuat(vek::resources::FileMenu)->actions())
        if (a->data().toInt() >= 180 && a->data().toInt() <= 184) out.push_back(a->text().toStdString());
    return out;
}

TEST_F(ShellTest, LoadRemembersTheFileAndTheRecentList) {
    MainWindow& frame = start();
    const std::string path = scratch.dir().string() + "/d/a.o";
    vek::shell::responder().file = [&](const QString& title) {
        EXPECT_EQ(title, "Load");
        return QString::fromStdString(path);
    };
    frame.dispatch(101);
    ASSERT_EQ(recorder.lines.size(), 1u);
    EXPECT_EQ(recorder.lines[0], "load " + path);
    EXPECT_EQ(frame.settings().read("Load", "File", ""), "a.o");
    EXPECT_EQ(frame.settings().read("Load", "Directory", ""), scratch.dir().string() + "/d");
    EXPECT_EQ(frame.settings().read("Files", "1", ""), path);
    EXPECT_EQ(recentitems(frame), std::vector<std::string>{"&1 " + path});
    vek::shell::responder().file = [](const QString&) { return QString(); };
    frame.dispatch(103);  // Cancel: nothing
    EXPECT_EQ(recorder.lines.size(), 1u);

    // A path already at key 3 moves to the front; a sixth pushes the oldest out.
    for (int i = 1; i <= 5; ++i) frame.settings().write("Files", std::to_string(i), "p" + std::to_string(i));
    vek::shell::openprogram(frame, 102, "p3");
    vek::shell::openprogram(frame, 102, "p6");
    std::vector<std::string> keys;
    for (int i = 1; i <= 5; ++i) keys.push_back(frame.settings().read("Files", std::to_string(i), ""));
    EXPECT_EQ(keys, (std::vector<std::string>{"p6", "p3", "p1", "p2", "p4"}));
    EXPECT_EQ(recentitems(frame).size(), 5u);
    frame.dispatch(182);
    EXPECT_EQ(recorder.lines.back(), "load p1");
}

TEST_F(ShellTest, ProgressBarsAndCancel) {
    EXPECT_EQ(vek::shell::ProgressBar::filled(5, 0, 200), 0);  // an empty section
    EXPECT_EQ(vek::shell::ProgressBar::filled(50, 100, 200), 100);
    EXPECT_EQ(vek::shell::ProgressBar::filled(500, 100, 200), 200);
    EXPECT_EQ(vek::shell::ProgressBar::filled(UINT32_MAX, UINT32_MAX, 200), 200);

    MainWindow& frame = start();
    vek::shell::LoadProgress progress(frame);
    progress.progressopen(0, "a.o", 0);
    progress.progresstitle(".bss", 0x2000, 0);
    progress.dialog()->bar()->grab();  // paints a bar of total 0
    EXPECT_EQ(progress.dialog()->field(105)->text(), ".bss");
    EXPECT_EQ(progress.dialog()->field(107)->text(), "0x2000");
    // Commands are refused while the load goes on.
    const int beeps = frame.beeps;
    frame.dispatch(101);
    EXPECT_EQ(frame.beeps, beeps + 1);
    EXPECT_TRUE(recorder.lines.empty());
    QTest::keyClick(progress.dialog(), Qt::Key_Escape);
    progress.progressstep(1);
    EXPECT_TRUE(progress.stopped());
    progress.progressclose();
    EXPECT_FALSE(frame.running());
}

TEST_F(ShellTest, CancelInTheDebugBuildKeepsTheProgram) {
    const std::string program = assemble(scratch);
    ASSERT_FALSE(program.empty());
    auto session = vek::freshsession();
    vek::Debugger debugger(*session);
    vek::shell::DebuggerCommands commands(debugger);
    MainWindow& frame = start(&commands);
    vek::shell::LoadProgress progress(frame);
    session->loadreport.progress = &progress;
    std::vector<std::string> titles;
    vek::shell::responder().dialog = [&](QDialog* d) {
        titles.push_back(d->windowTitle().toStdString());
        if (d->windowTitle() == "Building Debug Data") d->reject();
    };
    vek::shell::openprogram(frame, 102, program);
    session->loadreport.progress = nullptr;
    EXPECT_EQ(titles, (std::vector<std::string>{"File Load", "Building Debug Data"}));
    EXPECT_NE(session->target.mem.peeklong(0x1000), 0u);  // the code is there
    EXPECT_TRUE(debugger.di().files.empty());
    EXPECT_FALSE(frame.running());
}

// The loop program loaded, a break and a monitor, the Command window open.
struct Sessions : ShellTest {
    std::unique_ptr<vek::Session> session = vek::freshsession();
    std::unique_ptr<vek::Debugger> debugger = std::make_unique<vek::Debugger>(*session);
    vek::shell::DebuggerCommands commands{*debugger};
    std::string chosen;

    MainWindow& open() {
        MainWindow& frame = start(&commands);
        vek::usesessionfiles(*debugger, vek::shell::sessionwindows(frame));
        vek::shell::responder().file = [this](const QString&) { return QString::fromStdString(chosen); };
        return frame;
    }
    std::string menu(MainWindow& frame, int32_t id, const std::string& name) {
        chosen = scratch.dir().string() + "/" + name;
        frame.dispatch(id);
        return chosen;
    }
};

TEST_F(Sessions, SaveLoadSaveIsTheSameFile) {
    const std::string program = assemble(scratch);
    ASSERT_FALSE(program.empty());
    MainWindow& frame = open();
    debugger->docmd(("load " + program).c_str(), 1);
    // An internal event between the two is not written and breaks no numbering.
    debugger->docmd("break /i /C:3 main.c:15", 1);
    debugger->newaddrevent("", 0x1234, 1, 0, false, true);
    debugger->docmd("break main.c:16; monit /x 1+2", 1);
    frame.dispatch(300);
    frame.cmdhost()->setGeometry(10, 20, 200, 100);
    frame.dispatch(193);
    menu(frame, 132, "s");
    const std::string saved = scratch.read("s.ssn");
    EXPECT_NE(saved.find("Tile=FREE\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Command=YES,10,20,211,121\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("1=break /i /C:3 main.c:15\n2=break  main.c:16\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("[Monitors]\n1=monit /x 1+2\n\n"), std::string::npos) << saved;
    EXPECT_EQ(frame.settings().read("Session", "File", ""), "s.ssn");

    // Everything away, then back from the file.
    debugger->docmd("delete *; delete /M *", 1);
    debugger->dropinternalevents();
    frame.dispatch(300);
    ASSERT_EQ(frame.cmdhost(), nullptr);
    menu(frame, 131, "s.ssn");
    ASSERT_NE(frame.cmdhost(), nullptr);
    EXPECT_EQ(frame.cmdhost()->geometry(), QRect(10, 20, 200, 100));
    ASSERT_EQ(debugger->events.size(), 2u);
    EXPECT_FALSE(debugger->events[0]->enabled);
    EXPECT_EQ(debugger->events[0]->count, 3u);
    ASSERT_EQ(debugger->monitors.size(), 1u);
    menu(frame, 132, "t.ssn");
    EXPECT_EQ(scratch.read("t.ssn"), saved);

    // A session loaded as a layout: windows only; a layout as a session
    // loads no program and keeps the frames.
    debugger->docmd("go main.c:16", 1);
    const size_t frames = debugger->frames.size();
    ASSERT_GT(frames, 0u);
    debugger->docmd("delete *", 1);
    menu(frame, 133, "s.ssn");
    EXPECT_TRUE(debugger->events.empty());
    menu(frame, 134, "l");
    EXPECT_EQ(scratch.read("l.lyt").find("[Load]"), std::string::npos);
    menu(frame, 131, "l.lyt");
    EXPECT_EQ(debugger->frames.size(), frames);
    EXPECT_TRUE(debugger->events.empty());
}

TEST_F(Sessions, BadFilesChangeNothing) {
    MainWindow& frame = open();
    scratch.write("bad.ssn", "[Events]\n1=break @0x1000\n");
    menu(frame, 131, "bad.ssn");
    EXPECT_TRUE(debugger->events.empty());
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find("File: " + chosen + " Not a Session file"), std::string::npos)
        << boxes.back().text;
    menu(frame, 132, "none/x.ssn");
    EXPECT_NE(boxes.back().text.find("cannot create file"), std::string::npos) << boxes.back().text;
}

}  // namespace
}  // namespace vekshelltest

namespace vekshelltest {
namespace {

TEST_F(Sessions, ReloadSegmentCopiesTheChosenSegmentsAgain) {
    MainWindow& frame = open();
    frame.dispatch(146);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find("No Segment list available"), std::string::npos) << boxes.back().text;
    const std::string program = assemble(scratch);
    ASSERT_FALSE(program.empty());
    debugger->docmd(("load " + program).c_str(), 1);
    const uint32_t code = session->target.mem.peeklong(0x1000);
    session->target.mem.putlong(0x1000, 0);
    std::vector<std::string> shown;
    vek::shell::responder().dialog = [&](QDialog* d) {
        auto* list = d->findChild<QListWidget*>("segments");
        for (int i = 0; list && i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "&Select All") b->click();
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "&Ok") b->click();
    };
    frame.dispatch(146);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].rfind(".text at: 0x1000 (0x", 0), 0u) << shown[0];
    EXPECT_EQ(session->target.mem.peeklong(0x1000), code);
}

}  // namespace
}  // namespace vekshelltest

namespace vekshelltest {
namespace {

TEST_F(ShellTest, LoadAndStartFromTakesTheStartAsTheEntry) {
    MainWindow& frame = start();
    vek::shell::responder().file = [](const QString&) { return QString("a.o"); };
    vek::shell::responder().dialog = [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Start From");
        if (auto* f = d->findChild<QLineEdit*>("start")) f->setText(" main ");
        d->accept();
    };
    frame.dispatch(104);
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"load /O:main a.o", "go"}));
    vek::shell::responder().dialog = [](QDialog* d) { d->reject(); };
    frame.dispatch(104);
    EXPECT_EQ(recorder.lines.size(), 2u);
}

}  // namespace
}  // namespace vekshelltest

namespace vekshelltest {
namespace {

TEST_F(Sessions, MemoryWindowsAreKeptByTheirPart) {
    using vek::shell::DataWindowPlace;
    DataWindowPlace code{true, 0x1000, 16, 1, 1, 4, 10, 210, 20, 120};
    DataWindowPlace data{false, 0x2000, 8, 0, 4, 3, 0, 300, 0, 50};
    EXPECT_EQ(vek::shell::datavalue(code), "C,1000,10,210,20,120");
    EXPECT_EQ(vek::shell::datavalue(data), "D,2000,8,0,4,3,0,300,0,50");
    DataWindowPlace back;
    ASSERT_TRUE(vek::shell::readdatavalue("D,2000,8,0,4,3,0,300,0,50", back));
    EXPECT_EQ(vek::shell::datavalue(back), "D,2000,8,0,4,3,0,300,0,50");
    for (const char* bad : {"X,1", "C,zz,1,2,3,4", "D,10,8,2,4,3,0,1,2,3", "D,10,8,0,3,3,0,1,2,3", "C,10,1,2,3", "C,"})
        EXPECT_FALSE(vek::shell::readdatavalue(bad, back)) << bad;

    std::vector<DataWindowPlace> open{code, data}, opened;
    int closed = 0;
    auto& memory = vek::shell::sessionmemorywindows();
    memory.list = [&] { return open; };
    memory.closeall = [&] { ++closed; };
    memory.open = [&](const DataWindowPlace& w, bool) { opened.push_back(w); };
    MainWindow& frame = Sessions::open();
    menu(frame, 132, "m.ssn");
    EXPECT_NE(scratch.read("m.ssn").find("[Data]\n1=C,1000,10,210,20,120\n2=D,2000,8,0,4,3,0,300,0,50\n"),
              std::string::npos)
        << scratch.read("m.ssn");
    menu(frame, 133, "m.ssn");  // a layout: no memory windows
    EXPECT_EQ(closed, 0);
    menu(frame, 131, "m.ssn");
    EXPECT_EQ(closed, 1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(vek::shell::datavalue(opened[1]), vek::shell::datavalue(data));
    memory = {};
}

}  // namespace
}  // namespace vekshelltest
