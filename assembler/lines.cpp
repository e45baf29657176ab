// The line processor and the directive table.
//
// asmline splits a line into label, opcode and operands, finds the opcode
// (directive, instruction or macro; size and record-form suffixes peeled off
// as the target's rules say) and runs it. The directives are one table of
// rows {name, handler, value, flags}; a handler reads its operands from the
// line cursor and the row's value tells members of a family apart.
#include "assembler/asm.h"
#include "assembler/listing.h"
#include "toollib/quit.h"

namespace as {

namespace {

constexpr uint32_t kMaxFill = 16u << 20;  // bytes one directive may pad or reserve

bool iscolumn0label(const Assembler& a, const std::string& text) {
    return a.opt.m && !text.empty() && text[0] != ' ' && text[0] != '\t';
}

bool inabs(const Assembler& a) { return (a.cur->attr & SA_ABS) != 0; }

uint8_t sectionbits(uint8_t attr) { return attr & (SA_CODE | SA_LONG | SA_BIT | SA_ZPAGE); }

// A symbol took a new value or section in an emitting pass.
void noticechange(Assembler& a, bool changed) {
    if (changed && a.pass > 0 && (a.pass == 1 || a.errors == 0)) a.moved = true;
}

void recorddef(Assembler& a, AsmSymbol* s) {
    if (!s->definedthispass && !(s->flags & SYM_DEFINED)) {
        s->deffile = curfilekept(a);
        s->defline = curline(a);
    } else if (s->defline == 0) {
        s->deffile = curfilekept(a);
        s->defline = curline(a);
    }
    s->defglobal = a.globline;
    s->definedthispass = true;
}

bool multiplydefined(Assembler& a, AsmSymbol* s) {
    if (s->definedthispass || (s->iflags & (SI_CMDLINE | SI_REGISTER)) ||
        (a.pass == 0 && (s->flags & SYM_DEFINED))) {
        reporterr(a, "symbol " + s->name + " multiply defined", true);
        s->defline = -1;
        return true;
    }
    return false;
}

// Defines s from an equ-like value.
void defineequ(Assembler& a, AsmSymbol* s, const AsmValue& v, bool isset) {
    uint32_t oldvalue = s->value;
    uint16_t oldsect = s->section;
    bool wasdefined = s->flags & SYM_DEFINED;
    if (v.absolute()) {
        s->iflags &= static_cast<uint16_t>(~SI_ALIAS);
        s->alias = nullptr;
        s->flags = static_cast<uint8_t>((s->flags & (SYM_REFERENCED | SYM_PUBLIC)) | SYM_DEFINED | SYM_ABSOLUTE);
        s->section = 0;
        if (a.opt.pe && !isset) s->flags |= SYM_PUBLIC;
    } else if (v.section) {
        s->iflags &= static_cast<uint16_t>(~SI_ALIAS);
        s->alias = nullptr;
        AsmSection* sect = sectbyindex(a, v.section);
        s->flags = static_cast<uint8_t>((s->flags & (SYM_REFERENCED | SYM_PUBLIC)) | SYM_DEFINED |
                                        sectionbits(sect ? sect->attr : a.cur->attr));
        s->section = v.section;
    } else if (v.sym) {
        if (v.sym == s) {
            asmerr(a, "recursive definition of symbol " + s->name);
            return;
        }
        s->iflags |= SI_ALIAS;
        s->alias = v.sym;
        s->flags &= static_cast<uint8_t>(~SYM_DEFINED);
    }
    s->value = v.value;
    if (isset) s->iflags |= SI_SET;
    if (a.cur->iflags & SCI_DEBUG) s->iflags |= SI_DEBUGSECT;
    recorddef(a, s);
    // a set symbol changes within a pass by design; an equ must settle
    if (!isset) noticechange(a, wasdefined && (oldvalue != s->value || oldsect != s->section));
    if (a.listing) lstvalue(a, v.value);
}

void doequ(Assembler& a, const OpcodeEntry& e, std::string_view label) {
    bool isset = e.value == 1;
    bool bitsym = false;
    AsmValue v;
    getexpr(a, v);
    if (curc(a) == ':') {
        advance(a);
        bool ok;
        uint32_t bit = getabs(a, ok);
        if (bit > 7) asmerr(a, "invalid bit number");
        else if (v.sym && (v.sym->iflags & SI_BITSYM)) asmerr(a, "invalid bit definition");
        else {
            v.value = v.value * 8 + bit;
            bitsym = true;
        }
    }
    AsmSymbol* s = labelsymbol(a, label);
    if (s->iflags & SI_REGISTER) {
        asmerr(a, "bad symbol name: " + s->name);
        return;
    }
    if (isset) {
        if (!v.absolute()) {
            asmerr(a, "relocatable expression not allowed");
            return;
        }
        if (((s->flags & SYM_DEFINED) && !(s->iflags & SI_SET)) || (s->iflags & (SI_CMDLINE | SI_REGISTER))) {
            reporterr(a, "symbol " + s->name + " multiply defined", true);
            return;
        }
        defineequ(a, s, v, true);
        return;
    }
    if ((s->iflags & SI_SET) || multiplydefined(a, s)) {
        if (s->iflags & SI_SET) reporterr(a, "symbol " + s->name + " multiply defined", true);
        return;
    }
    defineequ(a, s, v, false);
    if (bitsym) s->iflags |= SI_BITSYM;
}

void dodefine(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string name = scanname(a);
    if (name.empty()) {
        asmerr(a, "missing label");
        return;
    }
    a.afterdefine = true;
    AsmValue v;
    v.value = 1;
    if (!atend(a)) getexpr(a, v);
    AsmSymbol* s = a.syms.find(name);
    if (s->iflags & SI_REGISTER) {
        asmerr(a, "bad symbol name: " + name);
        return;
    }
    if ((s->iflags & SI_SET) || multiplydefined(a, s)) return;
    defineequ(a, s, v, false);
}

void dolit(Assembler& a, const OpcodeEntry&, std::string_view label) {
    std::string text;
    if (!getstring(a, text)) {
        asmerr(a, "bad literal definition");
        return;
    }
    AsmSymbol* s = a.syms.find(label);
    if (a.pass == 0 && (s->flags & (SYM_DEFINED | SYM_REFERENCED) || (s->iflags & SI_REGISTER))) {
        reporterr(a, "symbol " + s->name + " multiply defined", true);
        return;
    }
    if (s->iflags & SI_REGISTER) return;
    s->iflags |= SI_LITERAL;
    s->text = text;
    s->flags |= SYM_DEFINED | SYM_ABSOLUTE;
    recorddef(a, s);
}

void doxdef(Assembler& a, const OpcodeEntry& e, std::string_view) {
    do {
        std::string name = scanname(a);
        if (name.empty()) {
            asmerr(a, "missing label");
            return;
        }
        AsmSymbol* s = a.syms.find(name);
        if (s->iflags & (SI_REGISTER | SI_LOCAL)) {
            asmerr(a, "bad symbol name: " + name);
        } else {
            s->flags |= SYM_PUBLIC;
            if (!(s->flags & SYM_DEFINED)) {
                uint8_t def = a.defattr;
                switch (e.value) {
                case 1: s->flags |= SYM_ZPAGE; break;
                case 3: s->flags |= static_cast<uint8_t>(def & (SA_LONG | SA_CODE)); break;
                case 4: s->flags |= static_cast<uint8_t>(SYM_LONG | (def & SA_CODE)); break;
                case 5: s->flags |= SYM_BIT; break;
                case 6: s->flags |= SYM_BIT | SYM_ZPAGE; break;
                default: break;
                }
            }
        }
        asmskip(a);
        if (curc(a) != ',') break;
        advance(a);
    } while (true);
}

void dolocal(Assembler& a, const OpcodeEntry&, std::string_view) { a.syms.block++; }

void doswitch(Assembler& a, const OpcodeEntry& e, std::string_view) {
    std::string name = e.value == 1 ? ".bsct" : scanname(a);
    if (name.empty()) {
        asmerr(a, "missing label");
        return;
    }
    AsmSection* s = findsect(a, name);
    if (!s) {
        asmerr(a, "symbol " + name + " not defined");
        return;
    }
    bool ranges = a.opt.x && curline(a) != 0;
    if (ranges) debugend(a);
    selectsect(a, s);
    if (ranges) debugstart(a);
}

void dooffset(Assembler& a, const OpcodeEntry&, std::string_view) {
    bool ok;
    uint32_t origin = getabs(a, ok);
    AsmSection* prev = a.offsetsect ? a.beforeoffset : a.cur;
    a.offsetsect = std::make_unique<AsmSection>();
    a.offsetsect->attr = SA_ABS;
    a.offsetsect->origin = origin;
    a.beforeoffset = prev;
    a.cur = a.offsetsect.get();
}

void fill(Assembler& a, uint32_t n, uint32_t byte) {
    if (n > kMaxFill) {
        asmerr(a, "value too large");
        return;
    }
    AsmSection* s = a.cur;
    if ((s->attr & SA_BSS) || s == a.offsetsect.get()) {
        s->loc += n;
        if (n) s->iflags |= SCI_CONTENT;
        return;
    }
    for (uint32_t i = 0; i < n; i++) emitbyte(a, byte);
}

void doorg(Assembler& a, const OpcodeEntry&, std::string_view) {
    bool ok;
    uint32_t addr = getabs(a, ok);
    leaveoffset(a);
    if (!ok) return;
    AsmSection* s = a.cur;
    uint32_t target = addr;
    if (s->attr & SA_ABS) {
        if (!s->orgset && s->loc == 0) {
            s->orgset = true;
            s->origin = addr;
            return;
        }
        s->orgset = true;
        target = addr - s->origin;
    }
    if (target < s->loc) {
        asmerr(a, "cannot move back current pc");
        return;
    }
    fill(a, target - s->loc, static_cast<uint32_t>(a.opt.f));
}

void dosave(Assembler& a, const OpcodeEntry& e, std::string_view) {
    leaveoffset(a);
    if (e.value == 0) {
        a.savestack.push_back(a.cur);
        return;
    }
    if (a.savestack.empty()) {
        asmerr(a, "missing save directive");
        return;
    }
    bool ranges = a.opt.x;
    if (ranges) debugend(a);
    selectsect(a, a.savestack.back());
    a.savestack.pop_back();
    if (ranges) debugstart(a);
}

void dovle(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string w = scanname(a);
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w == "on") return;
    if (w == "off") asmerr(a, "cannot disable VLE mode");
    else asmerr(a, "syntax error");
}

void datasize(Assembler& a, uint32_t bytes) {
    if (a.lastlabel) a.lastlabel->datasize += bytes;
}

void dodc(Assembler& a, const OpcodeEntry& e, std::string_view) {
    leaveoffset(a);
    int size = e.value;
    uint32_t start = a.cur->loc;
    do {
        int t = gettoken(a);
        if (t == T_STRING) {
            std::string s = a.tokstr;
            int t2 = gettoken(a);
            ungettoken(a, t2);
            if (t2 == T_COMMA || t2 == T_EOL) {
                if (size > 1 && s.size() >= static_cast<size_t>(size)) {
                    while (here(a) % static_cast<uint32_t>(size)) emitbyte(a, static_cast<uint32_t>(a.opt.f));
                    for (size_t k = s.size(); k % static_cast<size_t>(size); k++) emitbyte(a, static_cast<uint32_t>(a.opt.f));
                }
                for (char c : s) emitbyte(a, static_cast<unsigned char>(c));
                t = gettoken(a);
                if (t != T_COMMA) {
                    ungettoken(a, t);
                    break;
                }
                continue;
            }
            a.tokstr = s;
            a.backtokens.pop_back();
            ungettoken(a, t2);
            ungettoken(a, T_STRING);
        } else {
            ungettoken(a, t);
        }
        AsmValue v;
        getexpr(a, v);
        if (size == 1) {
            int32_t sv = static_cast<int32_t>(v.value);
            bool marked = v.kind == 2 || (v.kind & 0xC0);
            if (!a.opt.m && !marked && (sv < -256 || sv > 255)) asmerr(a, "value too large");
            emitwordrel(a, v, true);
        } else if (size == 2) {
            emitwordrel(a, v, false);
        } else {
            emitlong(a, v);
        }
        t = gettoken(a);
        if (t != T_COMMA) {
            ungettoken(a, t);
            break;
        }
    } while (true);
    datasize(a, a.cur->loc - start);
}

void dodcb(Assembler& a, const OpcodeEntry& e, std::string_view) {
    leaveoffset(a);
    bool ok;
    uint32_t count = getabs(a, ok);
    if (static_cast<int32_t>(count) < 0 || count > kMaxFill) {
        asmerr(a, "value too large");
        count = 0;
    }
    needtoken(a, T_COMMA);
    AsmValue v;
    getexpr(a, v);
    if (e.value == 1 && !v.absolute()) asmerr(a, "bad relocatable expression");
    uint32_t start = a.cur->loc;
    for (uint32_t i = 0; i < count; i++) {
        if (e.value == 1) emitbyte(a, v.value);
        else if (e.value == 2) emitwordrel(a, v, false);
        else emitlong(a, v);
    }
    datasize(a, a.cur->loc - start);
}

void dods(Assembler& a, const OpcodeEntry& e, std::string_view) {
    bool ok;
    uint32_t count = getabs(a, ok);
    int32_t sc = static_cast<int32_t>(count);
    if (sc < (a.opt.m ? 0 : 1)) {
        asmerr(a, "illegal size");
        return;
    }
    uint64_t bytes = static_cast<uint64_t>(count) << e.value;
    if (bytes > kMaxFill) {
        asmerr(a, "value too large");
        return;
    }
    uint32_t start = a.cur->loc;
    fill(a, static_cast<uint32_t>(bytes), static_cast<uint32_t>(a.opt.f));
    datasize(a, a.cur->loc - start);
}

void doalign(Assembler& a, const OpcodeEntry& e, std::string_view) {
    leaveoffset(a);
    uint32_t n = 2;
    uint32_t byte = static_cast<uint32_t>(a.opt.f);
    bool ok = true;
    if (e.value == 1) {
        n = getabs(a, ok);
        if (static_cast<int32_t>(n) <= 0) {
            asmerr(a, "illegal alignment");
            return;
        }
        int t = gettoken(a);
        if (t == T_COMMA) {
            AsmValue v;
            getexpr(a, v);
            int32_t sv = static_cast<int32_t>(v.value);
            if (!v.absolute() || sv < -256 || sv > 255) asmerr(a, "illegal fill value");
            byte = v.value & 0xFF;
        } else {
            ungettoken(a, t);
        }
    }
    uint32_t rem = here(a) % n;
    if (rem) fill(a, n - rem, byte);
}

void doinclude(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string name;
    if (!getstring(a, name)) {
        asmerr(a, "bad file name");
        return;
    }
    if (!atend(a)) asmerr(a, "bad comment delimiter");
    a.syms.block++;
    printerr(a);
    opensrc(a, name);
}

void doend(Assembler& a, const OpcodeEntry&, std::string_view) {
    for (auto it = a.readers.rbegin(); it != a.readers.rend(); ++it)
        if (it->kind == 'F') {
            it->ended = true;
            break;
        }
}

void doline(Assembler& a, const OpcodeEntry& e, std::string_view) {
    std::string file;
    AsmValue v;
    if (e.value == 1) {
        getexpr(a, v);
        if (!getstring(a, file)) file = curfile(a);
    } else {
        if (atend(a)) {
            a.ovfile.clear();
            a.overriding = false;
            return;
        }
        if (!getstring(a, file) || !needtoken(a, T_COMMA)) {
            asmerr(a, "syntax error");
            return;
        }
        if (atend(a)) {
            asmerr(a, "syntax error");
            return;
        }
        getexpr(a, v);
    }
    if (!v.absolute()) {
        asmerr(a, "relocatable expression not allowed");
        return;
    }
    printerr(a);
    a.ovfile = file;
    a.overriding = true;
    a.ovbase = a.globline + 1 - static_cast<int32_t>(v.value);
}

void dosource(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string s;
    if (!getstring(a, s)) {
        asmerr(a, "missing string");
        return;
    }
    size_t colon = s.rfind(':');
    if (colon == std::string::npos || colon + 1 >= s.size()) {
        asmerr(a, "bad .source directive");
        return;
    }
    for (size_t i = colon + 1; i < s.size(); i++)
        if (!((s[i] >= '0' && s[i] <= '9') || s[i] == '-')) {
            asmerr(a, "bad .source directive");
            return;
        }
    if (a.listing) lstsource(a, s.substr(0, colon), s.substr(colon + 1));
}

void dobase(Assembler& a, const OpcodeEntry&, std::string_view) {
    // the new base is written in decimal, or with its own radix
    int old = a.base;
    a.base = 10;
    bool ok;
    uint32_t b = getabs(a, ok);
    a.base = old;
    if (!ok) return;
    if (b == 2 || b == 8 || b == 10 || b == 16) a.base = static_cast<int>(b);
    else asmerr(a, "invalid base");
}

void dofail(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string s;
    if (getstring(a, s)) {
        int t = gettoken(a);
        ungettoken(a, t);
        if (t == T_EOL) {
            asmerr(a, s);
            return;
        }
        // a character constant that starts an expression
        a.backtokens.pop_back();
        ungettoken(a, t);
        a.tokstr = s;
        ungettoken(a, T_STRING);
    }
    AsmValue v;
    getexpr(a, v);
    asmerr(a, "fail " + std::to_string(static_cast<int32_t>(v.value)));
}

void domessg(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string s;
    if (!getstring(a, s)) {
        asmerr(a, "syntax error");
        return;
    }
    if (a.pass == 0) putstdout(a, s + "\n");
}

void doinfo(Assembler& a, const OpcodeEntry&, std::string_view) {
    std::string s;
    if (getstring(a, s)) {
        addinfo(a, s);
        return;
    }
    if (atend(a)) addinfo(a, std::string_view("\0", 1));
    else asmerr(a, "syntax error");
}

void dotabs(Assembler& a, const OpcodeEntry&, std::string_view) {
    while (curc(a)) advance(a);
}

struct DirectiveRow {
    const char* name;
    DirectiveHandler handler;
    int value;
    uint8_t flags;  // besides OP_DIRECTIVE
};

constexpr uint8_t L = OP_LABEL, C = OP_LISTCTL, F = OP_FALSECOND, B = OP_ENDBODY, D = OP_DEBUG;

// name        handler         value flags
const DirectiveRow kDirectives[] = {
    {"equ", doequ, 0, L},          {"set", doequ, 1, L},          {"#define", dodefine, 0, 0},
    {"lit", dolit, 0, L},          {"xdef", doxdef, 0, 0},        {"xref", doxdef, 3, 0},
    {"xref.b", doxdef, 1, 0},      {"xrefb", doxdef, 1, 0},       {"xref.w", doxdef, 2, 0},
    {"xref.l", doxdef, 4, 0},      {"xbit", doxdef, 5, 0},        {"xbit.w", doxdef, 5, 0},
    {"xbit.b", doxdef, 6, 0},      {"local", dolocal, 0, 0},      {"section", dosection, 0, 0},
    {"switch", doswitch, 0, 0},    {"bsct", doswitch, 1, 0},      {"offset", dooffset, 0, 0},
    {"org", doorg, 0, 0},          {"save", dosave, 0, 0},        {"restore", dosave, 1, 0},
    {"dc", dodc, 1, 0},            {"dc.b", dodc, 1, 0},          {"fcb", dodc, 1, 0},
    {"fcc", dodc, 1, 0},           {"dc.w", dodc, 2, 0},          {"fdb", dodc, 2, 0},
    {"dc.l", dodc, 4, 0},          {"dcb", dodcb, 1, 0},          {"dcb.b", dodcb, 1, 0},
    {"dcb.w", dodcb, 2, 0},        {"dcb.l", dodcb, 4, 0},        {"ds", dods, 0, 0},
    {"ds.b", dods, 0, 0},          {"rmb", dods, 0, 0},           {"ds.w", dods, 1, 0},
    {"ds.l", dods, 2, 0},          {"align", doalign, 1, 0},      {"even", doalign, 0, 0},
    {"include", doinclude, 0, C},  {"#include", doinclude, 0, C}, {"end", doend, 0, 0},
    {"#line", doline, 1, C},       {".sfile", doline, 0, C},      {".source", dosource, 0, 0},
    {"base", dobase, 0, 0},        {"fail", dofail, 0, 0},        {"#error", dofail, 0, 0},
    {"messg", domessg, 0, 0},      {".info", doinfo, 0, C},       {"funa", dofuna, 0, C},
    {"macro", macrodirective, 0, L}, {"endm", macrodirective, 1, B}, {"mexit", macrodirective, 2, C},
    {"repeat", macrodirective, 3, C}, {"repeatl", macrodirective, 4, C}, {"irp", macrodirective, 4, C},
    {"endr", macrodirective, 5, B}, {"rexit", macrodirective, 6, C},
    {"if", conddirective, 0, F},   {"ifne", conddirective, 0, F}, {"ifeq", conddirective, 1, F},
    {"iflt", conddirective, 2, F}, {"ifle", conddirective, 3, F}, {"ifgt", conddirective, 4, F},
    {"ifge", conddirective, 5, F}, {"ifc", conddirective, 6, F},  {"ifnc", conddirective, 7, F},
    {"ifdef", conddirective, 8, F}, {"ifndef", conddirective, 9, F}, {"#if", conddirective, 0, F},
    {"#ifdef", conddirective, 8, F}, {"#ifndef", conddirective, 9, F}, {"else", conddirective, 20, F},
    {"elsec", conddirective, 20, F}, {"#else", conddirective, 20, F}, {"endif", conddirective, 21, F},
    {"endc", conddirective, 21, F}, {"#endif", conddirective, 21, F},
    {"list", listdirective, 0, C}, {"nol", listdirective, 1, C},  {"nolist", listdirective, 1, C},
    {"clist", listdirective, 10, 0}, {"dlist", listdirective, 11, 0}, {"mlist", listdirective, 12, C},
    {"page", listdirective, 20, C}, {"nopage", listdirective, 20, C}, {"plen", listdirective, 21, C},
    {"spc", listdirective, 22, C}, {"title", listdirective, 23, C}, {"ttl", listdirective, 23, C},
    {"subttl", listdirective, 24, C}, {"tabs", dotabs, 0, 0},
    {".dcall", dodebug, 0, D},     {".dentry", dodebug, 1, D},    {".dtable", dodebug, 2, D},
    {".dquit", dodebug, 4, D},     {".dline", dodebug, 8, D},     {".dendfn", dodebug, 16, D},
    {".dstart", dodebug, 32, D},   {".dfile", dodebug, 64, D},    {".dstring", dodebug, 65, D},
    {".dopt", dodebug, 128, D},
};

const OpcodeEntry* lookupopcode(Assembler& a, std::string_view name) {
    a.sizeletter = 0;
    a.recmark = a.ovmark = false;
    if (name.size() >= 3 && name[name.size() - 2] == '.') {
        const OpcodeEntry* full = a.ops.find(name, a.skipoverride);
        if (full && (full->flags & OP_DIRECTIVE)) return full;
        const OpcodeEntry* e = a.ops.find(name.substr(0, name.size() - 2), a.skipoverride);
        if (e) {
            a.sizeletter = name.back();
            if (e->flags & OP_INSN) a.recmark = true;
            return e;
        }
        return full;
    }
    if (name.size() >= 2 && name.back() == '.') {
        std::string_view base = name.substr(0, name.size() - 1);
        a.recmark = true;
        if (const OpcodeEntry* e = a.ops.find(base, a.skipoverride)) return e;
        if (base.size() >= 2 && base.back() == 'o') {
            a.ovmark = true;
            return a.ops.find(base.substr(0, base.size() - 1), a.skipoverride);
        }
        return nullptr;
    }
    if (const OpcodeEntry* e = a.ops.find(name, a.skipoverride)) return e;
    if (name.size() >= 2 && name.back() == 'o') {
        const OpcodeEntry* e = a.ops.find(name.substr(0, name.size() - 1), a.skipoverride);
        if (e && (e->flags & OP_INSN)) {
            a.ovmark = true;
            return e;
        }
    }
    return nullptr;
}

}  // namespace

