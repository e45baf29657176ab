// Diagnostics: warning levels, -ck, the two line formats and the
// suppression of repeats at one position.
#include <cstdlib>

#include "harness.h"
#include "parser/tokencodes.h"

namespace cpppctest {
namespace {

using cpppc::Parser;

struct DiagFixture {
    Parser P;
    char* buf = nullptr;
    size_t size = 0;
    explicit DiagFixture(int level, bool ge = false) {
        tl::resettoolcontext();
        tl::initprogname("cpppc");
        P.opt.warnlevel = level;
        P.opt.ge = ge;
        P.err = open_memstream(&buf, &size);
        P.errisfile = true;
        P.srcname = "prog.c";
        P.src.anyopened = true;
        P.src.files.emplace_back();
        P.src.files.back().name = "prog.c";
        P.src.files.back().line = 7;
        P.src.last = &P.src.files.back();
    }
    ~DiagFixture() {
        std::fclose(P.err);
        P.err = nullptr;
        std::free(buf);
    }
    // Makes the token stream's position a token at line, column, width.
    void at(uint32_t line, uint16_t column, uint32_t width) {
        P.ts.s.ring[0].code = cpppc::tok::Name;
        P.ts.s.ring[0].line = line;
        P.ts.s.ring[0].column = column;
        P.ts.s.ring[0].length = width;
        P.ts.s.pos = 0;
    }
    std::string text() {
        std::fflush(P.err);
        return std::string(buf, size);
    }
};

struct LevelCase {
    int level;
    const char* message;
    std::string expected;
    uint32_t errors;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.level << " " << c.message; }

class WarningLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(WarningLevels, ShownOrDropped) {
    const LevelCase& c = GetParam();
    DiagFixture f(c.level);
    f.at(30, 8, 1);
    cpppc::putdiag(f.P, c.message, 0);  // the message is the format
    EXPECT_EQ(f.text(), c.expected);
    EXPECT_EQ(f.P.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WarningLevels,
    testing::Values(LevelCase{0, "W7never", "", 0}, LevelCase{3, "W2dropped", "", 0},
                    LevelCase{3, "W3shown", "#warning cpppc prog.c:30(8) shown\n", 0},
                    LevelCase{7, "W7shown", "#warning cpppc prog.c:30(8) shown\n", 0}, LevelCase{7, "W6dropped", "", 0},
                    LevelCase{-1, "W2missing prototype", "#error cpppc prog.c:30(8) missing prototype\n", 1},
                    LevelCase{0, "an error", "#error cpppc prog.c:30(8) an error\n", 1}));

TEST(Diagnostics, Formats) {
    DiagFixture f(1);
    f.at(12, 4, 5);
    cpppc::putdiag(f.P, "first %s", "x");
    f.at(30, 8, 1);
    cpppc::putdiag(f.P, "W5second");
    f.P.ts.s.pos = -1;
    cpppc::putdiag(f.P, "third %.*s", 2, "abc");
    EXPECT_EQ(f.text(),
              "#error cpppc prog.c:12(4+5) first x\n#warning cpppc prog.c:30(8) second\n#error cpppc prog.c:7 third ab\n");

    DiagFixture g(1, true);
    g.at(12, 4, 5);
    cpppc::putdiag(g.P, "first");
    g.at(30, 8, 1);
    cpppc::putdiag(g.P, "W5second");
    g.P.ts.s.pos = -1;
    cpppc::putdiag(g.P, "third");
    EXPECT_EQ(g.text(), "prog.c:12:5: first\nprog.c:30:9: warning: second\nprog.c:7:1: third\n");
}

TEST(Diagnostics, RepeatsAtOnePositionAfterAnError) {
    DiagFixture f(7);
    f.at(3, 2, 1);
    cpppc::putdiag(f.P, "W7before any error");
    cpppc::putdiag(f.P, "W7again");
    cpppc::putdiag(f.P, "one");
    cpppc::putdiag(f.P, "two");
    cpppc::putdiag(f.P, "W7warning too");
    f.at(3, 3, 1);
    cpppc::putdiag(f.P, "next column");
    EXPECT_EQ(f.text(),
              "#warning cpppc prog.c:3(2) before any error\n#warning cpppc prog.c:3(2) again\n"
              "#error cpppc prog.c:3(2) one\n#error cpppc prog.c:3(3) next column\n");
    EXPECT_EQ(f.P.errors, 2u);
}

}  // namespace
}  // namespace cpppctest
