// The instruction handlers: dead definitions, moves and forwarding,
// immediate arithmetic, logical immediates, extensions, compares and
// branches, dead stores.
//
// Every handler proves its condition on the masks of the nodes before it
// changes a line; where a proof would need more than the straight code
// around the instruction (a walk over a join, a value through memory that
// another access may touch), it changes nothing. Walks stay within the
// block unless they ask the liveness queries, which know the label graph.
#include <string>
#include <unordered_set>
#include <vector>

#include "optimizer/opt.h"
#include "optimizer/rewrite.h"

namespace opt {

namespace {

const uint32_t kTracked = CrAll | Ca | Lr | Ctr;

std::string reg(uint32_t mask) { return gprname(mask); }

// A value as the assembler reads it.
std::string num(int64_t v) { return std::to_string(v); }

// n only copies s into x: it goes when they are one register, else it
// becomes mr x,s.
int copyonly(Optimizer& o, InsnNode*& place, InsnNode* n, uint32_t x, uint32_t s) {
    if (x == s) return dropped(o, place, n);
    place = replaceinsn(o, n, "mr " + reg(x) + "," + reg(s));
    ++o.modifications;
    return 1;
}

bool iszeroext(std::string_view m) { return m == "extzb" || m == "extzh"; }
bool issignext(std::string_view m) { return m == "extsb" || m == "extsh"; }

// ---- M0: a definition nobody reads ----
int deaddef(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "M0")) return 0;
    InsnNode* n = place;
    if (!removable(o, n) || !n->gprwrite || (row.attr & Upd)) return 0;
    if (n->gprwrite & regbit(1)) return 0;
    if (!writesdead(o, n)) return 0;
    return dropped(o, place, n);
}

// ---- M2: a load whose value a register already holds ----
// The store that matches a load, by generic mnemonic.
const char* storeof(std::string_view load) {
    if (load == "lwz") return "stw";
    if (load == "lwzx") return "stwx";
    if (load == "lbz") return "stb";
    if (load == "lbzx") return "stbx";
    if (load == "lhz" || load == "lha") return "sth";
    if (load == "lhzx" || load == "lhax") return "sthx";
    return nullptr;
}

// The stored register S changed between the store P and the load N of
// the same place: when the line right before P made S for P alone (an la,
// an mr or a load), it makes a free register F instead and P stores F, so
// that a later round can copy F in place of the load.
int keepstored(Optimizer& o, InsnNode* p, InsnNode* n, uint32_t s) {
    InsnNode* w = previnblock(p);
    const RowIds& id = rowids();
    if (!w || w->isvolatile() || w->gprwrite != s || firstreg(w) != s || (insnrow(w->kind).attr & (Upd | Eff)) ||
        hasrec(w) || (addressregs(p) & s) || (!isrow(w, id.la) && !isrow(w, id.mr) && !isload(w)))
        return 0;
    if (!deadregs(o, p->next, s | n->gprwrite)) return 0;
    uint32_t used = n->gprread | w->gprread;
    for (InsnNode* q = w; q && q != n; q = q->next)
        if (q->isinsn()) used |= q->gprread | q->gprwrite;
    uint32_t f = 0;
    for (int r = 3; r <= 7 && !f; ++r)
        if (!(used & regbit(r)) && deadregs(o, p->next, regbit(r))) f = regbit(r);
    if (!f || (o.opt.x && (o.unit.keepmask & f)) || !armed(o)) return 0;
    replaceinsn(o, w, std::string(mnemonicof(w)) + suffixes(w) + " " + reg(f) + "," + std::string(restops(w)));
    replaceinsn(o, p, std::string(mnemonicof(p)) + suffixes(p) + " " + reg(f) + "," + std::string(restops(p)));
    o.modifications += 2;
    return 1;
}

int forward(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M2")) return 0;
    InsnNode* n = place;
    std::string_view lm = genname(n);
    const char* sm = storeof(lm);
    if (!sm || !isload(n) || n->isvolatile()) return 0;
    uint32_t x = firstreg(n);
    if (!x || (n->gprread & x) || n->gprwrite != x) return 0;
    std::string_view addr = addressop(n);
    uint32_t written = 0;   // registers written between the candidate and n
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) return 0;
        if (p->gprwrite & n->gprread) return 0;   // the address changes
        if (isstore(p)) {
            if (genname(p) == sm && addressop(p) == addr && !(insnrow(p->kind).attr & Upd)) {
                uint32_t s = firstreg(p);
                if (s && (written & s)) return keepstored(o, p, n, s);
                if (!s) return 0;
                std::string mv = lm[1] == 'w' ? "mr " : lm[1] == 'b' ? "extzb " : lm[1] == 'h' && lm[2] == 'a' ? "extsh " : "extzh ";
                place = replaceinsn(o, n, mv + reg(x) + "," + reg(s));
                ++o.modifications;
                return 1;
            }
            if (mayalias(o, p, n)) return 0;
            written |= p->gprwrite;
            continue;
        }
        if (isload(p) && genrow(p) == genrow(n) && addressop(p) == addr && !(p->gprread & p->gprwrite)) {
            uint32_t y = firstreg(p);
            if (!y || (written & y)) return 0;
            if (y != x && !armed(o)) return 0;   // a copy only in the deferred phase
            return copyonly(o, place, n, x, y);
        }
        if (p->crwrite & Mem) return 0;
        written |= p->gprwrite;
    }
    return 0;
}

// ---- M3: a later load of the place a store or load just used ----
// Walks forward past conditional branches (their fall-through side) up to
// the next label; the load Y of the same place becomes a copy (or the
// extension a narrow store needs). Nothing on the way may write what N
// reads or writes, or store where it may touch the place.
int laterload(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "M3")) return 0;
    InsnNode* n = place;
    if (n->isvolatile() || (row.attr & (Upd | Eff)) || hasrec(n)) return 0;
    bool store = isstore(n);
    if (!store && !isload(n)) return 0;
    uint32_t r = firstreg(n);
    if (!r || (n->gprwrite & ~r) || (store ? n->gprwrite != 0 : (n->gprread & r) != 0)) return 0;
    if (store && (addressregs(n) & r)) return 0;
    std::string_view addr = addressop(n);
    std::string_view nm = genname(n);
    for (InsnNode* u = n->next; u; u = u->next) {
        if (u->islabel() || (u->kind & KLabelText) == KLabelText) return 0;
        if (!u->isinsn()) continue;
        bool cond = islabelbranch(u) && iscondbranch(u) && !(u->crwrite & (Lr | Ctr | Call));
        if (!cond && barrier(u)) return 0;
        if (isload(u) && addressop(u) == addr) {
            if (u->isvolatile() || (insnrow(u->kind).attr & Upd)) return 0;
            std::string_view um = genname(u);
            uint32_t y = firstreg(u);
            std::string mv;
            if (store) {
                const char* want = storeof(um);
                if (!want || nm != want || u->gprwrite != y) return 0;
                mv = um[1] == 'w' ? "mr " : um[1] == 'b' ? "extzb " : um == "lha" ? "extsh " : "extzh ";
            } else {
                if (genrow(u) != genrow(n) || u->gprwrite != y || (u->gprread & y)) return 0;
                mv = "mr ";
            }
            if (!armed(o)) return 0;
            replaceinsn(o, u, mv + reg(y) + "," + reg(r));
            ++o.modifications;
            return 1;
        }
        if (u->gprwrite & (n->gprread | r)) return 0;
        if ((u->crwrite & Mem) && mayalias(o, u, n)) return 0;
    }
    return 0;
}

// ---- M4: mr T,S ----
// A plain move mr T,S: its two registers. Any other two-operand form
// (add T,S, or T,S, ...) is no move.
bool moveregs(const InsnNode* n, uint32_t& t, uint32_t& s) {
    if (!isrow(n, rowids().mr) || hasrec(n) || operandcount(n->text) != 2) return false;
    t = firstreg(n), s = parsereg(restops(n));
    return t && s;
}

int movemr(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M4")) return 0;
    InsnNode* n = place;
    uint32_t t = 0, s = 0;
    if (!moveregs(n, t, s)) return 0;
    bool keep = o.opt.x && (o.unit.keepmask & t);
    if (t == s || (!keep && deadregs(o, n->next, t))) {
        return dropped(o, place, n);
    }
    // A move back (mr S,T) while both still hold the value copies nothing.
    for (InsnNode* u = nextinblock(n); u; u = nextinblock(u)) {
        if (barrier(u)) break;
        if (u->gprwrite & s) {
            if (isrow(u, rowids().mr) && !hasrec(u) && firstreg(u) == s && parsereg(restops(u)) == t &&
                operandcount(u->text) == 2) {
                return dropped(o, place, u);
            }
            break;
        }
        if (u->gprwrite & t) break;
    }
    if (s == regbit(0) || (o.opt.x && (o.unit.keepmask & s))) return 0;
    if (s & (regbit(1) | regbit(2) | regbit(13))) return 0;
    // The writer of S, just before, can write T instead when S dies here.
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p) || isstore(p)) return 0;
        if (p->gprwrite & s) {
            if (p->gprwrite != s || (p->gprread & s) || !removable(o, p)) return 0;
            if (insnrow(p->kind).attr & Upd) return 0;
            bool ok = isload(p) || isrow(p, rowids().la) || operandcount(p->text) == 3;
            if (!ok || !(firstreg(p) == s)) return 0;
            if (p->crwrite & (Ca | Lr | Ctr)) return 0;
            if (!deadregs(o, n->next, s)) return 0;
            std::string line(mnemonicof(p));
            line += suffixes(p);
            line += " " + reg(t) + "," + std::string(restops(p));
            replaceinsn(o, p, line);
            return dropped(o, place, n);
        }
        if ((p->gprread | p->gprwrite) & (s | t)) return 0;
    }
    return 0;
}

// ---- M5: the reader of a move reads its source instead ----
int propagate(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M5")) return 0;
    InsnNode* n = place;
    uint32_t t = 0, s = 0;
    if (!moveregs(n, t, s) || t == s || s == regbit(0)) return 0;
    for (InsnNode* u = nextinblock(n); u; u = nextinblock(u)) {
        if (barrier(u)) return 0;
        if (!(u->gprread & t)) {
            if (u->gprwrite & (s | t)) return 0;
            continue;
        }
        if ((u->crread & Mem) || (u->crwrite & Mem) || (insnrow(u->kind).attr & (Eff | Upd))) return 0;
        if ((insnrow(u->kind).attr & ShortRegs) && !shortreg(s)) return 0;
        if (isrow(u, rowids().mr)) return 0;   // M4 follows moves
        std::string tn = gprname(t), sn = gprname(s);
        std::string line(mnemonicof(u));
        line += suffixes(u);
        line += ' ';
        bool writesfirst = (u->gprwrite & t) && firstreg(u) == t;
        if (writesfirst) {
            if (operandcount(u->text) < 2) return 0;
            line += std::string(firstoperand(u->text)) + "," + renameop(restops(u), tn, sn);
        } else {
            line += renameop(u->text, tn, sn);
        }
        InsnNode* trial = parseinsn(o, line);
        bool ok = trial->isinsn() && !(trial->gprread & t) && trial->gprwrite == u->gprwrite &&
                  trial->crwrite == u->crwrite;
        delete trial;
        if (!ok) return 0;
        if (!armed(o)) return 0;
        replaceinsn(o, u, line);
        return 1;
    }
    return 0;
}

