// The machine-level windows' widgets.
#include "vek/views/machineviews.h"

#include <QSignalBlocker>

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace vek::views {

namespace {

QColor defaultcolour(int index) {
    switch (index) {
    case ColChanged: return QColor(0xC0, 0, 0);
    case ColMnemonic: return QColor(0, 0, 0xC0);
    case 2: return QColor(0xC0, 0, 0);
    case 3: return QColor(0, 0x80, 0);
    default: return Qt::black;
    }
}

const QColor EventOn(0xFF, 0x80, 0x80), EventOff(0xC0, 0xC0, 0xC0), PcLine(0, 0, 0x80), RangeLine(0xFF, 0xFF, 0xC0);

unsigned keystate(Qt::KeyboardModifiers m) {
    unsigned k = 0;
    if (m & Qt::ShiftModifier) k |= KeyShift;
    if (m & Qt::ControlModifier) k |= KeyCtrl;
    return k;
}

}  // namespace

// ---- CellView

CellView::CellView(ViewHost& host, QWidget* parent) : QAbstractScrollArea(parent), host_(host) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(f);
    viewport()->setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int CellView::cellwidth() const { return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0'))); }
int CellView::lineheight() const { return std::max(1, fontMetrics().height()); }
int CellView::clientlines() const {
    const int h = viewport()->height();
    return std::max(1, (h + lineheight() - 1) / lineheight());
}

void CellView::cellat(const QPoint& p, int& row, int& col) const {
    row = p.y() / lineheight();
    col = p.x() / cellwidth() + firstcol_;
}

void CellView::relativebar(std::function<void(ScrollAction)> scroll) {
    QScrollBar* bar = verticalScrollBar();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    bar->setRange(0, 2);
    bar->setPageStep(1);
    bar->setValue(1);
    connect(bar, &QScrollBar::actionTriggered, this, [this, scroll](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: scroll(LineUp); break;
        case QAbstractSlider::SliderSingleStepAdd: scroll(LineDown); break;
        case QAbstractSlider::SliderPageStepSub: scroll(PageUp); break;
        case QAbstractSlider::SliderPageStepAdd: scroll(PageDown); break;
        default: break;
        }
        verticalScrollBar()->setSliderPosition(1);
    });
}

void CellView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    const int cw = cellwidth(), lh = lineheight(), ascent = fontMetrics().ascent();
    const int cols = viewport()->width() / cw + 1;
    int caretrow = -1, caretcol = -1;
    caret(caretrow, caretcol);
    const auto& lines = textlines();
    for (int row = 0; row < int(lines.size()); ++row) {
        const std::string& l = lines[size_t(row)];
        QColor escape = Qt::black;
        int col = 0;
        auto draw = [&](char c) {
            const int x = (col - firstcol_) * cw;
            if (col >= firstcol_) {
                QColor bg = background(row, col), fg = foreground(row, col, escape);
                if (row == caretrow && col == caretcol) std::swap(bg, fg);
                painter.fillRect(x, row * lh, cw, lh, bg);
                painter.setPen(fg);
                painter.drawText(x, row * lh + ascent, QString(QChar(uchar(c))));
            }
            ++col;
        };
        for (size_t i = 0; i < l.size(); ++i) {
            if (l[i] == Esc && i + 1 < l.size()) {
                const int index = l[++i];
                if (colouring(row))
                    escape = index == ColText ? QColor(Qt::black)
                             : host_.palette ? host_.palette(index > 18 ? 1 : index)
                                             : defaultcolour(index);
                continue;
            }
            draw(l[i]);
        }
        while (col < firstcol_ + cols) draw(' ');   // the background to the right edge
    }
}

void CellView::act(const MemClick& c) {
    switch (c.what) {
    case MemClick::Beep: beep(); break;
    case MemClick::Command: if (host_.command) host_.command(c.text); break;
    case MemClick::EventCommand:
    case MemClick::EventPopup: if (host_.eventcommand) host_.eventcommand(c.address, c.eventcmd); break;
    case MemClick::Symbol: if (host_.symbol) host_.symbol(c.text); break;
    default: break;
    }
}

// ---- CodeView

QColor CodeView::background(int row, int col) const {
    uint32_t a;
    if (!lineaddress(row, a)) return Qt::white;
    if (col < 8) {
        const int ev = env().eventat ? env().eventat(a) : -1;
        return ev > 0 ? EventOn : ev == 0 ? EventOff : QColor(Qt::white);
    }
    if (a == pcaddress()) return PcLine;
    if (inrange(a)) return RangeLine;
    return Qt::white;
}

QColor CodeView::foreground(int row, int col, QColor escape) const {
    uint32_t a;
    return col >= 8 && lineaddress(row, a) && a == pcaddress() ? QColor(Qt::white) : escape;
}

bool CodeView::colouring(int row) const {
    uint32_t a;
    return !(lineaddress(row, a) && a == pcaddress());
}

// ---- MemoryView

bool MemoryView::lineaddress(int row, uint32_t& address) const {
    if (w_.kind != CodeWindow || row < 0 || size_t(row) >= w_.table.size()) return false;
    address = w_.table[size_t(row)];
    return true;
}

