// Damaged input: every truncation of the case files ends with "PANIC! EOF"
// or cleanly at a record boundary; mutated files never crash, hang or run
// away; hostile trees and records end with a panic, not a crash.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <random>
#include <set>

#include "harness.h"

namespace cgtest {
namespace {

RunResult runbytes(const Scratch& s, const std::string& bytes, std::vector<std::string> args = {}) {
    s.write("t.ir", bytes);
    args.insert(args.end(), {"-o", "t.s", "t.ir"});
    RunResult r = runcgppc(args);
    r.out = s.read("t.s");
    return r;
}

// The generator on bytes in memory, its text thrown away: whether it ended
// by itself (not by a panic), its status and its messages.
struct MemRun {
    bool ended = false;
    int status = 0;
    std::string err;
    long textsize = 0;
};

MemRun runmem(const std::string& bytes, const std::vector<std::string>& args) {
    MemRun m;
    cg::Gen G;
    for (const std::string& a : args) {
        if (a == "-bss") G.opt.bss = 1;
        if (a == "-l") G.opt.l = 1;
        if (a == "-na") G.opt.na = 1;
        if (a == "-no") G.opt.no = 1;
    }
    std::string input = bytes;
    G.rd.in = input.empty() ? std::fopen("/dev/null", "rb") : fmemopen(input.data(), input.size(), "rb");
    G.w.file = std::tmpfile();
    G.w.fd = fileno(G.w.file);
    char* buf = nullptr;
    size_t len = 0;
    G.errfp = open_memstream(&buf, &len);
    cg::initsections(G);
    m.status = tl::runmain([&] {
        cg::genfile(G);
        m.ended = true;
        return G.errors ? 1 : 0;
    });
    if (G.errfp) std::fclose(G.errfp);
    G.errfp = nullptr;
    m.err.assign(buf ? buf : "", len);
    m.textsize = static_cast<long>(::lseek(G.w.fd, 0, SEEK_END));
    std::free(buf);
    return m;
}

TEST(Robustness, EveryTruncation) {
    for (const CaseFile& c : casefiles()) {
        std::string bytes = irbytes(c.text);
        ir::File f = ir::decodefile(bytes);
        std::set<size_t> boundaries;
        for (const ir::Record& r : f.records) boundaries.insert(r.offset);
        for (size_t k = 0; k < bytes.size(); ++k) {
            MemRun r = runmem(bytes.substr(0, k), c.args);
            bool eof = r.err.find("PANIC! EOF") != std::string::npos;
            bool header = k < 2 && (r.err.find("bad intermediate file") != std::string::npos ||
                                    r.err.find("bad flags for PPC target") != std::string::npos);
            bool clean = boundaries.count(k) && r.ended;
            EXPECT_TRUE(eof || header || clean) << c.name << " cut at " << k << ": " << r.err;
            EXPECT_TRUE(eof || header || r.ended) << c.name << " cut at " << k << ": " << r.err;
            if (eof || header)
                EXPECT_EQ(r.status, 1) << c.name << " cut at " << k;
            else
                EXPECT_TRUE(r.status == 0 || r.status == 1) << c.name << " cut at " << k;
        }
    }
}

// Bytes of the case files changed at random: any status but no crash (the
// sanitizers watch), and a bounded output.
TEST(Robustness, MutatedFiles) {
    std::vector<std::string> seeds;
    for (const CaseFile& c : casefiles()) seeds.push_back(irbytes(c.text));
    std::mt19937 rng(4242);
    auto start = std::chrono::steady_clock::now();
    int runs = 0;
    while (runs < 5000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        std::string bytes = seeds[rng() % seeds.size()];
        int changes = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < changes; ++i) {
            size_t at = 5 + rng() % (bytes.size() - 5);
            switch (rng() % 4) {
                case 0: bytes[at] = static_cast<char>(rng()); break;
                case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8))); break;
                case 2: bytes.erase(at, 1 + rng() % 3); break;
                default: bytes.insert(at, 1, static_cast<char>(rng())); break;
            }
            if (bytes.size() < 6) bytes = seeds[0];
        }
        MemRun r = runmem(bytes, {});
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
        ASSERT_LT(r.textsize, static_cast<long>(64 * bytes.size() + 4096)) << "output out of proportion";
        ++runs;
    }
    EXPECT_GT(runs, 500);
}

TEST(Robustness, HostileInput) {
    Scratch s;
    std::string head = irbytes(kHeader);
    std::string func = irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n").substr(head.size());
    std::string deep = "\x96";
    for (int i = 0; i < 100000; ++i) deep += "\x6C\x06";
    struct Case {
        const char* what;
        std::string bytes;
        const char* err;
    } cases[] = {
        {"a body record at top level", irbytes(std::string(kHeader) + "146\n"), "PANIC! NO FUNC"},
        {"an unknown record in a function", head + func + "\x4D", "PANIC! BAD INPUT"},
        {"a very deep tree", head + func + deep, "PANIC! TREE DEPTH"},
        {"a storage code beyond the registers", irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n" +
                                                      "150 (leaf int [0] 0 41 0)\n"),
         "PANIC! BAD INPUT"},
        {"a type code 15", irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n150 (leaf t15 [0] 0 0 0)\n"),
         "PANIC! BAD INPUT"},
        {"a bit-field wider than its unit",
         irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n150 (leaf ibits:30:8 [0] 0 4 1)\n"),
         "PANIC! BAD INPUT"},
        {"a double in r31 alone",
         irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n150 (leaf double [0] 0 5 0)\n"),
         "PANIC! BAD INPUT"},
        {"a bad switch table", irbytes(std::string(kHeader) + "134 [0 0x84 \"f\"] 0x3800 0\n185 0 3 5 1 4\n146\n"),
         "PANIC! BAD INPUT"},
    };
    for (const Case& c : cases) {
        RunResult r = runbytes(s, c.bytes);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
    }
}

TEST(Robustness, SecondPushBack) {
    cg::Gen G;
    G.w.fd = -1;
    cg::unreadbyte(G, 7);
    testing::internal::CaptureStderr();
    int status = tl::runmain([&] {
        cg::unreadbyte(G, 8);
        return 0;
    });
    EXPECT_EQ(status, 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("PANIC! BACKCH"), std::string::npos);
}

TEST(Robustness, PointersMustBeFar) {
    Scratch s;
    RunResult r = compile(s, std::string(kHeader) +
                                 "19 [0 0 \"t.c\"]\n20 2\n134 [0 0x84 \"f\"] 0x3800 0\n"
                                 "150 (= ptr>0x2000 (leaf ptr>0x2000 [0 0x81 \"p\"] 0 0 1) (leaf ptr>0x0000 [0] 0 0 0))\n"
                                 "150 (leaf ptr>0x1000 [0 0x81 \"q\"] 0 0 1)\n211\n");
    EXPECT_EQ(r.status, 1);
    std::string msg = "pointers must be far (32-bit): use the model option -m0x3030\n";
    size_t at = r.err.find(msg);
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(msg, at + 1), std::string::npos) << "reported once";
    EXPECT_NE(r.err.find("#error cgppc t.c:2\t@f() " + msg), std::string::npos) << r.err;
}

}  // namespace
}  // namespace cgtest
