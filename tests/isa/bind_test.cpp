// The decoder reading simulated memory, registers and program symbols.
#include <gtest/gtest.h>

#include "vek/core/decode/target/bind.h"
#include "vek/core/support/symbols.h"
#include "vek/core/target/memory.h"
#include "vek/core/target/registers.h"

namespace {

TEST(Bind, DecodesFromSimulatedMemory) {
    vek::resetsymbols();
    vek::Memory memory;
    vek::RegisterFile registers;
    memory.putlong(0xFFC, 0x38600005);  // classic li r3,5
    memory.putword(0x1000, 0xE800);     // se_b to itself
    memory.putlong(0x1002, 0x50640008); // e_lwz r3,8(r4)
    registers.setreg(5, 0x2000);        // r4
    vek::defsym("here", 0x1000);
    vek::defsym(".vle", 0x1000);
    vek::DecodeEnv env = vek::targetenv(memory, registers);
    char text[512];
    vek::Decoded d;
    EXPECT_EQ(vek::decodeinsn(env, 0xFFC, vek::DecodeText, text, d), 4u);
    EXPECT_STREQ(text, "li        r3,5");
    EXPECT_EQ(vek::decodeinsn(env, 0x1000, vek::DecodeText, text, d), 2u);
    EXPECT_STREQ(text, "b         here");
    EXPECT_EQ(vek::decodeinsn(env, 0x1002, vek::DecodeExec, nullptr, d), 4u);
    EXPECT_EQ(d.slots[1].value, 0x2008u);
    vek::resetsymbols();
}

}  // namespace
