// The browser list windows (files, functions, symbols), the events browser
// and their saved lists. A click on a tag opens a source window or runs a
// command line; nothing here changes the debugger directly.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "vek/views/model/browsers.h"
#include "vek/views/qt/sourcepane.h"

namespace vek {
struct Debugger;
struct EventRecord;
}

namespace vek::views {

enum class ListKind { Files, Functions, Symbols };

class ListWindowPane : public ListPane {
public:
    ListWindowPane(shell::MainWindow& frame, ListKind kind) : ListPane(frame, shell::FontKind::Browser), kind(kind) {}
    ListKind kind;
    std::string file;   // the function browser's file ("" all)
};

// The events browser: one line per user event; a click chooses one.
class EventsPane : public TextPane {
public:
    EventsPane(shell::MainWindow& frame, Debugger& d);
    void rebuild();
    const EventRecord* chosen() const { return chosen_; }
    // Runs a popup command (801 on/off, 802 delete, 803 edit, 808 show) on
    // the chosen event.
    void command(int id);
    // 808: shows the source of a line event.
    std::function<void(const EventRecord&)> show;
    // 803 on a data event: its editor.
    std::function<void(int number)> editdata;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void clickat(QPoint at, Qt::KeyboardModifiers mods);
    Debugger& d_;
    const EventRecord* chosen_ = nullptr;
};

class Browsers {
public:
    Browsers(shell::MainWindow& frame, SourceViews& sources) : frame_(frame), sources_(sources) {}
    ListWindowPane* openfilebrowser(const DebugInfo& di);
    ListWindowPane* openfuncbrowser(const DebugInfo& di, const std::string& file, bool types);
    ListWindowPane* listsymbols(const std::vector<const ProgramSymbol*>& symbols, bool byname,
                                const SymbolPlaces& places);
    // Null after "NO DEFINED EVENTS".
    EventsPane* browseevents(Debugger& d);
    // Writes a list file; "Can't write " and the name when it cannot.
    bool savelist(const std::string& path, const std::string& text);
    // The function's state after a switch command ran.
    std::function<bool(const std::string& func)> funcactive;

private:
    ListWindowPane* makelist(const QString& title, ListKind kind, std::string text);
    void dispatchtag(ListWindowPane* pane, const ListHit& hit, Qt::KeyboardModifiers mods, int line);
    shell::MainWindow& frame_;
    SourceViews& sources_;
    const DebugInfo* di_ = nullptr;
};

}  // namespace vek::views
