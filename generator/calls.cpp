// Calls: arguments placed by the one calling-convention rule that the
// parser's parameters follow (toollib/ir ArgRegs), the stack argument area
// allocated once around the call, the call itself with its optimizer note
// and call-graph line, structure results, inline assembly and the two
// built-in functions.
#include <algorithm>

#include "generator/gen.h"

namespace cg {

namespace {

void calltext(Gen& G, const std::string& t, int units) {
    G.store.addchars(t);
    countsize(G, units);
}

struct Arg {
    GenNode* value = nullptr;
    uint8_t type = 0;
    uint8_t reg = 0;        // register code, 0 the stack
    int32_t offset = 0;     // stack slot
    int32_t slot = 0;
    bool isstruct = false;
};

std::vector<GenNode*> arglist(GenNode* chain) {
    std::vector<GenNode*> out;
    while (chain && chain->op == ir::O_ARG) {
        out.push_back(chain->left);
        chain = chain->right;
    }
    if (chain && !(chain->isleaf() && chain->typecode() == 0 && chain->name.empty() && !chain->storage))
        out.push_back(chain);
    return out;
}

// Loaded argument registers pushed around a computation that needs them.
std::vector<uint8_t> pushargs(Gen& G, const std::vector<Arg>& args, size_t from, RegSet& s) {
    std::vector<uint8_t> pushed;
    for (size_t j = args.size(); j-- > from + 1;) {
        const Arg& a = args[j];
        if (!a.reg) continue;
        if (ispair(a.reg)) {
            pushed.push_back(static_cast<uint8_t>(a.reg - 60));
            pushed.push_back(static_cast<uint8_t>(a.reg - 61));
        } else {
            pushed.push_back(a.reg);
        }
    }
    std::sort(pushed.begin(), pushed.end(), [](uint8_t a, uint8_t b) { return a > b; });
    for (uint8_t r : pushed) {
        calltext(G, " stwu " + genregname(r) + ",-4(r1);", 2);
        G.ex.framebase += 4;
        setadd(s, r);
    }
    return pushed;
}

void popargs(Gen& G, const std::vector<uint8_t>& pushed, RegSet& s) {
    if (pushed.empty()) return;
    int32_t off = 0;
    std::string text;
    for (size_t i = pushed.size(); i-- > 0;) {
        text += " lwz " + genregname(pushed[i]) + "," + std::to_string(off) + "(r1);";
        off += 4;
        setdel(s, pushed[i]);
        cacheforget(G, pushed[i]);
    }
    int32_t n = static_cast<int32_t>(pushed.size()) * 4;
    text += " addi r1," + std::to_string(n) + ";";
    G.ex.framebase -= n;
    calltext(G, text, static_cast<int>(pushed.size()) * 2 + 2);
}

RegSet passone(Gen& G, std::vector<Arg>& args, size_t i, RegSet s) {
    Arg& a = args[i];
    GenNode* v = a.value;
    if (a.isstruct) {
        // copied word by word into its slot
        s = genexpr(G, v, LK_REG, s, ir::T_UINT);
        if (!setvalid(s)) genpanic(G, "ARG");
        std::string base = genregname(plainreg(v->loc.reg));
        int32_t words = a.slot / 4;
        if (a.slot <= 12) {
            std::string text;
            for (int32_t k = words - 1; k >= 0; --k) {
                text += " lwz r0," + std::to_string(v->loc.offset + 4 * k) + "(" + base + "); stw r0," +
                        std::to_string(a.offset + 4 * k) + "(r1);";
            }
            calltext(G, text, 4 * words);
        } else {
            uint16_t loop = genlabel(G);
            std::string text = " addi r1," + std::to_string(a.offset + a.slot) + "; addi " + base + "," +
                               std::to_string(v->loc.offset + a.slot) + "; li r0," + std::to_string(words) +
                               "; mtctr r0;" + labeltext(loop) + ":; lwzu r0,-4(" + base + "); stwu r0,-4(r1); bdnz " +
                               labeltext(loop) + "; subi r1," + std::to_string(a.offset) + ";";
            if (a.offset == 0) {
                text = " addi r1," + std::to_string(a.slot) + "; addi " + base + "," +
                       std::to_string(v->loc.offset + a.slot) + "; li r0," + std::to_string(words) + "; mtctr r0;" +
                       labeltext(loop) + ":; lwzu r0,-4(" + base + "); stwu r0,-4(r1); bdnz " + labeltext(loop) + ";";
            }
            calltext(G, text, 16);
            cacheforget(G, plainreg(v->loc.reg));
            G.fn.frameflags |= FF_CTR;
        }
        return forceloc(G, v, W_NOVALUE, s, 0);
    }
    if (a.reg) {
        Snapshot snap;
        savestate(G, snap, &s);
        uint8_t hint = G.ex.hint;
        G.ex.hint = a.reg;
        RegSet t = genexpr(G, v, LK_REG | LK_REUSABLE, s, a.type);
        G.ex.hint = hint;
        std::vector<uint8_t> pushed;
        if (!setvalid(t)) {
            restorestate(G, snap, &s);
            t = s;
            pushed = pushargs(G, args, i, t);
            G.ex.hint = a.reg;
            t = genexpr(G, v, LK_REG | LK_REUSABLE, t, a.type);
            G.ex.hint = hint;
            if (!setvalid(t)) genpanic(G, "ARG");
        }
        uint8_t r = plainreg(v->loc.reg);
        if (r != a.reg || v->loc.indir || v->loc.offset) {
            if (v->loc.indir == 0 && v->loc.offset == 0 && ((r >= 1 && r <= 32) || ispair(r)) && !v->loc.index &&
                v->loc.name.empty()) {
                if (ispair(a.reg)) {
                    uint8_t s0 = static_cast<uint8_t>(r - 61), s1 = static_cast<uint8_t>(r - 60);
                    uint8_t d0 = static_cast<uint8_t>(a.reg - 61), d1 = static_cast<uint8_t>(a.reg - 60);
                    if (d0 == s1)
                        calltext(G, " mr " + genregname(d1) + "," + genregname(s1) + "; mr " + genregname(d0) + "," + genregname(s0) + ";", 2);
                    else
                        calltext(G, " mr " + genregname(d0) + "," + genregname(s0) + "; mr " + genregname(d1) + "," + genregname(s1) + ";", 2);
                } else {
                    calltext(G, " mr " + genregname(a.reg) + "," + genregname(r) + ";", 1);
                }
                t = forceloc(G, v, W_NOVALUE, t, 0);
            } else {
                GenNode dest;
                setloc(&dest, v->loc.type, v->loc.attr, a.reg, 0);
                t = forceloc(G, v, W_NOVALUE, t, 0);
                setadd(t, a.reg);
                t = movevalue(G, &dest, v, t);
                if (!setvalid(t)) genpanic(G, "ARG");
                t = forceloc(G, v, W_NOVALUE, t, 0);
            }
        } else {
            t = forceloc(G, v, W_NOVALUE, t, 0);
        }
        cacheforget(G, a.reg);
        if (ispair(a.reg)) {
            cacheforget(G, static_cast<uint8_t>(a.reg - 61));
            cacheforget(G, static_cast<uint8_t>(a.reg - 60));
        }
        setdel(t, a.reg);
        popargs(G, pushed, t);
        return t;
    }
    // a stack argument: stored into its slot
    GenNode* dest = newnode(G);
    dest->type = a.type;
    dest->storage = gpr(1);
    dest->indir = 1;
    dest->value = a.offset;
    treeloc(dest);
    GenNode* asg = newnode(G);
    makenode(asg, ir::O_ASSIGN, a.type, 0, dest, v);
    if (v->typecode() != a.type && v->typecode() != 0) {
        GenNode* c = newnode(G);
        makenode(c, ir::O_CAST, a.type, 0, v, zeroleaf(G));
        asg->right = c;
    }
    s = genexpr(G, asg, W_NOVALUE, s, a.type);
    if (!setvalid(s)) genpanic(G, "ARG");
    return s;
}

bool isnoargs(const GenNode* n) { return n->op == ir::O_CALL || n->op == ir::O_ASM; }

}  // namespace

void stackadjust(Gen& G, int32_t n) {
    if (n == 0) return;
    if (n < -32768 || n > 32767) {
        generror(G, "frame too large");
        return;
    }
    if (n < 0)
        G.store.addchars(" subi r1," + std::to_string(-n) + ";");
    else
        G.store.addchars(" addi r1," + std::to_string(n) + ";");
    G.ex.framebase -= n;
    countsize(G, (n >= 32 || n <= -32) ? 2 : 1);
}

void asmcall(Gen& G, const std::string& text) {
    std::string t = " .sfile \"\x06" + G.rd.srcdir + G.rd.srcname + "\"," + std::to_string(G.rd.line) + "\n";
    uint16_t cur = 0;
    size_t lines = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '$' && i + 1 < line.size() && (line[i + 1] == 'L' || line[i + 1] == 'N')) {
                if (line[i + 1] == 'N' || !cur) cur = genlabel(G);
                t += "\x06" + labeltext(cur) + "\x06";
                ++i;
                continue;
            }
            if (line[i] == '\x06') continue;
            t += line[i];
        }
        t += "\n";
        if (!G.opt.no && !G.opt.a) t += "VL:\n";
        ++lines;
        start = end + 1;
    }
    t += "\x06 .sfile;";
    G.store.addchars(t);
    countsize(G, static_cast<int>(lines) * 2);
    regcache(G, nullptr, nullptr, 0);
}

