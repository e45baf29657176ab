// The special template handlers: what a fixed template text cannot say.
// Each looks at the node, its operands and the row's argument and builds the
// template text that emittemplate expands: bit-field stores, inserts,
// extractions and read-modify-writes, structure copies, constants that take
// one to three instructions, the floating-point helper calls, and the and,
// xor and or of a constant with a byte or halfword.
//
// A handler that needs a constant in a register changes the right operand's
// value and forces it there (the load goes out before the handler's own
// text); the register goes back to the free set after the instruction.
#include <bit>

#include "generator/gen.h"

namespace cg {

namespace {

std::string dec(int32_t v) { return numtext32(v, -10); }
std::string udec(uint32_t v) { return numtext32(static_cast<int32_t>(v), 10); }

// The type word that carries a bit-field's position and width.
uint32_t fieldtype(const GenNode* o) { return (o->loc.type & 0xFFF0) ? o->loc.type : o->type; }

struct Field {
    uint32_t pos, width, mask, bigbit;  // bigbit: big-endian number of the first bit
};

Field field(const GenNode* o) {
    uint32_t t = fieldtype(o);
    Field f;
    f.pos = (t >> 4) & 63;
    f.width = (t >> 10) & 63;
    if (f.width == 0 || f.width > 32) f.width = 32;
    if (f.pos + f.width > 32) f.pos = 32 - f.width;
    f.mask = f.width >= 32 ? 0xFFFFFFFFu : ((1u << f.width) - 1) << f.pos;
    f.bigbit = 32 - f.pos - f.width;
    return f;
}

uint32_t fieldvalue(const Field& f, uint32_t c) { return f.width >= 32 ? c : (c << f.pos) & f.mask; }

// The right operand becomes the constant v in a register of its own.
bool forceconst(Gen& G, GenNode* r, uint32_t v, RegSet& free) {
    r->loc = Location{};
    r->loc.type = ir::T_UINT;
    r->loc.offset = static_cast<int32_t>(v);
    r->value = static_cast<int32_t>(v);
    r->flags = 0;
    free = forceloc(G, r, W_RELEASE | LK_REG, free, ir::T_UINT);
    return setvalid(free);
}

// The bit number of a single set bit, big-endian.
uint32_t bebit(uint32_t single) { return 31u - static_cast<uint32_t>(std::countr_zero(single)); }

std::string consttext(const std::string& reg, uint8_t code, int32_t c);

bool storeconst(Gen& G, GenNode* n, RegSet& free, std::string& text) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    Field f = field(L);
    uint32_t c = static_cast<uint32_t>(R->loc.offset);
    uint32_t v = fieldvalue(f, c);
    if (f.width >= 32) {
        text = v < 0x8000 ? " li r0," + udec(v) : " lis r0," + udec(v >> 16) + "; ori r0," + udec(v & 0xFFFF);
        text += ";CLr0,L";
        return true;
    }
    std::string mid;
    if (f.width == 1) {
        mid = std::string((c & 1) ? " bset" : " bclr") + "i r0," + udec(31 - f.pos);
    } else if (v == f.mask && (f.pos >= 16 || f.pos + f.width <= 16)) {
        mid = f.pos < 16 ? "N3i r0," + udec(v) : "N3is r0," + udec(v >> 16);
    } else if (v == 0 && sci8fits(~f.mask)) {
        mid = "N1i r0," + udec(~f.mask);
    } else if (v == 0 && f.pos + f.width < 20) {
        if (!forceconst(G, R, ~f.mask, free)) return false;
        text = "MLr0,L;N1 r0,R;CLr0,L";
        return true;
    } else {
        if (!forceconst(G, R, (f.mask >> f.pos) & c, free)) return false;
        text = "MLr0,L; insrwi r0,R," + udec(f.width) + "," + udec(f.bigbit) + ";CLr0,L";
        return true;
    }
    text = "MLr0,L;" + mid + ";CLr0,L";
    return true;
}

bool insertfield(GenNode* n, std::string& text) {
    Field f = field(n->left);
    if (f.width >= 32)
        text = "CLR,L";
    else
        text = "MLr0,L; insrwi r0,R," + udec(f.width) + "," + udec(f.bigbit) + ";CLr0,L";
    return true;
}

bool extractfield(GenNode* n, std::string& text) {
    Field f = field(n->right);
    if (f.width >= 32)
        text = "MRL,R";
    else
        text = "MRr0,R; extrwi L,r0," + udec(f.width) + "," + udec(f.bigbit);
    return true;
}

bool inregister(Gen& G, const GenNode* o) {
    return (curkinds(G, o) & (LK_REG | LK_REUSABLE)) && o->loc.indir == 0 && !o->loc.index;
}

bool copystruct(Gen& G, GenNode* n, RegSet& free, std::string& text) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    uint32_t size = n->size;
    regcache(G, nullptr, nullptr, 0);  // the copy stores through its addresses
    if (size == 0) {
        text.clear();
        return true;
    }
    if (size % 2 == 0 && size <= 8) {
        for (GenNode* o : {L, R}) {
            bool apart = (size >= 6 && (o->loc.index || (o->loc.attr & LF_INDIRECT))) ||
                         (curkinds(G, o) & (LK_CONST | LK_ADDRNAME));
            if (apart) {
                free = forceloc(G, o, W_RELEASE | LK_REG, free, ir::T_UINT);
                if (!setvalid(free)) return false;
            }
            o->loc.indir = 1;
            o->loc.access |= o->loc.attr & LF_INDIRECT;
        }
        if (size == 2) {
            L->loc.type = R->loc.type = ir::T_USHORT;
            text = "MRr0,R;CLr0,L";
        } else if (size == 4) {
            L->loc.type = R->loc.type = ir::T_UINT;
            text = "MRr0,R;CLr0,L";
        } else {
            L->loc.type = ir::T_USHORT;
            R->loc.type = ir::T_UINT;
            text = "MRr0,R;CRr0,L";
            text += size == 8 ? ";MRr0,UUR;CRr0,UUL" : ";MLr0,UUR;CLr0,UUL";
        }
        return true;
    }
    bool moved[2] = {false, false};
    GenNode* ops[2] = {L, R};
    for (int i = 0; i < 2; ++i) {
        if (inregister(G, ops[i])) continue;
        free = forceloc(G, ops[i], W_RELEASE | LK_REG, free, ir::T_UINT);
        if (!setvalid(free)) return false;
        moved[i] = true;
    }
    uint32_t unit = (size & 1) ? 1 : (size & 2) ? 2 : 4;
    const char* w = unit == 1 ? "b" : unit == 2 ? "h" : "w";
    std::string u = udec(unit);
    std::string count = consttext("r0", gpr(0), static_cast<int32_t>(size / unit));
    text = " subi L," + u + "; subi R," + u + ";";
    if (G.fn.openloops > 0) {
        // the count register belongs to the open loop: count in r0
        GenNode blank;
        if (!allocreg(G, &blank, LK_REG, free, ir::T_UINT, nullptr)) return false;
        std::string d = genregname(blank.loc.reg);
        text += count + ";T: l" + w + "zu " + d + "," + u + "(R); st" + w + "u " + d + "," + u +
                "(L); subi. r0,1; bne T";
    } else {
        text += count + "; mtctr r0;T: l" + w + "zu r0," + u + "(R); st" + w + "u r0," + u +
                "(L); bdnz T";
        G.fn.frameflags |= FF_CTR;
    }
    // addresses that live on after the copy get their first byte back
    std::string back = udec(size - unit);
    if (!moved[0]) text += "; subi L," + back;
    if (!moved[1] && (moved[0] || L->loc.reg != R->loc.reg)) text += "; subi R," + back;
    return true;
}

