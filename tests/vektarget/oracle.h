// The outside oracles of the simulator tests: the PowerPC assembler,
// linker and object tools, and the user-mode emulator. Each helper returns
// nothing when a tool is missing or fails (the test then skips or fails).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

// True when the assembler (and for needqemu the emulator) can be run.
bool havetools(bool needqemu);

// A scratch directory removed with the object.
struct ScratchDir {
    std::string path;
    ScratchDir();
    ~ScratchDir();
};

// Assembles src (VLE when vle) and returns the bytes of its .text section.
std::optional<std::vector<uint8_t>> assemble(const std::string& src, bool vle);

struct LoadSegment {
    uint32_t address;
    std::vector<uint8_t> bytes;  // file bytes, zero-filled to the memory size
};

// A statically linked program: its loadable segments, entry and symbols.
struct Program {
    std::string path;
    uint32_t entry = 0;
    std::vector<LoadSegment> segments;
    std::map<std::string, uint32_t> symbols;
};

// Assembles and links src into dir; nothing on failure (the tool's output
// goes to stderr).
std::optional<Program> buildprogram(const std::string& src, const std::string& dir);

// True when the C cross compiler can be run.
bool havecompiler();
// Compiles a freestanding C file at -O2 with a start-up file (assembler
// source, entry _start) and extra compiler options into a static program
// in dir; nothing on failure.
std::optional<Program> buildcprogram(const std::string& csrc, const std::string& start, const std::string& extra,
                                     const std::string& dir);

// Runs a program under the emulator and returns what it wrote to stdout.
std::optional<std::string> runqemu(const std::string& path);

}  // namespace simtest
