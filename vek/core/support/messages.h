// Lists, the numbered messages and the message boxes of the debugger.
//
// Every list is a chain of zeroed heap blocks whose first word links to the
// next (allocnode/freenode). Message numbers double as error codes: a routine
// returns an id and its caller reports it with errmsg. The boxes reach the
// screen only through platform::windowhost().
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace vek {

using Pieces = std::initializer_list<std::string_view>;

// A zeroed block of size bytes (at least one pointer) whose first word holds
// link. Ends the program with "no memory" when the host has none.
void* allocnode(size_t size, void* link);
// Frees block (nullptr frees nothing) and returns value: a list head is
// unlinked by head = freenode(head, head's link).
void* freenode(void* block, void* value);

// The text of a message id in a buffer that the next call overwrites; an id
// without a text gives " **** Err <id> ****".
const char* msgtext(int32_t id);
// Reports the message through puterror; returns 1.
int errmsg(int32_t id);

// The boxes. Each joins its pieces (together below 32768 characters; the
// rest is cut) and shows them.
void errorbox(Pieces pieces);                              // "Error", foreground
void errorboxw(platform::WindowHandle owner, Pieces pieces);
void warningbox(Pieces pieces);                            // "Warning"
void infobox(Pieces pieces);                               // "Info", OK
int askerrorbox(Pieces pieces);                            // "Error", 1 Yes / 0 No
void beep();
// The program's own box with colour markup: 0 for its first button, 1 for
// the second button or for closing it.
int MyMultMessShow(platform::WindowHandle owner, int iconflag, int secondbutton,
                   const char* caption, Pieces pieces);
void initmbox();
void endmbox();

// While an extension runs a command with its output captured, an error that
// would open the "Error" box is kept here instead (the last one wins).
struct ErrorKeeping {
    bool capturing = false;
    bool kept = false;
    std::string text;
};
ErrorKeeping& errorkeeping();

// One line of MyMultMessShow's text split into coloured runs: markup
// removed, colour indices above 18 taken as entry 1.
struct ColourRun {
    int colour;
    std::string text;
};
struct BoxLine {
    std::vector<ColourRun> runs;
};
std::vector<BoxLine> mboxlines(std::string_view text);

// The host's measures that the box's geometry depends on (pixels; the box
// text uses a fixed-pitch font).
struct BoxMetrics {
    int charwidth = 8;
    int lineheight = 16;
    int borderwidth = 4;      // the system's sizing border
    int iconwidth = 32;
    int buttonwidth = 75;
    int templatewidth = 200;  // of the dialog template
    int templateheight = 100;
};
struct BoxLayout {
    int width = 0;
    int height = 0;
    int buttondrop = 0;       // how far the push buttons move down
    int button500x = 0;
    int button502x = -1;      // -1: no second button
};
BoxLayout mboxlayout(std::string_view text, int iconflag, int secondbutton, const BoxMetrics& m);

}  // namespace vek
