// List text: buffer, metrics, painter runs and hit test (see listtext.h).
#include "vek/views/model/listtext.h"

#include <algorithm>

namespace vek::views {

void TextBuffer::append(std::initializer_list<std::string_view> pieces) {
    size_t sum = 0;
    for (auto p : pieces) sum += p.size();
    text_.reserve(text_.size() + sum);
    for (auto p : pieces) text_.append(p);
}

void TextBuffer::reindex() {
    starts_.assign(1, 0);
    widest_ = 0;
    int col = 0;
    const size_t n = text_.size();
    for (size_t i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(text_[i]);
        if (c == '\n') {
            widest_ = std::max(widest_, col);
            col = 0;
            starts_.push_back(i + 1);
        } else if (c == '\t') {
            col = (col / ListTab + 1) * ListTab;
        } else if (c == mk::Color || c == mk::TagStart) {
            ++i;   // the tag's letter is never drawn either
        } else if (!hiddenbyte(c)) {
            ++col;
        }
    }
    widest_ = std::max(widest_, col);
    int feeds = int(starts_.size()) - 1;
    lines_ = std::max(1, feeds);
}

std::string_view TextBuffer::line(int n) const {
    if (n < 1 || size_t(n) > starts_.size()) return {};
    size_t from = starts_[size_t(n) - 1];
    if (from >= text_.size()) return {};
    size_t to = text_.find('\n', from);
    if (to == std::string::npos) to = text_.size();
    return std::string_view(text_).substr(from, to - from);
}

size_t TextBuffer::copyline(int n, std::string& out) const {
    out.assign(line(n));
    return out.size();
}

size_t TextBuffer::overwrite(int n, std::string_view bytes) {
    if (n < 1 || size_t(n) > starts_.size()) return 0;
    size_t from = starts_[size_t(n) - 1];
    size_t len = line(n).size();
    size_t count = std::min(len, bytes.size());
    text_.replace(from, count, bytes.substr(0, count));
    return count;
}

int linecolumns(std::string_view line, int tab) {
    int col = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            col = (col / tab + 1) * tab;
        else if (c == mk::Color || c == mk::TagStart)
            ++i;
        else if (c != '\n' && !hiddenbyte(c))
            ++col;
    }
    return col;
}

std::string visibletext(std::string_view line, int tab) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            out.append(size_t(tab - int(out.size()) % tab), ' ');
        else if (c == mk::Color || c == mk::TagStart)
            ++i;
        else if (c != '\n' && !hiddenbyte(c))
            out.push_back(char(c));
    }
    return out;
}

std::string plaintext(std::string_view line) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == mk::Color || c == mk::TagStart)
            ++i;
        else if (c != '\n' && !hiddenbyte(c))
            out.push_back(char(c));
    }
    return out;
}

std::vector<Run> layoutline(std::string_view line, int firstcol, int tab, bool colours) {
    std::vector<Run> runs;
    int color = 1, col = 0;
    auto put = [&](char ch) {
        if (col >= firstcol) {
            int at = col - firstcol;
            if (runs.empty() || runs.back().color != color || runs.back().column + int(runs.back().text.size()) != at)
                runs.push_back(Run{at, {}, color});
            runs.back().text.push_back(ch);
        }
        ++col;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == mk::Color) {
            if (i + 1 < line.size() && colours) color = colorindex(static_cast<unsigned char>(line[i + 1]));
            ++i;
        } else if (c == mk::TagStart) {
            ++i;
        } else if (c == 0x0F) {
            color = -1;
        } else if (c == 0x0E) {
            color = -2;
        } else if (c == '\t') {
            int to = (col / tab + 1) * tab;
            while (col < to) put(' ');
        } else if (c == '\n') {
            break;
        } else if (!hiddenbyte(c)) {
            put(char(c));
        }
    }
    return runs;
}

static bool wordchar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

ListHit hittest(std::string_view line, int firstcol, int col) {
    ListHit hit;
    const int target = firstcol + col;   // the clicked cell in line columns
    int x = 0;
    size_t tagat = std::string_view::npos;   // position of the open tag's letter
    size_t i = 0;
    size_t clicked = std::string_view::npos; // byte drawn in the clicked cell
    for (; i < line.size() && x <= target; ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c == mk::TagStart) {
            if (i + 1 < line.size()) tagat = i + 1;
            ++i;
        } else if (c == mk::TagEnd) {
            tagat = std::string_view::npos;
        } else if (c == mk::Color) {
            ++i;
        } else {
            if (c == ' ' && tagat != std::string_view::npos && line[tagat] != 'F' && line[tagat] != 'L')
                tagat = std::string_view::npos;
            if (x == target) clicked = i;
            ++x;
        }
    }
    if (tagat != std::string_view::npos && clicked != std::string_view::npos) {
        hit.letter = line[tagat];
        size_t end = line.find(char(mk::TagEnd), tagat + 1);
        hit.tag = std::string(line.substr(tagat + 1, end == std::string_view::npos ? end : end - tagat - 1));
        return hit;
    }
    if (clicked == std::string_view::npos || !wordchar(static_cast<unsigned char>(line[clicked]))) return hit;
    // The word around the clicked byte; escape pairs and tag ends are skipped.
    auto skipback = [&](size_t p) -> long {
        long q = long(p) - 1;
        while (q >= 0) {
            auto c = static_cast<unsigned char>(line[size_t(q)]);
            if (c == mk::TagEnd) { --q; continue; }
            if (q >= 1 && line[size_t(q) - 1] == mk::Color) { q -= 2; continue; }
            if (q >= 1 && line[size_t(q) - 1] == mk::TagStart) { q -= 2; continue; }
            break;
        }
        return q;
    };
    size_t from = clicked;
    for (long q = skipback(clicked); q >= 0 && wordchar(static_cast<unsigned char>(line[size_t(q)])); q = skipback(size_t(q)))
        from = size_t(q);
    for (size_t p = from; p < line.size();) {
        auto c = static_cast<unsigned char>(line[p]);
        if (c == mk::Color || c == mk::TagStart) { p += 2; continue; }
        if (c == mk::TagEnd) { ++p; continue; }
        if (!wordchar(c)) break;
        hit.word.push_back(char(c));
        ++p;
    }
    return hit;
}

void ListScroll::clamp(int lines, int widest) {
    if (lines <= visiblelines) firstline = 0;
    else firstline = std::clamp(firstline, 0, lines - visiblelines);
    if (widest <= visiblecols) firstcol = 0;
    else firstcol = std::clamp(firstcol, 0, widest - visiblecols);
}

}  // namespace vek::views
