// Rewriting tools shared by the passes (see rewrite.h).
#include "optimizer/rewrite.h"

#include "toollib/services.h"

namespace opt {

bool enterpass(Optimizer& o, const char* code) {
    o.passname = code;
    return !o.disabled(code);
}

bool armed(Optimizer& o) {
    if (o.unit.deferred == -1) return true;
    o.unit.deferred = 1;
    return false;
}

InsnNode* putafter(Optimizer& o, InsnNode* after, std::string_view line, const InsnNode* keep) {
    InsnNode* n = parseinsn(o, line);
    if (keep) n->kind |= keep->kind & KVolatile;
    insinsn(o.unit, after, n);
    linkbranch(o, n);
    return n;
}

InsnNode* replaceinsn(Optimizer& o, InsnNode* n, std::string_view line) {
    std::string copy(line);   // line may be o.line, which delinsn does not touch, but be safe
    InsnNode* m = putafter(o, n, copy, n);
    delinsn(o, n);
    return m;
}

void dropinsn(Optimizer& o, InsnNode*& place, InsnNode* n) {
    if (place == n) {
        place = delinsn(o, n);
        return;
    }
    delinsn(o, n);
}

int dropped(Optimizer& o, InsnNode*& place, InsnNode* n) {
    dropinsn(o, place, n);
    ++o.destructions;
    return 1;
}

int genrow(const InsnNode* n) { return n && n->isinsn() ? insnrow(n->kind).generic->index : -1; }
std::string_view genname(const InsnNode* n) {
    return n && n->isinsn() ? std::string_view(insnrow(n->kind).generic->mnemonic) : std::string_view();
}
bool isrow(const InsnNode* n, int row) { return row >= 0 && genrow(n) == row; }
bool isrow(const InsnNode* n, std::string_view mnemonic) { return n && n->isinsn() && genname(n) == mnemonic; }

bool numvalue(std::string_view text, int32_t& v) {
    text = skipspace(text);
    while (!text.empty() && isblankchar(text.back())) text.remove_suffix(1);
    bool neg = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        neg = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9')) return false;
    std::string s(text);
    int32_t x = 0;
    const char* end = tl::parsenum(s.c_str(), x, 1);
    if (*end) return false;
    v = neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(x)) : x;
    return true;
}

uint32_t firstreg(const InsnNode* n) {
    std::string_view f = firstoperand(n->text);
    if (regclass(skipspace(f)) != 'r') return 0;
    return parsereg(f);
}

std::string_view restops(const InsnNode* n) {
    std::string_view r = nextoperand(n->text, 1);
    return r.data() == n->text.data() ? std::string_view() : r;
}

bool hasrec(const InsnNode* n) { return n->crwrite & RecForm; }

bool writesdead(Optimizer& o, InsnNode* n) {
    return deadregscr(o, n->next, n->gprwrite, n->crwrite & (CrAll | Ca | Lr | Ctr));
}

InsnNode* previnblock(InsnNode* n) {
    for (InsnNode* p = n->prev; p; p = p->prev) {
        if (p->islabel()) return nullptr;
        if (p->isinsn()) return p;
        if ((p->kind & KLabelText) == KLabelText) return nullptr;
    }
    return nullptr;
}

InsnNode* nextinblock(InsnNode* n) {
    if (!fallsthrough(n)) return nullptr;
    for (InsnNode* p = n->next; p; p = p->next) {
        if (p->islabel()) return nullptr;
        if (p->isinsn()) return p;
        if ((p->kind & KLabelText) == KLabelText) return nullptr;
    }
    return nullptr;
}

bool barrier(const InsnNode* n) {
    return n->isvolatile() || (n->crwrite & (Lbl | Call | Exit | Br | Lr | Ctr)) || (n->crread & (Br | Use)) ||
           (insnrow(n->kind).attr & Eff) || n->fprwrite;
}

std::string_view addressop(const InsnNode* n) { return restops(n); }

uint32_t addressregs(const InsnNode* n) {
    uint32_t r = n->gprread;
    if (isstore(n)) {
        // the registers named inside the address operand
        std::string_view a = addressop(n);
        uint32_t m = 0;
        size_t open = a.find('(');
        if (open != std::string_view::npos) {
            m |= parsereg(a.substr(open + 1));
        } else {
            // indexed: rA,rB
            m |= parsereg(a);
            std::string_view b = nextoperand(a, 1);
            if (b.data() != a.data()) m |= parsereg(b);
        }
        return m;
    }
    return r;
}

}  // namespace opt
