#include "RouterApp.h"

#include "MainView.h"
#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QSurfaceFormat>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace router {

namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// A stop signal only writes a byte; the window thread reads it and closes
// the window.
int gStopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gStopPipe[1], &byte, 1);
}

// Routes SIGINT and SIGTERM to `stop` for its lifetime.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> stop) {
        if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        mNotifier = std::make_unique<QSocketNotifier>(gStopPipe[0], QSocketNotifier::Read);
        QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [stop = std::move(stop)] {
            char bytes[16];
            while (::read(gStopPipe[0], bytes, sizeof bytes) > 0) {
            }
            stop();
        });
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &mOldInt);
        ::sigaction(SIGTERM, &action, &mOldTerm);
    }
    ~StopSignals() {
        if (!mNotifier) {
            return;
        }
        ::sigaction(SIGINT, &mOldInt, nullptr);
        ::sigaction(SIGTERM, &mOldTerm, nullptr);
        mNotifier.reset();
        ::close(gStopPipe[0]);
        ::close(gStopPipe[1]);
        gStopPipe[0] = gStopPipe[1] = -1;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> mNotifier;
    struct sigaction mOldInt {};
    struct sigaction mOldTerm {};
};

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
    StopSignals signals([this] {
        if (mMainWindow) {
            mMainWindow->close();
        }
    });
    return QApplication::exec();
}

int RunRouterWindow(int& argc, char** argv, RouterCore& core, const std::string& connectHost) {
    RouterApp app(argc, argv);
    if (!app.InitInstance(core)) {
        return 1;
    }
    if (!connectHost.empty()) {
        app.GetMainWindow()->ConnectTo(connectHost);
    }
    return app.Run();
}

}  // namespace router