void registerdirectives(Assembler& a) {
    for (const auto& row : kDirectives)
        a.ops.add(row.name, static_cast<uint8_t>(OP_DIRECTIVE | row.flags), row.value, row.handler);
    a.ops.add("vle", OP_DIRECTIVE, 0, dovle);
}

AsmSymbol* labelsymbol(Assembler& a, std::string_view name) {
    LineMemo* m = a.labelmemo;
    if (m && m->labelsym && m->labelsym <= a.syms.store.size()) {
        AsmSymbol* s = a.syms.store[m->labelsym - 1];
        // the same name, and for a local label the same block
        if (s->name == name && (!(s->iflags & SI_LOCAL) || s->block == a.syms.block)) return s;
    }
    AsmSymbol* s = a.syms.find(name);
    if (m) m->labelsym = s->id + 1;
    return s;
}

void deflabel(Assembler& a, std::string_view name) {
    AsmSymbol* s = labelsymbol(a, name);
    if (s->iflags & SI_REGISTER) {
        asmerr(a, "bad symbol name: " + s->name);
        return;
    }
    if (multiplydefined(a, s)) return;
    bool wasdefined = s->flags & SYM_DEFINED;
    uint32_t oldvalue = s->value;
    uint16_t oldsect = s->section;
    s->iflags &= static_cast<uint16_t>(~(SI_ALIAS | SI_SET));
    s->alias = nullptr;
    recorddef(a, s);
    s->flags = static_cast<uint8_t>((s->flags & (SYM_REFERENCED | SYM_PUBLIC)) | SYM_DEFINED |
                                    sectionbits(a.cur->attr));
    if (a.opt.mi) s->flags |= SYM_PUBLIC;
    if (!(s->iflags & SI_LOCAL) && !(name.size() > 1 && name[0] == '.' && name[1] >= '0' && name[1] <= '9'))
        a.syms.block++;
    if (inabs(a)) {
        s->flags |= SYM_ABSOLUTE;
        s->section = 0;
    } else {
        s->section = static_cast<uint16_t>(a.cur->index);
    }
    if (a.cur->iflags & SCI_DEBUG) s->iflags |= SI_DEBUGSECT;
    s->value = here(a);
    s->datasize = 0;
    if (wasdefined && oldsect == s->section && s->section) a.cur->shift = s->value - oldvalue;
    noticechange(a, wasdefined && (oldvalue != s->value || oldsect != s->section));
    a.lastlabel = s;
    if (a.listing) lstlabel(a);
}

