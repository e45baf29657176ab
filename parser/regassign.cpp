// Register assignment for locals and parameters, and the decisions lowering
// makes for the symbols of each compound statement: which live in the
// non-volatile registers r14 to r31 (f14 to f31 with -fr), where the others
// lie in the frame, which parameters are loaded into a register at entry,
// and which locals take the storage of another one (shared slots).
//
// Register numbers: 1 to 18 are r31 down to r14, 19 to 36 f31 down to f14;
// a mask bit k stands for number k + 1 (k + 19 for floats). A candidate set
// is a mask with a flag for float registers or for a pair of adjacent
// integer registers (a double without float registers).
#include <algorithm>

#include "parser/exprtree.h"
#include "parser/irwrite.h"

namespace cpppc {

namespace {

constexpr uint32_t kMask = 0x3FFFF;
constexpr uint32_t kFloatSet = 0x100000;
constexpr uint32_t kPairSet = 0x200000;
constexpr uint32_t kAliasCopy = 0x400000;  // an alias took another symbol's storage

bool isparam(const Symbol* s) { return s->sclass == sc::Param || s->sclass == sc::RegParam; }

bool livesinregister(const Symbol* s) {
    return (s->sclass == sc::Register || s->sclass == sc::RegParam) && s->attributes >= 1 && s->attributes <= 36;
}

// Register locals first (in the reverse of their order) unless -a1, then
// the rest by weight, heaviest first, equal weights in order (unless -s).
void orderlocals(Parser& P, std::vector<Symbol*>& list) {
    size_t start = 0;
    if (!(P.opt.a & 1)) {
        std::vector<Symbol*> regs, rest;
        for (size_t k = 0; k < list.size(); ++k) {
            if (k > 0 && list[k]->sclass == sc::Register)
                regs.insert(regs.begin(), list[k]);
            else
                rest.push_back(list[k]);
        }
        start = regs.size();
        regs.insert(regs.end(), rest.begin(), rest.end());
        list = regs;
    }
    if (!P.opt.s)
        std::stable_sort(list.begin() + static_cast<std::ptrdiff_t>(start), list.end(),
                         [](const Symbol* a, const Symbol* b) { return a->weight > b->weight; });
}

void layout(Parser& P, Symbol* s) {
    FuncState& F = P.fn;
    uint32_t size = typesize(P, s->type);
    F.localoffset = alignup(static_cast<int32_t>(static_cast<uint32_t>(F.localoffset) - size), s->type);
    s->value = static_cast<uint32_t>(F.localoffset);
}

// Whether a local or parameter may be offered a register at all.
bool mayregister(Parser& P, const Symbol* s) {
    return !(P.opt.a & 2) && !(s->flags & (sf::Untracked | sf::Expanding)) && !(s->attributes & attr::Volatile);
}

}  // namespace

uint32_t regcandidates(Parser& P, TypeNode* t, uint32_t free) {
    FuncState& F = P.fn;
    free &= kMask;
    switch (codeof(t)) {
    case ty::Char:
    case ty::UChar:
    case ty::Short:
    case ty::UShort:
    case ty::Int:
    case ty::UInt:
    case ty::Long:
    case ty::ULong:
    case ty::Pointer: return free;
    case ty::Float:
        if (!P.opt.fr) return free;
        return F.freefloat & kMask ? (F.freefloat & kMask) | kFloatSet : 0;
    case ty::Double:
        if (P.opt.fr) return F.freefloat & kMask ? (F.freefloat & kMask) | kFloatSet : 0;
        for (int k = 0; k < 17; ++k)
            if ((free >> k & 3u) == 3u) return free | kPairSet;
        return 0;
    default: return 0;
    }
}

// The first register of a candidate set (a pair: two adjacent bits),
// taken out of the free set and the never-taken mask; 0 when none.
static int takefirst(uint32_t cand, uint32_t& free, uint32_t& mask, uint32_t unit, int count, int base) {
    for (int k = 0; k < count; ++k) {
        uint32_t bits = unit << k;
        if ((cand & bits) == bits) {
            free &= ~bits;
            mask &= ~bits;
            return k + base;
        }
    }
    return 0;
}

int takereg(Parser& P, uint32_t cand) {
    FuncState& F = P.fn;
    if (cand & kFloatSet) return takefirst(cand, F.freefloat, F.floatmask, 1u, 18, 19);
    if (cand & kPairSet) return takefirst(cand, F.freeint, F.intmask, 3u, 17, 2);
    return takefirst(cand, F.freeint, F.intmask, 1u, 18, 1);
}

int regtry(Parser& P, Symbol* s) {
    if ((s->flags & sf::Referenced) && !(s->attributes & attr::Volatile)) {
        uint32_t cand = regcandidates(P, s->type, P.fn.freeint);
        if (cand & kMask) {
            bool first = s->sclass == sc::Register && !(P.opt.a & 1);
            if (first || regok(P, s, cand)) {
                if (int reg = takereg(P, cand)) {
                    s->attributes = static_cast<uint16_t>(reg);
                    s->value = 0;
                    return 1;
                }
            }
            if (s->sclass == sc::Register) s->sclass = sc::Auto;
            return 0;
        }
    }
    if (s->sclass != sc::AddrReg) s->sclass = sc::Auto;
    return 0;
}

int regparam(Parser& P, StmtNode* block, Symbol* p) {
    FuncState& F = P.fn;
    if (!(p->flags & sf::Referenced) || (p->attributes & attr::Volatile) || (p->flags & (sf::Untracked | sf::Expanding)))
        return 0;
    if (p->sclass != sc::RegParam && p->weight < (F.calls ? 2 : 1)) return 0;
    uint32_t cand = regcandidates(P, p->type, F.freeint);
    if (!(cand & kMask) || !regok(P, p, cand)) return 0;
    int reg = takereg(P, cand);
    if (!reg) return 0;
    p->attributes = static_cast<uint16_t>(reg);
    p->sclass = sc::RegParam;
    // the statement that loads its register from the stack slot
    StmtNode* st = newstmt(P, sk::RegLoad);
    st->firstline = block->firstline;
    st->firstcol = block->firstcol;
    st->file = block->file;
    ExprNode* e = newexpr(P, opc::Leaf);
    e->leafbits = leaf::Contents | leaf::Symbol;
    e->sym = p;
    e->type = basetype(p->type);
    st->expr = e;
    StmtNode* first = block->body;
    if (first && first->kind == sk::RegLoad && first->expr && first->expr->sym &&
        (first->expr->sym->flags & sf::RegPassed)) {
        st->next = first->next;
        first->next = st;
    } else {
        st->next = first;
        block->body = st;
    }
    return 1;
}

void markregpassed(Parser& P, Symbol* func) {
    ir::ArgRegs regs(P.opt.fr != 0, P.opt.f != 0, (func->attributes & attr::Volatile) != 0);
    for (Symbol* p : P.fn.params) p->flags &= ~sf::RegPassed;
    for (Symbol* p : P.fn.params) {
        if (regs.next(irtypecode(p->type)).kind == ir::ArgPlace::Stack) break;
        p->flags |= sf::RegPassed;
    }
}

void assignregs(Parser& P, StmtNode* body) {
    FuncState& F = P.fn;
    F.intmask = F.freeint = kMask;
    F.floatmask = F.freefloat = P.opt.fr ? kMask : 0;
    if (F.func) markregpassed(P, F.func);
    for (Symbol* p : F.params) {
        if (p->sclass != sc::RegParam) continue;
        if (!((P.opt.a & 3) && body && mayregister(P, p) && regparam(P, body, p))) p->sclass = sc::Param;
    }
}

namespace {

// A local that nothing reads or writes, or a parameter that nothing names
// and that arrives on the stack.
bool unused(const Symbol* s) {
    switch (s->sclass) {
    case sc::Auto:
    case sc::Register:
        return !(s->flags & sf::Referenced) && !isfunction(s->type);
    case sc::Param:
    case sc::RegParam:
        return !(s->flags & (sf::Referenced | sf::RegPassed));
    default: return false;
    }
}

}  // namespace

void decidelocals(Parser& P, StmtNode* block) {
    FuncState& F = P.fn;
    std::vector<Symbol*> list;
    for (Symbol* s = block->locals; s; s = s->next) list.push_back(s);
    if (block == F.compounds)
        for (Symbol* p : F.params) list.push_back(p);
    orderlocals(P, list);
    addrcandidates(P, block, list);
    for (Symbol* s : list) {
        if (!(s->flags & sf::Declared) && s->name) {
            putdiagat(P, s->useline, s->usecolumn, namelength(s->name), "%.*s undefined", namelength(s->name),
                      nametext(s->name));
            s->flags |= sf::Declared;
        }
        if (unused(s)) {
            // no storage, no records: nothing names it
            s->sclass = sc::Extern;
            s->flags |= sf::LaidOut;
            continue;
        }
        if (s->sclass == sc::Alias) continue;
        if (s->sclass == sc::Register && !(s->flags & (sf::Untracked | sf::Expanding)) && regtry(P, s)) {
            s->flags |= sf::LaidOut;
            continue;
        }
        switch (s->sclass) {
        case sc::Auto:
        case sc::Register:
            if (isfunction(s->type)) break;
            if (mayregister(P, s) && regtry(P, s)) {
                s->sclass = sc::Register;
                break;
            }
            if (s->sclass == sc::Register) s->sclass = sc::Auto;
            layout(P, s);
            break;
        case sc::Param:
            if (mayregister(P, s)) regparam(P, block, s);
            break;
        case sc::AddrReg:
            if (addrregok(P) && regtry(P, s)) {
                s->sclass = sc::Register;
                addrload(P, block, s);
            } else if (s->blocklink) {
                s->blocklink->blocklink = nullptr;  // its references stay direct
                s->blocklink = nullptr;
            }
            break;
        case sc::Extern:
            if ((s->flags & sf::Referenced) && !(s->flags & sf::Hidden)) putdef(P, s, 0);
            break;
        case sc::Static:
            if (!isfunction(s->type) && !(s->flags & sf::Written)) {
                s->flags |= sf::Written;
                putspaces(P);
                putdatalabel(P, s);
                putreserve(P, typesize(P, s->type));
                putenddata(P);
            }
            break;
        default: break;
        }
        s->flags |= sf::LaidOut;
    }
    // aliases take the storage of the symbol they stand for
    for (Symbol* s : list) {
        Symbol* rep = s->sclass == sc::Alias ? s->standsfor : nullptr;
        if (!rep) continue;
        bool inreg = livesinregister(rep);
        if (rep->sclass == sc::RegParam && inreg) {
            s->sclass = sc::Register;
            s->value = 0;
        } else {
            s->sclass = isparam(rep) ? sc::Param : rep->sclass;
            s->value = rep->value;
            s->flags |= rep->flags & sf::RegPassed;
        }
        if (inreg) s->attributes = rep->attributes;
        s->flags |= kAliasCopy | sf::LaidOut;
    }
    if (F.localoffset < F.lowestlocal) F.lowestlocal = F.localoffset;
}

}  // namespace cpppc
