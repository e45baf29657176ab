// The program symbol table: the loaded program's symbols and the debugger's
// own dot symbols, in one list kept in ascending value order.
//
// The list is what callers walk; lookups never do. An index by name and an
// ordered index by address (the ordinary symbols in list order) find a
// symbol, its place for a new one and the nearest one below an address in
// logarithmic time, so a program of 100,000 symbols loads in a blink.
//
// Names beginning with '.' take no part in the order or in address lookups.
// Some of them are bound to simulator state: while ".time", ".xtime",
// ".nbins" or ".btime" exists, the matching counter pointer in SymbolTable
// points at that symbol's value, so the simulator counts straight into it
// (or reads the cycle limit from it); ".vle" sets the VLE boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vek {

struct ProgramSymbol {
    ProgramSymbol* next = nullptr;
    ProgramSymbol* link = nullptr;   // the loader's own ordering
    uint32_t value = 0;
    uint8_t section = 0;             // 1-based object-file section, 0 absolute
    uint8_t flags = 0;               // object-file symbol flags
    uint8_t kind = 0;                // 0 defined here, 5 by the loader
    std::string name;
    // Kept by the table: the back link of the list, and the symbol's key
    // in the address index (its value when defined, its definition number).
    ProgramSymbol* prev = nullptr;
    uint32_t placed = 0;
    uint64_t serial = 0;
};

struct SymbolIndex;

struct SymbolTable {
    ProgramSymbol* head = nullptr;
    // Counters bound to dot symbols; nullptr while the symbol is absent.
    uint32_t* time = nullptr;    // ".time"  cycle counter of core 0
    uint32_t* xtime = nullptr;   // ".xtime" cycle counter of core 1
    uint32_t* nbins = nullptr;   // ".nbins" executed instructions
    uint32_t* btime = nullptr;   // ".btime" cycle limit of the time point
    uint32_t vle = 0;            // VLE boundary of the decoder
    std::string programfile;     // the loaded program's file name
    uint64_t generation = 0;     // new at every change of the list
    // Called after a counter pointer or the VLE boundary changed, so that a
    // simulator keeping its own copies can follow (e.g. an executor's time,
    // nbins and VLE boundary). Not kept by resetsymbols.
    std::function<void(const SymbolTable&)> onbind;

    SymbolTable();
    SymbolTable(const SymbolTable&) = delete;
    SymbolTable& operator=(const SymbolTable&) = delete;
    ~SymbolTable();

    // The indexes and the list's tail (symbols.cpp).
    std::unique_ptr<SymbolIndex> index;
};

// The table; resetsymbols frees every symbol and starts empty.
SymbolTable& symtab();
void resetsymbols();

// Replaces any symbol of that name by a new one placed after every symbol of
// equal or lower value; binds the special names. Returns the new symbol.
ProgramSymbol* defsym(std::string_view name, uint32_t value);
// Removes the first symbol of that name; non-zero when a binding went with it.
int delsym(std::string_view name);
ProgramSymbol* rensym(std::string_view name);
// The nearest symbol at or below address, dot symbols ignored.
ProgramSymbol* symbelow(uint32_t address);
// The first symbol lying exactly at value whose name begins with prefix
// (dot symbols included), or none.
ProgramSymbol* symat(uint32_t value, std::string_view prefix);
// Deletes every symbol whose name does not begin with '.'.
void clrsyms();
// Frees every symbol (unbinding the counters) and the program file name.
void freesyms();
// Value of a bound counter, 0 when its symbol is absent.
inline uint32_t countervalue(const uint32_t* counter) { return counter ? *counter : 0; }

}  // namespace vek
