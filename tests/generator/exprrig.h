// What the expression-code tests share: a generator set up for the code of
// one function (r3-r12 free, text collected in the code-line store), placed
// operands, the text printed as the writer prints it, and the outside
// checks: cappc in-process, the simulator, and the cross assembler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "vek/core/session/session.h"

namespace cgtest {

// Type codes by their C names, for the tables of cases.
inline constexpr uint8_t C = ir::T_CHAR, UC = ir::T_UCHAR, S = ir::T_SHORT, US = ir::T_USHORT, I = ir::T_INT,
                         U = ir::T_UINT, F = ir::T_FLOAT, D = ir::T_DOUBLE;

struct ExprRig {
    Scratch s;
    cg::Gen G;
    uint32_t mark = 1;
    size_t printed = 0;

    explicit ExprRig(bool markers = false);
    ExprRig(const ExprRig&) = delete;
    ExprRig& operator=(const ExprRig&) = delete;

    // Bit 0 and r3-r12; without(...) leaves registers out.
    cg::RegSet freeset() const;
    cg::RegSet without(std::initializer_list<int> regs) const;
    // Operands whose Location says where they lie.
    cg::GenNode* reg(uint8_t type, int r, bool owned = false);  // rN; a double: the pair rN:rN+1
    cg::GenNode* cnst(uint8_t type, int32_t value);
    cg::GenNode* mem(uint32_t type, uint8_t base, int32_t offset, const std::string& name = "", uint32_t access = 0);
    cg::GenNode* node(int16_t op, uint32_t type, cg::GenNode* left, cg::GenNode* right, uint32_t size = 0);
    // The text written since the last call: one item per line, TABs as
    // blanks, joined with "; ". raw: the lines as they are.
    std::string text();
    std::string raw();
};

// Runs cappc in-process on text in the current directory; the object's path,
// or "" and the messages in why.
std::string assemble(const std::string& text, std::string& why);

// A fresh simulated target with the object loaded: its text at address 0,
// every address VLE code.
std::unique_ptr<vek::Session> loadprogram(const std::string& object);

}  // namespace cgtest
