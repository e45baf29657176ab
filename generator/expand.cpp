// Template expansion: emittemplate prepares a row's operands and result
// (the result takes the left operand's place, pushed operands are popped, a
// special row's handler builds its text) and expandtemplate reads the
// template letter by letter, appending the instructions to the function's
// code text in the internal form of the assembly text: mnemonic stems as
// control bytes, ';' ending an instruction, labels as '>' and octal digits.
//
// The text of one expansion is collected first and appended only when the
// whole template succeeded, so that a failed helper move leaves nothing
// behind.
#include <algorithm>
#include <cstring>

#include "generator/gen.h"

namespace cg {

uint8_t plainreg(uint8_t code) {
    if (code == (kPushedBit | kPushedAddr)) return kPushedAddr;
    return static_cast<uint8_t>(code & 0x7F);
}

namespace {

constexpr uint8_t kStemExt = 0x0A, kStemMr = 0x0B, kStemCmp = 0x0E, kStemNeg = 0x1E, kStemNot = 0x1F;


bool isgprcode(uint8_t c) { return c >= 1 && c <= 32; }

// The general registers a register code stands for.
int words(uint8_t code, uint8_t out[2]) {
    code = plainreg(code);
    if (ispair(code)) {
        out[0] = static_cast<uint8_t>(code - 61);
        out[1] = static_cast<uint8_t>(code - 60);
        return 2;
    }
    if (isgprcode(code)) {
        out[0] = code;
        return 1;
    }
    return 0;
}

bool holds(uint8_t code, uint8_t reg) {
    uint8_t w[2];
    int n = words(code, w);
    for (int i = 0; i < n; ++i)
        if (w[i] == reg) return true;
    return false;
}

bool isregvalue(const GenNode* o) {
    const Location& l = o->loc;
    uint8_t r = plainreg(l.reg);
    return l.indir == 0 && (isgprcode(r) || ispair(r)) && l.name.empty() && l.offset == 0 && !l.index;
}

uint8_t widen(uint8_t code) {
    switch (code) {
        case ir::T_CHAR: case ir::T_UCHAR: case ir::T_SHORT: case ir::T_USHORT:
        case ir::T_SHORTBITS: case ir::T_CHARBITS: return ir::T_INT;
        case ir::T_INTBITS: case ir::T_UINT: case ir::T_POINTER: return ir::T_UINT;
        default: return code;
    }
}

bool samelocation(const Location& a, const Location& b) {
    return a.reg == b.reg && a.index == b.index && a.indir == b.indir &&
           (a.access & ~uint32_t{LF_VOLATILE}) == (b.access & ~uint32_t{LF_VOLATILE}) &&
           unsignedtype(a.type & 15) == unsignedtype(b.type & 15) && a.name == b.name && a.offset == b.offset;
}

// Moves between general registers in an order that never overwrites a
// source before it is read; r0 breaks a cycle.
struct Move {
    uint8_t dst, src;
};

std::vector<Move> ordermoves(std::vector<Move> moves) {
    std::vector<Move> out;
    std::erase_if(moves, [](const Move& m) { return m.dst == m.src; });
    while (!moves.empty()) {
        bool done = false;
        for (size_t i = 0; i < moves.size(); ++i) {
            uint8_t d = moves[i].dst;
            bool read = std::any_of(moves.begin(), moves.end(), [&](const Move& m) { return m.src == d; });
            if (read) continue;
            out.push_back(moves[i]);
            moves.erase(moves.begin() + static_cast<long>(i));
            done = true;
            break;
        }
        if (done) continue;
        uint8_t d = moves[0].dst;
        out.push_back({gpr(0), d});
        for (Move& m : moves)
            if (m.src == d) m.src = gpr(0);
    }
    return out;
}

bool narrowsensitive(int op) {
    switch (op) {
        case ir::O_MUL: case ir::O_MULASG: case ir::O_ADD: case ir::O_ADDASG: case ir::O_POSTINC:
        case ir::O_SUB: case ir::O_SUBASG: case ir::O_POSTDEC: case ir::O_SHL: case ir::O_SHLASG:
        case ir::O_AND: case ir::O_ANDASG: case ir::O_XOR: case ir::O_XORASG: case ir::O_OR:
        case ir::O_ORASG: case ir::O_COMPL: case ir::O_COMPLSELF: case ir::O_NEG: case ir::O_NEGSELF: return true;
        default: return false;
    }
}

struct Expansion {
    Gen& G;
    GenNode* n;
    GenNode* L;
    GenNode* R;
    RegSet& free;
    std::string out{};
    int size = 0;
    int h = 0, p = 3;
    const GenNode* masked = nullptr;  // 'G': the operand whose constant is a shift count
    uint16_t label = 0;
    bool labeldefined = false;
    bool volatilemark = false;
    // the instruction being written: its stem and its register operands
    uint8_t stem = 0;
    int operands = 0;
    uint8_t lastreg = 0;
    const GenNode* storedest = nullptr;  // 'C': the destination, its source still to print
    bool storewatch = false;

