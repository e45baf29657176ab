// Instruction nodes: the line parser, the list primitives, the writer of a
// node's line and the operand-text helpers the passes share.
//
// The idea: an instruction's effect is the union of what its operands say
// (by the row's operand pattern: which operand is written, which read, a
// base register in parentheses always read) and what its row says it does
// implicitly (carry, link and count registers, memory, branches, calls).
// Whatever the text leaves open (a CR bit given by an expression, a special
// register given by number) counts as read and written, so the masks never
// claim a register is free when it is not.
#include <cstring>

#include "optimizer/opt.h"
#include "toollib/services.h"

namespace opt {

namespace {

// The run-time helpers: general registers read and written, and what their
// call writes besides the call bit and cr0. Sorted by name.
struct Helper {
    const char* name;
    uint32_t read, written, extra;
};
const Helper kHelpers[] = {
    {"dadd", regrange(3, 6), regbit(0) | regrange(3, 6), 0},
    {"dcmp", regrange(3, 6), regbit(0), 0},
    {"ddiv", regrange(3, 6), regbit(0) | regrange(3, 6), Ctr},
    {"dmul", regrange(3, 6), regbit(0) | regrange(3, 6), 0},
    {"dneg", regbit(3), regbit(3), 0},
    {"dsub", regrange(3, 6), regbit(0) | regrange(3, 6), 0},
    {"dtof", regrange(3, 4), regbit(0) | regbit(3), 0},
    {"dtol", regrange(3, 4), regbit(0) | regrange(3, 4), 0},
    {"fadd", regrange(3, 4), regbit(0) | regrange(3, 4), 0},
    {"fcmp", regrange(3, 4), regbit(0), 0},
    {"fdiv", regrange(3, 4), regbit(0) | regrange(3, 4), Ctr},
    {"fmul", regrange(3, 4), regbit(0) | regrange(3, 4), 0},
    {"fneg", regbit(3), regbit(3), 0},
    {"fsub", regrange(3, 4), regbit(0) | regrange(3, 4), 0},
    {"ftod", regbit(3), regbit(0) | regrange(3, 4), 0},
    {"ftol", regbit(3), regbit(0) | regbit(3), 0},
    {"jrtab", regbit(3), regbit(0) | regrange(3, 12), Exit},
    {"ltod", regbit(3), regbit(0) | regrange(3, 4), 0},
    {"ltof", regbit(3), regbit(0) | regbit(3), 0},
    {"resti", 0, regrange(3, 12), Exit},
    {"restim", 0, regrange(3, 12), Exit},
    {"savi", regbit(0) | regrange(3, 12), regbit(0), 0},
    {"savim", regbit(0) | regrange(3, 12), regbit(0), 0},
    {"ultod", regbit(3), regbit(0) | regrange(3, 4), 0},
    {"ultof", regbit(3), regbit(0) | regbit(3), 0},
};

const Helper* findhelper(std::string_view name) {
    for (const Helper& h : kHelpers)
        if (name == h.name) return &h;
    return nullptr;
}

// A register token: 'r' general, 'f' floating, 'c' CR field; -1 otherwise.
int regnumber(std::string_view t, int& cls) {
    cls = 0;
    size_t skip = 0;
    int limit = 31;
    if (t.size() >= 2 && (t[0] == 'r' || t[0] == 'R')) {
        cls = 'r', skip = 1;
    } else if (t.size() >= 3 && ((t[0] == 'c' && t[1] == 'r') || (t[0] == 'C' && t[1] == 'R'))) {
        cls = 'c', skip = 2, limit = 7;
    } else if (t.size() >= 3 && ((t[0] == 'f' && t[1] == 'r') || (t[0] == 'F' && t[1] == 'R'))) {
        cls = 'f', skip = 2;
    } else {
        return -1;
    }
    std::string_view d = t.substr(skip);
    if (d.empty() || d.size() > 2 || (d.size() == 2 && d[0] == '0')) return cls = 0, -1;
    int n = 0;
    for (char c : d) {
        if (c < '0' || c > '9') return cls = 0, -1;
        n = n * 10 + (c - '0');
    }
    if (n > limit) return cls = 0, -1;
    return n;
}

// The text without a trailing comment (";" or "//") and trailing blanks.
std::string_view cutcomment(std::string_view s) {
    size_t c = s.find(';');
    size_t d = s.find("//");
    s = s.substr(0, std::min(c, d));
    while (!s.empty() && isblankchar(s.back())) s.remove_suffix(1);
    return s;
}

// A small decimal or "0x" number standing alone, or -1.
long plainnumber(std::string_view s) {
    s = skipspace(s);
    while (!s.empty() && isblankchar(s.back())) s.remove_suffix(1);
    if (s.empty() || !(s[0] >= '0' && s[0] <= '9')) return -1;
    std::string text(s);
    int32_t v = 0;
    const char* end = tl::parsenum(text.c_str(), v, 1);
    if (*end || v < 0) return -1;
    return v;
}

// The CR fields an operand names: crN or a number (a field number when
// fields is set, else a CR bit number); every field when it is anything else.
uint32_t crfieldsof(std::string_view op, bool fields) {
    uint32_t m = parsereg(op);
    int cls = 0;
    std::string_view t = skipspace(op);
    while (!t.empty() && isblankchar(t.back())) t.remove_suffix(1);
    if (regnumber(t, cls) >= 0 && cls == 'c') return m;
    long n = plainnumber(op);
    if (fields && n >= 0 && n <= 7) return regbit(static_cast<int>(n));
    if (!fields && n >= 0 && n <= 31) return regbit(static_cast<int>(n / 4));
    return CrAll;
}

}  // namespace

// ---- classes of instructions ----

bool islabelbranch(const InsnNode* n) { return n && n->isinsn() && (n->crwrite & Lbl); }
bool iscondbranch(const InsnNode* n) { return n && n->isinsn() && (n->crread & Br); }
bool isjump(const InsnNode* n) {
    return n && n->isinsn() && (n->crwrite & Lbl) && !(n->crread & (Br | Lr | Ctr));
}
bool isexit(const InsnNode* n) { return n && n->isinsn() && (n->crwrite & Exit); }
bool iscall(const InsnNode* n) { return n && n->isinsn() && (n->crwrite & Call); }
bool isload(const InsnNode* n) { return n && n->isinsn() && (n->crread & Mem) && !(n->crwrite & Mem); }
bool isstore(const InsnNode* n) { return n && n->isinsn() && (n->crwrite & Mem); }
bool fallsthrough(const InsnNode* n) {
    return !(n && n->isinsn() && ((n->crwrite & Exit) || isjump(n)));
}

bool removable(const Optimizer&, const InsnNode* n) {
    if (!n || !n->isinsn() || n->isvolatile()) return false;
    if (insnrow(n->kind).attr & Eff) return false;
    if (n->crwrite & (Mem | Br | Call | Exit | Lbl)) return false;
    if (n->crread & Use) return false;
    if (n->fprwrite) return false;                       // floating registers are not tracked
    if (n->gprwrite & (regbit(1) | regbit(2) | regbit(13))) return false;  // the stack and the two bases
    return n->gprwrite || (n->crwrite & (CrAll | Ca | Lr | Ctr));
}

// ---- operand text ----

std::string_view skipspace(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isblankchar(text[i])) ++i;
    return text.substr(i);
}

