// Template expansion and the operand printer, the special handlers, and the
// register discipline (moves, pushes and pops, forceloc, snapshots, the
// content cache), shown by the text they write.
#include "exprrig.h"

namespace cgtest {
namespace {

using cg::gpr;
using cg::kFrameSlot;
using cg::kR13;
using cg::kR2;


uint32_t field(uint8_t code, int pos, int width) {
    return code | static_cast<uint32_t>(pos) << 4 | static_cast<uint32_t>(width) << 10;
}

// The text of a template expanded on a node.
std::string expand(ExprRig& x, const char* text, cg::GenNode* n, cg::RegSet free, bool* ok = nullptr) {
    bool done = cg::expandtemplate(x.G, n, text, free);
    if (ok) *ok = done;
    return x.text();
}

TEST(Expand, OperandPrinter) {
    ExprRig x;
    cg::GenNode* indexed = x.mem(I, gpr(3), 0);
    indexed->loc.index = gpr(4);
    cg::GenNode* shifted = x.mem(I, kFrameSlot, -4);
    struct Case {
        cg::GenNode* n;
        int h, p;
        const char* text;
    };
    std::vector<Case> cases = {
        {x.mem(I, kFrameSlot, 8), 0, 3, "OFST+8(r1)"},
        {x.mem(I, kFrameSlot, -4), 0, 3, "OFST-4(r1)"},
        {x.mem(I, gpr(4), -4), 0, 3, "-4(r4)"},
        {x.mem(I, gpr(4), 0), 0, 3, "0(r4)"},
        {x.mem(I, gpr(4), 8), 4, 3, "12(r4)"},
        {x.mem(I, 0, 4, ">5<x"), 0, 3, "L5_x+4"},
        {x.mem(I, kR13, -8, "<x"), 0, 3, "_x-8(r13)"},
        {x.mem(I, kR13, 0, "<x"), 0, 3, "_x(r13)"},
        {indexed, 0, 3, "r3,r4"},
        {x.reg(I, 3), 0, 3, "r3"},
        {x.reg(I, 20), 0, 3, "r20"},
        {x.reg(D, 3), 2, 3, "r4"},
        {x.cnst(I, -1), 0, 3, "-1"},
        {x.cnst(I, 0x12345), 0, 2, "9029"},
        {x.cnst(I, 0x18000), 0, 2, "-32768"},
        {x.cnst(I, 0x18000), 0, 1, "32768"},
        {x.cnst(I, 0x12340000), 2, 3, "4660"},
        {x.cnst(U, static_cast<int32_t>(0xFFFF0000)), 2, -3, "-1"},
        {x.cnst(U, static_cast<int32_t>(0xFFFF0000)), 2, 3, "65535"},
        {shifted, 0, 3, "OFST+4(r1)"},
    };
    for (const Case& c : cases) {
        x.G.ex.framebase = c.n == shifted ? 8 : 0;
        x.G.store.addchars(cg::opertext(x.G, c.n, c.h, c.p) + ";");
        EXPECT_EQ(x.text(), c.text);
    }
}

TEST(Expand, Templates) {
    struct Case {
        const char* what;
        const char* text;
        uint8_t type;  // the node's type
        std::function<cg::GenNode*(ExprRig&)> left, right;
        const char* out;
    };
    auto r = [](uint8_t t, int n) { return [=](ExprRig& x) { return x.reg(t, n); }; };
    auto k = [](uint8_t t, int32_t v) { return [=](ExprRig& x) { return x.cnst(t, v); }; };
    auto m = [](uint32_t t, uint8_t base, int32_t off) { return [=](ExprRig& x) { return x.mem(t, base, off); }; };
    std::vector<Case> cases = {
        {"addi with -1", "F1i L,WR", I, r(I, 3), k(I, -1), "addi r3,-1"},
        {"addi with the low half of 0x12345", "F1i L,WR", I, r(I, 3), k(I, 0x12345), "addi r3,9029"},
        {"addi with 0x18000", "F1i L,WR", I, r(I, 3), k(I, 0x18000), "addi r3,-32768"},
        {"oris with the high half", "N3is L,UR", I, r(I, 3), k(I, 0x12340000), "oris r3,4660"},
        {"addis with the high half signed", "F1is L,SSUR", I, r(I, 3), k(U, static_cast<int32_t>(0xFFFF0000)),
         "addis r3,-1"},
        {"a shift count masked to 5 bits", "D3i L,GR", I, r(I, 3), k(I, 33), "slwi r3,1"},
        {"an extension into itself", "Ezb LR", I, r(UC, 3), r(UC, 3), "extzb r3"},
        {"an extension from another register", "Ezb LR", I, r(UC, 3), r(UC, 4), "extzb r3,r4"},
        {"an extension of r8 takes two operands", "Esb LR", I, r(C, 8), r(C, 8), "extsb r8,r8"},
        {"an extension of r23 takes two operands", "Esh L", S, r(S, 23), r(S, 23), "extsh r23,r23"},
        {"an extension of r24 takes one", "Esh L", S, r(S, 24), r(S, 24), "extsh r24"},
        {"neg of r9", "Z3 L", I, r(I, 9), k(I, 0), "neg r9,r9"},
        {"not of r3", "Z4 L", I, r(I, 3), k(I, 0), "not r3"},
        {"the node's type picks the extension", "Z3 L;E?7z?s?b L", UC, r(UC, 3), k(I, 0), "neg r3; extzb r3"},
        {"a signed char node", "Z3 L;E?7z?s?b L", C, r(C, 10), k(I, 0), "neg r10,r10; extsb r10,r10"},
        {"load of an unsigned char", "MRL,R", I, r(I, 3), m(UC, gpr(4), 8), "lbz r3,8(r4)"},
        {"load of a short", "MRL,R", I, r(I, 3), m(S, gpr(4), 8), "lha r3,8(r4)"},
        {"load of an unsigned short", "MRL,R", I, r(I, 3), m(US, gpr(4), 8), "lhz r3,8(r4)"},
        {"store of a short", "CLR,L", S, m(S, gpr(4), 8), r(S, 3), "sth r3,8(r4)"},
        {"a compare", "Xw L,R", I, r(I, 8), r(I, 9), "cmpw r8,r9"},
        {"a 'T' label defined at the end", "Xi L,0;bne T", I, r(I, 3), k(I, 0), "cmpi r3,0; bne L2; L2:"},
        {"a 'T' label defined inside", "T: Z2 L;bne T", I, r(I, 3), k(I, 0), "L2:; dec r3; bne L2"},
        {"the left is the pair's first register: second word first", "AR?1MRUL,UUR;MRL,R?MRL,R;MRUL,UUR?", D,
         r(D, 3), m(D, gpr(3), 0), "lwz r4,4(r3); lwz r3,0(r3)"},
        {"otherwise first word first", "AR?1MRUL,UUR;MRL,R?MRL,R;MRUL,UUR?", D, r(D, 3), m(D, gpr(5), 8),
         "lwz r3,8(r5); lwz r4,12(r5)"},
        {"a pair moved up: second register first", "?5M UL,UR;M L,R?M L,R;M UL,UR?", D, r(D, 4), r(D, 3),
         "mr r5,r4; mr r4,r3"},
        {"a pair moved down", "?5M UL,UR;M L,R?M L,R;M UL,UR?", D, r(D, 3), r(D, 4), "mr r3,r4; mr r4,r5"},
        {"a double pushed: second word first", " stwu UR,-4(r1); stwu R,-4(r1)", D, m(D, cg::kPushSlot, 0),
         r(D, 5), "stwu r6,-4(r1); stwu r5,-4(r1)"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        cg::GenNode* n = x.node(ir::O_ASSIGN, c.type, c.left(x), c.right(x));
        EXPECT_EQ(expand(x, c.text, n, x.freeset()), c.out) << c.what;
    }
}

TEST(Expand, BaseAndIndexFold) {
    ExprRig x;
    cg::GenNode* src = x.mem(D, gpr(5), 0);
    src->loc.index = gpr(6);
    src->flags = cg::NF_OWNSREG | cg::NF_OWNSINDEX;
    cg::GenNode* n = x.node(ir::O_ASSIGN, D, x.reg(D, 3), src);
    cg::RegSet free = x.without({5, 6});
    EXPECT_TRUE(cg::expandtemplate(x.G, n, "AR?1MRUL,UUR;MRL,R?MRL,R;MRUL,UUR?", free));
    EXPECT_EQ(x.text(), "add r5,r6; lwz r3,0(r5); lwz r4,4(r5)");
    EXPECT_TRUE(cg::setin(free, gpr(6)));  // the index register went back
    // an address whose index register alone is owned folds into it
    cg::GenNode* other = x.mem(D, gpr(14), 0);
    other->loc.index = gpr(7);
    other->flags = cg::NF_OWNSINDEX;
    n = x.node(ir::O_ASSIGN, D, x.reg(D, 3), other);
    EXPECT_TRUE(cg::expandtemplate(x.G, n, "AR?1MRUL,UUR;MRL,R?MRL,R;MRUL,UUR?", free));
    EXPECT_EQ(x.text(), "add r7,r14; lwz r3,0(r7); lwz r4,4(r7)");
}

TEST(Expand, OneVolatileMarkAfterTheInstructionThatUsesIt) {
    ExprRig x(true);
    cg::GenNode* v = x.mem(I, kR13, 0, "<v", cg::LF_VOLATILE);
    cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.reg(I, 3), v);
    EXPECT_EQ(expand(x, "F1 L,L;MRL,R;Z3 L", n, x.freeset()), "add r3,r3; lwz r3,_v(r13); VL:; neg r3");
    EXPECT_EQ(expand(x, "MRL,R", n, x.freeset()), "lwz r3,_v(r13); VL:");
}

TEST(Expand, HelperMoves) {
    struct Case {
        const char* what;
        const char* text;
        int op;
        uint8_t type;
        int left, right;  // registers; right 0: the constant 0
        std::vector<int> busy;
        const char* out;  // "" when the moves cannot be made
    };
    std::vector<Case> cases = {
        {"both in place", "OKfadd", 222, F, 3, 4, {}, "bl c_fadd"},
        {"both elsewhere", "OKfadd", 222, F, 5, 6, {}, "mr r3,r5; mr r4,r6; bl c_fadd; mr r5,r3"},
        {"swapped, commutative: nothing moves", "OKfadd", 222, F, 4, 3, {}, "bl c_fadd; mr r4,r3"},
        {"swapped, not commutative: through r0", "OKfsub", 216, F, 4, 3, {},
         "mr r0,r3; mr r3,r4; mr r4,r0; bl c_fsub; mr r4,r3"},
        {"right in r3, not commutative", "OKfsub", 216, F, 5, 3, {}, "mr r4,r3; mr r3,r5; bl c_fsub; mr r5,r3"},
        {"left in r4, not commutative", "OKfsub", 216, F, 4, 6, {}, "mr r3,r4; mr r4,r6; bl c_fsub; mr r4,r3"},
        {"r4 taken", "OKfadd", 222, F, 5, 6, {4}, ""},
        {"doubles", "OKdadd", 222, D, 7, 9, {},
         "mr r3,r7; mr r4,r8; mr r5,r9; mr r6,r10; bl c_dadd; mr r8,r4; mr r7,r3"},
        {"doubles, swapped and not commutative", "OKddiv", 133, D, 5, 3, {},
         "mr r0,r3; mr r3,r5; mr r5,r0; mr r0,r4; mr r4,r6; mr r6,r0; bl c_ddiv; mr r6,r4; mr r5,r3"},
        {"a float compared with 0", "OKfcmp", 174, F, 5, 0, {}, "mr r3,r5; li r4,0; bl c_fcmp; mr r5,r3"},
        {"a double compared with 0", "OKdcmp", 174, D, 3, 0, {}, "li r5,0; li r6,0; bl c_dcmp"},
        {"one operand", "&LKfneg", 108, F, 7, 0, {}, "mr r3,r7; bl c_fneg; mr r7,r3"},
        {"one operand, r3 taken", "&LKfneg", 108, F, 7, 0, {3}, ""},
        {"a double from r4:r5", "&LKdneg", 108, D, 4, 0, {}, "mr r3,r4; mr r4,r5; bl c_dneg; mr r5,r4; mr r4,r3"},
        {"ftod writes r4 too", "&RKftod", 136, D, 5, 7, {}, "mr r3,r7; bl c_ftod; mr r6,r4; mr r5,r3"},
        {"ftod with r4 taken", "&RKftod", 136, D, 5, 7, {4}, ""},
        {"ltod with r4 taken", "&RKltod", 136, D, 5, 7, {4}, ""},
        {"ftol with r4 taken", "&RKftol", 136, I, 5, 7, {4}, "mr r3,r7; bl c_ftol; mr r5,r3"},
        {"the destination may be r3", "&RKftol", 136, I, 3, 7, {3}, "mr r3,r7; bl c_ftol"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        uint8_t rt = c.op == 136 ? (c.type == I ? F : c.text[4] == 'f' ? F : I) : c.type;
        cg::GenNode* l = x.reg(c.op == 136 ? c.type : c.type, c.left, true);
        cg::GenNode* r = c.right ? x.reg(rt, c.right, true) : x.cnst(I, 0);
        cg::GenNode* n = x.node(static_cast<int16_t>(c.op), c.type, l, r);
        cg::RegSet free = x.freeset();
        for (int reg : {c.left, c.right}) {
            if (!reg) continue;
            cg::setdel(free, gpr(reg));
            if (c.type == D && !(c.op == 136 && reg == c.right)) cg::setdel(free, gpr(reg + 1));
        }
        for (int b : c.busy) cg::setdel(free, gpr(b));
        bool ok = false;
        std::string out = expand(x, c.text, n, free, &ok);
        EXPECT_EQ(ok, *c.out != 0) << c.what;
        if (ok) { EXPECT_EQ(out, c.out) << c.what; }
        if (ok) { EXPECT_EQ(x.G.fn.frameflags & 0x84, 0x84u) << c.what; }
    }
}

// ---- emittemplate ----

TEST(Emit, SelfAssignmentAndVolatile) {
    ExprRig x(true);
    cg::Row row = cg::kRowStoreBack;
    // a register variable assigned to itself writes nothing
    cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.reg(I, 14), x.reg(I, 14));
    const cg::Row* mr = cg::findtemplate(x.G, n, 1);
    ASSERT_NE(mr, nullptr);
    EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, mr, x.freeset())));
    EXPECT_EQ(x.text(), "");
    // a volatile object assigned to itself is read and written
    cg::GenNode* v = x.mem(I, kR13, 0, "<v", cg::LF_VOLATILE);
    cg::GenNode* w = x.mem(I, kR13, 0, "<v", cg::LF_VOLATILE);
    EXPECT_TRUE(cg::setvalid(cg::movevalue(x.G, v, w, x.freeset())));
    EXPECT_EQ(x.text(), "lwz r3,_v(r13); VL:; stw r3,_v(r13); VL:");
    // the same without volatile: a load and a store all the same (the
    // value passes through a register), but never an empty text for volatile
    cg::GenNode* a = x.mem(I, kFrameSlot, -4, "", cg::LF_VOLATILE);
    cg::GenNode* b = x.mem(I, kFrameSlot, -4, "", cg::LF_VOLATILE);
    cg::GenNode* self = x.node(ir::O_ASSIGN, I, a, b);
    EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, self, &row, x.freeset())));
    EXPECT_NE(x.text(), "");
}

