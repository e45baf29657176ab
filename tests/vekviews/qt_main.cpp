// The window tests run with a QApplication on the offscreen platform.
#include <QApplication>

#include <cstdlib>

#include "tests/scratch.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt keeps its runtime files here rather than in the temporary directory
    setenv("XDG_RUNTIME_DIR", scratch::processdir().path().c_str(), 1);
    testing::InitGoogleTest(&argc, argv);
    int status;
    {
        QApplication app(argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
