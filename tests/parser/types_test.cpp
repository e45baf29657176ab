// The symbol table and the type rules, called directly on a fresh parser
// state: label numbers, the node pools, scope lookups, sizes and alignments
// of every type code, compatibility and equality, the range warnings and the
// small expression predicates.
#include <cstring>

#include "harness.h"
#include "parser/tokencodes.h"

namespace cpppctest {
namespace {

using namespace cpppc;

// A parser state as a run has it after start-up, with its diagnostics
// collected from standard error.
struct Fresh {
    std::unique_ptr<Parser> holder = std::make_unique<Parser>();
    Parser& P = *holder;
    explicit Fresh(void (*set)(Options&) = nullptr) {
        if (set) set(P.opt);
        inittypes(P);
        initspaces(P);
    }
    const unsigned char* name(const char* n) { return internname(P, n, std::strlen(n)); }
    TypeNode* pointer(TypeNode* to, uint16_t word) {
        TypeNode* p = newtype(P, ty::Pointer, to);
        p->detail = word;
        return p;
    }
    TypeNode* array(TypeNode* of, uint32_t count) {
        TypeNode* a = newtype(P, ty::Array, of);
        a->detail = count;
        return a;
    }
    // A function type with the given parameter types; end adds the void entry.
    TypeNode* function(TypeNode* ret, std::vector<TypeNode*> params, bool end) {
        TypeNode* f = newtype(P, ty::Function, ret);
        Symbol** tail = &f->params;
        if (end) params.push_back(P.types.vd);
        for (TypeNode* t : params) {
            *tail = newsym(P, nullptr, nullptr, 0, t);
            tail = &(*tail)->next;
        }
        return f;
    }
    // The diagnostics that f writes.
    template <class F>
    std::string diags(F f) {
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }
};

TEST(Labels, OddNumbersUpTo16Bits) {
    Fresh f;
    EXPECT_EQ(nextlabel(f.P), 3u);
    EXPECT_EQ(nextlabel(f.P), 5u);
    std::string before = f.diags([&] {
        for (int i = 3; i <= 32767; ++i) nextlabel(f.P);
    });
    EXPECT_EQ(before, "");
    EXPECT_EQ(f.P.errors, 0u);
    uint32_t last = 0;
    std::string at = f.diags([&] { last = nextlabel(f.P); });
    EXPECT_EQ(last, 65537u) << "the 32768th label";
    EXPECT_NE(at.find("file too large for label information"), std::string::npos) << at;
    std::string again = f.diags([&] { nextlabel(f.P); });
    EXPECT_NE(again.find("file too large for label information"), std::string::npos);
    EXPECT_EQ(f.P.errors, 2u);
}

TEST(Pools, FileLevelTypesSurviveRelease) {
    Fresh f;
    TypeNode* filelevel = newtype(f.P, ty::Int, nullptr);
    marktypes(f.P);
    TypeNode* a = newtype(f.P, ty::Pointer, filelevel);
    TypeNode* b = newtype(f.P, ty::Array, a);
    releasetypes(f.P);
    // The next function gets the body's nodes back, newest first, and never
    // the file-level one.
    TypeNode* c = newtype(f.P, ty::Char, nullptr);
    TypeNode* d = newtype(f.P, ty::Char, nullptr);
    EXPECT_EQ(c, b);
    EXPECT_EQ(d, a);
    EXPECT_EQ(c->subtype, nullptr) << "a reused node starts clean";
    TypeNode* e = newtype(f.P, ty::Char, nullptr);
    EXPECT_NE(e, filelevel);
    EXPECT_EQ(filelevel->code, ty::Int);
    TypeNode* permanent = newtype(f.P, ty::Long | ty::Permanent, nullptr);
    EXPECT_EQ(permanent->code, ty::Long);
    releasetypes(f.P);
    for (int i = 0; i < 4; ++i) EXPECT_NE(newtype(f.P, ty::Char, nullptr), permanent);
}

TEST(Pools, ExpressionFreePointerSavedAndReleased) {
    Fresh f;
    ExprNode* a = newexpr(f.P, 0);
    releaseexprs(f.P);
    ExprNode* saved = f.P.syms.exprs.free;
    ExprNode* b = newexpr(f.P, tok::Plus);
    EXPECT_EQ(b, a) << "file-level expression nodes are recycled too";
    ExprNode* c = newexpr(f.P, tok::Minus);  // newly allocated
    f.P.syms.exprs.free = saved;
    EXPECT_EQ(newexpr(f.P, 0), a) << "nodes taken since the save are free again";
    ExprNode* d = newexpr(f.P, 0);
    EXPECT_NE(d, c) << "a node allocated since stays in use until the release";
    releaseexprs(f.P);
    EXPECT_EQ(newexpr(f.P, 0), d);
    EXPECT_EQ(newexpr(f.P, 0), c);
    EXPECT_EQ(newexpr(f.P, 0), a);
}

TEST(Scopes, LookupStopsAndHides) {
    Fresh f;
    Scopes& S = f.P.syms.scopes;
    const unsigned char* x = f.name("x");
    const unsigned char* never = f.name("never");
    EXPECT_EQ(lookupsym(f.P, never, &S.ordinary, nullptr), nullptr);
    Symbol* outer = newsym(f.P, &S.ordinary, x, sc::None, f.P.types.sint);
    Symbol* mark = newsym(f.P, &S.ordinary, f.name("y"), sc::None, f.P.types.sint);
    Symbol* member = newsym(f.P, nullptr, x, sc::Member, f.P.types.sint);
    Symbol* tag = newsym(f.P, &S.tags, x, sc::None, f.P.types.sint);
    Symbol* inner = newsym(f.P, &S.ordinary, x, sc::Auto, f.P.types.chr);
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, nullptr), inner);
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, mark), inner);
    EXPECT_EQ(lookupsym(f.P, x, &S.tags, nullptr), tag);
    inner->flags |= sf::Hidden;
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, nullptr), outer) << "a symbol inside its own initializer is hidden";
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, mark), nullptr) << "the stop symbol ends the search";
    inner->flags &= ~sf::Hidden;
    EXPECT_EQ(popscope(f.P, &S.ordinary, mark), mark);
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, nullptr), outer);
    Symbol* reused = newsym(f.P, &S.spaces, f.name("z"), 0, nullptr);
    EXPECT_EQ(reused, inner) << "released symbols are reused";
    EXPECT_EQ(lookupsym(f.P, f.name("z"), &S.spaces, nullptr), reused);
    EXPECT_EQ(lookupsym(f.P, x, &S.spaces, nullptr), nullptr);
    (void)member;
    // A block's symbols cut off the list stay intact but are no longer found.
    Symbol* local = newsym(f.P, &S.ordinary, x, sc::Auto, f.P.types.sint);
    Symbol* cut = cutscope(f.P, &S.ordinary, mark);
    EXPECT_EQ(cut, local);
    EXPECT_EQ(local->next, nullptr);
    EXPECT_EQ(lookupsym(f.P, x, &S.ordinary, nullptr), outer);
}

