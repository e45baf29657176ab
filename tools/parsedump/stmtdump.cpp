// Statement trees of parsed functions (stmtdump.h).
#include "tools/parsedump/stmtdump.h"

#include <cstdio>

#include "parser/exprtree.h"
#include "tools/parsedump/exprdump.h"

namespace parsedump {

namespace {

using namespace cpppc;

constexpr int kMaxStmtDepth = 200;

std::string symname(const unsigned char* n) { return n ? std::string(nametext(n), namelength(n)) : std::string("<anonymous>"); }

std::string hexword(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
    return buf;
}

const char* kindname(uint8_t kind) {
    switch (kind) {
    case sk::Expr: return "expr";
    case sk::Compound: return "compound";
    case sk::AsmLine: return "asm";
    case sk::Break: return "break";
    case sk::Continue: return "continue";
    case sk::Do: return "do";
    case sk::For: return "for";
    case sk::Goto: return "goto";
    case sk::If: return "if";
    case sk::Return: return "return";
    case sk::Switch: return "switch";
    case sk::While: return "while";
    case sk::CountedLoop: return "counted";
    default: return nullptr;
    }
}

struct Dumper : IndentedText {
    Parser& P;
    explicit Dumper(Parser& p) : P(p) {}

    void expr(int indent, const std::string& head, const ExprNode* e) {
        if (e && e->op == opc::Sequence) {
            line(indent, head + " sequence");
            for (const StmtNode* s = e->stmts; s; s = s->next) stmt(indent + 1, s, 0);
            line(indent + 1, "value: " + prefixform(P, e->right));
            return;
        }
        line(indent, head + ": " + prefixform(P, e));
    }

    void locals(int indent, const Symbol* list) {
        for (const Symbol* s = list; s; s = s->next)
            line(indent, "local " + symname(s->name) + " class " + std::to_string(s->sclass) + " flags " + hexword(s->flags, 6) +
                             " value " + std::to_string(s->value) + ": " + shorttypetext(s->type));
    }

    void stmt(int indent, const StmtNode* s, int depth) {
        if (depth > kMaxStmtDepth) {
            line(indent, "...");
            return;
        }
        const char* k = kindname(s->kind);
        std::string head = k ? k : "kind " + std::to_string(s->kind);
        if (s->flags) head += " flags " + hexword(s->flags, 3);
        if (s->label) head += " label " + std::to_string(s->label);
        switch (s->kind) {
        case sk::Compound:
            line(indent, head);
            locals(indent + 1, s->locals);
            for (const StmtNode* c = s->body; c; c = c->next) stmt(indent + 1, c, depth + 1);
            return;
        case sk::AsmLine:
            if (s->asmtext) {
                line(indent, head + ": " + *s->asmtext);
                return;
            }
            line(indent, head);
            for (const StmtNode* c = s->body; c; c = c->next) stmt(indent + 1, c, depth + 1);
            return;
        case sk::Goto:
            head += " " + symname(s->gotolabel ? s->gotolabel->name : nullptr);
            break;
        case sk::If:
            expr(indent, head, s->expr);
            if (s->body) {
                line(indent + 1, "then");
                stmt(indent + 2, s->body, depth + 1);
            }
            if (s->aux) {
                line(indent + 1, "else");
                stmt(indent + 2, s->aux, depth + 1);
            }
            return;
        case sk::For:
        case sk::CountedLoop:
            line(indent, head);
            if (s->init) expr(indent + 1, "init", s->init);
            if (s->expr) expr(indent + 1, "test", s->expr);
            if (s->incr) expr(indent + 1, "incr", s->incr);
            if (s->body) {
                line(indent + 1, "body");
                stmt(indent + 2, s->body, depth + 1);
            }
            return;
        case sk::Do:
        case sk::While:
        case sk::Switch:
            expr(indent, head, s->expr);
            for (const Symbol* c = s->cases; c; c = c->next) {
                std::string at = std::to_string(c->stmt ? c->stmt->label : 0);
                if (c->sclass == sc::CaseLabel)
                    line(indent + 1, "case " + std::to_string(static_cast<int32_t>(c->value)) + " -> " + at);
                else
                    line(indent + 1, "default -> " + at);
            }
            if (s->body) {
                line(indent + 1, "body");
                stmt(indent + 2, s->body, depth + 1);
            }
            return;
        default: break;
        }
        if (s->expr)
            expr(indent, head, s->expr);
        else
            line(indent, head);
    }
};

}  // namespace

std::string functiondump(Parser& P, Symbol* f, StmtNode* body) {
    Dumper d(P);
    d.line(0, "function " + symname(f->name));
    TypeNode* t = f->type;
    for (Symbol* p = t ? t->params : nullptr; p; p = p->next) {
        if (!p->name) continue;
        Symbol* s = findordinary(P, p->name);
        if (!s) continue;
        d.line(1, "param " + symname(s->name) + " class " + std::to_string(s->sclass) + " offset " + std::to_string(s->value) +
                      " flags " + hexword(s->flags, 6) + ": " + shorttypetext(s->type));
    }
    if (body) d.stmt(1, body, 0);
    return d.out;
}

}  // namespace parsedump
