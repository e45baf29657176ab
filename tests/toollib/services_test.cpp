// Command files, path lists, wildcards, numbers and allocation, each against
// small files made in a fresh temporary directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "toollib/quit.h"
#include "toollib/services.h"
#include "toollib/strings.h"

namespace fs = std::filesystem;

namespace {

class TempDir : public testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "toollibXXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir = templ;
        tl::resettoolcontext();
        tl::initprogname("prog");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string& name, const std::string& text) {
        fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    fs::path dir;
};

using Words = std::vector<std::string>;

class CmdFile : public TempDir {};

TEST_F(CmdFile, WordsQuotesAndComments) {
    struct Case {
        std::string text;
        Words words;
    };
    const Case cases[] = {
        {"-a -b\n\n  c\n", {"-a", "-b", "c"}},
        {"x#y #comment here\n", {"x#y"}},
        {"'a b' \"c d\"\n", {"a b", "c d"}},
        {"\"abc\"def\n", {"abc", "def"}},
        {"it's\n", {"it's"}},
        {"one\r\ntwo three\r\n", {"one", "two", "three"}},  // CR LF ends the line
        {"last-without-newline", {"last-without-newline"}},
        {"\"#not a comment\"\n", {"#not a comment"}},
    };
    for (const auto& c : cases) {
        std::string path = write("cmd.txt", c.text);
        std::vector<tl::LineToken> words;
        auto err = tl::readcmdfile(path, words);
        EXPECT_FALSE(err.has_value()) << c.text << ": " << err.value_or("");
        Words got;
        for (auto& w : words) got.push_back(w.word);
        EXPECT_EQ(got, c.words) << c.text;
    }
}

TEST_F(CmdFile, ErrorTexts) {
    std::string path = write("e.txt", "# only a comment\n\n   \n");
    std::vector<tl::LineToken> words;
    EXPECT_EQ(tl::readcmdfile(path, words), "no command found in " + path);
    EXPECT_EQ(tl::readcmdfile((dir / "missing").string(), words), "can't open file " + (dir / "missing").string());
    path = write("q.txt", "ok\n'open quote\n");
    EXPECT_EQ(tl::readcmdfile(path, words), "unmatched ' in: 'open quote");
    path = write("q2.txt", "first \"second\n");
    EXPECT_EQ(tl::readcmdfile(path, words), "unmatched \" in: first");
}

TEST_F(CmdFile, LineLengthLimit) {
    std::vector<tl::LineToken> words;
    std::string path = write("ok.txt", "x\n" + std::string(10237, 'a') + "\n");
    EXPECT_FALSE(tl::readcmdfile(path, words).has_value());
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[1].word.size(), 10237u);
    path = write("long.txt", "x\n" + std::string(10238, 'a') + "\n");
    EXPECT_EQ(tl::readcmdfile(path, words), "line 2 too long in file " + path);
}

TEST_F(CmdFile, LineTokenCarriesLineNumber) {
    std::string text(299, '\n');
    std::string path = write("n.txt", text + "word\n");
    std::vector<tl::LineToken> words;
    ASSERT_FALSE(tl::readcmdfile(path, words).has_value());
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].line, 300);
    EXPECT_EQ(words[0].encoded(), std::string("word\0\x01\x2C", 7));
}

// A bounded random pass over command files built from the characters that
// matter: a result is one of the four error texts, or words in line order
// that never hold a line end.
TEST_F(CmdFile, RandomFilesGiveWordsOrAnErrorText) {
    const char alphabet[] = "ab #'\"\t\r\n\\x";
    std::mt19937 rng(10238);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (unsigned n = rng() % 50; n > 0; --n) text += alphabet[rng() % (sizeof alphabet - 1)];
        std::string path = write("r.txt", text);
        std::vector<tl::LineToken> words;
        if (auto err = tl::readcmdfile(path, words)) {
            bool known = err->rfind("no command found in ", 0) == 0 || err->rfind("unmatched ", 0) == 0;
            EXPECT_TRUE(known) << *err;
            continue;
        }
        ASSERT_FALSE(words.empty()) << text;
        for (size_t i = 0; i < words.size(); ++i) {
            EXPECT_EQ(words[i].word.find('\n'), std::string::npos) << text;
            if (i > 0) {
                EXPECT_GE(words[i].line, words[i - 1].line) << text;
            }
        }
    }
}

TEST(ParseNum, Table) {
    struct Case {
        const char* text;
        int base;
        int32_t value;
        size_t used;
        bool fits = true;
    };
    const Case cases[] = {
        {"  -0x1F", 1, -31, 7}, {"017", 1, 15, 3},     {"09", 1, 9, 2},
        {"12ab", 10, 12, 2},    {"ff", 16, 255, 2},    {"0XfF", 16, 255, 4},
        {"", 1, 0, 0},          {"-", 1, 0, 1},        {"+7", 1, 7, 2},
        {"4294967295", 10, -1, 10},  // wraps in 32 bits
        {"0xFFFFFFFF", 1, -1, 10},   {"-2147483648", 10, INT32_MIN, 11},
        {"4294967296", 10, 0, 10, false},   {"0x100000000", 1, 0, 11, false},
        {"-2147483649", 10, INT32_MAX, 11, false},
        {"99999999999", 10, 1215752191, 11, false},
        {"0000000000000000000001", 10, 1, 22}, {"z9", 36, 35 * 36 + 9, 2},
    };
    for (const auto& c : cases) {
        int32_t v = 12345, w = 12345;
        bool fits = !c.fits;
        const char* end = tl::parsenum(c.text, v, c.base, fits);
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(static_cast<size_t>(end - c.text), c.used) << c.text;
        EXPECT_EQ(fits, c.fits) << c.text;
        EXPECT_EQ(tl::parsenum(c.text, w, c.base), end) << c.text;
        EXPECT_EQ(w, c.value) << c.text;
    }
}