struct SizeRow {
    const char* what;
    TypeNode* (*make)(Fresh&);
    uint32_t size;
    int align;
};

const SizeRow kSizeRows[] = {
    {"char", [](Fresh& f) { return f.P.types.chr; }, 1, 0},
    {"unsigned char", [](Fresh& f) { return f.P.types.uchar; }, 1, 0},
    {"short", [](Fresh& f) { return f.P.types.shrt; }, 2, 1},
    {"unsigned short", [](Fresh& f) { return f.P.types.ushrt; }, 2, 1},
    {"int", [](Fresh& f) { return f.P.types.sint; }, 4, 2},
    {"unsigned int", [](Fresh& f) { return f.P.types.uint; }, 4, 2},
    {"long", [](Fresh& f) { return f.P.types.slong; }, 4, 2},
    {"unsigned long", [](Fresh& f) { return f.P.types.ulong; }, 4, 2},
    {"float", [](Fresh& f) { return f.P.types.flt; }, 4, 2},
    {"double", [](Fresh& f) { return f.P.types.dbl; }, 8, 2},
    {"char bit-field", [](Fresh& f) { return newtype(f.P, ty::CharField, nullptr); }, 1, 0},
    {"short bit-field", [](Fresh& f) { return newtype(f.P, ty::ShortField, nullptr); }, 2, 1},
    {"int bit-field", [](Fresh& f) { return newtype(f.P, ty::IntField, nullptr); }, 4, 2},
    {"long bit-field code", [](Fresh& f) { return newtype(f.P, ty::LongField, nullptr); }, 4, 2},
    {"code 0x01", [](Fresh& f) { return newtype(f.P, 0x01, nullptr); }, 1, 0},
    {"pointer without space", [](Fresh& f) { return f.pointer(f.P.types.sint, 0); }, 2, 1},
    {"tiny pointer", [](Fresh& f) { return f.pointer(f.P.types.sint, attr::Tiny); }, 1, 0},
    {"near pointer", [](Fresh& f) { return f.pointer(f.P.types.sint, attr::Near); }, 2, 1},
    {"far pointer", [](Fresh& f) { return f.pointer(f.P.types.sint, attr::Far | attr::Const); }, 4, 2},
    {"array", [](Fresh& f) { return f.array(f.P.types.shrt, 5); }, 10, 1},
    {"array of far pointers", [](Fresh& f) { return f.array(f.pointer(f.P.types.chr, attr::Far), 3); }, 12, 2},
    {"enum", [](Fresh& f) {
         TypeNode* e = newtype(f.P, ty::Enum, f.P.types.ushrt);
         e->members = newsym(f.P, nullptr, f.name("E0"), sc::EnumConst, f.P.types.ushrt);
         return e;
     }, 2, 1},
    {"struct", [](Fresh& f) {
         TypeNode* s = newtype(f.P, ty::Struct, nullptr);
         s->members = newsym(f.P, nullptr, f.name("m"), sc::Member, f.P.types.shrt);
         s->size = 6;
         return s;
     }, 6, 1},
    {"union", [](Fresh& f) {
         TypeNode* u = newtype(f.P, ty::Union, nullptr);
         u->members = newsym(f.P, nullptr, f.name("m"), sc::Member, f.P.types.chr);
         u->size = 3;
         return u;
     }, 3, 0},
};

