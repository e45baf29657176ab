// vekshell: the debugger's windows over one simulated target, for trying
// the shell on its own. Loads the program files named on the command line
// and opens the main window. With VEK_SCREENSHOT=file.png set, it writes a
// picture of the main window to that file once it is up and ends.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vek/core/session/session.h"
#include "vek/shell/commands.h"
#include "vek/shell/shell.h"

int main(int argc, char** argv) {
    if (!vek::shell::displayavailable()) {
        std::fprintf(stderr, "vekshell: no display (set DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM)\n");
        return 1;
    }
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') files.push_back(argv[i]);
    QApplication app(argc, argv);
    auto session = vek::freshsession();
    vek::shell::Shell shell(nullptr);
    vek::shell::MainWindow& frame = shell.frame();
    vek::shell::SessionCommands commands(*session, frame);
    frame.setcommands(&commands);
    frame.show();
    frame.startup();
    for (const std::string& file : files) frame.dispatch(102, QString::fromStdString(file));
    int status = 0;
    if (const char* shot = std::getenv("VEK_SCREENSHOT"); shot && *shot) {
        QApplication::processEvents();
        if (!frame.grab().save(QString::fromLocal8Bit(shot))) {
            std::fprintf(stderr, "vekshell: cannot write %s\n", shot);
            status = 1;
        }
    } else {
        status = QApplication::exec();
    }
    frame.shutdown();
    return status;
}