    GenNode* operand(char c) { return c == 'L' ? L : c == 'R' ? R : nullptr; }

    void stembyte(uint8_t b) {
        out += static_cast<char>(b);
        if (!stem) stem = b;
    }

    void print(const GenNode* o) {
        std::string t;
        if (o == masked && isplainconst(o)) {
            GenNode copy = *o;
            copy.loc.offset &= 31;
            t = opertext(G, &copy, h, p);
        } else {
            t = opertext(G, o, h, p);
        }
        out += t;
        ++operands;
        lastreg = isregvalue(o) && !ispair(plainreg(o->loc.reg)) ? plainreg(o->loc.reg) : 0;
        if (o->loc.indir && (o->loc.access & LF_VOLATILE)) volatilemark = true;
        if (storewatch) {
            storewatch = false;
            if (storedest && storedest != o && n->typecode() != ir::T_DOUBLE && h == 0 && isregvalue(o))
                cachestore(G, storedest, plainreg(o->loc.reg), static_cast<uint8_t>(o->loc.type & 15));
            else if (storedest)
                cachestore(G, storedest, 0, 0);
        }
        h = 0;
    }

    // The end of an instruction: a one-operand extension, negation or
    // complement of r8-r23 takes the two-operand form, which has no 16-bit
    // encoding restriction.
    void endline() {
        if ((stem == kStemExt || stem == kStemNeg || stem == kStemNot) && operands == 1 && lastreg >= gpr(8) &&
            lastreg <= gpr(23))
            out += "," + genregname(lastreg);
        out += ';';
        ++size;
        if (volatilemark && !G.opt.no) out += "VL:;";
        volatilemark = false;
        stem = 0;
        operands = 0;
        lastreg = 0;
    }

    std::string labelref() {
        if (!label) label = genlabel(G);
        return labeltext(label);
    }

    bool writable(uint8_t reg, const GenNode* moved1, const GenNode* moved2) {
        if (setin(free, reg)) return true;
        for (const GenNode* o : {moved1, moved2}) {
            if (!o || !holds(o->loc.reg, reg)) continue;
            if (o == L || (o->flags & (NF_OWNSREG | NF_OWNSINDEX))) return true;
        }
        return false;
    }

    void writemoves(const std::vector<Move>& moves) {
        for (const Move& m : ordermoves(moves)) {
            out += " mr " + genregname(m.dst) + "," + genregname(m.src) + ";";
            ++size;
            cacheforget(G, m.dst);
        }
    }

