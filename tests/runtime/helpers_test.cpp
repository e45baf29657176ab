// The floating-point helpers, bit for bit against the host's IEEE results
// (round to nearest even, denormals, infinities) over boundary operands
// (signed zeros, denormals, extremes, infinities, NaNs, ties, carries) and
// a fixed random set. Every call starts with sentinels in all registers;
// a helper may change only what its row of the optimizer's helper table
// says, and must return with r1, LR and the caller's frame as they were.
// A NaN result is the first NaN operand made quiet, else the default NaN.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <sstream>

#include "rig.h"

namespace {

using rt::Machine;
using rt::Regs;

// ---- the helpers' register effects

constexpr uint32_t R(unsigned n) { return 1u << n; }
constexpr uint32_t kR0 = R(0), kR3 = R(3), kR4 = R(4), kR3to6 = R(3) | R(4) | R(5) | R(6);

struct Helper {
    const char* name;
    uint32_t written;  // registers it may change
    bool ctr = false;  // CTR may change
    bool cr0 = false;  // cr0 is its result
};

constexpr Helper kFadd{"c_fadd", kR0 | kR3 | kR4}, kFsub{"c_fsub", kR0 | kR3 | kR4}, kFmul{"c_fmul", kR0 | kR3 | kR4},
    kFdiv{"c_fdiv", kR0 | kR3 | kR4, true}, kDadd{"c_dadd", kR0 | kR3to6}, kDsub{"c_dsub", kR0 | kR3to6},
    kDmul{"c_dmul", kR0 | kR3to6}, kDdiv{"c_ddiv", kR0 | kR3to6, true}, kFcmp{"c_fcmp", kR0, false, true},
    kDcmp{"c_dcmp", kR0, false, true}, kFneg{"c_fneg", kR3}, kDneg{"c_dneg", kR3}, kFtod{"c_ftod", kR0 | kR3 | kR4},
    kDtof{"c_dtof", kR0 | kR3}, kFtol{"c_ftol", kR0 | kR3}, kDtol{"c_dtol", kR0 | kR3 | kR4},
    kLtof{"c_ltof", kR0 | kR3}, kUltof{"c_ultof", kR0 | kR3}, kLtod{"c_ltod", kR0 | kR3 | kR4},
    kUltod{"c_ultod", kR0 | kR3 | kR4};

// ---- values

uint32_t fbits(float f) { return std::bit_cast<uint32_t>(f); }
float fval(uint32_t b) { return std::bit_cast<float>(b); }
uint64_t dbits(double d) { return std::bit_cast<uint64_t>(d); }
double dval(uint64_t b) { return std::bit_cast<double>(b); }
bool fnan(uint32_t b) { return (b & 0x7FFFFFFFu) > 0x7F800000u; }
bool dnan(uint64_t b) { return (b & ~(uint64_t(1) << 63)) > 0x7FF0000000000000u; }

uint32_t fnanresult(uint32_t a, uint32_t b) {
    if (fnan(a)) return a | 0x00400000u;
    if (fnan(b)) return b | 0x00400000u;
    return 0x7FC00000u;
}
uint64_t dnanresult(uint64_t a, uint64_t b) {
    if (dnan(a)) return a | 0x0008000000000000u;
    if (dnan(b)) return b | 0x0008000000000000u;
    return 0x7FF8000000000000u;
}

constexpr uint32_t kFloats[] = {
    0x00000000, 0x80000000,              // zeros
    0x00000001, 0x80000001, 0x00000003,  // smallest denormals
    0x00400000, 0x007FFFFF, 0x807FFFFF,  // denormals up to the largest
    0x00800000, 0x80800000, 0x00800001,  // smallest normals
    0x3F800000, 0xBF800000, 0x3F800001, 0x3F7FFFFF, 0x3FC00000, 0x40000000, 0x3FFFFFFF, 0x40400000,
    0x33000000, 0x33800000, 0x34400000,  // 2^-25, 2^-24, 3*2^-24: ties against 1
    0x4B800000, 0x4B800001, 0x4F000000, 0xCF000000, 0x4EFFFFFF, 0xCF000001,
    0x7F7FFFFF, 0xFF7FFFFF, 0x7F000000,  // largest
    0x7F800000, 0xFF800000,              // infinities
    0x7FC00000, 0x7F800001, 0xFFC12345,  // quiet, signalling, negative NaN with payload
};

constexpr uint64_t kDoubles[] = {
    0x0000000000000000, 0x8000000000000000,  // zeros
    0x0000000000000001, 0x8000000000000001, 0x0000000000000003,
    0x0008000000000000, 0x000FFFFFFFFFFFFF, 0x800FFFFFFFFFFFFF,  // denormals
    0x0010000000000000, 0x8010000000000000, 0x0010000000000001,  // smallest normals
    0x3FF0000000000000, 0xBFF0000000000000, 0x3FF0000000000001, 0x3FEFFFFFFFFFFFFF, 0x3FF8000000000000,
    0x4000000000000000, 0x3FFFFFFFFFFFFFFF, 0x4008000000000000, 0x3FE0000000000000,
    0x3CA0000000000000, 0x3CB8000000000000, 0x3C90000000000000,  // 2^-53, 3*2^-53, 2^-54: ties against 1
    0x4340000000000000, 0x4340000000000001,                      // 2^53
    0x41E0000000000000, 0xC1E0000000000000, 0x41DFFFFFFFC00000,  // 2^31, -2^31, 2^31 - 1
    0xC1E0000000200000, 0x41DFFFFFFFFFFFFF, 0xC1E00000001FFFFF,  // around the int32 limits
    0x7FEFFFFFFFFFFFFF, 0xFFEFFFFFFFFFFFFF, 0x7FE0000000000000,  // largest
    0x7FF0000000000000, 0xFFF0000000000000,                      // infinities
    0x7FF8000000000000, 0x7FF0000000000001, 0xFFF8123456789ABC,  // NaNs
    0x47EFFFFFE0000000, 0x47EFFFFFF0000000, 0x47EFFFFFEFFFFFFF,  // largest float, its tie, below it
    0x36A0000000000000, 0x3690000000000000, 0x3698000000000000,  // float denormal 2^-149, 2^-150, 1.5*2^-150
    0x3810000000000000, 0x380FFFFFF0000000, 0x380FFFFFE8000000,  // float normal boundary
    0x3FF0000010000000, 0x3FF0000030000000, 0x3FF0000010000001,  // float ties at 1
};

constexpr uint32_t kInts[] = {
    0,          1,          0xFFFFFFFF, 2,          0x7FFFFFFF, 0x80000000, 0x80000001, 0x01000000,
    0x01000001, 0x01000003, 0x01000002, 0x7FFFFFC0, 0x7FFFFFBF, 0x7FFFFF80, 0xFFFFFF80, 0x00FFFFFF,
    0x12345678, 0xFEDCBA98, 0x40000000, 0x00020000,
};

constexpr uint32_t kSeed = 20240623;

// A random float or double: raw bits, or near a given exponent, or tiny.
template <typename T, typename Bits>
Bits randomvalue(std::mt19937_64& rng, int kind, Bits near) {
    constexpr int mant = std::is_same_v<T, float> ? 23 : 52;
    constexpr int expbits = std::is_same_v<T, float> ? 8 : 11;
    const Bits manmask = (Bits(1) << mant) - 1;
    Bits bits = static_cast<Bits>(rng());
    switch (kind) {
    case 0: return bits;  // anything
    case 1: {             // the exponent of near, give or take a few: cancellation, carries
        int e = int((near >> mant) & ((Bits(1) << expbits) - 1)) + int(rng() % 7) - 3;
        e = std::clamp(e, 0, (1 << expbits) - 2);
        return (bits & ~(Bits(-1) >> 1)) | (Bits(e) << mant) | (bits & manmask);
    }
    default:  // denormal or smallest normals
        return (bits & ~(Bits(-1) >> 1)) | (Bits(rng() % 3) << mant) | (bits & manmask);
    }
}

template <typename T, typename Bits, size_t N>
std::vector<std::pair<Bits, Bits>> operandpairs(const Bits (&boundary)[N], int randoms) {
    std::vector<std::pair<Bits, Bits>> pairs;
    for (Bits a : boundary)
        for (Bits b : boundary) pairs.push_back({a, b});
    std::mt19937_64 rng(kSeed);
    for (int k = 0; k < randoms; ++k) {
        Bits a = randomvalue<T, Bits>(rng, k % 3, 0);
        Bits b = randomvalue<T, Bits>(rng, k % 3 == 0 ? int(rng() % 2) : k % 3, a);
        pairs.push_back({a, b});
    }
    return pairs;
}

std::string hex(uint64_t v, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(v));
    return text;
}

