// Text and number routines: the one number grammar of the debugger, its
// number writers and the small text helpers everyone shares.
//
// The parsers are one template over the width of the result; every step
// looks at a character only through at(), which answers NUL at the length
// bound, so a count passed by the caller is never overrun. The writers of
// doubles take correctly rounded digits from the exact conversion of the
// standard library and lay them out by the debugger's own rules.
#include "vek/core/support/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "toollib/quit.h"

namespace vek {

namespace {

// 10^(2^k) for k = 0 to 8, the steps of scale10 and decdigits.
constexpr double kPow10[] = {1e1, 1e2, 1e4, 1e8, 1e16, 1e32, 1e64, 1e128, 1e256};
constexpr int kPow10Count = sizeof kPow10 / sizeof kPow10[0];

// The escape letters and their values.
struct Escape {
    char letter;
    uint16_t value;
};
constexpr Escape kEscapes[] = {{'b', 8}, {'f', 12}, {'n', 10}, {'r', 13}, {'t', 9}, {'v', 11}};

struct Cursor {
    const char* text;
    int32_t limit;
    unsigned char at(int32_t k) const {
        return k < limit ? static_cast<unsigned char>(text[k]) : 0;
    }
};

bool isskipped(unsigned char c) { return (c >= 1 && c <= 32) || c >= 127; }

int digitvalue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// The text up to its NUL or the bound, whichever comes first. The NUL is
// not searched for ahead (that would make a parse cost the whole rest of a
// long line): no step of the grammar goes on past a NUL, and a look-ahead
// of one happens only from a character that is not NUL.
Cursor bounded(const char* text, int32_t maxlen) { return Cursor{text, maxlen > 0 ? maxlen : 0}; }

// Skips the leading blanks and control bytes and one sign; returns the
// position after them.
int32_t skipsign(const Cursor& in, bool& negative) {
    int32_t i = 0;
    while (i < in.limit && isskipped(in.at(i))) ++i;
    negative = in.at(i) == '-';
    if (negative || in.at(i) == '+') ++i;
    return i;
}

// The grammar shared by parseshort, parseulong and parselong; U is the
// unsigned type of the result's width.
template <class U>
int32_t parsenumber(const char* text, int32_t maxlen, U& result, int base) {
    Cursor in = bounded(text, maxlen);
    bool negative = false;
    int32_t i = skipsign(in, negative);
    if (base == 1) {
        if (in.at(i) != '0') {
            base = 10;
        } else {
            base = 8;
            unsigned char next = in.at(i + 1);
            if (next == 'x' || next == 'X') {
                i += 2;
                base = 16;
            } else if (next == 'b' || next == 'B') {
                i += 2;
                base = 2;
            }
        }
    } else if (base == 16 && in.at(i) == '0' && (in.at(i + 1) == 'x' || in.at(i + 1) == 'X')) {
        i += 2;
    }
    uint32_t value = 0;
    while (i < in.limit) {
        int d = digitvalue(in.at(i));
        if (d > 35 || d >= base) break;  // neither a digit nor a letter of the base
        value = static_cast<U>(value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d));
        ++i;
    }
    if (i < in.limit && (in.at(i) == 'l' || in.at(i) == 'L')) ++i;
    result = static_cast<U>(negative ? 0u - value : value);
    return i;
}

// k (1 to 17) correctly rounded significant digits of x > 0; returns e with
// x ~ 0.d1d2...dk * 10^e.
int roundsig(double x, int k, char* digits) {
    char tmp[64];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, x, std::chars_format::scientific, k - 1);
    int n = 0;
    const char* p = tmp;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && n < k) digits[n++] = *p;
    }
    while (n < k) digits[n++] = '0';
    int exponent = 0;
    if (p < r.ptr) std::from_chars(p[1] == '+' ? p + 2 : p + 1, r.ptr, exponent);
    return exponent + 1;
}

