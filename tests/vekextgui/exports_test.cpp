// The exports that reach the frame window once the shell is bound to them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>

#include <fstream>

#include "fxobject.h"
#include "platform/dll.h"
#include "scratch.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/core/session/session.h"
#include "vek/core/support/output.h"
#include "vek/shell/exporthost.h"
#include "vek/shell/shell.h"
#include "vek/shell/vekext.h"
#include "vek/views/machineexports.h"
#include "vek/views/machinehosts.h"
#include "vek/views/projectexports.h"
#include "vek/views/varwindows.h"
#include "vek/views/qt/browsers.h"
#include "vek/views/qt/sourceexports.h"
#include "vek/views/qt/sourcepane.h"

namespace {

struct Recorder : vek::shell::CommandHost {
    std::vector<std::string> lines;
    void docmd(const std::string& line) override { lines.push_back(line); }
};

TEST(FrameExports, ReachTheFrameWhileBound) {
    scratch::Dir dir("vekextframe");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    vek::resetoutput();
    vek::shell::responder() = {};
    vek::shell::responder().box = [](const platform::BoxRequest&) { return platform::BoxAnswer::Ok; };
    auto s = vek::freshsession();
    auto d = std::make_unique<vek::Debugger>(*s);
    vek::resetextensions(d.get());
    vek::resetexports();
    const std::string obj = dir.file("fx.o");
    fixture::writefile(obj, fx::object());
    d->quiet = true;
    d->docmd(("load " + obj).c_str(), 1);
    {
        Recorder recorder;
        vek::shell::Shell screen(&recorder);
        vek::shell::MainWindow& frame = screen.frame();
        frame.show();
        frame.startup();
        vek::shell::bindexports(frame);
        EXPECT_EQ(GetVekMainWindow(), static_cast<QMainWindow*>(&frame));
        EXPECT_EQ(vek::extensions().mainwindow, GetVekMainWindow());
        EXPECT_EQ(GetVekMDIWindow(), frame.mdi());
        EXPECT_EQ(GetVekBtnBarWindow(), frame.toolbar());
        ASSERT_NE(GetVekFontObject(), nullptr);
        EXPECT_EQ(GetVekColor(0x105), frame.config.palette.get(5));

        LeftStatus("left");
        EXPECT_EQ(frame.statustext(0), "left");
        WinStatGauge(1, 10);
        WinStatGaugeAdd(4);
        EXPECT_TRUE(frame.gaugestate().on);
        EXPECT_EQ(frame.gaugestate().done, 4u);
        SetVekWindowsStyle(3);
        EXPECT_EQ(frame.arrangement(), 191);
        EXPECT_EQ(MDIUpdate(), 1);

        // Windows, menus and the tool bar.
        EXPECT_EQ(CommandDisplay(1), 1);
        EXPECT_EQ(CommandDisplay(1), 1);
        EXPECT_TRUE(frame.cmdopen());
        EXPECT_EQ(CommandDisplay(0), 0);
        EXPECT_FALSE(frame.cmdopen());
        const int items = GetExtensionsMenuInsertPos();
        EXPECT_EQ(items, int(frame.menuat(8)->actions().size()));
        static int reached = 0;
        RegisterMenuCommandFunction([](int id) { reached = id; });
        const int id = AllocateMenuIDs(1);
        EXPECT_EQ(VekInsertMenuItem(frame.menuat(8), items, "&Mine", id), 1);
        ASSERT_EQ(GetExtensionsMenuInsertPos(), items + 1);
        frame.menuat(8)->actions().back()->trigger();
        EXPECT_EQ(reached, id);
        static const char* const picture[] = {"2 2 2 1", "a c #000000", "b c #FFFFFF", "ab", "ba"};
        const int buttons = int(frame.toolbar()->actions().size());
        platform::Library self = platform::programlibrary();
        EXPECT_EQ(AddButtonToBar(self.handle, "NoSuchPicture"), 0);
        platform::closelibrary(self);
        ASSERT_EQ(vek::exportstate().host.addbutton(vek::copyxpm(picture)), 1);
        ASSERT_EQ(int(frame.toolbar()->actions().size()), buttons + 1);
        frame.toolbar()->actions().back()->trigger();
        EXPECT_EQ(reached, 1000);
        EXPECT_EQ(SetVekWindow(0xF020), 1);
        EXPECT_EQ(SetVekWindow(0x1234), 0);
        EXPECT_EQ(SetVekSubWindow(nullptr, 0xF020), 0);

        // A dialog's combo box, named by its number.
        QDialog dialog;
        auto* files = new QComboBox(&dialog);
        files->setObjectName("610");
        files->setEditable(true);
        auto* funcs = new QComboBox(&dialog);
        funcs->setObjectName("611");
        BrowserListFiles(&dialog, 610, 1);
        ASSERT_EQ(files->count(), 2);
        EXPECT_EQ(files->itemText(0), "fx.c");
        EXPECT_EQ(files->itemText(1), "*.*");
        BrowserListFuncs(&dialog, 611, "*.*");
        ASSERT_EQ(funcs->count(), 3);
        EXPECT_EQ(funcs->itemText(2), "g");
        BrowserListVars(&dialog, 612, nullptr);   // no such combo: nothing happens

        // The interrupt list in its dialog.
        std::ofstream(dir.file("vectors.lst")) << "0x100 Reset\n0x500 Timer\n";
        EXPECT_EQ(LoadInterrupts(dir.file("vectors.lst").c_str()), 2);
        static int rows = -1;
        vek::shell::responder().dialog = [](QDialog* shown) {
            auto* list = shown->findChild<QTreeWidget*>("106");
            rows = list ? list->topLevelItemCount() : -1;
            if (list && rows > 1) {
                EXPECT_EQ(list->topLevelItem(1)->text(1), "Timer");
            }
            shown->findChild<QPushButton*>()->click();
        };
        EXPECT_EQ(ShowInterrupts(), 1);
        EXPECT_EQ(rows, 2);
        vek::shell::responder().dialog = nullptr;

        // The machine windows, once the views are bound too.
        vek::views::MachineWindows machine;
        vek::views::registermachineviews(frame, *d, machine);
        vek::views::bindmachineexports(frame, *d, machine);
        EXPECT_EQ(RegistersDisplay(1), 1);
        ASSERT_TRUE(machine.regs);
        EXPECT_EQ(RegistersDisplay(1), 1);   // open already: nothing changes
        SetRegistersWindow(0xF020);
        EXPECT_TRUE(machine.regs->isMinimized());
        EXPECT_EQ(RegistersDisplay(0), 0);
        void* data = CreateMemoryDataBrowser("Data", fx::Data, 8, 2, vek::views::FmtHex, 1);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(machine.memory.size(), 1u);
        EXPECT_EQ(VekDataMemUpdate(1), 1);
        EXPECT_EQ(VekCodeMemUpdate(1), 0);
        EXPECT_EQ(SetVekSubWindow(data, 0xF030), 1);
        EXPECT_TRUE(machine.memory[0]->isMaximized());
        DeleteMemoryBrowser(data);
        EXPECT_FALSE(machine.memory[0] && machine.memory[0]->isVisible());
        vek::views::unbindmachineexports();

        // The project pane.
        {
            vek::ProjectPane pane(&frame);
            frame.addDockWidget(Qt::LeftDockWidgetArea, &pane);
            pane.hide();
            vek::bindprojectexports(pane);
            EXPECT_EQ(ApplicationTreeDisplay(1), 1);
            EXPECT_TRUE(pane.isVisible());
            EXPECT_EQ(ApplicationTreeDisplay(0), 0);
            EXPECT_FALSE(pane.isVisible());
            vek::unbindprojectexports();
            frame.removeDockWidget(&pane);
        }

        // Source windows and lists, once the source views are bound.
        std::ofstream(dir.file("fx.c")) << "int main(void)\n{\n}\n";
        frame.config.path = dir.path().string();
        {
            vek::views::SourceViews sources(frame);
            vek::views::Browsers browsers(frame, sources);
            vek::views::bindsourceexports(frame, *d, sources, browsers);
            void* source = CreateSourceBrowser("fx.c");
            ASSERT_NE(source, nullptr);
            EXPECT_EQ(CreateSourceBrowser("fx.c"), nullptr);   // it has one: brought up
            EXPECT_EQ(BrowseFunction("g", nullptr, 0), source);
            EXPECT_EQ(BrowseFunction("nosuch", nullptr, 0), nullptr);
            void* list = CreateFunctionBrowser();
            ASSERT_NE(list, nullptr);
            QPointer<QWidget> host = static_cast<QWidget*>(list)->parentWidget();
            while (host && !qobject_cast<QMdiSubWindow*>(host.data())) host = host->parentWidget();
            ASSERT_TRUE(host);
            DeleteFunctionBrowser(list);
            EXPECT_FALSE(host && host->isVisible());
            // The pick dialogs: the name chosen, or null for Cancel and
            // for nothing chosen.
            static std::string pick;
            vek::shell::responder().dialog = [](QDialog* shown) {
                if (pick == "cancel") return shown->reject();
                auto* names = shown->findChild<QComboBox*>(pick == "fx.c" ? "610" : "611");
                ASSERT_NE(names, nullptr);
                names->setCurrentIndex(names->findText(QString::fromStdString(pick)));
                if (names->currentIndex() < 0) names->setEditText({});
                shown->findChild<QPushButton*>("601")->click();
            };
            pick = "fx.c";
            EXPECT_STREQ(SelectSourceFile(), "fx.c");
            pick = "g";
            EXPECT_STREQ(SelectSourceFunction(), "g");
            pick = "none";
            EXPECT_EQ(SelectSourceFunction(), nullptr);
            pick = "cancel";
            EXPECT_EQ(SelectSourceFunction(), nullptr);
            EXPECT_EQ(SelectSourceFile(), nullptr);
            vek::shell::responder().dialog = nullptr;
            vek::views::unbindsourceexports();
        }

        vek::shell::unbindexports();
        EXPECT_EQ(GetVekMainWindow(), nullptr);
        EXPECT_EQ(vek::extensions().mainwindow, nullptr);
        EXPECT_EQ(MDIUpdate(), 0);
    }
    vek::resetextensions(nullptr);
    d.reset();
    s.reset();
    vek::shell::responder() = {};
    platform::setwindowhost(nullptr);
}

}  // namespace
