// C programs compiled end to end (cpppc, cgppc, cappc through qvbuild) and
// run on the simulator. Each stores its answer in `result`; the expected
// values are what the host compiler's build of the same source gives (int
// is 32 bits on both), and HostCompilerAgrees checks them again whenever a
// host C compiler is at hand.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "rig.h"

namespace {

struct CProgram {
    const char* name;
    const char* source;
    int32_t result;
    const char* option = nullptr;  // for qvppc, when the program needs one
};

// Locals whose lives do not overlap: in shared slots, and in registers.
const char* const kDisjointLives =
     "int result;\n"
     "static int twice(int v) { return v * 2 + 1; }\n"
     "static int phases(int n) {\n"
     "  int a, b, c, d, e, s = 0;\n"
     "  char k;\n"
     "  a = n + 1; s += twice(a);\n"
     "  b = a * 3; s += twice(b);\n"
     "  c = s - b; s += c;\n"
     "  k = (char)(c & 0x7F); s += k;\n"
     "  d = n; while (d > 0) { s += d; d -= 2; }\n"
     "  e = (d = 4) + n; s += e + d;\n"
     "  { int in1 = s & 15; s += twice(in1); }\n"
     "  { int in2 = s & 7; { int in3 = in2 + 1; s += in3 * in2; } s += in2; }\n"
     "  return s;\n"
     "}\n"
     "static int cond(int x) {\n"
     "  int p, q, r = 0;\n"
     "  p = x * 5;\n"
     "  if (x > 2 && (q = twice(x)) > 6) r = q; else r = p;\n"
     "  q = 3;\n"
     "  return r + q + p;\n"
     "}\n"
     "int main(void) {\n"
     "  int i, s = 0;\n"
     "  for (i = 0; i < 6; i++) s = s * 3 + phases(i) + cond(i);\n"
     "  result = s;\n"
     "  return 0;\n"
     "}\n";

// Narrow parameters take what the caller passed as an int and must narrow
// it themselves, in memory and in registers alike.
const char* const kNarrowParams =
    "unsigned result;\n"
    "static unsigned g(unsigned short c) { return c + 1u; }\n"
    "static int s8(signed char c) { return c - 1; }\n"
    "static unsigned f(unsigned a, unsigned char b, unsigned short c) {\n"
    "  unsigned char u = a; unsigned short w = 7; signed char sc = a; short ss = 0;\n"
    "  u += 200; w = w * c + a; sc = sc + 100; ss = c * 3;\n"
    "  return u + w + sc + ss + b;\n"
    "}\n"
    "int main(void) { result = g(99999) + s8(383) * 7 + f(99999, 300, 70000) + f(250, 511, 65535); return 0; }\n";

const CProgram kPrograms[] = {
    {"calls_and_a_for_loop",
     "int result;\n"
     "int add(int a, int b) { return a + b; }\n"
     "int main(void) { int i, s = 0; for (i = 0; i < 10; i++) s = add(s, i); result = s; return s; }\n",
     45},
    {"recursion",
     "int result;\n"
     "static int fib(int n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n"
     "int main(void) { result = fib(15); return 0; }\n",
     610},
    {"while_do_and_arrays",
     "int result;\nint a[10];\n"
     "int main(void) {\n"
     "  int i, s = 0;\n"
     "  for (i = 0; i < 10; i++) a[i] = i * i;\n"
     "  i = 0;\n"
     "  while (i < 10) { if (a[i] & 1) s += a[i]; else s -= 1; i++; }\n"
     "  do { s = s * 3 + 1; } while (s < 1000);\n"
     "  result = s; return 0;\n}\n",
     1444},
    {"switches_sparse_ranges_and_tables",
     "int result;\n"
     "int classify(int x) {\n"
     "  switch (x) { case 1: return 10; case 2: case 3: case 4: return 20; case 7: return 30;\n"
     "  case 100: return 40; default: return -1; }\n}\n"
     "int dense(int x) {\n"
     "  switch (x) { case 0: return 5; case 1: return 6; case 2: return 7; case 3: return 8; case 4: return 9;\n"
     "  case 5: return 10; case 6: return 11; case 8: return 12; }\n"
     "  return 0;\n}\n"
     "int main(void) { int i, s = 0; for (i = -2; i < 110; i++) s = s * 7 + classify(i) + dense(i);\n"
     "  result = s; return 0; }\n",
     -2092768512},
    {"structs_pointers_and_narrow_types",
     "int result;\nstruct pt { int x; short y; char c; };\nunsigned char buf[20];\n"
     "int sum(struct pt *p, int n) { int s = 0; while (n-- > 0) { s += p->x * p->y + p->c; p++; } return s; }\n"
     "int main(void) {\n"
     "  struct pt v[3]; int i; char c = -5; unsigned u = 3000000000u;\n"
     "  for (i = 0; i < 3; i++) { v[i].x = i + 1; v[i].y = (short)(i * 100 - 50); v[i].c = c; }\n"
     "  for (i = 0; i < 20; i++) buf[i] = (unsigned char)(i * 37);\n"
     "  result = sum(v, 3) + buf[7] + (int)(u / 7 % 1000) + (i && c < 0) + (u > 5 || i == 3);\n"
     "  return 0;\n}\n",
     918},
    {"ten_arguments_break_and_continue",
     "int result;\n"
     "int many(int a, int b, int c, int d, int e, int f, int g, int h, int i, int j)\n"
     "{ return a - b + c * d - e + f * g - h + i * j; }\n"
     "long lmul(long a, long b) { return a * b / 3; }\n"
     "int main(void) {\n"
     "  int x = many(1, 2, 3, 4, 5, 6, 7, 8, 9, 10); int k; int s = 0;\n"
     "  for (k = 0; k < 20; k++) { if (k == 3) continue; if (k > 15) break; s += k; }\n"
     "  result = x + s + (int)lmul(1000, 77); return 0;\n}\n",
     25913},
    {"statics_goto_nested_loops_and_signed_division",
     "int result;\nstatic int table[] = {3, 1, 4, 1, 5, 9, 2, 6};\n"
     "int counter(void) { static int n = 10; return n++; }\n"
     "int main(void) {\n"
     "  int i, j, s = 0; short sh = -300; unsigned char uc = 250; unsigned int u = 0xF0000000u; int *p = table;\n"
     "  for (i = 0; i < 8; i++)\n"
     "    for (j = 0; j < 8; j++) { if (j > i) break; if ((i + j) % 3 == 0) continue; s += p[i] * table[j]; }\n"
     "  uc += 10;\n"
     "  s += uc + sh / 7 + (int)(u >> 28) + (-17 >> 2) + (-17 / 4) + (-17 % 4);\n"
     "  i = 0;\n"
     "again:\n"
     "  s += counter();\n"
     "  if (++i < 3) goto again;\n"
     "  result = s; return 0;\n}\n",
     386},
    {"doubles_and_floats",
     "int result;\n"
     "double scale(double x, int k) { return x * k + 0.5; }\n"
     "int main(void) { double d = scale(2.25, 3); float f = 1.5f; f = f * 4;\n"
     "  result = (int)(d * 10) + (int)f; return 0; }\n",
     78},
    {"inline_calls_in_a_conditional",
     "int result;\n"
     "static inline int twice(int v) { int t = v * 2; if (t > 10) return t - 1; return t; }\n"
     "int main(void) { int i, s = 0;\n"
     "  for (i = 0; i < 8; i++) s += twice(i) + (i & 1 ? twice(s & 3) : 5);\n"
     "  result = s; return 0; }\n",
     84, "-p-c99"},
    {"many_locals_narrow_parameters_doubles_and_sibling_blocks",
     "int result;\n"
     "static int mix(int a, int b) { return (int)(((unsigned)a * 31u + (unsigned)b) & 0xFFFFFFu); }\n"
     "int spill(unsigned char c, short s, int k, char d) {\n"
     "  int a0 = c + 1, a1 = s - 2, a2 = k * 3, a3 = d + 4, a4 = a0 ^ a1, a5 = a2 | a3, a6 = a4 + a5;\n"
     "  int a7 = 7, a8 = 8, a9 = 9, b0 = 10, b1 = 11, b2 = 12, b3 = 13, b4 = 14, b5 = 15, b6 = 16;\n"
     "  int b7 = 17, b8 = 18, b9 = 19, c0 = 20, c1 = 21;\n"
     "  int i;\n"
     "  for (i = 0; i < 5; i++) {\n"
     "    a0 = mix(a0, a1); a1 = mix(a1, a2); a2 = mix(a2, a3); a3 = mix(a3, a4); a4 = mix(a4, a5);\n"
     "    a5 = mix(a5, a6); a6 = mix(a6, a7); a7 = mix(a7, a8); a8 = mix(a8, a9); a9 = mix(a9, b0);\n"
     "    b0 = mix(b0, b1); b1 = mix(b1, b2); b2 = mix(b2, b3); b3 = mix(b3, b4); b4 = mix(b4, b5);\n"
     "    b5 = mix(b5, b6); b6 = mix(b6, b7); b7 = mix(b7, b8); b8 = mix(b8, b9); b9 = mix(b9, c0);\n"
     "    c0 = mix(c0, c1); c1 = mix(c1, i);\n"
     "  }\n"
     "  return a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + b0 + b1 + b2 + b3 + b4 + b5 + b6 + b7 + b8 + b9 + c0 + c1;\n"
     "}\n"
     "double dsum(double x, int n) { double acc = 0.5; int j; for (j = 0; j < n; j++) { acc = acc * 0.5 + x; x = x - 1.0; } return acc; }\n"
     "int blocks(int n) {\n"
     "  int total = 0;\n"
     "  { int p = n * 2; total += mix(p, 1); }\n"
     "  { int q = n * 3; { int r = q + 1; total += mix(r, q); } total += q; }\n"
     "  { short t = (short)n; char u = (char)(n + 1); total += t * u; }\n"
     "  return total;\n"
     "}\n"
     "int main(void) {\n"
     "  int s = spill(200, -300, 7, -5);\n"
     "  int z = (int)(dsum(3.25, 6) * 1000);\n"
     "  result = s + z + blocks(9) + blocks(-4);\n"
     "  return 0;\n"
     "}\n",
     193285497},
    {"stores_in_conditions_loops_switches_gotos_and_tail_calls",
     "int result;\n"
     "int g1, g2;\n"
     "static int side(int v) { g1 += v; return v & 1; }\n"
     "static int pick(int a, int b, int c) {\n"
     "  int x = 1, y = 2, z;\n"
     "  if (a && (x = side(b))) y = x + 10;\n"
     "  z = c ? (y = side(c) + 3) : 4;\n"
     "  return x * 100 + y * 10 + z;\n"
     "}\n"
     "static int loops(int n) {\n"
     "  int i = 0, last = -1, keep = 7, t;\n"
     "  do { t = keep; keep = i * 2; last = t; i++; } while (i < n);\n"
     "  while (n > 0) { int w = n & 3; if (w == 2) { n -= 3; continue; } last += w; n--; }\n"
     "  return last + keep;\n"
     "}\n"
     "static int sw(int v) {\n"
     "  int r = 0, a = 5, b;\n"
     "  switch (v) {\n"
     "  case 1: r = a; /* fall through */\n"
     "  case 2: b = r + 1; r = b * 2; break;\n"
     "  case 7: a = 9; r = a + 1; break;\n"
     "  default: r = -1;\n"
     "  }\n"
     "  return r + a;\n"
     "}\n"
     "static int jumps(int n) {\n"
     "  int acc = 0, k = 0, d;\n"
     "again:\n"
     "  d = k * 3;\n"
     "  acc += d;\n"
     "  if (++k < n) goto again;\n"
     "  d = 99;\n"
     "  return acc;\n"
     "}\n"
     "static int disjoint(int n) {\n"
     "  int a, b, c, s = 0;\n"
     "  a = n + 1; s += a * 2;\n"
     "  b = n + 2; s += b * 3;\n"
     "  c = (b = 5) + n; s += c;\n"
     "  s += side(s);\n"
     "  return s + b;\n"
     "}\n"
     "void tail(int v) { g2 = g2 * 3 + v; }\n"
     "void calltail(int v) { int q = v + 1; tail(q); }\n"
     "int main(void) {\n"
     "  int i, s = 0;\n"
     "  for (i = 0; i < 4; i++) s = s * 7 + pick(i & 1, i, i & 2) + loops(i + 3) + sw(i * 3 - 2) + sw(i) + jumps(i + 1) + disjoint(i);\n"
     "  calltail(4); calltail(5);\n"
     "  result = s + g1 + g2;\n"
     "  return 0;\n"
     "}\n",
     70804},
    {"locals_with_disjoint_lives_share_slots", kDisjointLives, 23553, "-p-a2"},
    {"locals_with_disjoint_lives_share_registers", kDisjointLives, 23553},
    {"narrow_parameters_in_memory", kNarrowParams, 49846, "-p-a2"},
    {"narrow_parameters_in_registers", kNarrowParams, 49846},
    {"switches_on_constants_with_one_case_or_none_and_narrow_register_parameters",
     "int result;\n"
     "int g;\n"
     "static int one(int x) { int r = 1; switch (x) { case 3: r = 30; break; } return r; }\n"
     "static int oned(int x) { int r = 2; switch (x) { case -4: r += 40; default: r += 5; } return r; }\n"
     "static int konst(void) { int r = 0; switch (2) { case 1: r = 10; case 2: r += 20; case 3: r += 30; break; case 4: r = 99; } return r; }\n"
     "static int none(int x) { int r = 3; switch (x) { case 7: break; } switch (x + 1) { default: r += x; } return r; }\n"
     "static int jumpin(int x) { int r = 0; switch (x) { r = 100; inside: r += 1; break; case 1: r += 10; if (r < 20) goto inside; } return r; }\n"
     "static int narrow(unsigned char c, short h, signed char d, double w) {\n"
     "  int i, t = 0;\n"
     "  for (i = 0; i < 5; i++) { t += c * h - d; c += 100; h -= 20000; d -= 50; w = w * 1.5; }\n"
     "  return t + (int)w;\n"
     "}\n"
     "int main(void) {\n"
     "  int i, s = 0;\n"
     "  for (i = -5; i < 6; i++) s = s * 5 + one(i) + oned(i) + konst() + none(i) + jumpin(i);\n"
     "  result = s + narrow(200, 30000, -100, 2.0) + narrow(3, -4, 5, 0.5);\n"
     "  return 0;\n"
     "}\n",
     765080996},
    {"counted_loops_reduced_addresses_and_wrapping_chars",
     "int result;\n"
     "int a[17];\n"
     "unsigned char buf[256];\n"
     "short sh[10];\n"
     "struct pt { int x; short y; char c; } v[6];\n"
     "int g;\n"
     "int sum(int *p, int n) { int i, s = 0; for (i = 0; i < n; i++) s += p[i]; return s; }\n"
     "int down(unsigned n) { unsigned k; int s = 0; for (k = n; k != 0; k--) s += 3; return s + (int)k; }\n"
     "int back(int n) { int i, s = 0; for (i = n; i != 0; i -= 1) s = s * 3 + 1; return s; }\n"
     "int main(void) {\n"
     "  int i, j, s = 0;\n"
     "  for (i = 5; i < 3; i++) s += i;\n"
     "  s += i;\n"
     "  for (i = 0; i < 16; i += 1) a[i] = i * 3 + 1;\n"
     "  s += i;\n"
     "  for (i = 0; i < 15; i++) s += a[i] * 2 + a[i + 1];\n"
     "  for (i = 0; i < 16; i++) a[i] = a[i] - 1;\n"
     "  s = s * 7 + sum(a, 16) + sum(a, 0) + sum(a, -3) + down(5) + down(0) + back(4);\n"
     "  { unsigned char c; for (c = 250; c != 10; c++) buf[c] = 1; s += c; }\n"
     "  for (i = 0; i < 256; i++) s += buf[i] * (i & 7);\n"
     "  for (i = 9; i >= 0; i--) { sh[i] = (short)(i * 1000 - 3000); s = s * 3 + sh[i]; }\n"
     "  for (i = 0; i < 6; i++) { v[i].x = i; v[i].y = (short)(i * i); v[i].c = (char)(i - 3); }\n"
     "  for (i = 5; i > 0; --i) s += v[i].x * v[i].y + v[i].c;\n"
     "  for (g = 0; g < 5; g++) a[g] += g;\n"
     "  s += g + a[4];\n"
     "  for (i = 0, j = 10; i < 10; i++) { buf[i] = (unsigned char)j; buf[i + 1] = 2; buf[i + 2] = 3; j--; }\n"
     "  for (i = 0; i < 12; i++) s += buf[i];\n"
     "  for (i = 100; i <= 103; i++) s += i;\n"
     "  for (i = 3; i >= 3; i--) s += i;\n"
     "  for (i = 7; i == 7; i++) s += 100;\n"
     "  s += i;\n"
     "  result = s; return 0;\n"
     "}\n",
     627280600},
    {"unrolled_loops",
     "#pragma unroll 100\n"
     "int result;\n"
     "int a[8] = {5, 6, 7, 8, 9, 10, 11, 12};\n"
     "int four(void) { int i, s = 0; for (i = 0; i < 4; i++) s += a[i] * i; return s * 10 + i; }\n"
     "int more(void) { int i, j, s = 0; for (j = 2, i = 0; i < 3; i++) s += j * a[i] + i; return s + i + j; }\n"
     "int downs(void) { int i, s = 0; for (i = 6; i > 2; i--) s = s * 2 + a[i]; return s; }\n"
     "int zero(void) { int i, s = 1; for (i = 4; i < 4; i++) s += 9; return s + i; }\n"
     "int nested(void) { int i, j, s = 0; for (i = 0; i < 3; i++) for (j = 0; j < 2; j++) s += a[i + j] * (i + 1); return s + i * 100 + j; }\n"
     "int chars(void) { signed char c; int s = 0; for (c = -2; c < 2; c++) s = s * 5 + c; return s + c; }\n"
     "int main(void) { result = four() + more() * 1000 + downs() * 7 + zero() + nested() * 3 + chars(); return 0; }\n",
     46407},
    {"hoisting_and_while_to_for",
     "int result;\n"
     "int a[20];\n"
     "int g = 3;\n"
     "int bump(void) { g = g + 1; return g; }\n"
     "int main(void) {\n"
     "  int k = 0, s = 0, n = 4, x, q0 = 1, *q = &q0, m = 0, i, t = 0;\n"
     "  do { k = *q; *q = k + 1; s += k; } while (s < 100);\n"
     "  s = s * 3 + k;\n"
     "  do { m = n * 2; s += m; } while (s < 400);\n"
     "  for (i = 0; i < 10; i++) { k = n * 3; t += k + i; }\n"
     "  for (i = 0; i < 5; i++) { k = g; t += k + bump(); }\n"
     "  x = 0;\n"
     "  while (x < 10) { a[x] = x * x; x += 1; }\n"
     "  x = 0;\n"
     "  while (x < 20) { if (x & 1) { x += 1; continue; } a[x] += 2; x += 1; }\n"
     "  for (i = 0; i < 20; i++) t += a[i];\n"
     "  i = 0;\n"
     "  do { int w = i * 2; t += w; i++; } while (i < 5);\n"
     "  result = s * 1000 + t + x + k + m; return 0;\n"
     "}\n",
     401580},
};

class CPrograms : public rt::RuntimeTest, public ::testing::WithParamInterface<CProgram> {};

TEST_P(CPrograms, RunOnTheSimulatorAsTheHostCompilerRunsThem) {
    const CProgram& c = GetParam();
    write("main.c", c.source);
    std::vector<std::string> args{"-o", path("prog.o"), path("main.c")};
    if (c.option) args.insert(args.begin(), c.option);
    ASSERT_EQ(qvbuild(args), 0) << errors;
    ASSERT_EQ(vekrun({"-p", "result", path("prog.o")}), 0) << errors << host.out;
    std::string want = "\nresult = " + std::to_string(c.result) + "\n";
    EXPECT_NE(host.out.find(want), std::string::npos) << host.out;
}

INSTANTIATE_TEST_SUITE_P(Table, CPrograms, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<CProgram>& i) { return std::string(i.param.name); });

