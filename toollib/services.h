// Command files, path lists, wildcard arguments, numbers and allocation:
// the small services every command-line program shares besides options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "toollib/options.h"

namespace tl {

// One word of a command file with the number of the line it came from.
struct LineToken {
    std::string word;
    int line = 0;
    // The word, a NUL, then the line number's low 16 bits high byte first.
    std::string encoded() const;
};

// Reads a command file into words. Returns nothing on success, or one of the
// texts "can't open file %s", "line %d too long in file %s",
// "no command found in %s", "unmatched %c in: %s" already formatted.
std::optional<std::string> readcmdfile(const std::string& path, std::vector<LineToken>& words);

// Appends the words of a command file to list (growing it as needed). Only
// the "line too long" and "unmatched" failures are printed (standard output).
void readpathfile(CountdownList& list, const std::string& path);
// The existing directories of list, list files replaced by their words.
CountdownList expandpaths(CountdownList& list);
// Appends the ';'-separated pieces of an environment variable; a full list
// stops with "too many pathnames".
void addenvpaths(CountdownList& list, const char* name);
// Doubles the list's capacity, keeping its entries.
void growlist(CountdownList& list);

// Replaces arguments holding '*' or '?' by the matching names.
void expandwild(int& argc, char**& argv);

// Reads a number; base 1 is automatic ("0x" hex, leading 0 octal, else
// decimal). Accumulates in 32 bits with wrap-around. Returns the position of
// the first character not taken.
const char* parsenum(const char* text, int32_t& value, int base);
// The same; fits tells whether the number fits in 32 bits (0 to 0xFFFFFFFF,
// or down to -0x80000000 with a minus sign).
const char* parsenum(const char* text, int32_t& value, int base, bool& fits);

// A block of at least a pointer's size whose first word holds link; stops
// with "no memory" on failure. xrelease frees it and returns value.
void* xalloc(size_t size, void* link);
void* xrelease(void* block, void* value);

bool isdirsep(char c);
const char* lastdirsep(const char* path);
char* lastdirsep(char* path);

}  // namespace tl
