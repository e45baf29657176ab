// The passes that work on a label (the start of a block) and the pairing
// pass that runs once over a finished unit.
#include <algorithm>
#include <memory>

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

// F0: every way into a label ends with the same instruction: one copy
// after the label does.
int crossjump(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "F0")) return 0;
    if (!label->rec || label->rec->refs.empty() || label->isvolatile()) return 0;
    std::vector<InsnNode*> copies;
    InsnNode* p = insnbefore(label);
    auto plain = [](const InsnNode* q) { return q && q->isinsn() && !q->isvolatile() && !barrier(q); };
    // the line that falls into the label
    if (p && fallsthrough(p)) {
        for (InsnNode* q = p->next; q != label; q = q->next)
            if (q->islabel() || (q->kind & KLabelText) == KLabelText) return 0;
        if (!plain(p)) return 0;
        copies.push_back(p);
    }
    for (InsnNode* r : label->rec->refs) {
        if (!r->isinsn() || !isjump(r) || r->isvolatile()) return 0;
        InsnNode* q = r->prev;
        while (q && q->istext()) q = q->prev;
        if (!q || !q->isinsn() || !plain(q)) return 0;
        for (InsnNode* c : copies)
            if (c == q) return 0;
        copies.push_back(q);
    }
    if (copies.size() < 2) return 0;
    for (InsnNode* c : copies)
        if (c->kind != copies[0]->kind || c->text != copies[0]->text) return 0;
    if (!armed(o)) return 0;
    putafter(o, label, lineof(copies[0]));
    for (size_t k = 0; k < copies.size(); ++k) {
        delinsn(o, copies[k]);
        if (k) ++o.destructions;
    }
    return 1;
}

// I3: an invariant computation of a counted loop goes in front of it.
//     P; L: ... X ... bdnz L     (P falls into L, the bdnz is L's only way in)
// F1 does the same for an invariant load, when no store of the loop may
// touch what it loads.
// A counted loop of one block: P falls into L, the bdnz at the end is L's
// only way in, and no label, branch or call stands between them. Returns
// the bdnz (and P), or nullptr.
InsnNode* countedloop(InsnNode* label, InsnNode*& p) {
    if (!label->rec || label->rec->refs.size() != 1 || label->isvolatile()) return nullptr;
    InsnNode* r = label->rec->refs[0];
    if (!r->isinsn() || !isrow(r, rowids().bdnz) || operandcount(r->text) != 1) return nullptr;
    p = insnbefore(label);
    if (!p || !fallsthrough(p)) return nullptr;
    for (InsnNode* q = label->next; q != r; q = q->next) {
        if (!q || q->islabel() || (q->kind & KLabelText) == KLabelText) return nullptr;
        if (q->isinsn() && (q->crwrite & (Lbl | Call | Exit | Br))) return nullptr;
    }
    return r;
}

int hoistinvariant(Optimizer& o, InsnNode* label, const char* code, bool loads) {
    if (!enterpass(o, code)) return 0;
    InsnNode* p = nullptr;
    InsnNode* r = countedloop(label, p);
    if (!r) return 0;
    uint32_t a = ~(regbit(1) | regbit(2) | regbit(13)), left = 0;
    for (InsnNode* x = label->next; x != r; x = x->next) {
        if (!x->isinsn()) continue;
        if (isstore(x) || (x->gprwrite & regbit(1)) || barrier(x)) return 0;
        uint32_t w = x->gprwrite;
        bool kind = loads ? isload(x) && !(insnrow(x->kind).attr & (Upd | Eff)) && !x->isvolatile()
                          : !isload(x) && removable(o, x) && !(x->crread & Mem);
        bool candidate = kind && w && !(w & (w - 1)) && (w & a) && !(x->gprread & w) && !(x->gprread & left) &&
                         !(x->crwrite & (CrAll | Ca | Lr | Ctr | RecForm)) && !(x->crread & (CrAll | Ca | Lr | Ctr)) &&
                         !x->fprread && !x->fprwrite;
        if (candidate) {
            // nothing else in the loop writes what X writes or reads, or
            // stores where X loads from
            for (InsnNode* q = label->next; q != r && candidate; q = q->next) {
                if (q == x || !q->isinsn()) continue;
                if (q->gprwrite & (w | x->gprread)) candidate = false;
                if (loads && (q->crwrite & Mem) && mayalias(o, q, x)) candidate = false;
            }
        }
        if (candidate) {
            if (!armed(o)) return 0;
            putafter(o, p, lineof(x));
            delinsn(o, x);
            return 1;
        }
        left |= x->gprread | x->gprwrite;
        a &= ~left;
    }
    return 0;
}

