// The views in the main window over a real debugger: a program loaded and
// stepped through the menu ids, the windows checked after each stop.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QTreeView>

#include <fstream>

#include "tests/vekshell/shelltest.h"
#include "vek/command/control/control.h"
#include "vek/command/data/data.h"
#include "vek/core/session/session.h"
#include "vek/core/support/symbols.h"
#include "vek/shell/exporthost.h"
#include "vek/shell/sessions.h"
#include "vek/shell/vekext.h"
#include "vek/shell/shellmain.h"
#include "vek/views/machinedialogs.h"
#include "vek/views/qt/eventdialogs.h"
#include "vek/views/qt/pickdialogs.h"
#include "vek/views/qt/listprint.h"
#include "vek/views/model/eventview.h"
#include <QComboBox>
#include "vek/views/windows.h"

using namespace vek::views;

namespace {

// The object file of the loop program, assembled once per process.
const std::string& program() {
    static std::string path = [] {
        std::string obj = scratch::processdir().file("loop.o");
        std::string cmd = std::string(CAPPC_PATH) + " -a -o " + obj + " " + LOOP_SOURCE + " >/dev/null";
        return std::system(cmd.c_str()) == 0 ? obj : std::string();
    }();
    return path;
}

class Windows : public vekshelltest::ShellTest {
protected:
    scratch::Dir src;
    std::unique_ptr<vek::Session> session;
    std::unique_ptr<vek::Debugger> d;
    std::unique_ptr<vek::shell::DebuggerCommands> commands;
    std::unique_ptr<ViewSet> views;

