// Expressions through parsedump: each row parses expressions after a fixed
// set of declarations and compares the finished trees (prefix form with
// types) and the diagnostics. The rows follow the rules of conversions,
// operators, the grammar, constant expressions, assignments, known values
// and simplification, including the cases where a literal reading of those
// rules would change what a program computes.
#include <algorithm>
#include <functional>

#include "harness.h"

namespace cpppctest {
namespace {

const char* const kDecls =
    "int x, y, z, i, k, a[10], *p, *q, *gp;\n"
    "unsigned u, w;\n"
    "unsigned char uc;\n"
    "char c, buf[16];\n"
    "signed char sc;\n"
    "short s;\n"
    "long l;\n"
    "volatile int v;\n"
    "volatile long vl;\n"
    "double d;\n"
    "struct B { unsigned bf : 4; unsigned w5 : 5; unsigned one : 1; unsigned wide : 12; } bs;\n"
    "struct C { unsigned char lo : 3; int m; } cs;\n"
    "int g(int);\n"
    "int two(int, int);\n"
    "int var(int, ...);\n"
    "int @nostack nsv(int, ...);\n"
    "unsigned char fu(void);\n"
    "int fi(void);\n"
    "int @far *fp;\n"
    "int *np;\n"
    "int placed @ 0x100;\n"
    "int alias @ placed;\n"
    "const int n = 5;\n"
    "static const char t[] = \"hi\";\n"
    "const int cv[4] = {1, 2};\n"
    "const struct { char c; int i; } cst = {7, 9};\n"
    "void *vp;\n"
    "extern struct Q q1, q2;\n"
    "struct Q sq(void);\n"
    "typedef int T;\n";

struct ExprCase {
    const char* name;
    std::string exprs;
    std::vector<std::string> want;  // the expressions section
    std::vector<std::string> options = {};
    std::string err = "";           // the diagnostics, exactly
};

std::ostream& operator<<(std::ostream& o, const ExprCase& c) { return o << c.name; }

RunResult runexprs(const Scratch& s, const std::string& decls, const std::string& exprs, std::vector<std::string> options) {
    options.insert(options.begin(), {"--expr", exprs});
    return parsedump(s, decls, options);
}

class Expressions : public testing::TestWithParam<ExprCase> {};

TEST_P(Expressions, Trees) {
    const ExprCase& c = GetParam();
    Scratch s;
    RunResult r = runexprs(s, kDecls, c.exprs, c.options);
    EXPECT_EQ(section(r.out, "expressions"), c.want) << c.exprs << "\n" << r.err;
    EXPECT_EQ(r.err, c.err) << c.exprs;
    EXPECT_EQ(r.status, c.err.find("#error") != std::string::npos ? 1 : 0);
}

// Diagnostics about the expressions stand on the file's last line, at the
// token read last (with its width when it is longer than one character).
std::string at(const std::string& column, const std::string& msg, bool warning = false) {
    std::string decls = kDecls;
    std::string line = std::to_string(std::count(decls.begin(), decls.end(), '\n'));
    return std::string(warning ? "#warning" : "#error") + " cpppc t.c:" + line + "(" + column + ") " + msg + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Casts, Expressions,
    testing::Values(
        ExprCase{"narrowed constant", "(unsigned char)300; (char)-129; (short)70000; (unsigned short)-1",
                 {"44:uchar", "127:char", "4464:short", "65535:ushort"}},
        ExprCase{"no narrowing with -cc", "(unsigned char)300", {"300:uchar"}, {"-cc"}},
        ExprCase{"floating constant cast", "(char)300.0; (int)-2.7; (unsigned)3.5e9", {"300:char", "-2:int", "3500000000:uint"}},
        ExprCase{"too large floating constant", "(int)5e9; (int)-3e9",
                 {"-1:int", "-2147483648:int"}, {"-w1"},
                 at("5+3", "float value too large for integer cast", true) + at("16+3", "float value too large for integer cast", true)},
        ExprCase{"integer constant to floating", "(double)0xFFFFFFFFu; (double)-1; (double)(unsigned char)255",
                 {"4294967295:double", "-1:double", "255:double"}},
        ExprCase{"narrowing a far pointer", "(int *)fp", {"(cast ptr(int) fp:ptr(int))"}, {},
                 at("7+2", "invalid narrow pointer cast")},
        ExprCase{"with -np a constant address is retyped", "(int *)(int @far *)0x1234; (int *)fp",
                 {"0x1234:ptr(int)", "(cast ptr(int) fp:ptr(int))"}, {"-np"}},
        ExprCase{"cast of a masked value to unsigned char", "(unsigned char)(x & 0x100); (unsigned char)(x & 0x1FF)",
                 {"0:uchar", "(cast uchar (& int x:int 255:int))"}},
        ExprCase{"a narrowing cast computes in the narrow type", "(char)(x + y); (int)u",
                 {"(+ char x:int y:int)", "(cast int u:int)"}},
        ExprCase{"a cast that changes the value keeps the call of a mask",
                 "(unsigned char)(fu() & 0x100)", {"(, uchar (call uchar &fu:ptr(fn(uchar))) 0:uchar)"}},
        ExprCase{"invalid casts", "(struct B)x; (int)bs", {"(cast struct B x:int)", "(cast int bs:struct B)"}, {},
                 at("10", "invalid cast type") + at("18+2", "invalid cast operand")}));

INSTANTIATE_TEST_SUITE_P(
    Operators, Expressions,
    testing::Values(
        ExprCase{"division by zero is reported once, where it stands", "10 / 0; x % 0",
                 {"(/ int 10:int 0:int)", "(% int x:int 0:int)"}, {}, at("3", "zero divide") + at("10", "zero modulus")},
        ExprCase{"mixed signedness folds as C does", "-1 < 1u; -1 < 1; 0u - 1 > 0; (unsigned char)200 < -1",
                 {"0:int", "1:int", "1:int", "0:int"}},
        ExprCase{"the same with -sa", "-1 < 1u", {"0:int"}, {"-sa"}},
        ExprCase{"ranges decide comparisons", "uc < 256; uc >= 0; uc == -1; sc < 128; bs.bf < 16",
                 {"1:int", "1:int", "0:int", "1:int", "1:int"}, {"-w1"},
                 at("5+3", "compare out of range", true) + at("16", "compare out of range", true) +
                     at("26", "compare out of range", true) + at("34+3", "compare out of range", true) +
                     at("47+2", "compare out of range", true)},
        ExprCase{"against an unsigned constant, a signed left is not decided", "sc < 128u; c == 255u",
                 {"(< int sc:char 128:uint)", "(== int c:char 255:uint)"}},
        ExprCase{"a negative constant against unsigned int is converted first", "u == -1; u <= -1; u > -1; u < 0",
                 {"(== int u:uint -1:int)", "1:int", "0:int", "0:int"}},
        ExprCase{"x <= -1 is x < 0 only for a signed x", "x <= -1; sc <= -1; x >= 1; u < 1",
                 {"(< int x:int 0:int)", "(< int sc:char 0:int)", "(> int x:int 0:int)", "(== int u:uint 0:int)"}},
        ExprCase{"a decided comparison keeps a call", "fu() > 300; (fi() > 0) < 0",
                 {"(, int (call uchar &fu:ptr(fn(uchar))) 0:int)",
                  "(, int (> int (call int &fi:ptr(fn(int))) 0:int) 0:int)"}},
        ExprCase{"comparisons of comparisons", "(x < y) == 0; (x < y) != 0; (x < y) >= 1; (x < y) < 0",
                 {"(>= int x:int y:int)", "(< int x:int y:int)", "(< int x:int y:int)", "0:int"}},
        ExprCase{"a one-bit field compared with 1", "bs.one == 1; bs.one < 1",
                 {"(!= int bs:bits(int,9,1) 0:int)", "(== int bs:bits(int,9,1) 0:int)"}},
        ExprCase{"a conditional compared with a constant", "(x ? 1 : 2) == 1; (x ? 1 : 2) != 2; (x ? 1 : 2) == 3; (fi() ? 1 : 2) == 3",
                 {"(!= int x:int 0:int)", "(!= int x:int 0:int)", "0:int",
                  "(, int (!= int (call int &fi:ptr(fn(int))) 0:int) 0:int)"}},
        ExprCase{"equal branches", "(x ? 2 : 2) == 2; (fi() ? 2 : 2) != 2",
                 {"1:int", "(, int (!= int (call int &fi:ptr(fn(int))) 0:int) 0:int)"}},
        ExprCase{"floating constants compare by their types", "4294967295u > 1.0; -1 < 1.0; 1.5 == 1.5f",
                 {"1:int", "1:int", "1:int"}},
        ExprCase{"logical operators combine comparisons", "(x < y) && (x > y); (x < y) || (x == y); x && 0; fi() && 0; 1 || fi()",
                 {"0:int", "(<= int x:int y:int)", "0:int",
                  "(&& int (!= int (call int &fi:ptr(fn(int))) 0:int) 0:int)", "1:int"}},
        ExprCase{"pointer differences", "p - q; &a[3] - &a[1]; &a[5] - a",
                 {"(/ int (- int p:ptr(int) q:ptr(int)) 4:int)", "2:int", "5:int"}},
        ExprCase{"pointer arithmetic", "p + 1; 2 + p; p - 1; a + 2; &a[i + 1]; p + 0",
                 {"(+ ptr(int) p:ptr(int) 4:int)", "(+ ptr(int) p:ptr(int) 8:int)", "(- ptr(int) p:ptr(int) 4:int)",
                  "&a+8:ptr(int)", "(+ ptr(int) &a+4:ptr(int) (<< int i:int 2:int))", "p:ptr(int)"}},
        ExprCase{"a subscript keeps a cast that changes its value", "buf[(unsigned char)c]; buf[(int)uc]",
                 {"(ind char (+ ptr(char) &buf:ptr(char) (cast uchar c:uchar)))",
                  "(ind char (+ ptr(char) &buf:ptr(char) uc:uchar))"}},
        ExprCase{"floating folds", "1.5 * 2; 1 / 2.0; x / 0.0", {"3:double", "0.5:double", "(/ double x:int 0:double)"},
                 {}, at("20", "zero divide")},
        ExprCase{"shift counts out of range", "x << 40; x << -1; x >> 40; u >> 40",
                 {"0:int", "0:int", "(>> int x:int 31:int)", "0:uint"}, {"-w1"},
                 at("5+2", "shift count out of range", true) + at("15", "shift count out of range", true) +
                     at("23+2", "shift count out of range", true) + at("32+2", "shift count out of range", true)},
        ExprCase{"constants fold through a conditional", "(x ? 1 : 2) + 3", {"(?: int (!= int x:int 0:int) 4:int 5:int)"}},
        ExprCase{"INT_MIN / -1", "(-2147483647 - 1) / -1; (-2147483647 - 1) % -1", {"-2147483648:int", "0:int"}},
        ExprCase{"operand errors", "p * 2; x + bs; (void)x + 1",
                 {"(* ptr(int) p:ptr(int) 2:int)", "(+ int x:int bs:struct B)", "(+ int (cast void x:int) 1:int)"}, {},
                 at("4", "invalid pointer operation") + at("11+2", "incompatible struct/union operation") +
                     at("25", "illegal void operation")}));

INSTANTIATE_TEST_SUITE_P(
    Grammar, Expressions,
    testing::Values(
        ExprCase{"grouping", "x - y - z; x = y = z; x ? y : z ? i : k; x && y ? z : i",
                 {"(- int (- int x:int y:int) z:int)", "(= int x:int (= int y:int z:int))",
                  "(?: int (!= int x:int 0:int) y:int (?: int (!= int z:int 0:int) i:int k:int))",
                  "(?: int (&& int (!= int x:int 0:int) (!= int y:int 0:int)) z:int i:int)"}},
        ExprCase{"sizeof", "sizeof(char); sizeof @ c; sizeof(g(1)); sizeof \"abc\"; sizeof a; sizeof(long) * 2",
                 {"1:uint", "4:uint", "4:uint", "4:uint", "40:uint", "8:uint"}},
        ExprCase{"sizeof of a bit-field", "sizeof bs.bf", {"4:uint"}, {}, at("10+2", "invalid sizeof(type)")},
        ExprCase{"constants by value and sign", "-32768; 32768; 2147483648; -2147483648; 'a'; \"abc\"",
                 {"-32768:int", "32768:long", "2147483648:ulong", "-2147483648:long", "97:int", "\"abc\":arr[4](char)"}},
        ExprCase{"calls", "two(1, 2); var(1); var(1, 2, 3)",
                 {"(call int &two:ptr(fn(int)) 1:int 2:int)", "(call int &var:ptr(fn(int)) 1:int)",
                  "(call int &var:ptr(fn(int)) 1:int 2:int 3:int)"}},
        ExprCase{"every call through a variadic prototype is marked", "var(1); g(1)",
                 {"(call int#16 &var:ptr(fn(int)) 1:int)", "(call int &g:ptr(fn(int)) 1:int)"}, {"--flags"}},
        ExprCase{"variable arguments in nostack mode", "nsv(1, 2)", {"(call int &nsv:ptr(fn(int)) 1:int 2:int)"},
                 {"-w1"}, at("8", "variable arguments in nostack mode", true)},
        ExprCase{"argument counts", "g(1, 2); two(1)",
                 {"(call int &g:ptr(fn(int)) 1:int 2:int)", "(call int &two:ptr(fn(int)) 1:int)"}, {},
                 at("5", "too many arguments") + at("14", "missing argument")},
        ExprCase{"arguments are converted to the parameters", "g(d); g(c); two(1.5, 0)",
                 {"(call int &g:ptr(fn(int)) (cast int d:double))", "(call int &g:ptr(fn(int)) c:char)",
                  "(call int &two:ptr(fn(int)) 1:int 0:int)"}},
        ExprCase{"an undeclared function is declared implicitly", "undeclared(1)",
                 {"(call int &undeclared:ptr(fn(int)) 1:int)"}, {"-w1"}, at("10", "missing prototype", true)},
        ExprCase{"with -p a missing prototype is an error", "undeclared(1)",
                 {"(call int &undeclared:ptr(fn(int)) 1:int)"}, {"-p"}, at("10", "missing prototype")},
        ExprCase{"addresses", "register int r; &r; &bs.bf; &*p; *&x",
                 {"(addr ptr(int) r:int)", "(addr ptr(int) bs:bits(int,0,4))", "p:ptr(int)", "x:int"}, {},
                 at("17", "invalid address operand") + at("24+2", "invalid address type")},
        ExprCase{"members", "bs.w5; cs.m; cst.i; (&cs)->m",
                 {"bs:bits(int,4,5)", "cs+4:int", "(ind int &cst+4:ptr(int))", "cs+4:int"}},
        ExprCase{"member errors", "x.m; bs.nothing; cs.", {"0:int", "bs:int", "0:int"}, {},
                 at("2", "bad struct/union operand") + at("8+7", "nothing not a member") + at("19", "missing member name")},
        ExprCase{"unary operators", "-(-x); ~~c; -(-c); -5; ~(unsigned char)0; -(x - y); !x; !5; +c",
                 {"x:int", "(cast int c:char)", "(cast int c:char)", "-5:int", "-1:int", "(- int y:int x:int)",
                  "(== int x:int 0:int)", "0:int", "(cast int c:char)"}},
        ExprCase{"an expression statement", "x++; x--", {"(+= int x:int 1:int)", "(-= int x:int 1:int)"}},
        ExprCase{"prefix increments", "++x; --p", {"(+= int x:int 1:int)", "(-= ptr(int) p:ptr(int) 4:int)"}},
        ExprCase{"missing operands", "x +; (); -", {"x:int", "0:int", "0:int"}, {},
                 at("2", "missing expression") + at("5", "invalid expression") + at("9", "missing expression")}));

INSTANTIATE_TEST_SUITE_P(
    Tests, Expressions,
    testing::Values(
        ExprCase{"a constant assignment in a test", "!(x = 5); !(x = y)",
                 {"(== int (= int x:int 5:int) 0:int)", "(== int (= int x:int y:int) 0:int)"}, {"-w1"},
                 at("7", "constant assignment in a test", true)},
        ExprCase{"& of comparisons is &&", "!((x < y) & (z < i)); (x ? 1 : 0) && y",
                 {"(|| int (>= int x:int y:int) (>= int z:int i:int))", "(&& int (!= int x:int 0:int) (!= int y:int 0:int))"}},
        ExprCase{"a shift and mask test", "!(((x & 8) >> 3) == 1); ((u & 0x80000000u) >> 31) == 1",
                 {"(== int (& int x:int 8:int) 0:int)", "(== int (>> uint (& uint u:uint 2147483648:uint) 31:int) 1:int)"}},
        ExprCase{"reads are narrowed to the bytes a narrow result uses", "(char)(l >> 24); (char)(l >> 8); (short)(l >> 16); (char)(s >> 8); (char)(l >> 20)",
                 {"(cast char l:char)", "(cast char l+2:char)", "(cast short l:short)", "(cast char s:char)",
                  "(cast char (>> char l:short 4:int))"}},
        ExprCase{"volatile objects and bit-fields are read whole", "(char)(vl >> 8); (char)(bs.wide >> 8)",
                 {"(cast char (>> long vl:long 8:int))", "(cast char (>> uint bs:bits(int,10,12) 8:int))"}}));

INSTANTIATE_TEST_SUITE_P(
    Assignments, Expressions,
    testing::Values(
        ExprCase{"into compound assignments", "x = x + 1; x = 1 + x; x = 1 - x; p = p + 2; p += 2; c = c + 1",
                 {"(+= int x:int 1:int)", "(+= int x:int 1:int)", "(= int x:int (- int 1:int x:int))",
                  "(+= ptr(int) p:ptr(int) 8:int)", "(+= ptr(int) p:ptr(int) 8:int)", "(+= char c:char 1:int)"}},
        ExprCase{"a narrowing cast keeps its store", "x = (char)(x + 1)", {"(= int x:int (+ char x:int 1:int))"}},
        ExprCase{"assignments that change nothing", "x = x; x |= x; x -= x; x /= x; v = v; v -= v",
                 {"x:int", "x:int", "(= int x:int 0:int)", "(= int x:int 1:int)", "(= int v:int v:int)",
                  "(-= int v:int v:int)"}},
        ExprCase{"constant operands", "u /= 8; x /= 8; x *= 8; u %= 16; x += 0; x *= 0; x *= -1; x |= -1",
                 {"(>>= uint u:uint 3:int)", "(/= int x:int 8:int)", "(<<= int x:int 3:int)", "(&= uint u:uint 15:int)",
                  "x:int", "(= int x:int 0:int)", "(= int x:int (neg int x:int))", "(= int x:int -1:int)"}},
        ExprCase{"chained zero", "x = y = 0; x = y = z = 0",
                 {"(, int (= int y:int 0:int) (= int x:int 0:int))",
                  "(, int (, int (= int z:int 0:int) (= int y:int 0:int)) (= int x:int 0:int))"}},
        ExprCase{"a bit-field store keeps only the field's bits", "bs.bf = y & 0xFF; bs.bf = (char)(y & 0xFF); bs.bf = y & 7",
                 {"(= bits(int,0,4) bs:bits(int,0,4) y:int)", "(= bits(int,0,4) bs:bits(int,0,4) y:int)",
                  "(= bits(int,0,4) bs:bits(int,0,4) (& int y:int 7:int))"}},
        ExprCase{"a char store of a wide mask is kept", "bs.w5 = (unsigned char)(y & 0x1FF)",
                 {"(= bits(int,4,5) bs:bits(int,4,5) y:int)"}},
        ExprCase{"lvalues", "n = 2; (int)x = 1; fi() = 1; a = 0; 5 = x",
                 {"(= int n:int 2:int)", "(= int x:int 1:int)", "(= int (call int &fi:ptr(fn(int))) 1:int)",
                  "(= arr[10](int) a:arr[10](int) 0:int)", "(= int 5:int x:int)"},
                 {}, at("4", "const assignment") + at("16", "invalid lvalue") + at("26", "invalid lvalue") +
                         at("33", "invalid assignment type") + at("40", "invalid lvalue")},
        ExprCase{"a local const is written by its initializer", "const int lc = 1; lc = 2",
                 {"(= int lc:int 1:int)", "(= int lc:int 2:int)"}, {}, at("23", "const assignment")},
        ExprCase{"pointer assignments", "p = 0; p = 5; p = fp; p *= 2; p += p",
                 {"(= ptr(int) p:ptr(int) 0:int)", "(= ptr(int) p:ptr(int) 5:int)", "(= ptr(int) p:ptr(int) fp:ptr(int))",
                  "(*= ptr(int) p:ptr(int) 2:int)", "(+= ptr(int) p:ptr(int) p:ptr(int))"},
                 {}, at("11", "incompatible pointer types") + at("18+2", "incompatible pointer types") +
                         at("27", "incompatible pointer operation") + at("35", "incompatible pointer operand")},
        ExprCase{"a char stores the narrowed value", "c = 300; y = c", {"(= char c:char 44:int)", "(= int y:int 44:char)"}}));

INSTANTIATE_TEST_SUITE_P(
    KnownValues, Expressions,
    testing::Values(
        ExprCase{"const objects", "y = n; y = a[n]; y = t[1]; y = \"hi\"[2]; y = \"hi\"[3]; y = cv[3]; y = cv[1]; y = cst.i",
                 {"(= int y:int 5:int)", "(= int y:int a+20:int)", "(= int y:int 105:char)", "(= int y:int 0:char)",
                  "(= int y:int (ind char &\"hi\"+3:ptr(char)))", "(= int y:int 0:int)", "(= int y:int 2:int)",
                  "(= int y:int 9:int)"}},
        ExprCase{"with -nc the objects are read", "y = n; y = t[1]",
                 {"(= int y:int n:int)", "(= int y:int (ind char &t+1:ptr(char)))"}, {"-nc"}},
        ExprCase{"a literal byte takes the expression's type", "y = \"\\xff\"[0]", {"(= int y:int 255:uchar)"}, {"-u"}},
        ExprCase{"straight-line values", "x = 3; y = x + 1; x += 2; y = x; g(1); y = x",
                 {"(= int x:int 3:int)", "(= int y:int 4:int)", "(+= int x:int 2:int)", "(= int y:int 5:int)",
                  "(call int &g:ptr(fn(int)) 1:int)", "(= int y:int x:int)"}},
        ExprCase{"conditional stores", "x = 3; y = i ? (x = 1) : 2; z = x; x = 5; i && (x = 1); z = x",
                 {"(= int x:int 3:int)", "(= int y:int (?: int (!= int i:int 0:int) (= int x:int 1:int) 2:int))",
                  "(= int z:int x:int)", "(= int x:int 5:int)", "(&& int (!= int i:int 0:int) (!= int (= int x:int 1:int) 0:int))",
                  "(= int z:int x:int)"}},
        ExprCase{"a store through a pointer forgets", "x = 3; gp = &k; k = 3; *gp = 5; y = k; x = 4; *p = 1; y = x",
                 {"(= int x:int 3:int)", "(= ptr(int) gp:ptr(int) &k:ptr(int))", "(= int k:int 3:int)",
                  "(= int (ind int gp:ptr(int)) 5:int)", "(= int y:int k:int)", "(= int x:int 4:int)",
                  "(= int (ind int p:ptr(int)) 1:int)", "(= int y:int x:int)"}},
        ExprCase{"a store to an unknown element forgets the array", "a[0] = 1; a[1] = 2; a[i] = 7; y = a[0]; y = a[1]",
                 {"(= int a:int 1:int)", "(= int a+4:int 2:int)",
                  "(= int (ind int (+ ptr(int) &a:ptr(int) (<< int i:int 2:int))) 7:int)", "(= int y:int a:int)",
                  "(= int y:int a+4:int)"}},
        ExprCase{"a store into part of an object forgets the whole", "a[0] = 1; ((char *)a)[3] = 2; y = a[0]",
                 {"(= int a:int 1:int)", "(= char a+3:char 2:int)", "(= int y:int a:int)"}},
        ExprCase{"objects with other names are not tracked", "placed = 1; alias = 2; y = placed; v = 1; y = v",
                 {"(= int placed:int 1:int)", "(= int alias:int 2:int)", "(= int y:int placed:int)", "(= int v:int 1:int)",
                  "(= int y:int v:int)"}},
        ExprCase{"with -cp nothing is tracked", "x = 3; y = x", {"(= int x:int 3:int)", "(= int y:int x:int)"}, {"-cp"}},
        ExprCase{"unsigned compound values", "u = 10; u /= -2; y = u; uc = 200; uc += 100; y = uc",
                 {"(= uint u:uint 10:int)", "(/= uint u:uint -2:int)", "(= int y:int 0:uint)", "(= uchar uc:uchar 200:int)",
                  "(+= uchar uc:uchar 100:int)", "(= int y:int 44:uchar)"}}));

INSTANTIATE_TEST_SUITE_P(
    Simplification, Expressions,
    testing::Values(
        ExprCase{"strength reduction", "u / 8; x / 8; x * 8; u % 16; uc & 0xFF; uc | 0xFF",
                 {"(>> uint u:uint 3:int)", "(/ int x:int 8:int)", "(<< int x:int 3:int)", "(& uint u:uint 15:int)",
                  "(cast int uc:uchar)", "255:int"}},
        ExprCase{"reassociation", "(x + 3) - 5; (x * 6) / 3; (x * 6) / 4; (u * 6) / 3; (x / 65536) / 65536; (x / 3) / 5",
                 {"(- int x:int 2:int)", "(<< int x:int 1:int)", "(/ int (* int x:int 6:int) 4:int)",
                  "(/ uint (* uint u:uint 6:int) 3:int)", "(/ int (/ int x:int 65536:int) 65536:int)", "(/ int x:int 15:int)"}},
        ExprCase{"factoring", "x*y + x*z; x*y - z*x; (x & y) | (x & z); d*y + d*z",
                 {"(* int (+ int y:int z:int) x:int)", "(* int (- int y:int z:int) x:int)",
                  "(& int (| int y:int z:int) x:int)",
                  "(+ double (* double d:double y:int) (* double d:double z:int))"}},
        ExprCase{"equal operands", "x - x; x ^ x; x / x; x + x; v - v; v + v; fi() - fi(); d - d",
                 {"0:int", "0:int", "1:int", "(<< int x:int 1:int)", "(- int v:int v:int)", "(+ int v:int v:int)",
                  "(- int (call int &fi:ptr(fn(int))) (call int &fi:ptr(fn(int))))", "(- double d:double d:double)"}},
        ExprCase{"a cast that changes the value is not looked through", "(char)x - x; (int)c - c",
                 {"(- int (cast char x:int) x:int)", "0:int"}},
        ExprCase{"masks of shifts", "(u >> 4) & 0x0FFFFFFF; (x >> 4) & 0x0FFFFFFF; (uc >> 2) & 0x100",
                 {"(>> uint u:uint 4:int)", "(cast int (>> uint (cast uint x:uint) 4:int))", "0:int"}},
        ExprCase{"bit-field masks", "bs.w5 & 3; bs.bf | 0x1F; bs.bf | 0x10; bs.bf & 0xF",
                 {"bs:bits(int,4,2)", "31:uint", "(| uint bs:bits(int,0,4) 16:int)", "(cast uint bs:bits(int,0,4))"}},
        ExprCase{"shifts are distributed over operands of one type", "(x >> 4) | (y >> 4); (x >> 4) | (u >> 4)",
                 {"(>> int (| int x:int y:int) 4:int)", "(| uint (>> int x:int 4:int) (>> uint u:uint 4:int))"}},
        ExprCase{"identities keep side effects", "fi() * 0; fi() % 1; fi() | -1; fi() & 0",
                 {"(, int (call int &fi:ptr(fn(int))) 0:int)", "(, int (call int &fi:ptr(fn(int))) 0:int)",
                  "(, int (call int &fi:ptr(fn(int))) -1:int)", "(, int (call int &fi:ptr(fn(int))) 0:int)"}},
        ExprCase{"floating identities only where exact", "d * 0; d * 1; d + 0; d - 0; d * -1; -d / -d",
                 {"(* double d:double 0:double)", "d:double", "(+ double d:double 0:double)", "d:double",
                  "(neg double d:double)", "(/ double d:double d:double)"}},
        ExprCase{"complements and negations", "~x & ~y; x & ~x; x | ~x; -x + -y; -x * -y; -x / -y; 1 - bs.one",
                 {"(~ int (| int x:int y:int))", "0:int", "-1:int", "(neg int (+ int x:int y:int))", "(* int x:int y:int)",
                  "(/ int (neg int x:int) (neg int y:int))", "(^ uint bs:bits(int,9,1) 1:int)"}},
        ExprCase{"constants move outward", "(x + 1) + y; 10 - (y + 3); 10 - (3 - y); 10 - (y - 3)",
                 {"(+ int (+ int x:int y:int) 1:int)", "(- int 7:int y:int)", "(+ int y:int 7:int)", "(- int 13:int y:int)"}}));

INSTANTIATE_TEST_SUITE_P(
    Errors, Expressions,
    testing::Values(
        ExprCase{"operands of ?:", "x ? : y; bs ? 1 : 2; x ? p : bs",
                 {"(?: int (!= int x:int 0:int) 0:int y:int)", "(?: struct B bs:struct B 1:int 2:int)",
                  "(?: ptr(int) (!= int x:int 0:int) p:ptr(int) bs:struct B)"},
                 {}, at("2", "missing ? test expression") + at("18", "incompatible struct/union operation") +
                         at("29+2", "incompatible operand types")},
        ExprCase{"tests and comparisons", "bs && x; p < 5; !bs",
                 {"(&& struct B bs:struct B x:int)", "(< int p:ptr(int) 5:int)", "(! int bs:struct B)"}, {},
                 at("6", "incompatible struct/union operation") + at("13", "incompatible compare types") +
                     at("17+2", "invalid operand type")},
        ExprCase{"calls", "x(1); sq()", {"(call int - 1:int)", "(call struct Q &sq:ptr(fn(struct Q)))"}, {},
                 at("1", "invalid function type") + at("8", "incomplete struct/union type")},
        ExprCase{"pointer operands", "vp + 1; p - (char *)q; p + d; -p; *x; +p",
                 {"(+ ptr(void) vp:ptr(void) 1:int)", "(/ int (- int p:ptr(int) q:ptr(char)) 4:int)",
                  "(+ ptr(int) p:ptr(int) d:double)", "(neg ptr(int) p:ptr(int))", "(ind int x:int)", "p:ptr(int)"},
                 {}, at("5", "invalid void pointer") + at("20", "invalid pointer types") + at("27", "invalid pointer operand") +
                         at("31", "invalid operand type") + at("35", "invalid indirection operand") +
                         at("39", "invalid arithmetic operand")},
        ExprCase{"floating operands", "d % 2; x << d; ~d; x <<= d",
                 {"(% double d:double 2:int)", "(<< int x:int d:double)", "(~ double d:double)", "(<<= int x:int d:double)"},
                 {}, at("4", "invalid floating point operation") + at("12", "invalid shift count type") +
                         at("16", "invalid operand type") + at("25", "invalid shift count type")},
        ExprCase{"addresses", "&(x + 1); &(x, y); x = T; (int n2)x",
                 {"(addr ptr(int) (+ int x:int 1:int))", "&y:ptr(int)", "(= int x:int 0:int)", "x:int"}, {},
                 at("7", "invalid address expression") + at("16", "invalid lvalue") + at("23", "invalid typedef usage") +
                     at("31+2", "name unexpected in abstract type")},
        ExprCase{"assignments", "x = (void)0; x = p; x = bs; bs = cs; bs += bs; q1 = q2",
                 {"(= int x:int (cast void 0:int))", "(= int x:int p:ptr(int))", "(= int x:int bs:struct B)",
                  "(= struct B bs:struct B cs:struct C)", "(+= struct B bs:struct B bs:struct B)",
                  "(= struct Q q1:struct Q q2:struct Q)"},
                 {}, at("10", "illegal void usage") + at("17", "incompatible pointer assignment") +
                         at("24+2", "incompatible struct/union assignment") +
                         at("33+2", "incompatible types in struct/union assignment") +
                         at("43+2", "invalid struct/union operation") + at("52+2", "incomplete type for assignment")},
        ExprCase{"range and truncation warnings", "c = 300; s = l; uc = -1", {"(= char c:char 44:int)", "(= short s:short l:long)",
                 "(= uchar uc:uchar 255:int)"}, {"-w1"},
                 at("4+3", "value out of range", true) + at("13", "truncating assignment", true) +
                     at("22", "value out of range", true)}));

// Bad input through cpppc: the message, status 1 and no intermediate file.
struct BadExpr {
    const char* source;
    std::string err;
};

class BadConstants : public testing::TestWithParam<BadExpr> {};

TEST_P(BadConstants, Rejected) {
    const BadExpr& c = GetParam();
    Scratch s;
    s.write("t.c", c.source);
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err) << c.source;
    EXPECT_FALSE(s.exists("t.ir"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadConstants,
    testing::Values(
        BadExpr{"int a[(1, 2)];",
                "#error cpppc t.c:1(11) invalid constant expression\n#error cpppc t.c:1 array size unknown a\n"},
        BadExpr{"enum { A = 1 % 0 };", "#error cpppc t.c:1(13) zero modulus\n#error cpppc t.c:1(15) invalid constant expression\n"},
        BadExpr{"int a[10 / 0];",
                "#error cpppc t.c:1(9) zero divide\n#error cpppc t.c:1(11) invalid constant expression\n"
                "#error cpppc t.c:1 array size unknown a\n"},
        BadExpr{"int x; int a[x];", "#error cpppc t.c:1(13) invalid constant expression\n#error cpppc t.c:1 array size unknown a\n"},
        // x is reported undefined at the same place: one message per place
        BadExpr{"const int k = x;", "#error cpppc t.c:1(14) invalid initializer expression\n"}));

TEST(ConstantExpressions, Values) {
    Scratch s;
    RunResult r = parsedump(s,
                            "enum V { E = sizeof(long) * 2, F = (unsigned char)-1 + (char)300, G = -1 < 1u, H = 3 > 2 ? 10 : 20,"
                            " I = \"abc\"[1] + 0, J = sizeof(int[3]) / sizeof(int), K = (int)2.9 };\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> want = {"enum V underlying unsigned short", "  E = 8",  "  F = 299", "  G = 0",
                                     "  H = 10", "  I = 98", "  J = 3", "  K = 2"};
    EXPECT_EQ(section(r.out, "tags"), want);
}

// A tree far deeper than any program writes: the parser bounds its
// recursion.
TEST(ConstantExpressions, TooComplex) {
    Scratch s;
    std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    s.write("t.c", "int a[" + deep + "];\n");
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("expression too complex"), std::string::npos) << r.err.substr(0, 400);
    EXPECT_FALSE(s.exists("t.ir"));
}

// Trees of every shape, of a height the later passes walk and far beyond it:
// each either compiles or ends with one "too complex" message, never a crash.
TEST(ConstantExpressions, DeepTreesOfEveryShape) {
    auto repeat = [](const std::string& piece, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += piece;
        return out;
    };
    struct Shape {
        const char* name;
        std::function<std::string(int)> expr;
    };
    std::vector<Shape> shapes = {
        {"left sum", [&](int n) { return "a" + repeat("\n+ a", n - 1); }},
        {"right sum", [&](int n) { return repeat("a +\n(", n - 1) + "a" + repeat(")\n", n - 1); }},
        {"parentheses", [&](int n) { return repeat("(\n", n) + "a" + repeat(")\n", n); }},
        {"conditional chain", [&](int n) { return repeat("a ? 1 :\n", n) + "0"; }},
        {"comma chain", [&](int n) { return "(" + repeat("b = a,\n", n) + "b)"; }},
        {"logical chain", [&](int n) { return "a" + repeat("\n&& a", n - 1); }},
        {"member chain", [&](int n) { return "p" + repeat("\n->n", n) + "->v"; }},
    };
    Scratch s;
    for (const Shape& shape : shapes)
        for (int n : {150, 1000, 20000}) {
            s.write("t.c", "struct S { struct S* n; int v; };\nint f(int a, struct S* p) { int b; return " +
                               shape.expr(n) + "; }\n");
            RunResult r = runcpppc({"-o", "t.ir", "t.c"});
            SCOPED_TRACE(std::string(shape.name) + " of " + std::to_string(n));
            if (r.status == 0) {
                EXPECT_LT(n, 20000);
                EXPECT_EQ(r.err, "");
            } else {
                EXPECT_EQ(r.status, 1);
                EXPECT_GT(n, 150);
                EXPECT_EQ(r.err.find("expression too complex\n"), r.err.find('\n') - 22) << r.err.substr(0, 400);
            }
        }
    // A long initializer is many short expressions.
    std::string init = "int t[20000] = {0";
    for (int i = 1; i < 20000; ++i) init += (i % 16 ? ", " : ",\n") + std::to_string(i % 100);
    s.write("t.c", init + "};\n");
    RunResult r = runcpppc({"-o", "t.ir", "t.c"});
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 400);
}

}  // namespace
}  // namespace cpppctest