int invariant(Optimizer& o, InsnNode* label) { return hoistinvariant(o, label, "I3", false); }
int invariantload(Optimizer& o, InsnNode* label) { return hoistinvariant(o, label, "F1", true); }

// S1: a store of a counted loop that nothing else in the loop touches is
// made once after it, with the value of the last round.
//     L: ... stw S,a ... bdnz L    becomes    L: ... bdnz L; stw S,a
// The loop is one block that P falls into; no other access of the loop may
// touch the place, nothing in it writes the address registers, and S is
// not written after the store.
int sinkstore(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "S1")) return 0;
    InsnNode* p = nullptr;
    InsnNode* r = countedloop(label, p);
    if (!r) return 0;
    for (InsnNode* q = label->next; q != r; q = q->next)
        if (q->isinsn() && (barrier(q) || (insnrow(q->kind).attr & Eff))) return 0;
    for (InsnNode* d = label->next; d != r; d = d->next) {
        if (!d->isinsn() || !isstore(d) || d->isvolatile() || (insnrow(d->kind).attr & Upd) || d->gprwrite) continue;
        uint32_t areg = addressregs(d), sreg = d->gprread & ~areg;
        bool ok = areg && !(d->gprread & regbit(0));
        for (InsnNode* q = label->next; q != r && ok; q = q->next) {
            if (q == d || !q->isinsn()) continue;
            if (q->gprwrite & areg) ok = false;
            if (((q->crread | q->crwrite) & Mem) && mayalias(o, q, d)) ok = false;
        }
        for (InsnNode* q = d->next; q != r && ok; q = q->next)
            if (q->isinsn() && (q->gprwrite & sreg)) ok = false;
        if (!ok) continue;
        if (!armed(o)) return 0;
        moveinsn(o.unit, d, r);
        return 1;
    }
    return 0;
}

// The first line of the block at a label (walked up to its first branch,
// store or call) that `take` accepts and that could stand at the label
// instead: nothing before it reads or writes what it reads or writes.
template <class Take>
InsnNode* movableup(InsnNode* label, Take take) {
    uint32_t left = 0;
    for (InsnNode* x = label->next; x; x = x->next) {
        if (x->islabel() || (x->kind & KLabelText) == KLabelText) return nullptr;
        if (!x->isinsn()) continue;
        if (barrier(x) || (x->crwrite & Mem)) return nullptr;
        if (!((x->gprread | x->gprwrite) & left) && take(x)) return x;
        left |= x->gprread | x->gprwrite;
    }
    return nullptr;
}

// L2: a constant or load at a join whose value every branch to the label
// already leaves in its register is made on the fall-through way alone:
// it moves to just before the label. When one jump does not bring the
// value but the fall-through way already has it, the line moves to just
// before that jump instead.
int joinvalue(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "L2")) return 0;
    if (!label->rec || label->rec->refs.empty() || label->isvolatile()) return 0;
    InsnNode* p = insnbefore(label);
    if (!p || !fallsthrough(p) || (islabelbranch(p) && p->link == label) || !armed(o)) return 0;
    InsnNode* failed = nullptr;
    InsnNode* moved = movableup(label, [&](InsnNode* x) {
        int32_t v = 0;
        if ((!isload(x) && !numvalue(lastoperand(x->text), v)) || !valueline(x) ||
            (x->gprwrite & (regbit(1) | regbit(2) | regbit(13))))
            return false;
        failed = nullptr;
        for (InsnNode* r : label->rec->refs) {
            if (!r->isinsn() || !islabelbranch(r) || r->isvolatile() || (r->gprwrite & x->gprwrite)) return false;
            if (valueheld(o, r, x)) continue;
            if (failed || !isjump(r)) return false;
            failed = r;
        }
        return !failed || valueheld(o, label, x);
    });
    if (!moved) return 0;
    moveinsn(o.unit, moved, failed ? failed->prev : label->prev);
    return 1;
}

