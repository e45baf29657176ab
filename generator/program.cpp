// The cgppc program: command line, files, the intermediate file's header,
// the text before the first function, the loop over functions with every
// record of a function body, and the end of the file.
//
// genmain is the whole pipeline of one file: options, files, header checks,
// heading and .info block, then irtop writes top-level records until a
// function starts; each function's body records build its code list, which
// is laid out and written when the function ends; at the end the pending
// sections are aligned, the debug space table and the helper references
// are written, and the exit status says whether any error was reported.
#include <algorithm>

#include "generator/gen.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace cg {

Gen::Gen() {
    initspaces(*this);
    for (int i = 1; i <= 18; ++i) w.regmap[i] = static_cast<uint8_t>(13 + i);
}

Gen::~Gen() {
    if (rd.in) std::fclose(rd.in);
    if (w.file) std::fclose(w.file);
    if (errfp) std::fclose(errfp);
}

namespace {

constexpr const char* kTitle = "PPC Code Generator";

std::vector<tl::OptionSpec> optiontable(Options& o) {
    return {
        {"a     optimize _asm code", &o.a},
        {"bss   do not use bss", &o.bss},
        {"cf    compatible frame", &o.cf},
        {"cm#   constants mode", &o.cm},
        {"dl#   output line information", &o.dl},
        {"+e*    error file name", &o.errfile},
        {"f     full listing display", &o.f},
        {"ge    eclipse error messages", &o.ge},
        {"im#   interrupt mode", &o.im},
        {"l     output listing", &o.l},
        {"m     mixed code alignment", &o.m},
        {"na    do not xdef alias names", &o.na},
        {"<nc    do not xdef alias names", &o.nc},
        {"no    do not use optimizer", &o.no},
        {"<nr    no enhanced reg alloc", &o.nr},
        {"nt    do not use indirect table", &o.nt},
        {"o*    output filename", &o.output},
        {"sf    split function sections", &o.sf},
        {"v     verbose", &o.v},
    };
}

// char and short arguments keep their own size and type.
void nopromote(Gen& G) {
    ArgTables& a = G.args;
    a.slot[ir::T_CHAR] = a.slot[ir::T_UCHAR] = a.slot[ir::T_CHARBITS] = 1;
    a.slot[ir::T_SHORT] = a.slot[ir::T_SHORTBITS] = a.slot[ir::T_USHORT] = 2;
    a.promote[ir::T_CHAR] = ir::T_CHAR;
    a.promote[ir::T_UCHAR] = ir::T_UCHAR;
    a.promote[ir::T_CHARBITS] = ir::T_UCHAR;
    a.promote[ir::T_SHORT] = ir::T_SHORT;
    a.promote[ir::T_SHORTBITS] = ir::T_USHORT;
    a.promote[ir::T_USHORT] = ir::T_USHORT;
}

void openfiles(Gen& G, int argc, char** argv) {
    if (argc < 1) {
        tl::puterr("missing input file\n");
        tl::quit(1);
    }
    G.inname = argv[0];
    G.rd.in = std::fopen(platform::hostpath(G.inname).c_str(), "rb");
    if (!G.rd.in) {
        tl::puterr("can't open input file " + G.inname + "\n");
        tl::quit(1);
    }
    if (G.opt.output) {
        G.w.file = std::fopen(platform::hostpath(G.opt.output).c_str(), "w");
        if (!G.w.file) {
            tl::puterr(std::string("can't create output file ") + G.opt.output + "\n");
            tl::quit(1);
        }
        G.w.fd = fileno(G.w.file);
    }
    if (G.opt.errfile) {
        G.errfp = std::fopen(platform::hostpath(G.opt.errfile).c_str(), "w");
        if (!G.errfp) {
            tl::puterr(std::string("can't create error file ") + G.opt.errfile + "\n");
            tl::quit(1);
        }
    }
}

// A header that is not ours ends the run at once: nothing is written.
[[noreturn]] void stopheader(Gen& G) {
    closeerrfile(G, false);
    tl::quit(1);
}

void readheader(Gen& G) {
    int b0 = readraw(G);
    int b1 = readraw(G);
    bool bad = false;
    if (b0 != ir::kMagic) {
        generror(G, "bad intermediate file ", G.inname);
        bad = true;
    }
    if (b1 < 0 || (b1 & ir::kTargetBadBits)) {
        generror(G, "bad flags for PPC target ", G.inname);
        bad = true;
    }
    if (bad) stopheader(G);
    uint8_t flags = irbyte(G);
    if (flags & ir::HF_FLOATREGS) {
        generror(G, "float registers are not supported for VLE ", G.inname);
        stopheader(G);
    }
    G.hdr.single = flags & ir::HF_SINGLE;
    G.hdr.nopromote = flags & ir::HF_NOPROMOTE;
    G.hdr.debug = flags & ir::HF_DEBUG;
    if (G.hdr.debug) G.opt.dl = 0;
    if (G.opt.dl) G.hdr.debug = true;
    if (G.hdr.nopromote) nopromote(G);
    if (G.opt.cm & 1) G.opt.nt = 1;
    if (G.opt.im == -1) G.opt.im = 1;
    if (irbyte(G) != ir::kGeneration) generror(G, "incompatible parser version ", G.inname);
    irbyte(G);
    setrange(G.regs.callersaved, true, gpr(3), gpr(12));
    setlive(G.regs.callersaved);
    setrange(G.regs.base, true, gpr(3), gpr(12));
    setlive(G.regs.base);
    // the parser's name, version and date; an empty string ends the list early
    std::string* fixed[3] = {&G.hdr.pname, &G.hdr.pversion, &G.hdr.pdate};
    for (std::string* s : fixed) {
        if (!irstring(G, *s)) {
            G.rd.headerdone = true;
            break;
        }
    }
}

void resetfreeset(Gen& G) {
    G.regs.freeset = G.regs.callersaved;
    for (int r = 14; r <= 31; ++r) setadd(G.regs.freeset, gpr(r));
    setandnot(G.regs.freeset, G.fn.localregs);
}

void startfunction(Gen& G) {
    FuncState& f = G.fn;
    std::string name = irname(G);
    f = FuncState{};
    f.nametext = name;
    size_t lt = name.find('<');
    f.plainname = lt == std::string::npos ? name : name.substr(std::min(name.size(), lt + 2));
    if (G.opt.v) tl::puterr(f.plainname + ":\n");
    uint32_t flags;
    int32_t value;
    readattrs(G, flags, value, name);
    f.flags = flags | GF_VLE;
    f.retstruct = namekind(G, name) == 'w';
    f.argregs = ir::ArgRegs(false, G.hdr.single, false);
    resetfreeset(G);
    G.store.restart();
    resetlabels(G);
    LabelRecord* entry = findlabel(G, genlabel(G));
    entry->flags = LB_KEPT;
    f.ip = &entry->nodes;
    f.dbgfirstline = G.rd.line;
    for (int i = 1; i <= 18; ++i) G.w.regmap[i] = static_cast<uint8_t>(13 + i);
    resetexpr(G);
}

void jumpto(Gen& G, uint16_t number) {
    if (!G.fn.ip) return;
    LabelRecord* l = findlabel(G, number);
    G.fn.ip = appendinsn(G.fn.ip, newinsn(G, IK_JUMP, l, 2));
    ++l->refs;
}

// A tree of a statement, ready for code.
GenNode* readtree(Gen& G) {
    GenNode* t = irtree(G);
    narrowbytes(t, 0);
    return t;
}

// Code at a label or a loop's head may run again after code below it has
// written the argument registers: from here on parameters are read from
// their slots.
void leaveparams(Gen& G) { setandnot(G.regs.scratch, G.fn.paramregs); }

void labeldef(Gen& G, int code) {
    FuncState& f = G.fn;
    uint16_t number = irshort(G);
    int32_t line = static_cast<int32_t>(irlong(G));
    int mark = line ? irbyte(G) : 0;
    if (code == ir::R_KEPTLABEL) setandnot(G.regs.freeset, f.paramregs);
    leaveparams(G);
    LabelRecord* l = findlabel(G, number);
    if (l->flags & LB_NEW) movelabel(G, l);
    if (line) G.rd.line = line;
    if (mark) l->flags |= LB_KEPT;
    l->line = G.rd.line;
    bool reachable = f.ip != nullptr;
    jumpto(G, number);
    ++f.labelcount;
    if (code == ir::R_KEPTLABEL) {
        l->flags |= LB_KEPT;
        if (f.unreachable == 0) ++l->refs;
        f.ip = (f.unreachable < 1 || reachable) ? blockend(l) : nullptr;
    } else {
        f.ip = blockend(l);
    }
}

void switchend(Gen& G) {
    FuncState& f = G.fn;
    ++f.labelcount;
    LabelRecord* dispatch = findlabel(G, G.rd.swdispatch);
    if (dispatch->flags & LB_NEW) movelabel(G, dispatch);
    dispatch->line = G.rd.line;
    LabelRecord* after = nullptr;
    if (f.ip) {
        after = findlabel(G, genlabel(G));
        after->flags = 0;
        jumpto(G, after->number);
    }
    f.ip = blockend(dispatch);
    f.ip = genswitch(G, f.ip, G.rd.swdefault);
    jumpto(G, G.rd.swdefault);
    if (after) {
        movelabel(G, after);
        f.ip = blockend(after);
    } else {
        f.ip = nullptr;
    }
    if (f.unreachable > 0) --f.unreachable;
}

void regmasks(Gen& G) {
    FuncState& f = G.fn;
    uint32_t imask = irlong(G);
    irlong(G);  // the float mask: float registers are refused with the header
    f.calls = irbyte(G);
    setclear(f.localregs);
    f.lowestlocal = 0;
    uint32_t used = ~imask & 0x3FFFF;
    for (int k = 17; k >= 0; --k) {
        if (!(used & (1u << k))) continue;
        uint8_t reg = gpr(31 - k);
        setadd(f.localregs, reg);
        if (!f.lowestlocal) f.lowestlocal = reg;
    }
    resetfreeset(G);
}

void parameter(Gen& G) {
    FuncState& f = G.fn;
    IrType t = irtype(G);
    int32_t offset = static_cast<int32_t>(irlong(G));
    uint8_t stays = irbyte(G);
    uint8_t type = static_cast<uint8_t>(t.type & 15);
    if (type == ir::T_FLOAT && !G.hdr.single) type = ir::T_DOUBLE;
    if (type == ir::T_POINTER) type = ir::T_UINT;
    ir::ArgPlace place = f.argregs.next(type);
    uint8_t reg = 0, high = 0;
    switch (place.kind) {
        case ir::ArgPlace::Gpr: reg = high = gpr(3 + place.index); break;
        case ir::ArgPlace::GprPair:
            reg = pairof(gpr(3 + place.index));
            high = gpr(4 + place.index);
            break;
        case ir::ArgPlace::Fpr: reg = fpr(1 + place.index); break;
        case ir::ArgPlace::Stack: break;
    }
    f.params.push_back(ParamEntry{type, offset, reg, stays != 0});
    setadd(f.paramregs, reg);
    if (stays) setadd(f.paramstay, reg);
    if (high > f.highparam) f.highparam = high;
    // the register-parameter area ends after the last parameter that arrives in a register
    int32_t end = static_cast<int32_t>(static_cast<uint32_t>(offset + G.args.slot[type]) & ~3u);
    if (reg && end > f.paramend) f.paramend = end;
}

void paramarea(Gen& G) {
    FuncState& f = G.fn;
    f.paramsize = static_cast<int32_t>(irlong(G));
    resetfreeset(G);
    f.liveargs = 0;
    for (uint8_t r = f.highparam; r >= gpr(3) && setin(f.paramstay, r); --r) ++f.liveargs;
}

// Ends the function: blocks placed, frame built, code laid out and written.
void endfunction(Gen& G) {
    FuncState& f = G.fn;
    f.ip = nullptr;
    for (LabelRecord* l = G.code.labels; l; l = l->next) {
        if ((l->flags & (LB_KEPT | LB_VISITED)) == LB_KEPT) {
            l->flags |= LB_VISITED | LB_BLOCK;
            chainblocks(G, l, f.labelcount);
        }
    }
    if (G.opt.l) putsource(G, G.rd.funcfirst, G.rd.funclast);
    std::string epilogue = genframe(G);
    layoutcode(G);
    putcode(G, epilogue);
    if (G.hdr.debug && G.opt.dl == 0)
        putasm(G, "%F%p:%l-%l;", {G.rd.debugfile, f.dbgfirstline, f.dbgfirstline});
    if (!G.opt.no) putasm(G, "%p:;", {"FL"});
    G.pool.release();
}

}  // namespace