class Helpers : public rt::RuntimeTest {
protected:
    std::unique_ptr<Machine> m;
    int failures = 0;

    void SetUp() override {
        RuntimeTest::SetUp();
        m = std::make_unique<Machine>(buildprogram(".vtext: section .text\n"
                                                   "\txdef\t_main\n"
                                                   "_main:\tli\tr3,0\n"
                                                   "\tblr\n"));
        ASSERT_TRUE(m->loaded()) << errors << host.boxes;
    }

    void fault(const Helper& h, const std::string& operands, const std::string& what) {
        if (++failures <= 20) ADD_FAILURE() << h.name << "(" << operands << "): " << what;
    }

    // Calls h with r3... = args (XER as given, CR a sentinel); checks its
    // register effects and returns the state after it.
    Regs call(const Helper& h, std::initializer_list<uint32_t> args, const std::string& operands,
              uint32_t xer = 0) {
        uint32_t entry = m->symbol(h.name);
        EXPECT_NE(entry, 0u) << h.name;
        Regs in = Machine::sentinels(0x9ABCDEF3u, xer);
        unsigned n = 3;
        for (uint32_t a : args) in.r[n++] = a;
        Regs out = m->call(entry, in);
        if (out.pc != in.lr) fault(h, operands, "did not return; pc " + hex(out.pc, 8));
        std::string changed = rt::changedregs(in, out, h.written, h.cr0, h.ctr);
        if (!changed.empty()) fault(h, operands, changed);
        if (!m->framekept()) fault(h, operands, "changed the caller's frame");
        return out;
    }