namespace {
size_t topcomma(std::string_view text, size_t from = 0) {
    int depth = 0;
    for (size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        if (c == '(') ++depth;
        else if (c == ')') depth = depth > 0 ? depth - 1 : 0;
        else if (c == ',' && depth == 0) return i;
    }
    return std::string_view::npos;
}
}  // namespace

std::string_view nextoperand(std::string_view text, int skip) {
    size_t c = topcomma(text);
    if (c == std::string_view::npos) return text;
    return text.substr(c + static_cast<size_t>(skip));
}

std::string_view firstoperand(std::string_view text) {
    size_t c = topcomma(text);
    return c == std::string_view::npos ? text : text.substr(0, c);
}

std::string_view lastoperand(std::string_view text) {
    size_t last = std::string_view::npos;
    for (size_t c = topcomma(text); c != std::string_view::npos; c = topcomma(text, c + 1)) last = c;
    std::string_view s = last == std::string_view::npos ? text : text.substr(last + 1);
    s = skipspace(s);
    while (!s.empty() && isblankchar(s.back())) s.remove_suffix(1);
    return s;
}

int operandcount(std::string_view text) {
    if (skipspace(text).empty()) return 0;
    int n = 1;
    for (size_t c = topcomma(text); c != std::string_view::npos; c = topcomma(text, c + 1)) ++n;
    return n;
}

