// The passes that work on a label (the start of a block) and the pairing
// pass that runs once over a finished unit.
#include <algorithm>

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

// I3: an invariant computation of a counted loop goes in front of it.
//     P; L: ... X ... bdnz L     (P falls into L, the bdnz is L's only way in)
int invariant(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "I3")) return 0;
    if (!label->rec || label->rec->refs.size() != 1 || label->isvolatile()) return 0;
    InsnNode* r = label->rec->refs[0];
    if (!r->isinsn() || !isrow(r, rowids().bdnz) || operandcount(r->text) != 1) return 0;
    InsnNode* p = insnbefore(label);
    if (!p || !fallsthrough(p)) return 0;
    // one block: no label and no other branch between L and its bdnz
    uint32_t written = 0;
    for (InsnNode* q = label->next; q != r; q = q->next) {
        if (!q || q->islabel() || (q->kind & KLabelText) == KLabelText) return 0;
        if (q->isinsn()) {
            if (q->crwrite & (Lbl | Call | Exit | Br)) return 0;
            written |= q->gprwrite;
        }
    }
    uint32_t a = ~(regbit(1) | regbit(2) | regbit(13));
    for (InsnNode* x = label->next; x != r; x = x->next) {
        if (!x->isinsn()) continue;
        if (isstore(x) || (x->gprwrite & regbit(1)) || barrier(x)) return 0;
        uint32_t w = x->gprwrite;
        bool candidate = !isload(x) && removable(o, x) && w && !(w & (w - 1)) && (w & a) && !(x->gprread & w) &&
                         !(x->gprread & ~a) && !(x->crwrite & (CrAll | Ca | Lr | Ctr | RecForm)) &&
                         !(x->crread & (CrAll | Ca | Lr | Ctr | Mem)) && !x->fprread;
        if (candidate) {
            // nothing else in the loop writes what X writes or reads
            for (InsnNode* q = label->next; q != r && candidate; q = q->next)
                if (q != x && q->isinsn() && (q->gprwrite & (w | x->gprread))) candidate = false;
        }
        if (candidate) {
            if (!armed(o)) return 0;
            putafter(o, p, lineof(x));
            delinsn(o, x);
            return 1;
        }
        a &= ~(x->gprread | x->gprwrite);
    }
    return 0;
}

// ---- G0: a small-data variable used often gets its address in a register ----
struct Access {
    InsnNode* node;
    std::string disp;   // the number after the symbol, "" for none
};
struct Group {
    std::string symbol;
    int base = 13;
    int count = 0;
    std::vector<Access> accesses;
};

int smallbases(Optimizer& o) {
    if (!enterpass(o, "G0")) return 0;
    Unit& u = o.unit;
    if (!u.entry) return 0;
    uint32_t used = 0;
    for (InsnNode* n = u.head; n; n = n->next) {
        if (!n->isinsn()) continue;
        if (n->crwrite & Call) return 0;
        // an exit's reads are the returned registers: they count as used
        used |= n->gprread | (isexit(n) ? 0 : n->gprwrite);
    }
    if (!(used & (regbit(13) | regbit(2)))) return 0;
    uint32_t freeregs = regrange(3, 7) & ~used;
    if (!freeregs) return 0;
    std::vector<Group> groups;
    for (InsnNode* n = u.head; n; n = n->next) {
        if (!n->isinsn() || !(n->gprread & (regbit(13) | regbit(2)))) continue;
        bool mem = (n->crread & Mem) || (n->crwrite & Mem);
        if (!mem && !isrow(n, rowids().la)) continue;
        if (insnrow(n->kind).attr & (Upd | Eff)) continue;
        if (operandcount(n->text) != 2) continue;
        std::string_view a = skipspace(addressop(n));
        if (a.empty() || (a[0] >= '0' && a[0] <= '9') || a[0] == '-' || a[0] == '.') continue;
        int base = a.ends_with("(r13)") ? 13 : a.ends_with("(r2)") ? 2 : -1;
        if (base < 0) continue;
        if ((n->gprread & ~regbit(base)) && mem && !isstore(n)) continue;   // another register in the address
        std::string_view expr = a.substr(0, a.size() - (base == 13 ? 5 : 4));
        size_t cut = expr.find_first_of("+-(");
        std::string sym(expr.substr(0, cut));
        std::string disp;
        if (cut != std::string_view::npos) {
            std::string_view rest = expr.substr(cut);
            int32_t v = 0;
            if (!numvalue(rest, v)) continue;
            disp = std::to_string(v);
        }
        if (sym.empty() || sym.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
            continue;
        if (isstore(n) && (firstreg(n) & (regbit(13) | regbit(2)))) continue;
        Group* g = nullptr;
        for (Group& x : groups)
            if (x.symbol == sym && x.base == base) g = &x;
        if (!g) {
            groups.push_back(Group{sym, base, 0, {}});
            g = &groups.back();
        }
        int32_t v = 0;
        numvalue(disp.empty() ? "0" : disp, v);
        uint32_t shift = n->width == 1 ? 0 : n->width == 2 ? 1 : 2;
        if (v == 0 || (v > 0 && mem && (static_cast<uint32_t>(v) >> shift) < 16)) ++g->count;
        g->accesses.push_back({n, disp});
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& x, const Group& y) { return x.count > y.count; });
    bool changed = false;
    for (const Group& g : groups) {
        if (!freeregs || g.count <= 3) break;
        uint32_t f = freeregs & (0u - freeregs);
        freeregs &= ~f;
        std::string fn = gprname(f);
        putafter(o, u.entry, "la " + fn + "," + g.symbol + "(r" + std::to_string(g.base) + ")");
        for (const Access& a : g.accesses) {
            std::string line(mnemonicof(a.node));
            line += suffixes(a.node);
            line += " " + std::string(firstoperand(a.node->text)) + "," + (a.disp.empty() ? "0" : a.disp) + "(" + fn + ")";
            replaceinsn(o, a.node, line);
        }
        changed = true;
    }
    return changed ? 1 : 0;
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
    static const std::vector<BlockPassDef> rows = {{"B2", nextlinebranch}, {"I3", invariant}};
    return rows;
}

const std::vector<UnitPassDef>& globalpasses() {
    static const std::vector<UnitPassDef> rows = {{"G0", smallbases}};
    return rows;
}

const std::vector<UnitPassDef>& finalpasses() {
    static const std::vector<UnitPassDef> rows = {{"P2", pairinsns}};
    return rows;
}

}  // namespace opt
