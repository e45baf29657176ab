// The symbol dialog and the code event editor offscreen.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "tests/vekshell/shelltest.h"
#include "vek/views/qt/eventdialogs.h"

using namespace vek::views;

namespace {

class Dialogs : public vekshelltest::ShellTest {};

TEST_F(Dialogs, NonSymbolEmptiesTheValueAndSelectBeeps) {
    auto& frame = start();
    auto lookup = [](const std::string& n) -> std::optional<uint32_t> {
        if (n == "main") return 0x1000;
        return std::nullopt;
    };
    SymbolDialog dlg(frame, {"main", ".time"}, lookup, true);
    EXPECT_EQ(dlg.names()->count(), 1);
    EXPECT_EQ(dlg.value()->text(), "0x1000");
    dlg.names()->setEditText("nosuch");
    EXPECT_EQ(dlg.value()->text(), "");
    int beeps = frame.beeps;
    dlg.choose();
    EXPECT_EQ(frame.beeps, beeps + 1);
}

TEST_F(Dialogs, CodeEventEditorChecksAndRuns) {
    auto& frame = start();
    CodeEventDialog dlg(frame, nullptr);
    dlg.address->setText("12ab");
    dlg.ok();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "Incorrect Address Specification");
    EXPECT_TRUE(frame.journal.empty());
    dlg.address->clear();
    dlg.function->setText("main");
    dlg.start->setText("10");
    dlg.end->setText("20");
    dlg.ok();
    EXPECT_EQ(frame.journal, std::vector<std::string>{"break main():10:20 {}"});
    EXPECT_EQ(dlg.result(), 1);
}

}  // namespace
