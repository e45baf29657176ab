// Struct, union and enum specifiers: finding or making the tag, enumerator
// lists with the smallest underlying type that holds their values, and the
// layout of members with the target's alignments, bit-field units (chosen by
// the declared type: char, short or int units), packed structs, anonymous
// members and flexible array members.
//
// tag-type  := ( struct | union | enum ) [ name ] [ '{' body '}' ]
// enum-body := enumerator { ',' enumerator } [ ',' ]      (trailing ',' with -c99)
// enumerator := name [ '=' constant ]
// members   := { declaration-specifiers member { ',' member } ';' }
// member    := declarator [ ':' constant ] | ':' constant
#include <algorithm>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

uint16_t tagkind(uint16_t keyword) {
    return keyword == kw::Struct ? ty::Struct : keyword == kw::Union ? ty::Union : ty::Enum;
}

// An offset rounded up to a power of two, wrapping at 32 bits as the
// target's offsets do.
uint32_t roundup(uint32_t offset, uint32_t a) { return (offset + a - 1) & ~(a - 1); }

Symbol* newtag(Parser& P, const unsigned char* name, uint16_t kind) {
    Scopes& S = P.syms.scopes;
    TypeNode* t = newtype(P, kind, nullptr);
    Symbol* tag = newsym(P, S.protodepth > 0 ? &S.prototags : &S.tags, name, 0, t);
    t->tag = tag;
    return tag;
}

// The layout of one struct or union body while its members are read.
struct Layout {
    Parser& P;
    TypeNode* st;
    bool isunion;
    bool packed;
    Symbol* head = nullptr;
    Symbol** tail = &head;
    uint32_t offset = 0;  // struct: next free byte
    uint32_t size = 0;    // union: largest member
    int unitbits = 0;     // open bit-field unit: 8, 16 or 32; 0 none
    uint32_t unitoffset = 0;
    uint32_t used = 0;    // bits used in the open unit
    bool flexible = false;

    uint32_t unitbytes() const { return unitbits == 32 ? packbitfields(P, head, used) : unitbits / 8u; }

    void closeunit() {
        if (!unitbits) return;
        if (isunion)
            size = std::max(size, unitbytes());
        else
            offset = unitoffset + unitbytes();
        unitbits = 0;
    }

    uint64_t before = P.syms.serial;  // members of this body are newer

    // A member of this body by name: each member's home is the type's member
    // list, so the symbols of the name are the candidates (newest first).
    Symbol* find(const unsigned char* name) const {
        for (Symbol* m = name ? namesyms(name) : nullptr; m && m->serial > before; m = m->samename)
            if (m->home == &st->members) return m;
        return nullptr;
    }

    Symbol* add(const unsigned char* name, TypeNode* type, uint16_t attributes, uint32_t value) {
        Symbol* m = newsym(P, nullptr, name, sc::Member, type);
        m->attributes = attributes;
        m->value = value;
        m->flags |= sf::Declared;
        m->home = &st->members;
        *tail = m;
        tail = &m->next;
        return m;
    }

    // Room for a member of the given size; returns its offset.
    uint32_t place(TypeNode* type, uint32_t bytes) {
        if (isunion) {
            size = std::max(size, bytes);
            return 0;
        }
        if (!packed) offset = roundup(offset, 1u << alignclass(type));
        uint32_t at = offset;
        offset += bytes;
        return at;
    }

    void bitfield(const Decl& d, int32_t width);
    void member(const Decl& d);
    void anonymous(TypeNode* type);
};

void Layout::bitfield(const Decl& d, int32_t width) {
    const unsigned char* name = d.s.name;
    TypeNode* declared = basetype(d.s.type);
    int bits = 0;
    if (declared) {
        switch (declared->code) {
        case ty::Char:
        case ty::UChar: bits = 8; break;
        case ty::Short:
        case ty::UShort: bits = 16; break;
        case ty::Int:
        case ty::UInt:
        case ty::Long:
        case ty::ULong: bits = 32; break;
        default: break;
        }
    }
    if (!bits) {
        putdiag(P, "invalid bitfield type");
        return;
    }
    if (width < 0 || width > bits || (width == 0 && name)) {
        putdiag(P, "invalid bitfield size");
        return;
    }
    if (width == 0) {
        closeunit();
        return;
    }
    if (unitbits != bits || used + static_cast<uint32_t>(width) > static_cast<uint32_t>(bits)) {
        closeunit();
        unitbits = bits;
        used = 0;
        if (isunion) {
            unitoffset = 0;
        } else {
            if (bits > 8 && !packed) {
                uint32_t unit = static_cast<uint32_t>(bits / 8);
                offset = roundup(offset, unit);
            }
            unitoffset = offset;
        }
    }
    uint32_t pos = P.opt.rb ? static_cast<uint32_t>(bits) - used - static_cast<uint32_t>(width) : used;
    used += static_cast<uint32_t>(width);
    if (!name) return;
    uint16_t code = static_cast<uint16_t>((bits == 8 ? ty::Char : bits == 16 ? ty::Short : ty::Int) | 0x03);
    TypeNode* t = newtype(P, code, nullptr);
    t->detail = pos | static_cast<uint32_t>(width) << 8;
    add(name, t, d.s.attributes, unitoffset);
}