// ---- M7: an la folded into the access that uses it ----
// Only an address with a base register: a bare symbol of a long section
// has no displacement form.
int lafold(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M7")) return 0;
    InsnNode* n = place;
    if (!isrow(n, rowids().la) || operandcount(n->text) != 2) return 0;
    std::string_view addr = skipspace(restops(n));
    if (addr.find('(') == std::string_view::npos || addr.back() != ')') return 0;
    uint32_t x = firstreg(n);
    if (!x) return 0;
    std::string zero = "0(" + gprname(x) + ")";
    for (InsnNode* y = nextinblock(n); y; y = nextinblock(y)) {
        if (y->crwrite & (Lbl | Call | Exit | Br)) return 0;
        if (y->gprread & x) {
            if (!(y->crread & Mem) && !(y->crwrite & Mem)) return 0;
            if (insnrow(y->kind).attr & (Upd | Eff)) return 0;
            if (operandcount(y->text) != 2 || skipspace(addressop(y)) != zero || firstreg(y) == x) {
                if (!(isload(y) && firstreg(y) == x && skipspace(addressop(y)) == zero)) return 0;
            }
            if (!(y->gprwrite & x) && !deadregs(o, y->next, x)) return 0;
            replaceinsn(o, y, std::string(mnemonicof(y)) + suffixes(y) + " " + std::string(firstoperand(y->text)) + "," +
                                  std::string(addr));
            ++o.modifications;
            return dropped(o, place, n);
        }
        if (y->gprwrite & (n->gprread | x)) return 0;
    }
    return 0;
}

// ---- N0: not and a following and/or make andc/orc ----
int notfold(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "N0")) return 0;
    InsnNode* n = place;
    if (hasrec(n)) return 0;   // its cr0 would come from another value
    int nops = operandcount(n->text);
    uint32_t x = firstreg(n);
    uint32_t src = nops == 2 ? parsereg(restops(n)) : x;
    if (!x || !src || nops > 2) return 0;
    const RowIds& id = rowids();
    for (InsnNode* u = nextinblock(n); u; u = nextinblock(u)) {
        if (barrier(u)) return 0;
        if (!(u->gprread & x)) {
            if (u->gprwrite & (x | src)) return 0;
            continue;
        }
        bool isand = isrow(u, id.and_), isor = isrow(u, id.or_);
        if ((!isand && !isor) || (u->crwrite & OvForm) || u->isvolatile()) return 0;
        std::string mn = std::string(isand ? "andc" : "orc") + suffixes(u) + " ";
        std::string xn = gprname(x), sn = gprname(src);
        int uops = operandcount(u->text);
        uint32_t d = firstreg(u);
        std::string line;
        if (uops == 2) {
            uint32_t other = parsereg(restops(u));
            if (d == x && other && other != x) {
                line = mn + xn + "," + gprname(other) + "," + sn;   // x = other & ~src
            } else if (d != x && other == x && deadregs(o, u->next, x)) {
                line = mn + gprname(d) + "," + gprname(d) + "," + sn;
            } else {
                return 0;
            }
        } else if (uops == 3) {
            std::string_view rest = restops(u);
            uint32_t a = parsereg(rest), b = parsereg(nextoperand(rest, 1));
            if (!a || !b || (a == x) == (b == x)) return 0;
            if (d != x && !deadregs(o, u->next, x)) return 0;
            line = mn + gprname(d) + "," + gprname(a == x ? b : a) + "," + sn;
        } else {
            return 0;
        }
        replaceinsn(o, u, line);
        ++o.modifications;
        return dropped(o, place, n);
    }
    return 0;
}

// ---- E2: an extension of a copy extends the register itself ----
int extcopy(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "E2")) return 0;
    InsnNode* n = place;
    if (operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n), s = parsereg(restops(n));
    if (!x || !s || x == s || !shortreg(x)) return 0;
    InsnNode* p = previnblock(n);
    if (!p || !isrow(p, rowids().mr) || hasrec(p) || p->isvolatile() || operandcount(p->text) != 2) return 0;
    if (firstreg(p) != s || parsereg(restops(p)) != x) return 0;
    place = replaceinsn(o, n, std::string(mnemonicof(n)) + suffixes(n) + " " + gprname(x));
    ++o.modifications;
    if (deadregs(o, place->next, s)) {
        delinsn(o, p);
        ++o.destructions;
    }
    return 1;
}

// A store into the frame that nothing reads before the function pops the
// frame and returns: straight on (labels passed, any branch or call stops),
// no load that may touch the slot and no other use of r1, then addi r1,k
// and blr with the slot inside the k bytes released.
bool deadframestore(Optimizer& o, InsnNode* n) {
    int32_t off = 0;
    uint32_t size = 0;
    const uint32_t r1 = regbit(1);
    if (addressregs(n) != r1 || !frameslot(o, n, off, size) || off < 0) return false;
    for (InsnNode* p = n->next; p; p = p->next) {
        if (p->istext()) continue;
        if (p->islabel()) {
            if ((p->kind & KLabelText) == KLabelText) return false;
            continue;
        }
        if ((p->crread & Use) && !p->isvolatile() && !(p->gprread & r1)) continue;   // "use" only reads registers
        if (p->isvolatile() || (p->crwrite & (Call | Br | Lbl | Exit)) || (p->crread & (Br | Use))) return false;
        if (p->gprwrite & r1) {
            int32_t k = 0;
            if (!isrow(p, rowids().addi) || operandcount(p->text) != 2 || !numvalue(lastoperand(p->text), k)) return false;
            InsnNode* e = p->next;
            while (e && e->istext()) e = e->next;
            if (!e || !e->isinsn() || genname(e) != "blr" || e->isvolatile() || iscondbranch(e)) return false;
            return static_cast<int64_t>(off) + size <= k && !takesframeaddress(o.unit);
        }
        if (p->crread & Mem) {
            if (mayalias(o, n, p)) return false;
        } else if ((p->gprread & r1) && !(p->crwrite & Mem)) {
            return false;   // the frame's address is used
        }
    }
    return false;
}

// ---- S3: a store that another store overwrites before anything reads it ----
int deadstore(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "S3")) return 0;
    InsnNode* n = place;
    if (!isstore(n) || n->isvolatile() || (row.attr & Upd)) return 0;
    if (deadframestore(o, n)) {
        if (!armed(o)) return 0;
        InsnNode* before = previnblock(n);
        dropped(o, place, n);
        if (before) deadchain(o, before);
        return 1;
    }
    uint32_t areg = addressregs(n);
    std::string_view addr = addressop(n);
    for (InsnNode* p = nextinblock(n); p; p = nextinblock(p)) {
        if (barrier(p)) return 0;
        if (p->gprwrite & areg) return 0;
        if (isstore(p)) {
            if (genrow(p) == genrow(n) && addressop(p) == addr && !(insnrow(p->kind).attr & Upd)) {
                return dropped(o, place, n);
            }
            if (mayalias(o, n, p)) return 0;
        } else if (p->crread & Mem) {
            if (!isload(p) || mayalias(o, n, p)) return 0;
        } else if (p->crwrite & Mem) {
            return 0;
        }
    }
    return 0;
}

// ---- M6: the last call of a function becomes a jump ----
//     mflr r0; stwu r0,-n(r1); ... bl g; lwz r0,0(r1); mtlr r0; addi r1,n; blr
// becomes ... b g, when the code between the frame push and the call uses
// neither r1, r0 nor LR, holds no label, branch or other call, and nothing
// follows the blr: g then returns straight to our caller.
int tailcall(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M6")) return 0;
    InsnNode* n = place;
    const uint32_t r0 = regbit(0), r1 = regbit(1);
    if (n->isvolatile() || n->text != "r0") return 0;
    InsnNode* pop = nextinblock(n);
    int32_t size = 0;
    if (!pop || !isrow(pop, rowids().addi) || pop->isvolatile() || hasrec(pop) || operandcount(pop->text) != 2 ||
        firstreg(pop) != r1 || !numvalue(lastoperand(pop->text), size) || size <= 0)
        return 0;
    InsnNode* ret = pop->next;
    while (ret && ret->istext()) ret = ret->next;
    if (!ret || !ret->isinsn() || genname(ret) != "blr" || ret->isvolatile() || iscondbranch(ret)) return 0;
    for (InsnNode* q = ret->next; q; q = q->next)
        if (!q->istext() || (q->kind & KLabelText) == KLabelText) return 0;
    InsnNode* load = previnblock(n);
    if (!load || !isload(load) || genname(load) != "lwz" || load->isvolatile() || load->text != "r0,0(r1)") return 0;
    InsnNode* call = previnblock(load);
    std::vector<InsnNode*> uses;   // "use" lines after the call: the callee's result, now returned by it
    while (call && (call->crread & Use) && !call->isvolatile() && !(call->gprread & (r0 | r1))) {
        uses.push_back(call);
        call = previnblock(call);
    }
    if (!call || !iscall(call) || call->isvolatile() || iscondbranch(call) || operandcount(call->text) != 1) return 0;
    std::string_view cm = genname(call);
    if ((cm != "bl" && cm != "bla") || (call->gprread & (r0 | r1)) || (call->crread & (Lr | Ctr))) return 0;
    std::string_view target = skipspace(call->text);
    if (target.empty() || target.starts_with("c_")) return 0;   // run-time helpers keep their calls
    InsnNode* push = nullptr;
    for (InsnNode* p = previnblock(call); p; p = previnblock(p)) {
        if (p->gprwrite & r1) {
            push = p;
            break;
        }
        if ((p->crread & Use) && !p->isvolatile() && !(p->gprread & (r0 | r1))) continue;
        if (barrier(p) || p->isvolatile() || ((p->gprread | p->gprwrite) & (r0 | r1)) || ((p->crread | p->crwrite) & Lr))
            return 0;
    }
    if (!push || genname(push) != "stwu" || push->isvolatile() || push->text != "r0," + num(-static_cast<int64_t>(size)) + "(r1)")
        return 0;
    InsnNode* save = previnblock(push);
    if (!save || !isrow(save, rowids().mflr) || save->isvolatile() || save->text != "r0") return 0;
    InsnNode* jump = putafter(o, call, std::string(cm == "bla" ? "ba " : "b ") + std::string(target));
    jump->gprread |= call->gprread;
    jump->fprread |= call->fprread;
    if (jump->link) {   // a call of this unit's own label: leave it
        delinsn(o, jump);
        return 0;
    }
    jump->crwrite = (jump->crwrite & ~Lbl) | Exit;
    for (InsnNode* d : uses) delinsn(o, d);
    for (InsnNode* d : {save, push, call, load, pop, ret}) delinsn(o, d);
    place = delinsn(o, n);
    o.destructions += 6;
    ++o.modifications;
    return 1;
}

