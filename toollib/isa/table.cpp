// The instruction table: VLE 16-bit rows first, then VLE 32-bit rows, then
// the Book E rows (those VLE keeps are marked VB), then SPE. The order is the
// assembler's order of trial, so for a generic name the shortest form comes
// first; the decoder re-sorts by mask within its buckets.
//
// Conditional branches are the one family written as a rule rather than as
// rows: the twelve conditions times the branch forms of each instruction set
// (condbranches below) expand into rows when the table is built.
#include "toollib/isa/isa.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace isa {

namespace {

using enum Form;
using enum Opd;

constexpr uint16_t V = FVle, BE = FBookE, VB = FVle | FBookE, E = FVle | FE32;
constexpr uint16_t O = FOe, R = FRc, SV = FVle | FBookE | FSpeVec, SF = FVle | FBookE | FSpeFp;
constexpr uint16_t NEG = FNeg;
constexpr uint16_t B8 = DByte, H16 = DHalf, U = DUpd, S = DSign;

constexpr Exec xNone = Exec::None, xAdd = Exec::Add, xSub = Exec::Sub, xLog = Exec::Logic,
               xLd = Exec::Load, xBit = Exec::Bit, xCmp = Exec::Cmp, xBr = Exec::Branch,
               xSys = Exec::Sys, xMov = Exec::Move, xNeg = Exec::Neg, xExt = Exec::Ext,
               xSt = Exec::Store, xMul = Exec::MulDiv, xSh = Exec::Shift,
               xLsm = Exec::LsMulti, xSpe = Exec::Spe;

constexpr const char* N = nullptr;  // no generic name / disassembly name derived
constexpr const char* AO = "";      // assembler-only spelling, never decoded

// Column key: name, generic name, disassembly name, flags, base opcode, form,
// operands, handler, decoder flags, rotate rule.
const Insn kRows[] = {
    // ---- VLE 16-bit ---------------------------------------------------
    {"se_illegal", N,       "illegal", V, 0x0000, SE_C,   {},                xSys},
    {"se_isync",   "isync", N,       V, 0x0001, SE_C,   {},                xSys},
    {"se_sc",      "sc",    N,       V, 0x0002, SE_C,   {},                xSys},
    {"se_blr",     "blr",   N,       V, 0x0004, SE_C,   {},                xBr},
    {"se_blrl",    "blrl",  N,       V, 0x0005, SE_C,   {},                xBr, U},
    {"se_bctr",    "bctr",  N,       V, 0x0006, SE_C,   {},                xBr},
    {"se_bctrl",   "bctrl", N,       V, 0x0007, SE_C,   {},                xBr, U},
    {"se_rfi",     "rfi",   N,       V, 0x0008, SE_C,   {},                xSys},
    {"se_rfci",    "rfci",  N,       V, 0x0009, SE_C,   {},                xSys},
    {"se_rfdi",    "rfdi",  N,       V, 0x000A, SE_C,   {},                xSys},
    {"se_rfmci",   "rfmci", N,       V, 0x000B, SE_C,   {},                xSys},
    {"se_not",     "not",   N,       V, 0x0020, SE_R,   {RX},              xNeg},
    {"se_neg",     "neg",   N,       V, 0x0030, SE_R,   {RX},              xNeg},
    {"se_mflr",    "mflr",  N,       V, 0x0080, SE_R,   {RX},              xMov},
    {"se_mtlr",    "mtlr",  N,       V, 0x0090, SE_R,   {RX},              xMov},
    {"se_mfctr",   "mfctr", N,       V, 0x00A0, SE_R,   {RX},              xMov},
    {"se_mtctr",   "mtctr", N,       V, 0x00B0, SE_R,   {RX},              xMov},
    {"se_extzb",   "extzb", N,       V, 0x00C0, SE_R,   {RX},              xExt, B8},
    {"extzb",      N,       AO,       V, 0x00C0, SE_R,   {RX, Same},        xExt, B8},
    {"se_extsb",   "extsb", N,       V, 0x00D0, SE_R,   {RX},              xExt, B8 | S},
    {"extsb",      N,       AO,       V, 0x00D0, SE_R,   {RX, Same},        xExt, B8 | S},
    {"se_extzh",   "extzh", N,       V, 0x00E0, SE_R,   {RX},              xExt, H16},
    {"extzh",      N,       AO,       V, 0x00E0, SE_R,   {RX, Same},        xExt, H16},
    {"se_extsh",   "extsh", N,       V, 0x00F0, SE_R,   {RX},              xExt, H16 | S},
    {"extsh",      N,       AO,       V, 0x00F0, SE_R,   {RX, Same},        xExt, H16 | S},
    {"se_mr",      "mr",    N,       V, 0x0100, SE_RR,  {RX, RY},          xMov},
    {"se_mtar",    "mr",    "se_mtar", V, 0x0200, SE_RR, {ARX, RY},        xMov},
    {"se_mfar",    "mr",    "se_mfar", V, 0x0300, SE_RR, {RX, ARY},        xMov},
    {"se_add",     "add",   N,       V, 0x0400, SE_RR,  {RX, RY},          xAdd},
    {"add",        N,       AO,       V, 0x0400, SE_RR,  {RX, Same, RY},    xAdd},
    {"se_mullw",   "mullw", N,       V, 0x0500, SE_RR,  {RX, RY},          xMul},
    {"mullw",      N,       AO,       V, 0x0500, SE_RR,  {RX, Same, RY},    xMul},
    {"se_sub",     "sub",   N,       V, 0x0600, SE_RR,  {RX, RY},          xSub},
    {"sub",        N,       AO,       V, 0x0600, SE_RR,  {RX, Same, RY},    xSub},
    {"se_subf",    "subf",  N,       V, 0x0700, SE_RR,  {RX, RY},          xSub},
    {"subf",       N,       AO,       V, 0x0700, SE_RR,  {RX, Same, RY},    xSub},
    {"se_cmp",     "cmpw",  "cmp",   V, 0x0C00, SE_RR,  {RX, RY},          xCmp},
    {"se_cmpl",    "cmplw", "cmpl",  V, 0x0D00, SE_RR,  {RX, RY},          xCmp},
    {"se_cmph",    "cmph",  N,       V, 0x0E00, SE_RR,  {RX, RY},          xCmp},
    {"se_cmphl",   "cmphl", N,       V, 0x0F00, SE_RR,  {RX, RY},          xCmp},
    {"se_addi",    "addi",  N,       V, 0x2000, SE_IM5, {RX, OIM5},        xAdd},
    {"addi",       N,       AO,       V, 0x2000, SE_IM5, {RX, Same, OIM5},  xAdd},
    {"se_cmpli",   "cmplwi", "cmpli", V, 0x2200, SE_IM5, {RX, OIM5},       xCmp},
    {"cmpli",      N,       AO,      V, 0x2200, SE_IM5, {RX, OIM5},        xCmp},
    {"se_subi",    "subi",  N,  V | R, 0x2400, SE_IM5R9, {RX, OIM5},       xSub},
    {"subi",       N,       AO,  V | R, 0x2400, SE_IM5R9, {RX, Same, OIM5}, xSub},
    {"se_cmpi",    "cmpwi", "cmpi",  V, 0x2A00, SE_IM5, {RX, UI5},         xCmp},
    {"cmpi",       N,       AO,      V, 0x2A00, SE_IM5, {RX, UI5},         xCmp},
    {"se_bmaski",  "bmaski", N,      V, 0x2C00, SE_IM5, {RX, UI5},         xBit},
    {"se_andi",    "andi",  N,       V, 0x2E00, SE_IM5, {RX, UI5},         xLog},
    {"se_srw",     "srw",   N,       V, 0x4000, SE_RR,  {RX, RY},          xSh},
    {"srw",        N,       AO,       V, 0x4000, SE_RR,  {RX, Same, RY},    xSh},
    {"se_sraw",    "sraw",  N,       V, 0x4100, SE_RR,  {RX, RY},          xSh},
    {"sraw",       N,       AO,       V, 0x4100, SE_RR,  {RX, Same, RY},    xSh},
    {"se_slw",     "slw",   N,       V, 0x4200, SE_RR,  {RX, RY},          xSh},
    {"slw",        N,       AO,       V, 0x4200, SE_RR,  {RX, Same, RY},    xSh},
    {"nop",        N,       N,       V, 0x4400, SE_C,   {},                xSys},
    {"se_or",      "or",    N,       V, 0x4400, SE_RR,  {RX, RY},          xLog},
    {"or",         N,       AO,       V, 0x4400, SE_RR,  {RX, Same, RY},    xLog},
    {"se_andc",    "andc",  N,       V, 0x4500, SE_RR,  {RX, RY},          xLog},
    {"andc",       N,       AO,       V, 0x4500, SE_RR,  {RX, Same, RY},    xLog},
    {"se_and",     "and",   N,   V | R, 0x4600, SE_RR,  {RX, RY},          xLog},
    {"and",        N,       AO,   V | R, 0x4600, SE_RR,  {RX, Same, RY},    xLog},
    {"se_li",      "li",    N,       V, 0x4800, SE_IM7, {RX, UI7},         xMov},
    {"se_bclri",   "bclri", N,       V, 0x6000, SE_IM5, {RX, UI5},         xBit},
    {"se_bgeni",   "bgeni", N,       V, 0x6200, SE_IM5, {RX, UI5},         xBit},
    {"se_bseti",   "bseti", N,       V, 0x6400, SE_IM5, {RX, UI5},         xBit},
    {"se_btsti",   "btsti", N,       V, 0x6600, SE_IM5, {RX, UI5},         xBit},
    {"se_srwi",    "srwi",  N,       V, 0x6800, SE_IM5, {RX, UI5},         xSh},
    {"srwi",       N,       AO,       V, 0x6800, SE_IM5, {RX, Same, UI5},   xSh},
    {"se_srawi",   "srawi", N,       V, 0x6A00, SE_IM5, {RX, UI5},         xSh},
    {"srawi",      N,       AO,       V, 0x6A00, SE_IM5, {RX, Same, UI5},   xSh},
    {"se_slwi",    "slwi",  N,       V, 0x6C00, SE_IM5, {RX, UI5},         xSh},
    {"slwi",       N,       AO,       V, 0x6C00, SE_IM5, {RX, Same, UI5},   xSh},
    {"se_lbz",     "lbz",   N, V | FByte16, 0x8000, SE_SD4, {RY, SD4B},    xLd, B8},
    {"se_stb",     "stb",   N, V | FByte16, 0x9000, SE_SD4, {RY, SD4B},    xSt, B8},
    {"se_lhz",     "lhz",   N, V | FHalf16, 0xA000, SE_SD4, {RY, SD4H},    xLd, H16},
    {"se_sth",     "sth",   N, V | FHalf16, 0xB000, SE_SD4, {RY, SD4H},    xSt, H16},
    {"se_lwz",     "lwz",   N, V | FWord16, 0xC000, SE_SD4, {RY, SD4W},    xLd},
    {"se_stw",     "stw",   N, V | FWord16, 0xD000, SE_SD4, {RY, SD4W},    xSt},
    {"se_bc",      N,       N,       V, 0xE000, SE_BD8C, {BO16, BI16, BD8}, xBr, B8},
    {"se_b",       "b",     N,       V, 0xE800, SE_BD8, {BD8},             xBr},
    {"se_bl",      "bl",    N,       V, 0xE900, SE_BD8, {BD8},             xBr, U},

    // ---- VLE 32-bit ---------------------------------------------------
    {"e_add16i",   "addi",  "addi",  E, 0x1C000000, E_D,    {RD, RA, SIMM},   xAdd},
    {"la",         N,       AO,       E, 0x1C000000, E_D,    {RD, DRA},        xAdd},
    {"e_sub16i",   "subi",  AO, E | NEG, 0x1C000000, E_D,    {RD, RA, SIMM},   xAdd},
    {"e_addi",     "addi",  N,   E | R, 0x18008000, E_SCI8, {RD, RA, SCI8},   xAdd},
    {"e_subi",     "subi",  AO, E | NEG, 0x18008000, E_SCI8, {RD, RA, SCI8}, xAdd},
    {"e_addic",    "addic", N,   E | R, 0x18009000, E_SCI8, {RD, RA, SCI8},   xAdd},
    {"e_subic",    "subic", AO, E | R | NEG, 0x18009000, E_SCI8, {RD, RA, SCI8}, xAdd},
    {"e_mulli",    "mulli", N,       E, 0x1800A000, E_SCI8, {RD, RA, SCI8},   xMul},
    {"e_cmpi",     "cmpwi", "cmpi",  E, 0x1800A800, E_SCI8, {CRD32, RA, SCI8}, xCmp, DCr2},
    {"e_cmpli",    "cmplwi", "cmpli", E, 0x1880A800, E_SCI8, {CRD32, RA, SCI8}, xCmp, DCr2},
    {"e_subfic",   "subfic", N,  E | R, 0x1800B000, E_SCI8, {RD, RA, SCI8},   xSub},
    {"e_andi",     "andi",  N,   E | R, 0x1800C000, E_SCI8, {RA, RD, SCI8},   xLog},
    {"e_ori",      "ori",   N,   E | R, 0x1800D000, E_SCI8, {RA, RD, SCI8},   xLog},
    {"e_xori",     "xori",  N,   E | R, 0x1800E000, E_SCI8, {RA, RD, SCI8},   xLog},
    {"e_lbzu",     "lbzu",  N,       E, 0x18000000, E_D8,   {RD, D8RA},       xLd, B8 | U},
    {"e_lhzu",     "lhzu",  N,       E, 0x18000100, E_D8,   {RD, D8RA},       xLd, H16 | U},
    {"e_lwzu",     "lwzu",  N,       E, 0x18000200, E_D8,   {RD, D8RA},       xLd, U},
    {"e_lhau",     "lhau",  N,       E, 0x18000300, E_D8,   {RD, D8RA},       xLd, H16 | S | U},
    {"e_stbu",     "stbu",  N,       E, 0x18000400, E_D8,   {RD, D8RA},       xSt, B8 | U},
    {"e_sthu",     "sthu",  N,       E, 0x18000500, E_D8,   {RD, D8RA},       xSt, H16 | U},
    {"e_stwu",     "stwu",  N,       E, 0x18000600, E_D8,   {RD, D8RA},       xSt, U},
    {"e_lmw",      "lmw",   N,       E, 0x18000800, E_D8,   {RD, D8RA},       xLd},
    {"e_stmw",     "stmw",  N,       E, 0x18000900, E_D8,   {RD, D8RA},       xSt},
    {"e_lmvgprw",  "lmvgprw", N,     E, 0x18001000, E_D8,   {D8RA},           xLsm},
    {"e_stmvgprw", "stmvgprw", N,    E, 0x18001100, E_D8,   {D8RA},           xLsm},
    {"e_lmvsprw",  "lmvsprw", N,     E, 0x18201000, E_D8,   {D8RA},           xLsm},
    {"e_stmvsprw", "stmvsprw", N,    E, 0x18201100, E_D8,   {D8RA},           xLsm},
    {"e_lmvsrrw",  "lmvsrrw", N,     E, 0x18801000, E_D8,   {D8RA},           xLsm},
    {"e_stmvsrrw", "stmvsrrw", N,    E, 0x18801100, E_D8,   {D8RA},           xLsm},
    {"e_lmvcsrrw", "lmvcsrrw", N,    E, 0x18A01000, E_D8,   {D8RA},           xLsm},
    {"e_stmvcsrrw", "stmvcsrrw", N,  E, 0x18A01100, E_D8,   {D8RA},           xLsm},
    {"e_lmvdsrrw", "lmvdsrrw", N,    E, 0x18C01000, E_D8,   {D8RA},           xLsm},
    {"e_stmvdsrrw", "stmvdsrrw", N,  E, 0x18C01100, E_D8,   {D8RA},           xLsm},
    {"e_lbz",      "lbz",   N,       E, 0x30000000, E_D,    {RD, DRA},        xLd, B8},
    {"e_stb",      "stb",   N,       E, 0x34000000, E_D,    {RD, DRA},        xSt, B8},
    {"e_lha",      "lha",   N,       E, 0x38000000, E_D,    {RD, DRA},        xLd, H16 | S},
    {"e_lwz",      "lwz",   N,       E, 0x50000000, E_D,    {RD, DRA},        xLd},
    {"e_stw",      "stw",   N,       E, 0x54000000, E_D,    {RD, DRA},        xSt},
    {"e_lhz",      "lhz",   N,       E, 0x58000000, E_D,    {RD, DRA},        xLd, H16},
    {"e_sth",      "sth",   N,       E, 0x5C000000, E_D,    {RD, DRA},        xSt, H16},
    {"e_li",       "li",    N,       E, 0x70000000, E_LI20, {RD, LI20},       xMov},
    {"la",         N,       AO,      E, 0x70000000, E_LI20, {RD, LI20},       xMov},
    {"e_add2i.",   N,       "addi",  E, 0x70008800, E_I16A, {RA, SI16A},      xAdd},
    {"addi.",      N,       AO,      E, 0x70008800, E_I16A, {RA, SI16A},      xAdd},
    {"addi.",      N,       AO,      E, 0x70008800, E_I16A, {RA, Same, SI16A}, xAdd},
    {"e_sub2i.",   N,       AO, E | NEG, 0x70008800, E_I16A, {RA, SI16A},      xAdd},
    {"subi.",      N,       AO, E | NEG, 0x70008800, E_I16A, {RA, SI16A},      xAdd},
    {"subi.",      N,       AO, E | NEG, 0x70008800, E_I16A, {RA, Same, SI16A}, xAdd},
    {"e_add2is",   "addis", "addis", E, 0x70009000, E_I16A, {RA, SI16A},      xAdd},
    {"addis",      N,       AO,      E, 0x70009000, E_I16A, {RA, Same, SI16A}, xAdd},
    {"e_sub2is",   "subis", AO, E | NEG, 0x70009000, E_I16A, {RA, SI16A},      xAdd},
    {"e_cmp16i",   "cmpwi", "cmpi",  E, 0x70009800, E_I16A, {RA, SI16A},      xCmp},
    {"cmpi",       N,       AO,      E, 0x70009800, E_I16A, {RA, SI16A},      xCmp},
    {"cmpi",       N,       AO,      E, 0x1800A800, E_SCI8, {CRD32, RA, SCI8}, xCmp, DCr2},
    {"e_mull2i",   "mulli", "mulli", E, 0x7000A000, E_I16A, {RA, SI16A},      xMul},
    {"mulli",      N,       AO,      E, 0x7000A000, E_I16A, {RA, Same, SI16A}, xMul},
    {"e_cmpl16i",  "cmplwi", "cmpli", E, 0x7000A800, E_I16A, {RA, UI16A},     xCmp},
    {"cmpli",      N,       AO,      E, 0x7000A800, E_I16A, {RA, UI16A},      xCmp},
    {"cmpli",      N,       AO,      E, 0x1880A800, E_SCI8, {CRD32, RA, SCI8}, xCmp, DCr2},
    {"e_cmph16i",  "cmphi", "cmphi", E, 0x7000B000, E_I16A, {RA, SI16A},      xCmp},
    {"e_cmphl16i", "cmphli", "cmphli", E, 0x7000B800, E_I16A, {RA, UI16A},     xCmp},
    {"e_or2i",     "ori",   "ori",   E, 0x7000C000, E_I16L, {RD, UI16L},      xLog},
    {"ori",        N,       AO,       E, 0x7000C000, E_I16L, {RD, Same, UI16L}, xLog},
    {"e_and2i.",   N,       "andi",  E, 0x7000C800, E_I16L, {RD, UI16L},      xLog},
    {"andi.",      N,       AO,      E, 0x7000C800, E_I16L, {RD, UI16L},      xLog},
    {"andi.",      N,       AO,      E, 0x7000C800, E_I16L, {RD, Same, UI16L}, xLog},
    {"e_or2is",    "oris",  "oris",  E, 0x7000D000, E_I16L, {RD, UI16L},      xLog},
    {"oris",       N,       AO,       E, 0x7000D000, E_I16L, {RD, Same, UI16L}, xLog},
    {"e_lis",      "lis",   N,       E, 0x7000E000, E_I16L, {RD, UI16L},      xMov},
    {"e_and2is.",  N,       "andis", E, 0x7000E800, E_I16L, {RD, UI16L},      xLog},
    {"andis.",     N,       AO,      E, 0x7000E800, E_I16L, {RD, UI16L},      xLog},
    {"andis.",     N,       AO,      E, 0x7000E800, E_I16L, {RD, Same, UI16L}, xLog},
    {"e_rlwimi",   "rlwimi", N,      E, 0x74000000, E_M,    {RA, RD, SH, MB, ME}, xSh},
    {"e_rotlwi",   N,       "rotlwi", E, 0x7400003F, E_M,   {RA, RD, SH},     xSh},
    {"e_rlwinm",   "rlwinm", N,      E, 0x74000001, E_M,    {RA, RD, SH, MB, ME}, xSh},
    {"extzb",      N,       AO,       E, 0x74000001, E_M,    {RA, RD},         xSh, 0, Rot::Extzb},
    {"extzh",      N,       AO,       E, 0x74000001, E_M,    {RA, RD},         xSh, 0, Rot::Extzh},
    {"clrlwi",     N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotN},   xSh, 0, Rot::Clrlwi},
    {"clrrwi",     N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotN},   xSh, 0, Rot::Clrrwi},
    {"rotrwi",     N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotN},   xSh, 0, Rot::Rotrwi},
    {"extlwi",     N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotN, RotB}, xSh, 0, Rot::Extlwi},
    {"extrwi",     N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotN, RotB}, xSh, 0, Rot::Extrwi},
    {"clrlslwi",   N,       AO,       E, 0x74000001, E_M,    {RA, RD, RotB, RotN}, xSh, 0, Rot::Clrlslwi},
    {"inslwi",     N,       AO,       E, 0x74000000, E_M,    {RA, RD, RotN, RotB}, xSh, 0, Rot::Inslwi},
    {"insrwi",     N,       AO,       E, 0x74000000, E_M,    {RA, RD, RotN, RotB}, xSh, 0, Rot::Insrwi},
    {"e_b",        "b",     N,       E, 0x78000000, E_BD24, {BD24},           xBr},
    {"e_bl",       "bl",    N,       E, 0x78000001, E_BD24, {BD24},           xBr, U},
    {"e_bc",       N,       N,       E, 0x7A000000, E_BD15, {BO32, BI32, BD15}, xBr, H16},
    {"e_bcl",      N,       N,       E, 0x7A000001, E_BD15, {BO32, BI32, BD15}, xBr, H16 | U},
    {"e_cmph",     "cmph",  N,       E, 0x7C00001C, E_X,    {CRD, RA, RB},    xCmp},
    {"e_mcrf",     "mcrf",  N,       E, 0x7C000020, E_XL,   {CRD, CRS},       xMov},
    {"e_crnor",    "crnor", N,       E, 0x7C000042, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_cmphl",    "cmphl", N,       E, 0x7C00005C, E_X,    {CRD, RA, RB},    xCmp},
    {"e_slwi",     "slwi",  N,   E | R, 0x7C000070, E_X,    {RA, RD, SH},     xSh},
    {"e_crandc",   "crandc", N,      E, 0x7C000102, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_crxor",    "crxor", N,       E, 0x7C000182, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_crnand",   "crnand", N,      E, 0x7C0001C2, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_crand",    "crand", N,       E, 0x7C000202, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_rlw",      "rotlw", "rlw",  E | R, 0x7C000230, E_X,  {RA, RD, RB},    xSh},
    {"rlw",        N,       AO,  E | R, 0x7C000230, E_X,    {RA, RD, RB},     xSh},
    {"e_creqv",    "creqv", N,       E, 0x7C000242, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_rlwi",     "rotlwi", "rlwi", E | R, 0x7C000270, E_X, {RA, RD, SH},    xSh},
    {"rlwi",       N,       AO,  E | R, 0x7C000270, E_X,    {RA, RD, SH},     xSh},
    {"e_crorc",    "crorc", N,       E, 0x7C000342, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_cror",     "cror",  N,       E, 0x7C000382, E_XL,   {CRBD, CRBA, CRBB}, xLog},
    {"e_srwi",     "srwi",  N,   E | R, 0x7C000470, E_X,    {RA, RD, SH},     xSh},
    {"crset",      N,       AO,      E, 0x7C000242, E_XL,   {CRBDAB},         xLog},
    {"crclr",      N,       AO,      E, 0x7C000182, E_XL,   {CRBDAB},         xLog},
    {"crmove",     N,       AO,      E, 0x7C000382, E_XL,   {CRBD, CRBAB},    xLog},
    {"crnot",      N,       AO,      E, 0x7C000042, E_XL,   {CRBD, CRBAB},    xLog},

    // ---- Book E (VB: also in VLE) -------------------------------------
    {"cmpw",       N,       N,      VB, 0x7C000000, X,   {RA, RB},            xCmp},
    {"cmpw",       N,       N,      VB, 0x7C000000, X,   {CRD, RA, RB},       xCmp},
    {"cmp",        N,       AO,      VB, 0x7C000000, X,   {CRD, RA, RB},       xCmp},
    {"tw",         N,       N,      VB, 0x7C000008, X,   {TO, RA, RB},        xSys},
    {"subfc",      N,       N, VB | O | R, 0x7C000010, XO, {RD, RA, RB},      xSub},
    {"subc",       N,       AO, VB | O | R, 0x7C000010, XO, {RD, RB, RA},      xSub},
    {"subc",       N,       AO, VB | O | R, 0x7C000010, XO, {RSB, RA},         xSub},
    {"addc",       N,       N, VB | O | R, 0x7C000014, XO, {RD, RA, RB},      xAdd},
    {"mulhwu",     N,       N,  VB | R, 0x7C000016, X,   {RD, RA, RB},        xMul},
    {"isellt",     N,       N,      VB, 0x7C00001E, A,   {RD, RA, RB},        xMov},
    {"iselgt",     N,       N,      VB, 0x7C00005E, A,   {RD, RA, RB},        xMov},
    {"iseleq",     N,       N,      VB, 0x7C00009E, A,   {RD, RA, RB},        xMov},
    {"isel",       N,       N,      VB, 0x7C00001E, A,   {RD, RA, RB, CRBC},  xMov},
    {"mfcr",       N,       N,      VB, 0x7C000026, X,   {RD},                xMov},
    {"lwarx",      N,       N,      VB, 0x7C000028, X,   {RD, RA, RB},        xLd},
    {"icbt",       N,       N,      VB, 0x7C00002C, X,   {RA, RB},            xSys},
    {"lwzx",       N,       N,      VB, 0x7C00002E, X,   {RD, RA, RB},        xLd},
    {"slw",        N,       N,  VB | R, 0x7C000030, X,   {RA, RD, RB},        xSh},
    {"cntlzw",     N,       N,  VB | R, 0x7C000034, X,   {RA, RD},            xSys},
    {"and",        N,       N,  VB | R, 0x7C000038, X,   {RA, RD, RB},        xLog},
    {"cmplw",      N,       N,      VB, 0x7C000040, X,   {RA, RB},            xCmp},
    {"cmplw",      N,       N,      VB, 0x7C000040, X,   {CRD, RA, RB},       xCmp},
    {"cmpl",       N,       AO,      VB, 0x7C000040, X,   {CRD, RA, RB},       xCmp},
    {"subf",       N,       N, VB | O | R, 0x7C000050, XO, {RD, RA, RB},      xSub},
    {"sub",        N,       AO, VB | O | R, 0x7C000050, XO, {RD, RB, RA},      xSub},
    {"sub",        N,       AO, VB | O | R, 0x7C000050, XO, {RSB, RA},         xSub},
    {"dcbst",      N,       N,      VB, 0x7C00006C, X,   {RA, RB},            xSys},
    {"lwzux",      N,       N,      VB, 0x7C00006E, X,   {RD, RA, RB},        xLd, U},
    {"andc",       N,       N,  VB | R, 0x7C000078, X,   {RA, RD, RB},        xLog},
    {"wait",       N,       N,      VB, 0x7C00007C, X,   {},                  xSys},
    {"mulhw",      N,       N,  VB | R, 0x7C000096, X,   {RD, RA, RB},        xMul},
    {"mfmsr",      N,       N,      VB, 0x7C0000A6, X,   {RD},                xSys},
    {"dcbf",       N,       N,      VB, 0x7C0000AC, X,   {RA, RB},            xSys},
    {"lbzx",       N,       N,      VB, 0x7C0000AE, X,   {RD, RA, RB},        xLd, B8},
    {"neg",        N,       N, VB | O | R, 0x7C0000D0, XO, {RD, RA},          xNeg},
    {"lbzux",      N,       N,      VB, 0x7C0000EE, X,   {RD, RA, RB},        xLd, B8 | U},
    {"not",        N,       AO, VB | R, 0x7C0000F8, X,   {RA, RSB},           xNeg},
    {"nor",        N,       N,  VB | R, 0x7C0000F8, X,   {RA, RD, RB},        xLog},
    {"wrtee",      N,       N,      VB, 0x7C000106, X,   {RD},                xSys},
    {"subfe",      N,       N, VB | O | R, 0x7C000110, XO, {RD, RA, RB},      xSub},
    {"adde",       N,       N, VB | O | R, 0x7C000114, XO, {RD, RA, RB},      xAdd},
    {"mtcr",       N,       N,      VB, 0x7C0FF120, XFX, {RD},                xMov},
    {"mtcrf",      N,       N,      VB, 0x7C000120, XFX, {FXM, RD},           xMov},
    {"mtmsr",      N,       N,      VB, 0x7C000124, X,   {RD},                xSys},
    {"stwcx.",     N,       N,      VB, 0x7C00012D, X,   {RD, RA, RB},        xSt},
    {"stwx",       N,       N,      VB, 0x7C00012E, X,   {RD, RA, RB},        xSt},
    {"wrteei",     N,       N,      VB, 0x7C000146, X,   {WE},                xSys},
    {"stwux",      N,       N,      VB, 0x7C00016E, X,   {RD, RA, RB},        xSt, U},
    {"subfze",     N,       N, VB | O | R, 0x7C000190, XO, {RD, RA},          xSub},
    {"addze",      N,       N, VB | O | R, 0x7C000194, XO, {RD, RA},          xAdd},
    {"stbx",       N,       N,      VB, 0x7C0001AE, X,   {RD, RA, RB},        xSt, B8},
    {"subfme",     N,       N, VB | O | R, 0x7C0001D0, XO, {RD, RA},          xSub},
    {"addme",      N,       N, VB | O | R, 0x7C0001D4, XO, {RD, RA},          xAdd},
    {"mullw",      N,       N, VB | O | R, 0x7C0001D6, XO, {RD, RA, RB},      xMul},
    {"dcbtst",     N,       N,      VB, 0x7C0001EC, X,   {RA, RB},            xSys},
    {"stbux",      N,       N,      VB, 0x7C0001EE, X,   {RD, RA, RB},        xSt, B8 | U},
    {"add",        N,       N, VB | O | R, 0x7C000214, XO, {RD, RA, RB},      xAdd},
    {"add",        N,       AO, VB | O | R, 0x7C000214, XO, {RDA, RB},         xAdd},
    {"mfapidi",    N,       N,      VB, 0x7C000226, X,   {RD, RA},            xSys},
    {"dcbt",       N,       N,      VB, 0x7C00022C, X,   {RA, RB},            xSys},
    {"lhzx",       N,       N,      VB, 0x7C00022E, X,   {RD, RA, RB},        xLd, H16},
    {"eqv",        N,       N,  VB | R, 0x7C000238, X,   {RA, RD, RB},        xLog},
    {"lhzux",      N,       N,      VB, 0x7C00026E, X,   {RD, RA, RB},        xLd, H16 | U},
    {"xor",        N,       N,  VB | R, 0x7C000278, X,   {RA, RD, RB},        xLog},
    {"mfdcr",      N,       N,      VB, 0x7C000286, XFX, {RD, DCR},           xMov},
    {"mfpmr",      N,       N,      VB, 0x7C00029C, XFX, {RD, PMR},           xMov},
    {"mfxer",      N,       N,      VB, 0x7C0102A6, XFX, {RD},                xMov},
    {"mflr",       N,       N,      VB, 0x7C0802A6, XFX, {RD},                xMov},
    {"mfctr",      N,       N,      VB, 0x7C0902A6, XFX, {RD},                xMov},
    {"mfspr",      N,       N,      VB, 0x7C0002A6, XFX, {RD, SPR},           xMov},
    {"lhax",       N,       N,      VB, 0x7C0002AE, X,   {RD, RA, RB},        xLd, H16 | S},
    {"lhaux",      N,       N,      VB, 0x7C0002EE, X,   {RD, RA, RB},        xLd, H16 | S | U},
    {"sthx",       N,       N,      VB, 0x7C00032E, X,   {RD, RA, RB},        xSt, H16},
    {"orc",        N,       N,  VB | R, 0x7C000338, X,   {RA, RD, RB},        xLog},
    {"sthux",      N,       N,      VB, 0x7C00036E, X,   {RD, RA, RB},        xSt, H16 | U},
    {"mr",         N,       AO, VB | R, 0x7C000378, X,   {RA, RSB},           xMov},
    {"or",         N,       N,  VB | R, 0x7C000378, X,   {RA, RD, RB},        xLog},
    {"mtdcr",      N,       N,      VB, 0x7C000386, XFX, {DCR, RD},           xMov},
    {"divwu",      N,       N, VB | O | R, 0x7C000396, XO, {RD, RA, RB},      xMul},
    {"mtpmr",      N,       N,      VB, 0x7C00039C, XFX, {PMR, RD},           xMov},
    {"mtxer",      N,       N,      VB, 0x7C0103A6, XFX, {RD},                xMov},
    {"mtlr",       N,       N,      VB, 0x7C0803A6, XFX, {RD},                xMov},
    {"mtctr",      N,       N,      VB, 0x7C0903A6, XFX, {RD},                xMov},
    {"mtspr",      N,       N,      VB, 0x7C0003A6, XFX, {SPR, RD},           xMov},
    {"dcbi",       N,       N,      VB, 0x7C0003AC, X,   {RA, RB},            xSys},
    {"nand",       N,       N,  VB | R, 0x7C0003B8, X,   {RA, RD, RB},        xLog},
    {"divw",       N,       N, VB | O | R, 0x7C0003D6, XO, {RD, RA, RB},      xMul},
    {"mcrxr",      N,       N,      VB, 0x7C000400, X,   {CRD},               xSys},
    {"lswx",       N,       N,      VB, 0x7C00042A, X,   {RD, RA, RB},        xLd},
    {"lwbrx",      N,       N,      VB, 0x7C00042C, X,   {RD, RA, RB},        xLd},
    {"srw",        N,       N,  VB | R, 0x7C000430, X,   {RA, RD, RB},        xSh},
    {"tlbsync",    N,       N,      VB, 0x7C00046C, X,   {},                  xSys},
    {"lswi",       N,       N,      VB, 0x7C0004AA, X,   {RD, RA, NB},        xLd},
    {"msync",      N,       N,      VB, 0x7C0004AC, X,   {},                  xSys},
    {"stswx",      N,       N,      VB, 0x7C00052A, X,   {RD, RA, RB},        xSt},
    {"stwbrx",     N,       N,      VB, 0x7C00052C, X,   {RD, RA, RB},        xSt},
    {"stswi",      N,       N,      VB, 0x7C0005AA, X,   {RD, RA, NB},        xSt},
    {"dcba",       N,       N,      VB, 0x7C0005EC, X,   {RA, RB},            xSys},
    {"tlbivax",    N,       N,      VB, 0x7C000624, X,   {RA, RB},            xSys},
    {"lhbrx",      N,       N,      VB, 0x7C00062C, X,   {RD, RA, RB},        xLd, H16},
    {"sraw",       N,       N,  VB | R, 0x7C000630, X,   {RA, RD, RB},        xSh},
    {"srawi",      N,       N,  VB | R, 0x7C000670, X,   {RA, RD, SH},        xSh},
    {"mbar",       N,       N,      VB, 0x7C0006AC, X,   {MO},                xMov},
    {"eieio",      N,       AO,     VB, 0x7C2006AC, X,   {},                  xMov},
    {"tlbsx",      N,       N,      VB, 0x7C000724, X,   {RA, RB},            xSys},
    {"sthbrx",     N,       N,      VB, 0x7C00072C, X,   {RD, RA, RB},        xSt, H16},
    {"extsh",      N,       N,  VB | R, 0x7C000734, X,   {RA, RD},            xExt, H16 | S},
    {"tlbre",      N,       N,      VB, 0x7C000764, X,   {},                  xSys},
    {"extsb",      N,       N,  VB | R, 0x7C000774, X,   {RA, RD},            xExt, B8 | S},
    {"tlbwe",      N,       N,      VB, 0x7C0007A4, X,   {},                  xSys},
    {"icbi",       N,       N,      VB, 0x7C0007AC, X,   {RA, RB},            xSys},
    {"dcbz",       N,       N,      VB, 0x7C0007EC, X,   {RA, RB},            xSys},
    {"dcbtstls",   N,       N,      VB, 0x7C00010C, X,   {RA, RB},            xSys},
    {"dcbtstls",   N,       N,      VB, 0x7C00010C, X,   {CT, RA, RB},        xSys},
    {"dcbtls",     N,       N,      VB, 0x7C00014C, X,   {RA, RB},            xSys},
    {"dcbtls",     N,       N,      VB, 0x7C00014C, X,   {CT, RA, RB},        xSys},
    {"icblc",      N,       N,      VB, 0x7C0001CC, X,   {RA, RB},            xSys},
    {"icblc",      N,       N,      VB, 0x7C0001CC, X,   {CT, RA, RB},        xSys},
    {"dcblc",      N,       N,      VB, 0x7C00030C, X,   {RA, RB},            xSys},
    {"dcblc",      N,       N,      VB, 0x7C00030C, X,   {CT, RA, RB},        xSys},
    {"icbtls",     N,       N,      VB, 0x7C0003CC, X,   {RA, RB},            xSys},
    {"icbtls",     N,       N,      VB, 0x7C0003CC, X,   {CT, RA, RB},        xSys},
    {"eciwx",      N,       N,      VB, 0x7C00026C, X,   {RD, RA, RB},        xSys},
    {"ecowx",      N,       N,      VB, 0x7C00036C, X,   {RD, RA, RB},        xSys},
    {"mftb",       N,       N,      VB, 0x7C0C42A6, XFX, {RD},                xMov},
    {"tlbia",      N,       N,      VB, 0x7C0002E4, X,   {},                  xSys},
    {"tlbie",      N,       N,      VB, 0x7C000264, X,   {RB},                xSys},

    // ---- Book E forms VLE replaced --------------------------------------
    {"twi",        N,       N,      BE, 0x0C000000, D,   {TO, RA, SIMM},      xSys},
    {"mulli",      N,       N,      BE, 0x1C000000, D,   {RD, RA, SIMM},      xMul},
    {"subfic",     N,       N,      BE, 0x20000000, D,   {RD, RA, SIMM},      xSub},
    {"cmplwi",     N,       N,      BE, 0x28000000, D,   {RA, UIMM},          xCmp},
    {"cmplwi",     N,       N,      BE, 0x28000000, D,   {CRD, RA, UIMM},     xCmp},
    {"cmpli",      N,       AO,      BE, 0x28000000, D,   {CRD, RA, UIMM},     xCmp},
    {"cmpwi",      N,       N,      BE, 0x2C000000, D,   {RA, SIMM},          xCmp},
    {"cmpwi",      N,       N,      BE, 0x2C000000, D,   {CRD, RA, SIMM},     xCmp},
    {"cmpi",       N,       AO,      BE, 0x2C000000, D,   {CRD, RA, SIMM},     xCmp},
    {"addic",      N,       N,      BE, 0x30000000, D,   {RD, RA, SIMM},      xAdd},
    {"subic",      N,       AO, BE | NEG, 0x30000000, D,  {RD, RA, SIMM},      xAdd},
    {"addic.",     N,       N,      BE, 0x34000000, D,   {RD, RA, SIMM},      xAdd},
    {"li",         N,       N,      BE, 0x38000000, D,   {RD, SIMM},          xAdd, U},
    {"la",         N,       AO,      BE, 0x38000000, D,   {RD, DRA},           xAdd, U},
    {"addi",       N,       N,      BE, 0x38000000, D,   {RD, RA, SIMM},      xAdd, U},
    {"subi",       N,       AO, BE | NEG, 0x38000000, D,  {RD, RA, SIMM},      xAdd, U},
    {"lis",        N,       N,      BE, 0x3C000000, D,   {RD, SIMM},          xAdd, U},
    {"addis",      N,       N,      BE, 0x3C000000, D,   {RD, RA, SIMM},      xAdd, U},
    {"subis",      N,       AO, BE | NEG, 0x3C000000, D,  {RD, RA, SIMM},      xAdd, U},
    {"bc",         N,       N,      BE, 0x40000000, B,   {BO, BI, BD14},      xBr},
    {"bcl",        N,       N,      BE, 0x40000001, B,   {BO, BI, BD14},      xBr, U},
    {"bca",        N,       N,      BE, 0x40000002, B,   {BO, BI, BD14A},     xBr},
    {"bcla",       N,       N,      BE, 0x40000003, B,   {BO, BI, BD14A},     xBr, U},
    {"sc",         N,       N,      BE, 0x44000002, X,   {},                  xSys},
    {"b",          N,       N,      BE, 0x48000000, I,   {LI24},              xBr},
    {"bl",         N,       N,      BE, 0x48000001, I,   {LI24},              xBr, U},
    {"ba",         N,       N,      BE, 0x48000002, I,   {LI24A},             xBr},
    {"bla",        N,       N,      BE, 0x48000003, I,   {LI24A},             xBr, U},
    {"mcrf",       N,       N,      BE, 0x4C000000, XL,  {CRD, CRS},          xMov},
    {"blr",        N,       N,      BE, 0x4E800020, XL,  {},                  xBr},
    {"blrl",       N,       N,      BE, 0x4E800021, XL,  {},                  xBr, U},
    {"bclr",       N,       N,      BE, 0x4C000020, XL,  {BO, BI},            xBr},
    {"bclrl",      N,       N,      BE, 0x4C000021, XL,  {BO, BI},            xBr, U},
    {"crnor",      N,       N,      BE, 0x4C000042, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"rfmci",      N,       N,      BE, 0x4C00004C, XL,  {},                  xSys},
    {"rfdi",       N,       N,      BE, 0x4C00004E, XL,  {},                  xSys},
    {"rfi",        N,       N,      BE, 0x4C000064, XL,  {},                  xSys},
    {"rfci",       N,       N,      BE, 0x4C000066, XL,  {},                  xSys},
    {"crandc",     N,       N,      BE, 0x4C000102, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"crset",      N,       AO,     BE, 0x4C000242, XL,  {CRBDAB},            xLog},
    {"crclr",      N,       AO,     BE, 0x4C000182, XL,  {CRBDAB},            xLog},
    {"crmove",     N,       AO,     BE, 0x4C000382, XL,  {CRBD, CRBAB},       xLog},
    {"crnot",      N,       AO,     BE, 0x4C000042, XL,  {CRBD, CRBAB},       xLog},
    {"isync",      N,       N,      BE, 0x4C00012C, XL,  {},                  xSys},
    {"crxor",      N,       N,      BE, 0x4C000182, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"crnand",     N,       N,      BE, 0x4C0001C2, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"crand",      N,       N,      BE, 0x4C000202, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"creqv",      N,       N,      BE, 0x4C000242, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"crorc",      N,       N,      BE, 0x4C000342, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"cror",       N,       N,      BE, 0x4C000382, XL,  {CRBD, CRBA, CRBB},  xLog},
    {"bctr",       N,       N,      BE, 0x4E800420, XL,  {},                  xBr},
    {"bctrl",      N,       N,      BE, 0x4E800421, XL,  {},                  xBr, U},
    {"bcctr",      N,       N,      BE, 0x4C000420, XL,  {BO, BI},            xBr},
    {"bcctrl",     N,       N,      BE, 0x4C000421, XL,  {BO, BI},            xBr, U},
    {"rlwimi",     N,       N,  BE | R, 0x50000000, M,   {RA, RD, SH, MB, ME}, xSh},
    {"inslwi",     N,       AO,  BE | R, 0x50000000, M,   {RA, RD, RotN, RotB}, xSh, 0, Rot::Inslwi},
    {"insrwi",     N,       AO,  BE | R, 0x50000000, M,   {RA, RD, RotN, RotB}, xSh, 0, Rot::Insrwi},
    {"rotlwi",     N,       N,  BE | R, 0x5400003E, M,   {RA, RD, SH},        xSh},
    {"rlwinm",     N,       N,  BE | R, 0x54000000, M,   {RA, RD, SH, MB, ME}, xSh},
    {"slwi",       N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN},      xSh, 0, Rot::Slwi},
    {"srwi",       N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN},      xSh, 0, Rot::Srwi},
    {"clrlwi",     N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN},      xSh, 0, Rot::Clrlwi},
    {"clrrwi",     N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN},      xSh, 0, Rot::Clrrwi},
    {"rotrwi",     N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN},      xSh, 0, Rot::Rotrwi},
    {"extlwi",     N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN, RotB}, xSh, 0, Rot::Extlwi},
    {"extrwi",     N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotN, RotB}, xSh, 0, Rot::Extrwi},
    {"clrlslwi",   N,       AO,  BE | R, 0x54000000, M,   {RA, RD, RotB, RotN}, xSh, 0, Rot::Clrlslwi},
    {"rotlw",      N,       N,  BE | R, 0x5C00003E, M,   {RA, RD, RB},        xSh},
    {"rlwnm",      N,       N,  BE | R, 0x5C000000, M,   {RA, RD, RB, MB, ME}, xSh},
    {"nop",        N,       N,      BE, 0x60000000, D,   {},                  xSys},
    {"ori",        N,       N,      BE, 0x60000000, D,   {RA, RD, UIMM},      xLog},
    {"oris",       N,       N,      BE, 0x64000000, D,   {RA, RD, UIMM},      xLog},
    {"xori",       N,       N,      BE, 0x68000000, D,   {RA, RD, UIMM},      xLog},
    {"xoris",      N,       N,      BE, 0x6C000000, D,   {RA, RD, UIMM},      xLog},
    {"andi.",      N,       N,      BE, 0x70000000, D,   {RA, RD, UIMM},      xLog},
    {"andis.",     N,       N,      BE, 0x74000000, D,   {RA, RD, UIMM},      xLog},
    {"lwz",        N,       N,      BE, 0x80000000, D,   {RD, DRA},           xLd},
    {"lwzu",       N,       N,      BE, 0x84000000, D,   {RD, DRA},           xLd, U},
    {"lbz",        N,       N,      BE, 0x88000000, D,   {RD, DRA},           xLd, B8},
    {"lbzu",       N,       N,      BE, 0x8C000000, D,   {RD, DRA},           xLd, B8 | U},
    {"stw",        N,       N,      BE, 0x90000000, D,   {RD, DRA},           xSt},
    {"stwu",       N,       N,      BE, 0x94000000, D,   {RD, DRA},           xSt, U},
    {"stb",        N,       N,      BE, 0x98000000, D,   {RD, DRA},           xSt, B8},
    {"stbu",       N,       N,      BE, 0x9C000000, D,   {RD, DRA},           xSt, B8 | U},
    {"lhz",        N,       N,      BE, 0xA0000000, D,   {RD, DRA},           xLd, H16},
    {"lhzu",       N,       N,      BE, 0xA4000000, D,   {RD, DRA},           xLd, H16 | U},
    {"lha",        N,       N,      BE, 0xA8000000, D,   {RD, DRA},           xLd, H16 | S},
    {"lhau",       N,       N,      BE, 0xAC000000, D,   {RD, DRA},           xLd, H16 | S | U},
    {"sth",        N,       N,      BE, 0xB0000000, D,   {RD, DRA},           xSt, H16},
    {"sthu",       N,       N,      BE, 0xB4000000, D,   {RD, DRA},           xSt, H16 | U},
    {"lmw",        N,       N,      BE, 0xB8000000, D,   {RD, DRA},           xLd},
    {"stmw",       N,       N,      BE, 0xBC000000, D,   {RD, DRA},           xSt},
};

