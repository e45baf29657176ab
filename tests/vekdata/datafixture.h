// The debugger with the expression tests' fixture program loaded in a
// private directory (fx.o beside a source fx.c), the data commands
// installed, and frames main -> f -> g; command lines run as a command
// file runs them, and what the Command window shows is returned.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "fxobject.h"
#include "platform/window.h"
#include "scratch.h"
#include "vek/command/data/data.h"
#include "vek/command/expr/expr.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"

struct DataHost : platform::WindowHost {
    std::string text, boxes;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        boxes += box.caption + ": " + box.text + "\n";
        return platform::BoxAnswer::Ok;
    }
    bool cmdopen() override { return true; }
    void opencmd() override {}
    void cmdappend(std::string_view t) override { text.append(t); }
    void beep() override {}
};

// The source of fx.c: 30 numbered lines.
inline std::string fxsource() {
    std::string s;
    for (int n = 1; n <= 30; ++n) s += "/* line " + std::to_string(n) + " */\n";
    return s;
}

class DataFixture : public ::testing::Test {
protected:
    DataHost host;
    std::unique_ptr<qvtest::Scratch> dir;
    std::unique_ptr<vek::Session> session;
    std::unique_ptr<vek::Debugger> d;
    std::deque<std::string> input;   // lines the line-language input returns

    void SetUp() override {
        dir = std::make_unique<qvtest::Scratch>("vekdata");
        const std::vector<uint8_t> obj = fx::object();
        dir->write("fx.o", std::string(obj.begin(), obj.end()));
        dir->write("fx.c", fxsource());
        platform::setwindowhost(&host);
        vek::resetoutput();
        vek::resetcallbacks();
        vek::resetexpr();
        vek::resetdata();
        session = vek::freshsession();
        d = std::make_unique<vek::Debugger>(*session);
        vek::adddatacommands();
        vek::datastate().input = [this](std::string& line) {
            if (input.empty()) return false;
            line = input.front();
            input.pop_front();
            return true;
        };
        ASSERT_TRUE(d->loadprogram("fx.o", nullptr, true, false)) << host.text << host.boxes;
        vek::outstate().cmdfile = true;
        auto fn = [&](const char* name) { return vek::findfunc(d->di(), name, nullptr); };
        // Innermost last: g called from f called from main.
        d->frames.clear();
        d->frames.push_back(frame(fn("main"), 2, fx::MainBase));
        d->frames.push_back(frame(fn("f"), 12, fx::FBase));
        d->frames.push_back(frame(fn("g"), 22, fx::GBase));
        d->current = 2;
        session->target.mem.putlong(fx::FBase + 8, 3);   // f's argument a
        host.text.clear();
    }
    void TearDown() override {
        vek::resetdata();
        d.reset();
        vek::resetexpr();
        session.reset();
        vek::resetoutput();
        platform::setwindowhost(nullptr);
        dir.reset();
    }

    static vek::CallFrame frame(vek::FunctionRecord* f, uint32_t line, uint32_t base) {
        vek::CallFrame c;
        c.func = f;
        c.line = line;
        c.setup = true;
        c.base = base;
        return c;
    }

    // Runs command lines as a command file does; returns what was shown.
    std::string run(const std::string& lines) {
        host.text.clear();
        size_t at = 0;
        while (at <= lines.size()) {
            size_t nl = lines.find('\n', at);
            if (nl == std::string::npos) nl = lines.size();
            const std::string line = lines.substr(at, nl - at);
            if (!line.empty()) d->docmd(line.c_str(), 1);
            at = nl + 1;
        }
        return host.text;
    }

    uint32_t getlong(uint32_t a) { return session->target.mem.getlong(a); }
    uint8_t getbyte(uint32_t a) { return session->target.mem.getbyte(a); }
};