// ---- A1: chains of additions of constants ----
int addchain(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "A1")) return 0;
    InsnNode* n = place;
    if (hasrec(n) || (n->crwrite & OvForm)) return 0;
    bool sub = genname(n) == "subi";
    int ops = operandcount(n->text);
    std::string_view last = lastoperand(n->text);
    int32_t v = 0;
    if (skipspace(last).starts_with("OFST-")) {
        int32_t f = 0;
        if (!numvalue(skipspace(last).substr(5), f) || f != o.framevalue) return 0;
        v = 0;
    } else if (!numvalue(last, v)) {
        return 0;
    }
    uint32_t x = firstreg(n);
    if (!x) return 0;
    if (v == 0) {
        uint32_t y = ops == 2 ? x : parsereg(restops(n));
        if (!y) return 0;
        return copyonly(o, place, n, x, y);
    }
    if (ops != 2) return 0;
    int64_t mine = sub ? -static_cast<int64_t>(v) : v;
    uint32_t written = 0;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) break;
        if (p->gprwrite & x) {
            bool padd = isrow(p, rowids().addi), psub = isrow(p, rowids().subi);
            int32_t w = 0;
            if ((!padd && !psub) || hasrec(p) || (p->crwrite & OvForm) || p->isvolatile()) break;
            if (!numvalue(lastoperand(p->text), w)) break;
            int pops = operandcount(p->text);
            uint32_t y = pops == 3 ? parsereg(restops(p)) : x;
            if (!y || (y & regbit(0)) || (written & y)) break;
            int64_t sum = mine + (psub ? -static_cast<int64_t>(w) : w);
            std::string src = pops == 3 ? reg(y) + "," : "";
            if (sum == 0) {
                if (y != x) putafter(o, n, "mr " + reg(x) + "," + reg(y));
            } else {
                if (sum < -0x7FFF || sum > 0x7FFF) break;
                std::string line = sum > 0 ? "addi " : "subi ";
                line += reg(x) + "," + src + num(sum > 0 ? sum : -sum);
                putafter(o, n, line);
            }
            delinsn(o, p);
            dropinsn(o, place, n);
            ++o.destructions;
            if (sum != 0 || y != x)
                ++o.modifications;
            else
                ++o.destructions;
            return 1;
        }
        if (p->gprread & x) break;
        written |= p->gprwrite;
    }
    if (v < 0 && v >= -0x7FFF) {
        place = replaceinsn(o, n, std::string(sub ? "addi " : "subi ") + reg(x) + "," + num(-static_cast<int64_t>(v)));
        return 1;
    }
    return 0;
}

// ---- P1: an addition folded into the displacement of the next access ----
int adddisp(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "P1")) return 0;
    InsnNode* n = place;
    if (hasrec(n) || (n->crwrite & OvForm) || operandcount(n->text) != 2) return 0;
    int32_t v = 0;
    if (!numvalue(lastoperand(n->text), v)) return 0;
    int64_t add = genname(n) == "subi" ? -static_cast<int64_t>(v) : v;
    uint32_t x = firstreg(n);
    if (!x || (x & regbit(0))) return 0;
    for (InsnNode* m = nextinblock(n); m; m = nextinblock(m)) {
        if (barrier(m) || (m->gprwrite & x)) return 0;
        if (!(m->gprread & x)) continue;
        if (!(m->crread & Mem) && !(m->crwrite & Mem)) return 0;
        if (insnrow(m->kind).attr & (Upd | Eff)) return 0;
        if ((m->gprread & m->gprwrite) || firstreg(m) == x || operandcount(m->text) != 2) return 0;
        std::string_view a = skipspace(addressop(m));
        size_t open = a.find('(');
        if (open == std::string_view::npos || a.substr(open) != "(" + reg(x) + ")") return 0;
        int32_t d = 0;
        if (!numvalue(a.substr(0, open), d)) return 0;
        int64_t nd = d + add;
        if (nd < -0x8000 || nd > 0x7FFF) return 0;
        int shift = m->width == 1 ? 0 : m->width == 2 ? 1 : 2;
        std::string upd = std::string(mnemonicof(m)) + "u";
        if (d == 0 && add >= -128 && add <= 127 && (add <= 0 || (add >> shift) >= 16) && findinsn(upd) >= 0 &&
            !hasrec(m)) {
            // the update form, unless the next change of X is another addition
            bool addnext = false;
            for (InsnNode* q = nextinblock(m); q; q = nextinblock(q)) {
                if (barrier(q) || (q->gprread & x)) break;
                if (q->gprwrite & x) {
                    addnext = (isrow(q, rowids().addi) || isrow(q, rowids().subi)) && operandcount(q->text) == 2;
                    break;
                }
            }
            if (!addnext) {
                replaceinsn(o, m, upd + " " + std::string(firstoperand(m->text)) + "," + num(add) + "(" + reg(x) + ")");
                return dropped(o, place, n);
            }
        }
        if (x == regbit(1) && nd < 0) return 0;   // never below the stack pointer
        std::string line(mnemonicof(m));
        line += suffixes(m);
        line += " " + std::string(firstoperand(m->text)) + "," + num(nd) + "(" + reg(x) + ")";
        InsnNode* nm = replaceinsn(o, m, line);
        InsnNode* next = n->next;
        moveinsn(o.unit, n, nm);
        place = next;
        return 1;
    }
    return 0;
}

// ---- T0: unused results, and mr X,S before a two-operand form ----
bool threeformok(const InsnNode* n, int32_t& imm, bool& numeric) {
    const RowIds& id = rowids();
    int r = genrow(n);
    if (insnrow(n->kind).attr & NoT0) return false;
    if (r == id.andis || r == id.subis || r == id.addis || r == id.add) return false;
    if (r == id.subi && hasrec(n)) return false;
    numeric = numvalue(lastoperand(n->text), imm);
    if (r == id.mulli || r == id.ori || r == id.andi || r == id.addi || r == id.subi) {
        if (!numeric || !issci8(static_cast<uint32_t>(imm))) return false;
        if (r == id.subi && !issci8(0u - static_cast<uint32_t>(imm))) return false;
        if (r == id.ori && imm < 0) return false;
    } else if (numeric) {
        return false;   // other immediate rows keep their own form
    }
    return true;
}

int unusedresult(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "T0")) return 0;
    InsnNode* n = place;
    if (!hasrec(n) && removable(o, n) && !(n->gprwrite & regbit(1)) && writesdead(o, n)) {
        if (!armed(o)) return 0;
        return dropped(o, place, n);
    }
    if (!(row.attr & Two) || operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n);
    if (!x || n->gprwrite != x || (o.opt.x && (o.unit.keepmask & x))) return 0;
    int32_t imm = 0;
    bool numeric = false;
    if (!threeformok(n, imm, numeric)) return 0;
    if (!numeric && (parsereg(restops(n)) & x)) return 0;
    InsnNode* p = previnblock(n);
    if (!p || !isrow(p, rowids().mr) || hasrec(p) || p->isvolatile() || firstreg(p) != x) return 0;
    if (operandcount(p->text) != 2) return 0;
    uint32_t s = parsereg(restops(p));
    if (!s || s == x) return 0;
    std::string line(mnemonicof(n));
    line += suffixes(n);
    line += " " + reg(x) + "," + reg(s) + "," + std::string(restops(n));
    place = replaceinsn(o, n, line);
    delinsn(o, p);
    ++o.destructions;
    return 1;
}

// ---- logical immediates: A0, O0, X0 ----
// Two-operand immediate forms of one row on one register, next to each
// other, are combined.
InsnNode* samerownext(InsnNode* n) {
    InsnNode* y = nextinblock(n);
    if (!y || genrow(y) != genrow(n) || hasrec(y) || y->isvolatile() || operandcount(y->text) != 2) return nullptr;
    if (y->gprwrite != n->gprwrite || firstreg(y) != firstreg(n)) return nullptr;
    return y;
}

int logicimm(Optimizer& o, InsnNode*& place, const char* code, char op) {
    if (!enterpass(o, code)) return 0;
    InsnNode* n = place;
    if (hasrec(n)) return 0;
    const RowIds& id = rowids();
    int r = genrow(n);
    int ops = operandcount(n->text);
    uint32_t x = firstreg(n);
    if (!x) return 0;
    bool immrow = r == id.andi || r == id.ori || isrow(n, "xori");
    if (!immrow) {
        // and, or: an identical next line computes the same again
        if (op == '^') return 0;
        InsnNode* y = nextinblock(n);
        if (y && genrow(y) == r && y->text == n->text && !hasrec(y) && !y->isvolatile() && !(y->crwrite & OvForm)) {
            return dropped(o, place, y);
        }
        return 0;
    }
    int32_t v = 0;
    if (!numvalue(lastoperand(n->text), v)) return 0;
    uint32_t u = static_cast<uint32_t>(v);
    uint32_t src = ops == 3 ? parsereg(restops(n)) : x;
    if (!src) return 0;
    bool identity = op == '&' ? u == 0xFFFFFFFFu : u == 0;
    if (identity) {
        return copyonly(o, place, n, x, ops == 2 ? x : src);
    }
    if (op == '&' && u == 0) {
        place = replaceinsn(o, n, "li " + reg(x) + ",0");
        ++o.modifications;
        return 1;
    }
    if (op == '&' && (u == 0xFF || u == 0xFFFF) && shortreg(x) && shortreg(src)) {
        if (!armed(o)) return 0;
        std::string line = u == 0xFF ? "extzb " : "extzh ";
        line += reg(x);
        if (ops == 3) line += "," + reg(src);
        place = replaceinsn(o, n, line);
        ++o.modifications;
        return 1;
    }
    if (ops != 2 || v < 0) return 0;
    InsnNode* y = samerownext(n);
    int32_t w = 0;
    if (!y || !numvalue(lastoperand(y->text), w) || w < 0) return 0;
    uint32_t c = op == '&' ? (u & static_cast<uint32_t>(w)) : op == '|' ? (u | static_cast<uint32_t>(w)) : (u ^ static_cast<uint32_t>(w));
    if (c > 0xFFFF && !issci8(c)) return 0;
    std::string line(mnemonicof(n));
    line += " " + reg(x) + "," + num(c);
    putafter(o, y, line, n);
    delinsn(o, y);
    return dropped(o, place, n);
}

int andhandler(Optimizer& o, InsnNode*& place, const InsnRow&) { return logicimm(o, place, "A0", '&'); }
int orhandler(Optimizer& o, InsnNode*& place, const InsnRow&) { return logicimm(o, place, "O0", '|'); }
int xorhandler(Optimizer& o, InsnNode*& place, const InsnRow&) { return logicimm(o, place, "X0", '^'); }

// ---- extensions: E0, E1, E5 ----
// Whether the value p writes into its first register already has the
// extension of width w (1 byte, 2 halfword), zero or sign.
bool alreadyextended(const InsnNode* p, int w, bool sign) {
    std::string_view m = genname(p);
    const RowIds& id = rowids();
    if (p->isvolatile() && !isload(p)) return false;
    if (isload(p)) {
        if (insnrow(p->kind).attr & Upd) return false;
        if (m == "lbz" || m == "lbzx") return sign ? w == 2 : true;
        if (m == "lhz" || m == "lhzx") return !sign && w == 2;
        if (m == "lha" || m == "lhax") return sign && w == 2;
        return false;
    }
    if (iszeroext(m) || issignext(m)) {
        int pw = m[4] == 'b' ? 1 : 2;
        if (sign != issignext(m)) return !issignext(m) && sign && pw < w;   // extzb then extsh
        return pw <= w;
    }
    int32_t v = 0;
    if (genrow(p) == id.li && numvalue(lastoperand(p->text), v)) {
        if (sign) return w == 1 ? v >= -128 && v <= 127 : v >= -0x8000 && v <= 0x7FFF;
        return w == 1 ? v >= 0 && v <= 0xFF : v >= 0 && v <= 0xFFFF;
    }
    if (!sign && genrow(p) == id.andi && !hasrec(p) && numvalue(lastoperand(p->text), v)) {
        uint32_t mask = w == 1 ? 0xFFu : 0xFFFFu;
        return (static_cast<uint32_t>(v) & ~mask) == 0;
    }
    if (!sign && genrow(p) == id.extrwi && operandcount(p->text) == 4) {
        int32_t bits = 0;
        std::string_view third = nextoperand(nextoperand(p->text, 1), 1);
        if (!numvalue(firstoperand(third), bits)) return false;
        return bits >= 1 && bits <= (w == 1 ? 8 : 16);
    }
    return false;
}