MemoryView::MemoryView(ViewHost& host, MemEnv env, MemoryWindow window, QWidget* parent)
    : CodeView(host, parent), env_(std::move(env)), w_(std::move(window)) {
    relativebar([this](ScrollAction a) { scroll(a); });
    // the horizontal bar moves the first visible column; like every scroll
    // it drops an edit and what was typed
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (env_.running && env_.running()) {
            beep();
            const QSignalBlocker block(horizontalScrollBar());
            horizontalScrollBar()->setValue(w_.firstcol);
            return;
        }
        w_.edit = NoEdit;
        w_.typed = 0;
        w_.firstcol = firstcol_ = v;
        viewport()->update();
    });
    w_.rebuild = true;
    refresh(true);
}

void MemoryView::refresh(bool rebuild) {
    w_.visiblelines = clientlines();
    w_.visiblecols = std::max(1, viewport()->width() / cellwidth());
    if (rebuild) w_.rebuild = true;
    buildmemlines(w_, env_);
    firstcol_ = w_.firstcol;
    QScrollBar* bar = horizontalScrollBar();
    const QSignalBlocker block(bar);
    bar->setRange(0, std::max(0, w_.widest - w_.visiblecols));
    bar->setPageStep(w_.visiblecols);
    bar->setValue(w_.firstcol);
    viewport()->update();
}

void MemoryView::scroll(ScrollAction a) {
    w_.visiblelines = clientlines();
    if (!scrollmem(w_, env_, a)) beep();
    viewport()->update();
}

void MemoryView::click(int row, int col, unsigned keys) {
    const MemClick c = memclick(w_, env_, row, col, keys);
    act(c);
    setFocus();
    viewport()->update();
}

bool MemoryView::caret(int& row, int& col) const {
    if (w_.edit == NoEdit) return false;
    row = w_.caretrow;
    col = w_.caretcol;
    return true;
}

void MemoryView::resizeEvent(QResizeEvent* e) {
    CellView::resizeEvent(e);
    refresh(true);
}

void MemoryView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row, col;
    cellat(e->position().toPoint(), row, col);
    click(row, col, keystate(e->modifiers()));
}

void MemoryView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::RightButton) return;
    int row, col;
    cellat(e->position().toPoint(), row, col);
    click(row, col, keystate(e->modifiers()));
}

void MemoryView::keyPressEvent(QKeyEvent* e) {
    bool ok = true;
    switch (e->key()) {
    case Qt::Key_Left: ok = editarrow(w_, env_, KeyLeft); break;
    case Qt::Key_Right: ok = editarrow(w_, env_, KeyRight); break;
    case Qt::Key_Up: ok = editarrow(w_, env_, KeyUp); break;
    case Qt::Key_Down: ok = editarrow(w_, env_, KeyDown); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: ok = edittype(w_, env_, '\r'); break;
    default: {
        const QString t = e->text();
        if (t.isEmpty()) return;
        const char16_t c = t.at(0).unicode();
        ok = c < 256 && edittype(w_, env_, char(c));
    }
    }
    if (!ok) beep();
    viewport()->update();
}

void MemoryView::focusOutEvent(QFocusEvent* e) {
    editend(w_, env_);
    viewport()->update();
    CellView::focusOutEvent(e);
}

// ---- DisasmView

bool DisasmView::lineaddress(int row, uint32_t& address) const {
    if (row < 0 || size_t(row) >= p_.table.size()) return false;
    address = p_.table[size_t(row)];
    return true;
}

DisasmView::DisasmView(ViewHost& host, MemEnv env, int core, QWidget* parent)
    : CodeView(host, parent), env_(std::move(env)) {
    p_.core = core;
    relativebar([this](ScrollAction a) { scroll(a); });
}

void DisasmView::refresh(uint32_t pc) {
    pc_ = pc;
    p_.linecount = clientlines();
    refreshdisasm(p_, env_, pc);
    viewport()->update();
}

void DisasmView::scroll(ScrollAction a) {
    p_.linecount = clientlines();
    if (!scrolldisasm(p_, env_, a, pc_)) beep();
    viewport()->update();
}

void DisasmView::resizeEvent(QResizeEvent* e) {
    CellView::resizeEvent(e);
    p_.linecount = clientlines();
    if (!p_.table.empty()) builddisalines(p_, env_, p_.start, true, pc_);
}

void DisasmView::click(QMouseEvent* e, bool right) {
    int row, col;
    cellat(e->position().toPoint(), row, col);
    const MemClick c = disasmclick(p_, env_, row, col, right, keystate(e->modifiers()));
    act(c);
}

void DisasmView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) click(e, false);
}

void DisasmView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) click(e, true);
}

void DisasmView::keyPressEvent(QKeyEvent* e) {
    const QString t = e->text();
    if (t.isEmpty()) return;
    std::string command;
    const char16_t c = t.at(0).unicode();
    if (c >= 256 || !disasmkey(char(c), command)) return beep();
    if (!command.empty() && host_.command) host_.command(command);
}

