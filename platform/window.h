// The few screen services the debugger's foundation needs, behind one small
// interface: message boxes, the Command window's text, the status bar, the
// cursor, a beep and a close request to the main window.
//
// The debugger talks only to windowhost(); what stands behind it is
// replaceable. The headless host that is installed by default prints a box as
// "caption: text" on the error stream and answers it with the safe choice
// (No), treats the Command window as always open and writes its text to
// standard output. Tests install a host of their own to capture what the
// debugger shows; this is also where the in-process window model grows.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace platform {

using WindowHandle = void*;

enum class BoxIcon { None, Information, Warning, Error, Question };
enum class BoxButtons { Ok, YesNo, OkMore };
enum class BoxAnswer { Ok, Yes, No, More, Closed };
enum class Cursor { Arrow, Wait };

struct BoxRequest {
    WindowHandle owner = nullptr;  // none: the main window or no owner
    std::string caption;
    std::string text;              // may hold colour markup (0x01 c) and hidden tags
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    bool taskmodal = true;
    bool foreground = false;
};

class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Shows a modal box and returns the button chosen.
    virtual BoxAnswer messagebox(const BoxRequest& box);
    // The Command window: whether it is open, opening it (menu command 300),
    // appending output to it (does nothing while it is closed).
    virtual bool cmdopen();
    virtual void opencmd();
    virtual void cmdappend(std::string_view text);
    // Text of one of the status bar's four parts (0 to 3).
    virtual void setstatus(int part, std::string_view text);
    virtual void setcursor(Cursor cursor);
    virtual void beep();
    // Posts a close request to the main window.
    virtual void closemain();
    // The menu state of a run: what may be used while the target runs.
    virtual void setrunstate(bool) {}
    // Lets the windows work during a run; true when the user asked to stop.
    virtual bool pumpmsgs() { return false; }

    // What the headless host remembers, for whoever asks.
    std::array<std::string, 4> status;
    Cursor cursor = Cursor::Arrow;
    int closerequests = 0;
};

// The host in use; the headless one unless setwindowhost installed another.
WindowHost& windowhost();
// Installs a host (not owned); nullptr restores the headless one.
void setwindowhost(WindowHost* host);

}  // namespace platform