TEST(Emit, ByteXorPastTheSkipRowKeepsTheWidth) {
    for (uint8_t t : {UC, C, US, S}) {
        ExprRig x;
        cg::GenNode* n = x.node(ir::O_XORASG, t, x.reg(t, 14), x.cnst(I, 0x1234));
        const cg::Row* row = cg::findtemplate(x.G, n, 0);
        ASSERT_NE(row, nullptr);
        ASSERT_EQ(row->left, 'H');
        n->right = x.reg(I, 5, true);  // the retry pass loaded the constant
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, row, x.without({5}))));
        std::string ext = t == UC ? "extzb" : t == C ? "extsb" : t == US ? "extzh" : "extsh";
        EXPECT_EQ(x.text(), "xor r14,r5; " + ext + " r14,r14") << int(t);
    }
}

TEST(Emit, FloatingCompareWithZeroCallsTheHelper) {
    for (uint8_t t : {F, D}) {
        ExprRig x;
        cg::GenNode* n = x.node(cg::G_COMPARE, t, x.reg(t, 5, true), x.cnst(I, 0));
        const cg::Row* row = cg::findtemplate(x.G, n, 0);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, row, x.without({5, 6}))));
        EXPECT_EQ(x.text(), t == F ? "mr r3,r5; li r4,0; bl c_fcmp; mr r5,r3"
                                   : "mr r3,r5; mr r4,r6; li r5,0; li r6,0; bl c_dcmp; mr r6,r4; mr r5,r3");
        EXPECT_EQ(x.G.w.helpers.front(), t == F ? "fcmp" : "dcmp");
        EXPECT_TRUE(n->flags & cg::NF_SETCC);
    }
}

