// Option parsing, usage and version texts, the program name and banner.
//
// Every command-line program describes its options once as a table of
// OptionSpec rows: the option text drives both the matching of the command line
// and the usage text. An option text is: an optional '<' (hidden) or a leading
// '+' literal, the option letters, modifiers ('*' text, '#' number, '##'
// number wins over text, '>' append to a CountdownList, '?' one character),
// then a blank and the help text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tl {

// A list that list options (">") append to. It keeps the behaviour of a
// count-down array of N+1 slots whose slot 0 counts the free slots: at most
// `capacity` entries, appending to a full list stops the program with
// "argument list overflow". Entries are kept in insertion order.
struct CountdownList {
    explicit CountdownList(int capacity = 128) : capacity(capacity) {}
    int capacity;
    std::vector<std::string> items;

    int freecount() const { return capacity - static_cast<int>(items.size()); }
    bool full() const { return freecount() <= 0; }
    // Appends, or stops with "argument list overflow\n" (status 1) when full.
    void append(std::string text);
};

// Where an option's value goes: an integer (flags store 1, '#' the number,
// '?' the character), a text pointer (into the command-line word, never a
// copy), or a list.
using OptionTarget = std::variant<int32_t*, const char**, CountdownList*>;

struct OptionSpec {
    const char* text;  // letters, modifiers, then a blank and the help text
    OptionTarget target;
};

// The values every program of the tool chain shares: its name as used in
// messages, the debug flag from QVDEBUG, and its title, version and date.
struct ToolContext {
    std::string progname;    // empty until initprogname
    bool debug = false;      // set when QVDEBUG exists
    std::string version;     // e.g. "V4.6.26"; empty: none
    std::string date;        // e.g. "22 Aug 2012"; empty: none
    size_t wildcapacity = 256;  // grows by doubling, process-wide
    std::vector<std::string> wildstore;  // storage of expanded arguments
    std::vector<char*> wildargv;
};

// The process-wide context, and a way to start from a fresh one (tests).
ToolContext& toolcontext();
void resettoolcontext();

// Sets the program name (lower-cased base name up to its first '.') and the
// debug flag.
void initprogname(const char* path);
// Sets the version string and date that the banner and version text print.
void setversion(const std::string& version, const std::string& date);

// Writes "ORBELT Software", the title and the version, without a line end.
void putbanner(const char* title);
void putusage(const char* title, const char* files, const std::vector<OptionSpec>& options);
void putversion(const char* title);
[[noreturn]] void toomanyfiles();
void optionshook();

// Parses the options of argv in place. On return argv points at the first
// argument that is not an option and argc counts it and those after it.
// files == nullptr selects the configuration-file use: an unknown word ends
// the parse instead of stopping the program, and there is neither wildcard
// expansion nor a usage text for an empty command line.
void parseopts(int& argc, char**& argv, const char* title, const char* files,
               const std::vector<OptionSpec>& options);

}  // namespace tl
