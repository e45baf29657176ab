// The expression evaluator: scanner, precedence parser and the primary
// terms (constants, casts, sizeof, registers, counters, dot variables,
// functions, variables, program symbols) with their postfix selectors.
//
// The one idea: once an error is recorded the scanner returns only end
// tokens, so every parse routine can run to its end without checks and
// the first recorded error is the one reported.
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/session/session.h"
#include "vek/core/support/symbols.h"
#include "vek/core/support/text.h"
#include "vek/core/target/registers.h"

namespace vek {

using namespace exprimpl;

namespace {

ExprEnv g_env;
ExprState g_state;

// Terms may nest this deep (parentheses, prefix operators, casts); deeper
// text is a syntax error rather than a stack overflow.
constexpr int MaxDepth = 200;

bool isnamechar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '$' ||
           c == '@' || c == '_';
}
bool isfilechar(char c) { return isnamechar(c) || c == '.' || c == '/' || c == '\\' || c == '-'; }

// Copies n characters into a name part; false (message 52) when too long.
bool putname(char* dest, const char* src, size_t n) {
    if (n >= NameMax) {
        seterror(52);
        dest[0] = 0;
        return false;
    }
    std::memcpy(dest, src, n);
    dest[n] = 0;
    return true;
}

size_t namerun(const char* p) {
    size_t n = 0;
    while (isnamechar(p[n])) ++n;
    return n;
}

// name | function "()" [":" name] | file ":" name. A file part is taken
// only when a ':' and a name follow the characters a file name may hold.
void scanname() {
    ExprState& s = st();
    s.hasfile = s.hasfunc = s.hasname = false;
    s.file[0] = s.func[0] = s.name[0] = 0;
    const char* p = s.cursor;
    // An empty file part: ":x" names x.
    if (*p == ':' && namerun(p + 1) > 0) ++p;
    size_t n = namerun(p);
    if (n > 0 && p[n] == '(' && p[n + 1] == ')') {
        s.hasfunc = putname(s.func, p, n);
        p += n + 2;
        if (*p == ':') {
            ++p;
            size_t m = namerun(p);
            if (m > 0) s.hasname = putname(s.name, p, m);
            p += m;
        }
        s.cursor = p;
        return;
    }
    size_t f = 0;
    while (isfilechar(p[f])) ++f;
    if (f > 0 && p[f] == ':' && namerun(p + f + 1) > 0) {
        s.hasfile = putname(s.file, p, f);
        p += f + 1;
        n = namerun(p);
    }
    if (n == 0) {
        seterror(52);
        s.cursor = p;
        return;
    }
    s.hasname = putname(s.name, p, n);
    s.cursor = p + n;
}

// ',' ';' '"' '?' '{' '}' and the end of the text end an expression.
bool isterminator(char c) { return c == 0 || std::strchr("\",;?{}", c) != nullptr; }

int scantoken() {
    ExprState& s = st();
    if (s.error) return TEnd;
    if (s.pushed) {
        int t = s.pushed;
        s.pushed = 0;
        return t;
    }
    while (*s.cursor && static_cast<unsigned char>(*s.cursor) <= ' ') ++s.cursor;
    s.tokstart = s.cursor;
    const char* p = s.cursor;
    char c = *p;
    if (c >= '0' && c <= '9') {
        uint32_t v = 0;
        int32_t n = parseulong(p, 20, &v, 1);
        if (n <= 0) n = 1;
        if (p[n] == '.' || p[n] == 'e' || p[n] == 'E') {
            double d = 0;
            int32_t m = parsedouble(p, 24, &d);
            s.cursor = p + (m > 0 ? m : 1);
            s.dval = d;
            return TFloat;
        }
        s.cursor = p + n;
        s.ival = v;
        return TInt;
    }
    auto one = [&](int t) {
        s.cursor = p + 1;
        return t;
    };
    auto two = [&](int t) {
        s.cursor = p + 2;
        return t;
    };
    switch (c) {
    case '(': return one(TLParen);
    case ')': return one(TRParen);
    case '[': return one(TLBracket);
    case ']': return one(TRBracket);
    case '.': return one(TDot);
    case '#': return one(THash);
    case '%': return one(TMod);
    case '*': return one(TStar);
    case '+': return one(TPlus);
    case '/': return one(TDiv);
    case '^': return one(TXor);
    case '~': return one(TCompl);
    case '-': return p[1] == '>' ? two(TArrow) : one(TMinus);
    case '!': return p[1] == '=' ? two(TNe) : one(TNot);
    case '&': return p[1] == '&' ? two(TAndAnd) : one(TAmp);
    case '|': return p[1] == '|' ? two(TOrOr) : one(TOr);
    case '<': return p[1] == '<' ? two(TShl) : p[1] == '=' ? two(TLe) : one(TLt);
    case '>': return p[1] == '>' ? two(TShr) : p[1] == '=' ? two(TGe) : one(TGt);
    case '=':
        if (p[1] == '=') return two(TEq);
        if (s.assigncontext) return TEnd;
        return one(TAssign);
    case '\'': {
        uint32_t v = 0;
        const char* q = p + 1;
        while (*q && *q != '\'') v = v * 256u + uint32_t(int32_t(static_cast<signed char>(*q++)));
        if (*q != '\'') {
            s.cursor = q;
            seterror(13);
            return TEnd;
        }
        s.cursor = q + 1;
        s.ival = v;
        return TInt;
    }
    default: break;
    }
    if (isterminator(c)) return TEnd;
    scanname();
    return TName;
}

void unscan(int t) {
    ExprState& s = st();
    if (s.pushed) {
        seterror(51);
        return;
    }
    s.pushed = t;
    s.pushedstart = s.tokstart;
}

bool musttoken(int code) {
    int t = scantoken();
    if (t == code) return true;
    unscan(t);
    seterror(13);
    return false;
}

// ---- type names

const char* const typekeywords[] = {"char", "short", "int", "long", "float", "double", "signed",
                                    "unsigned", "const", "volatile", "void", "struct", "union", "enum"};

uint32_t keywordflag(const char* name) {
    for (size_t i = 0; i < sizeof typekeywords / sizeof typekeywords[0]; ++i)
        if (std::strcmp(name, typekeywords[i]) == 0) return 1u << i;
    return 0;
}

// A typedef among the file-scope variables of the source files.
const VarRecord* findtypedef(std::string_view name) {
    if (!exprenv().debug) return nullptr;
    for (auto& f : exprenv().debug->files) {
        if (f->funcs.empty()) continue;
        for (const VarRecord& v : f->funcs.back()->vars)
            if (v.sclass == sc::TType && v.name == name) return &v;
    }
    return nullptr;
}

struct TypeName {
    uint32_t flags = 0;
    int pointers = 0;
    const VarRecord* typed = nullptr;   // the typedef, or tag below
    std::optional<VarRecord> tag;       // a struct, union or enum by its tag
};

// Type words, '*'s and ')': true when they name a type. With no word
// taken the scanner is back where it started; a word that is not a type
// word is pushed back (the parse then goes on there).
bool parsetypename(TypeName& tn) {
    ExprState& s = st();
    const char* start = s.cursor;
    int words = 0;
    for (;;) {
        const char* mark = s.cursor;
        int t = scantoken();
        if (t != TName || s.hasfunc || s.hasfile || !s.hasname) {
            unscan(t);
            break;
        }
        if (tn.flags == 0) {
            if (const VarRecord* td = findtypedef(s.name)) {
                tn.typed = td;
                tn.flags = castflag::Typedef;
                ++words;
                continue;
            }
        }
        uint32_t k = keywordflag(s.name);
        if (k == 0 || (tn.flags & k)) {
            unscan(t);
            break;
        }
        if (k == castflag::Struct || k == castflag::Union || k == castflag::Enum) {
            int u = scantoken();
            if (u == TName && s.hasname && !s.hasfunc && !s.hasfile) tn.tag = findenum(k, s.name);
            if (!tn.tag) {
                // A tag that no variable uses: the word is not taken.
                s.pushed = 0;
                s.cursor = mark;
                break;
            }
            tn.typed = &*tn.tag;
        }
        tn.flags |= k;
        ++words;
    }
    if (words == 0) {
        s.pushed = 0;
        s.cursor = start;
        return false;
    }
    for (;;) {
        int t = scantoken();
        if (t != TStar) {
            if (t == TRParen && (tn.flags == castflag::Typedef || typeflagsok(tn.flags)))
                return true;
            unscan(t);
            return false;
        }
        ++tn.pointers;
    }
}

// ---- terms

void parseunary(ExprValue& v);
void parseexpr(ExprValue& v);

int precedence(int op) {
    switch (op) {
    case TStar: case TDiv: case TMod: return 14;
    case TPlus: case TMinus: return 13;
    case TShl: case TShr: return 12;
    case TLt: case TLe: case TGt: case TGe: return 11;
    case TEq: case TNe: return 10;
    case TAmp: return 9;
    case TXor: return 8;
    case TOr: return 7;
    case TAndAnd: return 6;
    case TOrOr: return 5;
    case TAssign: return 1;
    default: return 0;
    }
}

void parsebinary(int minimum, ExprValue& left, int op) {
    while (op && precedence(op) > minimum) {
        ExprValue right;
        parseunary(right);
        if (failed()) return;
        int t = scantoken();
        if (isbinary(t) && precedence(t) > precedence(op))
            parsebinary(precedence(op), right, t);
        else
            unscan(t);
        applybinary(op, left, right);
        t = scantoken();
        if (isbinary(t)) {
            op = t;
        } else {
            unscan(t);
            return;
        }
    }
    if (op) unscan(op);
}

void parseexpr(ExprValue& v) {
    v.count = 0;
    parseunary(v);
    int t = scantoken();
    if (isbinary(t))
        parsebinary(0, v, t);
    else
        unscan(t);
}

void setintvalue(ExprValue& v, uint32_t value) {
    v.type = tc::Int;
    v.kind = term::Value;
    v.desc = nullptr;
    v.owned.reset();
    v.cursor = 0;
    v.setint(value);
}

void regterm(ExprValue& v) {
    ExprState& s = st();
    const char* name = s.name + 1;
    if (unsigned n = regnum(name); n != 0) {
        v.address = n;
        v.type = tc::ULong;
        v.kind = term::Register;
        v.setint(exprenv().regs ? exprenv().regs->getreg(n) : 0);
        return;
    }
    if (std::strcmp(name, "time") == 0 || std::strcmp(name, "xtime") == 0) {
        bool x = name[0] == 'x';
        v.address = x ? 3 : 1;
        v.type = tc::Int;
        v.kind = term::Counter;
        v.setint(countervalue(x ? symtab().xtime : symtab().time));
        return;
    }
    setintvalue(v, 0);
    seterror(54);
}

// The address and term kind of a variable by its storage class.
void placevar(ExprValue& v, const VarRecord& var, FrameRefIx frame, bool flag) {
    switch (var.sclass) {
    case sc::TLabel:
    case sc::TGLabel:
        v.address = var.value;
        v.kind = var.sclass;
        v.type = tc::ULong;
        break;
    case sc::FirstArg:
        v.address = frameaddr(var, frame);
        v.kind = flag ? term::Mem : sc::FirstArg;
        break;
    case sc::StatFArg:
        v.address = frameaddr(var, frame);
        v.kind = term::Mem;
        break;
    case sc::Reg:
    case sc::EnumMem:
        v.address = var.value;
        v.kind = var.sclass;
        break;
    case sc::RegArg:
        if (flag) {
            v.address = var.value2;
            v.kind = sc::Reg;
        } else {
            v.address = frameaddr(var, frame);
            v.kind = term::Mem;
        }
        break;
    default:
        v.address = frameaddr(var, frame);
        v.kind = var.sclass;
        break;
    }
}

// Classes whose address does not depend on a frame.
bool frameless(uint8_t cls) {
    return cls == sc::Fix || cls == sc::FixExt || cls == sc::Absolu || cls == sc::EnumMem ||
           cls == sc::TLabel || cls == sc::TGLabel;
}

void functionterm(ExprValue& v, const FunctionRecord* f) {
    uint32_t ret = f->rettype ? f->rettype : tc::Int;
    auto d = std::make_shared<TypeDesc>();
    d->steps.assign(size_t(2 + typedepth(ret)), 0);
    v.owned = d;
    v.desc = d.get();
    v.cursor = 0;
    v.type = step::add(step::add(ret, step::Func), step::Ptr);
    v.core = uint8_t(f->core);
    v.address = f->start ? f->start->address : 0;
    v.setint(v.address);
    v.kind = term::Value;
}

void nameterm(ExprValue& v) {
    ExprState& s = st();
    const char* name = s.hasname ? s.name : s.func;
    if (s.hasname && name[0] == '$' && !s.hasfile && !s.hasfunc) {
        regterm(v);
        return;
    }
    DebugInfo* di = exprenv().debug;
    if (di && !(s.hasfunc && s.hasname)) {
        if (FunctionRecord* f = findfunc(*di, name, s.hasfile ? s.file : nullptr)) {
            functionterm(v, f);
            return;
        }
    }
    LocationSpec loc;
    loc.given = 1;
    loc.file = s.hasfile ? s.file : nullptr;
    loc.function = s.hasfunc ? s.func : nullptr;
    loc.symbol = s.hasname ? s.name : nullptr;
    FrameRefIx frame;
    const VarRecord* var = nullptr;
    if (di) var = s.mode ? findvar(loc, frame) : findlocvar(loc, frame);
    if (var) {
        fromvar(v, *var);
        v.core = var->core;
        if (s.mode && !frame.found() && !frameless(var->sclass)) {
            // An automatic variable of a function that is not running.
            setintvalue(v, 0);
            seterror(54);
            return;
        }
        placevar(v, *var, frame, framevarsflag());
        if (s.mode) loadvalue(v);
        return;
    }
    if (int e = lookuperror()) {
        setintvalue(v, 0);
        seterror(e);
        return;
    }
    if (!s.hasfile && !s.hasfunc) {
        if (ProgramSymbol* sym = rensym(name)) {
            setintvalue(v, sym->value);
            v.address = sym->value;
            v.kind = term::Symbol;
            return;
        }
        std::string u = std::string("_") + name;
        if (ProgramSymbol* sym = rensym(u)) {
            setintvalue(v, 0);
            v.address = sym->value;
            v.kind = sc::FixExt;
            v.type = tc::ULong;
            if (s.mode) v.setint(getlong(v.address));
            return;
        }
    }
    setintvalue(v, 0);
    seterror(54);
}

// True when the text at p starts with a file part ("fx.c:").
bool hasfilepart(const char* p) {
    size_t f = 0;
    while (isfilechar(p[f])) ++f;
    return f > 0 && p[f] == ':' && namerun(p + f + 1) > 0;
}

void dotvariable(ExprValue& v) {
    ExprState& s = st();
    size_t n = namerun(s.cursor);
    bool digit = n > 0 && s.cursor[0] >= '0' && s.cursor[0] <= '9';
    if (n == 0 || digit || hasfilepart(s.cursor) || s.cursor[n] == ':' ||
        (s.cursor[n] == '(' && s.cursor[n + 1] == ')')) {
        // Not a debugger variable: the text from the '.' on is a location
        // such as "./fx.c:gi".
        s.cursor = s.tokstart;
        scanname();
        if (failed()) {
            setintvalue(v, 0);
            return;
        }
        nameterm(v);
        return;
    }
    if (n >= NameMax) {
        seterror(52);
        setintvalue(v, 0);
        return;
    }
    v.symname.assign(s.cursor, n);
    s.cursor += n;
    std::string full = ".." + v.symname;
    ProgramSymbol* sym = rensym(full);
    if (!sym) sym = defsym(full, 0);
    v.type = tc::ULong;
    v.address = 0;
    v.kind = term::DotVar;
    v.setint(sym->value);
}

void sizeofterm(ExprValue& v) {
    if (!musttoken(TLParen)) {
        setintvalue(v, 0);
        return;
    }
    TypeName tn;
    if (parsetypename(tn)) {
        retype(v, tn.typed, tn.flags == castflag::Typedef ? tn.flags : normtypeflags(tn.flags), tn.pointers);
        return;
    }
    ExprValue inner;
    parseexpr(inner);
    musttoken(TRParen);
    setintvalue(v, typesizeof(inner));
}

void castterm(ExprValue& v, const TypeName& tn) {
    parseunary(v);
    if (failed()) return;
    uint32_t flags = tn.flags == castflag::Typedef ? tn.flags : normtypeflags(tn.flags);
    if (!castto(flags, v, tn.typed, tn.pointers)) seterror(13);
}

void primary(int t, ExprValue& v) {
    ExprState& s = st();
    switch (t) {
    case TInt: setintvalue(v, s.ival); return;
    case TFloat:
        setintvalue(v, 0);
        v.type = tc::Double;
        v.setdbl(s.dval);
        return;
    case TLParen: {
        TypeName tn;
        if (parsetypename(tn)) {
            castterm(v, tn);
            return;
        }
        parseexpr(v);
        musttoken(TRParen);
        return;
    }
    case TDot: dotvariable(v); return;
    case TName:
        if (failed()) {
            setintvalue(v, 0);
            return;
        }
        if (s.hasname && !s.hasfile && !s.hasfunc && std::strcmp(s.name, "sizeof") == 0) {
            sizeofterm(v);
            return;
        }
        nameterm(v);
        return;
    default:
        unscan(t);
        setintvalue(v, 0);
        seterror(13);
        return;
    }
}

// '.' name on a structure or union.
void member(ExprValue& v) {
    ExprState& s = st();
    int t = scantoken();
    if (t != TName || !s.hasname) {
        unscan(t);
        seterror(13);
        return;
    }
    if (v.derived() || (v.base() != tc::Struct && v.base() != tc::Union)) {
        seterror(55);
        return;
    }
    const AggregateDescriptor* agg = descof(v).agg;
    if (agg)
        for (const VarRecord& m : agg->members) {
            if (m.name != s.name) continue;
            uint32_t at = v.address + m.value;
            fromvar(v, m);
            v.address = at;
            v.kind = term::Mem;
            if (s.mode) loadvalue(v);
            return;
        }
    seterror(56);
}

bool indextype(const ExprValue& v) { return !v.derived() && (isintcode(v.base()) || isenumcode(v.base())); }

void subscript(ExprValue& v) {
    ExprState& s = st();
    uint32_t top = step::top(v.type);
    // '[' '#' ']': the whole array.
    const char* p = s.cursor;
    while (*p == ' ' || *p == '\t') ++p;
    if (!s.pushed && *p == '#') {
        const char* q = p + 1;
        while (*q == ' ' || *q == '\t') ++q;
        if (*q == ']') {
            s.cursor = q + 1;
            if (top != step::Arr) {
                seterror(55);
                return;
            }
            uint32_t dim = stepword(v);
            dropstep(v);
            v.kind = term::Mem;
            v.count = dim;
            if (s.mode) loadvalue(v);
            return;
        }
    }
    ExprValue index;
    parseexpr(index);
    uint32_t count = 0;
    bool many = false;
    int t = scantoken();
    if (t == THash) {
        ExprValue n;
        parseexpr(n);
        if (!failed() && !indextype(n)) seterror(55);
        count = n.u32();
        many = true;
        t = scantoken();
    }
    if (t != TRBracket) {
        unscan(t);
        seterror(13);
        return;
    }
    if (failed()) return;
    if ((top != step::Ptr && top != step::Arr) || !indextype(index)) {
        seterror(55);
        return;
    }
    if (top == step::Ptr) v.address = v.u32();
    dropstep(v);
    v.address += typesizeof(v) * index.u32();
    v.kind = term::Mem;
    v.count = many ? count : 0;
    if (s.mode) loadvalue(v);
}

void postfix(ExprValue& v) {
    for (;;) {
        int t = scantoken();
        switch (t) {
        case TDot: member(v); break;
        case TArrow:
            applyunary(TStar, v);
            member(v);
            break;
        case TLBracket: subscript(v); break;
        default: unscan(t); return;
        }
        if (failed()) return;
    }
}

void parseunary(ExprValue& v) {
    ExprState& s = st();
    if (++s.depth > MaxDepth) {
        seterror(13);
        --s.depth;
        return;
    }
    int t = scantoken();
    if (isprefix(t)) {
        parseunary(v);
        if (!failed()) applyunary(t, v);
    } else {
        primary(t, v);
        if (!failed()) postfix(v);
    }
    --s.depth;
}

}  // namespace

