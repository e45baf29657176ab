// The start-up banner (see splash.h).
#include "vek/shell/splash.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>

#include <memory>

namespace vek::shell {

namespace {

// Shadow and text colour of each line.
const QColor kShadow[4] = {Qt::black, QColor(0x80, 0x80, 0x80), Qt::white, Qt::white};
const QColor kText[4] = {QColor(0, 0, 255), Qt::black, QColor(0x80, 0x80, 0x80), Qt::black};
const int kScale[4] = {4, 2, 1, 1};
constexpr int kIcon = 32;

}  // namespace

Splash::Splash(const QString& large, const QString& medium, const QString& small, const QString& last)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), texts_{large, medium, small, last} {
    setAttribute(Qt::WA_ShowWithoutActivating);
    const int base = QFontMetrics(QApplication::font()).height();
    const bool times = QFontDatabase::families().contains("Times New Roman");
    int width = 0, height = 16;
    for (int k = 0; k < 4; ++k) {
        QFont f(times ? "Times New Roman" : "serif");
        f.setStyleHint(QFont::Serif, QFont::PreferQuality);
        f.setBold(true);
        f.setItalic(true);
        f.setPixelSize(std::max(base * kScale[k], 8));
        fonts_[k] = f;
        QFontMetrics m(f);
        width = std::max(width, m.horizontalAdvance(texts_[k]) + (k == 0 ? 2 * (kIcon + 8) : 0) + 16);
        height += m.height();
    }
    QSize screen(800, 600);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
    resize(std::max(screen.width() / 2, width), std::max(screen.height() / 2, height));
    move((screen.width() - this->width()) / 2, (screen.height() - this->height()) / 2);
}

void Splash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    // the texts spread evenly over the height
    int total = 0;
    for (const QFont& f : fonts_) total += QFontMetrics(f).height();
    const int gap = (height() - total) / 5;
    int y = gap;
    for (int k = 0; k < 4; ++k) {
        p.setFont(fonts_[k]);
        const int h = QFontMetrics(fonts_[k]).height();
        QRect r(0, y, width(), h);
        p.setPen(kShadow[k]);
        p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, texts_[k]);
        p.setPen(kText[k]);
        p.drawText(r.translated(-1, -1), Qt::AlignHCenter | Qt::AlignVCenter, texts_[k]);
        if (k == 0) {
            // the program's icon left of the version
            const int left = (width() - QFontMetrics(fonts_[0]).horizontalAdvance(texts_[0])) / 2 - kIcon - 8;
            QIcon icon = QApplication::windowIcon();
            if (!icon.isNull()) icon.paint(&p, QRect(left, y + (h - kIcon) / 2, kIcon, kIcon));
        }
        y += h + gap;
    }
}

std::unique_ptr<Splash> showsplash(const QString& title) {
    auto splash = std::make_unique<Splash>("V5.6.33", title, "Simulator and debugger for PowerPC VLE", "Orbelt Format");
    splash->show();
    QApplication::processEvents();
    return splash;
}

}  // namespace vek::shell
