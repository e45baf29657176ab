// The animation link: an optional library of an outside modelling tool
// ("libvekamc.so") that is told when the target starts and stops and when
// an event triggers, so that the tool can animate its model.
#pragma once

#include <string>

namespace vek::shell {

class MainWindow;

struct AmcLink {
    void* library = nullptr;  // none when not loaded (or let go again)
    int (*init)(void* program, void* library, void* window) = nullptr;
    void (*close)() = nullptr;
    void (*running)() = nullptr;
    void (*stopped)() = nullptr;
    int (*comminit)() = nullptr;
    void (*bkptcheck)(int number) = nullptr;
    bool connected = false;
    bool menu = false;        // the "MODEL LINK" menu was added
};
AmcLink& amclink();

// Loads the library from dir, else from the library path; adds the menu and
// binds the entries when its Init agrees. False when there is no library.
bool amcload(MainWindow& frame, const std::string& dir);
// Lets the library go (program exit).
void amcunload();
void amcconnect();     // menu 9200
void amcdisconnect();  // menu 9201

}  // namespace vek::shell
