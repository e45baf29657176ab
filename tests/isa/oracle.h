// Batch access to the outside oracles (the PowerPC cross assembler and
// disassembler): one process per call, whole corpora at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace oracle {

// Whether the cross tools are installed.
bool available();

struct Assembled {
    std::vector<uint8_t> bytes;          // the .text section
    std::map<int, std::string> errors;   // line number (from 1) -> message
};
// Assembles lines (without the section line) as VLE code, or as classic Book E
// code with SPE when vle is false.
Assembled assemble(const std::vector<std::string>& lines, bool vle);

struct Disassembled {
    uint32_t offset;
    std::string bytes;     // hex as printed
    std::string mnemonic;
    std::string operands;
};
// Disassembles bytes placed at offset 0 of a VLE (or classic) section.
std::vector<Disassembled> disassemble(const std::vector<uint8_t>& bytes, bool vle);

// The disassembly as text the cross assembler takes back: every line
// labelled "o<offset>", branch targets by those labels.
std::vector<std::string> reassemblable(const std::vector<Disassembled>& dis);

// VLE code bytes disassembled by the cross disassembler and that text
// assembled again by the cross assembler: "" when the bytes come back the
// same, else what differs and the instructions near it.
std::string crosscheck(const std::vector<uint8_t>& ours);

// The few instructions the outside tools spell differently (SPE
// accumulating halfword forms without their final "w"): our name to theirs
// and back; other names are returned as they are.
std::string theirname(const std::string& ours);
std::string ourname(const std::string& theirs);

}  // namespace oracle
