// The code templates as data: the lists and their sizes, the letters every
// template text may use, and the handler each special row names with the
// argument that handler reads.
#include <cctype>
#include <cstring>
#include <map>

#include "harness.h"

namespace cgtest {
namespace {

// "" when text uses only the template letters, else what is wrong.
std::string checkletters(std::string_view t) {
    int questions = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        char next = i + 1 < t.size() ? t[i + 1] : '\0';
        auto operand = [&] { return next == 'L' || next == 'R'; };
        if (c == '?') {
            if (questions % 3 == 0 && !std::strchr("12567", next)) return "bad condition after '?'";
            if (questions % 3 == 0) ++i;
            ++questions;
            continue;
        }
        if (!std::isupper(static_cast<unsigned char>(c)) && c != '&') {
            if (!std::islower(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c)) &&
                !std::strchr(" ,;().:-", c))
                return std::string("stray character ") + c;
            continue;
        }
        switch (c) {
            case 'D': if (next < '1' || next > '5') return "D without 1-5"; ++i; break;
            case 'F': if (next < '1' || next > '4') return "F without 1-4"; ++i; break;
            case 'N': if (next != '1' && next != '3' && next != '4') return "N without 1, 3 or 4"; ++i; break;
            case 'Z': if (next < '1' || next > '4') return "Z without 1-4"; ++i; break;
            case 'A': case 'C': case '&': case 'G':
                if (!operand()) return std::string(1, c) + " without L or R";
                if (c != 'G') ++i;
                break;
            case 'K': {
                size_t end = i + 1;
                while (end < t.size() && std::islower(static_cast<unsigned char>(t[end]))) ++end;
                if (end == i + 1) return "K without a helper name";
                if (end < t.size() && t[end] != ';' && t[end] != '?') return "K name ends badly";
                i = end - 1;
                break;
            }
            case 'M':
                if (operand()) ++i;
                break;
            case 'E': case 'L': case 'O': case 'R': case 'S': case 'T': case 'U': case 'V': case 'W': case 'X':
                break;
            default: return std::string("letter ") + c + " is no template letter";
        }
    }
    if (questions % 3) return "unclosed conditional";
    return "";
}

std::string rowname(const cg::RowList& list, size_t i) {
    char b[64];
    std::snprintf(b, sizeof b, "%s row %zu", list.name, i);
    return b;
}

TEST(Rows, ListSizes) {
    std::map<std::string, size_t> want = {
        {"multiply", 8}, {"divide", 25},  {"remainder", 24}, {"add", 9},         {"subtract", 9},
        {"shift left", 6}, {"shift right", 12}, {"and", 25}, {"xor", 11},        {"or", 12},
        {"complement", 6}, {"negate", 5}, {"compare", 28},  {"copy", 1},         {"assign", 76},
    };
    std::map<std::string, size_t> have;
    for (const cg::RowList& l : cg::rowlists()) have[l.name] = l.rows.size();
    EXPECT_EQ(have, want);
    EXPECT_EQ(cg::optable().size(), 29u);
}

TEST(Rows, TextsUseOnlyTemplateLetters) {
    for (const cg::RowList& list : cg::rowlists()) {
        for (size_t i = 0; i < list.rows.size(); ++i) {
            const cg::Row& r = list.rows[i];
            if (r.text) { EXPECT_EQ(checkletters(r.text), "") << rowname(list, i) << ": " << r.text; }
            if (r.special() && r.arg) { EXPECT_EQ(checkletters(r.arg), "") << rowname(list, i) << ": " << r.arg; }
        }
    }
    for (const cg::Row* r : {&cg::kRowAddrArith, &cg::kRowRotate, &cg::kRowIncStep, &cg::kRowDecStep,
                             &cg::kRowStoreBack})
        EXPECT_EQ(checkletters(r->text), "") << r->text;
    // the checker itself
    EXPECT_NE(checkletters("Q L,R"), "");
    EXPECT_NE(checkletters("D7 L,R"), "");
    EXPECT_NE(checkletters("?9a?b?"), "");
    EXPECT_NE(checkletters("?6a?b"), "");
}

TEST(Rows, SpecialRowsNameAHandlerWithItsArgument) {
    for (const cg::RowList& list : cg::rowlists()) {
        for (size_t i = 0; i < list.rows.size(); ++i) {
            const cg::Row& r = list.rows[i];
            std::string where = rowname(list, i);
            if (!r.special()) {
                EXPECT_NE(r.text, nullptr) << where;
                EXPECT_EQ(r.handler, 0) << where;
                continue;
            }
            EXPECT_EQ(r.text, nullptr) << where;
            if (r.skip()) {
                EXPECT_GE(r.skipcount(), 1) << where;
                EXPECT_LT(i + static_cast<size_t>(r.skipcount()), list.rows.size()) << where;
                continue;
            }
            ASSERT_GE(r.handler, 1) << where;
            ASSERT_LE(r.handler, 9) << where;
            switch (r.handler) {
                case 7:
                case 9:
                    // a text: the helper call, or the start of the xor or or
                    ASSERT_NE(r.arg, nullptr) << where;
                    if (r.handler == 7) { EXPECT_NE(std::string(r.arg).find('K'), std::string::npos) << where; }
                    if (r.handler == 9) { EXPECT_TRUE(r.arg == std::string("N4i L,") || r.arg == std::string("N3i L,")) << where; }
                    break;
                case 6: EXPECT_TRUE(r.num >= 0 && r.num <= 4) << where; EXPECT_EQ(r.arg, nullptr) << where; break;
                case 8: EXPECT_TRUE(r.num == 0 || r.num == 1) << where; EXPECT_EQ(r.arg, nullptr) << where; break;
                default: EXPECT_EQ(r.num, 0) << where; EXPECT_EQ(r.arg, nullptr) << where;
            }
            // a test row sets the condition and leaves the value alone
            if ((r.handler == 6 || r.handler == 8) && r.num == 1) { EXPECT_EQ(r.flags & 0x44, 0x44) << where; }
        }
    }
}

TEST(Rows, OperatorsShareTheirBaseOperatorsList) {
    struct Pair { int op, base; };
    for (Pair p : std::vector<Pair>{{145, 226}, {135, 133}, {140, 153}, {142, 222}, {139, 216}, {114, 108},
                                    {115, 67}, {137, 151}, {138, 160}, {134, 193}, {146, 163}, {141, 156},
                                    {170, 222}, {167, 216}}) {
        ASSERT_NE(cg::oplookup(p.op), nullptr) << p.op;
        EXPECT_EQ(cg::oplookup(p.op)->list, cg::oplookup(p.base)->list) << p.op;
    }
    EXPECT_EQ(cg::oplookup(105), nullptr);
}

}  // namespace
}  // namespace cgtest
