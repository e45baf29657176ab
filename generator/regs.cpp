// Registers of expression code: the choice of a register, the content cache,
// forceloc (an operand into a place its consumer accepts), moves (done as
// assignments through the templates), pushes and pops through r1, address
// loads, the per-function address table, parameters still in their argument
// registers, and the snapshots that undo a failed attempt.
//
// Free registers travel as a RegSet passed by value and handed back by every
// step; the all-zero set is the failure value, and the caller that sees it
// restores its snapshot and tries another way.
#include <algorithm>

#include <cstring>

#include "generator/gen.h"

namespace cg {

namespace {

bool isreg(uint8_t c) { return (c >= 1 && c <= 64) || ispair(c); }

void emit(Gen& G, const std::string& text, int units) {
    G.store.addchars(text);
    countsize(G, units);
}

uint8_t widenedpush(uint8_t code) {
    switch (code) {
        case ir::T_CHAR: case ir::T_UCHAR: case ir::T_CHARBITS: return ir::T_UCHAR;
        case ir::T_SHORT: case ir::T_USHORT: case ir::T_SHORTBITS: return ir::T_USHORT;
        case ir::T_FLOAT: case ir::T_DOUBLE: return code;
        default: return ir::T_UINT;
    }
}

// The type a cache entry is keyed by: words by their bits, narrow values by
// their extension.
uint8_t cachekey(uint8_t code) {
    switch (code) {
        case ir::T_INT: case ir::T_UINT: case ir::T_POINTER: return ir::T_UINT;
        default: return code;
    }
}

int width(uint8_t code) {
    switch (code) {
        case ir::T_CHAR: case ir::T_UCHAR: case ir::T_CHARBITS: return 1;
        case ir::T_SHORT: case ir::T_USHORT: case ir::T_SHORTBITS: return 2;
        default: return 4;
    }
}

// A memory cell whose address never changes within a function: a word,
// halfword or byte at a fixed offset from r2, r13 or the frame.
bool cacheable(const GenNode* o) {
    const Location& l = o->loc;
    if (l.indir != 1 || l.index || (l.access & (LF_VOLATILE | LF_SPR | LF_BUILTIN))) return false;
    if (l.reg != kR2 && l.reg != kR13 && l.reg != kFrameSlot) return false;
    uint8_t t = l.type & 15;
    return t != ir::T_DOUBLE && t != ir::T_STRUCT && !isbitfield(l.type) && t != 0;
}

bool sameentry(const CacheEntry& e, const GenNode* o) {
    const Location& l = o->loc;
    return e.base && e.base == l.reg && e.offset == l.offset && e.name == l.name && e.type == cachekey(l.type & 15);
}

void record(Gen& G, CacheEntry& e, const GenNode* o, uint8_t type) {
    e.base = o->loc.reg;
    e.offset = o->loc.offset;
    e.name = o->loc.name;
    e.type = cachekey(type);
    e.stamp = G.ex.stamp++;
}

}  // namespace

RegSet failset() { return RegSet{}; }

void resetexpr(Gen& G) {
    G.ex = ExprState{};
    setrange(G.regs.scratch, true, gpr(3), gpr(12));
}

uint8_t firstfree(Gen& G, const RegSet& s, uint8_t first, uint8_t last) {
    for (int c = first; c <= last; ++c) {
        if (setin(s, static_cast<uint8_t>(c))) {
            setdel(G.regs.scratch, static_cast<uint8_t>(c));
            return static_cast<uint8_t>(c);
        }
    }
    return 0;
}

// ---- the content cache ----

uint8_t regcache(Gen& G, const RegSet* s, const GenNode* o, int mode, bool* hit) {
    if (hit) *hit = false;
    ExprState& x = G.ex;
    if (G.opt.nr) return 0;
    if (!s) {
        for (CacheEntry& e : x.cache) e = CacheEntry{};
        x.stamp = 1;
        return 0;
    }
    if (mode != 0 && mode != 0x60) {
        uint8_t w[2] = {static_cast<uint8_t>(mode), 0};
        if (ispair(static_cast<uint8_t>(mode))) {
            w[0] = static_cast<uint8_t>(mode - 61);
            w[1] = static_cast<uint8_t>(mode - 60);
        }
        for (uint8_t r : w)
            if (r >= gpr(3) && r <= gpr(12)) x.cache[r - gpr(3)] = CacheEntry{};
        if (!o || !cacheable(o) || ispair(static_cast<uint8_t>(mode)) || mode < gpr(3) || mode > gpr(12)) return 0;
        record(G, x.cache[mode - gpr(3)], o, o->loc.type & 15);
        return static_cast<uint8_t>(mode);
    }
    if (o && !cacheable(o)) {
        // a value read through a pointer that an increment or decrement steps
        const GenNode* ptr = o->left;
        uint8_t base = o->loc.reg;
        if (o->op == ir::O_IND && ptr && (ptr->op == ir::O_POSTINC || ptr->op == ir::O_POSTDEC) && base > kR2 &&
            base <= 32 && setin(*s, base) && (o->loc.type & 15) != ir::T_DOUBLE)
            return base;
        return 0;
    }
    // entries above the scratch limit, up to r7
    int lo = x.limit ? x.limit - 3 : 0, hi = 5;
    if (lo < 0) lo = 0;
    if (x.savedregs && hi - lo > 2) hi -= std::min((hi - lo) / 2, std::max(0, 33 - x.savedregs));
    if (lo >= hi || !o) return 0;
    for (int i = lo; i < hi; ++i) {
        CacheEntry& e = x.cache[i];
        if (!sameentry(e, o)) continue;
        uint8_t reg = gpr(3 + i);
        if (setin(*s, reg)) {
            e.stamp = x.stamp++;
            if (hit) *hit = true;
            return reg;
        }
        if (mode == 0x60) return 0;
        e = CacheEntry{};
    }
    if (mode == 0x60) return 0;
    int pick = -1;
    for (int i = lo; i < hi && pick < 0; ++i)
        if (setin(*s, gpr(3 + i)) && !x.cache[i].base) pick = i;
    for (int i = lo; i < hi && pick < 0; ++i) {
        if (!setin(*s, gpr(3 + i))) continue;
        uint32_t oldest = UINT32_MAX;
        for (int j = lo; j < hi; ++j)
            if (setin(*s, gpr(3 + j)) && x.cache[j].stamp < oldest) {
                oldest = x.cache[j].stamp;
                pick = j;
            }
    }
    if (pick < 0) return 0;
    record(G, x.cache[pick], o, o->loc.type & 15);
    return gpr(3 + pick);
}

void cacheforget(Gen& G, uint8_t reg) {
    if (reg >= gpr(3) && reg <= gpr(12)) G.ex.cache[reg - gpr(3)] = CacheEntry{};
}

void cachestore(Gen& G, const GenNode* dest, uint8_t reg, uint8_t srctype) {
    if (G.opt.nr) return;
    if (!cacheable(dest)) {
        regcache(G, nullptr, nullptr, 0);
        return;
    }
    for (CacheEntry& e : G.ex.cache)
        if (e.base == dest->loc.reg && e.name == dest->loc.name) e = CacheEntry{};
    uint8_t dt = dest->loc.type & 15;
    if (reg < gpr(3) || reg > gpr(12) || width(dt) != width(srctype) || srctype == ir::T_DOUBLE) return;
    for (CacheEntry& e : G.ex.cache)
        if (&e == &G.ex.cache[reg - gpr(3)]) record(G, e, dest, srctype);
}

// ---- registers ----

bool allocreg(Gen& G, GenNode* n, uint32_t k, const RegSet& s, uint8_t t, const GenNode* o, bool* cached) {
    ExprState& x = G.ex;
    if (cached) *cached = false;
    uint8_t reg = 0;
    if (k & LK_REG) {
        if (t == ir::T_DOUBLE) {
            if (ispair(x.hint) && setin(s, x.hint)) {
                reg = x.hint;
            } else {
                // pairs start at an odd register above the limit: r3:r4, r5:r6, ...
                int start = x.limit ? x.limit + 1 : gpr(3);
                if (start & 1) ++start;
                for (int c = start; c + 1 <= gpr(12); c += 2)
                    if (setin(s, static_cast<uint8_t>(c)) && setin(s, static_cast<uint8_t>(c + 1))) {
                        reg = pairof(static_cast<uint8_t>(c));
                        break;
                    }
            }
            if (reg) regcache(G, &s, nullptr, reg);
        } else if (x.hint >= 1 && x.hint <= 32 && setin(s, x.hint)) {
            reg = x.hint;
            regcache(G, &s, o, reg);
        } else {
            bool hit = false;
            if (o) reg = regcache(G, &s, o, 0, &hit);
            if (reg && hit && cached) *cached = true;
            if (!reg) {
                for (int c = x.limit ? x.limit + 1 : gpr(3); c <= gpr(12) && !reg; ++c)
                    if (setin(s, static_cast<uint8_t>(c))) reg = static_cast<uint8_t>(c);
                if (reg && o) regcache(G, &s, o, reg);
            }
        }
    } else if (k & LK_FLOATREG) {
        if (x.hint > 32 && x.hint <= 64 && setin(s, x.hint)) {
            reg = x.hint;
        } else {
            for (int c = fpr(1); c <= fpr(12) && !reg; ++c)
                if (setin(s, static_cast<uint8_t>(c))) reg = static_cast<uint8_t>(c);
        }
    }
    if (!reg) return false;
    setdel(G.regs.scratch, reg);
    setloc(n, t, o ? o->loc.attr : 0, reg, 0);
    return true;
}

bool ownregs(GenNode* n, RegSet* s, int mode) {
    const Location& l = n->loc;
    if (l.reg & kPushedBit) return false;
    bool owns = false;
    auto take = [&](uint8_t r) {
        owns = true;
        if (!s) return;
        if (mode)
            setadd(*s, r);
        else
            setdel(*s, r);
    };
    if ((n->flags & NF_OWNSINDEX) && isreg(l.index)) take(l.index);
    if ((n->flags & NF_OWNSREG) && isreg(l.reg)) take(l.reg);
    return owns;
}

// ---- the address table ----

int32_t addrtable(Gen& G, GenNode* o, bool nearby) {
    std::vector<TableEntry>& t = G.ex.table;
    const std::string name = o->loc.name;
    int32_t off = o->loc.offset;
    size_t idx = t.size();
    int32_t diff = 0;
    for (size_t i = 0; i < t.size() && idx == t.size(); ++i)
        if (t[i].name == name && t[i].offset == off) idx = i;
    if (idx == t.size() && nearby && !name.empty()) {
        for (size_t i = 0; i < t.size(); ++i) {
            int64_t d = int64_t{off} - t[i].offset;
            if (t[i].name == name && d >= 1 && d <= 63) {
                idx = i;
                diff = static_cast<int32_t>(d);
                break;
            }
        }
    }
    if (idx == t.size()) t.push_back({name, off});
    o->loc.reg = kR2;
    o->loc.index = 0;
    o->loc.indir = 1;
    o->loc.name.clear();
    o->loc.offset = static_cast<int32_t>(idx * 4);
    o->loc.access = 1;
    G.fn.frameflags |= FF_TABLE;
    return diff;
}

void putaddrtable(Gen& G) {
    for (const TableEntry& e : G.ex.table) {
        if (e.name.empty()) {
            putasm(G, " dc.l %l;", {e.offset});
            continue;
        }
        putasm(G, " dc.l %p", {e.name});
        if (e.offset) putasm(G, e.offset > 0 ? "+%l" : "%l", {e.offset});
        putasm(G, ";");
    }
    G.ex.table.clear();
}

// ---- moves ----

namespace {

// The assignment of one placed value to another: the row for the
// destination where it lies, the source brought to the row's right class.
RegSet placedassign(Gen& G, GenNode* a, RegSet s) {
    GenNode* L = a->left;
    GenNode* R = a->right;
    if (curkinds(G, R) & LK_MEMNAME) {
        s = forceloc(G, R, LK_MEMREG | W_RELEASE, s, 0);
        if (!setvalid(s)) return s;
        GenNode* fresh = locleaf(G, R->loc, R->flags);
        a->right = R = fresh;
    }
    const Row* row = findtemplate(G, a, 1);
    if (!row) return failset();
    bool constclass = row->right < 0x10;
    if (!constclass && !(treekinds(G, R) & classmask(row->right))) {
        s = forceloc(G, R, classmask(row->right) | W_RELEASE, s, static_cast<uint8_t>(row->right & 15));
        if (!setvalid(s)) return s;
    }
    (void)L;
    return emittemplate(G, a, row, s);
}

}  // namespace

RegSet movevalue(Gen& G, GenNode* dest, GenNode* src, RegSet s) {
    ExprState& x = G.ex;
    if (--x.movedepth <= 0) {
        ++x.movedepth;
        RegSet base = G.regs.base, have = s;
        setand(have, base);
        if (setequal(have, base)) return failset();
        genpanic(G, "MOVCNT");
    }
    struct Depth {
        int& d;
        ~Depth() { ++d; }
    } depth{x.movedepth};
    GenNode* a = newnode(G);
    a->op = ir::O_ASSIGN;
    a->type = dest->loc.type;
    a->attr = dest->loc.attr;
    a->left = locleaf(G, dest->loc, dest->flags);
    a->right = locleaf(G, src->loc, src->flags);
    s = placedassign(G, a, s);
    if (!setvalid(s)) return s;
    src->loc = a->loc;
    src->flags = a->flags | (dest->flags & (NF_OWNSREG | NF_OWNSINDEX));
    return s;
}

// ---- forcing an operand into place ----

namespace {

// A float or double constant wanted in registers: the integer it holds as
// that format's words, loaded directly (high word first); false when n is
// no such constant or no register is free (s then unchanged).
bool floatconst(Gen& G, GenNode* n, uint32_t k, RegSet& s) {
    Location& l = n->loc;
    uint8_t lt = l.type & 15;
    if (!(k & LK_REG) || l.indir || l.reg || !l.name.empty() || (lt != ir::T_FLOAT && lt != ir::T_DOUBLE)) return false;
    GenNode blank;
    if (!allocreg(G, &blank, LK_REG, s, lt, nullptr)) return false;
    uint8_t own = n->left ? n->left->typecode() : n->typecode();
    bool uns = own == ir::T_UINT || own == ir::T_USHORT || own == ir::T_UCHAR;
    double v = uns ? double(uint32_t(l.offset)) : double(l.offset);
    uint32_t w[2] = {};
    uint8_t regs[2] = {blank.loc.reg, 0};
    int nw = 1;
    if (lt == ir::T_DOUBLE) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        w[0] = uint32_t(bits >> 32);
        w[1] = uint32_t(bits);
        regs[0] = static_cast<uint8_t>(blank.loc.reg - 61);
        regs[1] = static_cast<uint8_t>(blank.loc.reg - 60);
        nw = 2;
    } else {
        float f = float(v);
        std::memcpy(&w[0], &f, sizeof f);
    }
    std::string text;
    int units = 0;
    for (int i = 0; i < nw; ++i) {
        std::string r = genregname(regs[i]);
        int32_t c = static_cast<int32_t>(w[i]);
        if (c >= -32768 && c <= 32767) {
            text += " li " + r + "," + std::to_string(c) + ";";
        } else {
            text += " lis " + r + "," + std::to_string(w[i] >> 16) + ";";
            if (w[i] & 0xFFFF) {
                text += " ori " + r + "," + std::to_string(w[i] & 0xFFFF) + ";";
                ++units;
            }
        }
        ++units;
        cacheforget(G, regs[i]);
    }
    emit(G, text, units);
    uint32_t type = l.type;
    n->loc = blank.loc;
    n->loc.type = type;
    n->flags |= NF_OWNSREG;
    setdel(s, blank.loc.reg);
    return true;
}

}  // namespace

