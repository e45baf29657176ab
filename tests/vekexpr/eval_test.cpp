// The eval command over constants, registers, debugger variables and the
// fixture's globals: operators, letters, failures and their messages.
#include "fixture.h"

namespace {

using Eval = ExprFixture;

TEST_F(Eval, ConstantsAndOperators) {
    EXPECT_EQ(run("x 1+2*3, 8/2/2, 010, 0x1fL, 'ab', -8>>1, 1<<33, 1.5&&0"),
              "    1+2*3 = 7\n    8/2/2 = 2\n    010 = 8\n    0x1fL = 31\n    'ab' = 24930\n"
              "    -8>>1 = -4\n    1<<33 = 2\n    1.5&&0 = 0\n");
    EXPECT_EQ(run("x   1 + 2  , 0xFFFFFFFF, 1e3, 1.5 * 2"), "    1 + 2 = 3\n    0xFFFFFFFF = -1\n    1e3 = 1000.0\n"
                                                           "    1.5 * 2 = 3.0\n");
}

// Each failure prints the message and the expression and ends the list.
INSTANTIATE_TEST_SUITE_P(
    Failures, Lines,
    ::testing::Values(LineCase{"x 7/0, 1", "#error: zero divide: 7/0, 1\n"},
                      LineCase{"x 1, 7.0/0", "    1 = 1\n#error: zero divide: 7.0/0\n"},
                      LineCase{"x 7 % 2.0", "#error: illegal operator: 7 % 2.0\n"},
                      LineCase{"x (const int)gi", "#error: syntax error: (const int)gi\n"},
                      LineCase{"x gi = u = l", "#error: expression not updatable: gi = u = l\n"},
                      LineCase{"x $foo", "#error: variable can't be accessed: $foo\n"},
                      LineCase{"x pt.q", "#error: unkown field: pt.q\n"},
                      LineCase{"x gi.x", "#error: illegal type: gi.x\n"},
                      LineCase{"x 'ab", "#error: syntax error: 'ab\n"},
                      LineCase{"x sizeof gi", "#error: syntax error: sizeof gi\n"},
                      LineCase{"x p[#]", "#error: illegal type: p[#]\n"},
                      LineCase{"x p - cp", "#error: illegal type: p - cp\n"},
                      LineCase{"x p = 5", "#error: illegal type: p = 5\n"},
                      LineCase{"x p + p", "#error: illegal type: p + p\n"},
                      LineCase{"x vp + 1", "#error: illegal type: vp + 1\n"},
                      LineCase{"x vp - vp", "#error: illegal type: vp - vp\n"},
                      LineCase{"x ll + 1", "#error: illegal type: ll + 1\n"},
                      LineCase{"x &$r3", "#error: not an addressable variable: &$r3\n"},
                      LineCase{"x *main", "#error: illegal type: *main\n"},
                      LineCase{"x RED = 1", "#error: expression not updatable: RED = 1\n"},
                      LineCase{"x nosuch", "#error: variable can't be accessed: nosuch\n"},
                      LineCase{"x .", "#error: incorrect variable: .\n"},
                      LineCase{"x &.v", "#error: not an addressable variable: &.v\n"},
                      LineCase{"x ./fx.c:gi", "#error: ./fx.c: file not found\n"
                                              "#error: incorrect variable: ./fx.c:gi\n"},
                      LineCase{"x /K 1", "#error: Unknown Option K 1\n"}));

TEST_F(Eval, NamesOverTheBufferAreIncorrectVariables) {
    std::string name(200, 'n');
    EXPECT_EQ(run("x " + name), "#error: incorrect variable: " + name + "\n");
    EXPECT_EQ(run("x ." + name), "#error: incorrect variable: ." + name + "\n");
}

TEST_F(Eval, ExpressionExport) {
    int isfloat = -1;
    uint32_t integer = 0;
    double real = 0;
    EXPECT_EQ(vek::Expression(1, "1+2 x", &isfloat, &integer, &real), 58);
    EXPECT_EQ(vek::Expression(1, "gi * 2 ", &isfloat, &integer, &real), 0);
    EXPECT_EQ(isfloat, 0);
    EXPECT_EQ(int32_t(integer), -10);
    EXPECT_EQ(vek::Expression(1, "d / 3", &isfloat, &integer, &real), 0);
    EXPECT_EQ(isfloat, 1);
    EXPECT_DOUBLE_EQ(real, 500.0);
    EXPECT_EQ(vek::Expression(1, "7/0", &isfloat, &integer, &real), 12);
}

TEST_F(Eval, RegistersCountersAndDotVariables) {
    EXPECT_EQ(run("x $r3 = 0x10; x /x $r3"), "    $r3 = 0x10 = 16\n    $r3 = 0x00000010\n");
    EXPECT_EQ(session->target.regs.getreg(vek::RegR0 + 3), 0x10u);
    EXPECT_EQ(run("x .v = 5; x .v, .v * 2"), "    .v = 5 = 5\n    .v = 5\n    .v * 2 = 10\n");
    EXPECT_EQ(run("x .w"), "    .w = 0\n");

    uint32_t start = 0;
    vek::exprenv().hooks.settimestart = [&](uint32_t v) { start = v; };
    EXPECT_EQ(run("x $time = 1234; x $time"), "    $time = 1234 = 1234\n    $time = 1234\n");
    EXPECT_EQ(start, 1234u);
    EXPECT_EQ(session->cycles(), 1234u);
}

TEST_F(Eval, ProgramCounterAssignmentFollowsThePosition) {
    const vek::LineRecord* stmt = nullptr;
    bool atline = false;
    int shown = 0, updates = 0;
    static int* counter;
    counter = &updates;
    vek::RegisterUpdateFunction([](int32_t what) { *counter += what; });
    vek::exprenv().hooks.trackposition = [&](const vek::LineRecord* s, bool at) {
        stmt = s;
        atline = at;
    };
    vek::exprenv().hooks.showlocation = [&] { ++shown; };
    EXPECT_EQ(run("x $pc = 0x112"), "    $pc = 0x112 = 274\n");
    EXPECT_EQ(session->target.regs.getpc(), 0x112u);
    ASSERT_TRUE(stmt);
    EXPECT_EQ(stmt->line, 12);
    EXPECT_TRUE(atline);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(updates, 1);
    run("x $r4 = 1");   // pc unchanged: no new position
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(updates, 2);
}

// Every base type of the fixture with each display letter.
struct Shown {
    const char* expr;
    const char* letter;
    const char* value;
};

class Letters : public ExprFixture, public ::testing::WithParamInterface<Shown> {};

TEST_P(Letters, PrintTheValue) {
    const Shown& s = GetParam();
    std::string opt = *s.letter ? std::string("/") + s.letter + " " : "";
    EXPECT_EQ(run("x " + opt + s.expr), std::string("    ") + s.expr + " = " + s.value + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eval, Letters,
    ::testing::Values(
        Shown{"c", "", "-1"}, Shown{"c", "x", "0xff"}, Shown{"c", "h", "ff"}, Shown{"c", "u", "255"},
        Shown{"c", "d", "-1"}, Shown{"c", "o", "0377"}, Shown{"c", "b", "0b11111111"},
        Shown{"sc", "", "-128"}, Shown{"uc", "", "200"}, Shown{"uc", "C", "'\310'"},
        Shown{"s", "", "-2"}, Shown{"s", "x", "0xfffe"}, Shown{"us", "", "65535"},
        Shown{"us", "d", "65535"}, Shown{"gi", "", "-5"}, Shown{"gi", "x", "0xfffffffb"},
        Shown{"gi", "u", "4294967291"}, Shown{"u", "", "4294967295"}, Shown{"l", "", "100000"},
        Shown{"ul", "", "3000000000"}, Shown{"ul", "d", "-1294967296"},
        Shown{"fl", "", "0.1000000014"}, Shown{"d", "", "1500.0"}, Shown{"ld", "", "0.0015"},
        Shown{"b", "", "1"}, Shown{"sf", "", "0.50000"}, Shown{"lf", "", "0.250000000"},
        Shown{"ll", "", "81985529216486895"}, Shown{"ll", "x", "0x0123456789abcdef"},
        Shown{"ll", "h", "0123456789abcdef"}, Shown{"ull", "", "18446744073709551615"},
        Shown{"ull", "d", "-1"}, Shown{"e", "", "BLUE"}, Shown{"e2", "", "9 (unknown enum value)"},
        Shown{"RED", "", "RED"}, Shown{"bf", "", "7"}, Shown{"p", "", "0x40000058"},
        Shown{"vp", "x", "0x40000058"}, Shown{"cp", "S", "\"ab\\n\""}, Shown{"cp", "s", "\"ab\\n\""},
        Shown{"*cp", "C", "'a'"}, Shown{"cp[2]", "C", "'\\n'"},
        Shown{"pp->y", "", "2"}, Shown{"(*pp).x", "", "1"}, Shown{"pt.y * 10", "", "20"},
        Shown{"main", "", "(main)"}, Shown{"g", "x", "0x00000120"}, Shown{"marker", "", "16962"},
        Shown{"counter", "", "305419896"}, Shown{"$r3", "", "0x21"}, Shown{"grid[1][2]", "", "50"},
        Shown{"sizeof(grid[1])", "", "12"}));

TEST_F(Eval, AggregatesPrintInline) {
    EXPECT_EQ(run("x pt"), "{x=1, y=2}\n");
    EXPECT_EQ(run("x /x *pp"), "{x=0x00000001, y=0x00000002}\n");
    EXPECT_EQ(run("x arr"), "@0x40000058\n");
    EXPECT_EQ(run("x /S msg"), "\"hello\"\n");
}

TEST_F(Eval, ElementsAndPointerArithmetic) {
    EXPECT_EQ(run("x arr[2#3], arr[#], &arr[1], p + 1, q - p, p - q, arr + 1 == &arr[1], *(p + 4)"),
              "    arr[2#3] = {3, 4, 5}\n    arr[#] = {1, 2, 3, 4, 5}\n    &arr[1] = 0x4000005c\n"
              "    p + 1 = 0x4000005c\n    q - p = 2\n    p - q = -2\n    arr + 1 == &arr[1] = 1\n"
              "    *(p + 4) = 5\n");
    EXPECT_EQ(run("x /x arr[0#2], p[1], 1 + p"), "    arr[0#2] = {0x00000001, 0x00000002}\n"
                                                 "    p[1] = 0x00000002\n    1 + p = 0x4000005c\n");
    EXPECT_EQ(run("x (char)257, (char)-1, (signed char)-1, (short)70000, (unsigned short)-1, (float)0.1"),
              "    (char)257 = 1\n    (char)-1 = 255\n    (signed char)-1 = -1\n    (short)70000 = 4464\n"
              "    (unsigned short)-1 = 65535\n    (float)0.1 = 0.1000000014\n");
    EXPECT_EQ(run("x sizeof(long*), sizeof(struct pt), sizeof(char), sizeof(arr), sizeof(BYTE), sizeof(long double)"),
              "    sizeof(long*) = 4\n    sizeof(struct pt) = 8\n    sizeof(char) = 1\n    sizeof(arr) = 20\n"
              "    sizeof(BYTE) = 1\n    sizeof(long double) = 8\n");
    EXPECT_EQ(run("x ((struct pt *)p)->y, (BYTE)300, *(int *)0x40000060, (int)3.99, (int)-3.99, (unsigned)-1.0"),
              "    ((struct pt *)p)->y = 2\n    (BYTE)300 = 44\n    *(int *)0x40000060 = 3\n"
              "    (int)3.99 = 3\n    (int)-3.99 = -3\n    (unsigned)-1.0 = 0\n");
}

TEST_F(Eval, ArithmeticIsCOnThirtyTwoBits) {
    EXPECT_EQ(run("x (unsigned)0xFFFFFFFF / 2, (int)0x80000000 / -1, (int)0x80000000 % -1, u > 1, u / 2"),
              "    (unsigned)0xFFFFFFFF / 2 = 2147483647\n    (int)0x80000000 / -1 = -2147483648\n"
              "    (int)0x80000000 % -1 = 0\n    u > 1 = 1\n    u / 2 = 2147483647\n");
    EXPECT_EQ(run("x c < 4, uc + 1, us * 2, u + 0.5, -u, ~uc, 3 - u"),
              "    c < 4 = 1\n    uc + 1 = 201\n    us * 2 = 131070\n    u + 0.5 = 4.294967295e+09\n"
              "    -u = 1\n    ~uc = -201\n    3 - u = 4\n");
    EXPECT_EQ(run("x u >> 28, gi >> 1, u << 31, 1 << 31, !gi, !0, 2.5 > 2, 2.5 == 2.5"),
              "    u >> 28 = 15\n    gi >> 1 = -3\n    u << 31 = 2147483648\n    1 << 31 = -2147483648\n"
              "    !gi = 0\n    !0 = 1\n    2.5 > 2 = 1\n    2.5 == 2.5 = 1\n");
    EXPECT_EQ(run("x -BLUE, ~e, +e, -bf, !BLUE"),
              "    -BLUE = -2\n    ~e = -3\n    +e = 2\n    -bf = -7\n    !BLUE = 0\n");
}

TEST_F(Eval, AssignmentWritesTheObjectsOwnType) {
    EXPECT_EQ(run("x gi = 3.7; x gi"), "    gi = 3.7 = 3\n    gi = 3\n");
    EXPECT_EQ(get(fx::GI), 3u);
    EXPECT_EQ(run("x uc = 300.0, c = -1e10, u = -2.0"),
              "    uc = 300.0 = 255\n    c = -1e10 = -128\n    u = -2.0 = 0\n");
    EXPECT_EQ(run("x d = 2, fl = d / 3, s = 70000"), "    d = 2 = 2.0\n    fl = d / 3 = 0.6666666865\n"
                                                    "    s = 70000 = 4464\n");
    EXPECT_EQ(get(fx::D), 0x40000000u);
    EXPECT_EQ(get(fx::F), 0x3F2AAAABu);
    EXPECT_EQ(session->target.mem.getword(fx::S), 4464);
    EXPECT_EQ(run("x bf = 0; x bf"), "    bf = 0 = 0\n    bf = 0\n");
    EXPECT_EQ(session->target.mem.getbyte(fx::BF), 0x80);
    EXPECT_EQ(run("x bf = 5; x bf"), "    bf = 5 = 5\n    bf = 5\n");
    EXPECT_EQ(session->target.mem.getbyte(fx::BF), 0xD0);
    EXPECT_EQ(run("x b = 0; x b"), "    b = 0 = 0\n    b = 0\n");
    EXPECT_EQ(session->target.mem.getbyte(fx::B), 0x00);
    EXPECT_EQ(run("x p = 0, e = 1, arr[4] = -1; x p, e, arr[4]"),
              "    p = 0 = NULL\n    e = 1 = GREEN\n    arr[4] = -1 = -1\n    p = NULL\n    e = GREEN\n"
              "    arr[4] = -1\n");
    EXPECT_EQ(run("x q = &arr[1]; x *q"), "    q = &arr[1] = 0x4000005c\n    *q = 2\n");
    // The target's float saturates: the line shows what the object holds.
    EXPECT_EQ(run("x fl = 1e300; x fl"), "    fl = 1e300 = 3.402823466e+38\n    fl = 3.402823466e+38\n");
}

TEST_F(Eval, ResolvingModeNeitherReadsNorWrites) {
    const char* text = "gi = 5";
    int error = 0;
    vek::ExprPtr v(vek::xexpr(text, error, 0));
    EXPECT_EQ(error, 61);
    EXPECT_EQ(get(fx::GI), uint32_t(-5));
    text = "pt.y";
    v.reset(vek::xexpr(text, error, 0));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(v->address, fx::PT + 4);
    EXPECT_EQ(v->kind, vek::term::Mem);
    EXPECT_EQ(v->size, 4u);
    EXPECT_EQ(v->u32(), 0u);   // names are not read
    for (const char* t : {"  x  ", ":x"}) {
        text = t;
        v.reset(vek::xexpr(text, error, 0));
        EXPECT_EQ(v->text, "x") << t;
    }
    text = ":gi";
    v.reset(vek::xexpr(text, error, 0));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(v->address, fx::GI);
    text = "i";   // g's local, with its address from g's frame
    v.reset(vek::xexpr(text, error, 0));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(v->address, fx::GBase - 4);
    EXPECT_EQ(v->textkind(), 3);
}

TEST_F(Eval, AssignmentContextEndsAtTheEqualsSign) {
    vek::setassigncontext(true);
    const char* text = "gi = 5";
    int error = 0;
    vek::ExprPtr v(vek::xexpr(text, error, 1));
    vek::setassigncontext(false);
    EXPECT_EQ(error, 0);
    EXPECT_STREQ(text, "= 5");
    EXPECT_EQ(v->text, "gi");
    EXPECT_EQ(get(fx::GI), uint32_t(-5));
    text = "gi == 5";
    v.reset(vek::xexpr(text, error, 1));
    EXPECT_EQ(v->u32(), 0u);
}

TEST_F(Eval, VariablesThroughTheCallFrames) {
    EXPECT_EQ(run("x i, j, r, f():i, f():a, main():k, gi"),
              "    i = 20\n    j = 7\n    r = 33\n    f():i = 10\n    f():a = 3\n    main():k = 1\n"
              "    gi = -5\n");
    EXPECT_EQ(run("x nof():i"), "#error: nof(): function not found\n#error: incorrect variable: nof():i\n");
    EXPECT_EQ(run("x fx.c:gi, nofile.c:gi"), "    fx.c:gi = -5\n#error: nofile.c: file not found\n#error: incorrect variable: nofile.c:gi\n");
    EXPECT_EQ(run("x &r"), "    &r = 33\n");   // a register variable: shown, not addressed
    frames.cur[0] = 1;   // f's frame is current: its i
    EXPECT_EQ(run("x i, a"), "    i = 10\n    a = 3\n");
    frames.list[0].clear();   // no frames: autos cannot be read
    frames.cur[0] = -1;
    EXPECT_EQ(run("x f():i"), "#error: variable can't be accessed: f():i\n");
    EXPECT_EQ(run("x i"), "#error: variable can't be accessed: i\n");
}

TEST_F(Eval, DisplayRadixAppliesToPlainIntegers) {
    vek::setradix(2);
    EXPECT_EQ(run("x gi, uc, s, 12"), "    gi = 0xfffffffb\n    uc = 0xc8\n    s = 0xfffe\n    12 = 0xc\n");
    vek::setradix(1);
    EXPECT_EQ(run("x uc"), "    uc = 0310\n");
    vek::setradix(4);
    EXPECT_EQ(run("x uc"), "    uc = 0b11001000\n");
    vek::setradix(0);
}

}  // namespace

namespace {

using Values = ExprFixture;

TEST_F(Values, StringsAreEscapedAndCut) {
    const uint8_t odd[] = {1, 7, 9, 27, 127, 200, '"', 0};
    session->target.mem.putmem(0x40003000, odd, sizeof odd);
    EXPECT_EQ(run("x /S (char *)0x40003000; x /C 27"),
              "    (char *)0x40003000 = \"\\1\\a\\t\\33\\177\310\"\"\n    27 = '\\33'\n");
    std::vector<uint8_t> longtext(3000, 'z');
    session->target.mem.putmem(0x40004000, longtext.data(), longtext.size());
    std::string shown = run("x /S (char *)0x40004000");
    EXPECT_EQ(shown, "    (char *)0x40004000 = \"" + std::string(1277, 'z') + "...\"\n");
    EXPECT_EQ(run("x /S (char *)0, gi"), "    (char *)0 = NULL\n    gi = -5\n");
}

TEST_F(Values, StackWindowForm) {
    const vek::FunctionRecord* scope = vek::filescope(*session->prog.debug.files[0]);
    auto shown = [&](const char* name) {
        host.text.clear();
        vek::putvar(*vek::onvarlist(scope, name, true));
        return host.text;
    };
    EXPECT_EQ(shown("pt"), "pt= {x=1,y=2}");
    EXPECT_EQ(shown("arr"), "arr= 1 2 3 4 5");
    EXPECT_EQ(shown("e"), "e=BLUE");
    EXPECT_EQ(shown("p"), "p=0x40000058");
    EXPECT_EQ(shown("c"), "c=-1");
    EXPECT_EQ(shown("d"), "d=1500.0");
    put(fx::P, 0);
    EXPECT_EQ(shown("p"), "p= NULL");
    const vek::FunctionRecord* g = vek::findfunc(session->prog.debug, "g", nullptr);
    host.text.clear();
    vek::putvar(*vek::onvarlist(g, "i", true));
    EXPECT_EQ(host.text, "i=20");
}

// A variable held in a register: debug register number n (30 is r6, 33 r3).
vek::ExprValue regvar(uint32_t type, uint8_t kind, uint32_t n, uint8_t core = 0) {
    vek::ExprValue v;
    v.type = type;
    v.kind = kind;
    v.address = n;
    v.core = core;
    return v;
}

TEST_F(Values, TypedReadsAndWritesOfRegisters) {
    vek::RegisterFile& regs = session->target.regs;
    // A double in a register pair: high word in the named register.
    vek::ExprValue v = regvar(vek::tc::Double, 4, 30);
    vek::ExprValue d;
    d.setdbl(2.5);
    vek::writeval(v, d.bits);
    EXPECT_EQ(regs.getreg(vek::RegR0 + 6), 0x40040000u);
    EXPECT_EQ(regs.getreg(vek::RegR0 + 7), 0u);
    vek::ExprValue back;
    back.bits = vek::readval(v, vek::tc::Double);
    EXPECT_EQ(back.dbl(), 2.5);
    v.type = vek::tc::Char;   // a char in a register is its low byte
    regs.setreg(vek::RegR0 + 6, 0x123456F0);
    EXPECT_EQ(uint32_t(vek::readval(v, vek::tc::Char)), 0xFFFFFFF0u);

    // A _Bool's bit may lie anywhere in its register.
    v = regvar(vek::tc::Bool, 5, 30);
    v.boolbit = 12;
    regs.setreg(vek::RegR0 + 6, 0x1000);
    EXPECT_EQ(vek::readval(v, vek::tc::Bool), 1u);
    vek::writeval(v, 0);
    EXPECT_EQ(regs.getreg(vek::RegR0 + 6), 0u);
    vek::writeval(v, 1);
    EXPECT_EQ(regs.getreg(vek::RegR0 + 6), 0x1000u);

    // The second core's variables live in its own registers.
    v = regvar(vek::tc::Int, 4, 33, 1);
    regs.storereg((vek::RegR0 + 3) | vek::RegBank1, 77);
    EXPECT_EQ(vek::readval(v, vek::tc::Int), 77u);
    vek::writeval(v, 78);
    EXPECT_EQ(regs.getreg((vek::RegR0 + 3) | vek::RegBank1), 78u);
    EXPECT_EQ(regs.getreg(vek::RegR0 + 3), 33u);   // core 0's r3 as it was
    v.type = 0x40000018;   // a pointer, through the same registers
    EXPECT_EQ(vek::readval(v, vek::tc::Pointer), 78u);
}

TEST_F(Values, AStructureThatHoldsItselfPrintsToABoundedDepth) {
    // Damaged debug information: a member of the structure's own type.
    vek::AggregateDescriptor agg;
    agg.size = 4;
    vek::VarRecord self;
    self.name = "self";
    self.type = vek::tc::Struct;
    self.desc.agg = &agg;
    agg.members.push_back(self);
    vek::ExprValue v;
    v.type = vek::tc::Struct;
    v.desc = &agg.members[0].desc;
    v.address = fx::PT;
    std::string text = vek::valuetext(v, 0);
    EXPECT_NE(text.find("{...}"), std::string::npos);
    EXPECT_LT(text.size(), 400u);
    host.text.clear();
    vek::putvar(agg.members[0]);
    EXPECT_NE(host.text.find("{...}"), std::string::npos);
    // Many members of its own type: the text stays bounded.
    for (int k = 0; k < 40; ++k) agg.members.push_back(self);
    v.desc = &agg.members[0].desc;
    text = vek::valuetext(v, 0);
    EXPECT_LT(text.size(), 4000000u);
    EXPECT_NE(text.find("..."), std::string::npos);
}

}  // namespace
