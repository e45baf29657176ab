// The memory windows' dialogs.
#include "vek/views/machinedialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "vek/command/control/control.h"
#include "vek/command/data/data.h"
#include "vek/core/support/symbols.h"
#include "vek/views/machinemodel/bind.h"

namespace vek::views {

struct FormDialog::Impl {
    QFormLayout* form = nullptr;
    std::vector<QLineEdit*> fields;
    std::vector<QCheckBox*> checks;
    std::vector<QComboBox*> choices;
    std::vector<QPushButton*> buttons;
};

FormDialog::FormDialog(QWidget* parent, const QString& title) : QDialog(parent), d_(std::make_shared<Impl>()) {
    setWindowTitle(title);
    d_->form = new QFormLayout(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    d_->form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { ok(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int FormDialog::addfield(const QString& label, const QString& text) {
    auto* e = new QLineEdit(text, this);
    d_->form->insertRow(d_->form->rowCount() - 1, label, e);
    d_->fields.push_back(e);
    return int(d_->fields.size()) - 1;
}

int FormDialog::addcheck(const QString& label, bool on) {
    auto* c = new QCheckBox(label, this);
    c->setChecked(on);
    d_->form->insertRow(d_->form->rowCount() - 1, c);
    d_->checks.push_back(c);
    return int(d_->checks.size()) - 1;
}

int FormDialog::addchoice(const QString& label, const QStringList& items, int index) {
    auto* c = new QComboBox(this);
    c->addItems(items);
    c->setCurrentIndex(index);
    d_->form->insertRow(d_->form->rowCount() - 1, label, c);
    d_->choices.push_back(c);
    return int(d_->choices.size()) - 1;
}

int FormDialog::addbutton(const QString& text, std::function<void(FormDialog&)> action) {
    auto* b = new QPushButton(text, this);
    b->setAutoDefault(false);
    d_->form->insertRow(d_->form->rowCount() - 1, b);
    connect(b, &QPushButton::clicked, this, [this, action] { action(*this); });
    d_->buttons.push_back(b);
    return int(d_->buttons.size()) - 1;
}

void FormDialog::press(int i) { d_->buttons.at(size_t(i))->click(); }

std::optional<uint32_t> pickvalue(Debugger& d, QWidget* owner, bool symbol) {
    std::vector<std::pair<std::string, uint32_t>> items;
    if (symbol) {
        for (const ProgramSymbol* s = symtab().head; s; s = s->next)
            if (!s->name.empty() && s->name[0] != '.') items.emplace_back(s->name, s->value);
    } else {
        for (const auto& file : d.di().files)
            if (!(file->flags & fileflag::Duplicate))
                for (const auto& fn : file->funcs)
                    if (!fn->name.empty() && fn->name[0] != '.' && fn->start)
                        items.emplace_back(fn->name, fn->start->address);
    }
    if (items.empty()) return std::nullopt;
    QStringList names;
    for (const auto& item : items) names << QString::fromStdString(item.first);
    FormDialog pick(owner, symbol ? "Symbol Browser" : "Function Browser");
    const int choice = pick.addchoice(symbol ? "Symbol" : "Function", names, 0);
    if (!pick.ask()) return std::nullopt;
    const int at = pick.choice(choice);
    if (at < 0 || at >= int(items.size())) return std::nullopt;
    return items[size_t(at)].second;
}

std::string FormDialog::field(int i) const { return d_->fields.at(size_t(i))->text().trimmed().toStdString(); }
void FormDialog::setfield(int i, const QString& text) { d_->fields.at(size_t(i))->setText(text); }
bool FormDialog::check(int i) const { return d_->checks.at(size_t(i))->isChecked(); }
void FormDialog::setcheck(int i, bool on) { d_->checks.at(size_t(i))->setChecked(on); }
int FormDialog::choice(int i) const { return d_->choices.at(size_t(i))->currentIndex(); }
void FormDialog::setchoice(int i, int index) { d_->choices.at(size_t(i))->setCurrentIndex(index); }

bool FormDialog::ok() {
    if (onok && !onok(*this)) return false;
    accept();
    return true;
}

bool FormDialog::ask() {
    if (formanswer()) {
        formanswer()(*this);
        return result() == QDialog::Accepted;
    }
    return exec() == QDialog::Accepted;
}

std::function<void(FormDialog&)>& formanswer() {
    static std::function<void(FormDialog&)> hook;
    return hook;
}

namespace {

QString hexq(uint32_t v) { return QString("0x%1").arg(v, 0, 16); }

// From, To and the file of a dump; false on Cancel.
bool askrange(QWidget* owner, const QString& title, uint32_t& from, uint32_t& to, std::string& path) {
    FormDialog f(owner, title);
    const int ffrom = f.addfield("&From", hexq(from)), fto = f.addfield("&To", hexq(to));
    const int ffile = f.addfield("File", "");
    f.onok = [&](FormDialog& x) {
        uint32_t a, b;
        if (!readnumber(x.field(ffrom), a) || !readnumber(x.field(fto), b) || x.field(ffile).empty()) {
            QApplication::beep();
            return false;
        }
        from = a, to = b, path = x.field(ffile);
        return true;
    };
    return f.ask();
}

}  // namespace

std::string memcommand(Debugger& d, MemoryView& view, int32_t id, QWidget* owner,
                       const std::function<void(const std::string&)>& error) {
    MemoryWindow& w = view.model();
    const MemEnv env = memenv(d);
    const bool running = d.flags.running.load() != 0;
    switch (id) {
    case 361: {   // Address
        FormDialog f(owner, "Data Window Address");
        const int text = f.addfield("Address", hexq(w.start));
        uint32_t address = 0;
        f.onok = [&](FormDialog& x) {
            if (x.field(text).empty() || !readaddress(d, x.field(text), address)) {
                QApplication::beep();
                return false;
            }
            return true;
        };
        if (!f.ask()) return {};
        w.start = address;
        view.refresh(true);
        return std::string(w.kind == CodeWindow ? "code:" : "data:") + f.field(text);
    }
    case 362: {   // Format
        FormDialog f(owner, "Format");
        const int size = f.addchoice("Size", {"Byte", "Word", "Long"}, w.size == 1 ? 0 : w.size == 2 ? 1 : 2);
        const int format = f.addchoice("Format", {"Binary", "Octal", "Decimal", "Hexadecimal"}, w.format - 1);
        const int ascii = f.addcheck("ASCII", w.ascii);
        if (!f.ask()) return {};
        const int fmt = f.choice(format) + 1;
        w.setformat(f.choice(size) == 0 ? 1 : f.choice(size) == 1 ? 2 : 4, fmt, f.check(ascii), fmt == FmtBinary ? 4 : 8);
        view.refresh(true);
        return {};
    }
    case 363: {   // Fill
        if (running) return {};
        FormDialog f(owner, "Fill");
        const int size = f.addchoice("Size", {"Byte", "Word", "Long"}, 0);
        const int with = f.addfield("&With", ""), from = f.addfield("&From", ""), to = f.addfield("&To", "");
        const int random = f.addcheck("&Random", false), verify = f.addcheck("&Verify", false);
        f.onok = [&](FormDialog& x) {
            FillFields fields{x.field(from), x.field(to), x.field(with), x.choice(size) == 0 ? 1 : x.choice(size) * 2,
                              x.check(verify), x.check(random)};
            if (!filldialog(d, fields)) {
                QApplication::beep();
                return false;
            }
            return true;
        };
        if (f.ask()) view.refresh(true);
        return {};
    }
    case 364:     // Dump
    case 367: {   // S-Records
        if (running) return {};
        uint32_t from = w.start, to = w.end - 1;
        std::string path;
        if (!askrange(owner, "Memory Data Dump", from, to, path)) return {};
        const std::string text = id == 367 ? srecdump(env, from, to)
                                 : w.kind == CodeWindow ? codedump(env, from, to)
                                                        : datadump(w, env, from, to);
        writedump(path, text, error);
        return {};
    }
    default: return {};
    }
}

}  // namespace vek::views
