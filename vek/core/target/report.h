// How the target model reports trouble. The debugger's message table and
// output sink live elsewhere; the target only knows message numbers and a
// tail text, so it talks to them through this small binding. Unbound, the
// reports are kept in a log (which is what the tests read).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

// Message numbers of the debugger's message table that the target uses.
enum TargetMessage : int {
    MsgCantOpen = 5,          // "can't open: "
    MsgReadError = 8,         // "read error"
    MsgMemoryFileOverflow = 9,  // "memory file overflow"
    MsgUnknownRegister = 16,  // "unknown register"
    MsgIllegalInstruction = 17,  // "illegal instruction"
    MsgSeekError = 19,        // "seek error"
};

// The text of a target message number ("" when the target does not use it).
const char* targetmsgtext(int number);

struct TargetReport {
    // Reported as an error (error box or "#error: " line).
    std::function<void(int number, std::string_view tail)> errmsg;
    // Plain output text.
    std::function<void(std::string_view text)> puttext;
    // What was reported while nothing was bound: message text + tail.
    std::vector<std::string> log;

    void error(int number, std::string_view tail = {});
    void text(std::string_view text);
};

}  // namespace vek
