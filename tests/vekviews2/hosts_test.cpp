// The Disassembly, Registers and Stack windows in the main window, opened
// and closed through the Show menu items.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <cstdlib>

#include "qtapp.h"
#include "scratch.h"
#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/core/support/output.h"
#include "vek/shell/shell.h"
#include "vek/views/machinedialogs.h"
#include "vek/views/machinehosts.h"

namespace {

struct Recorder : vek::shell::CommandHost {
    std::vector<std::string> lines;
    void docmd(const std::string& line) override { lines.push_back(line); }
};

TEST(Hosts, ShowMenuItemsOpenRefreshAndClose) {
    qtapp();
    qvtest::Scratch scratch{"vekviews2"};
    setenv("XDG_CONFIG_HOME", scratch.dir().c_str(), 1);
    vek::resetoutput();
    vek::shell::responder() = {};
    vek::shell::responder().box = [](const platform::BoxRequest&) { return platform::BoxAnswer::Ok; };
    auto session = vek::freshsession();
    auto d = std::make_unique<vek::Debugger>(*session);
    Recorder recorder;
    auto shell = std::make_unique<vek::shell::Shell>(&recorder);
    vek::shell::MainWindow& frame = shell->frame();
    frame.show();
    vek::views::MachineWindows w;
    vek::views::registermachineviews(frame, *d, w);
    session->target.regs.setreg(37, 0x2000);

    frame.dispatch(320);
    ASSERT_FALSE(w.disasm.isNull());
    ASSERT_NE(w.dviews[0], nullptr);
    EXPECT_EQ(w.dviews[0]->model().start, 0x2000u);
    frame.dispatch(310);
    ASSERT_NE(w.rviews[0], nullptr);
    frame.dispatch(330);
    ASSERT_NE(w.sviews[0], nullptr);
    EXPECT_TRUE(w.sviews[0]->model().lines.empty());

    session->target.regs.setreg(4, 0x55);
    session->target.regs.setreg(37, 0x3000);
    vek::views::refreshmachineviews(*d, w);
    EXPECT_EQ(w.dviews[0]->model().start, 0x3000u);
    const auto& p = w.rviews[0]->model();
    EXPECT_NE(p.last.find("r3:00000055"), std::string::npos);
    EXPECT_NE(std::find(p.changed.begin(), p.changed.end(), true), p.changed.end());

    // The Memory command: a data window at the address typed.
    session->target.mem.putbyte(0x100, 0x41);
    vek::views::formanswer() = [](vek::views::FormDialog& f) {
        f.setfield(0, "0x100");
        f.ok();
    };
    vek::shell::HostWindow* mem = vek::views::askmemwin(frame, *d, w);
    vek::views::formanswer() = nullptr;
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(mem->windowTitle(), "data:0x100");
    auto* view = mem->pane(0)->findChild<vek::views::MemoryView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->model().lines.at(0).substr(0, 14), "00000100 4100 ");
    session->target.mem.putbyte(0x101, 0x42);
    vek::views::refreshmachineviews(*d, w);
    EXPECT_NE(view->model().lines.at(0).find("\x01\x0a" "4142"), std::string::npos);

    frame.dispatch(320);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.disasm.isNull());
    frame.close();
    frame.shutdown();
    shell.reset();
}

}  // namespace
