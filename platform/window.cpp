// The headless window host: boxes and Command-window text as plain streams.
#include "platform/window.h"

#include <cstdio>

namespace platform {

BoxAnswer WindowHost::messagebox(const BoxRequest& box) {
    std::string line = box.caption + ": " + box.text;
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    switch (box.buttons) {
    case BoxButtons::Ok: return BoxAnswer::Ok;
    case BoxButtons::YesNo: return BoxAnswer::No;
    case BoxButtons::OkMore: return BoxAnswer::Closed;
    }
    return BoxAnswer::Closed;
}

bool WindowHost::cmdopen() { return true; }
void WindowHost::opencmd() {}

void WindowHost::cmdappend(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void WindowHost::setstatus(int part, std::string_view text) {
    if (part >= 0 && part < static_cast<int>(status.size())) status[part] = std::string(text);
}

void WindowHost::setcursor(Cursor c) { cursor = c; }
void WindowHost::beep() {}
void WindowHost::closemain() { ++closerequests; }

namespace {
WindowHost headless;
WindowHost* current = &headless;
}  // namespace

WindowHost& windowhost() { return *current; }
void setwindowhost(WindowHost* host) { current = host ? host : &headless; }

}  // namespace platform