RegSet forceloc(Gen& G, GenNode* n, uint32_t k, RegSet s, uint8_t t) {
    for (int round = 0; round < 16; ++round) {
        if (!setvalid(s)) return s;
        Location& l = n->loc;
        if (k & W_NOVALUE) {
            if (l.reg & kPushedBit) {
                int bytes = (l.reg != (kPushedBit | kPushedAddr) && ((l.type & 15) == ir::T_DOUBLE || ispair(l.reg & 0x7F))) ? 8 : 4;
                emit(G, " addi r1," + std::to_string(bytes) + ";", 1);
                G.ex.framebase -= bytes;
                l.reg = 0;
                return s;
            }
            ownregs(n, &s, 1);
            return s;
        }
        uint32_t kinds = curkinds(G, n);
        uint8_t lt = l.type & 15;
        bool agree = t == 0 || unsignedtype(t) == unsignedtype(lt);
        if (agree && (kinds & k)) break;
        if ((k & ~W_RELEASE) == 0) return failset();
        if (agree && (kinds & LK_MEMNAME)) {
            uint32_t type = l.type;
            // the object read through the loaded address stays volatile
            uint32_t keep = l.access & LF_VOLATILE;
            if (l.indir == 0) genpanic(G, "FORCE");
            l.type = ir::T_UINT;
            l.indir = static_cast<uint8_t>(l.indir - 1);
            // a short constant's value is reached through the address table
            if (l.indir == 0 && l.reg == 0) l.attr &= ~uint32_t{GF_DIR};
            s = forceloc(G, n, LK_ADDR | LK_REG | LK_REUSABLE, s, ir::T_UINT);
            if (!setvalid(s)) return s;
            n->loc.type = type;
            n->loc.indir = static_cast<uint8_t>(n->loc.indir + 1);
            n->loc.access |= (n->loc.attr & LF_INDIRECT) | keep;
            n->flags &= ~uint32_t{NF_SETCC};
            continue;
        }
        if (kinds == LK_BITMEM) {
            l.access &= ~uint32_t{LF_BUILTIN};
            continue;
        }
        bool constant = l.indir == 0 && l.reg == 0 && l.name.empty() && lt <= 8;
        if (constant && t && t <= 8 && unsignedtype(t) != unsignedtype(lt)) {
            // the constant becomes the value it has in the narrower type
            switch (t) {
                case ir::T_CHAR: l.offset = static_cast<int8_t>(l.offset); break;
                case ir::T_UCHAR: l.offset &= 0xFF; break;
                case ir::T_SHORT: case ir::T_SHORTBITS: l.offset = static_cast<int16_t>(l.offset); break;
                case ir::T_USHORT: l.offset &= 0xFFFF; break;
                default: break;
            }
            l.type = t;
            continue;
        }
        if ((kinds & (LK_REG | LK_REUSABLE)) && (t == ir::T_INT || t == ir::T_UINT) && lt <= 5) {
            l.type = t;
            continue;
        }
        if ((kinds & (LK_ADDRNAME | LK_ADDR)) && !agree) {
            s = forceloc(G, n, LK_REG | LK_FLOATREG, s, 0);
            continue;
        }
        if ((k & LK_MEMREG) && !(k & (LK_REG | LK_REUSABLE)) && constant && (t == ir::T_INT || t == ir::T_UINT) &&
            !G.opt.nt) {
            addrtable(G, n, false);
            continue;
        }
        if (floatconst(G, n, k, s)) continue;
        // a register of its own
        ownregs(n, &s, 1);
        GenNode blank;
        bool hit = false;
        GenNode source = *n;
        uint8_t want = t ? t : lt;
        // the cache holds values as they were read: a read of another width is another value
        if (width(want) < width(lt)) source.loc.type = want;
        if (!allocreg(G, &blank, k, s, want, &source, &hit)) {
            if (!(k & LK_PUSH)) return failset();
            setloc(&blank, widenedpush(want), l.attr, kPushSlot, 1);
        }
        // the choice recorded the register as holding the value; it holds it
        // only once the load below is written (the load itself may consult
        // the cache)
        if (!hit && blank.loc.reg >= gpr(3) && blank.loc.reg <= gpr(12)) cacheforget(G, blank.loc.reg);
        if (k & (W_NOVALUE | W_DEST)) {
            n->loc = blank.loc;
        } else if (hit) {
            n->loc = blank.loc;
            n->loc.attr = l.attr;
        } else if (kinds & (LK_ADDRNAME | LK_ADDR)) {
            s = loadaddr(G, &blank, n, k, s);
            if (!setvalid(s)) return s;
        } else {
            int32_t keep = 0;
            if ((k & LK_ADDR) && constant && (l.offset & 0xFFFF) < 64 && (l.offset & ~0xFFFF)) {
                keep = l.offset & 0xFFFF;
                l.offset -= keep;
            }
            s = movevalue(G, &blank, n, s);
            if (!setvalid(s)) return s;
            n->loc.offset += keep;
            if (!keep && blank.loc.reg >= gpr(3) && blank.loc.reg <= gpr(12)) regcache(G, &s, &source, blank.loc.reg);
        }
        if (!(k & W_DEST)) n->flags |= NF_OWNSREG;
    }
    n->flags |= k & W_RELEASE;
    ownregs(n, &s, 0);
    return s;
}

