// The decoder's text rules and slots on the cases the debugger relies on.
#include <gtest/gtest.h>

#include <map>

#include "vek/core/decode/decode.h"

namespace {

struct Memory {
    std::map<uint32_t, uint8_t> bytes;
    void put(uint32_t a, std::initializer_list<uint8_t> b) {
        for (uint8_t v : b) bytes[a++] = v;
    }
    uint8_t at(uint32_t a) const {
        auto it = bytes.find(a);
        return it == bytes.end() ? 0 : it->second;
    }
};

struct Fixture {
    Memory mem;
    std::map<uint32_t, std::string> symbols;
    std::array<uint32_t, 38> regs{};
    vek::DecodeEnv env;
    Fixture() {
        env.gethalf = [this](uint32_t a) { return uint16_t(mem.at(a) << 8 | mem.at(a + 1)); };
        env.getword = [this](uint32_t a) {
            return uint32_t(mem.at(a)) << 24 | uint32_t(mem.at(a + 1)) << 16 |
                   uint32_t(mem.at(a + 2)) << 8 | mem.at(a + 3);
        };
        env.getreg = [this](unsigned r) { return regs[r]; };
        env.symbolat = [this](uint32_t v) -> const char* {
            auto it = symbols.find(v);
            return it == symbols.end() ? nullptr : it->second.c_str();
        };
        env.symbolvalue = [this](std::string_view name) -> std::optional<uint32_t> {
            for (auto& [v, n] : symbols)
                if (n == name) return v;
            return std::nullopt;
        };
    }
    std::string text(uint32_t address, unsigned* length = nullptr) {
        char buf[512];
        vek::Decoded d;
        unsigned len = vek::decodeinsn(env, address, vek::DecodeText, buf, d);
        if (length) *length = len;
        return buf;
    }
};

struct Case {
    bool vle;
    std::vector<uint8_t> bytes;
    const char* text;
    unsigned length;
};

class Text : public ::testing::TestWithParam<Case> {};

TEST_P(Text, Disassembles) {
    const Case& c = GetParam();
    Fixture f;
    f.env.vleboundary = c.vle ? 0 : 0x80000000;
    uint32_t a = 0x1000;
    for (uint8_t b : c.bytes) f.mem.bytes[a++] = b;
    unsigned len = 0;
    EXPECT_EQ(f.text(0x1000, &len), c.text);
    EXPECT_EQ(len, c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Text,
    ::testing::Values(
        Case{true, {0x44, 0x00}, "nop       ", 2},
        Case{true, {0x44, 0x01}, "or        r1,r0", 2},
        Case{true, {0xF0, 0x00, 0x12, 0x34}, "????     (0xf0001234)", 4},
        Case{false, {0x00, 0x00, 0x00, 0x01}, "????     (0x00000001)", 4},
        Case{true, {0x00, 0x0C}, "????     (0x000c)", 2},
        Case{true, {0x1C, 0x64, 0x03, 0xE8}, "addi      r3,r4,0x3e8", 4},
        Case{true, {0x1C, 0x64, 0xFC, 0x18}, "addi      r3,r4,0xfffffc18", 4},
        Case{true, {0x1C, 0x64, 0x03, 0xE7}, "addi      r3,r4,999", 4},
        Case{true, {0x70, 0x60, 0x03, 0xE8}, "li        r3,1000", 4},
        Case{true, {0x02, 0x30}, "mr        r8,r3", 2},
        Case{true, {0x03, 0x03}, "mr        r3,r8", 2},
        Case{false, {0x7C, 0x83, 0x23, 0x78}, "mr        r3,r4", 4},
        Case{false, {0x7C, 0x83, 0x23, 0x79}, "mr.       r3,r4", 4},
        Case{false, {0x7C, 0x64, 0x2E, 0x15}, "addo.     r3,r4,r5", 4},
        Case{true, {0x47, 0x43}, "and.      r3,r4", 2},
        Case{false, {0x4A, 0x00, 0x00, 0x02}, "ba        0xfe000000", 4},
        Case{true, {0x78, 0x00, 0x00, 0x10}, "b         0x00001010", 4},
        Case{true, {0xE6, 0xFE}, "beq       0x00000ffc", 2},
        Case{true, {0x7A, 0x16, 0x00, 0x08}, "beq       cr1,0x00001008", 4},
        Case{true, {0x50, 0x60, 0xFF, 0xF8}, "lwz       r3,0xfffffff8", 4},
        Case{true, {0xC1, 0x38}, "lwz       r3,4(r24)", 2},
        Case{true, {0x18, 0x23, 0xA8, 0x05}, "cmpi      cr1,r3,5", 4},
        Case{true, {0x7C, 0x03, 0x20, 0x00}, "cmpw      r3,r4", 4},
        Case{true, {0x7C, 0x83, 0x20, 0x00}, "cmpw      cr1,r3,r4", 4}));

TEST(Decode, BoundarySwitchesTables) {
    Fixture f;
    f.env.vleboundary = 0x1000;
    f.mem.put(0xFFC, {0x38, 0x60, 0x00, 0x05});  // classic li r3,5
    f.mem.put(0x1000, {0x48, 0x53});             // se_li r3,5
    unsigned len = 0;
    EXPECT_EQ(f.text(0xFFC, &len), "li        r3,5");
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(f.text(0x1000, &len), "li        r3,5");
    EXPECT_EQ(len, 2u);
}

TEST(Decode, SymbolsForTargetsAndSmallData) {
    Fixture f;
    f.symbols[0x1010] = "loop";
    f.symbols[0x8000] = "__sdata";
    f.symbols[0x8008] = "counter";
    f.mem.put(0x1000, {0x78, 0x00, 0x00, 0x10});  // e_b .+16
    f.mem.put(0x1004, {0x50, 0x62, 0x00, 0x08});  // e_lwz r3,8(r2)
    EXPECT_EQ(f.text(0x1000), "b         loop");
    EXPECT_EQ(f.text(0x1004), "lwz       r3,counter(r2)");
}

TEST(Decode, SlotsForTheExecutor) {
    Fixture f;
    f.regs[5] = 0x2000;                            // r4
    f.mem.put(0x1000, {0x50, 0x64, 0xFF, 0xFC});  // e_lwz r3,-4(r4)
    vek::Decoded d;
    EXPECT_EQ(vek::decodeinsn(f.env, 0x1000, vek::DecodeExec, nullptr, d), 4u);
    ASSERT_NE(d.row, nullptr);
    EXPECT_EQ(d.row->handler, static_cast<uint8_t>(isa::Exec::Load));
    EXPECT_EQ(d.slots[0].kind, vek::SlotReg);
    EXPECT_EQ(d.slots[0].value, 4u);  // r3 is register 4
    EXPECT_EQ(d.slots[1].kind, vek::SlotAddr);
    EXPECT_EQ(d.slots[1].value, 0x1FFCu);
    EXPECT_EQ(d.slots[2].kind, vek::SlotReg);
    EXPECT_EQ(d.slots[2].value, 5u);
    EXPECT_EQ(d.slots[3].kind, vek::SlotNone);
    f.mem.put(0x1004, {0x18, 0x23, 0xA8, 0x05});  // e_cmpi cr1,r3,5
    vek::decodeinsn(f.env, 0x1004, vek::DecodeExec, nullptr, d);
    EXPECT_EQ(d.crfield, 1u);
    EXPECT_EQ(d.slots[0].value, 35u);
}

}  // namespace
