// Printing text lines to a PDF file.
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

#include "tests/vekshell/shelltest.h"
#include "vek/shell/printing.h"

namespace vekshelltest {
namespace {

struct Lines {
    int count = 0, given = 0;
    const char* text = "line\r\n";
};

const char* nextline(int first, void* arg, void*) {
    auto* l = static_cast<Lines*>(arg);
    if (first) l->given = 0;
    return l->given++ < l->count ? l->text : nullptr;
}

int pages(const std::string& pdf) {
    QString text = QString::fromLatin1(pdf);
    return int(text.count(QRegularExpression("/Type /Page[^s]")));
}

// The lines of one page, measured as the printer would.
int perpage(const std::string& file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file));
    QPainter p(&printer);
    QFontMetrics m = p.fontMetrics();
    return vek::shell::linesperpage(p.viewport().height(), m.height() + m.leading());
}

TEST(ShellPrintLayout, LinesGoOneLineHeightApartFromOneDown) {
    EXPECT_EQ(vek::shell::printplace(0, 50, 12).top, 12);
    EXPECT_EQ(vek::shell::printplace(49, 50, 12).top, 600);
    EXPECT_EQ(vek::shell::printplace(50, 50, 12).page, 1);
    EXPECT_EQ(vek::shell::printplace(50, 50, 12).top, 12);
    EXPECT_EQ(vek::shell::linesperpage(5, 12), 1);
    EXPECT_EQ(vek::shell::printtext("a\r\n"), "a");
    EXPECT_EQ(vek::shell::printtext("a\n\n\n"), "a\n");
}

TEST_F(ShellTest, ThreePagesOfLinesMakeAThreePagePdf) {
    start();
    std::string pdf = (scratch.dir() / "out.pdf").string();
    vek::shell::responder().file = [&](const QString& title) {
        EXPECT_EQ(title, "Print");
        return QString::fromStdString(pdf);
    };
    Lines lines;
    lines.count = 3 * perpage((scratch.dir() / "measure.pdf").string());
    EXPECT_EQ(vek::shell::vekprintfile("t.c", nextline, &lines, nullptr), 1);
    EXPECT_EQ(pages(scratch.read("out.pdf")), 3);
    EXPECT_EQ(vek::outstate().errors, 0u);
}

TEST_F(ShellTest, CancelAndAnUnwritablePdfEndThePrintWithAnError) {
    start();
    Lines lines;
    lines.count = 10;
    vek::shell::responder().file = [](const QString&) { return QString(); };
    EXPECT_EQ(vek::shell::vekprintfile("t.c", nextline, &lines, nullptr), 0);
    EXPECT_EQ(vek::outstate().errors, 0u);

    vek::shell::responder().file = [](const QString&) { return QString("/nonexistent/dir/out.pdf"); };
    EXPECT_EQ(vek::shell::vekprintfile("t.c", nextline, &lines, nullptr), 1);
    EXPECT_EQ(vek::outstate().errors, 1u);

    std::string pdf = (scratch.dir() / "c.pdf").string();
    vek::shell::responder().file = [&](const QString&) { return QString::fromStdString(pdf); };
    vek::shell::responder().dialog = [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Print File");
        ASSERT_NE(d->findChild<QPushButton*>("cancel"), nullptr);
        d->findChild<QPushButton*>("cancel")->click();
    };
    EXPECT_EQ(vek::shell::vekprintfile("t.c", nextline, &lines, nullptr), 1);
    EXPECT_EQ(vek::outstate().errors, 2u);
}

}  // namespace
}  // namespace vekshelltest
