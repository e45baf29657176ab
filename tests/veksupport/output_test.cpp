#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "fixture.h"
#include "tests/scratch.h"

namespace {

class Output : public VekTest {
protected:
    scratch::Dir dir{"veksupport"};
    std::string path = dir.file("output.txt");
    std::string filetext() {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(Output, FirstCaptureThatIsOnTakesTheText) {
    char* value = vek::startvarcap();
    char* ext = vek::WinitFakeIo();
    vek::puttext({"one ", "two"});
    EXPECT_STREQ(value, "one two");
    EXPECT_STREQ(ext, "");
    EXPECT_EQ(host.cmdtext, "");
    vek::stopvarcap();
    char* stack = vek::startstackcap();
    vek::putfmt("%l|", 5);
    EXPECT_STREQ(stack, "5|");
    vek::stopstackcap();
    vek::writeout("x");
    EXPECT_STREQ(ext, "x");
    vek::WinStopFakeIo();
    vek::writeout("y");
    EXPECT_EQ(host.cmdtext, "y");
}

TEST_F(Output, FakeIoProtocol) {
    char* base = vek::outstate().ext.text;
    char* first = vek::WinitFakeIo();
    EXPECT_EQ(first, base + 1);
    vek::puttext({"abc"});
    vek::WinStopFakeIo();
    char* second = vek::WinitFakeIo();
    EXPECT_EQ(second, first + 4);
    vek::puttext({"de"});
    vek::WinStopFakeIo();
    EXPECT_STREQ(first, "abc");
    EXPECT_STREQ(second, "de");
    vek::WinSetFakeIo();
    EXPECT_FALSE(vek::outstate().ext.on);
    EXPECT_EQ(vek::WinitFakeIo(), base + 1);
    EXPECT_STREQ(base + 1, "");
}

TEST_F(Output, CaptureDropsWhatDoesNotFit) {
    auto& buffer = vek::outstate().ext;
    char* start = vek::WinitFakeIo();
    std::string chunk(1000, 'q');
    for (int i = 0; i < 25; ++i) vek::writeout(chunk);
    EXPECT_EQ(buffer.pos, vek::CaptureBuffer::Size - 1);
    EXPECT_EQ(buffer.text[vek::CaptureBuffer::Size - 1], '\0');
    EXPECT_EQ(std::strlen(start), vek::CaptureBuffer::Size - 2);
    // A new capture at the very end starts empty and stays inside.
    vek::WinStopFakeIo();
    char* last = vek::WinitFakeIo();
    vek::writeout("more");
    EXPECT_EQ(last, buffer.text + vek::CaptureBuffer::Size - 1);
    EXPECT_STREQ(last, "");
}

TEST_F(Output, PuterrorInACommandFile) {
    vek::outstate().cmdfile = true;
    vek::puterror({"a", "b", "\n"});
    EXPECT_EQ(host.cmdtext, "#error: ab\n");
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Output, ClosedWindowDropsOrOpensButTheFileGetsEverything) {
    ASSERT_EQ(vek::redirectout(path.c_str(), 0), 1);
    host.open = false;
    vek::writeout("dropped from the window\n");
    EXPECT_EQ(host.opened, 0);
    EXPECT_EQ(host.cmdtext, "");
    vek::outstate().autocmd = true;
    vek::writeout("opens\n");
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.cmdtext, "opens\n");
    vek::writeconsole("console only\n", 13);
    EXPECT_EQ(host.cmdtext, "opens\nconsole only\n");
    vek::endredirect();
    EXPECT_EQ(filetext(), "dropped from the window\nopens\n");
}

TEST_F(Output, RedirectionAppendTruncateAndEnd) {
    ASSERT_EQ(vek::redirectout(path.c_str(), 0), 1);
    vek::writeout("one\n");
    ASSERT_EQ(vek::redirectout(("  " + path).c_str(), 1), 1);
    vek::writeout("two\n");
    EXPECT_EQ(vek::redirectout("   ", 0), 1);  // blanks only: ends redirection
    EXPECT_EQ(vek::outstate().outfile, nullptr);
    vek::writeout("three\n");
    EXPECT_EQ(filetext(), "one\ntwo\n");
    ASSERT_EQ(vek::redirectout(path.c_str(), 0), 1);
    vek::endredirect();
    EXPECT_EQ(filetext(), "");
}

TEST_F(Output, RedirectionThatCannotOpen) {
    vek::outstate().cmdfile = true;
    EXPECT_EQ(vek::redirectout("/nonexistent-dir/x.out", 0), 0);
    EXPECT_EQ(host.cmdtext, "#error: Can't Open /nonexistent-dir/x.out for output redirection\n");
    EXPECT_EQ(vek::outstate().outfile, nullptr);
}

}  // namespace
