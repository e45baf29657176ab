// Questions the rest of the debugger asks of the debug information: which
// record covers an address, which statement starts there, where a source
// line is; location texts ("main.c:12.5", "f()", "@0x100") and the
// lookups of files and functions by name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

// ---- lines.cpp: address lookups over the address-ordered records
LineRecord* findlineat(const DebugInfo& di, uint32_t address);
LineRecord* findstopline(const DebugInfo& di, uint32_t address);
LineRecord* findlastat(const DebugInfo& di, uint32_t address);
LineRecord* findnextline(const DebugInfo& di, uint32_t address, int flag);
LineRecord* findkindat(const DebugInfo& di, LineRecord* rec, uint8_t kind);
LineRecord* findstmtat(const DebugInfo& di, uint32_t address);
LineRecord* findownstmtat(const DebugInfo& di, uint32_t address);
LineRecord* findframerec(const DebugInfo& di, LineRecord* rec);
LineRecord* findexitrec(const DebugInfo& di, LineRecord* rec, uint32_t pc);
LineRecord* findtablesmark(const DebugInfo& di, const char* file, std::string_view func);
LineRecord* findlinebyname(const DebugInfo& di, LineRecord* start, std::string_view file,
                           uint32_t line, uint32_t column, bool exact);
// Charges one executed instruction: `now` is the cycle counter after it.
void profilestep(DebugInfo& di, uint32_t address, uint32_t before, uint32_t now);
// "\"text\"" read from target memory, at most n (and 250) characters.
std::string readtgtstrn(const std::function<uint8_t(uint32_t)>& getbyte, uint32_t address, uint32_t n);
std::string readtgtstr(const std::function<uint8_t(uint32_t)>& getbyte, uint32_t address);
int islinestart(const DebugInfo& di, uint32_t address);
// The first record of that file, line and column (column -1: any).
LineRecord* lineaddr(const DebugInfo& di, std::string_view file, uint32_t line, int32_t column);

// ---- location.cpp
struct LocationSpec {
    uint8_t isaddress = 0;   // '@' and an address
    uint8_t given = 0;       // anything recognised
    uint8_t qualified = 0;   // a ':' separated a file or function from the rest
    uint32_t line = 0;       // line, or the plain number
    int32_t column = -1;
    int32_t endline = 0;
    int32_t endcolumn = -1;
    uint32_t address = 0;
    const char* file = nullptr;
    const char* function = nullptr;   // "" means the current frame's function
    const char* symbol = nullptr;
};

// The names of a parsed location and the last location text live here; the next
// parseloc with the same state overwrites them.
struct LocationState {
    char work[3][128] = {};
    std::string lasttext;
};

const char* parseloc(LocationState& st, const char* text, LocationSpec& loc);
bool iscodeloc(const LocationSpec& loc);
bool isnumloc(const LocationSpec& loc);
bool issymloc(const LocationSpec& loc);
bool isnumber(const char* text, size_t length, uint32_t& result);
bool parselinecol(const char* text, size_t length, uint32_t& line, int32_t& column);
bool parselinerange(const char* text, size_t length, LocationSpec& loc);

FileRecord* findfile(const DebugInfo& di, std::string_view name);
FunctionRecord* findfunc(const DebugInfo& di, std::string_view name, const char* file);
bool iscoretwofile(const FileRecord* file);
int coreat(uint32_t splitmask, uint32_t address, uint32_t pc0, uint32_t pc1);
void freedebuginfo(DebugInfo& di);
// The C name of a function's label: "_name" for a public function, "L" +
// octal digits + "_name" for a static one, either with the "$n" suffix
// that a program builder adds; other names as they are. The compiler's
// tables name a function by its C name, its code by its label.
std::string_view cname(std::string_view label);
std::string listfiles(const DebugInfo& di);

}  // namespace vek
