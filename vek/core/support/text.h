// Text and number routines of the debugger.
//
// Every number the debugger reads (commands, dialog fields, settings, command
// files, program files) goes through one grammar: optional sign, base from
// "0x", "0b" or a leading "0" when asked for, one trailing 'l'/'L'; values
// wrap in the width of the result. Every number it writes comes from
// numtext, numtext16, fixedtext or exptext. The parsers never fail: they
// return how many characters they used, and callers compare that count with
// the text's length to decide whether the whole text was a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace vek {

// Base 1 means automatic ("0x" hex, "0b" binary, leading "0" octal, else
// decimal); base 16 skips a "0x" prefix; any other base takes digits as they
// come. No character at or beyond maxlen (or the NUL) is looked at.
int32_t parseshort(const char* text, int32_t maxlen, int16_t* result, int base);
int32_t parseulong(const char* text, int32_t maxlen, uint32_t* result, int base);
int32_t parselong(const char* text, int32_t maxlen, int32_t* result, int base);
// Decimal digits, '.', fraction, 'e' and a base-10 exponent.
int32_t parsedouble(const char* text, int32_t maxlen, double* result);

// The same over a view (the view's length is the maximum length).
int32_t parseulong(std::string_view text, uint32_t* result, int base);
int32_t parselong(std::string_view text, int32_t* result, int base);

// The cursor points at a backslash; returns the character the escape
// stands for and leaves the cursor on the last character used.
uint16_t escchar(const char*& cursor);

// Base 0 or negative: signed; |base| 2..36 (0 means 10). Lower-case digits,
// no NUL written; returns the length. buf needs 33 characters.
int32_t numtext(char* buf, uint32_t value, int base);
int32_t numtext16(char* buf, uint16_t value, int base);

// Fixed form with at most m integer digits and n fraction digits, and
// exponent form with a integer digits and b fraction digits; both round to
// nearest (ties to even) at the last digit shown and keep at most 17
// significant digits. No NUL written; returns the length.
// fixedtext needs m + n + 3 characters (and at least 8); exptext a + b + 9.
int32_t fixedtext(char* buf, double x, int m, int n);
int32_t exptext(char* buf, double x, int a, int b);
// count truncated decimal digits of |x| (buf needs count characters);
// returns e with |x| = 0.d1d2... * 10^e (0 for x = 0).
int32_t decdigits(char* buf, double x, int count);
double scale10(double x, int16_t n);

// Copies the pieces one after another into dest (size bytes, NUL
// included; what does not fit is dropped) and returns the position of the
// final NUL, so calls chain.
char* strjoin(char* dest, size_t size, std::initializer_list<std::string_view> pieces);
size_t bytecopy(void* dest, const void* src, size_t count);
size_t fillbytes(void* buf, size_t count, int byte);
// Index of the first c in text, or the text's length.
int32_t strindex(const char* text, int c);
// Index of the first character of text that is in set, or the text's length.
int32_t strfindany(const char* text, const char* set);
int streq(const char* a, const char* b);
int memeq(const void* a, const void* b, size_t count);

// Frees the list nodes (made by allocnode) from head up to but not
// including stop; returns stop, or nullptr when the list ended first.
void* freelistto(void* head, void* stop);

// Reads bytes up to and including a line feed, at most max, or to the end
// of the stream; returns the count stored (0 at the end). A missing stream
// is fatal ("getl error").
int32_t getl(std::FILE* stream, char* buf, int32_t max);

// Writes "Vek: ", the message, the optional text and a line feed to the
// error stream and ends the program with status 1 (through tl::quit).
[[noreturn]] void fatal(const char* message, const char* text = nullptr);

double mulpow2(double x, int n);
// Brings *x into [0.5, 1) by halving or doubling; returns the count
// (halvings positive). 0, infinities and NaN are left as they are (0).
int normpow2(double* x);

}  // namespace vek
