// Search, source window logic and the event editors' commands.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "vek/command/control/control.h"
#include "vek/core/session/session.h"
#include "vek/views/model/eventview.h"
#include "vek/views/model/search.h"
#include "vek/views/model/srcview.h"

using namespace vek::views;

namespace {
SearchLines lines(const std::vector<std::string>& v) {
    return SearchLines{int(v.size()), [v](int n) { return v[size_t(n - 1)]; }};
}
}  // namespace

TEST(Search, DownUpAndNoWrap) {
    auto l = lines({"xxab ab", "none", "ab"});
    SearchRecord r;
    r.hastext = true, r.text = "ab";
    ASSERT_TRUE(searchnext(r, l));
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.first, 2);
    EXPECT_EQ(r.end, 4);
    r.dir = SearchDir::Up;
    EXPECT_FALSE(searchnext(r, l));   // nothing before column 2
    EXPECT_EQ(r.first, 2);
    r.dir = SearchDir::Down;
    ASSERT_TRUE(searchnext(r, l));
    EXPECT_EQ(r.first, 5);
    ASSERT_TRUE(searchnext(r, l));
    EXPECT_EQ(r.line, 3);
    EXPECT_FALSE(searchnext(r, l));   // past the last match: kept
    EXPECT_EQ(r.line, 3);
    r.dir = SearchDir::Up;
    ASSERT_TRUE(searchnext(r, l));
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.first, 5);
    r.cancel();
    EXPECT_FALSE(searchnext(r, l));   // up with no match
    r.dir = SearchDir::Down;
    ASSERT_TRUE(searchnext(r, l));
    EXPECT_EQ(r.first, 2);
    SearchRecord none;
    EXPECT_FALSE(searchnext(none, l));
}

TEST(SourceView, ColumnsAndStatements) {
    SourceColumns c;
    c.coverage = Coverage::Executions;
    EXPECT_EQ(extracell(c, true, 0, 26, 0), "0001a ");
    EXPECT_EQ(extracell(c, false, 0, 26, 0), "      ");
    c.coverage = Coverage::None, c.address = true;
    EXPECT_EQ(extracell(c, true, 0x1000, 0, 0), "00001000 ");
    EXPECT_EQ(digits(9) + 1, digits(10));
    int f, t;
    ASSERT_TRUE(statementrange("a=1; b=2; c=3;", 1, 0, f, t));
    EXPECT_EQ(f, 4);
    EXPECT_EQ(t, 8);
    ASSERT_TRUE(statementrange("x = y;", 0, 0, f, t));
    EXPECT_EQ(f, 0);
    EXPECT_EQ(t, 5);
    ASSERT_TRUE(statementrange("x = y + z;", 4, 1024, f, t));
    EXPECT_EQ(t, 9);
    EXPECT_EQ(countmessage(26, 300), "\x01\x02" "26\x01\x01 Execution(s) \x01\x03" "300\x01\x01 Cycle(s)");
}

TEST(SourceView, ClicksAndKeysMakeCommands) {
    EXPECT_EQ(numberclick("main.c", 12, {}, 0, false), "break main.c:12");
    EXPECT_EQ(numberclick("main.c", 12, {false, false, true}, 0, false), "watch main.c:12");
    EXPECT_EQ(numberclick("main.c", 12, {false, true, false}, 0, false), "go main.c:12");
    EXPECT_EQ(numberclick("main.c", 12, {}, 3, true), "break /s 3");
    EXPECT_EQ(numberclick("main.c", 12, {}, 3, false), "break /a 3");
    EXPECT_EQ(keycommand('s', false), "step");
    EXPECT_EQ(keycommand('s', true), "\a");
    EXPECT_EQ(keycommand('G', true), "go");
    EXPECT_EQ(keycommand('w', false), "");
    EXPECT_EQ(keycommand('z', false), "\a");
    EXPECT_EQ(selectionexpr("i", "main", true, "m.c", true, false), "main():i");
    EXPECT_EQ(selectionexpr("g", "main", false, "m.c", true, false), "m.c:g");
    EXPECT_EQ(selectionexpr("g", "main", false, "m.c", true, true), "g");
}

