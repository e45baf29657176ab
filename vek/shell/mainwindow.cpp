// The frame: menus, tool bar, status bar, MDI area, the command dispatcher,
// run-state switching, function keys and the settings it reads and writes.
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMdiArea>
#include <QMenu>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QUrl>

#include <cstdlib>

#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"
#include "vek/resources/menus.h"
#include "vek/shell/loaddialogs.h"
#include "vek/shell/sessions.h"
#include "vek/shell/shell.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/shell/extdialogs.h"
#include "vek/shell/gotill.h"
#include "vek/shell/amclink.h"

namespace vek::shell {

namespace res = vek::resources;

namespace {

// Commands that carry a check mark.
const std::set<int32_t> kCheckable = {109, 110, 112, 190, 191, 192, 193, 300, 301, 310, 320, 330, 335, 336, 340,
                                      390, 460, 461, 462, 463, 633, 634, 635, 10000, 10014, 10010, 10011,
                                      10012, 10013};

// Commands refused (with a beep) while the target runs.
const std::set<int32_t> kNeedStopped = {101, 102, 103, 104, 107, 109, 110, 117, 146, 201, 202, 203, 204, 205, 206,
                                        207, 208, 209, 210, 211, 212, 213, 216};

// The tool-bar entries that only work on a stopped target.
const int32_t kStoppedTools[] = {101, 805, 806, 204, 203, 205, 201};

// A gauge drawn from its model: a sunken frame, filled in red.
class GaugeBar : public QWidget {
public:
    GaugeBar(const Gauge& g, QWidget* parent) : QWidget(parent), gauge_(g) { setFixedWidth(104); }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!gauge_.on) return;
        QPainter p(this);
        QRect r = rect().adjusted(0, 2, -1, -3);
        QStyleOption frame;   // the style reads the option: never null
        frame.initFrom(this);
        frame.state |= QStyle::State_Sunken;
        style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(r);
        int w = gauge_.fill(100);
        if (w > 0) p.fillRect(QRect(r.left() + 1, r.top() + 1, w, r.height() - 1), QColor(255, 0, 0));
    }

private:
    const Gauge& gauge_;
};

QIcon glyphicon(const char* glyph) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawRect(1, 1, 17, 17);
    p.drawText(QRect(1, 1, 18, 18), Qt::AlignCenter, QString::fromLatin1(glyph));
    return QIcon(pm);
}

QColor qcolour(Colour c) { return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff); }
Colour colourref(const QColor& q) {
    return static_cast<Colour>(q.red()) | static_cast<Colour>(q.green()) << 8 | static_cast<Colour>(q.blue()) << 16;
}

struct FontChoice {
    int32_t id;
    FontKind kind;
};
constexpr FontChoice kFontChoices[] = {
    {401, FontKind::Source},  {402, FontKind::Assembler}, {403, FontKind::Register}, {404, FontKind::Monitor},
    {405, FontKind::Stack},   {406, FontKind::Command},   {408, FontKind::Memory},   {409, FontKind::Browser},
};

struct ColourChoice {
    int32_t id;
    int key;       // Config colour key, -1: palette only
    int palette;   // palette entry, -1: none
};
constexpr ColourChoice kColourChoices[] = {
    {411, Config::Source, -1},      {412, Config::Assembler, -1},   {413, Config::Instruction, -1},
    {414, Config::BkptOn, 12},      {415, Config::BkptOff, 13},     {416, Config::Memory, 10},
    {417, Config::CKeyword, 5},     {420, Config::CLibrary, 6},     {421, Config::Comments, 7},
    {422, Config::Mnemonics, 11},   {423, Config::Preprocessor, 14}, {424, Config::Defines, 16},
    {425, Config::Typedefs, 17},    {426, Config::Search, 18},
};

// Layout keys with the command that opens each window, in restore order.
struct LayoutRow {
    const char* key;
    int32_t id;
};
constexpr LayoutRow kRestoreOrder[] = {{"Registers", 310}, {"Disassembly", 320}, {"Stack", 330},
                                       {"Locals", 335},    {"Globals", 336},     {"Command", 300}};
