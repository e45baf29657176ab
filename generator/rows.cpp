// The code templates, one row per line, in the order findtemplate tries
// them. Columns: class of the left operand and of the result, class of the
// right operand, flags, then the template text or the special handler with
// its argument.
//
// Operand classes: 0x00-0x08 a plain constant of that value; 0x09 a constant
// that a scaled 8-bit immediate carries; 0x0A one that fits in 16 bits
// unsigned; 0x0B one whose complement has one bit set (in the width of the
// left type); 0x0C one with one bit set; 0x0D one that fits in 16 bits signed
// (-32768 refused when subtracting); 0x0E one whose low half is zero; 0x0F any
// constant leaf. Above that, 0x10 * k + t: type code t in the location kinds
// that k allows (k = 4 a register, 8 memory through a register, 1 a stack
// push, 3 a special-purpose register, 11 a constant, register or computed
// address). The letters 'A'-'J' are 0x41-0x4A, the registers of type codes
// 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 (A char, B unsigned char, C short, E unsigned
// short, F int, H unsigned int, I float, J double).
//
// Template letters (an 'L' or 'R' after a letter names the left or right
// operand; any other character is copied):
//   L R        print the operand ("LR": the left and "," only when the two
//              lie in different registers)
//   U          the next operand's second register, or 4 bytes further ("UU")
//   V W S SS   the next constant's low half unsigned, low half sign-extended,
//              whole value, high half sign-extended ('U' alone: high half)
//   G+op       the constant masked to 5 bits (shift counts)
//   A+op       a base-plus-index address folded into one register
//   M+op       load of the operand's width ("lbz", "lha", "lhz", "lwz", "x"
//              when indexed); M alone is "mr"
//   C+op       store of the operand's width ("stb", "sth", "stw", "x")
//   D1-D5      sraw srw slw mull divw     F1-F4  add sub adc sbc
//   N1 N3 N4   and or xor                 Z1-Z4  inc dec neg not
//   E X        ext cmp
//   K name     call of the run-time helper c_name, its result moved to L
//   &+op       the operand moved to the helper's argument registers
//   O          both operands moved to the helper's argument registers
//   T  T:      a branch label of the template, and its definition
//   ?c a?b?    a if the condition c holds, else b: 1 L is a pair starting
//              at R's register, 2 the reverse, 5 R's register is below L's,
//              6 L's type is unsigned char or short, 7 so is the node's
//   ;          end of an instruction
#include "generator/rows.h"

#include <array>

