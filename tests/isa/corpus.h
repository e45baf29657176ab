// Sample operands for every operand kind (boundaries and a middle value), and
// the lines of a corpus built from them: one to several lines per table row.
#pragma once

#include <string>
#include <vector>

#include "toollib/isa/encode.h"

namespace corpus {

struct Line {
    const isa::Insn* insn;
    std::string text;                 // "mnemonic operands" as written
    std::vector<isa::Operand> ops;    // the same operands for our encoder
    uint32_t address;                 // where the line sits
    uint32_t bits = 0;                // what our encoder made
    unsigned size = 0;
    std::string error;
};

// Lines for the rows that pass the filter, laid out from address 0; each line
// is encoded with our encoder (address advanced by our size, 4 on errors).
template <class Filter>
std::vector<Line> build(Filter keep);

// The operand sets of one row: sample j of every operand.
std::vector<std::vector<std::pair<std::string, isa::Operand>>> operandsets(const isa::Insn& in);

// The instruction words of one row's samples, built field by field (no form
// choice): used to feed the decoder and the disassembler.
std::vector<uint32_t> words(const isa::Insn& in, uint32_t extra);

}  // namespace corpus
