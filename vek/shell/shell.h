// The debugger's main window and the windows every view is built in.
//
// MainWindow is the frame: the menu bar built from the menu table, the
// tool bar, the status bar and the MDI area that holds every debugger
// window. Every menu item, tool-bar button, bound function key and command
// another window sends goes through dispatch(id), which turns it into a
// command line for the CommandHost or into a window action; the run state
// decides in one place (setrunstate) what may be used while the target
// runs. HostWindow is the MDI child every view lives in, with its menu strip
// and an optional second pane for core 1; the Command window is one.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QToolBar>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/window.h"
#include "vek/shell/commands.h"
#include "vek/shell/config.h"
#include "vek/shell/fields.h"
#include "vek/shell/gotill.h"
#include "vek/shell/keys.h"

class QMdiArea;
class QMenu;

namespace vek::shell {

class MainWindow;
class HostWindow;

// Vertical scroll requests a host passes to its pane.
enum class Scroll { LineUp, LineDown, PageUp, PageDown, End };

// A content window of a host. Views derive from it.
class Pane : public QWidget {
public:
    explicit Pane(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual void vscroll(Scroll) {}
    // The menu strip above the pane (nullptr: the pane fills the host).
    QMenuBar* strip = nullptr;

protected:
    void wheelEvent(QWheelEvent* event) override;
};

// An MDI child holding one pane per core under their menu strips.
class HostWindow : public QMdiSubWindow {
public:
    HostWindow(MainWindow& frame, const QString& title, uint32_t splitbit);
    // Gives the host the pane of a core (a core-1 pane splits the host
    // when the split mask has this host's bit).
    void setpane(int core, Pane* pane);
    Pane* pane(int core) const { return panes_[core & 1]; }
    // A menu strip for the pane from a menu table; its commands go to
    // handler.
    QMenuBar* newmenubar(Pane* pane, int core, std::function<void(int32_t)> handler);
    void setbarstatus(QMenuBar* strip, const QString& text);
    // The core tag a strip shows (" z1 " / " z0 " when split, else empty).
    QString coretag(int core) const;
    bool split() const;
    void wheel(int delta);
    void relayout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    MainWindow& frame_;
    uint32_t splitbit_;
    QWidget* body_;
    std::array<Pane*, 2> panes_{};
};

// The Command window's edit line: output, the prompt "Vek>" and the line
// the user types, with a history of 20 lines.
class CmdEdit : public QPlainTextEdit {
public:
    CmdEdit(MainWindow& frame, QWidget* parent);
    void append(std::string_view text);
    void prompt();
    // kept by the frame: they outlive a closed window
    std::vector<std::string>& history;  // newest first
    size_t& outcount;                   // characters since the text was replaced
    bool inline_ = false;               // a typed line runs

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent*) override {}
    void mouseDoubleClickEvent(QMouseEvent*) override {}

private:
    void showhistory(int position);
    void enter();
    int column() const;
    MainWindow& frame_;
    int histpos_ = -1;
};

// The program's own message box with colour markup.
class MultMessBox : public QDialog {
public:
    MultMessBox(QWidget* owner, const ColorPalette& palette, bool icon, bool second, const QString& caption,
                const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ColorPalette& palette_;
    bool icon_;
    std::string text_;
};

// Answers a modal box or dialog instead of the user (tests).
struct Responder {
    std::function<platform::BoxAnswer(const platform::BoxRequest&)> box;
    // File dialogs: the chosen path, or empty for Cancel.
    std::function<QString(const QString& title)> file;
    // Any other dialog: called once it is shown; it ends it itself.
    std::function<void(QDialog*)> dialog;
};
Responder& responder();
// Lets the responder answer a dialog once its own event loop runs.
void answerlater(QDialog& dialog);

// Start-up options of the main window.
struct FrameOptions {
    bool normalshow = true;
};

// A window that a view subsystem opens and closes through the Show menu.
struct ViewToggle {
    std::function<bool()> isopen;
    std::function<bool()> isminimised;
    std::function<void(bool)> show;
};

class MainWindow : public QMainWindow, public platform::WindowHost, public RunControl {
public:
    MainWindow(Settings& settings, CommandHost* commands, FrameOptions options = {});
    ~MainWindow() override;

    // DispatchMenuCommand: runs a command id (param: the file name of 102).
    int dispatch(int32_t id, const QString& param = {});
    // FunctionKey: the binding of F(key+1) in the Shift/Ctrl state, sent
    // as a command; false when unbound.
    bool functionkey(int key, bool shift, bool ctrl);
    void setcommands(CommandHost* commands) { commands_ = commands; }
    CommandHost* commands() const { return commands_; }

    // RunControl
    void setrunstate(bool running) override;
    bool pumpmsgs() override;
    bool running() const { return running_; }
    bool stoprequested() const { return stop_; }

    // platform::WindowHost
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override;
    bool cmdopen() override { return cmdhost_ != nullptr; }
    void opencmd() override;
    void cmdappend(std::string_view text) override;
    void setstatus(int part, std::string_view text) override;
    void setcursor(platform::Cursor cursor) override;
    void beep() override;
    void closemain() override { close(); }

