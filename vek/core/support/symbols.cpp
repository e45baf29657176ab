// The program symbol table.
//
// One list in ascending value order among the ordinary symbols; dot symbols
// sit wherever they were inserted and are stepped over by the ordering and
// by address lookups. A new symbol goes right before the first ordinary
// symbol of a higher value (after any dot symbols in front of it), or at
// the end: that is the place a walk from the head would find, and the
// address index, which holds the ordinary symbols keyed by (value, number
// of definition), names that symbol at once. The list is doubly linked so
// the new symbol can go in front of it.
//
// Defining a counter name points the table's counter at the new symbol's
// value, deleting it clears the pointer, so the simulator never sees a
// counter that outlives its symbol.
#include "vek/core/support/symbols.h"

#include <algorithm>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace vek {

namespace {

// Symbols by name: open addressing with linear probing, the names' hashes
// kept beside the symbols. No allocation per symbol.
class NameIndex {
public:
    ProgramSymbol* find(std::string_view name) const {
        if (slots_.empty()) return nullptr;
        const uint64_t h = hash(name);
        for (size_t k = h & mask();; k = (k + 1) & mask()) {
            const Slot& s = slots_[k];
            if (!s.symbol) return nullptr;
            if (s.symbol != Gone && s.hash == h && s.symbol->name == name) return s.symbol;
        }
    }
    void insert(ProgramSymbol* symbol) {
        if (2 * (used_ + 1) > slots_.size()) grow();
        const uint64_t h = hash(symbol->name);
        size_t k = h & mask();
        while (slots_[k].symbol && slots_[k].symbol != Gone) k = (k + 1) & mask();
        if (!slots_[k].symbol) used_++;
        slots_[k] = {h, symbol};
    }
    void erase(const ProgramSymbol* symbol) {
        if (slots_.empty()) return;
        for (size_t k = hash(symbol->name) & mask(); slots_[k].symbol; k = (k + 1) & mask())
            if (slots_[k].symbol == symbol) {
                slots_[k].symbol = Gone;
                return;
            }
    }

private:
    struct Slot {
        uint64_t hash = 0;
        ProgramSymbol* symbol = nullptr;  // nullptr: never used; Gone: erased
    };
    static inline ProgramSymbol* const Gone = reinterpret_cast<ProgramSymbol*>(alignof(ProgramSymbol));
    static uint64_t hash(std::string_view name) { return std::hash<std::string_view>()(name); }
    size_t mask() const { return slots_.size() - 1; }
    // Doubles the table (or keeps its size when erased slots fill it) and
    // puts the live symbols back.
    void grow() {
        std::vector<Slot> old = std::move(slots_);
        size_t live = 0;
        for (const Slot& s : old) live += s.symbol && s.symbol != Gone;
        size_t size = 64;
        while (size < 2 * (live + 1)) size *= 2;
        slots_.assign(size, Slot{});
        used_ = 0;
        for (const Slot& s : old)
            if (s.symbol && s.symbol != Gone) {
                size_t k = s.hash & mask();
                while (slots_[k].symbol) k = (k + 1) & mask();
                slots_[k] = s;
                used_++;
            }
    }
    std::vector<Slot> slots_;
    size_t used_ = 0;  // slots not empty (live or erased)
};

// The ordinary symbols in list order, keyed by (value when defined,
// definition number): sorted runs of at most 2 * Run entries, with the last
// key of every run in one array, so a search touches two short arrays.
class AddressIndex {
public:
    struct Key {
        uint32_t value = 0;
        uint64_t serial = 0;
        auto operator<=>(const Key&) const = default;
    };
    struct Entry {
        Key key;
        ProgramSymbol* symbol;
    };
    struct Pos {
        size_t run = 0, at = 0;
    };

