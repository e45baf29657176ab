// Small routines that every part of the generator shares: messages and
// panics, number, label and register texts, the unpacking of a double, tree
// queries and operator tables, the narrowing of byte reads, node setup and
// frame temporaries.
#include <cstring>
#include <unistd.h>

#include "generator/gen.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace cg {

// ---- messages ----

void generror(Gen& G, std::string_view msg, std::string_view detail) {
    std::string fname = G.fn.nametext;
    size_t lt = fname.find('<');
    if (lt == 0 || lt == 1) fname = fname.substr(lt + 1);
    std::string func = fname.empty() ? "" : fname + "() ";
    std::string line = std::to_string(G.rd.line);
    std::string text;
    if (G.opt.ge) {
        text = G.rd.srcname + ":" + line + ":1: " + func;
    } else {
        text = "#error " + tl::toolcontext().progname;
        if (!G.rd.srcname.empty()) text += " " + G.rd.srcname;
        text += ":" + line + "\t" + func;
    }
    text.append(msg);
    text.append(detail);
    text += "\n";
    if (G.errfp) {
        std::fwrite(text.data(), 1, text.size(), G.errfp);
        std::fflush(G.errfp);
    } else {
        tl::puterr(text);
    }
    G.errors = true;
}

void closeerrfile(Gen& G, bool announce) {
    if (!G.errfp) return;
    std::fclose(G.errfp);
    G.errfp = nullptr;
    if (!announce || !G.opt.errfile) return;
    if (G.errors)
        tl::puterr(std::string("errors reported in ") + G.opt.errfile + "\n");
    else
        std::remove(G.opt.errfile);
}

void genpanic(Gen& G, std::string_view msg) {
    generror(G, "PANIC! ", msg);
    // the panic also stands in the text, where the failed code would be
    Writer& w = G.w;
    w.verbatim = w.percent = w.regpending = w.skipkind = w.raw = false;
    if (w.dstring) putasm(G, ";");
    putasm(G, " /PANIC ");
    writebytes(G, msg);
    putasm(G, ";");
    flushoutput(G, true);
    closeerrfile(G, true);
    tl::quit(1);
}

// ---- texts ----

std::string labeltext(uint32_t number) {
    std::string t = ">";
    for (uint32_t n = number; n; n >>= 3) t += static_cast<char>('0' + (n & 7));
    return t;
}

namespace {
std::string fmtnumber(uint64_t magnitude, bool negative, int radix) {
    if (radix < 2 || radix > 36) radix = 10;
    char buf[72];
    size_t i = sizeof buf;
    do {
        int d = static_cast<int>(magnitude % static_cast<unsigned>(radix));
        buf[--i] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude);
    if (negative) buf[--i] = '-';
    return std::string(buf + i, sizeof buf - i);
}
}  // namespace

std::string numtext32(int32_t value, int radix) {
    if (radix <= 0 && value < 0)
        return fmtnumber(static_cast<uint64_t>(-static_cast<int64_t>(value)), true, radix ? -radix : 10);
    return fmtnumber(static_cast<uint32_t>(value), false, radix ? (radix < 0 ? -radix : radix) : 10);
}

std::string numtext16(int32_t value, int radix) {
    uint16_t low = static_cast<uint16_t>(value);
    if (radix <= 0 && (low & 0x8000))
        return fmtnumber(static_cast<uint64_t>(0x10000 - low), true, radix ? -radix : 10);
    return fmtnumber(low, false, radix ? (radix < 0 ? -radix : radix) : 10);
}

std::string regnamebycode(uint8_t code) {
    if (code >= 1 && code <= 32) {
        int n = code - 1;
        if (n >= 14) return std::string("\x05") + static_cast<char>(n - 13);
        return "r" + std::to_string(n);
    }
    if (code >= 33 && code <= 64) return "fr" + std::to_string(code - 33);
    return "?";
}

std::string genregname(uint8_t code) {
    if (code == kPushSlot || code == kFrameSlot || code == kPushedAddr) return "r1";
    return regnamebycode(code);
}

int unpackdouble(double d, uint8_t out[8]) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    if (out[0] == 0 && out[1] == 0) return 0;
    int exponent = (((out[0] & 0x7F) << 4) | (out[1] >> 4)) - 1022;
    out[0] &= 0x80;
    out[1] = static_cast<uint8_t>(0x10 | (out[1] & 0x0F));
    for (int i = 1; i < 7; ++i) out[i] = static_cast<uint8_t>(out[i] << 3 | out[i + 1] >> 5);
    out[7] = static_cast<uint8_t>(out[7] << 3);
    return exponent;
}