// L3: a load at a label that one jump alone reaches goes before the jump
// when the jump's block already accessed the same place: there the value
// can be taken from the register that holds it.
//     ... stw r3,8(r4); ... b L  ...  L: lwz r3,8(r4)
// Nothing between L and the load may touch what the load reads or writes,
// and nothing between the access and the jump may write them or store.
int loadbeforejump(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "L3")) return 0;
    if (!label->rec || label->rec->refs.size() != 1 || label->isvolatile()) return 0;
    InsnNode* q = label->rec->refs[0];
    InsnNode* before = insnbefore(label);
    if (!q->isinsn() || !isjump(q) || q->isvolatile() || (before && fallsthrough(before))) return 0;
    InsnNode* moved = movableup(label, [&](InsnNode* x) {
        uint32_t w = x->gprwrite;
        if (!isload(x) || x->isvolatile() || (insnrow(x->kind).attr & (Upd | Eff)) || !w || (w & (w - 1)) ||
            !(w & (regbit(0) | regrange(3, 12))) || (x->gprread & w))
            return false;
        for (InsnNode* p = previnblock(q); p; p = previnblock(p)) {
            if (p->text == x->text && p->width == x->width && (isload(p) || isstore(p))) return true;
            if (barrier(p) || (p->gprwrite & (w | x->gprread)) || ((p->crwrite & Mem) && mayalias(o, p, x))) return false;
        }
        return false;
    });
    if (!moved || !armed(o)) return 0;
    moveinsn(o.unit, moved, q->prev);
    return 1;
}

