// The parser dump: a logging writer records the put operations, and at the
// end of the run the symbol table, the tags, the space tables and the
// attribute templates are printed in the documented form (parsedump.h).
#include "tools/parsedump/parsedump.h"

#include <cstdio>
#include <string>
#include <vector>

#include "parser/parser.h"
#include "parser/tokencodes.h"
#include "toollib/quit.h"
#include "tools/parsedump/exprdump.h"
#include "tools/parsedump/stmtdump.h"

namespace parsedump {

namespace {

using namespace cpppc;

std::string hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
    return buf;
}

std::string name(const unsigned char* n) { return n ? std::string(nametext(n), namelength(n)) : std::string("<anonymous>"); }

struct ClassName {
    uint8_t sclass;
    const char* text;
};
constexpr ClassName kClassNames[] = {
    {sc::None, "none"},        {sc::Placed, "placed"},       {sc::Param, "parameter"},
    {sc::RegParam, "register-parameter"}, {sc::Inline, "inline"}, {sc::Auto, "auto"},
    {sc::EnumConst, "enum-constant"}, {sc::Extern, "extern"}, {sc::Register, "register"},
    {sc::Static, "static"},    {sc::Member, "member"},       {sc::Typedef, "typedef"},
};

std::string classname(uint8_t c) {
    for (const ClassName& n : kClassNames)
        if (n.sclass == c) return std::to_string(c) + " " + n.text;
    return std::to_string(c);
}

struct BasicName {
    uint16_t code;
    const char* text;
};
constexpr BasicName kBasicNames[] = {
    {ty::Char, "char"}, {ty::UChar, "unsigned char"}, {ty::Short, "short"}, {ty::UShort, "unsigned short"},
    {ty::Int, "int"},   {ty::UInt, "unsigned int"},   {ty::Long, "long"},   {ty::ULong, "unsigned long"},
    {ty::Float, "float"}, {ty::Double, "double"},     {ty::Void, "void"},
};

// The put operations, one line each, in call order.
struct LogWriter : IrWriter {
    std::vector<std::string>& log;
    explicit LogWriter(std::vector<std::string>& l) : log(l) {}
    void datalabel(Parser&, Symbol& s) override { log.push_back("putdatalabel " + name(s.name)); }
    void reserve(Parser&, uint32_t n) override { log.push_back("putreserve " + std::to_string(n)); }
    void enddata(Parser&) override { log.push_back("putenddata"); }
    void def(Parser&, Symbol& s, int mode) override { log.push_back("putdef " + name(s.name) + " " + std::to_string(mode)); }
    void space(Parser&, Symbol& s) override { log.push_back("putspace " + name(s.name)); }
    void section(Parser&, uint32_t line, uint16_t word, const unsigned char* n) override {
        log.push_back("putsection " + std::to_string(line) + " " + hex(word, 4) + " " + (n ? name(n) : "-"));
    }
    void literals(Parser&) override { log.push_back("putliterals"); }
    void value(Parser&, uint32_t v, int size) override {
        log.push_back("putvalue " + hex(v, 2 * (size > 0 && size < 4 ? size : 4)) + " " + std::to_string(size));
    }
    void floating(Parser&, double v, int size) override {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        log.push_back(std::string("putdouble ") + buf + " " + std::to_string(size));
    }
    void address(Parser& P, const ExprNode& e, int size) override {
        log.push_back("putaddress " + prefixform(P, &e) + " " + std::to_string(size));
    }
    void bytes(Parser&, const unsigned char* text, uint32_t length) override {
        std::string s = "putbytes " + std::to_string(length) + " \"";
        for (uint32_t i = 0; i < length; ++i) {
            unsigned char c = text[i];
            if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
                s += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\%03o", c);
                s += buf;
            }
        }
        log.push_back(s + "\"");
    }
    void litlabel(Parser&, uint32_t label, int align) override {
        log.push_back("putlitlabel " + std::to_string(label) + " " + std::to_string(align));
    }
};

struct Printer : IndentedText {
    Parser& P;
    explicit Printer(Parser& p) : P(p) {}

    std::string params(TypeNode* f) {
        std::string s;
        for (Symbol* p = f->params; p; p = p->next) {
            if (p != f->params) s += ", ";
            if (!p->type) {
                s += name(p->name);
                continue;
            }
            s += type(p->type);
            if (p->name) s += " " + name(p->name);
        }
        return s;
    }

    std::string type(TypeNode* t) {
        if (!t) return "none";
        for (const BasicName& b : kBasicNames)
            if (t->code == b.code) return b.text;
        if (ty::isbitfield(t->code)) {
            const char* unit = (t->code & 0xF0) == 0x10 ? "char" : (t->code & 0xF0) == 0x20 ? "short" : "int";
            return std::string("bit-field of ") + unit + " unit at " + std::to_string(t->bitpos()) + " width " +
                   std::to_string(t->bitwidth());
        }
        switch (t->code) {
        case ty::Pointer: return "pointer " + hex(t->pointerattr(), 4) + " to " + type(t->subtype);
        case ty::Array:
            return "array[" + (t->count() ? std::to_string(t->count()) : std::string()) + "] of " + type(t->subtype);
        case ty::Function: return "function(" + params(t) + ") returning " + type(t->subtype);
        case ty::Struct: return "struct " + name(t->tag ? t->tag->name : nullptr);
        case ty::Union: return "union " + name(t->tag ? t->tag->name : nullptr);
        case ty::Enum: return "enum " + name(t->tag ? t->tag->name : nullptr);
        default: return "code " + hex(t->code, 2);
        }
    }

