// The source windows offscreen: stops, clicks, keys, search and the path.
#include <QLineEdit>
#include <QPushButton>

#include "tests/vekshell/shelltest.h"
#include "vek/views/qt/sourcepane.h"

using namespace vek::views;

namespace {

class SourceWindows : public vekshelltest::ShellTest {
protected:
    scratch::Dir src;
    std::unique_ptr<SourceViews> views;

    vek::shell::MainWindow& open() {
        auto& frame = start();
        std::string text;
        for (int i = 1; i <= 40; ++i) text += i == 12 ? "    a = 1; b = 2;\n" : "int v" + std::to_string(i) + ";\n";
        std::ofstream(src.file("main.c")) << text;
        std::ofstream(src.file("other.c")) << "int x;\n";
        frame.config.path = src.path().string();
        views = std::make_unique<SourceViews>(frame);
        return frame;
    }
    void TearDown() override {
        views.reset();
        vekshelltest::ShellTest::TearDown();
    }
    // The centre of a cell of a pane (column 0 = the line number's first digit).
    static QPoint cell(SourcePane* p, int line, int column) {
        return QPoint(column * p->charwidth() + p->charwidth() / 2,
                      (line - 1 - p->scroll().firstline) * p->lineheight() + p->lineheight() / 2);
    }
};

TEST_F(SourceWindows, StopShowsTheLineAndClicksMakeCommands) {
    auto& frame = open();
    views->showlocation("main.c", 12, 1, 0);
    SourcePane* p = views->mainpane();
    ASSERT_TRUE(p->hastext());
    EXPECT_EQ(p->scroll().firstline, 9);   // line 12 three lines below the top
    EXPECT_EQ(p->numberwidth(), 3);
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 0));
    frame.heldletters.insert('W');
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 1));
    frame.heldletters.clear();
    QTest::mouseDClick(p, Qt::LeftButton, Qt::ControlModifier, cell(p, 12, 0));
    views->lineinfo = [](const std::string&, int line) {
        LineInfo li;
        if (line == 12) li.event = 4;
        li.hascode = line != 13;
        return li;
    };
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 0));
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, cell(p, 13, 0));   // no code: nothing
    EXPECT_EQ(frame.journal, (std::vector<std::string>{"break main.c:12", "watch main.c:12", "go main.c:12",
                                                        "break /s 4"}));
    // a drag over two lines
    uint32_t before = vek::outstate().errors;
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 5));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, cell(p, 14, 7));
    EXPECT_EQ(vek::outstate().errors, before + 1);
    // a selection in one line becomes the current selection
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 7));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, cell(p, 12, 7 + 4));
    EXPECT_EQ(p->lastselection, "a = 1");
    // keys
    frame.journal.clear();
    QTest::keyClick(p, 's');
    EXPECT_EQ(frame.journal, std::vector<std::string>{"step"});
    int beeps = frame.beeps;
    frame.setrunstate(true);
    QTest::keyClick(p, 's');
    frame.setrunstate(false);
    EXPECT_EQ(frame.beeps, beeps + 1);
    EXPECT_EQ(frame.journal.size(), 1u);
}

TEST_F(SourceWindows, StopsScrollOnlyNearAnEdgeAndReloadOtherFiles) {
    open();
    views->showlocation("main.c", 12, 0, 0);
    SourcePane* p = views->mainpane();
    int first = p->scroll().firstline;
    views->showlocation("main.c", 13, 0, 0);
    EXPECT_EQ(p->scroll().firstline, first);
    views->showlocation("other.c", 1, 0, 0);
    EXPECT_EQ(p->file(), "other.c");
    EXPECT_EQ(p->buffer().lines(), 1);
    uint32_t before = vek::outstate().errors;
    vek::CaptureBuffer& out = vek::outstate().ext;
    out.rewind();
    out.on = true;
    views->showlocation("gone.c", 1, 0, 0);
    views->showlocation("gone.c", 2, 0, 0);
    out.on = false;
    // once, as output: never a question, a box or a failed run
    EXPECT_EQ(std::string(out.text), "Can't open gone.c\n");
    EXPECT_EQ(vek::outstate().errors, before);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SourceWindows, BrowsersAreMadeOnceAndMissingFilesMakeNone) {
    auto& frame = open();
    SourcePane* b = views->opensrcwin("main.c", 30);
    ASSERT_TRUE(b);
    EXPECT_EQ(views->opensrcwin("main.c", 0), nullptr);   // activated instead
    vek::shell::responder().box = [this](const platform::BoxRequest& box) {
        boxes.push_back(box);
        return platform::BoxAnswer::No;
    };
    size_t windows = frame.mdi()->subWindowList().size();
    EXPECT_EQ(views->opensrcwin("missing.c", 0), nullptr);
    EXPECT_EQ(frame.mdi()->subWindowList().size(), windows);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can't Open missing.c\n Would you like to change the PATH ??");
}

