// Where the assembler's outputs go and what happens when they cannot be
// written: links are written through, devices and FIFOs in place, a failed
// write is an error that leaves no partial file, and an input that never
// ends a line is refused.
#include "asmtest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace asmtest;

namespace fs = std::filesystem;

namespace {

// Reads everything the FIFO holds now (its writer has closed it).
std::string drain(int fd) {
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    return got;
}

}  // namespace

class Outputs : public AsmTest {
protected:
    // The object of t.s as a plain file writes it.
    std::string reference() {
        Result r = run({"-si", "-o", "ref.o", "t.s"});
        EXPECT_EQ(r.status, 0) << r.err;
        return read("ref.o");
    }
    // The assembler as a program, with a shell around it; its status and
    // standard error.
    Result shell(const std::string& command) {
        Result r;
        int st = std::system((command + " 2>err.txt").c_str());
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        r.err = read("err.txt");
        return r;
    }
    static std::string cappc() { return std::string("'") + CAPPC_PATH + "'"; }
};

TEST_F(Outputs, ObjectThroughALinkToItsTarget) {
    write("t.s", " dc.l 0x11223344\n");
    std::string want = reference();
    for (bool exists : {false, true}) {
        fs::remove("real.o");
        if (exists) write("real.o", "old contents");
        fs::remove("link.o");
        fs::create_symlink("real.o", "link.o");
        Result r = run({"-si", "-o", "link.o", "t.s"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink("link.o"));
        EXPECT_EQ(read("real.o"), want);
    }
    // nothing is left beside the file
    for (const auto& e : fs::directory_iterator("."))
        EXPECT_EQ(e.path().filename().string().find(".o."), std::string::npos) << e.path();
}

TEST_F(Outputs, FifoAndDeviceAreWrittenInPlace) {
    write("t.s", " dc.l 0x11223344\n");
    std::string want = reference();
    ASSERT_EQ(::mkfifo("pipe.o", 0600), 0);
    int fd = ::open("pipe.o", O_RDONLY | O_NONBLOCK);  // a reader, so the writer's open returns
    ASSERT_GE(fd, 0);
    Result r = run({"-si", "-o", "pipe.o", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(drain(fd), want);
    ::close(fd);
    struct stat st;
    ASSERT_EQ(::lstat("pipe.o", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // a private character device like the null device (only where nodes may be made)
    if (::mknod("null.o", S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make a device node here";
    r = run({"-si", "-o", "null.o", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(::lstat("null.o", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(Outputs, ErrorFileThatIsNoRegularFileStays) {
    write("t.s", " dc.b 1\n");
    ASSERT_EQ(::mkfifo("err.fifo", 0600), 0);
    int fd = ::open("err.fifo", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    Result r = run({"+e", "err.fifo", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    ::close(fd);
    struct stat st;
    ASSERT_EQ(::lstat("err.fifo", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // a regular one goes after a clean run, as before
    r = run({"+e", "err.txt", "t.s"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(exists("err.txt"));
}

TEST_F(Outputs, FailedWritesAreErrors) {
    std::string big;
    for (int i = 0; i < 400; i++) big += " dc.l " + std::to_string(i) + "\n";
    write("t.s", " dc.b 1\n");
    write("big.s", big);
    struct Case {
        const char* what;
        std::string command;
        const char* message;
        const char* absent;  // a file that must not be left
    } cases[] = {
        {"object on a full device", cappc() + " -o /dev/full t.s", "can't write /dev/full", nullptr},
        {"listing on a full device", cappc() + " +l /dev/full t.s", "can't write /dev/full", "t.o"},
        {"dependencies on a full standard output", cappc() + " -md t.s >/dev/full",
         "can't write standard output", nullptr},
        // a file-size limit (its signal ignored) makes the listing write fail
        {"listing over a size limit", "trap '' XFSZ; ulimit -f 4; " + cappc() + " -l big.s", "can't write big.ls",
         "big.ls"},
    };
    for (const Case& c : cases) {
        Result r = shell("sh -c \"" + c.command + "\"");
        EXPECT_EQ(r.status, 1) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        if (c.absent) {
            EXPECT_FALSE(exists(c.absent)) << c.what;
        }
        for (const auto& e : fs::directory_iterator("."))
            EXPECT_NE(e.path().filename().string()[0], '.') << c.what << ": left " << e.path();
    }
}

TEST_F(Outputs, IncludeOfAnEndlessLineIsRefused) {
    write("t.s", " dc.b 1\n include \"/dev/zero\"\n dc.b 2\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "#error cappc t.s:2\tline too long\n");
    Result main = run({"/dev/zero"});
    EXPECT_EQ(main.status, 1);
    EXPECT_EQ(main.err, "#error cappc /dev/zero:0 line too long\n");
}