int regclass(std::string_view token) {
    int cls = 0;
    regnumber(token, cls);
    return cls;
}

uint32_t parsereg(std::string_view text) {
    text = skipspace(text);
    size_t e = 0;
    while (e < text.size() && text[e] != ',' && text[e] != ')') ++e;
    std::string_view t = text.substr(0, e);
    while (!t.empty() && isblankchar(t.back())) t.remove_suffix(1);
    int cls = 0;
    int n = regnumber(t, cls);
    return n >= 0 ? regbit(n) : 0;
}

std::string gprname(uint32_t mask) {
    for (int r = 0; r < 32; ++r)
        if (mask & regbit(r)) return "r" + std::to_string(r);
    return "";
}

bool isnumber(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool issci8(uint32_t v) {
    for (int byte = 0; byte < 4; ++byte) {
        uint32_t outside = ~(0xFFu << (8 * byte));
        if ((v & outside) == 0 || (v & outside) == outside) return true;
    }
    return false;
}

bool parseoperand(std::string_view text, OperandMasks& op, OperandMasks& read, OperandMasks& written,
                  bool update) {
    bool any = false;
    int depth = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (isblankchar(c)) {
            ++i;
            continue;
        }
        if (c == ';' || (c == ',' && depth == 0)) break;
        if (c == '(') {
            ++depth, ++i;
            continue;
        }
        if (c == ')') {
            depth = depth > 0 ? depth - 1 : 0, ++i;
            continue;
        }
        if (c == ',') {   // inside parentheses
            ++i;
            continue;
        }
        size_t e = i;
        while (e < text.size() && !isblankchar(text[e]) && text[e] != ',' && text[e] != '(' && text[e] != ')' &&
               text[e] != ';')
            ++e;
        std::string_view tok = text.substr(i, e - i);
        any = true;
        int cls = 0;
        int n = regnumber(tok, cls);
        if (n >= 0) {
            if (cls == 'r') {
                if (depth > 0)
                    read.gpr |= regbit(n);
                else
                    op.gpr |= regbit(n);
                if (update) written.gpr |= regbit(n);
            } else if (cls == 'f') {
                op.fpr |= regbit(n);
            } else {
                op.cr |= regbit(n);
            }
        }
        i = e;
    }
    return any;
}

// ---- the line parser ----

