// Expression nodes of the code generator and their pool.
//
// The tree reader turns each expression of the intermediate file into a tree
// of GenNodes: the tree fields say what the node computes (operator, type,
// children, a leaf's storage and name), and the Location says where its
// value lies now; code selection rewrites the Location at every step. All
// nodes of one statement come from one NodePool and are released together
// after the statement, so no node outlives the statement that made it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "generator/regset.h"

namespace cg {

// Operator codes beyond those of the file (toollib/ir Op).
enum GenOp : int16_t {
    G_COPY = 164,      // structure copy
    G_COMPARE = 174,   // comparison
    G_CSEREF = 118,    // reference to a bound common subexpression
    G_CSEBIND = 182,   // binding of a common subexpression
};

// Node flags.
enum NodeFlag : uint32_t {
    NF_REUSABLE = 0x10,       // the value counts as lying in a reusable register
    NF_RELEASED = 0x100,      // the result register was released by a row with flag 0x40
    NF_OWNSREG = 0x4000,      // owns the register of its Location
    NF_RELEASEAFTER = 0x8000, // registers released right after the operator that uses it
    NF_OWNSINDEX = 0x10000,   // owns the index register of its Location
    NF_SETCC = 0x20000,       // the code just emitted set the condition register
};

// Leaf flags (and the access flags of a Location, same bits).
enum LeafFlag : uint32_t {
    LF_DIRECT = 0x02,     // directly addressable object (small data, small constants)
    LF_INDIRECT = 0x04,   // access through a loaded address (access flags)
    LF_SPR = 0x10,        // special-purpose register object
    LF_BUILTIN = 0x20,
    LF_VOLATILE = 0x80,
    LF_FUNCTION = 0x200,
    LF_BASEOFF = 0x800,   // offset relative to the base words
    LF_PARAMREG = 0x1000, // a parameter that lives in its argument register
};

// Generator flags: what the space table makes of an attribute word.
enum GenFlag : uint32_t {
    GF_NEAR = 0x01,
    GF_DIR = 0x02,        // short-addressed: small data, small constants
    GF_VECTOR = 0x08,     // data written as branches
    GF_INTERRUPT = 0x10,
    GF_BUILTIN = 0x20,    // builtin or inline
    GF_FAR = 0x40,
    GF_VOLATILE = 0x80,
    GF_CONST = 0x100,
    GF_FUNCADDR = 0x200,
    GF_VLE = 0x400,
    GF_STACKARGS = 0x2000, // on a call: every argument on the stack
    GF_EXTERNAL = 0x4000,  // ext, nested; on a call: in tail position
};

// Where a value lies now.
struct Location {
    uint32_t type = 0;       // low 4 bits: type code; bit-fields: position in 4-9, width in 10-15
    uint32_t attr = 0;
    int32_t base[2] = {0, 0};// base offset words; base[1] is added with access flag 0x800
    int32_t offset = 0;      // offset or constant value
    std::string name;        // empty: none
    uint8_t reg = 0;         // register code; bit 0x80: pushed
    uint8_t index = 0;       // index register code (base plus index)
    uint8_t indir = 0;       // 0 the value or an address, 1 the contents, 2 or more further
    uint32_t access = 0;     // leaf flag bits
};

struct GenNode {
    int16_t op = 0;          // 0 for a leaf
    uint32_t flags = 0;      // NodeFlag bits
    Location loc;
    // tree fields
    uint32_t type = 0;       // as Location::type
    uint32_t attr = 0;       // GenFlag bits (a pointer: its target's)
    uint32_t size = 0;       // bytes of a structure (copy, call result)
    GenNode* left = nullptr;
    GenNode* right = nullptr;
    GenNode* middle = nullptr;  // the value when true of ?:
    GenNode* place = nullptr;   // a call returning a structure: where the result goes
    int32_t value = 0;       // a leaf's constant, or the offset into its object
    uint8_t storage = 0;     // 0 none, a register code, 94 frame slot, 95 frame temporary, 93 push slot
    uint8_t indexstorage = 0;
    uint8_t indir = 0;
    uint32_t leafflags = 0;  // LeafFlag bits
    std::string name;        // a leaf's name text (the reader's form); an asm node's left: the text
    uint64_t fbits = 0;      // a floating constant carried in the name: the target's double bits

    uint8_t typecode() const { return static_cast<uint8_t>(type & 15); }
    bool isleaf() const { return op == 0; }
};

// The nodes of one statement. Released nodes are kept and handed out again,
// so that a function of many statements allocates its nodes once.
class NodePool {
public:
    GenNode* newnode();      // a cleared node
    void release();          // every node back to the pool
    size_t live() const { return used_; }

private:
    std::vector<std::unique_ptr<GenNode>> nodes_;
    size_t used_ = 0;
};

}  // namespace cg