    // A constant operand of a helper as the words it passes: an integer
    // constant beside a float or double operand is that value in the
    // operand's format (high word first).
    void constwords(uint8_t type, uint32_t w[2]) const {
        int32_t c = R->loc.offset;
        uint8_t own = R->typecode();
        bool uns = own == ir::T_UINT || own == ir::T_USHORT || own == ir::T_UCHAR;
        double v = uns ? double(uint32_t(c)) : double(c);
        if (type == ir::T_DOUBLE) {
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            w[0] = uint32_t(bits >> 32);
            w[1] = uint32_t(bits);
        } else if (type == ir::T_FLOAT) {
            float f = float(v);
            std::memcpy(&w[0], &f, sizeof f);
        } else {
            w[0] = uint32_t(c);
        }
    }

    void loadword(uint8_t reg, uint32_t w) {
        int32_t c = static_cast<int32_t>(w);
        std::string r = genregname(reg);
        if (c >= -32768 && c <= 32767) {
            out += " li " + r + "," + numtext32(c, -10) + ";";
        } else {
            out += " lis " + r + "," + numtext32(int32_t(w >> 16), -10) + ";";
            if (w & 0xFFFF) {
                out += " ori " + r + "," + numtext32(int32_t(w & 0xFFFF), -10) + ";";
                ++size;
            }
        }
        ++size;
    }

    // 'O': the left operand to the helper's first argument (r3, or r3:r4),
    // the right to the second (r4, or r5:r6); a commutative operator may
    // exchange them when that saves moves. A constant right operand (a
    // compare with 0) is loaded.
    bool twoargs() {
        bool dbl = ispair(plainreg(L->loc.reg)) || (L->loc.type & 15) == ir::T_DOUBLE;
        uint8_t a[2] = {gpr(3), gpr(4)}, b[2] = {dbl ? gpr(5) : gpr(4), gpr(6)};
        int nw = dbl ? 2 : 1;
        uint8_t lw[2] = {}, rw[2] = {};
        bool rconst = R->loc.reg == 0 && R->loc.indir == 0 && R->loc.name.empty();
        if (words(L->loc.reg, lw) != nw) return false;
        if (!rconst && words(R->loc.reg, rw) != nw) return false;
        auto plan = [&](const uint8_t* lt, const uint8_t* rt) {
            std::vector<Move> m;
            for (int i = 0; i < nw; ++i) m.push_back({lt[i], lw[i]});
            for (int i = 0; i < nw && !rconst; ++i) m.push_back({rt[i], rw[i]});
            return m;
        };
        auto cost = [](const std::vector<Move>& m) {
            return std::count_if(m.begin(), m.end(), [](const Move& x) { return x.dst != x.src; });
        };
        const uint8_t* lt = a;
        const uint8_t* rt = b;
        int op = n->op;
        bool commut = op == ir::O_ADD || op == ir::O_MUL || op == ir::O_ADDASG || op == ir::O_MULASG;
        if (commut && !rconst && cost(plan(b, a)) < cost(plan(a, b))) std::swap(lt, rt);
        std::vector<Move> moves = plan(lt, rt);
        for (int i = 0; i < nw; ++i) {
            for (uint8_t t : {lt[i], rt[i]}) {
                bool needed = std::any_of(moves.begin(), moves.end(), [&](const Move& m) { return m.dst == t && m.src != t; });
                if ((needed || (rconst && t == rt[i])) && !writable(t, L, R)) return false;
            }
        }
        writemoves(moves);
        if (rconst) {
            uint32_t w[2] = {};
            constwords(dbl ? ir::T_DOUBLE : L->loc.type & 15, w);
            for (int i = 0; i < nw; ++i) loadword(rt[i], w[i]);
        }
        for (int i = 0; i < nw; ++i) {
            setdel(G.regs.scratch, lt[i]);
            setdel(G.regs.scratch, rt[i]);
        }
        return true;
    }

