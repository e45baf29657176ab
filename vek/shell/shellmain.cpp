// The debugger program with its windows (see shellmain.h).
#include "vek/shell/shellmain.h"
#include "vek/shell/exporthost.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "toollib/quit.h"
#include "vek/command/control/control.h"
#include "vek/command/ext/ext.h"
#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/shell/amclink.h"
#include "vek/shell/loaddialogs.h"
#include "vek/shell/sessions.h"
#include "vek/shell/shell.h"
#include "vek/shell/splash.h"

namespace vek {

namespace shell {

AttachViews attachviews = nullptr;

void DebuggerCommands::docmd(const std::string& line) { d_.docmd(line.c_str(), 1); }

void DebuggerCommands::doblock(const std::string& line) { d_.doblock(line.c_str(), 1); }

void DebuggerCommands::runcmdfile(const std::string& path) { d_.runcmdfile(path.c_str()); }

bool DebuggerCommands::hasdebug() { return d_.s.prog.debugrecords != 0; }

std::vector<std::string> DebuggerCommands::segmentlines() {
    std::vector<std::string> lines;
    if (d_.s.prog.loadstate != loadstate::Object) return lines;
    for (const LoadSegment& s : d_.s.prog.segments)
        lines.push_back(s.name + " at: " + hextextb(s.address) + " (" + hextextb(s.size) + " bytes)");
    return lines;
}

void DebuggerCommands::reloadsegments(const std::vector<size_t>& which) {
    vek::reloadsegments(d_.s.loadenv, which);
    d_.s.target.exec.flushcache();
}

void DebuggerCommands::sessionfile(const std::string& path, int kind, bool load) {
    if (d_.sessionio) d_.sessionio(path, kind, load);
}

}  // namespace shell

namespace {

// The dialogs' view of the loaded program's debug information.
shell::ProgramIndex programindex(Debugger& d) {
    shell::ProgramIndex index;
    index.files = [&d] {
        std::vector<std::string> names;
        for (const auto& f : d.di().files) names.push_back(f->name);
        return names;
    };
    index.functions = [&d](const std::string& file) {
        std::vector<std::string> names;
        for (const auto& f : d.di().files)
            if (file.empty() || f->name == file)
                for (const auto& fn : f->funcs)
                    if (!fn->name.empty() && fn->name != ".") names.push_back(fn->name);
        return names;
    };
    index.firstline = [&d](const std::string& function, const std::string& file) -> uint32_t {
        FunctionRecord* f = findfunc(d.di(), function, file.empty() ? nullptr : file.c_str());
        return f && f->start ? f->start->line : 0;
    };
    return index;
}

}  // namespace

int shellmain(StartState& st) {
    int argc = 1;
    char name[] = "vek";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    int status = 1;
    {
        std::unique_ptr<shell::Splash> banner;
        if (st.options.banner) banner = shell::showsplash("Vek for PPC SIMULATION");
        shell::DebuggerCommands commands(*st.debugger);
        shell::FrameOptions options;
        options.normalshow = st.options.normalshow;
        shell::Shell screen(&commands, options);
        shell::MainWindow& frame = screen.frame();
        frame.programindex = programindex(*st.debugger);
        frame.show();
        if (!frame.isVisible() || !frame.windowHandle()) {
            std::fputs("vek: cannot open the main window\n", stderr);
            platform::setwindowhost(nullptr);
            return 1;
        }
        // the views, before the saved layout opens them; they go before the frame
        std::unique_ptr<shell::Views> views = shell::attachviews ? shell::attachviews(frame, *st.debugger) : nullptr;
        frame.startup();
        shell::LoadProgress progress(frame);
        st.session->loadreport.progress = &progress;
        {
            SessionWindows w = sessionwindows(frame);
            w.extenpath = [&frame] { return frame.config.extenpath; };
            usesessionfiles(*st.debugger, std::move(w));
        }
        shell::bindexports(frame);
        shell::amcload(frame, QCoreApplication::applicationDirPath().toStdString());
        // the program is loaded as the Load menu does (recent files, journal)
        st.load = [&frame](const std::string& file) { frame.dispatch(102, QString::fromStdString(file)); };
        runstart(st);
        st.load = nullptr;
        if (views) views->refresh();
        if (const char* shot = std::getenv("VEK_BANNERSHOT"); shot && *shot && banner)
            banner->grab().save(QString::fromLocal8Bit(shot));
        banner.reset();
        status = 0;
        if (const char* shot = std::getenv("VEK_SCREENSHOT"); shot && *shot) {
            // a picture of the main window once it is up, then the end
            QApplication::processEvents();
            if (!frame.grab().save(QString::fromLocal8Bit(shot))) {
                std::fprintf(stderr, "vek: cannot write %s\n", shot);
                status = 1;
            }
        } else if (!st.debugger->quitting && frame.isVisible()) {
            QApplication::exec();
        }
        closeextensions();   // while the frame they were given is there
        views.reset();
        frame.shutdown();
        st.session->loadreport.progress = nullptr;
        st.debugger->sessionio = nullptr;  // it holds the main window
        shell::unbindexports();
        shell::amcunload();
        if (status == 0) status = exitstatus(st);
    }
    st.debugger.reset();
    platform::setwindowhost(nullptr);
    return status;
}

}  // namespace vek
