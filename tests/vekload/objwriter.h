// A tiny writer of object files in the assembler's format, for fixtures:
// sections with their data, symbol records and debug records, laid out as
// the assembler lays them out (header, section table, data, symbols, debug
// records), every number big-endian.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace fixture {

struct Section {
    std::string name;
    uint8_t attr = 0;
    uint32_t address = 0, second = 0;
    std::vector<uint8_t> data;
    uint32_t bsssize = 0;        // > 0: no data in the file, this size
    int lenbyte = -1;            // overrides the name-length byte
};

struct Symbol {
    uint32_t value = 0;
    uint8_t flags = 0, section = 0;
    std::string name;
};

struct Debug {
    uint32_t address = 0;
    uint8_t kind = 0, section = 0;
    std::string text;
};

inline void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(uint8_t(x >> s));
}
inline void set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (24 - 8 * i));
}

struct Object {
    std::vector<Section> sections;
    std::vector<Symbol> symbols;
    std::vector<Debug> debug;
    std::vector<uint8_t> tail;   // bytes appended after the debug records

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> f(28 + 40 * sections.size(), 0);
        f[0] = 0xCC;
        f[1] = 3;
        f[2] = 8;
        f[3] = uint8_t(sections.size());
        for (size_t i = 0; i < sections.size(); ++i) {
            const Section& s = sections[i];
            size_t r = 28 + 40 * i;
            f[r] = s.attr;
            f[r + 1] = uint8_t(s.lenbyte >= 0 ? s.lenbyte : int(s.name.size()));
            for (size_t k = 0; k < s.name.size() && k < 14; ++k) f[r + 2 + k] = uint8_t(s.name[k]);
            if (s.bsssize) {
                set32(f, r + 20, s.bsssize);
            } else {
                set32(f, r + 16, uint32_t(f.size()));
                set32(f, r + 20, uint32_t(s.data.size()));
                f.insert(f.end(), s.data.begin(), s.data.end());
                set32(f, r + 24, uint32_t(f.size()));
            }
            set32(f, r + 32, s.address);
            set32(f, r + 36, s.second);
        }
        set32(f, 4, uint32_t(symbols.size()));
        set32(f, 8, uint32_t(f.size()));
        size_t start = f.size();
        for (const Symbol& s : symbols) {
            put32(f, s.value);
            f.push_back(s.flags);
            f.push_back(s.section);
            f.push_back(uint8_t(s.name.size()));
            f.insert(f.end(), s.name.begin(), s.name.end());
        }
        set32(f, 12, uint32_t(f.size() - start));
        set32(f, 16, uint32_t(debug.size()));
        set32(f, 20, uint32_t(f.size()));
        start = f.size();
        for (const Debug& d : debug) {
            put32(f, d.address);
            f.push_back(d.kind);
            f.push_back(d.section);
            f.push_back(uint8_t(d.text.size()));
            f.insert(f.end(), d.text.begin(), d.text.end());
        }
        set32(f, 24, uint32_t(f.size() - start));
        f.insert(f.end(), tail.begin(), tail.end());
        return f;
    }
};

// One 24-byte init-marker or module-marker entry: section, name, two words.
inline std::vector<uint8_t> marker(uint8_t section, const std::string& name, uint32_t first, uint32_t second) {
    std::vector<uint8_t> e(24, 0);
    e[0] = section;
    e[1] = uint8_t(name.size());
    for (size_t i = 0; i < name.size() && i < 14; ++i) e[2 + i] = uint8_t(name[i]);
    set32(e, 16, first);
    set32(e, 20, second);
    return e;
}

inline uint32_t get32(const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 | v[at + 3];
}

inline void writefile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Builds a ".debug" section: words and strings at known positions.
struct DebugData {
    std::vector<uint8_t> v;
    uint32_t here() const { return uint32_t(v.size()); }
    uint32_t word(uint32_t x) { uint32_t at = here(); put32(v, x); return at; }
    uint32_t typeword(uint32_t x) {   // least significant byte first
        uint32_t at = here();
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
        return at;
    }
    uint32_t string(const std::string& s, int cls = -1) {
        uint32_t at = here();
        v.insert(v.end(), s.begin(), s.end());
        v.push_back(0);
        if (cls >= 0) v.push_back(uint8_t(cls));
        return at;
    }
    void patch(uint32_t at, uint32_t x) { set32(v, at, x); }
};

}  // namespace fixture