TEST(Types, EveryRowOfTheTable) {
    for (const SizeRow& row : kSizeRows) {
        Fresh f;
        TypeNode* t = row.make(f);
        std::string d = f.diags([&] {
            EXPECT_EQ(sizeoftype(f.P, t), row.size) << row.what;
            EXPECT_EQ(alignclass(t), row.align) << row.what;
        });
        EXPECT_EQ(d, "") << row.what;
    }
    Fresh single([](Options& o) { o.f = 1; });
    EXPECT_EQ(single.P.types.dbl->code, ty::Float);
    EXPECT_EQ(sizeoftype(single.P, single.P.types.dbl), 4u);
}

TEST(Types, SizeUnknownMessages) {
    struct Case {
        const char* what;
        TypeNode* (*make)(Fresh&);
        const char* message;  // null: none
        uint32_t size;
    };
    const Case cases[] = {
        {"struct without body", [](Fresh& f) { return newtype(f.P, ty::Struct, nullptr); }, "struct/union size unknown", 0},
        {"union without body", [](Fresh& f) { return newtype(f.P, ty::Union, nullptr); }, "struct/union size unknown", 0},
        {"array of unknown count", [](Fresh& f) { return f.array(f.P.types.sint, 0); }, "array size unknown", 0},
        {"void", [](Fresh& f) { return f.P.types.vd; }, "size unknown", 0},
        {"function", [](Fresh& f) { return f.function(f.P.types.sint, {}, true); }, "size unknown", 0},
        {"enum without body", [](Fresh& f) { return newtype(f.P, ty::Enum, f.P.types.sint); }, "enum size unknown", 4},
    };
    for (const Case& c : cases) {
        Fresh f;
        TypeNode* t = c.make(f);
        uint32_t size = 99;
        std::string d = f.diags([&] { size = sizeoftype(f.P, t); });
        EXPECT_EQ(size, c.size) << c.what;
        EXPECT_NE(d.find(c.message), std::string::npos) << c.what << ": " << d;
        EXPECT_EQ(typesize(f.P, t), c.size) << c.what;
    }
    Fresh ne([](Options& o) { o.ne = 1; });
    TypeNode* e = newtype(ne.P, ty::Enum, ne.P.types.sint);
    EXPECT_EQ(ne.diags([&] { sizeoftype(ne.P, e); }), "") << "-ne: no message for an enum without body";
}

