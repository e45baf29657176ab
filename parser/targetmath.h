// The target's integer arithmetic, on the host: every value is a 32-bit
// word (uint32_t) that the operation reads as signed or unsigned, and every
// result wraps around at 32 bits. Folding, known values and the rewrites all
// compute through these functions, so the host never meets signed overflow,
// an oversized shift or an out-of-range float-to-int conversion.
//
// The corner cases are the target's: a signed division of -2147483648 by -1
// gives -2147483648 and its remainder 0; a shift count of 32 or more shifts
// everything out (0, or the sign for an arithmetic right shift); a division
// by zero never reaches these functions (callers mark it instead).
#pragma once

#include <cmath>
#include <cstdint>

namespace cpppc::tgt {

inline int32_t sval(uint32_t v) { return static_cast<int32_t>(v); }

inline uint32_t neg(uint32_t a) { return 0u - a; }

inline uint32_t div(uint32_t a, uint32_t b, bool issigned) {
    if (b == 0) return 0;
    if (!issigned) return a / b;
    if (a == 0x80000000u && b == 0xFFFFFFFFu) return a;
    return static_cast<uint32_t>(sval(a) / sval(b));
}

inline uint32_t mod(uint32_t a, uint32_t b, bool issigned) {
    if (b == 0) return 0;
    if (!issigned) return a % b;
    if (b == 0xFFFFFFFFu) return 0;
    return static_cast<uint32_t>(sval(a) % sval(b));
}

inline uint32_t shl(uint32_t a, uint32_t count) { return count >= 32 ? 0 : a << count; }

inline uint32_t shr(uint32_t a, uint32_t count, bool arithmetic) {
    if (!arithmetic) return count >= 32 ? 0 : a >> count;
    return static_cast<uint32_t>(sval(a) >> (count >= 32 ? 31 : count));
}

// Sign or zero extension from the low `bits` bits (1..32).
inline uint32_t extend(uint32_t v, unsigned bits, bool issigned) {
    if (bits >= 32) return v;
    uint32_t mask = (1u << bits) - 1;
    v &= mask;
    if (issigned && (v >> (bits - 1))) v |= ~mask;
    return v;
}

// The binary operators of C on two 32-bit words (code: the operator's token
// code); a comparison gives 0 or 1. Division by zero gives 0.
inline uint32_t arith(int code, uint32_t a, uint32_t b, bool issigned, bool arithshift) {
    switch (code) {
    case 68: return div(a, b, issigned);
    case 69: return mod(a, b, issigned);
    case 70: return shl(a, b);
    case 71: return shr(a, b, arithshift);
    case 73: return a ^ b;
    case 74: return a | b;
    case 97: return a + b;
    case 98: return a - b;
    case 99: return a * b;
    case 104: return a & b;
    case 75: return issigned ? sval(a) < sval(b) : a < b;
    case 76: return issigned ? sval(a) >= sval(b) : a >= b;
    case 77: return issigned ? sval(a) > sval(b) : a > b;
    case 78: return issigned ? sval(a) <= sval(b) : a <= b;
    case 79: return a == b;
    case 80: return a != b;
    default: return 0;
    }
}

// A floating value truncated toward zero: positive values as unsigned
// 32-bit, others as signed 32-bit. Values outside both ranges saturate and
// NaN gives 0; inrange tells whether the value fitted.
inline uint32_t ftoi(double d, bool& inrange) {
    inrange = d < 4294967296.0 && d >= -2147483648.0;
    if (std::isnan(d)) return 0;
    if (d >= 4294967296.0) return 0xFFFFFFFFu;
    if (d < -2147483648.0) return 0x80000000u;
    double t = std::trunc(d);
    if (t >= 0) return static_cast<uint32_t>(t);
    return static_cast<uint32_t>(static_cast<int32_t>(t));
}

inline double itof(uint32_t v, bool issigned) {
    return issigned ? static_cast<double>(sval(v)) : static_cast<double>(v);
}

// v is a power of two: its logarithm in k.
inline bool ispow2(uint32_t v, int& k) {
    if (v == 0 || (v & (v - 1))) return false;
    k = 0;
    while ((v >> k) != 1) ++k;
    return true;
}

}  // namespace cpppc::tgt
