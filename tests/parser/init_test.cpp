// Initializers through the parser dump: the data records of static data
// (every gap an explicit reserve), local initializers as assignments and
// hidden static copies, the messages of bad initializers, and the bytes the
// records describe against the cross compiler's .data section.
#include <cmath>
#include <cstring>
#include <sstream>

#include "harness.h"

namespace cpppctest {
namespace {

// The writer lines of one object: from its data label to its end of data.
std::string datarecords(const std::string& dump, const std::string& name) {
    std::vector<std::string> lines = section(dump, "writer");
    std::string out;
    bool inside = false;
    for (const std::string& l : lines) {
        if (l == "putdatalabel " + name) {
            inside = true;
            continue;
        }
        if (!inside) continue;
        if (l == "putenddata") break;
        out += (out.empty() ? "" : "; ") + l;
    }
    return out;
}

struct DataCase {
    std::string title;
    std::string source;
    std::vector<std::string> options;
    std::string name;
    std::string records;
    std::string err;  // a message expected on the error stream, "" for none
};

void PrintTo(const DataCase& c, std::ostream* os) { *os << c.title; }

class DataRecords : public testing::TestWithParam<DataCase> {};

TEST_P(DataRecords, Logged) {
    Scratch s;
    const DataCase& c = GetParam();
    RunResult r = parsedump(s, c.source, c.options);
    EXPECT_EQ(datarecords(r.out, c.name), c.records) << c.source;
    if (c.err.empty())
        EXPECT_EQ(r.err, "") << c.source;
    else
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.source << "\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataRecords,
    testing::Values(
        DataCase{"char[5] with 4 characters: string data, zero implied", "char s[5] = \"abcd\";", {}, "s",
                 "putbytes 4 \"abcd\"", ""},
        DataCase{"char[5] with 5 characters: no terminating zero", "char s[5] = \"abcde\";", {}, "s",
                 "putvalue 0x61 1; putvalue 0x62 1; putvalue 0x63 1; putvalue 0x64 1; putvalue 0x65 1", ""},
        DataCase{"char[5] with 6 characters", "char s[5] = \"abcdef\";", {}, "s", "putreserve 5", "string too long"},
        DataCase{"char[] takes its count from the string", "char s[] = \"abc\"; int n = sizeof s;", {}, "n",
                 "putvalue 0x00000004 4", ""},
        DataCase{"char[8] with a short string reserves the rest", "char s[8] = {\"ab\"};", {}, "s",
                 "putbytes 2 \"ab\"; putreserve 5", ""},
        DataCase{"int[5] with 3 values", "int a[5] = {1, 2, 3};", {}, "a",
                 "putvalue 0x00000001 4; putvalue 0x00000002 4; putvalue 0x00000003 4; putreserve 8", ""},
        DataCase{"no reserve of nothing", "int a[3] = {1, 2, 3,};", {}, "a",
                 "putvalue 0x00000001 4; putvalue 0x00000002 4; putvalue 0x00000003 4", ""},
        DataCase{"char and int", "struct { char c; int i; } x = {1, 2};", {}, "x",
                 "putvalue 0x01 1; putreserve 3; putvalue 0x00000002 4", ""},
        DataCase{"bit-fields in one unit", "struct { int a:3; int b:5; } x = {5, 1};", {}, "x", "putvalue 0x0000000d 4",
                 ""},
        DataCase{"bit-fields from the top with -rb", "struct { int a:3; int b:5; } x = {5, 1};", {"-rb"}, "x",
                 "putvalue 0xa1000000 4", ""},
        DataCase{"bit-fields masked, then a plain member", "struct { int a:2; char c; } x = {7, 9};", {}, "x",
                 "putvalue 0x00000003 4; putvalue 0x09 1; putreserve 3", ""},
        DataCase{"brace elision in an array of structs", "struct p { int a, b; } x[2] = {1, 2, 3, 4};", {}, "x",
                 "putvalue 0x00000001 4; putvalue 0x00000002 4; putvalue 0x00000003 4; putvalue 0x00000004 4", ""},
        DataCase{"a short tail of an elided struct", "struct p { int a, b; } x[2] = {1, 2, 3};", {}, "x",
                 "putvalue 0x00000001 4; putvalue 0x00000002 4; putvalue 0x00000003 4; putreserve 4", ""},
        DataCase{"union: first member, the rest reserved", "union { char c; int i; } u = {7};", {}, "u",
                 "putvalue 0x07 1; putreserve 3", ""},
        DataCase{"char values reduced and sign-extended", "char c = 300; unsigned short h = -1;", {}, "c",
                 "putvalue 0x2c 1", ""},
        DataCase{"3.5e9 in an unsigned int", "unsigned int u = 3.5e9;", {}, "u", "putvalue 0xd09dc300 4", ""},
        DataCase{"-2.7 in an int", "int i = -2.7;", {}, "i", "putvalue 0xfffffffe 4", ""},
        DataCase{"a huge value saturates", "int i = 1e30;", {"-w1"}, "i", "putvalue 0x7fffffff 4", "value out of range"},
        DataCase{"below the range of unsigned char", "unsigned char c = -5.0;", {"-w1"}, "c", "putvalue 0x00 1",
                 "value out of range"},
        DataCase{"integer in a float", "float f = 3; double d = 4294967295u;", {}, "f", "putdouble 3 4", ""},
        DataCase{"unsigned read as unsigned", "double d = 4294967295u;", {}, "d", "putdouble 4294967295 8", ""},
        DataCase{"address constants", "int a[4]; int *p = &a[2];", {}, "p", "putaddress &a+8:ptr(int) 2", ""},
        DataCase{"far address in a near pointer", "int @far f; int *p = &f;", {}, "p", "putreserve 2",
                 "invalid pointer initializer"},
        DataCase{"null pointer", "int *p = 0;", {}, "p", "putvalue 0x0000 2", ""},
        DataCase{"a pointer value for an int", "int a; int i = &a;", {}, "i", "putreserve 4", "invalid initializer"},
        DataCase{"not a constant", "int a; int i = a;", {}, "i", "putreserve 4", "invalid initializer expression"},
        DataCase{"too many elements", "int a[2] = {1, 2, 3};", {}, "a", "putvalue 0x00000001 4; putvalue 0x00000002 4",
                 "too many initializers"},
        DataCase{"too many members", "struct { char c; } x = {1, 2};", {}, "x", "putvalue 0x01 1", "too many initializers"},
        DataCase{"braces required", "int a[2] = 1;", {}, "a", "putvalue 0x00000001 4; putreserve 4", "missing {"},
        DataCase{"empty braces", "int a[2] = {};", {}, "a", "putreserve 8", "missing initializer"},
        DataCase{"a const double keeps its literal for replacement", "const double d = 1.5;", {}, "d", "putdouble 1.5 8",
                 ""},
        DataCase{"a local array from a hidden const static", "void f(void) { int a[] = {1, 2}; }", {}, "a",
                 "putvalue 0x00000001 4; putvalue 0x00000002 4", ""},
        DataCase{"a static local", "int f(void) { static int s = 5; return s; }", {}, "s", "putvalue 0x00000005 4", ""}));

TEST(Initializers, FloatLiteralWrittenAfterItsObject) {
    Scratch s;
    RunResult r = parsedump(s, "const float f[2] = {1.5, 2};");
    std::vector<std::string> w = section(r.out, "writer");
    std::vector<std::string> expect = {"putdatalabel f", "putdouble 1.5 4", "putdouble 2 4", "putenddata"};
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(w.begin(), w.begin() + 4), expect);
    // each floating value's own data object follows, never inside f's
    EXPECT_NE(r.out.find("putlitlabel"), std::string::npos);
}

TEST(Initializers, LocalCopyIsConstAndAssigned) {
    Scratch s;
    RunResult r = parsedump(s, "void f(void) { int a[] = {1, 2}; struct { int x; } b = {3}; }", {});
    EXPECT_EQ(r.err, "");
    std::vector<std::string> fn = section(r.out, "functions");
    std::string text;
    for (const std::string& l : fn) text += l + "\n";
    EXPECT_NE(text.find("local a class 151 flags 0x040066"), std::string::npos) << text;
    EXPECT_NE(text.find("expr: (= struct ? a:struct ? a:struct ?)"), std::string::npos) << text;
    // without -sa the copies are const
    EXPECT_NE(r.out.find("putdatalabel a"), std::string::npos);
}

// The data records turned into the bytes they stand for (big-endian).
std::vector<unsigned char> bytesof(const std::string& recs) {
    std::vector<unsigned char> out;
    size_t pos = 0;
    while (pos < recs.size()) {
        size_t end = recs.find("; ", pos);
        if (end == std::string::npos) end = recs.size();
        std::string r = recs.substr(pos, end - pos);
        pos = end + 2;
        char word[32] = {};
        if (r.rfind("putvalue ", 0) == 0) {
            unsigned long v = 0;
            int size = 0;
            std::sscanf(r.c_str(), "putvalue %lx %d", &v, &size);
            for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
        } else if (r.rfind("putreserve ", 0) == 0) {
            int n = 0;
            std::sscanf(r.c_str(), "putreserve %d", &n);
            out.insert(out.end(), static_cast<size_t>(n), 0);
        } else if (r.rfind("putdouble ", 0) == 0) {
            double d = 0;
            int size = 0;
            std::sscanf(r.c_str(), "putdouble %lf %d", &d, &size);
            unsigned char b[8];
            if (size == 4) {
                float f = static_cast<float>(d);
                std::memcpy(b, &f, 4);
            } else {
                std::memcpy(b, &d, 8);
            }
            for (int i = size - 1; i >= 0; --i) out.push_back(b[i]);
        } else if (r.rfind("putbytes ", 0) == 0) {
            size_t q = r.find('"');
            for (size_t i = q + 1; i + 1 < r.size(); ++i) {
                if (r[i] == '\\') {
                    out.push_back(static_cast<unsigned char>(std::stoi(r.substr(i + 1, 3), nullptr, 8)));
                    i += 3;
                } else {
                    out.push_back(static_cast<unsigned char>(r[i]));
                }
            }
            out.push_back(0);
        } else {
            std::sscanf(r.c_str(), "%31s", word);
            out.push_back(0xEE);  // a record the oracle cannot check
        }
    }
    return out;
}

// Each initialized object against the cross compiler's .data bytes.
TEST(Initializers, BytesAgreeWithCrossCompiler) {
    if (std::system("powerpc-linux-gnu-gcc --version > /dev/null 2>&1") != 0 ||
        std::system("powerpc-linux-gnu-objcopy --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "powerpc-linux-gnu-gcc not installed";
    const std::string corpus[] = {
        "char x = -3;",
        "unsigned char x = 200;",
        "short x = -2;",
        "unsigned short x = 65535;",
        "int x = -123456;",
        "unsigned int x = 3000000000u;",
        "long x = 0x12345678;",
        "float x = 1.25f;",
        "float x = -3;",
        "double x = 3.141592653589793;",
        "double x = -1e300;",
        "int x[5] = {1, 2, 3};",
        "short x[3][2] = {{1}, {2, 3}, {4}};",
        "char x[6] = \"abc\";",
        "char x[3] = \"abc\";",
        "char x[] = \"a\\n\\001z\";",
        "unsigned char x[4] = {255, 1};",
        "struct { char c; int i; } x = {1, 2};",
        "struct { char c; short s; char d; } x = {1, -2, 3};",
        "struct { short s; char c[3]; int i; } x = {7, \"ab\", 9};",
        "struct { char c; float f; } x = {4, 2.5f};",
        "struct s { char a; int b; } x[2] = {1, 2, 3, 4};",
        "struct { int a; struct { char b; short c; } in; char d; } x = {1, {2, 3}, 4};",
        "union { char c; int i; } x = {9};",
        "union { short s; float f; } x = {-1};",
        "union { int i; char c; } x[2] = {{1}, {2}};",
        "float x[3] = {1, 2.5, -0.0f};",
    };
    // one unit, object i named xi; nm tells where each one lies in .data
    std::string unit;
    for (size_t i = 0; i < std::size(corpus); ++i) {
        std::string src = corpus[i];
        src.replace(src.rfind(" x"), 2, " x" + std::to_string(i));
        unit += src + "\n";
    }
    Scratch s;
    s.write("o.c", unit);
    int status = 0;
    std::string cmd =
        "powerpc-linux-gnu-gcc -c -G 0 -O0 -fno-toplevel-reorder -o o.o o.c 2>&1 && "
        "powerpc-linux-gnu-objcopy -O binary -j .data o.o o.bin && powerpc-linux-gnu-nm -S --defined-only o.o";
    std::string symbols = capture(cmd, status);
    ASSERT_EQ(status, 0) << symbols;
    std::ifstream in("o.bin", std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RunResult r = parsedump(s, unit);
    ASSERT_EQ(r.status, 0) << r.err;
    int n = 0;
    std::istringstream lines(symbols);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long at = 0, size = 0;
        char kind = 0;
        char name[64] = {};
        if (std::sscanf(line.c_str(), "%lx %lx %c %63s", &at, &size, &kind, name) != 4 || name[0] != 'x') continue;
        size_t i = std::stoul(name + 1);
        ASSERT_LE(at + size, data.size()) << line;
        std::vector<unsigned char> want(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + size));
        std::string recs = datarecords(r.out, name);
        EXPECT_EQ(bytesof(recs), want) << corpus[i] << "\n" << recs;
        ++n;
    }
    EXPECT_EQ(n, static_cast<int>(std::size(corpus)));
}

}  // namespace
}  // namespace cpppctest
