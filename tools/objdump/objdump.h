// Decodes an object file of the assembler into readable text: the header,
// the section records with their data and relocation streams entry by entry,
// the symbol records and the debug-location records with their texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace objdump {

struct DumpResult {
    std::string text;
    std::vector<std::string> problems;  // inconsistencies found; empty when sound
};

// Every offset, count and length read from the image is checked against
// its size; a relocation stream is walked and its skips and field sizes must
// stay inside the section's data. An image too short for its header or with
// a bad magic byte gives only that problem.
DumpResult dump(const std::vector<uint8_t>& image);

// qvobjdump files...: the dump on standard output, each problem as one line
// "qvobjdump: file: problem" on standard error; 0 when every file is sound,
// 1 otherwise.
int run(int argc, char** argv);

}  // namespace objdump
