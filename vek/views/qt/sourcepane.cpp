// Source panes, their search dialog, and the source windows (see sourcepane.h).
#include "vek/views/qt/sourcepane.h"

#include <cctype>

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"

namespace vek::views {

// ---- the search dialog ------------------------------------------------

namespace {
class SearchDialog : public QDialog {
public:
    SearchDialog(SourcePane& pane, SearchRecord& r) : QDialog(&pane), pane_(pane), r_(r) {
        setWindowTitle("Search");
        setModal(false);
        setAttribute(Qt::WA_DeleteOnClose);
        edit_ = new QLineEdit(this);
        edit_->setObjectName("find");
        up_ = new QRadioButton("&Up", this);
        down_ = new QRadioButton("&Down", this);
        (r.dir == SearchDir::Up ? up_ : down_)->setChecked(true);
        next_ = new QPushButton("Find &Next", this);
        next_->setObjectName("next");
        auto* cancel = new QPushButton("&Cancel", this);
        if (r.hastext) edit_->setText(QString::fromStdString(r.text));
        next_->setEnabled(!edit_->text().isEmpty());
        auto* lay = new QVBoxLayout(this);
        lay->addWidget(edit_);
        auto* row = new QHBoxLayout;
        row->addWidget(up_);
        row->addWidget(down_);
        row->addWidget(next_);
        row->addWidget(cancel);
        lay->addLayout(row);
        QObject::connect(edit_, &QLineEdit::textChanged, this, [this](const QString& t) {
            r_.changed = true;
            next_->setEnabled(!t.isEmpty());
        });
        QObject::connect(up_, &QRadioButton::toggled, this, [this](bool on) {
            r_.dir = on ? SearchDir::Up : SearchDir::Down;
        });
        QObject::connect(next_, &QPushButton::clicked, this, [this] {
            take(true);
            if (r_.hastext) pane_.findnext();
        });
        QObject::connect(cancel, &QPushButton::clicked, this, [this] { close(); });
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        take(false);
        QDialog::closeEvent(e);
    }

private:
    void take(bool beep) {
        if (!r_.changed) return;
        std::string t = edit_->text().toStdString();
        r_.hastext = !t.empty();
        r_.text = t;
        if (t.empty()) {
            if (beep) pane_.frame().beep();
            return;
        }
        r_.changed = false;
    }
    SourcePane& pane_;
    SearchRecord& r_;
    QLineEdit* edit_;
    QRadioButton *up_, *down_;
    QPushButton* next_;
};
}  // namespace

// ---- the pane ---------------------------------------------------------

SourcePane::SourcePane(shell::MainWindow& frame, uint16_t kind, std::string file, QWidget* parent)
    : TextPane(frame, kind == kind::Main ? shell::FontKind::Source : shell::FontKind::Browser, parent),
      kind_(kind), file_(std::move(file)) {
    cols_.address = frame.addresscolumn;
}

SourcePane::~SourcePane() {
    // the dialog is a child of the pane and goes with it; the record too
    delete searchdlg_.data();
}

void SourcePane::settext(std::string file, std::string text, SourceKind kind, int showline) {
    file_ = std::move(file);
    srckind_ = kind;
    loaded_ = true;
    text_.assign(std::move(text));
    textchanged(showline);
}

int SourcePane::prefixcols() const {
    if (!(kind_ & kind::Browser)) return 0;
    return digits(text_.lines()) + 1 + cols_.extra();
}

void SourcePane::showline(int line) {
    metrics();
    int first = scroll_.firstline + 1, last = scroll_.firstline + scroll_.visiblelines;
    if (line < first + 3 || line > last - 3) makevisible(line > 3 ? line - 4 : 0);
}

void SourcePane::gotoline(int line) {
    metrics();
    makevisible(std::max(0, line - scroll_.visiblelines / 2));
}

void SourcePane::setcurrent(int line, uint32_t column, uint32_t endcolumn) {
    curline_ = line, curcol_ = column, curend_ = endcolumn;
    update();
}

void SourcePane::setmark(int line, int first, int last) {
    markline_ = line, markfirst_ = first, marklast_ = last;
    update();
}

LineInfo SourcePane::info(int line) const { return lineinfo ? lineinfo(file_, line) : LineInfo{}; }

void SourcePane::paintline(QPainter& p, int line, int y) {
    if (!(kind_ & kind::Browser)) {
        TextPane::paintline(p, line, y);
        return;
    }
    const int cw = charwidth(), lh = lineheight();
    const auto& cfg = frame_.config;
    LineInfo li = info(line);
    // the prefix: number, blank, extra column
    std::string number = std::to_string(line);
    int x0 = -scroll_.firstcol * cw;
    QColor white(Qt::white), grey(Qt::gray), black(Qt::black);
    if (li.event && li.hascode) {
        QColor bg = qcolour(li.eventon ? cfg.colours[shell::Config::BkptOn] : cfg.colours[shell::Config::BkptOff]);
        drawruns(p, {Run{0, number, 1}}, x0, y, &white, &bg);
    } else {
        drawruns(p, {Run{0, number, 1}}, x0, y, li.hascode ? &black : &grey);
    }
    int textx = x0 + (digits(text_.lines()) + 1) * cw;
    // iconic coverage: the blank before the text shows whether the line ran
    if (cols_.coverage == Coverage::Iconic && li.hascode)
        p.drawImage(QRect(textx - cw, y, cw, lh), coverageicon(li.hits != 0));
    std::string extra = extracell(cols_, li.hascode, li.address, li.hits, li.cycles);
    if (!extra.empty()) {
        QColor c = qcolour(li.hits ? 0x008000 : 0x0000FF);
        drawruns(p, {Run{0, extra, 1}}, textx, y, &c);
        textx += int(extra.size()) * cw;
    }
    std::string_view raw = text_.line(line);
    bool colours = frame_.colouring && line != markline_;
    auto runs = layoutline(raw, 0, ListTab, colours);
    drawruns(p, runs, textx, y);
    std::string visible = visibletext(raw);
    auto overlay = [&](int from, int to, const QColor& fg, const QColor& bg) {
        if (from > to || from >= int(visible.size())) return;
        to = std::min(to, int(visible.size()) - 1);
        drawruns(p, {Run{from, visible.substr(size_t(from), size_t(to - from + 1)), 1}}, textx, y, &fg, &bg);
    };
    if (search_ && search_->hastext && search_->matched() && search_->line == line) {
        QColor bg = qcolour(cfg.palette.get(18));
        overlay(search_->first, search_->end - 1, black, bg);
    }
    if (line == markline_) overlay(markfirst_, markfirst_ || marklast_ ? marklast_ : int(visible.size()), white, black);
    if (line == curline_) {
        // positions count characters with a TAB as one: map them to columns
        std::string flat = plaintext(raw);
        int from, to;
        if (statementrange(flat, curcol_, curend_, from, to)) {
            auto col = [&](int k) { return linecolumns(flat.substr(0, size_t(k))); };
            QColor bg = qcolour(cfg.colours[shell::Config::Source]);
            overlay(col(from), col(to + 1) - 1, white, bg);
        }
    }
}

void SourcePane::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::LeftButton) {
        dragstart_ = event->position().toPoint();
        dragging_ = true;
    } else if (event->button() == Qt::RightButton) {
        clickat(event->position().toPoint(), event->modifiers(), false);
    }
}

