// The extension manager's dialogs (see extdialogs.h).
#include "vek/shell/extdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/window.h"
#include "vek/command/ext/ext.h"
#include "vek/core/support/messages.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

QIcon iconof(const ExtensionDescriptor& d, QWidget* w) {
    if (!d.icon.empty()) {
        std::vector<const char*> lines;
        for (const auto& l : d.icon) lines.push_back(l.c_str());
        QPixmap pm(lines.data());
        if (!pm.isNull()) return QIcon(pm);
    }
    return w->windowIcon();
}

QTabBar* viewtabs(QWidget* parent, QListWidget* list) {
    auto* tabs = new QTabBar(parent);
    tabs->addTab("Icons");
    tabs->addTab("List");
    list->setViewMode(QListView::IconMode);
    QObject::connect(tabs, &QTabBar::currentChanged, list, [list](int i) {
        list->setViewMode(i == 0 ? QListView::IconMode : QListView::ListMode);
    });
    return tabs;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

void runmodal(QDialog& dialog) {
    answerlater(dialog);
    dialog.exec();
}

}  // namespace

// ---- available extensions

ExtensionsDialog::ExtensionsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Extensions");
    list = new QListWidget(this);
    tabs = viewtabs(this, list);
    help = new QLabel(this);
    help->setWordWrap(true);
    version = new QLabel(this);
    load = new QPushButton("&Load", this);
    loaddone = new QPushButton("&Load and Done", this);
    done = new QPushButton("&Done", this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(tabs);
    v->addWidget(list);
    v->addWidget(help);
    v->addWidget(version);
    auto* h = new QHBoxLayout;
    h->addWidget(load);
    h->addWidget(loaddone);
    h->addWidget(done);
    v->addLayout(h);
    fill();
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) { select(row); });
    connect(load, &QPushButton::clicked, this, [this] { loadselected(); });
    auto loadanddone = [this] {
        const int row = list->currentRow();
        auto& av = extensions().available;
        if (row >= 0 && size_t(row) < av.size()) pending = av[size_t(row)];
        accept();
    };
    connect(loaddone, &QPushButton::clicked, this, loadanddone);
    connect(list, &QListWidget::itemDoubleClicked, this, loadanddone);
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
}

void ExtensionsDialog::fill() {
    list->clear();
    for (const auto& d : extensions().available) list->addItem(new QListWidgetItem(iconof(*d, this), q(d->description)));
    help->clear();
    version->clear();
}

void ExtensionsDialog::select(int row) {
    auto& av = extensions().available;
    if (row < 0 || size_t(row) >= av.size()) return;
    help->setText(q(av[size_t(row)]->help));
    version->setText(av[size_t(row)]->version.empty() ? "Unknown" : q(av[size_t(row)]->version));
}

// A loaded extension leaves the available list, so that it is never
// initialised twice.
static bool loadavailable(const std::shared_ptr<ExtensionDescriptor>& d) {
    if (!loadext(d, false)) return false;
    auto& av = extensions().available;
    av.erase(std::remove(av.begin(), av.end(), d), av.end());
    return true;
}

void ExtensionsDialog::loadselected() {
    const int row = list->currentRow();
    auto& av = extensions().available;
    if (row < 0 || size_t(row) >= av.size()) return;
    if (loadavailable(av[size_t(row)])) fill();
}

void availdlg(QWidget* parent) {
    if (extensions().available.empty()) {
        infobox({"No avalaible extensions"});
        return;
    }
    ExtensionsDialog dialog(parent);
    runmodal(dialog);
    if (dialog.pending) loadavailable(dialog.pending);
}

// ---- loaded extensions

LoadedDialog::LoadedDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Loaded Extensions");
    list = new QListWidget(this);
    tabs = viewtabs(this, list);
    help = new QLabel(this);
    help->setWordWrap(true);
    version = new QLabel(this);
    word = new QLabel(this);
    autoload = new QCheckBox("AutoLoad", this);
    autoload->setEnabled(false);
    options = new QLabel(this);
    showcalls = new QPushButton("Show Calls", this);
    closeext = new QPushButton("Close Extension", this);
    done = new QPushButton("&Done", this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(tabs);
    v->addWidget(list);
    for (QWidget* w : {static_cast<QWidget*>(help), static_cast<QWidget*>(version), static_cast<QWidget*>(word),
                       static_cast<QWidget*>(autoload), static_cast<QWidget*>(options)})
        v->addWidget(w);
    auto* h = new QHBoxLayout;
    h->addWidget(showcalls);
    h->addWidget(closeext);
    h->addWidget(done);
    v->addLayout(h);
    showcalls->hide();
    closeext->hide();
    for (const auto& e : extensions().loaded) {
        shown.push_back(e.get());
        list->addItem(new QListWidgetItem(iconof(*e->desc, this), q(e->desc->description)));
    }
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) { select(row); });
    connect(showcalls, &QPushButton::clicked, this, [this] {
        if (LoadedExtension* e = selected()) {
            CallsDialog calls(e->calls, this);
            runmodal(calls);
        }
    });
    connect(closeext, &QPushButton::clicked, this, [this] { closeselected(); });
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

