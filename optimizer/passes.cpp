// The pass tables: which handler runs under which code, which rows each
// handler examines, and the block, global and final passes in their order.
//
// Adding a pass is adding rows here:
//   - an instruction handler: a HandlerDef {code, function} and its code in
//     the handler lists of the rows it examines (a HandlerList names rows and
//     codes, both separated by blanks; codes run in the order given, a code
//     without a HandlerDef is skipped). A handler receives the place that
//     holds the current node and the node's row, returns non-zero after a
//     change, and may store the node that now stands in the current node's
//     place. It sets o.passname to its code and returns 0 at once when
//     o.disabled(code).
//   - a block pass: a BlockPassDef, tried on every label of the label list in
//     the order of the table; it receives the label node.
//   - a global pass (G0, R0): tried in table order when a round changed
//     nothing; a final pass (P2): run once on the unit after optunit.
// The driver (unit.cpp) clears the pending label marks and the loop guard
// before every call, counts the change and reports it to the test hook.
// A volatile instruction of a load row is examined by the handler with the
// code I1 alone.
#include "optimizer/opt.h"

namespace opt {

const std::vector<HandlerDef>& handlerdefs() {
    static const std::vector<HandlerDef> rows = {};
    return rows;
}

const std::vector<HandlerList>& handlerlists() {
    static const std::vector<HandlerList> rows = {};
    return rows;
}

const std::vector<BlockPassDef>& blockpasses() {
    static const std::vector<BlockPassDef> rows = {};
    return rows;
}

const std::vector<UnitPassDef>& globalpasses() {
    static const std::vector<UnitPassDef> rows = {};
    return rows;
}

const std::vector<UnitPassDef>& finalpasses() {
    static const std::vector<UnitPassDef> rows = {};
    return rows;
}

Handler findhandler(std::string_view code) {
    for (const HandlerDef& h : handlerdefs())
        if (code == h.code) return h.fn;
    return nullptr;
}

PassTables defaultpasses() {
    PassTables t;
    t.block = blockpasses();
    t.global = globalpasses();
    t.final = finalpasses();
    t.i1 = findhandler("I1");
    return t;
}

}  // namespace opt