// SPE rows are regular enough to be written as (name, extended opcode,
// operands): primary opcode 4, EVX form.
struct SpeRow {
    const char* name;
    uint16_t xo;
    std::array<Opd, 5> ops;
    bool asmonly = false;  // a spelling of another row (evmr is evor rD,rA,rA)
};

const SpeRow kSpe[] = {
    {"brinc", 0x20F, {RD, RA, RB}},
    {"evaddw", 0x200, {RD, RA, RB}},      {"evaddiw", 0x202, {RD, RB, UI5A}},
    {"evsubfw", 0x204, {RD, RA, RB}},     {"evsubifw", 0x206, {RD, UI5A, RB}},
    {"evsubw", 0x204, {RD, RB, RA}, true}, {"evsubiw", 0x206, {RD, RB, UI5A}, true},
    {"evabs", 0x208, {RD, RA}},           {"evneg", 0x209, {RD, RA}},
    {"evextsb", 0x20A, {RD, RA}},         {"evextsh", 0x20B, {RD, RA}},
    {"evrndw", 0x20C, {RD, RA}},          {"evcntlzw", 0x20D, {RD, RA}},
    {"evcntlsw", 0x20E, {RD, RA}},
    {"evand", 0x211, {RD, RA, RB}},       {"evandc", 0x212, {RD, RA, RB}},
    {"evxor", 0x216, {RD, RA, RB}},       {"evmr", 0x217, {RD, RAB}, true},
    {"evor", 0x217, {RD, RA, RB}},        {"evnot", 0x218, {RD, RAB}, true},
    {"evnor", 0x218, {RD, RA, RB}},       {"eveqv", 0x219, {RD, RA, RB}},
    {"evorc", 0x21B, {RD, RA, RB}},       {"evnand", 0x21E, {RD, RA, RB}},
    {"evsrwu", 0x220, {RD, RA, RB}},      {"evsrws", 0x221, {RD, RA, RB}},
    {"evsrwiu", 0x222, {RD, RA, SH}},     {"evsrwis", 0x223, {RD, RA, SH}},
    {"evslw", 0x224, {RD, RA, RB}},       {"evslwi", 0x226, {RD, RA, SH}},
    {"evrlw", 0x228, {RD, RA, RB}},       {"evsplati", 0x229, {RD, SI5A}},
    {"evrlwi", 0x22A, {RD, RA, SH}},      {"evsplatfi", 0x22B, {RD, SI5A}},
    {"evmergehi", 0x22C, {RD, RA, RB}},   {"evmergelo", 0x22D, {RD, RA, RB}},
    {"evmergehilo", 0x22E, {RD, RA, RB}}, {"evmergelohi", 0x22F, {RD, RA, RB}},
    {"evcmpgtu", 0x230, {CRD, RA, RB}},   {"evcmpgts", 0x231, {CRD, RA, RB}},
    {"evcmpltu", 0x232, {CRD, RA, RB}},   {"evcmplts", 0x233, {CRD, RA, RB}},
    {"evcmpeq", 0x234, {CRD, RA, RB}},    {"evsel", 0x278, {RD, RA, RB, CRSEL}},
    {"evfsadd", 0x280, {RD, RA, RB}},     {"evfssub", 0x281, {RD, RA, RB}},
    {"evfsabs", 0x284, {RD, RA}},         {"evfsnabs", 0x285, {RD, RA}},
    {"evfsneg", 0x286, {RD, RA}},         {"evfsmul", 0x288, {RD, RA, RB}},
    {"evfsdiv", 0x289, {RD, RA, RB}},     {"evfscmpgt", 0x28C, {CRD, RA, RB}},
    {"evfscmplt", 0x28D, {CRD, RA, RB}},  {"evfscmpeq", 0x28E, {CRD, RA, RB}},
    {"evfscfui", 0x290, {RD, RB}},        {"evfscfsi", 0x291, {RD, RB}},
    {"evfscfuf", 0x292, {RD, RB}},        {"evfscfsf", 0x293, {RD, RB}},
    {"evfsctui", 0x294, {RD, RB}},        {"evfsctsi", 0x295, {RD, RB}},
    {"evfsctuf", 0x296, {RD, RB}},        {"evfsctsf", 0x297, {RD, RB}},
    {"evfsctuiz", 0x298, {RD, RB}},       {"evfsctsiz", 0x29A, {RD, RB}},
    {"evfststgt", 0x29C, {CRD, RA, RB}},  {"evfststlt", 0x29D, {CRD, RA, RB}},
    {"evfststeq", 0x29E, {CRD, RA, RB}},
    {"efsadd", 0x2C0, {RD, RA, RB}},      {"efssub", 0x2C1, {RD, RA, RB}},
    {"efsabs", 0x2C4, {RD, RA}},          {"efsnabs", 0x2C5, {RD, RA}},
    {"efsneg", 0x2C6, {RD, RA}},          {"efsmul", 0x2C8, {RD, RA, RB}},
    {"efsdiv", 0x2C9, {RD, RA, RB}},      {"efscmpgt", 0x2CC, {CRD, RA, RB}},
    {"efscmplt", 0x2CD, {CRD, RA, RB}},   {"efscmpeq", 0x2CE, {CRD, RA, RB}},
    {"efscfd", 0x2CF, {RD, RB}},          {"efscfui", 0x2D0, {RD, RB}},
    {"efscfsi", 0x2D1, {RD, RB}},         {"efscfuf", 0x2D2, {RD, RB}},
    {"efscfsf", 0x2D3, {RD, RB}},         {"efsctui", 0x2D4, {RD, RB}},
    {"efsctsi", 0x2D5, {RD, RB}},         {"efsctuf", 0x2D6, {RD, RB}},
    {"efsctsf", 0x2D7, {RD, RB}},         {"efsctuiz", 0x2D8, {RD, RB}},
    {"efsctsiz", 0x2DA, {RD, RB}},        {"efststgt", 0x2DC, {CRD, RA, RB}},
    {"efststlt", 0x2DD, {CRD, RA, RB}},   {"efststeq", 0x2DE, {CRD, RA, RB}},
    {"efdadd", 0x2E0, {RD, RA, RB}},      {"efdsub", 0x2E1, {RD, RA, RB}},
    {"efdabs", 0x2E4, {RD, RA}},          {"efdnabs", 0x2E5, {RD, RA}},
    {"efdneg", 0x2E6, {RD, RA}},          {"efdmul", 0x2E8, {RD, RA, RB}},
    {"efddiv", 0x2E9, {RD, RA, RB}},      {"efdcmpgt", 0x2EC, {CRD, RA, RB}},
    {"efdcmplt", 0x2ED, {CRD, RA, RB}},   {"efdcmpeq", 0x2EE, {CRD, RA, RB}},
    {"efdcfs", 0x2EF, {RD, RB}},          {"efdcfui", 0x2F0, {RD, RB}},
    {"efdcfsi", 0x2F1, {RD, RB}},         {"efdcfuf", 0x2F2, {RD, RB}},
    {"efdcfsf", 0x2F3, {RD, RB}},         {"efdctui", 0x2F4, {RD, RB}},
    {"efdctsi", 0x2F5, {RD, RB}},         {"efdctuf", 0x2F6, {RD, RB}},
    {"efdctsf", 0x2F7, {RD, RB}},         {"efdctuiz", 0x2F8, {RD, RB}},
    {"efdctsiz", 0x2FA, {RD, RB}},        {"efdtstgt", 0x2FC, {CRD, RA, RB}},
    {"efdtstlt", 0x2FD, {CRD, RA, RB}},   {"efdtsteq", 0x2FE, {CRD, RA, RB}},
    {"evlddx", 0x300, {RD, RA, RB}},      {"evldd", 0x301, {RD, EVD8}},
    {"evldwx", 0x302, {RD, RA, RB}},      {"evldw", 0x303, {RD, EVD8}},
    {"evldhx", 0x304, {RD, RA, RB}},      {"evldh", 0x305, {RD, EVD8}},
    {"evlhhesplatx", 0x308, {RD, RA, RB}}, {"evlhhesplat", 0x309, {RD, EVD2}},
    {"evlhhousplatx", 0x30C, {RD, RA, RB}}, {"evlhhousplat", 0x30D, {RD, EVD2}},
    {"evlhhossplatx", 0x30E, {RD, RA, RB}}, {"evlhhossplat", 0x30F, {RD, EVD2}},
    {"evlwhex", 0x310, {RD, RA, RB}},     {"evlwhe", 0x311, {RD, EVD4}},
    {"evlwhoux", 0x314, {RD, RA, RB}},    {"evlwhou", 0x315, {RD, EVD4}},
    {"evlwhosx", 0x316, {RD, RA, RB}},    {"evlwhos", 0x317, {RD, EVD4}},
    {"evlwwsplatx", 0x318, {RD, RA, RB}}, {"evlwwsplat", 0x319, {RD, EVD4}},
    {"evlwhsplatx", 0x31C, {RD, RA, RB}}, {"evlwhsplat", 0x31D, {RD, EVD4}},
    {"evstddx", 0x320, {RD, RA, RB}},     {"evstdd", 0x321, {RD, EVD8}},
    {"evstdwx", 0x322, {RD, RA, RB}},     {"evstdw", 0x323, {RD, EVD8}},
    {"evstdhx", 0x324, {RD, RA, RB}},     {"evstdh", 0x325, {RD, EVD8}},
    {"evstwhex", 0x330, {RD, RA, RB}},    {"evstwhe", 0x331, {RD, EVD4}},
    {"evstwhox", 0x334, {RD, RA, RB}},    {"evstwho", 0x335, {RD, EVD4}},
    {"evstwwex", 0x338, {RD, RA, RB}},    {"evstwwe", 0x339, {RD, EVD4}},
    {"evstwwox", 0x33C, {RD, RA, RB}},    {"evstwwo", 0x33D, {RD, EVD4}},
    {"evmhessf", 0x403, {RD, RA, RB}},    {"evmhossf", 0x407, {RD, RA, RB}},
    {"evmheumi", 0x408, {RD, RA, RB}},    {"evmhesmi", 0x409, {RD, RA, RB}},
    {"evmhesmf", 0x40B, {RD, RA, RB}},    {"evmhoumi", 0x40C, {RD, RA, RB}},
    {"evmhosmi", 0x40D, {RD, RA, RB}},    {"evmhosmf", 0x40F, {RD, RA, RB}},
    {"evmhessfa", 0x423, {RD, RA, RB}},   {"evmhossfa", 0x427, {RD, RA, RB}},
    {"evmheumia", 0x428, {RD, RA, RB}},   {"evmhesmia", 0x429, {RD, RA, RB}},
    {"evmhesmfa", 0x42B, {RD, RA, RB}},   {"evmhoumia", 0x42C, {RD, RA, RB}},
    {"evmhosmia", 0x42D, {RD, RA, RB}},   {"evmhosmfa", 0x42F, {RD, RA, RB}},
    {"evmwhssf", 0x447, {RD, RA, RB}},    {"evmwlumi", 0x448, {RD, RA, RB}},
    {"evmwhumi", 0x44C, {RD, RA, RB}},    {"evmwhsmi", 0x44D, {RD, RA, RB}},
    {"evmwhsmf", 0x44F, {RD, RA, RB}},    {"evmwssf", 0x453, {RD, RA, RB}},
    {"evmwumi", 0x458, {RD, RA, RB}},     {"evmwsmi", 0x459, {RD, RA, RB}},
    {"evmwsmf", 0x45B, {RD, RA, RB}},     {"evmwhssfa", 0x467, {RD, RA, RB}},
    {"evmwlumia", 0x468, {RD, RA, RB}},   {"evmwhumia", 0x46C, {RD, RA, RB}},
    {"evmwhsmia", 0x46D, {RD, RA, RB}},   {"evmwhsmfa", 0x46F, {RD, RA, RB}},
    {"evmwssfa", 0x473, {RD, RA, RB}},    {"evmwumia", 0x478, {RD, RA, RB}},
    {"evmwsmia", 0x479, {RD, RA, RB}},    {"evmwsmfa", 0x47B, {RD, RA, RB}},
    {"evmwlssf", 0x443, {RD, RA, RB}},    {"evmwlsmf", 0x44B, {RD, RA, RB}},
    {"evmwlssfa", 0x463, {RD, RA, RB}},   {"evmwlsmfa", 0x46B, {RD, RA, RB}},
    {"evaddusiaaw", 0x4C0, {RD, RA}},     {"evaddssiaaw", 0x4C1, {RD, RA}},
    {"evsubfusiaaw", 0x4C2, {RD, RA}},    {"evsubfssiaaw", 0x4C3, {RD, RA}},
    {"evmra", 0x4C4, {RD, RA}},           {"evdivws", 0x4C6, {RD, RA, RB}},
    {"evdivwu", 0x4C7, {RD, RA, RB}},     {"evaddumiaaw", 0x4C8, {RD, RA}},
    {"evaddsmiaaw", 0x4C9, {RD, RA}},     {"evsubfumiaaw", 0x4CA, {RD, RA}},
    {"evsubfsmiaaw", 0x4CB, {RD, RA}},
    {"evmheusiaaw", 0x500, {RD, RA, RB}}, {"evmhessiaaw", 0x501, {RD, RA, RB}},
    {"evmhessfaaw", 0x503, {RD, RA, RB}}, {"evmhousiaaw", 0x504, {RD, RA, RB}},
    {"evmhossiaaw", 0x505, {RD, RA, RB}}, {"evmhossfaaw", 0x507, {RD, RA, RB}},
    {"evmheumiaaw", 0x508, {RD, RA, RB}}, {"evmhesmiaaw", 0x509, {RD, RA, RB}},
    {"evmhesmfaaw", 0x50B, {RD, RA, RB}}, {"evmhoumiaaw", 0x50C, {RD, RA, RB}},
    {"evmhosmiaaw", 0x50D, {RD, RA, RB}}, {"evmhosmfaaw", 0x50F, {RD, RA, RB}},
    {"evmhegumiaa", 0x528, {RD, RA, RB}}, {"evmhegsmiaa", 0x529, {RD, RA, RB}},
    {"evmhegsmfaa", 0x52B, {RD, RA, RB}}, {"evmhogumiaa", 0x52C, {RD, RA, RB}},
    {"evmhogsmiaa", 0x52D, {RD, RA, RB}}, {"evmhogsmfaa", 0x52F, {RD, RA, RB}},
    {"evmwlusiaaw", 0x540, {RD, RA, RB}}, {"evmwlssiaaw", 0x541, {RD, RA, RB}},
    {"evmwlssfaaw", 0x543, {RD, RA, RB}}, {"evmwlumiaaw", 0x548, {RD, RA, RB}},
    {"evmwlsmiaaw", 0x549, {RD, RA, RB}}, {"evmwlsmfaaw", 0x54B, {RD, RA, RB}},
    {"evmwhusiaaw", 0x544, {RD, RA, RB}}, {"evmwhssmaaw", 0x545, {RD, RA, RB}},
    {"evmwhssfaaw", 0x547, {RD, RA, RB}}, {"evmwhsmiaaw", 0x54D, {RD, RA, RB}},
    {"evmwhsmfaaw", 0x54F, {RD, RA, RB}},
    {"evmwssfaa", 0x553, {RD, RA, RB}},   {"evmwumiaa", 0x558, {RD, RA, RB}},
    {"evmwsmiaa", 0x559, {RD, RA, RB}},   {"evmwsmfaa", 0x55B, {RD, RA, RB}},
    {"evmwhgumiaa", 0x564, {RD, RA, RB}}, {"evmwhgsmiaa", 0x565, {RD, RA, RB}},
    {"evmwhgssfaa", 0x567, {RD, RA, RB}}, {"evmwhgsmfaa", 0x56F, {RD, RA, RB}},
    {"evmheusianw", 0x580, {RD, RA, RB}}, {"evmhessianw", 0x581, {RD, RA, RB}},
    {"evmhessfanw", 0x583, {RD, RA, RB}}, {"evmhousianw", 0x584, {RD, RA, RB}},
    {"evmhossianw", 0x585, {RD, RA, RB}}, {"evmhossfanw", 0x587, {RD, RA, RB}},
    {"evmheumianw", 0x588, {RD, RA, RB}}, {"evmhesmianw", 0x589, {RD, RA, RB}},
    {"evmhesmfanw", 0x58B, {RD, RA, RB}}, {"evmhoumianw", 0x58C, {RD, RA, RB}},
    {"evmhosmianw", 0x58D, {RD, RA, RB}}, {"evmhosmfanw", 0x58F, {RD, RA, RB}},
    {"evmhegumian", 0x5A8, {RD, RA, RB}}, {"evmhegsmian", 0x5A9, {RD, RA, RB}},
    {"evmhegsmfan", 0x5AB, {RD, RA, RB}}, {"evmhogumian", 0x5AC, {RD, RA, RB}},
    {"evmhogsmian", 0x5AD, {RD, RA, RB}}, {"evmhogsmfan", 0x5AF, {RD, RA, RB}},
    {"evmwlusianw", 0x5C0, {RD, RA, RB}}, {"evmwlssianw", 0x5C1, {RD, RA, RB}},
    {"evmwlssfanw", 0x5C3, {RD, RA, RB}}, {"evmwlumianw", 0x5C8, {RD, RA, RB}},
    {"evmwlsmianw", 0x5C9, {RD, RA, RB}}, {"evmwlsmfanw", 0x5CB, {RD, RA, RB}},
    {"evmwhusianw", 0x5C4, {RD, RA, RB}}, {"evmwhssianw", 0x5C5, {RD, RA, RB}},
    {"evmwhssfanw", 0x5C7, {RD, RA, RB}}, {"evmwhsmianw", 0x5CD, {RD, RA, RB}},
    {"evmwhsmfanw", 0x5CF, {RD, RA, RB}},
    {"evmwssfan", 0x5D3, {RD, RA, RB}},   {"evmwumian", 0x5D8, {RD, RA, RB}},
    {"evmwsmian", 0x5D9, {RD, RA, RB}},   {"evmwsmfan", 0x5DB, {RD, RA, RB}},
    {"evmwhgumian", 0x5E4, {RD, RA, RB}}, {"evmwhgsmian", 0x5E5, {RD, RA, RB}},
    {"evmwhgssfan", 0x5E7, {RD, RA, RB}}, {"evmwhgsmfan", 0x5EF, {RD, RA, RB}},
};

