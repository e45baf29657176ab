// A generated VLE source of any length, written in two dialects that give
// the same .text bytes: ours (generic mnemonics whose forms the assembler
// chooses over its passes, equ, comments after ';') and the cross
// assembler's (explicit forms, .equ, '#' comments). Blocks of 20 lines, each
// with a label, an equate and branches back, ahead and far ahead, so the
// symbol table, the form choice and the passes all get their share of work.
#pragma once

#include <cstdint>
#include <string>

namespace vlegen {

// One line of a block in both dialects. In the texts "%L" is this block's
// label, "%P" the previous block's, "%N" the next block's, "%F" one 40
// blocks ahead (out of reach of 16-bit branches), "%C" this block's
// equate, "%I" a small number that varies with the block.
struct Row {
    const char* ours;
    const char* peer;
};

inline constexpr Row kRows[] = {
    {"%L: add r3,r4", "%L: se_add r3,r4"},
    {"%C: equ %I", " .equ %C,%I"},
    {" e_add16i r3,r4,0x1200", " e_add16i r3,r4,0x1200"},
    {" li r5,%C", " se_li r5,%C"},
    {" li r3,0x7FFFF", " e_li r3,0x7FFFF"},
    {" lwz r3,8(r4) ; a short load", " se_lwz r3,8(r4) # a short load"},
    {" lwz r3,6(r4)", " e_lwz r3,6(r4)"},
    {" stw r5,-4(r1)", " e_stw r5,-4(r1)"},
    {" e_lis r3,0x1234", " e_lis r3,0x1234"},
    {" e_rlwinm r3,r4,2,0,29", " e_rlwinm r3,r4,2,0,29"},
    {" mr r6,r7", " se_mr r6,r7"},
    {" cmpi r3,%I", " se_cmpi r3,%I"},
    {" beq %P", " se_beq %P"},
    {" bne %N", " se_bne %N"},
    {" e_or2i r3,0x55", " e_or2i r3,0x55"},
    {" stb r4,1(r5)", " se_stb r4,1(r5)"},
    {" lhz r4,2(r5)", " se_lhz r4,2(r5)"},
    {" e_bl %F", " e_bl %F"},
    {" e_b %F", " e_b %F"},
    {" blr", " se_blr"},
};

inline std::string blocklabel(long k) { return "L" + std::to_string(k); }

// At least `lines` lines in the chosen dialect (whole blocks, and a last
// label every far branch can reach).
inline std::string source(long lines, bool peer) {
    constexpr long kRowCount = sizeof kRows / sizeof kRows[0];
    long blocks = (lines + kRowCount - 1) / kRowCount;
    std::string out;
    out.reserve(static_cast<size_t>(blocks * kRowCount * 24 + 64));
    if (peer) out += " .section .text,\"axv\"\n";
    for (long k = 0; k < blocks; k++) {
        for (const Row& row : kRows) {
            for (const char* p = peer ? row.peer : row.ours; *p; p++) {
                if (*p != '%') {
                    out += *p;
                    continue;
                }
                switch (*++p) {
                case 'L': out += blocklabel(k); break;
                case 'P': out += blocklabel(k > 0 ? k - 1 : 0); break;
                case 'N': out += blocklabel(k + 1); break;
                case 'F': out += blocklabel(k + 40 < blocks ? k + 40 : blocks); break;
                case 'C': out += "C" + std::to_string(k); break;
                case 'I': out += std::to_string(k % 31); break;
                default: out += *p; break;
                }
            }
            out += '\n';
        }
    }
    out += blocklabel(blocks) + (peer ? ": se_blr\n" : ": blr\n");
    return out;
}

}  // namespace vlegen