void Layout::member(const Decl& d) {
    TypeNode* type = d.s.type;
    if (type && type->code == ty::Function) {
        putdiag(P, "invalid function member");
        return;
    }
    closeunit();
    if (flexible && !isunion) putdiag(P, "invalid flexible array usage");
    bool incomplete = type && (type->code == ty::Struct || type->code == ty::Union) && !type->members;
    uint32_t bytes;
    bool isflexible = !isunion && P.opt.c99 && type &&
                      ((type->code == ty::Array && type->count() == 0) || (type->code == ty::Struct && type->subtype));
    if (isflexible) {
        if (flexible || offset == 0) putdiag(P, "invalid flexible array usage");
        flexible = true;
        st->subtype = type->code == ty::Array ? type : type->subtype;
        bytes = type->code == ty::Array ? 0 : typesize(P, type);
    } else if (isunion && incomplete) {
        bytes = 0;
    } else {
        bytes = sizeoftype(P, type);
    }
    add(d.s.name, type, d.s.attributes, place(type, bytes));
}

// A struct or union member without name: its members become this type's.
void Layout::anonymous(TypeNode* type) {
    closeunit();
    uint32_t at = place(type, typesize(P, type));
    bool first = true;
    for (Symbol* m = type->members; m; m = m->next) {
        if (find(m->name)) {
            putdiag(P, "redefined anonymous member %.*s", namelength(m->name), nametext(m->name));
            continue;
        }
        Symbol* c = add(m->name, m->type, m->attributes, at + m->value);
        c->flags = m->flags;
        if (type->code == ty::Union && !first) c->flags |= sf::SharesStorage;
        first = false;
    }
}

// Consumes up to and including the ';' that ends a member declaration, or
// up to the '}' that ends the body.
void skipmember(Parser& P) {
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::Semi) return;
        if (t->code == tok::RBrace || t->code == tok::End) {
            pushtoken(P);
            return;
        }
    }
}

}  // namespace

// The unit of int bit-fields is always an int.
uint32_t packbitfields(Parser&, Symbol*, uint32_t) { return 4; }

TypeNode* parsetagtype(Parser& P, uint16_t keyword, Decl& d) {
    Scopes& S = P.syms.scopes;
    uint16_t kind = tagkind(keyword);
    TypeNode* type;
    Token* t = nexttoken(P);
    if (t->code == tok::Name) {
        const unsigned char* name = t->name;
        d.declares = true;
        bool body = nexttoken(P)->code == tok::LBrace;
        pushtoken(P);
        Symbol* found = nullptr;
        bool current = false;
        if (S.protodepth > 0) found = lookupsym(P, name, &S.prototags, nullptr);
        if (!found) found = lookupsym(P, name, &S.tags, S.tagmark);
        current = found != nullptr;
        if (!found) found = lookupsym(P, name, &S.tags, nullptr);
        Symbol* tag = found;
        if (found && current) {
            if (found->type->code != kind) {
                putdiag(P, "redefined tag type %.*s", namelength(name), nametext(name));
                tag = newtag(P, name, kind);
            } else if (body && found->type->members) {
                putdiag(P, "redefined tag name %.*s", namelength(name), nametext(name));
                tag = newtag(P, name, kind);
            }
        } else if (found && (found->type->code != kind || body)) {
            tag = newtag(P, name, kind);
        } else if (!found) {
            tag = newtag(P, name, kind);
        }
        type = tag->type;
    } else if (t->code == tok::LBrace) {
        pushtoken(P);
        type = newtype(P, kind, nullptr);
    } else {
        pushtoken(P);
        putdiag(P, "incomplete type");
        return P.types.sint;
    }
    if (nexttoken(P)->code != tok::LBrace) {
        pushtoken(P);
        if (kind == ty::Enum && !type->members) {
            if (!P.opt.ne) putdiag(P, "undefined enum type");
            if (!type->subtype) type->subtype = P.types.sint;
        }
        return type;
    }
    DeclNesting nesting(P);
    if (nesting.toodeep) return type;
    if (kind == ty::Enum) {
        parseenum(P, type);
        // enumeration constants are declared even by an enum without tag
        if (type->members) d.declares = true;
    } else {
        parsemembers(P, type, d.s.attributes);
    }
    return type;
}

