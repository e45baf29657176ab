// Host windows with their menu strips, the Command window, the message
// boxes and the key-binding dialog.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/resources/menus.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace res = vek::resources;

namespace {
constexpr const char* kPrompt = "Vek>";
constexpr int kPromptLength = 4;
constexpr size_t kHistory = 20;
constexpr size_t kReplaceAfter = 53248;
constexpr uint32_t kSplitNone = 0;
}  // namespace

// ---- panes and hosts ----

void Pane::wheelEvent(QWheelEvent* event) {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* host = dynamic_cast<HostWindow*>(w)) {
            host->wheel(event->angleDelta().y());
            event->accept();
            return;
        }
    }
    QWidget::wheelEvent(event);
}

HostWindow::HostWindow(MainWindow& frame, const QString& title, uint32_t splitbit)
    : frame_(frame), splitbit_(splitbit) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    body_ = new QWidget(this);
    setWidget(body_);
}

bool HostWindow::split() const { return splitbit_ != kSplitNone && (frame_.splitmask & splitbit_) && panes_[1]; }

void HostWindow::setpane(int core, Pane* pane) {
    panes_[core & 1] = pane;
    pane->setParent(body_);
    pane->show();
    if (pane->strip) pane->strip->setParent(body_);
    relayout();
}

QMenuBar* HostWindow::newmenubar(Pane* pane, int core, std::function<void(int32_t)> handler) {
    auto* strip = new QMenuBar(body_);
    strip->setNativeMenuBar(false);
    std::vector<QMenu*> stack;
    for (const res::MenuRow& row : core >= 0 ? res::cmdmenu() : res::cmdmenu()) {
        QMenu* parent = row.depth > 0 && static_cast<size_t>(row.depth) <= stack.size()
                            ? stack[static_cast<size_t>(row.depth - 1)]
                            : nullptr;
        stack.resize(static_cast<size_t>(row.depth));
        if (row.kind == res::MenuKind::Popup) {
            stack.push_back(parent ? parent->addMenu(row.text) : strip->addMenu(row.text));
        } else if (row.kind == res::MenuKind::Separator) {
            if (parent) parent->addSeparator();
        } else {
            int32_t id = row.id;
            QAction* a = parent ? parent->addAction(row.text) : strip->addAction(row.text);
            a->setData(id);
            QObject::connect(a, &QAction::triggered, strip, [handler, id] { handler(id); });
        }
    }
    auto* corner = new QWidget(strip);
    auto* box = new QHBoxLayout(corner);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(10);
    auto* status = new QLabel(corner);
    status->setObjectName("status");
    auto* tag = new QLabel(corner);
    tag->setObjectName("tag");
    box->addWidget(status);
    box->addWidget(tag);
    strip->setCornerWidget(corner, Qt::TopRightCorner);
    strip->setProperty("core", core);
    pane->strip = strip;
    relayout();
    return strip;
}

void HostWindow::setbarstatus(QMenuBar* strip, const QString& text) {
    if (!strip) return;
    if (auto* label = strip->cornerWidget()->findChild<QLabel*>("status")) label->setText(text);
}

QString HostWindow::coretag(int core) const {
    if (!split() || frame_.splitmask == 0) return QString();
    return core == 0 ? " z1 " : " z0 ";
}

void HostWindow::wheel(int delta) {
    Pane* pane = panes_[0];
    if (!pane) return;
    int notches = delta / 120;  // toward zero
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i)
        pane->vscroll(notches > 0 ? Scroll::LineUp : Scroll::LineDown);
    pane->vscroll(Scroll::End);
}

void HostWindow::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    relayout();
}

void HostWindow::relayout() {
    QRect area = body_->rect();
    bool halves = split();
    for (int core = 0; core < 2; ++core) {
        Pane* pane = panes_[static_cast<size_t>(core)];
        if (!pane) continue;
        if (core == 1 && !halves) {
            pane->hide();
            if (pane->strip) pane->strip->hide();
            continue;
        }
        int top = halves ? (core == 0 ? 0 : area.height() / 2) : 0;
        int height = halves ? (core == 0 ? area.height() / 2 : area.height() - area.height() / 2) : area.height();
        int stripheight = pane->strip ? pane->strip->sizeHint().height() : 0;
        if (pane->strip) {
            pane->strip->setGeometry(0, top, area.width(), stripheight);
            pane->strip->show();
            QWidget* corner = pane->strip->cornerWidget();
            if (auto* tag = corner ? corner->findChild<QLabel*>("tag") : nullptr) tag->setText(coretag(core));
        }
        pane->setGeometry(0, top + stripheight, area.width(), std::max(0, height - stripheight));
        pane->show();
    }
}

