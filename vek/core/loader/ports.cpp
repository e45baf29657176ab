// A sparse paged memory and a value-ordered symbol list for the loader's
// ports (see ports.h).
#include "vek/core/loader/ports.h"

#include <algorithm>
#include <cstring>

namespace vek {

void PagedMemory::loadbytes(uint32_t address, const uint8_t* data, size_t size) {
    while (size > 0) {
        uint32_t off = address % PageSize;
        size_t n = std::min<size_t>(size, PageSize - off);
        auto [it, fresh] = pages.try_emplace(address / PageSize);
        if (fresh) it->second.fill(0);
        std::memcpy(it->second.data() + off, data, n);
        data += n;
        size -= n;
        address += uint32_t(n);
    }
}

void PagedMemory::putbyte(uint32_t address, uint8_t value) { loadbytes(address, &value, 1); }

uint8_t PagedMemory::getbyte(uint32_t address) {
    auto it = pages.find(address / PageSize);
    return it == pages.end() ? 0 : it->second[address % PageSize];
}

uint32_t PagedMemory::getword(uint32_t a) {
    return uint32_t(getbyte(a)) << 24 | uint32_t(getbyte(a + 1)) << 16 | uint32_t(getbyte(a + 2)) << 8 |
           getbyte(a + 3);
}

void PagedMemory::resetregs() { pc = getword(4); }

void SymbolList::defsym(const std::string& name, uint32_t value, uint8_t flags, uint8_t section,
                        uint8_t kind) {
    ListedSymbol sym{name, value, flags, section, kind};
    bool isspecial = !name.empty() && name[0] == '.';
    auto& list = isspecial ? special : program;
    if (count[name] > 0) {
        auto at = std::find_if(list.begin(), list.end(), [&](const ListedSymbol& s) { return s.name == name; });
        if (at != list.end()) {
            if (isspecial) {
                *at = sym;   // keeps its place
                return;
            }
            list.erase(at);
            --count[name];
        }
    }
    ++count[name];
    if (isspecial) {
        special.push_back(sym);
        return;
    }
    auto at = std::upper_bound(program.begin(), program.end(), value,
                               [](uint32_t v, const ListedSymbol& s) { return v < s.value; });
    program.insert(at, sym);
}

const ListedSymbol* SymbolList::find(const std::string& name) const {
    auto it = count.find(name);
    if (it == count.end() || it->second == 0) return nullptr;
    const auto& list = !name.empty() && name[0] == '.' ? special : program;
    for (const auto& s : list)
        if (s.name == name) return &s;
    return nullptr;
}

std::optional<uint32_t> SymbolList::findsym(const std::string& name) {
    if (const ListedSymbol* s = find(name)) return s->value;
    return std::nullopt;
}

std::optional<std::string> SymbolList::symat(uint32_t value, const std::string& prefix) {
    auto at = std::lower_bound(program.begin(), program.end(), value,
                               [](const ListedSymbol& s, uint32_t v) { return s.value < v; });
    for (; at != program.end() && at->value == value; ++at)
        if (at->name.compare(0, prefix.size(), prefix) == 0) return at->name;
    return std::nullopt;
}

void SymbolList::dropprogramsyms() {
    for (const auto& s : program) --count[s.name];
    program.clear();
}

}  // namespace vek
