// The dialogs' shared controls (see controls.h).
#include "vek/shell/controls.h"

#include <QKeyEvent>
#include <QPainter>

#include "platform/window.h"

namespace vek::shell {

void draw3d(QPainter& painter, const QRect& r, bool sunken) {
    const QPen before = painter.pen();
    const QColor dark(0x60, 0x60, 0x60), light(Qt::white);
    const int left = r.left() - 1, top = r.top() - 1, right = r.right() + 1, bottom = r.bottom() + 1;
    painter.setPen(QPen(sunken ? dark : light, 1));
    painter.drawLine(left, bottom, left, top);
    painter.drawLine(left, top, right, top);
    painter.setPen(QPen(sunken ? light : dark, 1));
    painter.drawLine(right, top, right, bottom);
    painter.drawLine(right, bottom, left, bottom);
    painter.setPen(before);
}

bool editaccepts(EditKind kind, char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) return true;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    switch (kind) {
    case EditKind::Gen: return hex || c == '$' || c == '%' || c == 'x' || c == 'X';
    case EditKind::Hex: return hex || c == 'x' || c == 'X';
    case EditKind::Mask: return hex || c == '?' || c == 'x' || c == 'X';
    case EditKind::Num: return c >= '0' && c <= '9';
    }
    return false;
}

FilterEdit::FilterEdit(EditKind kind, QWidget* parent) : QLineEdit(parent), kind_(kind) {}

void FilterEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    // keys without a character (arrows) and the clipboard keys pass
    if (text.size() == 1 && !(event->modifiers() & Qt::ControlModifier)) {
        const QChar ch = text[0];
        if (ch.unicode() > 127 || !editaccepts(kind_, static_cast<char>(ch.unicode()))) {
            platform::windowhost().beep();
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

ReadEdit::ReadEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
}

DisabledBox::DisabledBox(QWidget* parent) : QListWidget(parent) {}

bool DisabledBox::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        platform::windowhost().beep();
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        return true;
    default:
        return QListWidget::viewportEvent(event);
    }
}

}  // namespace vek::shell
