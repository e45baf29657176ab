// The print formatter: expands the debugger's format language piece by
// piece into a sink function.
//
// Each field is converted into a small local area (or, for 'p' and 'b',
// taken in place from the argument) and handed to the sink after or before
// its pad characters, one call per pad character, so a bounded sink such as
// fmtbuf's stops cleanly at any byte.
#include "vek/core/support/format.h"

#include <cmath>
#include <cstring>

#include "vek/core/support/text.h"

namespace vek {

namespace {

// Enough for the longest 'd' field: sign, digit, point, 121 digits, 'e',
// sign and three exponent digits; and for 'f' (at most 128).
constexpr int kFieldSize = 160;
constexpr int kMaxFixedFraction = 125;
constexpr int kMaxExpFraction = 121;

struct ArgReader {
    FmtArgs args;
    size_t next = 0;

    const FmtArg* take() { return next < args.size() ? &args[next++] : nullptr; }

    uint32_t number() {
        const FmtArg* a = take();
        if (!a) return 0;
        if (a->kind == FmtArg::Kind::Num) return a->num;
        if (a->kind == FmtArg::Kind::Dbl && std::isfinite(a->dbl)) {
            double d = a->dbl;
            if (d >= 2147483647.0) return 0x7fffffffu;
            if (d <= -2147483648.0) return 0x80000000u;
            return static_cast<uint32_t>(static_cast<int32_t>(d));
        }
        return 0;
    }
    const char* pointer() {
        const FmtArg* a = take();
        return a && a->kind == FmtArg::Kind::Ptr ? static_cast<const char*>(a->ptr) : nullptr;
    }
    double real() {
        const FmtArg* a = take();
        if (!a) return 0;
        if (a->kind == FmtArg::Kind::Dbl) return a->dbl;
        if (a->kind == FmtArg::Kind::Num) return static_cast<int32_t>(a->num);
        return 0;
    }
};

// Width or precision: 'n' takes an argument's low 16 bits, else decimal
// digits (none is 0); both are 16-bit signed.
int16_t readcount(const char*& p, ArgReader& args) {
    if (*p == 'n' || *p == 'N') {
        ++p;
        return static_cast<int16_t>(args.number() & 0xffff);
    }
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<uint32_t>(*p++ - '0');
    return static_cast<int16_t>(value & 0xffff);
}

bool issize(char c) { return c != '\0' && std::strchr("ahouz", c) != nullptr; }
bool isconversion(char c) { return c != '\0' && std::strchr("csilpbfdx", c) != nullptr; }

int sizebase(char size) {
    switch (size) {
    case 'h': return 16;
    case 'o': return 8;
    case 'u': return 10;
    case 'z': return 2;
    default: return 0;  // signed decimal
    }
}

// Writes the low `bytes` bytes of value, most significant first.
int32_t rawbytes(char* field, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        field[i] = static_cast<char>(value >> (8 * (bytes - 1 - i)) & 0xff);
    return bytes;
}

}  // namespace

void fmtsink(FmtSinkFn sink, void* context, const char* format, FmtArgs argv) {
    ArgReader args{argv};
    const char* p = format;
    char area[kFieldSize];
    for (;;) {
        const char* run = p;
        while (*p != '\0' && *p != '%') ++p;
        if (p > run) sink(context, run, static_cast<int32_t>(p - run));
        if (*p == '\0') return;
        ++p;
        if (*p == '\0') return;

        bool left = false;
        char pad = ' ';
        if (*p == '-' || *p == '+') {
            left = *p == '-';
            ++p;
            if (*p == '\0') return;
            pad = *p++;
        }
        int16_t width = readcount(p, args);
        int16_t precision = 0;
        if (*p == '.') {
            ++p;
            precision = readcount(p, args);
        }
        char size = '\0';
        if (issize(*p)) size = *p++;
        char conversion;
        if (size != '\0' && !isconversion(*p)) {
            conversion = 'l';  // the size letter alone: a 32-bit value
        } else {
            conversion = *p;
            if (conversion == '\0') return;
            ++p;
        }

        const char* field = area;
        int32_t length = 0;
        int base = sizebase(size);
        switch (conversion) {
        case 'c': {
            uint32_t v = args.number();
            if (size == 'a') length = rawbytes(area, v, 1);
            else if (size) length = numtext(area, v & 0xff, base);
            else length = numtext16(area, static_cast<uint16_t>(v), 0);
            break;
        }
        case 's': {
            uint32_t v = args.number();
            if (size == 'a') length = rawbytes(area, v, 2);
            else length = numtext16(area, static_cast<uint16_t>(v), base);
            break;
        }
        case 'i':
        case 'l': {
            uint32_t v = args.number();
            if (size == 'a') length = rawbytes(area, v, 4);
            else length = numtext(area, v, base);
            break;
        }
        case 'p': {
            const char* text = args.pointer();
            field = text ? text : "";
            size_t n = precision > 0 ? strnlen(field, static_cast<size_t>(precision)) : std::strlen(field);
            length = static_cast<int32_t>(n < INT32_MAX ? n : INT32_MAX);
            break;
        }
        case 'b': {
            const char* bytes = args.pointer();
            int32_t n = static_cast<int32_t>(args.number() & 0xffff);
            if (precision > 0 && precision < n) n = precision;
            field = bytes ? bytes : "";
            length = bytes ? n : 0;
            break;
        }
        case 'f': {
            int n = precision < 0 ? 0 : precision > kMaxFixedFraction ? kMaxFixedFraction : precision;
            length = fixedtext(area, args.real(), 126 - n, n);
            break;
        }
        case 'd': {
            int n = precision < 0 ? 0 : precision > kMaxExpFraction ? kMaxExpFraction : precision;
            length = exptext(area, args.real(), 1, n);
            break;
        }
        case 'x':
            break;
        default:
            area[0] = conversion;
            length = 1;
            break;
        }

        int32_t padding = width > length ? width - length : 0;
        if (!left)
            for (int32_t i = 0; i < padding; ++i) sink(context, &pad, 1);
        if (length > 0) sink(context, field, length);
        if (left)
            for (int32_t i = 0; i < padding; ++i) sink(context, &pad, 1);
    }
}

namespace {

struct BufferSink {
    char* out;
    int32_t size;
    int32_t count;
};

void tobuffer(void* context, const char* text, int32_t length) {
    auto* b = static_cast<BufferSink*>(context);
    int32_t room = b->size - b->count;
    int32_t n = length < room ? length : room;
    if (n <= 0) return;
    std::memcpy(b->out + b->count, text, static_cast<size_t>(n));
    b->count += n;
}

}  // namespace

int32_t fmtbufv(char* buf, int32_t size, const char* format, FmtArgs args) {
    BufferSink b{buf, size < 0 ? 0 : size, 0};
    fmtsink(tobuffer, &b, format, args);
    return b.count;
}

}  // namespace vek