    // '&': the operand to the helper's argument (r3, or r3:r4); the helpers
    // that return a double from a word write r4 too.
    bool oneargs(const GenNode* x, std::string_view helper) {
        uint8_t xw[2] = {};
        int nw = words(x->loc.reg, xw);
        if (nw == 0) return false;
        std::vector<Move> moves;
        moves.push_back({gpr(3), xw[0]});
        if (nw == 2) moves.push_back({gpr(4), xw[1]});
        std::vector<uint8_t> need = {gpr(3)};
        if (nw == 2 || helper == "ftod" || helper == "ltod" || helper == "ultod") need.push_back(gpr(4));
        const GenNode* dest = n->op == ir::O_ASSIGN ? L : nullptr;
        for (uint8_t t : need) {
            bool ok = setin(free, t) || holds(x->loc.reg, t) || (dest && holds(dest->loc.reg, t));
            if (!ok) return false;
        }
        writemoves(moves);
        for (uint8_t t : need) setdel(G.regs.scratch, t);
        return true;
    }

    void helpercall(const std::string& name) {
        xrefhelper(G, name);
        out += "\x07" "c~" + name;
        size += 2;
        G.fn.frameflags |= FF_CALLS | FF_NOMOVE;
        regcache(G, nullptr, nullptr, 0);
        uint8_t lw[2] = {};
        int nw = words(L->loc.reg, lw);
        std::vector<Move> moves;  // a double's second word first
        if (nw == 2) moves.push_back({lw[1], gpr(4)});
        if (nw >= 1) moves.push_back({lw[0], gpr(3)});
        for (const Move& m : ordermoves(moves)) {
            out += "; mr " + genregname(m.dst) + "," + genregname(m.src);
            ++size;
        }
    }

    bool test(char c) {
        switch (c) {
            case '1': return ispair(plainreg(L->loc.reg)) && plainreg(L->loc.reg) - 61 == plainreg(R->loc.reg);
            case '2': return ispair(plainreg(R->loc.reg)) && plainreg(R->loc.reg) - 61 == plainreg(L->loc.reg);
            case '5': return plainreg(R->loc.reg) < plainreg(L->loc.reg);
            case '6': return L->typecode() == ir::T_UCHAR || L->typecode() == ir::T_USHORT;
            case '7': return n->typecode() == ir::T_UCHAR || n->typecode() == ir::T_USHORT;
            default: return false;
        }
    }

    // 'A': a base-plus-index address folded into one register.
    void fold(GenNode* o) {
        Location& l = o->loc;
        if (!l.index || !l.reg) return;
        if (o->flags & NF_OWNSREG) {
            out += " add " + genregname(l.reg) + "," + genregname(l.index) + ";";
            if (o->flags & NF_OWNSINDEX) setadd(free, l.index);
            o->flags &= ~uint32_t{NF_OWNSINDEX};
            cacheforget(G, l.reg);
        } else if (o->flags & NF_OWNSINDEX) {
            out += " add " + genregname(l.index) + "," + genregname(l.reg) + ";";
            l.reg = l.index;
            o->flags = (o->flags & ~uint32_t{NF_OWNSINDEX}) | NF_OWNSREG;
            cacheforget(G, l.reg);
        } else {
            return;
        }
        l.index = 0;
        ++size;
    }

    static const char* loadsuffix(uint8_t code) {
        switch (code) {
            case ir::T_CHAR: case ir::T_UCHAR: case ir::T_CHARBITS: return "bz";
            case ir::T_SHORT: return "ha";
            case ir::T_SHORTBITS: case ir::T_USHORT: return "hz";
            default: return "wz";
        }
    }

    static const char* storesuffix(uint8_t code) {
        switch (code) {
            case ir::T_CHAR: case ir::T_UCHAR: case ir::T_CHARBITS: return "b";
            case ir::T_SHORT: case ir::T_SHORTBITS: case ir::T_USHORT: return "h";
            default: return "w";
        }
    }

    // A load or store of the operand's width; "x" for a base-plus-index address.
    void memstem(const char* op, const char* width, const GenNode* o) {
        out += std::string(op) + width + (o->loc.index && o->loc.indir ? "x" : "") + " ";
        if (!stem) stem = 1;
    }