TEST(Types, AlignUp) {
    Fresh f;
    TypeNode* i = f.P.types.sint;
    EXPECT_EQ(alignup(5, i), 8);
    EXPECT_EQ(alignup(8, i), 8);
    EXPECT_EQ(alignup(0, i), 0);
    EXPECT_EQ(alignup(-5, i), -8) << "frame offsets round down";
    EXPECT_EQ(alignup(3, f.P.types.chr), 3);
    EXPECT_EQ(alignup(3, f.P.types.shrt), 4);
}

TEST(Types, PointerCompatibility) {
    Fresh f;
    TypeNode* i = f.P.types.sint;
    TypeNode* nearp = f.pointer(i, attr::Near);
    TypeNode* plain = f.pointer(i, 0);
    TypeNode* farp = f.pointer(i, attr::Far);
    TypeNode* tinyp = f.pointer(i, attr::Tiny);
    EXPECT_EQ(typecompat(f.P, farp, nearp), 1) << "near to far";
    EXPECT_EQ(typecompat(f.P, nearp, farp), 0) << "far to near";
    EXPECT_EQ(typecompat(f.P, plain, tinyp), 1);
    EXPECT_EQ(typecompat(f.P, tinyp, plain), 0) << "no space counts as near";
    EXPECT_EQ(typecompat(f.P, nearp, f.pointer(f.P.types.vd, 0)), 1) << "void pointers mix";
    EXPECT_EQ(typecompat(f.P, nearp, f.pointer(f.P.types.chr, 0)), 0);
    EXPECT_EQ(typecompat(f.P, f.pointer(farp, 0), f.pointer(nearp, 0)), 0) << "spaces below the top must be equal";
    EXPECT_EQ(typecompat(f.P, i, nearp), 0);
    EXPECT_EQ(typecompat(f.P, nearp, i), 0);
    EXPECT_EQ(typecompat(f.P, f.P.types.chr, f.P.types.dbl), 1);
    TypeNode* constp = f.pointer(i, attr::Const);
    EXPECT_EQ(typecompat(f.P, plain, constp), 1);
    Fresh sa([](Options& o) { o.sa = 1; });
    EXPECT_EQ(typecompat(sa.P, sa.pointer(sa.P.types.sint, 0), sa.pointer(sa.P.types.sint, attr::Const)), 0)
        << "-sa: the target keeps every qualifier";
    EXPECT_EQ(typecompat(sa.P, sa.pointer(sa.P.types.sint, attr::Const), sa.pointer(sa.P.types.sint, 0)), 1);
}

TEST(Types, Equality) {
    Fresh f;
    TypeNode* s1 = newtype(f.P, ty::Struct, nullptr);
    s1->members = newsym(f.P, nullptr, f.name("a"), sc::Member, f.P.types.sint);
    TypeNode* s2 = newtype(f.P, ty::Struct, nullptr);
    s2->members = newsym(f.P, nullptr, f.name("a"), sc::Member, f.P.types.sint);
    EXPECT_EQ(sametype(f.P, s1, s1), 1);
    EXPECT_EQ(sametype(f.P, s1, s2), 0) << "separate definitions differ";
    EXPECT_EQ(sametype(f.P, newtype(f.P, ty::Struct, nullptr), newtype(f.P, ty::Struct, nullptr)), 1)
        << "two incomplete structs count as equal";
    EXPECT_EQ(typecompat(f.P, s1, s2), 0);
    EXPECT_EQ(sametype(f.P, f.array(f.P.types.sint, 0), f.array(f.P.types.sint, 4)), 1);
    EXPECT_EQ(sametype(f.P, f.array(f.P.types.sint, 3), f.array(f.P.types.sint, 4)), 0);
    TypeNode* e = newtype(f.P, ty::Enum, f.P.types.uchar);
    EXPECT_EQ(sametype(f.P, e, f.P.types.uchar), 1) << "an enum is its underlying type";
    EXPECT_EQ(sametype(f.P, nullptr, nullptr), 1);
    EXPECT_EQ(sametype(f.P, nullptr, f.P.types.sint), 0);
    EXPECT_EQ(sametype(f.P, f.pointer(f.P.types.sint, 0), f.pointer(f.P.types.sint, attr::Near)), 1);
}