// A constant into a register: the shortest of the 16-bit forms (r0-r7 and
// r24-r31 only), li with 16 or 20 bits, lis, or lis and ori.
std::string consttext(const std::string& reg, uint8_t code, int32_t c) {
    uint32_t u = static_cast<uint32_t>(c);
    if (code < gpr(8) || code > gpr(23)) {
        if (c == -1) return " bmaski " + reg + ",0";
        if (c >= 0 && c <= 127) return " li " + reg + "," + dec(c);
        if (std::has_single_bit(u + 1)) return " bmaski " + reg + "," + udec(static_cast<uint32_t>(std::countr_zero(u + 1)));
        if (std::has_single_bit(u)) return " bgeni " + reg + "," + udec(bebit(u));
    }
    if (c >= -32768 && c <= 32767) return " li " + reg + "," + dec(c);
    if ((u & 0xFFFF) == 0) return " lis " + reg + "," + udec(u >> 16);
    if (c >= -524288 && c <= 524287) return " li " + reg + "," + dec(c);
    std::string t = (u >> 16) ? " lis " + reg + "," + udec(u >> 16) + ";" : " li " + reg + ",0;";
    return t + " ori " + reg + "," + udec(u & 0xFFFF);
}

bool loadconst(GenNode* n, std::string& text) {
    GenNode* L = n->left;
    int32_t c = n->right->loc.offset;
    switch (L->loc.type & 15) {
        case ir::T_CHAR: c = static_cast<int8_t>(c); break;
        case ir::T_UCHAR: c = static_cast<uint8_t>(c); break;
        case ir::T_SHORT: c = static_cast<int16_t>(c); break;
        case ir::T_USHORT: c = static_cast<uint16_t>(c); break;
        default: break;
    }
    text = consttext("L", static_cast<uint8_t>(L->loc.reg & 0x7F), c);
    return true;
}

