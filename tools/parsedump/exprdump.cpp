// Prefix form and C text of expression trees (exprdump.h).
#include "tools/parsedump/exprdump.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "parser/exprtree.h"
#include "parser/tokencodes.h"

namespace parsedump {

namespace {

using namespace cpppc;

constexpr int kMaxDepth = 400;  // deeper subtrees print as "..."

std::string name(const Symbol* s) { return s && s->name ? std::string(nametext(s->name), namelength(s->name)) : "?"; }

const char* opname(uint8_t op) {
    switch (op) {
    case opc::Comma: return ",";
    case opc::Cond: return "?:";
    case opc::PostInc: return "post++";
    case opc::PostDec: return "post--";
    case opc::ArgCell: return "arg";
    case opc::Cast: return "cast";
    case opc::Call: return "call";
    case opc::Neg: return "neg";
    case opc::Ind: return "ind";
    case opc::Addr: return "addr";
    case opc::Sequence: return "seq";
    default: break;
    }
    for (const Punctuator& p : kPunctuators)
        if (p.code == op) return p.text;
    return "?";
}

// The operator's C spelling (prefix operators without their operand).
const char* cop(uint8_t op) {
    switch (op) {
    case opc::Neg: return "-";
    case opc::Ind: return "*";
    case opc::Addr: return "&";
    default: return opname(op);
    }
}

std::string number(double d) {
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, d);
        if (std::strtod(buf, nullptr) == d) break;
    }
    return buf;
}

std::string quoted(const Literal* l) {
    std::string s = "\"";
    for (uint32_t i = 0; l && i < l->length; ++i) {
        unsigned char c = l->bytes[i];
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            s += buf;
        }
    }
    return s + "\"";
}

std::string shorttype(TypeNode* t, int depth = 0) {
    if (!t) return "none";
    if (depth > 16) return "...";
    switch (t->code) {
    case ty::Char: return "char";
    case ty::UChar: return "uchar";
    case ty::Short: return "short";
    case ty::UShort: return "ushort";
    case ty::Int: return "int";
    case ty::UInt: return "uint";
    case ty::Long: return "long";
    case ty::ULong: return "ulong";
    case ty::Float: return "float";
    case ty::Double: return "double";
    case ty::Void: return "void";
    case ty::Pointer: return "ptr(" + shorttype(t->subtype, depth + 1) + ")";
    case ty::Array: return "arr[" + std::to_string(t->count()) + "](" + shorttype(t->subtype, depth + 1) + ")";
    case ty::Function: return "fn(" + shorttype(t->subtype, depth + 1) + ")";
    case ty::Struct: return "struct " + name(t->tag);
    case ty::Union: return "union " + name(t->tag);
    case ty::Enum: return "enum " + name(t->tag);
    default: break;
    }
    if (ty::isbitfield(t->code)) {
        const char* unit = (t->code & 0xF0) == 0x10 ? "char" : (t->code & 0xF0) == 0x20 ? "short" : "int";
        return std::string("bits(") + unit + "," + std::to_string(t->bitpos()) + "," + std::to_string(t->bitwidth()) + ")";
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "t%02x", t->code);
    return buf;
}

std::string constvalue(const ExprNode* e) {
    uint16_t c = tcode(e);
    char buf[24];
    if (c == ty::Pointer)
        std::snprintf(buf, sizeof buf, "0x%" PRIx32, e->value);
    else if (isunsignedcode(c))
        std::snprintf(buf, sizeof buf, "%" PRIu32, e->value);
    else
        std::snprintf(buf, sizeof buf, "%" PRId32, static_cast<int32_t>(e->value));
    return buf;
}

std::string offset(uint32_t v) {
    if (v == 0) return "";
    return static_cast<int32_t>(v) < 0 ? std::to_string(static_cast<int32_t>(v)) : "+" + std::to_string(v);
}

struct Prefix {
    Parser& P;
    bool flags;
    std::string out;