// ---- pushes and pops ----

RegSet pushvalue(Gen& G, GenNode* n, uint32_t k, RegSet s) {
    Location& l = n->loc;
    uint8_t reg = l.reg & 0x7F;
    bool inreg = l.indir == 0 && (isreg(reg));
    if (l.indir && isreg(reg) && (k & LK_REG) && !(k & LK_MEMREG)) {
        RegSet before = s;
        s = forceloc(G, n, LK_REG, s, 0);
        if (!setvalid(s)) return before;
        inreg = true;
        reg = l.reg;
    }
    if (inreg && !(k & LK_MEMREG)) {
        if (!ownregs(n, nullptr, 0)) return failset();
        if (ispair(reg)) {
            emit(G, " stwu " + genregname(static_cast<uint8_t>(reg - 60)) + ",-4(r1); stwu " +
                        genregname(static_cast<uint8_t>(reg - 61)) + ",-4(r1);", 8);
            G.ex.framebase += 8;
        } else {
            emit(G, " stwu " + genregname(reg) + ",-4(r1);", 4);
            G.ex.framebase += 4;
        }
        ownregs(n, &s, 1);
        l.reg = static_cast<uint8_t>(reg | kPushedBit);
        return s;
    }
    if (l.indir == 0) {
        // a constant, an address or a register value: into a frame temporary
        uint8_t lt = l.type & 15;
        int32_t size = width(lt) == 1 ? 1 : lt == ir::T_DOUBLE ? 8 : 4;
        GenNode temp;
        setloc(&temp, l.type, l.attr, kFrameSlot, 1);
        temp.loc.offset = newframetemp(G, size);
        temp.flags = NF_OWNSREG;
        return movevalue(G, &temp, n, s);
    }
    if (!isreg(reg)) return failset();
    // memory through a register: its address is pushed
    uint8_t base = reg;
    if (l.index) {
        if (n->flags & NF_OWNSREG) {
            emit(G, " add " + genregname(base) + "," + genregname(l.index) + ";", 2);
        } else if (n->flags & NF_OWNSINDEX) {
            emit(G, " add " + genregname(l.index) + "," + genregname(base) + ";", 2);
            base = l.index;
        } else {
            return failset();
        }
        cacheforget(G, base);
    }
    ownregs(n, &s, 1);
    l.index = 0;
    emit(G, " stwu " + genregname(base) + ",-4(r1);", 4);
    G.ex.framebase += 4;
    l.reg = kPushedBit | kPushedAddr;
    return s;
}

