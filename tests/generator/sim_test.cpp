// Generated code run on the simulator against host values: constants loaded
// into registers, bit-field stores, inserts, extractions, read-modify-writes
// and tests at every width and position (the neighbouring bits untouched),
// byte and halfword xor and or, structure copies, and floating compares
// with zero through the run-time helpers.
#include <bit>
#include <fstream>
#include <random>
#include <sstream>

#include "exprrig.h"

namespace cgtest {
namespace {

using cg::gpr;
constexpr uint32_t kData = 0x100000;   // r13 points here
constexpr uint32_t kStack = 0x800000;  // r1


// One program: blocks of generated code and of our own lines, run once from
// address 0 to its end.
struct Program {
    ExprRig x;
    std::string tail;

    // The row's code for a node, which must succeed.
    void emit(cg::GenNode* n, const cg::Row& row, cg::RegSet free) {
        cg::RegSet after = cg::emittemplate(x.G, n, &row, free);
        ASSERT_TRUE(cg::setvalid(after));
        x.G.pool.release();
    }
    // Text in the writer's notation: a blank for a TAB, ';' ends a line.
    void line(const std::string& text) { x.G.store.addchars(text); }
    void li(int r, uint32_t v) { line(" lis r" + std::to_string(r) + "," + std::to_string(v >> 16) + "; ori r" +
                                     std::to_string(r) + "," + std::to_string(v & 0xFFFF) + ";"); }