LoadedExtension* LoadedDialog::selected() const {
    const int row = list->currentRow();
    return row >= 0 && size_t(row) < shown.size() ? shown[size_t(row)] : nullptr;
}

void LoadedDialog::select(int) {
    LoadedExtension* e = selected();
    if (!e) return;
    help->setText(q(e->desc->help));
    version->setText(e->desc->version.empty() ? "Unknown" : q(e->desc->version));
    autoload->setChecked(e->autoload);
    options->setText(q(e->desc->options));
    word->setText(!e->desc->word.empty() && e->desc->call ? q(e->desc->word) : QString());
    closeext->setVisible(!e->autoload && e->close);
    showcalls->setVisible(!e->calls.empty());
}

void LoadedDialog::closeselected() {
    LoadedExtension* e = selected();
    const int row = list->currentRow();
    if (!e || !closeextension(e)) return;
    shown.erase(shown.begin() + row);
    delete list->takeItem(row);
    help->clear();
    version->clear();
    word->clear();
    options->clear();
    autoload->setChecked(false);
    closeext->hide();
    showcalls->hide();
}

CallsDialog::CallsDialog(const std::vector<std::string>& calls, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Calls");
    list = new QListWidget(this);
    for (const auto& c : calls) list->addItem(q(c));
    auto* done = new QPushButton("&Done", this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(list);
    v->addWidget(done);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

void loadeddlg(QWidget* parent) {
    if (extensions().loaded.empty()) {
        infobox({"No Loaded Extensions"});
        return;
    }
    LoadedDialog dialog(parent);
    runmodal(dialog);
}

// ---- the path editor

PathDialog::PathDialog(const std::string& path, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Path Editor");
    list = new QListWidget(this);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    field = new QLineEdit(this);
    append = new QPushButton("&Append", this);
    before = new QPushButton("Add &Before", this);
    after = new QPushButton("Add A&fter", this);
    remove = new QPushButton("&Remove", this);
    choose = new QPushButton("&Select", this);
    ok = new QPushButton("&OK", this);
    cancel = new QPushButton("&Cancel", this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(list);
    v->addWidget(field);
    auto* h = new QHBoxLayout;
    for (QPushButton* b : {append, before, after, remove, choose, ok, cancel}) h->addWidget(b);
    v->addLayout(h);
    for (const std::string& entry : pathentries(path)) list->addItem(q(entry));
    append->setEnabled(false);
    before->setEnabled(false);
    after->setEnabled(false);
    connect(field, &QLineEdit::textChanged, this, [this] { enable(); });
    connect(list, &QListWidget::currentRowChanged, this, [this] { enable(); });
    connect(list, &QListWidget::itemClicked, this, [this] { enable(); });
    connect(append, &QPushButton::clicked, this, [this] { add(-1); });
    connect(before, &QPushButton::clicked, this, [this] { add(0); });
    connect(after, &QPushButton::clicked, this, [this] { add(1); });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (list->currentRow() >= 0) delete list->takeItem(list->currentRow());
        before->setEnabled(false);
        after->setEnabled(false);
    });
    connect(choose, &QPushButton::clicked, this, [this] {
        QString dir = responder().file ? responder().file("Select") : QFileDialog::getExistingDirectory(this);
        if (!dir.isEmpty()) field->setText(dir);
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PathDialog::enable() {
    const bool text = !field->text().isEmpty();
    append->setEnabled(text);
    const bool sel = text && list->currentRow() >= 0;
    before->setEnabled(sel);
    after->setEnabled(sel);
}

void PathDialog::add(int where) {
    const QString text = field->text();
    if (text.isEmpty()) return;
    if (!list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        beep();
        return;
    }
    if (!QFileInfo(text).isDir()) {
        platform::BoxRequest box;
        box.caption = "Not a directory";
        box.text = text.toStdString();
        box.icon = platform::BoxIcon::Warning;
        platform::windowhost().messagebox(box);
        return;
    }
    const int row = list->currentRow();
    if (where < 0 || row < 0)
        list->addItem(text);
    else
        list->insertItem(row + (where > 0 ? 1 : 0), text);
}

std::string PathDialog::path() const {
    std::string p;
    for (int i = 0; i < list->count(); ++i) {
        if (i) p += '|';
        p += list->item(i)->text().toStdString();
    }
    return p;
}

bool extpathdlg(QWidget* parent) {
    PathDialog dialog(extensions().extenpath, parent);
    answerlater(dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    extensions().extenpath = dialog.path();
    scanextpath();
    return true;
}

}  // namespace vek::shell
