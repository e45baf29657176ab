// The application object of the test program (its main makes it).
#pragma once

#include <QApplication>

inline QApplication& qtapp() { return *static_cast<QApplication*>(QCoreApplication::instance()); }
