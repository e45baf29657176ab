// The executor's rows against the shared encoding table: every row the
// simulator executes is named in the shared table (its encoding comes from
// there), and no row is shadowed by an earlier, less specific one.
#include <gtest/gtest.h>

#include "toollib/isa/isa.h"
#include "vek/core/exec/insntable.h"

using namespace vek;

TEST(InsnTable, EveryRowHasAnEncoding)
{
    auto rows = insnrows();
    for (uint16_t k = 1; k < rows.size(); k++) {
        const RowEncoding& e = rowencoding(k);
        EXPECT_TRUE(e.resolved) << rows[k].name << " is not in the shared encoding table";
        EXPECT_NE(rows[k].fn, nullptr) << rows[k].name;
    }
}

TEST(InsnTable, NoRowIsShadowed)
{
    auto rows = insnrows();
    for (uint16_t k = 1; k < rows.size(); k++) {
        const RowEncoding& e = rowencoding(k);
        if (!e.resolved) continue;
        uint16_t first = findrow(rows[k].set, e.match);
        ASSERT_NE(first, 0) << rows[k].name << " is not found by its own match";
        if (first == k) continue;
        // An earlier row may only take the match when it is more specific.
        const RowEncoding& f = rowencoding(first);
        EXPECT_TRUE((f.mask & e.mask) == e.mask && f.mask != e.mask)
            << rows[k].name << " is shadowed by " << rows[first].name;
    }
}

// Every form the shared table gives a name runs: a name with a short form
// beside the full one (dcbtls rA,rB beside dcbtls CT,rA,rB) runs both.
TEST(InsnTable, EveryFormOfANameRuns)
{
    auto rows = insnrows();
    for (uint16_t k = 1; k < rows.size(); k++) {
        const RowEncoding& e = rowencoding(k);
        for (const isa::Insn& in : isa::insns()) {
            if (in.name != rows[k].name) continue;
            bool vle32 = in.size() == 4 && (in.flags & isa::FE32);
            if ((in.size() == 2) != (rows[k].set == InsnSet::Vle16) || vle32 != (rows[k].set == InsnSet::Vle32))
                continue;
            uint32_t fixed = isa::fixedmask(in);
            EXPECT_EQ(e.mask & fixed, e.mask) << rows[k].name << " misses a form";
            EXPECT_EQ(in.opcode & e.mask, e.match) << rows[k].name;
        }
    }
}
