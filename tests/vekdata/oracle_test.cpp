// Outside oracles: fwrite against the host's snprintf, fread against the
// host's sscanf, dump against GNU objdump on assembled data.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "datafixture.h"
#include "objdumplines.h"

using Oracle = DataFixture;

TEST_F(Oracle, WriteMatchesSnprintf) {
    const char* formats[] = {"%d", "%i", "%u", "%o", "%x", "%X", "%c", "%5d", "%-5d|", "%05d", "%+d", "% d",
                             "%.3d", "%8.3d", "%-8.3x|", "%#o", "%#x", "%#X", "%#8x", "%x", "%+5i", "%-+6d|",
                             "%e", "%E", "%f", "%.2e", "%12.4f", "%-12.1E|", "%+f", "%010.3f", "% e", "%g", "%G"};
    const int32_t values[] = {0, 1, -1, 42, 255, -12345, 65, 2147483647};
    run("fopen /c:1 out.txt");
    std::string expected;
    for (const char* f : formats)
        for (int32_t v : values) {
            char buf[128];
            int len;
            const char conv = f[std::strlen(f) - 1] == '|' ? f[std::strlen(f) - 2] : f[std::strlen(f) - 1];
            if (std::strchr("eEfgG", conv))
                len = std::snprintf(buf, sizeof buf, f, double(v));
            else if (std::strchr("dic", conv))
                len = std::snprintf(buf, sizeof buf, f, v);
            else
                len = std::snprintf(buf, sizeof buf, f, uint32_t(v));
            expected += std::string(buf, size_t(len)) + "\n";
            EXPECT_EQ(run("fwrite /c:1 \"" + std::string(f) + "\\n\" " + std::to_string(v)), "") << f;
        }
    // The same with the width and precision from the arguments.
    for (int w : {-6, 0, 6}) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%*.*d|", w, 3, 42);
        expected += std::string(buf) + "\n";
        run("fwrite /c:1 \"%*.*d|\\n\" " + std::to_string(w) + ", 3, 42");
    }
    run("fclose 1");
    // Where the debugger's conversions differ on purpose: '#' with '0' puts
    // the prefix after the zeros, p is decimal or "0x" hexadecimal.
    std::istringstream got(dir->read("out.txt")), want(expected);
    std::string g, w;
    int line = 0;
    while (std::getline(want, w)) {
        std::getline(got, g);
        EXPECT_EQ(g, w) << "line " << line;
        ++line;
    }
}

TEST_F(Oracle, ReadMatchesSscanf) {
    struct Case {
        const char* format;
        const char* input;
    };
    const Case cases[] = {{"%d %d", "12 -7"},      {"%i %i", "0x1F 017"}, {"%x %o", "ff 777"},
                          {"%u,%d", "4000000000,5"}, {"%3d%d", "12345 6"}, {"%*d %d", "1 2"},
                          {"%d%%%d", "3%4"},        {"%hx %d", "0x10 -2"}};
    for (const Case& c : cases) {
        dir->write("in.txt", c.input);
        session->target.mem.putlong(fx::UL, 0);
        run("fopen /c:5 in.txt");
        run(std::string("fread /c:5 \"") + c.format + "\", l, ul");
        run("fclose 5");
        unsigned a = 0, b = 0;
        std::string hostformat = c.format;
        for (size_t k = 0; k < hostformat.size(); ++k)
            if (hostformat[k] == 'h') hostformat.erase(k, 1);
        const int n = std::sscanf(c.input, hostformat.c_str(), &a, &b);
        ASSERT_GE(n, 1) << c.format;
        EXPECT_EQ(getlong(fx::L), a) << c.format;
        EXPECT_EQ(getlong(fx::UL), n == 2 ? b : 0u) << c.format;
    }
}

namespace {

std::string capture(const std::string& cmd) {
    std::string out;
    if (std::FILE* p = popen(cmd.c_str(), "r")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
        pclose(p);
    }
    return out;
}

bool binutils() {
    return std::system("command -v powerpc-linux-gnu-as >/dev/null && command -v powerpc-linux-gnu-objdump >/dev/null"
                       " && command -v powerpc-linux-gnu-objcopy >/dev/null") == 0;
}

}  // namespace

