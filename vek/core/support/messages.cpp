// List blocks, the numbered message table and the message boxes.
//
// The message table is data: one row per id, in id order. Numbers that have
// no row (47, 48, 50, ...) read as " **** Err <id> ****", so an error code
// can always be shown. Boxes join their pieces into one bounded text and go
// to the window host; errorbox gives way to an extension that is capturing a
// command's output and keeps the text instead.
#include "vek/core/support/messages.h"

#include <cstdlib>
#include <cstring>

#include "vek/core/support/output.h"
#include "vek/core/support/text.h"

namespace vek {

namespace {

// id | text (the system's own words, misspellings included)
struct MessageRow {
    int32_t id;
    const char* text;
};
constexpr MessageRow kMessages[] = {
    {1, "SOURCE DEBUGGER FOR"},
    {2, "are you sure ?"},
    {3, "no debug symbol table"},
    {4, "reserved message"},
    {5, "can't open: "},
    {6, "***** absolute *****"},
    {7, "bad processor or relocatable"},
    {8, "read error"},
    {9, "memory file overflow"},
    {10, "write error"},
    {11, "unknown command"},
    {12, "zero divide"},
    {13, "syntax error"},
    {14, "name too long"},
    {15, "symbol not found"},
    {16, "unknown register"},
    {17, "illegal instruction"},
    {18, "***** breakpoint"},
    {19, "seek error"},
    {20, "incorrect symbol name"},
    {21, "uncomplete instruction"},
    {22, "cannot redirect"},
    {23, "offset too large"},
    {24, "incompatible registers"},
    {25, "value too large"},
    {26, "incorrect index register"},
    {27, "incorrect addressing mode"},
    {28, "uncompatible addressing mode"},
    {29, "incorrect size modifier"},
    {30, "stack overflow"},
    {31, "address out of bounds"},
    {32, "incorrect argument"},
    {33, "too many arguments"},
    {34, "string too long"},
    {35, "command not supported"},
    {36, "log file already opened"},
    {37, "cannot create file"},
    {38, "Loading debug symbols"},
    {39, "L"},
    {40, "C source display /on/off/not avalaible/"},
    {41, "source line not found"},
    {42, "Loading user program"},
    {43, "Startup file: "},
    {44, "missing input file name "},
    {45, "no C source defined"},
    {46, "no frame defined"},
    {49, "Enter a command: "},
    {51, "internal error"},
    {52, "incorrect variable"},
    {53, "not an addressable variable"},
    {54, "variable can't be accessed"},
    {55, "illegal type"},
    {56, "unkown field"},
    {57, "illegal operator"},
    {58, "illegal extension for command"},
    {59, "illegal breakpoint"},
    {60, "incorrect function name"},
    {61, "expression not updatable"},
    {62, "first C line at"},
    {63, "entry point at"},
    {64, "invalid entry point"},
    {65, "monitor already declared"},
    {66, "monitor not found"},
    {67, "incorrect function"},
    {68, "missing "},
    {69, " on line: cannot remove"},
    {70, " modified"},
    {71, "breakpoint already set"},
    {72, "any line"},
    {73, "breakpoint not found"},
    {74, "no breakpoint"},
    {75, "file not found"},
    {76, "function not found"},
    {77, "line not found"},
    {78, "Functions in file"},
    {79, " Can't access the emulator, strike any key to continue"},
    {80, "Set up the emulator and strike \\ when ready"},
    {81, "WARNING !!! Leaving entry function. "},
    {82, "Enter EXIT to return to RURA"},
    {83, "Strike any key to continue..."},
    {84, "WARNING !!! Timeout on emulator link"},
    {85, "no code at that location"},
    {86, "function in stack frame"},
    {87, "Transparent Mode Not Available. Strike any key to continue."},
    {88, "at address "},
    {89, " Can't communicate with the monitor, strike any key to exit."},
    {90, "Illegal port specification: "},
    {91, "Illegal speed specification: "},
    {92, "Can't communicate with the emulator"},
    {93, "Illegal address: "},
    {94, " Loading emulator code"},
    {95, " calls"},
    {96, " Communication port:"},
    {97, "assertion not found "},
    {98, "function has too complex return type or arguments"},
    {99, " illegal term "},
};

constexpr size_t kMsgBufferSize = 255;
constexpr size_t kMaxBoxText = 32767;
char msgbuffer[kMsgBufferSize];

ErrorKeeping keeping;

std::string joinpieces(Pieces pieces) {
    std::string text;
    for (std::string_view piece : pieces) {
        if (text.size() >= kMaxBoxText) break;
        text.append(piece.substr(0, kMaxBoxText - text.size()));
    }
    return text;
}

platform::BoxAnswer showbox(platform::WindowHandle owner, const char* caption, Pieces pieces,
                            platform::BoxIcon icon, platform::BoxButtons buttons, bool foreground) {
    platform::BoxRequest box;
    box.owner = owner;
    box.caption = caption;
    box.text = joinpieces(pieces);
    box.icon = icon;
    box.buttons = buttons;
    box.foreground = foreground;
    return platform::windowhost().messagebox(box);
}

}  // namespace

void* allocnode(size_t size, void* link) {
    void* block = std::calloc(1, size < sizeof(void*) ? sizeof(void*) : size);
    if (block == nullptr) fatal("no memory");
    *static_cast<void**>(block) = link;
    return block;
}

void* freenode(void* block, void* value) {
    std::free(block);
    return value;
}

const char* msgtext(int32_t id) {
    for (const MessageRow& row : kMessages) {
        if (row.id == id) {
            strjoin(msgbuffer, sizeof msgbuffer, {row.text});
            return msgbuffer;
        }
    }
    char number[16];
    int32_t n = numtext(number, static_cast<uint32_t>(id), 10);
    strjoin(msgbuffer, sizeof msgbuffer, {" **** Err ", std::string_view(number, static_cast<size_t>(n)), " ****"});
    return msgbuffer;
}

int errmsg(int32_t id) {
    puterror({msgtext(id)});
    return 1;
}

ErrorKeeping& errorkeeping() { return keeping; }

void errorbox(Pieces pieces) {
    if (keeping.capturing) {
        keeping.text = joinpieces(pieces);
        keeping.kept = true;
        return;
    }
    showbox(nullptr, "Error", pieces, platform::BoxIcon::Warning, platform::BoxButtons::Ok, true);
}

void errorboxw(platform::WindowHandle owner, Pieces pieces) {
    showbox(owner, "Error", pieces, platform::BoxIcon::Warning, platform::BoxButtons::Ok, false);
}

void warningbox(Pieces pieces) {
    showbox(nullptr, "Warning", pieces, platform::BoxIcon::Warning, platform::BoxButtons::Ok, false);
}

void infobox(Pieces pieces) {
    showbox(nullptr, "Info", pieces, platform::BoxIcon::Information, platform::BoxButtons::Ok, false);
}

int askerrorbox(Pieces pieces) {
    return showbox(nullptr, "Error", pieces, platform::BoxIcon::Warning, platform::BoxButtons::YesNo, false) ==
                   platform::BoxAnswer::Yes
               ? 1
               : 0;
}

void beep() { platform::windowhost().beep(); }

int MyMultMessShow(platform::WindowHandle owner, int iconflag, int secondbutton, const char* caption,
                   Pieces pieces) {
    platform::BoxAnswer answer =
        showbox(owner, caption ? caption : "", pieces,
                iconflag ? platform::BoxIcon::Information : platform::BoxIcon::None,
                secondbutton ? platform::BoxButtons::OkMore : platform::BoxButtons::Ok, false);
    return answer == platform::BoxAnswer::Ok || answer == platform::BoxAnswer::Yes ? 0 : 1;
}

void initmbox() {}
void endmbox() {}

std::vector<BoxLine> mboxlines(std::string_view text) {
    constexpr int kDefaultColour = 0;
    constexpr unsigned char kColour = 0x01, kTagFirst = 19, kTagLast = 22, kLastColour = 18;
    std::vector<BoxLine> lines(1);
    int colour = kDefaultColour;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            lines.emplace_back();
            continue;
        }
        if (c == kColour || (c >= kTagFirst && c <= kTagLast)) {
            if (++i >= text.size()) break;
            if (c == kColour) {
                auto index = static_cast<unsigned char>(text[i]);
                colour = index > kLastColour ? 1 : index;
            }
            continue;
        }
        auto& runs = lines.back().runs;
        if (runs.empty() || runs.back().colour != colour) runs.push_back({colour, {}});
        runs.back().text += static_cast<char>(c);
    }
    return lines;
}

BoxLayout mboxlayout(std::string_view text, int iconflag, int secondbutton, const BoxMetrics& m) {
    size_t widest = 0;
    std::vector<BoxLine> lines = mboxlines(text);
    for (const BoxLine& line : lines) {
        size_t n = 0;
        for (const ColourRun& run : line.runs) n += run.text.size();
        if (n > widest) widest = n;
    }
    BoxLayout box;
    int drops = static_cast<int>(lines.size()) - 1;  // one line height per line feed
    box.width = static_cast<int>(widest) * m.charwidth + 2 * m.borderwidth + 40;
    if (iconflag) box.width += m.iconwidth + 20;
    if (box.width < m.templatewidth) box.width = m.templatewidth;
    box.buttondrop = drops * m.lineheight;
    box.height = m.templateheight + box.buttondrop;
    if (secondbutton) {
        box.button500x = (box.width - 2 * m.buttonwidth) / 3 - 5;
        box.button502x = (box.width - 2 * m.buttonwidth) / 6 + box.width / 2 - 5;
    } else {
        box.button500x = (box.width - m.buttonwidth) / 2 - 5;
    }
    return box;
}

}  // namespace vek