// The recorded results are the host compiler's.
class HostCompiler : public rt::RuntimeTest {};

TEST_F(HostCompiler, AgreesWithTheRecordedResults) {
    if (std::system("cc --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no host C compiler";
    write("harness.c",
          "#undef main\n#include <stdio.h>\nextern int result;\nint realmain(void);\n"
          "int main(void) { realmain(); printf(\"%d\\n\", result); return 0; }\n");
    // all compiled at once, then run one by one
    std::string cmd = "(";
    size_t n = 0;
    for (const CProgram& c : kPrograms) {
        std::string k = std::to_string(n++);
        write("p" + k + ".c", c.source);
        cmd += "cc -w -O1 -Dmain=realmain -o " + path("p" + k) + " " + path("p" + k + ".c") + " " + path("harness.c") +
               " & ";
    }
    cmd += "wait) >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    n = 0;
    for (const CProgram& c : kPrograms) {
        SCOPED_TRACE(c.name);
        std::string exe = path("p" + std::to_string(n++));
        std::string out;
        if (FILE* f = popen(exe.c_str(), "r")) {
            char buf[64];
            while (std::fgets(buf, sizeof buf, f)) out += buf;
            pclose(f);
        }
        EXPECT_EQ(out, std::to_string(c.result) + "\n");
    }
}

}  // namespace
