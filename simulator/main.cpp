// zorlent-sim: a stand-in acquisition server that streams synthetic records.

#include "simulator/Simulator.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>

namespace {

struct CommandLine {
    int port = 26100;
    std::string bind;
    double rateScale = 1.0;
    std::string objects;
    double duration = 0.0;
};

// Waits for SIGINT or SIGTERM, or until `seconds` have passed when above 0.
// The signals are blocked in every thread, so only this wait receives them.
void WaitForEnd(const sigset_t& signals, double seconds) {
    timespec step{0, 200 * 1000 * 1000};
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        if (sigtimedwait(&signals, nullptr, &step) > 0) {
            return;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        double elapsed = static_cast<double>(now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9;
        if (seconds > 0.0 && elapsed >= seconds) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    CLI::App app{"zorlent-sim: a stand-in acquisition server streaming synthetic records"};
    app.add_option("--port", line.port, "Message port (0: any free port)")->check(CLI::Range(0, 65535));
    app.add_option("--bind", line.bind, "Listen on this IPv4 address only (default: all)");
    app.add_option("--rate-scale", line.rateScale, "Multiplies every record rate")
        ->check(CLI::PositiveNumber);
    app.add_option("--objects", line.objects, "Object list file: one \"name type\" per line, # comments")
        ->check(CLI::ExistingFile);
    app.add_option("--duration", line.duration, "Stop after this many seconds (default: run until stopped)")
        ->check(CLI::NonNegativeNumber);
    CLI11_PARSE(app, argc, argv);

    sim::SimulatorOptions options;
    options.port = static_cast<uint16_t>(line.port);
    options.bindAddress = line.bind;
    options.rateScale = line.rateScale;
    std::string error;
    if (!line.objects.empty() && !sim::ObjectCatalog::LoadFile(line.objects, options.catalog, error)) {
        std::fprintf(stderr, "zorlent-sim: %s\n", error.c_str());
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::Simulator simulator(std::move(options));
    if (!simulator.Start()) {
        std::fprintf(stderr, "zorlent-sim: %s\n", simulator.LastError().c_str());
        return 1;
    }
    std::fprintf(stderr, "zorlent-sim: serving %zu objects on port %u\n", simulator.Catalog().Size(),
                 static_cast<unsigned>(simulator.Port()));
    WaitForEnd(signals, line.duration);
    simulator.Stop();
    std::fprintf(stderr, "zorlent-sim: stopped\n");
    return 0;
}
