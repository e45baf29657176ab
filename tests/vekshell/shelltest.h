// A fresh shell per test: its own settings folder, a command host that
// records what it is asked to run, and boxes answered without a screen.
#pragma once

#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "tests/scratch.h"
#include "vek/core/support/output.h"
#include "vek/shell/shell.h"

namespace vekshelltest {

struct Recorder : vek::shell::CommandHost {
    std::vector<std::string> lines;
    void docmd(const std::string& line) override { lines.push_back(line); }
};

class ShellTest : public testing::Test {
protected:
    qvtest::Scratch scratch{"vekshell"};
    Recorder recorder;
    std::unique_ptr<vek::shell::Shell> shell;
    std::vector<platform::BoxRequest> boxes;

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", scratch.dir().c_str(), 1);
        vek::resetoutput();
        vek::shell::responder() = {};
        vek::shell::responder().box = [this](const platform::BoxRequest& box) {
            boxes.push_back(box);
            return platform::BoxAnswer::Ok;
        };
    }
    void TearDown() override {
        shell.reset();
        vek::shell::responder() = {};
        vek::resetoutput();
    }
    // The settings file as the program would find it.
    std::string ini() const { return scratch.read("vek/VEKSPPC.INI"); }
    void writeini(const std::string& text) const { scratch.write("vek/VEKSPPC.INI", text); }

    vek::shell::MainWindow& start(vek::shell::CommandHost* commands = nullptr) {
        shell = std::make_unique<vek::shell::Shell>(commands ? commands : &recorder);
        vek::shell::MainWindow& frame = shell->frame();
        frame.show();
        frame.startup();
        QApplication::processEvents();
        return frame;
    }
    // Ends the run as the program does: close, then the exit writes.
    void stop() {
        shell->frame().close();
        shell->frame().shutdown();
        shell.reset();
    }
};

}  // namespace vekshelltest
