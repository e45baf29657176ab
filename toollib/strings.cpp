// catlist and charpos: see strings.h.
#include "toollib/strings.h"

namespace tl {

std::size_t catlist(std::string& dest, std::initializer_list<std::string_view> texts) {
    dest.clear();
    for (std::string_view t : texts) dest.append(t);
    return dest.size();
}

std::size_t charpos(std::string_view text, char c) {
    std::size_t i = text.find(c);
    return i == std::string_view::npos ? text.size() : i;
}

}  // namespace tl