    // A frame with the views over a debugger that loaded the program.
    vek::shell::MainWindow& open() {
        session = vek::freshsession();
        d = std::make_unique<vek::Debugger>(*session);
        vek::adddatacommands();
        d->quiet = true;
        commands = std::make_unique<vek::shell::DebuggerCommands>(*d);
        auto& frame = start(commands.get());
        std::ofstream c(src.file("main.c"));
        for (int i = 1; i <= 18; ++i) c << (i == 13 ? "    s = 0;" : "/* line */") << "\n";
        c.close();
        frame.config.path = src.path().string();
        views = std::make_unique<ViewSet>(frame, *d);
        EXPECT_FALSE(program().empty());
        frame.dispatch(102, QString::fromStdString(program()));
        return frame;
    }
    void TearDown() override {
        views.reset();
        formanswer() = nullptr;
        vekshelltest::ShellTest::TearDown();
        d.reset();
        session.reset();
    }
    std::vector<QString> titles() {
        std::vector<QString> t;
        for (auto* sub : shell->frame().mdi()->subWindowList()) t.push_back(sub->windowTitle());
        return t;
    }
    bool hastitle(const QString& title) {
        auto t = titles();
        return std::find(t.begin(), t.end(), title) != t.end();
    }
    static void settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // A static variable s of main at 0x2000 (null without main).
    const vek::VarRecord* addstatic() {
        vek::FunctionRecord* main = vek::findfunc(d->di(), "main", nullptr);
        if (!main) return nullptr;
        vek::VarRecord s;
        s.name = "s";
        s.type = 24;
        s.sclass = vek::sc::Fix;
        s.value = 0x2000;
        main->vars.push_back(s);
        return &main->vars.back();
    }
    // A control of a dialog by its number.
    static QPushButton* button(QDialog* dialog, int number) {
        auto* b = dialog->findChild<QPushButton*>(QString::number(number));
        EXPECT_NE(b, nullptr) << number;
        return b;
    }
    static QComboBox* combo(QDialog* dialog, int number) {
        auto* c = dialog->findChild<QComboBox*>(QString::number(number));
        EXPECT_NE(c, nullptr) << number;
        return c;
    }
    static QStringList items(QComboBox* c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
        return l;
    }
    // The centre of a cell of a source pane (column 0: the line number's
    // first digit).
    static QPoint cell(SourcePane* p, int line, int column) {
        return QPoint((column - p->scroll().firstcol) * p->charwidth() + p->charwidth() / 2,
                      (line - 1 - p->scroll().firstline) * p->lineheight() + p->lineheight() / 2);
    }
    // A long variable of a function, kept at 0x2000; first puts it before
    // the others (where arguments are).
    vek::FunctionRecord* staticvar(const char* func, const char* name, bool first) {
        vek::FunctionRecord* f = vek::findfunc(d->di(), func, nullptr);
        if (!f) return nullptr;
        vek::VarRecord v;
        v.name = name;
        v.type = 24;
        v.sclass = vek::sc::Fix;
        v.value = 0x2000;
        f->vars.insert(first ? f->vars.begin() : f->vars.end(), v);
        return f;
    }
};

TEST_F(Windows, MainSourceWindowFollowsEachStop) {
    auto& frame = open();
    // at the start-up code: no source line, the Disassembly instead
    SourcePane* main = views->sources.mainpane();
    EXPECT_EQ(main->currentline(), 0);
    EXPECT_NE(views->machine.disasm, nullptr);
    EXPECT_EQ(frame.windowTitle().toStdString(), "Vek (" + program() + ")");
    frame.dispatch(203);   // step
    EXPECT_EQ(main->file(), "main.c");
    EXPECT_EQ(main->currentline(), 10);
    EXPECT_EQ(frame.windowTitle().toStdString(), "Vek (" + program() + ")  main():main.c:10 ");
    for (int n = 0; n < 4 && d->innermost()->func->name == "main"; ++n) {
        frame.dispatch(203);
        EXPECT_EQ(main->currentline(), int(d->innermost()->line));
    }
    EXPECT_EQ(d->innermost()->func->name, "add");
    // a line with code knows its address and events; a click's command
    // reaches the interpreter and the line shows the event
    LineInfo info = views->sources.lineinfo("main.c", 16);
    EXPECT_TRUE(info.hascode);
    EXPECT_EQ(info.event, 0);
    EXPECT_FALSE(views->sources.lineinfo("main.c", 12).hascode);
    sendcmd(frame, "break main.c:16");
    ASSERT_EQ(d->events.size(), 1u);
    EXPECT_NE(views->sources.lineinfo("main.c", 16).event, 0);
    frame.dispatch(201);   // go: stops at the event
    EXPECT_EQ(main->currentline(), 16);
    // the executions column counts the runs of each line
    frame.action(10012)->trigger();
    EXPECT_EQ(main->columns().coverage, Coverage::Executions);
    EXPECT_EQ(views->sources.lineinfo("main.c", 15).hits, 6u);
    frame.action(10014)->trigger();
    EXPECT_TRUE(main->columns().address);
}

TEST_F(Windows, MachineWindowsOpenFromTheMenuAndFollowTheStop) {
    auto& frame = open();
    ASSERT_NE(views->machine.disasm, nullptr);   // opened at the start-up code
    frame.dispatch(310);
    frame.dispatch(330);
    ASSERT_NE(views->machine.dviews[0], nullptr);
    ASSERT_NE(views->machine.rviews[0], nullptr);
    ASSERT_NE(views->machine.sviews[0], nullptr);
    const uint32_t before = d->pc();
    EXPECT_EQ(views->machine.dviews[0]->model().start, before);
    auto highlighted = [&](uint32_t pc) {
        const DisasmPane& p = views->machine.dviews[0]->model();
        return pc >= p.hlstart && pc < p.hlnext;
    };
    frame.dispatch(203);
    while (d->innermost()->func->name == "main") frame.dispatch(203);   // into add: two frames
    EXPECT_NE(d->pc(), before);
    EXPECT_TRUE(highlighted(d->pc()));
    EXPECT_EQ(views->machine.sviews[0]->model().lines.size(), 2u);
    // Save on the strips of the Registers and Stack windows
    auto save = [&](vek::shell::HostWindow* host, const std::string& name) {
        std::string path = src.file(name);
        vek::shell::responder().file = [path](const QString&) { return QString::fromStdString(path); };
        for (QMenuBar* bar : host->findChildren<QMenuBar*>())
            for (QAction* a : bar->actions())
                if (a->data().toInt() == 118) a->trigger();
        vek::shell::responder().file = nullptr;
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_NE(save(views->machine.regs, "r.reg").find("r3:"), std::string::npos);
    EXPECT_NE(save(views->machine.stack, "s.mon").find("add("), std::string::npos);
    // the Memory command opens a data window at the address typed
    formanswer() = [](FormDialog& f) {
        f.setfield(0, "0x1000");
        f.ok();
    };
    frame.dispatch(360);
    EXPECT_TRUE(hastitle("data:0x1000"));
    frame.dispatch(320);   // closes
    settle();
    EXPECT_EQ(views->machine.disasm, nullptr);
    // the window commands of the command language
    sendcmd(frame, "disa");
    EXPECT_NE(views->machine.disasm, nullptr);
    sendcmd(frame, "wregs");
    settle();
    EXPECT_EQ(views->machine.regs, nullptr);
}

TEST_F(Windows, RegisterLabelOpensItsUpdateDialog) {
    auto& frame = open();
    frame.dispatch(310);
    RegistersView* v = views->machine.rviews[0];
    ASSERT_NE(v, nullptr);
    const unsigned r3 = 4;
    const RegField* field = nullptr;
    for (const RegField& f : regfields())
        if (f.reg == r3) field = &f;
    ASSERT_NE(field, nullptr);
    auto dclick = [&] {
        const QPoint at(field->labelfirst * v->cellwidth() + 1, field->line * v->lineheight() + 1);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at);
    };
    // a text that is neither a number nor a symbol beeps and keeps the dialog
    std::vector<std::string> typed{"xyz", "", "0x1234"};
    QString caption;
    size_t next = 0;
    formanswer() = [&](FormDialog& f) {
        caption = f.windowTitle();
        while (next < typed.size()) {
            f.setfield(0, QString::fromStdString(typed[next++]));
            if (f.ok()) return;
        }
    };
    const int beeps = frame.beeps;
    dclick();
    EXPECT_EQ(caption, "Update $r3");
    EXPECT_EQ(frame.beeps, beeps + 2);
    EXPECT_EQ(d->s.target.regs.getreg(r3), 0x1234u);
    EXPECT_NE(v->model().last.find("00001234"), std::string::npos);
    // a symbol's exact name gives its value; Cancel writes nothing
    const vek::ProgramSymbol* main = vek::symtab().head;
    while (main && (main->name.empty() || main->name[0] == '.' || main->value == 0x1234)) main = main->next;
    ASSERT_NE(main, nullptr);
    typed = {main->name};
    next = 0;
    dclick();
    EXPECT_EQ(d->s.target.regs.getreg(r3), main->value);
    formanswer() = [](FormDialog&) {};
    dclick();
    EXPECT_EQ(d->s.target.regs.getreg(r3), main->value);
}

TEST_F(Windows, CycleCounterIsEditedInTheRegistersWindow) {
    auto& frame = open();
    frame.dispatch(310);
    RegistersView* v = views->machine.rviews[0];
    ASSERT_NE(v, nullptr);
    vek::ProgramSymbol* time = vek::rensym(".time");
    ASSERT_NE(time, nullptr);
    time->value = 12;
    auto at = [&](int row, int col) { return QPoint(col * v->cellwidth() + 1, row * v->lineheight() + 1); };
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at(12, 30));
    ASSERT_TRUE(v->cycleedit().active);
    const int beeps = frame.beeps;
    QTest::keyClicks(v, "7a");   // the tens digit, then a letter that beeps
    EXPECT_EQ(d->now(), 72u);
    EXPECT_EQ(frame.beeps, beeps + 1);
    QTest::keyClick(v, Qt::Key_Return);
    EXPECT_FALSE(v->cycleedit().active);
    // a digit taking the counter past 32 bits beeps and writes nothing
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at(12, 22));
    QTest::keyClicks(v, "9");
    EXPECT_EQ(d->now(), 72u);
    EXPECT_EQ(frame.beeps, beeps + 2);
    // Refresh ends the edit
    for (QMenuBar* bar : views->machine.regs->findChildren<QMenuBar*>())
        for (QAction* a : bar->actions())
            if (a->data().toInt() == 119) a->trigger();
    EXPECT_FALSE(v->cycleedit().active);
}