// ---- the Command window ----

namespace {

// The pane of the Command window: its edit line fills it.
class CmdPane : public Pane {
public:
    explicit CmdPane(QWidget* parent = nullptr) : Pane(parent) {}
    CmdEdit* edit = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        Pane::resizeEvent(event);
        if (edit) edit->setGeometry(rect());
    }
};

}  // namespace

CmdEdit::CmdEdit(MainWindow& frame, QWidget* parent)
    : QPlainTextEdit(parent), history(frame.cmdhistory), outcount(frame.cmdoutcount), frame_(frame) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUndoRedoEnabled(false);
}

int CmdEdit::column() const { return textCursor().positionInBlock(); }

void CmdEdit::append(std::string_view text) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    while (!text.empty()) {
        size_t lf = text.find('\n');
        std::string_view piece = text.substr(0, lf);
        QString q = QString::fromLatin1(piece.data(), static_cast<int>(piece.size()));
        if (lf == std::string_view::npos) {
            c.insertText(q);
            outcount += piece.size();
            break;
        }
        if (outcount <= kReplaceAfter) {
            c.insertText(q);
        } else {
            // a long output starts a fresh text
            setPlainText(q);
            c = QTextCursor(document());
            c.movePosition(QTextCursor::End);
            outcount = 0;
        }
        c.insertBlock();
        outcount += piece.size();
        text.remove_prefix(lf + 1);
    }
    setTextCursor(c);
    ensureCursorVisible();
}

void CmdEdit::prompt() {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertText(kPrompt);
    setTextCursor(c);
    ensureCursorVisible();
}

void CmdEdit::showhistory(int position) {
    histpos_ = position;
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::StartOfBlock);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.insertText(QString(kPrompt) + QString::fromStdString(history[static_cast<size_t>(position)]));
    setTextCursor(c);
}

void CmdEdit::enter() {
    // the whole last line runs, however long it is
    QString last = document()->lastBlock().text();
    if (last.startsWith(kPrompt)) last = last.mid(kPromptLength);
    std::string line = last.toStdString();
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    setTextCursor(c);
    if (!line.empty()) {
        QPointer<CmdEdit> self(this);
        inline_ = true;
        if (frame_.commands()) {
            frame_.journal.push_back(line);
            frame_.commands()->doblock(line);
        }
        // the line (or a window used while it ran) may have closed the window
        if (!self) return;
        inline_ = false;
        if (history.size() >= kHistory) history.pop_back();
        history.insert(history.begin(), line);
        histpos_ = -1;
    }
    if (frame_.cmdedit() != this) return;
    frame_.mdi()->setActiveSubWindow(frame_.cmdhost());
    setFocus();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    if (end.positionInBlock() != 0) end.insertBlock();
    setTextCursor(end);
    prompt();
}

void CmdEdit::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Backspace:
        // the prompt stays
        if (column() <= kPromptLength) {
            frame_.beep();
            return;
        }
        break;
    case Qt::Key_Up:
        if (histpos_ < 0) {
            if (!history.empty()) showhistory(0);
        } else if (static_cast<size_t>(histpos_) + 1 < history.size()) {
            showhistory(histpos_ + 1);
        }
        return;
    case Qt::Key_Down:
        if (histpos_ > 0) showhistory(histpos_ - 1);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        frame_.beep();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enter();
        return;
    default:
        break;
    }
    if (key == Qt::Key_Right || key == Qt::Key_Backspace || key == Qt::Key_Left) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (!event->text().isEmpty() && event->text()[0].isPrint()) {
        // typing always goes to the end of the current line
        if (textCursor().blockNumber() != document()->blockCount() - 1) moveCursor(QTextCursor::End);
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll))
        QPlainTextEdit::keyPressEvent(event);
}

