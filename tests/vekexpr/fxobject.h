// The fixture program of the expression tests and benchmark: one C-like
// module "fx.c" with a global of every base type, a struct, an enum, a
// bit-field, arrays and pointers, a typedef, and the call chain main -> f
// -> g with locals, as an object file in the assembler's format.
#pragma once

#include <cstdint>
#include <vector>

#include "objwriter.h"

namespace fx {

// Addresses of the globals in ".data".
constexpr uint32_t Data = 0x40000000;
enum : uint32_t {
    C = Data + 0x00, SC = Data + 0x01, UC = Data + 0x02, BF = Data + 0x03, S = Data + 0x04,
    US = Data + 0x06, GI = Data + 0x08, U = Data + 0x0C, L = Data + 0x10, UL = Data + 0x14,
    F = Data + 0x18, B = Data + 0x1C, D = Data + 0x20, LD = Data + 0x28, LL = Data + 0x30,
    ULL = Data + 0x38, SF = Data + 0x40, LF = Data + 0x44, E = Data + 0x48, E2 = Data + 0x4C,
    PT = Data + 0x50, ARR = Data + 0x58, P = Data + 0x6C, Q = Data + 0x70, CP = Data + 0x74,
    VP = Data + 0x78, PP = Data + 0x7C, TEXT = Data + 0x80, MSG = Data + 0x88, COUNTER = Data + 0x90,
    GRID = Data + 0x98, END = Data + 0xC0,
};
// Frame bases of main, f and g; g's register variable r lives in r3.
// main's locals: k at base - 4, i at base - 8, p (struct pt *) at base - 12.
constexpr uint32_t MainBase = 0x40002000, FBase = 0x40001800, GBase = 0x40001000;

inline std::vector<uint8_t> data() {
    std::vector<uint8_t> v(END - Data, 0);
    auto put = [&](uint32_t a, uint64_t x, int n) {
        for (int i = 0; i < n; ++i) v[a - Data + uint32_t(i)] = uint8_t(x >> (8 * (n - 1 - i)));
    };
    put(C, 0xFF, 1);
    put(SC, 0x80, 1);
    put(UC, 200, 1);
    put(BF, 0xF0, 1);
    put(S, 0xFFFE, 2);
    put(US, 0xFFFF, 2);
    put(GI, uint32_t(-5), 4);
    put(U, 0xFFFFFFFF, 4);
    put(L, 100000, 4);
    put(UL, 3000000000u, 4);
    put(F, 0x3DCCCCCD, 4);               // 0.1f
    put(B, 0x08, 1);                     // bit 3 set
    put(D, 0x4097700000000000ull, 8);    // 1500.0
    put(LD, 0x3F589374BC6A7EFAull, 8);   // 0.0015
    put(LL, 0x0123456789ABCDEFull, 8);
    put(ULL, 0xFFFFFFFFFFFFFFFFull, 8);
    put(SF, 0x4000, 2);                  // 0.5
    put(LF, 0x20000000, 4);              // 0.25
    put(E, 2, 4);                        // BLUE
    put(E2, 9, 4);
    put(PT, 1, 4);
    put(PT + 4, 2, 4);
    for (uint32_t k = 0; k < 5; ++k) put(ARR + 4 * k, k + 1, 4);
    put(P, ARR, 4);
    put(Q, ARR + 8, 4);
    put(CP, TEXT, 4);
    put(VP, ARR, 4);
    put(PP, PT, 4);
    put(TEXT, 0x61620A00, 4);   // "ab\n"
    for (uint32_t k = 0; k < 5; ++k) v[MSG - Data + k] = uint8_t("hello"[k]);
    put(COUNTER, 0x12345678, 4);
    for (uint32_t k = 0; k < 6; ++k) put(GRID + 4 * k, 10 * k, 4);
    return v;
}

// The object file: ".text" at 0x100 with main, f and g; ".data"; ".debug".
inline std::vector<uint8_t> object() {
    fixture::DebugData d;
    uint32_t fileentry = d.word(0);
    uint32_t firstlink = d.word(0);
    d.patch(fileentry, d.string("fx.c", 0x8A));
    auto entry = [&](uint32_t name, uint32_t value, uint32_t type, uint32_t desc) {
        d.word(name);
        d.word(value);
        d.typeword(type);
        d.word(desc);
    };
    struct Var {
        const char* name;
        uint8_t cls;
        uint32_t value, type, desc;
    };
    auto list = [&](const std::vector<Var>& vars) {
        std::vector<uint32_t> names;
        for (const Var& v : vars) names.push_back(d.string(v.name, v.cls));
        uint32_t at = d.here();
        for (size_t k = 0; k < vars.size(); ++k) entry(names[k], vars[k].value, vars[k].type, vars[k].desc);
        entry(0, 0, 0, 0);
        return at;
    };
    // struct pt { int x; int y; };  enum color { RED, GREEN, BLUE };
    uint32_t pttag = d.string("pt", 10), nx = d.string("x", 9), ny = d.string("y", 9);
    uint32_t pt = d.here();
    d.word(pttag);
    entry(nx, 0, 24, 0);
    entry(ny, 4, 24, 0);
    entry(0, 8, 0, 0);
    uint32_t ctag = d.string("color", 10), nr = d.string("RED", 12), ng = d.string("GREEN", 12),
             nb = d.string("BLUE", 12);
    uint32_t color = d.here();
    d.word(ctag);
    entry(nr, 0, 77, 0);
    entry(ng, 1, 77, 0);
    entry(nb, 2, 77, 0);
    entry(0, 4, 0, 0);
    // Descriptors.
    uint32_t colordesc = d.word(color);
    uint32_t ptdesc = d.word(pt);
    uint32_t arrdesc = d.word(5);
    uint32_t ptrdesc = d.word(0);
    uint32_t ppdesc = d.word(0);
    d.word(pt);
    uint32_t bfdesc = d.word(0x0403);   // width 3, shift 4
    uint32_t bdesc = d.word(3);         // bit 3
    uint32_t msgdesc = d.word(6);
    uint32_t griddesc = d.word(2);
    d.word(3);
    uint32_t globals = list({
        {"BYTE", 17, 0, 10, 0},
        {"RED", 12, 0, 77, colordesc},
        {"GREEN", 12, 1, 77, colordesc},
        {"BLUE", 12, 2, 77, colordesc},
        {"c", 1, C, 9, 0},
        {"sc", 1, SC, 8, 0},
        {"uc", 1, UC, 10, 0},
        {"bf", 1, BF, 11, bfdesc},
        {"s", 1, S, 16, 0},
        {"us", 1, US, 17, 0},
        {"gi", 6, GI, 24, 0},
        {"u", 1, U, 26, 0},
        {"l", 1, L, 32, 0},
        {"ul", 1, UL, 33, 0},
        {"fl", 1, F, 40, 0},
        {"b", 1, B, 1, bdesc},
        {"d", 1, D, 41, 0},
        {"ld", 1, LD, 42, 0},
        {"ll", 1, LL, 48, 0},
        {"ull", 1, ULL, 49, 0},
        {"sf", 1, SF, 44, 0},
        {"lf", 1, LF, 45, 0},
        {"e", 1, E, 77, colordesc},
        {"e2", 1, E2, 77, colordesc},
        {"pt", 1, PT, 72, ptdesc},
        {"arr", 1, ARR, 0xC0000018, arrdesc},
        {"p", 1, P, 0x40000018, ptrdesc},
        {"q", 1, Q, 0x40000018, ptrdesc},
        {"cp", 1, CP, 0x40000009, ptrdesc},
        {"vp", 1, VP, 0x40000050, ptrdesc},
        {"pp", 1, PP, 0x40000048, ppdesc},
        {"msg", 1, MSG, 0xC0000009, msgdesc},
        {"grid", 1, GRID, 0xF0000018, griddesc},
    });
    uint32_t mainlocals = list({{"k", 3, 4, 24, 0}, {"i", 3, 8, 24, 0}, {"p", 3, 12, 0x40000048, ppdesc}});
    uint32_t flocals = list({{"a", 2, 8, 24, 0}, {"i", 3, 4, 24, 0}});
    uint32_t glocals = list({{"i", 3, 4, 24, 0}, {"j", 3, 8, 26, 0}, {"r", 4, 33, 24, 0}});
    uint32_t mainname = d.string("main", 6), fname = d.string("f", 6), gname = d.string("g", 6);
    uint32_t lmain = d.here(), lf = lmain + 32, lg = lf + 32, lscope = lg + 32;
    auto link = [&](uint32_t next, uint32_t name, uint32_t first, uint32_t last, uint32_t locals) {
        for (uint32_t w : {next, fileentry, name, first, last}) d.word(w);
        d.typeword(name ? 24 : 0);
        d.word(0);
        d.word(locals);
    };
    link(lf, mainname, 1, 10, mainlocals);
    link(lg, fname, 11, 20, flocals);
    link(lscope, gname, 21, 30, glocals);
    link(0, 0, 1, 30, globals);
    d.patch(firstlink, lmain);

    fixture::Object o;
    o.sections.push_back({".text", 0xD6, 0x100, 0x100, std::vector<uint8_t>(0x30, 0x44)});
    o.sections.push_back({".data", 0x56, Data, Data, data()});
    o.sections.push_back({".debug", 0x42, 0, 0, d.v});
    o.symbols = {{0x100, 0x85, 1, "_main"}, {0x110, 0x85, 1, "_f"},       {0x120, 0x85, 1, "_g"},
                 {GI, 0x85, 2, "_gi"},      {COUNTER, 0x85, 2, "_counter"}, {0x4242, 0x85, 0, "marker"}};
    o.debug = {{0, 0x40, 3, "fx.c"},
               {0x100, 0x20, 1, "fx.c~main:1-10"}, {0x102, 0x08, 1, "fx.c:2"}, {0x104, 0x08, 1, "fx.c:3"},
               {0x10E, 0x10, 1, "fx.c~main:"},
               {0x110, 0x20, 1, "fx.c~f:11-20"},   {0x112, 0x08, 1, "fx.c:12"}, {0x11E, 0x10, 1, "fx.c~f:"},
               {0x120, 0x20, 1, "fx.c~g:21-30"},   {0x122, 0x08, 1, "fx.c:22"}, {0x12E, 0x10, 1, "fx.c~g:"}};
    return o.bytes();
}

}  // namespace fx