TEST_F(Windows, CodeLinesOpenTheEventAndSymbolPopups) {
    auto& frame = open();
    const uint32_t pc = d->pc();
    sendcmd(frame, "break @" + std::to_string(pc));
    ASSERT_EQ(d->events.size(), 1u);
    const vek::EventRecord& ev = *d->events[0];
    ASSERT_TRUE(ev.enabled);
    ASSERT_TRUE(views->machine.host.eventcommand);
    std::vector<QString> items;
    bool show = true;
    views->popupanswer = [&](QMenu& m) {
        items.clear();
        for (QAction* a : m.actions()) {
            items.push_back(a->text());
            if (a->data().toInt() == 808) show = a->isEnabled();
        }
        return 801;
    };
    views->machine.host.eventcommand(pc, 0);   // the popup: On/Off chosen
    EXPECT_EQ(items, (std::vector<QString>{"&On/Off", "&Delete", "&Edit", "&Show"}));
    EXPECT_FALSE(show);   // an address event has no source lines to show
    EXPECT_FALSE(ev.enabled);
    views->machine.host.eventcommand(pc, 801);   // Shift: straight on again
    EXPECT_TRUE(ev.enabled);
    views->machine.host.eventcommand(pc + 2, 0);   // no event there: nothing
    EXPECT_TRUE(ev.enabled);
    // a word of an instruction opens the symbol popup
    const vek::ProgramSymbol* sym = vek::symtab().head;
    while (sym && (sym->name.empty() || sym->name[0] == '.')) sym = sym->next;
    ASSERT_NE(sym, nullptr);
    items.clear();
    views->popupanswer = [&](QMenu& m) {
        for (QAction* a : m.actions()) items.push_back(a->text());
        return 0;
    };
    views->machine.host.symbol(sym->name);
    EXPECT_FALSE(items.empty());
    views->popupanswer = nullptr;
}

