// The Extensions, Loaded Extensions, Calls and Path Editor dialogs driven
// as a user would, with the sample extension.
#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <fstream>

#include "scratch.h"
#include "vek/command/ext/exports.h"
#include "vek/command/ext/ext.h"
#include "vek/core/session/session.h"
#include "vek/core/support/output.h"
#include "vek/shell/extdialogs.h"
#include "vek/shell/shell.h"

namespace {

namespace fs = std::filesystem;
using namespace vek::shell;

struct Host : platform::WindowHost {
    std::vector<platform::BoxRequest> boxes;
    int beeps = 0;
    platform::BoxAnswer messagebox(const platform::BoxRequest& box) override {
        boxes.push_back(box);
        return platform::BoxAnswer::Ok;
    }
    void beep() override { ++beeps; }
};

class Dialogs : public testing::Test {
protected:
    Host host;
    scratch::Dir dir{"vekextgui"};
    std::unique_ptr<vek::Session> s;
    std::unique_ptr<vek::Debugger> d;
    void SetUp() override {
        vek::resetoutput();
        platform::setwindowhost(&host);
        s = vek::freshsession();
        d = std::make_unique<vek::Debugger>(*s);
        vek::resetextensions(d.get());
        vek::resetexports();
        d->extcmd = vek::extcmd;
        responder() = {};
    }
    void TearDown() override {
        responder() = {};
        vek::resetextensions(nullptr);
        d.reset();
        s.reset();
        platform::setwindowhost(nullptr);
    }
    void scan() {
        fs::copy_file(std::string(SAMPLES) + "io.so", dir.path() / "io.so");
        vek::extensions().extenpath = dir.path().string();
        vek::scanextpath();
    }
};

TEST_F(Dialogs, EmptyListsGiveBoxes) {
    availdlg(nullptr);
    loadeddlg(nullptr);
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[0].text, "No avalaible extensions");
    EXPECT_EQ(host.boxes[1].text, "No Loaded Extensions");
}

TEST_F(Dialogs, LoadShowCallsAndClose) {
    scan();
    {
        ExtensionsDialog dialog;
        ASSERT_EQ(dialog.list->count(), 1);
        EXPECT_EQ(dialog.list->item(0)->text(), "IO sample");
        dialog.list->setCurrentRow(0);
        EXPECT_EQ(dialog.help->text(), "Prints the io lines it gets");
        EXPECT_EQ(dialog.version->text(), "1.2");
        dialog.tabs->setCurrentIndex(1);
        EXPECT_EQ(dialog.list->viewMode(), QListView::ListMode);
        dialog.load->click();
        EXPECT_EQ(vek::extensions().loaded.size(), 1u);
        EXPECT_EQ(dialog.list->count(), 0);  // loaded: no longer available
    }
    d->docmd("iox 5", 1);
    d->docmd("io 6", 1);
    LoadedDialog dialog;
    ASSERT_EQ(dialog.list->count(), 1);
    EXPECT_TRUE(dialog.showcalls->isHidden());
    dialog.list->setCurrentRow(0);
    EXPECT_EQ(dialog.word->text(), "io");
    EXPECT_EQ(dialog.options->text(), "io <anything>");
    EXPECT_FALSE(dialog.autoload->isChecked());
    EXPECT_FALSE(dialog.closeext->isHidden());
    EXPECT_FALSE(dialog.showcalls->isHidden());
    QStringList calls;
    responder().dialog = [&](QDialog* shown) {
        if (auto* c = dynamic_cast<CallsDialog*>(shown))
            for (int i = 0; i < c->list->count(); ++i) calls << c->list->item(i)->text();
        shown->accept();
    };
    dialog.showcalls->click();
    EXPECT_EQ(calls, (QStringList{"iox 5", "io 6"}));
    testing::internal::CaptureStdout();
    dialog.closeext->click();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("sample close: IO sample"), std::string::npos);
    EXPECT_EQ(dialog.list->count(), 0);
    EXPECT_TRUE(dialog.closeext->isHidden());
    EXPECT_TRUE(vek::extensions().loaded.empty());
}

TEST_F(Dialogs, PathEditor) {
    fs::create_directory(dir.path() / "one");
    fs::create_directory(dir.path() / "two");
    std::ofstream(dir.file("file")) << "x";
    const std::string one = dir.file("one"), two = dir.file("two");
    PathDialog dialog(one);
    EXPECT_FALSE(dialog.append->isEnabled());
    dialog.field->setText(QString::fromStdString(one));
    EXPECT_TRUE(dialog.append->isEnabled());
    EXPECT_FALSE(dialog.before->isEnabled());
    dialog.append->click();
    EXPECT_EQ(host.beeps, 1);  // already there
    dialog.field->setText(QString::fromStdString(dir.file("file")));
    dialog.append->click();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Not a directory");
    dialog.list->setCurrentRow(0);
    dialog.field->setText(QString::fromStdString(two));
    EXPECT_TRUE(dialog.before->isEnabled());
    dialog.before->click();
    EXPECT_EQ(dialog.path(), two + "|" + one);
    dialog.list->setCurrentRow(0);
    dialog.remove->click();
    EXPECT_FALSE(dialog.before->isEnabled());
    dialog.list->setCurrentRow(0);
    Q_EMIT dialog.list->itemClicked(dialog.list->item(0));
    EXPECT_TRUE(dialog.after->isEnabled());
    dialog.after->click();
    EXPECT_EQ(dialog.path(), one + "|" + two);

    // OK sets the extension path and scans it.
    fs::copy_file(std::string(SAMPLES) + "io.so", dir.path() / "two" / "io.so");
    vek::extensions().extenpath = one;
    responder().dialog = [&](QDialog* shown) {
        auto* p = static_cast<PathDialog*>(shown);
        p->field->setText(QString::fromStdString(two));
        p->append->click();
        p->ok->click();
    };
    EXPECT_TRUE(extpathdlg(nullptr));
    EXPECT_EQ(vek::extensions().extenpath, one + "|" + two);
    EXPECT_EQ(vek::extensions().available.size(), 1u);
}

}  // namespace