TEST_F(SourceWindows, SearchAndAPaneClosedWithItsDialogOpen) {
    open();
    SourcePane* b = views->opensrcwin("main.c", 0);
    ASSERT_TRUE(b);
    b->find();
    QPointer<QDialog> dlg = b->searchdialog();
    ASSERT_TRUE(dlg);
    dlg->findChild<QLineEdit*>("find")->setText("b = 2");
    dlg->findChild<QPushButton*>("next")->click();
    ASSERT_TRUE(b->search()->matched());
    EXPECT_EQ(b->search()->line, 12);
    EXPECT_EQ(b->search()->first, 11);
    b->findnext();                       // no further match: kept
    EXPECT_EQ(b->search()->line, 12);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, " MATCH NOT FOUND ");
    b->cancelsearch();
    EXPECT_FALSE(b->search()->matched());
    SourcePane* c = views->openframe("other.c", 1);
    ASSERT_TRUE(c);
    c->find();
    QPointer<QDialog> other = c->searchdialog();
    delete vek::views::hostof(b);        // the pane goes with its dialog open
    QApplication::processEvents();
    EXPECT_FALSE(dlg);
    ASSERT_TRUE(other);
    other->findChild<QLineEdit*>("find")->setText("x");
    other->findChild<QPushButton*>("next")->click();
    EXPECT_EQ(c->search()->first, 4);
}

TEST_F(SourceWindows, ExecutionsColumnShowsCountsAndExplainsThem) {
    open();
    SourcePane* b = views->opensrcwin("main.c", 0);
    ASSERT_TRUE(b);
    views->lineinfo = [](const std::string&, int line) {
        LineInfo li;
        li.hits = line == 2 ? 26 : 0;
        li.cycles = 300;
        return li;
    };
    b->columns().coverage = Coverage::Executions;
    b->textchanged(0);
    EXPECT_EQ(b->prefixcols(), 3 + 6);
    EXPECT_EQ(extracell(b->columns(), true, 0, 26, 300), "0001a ");
    QTest::mouseDClick(b, Qt::LeftButton, Qt::NoModifier, cell(b, 2, 4));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "main.c:2 ");
    EXPECT_EQ(boxes[0].text, countmessage(26, 300));
}

TEST_F(SourceWindows, AClickTakesMembersIndexesAndPointersAsOneWord) {
    open();
    std::ofstream(src.file("w.c")) << "v = s.a[2] + p->q;\n";
    SourcePane* b = views->opensrcwin("w.c", 0);
    ASSERT_TRUE(b);
    const int text = b->prefixcols();
    std::vector<std::string> words;
    views->onword = [&](const std::string& expr, const std::string& word, QPoint, Qt::KeyboardModifiers) {
        EXPECT_EQ(expr, word);   // no debug information: the text itself
        words.push_back(word);
    };
    for (int column : {4, 9, 15, 16, 1}) QTest::mouseClick(b, Qt::RightButton, {}, cell(b, 1, text + column));
    EXPECT_EQ(words, (std::vector<std::string>{"s.a[2]", "s.a[2]", "p->q", "p->q"}));
    EXPECT_TRUE(views->selection.has);
    EXPECT_EQ(views->selection.text, "p->q");
}

TEST_F(SourceWindows, PathEditorRefusesWhatIsNoDirectory) {
    auto& frame = open();
    vek::shell::responder().dialog = [&](QDialog* d) {
        d->findChild<QLineEdit*>("dir")->setText(QString::fromStdString(src.file("main.c")));
        d->findChild<QPushButton*>("append")->click();
        d->findChild<QLineEdit*>("dir")->setText("/");
        d->findChild<QPushButton*>("append")->click();
        d->findChild<QPushButton*>("ok")->click();
    };
    EXPECT_TRUE(editpath(frame));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Not a directory");
    EXPECT_EQ(frame.config.path, src.path().string() + "|/");
}

}  // namespace