// ---- the special handlers ----

struct HandlerCase {
    const char* what;
    int op;
    uint32_t ltype;
    uint32_t rtype;
    char right;       // 'c' constant, 'r' register r5
    int32_t value;
    int handler;      // the row
    int32_t arg;
    const char* out;
};

cg::Row handlerrow(int handler, int32_t arg, uint8_t left) {
    cg::Row r{left, 0x0F, cg::RF_SPECIAL};
    r.handler = static_cast<uint8_t>(handler);
    r.num = arg;
    if (handler == 9) r.arg = arg == 3 ? "N3i L," : "N4i L,";
    if (handler == 6 && arg == 1) r.flags |= 0x44;
    return r;
}

TEST(Handlers, BitFields) {
    const uint32_t f43 = field(ir::T_INTBITS, 4, 3);
    std::vector<HandlerCase> cases = {
        {"5 into a 3-bit field at 4: insert", 136, f43, I, 'c', 5, 1, 0,
         "li r3,5; lwz r0,8(r4); insrwi r0,r3,3,25; stw r0,8(r4)"},
        {"0 into it: the complement of the mask", 136, f43, I, 'c', 0, 1, 0,
         "lwz r0,8(r4); andi r0,4294967183; stw r0,8(r4)"},
        {"7 into it: the mask", 136, f43, I, 'c', 7, 1, 0, "lwz r0,8(r4); ori r0,112; stw r0,8(r4)"},
        {"set a 1-bit field", 136, field(ir::T_INTBITS, 5, 1), I, 'c', 1, 1, 0, "lwz r0,8(r4); bseti r0,26; stw r0,8(r4)"},
        {"clear a 1-bit field", 136, field(ir::T_INTBITS, 5, 1), I, 'c', 2, 1, 0, "lwz r0,8(r4); bclri r0,26; stw r0,8(r4)"},
        {"a high field of the mask", 136, field(ir::T_INTBITS, 16, 8), I, 'c', 255, 1, 0,
         "lwz r0,8(r4); oris r0,255; stw r0,8(r4)"},
        {"0 into a wide field: the mask in a register", 136, field(ir::T_INTBITS, 2, 14), I, 'c', 0, 1, 0,
         "li r3,-65533; lwz r0,8(r4); and r0,r3; stw r0,8(r4)"},
        {"a 32-bit field is a word", 136, field(ir::T_INTBITS, 0, 32), I, 'c', 0x12345678, 1, 0,
         "lis r0,4660; ori r0,22136; stw r0,8(r4)"},
        {"a small 32-bit value", 136, field(ir::T_INTBITS, 0, 32), I, 'c', 100, 1, 0, "li r0,100; stw r0,8(r4)"},
        {"a short field's unit is a halfword", 136, field(ir::T_SHORTBITS, 3, 2), I, 'c', 1, 1, 0,
         "li r3,1; lhz r0,8(r4); insrwi r0,r3,2,27; sth r0,8(r4)"},
        {"a register into a field", 136, f43, I, 'r', 0, 2, 0, "lwz r0,8(r4); insrwi r0,r5,3,25; stw r0,8(r4)"},
        {"a register into a 32-bit field", 136, field(ir::T_INTBITS, 0, 32), I, 'r', 0, 2, 0, "stw r5,8(r4)"},
        {"and-assign clearing one bit", 134, f43, I, 'c', 5, 6, 0, "lwz r0,8(r4); bclri r0,26; stw r0,8(r4)"},
        {"and-assign clearing two", 134, f43, I, 'c', 1, 6, 0, "lwz r0,8(r4); andi r0,4294967199; stw r0,8(r4)"},
        {"and-assign with all ones", 134, f43, I, 'c', 7, 6, 0, "lwz r0,8(r4); stw r0,8(r4)"},
        {"a test looks at the field only", 193, f43, I, 'c', 1, 6, 1, "lwz r0,8(r4); andi. r0,16"},
        {"a test with 0 is never true", 193, f43, I, 'c', 0, 6, 1, "lwz r0,8(r4); andi. r0,0"},
        {"a test of a high field", 193, field(ir::T_INTBITS, 16, 16), I, 'c', 0x8001, 6, 1,
         "lwz r0,8(r4); andis. r0,32769"},
        {"or-assign one bit", 141, f43, I, 'c', 1, 6, 2, "lwz r0,8(r4); bseti r0,27; stw r0,8(r4)"},
        {"or-assign a scaled immediate", 141, f43, I, 'c', 3, 6, 2, "lwz r0,8(r4); ori r0,48; stw r0,8(r4)"},
        {"or-assign 0", 141, f43, I, 'c', 0, 6, 2, "lwz r0,8(r4); stw r0,8(r4)"},
        {"or-assign across the halves", 141, field(ir::T_INTBITS, 8, 16), I, 'c', 0x1234, 6, 2,
         "lwz r0,8(r4); ori r0,13312; oris r0,18; stw r0,8(r4)"},
        {"xor-assign", 146, f43, I, 'c', 5, 6, 3, "lwz r0,8(r4); xori r0,80; stw r0,8(r4)"},
        {"xor-assign beyond an immediate", 146, field(ir::T_INTBITS, 4, 16), I, 'c', 0x1234, 6, 3,
         "li r3,74560; lwz r0,8(r4); xor r0,r3; stw r0,8(r4)"},
        {"complement", 115, f43, I, 'c', 0, 6, 4, "lwz r0,8(r4); xori r0,112; stw r0,8(r4)"},
    };
    for (const HandlerCase& c : cases) {
        ExprRig x;
        cg::GenNode* l = x.mem(c.ltype, gpr(4), 8);
        cg::GenNode* r = c.right == 'c' ? x.cnst(static_cast<uint8_t>(c.rtype), c.value) : x.reg(static_cast<uint8_t>(c.rtype), 5);
        cg::GenNode* n = x.node(static_cast<int16_t>(c.op), c.op == 193 ? 0 : c.ltype, l, r);
        cg::Row row = handlerrow(c.handler, c.arg, 0x87);
        cg::RegSet free = x.without({4, 5});
        cg::RegSet after = cg::emittemplate(x.G, n, &row, free);
        EXPECT_TRUE(cg::setvalid(after)) << c.what;
        EXPECT_EQ(x.text(), c.out) << c.what;
        EXPECT_TRUE(cg::setequal(after, free)) << c.what << ": a register stayed taken";
    }
    // extraction
    for (auto [type, out] : std::vector<std::pair<uint32_t, const char*>>{
             {field(ir::T_INTBITS, 4, 3), "lwz r0,8(r4); extrwi r5,r0,3,25"},
             {field(ir::T_CHARBITS, 1, 7), "lbz r0,8(r4); extrwi r5,r0,7,24"},
             {field(ir::T_INTBITS, 0, 32), "lwz r5,8(r4)"}}) {
        ExprRig x;
        cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.reg(I, 5), x.mem(type, gpr(4), 8));
        cg::Row row = handlerrow(3, 0, 'H');
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, &row, x.without({4, 5}))));
        EXPECT_EQ(x.text(), out);
    }
}