TEST_F(Windows, PickDialogsOfferTheNamesWithTheCurrentOneChosen) {
    auto& frame = open();
    frame.dispatch(203);   // into main at main.c:10
    ASSERT_EQ(d->currentframe()->func->name, "main");
    QStringList files, funcs, filefuncs;
    QString shown;
    // the file dialog: the current file chosen; Cancel opens nothing
    vek::shell::responder().dialog = [&](QDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "File Browser");
        files = items(combo(dialog, 610));
        shown = combo(dialog, 610)->currentText();
        button(dialog, 602)->click();
    };
    frame.dispatch(620);
    EXPECT_EQ(files, QStringList{"main.c"});
    EXPECT_EQ(shown, "main.c");
    EXPECT_FALSE(hastitle("Browser: main.c"));
    // the function dialog: "*.*" and every function with main chosen; a
    // file lists its own; Default chooses main again
    vek::shell::responder().dialog = [&](QDialog* dialog) {
        QComboBox *file = combo(dialog, 610), *func = combo(dialog, 611);
        files = items(file);
        shown = file->currentText();
        funcs = items(func);
        EXPECT_EQ(func->currentText(), "main");
        func->setCurrentIndex(func->findText("fact"));
        file->setCurrentIndex(file->findText("main.c"));
        filefuncs = items(func);
        EXPECT_EQ(func->currentText(), "");
        button(dialog, 603)->click();
        EXPECT_EQ(file->currentText(), "*.*");
        EXPECT_EQ(func->currentText(), "main");
        func->setCurrentIndex(func->findText("fact"));
        button(dialog, 601)->click();
    };
    frame.dispatch(622);
    EXPECT_EQ(files, (QStringList{"main.c", "*.*"}));
    EXPECT_EQ(shown, "*.*");
    EXPECT_EQ(funcs, (QStringList{"add", "fact", "main"}));
    EXPECT_EQ(filefuncs, funcs);
    // fact's file in a browser, made once
    EXPECT_TRUE(hastitle("Browser: main.c"));
    const size_t windows = titles().size();
    frame.dispatch(622);
    EXPECT_EQ(titles().size(), windows);
    // what the user types is the choice; Select beeps with no function named
    std::string chosen;
    FunctionPickDialog select(frame, picknames(*d), chosen, true);
    QTest::keyClicks(select.functions()->lineEdit(), "ad");
    EXPECT_EQ(chosen, "ad");
    select.functions()->setEditText("");
    const int beeps = frame.beeps;
    button(&select, 609)->click();
    EXPECT_EQ(frame.beeps, beeps + 1);
    QTest::keyClick(&select, Qt::Key_Escape);
    EXPECT_EQ(chosen, "");
    EXPECT_EQ(select.result(), 0);
    vek::shell::responder().dialog = nullptr;
}

TEST_F(Windows, LineNumbersOpenTheLinePopupAndCoverageMarksTheLinesRun) {
    auto& frame = open();
    frame.dispatch(203);
    SourcePane* main = views->sources.mainpane();
    ASSERT_EQ(main->file(), "main.c");
    std::vector<std::pair<QString, bool>> offered;
    int answer = 0;
    views->popupanswer = [&](QMenu& menu) {
        offered.clear();
        for (QAction* a : menu.actions()) offered.push_back({a->text(), a->isEnabled()});
        return answer;
    };
    auto rightclick = [&](int line, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(main, Qt::RightButton, mods, cell(main, line, 0));
    };
    answer = 804;
    rightclick(16);
    EXPECT_EQ(offered, (std::vector<std::pair<QString, bool>>{{"&Set Breakpoint", true}, {"&On/Off", false},
                                                              {"&Delete", false}, {"&Edit", false},
                                                              {"Address &of", true}}));
    EXPECT_EQ(frame.journal.back(), "break main.c:16");
    ASSERT_EQ(d->events.size(), 1u);
    answer = 820;   // with its event: the event's items
    rightclick(16);
    EXPECT_EQ(offered, (std::vector<std::pair<QString, bool>>{{"&Set Breakpoint", false}, {"&On/Off", true},
                                                              {"&Delete", true}, {"&Edit", true},
                                                              {"Address &of", true}}));
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().caption, "Address of");
    offered.clear();
    rightclick(16, Qt::ShiftModifier);   // Shift: on or off at once
    EXPECT_TRUE(offered.empty());
    EXPECT_FALSE(d->events[0]->enabled);
    rightclick(12);                      // no code: nothing
    EXPECT_TRUE(offered.empty());
    rightclick(16, Qt::ControlModifier); // Ctrl: deleted
    bool left = false;
    for (const auto& e : d->events) left |= !e->removed;
    EXPECT_FALSE(left);

    // iconic coverage: a mark before the text of each line with code
    sendcmd(frame, "break main.c:16");
    frame.dispatch(201);
    ASSERT_EQ(main->currentline(), 16);
    frame.action(10010)->trigger();
    EXPECT_EQ(main->columns().coverage, Coverage::Iconic);
    EXPECT_EQ(main->prefixcols(), 3);
    const LineInfo ran = views->sources.lineinfo("main.c", 15);
    ASSERT_GT(ran.hits, 0u);
    frame.resize(800, 600);
    frame.show();
    vek::views::hostof(main)->showMaximized();
    QApplication::processEvents();
    main->makevisible(0);
    const QImage shot = main->grab().toImage();
    auto at = [&](int line) { return shot.pixelColor(cell(main, line, 2) * shot.devicePixelRatio()); };
    EXPECT_GT(at(15).green(), 100) << at(15).name().toStdString();
    EXPECT_LT(at(15).red(), 100);
    EXPECT_EQ(at(12), QColor(Qt::white));   // no code, no mark
    // a click on the mark explains it
    boxes.clear();
    QTest::mouseDClick(main, Qt::LeftButton, {}, cell(main, 15, 2));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "main.c:15 ");
    EXPECT_EQ(boxes[0].text, countmessage(ran.hits, ran.cycles));
    views->popupanswer = nullptr;
}

