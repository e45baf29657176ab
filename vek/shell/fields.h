// Two small models the windows embed: the in-place edit of the cycle
// counter (the Registers window shows it) and the status bar's gauge.
#pragma once

#include <cstdint>
#include <string>

namespace vek::shell {

// The cycle counter edited digit by digit in window columns 21 to 31: a
// blank, then ten decimal digits in columns 22 to 31. Every digit typed
// stores the new value at once; a digit that would take the counter past
// 32 bits is refused.
class CycleEdit {
public:
    static constexpr int FirstDigit = 22, LastDigit = 31;
    enum class Typed { Digit, Beep, Ended };

    void start(int column, int row, uint32_t counter);
    // One typed character; a digit updates counter.
    Typed type(char c, uint32_t& counter);
    void end();

    bool active = false;
    bool changed = false;
    int startcolumn = 0, row = 0, caret = 0;
    std::string text;  // " dddddddddd"
};

// The status bar's progress gauge.
struct Gauge {
    bool on = false;
    uint32_t total = 0, done = 0;
    void set(bool onflag, uint32_t newtotal);
    void add(uint32_t n);
    // Pixels to fill of a bar width pixels wide: done x width / total,
    // nothing for a total of 0, never more than the bar.
    int fill(int width) const;
};

}  // namespace vek::shell