TEST(Handlers, Constants) {
    struct Case {
        int reg;
        uint8_t type;
        int32_t value;
        const char* out;
    };
    std::vector<Case> cases = {
        {3, U, 0x10000, "bgeni r3,15"},       {12, U, 0x10000, "lis r12,1"},
        {3, U, 0x12345, "li r3,74565"},       {3, U, 0x123456, "lis r3,18; ori r3,13398"},
        {3, U, 255, "bmaski r3,8"},           {3, U, 128, "bgeni r3,24"},
        {12, U, 255, "li r12,255"},           {3, I, -1, "bmaski r3,0"},
        {12, I, -1, "li r12,-1"},             {3, I, 127, "li r3,127"},
        {3, I, 0x7FFF, "bmaski r3,15"},       {12, I, 0x7FFF, "li r12,32767"},
        {3, I, 0x8000, "bgeni r3,16"},        {12, I, 0x8000, "li r12,32768"},
        {12, I, 0xFFFF, "li r12,65535"},      {12, I, 0x7FFFF, "li r12,524287"},
        {12, I, 0x80000, "lis r12,8"}, {12, I, -524288, "lis r12,65528"}, {12, I, -524287, "li r12,-524287"},
        {3, U, static_cast<int32_t>(0x80000000), "bgeni r3,0"},
        {12, U, static_cast<int32_t>(0x80000000), "lis r12,32768"},
        {25, I, 0x40, "li r25,64"},           {3, C, 255, "bmaski r3,0"},
        {3, UC, -1, "bmaski r3,8"},           {12, S, 0x18000, "li r12,-32768"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        cg::GenNode* n = x.node(ir::O_ASSIGN, c.type, x.reg(c.type, c.reg), x.cnst(I, c.value));
        cg::Row row = handlerrow(5, 0, 'H');
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, &row, x.freeset())));
        EXPECT_EQ(x.text(), c.out) << c.value << " into r" << c.reg;
    }
}

