// Runs the window tests on a private virtual X server with software OpenGL.
// Listing the tests (as test discovery does) needs no display.

#include "MainView.h"
#include "VirtualDisplay.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    gui_test::VirtualDisplay display;
    if (!display.Start()) {
        std::cerr << "Cannot start the virtual X server: " << display.Error() << std::endl;
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    QSurfaceFormat::setDefaultFormat(router::MainView::RequiredFormat());
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
