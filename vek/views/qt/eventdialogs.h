// Selection and event editor dialogs: the symbol dialog (a name and its
// value) and the code event editor, which builds a break or watch command
// line from its fields and runs it through the frame.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "vek/shell/shell.h"
#include "vek/views/model/eventview.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vek::views {

// SYMBSELECT (with Select) or SYMBBROWSER: the chosen name in selection().
class SymbolDialog : public QDialog {
public:
    SymbolDialog(shell::MainWindow& frame, const std::vector<std::string>& names,
                 std::function<std::optional<uint32_t>(const std::string&)> lookup, bool select);
    QComboBox* names() const { return combo_; }
    QLabel* value() const { return value_; }
    void choose();                         // the Select button
    const std::string& selection() const { return selection_; }

private:
    void changed(const QString& text);
    shell::MainWindow& frame_;
    std::function<std::optional<uint32_t>(const std::string&)> lookup_;
    QComboBox* combo_;
    QLabel* value_;
    std::string selection_;
};

// BKPTEDIT: OK checks the fields, shows what is wrong in an "Error" box and
// stays open; otherwise the command runs (an edit replaces its event). The
// time event editor is the same dialog under its own title.
class CodeEventDialog : public QDialog {
public:
    CodeEventDialog(shell::MainWindow& frame, Debugger* d, int editnumber = 0,
                    const QString& title = "Code Event Editor");
    QLineEdit *function, *file, *address, *count, *start, *end, *action;
    QRadioButton *breakpoint, *watchpoint;
    QComboBox* status;
    void ok();
    std::function<bool(const std::string&)> issymbol;
    bool makescommand = true;   // the time event editor only closes

private:
    shell::MainWindow& frame_;
    Debugger* d_;
    int edit_;
};

}  // namespace vek::views
