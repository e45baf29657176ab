// The three dialogs of the extension manager: the available extensions
// (load one), the loaded ones (their calls, close one) and the extension
// path editor. Controls are public so that tests can drive them.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

#include <memory>
#include <string>
#include <vector>

namespace vek {
struct ExtensionDescriptor;
struct LoadedExtension;
}

namespace vek::shell {

// "EXTENSIONS": one item per available extension.
class ExtensionsDialog : public QDialog {
public:
    explicit ExtensionsDialog(QWidget* parent = nullptr);
    QListWidget* list;            // 200
    QTabBar* tabs;                // 208: Icons, List
    QLabel* help;                 // 201
    QLabel* version;              // 202
    QPushButton* load;            // 100 &Load
    QPushButton* loaddone;        // 101 &Load and Done
    QPushButton* done;            // 102 &Done
    void select(int row);
    void loadselected();          // loads at once, the dialog stays
    std::shared_ptr<ExtensionDescriptor> pending;  // Load and Done: loaded after closing

private:
    void fill();
};

// "CURREXTENSIONS": the loaded extensions.
class LoadedDialog : public QDialog {
public:
    explicit LoadedDialog(QWidget* parent = nullptr);
    QListWidget* list;            // 200
    QTabBar* tabs;                // 208
    QLabel* help;                 // 201
    QLabel* version;              // 202
    QLabel* word;                 // 203
    QCheckBox* autoload;          // 204
    QPushButton* showcalls;       // 205
    QPushButton* closeext;        // 206
    QLabel* options;              // 207
    QPushButton* done;            // 102
    void select(int row);
    void closeselected();
    LoadedExtension* selected() const;
    std::vector<LoadedExtension*> shown;
};

// "Calls": the command lines an extension received.
class CallsDialog : public QDialog {
public:
    CallsDialog(const std::vector<std::string>& calls, QWidget* parent = nullptr);
    QListWidget* list;            // 200
};

// "PATHEDIT" on a '|'-separated path.
class PathDialog : public QDialog {
public:
    PathDialog(const std::string& path, QWidget* parent = nullptr);
    QListWidget* list;            // 101
    QLineEdit* field;             // 107
    QPushButton* append;          // 102
    QPushButton* before;          // 103
    QPushButton* after;           // 104
    QPushButton* remove;          // 105
    QPushButton* choose;          // 108 &Select
    QPushButton* ok;              // 109
    QPushButton* cancel;          // 110
    // The path the list makes: entries joined with '|'.
    std::string path() const;
    // Append (where -1), before (0) or after (1) the selected entry.
    void add(int where);

private:
    void enable();
};

// Menu commands 1350, 1351 and 1352.
void availdlg(QWidget* parent);
void loadeddlg(QWidget* parent);
// Edits the extension path; after OK the path is scanned again. Returns
// whether it was changed.
bool extpathdlg(QWidget* parent);

}  // namespace vek::shell
