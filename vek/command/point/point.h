// Line expressions and the point check of the line language.
//
// chkpoints runs for every executed instruction and, during a step, for every
// simulated memory access; it compares the cycle counter ".time" with the
// time limit ".btime" and records the first match (point 65535) until the
// hit is cleared. lineexpr evaluates the line language's integer expressions.
#pragma once

#include <cstdint>

namespace vek {

constexpr uint32_t TimePoint = 65535;

// Access kinds: bit 2 (value 4) marks execution.
enum : int { PointRead = 1, PointWrite = 2, PointQuery = 3, PointExec = 5 };

struct PointState {
    uint32_t hitnum = 0;    // 0: none recorded
    uint32_t hitaddr = 0;
    bool busy = false;      // a check is in progress
};
PointState& pointstate();
void resetpoints();
// Forgets the recorded hit (before each instruction, each listed line).
void clearhit();

// Returns the recorded point number (0 none).
uint32_t chkpoints(uint32_t address, int kind);

// Evaluates the integer expression at cursor and leaves cursor after it.
// Division by zero reports message 12, a missing ')' message 13.
int32_t lineexpr(const char*& cursor);

}  // namespace vek
