// Declarations against the host compiler: struct and union layouts of the
// types that the target and the host lay out alike (char, short, int,
// unsigned, float and arrays of them, nested), the acceptance of declaration
// files without this dialect's extensions, and a bounded fuzz run of
// cpppc -o over mutated declaration files.
#include <cstdio>
#include <map>
#include <random>
#include <sstream>

#include "harness.h"

namespace cpppctest {
namespace {

// Random structs and unions S0, S1, ... whose members are the basic types,
// arrays of them, earlier aggregates and aggregates defined in place.
struct LayoutCorpus {
    std::string decls;
    std::vector<std::pair<std::string, std::vector<std::string>>> aggregates;  // "struct S3", member names

    explicit LayoutCorpus(unsigned seed, int count) {
        std::mt19937 rng(seed);
        const char* basics[] = {"char", "short", "int", "unsigned", "float", "unsigned char", "unsigned short"};
        int next = 0;
        std::function<std::string(int)> define = [&](int depth) {
            std::string kind = rng() % 4 == 0 ? "union" : "struct";
            std::string tag = kind + " S" + std::to_string(next++);
            std::vector<std::string> names;
            std::string body = tag + " {";
            int members = 1 + static_cast<int>(rng() % 6);
            for (int m = 0; m < members; ++m) {
                std::string name = "m" + std::to_string(m);
                std::string type;
                int pick = static_cast<int>(rng() % 10);
                if (pick < 6 || aggregates.empty()) {
                    type = basics[rng() % std::size(basics)];
                } else if (pick < 8 || depth > 1) {
                    type = aggregates[rng() % aggregates.size()].first;
                } else {
                    type = define(depth + 1);
                }
                std::string suffix = rng() % 3 == 0 ? "[" + std::to_string(1 + rng() % 5) + "]" : "";
                body += " " + type + " " + name + suffix + ";";
                names.push_back(name);
            }
            body += " }";
            aggregates.emplace_back(tag, names);
            return body;
        };
        for (int i = 0; i < count; ++i) decls += define(0) + ";\n";
    }

