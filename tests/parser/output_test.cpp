// Outputs of cpppc that cannot be written: a full device, a full standard
// output or a file-size limit is an error ("can't write"), status 1, and a
// partial file is removed; an error file that is a FIFO stays.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "harness.h"

namespace {

using namespace cpppctest;

// Runs cpppc with its standard output on the file named out (as a shell's
// redirection would), standard error captured.
RunResult runto(const char* out, std::vector<std::string> args) {
    std::fflush(stdout);
    int saved = ::dup(1);
    int fd = ::open(out, O_WRONLY);
    EXPECT_GE(fd, 0) << out;
    ::dup2(fd, 1);
    ::close(fd);
    RunResult r = runcpppc(std::move(args), false);
    std::clearerr(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    return r;
}

TEST(OutputFiles, WritesThatFailAreErrors) {
    Scratch s;
    s.write("t.c", "#define X 1\nint a = X;\n");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {"-o on a full device", {"-e", "-o", "/dev/full", "t.c"}, "can't write /dev/full\n"},
        {"-e to a full standard output", {"-e", "t.c"}, "can't write standard output\n"},
        {"-md to a full standard output", {"-md", "t.c"}, "can't write standard output\n"},
    };
    for (const Case& c : cases) {
        RunResult r = runto("/dev/full", c.args);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
    }
}

TEST(OutputFiles, PartialFileIsRemoved) {
    Scratch s;
    std::string big;
    for (int i = 0; i < 2000; i++) big += "int a" + std::to_string(i) + ";\n";
    s.write("t.c", big);
    // a file-size limit below the output, its signal ignored: the write fails
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldsig = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    RunResult r = runcpppc({"-e", "-o", "t.i", "t.c"});
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldsig);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't write t.i\n"), std::string::npos) << r.err;
    EXPECT_FALSE(s.exists("t.i"));
}

TEST(OutputFiles, ErrorFileThatIsAFifoStays) {
    Scratch s;
    s.write("t.c", "int a;\n");
    ASSERT_EQ(::mkfifo("err.fifo", 0600), 0);
    int fd = ::open("err.fifo", O_RDONLY | O_NONBLOCK);  // a reader, so cpppc's open returns
    ASSERT_GE(fd, 0);
    RunResult r = runcpppc({"+e", "err.fifo", "-e", "-o", "t.i", "t.c"});
    ::close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(::lstat("err.fifo", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
