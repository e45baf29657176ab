// S-record and Intel hex images made by objcopy from a known binary must
// leave memory equal to the binary; hand-made lines cover the record rules
// and the damaged lines that fail the load.
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "harness.h"

namespace {

std::vector<uint8_t> randombytes(size_t n, unsigned start) {
    std::mt19937 gen(start);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(gen());
    return v;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct OracleCase {
    const char* name;
    const char* options;      // objcopy output options
    uint32_t address;
    const char* mustcontain;  // a record type the file must use
    char endstate;
};

const OracleCase oracle_cases[] = {
    {"s1", "-O srec", 0x0, "\nS1", 'S'},
    {"s2", "-O srec --change-addresses 0x123400", 0x123400, "\nS2", 'S'},
    {"s3-255", "-O srec --srec-forceS3 --srec-len=255 --change-addresses 0x12340000", 0x12340000, "\nS3FF", 'S'},
    {"hex", "-O ihex", 0x0, "\n:10", ':'},
    {"hex-02", "-O ihex --change-addresses 0x20010", 0x20010, ":02000002", ':'},
    {"hex-04", "-O ihex --change-addresses 0x40000000", 0x40000000, ":02000004", ':'},
};

class Oracle : public ::testing::TestWithParam<OracleCase> {};

TEST_P(Oracle, MemoryEqualsTheBinary) {
#ifndef OBJCOPY_PATH
    GTEST_SKIP() << "powerpc-linux-gnu-objcopy not installed";
#else
    const OracleCase& c = GetParam();
    std::vector<uint8_t> bin = randombytes(1500, 7);
    std::string in = writetemp(std::string(c.name) + ".bin", bin);
    std::string out = temppath(std::string(c.name) + ".img");
    std::string cmd = std::string(OBJCOPY_PATH) + " -I binary " + c.options + " " + in + " " + out;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    ASSERT_NE(slurp(out).find(c.mustcontain), std::string::npos) << c.name;

    Harness h;
    ASSERT_EQ(vek::loadfile(h.env, out), 1) << h.rep.err;
    EXPECT_EQ(h.memory(c.address, bin.size()), bin);
    EXPECT_EQ(h.mem.getbyte(c.address + uint32_t(bin.size())), 0);
    EXPECT_EQ(h.prog.loadstate, c.endstate);
    EXPECT_EQ(h.rep.err, "");
#endif
}

INSTANTIATE_TEST_SUITE_P(Objcopy, Oracle, ::testing::ValuesIn(oracle_cases),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (ch == '-') ch = '_';
                             return n;
                         });

struct LinesCase {
    const char* what;
    const char* text;
    int result;
    uint32_t address;         // where the data is expected
    const char* data;         // expected bytes as hex, "" for none
    const char* text_symbol;  // expected ".text" value as hex, nullptr when undefined
    const char* error;        // expected error fragment
};

const LinesCase lines_cases[] = {
    {"S3 count 9 carries 4 bytes", "S30900001000DEADBEEFAE\n", 1, 0x1000, "deadbeef", nullptr, ""},
    {"S9 ends the load", "S9030100FB\nS30900001000DEADBEEFAE\n", 1, 0x1000, "00000000", "100", ""},
    {"$ lines are skipped", "S1050020ABCD62\n$comment\n$x\n", 1, 0x20, "abcd", nullptr, ""},
    {"CR LF lines", "S1050020ABCD62\r\nS9030000FC\r\n", 1, 0x20, "abcd", "0", ""},
    {"S0 S5 skipped", "S00600004844521B\nS5030001FB\nS1050020ABCD62\n", 1, 0x20, "abcd", nullptr, ""},
    {"hex data", ":0400100012345678D8\n:00000001FF\n", 1, 0x10, "12345678", "0", ""},
    {"hex 04 then data", ":020000040001F9\n:020000001122CB\n:00000001FF\n", 1, 0x10000, "1122", "0", ""},
    {"hex start records ignored", ":0400000500001000E7\n:020000001122CB\n", 1, 0, "1122", nullptr, ""},
    {"bad S checksum", "S1050020ABCD03\n", 0, 0x20, "", nullptr, "line 1: bad checksum"},
    {"bad hex checksum", ":0400100012345678D9\n", 0, 0x10, "", nullptr, "line 1: bad checksum"},
    {"short count", "S1020020DD\n", 0, 0x20, "", nullptr, "line 1: bad byte count"},
    {"count beyond line", "S1090020ABCD02\n", 0, 0x20, "", nullptr, "line 1: bad byte count"},
    {"blank line", "S1050020ABCD62\n\nS9030000FC\n", 0, 0x20, "abcd", nullptr, "line 2: empty line"},
    {"foreign line", "S1050020ABCD62\nhello\n", 0, 0x20, "abcd", nullptr, "line 2: not a record"},
    {"odd digits", "S1050020ABCD6\n", 0, 0x20, "", nullptr, "line 1: bad hex digits"},
    {"unknown hex type", ":0000000AF6\n", 0, 0, "", nullptr, "line 1: unknown record type"},
};

class Lines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(Lines, Load) {
    const LinesCase& c = GetParam();
    std::string text = c.text;
    Harness h;
    int r = vek::loadfile(h.env, writetemp("lines.img", std::vector<uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(r, c.result) << c.what << ": " << h.rep.err;
    std::string data = c.data;
    std::vector<uint8_t> want;
    for (size_t i = 0; i + 1 < data.size(); i += 2) want.push_back(uint8_t(std::stoul(data.substr(i, 2), nullptr, 16)));
    EXPECT_EQ(h.memory(c.address, want.size()), want) << c.what;
    if (c.text_symbol) {
        ASSERT_TRUE(h.syms.findsym(".text")) << c.what;
        EXPECT_EQ(*h.syms.findsym(".text"), std::stoul(c.text_symbol, nullptr, 16)) << c.what;
    } else {
        EXPECT_FALSE(h.syms.findsym(".text")) << c.what;
    }
    EXPECT_NE(h.rep.err.find(c.error), std::string::npos) << c.what << ": " << h.rep.err;
    if (!*c.error) {
        EXPECT_EQ(h.rep.err, "") << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Records, Lines, ::testing::ValuesIn(lines_cases), VEKLOAD_NAMES(what));

}  // namespace