// Branch conditions: name, BO (Book E), condition bit within a CR field.
// The "true" conditions have BO 12, the "false" ones 4.
struct Cond {
    const char* name;
    bool taken_when_set;
    unsigned bit;
};
const Cond kConds[] = {
    {"ge", false, 0}, {"nl", false, 0}, {"le", false, 1}, {"ng", false, 1},
    {"ne", false, 2}, {"ns", false, 3}, {"nu", false, 3}, {"lt", true, 0},
    {"gt", true, 1},  {"eq", true, 2},  {"so", true, 3},  {"un", true, 3},
};

// Interned names for the generated rows (the table lives for the program).
const char* keep(std::deque<std::string>& store, std::string s) {
    store.push_back(std::move(s));
    return store.back().c_str();
}

void condbranches(std::vector<Insn>& out, std::deque<std::string>& names, bool vle16,
                  bool vle32, bool booke) {
    for (const Cond& c : kConds) {
        std::string b = std::string("b") + c.name;
        if (vle16) {
            uint32_t op = 0xE000 | (c.taken_when_set ? 0x400 : 0) | (c.bit << 8);
            out.push_back({keep(names, "se_" + b), keep(names, b), nullptr, V, op, SE_BD8, {BD8},
                           xBr, B8});
        }
        if (vle32) {
            uint32_t op = 0x7A000000 | (c.taken_when_set ? 0x100000 : 0) | (c.bit << 16);
            for (int link = 0; link < 2; ++link) {
                std::string n = "e_" + b + (link ? "l" : "");
                const char* gen = keep(names, b + (link ? "l" : ""));
                const char* nm = keep(names, n);
                uint16_t df = H16 | (link ? U : 0);
                out.push_back({nm, gen, nullptr, E, op | link, E_BD15, {BD15}, xBr, df});
                out.push_back({nm, gen, nullptr, E, op | link, E_BD15, {CRB32, BD15}, xBr, df});
            }
        }
        if (booke) {
            uint32_t bo = c.taken_when_set ? 12 : 4;
            uint32_t op = 0x40000000 | (bo << 21) | (c.bit << 16);
            // b<cond>, b<cond>l, b<cond>a, b<cond>la
            for (uint32_t aalk = 0; aalk < 4; ++aalk) {
                static const char* kTail[] = {"", "l", "a", "la"};
                const char* nm = keep(names, b + kTail[aalk]);
                Opd target = aalk & 2 ? BD14A : BD14;
                uint16_t df = aalk & 1 ? U : 0;
                out.push_back({nm, N, N, BE, op | aalk, B, {target}, xBr, df});
                out.push_back({nm, N, N, BE, op | aalk, B, {CRB, target}, xBr, df});
            }
            uint32_t opl = 0x4C000020 | (bo << 21) | (c.bit << 16);
            for (const char* tail : {"lr", "lrl", "ctr", "ctrl"}) {
                std::string_view t = tail;
                uint32_t o = (t[0] == 'c' ? opl | 0x400 : opl) | (t.back() == 'l' ? 1 : 0);
                const char* nm = keep(names, b + tail);
                uint16_t df = t.back() == 'l' ? U : 0;
                out.push_back({nm, N, N, BE, o, XL, {}, xBr, df});
                out.push_back({nm, N, N, BE, o, XL, {CRB}, xBr, df});
            }
        }
    }
}

