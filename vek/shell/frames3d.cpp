// The framed group and the framed static text of the dialogs.
#include <QPainter>

#include "vek/shell/controls.h"

namespace vek::shell {

Group3D::Group3D(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void Group3D::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int th = fm.height(), w = width(), h = height();
    draw3d(p, QRect(1, 1, w - 2, h - 2), true);
    draw3d(p, QRect(QPoint(4, th + 10), QPoint(w - 5, h - 5)), false);
    draw3d(p, QRect(QPoint(4, 3), QPoint(w - 5, th + 5)), false);
    // The title: at most 127 characters; '&' underlines the next one.
    const QString text = title().left(127);
    QString shown;
    int underline = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            if (text[i + 1] != '&') underline = int(shown.size());
            ++i;
        }
        shown += text[i];
    }
    int x = (w - fm.horizontalAdvance(shown)) / 2;
    p.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < shown.size(); ++i) {
        QFont f = font();
        f.setUnderline(i == underline);
        p.setFont(f);
        p.drawText(x, 3 + fm.ascent(), QString(shown[i]));
        x += fm.horizontalAdvance(shown[i]);
    }
}

Text3D::Text3D(const QString& text, QWidget* parent) : QLabel(text, parent) { setMargin(2); }

QRect Text3D::textextent() const {
    const QFontMetrics fm(font());
    const QSize size = fm.size(Qt::TextShowMnemonic, text());
    return QRect(1, 1, std::min(size.width(), width() - 2), std::min(size.height(), height() - 2));
}

void Text3D::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter p(this);
    draw3d(p, textextent(), false);
}

}  // namespace vek::shell
