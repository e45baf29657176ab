// Macros and repeats: recording bodies and expanding them line by line.
//
// A macro body is recorded once, in the collecting pass; repeat bodies are
// recorded in every pass where they occur. An expansion is a reader on the
// reader stack that hands out its body lines with the arguments substituted;
// nesting is bounded so that a macro calling itself stops with an error.
#include "assembler/asm.h"

namespace as {

namespace {

constexpr int kMaxExpansionDepth = 200;
constexpr size_t kMaxArgs = 63;

enum MacroKind { M_MACRO = 0, M_ENDM = 1, M_MEXIT = 2, M_REPEAT = 3, M_REPEATL = 4, M_ENDR = 5, M_REXIT = 6 };

int macrokind(const OpcodeEntry* e) {
    if (!e || e->handler != macrodirective) return -1;
    return e->value;
}

bool droppedline(const OpcodeEntry* e) { return e && (e->name == "#line" || e->name == ".sfile"); }

bool isargchar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

// Cuts an operand text into arguments at commas; a quoted argument keeps its
// commas and blanks and loses its quotes.
std::vector<std::string> cutargs(Assembler& a, const std::string& text) {
    std::vector<std::string> args;
    size_t i = 0, n = text.size();
    auto skipblanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t')) i++;
    };
    skipblanks();
    if (i >= n || text[i] == ';') return args;
    for (;;) {
        skipblanks();
        std::string arg;
        if (!a.opt.m && i < n && (text[i] == '"' || text[i] == '\'')) {
            for (;;) {
                char q = text[i++];
                size_t end = text.find(q, i);
                if (end == std::string::npos) end = n;
                arg.append(text, i, end - i);
                i = end < n ? end + 1 : n;
                if (i < n && (text[i] == '"' || text[i] == '\'')) {
                    args.push_back(arg);
                    arg.clear();
                    continue;
                }
                break;
            }
            while (i < n && text[i] != ',' && text[i] != ';') i++;
        } else {
            while (i < n && text[i] != ',' && text[i] != ';') arg.push_back(text[i++]);
            while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t' || arg.back() == '\r')) arg.pop_back();
        }
        args.push_back(arg);
        if (i < n && text[i] == ',') {
            if (args.size() >= kMaxArgs) {
                asmerr(a, "too many arguments");
                break;
            }
            i++;
            continue;
        }
        break;
    }
    return args;
}

std::string resttext(Assembler& a) {
    asmskip(a);
    std::string rest;
    for (char c = curc(a); c; c = curc(a)) {
        rest.push_back(c);
        advance(a);
    }
    return rest;
}

// Pops the conditional stack back to the level an expansion started with.
void closeconds(Assembler& a, size_t level) {
    if (a.conds.size() < level) {
        asmerr(a, "bad if/endif balance");
        return;
    }
    a.conds.resize(level);
}

void startrepeat(Assembler& a) {
    auto e = std::make_unique<Expansion>();
    e->repeat = true;
    e->list = a.replist;
    e->body = a.recbody;
    e->condlevel = a.conds.size();
    if (a.replist) {
        std::string text = e->body->lines.empty() ? "" : e->body->lines.front();
        e->body->lines.erase(e->body->lines.begin());
        if (!text.empty() && text[0] == '\\') {
            size_t k = 1;
            while (k < text.size() && isargchar(text[k])) k++;
            e->argnames.push_back(text.substr(1, k - 1));
            while (k < text.size() && (text[k] == ' ' || text[k] == '\t' || text[k] == ',')) k++;
            text = text.substr(k);
        }
        e->args = cutargs(a, text);
        e->count = static_cast<uint32_t>(e->args.size());
    } else {
        e->count = a.repcount > 0 ? static_cast<uint32_t>(a.repcount) : 0;
    }
    a.recbody.reset();
    a.recrepeat = false;
    if (e->count == 0) return;
    if (a.expdepth >= kMaxExpansionDepth) {
        asmerr(a, "macro expansion nested too deeply");
        return;
    }
    e->number = ++a.expcounter;
    if (a.expdepth == 0) {
        e->savedmlist = a.mlist;
        e->restoremlist = true;
        a.mlist = true;
    }
    pushexpansion(a, std::move(e));
}

}  // namespace

