// File and function pick dialogs (see pickdialogs.h). Only what the user
// does copies into the selection: a refill of a list by the dialog itself
// leaves it alone.
#include "vek/views/qt/pickdialogs.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "vek/command/control/control.h"
#include "vek/views/model/browsers.h"

namespace vek::views {

namespace {

// Double clicks on the items of a combo box's list.
class DoubleClicks : public QObject {
public:
    DoubleClicks(QComboBox* box, std::function<void(int)> act) : QObject(box), box_(box), act_(std::move(act)) {
        box->view()->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonDblClick) return false;
        act_(box_->view()->currentIndex().row());
        return true;
    }

private:
    QComboBox* box_;
    std::function<void(int)> act_;
};

QComboBox* combo(QDialog* owner, int number) {
    auto* c = new QComboBox(owner);
    c->setObjectName(QString::number(number));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumContentsLength(24);
    return c;
}

QPushButton* button(QDialog* owner, QHBoxLayout* row, int number, const char* text) {
    auto* b = new QPushButton(text, owner);
    b->setObjectName(QString::number(number));
    b->setAutoDefault(false);
    b->setDefault(number == 601 || number == 609);   // Enter
    row->addWidget(b);
    return b;
}

void fill(QComboBox* c, const std::vector<std::string>& names) {
    c->clear();
    for (const std::string& n : names) c->addItem(QString::fromStdString(n));
    c->setCurrentIndex(-1);
    c->setEditText({});
}

// Chooses an exact match with its edit text selected; false when none.
bool select(QComboBox* c, const std::string& name) {
    const int at = name.empty() ? -1 : c->findText(QString::fromStdString(name), Qt::MatchExactly);
    if (at < 0) return false;
    c->setCurrentIndex(at);
    if (QLineEdit* e = c->lineEdit()) e->selectAll();
    c->setFocus();
    return true;
}

// Copies what the user typed in a combo box and, with chosen, the item
// the user chose.
void follow(QComboBox* c, const bool& filling, std::string& selection, bool chosen = true) {
    if (chosen)
        QObject::connect(c, &QComboBox::currentIndexChanged, c, [c, &filling, &selection](int at) {
            if (!filling && at >= 0) selection = c->itemText(at).toStdString();
        });
    QObject::connect(c->lineEdit(), &QLineEdit::textEdited, c,
                     [&selection](const QString& text) { selection = text.toStdString(); });
}

}  // namespace

PickNames picknames(Debugger& d) {
    PickNames p;
    const DebugInfo* di = &d.di();
    for (const FileRecord* f : listedfiles(*di)) p.files.push_back(f->name);
    // function lists take the functions of hidden and duplicate files too
    p.functions = [di](const std::string& file) {
        std::vector<std::string> names;
        for (const auto& f : di->files)
            if (file == "*.*" || f->name == file)
                for (const FunctionRecord* fn : listedfuncs(*f)) names.push_back(fn->name);
        return names;
    };
    if (const CallFrame* c = d.currentframe(); c && c->func) {
        p.currentfunction = c->func->name;
        if (c->func->file) p.currentfile = c->func->file->name;
    }
    return p;
}

// ---- FILEBROWSER ---------------------------------------------------------

FilePickDialog::FilePickDialog(shell::MainWindow& frame, PickNames names, std::string& selection)
    : QDialog(&frame), names_(std::move(names)), selection_(selection) {
    setWindowTitle("File Browser");
    setObjectName("FILEBROWSER");
    files_ = combo(this, 610);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(files_);
    auto* row = new QHBoxLayout;
    lay->addLayout(row);
    connect(button(this, row, 601, "Ok"), &QPushButton::clicked, this, [this] { done(1); });
    connect(button(this, row, 602, "Cancel"), &QPushButton::clicked, this, [this] { reject(); });
    connect(button(this, row, 603, "Default"), &QPushButton::clicked, this, [this] { choosedefault(); });
    filling_ = true;
    fill(files_, names_.files);
    filling_ = false;
    follow(files_, filling_, selection_);
    new DoubleClicks(files_, [this](int at) { doubleclicked(at); });
    choosedefault();
}