// Branches on a CR bit and on the count register (Book E only), written as
// BO with the BI operand: name, BO.
struct BoBranch {
    const char* name;
    uint32_t bo;
};
const BoBranch kBoBranches[] = {
    {"bdnzf", 0}, {"bdzf", 2}, {"bf", 4}, {"bdnzt", 8}, {"bdzt", 10}, {"bt", 12},
};

// Trap conditions: name, TO.
struct Trap {
    const char* name;
    uint32_t to;
};
const Trap kTraps[] = {
    {"lt", 16}, {"le", 20}, {"eq", 4}, {"ge", 12}, {"gt", 8}, {"nl", 12}, {"ne", 24},
    {"ng", 20}, {"llt", 2}, {"lle", 6}, {"lge", 5}, {"lgt", 1}, {"lnl", 5}, {"lng", 6},
};

void bobranches(std::vector<Insn>& out, std::deque<std::string>& names) {
    static const char* kTail[] = {"", "l", "a", "la"};
    for (const BoBranch& b : kBoBranches) {
        uint32_t op = 0x40000000 | (b.bo << 21);
        for (uint32_t aalk = 0; aalk < 4; ++aalk)
            out.push_back({keep(names, std::string(b.name) + kTail[aalk]), N, N, BE, op | aalk, B,
                           {BI, aalk & 2 ? BD14A : BD14}, xBr, uint16_t(aalk & 1 ? U : 0)});
        for (const char* tail : {"lr", "lrl", "ctr", "ctrl"}) {
            std::string_view t = tail;
            if (t[0] == 'c' && !(b.bo & 4)) continue;  // no decrementing branch to ctr
            uint32_t o = 0x4C000020 | (b.bo << 21) | (t[0] == 'c' ? 0x400 : 0) | (t.back() == 'l' ? 1 : 0);
            out.push_back({keep(names, std::string(b.name) + tail), N, N, BE, o, XL, {BI}, xBr,
                           uint16_t(t.back() == 'l' ? U : 0)});
        }
    }
    for (uint32_t bo : {16u, 18u}) {
        std::string n = bo == 16 ? "bdnz" : "bdz";
        uint32_t op = 0x40000000 | (bo << 21);
        out.push_back({keep(names, n + "a"), N, N, BE, op | 2, B, {BD14A}, xBr});
        out.push_back({keep(names, n + "la"), N, N, BE, op | 3, B, {BD14A}, xBr, U});
        out.push_back({keep(names, n + "lr"), N, N, BE, 0x4C000020 | (bo << 21), XL, {}, xBr});
        out.push_back({keep(names, n + "lrl"), N, N, BE, 0x4C000021 | (bo << 21), XL, {}, xBr, U});
    }
}

