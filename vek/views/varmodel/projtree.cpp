// Project trees (see projtree.h).
#include "vek/views/varmodel/projtree.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

#include "vek/core/exec/hooks.h"

namespace vek {

namespace {

bool sortsbefore(const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

ProjNode* insertsorted(std::vector<std::unique_ptr<ProjNode>>& list, std::unique_ptr<ProjNode> n, ProjNode* parent) {
    n->parent = parent;
    auto at = std::upper_bound(list.begin(), list.end(), n->text,
                               [](const std::string& t, const std::unique_ptr<ProjNode>& x) { return sortsbefore(t, x->text); });
    return (*list.insert(at, std::move(n))).get();
}

std::unique_ptr<ProjNode> node(ProjNode::Kind k, std::string text) {
    auto n = std::make_unique<ProjNode>();
    n->kind = k;
    n->text = std::move(text);
    return n;
}

bool shown(const FunctionRecord& f) { return !f.name.empty() && f.name[0] != '.'; }

std::string functext(const FunctionRecord& f) { return f.name + "(" + f.argtext + ")"; }

void addvar(std::vector<std::unique_ptr<ProjNode>>& list, ProjNode* parent, const VarRecord& v, const FileRecord* file) {
    auto n = node(ProjNode::Var, projvartext(v));
    n->var = &v;
    n->file = file;
    bool agg = (v.type >> 30) == 0 && (uint8_t(v.type) == 72 || uint8_t(v.type) == 73);
    uint32_t t = v.type;
    bool arr = false;
    while (t >> 30) {
        if ((t >> 30) == 3) arr = true;
        t = ((t & 0xFFFFFF00u) << 2) | (t & 0xFFu);
    }
    n->aggregateimage = agg || arr;
    ProjNode* me = insertsorted(list, std::move(n), parent);
    if (agg && v.desc.agg)
        for (const auto& m : v.desc.agg->members) {
            if (m.name.empty()) break;
            addvar(me->children, me, m, nullptr);
        }
}

const FunctionRecord* scopeof(const FileRecord& f) { return f.funcs.empty() ? nullptr : f.funcs.back().get(); }

void addfile(std::vector<std::unique_ptr<ProjNode>>& list, ProjNode* parent, const FileRecord& f) {
    auto n = node(ProjNode::File, f.name);
    n->file = &f;
    ProjNode* me = insertsorted(list, std::move(n), parent);
    const FunctionRecord* scope = scopeof(f);
    ProjNode* book = nullptr;
    for (const auto& fn : f.funcs) {
        if (fn.get() == scope || !shown(*fn)) continue;
        if (!book) book = insertsorted(me->children, node(ProjNode::FuncBook, "Functions"), me);
        auto c = node(ProjNode::Func, functext(*fn));
        c->func = fn.get();
        c->file = &f;
        insertsorted(book->children, std::move(c), book);
    }
    if (!scope) return;
    ProjNode* vbook = nullptr;
    for (const auto& v : scope->vars) {
        if (v.sclass == sc::TType || v.sclass == sc::TLabel || v.sclass == sc::TGLabel) continue;
        if (!vbook) vbook = insertsorted(me->children, node(ProjNode::VarBook, "Variables"), me);
        addvar(vbook->children, vbook, v, &f);
    }
}

void addfuncs(std::vector<std::unique_ptr<ProjNode>>& list, ProjNode* parent, const FileRecord& f) {
    const FunctionRecord* scope = scopeof(f);
    for (const auto& fn : f.funcs) {
        if (fn.get() == scope || !shown(*fn)) continue;
        auto c = node(ProjNode::Func, functext(*fn));
        c->func = fn.get();
        c->file = &f;
        insertsorted(list, std::move(c), parent);
    }
}

}  // namespace

std::string projvartext(const VarRecord& v) {
    std::string t = v.name;
    uint32_t type = v.type;
    size_t cursor = 0;
    while (type >> 30) {
        if ((type >> 30) == 3) {
            uint32_t n = cursor < v.desc.steps.size() ? v.desc.steps[cursor] : 0;
            t += "[" + std::to_string(n) + "]";
        }
        ++cursor;
        type = ((type & 0xFFFFFF00u) << 2) | (type & 0xFFu);
    }
    return t;
}

std::string qualifiedname(const ProjNode& n) {
    std::string q = n.var ? n.var->name : n.text;
    for (const ProjNode* p = n.parent; p && p->kind == ProjNode::Var; p = p->parent) q = p->var->name + "." + q;
    return q;
}

ProjTrees buildprojtrees(const DebugInfo& di) {
    ProjTrees t;
    if (di.files.empty()) return t;
    bool split = (di.splitmask & 0x08) != 0;
    ProjNode* filefolder[2] = {};
    ProjNode* funcfolder[2] = {};
    if (split)
        for (int core = 0; core < 2; ++core) {
            filefolder[core] = insertsorted(t.files, node(ProjNode::FileFolder, std::string(coretag(core)) + " Source Files"), nullptr);
            funcfolder[core] = insertsorted(t.funcs, node(ProjNode::FuncFolder, std::string(coretag(core)) + " Functions"), nullptr);
        }
    for (const auto& f : di.files) {
        if (!f) continue;
        int core = f->core ? 1 : 0;
        if (split) {
            addfile(filefolder[core]->children, filefolder[core], *f);
            addfuncs(funcfolder[core]->children, funcfolder[core], *f);
        } else {
            addfile(t.files, nullptr, *f);
            addfuncs(t.funcs, nullptr, *f);
        }
        if (const FunctionRecord* scope = scopeof(*f))
            for (const auto& v : scope->vars)
                if (v.sclass == sc::FixExt) addvar(t.vars, nullptr, v, f.get());
    }
    return t;
}

bool projenabled(int id, const ProjNode& n, bool xref) {
    if (id == projcmd::FuncXref || id == projcmd::VarXref) return xref;
    if (id == projcmd::Update && n.var) {
        const VarRecord& v = *n.var;
        if (v.type >> 30) return (v.type >> 30) == 1;   // pointers update, arrays do not
        uint8_t c = uint8_t(v.type);
        return !(c == 72 || c == 73 || c == 40 || c == 41 || c == 42);
    }
    return true;
}

std::string projcommand(int id, const ProjNode& n) {
    using namespace projcmd;
    if (n.func) {
        const FunctionRecord& f = *n.func;
        switch (id) {
        case FuncXref: return "xref " + f.name + "()";
        case BreakEntry: return "break /e " + f.name + "()";
        case GotoEntry: return "go " + f.name + "():" + std::to_string(f.firstline);
        default: return "";
        }
    }
    if (!n.var) return "";
    std::string q = qualifiedname(n);
    const ProjNode* top = &n;
    while (top->parent && top->parent->kind == ProjNode::Var) top = top->parent;
    std::string file = top->file ? top->file->name + ":" : "";
    switch (id) {
    case VarXref: return "xref " + n.var->name;
    case Evaluate: return "eval " + q;
    case Monitor: return "monit " + q;
    case AccessBreak: return "dbreak /t:a " + file + q;
    case ReadBreak: return "dbreak /t:r " + file + q;
    case WriteBreak: return "dbreak /t:w " + file + q;
    default: return "";
    }
}

std::string projinfo(const ProjNode& n) {
    char buf[64];
    if (n.func) {
        const FunctionRecord& f = *n.func;
        uint32_t at = f.start ? f.start->address : 0;
        std::snprintf(buf, sizeof buf, "0x%x", at);
        std::string ret = f.rettext;
        while (!ret.empty() && ret.back() == ' ') ret.pop_back();
        return ret + " " + f.name + "(" + f.argtext + ") at " + buf + " in (" + (f.file ? f.file->name : "") + ")";
    }
    if (!n.var) return "";
    std::snprintf(buf, sizeof buf, "at 0x%x ", n.var->value);
    std::string t = buf + vardecl(*n.var);
    if (n.file && n.parent && n.parent->kind != ProjNode::Var) t += " (in " + n.file->name + ")";
    return t;
}

namespace {
std::string afterequal(const std::string& out) {
    size_t eq = out.find('=');
    if (eq == std::string::npos) return "";
    std::string v = out.substr(eq + 1);
    if (!v.empty() && v.back() == '\n') v.pop_back();
    return v;
}
}  // namespace

void UpdateDialogLogic::open(const std::string& e) {
    expr = e;
    field = afterequal(run ? run("eval " + e) : "");
}

void UpdateDialogLogic::format(char letter) {
    field = afterequal(run ? run(std::string("eval /") + letter + " " + expr) : "");
}

bool UpdateDialogLogic::ok() {
    if (field.empty()) return false;
    if (run) run("updat " + expr + "=" + field);
    return true;
}

}  // namespace vek