TEST_F(Windows, ExtensionsAddItemsToTheVariablePopupAndReadTheSelection) {
    auto& frame = open();
    vek::shell::bindexports(frame);
    const char *expr = nullptr, *text = nullptr;
    EXPECT_EQ(GetSourceSelection(0, &expr, &text), 0);
    auto* vars = static_cast<QMenu*>(GetVariablePopupMenu());
    auto* funcs = static_cast<QMenu*>(GetFunctionPopupMenu());
    ASSERT_TRUE(vars && funcs);
    EXPECT_NE(vars, funcs);
    EXPECT_EQ(GetVariablePopupMenu(), vars);   // the same menu each time
    static int reached = 0;
    RegisterMenuCommandFunction([](int id) { reached = id; });
    const int id = AllocateMenuIDs(1);
    ASSERT_NE(id, 0);
    EXPECT_EQ(VekInsertMenuItem(vars, int(vars->actions().size()), "&Trace", id), 1);

    ASSERT_NE(addstatic(), nullptr);
    while (!d->innermost() || d->innermost()->line < 13) frame.dispatch(203);
    SourcePane* src = views->sources.mainpane();
    std::vector<QString> offered;
    views->popupanswer = [&](QMenu& menu) {
        for (QAction* a : menu.actions())
            if (a->isVisible()) offered.push_back(a->text());
        return id;
    };
    QTest::mouseClick(src, Qt::RightButton, Qt::NoModifier, cell(src, 13, src->prefixcols() + 4));
    ASSERT_EQ(offered.size(), 8u);
    EXPECT_EQ(offered.front(), "&Evaluate...  main():s");
    EXPECT_EQ(offered.back(), "&Trace");
    EXPECT_EQ(reached, id);
    ASSERT_EQ(GetSourceSelection(0, &expr, &text), 1);
    EXPECT_STREQ(expr, "main():s");
    EXPECT_STREQ(text, "s");
    views->popupanswer = nullptr;
    vek::shell::unbindexports();
}

TEST_F(Windows, AFrozenBrowserIsNotRefilledUntilAutoRefresh) {
    auto& frame = open();
    frame.dispatch(630);
    vek::VarTreePane* pane = views->varbrowsers[630];
    ASSERT_NE(pane, nullptr);
    auto status = [&] { return pane->strip()->findChild<QLabel*>("status")->text(); };
    auto choose = [&](int id) {
        for (QAction* a : pane->strip()->findChildren<QAction*>())
            if (a->data().toInt() == id) a->trigger();
    };
    QSignalSpy refills(pane->model(), &QAbstractItemModel::modelReset);
    EXPECT_EQ(status(), "Auto Refresh");
    frame.dispatch(203);
    const qsizetype live = refills.count();
    EXPECT_GT(live, 0);
    choose(148);
    EXPECT_TRUE(pane->frozen);
    EXPECT_EQ(status(), "Frozen");
    frame.dispatch(203);
    frame.dispatch(203);
    EXPECT_EQ(refills.count(), live);
    choose(147);   // refilled at once
    EXPECT_FALSE(pane->frozen);
    EXPECT_EQ(status(), "Auto Refresh");
    EXPECT_EQ(refills.count(), live + 1);
}

TEST_F(Windows, BrowsersAndEventsFromTheMenu) {
    auto& frame = open();
    frame.dispatch(640);
    EXPECT_TRUE(hastitle("File Browser"));
    frame.dispatch(650);
    EXPECT_TRUE(hastitle("Function Browser"));
    frame.dispatch(671);
    EXPECT_TRUE(hastitle("Symbols"));
    frame.dispatch(130);
    EXPECT_TRUE(hastitle("Map"));
    // the file picked opens its source browser
    vek::shell::responder().dialog = [](QDialog* dialog) {
        combo(dialog, 610)->setCurrentIndex(0);
        button(dialog, 601)->click();
    };
    frame.dispatch(620);
    vek::shell::responder().dialog = nullptr;
    EXPECT_TRUE(hastitle("Browser: main.c"));
    // no events: a box, no window
    frame.dispatch(621);
    EXPECT_EQ(views->events, nullptr);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "NO DEFINED EVENTS");
    sendcmd(frame, "break main.c:16");
    frame.dispatch(621);
    ASSERT_NE(views->events, nullptr);
    const int lines = views->events->buffer().lines();
    sendcmd(frame, "break main.c:17");
    EXPECT_GT(views->events->buffer().lines(), lines);   // rebuilt after the command
    // Shift and Ctrl on an event: its editor; the edit replaces it
    EventsPane* ev = views->events;
    bool edited = false;
    vek::shell::responder().dialog = [&](QDialog* dialog) {
        auto* editor = dynamic_cast<CodeEventDialog*>(dialog);
        ASSERT_NE(editor, nullptr);
        editor->count->setText("3");
        editor->ok();
        edited = true;
    };
    QTest::mouseDClick(ev, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(4, 2));
    EXPECT_TRUE(edited);
    bool three = false;
    for (const auto& e : d->events) three |= !e->removed && e->count == 3;
    EXPECT_TRUE(three) << (boxes.empty() ? "" : boxes.back().text);
}

