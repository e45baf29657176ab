// The register file: two banks of 37 words, one per core. Register numbers
// run 1..37 (r0..r31, lr, ctr, cr, xer, pc); bit 0x80 in a number selects the
// second core's bank. Everything outside the executor reaches the registers
// through these operations; a saved block is the 37 words of one bank.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vek/core/target/report.h"

namespace vek {

class Memory;

enum RegNumber : unsigned {
    RegR0 = 1,
    RegLr = 33,
    RegCtr = 34,
    RegCr = 35,
    RegXer = 36,
    RegPc = 37,
    RegCount = 37,
    RegBank1 = 0x80,
};

// xer bits
constexpr uint32_t XerSo = 0x80000000u;
constexpr uint32_t XerOv = 0x40000000u;
constexpr uint32_t XerCa = 0x20000000u;

// One bank as it is saved and restored: 148 bytes, words in number order.
struct RegisterBlock {
    uint32_t word[RegCount] = {};
};
static_assert(sizeof(RegisterBlock) == 148);

struct RegisterFile {
    RegisterBlock bank[2];
    TargetReport* report = nullptr;  // where "unknown register" goes

    // Value of a register; an unknown number reports message 16 and gives 1.
    uint32_t getreg(unsigned number);
    // Unknown numbers (0, 38..) are ignored.
    void setreg(unsigned number, uint32_t value);
    void storereg(unsigned number, uint32_t value) { setreg(number, value); }
    // Program counter of core 1 when the low byte of core is non-zero.
    uint32_t getcorepc(unsigned core) const { return bank[(core & 0xFF) ? 1 : 0].word[RegPc - 1]; }
    uint32_t getpc() const { return bank[0].word[RegPc - 1]; }
    void setpc(uint32_t value) { bank[0].word[RegPc - 1] = value; }
    void getregs(void* buffer) const;
    void putregs(const void* buffer);
    // Zeroes bank 0 and loads pc from the reset vector at target address 4.
    void resetregs(Memory& memory);
    // Bank 0 as eight lines of text; at most 512 bytes are written, the result
    // is the length of the text (the NUL is not counted).
    size_t regdump(char* buffer) const;

    // Direct access for the executor's hot loop (core 0, r0 = index 0).
    uint32_t* core0() { return bank[0].word; }
};

// Register of a saved block (1..37; 0 for other numbers, 0x80 not honoured).
uint32_t getsavedreg(const void* block, unsigned number);
uint32_t getsavedpc(const void* block);
constexpr size_t regblocksize() { return sizeof(RegisterBlock); }
// Number of the register called name (exact comparison), 0 when none is.
unsigned regnum(std::string_view name);
// Name of a register (bit 0x80 ignored); "" outside 1..37.
const char* regname(unsigned number);
// The 37 names, each NUL-ended, the whole ended by one more NUL.
std::string reglist();
constexpr unsigned regsize(unsigned) { return 4; }
unsigned namedregsize(std::string_view name);

}  // namespace vek