void parseenum(Parser& P, TypeNode* e) {
    Scopes& S = P.syms.scopes;
    bool proto = S.protodepth > 0;
    Symbol** scope = proto ? &S.protoordinary : &S.ordinary;
    Symbol* mark = proto ? nullptr : S.ordinarymark;
    Symbol* first = nullptr;
    Symbol* last = nullptr;
    int32_t value = 0, low = 0, high = 0;
    bool aftercomma = false;
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::RBrace && aftercomma && P.opt.c99) {
            pushtoken(P);
            break;
        }
        if (t->code != tok::Name) {
            pushtoken(P);
            putdiag(P, "missing enumeration member");
            break;
        }
        const unsigned char* name = t->name;
        Symbol* earlier = lookupsym(P, name, scope, mark);
        if (earlier && (earlier->flags & sf::Declared))
            putdiag(P, "redeclared enum member %.*s", namelength(name), nametext(name));
        if (nexttoken(P)->code == tok::Assign)
            evalconst(P, value, 1);
        else
            pushtoken(P);
        Symbol* c = newsym(P, scope, name, sc::EnumConst, P.types.sint);
        c->flags |= sf::Declared | sf::Referenced;
        c->value = static_cast<uint32_t>(value);
        if (last)
            last->enumnext = c;
        else
            first = c;
        last = c;
        low = std::min(low, value);
        high = std::max(high, value);
        value = static_cast<int32_t>(static_cast<uint32_t>(value) + 1);
        if (nexttoken(P)->code != tok::Comma) {
            pushtoken(P);
            break;
        }
        aftercomma = true;
    }
    if (nexttoken(P)->code != tok::RBrace) {
        pushtoken(P);
        putdiag(P, "missing } in enum definition");
    }
    TypeNode* under = P.types.sint;
    if (!P.opt.ne) {
        const BasicTypes& B = P.types;
        if (low >= 0)
            under = high < 256 ? B.uchar : high < 65536 ? B.ushrt : B.ulong;
        else
            under = (low >= -128 && high <= 127) ? B.chr : (low >= -32768 && high <= 32767) ? B.shrt : B.slong;
    }
    e->subtype = under;
    e->members = first;
    for (Symbol* c = first; c; c = c->enumnext) c->type = under;
    if (last) last->flags |= sf::LastEnum;
}

void parsemembers(Parser& P, TypeNode* st, uint16_t attributes) {
    Layout L{P, st, st->code == ty::Union, (attributes & attr::Packed) != 0};
    Symbol* tag = st->tag;
    if (tag) tag->flags |= sf::Defining;
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::RBrace || t->code == tok::End) {
            pushtoken(P);
            break;
        }
        pushtoken(P);
        Decl common;
        declhead(P, common, allow::Member);
        if (P.opt.csb && (common.keywords & 0x0040)) {
            putdiag(P, "signed bitfield not supported");
            common.keywords &= ~0x0040u;
        }
        bool warned = false;
        for (;;) {
            Decl d = common;
            bool hasdecl = false;
            if (nexttoken(P)->code == tok::Colon) {
                pushtoken(P);
            } else {
                pushtoken(P);
                hasdecl = declarator(P, d);
            }
            if (nexttoken(P)->code == tok::Colon) {
                int32_t width = 0;
                evalconst(P, width, 1);
                if (d.s.name && d.implicitint && !warned) {
                    putdiag(P, "W5implicit int type in struct/union declaration");
                    warned = true;
                }
                L.bitfield(d, width);
            } else {
                pushtoken(P);
                TypeNode* type = d.s.type;
                if (!hasdecl) {
                    if (!P.opt.sa && common.tagspec && type && (type->code == ty::Struct || type->code == ty::Union))
                        L.anonymous(type);
                } else if (!d.s.name) {
                    putdiag(P, "missing member name");
                } else {
                    if (L.find(d.s.name))
                        putdiag(P, "redefined member %.*s", namelength(d.s.name), nametext(d.s.name));
                    if (d.implicitint && !warned) {
                        putdiag(P, "W5implicit int type in struct/union declaration");
                        warned = true;
                    }
                    bool embedded = type && (type->code == ty::Struct || type->code == ty::Union) && type->tag &&
                                    (type->tag->flags & sf::Defining);
                    if (type && type->code == ty::Enum && !type->members) putdiag(P, "incomplete enum type");
                    // A struct that held itself would have no size: the member is left out.
                    if (embedded)
                        putdiag(P, "embedded usage of tag name %.*s", namelength(type->tag->name),
                                nametext(type->tag->name));
                    else
                        L.member(d);
                }
            }
            if (nexttoken(P)->code != tok::Comma) {
                pushtoken(P);
                break;
            }
        }
        if (nexttoken(P)->code != tok::Semi) {
            pushtoken(P);
            putdiag(P, "missing ; in member definition");
            skipmember(P);
        }
    }
    if (nexttoken(P)->code != tok::RBrace) {
        pushtoken(P);
        putdiag(P, "missing } in struct/union definition");
    }
    L.closeunit();
    uint32_t size = L.isunion ? L.size : L.offset;
    if (!L.head) putdiag(P, "missing member declaration");
    st->members = L.head;
    if (size > 1 && !L.packed) {
        size = roundup(size, 1u << alignclass(st));
    }
    st->size = size;
    if (tag) tag->flags &= ~sf::Defining;
}

}  // namespace cpppc
