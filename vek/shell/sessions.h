// The windows' part of session and layout files, and the File menu's
// session and layout dialogs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vek/command/control/sessionfile.h"

namespace vek::shell {

class MainWindow;

// One memory window of a session's Data section: "C," and the start
// address (lower-case hexadecimal) for a code window, "D," the start, bytes
// per line, ASCII column (0, 1), element size (1, 2, 4) and format (1
// binary, 2 octal, 3 decimal, 4 hexadecimal) for a data window; then its
// place in the MDI area as left, right, top, bottom.
struct DataWindowPlace {
    bool code = false;
    uint32_t start = 0;
    uint32_t bytesperline = 16, ascii = 1, size = 1, format = 4;
    int32_t left = 0, right = 0, top = 0, bottom = 0;
};
std::string datavalue(const DataWindowPlace& w);
// False when the value is not one of the two forms.
bool readdatavalue(const std::string& value, DataWindowPlace& w);

// The memory windows' part of sessions, which the memory windows fill in:
// the open ones in MDI order, closing them all, and opening one (placed
// at its rectangle when the arrangement is free).
struct SessionMemoryWindows {
    std::function<std::vector<DataWindowPlace>()> list;
    std::function<void()> closeall;
    std::function<void(const DataWindowPlace& w, bool placed)> open;
};
SessionMemoryWindows& sessionmemorywindows();

// Tile, the main window, the main source window and the Disassembly,
// Command, Stack, Monitors and Registers windows of frame.
SessionWindows sessionwindows(MainWindow& frame);

// Menu 131 (load session), 132 (save session), 133 (load layout), 134
// (save layout): the file dialog, then the command host's session file.
void sessionmenu(MainWindow& frame, int32_t id);

}  // namespace vek::shell