namespace exprimpl {
ExprState& st() { return g_state; }
const TypeDesc& nodesc() {
    static const TypeDesc empty;
    return empty;
}
}  // namespace exprimpl

ExprEnv& exprenv() { return g_env; }

void resetexpr() {
    g_env = ExprEnv{};
    g_state = ExprState{};
}

void bindexpr(Session& s) {
    g_env.debug = &s.prog.debug;
    g_env.regs = &s.target.regs;
    g_env.mem = &s.target.mem;
    g_env.splitmask = &s.target.splitmask;
}

void setradix(int radix) { g_env.radix = radix; }
void setassigncontext(bool on) { g_state.assigncontext = on; }

double ExprValue::dbl() const {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void ExprValue::setdbl(double d) { std::memcpy(&bits, &d, sizeof d); }

bool ExprValue::isfloat() const { return !derived() && isfloatcode(base()); }

ExprValue* xexpr(const char*& cursor, int& error, int mode) {
    ExprState& s = st();
    // The caller's evaluation goes on with its own state, also when a hook
    // called from here unwinds (a command that ends the program).
    struct Restore {
        ExprState& s;
        ExprState saved;
        ~Restore() { s = saved; }
    } restore{s, s};
    s.mode = mode;
    s.pushed = 0;
    s.error = 0;
    s.depth = 0;
    while (*cursor && static_cast<unsigned char>(*cursor) <= ' ') ++cursor;
    const char* start = cursor;
    s.cursor = cursor;
    s.tokstart = cursor;
    ExprPtr v(new ExprValue);
    parseexpr(*v);
    if (s.pushed && !s.error) s.cursor = s.pushedstart;
    const char* end = s.cursor;
    if (*start == ':') ++start;
    while (end > start && (static_cast<unsigned char>(end[-1]) <= ' ' || end[-1] == 0x7F)) --end;
    v->text.assign(start, end > start ? size_t(end - start) : 0);
    v->size = v->kind ? typesizeof(*v) : 0;
    cursor = s.cursor;
    error = s.error;
    return v.release();
}

void xfree(ExprValue* value) { delete value; }

int Expression(int mode, const char* text, int* isfloat, uint32_t* integer, double* real) {
    if (!text) return 13;
    const char* p = text;
    int error = 0;
    ExprPtr v(xexpr(p, error, mode));
    if (!error && mode) {
        bool f = v->isfloat();
        if (isfloat) *isfloat = f;
        if (f && real) *real = v->dbl();
        if (!f && integer) *integer = v->u32();
    }
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    if (*p) return 58;
    return error;
}

}  // namespace vek
