// The token stream: keywords, identifiers, constants, adjacent strings,
// push-back and the end of input.
#include "harness.h"
#include "parser/tokencodes.h"

namespace cpppctest {
namespace {

using cpppc::Parser;
using cpppc::Token;

struct StreamFixture {
    Scratch& s;
    Parser P;
    StreamFixture(Scratch& scratch, const std::string& source, bool c99 = false) : s(scratch) {
        s.write("t.c", source);
        P.opt.c99 = c99;
        P.srcname = "t.c";
        P.err = std::tmpfile();
        P.errisfile = true;
        EXPECT_TRUE(cpppc::openinput(P, "t.c", false));
    }
    std::vector<uint16_t> codes() {
        std::vector<uint16_t> v;
        for (Token* t = cpppc::nexttoken(P); t->code != cpppc::tok::End; t = cpppc::nexttoken(P)) v.push_back(t->code);
        return v;
    }
};

TEST(TokenStream, Codes) {
    Scratch s;
    StreamFixture f(s, "int inline _Bool unsigned2 continue x->y <<= ... 1u 2.0f 'c' @ \\# \n");
    EXPECT_EQ(f.codes(), (std::vector<uint16_t>{144, 18, 18, 18, 133, 18, 8, 18, 86, 7, 161, 166, 160, 5, 52}));
    Scratch s2;
    StreamFixture g(s2, "inline\n", true);
    EXPECT_EQ(g.codes(), (std::vector<uint16_t>{93}));
}

TEST(TokenStream, AdjacentStringsJoinAcrossLines) {
    Scratch s;
    StreamFixture f(s, "x \"ab\"\n\"cd\" ;\n");
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 18);
    Token* t = cpppc::nexttoken(f.P);
    ASSERT_EQ(t->code, cpppc::tok::String);
    EXPECT_EQ(std::string(t->lit->bytes.begin(), t->lit->bytes.end()), "abcd");
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, cpppc::tok::Semi);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(cpppc::nexttoken(f.P)->code, cpppc::tok::End);

    // A literal joined with itself leaves no entry of its own in the pool.
    Scratch s3;
    StreamFixture h(s3, "\"ab\" \"ab\";\n");
    t = cpppc::nexttoken(h.P);
    ASSERT_EQ(t->code, cpppc::tok::String);
    int entries = 0;
    for (cpppc::Literal* l = h.P.names.pool; l; l = l->link) ++entries;
    EXPECT_EQ(entries, 1);

    // A literal in a macro's text is converted anew at every use.
    Scratch s2;
    StreamFixture g(s2, "#define S \"a\\x41\"\nS;\nS\n");
    for (int i = 0; i < 2; ++i) {
        t = cpppc::nexttoken(g.P);
        ASSERT_EQ(t->code, cpppc::tok::String);
        EXPECT_EQ(std::string(t->lit->bytes.begin(), t->lit->bytes.end()), "aA");
        cpppc::nexttoken(g.P);
    }
}

TEST(TokenStream, PushBackThreeThenOverflow) {
    Scratch s;
    StreamFixture f(s, "a ; 1 , b\n");
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 18);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 3);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 160);
    cpppc::pushtoken(f.P);
    cpppc::pushtoken(f.P);
    cpppc::pushtoken(f.P);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 18);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 3);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 160);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 1);
    cpppc::pushtoken(f.P);
    cpppc::pushtoken(f.P);
    cpppc::pushtoken(f.P);
    int status = tl::runmain([&] {
        cpppc::pushtoken(f.P);
        return 0;
    });
    EXPECT_EQ(status, 1);
}

TEST(TokenStream, ExpectRecovers) {
    Scratch s;
    StreamFixture f(s, "a b c ; d } e\n");
    f.P.ts.s.target = 255;
    cpppc::expecttoken(f.P, cpppc::tok::Semi);
    EXPECT_EQ(cpppc::nexttoken(f.P)->code, 18);  // d: skipped to the ';'
    EXPECT_EQ(f.P.ts.s.target, 0);
    EXPECT_EQ(f.P.errors, 1u);
}

TEST(TokenStream, BadCharacterIsSkipped) {
    Scratch s;
    StreamFixture f(s, "a $ b\n");
    EXPECT_EQ(f.codes(), (std::vector<uint16_t>{18, 18}));
    EXPECT_EQ(f.P.errors, 1u);
}

TEST(TokenStream, ContinuedLinePositions) {
    Scratch s;
    StreamFixture f(s, "a \\\n  b \\\n    c\n");
    Token* t = cpppc::nexttoken(f.P);
    EXPECT_EQ(t->line, 1u);
    t = cpppc::nexttoken(f.P);
    EXPECT_EQ(t->line, 2u);
    EXPECT_EQ(t->column, 2);
    t = cpppc::nexttoken(f.P);
    EXPECT_EQ(t->line, 3u);
    EXPECT_EQ(t->column, 4);
}

}  // namespace
}  // namespace cpppctest