void MainWindow::opencmd() {
    if (!cmdhost_) dispatch(300);
}

void MainWindow::showcmdwin(bool on) {
    if (!on) {
        if (cmdhost_) cmdhost_->close();
        return;
    }
    if (cmdhost_) return;
    cmdhost_ = new HostWindow(*this, "Command", kSplitNone);
    mdi_->addSubWindow(cmdhost_);
    auto* pane = new CmdPane;
    cmdhost_->newmenubar(pane, 0, [this](int32_t id) { cmdfiledlg(id == 139); });
    cmdhost_->setpane(0, pane);
    cmdedit_ = new CmdEdit(*this, pane);
    pane->edit = cmdedit_;
    cmdedit_->setFont(kindfont(FontKind::Command));
    cmdedit_->setGeometry(pane->rect());
    if (arrangement_ == 193) placechild(cmdhost_, config.rect(Window::Cmd));
    else cmdhost_->resize(std::max(200, mdi_->width() / 2), std::max(120, mdi_->height() / 3));
    HostWindow* host = cmdhost_;
    QObject::connect(cmdhost_, &QObject::destroyed, this, [this, host] {
        if (cmdhost_ == host) closecmd();
    });
    // closing the host records where it was
    cmdhost_->installEventFilter(this);
    tbcheck(300, true);
    setchecked(300, true);
    cmdhost_->show();
    mdiupdate();
    cmdedit_->setFocus();
    cmdedit_->prompt();
}

void MainWindow::closecmd() {
    cmdhost_ = nullptr;
    cmdedit_ = nullptr;
    tbcheck(300, false);
    setchecked(300, false);
    if (QAction* a = action(300)) a->setEnabled(!running_);
    mdiupdate();
}

void MainWindow::cmdappend(std::string_view text) {
    if (cmdedit_) cmdedit_->append(text);
}

void MainWindow::cmdfiledlg(bool input) {
    const char* dirkey = input ? "InDir" : "OutDir";
    const char* filekey = input ? "InFile" : "OutFile";
    QString title = input ? "Command Input" : "Command Output";
    QString name;
    if (responder().file) {
        name = responder().file(title);
    } else {
        std::string dir = settings_.read("CommandFile", dirkey, "");
        std::string file = settings_.read("CommandFile", filekey, "");
        QString start = QString::fromStdString(dir.empty() ? file : dir + "/" + file);
        QString filter = input ? "Command Files(*.in);;All Files(*.*)" : "Output Files(*.out);;All Files(*.*)";
        name = input ? QFileDialog::getOpenFileName(this, title, start, filter)
                     : QFileDialog::getSaveFileName(this, title, start, filter);
    }
    if (name.isEmpty()) return;
    std::string path = name.toStdString();
    if (input) {
        if (commands_) commands_->runcmdfile(path);
    } else {
        redirectout(path.c_str(), 0);
    }
    std::string directory, file;
    platform::splitpath(path, directory, file);
    if (!directory.empty() && directory.size() > 1) directory.pop_back();
    settings_.write("CommandFile", filekey, file);
    settings_.write("CommandFile", dirkey, directory);
}

// ---- message boxes ----

MultMessBox::MultMessBox(QWidget* owner, const ColorPalette& palette, bool icon, bool second, const QString& caption,
                         const std::string& text)
    : QDialog(owner), palette_(palette), icon_(icon), text_(text) {
    if (!caption.isEmpty()) setWindowTitle(caption);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(fixed);
    QFontMetrics fm(fixed);
    BoxMetrics m;
    m.charwidth = fm.horizontalAdvance('M');
    m.lineheight = fm.height();
    m.borderwidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    m.iconwidth = 32;
    auto* ok = new QPushButton("OK", this);
    m.buttonwidth = ok->sizeHint().width();
    BoxLayout layout = mboxlayout(text_, icon, second, m);
    setFixedSize(layout.width, layout.height);
    int y = layout.height - ok->sizeHint().height() - 12;
    ok->move(layout.button500x, y);
    QObject::connect(ok, &QPushButton::clicked, this, [this] { done(0); });
    if (second) {
        auto* more = new QPushButton("More", this);
        more->move(layout.button502x, y);
        QObject::connect(more, &QPushButton::clicked, this, [this] { done(1); });
    }
}

void MultMessBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setFont(font());
    QFontMetrics fm(font());
    int x0 = 0;
    if (icon_) {
        QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation);
        p.drawPixmap(20, 20, info.pixmap(32, 32));
        x0 = 32 + 20;
    }
    std::vector<BoxLine> lines = mboxlines(text_);
    int widest = 0;
    for (const BoxLine& line : lines) {
        int w = 0;
        for (const ColourRun& run : line.runs) w += fm.horizontalAdvance(QString::fromLatin1(run.text.c_str()));
        widest = std::max(widest, w);
    }
    int x = x0 + std::max(0, (width() - x0 - widest) / 2);
    int y = 30;
    for (const BoxLine& line : lines) {
        int cx = x;
        for (const ColourRun& run : line.runs) {
            Colour c = palette_.get(run.colour);
            p.setPen(QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff));
            QString t = QString::fromLatin1(run.text.c_str());
            p.drawText(cx, y + fm.ascent(), t);
            cx += fm.horizontalAdvance(t);
        }
        y += fm.height();
    }
}

platform::BoxAnswer MainWindow::messagebox(const platform::BoxRequest& box) {
    if (responder().box) return responder().box(box);
    QWidget* owner = box.owner ? static_cast<QWidget*>(box.owner) : this;
    if (box.buttons == platform::BoxButtons::OkMore || box.icon == platform::BoxIcon::None) {
        MultMessBox dialog(owner, config.palette, box.icon != platform::BoxIcon::None,
                           box.buttons == platform::BoxButtons::OkMore, QString::fromStdString(box.caption),
                           box.text);
        answerlater(dialog);
        return dialog.exec() == 0 ? platform::BoxAnswer::Ok : platform::BoxAnswer::More;
    }
    QMessageBox::Icon icon = box.icon == platform::BoxIcon::Information ? QMessageBox::Information
                             : box.icon == platform::BoxIcon::Question  ? QMessageBox::Question
                             : box.icon == platform::BoxIcon::Error     ? QMessageBox::Critical
                                                                        : QMessageBox::Warning;
    QMessageBox dialog(icon, QString::fromStdString(box.caption), QString::fromLatin1(box.text.c_str()),
                       box.buttons == platform::BoxButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                                  : QMessageBox::Ok,
                       owner);
    answerlater(dialog);
    int answer = dialog.exec();
    if (box.buttons == platform::BoxButtons::YesNo)
        return answer == QMessageBox::Yes ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
    return platform::BoxAnswer::Ok;
}

// ---- symbol popups ----

QMenu* symbolpopup(QWidget* owner, bool asmvariable, const QString& name, std::function<void(int32_t)> handler) {
    auto* menu = new QMenu(owner);
    bool first = true;
    for (const res::MenuRow& row : asmvariable ? res::asmpopup() : res::lblpopup()) {
        if (row.kind == res::MenuKind::Separator) {
            menu->addSeparator();
            continue;
        }
        QString text = first ? QString("Address &of ") + name : QString::fromLatin1(row.text);
        first = false;
        int32_t id = row.id;
        QAction* a = menu->addAction(text);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, menu, [handler, id] { handler(id); });
    }
    return menu;
}

void sympopup(QWidget* window, QPoint at, const QString& name, std::function<void(int32_t)> handler) {
    QMenu* menu = symbolpopup(window, false, name, std::move(handler));
    menu->exec(window->mapToGlobal(at));
    menu->deleteLater();
}

void nodepopup(QWidget* window, QPoint at, const QString& item, std::function<void(int32_t)> handler) {
    QMenu* menu = symbolpopup(window, true, item, std::move(handler));
    menu->exec(window->mapToGlobal(at));
    menu->deleteLater();
}

// ---- the key-binding dialog ----