    std::string hostprogram() const {
        std::string p = "#include <stddef.h>\n#include <stdio.h>\n" + decls + "int main(void) {\n";
        for (const auto& [tag, names] : aggregates) {
            p += "  printf(\"" + tag + " size %u\\n\", (unsigned)sizeof(" + tag + "));\n";
            for (const std::string& n : names)
                p += "  printf(\"" + tag + "." + n + " %u\\n\", (unsigned)offsetof(" + tag + ", " + n + "));\n";
        }
        return p + "  return 0;\n}\n";
    }
};

// The same lines from the parser dump's tags section.
std::string dumplayouts(const std::string& dump) {
    std::string out;
    std::string tag;
    for (const std::string& l : section(dump, "tags")) {
        if (l[0] != ' ') {
            tag = l.substr(0, l.find(" size "));
            out += tag + " size " + l.substr(l.find(" size ") + 6, l.find(" align ") - l.find(" size ") - 6) + "\n";
            continue;
        }
        std::istringstream in(l);
        std::string name, word, offset;
        in >> name >> word >> offset;
        out += tag + "." + name + " " + offset + "\n";
    }
    return out;
}

TEST(HostLayouts, StructsAndUnionsAgree) {
    if (!havegcc()) GTEST_SKIP() << "host gcc not installed";
    Scratch s;
    LayoutCorpus corpus(1234, 60);
    s.write("host.c", corpus.hostprogram());
    int status = 0;
    capture("gcc -std=c89 -o host host.c 2>&1", status);
    ASSERT_EQ(status, 0) << corpus.hostprogram();
    std::string want = capture("./host", status);
    ASSERT_EQ(status, 0);
    RunResult r = parsedump(s, corpus.decls);
    ASSERT_EQ(r.status, 0) << r.err;
    // The dump lists tags oldest first, as the program prints them, but a
    // tag defined in place is made before the aggregate that holds it.
    std::map<std::string, std::string> got, expected;
    auto split = [](const std::string& text, std::map<std::string, std::string>& into) {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) into[line.substr(0, line.rfind(' '))] = line.substr(line.rfind(' ') + 1);
    };
    split(dumplayouts(r.out), got);
    split(want, expected);
    EXPECT_GT(expected.size(), 200u);
    EXPECT_EQ(got, expected) << corpus.decls;
}

// Whether gcc -std=c89 -pedantic-errors and cpppc agree about a file.
const char* const kAcceptance[] = {
    "int x;",
    "int x, *p, a[10], f(void);",
    "typedef unsigned char byte; byte b;",
    "struct S { int a; char b; }; struct S s;",
    "union U { int i; float f; } u;",
    "enum E { A, B, C } e;",
    "enum { X1, X2 };",
    "extern int ea[]; int ea[4];",
    "int f(int a, char *b); int f(int a, char *b) { return a; }",
    "int g(); int g(int x);",
    "int h(); int h(char c);",
    "static int st; static int st;",
    "extern int ex; int ex;",
    "int int y;",
    "short long z;",
    "unsigned signed u2;",
    "struct T { int a; }; struct T { int b; };",
    "struct V { int a; }; union V v;",
    "int r; char r;",
    "typedef int TT; int TT;",
    "enum F { Q, Q };",
    "int pr(int a, int a);",
    "int fa(void)[3];",
    "int af[3](void);",
    "int bad(int, void);",
    "struct W { struct W w; };",
    "struct Y { int f(void); };",
    "struct Z { int a : 3, : 0, b : 5; } zz;",
    "int arr[0];",
    "int arr2[-1];",
    "int n[10 / 0];",
    "int cm[(1, 2)];",
    "int ci[3 > 2 ? 4 : 5];",
    "int sz[sizeof(int) == 4 ? 1 : -1];",
    "char k1[sizeof(struct { char a; int b; }) == 8 ? 1 : -1];",
    "const int cc = 3;",
    "volatile const int vc;",
    "int *const cp;",
    "const const int dup;",
    "int (*fp)(int, int);",
    "int (*fpa[4])(void);",
    "char *(*(*pf)(void))[5];",
    "int old(a, b) int a; char b; { return a; }",
    "struct L { int n; struct L *next; } lst;",
    "struct M; struct M *mp;",
    "int q1 = 1, q2 = 2;",
    "static int sf(void) { return 0; }",
    "typedef int Fn(int); Fn fn1;",
    "extern struct Inc incvar;",
    "enum E2 { P1 = 1, P2, P3 = 10, P4 } e2v;",
    "struct { int a; } anon1, anon2;",
    "register int rg;",
    "auto int au;",
    "int f3(register int a);",
    "int f4(static int a);",
    "struct N { extern int a; };",
    "typedef int T2; typedef char T2;",
    "int m1 = 1; int m1 = 2;",
    "struct A1 { int a; int a; };",
    "struct B1 { float f : 3; };",
    "struct C1 { int b : 33; };",
    "enum G { G1 = sizeof(int), G2 = G1 * 2 }; char g[G2 == 8 ? 1 : -1];",
    "int x5; extern int x5;",
    "int fn5(void); int fn5(void) { return 1; } int fn5(void);",
    "int dd(void) { return 0; } int dd(void) { return 1; }",
    "int u[3]; int u[4];",
    "int (*pp)[3]; int (*pp)[3];",
    "typedef struct { int a; } TS; TS ts1; struct TS2 { TS inner; } ts2;",
};

TEST(HostAcceptance, SameVerdictAsGcc) {
    if (!havegcc()) GTEST_SKIP() << "host gcc not installed";
    Scratch s;
    // One gcc run over all files; a file it rejects has an error line.
    std::string files;
    for (size_t i = 0; i < std::size(kAcceptance); ++i) {
        std::string name = "a" + std::to_string(i) + ".c";
        s.write(name, std::string(kAcceptance[i]) + "\n");
        files += " " + name;
    }
    int status = 0;
    std::string gcc = "\n" + capture("gcc -fsyntax-only -std=c89 -pedantic-errors" + files + " 2>&1", status);
    for (size_t i = 0; i < std::size(kAcceptance); ++i) {
        std::string name = "a" + std::to_string(i) + ".c";
        bool gccaccepts = true;
        for (size_t at = gcc.find("\n" + name + ":"); at != std::string::npos; at = gcc.find("\n" + name + ":", at + 1)) {
            size_t end = gcc.find('\n', at + 1);
            if (gcc.substr(at, end - at).find("error:") != std::string::npos) gccaccepts = false;
        }
        RunResult r = runcpppc({"-o", "t.ir", name});
        EXPECT_EQ(r.status == 0, gccaccepts) << kAcceptance[i] << "\n" << r.err;
        EXPECT_TRUE(r.status == 0 || r.status == 1);
    }
}

// Random edits of declaration files: cpppc -o ends with 0 or 1 and never
// crashes or hangs (the test build runs under the sanitizers).
TEST(Fuzz, DeclarationsRandomEdits) {
    Scratch s;
    std::mt19937 rng(99);
    const std::string alphabet = "(){}[];,*@:=0123456789abxyz_ \n\t.-+&|!~<>?/#'\"\\";
    const std::string words[] = {
        "struct ", "union ", "enum ", "typedef ", "static ", "extern ", "const ", "volatile ", "int ", "char ",
        "long ", "unsigned ", "void ", "@far ", "@near ", "@packed ", "@x ", "sizeof(", "#pragma space ",
        "#pragma section [", "#pragma attribute ", "(*", ")(", "[3]", ":3", "...", "= {", "@ 0x100", "register ",
        "\n#pragma space * @far\n", "\n#pragma section const {k}\n", "\n#pragma attribute @far int buf[]\nint buf[4];\n",
        "struct Q { int a : 3; struct Q *q; union { int i; char c; }; }"};
    for (int i = 0; i < 800; ++i) {
        std::string text;
        for (int k = 0; k < 4; ++k) text += kAcceptance[rng() % std::size(kAcceptance)] + std::string("\n");
        for (int round = 0; round < 2; ++round) text = mutate(rng, text, alphabet, words);
        std::vector<std::string> opts = {"-o", "t.ir"};
        if (rng() % 2) opts.push_back("-c99");
        if (rng() % 3 == 0) opts.push_back("-sa");
        if (rng() % 3 == 0) opts.push_back("-m0x3030");
        s.write("t.c", text);
        opts.push_back("t.c");
        RunResult r = runcpppc(opts);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << text;
    }
}

}  // namespace
}  // namespace cpppctest
