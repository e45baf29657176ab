// The path editor: the directories of the source path in a list, added,
// inserted and removed one by one; OK replaces the path with the list.
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "vek/views/qt/sourcepane.h"

namespace vek::views {

bool editpath(shell::MainWindow& frame) {
    QDialog dlg(&frame);
    dlg.setWindowTitle("Path");
    dlg.setObjectName("PATHEDIT");
    std::vector<std::string> dirs = pathdirs(frame.config.path);
    auto* list = new QListWidget(&dlg);
    list->setObjectName("list");
    auto* edit = new QLineEdit(&dlg);
    edit->setObjectName("dir");
    auto button = [&](const char* text, const char* name) {
        auto* b = new QPushButton(text, &dlg);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    auto *append = button("&Append", "append"), *before = button("Add &Before", "before"),
         *after = button("Add A&fter", "after"), *remove = button("&Remove", "remove"),
         *select = button("&Select", "select"), *ok = button("&OK", "ok"), *cancel = button("&Cancel", "cancel");
    auto refill = [&] {
        list->clear();
        for (auto& d : dirs) list->addItem(QString::fromStdString(d));
    };
    auto enable = [&] {
        bool text = !edit->text().isEmpty(), sel = list->currentRow() >= 0;
        append->setEnabled(text);
        before->setEnabled(text && sel);
        after->setEnabled(text && sel);
    };
    refill();
    enable();
    auto add = [&](int offset) {
        std::string t = edit->text().toStdString();
        size_t at = offset < 0 ? dirs.size() : size_t(list->currentRow() + offset);
        switch (addpathdir(dirs, t, at)) {
        case PathAdd::Known: frame.beep(); return;
        case PathAdd::NotDirectory: {
            platform::BoxRequest box;
            box.caption = "Not a directory";
            box.text = t;
            frame.messagebox(box);
            return;
        }
        case PathAdd::Added: refill(); enable();
        }
    };
    QObject::connect(edit, &QLineEdit::textChanged, &dlg, enable);
    QObject::connect(list, &QListWidget::currentRowChanged, &dlg, enable);
    QObject::connect(append, &QPushButton::clicked, &dlg, [&] { add(-1); });
    QObject::connect(before, &QPushButton::clicked, &dlg, [&] { add(0); });
    QObject::connect(after, &QPushButton::clicked, &dlg, [&] { add(1); });
    QObject::connect(remove, &QPushButton::clicked, &dlg, [&] {
        int r = list->currentRow();
        if (r < 0) return;
        dirs.erase(dirs.begin() + r);
        refill();
        list->setCurrentRow(-1);
        enable();
    });
    QObject::connect(select, &QPushButton::clicked, &dlg, [&] {
        QString d = shell::responder().file ? shell::responder().file("Select")
                                            : QFileDialog::getExistingDirectory(&dlg, "Select");
        if (!d.isEmpty()) edit->setText(d);
    });
    QObject::connect(ok, &QPushButton::clicked, &dlg, [&] { dlg.done(1); });
    QObject::connect(cancel, &QPushButton::clicked, &dlg, [&] { dlg.done(0); });
    auto* lay = new QGridLayout(&dlg);
    lay->addWidget(list, 0, 0, 5, 1);
    lay->addWidget(edit, 5, 0);
    int row = 0;
    for (auto* b : {append, before, after, remove, select, ok, cancel}) lay->addWidget(b, row++, 1);
    shell::answerlater(dlg);
    if (dlg.exec() != 1) return false;
    frame.config.path = joinpath(dirs);
    return true;
}

}  // namespace vek::views