TEST(Handlers, StructureCopy) {
    struct Case {
        const char* what;
        uint32_t size;
        int loops;
        const char* out;
    };
    std::vector<Case> cases = {
        {"12 bytes in words", 12, 0,
         "subi r3,4; subi r4,4; li r0,3; mtctr r0; L2:; lwzu r0,4(r4); stwu r0,4(r3); bdnz L2; subi r3,8; subi r4,8"},
        {"7 bytes in bytes", 7, 0,
         "subi r3,1; subi r4,1; li r0,7; mtctr r0; L2:; lbzu r0,1(r4); stbu r0,1(r3); bdnz L2; subi r3,6; subi r4,6"},
        {"10 bytes in halfwords", 10, 0,
         "subi r3,2; subi r4,2; li r0,5; mtctr r0; L2:; lhzu r0,2(r4); sthu r0,2(r3); bdnz L2; subi r3,8; subi r4,8"},
        {"inside a counted loop r0 counts", 12, 1,
         "subi r3,4; subi r4,4; li r0,3; L2:; lwzu r5,4(r4); stwu r5,4(r3); subi. r0,1; bne L2; subi r3,8; subi r4,8"},
        {"6 bytes: a word and a halfword", 6, 0, "lwz r0,0(r4); stw r0,0(r3); lhz r0,4(r4); sth r0,4(r3)"},
        {"8 bytes: two words", 8, 0, "lwz r0,0(r4); stw r0,0(r3); lwz r0,4(r4); stw r0,4(r3)"},
        {"2 bytes", 2, 0, "lhz r0,0(r4); sth r0,0(r3)"},
        {"4 bytes", 4, 0, "lwz r0,0(r4); stw r0,0(r3)"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        x.G.fn.openloops = c.loops;
        cg::GenNode* n = x.node(cg::G_COPY, U, x.reg(U, 3), x.reg(U, 4), c.size);
        cg::Row row = handlerrow(4, 0, 0xB8);
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, &row, x.without({3, 4}))));
        EXPECT_EQ(x.text(), c.out) << c.what;
        EXPECT_EQ((x.G.fn.frameflags & cg::FF_CTR) != 0, c.size >= 7 && c.loops == 0 && c.size != 8) << c.what;
    }
    // frame addresses are copied without registers
    ExprRig x;
    cg::GenNode* dst = x.mem(U, kFrameSlot, -16);
    dst->loc.indir = 0;
    cg::GenNode* src = x.mem(U, kFrameSlot, -8);
    src->loc.indir = 0;
    cg::GenNode* n = x.node(cg::G_COPY, U, dst, src, 8);
    cg::Row row = handlerrow(4, 0, 0xB8);
    EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, &row, x.freeset())));
    EXPECT_EQ(x.text(), "lwz r0,OFST-8(r1); stw r0,OFST-16(r1); lwz r0,OFST-4(r1); stw r0,OFST-12(r1)");
}

