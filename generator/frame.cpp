// Frames: after a function's body has become its code list, genframe decides
// the stack frame and writes everything before the body (sections, address
// table, label, debug start, prologue with its saves, OFST, the call-graph
// entry line) and returns the epilogue that every return point writes.
//
// From the frame's top down: locals, float saves, general register saves,
// link register, r2; the saved link register lies at 0(r1). OFST is the
// frame size without the register-parameter area, so a local at -k is
// OFST-k(r1) and a parameter at k is OFST+k(r1).
#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "generator/gen.h"

namespace cg {

namespace {

std::string adjusttext(int32_t n) {
    if (n < 0) return " subi r1," + std::to_string(-n) + ";";
    return " addi r1," + std::to_string(n) + ";";
}

// The general registers r0-r12 that the function's text names, or all of
// them when it calls anything (a helper's registers are not in the text).
std::array<bool, 13> usedregs(Gen& G) {
    std::array<bool, 13> used{};
    uint32_t end = G.store.writepos();
    G.store.setread(1);
    for (uint32_t pos = 1; pos < end; pos = (pos / CodeStore::kChunk + 1) * CodeStore::kChunk) {
        bool ok = false;
        std::string_view t = G.store.takeline(ok);
        if (!ok) break;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '\x07' || t.compare(i, 4, " bl ") == 0 || t.compare(i, 4, "blrl") == 0) used.fill(true);
            if (t[i] != 'r' || i + 1 >= t.size() || !std::isdigit(static_cast<unsigned char>(t[i + 1]))) continue;
            if (i > 0 && (std::isalnum(static_cast<unsigned char>(t[i - 1])) || t[i - 1] == '_')) continue;
            int n = t[i + 1] - '0';
            if (i + 2 < t.size() && std::isdigit(static_cast<unsigned char>(t[i + 2]))) n = n * 10 + (t[i + 2] - '0');
            if (n <= 12) used[static_cast<size_t>(n)] = true;
        }
    }
    return used;
}

// Local registers moved into caller-saved registers the function never
// uses, so that they need no saving; none in a function with inline
// assembly (its registers are not known) or one that calls. The register
// map makes every later mention of a moved register name the new one.
int32_t renameregs(Gen& G, bool interrupt) {
    FuncState& f = G.fn;
    if (f.hasasm || interrupt || (f.frameflags & (FF_NOMOVE | FF_CALLS)) || !f.lowestlocal) return 0;
    std::array<bool, 13> used = usedregs(G);
    int floor = f.highparam ? f.highparam : 3;  // the numbers above the last parameter register
    std::vector<int> frees;
    for (int r = 12; r >= floor && r >= 3; --r)
        if (!used[static_cast<size_t>(r)]) frees.push_back(r);
    std::sort(frees.begin(), frees.end());
    int before = f.lowestlocal - 1, moved = 0;
    for (int fr : frees) {
        int local = f.lowestlocal - 1;
        if (local > 31) break;
        if (local >= 24 && fr >= 8) break;  // the 16-bit forms reach r0-r7 and r24-r31 only
        G.w.regmap[static_cast<size_t>(local - 13)] = static_cast<uint8_t>(fr);
        ++f.lowestlocal;
        ++moved;
    }
    if (f.lowestlocal > gpr(31)) f.lowestlocal = 0;
    if (!moved) return 0;
    return before * 1024 + frees.front() * 32 + moved;
}

}  // namespace

void putdline(Gen& G) {
    FuncState& f = G.fn;
    std::string t = "%I";
    std::string name = G.opt.dl == 1 ? f.nametext : G.rd.debugfile;
    (void)name;
    // the directive belongs to the code that follows: it is pending text
    std::string body = std::to_string(f.dbgfirstline);
    if (f.dbgfirstcol || (f.dbglastcol && f.dbgfirstline == f.dbglastline)) body += "." + std::to_string(f.dbgfirstcol);
    if (f.dbglastline != f.dbgfirstline) body += "-" + std::to_string(f.dbglastline);
    if (f.dbglastcol != f.dbgfirstcol) body += "." + std::to_string(f.dbglastcol);
    G.store.addchars("%I" + (G.opt.dl == 1 ? f.nametext : G.rd.debugfile) + ":" + body + ";");
}

