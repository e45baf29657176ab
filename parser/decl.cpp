// Declaration specifiers and declarators, shared by external declarations,
// parameters, struct members, type names and the attribute pragma.
//
// declhead fills one declaration record (a Symbol with what the parse
// noticed) that is copied for every declarator. A declarator wraps the
// record's type from the outside in: each '*' wraps it in a pointer whose
// attribute word is what was written before the '*'; suffixes are applied
// innermost first; a parenthesized inner declarator is parsed into a record
// of its own whose innermost node then takes the outer type.
//
// declaration-specifiers := { storage-class | type-specifier | qualifier | '@' space | typedef-name }
// declarator             := { '*' { qualifier | '@' space } } ( name | '(' declarator ')' | )
//                           { '(' parameters ')' | '[' [constant] ']' }
#include <vector>

#include "parser/parser.h"
#include "parser/tokencodes.h"

namespace cpppc {

namespace {

constexpr uint32_t kBitConst = 0x0100, kBitVolatile = 0x0200, kBitTag = 0x0800, kBitTypedef = 0x1000;
constexpr uint32_t kBitLong = 0x0008, kBitLongLong = 0x2000;

struct SpecKeyword {
    uint16_t code;
    uint32_t bit;
};
constexpr SpecKeyword kSpecKeywords[] = {
    {kw::Char, 0x0001},     {kw::Short, 0x0002},    {kw::Int, 0x0004},   {kw::Long, kBitLong},
    {kw::Float, 0x0010},    {kw::Double, 0x0020},   {kw::Signed, 0x0040}, {kw::Unsigned, 0x0080},
    {kw::Const, kBitConst}, {kw::Volatile, kBitVolatile}, {kw::Void, 0x0400}, {kw::Struct, kBitTag},
    {kw::Union, kBitTag},   {kw::Enum, kBitTag},
};

struct ClassKeyword {
    uint16_t code;
    uint32_t allowed;
};
constexpr ClassKeyword kClassKeywords[] = {
    {kw::Extern, allow::Extern}, {kw::Static, allow::Static}, {kw::Typedef, allow::Typedef},
    {kw::Auto, allow::Auto},     {kw::Register, allow::Register}, {tok::Inline, allow::Inline},
};

// The combinations of type-specifier bits and the types they give.
struct SpecType {
    uint32_t bits;
    TypeNode* BasicTypes::*node;
};
constexpr SpecType kSpecTypes[] = {
    {0x0001, &BasicTypes::plainchar}, {0x0041, &BasicTypes::chr},   {0x0081, &BasicTypes::uchar},
    {0x0002, &BasicTypes::shrt},      {0x0042, &BasicTypes::shrt},  {0x0082, &BasicTypes::ushrt},
    {0x0006, &BasicTypes::shrt},      {0x0046, &BasicTypes::shrt},  {0x0086, &BasicTypes::ushrt},
    {0x0004, &BasicTypes::sint},      {0x0044, &BasicTypes::sint},  {0x0084, &BasicTypes::uint},
    {0x0040, &BasicTypes::sint},      {0x0080, &BasicTypes::uint},  {0x0008, &BasicTypes::slong},
    {0x0048, &BasicTypes::slong},     {0x0088, &BasicTypes::ulong}, {0x000c, &BasicTypes::slong},
    {0x004c, &BasicTypes::slong},     {0x008c, &BasicTypes::ulong}, {0x2000, &BasicTypes::slong},
    {0x2040, &BasicTypes::slong},     {0x2080, &BasicTypes::ulong}, {0x2004, &BasicTypes::slong},
    {0x2044, &BasicTypes::slong},     {0x2084, &BasicTypes::ulong}, {0x0010, &BasicTypes::flt},
    {0x0020, &BasicTypes::dbl},       {0x0028, &BasicTypes::dbl},   {0x0400, &BasicTypes::vd},
};

uint32_t specbit(uint16_t code) {
    for (const SpecKeyword& k : kSpecKeywords)
        if (k.code == code) return k.bit;
    return 0;
}

uint32_t classbit(uint16_t code) {
    for (const ClassKeyword& k : kClassKeywords)
        if (k.code == code) return k.allowed;
    return 0;
}

// Qualifiers and space modifiers after a '*'.
void qualifiers(Parser& P, uint16_t& word) {
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::At) {
            word = spacemodifier(P, word);
            continue;
        }
        if (t->code == kw::Const || t->code == kw::Volatile) {
            uint16_t bit = t->code == kw::Const ? attr::Const : attr::Volatile;
            if ((word & bit) && !P.opt.c99)
                putdiag(P, "repeated qualifier");
            else
                word |= bit;
            continue;
        }
        pushtoken(P);
        return;
    }
}

