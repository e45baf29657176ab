// The Stack window without a screen.
#include "vek/views/machinemodel/stackwin.h"

#include <algorithm>

namespace vek::views {

void setstacklines(StackPane& p, std::vector<StackLine> lines) {
    p.lines.clear();
    for (StackLine& l : lines)
        if (l.text.empty() || l.text[0] != '.') p.lines.push_back(std::move(l));
    p.maxoffset = std::max(0, int(p.lines.size()) - std::max(p.clientlines, 1));
    p.offset = 0;
}

// The block of lines ends at the bottom edge moved down by the offset: the
// oldest line is on the last client row at offset 0.
int stackrow(const StackPane& p, int row) {
    const int n = int(p.lines.size());
    const int top = std::max(p.clientlines, 1) - n + p.offset;   // row of the newest line
    const int k = row - top;
    return k >= 0 && k < n && row >= 0 && row < std::max(p.clientlines, 1) ? k : -1;
}

void scrollstack(StackPane& p, StackScroll s) {
    const int page = std::max(p.clientlines, 1);
    switch (s) {
    case StackLineUp: p.offset += 1; break;
    case StackLineDown: p.offset -= 1; break;
    case StackPageUp: p.offset += page; break;
    case StackPageDown: p.offset -= page; break;
    case StackTop: p.offset = p.maxoffset; break;
    case StackBottom: p.offset = 0; break;
    }
    p.offset = std::clamp(p.offset, 0, p.maxoffset);
}

std::string stacklayout(const StackPane& p) {
    std::string t = "\n\t\tStack Layout\n\n";
    for (const StackLine& l : p.lines) t += "\t" + l.text + "\n";
    return t;
}

std::string stackprint(const StackPane& p) {
    std::string t;
    for (const StackLine& l : p.lines) t += l.text + "\n";
    return t;
}

}  // namespace vek::views