RegSet gencall(Gen& G, GenNode* n, uint32_t w, RegSet s) {
    (void)w;
    bool isasm = n->op == ir::O_ASM || n->op == ir::O_ASMARGS;
    GenNode* f = n->left;
    std::vector<GenNode*> values = isnoargs(n) ? std::vector<GenNode*>{} : arglist(n->right);
    // built-in functions
    bool builtinfn = !isasm && f->isleaf() && (f->attr & GF_BUILTIN);
    if (builtinfn) {
        // the name text is "<", the kind character, then the name
        size_t lt = f->name.find('<');
        std::string plain = lt == std::string::npos ? f->name : f->name.substr(std::min(f->name.size(), lt + 2));
        if (plain.empty()) {
            generror(G, "bad builtin");
            setloc(n, ir::T_INT, 0, gpr(3), 0);
            n->flags = 0;
            return s;
        }
        if (plain == "fabs" && values.size() == 1 && values[0]->typecode() == ir::T_FLOAT && G.hdr.single == false) {
            GenNode* v = values[0];
            s = genexpr(G, v, LK_REG, s, ir::T_FLOAT);
            if (!setvalid(s)) return s;
            if (!(v->flags & NF_OWNSREG)) {
                s = forceloc(G, v, W_NOVALUE, s, 0);
                GenNode dest;
                if (!allocreg(G, &dest, LK_REG, s, ir::T_FLOAT, nullptr)) return failset();
                setdel(s, dest.loc.reg);
                calltext(G, " mr " + genregname(dest.loc.reg) + "," + genregname(plainreg(v->loc.reg)) + ";", 1);
                v->loc = dest.loc;
                v->flags = NF_OWNSREG;
            }
            uint8_t r = plainreg(v->loc.reg);
            calltext(G, " clrlwi " + genregname(r) + "," + genregname(r) + ",1;", 2);
            cacheforget(G, r);
            n->loc = v->loc;
            n->loc.type = ir::T_FLOAT;
            n->flags = NF_OWNSREG;
            return s;
        }
        if (plain == "fabs") G.usedbuiltins |= 1;
        if (plain == "strlen") G.usedbuiltins |= 2;
    }
    if (!isasm) {
        for (int r = 3; r <= 12; ++r)
            if (!setin(s, gpr(r))) return failset();
        if (f->attr & GF_INTERRUPT) {
            generror(G, "cannot call interrupt function");
            setloc(n, ir::T_INT, 0, gpr(3), 0);
            n->flags = 0;
            return s;
        }
    }
    // places
    bool stackall = (n->attr & GF_STACKARGS) != 0;
    ir::ArgRegs places(false, G.hdr.single, stackall);
    std::vector<Arg> args;
    int32_t stack = 0;
    bool afterstruct = false;
    for (GenNode* v : values) {
        Arg a;
        a.value = v;
        uint8_t t = v->typecode();
        // a structure argument arrives as its address with the structure's size
        bool isstruct = v->size > 0 && t == ir::T_UINT;
        if (isstruct) {
            a.isstruct = true;
            a.slot = static_cast<int32_t>((v->size + 3) & ~3u);
            a.type = ir::T_UINT;
            afterstruct = true;
            places.next(ir::T_STRUCT);
        } else {
            if (t == ir::T_FLOAT && !G.hdr.single) t = ir::T_DOUBLE;
            if (t == ir::T_POINTER) t = ir::T_UINT;
            t = G.args.promote[t < 15 ? t : 0];
            if (!t) t = ir::T_INT;
            a.type = t;
            a.slot = G.args.slot[t] == 255 ? 4 : G.args.slot[t];
            ir::ArgPlace p = afterstruct ? ir::ArgPlace{} : places.next(t);
            if (p.kind == ir::ArgPlace::Gpr)
                a.reg = gpr(3 + p.index);
            else if (p.kind == ir::ArgPlace::GprPair)
                a.reg = pairof(gpr(3 + p.index));
        }
        if (!a.reg) {
            a.offset = stack;
            stack += a.slot;
        }
        args.push_back(a);
    }
    if (stack > 0) stack = (stack + 3) & ~3;
    stackadjust(G, -stack);
    for (size_t i = args.size(); i-- > 0;) s = passone(G, args, i, s);
    RegSet argset;
    setclear(argset);
    for (const Arg& a : args)
        if (a.reg) setadd(argset, a.reg);
    if (isasm) {
        G.fn.hasasm = true;
        asmcall(G, f->name);
        for (const Arg& a : args)
            if (a.reg) setadd(s, a.reg);
        stackadjust(G, stack);
        setloc(n, n->typecode() ? n->type : uint32_t{ir::T_INT}, 0, gpr(3), 0);
        n->flags = 0;
        if (n->typecode() && setin(s, gpr(3))) {
            setdel(s, gpr(3));
            n->flags = NF_OWNSREG;
        }
        return s;
    }
    // a structure result: the address of its place as a stack argument at 0(r1)
    bool structresult = n->place != nullptr;
    if (structresult) {
        GenNode* p = n->place;
        s = genexpr(G, p, LK_REG, s, ir::T_UINT);
        if (!setvalid(s)) genpanic(G, "FNCALL2");
        calltext(G, " stwu " + genregname(plainreg(p->loc.reg)) + ",-4(r1);", 2);
        G.ex.framebase += 4;
        s = forceloc(G, p, W_NOVALUE, s, 0);
    }
    // the function operand
    std::string target;
    uint8_t freg = 0;
    bool named = f->isleaf() && f->indir == 0 && !f->name.empty() && f->storage == 0;
    if (named && !(f->attr & GF_EXTERNAL && false)) {
        treeloc(f);
        f->flags = 0;
        target = opertext(G, f);
    } else {
        RegSet t = genexpr(G, f, LK_REG, s, ir::T_UINT);
        std::vector<uint8_t> pushed;
        if (!setvalid(t)) genpanic(G, "FNCALL2");
        freg = plainreg(f->loc.reg);
        s = forceloc(G, f, W_NOVALUE, t, 0);
    }
    std::string use;
    if (!G.opt.no) {
        for (int r = 3; r <= 10; ++r) {
            bool in = setin(argset, gpr(r));
            for (const Arg& a : args)
                if (ispair(a.reg) && (a.reg - 61 == gpr(r) || a.reg - 60 == gpr(r))) in = true;
            if (!in) continue;
            use += (use.empty() ? "" : ",") + std::string("r") + std::to_string(r);
        }
        if (!use.empty()) calltext(G, " use (" + use + ");", 0);
    }
    for (const Arg& a : args)
        if (a.reg) setadd(s, a.reg);
    if (freg)
        calltext(G, " mtlr " + genregname(freg) + "; blrl;", 2);
    else
        calltext(G, " bl " + target + ";", 2);
    G.fn.frameflags |= FF_CALLS;
    if (!(n->attr & GF_EXTERNAL)) G.fn.frameflags |= FF_NOMOVE;
    std::string callee = named ? f->name : std::string();
    calltext(G, " .dcall \"" + G.fn.nametext + ":" + callee + "\";", 0);
    regcache(G, nullptr, nullptr, 0);
    // the result
    if (structresult) {
        calltext(G, " lwz r3,0(r1); addi r1,4;", 2);
        G.ex.framebase -= 4;
        setloc(n, ir::T_UINT, n->attr, gpr(3), 0);
        n->flags = NF_OWNSREG;
        setdel(s, gpr(3));
    } else if (n->typecode() == ir::T_DOUBLE) {
        setloc(n, n->type, n->attr, pairof(gpr(3)), 0);
        n->flags = NF_OWNSREG;
        setdel(s, gpr(3));
        setdel(s, gpr(4));
    } else {
        setloc(n, n->typecode() ? n->type : uint32_t{ir::T_INT}, n->attr, gpr(3), 0);
        n->flags = NF_OWNSREG;
        setdel(s, gpr(3));
    }
    stackadjust(G, stack);
    // no argument register stays live across a call
    setandnot(G.regs.freeset, G.fn.paramregs);
    for (const ParamEntry& p : G.fn.params) {
        if (!p.reg) continue;
        setadd(G.ex.spent, p.reg);
        setdel(G.regs.scratch, p.reg);  // read from its home slot from now on
    }
    G.fn.liveargs = 0;
    return s;
}

}  // namespace cg