int functionbody(Gen& G) {
    startfunction(G);
    FuncState& f = G.fn;
    for (;;) {
        int code = irtop(G, 1);
        if (code == ir::R_FUNCTION || code == ir::R_ENDFUNC || code == -1 || code == ir::R_STOP) {
            endfunction(G);
            return code == ir::R_ENDFUNC ? irtop(G, 0) : code;
        }
        f.tempptr = f.curframe;
        switch (code) {
            case ir::R_FRAMELOW: {
                int32_t v = static_cast<int32_t>(irlong(G));
                f.curframe = v;
                if (v < f.lowframe) f.lowframe = v;
                break;
            }
            case ir::R_KEPTLABEL:
            case ir::R_LABEL: labeldef(G, code); break;
            case ir::R_BLT:
            case ir::R_BGE:
            case ir::R_BGT:
            case ir::R_BLE:
            case ir::R_BEQ:
            case ir::R_BNE: {
                uint16_t label = irshort(G);
                GenNode* left = readtree(G);
                GenNode* right = readtree(G);
                if (f.ip) f.ip = genjump(G, f.ip, code, label, left, right);
                G.pool.release();
                f.tempptr = f.curframe;
                break;
            }
            case ir::R_JUMP:
                jumpto(G, irshort(G));
                f.ip = nullptr;
                break;
            case ir::R_SWITCH1:
            case ir::R_SWITCH2:
            case ir::R_SWITCH4: {
                uint16_t label = irshort(G);
                if (!f.ip || f.unreachable > 0) ++f.unreachable;
                jumpto(G, label);
                f.ip = nullptr;
                break;
            }
            case ir::R_TABLESEND:
                if (f.unreachable > 0) --f.unreachable;
                break;
            case 191: switchend(G); break;
            case ir::R_RETURN:
                if (f.ip) {
                    f.ip = appendinsn(f.ip, newinsn(G, IK_RETURN, nullptr, 0));
                    ++f.returns;
                }
                f.ip = nullptr;
                break;
            case ir::R_EXPR: {
                GenNode* t = readtree(G);
                if (f.ip) {
                    if (InsnNode* n = genvoid(G, t)) f.ip = appendinsn(f.ip, n);
                }
                G.pool.release();
                break;
            }
            case ir::R_LOOP: {
                uint16_t label = irshort(G);
                uint8_t flag = irbyte(G);
                setandnot(G.regs.freeset, f.paramregs);
                if (flag) leaveparams(G);
                GenNode* count = flag ? readtree(G) : nullptr;
                f.openloops += flag ? 1 : -1;
                if (f.ip) {
                    if (InsnNode* n = genloop(G, count, label)) f.ip = appendinsn(f.ip, n);
                } else if (flag) {
                    f.loops.push_back(LoopState{label, 1, 0, false});  // unreachable: no code at either end
                } else if (!f.loops.empty()) {
                    f.loops.pop_back();
                }
                G.pool.release();
                break;
            }
            case ir::R_ASMTEXT: {
                GenInput in(G);
                std::string text = in.text8();
                if (f.ip) {
                    if (InsnNode* n = genasm(G, text)) f.ip = appendinsn(f.ip, n);
                }
                break;
            }
            case ir::R_REGMASKS: regmasks(G); break;
            case ir::R_SRCRANGE:
                f.dbgfirstline = static_cast<int32_t>(irlong(G));
                f.dbgfirstcol = irshort(G);
                f.dbglastline = static_cast<int32_t>(irlong(G));
                f.dbglastcol = irshort(G);
                if (G.hdr.debug) putdline(G);
                break;
            case ir::R_PARAM: parameter(G); break;
            case ir::R_PARAMSIZE: paramarea(G); break;
            case ir::R_IGNORED1:
            case ir::R_IGNORED2: break;
            default: genpanic(G, "BAD INPUT");
        }
    }
}