RegSet popvalue(Gen& G, GenNode* n, RegSet s, uint32_t request, GenNode* consumer) {
    Location& l = n->loc;
    uint8_t reg = l.reg & 0x7F;
    l.reg = reg;
    uint8_t first = static_cast<uint8_t>(gpr(3) + G.fn.liveargs);
    if (reg == kPushedAddr) {
        if (consumer && consumer->op == G_COMPARE && consumer->left && consumer->left->loc.indir == 0)
            ownregs(consumer->left, &s, 1);
        uint8_t r = firstfree(G, s, first, gpr(12));
        if (!r) return failset();
        std::string text = " lwz " + genregname(r) + ",0(r1);";
        int units = 1;
        if (request) {
            text += " addi r1,4;";
            G.ex.framebase -= 4;
            ++units;
        }
        emit(G, text, units);
        cacheforget(G, r);
        n->flags |= NF_OWNSREG | NF_RELEASEAFTER;
        l.indir = 1;
        l.reg = r;
        setdel(s, r);
        return s;
    }
    if (!setin(s, reg)) return failset();
    if (ispair(reg)) {
        uint8_t a = static_cast<uint8_t>(reg - 61), b = static_cast<uint8_t>(reg - 60);
        emit(G, " lwz " + genregname(a) + ",0(r1); lwz " + genregname(b) + ",4(r1); addi r1,8;", 3);
        G.ex.framebase -= 8;
        cacheforget(G, a);
        cacheforget(G, b);
    } else {
        emit(G, " lwz " + genregname(reg) + ",0(r1); addi r1,4;", 2);
        G.ex.framebase -= 4;
        cacheforget(G, reg);
    }
    setdel(s, reg);
    return s;
}