// The common start of fixedtext and exptext: writes '-' for a negative x
// and makes it positive; writes "nan" or "inf" for x that is not finite and
// returns true, the text being complete then.
bool realprefix(char* buf, int32_t& len, double& x) {
    if (std::signbit(x) && x != 0 && !std::isnan(x)) {
        buf[len++] = '-';
        x = -x;
    }
    if (std::isfinite(x)) return false;
    std::memcpy(buf + len, std::isnan(x) ? "nan" : "inf", 3);
    len += 3;
    return true;
}

}  // namespace

int32_t parseshort(const char* text, int32_t maxlen, int16_t* result, int base) {
    uint16_t value = 0;
    int32_t used = parsenumber<uint16_t>(text, maxlen, value, base);
    *result = static_cast<int16_t>(value);
    return used;
}

int32_t parseulong(const char* text, int32_t maxlen, uint32_t* result, int base) {
    return parsenumber<uint32_t>(text, maxlen, *result, base);
}

int32_t parselong(const char* text, int32_t maxlen, int32_t* result, int base) {
    uint32_t value = 0;
    int32_t used = parsenumber<uint32_t>(text, maxlen, value, base);
    *result = static_cast<int32_t>(value);
    return used;
}

int32_t parseulong(std::string_view text, uint32_t* result, int base) {
    return parseulong(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)), result, base);
}

int32_t parselong(std::string_view text, int32_t* result, int base) {
    return parselong(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)), result, base);
}

int32_t parsedouble(const char* text, int32_t maxlen, double* result) {
    Cursor in = bounded(text, maxlen);
    bool negative = false;
    int32_t i = skipsign(in, negative);
    double mantissa = 0;
    int32_t exponent = 0;
    // Digits past a mantissa of 1e300 no longer change its value but would
    // overflow it ("1.000...0" with 400 zeros is 1, not infinity): an
    // integer digit then only raises the exponent, a fraction digit is
    // skipped.
    constexpr double kFull = 1e300;
    while (in.at(i) >= '0' && in.at(i) <= '9') {
        if (mantissa < kFull) mantissa = mantissa * 10 + (in.at(i) - '0');
        else if (exponent < 100000) ++exponent;
        ++i;
    }
    if (in.at(i) == '.') {
        ++i;
        while (in.at(i) >= '0' && in.at(i) <= '9') {
            if (mantissa < kFull) {
                mantissa = mantissa * 10 + (in.at(i) - '0');
                if (exponent > -100000) --exponent;
            }
            ++i;
        }
    }
    if (in.at(i) == 'e' || in.at(i) == 'E') {
        ++i;
        // Read in 32 bits: a 16-bit exponent would wrap, and 1e40000 would
        // come out as 0 instead of overflowing to infinity.
        int32_t power = 0;
        i += parselong(text + i, in.limit - i, &power, 10);
        if (power > 100000) power = 100000;
        if (power < -100000) power = -100000;
        exponent += power;
    }
    if (exponent < -32767) exponent = -32767;
    if (exponent > 32767) exponent = 32767;
    double value = scale10(mantissa, static_cast<int16_t>(exponent));
    *result = negative ? -value : value;
    return i;
}

double scale10(double x, int16_t n) {
    bool up = n >= 0;
    uint32_t rest = static_cast<uint32_t>(up ? n : -static_cast<int32_t>(n));
    for (int k = 0; k < kPow10Count; ++k) {
        if (rest & (1u << k)) x = up ? x * kPow10[k] : x / kPow10[k];
    }
    // What is left counts steps of 10^512, always beyond a double's range.
    for (rest >>= kPow10Count; rest > 0; --rest) {
        for (int twice = 0; twice < 2; ++twice) x = up ? x * kPow10[8] : x / kPow10[8];
    }
    return x;
}

uint16_t escchar(const char*& cursor) {
    const char* p = cursor + 1;
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\0') return '\\';
    if (c >= '0' && c <= '9') {
        uint16_t value = 0;
        for (int n = 0; n < 3 && *p >= '0' && *p <= '9'; ++n, ++p) {
            value = static_cast<uint16_t>(value * 8 + (*p - '0'));
            cursor = p;
        }
        return value;
    }
    cursor = p;
    for (const Escape& e : kEscapes) {
        if (c == static_cast<unsigned char>(e.letter) || c == static_cast<unsigned char>(e.letter - 'a' + 'A'))
            return e.value;
    }
    return c;
}

