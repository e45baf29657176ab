// The case files: each intermediate file (written from its text form) gives
// the expected text, status and messages; and each prints in the text form
// and reads back to the same bytes, as the dumper's output will.
#include "harness.h"
#include "tools/irasm/irasm.h"

namespace cgtest {
namespace {

class Fixtures : public testing::TestWithParam<CaseFile> {};

TEST_P(Fixtures, Output) {
    const CaseFile& c = GetParam();
    Scratch s;
    RunResult r = compile(s, c.text, c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (!c.unchecked) {
        EXPECT_EQ(body(r.out), c.out) << r.out;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out.substr(r.out.size() - 5), "\tend\n");
    }
}

TEST_P(Fixtures, TextRoundTrip) {
    const CaseFile& c = GetParam();
    std::string bytes = irbytes(c.text);
    ir::File f = ir::decodefile(bytes);
    for (bool offsets : {false, true}) {
        std::string text = ir::printtext(f, {offsets});
        EXPECT_EQ(ir::encodefile(ir::parsetext(text)), bytes) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Fixtures, testing::ValuesIn(casefiles()),
                         [](const testing::TestParamInfo<CaseFile>& i) { return i.param.name; });

// irasm writes the file, or names the line it cannot read and writes nothing.
TEST(Irasm, WritesTheFileOrNamesTheLine) {
    Scratch s;
    auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), "irasm");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        tl::resettoolcontext();
        testing::internal::CaptureStderr();
        int status = tl::runmain([&] { return irasm::run(static_cast<int>(args.size()), argv.data()); });
        return std::make_pair(status, testing::internal::GetCapturedStderr());
    };
    for (const CaseFile& c : casefiles()) {
        s.write("in.txt", ir::printtext(ir::decodefile(irbytes(c.text)), {true}));
        auto [status, err] = run({"-o", "out.ir", "in.txt"});
        EXPECT_EQ(status, 0) << err;
        EXPECT_EQ(s.read("out.ir"), irbytes(c.text)) << c.name;
    }
    s.write("bad.txt", std::string(kHeader) + "20 1\n131 2 [0 0x81 x]\n");
    auto [status, err] = run({"bad.txt"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "bad.txt:3: expected a quoted text\n");
    EXPECT_FALSE(s.exists("bad.txt.ir"));
    s.write("ok.txt", kHeader);
    EXPECT_EQ(run({"ok.txt"}).first, 0);
    EXPECT_EQ(s.read("ok.txt.ir").size(), 28u + 5u);
    EXPECT_EQ(run({"none.txt"}).second, "irasm: can't open none.txt\n");
}

}  // namespace
}  // namespace cgtest
