#include "RouterApp.h"

#include "MainView.h"
#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QIcon>
#include <QSurfaceFormat>

#include <cstdlib>

namespace router {

namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

RouterApp::RouterApp(int& argc, char** argv) {
    if (QApplication::instance() == nullptr) {
        // Set before the framework starts, so that the view's context and
        // the window's compositor share cleanly.
        QSurfaceFormat::setDefaultFormat(MainView::RequiredFormat());
        mApplication = std::make_unique<QApplication>(argc, argv);
    }
    InitRouterResources();
    QApplication::setApplicationName(QStringLiteral("Router"));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(kIconPath)));
}

// The window goes before the framework.
RouterApp::~RouterApp() { mMainWindow.reset(); }

bool RouterApp::DisplayAvailable() {
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

bool RouterApp::InitInstance(RouterCore& core) {
    // Socket start-up needs nothing on this platform.
    mMainWindow = std::make_unique<MainWindow>(core, mPlot);
    if (!mMainWindow->Create()) {
        mMainWindow.reset();
        return false;
    }
    mMainWindow->setWindowIcon(QIcon(QString::fromLatin1(kIconPath)));
    mMainWindow->move(0, 0);
    mMainWindow->resize(kWindowWidth, kWindowHeight);
    mMainWindow->show();
    // The size asked for is the outer size: take off whatever frame the
    // window system added.
    const QSize frame = mMainWindow->frameGeometry().size() - mMainWindow->size();
    if (!frame.isEmpty()) {
        mMainWindow->resize(kWindowWidth - frame.width(), kWindowHeight - frame.height());
    }
    mMainWindow->repaint();
    return true;
}

int RouterApp::Run() {
    QApplication::setQuitOnLastWindowClosed(true);
    return QApplication::exec();
}

int RunRouterWindow(int& argc, char** argv, RouterCore& core) {
    RouterApp app(argc, argv);
    if (!app.InitInstance(core)) {
        return 1;
    }
    return app.Run();
}

}  // namespace router