// L1: both ways out of a conditional branch begin with the same line.
//     B: bcc L; C ... ; (jump or exit); L: A ...    (B is L's only way in)
// A goes in front of the branch and C goes, when A neither writes what the
// branch tests nor reads or writes what the branch writes.
int hoistcommon(Optimizer& o, InsnNode* label) {
    if (!enterpass(o, "L1")) return 0;
    if (!label->rec || label->rec->refs.size() != 1 || label->isvolatile()) return 0;
    InsnNode* p = insnbefore(label);
    if (!p || fallsthrough(p)) return 0;
    InsnNode* b = label->rec->refs[0];
    if (!b->isinsn() || !islabelbranch(b) || !iscondbranch(b) || b->isvolatile()) return 0;
    if ((b->crwrite & ~(Br | Lbl)) || b->gprwrite || b->fprwrite) return 0;
    InsnNode* a = nullptr;
    for (InsnNode* q = label->next; q; q = q->next) {
        if (q->islabel() || (q->kind & KLabelText) == KLabelText) return 0;
        if (q->isinsn()) {
            a = q;
            break;
        }
    }
    InsnNode* c = nextinblock(b);
    if (!a || !c || a == c || !b->prev || a->isvolatile() || c->isvolatile()) return 0;
    if (barrier(a) || (a->crwrite & Mem) || (insnrow(a->kind).attr & Eff)) return 0;
    if (a->kind != c->kind || a->text != c->text) return 0;
    if ((a->gprwrite & b->gprread) || (a->crwrite & b->crread & ~Br) || (a->fprwrite & b->fprread)) return 0;
    if (!armed(o)) return 0;
    moveinsn(o.unit, a, b->prev);
    delinsn(o, c);
    return 1;
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
    uint32_t used = 0, written = 0;
    std::vector<InsnNode*> stores;
    for (InsnNode* n = u.head; n; n = n->next) {
        if (!n->isinsn()) continue;
        if (n->crwrite & Call) return 0;
        // an exit's reads are the returned registers: they count as used
        used |= n->gprread | (isexit(n) ? 0 : n->gprwrite);
        written |= n->gprwrite;
        if (n->crwrite & Mem) stores.push_back(n);
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
        if (base < 0 || (written & regbit(base))) continue;   // the entry would see another base
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
    // The whole value once at the entry: every access a plain load of one
    // row at the symbol itself, and no store of the unit may touch it.
    auto wholeload = [&](const Group& g) {
        const InsnNode* first = g.accesses.front().node;
        for (const Access& a : g.accesses) {
            const InsnNode* n = a.node;
            if (!isload(n) || n->isvolatile() || genrow(n) != genrow(first) || hasrec(n) ||
                !(a.disp.empty() || a.disp == "0"))
                return false;
            for (const InsnNode* st : stores)
                if (mayalias(o, st, n)) return false;
        }
        return true;
    };
    bool changed = false;
    for (const Group& g : groups) {
        if (!freeregs || g.count <= 1) break;
        if (wholeload(g)) {
            uint32_t f = freeregs & (0u - freeregs);
            freeregs &= ~f;
            std::string fn = gprname(f);
            putafter(o, u.entry, std::string(mnemonicof(g.accesses.front().node)) + " " + fn + "," + g.symbol + "(r" +
                                     std::to_string(g.base) + ")");
            for (const Access& a : g.accesses)
                replaceinsn(o, a.node, "mr " + std::string(firstoperand(a.node->text)) + "," + fn);
            changed = true;
            continue;
        }
        if (g.count <= 3) continue;
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

// ---- R0: the base of a run of accesses moved so more of them are short ----
// A comment or debug line: no code, no jump table.
bool quiettext(const InsnNode* n) {
    std::string_view t = skipspace(n->text);
    return t.empty() || t[0] == ';' || t.starts_with(".d") || t.starts_with("OFST");
}

struct Rebased {
    InsnNode* node;
    int32_t disp;
};

// The displacement of an access "d(X)"; false for any other address.
bool displacement(const InsnNode* n, uint32_t x, int32_t& d) {
    std::string_view a = skipspace(addressop(n));
    std::string tail = "(" + gprname(x) + ")";
    if (!a.ends_with(tail)) return false;
    return numvalue(a.substr(0, a.size() - tail.size()), d);
}

bool fitsshort(const InsnNode* n, int64_t d) {
    if (isrow(n, rowids().lha)) return false;
    int64_t size = n->width == 1 ? 1 : n->width == 2 ? 2 : 4;
    return d >= 0 && d % size == 0 && d / size <= 15;
}

// R0's other form: every access through the la's register loads the same
// place, so the la loads it and the accesses copy it. No call and no store
// of the rest of the unit may change the place.
bool wholeload(Optimizer& o, InsnNode* c, const std::vector<Rebased>& acc) {
    const InsnNode* first = acc.front().node;
    for (const Rebased& a : acc)
        if (!isload(a.node) || a.node->isvolatile() || a.disp != 0 || genrow(a.node) != genrow(first) ||
            operandcount(a.node->text) != 2)
            return false;
    // a bare symbol of a long section has no displacement form
    std::string_view addr = skipspace(restops(c));
    if (operandcount(c->text) != 2 || !addr.ends_with(")") || addr.find('(') == std::string_view::npos) return false;
    uint32_t x = firstreg(c);
    std::unique_ptr<InsnNode> place(parseinsn(o, std::string(mnemonicof(first)) + " r0," + std::string(addr)));
    for (InsnNode* n = c->next; n; n = n->next) {
        if (!n->isinsn()) continue;
        if ((n->crwrite & Call) || ((n->crwrite & Mem) && mayalias(o, n, place.get()))) return false;
    }
    putafter(o, c, std::string(mnemonicof(first)) + " " + c->text);
    for (const Rebased& a : acc) replaceinsn(o, a.node, "mr " + std::string(firstoperand(a.node->text)) + "," + gprname(x));
    delinsn(o, c);
    return true;
}

int rebase(Optimizer& o) {
    if (!enterpass(o, "R0")) return 0;
    Unit& u = o.unit;
    uint32_t written = 0;
    for (InsnNode* c = u.head; c; c = c->next) {
        if (c->islabel() && c->rec && !c->rec->refs.empty()) break;
        if (!c->isinsn()) continue;
        uint32_t x = c->gprwrite;
        uint32_t before = written;
        written |= c->gprwrite;
        if (!x || (x & (x - 1)) || (x & before) || !(x & (regbit(0) | regrange(3, 12)))) continue;
        if (barrier(c) || isstore(c) || (insnrow(c->kind).attr & (Upd | Eff)) || hasrec(c) || firstreg(c) != x) continue;
        bool la = isrow(c, rowids().la), mr = isrow(c, rowids().mr);
        if (!la && !mr && !isload(c)) continue;
        if (c->gprread & x) continue;
        std::vector<Rebased> acc;
        bool ok = true;
        bool straight = true;   // every path from C still passes here
        for (InsnNode* n = c->next; n && ok; n = n->next) {
            if (!n->isinsn()) {
                if (n->islabel() || (n->kind & KLabelText) == KLabelText || !quiettext(n)) straight = false;
                continue;
            }
            if (n->gprread & x) {
                int32_t d = 0;
                bool mem = (n->crread & Mem) || (n->crwrite & Mem);
                ok = mem && !(insnrow(n->kind).attr & (Upd | Eff)) && !(n->gprread & n->gprwrite) &&
                     !(isstore(n) && firstreg(n) == x) && operandcount(n->text) == 2 && displacement(n, x, d);
                if (ok) acc.push_back({n, d});
                if (!ok || !(n->gprwrite & x)) continue;
            }
            if ((n->gprwrite & x) && !isexit(n)) {
                if (!straight) ok = false;
                break;   // the value of C ends here on the only path
            }
            if (islabelbranch(n) || (n->crwrite & (Br | Lbl))) straight = false;
        }
        if (!ok || acc.empty()) continue;
        int current = 0;
        for (const Rebased& a : acc) current += fitsshort(a.node, a.disp);
        int32_t best = 0;
        int bestcount = current;
        for (const Rebased& cand : acc) {
            if (cand.disp == 0) continue;
            int k = 0;
            for (const Rebased& a : acc) k += fitsshort(a.node, static_cast<int64_t>(a.disp) - cand.disp);
            if (k > bestcount) bestcount = k, best = cand.disp;
        }
        int need = la ? 1 : mr ? 2 : 3;
        if ((best == 0 || bestcount < need) && la && wholeload(o, c, acc)) return 1;
        if (best == 0 || bestcount < need) continue;
        bool inrange = true;
        for (const Rebased& a : acc) {
            int64_t d = static_cast<int64_t>(a.disp) - best;
            if (d < -0x8000 || d > 0x7FFF) inrange = false;
        }
        if (!inrange) continue;
        // C absorbs the offset
        std::string xn = gprname(x), line;
        if (la) {
            std::string_view addr = skipspace(restops(c));
            size_t open = addr.rfind('(');
            if (open == std::string_view::npos) continue;
            std::string_view expr = addr.substr(0, open), base = addr.substr(open);
            int32_t n0 = 0;
            std::string sym;
            if (numvalue(expr, n0)) {
                sym.clear();
            } else {
                size_t cut = expr.find_first_of("+-", 1);
                sym = std::string(expr.substr(0, cut));
                if (cut != std::string_view::npos && !numvalue(expr.substr(cut), n0)) continue;
            }
            int64_t sum = static_cast<int64_t>(n0) + best;
            if (sum < -0x8000 || sum > 0x7FFF) continue;
            std::string num = std::to_string(sum);
            if (sym.empty())
                line = "la " + xn + "," + num + std::string(base);
            else
                line = "la " + xn + "," + sym + (sum > 0 ? "+" + num : sum < 0 ? num : "") + std::string(base);
            replaceinsn(o, c, line);
        } else if (mr) {
            uint32_t y = parsereg(restops(c));
            if (!y || operandcount(c->text) != 2) continue;
            replaceinsn(o, c, "addi " + xn + "," + gprname(y) + "," + std::to_string(best));
        } else {
            putafter(o, c, "addi " + xn + "," + std::to_string(best));
        }
        for (const Rebased& a : acc) {
            std::string l(mnemonicof(a.node));
            l += suffixes(a.node);
            l += " " + std::string(firstoperand(a.node->text)) + "," + std::to_string(static_cast<int64_t>(a.disp) - best) +
                 "(" + xn + ")";
            replaceinsn(o, a.node, l);
        }
        return 1;
    }
    return 0;
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
    static const std::vector<BlockPassDef> rows = {
        {"B2", nextlinebranch}, {"F0", crossjump}, {"L2", joinvalue}, {"L3", loadbeforejump}, {"L1", hoistcommon},
        {"S1", sinkstore},      {"F1", invariantload}, {"I3", invariant}};
    return rows;
}

const std::vector<UnitPassDef>& globalpasses() {
    static const std::vector<UnitPassDef> rows = {{"G0", smallbases}, {"R0", rebase}};
    return rows;
}

const std::vector<UnitPassDef>& finalpasses() {
    static const std::vector<UnitPassDef> rows = {{"P2", pairinsns}};
    return rows;
}

}  // namespace opt
