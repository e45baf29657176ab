// The windows' part of session and layout files, and the File menu's
// session and layout dialogs.
#pragma once

#include <cstdint>

#include "vek/command/control/sessionfile.h"

namespace vek::shell {

class MainWindow;

// Tile, the main window, the main source window and the Disassembly,
// Command, Stack, Monitors and Registers windows of frame.
SessionWindows sessionwindows(MainWindow& frame);

// Menu 131 (load session), 132 (save session), 133 (load layout), 134
// (save layout): the file dialog, then the command host's session file.
void sessionmenu(MainWindow& frame, int32_t id);

}  // namespace vek::shell
