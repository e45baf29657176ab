// Expression trees as the generator reads them: folding, canonical order,
// register-variable rewrites, leaf places and structure values, shown by a
// dump of the GenNode tree.
#include <cstdio>

#include "harness.h"

namespace cgtest {
namespace {

std::string dump(const cg::GenNode* n) {
    if (!n) return "null";
    if (n->isleaf()) {
        std::string s = "[t" + std::to_string(n->type) + " v" + std::to_string(n->value);
        if (n->attr) s += " a" + std::to_string(n->attr);
        if (n->storage) s += " s" + std::to_string(n->storage);
        if (n->indir) s += " *";
        if (n->leafflags) s += " f" + std::to_string(n->leafflags);
        if (!n->name.empty()) s += " " + n->name;
        return s + "]";
    }
    const char* name = ir::opname(static_cast<uint8_t>(n->op));
    std::string s = "(" + (n->op == cg::G_COPY ? std::string("copy") : name ? name : std::to_string(n->op));
    s += " t" + std::to_string(n->type);
    if (n->attr) s += " a" + std::to_string(n->attr);
    s += " " + dump(n->left);
    if (n->op == ir::O_COND) s += " " + dump(n->middle);
    if (n->op & 0x80) s += " " + dump(n->right);
    if (n->place) s += " place=" + dump(n->place);
    return s + ")";
}

// A generator that reads the bytes of one tree.
struct TreeRig {
    std::string bytes;
    cg::Gen G;
    explicit TreeRig(const std::string& tree) {
        ir::File f = ir::parsetext(std::string(kHeader) + "150 " + tree + "\n");
        ir::StringOutput out;
        out.tree(*f.records[0].fields[0].tree);
        bytes = out.data;
        G.rd.in = fmemopen(bytes.data(), bytes.size(), "rb");
        G.w.fd = -1;
    }
    std::string read() { return dump(cg::irtree(G)); }
};

// leaves used below: r is a register variable in r31 (code 32), x and y are
// global ints, a and b locals
#define R "(leaf int [0] 0 5 0)"
#define X "(leaf int [0 0x81 \"x\"] 0 0 1)"
#define Y "(leaf int [0 0x81 \"y\"] 0 0 1)"
#define A "(leaf int [0] -4 4 1)"
#define B "(leaf int [0] -8 4 1)"

struct TreeCase {
    const char* what;
    const char* tree;
    const char* dump;
};

TEST(Trees, FoldingAndRewrites) {
    std::vector<TreeCase> cases = {
        {"3 << 4", "(<< int (leaf int [0] 3 0 0) (leaf int [0] 4 0 0))", "[t6 v48]"},
        {"6 * 7", "(* int (leaf int [0] 6 0 0) (leaf int [0] 7 0 0))", "[t6 v42]"},
        {"x + 5 + 7", "(+ int (+ int " X " (leaf int [0] 5 0 0)) (leaf int [0] 7 0 0))",
         "(+ t6 [t6 v0 * <x] [t6 v12])"},
        {"5 + x", "(+ int (leaf int [0] 5 0 0) " X ")", "(+ t6 [t6 v0 * <x] [t6 v5])"},
        {"x + 5 + y: the constant goes to the top", "(+ int (+ int " X " (leaf int [0] 5 0 0)) " Y ")",
         "(+ t6 (+ t6 [t6 v0 * <x] [t6 v0 * <y]) [t6 v5])"},
        {"r = r + y", "(= int " R " (+ int " R " " Y "))", "(+= t6 [t6 v0 s32] [t6 v0 * <y])"},
        {"r = y + r is left alone", "(= int " R " (+ int " Y " " R "))",
         "(= t6 [t6 v0 s32] (+ t6 [t6 v0 * <y] [t6 v0 s32]))"},
        {"r = r + (a - b): the sum is swapped first", "(= int " R " (+ int " R " (- int " A " " B ")))",
         "(= t6 [t6 v0 s32] (+ t6 (- t6 [t6 v-4 s94 *] [t6 v-8 s94 *]) [t6 v0 s32]))"},
        {"r = (r - a) * y", "(= int " R " (* int (- int " R " " A ") " Y "))",
         "(, t6 (-= t6 [t6 v0 s32] [t6 v-4 s94 *]) (*= t6 [t6 v0 s32] [t6 v0 * <y]))"},
        {"r = -r", "(= int " R " (neg int " R "))", "(negself t6 [t6 v0 s32])"},
        {"r = ~r", "(= int " R " (~ int " R "))", "(complself t6 [t6 v0 s32])"},
        {"an unsigned r = r / y keeps the division",
         "(= uint (leaf uint [0] 0 5 0) (/ int (leaf uint [0] 0 5 0) " Y "))",
         "(= t8 [t8 v0 s32] (/ t6 [t8 v0 s32] [t6 v0 * <y]))"},
        {"a cast that disappears", "(cast int " X ")", "[t6 v0 * <x]"},
        {"a cast that stays", "(cast char " X ")", "(cast t1 [t6 v0 * <x])"},
        {"a constant takes the cast's type and value", "(cast char (leaf int [0] 300 0 0))", "[t1 v44]"},
        {"a negative constant cast to unsigned short", "(cast ushort (leaf int [0] -3 0 0))", "[t5 v65533]"},
        {"or puts the leaf right", "(| int " X " (+ int " Y " (leaf int [0] 1 0 0)))",
         "(| t6 (+ t6 [t6 v0 * <y] [t6 v1]) [t6 v0 * <x])"},
        {"a pointer sum", "(+ ptr>0x3000 (leaf ptr>0x3000 [0 0x81 \"p\"] 0 0 1) (leaf int [0] 4 0 0))",
         "(+ t8 a64 [t8 v0 a64 * <p] [t6 v4])"},
        {"address of a struct value is transparent", "(addr struct=8 (leaf struct=8 [0 0x81 \"s\"] 0 0 1))",
         "[t8 v0 <s]"},
    };
    for (const TreeCase& c : cases) {
        TreeRig t(c.tree);
        EXPECT_EQ(t.read(), c.dump) << c.what;
    }
}

TEST(Trees, StructureResults) {
    {
        // s = f(): the call writes its result into s, no copy
        TreeRig t("(= struct=8 (leaf struct=8 [0 0x81 \"s\"] 0 0 1) (call struct=8 (leaf ptr>0x3800 [0 0x86 \"f\"] 0 0 0)))");
        EXPECT_EQ(t.read(), "(call t8 a1 [t8 v0 a576 <wf] place=[t8 v0 <s])");
    }
    {
        // f() alone gets a frame temporary of the structure's size
        TreeRig t("(call struct=12 (leaf ptr>0x3800 [0 0x86 \"f\"] 0 0 0))");
        EXPECT_EQ(t.read(), "(call t8 a1 [t8 v0 a576 <wf] place=[t8 v-12 a1 s95])");
        EXPECT_EQ(t.G.fn.lowtemp, -12);
    }
    {
        TreeRig t("(= struct=8 (leaf struct=8 [0 0x81 \"s\"] 0 0 1) (leaf struct=8 [0 0x81 \"u\"] 0 0 1))");
        EXPECT_EQ(t.read(), "(copy t8 [t8 v0 <s] [t8 v0 <u])");
    }
    {
        // the result of a function returning a structure is reached through its hidden pointer
        TreeRig t("(= struct=8 (leaf struct=8 [0] 0 1 0) (leaf struct=8 [0 0x81 \"u\"] 0 0 1))");
        t.G.fn.retstruct = true;
        t.G.fn.paramend = 8;
        EXPECT_EQ(t.read(), "(copy t8 [t8 v8 s94 *] [t8 v0 <u])");
    }
    {
        TreeRig t("(+ struct=8 (leaf struct=8 [0 0x81 \"s\"] 0 0 1) (leaf int [0] 1 0 0))");
        testing::internal::CaptureStderr();
        int status = tl::runmain([&] {
            t.read();
            return 0;
        });
        EXPECT_EQ(status, 1);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("PANIC! STROP"), std::string::npos);
    }
}

TEST(Trees, LeafPlaces) {
    struct Case {
        const char* what;
        const char* tree;
        int cm;
        const char* dump;
    } cases[] = {
        {"a parameter in its register", "(leaf int [0] 4 3 1)", 0, "[t6 v4 a4096 s94 * f4096]"},
        {"a parameter on the stack", "(leaf int [0] 16 3 1)", 0, "[t6 v16 s94 *]"},
        {"a parameter's address", "(leaf ptr>0x3000 [0] 0 3 0)", 0, "[t8 v0 a4160 s94 f4096]"},
        {"the switch value", "(leaf int [0] 0 2 0)", 0, "[t6 v0 s4]"},
        {"a double result", "(leaf double [0] 0 1 0)", 0, "[t10 v0 s65]"},
        {"a double in r30:r31", "(leaf double [0] 0 6 0)", 0, "[t10 v0 s92]"},
        {"r14", "(leaf int [0] 0 22 0)", 0, "[t6 v0 s15]"},
        {"small data through r13", "(leaf int/0x0040 [0 0x81 \"sd\"] 0 0 1)", 0, "[t6 v0 a2 s14 * f2 <sd]"},
        {"a small constant", "(leaf int/0x8000 [0 0x81 \"k\"] 0 0 1)", 0, "[t6 v0 a258 * f258 <k]"},
        {"a small constant through r2", "(leaf int/0x8000 [0 0x81 \"k\"] 0 0 1)", 1, "[t6 v0 a258 s3 * f258 <k]"},
        {"a far constant with -cm2", "(leaf int/0xB000 [0 0x81 \"k\"] 0 0 1)", 2, "[t6 v0 a320 * f320 <k]"},
        {"an alias loses the direct bit", "(leaf int/0x0040 [0 0x91 \"port\"] 0 0 1)", 0, "[t6 v0 * <'port]"},
        {"a float constant in the name", "(leaf float [0 0x0 \"\\x9A\\x99\\x99\\x99\\x99\\x99\\xB9\\x3F\"] 0 0 0)", 0,
         "[t9 v1036831949]"},
    };
    for (const Case& c : cases) {
        std::string tree = c.tree;
        // sd and k need spaces: dir is the first space record, so 0x40 below stands for 0x80
        TreeRig t(tree);
        t.G.fn.params.push_back(cg::ParamEntry{ir::T_INT, 0, cg::gpr(3), false});
        t.G.fn.paramend = 8;
        t.G.opt.cm = c.cm;
        t.G.rd.spaces[3].bits = 0x40;  // "dir"
        EXPECT_EQ(t.read(), c.dump) << c.what;
    }
}

TEST(Trees, FunctionAddressesAreNoted) {
    TreeRig t("(= ptr>0x3800 (leaf ptr>0x3800 [0 0x81 \"fp\"] 0 0 1) (leaf ptr>0x3800 [0 0x84 \"f\"] 0 0 0))");
    t.G.store.restart();
    t.read();
    EXPECT_TRUE(t.G.store.pending());
    t.G.store.addchars("`");
    t.G.store.setread(t.G.store.claim());
    bool ok;
    std::string text(t.G.store.takeline(ok));
    EXPECT_EQ(text, " .dcall \":<@f\";`");
}

TEST(Trees, NarrowByteReads) {
    // d = c & 127 with chars in memory: the read of c needs no sign extension
    TreeRig t("(= char (leaf char [0 0x81 \"d\"] 0 0 1) (& char (leaf char [0 0x81 \"c\"] 0 0 1) (leaf char [0] 127 0 0)))");
    cg::GenNode* n = cg::irtree(t.G);
    cg::narrowbytes(n, 0);
    EXPECT_EQ(dump(n), "(= t1 [t1 v0 * <d] (& t1 [t2 v0 * <c] [t1 v127]))");
}

}  // namespace
}  // namespace cgtest
