// The debug records: the unit described for the debugger as labelled data
// in the intermediate file. Entries are cells (137 values, 148 strings, 200
// addresses) placed by 213 labels; the debugger finds everything by
// following addresses from a file entry through the chain of function link
// entries to the file's closing entry. Symbols are described in two passes:
// pass 0 writes each one's name record and the descriptions of its type,
// pass 1 the list of value records that points at them. A struct, union or
// enum layout is written once per source file and referred to afterwards:
// a label number greater than the current file's name record label was
// written for this file.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "parser/exprtree.h"
#include "parser/irwrite.h"
#include "toollib/services.h"

namespace cpppc {

namespace {

constexpr uint32_t kAliasesOther = 0x400000; // a nostack parameter aliasing another object
constexpr uint8_t kFileTag = 140;
constexpr uint8_t kLabelTag = 18;
constexpr uint32_t kLabelTypeWord = 88;

uint32_t bswap(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

bool livesinreg(const Symbol* s) { return s->sclass == sc::RegParam && s->attributes >= 1 && s->attributes <= 36; }

// The function being written is nostack: its writer named its local area.
bool innostack(Parser& P) { return !P.irw.nostackname.empty(); }

// The name as the debug data shows a file: base name with -xp, full path
// with -xf, else as opened.
std::string debugfilename(Parser& P, const std::string& name) {
    if (P.opt.xf) return fullpath(name);
    if (P.opt.xp) {
        const char* sep = tl::lastdirsep(name.c_str());
        if (sep) return std::string(sep + 1);
    }
    return name;
}

void putstring(Parser& P, const std::string& s) {
    putbytes(P, reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

void putsymname(Parser& P, Symbol* s) {
    size_t n = irnamelength(P, s->name);
    putbytes(P, reinterpret_cast<const unsigned char*>(nametext(s->name)), n);
}

// A 214 or 215 record: byte 0 and a file-kind name block.
void putdebugname(Parser& P, uint8_t code, const std::string& text) {
    if (text.size() > ir::kMaxName) {
        putdiag(P, "name too long for intermediate file");
        return;
    }
    if (ir::Output* o = irsink(P)) {
        o->u8(code);
        o->u8(0);
        o->name(ir::NameBlock::named(ir::NK_FILE, text));
    }
}

// The enumeration whose constants include c, among the file-level tags.
TypeNode* enumof(Parser& P, const Symbol* c) {
    for (Symbol* t = P.syms.scopes.tags; t; t = t->next) {
        TypeNode* e = t->type;
        if (!e || e->code != ty::Enum) continue;
        for (Symbol* m = e->members; m; m = m->enumnext)
            if (m == c) return e;
    }
    return nullptr;
}

uint8_t basecode(TypeNode* t) {
    if (!t) return 0;
    switch (t->code) {
    case ty::Char: return 8;
    case ty::UChar: return 10;
    case ty::CharField: return 11;
    case ty::Short: return 16;
    case ty::UShort: return 17;
    case ty::ShortField: return 18;
    case ty::Int: return 24;
    case ty::UInt: return 26;
    case ty::Long: return 32;
    case ty::ULong: return 33;
    case ty::IntField:
    case ty::LongField: return 34;
    case ty::Float: return 40;
    case ty::Double: return 41;
    case ty::Struct: return 72;
    case ty::Union: return 73;
    case ty::Void: return 80;
    case ty::Enum: {
        uint16_t u = t->subtype ? t->subtype->code & 0xF0 : 0x30;
        return u == 0x10 ? 75 : u == 0x20 ? 76 : u == 0x40 ? 78 : 77;
    }
    default: return 0;
    }
}

bool isaggregate(const TypeNode* t) {
    return t && (t->code == ty::Struct || t->code == ty::Union || t->code == ty::Enum);
}

// Whether a label was placed after the current file's entry began.
bool thisfile(Parser& P, uint16_t label) { return label && label > P.irw.filenamelabel; }

// The members (or constants) of a struct, union or enum, one pass.
void putmembers(Parser& P, TypeNode* t, int pass) {
    if (t->code == ty::Enum) {
        for (Symbol* c = t->members; c; c = c->enumnext) putdebugsym(P, c, pass);
    } else {
        for (Symbol* m = t->members; m; m = m->next) putdebugsym(P, m, pass);
    }
}

// Pass 0 of an aggregate base type: label L, then the address of its layout
// record X and, once per file, the layout. An enum's layout ends like a
// struct's, with its size after the null address.
void putlayout(Parser& P, TypeNode* t, Symbol* s, bool derived) {
    uint32_t l = nextlabel(P);
    putdlabel(P, l);
    if (!derived) {
        s->structdebugno = static_cast<uint16_t>(l);
        putvalue(P, s->attributes, 4);
    }
    if (thisfile(P, t->debugno)) {
        putdref(P, t->debugno);
        return;
    }
    uint32_t x = nextlabel(P);
    t->debugno = static_cast<uint16_t>(x);
    putdref(P, x);
    putmembers(P, t, 0);
    uint8_t kind = t->code == ty::Struct ? 10 : t->code == ty::Union ? 11 : 13;
    Symbol* tag = t->tag;
    uint32_t g;
    if (tag && thisfile(P, tag->debugno)) {
        g = tag->debugno;
    } else {
        g = nextlabel(P);
        putdlabel(P, g);
        if (tag) {
            tag->debugno = static_cast<uint16_t>(g);
            putsymname(P, tag);
        } else {
            putbytes(P, nullptr, 0);
        }
        putvalue(P, kind, 1);
    }
    putdlabel(P, x);
    putdref(P, g);
    putmembers(P, t, 1);
    putdref(P, 0);
    putvalue(P, t->code == ty::Enum ? typesize(P, t) : t->size, 4);
}

}  // namespace

void putdlabel(Parser& P, uint32_t label) {
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_DLABEL);
        o->u8(0);
        o->name(ir::NameBlock::label(static_cast<uint16_t>(label)));
    }
}

void putdref(Parser& P, uint32_t label) {
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_ADDR32);
        o->name(ir::NameBlock::label(static_cast<uint16_t>(label)));
        o->u32(0);
    }
}

