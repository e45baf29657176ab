// Checks of the encoding table itself: fields and fixed bits are disjoint,
// decode rows overlap only where a more specific row is meant to win (or in
// the listed same-encoding pairs), and every row round-trips
// encode -> decode -> print -> encode.
#include <gtest/gtest.h>

#include <bit>
#include <set>

#include "corpus.h"
#include "toollib/isa/isa.h"
#include "vek/core/decode/decode.h"

namespace {

TEST(Table, FieldsAndFixedBitsAreDisjoint) {
    for (const isa::Insn& in : isa::insns()) {
        uint32_t seen = 0;
        for (isa::Opd k : in.ops) {
            uint32_t m = isa::opdinfo(k).mask;
            EXPECT_EQ(seen & m, 0u) << in.name << ": operand " << isa::opdinfo(k).name << " overlaps";
            seen |= m;
        }
        EXPECT_EQ(in.opcode & seen, 0u) << in.name << ": opcode bits inside an operand field";
        uint32_t size = in.size() == 2 ? 0xFFFFu : 0xFFFFFFFFu;
        EXPECT_EQ(in.opcode & ~size, 0u) << in.name;
        if (in.flags & isa::FRc) {
            EXPECT_NE(isa::formrcbit(in.form), 0u) << in.name;
        }
        if (in.flags & isa::FOe) {
            EXPECT_NE(isa::formoebit(in.form), 0u) << in.name;
        }
    }
}

// Pairs with the same mask and match: the first name is the one shown.
const std::set<std::pair<std::string, std::string>> kSameEncoding = {
    {"bge", "bnl"}, {"ble", "bng"}, {"bns", "bnu"}, {"bso", "bun"},
    {"bgel", "bnll"}, {"blel", "bngl"}, {"bnsl", "bnul"}, {"bsol", "bunl"},
    {"bgea", "bnla"}, {"blea", "bnga"}, {"bnsa", "bnua"}, {"bsoa", "buna"},
    {"bgela", "bnlla"}, {"blela", "bngla"}, {"bnsla", "bnula"}, {"bsola", "bunla"},
    {"bgelr", "bnllr"}, {"blelr", "bnglr"}, {"bnslr", "bnulr"}, {"bsolr", "bunlr"},
    {"bgelrl", "bnllrl"}, {"blelrl", "bnglrl"}, {"bnslrl", "bnulrl"}, {"bsolrl", "bunlrl"},
    {"bgectr", "bnlctr"}, {"blectr", "bngctr"}, {"bnsctr", "bnuctr"}, {"bsoctr", "bunctr"},
    {"bgectrl", "bnlctrl"}, {"blectrl", "bngctrl"}, {"bnsctrl", "bnuctrl"}, {"bsoctrl", "bunctrl"},
    {"twle", "twng"}, {"twge", "twnl"}, {"twlle", "twlng"}, {"twlge", "twlnl"},
    {"twlei", "twngi"}, {"twgei", "twnli"}, {"twllei", "twlngi"}, {"twlgei", "twlnli"},
};

void checkoverlaps(const std::array<std::vector<vek::DecodeRow>, 16>& table) {
    const auto& names = vek::decodetables().mnemonics;
    for (const auto& bucket : table)
        for (size_t i = 0; i < bucket.size(); ++i)
            for (size_t j = i + 1; j < bucket.size(); ++j) {
                const auto& a = bucket[i];
                const auto& b = bucket[j];
                uint32_t both = a.mask & b.mask;
                if ((a.match & both) != (b.match & both)) continue;  // disjoint
                bool special = (a.mask & b.mask) == b.mask && a.mask != b.mask;
                bool listed = a.mask == b.mask && a.match == b.match &&
                              kSameEncoding.count({names[a.type], names[b.type]});
                EXPECT_TRUE(special || listed)
                    << names[a.type] << " and " << names[b.type] << " overlap";
            }
}

TEST(Table, DecodeRowsOverlapOnlyWhereListed) {
    const auto& t = vek::decodetables();
    checkoverlaps(t.classic);
    checkoverlaps(t.vle16);
    checkoverlaps(t.vle32);
}

// A word built from a row decodes to that row or to a more specific one that
// also matches it, prints without "????", and the decoded fields rebuild the
// same word.
void roundtrip(const std::array<std::vector<vek::DecodeRow>, 16>& table, bool vle) {
    vek::DecodeEnv env;
    for (const auto& bucket : table)
        for (const auto& row : bucket) {
            uint32_t extra = row.match & ~row.insn->opcode & row.mask;
            for (uint32_t w : corpus::words(*row.insn, extra)) {
                unsigned len = row.insn->size();
                char text[512];
                vek::Decoded d;
                EXPECT_EQ(vek::decodevalue(env, 0x1000, vle, len == 2 ? w << 16 : w,
                                           vek::DecodeText, text, d), len);
                ASSERT_NE(d.row, nullptr) << row.insn->name << " " << std::hex << w;
                EXPECT_EQ(w & d.row->mask, d.row->match);
                EXPECT_EQ(std::string(text).find("????"), std::string::npos) << text;
                const isa::Insn& in = *d.row->insn;
                uint32_t again = d.row->match;
                for (isa::Opd k : in.ops) {
                    if (isa::opdinfo(k).cls == isa::OpdClass::Disp)
                        again |= isa::dispinsert(k, isa::dispextract(k, w), isa::baseextract(k, w));
                    else
                        again |= isa::opdinsert(k, isa::opdextract(k, w));
                }
                EXPECT_EQ(again, w) << row.insn->name << " decoded as " << text;
            }
        }
}

TEST(Table, EveryRowRoundTrips) {
    const auto& t = vek::decodetables();
    roundtrip(t.classic, false);
    roundtrip(t.vle16, true);
    roundtrip(t.vle32, true);
}

TEST(Table, EveryAssemblerSpellingHasAVleOrBookERow) {
    for (const auto& name : isa::mnemonics()) EXPECT_FALSE(name.empty());
    EXPECT_GT(isa::mnemonics().size(), 600u);
}

}  // namespace
