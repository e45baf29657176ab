// Printing text lines (see printing.h).
#include "vek/shell/printing.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "vek/core/support/output.h"
#include "vek/shell/controls.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

// The modeless "Print File" box with its Cancel button.
class AbortBox : public QDialog {
public:
    AbortBox(QWidget* owner, const QString& title) : QDialog(owner) {
        setWindowTitle("Print File");
        setModal(false);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(14, 14, 14, 14);
        layout->addWidget(new QLabel("Printing:", this));
        auto* name = new QLabel(title.isEmpty() ? QString("MF.C") : title, this);
        name->setObjectName("title");
        layout->addWidget(name);
        auto* cancel = new QPushButton("Cancel", this);
        cancel->setObjectName("cancel");
        layout->addWidget(cancel);
        cancel->setFocus();
        connect(cancel, &QPushButton::clicked, this, [this] { cancelled = true; });
    }
    bool cancelled = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        QDialog::paintEvent(event);
        QPainter p(this);
        QRect r = rect().adjusted(3, 3, -4, -4);
        draw3d(p, r, true);
        draw3d(p, r.adjusted(4, 4, -4, -4), false);
    }
};

void printfailed() { puterror({"Error while Printing, Print Cancelled\n"}); }

}  // namespace

PrintPlace printplace(int n, int perpage, int lineheight) {
    perpage = std::max(perpage, 1);
    return {n / perpage, (n % perpage + 1) * lineheight};
}

int linesperpage(int printableheight, int lineheight) {
    return lineheight > 0 ? std::max(printableheight / lineheight, 1) : 1;
}

std::string printtext(std::string_view line) {
    for (int k = 0; k < 2 && !line.empty() && (line.back() == '\r' || line.back() == '\n'); ++k)
        line.remove_suffix(1);
    return std::string(line);
}

int vekprintfile(const char* title, PrintLineFunc lines, void* arg, void* user) {
    QWidget* owner = dynamic_cast<MainWindow*>(&platform::windowhost());
    const QString name = QString::fromLocal8Bit(title ? title : "");
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(" Printing " + name);
    if (responder().file) {
        // tests answer with a PDF file
        QString file = responder().file("Print");
        if (file.isEmpty()) return 0;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    } else {
        QPrintDialog dialog(&printer, owner);
        if (dialog.exec() != QDialog::Accepted) return 0;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        printfailed();
        return 1;
    }
    // (no parent: the main window is disabled during the job, its children
    // with it)
    AbortBox abort(nullptr, name);
    abort.show();
    answerlater(abort);
    if (owner) owner->setEnabled(false);
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineheight = metrics.height() + metrics.leading();
    const QRect page = painter.viewport();
    const int perpage = linesperpage(page.height(), lineheight);
    QTextOption option;
    option.setTabStopDistance(4.0 * metrics.maxWidth());
    option.setWrapMode(QTextOption::NoWrap);
    bool failed = false;
    int n = 0;
    for (const char* line = lines ? lines(1, arg, user) : nullptr; line; line = lines(0, arg, user), ++n) {
        QApplication::processEvents();
        if (abort.cancelled) {
            failed = true;
            break;
        }
        const PrintPlace at = printplace(n, perpage, lineheight);
        if (n > 0 && at.page != printplace(n - 1, perpage, lineheight).page && !printer.newPage()) {
            failed = true;
            break;
        }
        const std::string text = printtext(line);
        if (!text.empty())
            painter.drawText(QRectF(0, at.top, page.width(), lineheight), QString::fromLocal8Bit(text), option);
    }
    QApplication::processEvents();
    if (abort.cancelled) failed = true;
    if (failed) {
        printer.abort();
        painter.end();
        printfailed();
    } else {
        painter.end();
    }
    if (owner) owner->setEnabled(true);
    return 1;
}

int printlines(const char* title, std::string_view text) {
    struct Lines {
        std::vector<std::string> all;
        size_t next = 0;
    } lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        lines.all.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return vekprintfile(
        title,
        [](int first, void* arg, void*) -> const char* {
            auto* l = static_cast<Lines*>(arg);
            if (first) l->next = 0;
            return l->next < l->all.size() ? l->all[l->next++].c_str() : nullptr;
        },
        &lines, nullptr);
}

}  // namespace vek::shell
