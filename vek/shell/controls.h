// The controls the debugger's dialogs share: edit fields that take only
// some characters, a read-only field, a list box deaf to the mouse, and the
// one routine that draws every 3D frame.
#pragma once

#include <QLineEdit>
#include <QListWidget>

class QPainter;

namespace vek::shell {

// A one-pixel frame just outside r: left and top edges dark grey (0x606060)
// and right and bottom white when sunken, the reverse when raised.
void draw3d(QPainter& painter, const QRect& r, bool sunken);

// Which typed characters an edit field takes; control characters (below
// 32, and 127) always pass, and so does pasted text.
enum class EditKind {
    Gen,   // hexadecimal digits, '$', '%', 'x', 'X'
    Hex,   // hexadecimal digits, 'x', 'X'
    Mask,  // hexadecimal digits, '?', 'x', 'X'
    Num,   // decimal digits
};
bool editaccepts(EditKind kind, char c);

// An edit field that drops refused typed characters with a beep.
class FilterEdit : public QLineEdit {
public:
    FilterEdit(EditKind kind, QWidget* parent = nullptr);
    EditKind kind() const { return kind_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    EditKind kind_;
};

// A field whose text can be seen but not edited; it takes no focus.
class ReadEdit : public QLineEdit {
public:
    explicit ReadEdit(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent*) override {}
    void mouseDoubleClickEvent(QMouseEvent*) override {}
    void contextMenuEvent(QContextMenuEvent*) override {}
};

// A list box that ignores every mouse button (each press beeps).
class DisabledBox : public QListWidget {
public:
    explicit DisabledBox(QWidget* parent = nullptr);

protected:
    bool viewportEvent(QEvent* event) override;
};

}  // namespace vek::shell
