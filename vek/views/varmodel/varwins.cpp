// Locals, Globals and aggregate window contents (see varwins.h).
#include "vek/views/varmodel/varwins.h"

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

void fillglobals(VarTree& tree, const DebugInfo& di, int core, const VarAddrFn& addr) {
    tree.clear();
    tree.frameset = true;
    for (const auto& file : di.files) {
        if (!file || file->core != core || file->funcs.empty()) continue;
        const FunctionRecord* scope = file->funcs.back().get();
        VarTree::Node* head = nullptr;
        for (const auto& v : scope->vars) {
            if (v.sclass != sc::Fix && v.sclass != sc::FixExt) continue;
            if (!head) head = tree.addheading(file->name);
            tree.add(v, addr ? addr(v) : v.value, head);
        }
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
