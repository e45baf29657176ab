// Every row expanded with representative operands (r3-r7 and r8-r12,
// boundary constants, bit-fields of several widths), assembled by cappc;
// the bytes it made are disassembled by the cross disassembler and that
// text assembled again by the cross assembler: both must give the same
// bytes.
#include <map>

#include "exprrig.h"
#include "tests/isa/oracle.h"

namespace cgtest {
namespace {

using cg::gpr;


// Constants for a constant class; the first suits the row best.
std::vector<int32_t> constants(uint8_t cls) {
    switch (cls) {
        case 0x09: return {0xFF00, static_cast<int32_t>(0xFFFFFF80), 0x7F, static_cast<int32_t>(0xFF000000)};
        case 0x0A: return {0xFFFF, 0x1234};
        case 0x0B: return {static_cast<int32_t>(0xFFFFFF7F)};
        case 0x0C: return {0x00400000};
        case 0x0D: return {-32768, 32767, -1};
        case 0x0E: return {0x12340000, static_cast<int32_t>(0xFFFF0000)};
        case 0x0F: return {5, 0, 0x7F, 0x1234, 0x12345678, -1, 0x80000, 31, 0x8000};
        default: return {cls};
    }
}

// Bit-field types for a memory class of a bit-field type.
std::vector<uint32_t> fieldtypes(uint8_t code) {
    auto f = [&](int pos, int width) { return code | static_cast<uint32_t>(pos) << 4 | static_cast<uint32_t>(width) << 10; };
    switch (code) {
        case ir::T_CHARBITS: return {f(2, 5), f(0, 1), f(7, 1), f(0, 8)};
        case ir::T_SHORTBITS: return {f(3, 9), f(15, 1), f(0, 16)};
        case ir::T_INTBITS: return {f(5, 13), f(0, 32), f(31, 1), f(16, 16), f(2, 14)};
        default: return {code};
    }
}

struct Sweep {
    ExprRig x;
    int emitted = 0, failed = 0;
    std::string failures;

    cg::GenNode* operand(uint8_t cls, bool left, bool high, int32_t value, uint32_t ftype) {
        uint8_t t = cls & 15;
        int base = high ? 8 : 3;
        switch (cls >> 4) {
            case 0: return x.cnst(I, value);
            case 1: return x.mem(t, cg::kPushSlot, 0);
            case 3: return x.mem(t, 0, 272, "", cg::LF_SPR);
            case 8: return x.mem(ftype, gpr(high ? 12 : 7), 8);
            case 11: return x.reg(U, left ? base + 3 : base + 4, true);
            default:
                if (t == ir::T_DOUBLE) return x.reg(t, left ? base : base + 2, true);
                return x.reg(t, left ? base : base + 1, true);
        }
    }

    void emit(int op, const cg::Row& row, bool high, int32_t value, uint32_t ftype, uint32_t size) {
        cg::GenNode* l = operand(row.left, true, high, value, ftype);
        cg::GenNode* r = operand(row.right, false, high, value, ftype);
        uint8_t ntype = (row.flags & cg::RF_NOVALUE) ? 0 : (row.left >> 4) == 8 ? ftype : row.left & 15;
        cg::GenNode* n = x.node(static_cast<int16_t>(op), ntype, l, r, size);
        cg::RegSet free = x.freeset();
        for (cg::GenNode* o : {l, r}) {
            cg::setdel(free, o->loc.reg);
            if (o->loc.indir) cg::setdel(free, o->loc.reg);
        }
        ++emitted;
        if (!cg::setvalid(cg::emittemplate(x.G, n, &row, free))) {
            ++failed;
            failures += "row " + std::to_string(row.left) + " " + std::to_string(row.right) + " op " + std::to_string(op) + "\n";
        }
        x.G.pool.release();
    }

    void all() {
        for (const cg::OpEntry& e : cg::optable()) {
            // each list once, through its first operator
            bool first = true;
            for (const cg::OpEntry& f : cg::optable())
                if (&f == &e) break;
                else if (f.list == e.list) first = false;
            if (!first) continue;
            for (const cg::Row& row : e.list->rows) {
                if (row.skip()) continue;
                for (bool high : {false, true}) {
                    std::vector<int32_t> values = {0};
                    if (row.left < 0x10) values = constants(row.left);
                    if (row.right < 0x10) values = constants(row.right);
                    std::vector<uint32_t> ftypes = {0};
                    if ((row.left >> 4) == 8) ftypes = fieldtypes(row.left & 15);
                    if ((row.right >> 4) == 8) ftypes = fieldtypes(row.right & 15);
                    for (int32_t v : values)
                        for (uint32_t ft : ftypes)
                            for (uint32_t size : e.op == cg::G_COPY ? std::vector<uint32_t>{2, 6, 8, 7, 12, 10}
                                                                    : std::vector<uint32_t>{0})
                                emit(e.op, row, high, v, ft, size);
                }
            }
        }
    }
};

TEST(RowsOracle, EveryRowAssemblesAndTheCrossAssemblerAgrees) {
    Sweep sw;
    sw.all();
    EXPECT_EQ(sw.failed, 0) << sw.failures;
    ASSERT_GT(sw.emitted, 400);
    std::string body = sw.x.raw();
    std::string stubs;
    for (const std::string& h : sw.x.G.w.helpers) stubs += "c_" + h + ":\tblr\n";
    std::string text = "\tswitch\t.text\n" + body + stubs + "\txdef\tzzend\nzzend:\n";
    std::string why;
    std::string object = assemble(text, why);
    ASSERT_FALSE(object.empty()) << why;
    if (!oracle::available()) GTEST_SKIP() << "powerpc-linux-gnu-as/objdump/objcopy not installed";
    auto s = loadprogram(object);
    ASSERT_TRUE(s);
    auto end = s->symbolport.findsym("zzend");
    ASSERT_TRUE(end);
    std::vector<uint8_t> ours(*end);
    s->target.mem.getmem(ours.data(), 0, ours.size());
    EXPECT_EQ(oracle::crosscheck(ours), "");
}

}  // namespace
}  // namespace cgtest