bool isflexiblestruct(const TypeNode* t) { return t && t->code == ty::Struct && t->subtype; }

// Checks a derived node about to take `inner` as the type it derives from.
void checkderived(Parser& P, const TypeNode* node, const TypeNode* inner) {
    if (!inner) return;
    if (node->code == ty::Function && (inner->code == ty::Function || inner->code == ty::Array))
        putdiag(P, "invalid function return type");
    if (node->code == ty::Array) {
        if (inner->code == ty::Function)
            putdiag(P, "invalid array type");
        else if (P.opt.c99 && isflexiblestruct(inner))
            putdiag(P, "invalid flexible array combination");
    }
}

}  // namespace

void addtypespec(Parser& P, uint32_t& bits, uint32_t bit) {
    if (!(bits & bit)) {
        bits |= bit;
        return;
    }
    if (bit == kBitLong && !(bits & kBitLongLong)) {
        bits = (bits & ~kBitLong) | kBitLongLong;
        return;
    }
    if (bit == kBitConst || bit == kBitVolatile) {
        if (!P.opt.c99) putdiag(P, "repeated qualifier");
        return;
    }
    putdiag(P, "repeated type keyword");
}

int declhead(Parser& P, Decl& d, uint32_t allowed) {
    Symbol& s = d.s;
    s.sclass = 0;
    s.flags = 0;
    s.attributes = 0;
    s.value = 0;
    s.name = nullptr;
    s.type = nullptr;
    d.keywords = 0;
    d.implicitint = d.declares = d.tagspec = d.fromtypedef = false;
    uint32_t bits = 0;
    TypeNode* tagtype = nullptr;
    TypeNode* typedeftype = nullptr;
    bool any = false;
    for (;;) {
        Token* t = nexttoken(P);
        uint16_t code = t->code;
        if (code == tok::At) {
            any = true;
            s.attributes = spacemodifier(P, s.attributes);
            continue;
        }
        if (uint32_t cls = classbit(code)) {
            any = true;
            if (allowed & allow::Member)
                putdiag(P, "unexpected storage class");
            else if (!(allowed & cls))
                putdiag(P, "illegal storage class");
            else if (s.sclass == sc::Static && code == tok::Inline)
                s.sclass = sc::Inline;
            else if (s.sclass)
                putdiag(P, "invalid storage class");
            else
                s.sclass = static_cast<uint8_t>(code);
            continue;
        }
        if (uint32_t bit = specbit(code)) {
            any = true;
            addtypespec(P, bits, bit);
            d.keywords |= bit;
            if (bit == kBitTag) {
                tagtype = parsetagtype(P, code, d);
                d.tagspec = true;
            }
            continue;
        }
        if (code == tok::Name && !(bits & ~(kBitConst | kBitVolatile))) {
            Symbol* td = findordinary(P, t->name);
            if (td && td->sclass == sc::Typedef) {
                any = true;
                if (!P.opt.c99 && (((bits & kBitConst) && (td->attributes & attr::Const)) ||
                                   ((bits & kBitVolatile) && (td->attributes & attr::Volatile))))
                    putdiag(P, "repeated qualifier");
                typedeftype = td->type;
                s.value = td->value;
                mergespace(P, &s, td->attributes);
                td->flags |= sf::Referenced;
                bits |= kBitTypedef;
                d.fromtypedef = true;
                continue;
            }
        }
        pushtoken(P);
        break;
    }
    if (bits & kBitConst) s.attributes |= attr::Const;
    if (bits & kBitVolatile) s.attributes |= attr::Volatile;
    bits &= ~(kBitConst | kBitVolatile);
    if (bits == 0) {
        s.type = P.types.sint;
        d.implicitint = true;
    } else if (bits == kBitTypedef) {
        s.type = typedeftype;
    } else if (bits == kBitTag) {
        s.type = tagtype;
    } else {
        for (const SpecType& st : kSpecTypes)
            if (st.bits == bits) s.type = P.types.*st.node;
        if (!s.type) {
            putdiag(P, "illegal combination of type keywords");
            s.type = P.types.sint;
        }
    }
    return any ? 1 : 0;
}