void putdstring(Parser& P, const unsigned char* text, size_t length) { putbytes(P, text, length); }

int storagecode(Parser& P, Symbol* s) {
    bool nostack = innostack(P);
    switch (s->sclass) {
    case sc::Static: return 1;
    case sc::None:
    case sc::Extern: return 6;
    case sc::Placed: return 8;
    case sc::Member: return 9;
    case sc::EnumConst: return 12;
    case sc::Typedef: return 17;
    case sc::Auto: return nostack ? 16 : 3;
    case sc::Register: return isregvar(s) ? 4 : nostack ? 16 : 3;
    case sc::Param:
    case sc::RegParam: {
        bool passed = s->flags & sf::RegPassed;
        if (nostack) return (s->flags & kAliasesOther) ? 16 : passed ? 15 : 14;
        if (livesinreg(s)) return passed ? 22 : 5;
        return passed ? 7 : 2;
    }
    default: return 0;
    }
}

void putdebugfile(Parser& P, const std::string& name, uint32_t a, uint32_t b) {
    putdebugname(P, ir::R_DFILE, debugfilename(P, name));
    putdlabel(P, a);
    uint32_t n = nextlabel(P);
    P.irw.filenamelabel = static_cast<uint16_t>(n);
    putdref(P, n);
    putdref(P, b);
    putdlabel(P, n);
    putstring(P, debugfilename(P, name));
    putvalue(P, kFileTag, 1);
}

uint32_t putdebugfunc(Parser& P, const std::string& name, Symbol* f, uint32_t a, uint32_t b) {
    uint32_t d = nextlabel(P);
    putdlabel(P, d);
    putsymname(P, f);
    putvalue(P, static_cast<uint32_t>(storagecode(P, f)), 1);
    TypeNode* r = isfunction(f->type) ? f->type->subtype : f->type;
    putdebugtype(P, r, 0, f, 1);
    putdebugname(P, ir::R_DFUNC, debugfilename(P, name) + "~" + std::string(nametext(f->name), irnamelength(P, f->name)));
    uint32_t e = nextlabel(P);
    putdlabel(P, b);
    putdref(P, e);
    putdref(P, a);
    putdref(P, d);
    return e;
}