TEST_F(Windows, VariableAndMonitorWindowsFollowTheFrame) {
    auto& frame = open();
    const vek::VarRecord* added = addstatic();
    ASSERT_NE(added, nullptr);
    const vek::VarRecord s = *added;
    frame.dispatch(335);
    ASSERT_NE(views->locals, nullptr);
    auto* model = views->locals->pane(0)->model();
    EXPECT_EQ(model->rowCount(), 0);   // no frame yet
    while (!d->innermost() || d->innermost()->line < 13) frame.dispatch(203);
    ASSERT_EQ(model->rowCount(), 1);
    QModelIndex head = model->index(0, 0);
    EXPECT_EQ(head.data().toString(), "main()");
    ASSERT_EQ(model->rowCount(head), 1);
    EXPECT_TRUE(model->index(0, 0, head).data().toString().endsWith("s = 0"));
    session->target.mem.putlong(0x2000, 7);
    sendcmd(frame, "x 1");   // a data command refreshes the data windows
    EXPECT_TRUE(model->index(0, 0, head).data().toString().endsWith("s = 7"));
    // Update in the window writes the target
    EXPECT_FALSE(views->locals->pane(0)->applyupdate(model->index(0, 0, head), "xyz"));
    EXPECT_TRUE(views->locals->pane(0)->applyupdate(model->index(0, 0, head), "5+6"));
    EXPECT_EQ(session->target.mem.getbyte(0x2003), 11);
    session->target.mem.putlong(0x2000, 7);

    // a right click on it in the source: its popup, Monitor chosen
    SourcePane* src = views->sources.mainpane();
    ASSERT_EQ(src->currentline(), 13);
    const QPoint at((src->prefixcols() + 4 - src->scroll().firstcol) * src->charwidth() + src->charwidth() / 2,
                    (13 - 1 - src->scroll().firstline) * src->lineheight() + src->lineheight() / 2);
    EXPECT_EQ(src->wordat(at), "s");
    std::vector<QString> items;
    views->popupanswer = [&](QMenu& menu) {
        for (QAction* a : menu.actions()) items.push_back(a->text());
        return 902;
    };
    QTest::mouseClick(src, Qt::RightButton, Qt::NoModifier, at);
    // a variable of the function at that line: qualified by it
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0], "&Evaluate...  main():s");
    EXPECT_EQ(frame.journal.back(), "monit main():s");
    ASSERT_EQ(d->monitors.size(), 1u);
    sendcmd(frame, "del /m *");

    // a monitor of it: its popup updates it through the interpreter
    frame.dispatch(340);
    ASSERT_NE(views->monitors, nullptr);
    sendcmd(frame, "monit s");
    QTreeWidget* mtree = views->monitors->view();
    ASSERT_EQ(mtree->topLevelItemCount(), 1);
    EXPECT_EQ(mtree->topLevelItem(0)->text(0), "s = 7");
    QMenu* popup = views->monitors->popupfor(mtree->topLevelItem(0));
    ASSERT_NE(popup, nullptr);
    QString field;
    formanswer() = [&](FormDialog& f) {
        field = QString::fromStdString(f.field(0));
        f.setfield(0, "9");
        f.ok();
    };
    views->monitors->command(350, mtree->topLevelItem(0));
    EXPECT_EQ(field.trimmed(), "7");
    EXPECT_EQ(frame.journal.back(), "updat s=9");
    EXPECT_EQ(session->target.mem.getbyte(0x2003), 9) << (boxes.empty() ? "" : boxes.back().text);
    EXPECT_EQ(mtree->topLevelItem(0)->text(0), "s = 9");
    views->monitors->command(341, mtree->topLevelItem(0));
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().caption, "Address of");
    EXPECT_NE(boxes.back().text.find("2000"), std::string::npos) << boxes.back().text;
    sendcmd(frame, "del /m *");
    frame.dispatch(340);

    while (d->innermost()->func->name == "main") frame.dispatch(203);
    EXPECT_EQ(model->rowCount(), 0);   // add has no variables
    frame.dispatch(335);
    settle();
    EXPECT_EQ(views->locals, nullptr);

    frame.dispatch(340);
    ASSERT_NE(views->monitors, nullptr);
    sendcmd(frame, "monit 1+2");
    QTreeWidget* tree = views->monitors->view();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "1+2 = 3");
    views->monitors->command(342, tree->topLevelItem(0));
    EXPECT_TRUE(d->monitors.empty());

    // the data event editor lists the file-scope variables
    vek::FileRecord* file = vek::findfile(d->di(), "main.c");
    ASSERT_TRUE(file && !file->funcs.empty());
    vek::VarRecord g;
    g.name = "g";
    g.type = 24;
    g.sclass = vek::sc::FixExt;
    g.value = 0x3000;
    file->funcs.back()->vars.push_back(g);
    formanswer() = [](FormDialog& f) { f.ok(); };
    frame.dispatch(806);
    EXPECT_EQ(frame.journal.back(), "dbreak /T:A  g {}");
    ASSERT_EQ(d->events.size(), 1u);
    EXPECT_NE(d->eventcommand(*d->events[0]).find(" g"), std::string::npos);
    // its edit from the events browser keeps the access and takes the count
    frame.dispatch(621);
    ASSERT_NE(views->events, nullptr);
    formanswer() = [](FormDialog& f) {
        f.setfield(0, "4");   // the hit count
        f.ok();
    };
    QTest::mouseDClick(views->events.data(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(4, 2));
    ASSERT_EQ(d->events.size(), 1u);
    EXPECT_EQ(d->events[0]->count, 4u);
    EXPECT_EQ(d->events[0]->cls, 'D');

    frame.dispatch(301);
    ASSERT_NE(views->project, nullptr);
    EXPECT_EQ(views->project->tabs()->count(), 3);
    sendcmd(frame, "vars");
    EXPECT_TRUE(hastitle("Application Variables Browser"));
    const size_t windows = titles().size();
    frame.dispatch(632);   // the same place: nothing new
    EXPECT_EQ(titles().size(), windows);
    frame.dispatch(630);
    EXPECT_TRUE(hastitle("Current Function Variables Browser"));
}

}  // namespace