TEST(Types, PrototypeAgainstOldStyle) {
    for (int single = 0; single < 2; ++single) {
        void (*set)(Options&) = [](Options& o) { o.f = 1; };
        Fresh f(single ? set : nullptr);
        const BasicTypes& B = f.P.types;
        TypeNode* none = f.function(B.sint, {}, false);
        none->params = nullptr;
        EXPECT_EQ(sametype(f.P, none, f.function(B.sint, {B.chr}, true)), 0) << "char changes under promotion";
        EXPECT_EQ(sametype(f.P, none, f.function(B.sint, {B.shrt}, true)), 1) << "short is accepted";
        EXPECT_EQ(sametype(f.P, none, f.function(B.sint, {B.flt}, true)), single) << "float only with -f";
        EXPECT_EQ(sametype(f.P, none, f.function(B.sint, {B.sint}, false)), 0) << "a variadic prototype";
        EXPECT_EQ(sametype(f.P, none, f.function(B.chr, {B.sint}, true)), 0) << "return types differ";
        TypeNode* names = f.function(B.sint, {}, false);
        names->params = newsym(f.P, nullptr, f.name("a"), 0, nullptr);
        EXPECT_EQ(sametype(f.P, names, f.function(B.sint, {B.sint}, true)), 1);
        EXPECT_EQ(sametype(f.P, names, f.function(B.sint, {B.sint, B.sint}, true)), 0) << "one name per parameter";
        EXPECT_EQ(sametype(f.P, f.function(B.sint, {f.pointer(B.vd, 0)}, true), f.function(B.sint, {f.pointer(B.chr, 0)}, true)), 1)
            << "a void pointer parameter matches any pointer";
    }
}

TEST(Types, RangeWarnings) {
    Fresh f([](Options& o) { o.warnlevel = 1; });
    const BasicTypes& B = f.P.types;
    auto constant = [&](TypeNode* type, int32_t v) {
        ExprNode* e = mkintconst(f.P, nullptr, static_cast<uint32_t>(v));
        e->type = type;
        return e;
    };
    auto object = [&](TypeNode* type) {
        ExprNode* e = newexpr(f.P, 0);
        e->leafbits = leaf::Contents | leaf::Symbol;
        e->type = type;
        return e;
    };
    struct Case {
        const char* what;
        TypeNode* to;
        ExprNode* e;
        const char* warning;  // "" none
    };
    TypeNode* field3 = newtype(f.P, ty::IntField, nullptr);
    field3->detail = 0 | 3 << 8;
    TypeNode* field5 = newtype(f.P, ty::IntField, nullptr);
    field5->detail = 0 | 5 << 8;
    const Case cases[] = {
        {"char = 300", B.chr, constant(B.sint, 300), "value out of range"},
        {"unsigned char = 255", B.uchar, constant(B.sint, 255), ""},
        {"char = -128", B.chr, constant(B.sint, -128), ""},
        {"char = -129", B.chr, constant(B.sint, -129), "value out of range"},
        {"unsigned char = -1", B.uchar, constant(B.sint, -1), "value out of range"},
        {"int = 0x80000000u", B.sint, constant(B.uint, INT32_MIN), "value out of range"},
        {"unsigned = -1", B.uint, constant(B.sint, -1), ""},
        {"3-bit field = 7", field3, constant(B.sint, 7), ""},
        {"3-bit field = 8", field3, constant(B.sint, 8), "value out of range"},
        {"short = long", B.shrt, object(B.slong), "truncating assignment"},
        {"int = float", B.sint, object(B.flt), "truncating assignment"},
        {"double = float", B.dbl, object(B.flt), ""},
        {"long = short", B.slong, object(B.shrt), ""},
        {"3-bit field = 5-bit field", field3, object(field5), "truncating assignment"},
        {"5-bit field = int", field5, object(B.sint), ""},
        {"char = 3-bit field", B.chr, object(field3), ""},
        {"near pointer = far pointer", f.pointer(B.sint, 0), object(f.pointer(B.sint, attr::Far)), "truncating assignment"},
    };
    for (const Case& c : cases) {
        std::string d = f.diags([&] { checkrange(f.P, tok::Assign, c.to, c.e); });
        if (!*c.warning)
            EXPECT_EQ(d, "") << c.what;
        else
            EXPECT_TRUE(d.rfind("#warning", 0) == 0 && d.find(c.warning) != std::string::npos) << c.what << ": " << d;
    }
    Fresh quiet;
    EXPECT_EQ(quiet.diags([&] { checkrange(quiet.P, tok::Assign, quiet.P.types.chr, mkintconst(quiet.P, nullptr, 300)); }), "")
        << "warnings are off without -w";
}

