// The texts of the browser list windows (files, functions with their
// on/off switches, program symbols), the list files they save, and the
// function switch's command and repainted text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vek {
struct DebugInfo;
struct FileRecord;
struct FunctionRecord;
struct ProgramSymbol;
}

namespace vek::views {

// Files shown in lists: those not marked hidden or duplicate.
std::vector<const FileRecord*> listedfiles(const DebugInfo& di);
// Functions shown in lists: named, not file-scope records, with a start line.
std::vector<const FunctionRecord*> listedfuncs(const FileRecord& f);

std::string filebrowsertext(const DebugInfo& di);
// One file's functions (exact name), or every file's with file empty.
std::string funcbrowsertext(const DebugInfo& di, std::string_view file, bool types);
std::string filelistfile(const DebugInfo& di);       // *.fls
std::string funclistfile(const DebugInfo& di);       // *.fns
std::string funclistprint(const DebugInfo& di);      // the printed lines

// Where a symbol's section and segment are.
struct SymbolPlaces {
    std::function<std::string(uint8_t section)> sectionname;
    // The source file (true) or object file (false) of the segment that
    // holds the value; "" when none.
    std::function<std::string(uint32_t value, uint8_t section, bool& source)> owner;
};
// The symbols list; byname sorts stably by byte order.
std::string symbolstext(const std::vector<const ProgramSymbol*>& symbols, bool byname, const SymbolPlaces& places);

// The switch of a function-browser line: the command it runs ("deact f()" or
// "activ f()"), "" without an E tag.
std::string switchcommand(std::string_view line);
// The 13 bytes that replace the start of a switched line.
std::string switchtext(bool active);
// The function named by a line's E tag ("" none).
std::string functag(std::string_view line);

}  // namespace vek::views