namespace {

class KeyBindDialog : public QDialog {
public:
    KeyBindDialog(MainWindow& frame) : QDialog(&frame), frame_(frame) {
        setWindowTitle("Key Binding");
        setObjectName("KEYBIND");
        auto* grid = new QGridLayout(this);
        for (int i = 0; i < KeyBindings::Keys; ++i) {
            auto* b = new QPushButton(QString("F%1").arg(i + 1), this);
            b->setObjectName(QString("F%1").arg(i + 1));
            b->setAutoDefault(false);
            grid->addWidget(b, i / 6, i % 6);
            connect(b, &QPushButton::clicked, this, [this, i] { selectkey(i); });
        }
        shift_ = new QPushButton("Shift", this);
        shift_->setObjectName("Shift");
        shift_->setCheckable(true);
        ctrl_ = new QPushButton("Ctrl", this);
        ctrl_->setObjectName("Ctrl");
        ctrl_->setCheckable(true);
        for (QPushButton* b : {shift_, ctrl_}) {
            b->setAutoDefault(false);
            connect(b, &QPushButton::clicked, this, [this] { showkey(); });
        }
        grid->addWidget(shift_, 2, 0);
        grid->addWidget(ctrl_, 2, 1);
        keytext_ = new QLineEdit(this);
        keytext_->setObjectName("keytext");
        keytext_->setReadOnly(true);
        grid->addWidget(keytext_, 2, 2, 1, 4);
        list_ = new QComboBox(this);
        list_->setObjectName("commands");
        for (const res::BindableRow& row : res::bindables()) list_->addItem(row.text, row.id);
        list_->setCurrentIndex(-1);
        grid->addWidget(list_, 3, 0, 1, 6);
        connect(list_, &QComboBox::activated, this, [this] {
            if (key_ < 0) errorboxw(this, {"No Key Selected"});
        });
        const char* names[] = {"&Set", "C&lear", "&Close", "&Cancel"};
        const char* objects[] = {"Set", "Clear", "Close", "Cancel"};
        for (int i = 0; i < 4; ++i) {
            auto* b = new QPushButton(names[i], this);
            b->setObjectName(objects[i]);
            b->setAutoDefault(false);
            grid->addWidget(b, 4, i);
            connect(b, &QPushButton::clicked, this, [this, i] { button(i); });
        }
        frame_.keys.saved = frame_.keys.table;
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        int k = event->key();
        if (k >= Qt::Key_F1 && k <= Qt::Key_F12) {
            selectkey(k - Qt::Key_F1);
            return;
        }
        if (k == Qt::Key_Escape) {
            // Escape leaves the bindings as they were when the dialog opened
            frame_.keys.table = frame_.keys.saved;
            reject();
            return;
        }
        QDialog::keyPressEvent(event);
    }

private:
    void selectkey(int key) {
        key_ = key;
        showkey();
    }
    void showkey() {
        if (key_ < 0) return;
        keytext_->setText(QString::fromStdString(keytext(key_, shift_->isChecked(), ctrl_->isChecked())));
        int32_t id = frame_.keys.binding(key_, shift_->isChecked(), ctrl_->isChecked());
        list_->setCurrentIndex(id ? list_->findData(id) : -1);
    }
    int32_t& slot() {
        return frame_.keys.table[static_cast<size_t>(key_)][static_cast<size_t>(
            KeyBindings::slot(shift_->isChecked(), ctrl_->isChecked()))];
    }
    void button(int which) {
        switch (which) {
        case 0:  // Set
            if (key_ < 0) {
                errorboxw(this, {"No Key Selected"});
                return;
            }
            if (list_->currentIndex() < 0) return;
            // the command bound before loses its key text
            if (slot() != 0)
                if (QAction* a = frame_.action(slot()))
                    a->setText(QString::fromStdString(withoutkey(a->text().toStdString())));
            slot() = list_->currentData().toInt();
            return;
        case 1:  // Clear
            if (key_ < 0) {
                errorboxw(this, {"No Key Selected"});
                return;
            }
            slot() = 0;
            return;
        case 2:  // Close
            accept();
            return;
        default:  // Cancel
            frame_.keys.table = frame_.keys.saved;
            reject();
            return;
        }
    }

    MainWindow& frame_;
    int key_ = -1;
    QPushButton* shift_;
    QPushButton* ctrl_;
    QLineEdit* keytext_;
    QComboBox* list_;
};

}  // namespace

void MainWindow::keybinddialog() {
    KeyBindDialog dialog(*this);
    answerlater(dialog);
    if (dialog.exec() == QDialog::Accepted) updatekeytexts();
    keys.saved = keys.table;
}

}  // namespace vek::shell