TEST(Handlers, AndXorOrWithConstants) {
    struct Case {
        const char* what;
        int op;
        uint8_t ltype, ntype;
        int32_t value;
        int handler, arg;
        uint8_t rowleft;
        const char* out;
    };
    std::vector<Case> cases = {
        {"a constant with both halves", 193, U, U, 0x00FF00FF, 8, 0, 'H', "lis r0,255; ori r0,255; and r3,r0"},
        {"a small low half", 193, U, U, 0x12340005, 8, 0, 'H', "li r0,5; oris r0,4660; and r3,r0"},
        {"a 20-bit constant", 193, U, U, 0x54321, 8, 0, 'H', "li r0,344865; and r3,r0"},
        {"a test", 193, U, 0, 0x00FF00FF, 8, 1, 'H', "lis r0,255; ori r0,255; and. r0,r3"},
        {"a signed char's constant is sign-extended", 193, C, C, 0xF0, 8, 0, 'B', "li r0,-16; and r3,r0"},
        {"a short's", 193, S, S, 0xFFF0, 8, 0, 'E', "li r0,-16; and r3,r0"},
        {"xor of an unsigned char with 0x100 writes nothing", 146, UC, UC, 0x100, 9, 4, 'B', ""},
        {"xor of a short with ~0x80: sign-extended", 146, S, S, static_cast<int32_t>(0xFFFFFF7F), 9, 4, 'E',
         "xori r3,-129"},
        {"xor of an unsigned short with ~0x80: the width restored", 146, US, US, static_cast<int32_t>(0xFFFFFF7F),
         9, 4, 'E', "xori r3,-129; extzh r3"},
        {"xor of a char with 0x80", 146, C, C, 0x80, 9, 4, 'B', "xori r3,-128"},
        {"xor of an unsigned char with 0x80", 146, UC, UC, 0x80, 9, 4, 'B', "xori r3,128"},
        {"xor of a char giving an unsigned char", 163, C, UC, 0x01, 9, 4, 'B', "xori r3,1; extzb r3"},
        {"xor of an unsigned char giving a char", 163, UC, C, 0x01, 9, 4, 'B', "xori r3,1; extsb r3"},
        {"xor of a short with 0x1234: no immediate", 146, S, S, 0x1234, 9, 4, 'E', "li r4,4660; xor r3,r4"},
        {"or of a short with 0x8000", 141, S, S, 0x8000, 9, 3, 'E', "ori r3,32768; extsh r3"},
        {"or of an unsigned short with 0x1234", 141, US, US, 0x1234, 9, 3, 'E', "ori r3,4660"},
        {"or of a char with 0x80", 141, C, C, 0x80, 9, 3, 'B', "ori r3,-128"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        cg::GenNode* n = x.node(static_cast<int16_t>(c.op), c.ntype, x.reg(c.ltype, 3), x.cnst(I, c.value));
        cg::Row row = handlerrow(c.handler, c.arg, c.rowleft);
        EXPECT_TRUE(cg::setvalid(cg::emittemplate(x.G, n, &row, x.without({3})))) << c.what;
        EXPECT_EQ(x.text(), c.out) << c.what;
    }
}

// ---- registers ----

TEST(Registers, PushAndPopADouble) {
    ExprRig x;
    cg::GenNode* d = x.reg(D, 5, true);
    cg::RegSet s = cg::pushvalue(x.G, d, cg::LK_REG, x.without({5, 6}));
    EXPECT_EQ(x.text(), "stwu r6,-4(r1); stwu r5,-4(r1)");
    EXPECT_EQ(x.G.ex.framebase, 8);
    EXPECT_TRUE(cg::setin(s, cg::pairof(gpr(5))));
    EXPECT_EQ(d->loc.reg, cg::pairof(gpr(5)) | cg::kPushedBit);
    s = cg::popvalue(x.G, d, s, 0, nullptr);
    EXPECT_EQ(x.text(), "lwz r5,0(r1); lwz r6,4(r1); addi r1,8");
    EXPECT_EQ(x.G.ex.framebase, 0);
    EXPECT_FALSE(cg::setin(s, gpr(5)));
    // a pushed double that is not needed is dropped whole
    s = cg::pushvalue(x.G, d, cg::LK_REG, s);
    x.text();
    s = cg::forceloc(x.G, d, cg::W_NOVALUE, s, 0);
    EXPECT_EQ(x.text(), "addi r1,8");
    EXPECT_EQ(x.G.ex.framebase, 0);
    // a word
    cg::GenNode* w = x.reg(I, 7, true);
    s = cg::pushvalue(x.G, w, cg::LK_REG, x.without({7}));
    s = cg::forceloc(x.G, w, cg::W_NOVALUE, s, 0);
    EXPECT_EQ(x.text(), "stwu r7,-4(r1); addi r1,4");
    // a value its node does not own cannot be pushed
    EXPECT_FALSE(cg::setvalid(cg::pushvalue(x.G, x.reg(I, 14), cg::LK_REG, x.freeset())));
}

TEST(Registers, PushAnAddressAndPopIt) {
    ExprRig x;
    cg::GenNode* m = x.mem(I, gpr(5), 8);
    m->flags = cg::NF_OWNSREG;
    cg::RegSet s = cg::pushvalue(x.G, m, cg::LK_MEMREG, x.without({5}));
    EXPECT_EQ(x.text(), "stwu r5,-4(r1)");
    EXPECT_EQ(m->loc.reg, cg::kPushedBit | cg::kPushedAddr);
    EXPECT_TRUE(cg::setin(s, gpr(5)));
    s = cg::popvalue(x.G, m, x.without({3}), 1, nullptr);
    EXPECT_EQ(x.text(), "lwz r4,0(r1); addi r1,4");
    EXPECT_EQ(m->loc.reg, gpr(4));
    EXPECT_EQ(m->loc.indir, 1);
}

TEST(Registers, ForceAConstantForAddressArithmetic) {
    ExprRig x;
    cg::GenNode* k = x.cnst(U, 0x12340010);
    cg::RegSet s = cg::forceloc(x.G, k, cg::LK_ADDR | cg::LK_REG | cg::LK_REUSABLE, x.freeset(), U);
    EXPECT_TRUE(cg::setvalid(s));
    EXPECT_EQ(x.text(), "lis r3,4660");
    EXPECT_EQ(k->loc.reg, gpr(3));
    EXPECT_EQ(k->loc.offset, 16);
    EXPECT_FALSE(cg::setin(s, gpr(3)));
    // not for address arithmetic: the whole value
    cg::GenNode* v = x.cnst(U, 0x12340010);
    cg::forceloc(x.G, v, cg::LK_REG, x.freeset(), U);
    EXPECT_EQ(x.text(), "lis r3,4660; ori r3,16");
}

TEST(Registers, ForceMemoryAndAddresses) {
    struct Case {
        const char* what;
        std::function<cg::GenNode*(ExprRig&)> make;
        uint32_t kinds;
        uint8_t type;
        const char* out;
    };
    std::vector<Case> cases = {
        {"a local into a register", [](ExprRig& x) { return x.mem(I, kFrameSlot, -8); }, cg::LK_REG, I,
         "lwz r3,OFST-8(r1)"},
        {"a char local into an int register", [](ExprRig& x) { return x.mem(C, kFrameSlot, -5); }, cg::LK_REG, I,
         "lbz r3,OFST-5(r1); extsb r3"},
        {"a global through the address table", [](ExprRig& x) { return x.mem(I, 0, 4, "<g"); }, cg::LK_REG, I,
         "lwz r3,0(r2); lwz r3,0(r3)"},
        {"a global's address wanted in memory form", [](ExprRig& x) { return x.mem(I, 0, 4, "<g"); }, cg::LK_MEMREG,
         I, "lwz r3,0(r2)"},
        {"a small-data global", [](ExprRig& x) { return x.mem(I, kR13, 0, "<s"); }, cg::LK_REG, I,
         "lwz r3,_s(r13)"},
        {"a frame address", [](ExprRig& x) { auto* n = x.mem(U, kFrameSlot, -8); n->loc.indir = 0; return n; },
         cg::LK_REG, U, "la r3,OFST-8(r1)"},
        {"an indexed address", [](ExprRig& x) { auto* n = x.mem(U, gpr(5), 0); n->loc.indir = 0; n->loc.index = gpr(6); return n; },
         cg::LK_REG, U, "add r3,r5,r6"},
        {"a constant into memory for a memory operand", [](ExprRig& x) { return x.cnst(I, 0x12345678); },
         cg::LK_MEMREG, I, ""},
        {"a register widened in place", [](ExprRig& x) { return x.reg(UC, 5); }, cg::LK_REG, I, ""},
        {"a register narrowed", [](ExprRig& x) { return x.reg(I, 5); }, cg::LK_REG, C, "extsb r3,r5"},
    };
    for (const Case& c : cases) {
        ExprRig x;
        cg::GenNode* n = c.make(x);
        cg::RegSet s = cg::forceloc(x.G, n, c.kinds, x.without({5, 6}), c.type);
        EXPECT_TRUE(cg::setvalid(s)) << c.what;
        EXPECT_EQ(x.text(), c.out) << c.what;
        EXPECT_TRUE(cg::curkinds(x.G, n) & c.kinds) << c.what;
    }
    // a short constant (short-addressed, no base register): its value through
    // the address table, its address with la
    for (bool address : {false, true}) {
        ExprRig x;
        cg::GenNode* c = x.mem(I, 0, 0, "<c", cg::LF_DIRECT);
        c->loc.attr = cg::GF_DIR | cg::GF_CONST;
        if (address) c->loc.indir = 0;
        cg::forceloc(x.G, c, cg::LK_REG, x.freeset(), address ? U : I);
        EXPECT_EQ(x.text(), address ? "la r3,_c" : "lwz r3,0(r2); lwz r3,0(r3)");
    }
    // with -nt the address is built from its halves
    ExprRig x;
    x.G.opt.nt = 1;
    cg::GenNode* g = x.mem(I, 0, 4, "<g");
    cg::forceloc(x.G, g, cg::LK_REG, x.freeset(), I);
    EXPECT_EQ(x.text(), "lis r3,._g+4; lwz r3,._g+4(r3)");
    EXPECT_EQ(x.G.ex.table.size(), 0u);
}

TEST(Registers, DoublePairsStartAboveTheLimit) {
    struct Case {
        int limit;  // register number, 0 none
        int first;  // the pair's first register
    };
    for (Case c : std::vector<Case>{{0, 3}, {3, 5}, {4, 5}, {5, 7}, {6, 7}, {10, 11}}) {
        ExprRig x;
        x.G.ex.limit = c.limit ? gpr(c.limit) : 0;
        cg::GenNode n;
        ASSERT_TRUE(cg::allocreg(x.G, &n, cg::LK_REG, x.freeset(), D, nullptr)) << c.limit;
        EXPECT_EQ(n.loc.reg, cg::pairof(gpr(c.first))) << "limit r" << c.limit;
    }
    ExprRig x;
    x.G.ex.limit = gpr(11);
    cg::GenNode n;
    EXPECT_FALSE(cg::allocreg(x.G, &n, cg::LK_REG, x.freeset(), D, nullptr));
    // words: above the limit, or the hint
    x.G.ex.limit = gpr(6);
    ASSERT_TRUE(cg::allocreg(x.G, &n, cg::LK_REG, x.freeset(), I, nullptr));
    EXPECT_EQ(n.loc.reg, gpr(7));
    x.G.ex.hint = gpr(12);
    ASSERT_TRUE(cg::allocreg(x.G, &n, cg::LK_REG, x.freeset(), I, nullptr));
    EXPECT_EQ(n.loc.reg, gpr(12));
    EXPECT_FALSE(cg::setin(x.G.regs.scratch, gpr(12)));
}

TEST(Registers, RollbackRestoresTextLabelsAndFrame) {
    ExprRig x;
    x.G.store.addchars(" nop;");
    cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.reg(I, 3), x.cnst(I, 0));
    cg::Snapshot snap;
    cg::RegSet s = x.freeset();
    cg::savestate(x.G, snap, &s);
    uint32_t pos = x.G.store.writepos();
    uint16_t label = x.G.code.nextlabel;
    cg::setdel(s, gpr(7));
    cg::expandtemplate(x.G, n, "Xi L,0;bne T", s);
    cg::newframetemp(x.G, 8);
    cg::setdel(x.G.regs.scratch, gpr(9));
    x.G.ex.framebase = 4;
    x.G.fn.frameflags |= cg::FF_CALLS;
    cg::restorestate(x.G, snap, &s);
    EXPECT_EQ(x.G.store.writepos(), pos);
    EXPECT_EQ(x.G.code.nextlabel, label);
    EXPECT_EQ(x.G.fn.tempptr, 0);
    EXPECT_EQ(x.G.fn.lowtemp, 0);
    EXPECT_EQ(x.G.ex.framebase, 0);
    EXPECT_EQ(x.G.fn.frameflags, 0u);
    EXPECT_TRUE(cg::setin(x.G.regs.scratch, gpr(9)));
    EXPECT_TRUE(cg::setin(s, gpr(7)));
    EXPECT_EQ(x.text(), "nop");
    // a label that got a record is never handed out again
    cg::savestate(x.G, snap);
    cg::findlabel(x.G, cg::genlabel(x.G));
    cg::restorestate(x.G, snap);
    EXPECT_EQ(cg::genlabel(x.G), label + 4);
}

