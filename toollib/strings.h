// The two string routines that the code generator and the assembly optimizer
// share: building a text from pieces and finding a character in one.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tl {

// Replaces dest by the texts end to end and returns the position of the end
// (where a C writer would put the NUL). With no texts dest becomes empty.
std::size_t catlist(std::string& dest, std::initializer_list<std::string_view> texts);

// The index of the first c in text, or text's length when there is none.
std::size_t charpos(std::string_view text, char c);

}  // namespace tl
