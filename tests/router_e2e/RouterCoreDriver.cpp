// Hosts a RouterCore in a process of its own, driven line by line on
// standard input, so that tests can talk to it with client-library clients:
// the library's lock is one per process, and a router in the test's own
// process would wait on it while the test's clients hold it.
//
//   argv[1]: log directory. Prints "ready <StartServer result>", then
//   answers each command with one line:
//     connect HOST   -> "ok 1" / "ok 0"
//     disconnect     -> "ok"
//     tick           -> "ok 1" when the link watch found the link lost, else "ok 0"
//     connected      -> "ok 1" / "ok 0"
//     notes          -> "ok " + the error notices so far, joined with '|'
//     clients        -> "ok " + the number of downstream clients
//     quit           -> shuts down, "ok", exit 0

#include "NetworkServerContainer.h"
#include "RouterCore.h"

#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string Flag(bool value) {
    return value ? "ok 1" : "ok 0";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: router_core_driver LOGDIR" << std::endl;
        return 2;
    }
    router::RouterCore core(argv[1]);
    std::string notes;
    core.SetErrorNotifier([&notes](const std::string& text) { notes += notes.empty() ? text : "|" + text; });
    std::cout << "ready " << core.Start() << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        std::string argument;
        words >> command >> argument;
        if (command == "connect") {
            std::cout << Flag(core.OnConnectToServer(argument)) << std::endl;
        } else if (command == "disconnect") {
            core.OnDisconnectFromServer();
            std::cout << "ok" << std::endl;
        } else if (command == "tick") {
            std::cout << Flag(core.OnLinkWatchTick()) << std::endl;
        } else if (command == "connected") {
            std::cout << Flag(core.IsUpstreamConnected()) << std::endl;
        } else if (command == "notes") {
            std::cout << "ok " << notes << std::endl;
        } else if (command == "clients") {
            std::cout << "ok " << core.ServerList()->GetNumberOfClients() << std::endl;
        } else if (command == "quit") {
            break;
        } else {
            std::cout << "unknown" << std::endl;
        }
    }
    core.Shutdown();
    std::cout << "ok" << std::endl;
    return 0;
}
