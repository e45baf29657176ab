// What the shell needs of the command interpreter: run a command line,
// run a typed line, run a command file. The shell never parses commands
// itself; every menu, tool-bar button, bound key and typed line ends here.
// The debugger's command interpreter stands behind it (DebuggerCommands,
// shellmain.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek::shell {

// The run state a running command reports to the screen and the pump it
// calls between steps.
class RunControl {
public:
    virtual ~RunControl() = default;
    virtual void setrunstate(bool running) = 0;
    // Lets the windows work (at most every few milliseconds); true when the
    // user asked to stop.
    virtual bool pumpmsgs() = 0;
};

class CommandHost {
public:
    virtual ~CommandHost() = default;
    // A command line from a menu, a button or a key (the user flag set).
    virtual void docmd(const std::string& line) = 0;
    // A line typed in the Command window.
    virtual void doblock(const std::string& line) { docmd(line); }
    // Runs the lines of a command file; "can't open: " when it cannot.
    virtual void runcmdfile(const std::string& path);
    // Loads a program file (menu 102 and the recent files).
    virtual void loadprogram(const std::string& path) { docmd("load " + path); }
    // Whether the loaded program has debug records.
    virtual bool hasdebug() { return true; }
    // The loaded object file's segments, one line each (name, address,
    // size), and their reload from the file (Reload Segment).
    virtual std::vector<std::string> segmentlines() { return {}; }
    virtual void reloadsegments(const std::vector<size_t>& which) { (void)which; }
    // Loads or saves a session (kind 1) or layout (kind 0) file.
    virtual void sessionfile(const std::string& path, int kind, bool load) {
        docmd(std::string(kind ? "session " : "layout ") + (load ? "/l " : "") + path);
    }
};

}  // namespace vek::shell
