// Source panes and the windows they live in: the main source window that
// follows each stop, source browsers, frame browsers, and the search dialog
// each pane owns. Panes change the debugger only through command lines.
#pragma once

#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "vek/views/model/search.h"
#include "vek/views/model/srcfile.h"
#include "vek/views/model/srcview.h"
#include "vek/views/qt/textpane.h"

namespace vek {
struct FunctionRecord;
}

namespace vek::views {

// What the painter and the clicks need to know of one source line.
struct LineInfo {
    bool hascode = true;
    uint32_t address = 0, hits = 0;
    int32_t cycles = 0;
    int event = 0;          // number of the source-line event covering it, 0 none
    bool eventon = true;
};

namespace kind {
constexpr uint16_t Browser = 0x001, Main = 0x101, Frame = 0x201, Events = 0x008;
}

class SourcePane : public TextPane {
public:
    SourcePane(shell::MainWindow& frame, uint16_t kind, std::string file, QWidget* parent = nullptr);
    ~SourcePane() override;
    uint16_t kind() const { return kind_; }
    const std::string& file() const { return file_; }
    bool hastext() const { return loaded_; }
    // Stores a coloured text for a file of this kind.
    void settext(std::string file, std::string text, SourceKind kind, int showline);
    // 1036: brings the line into view when within 3 lines of an edge.
    void showline(int line);
    // 1025: the line in the middle of the window.
    void gotoline(int line);
    // The current statement (line 0: none shown).
    void setcurrent(int line, uint32_t column, uint32_t endcolumn);
    int currentline() const { return curline_; }
    void setmark(int line, int first, int last);
    SourceColumns& columns() { return cols_; }
    int prefixcols() const override;
    int numberwidth() const { return digits(text_.lines()) + 1; }

    // Search (Find, Find Next, Cancel).
    void find();
    void findnext();
    void cancelsearch();
    SearchRecord* search() { return search_.get(); }
    QDialog* searchdialog() { return searchdlg_; }

    std::function<LineInfo(const std::string& file, int line)> lineinfo;
    std::string lastselection;   // the text of the last selection in the text
    // A click on a word of the text, or a selection within one line: the
    // line, the text, the point on screen and the keys held.
    std::function<void(SourcePane& pane, int line, const std::string& text, QPoint global,
                       Qt::KeyboardModifiers mods)> onselect;
    // A click on the number of a line with code: id 0 for a right click (the
    // line popup, or an event's command by the keys held), 820 for the
    // address of the line (a double click with Shift).
    std::function<void(SourcePane& pane, int line, int id, QPoint global, Qt::KeyboardModifiers mods)> online;
    // The word at a cell (letters, digits, '_', '$', '.', '[', ']' and
    // "->"); empty when none.
    std::string wordat(QPoint at) const;

protected:
    void paintline(QPainter& p, int line, int y) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    LineInfo info(int line) const;
    void clickat(QPoint at, Qt::KeyboardModifiers mods, bool dbl);
    void selection(QPoint from, QPoint to);
    uint16_t kind_;
    std::string file_;
    SourceKind srckind_ = SourceKind::Other;
    bool loaded_ = false;
    SourceColumns cols_;
    int curline_ = 0;
    uint32_t curcol_ = 0, curend_ = 0;
    int markline_ = 0, markfirst_ = 0, marklast_ = 0;
    QPoint dragstart_;
    bool dragging_ = false;
    std::unique_ptr<SearchRecord> search_;
    QPointer<QDialog> searchdlg_;
};

// The source windows of one frame.
class SourceViews {
public:
    explicit SourceViews(shell::MainWindow& frame);
    ~SourceViews();
    // The main source window ("Source"), made on first use.
    SourcePane* mainpane();
    // A source browser for a file (an existing one is activated and null
    // returned); null when the file is not found (the window goes).
    SourcePane* opensrcwin(const std::string& name, int line);
    // A frame browser at a line of a function's file, marked.
    SourcePane* openframe(const std::string& name, int line);
    // Brings the main window to a stop at file:line (column, end column of
    // the statement); an empty file shows no location.
    void showlocation(const std::string& file, int line, uint32_t column, uint32_t endcolumn);
    // After `path`: texts that failed load again, the main pane forgets its file.
    void pathchanged();
    std::vector<SourcePane*> panes() const;
    // Colours a file found along the path; false when it cannot be read.
    bool loadsource(const std::string& name, bool ask, std::string& text, SourceKind& kind);

    // opensrcfunc: a function's source; an existing browser of its file
    // scrolls to it, a line makes a frame browser marked there.
    SourcePane* opensrcfunc(const FunctionRecord& f, const std::string& file, int line);

    std::function<LineInfo(const std::string& file, int line)> lineinfo;
    // A word or selection of any pane as an expression and the text itself
    // (its popups).
    std::function<void(const std::string& expr, const std::string& text, QPoint global, Qt::KeyboardModifiers mods)>
        onword;
    // A line number of any pane clicked (see SourcePane::online).
    std::function<void(SourcePane& pane, int line, int id, QPoint global, Qt::KeyboardModifiers mods)> online;
    const DebugInfo* debug = nullptr;   // kinds, #define and typedef names
    // The current selection: the expression a word or selection made and
    // the text itself.
    struct Selection {
        bool has = false;
        std::string expr, text;
    } selection;
    // The expression of a text selected in a line of a pane.
    std::string expression(const SourcePane& pane, int line, const std::string& text) const;
    // The persistent popups of functions and variables (extensions add
    // their items to them).
    QMenu* funcpopup();
    QMenu* varpopup();

private:
    SourcePane* makewindow(const QString& title, uint16_t kind, const std::string& file);
    shell::MainWindow& frame_;
    QPointer<shell::HostWindow> main_;
    SourcePane* mainpane_ = nullptr;
    std::string shownfile_;
    std::set<std::string> reported_;   // files reported missing on this path
    QPointer<QMenu> funcpopup_, varpopup_;
};

// The coverage marks of the iconic mode: a line that ran, or not.
QImage coverageicon(bool ran);
// The host window a pane lives in.
shell::HostWindow* hostof(QWidget* pane);
// The path editor over the main window; true when OK replaced the path.
bool editpath(shell::MainWindow& frame);

}  // namespace vek::views

namespace vek {
struct Debugger;
}
namespace vek::views {
// `showlocation` for core 0: the main source window follows the stop; the
// Disassembly window is asked for through showdisassembly when the stop
// has no source line.
void showlocation(SourceViews& views, Debugger& d, const std::function<void()>& showdisassembly = {});
}  // namespace vek::views
