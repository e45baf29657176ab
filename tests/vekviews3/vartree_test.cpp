// Variable texts in every format and variable trees, over a small target
// memory of our own.
#include <gtest/gtest.h>

#include "varfixture.h"

#include <cstring>
#include <map>

#include "vek/views/varmodel/vartree.h"

namespace vek {
namespace {

constexpr uint32_t Arr = 3u << 30, Ptr = 1u << 30;

struct Target {
    std::map<uint32_t, uint8_t> bytes;
    std::map<uint32_t, uint32_t> regs;
    void put(uint32_t a, std::initializer_list<uint8_t> b) {
        for (uint8_t x : b) bytes[a++] = x;
    }
    void put32(uint32_t a, uint32_t v) { put(a, {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    VarSource source() {
        return {[this](uint32_t a) { auto it = bytes.find(a); return it == bytes.end() ? uint8_t(0) : it->second; },
                [this](uint32_t r, uint8_t) { return regs[r]; }, 4};
    }
};

using testvars::var;

TEST(FloatText, Examples) {
    struct { double v; const char* text; const char* agg; } cases[] = {
        {0.015, "0.015", "0.015"},          {123.456, "123.456", "123.456"},
        {100, "100.0", "100.0"},            {0, "0.0", "0.0"},
        {-2.5, "-2.5", "-2.5"},             {12345678, "1.2345678e+07", "1.2345678e+7"},
        {0.000001, "1.0e-06", "1.0e-6"},    {0.0001, "0.0001", "0.0001"},
        {1e100, "1.0e+100", "1.0e+100"},    {-1e-200, "-1.0e-200", "-1.0e-200"},
        {__builtin_nan(""), "nan", "nan"},  {__builtin_inf(), "inf", "inf"},
        {-__builtin_inf(), "-inf", "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(floattext(c.v), c.text) << c.v;
        EXPECT_EQ(floattext(c.v, true), c.agg) << c.v;
    }
}

TEST(BitFields, WidthsAndOffsets) {
    EXPECT_EQ(bitfieldbits(0xF0, 0x0404, 8), 0xFu);
    EXPECT_EQ(bitfieldbits(0xDEADBEEF, 32, 32), 0xDEADBEEFu);       // width 32: every bit
    EXPECT_EQ(bitfieldbits(0xDEADBEEF, 0x1F00 | 8, 32), 1u);        // beyond the unit: 0
    EXPECT_EQ(bitfieldbits(0xFFFF, 0x0C00 | 8, 16), 0xFu);
    EXPECT_EQ(bitfieldbits(0xFFFFFFFF, 0xFF, 32), 0xFFFFFFFFu);     // width from a bad file
}

TEST(ValueText, EveryTypeAndFormat) {
    Target t;
    t.put(0x100, {0x9C});
    t.put(0x104, {0xFF, 0xFE});
    t.put32(0x108, 0x80000000);
    t.put(0x110, {0xA5});                               // _Bool bit 5 set
    t.put32(0x114, 0x40000000);                         // float 2.0
    t.put(0x118, {0x3F, 0xF8, 0, 0, 0, 0, 0, 0});       // double 1.5
    t.put32(0x120, 0);                                  // null pointer
    t.put32(0x124, 0x200);
    t.put(0x200, {'h', 'i', 0});
    t.put(0x128, {0x80, 0});                            // short _Fract 1.0 after shift? 0x8000/32768
    t.put(0x130, {0, 0, 0, 1, 0, 0, 0, 2});             // long long
    t.put32(0x138, 0x0000ABCD);
    VarSource src = t.source();
    VarRecord bits = var("b", 25);
    bits.desc.bitword = 0x0404;                          // 4 bits at offset 4
    VarRecord boolv = var("f", 1);
    boolv.desc.bitword = 5;
    struct { VarRecord v; uint32_t addr; const char* fmt; const char* text; } cases[] = {
        {var("c", 9), 0x100, "%s", "-100"},             // char: sign-extended
        {var("u", 10), 0x100, "%s", "156"},
        {var("s", 8), 0x100, "%s", "156"},              // signed char: not extended
        {var("h", 16), 0x104, "0x%hs", "0xfffe"},
        {var("l", 32), 0x108, "0b%zl", "0b10000000000000000000000000000000"},
        {var("l", 32), 0x108, "0x%hl", "0x80000000"},
        {bits, 0x138, "%l", "12"},
        {boolv, 0x110, "%s", "1"},
        {var("fl", 40), 0x114, "", "2.0"},
        {var("d", 41), 0x118, "", "1.5"},
        {var("p", Ptr | 9), 0x120, "", " NULL"},
        {var("p", Ptr | 9), 0x124, "%p", "\"hi\""},
        {var("p", Ptr | 9), 0x124, "0x%hl", "0x200"},
        {var("q", 44), 0x128, "%1.5f", "1.00000"},
        {var("ll", 48), 0x130, "%L", "4294967298"},
        {var("ll", 48), 0x130, "0x%hL", "0x100000002"},
        {var("v", 80), 0x130, "", "(no format)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(varvaluetext(c.v, c.addr, c.fmt, true, src), c.text) << c.v.name << " " << c.fmt;
}

TEST(ValueText, EnumsAndPlaces) {
    Target t;
    t.put32(0x300, 2);
    t.put32(0x304, 7);
    AggregateDescriptor tags;
    for (auto [n, v] : {std::pair{"RED", 1u}, {"GREEN", 2u}}) {
        VarRecord m = var(n, 77, 12);
        m.value = v;
        tags.members.push_back(m);
    }
    VarRecord e = var("e", 77);
    e.desc.agg = &tags;
    EXPECT_EQ(varvaluetext(e, 0x300, "", true, t.source()), "GREEN");
    EXPECT_EQ(varvaluetext(e, 0x304, "", true, t.source()), "7");
    VarRecord b = var("f", 1);
    b.desc.bitword = 5;
    EXPECT_EQ(placetext(b, 0x40000010, true, false), "0x40000010.5  ");
    EXPECT_EQ(placetext(var("x", 24), 0x40000010, true, false), "0x40000010 ");
}

TEST(ValueText, UpdateDialogTexts) {
    double d = 2.5;
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    EXPECT_EQ(varupdatetext(var("d", 41), bits), "2.500000");
    EXPECT_EQ(varupdatetext(var("p", Ptr | 9), 0x200), "0x200");
    EXPECT_EQ(varupdatetext(var("i", 24), 0xFFFFFFFF), "-1");
    EXPECT_EQ(varupdatetext(var("ll", 48), uint64_t(-5)), "-5");
}

struct Fixture : ::testing::Test {
    Target t;
    AggregateDescriptor sdesc;
    VarRecord s, a, str, big;
    void SetUp() override {
        VarRecord m1 = var("x", 24, 9), m2 = var("b", 16, 9);
        m2.value = 4;
        sdesc.members = {m1, m2};
        sdesc.size = 8;
        s = var("s", 72, 1);
        s.desc.agg = &sdesc;
        a = var("a", Arr | (3u << 28) | 24, 1, {3, 4});
        str = var("name", Arr | 9, 1, {8});
        big = var("big", Arr | 24, 1, {100000});
        t.put(0x500, {'a', 'b', 'c', 0});
        t.put32(0x600 + 4 * 4 + 4, 42);   // a[1][1]
    }
};

TEST_F(Fixture, ArraysExpandByIndexAndCollapseFreesChildren) {
    VarTree tree(TreeKind::Browser, t.source());
    auto* n = tree.add(a, 0x600);
    EXPECT_EQ(tree.rowcount(n), 1);   // the placeholder
    tree.expand(n);
    ASSERT_EQ(tree.rowcount(n), 3);
    auto* a1 = tree.child(n, 1);
    EXPECT_EQ(a1->var().name, "a[1]");
    tree.expand(a1);
    auto* a11 = tree.child(a1, 1);
    EXPECT_EQ(a11->var().name, "a[1][1]");
    EXPECT_EQ(tree.text(a11), "     at 0x614       static int a[1][1] = 42");
    tree.collapse(n);
    EXPECT_TRUE(n->children.empty());
    EXPECT_EQ(tree.rowcount(n), 1);
}

TEST_F(Fixture, FormatsReachElementsAndStrings) {
    FormatStore formats;
    VarTree tree(TreeKind::Locals, t.source(), &formats);
    auto* n = tree.add(a, 0x600);
    tree.expand(n);
    tree.expand(tree.child(n, 1));
    tree.setformat(n, "0x%hl");
    EXPECT_EQ(tree.text(tree.child(tree.child(n, 1), 1)), "a[1][1] = 0x2a");
    tree.expand(tree.child(n, 2));   // expanded later: inherits
    EXPECT_EQ(tree.text(tree.child(tree.child(n, 2), 0)), "a[2][0] = 0x0");
    // char arrays: no value until "%p", then the string and no children
    auto* sn = tree.add(str, 0x500);
    EXPECT_EQ(tree.text(sn), "name");
    EXPECT_TRUE(tree.expandable(sn));
    tree.setformat(sn, "%p");
    EXPECT_EQ(tree.text(sn), "name = \"abc\"");
    EXPECT_FALSE(tree.expandable(sn));
    // a variable shown again keeps its format
    VarTree again(TreeKind::Locals, t.source(), &formats);
    EXPECT_EQ(again.text(again.add(str, 0x500)), "name = \"abc\"");
}

TEST_F(Fixture, SaveFileSkipsPlaceholders) {
    VarTree tree(TreeKind::Globals, t.source());
    auto* sn = tree.add(s, 0x700);
    tree.add(a, 0x600);
    tree.expand(sn);
    t.put32(0x700, 5);
    EXPECT_EQ(tree.savetext(), "s\n\tx = 5\n\tb = 0\na\n");
}

TEST_F(Fixture, BigArraysFormatOnlyVisibleRows) {
    VarTree tree(TreeKind::Browser, t.source());
    auto* n = tree.add(big, 0x10000);
    tree.expand(n);
    EXPECT_EQ(tree.rowcount(n), 100000);
    uint64_t before = tree.formatted;
    for (int i = 50000; i < 50030; ++i) tree.text(tree.child(n, i));
    EXPECT_EQ(tree.formatted - before, 30u);
    tree.refresh();
    for (int i = 50000; i < 50030; ++i) tree.text(tree.child(n, i));
    EXPECT_EQ(tree.formatted - before, 60u);
    EXPECT_EQ(tree.child(n, 99999)->address, 0x10000u + 4 * 99999);
}

}  // namespace
}  // namespace vek