void traps(std::vector<Insn>& out, std::deque<std::string>& names) {
    for (const Trap& t : kTraps) {
        out.push_back({keep(names, std::string("tw") + t.name), N, N, VB, 0x7C000008 | (t.to << 21), X,
                       {RA, RB}, xSys});
        out.push_back({keep(names, std::string("tw") + t.name + "i"), N, N, BE,
                       0x0C000000 | (t.to << 21), D, {RA, SIMM}, xSys});
    }
}

// Names with a two-operand short form: "op rD,rB" is "op rD,rD,rB".
const char* const kShortForms[] = {
    "add", "addc", "adde", "addi", "addic", "addis", "and", "andc", "andi", "andis", "divw",
    "divwu", "efsadd", "efsdiv", "efsmul", "efssub", "mulhw", "mulhwu", "mulli", "mullw", "nand",
    "nor", "or", "orc", "ori", "oris", "rlw", "rlwi", "rotlw", "rotlwi", "rotrwi", "slw", "slwi",
    "sraw", "srawi", "srw", "srwi", "subf", "subfc", "subfe", "subfic", "subi", "subic", "subis",
    "xor", "xori", "xoris",
};

// The short form of row r under its generic name, when it has one: its first
// two register operands become one operand written to both fields.
std::optional<Insn> shortform(const Insn& r) {
    if (!(r.flags & FVle) || r.opcount() != 3 || r.ops[2] == Same) return std::nullopt;
    bool pair = (r.ops[0] == RD && r.ops[1] == RA) || (r.ops[0] == RA && r.ops[1] == RD);
    if (!pair) return std::nullopt;
    std::string_view n = r.also ? r.also : r.name;
    if (n.starts_with("e_") || n.starts_with("se_")) return std::nullopt;
    for (const char* s : kShortForms)
        if (n == s) {
            Insn d = r;
            d.name = r.also ? r.also : r.name;
            d.also = nullptr;
            d.dis = AO;
            d.ops = {RDA, r.ops[2]};
            return d;
        }
    return std::nullopt;
}