// Whether p, which writes its first register, changes only bits within
// the low w bytes of it: a bit cleared or set there, a field inserted
// there, or an or with an immediate that fits.
bool keepsupper(const InsnNode* p, int w) {
    if (p->isvolatile()) return false;
    const RowIds& id = rowids();
    int low = w == 1 ? 24 : 16;
    int32_t v = 0, pos = 0;
    if ((isrow(p, id.bclri) || isrow(p, id.bseti)) && operandcount(p->text) == 2)
        return numvalue(lastoperand(p->text), v) && v >= low && v <= 31;
    if (isrow(p, id.ori) && operandcount(p->text) == 2)
        return numvalue(lastoperand(p->text), v) && v >= 0 && v <= (w == 1 ? 0xFF : 0xFFFF);
    if (isrow(p, id.insrwi) && operandcount(p->text) == 4) {
        std::string_view third = nextoperand(nextoperand(p->text, 1), 1);
        return numvalue(firstoperand(third), v) && numvalue(nextoperand(third, 1), pos) && v >= 1 && pos >= low &&
               pos + v <= 32;
    }
    return false;
}

int extension(Optimizer& o, InsnNode*& place, const char* code, bool sign) {
    if (!enterpass(o, code)) return 0;
    InsnNode* n = place;
    std::string_view m = genname(n);
    int w = m[4] == 'b' ? 1 : 2;
    int ops = operandcount(n->text);
    uint32_t x = firstreg(n);
    if (!x) return 0;
    uint32_t s = ops == 2 ? parsereg(restops(n)) : x;
    if (!s) return 0;
    if (ops == 2 && s == x && shortreg(x)) {   // the one-operand form takes short registers only
        place = replaceinsn(o, n, std::string(mnemonicof(n)) + suffixes(n) + " " + reg(x));
        ++o.modifications;
        return 1;
    }
    if (hasrec(n)) return 0;
    bool readon = false;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (p->crwrite & (Call | Lbl | Exit)) return 0;
        if (p->gprwrite & s) {
            if (p->gprwrite != s || firstreg(p) != s) return 0;
            if (!sign && keepsupper(p, w)) {   // the bits above the width are the earlier writer's
                readon = true;
                continue;
            }
            bool done = alreadyextended(p, w, sign);
            if (!done && sign && w == 2 && ops == 1 && !readon && !p->isvolatile() && isrow(p, "lhz")) {
                // lhz then extsh: the load can extend by itself
                replaceinsn(o, p, "lha " + p->text);
                ++o.modifications;
                return dropped(o, place, n);
            }
            if (!done) return 0;
            return copyonly(o, place, n, x, s);
        }
        if (p->gprread & s) readon = true;
    }
    return 0;
}

int zeroext(Optimizer& o, InsnNode*& place, const InsnRow&) { return extension(o, place, "E0", false); }
int signext(Optimizer& o, InsnNode*& place, const InsnRow&) { return extension(o, place, "E1", true); }

// E5: an extension nobody needs: dead, or only stored with a width that
// does not reach the extended bits.
int unneededext(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "E5")) return 0;
    InsnNode* n = place;
    if (hasrec(n)) return 0;
    int w = genname(n)[4] == 'b' ? 1 : 2;
    int ops = operandcount(n->text);
    uint32_t x = firstreg(n);
    if (!x) return 0;
    if (deadregs(o, n->next, x)) {
        return dropped(o, place, n);
    }
    for (InsnNode* u = nextinblock(n); u; u = nextinblock(u)) {
        if (barrier(u)) return 0;
        if (u->gprread & x) {
            std::string_view um = genname(u);
            bool narrow = um == "stb" || um == "stbx" || (w == 2 && (um == "sth" || um == "sthx"));
            if (!narrow || firstreg(u) != x || (addressregs(u) & x) || u->isvolatile()) return 0;
            if (!deadregs(o, u->next, x)) return 0;
            if (ops == 1) {
                dropinsn(o, place, n);
                ++o.destructions;
            } else {
                place = replaceinsn(o, n, "mr " + std::string(n->text));
                ++o.modifications;
            }
            return 1;
        }
        if (u->gprwrite & x) return 0;
    }
    return 0;
}

// ---- C0: a compare whose result is already there or never read ----
int comparedone(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "C0")) return 0;
    InsnNode* n = place;
    uint32_t fields = n->crwrite & CrAll;
    if (!fields) return 0;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (p->crwrite & (Call | Lbl | Exit)) break;
        if (genrow(p) == genrow(n) && p->text == n->text && !p->isvolatile()) {
            return dropped(o, place, n);
        }
        if ((p->gprwrite & n->gprread) || (p->crwrite & fields) || (p->crwrite & RecForm)) break;
    }
    if (deadregscr(o, n->next, 0, fields)) {
        return dropped(o, place, n);
    }
    return 0;
}

// ---- C1: a compare with 0 that the computing instruction can make ----
// Signed word compares only: a record form compares the whole word with 0
// as a signed number.
int recordform(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "C1")) return 0;
    InsnNode* n = place;
    if (!isrow(n, "cmpwi") && !isrow(n, "cmpi")) return 0;
    if (operandcount(n->text) != 2 || n->crwrite != Cr0) return 0;
    int32_t v = 0;
    if (!numvalue(lastoperand(n->text), v) || v != 0) return 0;
    uint32_t x = firstreg(n);
    if (!x) return 0;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) return 0;
        if (p->crwrite & (CrAll | RecForm)) return 0;
        if (p->crread & CrAll) return 0;   // the compare's result would reach it
        if (!(p->gprwrite & x)) {
            // a copy of the compared register can compare it on the way
            if (isrow(p, rowids().mr) && !hasrec(p) && !p->isvolatile() && operandcount(p->text) == 2 &&
                parsereg(restops(p)) == x) {
                if (!armed(o)) return 0;
                std::string xn = gprname(x);
                replaceinsn(o, p, "or. " + std::string(firstoperand(p->text)) + "," + xn + "," + xn);
                ++o.modifications;
                return dropped(o, place, n);
            }
            continue;
        }
        if (p->gprwrite != x || firstreg(p) != x || p->isvolatile() || (insnrow(p->kind).attr & (Upd | Eff))) return 0;
        if (isload(p) || isstore(p)) return 0;
        const RowIds& id = rowids();
        std::string line;
        if (isrow(p, id.mr)) {
            if (operandcount(p->text) != 2) return 0;
            std::string src = gprname(parsereg(restops(p)));
            if (src.empty()) return 0;
            line = "or. " + gprname(x) + "," + src + "," + src;
            ++o.modifications;
        } else if (isrow(p, id.addi) || isrow(p, id.subi)) {
            int32_t imm = 0;
            if (p->crwrite & OvForm) return 0;
            if (operandcount(p->text) == 3 &&
                (!numvalue(lastoperand(p->text), imm) || !issci8(static_cast<uint32_t>(isrow(p, id.subi) ? 0 - imm : imm))))
                return 0;
            if (isrow(p, id.subi) && operandcount(p->text) == 3) {
                // there is no three-operand subi.: add the negated value
                const std::string ops(p->text);
                line = "addi. " + ops.substr(0, ops.rfind(',') + 1) + std::to_string(-static_cast<int64_t>(imm));
            } else {
                line = std::string(mnemonicof(p)) + ". " + p->text;
            }
        } else if (insnrow(p->kind).attr & Rec) {
            line = std::string(mnemonicof(p)) + ((p->crwrite & OvForm) ? "o" : "") + ". " + p->text;
        } else {
            return 0;
        }
        if (!armed(o)) return 0;
        replaceinsn(o, p, line);
        return dropped(o, place, n);
    }
    return 0;
}

// ---- B4: a conditional branch over one move becomes an isel ----
int branchovermove(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "B4")) return 0;
    InsnNode* n = place;
    if (!islabelbranch(n) || !n->link || n->isvolatile() || operandcount(n->text) != 1) return 0;
    if ((n->crwrite & (Lr | Ctr)) || (n->crread & (Lr | Ctr)) || n->crread != (Cr0 | Br)) return 0;
    int code = branchcode(n->kind);
    if (code < 0 || code > 11 || (code & 1)) return 0;
    InsnNode* m = nextinblock(n);
    if (!m || !isrow(m, rowids().mr) || hasrec(m) || m->isvolatile() || operandcount(m->text) != 2) return 0;
    InsnNode* after = m->next;
    while (after && after->istext()) after = after->next;
    if (after != n->link) return 0;
    std::string d = gprname(firstreg(m)), src = gprname(parsereg(restops(m)));
    if (d.empty() || src.empty()) return 0;
    // (mnemonic, keep D when taken: D first)
    const char* mn = nullptr;
    bool dfirst = true;
    switch (code / 2) {
        case 0: mn = "iseleq"; break;                    // beq
        case 5: mn = "iseleq", dfirst = false; break;    // bne
        case 2: mn = "iselgt"; break;                    // bgt
        case 3: mn = "iselgt", dfirst = false; break;    // ble
        case 4: mn = "isellt"; break;                    // blt
        case 1: mn = "isellt", dfirst = false; break;    // bge
        default: return 0;
    }
    std::string first = dfirst ? d : src, second = dfirst ? src : d;
    if (first == "r0") return 0;   // r0 in the first place reads as 0
    replaceinsn(o, m, std::string(mn) + " " + d + "," + first + "," + second);
    ++o.modifications;
    return dropped(o, place, n);
}

