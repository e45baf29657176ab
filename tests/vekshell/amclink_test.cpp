// The animation link over a stand-in library, and the web page menu.
#include <dlfcn.h>

#include <QDesktopServices>
#include <QMenuBar>
#include <QUrl>

#include <cstdlib>

#include "tests/vekshell/shelltest.h"
#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/shell/amclink.h"

namespace vekshelltest {

// Catches the addresses the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.push_back(url); }
};

namespace {

bool hasmodelmenu(vek::shell::MainWindow& frame) {
    for (QAction* a : frame.menuBar()->actions())
        if (a->text() == "MODEL LINK") return true;
    return false;
}

std::string assembled(const qvtest::Scratch& dir) {
    std::string obj = (dir.dir() / "loop.o").string();
    std::string cmd = std::string(CAPPC_PATH) + " -a -o " + obj + " " + LOOP_SOURCE + " >/dev/null";
    return std::system(cmd.c_str()) == 0 ? obj : std::string();
}

TEST_F(ShellTest, WithoutTheLinkLibraryThereIsNoModelMenu) {
    vek::shell::MainWindow& frame = start();
    EXPECT_FALSE(vek::shell::amcload(frame, (scratch.dir() / "none").string()));
    EXPECT_FALSE(hasmodelmenu(frame));
    EXPECT_EQ(vek::shell::amclink().library, nullptr);
}

TEST_F(ShellTest, TheLinkHearsRunsAndBreakpoints) {
    std::string program = assembled(scratch);
    ASSERT_FALSE(program.empty());
    auto session = vek::freshsession();
    vek::Debugger d(*session);
    vek::shell::MainWindow& frame = start();
    ASSERT_TRUE(vek::shell::amcload(frame, AMCFAKE_DIR));
    EXPECT_TRUE(hasmodelmenu(frame));
    auto calls = reinterpret_cast<const char* (*)()>(dlsym(vek::shell::amclink().library, "amcfake_calls"));
    auto clear = reinterpret_cast<void (*)()>(dlsym(vek::shell::amclink().library, "amcfake_clear"));
    ASSERT_TRUE(calls && clear);
    EXPECT_STREQ(calls(), "Init\n");
    frame.dispatch(9200);
    EXPECT_TRUE(vek::shell::amclink().connected);
    d.docmd(("load " + program).c_str(), 1);
    d.docmd("break main.c:15", 1);
    clear();
    d.docmd("go", 1);
    EXPECT_STREQ(calls(), "Running\nBkptCheck 1\nStopped\n");
    frame.dispatch(9201);
    EXPECT_FALSE(vek::shell::amclink().connected);
    vek::shell::amcunload();
}

TEST_F(ShellTest, ALinkWhoseInitRefusesLeavesInertMenuCommands) {
    setenv("VEKAMC_INIT", "0", 1);
    vek::shell::MainWindow& frame = start();
    EXPECT_TRUE(vek::shell::amcload(frame, AMCFAKE_DIR));
    unsetenv("VEKAMC_INIT");
    EXPECT_TRUE(hasmodelmenu(frame));
    EXPECT_EQ(vek::shell::amclink().library, nullptr);
    EXPECT_EQ(vek::shell::amclink().running, nullptr);
    frame.dispatch(9200);
    EXPECT_FALSE(vek::shell::amclink().connected);
}

TEST_F(ShellTest, TheWebPageMenuOpensTheLocalesAddress) {
    vek::shell::MainWindow& frame = start();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    const QLocale before;
    for (auto [territory, page] : {std::pair{QLocale::France, "https://vek.example/fr/"},
                                   std::pair{QLocale::Germany, "https://vek.example/de/"},
                                   std::pair{QLocale::Japan, "https://vek.example/"}}) {
        QLocale::setDefault(QLocale(QLocale::AnyLanguage, territory));
        catcher.opened.clear();
        frame.dispatch(14000);
        ASSERT_EQ(catcher.opened.size(), 1);
        EXPECT_EQ(catcher.opened[0].toString().toStdString(), page);
    }
    QLocale::setDefault(before);
    QDesktopServices::unsetUrlHandler("https");
}

}  // namespace
}  // namespace vekshelltest

#include "amclink_test.moc"
