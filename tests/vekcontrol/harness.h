// A debugger on a fresh session with its output captured, and the test
// program (loop.s) assembled once per test process.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "platform/window.h"
#include "scratch.h"
#include "vek/command/control/control.h"
#include "vek/core/support/output.h"

namespace vektest {

struct Capture : platform::WindowHost {
    std::string out, err;
    void cmdappend(std::string_view text) override { out += text; }
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        err += box.caption + ": " + box.text;
        if (err.back() != '\n') err += '\n';
        return platform::BoxAnswer::Ok;
    }
};

// The object file of loop.s ("" when the assembler failed).
inline const std::string& program() {
    static std::string path = [] {
        std::string obj = scratch::processdir().file("loop.o");
        std::string cmd = std::string(CAPPC_PATH) + " -a -o " + obj + " " + LOOP_SOURCE + " >/dev/null";
        return std::system(cmd.c_str()) == 0 ? obj : std::string();
    }();
    return path;
}

struct Vek {
    Capture host;
    std::unique_ptr<vek::Session> s;
    std::unique_ptr<vek::Debugger> d;

    explicit Vek(bool load = true) {
        vek::resetoutput();
        platform::setwindowhost(&host);
        s = vek::freshsession();
        d = std::make_unique<vek::Debugger>(*s);
        d->quiet = true;
        if (load) {
            EXPECT_FALSE(program().empty());
            run("load " + program());
            host.out.clear();
        }
    }
    ~Vek() {
        d.reset();
        s.reset();
        platform::setwindowhost(nullptr);
    }
    // Each line as the Command window's edit line runs it.
    void run(const std::string& lines) {
        std::istringstream in(lines);
        std::string line;
        while (std::getline(in, line)) d->doblock(line.c_str(), 1);
    }
    uint32_t pc() { return s->target.regs.getpc(); }
    uint32_t reg(unsigned n) { return s->target.regs.core0()[n]; }
    // "function:line" of the innermost frame, "-" without one.
    std::string where() {
        vek::CallFrame* f = d->innermost();
        return f ? f->func->name + ":" + std::to_string(f->line) : "-";
    }
    int depth() { return int(d->frames.size()); }
    uint32_t symbol(const std::string& name) { return s->symbolport.findsym(name).value_or(0); }
};

}  // namespace vektest
