// Shared libraries loaded at run time: open, look up a name, close.
#pragma once

#include <string>

namespace platform {

struct Library {
    void* handle = nullptr;
    explicit operator bool() const { return handle != nullptr; }
};

// Loads the library with every symbol bound at once and kept private to
// it. An empty library with the reason in error when it cannot be loaded.
Library openlibrary(const std::string& path, std::string& error);
// The program itself (its exported names).
Library programlibrary();
void* findsymbol(Library lib, const char* name);
void closelibrary(Library lib);
// The canonical form of a path (symbolic links resolved); the path itself
// when it cannot be resolved.
std::string realpathof(const std::string& path);
// The directory of the running program file, ending in '/'.
std::string programdir();

}  // namespace platform