    bool run(std::string_view t) {
        int cond = 0;
        for (size_t i = 0; i < t.size(); ++i) {
            char c = t[i];
            char next = i + 1 < t.size() ? t[i + 1] : '\0';
            switch (c) {
                case ';': endline(); break;
                case '?':
                    if (cond == 0) {
                        bool yes = test(next);
                        ++i;
                        if (yes) {
                            cond = 1;
                        } else {
                            size_t q = t.find('?', i + 1);
                            i = q == std::string_view::npos ? t.size() : q;
                            cond = 2;
                        }
                    } else if (cond == 1) {
                        size_t q = t.find('?', i + 1);
                        i = q == std::string_view::npos ? t.size() : q;
                        cond = 0;
                    } else {
                        cond = 0;
                    }
                    break;
                case 'A':
                    if (GenNode* o = operand(next)) {
                        fold(o);
                        ++i;
                    } else {
                        out += c;
                    }
                    break;
                case 'V': p = 1; break;
                case 'W': p = 2; break;
                case 'S':
                    if (next == 'S') {
                        p = -3;
                        ++i;
                    } else {
                        p = 3;
                    }
                    break;
                case 'C':
                    if (GenNode* o = operand(next)) {
                        memstem(" st", storesuffix(o->loc.type & 15), o);
                        ++i;
                        storedest = o;
                        storewatch = true;
                        if (i + 1 < t.size() && operand(t[i + 1]) == nullptr) {
                            // a literal register is stored (r0): the cell's entries go
                            storewatch = false;
                            cachestore(G, o, 0, 0);
                        }
                    } else {
                        out += c;
                    }
                    break;
                case 'D':
                case 'F':
                case 'N':
                case 'Z':
                    if (next >= '0' && next <= '9') {
                        int base = c == 'D' ? 18 : c == 'F' ? 14 : c == 'N' ? 23 : 27;
                        stembyte(static_cast<uint8_t>(base + (next - '0')));
                        ++i;
                    } else {
                        out += c;
                    }
                    break;
                case 'E': stembyte(kStemExt); break;
                case 'X': stembyte(kStemCmp); break;
                case 'G':
                    if (GenNode* o = operand(next)) masked = o;
                    else out += c;
                    break;
                case 'K': {
                    size_t end = i + 1;
                    while (end < t.size() && t[end] != ';' && t[end] != '?') ++end;
                    helpercall(std::string(t.substr(i + 1, end - i - 1)));
                    if (!stem) stem = 1;
                    i = end - 1;
                    break;
                }
                case 'L':
                    if (next == 'R') {
                        if (!(isregvalue(L) && isregvalue(R) && plainreg(L->loc.reg) == plainreg(R->loc.reg))) {
                            print(L);
                            out += ',';
                        }
                    } else {
                        print(L);
                    }
                    break;
                case 'M':
                    if (GenNode* o = operand(next)) {
                        memstem(" l", loadsuffix(o->loc.type & 15), o);
                        ++i;
                    } else {
                        stembyte(kStemMr);
                    }
                    break;
                case 'O':
                    if (!twoargs()) return false;
                    break;
                case '&':
                    if (GenNode* o = operand(next)) {
                        size_t k = t.find('K', i);
                        std::string_view helper;
                        if (k != std::string_view::npos) {
                            size_t end = k + 1;
                            while (end < t.size() && t[end] != ';' && t[end] != '?') ++end;
                            helper = t.substr(k + 1, end - k - 1);
                        }
                        if (!oneargs(o, helper)) return false;
                        ++i;
                    } else {
                        out += c;
                    }
                    break;
                case 'R': print(R); break;
                case 'T':
                    out += labelref();
                    if (next == ':') {
                        out += ":;";
                        labeldefined = true;
                        ++i;
                    } else {
                        ++size;
                    }
                    break;
                case 'U': h += 2; break;
                default:
                    out += c;
                    if (c != ' ' && !stem) stem = 1;
            }
        }
        // the last instruction ends here (a text that already ended one
        // line gets no empty line)
        if (!out.empty()) {
            if (out.back() != ';') endline();
            if (label && !labeldefined) out += labeltext(label) + ":;";
        }
        return true;
    }
};

}  // namespace

void treeloc(GenNode* n) {
    Location& l = n->loc;
    l = Location{};
    l.type = n->type;
    l.attr = n->attr;
    l.offset = n->value;
    l.name = n->name;
    l.reg = n->storage == kFrameTemp ? kFrameSlot : n->storage;
    l.index = n->indexstorage;
    l.indir = n->indir;
    l.access = n->leafflags;
}

GenNode* locleaf(Gen& G, const Location& loc, uint32_t flags) {
    GenNode* n = newnode(G);
    n->type = loc.type;
    n->attr = loc.attr;
    n->value = loc.offset;
    n->name = loc.name;
    n->storage = loc.reg;  // a pushed place stays pushed when the leaf is read again
    n->indexstorage = loc.index;
    n->indir = loc.indir;
    n->leafflags = loc.access;
    n->loc = loc;
    n->flags = flags;
    return n;
}

const char* extkind(uint8_t type) {
    switch (type) {
        case ir::T_CHAR: case ir::T_CHARBITS: return "sb";
        case ir::T_UCHAR: return "zb";
        case ir::T_SHORT: case ir::T_SHORTBITS: return "sh";
        case ir::T_USHORT: return "zh";
        default: return "";
    }
}

std::string exttext(std::string_view kind, uint8_t reg) {
    std::string t = " ext" + std::string(kind) + " " + genregname(reg);
    if (reg >= gpr(8) && reg <= gpr(23)) t += "," + genregname(reg);
    return t;
}

std::string opertext(Gen& G, const GenNode* o, int h, int p) {
    const Location& l = o->loc;
    uint8_t reg = plainreg(l.reg);
    bool indirect = l.indir > 0;
    bool named = !l.name.empty();
    std::string regname;
    if (reg) regname = ispair(reg) ? genregname(static_cast<uint8_t>(h ? reg - 60 : reg - 61)) : genregname(reg);
    if (reg && !indirect && l.offset == 0 && !named) return regname;
    if (indirect && l.index && reg) return regname + "," + genregname(l.index);
    uint32_t value = static_cast<uint32_t>(l.offset);
    if (reg == kFrameSlot) value += static_cast<uint32_t>(G.ex.framebase);
    if (l.access & LF_BASEOFF) value += static_cast<uint32_t>(l.base[1]);
    if (!indirect && !named) {
        if (h)
            value = p == -3 ? static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(value >> 16))) : value >> 16;
        else if (p == 1)
            value &= 0xFFFF;
        else if (p == 2)
            value = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(value)));
    } else if (indirect) {
        value += static_cast<uint32_t>(h);
    }
    int32_t sv = static_cast<int32_t>(value);
    std::string s;
    bool frame = reg == kFrameSlot || (l.access & LF_BASEOFF);
    if (named) {
        if (indirect && (l.access & LF_INDIRECT)) s += ".";
        s += l.name;
        if (sv > 0) s += "+";
    } else if (frame) {
        s += "OFST";
        if (sv >= 0) s += "+";
    }
    bool number = sv != 0 || (!named && (!reg || (indirect && reg) || frame));
    if (number) s += numtext32(sv, -10);
    if (reg) s += indirect ? "(" + regname + ")" : regname;
    return s;
}

