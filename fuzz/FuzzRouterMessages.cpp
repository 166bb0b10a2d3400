// The router's message reception and command handling: one message server
// with no upstream link listens on loopback; each input is sent on a fresh
// message connection, which is then half-closed. The server must read and
// answer what it can, notice the end of the connection, close it and accept
// the next one, all within its deadline.

#include "FuzzSupport.h"
#include "NetworkNodeServer.h"

#include <cstdlib>

namespace {

// Fuzz runs go into a private network namespace; outside one this port is
// unlikely to be in use.
constexpr int kPort = 26299;

router::ServerOptions ShortTimeouts() {
    router::ServerOptions options;
    options.connectTimeoutMs = 200;
    options.sendTimeoutMs = 200;
    return options;
}

struct Harness {
    router::NetworkNodeServer server{nullptr, ShortTimeouts()};

    Harness() {
        // Refused pre-headers would be printed for every such input.
        server.SetMessageNotifier([](const std::string&) {});
        if (!server.InitializeServer(kPort)) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(fuzzsupport::Loopback(kPort), 2000)) {
        fuzzsupport::Hang("connect to the message server");
    }
    fuzzsupport::WriteAll(socket, data, size);
    fuzzsupport::ShutdownWrite(socket);
    fuzzsupport::DrainUntilClosed(socket, 10000, "message server closing the connection");
    return 0;
}
