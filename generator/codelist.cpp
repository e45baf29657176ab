// Label records and code-list nodes: making, finding and recycling them.
#include "generator/gen.h"

namespace cg {

namespace {
// A cleared record from a free list, or a new one from the store.
template <typename T>
T* takefree(T*& freelist, std::deque<T>& store) {
    T* r = freelist;
    if (r) {
        freelist = r->next;
    } else {
        store.emplace_back();
        r = &store.back();
    }
    *r = T{};
    return r;
}
}  // namespace

LabelRecord* CodeList::newlabelrecord() { return takefree(freelabels, labelstore); }

InsnNode* CodeList::newnode() { return takefree(freeinsns, insnstore); }

InsertPoint appendinsn(InsertPoint ip, InsnNode* n) {
    if (!ip) return nullptr;
    n->next = *ip;
    *ip = n;
    return &n->next;
}

InsertPoint blockend(LabelRecord* l) {
    InsnNode** link = &l->nodes;
    while (*link) link = &(*link)->next;
    return link;
}

uint16_t genlabel(Gen& G) {
    G.code.nextlabel = static_cast<uint16_t>(G.code.nextlabel + 2);
    return G.code.nextlabel;
}

LabelRecord* findlabel(Gen& G, uint16_t number) {
    CodeList& c = G.code;
    for (LabelRecord* l = c.labels; l; l = l->next)
        if (l->number == number) return l;
    LabelRecord* l = c.newlabelrecord();
    l->number = number;
    l->flags = LB_NEW;
    if (c.lastlabel)
        c.lastlabel->next = l;
    else
        c.labels = l;
    c.lastlabel = l;
    return l;
}

InsnNode* newinsn(Gen& G, uint8_t kind, LabelRecord* label, uint16_t size) {
    InsnNode* n = G.code.newnode();
    n->kind = kind;
    n->label = label;
    n->size = size;
    if (kind == IK_RETURN) n->firstline = G.fn.dbgfirstline;
    n->lastline = G.fn.dbglastline;
    if (G.hdr.debug && G.store.pending() && (kind == IK_JUMP || kind == IK_RETURN)) {
        n->text = G.store.claim();
        G.store.addchars("`");
        G.store.claim();
    }
    return n;
}

void setinsn(InsnNode* n, uint8_t kind, LabelRecord* label, uint16_t size) {
    n->kind = kind;
    n->label = label;
    n->size = size;
}

LabelRecord* freelabel(Gen& G, LabelRecord* l) {
    LabelRecord* next = l->next;
    l->next = G.code.freelabels;
    G.code.freelabels = l;
    return next;
}

void freeinsns(Gen& G, InsnNode* chain) {
    if (!chain) return;
    InsnNode* last = chain;
    while (last->next) last = last->next;
    last->next = G.code.freeinsns;
    G.code.freeinsns = chain;
}

void movelabel(Gen& G, LabelRecord* l) {
    CodeList& c = G.code;
    l->flags = static_cast<uint8_t>(l->flags & ~LB_NEW);
    if (c.lastlabel == l) return;
    LabelRecord** link = &c.labels;
    while (*link && *link != l) link = &(*link)->next;
    if (!*link) return;
    *link = l->next;
    l->next = nullptr;
    c.lastlabel->next = l;
    c.lastlabel = l;
}

// Every label record and node of the finished function back to the free lists.
void resetlabels(Gen& G) {
    CodeList& c = G.code;
    for (LabelRecord* l = c.labels; l;) {
        freeinsns(G, l->nodes);
        l->nodes = nullptr;
        l = freelabel(G, l);
    }
    c.labels = c.lastlabel = nullptr;
}

}  // namespace cg
