// The passes that work on a label (the start of a block) and the pairing
// pass that runs once over a finished unit.
#include "optimizer/opt.h"
#include "optimizer/rewrite.h"

namespace opt {

namespace {

// The nearest instruction before n in list order, labels and texts passed.
InsnNode* insnbefore(InsnNode* n) {
    for (InsnNode* p = n->prev; p; p = p->prev)
        if (p->isinsn()) return p;
    return nullptr;
}

// B2: a branch to the very next line.
int nextlinebranch(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "B2")) return 0;
    InsnNode* p = insnbefore(label);
    if (!p || !islabelbranch(p) || p->link != label || p->isvolatile()) return 0;
    if ((p->crwrite & (Lr | Ctr | Call)) || (p->crread & (Lr | Ctr))) return 0;
    // nothing but labels and texts between the branch and its label
    for (InsnNode* q = p->next; q && q != label; q = q->next)
        if (q->isinsn() || (q->kind & KLabelText) == KLabelText) return 0;
    bool feeds = (p->gprread & ~(regbit(1) | regbit(2) | regbit(13))) || (p->crread & CrAll);
    InsnNode* before = feeds ? previnsn(o, p, false) : nullptr;
    delinsn(o, p);
    ++o.destructions;
    if (before) deadchain(o, before);
    return 1;
}

// ---- P2 ----

bool labelbetween(const InsnNode* a, const InsnNode* b) {
    for (const InsnNode* n = a; n && n != b; n = n->next)
        if (n->islabel() || (n->kind & KLabelText) == KLabelText) return true;
    return false;
}

bool movable(const InsnNode* n) {
    if (!n || !n->isinsn() || barrier(n)) return false;
    if (n->crread & (Lr | Ctr)) return false;
    if (n->fprread || n->fprwrite) return false;
    return true;
}

bool memaccess(const InsnNode* n) { return (n->crread & Mem) || (n->crwrite & Mem); }

// Whether a and b, next to each other, may change places.
bool independent(const Optimizer& o, const InsnNode* a, const InsnNode* b) {
    const uint32_t res = CrAll | Ca | Lr | Ctr;
    if ((a->gprwrite & (b->gprread | b->gprwrite)) || (a->gprread & b->gprwrite)) return false;
    if ((a->crwrite & res & ((b->crread | b->crwrite) & res)) || (a->crread & res & b->crwrite)) return false;
    if ((a->crwrite & RecForm) && (b->crwrite & RecForm)) return false;
    if (memaccess(a) && memaccess(b) && (isstore(a) || isstore(b)) && mayalias(o, a, b)) return false;
    return true;
}

InsnNode* nextinsnafter(InsnNode* n) {
    for (InsnNode* p = n->next; p; p = p->next)
        if (p->isinsn()) return p;
    return nullptr;
}

int pairinsns(Optimizer& o) {
    if (!enterpass(o, "P2")) return 0;
    InsnNode *a = nullptr, *l = nullptr, *u = nullptr;
    for (InsnNode* n = o.unit.head; n; n = n->next)
        if (n->isinsn()) {
            u = n;
            break;
        }
    bool changed = false;
    while (u) {
        InsnNode* c = nextinsnafter(u);
        if (!c) break;
        if (movable(l) && movable(u) && !labelbetween(l, u) && isload(l) && memaccess(u) &&
            (addressregs(u) & l->gprwrite)) {
            if (movable(a) && !labelbetween(a, l) && independent(o, a, l) &&
                !(isload(a) && (a->gprwrite & addressregs(u)))) {
                moveinsn(o.unit, a, l);
                changed = true;
                // order now: l, a, u
                l = u;
                u = c;
                continue;
            }
            if (movable(c) && !labelbetween(u, c) && independent(o, u, c)) {
                moveinsn(o.unit, u, c);
                changed = true;
                // order now: l, c, u
                a = l;
                l = c;
                continue;
            }
        }
        a = l;
        l = u;
        u = c;
    }
    return changed ? 1 : 0;
}

}  // namespace

const std::vector<BlockPassDef>& blockpasses() {
    static const std::vector<BlockPassDef> rows = {{"B2", nextlinebranch}};
    return rows;
}

const std::vector<UnitPassDef>& finalpasses() {
    static const std::vector<UnitPassDef> rows = {{"P2", pairinsns}};
    return rows;
}

}  // namespace opt
