// The machine-level windows' widgets: memory windows, the Disassembly,
// Registers and Stack panes. Each draws the lines of its model cell by
// cell in a fixed font and passes mouse and keys to the model; the
// vertical bar of memory and Disassembly panes is a relative control
// (range 0..2, the thumb back at 1 after each move).
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <functional>
#include <string>
#include <vector>

#include "vek/views/machinemodel/disasm.h"
#include "vek/views/machinemodel/memwin.h"
#include "vek/views/machinemodel/regwin.h"
#include "vek/views/machinemodel/stackwin.h"
#include "vek/shell/fields.h"

namespace vek::views {

// What the widgets ask of the frame.
struct ViewHost {
    std::function<void()> beep;
    std::function<void(const std::string&)> command;       // a typed command line
    std::function<void(uint32_t address, int command)> eventcommand;   // 801-803, 0 the popup
    std::function<void(const std::string&)> symbol;        // the symbol popup on a word
    std::function<QColor(int)> palette;                     // colour index -> colour
    std::function<void(int frame)> openframe;              // the Stack window's click
};

// A pane drawing text lines cell by cell.
class CellView : public QAbstractScrollArea {
public:
    explicit CellView(ViewHost& host, QWidget* parent = nullptr);
    int cellwidth() const;
    int lineheight() const;
    int clientlines() const;     // whole or partial lines that fit
    // The cell under a point of the viewport.
    void cellat(const QPoint& p, int& row, int& col) const;

protected:
    void paintEvent(QPaintEvent*) override;
    // The lines, the caret cell (row < 0: none) and per-cell styling.
    virtual const std::vector<std::string>& textlines() const = 0;
    virtual bool caret(int& row, int& col) const { (void)row, (void)col; return false; }
    virtual QColor background(int row, int col) const { (void)row, (void)col; return Qt::white; }
    virtual QColor foreground(int row, int col, QColor escape) const { (void)row, (void)col; return escape; }
    virtual bool colouring(int row) const { (void)row; return true; }
    int firstcol_ = 0;
    ViewHost& host_;
    void beep() { if (host_.beep) host_.beep(); }
    // Carries out what a click on a code line asks for.
    void act(const MemClick& c);
    // The relative vertical bar: its arrows and page areas scroll.
    void relativebar(std::function<void(ScrollAction)> scroll);
};

// A pane of code lines: the address cells show the event there, the pc's
// line and the highlighted range their own backgrounds.
class CodeView : public CellView {
public:
    using CellView::CellView;

protected:
    // The address of a shown code line (false: not a code line).
    virtual bool lineaddress(int row, uint32_t& address) const = 0;
    virtual uint32_t pcaddress() const = 0;
    virtual bool inrange(uint32_t address) const = 0;
    virtual const MemEnv& env() const = 0;
    QColor background(int row, int col) const override;
    QColor foreground(int row, int col, QColor escape) const override;
    bool colouring(int row) const override;
};

class MemoryView : public CodeView {
public:
    MemoryView(ViewHost& host, MemEnv env, MemoryWindow window, QWidget* parent = nullptr);
    MemoryWindow& model() { return w_; }
    void refresh(bool rebuild);
    void scroll(ScrollAction a);
    void click(int row, int col, unsigned keys);

protected:
    const std::vector<std::string>& textlines() const override { return w_.lines; }
    bool caret(int& row, int& col) const override;
    bool lineaddress(int row, uint32_t& address) const override;
    uint32_t pcaddress() const override { return w_.pc; }
    bool inrange(uint32_t a) const override { return w_.haverange && a >= w_.linestart && a < w_.linenext; }
    const MemEnv& env() const override { return env_; }
    void resizeEvent(QResizeEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    MemEnv env_;
    MemoryWindow w_;
};

class DisasmView : public CodeView {
public:
    DisasmView(ViewHost& host, MemEnv env, int core, QWidget* parent = nullptr);
    DisasmPane& model() { return p_; }
    void refresh(uint32_t pc);
    void scroll(ScrollAction a);

protected:
    const std::vector<std::string>& textlines() const override { return p_.lines; }
    bool lineaddress(int row, uint32_t& address) const override;
    uint32_t pcaddress() const override { return pc_; }
    bool inrange(uint32_t a) const override { return a >= p_.hlstart && a < p_.hlnext; }
    const MemEnv& env() const override { return env_; }
    void resizeEvent(QResizeEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void click(QMouseEvent* e, bool right);
    MemEnv env_;
    DisasmPane p_;
    uint32_t pc_ = 0;
};

class RegistersView : public CellView {
public:
    RegistersView(ViewHost& host, std::function<RegSource()> source, QWidget* parent = nullptr);
    RegisterPane& model() { return p_; }
    const shell::CycleEdit& cycleedit() const { return cycles_; }
    // Ends an edit in progress (register or cycle counter).
    void endedit();
    // Rebuilds the text; paints only when it changed unless always.
    void refresh(bool always);
    std::function<bool()> running;
    std::function<void(unsigned reg)> dialog;   // the update dialog of a label

protected:
    const std::vector<std::string>& textlines() const override { return lines_; }
    bool caret(int& row, int& col) const override;
    QColor foreground(int row, int col, QColor escape) const override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    std::function<RegSource()> source_;
    RegisterPane p_;
    shell::CycleEdit cycles_;
    std::vector<std::string> lines_;
};

class StackView : public CellView {
public:
    StackView(ViewHost& host, QWidget* parent = nullptr);
    StackPane& model() { return p_; }
    void setlines(std::vector<StackLine> lines);

protected:
    const std::vector<std::string>& textlines() const override { return shown_; }
    void resizeEvent(QResizeEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void layout();
    StackPane p_;
    std::vector<std::string> shown_;   // one per client row
};

}  // namespace vek::views