bool expandtemplate(Gen& G, GenNode* n, std::string_view text, RegSet& free) {
    Expansion x{G, n, n->left, n->right, free};
    if (!x.run(text)) return false;
    if (!x.out.empty()) G.store.addchars(x.out);
    countsize(G, x.size);
    return true;
}

RegSet emittemplate(Gen& G, GenNode* n, const Row* row, RegSet s) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    n->loc = L->loc;
    if (n->op == ir::O_ADD) n->loc.attr |= R->loc.attr & 0x4142;
    n->flags = L->flags & NF_OWNSREG;
    uint8_t wide = widen(n->typecode());
    if (unsignedtype(n->loc.type & 15) == unsignedtype(wide)) n->loc.type = wide;
    if ((row->flags & RF_NOVALUE) || (L->flags & NF_RELEASEAFTER)) {
        n->loc.reg = plainreg(n->loc.reg) == kPushedAddr ? n->loc.reg : static_cast<uint8_t>(n->loc.reg & 0x7F);
        L->flags |= NF_RELEASEAFTER;
        n->flags = 0;
    } else if ((n->loc.reg & kPushedBit) && n->loc.reg != (kPushedBit | kPushedAddr)) {
        n->loc.reg &= 0x7F;
        L->flags |= NF_RELEASED;
    }
    if (L->loc.reg == (kPushedBit | kPushedAddr) && R->loc.reg && setin(s, R->loc.reg)) {
        setdel(s, R->loc.reg);
        R->flags |= NF_OWNSREG | NF_RELEASEAFTER;
    }
    if (L->loc.reg & kPushedBit) {
        s = popvalue(G, L, s, L->flags & (NF_RELEASEAFTER | NF_RELEASED), n);
        if (!setvalid(s)) return failset();
        n->loc.reg = L->loc.reg;
        n->loc.indir = L->loc.indir;
        n->loc.offset = L->loc.offset;
    }
    if (R->loc.reg & kPushedBit) {
        s = popvalue(G, R, s, R->flags & NF_OWNSREG, n);
        if (!setvalid(s)) return failset();
    }
    // an assignment to its own place writes nothing, unless it is volatile
    if (n->op == ir::O_ASSIGN && samelocation(L->loc, R->loc) &&
        !((L->loc.indir && (L->loc.access & LF_VOLATILE)) || (R->loc.indir && (R->loc.access & LF_VOLATILE))) &&
        (!L->isleaf() || L->loc.indir || !L->loc.reg || L->typecode() > 5 ||
         containertype(L->typecode()) == containertype(R->typecode()))) {
        if (R->flags & NF_RELEASEAFTER) ownregs(R, &s, 1);
        return s;
    }
    if (row->flags & RF_SETCC) n->flags |= NF_SETCC;
    std::string text;
    if (row->special()) {
        if (!runhandler(G, n, *row, s, text)) return failset();
    } else {
        text = row->text ? row->text : "";
    }
    if (!expandtemplate(G, n, text, s)) return failset();
    // a push row moved r1: frame operands are further away now
    if ((row->left >> 4) == 1) {
        static constexpr int kPushed[16] = {0, 1, 1, 2, 2, 2, 4, 4, 4, 4, 8, 4, 0, 1, 0, 0};
        G.ex.framebase += kPushed[row->left & 15];
    }
    // a char or short result computed by a row without its own extension
    uint8_t nt = n->typecode();
    const char* kind = extkind(nt);
    bool wordrow = row->left >= 0x41 && row->left <= 0x48;
    if (*kind && nt != ir::T_CHARBITS && nt != ir::T_SHORTBITS && narrowsensitive(n->op) && !row->special() &&
        !(row->flags & RF_NOVALUE) && wordrow && text.find('E') == std::string::npos && isregvalue(n) &&
        !ispair(plainreg(n->loc.reg))) {
        G.store.addchars(exttext(kind, plainreg(n->loc.reg)) + ";");
        countsize(G, 1);
    }
    // the result's register was written
    if (n->loc.indir == 0 && !(row->flags & RF_NOVALUE)) {
        uint8_t w[2];
        for (int i = 0, k = words(n->loc.reg, w); i < k; ++i) cacheforget(G, w[i]);
    }
    for (GenNode* o : {L, R})
        if (o->flags & NF_RELEASEAFTER) ownregs(o, &s, 1);
    return s;
}

}  // namespace cg