constexpr LayoutRow kSaveOrder[] = {{"Registers", 310}, {"Command", 300}, {"Locals", 335},    {"Globals", 336},
                                    {"Stack", 330},     {"Monitors", 340}, {"Disassembly", 320}};

}  // namespace

Responder& responder() {
    static Responder r;
    return r;
}

void answerlater(QDialog& dialog) {
    if (responder().dialog)
        QMetaObject::invokeMethod(&dialog, [&dialog] { responder().dialog(&dialog); }, Qt::QueuedConnection);
}

// The web pages of menu 14000: France, Germany, any other territory.
const char* const kWebPages[] = {"https://vek.example/fr/", "https://vek.example/de/", "https://vek.example/"};

static const char* webpage(QLocale::Territory territory) {
    return territory == QLocale::France ? kWebPages[0] : territory == QLocale::Germany ? kWebPages[1] : kWebPages[2];
}

static void openwebpage() { QDesktopServices::openUrl(QUrl(webpage(QLocale().territory()))); }

bool displayavailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

MainWindow::MainWindow(Settings& settings, CommandHost* commands, FrameOptions options)
    : settings_(settings), commands_(commands), options_(options) {
    setWindowTitle("Vek");
    // boxes from the start on (a settings file that cannot be written)
    platform::setwindowhost(this);
    customcolours_.fill(0xffffff);
    textcolours_.fill(0);
    ScreenMetrics screen;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        screen.width = s->geometry().width();
        screen.height = s->geometry().height();
    }
    screen.caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    screen.scrollbar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    readconfig(settings_, config, screen);

    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    buildmenus();
    buildstatusbar();
    dispatch(392);

    // size and place from the main window rectangle
    Rect r = config.rect(Window::Vek);
    int32_t w = r.right - r.left, h = r.bottom - r.top;
    bool maximise = w >= screen.width && h >= screen.height;
    w = std::max(w, screen.width / 2);
    h = std::max(h, screen.height / 2);
    QPoint origin(r.left, r.top);
    if (!QGuiApplication::screenAt(origin + QPoint(w / 2, h / 2))) origin = QPoint(0, 0);
    if (maximise) {
        w -= 20;
        h -= 20;
        origin += QPoint(10, 10);
    }
    placed_ = {origin.x(), origin.y(), origin.x() + w, origin.y() + h};
    resize(w, h);
    move(origin);
    if (maximise && options_.normalshow) setWindowState(Qt::WindowMaximized);
    if (!options_.normalshow) setWindowState(Qt::WindowMinimized);
    screen.width = r.right;
    screen.height = r.bottom;
    readrects(settings_, config, screen);
    qApp->installEventFilter(this);
    setstatus(0, " Command");
}