// ---- S0: shifts of extracted fields ----
int shiftfield(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "S0")) return 0;
    InsnNode* n = place;
    if (hasrec(n) || n->isvolatile()) return 0;
    std::string_view m = genname(n);
    bool left = m == "slwi";
    int ops = operandcount(n->text);
    int32_t sh = 0;
    if (!numvalue(lastoperand(n->text), sh) || sh < 0 || sh > 31) return 0;
    uint32_t x = firstreg(n);
    if (!x) return 0;
    if ((n->crwrite & Ca) && !deadregscr(o, n->next, 0, Ca)) return 0;
    std::string xn = gprname(x);
    InsnNode* p = previnblock(n);
    if (ops == 2 && p && firstreg(p) == x && p->gprwrite == x && !hasrec(p) && !p->isvolatile()) {
        std::string_view pm = genname(p);
        int32_t bits = 0, pos = 0;
        std::string src;
        int pops = operandcount(p->text);
        if (iszeroext(pm)) {
            bits = pm[4] == 'b' ? 8 : 16;
            pos = 32 - bits;
            src = pops == 2 ? gprname(parsereg(restops(p))) : xn;
        } else if (isrow(p, rowids().extrwi) && pops == 4) {
            std::string_view rest = restops(p);
            src = gprname(parsereg(rest));
            std::string_view third = nextoperand(rest, 1);
            if (!numvalue(firstoperand(third), bits) || !numvalue(nextoperand(third, 1), pos)) return 0;
            if (bits < 1 || pos < 0 || bits + pos > 32) return 0;
        } else {
            src.clear();
        }
        if (!src.empty()) {
            if (!armed(o)) return 0;
            std::string line;
            if (left) {
                int32_t rot = sh + pos + bits - 32;
                if (rot < 0) rot += 32;
                int32_t mb = 32 - bits - sh < 0 ? 0 : 32 - bits - sh;
                line = "rlwinm " + xn + "," + src + "," + std::to_string(rot) + "," + std::to_string(mb) + "," +
                       std::to_string(31 - sh);
            } else if (bits - sh <= 0) {
                line = "li " + xn + ",0";
            } else {
                line = "extrwi " + xn + "," + src + "," + std::to_string(bits - sh) + "," + std::to_string(pos);
            }
            putafter(o, n, line);
            delinsn(o, p);
            ++o.modifications;
            return dropped(o, place, n);
        }
    }
    if (left) return 0;
    InsnNode* e = nextinblock(n);
    if (!e || !iszeroext(genname(e)) || operandcount(e->text) != 1 || firstreg(e) != x || hasrec(e) || e->isvolatile())
        return 0;
    int32_t w = genname(e)[4] == 'b' ? 8 : 16;
    if (32 - w - sh < 0) return 0;
    std::string src = ops == 3 ? gprname(parsereg(restops(n))) : xn;
    if (src.empty()) return 0;
    if (!armed(o)) return 0;
    putafter(o, e, "extrwi " + xn + "," + src + "," + std::to_string(w) + "," + std::to_string(32 - w - sh));
    delinsn(o, e);
    ++o.modifications;
    return dropped(o, place, n);
}

// ---- B5: two bit sets make one or-immediate ----
int bitsets(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "B5")) return 0;
    InsnNode* n = place;
    if (hasrec(n) || operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n);
    int32_t q = 0;
    if (!x || !numvalue(lastoperand(n->text), q) || q < 0 || q > 31) return 0;
    InsnNode* p = previnblock(n);
    if (!p || hasrec(p) || p->isvolatile() || operandcount(p->text) != 2 || firstreg(p) != x || p->gprwrite != x) return 0;
    int32_t v = 0;
    if (!numvalue(lastoperand(p->text), v)) return 0;
    uint32_t bit = 1u << (31 - q);
    std::string line;
    const RowIds& id = rowids();
    if (isrow(p, id.bseti)) {
        if (v < 0 || v > 31) return 0;
        uint32_t both = bit | (1u << (31 - v));
        if (q >= 16 && v >= 16)
            line = "ori " + gprname(x) + "," + std::to_string(both);
        else if (q < 16 && v < 16)
            line = "oris " + gprname(x) + "," + std::to_string(both >> 16);
        else
            return 0;
    } else if (isrow(p, id.ori) && q >= 16 && v >= 0 && v <= 0xFFFF) {
        line = "ori " + gprname(x) + "," + std::to_string(static_cast<uint32_t>(v) | bit);
    } else if (isrow(p, id.oris) && q < 16 && v >= 0 && v <= 0xFFFF) {
        line = "oris " + gprname(x) + "," + std::to_string(static_cast<uint32_t>(v) | (bit >> 16));
    } else {
        return 0;
    }
    putafter(o, n, line);
    delinsn(o, p);
    dropinsn(o, place, n);
    ++o.modifications;
    return 1;
}

// ---- E4: a zero extension and a following and-immediate make one and ----
int extand(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "E4")) return 0;
    InsnNode* n = place;
    if (hasrec(n)) return 0;
    uint32_t x = firstreg(n);
    InsnNode* a = nextinblock(n);
    if (!x || !a || !isrow(a, rowids().andi) || a->isvolatile() || operandcount(a->text) != 2 || firstreg(a) != x)
        return 0;
    int32_t v = 0;
    if (!numvalue(lastoperand(a->text), v)) return 0;
    uint32_t mask = genname(n)[4] == 'b' ? 0xFFu : 0xFFFFu;
    uint32_t imm = static_cast<uint32_t>(v) & mask;
    if (!issci8(imm)) return 0;
    if (!armed(o)) return 0;
    putafter(o, a, "andi" + suffixes(a) + " " + std::string(n->text) + "," + std::to_string(imm), a);
    delinsn(o, a);
    ++o.modifications;
    return dropped(o, place, n);
}

// P4: examines stores and changes nothing.
int storepass(Optimizer& o, InsnNode*&, const InsnRow&) {
    enterpass(o, "P4");
    return 0;
}

// Whether the two lines first; second (next to each other) stand before
// first already, with nothing between that writes regs (a call or branch,
// and with stores set any store, ends the walk).
bool pairbefore(InsnNode* first, InsnNode* second, uint32_t regs, bool stores) {
    for (InsnNode* e = previnblock(first); e; e = previnblock(e)) {
        if (barrier(e) || (stores && (e->crwrite & Mem))) return false;
        if (!(e->gprwrite & regs)) continue;
        InsnNode* f = previnblock(e);
        return genrow(e) == genrow(second) && e->text == second->text && f && genrow(f) == genrow(first) &&
               f->text == first->text && !e->isvolatile() && !f->isvolatile();
    }
    return false;
}

// ---- L0: a pointer and the value through it loaded again ----
//     P: lwz X,_p(r13); N: lwz X,0(X) ... P; N    (the second pair goes)
// Any store on the way, or a call, keeps the pair: either may change what
// is loaded.
int pointerload(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "L0")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    if (!isload(n) || !x || n->gprwrite != x || !(n->gprread & x) || (insnrow(n->kind).attr & (Upd | Eff))) return 0;
    InsnNode* p = previnblock(n);
    if (!p || p->gprwrite != x || firstreg(p) != x || (p->gprread & x) || isstore(p) || p->isvolatile() ||
        (insnrow(p->kind).attr & (Upd | Eff)) || barrier(p) || hasrec(p) || (p->crwrite & Ca))
        return 0;
    if (!pairbefore(p, n, n->gprread | p->gprread, true)) return 0;
    delinsn(o, p);
    ++o.destructions;
    return dropped(o, place, n);
}

// ---- S2: a value computed again by the same two lines ----
//     P: lwz X,8(r8); N: slwi X,3 ... P; N    (the second pair goes)
// N works on the value P made; nothing between the pairs writes X or what
// either reads, and when either reads memory no store stands between.
int computedagain(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "S2")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    const uint32_t flags = Ca | CrAll | OvForm | RecForm;
    if (!x || n->gprwrite != x || !(n->gprread & x) || n->isvolatile() || (row.attr & (Upd | Eff)) ||
        (n->crwrite & flags) || barrier(n))
        return 0;
    InsnNode* p = previnblock(n);
    if (!p || p->gprwrite != x || firstreg(p) != x || (p->gprread & x) || isstore(p) || p->isvolatile() ||
        (insnrow(p->kind).attr & (Upd | Eff)) || barrier(p) || (p->crwrite & flags))
        return 0;
    if (!pairbefore(p, n, n->gprread | p->gprread, isload(n) || isload(p))) return 0;
    delinsn(o, p);
    ++o.destructions;
    return dropped(o, place, n);
}

// ---- L5: a constant built again by the same two lines ----
//     lis X,h; ori X,X,l ... lis X,h; ori X,X,l    (X unchanged between)
int constagain(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "L5")) return 0;
    InsnNode* n = place;
    const RowIds& id = rowids();
    if (!isrow(n, id.lis) || n->isvolatile()) return 0;
    uint32_t x = firstreg(n);
    InsnNode* p = nextinblock(n);
    if (!x || !p || p->isvolatile() || hasrec(p) || p->gprwrite != x || !(p->gprread & x)) return 0;
    if (!isrow(p, id.ori) && !isrow(p, id.addi)) return 0;
    if (!pairbefore(n, p, x, false)) return 0;
    delinsn(o, p);
    ++o.destructions;
    return dropped(o, place, n);
}

bool plainbranch(const InsnNode* n);

// ---- I0: a diamond of two li becomes an isel ----
//     bcc L2; li X,a; b L3; L2: li X,b; L3:
int liisel(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "I0")) return 0;
    InsnNode* n = place;
    const RowIds& id = rowids();
    if (!isrow(n, id.li) || operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n);
    int32_t a = 0, b = 0;
    if (!x || x == regbit(0) || !numvalue(lastoperand(n->text), a)) return 0;
    InsnNode* jb = nextinblock(n);
    InsnNode* c = previnblock(n);
    if (!jb || !c || !plainbranch(jb) || branchcode(jb->kind) != 30) return 0;
    if (!plainbranch(c) || c->crread != (Cr0 | Br) || operandcount(c->text) != 1) return 0;
    int code = branchcode(c->kind);
    if (code < 0 || code > 11 || (code & 1)) return 0;
    InsnNode* l2 = jb->next;
    while (l2 && l2->istext()) l2 = l2->next;
    if (l2 != c->link || !l2->rec || l2->rec->refs.size() != 1 || l2->isvolatile()) return 0;
    InsnNode* other = l2->next;
    while (other && other->istext()) other = other->next;
    if (!other || !isrow(other, id.li) || other->isvolatile() || firstreg(other) != x ||
        operandcount(other->text) != 2 || !numvalue(lastoperand(other->text), b))
        return 0;
    InsnNode* l3 = other->next;
    while (l3 && l3->istext()) l3 = l3->next;
    if (l3 != jb->link) return 0;
    const char* mn = nullptr;
    bool zerofromb = false;
    switch (code / 2) {
        case 0: mn = b == 0 ? "iseleq" : nullptr, zerofromb = true; break;   // beq
        case 1: mn = a == 0 ? "isellt" : nullptr; break;                       // bge
        case 2: mn = b == 0 ? "iselgt" : nullptr, zerofromb = true; break;   // bgt
        case 3: mn = a == 0 ? "iselgt" : nullptr; break;                       // ble
        case 4: mn = b == 0 ? "isellt" : nullptr, zerofromb = true; break;   // blt
        case 5: mn = a == 0 ? "iseleq" : nullptr; break;                       // bne
        default: break;
    }
    if (!mn) return 0;
    std::string xn = gprname(x);
    putafter(o, other, std::string(mn) + " " + xn + ",r0," + xn);
    delinsn(o, jb);
    delinsn(o, c);
    if (zerofromb) {
        delinsn(o, other);
    } else {
        dropinsn(o, place, n);
    }
    o.destructions += 2;
    return 1;
}

// ---- B1: code after an unconditional branch that no label reaches ----
int unreachable(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "B1")) return 0;
    InsnNode* n = place;
    if (fallsthrough(n) || (n->crwrite & Call)) return 0;
    for (InsnNode* p = n->next; p; p = p->next) {
        if (p->islabel() || (p->kind & KLabelText) == KLabelText) return 0;
        if (p->istext()) {
            std::string_view t = skipspace(p->text);
            if (!t.empty() && t[0] != ';' && !t.starts_with(".d")) return 0;
            continue;
        }
        if (p->isvolatile()) return 0;
        return dropped(o, place, p);
    }
    return 0;
}

