// Register codes and register sets of the code generator.
//
// A register code is one byte: 1-32 are r0-r31 (number + 1), 33-64 fr0-fr31,
// 65-92 a pair of general registers holding a double (first register's code
// + 61, so 65 is r3:r4), 93 the stack-push slot, 94 frame addressing, 95 a
// frame temporary, 96 an address pushed on the stack; 0 is no register. Bit
// 0x80 on a Location's code marks a value pushed on the stack that must be
// popped into that register before use.
//
// A RegSet is 72 bits, one per code 0-71; a pair code stands for both of its
// registers. Bit 0 (no register) is set in every live set, so that the
// all-zero set can be the failure value that code selection hands back.
#pragma once

#include <cstdint>

namespace cg {

constexpr uint8_t kNoReg = 0;
constexpr uint8_t gpr(int n) { return static_cast<uint8_t>(n + 1); }     // rN
constexpr uint8_t fpr(int n) { return static_cast<uint8_t>(n + 33); }    // frN
constexpr uint8_t kPairFirst = 65;
constexpr uint8_t kPairLast = 92;
constexpr uint8_t pairof(uint8_t firstcode) { return static_cast<uint8_t>(firstcode + 61); }
constexpr bool ispair(uint8_t code) { return code >= kPairFirst && code <= kPairLast; }
constexpr uint8_t kPushSlot = 93;
constexpr uint8_t kFrameSlot = 94;
constexpr uint8_t kFrameTemp = 95;
constexpr uint8_t kPushedAddr = 96;
constexpr uint8_t kPushedBit = 0x80;
constexpr uint8_t kR2 = 3;    // the constant and address-table base
constexpr uint8_t kR13 = 14;  // the small-data base

struct RegSet {
    uint8_t bytes[9] = {};
};

void setclear(RegSet& s);
void setadd(RegSet& s, uint8_t code);
void setdel(RegSet& s, uint8_t code);
bool setin(const RegSet& s, uint8_t code);
void setrange(RegSet& s, bool clearfirst, uint8_t from, uint8_t to);
bool setvalid(const RegSet& s);      // a live set (the first byte is not 0)
void setlive(RegSet& s);             // sets the bit of code 0 that marks a live set
bool setnonempty(const RegSet& s);
bool setequal(const RegSet& a, const RegSet& b);
void setand(RegSet& a, const RegSet& b);
void setor(RegSet& a, const RegSet& b);
void setxor(RegSet& a, const RegSet& b);
void setandnot(RegSet& a, const RegSet& b);

// Location kinds (one bit each) and the kinds that an operand class allows.
enum LocKind : uint32_t {
    LK_MEMNAME = 1,        // contents through a name alone, or a further level
    LK_MEMREG = 2,         // contents through a register or a direct name
    LK_CONST = 8,
    LK_REUSABLE = 16,      // a register the allocator may reuse
    LK_REG = 32,           // any other general register
    LK_FLOATREG = 128,
    LK_PUSH = 256,
    LK_ADDRNAME = 512,
    LK_ADDR = 1024,        // a computed address
    LK_BITMEM = 0x4000,
    LK_SPR = 0x20000,
};
uint32_t classmask(uint8_t operandclass);
uint32_t combine(uint32_t wanted, uint32_t allowed);

}  // namespace cg
