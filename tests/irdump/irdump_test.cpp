// irdump: the format's example decodes to what it says, files made from
// the text form come back equal, --check names each broken invariant, the
// debug listing follows the cells, and damaged files get an offset and
// status 1, never a crash or a hang.
#include <gtest/gtest.h>

#include <random>

#include "tests/scratch.h"
#include "toollib/ir/ir.h"
#include "toollib/options.h"
#include "toollib/quit.h"
#include "tools/irdump/irdump.h"

namespace {

const std::string kHeader = "header 0xCB 0x0C 0x00 0xFF 0x12 \"cpppc\" \"V4.10.10\" \"24 Aug 2012\"\n";

std::string encode(const std::string& text) { return ir::encodefile(ir::parsetext(kHeader + text)); }

std::vector<std::string> problems(const std::string& text) {
    std::string bytes = encode(text);
    std::vector<std::string> out;
    for (const irdump::Problem& p : irdump::checkfile(ir::decodefile(bytes), bytes.size())) out.push_back(p.message);
    return out;
}

struct DumpRun {
    int status;
    std::string out, err;
};

DumpRun irdumprun(std::vector<std::string> args) {
    args.insert(args.begin(), "irdump");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    DumpRun r;
    r.status = tl::runmain([&] { return irdump::run(static_cast<int>(args.size()), argv.data()); });
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

TEST(IrdumpFormat, TheExampleIsTheAssignmentOfOneToG) {
    const std::string bytes("\x96\x88\x06\x00\x06\x02\x00\x00\x81\x67\x00\x00\x00\x00\x00\x01"
                            "\x00\x06\x00\x00\x00\x01\x00\x00\x00\x00\x00", 27);
    ir::MemoryInput in(bytes);
    ir::Record r = ir::readrecord(in.u8(), in);
    EXPECT_TRUE(in.atend());
    ASSERT_EQ(r.code, ir::R_EXPR);
    EXPECT_EQ(ir::printtree(*r.fields[0].tree), "(= int (leaf int [0 0x81 \"g\"] 0 0 1) (leaf int [0] 1 0 0))");
    ir::StringOutput out;
    ir::writerecord(r, out);
    EXPECT_EQ(out.data, bytes);
}

// A whole function with a switch and every kind of tree node, as the text
// form writes it; it decodes, checks clean and reads back byte for byte.
const char* kFunction =
    "134 [0 0x84 \"f\"] 0x4000 0\n"
    "251 3 4\n"
    "217 int 0 5\n"
    "218 8\n"
    "129 -16\n"
    "145 0x3FFFF 0 1\n"
    "19 [0 0x0 \"t.c\"]\n"
    "20 5\n"
    "150 (= int (leaf int [0] 0 2 0) (leaf int [0] -8 4 1))\n"
    "189 3\n"
    "140 5 6 0\n"
    "150 (callargs int/0xC000 (leaf ptr>0x800 [0 0x84 \"g\"] 0 0 0) (arg int (?: int (leaf int [0] 1 0 0) "
    "(leaf int [0] 2 0 0) (leaf int [0] 3 0 0)) (asmargs int (leaf int [0 0x84 \"_asm\"] 0 0 0) \"nop\\0\" "
    "(leaf int [0] 4 0 0))))\n"
    "139 7\n"
    "140 9 0\n"
    "130 11 7 0\n"
    "141 7 (leaf int [0] -8 4 1) (leaf int [0] 10 0 0)\n"
    "194 13 1 (leaf int [0] 10 0 0)\n"
    "194 13 0\n"
    "185 0 3 7 8 4\n"
    "205 7 0 9 9 11 7 11 9 11\n"
    "207 100 2 9\n"
    "206 0\n"
    "151\n"
    "130 7 0\n"
    "146\n"
    "211\n";

TEST(IrdumpFormat, AFunctionRoundTripsAndChecksClean) {
    std::string bytes = encode(kFunction);
    ir::File f = ir::decodefile(bytes);
    EXPECT_EQ(ir::encodefile(f), bytes);
    EXPECT_EQ(ir::printtext(ir::parsetext(ir::printtext(f))), ir::printtext(f));
    EXPECT_EQ(problems(kFunction), std::vector<std::string>{});
}

struct CheckCase {
    const char* text;
    const char* message;
};

TEST(IrdumpCheck, EachInvariant) {
    const CheckCase cases[] = {
        {"150 (leaf int [0] 1 0 0)\n", "body record 150 outside a function"},
        {"134 [0 0x84 \"f\"] 0 0\n", "function not closed by a 211 record"},
        {"134 [0 0x84 \"f\"] 0 0\n134 [0 0x84 \"g\"] 0 0\n211\n", "function started inside a function"},
        {"134 [0 0x84 \"f\"] 0 0\n140 4 0\n211\n", "statement label 4 is even"},
        {"134 [0 0x84 \"f\"] 0 0\n140 5 0\n140 5 0\n211\n", "label 5 placed twice in one function"},
        {"134 [0 0x84 \"f\"] 0 0\n139 9\n211\n", "target label 9 not placed in its function"},
        {"134 [0 0x84 \"f\"] 0 0\n145 0x40000 0 0\n211\n", "register mask beyond 0x3FFFF"},
        {"134 [0 0x84 \"f\"] 0 0\n185 0 3 5 2 4\n206 1 1 5\n151\n140 5 0\n211\n", "switch has 2 cases, its tables 1"},
        {"134 [0 0x84 \"f\"] 0 0\n185 0 3 5 0 3\n206 0\n151\n140 5 0\n211\n", "bad switch value size 3"},
        {"134 [0 0x84 \"f\"] 0 0\n150 (leaf t15 [0] 1 0 0)\n211\n", "bad type code 0xf"},
        {"134 [0 0x84 \"f\"] 0 0\n150 (leaf int [0] 1 41 0)\n211\n", "bad storage code 41"},
        {"134 [0 0x84 \"f\"] 0 0\n150 (1 int (leaf int [0] 1 0 0))\n211\n", "bad operator code 1"},
        {"137 3 0\n", "bad value size 3"},
        {"133 2 1.5\n", "bad floating size 2"},
        {"200 [5] 0\n", "address of label 5 never placed"},
        {"213 0 [5]\n213 0 [5]\n", "debug label 5 placed twice"},
        {"0\n20 1\n", "end-of-unit byte before the last record"},
    };
    for (const CheckCase& c : cases) {
        std::vector<std::string> got = problems(c.text);
        EXPECT_NE(std::find(got.begin(), got.end(), c.message), got.end()) << c.text << "got: " << (got.empty() ? "" : got[0]);
    }
}

TEST(IrdumpCheck, HeaderBytes) {
    ir::File f;
    f.header.bytes = {0xCB, 0x2C, 0x00, 0xFE, 0x12};
    std::vector<irdump::Problem> p = irdump::checkfile(f, 5);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].message, "bad target byte 0x2c");
    EXPECT_EQ(p[1].message, "bad parser generation 0xfe");
}