std::string genframe(Gen& G) {
    FuncState& f = G.fn;
    Options& o = G.opt;
    int32_t low = std::min(f.lowframe, f.lowtemp);
    int32_t F = static_cast<int32_t>(static_cast<uint32_t>(-static_cast<int64_t>(low) + 3) & ~3u);
    if (low >= 0) F = 0;
    G.ex.epilogue = 1;
    bool table = (f.frameflags & FF_TABLE) && !G.ex.table.empty();
    bool intable = table && (o.cm & 4);
    bool calls = f.frameflags & FF_CALLS;
    bool interrupt = f.flags & GF_INTERRUPT;
    bool nested = f.flags & GF_EXTERNAL;
    if (table && !intable) {
        usesection(G, SK_SCONST);
        putasm(G, " align 4;");
        G.ex.tablelabel = genlabel(G);
        putasm(G, "%n:;", {static_cast<int32_t>(G.ex.tablelabel)});
        putaddrtable(G);
    }
    // with -sf every function starts a new section of the same name
    if (o.sf) G.w.curkind = G.w.curkind == SK_DEBUG ? -2 : -1;
    usesection(G, SK_VTEXT);
    putasm(G, (o.m || intable) ? " align 4;" : " even;");
    if (intable) {
        G.ex.tablelabel = genlabel(G);
        putasm(G, "%n:;", {static_cast<int32_t>(G.ex.tablelabel)});
        putaddrtable(G);
    }
    putasm(G, "%p:;", {f.nametext});
    if (!o.no) putasm(G, "%p:;", {"FL"});
    if (o.dl) {
        putasm(G, "%I%p:%l-%l;", {o.dl == 1 ? f.nametext : G.rd.debugfile, G.rd.funcfirst, G.rd.funclast});
    } else if (G.hdr.debug) {
        putasm(G, "%J%p%~%p:%l-%l;", {G.rd.debugfile, f.nametext, G.rd.funcfirst, G.rd.funclast});
    }
    int32_t renaming = renameregs(G, interrupt);
    if (interrupt) {
        putasm(G, " subi r1,68;");
        if (o.im != 0) {
            putasm(G, " stmvgprw 24(r1); stmvsprw 0(r1); stmvsrrw 16(r1);");
            if (nested) putasm(G, " wrteei 1;");
        } else {
            putasm(G, " stw r0,24(r1); mflr r0;");
            if (nested) {
                putasm(G, " bl c_savi;");
                xrefhelper(G, "savi");
            } else {
                putasm(G, " bl c_savim;");
                xrefhelper(G, "savim");
            }
        }
    }
    // the parameter area
    int32_t stackparams = f.paramsize - f.paramend;
    if (stackparams < 0) stackparams = 0;
    int32_t paramend = f.paramend;
    if (!(f.frameflags & FF_LOCALS) && f.lowframe >= 0) F = 0;
    // a parameter is stored unless its register stays live; the area must hold every stored one
    auto stored = [&](const ParamEntry& p) { return p.reg && p.reg <= kPairLast && !(p.stays && !setin(G.ex.spent, p.reg)); };
    if (!(f.frameflags & FF_LOCALS) && (f.frameflags & FF_STOREPARAMS) && !(f.frameflags & FF_STACKPARAMS)) {
        int32_t end = 0;
        for (const ParamEntry& p : f.params)
            if (stored(p)) end = std::max(end, static_cast<int32_t>(static_cast<uint32_t>(p.offset + G.args.slot[p.type] + 3) & ~3u));
        paramend = end;
    }
    if (!(f.frameflags & (FF_STACKPARAMS | FF_STOREPARAMS))) paramend = 0;
    int saved = f.lowestlocal ? 33 - f.lowestlocal : 0;
    int64_t size = int64_t{F} + 4 * saved;
    if (calls && !interrupt) size += o.cf ? 8 : 4;
    if (table) size += 4;
    int64_t A = size + paramend;
    if (A > 32767 || size > 32767 || F > 32768) {
        generror(G, "frame too large");
        A = 0;
        size = 0;
    }
    if (A) putasm(G, "%p", {adjusttext(static_cast<int32_t>(-A))});
    if (f.frameflags & (FF_STACKPARAMS | FF_LOCALS | FF_CALLS | FF_STOREPARAMS))
        putasm(G, "%p: set %l;", {"OFST", static_cast<int32_t>(size)});
    if (!interrupt && (f.frameflags & (FF_STOREPARAMS | FF_EXTENDPARAMS))) {
        for (size_t i = f.params.size(); i-- > 0;) {
            const ParamEntry& p = f.params[i];
            if (!p.reg) continue;
            bool live = !stored(p);
            // a narrow parameter arrives as its caller's int: the body may
            // read the register as the parameter only once it is narrowed,
            // whether or not the register is also stored in its slot
            if ((f.frameflags & FF_EXTENDPARAMS) && p.type <= 5 && (live || setin(G.ex.readinplace, p.reg))) {
                const char* k = extkind(p.type);
                if (*k) putasm(G, "%p;", {exttext(k, p.reg)});
            }
            if (!live && (f.frameflags & FF_STOREPARAMS)) {
                if (ispair(p.reg)) {
                    putasm(G, " stw %p,OFST+%l(r1);", {genregname(static_cast<uint8_t>(p.reg - 61)), p.offset});
                    putasm(G, " stw %p,OFST+%l(r1);", {genregname(static_cast<uint8_t>(p.reg - 60)), p.offset + 4});
                } else if (p.reg <= 32) {
                    putasm(G, " stw %p,OFST+%l(r1);", {genregname(p.reg), p.offset & ~3});
                }
            }
        }
    }
    int32_t saveoff = static_cast<int32_t>(size) - F - 4 * saved;
    if (saved == 1)
        putasm(G, " stw r31,%l(r1);", {saveoff});
    else if (saved > 1)
        putasm(G, " stmw %p,%l(r1);", {genregname(f.lowestlocal), saveoff});
    int32_t r2off = calls && !interrupt ? (o.cf ? 8 : 4) : 0;
    if (table) putasm(G, " stw r2,%l(r1);", {r2off});
    if (calls && !interrupt) putasm(G, " mflr r0; stw r0,0(r1);");
    if (G.hdr.debug && o.dl == 0)
        putasm(G, "%E%p%~%p:-%l.%p%l.%l.%l;", {G.rd.debugfile, f.nametext, static_cast<int32_t>(size),
                                               interrupt ? "+" : "", static_cast<int32_t>(A), renaming, F});
    putasm(G, " .dcall \"%l,%l,%p\";", {static_cast<int32_t>(A), interrupt ? 0 : stackparams, f.nametext});
    if (table) {
        if (o.cm & 4)
            putasm(G, " lis r2,.%n; addi r2,.%n;", {static_cast<int32_t>(G.ex.tablelabel), static_cast<int32_t>(G.ex.tablelabel)});
        else
            putasm(G, " la r2,%n;", {static_cast<int32_t>(G.ex.tablelabel)});
    }
    // the epilogue
    std::string e;
    int units = 1;
    if (calls && !interrupt) {
        e += " lwz r0,0(r1); mtlr r0;";
        units += 2;
    }
    if (table) {
        e += " lwz r2," + std::to_string(r2off) + "(r1);";
        units += 1;
    }
    if (saved == 1) {
        e += " lwz r31," + std::to_string(saveoff) + "(r1);";
        units += 1;
    } else if (saved > 1) {
        e += " lmw " + genregname(f.lowestlocal) + "," + std::to_string(saveoff) + "(r1);";
        units += 2;
    }
    if (A) {
        e += adjusttext(static_cast<int32_t>(A));
        units += 2;
    }
    if (interrupt) {
        if (o.im != 0) {
            if (nested) {
                e += " wrteei 0;";
                units += 2;
            }
            e += " lmvgprw 24(r1); lmvsprw 0(r1); lmvsrrw 16(r1); addi r1,68; rfi;";
            units += 8;
        } else {
            e += nested ? " b c_resti;" : " b c_restim;";
            xrefhelper(G, nested ? "resti" : "restim");
        }
    } else {
        e += " blr;";
    }
    G.ex.epilogue = units;
    return e;
}

}  // namespace cg
