// The program symbol table.
//
// One list in ascending value order among the ordinary symbols; dot symbols
// sit wherever they were inserted and are stepped over by the ordering and
// by address lookups. Defining a counter name points the table's counter at
// the new symbol's value, deleting it clears the pointer, so the simulator
// never sees a counter that outlives its symbol.
#include "vek/core/support/symbols.h"

#include <memory>

namespace vek {

namespace {

std::unique_ptr<SymbolTable> table = std::make_unique<SymbolTable>();

bool isdot(const ProgramSymbol* s) { return !s->name.empty() && s->name[0] == '.'; }

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

void freelist(ProgramSymbol*& head) {
    while (head) {
        ProgramSymbol* next = head->next;
        delete head;
        head = next;
    }
}

}  // namespace

SymbolTable::~SymbolTable() { freelist(head); }

SymbolTable& symtab() { return *table; }
void resetsymbols() { table = std::make_unique<SymbolTable>(); }

ProgramSymbol* defsym(std::string_view text, uint32_t value) {
    // The name may lie in the symbol that delsym is about to free.
    const std::string name(text);
    delsym(name);
    SymbolTable& t = *table;
    ProgramSymbol** link = &t.head;
    while (*link && ((*link)->value <= value || isdot(*link))) link = &(*link)->next;
    auto* symbol = new ProgramSymbol;
    symbol->name = name;
    symbol->value = value;
    symbol->next = *link;
    *link = symbol;
    uint32_t** slot = counterslot(t, name);
    if (slot) *slot = &symbol->value;
    if (name == ".vle") t.vle = value;
    if (slot || name == ".vle") notify(t);
    return symbol;
}

int delsym(std::string_view name) {
    SymbolTable& t = *table;
    for (ProgramSymbol** link = &t.head; *link; link = &(*link)->next) {
        ProgramSymbol* symbol = *link;
        if (symbol->name != name) continue;
        // Look at the name before the symbol (which may hold it) is freed.
        uint32_t** slot = counterslot(t, name);
        bool vle = name == ".vle";
        *link = symbol->next;
        delete symbol;
        if (slot) *slot = nullptr;
        if (vle) t.vle = 0;
        if (!slot && !vle) return 0;
        notify(t);
        return 1;
    }
    return 0;
}

ProgramSymbol* rensym(std::string_view name) {
    for (ProgramSymbol* s = table->head; s; s = s->next)
        if (s->name == name) return s;
    return nullptr;
}

ProgramSymbol* symbelow(uint32_t address) {
    ProgramSymbol* best = nullptr;
    for (ProgramSymbol* s = table->head; s; s = s->next) {
        if (isdot(s)) continue;
        if (s->value > address) break;
        if (s->value == address) return s;
        best = s;
    }
    return best;
}

ProgramSymbol* symat(uint32_t value, std::string_view prefix) {
    for (ProgramSymbol* s = table->head; s; s = s->next)
        if (s->value == value && s->name.starts_with(prefix)) return s;
    return nullptr;
}

void clrsyms() {
    for (ProgramSymbol** link = &table->head; *link;) {
        ProgramSymbol* symbol = *link;
        if (isdot(symbol)) {
            link = &symbol->next;
            continue;
        }
        *link = symbol->next;
        delete symbol;
    }
}

void freesyms() {
    SymbolTable& t = *table;
    freelist(t.head);
    t.time = t.xtime = t.nbins = t.btime = nullptr;
    t.vle = 0;
    t.programfile.clear();
    notify(t);
}

}  // namespace vek
