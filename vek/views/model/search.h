// Text search in a source window: over the visible text of its lines
// (markup removed, tabs expanded), case-sensitive, forward or backward from
// the last match, never wrapping around.
#pragma once

#include <functional>
#include <string>

namespace vek::views {

enum class SearchDir { Up = 102, Down = 103 };

// One window's search: owned by its pane, so it ends with the pane.
struct SearchRecord {
    bool changed = true;
    SearchDir dir = SearchDir::Down;
    int line = 1;           // match line, 1-based
    int first = -1;         // match first column; -1: no match
    int end = 0;            // one past the match's last column
    bool hastext = false;
    std::string text;

    void cancel() { line = 1, first = -1; }
    bool matched() const { return first >= 0; }
};

// The lines of the searched window: their count and the visible text of one.
struct SearchLines {
    int count = 0;
    std::function<std::string(int)> visible;
};

// Searches in the record's direction; true with the match stored, false
// (the old match kept) when the text was not found.
bool searchnext(SearchRecord& r, const SearchLines& lines);

}  // namespace vek::views
