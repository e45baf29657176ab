// Function-level code generation that is still to come: expression code,
// jumps, switches, counted loops, inline assembly, frames, layout and the
// writing of a function. Until it lands, a function's records are read and
// checked, its trees are read and folded, and the function is reported as
// not compiled, so that no incomplete code is ever taken for a result.
#include "generator/gen.h"

namespace cg {

void resetexpr(Gen&) {}

InsertPoint genjump(Gen&, InsertPoint ip, int, uint16_t, GenNode*, GenNode*) { return ip; }

InsnNode* genvoid(Gen&, GenNode*) { return nullptr; }

InsnNode* genloop(Gen&, GenNode*, uint16_t) { return nullptr; }

InsnNode* genasm(Gen&, const std::string&) { return nullptr; }

// The switch tables are read up to their end record, which is consumed.
InsertPoint genswitch(Gen& G, InsertPoint ip, uint16_t) {
    GenInput in(G);
    for (;;) {
        uint8_t code = irbyte(G);
        if (code == ir::R_TABLESEND) return ip;
        if (code != ir::R_JUMPTABLE && code != ir::R_RANGE && code != ir::R_CASES) genpanic(G, "BAD INPUT");
        ir::readrecord(code, in);
    }
}

void chainblocks(Gen&, LabelRecord*, int) {}

std::string genframe(Gen& G) {
    generror(G, "function bodies are not compiled yet");
    return {};
}

void layoutcode(Gen&) {}
void putcode(Gen&, const std::string&) {}
void putsource(Gen&, int32_t, int32_t) {}
void putdline(Gen&) {}

}  // namespace cg