void resetmacros(Assembler& a) {
    a.recmacro = a.recrepeat = a.recskip = false;
    a.recdepth = 0;
    a.recbody.reset();
    a.recentry = nullptr;
}

// The end of a pass's input: a body still being recorded never got its
// endm or endr, and the rest of the source went into it.
void endbodies(Assembler& a) {
    if ((a.recmacro || a.recrepeat) && a.pass > 0) a.passdiags.push_back(a.recopen);
    resetmacros(a);
}

void storebody(Assembler& a, const OpcodeEntry* e, const std::string& text) {
    int k = macrokind(e);
    if (droppedline(e)) return;
    if (a.recmacro) {
        if (k == M_MACRO) a.recdepth++;
        if (k == M_ENDM) {
            if (a.recdepth == 0) {
                a.recmacro = false;
                a.recskip = false;
                a.recbody.reset();
                return;
            }
            a.recdepth--;
        }
        if (!a.recskip && a.recbody) a.recbody->lines.push_back(text);
        return;
    }
    if (k == M_MACRO) {
        reporterr(a, "misplaced macro directive");
        return;
    }
    if (k == M_ENDR) {
        if (a.recdepth == 0) {
            startrepeat(a);
            return;
        }
        a.recdepth--;
    }
    if (k == M_REPEAT || k == M_REPEATL) a.recdepth++;
    a.recbody->lines.push_back(text);
}

void callmacro(Assembler& a, const OpcodeEntry& e) {
    std::string rest = resttext(a);
    if (!e.body) return;
    if (a.expdepth >= kMaxExpansionDepth) {
        asmerr(a, "macro expansion nested too deeply");
        return;
    }
    auto x = std::make_unique<Expansion>();
    x->number = ++a.expcounter;
    x->body = e.body;
    x->argnames = e.body->argnames;
    x->args = cutargs(a, rest);
    x->size = a.sizeletter;
    x->condlevel = a.conds.size();
    pushexpansion(a, std::move(x));
}

bool expandline(Assembler& a, Expansion& e, std::string& out) {
    while (e.next >= e.body->lines.size()) {
        if (!e.repeat || e.count <= 1) return false;
        e.count--;
        e.next = 0;
        e.number = ++a.expcounter;
        if (e.list && !e.args.empty()) e.args.erase(e.args.begin());
        if (e.body->lines.empty()) return false;
    }
    const std::string& raw = e.body->lines[e.next++];
    out.clear();
    a.skipoverride = false;
    if (!assembling(a)) {
        out = raw;
        return true;
    }
    auto arg = [&](size_t i) -> std::string { return i < e.args.size() ? e.args[i] : std::string(); };
    for (size_t i = 0; i < raw.size(); i++) {
        char c = raw[i];
        if (c != '\\' || i + 1 >= raw.size()) {
            out.push_back(c);
            continue;
        }
        char n = raw[i + 1];
        if (n == '@') {
            out += "." + std::to_string(e.number);
            i++;
        } else if (n == '#') {
            out += std::to_string(e.args.size());
            i++;
        } else if (n == '0') {
            if (e.size) out.push_back(e.size);
            i++;
        } else if (n == '*') {
            for (size_t k = 0; k < e.args.size(); k++) out += (k ? "," : "") + e.args[k];
            i++;
        } else if (n == '\\') {
            a.skipoverride = true;
            i++;
        } else if (n >= '1' && n <= '9' && (e.argnames.empty() || e.list)) {
            size_t idx = static_cast<size_t>(n - '1');
            if (idx >= e.args.size() && !a.opt.m) asmerr(a, "bad argument number");
            out += arg(idx);
            i++;
        } else if (e.argnames.empty() && n >= 'A' && n <= 'Z') {
            size_t idx = static_cast<size_t>(n - 'A') + 9;
            if (idx >= e.args.size() && !a.opt.m) asmerr(a, "bad argument number");
            out += arg(idx);
            i++;
        } else if (!e.argnames.empty() && (n == '(' || isargchar(n))) {
            size_t start = i + 1, end;
            std::string name;
            if (n == '(') {
                end = raw.find(')', start);
                if (end == std::string::npos) end = raw.size();
                name = raw.substr(start + 1, end - start - 1);
                end = std::min(end + 1, raw.size());
            } else {
                end = start;
                while (end < raw.size() && isargchar(raw[end])) end++;
                name = raw.substr(start, end - start);
            }
            size_t pos = 0;
            while (pos < e.argnames.size() && e.argnames[pos] != name) pos++;
            if (pos == e.argnames.size()) asmerr(a, "unknown macro argument " + name);
            else out += arg(pos);
            i = end - 1;
        } else {
            out.push_back(c);
        }
    }
    return true;
}