// ---- RegistersView

RegistersView::RegistersView(ViewHost& host, std::function<RegSource()> source, QWidget* parent)
    : CellView(host, parent), source_(std::move(source)) {
    refresh(true);
}

void RegistersView::refresh(bool always) {
    if (!paintregs(p_, registertext(source_()), always)) return;
    lines_.assign(1, {});
    for (char c : p_.last)
        if (c == '\n') lines_.emplace_back();
        else lines_.back() += c;
    viewport()->update();
}

bool RegistersView::caret(int& row, int& col) const {
    if (cycles_.active) {
        row = cycles_.row;
        col = cycles_.caret;
        return true;
    }
    if (!p_.editing) return false;
    row = p_.caretrow;
    col = p_.caretcol;
    return true;
}

QColor RegistersView::foreground(int row, int col, QColor escape) const {
    // The offset of the cell in the text: rows are separated by one '\n'.
    size_t at = 0;
    for (int r = 0; r < row && size_t(r) < lines_.size(); ++r) at += lines_[size_t(r)].size() + 1;
    at += size_t(col);
    if (size_t(row) < lines_.size() && size_t(col) < lines_[size_t(row)].size() && at < p_.changed.size() &&
        p_.changed[at])
        return Qt::blue;
    return escape;
}

void RegistersView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row, col;
    cellat(e->position().toPoint(), row, col);
    const RegSource s = source_();
    cycles_.end();
    const RegClick c = regclick(p_, s, row, col, running && running());
    if (c.what == RegClick::Beep) beep();
    if (c.what == RegClick::CycleEdit) {
        if (p_.editing) regendedit(p_, s);
        cycles_.start(col, row, s.cycles);
    }
    if (c.what == RegClick::Dialog && dialog) dialog(regfields()[size_t(c.field)].reg);
    setFocus();
    viewport()->update();
}

void RegistersView::keyPressEvent(QKeyEvent* e) {
    const QString t = e->text();
    if (t.isEmpty()) return;
    const char16_t c = t.at(0).unicode();
    const RegSource s = source_();
    if (cycles_.active) {
        uint32_t counter = s.cycles;
        const auto typed = c < 256 ? cycles_.type(char(c), counter) : shell::CycleEdit::Typed::Beep;
        if (typed == shell::CycleEdit::Typed::Beep) beep();
        if (typed == shell::CycleEdit::Typed::Digit && s.setcycles) s.setcycles(counter);
    } else if (c >= 256 || !regtype(p_, s, char(c))) {
        beep();
    }
    refresh(false);
    viewport()->update();
}

void RegistersView::endedit() {
    cycles_.end();
    regendedit(p_, source_());
    viewport()->update();
}

void RegistersView::focusOutEvent(QFocusEvent* e) {
    cycles_.end();
    regendedit(p_, source_());
    viewport()->update();
    CellView::focusOutEvent(e);
}

// ---- StackView

StackView::StackView(ViewHost& host, QWidget* parent) : CellView(host, parent) {
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int t) {
        p_.offset = std::clamp(p_.maxoffset - t, 0, p_.maxoffset);
        layout();
    });
}

void StackView::setlines(std::vector<StackLine> lines) {
    p_.clientlines = std::max(1, viewport()->height() / lineheight());
    setstacklines(p_, std::move(lines));
    layout();
}

void StackView::layout() {
    shown_.assign(size_t(std::max(p_.clientlines, 1)), {});
    for (int r = 0; r < int(shown_.size()); ++r)
        if (int k = stackrow(p_, r); k >= 0) shown_[size_t(r)] = p_.lines[size_t(k)].text;
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker block(bar);
    bar->setRange(0, p_.maxoffset);
    bar->setValue(p_.maxoffset - p_.offset);
    viewport()->update();
}

void StackView::resizeEvent(QResizeEvent* e) {
    CellView::resizeEvent(e);
    std::vector<StackLine> lines = p_.lines;
    setlines(std::move(lines));
}

void StackView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row, col;
    cellat(e->position().toPoint(), row, col);
    if (int k = stackrow(p_, row); k >= 0 && host_.openframe) host_.openframe(p_.lines[size_t(k)].frame);
}

void StackView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        int row, col;
        cellat(e->position().toPoint(), row, col);
        if (int k = stackrow(p_, row); k >= 0 && host_.openframe) host_.openframe(p_.lines[size_t(k)].frame);
    }
}

void StackView::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_PageUp: scrollstack(p_, StackPageUp); break;
    case Qt::Key_PageDown: scrollstack(p_, StackPageDown); break;
    case Qt::Key_Home: scrollstack(p_, StackTop); break;
    case Qt::Key_End: scrollstack(p_, StackBottom); break;
    case Qt::Key_Up: scrollstack(p_, StackLineUp); break;
    case Qt::Key_Down: scrollstack(p_, StackLineDown); break;
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_F1: return;
    default:
        if (e->modifiers() == Qt::NoModifier || !e->text().isEmpty()) beep();
        return;
    }
    layout();
}

}  // namespace vek::views