class Paths : public TempDir {};

TEST_F(Paths, EnvironmentPieces) {
    tl::CountdownList list(128);
    setenv("TL_TEST_PATHS", "C:\\inc\\;D:\\x;/usr/include/", 1);
    tl::addenvpaths(list, "TL_TEST_PATHS");
    EXPECT_EQ(list.items, (Words{"C:\\inc", "D:\\x", "/usr/include/"}));
    tl::CountdownList empties(128);
    setenv("TL_TEST_PATHS", ";;", 1);
    tl::addenvpaths(empties, "TL_TEST_PATHS");
    EXPECT_EQ(empties.items, (Words{"", "", ""}));
    unsetenv("TL_TEST_PATHS");
    tl::addenvpaths(empties, "TL_TEST_PATHS");
    EXPECT_EQ(empties.items.size(), 3u);

    tl::CountdownList small(2);
    setenv("TL_TEST_PATHS", "a;b;c", 1);
    testing::internal::CaptureStderr();
    int status = tl::runmain([&] {
        tl::addenvpaths(small, "TL_TEST_PATHS");
        return 0;
    });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "too many pathnames\n");
    EXPECT_EQ(status, 1);
    unsetenv("TL_TEST_PATHS");
}

TEST_F(Paths, ExpandKeepsDirectoriesAndReadsListFiles) {
    fs::create_directories(dir / "inc");
    fs::create_directories(dir / "other");
    std::string listfile = write("dirs.lst", "/from/list/one\n\"/from list/two\"\n");
    tl::CountdownList list(2);
    list.append((dir / "inc").string() + "\\");
    list.append((dir / "missing").string());
    tl::CountdownList more(4);
    more.items = list.items;
    more.append(listfile);
    more.append((dir / "other").string() + "/");
    tl::CountdownList result = tl::expandpaths(more);
    EXPECT_EQ(result.items, (Words{(dir / "inc").string(), "/from/list/one", "/from list/two",
                                   (dir / "other").string()}));
    EXPECT_EQ(result.capacity, 4);
}

TEST_F(Paths, ListGrowsByDoubling) {
    tl::CountdownList list(2);
    std::string listfile = write("many.lst", "a b c d e\n");
    tl::readpathfile(list, listfile);
    EXPECT_EQ(list.items, (Words{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(list.capacity, 8);
}

TEST_F(Paths, UnmatchedQuoteInListFileIsShown) {
    tl::CountdownList list(4);
    std::string listfile = write("bad.lst", "'x\n");
    testing::internal::CaptureStdout();
    tl::readpathfile(list, listfile);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unmatched ' in: 'x\n");
    testing::internal::CaptureStdout();
    tl::readpathfile(list, (dir / "none.lst").string());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(list.items.empty());
}

class Wild : public TempDir {
protected:
    Words expand(Words args) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        char** av = argv.data();
        tl::expandwild(argc, av);
        Words out;
        for (int i = 0; i < argc; ++i) out.emplace_back(av[i]);
        return out;
    }
};

TEST_F(Wild, MatchesKeepCaseAndDirectory) {
    write("A.S", "");
    write("b.s", "");
    write("c.c", "");
    write("sub/x.s", "");
    std::string d = dir.string();
    EXPECT_EQ(expand({d + "/*.s", "plain.c", d + "/*.zz", d + "/?.c"}),
              (Words{d + "/b.s", "plain.c", d + "/c.c"}));
    EXPECT_EQ(expand({d + "/*"}), (Words{d + "/A.S", d + "/b.s", d + "/c.c", d + "/sub"}));
    EXPECT_EQ(expand({d + "\\sub\\*.s"}), (Words{d + "\\sub\\x.s"}));
    EXPECT_EQ(expand({"a", "b"}), (Words{"a", "b"}));
}

TEST_F(Wild, ManyMatchesGrowTheCapacity) {
    for (int i = 0; i < 300; ++i) write("f" + std::to_string(1000 + i) + ".s", "");
    Words got = expand({dir.string() + "/f*.s"});
    ASSERT_EQ(got.size(), 300u);
    EXPECT_EQ(got.front(), dir.string() + "/f1000.s");
    EXPECT_GE(tl::toolcontext().wildcapacity, 300u);
}

TEST(Alloc, FirstWordHoldsLink) {
    int anchor = 0;
    void* block = tl::xalloc(2, &anchor);
    void* link;
    std::memcpy(&link, block, sizeof link);
    EXPECT_EQ(link, &anchor);
    EXPECT_EQ(tl::xrelease(block, &anchor), &anchor);
}

TEST(DirSep, BothSeparators) {
    EXPECT_TRUE(tl::isdirsep('/'));
    EXPECT_TRUE(tl::isdirsep('\\'));
    EXPECT_FALSE(tl::isdirsep(':'));
    const char* p = "a\\b/c\\d.s";
    EXPECT_EQ(tl::lastdirsep(p), p + 5);
    EXPECT_EQ(tl::lastdirsep("plain"), nullptr);
}

}  // namespace

TEST(Strings, CatlistAndCharpos) {
    std::string s = "old";
    EXPECT_EQ(tl::catlist(s, {}), 0u);
    EXPECT_EQ(s, "");
    EXPECT_EQ(tl::catlist(s, {"L", "5", "_x"}), 4u);
    EXPECT_EQ(s, "L5_x");
    EXPECT_EQ(tl::charpos("L5_x:", ':'), 4u);
    EXPECT_EQ(tl::charpos("abc", ':'), 3u);  // not there: the length
}
