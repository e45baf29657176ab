// The instruction lines of `objdump -d` output: address, bytes (without
// blanks) and the instruction text, for tests that compare with it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace qvtest {

struct DisLine {
    uint32_t address;
    std::string bytes, text;
};

// "   0:\t18 64 \tse_add   r3,r4" -> {0, "1864", "se_add   r3,r4"}
inline std::vector<DisLine> objdumplines(const std::string& output) {
    std::vector<DisLine> out;
    std::istringstream in(output);
    std::string l;
    while (std::getline(in, l)) {
        unsigned a;
        const size_t t1 = l.find('\t'), t2 = l.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos || std::sscanf(l.c_str(), " %x:", &a) != 1) continue;
        std::string bytes;
        for (char c : l.substr(t1 + 1, t2 - t1 - 1))
            if (c != ' ') bytes += c;
        out.push_back({uint32_t(a), bytes, l.substr(t2 + 1)});
    }
    return out;
}

}  // namespace qvtest
