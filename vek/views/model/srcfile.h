// Source files: the search path, the kind of a file, reading a file and
// colouring it into a `SourceText` (the file's bytes with list-text colour
// escapes around keywords, library calls, #define and typedef names,
// directives and comments), and one line of a file as text for traces.
//
// Colouring is one pass over the file; the names it looks up sit in hash sets
// built once per colouring, so its cost follows the file's length only.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vek {
struct DebugInfo;
struct FileRecord;
}

namespace vek::views {

enum class SourceKind : uint16_t { C = 1, Asm = 2, Other = 4 };

// ---- the search path ('|'-separated directories)
// The path after `path text`: "|dir" appends, "dir|" puts in front, anything
// else replaces.
std::string combinepath(const std::string& old, std::string_view text);
// The directories of a path; empty elements are skipped.
std::vector<std::string> pathdirs(std::string_view path);
// Whether a name is absolute: a leading '/' or '\', or ':' as its second character.
bool isabsolute(std::string_view name);
// The file found for a name along the path, or "" when none opens: each
// directory joined with the name, then the name itself (relative names from
// "."), then, for a name with directories, its last component along the path.
std::string findsource(std::string_view path, std::string_view name);
// Whether the text names an existing directory.
bool isdirectory(const std::string& text);

// The path editor's list: adding a directory at a position (a text already
// listed only beeps, one that is no directory is refused), and the path the
// list makes.
enum class PathAdd { Added, Known, NotDirectory };
PathAdd addpathdir(std::vector<std::string>& list, const std::string& text, size_t at);
std::string joinpath(const std::vector<std::string>& list);

// ---- kinds and keyword tables
SourceKind sourcekind(const DebugInfo* di, std::string_view name);
int ckeyword(std::string_view word);          // help id, 0 when none
bool ppdirective(std::string_view word);      // with its '#'
struct LibFunc {
    int id;
    const char* name;
};
const LibFunc* clibfunc(std::string_view word);
bool asmdirective(std::string_view word);     // case-insensitive
bool asmmnemonic(std::string_view word);      // case-insensitive

// Names a file's colouring looks up.
struct ColorNames {
    std::unordered_set<std::string> defines;
    std::unordered_set<std::string> typedefs;
};
// The typedef names of every file's outermost scope, and the #define names
// of the named file.
ColorNames colornames(const DebugInfo& di, std::string_view file = {});

// ---- colouring
std::string colorc(std::string_view file, const ColorNames& names);
std::string colorasm(std::string_view file);
std::string colortext(std::string_view file, SourceKind kind, const ColorNames& names);

// Reads a whole file; false when it cannot be read.
bool readfile(const std::string& path, std::string& out);

// `GetSrcLine`'s reader: one cached file, and one "Can't open " report per
// name until the path changes (traces ask per line; they must never stop to
// ask a question).
struct SrcLineCache {
    std::string name, text;
    bool loaded = false;
    std::set<std::string> reported;   // names reported missing on this path
    std::string reportedpath;
};
// name ':' line, and with flag " | " and the line; with the flag clear only
// the line's text (or name:line when the line is missing). At most 511 bytes.
std::string srcline(SrcLineCache& cache, const std::string& path, const std::string& name, uint32_t line,
                    bool flag);

}  // namespace vek::views
