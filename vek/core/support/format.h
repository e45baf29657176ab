// The debugger's own print format language.
//
// A field is '%', an optional flag with its pad character ('-' left, '+'
// right), a width, '.' and a precision (either may be 'n': taken from the
// arguments), an optional size letter (a raw bytes, h hex, o octal,
// u unsigned decimal, z binary) and a conversion letter:
//   c 16-bit (8-bit with a size)   s 16-bit   i, l 32-bit
//   p text   b bytes (pointer, length)   f fixed   d exponent   x empty field
// Any other character is printed as itself, padded. A size letter followed
// by something that is not a conversion is itself the conversion (a 32-bit
// value), and the character after it is printed as text.
//
// Arguments carry their own type (FmtArg): a number, a pointer or a double,
// so the engine never reads a pointer out of a 32-bit slot. An argument of
// the wrong kind reads as 0 (number), an empty text (pointer) or 0.0; a
// missing argument likewise.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

namespace vek {

struct FmtArg {
    enum class Kind : uint8_t { None, Num, Ptr, Dbl };
    Kind kind = Kind::None;
    union {
        uint32_t num;
        const void* ptr;
        double dbl;
    };

    FmtArg() : num(0) {}
    template <class T>
        requires(std::is_integral_v<T> || std::is_enum_v<T>)
    FmtArg(T v) : kind(Kind::Num), num(static_cast<uint32_t>(v)) {}
    FmtArg(const void* p) : kind(Kind::Ptr), ptr(p) {}
    FmtArg(double d) : kind(Kind::Dbl), dbl(d) {}
};

using FmtArgs = std::span<const FmtArg>;

// Receives each piece of output: a literal run, one pad character, or a field.
using FmtSinkFn = void (*)(void* context, const char* text, int32_t length);

// Expands format, handing every piece to sink.
void fmtsink(FmtSinkFn sink, void* context, const char* format, FmtArgs args);

// Formats into buf, storing at most size bytes (the rest is dropped); writes
// no NUL; returns the number of bytes stored.
int32_t fmtbufv(char* buf, int32_t size, const char* format, FmtArgs args);

template <class... A>
int32_t fmtbuf(char* buf, int32_t size, const char* format, const A&... args) {
    const FmtArg list[] = {FmtArg(args)..., FmtArg()};
    return fmtbufv(buf, size, format, FmtArgs(list, sizeof...(A)));
}

}  // namespace vek
