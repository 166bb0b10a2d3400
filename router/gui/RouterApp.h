#pragma once
// The router's windowed application: the window framework, start-up of the
// main window in order, and the message loop.

#include "PlotOpenGL.h"

#include <memory>
#include <string>

class QApplication;

namespace router {

class MainWindow;
class RouterCore;

class RouterApp {
public:
    static constexpr int kWindowWidth = 500;
    static constexpr int kWindowHeight = 400;

    // Sets up the window framework (unless the process already has it);
    // argc and argv as given to main.
    RouterApp(int& argc, char** argv);
    ~RouterApp();
    RouterApp(const RouterApp&) = delete;
    RouterApp& operator=(const RouterApp&) = delete;

    // Creates, places and shows the main window over `core`, which must
    // outlive this object. False when start-up fails.
    bool InitInstance(RouterCore& core);
    // The message loop; returns when the main window has closed. SIGINT and
    // SIGTERM close the window, so the router shuts down in order.
    int Run();

    MainWindow* GetMainWindow() const { return mMainWindow.get(); }

    // True when a window can be shown here (an X or Wayland display, or a
    // platform chosen explicitly).
    static bool DisplayAvailable();

private:
    std::unique_ptr<QApplication> mApplication;
    PlotOpenGL mPlot;
    std::unique_ptr<MainWindow> mMainWindow;
};

// Runs the router with its window until the window closes: the exit code.
// A non-empty connectHost is connected to once the window is up, as if
// confirmed in the connection dialog.
int RunRouterWindow(int& argc, char** argv, RouterCore& core, const std::string& connectHost = {});

}  // namespace router
