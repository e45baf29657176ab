// Printing a sequence of text lines (the windows' Print commands and the
// extensions), to a printer or a PDF file.
#pragma once

#include <string>
#include <string_view>

namespace vek::shell {

// Gives the next line (NUL-ended; none at the end); first is 1 on the first
// call. The text stays the caller's: it is never written to.
using PrintLineFunc = const char* (*)(int first, void* arg, void* user);

// Where the n-th line (from 0) of a job goes: its page (from 0) and its
// top, one line height per line, the first line of a page one line height
// down.
struct PrintPlace {
    int page = 0;
    int top = 0;
};
PrintPlace printplace(int n, int linesperpage, int lineheight);
int linesperpage(int printableheight, int lineheight);
// The line without up to two trailing CR or LF characters.
std::string printtext(std::string_view line);

// Asks for a printer (a PDF file is one) and prints the lines under the
// document name " Printing " and title. 0 when the dialog was cancelled;
// a job that cannot start or is cancelled says "Error while Printing,
// Print Cancelled".
int vekprintfile(const char* title, PrintLineFunc lines, void* arg, void* user);
// Prints a text, one printed line per line of the text.
int printlines(const char* title, std::string_view text);

}  // namespace vek::shell
