// Register set operations (see regset.h).
#include "generator/regset.h"

#include <cstring>

namespace cg {

namespace {
// The bits a code stands for: one, two for a pair, none for 0 and for codes
// beyond the 72 bits.
int bitsof(uint8_t code, uint8_t out[2]) {
    if (code == kNoReg) return 0;
    if (ispair(code)) {
        out[0] = static_cast<uint8_t>(code - 61);
        out[1] = static_cast<uint8_t>(code - 60);
        return 2;
    }
    if (code >= 72) return 0;
    out[0] = code;
    return 1;
}
}  // namespace

void setclear(RegSet& s) { std::memset(s.bytes, 0, sizeof s.bytes); }

void setadd(RegSet& s, uint8_t code) {
    uint8_t b[2];
    for (int i = 0, n = bitsof(code, b); i < n; ++i) s.bytes[b[i] >> 3] |= static_cast<uint8_t>(1u << (b[i] & 7));
}

void setdel(RegSet& s, uint8_t code) {
    uint8_t b[2];
    for (int i = 0, n = bitsof(code, b); i < n; ++i) s.bytes[b[i] >> 3] &= static_cast<uint8_t>(~(1u << (b[i] & 7)));
}

bool setin(const RegSet& s, uint8_t code) {
    uint8_t b[2];
    int n = bitsof(code, b);
    if (n == 0) return false;
    for (int i = 0; i < n; ++i)
        if (!(s.bytes[b[i] >> 3] & (1u << (b[i] & 7)))) return false;
    return true;
}

void setrange(RegSet& s, bool clearfirst, uint8_t from, uint8_t to) {
    if (clearfirst) setclear(s);
    for (int c = from; c <= to; ++c) setadd(s, static_cast<uint8_t>(c));
}

bool setvalid(const RegSet& s) { return s.bytes[0] != 0; }
void setlive(RegSet& s) { s.bytes[0] |= 1; }

bool setnonempty(const RegSet& s) {
    for (uint8_t b : s.bytes)
        if (b) return true;
    return false;
}

bool setequal(const RegSet& a, const RegSet& b) { return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0; }

void setand(RegSet& a, const RegSet& b) {
    for (int i = 0; i < 9; ++i) a.bytes[i] &= b.bytes[i];
}
void setor(RegSet& a, const RegSet& b) {
    for (int i = 0; i < 9; ++i) a.bytes[i] |= b.bytes[i];
}
void setxor(RegSet& a, const RegSet& b) {
    for (int i = 0; i < 9; ++i) a.bytes[i] ^= b.bytes[i];
}
void setandnot(RegSet& a, const RegSet& b) {
    for (int i = 0; i < 9; ++i) a.bytes[i] &= static_cast<uint8_t>(~b.bytes[i]);
}

uint32_t classmask(uint8_t operandclass) {
    switch (operandclass >> 4) {
        case 0: return LK_CONST;
        case 1: return LK_PUSH;
        case 3: return LK_SPR;
        case 4: return LK_REUSABLE | LK_REG;
        case 8: return LK_MEMREG;
        case 11: return LK_CONST | LK_REG | LK_ADDR;
        default: return 0;
    }
}

uint32_t combine(uint32_t wanted, uint32_t allowed) { return (wanted & allowed) ? (wanted & allowed) : allowed; }

}  // namespace cg
