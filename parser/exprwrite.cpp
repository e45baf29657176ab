// Expression trees of the intermediate file: a parser tree written in
// prefix order, each node its file operator code and type descriptor, each
// leaf its name block, value, storage and contents flag. The `discard` flag
// travels down with the tree: a value nobody needs lets a comparison or a
// side-effect-free && or || be written as a comma of its operands.
#include <cstring>

#include "parser/exprtree.h"
#include "parser/irwrite.h"

namespace cpppc {

namespace {


constexpr uint8_t kTailCall = 0x40;  // call node: in tail position

struct OpRow {
    uint8_t internal;
    uint8_t file;
};
// The parser's operator codes and the file's.
constexpr OpRow kOpRows[] = {
    {97, ir::O_ADD},     {98, ir::O_SUB},     {34, ir::O_NEG},     {99, ir::O_MUL},    {35, ir::O_IND},
    {68, ir::O_DIV},     {69, ir::O_MOD},     {70, ir::O_SHL},     {71, ir::O_SHR},    {104, ir::O_AND},
    {40, ir::O_ADDR},    {73, ir::O_XOR},     {74, ir::O_OR},      {75, ir::O_LT},     {76, ir::O_GE},
    {77, ir::O_GT},      {78, ir::O_LE},      {79, ir::O_EQ},      {80, ir::O_NE},     {81, ir::O_ADDASG},
    {82, ir::O_SUBASG},  {83, ir::O_MULASG},  {84, ir::O_DIVASG},  {85, ir::O_MODASG}, {86, ir::O_SHLASG},
    {87, ir::O_SHRASG},  {88, ir::O_ANDASG},  {89, ir::O_XORASG},  {90, ir::O_ORASG},  {91, ir::O_ANDAND},
    {92, ir::O_OROR},    {61, ir::O_NOT},     {62, ir::O_COMPL},   {95, ir::O_ASSIGN}, {1, ir::O_COMMA},
    {9, ir::O_COND},     {14, ir::O_POSTINC}, {15, ir::O_POSTDEC}, {26, ir::O_CAST},
};

int fileop(uint8_t internal) {
    for (const OpRow& r : kOpRows)
        if (r.internal == internal) return r.file;
    return -1;
}

void putconstleaf(Parser& P, const ExprNode* e) {
    puttype(P, e->type, 0);
    if (ir::Output* o = irsink(P)) {
        o->name(ir::NameBlock{});
        o->u32(e->value);
        o->u8(ir::S_STATIC);
        o->u8(e->leafbits & leaf::Contents ? 1 : 0);
    }
}

void putleaf(Parser& P, ExprNode* e) {
    if (ir::Output* o = irsink(P)) o->u8(ir::O_LEAF);
    if ((e->leafbits & leaf::Symbol) && e->sym) {
        Symbol* s = e->sym;
        if ((s->flags & sf::Replaced) && s->valueexpr) {
            putconstleaf(P, s->valueexpr);
            return;
        }
        bool reg = isregvar(s);
        puttype(P, e->type, reg ? 0 : s->attributes);
        uint32_t value = e->value;
        if (isnamedclass(s->sclass)) {
            putname(P, s);
        } else {
            if (ir::Output* o = irsink(P)) o->name(ir::NameBlock{});
            value += s->value;
        }
        uint8_t storage = ir::S_STATIC;
        if (reg)
            storage = static_cast<uint8_t>(regstorage(s->attributes));
        else if (s->sclass == sc::Auto || s->sclass == sc::Register)
            storage = ir::S_LOCAL;
        else if (s->sclass == sc::Param || s->sclass == sc::RegParam)
            storage = ir::S_PARAM;
        if (ir::Output* o = irsink(P)) {
            o->u32(value);
            o->u8(storage);
            o->u8((e->leafbits & leaf::Contents) && !reg ? 1 : 0);
        }
        return;
    }
    if ((e->leafbits & leaf::Literal) && e->lit) {
        uint16_t code = tcode(e);
        uint16_t word = defaultspace(P, P.opt.sa ? 0 : attr::Const, sc::None, code);
        if (ty::isfloating(code)) {
            uint32_t n = literallabel(P, e->lit, true);
            if (code == ty::Float) {
                n += 4;
                e->lit->flags[0] |= 4;
            } else if (code == ty::Double) {
                n += 6;
                e->lit->flags[0] |= 8;
            }
            puttype(P, e->type, word);
            if (ir::Output* o = irsink(P)) {
                o->name(ir::NameBlock::label(static_cast<uint16_t>(n)));
                o->u32(0);
                o->u8(ir::S_STATIC);
                o->u8(1);
            }
        } else {
            uint32_t n = literallabel(P, e->lit, false);
            puttype(P, e->type, word);
            if (ir::Output* o = irsink(P)) {
                o->name(ir::NameBlock::label(static_cast<uint16_t>(n)));
                o->u32(e->value);
                o->u8(ir::S_STATIC);
                o->u8(e->leafbits & leaf::Contents ? 1 : 0);
            }
        }
        return;
    }
    putconstleaf(P, e);
}

// The arguments of a call: a 165 link for each but the last.
void putargs(Parser& P, ExprNode* a) {
    while (a && a->op == opc::ArgCell) {
        if (ir::Output* o = irsink(P)) o->u8(ir::O_ARG);
        puttype(P, P.types.sint, 0);
        putexpr(P, a->left, 0);
        a = a->right;
    }
    if (a) putexpr(P, a, 0);
}

void putcall(Parser& P, ExprNode* e) {
    ExprNode* args = e->right;
    if (!putasmcall(P, e, 0, &args)) {
        if (ir::Output* o = irsink(P)) o->u8(args ? ir::O_CALLARGS : ir::O_CALL);
        uint16_t word = 0;
        if (e->nflags & nf::Variadic) word |= ir::A_VOLATILE;
        if (e->nflags & kTailCall) word |= ir::A_CONST;
        puttype(P, e->type, word);
        putcallee(P, e->left);
    }
    putargs(P, args);
}

bool isonebitfield(Parser& P, const ExprNode* e) {
    TypeNode* t = e ? basetype(e->type) : nullptr;
    return t && ty::isbitfield(t->code) && t->bitwidth() == 1 && (void(P), true);
}

// x = -x and x = ~x (through widening conversions), and the toggles of a
// one-bit field: the in-place forms 114 and 115, or 0 when not one.
int selfop(Parser& P, ExprNode* e) {
    ExprNode* r = e->right;
    uint16_t cls = tcode(e) & ~3u;
    while (r && r->op == opc::Cast && (tcode(r) & ~3u) >= cls) r = r->left;
    if (!r) return 0;
    if ((r->op == opc::Neg || r->op == opc::Compl) && sameexpr(P, r->left, e->left, 0))
        return r->op == opc::Neg ? ir::O_NEGSELF : ir::O_COMPLSELF;
    if (((r->op == 79 && isintconst(r->right) && r->right->value == 0) ||
         (r->op == 73 && isintconst(r->right) && r->right->value == 1)) &&
        isonebitfield(P, e->left) && sameexpr(P, r->left, e->left, 0))
        return ir::O_COMPLSELF;
    return 0;
}

}  // namespace

int regstorage(int reg) { return reg + 4; }

bool isregvar(const Symbol* s) { return s->sclass == sc::Register && s->attributes >= 1 && s->attributes <= 36; }

void putexpr(Parser& P, ExprNode* e, int discard) {
    if (!e) return;
    if (e->op == opc::Leaf) {
        putleaf(P, e);
        return;
    }
    if (e->op == opc::Cast && codeof(e->type) == ty::Void) {
        putexpr(P, e->left, discard);
        return;
    }
    if (e->op == opc::Call) {
        putcall(P, e);
        return;
    }
    if (e->op == 95) {
        if (int self = selfop(P, e)) {
            if (ir::Output* o = irsink(P)) o->u8(static_cast<uint8_t>(self));
            puttype(P, e->type, 0);
            putexpr(P, e->left, 0);
            return;
        }
    }
    if (e->op == opc::Ind && isnamed(e->left) && (e->left->sym->flags & sf::Replaced) && e->left->sym->valueexpr) {
        if (ir::Output* o = irsink(P)) o->u8(ir::O_LEAF);
        putconstleaf(P, e->left->sym->valueexpr);
        return;
    }
    int code = fileop(e->op);
    if (code < 0) {
        putdiag(P, "PANIC! unknown op %x", e->op);
        return;
    }
    if (discard && (iscompare(e->op) || (islogical(e->op) && isfree(P, e->right)))) code = ir::O_COMMA;
    if (ir::Output* o = irsink(P)) o->u8(static_cast<uint8_t>(code));
    puttype(P, e->type, 0);
    int leftdiscard = code == ir::O_COMMA ? 1 : (code == ir::O_COND || islogical(e->op)) ? 0 : discard;
    putexpr(P, e->left, leftdiscard);
    if (code == ir::O_COND) {
        putexpr(P, e->middle, discard);
        putexpr(P, e->right, discard);
    } else if (isassignop(e->op)) {
        putexpr(P, e->right, 0);
    } else if (code >= 128) {
        putexpr(P, e->right, discard);
    }
}

// The called function as its address: the function expression itself, a
// leaf naming the function for a direct call (the indirection that the
// call applies is the generator's).
void putcallee(Parser& P, ExprNode* f) { putexpr(P, f, 0); }

int putasmcall(Parser& P, ExprNode* call, int test, ExprNode** rest) {
    ExprNode* f = call->left;
    if (!isnamed(f) || std::strcmp(nametext(f->sym->name), "_asm") != 0) return 0;
    if (test) return 1;
    f->sym->flags &= ~sf::Referenced;
    ExprNode* args = call->right;
    if (!args) {
        putdiag(P, "missing _asm() argument");
        return 0;
    }
    ExprNode* first = args->op == opc::ArgCell ? args->left : args;
    while (first && first->op == opc::Cast && codeof(first->type) == ty::Pointer) first = first->left;
    if (!first || !isleaf(first) || !(first->leafbits & leaf::Literal) || !first->lit ||
        ty::isfloating(tcode(first))) {
        putdiag(P, "bad _asm() argument type");
        return 0;
    }
    std::string text(first->lit->bytes.begin(), first->lit->bytes.end());
    if (first->value < text.size()) text.erase(0, first->value);
    if (text.size() > 254) {
        putdiag(P, "_asm string too long");
        text.resize(254);
    }
    *rest = args->op == opc::ArgCell ? args->right : nullptr;
    if (ir::Output* o = irsink(P)) o->u8(*rest ? ir::O_ASMARGS : ir::O_ASM);
    puttype(P, call->type, 0);
    putexpr(P, f, 0);
    if (ir::Output* o = irsink(P)) {
        o->u8(static_cast<uint8_t>(text.size() + 1));
        o->bytes(text);
        o->u8(0);
    }
    return 1;
}

}  // namespace cpppc