    void leafnode(const ExprNode* e) {
        bool contents = e->leafbits & leaf::Contents;
        if (e->leafbits & leaf::Symbol) {
            out += (contents ? "" : "&") + name(e->sym) + offset(e->value);
        } else if (e->leafbits & leaf::Literal) {
            if (ty::isfloating(tcode(e)))
                out += number(floatvalue(e));
            else
                out += (contents ? "" : "&") + quoted(e->lit) + offset(e->value);
        } else if (contents) {
            char buf[24];
            std::snprintf(buf, sizeof buf, "*0x%" PRIx32, e->value);
            out += buf;
        } else {
            out += constvalue(e);
        }
        out += ":" + shorttype(e->type);
    }

    void tag(const ExprNode* e) {
        if (flags && (e->nflags & 0x3C)) out += "#" + std::to_string(e->nflags & 0x3C);
    }

    void print(const ExprNode* e, int depth) {
        if (!e) {
            out += "-";
            return;
        }
        if (depth > kMaxDepth) {
            out += "...";
            return;
        }
        if (e->op == opc::Leaf) {
            leafnode(e);
            tag(e);
            return;
        }
        out += "(";
        out += opname(e->op);
        out += " " + shorttype(e->type);
        tag(e);
        if (e->op == opc::Call) {
            out += " ";
            print(e->left, depth + 1);
            for (const ExprNode* a = e->right; a;) {
                out += " ";
                print(a->op == opc::ArgCell ? a->left : a, depth + 1);
                a = a->op == opc::ArgCell ? a->right : nullptr;
            }
        } else {
            for (const ExprNode* k : {e->left, e->middle, e->right}) {
                if (!k) continue;
                out += " ";
                print(k, depth + 1);
            }
        }
        out += ")";
    }
};

// ---- C text ----

std::string ctype(TypeNode* t) {
    t = basetype(t);
    if (!t) return "int";
    switch (t->code) {
    case ty::Char: return "signed char";
    case ty::UChar: return "unsigned char";
    case ty::Short: return "short";
    case ty::UShort: return "unsigned short";
    case ty::Int: return "int";
    case ty::UInt: return "unsigned int";
    case ty::Long: return "long";
    case ty::ULong: return "unsigned long";
    case ty::Float: return "float";
    case ty::Double: return "double";
    case ty::Void: return "void";
    case ty::CharField:
    case ty::ShortField: return "int";
    case ty::IntField: return "unsigned int";
    case ty::LongField: return "unsigned long";
    case ty::Pointer: return ctype(t->subtype) + " *";
    case ty::Struct: return "struct " + name(t->tag);
    case ty::Union: return "union " + name(t->tag);
    default: return "int";
    }
}

struct CText {
    Parser& P;

    std::string cast(TypeNode* t, const std::string& x) { return "((" + ctype(t) + ")(" + x + "))"; }

    // The value of bytes [o, o + size) of an object whose whole value is
    // `base` (of `basesize` bytes), most significant byte first.
    std::string part(const std::string& base, uint32_t basesize, uint32_t o, TypeNode* t) {
        uint32_t size = typesize(P, t);
        if (o == 0 && size == basesize) return cast(t, base);
        if (o + size > basesize) return "/* read past the object */";
        uint32_t shift = 8 * (basesize - o - size);
        return cast(t, "(unsigned int)(" + base + ") >> " + std::to_string(shift));
    }