TEST(Expressions, PredicatesAndNegation) {
    Fresh f;
    ExprNode* k = mkintconst(f.P, nullptr, 7);
    EXPECT_TRUE(isintconst(k));
    EXPECT_TRUE(isscalconst(k));
    EXPECT_FALSE(isfloatconst(k));
    ExprNode* v = newexpr(f.P, 0);
    v->leafbits = leaf::Contents | leaf::Symbol;
    v->type = f.P.types.sint;
    EXPECT_FALSE(isintconst(v));
    ExprNode* fl = newexpr(f.P, 0);
    fl->leafbits = leaf::Literal;
    fl->type = f.P.types.dbl;
    EXPECT_TRUE(isfloatconst(fl));
    ExprNode* addr = newexpr(f.P, 0);
    addr->leafbits = leaf::Symbol;
    addr->type = f.pointer(f.P.types.chr, 0);
    EXPECT_TRUE(ispointerval(addr));
    EXPECT_FALSE(isscalconst(addr));

    auto cmp = [&](uint8_t op) {
        ExprNode* e = newexpr(f.P, op);
        e->left = v;
        e->right = mkintconst(f.P, nullptr, 1);
        return e;
    };
    const std::pair<uint8_t, uint8_t> pairs[] = {{tok::Lt, tok::Ge}, {tok::Gt, tok::Le}, {tok::EqEq, tok::NotEq}};
    for (auto [a, b] : pairs) {
        EXPECT_EQ(negatecond(cmp(a))->op, b);
        EXPECT_EQ(negatecond(cmp(b))->op, a);
    }
    ExprNode* both = newexpr(f.P, tok::AndAnd);
    both->left = cmp(tok::Lt);
    both->right = cmp(tok::EqEq);
    negatecond(both);
    EXPECT_EQ(both->op, tok::OrOr);
    EXPECT_EQ(both->left->op, tok::Ge);
    EXPECT_EQ(both->right->op, tok::NotEq);
    ExprNode* comma = newexpr(f.P, tok::Comma);
    comma->left = cmp(tok::Lt);
    comma->right = cmp(tok::Gt);
    negatecond(comma);
    EXPECT_EQ(comma->left->op, tok::Lt) << "only the right operand of a comma";
    EXPECT_EQ(comma->right->op, tok::Le);
    EXPECT_EQ(negatecond(mkintconst(f.P, nullptr, 0))->value, 1u);
    EXPECT_EQ(negatecond(mkintconst(f.P, nullptr, 5))->value, 0u);

    EXPECT_EQ(rankabove(ty::Long, ty::Int), 0) << "int counts as long";
    EXPECT_EQ(rankabove(ty::UInt, ty::Long), 1);
    EXPECT_EQ(rankabove(ty::Int, ty::Short), 1);
}

TEST(Types, MergeDeclarations) {
    Fresh f;
    TypeNode* old = f.pointer(f.array(f.P.types.sint, 0), 0);
    TypeNode* fresh = f.pointer(f.array(f.P.types.sint, 10), attr::Far);
    mergedecl(old, fresh);
    EXPECT_EQ(old->pointerattr(), attr::Far);
    EXPECT_EQ(old->subtype->count(), 10u);
    TypeNode* noproto = f.function(f.P.types.sint, {}, false);
    noproto->params = nullptr;
    TypeNode* proto = f.function(f.P.types.sint, {f.P.types.shrt}, true);
    mergedecl(noproto, proto);
    EXPECT_EQ(noproto->params, proto->params);
}

}  // namespace
}  // namespace cpppctest
