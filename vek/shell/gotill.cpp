// The go-till dialogs (see gotill.h).
#include "vek/shell/gotill.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "vek/core/support/messages.h"
#include "vek/core/support/text.h"
#include "vek/shell/controls.h"
#include "vek/shell/shell.h"

namespace vek::shell {

namespace {

bool entryonly(int id) { return id == 212 || id == 213; }

}  // namespace

std::string gotillcheck(int id, const GoTillAnswer& a) {
    if (entryonly(id)) return a.function.empty() ? "Missing Specification" : "";
    if (!a.address.empty()) {
        if (!a.file.empty() || !a.function.empty() || !a.line.empty() || !a.count.empty())
            return "Conflicting Specification";
        uint32_t value = 0;
        if (parseulong(a.address, &value, 1) != static_cast<int32_t>(a.address.size()))
            return "Wrong Address Specification";
        return "";
    }
    if (a.function.empty() && a.file.empty() && a.count.empty() && a.line.empty()) return "Missing Specification";
    return "";
}

std::string gotillcommand(int id, const GoTillAnswer& a, const ProgramIndex& index) {
    std::string line = id == 202 || id == 212 ? "go" : a.assembler ? "istep" : "step";
    line += ' ';
    if (!a.address.empty()) {
        line += "@" + a.address;
    } else if (!a.count.empty()) {
        line += a.count;
    } else if (!a.function.empty()) {
        line += a.function + "():";
        if (entryonly(id) && index.firstline)
            if (uint32_t first = index.firstline(a.function, a.file)) line += std::to_string(first);
    } else if (!a.file.empty()) {
        line += a.file + ":";
    }
    if (!a.line.empty()) {
        if (line.back() != ':') line += ':';
        line += a.line;
    }
    return line;
}

GoTillDialog::GoTillDialog(int id, const ProgramIndex& index, QWidget* parent)
    : QDialog(parent), id_(id), index_(index) {
    setWindowTitle(id == 202 ? "Go Editor" : "Step Editor");
    auto* form = new QFormLayout;
    function_ = new QComboBox(this);
    function_->setEditable(true);
    file_ = new QComboBox(this);
    file_->setEditable(true);
    form->addRow("&Function:", function_);
    form->addRow("F&ile:", file_);
    if (!entryonly(id)) {
        line_ = new FilterEdit(EditKind::Num, this);
        form->addRow("&Line:", line_);
        QLineEdit*& other = id == 206 ? count_ : address_;
        other = id == 206 ? static_cast<QLineEdit*>(new FilterEdit(EditKind::Num, this)) : new QLineEdit(this);
        form->addRow(id == 206 ? "&Count:" : "&Address:", other);
        // the line and the address (or the count) exclude each other
        connect(line_, &QLineEdit::textEdited, this, [other] { other->clear(); });
        connect(other, &QLineEdit::textEdited, this, [this] { line_->clear(); });
    }
    if (id != 202) {
        assembler_ = new QCheckBox("Assembler", this);
        form->addRow(assembler_);
    }
    auto* buttons = new QHBoxLayout;
    auto* okbutton = new QPushButton("Ok", this);
    auto* cancel = new QPushButton("Cancel", this);
    okbutton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(okbutton);
    buttons->addWidget(cancel);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(12, 12, 12, 12);
    all->addLayout(form);
    all->addLayout(buttons);
    connect(okbutton, &QPushButton::clicked, this, [this] { ok(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    if (index_.files) {
        file_->addItem("");
        for (const std::string& f : index_.files()) file_->addItem(QString::fromStdString(f));
    }
    fillfunctions("");
    connect(file_, &QComboBox::activated, this,
            [this](int row) { fillfunctions(file_->itemText(row).toStdString()); });
}

void GoTillDialog::fillfunctions(const std::string& file) {
    if (!index_.functions) return;
    const QString typed = function_->currentText();
    function_->clear();
    for (const std::string& f : index_.functions(file)) function_->addItem(QString::fromStdString(f));
    function_->setEditText(file.empty() ? typed : QString());
}

GoTillAnswer GoTillDialog::answer() const {
    GoTillAnswer a;
    a.file = file_->currentText().trimmed().toStdString();
    a.function = function_->currentText().trimmed().toStdString();
    if (line_) a.line = line_->text().trimmed().toStdString();
    if (address_) a.address = address_->text().trimmed().toStdString();
    if (count_) a.count = count_->text().trimmed().toStdString();
    a.assembler = assembler_ && assembler_->isChecked();
    return a;
}

void GoTillDialog::ok() {
    std::string error = gotillcheck(id_, answer());
    if (!error.empty()) {
        errorboxw(this, {error});
        return;
    }
    accept();
}

void GoTillDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    draw3d(p, rect().adjusted(2, 2, -3, -3), false);
    draw3d(p, rect().adjusted(5, 5, -6, -6), true);
}

std::string gotilldlg(int id, const ProgramIndex& index, QWidget* parent) {
    GoTillDialog dialog(id, index, parent);
    answerlater(dialog);
    if (dialog.exec() != QDialog::Accepted) return "";
    return gotillcommand(id, dialog.answer(), index);
}

}  // namespace vek::shell
