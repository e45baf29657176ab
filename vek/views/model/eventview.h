// The events browser's lines, the event list file, and the command lines
// that the event editor dialogs and the event popups build for `docmd`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vek {
struct EventRecord;
struct Debugger;
}

namespace vek::views {

// One browser line: a state byte (0x0F active, 0x0E suspended) and the
// event's fields, ended by a line feed.
std::string eventbrowserline(const EventRecord& e);
// The browser's text: one line per user event, in number order.
std::string eventbrowsertext(const Debugger& d);
// The user events in browser order (a click's line index picks one).
std::vector<const EventRecord*> userevents(const Debugger& d);
// The *.bkp file: the browser lines without markup.
std::string eventlistfile(const std::string& browsertext);

// Popup commands on a chosen event.
std::string onoffcommand(const EventRecord& e);     // 801
std::string deletecommand(const EventRecord& e);    // 802

// The code event dialog's fields.
struct CodeEventFields {
    bool watch = false;
    std::string function, file, address, count, start, end, action;
    bool suspended = false;
};
// The command the dialog runs, or an error text for its "Error" box (the
// returned bool says which). Symbol names are asked through issymbol.
bool buildcodeevent(const CodeEventFields& f, bool (*issymbol)(const std::string&, void*), void* ctx,
                    std::string& out);

// The data event dialog's command for a variable; kind is the access
// letter (A, R or W): an edit keeps the event's own.
std::string builddataevent(bool watch, char kind, const std::string& count, const std::string& variable,
                           const std::string& action);

// An edit of event `number`: the old event goes, the command runs (user 1);
// when it makes no event, the old one is made again from its command line
// with its number and state. A new event is suspended, when asked, with
// suspendword ("break" or "dbreak") " /s " and its number. True when the
// command made the event. run runs one command line for a user flag.
bool replaceevent(Debugger& d, int number, const std::string& command, bool suspended, const char* suspendword,
                  const std::function<void(const std::string&, int)>& run);

// Longest command line an editor may run.
constexpr size_t MaxEventCommand = 1023;

}  // namespace vek::views