    std::string layout(TypeNode* t) {
        return "(size " + std::to_string(typesize(P, t)) + ", align " + std::to_string(1 << alignclass(t)) + ")";
    }

    // The members of a struct or union without tag, below the line naming it.
    void untagged(TypeNode* t, int indent) {
        while (t && (t->code == ty::Array || t->code == ty::Pointer)) t = t->subtype;
        if (t && (t->code == ty::Struct || t->code == ty::Union) && !t->tag) members(t, indent);
    }

    void members(TypeNode* t, int indent) {
        for (Symbol* m = t->members; m; m = m->next) {
            std::string text = name(m->name) + " offset " + std::to_string(m->value);
            if (m->type && ty::isbitfield(m->type->code))
                text += " bits " + std::to_string(m->type->bitpos()) + " width " + std::to_string(m->type->bitwidth());
            text += " flags " + hex(m->flags, 6) + " attributes " + hex(m->attributes, 4) + ": " + type(m->type);
            line(indent, text);
            untagged(m->type, indent + 1);
        }
    }

    void symbols() {
        line(0, "symbols");
        std::vector<Symbol*> list;
        for (Symbol* s = P.syms.scopes.ordinary; s; s = s->next) list.push_back(s);
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            Symbol* s = *it;
            uint32_t label = s->sclass == sc::Static ? (s->value & 0xFFFF) : 0;
            std::string value = s->sclass == sc::EnumConst ? std::to_string(static_cast<int32_t>(s->value)) : std::to_string(s->value);
            line(1, name(s->name) + " class " + classname(s->sclass) + " flags " + hex(s->flags, 6) + " attributes " +
                        hex(s->attributes, 4) + " value " + value + " label " + std::to_string(label));
            TypeNode* t = s->type;
            line(2, "type " + type(t) + " " + layout(t));
            untagged(t, 3);
        }
    }

    void tags() {
        line(0, "tags");
        std::vector<Symbol*> list;
        for (Symbol* s = P.syms.scopes.tags; s; s = s->next) list.push_back(s);
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            TypeNode* t = (*it)->type;
            if (t->code == ty::Enum) {
                line(1, "enum " + name((*it)->name) + " underlying " + type(t->subtype));
                for (Symbol* c = t->members; c; c = c->enumnext)
                    line(2, name(c->name) + " = " + std::to_string(static_cast<int32_t>(c->value)));
                continue;
            }
            line(1, type(t) + " size " + std::to_string(t->members ? t->size : 0) + " align " +
                        std::to_string(1 << alignclass(t)));
            members(t, 2);
        }
    }

    void spaces() {
        line(0, "spaces");
        std::vector<Symbol*> list;
        for (Symbol* s = P.syms.scopes.spaces; s; s = s->next) list.push_back(s);
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            line(1, name((*it)->name) + " " + hex((*it)->attributes, 4) + (((*it)->flags & sf::Declared) ? " announced" : ""));
    }

    std::string entries(const uint16_t* e) {
        std::string s;
        for (int i = 0; i < 4; ++i) s += " " + hex(e[i], 4);
        return s;
    }

    void defaults() {
        const SpaceTables& S = P.spaces;
        line(0, "defaults");
        line(1, "data" + entries(S.data));
        line(1, "code" + entries(S.code));
        if (S.consttable == S.data)
            line(1, "const data");
        else if (S.consttable == S.code)
            line(1, "const code");
        else
            line(1, "const own" + entries(S.own));
    }

    void attributes() {
        line(0, "attributes");
        std::vector<Symbol*> list;
        for (Symbol* s = P.syms.scopes.attributes; s; s = s->next) list.push_back(s);
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            line(1, name((*it)->name) + " class " + classname((*it)->sclass) + " attributes " + hex((*it)->attributes, 4));
            line(2, "type " + type((*it)->type));
        }
    }
};

// parsedump's own options, taken out of the argument list.
struct DumpOptions {
    std::vector<std::string> exprs;
    bool ctext = false;
    bool flags = false;
};

std::vector<char*> takeoptions(int argc, char** argv, DumpOptions& d) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (i > 0 && a == "--expr" && i + 1 < argc) {
            d.exprs.push_back(argv[++i]);
        } else if (i > 0 && a.rfind("--expr=", 0) == 0) {
            d.exprs.push_back(a.substr(7));
        } else if (i > 0 && a == "--ctext") {
            d.ctext = true;
        } else if (i > 0 && a == "--flags") {
            d.flags = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    rest.push_back(nullptr);
    return rest;
}

