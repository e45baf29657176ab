// The fixture program loaded for expression tests, the debugger state bound
// to it with fake call frames, and a tiny command table (x / eval) so tests
// run command lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "fxobject.h"
#include "platform/window.h"
#include "vek/command/expr/expr.h"
#include "vek/core/session/session.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/target/registers.h"

// Records what the debugger shows in the Command window and its boxes.
struct ShowHost : platform::WindowHost {
    std::string text;
    std::string boxes;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        boxes += box.text;
        boxes += "\n";
        return platform::BoxAnswer::Ok;
    }
    bool cmdopen() override { return true; }
    void opencmd() override {}
    void cmdappend(std::string_view t) override { text.append(t); }
    void beep() override {}
};

// Fake call frames: innermost first, per core.
struct Frames {
    std::vector<vek::FrameView> list[2];
    int cur[2] = {-1, -1};

    vek::FrameAccess access() {
        return {[this](int c) { return int(list[c & 1].size()); },
                [this](int c, int i) { return list[c & 1][size_t(i)]; },
                [this](int c) { return cur[c & 1]; },
                [this](int c, int i) { cur[c & 1] = i; }};
    }
};

// Every test starts from a fresh debugger with the program loaded, stopped
// in g (called from f, called from main), output as a command file has it.
class ExprFixture : public ::testing::Test {
protected:
    static inline std::string objpath;
    ShowHost host;
    std::unique_ptr<vek::Session> session;
    Frames frames;
    int stopafter = -1;   // dispatches before the stop request, -1 never
    int dispatched = 0;

    static void SetUpTestSuite() {
        objpath = ::testing::TempDir() + "vekexpr_" + std::to_string(getpid()) + ".o";
        fixture::writefile(objpath, fx::object());
    }
    static void TearDownTestSuite() { std::remove(objpath.c_str()); }

    void SetUp() override {
        platform::setwindowhost(&host);
        vek::resetoutput();
        vek::resetcallbacks();
        session = vek::freshsession();
        ASSERT_TRUE(vek::loadprogram(session->loadenv, objpath, nullptr, true, false).ok) << host.text;
        ASSERT_FALSE(session->prog.debug.files.empty()) << host.text << host.boxes;
        host.text.clear();
        vek::resetexpr();
        vek::bindexpr(*session);
        vek::outstate().cmdfile = true;
        const vek::DebugInfo& di = session->prog.debug;
        auto fn = [&](const char* name) { return vek::findfunc(di, name, nullptr); };
        frames.list[0] = {{fn("g"), nullptr, 22, true, fx::GBase},
                          {fn("f"), nullptr, 12, true, fx::FBase},
                          {fn("main"), nullptr, 2, true, fx::MainBase}};
        frames.cur[0] = 0;
        vek::ExprEnv& env = vek::exprenv();
        env.frames = frames.access();
        env.hooks.dispatch = [this](const char* text, int user) { return dispatch(text, user); };
        env.hooks.stoprequested = [this] { return stopafter >= 0 && dispatched >= stopafter; };
        // Locals: g's i = 20, j = 7, r (r3) = 33; f's i = 10, a = 3; main's k = 1.
        put(fx::GBase - 4, 20);
        put(fx::GBase - 8, 7);
        session->target.regs.setreg(vek::RegR0 + 3, 33);
        put(fx::FBase - 4, 10);
        put(fx::FBase + 8, 3);
        put(fx::MainBase - 4, 1);
        put(fx::MainBase - 8, 5);
        put(fx::MainBase - 12, fx::PT);
    }
    void TearDown() override {
        vek::resetexpr();
        session.reset();
        vek::resetoutput();
        platform::setwindowhost(nullptr);
    }

    void put(uint32_t a, uint32_t v) { session->target.mem.putlong(a, v); }
    uint32_t get(uint32_t a) { return session->target.mem.getlong(a); }

    // The command table of these tests: x and eval.
    const char* dispatch(const char* text, int user) {
        ++dispatched;
        size_t n = 0;
        while (std::isalpha(static_cast<unsigned char>(text[n]))) ++n;
        std::string word(text, n);
        bool delim = !text[n] || static_cast<unsigned char>(text[n]) <= ' ' || text[n] == ';';
        if (delim && (word == "x" || word == "eval")) return vek::evalcmd(text + n, user);
        vek::puterror({vek::msgtext(11), ": ", text, "\n"});
        return "";
    }

    // Runs a command line; returns what it printed.
    std::string run(const std::string& line) {
        host.text.clear();
        vek::execline(line.c_str(), 1);
        return host.text;
    }
};

// A command line and what it prints: the cases of one parameterised test
// (in statements_test.cpp) that other files instantiate with their tables.
struct LineCase {
    const char* line;
    const char* output;
};
class Lines : public ExprFixture, public ::testing::WithParamInterface<LineCase> {};
