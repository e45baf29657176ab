// The debugger's "go" over a VLE loop of about 25 million instructions:
// once without a screen and once with the main window up (offscreen),
// whose run state and message pump the run loop calls while the target
// runs. Both go through the command host the menus use. Prints both rates
// and their ratio; the windowed rate should stay at 90% of the headless one
// or better.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/window.h"
#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/shell/shell.h"
#include "vek/shell/shellmain.h"

namespace {

double rate(vek::Session& session, vek::shell::CommandHost& commands, const std::string& program) {
    commands.docmd("load " + program);
    const uint32_t before = session.instructions();
    const auto start = std::chrono::steady_clock::now();
    commands.docmd("go");  // to the zero half-word at the end
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return double(session.instructions() - before) / took.count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char dir[] = "/tmp/vekshell_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    setenv("XDG_RUNTIME_DIR", dir, 0);
    const std::string program = std::string(dir) + "/vleloop.o";
    const std::string as = std::string(CAPPC_PATH) + " -a -o " + program + " " + LOOP_SOURCE + " >/dev/null";
    if (std::system(as.c_str()) != 0) {
        std::fprintf(stderr, "cannot assemble %s\n", LOOP_SOURCE);
        return 1;
    }
    QApplication app(argc, argv);
    auto session = vek::freshsession();
    vek::Debugger debugger(*session);
    debugger.quiet = true;
    vek::shell::DebuggerCommands commands(debugger);
    // The end of the loop is reported as an error: no box waits for it.
    vek::shell::responder().box = [](const platform::BoxRequest&) { return platform::BoxAnswer::Ok; };
    rate(*session, commands, program);  // warms the executor's caches
    const double bare = rate(*session, commands, program);
    double windowed;
    {
        vek::shell::Shell shell(&commands);
        shell.frame().show();
        QApplication::processEvents();
        rate(*session, commands, program);
        windowed = rate(*session, commands, program);
    }
    std::printf("go, headless:    %.1f M instructions/s\n", bare / 1e6);
    std::printf("go, main window: %.1f M instructions/s\n", windowed / 1e6);
    std::printf("ratio: %.2f (0.90 or more wanted)\n", windowed / bare);
    std::system((std::string("rm -rf ") + dir).c_str());
    return 0;
}
