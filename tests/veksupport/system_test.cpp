#include <unistd.h>

#include <string>

#include "fixture.h"
#include "toollib/quit.h"

namespace {

class System : public VekTest {};

TEST_F(System, ShellArguments) {
    EXPECT_EQ(vek::shellargs("/bin/sh", ""), (std::vector<std::string>{"/bin/sh"}));
    EXPECT_EQ(vek::shellargs("/bin/sh", "ls -l"), (std::vector<std::string>{"/bin/sh", "-c", "ls -l"}));
}

TEST_F(System, StartFailureTexts) {
    EXPECT_STREQ(vek::starterror(2), "File not Found");
    EXPECT_STREQ(vek::starterror(0), "System Out of Memory or Corrupt file");
    EXPECT_STREQ(vek::starterror(21), "Application requires Windows 32-bit extensions");
    EXPECT_STREQ(vek::starterror(1), "");
}

TEST_F(System, ShellStartsWithoutWaiting) {
    EXPECT_EQ(vek::shellcmd("exit 3"), 0);
    EXPECT_EQ(vek::shellstate().cmdline, "/bin/sh -c exit 3");
    EXPECT_EQ(vek::shellcmd(""), 0);
    EXPECT_EQ(vek::shellstate().cmdline, "/bin/sh");
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(System, FailedStartIsReported) {
    vek::shellstate().interpreter = "/nonexistent/sh";
    vek::outstate().cmdfile = true;
    EXPECT_EQ(vek::shellcmd("echo hi"), 2);
    EXPECT_EQ(host.cmdtext, "#error: /nonexistent/sh -c echo hi  Error:2 File not Found\n");
}

TEST_F(System, ProgramServices) {
    EXPECT_EQ(std::string(vek::pidtext()), std::to_string(getpid()));
    vek::closemain();
    EXPECT_EQ(host.closerequests, 1);
    EXPECT_EQ(tl::runmain([]() -> int { vek::exitprog(3); }), 3);
}

TEST_F(System, ListExtentGrowsOnlyForWiderText) {
    struct {
        int32_t text, client, extent, expected;
    } cases[] = {{50, 100, 0, 0}, {150, 100, 0, 150}, {150, 100, 200, 200}, {100, 100, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(vek::fitlistextent(c.text, c.client, c.extent), c.expected)
            << c.text << ' ' << c.client << ' ' << c.extent;
}

}  // namespace