    // Assembles and runs it; setup fills memory and registers first.
    std::unique_ptr<vek::Session> run(const std::function<void(vek::Session&)>& setup) {
        std::string text = "\tswitch\t.text\n" + x.raw() + "\txdef\tzzend\nzzend:\tdc.w\t0\n" + tail;
        std::string why;
        std::string object = assemble(text, why);
        EXPECT_FALSE(object.empty()) << why;
        if (object.empty()) return nullptr;
        auto s = loadprogram(object);
        EXPECT_TRUE(s);
        if (!s) return nullptr;
        vek::Session& t = *s;
        t.target.regs.setreg(vek::RegR0 + 1, kStack);
        t.target.regs.setreg(vek::RegR0 + 13, kData);
        setup(t);
        t.target.regs.setpc(0);
        t.run(50000000);
        auto end = t.symbolport.findsym("zzend");
        EXPECT_TRUE(end);
        if (end) { EXPECT_EQ(t.target.regs.getpc(), *end) << "the run stopped early"; }
        return s;
    }
};

cg::Row special(int handler, int32_t num = 0, uint8_t left = 'H', uint8_t flags = 0) {
    cg::Row r{left, 0x0F, static_cast<uint8_t>(cg::RF_SPECIAL | flags)};
    r.handler = static_cast<uint8_t>(handler);
    r.num = num;
    return r;
}

TEST(Simulated, ConstantsIntoRegisters) {
    const int32_t values[] = {-1, 127, 128, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFF, 0x80000, -524288,
                              static_cast<int32_t>(0x80000000), 0, 255, 256, -32768, -32769, 0x12345678,
                              static_cast<int32_t>(0xFFFF0000), 0x00FF0000, 0x12340000, 0x7FFFFFFF, -2};
    struct Typed {
        uint8_t type;
        int32_t value;
        uint32_t want;
    };
    std::vector<Typed> typed = {{C, 200, 0xFFFFFFC8}, {UC, -1, 0xFF}, {S, 0x18000, 0xFFFF8000}, {US, -2, 0xFFFE},
                                {C, 0x7F, 0x7F}, {S, 0x7FFF, 0x7FFF}};
    Program p;
    uint32_t off = 0;
    std::vector<std::pair<uint32_t, uint32_t>> expect;
    for (int r : {3, 12, 7, 9, 24}) {
        for (int32_t v : values) {
            cg::GenNode* n = p.x.node(ir::O_ASSIGN, I, p.x.reg(I, r), p.x.cnst(I, v));
            p.emit(n, special(5), p.x.freeset());
            p.line(" stw r" + std::to_string(r) + "," + std::to_string(off) + "(r13);");
            expect.push_back({off, static_cast<uint32_t>(v)});
            off += 4;
        }
        for (const Typed& t : typed) {
            cg::GenNode* n = p.x.node(ir::O_ASSIGN, t.type, p.x.reg(t.type, r), p.x.cnst(I, t.value));
            p.emit(n, special(5), p.x.freeset());
            p.line(" stw r" + std::to_string(r) + "," + std::to_string(off) + "(r13);");
            expect.push_back({off, t.want});
            off += 4;
        }
    }
    auto s = p.run([](vek::Session&) {});
    ASSERT_TRUE(s);
    for (auto [o, want] : expect) { EXPECT_EQ(s->target.mem.getlong(kData + o), want) << "cell " << o; }
}

// ---- bit-fields at every width and position

struct FieldCase {
    int pos, width;
    uint32_t unit;        // the whole unit before
    uint32_t cell;        // its offset from r13
    int handler, k;
    uint32_t c;           // the constant or the inserted register's value
    uint32_t result;      // offset of a result word (extraction, test), or -1
};

uint32_t unitmask(int bytes) { return bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1; }

// What the unit (or the result word) must hold afterwards.
uint32_t hostfield(const FieldCase& f, int bytes, bool resultword) {
    uint32_t mask = f.width == 32 ? 0xFFFFFFFFu : ((1u << f.width) - 1) << f.pos;
    uint32_t v = f.width == 32 ? f.c : (f.c << f.pos) & mask;
    uint32_t u = f.unit & unitmask(bytes);
    switch (f.handler) {
        case 1:
        case 2: return (u & ~mask) | v;
        case 3: return resultword ? (u & mask) >> f.pos : u;
        default:
            switch (f.k) {
                case 0: return u & (~mask | v);
                case 1: return resultword ? ((u & v) == 0 ? 1u : 0u) : u;
                case 2: return u | v;
                case 3: return u ^ v;
                default: return u ^ mask;
            }
    }
}

void runfields(int bytes) {
    const uint8_t code = bytes == 1 ? ir::T_CHARBITS : bytes == 2 ? ir::T_SHORTBITS : ir::T_INTBITS;
    const int bits = 8 * bytes;
    std::mt19937 rng(7 * static_cast<unsigned>(bytes));
    Program p;
    std::vector<FieldCase> cases;
    uint32_t off = 0, results = 24576;
    auto store = [&](int r, uint32_t at) { p.line(" stw r" + std::to_string(r) + "," + std::to_string(at) + "(r13);"); };
    for (int w = 1; w <= bits; ++w) {
        for (int pos = 0; pos + w <= bits; ++pos) {
            uint32_t pattern = rng();
            std::vector<std::pair<int, int>> kinds = {{1, 0}, {1, 1}, {1, 2}, {2, 0}, {3, 0},
                                                      {6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}};
            for (auto [handler, k] : kinds) {
                FieldCase f{pos, w, static_cast<uint32_t>(rng()), off, handler, k, pattern, 0xFFFFFFFFu};
                if (handler == 1) f.c = k == 0 ? 0 : k == 1 ? 0xFFFFFFFFu : pattern;
                uint32_t type = code | static_cast<uint32_t>(pos) << 4 | static_cast<uint32_t>(w) << 10;
                cg::GenNode* fieldop = p.x.mem(type, cg::kR13, static_cast<int32_t>(off));
                cg::RegSet free = p.x.without({5});
                if (handler == 2) {
                    p.li(5, f.c);
                    p.emit(p.x.node(ir::O_ASSIGN, type, fieldop, p.x.reg(I, 5)), special(2, 0, 0x87), free);
                } else if (handler == 3) {
                    p.emit(p.x.node(ir::O_ASSIGN, U, p.x.reg(U, 5), fieldop), special(3), free);
                    f.result = results;
                    store(5, results);
                    results += 4;
                } else if (handler == 1) {
                    p.emit(p.x.node(ir::O_ASSIGN, type, fieldop, p.x.cnst(U, static_cast<int32_t>(f.c))),
                           special(1, 0, 0x87), free);
                } else {
                    int op = k == 0 ? 134 : k == 1 ? 193 : k == 2 ? 141 : k == 3 ? 146 : 115;
                    cg::GenNode* n = p.x.node(static_cast<int16_t>(op), k == 1 ? 0 : type, fieldop,
                                              p.x.cnst(U, k == 4 ? 0 : static_cast<int32_t>(f.c)));
                    p.emit(n, special(6, k, 0x87, k == 1 ? 0x44 : 0), free);
                    if (k == 1) {
                        p.line(" mfcr r5;");
                        f.result = results;
                        store(5, results);
                        results += 4;
                    }
                }
                cases.push_back(f);
                off += 4;
            }
        }
    }
    ASSERT_LE(off, 24576u);
    ASSERT_LE(results, 32768u);
    auto s = p.run([&](vek::Session& t) {
        for (const FieldCase& f : cases) {
            uint32_t a = kData + f.cell;
            if (bytes == 4) t.target.mem.putlong(a, f.unit);
            if (bytes == 2) t.target.mem.putword(a, static_cast<uint16_t>(f.unit));
            if (bytes == 1) t.target.mem.putbyte(a, static_cast<uint8_t>(f.unit));
        }
    });
    ASSERT_TRUE(s);
    int failures = 0;
    for (const FieldCase& f : cases) {
        uint32_t a = kData + f.cell;
        uint32_t unit = bytes == 4 ? s->target.mem.getlong(a) : bytes == 2 ? s->target.mem.getword(a) : s->target.mem.getbyte(a);
        uint32_t want = hostfield(f, bytes, false);
        std::string what = "handler " + std::to_string(f.handler) + " k " + std::to_string(f.k) + " width " +
                           std::to_string(f.width) + " position " + std::to_string(f.pos) + " constant " +
                           std::to_string(f.c);
        if (unit != want && ++failures < 10) ADD_FAILURE() << what << ": unit " << std::hex << unit << " want " << want;
        if (f.result != 0xFFFFFFFFu) {
            uint32_t got = s->target.mem.getlong(kData + f.result);
            if (f.handler == 6) got = (got >> 29) & 1;  // cr0 EQ
            uint32_t wantr = hostfield(f, bytes, true);
            if (got != wantr && ++failures < 10) ADD_FAILURE() << what << ": result " << std::hex << got << " want " << wantr;
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(Simulated, BitFieldsInWords) { runfields(4); }
TEST(Simulated, BitFieldsInHalfwordsAndBytes) {
    runfields(2);
    runfields(1);
}

// ---- byte and halfword xor and or with constants

TEST(Simulated, NarrowXorAndOr) {
    const uint8_t types[] = {C, UC, S, US};
    const uint32_t constants[] = {0x80, 0xFFFFFF7F, 0x1234, 0x8000, 0x7F, 0xFF7F, 0x100, 0xFF, 0x8001, 0xFFFF};
    const uint32_t lefts[] = {0, 0xFFFFFFFF, 0x7F, 0x80, 0x7FFF, 0x8000, 0x1234};
    auto extend = [](uint8_t t, uint32_t v) -> uint32_t {
        switch (t) {
            case C: return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(v)));
            case UC: return v & 0xFF;
            case S: return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(v)));
            default: return v & 0xFFFF;
        }
    };
    Program p;
    struct Want {
        uint32_t off, value;
        std::string what;
    };
    std::vector<Want> wants;
    uint32_t off = 0;
    for (uint8_t t : types) {
        bool bytes = t == C || t == UC;
        for (uint8_t nt : {t, static_cast<uint8_t>(t == C ? UC : t == UC ? C : t == S ? US : S)}) {
            for (int op : {146, 141}) {
                for (uint32_t c : constants) {
                    for (uint32_t l : lefts) {
                        uint32_t left = extend(t, l);
                        p.li(3, left);
                        cg::Row row = special(9, 0, bytes ? 'B' : 'E');
                        row.arg = op == 146 ? "N4i L," : "N3i L,";
                        cg::GenNode* n = p.x.node(static_cast<int16_t>(op), nt, p.x.reg(t, 3), p.x.cnst(I, static_cast<int32_t>(c)));
                        p.emit(n, row, p.x.without({3}));
                        p.line(" stw r3," + std::to_string(off) + "(r13);");
                        uint32_t raw = op == 146 ? left ^ c : left | c;
                        wants.push_back({off, extend(nt, raw),
                                         std::string(op == 146 ? "xor" : "or") + " type " + std::to_string(t) +
                                             " node " + std::to_string(nt) + " left " + std::to_string(left) +
                                             " constant " + std::to_string(c)});
                        off += 4;
                    }
                }
            }
        }
        // the xor of a constant no immediate carries falls to the word row
        for (uint32_t l : lefts) {
            uint32_t left = extend(t, l);
            p.li(3, left);
            p.li(5, 0x1234);
            cg::GenNode* n = p.x.node(ir::O_XORASG, t, p.x.reg(t, 3), p.x.reg(I, 5, true));
            cg::Row word{'H', 'H', 0, "N4 L,R"};
            p.emit(n, word, p.x.without({3, 5}));
            p.line(" stw r3," + std::to_string(off) + "(r13);");
            wants.push_back({off, extend(t, left ^ 0x1234), "the word row, type " + std::to_string(t)});
            off += 4;
        }
    }
    auto s = p.run([](vek::Session&) {});
    ASSERT_TRUE(s);
    for (const Want& w : wants) { EXPECT_EQ(s->target.mem.getlong(kData + w.off), w.value) << w.what; }
}

// ---- structure copies

TEST(Simulated, StructureCopies) {
    Program p;
    struct Copy {
        uint32_t size;
        int loops;
        uint32_t dst, src, regs;
    };
    std::vector<Copy> copies;
    uint32_t at = 0x1000, regs = 0;
    for (uint32_t size : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 10u, 12u, 13u, 30u, 64u}) {
        for (int loops : {0, 1}) {
            Copy c{size, loops, at, at + 0x100, regs};
            at += 0x200;
            regs += 8;
            p.li(8, kData + c.dst);
            p.li(9, kData + c.src);
            p.x.G.fn.openloops = loops;
            cg::GenNode* n = p.x.node(cg::G_COPY, U, p.x.reg(U, 8), p.x.reg(U, 9), size);
            cg::Row row = special(4, 0, 0xB8);
            p.emit(n, row, p.x.without({8, 9}));
            p.line(" stw r8," + std::to_string(c.regs) + "(r13); stw r9," + std::to_string(c.regs + 4) + "(r13);");
            copies.push_back(c);
        }
    }
    auto s = p.run([&](vek::Session& t) {
        for (const Copy& c : copies)
            for (uint32_t i = 0; i < 0x200; ++i)
                t.target.mem.putbyte(kData + c.dst + i, static_cast<uint8_t>(i < 0x100 ? 0xEE : i * 7 + c.size));
        t.target.regs.setreg(vek::RegCtr, 0x0BADF00D);
    });
    ASSERT_TRUE(s);
    for (const Copy& c : copies) {
        std::string what = std::to_string(c.size) + " bytes, loops " + std::to_string(c.loops);
        for (uint32_t i = 0; i < c.size + 4; ++i) {
            uint8_t want = i < c.size ? static_cast<uint8_t>((0x100 + i) * 7 + c.size) : 0xEE;
            ASSERT_EQ(s->target.mem.getbyte(kData + c.dst + i), want) << what << " byte " << i;
        }
        EXPECT_EQ(s->target.mem.getlong(kData + c.regs), kData + c.dst) << what << ": destination register";
        EXPECT_EQ(s->target.mem.getlong(kData + c.regs + 4), kData + c.src) << what << ": source register";
    }
}

