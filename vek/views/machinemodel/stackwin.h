// The Stack window without a screen: the shown lines of a core's calls
// (newest first, file-scope pseudo-functions left out), the scroll offset
// that keeps the oldest call on the bottom line, clicks and the save text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek::views {

struct StackLine {
    std::string text;   // "name(arg,...)"
    int frame = -1;     // the frame it stands for
};

struct StackPane {
    std::vector<StackLine> lines;   // from the selected call outward
    int offset = 0, maxoffset = 0;
    int clientlines = 10;           // whole lines that fit
};

enum StackScroll : int { StackLineUp, StackLineDown, StackPageUp, StackPageDown, StackTop, StackBottom };

// Lines whose text begins with '.' are dropped.
void setstacklines(StackPane& p, std::vector<StackLine> lines);
// The line drawn on a row of the client (-1: none), with the layout of the paint.
int stackrow(const StackPane& p, int row);
void scrollstack(StackPane& p, StackScroll s);
// The text of the *.mon file.
std::string stacklayout(const StackPane& p);
// The printed lines: one per shown call, newest first.
std::string stackprint(const StackPane& p);

}  // namespace vek::views