InsnNode* parseinsn(Optimizer& o, std::string_view text) {
    auto node = std::make_unique<InsnNode>();
    InsnNode* n = node.get();
    std::string_view s = skipspace(text);
    auto astext = [&]() {
        n->kind = KText;
        n->text.assign(text);
        return node.release();
    };
    if (s.empty() || s[0] == ';' || s[0] == '/' || s[0] == '.') return astext();

    size_t w = 0;
    while (w < s.size() && iswordchar(s[w])) ++w;
    std::string_view word = s.substr(0, w);
    std::string_view after = skipspace(s.substr(w));
    if (w > 0 && !after.empty() && after[0] == ':') {
        if (text.starts_with("OFST:\tset\t")) {
            std::string num(text.substr(10));
            int32_t v = 0;
            tl::parsenum(num.c_str(), v, 10);
            o.framevalue = v;
            o.framevalueset = true;
            return astext();
        }
        std::string_view rest = skipspace(after.substr(1));
        if (!rest.empty() && rest[0] != ';') {
            n->kind = KLabelText;
            n->text.assign(text);
            return node.release();
        }
        n->kind = KLabel;
        n->text.assign(s.substr(0, static_cast<size_t>(after.data() - s.data()) + 1));
        return node.release();
    }

    // An instruction: the mnemonic and its suffixes.
    std::string_view m = word;
    uint32_t forms = 0;
    if (!m.empty() && m.back() == '.') forms |= RecForm | Cr0, m.remove_suffix(1);
    bool ov = false;
    if (!m.empty() && (m.back() == 'o' || m.back() == 'O')) ov = true, m.remove_suffix(1);
    int ri = findinsn(m);
    if (ri < 0 && ov) ov = false, m = word.substr(0, m.size() + 1), ri = findinsn(m);
    if (ri < 0) return astext();
    if (ov) forms |= OvForm;

    const InsnRow& row = insntable()[static_cast<size_t>(ri)];
    const InsnRow& g = *row.generic;
    std::string_view gname = g.mnemonic;
    n->kind = static_cast<uint16_t>(KInsn | ri);
    std::string_view ops = cutcomment(skipspace(s.substr(w)));

    // Operands: the first into its own masks, the others accumulated.
    OperandMasks first, other, read, written;
    int count = 0;
    std::vector<std::string_view> list;
    for (std::string_view rest = ops;;) {
        size_t c = topcomma(rest);
        list.push_back(rest.substr(0, c));
        if (c == std::string_view::npos) break;
        rest.remove_prefix(c + 1);
    }
    if (skipspace(ops).empty()) list.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        bool update = i == 1 && (row.attr & Upd);
        if (parseoperand(list[i], i == 0 ? first : other, read, written, update)) ++count;
        // r0 as the first source of isel stands for the value 0
        if (i == 1 && gname.starts_with("isel") && other.gpr == regbit(0)) other.gpr = 0;
    }
    n->opcount = static_cast<uint8_t>(std::min(count, 255));

    uint32_t implread = row.implread, implwrite = row.implwrite;
    // A CR field named first takes the place of the cr0 the row implies
    // (cmpw cr1,r3,r4 writes cr1; beq cr1,L reads it).
    if (((implread | implwrite) & CrAll) == Cr0) {
        uint32_t field = 0;
        if (first.cr) {
            field = first.cr;
            first.cr = 0;
        } else if ((implwrite & Cr0) && list.size() >= 3 && regclass(skipspace(list[0])) == 0) {
            field = crfieldsof(list[0], true);                // cmpw 1,r3,r4
        } else if ((implread & Br) && list.size() >= 2) {
            field = crfieldsof(list[0], true);                // beq 1,L
        }
        if (field) {
            if (implread & Cr0) implread = (implread & ~Cr0) | field;
            if (implwrite & Cr0) implwrite = (implwrite & ~Cr0) | field;
        }
    }
    if (gname == "isel" && list.size() >= 4) implread = (implread & ~CrAll) | crfieldsof(list[3], false);
    if (row.attr & (CrBits | CrFields)) {
        bool fields = row.attr & CrFields;
        for (size_t i = 0; i < list.size(); ++i) {
            uint32_t f = crfieldsof(list[i], fields);
            if (i == 0) {
                implwrite |= f;
                if (!fields) implread |= f;                   // one bit of the field changes
            } else {
                implread |= f;
            }
        }
        first.cr = other.cr = 0;
    }

    OperandMasks rd = read, wr = written;
    switch (row.attr & PatMask) {
    case 3:
    case 5:
        rd.gpr |= first.gpr | other.gpr, rd.cr |= first.cr | other.cr, rd.fpr |= first.fpr | other.fpr;
        break;
    case 6:
    case 7: {
        uint32_t from = first.gpr ? ~((first.gpr & -first.gpr) - 1) : 0;
        ((row.attr & PatMask) == 6 ? wr.gpr : rd.gpr) |= from;
        rd.gpr |= other.gpr, rd.cr |= first.cr | other.cr, rd.fpr |= first.fpr | other.fpr;
        break;
    }
    default:
        wr.gpr |= first.gpr, wr.cr |= first.cr, wr.fpr |= first.fpr;
        rd.gpr |= other.gpr, rd.cr |= other.cr, rd.fpr |= other.fpr;
        if ((row.attr & PatMask) == 1) {
            bool shortform = !((row.attr & Two) && count > 2) && !((row.attr & One) && count > 1);
            if (shortform) rd.gpr |= first.gpr, rd.cr |= first.cr, rd.fpr |= first.fpr;
        }
        break;
    }
    rd.cr |= implread;
    wr.cr |= implwrite | forms;
    if (row.attr & AlwaysRec) wr.cr |= Cr0;
    rd.gpr |= row.gprread;
    wr.gpr |= row.gprwrite;

    n->width = (row.attr & Byte) ? 1 : (row.attr & Half) ? 2 : 0;
    n->text.assign(ops);

    // Rows with rules of their own.
    if ((gname == "andi" || gname == "andis") && count == 2 && !(forms & RecForm)) {
        std::string imm(nextoperand(ops, 1));
        int32_t v = 0;
        tl::parsenum(std::string(skipspace(imm)).c_str(), v, 1);
        if (!issci8(static_cast<uint32_t>(v))) wr.cr |= Cr0;
    }
    if (gname[0] == 'b') {
        if (ops.starts_with("c_")) {
            if (const Helper* h = findhelper(ops.substr(2))) {
                rd.gpr = h->read;
                wr.gpr = h->written;
                wr.cr |= h->extra | Call | Cr0;
            }
        } else if ((wr.cr & (Call | Exit)) && !(rd.cr & Br)) {
            wr.gpr |= regbit(0) | regrange(3, 10);
            wr.cr |= Cr0;
        }
    }
    if (gname == "lmvgprw") wr.gpr |= regbit(0) | regrange(3, 12);
    if (gname == "stmvgprw") rd.gpr |= regbit(0) | regrange(3, 12);

    n->gprread = rd.gpr, n->gprwrite = wr.gpr;
    n->crread = rd.cr, n->crwrite = wr.cr;
    n->fprread = rd.fpr, n->fprwrite = wr.fpr;
    return node.release();
}

