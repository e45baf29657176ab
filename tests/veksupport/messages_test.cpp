#include <string>

#include "fixture.h"

namespace {

class Messages : public VekTest {};

TEST_F(Messages, TextsAndGaps) {
    struct {
        int32_t id;
        const char* text;
    } cases[] = {
        {11, "unknown command"},         {50, " **** Err 50 ****"},
        {47, " **** Err 47 ****"},       {48, " **** Err 48 ****"},
        {0, " **** Err 0 ****"},         {100, " **** Err 100 ****"},
        {-1, " **** Err 4294967295 ****"}, {56, "unkown field"},
        {80, "Set up the emulator and strike \\ when ready"}, {99, " illegal term "},
    };
    for (const auto& c : cases) EXPECT_STREQ(vek::msgtext(c.id), c.text) << "id " << c.id;
}

TEST_F(Messages, EveryIdFrom1To99HasTextExceptTheGaps) {
    for (int32_t id = 1; id <= 99; ++id) {
        bool gap = id == 47 || id == 48 || id == 50;
        EXPECT_EQ(std::string(vek::msgtext(id)).rfind(" **** Err ", 0) == 0, gap) << "id " << id;
    }
}

TEST_F(Messages, ErrmsgReachesPuterror) {
    vek::outstate().cmdfile = true;
    EXPECT_EQ(vek::errmsg(11), 1);
    EXPECT_EQ(host.cmdtext, "#error: unknown command\n");
    EXPECT_TRUE(host.boxes.empty());

    vek::outstate().cmdfile = false;
    vek::errmsg(13);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Error");
    EXPECT_EQ(host.boxes[0].text, "syntax error");
    EXPECT_EQ(host.boxes[0].icon, platform::BoxIcon::Warning);
    EXPECT_TRUE(host.boxes[0].foreground);
}

TEST_F(Messages, BoxesJoinPiecesWithCaptionAndButtons) {
    vek::warningbox({"a", "b"});
    vek::infobox({"c"});
    vek::errorboxw(&host, {"d", "e"});
    host.answer = platform::BoxAnswer::Yes;
    EXPECT_EQ(vek::askerrorbox({"Can't Open ", "f.c", "\n Would you like to change the PATH ??"}), 1);
    host.answer = platform::BoxAnswer::No;
    EXPECT_EQ(vek::askerrorbox({"x"}), 0);
    ASSERT_EQ(host.boxes.size(), 5u);
    EXPECT_EQ(host.boxes[0].caption, "Warning");
    EXPECT_EQ(host.boxes[0].text, "ab");
    EXPECT_EQ(host.boxes[1].caption, "Info");
    EXPECT_EQ(host.boxes[1].icon, platform::BoxIcon::Information);
    EXPECT_EQ(host.boxes[2].owner, &host);
    EXPECT_FALSE(host.boxes[2].foreground);
    EXPECT_EQ(host.boxes[3].buttons, platform::BoxButtons::YesNo);
    EXPECT_EQ(host.boxes[3].text, "Can't Open f.c\n Would you like to change the PATH ??");
}

TEST_F(Messages, JoinedTextIsBounded) {
    std::string huge(40000, 'x');
    vek::infobox({huge, "tail"});
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text.size(), 32767u);
}

TEST_F(Messages, ErrorboxKeptWhileAnExtensionCaptures) {
    vek::errorkeeping().capturing = true;
    vek::errorbox({"first"});
    vek::errorbox({"second ", "error"});
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_TRUE(vek::errorkeeping().kept);
    EXPECT_EQ(vek::errorkeeping().text, "second error");
    vek::errorboxw(nullptr, {"owned"});  // never kept
    EXPECT_EQ(host.boxes.size(), 1u);
}

