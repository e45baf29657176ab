// Row selection: findtemplate over operand trees (constant classes, skip
// rows, the retry passes, flag 0x40) and matchclass on its own.
#include "exprrig.h"

namespace cgtest {
namespace {

std::string describe(const cg::Row* r) {
    if (!r) return "none";
    char head[16];
    std::snprintf(head, sizeof head, "%02X %02X ", r->left, r->right);
    if (!r->special()) return head + std::string(r->text);
    if (r->arg) return head + ("handler " + std::to_string(r->handler) + " " + r->arg);
    return head + ("handler " + std::to_string(r->handler) + "," + std::to_string(r->num));
}


struct SelectCase {
    const char* what;
    int op;
    uint8_t type;      // the node's type (0: value not used)
    char left;         // 'r' scratch register r5, 'v' register variable r14, 'm' a local in memory
    uint8_t ltype;
    char right;        // 'c' a constant, 'r' register r6, 'm' memory
    uint8_t rtype;
    int32_t value;     // the constant
    int bylocation;
    const char* row;
};

TEST(Select, FindTemplate) {
    std::vector<SelectCase> cases = {
        {"unsigned % 7: the skip row passes H A and H B, the constant is loaded", 153, U, 'm', U, 'c', I, 7, 0,
         "48 48 D5u r0,L,R;D4w r0,R;F2 L,r0"},
        {"int % int", 153, I, 'm', I, 'm', I, 0, 0, "46 46 D5 r0,L,R;D4w r0,R;F2 L,r0"},
        {"int / unsigned short is signed", 133, I, 'm', I, 'm', US, 0, 0, "46 45 D5 L,R"},
        {"unsigned / int is unsigned", 133, U, 'm', U, 'm', I, 0, 0, "48 48 D5u L,R"},
        {"x - -32768 refuses the subtract immediate", 216, I, 'v', I, 'c', I, -32768, 0, "48 48 F2 L,R"},
        {"x - 32767", 216, I, 'v', I, 'c', I, 32767, 0, "48 0D F2i L,R"},
        {"x + -32768 takes addi", 222, I, 'v', I, 'c', I, -32768, 0, "48 0D F1i L,R"},
        {"x + 0x12340000 takes addis", 222, I, 'v', I, 'c', I, 0x12340000, 0, "48 0E F1is L,SSUR"},
        {"x + 0x12345 needs the constant loaded", 222, I, 'v', I, 'c', I, 0x12345, 0, "48 48 F1 L,R"},
        {"char + 5", 222, C, 'v', C, 'c', I, 5, 0, "42 0F F1i L,WR;E?7z?s?b L"},
        {"x & 0x00FF0000: one byte lane, the rest zero", 193, I, 'v', I, 'c', I, 0x00FF0000, 0, "48 09 N1i L,R"},
        {"x & 0xFFFF00FF: one byte lane, the rest ones", 193, I, 'v', I, 'c', I, static_cast<int32_t>(0xFFFF00FF), 0,
         "48 09 N1i L,R"},
        {"x & 0x1234: 16 bits unsigned", 193, I, 'v', I, 'c', I, 0x1234, 0, "48 0A N1i. L,R"},
        {"x & 0x12340000: low half zero", 193, I, 'v', I, 'c', I, 0x12340000, 0, "48 0E N1is. L,UR"},
        {"x & 0x00FF00FF: neither class", 193, I, 'v', I, 'c', I, 0x00FF00FF, 0, "48 0F handler 8,0"},
        {"x & 0xFF as a test only: flag 0x40", 193, 0, 'v', I, 'c', I, 0xFF, 0, "48 09 N1i. r0,L,R"},
        {"x & 0x00FF00FF as a test only", 193, 0, 'v', I, 'c', I, 0x00FF00FF, 0, "48 0F handler 8,1"},
        {"uchar ^= 0x1234: past the skip row to the word row", 146, UC, 'v', UC, 'c', I, 0x1234, 0, "48 48 N4 L,R"},
        {"uchar ^= 0x12: the halfword handler", 146, UC, 'v', UC, 'c', I, 0x12, 0, "42 09 handler 9 N4i L,"},
        {"short |= 0x1234", 141, S, 'v', S, 'c', I, 0x1234, 0, "45 0F handler 9 N3i L,"},
        {"x | 0x12345678", 156, I, 'v', I, 'c', I, 0x12345678, 0, "48 0F N3i L,VR;N3is L,UR"},
        {"x << 3", 151, I, 'v', I, 'c', I, 3, 0, "48 0F D3i L,GR"},
        {"signed >> 3", 160, I, 'v', I, 'c', I, 3, 0, "46 0F D1i L,GR"},
        {"~x", 67, I, 'v', I, 'c', I, 0, 0, "48 00 Z4 L"},
        {"-d", 108, D, 'v', D, 'c', I, 0, 0, "4A 00 &LKdneg"},
        {"float == 0 goes to the helper", 174, F, 'r', F, 'c', I, 0, 0, "49 00 handler 7 OKfcmp"},
        {"double == 0 goes to the helper", 174, D, 'r', D, 'c', I, 0, 0, "4A 00 OKdcmp"},
        {"int < 100", 174, I, 'r', I, 'c', I, 100, 0, "46 0D Xi L,R"},
        {"unsigned < unsigned", 174, U, 'r', U, 'r', U, 0, 0, "48 48 Xlw L,R"},
        {"double * double", 226, D, 'v', D, 'r', D, 0, 0, "4A 4A OKdmul"},
        {"float + float", 222, F, 'v', F, 'r', F, 0, 0, "49 49 handler 7 OKfadd"},
        {"reg = constant", 136, I, 'r', I, 'c', I, 1000, 1, "48 0F handler 5,0"},
        {"reg = unsigned char in memory", 136, I, 'r', I, 'm', UC, 0, 1, "48 82 MRL,R"},
        {"memory = reg", 136, I, 'm', I, 'r', I, 0, 1, "88 46 CLR,L"},
        {"double = int", 136, D, 'r', D, 'r', I, 0, 1, "4A 46 &RKltod"},
        {"double << int has no row", 151, D, 'v', D, 'r', I, 0, 0, "none"},
    };
    for (const SelectCase& c : cases) {
        ExprRig x;
        auto operand = [&](char kind, uint8_t type, int reg) -> cg::GenNode* {
            switch (kind) {
                case 'c': return x.cnst(type, c.value);
                case 'v': return x.reg(type, 14);
                case 'm': return x.mem(type, cg::kFrameSlot, reg == 5 ? -8 : -16);
                default: return x.reg(type, reg);
            }
        };
        cg::GenNode* n = x.node(static_cast<int16_t>(c.op), c.type, operand(c.left, c.ltype, 5),
                                operand(c.right, c.rtype, 6));
        EXPECT_EQ(describe(cg::findtemplate(x.G, n, c.bylocation)), c.row) << c.what;
    }
}

struct ClassCase {
    const char* what;
    uint8_t cls;
    uint8_t lasttype;  // the type of the last type class matched (the left operand's)
    uint8_t ctype;     // the constant's type
    int32_t value;
    int op;
    bool match;
};

TEST(Select, ConstantClasses) {
    std::vector<ClassCase> cases = {
        {"0x7F: complement one bit in 8 bits", 0x0B, UC, I, 0x7F, 193, true},
        {"0x7F with a 16-bit left", 0x0B, US, I, 0x7F, 193, false},
        {"0xFFFF7FFF with a 16-bit left", 0x0B, US, I, static_cast<int32_t>(0xFFFF7FFF), 193, true},
        {"0xFFFF7FFF with a 32-bit left", 0x0B, U, I, static_cast<int32_t>(0xFFFF7FFF), 193, true},
        {"0xFFFF7FFF with an 8-bit left", 0x0B, UC, I, static_cast<int32_t>(0xFFFF7FFF), 193, false},
        {"0xFFFFFF7F with an 8-bit left", 0x0B, UC, I, static_cast<int32_t>(0xFFFFFF7F), 193, true},
        {"0xFFFFFF7F with a 16-bit left", 0x0B, US, I, static_cast<int32_t>(0xFFFFFF7F), 193, true},
        {"0xFFFFFF7F with a 32-bit left", 0x0B, U, I, static_cast<int32_t>(0xFFFFFF7F), 193, true},
        {"one bit", 0x0C, U, I, 0x00400000, 193, true},
        {"two bits", 0x0C, U, I, 0x00400001, 193, false},
        {"-32768 adds", 0x0D, U, I, -32768, 222, true},
        {"-32768 does not subtract", 0x0D, U, I, -32768, 216, false},
        {"-32768 does not subtract in place", 0x0D, U, I, -32768, 139, false},
        {"65535 is 16 bits unsigned", 0x0A, U, I, 65535, 193, true},
        {"65536 is not", 0x0A, U, I, 65536, 193, false},
        {"0x00FF00FF is no scaled immediate", 0x09, U, I, 0x00FF00FF, 193, false},
        {"0xFF000000 is one", 0x09, U, I, static_cast<int32_t>(0xFF000000), 193, true},
        {"the constant 3 for class 3", 0x03, U, I, 3, 193, true},
        {"a float constant against a double", 0x0F, D, F, 0x3F80, 174, false},
        {"a double constant against a double", 0x0F, D, D, 0x3FF00000, 174, true},
        {"a double constant against an int", 0x0F, I, D, 0x3FF00000, 174, false},
        {"an int constant against an int", 0x0F, I, I, 5, 174, true},
        {"a float constant is no plain constant", 0x00, F, F, 0, 174, false},
    };
    for (const ClassCase& c : cases) {
        ExprRig x;
        cg::GenNode* k = x.cnst(c.ctype, c.value);
        x.G.ex.lasttype = c.lasttype;
        EXPECT_EQ(cg::matchclass(x.G, k, c.cls, 0, c.ctype, c.op), c.match) << c.what;
    }
}

TEST(Select, LocationKinds) {
    constexpr uint8_t kR13ref = cg::kR13;
    ExprRig x;
    x.G.ex.limit = cg::gpr(4);
    cg::setadd(x.G.fn.localregs, cg::gpr(14));
    struct KindCase {
        const char* what;
        cg::GenNode* n;
        uint32_t kinds;
    };
    cg::GenNode* direct = x.mem(I, 0, 8, "<x");
    direct->indir = 0;
    direct->attr = cg::GF_DIR;
    cg::treeloc(direct);
    std::vector<KindCase> cases = {
        {"r3 at the scratch limit, unused", x.reg(I, 3), cg::LK_REUSABLE},
        {"r5 above the limit", x.reg(I, 5), cg::LK_REG},
        {"r12", x.reg(I, 12), cg::LK_REG},
        {"a register variable", x.reg(I, 14), cg::LK_REUSABLE},
        {"r15, no variable", x.reg(I, 15), cg::LK_REG},
        {"a constant", x.cnst(I, 4), cg::LK_CONST},
        {"memory through r4", x.mem(I, cg::gpr(4), 8), cg::LK_MEMREG},
        {"memory through a name", x.mem(I, 0, 0, "<x"), cg::LK_MEMNAME},
        {"a short constant: no base register", x.mem(I, 0, 0, "<x", cg::LF_DIRECT), cg::LK_MEMNAME},
        {"a small-data object", x.mem(I, kR13ref, 0, "<x", cg::LF_DIRECT), cg::LK_MEMREG},
        {"a frame slot", x.mem(I, cg::kFrameSlot, -4), cg::LK_MEMREG},
        {"a special register", x.mem(U, 0, 272, "", cg::LF_SPR), cg::LK_SPR},
        {"the address of a short constant", direct, cg::LK_ADDRNAME},
    };
    for (const KindCase& c : cases) {
        EXPECT_EQ(cg::treekinds(x.G, c.n), c.kinds) << c.what;
        EXPECT_EQ(cg::curkinds(x.G, c.n), c.kinds) << c.what;
    }
    cg::GenNode* addr = x.mem(I, 0, 0, "<x");
    addr->indir = 0;
    cg::treeloc(addr);
    EXPECT_EQ(cg::treekinds(x.G, addr), cg::LK_ADDRNAME);
    addr->loc.reg = cg::gpr(5);
    addr->loc.offset = 16;
    EXPECT_EQ(cg::curkinds(x.G, addr), cg::LK_ADDR);
}

}  // namespace
}  // namespace cgtest
