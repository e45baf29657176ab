// The load front end of the File menu and the loader's progress dialogs.
#include "vek/shell/loaddialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "vek/resources/menus.h"
#include "vek/shell/controls.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

// The open dialog's filters; the first also takes our assembler's *.o.
const char* const kFilters[] = {"PPC Files(*.PPC *.ppc *.o *.O)", "S19 Files(*.s19 *.S19)", "All Files(*.*)"};

void rememberload(MainWindow& frame, const std::string& path, int index) {
    Settings& s = frame.settings();
    rememberrecentfile(s, path);
    const size_t cut = path.find_last_of(":/\\");
    s.write("Load", "File", cut == std::string::npos ? path : path.substr(cut + 1));
    s.write("Load", "Directory", cut == std::string::npos ? std::string() : path.substr(0, cut));
    s.write("Load", "Index", std::to_string(index));
    rebuildrecentmenu(frame);
}

void load(MainWindow& frame, const std::string& path, const std::string& start = {}) {
    if (!start.empty()) {
        frame.journal.push_back("load /O:" + start + " " + path);
        frame.commands()->docmd("load /O:" + start + " " + path);
        return;
    }
    frame.journal.push_back("load " + path);
    frame.commands()->loadprogram(path);
}

}  // namespace

void rememberrecentfile(Settings& settings, const std::string& path) {
    std::vector<std::string> older;
    for (int i = 1; i <= 5; ++i) {
        std::string p = settings.read("Files", std::to_string(i), "");
        if (!p.empty() && p != path) older.push_back(p);
    }
    settings.write("Files", "1", path);
    for (size_t i = 0; i < 4; ++i) settings.write("Files", std::to_string(i + 2), i < older.size() ? older[i] : "");
}

void rebuildrecentmenu(MainWindow& frame) {
    QMenu* file = frame.menuat(vek::resources::FileMenu);
    if (!file) return;
    for (QAction* a : file->actions()) {
        const int id = a->data().toInt();
        if ((id >= 180 && id <= 184) || id == -180) {
            file->removeAction(a);
            a->deleteLater();
        }
    }
    QAction* separator = file->addSeparator();
    separator->setData(-180);
    for (int i = 0; i < 5; ++i) {
        const std::string name = frame.settings().read("Files", std::to_string(i + 1), "");
        if (name.empty()) break;
        QAction* a = file->addAction(QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(name)));
        const int32_t id = 180 + i;
        a->setData(id);
        QObject::connect(a, &QAction::triggered, &frame, [&frame, id] { frame.dispatch(id); });
    }
}

bool openprogram(MainWindow& frame, int32_t id, const std::string& path, const std::string& start) {
    if (!frame.commands()) return false;
    if (id == 102) {
        if (path.empty()) return false;
        load(frame, path);
        if (frame.commands()->hasdebug()) rememberload(frame, path, 1);
        return true;
    }
    const QString title = id == 103 ? "Load and Start" : "Load";
    QString chosen;
    int index = 1;
    if (responder().file) {
        chosen = responder().file(title);
    } else {
        std::string dir = frame.settings().read("Load", "Directory", "");
        if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
        QFileDialog dialog(&frame, title, QString::fromStdString(dir));
        QStringList filters;
        for (const char* f : kFilters) filters << f;
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(QString::fromStdString(frame.settings().read("Load", "File", "")));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().front();
            index = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
        }
    }
    if (chosen.isEmpty()) return false;
    const std::string file = chosen.toStdString();
    load(frame, file, start);
    rememberload(frame, file, std::max(1, index));
    return true;
}

void openrecent(MainWindow& frame, int32_t id) {
    const std::string path = frame.settings().read("Files", std::to_string(id - 179), "ERROR.C");
    openprogram(frame, 102, path);
}

bool askgofrom(MainWindow& frame, std::string& start) {
    QDialog dialog(&frame);
    dialog.setWindowTitle("Start From");
    auto* grid = new QGridLayout(&dialog);
    grid->addWidget(new QLabel("Start:", &dialog), 0, 0);
    auto* field = new QLineEdit(&dialog);
    field->setObjectName("start");
    grid->addWidget(field, 0, 1);
    auto* ok = new QPushButton("&Ok", &dialog);
    ok->setDefault(true);
    grid->addWidget(ok, 1, 1, Qt::AlignRight);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    if (responder().dialog) answerlater(dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    start = field->text().trimmed().toStdString();
    return true;
}

void reloadsegs(MainWindow& frame) {
    CommandHost* commands = frame.commands();
    if (!commands) return;
    const std::vector<std::string> lines = commands->segmentlines();
    if (lines.empty()) {
        commands->reloadsegments({});  // reports that there is no list
        return;
    }
    QDialog dialog(&frame);
    dialog.setWindowTitle("File Load");
    auto* grid = new QGridLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("segments");
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const std::string& line : lines) list->addItem(QString::fromStdString(line));
    grid->addWidget(list, 0, 0, 1, 3);
    auto* all = new QPushButton("&Select All", &dialog);
    auto* ok = new QPushButton("&Ok", &dialog);
    auto* cancel = new QPushButton("&Cancel", &dialog);
    grid->addWidget(all, 1, 0);
    grid->addWidget(ok, 1, 1);
    grid->addWidget(cancel, 1, 2);
    QObject::connect(all, &QPushButton::clicked, list, &QListWidget::selectAll);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (responder().dialog) answerlater(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    std::vector<size_t> which;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) which.push_back(size_t(i));
    if (!which.empty()) commands->reloadsegments(which);
}

