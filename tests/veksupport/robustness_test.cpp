// Random formats, texts and expressions from a fixed start: whatever the
// input, nothing is read or written out of bounds (the sanitizers watch) and
// the counts stay inside their limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fixture.h"
#include "vek/core/support/format.h"
#include "vek/core/support/text.h"

namespace {

std::string randomtext(std::mt19937& rng, const std::string& alphabet, size_t maxlen) {
    std::uniform_int_distribution<size_t> len(0, maxlen);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string s(len(rng), ' ');
    for (char& c : s) c = alphabet[pick(rng)];
    return s;
}

TEST(Robustness, FormatterStaysInsideItsBuffer) {
    std::mt19937 rng(1234);
    const std::string alphabet = "%%%%-+0 n.5912ahouzcsilpbfdxq";
    const double reals[] = {0.0, -1.5, 1e300, -1e-300, 8.2, 1.0 / 0.0};
    // Texts are NUL-ended and long enough for any 'b' length (16 bits).
    static std::string text(65536, 'a');
    for (int round = 0; round < 3000; ++round) {
        std::string format = randomtext(rng, alphabet, 24);
        std::vector<vek::FmtArg> args;
        for (int i = 0; i < 6; ++i) {
            switch (rng() % 3) {
            case 0: args.emplace_back(static_cast<uint32_t>(rng())); break;
            case 1: args.emplace_back(text.c_str()); break;
            default: args.emplace_back(reals[rng() % 6]); break;
            }
        }
        int32_t size = static_cast<int32_t>(rng() % 300);
        std::vector<char> buf(static_cast<size_t>(size));
        int32_t n = vek::fmtbufv(buf.data(), size, format.c_str(), args);
        ASSERT_GE(n, 0) << format;
        ASSERT_LE(n, size) << format;
    }
}

TEST(Robustness, ParsersStayInsideTheirLength) {
    std::mt19937 rng(99);
    const std::string alphabet = " \t-+0xXbBlL19afAF.eE\x7f\xc3";
    for (int round = 0; round < 3000; ++round) {
        std::string text = randomtext(rng, alphabet, 12);
        int32_t limit = static_cast<int32_t>(rng() % (text.size() + 2));
        int32_t bound = std::min<int32_t>(limit, static_cast<int32_t>(text.size()));
        // Copy exactly the bound without a NUL, so reading past it is caught.
        std::vector<char> bytes(text.begin(), text.begin() + bound);
        const char* p = bytes.empty() ? "" : bytes.data();
        int32_t v = 0;
        int16_t s = 0;
        double d = 0;
        ASSERT_LE(vek::parselong(p, bound, &v, static_cast<int>(rng() % 3) == 0 ? 16 : 1), bound) << text;
        ASSERT_LE(vek::parseshort(p, bound, &s, 10), bound) << text;
        ASSERT_LE(vek::parsedouble(p, bound, &d), bound) << text;
    }
}

// Where both are exact (at most 17 significant digits shown), the fixed and
// exponent forms agree with the C library's correctly rounded "%.*f" and
// "%.*e" digit for digit.
TEST(Robustness, RealTextAgreesWithTheCLibrary) {
    std::mt19937_64 rng(2026);
    for (int round = 0; round < 3000; ++round) {
        double x = std::ldexp(static_cast<double>(rng() % 100000000), static_cast<int>(rng() % 100) - 60);
        if (rng() % 2) x = -x;
        if (rng() % 4 == 0) x = static_cast<double>(static_cast<int64_t>(rng() % 2000001) - 1000000) / 1000.0;
        char ours[64], theirs[64];
        int b = static_cast<int>(rng() % 17);
        int32_t n = vek::exptext(ours, x, 1, b);
        std::snprintf(theirs, sizeof theirs, "%.*e", b, x);
        ASSERT_EQ(std::string(ours, static_cast<size_t>(n)), theirs) << x << " b=" << b;
        int e = x == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(x)))) + 1;
        int f = static_cast<int>(rng() % 12);
        if (e + f > 16) continue;
        n = vek::fixedtext(ours, x, 100, f);
        std::snprintf(theirs, sizeof theirs, "%.*f", f, x);
        ASSERT_EQ(std::string(ours, static_cast<size_t>(n)), theirs) << x << " n=" << f;
    }
}

class RobustLineExpr : public VekTest {};

TEST_F(RobustLineExpr, AnyTextEndsInsideTheText) {
    std::mt19937 rng(7);
    vek::outstate().cmdfile = true;
    const std::string alphabet = "0123456789x'()!~+-*/%&|^<>= \t";
    for (int round = 0; round < 3000; ++round) {
        std::string text = randomtext(rng, alphabet, 16);
        const char* cursor = text.c_str();
        vek::lineexpr(cursor);
        ASSERT_GE(cursor, text.c_str()) << text;
        ASSERT_LE(cursor, text.c_str() + text.size()) << text;
    }
}

}  // namespace
