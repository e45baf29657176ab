// The laid-out function: block placement by following jumps (chainblocks),
// branch forms and needless branches (layoutcode), the dispatch code of a
// switch (genswitch) and the writer of the function (putcode).
//
// The layout counts in 16-bit units; every node that writes text has a size
// of at least 1, so a branch is only ever removed when no text lies between
// it and its target.
#include <algorithm>

#include "generator/gen.h"

namespace cg {

namespace {

bool isbranch(uint8_t k) {
    return k == IK_JUMP || k == IK_JUMPSHORT || (k >= 135 && k <= 143 && k != 137 && k != 139 && k != 140) ||
           (k >= 152 && k <= 157) || (k >= 168 && k <= 175);
}
bool isjump(uint8_t k) { return k == IK_JUMP || k == IK_JUMPSHORT; }
bool iscondlong(uint8_t k) { return k == 135 || k == 136 || k == 138 || k == 141 || k == 142 || k == 143 || (k >= 168 && k <= 171); }

uint8_t shortform(uint8_t k) {
    switch (k) {
        case 141: return 152;
        case 142: return 153;
        case 136: return 154;
        case 135: return 155;
        case 138: return 156;
        case 143: return 157;
        case 139: return 158;
        default: return (k >= 168 && k <= 171) ? static_cast<uint8_t>(k + 4) : k;
    }
}

uint8_t longform(uint8_t k) {
    switch (k) {
        case 152: return 141;
        case 153: return 142;
        case 154: return 136;
        case 155: return 135;
        case 156: return 138;
        case 157: return 143;
        case 158: return 139;
        default: return (k >= 172 && k <= 175) ? static_cast<uint8_t>(k - 4) : k;
    }
}

void walk(Gen& G, LabelRecord* l, int limit);

void walknodes(Gen& G, InsnNode* n, int limit) {
    for (; n; n = n->next) {
        if (!isbranch(n->kind)) continue;
        // jumps to jumps go to the final target
        for (int hops = 0; hops < limit; ++hops) {
            LabelRecord* t = n->label;
            if (!t || !t->nodes || t->nodes->kind != IK_JUMP || t->nodes->label == t) break;
            --t->refs;
            n->label = t->nodes->label;
            ++n->label->refs;
        }
        LabelRecord* t = n->label;
        if (!t) continue;
        if (n->kind == IK_JUMP) {
            if (t->flags & (LB_KEPT | LB_INLINE)) return;
            t->flags = static_cast<uint8_t>((t->flags | LB_INLINE) & ~LB_BLOCK);
            --t->refs;
            n->kind = IK_FALLTHROUGH;
            n->size = 0;
            n->next = t->nodes;
            t->nodes = nullptr;
            if (t->flags & LB_VISITED) return;
            t->flags |= LB_VISITED;
            continue;
        }
        if (!(t->flags & LB_VISITED)) {
            t->flags |= LB_VISITED | LB_INLINE | LB_BLOCK;
            walk(G, t, limit);
        }
    }
}

void walk(Gen& G, LabelRecord* l, int limit) { walknodes(G, l->nodes, limit); }

// Positions of the laid-out code: per node its offset and sequence number,
// per label the same of the node it enters.
struct Pos {
    int32_t offset = 0;
    int32_t seq = 0;
};

}  // namespace

const char* branchname(uint8_t k) {
    switch (longform(k)) {
        case 141: case 168: return "blt";
        case 142: case 169: return "ble";
        case 136: case 170: return "bgt";
        case 135: case 171: return "bge";
        case 138: return "beq";
        case 143: return "bne";
        default: return "b";
    }
}

bool shortrange(int32_t target, int32_t here) {
    int64_t d = int64_t{target} - here;
    return target != 0 && d >= -128 && d <= 127;
}

void chainblocks(Gen& G, LabelRecord* l, int limit) { walk(G, l, limit); }

void layoutcode(Gen& G) {
    CodeList& c = G.code;
    int32_t epi = G.ex.epilogue > 0 ? G.ex.epilogue : 1;
    for (int pass = 0; pass < 1000; ++pass) {
        bool changed = false;
        // 1. offsets and sequence numbers
        std::vector<InsnNode*> order;
        std::vector<Pos> pos;
        std::vector<std::pair<LabelRecord*, Pos>> lpos;
        int32_t off = 3, seq = 0;
        auto nodeweight = [](const InsnNode* n) { return n->kind != IK_DELETED && n->kind != IK_FALLTHROUGH; };
        for (LabelRecord* l = c.labels; l; l = l->next) {
            if (!(l->flags & LB_BLOCK)) continue;
            l->offset = off;
            lpos.push_back({l, {off, seq}});
            for (InsnNode* n = l->nodes; n; n = n->next) {
                if ((n->kind == IK_FALLTHROUGH || n->kind == IK_RETURN) && n->label) {
                    n->label->offset = off;
                    lpos.push_back({n->label, {off, seq}});
                }
                order.push_back(n);
                pos.push_back({off, seq});
                off += n->kind == IK_RETURN ? epi : n->size;
                if (nodeweight(n)) ++seq;
            }
        }
        auto labelseq = [&](const LabelRecord* l) {
            for (auto& p : lpos)
                if (p.first == l) return p.second.seq;
            return -1;
        };
        // 2. a branch over a jump
        for (size_t i = 0; i + 1 < order.size(); ++i) {
            InsnNode* b = order[i];
            if (!iscondlong(longform(b->kind)) || !b->label) continue;
            size_t j = i + 1;
            while (j < order.size() && order[j]->kind == IK_DELETED && !order[j]->text) ++j;
            if (j >= order.size() || !isjump(order[j]->kind) || !order[j]->label) continue;
            InsnNode* jmp = order[j];
            if (labelseq(b->label) != pos[j].seq + 1) continue;
            --b->label->refs;
            bool isshort = jmp->kind == IK_JUMPSHORT;
            uint8_t inv = static_cast<uint8_t>(invertcond(longform(b->kind)));
            setinsn(b, isshort ? shortform(inv) : inv, jmp->label, 1);
            setinsn(jmp, IK_DELETED, nullptr, 0);
            changed = true;
        }
        if (changed) continue;
        // 3. short forms and branches to the next node
        for (size_t i = 0; i < order.size(); ++i) {
            InsnNode* b = order[i];
            bool longb = iscondlong(b->kind) || b->kind == IK_JUMP;
            if (!(longb || b->kind == IK_JUMPSHORT) || !b->label) continue;
            if (!shortrange(b->label->offset, pos[i].offset)) continue;
            if (labelseq(b->label) == pos[i].seq + 1) {
                --b->label->refs;
                setinsn(b, IK_DELETED, nullptr, 0);
                changed = true;
            } else if (longb) {
                setinsn(b, shortform(b->kind), b->label, 1);
                changed = true;
            }
        }
        if (changed) continue;
        // 4. returns share one epilogue
        if (epi > 1) {
            InsnNode* earlier = nullptr;
            int32_t earlieroff = 0;
            for (size_t i = 0; i < order.size() && !changed; ++i) {
                InsnNode* r = order[i];
                if (r->kind != IK_RETURN) continue;
                if (earlier && !r->label) {
                    bool near = shortrange(earlieroff, pos[i].offset) || earlieroff == pos[i].offset;
                    if (!near && epi == 2) {
                        earlier = r;
                        earlieroff = pos[i].offset;
                        continue;
                    }
                    if (earlier->label) {
                        setinsn(r, near ? IK_JUMPSHORT : IK_JUMP, earlier->label, near ? 1 : 2);
                        ++earlier->label->refs;
                    } else {
                        LabelRecord* l = findlabel(G, genlabel(G));
                        l->flags = 0;
                        r->label = l;
                        setinsn(earlier, near ? IK_JUMPSHORT : IK_JUMP, l, near ? 1 : 2);
                        ++l->refs;
                    }
                    changed = true;
                    break;
                }
                earlier = r;
                earlieroff = pos[i].offset;
            }
        }
        if (!changed) break;
    }
}

// ---- switches ----

namespace {

// Brings the value in r3 from base to v; the text and its size.
std::string bringto(int64_t d, int& units) {
    std::string t;
    if (d < -32767 || d > 32767) {
        uint32_t u = static_cast<uint32_t>(-d);
        int32_t low = static_cast<int16_t>(u & 0xFFFF);
        int32_t high = static_cast<int16_t>((u >> 16) + ((u & 0x8000) ? 1 : 0));
        if (high) {
            t += " addis r3," + std::to_string(high) + ";";
            units += 2;
        }
        if (low) {
            t += " addi r3," + std::to_string(low) + ";";
            units += 2;
        }
    } else if (d < 0) {
        t += " addi r3," + std::to_string(-d) + ";";
        units += 2;
    } else if (d > 0) {
        t += " subi r3," + std::to_string(d) + ";";
        units += 2;
    }
    return t;
}

void casereference(LabelRecord* l) {
    if (l->refs == 1) {
        l->flags ^= LB_KEPT;
        if (l->flags & LB_KEPT) ++l->refs;
    } else {
        ++l->refs;
    }
}

InsnNode* codenode(Gen& G, const std::string& text, int units) {
    G.store.addchars(text + "`");
    InsnNode* n = newinsn(G, IK_CODE, nullptr, static_cast<uint16_t>(std::max(units, 1)));
    n->text = G.store.claim();
    if (G.opt.l) notesource(G, n);
    return n;
}

}  // namespace

InsertPoint genswitch(Gen& G, InsertPoint ip, uint16_t deflabel) {
    bool build = ip != nullptr && G.fn.unreachable == 0;
    int64_t base = 0;
    bool tables = false, singles = false;
    std::string tabletext;
    int tableunits = 0;
    for (;;) {
        uint8_t code = irbyte(G);
        if (code == ir::R_TABLESEND) break;
        if (code == ir::R_JUMPTABLE) {
            uint16_t span = irshort(G);
            int32_t first = static_cast<int32_t>(irlong(G));
            std::vector<uint16_t> labels(span);
            for (uint16_t& l : labels) l = irshort(G);
            if (!build) continue;
            tables = true;
            tabletext += bringto(int64_t{first} - base, tableunits);
            uint16_t after = genlabel(G);
            tabletext += " cmpli r3," + std::to_string(span) + "; bge " + labeltext(after) + "; bl c_jrtab;";
            xrefhelper(G, "jrtab");
            G.fn.frameflags |= FF_CALLS | FF_NOMOVE;
            tableunits += 6;
            for (uint16_t l : labels) {
                tabletext += " dc.l " + labeltext(l) + ";";
                // reached from the table only: its block must be placed on its own
                LabelRecord* r = findlabel(G, l);
                r->flags |= LB_KEPT;
                ++r->refs;
                tableunits += 2;
            }
            tabletext += labeltext(after) + ":;";
            base = first;
            continue;
        }
        if (build && tables && !tabletext.empty()) {
            ip = appendinsn(ip, codenode(G, tabletext, tableunits));
            tabletext.clear();
        }
        if (code == ir::R_RANGE) {
            int32_t first = static_cast<int32_t>(irlong(G));
            uint32_t count = irlong(G);
            uint16_t label = irshort(G);
            if (!build) continue;
            int units = 0;
            std::string t = bringto(int64_t{first} - base, units);
            base = first;
            t += " cmpli r3," + std::to_string(count) + ";";
            ip = appendinsn(ip, codenode(G, t, units + 2));
            LabelRecord* l = findlabel(G, label);
            ip = appendinsn(ip, newinsn(G, 168, l, 2));
            casereference(l);
            continue;
        }
        if (code == ir::R_CASES) {
            uint16_t count = irshort(G);
            for (uint16_t k = 0; k < count; ++k) {
                int32_t value = static_cast<int32_t>(irlong(G));
                uint16_t label = irshort(G);
                if (!build) continue;
                singles = true;
                int64_t d = int64_t{value} - base;
                base = value;
                std::string t;
                int units = 0;
                if (d < -32767 || d > 32767) {
                    uint32_t u = static_cast<uint32_t>(-d);
                    int32_t low = static_cast<int16_t>(u & 0xFFFF);
                    int32_t high = static_cast<int16_t>((u >> 16) + ((u & 0x8000) ? 1 : 0));
                    t = " addis r3," + std::to_string(high) + ";";
                    t += low ? " addi. r3," + std::to_string(low) + ";" : " cmpi r3,0;";
                    units = 4;
                } else if (d < 0) {
                    t = " addi. r3," + std::to_string(-d) + ";";
                    units = 2;
                } else if (d > 0) {
                    t = " subi. r3," + std::to_string(d) + ";";
                    units = 2;
                } else {
                    t = " cmpi r3,0;";
                    units = 2;
                }
                ip = appendinsn(ip, codenode(G, t, units));
                LabelRecord* l = findlabel(G, label);
                ip = appendinsn(ip, newinsn(G, 138, l, 2));
                casereference(l);
            }
            continue;
        }
        genpanic(G, "BAD INPUT");
    }
    if (build && !tabletext.empty()) ip = appendinsn(ip, codenode(G, tabletext, tableunits));
    if (singles && !tables) {
        LabelRecord* d = findlabel(G, deflabel);
        d->flags &= ~LB_KEPT;
    }
    return ip;
}

// ---- writing ----

void putsource(Gen& G, int32_t first, int32_t last) {
    if (!G.opt.l || first == 0 || !G.fn.writing) return;
    if (G.opt.f && G.ex.highline + 1 > first && G.ex.highline >= first) first = G.ex.highline + 1;
    if (first > last) return;
    std::string t = "\t.source\t\"" + G.rd.srcdir + G.rd.srcname + ":" + std::to_string(first);
    if (last != first) t += "-" + std::to_string(last);
    t += "\"\n";
    writebytes(G, t);
    if (last > G.ex.highline) G.ex.highline = last;
}

namespace {

void puttext(Gen& G, uint32_t pos) {
    if (!pos) return;
    G.store.setread(pos);
    for (;;) {
        bool ok = false;
        std::string_view chunk = G.store.takeline(ok);
        if (!ok) return;
        size_t mark = chunk.find('`');
        if (mark != std::string_view::npos) {
            putasm(G, chunk.substr(0, mark));
            return;
        }
        putasm(G, chunk);
        if (chunk.empty()) return;
    }
}

}  // namespace

void putcode(Gen& G, const std::string& epilogue) {
    FuncState& f = G.fn;
    bool dbg = G.hdr.debug;
    auto labelline = [&](LabelRecord* l) {
        if (G.opt.v)
            putasm(G, "%n:  / line %l, offset %l;", {static_cast<int32_t>(l->number), l->line, l->offset});
        else
            putasm(G, "%n:;", {static_cast<int32_t>(l->number)});
    };
    int returns = 0;
    f.writing = true;
    for (LabelRecord* l = G.code.labels; l; l = l->next) {
        if (!(l->flags & LB_BLOCK)) continue;
        if (l->refs > 0) labelline(l);
        for (InsnNode* n = l->nodes; n; n = n->next) {
            if (G.opt.l && n->firstline) {
                if (n->file && *n->file != G.rd.srcname) G.rd.srcname = *n->file;
                putsource(G, n->firstline, n->lastline);
            }
            switch (n->kind) {
                case IK_RETURN:
                    if (n->label) putasm(G, "%n:;", {static_cast<int32_t>(n->label->number)});
                    if (dbg) puttext(G, n->text);
                    if (dbg && G.opt.dl == 0)
                        putasm(G, "%Q%p%~%p:%u;", {G.rd.debugfile, f.nametext, returns});
                    ++returns;
                    if (!G.opt.no && f.restype)
                        putasm(G, " use (%p);", {f.restype == ir::T_DOUBLE ? "r3,r4" : "r3"});
                    putasm(G, "%p", {epilogue});
                    break;
                case IK_CODE: puttext(G, n->text); break;
                case IK_DELETED:
                    if (dbg) puttext(G, n->text);
                    break;
                case IK_FALLTHROUGH:
                    if (dbg) puttext(G, n->text);  // the jump it was took the pending directive
                    if (n->label && n->label->refs > 0) labelline(n->label);
                    break;
                default:
                    if (dbg) puttext(G, n->text);
                    if (n->label) putasm(G, " %p %n;", {branchname(n->kind), static_cast<int32_t>(n->label->number)});
            }
        }
    }
    f.writing = false;
}

}  // namespace cg
