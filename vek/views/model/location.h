// The stop location: where the main source window must show core 0 after
// a command, decided from run control's current frame and the pc.
#pragma once

#include <cstdint>
#include <string>

namespace vek {
struct Debugger;
}

namespace vek::views {

struct StopLocation {
    enum class Show { Source, SourceAndDisassembly, Disassembly } show = Show::Disassembly;
    std::string file, function;
    uint32_t line = 0, column = 0, endcolumn = 0;
};

// Source: the pc starts a line and there is a frame; SourceAndDisassembly:
// a line starts at the pc but no frame knows it; Disassembly: no line.
StopLocation stoplocation(Debugger& d);

}  // namespace vek::views
