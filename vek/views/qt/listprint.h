// Save and Print of the list, source and events-browser windows: what each
// pane prints or saves, the "Save" / "Print" strip of list windows and the
// events browser, and the "&Print" item that the frame's File menu holds
// while a source window is active.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace vek {
struct DebugInfo;
}
namespace vek::shell {
class MainWindow;
}

class QWidget;

namespace vek::views {

class TextPane;

// A pane's print job: its title and its lines (title empty: the pane
// prints nothing).
struct PaneText {
    std::string title, text;
};
PaneText printedtext(const QWidget* pane, const DebugInfo* di);

// A pane's save: the dialog's title, filter and default extension and the
// file's text (title empty: the pane saves nothing).
struct PaneSave {
    QString title, filter, extension;
    std::string text;
};
PaneSave savedtext(const QWidget* pane, const DebugInfo* di);

// Runs Save (118) or Print (121) on a pane; false when the pane has no
// such command. A file that cannot be written reports "Can't write " and
// its name.
bool panecommand(QWidget* pane, int id, const DebugInfo* di);

// Gives a list window or the events browser its "Save" and "Print" strip;
// call before the pane goes into its host.
void addsaveprint(TextPane* pane, std::function<void(int id)> handler);

// Keeps "&Print" (121) and a separator before Exit in the frame's File
// menu while the active window is a source window, and removes them when
// another window becomes active.
void followprintitem(shell::MainWindow& frame);

}  // namespace vek::views
