// The one table of PowerPC encodings: Book E with SPE, VLE 16-bit (se_) and
// VLE 32-bit (e_). Every other view of the instruction set is built from it
// by code: the assembler's entry table and encoder (toollib/isa/encode.h) and
// the debugger's decode tables (vek/core/decode/decode.h).
//
// The idea: a row names an instruction, its base opcode, its instruction form
// and its operands; each operand kind declares once where its field lives and
// how a value goes in and comes out (operands.cpp). Masks for decoding are the
// bits no operand field covers; the assembler's pattern codes and layout pairs
// are derived from the operand kinds. Adding an instruction is adding a row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace isa {

// Entry flags as the assembler's entry table carries them.
enum AsmFlag : uint16_t {
    FVle = 0x0001,     // usable under VLE
    FBookE = 0x0002,   // 32-bit form shared with Book E
    FOe = 0x0004,      // has an overflow form (o suffix)
    FRc = 0x0008,      // has a record form (. suffix)
    FSpeFp = 0x0010,   // SPE scalar floating point
    FSpeVec = 0x0020,  // SPE vector
    FE32 = 0x0040,     // 32-bit VLE (e_) form
    FWord16 = 0x0100,  // 16-bit word load/store: SD4 scaled by 4
    FHalf16 = 0x0200,  // 16-bit halfword load/store: scaled by 2
    FByte16 = 0x0400,  // 16-bit byte load/store
    FNeg = 0x0800,     // immediate negated (subtract mapped onto add)
};

// Decoder flag bits (the debugger's decode-row flags, also read by the
// executor): sizes, sign extension, update/link, OE/Rc forms.
enum DecFlag : uint16_t {
    DOe = 0x0040,
    DRc = 0x0080,
    DByte = 0x0100,    // byte access; 16-bit VLE conditional branch
    DHalf = 0x0200,    // halfword access; 32-bit VLE conditional branch
    DUpd = 0x0400,     // update form; branch link; r0 reads 0 for addi/addis
    DSign = 0x0800,    // sign extension
    DCr2 = 0x2000,     // CR field operand 2 bits wide
};

// Execution handler groups of the simulator.
enum class Exec : uint8_t {
    None, Add, Sub, Logic, Load, Bit, Cmp, Branch, Sys, Move, Neg, Ext, Store,
    MulDiv, Shift, LsMulti, Spe,
};

// Instruction forms, named after the ISA manual. A form fixes the instruction
// size and where the record (Rc) and overflow (OE) bits sit.
enum class Form : uint8_t {
    // Book E
    I, B, D, DS, X, XO, XL, XFX, M, A, EVX,
    // VLE 32-bit
    E_D, E_D8, E_SCI8, E_I16A, E_I16L, E_LI20, E_BD24, E_BD15, E_X, E_XL, E_M,
    // VLE 16-bit
    SE_C, SE_R, SE_RR, SE_IM5, SE_IM5R9, SE_IM7, SE_SD4, SE_BD8, SE_BD8C,
};
unsigned formsize(Form form);      // 2 or 4
uint32_t formrcbit(Form form);     // record bit, 0 when the form has none
uint32_t formoebit(Form form);     // overflow bit, 0 when the form has none

// Operand kinds. Each one is a field (or a pair of fields) at a fixed place;
// operands.cpp holds the one table of their placements and value rules.
enum class Opd : uint8_t {
    None,
    // general registers
    RD, RA, RB,        // 5 bits at 21, 16, 11
    RDA,               // one register written to 21 and 16 (add r8,r9)
    RSB,               // one register written to 21 and 11 (mr, not)
    RAB,               // one register written to 16 and 11 (evmr, evnot)
    RX, RY,            // VLE short register (r0-r7, r24-r31) at 0 and 4
    ARX, ARY,          // VLE alternate register (r8-r23) at 0 and 4
    Same,              // must repeat the previous register; encodes nothing
    // condition register
    CRD, CRS,          // CR field at 23 and 18
    CRD32,             // CR field cr0-cr3 at 21 (VLE compares)
    CRSEL,             // CR field at 0 (evsel)
    CRBD, CRBA, CRBB,  // CR bit numbers at 21, 16, 11
    CRBDAB,            // one CR bit written to 21, 16 and 11 (crset, crclr)
    CRBAB,             // one CR bit written to 16 and 11 (crmove, crnot)
    BO, BI,            // branch options and condition bit (Book E)
    BI32,              // VLE 32-bit branch condition bit 0-15 at 16
    CRB32,             // CR field cr0-cr3 of a VLE 32-bit branch, at 18
    CRB,               // CR field of a Book E branch, at 18
    BO32,              // VLE 32-bit branch options at 20, 2 bits
    BI16, BO16,        // VLE 16-bit branch condition (at 8) and option (at 10)
    // immediates
    SIMM, UIMM,        // 16 bits at 0
    SI16A, UI16A,      // split 16 bits: 0-10 at 0, 11-15 at 21 (I16A form)
    UI16L,             // split 16 bits: 0-10 at 0, 11-15 at 16 (I16L form)
    LI20,              // 20-bit signed split (e_li)
    SCI8,              // scaled byte (SCI8 form)
    SH, MB, ME,        // 5 bits at 11, 6, 1
    NB, TO, MO, CT,    // 5 bits at 11, 21, 21, 21
    UI5A,              // 5 bits at 16 (SPE evaddiw/evsubifw)
    SI5A,              // signed 5 bits at 16 (evsplati)
    CRBC,              // CR bit at 6 (isel)
    SPR, DCR, PMR,     // 10-bit register numbers, halves swapped, at 11
    FXM,               // 8 bits at 12
    WE,                // wrteei: one bit at 15
    OIM5,              // VLE 16-bit: 1..32 stored minus one at 4
    UI5,               // VLE 16-bit: 0..31 at 4
    UI7,               // VLE 16-bit: 0..127 at 4
    // memory operands
    DRA,               // d(rA), 16-bit signed d
    D8RA,              // d(rA), 8-bit signed d (D8 form)
    SD4W, SD4H, SD4B,  // d(rX) of the VLE 16-bit loads/stores, scaled 4, 2, 1
    EVD8, EVD4, EVD2,  // SPE d(rA): 5-bit unsigned index scaled by 8, 4, 2
    // branch targets
    LI24,              // 24-bit word displacement (I form)
    LI24A,             // the same as an absolute address
    BD14, BD14A,       // 14-bit displacement (B form) relative / absolute
    BD24,              // VLE 24-bit halfword displacement
    BD15,              // VLE 15-bit halfword displacement
    BD8,               // VLE 8-bit halfword displacement
    // rotate mnemonics: computed into SH, MB, ME by the row's Rot rule
    RotN, RotB,
    Count
};