struct Table {
    std::vector<Insn> rows;
    std::deque<std::string> names;
};

Table build() {
    Table t;
    bool vle32_done = false, booke_done = false;
    for (const Insn& r : kRows) {
        // Conditional branches go in front of the general branch of each set.
        if (r.form == SE_BD8C) condbranches(t.rows, t.names, true, false, false);
        if (r.form == E_BD15 && !vle32_done) {
            condbranches(t.rows, t.names, false, true, false);
            t.rows.push_back({"e_bdnz", "bdnz", N, E, 0x7A200000, E_BD15, {BD15}, xBr, H16});
            t.rows.push_back({"e_bdnzl", "bdnzl", N, E, 0x7A200001, E_BD15, {BD15}, xBr, H16 | U});
            t.rows.push_back({"e_bdz", "bdz", N, E, 0x7A300000, E_BD15, {BD15}, xBr, H16});
            t.rows.push_back({"e_bdzl", "bdzl", N, E, 0x7A300001, E_BD15, {BD15}, xBr, H16 | U});
            vle32_done = true;
        }
        if (r.form == B && !booke_done) {
            condbranches(t.rows, t.names, false, false, true);
            t.rows.push_back({"bdnz", N, N, BE, 0x42000000, B, {BD14}, xBr});
            t.rows.push_back({"bdnzl", N, N, BE, 0x42000001, B, {BD14}, xBr, U});
            t.rows.push_back({"bdz", N, N, BE, 0x42400000, B, {BD14}, xBr});
            t.rows.push_back({"bdzl", N, N, BE, 0x42400001, B, {BD14}, xBr, U});
            bobranches(t.rows, t.names);
            traps(t.rows, t.names);
            booke_done = true;
        }
        t.rows.push_back(r);
        if (auto d = shortform(r)) t.rows.push_back(*d);
    }
    for (const SpeRow& s : kSpe) {
        std::string_view n = s.name;
        bool fp = n.starts_with("efs") || n.starts_with("efd");
        t.rows.push_back({s.name, N, s.asmonly ? AO : N, fp ? SF : SV, 0x10000000u | s.xo, EVX, s.ops, xSpe});
        if (auto d = shortform(t.rows.back())) t.rows.push_back(*d);
    }
    return t;
}

}  // namespace

std::span<const Insn> insns() {
    static const Table table = build();
    return table.rows;
}

}  // namespace isa