namespace cg {

namespace {

constexpr Row T(uint8_t l, uint8_t r, uint8_t flags, const char* text) { return Row{l, r, flags, text}; }
// A special row with a number argument, or a text argument.
constexpr Row S(uint8_t l, uint8_t r, uint8_t flags, uint8_t handler, int32_t num = 0) {
    return Row{l, r, static_cast<uint8_t>(flags | RF_SPECIAL), nullptr, handler, num};
}
constexpr Row ST(uint8_t l, uint8_t r, uint8_t flags, uint8_t handler, const char* arg) {
    return Row{l, r, static_cast<uint8_t>(flags | RF_SPECIAL), nullptr, handler, 0, arg};
}
// A skip row: when it matches, the next n rows are passed over.
constexpr Row SKIP(uint8_t l, uint8_t r, int n) {
    return Row{l, r, RF_SPECIAL, nullptr, static_cast<uint8_t>(0x40 | n)};
}

constexpr uint8_t CC = 0x3C;  // every comparison row

const Row kMultiply[] = {
    T('B', 0x0D, 0, "D4i L,R;E?7z?s?b L"),
    T('B', 'H',  0, "D4w L,R;E?7z?s?b L"),
    T('E', 0x0D, 0, "D4i L,R;E?7z?s?h L"),
    T('E', 'H',  0, "D4w L,R;E?7z?s?h L"),
    T('H', 0x0D, 0, "D4i L,R"),
    T('H', 'H',  0, "D4w L,R"),
    ST('I', 'I', 0, 7, "OKfmul"),
    T('J', 'J',  0, "OKdmul"),
};

#define SIGNED "D5 L,R"
#define UNSIGNED "D5u L,R"
const Row kDivide[] = {
    T('A', 'A', 0, SIGNED),   T('A', 'C', 0, SIGNED),   T('A', 'F', 0, SIGNED),
    T('B', 'B', 0, UNSIGNED), T('B', 'E', 0, UNSIGNED), T('B', 'H', 0, UNSIGNED),
    T('C', 'A', 0, SIGNED),   T('C', 'C', 0, SIGNED),   T('C', 'F', 0, SIGNED),
    T('E', 'B', 0, UNSIGNED), T('E', 'E', 0, UNSIGNED), T('E', 'H', 0, UNSIGNED),
    T('F', 'A', 0, SIGNED),   T('F', 'B', 0, SIGNED),   T('F', 'C', 0, SIGNED),
    T('F', 'E', 0, SIGNED),   T('F', 'F', 0, SIGNED),   T('F', 'H', 0, UNSIGNED),
    T('H', 'A', 0, UNSIGNED), T('H', 'B', 0, UNSIGNED), T('H', 'C', 0, UNSIGNED),
    T('H', 'E', 0, UNSIGNED), T('H', 'H', 0, UNSIGNED),
    ST('I', 'I', 0, 7, "OKfdiv"),
    T('J', 'J', 0, "OKddiv"),
};
#undef SIGNED
#undef UNSIGNED

#define SIGNED "D5 r0,L,R;D4w r0,R;F2 L,r0"
#define UNSIGNED "D5u r0,L,R;D4w r0,R;F2 L,r0"
const Row kRemainder[] = {
    T('A', 'A', 0, SIGNED),   T('A', 'C', 0, SIGNED),   T('A', 'F', 0, SIGNED),
    T('B', 'B', 0, UNSIGNED), T('B', 'E', 0, UNSIGNED), T('B', 'H', 0, UNSIGNED),
    T('C', 'A', 0, SIGNED),   T('C', 'C', 0, SIGNED),   T('C', 'F', 0, SIGNED),
    T('E', 'B', 0, UNSIGNED), T('E', 'E', 0, UNSIGNED), T('E', 'H', 0, UNSIGNED),
    T('F', 'A', 0, SIGNED),   T('F', 'B', 0, SIGNED),   T('F', 'C', 0, SIGNED),
    T('F', 'E', 0, SIGNED),   T('F', 'F', 0, SIGNED),   T('F', 'H', 0, UNSIGNED),
    SKIP('H', 0x0F, 2),
    T('H', 'A', 0, UNSIGNED), T('H', 'B', 0, UNSIGNED), T('H', 'C', 0, UNSIGNED),
    T('H', 'E', 0, UNSIGNED), T('H', 'H', 0, UNSIGNED),
};
#undef SIGNED
#undef UNSIGNED

const Row kAdd[] = {
    T('B', 0x0F, 0, "F1i L,WR;E?7z?s?b L"),
    T('B', 'H',  0, "F1 L,R;E?7z?s?b L"),
    T('E', 0x0F, 0, "F1i L,WR;E?7z?s?h L"),
    T('E', 'H',  0, "F1 L,R;E?7z?s?h L"),
    T('H', 0x0D, 0, "F1i L,R"),
    T('H', 0x0E, 0, "F1is L,SSUR"),
    T('H', 'H',  0, "F1 L,R"),
    ST('I', 'I', 0, 7, "OKfadd"),
    T('J', 'J',  0, "OKdadd"),
};

const Row kSubtract[] = {
    T('B', 0x0D, 0, "F2i L,R;E?7z?s?b L"),
    T('B', 'H',  0, "F2 L,R;E?7z?s?b L"),
    T('E', 0x0D, 0, "F2i L,R;E?7z?s?h L"),
    T('E', 'H',  0, "F2 L,R;E?7z?s?h L"),
    T('H', 0x0D, 0, "F2i L,R"),
    T('H', 0x0E, 0, "F2is L,SSUR"),
    T('H', 'H',  0, "F2 L,R"),
    ST('I', 'I', 0, 7, "OKfsub"),
    T('J', 'J',  0, "OKdsub"),
};

const Row kShiftLeft[] = {
    T('B', 0x0F, 0, "D3i L,GR;E?7z?s?b L"),
    T('B', 'H',  0, "D3 L,R;E?7z?s?b L"),
    T('E', 0x0F, 0, "D3i L,GR;E?7z?s?h L"),
    T('E', 'H',  0, "D3 L,R;E?7z?s?h L"),
    T('H', 0x0F, 0, "D3i L,GR"),
    T('H', 'H',  0, "D3 L,R"),
};

const Row kShiftRight[] = {
    T('A', 0x0F, 0, "D1i L,GR"), T('A', 'H', 0, "D1 L,R"),
    T('B', 0x0F, 0, "D2i L,GR"), T('B', 'H', 0, "D2 L,R"),
    T('C', 0x0F, 0, "D1i L,GR"), T('C', 'H', 0, "D1 L,R"),
    T('E', 0x0F, 0, "D2i L,GR"), T('E', 'H', 0, "D2 L,R"),
    T('F', 0x0F, 0, "D1i L,GR"), T('F', 'H', 0, "D1 L,R"),
    T('H', 0x0F, 0, "D2i L,GR"), T('H', 'H', 0, "D2 L,R"),
};

// A 16-bit and immediate exists only in its record form (andi., andis.).
const Row kAnd[] = {
    S(0x8D, 0x0F, 0x44, 6, 1),
    S(0x8D, 0x0F, 0, 6, 0),
    T('B', 0x09, 0x44, "N1i. r0,L,R"),
    T('B', 0x09, 0, "N1i L,R"),
    T('B', 0x0A, 0, "N1i. L,R;E?7z?s?b L"),
    S('B', 0x0F, 0x44, 8, 1),
    S('B', 0x0F, 0, 8, 0),
    T('B', 'H',  0, "N1 L,R;E?7z?s?b L"),
    S(0x84, 0x0F, 0x44, 6, 1),
    S(0x84, 0x0F, 0, 6, 0),
    T('E', 0x09, 0x44, "N1i. r0,L,R"),
    T('E', 0x09, 0, "N1i L,R"),
    T('E', 0x0A, 0, "N1i. L,R?7?;Esh L?"),
    S('E', 0x0F, 0x44, 8, 1),
    S('E', 0x0F, 0, 8, 0),
    T('E', 'H',  0, "N1 L,R;E?7z?s?h L"),
    S(0x87, 0x0F, 0x44, 6, 1),
    S(0x87, 0x0F, 0, 6, 0),
    T('H', 0x09, 0x44, "N1i. r0,L,R"),
    T('H', 0x09, 0, "N1i L,R"),
    T('H', 0x0A, 0, "N1i. L,R"),
    T('H', 0x0E, 0, "N1is. L,UR"),
    S('H', 0x0F, 0x44, 8, 1),
    S('H', 0x0F, 0, 8, 0),
    T('H', 'H',  0, "N1 L,R"),
};

const Row kXor[] = {
    S(0x8D, 0x0F, 0, 6, 3),
    ST('B', 0x09, 0, 9, "N4i L,"),
    SKIP('B', 0x0F, 2),
    T('B', 'H', 0, "N4 L,R;E?7z?s?b L"),
    S(0x84, 0x0F, 0, 6, 3),
    ST('E', 0x09, 0, 9, "N4i L,"),
    SKIP('E', 0x0F, 2),
    T('E', 'H', 0, "N4 L,R;E?7z?s?h L"),
    S(0x87, 0x0F, 0, 6, 3),
    T('H', 0x09, 0, "N4i L,R"),
    T('H', 'H', 0, "N4 L,R"),
};

const Row kOr[] = {
    S(0x8D, 0x0F, 0, 6, 2),
    ST('B', 0x0F, 0, 9, "N3i L,"),
    T('B', 'H', 0, "N3 L,R;E?7z?s?b L"),
    S(0x84, 0x0F, 0, 6, 2),
    ST('E', 0x0F, 0, 9, "N3i L,"),
    T('E', 'H', 0, "N3 L,R;E?7z?s?h L"),
    S(0x87, 0x0F, 0, 6, 2),
    T('H', 0x09, 0, "N3i L,R"),
    T('H', 0x0A, 0, "N3i L,R"),
    T('H', 0x0E, 0, "N3is L,UR"),
    T('H', 0x0F, 0, "N3i L,VR;N3is L,UR"),
    T('H', 'H', 0, "N3 L,R"),
};

const Row kComplement[] = {
    S(0x8D, 0x00, 0, 6, 4),
    T('B', 0x00, 0, "Z4 L;E?7z?s?b L"),
    S(0x84, 0x00, 0, 6, 4),
    T('E', 0x00, 0, "Z4 L;E?7z?s?h L"),
    S(0x87, 0x00, 0, 6, 4),
    T('H', 0x00, 0, "Z4 L"),
};

const Row kNegate[] = {
    T('B', 0x00, 0, "Z3 L;E?7z?s?b L"),
    T('E', 0x00, 0, "Z3 L;E?7z?s?h L"),
    T('H', 0x00, 0, "Z3 L"),
    ST('I', 0x00, 0, 7, "&LKfneg"),
    T('J', 0x00, 0, "&LKdneg"),
};

// A floating compare with the constant 0 goes to the helper too: the bits of
// -0.0 and of a double with only low-word bits are not those of 0. Register
// compares are cmpw and cmplw, which reach every register (cmp only r0-r7
// and r24-r31).
const Row kCompare[] = {
    T('A', 0x0D, CC, "Xi L,R"),
    T('A', 'A', CC, "Xw L,R"), T('A', 'C', CC, "Xw L,R"), T('A', 'F', CC, "Xw L,R"),
    T('B', 0x0A, CC, "Xli L,R"),
    T('B', 'B', CC, "Xw L,R"), T('B', 'E', CC, "Xw L,R"), T('B', 'H', CC, "Xw L,R"),
    T('C', 0x0D, CC, "Xi L,R"),
    T('C', 'A', CC, "Xw L,R"), T('C', 'C', CC, "Xw L,R"), T('C', 'F', CC, "Xw L,R"),
    T('E', 0x0A, CC, "Xli L,R"),
    T('E', 'B', CC, "Xw L,R"), T('E', 'E', CC, "Xw L,R"), T('E', 'H', CC, "Xw L,R"),
    T('F', 0x0D, CC, "Xi L,R"),
    T('F', 'A', CC, "Xw L,R"), T('F', 'C', CC, "Xw L,R"), T('F', 'F', CC, "Xw L,R"),
    T('H', 0x0A, CC, "Xli L,R"),
    T('H', 'B', CC, "Xlw L,R"), T('H', 'E', CC, "Xlw L,R"), T('H', 'H', CC, "Xlw L,R"),
    ST('I', 0x00, CC, 7, "OKfcmp"),
    ST('I', 'I', CC, 7, "OKfcmp"),
    T('J', 0x00, CC, "OKdcmp"),
    T('J', 'J', CC, "OKdcmp"),
};

const Row kCopy[] = {
    S(0xB8, 0xB8, 0, 4, 0),
};

const Row kAssign[] = {
    // bytes
    S(0x8D, 0x0F, 0, 1),
    S(0x8D, 'B', 0, 2),
    S('B', 0x0F, 0, 5),
    T('B', 'A',  0, "?6Ezb LR?M L,R?"),
    T('B', 0x81, 0, "MRL,R?6?;Esb L?"),
    T(0x82, 'A', 0, "CLR,L"),
    S('B', 0x8D, 0, 3),
    T('B', 'B',  0, "?6M L,R?Esb LR?"),
    T('B', 0x82, 0, "MRL,R?6?;Esb L?"),
    T(0x82, 'B', 0, "CLR,L"),
    T('B', 'E',  0, "?6Ezb LR?Esb LR?"),
    T(0x82, 'E', 0, "CLR,L"),
    T('B', 'H',  0, "?6Ezb LR?Esb LR?"),
    T(0x82, 'H', 0, "CLR,L"),
    // halfwords
    S(0x84, 0x0F, 0, 1),
    S(0x84, 'E', 0, 2),
    S('E', 0x0F, 0, 5),
    T('E', 'A',  0, "?6Ezh LR?M L,R?"),
    T('E', 0x81, 0, "MRL,R;?6Esb L;Ezh L?Esb L?"),
    S('E', 0x8D, 0, 3),
    T('E', 'B',  0, "M L,R"),
    T('E', 0x82, 0, "MRL,R"),
    T('E', 'C',  0, "?6Ezh LR?M L,R?"),
    T('E', 0x83, 0, "MRL,R;?6Ezh L??"),
    T(0x85, 'C', 0, "CLR,L"),
    S('E', 0x84, 0, 3),
    T('E', 'E',  0, "?6M L,R?Esh LR?"),
    T('E', 0x85, 0, "MRL,R?6?;Esh L?"),
    T(0x85, 'E', 0, "CLR,L"),
    T('E', 'H',  0, "?6Ezh LR?Esh LR?"),
    T(0x85, 'H', 0, "CLR,L"),
    // words
    S(0x87, 0x0F, 0, 1),
    S(0x87, 'H', 0, 2),
    S('H', 0x0F, 0, 5),
    T('H', 'A',  0, "M L,R"),
    T('H', 0x81, 0, "MRL,R;Esb L"),
    S('H', 0x8D, 0, 3),
    T('H', 'B',  0, "M L,R"),
    T('H', 0x82, 0, "MRL,R"),
    T('H', 'C',  0, "M L,R"),
    T('H', 0x83, 0, "MRL,R;Esh L"),
    S('H', 0x84, 0, 3),
    T('H', 'E',  0, "M L,R"),
    T('H', 0x85, 0, "MRL,R"),
    T('H', 'F',  0, "M L,R"),
    T('H', 0x86, 0, "MRL,R"),
    T('H', 0x36, 0, " mfspr L,R"),
    T(0x38, 'F', 0, " mtspr L,R"),
    T(0x88, 'F', 0, "CLR,L"),
    S('H', 0x87, 0, 3),
    T('H', 'H',  0, "M L,R"),
    T('H', 0x88, 0, "MRL,R"),
    T('H', 0x38, 0, " mfspr L,R"),
    T(0x38, 'H', 0, " mtspr L,R"),
    T(0x88, 'H', 0, "CLR,L"),
    // conversions and floating values
    ST('H', 'I', 0, 7, "&RKftol"),
    T('H', 'J',  0, "&RKdtol"),
    T('I', 0x00, 0, " li L,0"),
    ST('I', 'F', 0, 7, "&RKltof"),
    ST('I', 'H', 0, 7, "&RKultof"),
    T('I', 'I',  0, "M L,R"),
    T('I', 0x89, 0, "MRL,R"),
    T(0x89, 'I', 0, "CLR,L"),
    T('I', 'J',  0, "&RKdtof"),
    T('J', 0x00, 0, " li L,0; li UL,0"),
    T('J', 'F',  0, "&RKltod"),
    T('J', 'H',  0, "&RKultod"),
    T('J', 'I',  0, "&RKftod"),
    T('J', 'J',  0, "?5M UL,UR;M L,R?M L,R;M UL,UR?"),
    T('J', 0x8A, 0, "AR?1MRUL,UUR;MRL,R?MRL,R;MRUL,UUR?"),
    T(0x8A, 'J', 0, "AL?2CLUR,UUL;CLR,L?CLR,L;CLUR,UUL?"),
    // pushes: the value (the right operand) goes below r1, which the left
    // operand, the stack-push slot, then stands for
    T(0x12, 'B', 0, " stbu R,-1(r1)"),
    T(0x15, 'E', 0, " sthu R,-2(r1)"),
    T(0x18, 'H', 0, " stwu R,-4(r1)"),
    T(0x19, 'I', 0, " stwu R,-4(r1)"),
    T(0x1A, 'J', 0, " stwu UR,-4(r1); stwu R,-4(r1)"),
};

const RowList kLists[] = {
    {"multiply", kMultiply},     {"divide", kDivide},        {"remainder", kRemainder},
    {"add", kAdd},               {"subtract", kSubtract},    {"shift left", kShiftLeft},
    {"shift right", kShiftRight}, {"and", kAnd},             {"xor", kXor},
    {"or", kOr},                 {"complement", kComplement}, {"negate", kNegate},
    {"compare", kCompare},       {"assign", kAssign},        {"copy", kCopy},
};

enum ListIndex { MUL, DIV, MOD, ADD, SUB, SHL, SHR, AND, XOR, OR, COMPL, NEG, CMP, ASG, COPY };

// Operator, list, unsign left, unsign right.
const OpEntry kOps[] = {
    {226, &kLists[MUL], true, false},  {133, &kLists[DIV], false, false},
    {153, &kLists[MOD], false, false}, {222, &kLists[ADD], true, true},
    {216, &kLists[SUB], true, true},   {151, &kLists[SHL], true, true},
    {160, &kLists[SHR], false, true},  {193, &kLists[AND], true, true},
    {163, &kLists[XOR], true, true},   {156, &kLists[OR], true, true},
    {67, &kLists[COMPL], true, true},  {108, &kLists[NEG], true, true},
    {174, &kLists[CMP], false, false}, {136, &kLists[ASG], true, false},
    {145, &kLists[MUL], true, false},  {135, &kLists[DIV], false, false},
    {140, &kLists[MOD], false, false}, {142, &kLists[ADD], true, true},
    {139, &kLists[SUB], true, true},   {114, &kLists[NEG], true, false},
    {115, &kLists[COMPL], true, false}, {137, &kLists[SHL], true, true},
    {138, &kLists[SHR], false, true},  {134, &kLists[AND], true, true},
    {146, &kLists[XOR], true, true},   {141, &kLists[OR], true, true},
    {170, &kLists[ADD], true, true},   {167, &kLists[SUB], true, true},
    {164, &kLists[COPY], false, false},
};

}  // namespace

const Row kRowAddrArith = T('H', 'H', 0, "");
const Row kRowRotate = T('H', 0x0F, 0, " rlwi L,R");
const Row kRowIncStep = T('H', 0x0F, 0, "F1i L,R");
const Row kRowDecStep = T('H', 0x0F, 0, "F2i L,R");
const Row kRowStoreBack = T('H', 0x88, 0, "CRL,R");

const OpEntry* oplookup(int op) {
    for (const OpEntry& e : kOps)
        if (e.op == op) return &e;
    return nullptr;
}

std::span<const OpEntry> optable() { return kOps; }
std::span<const RowList> rowlists() { return kLists; }

}  // namespace cg