    // The first entry whose key is not below key (or, with after, above it).
    Pos search(Key key, bool after) const {
        auto below = [after](const Key& a, const Key& b) { return after ? !(b < a) : a < b; };
        size_t run = size_t(std::partition_point(lasts_.begin(), lasts_.end(), [&](const Key& k) { return below(k, key); }) -
                            lasts_.begin());
        if (run == runs_.size()) return end();
        const std::vector<Entry>& r = runs_[run];
        size_t at = size_t(std::partition_point(r.begin(), r.end(), [&](const Entry& e) { return below(e.key, key); }) -
                           r.begin());
        return {run, at};
    }
    Pos end() const { return {runs_.size(), 0}; }
    bool atend(Pos p) const { return p.run == runs_.size(); }
    const Entry& operator[](Pos p) const { return runs_[p.run][p.at]; }
    bool atbegin(Pos p) const { return p.run == 0 && p.at == 0; }
    Pos next(Pos p) const { return ++p.at == runs_[p.run].size() ? Pos{p.run + 1, 0} : p; }
    Pos prev(Pos p) const {
        if (p.at) return {p.run, p.at - 1};
        return {p.run - 1, runs_[p.run - 1].size() - 1};
    }

    // Inserts before p (which search gave for the entry's key).
    void insert(Pos p, Entry e) {
        if (runs_.empty()) {
            runs_.push_back({e});
            lasts_.push_back(e.key);
            return;
        }
        if (atend(p)) p = {runs_.size() - 1, runs_.back().size()};
        std::vector<Entry>& r = runs_[p.run];
        r.insert(r.begin() + std::ptrdiff_t(p.at), e);
        lasts_[p.run] = r.back().key;
        if (r.size() < 2 * Run) return;
        std::vector<Entry> upper(r.begin() + Run, r.end());
        r.resize(Run);
        lasts_[p.run] = r.back().key;
        runs_.insert(runs_.begin() + std::ptrdiff_t(p.run + 1), std::move(upper));
        lasts_.insert(lasts_.begin() + std::ptrdiff_t(p.run + 1), runs_[p.run + 1].back().key);
    }
    void erase(Key key) {
        Pos p = search(key, false);
        if (atend(p) || runs_[p.run][p.at].key != key) return;
        std::vector<Entry>& r = runs_[p.run];
        r.erase(r.begin() + std::ptrdiff_t(p.at));
        if (r.empty()) {
            runs_.erase(runs_.begin() + std::ptrdiff_t(p.run));
            lasts_.erase(lasts_.begin() + std::ptrdiff_t(p.run));
        } else {
            lasts_[p.run] = r.back().key;
        }
    }
    template <class F>
    void each(F f) const {
        for (const auto& r : runs_)
            for (const Entry& e : r) f(e.symbol);
    }
    void clear() { runs_.clear(), lasts_.clear(); }

private:
    static constexpr size_t Run = 256;
    std::vector<std::vector<Entry>> runs_;
    std::vector<Key> lasts_;
};

}  // namespace

struct SymbolIndex {
    NameIndex byname;
    AddressIndex byvalue;  // ordinary symbols, in list order
    std::unordered_set<ProgramSymbol*> dots;
    ProgramSymbol* tail = nullptr;
    uint64_t serial = 0;
};

namespace {

// Generations are drawn from one counter, so that no two states of any
// table share one.
uint64_t changes = 0;

std::unique_ptr<SymbolTable> table = std::make_unique<SymbolTable>();

bool isdot(std::string_view name) { return !name.empty() && name[0] == '.'; }
bool isdot(const ProgramSymbol* s) { return isdot(s->name); }

// The counter a special name binds, or nullptr.
uint32_t** counterslot(SymbolTable& t, std::string_view name) {
    if (name == ".time") return &t.time;
    if (name == ".xtime") return &t.xtime;
    if (name == ".nbins") return &t.nbins;
    if (name == ".btime") return &t.btime;
    return nullptr;
}

void notify(const SymbolTable& t) {
    if (t.onbind) t.onbind(t);
}

void freelist(SymbolTable& t) {
    while (t.head) {
        ProgramSymbol* next = t.head->next;
        delete t.head;
        t.head = next;
    }
    t.index = std::make_unique<SymbolIndex>();
}

// Takes a symbol out of the list and the indexes (it is not freed).
void unlink(SymbolTable& t, ProgramSymbol* s) {
    SymbolIndex& ix = *t.index;
    (s->prev ? s->prev->next : t.head) = s->next;
    (s->next ? s->next->prev : ix.tail) = s->prev;
    ix.byname.erase(s);
    if (isdot(s))
        ix.dots.erase(s);
    else
        ix.byvalue.erase({s->placed, s->serial});
}

// Where a symbol lies in the list, as a key that orders any two symbols:
// an ordinary symbol by its index key; a dot symbol by the first ordinary
// symbol after it, and before that one by how many symbols come between.
std::tuple<bool, uint32_t, uint64_t, int64_t> position(const ProgramSymbol* s) {
    int64_t between = 0;
    while (s && isdot(s)) s = s->next, between--;
    if (!s) return {true, 0, 0, between};
    return {false, s->placed, s->serial, between};
}

}  // namespace

