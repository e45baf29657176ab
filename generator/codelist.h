// The code list of a function: label records, each starting a block of
// code-list nodes (code text, branches, returns). A function's code is
// collected here while its body is read and written only when the body is
// complete, after the blocks have been placed and the branch forms chosen.
//
// Records and nodes of one function are recycled through free lists when the
// next function starts; their storage lives as long as the generator.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace cg {

struct InsnNode;

// Label record flags.
enum LabelFlag : uint8_t {
    LB_KEPT = 0x01,      // a label definition that stays (130) or the function's entry
    LB_VISITED = 0x02,   // visited by the block chaining
    LB_INLINE = 0x04,    // its block was moved behind a jump
    LB_BLOCK = 0x08,     // laid out as a block of its own
    LB_NEW = 0x20,       // made by a reference before its definition
};

struct LabelRecord {
    LabelRecord* next = nullptr;
    InsnNode* nodes = nullptr;
    int32_t offset = 0;        // in 16-bit units, from the layout
    uint16_t number = 0;
    int16_t refs = 0;
    uint8_t flags = 0;
    int32_t line = 0;
};

// Code-list node kinds.
enum InsnKind : uint8_t {
    IK_CODE = 160,
    IK_JUMP = 139,        // long
    IK_JUMPSHORT = 158,
    IK_RETURN = 146,
    IK_DELETED = 161,
    IK_FALLTHROUGH = 162,
    // conditional branches, long: 141 142 136 135 138 143 (signed), 168-171 (unsigned);
    // short: 152-157, 172-175
};

struct InsnNode {
    InsnNode* next = nullptr;
    uint16_t size = 0;         // in 16-bit units
    uint8_t kind = 0;
    int32_t firstline = 0, lastline = 0;
    std::shared_ptr<const std::string> file;  // with -l: the source file
    LabelRecord* label = nullptr;
    uint32_t text = 0;         // position in the code-line store, 0 none
};

// Where the next node of the function goes: the link to fill, or nullptr
// while the code is unreachable.
using InsertPoint = InsnNode**;

struct CodeList {
    LabelRecord* labels = nullptr;   // the function's label list in definition order
    LabelRecord* lastlabel = nullptr;
    LabelRecord* freelabels = nullptr;
    InsnNode* freeinsns = nullptr;
    std::deque<LabelRecord> labelstore;
    std::deque<InsnNode> insnstore;
    uint16_t nextlabel = 0;          // the last generator label number handed out

    LabelRecord* newlabelrecord();
    InsnNode* newnode();
};

// Appends a node at an insertion point; returns the insertion point after it.
InsertPoint appendinsn(InsertPoint ip, InsnNode* n);
// The link after the last node of a label's block.
InsertPoint blockend(LabelRecord* l);

}  // namespace cg