    void single(const Helper& h, const std::function<float(float, float)>& host) {
        for (auto [a, b] : operandpairs<float, uint32_t>(kFloats, 900)) {
            uint32_t want = fbits(host(fval(a), fval(b)));
            if (fnan(want)) want = fnanresult(a, b);
            std::string ops = hex(a, 8) + ", " + hex(b, 8);
            Regs out = call(h, {a, b}, ops, (a & 1) ? 0xA0000000u : 0);
            if (out.r[3] != want) fault(h, ops, "gave " + hex(out.r[3], 8) + ", not " + hex(want, 8));
        }
    }

    void twice(const Helper& h, const std::function<double(double, double)>& host) {
        for (auto [a, b] : operandpairs<double, uint64_t>(kDoubles, 900)) {
            uint64_t want = dbits(host(dval(a), dval(b)));
            if (dnan(want)) want = dnanresult(a, b);
            std::string ops = hex(a, 16) + ", " + hex(b, 16);
            Regs out = call(h, {uint32_t(a >> 32), uint32_t(a), uint32_t(b >> 32), uint32_t(b)}, ops,
                            (a & 1) ? 0xA0000000u : 0);
            uint64_t got = uint64_t(out.r[3]) << 32 | out.r[4];
            if (got != want) fault(h, ops, "gave " + hex(got, 16) + ", not " + hex(want, 16));
        }
    }
};

// cr0 of a compare: LT, GT, EQ as for a signed compare, none unordered,
// SO copied from XER.
uint32_t comparebits(bool lt, bool gt, bool eq, uint32_t xer) {
    return (lt ? 0x80000000u : 0) | (gt ? 0x40000000u : 0) | (eq ? 0x20000000u : 0) | (xer >> 3 & 0x10000000u);
}

TEST_F(Helpers, SingleArithmeticMatchesTheHost) {
    single(kFadd, [](float a, float b) { return a + b; });
    single(kFsub, [](float a, float b) { return a - b; });
    single(kFmul, [](float a, float b) { return a * b; });
    single(kFdiv, [](float a, float b) { return a / b; });
}

TEST_F(Helpers, DoubleArithmeticMatchesTheHost) {
    twice(kDadd, [](double a, double b) { return a + b; });
    twice(kDsub, [](double a, double b) { return a - b; });
    twice(kDmul, [](double a, double b) { return a * b; });
    twice(kDdiv, [](double a, double b) { return a / b; });
}