// ---- B0: branches to branches and over branches ----
bool plainbranch(const InsnNode* n) {
    return islabelbranch(n) && n->link && !(n->crwrite & (Lr | Ctr)) && !(n->crread & (Lr | Ctr)) &&
           !n->isvolatile();
}

InsnNode* firstat(InsnNode* label) {
    for (InsnNode* p = label; p; p = p->next)
        if (p->isinsn()) return p;
    return nullptr;
}

std::string withtarget(const InsnNode* n, std::string_view target) {
    std::string_view last = lastoperand(n->text);
    std::string line(mnemonicof(n));
    line += suffixes(n);
    line += ' ';
    line += std::string_view(n->text).substr(0, static_cast<size_t>(last.data() - n->text.data()));
    line += target;
    return line;
}

std::string prefixof(const InsnNode* n) {
    std::string_view last = lastoperand(n->text);
    return std::string(std::string_view(n->text).substr(0, static_cast<size_t>(last.data() - n->text.data())));
}

int branchchain(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "B0")) return 0;
    InsnNode* n = place;
    if (!plainbranch(n)) return 0;
    int code = branchcode(n->kind);
    if (code < 0 || (code & 1) || code == 31) return 0;
    // 1. to a branch that goes on
    InsnNode* q = firstat(n->link);
    if (q && q != n && plainbranch(q) && q->link != n->link) {
        int qc = branchcode(q->kind);
        bool follows = qc == 30 || (qc == code && prefixof(q) == prefixof(n));
        // the chain must not come back here
        InsnNode* t = q->link;
        for (int k = 0; k < 32 && follows; ++k) {
            InsnNode* r = firstat(t);
            if (!r || !plainbranch(r) || branchcode(r->kind) != 30) break;
            if (r->link == n->link || r == n) follows = false;
            t = r->link;
        }
        if (follows) {
            place = replaceinsn(o, n, withtarget(n, labelname(q->link)));
            ++o.modifications;
            return 1;
        }
    }
    // a jump to a bare return returns itself, with the return's debug lines
    if (code == 30 && q && isrow(q, "blr") && skipspace(q->text).empty() && !q->isvolatile() && !n->gprread) {
        if (!armed(o)) return 0;
        InsnNode* first = q;
        while (first->prev && first->prev->istext() && !(first->prev->kind & KLabelText)) first = first->prev;
        InsnNode* after = n;
        for (InsnNode* t = first; t != q; t = t->next) {
            if (!skipspace(t->text).starts_with(".dquit")) continue;
            InsnNode* copy = parseinsn(o, t->text);
            insinsn(o.unit, after, copy);
            after = copy;
        }
        InsnNode* ret = putafter(o, after, "blr", n);
        ret->gprread = q->gprread;
        ret->crread = q->crread;
        place = delinsn(o, n);
        ++o.modifications;
        return 1;
    }
    // 2. a conditional branch over a jump
    if (code >= 24) return 0;
    InsnNode* j = nextinblock(n);
    if (!j || !plainbranch(j) || branchcode(j->kind) != 30) return 0;
    if (j->link == n->link) {
        return dropped(o, place, n);
    }
    InsnNode* after = j->next;
    while (after && after->istext()) after = after->next;
    if (after != n->link) return 0;
    int inv = invertcode(code);
    if (inv < 0) return 0;
    std::string line = condmnemonic(inv);
    line += " " + prefixof(n) + std::string(labelname(j->link));
    InsnNode* keep = n->prev;
    putafter(o, j, line, n);
    delinsn(o, j);
    delinsn(o, n);
    place = keep ? keep->next : o.unit.head;
    ++o.destructions;
    return 1;
}


// ---- L7: an indexed load whose address registers are added next ----
// lwzx X,A,B ... add A,B becomes add A,B; lwz X,0(A): the add moves up to
// the load, so nothing between them may see A.
int indexedadd(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "L7")) return 0;
    InsnNode* n = place;
    std::string_view lm = genname(n);
    if (!isload(n) || n->isvolatile() || (row.attr & Upd) || lm.size() != 4 || lm[3] != 'x') return 0;
    uint32_t src = n->gprread;
    if (!src || (src & regbit(0)) || (n->gprwrite & src) || operandcount(n->text) != 3) return 0;
    uint32_t seen = 0;   // registers read or written between the load and the add
    for (InsnNode* y = nextinblock(n); y; y = nextinblock(y)) {
        if (barrier(y)) return 0;
        if (!(y->gprwrite & src)) {
            seen |= y->gprread | y->gprwrite;
            continue;
        }
        if (!isrow(y, rowids().add) || hasrec(y) || (y->crwrite & (OvForm | Ca)) || operandcount(y->text) != 2) return 0;
        uint32_t a = firstreg(y);
        if (y->gprread != src || y->gprwrite != a || (seen & a)) return 0;
        if (!n->prev) return 0;
        putafter(o, n->prev, std::string(mnemonicof(y)) + " " + y->text, y);
        delinsn(o, y);
        place = replaceinsn(o, n, std::string(lm.substr(0, 3)) + " " + reg(firstreg(n)) + ",0(" + reg(a) + ")");
        ++o.modifications;
        return 1;
    }
    return 0;
}

// ---- E7: an exchange of two registers through r0 ----
// mr r0,C; mr C,T; mr T,r0 swaps C and T: the last writer Q of one of them
// writes the other instead, and a move copies the other's value.
int exchange(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "E7")) return 0;
    InsnNode* n = place;
    uint32_t t = 0, r0 = 0, c = 0, t2 = 0, z = 0, c2 = 0;
    if (!moveregs(n, t, r0) || r0 != regbit(0) || n->isvolatile()) return 0;
    InsnNode* m2 = previnblock(n);
    if (!m2 || !isrow(m2, rowids().mr) || m2->isvolatile() || !moveregs(m2, c, t2) || t2 != t) return 0;
    InsnNode* m1 = previnblock(m2);
    if (!m1 || !isrow(m1, rowids().mr) || m1->isvolatile() || !moveregs(m1, z, c2) || z != r0 || c2 != c) return 0;
    if (c == t || c == r0 || t == r0 || !deadregs(o, n->next, r0)) return 0;
    for (InsnNode* q = previnblock(m1); q; q = previnblock(q)) {
        if (barrier(q)) return 0;
        if (q->gprread & (c | t)) return 0;
        if (!(q->gprwrite & (c | t))) continue;
        uint32_t w = q->gprwrite;
        if ((w != c && w != t) || firstreg(q) != w || hasrec(q) || isstore(q) || removable(o, q) == false) return 0;
        uint32_t other = w == c ? t : c;
        std::string line(mnemonicof(q));
        line += suffixes(q);
        line += " " + reg(other);
        std::string_view rest = nextoperand(q->text, 0);
        line += rest;
        if (!q->prev) return 0;
        putafter(o, q->prev, "mr " + reg(w) + "," + reg(other));
        replaceinsn(o, q, line);
        delinsn(o, m1);
        delinsn(o, m2);
        place = delinsn(o, n);
        o.destructions += 2;
        return 1;
    }
    return 0;
}

// ---- I2: an insertion into the field the next insertion overwrites ----
int insertagain(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "I2")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    if (!x || n->isvolatile() || operandcount(n->text) != 4 || !(n->gprread & ~x)) return 0;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) return 0;
        if (genrow(p) == genrow(n) && firstreg(p) == x && !hasrec(p) && !p->isvolatile() &&
            operandcount(p->text) == 4 && nextoperand(nextoperand(p->text, 1), 1) == nextoperand(nextoperand(n->text, 1), 1)) {
            delinsn(o, p);
            ++o.destructions;
            return 1;
        }
        if ((p->gprread | p->gprwrite) & x) return 0;
    }
    return 0;
}

// ---- C2: an unsigned compare with 0 whose readers test only equality ----
// Every reader of the cr0 it sets, up to the next writer, must test eq or
// ne, and cr0 must be dead wherever the block is left.
int unsignedzero(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "C2")) return 0;
    InsnNode* n = place;
    bool word = isrow(n, "cmplwi");
    if ((!word && !isrow(n, "cmpli")) || n->isvolatile() || operandcount(n->text) != 2 || n->crwrite != Cr0) return 0;
    int32_t v = 0;
    if (!numvalue(lastoperand(n->text), v) || v != 0 || !shortreg(firstreg(n))) return 0;
    InsnNode* y = n;
    for (;;) {
        InsnNode* next = nextinblock(y);
        if (!next) {
            if (!deadregscr(o, y->next, 0, Cr0)) return 0;
            break;
        }
        y = next;
        if (y->crread & Cr0) {
            int code = branchcode(y->kind);
            bool eq = isrow(y, "iseleq") || ((y->crread & CrAll) == Cr0 && islabelbranch(y) && iscondbranch(y) &&
                                             (code == 0 || code == 1 || code == 10 || code == 11));
            if (!eq) return 0;
            if (islabelbranch(y) && !(y->crread & Ctr) && !deadregscr(o, y->link, 0, Cr0)) return 0;
        }
        if (y->crwrite & (Cr0 | Call)) break;
        if (barrier(y) && !(islabelbranch(y) && iscondbranch(y))) {
            if (!deadregscr(o, y, 0, Cr0)) return 0;
            break;
        }
    }
    place = replaceinsn(o, n, std::string(word ? "cmpwi " : "cmpi ") + n->text);
    ++o.modifications;
    return 1;
}

// Walks back from n over every way into it, each instruction once.
// visit(p) returns 1 to end the way there, 0 to go on and -1 to give up.
// A way that reaches the unit's start, or a label that a table line names,
// gives up too.
template <class Visit>
bool everywayback(InsnNode* n, Visit visit) {
    std::vector<InsnNode*> work{n};
    std::unordered_set<const InsnNode*> seen;
    auto take = [&](InsnNode* p) {
        if (!seen.insert(p).second) return 1;
        return visit(p);
    };
    while (!work.empty()) {
        InsnNode* cur = work.back();
        work.pop_back();
        for (InsnNode* p = cur->prev;; p = p->prev) {
            if (!p || (p->kind & KLabelText)) return false;
            if (p->islabel()) {
                if (!p->rec) return false;
                for (InsnNode* r : p->rec->refs) {
                    if (!r->isinsn()) return false;
                    int v = take(r);
                    if (v < 0) return false;
                    if (v == 0) work.push_back(r);
                }
                InsnNode* before = p->prev;
                while (before && before->istext() && !(before->kind & KLabelText)) before = before->prev;
                if (before && before->isinsn() && !fallsthrough(before)) break;
                continue;
            }
            if (!p->isinsn()) continue;
            int v = take(p);
            if (v < 0) return false;
            if (v > 0) break;
        }
    }
    return true;
}

}  // namespace

bool valueheld(Optimizer& o, InsnNode* from, const InsnNode* n) {
    uint32_t x = firstreg(n);
    bool load = isload(n);
    bool word = genname(n) == "lwz";
    return everywayback(from, [&](InsnNode* p) {
        if (p->isvolatile() || (p->crwrite & Call)) return -1;
        if (load && (p->crwrite & Mem)) {
            if (word && genname(p) == "stw" && p->text == n->text && !(p->gprwrite & x)) return 1;
            if (mayalias(o, p, n)) return -1;
        }
        if (p->gprwrite & x) return genrow(p) == genrow(n) && p->text == n->text && p->gprwrite == x ? 1 : -1;
        if (p->gprwrite & n->gprread) return -1;
        return 0;
    });
}