void macrodirective(Assembler& a, const OpcodeEntry& e, std::string_view label) {
    switch (e.value) {
    case M_MACRO: {
        if (!label.empty() && label[0] >= '0' && label[0] <= '9') {
            asmerr(a, "bad symbol name: " + std::string(label));
            return;
        }
        a.recmacro = true;
        a.recdepth = 0;
        a.recopen = diaghere(a, "missing endm");
        a.recskip = a.pass > 0;
        if (a.pass > 0) {
            while (curc(a)) advance(a);
            return;
        }
        OpcodeEntry* older = a.ops.find(label);
        OpcodeEntry* m;
        if (older && (older->flags & OP_MACRO)) {
            reporterr(a, "symbol " + std::string(label) + " multiply defined", true);
            a.recskip = true;
            while (curc(a)) advance(a);
            return;
        }
        if (older) {
            m = a.ops.addoverride(label, older);
            m->overrides = true;
        } else {
            m = a.ops.add(label, 0, 0, nullptr);
        }
        m->flags = OP_MACRO;
        m->body = std::make_shared<MacroBody>();
        a.recbody = m->body;
        asmskip(a);
        while (curc(a) == '\\') {
            advance(a);
            std::string name;
            while (isargchar(curc(a))) {
                name.push_back(curc(a));
                advance(a);
            }
            if (name.empty()) asmerr(a, "missing argument name");
            m->body->argnames.push_back(name);
            asmskip(a);
            if (curc(a) != ',') break;
            advance(a);
            asmskip(a);
        }
        return;
    }
    case M_REPEAT: {
        AsmValue v;
        getexpr(a, v);
        if (!v.absolute()) asmerr(a, "bad relocatable expression");
        a.recrepeat = true;
        a.recdepth = 0;
        a.recopen = diaghere(a, "missing endr");
        a.replist = false;
        a.repcount = static_cast<int32_t>(v.value);
        a.recbody = std::make_shared<MacroBody>();
        return;
    }
    case M_REPEATL:
        a.recrepeat = true;
        a.recdepth = 0;
        a.recopen = diaghere(a, "missing endr");
        a.replist = true;
        a.recbody = std::make_shared<MacroBody>();
        a.recbody->lines.push_back(resttext(a));
        return;
    case M_MEXIT:
    case M_REXIT: {
        size_t i = a.readers.size();
        bool wantmacro = e.value == M_MEXIT;
        while (i > 0) {
            Reader& r = a.readers[i - 1];
            if (r.kind == 'M' && (!wantmacro || !r.exp->repeat)) break;
            if (!wantmacro && r.kind == 'M') break;
            i--;
        }
        if (i == 0) {
            if (wantmacro) {
                // inside a repeat outside any macro: an error only in its last iteration
                for (size_t k = a.readers.size(); k > 0; k--)
                    if (a.readers[k - 1].kind == 'M') {
                        if (a.readers[k - 1].exp->count <= 1) asmerr(a, "no macro in expansion");
                        return;
                    }
                asmerr(a, "no macro in expansion");
            } else {
                asmerr(a, "no repeat in expansion");
            }
            return;
        }
        Reader& target = a.readers[i - 1];
        if (!wantmacro && !target.exp->repeat) {
            asmerr(a, "no repeat in expansion");
            return;
        }
        size_t level = target.exp->condlevel;
        while (a.readers.size() >= i) popreader(a);
        closeconds(a, level);
        return;
    }
    default:
        return;  // endm and endr outside a body have nothing to close
    }
}

}  // namespace as
