// The optimizer's instruction table: one row per mnemonic it knows, sorted,
// telling the line parser how the operands of the mnemonic read and write
// registers, which resources it touches besides them, its width and forms.
//
// The idea: most rows are written out here; the e_ and se_ spellings are not,
// because the shared encoding table names the generic row of each of them
// (its `also` column), and an e_stw is a store, an e_bl a call and an se_blr
// an exit exactly as their generic rows are. Handler lists are attached from
// the pass tables (passes.cpp) when the table is built.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <utility>

#include "optimizer/opt.h"
#include "toollib/isa/isa.h"

namespace opt {

namespace {

// Operand patterns (the low four bits of the attribute word):
//   P0  the first operand is written, the others are read
//   P1  as P0, and the first operand is also read, unless a two-operand row
//       (Two) has more than two operands or a one-operand row (One) more
//       than one
//   P3  every operand is read (compares, tests, moves to special registers)
//   P5  every operand is read (stores)
//   P6  lmw: the first operand's register and every higher one are written
//   P7  stmw: the first operand's register and every higher one are read
constexpr uint32_t P0 = 0, P1 = 1, P3 = 3, P5 = 5, P6 = 6, P7 = 7;

constexpr uint32_t AllGpr = 0xFFFFFFFFu;
constexpr uint32_t R3R4 = regrange(3, 4);            // what a return may give back
constexpr uint32_t ArgGpr = regrange(3, 10);         // what a call may take
constexpr uint32_t CallerGpr = 1u | regrange(3, 12);

// Column key: mnemonic, attributes (pattern and Attr bits), implicit read
// word, implicit written word (Res bits), and general registers read and
// written besides the operands. Every row not listed here either has no
// attribute and no implicit effect (kPlain) or is an e_/se_ spelling (kVle).
struct RowSpec {
    const char* mnemonic;
    uint32_t attr, implread, implwrite;
    uint32_t gprread = 0, gprwrite = 0;
};

const RowSpec kRows[] = {
    {"add",       P1|Two|Xo|Rec|Comm,        0,                   0},
    {"addc",      P1|Two|Xo|Rec|Comm,        0,                   Ca},
    {"adde",      P1|Two|Xo|Rec|Comm,        Ca,                  Ca},
    {"addi",      P1|Two,                    0,                   0},
    {"addic",     P1|Two,                    0,                   Ca},
    {"addis",     P1|Two|NoT0,               0,                   0},
    {"addme",     P1,                        Ca,                  Ca},
    {"addze",     P1,                        Ca,                  Ca},
    {"and",       P1|Two|Rec|Comm,           0,                   0},
    {"andc",      P1|Two|Rec,                0,                   0},
    {"andi",      P1|Two|Rec|NoT0,           0,                   0},
    {"andis",     P1|Two|Rec|NoT0,           0,                   0},
    {"b",         P0,                        0,                   Br|Lbl},
    {"ba",        P0,                        0,                   Br|Lbl},
    {"bc",        P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bca",       P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bcctr",     P0,                        CrAll|Br|Ctr,        Br,                  R3R4, 0},
    {"bcctrl",    P0,                        CrAll|Br|Ctr,        Br|Lr|Call,          ArgGpr, 0},
    {"bcl",       P0,                        CrAll|Br|Ctr,        Br|Lr|Ctr|Lbl,       ArgGpr, 0},
    {"bcla",      P0,                        CrAll|Br|Ctr,        Br|Lr|Ctr|Lbl,       ArgGpr, 0},
    {"bclr",      P0,                        CrAll|Br|Lr,         Br,                  R3R4, 0},
    {"bclri",     P1|ShortRegs,              0,                   0},
    {"bclrl",     P0,                        CrAll|Br|Lr,         Br|Lr|Call,          ArgGpr, 0},
    {"bctr",      P0,                        Ctr,                 Br|Lbl},
    {"bctrl",     P0,                        Ctr,                 Lr|Call},
    {"bdnz",      P0,                        Br|Ctr,              Br|Ctr|Lbl},
    {"bdnza",     P0,                        Br|Ctr,              Br|Ctr|Lbl},
    {"bdnzf",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdnzfa",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdnzfl",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnzfla",   P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnzflr",   P0,                        CrAll|Br|Lr|Ctr,     Br|Ctr,              R3R4, 0},
    {"bdnzflrl",  P0,                        CrAll|Br|Lr|Ctr,     Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"bdnzl",     P0,                        Br|Ctr,              Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnzla",    P0,                        Br|Ctr,              Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnzlr",    P0,                        Br|Lr|Ctr,           Br|Ctr,              R3R4, 0},
    {"bdnzlrl",   P0,                        Br|Lr|Ctr,           Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"bdnzt",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdnzta",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdnztl",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnztla",   P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdnztlr",   P0,                        CrAll|Br|Lr|Ctr,     Br|Ctr,              R3R4, 0},
    {"bdnztlrl",  P0,                        CrAll|Br|Lr|Ctr,     Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"bdz",       P0,                        Br|Ctr,              Br|Ctr|Lbl},
    {"bdza",      P0,                        Br|Ctr,              Br|Ctr|Lbl},
    {"bdzf",      P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdzfa",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdzfl",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdzfla",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdzflr",    P0,                        CrAll|Br|Lr|Ctr,     Br|Ctr,              R3R4, 0},
    {"bdzflrl",   P0,                        CrAll|Br|Lr|Ctr,     Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"bdzl",      P0,                        Br|Ctr,              Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdzla",     P0,                        Br|Ctr,              Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdzlr",     P0,                        Br|Lr|Ctr,           Br|Ctr,              R3R4, 0},
    {"bdzlrl",    P0,                        Br|Lr|Ctr,           Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"bdzt",      P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdzta",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl},
    {"bdztl",     P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdztla",    P0,                        CrAll|Br|Ctr,        Br|Ctr|Lbl,          ArgGpr, 0},
    {"bdztlr",    P0,                        CrAll|Br|Lr|Ctr,     Br|Ctr,              R3R4, 0},
    {"bdztlrl",   P0,                        CrAll|Br|Lr|Ctr,     Br|Lr|Ctr|Call,      ArgGpr, 0},
    {"beq",       P0,                        Cr0|Br,              Br|Lbl},
    {"beqa",      P0,                        Cr0|Br,              Br|Lbl},
    {"beqctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"beqctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"beql",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"beqla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"beqlr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"beqlrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bf",        P0,                        CrAll|Br,            Br|Lbl},
    {"bfa",       P0,                        CrAll|Br,            Br|Lbl},
    {"bfctr",     P0,                        CrAll|Br|Ctr,        Br,                  R3R4, 0},
    {"bfctrl",    P0,                        CrAll|Br|Ctr,        Br|Lr|Call,          ArgGpr, 0},
    {"bfl",       P0,                        CrAll|Br,            Br|Lr|Lbl,           ArgGpr, 0},
    {"bfla",      P0,                        CrAll|Br,            Br|Lr|Lbl,           ArgGpr, 0},
    {"bflr",      P0,                        CrAll|Br|Lr,         Br,                  R3R4, 0},
    {"bflrl",     P0,                        CrAll|Br|Lr,         Br|Lr|Call,          ArgGpr, 0},
    {"bge",       P0,                        Cr0|Br,              Br|Lbl},
    {"bgea",      P0,                        Cr0|Br,              Br|Lbl},
    {"bgectr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bgectrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bgel",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bgela",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bgelr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bgelrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bgeni",     P0|ShortRegs,              0,                   0},
    {"bgt",       P0,                        Cr0|Br,              Br|Lbl},
    {"bgta",      P0,                        Cr0|Br,              Br|Lbl},
    {"bgtctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bgtctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bgtl",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bgtla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bgtlr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bgtlrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bl",        P0,                        0,                   Lr|Call},
    {"bla",       P0,                        0,                   Lr|Call},
    {"ble",       P0,                        Cr0|Br,              Br|Lbl},
    {"blea",      P0,                        Cr0|Br,              Br|Lbl},
    {"blectr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"blectrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"blel",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"blela",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"blelr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"blelrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"blr",       P0,                        Lr,                  Exit},
    {"blrl",      P0,                        Lr,                  Lr|Call},
    {"blt",       P0,                        Cr0|Br,              Br|Lbl},
    {"blta",      P0,                        Cr0|Br,              Br|Lbl},
    {"bltctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bltctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bltl",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bltla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bltlr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bltlrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bmaski",    P0|ShortRegs,              0,                   0},
    {"bne",       P0,                        Cr0|Br,              Br|Lbl},
    {"bnea",      P0,                        Cr0|Br,              Br|Lbl},
    {"bnectr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bnectrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bnel",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnela",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnelr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bnelrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bng",       P0,                        Cr0|Br,              Br|Lbl},
    {"bnga",      P0,                        Cr0|Br,              Br|Lbl},
    {"bngctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bngctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bngl",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bngla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnglr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bnglrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bnl",       P0,                        Cr0|Br,              Br|Lbl},
    {"bnla",      P0,                        Cr0|Br,              Br|Lbl},
    {"bnlctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bnlctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bnll",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnlla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnllr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bnllrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bns",       P0,                        Cr0|Br,              Br|Lbl},
    {"bnsa",      P0,                        Cr0|Br,              Br|Lbl},
    {"bnsctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bnsctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bnsl",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnsla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnslr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bnslrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bnu",       P0,                        Cr0|Br,              Br|Lbl},
    {"bnua",      P0,                        Cr0|Br,              Br|Lbl},
    {"bnuctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bnuctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bnul",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnula",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bnulr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bnulrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bseti",     P1|ShortRegs,              0,                   0},
    {"bso",       P0,                        Cr0|Br,              Br|Lbl},
    {"bsoa",      P0,                        Cr0|Br,              Br|Lbl},
    {"bsoctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bsoctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bsol",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bsola",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bsolr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bsolrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"bt",        P0,                        CrAll|Br,            Br|Lbl},
    {"bta",       P0,                        CrAll|Br,            Br|Lbl},
    {"btctr",     P0,                        CrAll|Br|Ctr,        Br,                  R3R4, 0},
    {"btctrl",    P0,                        CrAll|Br|Ctr,        Br|Lr|Call,          ArgGpr, 0},
    {"btl",       P0,                        CrAll|Br,            Br|Lr|Lbl,           ArgGpr, 0},
    {"btla",      P0,                        CrAll|Br,            Br|Lr|Lbl,           ArgGpr, 0},
    {"btlr",      P0,                        CrAll|Br|Lr,         Br,                  R3R4, 0},
    {"btlrl",     P0,                        CrAll|Br|Lr,         Br|Lr|Call,          ArgGpr, 0},
    {"btsti",     P3|ShortRegs,              0,                   Cr0},
    {"bun",       P0,                        Cr0|Br,              Br|Lbl},
    {"buna",      P0,                        Cr0|Br,              Br|Lbl},
    {"bunctr",    P0,                        Cr0|Br|Ctr,          Br,                  R3R4, 0},
    {"bunctrl",   P0,                        Cr0|Br|Ctr,          Br|Lr|Call,          ArgGpr, 0},
    {"bunl",      P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bunla",     P0,                        Cr0|Br,              Br|Lr|Lbl,           ArgGpr, 0},
    {"bunlr",     P0,                        Cr0|Br|Lr,           Br,                  R3R4, 0},
    {"bunlrl",    P0,                        Cr0|Br|Lr,           Br|Lr|Call,          ArgGpr, 0},
    {"cmp",       P3,                        0,                   Cr0},
    {"cmph",      P3,                        0,                   Cr0},
    {"cmphi",     P3,                        0,                   Cr0},
    {"cmphl",     P3,                        0,                   Cr0},
    {"cmphli",    P3,                        0,                   Cr0},
    {"cmpi",      P3,                        0,                   Cr0},
    {"cmpl",      P3,                        0,                   Cr0},
    {"cmpli",     P3,                        0,                   Cr0},
    {"cmplw",     P3,                        0,                   Cr0},
    {"cmplwi",    P3,                        0,                   Cr0},
    {"cmpw",      P3,                        0,                   Cr0},
    {"cmpwi",     P3,                        0,                   Cr0},
    {"cntlzw",    P0|Rec,                    0,                   0},
    {"crand",     P0|CrBits,                 0,                   0},
    {"crandc",    P0|CrBits,                 0,                   0},
    {"crclr",     P0|CrBits,                 0,                   0},
    {"creqv",     P0|CrBits,                 0,                   0},
    {"crmove",    P0|CrBits,                 0,                   0},
    {"crnand",    P0|CrBits,                 0,                   0},
    {"crnor",     P0|CrBits,                 0,                   0},
    {"crnot",     P0|CrBits,                 0,                   0},
    {"cror",      P0|CrBits,                 0,                   0},
    {"crorc",     P0|CrBits,                 0,                   0},
    {"crset",     P0|CrBits,                 0,                   0},
    {"crxor",     P0|CrBits,                 0,                   0},
    {"dcba",      P3|Eff,                    Mem,                 Mem},
    {"dcbf",      P3|Eff,                    Mem,                 Mem},
    {"dcbi",      P3|Eff,                    Mem,                 Mem},
    {"dcblc",     P3|Eff,                    Mem,                 Mem},
    {"dcbst",     P3|Eff,                    Mem,                 Mem},
    {"dcbt",      P3|Eff,                    Mem,                 Mem},
    {"dcbtls",    P3|Eff,                    Mem,                 Mem},
    {"dcbtst",    P3|Eff,                    Mem,                 Mem},
    {"dcbtstls",  P3|Eff,                    Mem,                 Mem},
    {"dcbz",      P3|Eff,                    Mem,                 Mem},
    {"divw",      P1|Two|Xo|Rec,             0,                   0},
    {"divwu",     P1|Two|Xo|Rec,             0,                   0},
    {"eciwx",     P0|Eff,                    Mem,                 0},
    {"ecowx",     P5|Eff,                    0,                   Mem},
    {"efsabs",    P1|One,                    0,                   0},
    {"efsadd",    P1|Two,                    0,                   0},
    {"efscfsf",   P1|One,                    0,                   0},
    {"efscfsi",   P1|One,                    0,                   0},
    {"efscfuf",   P1|One,                    0,                   0},
    {"efscfui",   P1|One,                    0,                   0},
    {"efscmpeq",  P3,                        0,                   Cr0},
    {"efscmpgt",  P3,                        0,                   Cr0},
    {"efscmplt",  P3,                        0,                   Cr0},
    {"efsctsf",   P1|One,                    0,                   0},
    {"efsctsi",   P1|One,                    0,                   0},
    {"efsctsiz",  P1|One,                    0,                   0},
    {"efsctuf",   P1|One,                    0,                   0},
    {"efsctui",   P1|One,                    0,                   0},
    {"efsctuiz",  P1|One,                    0,                   0},
    {"efsdiv",    P1|Two,                    0,                   0},
    {"efsmul",    P1|Two,                    0,                   0},
    {"efsnabs",   P1|One,                    0,                   0},
    {"efsneg",    P1|One,                    0,                   0},
    {"efssub",    P1|Two,                    0,                   0},
    {"efststeq",  P3,                        0,                   Cr0},
    {"efststgt",  P3,                        0,                   Cr0},
    {"efststlt",  P3,                        0,                   Cr0},
    {"eieio",     P0|Eff,                    0,                   0},
    {"evldd",     P0,                        Mem,                 0},
    {"evlddx",    P0,                        Mem,                 0},
    {"evldh",     P0,                        Mem,                 0},
    {"evldhx",    P0,                        Mem,                 0},
    {"evldw",     P0,                        Mem,                 0},
    {"evldwx",    P0,                        Mem,                 0},
    {"evlhhesplat", P0,                        Mem,                 0},
    {"evlhhesplatx", P0,                        Mem,                 0},
    {"evlhhossplat", P0,                        Mem,                 0},
    {"evlhhossplatx", P0,                        Mem,                 0},
    {"evlhhousplat", P0,                        Mem,                 0},
    {"evlhhousplatx", P0,                        Mem,                 0},
    {"evlwhe",    P0,                        Mem,                 0},
    {"evlwhex",   P0,                        Mem,                 0},
    {"evlwhos",   P0,                        Mem,                 0},
    {"evlwhosx",  P0,                        Mem,                 0},
    {"evlwhou",   P0,                        Mem,                 0},
    {"evlwhoux",  P0,                        Mem,                 0},
    {"evlwhsplat", P0,                        Mem,                 0},
    {"evlwhsplatx", P0,                        Mem,                 0},
    {"evlwwsplat", P0,                        Mem,                 0},
    {"evlwwsplatx", P0,                        Mem,                 0},
    {"evstdd",    P5,                        0,                   Mem},
    {"evstddx",   P5,                        0,                   Mem},
    {"evstdh",    P5,                        0,                   Mem},
    {"evstdhx",   P5,                        0,                   Mem},
    {"evstdw",    P5,                        0,                   Mem},
    {"evstdwx",   P5,                        0,                   Mem},
    {"evstwhe",   P5,                        0,                   Mem},
    {"evstwhex",  P5,                        0,                   Mem},
    {"evstwho",   P5,                        0,                   Mem},
    {"evstwhox",  P5,                        0,                   Mem},
    {"evstwwe",   P5,                        0,                   Mem},
    {"evstwwex",  P5,                        0,                   Mem},
    {"evstwwo",   P5,                        0,                   Mem},
    {"evstwwox",  P5,                        0,                   Mem},
    {"extsb",     P1|One|Byte,               0,                   Ext},
    {"extsh",     P1|One|Half,               0,                   Ext},
    {"extsw",     P1|One,                    0,                   Ext},
    {"extzb",     P1|One|Byte,               0,                   Ext},
    {"extzh",     P1|One|Half,               0,                   Ext},
    {"icbi",      P3|Eff,                    Mem,                 Mem},
    {"icblc",     P3|Eff,                    Mem,                 Mem},
    {"icbt",      P3|Eff,                    Mem,                 Mem},
    {"icbtls",    P3|Eff,                    Mem,                 Mem},
    {"inslwi",    P1,                        0,                   0},
    {"insrwi",    P1,                        0,                   0},
    {"isel",      P0,                        Cr0,                 0},
    {"iseleq",    P0,                        Cr0,                 0},
    {"iselgt",    P0,                        Cr0,                 0},
    {"isellt",    P0,                        Cr0,                 0},
    {"isync",     P0|Eff,                    0,                   0},
    {"lbz",       P0|Byte,                   Mem,                 0},
    {"lbzu",      P0|Byte|Upd,               Mem,                 0},
    {"lbzux",     P0|Byte|Upd,               Mem,                 0},
    {"lbzx",      P0|Byte,                   Mem,                 0},
    {"ld",        P0,                        Mem,                 0},
    {"ldarx",     P0|Eff,                    Mem,                 0},
    {"ldu",       P0|Upd,                    Mem,                 0},
    {"ldux",      P0|Upd,                    Mem,                 0},
    {"ldx",       P0,                        Mem,                 0},
    {"lfd",       P0,                        Mem,                 0},
    {"lfdu",      P0|Upd,                    Mem,                 0},
    {"lfdux",     P0|Upd,                    Mem,                 0},
    {"lfdx",      P0,                        Mem,                 0},
    {"lfs",       P0,                        Mem,                 0},
    {"lfsu",      P0|Upd,                    Mem,                 0},
    {"lfsux",     P0|Upd,                    Mem,                 0},
    {"lfsx",      P0,                        Mem,                 0},
    {"lha",       P0|Half,                   Mem,                 0},
    {"lhau",      P0|Half|Upd,               Mem,                 0},
    {"lhaux",     P0|Half|Upd,               Mem,                 0},
    {"lhax",      P0|Half,                   Mem,                 0},
    {"lhbrx",     P0|Half,                   Mem,                 0},
    {"lhz",       P0|Half,                   Mem,                 0},
    {"lhzu",      P0|Half|Upd,               Mem,                 0},
    {"lhzux",     P0|Half|Upd,               Mem,                 0},
    {"lhzx",      P0|Half,                   Mem,                 0},
    {"lmvcsrrw",  P0|Eff,                    Mem,                 0},
    {"lmvdsrrw",  P0|Eff,                    Mem,                 0},
    {"lmvgprw",   P0,                        Mem,                 0},
    {"lmvsprw",   P0|Eff,                    CrAll|Ca|Lr|Ctr|Mem, CrAll|Ca|Lr|Ctr},
    {"lmvsrrw",   P0|Eff,                    Mem,                 0},
    {"lmw",       P6,                        Mem,                 0},
    {"lswi",      P0|Eff,                    Mem,                 0,                   AllGpr, AllGpr},
    {"lswx",      P0|Eff,                    Mem,                 0,                   AllGpr, AllGpr},
    {"lwa",       P0,                        Mem,                 0},
    {"lwarx",     P0|Eff,                    Mem,                 0},
    {"lwaux",     P0|Upd,                    Mem,                 0},
    {"lwax",      P0,                        Mem,                 0},
    {"lwbrx",     P0,                        Mem,                 0},
    {"lwz",       P0,                        Mem,                 0},
    {"lwzu",      P0|Upd,                    Mem,                 0},
    {"lwzux",     P0|Upd,                    Mem,                 0},
    {"lwzx",      P0,                        Mem,                 0},
    {"mbar",      P0|Eff,                    0,                   0},
    {"mcrf",      P0|CrFields,               0,                   0},
    {"mcrfs",     P0|Eff,                    0,                   0},
    {"mcrxr",     P0|CrFields,               Ca,                  Ca},
    {"mfapidi",   P0|Eff,                    0,                   0},
    {"mfcr",      P0,                        CrAll,               0},
    {"mfctr",     P0,                        Ctr,                 0},
    {"mfdcr",     P0|Eff,                    0,                   0},
    {"mffs",      P0|Eff,                    0,                   0},
    {"mflr",      P0,                        Lr,                  0},
    {"mfmsr",     P0|Eff,                    0,                   0},
    {"mfpmr",     P0|Eff,                    0,                   0},
    {"mfspr",     P0|Eff,                    Ca|Lr|Ctr,           0},
    {"mfsr",      P0|Eff,                    0,                   0},
    {"mfsrin",    P0|Eff,                    0,                   0},
    {"mftb",      P0|Eff,                    0,                   0},
    {"msync",     P0|Eff,                    0,                   0},
    {"mtcr",      P3,                        CrAll,               CrAll},
    {"mtcrf",     P0,                        CrAll,               CrAll},
    {"mtctr",     P3|Eff,                    0,                   Ctr},
    {"mtdcr",     P0|Eff,                    Ca|Lr|Ctr,           Ca|Lr|Ctr},
    {"mtfsb0",    P0|Eff,                    0,                   0},
    {"mtfsb1",    P0|Eff,                    0,                   0},
    {"mtfsf",     P0|Eff,                    0,                   0},
    {"mtfsfi",    P0|Eff,                    0,                   0},
    {"mtlr",      P3|Eff,                    0,                   Lr},
    {"mtmsr",     P3|Eff,                    0,                   0},
    {"mtmsrd",    P3|Eff,                    0,                   0},
    {"mtpmr",     P0|Eff,                    Ca|Lr|Ctr,           Ca|Lr|Ctr},
    {"mtspr",     P0|Eff,                    Ca|Lr|Ctr,           Ca|Lr|Ctr},
    {"mtsr",      P0|Eff,                    0,                   0},
    {"mtsrd",     P0|Eff,                    0,                   0},
    {"mtsrdin",   P3|Eff,                    0,                   0},
    {"mtsrin",    P3|Eff,                    0,                   0},
    {"mulhd",     P1,                        0,                   0},
    {"mulhdu",    P1,                        0,                   0},
    {"mulhw",     P1|Two|Rec,                0,                   0},
    {"mulhwu",    P1|Two|Rec,                0,                   0},
    {"mulld",     P1,                        0,                   0},
    {"mulli",     P1|Two,                    0,                   0},
    {"mullw",     P1|Two|Xo|Rec,             0,                   0},
    {"nand",      P1|Two|Rec,                0,                   0},
    {"neg",       P1|One|Xo|Rec,             0,                   0},
    {"nor",       P1|Two|Rec,                0,                   0},
    {"not",       P1|One|Rec,                0,                   0},
    {"or",        P1|Two|Rec|Comm,           0,                   0},
    {"orc",       P1|Two|Rec,                0,                   0},
    {"ori",       P1|Two,                    0,                   0},
    {"oris",      P1|Two,                    0,                   0},
    {"rfci",      P0|Eff,                    0,                   Exit},
    {"rfdi",      P0|Eff,                    0,                   Exit},
    {"rfi",       P0|Eff,                    0,                   Exit},
    {"rfmci",     P0|Eff,                    0,                   Exit},
    {"rlw",       P1|Two|Rec,                0,                   0},
    {"rlwi",      P1|Two|Rec,                0,                   0},
    {"rlwimi",    P1,                        0,                   0},
    {"rotlw",     P1|Two,                    0,                   0},
    {"rotlwi",    P1|Two,                    0,                   0},
    {"rotrwi",    P1|Two,                    0,                   0},
    {"sc",        P0|Eff,                    0,                   0,                   CallerGpr, CallerGpr},
    {"slbia",     P0|Eff,                    0,                   0},
    {"slbie",     P3|Eff,                    0,                   0},
    {"slw",       P1|Two|Rec,                0,                   0},
    {"slwi",      P1|Two|Rec,                0,                   0},
    {"sraw",      P1|Two|Rec,                0,                   0},
    {"srawi",     P1|Two|Rec,                0,                   0},
    {"srw",       P1|Two|Rec,                0,                   0},
    {"srwi",      P1|Two|Rec,                0,                   0},
    {"stb",       P5|Byte,                   0,                   Mem},
    {"stbu",      P5|Byte|Upd,               0,                   Mem},
    {"stbux",     P5|Byte|Upd,               0,                   Mem},
    {"stbx",      P5|Byte,                   0,                   Mem},
    {"std",       P5,                        0,                   Mem},
    {"stdcx",     P5|Eff,                    0,                   Mem},
    {"stdu",      P5|Upd,                    0,                   Mem},
    {"stdux",     P5|Upd,                    0,                   Mem},
    {"stdx",      P5,                        0,                   Mem},
    {"stfd",      P5,                        0,                   Mem},
    {"stfdu",     P5|Upd,                    0,                   Mem},
    {"stfdux",    P5|Upd,                    0,                   Mem},
    {"stfdx",     P5,                        0,                   Mem},
    {"stfiwx",    P5,                        0,                   Mem},
    {"stfs",      P5,                        0,                   Mem},
    {"stfsu",     P5|Upd,                    0,                   Mem},
    {"stfsux",    P5|Upd,                    0,                   Mem},
    {"stfsx",     P5,                        0,                   Mem},
    {"sth",       P5|Half,                   0,                   Mem},
    {"sthbrx",    P5|Half,                   0,                   Mem},
    {"sthu",      P5|Half|Upd,               0,                   Mem},
    {"sthux",     P5|Half|Upd,               0,                   Mem},
    {"sthx",      P5|Half,                   0,                   Mem},
    {"stmvcsrrw", P5|Eff,                    0,                   Mem},
    {"stmvdsrrw", P5|Eff,                    0,                   Mem},
    {"stmvgprw",  P5,                        0,                   Mem},
    {"stmvsprw",  P5|Eff,                    CrAll|Ca|Lr|Ctr,     Mem},
    {"stmvsrrw",  P5|Eff,                    0,                   Mem},
    {"stmw",      P7,                        0,                   Mem},
    {"stswi",     P5|Eff,                    0,                   Mem,                 AllGpr, 0},
    {"stswx",     P5|Eff,                    0,                   Mem,                 AllGpr, 0},
    {"stw",       P5,                        0,                   Mem},
    {"stwbrx",    P5,                        0,                   Mem},
    {"stwcx",     P5|Eff,                    0,                   Mem},
    {"stwu",      P5|Upd,                    0,                   Mem},
    {"stwux",     P5|Upd,                    0,                   Mem},
    {"stwx",      P5,                        0,                   Mem},
    {"sub",       P1|Two|Xo|Rec,             0,                   0},
    {"subc",      P1|Two|Xo|Rec,             0,                   Ca},
    {"subf",      P1|Two|Xo|Rec,             0,                   0},
    {"subfc",     P1|Two|Xo|Rec,             0,                   Ca},
    {"subfe",     P1|Two|Xo|Rec,             Ca,                  Ca},
    {"subfic",    P1|Two,                    0,                   Ca},
    {"subfme",    P1,                        Ca,                  Ca},
    {"subfze",    P1,                        Ca,                  Ca},
    {"subi",      P1|Two,                    0,                   0},
    {"subic",     P1|Two,                    0,                   Ca},
    {"subis",     P1|Two,                    0,                   0},
    {"tlbia",     P0|Eff,                    0,                   0},
    {"tlbie",     P3|Eff,                    0,                   0},
    {"tlbivax",   P3|Eff,                    0,                   0},
    {"tlbre",     P0|Eff,                    0,                   0},
    {"tlbsx",     P3|Eff,                    0,                   0},
    {"tlbsync",   P0|Eff,                    0,                   0},
    {"tlbwe",     P0|Eff,                    0,                   0},
    {"tw",        P3|Eff,                    0,                   0},
    {"tweq",      P3|Eff,                    0,                   0},
    {"tweqi",     P3|Eff,                    0,                   0},
    {"twge",      P3|Eff,                    0,                   0},
    {"twgei",     P3|Eff,                    0,                   0},
    {"twgt",      P3|Eff,                    0,                   0},
    {"twgti",     P3|Eff,                    0,                   0},
    {"twi",       P3|Eff,                    0,                   0},
    {"twle",      P3|Eff,                    0,                   0},
    {"twlei",     P3|Eff,                    0,                   0},
    {"twlge",     P3|Eff,                    0,                   0},
    {"twlgei",    P3|Eff,                    0,                   0},
    {"twlgt",     P3|Eff,                    0,                   0},
    {"twlgti",    P3|Eff,                    0,                   0},
    {"twlle",     P3|Eff,                    0,                   0},
    {"twllei",    P3|Eff,                    0,                   0},
    {"twllt",     P3|Eff,                    0,                   0},
    {"twllti",    P3|Eff,                    0,                   0},
    {"twlng",     P3|Eff,                    0,                   0},
    {"twlngi",    P3|Eff,                    0,                   0},
    {"twlnl",     P3|Eff,                    0,                   0},
    {"twlnli",    P3|Eff,                    0,                   0},
    {"twlt",      P3|Eff,                    0,                   0},
    {"twlti",     P3|Eff,                    0,                   0},
    {"twne",      P3|Eff,                    0,                   0},
    {"twnei",     P3|Eff,                    0,                   0},
    {"twng",      P3|Eff,                    0,                   0},
    {"twngi",     P3|Eff,                    0,                   0},
    {"twnl",      P3|Eff,                    0,                   0},
    {"twnli",     P3|Eff,                    0,                   0},
    {"use",       P0,                        Use,                 0},
    {"wait",      P0|Eff,                    0,                   0},
    {"wrtee",     P3|Eff,                    0,                   0},
    {"wrteei",    P0|Eff,                    0,                   0},
    {"xor",       P1|Two|Rec|Comm,           0,                   0},
    {"xori",      P1|Two,                    0,                   0},
    {"xoris",     P1|Two,                    0,                   0},
};

// Rows with no attribute and no implicit effect.
const char* const kPlain =
    "brinc clrlslwi clrlwi clrrwi efdabs efdadd efdcfs efdcfsf efdcfsi efdcfuf efdcfui efdcmpeq "
    "efdcmpgt efdcmplt efdctsf efdctsi efdctsiz efdctuf efdctui efdctuiz efddiv efdmul efdnabs "
    "efdneg efdsub efdtsteq efdtstgt efdtstlt efscfd eqv evabs evaddiw evaddsmiaaw evaddssiaaw "
    "evaddumiaaw evaddusiaaw evaddw evand evandc evcmpeq evcmpgts evcmpgtu evcmplts evcmpltu "
    "evcntlsw evcntlzw evdivws evdivwu eveqv evextsb evextsh evfsabs evfsadd evfscfsf evfscfsi "
    "evfscfuf evfscfui evfscmpeq evfscmpgt evfscmplt evfsctsf evfsctsi evfsctsiz evfsctuf evfsctui "
    "evfsctuiz evfsdiv evfsmul evfsnabs evfsneg evfssub evfststeq evfststgt evfststlt evmergehi "
    "evmergehilo evmergelo evmergelohi evmhegsmfaa evmhegsmfan evmhegsmiaa evmhegsmian evmhegumiaa "
    "evmhegumian evmhesmf evmhesmfa evmhesmfaaw evmhesmfanw evmhesmi evmhesmia evmhesmiaaw "
    "evmhesmianw evmhessf evmhessfa evmhessfaaw evmhessfanw evmhessiaaw evmhessianw evmheumi "
    "evmheumia evmheumiaaw evmheumianw evmheusiaaw evmheusianw evmhogsmfaa evmhogsmfan evmhogsmiaa "
    "evmhogsmian evmhogumiaa evmhogumian evmhosmf evmhosmfa evmhosmfaaw evmhosmfanw evmhosmi "
    "evmhosmia evmhosmiaaw evmhosmianw evmhossf evmhossfa evmhossfaaw evmhossfanw evmhossiaaw "
    "evmhossianw evmhoumi evmhoumia evmhoumiaaw evmhoumianw evmhousiaaw evmhousianw evmr evmra "
    "evmwhgsmfaa evmwhgsmfan evmwhgsmiaa evmwhgsmian evmwhgssfaa evmwhgssfan evmwhgumiaa evmwhgumian "
    "evmwhsmf evmwhsmfa evmwhsmfaaw evmwhsmfanw evmwhsmi evmwhsmia evmwhsmiaaw evmwhsmianw evmwhssf "
    "evmwhssfa evmwhssfaaw evmwhssfanw evmwhssianw evmwhssmaaw evmwhumi evmwhumia evmwhusiaaw "
    "evmwhusianw evmwlsmf evmwlsmfa evmwlsmfaaw evmwlsmfanw evmwlsmiaaw evmwlsmianw evmwlssf "
    "evmwlssfa evmwlssfaaw evmwlssfanw evmwlssiaaw evmwlssianw evmwlumi evmwlumia evmwlumiaaw "
    "evmwlumianw evmwlusiaaw evmwlusianw evmwsmf evmwsmfa evmwsmfaa evmwsmfan evmwsmi evmwsmia "
    "evmwsmiaa evmwsmian evmwssf evmwssfa evmwssfaa evmwssfan evmwumi evmwumia evmwumiaa evmwumian "
    "evnand evneg evnor evnot evor evorc evrlw evrlwi evrndw evsel evslw evslwi evsplatfi evsplati "
    "evsrwis evsrwiu evsrws evsrwu evsubfsmiaaw evsubfssiaaw evsubfumiaaw evsubfusiaaw evsubfw "
    "evsubifw evsubiw evsubw evxor extlwi extrwi fabs fadd fadds fcfid fcmpo fcmpu fctid fctidz "
    "fctiw fctiwz fdiv fdivs fmadd fmadds fmr fmsub fmsubs fmul fmuls fnabs fneg fnmadd fnmadds "
    "fnmsub fnmsubs fres frsp frsqrte fsel fsqrt fsqrts fsub fsubs la li lis mr nop rldcl rldcr "
    "rldic rldicl rldicr rldimi rlwinm rlwnm sldi srad sradi srd";

// The e_ and se_ spellings; each follows its generic row.
const char* const kVle =
    "e_add16i e_add2i e_add2is e_addi e_addic e_and2i e_and2is e_andi e_b e_bc e_bcl e_bl e_cmp16i "
    "e_cmph e_cmph16i e_cmphl e_cmphl16i e_cmpi e_cmpl16i e_cmpli e_crand e_crandc e_creqv e_crnand "
    "e_crnor e_cror e_crorc e_crxor e_lbz e_lbzu e_lha e_lhau e_lhz e_lhzu e_li e_lis e_lmvcsrrw "
    "e_lmvdsrrw e_lmvgprw e_lmvsprw e_lmvsrrw e_lmw e_lwz e_lwzu e_mcrf e_mull2i e_mulli e_or2i "
    "e_or2is e_ori e_rlw e_rlwi e_rlwimi e_rlwinm e_slwi e_srwi e_stb e_stbu e_sth e_sthu "
    "e_stmvcsrrw e_stmvdsrrw e_stmvgprw e_stmvsprw e_stmvsrrw e_stmw e_stw e_stwu e_subfic e_xori "
    "se_add se_addi se_and se_andc se_andi se_b se_bc se_bclri se_bctr se_bctrl se_bgeni se_bl "
    "se_blr se_blrl se_bmaski se_bseti se_btsti se_cmp se_cmph se_cmphl se_cmpi se_cmpl se_cmpli "
    "se_extsb se_extsh se_extzb se_extzh se_isync se_lbz se_lhz se_li se_lwz se_mfar se_mfctr "
    "se_mflr se_mr se_mtar se_mtctr se_mtlr se_mullw se_neg se_not se_or se_rfci se_rfdi se_rfi "
    "se_sc se_slw se_slwi se_sraw se_srawi se_srw se_srwi se_stb se_sth se_stw se_sub se_subf se_subi";

// The twelve branch conditions in the order of their codes.
const char* const kConds[] = {"eq", "ge", "gt", "le", "lt", "ne", "ng", "nl", "ns", "nu", "so", "un"};
const int kInvert[24] = {10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 4, 5, 8, 9, 20, 21, 22, 23, 16, 17, 18, 19};
const char* const kCondMnemonic[12] = {"beq", "bge", "bgt", "ble", "blt", "bne",
                                       "ble", "bge", "bns", "bnu", "bso", "bun"};

struct Table {
    std::vector<InsnRow> rows;
    std::deque<std::string> names;   // the mnemonics of kPlain and kVle rows
    RowIds ids;
};

int lowercmp(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

int findin(const std::vector<InsnRow>& rows, std::string_view word) {
    size_t lo = 0, hi = rows.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int c = lowercmp(word, rows[mid].mnemonic);
        if (c == 0) return static_cast<int>(mid);
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return -1;
}

template <typename F>
void eachword(std::string_view s, F f) {
    for (;;) {
        size_t b = s.find_first_not_of(' ');
        if (b == std::string_view::npos) return;
        s.remove_prefix(b);
        size_t e = std::min(s.find(' '), s.size());
        f(s.substr(0, e));
        s.remove_prefix(e);
    }
}

// The generic name of an e_/se_ mnemonic as the shared encoding table gives
// it, and whether its record form is built into the opcode.
std::string vlegeneric(std::string_view name, bool& alwaysrec) {
    for (const isa::Insn& r : isa::insns()) {
        std::string_view n = r.name;
        bool dot = !n.empty() && n.back() == '.';
        if (dot) n.remove_suffix(1);
        if (n != name) continue;
        alwaysrec = dot;
        return r.also ? std::string(r.also) : std::string(isa::disname(r));
    }
    alwaysrec = false;
    return std::string(name);
}

Table build() {
    Table t;
    std::vector<InsnRow>& rows = t.rows;
    auto intern = [&](std::string_view w) { return t.names.emplace_back(w).c_str(); };
    auto bymnemonic = [](const InsnRow& a, const InsnRow& b) { return std::strcmp(a.mnemonic, b.mnemonic) < 0; };

    for (const RowSpec& r : kRows) {
        InsnRow row{r.mnemonic, r.attr, r.implread, r.implwrite};
        row.gprread = r.gprread;
        row.gprwrite = r.gprwrite;
        rows.push_back(std::move(row));
    }
    eachword(kPlain, [&](std::string_view w) { rows.push_back(InsnRow{intern(w), P0, 0, 0}); });
    std::sort(rows.begin(), rows.end(), bymnemonic);

    // An e_/se_ row is a copy of its generic row under its own name.
    std::vector<std::pair<std::string, std::string>> generics;   // e_/se_ name, generic name
    std::vector<InsnRow> vle;
    eachword(kVle, [&](std::string_view w) {
        bool alwaysrec = false;
        std::string generic = vlegeneric(w, alwaysrec);
        int g = findin(rows, generic);
        InsnRow r = g >= 0 ? rows[static_cast<size_t>(g)] : InsnRow{nullptr, P0, 0, 0};
        r.mnemonic = intern(w);
        if (alwaysrec) r.attr |= AlwaysRec;
        vle.push_back(r);
        generics.emplace_back(w, g >= 0 ? generic : std::string(w));
    });
    rows.insert(rows.end(), vle.begin(), vle.end());
    std::sort(rows.begin(), rows.end(), bymnemonic);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].index = static_cast<int>(i);
        rows[i].generic = &rows[i];
    }
    for (const auto& [name, generic] : generics)
        rows[static_cast<size_t>(findin(rows, name))].generic = &rows[static_cast<size_t>(findin(rows, generic))];

    // Handler lists, by pass code; a code without a handler is skipped.
    for (const HandlerList& list : handlerlists()) {
        std::vector<Handler> fns;
        eachword(list.codes, [&](std::string_view code) {
            if (Handler h = findhandler(code)) fns.push_back(h);
        });
        eachword(list.rows, [&](std::string_view m) {
            if (int i = findin(rows, m); i >= 0) rows[static_cast<size_t>(i)].handlers = fns;
        });
    }

    RowIds& id = t.ids;
    struct Named {
        int* var;
        const char* name;
    };
    const Named named[] = {
        {&id.addis, "addis"}, {&id.subis, "subis"}, {&id.iseleq, "iseleq"}, {&id.stwu, "stwu"},
        {&id.lis, "lis"}, {&id.ori, "ori"}, {&id.bseti, "bseti"}, {&id.subi, "subi"},
        {&id.mflr, "mflr"}, {&id.mulli, "mulli"}, {&id.li, "li"}, {&id.add, "add"},
        {&id.extrwi, "extrwi"}, {&id.bclri, "bclri"}, {&id.oris, "oris"}, {&id.la, "la"},
        {&id.bdnz, "bdnz"}, {&id.cmpi, "cmpi"}, {&id.or_, "or"}, {&id.and_, "and"},
        {&id.stmw, "stmw"}, {&id.andis, "andis"}, {&id.addi, "addi"}, {&id.lha, "lha"},
        {&id.andi, "andi"}, {&id.stw, "stw"}, {&id.insrwi, "insrwi"}, {&id.mr, "mr"},
        {&id.b, "b"},
    };
    for (const Named& n : named) *n.var = findin(rows, n.name);
    return t;
}

Table& table() {
    static Table t = build();
    return t;
}

}  // namespace

void initinsntab() { (void)table(); }
const std::vector<InsnRow>& insntable() { return table().rows; }
const RowIds& rowids() { return table().ids; }

int findinsn(std::string_view word) { return findin(table().rows, word); }

const InsnRow& insnrow(uint16_t kind) {
    const std::vector<InsnRow>& rows = table().rows;
    size_t i = kind & RowMask;
    return rows[i < rows.size() ? i : 0];
}

int branchcode(uint16_t kind) {
    if (!(kind & KInsn)) return -1;
    std::string_view m = insnrow(kind).generic->mnemonic;
    if (m == "b") return 30;
    if (m == "ba") return 31;
    if (m.size() < 3 || m[0] != 'b') return -1;
    for (int c = 0; c < 12; ++c) {
        std::string_view cond = kConds[c];
        if (m.substr(1, 2) != cond) continue;
        std::string_view tail = m.substr(3);
        if (tail.empty()) return 2 * c;
        if (tail == "a") return 2 * c + 1;
    }
    return -1;
}

int invertcode(int code) { return code >= 0 && code < 24 ? kInvert[code] : -1; }
const char* condmnemonic(int code) { return code >= 0 && code < 24 ? kCondMnemonic[code / 2] : ""; }

}  // namespace opt