MainWindow::~MainWindow() {
    // the children go after this part of the window: they must not call back
    if (cmdhost_) QObject::disconnect(cmdhost_, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    if (&platform::windowhost() == this) platform::setwindowhost(nullptr);
}

// ---- menus, tool bar, status bar ----

void MainWindow::buildmenus() {
    std::vector<QMenu*> stack;
    for (const res::MenuRow& row : res::mainmenu()) {
        QMenu* parent = row.depth > 0 && static_cast<size_t>(row.depth) <= stack.size()
                            ? stack[static_cast<size_t>(row.depth - 1)]
                            : nullptr;
        stack.resize(static_cast<size_t>(row.depth));
        switch (row.kind) {
        case res::MenuKind::Popup: {
            QMenu* menu = parent ? parent->addMenu(QString::fromLatin1(row.text))
                                 : menuBar()->addMenu(QString::fromLatin1(row.text));
            menu->menuAction()->setData(row.id);
            menu->menuAction()->setProperty("popup", true);
            connect(menu, &QMenu::hovered, this, [this](QAction* a) {
                showmenuhelp(a->isSeparator() ? -1 : a->data().toInt());
            });
            connect(menu, &QMenu::aboutToHide, this, [this] { showmenuhelp(-1); });
            if (row.depth == 0 && row.id == 19901)
                connect(menu, &QMenu::aboutToShow, this, [this] { addrecentfiles(); });
            stack.push_back(menu);
            break;
        }
        case res::MenuKind::Separator:
            if (parent) parent->addSeparator();
            break;
        case res::MenuKind::Item: {
            if (!parent) break;
            QAction* a = parent->addAction(QString::fromLatin1(row.text));
            int32_t id = row.id;
            a->setData(id);
            a->setCheckable(kCheckable.count(id) != 0);
            connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
            break;
        }
        }
    }
    connect(menuBar(), &QMenuBar::hovered, this, [this](QAction* a) { showmenuhelp(a->data().toInt()); });
    setchecked(109, true);
    setchecked(112, true);
    setchecked(10000, true);
    setchecked(10010, true);
    setchecked(634, true);
    setchecked(190, true);
    setchecked(460, true);
    setchecked(390, true);
}

void MainWindow::buildtoolbar() {
    toolbar_ = new QToolBar("Tool Bar", this);
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(20, 20));
    for (const res::ToolRow& row : res::toolbar()) {
        if (row.id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QIcon icon = row.id == 101 ? style()->standardIcon(QStyle::SP_DialogOpenButton) : glyphicon(row.glyph);
        const char* tip = res::tooltip(row.id);
        QAction* a = toolbar_->addAction(icon, tip ? QString::fromLatin1(tip) : QString());
        int32_t id = row.id;
        a->setData(id);
        a->setCheckable(row.check);
        if (row.check) a->setChecked(false);
        connect(a, &QAction::triggered, this, [this, id, a] {
            // a check button shows its window's state, not the click
            if (a->isCheckable()) a->setChecked(!a->isChecked());
            dispatch(id);
        });
        tools_[id] = a;
    }
    tools_[1]->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, toolbar_);
}

void MainWindow::buildstatusbar() {
    QStatusBar* bar = statusBar();
    for (size_t i = 0; i < parts_.size(); ++i) {
        parts_[i] = new QLabel(bar);
        parts_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(parts_[i]);
    }
    gaugebar_ = new GaugeBar(gauge_, bar);
    bar->addPermanentWidget(gaugebar_);
    dividestatus();
}

