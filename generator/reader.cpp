// Top-level records of the intermediate file, each turned into assembly text
// as soon as it is read: data objects and their contents, symbols, memory
// spaces and sections, inline assembly, and the debug tables.
//
// irtop reads records until one it does not handle and hands that code back:
// at top level a function's start (or anything else, which the caller
// refuses), inside a function every body record.
#include <cmath>
#include <cstring>

#include "generator/gen.h"
#include "platform/interrupt.h"
#include "toollib/quit.h"

namespace cg {

// ---- memory spaces ----

void initspaces(Gen& G) {
    // name, attribute bits (the first eight come from space records), generator flags
    G.rd.spaces = {{
        {"builtin", 0, GF_BUILTIN},   {"interrupt", 0, GF_INTERRUPT}, {"vle", 0, GF_VLE},
        {"dir", 0, GF_DIR},           {"ext", 0, GF_EXTERNAL},        {"spr", 0, GF_INTERRUPT},
        {"vector", 0, GF_VECTOR},     {"nested", 0, GF_EXTERNAL},     {"inline", 0x0200, GF_BUILTIN},
        {"func", 0x0800, GF_FUNCADDR}, {"vol", 0x4000, GF_VOLATILE},  {"cons", 0x8000, GF_CONST},
        {"far", 0x3000, GF_FAR},      {"near", 0x2000, GF_NEAR},      {"packed", 0x0100, GF_NEAR},
    }};
    G.rd.nextbit = 0x100;
}

uint32_t spaceflags(Gen& G, uint16_t word) {
    if (word == 0) return 0;
    uint32_t flags = 0;
    bool matched = false;
    for (const SpaceRow& row : G.rd.spaces) {
        uint16_t b = row.bits;
        if (!b) continue;
        bool hit = (b & ir::A_SPACE) ? (word & ir::A_SPACE) == b : (word & b) == b;
        if (hit) {
            flags |= row.flags;
            matched = true;
        }
    }
    if (!matched && !G.rd.mapping) generror(G, "!unknown space modifier");
    if (flags & GF_EXTERNAL)
        flags &= ~(GF_NEAR | GF_DIR);
    else if (flags & GF_DIR)
        flags &= ~(GF_NEAR | GF_FAR);
    else
        flags &= ~GF_NEAR;
    return flags;
}

void defspace(Gen& G, const std::string& text) {
    // every space record owns the next bit, known or not, as the parser counts them
    uint16_t bit = static_cast<uint16_t>(G.rd.nextbit >> 1);
    G.rd.nextbit = bit;
    std::string name = text.empty() ? text : text.substr(1);
    for (SpaceRow& row : G.rd.spaces) {
        if (name != row.name) continue;
        if (row.bits) {
            generror(G, "!redefined space: ", name);
            return;
        }
        row.bits = bit;
        return;
    }
    generror(G, "unknown space: ", name);
}

char readattrs(Gen& G, uint32_t& flags, int32_t& value, const std::string& text) {
    flags = spaceflags(G, irshort(G));
    value = static_cast<int32_t>(irlong(G));
    char kind = namekind(G, text);
    if (kind) value = kind == 'w' ? 1 : 0;
    return kind;
}

// ---- data output ----

void putalign(Gen& G, int n) {
    if (n == 0) return;
    if (n == 1)
        putasm(G, " even;");
    else
        putasm(G, " align %u;", {n < 16 ? 1 << n : 0});
}

void putds(Gen& G, uint32_t size) {
    if (size & 1)
        putasm(G, " ds.%p %l;", {"b", size});
    else if (size & 2)
        putasm(G, " ds.%p %l;", {"w", size / 2});
    else
        putasm(G, " ds.%p %l;", {"l", size / 4});
}

uint32_t floatbits(uint64_t doublebits) {
    double d;
    std::memcpy(&d, &doublebits, sizeof d);
    float f = static_cast<float>(d);  // round to nearest even; too large: infinity; NaN stays NaN
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

namespace {

// The section of a data object with generator flags f.
int datasection(const Gen& G, uint32_t f) {
    if (!(f & GF_CONST)) return (f & GF_FAR) ? SK_DATA : SK_SDATA;
    if ((f & GF_EXTERNAL) || ((G.opt.cm & 2) && !(f & GF_DIR))) return SK_CONST;
    return SK_SCONST;
}

// An object made only of zero reservations goes to bss: the sizes of the
// 147 records are added up; when 210 follows, the reservation is written
// there. Otherwise the code read last is pushed back and the sum handed back.
bool isbss(Gen& G, const std::string& name, uint32_t flags, uint32_t& size, int align) {
    size = 0;
    if (G.opt.bss) return false;
    int code;
    while ((code = readraw(G)) == ir::R_ZEROS) size += irlong(G);
    if (code == ir::R_ENDDATA) {
        usesection(G, (flags & GF_DIR) ? SK_SBSS : SK_BSS);
        putalign(G, align);
        putasm(G, "%p:;", {name});
        putds(G, size);
        return true;
    }
    unreadbyte(G, code);
    return false;
}

// An object's start: its section (a given kind, or the one its flags choose),
// alignment and label, and the reservation that the bss look-ahead read.
void dataobject(Gen& G, int align, uint32_t flags, const std::string& name, bool tryb, int kind) {
    uint32_t size = 0;
    if (tryb && isbss(G, name, flags, size, align)) return;
    usesection(G, kind ? kind : datasection(G, flags));
    putalign(G, align);
    putasm(G, "%p:;", {name});
    if (size) putds(G, size);
}

bool printable(unsigned char c) { return c >= 32 && c <= 126 && c != '"'; }

// A piece of a string constant: quoted runs of printable bytes (written
// verbatim, so that no byte of the string is taken for a format character)
// and other bytes as numbers, the string's zero after the last piece.
void putstring(Gen& G, const std::string& s) {
    size_t n = s.size();
    if (n == 0) {
        putasm(G, "%p0;", {" dc.b "});
        return;
    }
    size_t i = 0;
    while (i < n) {
        putasm(G, " dc.b ");
        auto c = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
        if (printable(c(i))) {
            size_t start = i;
            while (i < n && i - start < 18 && printable(c(i))) ++i;
            putasm(G, "\"");
            writebytes(G, std::string_view(s).substr(start, i - start));
            putasm(G, "\"");
            if (i < n && !printable(c(i))) putasm(G, ",%i", {c(i++)});
        } else {
            putasm(G, "%i", {c(i++)});
            for (int k = 0; k < 5 && i < n; ++k) putasm(G, ",%i", {c(i++)});
        }
        putasm(G, i < n || n == 255 ? ";" : ",0;");
    }
}

void putfloat(Gen& G, int size, uint64_t bits) {
    if (size == 4) {
        uint32_t f = floatbits(bits);
        putasm(G, "%p%i,", {" dc.w ", static_cast<int32_t>(f >> 16)});
        putasm(G, "%i;", {static_cast<int32_t>(f & 0xFFFF)});
        return;
    }
    for (int word = 0; word < 2; ++word) {
        uint32_t w = static_cast<uint32_t>(bits >> (32 - 32 * word));
        putasm(G, "%p%i,", {" dc.w ", static_cast<int32_t>(w >> 16)});
        putasm(G, "%i;", {static_cast<int32_t>(w & 0xFFFF)});
    }
}

void putaddress(Gen& G, int code) {
    std::string t = irname(G);
    int32_t v = static_cast<int32_t>(irlong(G));
    if (!G.rd.vector && namekind(G, t)) putasm(G, " .dcall \":%p\";", {t});
    if (G.rd.vector) {
        putasm(G, " b %p;", {t});
        return;
    }
    const char* dir = code == ir::R_ADDR16 ? " dc.w " : code == ir::R_ADDR8 ? " dc.b " : " dc.l ";
    if (t.empty()) {
        putasm(G, code == ir::R_ADDR32 ? "%p%l;" : "%p%i;", {dir, v});
        return;
    }
    putasm(G, "%p%p", {dir, t});
    if (v != 0) putasm(G, code == ir::R_ADDR32 ? "%p%l" : "%p%i", {v < 0 ? "" : "+", v});
    putasm(G, ";");
}

// Inline assembly text at top level: the bytes go out unchanged.
void putasmtext(Gen& G, const std::string& text) {
    if (!G.rd.inasm) {
        if (G.w.curkind == SK_DEBUG) {
            G.w.curkind = 0;
            usesection(G, SK_DEBUG);
        }
        // file names are written as they are: a '/' must not start a comment
        putasm(G, " .sfile \"");
        writebytes(G, G.rd.srcdir + G.rd.srcname);
        putasm(G, "\",%l;", {G.rd.line});
        G.rd.inasm = true;
        G.rd.asmlast = '\n';
    }
    writebytes(G, text);
    if (!text.empty()) G.rd.asmlast = text.back();
}

void endasmrun(Gen& G) {
    G.rd.inasm = false;
    if (G.rd.asmlast != '\n') writebytes(G, "\n");
    int kind = G.w.curkind;
    G.w.curkind = 0;
    if (sectionrow(G, kind)) usesection(G, kind);
    else G.w.curkind = static_cast<int16_t>(kind);
    putasm(G, " .sfile;");
}

void putverbatimname(Gen& G, const std::string& name) {
    size_t nul = name.find('\0');
    writebytes(G, nul == std::string::npos ? name : name.substr(0, nul));
}

}  // namespace

void putspacemap(Gen& G, const std::string* name) {
    if (!G.rd.spacemaplabel) G.rd.spacemaplabel = genlabel(G);
    std::string label = labeltext(G.rd.spacemaplabel);
    if (name) {
        putasm(G, "%O");
        putverbatimname(G, *name);
        putasm(G, ":0\",%p;", {label});
        return;
    }
    usesection(G, SK_DEBUG);
    putasm(G, "%p:;", {label});
    G.rd.mapping = true;
    for (uint32_t bit = 0x8000; bit; bit >>= 1) {
        uint16_t word = static_cast<uint16_t>(bit == 0x2000 ? 0x3000 : bit);
        putasm(G, "%p%u;", {" dc.l ", spaceflags(G, word)});
    }
    G.rd.mapping = false;
    putasm(G, "%p0;", {" dc.l "});
}

int irswitch(Gen& G) {
    irbyte(G);
    G.rd.swdispatch = irshort(G);
    G.rd.swdefault = irshort(G);
    irshort(G);
    irshort(G);
    return 191;
}

int irtop(Gen& G, int mode) {
    Reader& r = G.rd;
    for (;;) {
        int code = readraw(G);
        if (G.opt.l && !G.opt.na) {
            if (code == ir::R_ABSOLUTE && !r.inalias) {
                putasm(G, " nolist;");
                r.inalias = true;
            } else if (code != ir::R_ABSOLUTE && r.inalias) {
                putasm(G, " list;");
                r.inalias = false;
            }
        }
        if (mode == 0 && r.inasm && code != ir::R_ASMTEXT && code != ir::R_LINE) endasmrun(G);
        if (code < 0) return -1;
        switch (code) {
            case ir::R_FILE: {
                GenInput in(G);
                ir::NameBlock n = in.name();
                size_t nul = n.name.find('\0');
                r.srcname = n.name.substr(0, nul);
                r.srcdir = nul == std::string::npos ? "" : n.name.substr(nul + 1);
                size_t end = r.srcdir.find('\0');
                if (end != std::string::npos) r.srcdir.resize(end);
                r.debugfile = "\6" + r.srcname + "\6";
                break;
            }
            case ir::R_LINE: r.line = static_cast<int32_t>(irlong(G)); break;
            case ir::R_DATA: {
                int align = irbyte(G);
                std::string name = irname(G);
                dataobject(G, align, 0, name, true, SK_DATA);
                break;
            }
            case ir::R_DATAATTR: {
                int align = irbyte(G);
                uint32_t f = spaceflags(G, irshort(G));
                std::string name = irname(G);
                if (f & GF_VECTOR) r.vector = true;
                dataobject(G, align, f, name, !(f & GF_CONST), 0);
                break;
            }
            case ir::R_PUBLIC:
            case ir::R_EXTERN: {
                std::string name = irname(G);
                uint32_t f;
                int32_t v;
                readattrs(G, f, v, name);
                if (code == ir::R_PUBLIC) {
                    putasm(G, " xdef %p;", {name});
                    if ((f & GF_INTERRUPT) && !(f & GF_FUNCADDR)) generror(G, "bad @interrupt usage:", r.lastname);
                } else if ((f & GF_BUILTIN) && isbuiltin(G, name)) {
                    // a built-in that no call made real needs no reference
                } else if (f & GF_DIR) {
                    putasm(G, " xref %p;", {name});
                } else if ((f & GF_EXTERNAL) || !(f & GF_CONST) || (G.opt.cm & 2)) {
                    putasm(G, " xref.l %p;", {name});
                } else {
                    putasm(G, " xref %p;", {name});
                }
                break;
            }
            case ir::R_DOUBLE: {
                int size = irbyte(G);
                GenInput in(G);
                putfloat(G, size, in.u64());
                break;
            }
            case ir::R_VALUE: {
                int size = irbyte(G);
                int32_t v = static_cast<int32_t>(irlong(G));
                if (size == 1)
                    putasm(G, "%p%i;", {" dc.b ", v & 0xFF});
                else if (size == 2)
                    putasm(G, "%p%i;", {" dc.w ", v});
                else
                    putasm(G, "%p%l;", {" dc.l ", v});
                break;
            }
            case ir::R_ZEROS: putds(G, irlong(G)); break;
            case ir::R_BYTES: {
                GenInput in(G);
                putstring(G, in.text8());
                break;
            }
            case ir::R_LITERAL: {
                int align = irbyte(G);
                irshort(G);
                std::string name = irname(G);
                usesection(G, (G.opt.cm & 2) ? SK_CONST : SK_SCONST);
                putalign(G, align);
                putasm(G, "%p:;", {name});
                break;
            }
            case ir::R_SWITCHTABLES: return irswitch(G);
            case ir::R_SPACE: defspace(G, irname(G)); break;
            case ir::R_DSTRING: {
                GenInput in(G);
                putasm(G, "%S;", {in.text8()});
                break;
            }
            case ir::R_ADDR16:
            case ir::R_ADDR8:
            case ir::R_ADDR32: putaddress(G, code); break;
            case ir::R_ABSOLUTE: {
                irbyte(G);
                std::string name = irname(G);
                int32_t v = static_cast<int32_t>(irlong(G));
                putasm(G, "%p: equ %l;", {name, v});
                if (!G.opt.na && (name.empty() || name[0] != '>')) putasm(G, " xdef %p;", {name});
                break;
            }
            case ir::R_ASMTEXT: {
                if (mode == 1) return code;
                GenInput in(G);
                putasmtext(G, in.text8());
                break;
            }
            case ir::R_SECTION: {
                uint32_t f = spaceflags(G, irshort(G));
                GenInput in(G);
                defsection(G, f, in.text8());
                break;
            }
            case ir::R_ENDDATA: r.vector = false; break;
            case ir::R_DLABEL: {
                irbyte(G);
                std::string name = irname(G);
                usesection(G, SK_DEBUG);
                putasm(G, "%p:;", {name});
                break;
            }
            case ir::R_DFUNC: {
                irbyte(G);
                irname(G);
                const std::string& text = r.lastname;
                size_t tilde = text.find('~');
                usesection(G, SK_DEBUG);
                putasm(G, "%T");
                writebytes(G, text.substr(0, tilde));
                putasm(G, "%~%p;", {tilde == std::string::npos ? std::string() : text.substr(tilde + 1)});
                break;
            }
            case ir::R_DFILE: {
                irbyte(G);
                irname(G);
                std::string name = r.lastname;
                usesection(G, SK_DEBUG);
                if (r.debugfile.empty()) r.debugfile = "\6" + name + "\6";
                putspacemap(G, &name);
                putasm(G, "%G");
                putverbatimname(G, name);
                putasm(G, ";");
                break;
            }
            case ir::R_FUNCLINES:
                r.funcfirst = static_cast<int32_t>(irlong(G));
                r.funclast = static_cast<int32_t>(irlong(G));
                G.fn.dbgfirstline = 0;
                break;
            case ir::R_RAWASM: {
                uint16_t n = irshort(G);
                GenInput in(G);
                std::string text = in.bytes(n);
                G.errors = true;
                G.w.raw = true;
                putasm(G, text + "`");
                G.w.raw = false;
                if (text.empty() || text.back() != '\n') writebytes(G, "\n");  // never glued to the next line
                break;
            }
            default: return code;
        }
    }
}

}  // namespace cg