TEST_F(Oracle, DumpShowsWhatObjdumpShows) {
    if (!binutils()) GTEST_SKIP() << "GNU binutils for PowerPC are not installed";
    dir->write("data.s", "  .data\n  .byte 0x11,0x22,0x33,0x44,0xde,0xad,0xbe,0xef\n"
                         "  .long 0x01020304,0xa0b0c0d0\n  .short 0x7f80,0x0102\n  .ascii \"Hi!\\n\"\n");
    ASSERT_EQ(std::system("powerpc-linux-gnu-as -o data.o data.s && "
                          "powerpc-linux-gnu-objcopy -O srec --change-addresses 0x3000 data.o data.srec"),
              0);
    const std::string dump = capture("powerpc-linux-gnu-objdump -s -j .data data.o");
    // " 0000 11223344 deadbeef 01020304 a0b0c0d0  ..."
    const size_t at = dump.find(" 0000 ");
    ASSERT_NE(at, std::string::npos) << dump;
    std::string words;
    for (size_t k = at + 6; words.size() < 32 && k < dump.size(); ++k)
        if (std::isxdigit(uint8_t(dump[k]))) words += dump[k];
    run("load data.srec");
    std::string bytes, halves, longs;
    for (size_t k = 0; k < 32; k += 2) bytes += words.substr(k, 2) + " ";
    for (size_t k = 0; k < 32; k += 4) halves += words.substr(k, 4) + " ";
    for (size_t k = 0; k < 32; k += 8) longs += words.substr(k, 8) + " ";
    EXPECT_EQ(run("dump /b 0x3000, 16"), "00003000 " + bytes + "\n");
    EXPECT_EQ(run("dump /w 0x3000, 16"), "00003000 " + halves + "\n");
    EXPECT_EQ(run("dump /l 0x3000, 16"), "00003000 " + longs + "\n");
}

TEST_F(Oracle, CodeListingShowsWhatObjdumpShows) {
    if (!binutils()) GTEST_SKIP() << "GNU binutils for PowerPC are not installed";
    dir->write("code.s", "  .section .text,\"axv\"\n  se_add r3,r4\n  e_stw r0,20(r1)\n  se_mr r31,r3\n"
                         "  e_lwz r31,12(r1)\n  e_add16i r3,r3,5\n  se_li r3,1\n  se_blr\n");
    ASSERT_EQ(std::system("powerpc-linux-gnu-as -mvle -mregnames -o code.o code.s && "
                          "powerpc-linux-gnu-objcopy -O srec --change-addresses 0x3000 code.o code.srec"),
              0);
    // "   0:\t18 64 \tse_add   r3,r4" -> address, bytes, mnemonic
    struct Line {
        uint32_t address;
        std::string bytes, name;
    };
    std::vector<Line> want;
    std::string l;
    for (const qvtest::DisLine& dl : qvtest::objdumplines(capture("powerpc-linux-gnu-objdump -d -M vle code.o"))) {
        const uint32_t a = dl.address;
        const std::string& bytes = dl.bytes;
        std::string name = dl.text.substr(0, dl.text.find_first_of(" \t"));
        for (const char* prefix : {"se_", "e_"})
            if (name.rfind(prefix, 0) == 0) name = name.substr(std::strlen(prefix));
        if (name == "add16i") name = "addi";
        want.push_back({0x3000 + a, bytes, name});
    }
    ASSERT_EQ(want.size(), 7u);
    run("load code.srec");
    host.text.clear();
    vek::runline(*d, "e 0x3000 , 0x3014", true);
    std::istringstream got(host.text);
    for (const Line& w : want) {
        ASSERT_TRUE(bool(std::getline(got, l))) << host.text;
        char head[40];
        std::snprintf(head, sizeof head, "    0x%08x ", unsigned(w.address));
        EXPECT_EQ(l.substr(0, 15), head);
        EXPECT_EQ(l.substr(15, 18), w.bytes + std::string(18 - w.bytes.size(), ' ')) << l;
        std::string name = l.substr(34);
        name = name.substr(0, name.find_first_of(" \t"));
        EXPECT_EQ(name, w.name) << l;
    }
}
