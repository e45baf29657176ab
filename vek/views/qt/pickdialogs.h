// The file and function pick dialogs of the Browse menu and of the
// extensions: combo boxes of the program's names with the current file or
// function chosen, "Default" to choose it again, and one shared selection
// text that holds what was chosen (emptied on Cancel or Escape). The
// controls carry their numbers as object names (610 files, 611 functions,
// 601 Ok, 602 Cancel, 603 Default, 609 Select).
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "vek/shell/shell.h"

class QComboBox;

namespace vek {
struct Debugger;
}

namespace vek::views {

// What the dialogs offer: the listed files, the functions of one file
// ("*.*": every file), and the current file and function of core 0.
struct PickNames {
    std::vector<std::string> files;
    std::function<std::vector<std::string>(const std::string& file)> functions;
    std::string currentfile, currentfunction;
};
PickNames picknames(Debugger& d);

// FILEBROWSER: the files with the current one chosen.
class FilePickDialog : public QDialog {
public:
    FilePickDialog(shell::MainWindow& frame, PickNames names, std::string& selection);
    QComboBox* files() const { return files_; }
    void choosedefault();              // 603
    void doubleclicked(int index);     // an item of the list
    void reject() override;            // 602 and Escape

private:
    PickNames names_;
    std::string& selection_;
    QComboBox* files_;
    bool filling_ = false;
};

// FUNCBROWSER (Ok, Cancel, Default) or FUNCSELECT (Select, Cancel): a file
// ("*.*" for all) and its functions, the current function chosen.
class FunctionPickDialog : public QDialog {
public:
    FunctionPickDialog(shell::MainWindow& frame, PickNames names, std::string& selection, bool select);
    QComboBox* files() const { return files_; }
    QComboBox* functions() const { return funcs_; }
    void choosedefault();              // 603
    void choose();                     // 609: closes when a function is named, else beeps
    void doubleclicked(int index);     // an item of the function list
    void reject() override;

private:
    void fillfunctions(const std::string& file);
    shell::MainWindow& frame_;
    PickNames names_;
    std::string& selection_;
    QComboBox *files_, *funcs_;
    bool filling_ = false;
};

// Runs a dialog modally: the chosen name, or "" when cancelled or nothing
// was chosen.
std::string pickfile(shell::MainWindow& frame, Debugger& d);
std::string pickfunction(shell::MainWindow& frame, Debugger& d, bool select = false);

}  // namespace vek::views
