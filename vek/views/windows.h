// Every view of the debugger joined to its main window: the menu ids of the
// browsers, dialogs and view windows, the main source window that follows
// each stop, and the refresh of the machine and data windows after each
// command and each data change.
#pragma once

#include <QPointer>
#include <map>
#include <memory>
#include <string>

#include "vek/shell/shell.h"
#include "vek/shell/shellmain.h"
#include "vek/views/machinehosts.h"
#include "vek/views/qt/browsers.h"
#include "vek/views/varmodel/exprpopup.h"
#include "vek/views/varwindows.h"

namespace vek {
struct Debugger;
}

namespace vek::views {

class ViewSet;

// Runs the frame's commands through the debugger, then brings the views up
// to date once the outermost command has ended.
class RefreshingCommands : public shell::CommandHost {
public:
    RefreshingCommands(shell::CommandHost* inner, ViewSet& views) : inner_(inner), views_(views) {}
    void docmd(const std::string& line) override;
    void doblock(const std::string& line) override;
    void runcmdfile(const std::string& path) override;
    void loadprogram(const std::string& path) override;
    shell::CommandHost* inner() const { return inner_; }

private:
    template <class F> void around(F run);
    shell::CommandHost* inner_;
    ViewSet& views_;
    int depth_ = 0;
};

class ViewSet : public shell::Views {
public:
    ViewSet(shell::MainWindow& frame, Debugger& d);
    ~ViewSet() override;
    ViewSet(const ViewSet&) = delete;
    ViewSet& operator=(const ViewSet&) = delete;

    // After the outermost command of a frame action: the Disassembly,
    // Registers and Stack windows and the events' marks (also after silent
    // commands such as break); a new program rebuilds the trees. The stop
    // location follows every command that is not silent (viewrefresh).
    void refresh() override;
    // After a run or a data change: monitors, variable windows, memory and
    // registers.
    void refreshdata();
    // The Locals and Globals windows and the variable browsers.
    void refreshvars();
    // The main source window at core 0's stop (the Disassembly when no
    // source line starts at the pc).
    void showstop();
    // The menu ids the views carry out; false for others.
    bool command(int32_t id);
    // The popups of an expression under the mouse (text: the text selected
    // itself).
    void wordpopup(const std::string& expr, const std::string& text, QPoint at, Qt::KeyboardModifiers mods);
    // A line number clicked in a source pane: the line popup (id 0), or
    // one of its commands (804 set, 801 on/off, 802 delete, 803 edit, 820
    // address of).
    void linepopup(SourcePane& pane, int line, int id, QPoint at, Qt::KeyboardModifiers mods);
    // A command on the event of a source line or code address (801, 802,
    // 803).
    void eventcommand(const EventRecord& event, int id);
    // Tests choose a popup's item here instead of a user (0: none).
    std::function<int(QMenu&)> popupanswer;

    SourceViews sources;
    Browsers browsers;
    MachineWindows machine;
    QPointer<EventsPane> events;
    QPointer<VarWindow> locals, globals;
    QPointer<MonitorsView> monitors;
    QPointer<ProjectPane> project;
    std::map<int, QPointer<VarTreePane>> varbrowsers;   // 630, 631, 632 (and 1: `vars`)
    MonitorTree montree;
    AggregateWindows aggregates;
    std::map<AggregateWindow*, QPointer<AggregateView>> aggviews;
    FormatStore formats;

private:
    void checkload();
    void togglevars(int id);
    // Beep, Info and Update of a variable pane.
    void bindpane(VarTreePane& pane);
    void togglemonitors();
    void toggleproject(bool fill);
    void openvarbrowser(int kind, bool values, bool locations);
    void fillvarbrowser(VarTreePane& pane, int kind);
    void syncmonitors();
    void showmap();
    PopupHooks popuphooks();
    void windowcommand(const std::string& word, const std::string& letters);
    void synccolumns();
    // Renames the built-in items of a persistent popup, opens it and
    // returns the built-in command chosen (0: none, or an extension's item,
    // which runs its own command).
    int choosepopup(QMenu& menu, const std::vector<PopupItem>& items, QPoint at);
    void browsesource();
    void listsymbols(bool byname);
    void symbolbrowser();
    // The code and time event editors (a new event).
    void codeevent(const QString& title, bool makescommand = true);
    // The data event editor (number: the event edited, 0 a new one).
    void dataevent(int number);
    void openaggregate(AggregateWindow& w);
    // The update dialog of an expression: "updat name=value" on OK.
    void updatevar(const std::string& name);
    // A command's output, captured.
    std::string capture(const std::string& line);
    shell::HostWindow* host(const QString& title, QWidget* view, uint32_t splitbit = 0);
    LineInfo lineinfo(const std::string& file, int line);

    shell::MainWindow& frame_;
    Debugger& d_;
    RefreshingCommands commands_;
    std::function<void()> oldmonitorview_;
    const void* loaded_ = nullptr;   // the debug information the views were built on
    size_t loadedlines_ = 0;
    std::map<std::string, std::map<int, const LineRecord*>> lines_;   // file, line: first record
    std::map<QString, QPointer<shell::HostWindow>> hosts_;
    std::string monsignature_;
};

// Joins the views to the main window (the program's main installs it as
// shell::attachviews).
std::unique_ptr<shell::Views> attachviews(shell::MainWindow& frame, Debugger& d);

}  // namespace vek::views
