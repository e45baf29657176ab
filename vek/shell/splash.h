// The start-up banner: a centred frameless window with the version, the
// title, a short line and the format name.
#pragma once

#include <QFont>
#include <QWidget>

#include <array>

namespace vek::shell {

class Splash : public QWidget {
public:
    Splash(const QString& large, const QString& medium, const QString& small, const QString& last);
    const QString& text(int k) const { return texts_[k]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QString, 4> texts_;
    std::array<QFont, 4> fonts_;
};

// The program's banner ("V5.6.33", the title, "Orbelt Format"), shown.
std::unique_ptr<Splash> showsplash(const QString& title);

}  // namespace vek::shell