namespace {

// Whether putdebugsym describes a symbol at all.
bool described(Parser& P, Symbol* s) {
    if (!s->name || nametext(s->name)[0] == '.') return false;
    if (s->sclass == sc::Extern || s->sclass == sc::AddrReg || (s->flags & sf::AddrRegister) || isfunction(s->type))
        return false;
    if (s->sclass == sc::Typedef && !P.opt.xx) return false;
    if (s->sclass == sc::Placed && P.opt.xu && !(s->flags & sf::Referenced)) return false;
    if (s->sclass == sc::Static && !(s->flags & sf::Referenced) && !P.opt.ku) return false;
    if (s->flags & sf::Hidden) return false;
    if ((s->sclass == sc::Auto || s->sclass == sc::Register) && !(s->flags & sf::LaidOut)) return false;
    return true;
}

// The symbols of a function's scopes: the body and the compound
// statements chained from it. The parameters belong to the body's scope
// and end its list, the highest frame offset first (unless -s).
template <class F>
void eachlocal(Parser& P, StmtNode* body, F f) {
    for (StmtNode* b = body; b; b = b->aux) {
        for (Symbol* s = b->locals; s; s = s->next) f(s);
        if (b != body) continue;
        std::vector<Symbol*> params = P.fn.params;
        if (!P.opt.s)
            std::stable_sort(params.begin(), params.end(), [](const Symbol* x, const Symbol* y) {
                return static_cast<int32_t>(x->value) > static_cast<int32_t>(y->value);
            });
        for (Symbol* p : params) f(p);
    }
}

}  // namespace

void putdebugsym(Parser& P, Symbol* s, int pass) {
    if (!described(P, s)) return;
    if (pass == 0) {
        uint32_t g = nextlabel(P);
        s->debugno = static_cast<uint16_t>(g);
        putdlabel(P, g);
        putsymname(P, s);
        int code = storagecode(P, s);
        putvalue(P, static_cast<uint32_t>(code), 1);
        if (P.opt.an) putvalue(P, s->declline, 4);
        if (s->sclass == sc::EnumConst) return;
        if (code == 5 || code == 22) putvalue(P, static_cast<uint32_t>(std::abs(static_cast<int32_t>(s->value))), 4);
        putdebugtype(P, s->type, 0, s, 0);
        return;
    }
    putdref(P, s->debugno);
    uint32_t frame = static_cast<uint32_t>(std::abs(static_cast<int32_t>(s->value)));
    switch (s->sclass) {
    case sc::EnumConst:
    case sc::Member: putvalue(P, s->value, 4); break;
    case sc::Typedef: putvalue(P, 0, 4); break;
    case sc::Static:
    case sc::None:
    case sc::Placed:
        if (ir::Output* o = irsink(P)) {
            o->u8(ir::R_ADDR32);
        }
        putname(P, s);
        if (ir::Output* o = irsink(P)) o->u32(0);
        break;
    default:
        if (isregvar(s) || livesinreg(s))
            putvalue(P, static_cast<uint32_t>(regstorage(s->attributes)), 4);
        else if (innostack(P))
            putnostackaddr(P, s->value);
        else
            putvalue(P, frame, 4);
        break;
    }
    if (s->sclass == sc::EnumConst) {
        TypeNode* e = enumof(P, s);
        putdebugtype(P, e ? e : s->type, 1, s, 0);
    } else {
        putdebugtype(P, s->type, 1, s, 0);
    }
}

