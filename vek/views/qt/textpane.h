// The panes of list, source and events-browser windows: one widget that
// draws a list text in the fixed-pitch font of its kind, one character per
// cell (a column is the character width, a line the line spacing), and
// scrolls by cells. Source panes add a prefix and their own colours.
#pragma once

#include <QFont>
#include <QScrollBar>
#include <functional>
#include <string>

#include "vek/shell/shell.h"
#include "vek/views/model/listtext.h"

namespace vek::views {

// A command line from a view: recorded in the frame's journal and run.
void sendcmd(shell::MainWindow& frame, const std::string& line);
// A palette colour as Qt's (entries are 0x00BBGGRR).
QColor qcolour(uint32_t bgr);

class TextPane : public shell::Pane {
public:
    TextPane(shell::MainWindow& frame, shell::FontKind font, QWidget* parent = nullptr);
    TextBuffer& buffer() { return text_; }
    ListScroll& scroll() { return scroll_; }
    // The text changed: line index and metrics again, line shown 3 lines
    // below the top (the 1030 message).
    void textchanged(int showline);
    // Make visible: first visible line, pulled back to keep a full page.
    void makevisible(int firstline);
    int charwidth() const;
    int lineheight() const;
    // The 1-based line under y, 0 beyond the last one.
    int lineat(int y) const;
    int columnat(int x) const { return x / charwidth(); }
    void vscroll(shell::Scroll s) override;
    shell::MainWindow& frame() { return frame_; }
    // The pane's scroll bars: shown while the text does not fit, their
    // positions the first visible line and column.
    QScrollBar* hbar() const { return hbar_; }
    QScrollBar* vbar() const { return vbar_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Columns before the text (source panes: number and extra columns).
    virtual int prefixcols() const { return 0; }
    // Draws one line at pixel row y.
    virtual void paintline(QPainter& p, int line, int y);
    void drawruns(QPainter& p, const std::vector<Run>& runs, int x0, int y, const QColor* fg = nullptr,
                  const QColor* bg = nullptr);
    void metrics();
    // The bars' ranges and positions from the scroll state.
    void syncbars();

    shell::MainWindow& frame_;
    shell::FontKind fontkind_;
    QFont font_;
    TextBuffer text_;
    ListScroll scroll_;
    bool painted_ = false;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
};

// A list window pane: a double click or a right press on a tag acts on it.
class ListPane : public TextPane {
public:
    using TextPane::TextPane;
    std::function<void(const ListHit&, Qt::KeyboardModifiers, int line)> ontag;
    // The hit under a point (tests use it too).
    ListHit hitat(QPoint at) const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace vek::views