void MainWindow::dividestatus() {
    int w = width() - 20 - 120;
    if (w < 8) w = 8;
    const int edges[] = {w >> 2, w >> 1, (w >> 1) + (w >> 2), w};
    int left = 0;
    for (size_t i = 0; i < parts_.size(); ++i) {
        parts_[i]->setFixedWidth(std::max(1, edges[i] - left));
        left = edges[i];
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    dividestatus();
}

QAction* MainWindow::action(int32_t id) const {
    std::vector<QMenu*> todo;
    for (QAction* a : menuBar()->actions())
        if (a->menu()) todo.push_back(a->menu());
    while (!todo.empty()) {
        QMenu* m = todo.front();
        todo.erase(todo.begin());
        for (QAction* a : m->actions()) {
            if (a->menu()) todo.push_back(a->menu());
            else if (!a->isSeparator() && a->data().toInt() == id) return a;
        }
    }
    return nullptr;
}

QAction* MainWindow::toolaction(int32_t id) const {
    auto it = tools_.find(id);
    return it == tools_.end() ? nullptr : it->second;
}

QMenu* MainWindow::menuat(int position) const {
    QList<QAction*> list = menuBar()->actions();
    return position >= 0 && position < list.size() ? list[position]->menu() : nullptr;
}

namespace {
QAction* entryat(QMenu* menu, int position) {
    if (!menu) return nullptr;
    QList<QAction*> list = menu->actions();
    return position >= 0 && position < list.size() ? list[position] : nullptr;
}
}  // namespace

void MainWindow::setchecked(int32_t id, bool on) {
    if (QAction* a = action(id)) a->setChecked(on);
}

void MainWindow::radio(int32_t first, int32_t last, int32_t id) {
    for (int32_t i = first; i <= last; ++i) setchecked(i, i == id);
}

void MainWindow::tbcheck(int32_t id, bool shown) {
    if (QAction* a = toolaction(id)) {
        a->setEnabled(true);
        a->setChecked(shown);
    }
}

void MainWindow::tbrunstate(bool running) {
    for (int32_t id : kStoppedTools)
        if (QAction* a = toolaction(id)) a->setEnabled(!running);
    if (QAction* a = toolaction(1)) a->setEnabled(running);
}

QString MainWindow::statustext(int part) const {
    return part >= 0 && part < 4 ? parts_[static_cast<size_t>(part)]->text() : QString();
}

void MainWindow::setstatus(int part, std::string_view text) {
    platform::WindowHost::setstatus(part, text);
    if (part >= 0 && part < 4 && parts_[static_cast<size_t>(part)])
        parts_[static_cast<size_t>(part)]->setText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
}

void MainWindow::showmenuhelp(int32_t id) {
    if (running_) return;
    const char* text = id == -1 ? nullptr : res::menuhelp(id);
    setstatus(0, text && *text ? text : " Command ");
}

void MainWindow::gauge(bool on, uint32_t total) {
    gauge_.set(on, total);
    gaugebar_->update();
}

void MainWindow::gaugeadd(uint32_t n) {
    gauge_.add(n);
    gaugebar_->repaint();
}

void MainWindow::addrecentfiles() {
    if (recentadded_) return;
    recentadded_ = true;
    rebuildrecentmenu(*this);
}

// ---- run state ----

void MainWindow::setrunstate(bool running) {
    running_ = running;
    if (running) stop_ = false;
    auto enable = [](QAction* a, bool on) {
        if (a) a->setEnabled(on);
    };
    enable(menuat(res::DebugMenu)->menuAction(), !running);
    enable(menuat(res::FileMenu)->menuAction(), !running);
    enable(action(300), !running || cmdhost_);
    enable(entryat(menuat(res::SetupMenu), 7), !running);
    enable(entryat(menuat(res::SetupMenu), 0), !running);
    for (int pos : {2, 3}) enable(entryat(menuat(res::EventsMenu), pos), !running);
    for (int pos : {10, 12}) enable(entryat(menuat(res::BrowseMenu), pos), !running);
    for (int pos : {2, 3, 7}) enable(entryat(menuat(res::ShowMenu), pos), !running);
    tbrunstate(running);
    setcursor(running ? platform::Cursor::Wait : platform::Cursor::Arrow);
    lastpump_ = 0;
    pumpmsgs();
}

bool MainWindow::pumpmsgs() {
    // the queue is looked at every 10 ms at most: looking costs more than a
    // simulated instruction
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastpump_ >= 10) {
        lastpump_ = now;
        QCoreApplication::processEvents();
    }
    return stop_;
}

