// Symbol and code event dialogs (see eventdialogs.h).
#include "vek/views/qt/eventdialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "vek/command/control/control.h"
#include "vek/views/qt/textpane.h"

namespace vek::views {

SymbolDialog::SymbolDialog(shell::MainWindow& frame, const std::vector<std::string>& names,
                           std::function<std::optional<uint32_t>(const std::string&)> lookup, bool select)
    : QDialog(&frame), frame_(frame), lookup_(std::move(lookup)) {
    setWindowTitle("Symbol Browser");
    combo_ = new QComboBox(this);
    combo_->setEditable(true);
    for (auto& n : names)
        if (n.empty() || n[0] != '.') combo_->addItem(QString::fromStdString(n));
    value_ = new QLabel(this);
    auto* lay = new QFormLayout(this);
    lay->addRow(combo_);
    lay->addRow(value_);
    if (select) {
        auto* b = new QPushButton("&Select", this);
        connect(b, &QPushButton::clicked, this, [this] { choose(); });
        lay->addRow(b);
    }
    auto* close = new QPushButton("&Close", this);
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    lay->addRow(close);
    connect(combo_, &QComboBox::currentTextChanged, this, [this](const QString& t) { changed(t); });
    changed(combo_->currentText());
}

void SymbolDialog::changed(const QString& text) {
    selection_ = text.toStdString();
    auto v = lookup_ ? lookup_(selection_) : std::nullopt;
    char b[16] = "";
    if (v) std::snprintf(b, sizeof b, "0x%x", *v);
    value_->setText(b);
}

void SymbolDialog::choose() {
    if (lookup_ && lookup_(selection_))
        done(1);
    else
        frame_.beep();
}

CodeEventDialog::CodeEventDialog(shell::MainWindow& frame, Debugger* d, int editnumber, const QString& title)
    : QDialog(&frame), frame_(frame), d_(d), edit_(editnumber) {
    setWindowTitle(title);
    auto* lay = new QFormLayout(this);
    auto line = [&](const char* label, const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        lay->addRow(label, e);
        return e;
    };
    function = line("Function", "function");
    file = line("File", "file");
    address = line("Address", "address");
    breakpoint = new QRadioButton("&Breakpoint", this);
    watchpoint = new QRadioButton("&Watchpoint", this);
    breakpoint->setChecked(true);
    lay->addRow(breakpoint, watchpoint);
    status = new QComboBox(this);
    status->addItems({"Active", "Suspended"});
    lay->addRow("Status", status);
    count = line("Hit count", "count");
    start = line("Start line", "start");
    end = line("End line", "end");
    action = line("Action", "action");
    auto* okb = new QPushButton("&Ok", this);
    auto* onoff = new QPushButton("O&n/off", this);
    auto* cancel = new QPushButton("&Cancel", this);
    lay->addRow(okb);
    lay->addRow(onoff);
    lay->addRow(cancel);
    connect(okb, &QPushButton::clicked, this, [this] { ok(); });
    connect(onoff, &QPushButton::clicked, this, [this] { status->setCurrentIndex(1 - status->currentIndex()); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
    if (d_ && edit_)
        if (EventRecord* e = d_->findnumber(edit_)) {
            watchpoint->setChecked(e->watch);
            status->setCurrentIndex(e->enabled ? 0 : 1);
            count->setText(QString::number(e->count));
            action->setText(QString::fromStdString(e->body));
            if (e->kind == 't') {
                if (e->func) function->setText(QString::fromStdString(e->func->name));
                if (e->file) file->setText(QString::fromStdString(e->file->name));
                if (e->first) start->setText(QString::number(e->first));
                if (e->last) end->setText(QString::number(e->last));
            } else if (e->kind == 'a') {
                address->setText(QString("0x%1").arg(e->address, 0, 16));
            } else {
                address->setText(QString::fromStdString(e->text));
            }
        }
}

void CodeEventDialog::ok() {
    if (!makescommand) {
        // a time event has no command of its own yet
        done(1);
        return;
    }
    CodeEventFields f;
    f.watch = watchpoint->isChecked();
    f.function = function->text().toStdString();
    f.file = file->text().toStdString();
    f.address = address->text().toStdString();
    f.count = count->text().toStdString();
    f.start = start->text().toStdString();
    f.end = end->text().toStdString();
    f.action = action->text().toStdString();
    const bool suspended = status->currentIndex() == 1;
    auto sym = [](const std::string& s, void* self) {
        auto* dlg = static_cast<CodeEventDialog*>(self);
        return dlg->issymbol && dlg->issymbol(s);
    };
    std::string cmd;
    if (!buildcodeevent(f, +sym, this, cmd)) {
        platform::BoxRequest box;
        box.caption = "Error";
        box.text = cmd;
        box.icon = platform::BoxIcon::Error;
        frame_.messagebox(box);
        return;
    }
    auto run = [this](const std::string& line, int) { sendcmd(frame_, line); };
    if (d_ && edit_) {
        replaceevent(*d_, edit_, cmd, suspended, "break", run);
    } else {
        if (d_) d_->lastevent = 0;
        sendcmd(frame_, cmd);
        if (suspended && d_ && d_->lastevent) sendcmd(frame_, "break /s " + std::to_string(d_->lastevent));
    }
    done(1);
}

}  // namespace vek::views
