// The listing, the symbol table with cross reference and the Verilog file.
#include "asmtest.h"

using namespace asmtest;

class Listing : public AsmTest {};

TEST_F(Listing, LinesAddressesAndBytes) {
    write("t.s", " dc.l 0x01020304\nlab: dc.b 1,2,3,4,5,6,7,8,9,10\nv: equ 0x1234\n if 0\n dc.b 1\n endif\n"
                 " fail 3\n");
    Result r = run({"-l", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cappc t.s:7\tfail 3\n");
    EXPECT_EQ(read("t.ls"),
              "   1  0000 01020304   dc.l 0x01020304\n"
              "   2  0004 01020304  lab: dc.b 1,2,3,4,5,6,7,8,9,10\n"
              "   3       00001234  v: equ 0x1234\n"
              "   7                  fail 3\n"
              "******** ERROR:  fail 3  ********\n");
}

TEST_F(Listing, SymbolTableAndCrossReference) {
    std::string src = "x: dc.b 0\n";
    for (int i = 0; i < 25; i++) src += " dc.b x\n";
    src += " xref ext\n dc.l ext\n";
    write("t.s", src);
    Result r = run({"-c", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string ls = read("t.ls");
    size_t at = ls.find("\nSymbol table:\n\n");
    ASSERT_NE(at, std::string::npos) << ls;
    std::string table = ls.substr(at);
    // the name column is the longest name (the register names count: fr31) plus 2;
    // references 9 on the first line, then 10 per line, each line once
    std::string want = "\nSymbol table:\n\n"
                       "ext    00000000    Not Defined Public\n"
                       "         ***    28\n"
                       "x      00000000    Defined\n"
                       "           1     2     3     4     5     6     7     8     9    10\n"
                       "          11    12    13    14    15    16    17    18    19    20\n"
                       "          21    22    23    24    25    26\n";
    EXPECT_EQ(table, want);
}

TEST_F(Listing, PageHeadersWithTitle) {
    write("t.s", " title \"My title\"\n dc.b 1\n");
    Result r = run({"-l", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string ls = read("t.ls");
    EXPECT_EQ(ls.rfind("\n\n", 0), 0u) << ls;
    EXPECT_NE(ls.find(" My title"), std::string::npos) << ls;
    EXPECT_NE(ls.find(" t.s page 1\n\n\n"), std::string::npos) << ls;
}

TEST_F(Listing, VerilogParameters) {
    write("v.s", " funa SPI_BASE,0x4000\n funa X,$10+2\n&// copied\n");
    Result r = run({"+v", "v.txt", "v.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("v.txt"), "SPI_BASE = 16'h4000;\nX = 16'h0012;\n// copied\n");
}

TEST_F(Listing, CSourceLines) {
    write("m.c", "int a;\nint b;\nint c;\n");
    write("t.s", " .source \"m.c:2-3\"\n dc.b 1\n .source \"m.c\"\n .source \"nofile.c:1\"\n");
    Result r = run({"-l", "t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.s:3\tbad .source directive"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("t.s:4\tcan't open source nofile.c"), std::string::npos) << r.err;
    std::string ls = read("t.ls");
    EXPECT_EQ(ls.rfind("   1                  .source \"m.c:2-3\"\n; 2 int b;\n; 3 int c;\n   2  0000 01         dc.b 1\n", 0), 0u)
        << ls;
}

// Pages hold the page length, every one of them: the header block (two
// blank lines, the header, two blank lines) and the lines up to the length;
// page and nopage fill the page they end with blank lines, and the listing
// ends when its lines do.
TEST_F(Listing, PagesHaveTheirLengthAndPageEndsThem) {
    struct Case {
        const char* what;
        std::string source;
        std::vector<std::string> options;
        long plen;
    };
    std::string lines, fewer;
    for (int i = 0; i < 150; i++) lines += " dc.b " + std::to_string(i % 100) + "\n";
    for (int i = 0; i < 40; i++) fewer += " dc.b " + std::to_string(i) + "\n";
    const Case cases[] = {
        {"plain", lines, {"-ft", "-l"}, 66},
        {"page", " dc.b 1\n page\n" + lines + " nopage\n dc.b 2\n", {"-ft", "-l"}, 66},
        {"title and plen", " title \"T\"\n plen 20\n dc.b 1\n page\n" + fewer + " page\n", {"-l"}, 20},
    };
    for (const Case& c : cases) {
        write("t.s", c.source);
        std::vector<std::string> args = c.options;
        args.push_back("t.s");
        Result r = run(args);
        ASSERT_EQ(r.status, 0) << c.what << ": " << r.err;
        std::string ls = read("t.ls");
        std::vector<std::string> text;
        for (size_t at = 0, nl; (nl = ls.find('\n', at)) != std::string::npos; at = nl + 1)
            text.push_back(ls.substr(at, nl - at));
        std::vector<size_t> starts;  // a page starts two lines before its header
        for (size_t i = 0; i < text.size(); i++)
            if (text[i].find(" t.s page " + std::to_string(starts.size() + 1)) != std::string::npos)
                starts.push_back(i - 2);
        ASSERT_GE(starts.size(), 2u) << c.what << ":\n" << ls;
        EXPECT_EQ(starts[0], 0u) << c.what;
        starts.push_back(text.size());
        for (size_t p = 0; p + 1 < starts.size(); p++)
            EXPECT_EQ(static_cast<long>(starts[p + 1] - starts[p]), c.plen) << c.what << ": page " << p + 1;
    }
}