bool splitlabel(InsnNode* n, std::string& rest) {
    std::string_view t = n->text;
    size_t colon = t.find(':');
    std::string_view after = skipspace(t.substr(colon + 1));
    size_t w = 0;
    while (w < after.size() && iswordchar(after[w])) ++w;
    std::string_view word = after.substr(0, w);
    // The word may carry the record and overflow suffixes.
    std::string_view m = word;
    if (!m.empty() && m.back() == '.') m.remove_suffix(1);
    bool found = findinsn(m) >= 0;
    if (!found && !m.empty() && (m.back() == 'o' || m.back() == 'O')) found = findinsn(m.substr(0, m.size() - 1)) >= 0;
    if (!found) {
        n->kind = KText;
        return false;
    }
    rest.assign(t.substr(colon + 1));
    std::string_view lead = skipspace(t);
    n->text.assign(lead.substr(0, static_cast<size_t>(t.data() + colon + 1 - lead.data())));
    n->kind = KLabel | KVolatile;
    return true;
}

// ---- the list ----

InsnNode* insinsn(Unit& u, InsnNode* place, InsnNode* n) {
    n->prev = place;
    n->next = place ? place->next : u.head;
    if (n->next)
        n->next->prev = n;
    else
        u.tail = n;
    if (place)
        place->next = n;
    else
        u.head = n;
    return n;
}

void unlinkinsn(Unit& u, InsnNode* n) {
    if (n->prev)
        n->prev->next = n->next;
    else
        u.head = n->next;
    if (n->next)
        n->next->prev = n->prev;
    else
        u.tail = n->prev;
    n->next = n->prev = nullptr;
}

InsnNode* moveinsn(Unit& u, InsnNode* n, InsnNode* place) {
    InsnNode* result = n->next ? n->next : n->prev;
    unlinkinsn(u, n);
    insinsn(u, place, n);
    return result;
}

std::string_view mnemonicof(const InsnNode* n) { return insnrow(n->kind).mnemonic; }

std::string suffixes(const InsnNode* n) {
    std::string s;
    if (n->crwrite & OvForm) s += 'o';
    if (n->crwrite & RecForm) s += '.';
    return s;
}

std::string lineof(const InsnNode* n) {
    if (!n->raw.empty()) return n->raw;
    if (!n->isinsn()) return n->text;
    std::string line = "\t";
    line += mnemonicof(n);
    line += suffixes(n);
    if (!n->text.empty()) {
        line += '\t';
        line += n->text;
    }
    return line;
}

