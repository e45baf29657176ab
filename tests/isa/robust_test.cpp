// Bad and random input never crashes the encoder or the decoder (the test
// build runs under the address and undefined-behaviour sanitizers): every
// mnemonic with random operand lists, every 16-bit value and a fixed sample
// of 32-bit words through each table.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "corpus.h"
#include "toollib/isa/encode.h"
#include "vek/core/decode/decode.h"

namespace {

TEST(Robust, EncoderTakesAnyOperands) {
    std::mt19937 rng(12345);
    const int classes[] = {isa::ClsAltReg, isa::ClsReg, isa::ClsCrField, isa::ClsFpr, isa::ClsPc,
                           isa::ClsAbs, isa::ClsReloc, isa::ClsDisp};
    const int64_t values[] = {0, 1, -1, 31, 32, 255, -32768, 65536, INT64_MAX, INT64_MIN,
                              0x7FFFFFFF, -0x80000001LL, 0xFFFFFFFFLL};
    for (const auto& name : isa::mnemonics()) {
        for (int trial = 0; trial < 12; ++trial) {
            std::vector<isa::Operand> ops(rng() % 7);
            for (auto& o : ops) {
                o.cls = classes[rng() % std::size(classes)];
                o.value = values[rng() % std::size(values)];
                o.base = rng() % 40;
                o.reloc = rng() % 2;
                o.suffix = static_cast<isa::Suffix>(rng() % 5);
                o.section = static_cast<int>(rng() % 3) - 1;
                o.longsection = rng() % 2;
            }
            isa::EncodeContext ctx;
            ctx.address = rng();
            ctx.absolute_section = rng() % 2;
            auto r = isa::encodeinsn(name, rng() % 2, rng() % 2, ops, ctx);
            if (r.insn) {
                EXPECT_TRUE(r.size == 2 || r.size == 4) << name;
                EXPECT_EQ(r.bytes().size(), r.size);
            } else {
                EXPECT_FALSE(r.error.empty()) << name;
            }
        }
    }
}

TEST(Robust, DecoderTakesAnyWord) {
    vek::DecodeEnv env;
    char text[512];
    vek::Decoded d;
    for (uint32_t h = 0; h < 0x10000; ++h) {
        unsigned len = vek::decodevalue(env, 0x1000, true, h << 16 | 0x1234, vek::DecodeText, text, d);
        ASSERT_TRUE(len == 2 || len == 4);
        ASSERT_LT(std::strlen(text), 512u);
    }
    std::mt19937 rng(777);
    for (int i = 0; i < 100000; ++i) {
        uint32_t w = rng();
        for (bool vle : {false, true}) {
            unsigned len = vek::decodevalue(env, w & ~1u, vle, w, vek::DecodeText, text, d);
            ASSERT_TRUE(len == 2 || len == 4);
            ASSERT_LT(std::strlen(text), 512u);
            if (!d.row) {
                EXPECT_EQ(std::strncmp(text, "????", 4), 0);
            }
        }
    }
}

}  // namespace

namespace {

// For every name and the sample operands of each of its rows, the form
// chosen is never longer than another VLE form of the name that also fits
// and that the name may take.
TEST(Choice, FirstFitIsTheShortest) {
    std::map<std::string, std::vector<const isa::Insn*>> rows;
    for (const isa::Insn& in : isa::insns()) {
        if (!(in.flags & isa::FVle)) continue;
        rows[in.name].push_back(&in);
        if (in.also) rows[in.also].push_back(&in);
    }
    int checked = 0;
    for (auto& [name, list] : rows)
        for (const isa::Insn* in : list)
            for (auto& set : corpus::operandsets(*in)) {
                std::vector<isa::Operand> ops;
                for (auto& s : set) ops.push_back(s.second);
                auto chosen = isa::encodeinsn(name, false, false, ops, {});
                if (!chosen.insn) continue;
                for (const isa::Insn* other : list) {
                    auto r = isa::encoderow(*other, false, false, ops, {}, nullptr);
                    if (r.insn && isa::mayencode(*other, name, ops)) {
                        EXPECT_LE(chosen.size, r.size) << name << " chose " << chosen.insn->name;
                    }
                }
                ++checked;
            }
    EXPECT_GT(checked, 1000);
}

}  // namespace
