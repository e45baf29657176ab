// Text search (see search.h).
#include "vek/views/model/search.h"

namespace vek::views {

static bool found(SearchRecord& r, int line, size_t at) {
    r.line = line;
    r.first = int(at);
    r.end = int(at + r.text.size());
    return true;
}

bool searchnext(SearchRecord& r, const SearchLines& lines) {
    if (!r.hastext || r.text.empty()) return false;
    if (r.dir == SearchDir::Down) {
        int line = r.matched() ? r.line : 1;
        size_t col = r.matched() ? size_t(r.first) + 1 : 0;
        for (; line >= 1 && line <= lines.count; ++line, col = 0) {
            std::string t = lines.visible(line);
            if (col > t.size()) continue;
            size_t at = t.find(r.text, col);
            if (at != std::string::npos) return found(r, line, at);
        }
        return false;
    }
    // Up: before the match, or from the end of the previous line.
    int line = r.line;
    long before = -1;   // matches must start before this column; -1: whole line
    if (r.matched() && r.first > 0)
        before = r.first;
    else
        --line;
    for (; line >= 1 && line <= lines.count; --line, before = -1) {
        std::string t = lines.visible(line);
        size_t at = t.rfind(r.text);
        while (at != std::string::npos && before >= 0 && long(at) >= before)
            at = at == 0 ? std::string::npos : t.rfind(r.text, at - 1);
        if (at != std::string::npos) return found(r, line, at);
    }
    return false;
}

}  // namespace vek::views
