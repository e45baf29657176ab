// Output files that are either complete or absent, written without
// replacing what the name stands for.
//
// A regular file, or a name that does not exist yet, is written under a
// unique temporary name in the same directory and renamed over the name only
// when every write and the close succeeded; a failed or abandoned file leaves
// no partial output. A symbolic link is followed, so its target is written
// and the link stays. A device or FIFO is written in place: nothing is
// created beside it and nothing is removed.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens path for writing (binary, or text with "\n" as written); false
    // when it cannot be created.
    bool open(const std::string& path);
    std::FILE* fp() const { return fp_; }
    bool isopen() const { return fp_ != nullptr; }
    // Flushes and closes the file and puts it in place; false when a write,
    // the flush or the close failed (the temporary is then removed).
    bool commit();
    // Closes and removes what was written under the temporary name.
    void discard();

private:
    std::FILE* fp_ = nullptr;
    std::string target_;   // the file finally written (links followed)
    std::string temp_;     // empty when written in place
};

// Removes path when it is a regular file; a device, FIFO, directory or
// symbolic link named as an output stays. True when a file was removed.
bool removeregularfile(const std::string& path);

}  // namespace platform
