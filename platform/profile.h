// Profile files: the "[section]" and "key=value" settings files the debugger
// keeps its options, colours, fonts, window rectangles and key bindings in.
//
// The one idea: the file is a list of raw lines that is only ever edited in
// place. A read looks up one key; a write replaces the first matching line
// or adds one, keeps every other line byte for byte (comments, blank lines,
// CR LF endings, sections of other programs) and replaces the whole file
// atomically, so a crash never leaves half a file behind.
//
// Names are not case sensitive ("[Options]" and "[OPTIONS]" are one
// section); the first match wins; blanks round names and values are
// trimmed; a missing file or key gives the default. A value cannot hold a
// line break: CR and LF are written as blanks.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// $XDG_CONFIG_HOME/vek/<name>, else $HOME/.config/vek/<name>, else <name>.
std::string configpath(std::string_view name);

class Profile {
public:
    explicit Profile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The value of key in section, or fallback when either is missing.
    std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Stores the value. Returns false, with the reason in lasterror(), when
    // the file (or its directory) cannot be written; the file is unchanged.
    bool write(std::string_view section, std::string_view key, std::string_view value);

    const std::string& lasterror() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

// Splits a path at its last '/' or '\': directory (with the separator) and
// name.
void splitpath(std::string_view path, std::string& directory, std::string& name);

}  // namespace platform
