// The writer of the generated assembly text: putasm with its compact format
// notation, the output buffer, the sections and the run-time helper list.
//
// putasm reads a format byte by byte through one state machine whose state
// (comment, verbatim, name-kind skipping, a pending register byte or '%',
// an open debug string, raw mode) survives from one call to the next, and
// an argument text of %p goes through the same machine. So a verbatim run
// may start in an argument and end in the format, and a '%' at the end of a
// format takes its conversion character from the next call. Formats and
// argument texts end at a NUL byte, as code text read from the store does.
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "generator/gen.h"
#include "toollib/options.h"

namespace cg {

namespace {

constexpr const char* kVersion = "V4.3.6";
constexpr const char* kDate = "02 Oct 2012";

// Mnemonic stems of the control bytes 0x08-0x1F.
constexpr const char* kStems[24] = {
    "", "", "ext", "mr", "", "clr", "cmp", "add", "sub", "adc", "sbc", "sraw",
    "srw", "slw", "mull", "divw", "and", "", "or", "xor", "inc", "dec", "neg", "not",
};

void out(Gen& G, std::string_view s) {
    for (char c : s) outbyte(G, static_cast<unsigned char>(c));
}

struct ArgCursor {
    const AsmArg* next;
    const AsmArg* end;
    const AsmArg* take() { return next < end ? next++ : nullptr; }
};

int32_t numarg(ArgCursor& a) {
    const AsmArg* p = a.take();
    return p && !p->istext ? p->num : 0;
}

std::string_view textarg(ArgCursor& a) {
    const AsmArg* p = a.take();
    return p && p->istext ? p->text : std::string_view{};
}

bool feed(Gen& G, std::string_view text, ArgCursor& args);

void opendebug(Gen& G, const char* directive, bool open) {
    out(G, "\t");
    out(G, directive);
    out(G, "\t\"");
    G.w.dstring = open;
}

// A conversion character after '%'. Returns false when an argument text
// ended at the mark "`".
bool convert(Gen& G, char c, ArgCursor& args) {
    Writer& w = G.w;
    switch (c) {
        case '%': outbyte(G, '%'); return true;
        case 'i': out(G, numtext16(numarg(args), -10)); return true;
        case 'u': out(G, numtext16(numarg(args), 10)); return true;
        case 'o': out(G, numtext16(numarg(args), 8)); return true;
        case 'l': out(G, numtext32(numarg(args), -10)); return true;
        case 'n': {
            std::string t = labeltext(static_cast<uint32_t>(numarg(args)));
            ArgCursor none{nullptr, nullptr};
            return feed(G, t, none);
        }
        case 'p': return feed(G, textarg(args), args);
        case '~': outbyte(G, '~'); return true;
        case 'E': opendebug(G, ".dentry", true); return true;
        case 'F': opendebug(G, ".dendfn", true); return true;
        case 'G': opendebug(G, ".dfile", true); return true;
        case 'I': opendebug(G, ".dline", true); return true;
        case 'J': opendebug(G, ".dstart", true); return true;
        case 'Q': opendebug(G, ".dquit", true); return true;
        case 'T': opendebug(G, ".dtable", true); return true;
        case 'S':
            opendebug(G, ".dstring", true);
            outbyte(G, '~');
            return feed(G, textarg(args), args);
        case 'O': opendebug(G, ".dopt", false); return true;
        default: {
            outbyte(G, '%');
            char one[1] = {c};
            (void)w;
            return feed(G, std::string_view(one, 1), args);
        }
    }
}

// Runs text through the state machine; false when it met "`".
bool feed(Gen& G, std::string_view text, ArgCursor& args) {
    Writer& w = G.w;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0) return true;
        if (w.skipkind) {
            if (c == '\'') continue;
            w.skipkind = false;
            if (c == '@' || c == '^' || c == '!') continue;
        }
        if (w.verbatim) {
            if (c == 0x06)
                w.verbatim = false;
            else
                outbyte(G, c);
            continue;
        }
        if (w.regpending) {
            w.regpending = false;
            out(G, c >= 1 && c <= 18 ? std::to_string(w.regmap[c]) : "?");
            continue;
        }
        if (w.percent) {
            w.percent = false;
            if (!convert(G, static_cast<char>(c), args)) return false;
            continue;
        }
        switch (c) {
            case 0x01:
            case 0x02:
            case 0x03:
            case 0x04: break;
            case 0x05:
                outbyte(G, 'r');
                w.regpending = true;
                break;
            case 0x06: w.verbatim = true; break;
            case 0x07: out(G, "\tbl\t"); break;
            case ' ': outbyte(G, (w.comment || w.raw) ? ' ' : '\t'); break;
            case '$': outbyte(G, '*'); break;
            case '%': w.percent = true; break;
            case '/':
                outbyte(G, ';');
                w.comment = true;
                break;
            case ';':
                if (w.raw) {
                    outbyte(G, ';');
                    break;
                }
                if (w.dstring) {
                    outbyte(G, '"');
                    w.dstring = false;
                }
                outbyte(G, '\n');
                w.comment = false;
                break;
            case '<':
                outbyte(G, '_');
                w.skipkind = true;
                break;
            case '>': outbyte(G, 'L'); break;
            case '`': return false;
            case '{': outbyte(G, '$'); break;
            case '}': outbyte(G, '/'); break;
            case '~': outbyte(G, '_'); break;
            default:
                if (c >= 0x08 && c <= 0x1F) {
                    outbyte(G, '\t');
                    out(G, kStems[c - 0x08]);
                } else {
                    outbyte(G, c);  // printable ASCII, and bytes from 0x80 up unchanged
                }
        }
    }
    return true;
}

}  // namespace

