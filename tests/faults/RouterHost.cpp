// The router core with its headless loop in a process of its own (the client
// library's lock is one per process, so the router cannot share the test's),
// with quick link-watch and retry timing so that fault cases run fast.
//
//   argv[1]: log directory; argv[2] (optional): upstream host.
//   Prints "ready <StartServer result>", then "up" / "down" as the upstream
//   link comes and goes. A "quit" line or the end of standard input shuts the
//   router down in order; it then prints "bye" and exits 0.

#include "HeadlessLoop.h"
#include "RouterCore.h"

#include <chrono>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: fault_router_host LOGDIR [HOST]" << std::endl;
        return 2;
    }
    std::optional<std::string> host;
    if (argc > 2) {
        host = argv[2];
    }
    // Dropped clients' servers go at once rather than one per half second,
    // so that a case with hundreds of clients settles quickly.
    router::ServerOptions options;
    options.monitorIntervalMs = 20;
    router::RouterCore core(argv[1], options);
    std::mutex outputLock;
    auto say = [&outputLock](const std::string& line) {
        std::lock_guard lock(outputLock);
        std::cout << line << std::endl;
    };
    core.SetErrorNotifier([](const std::string&) {});
    say("ready " + std::to_string(core.Start()));

    router::HeadlessLoop::Timing timing;
    timing.tick = std::chrono::milliseconds(100);
    timing.retry = std::chrono::milliseconds(100);
    router::HeadlessLoop loop(core, host, timing);
    loop.SetLinkObserver([&say](bool up) { say(up ? "up" : "down"); });
    std::thread looper([&loop] { loop.Run(); });

    std::string line;
    while (std::getline(std::cin, line) && line != "quit") {
    }
    loop.Stop();
    looper.join();
    core.Shutdown();
    say("bye");
    return 0;
}
