// Differential tests against the cross assembler and disassembler: every row
// of the table with boundary operands, one assembler run and one
// disassembler run per test.
#include <gtest/gtest.h>

#include <set>

#include "corpus.h"
#include "oracle.h"
#include "vek/core/decode/decode.h"

namespace {

bool asmspelling(const isa::Insn& in) {
    // rows written with a name the outside assembler knows in VLE code
    std::string_view n = in.name;
    if (!(in.flags & isa::FVle)) return false;
    if (n == "wait") return false;  // unknown to the oracle
    if (n.starts_with("se_") || n.starts_with("e_")) return true;
    return !(in.dis && !*in.dis) && (in.flags & isa::FBookE);
}

std::string hex(uint32_t bits, unsigned size) {
    char b[16];
    std::snprintf(b, sizeof b, size == 2 ? "%04x" : "%08x", bits);
    return b;
}

void compare(const std::vector<corpus::Line>& lines, bool vle) {
    // the oracle's spelling of the same line
    auto spelled = [](const std::string& text) {
        size_t sp = text.find(' ');
        return oracle::theirname(text.substr(0, sp)) + (sp == std::string::npos ? "" : text.substr(sp));
    };
    std::vector<std::string> text;
    for (const auto& l : lines) text.push_back(spelled(l.text));
    auto first = oracle::assemble(text, vle);
    // lines the oracle rejects must be the lines we reject
    std::vector<std::string> accepted;
    std::vector<const corpus::Line*> kept;
    int differences = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool theirs = first.errors.count(static_cast<int>(i + 1)) == 0;
        bool ours = lines[i].error.empty();
        if (theirs != ours) {
            ++differences;
            ADD_FAILURE() << lines[i].text << ": ours " << (ours ? "ok" : lines[i].error)
                          << ", oracle " << (theirs ? "ok" : first.errors[static_cast<int>(i + 1)]);
        }
        if (theirs && ours) {
            accepted.push_back(text[i]);
            kept.push_back(&lines[i]);
        } else {
            // keep the layout: a placeholder of the same size
            accepted.push_back(".space 4");
            kept.push_back(nullptr);
        }
    }
    auto second = oracle::assemble(accepted, vle);
    ASSERT_TRUE(second.errors.empty()) << second.errors.begin()->second;
    size_t at = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        const corpus::Line* l = kept[i];
        unsigned size = l ? l->size : 4;
        ASSERT_LE(at + size, second.bytes.size()) << "oracle output too short at " << (l ? l->text : "");
        uint32_t theirs = 0;
        for (unsigned b = 0; b < size; ++b) theirs = theirs << 8 | second.bytes[at + b];
        if (l && theirs != l->bits) {
            ++differences;
            ADD_FAILURE() << l->text << ": ours " << hex(l->bits, size) << ", oracle " << hex(theirs, size);
        }
        at += size;
    }
    EXPECT_EQ(differences, 0);
}

TEST(Differential, VleEncodingsMatchTheOracle) {
    if (!oracle::available()) GTEST_SKIP() << "cross assembler not installed";
    compare(corpus::build(+[](const isa::Insn& in) { return asmspelling(in); }), true);
}

}  // namespace
