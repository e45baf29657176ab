// The string routines that the code generator and the assembly optimizer
// share (building a text from pieces, finding a character in one) and the
// hash of names that the assembler's tables look up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tl {

// Replaces dest by the texts end to end and returns the position of the end
// (where a C writer would put the NUL). With no texts dest becomes empty.
std::size_t catlist(std::string& dest, std::initializer_list<std::string_view> texts);

// The index of the first c in text, or text's length when there is none.
std::size_t charpos(std::string_view text, char c);

// FNV-1a over a name: cheap for the short names of symbol and opcode tables.
// Transparent, so a table keyed by std::string is searched with a view.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return static_cast<std::size_t>(hash(s)); }
    static uint64_t hash(std::string_view s) {
        uint64_t h = 0xcbf29ce484222325ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        return h;
    }
};

}  // namespace tl