TEST_F(Messages, MyMultMessShowAnswers) {
    host.answer = platform::BoxAnswer::Ok;
    EXPECT_EQ(vek::MyMultMessShow(nullptr, 1, 1, "Cap", {}), 0);
    host.answer = platform::BoxAnswer::More;
    EXPECT_EQ(vek::MyMultMessShow(nullptr, 0, 1, "Cap", {"t"}), 1);
    host.answer = platform::BoxAnswer::Closed;
    EXPECT_EQ(vek::MyMultMessShow(nullptr, 0, 0, nullptr, {"t"}), 1);
    ASSERT_EQ(host.boxes.size(), 3u);
    EXPECT_EQ(host.boxes[0].text, "");
    EXPECT_EQ(host.boxes[0].caption, "Cap");
    EXPECT_EQ(host.boxes[0].buttons, platform::BoxButtons::OkMore);
    EXPECT_EQ(host.boxes[0].icon, platform::BoxIcon::Information);
}

TEST_F(Messages, BoxTextColoursAndHiddenTags) {
    std::string text = "a\x01\x05" "bc\n\x01\x19" "d\x13" "Xe\x01";
    auto lines = vek::mboxlines(text);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].runs.size(), 2u);
    EXPECT_EQ(lines[0].runs[0].text, "a");
    EXPECT_EQ(lines[0].runs[1].colour, 5);
    EXPECT_EQ(lines[0].runs[1].text, "bc");
    ASSERT_EQ(lines[1].runs.size(), 1u);
    EXPECT_EQ(lines[1].runs[0].colour, 1);  // index 25 paints in entry 1
    EXPECT_EQ(lines[1].runs[0].text, "de");  // the tag byte and the byte after it are hidden
}

TEST_F(Messages, BoxGeometry) {
    vek::BoxMetrics m;  // 8-pixel characters, 16-pixel lines, border 4
    // Widest line 30 characters (markup takes no room), two line feeds.
    std::string text = std::string(10, 'a') + "\n\x01\x03" + std::string(30, 'b') + "\n\x14" "Xc";
    vek::BoxLayout one = vek::mboxlayout(text, 0, 0, m);
    EXPECT_EQ(one.width, 30 * 8 + 2 * 4 + 40);
    EXPECT_EQ(one.height, 100 + 2 * 16);
    EXPECT_EQ(one.buttondrop, 32);
    EXPECT_EQ(one.button500x, (288 - 75) / 2 - 5);
    EXPECT_EQ(one.button502x, -1);
    vek::BoxLayout two = vek::mboxlayout(text, 1, 1, m);
    EXPECT_EQ(two.width, 288 + 32 + 20);
    EXPECT_EQ(two.button500x, (340 - 150) / 3 - 5);
    EXPECT_EQ(two.button502x, (340 - 150) / 6 + 170 - 5);
    vek::BoxLayout narrow = vek::mboxlayout("", 0, 0, m);  // never below the template
    EXPECT_EQ(narrow.width, 200);
    EXPECT_EQ(narrow.height, 100);
}

TEST_F(Messages, BeepGoesToTheHost) {
    vek::beep();
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(Messages, HeadlessHostPrintsBoxesAndAnswersNo) {
    platform::setwindowhost(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(vek::askerrorbox({"Can't Open ", "f.c"}), 0);
    vek::infobox({"done\n"});
    EXPECT_EQ(vek::MyMultMessShow(nullptr, 0, 1, "Cap", {"t"}), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Can't Open f.c\nInfo: done\nCap: t\n");
    testing::internal::CaptureStdout();
    vek::writeout("to the Command window");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to the Command window");
}

TEST(LinkedBlock, AllocZeroedWithLinkAndFreeReturnsValue) {
    int marker = 0;
    auto* block = static_cast<void**>(vek::allocnode(32, &marker));
    EXPECT_EQ(block[0], &marker);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(block[i], nullptr);
    EXPECT_EQ(vek::freenode(block, &marker), &marker);
    EXPECT_EQ(vek::freenode(nullptr, &marker), &marker);
}

}  // namespace