bool valueline(const InsnNode* n) {
    uint32_t x = firstreg(n);
    return x && !n->isvolatile() && n->gprwrite == x && !(n->gprread & x) &&
           !(insnrow(n->kind).attr & (Upd | Eff)) && !hasrec(n) && !(n->crwrite & ~(Mem | RecForm)) && !n->fprwrite &&
           operandcount(n->text) == 2;
}

namespace {

// ---- M1: a value every way into the line already leaves in its register ----
// Each way back meets the same line (or, for lwz, a stw of the register to
// the same place) before anything writes the register or what the line
// reads; for a load nothing on the way may store where it loads from.
int valuethere(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "M1")) return 0;
    InsnNode* n = place;
    if (!valueline(n) || !armed(o)) return 0;   // the walk is costly: only in the deferred phase
    if (!valueheld(o, n, n)) return 0;
    return dropped(o, place, n);
}

// ---- A5: an address built twice is built once into the later register ----
//     la Y,a ... la X,a    becomes    la X,a; mr Y,X ...
// when nothing between reads or writes X or writes what the la reads, and X
// is free where the first la stands.
int laagain(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "A5")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    if (!isrow(n, rowids().la) || n->isvolatile() || !x || n->gprwrite != x || (n->gprread & x) ||
        operandcount(n->text) != 2 || (x & regbit(0)))
        return 0;
    std::string_view addr = restops(n);
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) return 0;
        uint32_t y = firstreg(p);
        if (isrow(p, rowids().la) && !p->isvolatile() && operandcount(p->text) == 2 && restops(p) == addr && y &&
            p->gprwrite == y && y != x && !(p->gprread & y) && deadregs(o, p, x)) {
            InsnNode* made = putafter(o, p, "la " + reg(x) + "," + std::string(addr));
            putafter(o, made, "mr " + reg(y) + "," + reg(x));
            delinsn(o, p);
            ++o.modifications;
            dropinsn(o, place, n);
            return 1;
        }
        if (((p->gprread | p->gprwrite) & x) || (p->gprwrite & n->gprread)) return 0;
    }
    return 0;
}

// ---- I1: a value read once, by a store, can live in r0 ----
//     li R,5; ... stw R,x    becomes    li r0,5; ... stw r0,x
// when R is dead after the store and nothing between uses r0 or writes R.
// Only for volatile loads, which no other handler touches: on other lines
// r0 would hide the value from the handlers that reuse it, for no gain.
// Volatile lines keep their marks.
int inr0(Optimizer& o, InsnNode*& place, const InsnRow& row) {
    if (!enterpass(o, "I1")) return 0;
    InsnNode* n = place;
    if (!n->isvolatile() || !isload(n)) return 0;
    const uint32_t r0 = regbit(0);
    uint32_t x = firstreg(n);
    if (!x || (x & (r0 | regbit(1) | regbit(2) | regbit(13))) || n->gprwrite != x || (n->gprread & (x | r0)) ||
        (row.attr & Upd) || hasrec(n) || operandcount(n->text) < 2 || (o.opt.x && (o.unit.keepmask & x)))
        return 0;
    for (InsnNode* u = nextinblock(n); u; u = nextinblock(u)) {
        if (barrier(u) && !(u->isvolatile() && isstore(u))) return 0;
        if ((u->gprread | u->gprwrite) & r0) return 0;
        if (u->gprread & x) {
            if (!isstore(u) || firstreg(u) != x || (insnrow(u->kind).attr & (Upd | Eff)) || (u->gprwrite & x)) return 0;
            std::string line = std::string(mnemonicof(u)) + " r0," + std::string(restops(u));
            InsnNode* trial = parseinsn(o, line);
            bool ok = trial->isinsn() && !(trial->gprread & x);
            delete trial;
            if (!ok || !deadregs(o, u->next, x)) return 0;
            if (!armed(o)) return 0;
            replaceinsn(o, u, line);
            place = replaceinsn(o, n, std::string(mnemonicof(n)) + suffixes(n) + " r0," + std::string(restops(n)));
            o.modifications += 2;
            return 1;
        }
        if (u->gprwrite & x) return 0;
    }
    return 0;
}

// ---- P0: an addition waits behind the access that uses the line before it ----
//     lwz r5,0(r3); addi r3,4; lwz r6,0(r5)    becomes    lwz r5,0(r3); lwz r6,0(r5); addi r3,4
int addlater(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "P0")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    if (!x || n->isvolatile() || hasrec(n) || (n->crwrite & (OvForm | Ca))) return 0;
    InsnNode* y = nextinblock(n);
    if (!y || y->isvolatile() || !(isload(y) || isstore(y)) || (insnrow(y->kind).attr & (Upd | Eff))) return 0;
    if (((y->gprread | y->gprwrite) & n->gprwrite) || (y->gprwrite & n->gprread)) return 0;
    if ((y->gprread & y->gprwrite) && !(isload(y) && (y->gprread & firstreg(y)))) return 0;
    InsnNode* p = previnblock(n);
    if (!p || !(p->gprread & x) || !(p->gprwrite & y->gprread)) return 0;
    InsnNode* next = n->next;
    moveinsn(o.unit, n, y);
    place = next;
    return 1;
}

// ---- L4: a register restored from the slot it was saved to, unchanged ----
// Every way into the restore passes the one save, nothing on the way writes
// the register or r1, and no other access in the unit may touch the slot.
int unchangedsave(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "L4")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    const uint32_t r1 = regbit(1);
    if (genname(n) != "lwz" || n->isvolatile() || n->gprread != r1 || !x || n->gprwrite != x || x == r1) return 0;
    std::string_view addr = addressop(n);
    size_t open = addr.find('(');
    int32_t d = 0;
    if (open == std::string_view::npos || addr.substr(open) != "(r1)" || !numvalue(addr.substr(0, open), d)) return 0;
    if (takesframeaddress(o.unit)) return 0;
    InsnNode* save = nullptr;
    bool ok = everywayback(n, [&](InsnNode* p) {
        if (genname(p) == "stw" && p->text == n->text && !p->isvolatile()) {
            if (save && save != p) return -1;
            save = p;
            return 1;
        }
        if (p->gprwrite & (x | r1)) return -1;
        return 0;
    });
    if (!ok || !save) return 0;
    for (InsnNode* q = o.unit.head; q; q = q->next) {
        if (!q->isinsn() || q == n || q == save || iscall(q)) continue;
        // a frame push writes the old r1 to the word the new r1 points at:
        // below the frame in it, or the first word of the frame it makes
        if (genname(q) == "stwu" && q->gprread == r1 && firstreg(q) == r1 && d >= 4 &&
            addressop(q).starts_with("-") && addressop(q).ends_with("(r1)"))
            continue;
        if (((q->crread | q->crwrite) & Mem) && mayalias(o, q, n)) return 0;
    }
    delinsn(o, save);
    place = delinsn(o, n);
    o.destructions += 2;
    return 1;
}

// An extension that is not needed: ext X,S becomes mr X,S, ext X goes.
int extgoes(Optimizer& o, InsnNode* p) {
    if (operandcount(p->text) == 2) {
        replaceinsn(o, p, "mr " + std::string(p->text));
        ++o.modifications;
    } else {
        delinsn(o, p);
        ++o.destructions;
    }
    return 1;
}

// ---- E6: an extension of a source that the result's extension makes moot ----
// The low bytes of a sum, product, shift left or bit operation come from
// the low bytes of its sources alone. When the next line extends the
// result from w bytes (and nothing else reads the whole result), a source
// extended from at least w bytes just before needs no extension.
int extsource(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "E6")) return 0;
    InsnNode* n = place;
    uint32_t x = firstreg(n);
    if (!x || n->gprwrite != x || n->isvolatile() || hasrec(n) || (n->crwrite & (OvForm | Ca | CrAll)) ||
        (n->crread & Ca))
        return 0;
    InsnNode* e = nextinblock(n);
    if (!e || e->isvolatile() || hasrec(e)) return 0;
    std::string_view em = genname(e);
    if (!iszeroext(em) && !issignext(em)) return 0;
    int w = em.back() == 'b' ? 1 : 2;
    uint32_t es = operandcount(e->text) == 2 ? parsereg(restops(e)) : firstreg(e);
    if (es != x || (firstreg(e) != x && !deadregs(o, e->next, x))) return 0;
    uint32_t regs = n->gprread, readon = 0;
    for (InsnNode* p = previnblock(n); p && regs; p = previnblock(p)) {
        if (barrier(p)) return 0;
        uint32_t hit = p->gprwrite & regs;
        if (hit) {
            std::string_view pm = genname(p);
            bool ext = (iszeroext(pm) || issignext(pm)) && !hasrec(p) && !p->isvolatile() && p->gprwrite == hit &&
                       (pm.back() == 'b' ? 1 : 2) >= w;
            if (ext && !(readon & hit) && ((n->gprwrite & hit) || deadregs(o, n->next, hit)))
                return extgoes(o, p);
            regs &= ~p->gprwrite;
        }
        readon |= p->gprread;
    }
    return 0;
}

// ---- B3: a bit test of the part of a register an extension kept ----
// extrwi X,S,n,b: a dead result goes; one bit of a short register moves
// straight into the register a move copies it to, or, compared with 0 for
// a branch on equality, is tested where it stands.
int extractbit(Optimizer& o, InsnNode*& place) {
    InsnNode* n = place;
    if (n->isvolatile() || hasrec(n) || operandcount(n->text) != 4) return 0;
    if (removable(o, n) && writesdead(o, n)) return dropped(o, place, n);
    uint32_t x = firstreg(n), src = parsereg(restops(n));
    std::string_view third = nextoperand(nextoperand(n->text, 1), 1);
    int32_t bits = 0, pos = 0;
    if (!x || !shortreg(src) || !numvalue(firstoperand(third), bits) || !numvalue(nextoperand(third, 1), pos) ||
        bits != 1 || pos < 0 || pos > 31)
        return 0;
    InsnNode* y = nextinblock(n);
    if (!y || y->isvolatile() || hasrec(y)) return 0;
    uint32_t t = 0, from = 0;
    if (moveregs(y, t, from) && from == x && t != x && deadregs(o, y->next, x)) {
        replaceinsn(o, y, "extrwi " + reg(t) + "," + reg(src) + ",1," + num(pos));
        return dropped(o, place, n);
    }
    int32_t v = 0;
    if ((isrow(y, "cmpwi") || isrow(y, "cmpi")) && y->crwrite == Cr0 && operandcount(y->text) == 2 && firstreg(y) == x &&
        numvalue(lastoperand(y->text), v) && v == 0 && deadregs(o, y->next, x)) {
        InsnNode* br = nextinblock(y);
        if (!br || !islabelbranch(br) || !iscondbranch(br) || br->isvolatile() || (br->crread & CrAll) != Cr0 ||
            (br->crread & Ctr) || (br->crwrite & (Lr | Ctr)) || !br->link)
            return 0;
        int code = branchcode(br->kind);
        if (code != 0 && code != 1 && code != 10 && code != 11) return 0;
        if (!deadregscr(o, br->next, 0, Cr0) || !deadregscr(o, br->link, 0, Cr0)) return 0;
        replaceinsn(o, y, "btsti " + reg(src) + "," + num(pos));
        ++o.modifications;
        return dropped(o, place, n);
    }
    return 0;
}

