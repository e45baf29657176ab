// The symbol list order, include directories and section numbering.
#include "asmtest.h"

using namespace asmtest;

namespace {
// Names of the symbol records of an object, in file order.
std::vector<std::string> symbolnames(const std::vector<uint8_t>& obj) {
    std::vector<std::string> names;
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(obj[at]) << 24 | static_cast<uint32_t>(obj[at + 1]) << 16 |
               static_cast<uint32_t>(obj[at + 2]) << 8 | obj[at + 3];
    };
    size_t at = u32(8);
    for (uint32_t k = 0; k < u32(4) && at + 7 <= obj.size(); k++) {
        names.emplace_back(reinterpret_cast<const char*>(&obj[at + 7]), obj[at + 6]);
        at += 7 + obj[at + 6];
    }
    return names;
}
}  // namespace

class Symbols : public AsmTest {};

TEST_F(Symbols, ListOrderFollowsHashRuns) {
    // "ab" and "bZ" share a bucket and keep their order; "c" starts a newer run
    write("t.s", "ab: dc.b 1\nbZ: dc.b 2\nc: dc.b 3\n");
    Result r = run({"-si", "-p", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(symbolnames(readbytes("t.o")), (std::vector<std::string>{"c", "ab", "bZ"}));
}

TEST_F(Symbols, IncludeDirectoriesInOrder) {
    write("inc1/other.inc", "");
    write("inc2/a.inc", " dc.b 1\n");
    write("t.s", " include \"a.inc\"\n");
    Result r = run({"-md", "-i", "inc1", "-i", "inc2", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "t.o: t.s inc2/a.inc\n");
    write("u.s", " include \"\\a.inc\"\n");
    r = run({"-i", "inc2", "u.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't open \\a.inc"), std::string::npos) << r.err;
}

TEST_F(Symbols, EmptySectionsWithLabels) {
    struct Case {
        const char* source;
        std::vector<std::string> options;
        size_t sections;
    } cases[] = {
        {" dc.b 1\ne: section\nl: \n", {}, 1},
        {" dc.b 1\ne: section\nl: \n switch .text\n dc.l l\n", {}, 2},
        {" dc.b 1\ne: section\nl: \n", {"-pl"}, 2},
    };
    for (const auto& c : cases) {
        write("t.s", c.source);
        std::vector<std::string> args = {"-si"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("t.s");
        Result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err << c.source;
        EXPECT_EQ(objsections(readbytes("t.o")).size(), c.sections) << c.source;
    }
}