void FilePickDialog::choosedefault() {
    if (select(files_, names_.currentfile)) selection_ = names_.currentfile;
}

void FilePickDialog::doubleclicked(int index) {
    if (index < 0 || index >= files_->count()) return;
    selection_ = files_->itemText(index).toStdString();
    done(1);
}

void FilePickDialog::reject() {
    selection_.clear();
    done(0);
}

// ---- FUNCBROWSER and FUNCSELECT -------------------------------------------

FunctionPickDialog::FunctionPickDialog(shell::MainWindow& frame, PickNames names, std::string& selection, bool sel)
    : QDialog(&frame), frame_(frame), names_(std::move(names)), selection_(selection) {
    setWindowTitle("Function Browser");
    setObjectName(sel ? "FUNCSELECT" : "FUNCBROWSER");
    files_ = combo(this, 610);
    funcs_ = combo(this, 611);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(files_);
    lay->addWidget(funcs_);
    auto* row = new QHBoxLayout;
    lay->addLayout(row);
    if (sel) {
        connect(button(this, row, 609, "&Select"), &QPushButton::clicked, this, [this] { choose(); });
        connect(button(this, row, 602, "&Cancel"), &QPushButton::clicked, this, [this] { reject(); });
    } else {
        connect(button(this, row, 601, "Ok"), &QPushButton::clicked, this, [this] { done(1); });
        connect(button(this, row, 602, "Cancel"), &QPushButton::clicked, this, [this] { reject(); });
        connect(button(this, row, 603, "Default"), &QPushButton::clicked, this, [this] { choosedefault(); });
    }
    filling_ = true;
    std::vector<std::string> files = names_.files;
    if (!files.empty()) files.push_back("*.*");
    fill(files_, files);
    filling_ = false;
    fillfunctions("*.*");
    follow(files_, filling_, selection_, false);
    follow(funcs_, filling_, selection_);
    // another file: its functions
    connect(files_, &QComboBox::currentIndexChanged, this, [this](int at) {
        if (!filling_ && at >= 0) fillfunctions(files_->itemText(at).toStdString());
    });
    new DoubleClicks(funcs_, [this](int at) { doubleclicked(at); });
    choosedefault();
}

void FunctionPickDialog::fillfunctions(const std::string& file) {
    filling_ = true;
    fill(funcs_, names_.functions ? names_.functions(file) : std::vector<std::string>{});
    filling_ = false;
}

void FunctionPickDialog::choosedefault() {
    if (names_.currentfunction.empty() || names_.files.empty()) return;
    filling_ = true;
    select(files_, "*.*");
    filling_ = false;
    fillfunctions("*.*");
    if (select(funcs_, names_.currentfunction)) selection_ = names_.currentfunction;
}

void FunctionPickDialog::choose() {
    if (funcs_->currentText().isEmpty()) {
        frame_.beep();
        return;
    }
    done(1);
}

void FunctionPickDialog::doubleclicked(int index) {
    if (index < 0 || index >= funcs_->count()) return;
    selection_ = funcs_->itemText(index).toStdString();
    done(1);
}

void FunctionPickDialog::reject() {
    selection_.clear();
    done(0);
}

// ---- modal runs -----------------------------------------------------------

std::string pickfile(shell::MainWindow& frame, Debugger& d) {
    std::string chosen;
    FilePickDialog dialog(frame, picknames(d), chosen);
    shell::answerlater(dialog);
    return dialog.exec() == 1 ? chosen : std::string();
}

std::string pickfunction(shell::MainWindow& frame, Debugger& d, bool select) {
    std::string chosen;
    FunctionPickDialog dialog(frame, picknames(d), chosen, select);
    shell::answerlater(dialog);
    return dialog.exec() == 1 ? chosen : std::string();
}

}  // namespace vek::views