char namekind(const Gen& G, std::string_view text) {
    size_t lt = text.find('<');
    if (lt == std::string_view::npos) return 0;
    size_t i = lt + 1;
    while (i < text.size() && text[i] == '\'') ++i;
    if (i >= text.size()) return 0;
    switch (text[i]) {
        case '@': return 'n';
        case '^': return G.hdr.single ? 'n' : 'r';
        case 'w': return 'w';
        default: return 0;
    }
}

bool isaliasname(std::string_view text) {
    if (text.empty()) return true;
    size_t lt = text.find('<');
    return lt != std::string_view::npos && lt + 1 < text.size() && text[lt + 1] == '\'';
}

uint16_t readbe16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); }

// ---- tree queries and operator tables ----

uint32_t reduceattrs(uint32_t f) { return (f & GF_BUILTIN) ? (f & 0x2B0) : f; }

bool isbitfield(uint32_t type) { return ir::isbitfieldcode(static_cast<uint8_t>(type & 15)); }
bool isstruct(uint32_t code) { return (code & 15) == ir::T_STRUCT; }

bool isplainconst(const GenNode* n) {
    return n->isleaf() && n->storage == 0 && n->indir == 0 && n->name.empty() && n->typecode() <= 8;
}

bool isnumleaf(const GenNode* n) { return n->isleaf() && n->storage == 0 && n->indir == 0 && n->typecode() <= 8; }

uint8_t barestorage(const GenNode* n) {
    if (n->isleaf() && n->name.empty() && n->value == 0 && n->indir == 0) return n->storage;
    return 0;
}

bool isasgn(int op) { return (op >= 134 && op <= 142) || op == 145 || op == 146; }

bool iscond(int op) {
    switch (op) {
        case 90: case 130: case 143: case 144: case 148: case 149: case 150: case 155: case 157: return true;
        default: return false;
    }
}

bool iscommut(int op) { return op == 156 || op == 163 || op == 193 || op == 222 || op == 226; }

int asgnop(int op) {
    switch (op) {
        case ir::O_DIV: return ir::O_DIVASG;
        case ir::O_SHL: return ir::O_SHLASG;
        case ir::O_MOD: return ir::O_MODASG;
        case ir::O_OR: return ir::O_ORASG;
        case ir::O_SHR: return ir::O_SHRASG;
        case ir::O_XOR: return ir::O_XORASG;
        case ir::O_AND: return ir::O_ANDASG;
        case ir::O_SUB: return ir::O_SUBASG;
        case ir::O_ADD: return ir::O_ADDASG;
        case ir::O_MUL: return ir::O_MULASG;
        default: return 0;
    }
}

int inplaceop(int op) { return op == ir::O_COMPL ? ir::O_COMPLSELF : op == ir::O_NEG ? ir::O_NEGSELF : 0; }

namespace {
bool hasrightchild(const GenNode* n) { return !n->isleaf() && (n->op & 0x80) && n->right; }
}  // namespace

bool usesstorage(const GenNode* n, uint8_t code) {
    if (!n) return false;
    if (n->isleaf()) return n->storage == code;
    if (usesstorage(n->left, code)) return true;
    if (n->op == ir::O_COND && usesstorage(n->middle, code)) return true;
    return hasrightchild(n) && usesstorage(n->right, code);
}

bool hascall(const GenNode* n) {
    if (!n || n->isleaf()) return false;
    if (n->op == ir::O_CALLARGS || n->op == ir::O_CALL || n->op == ir::O_ASM || n->op == ir::O_ASMARGS) return true;
    if (hascall(n->left)) return true;
    if (n->op == ir::O_COND && hascall(n->middle)) return true;
    return hasrightchild(n) && hascall(n->right);
}

bool hastype(const GenNode* n, uint32_t type) {
    if (!n) return false;
    if (n->type == type) return true;
    if (n->isleaf()) return false;
    if (hastype(n->left, type)) return true;
    if (n->op == ir::O_COND && hastype(n->middle, type)) return true;
    return hasrightchild(n) && hastype(n->right, type);
}

