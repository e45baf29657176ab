// Stand-ins for the operating-system services the command-line programs use:
// text files whose lines end in LF or CR LF, the kind of a path, a directory
// search with wildcards in the last component, path joining, environment
// variables. '\' and '/' both separate path components in what is read;
// '/' joins.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class PathKind { None, File, Directory, Other };
PathKind pathkind(const std::string& path);

// Reads a text file line by line. A line end is LF, CR LF, or the end of the
// file; the line end is not part of the line.
class TextReader {
public:
    TextReader() = default;
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    bool open(const std::string& path);
    bool isopen() const { return fp_ != nullptr; }
    void close();
    // Reads the next line without its line end; false at the end of the file.
    bool getline(std::string& line);
    bool geterror() const;

private:
    std::FILE* fp_ = nullptr;
};

// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readfile(const std::string& path);

// Replaces a file with text; false when it cannot be opened, written or
// closed in full.
bool writefile(const std::string& path, const std::string& text);

// Names in the directory of pattern whose last component matches the
// wildcard pattern ('*', '?'), files and directories alike, never "." and
// "..", sorted by name. The names carry no directory part.
std::vector<std::string> findfiles(const std::string& pattern);

// The path with every '\' turned into '/', for opening.
std::string hostpath(const std::string& path);
// dir + '/' + name (no separator doubled; an empty dir gives name).
std::string joinpath(const std::string& dir, const std::string& name);

std::optional<std::string> envvar(const char* name);

}  // namespace platform