    // Start-up after the window exists: bindings into the menu texts, the
    // layout of section LayOut, the arrangement and number format.
    void startup();
    // Exit: configuration when saving on exit, the key bindings.
    void shutdown();

    // Menus and tool bar.
    QAction* action(int32_t id) const;     // first main-menu item with the id
    QAction* toolaction(int32_t id) const;
    QMenu* menuat(int position) const;     // a main-menu popup by position
    QToolBar* toolbar() const { return toolbar_; }
    void tbcheck(int32_t id, bool shown);
    void tbrunstate(bool running);
    QString statustext(int part) const;
    void showmenuhelp(int32_t id);
    void gauge(bool on, uint32_t total);
    void gaugeadd(uint32_t n);
    const Gauge& gaugestate() const { return gauge_; }

    // Windows.
    QMdiArea* mdi() const { return mdi_; }
    void showcmdwin(bool on);
    CmdEdit* cmdedit() const { return cmdedit_; }
    HostWindow* cmdhost() const { return cmdhost_; }
    void mdiupdate();
    int arrangement() const { return arrangement_; }
    void registerview(int32_t id, ViewToggle toggle) { views_[id] = std::move(toggle); }
    // Menu ids the views carry out (browsers, dialogs, view windows): true
    // when the id was taken.
    std::function<bool(int32_t)> viewcommand;
    // A child's rectangle in the MDI area as left, top, right, bottom.
    Rect childrect(QMdiSubWindow* child) const;
    void placechild(QMdiSubWindow* child, const Rect& rect);
    QFont kindfont(FontKind kind) const;
    void savelayout();
    void restorelayout();
    void saveconfiguration();

    Settings& settings() { return settings_; }
    Config config;
    KeyBindings keys;
    uint32_t splitmask = 0;        // which kinds of window show a core-1 pane
    bool saveonexit = true;
    bool loadcode = true;
    bool colouring = true;
    bool addresscolumn = false;
    int coverage = 10010;
    int varformat = 634;
    int defintformat = 460;
    std::vector<std::string> journal;  // command lines sent, in order
    ProgramIndex programindex;         // files and functions for the dialogs
    int beeps = 0;
    std::set<int> heldletters;      // letter keys held down (W, A, R)
    std::vector<std::string> cmdhistory;  // the Command window's, newest first
    size_t cmdoutcount = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildmenus();
    void buildtoolbar();
    void buildstatusbar();
    void dividestatus();
    void command(const std::string& line);
    bool refused();
    void setchecked(int32_t id, bool on);
    void radio(int32_t first, int32_t last, int32_t id);
    void arrange(int id);
    void cmdfiledlg(bool input);
    void keybinddialog();
    void choosefont(int32_t id);
    void choosecolour(int32_t id);
    void updatekeytexts();
    void addrecentfiles();
    void closecmd();
    void recordframe();

    Settings& settings_;
    CommandHost* commands_;
    FrameOptions options_;
    QMdiArea* mdi_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::array<QLabel*, 4> parts_{};
    QWidget* gaugebar_ = nullptr;
    Gauge gauge_;
    std::map<int32_t, QAction*> tools_;
    HostWindow* cmdhost_ = nullptr;
    CmdEdit* cmdedit_ = nullptr;
    std::map<int32_t, ViewToggle> views_;
    int arrangement_ = 190;
    bool running_ = false;
    bool stop_ = false;
    bool recentadded_ = false;
    bool closing_ = false;
    qint64 lastpump_ = 0;
    Rect placed_;            // where the frame was placed at start
    QRect startgeometry_;    // its geometry then
    std::array<uint32_t, 16> customcolours_{};
    std::array<uint32_t, static_cast<int>(FontKind::Count)> textcolours_{};
};

// The whole shell of a run: settings file, main window, command host.
// Installs the main window as the window host while it lives.
class Shell {
public:
    Shell(CommandHost* commands, FrameOptions options = {});
    ~Shell();
    MainWindow& frame() { return *frame_; }
    Settings settings;

private:
    std::unique_ptr<MainWindow> frame_;
};

// The label popup ("LBLPOPUP") or the assembler-variable popup
// ("ASMPOPUP") with its first entry named after a symbol ("Address &of "
// and the name); its commands go to handler. sympopup and nodepopup show
// it at a point of the window.
QMenu* symbolpopup(QWidget* owner, bool asmvariable, const QString& name, std::function<void(int32_t)> handler);
void sympopup(QWidget* window, QPoint at, const QString& name, std::function<void(int32_t)> handler);
void nodepopup(QWidget* window, QPoint at, const QString& item, std::function<void(int32_t)> handler);

// Whether a display can be opened (QT_QPA_PLATFORM, DISPLAY or
// WAYLAND_DISPLAY is set); without one the debugger runs headless.
bool displayavailable();

}  // namespace vek::shell