TEST(Registers, MovesNestedTooDeep) {
    ExprRig x;
    x.G.ex.movedepth = 1;
    cg::GenNode d, s;
    cg::setloc(&d, I, 0, gpr(3), 0);
    cg::setloc(&s, I, 0, gpr(4), 0);
    // with every scratch register free the move just fails
    EXPECT_FALSE(cg::setvalid(cg::movevalue(x.G, &d, &s, x.freeset())));
    testing::internal::CaptureStderr();
    int status = tl::runmain([&] {
        cg::movevalue(x.G, &d, &s, x.without({5}));
        return 0;
    });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("PANIC! MOVCNT"), std::string::npos) << err;
}

TEST(Registers, ParametersInTheirRegisters) {
    ExprRig x;
    x.G.fn.params.push_back({I, 0, gpr(3), false});
    x.G.fn.params.push_back({UC, 4, gpr(4), false});
    cg::RegSet s = x.freeset();
    cg::GenNode* p = x.mem(I, kFrameSlot, 0);
    EXPECT_TRUE(cg::paramreg(x.G, p, &s));
    EXPECT_EQ(p->loc.reg, gpr(3));
    EXPECT_EQ(p->loc.indir, 0);
    EXPECT_FALSE(cg::setin(x.G.regs.scratch, gpr(3)));
    // the char parameter lies in the last byte of its word
    cg::GenNode* c = x.mem(UC, kFrameSlot, 7);
    EXPECT_TRUE(cg::paramreg(x.G, c, &s));
    EXPECT_EQ(c->loc.reg, gpr(4));
    // once its register is gone it is read from memory
    cg::GenNode* again = x.mem(I, kFrameSlot, 0);
    EXPECT_FALSE(cg::paramreg(x.G, again, &s));
    EXPECT_EQ(again->loc.indir, 1);
}