SymbolTable::SymbolTable() : generation(++changes), index(std::make_unique<SymbolIndex>()) {}

SymbolTable::~SymbolTable() { freelist(*this); }

SymbolTable& symtab() { return *table; }
void resetsymbols() { table = std::make_unique<SymbolTable>(); }

ProgramSymbol* defsym(std::string_view text, uint32_t value) {
    // The name may lie in the symbol that delsym is about to free.
    const std::string name(text);
    delsym(name);
    SymbolTable& t = *table;
    SymbolIndex& ix = *t.index;
    t.generation = ++changes;
    auto* symbol = new ProgramSymbol;
    symbol->name = name;
    symbol->value = value;
    symbol->placed = value;
    symbol->serial = ++ix.serial;
    const AddressIndex::Pos above = ix.byvalue.search({value, symbol->serial}, true);
    ProgramSymbol* before = ix.byvalue.atend(above) ? nullptr : ix.byvalue[above].symbol;
    symbol->next = before;
    symbol->prev = before ? before->prev : ix.tail;
    (symbol->prev ? symbol->prev->next : t.head) = symbol;
    (before ? before->prev : ix.tail) = symbol;
    ix.byname.insert(symbol);
    if (isdot(symbol))
        ix.dots.insert(symbol);
    else
        ix.byvalue.insert(above, {{value, symbol->serial}, symbol});
    uint32_t** slot = counterslot(t, name);
    if (slot) *slot = &symbol->value;
    if (name == ".vle") t.vle = value;
    if (slot || name == ".vle") notify(t);
    return symbol;
}

int delsym(std::string_view name) {
    SymbolTable& t = *table;
    ProgramSymbol* symbol = t.index->byname.find(name);
    if (!symbol) return 0;
    t.generation = ++changes;
    // Look at the name before the symbol (which may hold it) is freed.
    uint32_t** slot = counterslot(t, name);
    bool vle = name == ".vle";
    unlink(t, symbol);
    delete symbol;
    if (slot) *slot = nullptr;
    if (vle) t.vle = 0;
    if (!slot && !vle) return 0;
    notify(t);
    return 1;
}

ProgramSymbol* rensym(std::string_view name) { return table->index->byname.find(name); }

ProgramSymbol* symbelow(uint32_t address) {
    const AddressIndex& byvalue = table->index->byvalue;
    AddressIndex::Pos p = byvalue.search({address, 0}, false);
    if (!byvalue.atend(p) && byvalue[p].key.value == address) return byvalue[p].symbol;  // the first one there
    return byvalue.atbegin(p) ? nullptr : byvalue[byvalue.prev(p)].symbol;
}

ProgramSymbol* symat(uint32_t value, std::string_view prefix) {
    SymbolIndex& ix = *table->index;
    ProgramSymbol* best = nullptr;
    for (AddressIndex::Pos p = ix.byvalue.search({value, 0}, false);
         !ix.byvalue.atend(p) && ix.byvalue[p].key.value == value; p = ix.byvalue.next(p))
        if (ix.byvalue[p].symbol->name.starts_with(prefix)) {
            best = ix.byvalue[p].symbol;
            break;
        }
    for (ProgramSymbol* d : ix.dots)
        if (d->value == value && d->name.starts_with(prefix) && (!best || position(d) < position(best))) best = d;
    return best;
}

void clrsyms() {
    SymbolTable& t = *table;
    SymbolIndex& ix = *t.index;
    t.generation = ++changes;
    ix.byvalue.each([&](ProgramSymbol* s) {
        (s->prev ? s->prev->next : t.head) = s->next;
        (s->next ? s->next->prev : ix.tail) = s->prev;
        ix.byname.erase(s);
        delete s;
    });
    ix.byvalue.clear();
}

void freesyms() {
    SymbolTable& t = *table;
    t.generation = ++changes;
    freelist(t);
    t.time = t.xtime = t.nbins = t.btime = nullptr;
    t.vle = 0;
    t.programfile.clear();
    notify(t);
}

}  // namespace vek