    std::string named(const ExprNode* e) {
        const Symbol* s = e->sym;
        TypeNode* st = basetype(s->type);
        TypeNode* t = basetype(e->type);
        std::string n = name(s);
        uint32_t o = e->value;
        if (!(e->leafbits & leaf::Contents)) return cast(e->type, "(char *)&" + n + " + " + std::to_string(o));
        if (st && (st->code == ty::Struct || st->code == ty::Union)) {
            for (const Symbol* m = st->members; m; m = m->next) {
                TypeNode* mt = basetype(m->type);
                if (!mt) continue;
                std::string access = n + "." + name(m);
                if (ty::isbitfield(t->code)) {
                    if (m->value == o && ty::isbitfield(mt->code) && mt->bitpos() == t->bitpos() && mt->bitwidth() >= t->bitwidth()) {
                        if (mt->bitwidth() == t->bitwidth()) return access;
                        uint32_t mask = (1u << t->bitwidth()) - 1;
                        return "(" + access + " & " + std::to_string(mask) + "u)";
                    }
                    continue;
                }
                if (ty::isbitfield(mt->code)) continue;
                uint32_t msize = typesize(P, mt);
                if (o >= m->value && o + typesize(P, t) <= m->value + msize) {
                    if (o == m->value && sametype(P, mt, t)) return access;
                    return part(access, msize, o - m->value, e->type);
                }
            }
            return "/* no member at " + std::to_string(o) + " */";
        }
        if (st && st->code == ty::Array) {
            uint32_t es = typesize(P, st->subtype);
            uint32_t index = es ? o / es : 0;
            std::string access = n + "[" + std::to_string(index) + "]";
            if (o % es == 0 && sametype(P, st->subtype, t)) return access;
            return part(access, es, o - index * es, e->type);
        }
        if (o == 0 && sametype(P, st, t)) return n;
        return part(n, typesize(P, st), o, e->type);
    }

    std::string leafnode(const ExprNode* e) {
        if (e->leafbits & leaf::Symbol) return named(e);
        if (e->leafbits & leaf::Literal) {
            if (ty::isfloating(tcode(e))) {
                char buf[48];
                std::snprintf(buf, sizeof buf, "%a", floatvalue(e));
                return cast(e->type, buf);
            }
            std::string s = quoted(e->lit);
            return e->value ? "(" + s + " + " + std::to_string(e->value) + ")" : s;
        }
        char buf[24];
        std::snprintf(buf, sizeof buf, "0x%" PRIx32 "u", e->value);
        if (e->leafbits & leaf::Contents) return "(*(" + ctype(e->type) + " *)" + buf + ")";
        return cast(e->type, buf);
    }

    std::string print(const ExprNode* e, int depth) {
        if (!e) return "0";
        if (depth > kMaxDepth) return "/* too deep */";
        if (e->op == opc::Leaf) return leafnode(e);
        auto sub = [&](const ExprNode* k) { return print(k, depth + 1); };
        switch (e->op) {
        case opc::Ind: return "(*" + sub(e->left) + ")";
        case opc::Addr: return "(&" + sub(e->left) + ")";
        case opc::Neg:
        case opc::Not:
        case opc::Compl: return cast(e->type, std::string(cop(e->op)) + sub(e->left));
        case opc::Cast: return cast(e->type, sub(e->left));
        case opc::Cond: return cast(e->type, sub(e->left) + " ? " + sub(e->middle) + " : " + sub(e->right));
        case opc::PostInc:
        case opc::PostDec: return cast(e->type, sub(e->left) + (e->op == opc::PostInc ? "++" : "--"));
        case opc::Call: {
            std::string args;
            for (const ExprNode* a = e->right; a;) {
                if (!args.empty()) args += ", ";
                args += sub(a->op == opc::ArgCell ? a->left : a);
                a = a->op == opc::ArgCell ? a->right : nullptr;
            }
            return cast(e->type, sub(e->left) + "(" + args + ")");
        }
        default: break;
        }
        return cast(e->type, sub(e->left) + " " + cop(e->op) + " " + sub(e->right));
    }
};

}  // namespace

std::string prefixform(Parser& P, const ExprNode* e, bool flags) {
    Prefix p{P, flags, {}};
    p.print(e, 0);
    return p.out;
}

std::string shorttypetext(TypeNode* t) { return shorttype(t); }

std::string ctext(Parser& P, const ExprNode* e) {
    CText c{P};
    return c.print(e, 0);
}

}  // namespace parsedump
