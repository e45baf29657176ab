// Memory windows without a screen: the lines of code and data windows,
// their scrolling, clicks and in-place editing, the code, data and
// S-record dumps and the main caption. A widget only draws the lines (cell
// by cell, escape pairs 0x01 n changing the colour) and passes on input.
//
// The one idea: everything reads memory through a peek, so that a window
// over any part of the 4 GiB space makes no pages; the line table holds
// only what is visible, and addresses wrap at 4 GiB.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vek::views {

// Colour escapes in line texts: 0x01 followed by a palette index.
constexpr char Esc = 0x01;
constexpr char ColText = 0x09, ColChanged = 0x0A, ColMnemonic = 0x0B;

enum MemKind : uint16_t { CodeWindow = 8, DataWindow = 16 };
enum MemFormat : int { FmtBinary = 1, FmtOctal = 2, FmtDecimal = 3, FmtHex = 4 };
enum EditState : uint16_t { NoEdit = 0, AsciiEdit = 1, ValueEdit = 2 };
enum ScrollAction : int { LineUp, LineDown, PageUp, PageDown };
enum ArrowKey : int { KeyLeft = 37, KeyUp = 38, KeyRight = 39, KeyDown = 40 };

// What the windows need of the debugger; unset callbacks read as nothing.
struct MemEnv {
    std::function<uint8_t(uint32_t)> peek;                   // never makes a page
    std::function<void(uint32_t, uint32_t, int)> put;       // address, value, size 1/2/4
    // The instruction at an address: its text and its length (2 or 4).
    std::function<unsigned(uint32_t, std::string&)> decode;
    std::function<int(uint32_t)> eventat;                    // -1 none, 0 disabled, 1 enabled
    std::function<bool()> running;
    std::function<uint32_t()> pc;
    // The source line around pc: false when pc starts no line.
    std::function<bool(uint32_t pc, uint32_t& start, uint32_t& next)> linerange;
    std::function<void()> updated;                           // the update callbacks (2)
};

// Digits of an element by format and size, and its text as a window shows it.
int elementdigits(int format, int size);
std::string elementtext(uint32_t value, int format, int size);
// Characters per element (digits and a blank).
inline int elementchars(int format, int size) { return elementdigits(format, size) + 1; }

struct MemoryWindow {
    bool rebuild = true;
    bool ascii = false;
    bool runtime = false;
    uint16_t edit = NoEdit;
    uint16_t kind = DataWindow;
    int caretcol = 0, caretrow = 0, caretpos = 0;
    int lineChars = 0, elemChars = 0;
    int size = 2, format = FmtHex;
    int firstcol = 0, widest = 0, visiblecols = 80;
    int visiblelines = 10;
    int bytesperline = 8;
    int editindex = 0, typed = 0;
    uint32_t pc = 0, linestart = 0, linenext = 0;
    bool haverange = false;
    uint32_t start = 0, end = 0, editaddr = 0;
    std::vector<uint32_t> table;         // code: line addresses; data: the baseline
    std::vector<std::string> lines;      // texts of the last build

    // Sets the layout of a data window (characters per element and line).
    void setformat(int size, int format, bool ascii, int bytesperline);
    // The widest line of a data window.
    int datawidth() const { return lineChars + (ascii ? bytesperline + 10 : 9); }
};

// A window as a dialog opens it: bytes per line 4 in binary format, else 8.
MemoryWindow datawindow(uint32_t start, int size, int format, bool ascii);
MemoryWindow codewindow(uint32_t start);

// Builds the visible lines (the paint).
void buildmemlines(MemoryWindow& w, const MemEnv& env);
// Scrolls; false (a beep) while the target runs.
bool scrollmem(MemoryWindow& w, const MemEnv& env, ScrollAction a);

// A click (double click or right button) at a cell.
struct MemClick {
    enum What { Nothing, Beep, Command, EventCommand, EventPopup, Symbol, Edit } what = Nothing;
    std::string text;        // the command line or the symbol word
    int eventcmd = 0;        // 801 on/off, 802 delete, 803 edit
    uint32_t address = 0;
};
enum ClickKeys : unsigned { KeyShift = 1, KeyCtrl = 2, KeyW = 4 };
// A click on the address of a code line: the event's command or popup, or
// the break or watch command line when no event lies there (withevent
// false: a click on an event does nothing).
MemClick addressclick(const MemEnv& env, uint32_t address, unsigned keys, bool withevent = true);
// The word (letters, digits, '_', '$', '.') of text at a column, from
// first on: a Symbol click, else Nothing.
MemClick wordclick(const std::string& text, size_t at, size_t first = 0);
MemClick memclick(MemoryWindow& w, const MemEnv& env, int row, int col, unsigned keys);

// In-place editing of data windows.
void editstart(MemoryWindow& w, int row, int col);
// A typed character: false is a beep.
bool edittype(MemoryWindow& w, const MemEnv& env, char c);
// An arrow key: false is a beep.
bool editarrow(MemoryWindow& w, const MemEnv& env, int key);
// Return or focus loss: writes a pending element.
void editend(MemoryWindow& w, const MemEnv& env);

// Dumps, each from `from` to `to` inclusive (code: instructions starting
// there; data: lines starting below to), stopping at the wrap.
std::string codedump(const MemEnv& env, uint32_t from, uint32_t to);
std::string datadump(const MemoryWindow& w, const MemEnv& env, uint32_t from, uint32_t to);
std::string srecdump(const MemEnv& env, uint32_t from, uint32_t to);
// Writes a dump to path; false after reporting "Can't write " and the path.
bool writedump(const std::string& path, const std::string& text, const std::function<void(const std::string&)>& error);

// The "Map" list text: one line per loaded section (name, first and last
// address, size).
struct MapSection {
    std::string name;
    uint32_t start = 0, last = 0;
};
std::string maptext(const std::vector<MapSection>& sections);

// The main window's caption.
std::string maincaption(bool cancelled, const std::string& path, const std::string& function,
                        const std::string& file, uint32_t line);

}  // namespace vek::views