// Reads to the next ';' (or the end of the list).
void skipstatement(Parser& P) {
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::Semi) return;
        if (t->code == tok::End) {
            pushtoken(P);
            return;
        }
    }
}

bool startsdeclaration(Parser& P, const Token* t) {
    uint16_t c = t->code;
    return startstypename(P, t) || c == kw::Register || c == kw::Auto || c == kw::Static || c == kw::Extern;
}

// A declaration among the expressions: its names become objects of the
// scope the expressions see (auto when no class is given), and an
// initializer is an assignment to the new object.
ExprNode* localdecl(Parser& P) {
    Decl common;
    declhead(P, common, allow::Block);
    ExprNode* init = nullptr;
    for (;;) {
        Decl d = common;
        if (!declarator(P, d) || !d.s.name) break;
        uint8_t sclass = d.s.sclass ? d.s.sclass : sc::Auto;
        Symbol* s = newsym(P, &P.syms.scopes.ordinary, d.s.name, sclass, d.s.type);
        s->attributes = defaultspace(P, d.s.attributes, sclass, d.s.type ? d.s.type->code : 0);
        s->flags |= sf::Declared;
        if (sclass == sc::Static) s->value = nextlabel(P);
        if (nexttoken(P)->code == tok::Assign) {
            ExprNode* target = newexpr(P, 0);
            target->leafbits = leaf::Contents | leaf::Symbol | leaf::InitTarget;
            target->sym = s;
            target->type = s->type;
            ExprNode* a = newexpr(P, tok::Assign);
            a->left = target;
            a->right = assignexpr(P);
            if (!a->right) a->right = mkintconst(P, nullptr, 0);
            init = binop(P, a);
        } else {
            pushtoken(P);
        }
        if (nexttoken(P)->code != tok::Comma) {
            pushtoken(P);
            break;
        }
    }
    return init;
}

// The expressions of one --expr text, parsed as statements of straight-line
// code after the file's declarations; each finished tree is printed.
void parseexprs(Parser& P, const std::string& text, const DumpOptions& d, std::vector<std::string>& out) {
    // a ';' at the end, so that messages about the last expression have a place
    std::string line = text + " ;";
    PpToken* list = splittokens(P, keeptext(P, line.data(), line.size()));
    expandmacros(P, &list, 0);
    settokensource(P, list);
    for (;;) {
        Token* t = nexttoken(P);
        if (t->code == tok::End) break;
        if (t->code == tok::Semi) continue;
        bool declaration = startsdeclaration(P, t);
        pushtoken(P);
        ExprNode* e = declaration ? localdecl(P) : commaexpr(P, 1);
        if (declaration && !e) {
            if (nexttoken(P)->code != tok::Semi) {
                putdiag(P, "missing ;");
                skipstatement(P);
            }
            continue;
        }
        bool complex = P.ex.toocomplex;
        P.ex.toocomplex = false;
        if (!e || complex) {
            if (!complex) putdiag(P, "missing expression");
            skipstatement(P);
            continue;
        }
        foldexpr(P, e, 0);
        out.push_back(d.ctext ? ctext(P, e) : prefixform(P, e, d.flags));
        t = nexttoken(P);
        if (t->code == tok::End) break;
        if (t->code != tok::Semi) {
            putdiag(P, "missing ;");
            skipstatement(P);
        }
    }
    settokensourcedone(P);
}

}  // namespace

int run(int argc, char** argv) {
    DumpOptions dump;
    std::vector<char*> args = takeoptions(argc, argv, dump);
    argc = static_cast<int>(args.size()) - 1;
    argv = args.data();
    std::vector<std::string> log;
    std::vector<std::string> exprs;
    RunHooks hooks;
    hooks.writer = std::make_unique<LogWriter>(log);
    hooks.nooutput = true;
    hooks.beforeend = [&](Parser& P) {
        for (const std::string& x : dump.exprs) parseexprs(P, x, dump, exprs);
    };
    std::vector<std::string> functions;
    hooks.onfunction = [&](Parser& P, Symbol* f, StmtNode* body) { functions.push_back(functiondump(P, f, body)); };
    std::string text;
    hooks.atend = [&](Parser& P) {
        if (P.opt.e) return;
        Printer pr(P);
        pr.symbols();
        pr.tags();
        pr.spaces();
        pr.defaults();
        pr.attributes();
        pr.line(0, "writer");
        for (const std::string& l : log) pr.line(1, l);
        if (!functions.empty()) {
            pr.line(0, "functions");
            for (const std::string& f : functions) {
                size_t pos = 0;
                while (pos < f.size()) {
                    size_t end = f.find('\n', pos);
                    if (end == std::string::npos) end = f.size();
                    pr.line(1, f.substr(pos, end - pos));
                    pos = end + 1;
                }
            }
        }
        if (!dump.exprs.empty()) {
            pr.line(0, "expressions");
            for (const std::string& l : exprs) pr.line(1, l);
        }
        text = std::move(pr.out);
    };
    int status = cpppc::runfront(argc, argv, hooks);
    tl::putout(text);
    return status;
}

}  // namespace parsedump
