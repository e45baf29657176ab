// Token codes of the C parser: one numbering for punctuators, keywords,
// identifiers, constants, #asm lines and the end of input. Statement kinds
// and intermediate-file records reuse these numbers, so they are fixed.
#pragma once

#include <cstdint>
#include <iterator>

namespace cpppc {

namespace tok {
constexpr uint16_t Param = 0;        // macro parameter (replacement lists only)
constexpr uint16_t Comma = 1;
constexpr uint16_t Colon = 2;
constexpr uint16_t Semi = 3;
constexpr uint16_t String = 4;
constexpr uint16_t At = 5;
constexpr uint16_t Dot = 6;
constexpr uint16_t Ellipsis = 7;
constexpr uint16_t Arrow = 8;
constexpr uint16_t Quest = 9;
constexpr uint16_t LParen = 10;
constexpr uint16_t RParen = 11;
constexpr uint16_t LBrack = 12;
constexpr uint16_t RBrack = 13;
constexpr uint16_t Inc = 14;
constexpr uint16_t Dec = 15;
constexpr uint16_t LBrace = 16;
constexpr uint16_t RBrace = 17;
constexpr uint16_t Name = 18;        // identifier
constexpr uint16_t Number = 19;      // preprocessing number
constexpr uint16_t Hash = 20;
constexpr uint16_t HashHash = 21;
constexpr uint16_t CharConst = 22;   // preprocessing character constant
constexpr uint16_t Eol = 23;
constexpr uint16_t Other = 24;
constexpr uint16_t AsmLine = 31;
constexpr uint16_t BackHash = 52;    // the two characters "\#"
constexpr uint16_t Not = 61;
constexpr uint16_t Tilde = 62;
constexpr uint16_t Slash = 68;
constexpr uint16_t Percent = 69;
constexpr uint16_t Shl = 70;
constexpr uint16_t Shr = 71;
constexpr uint16_t Caret = 73;
constexpr uint16_t Bar = 74;
constexpr uint16_t Lt = 75;
constexpr uint16_t Ge = 76;
constexpr uint16_t Gt = 77;
constexpr uint16_t Le = 78;
constexpr uint16_t EqEq = 79;
constexpr uint16_t NotEq = 80;
constexpr uint16_t AndAnd = 91;
constexpr uint16_t OrOr = 92;
constexpr uint16_t Inline = 93;
constexpr uint16_t Assign = 95;
constexpr uint16_t Plus = 97;
constexpr uint16_t Minus = 98;
constexpr uint16_t Star = 99;
constexpr uint16_t Amp = 104;
constexpr uint16_t KeywordBase = 128;  // auto .. while: 128 + index in kKeywords
constexpr uint16_t Sizeof = 150;
constexpr uint16_t IntConst = 160;
constexpr uint16_t UIntConst = 161;
constexpr uint16_t MinIntConst = 162;  // 0x80000000 written without suffix
constexpr uint16_t FloatConst = 166;
constexpr uint16_t DoubleConst = 167;
constexpr uint16_t End = 255;
}  // namespace tok

// Keyword codes, in the order of kKeywords below.
namespace kw {
constexpr uint16_t Auto = 128, Break = 129, Case = 130, Char = 131, Const = 132, Continue = 133, Default = 134,
                   Do = 135, Double = 136, Else = 137, Enum = 138, Extern = 139, Float = 140, For = 141, Goto = 142,
                   If = 143, Int = 144, Long = 145, Register = 146, Return = 147, Short = 148, Signed = 149,
                   Sizeof = 150, Static = 151, Struct = 152, Switch = 153, Typedef = 154, Union = 155,
                   Unsigned = 156, Void = 157, Volatile = 158, While = 159;
}  // namespace kw

// Punctuators with their codes; the lexer takes the longest that matches.
struct Punctuator {
    const char* text;
    uint16_t code;
};
inline constexpr Punctuator kPunctuators[] = {
    {"...", 7}, {"<<=", 86}, {">>=", 87},
    {"->", 8},  {"++", 14},  {"--", 15},  {"##", 21},  {"\\#", 52}, {"<<", 70}, {">>", 71},
    {">=", 76}, {"<=", 78},  {"==", 79},  {"!=", 80},  {"+=", 81},  {"-=", 82}, {"*=", 83},
    {"/=", 84}, {"%=", 85},  {"&=", 88},  {"^=", 89},  {"|=", 90},  {"&&", 91}, {"||", 92},
    {",", 1},   {":", 2},    {";", 3},    {"@", 5},    {".", 6},    {"?", 9},   {"(", 10},
    {")", 11},  {"[", 12},   {"]", 13},   {"{", 16},   {"}", 17},   {"#", 20},  {"!", 61},
    {"~", 62},  {"/", 68},   {"%", 69},   {"^", 73},   {"|", 74},   {"<", 75},  {">", 77},
    {"=", 95},  {"+", 97},   {"-", 98},   {"*", 99},   {"&", 104},
};

// Keywords in code order (code = 128 + index).
inline constexpr const char* kKeywords[] = {
    "auto",   "break",  "case",     "char",   "const",    "continue", "default",  "do",
    "double", "else",   "enum",     "extern", "float",    "for",      "goto",     "if",
    "int",    "long",   "register", "return", "short",    "signed",   "sizeof",   "static",
    "struct", "switch", "typedef",  "union",  "unsigned", "void",     "volatile", "while",
};
static_assert(kw::While - tok::KeywordBase + 1 == std::size(kKeywords));

// Names of tokens for "missing %s".
struct TokenName {
    uint16_t code;
    const char* name;
};
inline constexpr TokenName kTokenNames[] = {
    {10, "("}, {11, ")"}, {17, "}"}, {13, "]"}, {159, "while"}, {3, ";"}, {2, ":"},
};

}  // namespace cpppc