// ---- address loads ----

RegSet loadaddr(Gen& G, GenNode* dest, GenNode* src, uint32_t k, RegSet s) {
    if (src->flags & NF_RELEASEAFTER) ownregs(src, &s, 1);
    Location& l = src->loc;
    uint8_t r;
    if (dest->loc.reg == kPushSlot) {
        uint8_t own = l.reg & 0x7F;
        r = (isreg(own) && own <= 32 && setin(s, own)) ? own
                                                        : firstfree(G, s, static_cast<uint8_t>(gpr(3) + G.fn.liveargs), gpr(12));
        if (!r) return failset();
    } else {
        r = dest->loc.reg;
    }
    setdel(G.regs.scratch, r);
    std::string rn = genregname(r);
    std::string text;
    int units;
    int32_t kept = 0;
    bool direct = !l.name.empty() && l.reg == 0 && !(l.attr & GF_DIR);
    if (direct && !G.opt.nt) {
        kept = addrtable(G, src, true);
        text = " lwz " + rn + "," + opertext(G, src) + ";";
        units = 2;
    } else if (direct) {
        l.indir = 1;
        l.access |= LF_INDIRECT;
        text = " lis " + rn + "," + opertext(G, src);
        if (k & LK_ADDR) {
            text += ";";
            units = 2;
            kept = l.offset;
        } else {
            text += "; addi " + rn + "," + opertext(G, src) + ";";
            units = 4;
        }
    } else {
        bool indexed = l.index != 0;
        l.indir = static_cast<uint8_t>(l.indir + 1);
        text = indexed ? " add " : " la ";
        if (!(indexed && r == l.reg)) text += rn + ",";
        text += opertext(G, src) + ";";
        units = 2;
    }
    if (dest->loc.reg == kPushSlot) {
        text += " stwu " + rn + ",-4(r1);";
        units += 2;
        G.ex.framebase += 4;
    } else if (r != dest->loc.reg) {
        text += " mr " + genregname(dest->loc.reg) + "," + rn + ";";
        units += 1;
    }
    emit(G, text, units);
    cacheforget(G, r);
    std::string name = direct && G.opt.nt && (k & LK_ADDR) ? l.name : std::string();
    uint32_t access = name.empty() ? 0u : uint32_t{LF_INDIRECT};
    src->loc = dest->loc;
    src->loc.offset = kept;
    if (!name.empty()) {
        src->loc.name = name;
        src->loc.attr |= LF_INDIRECT;
        src->loc.access |= access;
    }
    src->flags = dest->flags;
    return s;
}