void MainWindow::setcursor(platform::Cursor cursor) {
    platform::WindowHost::setcursor(cursor);
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    if (cursor == platform::Cursor::Wait) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MainWindow::beep() {
    ++beeps;
    QApplication::beep();
}

bool MainWindow::refused() {
    if (!running_) return false;
    beep();
    return true;
}

// ---- keys ----

bool MainWindow::functionkey(int key, bool shift, bool ctrl) {
    int32_t id = keys.binding(key, shift, ctrl);
    if (id == 0) return false;
    dispatch(id);
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    QEvent::Type type = event->type();
    if (type == QEvent::Close && cmdhost_ && watched == cmdhost_) {
        // the window goes now; its object a little later
        config.rect(Window::Cmd) = childrect(cmdhost_);
        cmdhost_->removeEventFilter(this);
        QObject::disconnect(cmdhost_, nullptr, this, nullptr);
        cmdhost_->hide();
        closecmd();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    int k = key->key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z && !key->isAutoRepeat() && type != QEvent::ShortcutOverride) {
        if (type == QEvent::KeyPress) heldletters.insert(k);
        else heldletters.erase(k);
    }
    if (type != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    if (running_ && k == Qt::Key_Escape) {
        stop_ = true;
        activateWindow();
        return true;
    }
    // the dialogs (key binding among them) read function keys themselves
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12 && !QApplication::activeModalWidget() &&
        !QApplication::activePopupWidget()) {
        bool shift = key->modifiers() & Qt::ShiftModifier, ctrl = key->modifiers() & Qt::ControlModifier;
        int n = k - Qt::Key_F1;
        if (functionkey(n, shift, ctrl)) return true;
        if (k == Qt::Key_F10 && !menuBar()->actions().isEmpty()) {
            menuBar()->setFocus();
            menuBar()->setActiveAction(menuBar()->actions().first());
            return true;
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::updatekeytexts() {
    MenuTexts texts;
    texts.text = [this](int32_t id, std::string& text) {
        QAction* a = action(id);
        if (!a) return false;
        text = a->text().toStdString();
        return true;
    };
    texts.settext = [this](int32_t id, const std::string& text) {
        if (QAction* a = action(id)) a->setText(QString::fromStdString(text));
    };
    updatemenutexts(keys, texts);
}

// ---- start and end ----

void MainWindow::startup() {
    // the stored rectangle is the frame's: take the frame's margins off
    startgeometry_ = geometry();
    keys.read(settings_);
    updatekeytexts();
    restorelayout();
    std::string tile = settings_.read("Options", "Tile", "Cascade");
    char t = tile.empty() ? 'c' : static_cast<char>(tile[0] | 0x20);
    dispatch(t == 'h' ? 191 : t == 'v' ? 192 : t == 'f' ? 193 : 190);
    std::string base = settings_.read("Options", "DefIntFormat", "D");
    char b = base.empty() ? 'd' : static_cast<char>(base[0] | 0x20);
    // reading the format does not write it back
    defintformat = b == 'o' ? 461 : b == 'h' ? 462 : b == 'b' ? 463 : 460;
    radio(460, 463, defintformat);
    std::string var = settings_.read("Options", "VarFormat", "YES");
    char v = var.empty() ? 's' : static_cast<char>(var[0] | 0x20);
    varformat = v == 'f' ? 635 : v == 'b' ? 633 : 634;
    radio(633, 635, varformat);
    std::string symb = settings_.read("Options", "LOAD_SYMB_ONLY", "N");
    if (!symb.empty() && (symb[0] | 0x20) == 'y') dispatch(110);
    std::string autocmd = settings_.read("OPTIONS", "AUTOCMD", "NO");
    outstate().autocmd = !autocmd.empty() && (autocmd[0] | 0x20) == 'y';
    setstatus(0, " Command");
}

void MainWindow::shutdown() {
    if (saveonexit) saveconfiguration();
    keys.write(settings_);
}

void MainWindow::saveconfiguration() {
    config.loadsymbolsonly = !loadcode;
    shell::saveconfig(settings_, config);
}

void MainWindow::savelayout() {
    settings_.write("LayOut", "Save", saveonexit ? "YES" : "NO");
    for (const LayoutRow& row : kSaveOrder) {
        Shown shown = Shown::No;
        if (row.id == 300) {
            if (cmdhost_) shown = cmdhost_->isMinimized() ? Shown::Iconic : Shown::Yes;
        } else if (auto it = views_.find(row.id); it != views_.end() && it->second.isopen()) {
            shown = it->second.isminimised && it->second.isminimised() ? Shown::Iconic : Shown::Yes;
        }
        settings_.write("LayOut", row.key, showntext(shown));
    }
    const char* tile = arrangement_ == 191 ? "HORIZONTAL" : arrangement_ == 192 ? "VERTICAL"
                                                          : arrangement_ == 193 ? "FREE" : "CASCADE";
    settings_.write("Options", "Tile", tile);
}

void MainWindow::restorelayout() {
    bool save = parseshown(settings_.read("LayOut", "Save", "")) == Shown::Yes;
    if (save != saveonexit) dispatch(112);
    for (const LayoutRow& row : kRestoreOrder) {
        Shown shown = parseshown(settings_.read("LayOut", row.key, ""));
        if (shown == Shown::No) continue;
        if (row.id == 300) {
            if (!cmdhost_) dispatch(300);
            if (shown == Shown::Iconic && cmdhost_) cmdhost_->showMinimized();
            continue;
        }
        auto it = views_.find(row.id);
        if (it == views_.end()) continue;
        if (!it->second.isopen()) dispatch(row.id);
        if (shown == Shown::Iconic) it->second.show(false);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        savelayout();
        if (cmdhost_) config.rect(Window::Cmd) = childrect(cmdhost_);
        std::string endfile = settings_.read("OPTIONS", "ENDFILE", "");
        if (!endfile.empty() && commands_) commands_->runcmdfile(endfile);
    }
    recordframe();
    event->accept();
}

// ---- windows ----

void MainWindow::recordframe() {
    if (isMinimized() || isMaximized()) return;
    // a window nobody moved keeps the rectangle it was given exactly,
    // whatever frame the window system drew round it
    if (geometry() == startgeometry_) {
        config.rect(Window::Vek) = placed_;
        return;
    }
    QRect g = frameGeometry();
    config.rect(Window::Vek) = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

Rect MainWindow::childrect(QMdiSubWindow* child) const {
    QRect g = child->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void MainWindow::placechild(QMdiSubWindow* child, const Rect& r) {
    child->setGeometry(r.left, r.top, std::max(1, r.right - r.left), std::max(1, r.bottom - r.top));
}

QFont MainWindow::kindfont(FontKind kind) const {
    const LogFont& lf = config.fonts[static_cast<size_t>(kind)];
    QFont f(QString::fromStdString(lf.face));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    int size = lf.height < 0 ? -lf.height : lf.height;
    f.setPixelSize(size > 0 && size < 200 ? size : 13);
    if (lf.weight > 0 && lf.weight <= 1000) f.setWeight(static_cast<QFont::Weight>(lf.weight));
    f.setItalic(lf.italic);
    f.setUnderline(lf.underline);
    f.setStrikeOut(lf.strikeout);
    if (!QFontInfo(f).fixedPitch()) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPixelSize(f.pixelSize());
        fixed.setWeight(f.weight());
        fixed.setItalic(f.italic());
        fixed.setUnderline(f.underline());
        fixed.setStrikeOut(f.strikeOut());
        return fixed;
    }
    return f;
}

void MainWindow::arrange(int id) {
    arrangement_ = id;
    radio(190, 193, id);
    QList<QMdiSubWindow*> all = mdi_->subWindowList();
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : all)
        if (!w->isMinimized() && !w->isHidden()) shown.push_back(w);
    if (id == 190) {
        mdi_->cascadeSubWindows();
    } else if ((id == 191 || id == 192) && !shown.isEmpty()) {
        // one full-width row, or one full-height column, per window
        QSize area = mdi_->viewport()->size();
        int n = static_cast<int>(shown.size());
        for (int i = 0; i < n; ++i) {
            if (id == 191) {
                int h = area.height() / n;
                shown[i]->setGeometry(0, i * h, area.width(), i == n - 1 ? area.height() - i * h : h);
            } else {
                int w = area.width() / n;
                shown[i]->setGeometry(i * w, 0, i == n - 1 ? area.width() - i * w : w, area.height());
            }
        }
    }
}

void MainWindow::mdiupdate() {
    if (arrangement_ == 191 || arrangement_ == 192) arrange(arrangement_);
}

// ---- the command dispatcher ----

void MainWindow::command(const std::string& line) {
    journal.push_back(line);
    if (commands_) commands_->docmd(line);
}

int MainWindow::dispatch(int32_t id, const QString& param) {
    if (kNeedStopped.count(id) && refused()) return 0;
    switch (id) {
    case 1:
        activateWindow();
        stop_ = true;
        return 0;
    case 101:
    case 103:
        if (openprogram(*this, id) && id == 103) command("go");
        return 0;
    case 104: {
        std::string start;
        if (askgofrom(*this, start) && openprogram(*this, 103, {}, start)) command("go");
        return 0;
    }
    case 102:
        openprogram(*this, 102, param.toStdString());
        return 0;
    case 107:
        setcursor(platform::Cursor::Wait);
        command("zero");
        setcursor(platform::Cursor::Arrow);
        return 1;
    case 109:
    case 110: {
        loadcode = id == 109;
        radio(109, 110, id);
        QAction* popup = entryat(menuat(res::SetupMenu), 0);
        if (popup) popup->setText(loadcode ? "Load &Options  (Code and Symbols)" : "Load &Options  (Symbols Only)");
        if (QAction* load = action(101)) {
            // a bound key stays after the tab
            std::string text = load->text().toStdString();
            size_t tab = text.find('\t');
            std::string key = tab == std::string::npos ? "" : text.substr(tab > 0 && text[tab - 1] == ' ' ? tab - 1 : tab);
            load->setText(QString::fromStdString((loadcode ? "&Load (Code and Symbols)" : "&Load (Symbols Only)") + key));
        }
        return 0;
    }
    case 111: {
        savelayout();
        recordframe();
        saveconfiguration();
        return 0;
    }
    case 112:
        saveonexit = !saveonexit;
        setchecked(112, saveonexit);
        return 0;
    case 113: {
        std::string text = "Vek for PPC SIMULATION\nKernel: V5.6.33 (26 JUN 2012 - 32 bits)\n"
                           "Processor: P2.4e (28 MAR 2011)\nOrbelt Format";
        infobox({text});
        return 0;
    }
    case 117:
    case 145:
        close();
        return 0;
    case 180:
    case 181:
    case 182:
    case 183:
    case 184:
        if (!refused()) openrecent(*this, id);
        return 0;
    case 189: {
        std::string name = settings_.read("Files", "1", "");
        if (!name.empty() && commands_ && !refused()) {
            journal.push_back("load " + name);
            commands_->loadprogram(name);
        }
        return 0;
    }
    case 190:
    case 191:
    case 192:
    case 193:
        arrange(id);
        return 0;
    case 201: command("go"); return 0;
    case 203: command("step"); return 0;
    case 204: command("istep"); return 0;
    case 205: command("ostep"); return 0;
    case 207: command("go"); return 1;
    case 208:
        command("zero /r");
        command("go");
        return 1;
    case 209: command("zero /r"); return 1;
    case 210: command("step"); return 0;
    case 211: command("mstep"); return 0;
    case 216: command("mcstep"); return 0;
    case 146:
        reloadsegs(*this);
        return 0;
    case 131:
    case 132:
    case 133:
    case 134:
        sessionmenu(*this, id);
        return 0;
    case 9200: amcconnect(); return 0;
    case 9201: amcdisconnect(); return 0;
    case 14000: openwebpage(); return 0;
    case 202:
    case 206:
    case 212:
    case 213: {
        std::string line = gotilldlg(id, programindex, this);
        if (!line.empty()) command(line);
        return 0;
    }
    case 300:
        showcmdwin(!cmdhost_);
        return 0;
    case 390:
        statusBar()->setVisible(!statusBar()->isVisible());
        setchecked(390, statusBar()->isVisible());
        return 0;
    case 392:
        if (!toolbar_) buildtoolbar();
        else toolbar_->setVisible(!toolbar_->isVisible());
        return 0;
    case 401: case 402: case 403: case 404: case 405: case 406: case 407: case 408: case 409:
        choosefont(id);
        return 0;
    case 411: case 412: case 413: case 414: case 415: case 416: case 417: case 420: case 421: case 422:
    case 423: case 424: case 425: case 426:
        choosecolour(id);
        return 0;
    case 460:
    case 461:
    case 462:
    case 463: {
        const char* names[] = {"Decimal", "Octal", "Hexadecimal", "Binary"};
        settings_.write("Options", "DefIntFormat", names[id - 460]);
        defintformat = id;
        radio(460, 463, id);
        return 0;
    }
    case 633:
    case 634:
    case 635: {
        const char* names[] = {"BRIEF", "Standard", "Full"};
        settings_.write("Options", "VarFormat", names[id - 633]);
        varformat = id;
        radio(633, 635, id);
        return 0;
    }
    case 1100:
    case 13005:
        return 0;
    case 1310:
        keybinddialog();
        return 0;
    case 10000:
        colouring = !colouring;
        setchecked(10000, colouring);
        return 0;
    case 10014:
        addresscolumn = true;
        coverage = 0;
        setchecked(10014, true);
        radio(10010, 10013, 10013);
        return 0;
    case 10013:
        coverage = 0;
        addresscolumn = false;
        setchecked(10014, false);
        radio(10010, 10013, 10013);
        return 0;
    case 10010:
    case 10011:
    case 10012:
        coverage = id;
        addresscolumn = false;
        setchecked(10014, false);
        radio(10010, 10013, id);
        return 0;
    case 13001:
    case 13002:
    case 13003: {
        const char* files[] = {"VEKUSE.HLP", "CHELP.HLP", "CLIB.HLP"};
        QString dir = QCoreApplication::applicationDirPath();
        QDesktopServices::openUrl(QUrl::fromLocalFile(dir + "/" + files[id - 13001]));
        return 0;
    }
    case 1350: availdlg(this); return 0;
    case 1351: loadeddlg(this); return 0;
    case 1352:
        if (extpathdlg(this)) config.extenpath = extensions().extenpath;
        setstatus(0, " Command");
        return 0;
    default:
        break;
    }
    if (id >= 118 && id <= 121) return 0;
    if (auto it = views_.find(id); it != views_.end()) {
        bool open = it->second.isopen();
        it->second.show(!open);
        setchecked(id, !open);
        tbcheck(id, !open);
    } else if (viewcommand && viewcommand(id)) {
        return 0;
    } else if (exportstate().menucommand) {
        // Ids of extension items (AllocateMenuIDs, tool-bar buttons).
        exportstate().menucommand(int(id));
    }
    return 0;
}

// ---- font and colour choice ----

void MainWindow::choosefont(int32_t id) {
    FontKind kind = FontKind::Source;
    for (const FontChoice& c : kFontChoices)
        if (c.id == id) kind = c.kind;
    QFontDialog dialog(kindfont(kind), this);
    dialog.setOption(QFontDialog::MonospacedFonts);
    dialog.setWindowTitle("Font");
    QPushButton* colourbutton = new QPushButton("&Color...", &dialog);
    uint32_t colour = textcolours_[static_cast<size_t>(kind)];
    QObject::connect(colourbutton, &QPushButton::clicked, &dialog, [&colour, &dialog] {
        QColor c = QColorDialog::getColor(qcolour(colour), &dialog, "Color");
        if (c.isValid()) colour = colourref(c);
    });
    if (auto* layout = dialog.layout()) layout->addWidget(colourbutton);
    answerlater(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    QFont f = dialog.selectedFont();
    LogFont lf = config.fonts[static_cast<size_t>(kind)];
    lf.face = f.family().left(31).toStdString();
    lf.height = -(f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize());
    lf.weight = f.weight();
    lf.italic = f.italic();
    lf.underline = f.underline();
    lf.strikeout = f.strikeOut();
    if (id == 407) {
        for (LogFont& each : config.fonts) each = lf;
        textcolours_.fill(colour);
    } else {
        config.fonts[static_cast<size_t>(kind)] = lf;
        textcolours_[static_cast<size_t>(kind)] = colour;
    }
    if ((id == 406 || id == 407) && cmdedit_) cmdedit_->setFont(kindfont(FontKind::Command));
}

void MainWindow::choosecolour(int32_t id) {
    for (const ColourChoice& c : kColourChoices) {
        if (c.id != id) continue;
        Colour current = c.key >= 0 ? config.colours[static_cast<size_t>(c.key)] : config.palette.get(c.palette);
        QColorDialog dialog(qcolour(current), this);
        for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, qcolour(customcolours_[static_cast<size_t>(i)]));
        answerlater(dialog);
        if (dialog.exec() != QDialog::Accepted) return;
        for (int i = 0; i < 16; ++i)
            customcolours_[static_cast<size_t>(i)] = colourref(QColorDialog::customColor(i));
        Colour chosen = colourref(dialog.selectedColor());
        if (c.key >= 0) config.colours[static_cast<size_t>(c.key)] = chosen;
        if (c.palette >= 0) config.palette.setcolor(c.palette, chosen);
        return;
    }
}

// ---- the shell as a whole ----

Shell::Shell(CommandHost* commands, FrameOptions options) : settings(settingspath()) {
    frame_ = std::make_unique<MainWindow>(settings, commands, options);
}

Shell::~Shell() { frame_.reset(); }

}  // namespace vek::shell