// Rules of the rotate mnemonics: n is the RotN operand, b the RotB operand.
enum class Rot : uint8_t {
    None, Slwi, Srwi, Clrlwi, Clrrwi, Rotlwi, Rotrwi, Extlwi, Extrwi, Inslwi,
    Insrwi, Clrlslwi, Extzb, Extzh,
};

// One instruction encoding.
//   name     the assembler mnemonic (a trailing '.' marks a name whose record
//            form is built into the opcode)
//   also     a generic name that reaches this row too (nullptr: none)
//   dis      the disassembly name: nullptr = name without se_/e_ prefix,
//            "" = never decoded (assembler-only spelling)
//   flags    AsmFlag bits
//   opcode   base opcode (for 16-bit forms in the low half)
//   form     instruction form
//   ops      operands in source order
//   exec     simulator handler group
//   dflags   decoder flag bits (DByte, DHalf, DUpd, DSign, ...)
//   rot      rule of a rotate mnemonic
struct Insn {
    const char* name;
    const char* also;
    const char* dis;
    uint16_t flags;
    uint32_t opcode;
    Form form;
    std::array<Opd, 5> ops;
    Exec exec;
    uint16_t dflags = 0;
    Rot rot = Rot::None;

    unsigned size() const { return formsize(form); }
    unsigned opcount() const;
};

// The whole table, built once on first use.
std::span<const Insn> insns();

// --- operand kinds -------------------------------------------------------
// How an operand's value is checked and written.
enum class OpdClass : uint8_t {
    Gpr, Short, Alt, Same, Crf, Imm, Disp, Branch, AbsBranch, Rot, None
};

struct OpdInfo {
    const char* name;
    OpdClass cls;
    int8_t bit;       // first field position (shift amount of the low bit)
    uint8_t width;    // field width in bits (0 when computed)
    int32_t lo, hi;   // accepted value range (registers: register numbers)
    uint32_t mask;    // instruction bits the operand covers
};
const OpdInfo& opdinfo(Opd kind);

// Places value (a register number 0-31, CR field 0-7, or a number) into the
// fields of kind. Returns the bits to OR into the instruction. The caller has
// checked the range with opdfits.
uint32_t opdinsert(Opd kind, int64_t value);
// Whether value is acceptable for kind (range, alignment, register set).
bool opdfits(Opd kind, int64_t value);
// The value of kind in instruction word w (sign-extended where signed,
// registers as numbers 0-31, branch displacements in bytes).
int64_t opdextract(Opd kind, uint32_t w);
// For d(rA) kinds: the displacement and the base register parts.
uint32_t dispinsert(Opd kind, int64_t disp, unsigned base);
bool dispfits(Opd kind, int64_t disp, unsigned base);
int64_t dispextract(Opd kind, uint32_t w);
unsigned baseextract(Opd kind, uint32_t w);

// Register set tests of the VLE 16-bit forms.
bool isshortreg(unsigned r);       // r0-r7, r24-r31
bool isaltreg(unsigned r);         // r8-r23
unsigned shortcode(unsigned r);    // 4-bit code of a short register
unsigned shortreg(unsigned code);  // register of a 4-bit code

// Bits of a row that no operand covers: the decode mask (the Rc and OE bits
// stay in it; the decoder makes one row per variant).
uint32_t fixedmask(const Insn& insn);
// Computes SH, MB, ME for a rotate rule; n and b as written.
bool rotfields(Rot rule, int64_t n, int64_t b, unsigned& sh, unsigned& mb, unsigned& me);

// Disassembly name of a row (the dis column or the name without prefix and
// trailing '.').
std::string_view disname(const Insn& insn);
// Whether a row's record form is built into the opcode (name ends in '.').
bool alwaysrecord(const Insn& insn);

}  // namespace isa
