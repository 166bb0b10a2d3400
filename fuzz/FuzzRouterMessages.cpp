// The router's message reception and command handling: a message server with
// no upstream link serves one end of a local socket pair whose peer sends the
// input and half-closes. The server must read and answer what it can, notice
// the end of the connection and close it, all within its deadline, and be
// ready for the next client.

#include "FuzzSupport.h"
#include "NetworkNodeServer.h"
#include "PlenvarServerLogFile.h"

#include <cstdlib>

namespace {

router::ServerOptions ShortTimeouts() {
    router::ServerOptions options;
    options.connectTimeoutMs = 200;
    options.sendTimeoutMs = 200;
    return options;
}

struct Harness {
    router::NetworkNodeServer server{nullptr, ShortTimeouts()};

    Harness() {
        // The server logs when it is destroyed at exit, so the log has to be
        // made first: statics end in the reverse order of their making.
        router::ServerLog();
        // Refused pre-headers would be printed for every such input.
        server.SetMessageNotifier([](const std::string&) {});
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    fuzzsupport::FedConnection client(data, size, 10000, "message server closing the connection");
    if (!harness.server.ServeClient(client.Take())) {
        std::abort();
    }
    return 0;
}