int bittestext(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "B3")) return 0;
    InsnNode* n = place;
    if (isrow(n, rowids().extrwi)) return extractbit(o, place);
    if (!isrow(n, "btsti") || n->isvolatile() || operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n);
    int32_t bit = 0;
    if (!x || !numvalue(lastoperand(n->text), bit) || bit < 16 || bit > 31) return 0;
    uint32_t written = 0;
    for (InsnNode* p = previnblock(n); p; p = previnblock(p)) {
        if (barrier(p)) return 0;
        if (!(p->gprwrite & x)) {
            if (p->gprread & x) return 0;
            written |= p->gprwrite;
            continue;
        }
        std::string_view m = genname(p);
        if ((!iszeroext(m) && !issignext(m)) || hasrec(p) || p->isvolatile() || p->gprwrite != x) return 0;
        if (bit < (m.back() == 'b' ? 24 : 16)) return 0;
        if (operandcount(p->text) == 2) {
            uint32_t src = parsereg(restops(p));
            if (src && shortreg(src) && !(written & src)) {
                place = replaceinsn(o, n, "btsti " + reg(src) + "," + num(bit));
                ++o.modifications;
                if (deadregs(o, place->next, x)) {
                    delinsn(o, p);
                    ++o.destructions;
                }
                return 1;
            }
        }
        if (!deadregs(o, n->next, x)) return 0;
        return extgoes(o, p);
    }
    return 0;
}

// ---- C3: a single-bit and-immediate compared with its own bit ----
// andi X,b; cmpwi X,b; beq L is andi. X,b; bne L when cr0 is dead on both
// ways out of the branch.
// The isel form: andi X,b; cmpwi X,b; ... iseleq T,A,B with A and B the
// values 0 and 1 gives the bit itself (extrwi T,X,1,pos) or its inverse
// (and xori T,1). X must be read by nobody on the way and be dead after
// the isel (or be T); one li into X on the way goes with the andi.
int bitselect(Optimizer& o, InsnNode*& place, InsnNode* p, int32_t b) {
    InsnNode* n = place;
    uint32_t x = firstreg(p);
    InsnNode* wx = nullptr;
    InsnNode* y = nextinblock(n);
    for (; y; y = nextinblock(y)) {
        if (y->crread & CrAll) break;
        if (barrier(y) || (y->crwrite & (CrAll | RecForm)) || (y->gprread & x)) return 0;
        if (y->gprwrite & x) {
            if (wx || !isrow(y, rowids().li) || y->isvolatile() || y->gprwrite != x) return 0;
            wx = y;
        }
    }
    if (!y || !isrow(y, rowids().iseleq) || y->isvolatile() || (y->crread & CrAll) != Cr0 || operandcount(y->text) != 3)
        return 0;
    uint32_t t = firstreg(y);
    std::string_view rest = restops(y);
    std::string_view ops[2] = {skipspace(firstoperand(rest)), skipspace(nextoperand(rest, 1))};
    int32_t val[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        uint32_t r = parsereg(ops[k]);
        if (!r) return 0;
        if (k == 0 && r == regbit(0)) continue;   // r0 in the first place reads as 0
        InsnNode* q = previnblock(y);
        while (q && !(q->gprwrite & r)) q = previnblock(q);
        if (!q || !isrow(q, rowids().li) || q->isvolatile() || q->gprwrite != r || !numvalue(lastoperand(q->text), val[k]) ||
            val[k] < 0 || val[k] > 1)
            return 0;
    }
    if (val[0] == val[1] || !t) return 0;
    if (t != x && !deadregs(o, y->next, x)) return 0;
    if (!deadregscr(o, y->next, 0, Cr0)) return 0;
    int pos = 31;
    while (pos > 0 && b != (int32_t{1} << (31 - pos))) --pos;
    InsnNode* made = putafter(o, y, "extrwi " + reg(t) + "," + reg(x) + ",1," + num(pos));
    if (val[0] == 0) putafter(o, made, "xori " + reg(t) + ",1");
    delinsn(o, y);
    if (wx) {
        delinsn(o, wx);
        ++o.destructions;
    }
    delinsn(o, p);
    o.destructions += 2;
    ++o.modifications;
    dropinsn(o, place, n);
    return 1;
}

int bitcompare(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "C3")) return 0;
    InsnNode* n = place;
    if ((!isrow(n, "cmpwi") && !isrow(n, "cmpi")) || n->isvolatile() || operandcount(n->text) != 2 ||
        n->crwrite != Cr0)
        return 0;
    int32_t b = 0;
    if (!numvalue(lastoperand(n->text), b) || b <= 0 || (b & (b - 1))) return 0;
    InsnNode* p = previnblock(n);
    if (!p || !isrow(p, rowids().andi) || hasrec(p) || p->isvolatile() || p->text != n->text) return 0;
    InsnNode* y = nextinblock(n);
    if (y && !islabelbranch(y)) return bitselect(o, place, p, b);
    if (!y || !islabelbranch(y) || !iscondbranch(y) || y->isvolatile() || (y->crread & CrAll) != Cr0 ||
        (y->crread & Ctr) || (y->crwrite & (Lr | Ctr)))
        return 0;
    int code = branchcode(y->kind);
    if (code != 0 && code != 1 && code != 10 && code != 11) return 0;
    if (!deadregscr(o, y->next, 0, Cr0) || !deadregscr(o, y->link, 0, Cr0)) return 0;
    replaceinsn(o, p, std::string(mnemonicof(p)) + ". " + p->text);
    replaceinsn(o, y, std::string(condmnemonic(invertcode(code))) + " " + prefixof(y) + std::string(labelname(y->link)));
    return dropped(o, place, n);
}

// ---- A4: two ands with constants in one register make one ----
//     li Y,c2; and X,Y; li Y,c1; and X,Y    becomes    li Y,c1; li Y,c1&c2; and X,Y
// when Y is dead after the last and and nothing between reads or writes X
// or Y (the first li Y,c1 is then dead and left to M0).
int andconstants(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "A4")) return 0;
    InsnNode* n = place;
    if (!isrow(n, rowids().and_) || n->isvolatile() || hasrec(n) || operandcount(n->text) != 2) return 0;
    uint32_t x = firstreg(n), y = parsereg(restops(n));
    if (!x || !y || x == y || !deadregs(o, n->next, y)) return 0;
    InsnNode* found[3] = {nullptr, nullptr, nullptr};   // li Y,c1; the earlier and; li Y,c2
    int32_t c[2] = {0, 0};
    int k = 0;
    for (InsnNode* p = previnblock(n); p && k < 3; p = previnblock(p)) {
        if (barrier(p) || p->isvolatile()) return 0;
        bool want = k == 1 ? genrow(p) == genrow(n) && p->text == n->text && !hasrec(p)
                           : isrow(p, rowids().li) && p->gprwrite == y && operandcount(p->text) == 2 &&
                                 numvalue(lastoperand(p->text), c[k / 2]);
        if (want) {
            found[k++] = p;
            continue;
        }
        if ((p->gprread | p->gprwrite) & (x | y)) return 0;
    }
    if (k < 3) return 0;
    int64_t v = static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(c[0]) & static_cast<uint32_t>(c[1])));
    if (v < -0x80000 || v > 0x7FFFF) return 0;
    putafter(o, found[0], "li " + reg(y) + "," + num(v));
    delinsn(o, found[1]);
    delinsn(o, found[2]);
    return 1;
}

// ---- A3: an and of two zero-extended values needs only the narrower ----
int andext(Optimizer& o, InsnNode*& place, const InsnRow&) {
    if (!enterpass(o, "A3")) return 0;
    InsnNode* n = place;
    if (!isrow(n, rowids().and_) || n->isvolatile()) return 0;
    uint32_t regs = n->gprread;
    if (!regs || (regs & (regs - 1)) == 0) return 0;   // two registers
    InsnNode* w[2] = {nullptr, nullptr};   // the writers, the nearer first
    uint32_t wreg[2] = {0, 0};
    uint32_t readon[2] = {0, 0};           // registers read between each writer and n
    uint32_t left = regs, read = 0;
    int found = 0;
    for (InsnNode* p = previnblock(n); p && left; p = previnblock(p)) {
        if (barrier(p)) return 0;
        if (p->gprwrite & left) {
            if (found == 2 || (p->gprwrite & left & ((p->gprwrite & left) - 1))) return 0;
            w[found] = p;
            wreg[found] = p->gprwrite & left;
            readon[found] = read;
            left &= ~p->gprwrite;
            ++found;
        }
        read |= p->gprread;
    }
    if (found != 2 || left) return 0;
    // the width a writer keeps its value within: 1 byte, 2 halfword, 0 none;
    // ext tells whether the writer is an extension
    auto width = [](const InsnNode* p, bool& ext) {
        std::string_view m = genname(p);
        ext = iszeroext(m);
        if (ext) return m.back() == 'b' ? 1 : 2;
        if (m == "lbz" || m == "lbzx") return 1;
        if (m == "lhz" || m == "lhzx") return 2;
        return 0;
    };
    auto cango = [&](int k) {
        const InsnNode* p = w[k];
        return !hasrec(p) && !p->isvolatile() && p->gprwrite == wreg[k] && !(readon[k] & wreg[k]) &&
               ((n->gprwrite & wreg[k]) || deadregs(o, n->next, wreg[k]));
    };
    bool e0 = false, e1 = false;
    int a = width(w[0], e0), b = width(w[1], e1);
    if (!a || !b || (!e0 && !e1)) return 0;
    int go = -1;
    if (e0 && e1) {
        if (a != b) go = a > b ? 0 : 1;
        else go = cango(0) ? 0 : 1;
    } else {
        go = e0 ? (b <= a ? 0 : -1) : (a <= b ? 1 : -1);
    }
    if (go < 0 || !cango(go)) return 0;
    return extgoes(o, w[go]);
}

}  // namespace

// The handlers by code, for the pass tables.
const std::vector<HandlerDef>& handlerdefs() {
    static const std::vector<HandlerDef> rows = {
        {"M0", deaddef},     {"M2", forward},     {"M4", movemr},      {"S3", deadstore},
        {"A1", addchain},    {"P1", adddisp},     {"T0", unusedresult}, {"A0", andhandler},
        {"O0", orhandler},   {"X0", xorhandler},  {"E0", zeroext},     {"E1", signext},
        {"E5", unneededext}, {"C0", comparedone}, {"B1", unreachable}, {"B0", branchchain},
        {"C1", recordform},  {"B4", branchovermove}, {"M5", propagate}, {"M7", lafold},
        {"N0", notfold},     {"E2", extcopy},     {"I0", liisel},      {"S0", shiftfield},
        {"B5", bitsets},     {"E4", extand},      {"P4", storepass},   {"L0", pointerload},
        {"L5", constagain},   {"L7", indexedadd},  {"E7", exchange},    {"I2", insertagain},
        {"C2", unsignedzero}, {"L4", unchangedsave}, {"B3", bittestext},
        {"C3", bitcompare},   {"A3", andext},       {"M6", tailcall},
        {"E6", extsource},    {"M1", valuethere},    {"A4", andconstants},    {"M3", laterload},    {"S2", computedagain},
        {"A5", laagain},     {"I1", inr0},        {"P0", addlater},
    };
    return rows;
}

}  // namespace opt
