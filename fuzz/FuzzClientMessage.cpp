// The client's message reception: the input is what a server sends on the
// message connection before it closes. The client takes one end of a local
// socket pair as its connection (its first receive takes the
// application-name reply), then receives replies alternately as raw messages
// and as split command replies until the stream runs dry or fails. Every step
// must end within its deadline, and the client must end up disconnected and
// reusable.

#include "FuzzSupport.h"
#include "NetworkNodeClient.h"

#include <memory>
#include <string>
#include <vector>

namespace {

void ReceiveUntilDisconnected(Plenvar::NetworkNodeClient& client) {
    for (int turn = 0; client.IsConnected(); ++turn) {
        if (turn % 2 == 0) {
            std::unique_ptr<char[]> buffer;
            int bodySize = -1;
            if (!client.RecieveMessage(buffer, bodySize)) {
                return;
            }
            if (bodySize <= 0 || !buffer) {
                std::abort();
            }
        } else {
            int code = 0;
            std::vector<std::wstring> words;
            if (!client.ReceiveCommandReply(code, words)) {
                return;
            }
        }
    }
}

struct Harness {
    Plenvar::NetworkNodeClient client;

    Harness() { client.SetReplyTimeout(std::chrono::milliseconds(2000)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    Plenvar::NetworkNodeClient& client = harness.client;
    fuzzsupport::FedConnection server(data, size, 10000, "client disconnect");
    if (!client.AdoptConnection(server.Take(), L"127.0.0.1")) {
        std::abort();
    }
    ReceiveUntilDisconnected(client);
    if (client.IsConnected()) {
        client.ShutdownClient();
    }
    if (client.IsConnected()) {
        std::abort();
    }
    return 0;
}