constexpr int kMaxDeclNesting = 100;

DeclNesting::DeclNesting(Parser& p) : P(p), toodeep(++p.decl.depth > kMaxDeclNesting) {
    if (!toodeep) return;
    putdiag(P, "declaration too complex");
    for (;;) {
        uint16_t code = nexttoken(P)->code;
        if (code == tok::Semi || code == tok::End) {
            pushtoken(P);
            return;
        }
    }
}

int declarator(Parser& P, Decl& d) {
    TypeNode* base = d.s.type;
    d.star = d.funcsuffix = false;
    DeclNesting nesting(P);
    if (nesting.toodeep) return 0;
    for (;;) {
        if (nexttoken(P)->code != tok::Star) {
            pushtoken(P);
            break;
        }
        d.star = true;
        TypeNode* p = newtype(P, ty::Pointer, d.s.type);
        p->detail = d.s.attributes;
        d.s.attributes = 0;
        d.s.type = p;
        qualifiers(P, d.s.attributes);
    }

    int result = 0;
    Decl inner;
    bool hasinner = false;
    Token* t = nexttoken(P);
    if (t->code == tok::LParen) {
        if (declarator(P, inner) || inner.star) {
            hasinner = true;
            expecttoken(P, tok::RParen);
        } else {
            pushtoken(P);  // the '(' opens a function suffix
        }
        result = 1;
    } else if (t->code == tok::Name) {
        d.s.name = t->name;
        d.line = t->line;
        d.column = t->column;
        result = 1;
    } else {
        result = d.star && (t->code == tok::RParen || t->code == tok::LBrack);
        pushtoken(P);
    }

    std::vector<TypeNode*> suffixes;
    for (;;) {
        uint16_t code = nexttoken(P)->code;
        if (code == tok::LParen) {
            TypeNode* f = newtype(P, ty::Function, nullptr);
            parseparams(P, f);
            expecttoken(P, tok::RParen);
            d.s.attributes |= attr::Code;
            suffixes.push_back(f);
            result = 1;
        } else if (code == tok::LBrack) {
            TypeNode* a = newtype(P, ty::Array, nullptr);
            int32_t n = 0;
            if (evalconst(P, n, 0) && n < 1) {
                putdiag(P, "invalid array dimension");
                n = 0;
            }
            a->detail = static_cast<uint32_t>(n);
            expecttoken(P, tok::RBrack);
            suffixes.push_back(a);
        } else {
            pushtoken(P);
            break;
        }
    }
    for (auto it = suffixes.rbegin(); it != suffixes.rend(); ++it) {
        checkderived(P, *it, d.s.type);
        (*it)->subtype = d.s.type;
        d.s.type = *it;
    }
    if (!suffixes.empty()) d.funcsuffix = suffixes.front()->code == ty::Function;

    // Pointers made here take their pointed-to type's default space.
    for (TypeNode* n = d.s.type; n && n != base; n = n->subtype)
        if (n->code == ty::Pointer && n->subtype)
            n->detail = defaultspace(P, n->pointerattr(), sc::Pointee, n->subtype->code);

    if (hasinner) {
        if (TypeNode* innermost = inner.s.type) {
            while (innermost->subtype) innermost = innermost->subtype;
            checkderived(P, innermost, d.s.type);
            innermost->subtype = d.s.type;
            if (innermost->code == ty::Pointer) {
                innermost->detail = defaultspace(P, d.s.attributes, sc::Pointee, d.s.type ? d.s.type->code : 0);
                d.s.attributes = inner.s.attributes;
            } else if (innermost->code == ty::Function) {
                d.s.attributes = inner.s.attributes;
            }
            d.s.type = inner.s.type;
            d.funcsuffix = inner.funcsuffix;
        }
        d.s.name = inner.s.name;
        d.line = inner.line;
        d.column = inner.column;
        d.star = d.star || inner.star;
    }
    return result;
}

