// List text: the small markup in which every list, browser and source
// window of the debugger builds what it shows, the buffer that holds it, the
// shared colour table, and the pure parts of a list window (line metrics,
// the runs a painter draws, the hit test of a click).
//
// The idea: a window's text is one string of bytes; a line-start index kept
// beside it makes every per-line question (fetch, paint, hit test) cost the
// length of that line only, so a window's work follows its visible lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vek::views {

// Markup bytes.
namespace mk {
constexpr char Color = 0x01;      // 0x01 c: draw in palette entry c
constexpr char TagStart = 0x15;   // 0x15 L: a hidden tag of letter L
constexpr char TagEnd = 0x1A;
constexpr char Suspended = 0x0E;  // events browser: suspended event colour
constexpr char Active = 0x0F;     // events browser: active event colour
}  // namespace mk

constexpr int ListTab = 4;        // tab width of lists and source windows

constexpr int PaletteSize = 19;   // entries of the shared colour table

// The markup's palette index of an escape byte: outside 0 to 18 means 1.
inline int colorindex(unsigned char c) { return c < PaletteSize ? c : 1; }

// Bytes that are never drawn and take no column.
inline bool hiddenbyte(unsigned char c) {
    return c == '\r' || c == 0x0E || c == 0x0F || (c >= 0x13 && c <= 0x1A);
}

// A window's text with its line index. Appending grows the string (an
// append of any size fits); `reindex` must follow a change before lines are
// asked for.
class TextBuffer {
public:
    void append(std::initializer_list<std::string_view> pieces);
    void append(std::string_view piece) { text_.append(piece); }
    void clear() { text_.clear(); starts_.assign(1, 0); widest_ = 0; }
    void assign(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }

    // Recomputes the line index and the widest line (in columns).
    void reindex();
    // Number of lines: the line feeds, at least 1.
    int lines() const { return lines_; }
    int widest() const { return widest_; }
    // Line n (1-based) without its line feed; empty beyond the text.
    std::string_view line(int n) const;
    // Copies line n into out (escapes included, no line feed); 0 for n 0.
    size_t copyline(int n, std::string& out) const;
    // Replaces the start of line n with bytes, never past the line's end.
    // Returns the bytes written.
    size_t overwrite(int n, std::string_view bytes);

private:
    std::string text_;
    std::vector<size_t> starts_{0};   // offset of each line's first byte
    int lines_ = 1;
    int widest_ = 0;
};

// Columns a line takes in a list (markup excluded, tabs to multiples of tab).
int linecolumns(std::string_view line, int tab = ListTab);
// The visible text of a line: markup removed, tabs expanded to blanks.
std::string visibletext(std::string_view line, int tab = ListTab);
// The line with its markup removed (tabs kept): what save and print write.
std::string plaintext(std::string_view line);

// A stretch of one line drawn in one colour.
struct Run {
    int column = 0;           // first column (0 = the first visible one)
    std::string text;
    int color = 1;            // palette index; -1 active, -2 suspended event colour
};
// The runs of a line as painted from first visible column firstcol.
std::vector<Run> layoutline(std::string_view line, int firstcol, int tab = ListTab, bool colours = true);

// What lies under a click in a list window.
struct ListHit {
    char letter = 0;          // the tag's letter, 0 without a tag
    std::string tag;          // the tag's text (after the letter)
    std::string word;         // without a tag: the word under the click
};
// Hit test at column col of the window (0 = first visible), the window
// scrolled by firstcol columns.
ListHit hittest(std::string_view line, int firstcol, int col);

// A list window's scroll state.
struct ListScroll {
    int firstline = 0, firstcol = 0;
    int visiblelines = 1, visiblecols = 1;
    // The 1030 rule: lines above the one to show.
    void showline(int line) { firstline = line > 3 ? line - 3 : 0; }
    // The first visible values pulled back so that the last page is full.
    void clamp(int lines, int widest);
};

}  // namespace vek::views
