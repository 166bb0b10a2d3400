// plenvar-tap: a command-line client of the Plenvar protocol. See --help.
#include "TapOptions.h"
#include "TapSession.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <utility>

int main(int argc, char** argv) {
    tap::TapOptions options;
    int status = tap::ParseTapOptions(argc, argv, options);
    if (status >= 0) {
        return status;
    }
    // Blocked before the library starts any thread, so every thread inherits
    // the mask and the signals wait for the main loop to collect them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    tap::TapSession session(std::move(options), stdout, stderr);
    return session.Run(stopSignals);
}
