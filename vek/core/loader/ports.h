// Plain implementations of the loader's ports: a sparse paged memory with a
// program counter, and a value-ordered symbol list. The debugger binds the
// ports to its simulator and symbol table; tests and tools use these.
#pragma once

#include <array>
#include <map>
#include <unordered_map>

#include "vek/core/loader/loader.h"

namespace vek {

struct PagedMemory : TargetPort {
    static constexpr uint32_t PageSize = 512;
    std::map<uint32_t, std::array<uint8_t, PageSize>> pages;   // by page number
    uint32_t pc = 0;

    void loadbytes(uint32_t address, const uint8_t* data, size_t size) override;
    void putbyte(uint32_t address, uint8_t value) override;
    uint8_t getbyte(uint32_t address) override;
    uint32_t getpc() override { return pc; }
    void setpc(uint32_t v) override { pc = v; }
    void resetregs() override;   // pc from the word at address 4
    uint32_t getword(uint32_t address);
};

struct ListedSymbol {
    std::string name;
    uint32_t value = 0;
    uint8_t flags = 0, section = 0, kind = 0;
};

struct SymbolList : SymbolPort {
    std::vector<ListedSymbol> special;   // names beginning with '.', in definition order
    std::vector<ListedSymbol> program;   // ascending value, equal values in definition order
    std::unordered_map<std::string, int> count;

    void defsym(const std::string& name, uint32_t value, uint8_t flags, uint8_t section, uint8_t kind) override;
    std::optional<uint32_t> findsym(const std::string& name) override;
    std::optional<std::string> symat(uint32_t value, const std::string& prefix) override;
    void dropprogramsyms() override;
    const ListedSymbol* find(const std::string& name) const;
};

}  // namespace vek
