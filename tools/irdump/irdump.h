// irdump [--check] [--debug] file
//
// Prints every record of an intermediate file in irasm's text form, each
// line led by the record's byte offset in hex, so that the output assembles
// back with irasm. A file that does not decode (truncated, an unknown record
// code, a tree nested too deep) gets "FILE: offset 0xN: MESSAGE" and status 1.
//
// --check prints nothing for a sound file and otherwise one line per fault,
// "FILE: offset 0xN: MESSAGE", and status 1. It checks that decoding ends on
// the last byte, the header bytes, that every code is in range (record,
// operator, type, storage codes; value sizes 1, 2 or 4; floating sizes 4
// and 8), that body records stand only between a 134 and its 211 and every
// function is closed, that statement labels are odd and each is placed once
// per function, that every jump, branch and switch table target is placed
// in its function, that the case count of a 185 record equals its tables'
// cases, that register masks stay within 0x3FFFF, and that every label an
// address cell names is placed somewhere in the file.
//
// --debug lays the debug data out as the target holds it (each 213 label at
// its offset, values big-endian, strings with their zero byte) and prints
// the file, function and symbol entries by following their address cells
// from each file entry, as the debugger's reader does:
//
//   debug data SIZE bytes
//     LABEL at OFFSET              each 213 label, in address order
//   file NAME
//     function NAME storage S lines FIRST-LAST type 0xWORD
//       symbol NAME storage S location LOC type 0xWORD
//     end lines 1-COUNT
//       symbol ...
//
// where LOC is a number, a label (Lnnn+offset) or a symbol (name+offset).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "toollib/ir/ir.h"

namespace irdump {

int run(int argc, char** argv);

struct Problem {
    size_t offset;
    std::string message;
};

// The faults --check reports, in file order (empty for a sound file).
std::vector<Problem> checkfile(const ir::File& f, size_t filesize);
// The --debug listing; problems met while following cells go to problems.
std::string debuglisting(const ir::File& f, std::vector<Problem>& problems);

}  // namespace irdump
