// The extension exports' way to the machine windows: binding them gives
// the exports the Disassembly, Registers, Stack and memory windows that
// registermachineviews made for the frame.
#pragma once

namespace vek {
struct Debugger;
}
namespace vek::shell {
class MainWindow;
}

namespace vek::views {

struct MachineWindows;

// Call after registermachineviews (and after the shell's bindexports);
// unbind before the windows go.
void bindmachineexports(shell::MainWindow& frame, Debugger& d, MachineWindows& w);
void unbindmachineexports();

}  // namespace vek::views
