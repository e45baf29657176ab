// The executor's rows against the shared encoding table: every row the
// simulator executes names an instruction of the shared table, with the same
// fixed bits, and no two rows of one decode set overlap unless the earlier
// one is the more specific.
#include <gtest/gtest.h>

#include <string>

#include "vek/core/exec/insntable.h"

#ifdef HAVE_PPCISA
#include "toollib/isa/isa.h"
#endif

using namespace vek;

TEST(InsnTable, RowsFollowTheirMasks)
{
    for (const InsnRow& r : insnrows().subspan(1)) {
        EXPECT_EQ(r.match & ~r.mask, 0u) << r.name << ": match bits outside the mask";
        EXPECT_NE(r.fn, nullptr) << r.name;
        uint16_t k = findrow(r.set, r.match);
        ASSERT_NE(k, 0) << r.name << " is not found by its own match";
        // An earlier row may only take the match when it is more specific.
        const InsnRow& first = insnrows()[k];
        if (&first != &r) {
            EXPECT_TRUE((first.mask & r.mask) == r.mask && first.mask != r.mask)
                << r.name << " is shadowed by " << first.name;
        }
    }
}

#ifdef HAVE_PPCISA
TEST(InsnTable, AgreesWithTheSharedEncodings)
{
    for (const InsnRow& r : insnrows().subspan(1)) {
        bool found = false;
        for (const isa::Insn& in : isa::insns()) {
            // A name with '.' may be the record variant of a row with Rc.
            std::string_view name = r.name, base = name;
            if (base.ends_with('.')) base.remove_suffix(1);
            bool record = in.name != name && in.name == base && (in.flags & isa::FRc);
            if (in.name != name && !record) continue;
            uint32_t opcode = in.opcode | (record ? isa::formrcbit(in.form) : 0);
            bool vle16 = in.size() == 2;
            if (vle16 != (r.set == InsnSet::Vle16)) continue;
            if ((opcode & r.mask) == r.match && (r.mask & ~isa::fixedmask(in)) == 0) found = true;
        }
        EXPECT_TRUE(found) << r.name << " mask " << std::hex << r.mask << " match " << r.match
                           << " has no row in the shared table";
    }
}
#endif
