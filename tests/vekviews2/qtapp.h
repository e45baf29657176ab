// The application object of the test program (main.cpp makes it).
#pragma once

#include <QApplication>

inline QApplication& qtapp() { return *static_cast<QApplication*>(QCoreApplication::instance()); }