void flushoutput(Gen& G, bool quiet) {
    Writer& w = G.w;
    size_t done = 0;
    while (done < w.count) {
        ssize_t n = ::write(w.fd, w.buf.data() + done, w.count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            w.count = 0;
            if (quiet) return;
            genpanic(G, "can't write!");
        }
        done += static_cast<size_t>(n);
    }
    w.count = 0;
}

int putasm(Gen& G, std::string_view format, const AsmArg* args, size_t count) {
    ArgCursor cur{args, args + count};
    return feed(G, format, cur) ? 1 : 0;
}

int putasm(Gen& G, std::string_view format, std::initializer_list<AsmArg> args) {
    return putasm(G, format, args.begin(), args.size());
}

void outbyte(Gen& G, int value) {
    Writer& w = G.w;
    if (value < 0) {
        flushoutput(G, false);
        return;
    }
    if (w.count == w.buf.size()) flushoutput(G, false);
    w.buf[w.count++] = static_cast<char>(value);
}

void writebytes(Gen& G, std::string_view bytes) { out(G, bytes); }

// ---- sections ----

SectionRow* sectionrow(Gen& G, int kind) {
    for (SectionRow& r : G.w.rows)
        if (r.kind == kind && r.sect) return &r;
    return nullptr;
}

namespace {

Section* makesection(Gen& G, std::string name, uint8_t state, int16_t kind) {
    G.w.store.push_back(Section{std::move(name), state, kind});
    Section* s = &G.w.store.back();
    G.w.sections.insert(G.w.sections.begin(), s);
    return s;
}

const char* attrtext(int kind) {
    switch (kind) {
        case SK_TEXT:
        case SK_VTEXT:
        case SK_CONST: return " .text";
        case SK_SDATA: return " .data,-long";
        case SK_SBSS: return " .bss,-long";
        case SK_SCONST: return " .text,-long";
        case SK_BSS: return " .bss";
        default: return " .data";
    }
}

}  // namespace

void initsections(Gen& G) {
    Writer& w = G.w;
    w.store.clear();
    w.sections.clear();
    static constexpr int16_t order[9] = {SK_DATA, SK_TEXT, SK_CONST, SK_BSS, SK_DEBUG,
                                         SK_SDATA, SK_SBSS, SK_VTEXT, SK_SCONST};
    for (int i = 0; i < 9; ++i) w.rows[i] = SectionRow{order[i], order[i], nullptr};
    Section* data = makesection(G, "data", 3, SK_DATA);
    w.rows[0].sect = data;
    w.rows[1].sect = makesection(G, "text", 3, SK_TEXT);
    w.rows[2].sect = makesection(G, "const", 2, SK_CONST);
    if (G.opt.bss) {
        w.rows[3].sect = data;
        w.rows[3].used = SK_DATA;
    } else {
        w.rows[3].sect = makesection(G, "bss", 3, SK_BSS);
    }
    w.rows[4].sect = makesection(G, "debug", 3, SK_DEBUG);
    w.rows[5].sect = makesection(G, "sdata", 2, SK_SDATA);
    w.rows[6].sect = makesection(G, "sbss", 2, SK_SBSS);
    w.rows[7].sect = makesection(G, "vtext", 2, SK_VTEXT);
    w.rows[8].sect = makesection(G, "sconst", 2, SK_SCONST);
    w.curkind = SK_TEXT;
}

