// The data and display commands of the debugger (x, updat, vars, print,
// stack, files, funcs, perf, mess, dump, fill, mm), the host-file channels
// (fopen, fclose, fwrite, fread, rewind, remove, pause), the line language
// with its code listing, source listings with execution counts, and the
// routines the memory and stack windows share with them.
//
// The one idea: a command only parses its line; what it prints is built by
// a routine that a window can call as well (dumpmem, fillmem, stacktext,
// printsource), and every value goes through the expression evaluator.
#pragma once

#include <cstdint>
#include <cstring>
#include <cstdio>
#include <functional>
#include <list>
#include <string>

#include "vek/command/control/control.h"

namespace vek {

class Memory;

// What the command files of this folder share.
namespace datacmd {
constexpr int MsgUnknown = 11, MsgArgument = 32;
// Where a command that gives up on its line resumes: the line's end.
inline Cursor lineend(Cursor text) { return text + std::strlen(text); }
}  // namespace datacmd

struct Channel {
    int32_t number = 0;
    std::FILE* file = nullptr;
    std::string path;
};

// The state of these commands: one set, fresh after resetdata.
struct DataState {
    std::list<Channel> channels;          // newest first
    uint32_t listcursor = 0;              // next address of the code listing
    uint32_t listcount = 22;              // default count of listed lines
    bool seeded = false;                  // the random generator of fill /R
    uint32_t randstate = 1;               // its state (15-bit results)
    // Reads one line of the line-language input (without its line end);
    // false at the end. Unset: standard input.
    std::function<bool(std::string&)> input;
};
DataState& datastate();
// Closes the channels and starts fresh.
void resetdata();

// Gives the command table these commands' handlers (x and eval are run
// control's, on the evaluator that the Debugger binds).
void adddatacommands();

// ---- memory
// Prints memory from start to end inclusive, 16 bytes a line, in elements
// of size 1, 2 or 4 and format 1 binary, 2 octal, 3 decimal, 4 hexadecimal,
// with an ASCII column. Ends at a wrap past 0xFFFFFFFF and at stop().
void dumpmem(Memory& mem, uint32_t start, uint32_t end, int size, int format, bool ascii,
             const std::function<bool()>& stop = {});
// Writes whole elements of size 1, 2 or 4 from `from` while they lie within
// `to` (inclusive), the value or random values; with verify reads each back
// and reports the first that differs. False when verification failed.
bool fillmem(Memory& mem, uint32_t from, uint32_t to, int size, bool verify, uint32_t value, bool random,
             const std::function<bool()>& stop = {});

// The random generator of the fills: 0 to 32767, the sequence set by seed.
void seedrand15(uint32_t seed);
uint32_t rand15();

// ---- call stack
// "name(arg=value,...)" of one frame of core 0 (the frame is put in scope
// while its arguments are read).
std::string frametext(Debugger& d, int index);
// The stack command's text: every frame from the current one outward,
// file-scope pseudo-functions left out.
std::string stacktext(Debugger& d);

// ---- line language
// Runs one statement or a braced block of the line language; with exec
// false statements are only skipped.
void runline(Debugger& d, const char* text, bool exec);
// One line of the line-language input, at most size - 1 characters with
// its line end; headless the next line of standard input.
std::string lineinput(size_t size = 81);

// ---- source listings
// The source lines of a location (a file's lines, a function's, a range),
// with execution counts and percentages (counts), and the code of each line
// (showcode); with clear only the counts are reset.
void printsource(Debugger& d, bool showcode, const LocationSpec& loc, bool counts, bool clear);
// count * 100 / total as "ddd.dd" (truncated), total non-zero.
std::string percenttext(uint64_t count, uint64_t total);
// The address of the first code of a source line (message 41 when there is
// none): file nullptr means the file of the code at pc.
bool lineaddress(Debugger& d, const char* file, uint32_t line, int32_t column, uint32_t& address);
// The "Address of" box of a source line, or " No code at that location".
void showlineaddr(Debugger& d, const FileRecord& file, uint32_t line);

}  // namespace vek
