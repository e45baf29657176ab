// Memory dumps and fills shared by the dump, fill and mm commands and the
// memory windows; the state of this library.
#include <cstdlib>
#include <ctime>
#include <string>

#include "vek/command/data/data.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"
#include "vek/core/target/memory.h"

namespace vek {

DataState& datastate() {
    static DataState state;
    return state;
}

void resetdata() {
    DataState& s = datastate();
    for (Channel& c : s.channels)
        if (c.file) std::fclose(c.file);
    s = DataState();
}

namespace {

// Digits of an element by format (binary, octal, decimal, hexadecimal) and
// size (1, 2, 4).
int digitsof(int format, int size) {
    static const int digits[4][3] = {{8, 16, 32}, {3, 6, 12}, {3, 5, 12}, {2, 4, 8}};
    const int s = size == 1 ? 0 : size == 2 ? 1 : 2;
    return digits[(format >= 1 && format <= 4 ? format : 4) - 1][s];
}

std::string elementtext(uint32_t v, int format, int size) {
    const int base = format == 1 ? 2 : format == 2 ? 8 : format == 3 ? 10 : 16;
    std::string t;
    do {
        t.insert(t.begin(), "0123456789abcdef"[v % unsigned(base)]);
        v /= unsigned(base);
    } while (v);
    const size_t n = size_t(digitsof(format, size));
    if (t.size() < n) t.insert(0, n - t.size(), '0');
    return t;
}

}  // namespace

void dumpmem(Memory& mem, uint32_t start, uint32_t end, int size, int format, bool ascii,
             const std::function<bool()>& stop) {
    if (size != 2 && size != 4) size = 1;
    std::string out;
    for (uint32_t line = start; line <= end;) {
        if (stop && stop()) break;
        char head[16];
        std::snprintf(head, sizeof head, "%08x ", unsigned(line));
        out += head;
        for (uint32_t k = 0; k < 16; k += uint32_t(size)) {
            const uint32_t a = line + k;
            const uint32_t v = size == 1 ? mem.getbyte(a) : size == 2 ? mem.getword(a) : mem.getlong(a);
            out += elementtext(v, format, size) + " ";
        }
        if (ascii)
            for (uint32_t k = 0; k < 16; ++k) {
                const uint8_t c = mem.getbyte(line + k) & 0x7F;
                out += c < 32 || c == 127 ? '.' : char(c);
            }
        out += "\n";
        if (out.size() > 8192) {
            writeout(out);
            out.clear();
        }
        if (line > 0xFFFFFFFFu - 16) break;   // the next line would wrap
        line += 16;
    }
    writeout(out);
}

void seedrand15(uint32_t seed) {
    datastate().randstate = seed;
    datastate().seeded = true;
}

uint32_t rand15() {
    uint32_t& r = datastate().randstate;
    r = r * 1103515245u + 12345u;
    return r >> 16 & 0x7FFF;
}

bool fillmem(Memory& mem, uint32_t from, uint32_t to, int size, bool verify, uint32_t value, bool random,
             const std::function<bool()>& stop) {
    if (size != 2 && size != 4) size = 1;
    DataState& s = datastate();
    if (random && !s.seeded) seedrand15(uint32_t(std::time(nullptr)));
    const uint32_t step = uint32_t(size);
    uint32_t n = 0;
    for (uint32_t a = from; a <= to && to - a >= step - 1;) {
        if ((++n & 0xFFF) == 0 && stop && stop()) break;
        const uint32_t v = random ? rand15() : value;
        uint32_t back;
        if (size == 1) {
            mem.putbyte(a, uint8_t(v));
            back = verify ? mem.getbyte(a) : uint8_t(v);
        } else if (size == 2) {
            mem.putword(a, uint16_t(v));
            back = verify ? mem.getword(a) : uint16_t(v);
        } else {
            mem.putlong(a, v);
            back = verify ? mem.getlong(a) : v;
        }
        const uint32_t want = size == 1 ? uint8_t(v) : size == 2 ? uint16_t(v) : v;
        if (back != want) {
            puterror({" NO Verify at: ", hextextb(a), "\n"});
            return false;
        }
        if (to - a < step) break;   // the last element, or the top of memory
        a += step;
    }
    return true;
}

}  // namespace vek
