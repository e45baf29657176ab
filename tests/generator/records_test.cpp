// Top-level records whose expected text is computed: long strings, floating
// values (the host's conversion is the oracle) and raw assembly.
#include <cmath>
#include <cstring>

#include "harness.h"

namespace cgtest {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
        end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(pos, end - pos));
    }
    return out;
}

TEST(Records, LongStrings) {
    Scratch s;
    for (size_t n : {254u, 255u}) {
        std::string piece(n, 'a');
        std::string text = std::string(kHeader) + "184 0 0 [3]\n148 \"" + piece + "\"\n";
        if (n == 255) text += "148 \"\"\n";
        text += "210\n";
        RunResult r = compile(s, text);
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> l = lines(body(r.out));
        // L3:, then runs of 18 bytes; the zero ends the last piece
        size_t runs = (n + 17) / 18;
        ASSERT_EQ(l.size(), 2 + runs + (n == 255 ? 1 : 0)) << r.out;
        EXPECT_EQ(l[2], "\tdc.b\t\"" + std::string(18, 'a') + "\"");
        std::string last = "\tdc.b\t\"" + std::string(n - 18 * (runs - 1), 'a') + "\"";
        EXPECT_EQ(l[1 + runs], n == 255 ? last : last + ",0");
        if (n == 255) EXPECT_EQ(l[2 + runs], "\tdc.b\t0");
    }
}

std::string halves(uint32_t w) {
    return std::to_string(static_cast<int16_t>(w >> 16)) + "," + std::to_string(static_cast<int16_t>(w & 0xFFFF));
}

TEST(Records, FloatingValues) {
    Scratch s;
    for (double d : {1.0, 0.1, -2.5, 3.4028235677973366e38, 3.4028235e38, 1e-45, 1e300, -0.0}) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        float f = static_cast<float>(d);
        uint32_t fb;
        std::memcpy(&fb, &f, 4);
        char num[32];
        std::snprintf(num, sizeof num, "0x%016llX", static_cast<unsigned long long>(bits));
        RunResult r = compile(s, std::string(kHeader) + "184 2 0 [3]\n133 4 " + num + "\n133 8 " + num + "\n210\n");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> l = lines(body(r.out));
        ASSERT_EQ(l.size(), 6u) << r.out;
        EXPECT_EQ(l[3], "\tdc.w\t" + halves(fb)) << d;
        EXPECT_EQ(l[4], "\tdc.w\t" + halves(static_cast<uint32_t>(bits >> 32))) << d;
        EXPECT_EQ(l[5], "\tdc.w\t" + halves(static_cast<uint32_t>(bits))) << d;
    }
    RunResult r = compile(s, std::string(kHeader) + "184 2 0 [3]\n133 4 1.0\n133 4 0.1\n210\n");
    EXPECT_NE(r.out.find("\tdc.w\t16256,0\n\tdc.w\t15820,-13107\n"), std::string::npos) << r.out;
}

TEST(Records, RawAssemblyFailsTheRun) {
    Scratch s;
    RunResult r = compile(s, std::string(kHeader) + "254 \" nop; x\"\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(body(r.out), " nop; x\n");
}

TEST(Records, ExternalsWithLongConstants) {
    Scratch s;
    RunResult r = compile(s, std::string(kHeader) + "144 [0 0x81 \"k\"] 0x8000 0\n", {"-cm2"});
    EXPECT_EQ(body(r.out), "\txref.l\t_k\n");
}

}  // namespace
}  // namespace cgtest