std::string renameop(std::string_view t, std::string_view old, std::string_view repl, bool* any) {
    std::string out;
    for (size_t i = 0; i < t.size();) {
        bool starts = i == 0 || t[i - 1] == '(' || t[i - 1] == ',';
        size_t e = i + old.size();
        bool ends = e == t.size() || t[e] == ')' || t[e] == ',';
        if (!old.empty() && starts && e <= t.size() && t.compare(i, old.size(), old) == 0 && ends) {
            out += repl;
            i = e;
            if (any) *any = true;
        } else {
            out += t[i++];
        }
    }
    return out;
}

bool replaceop(Optimizer& o, const InsnNode* n, std::string_view old, std::string_view repl) {
    std::string& out = o.line;
    out.assign(mnemonicof(n));
    out += suffixes(n);
    out += ' ';
    bool any = false;
    out += renameop(n->text, old, repl, &any);
    return any;
}

bool sameop(std::string_view text, std::string_view other) {
    size_t c = topcomma(text);
    if (c == std::string_view::npos) return text == other;
    return other.substr(0, c + 1) == text.substr(0, c + 1);
}

// ---- may two accesses touch the same bytes? ----

namespace {

struct Address {
    bool known = false;     // a displacement form d(rN) or a bare symbol
    std::string sym;        // the symbol part, without "." prefix and "@" suffix
    int32_t disp = 0;
    int base = -1;          // base register, -1 none
    uint32_t size = 0;      // 0: unknown
};

uint32_t accesssize(const InsnNode* n) {
    const InsnRow& row = insnrow(n->kind);
    std::string_view m = row.generic->mnemonic;
    if (row.attr & Eff) return 0;
    uint32_t pat = row.attr & PatMask;
    if (pat == 6 || pat == 7) {
        uint32_t r = parsereg(firstoperand(n->text)) ;
        int first = 0;
        while (first < 32 && !(r & regbit(first))) ++first;
        return first < 32 ? static_cast<uint32_t>(32 - first) * 4 : 0;
    }
    if (m.starts_with("ev")) return 8;
    if (m == "ld" || m.starts_with("ldu") || m == "ldx" || m.starts_with("std") || m.starts_with("lfd") ||
        m.starts_with("stfd"))
        return 8;
    if (m.find("mv") != std::string_view::npos) return 0;
    return n->width == 1 ? 1 : n->width == 2 ? 2 : 4;
}

Address addressof(const InsnNode* n) {
    Address a;
    std::string_view t = nextoperand(n->text, 1);
    if (t.data() == n->text.data()) return a;      // one operand only
    t = skipspace(t);
    while (!t.empty() && isblankchar(t.back())) t.remove_suffix(1);
    if (topcomma(t) != std::string_view::npos) return a;   // indexed: rA,rB
    size_t open = t.find('(');
    std::string_view expr = t.substr(0, open);
    if (open != std::string_view::npos) {
        std::string_view inside = t.substr(open + 1);
        if (inside.empty() || inside.back() != ')') return a;
        inside.remove_suffix(1);
        int cls = 0;
        a.base = regnumber(inside, cls);
        if (a.base < 0 || cls != 'r') return a;
    }
    // expr: [symbol][+|-number] or number
    size_t i = 0;
    if (!expr.empty() && expr[0] == '.') ++i;
    size_t s = i;
    while (i < expr.size() && (iswordchar(expr[i]) || expr[i] == '@') && expr[i] != '.') ++i;
    if (i > s && !(expr[s] >= '0' && expr[s] <= '9')) {
        a.sym.assign(expr.substr(s, i - s));
        size_t at = a.sym.find('@');
        if (at != std::string::npos) a.sym.resize(at);
        while (i < expr.size() && expr[i] == '.') ++i;   // "x.l" style suffixes stay part of the name
        expr.remove_prefix(i);
    } else {
        expr.remove_prefix(s);
    }
    if (!expr.empty()) {
        std::string num(expr);
        bool neg = false;
        const char* p = num.c_str();
        if (*p == '+' || *p == '-') neg = *p == '-', ++p;
        if (!(*p >= '0' && *p <= '9')) return a;
        int32_t v = 0;
        const char* end = tl::parsenum(p, v, 1);
        if (*end) return a;
        a.disp = neg ? -v : v;
    }
    a.size = accesssize(n);
    a.known = true;
    return a;
}

bool isframesym(const Address& a) { return a.sym.empty() || a.sym == "OFST"; }

// Whether a and b lie on one straight stretch of code (no label between
// them) on which nothing from the earlier of the two on writes reg.
bool unchangedbetween(const InsnNode* a, const InsnNode* b, int reg) {
    for (int pass = 0; pass < 2; ++pass) {
        const InsnNode* from = pass ? b : a;
        const InsnNode* to = pass ? a : b;
        bool ok = true;
        const InsnNode* n = from;
        for (; n && n != to; n = n->next) {
            if (n->islabel()) {
                ok = false;
                break;
            }
            if (n->isinsn() && (n->gprwrite & regbit(reg))) ok = false;
        }
        if (n == to) return ok;
    }
    return false;
}

}  // namespace

