// "go" over an endless loop for a fixed count of instructions: once with a
// run control that never looks at windows (the headless rate) and once with
// the main window up (offscreen), which pumps its event queue while the
// target runs. Prints both rates and their ratio; the windowed rate should
// stay at 90% of the headless one or better.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "vek/core/session/session.h"
#include "vek/shell/commands.h"
#include "vek/shell/shell.h"

namespace {

struct Headless : vek::shell::RunControl {
    void setrunstate(bool) override {}
    bool pumpmsgs() override { return false; }
};

constexpr uint64_t kCount = 20'000'000;

double rate(vek::Session& session, vek::shell::RunControl& run) {
    vek::shell::SessionCommands commands(session, run);
    session.target.regs.setpc(0x100);
    auto start = std::chrono::steady_clock::now();
    commands.docmd("go " + std::to_string(kCount));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return static_cast<double>(kCount) / took.count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char dir[] = "/tmp/vekshell_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    setenv("XDG_RUNTIME_DIR", dir, 0);
    QApplication app(argc, argv);
    auto session = vek::freshsession();
    session->target.mem.putword(0x100, 0xe800);  // se_b .
    Headless headless;
    rate(*session, headless);  // warms the executor's caches
    double bare = rate(*session, headless);
    double windowed;
    {
        vek::shell::Shell shell(nullptr);
        shell.frame().show();
        QApplication::processEvents();
        windowed = rate(*session, shell.frame());
    }
    std::printf("go, headless:    %.1f M instructions/s\n", bare / 1e6);
    std::printf("go, main window: %.1f M instructions/s\n", windowed / 1e6);
    std::printf("ratio: %.2f\n", windowed / bare);
    std::system((std::string("rm -rf ") + dir).c_str());
    return 0;
}