// Read-modify-write of a bit-field with a constant: and (0), test (1), or
// (2), xor (3), complement (4).
bool fieldop(Gen& G, GenNode* n, int k, RegSet& free, std::string& text) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    Field f = field(L);
    uint32_t c = static_cast<uint32_t>(R->loc.offset);
    uint32_t v = fieldvalue(f, c);
    const std::string load = "MLr0,L;", store = ";CLr0,L";
    auto inreg = [&](uint32_t value, const char* op, bool withstore) {
        if (!forceconst(G, R, value, free)) return false;
        text = load + op + " r0,R" + (withstore ? store : "");
        return true;
    };
    switch (k) {
        case 0: {
            uint32_t keep = ~f.mask | v;
            if (keep == 0xFFFFFFFFu) {
                text = "MLr0,L" + store;
            } else if (std::has_single_bit(~keep)) {
                text = load + " bclri r0," + udec(bebit(~keep)) + store;
            } else if (sci8fits(keep) || keep < 0x10000) {
                text = load + (sci8fits(keep) ? "N1i r0," : "N1i. r0,") + udec(keep) + store;
            } else if ((keep & 0xFFFF) == 0) {
                text = load + "N1is. r0," + udec(keep >> 16) + store;
            } else {
                return inreg(keep, "N1", true);
            }
            return true;
        }
        case 1:
            // the test looks at the field's bits only
            if (sci8fits(v) || v < 0x10000)
                text = load + "N1i. r0," + udec(v);
            else if ((v & 0xFFFF) == 0)
                text = load + "N1is. r0," + udec(v >> 16);
            else
                return inreg(v, "N1.", false);
            return true;
        case 2:
            if (v == 0) {
                text = "MLr0,L" + store;
            } else if (std::has_single_bit(v)) {
                text = load + " bseti r0," + udec(bebit(v)) + store;
            } else if (sci8fits(v) && v != 0xFFFFFFFFu) {
                text = load + "N3i r0," + udec(v) + store;
            } else {
                std::string mid;
                if (v & 0xFFFF) mid += "N3i r0," + udec(v & 0xFFFF);
                if (v >> 16) mid += std::string(mid.empty() ? "" : ";") + "N3is r0," + udec(v >> 16);
                text = load + mid + store;
            }
            return true;
        default: {
            uint32_t x = k == 4 ? f.mask : v;
            if (x == 0) {
                text = "MLr0,L" + store;
            } else if (sci8fits(x) && x != 0xFFFFFFFFu) {
                text = load + "N4i r0," + udec(x) + store;
            } else {
                return inreg(x, "N4", true);
            }
            return true;
        }
    }
}

