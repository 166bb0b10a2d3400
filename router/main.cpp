// Router: relays one acquisition server's records to any number of clients,
// which connect to it on port 26200 as they would to the server itself.

#include "HeadlessLoop.h"
#ifdef PLENVAR_GUI
#include "RouterApp.h"
#endif
#include "RouterCore.h"
#include "platform/System.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

struct Settings {
    bool headless = false;
    std::string connectHost;
    std::string logDirectory;
};

// Blocks SIGINT and SIGTERM in every thread started from here on, so that
// only the waiter below ever sees them.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

std::string LogDirectory(const Settings& settings) {
    if (settings.logDirectory.empty()) {
        return platform::ProgramDirectory();
    }
    std::error_code ignored;
    std::filesystem::create_directories(settings.logDirectory, ignored);
    return settings.logDirectory;
}

int RunHeadless(const Settings& settings) {
    const sigset_t stopSignals = BlockStopSignals();

    router::RouterCore core(LogDirectory(settings));
    if (core.Start() != 0) {
        std::cerr << "Router: cannot listen on port 26200; no client can connect (see the server log)"
                  << std::endl;
    } else {
        std::cout << "Router: listening on port 26200" << std::endl;
    }

    std::optional<std::string> host;
    if (!settings.connectHost.empty()) {
        host = settings.connectHost;
    }
    router::HeadlessLoop loop(core, host);
    loop.SetLinkObserver([&settings](bool up) {
        std::cout << "Router: upstream link to " << settings.connectHost << (up ? " is up" : " was lost; retrying every 2 s")
                  << std::endl;
    });
    std::thread signalWaiter([&loop, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        loop.Stop();
    });
    loop.Run();
    signalWaiter.join();

    core.Shutdown();
    std::cout << "Router: stopped" << std::endl;
    return 0;
}

#ifdef PLENVAR_GUI
// The upstream client (inside the core) exists before the window framework
// starts and is destroyed after every window has gone.
int RunWindow(const Settings& settings, int& argc, char** argv) {
    router::RouterCore core(LogDirectory(settings));
    const int code = router::RunRouterWindow(argc, argv, core, settings.connectHost);
    core.Shutdown();
    return code;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    CLI::App app{"Router: relays an acquisition server's records to many clients (front port 26200)"};
    app.add_flag("--headless", settings.headless, "Run without a window");
    app.add_option("--connect", settings.connectHost,
                   "Connect upstream to HOST at start (headless: and again every 2 s while the link is down)")
        ->type_name("HOST");
    app.add_option("--log-dir", settings.logDirectory,
                   "Directory for the two log files (default: the program's directory)")
        ->type_name("DIR");
    CLI11_PARSE(app, argc, argv);

    if (!settings.headless) {
#ifdef PLENVAR_GUI
        if (router::RouterApp::DisplayAvailable()) {
            return RunWindow(settings, argc, argv);
        }
        std::cerr << "No display for the Router window; run it with --headless." << std::endl;
#else
        std::cerr << "This build of Router has no window; run it with --headless." << std::endl;
#endif
        return 2;
    }
    return RunHeadless(settings);
}
