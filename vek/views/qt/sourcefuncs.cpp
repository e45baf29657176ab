// What the source windows know of the program: a function's source, the
// expression a selected text makes at its line, the persistent function
// and variable popups, and the coverage marks.
#include <QMdiArea>
#include <QPainter>
#include <QImage>

#include <array>

#include "vek/core/debuginfo/lookup.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/views/qt/sourcepane.h"

namespace vek::views {

QImage coverageicon(bool ran) {
    // drawn once, stretched to a character cell where used (images need no
    // display, so they may outlive the application object)
    static const std::array<QImage, 2> marks = [] {
        auto mark = [](bool on) {
            QImage pm(12, 12, QImage::Format_ARGB32_Premultiplied);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(on ? QColor(0, 128, 0) : QColor(192, 0, 0), 1.5));
            p.setBrush(on ? QColor(0, 160, 0) : Qt::NoBrush);
            p.drawEllipse(QRectF(2, 2, 8, 8));
            return pm;
        };
        return std::array<QImage, 2>{mark(false), mark(true)};
    }();
    return marks[ran ? 1 : 0];
}

SourcePane* SourceViews::opensrcfunc(const FunctionRecord& f, const std::string& file, int line) {
    const std::string name = !file.empty() ? file : f.file ? f.file->name : std::string();
    if (name.empty()) return nullptr;
    const int first = int(f.firstline ? f.firstline : f.start ? f.start->line : 0);
    // the function's first line two lines below the top (at the top near
    // the start of the file)
    const int top = first < 4 ? std::max(0, first - 1) : first - 3;
    for (SourcePane* p : panes())
        if (p->kind() == kind::Browser && p->file() == name) {
            frame_.mdi()->setActiveSubWindow(hostof(p));
            p->makevisible(top);
            return p;
        }
    if (line > 0) return openframe(name, line);
    SourcePane* pane = opensrcwin(name, 0);
    if (!pane) return nullptr;
    pane->makevisible(top);
    pane->setFocus();
    return pane;
}

std::string SourceViews::expression(const SourcePane& pane, int line, const std::string& text) const {
    if (!debug) return text;
    const FileRecord* file = findfile(*debug, pane.file());
    if (!file) return text;
    // the named function whose lines hold the line
    const FunctionRecord* func = nullptr;
    for (const auto& f : file->funcs)
        if (!f->name.empty() && f->name[0] != '.' && f->firstline && uint32_t(line) >= f->firstline &&
            uint32_t(line) <= f->lastline)
            func = f.get();
    const bool isfunc = findfunc(*debug, text, nullptr) != nullptr;
    return selectionexpr(text, func ? func->name : std::string(), func && !isfunc && funchasvar(func, text),
                         pane.file(), filehasvar(file, text), pane.kind() == kind::Main);
}

namespace {

// The items of a popup as the views name them; each opening renames them.
QMenu* makepopup(QWidget* owner, const char* name, std::initializer_list<int> ids) {
    auto* m = new QMenu(owner);
    m->setObjectName(name);
    for (int id : ids) m->addAction(QString::number(id))->setData(id);
    return m;
}

}  // namespace

QMenu* SourceViews::funcpopup() {
    if (!funcpopup_) funcpopup_ = makepopup(&frame_, "FUNCPOPUP", {903, 907});
    return funcpopup_;
}

QMenu* SourceViews::varpopup() {
    if (!varpopup_) varpopup_ = makepopup(&frame_, "VARPOPUP", {901, 902, 903, 906, 913, 914, 915});
    return varpopup_;
}

}  // namespace vek::views
