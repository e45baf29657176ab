// The Disassembly, Registers and Stack windows in the main window: host
// windows opened and closed through the Show menu, refreshed after stops.
#pragma once

#include <QPointer>
#include <array>
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
};

// Registers the three windows with the frame (menu items 320, 310, 330).
void registermachineviews(shell::MainWindow& frame, Debugger& d, MachineWindows& w);
// After a stop: the Disassembly follows each core's pc, the registers and
// the stack are rebuilt.
void refreshmachineviews(Debugger& d, MachineWindows& w);

}  // namespace vek::views