// The opcode entry of a line, remembered while the opcode table stays as it was.
static const OpcodeEntry* findopcode(Assembler& a, std::string_view opname, LineMemo* memo) {
    if (memo && !a.skipoverride && (memo->state & MEMO_ENTRY) && memo->generation == a.ops.generation) {
        a.sizeletter = static_cast<char>(memo->sizeletter);
        a.recmark = (memo->state & MEMO_RECMARK) != 0;
        a.ovmark = (memo->state & MEMO_OVMARK) != 0;
        return memo->entry ? a.ops.store[memo->entry - 1].get() : nullptr;
    }
    const OpcodeEntry* e = lookupopcode(a, opname);
    if (memo && !a.skipoverride) {
        uint32_t id = e ? e->id + 1 : 0;
        if (memo->entry != id) memo->insnsize = 0;
        memo->entry = id;
        memo->generation = a.ops.generation;
        memo->sizeletter = static_cast<uint8_t>(a.sizeletter);
        memo->state = static_cast<uint8_t>((memo->state & (MEMO_HEAD | MEMO_NOHEAD)) | MEMO_ENTRY |
                                           (a.recmark ? MEMO_RECMARK : 0) | (a.ovmark ? MEMO_OVMARK : 0));
    }
    return e;
}

void asmline(Assembler& a, const std::string& text) {
    LineMemo* memo = a.linememo;
    a.linememo = nullptr;
    a.labelmemo = nullptr;
    if (&text != &a.line) a.line = text;
    a.pos = 0;
    resettokens(a);
    if (a.line.size() >= 0xFFFF || a.opt.m) memo = nullptr;
    a.exprdepth = 0;
    a.afterdefine = false;
    a.dotnames = true;
    a.sizeletter = 0;
    a.recmark = a.ovmark = false;
    lstbegin(a);
    if (a.opt.vername && !text.empty() && text[0] == '&') {
        if (assembling(a) && !a.recmacro && !a.recrepeat) verilogline(a, text.substr(1));
        lstline(a);
        return;
    }
    if (a.opt.m && !text.empty() && text[0] == '*') {
        lstline(a);
        return;
    }
    bool recording = a.recmacro || a.recrepeat;
    if (recording) memo = nullptr;
    a.labelmemo = memo;
    std::string_view label, opname;
    std::string labelbuf, opbuf;  // names not as the line spells them
    if (memo && (memo->state & MEMO_HEAD)) {
        std::string_view line = a.line;
        // the first name starts the line after its blanks; an opcode after a
        // label ends where the scan stopped
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) start = line.size();
        label = line.substr(start, memo->labellen);
        opname = line.substr(memo->labellen ? memo->after - memo->oplen : start, memo->oplen);
        a.pos = memo->after;
    } else {
        uint32_t errs = a.errcalls;
        asmskip(a);
        size_t start = a.pos, oppos = 0;
        bool simple = memo && !(memo->state & MEMO_NOHEAD);
        char c = curc(a);
        if (c == '#' || c == '-') {
            advance(a);
            opbuf = std::string(1, c) + scanname(a);
            opname = opbuf;
            simple = false;
        } else {
            std::string namebuf;
            std::string_view name;
            if (!scanview(a, name)) {
                namebuf = scanname(a);
                name = namebuf;
            }
            if (name.empty()) {
                if (!atend(a) && assembling(a) && !recording) asmerr(a, "bad comment delimiter");
                bool macrobody = a.recmacro;
                if (recording) storebody(a, nullptr, text);
                if (!recording || macrobody) lstline(a);
                printerr(a);
                return;
            }
            size_t nameend = a.pos;
            asmskip(a);
            if (curc(a) == ':') {
                advance(a);
                label = std::string_view(a.line).substr(start, nameend - start);
                if (a.opt.mi && assembling(a) && !recording) a.syms.find(name)->flags |= SYM_PUBLIC;
            } else if (start == 0 && iscolumn0label(a, text)) {
                label = std::string_view(a.line).substr(start, nameend - start);
            } else {
                opname = std::string_view(a.line).substr(start, nameend - start);
                oppos = start;
            }
            // a name scanned from the line is the line's text unless it was cut short
            if (name.size() != nameend - start) {
                std::string& buf = label.empty() ? opbuf : labelbuf;
                buf = std::string(name);
                (label.empty() ? opname : label) = buf;
                simple = false;
            }
            if (!label.empty()) {
                asmskip(a);
                if (curc(a) == '#') {
                    advance(a);
                    opbuf = "#" + scanname(a);
                    opname = opbuf;
                    simple = false;
                } else {
                    oppos = a.pos;
                    if (!scanview(a, opname)) {
                        opbuf = scanname(a);
                        opname = opbuf;
                        if (opbuf.size() == a.pos - oppos) opname = std::string_view(a.line).substr(oppos, opbuf.size());
                        else simple = false;
                    }
                }
            }
        }
        if (simple && a.errcalls == errs && label.size() <= 0xFF && opname.size() <= 0xFF &&
            oppos == (label.empty() ? start : a.pos - opname.size())) {
            memo->labellen = static_cast<uint8_t>(label.size());
            memo->oplen = static_cast<uint8_t>(opname.size());
            memo->after = static_cast<uint16_t>(a.pos);
            memo->state |= MEMO_HEAD;
        } else if (memo) {
            memo->state |= MEMO_NOHEAD;
        }
    }
    const OpcodeEntry* e = opname.empty() ? nullptr : findopcode(a, opname, memo);
    if (!recording) starttokens(a, memo);
    if (recording) {
        // macro bodies are listed as written; repeat bodies only as expanded
        bool macrobody = a.recmacro;
        storebody(a, e, text);
        if (macrobody) lstline(a);
        printerr(a);
        return;
    }
    if (!opname.empty() && !e) {
        if (assembling(a)) reporterr(a, "unknown instruction " + std::string(opname), true);
        if (assembling(a) && !label.empty()) deflabel(a, label);
        lstline(a);
        printerr(a);
        return;
    }
    if (!assembling(a)) {
        if (e && (e->flags & OP_FALSECOND)) e->handler(a, *e, label);
        lstfalse(a);
        printerr(a);
        return;
    }
    bool takeslabel = e && ((e->flags & OP_LABEL) || e->handler == dosection);
    if (!label.empty() && !takeslabel) deflabel(a, label);
    if (e) {
        if ((e->flags & OP_LABEL) && label.empty()) {
            asmerr(a, "missing label");
        } else if (e->flags & OP_MACRO) {
            callmacro(a, *e);
        } else if (e->flags & OP_INSN) {
            leaveoffset(a);
            if (a.opt.x) debugline(a);
            asminsn(a, *e);
        } else {
            e->handler(a, *e, label);
        }
        if (!(e->flags & OP_MACRO) && !lineend(a)) asmerr(a, "bad comment delimiter");
    }
    if (e && ((e->flags & OP_LISTCTL) || ((e->flags & OP_FALSECOND) && !a.clist) || ((e->flags & OP_DEBUG) && !a.dlist)))
        lstskip(a);
    lstline(a);
    printerr(a);
}

}  // namespace as
