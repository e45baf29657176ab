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

// handlerdefs() is in handlers.cpp, next to the handlers.

const std::vector<HandlerList>& handlerlists() {
    static const std::vector<HandlerList> rows = {
        {"lbz lbzu lbzux lbzx ld ldarx ldu ldux ldx lfd lfdu lfdux lfdx lfs lfsu lfsux lfsx lha lhau lhaux "
         "lhax lhbrx lhz lhzu lhzux lhzx lmw lswi lswx lwa lwarx lwaux lwax lwbrx lwz lwzu lwzux lwzx",
         "L0 M0 M3 M1 M2 S2 L4 L7 I1"},
        {"bgeni bmaski la li lis", "M0 M1 M2 L5 L6 I0 M7 A5 I1"},
        {"stb stbx sth sthx stw stwx", "M3 S3 P4"},
        {"and andi andis", "A0 A3 A4 E6 T0"},
        {"or ori oris", "O0 E6 T0"},
        {"xor xori xoris", "X0 E6 T0"},
        {"cmp cmph cmphi cmphl cmphli cmpi cmpl cmpli cmplw cmplwi cmpw cmpwi", "C0 C1 C2 C3"},
        {"b ba blr", "B1 B0"},
        {"beq beqa bge bgea bgt bgta ble blea blt blta bne bnea bng bnga bnl bnla bns bnsa bnu bnua bso bsoa "
         "bun buna",
         "B0 B4"},
        {"extsb extsh", "E1 E2 E5"},
        {"extzb extzh", "E0 E4 E2 E5"},
        {"srawi srwi", "S0 T0"},
        {"slwi", "S2 S0 E6 T0"},
        {"add", "S2 E6 T0"},
        {"divw divwu efsadd efsdiv efsmul efssub mulhw mulhwu rlw rlwi rotlw rotlwi rotrwi sraw srw", "T0"},
        {"addc adde addic addis andc mulli mullw nand nor orc slw sub subc subf subfc subfe subfic subic subis",
         "E6 T0"},
        {"iseleq iselgt isellt", "I1 T0"},
        {"addi subi", "A1 P0 P1 E6 T0"},
        {"mr", "M4 M5 E7"},
        {"btsti", "B3"},
        {"extrwi", "B3 S2"},
        {"mtlr", "M6"},
        {"not", "N0 E6"},
        {"inslwi insrwi", "I2"},
        {"bseti", "B5"},
    };
    return rows;
}

// blockpasses() is in blocks.cpp.

// globalpasses() is in blocks.cpp.

// finalpasses() is in blocks.cpp.

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