// Debug data by hand: a file entry, one function link entry with a local,
// and the closing entry with a global.
const char* kDebug =
    "215 0 [0 0x0 \"t.c\"]\n"
    "213 0 [3]\n200 [7] 0\n200 [5] 0\n213 0 [7]\n148 \"t.c\"\n137 1 140\n"
    "213 0 [9]\n148 \"f\"\n137 1 6\n"
    "214 0 [0 0x0 \"t.c~f\"]\n"
    "213 0 [5]\n200 [11] 0\n200 [3] 0\n200 [9] 0\n137 4 2\n137 4 9\n137 4 402653184\n200 [0] 0\n200 [15] 0\n"
    "200 [17] 0\n"
    "213 0 [19]\n148 \"n\"\n137 1 3\n"
    "213 0 [15]\n200 [19] 0\n137 4 8\n137 4 402653184\n200 [0] 0\n200 [0] 0\n"
    "213 0 [17]\n137 4 0\n"
    "213 0 [11]\n200 [0] 0\n200 [3] 0\n200 [0] 0\n137 4 1\n137 4 12\n137 4 0\n200 [0] 0\n200 [21] 0\n"
    "213 0 [23]\n148 \"g\"\n137 1 6\n"
    "213 0 [21]\n200 [23] 0\n200 [0 0x81 \"g\"] 0\n137 4 402653184\n200 [0] 0\n200 [0] 0\n";

