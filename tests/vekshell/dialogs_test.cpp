// The dialogs' controls and the go-till dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>

#include "tests/vekshell/shelltest.h"
#include "vek/shell/controls.h"
#include "vek/shell/gotill.h"

namespace vekshelltest {
namespace {

using vek::shell::GoTillAnswer;

TEST_F(ShellTest, EditFieldsTakeOnlyTheirCharacters) {
    vek::shell::MainWindow& frame = start();
    vek::shell::FilterEdit num(vek::shell::EditKind::Num);
    int beeps = frame.beeps;
    QTest::keyClicks(&num, "12a3");
    EXPECT_EQ(num.text(), "123");
    EXPECT_EQ(frame.beeps, beeps + 1);
    QTest::keyClick(&num, Qt::Key_Backspace);
    EXPECT_EQ(num.text(), "12");
    EXPECT_EQ(frame.beeps, beeps + 1);

    vek::shell::FilterEdit hex(vek::shell::EditKind::Hex);
    QTest::keyClicks(&hex, "0x1F");
    EXPECT_EQ(hex.text(), "0x1F");
    QTest::keyClicks(&hex, "$?");
    EXPECT_EQ(hex.text(), "0x1F");
    EXPECT_TRUE(vek::shell::editaccepts(vek::shell::EditKind::Gen, '$'));
    EXPECT_TRUE(vek::shell::editaccepts(vek::shell::EditKind::Mask, '?'));
    EXPECT_FALSE(vek::shell::editaccepts(vek::shell::EditKind::Mask, '$'));

    vek::shell::ReadEdit read;
    read.setText("seen");
    EXPECT_EQ(read.focusPolicy(), Qt::NoFocus);
    QTest::keyClicks(&read, "x");
    EXPECT_EQ(read.text(), "seen");

    vek::shell::DisabledBox list;
    list.addItems({"a", "b"});
    list.resize(100, 100);
    list.show();
    beeps = frame.beeps;
    QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_EQ(frame.beeps, beeps + 1);
}

TEST(ShellDraw3d, SunkenIsDarkAtTopLeftAndWhiteAtBottomRight) {
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (bool sunken : {true, false}) {
        {
            QPainter p(&image);
            vek::shell::draw3d(p, QRect(5, 5, 10, 10), sunken);
        }
        QRgb dark = qRgb(0x60, 0x60, 0x60), white = qRgb(255, 255, 255);
        EXPECT_EQ(image.pixel(4, 10), sunken ? dark : white);
        EXPECT_EQ(image.pixel(10, 4), sunken ? dark : white);
        EXPECT_EQ(image.pixel(15, 10), sunken ? white : dark);
        EXPECT_EQ(image.pixel(10, 15), sunken ? white : dark);
    }
}

TEST(ShellGoTill, AnswersBecomeCommandLines) {
    vek::shell::ProgramIndex index;
    index.firstline = [](const std::string& f, const std::string&) { return f == "f" ? 7u : 0u; };
    struct Case {
        int id;
        GoTillAnswer a;
        std::string error, line;
    } cases[] = {
        {202, {"", "main", "12", "", ""}, "", "go main():12"},
        {202, {"", "", "12", "", ""}, "", "go :12"},
        {202, {"main.c", "", "12", "", ""}, "", "go main.c:12"},
        {202, {"", "main", "", "0x100", ""}, "Conflicting Specification", ""},
        {202, {"", "", "", "12z", ""}, "Wrong Address Specification", ""},
        {202, {"", "", "", "0x100", ""}, "", "go @0x100"},
        {202, {}, "Missing Specification", ""},
        {206, {"", "", "", "", "5"}, "", "step 5"},
        {206, {"", "", "", "", "5", true}, "", "istep 5"},
        {212, {"", "f", "", "", ""}, "", "go f():7"},
        {212, {"", "g", "", "", ""}, "", "go g():"},
        {213, {"a.c", "f", "", "", "", true}, "", "istep f():7"},
        {213, {"a.c", "", "", "", ""}, "Missing Specification", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vek::shell::gotillcheck(c.id, c.a), c.error) << c.line;
        if (c.error.empty()) {
            EXPECT_EQ(vek::shell::gotillcommand(c.id, c.a, index), c.line);
        }
    }
}

TEST_F(ShellTest, GoTillSendsItsLineAndAConflictKeepsTheDialog) {
    vek::shell::MainWindow& frame = start();
    frame.programindex.files = [] { return std::vector<std::string>{"a.c", "b.c"}; };
    frame.programindex.functions = [](const std::string& file) {
        return file == "b.c" ? std::vector<std::string>{"g"} : std::vector<std::string>{"f", "g", "main"};
    };
    int shown = 0;
    vek::shell::responder().dialog = [&](QDialog* d) {
        auto* dialog = dynamic_cast<vek::shell::GoTillDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        ++shown;
        EXPECT_EQ(dialog->windowTitle(), "Go Editor");
        EXPECT_EQ(dialog->functionbox()->count(), 3);
        dialog->filebox()->setCurrentIndex(2);
        Q_EMIT dialog->filebox()->activated(2);
        EXPECT_EQ(dialog->functionbox()->count(), 1);
        dialog->functionbox()->setEditText("main");
        QTest::keyClicks(dialog->addressfield(), "100");
        dialog->ok();
        EXPECT_TRUE(dialog->isVisible());
        // typing a line empties the address
        QTest::keyClicks(dialog->linefield(), "12");
        EXPECT_TRUE(dialog->addressfield()->text().isEmpty());
        dialog->filebox()->setEditText("");
        dialog->ok();
    };
    frame.dispatch(202);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Conflicting Specification");
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"go main():12"}));

    // Cancel sends nothing; while running the menu beeps
    vek::shell::responder().dialog = [](QDialog* d) { d->reject(); };
    frame.dispatch(206);
    EXPECT_EQ(recorder.lines.size(), 1u);
    frame.setrunstate(true);
    int beeps = frame.beeps;
    frame.dispatch(202);
    EXPECT_EQ(frame.beeps, beeps + 1);
    frame.setrunstate(false);
}

}  // namespace
}  // namespace vekshelltest

namespace vekshelltest {
namespace {

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xffffff; }

TEST(ShellFrames3d, GroupAndTextDrawTheirFrames) {
    vek::shell::Group3D group("&Options");
    group.resize(160, 80);
    QImage image = group.grab().toImage();
    const int th = QFontMetrics(group.font()).height();
    EXPECT_EQ(at(image, 0, 40), 0x606060u);    // the sunken frame round it: dark left
    EXPECT_EQ(at(image, 159, 40), 0xffffffu);  // white right
    EXPECT_EQ(at(image, 3, 4), 0xffffffu);     // the title strip, raised: white left
    EXPECT_EQ(at(image, 156, 4), 0x606060u);   // dark right
    EXPECT_EQ(at(image, 3, th + 12), 0xffffffu);  // the body, raised

    vek::shell::Text3D text("Size");
    text.resize(100, 30);
    image = text.grab().toImage();
    const QRect r = text.textextent();
    EXPECT_EQ(at(image, r.left() - 1, r.top() + 2), 0xffffffu);
    EXPECT_EQ(at(image, r.right() + 1, r.top() + 2), 0x606060u);
}

}  // namespace
}  // namespace vekshelltest
