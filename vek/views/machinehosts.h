// The Disassembly, Registers and Stack windows in the main window: host
// windows opened and closed through the Show menu, refreshed after stops.
#pragma once

#include <QPointer>
#include <array>
#include <vector>
#include <memory>

#include "vek/views/machineviews.h"

namespace vek {
struct Debugger;
}
namespace vek::shell {
class MainWindow;
class HostWindow;
}  // namespace vek::shell

namespace vek::views {

struct MachineWindows {
    ViewHost host;
    QPointer<shell::HostWindow> disasm, regs, stack;
    std::array<DisasmView*, 2> dviews{};
    std::array<RegistersView*, 2> rviews{};
    std::array<StackView*, 2> sviews{};
    std::vector<QPointer<shell::HostWindow>> memory;   // open memory windows
    // Defaults of the next memory window (the configuration dialog's).
    bool codekind = false, ascii = true;
    int size = 2, format = FmtHex;
    QString lastdata = "0x0";
};

// Opens a memory window: a host titled title with the window's strip
// (Address and Dump for code; Address, Format, Dump, Fill and S-Records
// for data; Address and Format for a run-time data window).
shell::HostWindow* openmemwin(shell::MainWindow& frame, Debugger& d, MachineWindows& w, MemoryWindow window,
                              const QString& title, bool runtime);
// The frame's "Memory" command: the configuration dialog, then a window.
shell::HostWindow* askmemwin(shell::MainWindow& frame, Debugger& d, MachineWindows& w);

// Registers the three windows with the frame (menu items 320, 310, 330).
void registermachineviews(shell::MainWindow& frame, Debugger& d, MachineWindows& w);
// After a stop: the Disassembly follows each core's pc, the registers and
// the stack are rebuilt.
void refreshmachineviews(Debugger& d, MachineWindows& w);

}  // namespace vek::views