bool helper(Gen& G, const Row& row, std::string& text) {
    std::string_view arg = row.arg ? row.arg : "";
    size_t skip = !arg.empty() && arg[0] == '&' ? 3 : 2;
    if (arg.size() > skip) xrefhelper(G, arg.substr(skip));
    text = arg;
    return true;
}

// And with a constant built in r0: the value (0) or a test (1).
bool andconst(GenNode* n, const Row& row, std::string& text) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    int32_t c = R->loc.offset;
    uint8_t lt = L->loc.type & 15;
    if (row.num == 0) {
        if (row.left == 'B' && lt == ir::T_CHAR) c = static_cast<int8_t>(c);
        if (row.left == 'E' && (lt == ir::T_SHORT || lt == ir::T_SHORTBITS)) c = static_cast<int16_t>(c);
    }
    R->loc.offset = c;
    uint32_t low = static_cast<uint32_t>(c) & 0xFFFF;
    if (c >= -524288 && c <= 524287)
        text = " li r0,R;";
    else if (low == 0 || low > 0x7F)
        text = std::string(" lis r0,UR;") + (low ? " ori r0,VR;" : "");
    else
        text = " li r0,VR;N3is r0,UR;";
    text += row.num == 0 ? "N1 L,r0" : "N1. r0,L";
    return true;
}

// Xor or or of a byte or halfword with a constant: the constant's low part,
// sign-extended from the width when an immediate then carries it, and an
// extension when the register would hold bits beyond what its type says.
bool narrowconst(Gen& G, GenNode* n, const Row& row, RegSet& free, std::string& text) {
    GenNode* L = n->left;
    GenNode* R = n->right;
    bool bytes = row.left == 'B';
    uint32_t width = bytes ? 0xFF : 0xFFFF, top = bytes ? 0x80 : 0x8000;
    uint32_t v = static_cast<uint32_t>(R->loc.offset) & width;
    bool isor = row.arg && row.arg[1] == '3';
    uint32_t sv = (v & top) ? (v | ~width) : v;
    uint8_t lt = L->loc.type & 15, nt = n->typecode();
    bool lsigned = lt == ir::T_CHAR || lt == ir::T_SHORT, nsigned = nt == ir::T_CHAR || nt == ir::T_SHORT;
    if (v == 0) {
        // nothing to combine, but a change of signedness still extends
        text = lsigned == nsigned ? "" : std::string("E") + (nsigned ? "s" : "z") + (bytes ? "b" : "h") + " L";
        return true;
    }
    // Does the register hold bits beyond what the node's type says? A
    // signed left stays sign-extended with a sign-extended constant, an
    // unsigned one zero-extended unless the constant brought ones.
    auto needsfix = [&](bool highones) {
        return lsigned != nsigned || (lsigned ? !highones && (v & top) : highones);
    };
    bool fix;
    bool zeroext = sci8fits(v) || (isor && v <= 0xFFFF);
    if (zeroext && (!sci8fits(sv) || !needsfix(false) || needsfix(sv != v))) {
        text = std::string(row.arg) + udec(v);
        fix = needsfix(false);
    } else if (sci8fits(sv)) {
        text = std::string(row.arg) + dec(static_cast<int32_t>(sv));
        fix = needsfix(sv != v);
    } else {
        if (!forceconst(G, R, sv, free)) return false;
        text = isor ? "N3 L,R" : "N4 L,R";
        fix = needsfix(sv != v);
    }
    if (fix) text += std::string(";E") + (nsigned ? "s" : "z") + (bytes ? "b" : "h") + " L";
    return true;
}

}  // namespace

bool runhandler(Gen& G, GenNode* n, const Row& row, RegSet& free, std::string& text) {
    switch (row.handler) {
        case 1: return storeconst(G, n, free, text);
        case 2: return insertfield(n, text);
        case 3: return extractfield(n, text);
        case 4: return copystruct(G, n, free, text);
        case 5: return loadconst(n, text);
        case 6: return fieldop(G, n, row.num, free, text);
        case 7: return helper(G, row, text);
        case 8: return andconst(n, row, text);
        case 9: return narrowconst(G, n, row, free, text);
        default: return false;
    }
}

}  // namespace cg