TEST(EventEditor, ChecksAndCommands) {
    auto sym = [](const std::string& s, void*) { return s == "start"; };
    struct Case { CodeEventFields f; std::string out; bool ok; };
    auto F = [](auto mod) { CodeEventFields f; mod(f); return f; };
    Case cases[] = {
        {F([](auto& f) { f.function = "main"; f.start = "10"; f.end = "20"; }), "break main():10:20 {}", true},
        {F([](auto& f) { f.address = "0x1000"; f.count = "3"; }), "break /C:3 @0x1000 {}", true},
        {F([](auto& f) { f.file = "main.c"; f.watch = true; }), "watch main.c: {}", true},
        {F([](auto& f) { f.address = "start"; f.action = "go"; }), "break  start {go}", true},
        {F([](auto& f) { f.address = "12ab"; }), "Incorrect Address Specification", false},
        {F([](auto&) {}), "Missing Specification", false},
        {F([](auto& f) { f.address = "1"; f.file = "m.c"; }), "Illegal Address AND File/Func Specification", false},
        {F([](auto& f) { f.address = "1"; f.end = "3"; }), "Illegal Address AND Start/End Specification", false},
        {F([](auto& f) { f.file = "m.c"; f.end = "3"; }), "Missing START specification", false},
        {F([](auto& f) { f.file = "*.*"; f.start = "3"; }), "Missing Specification", false},
        {F([](auto& f) { f.file = "m.c"; f.action = std::string(1100, 'x'); }), "Command too long", false},
    };
    for (auto& c : cases) {
        std::string out;
        EXPECT_EQ(buildcodeevent(c.f, +sym, nullptr, out), c.ok) << c.out;
        EXPECT_EQ(out, c.out);
    }
    EXPECT_EQ(builddataevent(false, 'W', "2", "g", ""), "dbreak /T:W /C:2 g {}");
}

TEST(EventBrowser, LinesAndListFile) {
    vek::EventRecord a, t;
    a.number = 1, a.kind = 'a', a.address = 0x1000, a.count = 2, a.countdown = 1;
    vek::FileRecord file;
    file.name = "main.c";
    t.number = 2, t.kind = 't', t.file = &file, t.first = 10, t.last = 12, t.enabled = false, t.watch = true;
    t.body = "go";
    std::string text = eventbrowserline(a) + eventbrowserline(t);
    EXPECT_EQ(text, "\x0F(1)  B at Absolute address: 0x1000  {} (user) (count = 2, left = 1) (on) \n"
                    "\x0E(2)  W  main.c:10:12  {go} (user) (count = 1, left = 1) (off)\n");
    std::ifstream in(std::string(VEKVIEWS_GOLDEN) + "/events.bkp", std::ios::binary);
    std::stringstream want;
    want << in.rdbuf();
    EXPECT_EQ(eventlistfile(text), want.str());
}

TEST(EventEditor, RejectedEditKeepsTheOldEvent) {
    vek::resetoutput();
    auto session = vek::freshsession();
    vek::Debugger d(*session);
    d.quiet = true;
    auto run = [&](const std::string& line, int user) { d.docmd(line.c_str(), user); };
    run("break @0x1000 {}", 1);
    run("break @0x1004 {}", 1);
    run("break /s 1", 1);
    ASSERT_TRUE(d.findnumber(1));
    ASSERT_FALSE(d.findnumber(1)->enabled);
    EXPECT_FALSE(replaceevent(d, 1, "break nosuchsymbol {}", false, "break", run));
    vek::EventRecord* e = d.findnumber(1);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->address, 0x1000u);
    EXPECT_FALSE(e->enabled);
    EXPECT_EQ(d.events.front().get(), e);
    // a good edit replaces it and suspends the new one when asked
    EXPECT_TRUE(replaceevent(d, 2, "break @0x1008 {}", true, "break", run));
    EXPECT_FALSE(d.findnumber(2) && d.findnumber(2)->address == 0x1004);
    vek::EventRecord* made = d.findnumber(d.lastevent);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->address, 0x1008u);
    EXPECT_FALSE(made->enabled);
    vek::resetoutput();
}