void narrowbytes(GenNode* n, int f) {
    if (!n) return;
    auto ischar = [](const GenNode* x) { return x->typecode() == ir::T_CHAR; };
    auto bytewide = [](const GenNode* x) { return x->typecode() == ir::T_CHAR || x->typecode() == ir::T_UCHAR; };
    auto touchar = [](GenNode* x) { x->type = (x->type & ~15u) | ir::T_UCHAR; };
    if (n->isleaf()) {
        if (f && ischar(n) && n->indir > 0 && !(n->leafflags & LF_PARAMREG)) touchar(n);
        return;
    }
    if (isasgn(n->op)) {
        narrowbytes(n->left, 0);
        narrowbytes(n->right, bytewide(n) ? 1 : 0);
        return;
    }
    switch (n->op) {
        case ir::O_CAST:
            if (f && ischar(n)) touchar(n);
            narrowbytes(n->left, bytewide(n) ? 1 : 0);
            return;
        case ir::O_IND:
            if (f && ischar(n)) touchar(n);
            narrowbytes(n->left, 0);
            return;
        case ir::O_SHL:
            narrowbytes(n->left, f);
            narrowbytes(n->right, 0);
            return;
        case ir::O_COND:
            narrowbytes(n->left, 0);
            narrowbytes(n->middle, f);
            narrowbytes(n->right, f);
            return;
        case ir::O_OR: case ir::O_XOR: case ir::O_AND: case ir::O_SUB: case ir::O_ADD: case ir::O_MUL:
            narrowbytes(n->left, f);
            narrowbytes(n->right, f);
            return;
        case ir::O_COMMA:
            narrowbytes(n->left, 0);
            narrowbytes(n->right, f);
            return;
        default:
            narrowbytes(n->left, 0);
            if (hasrightchild(n)) narrowbytes(n->right, 0);
    }
}

// ---- nodes ----

GenNode* newnode(Gen& G) { return G.pool.newnode(); }

void clearnode(GenNode* n) { *n = GenNode{}; }

void setloc(GenNode* n, uint32_t type, uint32_t attr, uint8_t reg, uint8_t indir) {
    n->flags = 0;
    n->loc = Location{};
    n->loc.type = type;
    n->loc.attr = attr;
    n->loc.reg = reg;
    n->loc.indir = indir;
    n->loc.access = indir ? 1 : 0;
}

void makenode(GenNode* n, int16_t op, uint32_t type, uint32_t attr, GenNode* left, GenNode* right) {
    n->op = op;
    n->type = type;
    n->attr = attr;
    n->left = left;
    n->right = right;
}

GenNode* callasgn(Gen& G, GenNode* asg) {
    GenNode* call = asg->right;
    GenNode* dest = asg->left;
    if (!call || !dest) return asg;
    if ((call->op != ir::O_CALLARGS && call->op != ir::O_CALL) || call->type != asg->type) return asg;
    if (!dest->isleaf() && dest->op != ir::O_IND) return asg;
    call->place = addrof(G, dest);
    return call;
}

void notesource(Gen& G, InsnNode* n) {
    if (!G.opt.l) return;
    n->firstline = n->lastline = G.rd.line;
    std::shared_ptr<const std::string>& shared = G.rd.notedfile;
    if (!shared || *shared != G.rd.srcname) shared = std::make_shared<const std::string>(G.rd.srcname);
    n->file = shared;
}

// ---- built-in functions ----

namespace {
struct Builtin {
    const char* name;   // the reader's form of the name
    uint32_t bit;       // in the used-builtins mask
    int args;
};
constexpr Builtin kBuiltins[] = {{"<@fabs", 1, 1}, {"<@strlen", 2, 1}};
}  // namespace

bool isbuiltin(const Gen& G, const std::string& text) {
    for (const Builtin& b : kBuiltins)
        if (text == b.name) return !(G.usedbuiltins & b.bit);
    return false;
}

// ---- frame temporaries ----

int32_t newframetemp(Gen& G, int32_t size) {
    G.fn.frameflags |= FF_LOCALS;
    G.fn.tempptr -= size + (size & 3);
    if (G.fn.tempptr < G.fn.lowtemp) G.fn.lowtemp = G.fn.tempptr;
    return G.fn.tempptr;
}

GenNode* tempnode(Gen& G, GenNode* n, int32_t size) {
    clearnode(n);
    n->type = ir::T_UINT;
    n->attr = 1;
    n->storage = kFrameTemp;
    n->value = newframetemp(G, size);
    return n;
}

}  // namespace cg