// ---- the bar

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) { setMinimumSize(200, 16); }

void ProgressBar::restart(uint32_t total) {
    total_ = total;
    done_ = 0;
    update();
}

void ProgressBar::add(uint32_t amount) {
    done_ = done_ + amount < done_ ? UINT32_MAX : done_ + amount;
    repaint();
}

int ProgressBar::filled(uint32_t done, uint32_t total, int width) {
    if (total == 0 || width <= 0) return 0;
    return int(uint64_t(std::min(done, total)) * uint64_t(width) / total);
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(1, 1, -1, -1);
    if (total_ == 0) {
        p.fillRect(r, palette().window());
    } else {
        const int red = filled(done_, total_, r.width());
        p.fillRect(QRect(r.left(), r.top(), red, r.height()), QColor(255, 0, 0));
        p.fillRect(QRect(r.left() + red, r.top(), r.width() - red, r.height()), QColor(255, 128, 0));
    }
    draw3d(p, r, true);
}

// ---- the dialogs

ProgressDialog::ProgressDialog(QWidget* owner, int dialog, const QString& text, uint32_t total) : QDialog(owner) {
    setModal(false);
    setWindowTitle(dialog == 0 ? "File Load" : "Building Debug Data");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    auto row = [&](int at, const char* label, int slot) {
        grid->addWidget(new QLabel(label, this), at, 0);
        fields_[slot] = new QLabel(this);
        fields_[slot]->setMinimumWidth(240);
        grid->addWidget(fields_[slot], at, 1);
    };
    row(0, "File", 0);
    if (dialog == 0) {
        row(1, "Load Segment", 2);
        row(2, "At", 3);
        row(3, "Size", 4);
    } else {
        row(1, "Function", 1);
    }
    bar_ = new ProgressBar(this);
    grid->addWidget(bar_, 4, 0, 1, 2);
    auto* cancel = new QPushButton("&Cancel", this);
    grid->addWidget(cancel, 5, 1, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    fields_[0]->setText(text);
    bar_->restart(total);
}

QLabel* ProgressDialog::field(int id) const {
    const int slot = (id - 101) / 2;
    return slot >= 0 && slot < 5 ? fields_[slot] : nullptr;
}

void ProgressDialog::title(const QString& name, uint32_t address, uint32_t size) {
    if (fields_[2]) fields_[2]->setText(name);
    if (fields_[3]) fields_[3]->setText(QString("0x%1").arg(address, 0, 16));
    if (fields_[4]) fields_[4]->setText(QString::number(size));
    bar_->restart(size);
}

void ProgressDialog::step(uint32_t amount) {
    bar_->add(amount);
    // Cancel and Escape are heard; the windows are looked at every 10 ms.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastpump_ >= 10) {
        lastpump_ = now;
        QApplication::processEvents();
    }
}

void ProgressDialog::clear() {
    for (int slot : {1, 2, 3, 4})
        if (fields_[slot]) fields_[slot]->clear();
    if (windowTitle() != "File Load") fields_[0]->clear();
    update();
}

void ProgressDialog::texts(const QString& file, const QString& function) {
    fields_[0]->setText(file);
    if (fields_[1]) fields_[1]->setText(function);
}

void ProgressDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect outer = rect().adjusted(3, 3, -4, -4);
    draw3d(p, outer, true);
    draw3d(p, outer.adjusted(4, 5, -4, -5), false);
}

// ---- the loader's calls

LoadProgress::~LoadProgress() { progressclose(); }

bool LoadProgress::stopped() {
    if (dialog_ && (dialog_->cancelled() || (!wasrunning_ && frame_.stoprequested()))) dialog_->reject();
    return stopped_ || (dialog_ && dialog_->cancelled());
}

void LoadProgress::progressopen(int dialog, std::string_view text, uint32_t total) {
    if (dialog_) progressclose();
    if (dialog == 0) stopped_ = false;
    wasrunning_ = frame_.running();
    if (!wasrunning_) frame_.setrunstate(true);
    dialog_ = new ProgressDialog(&frame_, dialog, QString::fromUtf8(text.data(), int(text.size())), total);
    dialog_->show();
    if (responder().dialog) responder().dialog(dialog_);
    QApplication::processEvents();
}

void LoadProgress::progressclose() {
    if (!dialog_) return;
    stopped_ = dialog_->cancelled() && dialog_->windowTitle() == "File Load";
    delete dialog_;
    dialog_ = nullptr;
    if (!wasrunning_) frame_.setrunstate(false);
}

void LoadProgress::progresstitle(std::string_view title, uint32_t address, uint32_t size) {
    if (dialog_) dialog_->title(QString::fromUtf8(title.data(), int(title.size())), address, size);
}

void LoadProgress::progressstep(uint32_t amount) {
    if (!dialog_) return;
    dialog_->step(amount);
    if (stopped()) stopped_ = true;
}

void LoadProgress::progressclear() {
    if (dialog_) dialog_->clear();
}

void LoadProgress::progresstexts(std::string_view file, std::string_view function) {
    if (dialog_)
        dialog_->texts(QString::fromUtf8(file.data(), int(file.size())),
                       QString::fromUtf8(function.data(), int(function.size())));
}

}  // namespace vek::shell
