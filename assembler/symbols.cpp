// The symbol table, the opcode table and the numbering before emission.
//
// Symbols hash into 256 buckets, and the symbol list is the concatenation of
// the buckets' runs, newest run first: that order numbers the symbols of the
// object file. Local labels (digits and "$") carry the block they belong to,
// so the same name is a different symbol after every ordinary label.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "assembler/asm.h"

#include "toollib/isa/encode.h"
#include "toollib/memory.h"
#include "toollib/options.h"

namespace as {

namespace {

int hashname(std::string_view name, bool fold) {
    unsigned h = 0;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (fold && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        h = (h * 8 + c) & 0xFF;
    }
    return static_cast<int>(h);
}

bool islocalname(std::string_view name) { return !name.empty() && name[0] >= '0' && name[0] <= '9'; }

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

}  // namespace

// The block a name is found with: its own for a local label, -1 otherwise.
static int keyblock(std::string_view name, int block) { return islocalname(name) ? block : -1; }

uint64_t SymIndex::hash(std::string_view name, int block) {
    uint64_t h = tl::NameHash::hash(name);
    h ^= static_cast<uint64_t>(static_cast<uint32_t>(block)) * 0x9E3779B97F4A7C15ull;
    return h | 1;  // never 0
}

AsmSymbol* SymIndex::find(uint64_t h, std::string_view name, int block) const {
    if (slots.empty()) return nullptr;
    size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const auto& [sh, s] = slots[i];
        if (!s) return nullptr;
        if (sh == h && s->name == name && keyblock(s->name, s->block) == block) return s;
    }
}

void SymIndex::insert(uint64_t h, AsmSymbol* s) {
    if ((used + 1) * 2 > slots.size()) {
        tl::LargeVector<std::pair<uint64_t, AsmSymbol*>> old(std::max<size_t>(64, slots.size() * 2));
        old.swap(slots);
        used = 0;
        for (auto& [oh, os] : old)
            if (os) insert(oh, os);
    }
    size_t mask = slots.size() - 1;
    size_t i = h & mask;
    while (slots[i].second) i = (i + 1) & mask;
    slots[i] = {h, s};
    used++;
}

void SymIndex::clear() {
    slots.clear();
    used = 0;
}

AsmSymbol* SymbolTable::lookup(std::string_view name) const {
    int b = keyblock(name, block);
    return index.find(SymIndex::hash(name, b), name, b);
}

AsmSymbol* SymbolStore::add() {
    if (count_ == kFirst * ((size_t{1} << blocks_.size()) - 1))
        blocks_.push_back(static_cast<AsmSymbol*>(tl::largealloc((kFirst << blocks_.size()) * sizeof(AsmSymbol))));
    AsmSymbol* s = new ((*this)[count_]) AsmSymbol();
    count_++;
    return s;
}

void SymbolStore::clear() {
    for (size_t i = 0; i < count_; i++) (*this)[i]->~AsmSymbol();
    for (size_t b = 0; b < blocks_.size(); b++) tl::largefree(blocks_[b], (kFirst << b) * sizeof(AsmSymbol));
    blocks_.clear();
    count_ = 0;
}

AsmSymbol* SymbolTable::find(std::string_view name) {
    int b = keyblock(name, block);
    uint64_t h = SymIndex::hash(name, b);
    if (AsmSymbol* s = index.find(h, name, b)) return s;
    int hb = hashname(name, false);
    AsmSymbol* sym = store.add();
    sym->name = std::string(name);
    sym->id = static_cast<uint32_t>(store.size() - 1);
    if (islocalname(name)) {
        sym->iflags |= SI_LOCAL;
        sym->block = block;
    }
    if (bucket[hb].empty()) runorder.insert(runorder.begin(), hb);
    bucket[hb].push_back(sym);
    index.insert(h, sym);
    return sym;
}

