// Locals, Globals and aggregate window contents (see varwins.h).
#include "vek/views/varmodel/varwins.h"

#include <algorithm>

#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"

namespace vek {

void filllocals(VarTree& tree, const LocalsFrame& frame, const VarAddrFn& addr) {
    tree.clear();
    tree.frameset = frame.frameset;
    const FunctionRecord* f = frame.func;
    if (!f) return;
    size_t end = f->vars.size();
    if (!frame.frameset) end = f->firstlocal < 0 ? f->vars.size() : size_t(f->firstlocal);
    if (!frame.frameset && f->firstlocal < 0) {
        // no locals: the arguments are the whole list but labels
        end = 0;
        while (end < f->vars.size() && (sc::isargument(f->vars[end].sclass) || f->vars[end].sclass == sc::IntrArg)) ++end;
    }
    VarTree::Node* head = nullptr;
    for (size_t i = 0; i < end; ++i) {
        const VarRecord& v = f->vars[i];
        if (v.sclass == sc::TType) continue;
        if (!head) head = tree.addheading(f->name + "()");
        tree.add(v, addr ? addr(v) : v.value, head);
    }
}

bool LocalsPane::refresh(const LocalsFrame& now, const VarAddrFn& addr) {
    if (filled && now == last) {
        tree.refresh();
        return false;
    }
    filllocals(tree, now, addr);
    last = now;
    filled = true;
    return true;
}

void fillglobals(VarTree& tree, const DebugInfo& di, int core, const VarAddrFn& addr, bool externsonly) {
    tree.clear();
    tree.frameset = true;
    for (const auto& file : di.files) {
        if (!file || file->core != core || file->funcs.empty()) continue;
        const FunctionRecord* scope = file->funcs.back().get();
        VarTree::Node* head = nullptr;
        for (const auto& v : scope->vars) {
            if (v.sclass != sc::FixExt && (externsonly || v.sclass != sc::Fix)) continue;
            if (!head) head = tree.addheading(file->name);
            tree.add(v, addr ? addr(v) : v.value, head);
        }
    }
}

bool VarBrowsers::isopen(int kind) const {
    if (kind == 1) kind = 632;
    for (const auto& p : panes)
        if ((p->kind == 1 ? 632 : p->kind) == kind) return true;
    return false;
}

void VarBrowsers::fill(BrowserPane& p, const BrowseState& st) {
    p.last = st.frame;
    p.lastfile = st.frame.func ? st.frame.func->file : nullptr;
    switch (p.kind) {
    case 630:
    case 1:
        filllocals(p.tree, st.frame, st.addr);
        break;
    case 631: {
        p.tree.clear();
        p.tree.frameset = st.frame.frameset;
        const FileRecord* f = p.kind == 631 && st.srcfile ? st.srcfile : p.lastfile;
        p.lastfile = f;
        if (!f || f->funcs.empty()) break;
        VarTree::Node* head = nullptr;
        for (const auto& v : f->funcs.back()->vars) {
            if (v.sclass == sc::TType || v.sclass == sc::TLabel || v.sclass == sc::TGLabel) continue;
            if (!head) head = p.tree.addheading(f->name);
            p.tree.add(v, st.addr ? st.addr(v) : v.value, head);
        }
        break;
    }
    case 632:
        if (st.di) fillglobals(p.tree, *st.di, 0, st.addr, true);
        break;
    default: break;
    }
}

BrowserPane* VarBrowsers::open(int kind, bool values, bool locations, const BrowseState& st) {
    if (isopen(kind)) return nullptr;
    auto p = std::make_unique<BrowserPane>(kind, src, formats);
    p->tree.showvalues = values;
    p->tree.showlocations = locations;
    fill(*p, st);
    panes.push_back(std::move(p));
    return panes.back().get();
}

BrowserPane* VarBrowsers::openfuncvars(int id, const BrowseState& st) {
    if (id < 382 || id > 384) return nullptr;
    return open(630, id >= 383, id == 384, st);
}

void VarBrowsers::close(BrowserPane* pane) {
    std::erase_if(panes, [&](const std::unique_ptr<BrowserPane>& p) { return p.get() == pane; });
}

void VarBrowsers::refresh(const BrowseState& st) {
    for (auto& p : panes) {
        if (!p->autorefresh || p->kind == 1) continue;
        bool rebuild = false;
        if (p->kind == 630) rebuild = !(p->last == st.frame);
        else if (p->kind == 631) rebuild = st.srcfile != p->lastfile;
        if (rebuild) fill(*p, st);
        else p->tree.refresh();
    }
}

AggregateWindow* AggregateWindows::show(const VarRecord& var, uint32_t address, const std::string& text,
                                        uint32_t cycles, const VarSource& src, std::string* error) {
    if (address == 0) {
        if (error) *error = "Object " + text + " has NULL address";
        return nullptr;
    }
    auto w = std::make_unique<AggregateWindow>();
    w->record = var;
    w->title = text + "  [" + hextextb(address) + "] (Time: " + std::to_string(cycles) + ")";
    w->tree = std::make_unique<VarTree>(TreeKind::Aggregate, src);
    VarTree::Node* root = w->tree->add(w->record, address);
    w->tree->expand(root);
    wins.push_back(std::move(w));
    if (opened) opened(*wins.back());
    return wins.back().get();
}

void AggregateWindows::dropall() {
    for (size_t i = 0; i < wins.size();) {
        AggregateWindow& w = *wins[i];
        if (!w.autoremove) {
            w.frozen = true;
            ++i;
            continue;
        }
        if (closing) closing(w);
        wins.erase(wins.begin() + std::ptrdiff_t(i));
    }
}

void AggregateWindows::closeall() {
    while (!wins.empty()) {
        if (closing) closing(*wins.back());
        wins.pop_back();
    }
}

}  // namespace vek

namespace vek {

VarRecord aggregaterecord(const ExprValue& v) {
    VarRecord r;
    r.name = v.text;
    r.type = v.type;
    r.sclass = v.kind;
    r.core = v.core;
    r.value = v.address;
    r.value2 = v.value2;
    r.owner = const_cast<FunctionRecord*>(v.owner);
    if (v.desc) {
        r.desc = *v.desc;
        size_t c = std::min(v.cursor, r.desc.steps.size());
        r.desc.steps.erase(r.desc.steps.begin(), r.desc.steps.begin() + std::ptrdiff_t(c));
    }
    return r;
}

void installaggregates(AggregateWindows& wins, VarSource src, std::function<uint32_t()> cycles,
                       std::function<void(const std::string&)> error) {
    exprenv().hooks.aggregatewindow = [&wins, src, cycles, error](const ExprValue& v, char) {
        std::string err;
        VarRecord r = aggregaterecord(v);
        if (!wins.show(r, v.address, v.text, cycles ? cycles() : 0, src, &err) && error) error(err);
        return true;
    };
}

}  // namespace vek