void setsection(Gen& G, Section* s) {
    Writer& w = G.w;
    if ((s->state & 1) && w.curkind >= 0) {
        putasm(G, " switch .%p;", {s->name});
    } else {
        s->state |= 1;
        putasm(G, ".%p: section%p%p;", {s->name, attrtext(s->kind), w.curkind < 0 ? ",new" : ""});
    }
    if (s->kind == SK_DATA || s->kind == SK_CONST || s->kind == SK_BSS)
        w.pendingmask = static_cast<uint16_t>(w.pendingmask | s->kind);
}

void usesection(Gen& G, int kind) {
    Writer& w = G.w;
    SectionRow* row = sectionrow(G, kind);
    if (!row || w.curkind == row->used) return;
    if (!G.opt.no && (w.curkind == SK_DEBUG || w.curkind == -2)) putasm(G, "XL:;");
    setsection(G, row->sect);
    w.curkind = row->used;
    if (!G.opt.no && w.curkind == SK_DEBUG) putasm(G, "XL:;");
}

void defsection(Gen& G, uint32_t flags, const std::string& name) {
    Writer& w = G.w;
    int16_t kind;
    if (flags & GF_FUNCADDR)
        kind = SK_VTEXT;
    else if (flags & GF_CONST)
        kind = (G.opt.cm & 2) ? SK_CONST : SK_SCONST;
    else if (flags & GF_FAR)
        kind = (flags & GF_VOLATILE) ? SK_BSS : SK_DATA;
    else if (flags & GF_VOLATILE)
        kind = SK_SBSS;
    else
        kind = SK_SDATA;
    if (kind == w.curkind) w.curkind = 0;
    Section* s = nullptr;
    if (!name.empty()) {
        if (name.size() > 13) generror(G, "section name too long: ", name);
        for (Section* x : w.sections)
            if (x->name == name) s = x;
        if (!s) s = makesection(G, name, 0, kind);
        if (s->kind != kind) generror(G, "section type conflict: ", name);
    } else {
        for (Section* x : w.sections)
            if ((x->state & 2) && x->kind == kind) {
                s = x;
                break;
            }
    }
    if (!s) return;
    for (SectionRow& r : w.rows)
        if (r.kind == kind) {
            r.sect = s;
            r.used = kind;
        }
}

// ---- helpers ----

void xrefhelper(Gen& G, std::string_view name) {
    size_t n = 0;
    while (n < name.size() && name[n] && name[n] != ';' && name[n] != '?') ++n;
    name = name.substr(0, n);
    for (const std::string& h : G.w.helpers)
        if (h == name) return;
    G.w.helpers.insert(G.w.helpers.begin(), std::string(name));
}

void putxrefs(Gen& G) {
    for (const std::string& h : G.w.helpers) putasm(G, " xref c~%p;", {h});
}

void putend(Gen& G) {
    if (!G.opt.no && G.w.curkind == SK_DEBUG) putasm(G, "XL:;");
    putasm(G, " end;");
}

// ---- heading and .info block ----

void putheading(Gen& G) {
    putasm(G, "/ C Compiler for PowerPC VLE (ORBELT Software);");
    putasm(G, "/ Parser %p - %p;", {G.hdr.pversion, G.hdr.pdate});
    putasm(G, "/ Generator %p - %p;", {kVersion, kDate});
}

// The option texts of the header are read here, after the three fixed ones.
void geninfo(Gen& G) {
    putasm(G, " .info \"%p\6 \6%p:\";", {G.hdr.pname, G.hdr.pversion});
    std::string opt;
    while (!G.rd.headerdone && irstring(G, opt)) {
        putasm(G, " .info \"");
        writebytes(G, " -");
        writebytes(G, opt);
        putasm(G, "\";");
    }
    putasm(G, " .info;");
    putasm(G, " .info \"%p\6 \6%p:\";", {tl::toolcontext().progname, kVersion});
    auto line = [&](const std::string& t) {
        putasm(G, " .info \"");
        writebytes(G, " -" + t);
        putasm(G, "\";");
    };
    if (G.opt.a) line("a");
    if (G.opt.bss) line("bss");
    if (G.opt.cm) line("cm" + std::to_string(G.opt.cm));
    if (G.opt.na) line("na");
    if (G.opt.nt) line("nt");
    if (G.opt.sf) line("sf");
    putasm(G, " .info;");
}

}  // namespace cg