void SourcePane::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    QPoint end = event->position().toPoint();
    if (end != dragstart_ && (columnat(end.x()) != columnat(dragstart_.x()) || lineat(end.y()) != lineat(dragstart_.y())))
        selection(dragstart_, end);
}

void SourcePane::mouseDoubleClickEvent(QMouseEvent* event) {
    dragging_ = false;
    if (event->button() == Qt::LeftButton) clickat(event->position().toPoint(), event->modifiers(), true);
}

void SourcePane::clickat(QPoint at, Qt::KeyboardModifiers mods, bool dbl) {
    if (!(kind_ & kind::Browser) || srckind_ == SourceKind::Other) return;
    int line = lineat(at.y());
    if (!line) return;
    int col = columnat(at.x()) + scroll_.firstcol;
    int numw = digits(text_.lines()) + 1;
    LineInfo li = info(line);
    const bool icon = cols_.coverage == Coverage::Iconic && col == numw - 1;
    if (icon || (col >= numw && col < numw + cols_.extra())) {
        if (!cols_.address && li.hascode) {
            std::string caption = file_ + ":" + std::to_string(line) + " ";
            MyMultMessShow(nullptr, 0, 0, caption.c_str(), {countmessage(li.hits, li.cycles)});
        }
        return;
    }
    if (col < int(std::to_string(line).size())) {
        if (!li.hascode) return;
        if (!dbl) {
            if (online) online(*this, line, 0, mapToGlobal(QPoint((col + 1) * charwidth(), at.y())), mods);
            return;
        }
        Keys keys{bool(mods & Qt::ShiftModifier), bool(mods & Qt::ControlModifier),
                  frame_.heldletters.count('W') != 0};
        std::string c = numberclick(file_, line, keys, li.event, li.eventon);
        if (!c.empty()) sendcmd(frame_, c);
        else if (online) online(*this, line, 820, mapToGlobal(at), mods);
        return;
    }
    if (onselect) {
        std::string word = wordat(at);
        if (!word.empty()) onselect(*this, line, word, mapToGlobal(at), mods);
    }
}