// ---- snapshots ----

void savestate(Gen& G, Snapshot& snap, const RegSet* s) {
    snap.label = G.code.nextlabel;
    snap.writepos = G.store.writepos();
    snap.scratch = G.regs.scratch;
    snap.line = G.rd.line;
    snap.size = G.ex.size;
    snap.lowtemp = G.fn.lowtemp;
    snap.tempptr = G.fn.tempptr;
    snap.framebase = G.ex.framebase;
    snap.fnflags = G.fn.frameflags;
    snap.table = G.ex.table.size();
    if (s) snap.set = *s;
}

void restorestate(Gen& G, const Snapshot& snap, RegSet* s) {
    G.code.nextlabel = std::max(snap.label, G.code.labelfloor);
    G.store.setwritepos(snap.writepos);
    G.regs.scratch = snap.scratch;
    G.rd.line = snap.line;
    G.ex.size = snap.size;
    G.fn.lowtemp = snap.lowtemp;
    G.fn.tempptr = snap.tempptr;
    G.ex.framebase = snap.framebase;
    G.fn.frameflags = snap.fnflags;
    if (G.ex.table.size() > snap.table) G.ex.table.resize(snap.table);
    if (s) *s = snap.set;
    regcache(G, nullptr, nullptr, 0);
}

// ---- parameters still in their argument registers ----

