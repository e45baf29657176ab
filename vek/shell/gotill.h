// Go Till, Step Until, Go To Function Entry and Step To Function Entry:
// dialogs that ask where to go or step to and turn the answer into one
// command line.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vek::shell {

// What the program's debug information offers the dialogs.
struct ProgramIndex {
    std::function<std::vector<std::string>()> files;
    // The functions of a file; of every file when file is empty.
    std::function<std::vector<std::string>(const std::string& file)> functions;
    // The first line of a function (0 when not found).
    std::function<uint32_t(const std::string& function, const std::string& file)> firstline;
};

struct GoTillAnswer {
    std::string file, function, line, address, count;
    bool assembler = false;
};

// The check of Ok for the menu id: empty when the answer is taken, else the
// error box text.
std::string gotillcheck(int id, const GoTillAnswer& answer);
// The command line of an answer that passed the check.
std::string gotillcommand(int id, const GoTillAnswer& answer, const ProgramIndex& index);

// The dialog for a menu id (202 "Go Editor", 206 "Step Editor", 212 and 213
// "Step Editor" with a function and a file only).
class GoTillDialog : public QDialog {
public:
    GoTillDialog(int id, const ProgramIndex& index, QWidget* parent);
    GoTillAnswer answer() const;
    QComboBox* functionbox() const { return function_; }
    QComboBox* filebox() const { return file_; }
    QLineEdit* linefield() const { return line_; }
    QLineEdit* addressfield() const { return address_; }
    QLineEdit* countfield() const { return count_; }
    QCheckBox* assemblerbox() const { return assembler_; }
    void ok();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fillfunctions(const std::string& file);
    int id_;
    const ProgramIndex& index_;
    QComboBox* function_ = nullptr;
    QComboBox* file_ = nullptr;
    QLineEdit* line_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* count_ = nullptr;
    QCheckBox* assembler_ = nullptr;
};

// Runs the dialog of the menu id; the command line on Ok, else empty.
std::string gotilldlg(int id, const ProgramIndex& index, QWidget* parent);

}  // namespace vek::shell
