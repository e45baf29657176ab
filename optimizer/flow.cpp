// Flow and liveness over a unit: the instruction before or after another
// along the flow of control, whether registers can still be read, the
// removal of instructions that became dead, and the preparation of a unit.
//
// The idea: the node list is the code in address order and the label graph
// tells how control reaches a label, so a walk needs no basic-block
// structure. Marks on labels (visited by a flow walk, entered by a liveness
// scan) bound the work on loops; the driver clears them before every pass.
// A backward walk over all paths keeps its pending starts in a PathList of
// 16 slots; a full list fails the walk, and a failed walk proves nothing.
#include <algorithm>

#include "optimizer/opt.h"
#include "toollib/services.h"

namespace opt {

namespace {

constexpr uint32_t R3toR12 = 0x1FF8;   // r3..r12
constexpr uint32_t Tracked = CrAll | Ca | Lr | Ctr;   // the resources a scan follows

void mark(Optimizer& o, InsnNode* label, uint16_t bits) {
    label->kind |= bits;
    o.pendingmarks |= static_cast<uint8_t>(bits);
}

}  // namespace

void clearmarks(Optimizer& o, uint16_t bits) {
    if (!bits) return;
    for (InsnNode* l = o.unit.labels; l; l = l->nextlabel) {
        l->kind &= static_cast<uint16_t>(~bits);
        if (bits & KScanned) l->gprread = l->crread = 0;
    }
    o.pendingmarks &= static_cast<uint8_t>(~bits);
}

// ---- paths ----

InsnNode* poppath(Optimizer& o, bool reset) {
    PathList& p = o.paths;
    if (reset) {
        p.used = 0;
        p.slot.fill(nullptr);
        clearmarks(o, KVisited);
        o.pathoverflow = false;
        return nullptr;
    }
    for (int i = 0; i < 16; ++i)
        if (p.used & (1u << i)) {
            p.used = static_cast<uint16_t>(p.used & ~(1u << i));
            InsnNode* n = p.slot[static_cast<size_t>(i)];
            p.slot[static_cast<size_t>(i)] = nullptr;
            return n;
        }
    return nullptr;
}

bool pushpaths(Optimizer& o, InsnNode* n) {
    PathList& p = o.paths;
    if (!n->islabel()) {
        for (int i = 0; i < 16; ++i)
            if ((p.used & (1u << i)) && p.slot[static_cast<size_t>(i)] == n) {
                p.used = static_cast<uint16_t>(p.used & ~(1u << i));
                p.slot[static_cast<size_t>(i)] = nullptr;
                return true;
            }
        return false;
    }
    if (n->kind & KVisited) return true;
    mark(o, n, KVisited);
    if (!n->rec) return true;
    const std::vector<InsnNode*>& refs = n->rec->refs;
    for (size_t k = refs.size(); k-- > 0;) {
        int free = 0;
        while (free < 16 && (p.used & (1u << free))) ++free;
        if (free == 16) {
            o.pathoverflow = true;
            return false;
        }
        p.used = static_cast<uint16_t>(p.used | (1u << free));
        p.slot[static_cast<size_t>(free)] = refs[k];
    }
    return true;
}

InsnNode* previnsn(Optimizer& o, InsnNode* n, bool multi) {
    InsnNode* cur = n;
    // labels entered by this call: entering one again before an instruction
    // is found means a cycle of table lines and labels
    std::vector<const InsnNode*> entered;
    for (;;) {
        InsnNode* p = cur ? cur->prev : nullptr;
        if (!p) return nullptr;
        if (p->islabel()) {
            if (!p->rec) return nullptr;
            if (std::find(entered.begin(), entered.end(), p) != entered.end()) return nullptr;
            entered.push_back(p);
            InsnNode* before = p->prev;
            while (before && before->istext()) before = before->prev;
            bool onlyrefs = before && before->isinsn() && !fallsthrough(before);
            if (!onlyrefs) {
                // control also falls into the label from above
                if (!multi || !pushpaths(o, p)) return nullptr;
                cur = p;
                continue;
            }
            const std::vector<InsnNode*>& refs = p->rec->refs;
            if (refs.empty()) return nullptr;
            if (refs.size() == 1) {
                if (o.loopguard && (p->kind & KVisited)) return nullptr;
                if (o.loopguard) mark(o, p, KVisited);
                p = refs[0];
            } else {
                if (!multi || !pushpaths(o, p)) return nullptr;
                p = poppath(o, false);
                if (!p) return nullptr;
            }
        }
        cur = p;
        if (multi && islabelbranch(p)) pushpaths(o, p);
        if (cur->isinsn()) return cur;
    }
}

InsnNode* nextinsn(Optimizer& o, InsnNode* n, int flags) {
    InsnNode* cur = n;
    while (cur) {
        if (!(flags & ListOrder) && cur->isinsn()) {
            if (isexit(cur)) return nullptr;
            if (isjump(cur) && cur->link) {
                InsnNode* target = cur->link;
                if (target->kind & KVisited) return nullptr;
                mark(o, target, KVisited);
                if (flags & ReturnLabel) return target;
                cur = target;
            }
        }
        cur = cur->next;
        if (!cur) return nullptr;
        if (cur->islabel()) {
            if (flags & ReturnLabel) return cur;
            if (flags & StopAtLabel) return nullptr;
            continue;
        }
        if (cur->isinsn()) return cur;
    }
    return nullptr;
}

// ---- liveness ----

bool regsdead(Optimizer& o, InsnNode* n, uint32_t gpr, uint32_t cr) {
    struct Path {
        InsnNode* node;
        uint32_t gpr, cr;
    };
    std::vector<Path> work{{n, gpr, cr & Tracked}};
    while (!work.empty()) {
        Path w = work.back();
        work.pop_back();
        InsnNode* node = w.node;
        uint32_t g = w.gpr, c = w.cr;
        bool covered = false;
        while (node && (g || c) && !covered) {
            if (node->isinsn()) {
                if ((node->gprread & g) || (node->crread & c)) return false;
                uint32_t killed = node->gprwrite;
                if (killed & regbit(17)) killed &= R3toR12;
                g &= ~killed;
                c &= ~node->crwrite;
                if (islabelbranch(node) && node->link) {
                    InsnNode* t = node->link;
                    bool marked = t->kind & KScanned;
                    bool covers = marked && !(g & ~t->gprread) && !(c & ~t->crread);
                    if (iscondbranch(node)) {
                        // scan the target too, with the union when it was
                        // scanned for fewer registers
                        if (!covers) {
                            if (!marked) t->gprread = t->crread = 0;
                            mark(o, t, KScanned);
                            t->gprread |= g;
                            t->crread |= c;
                            work.push_back({t, t->gprread, t->crread});
                        }
                    } else {
                        if (covers) {
                            covered = true;
                            break;
                        }
                        if (!marked) t->gprread = t->crread = 0;
                        mark(o, t, KScanned);
                        t->gprread |= g;
                        t->crread |= c;
                        g = t->gprread, c = t->crread;
                        node = t;
                    }
                } else if (isexit(node)) {
                    break;
                }
            }
            node = node->next;
            while (node && !node->isinsn()) {
                if (node->islabel() && (node->kind & KScanned) && !(g & ~node->gprread) && !(c & ~node->crread)) {
                    covered = true;
                    break;
                }
                node = node->next;
            }
        }
        if (!covered && (g || c)) return false;
    }
    return true;
}

bool deadregs(Optimizer& o, InsnNode* n, uint32_t gpr) {
    bool dead = regsdead(o, n, gpr, 0);
    clearmarks(o, KScanned);
    return dead;
}

bool deadregscr(Optimizer& o, InsnNode* n, uint32_t gpr, uint32_t cr) {
    bool dead = regsdead(o, n, gpr, cr);
    clearmarks(o, KScanned);
    return dead;
}

void deadchain(Optimizer& o, InsnNode* n) {
    while (n) {
        if (!removable(o, n)) return;
        if (!deadregscr(o, n->next, n->gprwrite, n->crwrite & Tracked)) return;
        InsnNode* before = previnsn(o, n, false);
        delinsn(o, n);
        ++o.destructions;
        n = before;
    }
}

// ---- unit preparation ----

namespace {

// The register renaming word of the ".dentry" line: the third of the
// numbers after the last colon.
uint32_t renamingword(std::string_view line) {
    size_t colon = line.rfind(':');
    if (colon == std::string_view::npos) return 0;
    std::string_view f = line.substr(colon + 1);
    for (int k = 0; k < 2; ++k) {
        size_t dot = f.find('.');
        if (dot == std::string_view::npos) return 0;
        f.remove_prefix(dot + 1);
    }
    std::string num(f.substr(0, f.find('.')));
    int32_t v = 0;
    tl::parsenum(num.c_str(), v, 10);
    return static_cast<uint32_t>(v);
}

}  // namespace

void prepunit(Optimizer& o) {
    Unit& u = o.unit;
    if (InsnNode* d = u.dentry) {
        u.keepmask = 0xFFFFC000u;   // r14..r31
        uint32_t word = renamingword(d->text);
        if (word) {
            uint32_t count = word & 31, p2 = (word >> 5) & 31, p1 = (word >> 10) & 31;
            uint32_t pair = regbit(static_cast<int>(p1)) | regbit(static_cast<int>(p2));
            for (uint32_t k = 0; k < count; ++k) {
                u.keepmask ^= pair;
                pair <<= 1;
            }
        }
        // The parameter moves into variable registers stay as written.
        InsnNode* n = d->next;
        while (n && !n->isinsn() && !n->islabel()) n = n->next;
        for (; n; n = n->next) {
            if (n->istext()) continue;
            if (!n->isinsn() || !(n->gprwrite & u.keepmask)) break;
            bool parammove = insnrow(n->kind).generic->index == rowids().mr &&
                             (parsereg(nextoperand(n->text, 1)) & 0x7F8u);
            bool frameload = isload(n) && (n->gprread & regbit(1));
            if (!parammove && !frameload) break;
            n->kind |= KVolatile;
        }
        if (n && n != d->next) moveinsn(u, d, n->prev);
    }
    // "use" lines give their registers to the next call or exit.
    for (InsnNode* n = u.head; n;) {
        InsnNode* next = n->next;
        if (n->isinsn() && (n->crread & Use)) {
            for (InsnNode* t = n->next; t && !t->islabel(); t = t->next)
                if (t->isinsn() && (t->crwrite & (Call | Exit))) {
                    t->gprread |= n->gprread;
                    break;
                }
            unlinkinsn(u, n);
            delete n;
        }
        n = next;
    }
}

}  // namespace opt