std::string SourcePane::wordat(QPoint at) const {
    const int line = lineat(at.y());
    if (!line) return {};
    const int col = columnat(at.x()) + scroll_.firstcol - prefixcols();
    const std::string v = visibletext(text_.line(line));
    auto at_ = [&](int i) { return i >= 0 && i < int(v.size()) ? v[size_t(i)] : '\0'; };
    auto inword = [&](int i) {
        const char c = at_(i);
        return std::isalnum(uint8_t(c)) || c == '_' || c == '$' || c == '.' || c == '[' || c == ']' ||
               (c == '-' && at_(i + 1) == '>') || (c == '>' && at_(i - 1) == '-');
    };
    if (!inword(col)) return {};
    int a = col, b = col;
    while (inword(a - 1)) --a;
    while (inword(b + 1)) ++b;
    if (std::isdigit(uint8_t(v[size_t(a)]))) return {};
    return v.substr(size_t(a), size_t(b - a + 1));
}

void SourcePane::selection(QPoint from, QPoint to) {
    int l1 = lineat(from.y()), l2 = lineat(to.y());
    int numw = digits(text_.lines()) + 1 + cols_.extra();
    int c1 = columnat(from.x()) + scroll_.firstcol, c2 = columnat(to.x()) + scroll_.firstcol;
    if (l1 && l1 == l2 && c1 < numw && c2 < numw) return;   // over line numbers: nothing
    if (!l1 || l1 != l2 || std::min(c1, c2) < numw) {
        puterror({"Illegal Selection"});
        return;
    }
    std::string v = visibletext(text_.line(l1));
    int a = std::min(c1, c2) - numw, b = std::max(c1, c2) - numw;
    if (a >= int(v.size())) return;
    lastselection = v.substr(size_t(a), size_t(std::min(b, int(v.size()) - 1) - a + 1));
    if (onselect) onselect(*this, l1, lastselection, mapToGlobal(to), QApplication::keyboardModifiers());
}

void SourcePane::keyPressEvent(QKeyEvent* event) {
    QString t = event->text();
    if (t.size() == 1 && t[0].isPrint() && !(event->modifiers() & Qt::ControlModifier)) {
        if (kind_ != kind::Main) {
            frame_.beep();
            return;
        }
        std::string c = keycommand(char(t[0].toLatin1()), frame_.running());
        if (c == "\a") {
            frame_.beep();
        } else if (!c.empty()) {
            sendcmd(frame_, c);
            if (c == "go" && frame_.running()) frame_.beep();
        }
        return;
    }
    if (event->key() == Qt::Key_F && (event->modifiers() & Qt::ControlModifier)) {
        find();
        return;
    }
    if (event->key() == Qt::Key_F3) {
        findnext();
        return;
    }
    TextPane::keyPressEvent(event);
}

// ---- search -----------------------------------------------------------

void SourcePane::find() {
    if (!search_) search_ = std::make_unique<SearchRecord>();
    search_->changed = true;
    delete searchdlg_.data();
    searchdlg_ = new SearchDialog(*this, *search_);
    searchdlg_->show();
}

void SourcePane::findnext() {
    if (!search_) return;
    if (!search_->hastext) {
        puterror({"NO defined String "});
        return;
    }
    SearchLines lines{text_.text().empty() ? 0 : text_.lines(),
                      [this](int n) { return visibletext(text_.line(n)); }};
    if (!searchnext(*search_, lines)) {
        infobox({" MATCH NOT FOUND "});
        return;
    }
    metrics();
    int start = search_->first + prefixcols();
    int end = search_->end + prefixcols();
    if (start < scroll_.firstcol || end > scroll_.firstcol + scroll_.visiblecols)
        scroll_.firstcol = start < 4 ? start : start - 3;
    showline(search_->line);
    update();
}

void SourcePane::cancelsearch() {
    if (!search_) return;
    search_->cancel();
    update();
}

// ---- windows ----------------------------------------------------------

shell::HostWindow* hostof(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (auto* h = dynamic_cast<shell::HostWindow*>(w)) return h;
    return nullptr;
}

SourceViews::SourceViews(shell::MainWindow& frame) : frame_(frame) {}
SourceViews::~SourceViews() {
    delete funcpopup_.data();
    delete varpopup_.data();
}

SourcePane* SourceViews::makewindow(const QString& title, uint16_t k, const std::string& file) {
    auto* host = new shell::HostWindow(frame_, title, 0);
    auto* pane = new SourcePane(frame_, k, file);
    host->setpane(0, pane);
    frame_.mdi()->addSubWindow(host);
    pane->lineinfo = [this](const std::string& f, int l) { return lineinfo ? lineinfo(f, l) : LineInfo{}; };
    pane->onselect = [this](SourcePane& p, int line, const std::string& text, QPoint at,
                            Qt::KeyboardModifiers mods) {
        selection = {true, expression(p, line, text), text};
        if (onword) onword(selection.expr, selection.text, at, mods);
    };
    pane->online = [this](SourcePane& p, int line, int id, QPoint at, Qt::KeyboardModifiers mods) {
        if (online) online(p, line, id, at, mods);
    };
    host->show();
    return pane;
}

