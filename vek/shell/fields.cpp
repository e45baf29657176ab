// Cycle-counter edit and status gauge.
#include "vek/shell/fields.h"

#include <cstdio>

namespace vek::shell {

void CycleEdit::start(int column, int r, uint32_t counter) {
    active = true;
    char buf[16];
    std::snprintf(buf, sizeof buf, " %010u", counter);
    text = buf;
    caret = startcolumn = column;
    row = r;
}

CycleEdit::Typed CycleEdit::type(char c, uint32_t& counter) {
    changed = true;
    if (c == '\r' || c == '\n') {
        end();
        return Typed::Ended;
    }
    int index = caret - (FirstDigit - 1);  // the text starts at column 21
    if (c < '0' || c > '9' || index < 0 || index >= static_cast<int>(text.size())) return Typed::Beep;
    std::string next = text;
    next[static_cast<size_t>(index)] = c;
    uint64_t value = 0;
    for (char d : next)
        if (d >= '0' && d <= '9') value = value * 10 + static_cast<uint64_t>(d - '0');
    if (value > UINT32_MAX) return Typed::Beep;
    text = next;
    counter = static_cast<uint32_t>(value);
    caret = caret >= LastDigit ? FirstDigit : caret + 1;
    return Typed::Digit;
}

void CycleEdit::end() { active = false; }

void Gauge::set(bool onflag, uint32_t newtotal) {
    on = onflag;
    total = onflag ? newtotal : 0;
    done = 0;
}

void Gauge::add(uint32_t n) {
    if (!on) return;
    done = n > total - done ? total : done + n;
}

int Gauge::fill(int width) const {
    if (!on || total == 0 || width <= 0) return 0;
    uint64_t d = done > total ? total : done;
    return static_cast<int>(d * static_cast<uint64_t>(width) / total);
}

}  // namespace vek::shell