namespace {

// A session keeps the open memory windows and opens them again.
TEST_F(Windows, SessionsKeepTheMemoryWindows) {
    auto& frame = open();
    auto& memory = vek::shell::sessionmemorywindows();
    vek::shell::DataWindowPlace code{true, 0x100, 16, 1, 1, 4, 10, 310, 20, 170};
    vek::shell::DataWindowPlace data{false, 0x2000, 8, 0, 4, 3, 0, 260, 0, 120};
    memory.open(code, true);
    memory.open(data, true);
    EXPECT_TRUE(hastitle("code:0x100"));
    EXPECT_TRUE(hastitle("data:0x2000"));
    std::vector<vek::shell::DataWindowPlace> listed = memory.list();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(vek::shell::datavalue(listed[0]).substr(0, 7), "C,100,1");
    EXPECT_EQ(vek::shell::datavalue(listed[1]), vek::shell::datavalue(data));
    memory.closeall();
    settle();
    EXPECT_FALSE(hastitle("data:0x2000"));
    EXPECT_TRUE(memory.list().empty());
    (void)frame;
}

}  // namespace

namespace {
// A strip item of the windows whose title starts so.
int triggerstrip(vek::shell::MainWindow& frame, const QString& title, int id) {
    int n = 0;
    for (auto* sub : frame.mdi()->subWindowList())
        if (sub->windowTitle().startsWith(title))
            for (QMenuBar* bar : sub->findChildren<QMenuBar*>())
                for (QAction* a : bar->actions())
                    if (a->data().toInt() == id) a->trigger(), ++n;
    return n;
}
std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST_F(Windows, SourceListAndEventWindowsSaveAndPrint) {
    auto& frame = open();
    sendcmd(frame, "break main.c:16");
    QMenu* file = frame.menuat(0);
    auto printitem = [&]() -> QAction* {
        for (QAction* a : file->actions())
            if (a->data().toInt() == 121) return a;
        return nullptr;
    };
    // the File menu offers Print while a source window is active
    SourcePane* browser = views->sources.opensrcwin("main.c", 0);
    ASSERT_NE(browser, nullptr);
    frame.mdi()->setActiveSubWindow(hostof(browser));
    ASSERT_NE(printitem(), nullptr);
    const PaneText printed = printedtext(browser, &d->di());
    EXPECT_EQ(printed.title, "Source File");
    EXPECT_EQ(printed.text.substr(0, 22), "/* line */\n/* line */\n");
    EXPECT_EQ(printed.text.find('\x01'), std::string::npos);   // no colour escapes
    std::string pdf = src.file("source.pdf");
    vek::shell::responder().file = [&pdf](const QString&) { return QString::fromStdString(pdf); };
    printitem()->trigger();
    EXPECT_EQ(slurp(pdf).substr(0, 5), "%PDF-");
    // the file and function lists and the events browser save and print
    frame.dispatch(640);
    EXPECT_EQ(printitem(), nullptr);
    pdf = src.file("files.pdf");
    EXPECT_EQ(triggerstrip(frame, "File Browser", 121), 1);
    EXPECT_EQ(slurp(pdf).substr(0, 5), "%PDF-");
    pdf = src.file("list.fls");
    triggerstrip(frame, "File Browser", 118);
    EXPECT_EQ(slurp(pdf), filelistfile(d->di()));
    frame.dispatch(650);
    pdf = src.file("list.fns");
    triggerstrip(frame, "Function Browser", 118);
    EXPECT_EQ(slurp(pdf), funclistfile(d->di()));
    frame.dispatch(621);
    ASSERT_NE(views->events, nullptr);
    EXPECT_EQ(printedtext(views->events, nullptr).title, "BREAKPOINTS");
    pdf = src.file("events");
    triggerstrip(frame, "BREAKPOINTS", 118);
    const std::string bkp = slurp(pdf + ".bkp");
    EXPECT_EQ(bkp.substr(0, 10), "\n\tEvents\n\n");
    EXPECT_NE(bkp.find("main.c:16"), std::string::npos);
    EXPECT_EQ(bkp.find('\x0F'), std::string::npos);
    // an unwritable place is reported
    pdf = src.file("no/such/dir/x.fls");
    triggerstrip(frame, "File Browser", 118);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Can't write " + pdf);
    vek::shell::responder().file = nullptr;
}

TEST_F(Windows, TimeEventEditorHasTheCodeFieldsAndMakesNoEvent) {
    auto& frame = open();
    QString title;
    int result = -1;
    vek::shell::responder().dialog = [&](QDialog* dialog) {
        auto* editor = dynamic_cast<CodeEventDialog*>(dialog);
        ASSERT_NE(editor, nullptr);
        title = editor->windowTitle();
        editor->file->setText("main.c");
        editor->start->setText("16");
        editor->ok();
        result = editor->result();
    };
    frame.dispatch(807);
    EXPECT_EQ(title, "Time Event Editor");
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(vek::views::userevents(*d).empty());
    // the code event editor with the same fields does make one
    frame.dispatch(805);
    EXPECT_EQ(title, "Code Event Editor");
    EXPECT_EQ(vek::views::userevents(*d).size(), 1u);
}

TEST_F(Windows, RegisterUpdateDialogPicksSymbolsAndFunctions) {
    auto& frame = open();
    frame.dispatch(310);
    const vek::FunctionRecord* add = vek::findfunc(d->di(), "add", nullptr);
    ASSERT_TRUE(add && add->start);
    const vek::ProgramSymbol* sym = vek::symtab().head;
    while (sym && (sym->name.empty() || sym->name[0] == '.')) sym = sym->next;
    ASSERT_NE(sym, nullptr);
    std::vector<QString> seen;
    QString value;
    formanswer() = [&](FormDialog& f) {
        seen.push_back(f.windowTitle());
        if (f.windowTitle() == "Symbol Browser") {
            f.ok();   // the first symbol listed
        } else if (f.windowTitle() == "Function Browser") {
            for (int i = 0; i < 100; ++i) {
                f.setchoice(0, i);
                if (f.choice(0) != i) break;
                if (static_cast<QComboBox*>(f.findChildren<QComboBox*>()[0])->currentText() == "add") break;
            }
            f.ok();
        } else {
            f.press(0);   // &Symbol
            value = QString::fromStdString(f.field(0));
            EXPECT_EQ(value.toStdString(), "0x" + [&] {
                char b[16];
                std::snprintf(b, sizeof b, "%x", sym->value);
                return std::string(b);
            }());
            f.press(1);   // &C Function
            f.ok();
        }
    };
    views->machine.rviews[0]->dialog(4);   // r3
    EXPECT_EQ(seen, (std::vector<QString>{"Update $r3", "Symbol Browser", "Function Browser"}));
    EXPECT_EQ(d->s.target.regs.getreg(4), add->start->address);
}

TEST_F(Windows, StackLinesKeepTheArgumentsOfTheCall) {
    auto& frame = open();
    // add takes one argument, kept at 0x2000
    vek::FunctionRecord* add = staticvar("add", "a", true);
    ASSERT_NE(add, nullptr);
    add->nargs = 1;
    frame.dispatch(330);
    StackView* v = views->machine.sviews[0];
    ASSERT_NE(v, nullptr);
    auto inadd = [&] { return d->innermost() && d->innermost()->func->name == "add"; };
    session->target.mem.putlong(0x2000, 5);
    for (int n = 0; n < 40 && !inadd(); ++n) frame.dispatch(203);
    ASSERT_TRUE(inadd());
    ASSERT_FALSE(v->model().lines.empty());
    const std::string entry = v->model().lines[0].text;
    EXPECT_EQ(entry, vek::frametext(*d, d->current));
    EXPECT_NE(entry.find('5'), std::string::npos) << entry;
    // the value changes inside the call: the line keeps the one passed
    session->target.mem.putlong(0x2000, 9);
    frame.dispatch(204);
    ASSERT_TRUE(inadd());
    EXPECT_NE(vek::frametext(*d, d->current).find('9'), std::string::npos);
    EXPECT_EQ(v->model().lines[0].text, entry);
    // the stack command shows the values as they are now
    EXPECT_NE(stacktext(*d).find('9'), std::string::npos);
    // Print of the Stack window
    const std::string pdf = src.file("stack.pdf");
    vek::shell::responder().file = [&pdf](const QString&) { return QString::fromStdString(pdf); };
    EXPECT_EQ(triggerstrip(frame, "Stack", 121), 1);
    EXPECT_EQ(slurp(pdf).substr(0, 5), "%PDF-");
    vek::shell::responder().file = nullptr;
}
