// A private directory for a program's temporary files, and the few file
// operations that go with it: the directory is made with a unique name that
// no other process can take, its files are removed one by one, and a check
// tells whether two names reach the same file.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Makes a new directory parent/prefixXXXXXX readable only by its owner and
// returns its path; nothing when it cannot be made.
std::optional<std::string> makeprivatedir(const std::string& parent, const std::string& prefix);

// Removes a file; true when it is gone (also when it never existed).
bool removefile(const std::string& path);
// Removes every plain entry of a directory (no subdirectories) and the
// directory itself; true when the directory is gone.
bool removeprivatedir(const std::string& path);

// True when both names reach one existing file, or are the same text once
// '\' is read as '/'.
bool samefile(const std::string& a, const std::string& b);

}  // namespace platform