TEST(Simulated, CopyInsideACountedLoopLeavesItsCount) {
    Program p;
    p.x.G.fn.openloops = 1;
    p.li(8, kData);
    p.li(9, kData + 0x100);
    p.line(" li r0,3; mtctr r0;");
    p.line("L1:; stw r8,0(r13);");  // the enclosing loop, run three times
    cg::GenNode* n = p.x.node(cg::G_COPY, U, p.x.reg(U, 8), p.x.reg(U, 9), 24);
    p.emit(n, special(4, 0, 0xB8), p.x.without({8, 9}));
    p.line(" lwz r10,0x200(r13); addi r10,1; stw r10,0x200(r13); bdnz L1;");
    auto s = p.run([](vek::Session&) {});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->target.mem.getlong(kData + 0x200), 3u);
}

// ---- floating compares with zero go to the helpers

TEST(Simulated, FloatingCompareWithZero) {
    std::ifstream in(std::string(RUNTIME_DIR) + "/float.s");
    std::stringstream helpers;
    helpers << in.rdbuf();
    ASSERT_FALSE(helpers.str().empty()) << RUNTIME_DIR;
    Program p;
    p.tail = helpers.str();
    struct Case {
        uint8_t type;
        uint64_t bits;  // a float in the low word, or a double
        const char* what;
    };
    std::vector<Case> cases = {
        {F, 0x80000000, "-0.0f"},        {F, 0x00000000, "0.0f"},     {F, 0x00000001, "a float denormal"},
        {F, 0xBF800000, "-1.0f"},        {F, 0x3F800000, "1.0f"},     {D, 0x8000000000000000, "-0.0"},
        {D, 0x0000000000000001, "a double with only low-word bits"}, {D, 0xBFF0000000000000, "-1.0"},
        {D, 0, "0.0"},
    };
    uint32_t off = 0;
    for (const Case& c : cases) {
        if (c.type == F) {
            p.li(5, static_cast<uint32_t>(c.bits));
        } else {
            p.li(5, static_cast<uint32_t>(c.bits >> 32));
            p.li(6, static_cast<uint32_t>(c.bits));
        }
        cg::GenNode* n = p.x.node(cg::G_COMPARE, c.type, p.x.reg(c.type, 5, true), p.x.cnst(I, 0));
        const cg::Row* row = cg::findtemplate(p.x.G, n, 0);
        ASSERT_NE(row, nullptr);
        p.emit(n, *row, p.x.without({5, 6}));
        p.line(" mfcr r7; stw r7," + std::to_string(off) + "(r13);");
        off += 4;
    }
    auto s = p.run([](vek::Session&) {});
    ASSERT_TRUE(s);
    off = 0;
    for (const Case& c : cases) {
        double v = c.type == F ? std::bit_cast<float>(static_cast<uint32_t>(c.bits)) : std::bit_cast<double>(c.bits);
        uint32_t cr = s->target.mem.getlong(kData + off) >> 28;
        EXPECT_EQ((cr >> 3) & 1, v < 0 ? 1u : 0u) << c.what << " < 0";
        EXPECT_EQ((cr >> 2) & 1, v > 0 ? 1u : 0u) << c.what << " > 0";
        EXPECT_EQ((cr >> 1) & 1, v == 0 ? 1u : 0u) << c.what << " == 0";
        off += 4;
    }
}

}  // namespace
}  // namespace cgtest
