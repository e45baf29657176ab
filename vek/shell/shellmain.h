// The debugger program's screen front end: the main window over the run
// control's command interpreter.
#pragma once

#include <memory>
#include <string>

#include "vek/shell/commands.h"
#include "vek/start/start.h"

namespace vek {

struct Debugger;

// Opens the main window, runs the start-up (runstart), loads the program,
// runs the window loop and returns the exit status. A main window that
// cannot be opened ends with status 1.
int shellmain(StartState& state);

namespace shell {

class MainWindow;

// The debugger's windows joined to the main window (they live in the views
// library): made once the main window is up, kept while it lives.
class Views {
public:
    virtual ~Views() = default;
    // Brings every open view to the debugger's state (after the start-up).
    virtual void refresh() {}
};
using AttachViews = std::unique_ptr<Views> (*)(MainWindow& frame, Debugger& debugger);
// Set by the program's main when the views are built in; null: none.
extern AttachViews attachviews;

// Menu commands, typed lines and command files go to the debugger's
// command interpreter with the user flag set.
class DebuggerCommands : public CommandHost {
public:
    explicit DebuggerCommands(Debugger& debugger) : d_(debugger) {}
    void docmd(const std::string& line) override;
    void doblock(const std::string& line) override;
    void runcmdfile(const std::string& path) override;
    void sessionfile(const std::string& path, int kind, bool load) override;
    bool hasdebug() override;
    std::vector<std::string> segmentlines() override;
    void reloadsegments(const std::vector<size_t>& which) override;

private:
    Debugger& d_;
};

}  // namespace shell
}  // namespace vek