AsmSymbol* SymbolTable::restore(const AsmSymbol& s) {
    AsmSymbol* n = find(s.name);
    int before = n->block;
    uint32_t id = n->id;
    *n = s;
    n->id = id;
    if (n->block != before) {
        // a local label keeps its own block: index the table anew
        index.clear();
        for (size_t i = 0; i < store.size(); i++) {
            AsmSymbol* sp = store[i];
            index.insert(SymIndex::hash(sp->name, keyblock(sp->name, sp->block)), sp);
        }
    }
    return n;
}

std::vector<AsmSymbol*> SymbolTable::list() const {
    std::vector<AsmSymbol*> out;
    for (int h : runorder)
        for (AsmSymbol* s : bucket[h]) out.push_back(s);
    return out;
}

void SymbolTable::clear() {
    for (auto& b : bucket) b.clear();
    runorder.clear();
    index.clear();
    store.clear();
    block = 0;
}

OpcodeEntry* OpcodeTable::add(std::string_view name, uint8_t flags, int value, DirectiveHandler h) {
    auto e = std::make_unique<OpcodeEntry>();
    e->id = static_cast<uint32_t>(store.size());
    e->name = lower(name);
    e->flags = flags;
    e->value = value;
    e->handler = h;
    generation++;
    auto& v = names[e->name];
    v.insert(v.begin(), e.get());
    store.push_back(std::move(e));
    return store.back().get();
}

OpcodeEntry* OpcodeTable::addoverride(std::string_view name, OpcodeEntry* older) {
    auto e = std::make_unique<OpcodeEntry>();
    e->id = static_cast<uint32_t>(store.size());
    e->name = lower(name);
    generation++;
    auto& v = names[e->name];
    auto it = v.begin();
    while (it != v.end() && *it != older) ++it;
    v.insert(it, e.get());
    store.push_back(std::move(e));
    return store.back().get();
}

