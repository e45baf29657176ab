// The assembler's view of the encoding table: register names, the mnemonic
// list, the entry table (name index, flags, base opcode, layout row, pattern
// codes) and the encoder that chooses the form of an instruction line.
//
// How the assembler uses it (asminsn):
//   1. lookupmnemonic(text) splits a written mnemonic into its table name and
//      the record (".") and overflow ("o") marks; unknown names give nothing.
//   2. The operand parser fills one Operand per operand (class, value, base
//      register, suffix, section facts).
//   3. encodeinsn(name, marks, operands, context) tries the entries of the
//      name in table order and returns the first that fits: its bytes, size
//      and the relocation request of a relocatable field, or the error text
//      of the line ("bad addressing mode", "value too large", ...).
// All functions are pure: no state is kept between calls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/isa/isa.h"

namespace isa {

// Operand classes produced by the assembler's operand parser.
enum OperandClass : int {
    ClsAltReg = 100,   // r8 to r23
    ClsReg = 101,      // r0 to r7, r24 to r31
    ClsCrField = 102,  // cr0 to cr7
    ClsFpr = 103,      // fr0 to fr31
    ClsPc = 73,        // pc: no pattern accepts it
    ClsAbs = 111,      // absolute expression
    ClsReloc = 120,    // relocatable expression
    ClsDisp = 140,     // d(rA)
};

enum class Suffix : uint8_t { None, High, HighAdjust, Low, Dot };

struct Operand {
    int cls = ClsAbs;
    int64_t value = 0;         // register number (0-31, CR field 0-7) or the value
                               // (for ClsDisp the displacement)
    unsigned base = 0;         // ClsDisp: the base register 0-31
    bool reloc = false;        // ClsDisp: the displacement is relocatable
    Suffix suffix = Suffix::None;
    int section = 0;           // relocatable: section of the symbol, -1 undefined
    bool longsection = false;  // relocatable: the symbol lies in a long section
};

// Register classes of a general register number.
inline int regclass(unsigned r) { return isaltreg(r) ? ClsAltReg : ClsReg; }

// What the encoder needs to know about the line's place.
struct EncodeContext {
    uint32_t address = 0;          // location counter plus section origin
    int section = 0;               // current section
    bool absolute_section = false; // -a: absolute branch targets are allowed
};

// A relocation record the assembler must write for a field.
struct RelocRequest {
    unsigned code = 15;        // 1 (16-bit low-half field), 11 (low-half mark),
                               // 15 (descriptor record), 31 (relative, 15 + 0x10)
    unsigned descriptor = 0;   // for codes 15 and 31
    int64_t addend = 0;        // the value the record carries
    unsigned operand = 0;      // which operand made it
    bool second_half = false;  // code 1/11: placed before the second halfword
};

struct EncodeResult {
    const Insn* insn = nullptr;    // the entry chosen, nullptr on error
    uint32_t bits = 0;             // the instruction (16-bit forms in the low half)
    unsigned size = 0;             // 2 or 4; 0 when nothing is emitted
    std::optional<RelocRequest> reloc;
    std::string error;             // the line's error text, empty when encoded
    // The bytes big-endian, high half first.
    std::vector<uint8_t> bytes() const;
};

struct Mnemonic {
    std::string name;   // table name
    bool record = false;
    bool overflow = false;
};
// Splits a written mnemonic: a trailing "." is the record mark; a name not
// found that ends in "o" is looked up without it and gets the overflow mark.
// Names spelt with their built-in record form (e_add2i.) stay whole.
std::optional<Mnemonic> lookupmnemonic(std::string_view written);

// Whether an operand fits an operand kind of entry insn (pattern check only:
// class, range, alignment, register set).
bool matchoperand(const Operand& op, Opd kind, const Insn& insn, const EncodeContext& ctx,
                  const Operand* previous, std::string* why);
// Places one operand's field into bits; may produce a relocation request.
// Returns false with the line's error text in why when the field cannot be
// made (a relocatable value the field cannot carry).
bool encodefield(unsigned index, const Operand& op, Opd kind, const Insn& insn,
                 const EncodeContext& ctx, uint32_t& bits, std::optional<RelocRequest>& reloc,
                 std::string* why);

// Encodes with one entry; an empty result (no insn, no error) when the
// operands do not fit (why then holds the first reason met, if any).
EncodeResult encoderow(const Insn& row, bool record, bool overflow, std::span<const Operand> ops,
                       const EncodeContext& ctx, std::string* why);
// Whether the name as written may take the row at all: a generic d(r0)
// means the address d, so it never takes a 16-bit form, whose base field
// would add r0's contents (only the form's own se_ name does).
bool mayencode(const Insn& row, std::string_view written, std::span<const Operand> ops);
// Chooses the form and encodes. Only VLE-usable entries are tried.
EncodeResult encodeinsn(std::string_view name, bool record, bool overflow,
                        std::span<const Operand> ops, const EncodeContext& ctx);
// The entries of a name, found once for a caller that encodes it often.
struct NameRows {
    const std::vector<const Insn*>* rows = nullptr;     // of the name
    const std::vector<const Insn*>* dotrows = nullptr;  // of its built-in record form
    uint64_t samename = 0;  // bit i: rows[i] carries the name itself (not as generic name)
    uint64_t dotsame = 0;   // the same for dotrows
};
NameRows namerows(std::string_view name);
EncodeResult encodeinsn(std::string_view name, const NameRows& rows, bool record, bool overflow,
                        std::span<const Operand> ops, const EncodeContext& ctx);

// ---- assembler tables -------------------------------------------------
struct RegisterName {
    const char* name;
    int code;  // 1-32 r0-r31, 33-40 cr0-cr7, 41-72 fr0-fr31, 73 pc (sp is 2)
};
// The 148 register symbols (each name in lower and upper case).
std::span<const RegisterName> registernames();

// Sorted assembler mnemonics; a name's position from 1 is its name index.
const std::vector<std::string>& mnemonics();

// One entry of the assembler's instruction table, built from the encoding
// table: name index, flags, base opcode, layout row, pattern codes.
struct AsmEntry {
    uint16_t nameindex;
    uint16_t flags;
    uint32_t opcode;
    uint8_t layout;
    std::array<uint8_t, 7> patterns;  // 0 ends the list
    const Insn* insn;
};
struct LayoutPair {
    uint8_t kind;  // 0 place, 1 place and repeat, 2/3 split immediates, 4 rotate
    uint8_t bit;
};
struct AsmTables {
    std::vector<AsmEntry> entries;                    // grouped by name index
    std::vector<std::array<LayoutPair, 5>> layouts;   // layout rows
    std::vector<uint32_t> first;                      // first entry per name index
};
const AsmTables& asmtables();
// The pattern code of an operand kind.
uint8_t patterncode(Opd kind);

}  // namespace isa