TEST(IrdumpDebug, ListsFilesFunctionsAndSymbols) {
    std::string bytes = encode(kDebug);
    ir::File f = ir::decodefile(bytes);
    EXPECT_EQ(irdump::checkfile(f, bytes.size()).size(), 0u);
    std::vector<irdump::Problem> p;
    std::string list = irdump::debuglisting(f, p);
    EXPECT_TRUE(p.empty()) << p[0].message;
    EXPECT_EQ(list.substr(0, list.find("  9 at")), "debug data 134 bytes\n  3 at 0\n  7 at 8\n");
    EXPECT_EQ(list.substr(list.find("file ")),
              "file t.c\n"
              "  function f storage 6 lines 2-9 type 0x00000018\n"
              "    symbol n storage 3 location 8 type 0x00000018\n"
              "  end lines 1-12\n"
              "    symbol g storage 6 location g+0 type 0x00000018\n");
}

TEST(IrdumpDebug, BrokenCellsAreReported) {
    // the link entry points back at itself, and a file's name label is missing
    const char* loop =
        "215 0 [0 0x0 \"t.c\"]\n213 0 [3]\n200 [7] 0\n200 [5] 0\n213 0 [7]\n148 \"t.c\"\n137 1 140\n"
        "213 0 [9]\n148 \"f\"\n137 1 6\n"
        "213 0 [5]\n200 [5] 0\n200 [3] 0\n200 [9] 0\n137 4 2\n137 4 9\n137 4 0\n200 [0] 0\n200 [0] 0\n200 [0] 0\n";
    std::vector<irdump::Problem> p;
    irdump::debuglisting(ir::decodefile(encode(loop)), p);
    ASSERT_FALSE(p.empty());
    EXPECT_NE(p[0].message.find("loop"), std::string::npos) << p[0].message;
    p.clear();
    irdump::debuglisting(ir::decodefile(encode("215 0 [0 0x0 \"t.c\"]\n213 0 [3]\n200 [7] 0\n")), p);
    ASSERT_FALSE(p.empty());
}

TEST(IrdumpProgram, PrintsChecksAndRejects) {
    scratch::Dir dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    };
    std::string good = write("good.ir", encode(kFunction));
    DumpRun r = irdumprun({good});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("00000000: header 0xCB"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": 211\n"), std::string::npos);
    r = irdumprun({"--check", good});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::string bytes = encode(kFunction);
    std::string cut = write("cut.ir", bytes.substr(0, bytes.size() - 3));
    r = irdumprun({cut});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(": offset 0x"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("unexpected end of file"), std::string::npos) << r.err;
    r = irdumprun({"--check", write("bad.ir", encode("139 3\n"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("body record 139 outside a function"), std::string::npos) << r.err;
    r = irdumprun({dir.file("none.ir")});
    EXPECT_EQ(r.status, 1);
}

// Every prefix and many random mutations of valid files: decoding, the
// checks and the debug listing end with a result or a problem, never a
// crash or a hang (the test build runs under the sanitizers).
TEST(IrdumpRobustness, TruncatedAndMutatedFiles) {
    std::vector<std::string> seeds = {encode(kFunction), encode(kDebug)};
    std::mt19937 rng(12345);
    auto exercise = [](const std::string& bytes) {
        try {
            ir::File f = ir::decodefile(bytes);
            ir::TextOptions opt;
            opt.offsets = true;
            ir::printtext(f, opt);
            irdump::checkfile(f, bytes.size());
            std::vector<irdump::Problem> p;
            irdump::debuglisting(f, p);
        } catch (const ir::DecodeError& e) {
            EXPECT_LE(e.offset, bytes.size());
        }
    };
    for (const std::string& seed : seeds) {
        for (size_t n = 0; n <= seed.size(); ++n) exercise(seed.substr(0, n));
        for (int i = 0; i < 1000; ++i) {
            std::string m = seed;
            int edits = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < edits; ++k) {
                size_t at = rng() % m.size();
                switch (rng() % 3) {
                case 0: m[at] = static_cast<char>(rng()); break;
                case 1: m.erase(at, 1 + rng() % 4); break;
                default: m.insert(at, 1, static_cast<char>(rng())); break;
                }
                if (m.empty()) m = "x";
            }
            exercise(m);
        }
    }
}

}  // namespace
