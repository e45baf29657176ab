// The label graph of a unit: which branches and jump-table lines name which
// label, kept exact while lines are deleted, merged and made.
//
// The idea: every label of a function carries the full list of what refers
// to it, and every branch to a label points at its label node; deleting a
// branch takes it off its label's list, and a label whose list runs empty
// goes too (or becomes plain text when it must stay). Labels that anything
// else mentions (an operand, a data line, a line outside the function) are
// kept, so that the text never loses a name it uses.
#include <cstdio>
#include <unordered_map>

#include "optimizer/opt.h"
#include "toollib/strings.h"

namespace opt {

namespace {

constexpr std::string_view kJumpTable = "\tdc.l\t";

bool isjumptableline(const InsnNode* n) {
    return n->istext() && n->raw.empty() && std::string_view(n->text).starts_with(kJumpTable);
}

std::string_view jumptablename(const InsnNode* n) { return std::string_view(n->text).substr(kJumpTable.size()); }

// Calls f on every name-like token of a text outside its comment.
template <typename F>
void eachname(std::string_view t, F f) {
    bool quoted = false;
    for (size_t i = 0; i < t.size();) {
        char c = t[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == ';') return;
        if (!iswordchar(c)) {
            ++i;
            continue;
        }
        size_t e = i;
        while (e < t.size() && iswordchar(t[e])) ++e;
        if (!quoted) f(t.substr(i, e - i));
        i = e;
    }
}

void removeref(InsnNode* label, const InsnNode* n) {
    if (!label || !label->rec) return;
    std::vector<InsnNode*>& refs = label->rec->refs;
    for (size_t i = 0; i < refs.size(); ++i)
        if (refs[i] == n) {
            refs[i] = refs.back();
            refs.pop_back();
            return;
        }
}

InsnNode* findlabel(const Unit& u, std::string_view name) {
    for (InsnNode* l = u.labels; l; l = l->nextlabel)
        if (labelname(l) == name) return l;
    return nullptr;
}

// A label without references: a kept one becomes a text line, any other
// one is deleted.
void droplabel(Optimizer& o, InsnNode* label) {
    if (label->isvolatile()) {
        Unit& u = o.unit;
        InsnNode** p = &u.labels;
        while (*p && *p != label) p = &(*p)->nextlabel;
        if (*p) *p = label->nextlabel;
        label->nextlabel = nullptr;
        label->rec.reset();
        label->kind = static_cast<uint16_t>((label->kind & ~(KLabel | KVisited | KScanned)) | KText);
        label->gprread = label->crread = 0;
    } else {
        delinsn(o, label);
    }
}

}  // namespace

std::string_view labelname(const InsnNode* label) {
    std::string_view t = label->text;
    t = t.substr(0, tl::charpos(t, ':'));
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

void linklabels(Optimizer& o) {
    Unit& u = o.unit;
    std::unordered_map<std::string_view, InsnNode*> byname;
    for (InsnNode* l = u.labels; l; l = l->nextlabel) {
        l->rec = std::make_unique<LabelRecord>();
        byname.emplace(labelname(l), l);
    }
    for (InsnNode* n = u.head; n; n = n->next) {
        if (islabelbranch(n)) {
            auto it = byname.find(lastoperand(n->text));
            if (it != byname.end()) {
                n->link = it->second;
                it->second->rec->refs.push_back(n);
            }
            continue;
        }
        if (isjumptableline(n)) {
            auto it = byname.find(jumptablename(n));
            if (it != byname.end()) {
                it->second->rec->refs.push_back(n);
                continue;
            }
        }
        // Any other mention of a label keeps it: an operand that takes its
        // address, a data line, a call, a line outside the function.
        if (n->islabel()) continue;
        std::string line = n->isinsn() ? n->text : lineof(n);
        if (skipspace(line).starts_with(";")) continue;
        eachname(line, [&](std::string_view name) {
            auto it = byname.find(name);
            if (it != byname.end()) it->second->kind |= KVolatile;
        });
    }
    // Labels nothing refers to.
    for (InsnNode* l = u.labels; l;) {
        InsnNode* next = l->nextlabel;
        if (l->rec->refs.empty()) droplabel(o, l);
        l = next;
    }
    // Branches to names the unit does not define.
    for (InsnNode* n = u.head; n; n = n->next) {
        if (!islabelbranch(n) || n->link) continue;
        if (iscondbranch(n)) {
            if (!(n->crwrite & Lr)) optfatal(o, "bad branch label ", n->text);
            // a conditional call of a function outside the unit
            n->crwrite = (n->crwrite & ~Lbl) | Call;
        } else {
            // a jump out of the unit (a tail call) ends the function's flow
            n->crwrite = (n->crwrite & ~Lbl) | Exit;
        }
    }
}

void mergelabels(Optimizer& o) {
    for (InsnNode* l = o.unit.labels; l; l = l->nextlabel) {
        if (l->isvolatile() || !l->rec) continue;
        for (;;) {
            InsnNode* m = l->next;
            while (m && m->istext()) m = m->next;
            if (!m || !m->islabel() || m->isvolatile() || !m->rec) break;
            std::string name(labelname(l));
            for (InsnNode* r : m->rec->refs) {
                if (r->isinsn()) {
                    r->link = l;
                    std::string_view last = lastoperand(r->text);
                    size_t at = static_cast<size_t>(last.data() - r->text.data());
                    r->text.replace(at, last.size(), name);
                } else {
                    r->text.replace(kJumpTable.size(), std::string::npos, name);
                }
                l->rec->refs.push_back(r);
            }
            m->rec->refs.clear();
            delinsn(o, m);
        }
    }
}

void linkbranch(Optimizer& o, InsnNode* n) {
    if (!islabelbranch(n)) return;
    InsnNode* l = findlabel(o.unit, lastoperand(n->text));
    if (!l || !l->rec) return;
    n->link = l;
    l->rec->refs.push_back(n);
}

InsnNode* delinsn(Optimizer& o, InsnNode* n) {
    Unit& u = o.unit;
    if (n->islabel()) {
        InsnNode** p = &u.labels;
        while (*p && *p != n) p = &(*p)->nextlabel;
        if (*p) *p = n->nextlabel;
        n->nextlabel = nullptr;
        n->rec.reset();
    }
    if (n->isinsn() && n->link) {
        InsnNode* target = n->link;
        n->link = nullptr;
        removeref(target, n);
        if (target->rec && target->rec->refs.empty()) droplabel(o, target);
    } else if (isjumptableline(n)) {
        if (InsnNode* target = findlabel(u, jumptablename(n))) {
            removeref(target, n);
            if (target->rec && target->rec->refs.empty()) droplabel(o, target);
        }
    }
    if (o.keepcomments() && n->isinsn()) {
        std::string line = ";***** ";
        line += mnemonicof(n);
        line += suffixes(n);
        line += ' ';
        line += n->text;
        if (!o.passname.empty()) {
            line += " ***** ";
            line += o.passname;
        }
        n->text = line;
        n->kind = KText;
        n->gprread = n->gprwrite = n->crread = n->crwrite = n->fprread = n->fprwrite = 0;
        n->width = n->opcount = 0;
        return n;
    }
    InsnNode* result = n->next ? n->next : n->prev;
    unlinkinsn(u, n);
    delete n;
    return result;
}

InsnNode* newlabel(Optimizer& o, InsnNode* before, int refs) {
    char name[32];
    std::snprintf(name, sizeof name, "LC%03d:", ++o.madelabels);
    InsnNode* l = parseinsn(o, name);
    insinsn(o.unit, before ? before->prev : o.unit.tail, l);
    l->rec = std::make_unique<LabelRecord>();
    l->rec->refs.reserve(static_cast<size_t>(refs > 0 ? refs : 0));
    // Into the label list after the nearest earlier label of the list.
    InsnNode* prior = l->prev;
    while (prior && !(prior->islabel() && prior->rec)) prior = prior->prev;
    if (prior) {
        l->nextlabel = prior->nextlabel;
        prior->nextlabel = l;
    } else {
        l->nextlabel = o.unit.labels;
        o.unit.labels = l;
    }
    return l;
}

}  // namespace opt