TEST_F(Helpers, ComparesSetCr0AsASignedCompareAndUnorderedSetsNone) {
    int k = 0;
    for (auto [a, b] : operandpairs<float, uint32_t>(kFloats, 300)) {
        float x = fval(a), y = fval(b);
        uint32_t xer = (k++ & 1) ? 0x80000000u : 0x20000000u;
        std::string ops = hex(a, 8) + ", " + hex(b, 8);
        Regs out = call(kFcmp, {a, b}, ops, xer);
        uint32_t want = comparebits(x < y, x > y, x == y, xer);
        if ((out.cr & 0xF0000000u) != want) fault(kFcmp, ops, "cr " + hex(out.cr, 8) + ", cr0 not " + hex(want, 8));
    }
    for (auto [a, b] : operandpairs<double, uint64_t>(kDoubles, 300)) {
        double x = dval(a), y = dval(b);
        uint32_t xer = (k++ & 1) ? 0x80000000u : 0x20000000u;
        std::string ops = hex(a, 16) + ", " + hex(b, 16);
        Regs out = call(kDcmp, {uint32_t(a >> 32), uint32_t(a), uint32_t(b >> 32), uint32_t(b)}, ops, xer);
        uint32_t want = comparebits(x < y, x > y, x == y, xer);
        if ((out.cr & 0xF0000000u) != want) fault(kDcmp, ops, "cr " + hex(out.cr, 8) + ", cr0 not " + hex(want, 8));
    }
}

// Conversions to integer truncate; out of range saturates, a NaN gives 0.
uint32_t saturated(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483648.0) return 0x7FFFFFFFu;
    if (x <= -2147483649.0) return 0x80000000u;
    return uint32_t(int32_t(x));
}

TEST_F(Helpers, ConversionsAndNegationsMatchTheHost) {
    std::mt19937_64 rng(kSeed);
    std::vector<uint32_t> floats(std::begin(kFloats), std::end(kFloats)), ints(std::begin(kInts), std::end(kInts));
    std::vector<uint64_t> doubles(std::begin(kDoubles), std::end(kDoubles));
    for (int k = 0; k < 600; ++k) {
        floats.push_back(randomvalue<float, uint32_t>(rng, k % 3, 0x4F000000u));
        doubles.push_back(randomvalue<double, uint64_t>(rng, k % 3, k & 1 ? 0x41E0000000000000u : 0x3800000000000000u));
        ints.push_back(uint32_t(rng()) >> (k % 32));
    }
    auto check32 = [&](const Helper& h, const std::string& ops, uint32_t want, uint32_t got) {
        if (got != want) fault(h, ops, "gave " + hex(got, 8) + ", not " + hex(want, 8));
    };
    auto check64 = [&](const Helper& h, const std::string& ops, uint64_t want, const Regs& out) {
        uint64_t got = uint64_t(out.r[3]) << 32 | out.r[4];
        if (got != want) fault(h, ops, "gave " + hex(got, 16) + ", not " + hex(want, 16));
    };
    for (uint32_t f : floats) {
        std::string ops = hex(f, 8);
        uint64_t wide = dbits(double(fval(f)));
        if (fnan(f)) wide = (uint64_t(f >> 31) << 63) | 0x7FF8000000000000u | (uint64_t(f & 0x7FFFFFu) << 29);
        check64(kFtod, ops, wide, call(kFtod, {f}, ops));
        check32(kFtol, ops, saturated(fval(f)), call(kFtol, {f}, ops).r[3]);
        check32(kFneg, ops, f ^ 0x80000000u, call(kFneg, {f}, ops).r[3]);
    }
    for (uint64_t d : doubles) {
        std::string ops = hex(d, 16);
        uint32_t hi = uint32_t(d >> 32), lo = uint32_t(d);
        uint32_t narrow = fbits(float(dval(d)));
        if (dnan(d)) narrow = (hi & 0x80000000u) | 0x7FC00000u | uint32_t((d >> 29) & 0x7FFFFFu);
        check32(kDtof, ops, narrow, call(kDtof, {hi, lo}, ops).r[3]);
        check32(kDtol, ops, saturated(dval(d)), call(kDtol, {hi, lo}, ops).r[3]);
        check32(kDneg, ops, hi ^ 0x80000000u, call(kDneg, {hi, lo}, ops).r[3]);
    }
    for (uint32_t i : ints) {
        std::string ops = hex(i, 8);
        check32(kLtof, ops, fbits(float(int32_t(i))), call(kLtof, {i}, ops).r[3]);
        check32(kUltof, ops, fbits(float(i)), call(kUltof, {i}, ops).r[3]);
        check64(kLtod, ops, dbits(double(int32_t(i))), call(kLtod, {i}, ops));
        check64(kUltod, ops, dbits(double(i)), call(kUltod, {i}, ops));
    }
}

}  // namespace
