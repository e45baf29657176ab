// Statements and blocks around commands, frame navigation, and the copy of
// a braced command body.
#include "fixture.h"
#include "toollib/quit.h"

namespace {

using Statements = ExprFixture;

TEST_F(Statements, WhileLoopRunsItsBlock) {
    EXPECT_EQ(run("x .i=0; while (.i < 3) { x .i; x .i = .i + 1; }"),
              "    .i=0 = 0\n    .i = 0\n    .i = .i + 1 = 1\n    .i = 1\n    .i = .i + 1 = 2\n    .i = 2\n"
              "    .i = .i + 1 = 3\n");
    EXPECT_EQ(run("while (gi < 0) x gi = gi + 2; x 9"),
              "    gi = gi + 2 = -3\n    gi = gi + 2 = -1\n    gi = gi + 2 = 1\n    9 = 9\n");
    EXPECT_EQ(run("while (0) { x 1; } x 2"), "    2 = 2\n");
}

TEST_P(Lines, Print) { EXPECT_EQ(run(GetParam().line), GetParam().output); }

INSTANTIATE_TEST_SUITE_P(
    Statements, Lines,
    ::testing::Values(
        LineCase{"if (0) x 1; else x 2", "    2 = 2\n"},
        LineCase{"if (1) x 1; else x 2", "    1 = 1\n"},
        LineCase{"if (0) x 1; x 3", "    3 = 3\n"},
        LineCase{"if (0.5) x 1", "    1 = 1\n"},
        LineCase{"if (gi == -5) { x 1; x 2; } else { x 3; } x 4", "    1 = 1\n    2 = 2\n    4 = 4\n"},
        LineCase{"if (1) { if (0) x 1; else { x 2; x 3; } } x 4", "    2 = 2\n    3 = 3\n    4 = 4\n"},
        LineCase{"do x 1; while (0);", "    1 = 1\n"},
        LineCase{"do { x .n = .n + 1; } while (.n < 3); x .n", "    .n = .n + 1 = 1\n    .n = .n + 1 = 2\n"
                                                        "    .n = .n + 1 = 3\n    .n = 3\n"},
        LineCase{"IF (1) x 1", "#error: unknown command: IF (1) x 1\n"},
        LineCase{"return; x 1", ""},
        LineCase{"x 1; return; x 2", "    1 = 1\n"},
        LineCase{"{ x 1; { x 2; } x 3; }", "    1 = 1\n    2 = 2\n    3 = 3\n"},
        LineCase{"{ x gi }", "    gi = -5\n#error: missing ';': }\n"},
        LineCase{"x 1 2", "    1 = 1\n#error: missing ';': 2\n#error: unknown command: 2\n"},
        LineCase{"{ x 1;", "    1 = 1\n#error: {}: syntax error\n"},
        LineCase{"if x 1", "#error: if: syntax error\n"},
        LineCase{"if (gi x 1", "#error: if: syntax error\n"},
        LineCase{"if (nosuch) x 1; x 2", "#error: if: syntax error\n"},
        LineCase{"if (1) x 1; else", "    1 = 1\n#error: else: syntax error\n"},
        LineCase{"if (0) x 1; else", "#error: incorrect function\n"},
        LineCase{"while x 1", "#error: while: syntax error\n"},
        LineCase{"do x 1; x 2", "    1 = 1\n#error: do: syntax error\n"},
        LineCase{"do x 1; while x", "    1 = 1\n#error: do while: syntax error\n"},
        LineCase{"do x 1; while (0) x 2", "    1 = 1\n#error: do while: syntax error\n"},
        LineCase{"x 7/0; x 2", "#error: zero divide: 7/0\n    2 = 2\n"},
        LineCase{"nosuch; x 2", "#error: unknown command: nosuch; x 2\n"}));

TEST_F(Statements, LoopsEndAtTheStopRequest) {
    stopafter = 5;
    std::string out = run("while (1) x 1; x 2");
    EXPECT_EQ(out, "    1 = 1\n    1 = 1\n    1 = 1\n    1 = 1\n    1 = 1\n");
    dispatched = 0;
    EXPECT_EQ(run("do x 1; while (1);"), "    1 = 1\n    1 = 1\n    1 = 1\n    1 = 1\n    1 = 1\n");
    dispatched = 0;
    stopafter = 0;   // an element list stops as well, and abandons the line
    EXPECT_EQ(run("x arr[0#100000000]; x 2"), "    arr[0#100000000] = {}\n");
}

TEST_F(Statements, NestingIsBounded) {
    std::string deep;
    for (int k = 0; k < 1000; ++k) deep += "if (1) ";
    EXPECT_EQ(run(deep + "x 1"), "#error: syntax error\n");
    std::string ok;
    for (int k = 0; k < 60; ++k) ok += "if (1) ";
    EXPECT_EQ(run(ok + "x 1"), "    1 = 1\n");
    std::string parens(5000, '(');
    EXPECT_EQ(run("x " + parens + "1"), "#error: syntax error: " + parens + "1\n");
    EXPECT_EQ(run("x " + std::string(5000, '-') + "1"), "#error: syntax error: " + std::string(5000, '-') + "1\n");
}

TEST_F(Statements, ACommandThatEndsTheProgramLeavesNoStateBehind) {
    // Ending the program unwinds through statements and the evaluator.
    vek::exprenv().hooks.showlocation = [] { throw tl::QuitRequest{3}; };
    std::string nested;
    for (int k = 0; k < 60; ++k) nested += "if (1) ";
    for (int k = 0; k < 10; ++k) {
        try {
            run(nested + (k % 2 ? "x $pc = 0x112" : "x $pc = 0x122"));
            FAIL() << "no unwind";
        } catch (const tl::QuitRequest& q) {
            EXPECT_EQ(q.status, 3);
        }
    }
    vek::exprenv().hooks.showlocation = nullptr;
    EXPECT_EQ(run(nested + "x 1"), "    1 = 1\n");
    const char* text = "gi = 1";
    int error = 0;
    vek::ExprPtr v(vek::xexpr(text, error, 0));   // resolving mode still writes nothing
    EXPECT_EQ(error, 61);
}

TEST_F(Statements, SkipStatement) {
    EXPECT_STREQ(vek::skipstatement("x 1; x 2"), " x 2");
    EXPECT_STREQ(vek::skipstatement("  { a; { b; } c; } d"), " d");
    EXPECT_STREQ(vek::skipstatement("x 1"), "");
    EXPECT_STREQ(vek::skipstatement("{ open"), "");
}

TEST_F(Statements, BraceBodies) {
    const char* p = " { a; { b; } c } rest";
    std::string body;
    ASSERT_TRUE(vek::readbracebody(p, body));
    EXPECT_EQ(body, " a; { b; } c ");
    EXPECT_STREQ(p, "rest");
    p = "x 1; x 2";
    ASSERT_TRUE(vek::readbracebody(p, body));
    EXPECT_EQ(body, "x 1");
    EXPECT_STREQ(p, "; x 2");
    p = "{ x 1";
    ASSERT_TRUE(vek::readbracebody(p, body));
    EXPECT_EQ(body, " x 1");
    EXPECT_STREQ(p, "");
    EXPECT_EQ(host.text, "#error: '}' missing, assumed at end of line\n");
    p = "   ";
    EXPECT_FALSE(vek::readbracebody(p, body));
}

TEST_F(Statements, MoveFrame) {
    vek::LocationState ls;
    vek::LocationSpec loc;
    auto move = [&](char letter, const char* where) {
        if (where) vek::parseloc(ls, where, loc);
        vek::moveframe(letter, where ? &loc : nullptr);
        return frames.cur[0];
    };
    EXPECT_EQ(move('u', nullptr), 1);
    EXPECT_EQ(move('u', nullptr), 2);
    EXPECT_EQ(move('u', nullptr), 2);   // the outermost frame stays
    EXPECT_EQ(move('d', nullptr), 1);
    EXPECT_EQ(move('b', nullptr), 0);
    EXPECT_EQ(move('d', nullptr), 0);   // the innermost frame stays
    EXPECT_EQ(move('t', nullptr), 2);
    EXPECT_EQ(move('b', nullptr), 0);
    EXPECT_EQ(move('u', "main()"), 2);
    EXPECT_EQ(move('b', nullptr), 0);
    EXPECT_EQ(move('u', "nosuch()"), 1);   // no match: one frame up
    EXPECT_EQ(move('t', nullptr), 2);
    EXPECT_EQ(move('d', "g()"), 0);
    EXPECT_EQ(move('t', nullptr), 2);
    EXPECT_EQ(move('d', "f()"), 1);
    EXPECT_EQ(move('t', nullptr), 2);
    EXPECT_EQ(move('d', "fx.c:22"), 0);    // g's current line
    EXPECT_EQ(move('t', nullptr), 2);
    EXPECT_EQ(move('d', "f():a"), 1);
    EXPECT_EQ(move('x', nullptr), 1);
    EXPECT_EQ(host.text, "#error: usage: i[udtb] (Up Down Top Bottom)\n");

    std::vector<int> listed;
    vek::exprenv().hooks.listframesrc = [&] { listed.push_back(frames.cur[0]); };
    frames.cur[0] = 0;
    vek::listcallers();
    EXPECT_EQ(listed, (std::vector<int>{1, 2}));
    EXPECT_EQ(frames.cur[0], 0);
}

TEST_F(Statements, FrameMatching) {
    const vek::FunctionRecord* f = vek::findfunc(session->prog.debug, "f", nullptr);
    vek::LocationState ls;
    vek::LocationSpec loc;
    struct Match {
        const char* where;
        bool match;
    };
    for (Match m : {Match{"f()", true}, Match{"g()", false}, Match{"fx.c:12", true}, Match{"fx.c:13", false},
                    Match{"other.c:12", false}, Match{"f():a", true}, Match{"f():zz", false}}) {
        vek::parseloc(ls, m.where, loc);
        EXPECT_EQ(vek::frameisloc(f, 12, loc), m.match) << m.where;
    }
}

}  // namespace