SourcePane* SourceViews::mainpane() {
    if (!main_) {
        mainpane_ = makewindow("Source", kind::Main, "Source");
        main_ = hostof(mainpane_);
        shownfile_.clear();
    }
    return mainpane_;
}

std::vector<SourcePane*> SourceViews::panes() const {
    std::vector<SourcePane*> v;
    for (auto* sub : frame_.mdi()->subWindowList())
        if (auto* h = dynamic_cast<shell::HostWindow*>(sub))
            for (int c = 0; c < 2; ++c)
                if (auto* p = dynamic_cast<SourcePane*>(h->pane(c))) v.push_back(p);
    return v;
}

bool SourceViews::loadsource(const std::string& name, bool ask, std::string& text, SourceKind& k) {
    for (;;) {
        std::string found = findsource(frame_.config.path, name);
        std::string raw;
        if (!found.empty() && readfile(found, raw)) {
            k = sourcekind(debug, name);
            text = colortext(raw, k, debug ? colornames(*debug, name) : ColorNames{});
            return true;
        }
        if (!ask) return false;
        if (outstate().cmdfile) {
            puterror({"Can't Open ", name, "\n"});
            return false;
        }
        platform::BoxRequest box;
        box.caption = "Error";
        box.text = "Can't Open " + name + "\n Would you like to change the PATH ??";
        box.icon = platform::BoxIcon::Error;
        box.buttons = platform::BoxButtons::YesNo;
        if (frame_.messagebox(box) != platform::BoxAnswer::Yes) return false;
        if (!editpath(frame_)) return false;
    }
}

SourcePane* SourceViews::opensrcwin(const std::string& name, int line) {
    if (name.empty()) return nullptr;
    for (auto* p : panes())
        if (p->kind() == kind::Browser && p->file() == name) {
            frame_.mdi()->setActiveSubWindow(hostof(p));
            return nullptr;
        }
    std::string text;
    SourceKind k;
    if (!loadsource(name, true, text, k)) return nullptr;
    SourcePane* pane = makewindow(QString::fromStdString("Browser: " + name), kind::Browser, name);
    pane->settext(name, std::move(text), k, 0);
    if (line) pane->gotoline(line);
    return pane;
}

SourcePane* SourceViews::openframe(const std::string& name, int line) {
    std::string text;
    SourceKind k;
    if (!loadsource(name, true, text, k)) return nullptr;
    SourcePane* pane = makewindow(QString::fromStdString("Frame Browser: " + name), kind::Frame, name);
    pane->settext(name, std::move(text), k, 0);
    pane->gotoline(line);
    pane->setmark(line, 0, 0);
    return pane;
}

void SourceViews::showlocation(const std::string& file, int line, uint32_t column, uint32_t endcolumn) {
    SourcePane* pane = mainpane();
    if (file.empty()) {
        pane->setcurrent(0, 0, 0);
        return;
    }
    if (file == shownfile_ && pane->hastext()) {
        pane->showline(line);
    } else {
        std::string text;
        SourceKind k;
        if (loadsource(file, false, text, k)) {
            pane->settext(file, std::move(text), k, line);
            shownfile_ = file;
        } else {
            // a stop never waits for an answer nor fails the run: one
            // line of output per name and path
            if (reported_.insert(file).second) puttext({"Can't open ", file, "\n"});
            pane->settext(file, {}, SourceKind::Other, 0);
            shownfile_.clear();
            return;
        }
    }
    pane->setcurrent(line, column, endcolumn);
    for (auto* p : panes()) p->update();
}

void SourceViews::pathchanged() {
    shownfile_.clear();
    reported_.clear();
    for (auto* p : panes()) {
        if (p->hastext() || p->kind() == kind::Main) continue;
        std::string text;
        SourceKind k;
        if (loadsource(p->file(), false, text, k)) p->settext(p->file(), std::move(text), k, 0);
    }
}

}  // namespace vek::views

#include "vek/views/model/location.h"

namespace vek::views {

void showlocation(SourceViews& views, Debugger& d, const std::function<void()>& showdisassembly) {
    StopLocation loc = stoplocation(d);
    if (loc.show != StopLocation::Show::Source && showdisassembly) showdisassembly();
    if (loc.show == StopLocation::Show::Disassembly) {
        views.showlocation({}, 0, 0, 0);
        return;
    }
    views.showlocation(loc.file, int(loc.line), loc.column, loc.endcolumn);
}

}  // namespace vek::views