void putdebugtype(Parser& P, TypeNode* t, int pass, Symbol* s, int top) {
    if (P.opt.an && P.opt.asp && top) putvalue(P, s->attributes, 4);
    uint32_t word = 0;
    int shift = 30;
    TypeNode* first = t;
    bool derived = false;
    while (t && (t->code == ty::Pointer || t->code == ty::Array || t->code == ty::Function)) {
        uint32_t step = t->code == ty::Pointer ? 1 : t->code == ty::Function ? 2 : 3;
        if (pass == 0) {
            if (!derived) {
                uint32_t label = nextlabel(P);
                first->debugno = static_cast<uint16_t>(label);
                putdlabel(P, label);
                putvalue(P, s->attributes, 4);
            }
            putvalue(P, t->code == ty::Pointer ? t->pointerattr() : t->code == ty::Array ? t->count() : 0, 4);
        }
        if (shift < 8) {
            putdiag(P, "type too complex for debug");
            return;
        }
        word |= step << shift;
        shift -= 2;
        derived = true;
        t = t->subtype;
    }
    word |= basecode(t);
    if (pass == 1) {
        putvalue(P, bswap(word), 4);
        if (derived)
            putdref(P, first->debugno);
        else if (isaggregate(t))
            putdref(P, s->structdebugno);
        else if (t && (ty::isbitfield(t->code) || s->attributes))
            putdref(P, t->debugno);
        else
            putdref(P, 0);  // a plain type without attributes refers to nothing
        return;
    }
    if (!t) return;
    if (isaggregate(t)) {
        putlayout(P, t, s, derived);
    } else if (ty::isbitfield(t->code)) {
        if (!derived) {
            uint32_t label = nextlabel(P);
            t->debugno = static_cast<uint16_t>(label);
            putdlabel(P, label);
            putvalue(P, s->attributes, 4);
        }
        putvalue(P, t->bitpos() * 256u + t->bitwidth(), 4);
    } else if (!derived && s->attributes) {
        uint32_t label = nextlabel(P);
        t->debugno = static_cast<uint16_t>(label);
        putdlabel(P, label);
        putvalue(P, s->attributes, 4);
    }
}

void putdebugfileend(Parser& P, Symbol* syms, uint32_t a, uint32_t b, uint32_t lines) {
    putdlabel(P, b);
    putdref(P, 0);
    putdref(P, a);
    putdref(P, 0);
    putvalue(P, 1, 4);
    putvalue(P, lines, 4);
    putvalue(P, 0, 4);
    putdref(P, 0);
    bool any = false;
    for (Symbol* s = syms; s; s = nextfilesym(s))
        if (s->sclass != sc::Extern && (s->sclass != sc::Typedef || P.opt.xx) && !isfunction(s->type)) any = true;
    if (any) {
        uint32_t f = nextlabel(P);
        putdref(P, f);
        for (Symbol* s = syms; s; s = nextfilesym(s)) putdebugsym(P, s, 0);
        putdlabel(P, f);
        for (Symbol* s = syms; s; s = nextfilesym(s)) putdebugsym(P, s, 1);
    }
    putdref(P, 0);
    if (P.opt.xx) putusedmacros(P);
}

void putdebuglabel(Parser& P, Symbol* label, int pass) {
    if (pass == 0) {
        uint32_t g = nextlabel(P);
        label->debugno = static_cast<uint16_t>(g);
        putdlabel(P, g);
        putsymname(P, label);
        putvalue(P, kLabelTag, 1);
        return;
    }
    putdref(P, label->debugno);
    StmtNode* st = label->stmt;
    uint16_t number = 0;
    if (st) {
        st->flags |= 0x020;
        if (!st->label) st->label = static_cast<uint16_t>(nextlabel(P));
        number = st->label;
    }
    putdref(P, number);
    putvalue(P, bswap(kLabelTypeWord), 4);
    putvalue(P, 0, 4);
}

void putscopes(Parser& P, StmtNode* body) {
    bool any = false;
    eachlocal(P, body, [&](Symbol* s) {
        if (s->sclass != sc::Extern && s->sclass != sc::AddrReg && !(s->flags & sf::AddrRegister) &&
            (s->sclass != sc::Typedef || P.opt.xx) &&
            !isfunction(s->type))
            any = true;
    });
    bool labels = P.syms.scopes.labels != nullptr;
    uint32_t h = nextlabel(P);
    if (!any && !labels) {
        putdref(P, 0);
        putdref(P, h);
    } else {
        uint32_t s = nextlabel(P);
        putdref(P, s);
        putdref(P, h);
        eachlocal(P, body, [&](Symbol* x) { putdebugsym(P, x, 0); });
        if (P.opt.xx)
            for (Symbol* l = P.syms.scopes.labels; l; l = l->next) putdebuglabel(P, l, 0);
        putdlabel(P, s);
        eachlocal(P, body, [&](Symbol* x) { putdebugsym(P, x, 1); });
        if (P.opt.xx)
            for (Symbol* l = P.syms.scopes.labels; l; l = l->next) putdebuglabel(P, l, 1);
        putdref(P, 0);
    }
    putdlabel(P, h);
    putdstrings(P, body, sf::Called);
    putdstrings(P, nullptr, sf::UsedObject);
}

