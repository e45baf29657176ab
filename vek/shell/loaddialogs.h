// Loading from the File menu: the Load and Load and Start dialogs, the
// recent-file list, the settings that remember the last load, and the two
// progress dialogs the loader drives (with Cancel, which stops a load).
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

#include "vek/core/debuginfo/report.h"

class QLabel;

namespace vek::shell {

class MainWindow;
class Settings;

// 101 Load, 103 Load and Start (their open dialogs), 102 the given path.
// False when nothing was loaded (Cancel). A start text (Go From) is the
// load's entry option.
bool openprogram(MainWindow& frame, int32_t id, const std::string& path = {}, const std::string& start = {});
// "Start From": the start text (empty when the field is); false on Cancel.
bool askgofrom(MainWindow& frame, std::string& start);
// 180..184: the recent file of key 1..5.
void openrecent(MainWindow& frame, int32_t id);
// The path becomes key "1" of [Files]; the older entries other than it
// follow, at most four.
void rememberrecentfile(Settings& settings, const std::string& path);
// The File menu's recent-file items again, after a separator.
void rebuildrecentmenu(MainWindow& frame);

// Reload Segment (menu 146): the "File Load" list of the loaded object
// file's segments, several chosen, "&Select All", "&Ok", "&Cancel"; Ok
// reloads the chosen ones. "No Segment list available " without segments.
void reloadsegs(MainWindow& frame);

// A progress bar: done × width / total in red, the rest orange; a total of
// 0 draws it empty.
class ProgressBar : public QWidget {
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void restart(uint32_t total);
    void add(uint32_t amount);
    uint32_t total() const { return total_; }
    uint32_t done() const { return done_; }
    // The width of the red part in a bar of the given width.
    static int filled(uint32_t done, uint32_t total, int width);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    uint32_t total_ = 0, done_ = 0;
};

// "File Load" (dialog 0) or "Building Debug Data" (dialog 1): modeless,
// kept responsive by the steps; Cancel and Escape set the stop flag.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* owner, int dialog, const QString& text, uint32_t total);
    void title(const QString& name, uint32_t address, uint32_t size);
    void step(uint32_t amount);
    void clear();
    void texts(const QString& file, const QString& function);
    bool cancelled() const { return cancelled_; }
    ProgressBar* bar() const { return bar_; }
    QLabel* field(int id) const;

    void reject() override { cancelled_ = true; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* fields_[5] = {};  // 101, 103, 105, 107, 109
    ProgressBar* bar_ = nullptr;
    bool cancelled_ = false;
    qint64 lastpump_ = 0;
};

// The progress calls of the loader, shown in the progress dialogs. While a
// dialog is open the frame refuses commands as during a run.
class LoadProgress : public LoadReport {
public:
    explicit LoadProgress(MainWindow& frame) : frame_(frame) {}
    ~LoadProgress() override;
    void print(std::string_view) override {}
    void error(std::string_view) override {}
    void errstream(std::string_view) override {}
    // Cancel, or Escape (which the frame takes as a stop while it refuses
    // commands).
    bool stopped() override;
    void progressopen(int dialog, std::string_view text, uint32_t total) override;
    void progressclose() override;
    void progresstitle(std::string_view title, uint32_t address, uint32_t size) override;
    void progressstep(uint32_t amount) override;
    void progressclear() override;
    void progresstexts(std::string_view file, std::string_view function) override;
    ProgressDialog* dialog() const { return dialog_; }

private:
    MainWindow& frame_;
    ProgressDialog* dialog_ = nullptr;
    bool stopped_ = false;
    bool wasrunning_ = false;
};

}  // namespace vek::shell
