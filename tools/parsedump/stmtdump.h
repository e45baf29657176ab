// The parser dump's view of a function: its parameters and its statement
// tree, one statement per line, children indented below their statement.
#pragma once

#include <string>

#include "parser/parser.h"

namespace parsedump {

// Text built line by line, two blanks per level of indentation.
struct IndentedText {
    std::string out;
    void line(int indent, const std::string& text) {
        out.append(static_cast<size_t>(indent) * 2, ' ');
        out += text;
        out += '\n';
    }
};

// function NAME
//   param NAME class CLASS offset O flags 0xFFFFFF: TYPE     (each parameter)
//   KIND [flags 0xF] [label L] [: EXPR]                       (the body)
// KIND is expr, compound, asm, break, continue, do, for, goto, if, return,
// switch, while, counted or kind N. A compound lists its locals first
// ("local NAME class CLASS flags 0xFFFFFF value V: TYPE"), then its
// statements; if has "then" and "else", for "init", "test", "incr" and
// "body", switch "case V -> L" / "default -> L" lines (L the label number
// of the labelled statement) and "body"; goto names its label; an asm line
// shows its text. An expression whose inline calls were expanded shows
// "sequence" with the statements that run first, then "value: EXPR".
std::string functiondump(cpppc::Parser& P, cpppc::Symbol* f, cpppc::StmtNode* body);

}  // namespace parsedump