bool takesframeaddress(const Unit& u) {
    for (const InsnNode* n = u.head; n; n = n->next) {
        if (!n->isinsn() || !(n->gprread & regbit(1))) continue;
        if (!(n->crread & Mem) && !(n->crwrite & Mem)) {
            if (n->gprwrite & ~regbit(1)) return true;     // mr r3,r1; addi r3,r1,8; la r3,8(r1)
        } else if (isstore(n) && (parsereg(firstoperand(n->text)) & regbit(1))) {
            // the stack pointer stored away; a frame push (stwu r1,-n(r1))
            // only links the caller's frame
            std::string_view a = nextoperand(n->text, 1);
            bool push = (insnrow(n->kind).attr & Upd) && a.starts_with("-") && a.ends_with("(r1)") &&
                        n->gprwrite == regbit(1) && n->gprread == regbit(1);
            if (!push) return true;
        }
    }
    return false;
}

bool frameslot(const Optimizer& o, const InsnNode* n, int32_t& off, uint32_t& size) {
    Address a = addressof(n);
    if (!a.known || a.base != 1 || !isframesym(a) || !a.size || (!a.sym.empty() && !o.framevalueset)) return false;
    off = a.sym.empty() ? a.disp : static_cast<int32_t>(static_cast<uint32_t>(a.disp) + static_cast<uint32_t>(o.framevalue));
    size = a.size;
    return true;
}

bool mayalias(const Optimizer& o, const InsnNode* a, const InsnNode* b) {
    Address x = addressof(a), y = addressof(b);
    // 1. one base register, unchanged between them, disjoint bytes
    if (x.known && y.known && x.base >= 0 && x.base == y.base && x.sym == y.sym && x.size && y.size &&
        unchangedbetween(a, b, x.base)) {
        int64_t x0 = x.disp, x1 = x0 + x.size, y0 = y.disp, y1 = y0 + y.size;
        return x0 < y1 && y0 < x1;
    }
    // 1b. two slots of the frame, "OFST+n" read with the unit's frame value
    int32_t xo = 0, yo = 0;
    uint32_t xs = 0, ys = 0;
    if (x.known && y.known && x.sym != y.sym && frameslot(o, a, xo, xs) && frameslot(o, b, yo, ys) &&
        unchangedbetween(a, b, 1)) {
        int64_t x0 = xo, x1 = x0 + xs, y0 = yo, y1 = y0 + ys;
        return x0 < y1 && y0 < x1;
    }
    // 3. the address table is never stored through
    if ((x.known && x.base == 2) != (y.known && y.base == 2)) return false;
    bool xframe = x.known && x.base == 1 && isframesym(x);
    bool yframe = y.known && y.base == 1 && isframesym(y);
    bool xsym = x.known && x.base != 1 && !isframesym(x);
    bool ysym = y.known && y.base != 1 && !isframesym(y);
    // 2. different symbols
    if (xsym && ysym && x.sym != y.sym) return false;
    // 4. a frame slot and a symbol
    if ((xframe && ysym) || (yframe && xsym)) return false;
    // 5. a frame slot and any access that does not use r1, while the unit
    //    never lets the frame's address out
    if (xframe != yframe) {
        const InsnNode* other = xframe ? b : a;
        if (!(other->gprread & regbit(1)) && !takesframeaddress(o.unit)) return false;
    }
    return true;
}

}  // namespace opt
