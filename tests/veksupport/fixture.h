// A window host that records what the debugger shows, and a fixture that
// starts every test from fresh debugger state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window.h"
#include "vek/command/point/point.h"
#include "vek/core/support/callbacks.h"
#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/core/support/symbols.h"
#include "vek/core/support/system.h"

struct RecordingHost : platform::WindowHost {
    std::vector<platform::BoxRequest> boxes;
    platform::BoxAnswer answer = platform::BoxAnswer::No;
    bool open = true;
    int opened = 0;
    std::string cmdtext;
    int beeps = 0;

    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        boxes.push_back(box);
        return answer;
    }
    bool cmdopen() override { return open; }
    void opencmd() override {
        ++opened;
        open = true;
    }
    void cmdappend(std::string_view text) override {
        if (open) cmdtext.append(text);
    }
    void beep() override { ++beeps; }
};

class VekTest : public ::testing::Test {
protected:
    RecordingHost host;

    void SetUp() override {
        platform::setwindowhost(&host);
        vek::resetoutput();
        vek::resetsymbols();
        vek::resetcallbacks();
        vek::resetpoints();
        vek::resetshell();
        vek::errorkeeping() = {};
    }
    void TearDown() override {
        vek::resetoutput();
        platform::setwindowhost(nullptr);
    }
};
