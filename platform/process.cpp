// posix_spawn and waitpid behind runprocess; see process.h.
#include "platform/process.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

std::string selfpath() {
    std::vector<char> buf(PATH_MAX + 1);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

namespace {
// Owns the spawn attribute objects so that every path out destroys them.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};
}  // namespace

ProcessResult runprocess(const std::string& program, const std::vector<std::string>& args,
                         const SpawnOptions& options) {
    ProcessResult result;
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    if (argv.empty()) argv.push_back(const_cast<char*>(program.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    const int mode = O_WRONLY | O_CREAT | O_TRUNC;
    if (!options.stdoutpath.empty())
        posix_spawn_file_actions_addopen(&setup.actions, 1, options.stdoutpath.c_str(), mode, 0644);
    if (!options.stderrpath.empty())
        posix_spawn_file_actions_addopen(&setup.actions, 2, options.stderrpath.c_str(), mode, 0644);
    if (options.newgroup) {
        posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&setup.attr, 0);
    }

    // A parent that left SIGCHLD ignored would have the child reaped behind
    // our back, and waitpid would fail as if the child never ran.
    struct sigaction chld {};
    if (::sigaction(SIGCHLD, nullptr, &chld) == 0 && !(chld.sa_flags & SA_SIGINFO) && chld.sa_handler == SIG_IGN) {
        chld.sa_handler = SIG_DFL;
        ::sigaction(SIGCHLD, &chld, nullptr);
    }

    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ) != 0)
        return result;

    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0) {
        if (errno != EINTR) return result;
    }
    if (WIFEXITED(wstatus)) {
        result.end = ProcessResult::End::Exited;
        result.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        result.end = ProcessResult::End::Signaled;
        result.signal = WTERMSIG(wstatus);
    }
    return result;
}

}  // namespace platform
