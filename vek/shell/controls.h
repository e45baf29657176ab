// The controls the debugger's dialogs share: edit fields that take only
// some characters, a read-only field, a list box deaf to the mouse, and the
// one routine that draws every 3D frame.
#pragma once

#include <QGroupBox>
#include <QLabel>
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

// A framed group: a sunken frame round it, a raised one round its body
// and one round the title strip, the title centred at the top ('&' marks
// the underlined character).
class Group3D : public QGroupBox {
public:
    explicit Group3D(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A static text with a raised frame round the extent of its text.
class Text3D : public QLabel {
public:
    explicit Text3D(const QString& text, QWidget* parent = nullptr);
    // The rectangle the frame is drawn round.
    QRect textextent() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vek::shell
