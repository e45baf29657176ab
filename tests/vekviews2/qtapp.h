// One application object for the widget tests of this folder.
#pragma once

#include <QApplication>

inline QApplication& qtapp() {
    static int argc = 1;
    static char name[] = "vekviews2";
    static char* argv[] = {name, nullptr};
    static QApplication a(argc, argv);
    return a;
}