// parameters := '...' | parameter { ',' parameter } [ ',' '...' ] | name { ',' name } |
void parseparams(Parser& P, TypeNode* f) {
    Scopes& S = P.syms.scopes;
    Symbol* savedordinary = S.protoordinary;
    Symbol* savedtags = S.prototags;
    S.protoordinary = S.prototags = nullptr;
    ++S.protodepth;
    Symbol* head = nullptr;
    Symbol** tail = &head;
    auto append = [&](Symbol* p) {
        *tail = p;
        tail = &p->next;
    };
    auto repeated = [&](const unsigned char* name) {
        for (Symbol* q = head; q && name; q = q->next)
            if (q->name == name) return true;
        return false;
    };

    if (nexttoken(P)->code != tok::Ellipsis) {
        pushtoken(P);
        Decl common;
        if (declhead(P, common, allow::Param)) {
            bool variadic = false;
            for (;;) {
                Decl d = common;
                declarator(P, d);
                Token* after = nexttoken(P);
                uint32_t line = after->line;
                uint16_t column = after->column;
                bool closes = after->code == tok::RParen;
                pushtoken(P);
                if (repeated(d.s.name))
                    putdiag(P, "redeclared proto argument %.*s", namelength(d.s.name), nametext(d.s.name));
                bool isvoid = d.s.type && d.s.type->code == ty::Void;
                if (isvoid && (head || !closes)) {
                    putdiag(P, "bad void argument");
                } else {
                    Symbol* p = newsym(P, nullptr, d.s.name, d.s.sclass, d.s.type);
                    p->attributes = d.s.attributes;
                    p->useline = line;
                    p->usecolumn = column;
                    paramtopointer(P, p);
                    p->attributes = defaultspace(P, p->attributes, sc::Param, p->type ? p->type->code : 0);
                    append(p);
                }
                if (nexttoken(P)->code != tok::Comma) {
                    pushtoken(P);
                    break;
                }
                if (nexttoken(P)->code == tok::Ellipsis) {
                    variadic = true;
                    break;
                }
                pushtoken(P);
                if (!declhead(P, common, allow::Param)) putdiag(P, "bad proto argument type");
            }
            // A prototype of fixed arity ends in a nameless void entry.
            if (!variadic) append(newsym(P, nullptr, nullptr, 0, P.types.vd));
        } else {
            for (;;) {
                Token* t = nexttoken(P);
                if (t->code != tok::Name) {
                    pushtoken(P);
                    break;
                }
                if (repeated(t->name)) putdiag(P, "redeclared argument %.*s", namelength(t->name), nametext(t->name));
                Symbol* p = newsym(P, nullptr, t->name, 0, nullptr);
                p->useline = t->line;
                p->usecolumn = t->column;
                append(p);
                if (nexttoken(P)->code != tok::Comma) {
                    pushtoken(P);
                    break;
                }
            }
        }
    }
    f->params = head;
    f->members = S.protoordinary;
    f->prototags = S.prototags;
    S.protoordinary = savedordinary;
    S.prototags = savedtags;
    --S.protodepth;
}

void paramtopointer(Parser& P, Symbol* s) {
    TypeNode* t = s->type;
    if (!t || (t->code != ty::Array && t->code != ty::Function)) return;
    TypeNode* p = newtype(P, ty::Pointer, t->code == ty::Array ? t->subtype : t);
    p->detail = defaultspace(P, s->attributes, sc::Pointee, p->subtype ? p->subtype->code : 0);
    s->attributes = 0;
    s->type = p;
}

void mergespace(Parser& P, Symbol* s, uint16_t other) {
    if ((s->attributes & attr::Space) && (other & attr::Space) && ((s->attributes ^ other) & attr::Space))
        putdiag(P, "space attribute conflict");
    s->attributes |= other;
}

bool startstypename(Parser& P, const Token* t) {
    if (t->code == tok::At || specbit(t->code)) return true;
    if (t->code != tok::Name) return false;
    Symbol* s = findordinary(P, t->name);
    return s && s->sclass == sc::Typedef;
}

// type-name := declaration-specifiers abstract-declarator
TypeNode* parsetypename(Parser& P) {
    Decl d;
    declhead(P, d, allow::None);
    declarator(P, d);
    if (d.s.name) putdiagat(P, d.line, d.column, namelength(d.s.name), "name unexpected in abstract type");
    return d.s.type;
}

}  // namespace cpppc
