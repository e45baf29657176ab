// What vek's side of the extension interface needs besides the manager:
// the thread that owns the debugger, and the screen's answers (the shell
// fills ExportHost; without a screen every window is null).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vek {

struct ExportHost {
    void* mainwindow = nullptr;
    void* mdiwindow = nullptr;
    void* toolbar = nullptr;
    void* font = nullptr;
    // Colour table entry (index already reduced to 0-18); null: entry 0.
    uint32_t (*color)(int index) = nullptr;
    // The windows that a Show menu item toggles (300 Command, 310
    // Registers, 320 Disassembly, 330 Stack): whether one is open, and
    // opening or closing it.
    bool (*viewshown)(int id) = nullptr;
    void (*showview)(int id, bool show) = nullptr;
    // A system command (0xF020 minimise, 0xF030 maximise, 0xF060 close,
    // 0xF120 restore) to the main window (null) or to the window hosting
    // a content window; 0 when there is no such window.
    int (*syscommand)(void* window, int command) = nullptr;
    // The content window of a Show menu item's window, or null.
    void* (*viewwindow)(int id) = nullptr;
    // The number of items of a main-menu popup (by position).
    int (*menucount)(int position) = nullptr;
    // Inserts an item with a command id into a menu; adds a check-style
    // tool-bar button (id 1000) with an XPM picture.
    int (*insertmenuitem)(void* menu, int position, const char* text, int id) = nullptr;
    int (*addbutton)(const std::vector<std::string>& xpm) = nullptr;
    // Arranges the frame's windows (1 free, 2 cascade, 3 and 4 tiled).
    void (*arrange)(int code) = nullptr;
    // Reloads the source windows after a path change.
    void (*reloadsources)() = nullptr;
    // The key binding of F1 to F12 (virtual keys 112 to 123) sent as a
    // menu command: what that returns, or 0 when unbound.
    int (*functionkey)(int key) = nullptr;
    // Prints the lines that lines gives (0: cancelled).
    int (*printfile)(const char* title, const char* (*lines)(int first, void* arg, void* user), void* arg,
                     void* user) = nullptr;
    // Rebuilds (flag non-zero) or repaints the code or data memory windows.
    int (*memupdate)(bool code, int flag) = nullptr;
    // Shows or hides the project pane.
    int (*projectpane)(int show) = nullptr;
    // The path editor on the source path; its result.
    int (*editpath)() = nullptr;
    // Tiles the windows again when the arrangement is tiled.
    int (*mdiupdate)() = nullptr;
    // The status bar's gauge: on or off with its total, then progress.
    void (*gauge)(bool on, uint32_t total) = nullptr;
    void (*gaugeadd)(uint32_t n) = nullptr;
    // The interrupt dialog; its result.
    int (*showinterrupts)() = nullptr;
    // Loads a program file as the File menu's load does (menu command 102).
    void (*loadprogram)(const char* path) = nullptr;
    // The views' windows: a source window of a file (at a line, 0: none;
    // null when the file already has one), a function in its file's
    // window, the file and function lists, a memory window (code, or data
    // with its layout), closing one of them, and the selection dialogs
    // (null when cancelled) and the source windows' selection.
    void* (*opensource)(const char* file, int line, bool create) = nullptr;
    void* (*openfunction)(const char* function, const char* file, int line) = nullptr;
    void* (*openlist)(bool functions) = nullptr;
    void* (*openmemory)(bool code, const char* title, uint32_t start, int perline, int size, int format,
                        int ascii) = nullptr;
    void (*closewindow)(void* window) = nullptr;
    const char* (*selectname)(bool functions) = nullptr;
    int (*selection)(const char** expression, const char** text) = nullptr;
    // The popup menus of functions and of variables.
    void* (*popupmenu)(bool variable) = nullptr;
    // Fills the combo box of a dialog with names and selects one (or none).
    void (*fillcombo)(void* dialog, int combo, const std::vector<std::string>& names, const char* select) = nullptr;
};

// The counters and stand-ins of the interface; resetexports starts them
// fresh and makes the calling thread the debugger's own.
struct ExportState {
    ExportHost host;
    uint32_t nextmenuid = 30000, nextmessage = 1124;
    int nextinsertpos = 9;
    int windowsstyle = 0;
    void (*menucommand)(int id) = nullptr;  // RegisterMenuCommandFunction
    std::string inifile;                    // full path of the settings file
    // The C copies of the debug records handed to extensions (records.cpp).
    std::shared_ptr<struct RecordCopies> records;
    // The rest of the services' state (services.cpp).
    std::shared_ptr<struct ServiceState> services;
};
ExportState& exportstate();
void resetexports();

// Runs queued exports of other threads (the debugger's thread calls it
// between commands and while it waits for input). Returns how many ran.
int pumpexports();
// Whether the calling thread is the debugger's own.
bool ondebuggerthread();
// Runs job on the debugger's thread and waits for it.
void rundebugger(const std::function<void()>& job);

}  // namespace vek
