// Shell and system utilities.
//
// "sys" starts the shell on its command line without waiting for it; the
// started processes are reaped later, whenever the next one starts or the
// state is reset, so none lingers as a zombie for long. A start that fails
// is reported with the code and text of the failure table.
#include "vek/core/support/system.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "toollib/quit.h"
#include "platform/window.h"
#include "vek/core/support/output.h"
#include "vek/core/support/text.h"

extern char** environ;

namespace vek {

namespace {

// code | text of a program that could not be started
struct StartFailure {
    int code;
    const char* text;
};
constexpr StartFailure kStartFailures[] = {
    {0, "System Out of Memory or Corrupt file"},
    {2, "File not Found"},
    {3, "Path not Found"},
    {5, "Attempt to dynamically link a task or Sharing/Network Protection"},
    {6, "Library required separate data segments for each task"},
    {8, "There was insufficient memory to start the application"},
    {10, "Windows version was incorrect"},
    {11, "Executable file was invalid"},
    {12, "Application was designed for another system"},
    {13, "Application was designed for MS-DOS4.0"},
    {14, "Type of executable file was unknown"},
    {15, "Attempt was made to load a real-mode application"},
    {16, "Attempt to load a second instance with non read-only data segments"},
    {19, "Attempt was made to load a compressed exec file"},
    {20, "DLL file was invalid. One of the DLLs is corrupt"},
    {21, "Application requires Windows 32-bit extensions"},
};

// Host errors that have a code of the table.
struct ErrnoCode {
    int error;
    int code;
};
constexpr ErrnoCode kErrnoCodes[] = {
    {ENOENT, 2}, {ENOTDIR, 3}, {ENOMEM, 8}, {ENOEXEC, 11},
};

struct Started {
    std::unique_ptr<ShellState> state = std::make_unique<ShellState>();
    std::vector<pid_t> children;
};
Started shell;

void reapchildren(bool wait) {
    auto& kids = shell.children;
    for (size_t i = 0; i < kids.size();) {
        int status = 0;
        pid_t r = waitpid(kids[i], &status, wait ? 0 : WNOHANG);
        if (r == 0) {
            ++i;
            continue;
        }
        kids.erase(kids.begin() + static_cast<long>(i));
    }
}

char pidbuffer[24];

}  // namespace

ShellState& shellstate() { return *shell.state; }

void resetshell() {
    reapchildren(false);
    shell.state = std::make_unique<ShellState>();
}

std::vector<std::string> shellargs(const std::string& interpreter, const std::string& text) {
    if (text.empty()) return {interpreter};
    return {interpreter, "-c", text};
}

const char* starterror(int code) {
    for (const StartFailure& f : kStartFailures)
        if (f.code == code) return f.text;
    return "";
}

int shellcmd(const char* text) {
    reapchildren(false);
    ShellState& st = *shell.state;
    std::vector<std::string> args = shellargs(st.interpreter, text ? text : "");
    st.cmdline.clear();
    for (const std::string& a : args) st.cmdline += (st.cmdline.empty() ? "" : " ") + a;

    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The debugger keeps its own input: the command reads an empty one.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0) {
        shell.children.push_back(pid);
        return 0;
    }

    int code = error;
    const char* reason = nullptr;
    for (const ErrnoCode& e : kErrnoCodes) {
        if (e.error == error) {
            code = e.code;
            reason = starterror(code);
        }
    }
    if (reason == nullptr) reason = std::strerror(error);
    char number[16];
    int32_t n = numtext(number, static_cast<uint32_t>(code), 10);
    puterror({st.cmdline, "  Error:", std::string_view(number, static_cast<size_t>(n)), " ", reason, "\n"});
    return code;
}

void exitprog(int status) { tl::quit(status); }

void closemain() { platform::windowhost().closemain(); }

const char* pidtext() {
    int32_t n = numtext(pidbuffer, static_cast<uint32_t>(getpid()), 10);
    pidbuffer[n] = '\0';
    return pidbuffer;
}

int32_t fitlistextent(int32_t textwidth, int32_t clientwidth, int32_t extent) {
    return textwidth > clientwidth && textwidth > extent ? textwidth : extent;
}

}  // namespace vek
