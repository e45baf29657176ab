// What vek's side of the extension interface needs besides the manager:
// the thread that owns the debugger, and the screen's answers (the shell
// fills ExportHost; without a screen every window is null).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vek {

struct ExportHost {
    void* mainwindow = nullptr;
    void* mdiwindow = nullptr;
    void* toolbar = nullptr;
    void* font = nullptr;
    // Colour table entry (index already reduced to 0-18); null: entry 0.
    uint32_t (*color)(int index) = nullptr;
    // Opens or closes the Registers window; null without a screen.
    bool (*registers)(int show) = nullptr;
    bool (*registersshown)() = nullptr;
    // Arranges the frame's windows (1 free, 2 cascade, 3 and 4 tiled).
    void (*arrange)(int code) = nullptr;
    // Reloads the source windows after a path change.
    void (*reloadsources)() = nullptr;
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