OpcodeEntry* OpcodeTable::find(std::string_view name, bool skipoverride) const {
    char buf[64];
    std::string big;
    std::string_view key;
    if (name.size() <= sizeof buf) {
        for (size_t i = 0; i < name.size(); i++) {
            char c = name[i];
            buf[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        key = std::string_view(buf, name.size());
    } else {
        big = lower(name);
        key = big;
    }
    Recent* slot = nullptr;
    uint32_t stamp = generation + 1;
    if (key.size() <= sizeof slot->name && stamp != 0) {
        slot = &recent_[(tl::NameHash::hash(key) + skipoverride) & (recent_.size() - 1)];
        if (slot->stamp == stamp && slot->len == key.size() && slot->skipoverride == skipoverride &&
            std::memcmp(slot->name, key.data(), key.size()) == 0)
            return slot->entry;
    }
    OpcodeEntry* found = nullptr;
    auto it = names.find(key);
    if (it != names.end()) {
        bool skipping = skipoverride;
        for (OpcodeEntry* e : it->second) {
            if (e->dead) continue;
            if (skipping && (e->flags & OP_MACRO) && e->overrides) {
                skipping = false;
                continue;
            }
            found = e;
            break;
        }
    }
    if (slot) {
        slot->stamp = stamp;
        slot->len = static_cast<uint8_t>(key.size());
        slot->skipoverride = skipoverride;
        std::memcpy(slot->name, key.data(), key.size());
        slot->entry = found;
    }
    return found;
}

void OpcodeTable::forgetmacros() {
    generation++;
    for (auto& [name, v] : names) {
        for (OpcodeEntry* e : v)
            if (e->flags & OP_MACRO) {
                e->dead = true;
                e->body.reset();
            }
        std::erase_if(v, [](OpcodeEntry* e) { return e->dead; });
    }
}

void defregisters(Assembler& a) {
    auto def = [&](const std::string& name, int code) {
        AsmSymbol* s = a.syms.find(name);
        s->flags = SYM_DEFINED | SYM_ABSOLUTE;
        s->iflags |= SI_REGISTER;
        s->regcode = code;
    };
    for (const isa::RegisterName& r : isa::registernames()) def(r.name, r.code);
}

AsmSymbol* refsym(Assembler& a, std::string_view name) { return refsym(a, a.syms.find(name)); }

AsmSymbol* refsym(Assembler& a, AsmSymbol* s) {
    if (s->iflags & SI_REGISTER) return s;
    s->flags |= SYM_REFERENCED;
    if (!s->firstref) {
        s->firstref = curline(a);
        s->reffile = curfilekept(a);
    }
    // a line is recorded once, however many passes read it (for the
    // cross reference, the only reader of the list)
    if (!a.opt.c) return s;
    auto it = std::lower_bound(s->xref.begin(), s->xref.end(), a.globline);
    if (it == s->xref.end() || *it != a.globline) s->xref.insert(it, a.globline);
    return s;
}

void numbersyms(Assembler& a) {
    std::vector<AsmSymbol*> list = a.syms.list();
    std::vector<bool> holds(a.sects.size() + 1, false);
    for (AsmSymbol* s : list) {
        if (!s->section || s->section > a.sects.size()) continue;
        // the -xx descriptor table relocates against the section of each
        // symbol it describes
        if ((s->flags & (SYM_REFERENCED | SYM_PUBLIC)) || (a.opt.pl && (s->flags & SYM_DEFINED)) ||
            (a.opt.xx && debugdescribed(a, *s)))
            holds[s->section] = true;
    }
    int n = 0;
    for (auto& sp : a.sects) {
        AsmSection& s = *sp;
        s.number = 0;
        if ((s.iflags & (SCI_CONTENT | SCI_TARGET)) || holds[s.index]) s.number = ++n;
    }
    // -p before the undefined check: referenced undefined symbols become externals
    for (AsmSymbol* s : list) {
        if (!(s->flags & (SYM_DEFINED | SYM_REFERENCED))) s->flags &= static_cast<uint8_t>(~SYM_PUBLIC);
        if (a.opt.p && (s->flags & (SYM_DEFINED | SYM_REFERENCED)) &&
            !(s->iflags & (SI_REGISTER | SI_CMDLINE | SI_SET | SI_LOCAL | SI_LITERAL)))
            s->flags |= SYM_PUBLIC;
    }
    int next = n;
    for (AsmSymbol* s : list) {
        s->number = 0;
        if (s->iflags & SI_REGISTER) continue;
        if (s->iflags & SI_ALIAS) {
            AsmSymbol* t = s->alias;
            if (t && (t->flags & SYM_DEFINED)) {
                s->iflags &= static_cast<uint16_t>(~SI_ALIAS);
                s->value += t->value;
                s->section = t->section;
                s->flags |= SYM_DEFINED | (t->flags & (SYM_ABSOLUTE | SYM_ZPAGE | SYM_LONG | SYM_CODE | SYM_BIT));
                s->alias = nullptr;
            } else {
                if (s->flags & SYM_PUBLIC) {
                    lineerror(a, s->deffile ? *s->deffile : std::string(), s->defline, "bad relocatable expression");
                    a.errors++;
                }
                continue;
            }
        }
        if (!(s->flags & (SYM_DEFINED | SYM_PUBLIC))) {
            if ((s->iflags & SI_IFDEF) && !(s->flags & SYM_REFERENCED)) continue;
            if (!(s->flags & SYM_REFERENCED)) continue;
            if (!a.opt.u)
                lineerror(a, s->reffile ? *s->reffile : std::string(), s->firstref, "symbol " + s->name + " not defined");
            a.errors++;
            continue;
        }
        if (s->flags & SYM_PUBLIC) {
            if (next - n >= 65535) {
                fileerror(a, a.srcname, "too many symbols");
                a.errors++;
                return;
            }
            s->number = ++next;
        }
    }
}

void resetsyms(Assembler& a) {
    std::vector<AsmSymbol*> keep;
    std::vector<AsmSymbol> saved;
    for (AsmSymbol* s : a.syms.list())
        if (s->iflags & (SI_CMDLINE | SI_REGISTER)) saved.push_back(*s);
    a.syms.clear();
    a.memos.clear();
    for (auto& s : saved) {
        a.syms.restore(s)->xref.clear();
    }
    a.ops.forgetmacros();
}

}  // namespace as
