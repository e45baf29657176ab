// Text panes: cells, scrolling and painting (see textpane.h).
#include "vek/views/qt/textpane.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

namespace vek::views {

void sendcmd(shell::MainWindow& frame, const std::string& line) {
    frame.journal.push_back(line);
    if (frame.commands()) frame.commands()->docmd(line);
}

QColor qcolour(uint32_t bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

TextPane::TextPane(shell::MainWindow& frame, shell::FontKind font, QWidget* parent)
    : shell::Pane(parent), frame_(frame), fontkind_(font) {
    font_ = frame.kindfont(font);
    font_.setFixedPitch(true);
    font_.setStyleHint(QFont::Monospace);
    if (!QFontInfo(font_).fixedPitch()) font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(font_);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    text_.reindex();
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->hide();
        bar->setFocusPolicy(Qt::NoFocus);
    }
    connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        scroll_.firstcol = v;
        update();
    });
    connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        scroll_.firstline = v;
        update();
    });
}

int TextPane::charwidth() const { return std::max(1, QFontMetrics(font_).horizontalAdvance('0')); }
int TextPane::lineheight() const { return std::max(1, QFontMetrics(font_).lineSpacing()); }

void TextPane::metrics() {
    // a bar takes room from the other direction, which may need a bar then
    const int widest = text_.widest() + prefixcols(), lines = text_.lines();
    const int hh = hbar_->sizeHint().height(), vw = vbar_->sizeHint().width();
    bool h = false, v = false;
    for (int round = 0; round < 2; ++round) {
        scroll_.visiblelines = std::max(1, (height() - (h ? hh : 0)) / lineheight());
        scroll_.visiblecols = std::max(1, (width() - (v ? vw : 0)) / charwidth());
        h = widest > scroll_.visiblecols;
        v = lines > scroll_.visiblelines;
    }
    scroll_.visiblelines = std::max(1, (height() - (h ? hh : 0)) / lineheight());
    scroll_.visiblecols = std::max(1, (width() - (v ? vw : 0)) / charwidth());
    hbar_->setGeometry(0, height() - hh, width() - (v ? vw : 0), hh);
    vbar_->setGeometry(width() - vw, 0, vw, height() - (h ? hh : 0));
    hbar_->setVisible(h && !text_.text().empty());
    vbar_->setVisible(v && !text_.text().empty());
    syncbars();
}

void TextPane::syncbars() {
    const int widest = text_.widest() + prefixcols(), lines = text_.lines();
    const QSignalBlocker hb(hbar_), vb(vbar_);
    hbar_->setRange(0, std::max(0, widest - scroll_.visiblecols));
    hbar_->setPageStep(scroll_.visiblecols);
    hbar_->setValue(scroll_.firstcol);
    vbar_->setRange(0, std::max(0, lines - scroll_.visiblelines));
    vbar_->setPageStep(scroll_.visiblelines);
    vbar_->setValue(scroll_.firstline);
}

void TextPane::textchanged(int showline) {
    text_.reindex();
    metrics();
    scroll_.showline(showline);
    scroll_.clamp(text_.lines(), text_.widest() + prefixcols());
    update();
}

void TextPane::makevisible(int firstline) {
    scroll_.firstline = firstline;
    scroll_.clamp(text_.lines(), text_.widest() + prefixcols());
    syncbars();
    update();
}

int TextPane::lineat(int y) const {
    int line = scroll_.firstline + y / lineheight() + 1;
    return line >= 1 && line <= text_.lines() && !text_.text().empty() ? line : 0;
}

void TextPane::vscroll(shell::Scroll s) {
    int first = scroll_.firstline;
    switch (s) {
    case shell::Scroll::LineUp: --first; break;
    case shell::Scroll::LineDown: ++first; break;
    case shell::Scroll::PageUp: first -= scroll_.visiblelines; break;
    case shell::Scroll::PageDown: first += scroll_.visiblelines; break;
    case shell::Scroll::End: first = text_.lines(); break;
    }
    makevisible(first);
}

void TextPane::resizeEvent(QResizeEvent* event) {
    shell::Pane::resizeEvent(event);
    metrics();
    scroll_.clamp(text_.lines(), text_.widest() + prefixcols());
}

void TextPane::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        frame_.functionkey(key - Qt::Key_F1, event->modifiers() & Qt::ShiftModifier,
                           event->modifiers() & Qt::ControlModifier);
        return;
    }
    switch (key) {
    case Qt::Key_PageUp: vscroll(shell::Scroll::PageUp); return;
    case Qt::Key_PageDown: vscroll(shell::Scroll::PageDown); return;
    case Qt::Key_Up: vscroll(shell::Scroll::LineUp); return;
    case Qt::Key_Down: vscroll(shell::Scroll::LineDown); return;
    case Qt::Key_Home: makevisible(0); return;
    case Qt::Key_End: vscroll(shell::Scroll::End); return;
    case Qt::Key_Left:
        scroll_.firstcol = std::max(0, scroll_.firstcol - 1);
        syncbars();
        update();
        return;
    case Qt::Key_Right:
        ++scroll_.firstcol;
        scroll_.clamp(text_.lines(), text_.widest() + prefixcols());
        syncbars();
        update();
        return;
    default: shell::Pane::keyPressEvent(event);
    }
}

void TextPane::drawruns(QPainter& p, const std::vector<Run>& runs, int x0, int y, const QColor* fg,
                        const QColor* bg) {
    const auto& pal = frame_.config.palette;
    QFontMetrics fm(font_);
    const int cw = charwidth();
    for (auto& r : runs) {
        QColor c = fg ? *fg
                   : r.color == -1 ? qcolour(frame_.config.colours[shell::Config::BkptOn])
                   : r.color == -2 ? qcolour(frame_.config.colours[shell::Config::BkptOff])
                                   : qcolour(pal.get(r.color));
        QRect cell(x0 + r.column * cw, y, int(r.text.size()) * cw, lineheight());
        if (bg) p.fillRect(cell, *bg);
        p.setPen(c);
        for (size_t k = 0; k < r.text.size(); ++k)
            p.drawText(cell.left() + int(k) * cw, y + fm.ascent(), QString(QChar(uint8_t(r.text[k]))));
    }
}

void TextPane::paintline(QPainter& p, int line, int y) {
    drawruns(p, layoutline(text_.line(line), scroll_.firstcol), 0, y);
}

void TextPane::paintEvent(QPaintEvent*) {
    painted_ = true;
    syncbars();   // the first visible line and column may have been moved directly
    QPainter p(this);
    p.setFont(font_);
    if (text_.text().empty()) return;
    const int lh = lineheight();
    for (int row = 0; row * lh < height(); ++row) {
        int line = scroll_.firstline + row + 1;
        if (line > text_.lines()) break;
        paintline(p, line, row * lh);
    }
}

ListHit ListPane::hitat(QPoint at) const {
    int line = lineat(at.y());
    if (!line) return {};
    return hittest(text_.line(line), scroll_.firstcol, columnat(at.x()));
}

void ListPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    ListHit hit = hitat(event->position().toPoint());
    if (ontag && (hit.letter || !hit.word.empty())) ontag(hit, event->modifiers(), lineat(event->position().toPoint().y()));
}

void ListPane::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::RightButton) {
        ListHit hit = hitat(event->position().toPoint());
        if (ontag && (hit.letter || !hit.word.empty())) ontag(hit, event->modifiers(), lineat(event->position().toPoint().y()));
    }
}

}  // namespace vek::views
