// Address registers: a block that uses an object often keeps the object's
// address in one of the non-volatile registers r31 to r24. Lowering makes a
// hidden local "reg" for each chosen object, linked to it through both
// blocklinks; when the local gets a register, a load of the address opens
// the block and the expression folder turns every reference to the object
// into an access through the register. Only functions that make a call
// outside tail position use them (a leaf function has the scratch
// registers for the address).
//
// The load sits at the block's front, so a block that a jump can enter
// past its front (a case label of a switch outside it, or any goto label
// inside it) gets no address registers. The link ends with the block: a
// reference after it uses the object directly.
#include <vector>

#include "parser/exprtree.h"
#include "parser/parser.h"

namespace cpppc {

namespace {

constexpr uint16_t kMinWeight = 6;
constexpr int kMaxRegisters = 18;
constexpr uint32_t kFirstEight = 0xFF;  // r31 down to r24

constexpr uint8_t kCallFlagTail = 0x40;  // call node: in tail position

// Whether a statement's body field holds statements it contains (a break
// or continue points at its target there).
bool ownsbody(const StmtNode* st) { return st->kind != sk::Break && st->kind != sk::Continue && st->kind != sk::Goto; }

// Calls outside tail position in a tree (statement expressions included).
bool nontailcall(const Parser& P, const StmtNode* st);

// A work list rather than recursion: a long chain `a + b + ...` costs no stack.
bool nontailcall(const Parser& P, const ExprNode* root) {
    std::vector<const ExprNode*> work{root};
    while (!work.empty()) {
        const ExprNode* e = work.back();
        work.pop_back();
        if (!e) continue;
        if (e->op == opc::Call && (!P.fn.tailok || !(e->nflags & kCallFlagTail))) return true;
        if (e->stmts && nontailcall(P, e->stmts)) return true;
        work.push_back(e->left);
        work.push_back(e->middle);
        work.push_back(e->right);
    }
    return false;
}

bool nontailcall(const Parser& P, const StmtNode* st) {
    for (; st; st = st->next) {
        if (st->kind == sk::AsmLine) continue;
        if (nontailcall(P, st->expr) || nontailcall(P, st->init) || nontailcall(P, st->incr)) return true;
        if (ownsbody(st) && nontailcall(P, st->body)) return true;
        if (st->kind == sk::If && nontailcall(P, st->aux)) return true;
    }
    return false;
}

// Whether a jump from outside the block can land inside it, past its
// front: a goto label on any statement within, or a case or default label
// that belongs to a switch outside. switches counts the switches entered
// on the way down.
bool enteredinside(const StmtNode* st, int switches) {
    for (; st; st = st->next) {
        if (st->flags & sflag::HasLabel) return true;
        if ((st->flags & sflag::HasCase) && switches == 0) return true;
        int inner = switches + (st->kind == sk::Switch ? 1 : 0);
        if (ownsbody(st) && st->body && enteredinside(st->body, inner)) return true;
        if (st->kind == sk::If && st->aux && enteredinside(st->aux, inner)) return true;
    }
    return false;
}

// Element types an address register may point into.
bool plainelement(TypeNode* t) {
    uint16_t c = codeof(t);
    return c != ty::Array && c != ty::Struct && c != ty::Union && c != ty::Double;
}

bool isasmname(const Symbol* s) {
    return s->name && namelength(s->name) == 4 && std::string_view(nametext(s->name), 4) == "_asm";
}

// What no address register is made for, wherever the object is declared.
bool excluded(const Parser& P, const Symbol* s) {
    if (!s->name || (s->flags & (sf::Implicit | sf::AddrRegister)) || isfunction(s->type) || isasmname(s)) return true;
    uint16_t spr = P.spaces.sprbit;
    if (spr && (s->attributes & spr)) return true;
    // accesses to a volatile object stay as written
    return (s->attributes & attr::Volatile) != 0;
}

bool fileobject(const Parser& P, const Symbol* s) {
    if (excluded(P, s) || s->sclass == sc::Typedef || s->sclass == sc::EnumConst || s->sclass == sc::Placed) return false;
    if (s->attributes & attr::Inline) return false;
    uint16_t c = codeof(s->type);
    if (c == ty::Struct || c == ty::Union) return false;
    return c != ty::Array || plainelement(basetype(s->type)->subtype);
}

bool blockobject(const Parser& P, const Symbol* s) {
    if (excluded(P, s)) return false;
    uint16_t c = codeof(s->type);
    if (c == ty::Struct || c == ty::Union) return false;
    if (s->sclass == sc::Extern || s->sclass == sc::Static)
        return c != ty::Array || plainelement(basetype(s->type)->subtype);
    return s->sclass == sc::Auto && c == ty::Array && plainelement(basetype(s->type)->subtype);
}

}  // namespace

void addrsetup(Parser& P, StmtNode* body) {
    FuncState& F = P.fn;
    F.addrobjects.clear();
    F.addrregs = !(P.opt.a & 4) && body && nontailcall(P, body);
    if (!F.addrregs) return;
    for (Symbol* s = P.syms.scopes.ordinary; s; s = s->next)
        if ((s->flags & sf::FileLevel) && s->weight >= kMinWeight && fileobject(P, s)) F.addrobjects.push_back(s);
}

void addrcandidates(Parser& P, StmtNode* block, std::vector<Symbol*>& list) {
    FuncState& F = P.fn;
    if (!F.addrregs || (block != F.compounds && enteredinside(block->body, 0))) return;
    for (int made = 0; made < kMaxRegisters; ++made) {
        Symbol* best = nullptr;
        for (Symbol* s : list)
            if (s->sclass != sc::AddrReg && (!best || s->weight > best->weight) && blockobject(P, s)) best = s;
        for (Symbol* s : F.addrobjects)
            if (!best || s->weight > best->weight) best = s;
        if (!best || best->weight < kMinWeight || best->blocklink) return;

        TypeNode* type = pointerto(P, best->type, best->attributes);
        if (codeof(best->type) == ty::Array) type = pointerto(P, basetype(best->type)->subtype, best->attributes);
        Symbol* reg = newsym(P, nullptr, nullptr, sc::AddrReg, type);
        reg->name = internname(P, "reg", 3);
        reg->flags = sf::Referenced | sf::Declared | sf::AddrRegister;
        reg->weight = best->weight;
        reg->blocklink = best;
        best->blocklink = reg;
        best->weight = 0;
        reg->next = block->locals;  // released with the block's symbols
        block->locals = reg;
        size_t at = 0;
        while (at < list.size()) {
            const Symbol* s = list[at];
            bool regfirst = s->sclass == sc::Register && !(P.opt.a & 1);
            if (!regfirst && !(s->weight == 0 && s->blocklink) && s->weight < reg->weight) break;
            ++at;
        }
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), reg);
    }
}