void genmain(Gen& G, int argc, char** argv) {
    Options& o = G.opt;
    platform::catchinterrupt();
    tl::setversion("V4.3.6", "02 Oct 2012");
    o.im = -1;
    tl::parseopts(argc, argv, kTitle, "file", optiontable(o));
    initsections(G);
    openfiles(G, argc, argv);
    genfile(G);
}

void genfile(Gen& G) {
    resetexpr(G);
    readheader(G);

    putheading(G);
    geninfo(G);
    setrange(G.regs.scratch, true, gpr(3), gpr(12));
    usesection(G, SK_TEXT);

    int code = irtop(G, 0);
    while (code != -1 && code != ir::R_STOP) {
        if (code != ir::R_FUNCTION) genpanic(G, "NO FUNC");
        code = functionbody(G);
    }

    for (int kind : {SK_DATA, SK_CONST, SK_BSS}) {
        if (!(G.w.pendingmask & kind)) continue;
        usesection(G, kind);
        putasm(G, " align 4;");
    }
    if (G.hdr.debug) putspacemap(G, nullptr);
    putxrefs(G);
    putend(G);
    outbyte(G, -1);
    closeerrfile(G, true);
}

int run(int argc, char** argv) {
    Gen G;
    genmain(G, argc, argv);
    return G.errors ? 1 : 0;
}

}  // namespace cg