void putdebugbody(Parser& P, Symbol* f, StmtNode* body, uint32_t declline) {
    putvalue(P, declline, 4);
    putvalue(P, body ? body->lastline : declline, 4);
    TypeNode* r = isfunction(f->type) ? f->type->subtype : f->type;
    putdebugtype(P, r, 1, f, 1);
    putscopes(P, body);
}

void putdstrings(Parser& P, StmtNode* scopes, uint32_t flag) {
    long at = -1;
    if (P.opt.an && irsink(P) && P.out) {
        at = std::ftell(P.out);
        putvalue(P, 0, 4);
    }
    uint32_t count = 0;
    auto one = [&](Symbol* s) {
        if (!(s->flags & flag) || !s->name) return;
        size_t n = irnamelength(P, s->name);
        if (ir::Output* o = irsink(P)) {
            o->u8(ir::R_DSTRING);
            o->text8(std::string_view(nametext(s->name), n));
        }
        s->flags &= ~(sf::Called | sf::UsedObject);
        ++count;
    };
    for (Symbol* s = P.syms.scopes.ordinary; s; s = s->next) one(s);
    eachlocal(P, scopes, one);
    if (!P.opt.an) {
        putvalue(P, count, 4);
    } else if (at >= 0 && irsink(P)) {
        long here = std::ftell(P.out);
        std::fseek(P.out, at, SEEK_SET);
        putvalue(P, count, 4);
        std::fseek(P.out, here, SEEK_SET);
    }
}

void putmacrostring(Parser& P, const std::string& name) {
    std::string text = "#" + name;
    if (text.size() > 255) {
        putdiag(P, "name too long for intermediate file");
        return;
    }
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_DSTRING);
        o->text8(text);
    }
}

void putnostackaddr(Parser& P, uint32_t offset) {
    const std::string& name = P.irw.nostackname;
    if (name.size() > ir::kMaxName) {
        putdiag(P, "name too long for intermediate file");
        return;
    }
    uint8_t kind = static_cast<uint8_t>(ir::NK_DATA | (P.irw.nostackfar ? ir::NK_FAR : 0));
    if (ir::Output* o = irsink(P)) {
        o->u8(ir::R_ADDR32);
        o->name(ir::NameBlock::named(kind, name, P.irw.nostacklabel));
        o->u32(offset);
    }
}

void putusedmacros(Parser& P) {
    for (Macro* m = P.mac.all; m; m = m->link) {
        if (!m->used) continue;
        m->used = false;
        putmacrostring(P, m->name);
        std::string first = m->repl && m->repl->text ? std::string(m->repl->text, m->repl->textlen) : std::string();
        putstring(P, first);
    }
}

void filedebug(Parser& P, Symbol* f) {
    SourceFile* file = P.src.stack.empty() ? P.src.last : P.src.stack.back().file;
    if (!file) return;
    const LineOverride& ov = P.src.stack.empty() ? P.src.lastoverride : P.src.stack.back().override;
    const std::string& name = ov.hasname ? ov.name : file->name;
    if (file->label1 == 0 && (f || file->syms)) {
        file->label1 = nextlabel(P);
        file->label2 = nextlabel(P);
        putdebugfile(P, name, file->label1, file->label2);
    }
    if (f && !P.opt.xd) {
        file->label2 = putdebugfunc(P, name, f, file->label1, file->label2);
    } else if (!f && file->label1) {
        putdebugfileend(P, file->syms, file->label1, file->label2, file->line);
        file->label1 = 0;
    }
}

}  // namespace cpppc