// ---- the content cache ----

struct CacheRig : ExprRig {
    cg::RegSet s;
    CacheRig() { s = freeset(); }
    // Reads a cell into a register and gives the register back at once.
    std::string read(cg::GenNode* cell, uint8_t type = ir::T_INT) {
        cg::RegSet r = cg::forceloc(G, cell, cg::LK_REG, s, type);
        EXPECT_TRUE(cg::setvalid(r));
        std::string t = text();
        return t.empty() ? "hit r" + std::to_string(cell->loc.reg - 1) : t;
    }
};

TEST(Cache, SecondReadsHitSmallDataAndTableCells) {
    CacheRig x;
    EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "lwz r3,_s(r13)");
    EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "hit r3");
    EXPECT_EQ(x.read(x.mem(I, kR2, 8)), "lwz r4,8(r2)");
    EXPECT_EQ(x.read(x.mem(I, kR2, 8)), "hit r4");
    EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "hit r3");
    // another width or signedness of the same cell is another value
    EXPECT_EQ(x.read(x.mem(UC, kR13, 0, "<s")), "lbz r5,_s(r13)");
    // a table-addressed global: its address may come again, its value is reloaded
    EXPECT_EQ(x.read(x.mem(I, 0, 0, "<g")), "lwz r3,0(r2); lwz r3,0(r3)");
    EXPECT_EQ(x.read(x.mem(I, 0, 0, "<g")), "lwz r3,0(r2); lwz r3,0(r3)");
    // a register that is taken is no hit
    cg::setdel(x.s, gpr(3));
    EXPECT_NE(x.read(x.mem(I, kR13, 0, "<s")), "hit r3");
}

TEST(Cache, EveryInvalidationForcesAReload) {
    struct Case {
        const char* what;
        std::function<void(CacheRig&)> between;
    };
    std::vector<Case> cases = {
        {"a label, a call or inline assembly", [](CacheRig& x) { cg::regcache(x.G, nullptr, nullptr, 0); }},
        {"a rollback", [](CacheRig& x) {
             cg::Snapshot snap;
             cg::savestate(x.G, snap);
             cg::restorestate(x.G, snap);
         }},
        {"a helper call", [](CacheRig& x) {
             cg::GenNode* n = x.node(ir::O_ADD, F, x.reg(F, 3), x.reg(F, 4));
             cg::RegSet f = x.s;
             cg::expandtemplate(x.G, n, "OKfadd", f);
         }},
        {"a store through a pointer", [](CacheRig& x) {
             cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.mem(I, gpr(9), 0), x.reg(I, 8));
             cg::RegSet f = x.s;
             cg::expandtemplate(x.G, n, "CLR,L", f);
         }},
        {"a store to the cell", [](CacheRig& x) {
             cg::GenNode* n = x.node(ir::O_ASSIGN, UC, x.mem(UC, kR13, 1, "<s"), x.reg(UC, 8));
             cg::RegSet f = x.s;
             cg::expandtemplate(x.G, n, "CLR,L", f);
         }},
        {"a store to a volatile", [](CacheRig& x) {
             cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.mem(I, kR13, 8, "<v", cg::LF_VOLATILE), x.reg(I, 8));
             cg::RegSet f = x.s;
             cg::expandtemplate(x.G, n, "CLR,L", f);
         }},
        {"the register written", [](CacheRig& x) {
             cg::GenNode* n = x.node(ir::O_ADD, I, x.reg(I, 3), x.cnst(I, 1));
             cg::Row row = {'H', 0x0D, 0, "F1i L,R"};
             cg::emittemplate(x.G, n, &row, x.s);
         }},
    };
    for (const Case& c : cases) {
        CacheRig x;
        EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "lwz r3,_s(r13)");
        c.between(x);
        x.text();
        EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "lwz r3,_s(r13)") << c.what;
    }
}

TEST(Cache, AStoreLeavesTheValueInItsRegister) {
    CacheRig x;
    cg::GenNode* n = x.node(ir::O_ASSIGN, I, x.mem(I, kR13, 4, "<t"), x.reg(I, 5));
    cg::RegSet f = x.s;
    cg::expandtemplate(x.G, n, "CLR,L", f);
    EXPECT_EQ(x.text(), "stw r5,_t+4(r13)");
    EXPECT_EQ(x.read(x.mem(I, kR13, 4, "<t")), "hit r5");
    // a byte store of a word register says nothing about the byte
    cg::GenNode* b = x.node(ir::O_ASSIGN, UC, x.mem(UC, kR13, 12, "<t"), x.reg(I, 6));
    cg::expandtemplate(x.G, b, "CLR,L", f);
    x.text();
    EXPECT_EQ(x.read(x.mem(UC, kR13, 12, "<t")), "lbz r3,_t+12(r13)");
}

TEST(Cache, OffWithNr) {
    CacheRig x;
    x.G.opt.nr = 1;
    EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "lwz r3,_s(r13)");
    EXPECT_EQ(x.read(x.mem(I, kR13, 0, "<s")), "lwz r3,_s(r13)");
}

}  // namespace
}  // namespace cgtest
