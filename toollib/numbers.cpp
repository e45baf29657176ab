// parsenum: the number reader of option arguments and list files. Digits
// 0-9 count in every base (so "09" in octal is 9); letters count from 10 and
// end the number when they are not below the base. The value wraps in 32 bits;
// the reader also tells whether the number as written fits in them.
#include <algorithm>
#include <cctype>

#include "toollib/services.h"

namespace tl {

const char* parsenum(const char* text, int32_t& value, int base) {
    bool fits;
    return parsenum(text, value, base, fits);
}

const char* parsenum(const char* text, int32_t& value, int base, bool& fits) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    bool hexprefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (base == 1) {
        base = hexprefix ? 16 : p[0] == '0' ? 8 : 10;
    }
    if (base == 16 && hexprefix) p += 2;
    uint32_t v = 0;
    uint64_t whole = 0;  // the magnitude, held at 2^32 once it passes 32 bits
    for (;; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (std::isalpha(c)) {
            digit = static_cast<uint32_t>(std::tolower(c) - 'a' + 10);
            if (digit >= static_cast<uint32_t>(base)) break;
        } else {
            break;
        }
        v = v * static_cast<uint32_t>(base) + digit;
        whole = std::min<uint64_t>(whole * static_cast<uint64_t>(base) + digit, uint64_t(1) << 32);
    }
    // unsigned up to 0xFFFFFFFF, negative down to -0x80000000
    fits = whole <= (negative ? uint64_t(1) << 31 : 0xFFFFFFFFu);
    if (negative) v = 0u - v;
    value = static_cast<int32_t>(v);
    return p;
}

}  // namespace tl