int addrregok(Parser& P) { return (P.fn.freeint & kFirstEight) != 0; }

void addrload(Parser& P, StmtNode* block, Symbol* reg) {
    Symbol* object = reg->blocklink;
    ExprNode* target = newexpr(P, opc::Leaf);
    target->leafbits = leaf::Contents | leaf::Symbol;
    target->sym = reg;
    target->type = reg->type;
    ExprNode* address = newexpr(P, opc::Leaf);
    address->leafbits = leaf::Symbol;
    address->sym = object;
    address->type = reg->type;
    StmtNode* st = newstmt(P, sk::RegLoad);
    st->firstline = block->firstline;
    st->firstcol = block->firstcol;
    st->file = block->file;
    st->expr = mknode(P, 95, reg->type, target, address);
    // after the loads of the parameters, which the address must not disturb
    StmtNode** at = &block->body;
    while (*at && (*at)->kind == sk::RegLoad && (*at)->expr && (*at)->expr->op == opc::Leaf) at = &(*at)->next;
    st->next = *at;
    *at = st;
}

void addrblockend(Parser& P, StmtNode* block) {
    (void)P;
    for (Symbol* s = block->locals; s; s = s->next)
        if ((s->flags & sf::AddrRegister) && s->blocklink && s->blocklink->blocklink == s) s->blocklink->blocklink = nullptr;
}

}  // namespace cpppc
