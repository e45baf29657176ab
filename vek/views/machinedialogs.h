// The memory windows' dialogs: one small form (text fields, check boxes,
// choices) whose OK runs a check that may keep it open, and the commands
// of a memory window's menu strip built on it.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vek/views/machineviews.h"

namespace vek {
struct Debugger;
}

namespace vek::views {

class FormDialog : public QDialog {
public:
    FormDialog(QWidget* parent, const QString& title);
    int addfield(const QString& label, const QString& text);
    int addcheck(const QString& label, bool on);
    int addchoice(const QString& label, const QStringList& items, int index);
    // A push button that runs action; the dialog stays open.
    int addbutton(const QString& text, std::function<void(FormDialog&)> action);
    void press(int i);
    std::string field(int i) const;
    void setfield(int i, const QString& text);
    bool check(int i) const;
    void setcheck(int i, bool on);
    int choice(int i) const;
    void setchoice(int i, int index);
    // Runs on OK; false keeps the dialog open (after a beep or a message).
    std::function<bool(FormDialog&)> onok;
    // OK pressed: runs the check and accepts when it passes.
    bool ok();
    // Shows the dialog (or gives it to the test hook); true after OK.
    bool ask();

private:
    struct Impl;
    std::shared_ptr<Impl> d_;
};
// Tests answer forms here instead of a user: the hook fills the fields and
// presses OK (form.ok()) or returns without it (Cancel).
std::function<void(FormDialog&)>& formanswer();

// The value of a program symbol (symbol true) or the address of a
// function's first line, chosen by the user in a list; none when the list
// is empty or the choice is cancelled.
std::optional<uint32_t> pickvalue(Debugger& d, QWidget* owner, bool symbol);

// The commands of a memory window's strip: 361 Address, 362 Format, 363
// Fill, 364 Dump, 367 S-Records. Returns the new caption for 361, else "".
// Dumps and fills do nothing while the target runs.
std::string memcommand(Debugger& d, MemoryView& view, int32_t id, QWidget* owner,
                       const std::function<void(const std::string&)>& error);

}  // namespace vek::views