namespace {

template <class U>
int32_t writenumber(char* buf, U value, int base, U signbit) {
    int32_t len = 0;
    bool sign = base <= 0;
    // |base| without negating a base of INT_MIN; unsupported bases write decimal.
    int b = base < -36 || base > 36 ? 10 : base < 0 ? -base : base;
    if (b < 2) b = 10;
    if (sign && (value & signbit)) {
        buf[len++] = '-';
        value = static_cast<U>(0u - value);
    }
    char digits[32];
    int n = 0;
    do {
        unsigned d = static_cast<unsigned>(value % static_cast<U>(b));
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        value = static_cast<U>(value / static_cast<U>(b));
    } while (value != 0);
    while (n > 0) buf[len++] = digits[--n];
    return len;
}

}  // namespace

int32_t numtext(char* buf, uint32_t value, int base) {
    return writenumber<uint32_t>(buf, value, base, 0x80000000u);
}

int32_t numtext16(char* buf, uint16_t value, int base) {
    return writenumber<uint16_t>(buf, value, base, 0x8000u);
}

int32_t decdigits(char* buf, double x, int count) {
    x = std::fabs(x);
    if (!std::isfinite(x)) {
        if (count > 0) std::memset(buf, '0', static_cast<size_t>(count));
        return 0;
    }
    int32_t e = 0;
    if (x != 0) {
        if (x >= 1) {
            for (int k = kPow10Count - 1; k >= 0; --k) {
                if (x >= kPow10[k]) {
                    x /= kPow10[k];
                    e += 1 << k;
                }
            }
            if (x >= 1) {
                x /= 10;
                ++e;
            }
        } else {
            for (int k = kPow10Count - 1; k >= 0; --k) {
                if (x * kPow10[k] < 1) {
                    x *= kPow10[k];
                    e -= 1 << k;
                }
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        x *= 10;
        int d = static_cast<int>(x);
        x -= d;
        if (d >= 10) {
            d -= 10;
            for (int j = i - 1; j >= 0; --j) {
                if (buf[j] != '9') {
                    ++buf[j];
                    break;
                }
                buf[j] = '0';
            }
        }
        buf[i] = static_cast<char>('0' + d);
    }
    return e;
}

int32_t fixedtext(char* buf, double x, int m, int n) {
    int32_t len = 0;
    if (n < 0) n = 0;
    if (realprefix(buf, len, x)) return len;

    std::string whole, fraction;
    char digits[17];
    int e = x == 0 ? 0 : roundsig(x, 17, digits);
    if (x == 0) {
        whole = "0";
        fraction.assign(static_cast<size_t>(n), '0');
    } else if (e + n <= 17) {
        // Few enough digits for the exact fixed conversion.
        // At most 17 integer digits, the point and n fraction digits.
        std::string tmp(static_cast<size_t>(n) + 32, '\0');
        auto r = std::to_chars(tmp.data(), tmp.data() + tmp.size(), x, std::chars_format::fixed, n);
        std::string_view text(tmp.data(), static_cast<size_t>(r.ptr - tmp.data()));
        size_t point = text.find('.');
        whole = std::string(text.substr(0, point));
        if (point != std::string_view::npos) fraction = std::string(text.substr(point + 1));
    } else {
        // At most 17 significant digits, then zeros.
        auto digit = [&](int k) { return k >= 0 && k < 17 ? digits[k] : '0'; };
        if (e <= 0) {
            whole = "0";
        } else {
            for (int k = 0; k < e; ++k) whole += digit(k);
        }
        for (int k = 0; k < n; ++k) fraction += digit(e + k);
    }
    if (whole != "0" && static_cast<int>(whole.size()) > m) {
        whole = m > 0 ? whole.substr(whole.size() - static_cast<size_t>(m)) : "0";
    }
    std::memcpy(buf + len, whole.data(), whole.size());
    len += static_cast<int32_t>(whole.size());
    if (n > 0) {
        buf[len++] = '.';
        std::memcpy(buf + len, fraction.data(), fraction.size());
        len += static_cast<int32_t>(fraction.size());
    }
    return len;
}

int32_t exptext(char* buf, double x, int a, int b) {
    int32_t len = 0;
    if (a < 0) a = 0;
    if (b < 0) b = 0;
    if (realprefix(buf, len, x)) return len;

    int s = a + b < 17 ? a + b : 17;
    char digits[17];
    int32_t exponent = 0;
    if (x != 0) {
        exponent = roundsig(x, s > 0 ? s : 17, digits) - a;
    }
    auto digit = [&](int k) { return x != 0 && k < s ? digits[k] : '0'; };
    for (int k = 0; k < a; ++k) buf[len++] = digit(k);
    if (b > 0) {
        buf[len++] = '.';
        for (int k = 0; k < b; ++k) buf[len++] = digit(a + k);
    }
    buf[len++] = 'e';
    buf[len++] = exponent < 0 ? '-' : '+';
    uint32_t magnitude = static_cast<uint32_t>(exponent < 0 ? -exponent : exponent);
    if (magnitude > 99) len += numtext(buf + len, magnitude / 100, 10);
    buf[len++] = static_cast<char>('0' + magnitude / 10 % 10);
    buf[len++] = static_cast<char>('0' + magnitude % 10);
    return len;
}

char* strjoin(char* dest, size_t size, std::initializer_list<std::string_view> pieces) {
    if (size == 0) return dest;
    size_t room = size - 1;
    for (std::string_view piece : pieces) {
        size_t n = piece.size() < room ? piece.size() : room;
        std::memcpy(dest, piece.data(), n);
        dest += n;
        room -= n;
    }
    *dest = '\0';
    return dest;
}

size_t bytecopy(void* dest, const void* src, size_t count) {
    auto* d = static_cast<unsigned char*>(dest);
    const auto* s = static_cast<const unsigned char*>(src);
    for (size_t i = 0; i < count; ++i) d[i] = s[i];
    return count;
}

size_t fillbytes(void* buf, size_t count, int byte) {
    std::memset(buf, byte, count);
    return count;
}

int32_t strindex(const char* text, int c) {
    int32_t i = 0;
    while (text[i] != '\0' && text[i] != static_cast<char>(c)) ++i;
    return i;
}

int32_t strfindany(const char* text, const char* set) {
    int32_t i = 0;
    while (text[i] != '\0' && std::strchr(set, text[i]) == nullptr) ++i;
    return i;
}

int streq(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 1 : 0; }

int memeq(const void* a, const void* b, size_t count) {
    return std::memcmp(a, b, count) == 0 ? 1 : 0;
}

void* freelistto(void* head, void* stop) {
    while (head != nullptr && head != stop) {
        void* next = *static_cast<void**>(head);
        std::free(head);
        head = next;
    }
    return head;
}

int32_t getl(std::FILE* stream, char* buf, int32_t max) {
    if (stream == nullptr) fatal("getl error");
    int32_t n = 0;
    while (n < max) {
        int c = std::getc(stream);
        if (c == EOF) break;
        buf[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return n;
}

void fatal(const char* message, const char* text) {
    std::string line = "Vek: ";
    line += message ? message : "";
    if (text) line += text;
    line += '\n';
    tl::puterr(line);
    tl::quit(1);
}

double mulpow2(double x, int n) { return std::ldexp(x, n); }

int normpow2(double* x) {
    int count = 0;
    double v = *x;
    if (v == 0 || !std::isfinite(v)) return 0;
    while (std::fabs(v) >= 1) {
        v /= 2;
        ++count;
    }
    while (std::fabs(v) < 0.5) {
        v *= 2;
        --count;
    }
    *x = v;
    return count;
}

}  // namespace vek
