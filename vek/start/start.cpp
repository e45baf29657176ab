// Start-up and the batch main loop (see start.h).
#include "vek/start/start.h"

#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

#include "platform/interrupt.h"
#include "platform/profile.h"
#include "platform/window.h"
#include "toollib/quit.h"
#include "vek/command/control/sessionfile.h"
#include "vek/command/data/data.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/core/support/output.h"

namespace vek {

namespace {

// Counts the error boxes besides showing them as the headless host does.
struct BatchHost : platform::WindowHost {
    uint32_t errors = 0;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        if (box.caption == "Error") ++errors;
        return WindowHost::messagebox(box);
    }
};

BatchHost& batchhost() {
    static BatchHost host;
    return host;
}

bool interruptedoutside = false;

// Whether a read of standard input would not block (data, its end, an
// error, or an interrupt that ended the wait).
bool inputready() {
#ifdef __GLIBC__
    if (stdin->_IO_read_ptr < stdin->_IO_read_end) return true;
#endif
    pollfd p{0, POLLIN, 0};
    return poll(&p, 1, 20) != 0;
}

}  // namespace

StartOptions parsecmdline(const std::vector<std::string>& args) {
    StartOptions o;
    size_t i = 0;
    auto argument = [&](std::string& into) {
        if (i + 1 >= args.size()) {
            o.badoption = true;
            return false;
        }
        into = args[++i];
        if (into.size() >= 2 && into.front() == '"' && into.back() == '"') into = into.substr(1, into.size() - 2);
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() != 2 || a[0] != '-') break;
        std::string value;
        switch (a[1]) {
        case 'b': o.banner = false; break;
        case 'm': o.banner = o.normalshow = false; break;
        case 'v': o.quiet = true; break;
        case 'c': o.nodisplay = true; break;
        case 'r': o.early.push_back("remote"); break;
        case 'i':
            if (argument(value)) o.startfile = value;
            break;
        case 'p':
            if (argument(value)) o.path = value;
            break;
        case 's':
            if (argument(value)) o.early.push_back("session /l " + value);
            break;
        default:
            tl::puterr("vek: illegal option " + a + "\n");
            o.badoption = true;
            return o;  // an illegal option: nothing after it is read
        }
        if (o.badoption) {
            tl::puterr("vek: option " + a + " needs an argument\n");
            return o;
        }
    }
    for (; i < args.size(); ++i) o.program += (o.program.empty() ? "" : " ") + args[i];
    return o;
}

void runstart(StartState& st) {
    Debugger& d = *st.debugger;
    d.quiet = st.options.quiet;
    d.s.prog.quiet = st.options.quiet;
    if (!st.options.path.empty()) d.srcpath = st.options.path;
    // Extensions: the program folders, then the extension path.
    extensions().extenpath = platform::Profile(exportstate().inifile).read("Options", "ExtenPath", "");
    exportstate().host.mainwindow = extensions().mainwindow;
    scanextensions();
    for (const std::string& line : st.options.early) {
        if (d.quitting) return;
        d.docmd(line.c_str(), 1);
    }
    if (!st.options.program.empty() && !d.quitting) {
        const uint32_t before = outstate().errors;
        if (st.load)
            st.load(st.options.program);
        else
            d.docmd(("load " + st.options.program).c_str(), 1);
        if (outstate().errors != before) st.failed = true;
    }
    if (!st.options.startfile.empty() && !d.quitting)
        if (!d.runcmdfile(st.options.startfile.c_str())) st.failed = true;
}

int batchloop(StartState& st) {
    Debugger& d = *st.debugger;
    const bool terminal = isatty(0);
    std::string line;
    while (!d.quitting) {
        if (terminal) {
            std::fputs("Vek>", stdout);
            std::fflush(stdout);
        }
        // Extensions' threads are served while the input is awaited.
        while (!inputready()) pumpexports();
        pumpexports();
        if (platform::interrupted()) {
            interruptedoutside = true;
            break;
        }
        const bool any = readwholeline(stdin, line);
        if (platform::interrupted()) {
            interruptedoutside = true;
            break;
        }
        if (!any) break;  // end of input is quit
        if (line.empty()) continue;
        d.doblock(line.c_str(), 1);
        pumpexports();
        if (platform::interrupted() && !d.flags.running) {
            // An interrupt after the run had ended (or with no run) ends vek.
            interruptedoutside = true;
            break;
        }
    }
    return exitstatus(st);
}

int exitstatus(const StartState& st) {
    if (interruptedoutside) return 2;
    if (st.failed || st.options.badoption || outstate().errors || batchhost().errors) return 1;
    return 0;
}

int vekmain(int argc, char** argv, ShellMain shell) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    StartState st;
    st.options = parsecmdline(args);
    resetoutput();
    platform::setwindowhost(&batchhost());
    st.session = freshsession();
    st.debugger = std::make_unique<Debugger>(*st.session);
    adddatacommands();
    resetextensions(st.debugger.get());
    resetexports();
    st.debugger->extcmd = extcmd;
    {
        // Without a screen sessions keep the events and monitors; a front
        // end with windows installs its own.
        SessionWindows w = headlesswindows(platform::configpath("VEKSPPC.INI"));
        w.extenpath = [] { return extensions().extenpath; };
        usesessionfiles(*st.debugger, std::move(w));
    }
    // The debug switch: every run one instruction at a time (the results
    // are the same as on the fast path).
    if (const char* literal = std::getenv("VEK_LITERAL")) st.debugger->literal = *literal == '1';
    platform::catchinterrupt();
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    if (shell && display && !st.options.nodisplay) {
        const int status = shell(st);
        closeextensions();
        return status;
    }
    runstart(st);
    int status = batchloop(st);
    pumpexports();
    closeextensions();
    resetdata();
    st.debugger.reset();
    platform::setwindowhost(nullptr);
    return status;
}

}  // namespace vek