bool paramreg(Gen& G, GenNode* n, RegSet* s) {
    int32_t word = n->loc.offset & ~3;
    const ParamEntry* p = nullptr;
    for (const ParamEntry& e : G.fn.params)
        if ((e.offset & ~3) == word && e.reg) p = &e;
    if (!p) return false;
    if (s) {
        uint8_t t = n->loc.type & 15;
        int32_t slot = word | (width(t) == 1 ? 3 : width(t) == 2 ? 2 : 0);
        if (n->loc.offset == slot && setin(G.regs.scratch, p->reg) && setin(*s, p->reg)) {
            Location& l = n->loc;
            l.reg = p->reg;
            l.indir = 0;
            l.offset = 0;
            l.name.clear();
            l.access = 0;
            l.index = 0;
            setdel(G.regs.scratch, p->reg);
            setadd(G.ex.readinplace, p->reg);
            return true;
        }
        setdel(G.ex.spent, p->reg);
        return false;
    }
    setadd(G.ex.spent, p->reg);
    setdel(G.regs.scratch, p->reg);
    return true;
}

void dropparam(Gen& G, GenNode* n, bool all) {
    // a char or short parameter is read at its slot's low bytes
    for (const ParamEntry& e : G.fn.params) {
        if ((e.offset & ~3) != (n->value & ~3) || !e.reg) continue;
        if (all || n->loc.reg == e.reg) setdel(G.regs.scratch, e.reg);
    }
}

}  // namespace cg
