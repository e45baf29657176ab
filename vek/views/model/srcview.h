// The source window's logic without Qt: the prefix of each painted line
// (number, coverage or address column), the stretch of the current
// statement, and the command lines that clicks and keys issue.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek::views {

enum class Coverage { None = 0, Iconic = 10010, Timing = 10011, Executions = 10012 };

struct SourceColumns {
    bool address = false;
    Coverage coverage = Coverage::None;
    int countwidth = 5;
    // Columns of the extra column (after the number and its blank).
    int extra() const {
        if (address) return 9;
        if (coverage == Coverage::Timing || coverage == Coverage::Executions) return countwidth + 1;
        return 0;
    }
};

int digits(int n);
// The extra column's text of a line: address or count, blanks without code.
std::string extracell(const SourceColumns& c, bool hascode, uint32_t address, uint32_t hits, int32_t cycles);

// Columns [from, to] of the current statement in a line's visible text
// (tabs counting one); false when nothing is highlighted.
bool statementrange(std::string_view visible, uint32_t column, uint32_t endcolumn, int& from, int& to);

// Modifier keys at a click.
struct Keys {
    bool shift = false, ctrl = false, w = false;
};

// A double click on a line number with code: the command to run. An
// existing event switches on or off (eventnumber > 0); Shift asks for the
// address ("" here: the caller shows it).
std::string numberclick(const std::string& file, int line, const Keys& keys, int eventnumber, bool eventon);

// A typed character in the main source window: the command, "" for nothing,
// or "\a" for a beep.
std::string keycommand(char c, bool running);

// The message box of a click in a count column.
std::string countmessage(uint32_t hits, int32_t cycles);

// The expression a selection in a source line makes.
std::string selectionexpr(const std::string& text, const std::string& func, bool funchasvar,
                          const std::string& file, bool filehasvar, bool mainwindow);

}  // namespace vek::views
