// Declarations through the parser dump: specifiers and their combinations,
// declarators, prototypes, struct, union and enum layouts, placements and
// aliases, redeclarations, the end-of-unit pass, and the messages of bad
// declarations with their positions.
#include "harness.h"

namespace cpppctest {
namespace {

// One symbol's type line for a declaration, with options.
struct TypeCase {
    std::string title;
    std::string source;
    std::vector<std::string> options;
    std::string name;
    std::string type;  // the "type ..." line of the symbol
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.title; }

class DeclaredType : public testing::TestWithParam<TypeCase> {};

TEST_P(DeclaredType, Dump) {
    Scratch s;
    const TypeCase& c = GetParam();
    RunResult r = parsedump(s, c.source, c.options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "symbols", c.name, 1), "type " + c.type) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeclaredType,
    testing::Values(
        TypeCase{"long long is long", "long long a;", {}, "a", "long (size 4, align 4)"},
        TypeCase{"unsigned long long", "unsigned long long a;", {}, "a", "unsigned long (size 4, align 4)"},
        TypeCase{"long double", "long double d;", {}, "d", "double (size 8, align 4)"},
        TypeCase{"double with -f", "double d;", {"-f"}, "d", "float (size 4, align 4)"},
        TypeCase{"plain char with -u", "char c;", {"-u"}, "c", "unsigned char (size 1, align 1)"},
        TypeCase{"signed char with -u", "signed char c;", {"-u"}, "c", "char (size 1, align 1)"},
        TypeCase{"short int", "unsigned short int s;", {}, "s", "unsigned short (size 2, align 2)"},
        TypeCase{"near pointer by default", "int *p;", {}, "p", "pointer 0x0000 to int (size 2, align 2)"},
        TypeCase{"tiny pointer", "char @tiny *p;", {}, "p", "pointer 0x1000 to char (size 1, align 1)"},
        TypeCase{"far pointer", "char @far *p;", {}, "p", "pointer 0x3000 to char (size 4, align 4)"},
        TypeCase{"model makes pointers far", "int *p;", {"-m0x3030"}, "p", "pointer 0x3000 to int (size 4, align 4)"},
        TypeCase{"const after the star", "const char * const p;", {}, "p", "pointer 0x8000 to char (size 2, align 2)"},
        TypeCase{"array of arrays", "int a[2][3];", {}, "a", "array[2] of array[3] of int (size 24, align 4)"},
        TypeCase{"array of pointers", "int *a[4];", {}, "a", "array[4] of pointer 0x0000 to int (size 8, align 2)"},
        TypeCase{"pointer to array", "int (*a)[5];", {}, "a", "pointer 0x0000 to array[5] of int (size 2, align 2)"},
        TypeCase{"pointer to function", "int (*f)(char);", {}, "f",
                 "pointer 0x0800 to function(char, void) returning int (size 2, align 2)"},
        TypeCase{"function returning pointer to array", "char (*(*f)(void))[5];", {}, "f",
                 "pointer 0x0800 to function(void, void) returning pointer 0x0000 to array[5] of char (size 2, align 2)"},
        TypeCase{"void prototype", "int f(void);", {}, "f", "function(void, void) returning int (size 0, align 4)"},
        TypeCase{"prototype end entry", "int f(int a, char *);", {}, "f",
                 "function(int a, pointer 0x0000 to char, void) returning int (size 0, align 4)"},
        TypeCase{"variadic prototype", "int f(int a, ...);", {}, "f", "function(int a) returning int (size 0, align 4)"},
        TypeCase{"empty list", "int f();", {}, "f", "function() returning int (size 0, align 4)"},
        TypeCase{"only an ellipsis", "int f(...);", {}, "f", "function() returning int (size 0, align 4)"},
        TypeCase{"array and function parameters", "void f(int a[], int g(void));", {}, "f",
                 "function(pointer 0x0000 to int a, pointer 0x0800 to function(void, void) returning int g, void) "
                 "returning void (size 0, align 4)"},
        TypeCase{"typedef of a pointer", "typedef char *S; S list[3];", {}, "list",
                 "array[3] of pointer 0x0000 to char (size 6, align 2)"},
        TypeCase{"extern array completed", "extern int a[]; int a[10];", {}, "a", "array[10] of int (size 40, align 4)"},
        TypeCase{"count from a brace initializer", "int a[] = { 1, 2, 3, };", {}, "a", "array[3] of int (size 12, align 4)"},
        TypeCase{"count from a string", "char s[] = \"abc\";", {}, "s", "array[4] of char (size 4, align 1)"},
        TypeCase{"prototype completes a declaration", "int f(); int f(int a);", {}, "f",
                 "function(int a, void) returning int (size 0, align 4)"},
        TypeCase{"layout check in C", "struct S { char a; int b : 3, c : 5; char d; };\n"
                                      "char k[sizeof(struct S) == 12 ? 1 : -1];", {}, "k",
                 "array[1] of char (size 1, align 1)"},
        TypeCase{"sizeof of objects and types",
                 "typedef struct { char c[3]; short s; } R; R r;\n"
                 "int n[sizeof r + sizeof r.s + sizeof(R *) + sizeof \"abc\" + sizeof(int (*)(void))];", {}, "n",
                 "array[16] of int (size 64, align 4)"},
        TypeCase{"casts in a bound", "int n[(unsigned char)-1 + (char)300];", {}, "n",
                 "array[299] of int (size 1196, align 4)"},
        TypeCase{"enumeration constant in a bound", "enum { N = 7 }; int n[N];", {}, "n", "array[7] of int (size 28, align 4)"}));

TEST(Conditionals, SeeDeclarations) {
    // #if takes the value of a file-level enumeration constant and sizes
    // types with the target's pointers.
    const char* source =
        "enum { NEG = -5, BIG = 70000 };\ntypedef struct { char c; short s; } R;\n"
        "#if NEG == -5 && NEG < 0 && BIG == 70000 && sizeof(R) == 4\nint constants;\n#endif\n"
        "#if sizeof(int *) == 2\nint nearpointers;\n#elif sizeof(int *) == 4\nint farpointers;\n#endif\n"
        "#if UNKNOWN == 0 && !defined UNKNOWN\nint names;\n#endif\n";
    Scratch s;
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(entry(r.out, "symbols", "constants"), "<constants not found>");
    EXPECT_NE(entry(r.out, "symbols", "nearpointers"), "<nearpointers not found>");
    EXPECT_NE(entry(r.out, "symbols", "names"), "<names not found>");
    r = parsedump(s, source, {"-m0x3030"});
    EXPECT_NE(entry(r.out, "symbols", "farpointers"), "<farpointers not found>");
    EXPECT_EQ(entry(r.out, "symbols", "nearpointers"), "<nearpointers not found>");
}

TEST(Enums, UnderlyingType) {
    const char* source =
        "enum A { A0, A1 = 200 };\nenum B { B0 = -1, B1 = 100 };\nenum C { C0 = -1, C1 = 200 };\n"
        "enum D { D0 = 70000 };\nenum E { E0 = -40000 };\nenum F { F0 = 65535 } f;\n";
    Scratch s;
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> tags = section(r.out, "tags");
    auto has = [&](const std::string& l) { return std::find(tags.begin(), tags.end(), l) != tags.end(); };
    EXPECT_TRUE(has("enum A underlying unsigned char")) << r.out;
    EXPECT_TRUE(has("enum B underlying char"));
    EXPECT_TRUE(has("enum C underlying short"));
    EXPECT_TRUE(has("enum D underlying unsigned long"));
    EXPECT_TRUE(has("enum E underlying long"));
    EXPECT_TRUE(has("  C0 = -1"));
    EXPECT_EQ(entry(r.out, "symbols", "f", 1), "type enum F (size 2, align 2)");
    EXPECT_EQ(entry(r.out, "symbols", "C1"), "C1 class 132 enum-constant flags 0x00000e attributes 0x0000 value 200 label 0")
        << "the last constant of its enum carries 0x8";

    r = parsedump(s, source, {"-ne"});
    tags = section(r.out, "tags");
    for (const char* e : {"A", "B", "C", "D", "E"})
        EXPECT_TRUE(has(std::string("enum ") + e + " underlying int")) << r.out;
}

// A struct's members: "name offset O [bits P width W] ...: type".
std::string membersof(const std::string& dump, const std::string& tag) {
    std::vector<std::string> tags = section(dump, "tags");
    std::string out;
    bool inside = false;
    for (const std::string& l : tags) {
        if (l[0] != ' ') {
            inside = l.rfind(tag + " ", 0) == 0;
            if (inside) out += l + "\n";
            continue;
        }
        if (!inside) continue;
        std::string m = l.substr(2);
        size_t flags = m.find(" flags ");
        size_t colon = m.find(": ", flags);
        out += m.substr(0, flags) + m.substr(colon) + "\n";
    }
    return out;
}

struct LayoutCase {
    std::string title;
    std::string source;
    std::vector<std::string> options;
    std::string tag;
    std::string layout;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.title; }

class Layouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, Members) {
    Scratch s;
    const LayoutCase& c = GetParam();
    RunResult r = parsedump(s, c.source, c.options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(membersof(r.out, c.tag), c.layout) << c.source;
}

const char* const kBitStruct = "struct S { char a; int b : 3; int c : 5; char d; };";
const char* const kAnonUnion = "struct S { union { int i; float f; }; int k; };";

INSTANTIATE_TEST_SUITE_P(
    Cases, Layouts,
    testing::Values(
        LayoutCase{"bit-fields share an int unit", kBitStruct, {}, "struct S",
                   "struct S size 12 align 4\na offset 0: char\nb offset 4 bits 0 width 3: bit-field of int unit at 0 width 3\n"
                   "c offset 4 bits 3 width 5: bit-field of int unit at 3 width 5\nd offset 8: char\n"},
        LayoutCase{"reversed bit-fields", kBitStruct, {"-rb"}, "struct S",
                   "struct S size 12 align 4\na offset 0: char\nb offset 4 bits 29 width 3: bit-field of int unit at 29 width 3\n"
                   "c offset 4 bits 24 width 5: bit-field of int unit at 24 width 5\nd offset 8: char\n"},
        LayoutCase{"zero width starts a new unit", "struct Z { int a : 3; int : 0; int b : 2; };", {}, "struct Z",
                   "struct Z size 8 align 4\na offset 0 bits 0 width 3: bit-field of int unit at 0 width 3\n"
                   "b offset 4 bits 0 width 2: bit-field of int unit at 0 width 2\n"},
        LayoutCase{"char and short units", "struct C { char a : 3; char b : 6; short c : 9; long d : 1; };", {}, "struct C",
                   "struct C size 8 align 4\na offset 0 bits 0 width 3: bit-field of char unit at 0 width 3\n"
                   "b offset 1 bits 0 width 6: bit-field of char unit at 0 width 6\n"
                   "c offset 2 bits 0 width 9: bit-field of short unit at 0 width 9\n"
                   "d offset 4 bits 0 width 1: bit-field of int unit at 0 width 1\n"},
        LayoutCase{"packed struct", "@packed struct P { char c; int i; short s; };", {}, "struct P",
                   "struct P size 7 align 4\nc offset 0: char\ni offset 1: int\ns offset 5: short\n"},
        LayoutCase{"padding and rounding", "struct Q { char c; short s; char d; };", {}, "struct Q",
                   "struct Q size 6 align 2\nc offset 0: char\ns offset 2: short\nd offset 4: char\n"},
        LayoutCase{"union takes the largest member", "union U { char c[5]; short s; };", {}, "union U",
                   "union U size 6 align 2\nc offset 0: array[5] of char\ns offset 0: short\n"},
        LayoutCase{"anonymous union", kAnonUnion, {}, "struct S",
                   "struct S size 8 align 4\ni offset 0: int\nf offset 0: float\nk offset 4: int\n"},
        LayoutCase{"anonymous union with -sa", std::string(kAnonUnion) + " int d;", {"-sa"}, "struct S", "struct S size 4 align 4\nk offset 0: int\n"},
        LayoutCase{"nested struct", "struct I { char c; short s; }; struct O { char a; struct I i; char b; };", {}, "struct O",
                   "struct O size 8 align 2\na offset 0: char\ni offset 2: struct I\nb offset 6: char\n"}));

TEST(Layouts, SharedStorageFlag) {
    Scratch s;
    RunResult r = parsedump(s, kAnonUnion);
    EXPECT_EQ(entry(r.out, "tags", "f"), "f offset 0 flags 0x100004 attributes 0x0000: float");
    EXPECT_EQ(entry(r.out, "tags", "i"), "i offset 0 flags 0x000004 attributes 0x0000: int");
}

TEST(Layouts, FlexibleArrayMember) {
    Scratch s;
    RunResult r = parsedump(s, "struct F { int n; char data[]; };", {"-c99"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(membersof(r.out, "struct F"), "struct F size 4 align 4\nn offset 0: int\ndata offset 4: array[] of char\n");
    r = parsedump(s, "struct F { char data[]; };\nstruct G { int n; char d[]; int m; };", {"-c99"});
    EXPECT_EQ(r.err, "#error cpppc t.c:1(21) invalid flexible array usage\n#error cpppc t.c:2(32) invalid flexible array usage\n");
}

TEST(Placements, AddressesAndAliases) {
    Scratch s;
    RunResult r = parsedump(s,
                            "int x @ 0x1000;\nint y @ x;\nint z @ (char *) 0x2000;\nchar buf[16] @ 0x3000;\n"
                            "char w @ buf + 4;\nint v @ &x + 2;\n");
    EXPECT_EQ(r.status, 0) << r.err;
    auto value = [&](const std::string& n) {
        std::string l = entry(r.out, "symbols", n);
        return l.substr(l.find(" value ") + 7, l.find(" label") - l.find(" value ") - 7);
    };
    EXPECT_EQ(value("x"), "4096");
    EXPECT_EQ(value("y"), "4096");
    EXPECT_EQ(value("z"), "8192");
    EXPECT_EQ(value("w"), "12292") << "the offset after the placed symbol counts";
    EXPECT_EQ(value("v"), "4104") << "an address steps by its element size";
    EXPECT_NE(entry(r.out, "symbols", "w").find("class 5 placed"), std::string::npos);
    std::vector<std::string> w = section(r.out, "writer");
    std::vector<std::string> want = {"putdatalabel x", "putdatalabel y", "putdatalabel z", "putdatalabel buf",
                                     "putdatalabel w", "putdatalabel v", "putliterals"};
    EXPECT_EQ(w, want) << "placements are written at once and get no definition record";
}

// The end of the unit: tentative definitions newest first with the odd byte
// filled, statics only when used (or with -ku), definitions and references.
TEST(EndUnit, OddBytesAreFilled) {
    Scratch s;
    RunResult r = parsedump(s, "char one;\nint four;\nchar three[3];\n");
    std::vector<std::string> want = {"putdatalabel three", "putreserve 3", "putenddata", "putdef three 1",
                                     "putdatalabel one",   "putreserve 1", "putenddata", "putdef one 1",
                                     "putdatalabel four",  "putreserve 4", "putenddata", "putdef four 1",
                                     "putliterals"};
    EXPECT_EQ(section(r.out, "writer"), want);
}

TEST(EndUnit, UnusedStaticsAndReferences) {
    Scratch s;
    const char* source =
        "static int unused;\nstatic int used;\nextern int ext;\nextern int extused;\nint f(void);\n"
        "int g(void) { return used + extused; }\n";
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 0) << r.err;
    // the function's own record (134) comes first, with its body
    std::vector<std::string> want = {"putdef g 2048", "putdef g 1", "putdef extused 0", "putdatalabel used", "putreserve 4", "putenddata",
                                     "putliterals"};
    EXPECT_EQ(section(r.out, "writer"), want);
    r = parsedump(s, source, {"-ku"});
    std::vector<std::string> w = section(r.out, "writer");
    EXPECT_NE(std::find(w.begin(), w.end(), "putdatalabel unused"), w.end()) << r.out;
}

TEST(EndUnit, Messages) {
    Scratch s;
    RunResult r = parsedump(s, "static void f(void);\nvoid (*p)(void) = f;\nstatic void g(void);\nint a[];\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cpppc t.c:4 array size unknown a\n#error cpppc t.c:4 static function f undefined\n");
    r = parsedump(s, "int n[m + 1];\n");
    EXPECT_EQ(r.err,
              "#error cpppc t.c:1(10) invalid constant expression\n#error cpppc t.c:1 array size unknown n\n"
              "#error cpppc t.c:1(6) m undefined\n");
    r = parsedump(s, "int x;\n", {"-sa"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = parsedump(s, "extern int x;\nint f(void);\ntypedef int t;\n", {"-sa"});
    EXPECT_EQ(r.err, "#error cpppc t.c:3 missing object declaration\n");
}

// Bad declarations: the message at its place, status 1, no output file.
struct BadCase {
    std::string source;
    std::string err;
    std::vector<std::string> options = {};
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.source; }

class BadDeclarations : public testing::TestWithParam<BadCase> {};

TEST_P(BadDeclarations, Reported) {
    Scratch s;
    const BadCase& c = GetParam();
    s.write("t.c", c.source);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"-o", "t.ir", "t.c"});
    RunResult r = runcpppc(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err) << c.source;
    EXPECT_FALSE(s.exists("t.ir")) << "a run with errors leaves no intermediate file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadDeclarations,
    testing::Values(
        BadCase{"int int x;", "#error cpppc t.c:1(4+3) repeated type keyword\n"},
        BadCase{"short long x;", "#error cpppc t.c:1(6+4) illegal combination of type keywords\n"},
        BadCase{"long long long x;", "#error cpppc t.c:1(10+4) illegal combination of type keywords\n"},
        BadCase{"extern static int x;", "#error cpppc t.c:1(7+6) invalid storage class\n"},
        BadCase{"auto int x;", "#error cpppc t.c:1(0+4) illegal storage class\n"},
        BadCase{"const const int x;", "#error cpppc t.c:1(6+5) repeated qualifier\n"},
        BadCase{"struct S { int a; };\nstruct S { int b; };", "#error cpppc t.c:2(7) redefined tag name S\n"},
        BadCase{"struct S { int a; };\nunion S u;",
                "#error cpppc t.c:2(6) redefined tag type S\n#error cpppc t.c:2 struct/union size unknown\n"},
        BadCase{"struct;", "#error cpppc t.c:1(0+6) incomplete type\n"},
        BadCase{"int x;\nchar x;", "#error cpppc t.c:2(5) redeclared external x\n"},
        BadCase{"int x;\nstatic int x;", "#error cpppc t.c:2(11) redeclared external x\n"},
        BadCase{"int f();\nint f(char c);", "#error cpppc t.c:2(4) redeclared external f\n"},
        BadCase{"extern struct { int a; } v;\nextern struct { int a; } v;", "#error cpppc t.c:2(25) redeclared external v\n"},
        BadCase{"typedef int T;\nint T;", "#error cpppc t.c:2(4) redeclared typedef T\n"},
        BadCase{"int y @ 16;\nint y;", "#error cpppc t.c:2(4) redeclared localized y\n"},
        BadCase{"int a;\nint b @ a;", "#error cpppc t.c:2(8) bad alias expression\n"},
        BadCase{"int a @ 16;\nint b @ a * 2;", "#error cpppc t.c:2(12) bad alias expression\n"},
        BadCase{"int a @;", "#error cpppc t.c:1(6) bad alias expression\n"},
        BadCase{"int a[0];", "#error cpppc t.c:1(6) invalid array dimension\n#error cpppc t.c:1 array size unknown a\n"},
        BadCase{"int f(void)[3];", "#error cpppc t.c:1(13) invalid function return type\n"},
        BadCase{"int a[3](void);", "#error cpppc t.c:1(13) invalid array type\n#error cpppc t.c:1 size unknown\n"},
        BadCase{"int f(int, void);", "#error cpppc t.c:1(11+4) bad void argument\n"},
        BadCase{"int f(int a, int a);", "#error cpppc t.c:1(17) redeclared proto argument a\n"},
        BadCase{"int f(int a, b);", "#error cpppc t.c:1(11) bad proto argument type\n"},
        BadCase{"int g(a, b);", "#error cpppc t.c:1(10) useless argument list\n"},
        BadCase{"enum E { A, A };", "#error cpppc t.c:1(12) redeclared enum member A\n"},
        BadCase{"enum E { A, };", "#error cpppc t.c:1(10) missing enumeration member\n"},
        BadCase{"enum E { A B };", "#error cpppc t.c:1(9) missing } in enum definition\n#error cpppc t.c:1(11) missing ;\n"},
        BadCase{"enum E e;", "#error cpppc t.c:1(5) undefined enum type\n#error cpppc t.c:1 enum size unknown\n"},
        BadCase{"struct T { int a; struct T t; };", "#error cpppc t.c:1(27) embedded usage of tag name T\n"},
        BadCase{"struct T { int a; int a; };", "#error cpppc t.c:1(22) redefined member a\n"},
        BadCase{"struct T { static int a; };", "#error cpppc t.c:1(11+6) unexpected storage class\n"},
        BadCase{"struct T { int a : 33; };", "#error cpppc t.c:1(19+2) invalid bitfield size\n#error cpppc t.c:1(23) missing member declaration\n"},
        BadCase{"struct T { float a : 3; };", "#error cpppc t.c:1(21) invalid bitfield type\n#error cpppc t.c:1(24) missing member declaration\n"},
        BadCase{"struct T { signed a : 3; };", "#error cpppc t.c:1(11+6) signed bitfield not supported\n", {"-csb"}},
        BadCase{"struct T { int a };", "#error cpppc t.c:1(15) missing ; in member definition\n"},
        BadCase{"struct T { };", "#error cpppc t.c:1(11) missing member declaration\n"},
        BadCase{"void v;", "#error cpppc t.c:1(5) invalid void declaration\n"},
        BadCase{"int;", "#error cpppc t.c:1(0+3) incomplete declaration\n"},
        BadCase{"int x = 1;\nint x = 2;", "#error cpppc t.c:2(6) redeclared external x\n"},
        BadCase{"int x int y;", "#error cpppc t.c:1(4) missing ;\n"},
        BadCase{"typedef int F(void);\nF f { }", "#error cpppc t.c:2(6) invalid function declaration\n"},
        BadCase{"int f(void) { }\nint f(void) { }", "#error cpppc t.c:2(12) redeclared function f\n"},
        BadCase{"@far @near int x;", "#error cpppc t.c:1(6+4) ambiguous space modifier\n"},
        BadCase{"int @ 3 x;", "#error cpppc t.c:1(4) bad space modifier\n"},
        BadCase{"@far int x;\n@near int x;", "#error cpppc t.c:2(10) space attribute conflict\n"}));

TEST(Warnings, ImplicitInt) {
    Scratch s;
    RunResult r = parsedump(s, "x;\nstruct S { y; } s;\n", {"-w1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "#warning cpppc t.c:1(0) implicit int type in global declaration\n"
              "#warning cpppc t.c:2(11) implicit int type in struct/union declaration\n");
}

TEST(Declarations, InlineWithC99) {
    Scratch s;
    RunResult r = parsedump(s, "static inline int f(int a) { return a; }\ninline int g;\n", {"-c99"});
    EXPECT_EQ(r.err, "#error cpppc t.c:2(11) invalid inline specifier\n");
    EXPECT_EQ(entry(r.out, "symbols", "f"), "f class 0 none flags 0x000824 attributes 0x0a00 value 0 label 0");
}

TEST(Declarations, DeepNestingIsBounded) {
    Scratch s;
    std::string source = "int " + std::string(150, '(') + "x" + std::string(150, ')') + ";\nint after;\n";
    source += "struct A { ";
    for (int i = 0; i < 150; ++i) source += "struct { ";
    source += "int a; ";
    for (int i = 0; i < 150; ++i) source += "} m; ";
    source += "};\nint last;\n";
    RunResult r = parsedump(s, source);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("#error cpppc t.c:1(103) declaration too complex\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("t.c:3(909) declaration too complex"), std::string::npos) << r.err;
    EXPECT_NE(entry(r.out, "symbols", "after"), "<after not found>");
    EXPECT_NE(entry(r.out, "symbols", "last"), "<last not found>");
}

TEST(Declarations, OffsetsWrapAt32Bits) {
    Scratch s;
    RunResult r = parsedump(s, "struct W { char c[2147483647]; int i; char d[2147483647]; int j; } w;\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entry(r.out, "tags", "i"), "i offset 2147483648 flags 0x000004 attributes 0x0000: int");
    EXPECT_EQ(entry(r.out, "tags", "j"), "j offset 4 flags 0x000004 attributes 0x0000: int");
}

TEST(Declarations, FileList) {
    // Definitions, placements and bodies are listed for the file's debug
    // records, once each; declarations are not.
    Scratch s;
    s.write("h.h", "int inheader;\n");
    s.write("t.c", "#include \"h.h\"\nextern int e;\nint d;\nint d;\nint p @ 4;\nint f(void) { return 0; }\n");
    std::vector<std::string> listed;
    cpppc::RunHooks hooks;
    hooks.nooutput = true;
    hooks.atend = [&](cpppc::Parser& P) {
        for (const cpppc::SourceFile& f : P.src.files)
            for (cpppc::Symbol* x = f.syms; x; x = cpppc::nextfilesym(x))
                listed.push_back(f.name + ":" + std::string(cpppc::nametext(x->name), cpppc::namelength(x->name)));
    };
    std::string a0 = "cpppc", a1 = "t.c";
    char* argv[] = {a0.data(), a1.data(), nullptr};
    tl::resettoolcontext();
    EXPECT_EQ(tl::runmain([&] { return cpppc::runfront(2, argv, hooks); }), 0);
    std::vector<std::string> want = {"t.c:d", "t.c:p", "t.c:f", "h.h:inheader"};
    EXPECT_EQ(listed, want);
}

}  // namespace
}  // namespace cpppctest
